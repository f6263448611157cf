// The access layer's hot paths against the embedded server in this process: opening a table,
// reading 10,000 records through a cursor, inserting 10,000 records (in one transaction, and a
// few committed one by one), a filtered scan, a new BLOB created and freed beside tables of
// growing size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dbaccess/database.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/embedded.h"
#include "dbaccess/errortext.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/storage/data_dictionary.h"
#include "platform/win/display.h"

namespace {

using namespace tw::dbaccess;

constexpr int kRecords = 10000;

// One server, database and table of kRecords rows for the whole run.
struct Fixture {
  std::filesystem::path Folder;
  hDBIDb Db = 0;
  std::uint16_t RecordSize = 0;

  Fixture() {
    tw::SelectDisplay("offscreen");
    Folder = std::filesystem::temp_directory_path() / ("tw_dbaccess_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(Folder);
    tw::dbengine::QNSetLogPath((Folder / "QNSERVER.LOG").string());
    SetEngineMessageBox([](const std::string&, const std::string&, unsigned) { return 1; });
    RegisterEmbeddedServer(Folder.string());
    DbiInit(nullptr);
    std::string path = Folder.string() + "/";
    DbiOpenDatabase(path.c_str(), nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, Db);
    Build("Rows");
    Fill("Rows", kRecords);
  }
  ~Fixture() {
    DbiExit();
    std::error_code ec;
    std::filesystem::remove_all(Folder, ec);
  }

  void Build(const char* Name) {
    tw::dbengine::TqnDataDictionary dict(4096);
    dict.AddField("Lang", "", tw::dbengine::qftZString, 3, 0, true);
    dict.AddField("Nr", "", tw::dbengine::qftInt32, 0, 0, true);
    dict.AddField("Text", "", tw::dbengine::qftZString, 40, 0, false);
    dict.AddIndex("ByNr", "", 0, {1}, false, true, false);
    TBapiListItem::Resolve<TQNClientDatabase>(Db)->BuildTable(Name, true, dict);
  }

  hDBICur Open(const char* Name) {
    hDBICur cur = 0;
    DbiOpenTable(Db, Name, nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false, nullptr, cur);
    CURProps props;
    DbiGetCursorProps(cur, props);
    RecordSize = props.iRecBufSize;
    return cur;
  }

  // Inserts Count rows; in one transaction unless AutoCommit, when each insert commits (and
  // reaches the disk) on its own.
  void Fill(const char* Name, int Count, bool AutoCommit = false) {
    auto* database = TBapiListItem::Resolve<TQNClientDatabase>(Db);
    std::uint32_t tran = 0;
    if (!AutoCommit) database->BeginTran(0, tran);
    hDBICur cur = Open(Name);
    std::vector<std::uint8_t> record(RecordSize);
    for (std::int32_t i = 0; i < Count; ++i) {
      DbiInitRecord(cur, record.data());
      DbiPutField(cur, 1, record.data(), reinterpret_cast<const std::uint8_t*>(i % 2 ? "ENG" : "DEU"));
      DbiPutField(cur, 2, record.data(), reinterpret_cast<const std::uint8_t*>(&i));
      DbiPutField(cur, 3, record.data(), reinterpret_cast<const std::uint8_t*>("Transit text of some length"));
      DbiInsertRecord(cur, dbiNOLOCK, record.data());
    }
    DbiCloseCursor(cur);
    if (!AutoCommit) database->EndTran(tran, 0);
  }
};

// Reads every record the cursor shows from the start; answers how many there were.
int Scan(hDBICur Cursor, std::vector<std::uint8_t>& Record) {
  DbiSetToBegin(Cursor);
  int n = 0;
  while (DbiGetNextRecord(Cursor, dbiNOLOCK, Record.data(), nullptr) == DBIERR_NONE) ++n;
  return n;
}

Fixture& TheFixture() {
  static Fixture f;
  return f;
}

void BM_OpenTable(benchmark::State& State) {
  Fixture& f = TheFixture();
  for (auto _ : State) {
    hDBICur cur = f.Open("Rows");
    benchmark::DoNotOptimize(cur);
    DbiCloseCursor(cur);
  }
}
BENCHMARK(BM_OpenTable);

void BM_ReadThroughCursor(benchmark::State& State) {
  Fixture& f = TheFixture();
  hDBICur cur = f.Open("Rows");
  std::vector<std::uint8_t> record(f.RecordSize);
  for (auto _ : State)
    if (Scan(cur, record) != kRecords) State.SkipWithError("not every record was read");
  State.SetItemsProcessed(State.iterations() * kRecords);
  DbiCloseCursor(cur);
}
BENCHMARK(BM_ReadThroughCursor)->Unit(benchmark::kMillisecond);

// Inserts range(0) records into a fresh table: in one transaction (range(1) = 0), or each
// insert its own committed transaction (range(1) = 1), the cost of one record on the disk.
void BM_Insert(benchmark::State& State) {
  Fixture& f = TheFixture();
  const int count = static_cast<int>(State.range(0));
  const bool autoCommit = State.range(1) != 0;
  for (auto _ : State) {
    State.PauseTiming();
    f.Build("Inserted");
    State.ResumeTiming();
    f.Fill("Inserted", count, autoCommit);
  }
  State.SetItemsProcessed(State.iterations() * count);
}
BENCHMARK(BM_Insert)->Args({kRecords, 0})->Args({20, 1})->Unit(benchmark::kMillisecond);

std::int16_t EveryTenth(std::uint32_t, std::uint8_t* Record, std::int32_t) {
  std::int32_t nr = 0;
  std::memcpy(&nr, Record + 4, 4);
  return nr % 10 == 0;
}

void BM_FilteredScan(benchmark::State& State) {
  Fixture& f = TheFixture();
  hDBICur cur = f.Open("Rows");
  hDBIFilter filter = 0;
  DbiAddFilter(cur, 0, 0, false, nullptr, EveryTenth, filter);
  DbiActivateFilter(cur, filter);
  std::vector<std::uint8_t> record(f.RecordSize);
  for (auto _ : State)
    if (Scan(cur, record) != kRecords / 10) State.SkipWithError("the filter passed a wrong number of records");
  State.SetItemsProcessed(State.iterations() * kRecords);
  DbiCloseCursor(cur);
}
BENCHMARK(BM_FilteredScan)->Unit(benchmark::kMillisecond);

// One cycle of a memo begun and given up (a new BLOB created for a new record, then freed
// unstored) on a table of range(0) records with memo fields: it should cost the same whatever
// the size of the table.  Inside a transaction, so that the disk is not what is measured.
void BM_CreateAndFreeBlob(benchmark::State& State) {
  Fixture& f = TheFixture();
  const int count = static_cast<int>(State.range(0));
  const std::string name = "Memos" + std::to_string(count);
  auto* database = TBapiListItem::Resolve<TQNClientDatabase>(f.Db);
  tw::dbengine::TqnDataDictionary dict(4096);
  dict.AddField("Nr", "", tw::dbengine::qftInt32, 0, 0, true);
  dict.AddField("Text", "", tw::dbengine::qftBlobMemo, 0, 0, false);
  dict.AddIndex("ByNr", "", 0, {0}, false, true, false);
  database->BuildTable(name, true, dict);
  hDBICur cur = 0;
  DbiOpenTable(f.Db, name.c_str(), nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false, nullptr, cur);
  CURProps props;
  DbiGetCursorProps(cur, props);
  std::vector<std::uint8_t> record(props.iRecBufSize);
  std::uint32_t tran = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    if (i % 50000 == 0) database->BeginTran(0, tran);
    DbiInitRecord(cur, record.data());
    DbiPutField(cur, 1, record.data(), reinterpret_cast<const std::uint8_t*>(&i));
    DbiInsertRecord(cur, dbiNOLOCK, record.data());
    if (i % 50000 == 49999 || i == count - 1) database->EndTran(tran, 0);
  }
  database->BeginTran(0, tran);
  for (auto _ : State) {
    DbiInitRecord(cur, record.data());
    if (DbiOpenBlob(cur, record.data(), 2, dbiREADWRITE) != DBIERR_NONE ||
        DbiFreeBlob(cur, record.data(), 2) != DBIERR_NONE)
      State.SkipWithError("the BLOB was not created and freed");
  }
  database->EndTran(tran, 0);
  DbiCloseCursor(cur);
  DbiDeleteTable(f.Db, name.c_str(), nullptr);
}
BENCHMARK(BM_CreateAndFreeBlob)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace
