// Speed of form descriptions: converting a description of a few hundred components between text
// and binary, and reading it into a form.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/forms/formres/formres.h"
#include "platform/win/display.h"

namespace {

class TBenchBox : public tw::TCustomControl {
  TW_CLASS(TBenchBox, tw::TCustomControl)
 public:
  using tw::TCustomControl::TCustomControl;
};
TW_REGISTER_CLASS(TBenchBox);

std::string Description(int boxes) {
  std::string text = "object BenchForm: TForm\n  Caption = 'Bench'\n";
  for (int i = 0; i < boxes; ++i) {
    text += "  object Box" + std::to_string(i) + ": TBenchBox\n    Left = " + std::to_string(i) +
            "\n    Top = 8\n    Caption = 'Box number " + std::to_string(i) + "'\n    Font.Style = [fsBold]\n  end\n";
  }
  return text + "end\n";
}

void BM_TextToBinary(benchmark::State& state) {
  const std::string text = Description(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(tw::ObjectTextToBinary(text));
}
BENCHMARK(BM_TextToBinary)->Arg(300);

void BM_BinaryToText(benchmark::State& state) {
  const std::string binary = tw::ObjectTextToBinary(Description(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(tw::ObjectBinaryToText(binary));
}
BENCHMARK(BM_BinaryToText)->Arg(300);

void BM_ReadForm(benchmark::State& state) {
  tw::SelectDisplay("offscreen");
  const std::string binary = tw::ObjectTextToBinary(Description(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    auto* form = new tw::TForm(nullptr);
    tw::ReadComponentDescription(binary, form);
    delete form;
  }
}
BENCHMARK(BM_ReadForm)->Arg(300);

}  // namespace
