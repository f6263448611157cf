// Key searches and a filtered scan over a table of 10,000 records, through the access layer
// and the server started in this process; and the program's main lookup (an interpretation
// text found by its four key values, then its memo read) done by the data-set classes against
// the same lookup made on the server engine directly.
//
// The server's request log is switched off for the whole run, so that the figures are those of
// the lookup itself.
#include <benchmark/benchmark.h>
#include <unistd.h>

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

// The interpretation texts: language, transit body, radix body, aspect and the memo, 1,440
// records written once on the engine; the data-set classes open the table read-only, as the
// program does.
class TTextsTable {
 public:
  static constexpr int kBodies = 12;
  static constexpr int kAspects = 5;

  TTextsTable() {
    BenchTable();  // the server runs from here on
    engine = dbengine::TqnServerEngine::Instance();
    std::uint32_t hash = 0;
    engine->ClientAdd(kClient, "bench", "", hash);
    engine->DatabaseOpenNoAlias(kClient, BenchFolder(), 1, 1, db);
    dbengine::TqnDataDictionary d(4096);
    d.AddField("Lang", "", dbengine::qftZString, 4, 0, true);
    d.AddField("Trans", "", dbengine::qftInt16, 0, 0, true);
    d.AddField("Radix", "", dbengine::qftInt16, 0, 0, true);
    d.AddField("Aspect", "", dbengine::qftInt16, 0, 0, true);
    d.AddField("Interpretation", "", dbengine::qftBlobMemo, 0, 0, false);
    d.AddIndex("XPKTransTexts", "", 0, {0, 1, 2, 3}, false, true, true);
    engine->BuildTable(db, true, "Interprt", d);
    engine->OpenTable(db, "Interprt", "XPKTransTexts", 1, 1, 1, cursor, nullptr);
    dict = &engine->FindCursor(cursor)->Table->Dictionary();
    std::uint32_t t = 0;
    engine->TransactionStart(db, false, t);
    for (int lang = 0; lang < 2; ++lang)
      for (int tb = 0; tb < kBodies; ++tb)
        for (int rb = 0; rb < kBodies; ++rb)
          for (int a = 1; a <= kAspects; ++a) {
            const std::string text = Text(tb, rb, a);
            std::uint32_t nr = 0;
            engine->CreateBLOB(cursor, nr);
            engine->WriteBLOB(cursor, nr, 0, static_cast<std::uint32_t>(text.size()),
                              reinterpret_cast<const std::uint8_t*>(text.data()));
            auto rec = Key(lang ? "DEU" : "ENG", tb, rb, a);
            std::uint8_t v[4];
            dbengine::QNPutU32(v, nr);
            dict->SetRecordField(4, rec.data(), v);
            engine->RecordInsert(cursor, 0, rec.data());
          }
    engine->TransactionCommit(t);
    table = std::make_unique<TTable>(nullptr);
    table->SetDatabaseName("Bench");
    table->SetTableName("Interprt");
    table->SetIndexName("XPKTransTexts");
    table->SetReadOnly(true);
    table->Open();
  }

  static std::string Text(int T, int R, int A) {
    return "Interpretation " + std::to_string(T) + "/" + std::to_string(R) + "/" + std::to_string(A) +
           std::string(300, '.');
  }
  // A record image holding the four key values, as the engine's key search takes it.
  std::vector<std::uint8_t> Key(const std::string& Lang, int T, int R, int A) const {
    std::vector<std::uint8_t> r(static_cast<std::size_t>(dict->RecordLength()));
    dict->InitRecord(r.data());
    // A field's value is taken at the field's whole length: the buffers are made large enough.
    std::uint8_t s[256] = {};
    std::memcpy(s, Lang.data(), std::min<std::size_t>(Lang.size(), 3));
    dict->SetRecordField(0, r.data(), s);
    const int v[3] = {T, R, A};
    for (int i = 0; i < 3; ++i) {
      std::uint8_t b[8] = {static_cast<std::uint8_t>(v[i]), 0};
      dict->SetRecordField(1 + i, r.data(), b);
    }
    return r;
  }
  // The lookups of one run: every language, body pair and aspect in a fixed scrambled order.
  struct TLookup {
    std::string Lang;
    int T, R, A;
  };
  static std::vector<TLookup> Lookups() {
    std::vector<TLookup> r;
    for (int k = 0; k < 64; ++k)
      r.push_back({k % 2 ? "DEU" : "ENG", k % kBodies, (k * 5) % kBodies, 1 + k % kAspects});
    return r;
  }

  static constexpr std::int32_t kClient = 0x7A11;
  dbengine::TqnServerEngine* engine = nullptr;
  std::uint32_t db = 0, cursor = 0;
  dbengine::TqnDataDictionary* dict = nullptr;
  std::unique_ptr<TTable> table;
};

TTextsTable& TextsTable() {
  static TTextsTable* t = new TTextsTable;
  return *t;
}

// The lookup on the server engine itself: the record found by its key, then its memo's length
// and text.
void BM_FindKey(benchmark::State& state) {
  TTextsTable& t = TextsTable();
  std::vector<std::vector<std::uint8_t>> keys;
  for (const auto& l : TTextsTable::Lookups()) keys.push_back(t.Key(l.Lang, l.T, l.R, l.A));
  std::vector<std::uint8_t> out(static_cast<std::size_t>(t.dict->RecordLength()));
  std::vector<std::uint8_t> text(4096);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& key = keys[i++ % keys.size()];
    if (t.engine->RecordGetForKey(t.cursor, false, 4, 0, key.data(), out.data()) != 0) state.SkipWithError("not found");
    const std::uint32_t nr = dbengine::QNGetU32(out.data() + t.dict->FieldOffset(4));
    std::uint32_t len = 0, got = 0;
    t.engine->GetBLOBLength(t.cursor, nr, len);
    t.engine->ReadBLOB(t.cursor, nr, 0, len, got, text.data());
    benchmark::DoNotOptimize(got);
  }
}
BENCHMARK(BM_FindKey);

// The same lookup as the program makes it: TTable.FindKey on the four key values, then the
// memo field read as a string (one function, so that a profiler can single it out).
[[gnu::noinline]] bool DataSetLookup(TTable& Table, TField* Memo, const TTextsTable::TLookup& L, std::string& Text) {
  if (!Table.FindKey({L.Lang, std::int64_t{L.T}, std::int64_t{L.R}, std::int64_t{L.A}})) return false;
  Text = Memo->AsString();
  return true;
}

void BM_KeyLookupAndMemoRead(benchmark::State& state) {
  TTextsTable& t = TextsTable();
  const auto lookups = TTextsTable::Lookups();
  TField* memo = t.table->FieldByName("Interpretation");
  std::size_t i = 0;
  std::string text;
  for (auto _ : state) {
    if (!DataSetLookup(*t.table, memo, lookups[i++ % lookups.size()], text)) {
      state.SkipWithError("not found");
      break;
    }
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_KeyLookupAndMemoRead);

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
