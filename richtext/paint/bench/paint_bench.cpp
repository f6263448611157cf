// Laying out and painting a document of about 100 pages.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/gfx/graphic.h"
#include "richtext/paint/textpaint.h"

namespace {

using namespace tw;
using namespace tw::richtext;

std::unique_ptr<TRiRTFTextPaint> MakeDocument(TCanvas* canvas) {
  auto e = std::make_unique<TRiRTFTextPaint>();
  e->Clear();
  e->SetReferenceCanvas(canvas);
  e->SetWindowWidth(800);
  e->SetWindowHeight(600);
  const std::string text =
      "The quick brown fox jumps over the lazy dog while the planets move on through the signs, "
      "and every transit brings its own story to the reader of the chart. ";
  e->LayoutSuppressed = true;
  for (int i = 0; i < 1500; ++i) e->AddParagraph(i, text + text, nullptr);
  e->LayoutSuppressed = false;
  return e;
}

void BM_LayoutHundredPages(benchmark::State& state) {
  TBitmap bmp;
  bmp.SetSize(800, 600);
  auto e = MakeDocument(bmp.Canvas());
  for (auto _ : state) {
    e->ReformatAll();
    benchmark::DoNotOptimize(e->DocumentHeight);
  }
}
BENCHMARK(BM_LayoutHundredPages)->Unit(benchmark::kMillisecond);

void BM_PaintHundredPages(benchmark::State& state) {
  TBitmap bmp;
  bmp.SetSize(800, 600);
  auto e = MakeDocument(bmp.Canvas());
  e->ReformatAll();
  for (auto _ : state) {
    // Scroll through the whole document a window at a time.
    for (int y = 0; y < e->DocumentHeight; y += 600) {
      e->SetScrollOffsets(y, 0);
      e->PaintRect(0, 0, 600, 800);
    }
  }
}
BENCHMARK(BM_PaintHundredPages)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
