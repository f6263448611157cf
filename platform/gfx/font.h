// Fonts: TFont describes a font by name, size and style; the font engine behind it finds the
// face through fontconfig (with the substitutions below), reads its metrics and the advance
// widths of all 256 Windows-1252 codes through FreeType, and caches them.  Text layout sums
// these integer advances and painting places every glyph at exactly those advances, so a
// measured text and a drawn text always agree.
//
// Substitutions: Arial, MS Sans Serif, Helvetica -> Liberation Sans; Times New Roman, Times ->
// Liberation Serif; Courier New, Courier -> Liberation Mono.  A name that fontconfig does not
// know also falls back to Liberation Sans, so the output never depends on which other fonts a
// machine happens to have.  The symbol font (Symbol) draws its bullet 0xB7 as the bullet U+2022
// of Liberation Sans.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/component.h"
#include "platform/gfx/color.h"
#include "platform/rtl/set.h"

namespace tw {

namespace gfxdetail {
struct SizedFont;
}

using TNotifyEvent = std::function<void(TObject* sender)>;

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = Set<TFontStyle>;
enum class TFontPitch { fpDefault, fpVariable, fpFixed };

// Character sets (only the number is kept; text is always Windows-1252).
constexpr std::uint8_t ANSI_CHARSET = 0;
constexpr std::uint8_t DEFAULT_CHARSET = 1;
constexpr std::uint8_t SYMBOL_CHARSET = 2;
constexpr std::uint8_t OEM_CHARSET = 255;

// Text metrics of a font at a size, in device pixels, with the window system's field names.
struct TTextMetric {
  int tmHeight = 0;            // ascent + descent
  int tmAscent = 0;
  int tmDescent = 0;
  int tmInternalLeading = 0;   // tmHeight - em height
  int tmExternalLeading = 0;   // extra space the face asks for between lines
  int tmAveCharWidth = 0;
  int tmMaxCharWidth = 0;
  int tmWeight = 400;
  std::uint8_t tmItalic = 0;
  std::uint8_t tmUnderlined = 0;
  std::uint8_t tmStruckOut = 0;
  std::uint8_t tmFirstChar = 0;
  std::uint8_t tmLastChar = 255;
  std::uint8_t tmDefaultChar = '?';
  std::uint8_t tmBreakChar = ' ';
  std::uint8_t tmPitchAndFamily = 0;
  std::uint8_t tmCharSet = ANSI_CHARSET;
};
using TEXTMETRIC = TTextMetric;

// The advance widths of the 256 Windows-1252 codes, in device pixels.
using TCharWidths = std::array<int, 256>;

// Request for a font at a pixel height: height < 0 is the em (character) height, height > 0 the
// cell height (ascent + descent), 0 a default of 10 points at the given resolution.
struct TFontRequest {
  std::string Name;
  int Height = 0;
  bool Bold = false;
  bool Italic = false;
  int PixelsPerInch = 96;
};

// The face family the name is drawn with ("Arial" -> "Liberation Sans").
std::string SubstituteFontName(std::string_view name);
// The family of the face file fontconfig actually chose for a request (for checks and logs).
std::string ResolvedFontFamily(const TFontRequest& request);
// Metrics, and advance widths of all 256 codes, from the width cache.
TTextMetric FontTextMetrics(const TFontRequest& request);
const TCharWidths& FontCharWidths(const TFontRequest& request);
// Sum of the advances of the bytes of `text`.
int FontTextWidth(const TFontRequest& request, std::string_view text);
// The font names a font dialog offers: the old system's names that are substituted, and the
// scalable families fontconfig knows; sorted, without duplicates.
std::vector<std::string> FontFamilies();
// Number of font sizes held in the width cache (for tests of the cache).
std::size_t FontCacheSize();

class TFont : public TPersistent {
  TW_CLASS(TFont, TPersistent)
 public:
  TFont();
  void Assign(const TPersistent* source) override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  // Size in points; Height in pixels at PixelsPerInch (negative: character height without the
  // internal leading).  Setting one recomputes the other: Height = -MulDiv(Size, ppi, 72).
  int Size() const;
  void SetSize(int points);
  int Height() const { return height_; }
  void SetHeight(int pixels);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  std::uint8_t Charset() const { return charset_; }
  void SetCharset(std::uint8_t charset);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  // The resolution Size is converted at; a printer canvas sets its own.  Changing it keeps the
  // Size in points and recomputes Height.
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi);

  TFontRequest Request() const;
  TTextMetric TextMetrics() const;
  const TCharWidths& CharWidths() const;
  // The sized font of the current request, looked up once per change of the font (the font
  // cache keeps every sized font for the life of the process).
  const gfxdetail::SizedFont& Sized() const;

  TNotifyEvent OnChange;

 protected:
  void Changed();

 private:
  std::string name_ = "MS Sans Serif";
  int height_ = -11;  // 8 points at 96 pixels per inch
  TFontStyles style_;
  TColor color_ = clWindowText;
  std::uint8_t charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = TFontPitch::fpDefault;
  int pixelsPerInch_ = 96;
  mutable const gfxdetail::SizedFont* sized_ = nullptr;
};

// Rounded a * b / c in 64-bit arithmetic; -1 when c is 0 (the window system's MulDiv).
int MulDiv(int a, int b, int c);

}  // namespace tw
