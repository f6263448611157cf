// Pictures through the clipboard: a metafile and a bitmap come back as what they were, the
// metafile is preferred, and nothing or damaged data leaves the picture alone.
#include <gtest/gtest.h>

#include "forms_test_util.h"
#include "platform/forms/clipbrd.h"

namespace tw::test {
namespace {

class ClipboardPictureTest : public FormsTest {
 protected:
  static void PaintRed(TBitmap& b) {
    b.SetSize(6, 6);
    b.Canvas()->Brush()->SetColor(clRed);
    b.Canvas()->FillRect(Rect(0, 0, 6, 6));
  }
  static void Put(UINT format, const std::string& data) {
    ASSERT_TRUE(OpenClipboard(0));
    EmptyClipboard();
    SetClipboardData(format, data);
    CloseClipboard();
  }
};

TEST_F(ClipboardPictureTest, BitmapsAndMetafilesComeBackAsTheyWent) {
  TPicture picture;
  EXPECT_FALSE(ClipboardHasPicture());
  EXPECT_FALSE(PasteClipboardPicture(picture));
  EXPECT_EQ(picture.Graphic(), nullptr);

  TBitmap red;
  PaintRed(red);
  ASSERT_TRUE(CopyPictureToClipboard(red));
  EXPECT_TRUE(ClipboardHasPicture());
  ASSERT_TRUE(PasteClipboardPicture(picture));
  ASSERT_TRUE(picture.Graphic()->Is<TBitmap>());
  EXPECT_EQ(picture.Bitmap()->PixelColor(3, 3), clRed);

  TMetafile m;
  {
    TMetafileCanvas c(&m, 30, 20);
    c.Ellipse(0, 0, 30, 20);
  }
  ASSERT_TRUE(CopyPictureToClipboard(m));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB)) << "copying empties the clipboard first";
  ASSERT_TRUE(PasteClipboardPicture(picture));
  ASSERT_TRUE(picture.Graphic()->Is<TMetafile>());
  EXPECT_EQ(picture.Metafile()->SaveToBytes(), m.SaveToBytes());
}

TEST_F(ClipboardPictureTest, IconsGoAsBitmapsAndEmptyGraphicsAreRefused) {
  TIcon icon;
  TBitmap red;
  PaintRed(red);
  icon.AssignBitmap(&red, clNone);
  ASSERT_TRUE(CopyPictureToClipboard(icon));
  TPicture picture;
  ASSERT_TRUE(PasteClipboardPicture(picture));
  EXPECT_TRUE(picture.Graphic()->Is<TBitmap>());
  EXPECT_EQ(picture.Width(), 6);

  EXPECT_FALSE(CopyPictureToClipboard(TBitmap()));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB)) << "a refused copy leaves the clipboard alone";
}

TEST_F(ClipboardPictureTest, DamagedDataRaisesAndLeavesThePicture) {
  TPicture picture;
  TBitmap red;
  PaintRed(red);
  picture.SetGraphic(&red);
  Put(CF_DIB, std::string("\x28\0\0\0", 4));
  EXPECT_THROW(PasteClipboardPicture(picture), EInvalidGraphic);
  Put(CF_METAFILEPICT, "not a metafile");
  EXPECT_THROW(PasteClipboardPicture(picture), EInvalidGraphic);
  ASSERT_TRUE(picture.Graphic()->Is<TBitmap>());
  EXPECT_EQ(picture.Bitmap()->PixelColor(1, 1), clRed);
  // The clipboard was closed again after the failure.
  EXPECT_TRUE(OpenClipboard(0));
  CloseClipboard();
}

}  // namespace
}  // namespace tw::test
