// Allocation from the engine's size-class pools against the system allocator, and a lookup
// in the engine's string-table reader (first scan and cached).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "dbengine/base/mempool.h"
#include "dbengine/base/stringres.h"
#include "platform/classes/stringtable.h"
#include "platform/classes/resources.h"

namespace {

using namespace tw::dbengine;

void BM_PoolGetFree(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  std::vector<void*> items(256);
  for (auto _ : state) {
    for (auto& p : items) p = PoolGetMem(size);
    for (auto& p : items) PoolFreeMem(p, size);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(items.size()));
}
BENCHMARK(BM_PoolGetFree)->Arg(32)->Arg(200)->Arg(1024)->Arg(4096);

void BM_MallocFree(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  std::vector<void*> items(256);
  for (auto _ : state) {
    for (auto& p : items) p = std::calloc(1, size);  // zeroed, as the pools hand it out
    for (auto& p : items) std::free(p);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(items.size()));
}
BENCHMARK(BM_MallocFree)->Arg(32)->Arg(200)->Arg(1024)->Arg(4096);

std::string BenchTable() {
  std::vector<std::pair<std::uint16_t, std::string>> records;
  for (int i = 0; i < 300; ++i) records.emplace_back(static_cast<std::uint16_t>(23536 + i), "Text of an engine message [%s, error %d]");
  return tw::BuildStringTable(records);
}

void BM_StringTableScan(benchmark::State& state) {
  const std::string table = BenchTable();
  for (auto _ : state) benchmark::DoNotOptimize(tw::ScanStringTable(table, 23536 + 299));
}
BENCHMARK(BM_StringTableScan);

void BM_StringResourceCachedLookup(benchmark::State& state) {
  tw::RegisterResource("BENCH_STRINGS_ENGLISH", BenchTable());
  {
    TqnStringResource reader("BENCH_STRINGS", "");
    for (int i = 0; i < 300; ++i) (void)reader.GetString(23536 + i);
    int id = 0;
    for (auto _ : state) {
      benchmark::DoNotOptimize(reader.GetString(23536 + id));
      id = (id + 37) % 300;
    }
  }
  tw::UnregisterResource("BENCH_STRINGS_ENGLISH");
}
BENCHMARK(BM_StringResourceCachedLookup);

}  // namespace
