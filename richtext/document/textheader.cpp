#include "richtext/document/textheader.h"

#include <algorithm>

#include "platform/rtl/win1252.h"
#include "richtext/document/attr.h"

namespace tw::richtext {

std::int32_t RiMulDiv(std::int32_t a, std::int32_t b, std::int32_t c) {
  // The product is taken in 64 bits, so large twips values at printer resolutions do not wrap;
  // the quotient is truncated and kept to the 32-bit range.
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t q = c == 0 ? product : product / c;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(q, INT32_MIN, INT32_MAX));
}

std::int32_t MulDivRound(std::int32_t a, std::int32_t b, std::int32_t c) {
  const std::int64_t p = static_cast<std::int64_t>(a) * b;
  if (c == 0) return static_cast<std::int32_t>(p);
  std::int64_t q = p / c;
  const std::int64_t r = p % c;
  if (2 * (r < 0 ? -r : r) >= (c < 0 ? -c : c)) q += ((p < 0) != (c < 0)) ? -1 : 1;
  if (q > INT32_MAX) q = INT32_MAX;
  if (q < INT32_MIN) q = INT32_MIN;
  return static_cast<std::int32_t>(q);
}

TTextHeader::TTextHeader() { Reset(); }

void TTextHeader::Reset() {
  for (int i = 1; i < MaxFonts; ++i) {
    FontNames[i].clear();
    FontFamilies[i] = 0;
    FontCharsets[i] = 0;
  }
  for (int i = 0; i < MaxTabs; ++i) TabOrder[i] = i;
  const bool inch = Layout.Inch;
  Layout = TRiLayout{};
  Layout.Inch = inch;
  for (int i = 0; i < 16; ++i) Colors[i] = AttrColor(i);
  DefaultTabKind = TTabKind::tkLeft;
  ComputePrintable();
  SetTextWidthTwips(Layout.PageWidth - Layout.LeftMargin - Layout.RightMargin);
}

void TTextHeader::ComputePrintable() {
  Layout.RulerUnit = Layout.Inch ? ResolutionX * 100 / 300 : ResolutionX * 100 / 254;
  Layout.PrintableWidth =
      MulDivRound(Layout.PageWidth - Layout.LeftMargin - Layout.RightMargin, ResolutionX, TwipsPerInch);
  Layout.PrintableHeight =
      MulDivRound(Layout.PageHeight - Layout.TopMargin - Layout.BottomMargin, ResolutionY, TwipsPerInch);
}

void TTextHeader::Assign(const TTextHeader& source) {
  if (&source == this) return;
  Reset();
  for (int i = 0; i < MaxFonts; ++i) {
    if (source.FontNames[i].empty()) break;
    FontNames[i] = source.FontNames[i];
    FontFamilies[i] = source.FontFamilies[i];
    FontCharsets[i] = source.FontCharsets[i];
  }
  Colors = source.Colors;
  TabPos = source.TabPos;
  TabPixels = source.TabPixels;
  TabKinds = source.TabKinds;
  TabOrder = source.TabOrder;
  Layout = source.Layout;
  Title = source.Title;
  Subject = source.Subject;
  Comment = source.Comment;
  DefaultTabKind = source.DefaultTabKind;
  UpdateGeometry();
}

int TTextHeader::FindOrAddFont(const std::string& name) {
  const std::string cut = name.substr(0, MaxFontNameLength);
  for (int i = 0; i < MaxFonts; ++i) {
    if (FontNames[i].empty()) {
      FontNames[i] = cut;
      FontFamilies[i] = 0;
      FontCharsets[i] = 0;
      return i;
    }
    if (AnsiSameText(FontNames[i], cut)) return i;
  }
  return MaxFonts;
}

const std::string& TTextHeader::FontName(int index) const {
  static const std::string empty;
  if (index < 0 || index >= MaxFonts) return empty;
  return FontNames[index];
}

void TTextHeader::SetFontName(int index, const std::string& name) {
  if (index >= 0 && index < MaxFonts) FontNames[index] = name.substr(0, MaxFontNameLength);
}

int TTextHeader::FontCount() const {
  int n = 0;
  while (n < MaxFonts && !FontNames[n].empty()) ++n;
  return n;
}

