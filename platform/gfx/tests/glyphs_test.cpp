// Text drawn straight into the pixels of an image surface against the same text drawn by
// cairo: every pixel the same, in every face, size, style, resolution, colour, clip and
// placement, over any background, with glyphs that overlap and glyphs that do not.
#include <gtest/gtest.h>

#include <clocale>
#include <random>
#include <string>
#include <vector>

#include "platform/gfx/fontengine.h"
#include "platform/gfx/tests/gfx_test_util.h"

namespace tw {
namespace {

using testing::Surface;

// Turns the direct drawing off for the life of the object.
struct TCairoGlyphs {
  TCairoGlyphs() { gfxdetail::SetDirectGlyphs(false); }
  ~TCairoGlyphs() { gfxdetail::SetDirectGlyphs(true); }
};

// Random premultiplied pixels, opaque or not, the same in both surfaces.
void Noise(Surface& s, std::mt19937& rng, bool opaque) {
  cairo_surface_t* target = cairo_get_target(s.Cairo());
  cairo_surface_flush(target);
  unsigned char* data = cairo_image_surface_get_data(target);
  const int w = cairo_image_surface_get_width(target), h = cairo_image_surface_get_height(target);
  const int stride = cairo_image_surface_get_stride(target);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint32_t a = opaque ? 255u : rng() % 256;
      std::uint32_t v = a << 24;
      for (int shift : {0, 8, 16}) v |= (a == 0 ? 0 : rng() % (a + 1)) << shift;
      std::memcpy(data + y * stride + 4 * x, &v, 4);
    }
  cairo_surface_mark_dirty(target);
}

struct TCase {
  std::string face;
  int height = 0;        // em height in pixels when negative, else a point size
  int ppi = 96;
  TFontStyles style;
  TColor color = clBlack;
  TColor brush = clWhite;
  std::string text;
  std::vector<int> dx;   // empty: the font's own advances
  int x = 0, y = 0;
  unsigned options = 0;
  TRect rect{};
  bool clip = false;     // a clip of two rectangles (one cut out of another)
  TRect clipRect{};
  TRect cut{};
  int shiftX = 0, shiftY = 0;
  double zoom = 1;       // a scale cairo alone can draw
  bool opaqueBack = true;
  bool centred = false;
};

std::vector<std::uint32_t> Draw(const TCase& c, unsigned seed) {
  Surface s(160, 70, c.ppi);
  std::mt19937 rng(seed);
  Noise(s, rng, c.opaqueBack);
  TCanvas& canvas = s.Canvas();
  if (c.shiftX != 0 || c.shiftY != 0 || c.zoom != 1) {
    cairo_translate(s.Cairo(), c.shiftX, c.shiftY);
    cairo_scale(s.Cairo(), c.zoom, c.zoom);
  }
  canvas.Font()->SetName(c.face);
  if (c.height < 0)
    canvas.Font()->SetHeight(c.height);
  else
    canvas.Font()->SetSize(c.height);
  canvas.Font()->SetStyle(c.style);
  canvas.Font()->SetColor(c.color);
  canvas.Brush()->SetColor(c.brush);
  if ((c.options & ETO_OPAQUE) == 0) canvas.Brush()->SetStyle(TBrushStyle::bsClear);
  if (c.clip) {
    canvas.IntersectClipRect(c.clipRect);
    ExcludeClipRect(canvas.Handle(), c.cut.Left, c.cut.Top, c.cut.Right, c.cut.Bottom);
  }
  if (c.centred) canvas.SetTextAlign(TA_CENTER | TA_BASELINE);
  canvas.ExtTextOut(c.x, c.y, c.options, c.options != 0 ? &c.rect : nullptr, c.text, c.dx.empty() ? nullptr : c.dx.data());
  return s.Pixels();
}

TCase RandomCase(std::mt19937& rng) {
  const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  static const char* const faces[] = {"Arial", "Times New Roman", "Courier New", "Symbol", "Wingdings"};
  static const TColor colors[] = {clBlack, clWhite, clNavy, clRed, clGray, static_cast<TColor>(0x3A7F12), clYellow};
  static const std::string letters = "AVWTfijlmgy.,;:!?0123456789 \xE4\xF6\xFC\xDF\xC6\xE9\x80\x95\x01\t-";
  TCase c;
  c.face = faces[pick(5)];
  c.height = pick(3) == 0 ? 6 + pick(20) : -(7 + pick(40));
  c.ppi = pick(4) == 0 ? 120 + 24 * pick(3) : 96;
  if (pick(3) == 0) c.style.Include(TFontStyle::fsBold);
  if (pick(3) == 0) c.style.Include(TFontStyle::fsItalic);
  if (pick(6) == 0) c.style.Include(TFontStyle::fsUnderline);
  c.color = colors[pick(7)];
  c.brush = colors[pick(7)];
  const int length = 1 + pick(30);
  for (int i = 0; i < length; ++i) c.text.push_back(letters[static_cast<std::size_t>(pick(static_cast<int>(letters.size())))]);
  switch (pick(3)) {
    case 0: break;
    case 1:  // advances that crowd the glyphs together, or put two at one place
      for (int i = 0; i < length; ++i) c.dx.push_back(pick(8));
      break;
    default:
      for (int i = 0; i < length; ++i) c.dx.push_back(pick(25));
  }
  c.x = pick(4) == 0 ? -40 + pick(220) : pick(60);
  c.y = pick(4) == 0 ? -20 + pick(110) : 10 + pick(40);
  if (pick(2) == 0) {
    c.options = pick(2) == 0 ? ETO_OPAQUE : ETO_OPAQUE | ETO_CLIPPED;
    if (pick(3) == 0) c.options = ETO_CLIPPED;
    const int l = pick(80), t = pick(40);
    c.rect = TRect{l, t, l + pick(100), t + pick(40)};
  }
  if (pick(3) == 0) {
    c.clip = true;
    const int l = pick(60), t = pick(30);
    c.clipRect = TRect{l, t, l + 20 + pick(100), t + 10 + pick(40)};
    const int cl = pick(120), ct = pick(60);
    c.cut = TRect{cl, ct, cl + pick(30), ct + pick(20)};
  }
  if (pick(5) == 0) {
    c.shiftX = -10 + pick(20);
    c.shiftY = -10 + pick(20);
  }
  if (pick(12) == 0) c.zoom = 1.5;
  c.opaqueBack = pick(4) != 0;
  c.centred = pick(5) == 0;
  return c;
}

std::string Describe(const TCase& c) {
  std::string d = c.face + " " + std::to_string(c.height) + " at " + std::to_string(c.ppi) + " ppi, \"" + c.text +
                  "\" at " + std::to_string(c.x) + "," + std::to_string(c.y);
  if (!c.dx.empty()) d += ", own advances";
  if (c.clip) d += ", clipped";
  if (c.options != 0) d += ", options " + std::to_string(c.options);
  if (c.zoom != 1) d += ", zoomed";
  return d;
}

// Many random texts: the fonts' glyphs are taken on first use, so a face, size or style met
// again later is drawn from what was taken for it and not from another font's glyphs.
void CompareRandomCases(unsigned seed, int count) {
  std::mt19937 rng(seed);
  const std::uint64_t before = gfxdetail::DirectGlyphRuns();
  for (int i = 0; i < count; ++i) {
    const TCase c = RandomCase(rng);
    const unsigned pixels = static_cast<unsigned>(rng());
    const std::vector<std::uint32_t> direct = Draw(c, pixels);
    std::vector<std::uint32_t> drawnByCairo;
    {
      TCairoGlyphs off;
      drawnByCairo = Draw(c, pixels);
    }
    ASSERT_EQ(direct.size(), drawnByCairo.size());
    std::size_t differ = 0;
    for (std::size_t k = 0; k < direct.size(); ++k)
      if (direct[k] != drawnByCairo[k]) ++differ;
    ASSERT_EQ(differ, 0u) << "case " << i << ": " << Describe(c);
  }
  // Most of the runs went the direct way (the rest lie outside what it promises).
  EXPECT_GT(gfxdetail::DirectGlyphRuns() - before, static_cast<std::uint64_t>(count) / 3);
}

TEST(DirectGlyphs, RandomTextsGiveCairosPixels) { CompareRandomCases(20261207, 700); }

// The same under a German locale where the machine has one (else the C library's UTF-8 one):
// nothing of the drawing may depend on how numbers are written.
TEST(DirectGlyphs, RandomTextsGiveCairosPixelsUnderAGermanLocale) {
  const std::string old = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr && std::setlocale(LC_ALL, "de_DE") == nullptr)
    std::setlocale(LC_ALL, "C.UTF-8");
  CompareRandomCases(77, 150);
  std::setlocale(LC_ALL, old.c_str());
}

