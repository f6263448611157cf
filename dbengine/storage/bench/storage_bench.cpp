// Buffer manager page hits and misses, and commits of 1, 10 and 100 changed blocks.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "dbengine/storage/buffer_manager.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/table_file.h"

namespace {

using namespace tw::dbengine;

struct BenchTable {
  std::string folder;
  std::unique_ptr<TqnBufferManager> owner = std::make_unique<TqnBufferManager>();
  TqnFileInfo* file = nullptr;
  std::uint32_t trans = 1;

  explicit BenchTable(int blocks) {
    folder = std::filesystem::temp_directory_path().string() + "/tw_storage_bench_" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    TqnDataDictionary dict(4096);
    dict.AddField("ID", "", qftInt32, 0, 0, false);
    file = QNAllocFileInfo(folder + "/T", "QND", owner.get());
    QNOpenFile(file, true, false, true, false);
    file->TransactionId = trans;
    owner->StartTransaction(trans, false, "");
    QNTblCreateFileHeader(file, dict);
    std::uint8_t* h = owner->GetFileHeader(file, true);
    for (int i = 0; i < blocks; ++i) {
      std::int32_t b = 0;
      QNTblHlpGetNewBlock(file, h, b);
    }
    owner->Commit(trans);
    // Start again with an empty cache.
    owner->RemoveFile(file);
    QNFreeFileInfo(file);
    owner = std::make_unique<TqnBufferManager>();
    file = QNAllocFileInfo(folder + "/T", "QND", owner.get());
    QNOpenFile(file, true, false, false, false);
  }
  ~BenchTable() {
    owner->RemoveFile(file);
    QNFreeFileInfo(file);
    std::filesystem::remove_all(folder);
  }
};

void BM_PageHit(benchmark::State& state) {
  BenchTable t(64);
  for (int b = 1; b <= 64; ++b) t.owner->GetBlock(t.file, b, false);
  int b = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(t.owner->GetBlock(t.file, b, false));
    b = b % 64 + 1;
  }
}
BENCHMARK(BM_PageHit);

void BM_PageMiss(benchmark::State& state) {
  BenchTable t(1000);
  t.owner->SetMaxPageCount(100);
  int b = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(t.owner->GetBlock(t.file, b, false));
    b = b % 1000 + 1;
  }
}
BENCHMARK(BM_PageMiss);

void BM_Commit(benchmark::State& state) {
  const int blocks = static_cast<int>(state.range(0));
  BenchTable t(blocks);
  std::uint32_t id = 100;
  for (auto _ : state) {
    ++id;
    t.file->TransactionId = id;
    t.owner->StartTransaction(id, false, "");
    for (int b = 1; b <= blocks; ++b) t.owner->GetBlock(t.file, b, true)[100] ^= 1;
    t.owner->Commit(id);
  }
}
BENCHMARK(BM_Commit)->Arg(1)->Arg(10)->Arg(100);

}  // namespace
