// Pictures: one container for bitmaps, icons and metafiles, telling the kind from the bytes or
// the file name, copying, drawing and keeping what it held when a load fails.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "gfx_test_util.h"
#include "platform/classes/streams.h"
#include "platform/gfx/picture.h"

namespace tw {
namespace {

using testing::Surface;

std::string RedBitmapFile() {
  TBitmap b;
  b.SetSize(4, 3);
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(Rect(0, 0, 4, 3));
  return b.SaveToBytes();
}

std::string GreenMetafileFile() {
  TMetafile m;
  {
    TMetafileCanvas c(&m, 8, 8);
    c.Brush()->SetColor(clLime);
    c.Pen()->SetStyle(TPenStyle::psClear);
    c.Rectangle(0, 0, 9, 9);
  }
  return m.SaveToBytes();
}

void LoadBytes(TPicture& p, const std::string& bytes) {
  TMemoryStream s;
  s.WriteBuffer(bytes);
  s.SetPosition(0);
  p.LoadFromStream(s);
}

TEST(PictureTest, KindComesFromTheBytesAndAFailedLoadKeepsThePicture) {
  TPicture p;
  int changes = 0;
  p.OnChange = [&](TObject*) { ++changes; };
  LoadBytes(p, RedBitmapFile());
  ASSERT_NE(p.Graphic(), nullptr);
  EXPECT_TRUE(p.Graphic()->Is<TBitmap>());
  EXPECT_EQ(p.Width(), 4);
  LoadBytes(p, GreenMetafileFile());
  EXPECT_TRUE(p.Graphic()->Is<TMetafile>());
  EXPECT_EQ(p.Height(), 8);
  EXPECT_EQ(changes, 2);

  EXPECT_THROW(LoadBytes(p, "GIF89a"), EInvalidGraphic);
  EXPECT_THROW(LoadBytes(p, RedBitmapFile().substr(0, 30)), EInvalidGraphic);
  EXPECT_TRUE(p.Graphic()->Is<TMetafile>()) << "a failed load leaves the old picture";
  EXPECT_EQ(changes, 2);

  // Asking for another kind replaces the graphic with an empty one of that kind.
  EXPECT_TRUE(p.Icon()->Empty());
  EXPECT_TRUE(p.Empty());
}

TEST(PictureTest, FilesAreReadByTheirExtension) {
  const std::string base = "/tmp/tw_picture_" + std::to_string(::getpid());
  {
    TFileStream f(base + ".WMF", fmCreate);
    f.WriteBuffer(GreenMetafileFile());
  }
  TPicture p;
  p.LoadFromFile(base + ".WMF");
  EXPECT_TRUE(p.Graphic()->Is<TMetafile>());
  p.SaveToFile(base + ".copy.wmf");
  TPicture q;
  q.LoadFromFile(base + ".copy.wmf");
  EXPECT_EQ(q.Width(), 8);
  EXPECT_THROW(q.LoadFromFile(base + ".gif"), EInvalidGraphic);
  std::remove((base + ".WMF").c_str());
  std::remove((base + ".copy.wmf").c_str());
}

TEST(PictureTest, AssignCopiesTheGraphicAndDrawStretchesIt) {
  TPicture source;
  LoadBytes(source, GreenMetafileFile());
  TPicture copy;
  copy.Assign(&source);
  ASSERT_NE(copy.Graphic(), source.Graphic());
  EXPECT_TRUE(copy.Graphic()->Is<TMetafile>());
  source.SetGraphic(nullptr);
  EXPECT_TRUE(source.Empty());

  Surface s(30, 20);
  copy.Draw(&s.Canvas(), Rect(10, 0, 30, 20));
  EXPECT_EQ(s.At(20, 10), clLime);
  EXPECT_EQ(s.At(5, 10), clWhite);

  TBitmap bmp;
  bmp.LoadFromBytes(RedBitmapFile());
  copy.Assign(&bmp);
  EXPECT_TRUE(copy.Graphic()->Is<TBitmap>());
  EXPECT_NE(copy.Graphic(), &bmp);
  copy.Assign(nullptr);
  EXPECT_EQ(copy.Graphic(), nullptr);
}

TEST(PictureTest, NewGraphicKnowsThePictureClasses) {
  EXPECT_TRUE(NewGraphic("tbitmap")->Is<TBitmap>());
  EXPECT_TRUE(NewGraphic("TIcon")->Is<TIcon>());
  EXPECT_TRUE(NewGraphic("TMetafile")->Is<TMetafile>());
  EXPECT_EQ(NewGraphic("TJPEGImage"), nullptr);
}

}  // namespace
}  // namespace tw
