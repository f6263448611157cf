// Bordered blocks: one box for all paragraphs of a block, edges only at its ends.
#include "richtext/paint/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using BorderedBlocks = EngineTest;

// Paragraphs 1 to 3 form one boxed block (the last carries the block-end flag); 0 and 4 have
// no border.
void MakeBlock(TRiRTFTextPaint& e) {
  for (int i = 1; i <= 3; ++i) {
    PTParagraph p = e.ParagraphByIndex(i);
    p->BorderFlags = bfBordered | bfBox | (i == 3 ? bfBlockEnd : 0);
    p->LeftIndent = p->FirstIndent = 300 * i;
    p->RightIndent = 150 * (4 - i);
    p->Mark();
  }
  e.ReformatAll();
  e.Redraw();
}

TEST_F(BorderedBlocks, ABlockSharesOneBoxAndIsClosedOnlyAtItsEnds) {
  Build({"a", "b", "c", "d", "e"});
  MakeBlock(*e_);
  // The box of every paragraph is the block's: the smallest indents of all three.
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(e_->CellLeft(Par(i)), 20) << i;   // 300 twips
    EXPECT_EQ(e_->CellRight(Par(i)), 10) << i;  // 150 twips
  }
  EXPECT_EQ(BorderBlockStart(Par(3)), Par(1));
  EXPECT_FALSE(BorderBlockEndsAt(Par(2)));
  EXPECT_TRUE(BorderBlockEndsAt(Par(3)));
  TCanvas* c = bmp_.Canvas();
  const int left = 25, right = 500;  // inside the box (20 .. text width - 10), clear of its sides
  auto blackRow = [&](int y) { return CountColour(c, TRect{left, y, right, y + 1}, clBlack); };
  const int top1 = LineOf(1, 0)->Top, top2 = LineOf(2, 0)->Top, top3 = LineOf(3, 0)->Top;
  const int bottom3 = top3 + LineOf(3, 0)->Height;
  EXPECT_EQ(blackRow(top1), right - left);         // the block's top edge
  EXPECT_EQ(blackRow(bottom3 - 1), right - left);  // its bottom edge
  for (int y = top1 + 1; y < bottom3 - 1; ++y)
    EXPECT_LT(blackRow(y), (right - left) / 2) << "no edge inside the block at " << y;
  EXPECT_GT(top3, top2);
}

TEST_F(BorderedBlocks, TheBlockEndFlagStartsANewBlockAfterIt) {
  Build({"a", "b", "c", "d", "e"});
  MakeBlock(*e_);
  PTParagraph p4 = Par(4);
  p4->BorderFlags = bfBordered | bfBox;
  p4->LeftIndent = p4->FirstIndent = 900;
  p4->Mark();
  e_->ReformatAll();
  EXPECT_EQ(BorderBlockStart(p4), p4);
  EXPECT_EQ(e_->CellLeft(p4), 60);
  EXPECT_EQ(e_->CellLeft(Par(3)), 20);
  // An unbordered paragraph is a block of its own.
  EXPECT_EQ(BorderBlockStart(Par(0)), Par(0));
  EXPECT_TRUE(BorderBlockEndsAt(Par(0)));
}

}  // namespace
}  // namespace tw::richtext::testing

namespace tw::richtext::testing {
namespace {

TEST_F(BorderedBlocks, BarTabsDrawAVerticalLineAtEachTabStopInsideTheBox) {
  Build({"x", "a\tb\tc", "y"});
  PTParagraph p = Par(1);
  const TTabSet first = e_->Header().AddTab(1440, TTabKind::tkLeft);   // 1 inch: 96 pixels
  const TTabSet second = e_->Header().AddTab(2880, TTabKind::tkLeft);  // 2 inches: 192 pixels
  const TTabSet outside = e_->Header().AddTab(11000, TTabKind::tkLeft);  // beyond the right edge
  p->Tabs = first | second | outside;
  p->BorderFlags = bfBordered | bfLeft;
  p->BorderStyle = 4;  // bar tabs
  p->Mark();
  e_->ReformatAll();
  e_->Redraw();
  TCanvas* c = bmp_.Canvas();
  PTLine l = LineOf(1, 0);
  auto blackColumn = [&](int x) { return CountColour(c, TRect{x, l->Top, x + 1, l->Top + l->Height}, clBlack); };
  const int x1 = e_->Header().TabPixels[0], x2 = e_->Header().TabPixels[1];
  EXPECT_EQ(x1, 96);
  EXPECT_EQ(blackColumn(x1), l->Height);
  EXPECT_EQ(blackColumn(x2), l->Height);
  EXPECT_LT(blackColumn(x1 + 20), l->Height / 2);
  // The lines stay within the paragraph.
  EXPECT_EQ(CountColour(c, TRect{x1, LineOf(0, 0)->Top, x1 + 1, LineOf(0, 0)->Top + 2}, clBlack), 0);
  // Without the bar style the tab stops draw nothing.
  p->BorderStyle = 0;
  e_->Redraw();
  EXPECT_LT(blackColumn(x2), l->Height / 2);
}

}  // namespace
}  // namespace tw::richtext::testing
