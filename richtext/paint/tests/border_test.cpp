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
