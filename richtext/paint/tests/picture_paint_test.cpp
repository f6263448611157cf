// Embedded pictures on the canvas: their box in the layout and their pixels when painted.
#include "platform/classes/streams.h"
#include "platform/gfx/metafile.h"
#include "richtext/rtf/tests/picture_helpers.h"
#include "richtext/paint/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using PicturePainting = EngineTest;

// The document "x", a picture, "y", read from RTF so that the object character carries the
// object's number as the reader gives it.
void LoadWithPicture(TRiRTFTextPaint& e, std::unique_ptr<TGraphic> graphic, int widthTwips, int heightTwips) {
  TRiRTFTextIo source;
  TAttr plain;
  PTParagraph p = source.FirstPar;
  source.ReplaceText(p, p->FirstLine, &plain, 1, "x", 0, 0);
  TRiObject* o = source.AddObject(std::move(graphic), 0);
  o->Width = widthTwips;
  o->Height = heightTwips;
  TAttr obj = plain;
  obj.Extra = fxObject;
  obj.Tag = o->Number;
  source.ReplaceText(p, p->FirstLine, &obj, 1, "\x01", 0, 1);
  source.ReplaceText(p, p->FirstLine, &plain, 1, "y", 0, 2);
  TStringStream s(source.AsRtf());
  e.Clear();
  e.LoadFormat = TRiLoadFormat::FormatRTF;
  e.LoadFromStream(s);
  e.ReformatAll();
  e.Redraw();
}

TEST_F(PicturePainting, ABitmapIsDrawnStretchedIntoItsBoxOnTheBaseLine) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetSize(4, 4);
  bmp->Canvas()->Brush()->SetColor(clLime);
  bmp->Canvas()->FillRect(TRect{0, 0, 4, 4});
  // 600 x 450 twips: 40 x 30 pixels at 96 per inch.
  LoadWithPicture(*e_, std::move(bmp), 600, 450);
  ASSERT_EQ(e_->ParagraphText(0), "x\x01y");
  PTLine l = LineOf(0, 0);
  ASSERT_TRUE(l->HasAttrs());
  EXPECT_EQ(l->Attrs[1].Width, 40);
  EXPECT_EQ(l->Attrs[1].Ascent, 30);
  const int left = e_->CharX(Par(0), l, 1), right = e_->CharX(Par(0), l, 2);
  EXPECT_EQ(right - left, 40);
  const int base = l->Top + l->Ascent;
  TCanvas* c = bmp_.Canvas();
  EXPECT_EQ(CountColour(c, TRect{left, base - 30, right, base}, clLime), 40 * 30);
  EXPECT_EQ(CountColour(c, TRect{right, 0, 640, 480}, clLime), 0);
  EXPECT_EQ(CountColour(c, TRect{0, base, 640, 480}, clLime), 0);
}

TEST_F(PicturePainting, AMetafileIsReplayedIntoItsBox) {
  auto m = test::TwoBoxes(20, 10, clBlue, clRed);
  // 900 x 450 twips: 60 x 30 pixels; the left half blue, the right half red.
  LoadWithPicture(*e_, std::move(m), 900, 450);
  PTLine l = LineOf(0, 0);
  const int left = e_->CharX(Par(0), l, 1);
  const int base = l->Top + l->Ascent;
  TCanvas* c = bmp_.Canvas();
  EXPECT_GT(CountColour(c, TRect{left, base - 30, left + 30, base}, clBlue), 30 * 30 * 3 / 4);
  EXPECT_GT(CountColour(c, TRect{left + 30, base - 30, left + 60, base}, clRed), 30 * 30 * 3 / 4);
  EXPECT_EQ(CountColour(c, TRect{left + 61, 0, 640, 480}, clRed), 0);
}

TEST_F(PicturePainting, SelectingAnObjectFramesItAndRecordsIt) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetSize(2, 2);
  LoadWithPicture(*e_, std::move(bmp), 300, 300);
  const std::uint16_t tag = Par(0)->FirstLine->Attrs[1].Tag;
  EXPECT_FALSE(e_->SelectObject(static_cast<std::uint16_t>(tag + 1), 0));
  ASSERT_TRUE(e_->SelectObject(tag, 0));
  int start = 0, length = 0;
  ASSERT_TRUE(e_->GetSelection(start, length));
  EXPECT_EQ(start, 1);
  EXPECT_EQ(length, 1);
  e_->Redraw();
  EXPECT_EQ(e_->SelectedObjectTag, tag);
  const TRect r = e_->SelectedObjectRect;
  EXPECT_EQ(r.Width(), 20);
  EXPECT_EQ(bmp_.Canvas()->Pixel(r.Left, r.Top), ColorToRGB(clHighlight));
}

TEST_F(PicturePainting, AnObjectCharacterWithoutItsObjectTakesNoRoom) {
  Build({"a b"});
  PTParagraph p = Par(0);
  TAttr obj = p->FirstLine->Attrs[0];
  obj.Extra = fxObject;
  obj.Tag = 999;
  e_->ReplaceText(p, p->FirstLine, &obj, 1, "\x01", 1, 1);
  p->Mark();
  e_->ReformatAll();
  e_->Redraw();
  EXPECT_EQ(p->FirstLine->Attrs[1].Width, 0);
}

}  // namespace
}  // namespace tw::richtext::testing
