// Metafiles: drawing recorded by the metafile canvas replays into any rectangle, survives the
// placeable file format, and damaged files are refused whole.
#include <gtest/gtest.h>

#include <string>

#include "gfx_test_util.h"
#include "platform/classes/streams.h"
#include "platform/gfx/metafile.h"

namespace tw {
namespace {

using testing::Surface;

// A 100 x 50 picture: a red square on the left, a blue ellipse on the right.
void RecordSample(TMetafile& m) {
  TMetafileCanvas c(&m, 100, 50);
  c.Pen()->SetStyle(TPenStyle::psClear);
  c.Brush()->SetColor(clRed);
  c.Rectangle(0, 0, 50, 50);
  c.Brush()->SetColor(clBlue);
  c.Ellipse(50, 0, 100, 50);
}

void PutWord(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

// A metafile file made by hand: the placeable header (unless `inch` is 0), the file header and
// the records given as words {size low, size high, function, params...}, then the end record.
std::string MakeFile(int inch, int right, int bottom, const std::vector<std::vector<unsigned>>& records) {
  std::string out;
  if (inch != 0) {
    for (unsigned v : {0xCDD7u, 0x9AC6u, 0u, 0u, 0u, static_cast<unsigned>(right), static_cast<unsigned>(bottom),
                       static_cast<unsigned>(inch), 0u, 0u})
      PutWord(out, v);
    unsigned sum = 0;
    for (std::size_t i = 0; i < 20; i += 2)
      sum ^= static_cast<unsigned char>(out[i]) | static_cast<unsigned char>(out[i + 1]) << 8;
    PutWord(out, sum);
  }
  unsigned total = 9 + 3, largest = 3;
  for (const auto& r : records) {
    total += static_cast<unsigned>(r.size());
    largest = std::max(largest, static_cast<unsigned>(r.size()));
  }
  for (unsigned v : {1u, 9u, 0x300u, total & 0xFFFF, total >> 16, 4u, largest & 0xFFFF, largest >> 16, 0u}) PutWord(out, v);
  for (const auto& r : records)
    for (unsigned v : r) PutWord(out, v);
  for (unsigned v : {3u, 0u, 0u}) PutWord(out, v);
  return out;
}

TEST(MetafileTest, RecordedDrawingReplaysStretchedIntoTheTargetRectangle) {
  TMetafile m;
  RecordSample(m);
  EXPECT_FALSE(m.Empty());
  EXPECT_EQ(m.Width(), 100);
  EXPECT_EQ(m.Height(), 50);
  EXPECT_EQ(m.MMWidth(), 2646);  // 100 pixels at 96 per inch in hundredths of a millimetre

  Surface s(220, 120);
  s.Canvas().StretchDraw(Rect(10, 10, 210, 110), &m);
  EXPECT_EQ(s.At(50, 60), clRed);
  EXPECT_EQ(s.At(105, 105), clRed);
  EXPECT_EQ(s.At(160, 60), clBlue);
  EXPECT_EQ(s.At(5, 5), clWhite);
  const TRect ink = s.InkBox();
  EXPECT_EQ(ink.TopLeft(), Point(10, 10));
  EXPECT_LE(ink.Right, 210) << "nothing is drawn outside the target";
  EXPECT_LE(ink.Bottom, 110);

  Surface natural(120, 60);
  natural.Canvas().Draw(0, 0, &m);
  EXPECT_EQ(natural.At(25, 25), clRed);
  EXPECT_EQ(natural.At(110, 25), clWhite);
}

TEST(MetafileTest, PlaceableFileRoundTripsAndDrawsTheSame) {
  TMetafile m;
  {
    TMetafileCanvas c(&m, 64, 48);
    c.Pen()->SetColor(clGreen);
    c.Pen()->SetWidth(3);
    c.Brush()->SetStyle(TBrushStyle::bsClear);
    c.Polygon({{4, 4}, {60, 10}, {30, 44}});
    c.MoveTo(0, 47);
    c.LineTo(63, 47);
    c.Font()->SetColor(clMaroon);
    c.Font()->SetHeight(-12);
    c.TextOut(8, 20, "Tide");
  }
  const std::string bytes = m.SaveToBytes();
  ASSERT_GE(bytes.size(), 40u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\xD7\xCD\xC6\x9A", 4));

  TMetafile back;
  TMemoryStream stream;
  stream.WriteBuffer(bytes);
  stream.SetPosition(0);
  back.LoadFromStream(stream);
  EXPECT_EQ(back.SaveToBytes(), bytes);
  EXPECT_EQ(back.Records().size(), m.Records().size());

  Surface a(64, 48), b(64, 48);
  a.Canvas().Draw(0, 0, &m);
  b.Canvas().Draw(0, 0, &back);
  EXPECT_EQ(a.Pixels(), b.Pixels());
  EXPECT_EQ(a.At(10, 47), clGreen);
  // The glyphs are smoothed, so their darkest pixels are near the text colour.
  bool maroon = false;
  for (int y = 18; y < 36 && !maroon; ++y)
    for (int x = 8; x < 40 && !maroon; ++x) {
      const TColor c = a.At(x, y);
      maroon = GetRValue(c) >= 0x60 && GetRValue(c) <= 0xA0 && GetGValue(c) <= 0x20 && GetBValue(c) <= 0x20;
    }
  EXPECT_TRUE(maroon) << "the text is drawn in the text colour";

  TMetafile copy;
  copy.Assign(&m);
  EXPECT_EQ(copy.SaveToBytes(), bytes);
}

TEST(MetafileTest, WindowExtentAndHeaderUnitsMapLogicalCoordinates) {
  // The form the rich-text reader builds: bounding box in hundredths of a millimetre at 2540
  // per inch, records in their own logical units through the window origin and extent.
  const std::string file = MakeFile(2540, 2540, 1270,
                                    {{5, 0, 0x020B, 100, 1000},      // window origin x 1000, y 100
                                     {5, 0, 0x020C, 200, 400},       // window extent 400 x 200
                                     {7, 0, 0x02FC, 0, 0x00FF, 0, 0},  // brush: solid red
                                     {4, 0, 0x012D, 0},              // select it
                                     {7, 0, 0x041B, 300, 1200, 100, 1000}});  // left half
  TMetafile m;
  m.LoadFromBytes(file);
  EXPECT_EQ(m.Inch(), 2540);
  EXPECT_EQ(m.Width(), 96);
  EXPECT_EQ(m.Height(), 48);
  Surface s(96, 48);
  s.Canvas().Draw(0, 0, &m);
  EXPECT_EQ(s.At(20, 24), clRed);
  EXPECT_EQ(s.At(70, 24), clWhite);
  // Resizing moves the far edges of the box; the records then stretch to the new size.
  m.SetMMWidth(5080);
  m.SetHeight(24);
  EXPECT_EQ(m.Width(), 192);
  EXPECT_EQ(m.MMHeight(), 635);
  EXPECT_THROW(m.SetInch(0), EInvalidGraphicOperation);

  // A bare file (no placeable header) takes its size from its first window.
  TMetafile bare;
  bare.LoadFromBytes(MakeFile(0, 0, 0, {{5, 0, 0x020C, 20, 30}, {7, 0, 0x041B, 20, 30, 0, 0}}));
  EXPECT_EQ(bare.Width(), 30);
  EXPECT_EQ(bare.Height(), 20);
}

TEST(MetafileTest, ObjectTableKeepsSlotsOfObjectsItDoesNotDraw) {
  // A palette takes slot 0, so the red brush is slot 1; deleting the selected brush falls back
  // to the default white one.
  const std::string file =
      MakeFile(96, 20, 10,
               {{5, 0, 0x00F7, 0x300, 0},  // palette
                {7, 0, 0x02FC, 0, 0x00FF, 0, 0},
                {4, 0, 0x012D, 1},
                {7, 0, 0x041B, 10, 10, 0, 0},
                {4, 0, 0x01F0, 1},
                {7, 0, 0x041B, 10, 20, 0, 10},
                {5, 0, 0x7777, 1, 2}});  // unknown: kept, not drawn
  TMetafile m;
  m.LoadFromBytes(file);
  EXPECT_EQ(m.Records().back().Function, 0x7777);
  Surface s(20, 10);
  s.Canvas().Draw(0, 0, &m);
  EXPECT_EQ(s.At(4, 4), clRed);
  EXPECT_EQ(s.At(15, 4), clWhite);
  EXPECT_EQ(m.SaveToBytes(), file) << "unknown records are written back as they came";
}

TEST(MetafileTest, BitmapsDrawnIntoAMetafileComeBackStretched) {
  TBitmap bmp;
  bmp.SetSize(2, 1);
  bmp.Canvas()->SetPixel(0, 0, clYellow);
  bmp.Canvas()->SetPixel(1, 0, clNavy);
  TMetafile m;
  {
    TMetafileCanvas c(&m, 40, 20);
    c.StretchDraw(Rect(0, 0, 40, 20), &bmp);
  }
  TMetafile back;
  back.LoadFromBytes(m.SaveToBytes());
  Surface s(40, 20);
  s.Canvas().Draw(0, 0, &back);
  EXPECT_EQ(s.At(5, 10), clYellow);
  EXPECT_EQ(s.At(35, 10), clNavy);
}

TEST(MetafileTest, DamagedFilesAreRefusedAndLeaveThePictureAsItWas) {
  TMetafile sample;
  RecordSample(sample);
  const std::string good = sample.SaveToBytes();
  TMetafile m;
  RecordSample(m);
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_THROW(m.LoadFromBytes(good.substr(0, n)), EInvalidGraphic) << "cut at " << n;
  EXPECT_EQ(m.SaveToBytes(), good);

  std::string tiny = MakeFile(96, 10, 10, {{2, 0, 0x041B}});  // record shorter than its header
  EXPECT_THROW(m.LoadFromBytes(tiny), EInvalidGraphic);
  std::string shortRect = MakeFile(96, 10, 10, {{5, 0, 0x041B, 1, 2}});
  EXPECT_THROW(m.LoadFromBytes(shortRect), EInvalidGraphic);
  std::string polygon = MakeFile(96, 10, 10, {{6, 0, 0x0324, 200, 1, 2}});  // 200 points announced
  EXPECT_THROW(m.LoadFromBytes(polygon), EInvalidGraphic);
  std::string text = MakeFile(96, 10, 10, {{5, 0, 0x0521, 40, 0x4141}});
  EXPECT_THROW(m.LoadFromBytes(text), EInvalidGraphic);
  std::string noInch = MakeFile(96, 10, 10, {});
  noInch[14] = noInch[15] = 0;
  EXPECT_THROW(m.LoadFromBytes(noInch), EInvalidGraphic);
  std::string badDib = MakeFile(96, 10, 10, {{17, 0, 0x0F43, 0x20, 0xCC, 0, 1, 1, 0, 0, 1, 1, 0, 0, 40, 0, 9, 9}});
  EXPECT_THROW(m.LoadFromBytes(badDib), EInvalidGraphic);
  EXPECT_EQ(m.SaveToBytes(), good);
}

TEST(MetafileTest, CanvasRefusesBadSizesAndUseAfterFinish) {
  TMetafile m;
  EXPECT_THROW(TMetafileCanvas(&m, 0, 10), EInvalidGraphicOperation);
  EXPECT_THROW(TMetafileCanvas(nullptr, 10, 10), EInvalidGraphicOperation);
  TMetafileCanvas c(&m, 10, 10);
  c.Rectangle(0, 0, 5, 5);
  c.Finish();
  EXPECT_FALSE(m.Empty());
  EXPECT_THROW(c.LineTo(1, 1), EInvalidGraphicOperation);
  EXPECT_THROW(c.Polygon({}), EInvalidGraphicOperation);
}

}  // namespace
}  // namespace tw
