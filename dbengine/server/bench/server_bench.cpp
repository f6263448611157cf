// The program's main lookup through the engine: the interpretation text found by its four key
// values, then its memo read back.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dbengine/server/server_engine.h"
#include "dbengine/storage/block_layout.h"

namespace {

using namespace tw::dbengine;

struct TextsTable {
  std::string folder;
  TqnServerEngine engine;
  std::uint32_t db = 0, cursor = 0;
  TqnDataDictionary* dict = nullptr;

  TextsTable() {
    folder = std::filesystem::temp_directory_path().string() + "/tw_server_bench_" + std::to_string(::getpid());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::uint32_t hash = 0;
    engine.ClientAdd(1, "bench", "", hash);
    engine.DatabaseOpenNoAlias(1, folder, 1, 1, db);
    TqnDataDictionary d(4096);
    d.AddField("Lang", "", qftShortString, 3, 0, true);
    d.AddField("TBody", "", qftInt16, 0, 0, true);
    d.AddField("RBody", "", qftInt16, 0, 0, true);
    d.AddField("Aspect", "", qftInt16, 0, 0, true);
    d.AddField("Text", "", qftBlobMemo, 0, 0, false);
    d.AddIndex("Key", "", 0, {0, 1, 2, 3}, false, true, false);
    engine.BuildTable(db, false, "Texts", d);
    engine.OpenTable(db, "Texts", "", 1, 1, 1, cursor, nullptr);
    dict = &engine.FindCursor(cursor)->Table->Dictionary();
    std::uint32_t t = 0;
    engine.TransactionStart(db, false, t);
    for (int lang = 0; lang < 2; ++lang)
      for (int tb = 0; tb < 12; ++tb)
        for (int rb = 0; rb < 12; ++rb)
          for (int a = 1; a <= 5; ++a) {
            const std::string text = "Interpretation " + std::to_string(tb) + "/" + std::to_string(rb) + "/" +
                                     std::to_string(a) + std::string(300, '.');
            std::uint32_t nr = 0;
            engine.CreateBLOB(cursor, nr);
            engine.WriteBLOB(cursor, nr, 0, static_cast<std::uint32_t>(text.size()),
                             reinterpret_cast<const std::uint8_t*>(text.data()));
            auto rec = Key(lang ? "DEU" : "ENG", tb, rb, a);
            std::uint8_t v[4];
            QNPutU32(v, nr);
            dict->SetRecordField(4, rec.data(), v);
            engine.RecordInsert(cursor, 0, rec.data());
          }
    engine.TransactionCommit(t);
  }
  ~TextsTable() { std::filesystem::remove_all(folder); }

  std::vector<std::uint8_t> Key(const std::string& Lang, int T, int R, int A) {
    std::vector<std::uint8_t> r(static_cast<std::size_t>(dict->RecordLength()));
    dict->InitRecord(r.data());
    std::uint8_t s[4] = {static_cast<std::uint8_t>(Lang.size())};
    std::memcpy(s + 1, Lang.data(), Lang.size());
    dict->SetRecordField(0, r.data(), s);
    const int v[3] = {T, R, A};
    for (int i = 0; i < 3; ++i) {
      std::uint8_t b[2] = {static_cast<std::uint8_t>(v[i]), 0};
      dict->SetRecordField(1 + i, r.data(), b);
    }
    return r;
  }
};

void BM_KeyLookupAndMemoRead(benchmark::State& State) {
  static TextsTable* t = new TextsTable;
  std::vector<std::uint8_t> out(static_cast<std::size_t>(t->dict->RecordLength()));
  std::vector<std::uint8_t> text(4096);
  int i = 0;
  std::vector<std::vector<std::uint8_t>> keys;
  for (int k = 0; k < 64; ++k) keys.push_back(t->Key(k % 2 ? "DEU" : "ENG", k % 12, (k * 5) % 12, 1 + k % 5));
  for (auto _ : State) {
    const auto& key = keys[static_cast<std::size_t>(i++ % 64)];
    if (t->engine.RecordGetForKey(t->cursor, false, 0, 0, key.data(), out.data()) != 0) State.SkipWithError("not found");
    const std::uint32_t nr = QNGetU32(out.data() + t->dict->FieldOffset(4));
    std::uint32_t len = 0, got = 0;
    t->engine.GetBLOBLength(t->cursor, nr, len);
    t->engine.ReadBLOB(t->cursor, nr, 0, len, got, text.data());
    benchmark::DoNotOptimize(got);
  }
}
BENCHMARK(BM_KeyLookupAndMemoRead);

}  // namespace


// A plain insert outside any transaction: the engine starts, commits and ends a transaction
// of its own around each record (one journaled commit per insert).
void BM_RecordInsertAutoCommit(benchmark::State& State) {
  const std::string folder =
      std::filesystem::temp_directory_path().string() + "/tw_server_bench_ins_" + std::to_string(::getpid());
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  {
    TqnServerEngine engine;
    std::uint32_t hash = 0, db = 0, cursor = 0;
    engine.ClientAdd(1, "bench", "", hash);
    engine.DatabaseOpenNoAlias(1, folder, 1, 1, db);
    TqnDataDictionary d(4096);
    d.AddField("Id", "", qftInt32, 0, 0, true);
    d.AddField("Name", "", qftShortString, 31, 0, true);
    d.AddIndex("ById", "", 0, {0}, false, true, false);
    engine.BuildTable(db, false, "Rows", d);
    engine.OpenTable(db, "Rows", "", 0, 1, 1, cursor, nullptr);
    const TqnDataDictionary& dict = engine.FindCursor(cursor)->Table->Dictionary();
    std::vector<std::uint8_t> rec(static_cast<std::size_t>(dict.RecordLength()));
    std::int32_t n = 0;
    for (auto _ : State) {
      dict.InitRecord(rec.data());
      std::uint8_t v[4];
      QNPutI32(v, n++);
      dict.SetRecordField(0, rec.data(), v);
      std::uint8_t s[32] = {5, 'h', 'e', 'l', 'l', 'o'};
      dict.SetRecordField(1, rec.data(), s);
      if (engine.RecordInsert(cursor, 0, rec.data()) != 0) State.SkipWithError("insert failed");
    }
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RecordInsertAutoCommit)->Unit(benchmark::kMicrosecond);
