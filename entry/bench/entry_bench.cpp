// Speed of the work done on every key press: translating a key through the command tables,
// merging a value into a number mask and writing a date through a mask.
#include <benchmark/benchmark.h>

#include <memory>

#include "entry/fkcmd.h"
#include "entry/fkintl.h"
#include "entry/fkpicturefield.h"

namespace {

void BM_TranslateKey(benchmark::State& state) {
  tw::entry::TFkCommandProcessor p;
  p.GetTable("WordStar")->IsActive = true;
  for (auto _ : state) benchmark::DoNotOptimize(p.Translate('V', tw::entry::ksCtrl));
}
BENCHMARK(BM_TranslateKey);

void BM_MergeNumberMask(benchmark::State& state) {
  auto f = std::make_unique<tw::entry::TFkPictureField>(nullptr);
  f->SetPictureMask("$###,###,###.##");
  for (auto _ : state) benchmark::DoNotOptimize(f->MergeWithPicture("-1234567.5"));
}
BENCHMARK(BM_MergeNumberMask);

void BM_DateThroughMask(benchmark::State& state) {
  tw::entry::TFkIntlSup& intl = tw::entry::DefaultIntlSup();
  for (auto _ : state) {
    std::string s = intl.DayNumberToText("mm/dd/yyyy", 150000, false);
    benchmark::DoNotOptimize(intl.TextToDayNumber("mm/dd/yyyy", s, 1900));
  }
}
BENCHMARK(BM_DateThroughMask);

}  // namespace
