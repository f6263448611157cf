// The document header: device resolution, font table, tab table, page geometry in twips and the
// document information strings.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/classes/object.h"
#include "platform/gfx/color.h"

namespace tw::richtext {

constexpr int MaxFonts = 99;       // font entries 0..98; 99 means "table full"
constexpr int MaxFontNameLength = 31;
constexpr int MaxTabs = 64;
constexpr int TwipsPerInch = 1440;

enum class TTabKind : std::uint8_t { tkLeft, tkRight, tkCenter, tkDecimal, tkAll };

// A set of tab slots 0..63 (bit n = slot n).
using TTabSet = std::uint64_t;

// Page geometry and ruler values.
struct TRiLayout {
  std::int32_t PageWidth = 12240;
  std::int32_t PageHeight = 15840;
  std::int32_t PageFlag = 1;
  std::int32_t LeftMargin = 1880;
  std::int32_t RightMargin = 1880;
  std::int32_t TopMargin = 1440;
  std::int32_t BottomMargin = 1440;
  bool FacingPages = false;
  bool Landscape = false;
  std::int32_t Reserved = 0;
  bool Inch = true;             // tab grid 144 twips (else 141) and ruler unit in inches
  std::int32_t PrintableWidth = 0;   // pixels
  std::int32_t PrintableHeight = 0;  // pixels
  std::int32_t RulerUnit = 0;
};

// a * b / c with a 64-bit product, the quotient truncated toward zero and kept to the 32-bit
// range; c = 0 gives a * b.
std::int32_t RiMulDiv(std::int32_t a, std::int32_t b, std::int32_t c);
// a * b / c rounded to the nearest whole number, in 64-bit arithmetic; c = 0 gives a * b.
std::int32_t MulDivRound(std::int32_t a, std::int32_t b, std::int32_t c);

class TTextHeader : public TObject {
  TW_CLASS(TTextHeader, TObject)
 public:
  TTextHeader();

  // Defaults: font entries 1..98 cleared, identity tab order, default page, colours, sizes.
  void Reset();
  void Assign(const TTextHeader& source);

  // Case-insensitive lookup of the name (cut to 31 characters) among the used entries; a new
  // name takes the first free entry; MaxFonts when the table is full.
  int FindOrAddFont(const std::string& name);
  const std::string& FontName(int index) const;  // empty for an index outside the table
  void SetFontName(int index, const std::string& name);
  int FontCount() const;  // entries used from the front

  std::array<std::string, MaxFonts> FontNames;
  std::array<std::int32_t, MaxFonts + 1> FontFamilies{};
  std::array<std::int32_t, MaxFonts + 1> FontCharsets{};

  // Text width: setting one value computes the other from the horizontal resolution.
  void SetTextWidthPixels(std::int32_t pixels);
  void SetTextWidthTwips(std::int32_t twips);
  std::int32_t TextWidthPixels = 0;
  std::int32_t TextWidthTwips = 0;

  std::array<TColor, 16> Colors{};
  std::int32_t ResolutionX = 96;
  std::int32_t ResolutionYCopy = 96;
  std::int32_t ResolutionY = 96;
  std::int32_t TwipsPerPixel = 15;
  void SetResolution(std::int32_t x, std::int32_t y);
  // Recomputes tab pixel positions, printable size and ruler unit after a resolution change.
  void UpdateGeometry();

  std::function<void()> OnTabTableFull;
  bool AttributesInUse = false;

  // Tabs.
  std::array<std::int32_t, MaxTabs> TabPos{};     // twips, 0 = free slot
  std::array<std::int32_t, MaxTabs> TabPixels{};
  std::array<TTabKind, MaxTabs> TabKinds{};
  std::array<std::int32_t, MaxTabs> TabOrder{};   // slot numbers sorted by position
  TTabSet TabSetLast = 0;                         // slots named by the last tab operation
  TTabKind DefaultTabKind = TTabKind::tkLeft;

  std::int32_t SnapTab(std::int32_t twips) const;
  // Slot of a tab at the position (exact first, then snapped) of the kind (tkAll: any) among
  // `within` (0: all slots); -1 when none.
  int FindTab(std::int32_t twips, TTabKind kind = TTabKind::tkAll, TTabSet within = 0) const;
  TTabSet AddTab(std::int32_t twips, TTabKind kind);
  void ClearTabs();
  void SortTabs();
  void ClearTab(int slot);

  std::string Title, Subject, Comment;
  TRiLayout Layout;
  int LastFormat = 0;  // the format the last file was loaded in

  void ComputePrintable();
};

}  // namespace tw::richtext
