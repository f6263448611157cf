// The ruler: dragging its markers changes the paragraph's indents, clicks in the scale set tabs,
// and the ruler follows the paragraph at the cursor.
#include "richtext/controls/tests/tools_fixture.h"

namespace tw::richtext::testing {
namespace {

class Ruler : public ToolsTest {
 protected:
  void SetUp() override {
    ToolsTest::SetUp();
    Type("first paragraph\rsecond paragraph");
    Key(VK_HOME, false, true);
    res = E().Header().ResolutionX;
  }
  // For tests that measure in inches (the ruler is made in centimetres).
  void InInches() { ruler->SetUnits(PTRiRulerUnit::Inch); }
  PTParagraph P(int i) { return E().ParagraphByIndex(i); }
  int res = 96;
};

TEST_F(Ruler, TheScaleStartsWhereTheEditorsTextStarts) {
  const int textLeft = rt->ClientOrigin().X + E().LeftOffset - ruler->ClientOrigin().X;
  EXPECT_EQ(ruler->LeftMargin(), textLeft);
  EXPECT_EQ(ruler->TwipsToX(1440), textLeft + res);
  EXPECT_EQ(ruler->UnitStep(), static_cast<int>(res / 2.54 + 0.5));
  ruler->SetUnits(PTRiRulerUnit::Inch);
  EXPECT_EQ(ruler->UnitStep(), res);
}

TEST_F(Ruler, DraggingTheLeftMarkersBoxMovesBothIndentsOfTheParagraph) {
  InInches();
  std::vector<int> whiles, ends;
  ruler->WhileSelection = [&](TObject*, int& typ, int& group, int& num, bool changing) {
    EXPECT_EQ(typ, 9);
    EXPECT_EQ(group, 0x700);
    EXPECT_TRUE(changing);
    whiles.push_back(num);
  };
  ruler->OnSelection = [&](TObject*, int&, int&, int& num, bool changing) {
    EXPECT_FALSE(changing);
    ends.push_back(num);
  };
  int changes = 0;
  rt->OnChange = [&](TObject*) { ++changes; };
  const TRect r = ruler->MarkerRect(rmLeft);
  const TPoint box{(r.Left + r.Right - 1) / 2, r.Bottom - 2};
  DragRuler(box, TPoint{box.X + res, box.Y});
  EXPECT_EQ(P(0)->LeftIndent, 1440);
  EXPECT_EQ(P(0)->FirstIndent, 1440);
  EXPECT_EQ(P(1)->LeftIndent, 0);
  EXPECT_EQ(ruler->LeftIndent(), 1440);
  EXPECT_FALSE(whiles.empty());
  EXPECT_EQ(ends, std::vector<int>{rmLeft});
  EXPECT_EQ(changes, 1);  // once, when the drag ends
  EXPECT_FALSE(ruler->Dragging());
}

TEST_F(Ruler, TheLeftMarkersTriangleAndTheFirstLineMarkerMoveOneIndentEach) {
  InInches();
  const TRect l = ruler->MarkerRect(rmLeft);
  const TPoint tip{(l.Left + l.Right - 1) / 2, l.Top + 1};
  DragRuler(tip, TPoint{tip.X + res / 2, tip.Y});
  EXPECT_EQ(P(0)->LeftIndent, 720);
  EXPECT_EQ(P(0)->FirstIndent, 0);
  const TRect f = ruler->MarkerRect(rmFirst);
  const TPoint top{(f.Left + f.Right - 1) / 2, f.Top + 1};
  DragRuler(top, TPoint{top.X + res, top.Y});
  EXPECT_EQ(P(0)->FirstIndent, 1440);
  EXPECT_EQ(P(0)->LeftIndent, 720);
}

TEST_F(Ruler, ARightIndentDraggedPastTheLeftIndentIsRefused) {
  rt->SetParagraphValue(1440, 2);  // left indent 1 inch
  E().SetIndents(false, 1440, riKeep, riKeep);
  Key(VK_RIGHT);  // the ruler takes the paragraph's values
  ASSERT_EQ(ruler->LeftIndent(), 1440);
  const TRect r = ruler->MarkerRect(rmRight);
  const TPoint grip = Center(r);
  DragRuler(grip, TPoint{ruler->TwipsToX(720), grip.Y}, false);
  EXPECT_EQ(P(0)->RightIndent, 0);
  EXPECT_EQ(ruler->RightIndent(), 0);
  EXPECT_EQ(ruler->MarkerRect(rmRight).Left, r.Left);  // snapped back
  DragRuler(grip, TPoint{grip.X - res, grip.Y});
  EXPECT_NEAR(P(0)->RightIndent, 1440, 72);  // the position is on the grid, not the indent
}

// A view that wraps at its window lays its text out to the page's width all the same when the
// window is wider: the right marker stands where the lines end, and a drag puts the edge of the
// text where the marker is dropped.
TEST_F(Ruler, TheRightMarkerStandsWhereTheWrappedLinesEnd) {
  InInches();
  rt->SetWordWrap(true);
  Type(" and many more words that run on and wrap at the right edge of the text again and again");
  Key(VK_HOME, false, true);
  const TRiLayout& page = E().Header().Layout;
  const int pageText = page.PageWidth - page.LeftMargin - page.RightMargin;
  ASSERT_GT(E().WindowWidth(), MulDiv(pageText, res, 1440));  // the window is wider than the page
  const int origin = ruler->TwipsToX(0);
  // Where the text of the paragraph ends, in ruler pixels.
  auto textEdge = [&] { return origin + E().TextWidth() - E().RightIndent(P(0)); };
  const TRect r = ruler->MarkerRect(rmRight);
  const TPoint grip = Center(r);
  EXPECT_EQ(grip.X, textEdge());
  EXPECT_EQ(grip.X, ruler->TwipsToX(pageText));
  DragRuler(grip, TPoint{grip.X - res, grip.Y});
  EXPECT_NEAR(P(0)->RightIndent, 1440, 72);
  const TPoint dropped = Center(ruler->MarkerRect(rmRight));
  EXPECT_NEAR(dropped.X, grip.X - res, res / 16);  // on the grid
  EXPECT_EQ(dropped.X, textEdge());
  int widest = 0;
  for (PTLine l = P(0)->FirstLine; l != nullptr; l = l->Next) widest = std::max(widest, E().LineWidth(l));
  EXPECT_LE(origin + widest, dropped.X);
  EXPECT_GT(origin + widest, dropped.X - res);
  // Tabs stop at the page's text as the lines do.
  const int tabsBefore = __builtin_popcountll(ruler->Tabs());
  ClickRuler(ruler->TwipsToX(pageText + 720));
  EXPECT_EQ(__builtin_popcountll(ruler->Tabs()), tabsBefore);
  // In a window narrower than the indented text the lines end at the window, and so does the
  // marker; a drag from there still puts the edge where the marker is dropped.
  rt->SetBounds(0, 50, 420, 288);
  Pump();
  ASSERT_LT(E().WindowWidth(), MulDiv(pageText, res, 1440) - res);
  const TPoint narrow = Center(ruler->MarkerRect(rmRight));
  EXPECT_EQ(narrow.X, textEdge());
  DragRuler(narrow, TPoint{narrow.X - res, narrow.Y});
  EXPECT_EQ(Center(ruler->MarkerRect(rmRight)).X, textEdge());
  EXPECT_NEAR(textEdge(), narrow.X - res, res / 16);
}

TEST_F(Ruler, ClicksInTheScaleAddATabAndCycleItsKind) {
  InInches();
  const int x = ruler->TwipsToX(2880);
  ClickRuler(x);
  const TTabSet tabs = P(0)->Tabs;
  ASSERT_NE(tabs, 0u);
  EXPECT_EQ(P(1)->Tabs, 0u);
  int slot = 0;
  while (!((tabs >> slot) & 1u)) ++slot;
  const TTextHeader& h = E().Header();
  EXPECT_EQ(h.TabPos[static_cast<std::size_t>(slot)], 2880);
  EXPECT_EQ(h.TabKinds[static_cast<std::size_t>(slot)], TTabKind::tkLeft);
  const TTabKind expected[] = {TTabKind::tkRight, TTabKind::tkCenter, TTabKind::tkDecimal, TTabKind::tkDecimal};
  for (TTabKind kind : expected) {
    ClickRuler(x);
    EXPECT_EQ(h.TabKinds[static_cast<std::size_t>(slot)], kind);
    EXPECT_EQ(P(0)->Tabs, tabs);
  }
  // A chosen kind is taken as it is.
  ruler->SetNewTabKind(TTabKind::tkCenter);
  ClickRuler(ruler->TwipsToX(4320));
  const TTabSet more = P(0)->Tabs & ~tabs;
  ASSERT_NE(more, 0u);
  int second = 0;
  while (!((more >> second) & 1u)) ++second;
  EXPECT_EQ(h.TabKinds[static_cast<std::size_t>(second)], TTabKind::tkCenter);
}

// The component's ruler as it is made: in centimetres.
class RulerUnits : public Ruler {};

TEST_F(RulerUnits, ClickedTabsAndDraggedIndentsFollowTheRulersUnit) {
  // At 2 cm (1134 twips): the centimetre grid gives 1128, the inch grid 1152 (2.03 cm).
  ClickRuler(ruler->TwipsToX(1134));
  EXPECT_EQ(E().Header().TabPos[static_cast<std::size_t>(__builtin_ctzll(P(0)->Tabs))], 1128);
  const TRect l = ruler->MarkerRect(rmLeft);
  DragRuler(TPoint{(l.Left + l.Right - 1) / 2, l.Bottom - 2}, TPoint{ruler->TwipsToX(1134), l.Bottom - 2});
  EXPECT_EQ(P(0)->LeftIndent, 1128);
  InInches();
  EXPECT_TRUE(E().Header().Layout.Inch);
  E().Header().Layout.Inch = false;
  ruler->Reset();  // takes the unit from the ruler again
  EXPECT_TRUE(E().Header().Layout.Inch);
}

TEST_F(Ruler, PaintingShowsTheScaleTheTabsAndTheMarkers) {
  ClickRuler(ruler->TwipsToX(2880));
  ruler->SetShowNumbers(true);
  TBitmap picture;
  picture.SetSize(ruler->Width(), ruler->Height());
  ruler->PaintOn(*picture.Canvas());
  TCanvas& c = *picture.Canvas();
  // The left tab: a stem at its position down to the base line, and a foot to the right.
  const int x = ruler->TwipsToX(2880), base = ruler->Height() - 4;
  EXPECT_NE(c.Pixel(x, base - 2), c.Pixel(x - 3, base - 2));
  EXPECT_EQ(c.Pixel(x + 3, base), c.Pixel(x, base - 2));
  // The text area is paper, the margin left of it is not.
  EXPECT_NE(c.Pixel(ruler->LeftMargin() - 2 > 2 ? ruler->LeftMargin() - 2 : 1, 4), c.Pixel(x + 20, 4));
  // The first-line marker is drawn at its place.
  const TRect f = ruler->MarkerRect(rmFirst);
  EXPECT_NE(c.Pixel((f.Left + f.Right - 1) / 2, f.Top), c.Pixel(x + 20, f.Top));
}

TEST_F(Ruler, TheRulerFollowsTheParagraphAtTheCursor) {
  Key(VK_DOWN);
  rt->SetParagraphValue(720, 2);
  Key(VK_UP);
  EXPECT_EQ(ruler->LeftIndent(), 0);
  Key(VK_DOWN);
  EXPECT_EQ(ruler->LeftIndent(), 720);
}

TEST_F(Ruler, AReadOnlyEditorKeepsItsIndentsAndTheRulerShowsThem) {
  rt->SetReadOnly(true);
  const TRect r = ruler->MarkerRect(rmLeft);
  const TPoint box{(r.Left + r.Right - 1) / 2, r.Bottom - 2};
  DragRuler(box, TPoint{box.X + res, box.Y});
  EXPECT_EQ(P(0)->LeftIndent, 0);
  EXPECT_EQ(ruler->LeftIndent(), 0);
  ClickRuler(ruler->TwipsToX(2880));
  EXPECT_EQ(P(0)->Tabs, 0u);
}

TEST_F(Ruler, RemovingTheRulerLeavesTheEditorWorking) {
  delete ruler;
  ruler = nullptr;
  EXPECT_EQ(rt->RiRuler(), nullptr);
  Key(VK_DOWN);
  Type("x");
  EXPECT_EQ(E().ParagraphText(1), "xsecond paragraph");
}

class LoneRuler : public RichTextTest {};

TEST_F(LoneRuler, MarkerSizesFollowTheHeight) {
  auto* r = new TRiRuler(form);
  const std::pair<int, int> cases[] = {{20, 6}, {22, 8}, {5, 2}, {2, 4}};
  for (auto [height, width] : cases) {
    r->SetHeight(height);
    EXPECT_EQ(r->MarkerWidth(), width) << height;
    EXPECT_GE(r->HalfWidth(), 3);
  }
}

TEST_F(LoneRuler, WithoutAHeaderClicksAndDragsDoNothing) {
  auto* r = new TRiRuler(form);
  r->SetParent(form);
  r->SetBounds(0, 0, 400, 20);
  Pump();
  int events = 0;
  r->OnSelection = [&](TObject*, int&, int&, int&, bool) { ++events; };
  r->WhileSelection = r->OnSelection;
  InjectClick(r->Handle(), 100, 10);
  const TRect m = r->MarkerRect(rmLeft);
  InjectClick(r->Handle(), (m.Left + m.Right) / 2, m.Bottom - 2);
  Pump();
  EXPECT_EQ(events, 0);
  EXPECT_EQ(r->LeftIndent(), 0);
  EXPECT_EQ(r->Tabs(), 0u);
  // Values given to it are still checked: negative ones and the keep value change nothing.
  r->SetIndents(RulerKeep, -5, 300);
  EXPECT_EQ(r->LeftIndent(), 0);
  EXPECT_EQ(r->RightIndent(), 300);
}

}  // namespace
}  // namespace tw::richtext::testing
