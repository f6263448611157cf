// A text lookup of the entry-field reader: the first scan and the cached path.
#include <benchmark/benchmark.h>

#include "entry/strres/srsstrres.h"
#include "platform/classes/stringtable.h"
#include "platform/classes/resources.h"

namespace {

std::string Table() {
  std::vector<std::pair<std::uint16_t, std::string>> records;
  for (int i = 0; i < 200; ++i) records.emplace_back(static_cast<std::uint16_t>(34268 + i), "Entry field message text");
  return tw::BuildStringTable(records);
}

void BM_SrsLookupCached(benchmark::State& state) {
  tw::RegisterResource("BENCH_FK_ENGLISH", Table());
  {
    tw::entry::SrsStringResource reader("BENCH_FK", "_ENGLISH");
    for (auto _ : state) benchmark::DoNotOptimize(reader.GetString(34268 + 10));
  }
  tw::UnregisterResource("BENCH_FK_ENGLISH");
}
BENCHMARK(BM_SrsLookupCached);

void BM_SrsLookupCycling(benchmark::State& state) {
  tw::RegisterResource("BENCH_FK_ENGLISH", Table());
  {
    tw::entry::SrsStringResource reader("BENCH_FK", "_ENGLISH");
    int i = 0;
    for (auto _ : state) {  // 200 ids through a 50-entry cache: mostly scans
      benchmark::DoNotOptimize(reader.GetString(static_cast<std::uint16_t>(34268 + i)));
      i = (i + 1) % 200;
    }
  }
  tw::UnregisterResource("BENCH_FK_ENGLISH");
}
BENCHMARK(BM_SrsLookupCycling);

}  // namespace
