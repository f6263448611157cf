// Typing into the editor: characters reach the control one at a time as key presses do.
#include <benchmark/benchmark.h>

#include "platform/forms/forms.h"
#include "platform/win/display.h"
#include "richtext/controls/richtext.h"

namespace {

void BM_Typing10000Characters(benchmark::State& state) {
  tw::SelectDisplay("offscreen");
  tw::ResetWindowSystem();
  const std::string words = "The quick brown fox jumps over the lazy dog. ";
  for (auto _ : state) {
    state.PauseTiming();
    auto* form = new tw::TForm(tw::Application());
    form->SetBounds(0, 0, 640, 480);
    auto* rt = new tw::richtext::TRiRichText(form);
    rt->SetParent(form);
    rt->SetBounds(0, 0, 600, 440);
    rt->SetWordWrap(true);
    form->Show();
    rt->SetFocus();
    state.ResumeTiming();
    for (int i = 0; i < 10000; ++i) {
      char c = words[static_cast<std::size_t>(i) % words.size()];
      if (i % 500 == 499) c = '\r';
      rt->RtfText()->InputString(std::string(1, c));
    }
    benchmark::DoNotOptimize(rt->RtfText()->CursorPosition());
    state.PauseTiming();
    delete form;
    tw::DoneApplication();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Typing10000Characters)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace


