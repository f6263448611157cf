#include <benchmark/benchmark.h>

#include <string>

#include "platform/gfx/fontengine.h"
#include "platform/gfx/graphics.h"

namespace {

std::string SampleText(std::size_t length) {
  const std::string words = "The quick brown fox jumps over the lazy dog; Sch\xF6ne Gr\xFC\xDF" "e, 12:30 \x80 ";
  std::string text;
  while (text.size() < length) text += words;
  text.resize(length);
  return text;
}

// Measuring 10,000 characters in the layout's way: through the canvas's width table.
void BM_MeasureText(benchmark::State& state) {
  tw::TCanvas canvas;
  canvas.SetHandle(tw::GetScreenDC());
  canvas.Font()->SetName("Arial");
  canvas.Font()->SetSize(10);
  const std::string text = SampleText(10000);
  for (auto _ : state) benchmark::DoNotOptimize(canvas.TextWidth(text));
  state.SetItemsProcessed(state.iterations() * static_cast<long>(text.size()));
}
BENCHMARK(BM_MeasureText);

// A full 800 x 600 surface: background, 40 framed rectangles and 40 lines of text; the text
// drawn straight into the pixels (argument 1) or by cairo (0).
void BM_PaintSurface(benchmark::State& state) {
  tw::gfxdetail::SetDirectGlyphs(state.range(0) != 0);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 800, 600);
  cairo_t* cr = cairo_create(surface);
  tw::HDC dc = tw::CreateCairoDC(cr, 96, 96);
  tw::TCanvas canvas;
  canvas.SetHandle(dc);
  canvas.Font()->SetName("Times New Roman");
  canvas.Font()->SetSize(10);
  const std::string line = SampleText(110);
  for (auto _ : state) {
    canvas.Brush()->SetColor(tw::clWindow);
    canvas.FillRect(tw::Rect(0, 0, 800, 600));
    for (int i = 0; i < 40; ++i) {
      canvas.Brush()->SetColor(tw::clBtnFace);
      canvas.Rectangle(10 + i * 19, 5, 26 + i * 19, 20);
      canvas.Brush()->SetStyle(tw::TBrushStyle::bsClear);
      canvas.TextOut(4, 25 + i * 14, line);
    }
    cairo_surface_flush(surface);
  }
  tw::DeleteDC(dc);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  tw::gfxdetail::SetDirectGlyphs(true);
}
BENCHMARK(BM_PaintSurface)->Arg(0)->Arg(1);

// A metafile of 200 shapes and 50 texts read from its file and replayed into a 400 x 300 area,
// as an embedded picture of a document is painted.
void BM_MetafileLoadAndReplay(benchmark::State& state) {
  tw::TMetafile recorded;
  {
    tw::TMetafileCanvas c(&recorded, 800, 600);
    for (int i = 0; i < 200; ++i) {
      c.Brush()->SetColor(i % 2 ? tw::clRed : tw::clBlue);
      c.Rectangle(i * 3, i * 2, i * 3 + 40, i * 2 + 30);
    }
    c.Brush()->SetStyle(tw::TBrushStyle::bsClear);
    const std::string line = SampleText(40);
    for (int i = 0; i < 50; ++i) c.TextOut(10, i * 12, line);
  }
  const std::string file = recorded.SaveToBytes();
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 400, 300);
  cairo_t* cr = cairo_create(surface);
  for (auto _ : state) {
    tw::TMetafile m;
    m.LoadFromBytes(file);
    m.Draw(cr, tw::Rect(0, 0, 400, 300));
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}
BENCHMARK(BM_MetafileLoadAndReplay);

}  // namespace
