#include <gtest/gtest.h>

#include "richtext/document/attr.h"
#include "richtext/document/textheader.h"

namespace tw::richtext {
namespace {

TEST(TextHeaderFonts, FindsCaseInsensitivelyAndFillsUpToNinetyNine) {
  TTextHeader h;
  h.SetFontName(0, "Arial");
  EXPECT_EQ(h.FindOrAddFont("ARIAL"), 0);
  EXPECT_EQ(h.FindOrAddFont("Times New Roman"), 1);
  EXPECT_EQ(h.FindOrAddFont("times new roman"), 1);
  for (int i = 2; i < MaxFonts; ++i) EXPECT_EQ(h.FindOrAddFont("Font" + std::to_string(i)), i);
  EXPECT_EQ(h.FindOrAddFont("One too many"), MaxFonts);
  EXPECT_EQ(h.FontCount(), MaxFonts);
  // Names are cut to 31 characters before comparing.
  TTextHeader g;
  const std::string longName(40, 'x');
  const int idx = g.FindOrAddFont(longName);
  EXPECT_EQ(g.FontName(idx).size(), 31u);
  EXPECT_EQ(g.FindOrAddFont(std::string(31, 'x') + "different tail"), idx);
}

TEST(TextHeaderFonts, ResetKeepsEntryZeroOnly) {
  TTextHeader h;
  h.SetFontName(0, "Courier New");
  h.FindOrAddFont("Symbol");
  h.Reset();
  EXPECT_EQ(h.FontName(0), "Courier New");
  EXPECT_EQ(h.FontName(1), "");
  EXPECT_EQ(h.FontName(120), "");
}

TEST(TextHeaderTabs, SnapsToTheInchOrCentimetreGrid) {
  TTextHeader h;
  h.Layout.Inch = true;
  h.AddTab(1000, TTabKind::tkLeft);
  EXPECT_NE(h.FindTab(1008), -1);
  TTextHeader c;
  c.Layout.Inch = false;
  c.AddTab(1000, TTabKind::tkRight);
  const int slot = c.FindTab(987);
  ASSERT_NE(slot, -1);
  EXPECT_EQ(c.TabKinds[static_cast<std::size_t>(slot)], TTabKind::tkRight);
  // An exact or snapped match returns the existing slot.
  const TTabSet again = c.AddTab(990, TTabKind::tkRight);
  EXPECT_EQ(again, TTabSet{1} << slot);
  EXPECT_EQ(c.AddTab(0, TTabKind::tkLeft), 0u);
}

TEST(TextHeaderTabs, FullTableCallsTheEventAndOtherwiseAddsNothing) {
  TTextHeader h;
  for (int i = 0; i < MaxTabs; ++i) ASSERT_NE(h.AddTab(144 * (i + 1), TTabKind::tkLeft), 0u);
  int calls = 0;
  h.OnTabTableFull = [&] { ++calls; };
  const auto before = h.TabPos;
  EXPECT_EQ(h.AddTab(144 * 100, TTabKind::tkLeft), 0u);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(h.TabPos, before);
  // When the event frees a slot the tab goes in.
  h.OnTabTableFull = [&] { h.ClearTab(5); };
  EXPECT_EQ(h.AddTab(144 * 100, TTabKind::tkCenter), TTabSet{1} << 5);
}

TEST(TextHeaderTabs, SortPutsFreeSlotsLastAndDefaultKindFillsAll) {
  TTextHeader h;
  h.DefaultTabKind = TTabKind::tkDecimal;
  h.AddTab(3000, TTabKind::tkLeft);
  h.AddTab(1000, TTabKind::tkAll);
  h.AddTab(2000, TTabKind::tkLeft);
  EXPECT_EQ(h.TabPos[static_cast<std::size_t>(h.TabOrder[0])], 1008);
  EXPECT_EQ(h.TabKinds[static_cast<std::size_t>(h.TabOrder[0])], TTabKind::tkDecimal);
  EXPECT_EQ(h.TabPos[static_cast<std::size_t>(h.TabOrder[2])], 3024);
  EXPECT_EQ(h.TabPos[static_cast<std::size_t>(h.TabOrder[3])], 0);
}

TEST(TextHeaderGeometry, DefaultsAndConversions) {
  TTextHeader h;
  EXPECT_EQ(h.Layout.PageWidth, 12240);
  EXPECT_EQ(h.Layout.LeftMargin, 1880);
  EXPECT_EQ(h.TextWidthTwips, 12240 - 2 * 1880);
  EXPECT_EQ(h.Layout.PrintableWidth, MulDivRound(12240 - 3760, 96, 1440));
  h.SetResolution(600, 600);
  h.SetTextWidthPixels(600);
  EXPECT_EQ(h.TextWidthTwips, 1440);
  EXPECT_EQ(RiMulDiv(7, 3, 0), 21);
  EXPECT_EQ(RiMulDiv(-7, 3, 2), -10);
  // The product is kept whole: large page sizes at printer resolutions convert right.
  EXPECT_EQ(RiMulDiv(100000, 2400, 1440), 166666);
  EXPECT_EQ(RiMulDiv(-3000000, 1440, 600), -7200000);
  EXPECT_EQ(RiMulDiv(INT32_MAX, INT32_MAX, 1), INT32_MAX);  // a quotient out of range saturates
  EXPECT_EQ(RiMulDiv(INT32_MIN, 1, -1), INT32_MAX);
  EXPECT_EQ(RiMulDiv(70000, 70000, 0), INT32_MAX);
  // Tabs far out on a wide page at 600 dpi.
  TTextHeader wide;
  wide.SetResolution(2400, 2400);
  wide.SetTextWidthTwips(1000000);
  EXPECT_EQ(wide.TextWidthPixels, 1666666);
  EXPECT_EQ(MulDivRound(3, 1, 2), 2);
}

TEST(Attributes, RunComparisonColoursAndMask) {
  TAttr a, b;
  a.Width = 5;
  EXPECT_TRUE(SameRun(a, b));  // caches do not count
  b.Attr11 = 1;
  EXPECT_FALSE(SameRun(a, b));
  EXPECT_EQ(AttrColor(15), AttrColor(0));
  EXPECT_EQ(AttrColor(2), RGB(0, 128, 0));
  EXPECT_EQ(TAttr{}.Points(), 10);

  TAttr dst;
  dst.Style = fsBold | fsSuper;
  dst.Extra = fxAutomatic;
  TAttr src;
  src.Font = 3;
  src.Size = 14;
  src.SetTextColor(1);
  src.SetBackColor(4);
  src.Style = fsItalic | fsSub;
  ApplyAttr(dst, src, EditorAttrMask);
  EXPECT_EQ(dst.Font, 3);
  EXPECT_EQ(dst.Size, 14);
  EXPECT_EQ(dst.Colors, 0x41);
  EXPECT_EQ(dst.Style, fsItalic | fsSub);  // bold and superscript replaced
  EXPECT_EQ(dst.Extra, fxAutomatic);       // outside the replaced set
  TAttr rem;
  rem.Style = fsItalic;
  ApplyAttr(dst, rem, amRemoveStyle);
  EXPECT_EQ(dst.Style, fsSub);
  TAttr sup;
  sup.Style = fsSuper;
  ApplyAttr(dst, sup, amAddStyle);
  EXPECT_EQ(dst.Style & (fsSuper | fsSub), fsSuper);  // superscript wins
}

TEST(AttrApply, SuperscriptOrFootnoteMarkWinsOverSubscript) {
  TAttr sub;
  sub.Style = fsSub;
  TAttr sup;
  sup.Style = fsSuper;

  TAttr a;
  a.Style = fsBold | fsSuper;
  ApplyAttr(a, sub, amAddStyle);  // adding subscript to superscript text keeps superscript
  EXPECT_EQ(a.Style, fsBold | fsSuper);

  a.Style = fsSub;
  ApplyAttr(a, sup, amAddStyle);
  EXPECT_EQ(a.Style, fsSuper);

  a.Style = fsSuper;
  ApplyAttr(a, sub, amReplaceStyle);  // a replacement that drops superscript leaves subscript
  EXPECT_EQ(a.Style, fsSub);
  ApplyAttr(a, sub, amReplaceStyleByte);
  EXPECT_EQ(a.Style, fsSub);

  a.Style = fsSuper | fsSub;  // both set by hand: the next apply settles on superscript
  ApplyAttr(a, TAttr{}, amFont);
  EXPECT_EQ(a.Style, fsSuper);

  a.Style = fsSub;
  a.Extra = fxFootnote;  // a footnote mark removes subscript and sets no superscript
  ApplyAttr(a, TAttr{}, amSize);
  EXPECT_EQ(a.Style, 0);
  EXPECT_EQ(a.Extra, fxFootnote);

  a.Style = fsSuper | fsSub;
  a.Extra = 0;
  ApplyAttr(a, sup, amRemoveStyle);  // once superscript is gone the subscript stays
  EXPECT_EQ(a.Style, fsSub);
}

TEST(AttrApply, AddAndRemoveReachTheFurtherAttributeBytes) {
  TAttr a;
  a.Attr10 = 0x01;
  TAttr given;
  given.Attr10 = 0x02;
  given.Attr11 = 0x80;
  ApplyAttr(a, given, amAddStyle);
  EXPECT_EQ(a.Attr10, 0x03);
  EXPECT_EQ(a.Attr11, 0x80);
  ApplyAttr(a, given, amReplaceStyle);  // replacement sets lie inside the style word only
  EXPECT_EQ(a.Attr10, 0x03);
  given.Attr10 = 0x01;
  ApplyAttr(a, given, amRemoveStyle);
  EXPECT_EQ(a.Attr10, 0x02);
  EXPECT_EQ(a.Attr11, 0x00);
}

TEST(CharacterAttr, SettersReportIdentifierAndLayoutNeed) {
  TCharacterAttr set(0x0010);
  std::vector<std::pair<std::uint32_t, bool>> calls;
  set.OnChange = [&](std::uint32_t id, bool layout) { calls.emplace_back(id, layout); };
  set.SetBold(TThreeState::tsTRUE);
  set.SetBold(TThreeState::tsTRUE);  // no change, no call
  set.SetStrikeOut(TThreeState::tsTRUE);
  set.SetTextColor(clRed);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0], std::make_pair(0x0010u, true));
  EXPECT_EQ(calls[1].second, false);
  EXPECT_TRUE(set.UseTextColor());
  // The underline colour switch reports only while underline is on.
  set.SetUseUnderlineColor(true);
  EXPECT_EQ(calls.size(), 3u);
  set.SetUnderline(TThreeState::tsTRUE);
  set.SetUseUnderlineColor(false);
  EXPECT_EQ(calls.size(), 5u);
  // The sets are published, so form resources and the language component can set them.
  SetOrdProp(&set, "Italic", static_cast<int>(TThreeState::tsFALSE));
  EXPECT_EQ(set.Italic(), TThreeState::tsFALSE);
  EXPECT_EQ(GetOrdProp(&set, "TextColor"), clRed);
}

}  // namespace
}  // namespace tw::richtext
