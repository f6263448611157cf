// Sorted string lists: insertion keeps the order, IndexOf searches by halves.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/classes/stringlist.h"

namespace {

std::vector<std::string> Words(int n) {
  std::vector<std::string> words;
  std::uint32_t x = 12345;
  for (int i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    words.push_back("Word" + std::to_string(x % 1000003) + "_" + std::to_string(i));
  }
  return words;
}

void BM_SortedAdd(benchmark::State& state) {
  const auto words = Words(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    tw::TStringList list;
    list.SetSorted(true);
    for (const auto& w : words) list.Add(w);
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SortedAdd)->Arg(1000)->Arg(10000);

void BM_SortedIndexOf(benchmark::State& state) {
  const auto words = Words(static_cast<int>(state.range(0)));
  tw::TStringList list;
  list.SetSorted(true);
  for (const auto& w : words) list.Add(w);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.IndexOf(words[i]));
    i = (i + 1) % words.size();
  }
}
BENCHMARK(BM_SortedIndexOf)->Arg(1000)->Arg(10000);

void BM_UnsortedIndexOf(benchmark::State& state) {
  const auto words = Words(static_cast<int>(state.range(0)));
  tw::TStringList list;
  for (const auto& w : words) list.Add(w);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.IndexOf(words[i]));
    i = (i + 7) % words.size();
  }
}
BENCHMARK(BM_UnsortedIndexOf)->Arg(1000);

}  // namespace