void TTextHeader::SetTextWidthPixels(std::int32_t pixels) {
  TextWidthPixels = pixels;
  if (ResolutionX > 0) TextWidthTwips = RiMulDiv(pixels, TwipsPerInch, ResolutionX);
}

void TTextHeader::SetTextWidthTwips(std::int32_t twips) {
  TextWidthTwips = twips;
  if (ResolutionX > 0) TextWidthPixels = RiMulDiv(twips, ResolutionX, TwipsPerInch);
}

void TTextHeader::SetResolution(std::int32_t x, std::int32_t y) {
  if (x > 0) ResolutionX = x;
  if (y > 0) ResolutionY = ResolutionYCopy = y;
  TwipsPerPixel = TwipsPerInch / ResolutionX;
  UpdateGeometry();
}

void TTextHeader::UpdateGeometry() {
  for (int i = 0; i < MaxTabs; ++i) TabPixels[i] = RiMulDiv(TabPos[i], ResolutionX, TwipsPerInch);
  ComputePrintable();
}

std::int32_t TTextHeader::SnapTab(std::int32_t twips) const {
  const std::int64_t t = twips;
  const std::int64_t snapped = Layout.Inch ? (t + 73) / 144 * 144 : (t + 71) / 141 * 141;
  return static_cast<std::int32_t>(std::min<std::int64_t>(snapped, INT32_MAX / 144 * 144));
}

int TTextHeader::FindTab(std::int32_t twips, TTabKind kind, TTabSet within) const {
  for (int pass = 0; pass < 2; ++pass) {
    const std::int32_t pos = pass == 0 ? twips : SnapTab(twips);
    for (int i = 0; i < MaxTabs; ++i) {
      if (TabPos[i] == 0 || TabPos[i] != pos) continue;
      if (within != 0 && !(within & (TTabSet{1} << i))) continue;
      if (kind != TTabKind::tkAll && TabKinds[i] != kind) continue;
      return i;
    }
  }
  return -1;
}

TTabSet TTextHeader::AddTab(std::int32_t twips, TTabKind kind) {
  TabSetLast = 0;
  if (twips < 1) return 0;
  const int found = FindTab(twips, kind);
  if (found >= 0) {
    TabSetLast = TTabSet{1} << found;
    return TabSetLast;
  }
  auto freeSlot = [this] {
    for (int i = 0; i < MaxTabs; ++i)
      if (TabPos[i] == 0) return i;
    return -1;
  };
  int slot = freeSlot();
  if (slot < 0 && OnTabTableFull) {
    auto handler = OnTabTableFull;
    handler();
    slot = freeSlot();
  }
  if (slot < 0) return 0;
  TabPos[slot] = SnapTab(twips);
  // A position that snaps to 0 still needs a used slot: keep the smallest grid step instead.
  if (TabPos[slot] < 1) TabPos[slot] = Layout.Inch ? 144 : 141;
  TabPixels[slot] = RiMulDiv(TabPos[slot], ResolutionX, TwipsPerInch);
  TabKinds[slot] = kind == TTabKind::tkAll ? DefaultTabKind : kind;
  TabSetLast = TTabSet{1} << slot;
  SortTabs();
  return TabSetLast;
}

void TTextHeader::ClearTab(int slot) {
  if (slot < 0 || slot >= MaxTabs) return;
  TabPos[slot] = 0;
  TabPixels[slot] = 0;
  TabKinds[slot] = TTabKind::tkLeft;
}

void TTextHeader::ClearTabs() {
  for (int i = 0; i < MaxTabs; ++i) ClearTab(i);
  SortTabs();
}

void TTextHeader::SortTabs() {
  for (int i = 0; i < MaxTabs; ++i) TabOrder[i] = i;
  auto key = [this](int slot) { return TabPos[slot] == 0 ? 16777215 : TabPos[slot]; };
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (int i = 0; i + 1 < MaxTabs; ++i) {
      if (key(TabOrder[i]) > key(TabOrder[i + 1])) {
        std::swap(TabOrder[i], TabOrder[i + 1]);
        swapped = true;
      }
    }
  }
}

}  // namespace tw::richtext
