#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <unistd.h>

#include "platform/gfx/tests/gfx_test_util.h"

namespace tw {
namespace {

using testing::Surface;

void Put16(std::string& s, unsigned v) { s += static_cast<char>(v & 0xFF); s += static_cast<char>((v >> 8) & 0xFF); }
void Put32(std::string& s, std::uint32_t v) { for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF); }

// A BITMAPINFOHEADER with the given fields.
std::string InfoHeader(int w, int h, int bpp, std::uint32_t compression = 0, std::uint32_t colors = 0) {
  std::string s;
  Put32(s, 40);
  Put32(s, static_cast<std::uint32_t>(w));
  Put32(s, static_cast<std::uint32_t>(h));
  Put16(s, 1);
  Put16(s, static_cast<unsigned>(bpp));
  Put32(s, compression);
  Put32(s, 0);
  Put32(s, 2835);
  Put32(s, 2835);
  Put32(s, colors);
  Put32(s, 0);
  return s;
}

std::string BmpFile(const std::string& infoAndPalette, const std::string& bits) {
  std::string s = "BM";
  Put32(s, static_cast<std::uint32_t>(14 + infoAndPalette.size() + bits.size()));
  Put32(s, 0);
  Put32(s, static_cast<std::uint32_t>(14 + infoAndPalette.size()));
  return s + infoAndPalette + bits;
}

std::string Palette(std::initializer_list<TColor> colors) {
  std::string s;
  for (TColor c : colors) {
    s += static_cast<char>(GetBValue(c));
    s += static_cast<char>(GetGValue(c));
    s += static_cast<char>(GetRValue(c));
    s += '\0';
  }
  return s;
}

// 3 x 2, 8 bits per pixel, bottom-up: bottom row red green blue, top row white black red.
std::string EightBitFile() {
  std::string bits;
  bits += std::string("\x00\x01\x02\x00", 4);  // bottom row, padded to 4 bytes
  bits += std::string("\x03\x04\x00\x00", 4);  // top row
  return BmpFile(InfoHeader(3, 2, 8, 0, 5) + Palette({clRed, clLime, clBlue, clWhite, clBlack}), bits);
}

TEST(BitmapFormat, ReadsPalettedAndBitFieldFiles) {
  TBitmap bmp;
  bmp.LoadFromBytes(EightBitFile());
  ASSERT_EQ(bmp.Width(), 3);
  ASSERT_EQ(bmp.Height(), 2);
  EXPECT_EQ(bmp.PixelColor(0, 1), clRed);
  EXPECT_EQ(bmp.PixelColor(2, 1), clBlue);
  EXPECT_EQ(bmp.PixelColor(0, 0), clWhite);
  EXPECT_EQ(bmp.PixelColor(1, 0), clBlack);
  EXPECT_EQ(bmp.PixelFormat(), TPixelFormat::pf8bit);

  // 1 bit per pixel, 9 wide (two bytes per row), a checker.
  std::string bits1;
  for (int y = 0; y < 2; ++y) {
    bits1 += static_cast<char>(y == 0 ? 0xAA : 0x55);
    bits1 += static_cast<char>(y == 0 ? 0x80 : 0x00);
    bits1 += std::string(2, '\0');
  }
  bmp.LoadFromBytes(BmpFile(InfoHeader(9, 2, 1) + Palette({clBlack, clWhite}), bits1));
  EXPECT_EQ(bmp.PixelColor(0, 1), clWhite);  // bottom row stored first
  EXPECT_EQ(bmp.PixelColor(1, 1), clBlack);
  EXPECT_EQ(bmp.PixelColor(8, 1), clWhite);
  EXPECT_EQ(bmp.PixelColor(0, 0), clBlack);

  // 16 bits, 5-6-5 bit fields, top-down (negative height).
  std::string info = InfoHeader(2, -1, 16, 3);
  Put32(info, 0xF800);
  Put32(info, 0x07E0);
  Put32(info, 0x001F);
  std::string bits16;
  Put16(bits16, 0xF800);
  Put16(bits16, 0x07E0);
  bmp.LoadFromBytes(BmpFile(info, bits16));
  EXPECT_EQ(bmp.PixelColor(0, 0), clRed);
  EXPECT_EQ(bmp.PixelColor(1, 0), clLime);
}

TEST(BitmapFormat, ReadsRunLengthEncodedFiles) {
  // 4 x 2: bottom row 4 x colour 1; top row absolute run 2 1 then end of bitmap.
  std::string rle = std::string("\x04\x01\x00\x00", 4) + std::string("\x00\x03\x02\x01\x02\x00", 6) +
                    std::string("\x00\x01", 2);
  TBitmap bmp;
  bmp.LoadFromBytes(BmpFile(InfoHeader(4, 2, 8, 1, 3) + Palette({clBlack, clRed, clBlue}), rle));
  EXPECT_EQ(bmp.PixelColor(0, 1), clRed);
  EXPECT_EQ(bmp.PixelColor(3, 1), clRed);
  EXPECT_EQ(bmp.PixelColor(0, 0), clBlue);
  EXPECT_EQ(bmp.PixelColor(1, 0), clRed);
  EXPECT_EQ(bmp.PixelColor(2, 0), clBlue);
  EXPECT_EQ(bmp.PixelColor(3, 0), clBlack);
  // Without the end-of-bitmap mark the file is cut short.
  EXPECT_THROW(bmp.LoadFromBytes(BmpFile(InfoHeader(4, 2, 8, 1, 3) + Palette({clBlack, clRed, clBlue}),
                                         rle.substr(0, rle.size() - 2))),
               EInvalidGraphic);
}

TEST(BitmapFormat, RoundTripThroughStreamsAndFiles) {
  TBitmap bmp;
  bmp.SetSize(7, 5);  // an odd width needs row padding
  TCanvas* c = bmp.Canvas();
  c->Brush()->SetColor(RGB(10, 20, 30));
  c->FillRect(Rect(0, 0, 7, 5));
  c->SetPixel(0, 0, clRed);
  c->SetPixel(6, 4, clBlue);
  c->SetPixel(3, 2, RGB(1, 2, 3));
  TMemoryStream stream;
  bmp.SaveToStream(stream);
  EXPECT_EQ(stream.Size(), 14 + 40 + 24 * 5);
  stream.SetPosition(0);
  TBitmap back;
  back.LoadFromStream(stream);
  ASSERT_EQ(back.Width(), 7);
  ASSERT_EQ(back.Height(), 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(back.PixelColor(x, y), bmp.PixelColor(x, y)) << x << "," << y;

  const std::string file = ::testing::TempDir() + "gfx_roundtrip_" + std::to_string(::getpid()) + ".bmp";
  bmp.SaveToFile(file);
  TBitmap fromFile;
  fromFile.LoadFromFile(file);
  EXPECT_EQ(fromFile.PixelColor(6, 4), clBlue);
  std::remove(file.c_str());
}

TEST(BitmapFormat, ABitmapInsideALongerStreamStopsAtItsEnd) {
  TMemoryStream stream;
  stream.WriteBuffer(EightBitFile());
  stream.WriteBuffer(std::string("trailing data"));
  stream.SetPosition(0);
  TBitmap bmp;
  bmp.LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(EightBitFile().size()));
}

TEST(BitmapFormat, TruncatedAndCorruptFilesAreRejected) {
  const std::string good = EightBitFile();
  TBitmap bmp;
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_THROW(bmp.LoadFromBytes(good.substr(0, n)), EInvalidGraphic) << "length " << n;

  auto corrupt = [&](std::size_t at, std::string bytes) {
    std::string s = good;
    s.replace(at, bytes.size(), bytes);
    return s;
  };
  EXPECT_THROW(bmp.LoadFromBytes(corrupt(0, "XX")), EInvalidGraphic);                              // signature
  EXPECT_THROW(bmp.LoadFromBytes(corrupt(14, std::string("\x20\0\0\0", 4))), EInvalidGraphic);      // header size
  EXPECT_THROW(bmp.LoadFromBytes(corrupt(28, std::string("\x07\0", 2))), EInvalidGraphic);          // bit count
  EXPECT_THROW(bmp.LoadFromBytes(corrupt(18, std::string("\xFF\xFF\x00\x00", 4))), EInvalidGraphic);  // width
  EXPECT_THROW(bmp.LoadFromBytes(corrupt(22, std::string("\0\0\0\0", 4))), EInvalidGraphic);        // height
  EXPECT_THROW(bmp.LoadFromBytes(corrupt(46, std::string("\0\1\0\0", 4))), EInvalidGraphic);        // 256 colours > file
  EXPECT_THROW(bmp.LoadFromBytes(corrupt(10, std::string("\xFF\0\0\0", 4))), EInvalidGraphic);      // bits offset
  EXPECT_THROW(bmp.LoadFromBytes(corrupt(30, std::string("\x09\0\0\0", 4))), EInvalidGraphic);      // compression
  // A failed load leaves the previous picture alone.
  bmp.LoadFromBytes(good);
  EXPECT_THROW(bmp.LoadFromBytes(good.substr(0, 40)), EInvalidGraphic);
  EXPECT_EQ(bmp.Width(), 3);
  EXPECT_EQ(bmp.PixelColor(0, 1), clRed);
}

TEST(BitmapFormat, SizeChangesKeepPixelsAndPngIsWritten) {
  TBitmap bmp;
  EXPECT_TRUE(bmp.Empty());
  bmp.SetSize(4, 4);
  EXPECT_EQ(bmp.PixelColor(3, 3), clWhite);
  bmp.Canvas()->SetPixel(1, 1, clRed);
  bmp.SetSize(8, 2);
  EXPECT_EQ(bmp.PixelColor(1, 1), clRed);
  EXPECT_EQ(bmp.PixelColor(7, 1), clWhite);
  EXPECT_THROW(bmp.SetSize(-1, 4), EInvalidGraphic);
  TMemoryStream png;
  bmp.SaveToPNGStream(png);
  EXPECT_EQ(png.Bytes().substr(1, 3), "PNG");
  TBitmap copy;
  copy.Assign(&bmp);
  EXPECT_EQ(copy.PixelColor(1, 1), clRed);
  bmp.Canvas()->SetPixel(1, 1, clBlue);
  EXPECT_EQ(copy.PixelColor(1, 1), clRed);  // a copy, not a share
}

// ---------------------------------------------------------------------------------------------

// An .ICO file with one 4-bit 16 x 16 image: left half red, right half blue, top-left 4 x 4
// transparent through the AND mask.
std::string FourBitIcon() {
  std::string img = InfoHeader(16, 32, 4) + Palette({clBlack, clRed, clBlue});
  img += std::string(13 * 4, '\0');  // palette of 16 entries
  for (int y = 0; y < 16; ++y) img += std::string(4, '\x11') + std::string(4, '\x22');
  for (int y = 0; y < 16; ++y) {
    const bool top = y >= 12;  // rows are stored bottom-up
    img += static_cast<char>(top ? 0xF0 : 0x00);
    img += std::string(3, '\0');
  }
  std::string file;
  Put16(file, 0);
  Put16(file, 1);
  Put16(file, 1);
  file += std::string("\x10\x10\x10\x00", 4);
  Put16(file, 1);
  Put16(file, 4);
  Put32(file, static_cast<std::uint32_t>(img.size()));
  Put32(file, 22);
  return file + img;
}

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

TEST(IconFormat, LoadsMaskedAndPngImagesAndDrawsThemTransparently) {
  TIcon icon;
  icon.LoadFromBytes(FourBitIcon());
  ASSERT_EQ(icon.Width(), 16);
  Surface s(20, 20);
  s.Canvas().Draw(2, 2, &icon);
  EXPECT_EQ(s.At(3, 3), clWhite);   // masked away
  EXPECT_EQ(s.At(2, 10), clRed);
  EXPECT_EQ(s.At(17, 10), clBlue);

  // A second, larger image stored as PNG: the icon picks the 32 x 32 one.
  cairo_surface_t* big = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
  cairo_t* cr = cairo_create(big);
  cairo_set_source_rgb(cr, 0, 1, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  std::string png;
  cairo_surface_write_to_png_stream(big, AppendPng, &png);
  cairo_surface_destroy(big);
  std::string first = FourBitIcon().substr(22);
  std::string file;
  Put16(file, 0);
  Put16(file, 1);
  Put16(file, 2);
  file += std::string("\x10\x10\x10\x00\x01\x00\x04\x00", 8);
  Put32(file, static_cast<std::uint32_t>(first.size()));
  Put32(file, 6 + 32);
  file += std::string("\x20\x20\x00\x00\x01\x00\x20\x00", 8);
  Put32(file, static_cast<std::uint32_t>(png.size()));
  Put32(file, static_cast<std::uint32_t>(6 + 32 + first.size()));
  file += first + png;
  TMemoryStream stream;
  stream.WriteBuffer(file);
  stream.SetPosition(0);
  icon.LoadFromStream(stream);
  EXPECT_EQ(icon.ImageCount(), 2);
  EXPECT_EQ(icon.Width(), 32);
  Surface t(40, 40);
  t.Canvas().Draw(0, 0, &icon);
  EXPECT_EQ(t.At(31, 31), clLime);
  icon.SetPreferredSize(16, 16);
  EXPECT_EQ(icon.Width(), 16);
}

TEST(IconFormat, TruncatedAndCorruptFilesAreRejected) {
  const std::string good = FourBitIcon();
  TIcon icon;
  for (std::size_t n = 0; n < good.size(); n += 7)
    EXPECT_THROW(icon.LoadFromBytes(good.substr(0, n)), EInvalidGraphic) << "length " << n;
  std::string badType = good;
  badType[2] = 3;
  EXPECT_THROW(icon.LoadFromBytes(badType), EInvalidGraphic);
  std::string badOffset = good;
  badOffset[18] = '\x7F';
  EXPECT_THROW(icon.LoadFromBytes(badOffset), EInvalidGraphic);
  std::string noImages = good;
  noImages[4] = 0;
  EXPECT_THROW(icon.LoadFromBytes(noImages), EInvalidGraphic);
  EXPECT_TRUE(icon.Empty());
}

// ---------------------------------------------------------------------------------------------

TEST(ImageList, AddCutsStripsAndDrawsByIndex) {
  TImageList list(nullptr, 4, 4);
  TBitmap strip;
  strip.SetSize(12, 4);
  TCanvas* c = strip.Canvas();
  c->Brush()->SetColor(clFuchsia);
  c->FillRect(Rect(0, 0, 12, 4));
  c->Brush()->SetColor(clRed);
  c->FillRect(Rect(1, 1, 3, 3));
  c->Brush()->SetColor(clBlue);
  c->FillRect(Rect(5, 1, 7, 3));
  c->Brush()->SetColor(clLime);
  c->FillRect(Rect(9, 1, 11, 3));
  EXPECT_EQ(list.AddMasked(&strip, clFuchsia), 0);
  EXPECT_EQ(list.Count(), 3);

  Surface s(10, 10);
  list.Draw(&s.Canvas(), 2, 2, 1);
  EXPECT_EQ(s.At(2, 2), clWhite);  // the mask colour is left out
  EXPECT_EQ(s.At(4, 4), clBlue);
  list.Draw(&s.Canvas(), 0, 0, 7);  // out of range: nothing
  EXPECT_EQ(s.At(0, 0), clWhite);

  TBitmap one;
  list.GetBitmap(2, &one);
  EXPECT_EQ(one.PixelColor(1, 1), clLime);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_THROW(list.Delete(5), EInvalidOperation);

  TBitmap mask;
  mask.SetSize(4, 4);
  mask.Canvas()->Brush()->SetColor(clBlack);
  mask.Canvas()->FillRect(Rect(0, 0, 4, 2));  // top half opaque, bottom half (white) clear
  TBitmap red;
  red.SetSize(4, 4);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(Rect(0, 0, 4, 4));
  const int at = list.Add(&red, &mask);
  Surface t(10, 10);
  list.Draw(&t.Canvas(), 0, 0, at);
  EXPECT_EQ(t.At(1, 1), clRed);
  EXPECT_EQ(t.At(1, 3), clWhite);
  list.SetWidth(8);
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace tw
