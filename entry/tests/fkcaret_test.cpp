#include <gtest/gtest.h>

#include "entry/fkcaret.h"
#include "entry/fkpicturefield.h"
#include "entry/tests/entry_test_util.h"

namespace tw::entry {
namespace {

TEST(CaretLayout, ShapesTakeTheirPartOfTheCell) {
  TFkCaret c;
  int w, h, x, y;
  c.Layout(8, 16, w, h, x, y);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(h, 16) << "a vertical line is as high as the cell";
  EXPECT_EQ(x, 0);
  c.SetShape(TFkCaretShape::csHalfBlock);
  c.Layout(8, 16, w, h, x, y);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 8);
  EXPECT_EQ(y, 8) << "half blocks sit at the bottom";
  c.SetShape(TFkCaretShape::csHorzLine);
  c.Layout(8, 16, w, h, x, y);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(y, 14);
  c.SetShape(TFkCaretShape::csCustom);
  c.SetCaretWidth(4);
  c.SetCaretHeight(0);
  c.SetAlign(TFkCaretAlign::caCenter);
  c.Layout(8, 16, w, h, x, y);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 2) << "a height below 1 is ignored";
  EXPECT_EQ(x, 2);
  EXPECT_EQ(y, 7);
  c.Layout(0, 0, w, h, x, y);
  EXPECT_EQ(x, (1 - 4) / 2) << "an empty cell counts as one pixel";
}

class CaretFieldTest : public test::EntryGuiTest {};

TEST(CaretLayout, BitmapCaretTakesThePicturesSizeAndHotSpot) {
  TFkCaret c;
  TBitmap picture;
  picture.SetSize(5, 12);
  c.SetBitmap(&picture);
  EXPECT_EQ(c.CaretWidth(), 2) << "another shape keeps its size";
  c.SetShape(TFkCaretShape::csBitmap);
  EXPECT_EQ(c.CaretWidth(), 5);
  EXPECT_EQ(c.CaretHeight(), 12);
  c.SetAlign(TFkCaretAlign::caLeft);
  c.SetBitmapHotSpotX(2);
  c.SetBitmapHotSpotY(1);
  int w, h, x, y;
  c.Layout(8, 16, w, h, x, y);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 12);
  EXPECT_EQ(x, 0 - 2);
  EXPECT_EQ(y, (16 - 12) / 2 - 1);
  TFkCaret copy;
  copy.Assign(&c);
  EXPECT_EQ(copy.Bitmap()->Width(), 5);
  EXPECT_EQ(copy.BitmapHotSpotX(), 2);
  EXPECT_EQ(copy.Shape(), TFkCaretShape::csBitmap);
}

TEST_F(CaretFieldTest, FieldShowsTheCaretOfItsMode) {
  TForm* form = NewForm(300, 200);
  new TFkController(form);
  auto* f = new TFkPictureField(form);
  f->SetParent(form);
  f->SetAsString("abc");
  form->Show();
  Pump();
  f->SetFocus();
  Pump();
  ASSERT_TRUE(f->Carets()->Linked());
  EXPECT_TRUE(f->Carets()->InsertMode());
  Press(VK_INSERT);
  EXPECT_FALSE(f->Carets()->InsertMode());
  EXPECT_EQ(f->CaretOvr()->Shape(), TFkCaretShape::csBlock);
  POINT p{};
  ASSERT_TRUE(GetCaretPos(&p));
  EXPECT_GT(p.X, f->TextMargin()) << "the caret stands after the text";
  auto* g = new TFkPictureField(form);
  g->SetParent(form);
  g->SetTop(50);
  g->SetFocus();
  Pump();
  EXPECT_FALSE(f->Carets()->Linked());
  EXPECT_FALSE(g->InsertMode()) << "the overwrite mode carries over through the controller";
}

TEST_F(CaretFieldTest, BitmapCaretDrawsThePicturesShape) {
  TForm* form = NewForm(300, 200);
  new TFkController(form);
  auto* f = new TFkPictureField(form);
  f->SetParent(form);
  // 3 x 6: white above, black below: only the upper half inverts.
  TBitmap picture;
  picture.SetSize(3, 6);
  picture.Canvas()->Brush()->SetColor(clBlack);
  picture.Canvas()->FillRect(Rect(0, 3, 3, 6));
  f->CaretIns()->SetBitmap(&picture);
  f->CaretIns()->SetShape(TFkCaretShape::csBitmap);
  form->Show();
  Pump();
  f->SetFocus();
  Pump();
  ASSERT_TRUE(f->Carets()->Linked());
  ASSERT_TRUE(CaretDrawn());
  const RECT r = CaretRect();
  EXPECT_EQ(r.Width(), 3);
  EXPECT_EQ(r.Height(), 6);
  // The pixels with the caret drawn and without it.
  auto pixels = [&] {
    std::vector<std::uint32_t> out;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) out.push_back(GetWindowPixel(f->Handle(), x, y));
    return out;
  };
  const auto shown = pixels();
  HideCaret(f->Handle());
  const auto hidden = pixels();
  ShowCaret(f->Handle());
  for (int i = 0; i < 18; ++i) {
    if (i < 9)
      EXPECT_EQ(shown[i], hidden[i] ^ 0x00FFFFFFu) << i;
    else
      EXPECT_EQ(shown[i], hidden[i]) << i;
  }
}

}  // namespace
}  // namespace tw::entry
