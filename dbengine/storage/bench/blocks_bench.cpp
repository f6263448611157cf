// Speed of records, indexes and BLOBs: finding a record by key among 100,000, inserting
// 100,000 records with two indexes, reading a 1 MB BLOB.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dbengine/storage/blobs.h"
#include "dbengine/storage/btree_index.h"
#include "dbengine/storage/buffer_manager.h"
#include "dbengine/storage/data_blocks.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/table_file.h"

namespace {

using namespace tw::dbengine;

// A table of (ID, NAME) with a unique index on ID and a duplicates index on NAME.
struct Table {
  std::string folder;
  TqnBufferManager bm;
  TqnDataDictionary dict;
  TqnFileInfo* file = nullptr;
  std::vector<TqnIndexHandle> handles;
  std::uint32_t trans = 0;

  explicit Table(const std::string& name) {
    folder = std::filesystem::temp_directory_path().string() + "/tw_blocks_bench_" + std::to_string(::getpid()) + name;
    std::filesystem::create_directories(folder);
    dict.AddField("ID", "", qftInt32, 0, 0, true);
    dict.AddField("NAME", "", qftShortStringLocale, 20, 0, false);
    dict.AddField("MEMO", "", qftBlobMemo, 0, 0, false);
    dict.AddIndex("BYID", "", 0, {0}, false, true, false);
    dict.AddIndex("BYNAME", "", 0, {1}, true, true, true);
    file = QNAllocFileInfo(folder + "/T", "QND", &bm);
    QNOpenFile(file, true, false, true, false);
    Begin();
    QNTblCreateFileHeader(file, dict);
    QNTblWriteDictionary(dict, file);
    QNTblPrepareIndexes(file);
    for (int i = 0; i < dict.IndexCount(); ++i)
      QNTblAddIndex(file, i, dict.IndexKeyLength(i), i == 0, dict.IndexAllowDups(i));
    Commit();
    for (int i = 0; i < dict.IndexCount(); ++i) handles.push_back(QNMakeIndexHandle(file, dict, i));
  }
  ~Table() {
    bm.RemoveFile(file);
    QNFreeFileInfo(file);
    std::filesystem::remove_all(folder);
  }
  void Begin() {
    file->TransactionId = ++trans;
    bm.StartTransaction(trans, false, "");
  }
  void Commit() { bm.Commit(file->TransactionId); }

  void Insert(std::int32_t id) {
    std::vector<std::uint8_t> rec(static_cast<std::size_t>(dict.RecordLength()));
    dict.InitRecord(rec.data());
    dict.SetRecordField(0, rec.data(), reinterpret_cast<const std::uint8_t*>(&id));
    std::uint8_t name[21] = {8};
    for (int i = 1; i <= 8; ++i) name[i] = static_cast<std::uint8_t>('a' + (id * 7 + i * 13) % 26);
    dict.SetRecordField(1, rec.data(), name);
    std::int32_t ref = 0;
    QNTblAddRecord(file, ref, rec.data());
    std::vector<std::uint8_t> key(1100);
    QNTblAddKey(handles[0], ref, nullptr);
    for (int i = 1; i < dict.IndexCount(); ++i) {
      dict.ExtractKey(i, rec.data(), key.data());
      QNTblAddKey(handles[static_cast<std::size_t>(i)], ref, key.data());
    }
  }
  void Fill(int n) {
    std::vector<std::int32_t> ids(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) ids[static_cast<std::size_t>(i)] = i;
    std::shuffle(ids.begin(), ids.end(), std::mt19937(1));
    Begin();
    for (std::int32_t id : ids) Insert(id);
    Commit();
  }
};

void BM_InsertWithTwoIndexes(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto t = std::make_unique<Table>("insert");
    state.ResumeTiming();
    t->Fill(100000);
    state.PauseTiming();
    t.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_InsertWithTwoIndexes)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_FindRecordByKey(benchmark::State& state) {
  Table t("find");
  t.Fill(100000);
  std::mt19937 rng(2);
  std::vector<std::uint8_t> rec(static_cast<std::size_t>(t.dict.RecordLength()));
  std::vector<std::uint8_t> key(static_cast<std::size_t>(t.dict.IndexKeyLength(1)));
  for (auto _ : state) {
    std::int32_t id = static_cast<std::int32_t>(rng() % 100000);
    TqnDataDictionary::InitKey(key.data(), static_cast<int>(key.size()), 1);
    std::memcpy(key.data(), &id, 4);
    TqnDataDictionary::SetKeyFieldNonNull(key.data(), static_cast<int>(key.size()), 1, 0);
    TqnKeyPath path;
    std::int32_t ref = 0;
    if (!QNTblFindKey(t.handles[1], ref, key.data(), kQnFindEqual, path)) state.SkipWithError("key not found");
    QNTblReadRecord(t.file, ref, rec.data());
    benchmark::DoNotOptimize(rec.data());
  }
}
BENCHMARK(BM_FindRecordByKey);

void BM_ReadOneMegabyteBlob(benchmark::State& state) {
  Table t("blob");
  const std::int32_t size = 1 << 20;
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size), 0x5A);
  t.Begin();
  std::int32_t nr = 0;
  QNTblAddBLOB(t.file, nr);
  QNTblWriteBLOB(t.file, nr, 0, size, data.data());
  t.Commit();
  std::vector<std::uint8_t> out(static_cast<std::size_t>(size));
  for (auto _ : state) {
    int err = 0;
    std::int32_t got = 0;
    QNTblReadBLOB(t.file, nr, 0, err, got, out.data(), size);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_ReadOneMegabyteBlob)->Unit(benchmark::kMicrosecond);

}  // namespace
