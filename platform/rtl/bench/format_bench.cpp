// Speed of the formatting routines that the transit list and the chart listings call for
// every line.
#include <benchmark/benchmark.h>

#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"

namespace {

void BM_FormatMixed(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tw::Format("%-12s %5d %8.3f %x", {"Jupiter", i, i * 0.37, i}));
    ++i;
  }
}
BENCHMARK(BM_FormatMixed);

void BM_FormatInteger(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(tw::Format("  ClientID %d", {i++}));
}
BENCHMARK(BM_FormatInteger);

void BM_FormatFloatGrouped(benchmark::State& state) {
  double v = 1234567.891;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tw::FormatFloat("#,##0.00;(#,##0.00);\"zero\"", v));
    v += 0.5;
  }
}
BENCHMARK(BM_FormatFloatGrouped);

void BM_FormatFloatScientific(benchmark::State& state) {
  double v = 0.000123;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tw::FormatFloat("0.000E+00", v));
    v *= 1.0001;
  }
}
BENCHMARK(BM_FormatFloatScientific);

void BM_FloatToStr(benchmark::State& state) {
  double v = 1.0 / 3.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tw::FloatToStr(v));
    v += 1.1;
  }
}
BENCHMARK(BM_FloatToStr);

void BM_FormatDateTime(benchmark::State& state) {
  double v = 45000.25;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tw::FormatDateTime("dddd, mmmm d, yyyy hh:nn:ss", v));
    v += 1.01;
  }
}
BENCHMARK(BM_FormatDateTime);

}  // namespace