// A font changed between two texts on one canvas, at one size and another, at one resolution
// and another: each text shows its own font's glyphs, as cairo draws them.
TEST(DirectGlyphs, EachFontChangeDrawsTheNewFontsGlyphs) {
  const auto draw = [](bool direct) {
    std::vector<std::uint32_t> all;
    for (int ppi : {96, 144}) {
      Surface s(220, 120, ppi);
      TCanvas& c = s.Canvas();
      c.Brush()->SetStyle(TBrushStyle::bsClear);
      gfxdetail::SetDirectGlyphs(direct);
      int y = 0;
      for (const char* face : {"Arial", "Times New Roman", "Arial"}) {
        for (int size : {8, 11, 8}) {
          c.Font()->SetName(face);
          c.Font()->SetSize(size);
          c.Font()->SetStyle(size == 11 ? TFontStyles{TFontStyle::fsBold} : TFontStyles{});
          c.TextOut(2, y, "Transit Mars");
          y += 12;
        }
      }
      gfxdetail::SetDirectGlyphs(true);
      const auto p = s.Pixels();
      all.insert(all.end(), p.begin(), p.end());
    }
    return all;
  };
  const std::vector<std::uint32_t> direct = draw(true), cairo = draw(false);
  ASSERT_EQ(direct.size(), cairo.size());
  for (std::size_t k = 0; k < direct.size(); ++k) ASSERT_EQ(direct[k], cairo[k]) << "pixel " << k;
}

}  // namespace
}  // namespace tw
