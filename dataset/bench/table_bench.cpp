// Key searches and a filtered scan over a table of 10,000 records, through the access layer
// and the server started in this process; and the program's main lookup (an interpretation
// text of the shipped table found by its four key values, then its memo read) done by the
// data-set classes against the same lookup made on the server engine directly.
//
// The server's request log is switched off for the whole run, so that the figures are those of
// the lookup itself.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/dbientry.h"
#include "dbaccess/embedded.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/storage/block_layout.h"
#include "dataset/session.h"
#include "dataset/table.h"
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
    dbengine::QNLogRequests = false;
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
  std::filesystem::path FFolder;
};

TBenchTable& Bench() {
  static TBenchTable table;
  return table;
}
TTable& BenchTable() { return *Bench().Table; }
std::string BenchFolder() { return Bench().FFolder.string() + "/"; }

void BM_DataSetFindKey(benchmark::State& state) {
  TTable& t = BenchTable();
  int i = 0;
  for (auto _ : state) {
    const int nr = (i * 7919) % kRecords;
    bool found = t.FindKey({std::string(kLanguages[nr % 3]), std::int64_t{nr}});
    benchmark::DoNotOptimize(found);
    ++i;
  }
}
BENCHMARK(BM_DataSetFindKey);

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

// The shipped interpretation texts ("Interprt.QND": language, transit body, radix body, aspect
// and the memo), copied from the program folder; the data-set classes open it read-only, as the
// program does, and the engine reads it through a cursor of its own.
class TTextsTable {
 public:
  TTextsTable() {
    BenchTable();  // the server runs from here on
    const char* built = std::getenv("TIDEWELL_PROGRAM_DIR");
    const std::filesystem::path source = built != nullptr && *built != '\0' ? built : TIDEWELL_BUILT_PROGRAM_DIR;
    std::filesystem::copy_file(source / "Interprt.QND", Bench().FFolder / "Interprt.QND",
                               std::filesystem::copy_options::overwrite_existing);
    engine = dbengine::TqnServerEngine::Instance();
    std::uint32_t hash = 0;
    engine->ClientAdd(kClient, "bench", "", hash);
    engine->DatabaseOpenNoAlias(kClient, BenchFolder(), 1, 1, db);
    if (engine->OpenTable(db, "Interprt", "XPKTransTexts", 1, 1, 1, cursor, nullptr) != 0) std::abort();
    dict = &engine->FindCursor(cursor)->Table->Dictionary();
    // Every record's key, in a fixed scrambled order: the lookups of one round.
    std::vector<std::uint8_t> rec(static_cast<std::size_t>(dict->RecordLength()));
    engine->SetToBegin(cursor);
    while (engine->RecordGetNext(cursor, 0, rec.data()) == 0) {
      TLookup l;
      l.Lang.assign(reinterpret_cast<const char*>(rec.data() + dict->FieldOffset(0)), 3);
      int* values[3] = {&l.T, &l.R, &l.A};
      for (int i = 0; i < 3; ++i) {
        const std::uint8_t* f = rec.data() + dict->FieldOffset(1 + i);
        *values[i] = static_cast<std::int16_t>(f[0] | f[1] << 8);
      }
      lookups.push_back(l);
      keys.push_back(rec);
    }
    for (std::size_t i = 0; i < lookups.size(); ++i) {
      const std::size_t j = (i * 7919) % lookups.size();
      std::swap(lookups[i], lookups[j]);
      std::swap(keys[i], keys[j]);
    }
    table = std::make_unique<TTable>(nullptr);
    table->SetDatabaseName("Bench");
    table->SetTableName("Interprt.QND");
    table->SetIndexName("XPKTransTexts");
    table->SetReadOnly(true);
    table->Open();
  }

  struct TLookup {
    std::string Lang;
    int T = 0, R = 0, A = 0;
  };

