// Arranging a dock that holds many toolbars (20, then 50) in rows of eight.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/forms/forms.h"
#include "platform/win/display.h"
#include "toolbars/dock.h"
#include "toolbars/toolbar.h"
#include "toolbars/toolbarbutton.h"

using namespace tw;
using namespace tw::toolbars;

static void BM_ArrangeToolbars(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  SelectDisplay("offscreen");
  ResetWindowSystem();
  auto* form = new TForm(Application());
  form->SetBounds(0, 0, 1000, 700);
  auto* dock = new TDockX(form);
  dock->SetParent(form);
  for (int i = 0; i < count; ++i) {
    auto* bar = new TToolbarX(form);
    for (int b = 0; b < 4; ++b) {
      auto* button = new TToolbarButtonX(form);
      button->SetParent(bar);
      button->SetLeft(b * 30);
    }
    bar->SetDockRow(i / 8);
    bar->SetDockedTo(dock);
  }
  const std::vector<TToolbarX*> bars = dock->Toolbars();
  for (auto _ : state) {
    // Scattered positions, so that every pass sorts, pushes and pulls back.
    dock->BeginUpdate();
    for (std::size_t i = 0; i < bars.size(); ++i) bars[i]->SetDockPos(static_cast<int>(i * 37 % 500));
    dock->EndUpdate();
    benchmark::DoNotOptimize(dock->Height());
  }
  delete form;
  DoneApplication();
  ResetWindowSystem();
}
BENCHMARK(BM_ArrangeToolbars)->Arg(20)->Arg(50);
