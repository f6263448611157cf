// Named strings that name themselves or each other many times: one GetString stays within its
// bounded work.
#include <benchmark/benchmark.h>

#include <string>

#include "multilang/langswitch.h"
#include "platform/forms/forms.h"
#include "platform/win/display.h"

namespace {

// A language component on a form of the offscreen display, with `strings` added.
template <typename Fill>
void WithSwitch(benchmark::State& state, Fill fill, const std::string& name) {
  tw::SelectDisplay("offscreen");
  tw::ResetWindowSystem();
  auto* form = new tw::TForm(tw::Application());
  auto* sw = new tw::multilang::TLangSwitch(form);
  sw->SetName("LangSwitch1");
  fill(*sw);
  std::size_t length = 0;
  for (auto _ : state) {
    std::string text = sw->GetString(name);
    length = text.size();
    benchmark::DoNotOptimize(text);
  }
  state.counters["length"] = static_cast<double>(length);
  tw::DoneApplication();
  tw::ResetWindowSystem();
}

void BM_GetStringOfAStringThatNamesItselfFourTimes(benchmark::State& state) {
  WithSwitch(
      state, [](tw::multilang::TLangSwitch& sw) { sw.AddValue(0, "LangSwitch1", "#Loop", -1, "x&Loop&&Loop&&Loop&&Loop&"); },
      "Loop");
}
BENCHMARK(BM_GetStringOfAStringThatNamesItselfFourTimes);

void BM_GetStringOfFortyDoublingStrings(benchmark::State& state) {
  WithSwitch(
      state,
      [](tw::multilang::TLangSwitch& sw) {
        for (int i = 0; i < 40; ++i)
          sw.AddValue(0, "LangSwitch1", "#D" + std::to_string(i), -1,
                      "&D" + std::to_string(i + 1) + "&&D" + std::to_string(i + 1) + "&");
        sw.AddValue(0, "LangSwitch1", "#D40", -1, "y");
      },
      "D0");
}
BENCHMARK(BM_GetStringOfFortyDoublingStrings);

}  // namespace
