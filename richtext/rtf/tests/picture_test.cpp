// Embedded pictures through RTF: metafiles, device-independent and device-dependent bitmaps,
// and picture data that does not make a picture.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/gfx/metafile.h"
#include "richtext/rtf/rtfpicture.h"
#include "richtext/rtf/tests/picture_helpers.h"
#include "richtext/rtf/tests/helpers.h"

namespace tw::richtext {
namespace {

using namespace test;

std::unique_ptr<TMetafile> BlueBox() { return TwoBoxes(40, 20, clBlue, clRed); }

std::unique_ptr<TBitmap> Checker() {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) b->Canvas()->SetPixel(x, y, (x + y) % 2 ? clRed : TColor(0x00123456));
  return b;
}

void AddObjectChar(TRiRTFTextIo& e, TRiObject* o) {
  TAttr a = MakeAttr(0, 10, 0, 0, fxObject);
  a.Tag = o->Number;
  AddRun(e, "\x01", a);
}

// A document holding "a", a metafile, "b", a bitmap, "c".
void BuildPictures(TRiRTFTextIo& e) {
  AddRun(e, "a", MakeAttr(0, 10, 0));
  TRiObject* m = e.AddObject(BlueBox(), 0);
  m->Width = 600;
  m->Height = 300;
  AddObjectChar(e, m);
  AddRun(e, "b", MakeAttr(0, 10, 0));
  TRiObject* b = e.AddObject(Checker(), 0);
  b->Width = 75;
  b->Height = 45;
  AddObjectChar(e, b);
  AddRun(e, "c", MakeAttr(0, 10, 0));
}

TRiObject* ObjectAt(TRiRTFTextIo& e, int index) {
  const auto c = Chars(e.FirstPar);
  if (index >= static_cast<int>(c.size())) return nullptr;
  const Char& ch = c[static_cast<std::size_t>(index)];
  if (!(ch.A.Extra & fxObject)) return nullptr;
  return e.ObjectOf(static_cast<unsigned char>(ch.Ch), ch.A.Tag);
}

void ExpectSamePictures(TRiRTFTextIo& b) {
  ASSERT_EQ(b.ParagraphText(0), "a\x01" "b\x01" "c");
  TRiObject* m = ObjectAt(b, 1);
  ASSERT_NE(m, nullptr);
  auto* mf = dynamic_cast<TMetafile*>(m->Graphic.get());
  ASSERT_NE(mf, nullptr);
  const auto original = BlueBox();
  EXPECT_EQ(mf->MMWidth(), original->MMWidth());
  EXPECT_EQ(mf->MMHeight(), original->MMHeight());
  EXPECT_EQ(mf->Records().size(), original->Records().size());
  EXPECT_EQ(m->Width, 600);
  EXPECT_EQ(m->Height, 300);
  // The replayed metafile draws what the original drew.
  TBitmap drawn;
  drawn.SetSize(40, 20);
  drawn.Canvas()->StretchDraw(TRect{0, 0, 40, 20}, mf);
  EXPECT_EQ(drawn.PixelColor(5, 10), clBlue);
  EXPECT_EQ(drawn.PixelColor(30, 10), clRed);
  TRiObject* p = ObjectAt(b, 3);
  ASSERT_NE(p, nullptr);
  auto* bmp = dynamic_cast<TBitmap*>(p->Graphic.get());
  ASSERT_NE(bmp, nullptr);
  ASSERT_EQ(bmp->Width(), 5);
  ASSERT_EQ(bmp->Height(), 3);
  const auto checker = Checker();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(bmp->PixelColor(x, y), checker->PixelColor(x, y)) << x << "," << y;
  EXPECT_EQ(p->Width, 75);
  EXPECT_EQ(p->Height, 45);
}

TEST(RtfPictureRoundTrip, MetafilesAndDeviceIndependentBitmapsComeBack) {
  // Bitmaps are written device-independent, the form word processors read, whatever the
  // WriteBitmapAsDib switch says.
  for (const bool dib : {false, true}) {
    TRiRTFTextIo a;
    a.WriteBitmapAsDib = dib;
    BuildPictures(a);
    const std::string rtf = a.AsRtf();
    EXPECT_NE(rtf.find("{\\pict\\wmetafile8\\picw"), std::string::npos);
    EXPECT_NE(rtf.find("{\\pict\\dibitmap0\\wbmbitspixel24\\wbmplanes1\\wbmwidthbytes15\\picw5\\pich3"
                       "\\picwgoal75\\pichgoal45\r\n"),
              std::string::npos);
    EXPECT_EQ(rtf.find("\\wbitmap"), std::string::npos);
    TRiRTFTextIo b;
    LoadRtf(b, rtf);
    ExpectSamePictures(b);
    // And once more: what was read writes the same pictures again.
    EXPECT_EQ(b.AsRtf(), rtf);
  }
}

TEST(RtfPictureRoundTrip, CopiedDocumentsKeepMetafilesAndBitmaps) {
  TRiRTFTextIo a;
  BuildPictures(a);
  TRiRTFTextIo b;
  b.Assign(&a);
  ExpectSamePictures(b);
}

TEST(RtfPictureReading, DeviceDependentBitmapsOfTheCommonDepths) {
  TRiRTFTextIo e;
  // 1 bit: rows of 2 bytes (even row size) for 3 pixels: on, off, on / off, on, off.
  // 24 bits: 2 pixels in a row of 6 bytes: blue-green-red order.
  LoadRtf(e, "{\\rtf1 {\\pict\\wbitmap0\\wbmbitspixel1\\wbmplanes1\\wbmwidthbytes2\\picw3\\pich2 a0004000}"
             "{\\pict\\wbitmap0\\wbmbitspixel24\\wbmplanes1\\wbmwidthbytes6\\picw2\\pich1 0000ffff0000}}");
  ASSERT_EQ(e.ParagraphText(0), "\x01\x01");
  auto* one = dynamic_cast<TBitmap*>(ObjectAt(e, 0)->Graphic.get());
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->PixelColor(0, 0), clWhite);
  EXPECT_EQ(one->PixelColor(1, 0), clBlack);
  EXPECT_EQ(one->PixelColor(2, 0), clWhite);
  EXPECT_EQ(one->PixelColor(1, 1), clWhite);
  auto* rgb = dynamic_cast<TBitmap*>(ObjectAt(e, 1)->Graphic.get());
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(rgb->PixelColor(0, 0), clRed);
  EXPECT_EQ(rgb->PixelColor(1, 0), clBlue);
  // Without a goal size a picture keeps its own size (15 twips a pixel at 96 per inch).
  EXPECT_EQ(ObjectAt(e, 1)->Width, 30);
  EXPECT_EQ(ObjectAt(e, 1)->Height, 15);
}

TEST(RtfPictureReading, DamagedPictureDataIsLeftOutAndTheTextGoesOn) {
  const char* inputs[] = {
      // bits shorter than the size words say
      "{\\rtf1 a{\\pict\\wbitmap0\\wbmbitspixel24\\wbmplanes1\\wbmwidthbytes6\\picw2\\pich4 0000ff}b}",
      // a row size too small for the width, two planes, an unknown depth
      "{\\rtf1 a{\\pict\\wbitmap0\\wbmbitspixel24\\wbmwidthbytes2\\picw2\\pich1 000000000000}b}",
      "{\\rtf1 a{\\pict\\wbitmap0\\wbmbitspixel7\\wbmwidthbytes2\\picw2\\pich1 0000}b}",
      // metafile records that do not parse, and one that ends inside a record
      "{\\rtf1 a{\\pict\\wmetafile8\\picw100\\pich100 0100090000ffffffff}b}",
      "{\\rtf1 a{\\pict\\wmetafile8\\picw100\\pich100 010009000003}b}",
      // a metafile larger than its header can say
      "{\\rtf1 a{\\pict\\wmetafile8\\picw99999\\pich100 010009000003}b}",
      // a device-independent header with nonsense sizes
      "{\\rtf1 a{\\pict\\dibitmap0 28000000ffffffff}b}",
      // no kind word at all
      "{\\rtf1 a{\\pict\\picw2\\pich2 00000000}b}",
  };
  for (const char* in : inputs) {
    TRiRTFTextIo e;
    LoadRtf(e, in);
    EXPECT_EQ(e.ParagraphText(0), "ab") << in;
    EXPECT_TRUE(e.Objects().empty()) << in;
  }
  // A picture nested in another: the outer one's data after the inner one ends is dropped.
  TRiRTFTextIo e;
  LoadRtf(e, "{\\rtf1 a{\\pict\\wbitmap0\\picw1\\pich1{\\pict\\wbitmap0 00}" + std::string(3000, 'a') +
                 "\\bin4 wxyz}b}");
  EXPECT_EQ(e.ParagraphText(0), "ab");
}

TEST(RtfPictureReading, TheSeedFileHoldsAMetafileAndBothBitmapKinds) {
  const char* root = std::getenv("TIDEWELL_SOURCE_DIR");
  ASSERT_NE(root, nullptr);
  TRiRTFTextIo e;
  e.LoadFromFile(std::string(root) + "/richtext/rtf/fuzz/corpus/fuzz_rtf_reader/pictures.rtf");
  ASSERT_EQ(e.ParagraphText(0), "a\x01" "b\x01" "c\x01" "d");
  auto* mf = dynamic_cast<TMetafile*>(ObjectAt(e, 1)->Graphic.get());
  ASSERT_NE(mf, nullptr);
  EXPECT_EQ(mf->MMWidth(), 529);
  TBitmap drawn;
  drawn.SetSize(20, 10);
  drawn.Canvas()->StretchDraw(TRect{0, 0, 20, 10}, mf);
  EXPECT_EQ(drawn.PixelColor(0, 5), clBlack);  // the rectangle's edge in the default pen
  for (int i : {3, 5}) {
    auto* bmp = dynamic_cast<TBitmap*>(ObjectAt(e, i)->Graphic.get());
    ASSERT_NE(bmp, nullptr) << i;
    EXPECT_EQ(bmp->PixelColor(0, 0), clRed) << i;
    EXPECT_EQ(bmp->PixelColor(1, 0), clBlue) << i;
  }
}

TEST(RtfPictureReading, BitmapBitsRoundTripOutsideTheReader) {
  const auto checker = Checker();
  std::int32_t widthBytes = 0;
  const std::string bits = BitmapBits(*checker, widthBytes);
  EXPECT_EQ(widthBytes, 20);
  ASSERT_EQ(bits.size(), 60u);
  const auto back = BitmapFromBits(bits, 5, 3, 32, 1, widthBytes);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->PixelColor(1, 0), clRed);
  EXPECT_EQ(back->PixelColor(0, 0), TColor(0x00123456));
  EXPECT_EQ(BitmapFromBits(bits, 5, 4, 32, 1, widthBytes), nullptr);  // one row short
}

}  // namespace
}  // namespace tw::richtext
