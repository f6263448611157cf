// Speed of the text comparisons that sorted string lists and list boxes call for every pair.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/rtl/win1252.h"

namespace {

const std::vector<std::string>& Names() {
  static const std::vector<std::string> names = {
      "M\xFCller", "Mueller", "muller", "M\xDC" "LLER", "\xC6sop", "Aesop", "caf\xE9", "Caf\xE9", "cafe",
      "Jupiter in Konjunktion", "Jupiter in Opposition", "Stra\xDF" "e", "Strasse", "Zebra", "zebra"};
  return names;
}

template <int (*Compare)(std::string_view, std::string_view)>
void BM_Compare(benchmark::State& state) {
  const auto& names = Names();
  std::size_t i = 0;
  for (auto _ : state) {
    const std::string& a = names[i % names.size()];
    const std::string& b = names[(i * 7 + 3) % names.size()];
    benchmark::DoNotOptimize(Compare(a, b));
    ++i;
  }
}
BENCHMARK(BM_Compare<tw::AnsiCompareText>)->Name("BM_AnsiCompareText");
BENCHMARK(BM_Compare<tw::AnsiCompareStr>)->Name("BM_AnsiCompareStr");

}  // namespace
