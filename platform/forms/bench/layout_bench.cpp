// Creating and laying out 1,000 controls on a form: windowless ones (layout only) and window
// controls (each with its window, made when the form is shown).
#include <benchmark/benchmark.h>

#include "platform/forms/forms.h"
#include "platform/win/display.h"

namespace {

using namespace tw;

class TBenchShape : public TGraphicControl {
  TW_CLASS(TBenchShape, TGraphicControl)
 public:
  using TGraphicControl::TGraphicControl;
};

class TBenchPanel : public TCustomControl {
  TW_CLASS(TBenchPanel, TCustomControl)
 public:
  using TCustomControl::TCustomControl;

 protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(clBtnFace);
    Canvas()->FillRect(ClientRect());
  }
};

constexpr TAlign kAligns[] = {TAlign::alTop, TAlign::alLeft, TAlign::alBottom, TAlign::alRight, TAlign::alNone};

template <typename Control>
void CreateAndLayOut(benchmark::State& state, bool show) {
  SelectDisplay("offscreen");
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    auto* form = new TForm(nullptr);
    form->SetBounds(0, 0, 1000, 800);
    form->DisableAlign();
    for (int i = 0; i < count; ++i) {
      auto* c = new Control(form);
      c->SetBounds(i % 50, i % 700, 1, 1);
      c->SetParent(form);
      c->SetAlign(kAligns[i % 5]);
    }
    form->EnableAlign();
    if (show) {
      form->Show();
      Application()->ProcessMessages();
    }
    form->SetBounds(0, 0, 900, 700);  // lays the children out again
    benchmark::DoNotOptimize(form->Controls(count - 1)->BoundsRect());
    delete form;
  }
  state.SetItemsProcessed(state.iterations() * count);
  DoneApplication();
  ResetWindowSystem();
}

void BM_WindowlessControls(benchmark::State& state) { CreateAndLayOut<TBenchShape>(state, false); }
void BM_WindowControlsShown(benchmark::State& state) { CreateAndLayOut<TBenchPanel>(state, true); }

BENCHMARK(BM_WindowlessControls)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowControlsShown)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
