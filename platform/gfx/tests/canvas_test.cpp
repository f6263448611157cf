#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "platform/gfx/devicecontext.h"
#include "platform/gfx/tests/gfx_test_util.h"

namespace tw {
namespace {

using testing::Surface;

TEST(CanvasShapes, RectangleFramesWithPenAndFillsWithBrush) {
  Surface s(20, 20);
  TCanvas& c = s.Canvas();
  c.Pen()->SetColor(clRed);
  c.Brush()->SetColor(clBlue);
  c.Rectangle(2, 3, 10, 8);
  // The outline lies on the first and last pixel inside the rectangle ...
  EXPECT_EQ(s.At(2, 3), clRed);
  EXPECT_EQ(s.At(9, 3), clRed);
  EXPECT_EQ(s.At(9, 7), clRed);
  EXPECT_EQ(s.At(2, 7), clRed);
  EXPECT_EQ(s.At(5, 7), clRed);
  // ... the inside is the brush, and the right and bottom edges stay outside.
  EXPECT_EQ(s.At(3, 4), clBlue);
  EXPECT_EQ(s.At(8, 6), clBlue);
  EXPECT_EQ(s.At(10, 5), clWhite);
  EXPECT_EQ(s.At(5, 8), clWhite);
  EXPECT_EQ(s.At(1, 5), clWhite);
}

TEST(CanvasShapes, ClearPenAndBrush) {
  Surface s(20, 20);
  TCanvas& c = s.Canvas();
  c.Pen()->SetStyle(TPenStyle::psClear);
  c.Brush()->SetColor(clLime);
  c.Rectangle(0, 0, 5, 5);  // without a pen one pixel smaller
  EXPECT_EQ(s.At(0, 0), clLime);
  EXPECT_EQ(s.At(3, 3), clLime);
  EXPECT_EQ(s.At(4, 4), clWhite);
  c.Pen()->SetStyle(TPenStyle::psSolid);
  c.Brush()->SetStyle(TBrushStyle::bsClear);
  c.Rectangle(10, 10, 15, 15);
  EXPECT_EQ(s.At(10, 10), clBlack);
  EXPECT_EQ(s.At(12, 12), clWhite);
}

TEST(CanvasShapes, LinesLeaveOutTheirEndPoint) {
  Surface s(20, 20);
  TCanvas& c = s.Canvas();
  c.MoveTo(2, 2);
  c.LineTo(8, 2);
  EXPECT_EQ(s.At(2, 2), clBlack);
  EXPECT_EQ(s.At(7, 2), clBlack);
  EXPECT_EQ(s.At(8, 2), clWhite);
  EXPECT_EQ(c.PenPos(), Point(8, 2));
  c.LineTo(8, 10);
  EXPECT_EQ(s.At(8, 2), clBlack);
  EXPECT_EQ(s.At(8, 9), clBlack);
  EXPECT_EQ(s.At(8, 10), clWhite);
  // Drawn backwards and diagonally the same rule holds.
  c.MoveTo(15, 15);
  c.LineTo(10, 10);
  EXPECT_EQ(s.At(15, 15), clBlack);
  EXPECT_EQ(s.At(11, 11), clBlack);
  EXPECT_EQ(s.At(10, 10), clWhite);
}

TEST(CanvasShapes, DottedPenLeavesGaps) {
  Surface s(40, 4);
  TCanvas& c = s.Canvas();
  c.Pen()->SetStyle(TPenStyle::psDot);
  c.MoveTo(0, 1);
  c.LineTo(40, 1);
  int inked = 0;
  for (int x = 0; x < 40; ++x) inked += s.Inked(x, 1) ? 1 : 0;
  EXPECT_GT(inked, 10);
  EXPECT_LT(inked, 30);
}

TEST(CanvasShapes, EllipseAndPolygonStayInsideTheirBox) {
  Surface s(40, 40);
  TCanvas& c = s.Canvas();
  c.Brush()->SetColor(clRed);
  c.Ellipse(5, 5, 25, 15);
  TRect box = s.InkBox();
  EXPECT_GE(box.Left, 5);
  EXPECT_GE(box.Top, 5);
  EXPECT_LE(box.Right, 25);
  EXPECT_LE(box.Bottom, 15);
  EXPECT_EQ(s.At(15, 10), clRed);
  EXPECT_EQ(s.At(5, 5), clWhite);  // the corners are outside the ellipse

  Surface t(40, 40);
  TPoint triangle[3] = {{5, 30}, {20, 5}, {35, 30}};
  t.Canvas().Brush()->SetColor(clBlue);
  t.Canvas().Polygon(triangle, 3);
  EXPECT_EQ(t.At(20, 20), clBlue);
  EXPECT_EQ(t.At(5, 30), clBlack);
  EXPECT_EQ(t.At(6, 6), clWhite);
}

TEST(CanvasShapes, FrameAndFillRectUseTheBrush) {
  Surface s(20, 20);
  TCanvas& c = s.Canvas();
  c.Brush()->SetColor(clGreen);
  c.FrameRect(Rect(2, 2, 8, 8));
  EXPECT_EQ(s.At(2, 2), clGreen);
  EXPECT_EQ(s.At(7, 7), clGreen);
  EXPECT_EQ(s.At(4, 4), clWhite);
  c.FillRect(Rect(10, 10, 12, 12));
  EXPECT_EQ(s.At(11, 11), clGreen);
  EXPECT_EQ(s.At(12, 12), clWhite);
}

TEST(CanvasShapes, FocusRectangleDrawnTwiceDisappears) {
  Surface s(30, 30);
  TCanvas& c = s.Canvas();
  c.Brush()->SetColor(clBtnFace);
  c.FillRect(Rect(0, 0, 30, 30));
  const auto before = s.Pixels();
  c.DrawFocusRect(Rect(3, 3, 20, 15));
  EXPECT_NE(s.Pixels(), before);
  EXPECT_NE(s.At(3, 3), ColorToRGB(clBtnFace));
  EXPECT_EQ(s.At(10, 10), ColorToRGB(clBtnFace));
  c.DrawFocusRect(Rect(3, 3, 20, 15));
  EXPECT_EQ(s.Pixels(), before);
}

TEST(CanvasShapes, XorPenRestoresOnSecondStroke) {
  Surface s(20, 20);
  TCanvas& c = s.Canvas();
  c.Brush()->SetColor(clYellow);
  c.FillRect(Rect(0, 0, 20, 20));
  const auto before = s.Pixels();
  c.Pen()->SetMode(TPenMode::pmXor);
  c.Brush()->SetStyle(TBrushStyle::bsClear);
  c.Rectangle(2, 2, 15, 15);
  EXPECT_NE(s.Pixels(), before);
  c.Rectangle(2, 2, 15, 15);
  EXPECT_EQ(s.Pixels(), before);
}

TEST(CanvasPixels, SetAndReadBackAndOutside) {
  Surface s(10, 10);
  s.Canvas().SetPixel(4, 5, RGB(12, 34, 56));
  EXPECT_EQ(s.At(4, 5), RGB(12, 34, 56));
  EXPECT_EQ(s.At(5, 5), clWhite);
  EXPECT_EQ(s.At(-1, 0), clNone);
  EXPECT_EQ(s.At(10, 0), clNone);
}

TEST(CanvasPixels, NoHandleRaises) {
  TCanvas c;
  EXPECT_THROW(c.FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);
  Surface s(4, 4);
  HDC stale;
  {
    Surface t(4, 4);
    stale = t.DC();
  }
  c.SetHandle(stale);
  EXPECT_THROW(c.FillRect(Rect(0, 0, 1, 1)), EInvalidOperation);
}

TEST(CanvasEdges, RaisedAndSunkenEdgesUseThe3DColours) {
  Surface s(20, 20);
  TCanvas& c = s.Canvas();
  TRect r = Rect(0, 0, 10, 10);
  c.DrawEdge(r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
  EXPECT_EQ(s.At(0, 5), ColorToRGB(cl3DLight));       // outer top-left
  EXPECT_EQ(s.At(9, 5), ColorToRGB(cl3DDkShadow));    // outer bottom-right
  EXPECT_EQ(s.At(5, 9), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(s.At(1, 5), ColorToRGB(clBtnHighlight));  // inner top-left
  EXPECT_EQ(s.At(8, 5), ColorToRGB(clBtnShadow));     // inner bottom-right
  EXPECT_EQ(s.At(5, 5), ColorToRGB(clBtnFace));       // middle
  EXPECT_EQ(s.At(9, 0), ColorToRGB(cl3DDkShadow));    // the top-right corner belongs to the dark side
  EXPECT_EQ(r, Rect(2, 2, 8, 8));

  TRect sunken = Rect(10, 10, 20, 20);
  c.DrawEdge(sunken, EDGE_SUNKEN, BF_RECT);
  EXPECT_EQ(s.At(10, 15), ColorToRGB(clBtnShadow));
  EXPECT_EQ(s.At(11, 15), ColorToRGB(cl3DDkShadow));
  EXPECT_EQ(s.At(19, 15), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(s.At(18, 15), ColorToRGB(cl3DLight));
  EXPECT_EQ(s.At(15, 15), clWhite);
  EXPECT_EQ(sunken, Rect(10, 10, 20, 20));  // no BF_ADJUST: unchanged
}

TEST(CanvasEdges, Frame3DDrawsNestedFramesAndShrinks) {
  Surface s(20, 20);
  TRect r = Rect(0, 0, 10, 10);
  Frame3D(&s.Canvas(), r, clWhite, clGray, 1);
  Frame3D(&s.Canvas(), r, clRed, clBlue, 1);
  EXPECT_EQ(r, Rect(2, 2, 8, 8));
  EXPECT_EQ(s.At(9, 5), clGray);
  EXPECT_EQ(s.At(0, 9), clGray);  // bottom-left corner in the bottom colour
  EXPECT_EQ(s.At(1, 5), clRed);
  EXPECT_EQ(s.At(8, 5), clBlue);
  EXPECT_EQ(s.At(5, 5), clWhite);
}

TEST(CanvasClip, IntersectExcludeAndReset) {
  Surface s(20, 20);
  TCanvas& c = s.Canvas();
  c.Brush()->SetColor(clRed);
  c.IntersectClipRect(Rect(5, 5, 15, 15));
  EXPECT_EQ(c.ClipRect(), Rect(5, 5, 15, 15));
  c.ExcludeClipRect(Rect(8, 8, 10, 10));
  c.FillRect(Rect(0, 0, 20, 20));
  EXPECT_EQ(s.At(4, 4), clWhite);
  EXPECT_EQ(s.At(5, 5), clRed);
  EXPECT_EQ(s.At(8, 8), clWhite);
  EXPECT_EQ(s.At(15, 15), clWhite);
  c.ResetClip();
  EXPECT_EQ(c.ClipRect(), Rect(0, 0, 20, 20));
  c.SetClipRects({Rect(0, 0, 2, 2), Rect(18, 18, 20, 20)});
  c.Brush()->SetColor(clBlue);
  c.FillRect(Rect(0, 0, 20, 20));
  EXPECT_EQ(s.At(1, 1), clBlue);
  EXPECT_EQ(s.At(19, 19), clBlue);
  EXPECT_EQ(s.At(10, 10), clRed);
}

// The bytes of a 60 x 40 test surface.
std::string Bytes60x40(Surface& s) {
  cairo_surface_flush(cairo_get_target(s.Cairo()));
  const auto* data = cairo_image_surface_get_data(cairo_get_target(s.Cairo()));
  return std::string(reinterpret_cast<const char*>(data), 60 * 4 * 40);
}

// Solid fills and opaque text backgrounds, under random clips (several rectangles, none, all
// clipped), shifts (whole and part pixels) and rectangles reaching out of the surface, give
// the bytes cairo's own fill gives.
TEST(CanvasFill, SolidFillsGiveTheBytesOfCairosFill) {
  std::mt19937 rnd(7);
  const auto pick = [&](int n) { return static_cast<int>(rnd() % static_cast<unsigned>(n)); };
  const TColor colours[] = {clRed, clBtnFace, clWindow, clHighlight, TColor(0x123456), clBlack};
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    Surface ours(60, 40), cairos(60, 40);
    const double shift = pick(4) == 0 ? 0.5 : pick(3) - 1;
    for (Surface* s : {&ours, &cairos}) cairo_translate(DCCairo(s->DC()), shift, -shift);
    const int clips = pick(4);
    std::vector<TRect> rects;
    for (int k = 0; k < clips; ++k) rects.push_back(Rect(pick(50) - 5, pick(40) - 5, pick(70), pick(50)));
    const bool exclude = pick(3) == 0;
    for (Surface* s : {&ours, &cairos}) {
      if (!rects.empty()) s->Canvas().IntersectClipRect(rects[0]);
      if (exclude) s->Canvas().ExcludeClipRect(Rect(10, 10, 20, 30));
    }
    const TRect r = Rect(pick(70) - 10, pick(50) - 10, pick(80) - 10, pick(60) - 10);
    const TColor colour = colours[pick(6)];
    const bool text = pick(2) == 0;
    ours.Canvas().Brush()->SetColor(colour);
    if (text) ours.Canvas().ExtTextOut(r.Left, r.Top, ETO_OPAQUE, &r, "", nullptr);
    else ours.Canvas().FillRect(r);
    if (!IsRectEmpty(r)) {
      cairo_t* cr = DCCairo(cairos.DC());
      cairo_save(cr);
      const TColor rgb = ColorToRGB(colour);
      cairo_set_source_rgb(cr, GetRValue(rgb) / 255.0, GetGValue(rgb) / 255.0, GetBValue(rgb) / 255.0);
      cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
      cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
      cairo_fill(cr);
      cairo_restore(cr);
    }
    ASSERT_TRUE(Bytes60x40(ours) == Bytes60x40(cairos)) << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
  }
}

// One-pixel lines in a plain colour, straight or not, in every pen mode that paints a colour,
// under random clips and shifts, give the bytes cairo gives for the same line (as a path of
// more than one line, which the canvas leaves to cairo).
TEST(CanvasShapes, OnePixelLinesGiveTheBytesOfCairosFill) {
  std::mt19937 rnd(11);
  const auto pick = [&](int n) { return static_cast<int>(rnd() % static_cast<unsigned>(n)); };
  const TColor colours[] = {clRed, clBtnFace, clWindowText, TColor(0x123456), clBlack};
  const TPenMode modes[] = {TPenMode::pmCopy, TPenMode::pmBlack, TPenMode::pmWhite, TPenMode::pmNotCopy,
                            TPenMode::pmCopy};
  const TPenStyle styles[] = {TPenStyle::psSolid, TPenStyle::psSolid, TPenStyle::psDot, TPenStyle::psInsideFrame};
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    Surface ours(60, 40), cairos(60, 40);
    const double shift = pick(5) == 0 ? 0.5 : pick(3) - 1;
    const bool clipped = pick(2) == 0, exclude = shift == std::floor(shift) && pick(3) == 0;
    const TRect clip = Rect(pick(50) - 5, pick(40) - 5, pick(70), pick(50));
    const TPoint from{pick(80) - 10, pick(60) - 10};
    TPoint to = from;
    switch (pick(4)) {
      case 0: to.X = pick(80) - 10; break;
      case 1: to.Y = pick(60) - 10; break;
      case 2: to = TPoint{pick(80) - 10, pick(60) - 10}; break;
      default: break;  // no length
    }
    const TColor colour = colours[pick(5)];
    const TPenMode mode = modes[pick(5)];
    const TPenStyle style = styles[pick(4)];
    for (Surface* s : {&ours, &cairos}) {
      cairo_translate(DCCairo(s->DC()), shift, -shift);
      if (clipped) s->Canvas().IntersectClipRect(clip);
      if (exclude) s->Canvas().ExcludeClipRect(Rect(10, 10, 20, 30));
      s->Canvas().Pen()->SetColor(colour);
      s->Canvas().Pen()->SetMode(mode);
      s->Canvas().Pen()->SetStyle(style);
    }
    ours.Canvas().MoveTo(from.X, from.Y);
    ours.Canvas().LineTo(to.X, to.Y);
    const TPoint path[3] = {from, to, to};  // the same pixels as a path of two lines
    cairos.Canvas().Polyline(path, 3);
    ASSERT_TRUE(Bytes60x40(ours) == Bytes60x40(cairos)) << from.X << "," << from.Y << " to " << to.X << "," << to.Y;
    EXPECT_EQ(ours.Canvas().PenPos().X, to.X);
  }
}

// A canvas on an image of a given format, filled with noise (ARGB32 also with see-through
// pixels).
struct ImageCanvas {
  ImageCanvas(cairo_format_t format, int width, int height, std::mt19937& rnd) {
    surface = cairo_image_surface_create(format, width, height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        std::uint32_t a = rnd() % 3 == 0 ? rnd() % 256 : 255, v = rnd();
        if (format == CAIRO_FORMAT_RGB24) a = 0;
        // Premultiplied: no channel above the alpha.
        const auto ch = [&](int shift) { return std::min<std::uint32_t>((v >> shift) & 0xFF, format == CAIRO_FORMAT_RGB24 ? 255 : a); };
        reinterpret_cast<std::uint32_t*>(data + y * stride)[x] = a << 24 | ch(16) << 16 | ch(8) << 8 | ch(0);
      }
    cairo_surface_mark_dirty(surface);
    own = cairo_create(surface);
    dc = CreateCairoDC(own, 96, 96);
    canvas.SetHandle(dc);
    cr = DCCairo(dc);  // the context the canvas draws with
  }
  ~ImageCanvas() {
    canvas.SetHandle(0);
    DeleteDC(dc);
    cairo_destroy(own);
    cairo_surface_destroy(surface);
  }
  std::string Bytes() const {
    cairo_surface_flush(surface);
    return std::string(reinterpret_cast<const char*>(cairo_image_surface_get_data(surface)),
                       static_cast<std::size_t>(cairo_image_surface_get_stride(surface) * cairo_image_surface_get_height(surface)));
  }
  cairo_surface_t* surface;
  cairo_t* own;
  cairo_t* cr;
  HDC dc;
  TCanvas canvas;
};

// Copies between canvases, across formats, shifts, clips and rectangles reaching out of either
// image, give the bytes of cairo's own copy.
TEST(CanvasCopy, CopiesGiveTheBytesOfCairosCopy) {
  std::mt19937 rnd(11);
  const auto pick = [&](int n) { return static_cast<int>(rnd() % static_cast<unsigned>(n)); };
  const std::pair<cairo_format_t, cairo_format_t> formats[] = {{CAIRO_FORMAT_ARGB32, CAIRO_FORMAT_ARGB32},
                                                              {CAIRO_FORMAT_ARGB32, CAIRO_FORMAT_RGB24},
                                                              {CAIRO_FORMAT_RGB24, CAIRO_FORMAT_RGB24},
                                                              {CAIRO_FORMAT_RGB24, CAIRO_FORMAT_ARGB32}};
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    const auto [in, out] = formats[pick(4)];
    std::mt19937 noise(static_cast<unsigned>(round));
    ImageCanvas from(in, 50, 40, noise);
    std::mt19937 noise2(static_cast<unsigned>(round) + 1000);
    ImageCanvas ours(out, 60, 45, noise2), cairos(out, 60, 45, noise2 = std::mt19937(static_cast<unsigned>(round) + 1000));
    const int shift = pick(3) - 1;
    const TRect clip = pick(2) == 0 ? Rect(pick(30), pick(20), 30 + pick(40), 20 + pick(30)) : Rect(-5, -5, 100, 100);
    for (ImageCanvas* c : {&ours, &cairos}) {
      cairo_translate(c->cr, shift, -shift);
      c->canvas.IntersectClipRect(clip);
    }
    if (pick(4) == 0) cairo_translate(from.cr, 2, 3);
    const int w = 1 + pick(45), h = 1 + pick(35);
    const TRect src = Bounds(pick(20) - 3, pick(15) - 3, w, h);
    const TRect dest = Bounds(pick(40) - 5, pick(30) - 5, w, h);
    ours.canvas.CopyRect(dest, &from.canvas, src);
    // Cairo's copy, as the canvas made it before.
    double sx = src.Left, sy = src.Top;
    cairo_user_to_device(from.cr, &sx, &sy);
    cairo_save(cairos.cr);
    cairo_rectangle(cairos.cr, dest.Left, dest.Top, dest.Width(), dest.Height());
    cairo_clip(cairos.cr);
    cairo_translate(cairos.cr, dest.Left, dest.Top);
    cairo_set_source_surface(cairos.cr, from.surface, -sx, -sy);
    cairo_pattern_set_filter(cairo_get_source(cairos.cr), CAIRO_FILTER_NEAREST);
    cairo_set_operator(cairos.cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cairos.cr);
    cairo_restore(cairos.cr);
    const std::string a = ours.Bytes(), b = cairos.Bytes();
    std::size_t at = 0;
    while (at < a.size() && a[at] == b[at]) ++at;
    if (at < a.size()) {
      std::uint32_t pa, pb;
      std::memcpy(&pa, a.data() + at / 4 * 4, 4);
      std::memcpy(&pb, b.data() + at / 4 * 4, 4);
      const int stride = cairo_image_surface_get_stride(ours.surface);
      ADD_FAILURE() << std::hex << pa << " vs " << pb << std::dec << " at " << (at % stride) / 4 << "," << at / stride;
    }
    ASSERT_TRUE(ours.Bytes() == cairos.Bytes()) << in << "->" << out << " " << dest.Left << "," << dest.Top << " from "
                                                << src.Left << "," << src.Top << " " << w << "x" << h;
  }
}

TEST(CanvasCopy, CopyRectAndSelfCopy) {
  Surface s(20, 20);
  TCanvas& c = s.Canvas();
  c.Brush()->SetColor(clRed);
  c.FillRect(Rect(0, 0, 5, 5));
  Surface d(20, 20);
  d.Canvas().CopyRect(Rect(10, 10, 20, 20), &c, Rect(0, 0, 10, 10));
  EXPECT_EQ(d.At(12, 12), clRed);   // the red quarter, stretched x2
  EXPECT_EQ(d.At(19, 19), clWhite);
  EXPECT_EQ(d.At(5, 5), clWhite);
  // Scrolling a canvas onto itself.
  c.CopyRect(Rect(2, 0, 22, 20), &c, Rect(0, 0, 20, 20));
  EXPECT_EQ(s.At(6, 2), clRed);
  EXPECT_EQ(s.At(7, 2), clWhite);
}

// A same-size copy from another canvas is read in place: an inner rectangle lands where it is
// asked to, pixel for pixel, nothing outside the destination changes, and the copy modes
// still combine source and destination.
TEST(CanvasCopy, UnscaledCopyFromAnotherCanvas) {
  Surface s(20, 20);
  s.Canvas().Brush()->SetColor(clBlue);
  s.Canvas().FillRect(Rect(6, 6, 8, 8));
  Surface d(20, 20);
  d.Canvas().CopyRect(Rect(1, 1, 5, 5), &s.Canvas(), Rect(5, 5, 9, 9));
  EXPECT_EQ(d.At(1, 1), clWhite);
  EXPECT_EQ(d.At(2, 2), clBlue);
  EXPECT_EQ(d.At(3, 3), clBlue);
  EXPECT_EQ(d.At(4, 4), clWhite);
  EXPECT_EQ(d.At(5, 5), clWhite);  // outside the destination
  EXPECT_EQ(d.At(0, 0), clWhite);
  d.Canvas().SetCopyMode(TCopyMode::cmSrcInvert);  // white XOR blue
  d.Canvas().CopyRect(Rect(10, 10, 14, 14), &s.Canvas(), Rect(5, 5, 9, 9));
  EXPECT_EQ(d.At(11, 11), clYellow);
  EXPECT_EQ(d.At(10, 10), clBlack);
}

TEST(CanvasCopy, DrawsBitmapsWithAndWithoutTransparency) {
  TBitmap bmp;
  bmp.SetSize(4, 4);
  bmp.Canvas()->Brush()->SetColor(clFuchsia);
  bmp.Canvas()->FillRect(Rect(0, 0, 4, 4));
  bmp.Canvas()->SetPixel(1, 1, clNavy);
  Surface s(10, 10);
  s.Canvas().Draw(2, 2, &bmp);
  EXPECT_EQ(s.At(2, 2), clFuchsia);
  EXPECT_EQ(s.At(3, 3), clNavy);
  bmp.SetTransparent(true);  // the bottom-left pixel's colour becomes see-through
  Surface t(10, 10);
  t.Canvas().Draw(2, 2, &bmp);
  EXPECT_EQ(t.At(2, 2), clWhite);
  EXPECT_EQ(t.At(3, 3), clNavy);
  Surface u(10, 10);
  u.Canvas().StretchDraw(Rect(0, 0, 8, 8), &bmp);
  EXPECT_EQ(u.At(2, 2), clNavy);
  EXPECT_EQ(u.At(3, 3), clNavy);
}

}  // namespace
}  // namespace tw
