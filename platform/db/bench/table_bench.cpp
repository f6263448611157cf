// Key searches and a filtered scan over a table of 10,000 records, through the access layer
// and the server started in this process.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "dbaccess/dbientry.h"
#include "dbaccess/embedded.h"
#include "dbengine/base/serverlog.h"
#include "platform/db/session.h"
#include "platform/db/table.h"
#include "platform/win/display.h"

namespace {

using namespace tw;

constexpr int kRecords = 10000;
const char* const kLanguages[] = {"DEU", "ENG", "FRA"};

// One table for every benchmark: Lang (3 languages in turn), Nr, Text; index on Lang;Nr.
class TBenchTable {
 public:
  TBenchTable() {
    SelectDisplay("offscreen");
    FFolder = std::filesystem::temp_directory_path() / ("tw_db_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(FFolder);
    dbengine::QNSetLogPath((FFolder / "QNSERVER.LOG").string());
    dbaccess::RegisterEmbeddedServer(FFolder.string());
    Session().AddStandardAlias("Bench", FFolder.string() + "/");
    Table = std::make_unique<TTable>(nullptr);
    Table->SetDatabaseName("Bench");
    Table->SetTableName("Messages.QND");
    Table->FieldDefs().Add("Lang", TFieldType::ftString, 3, true);
    Table->FieldDefs().Add("Nr", TFieldType::ftSmallint, 0, true);
    Table->FieldDefs().Add("Text", TFieldType::ftString, 40);
    Table->IndexDefs().Add("XPKMsgs", "Lang;Nr", true, true);
    Table->CreateTable();
    Table->SetIndexName("XPKMsgs");
    Table->Open();
    for (int i = 0; i < kRecords; ++i) {
      Table->Append();
      Table->FieldByName("Lang")->SetAsString(kLanguages[i % 3]);
      Table->FieldByName("Nr")->SetAsInteger(i);
      Table->FieldByName("Text")->SetAsString("Message " + std::to_string(i));
      Table->Post();
    }
  }
  ~TBenchTable() {
    Table.reset();
    Session().Close();
    dbaccess::DbiExit();
    std::error_code ec;
    std::filesystem::remove_all(FFolder, ec);
  }
  std::unique_ptr<TTable> Table;

 private:
  std::filesystem::path FFolder;
};

TTable& BenchTable() {
  static TBenchTable table;
  return *table.Table;
}

void BM_FindKey(benchmark::State& state) {
  TTable& t = BenchTable();
  int i = 0;
  for (auto _ : state) {
    const int nr = (i * 7919) % kRecords;
    bool found = t.FindKey({std::string(kLanguages[nr % 3]), std::int64_t{nr}});
    benchmark::DoNotOptimize(found);
    ++i;
  }
}
BENCHMARK(BM_FindKey);

void BM_FindNearest(benchmark::State& state) {
  TTable& t = BenchTable();
  int i = 0;
  for (auto _ : state) {
    const int nr = (i * 7919) % kRecords;
    t.FindNearest({std::string(kLanguages[nr % 3]), std::int64_t{nr} - 1});
    benchmark::DoNotOptimize(t.Eof());
    ++i;
  }
}
BENCHMARK(BM_FindNearest);

// Walks the records of one language: the filter text (handed to the access layer as far as it
// can evaluate it) against the same test made in the OnFilterRecord event alone.
void FilteredScan(benchmark::State& state, bool byText) {
  TTable& t = BenchTable();
  if (byText) {
    t.SetFilter("Lang = 'ENG'");
  } else {
    t.OnFilterRecord = [](TDataSet* ds, bool& accept) { accept = ds->FieldByName("Lang")->AsString() == "ENG"; };
  }
  t.SetFiltered(true);
  for (auto _ : state) {
    int n = 0;
    for (t.First(); !t.Eof(); t.Next()) ++n;
    if (n != kRecords / 3) state.SkipWithError("wrong number of records");
  }
  t.SetFiltered(false);
  t.SetFilter("");
  t.OnFilterRecord = nullptr;
  state.SetItemsProcessed(state.iterations() * kRecords);
}
void BM_FilteredScanByText(benchmark::State& state) { FilteredScan(state, true); }
void BM_FilteredScanByEvent(benchmark::State& state) { FilteredScan(state, false); }
BENCHMARK(BM_FilteredScanByText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilteredScanByEvent)->Unit(benchmark::kMillisecond);

}  // namespace