  // The lookup on the server engine itself: the record found by its key, then its memo's
  // length and text.
  bool EngineLookup(std::size_t I, std::vector<std::uint8_t>& Out, std::vector<std::uint8_t>& Text) {
    Out.resize(static_cast<std::size_t>(dict->RecordLength()));
    if (engine->RecordGetForKey(cursor, false, 4, 0, keys[I].data(), Out.data()) != 0) return false;
    const std::uint32_t nr = dbengine::QNGetU32(Out.data() + dict->FieldOffset(4));
    std::uint32_t len = 0, got = 0;
    engine->GetBLOBLength(cursor, nr, len);
    if (Text.size() < len) Text.resize(len);
    engine->ReadBLOB(cursor, nr, 0, len, got, Text.data());
    return got == len;
  }

  static constexpr std::int32_t kClient = 0x7A11;
  dbengine::TqnServerEngine* engine = nullptr;
  std::uint32_t db = 0, cursor = 0;
  const dbengine::TqnDataDictionary* dict = nullptr;
  std::unique_ptr<TTable> table;
  std::vector<TLookup> lookups;
  std::vector<std::vector<std::uint8_t>> keys;
};

TTextsTable& TextsTable() {
  static TTextsTable* t = new TTextsTable;
  return *t;
}

void BM_FindKey(benchmark::State& state) {
  TTextsTable& t = TextsTable();
  std::vector<std::uint8_t> out, text;
  std::size_t i = 0;
  for (auto _ : state)
    if (!t.EngineLookup(i++ % t.keys.size(), out, text)) state.SkipWithError("not found");
}
BENCHMARK(BM_FindKey);

// The same lookup as the program's transit list makes it (the interpretation texts' adapter of
// the main window): TTable.FindKey on the four key values, then the memo field, found by its
// name, read as a string (one function, so that a profiler can single it out).
[[gnu::noinline]] bool DataSetLookup(TTable& Table, const TTextsTable::TLookup& L, std::string& Text) {
  if (!Table.Active()) return false;
  if (!Table.FindKey({L.Lang, std::int64_t{L.T}, std::int64_t{L.R}, std::int64_t{L.A}})) return false;
  Text = Table.FieldByName("Interpretation")->AsString();
  return true;
}

void BM_KeyLookupAndMemoRead(benchmark::State& state) {
  TTextsTable& t = TextsTable();
  std::size_t i = 0;
  std::string text;
  for (auto _ : state) {
    if (!DataSetLookup(*t.table, t.lookups[i++ % t.lookups.size()], text)) {
      state.SkipWithError("not found");
      break;
    }
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_KeyLookupAndMemoRead);

// The data-set lookup in engine lookups: every record of the shipped table looked up by both,
// in alternating rounds; the median of the rounds' ratios.
void BM_DataSetLookupInEngineLookups(benchmark::State& state) {
  TTextsTable& t = TextsTable();
  std::vector<std::uint8_t> out, bytes;
  std::string text;
  std::vector<double> ratios;
  bool ok = true;
  const auto seconds = [](auto&& Work) {
    const auto t0 = std::chrono::steady_clock::now();
    Work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  };
  for (auto _ : state) {
    const double engine = seconds([&] {
      for (std::size_t i = 0; i < t.keys.size(); ++i) ok &= t.EngineLookup(i, out, bytes);
    });
    const double dataSet = seconds([&] {
      for (const auto& l : t.lookups) ok &= DataSetLookup(*t.table, l, text);
    });
    ratios.push_back(dataSet / engine);
    state.SetIterationTime(engine + dataSet);
  }
  if (!ok) state.SkipWithError("not found");
  std::sort(ratios.begin(), ratios.end());
  state.counters["records"] = static_cast<double>(t.keys.size());
  state.counters["ratio"] = ratios.empty() ? 0.0 : ratios[ratios.size() / 2];
}
BENCHMARK(BM_DataSetLookupInEngineLookups)->Iterations(9)->UseManualTime()->Unit(benchmark::kMillisecond);

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
