// The engine beside SQLite doing the same work: committed single-record inserts, a bulk insert
// in one transaction, a read of every record in physical order and key lookups, each at 10,000,
// 100,000 and 1,000,000 records; and the peak memory of filling and reading a table of a
// million records.
//
// Both sides keep the same record (Id: 32-bit integer key, Name: text of up to 31 characters,
// Amount: 32-bit integer), the same page cache of 500 pages of 4096 bytes (2 MB; ours is held to
// it at every moment, SQLite's is cache_size=500 with page_size=4096) and the same durability,
// named in each label: ours commits through a journal that is flushed (fdatasync) before the
// table files are written; SQLite runs its rollback journal (journal_mode=DELETE) with
// synchronous=FULL.  SQLite's lookups run inside one read transaction, as ours need no file lock
// per lookup.  SQLite is linked into this benchmark only.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/server/server_engine.h"
#include "dbengine/storage/block_layout.h"

namespace {

using namespace tw::dbengine;

constexpr int kCachePages = 500;
constexpr char kOurLabel[] = "tidewell: journaled commit, fdatasync; cache 500 pages of 4 KB";
constexpr char kSqliteLabel[] =
    "sqlite: journal_mode=DELETE, synchronous=FULL; cache_size=500 pages of 4 KB";
constexpr char kSqliteReadLabel[] =
    "sqlite: journal_mode=DELETE, synchronous=FULL; cache_size=500 pages of 4 KB; one read transaction";

std::string BenchFolder(const std::string& Side) {
  static int n = 0;
  const std::string f = std::filesystem::temp_directory_path().string() + "/tw_vs_sqlite_" + Side + "_" +
                        std::to_string(::getpid()) + "_" + std::to_string(++n);
  std::filesystem::remove_all(f);
  std::filesystem::create_directories(f);
  return f;
}

std::string NameOf(int Id) { return "Name " + std::to_string(Id % 977); }

// Ids spread over the key space so that the index is not filled in key order only.
int IdOf(int I) { return static_cast<int>((static_cast<unsigned>(I) * 2654435761u) & 0x3FFFFFFF); }

// ---- Our side: the server engine as the program uses it ----------------------------------

class OurTable {
 public:
  OurTable() : folder_(BenchFolder("tw")) {
    std::uint32_t hash = 0;
    engine_.ClientAdd(1, "bench", "", hash);
    engine_.BufferManager().SetMaxPageCount(kCachePages);
    engine_.DatabaseOpenNoAlias(1, folder_, 1, 1, db_);
    TqnDataDictionary d(4096);
    d.AddField("Id", "", qftInt32, 0, 0, true);
    d.AddField("Name", "", qftShortString, 31, 0, true);
    d.AddField("Amount", "", qftInt32, 0, 0, false);
    d.AddIndex("ById", "", 0, {0}, false, true, false);
    engine_.BuildTable(db_, false, "Rows", d);
    engine_.OpenTable(db_, "Rows", "", 1, 1, 1, byId_, nullptr);
    engine_.OpenTable(db_, "Rows", "", 0, 1, 1, physical_, nullptr);
    dict_ = &engine_.FindCursor(byId_)->Table->Dictionary();
    rec_.resize(static_cast<std::size_t>(dict_->RecordLength()));
  }
  ~OurTable() {
    engine_.CursorClose(byId_);
    engine_.CursorClose(physical_);
    engine_.DatabaseClose(db_);
    std::filesystem::remove_all(folder_);
  }

  const std::uint8_t* Record(int Id) {
    dict_->InitRecord(rec_.data());
    std::uint8_t v[4];
    QNPutI32(v, Id);
    dict_->SetRecordField(0, rec_.data(), v);
    const std::string name = NameOf(Id);
    std::uint8_t s[32] = {static_cast<std::uint8_t>(name.size())};
    std::memcpy(s + 1, name.data(), name.size());
    dict_->SetRecordField(1, rec_.data(), s);
    QNPutI32(v, Id / 3);
    dict_->SetRecordField(2, rec_.data(), v);
    return rec_.data();
  }
  // A record holding the key only, as a lookup needs (SQLite's side binds the key only).
  const std::uint8_t* KeyRecord(int Id) {
    dict_->InitRecord(rec_.data());
    std::uint8_t v[4];
    QNPutI32(v, Id);
    dict_->SetRecordField(0, rec_.data(), v);
    return rec_.data();
  }
  bool Insert(int Id) { return engine_.RecordInsert(byId_, 0, Record(Id)) == 0; }
  bool InsertMany(int From, int Count) {
    std::uint32_t t = 0;
    if (engine_.TransactionStart(db_, false, t) != 0) return false;
    for (int i = From; i < From + Count; ++i)
      if (!Insert(IdOf(i))) return false;
    return engine_.TransactionCommit(t) == 0;
  }
  void BeginReading() {}
  void EndReading() {}
  int CachePages() { return engine_.BufferManager().PageCount(); }
  // Blocks read from the table files since the last call.
  std::uint64_t PagesRead() {
    const std::uint64_t now = engine_.BufferManager().Misses();
    const std::uint64_t n = now - misses_;
    misses_ = now;
    return n;
  }
  // Every record in physical order; the number read.
  int ReadAll(std::int64_t& Sum) {
    std::vector<std::uint8_t> out(rec_.size());
    engine_.SetToBegin(physical_);
    int n = 0;
    const int amount = dict_->FieldOffset(2);
    while (engine_.RecordGetNext(physical_, 0, out.data()) == 0) {
      Sum += QNGetI32(out.data() + amount);
      ++n;
    }
    return n;
  }
  bool Lookup(int Id, std::int64_t& Sum) {
    std::vector<std::uint8_t>& out = out_;
    out.resize(rec_.size());
    if (engine_.RecordGetForKey(byId_, false, 0, 0, KeyRecord(Id), out.data()) != 0) return false;
    Sum += QNGetI32(out.data() + dict_->FieldOffset(2));
    return true;
  }

 private:
  std::string folder_;
  TqnServerEngine engine_;
  std::uint32_t db_ = 0, byId_ = 0, physical_ = 0;
  const TqnDataDictionary* dict_ = nullptr;
  std::vector<std::uint8_t> rec_, out_;
  std::uint64_t misses_ = 0;
};

// ---- SQLite's side ------------------------------------------------------------------------

class SqliteTable {
 public:
  SqliteTable() : folder_(BenchFolder("sqlite")) {
    if (sqlite3_open((folder_ + "/rows.db").c_str(), &db_) != SQLITE_OK) std::abort();
    Exec("PRAGMA journal_mode=DELETE");
    Exec("PRAGMA synchronous=FULL");
    Exec("PRAGMA page_size=4096");
    Exec(("PRAGMA cache_size=" + std::to_string(kCachePages)).c_str());
    Exec("CREATE TABLE Rows(Id INTEGER PRIMARY KEY, Name TEXT NOT NULL, Amount INTEGER)");
    sqlite3_prepare_v2(db_, "INSERT INTO Rows(Id, Name, Amount) VALUES(?, ?, ?)", -1, &insert_, nullptr);
    sqlite3_prepare_v2(db_, "SELECT Id, Name, Amount FROM Rows", -1, &scan_, nullptr);
    sqlite3_prepare_v2(db_, "SELECT Id, Name, Amount FROM Rows WHERE Id = ?", -1, &lookup_, nullptr);
  }
  ~SqliteTable() {
    sqlite3_finalize(insert_);
    sqlite3_finalize(scan_);
    sqlite3_finalize(lookup_);
    sqlite3_close(db_);
    std::filesystem::remove_all(folder_);
  }
  void Exec(const char* Sql) {
    if (sqlite3_exec(db_, Sql, nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
  }
  bool Insert(int Id) {
    const std::string name = NameOf(Id);
    sqlite3_bind_int(insert_, 1, Id);
    sqlite3_bind_text(insert_, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(insert_, 3, Id / 3);
    const bool ok = sqlite3_step(insert_) == SQLITE_DONE;
    sqlite3_reset(insert_);
    return ok;
  }
  bool InsertMany(int From, int Count) {
    Exec("BEGIN");
    for (int i = From; i < From + Count; ++i)
      if (!Insert(IdOf(i))) return false;
    Exec("COMMIT");
    return true;
  }
  // Lookups and reads inside one read transaction: no file lock is taken and dropped per statement.
  void BeginReading() { Exec("BEGIN"); }
  void EndReading() { Exec("COMMIT"); }
  int CachePages() {
    int cur = 0, high = 0;
    sqlite3_db_status(db_, SQLITE_DBSTATUS_CACHE_USED, &cur, &high, 0);
    return cur / 4096;
  }
  // Pages read from the database file since the last call.
  std::uint64_t PagesRead() {
    int cur = 0, high = 0;
    sqlite3_db_status(db_, SQLITE_DBSTATUS_CACHE_MISS, &cur, &high, 1);
    return static_cast<std::uint64_t>(cur);
  }
  int ReadAll(std::int64_t& Sum) {
    int n = 0;
    while (sqlite3_step(scan_) == SQLITE_ROW) {
      Sum += sqlite3_column_int(scan_, 2);
      benchmark::DoNotOptimize(sqlite3_column_text(scan_, 1));
      ++n;
    }
    sqlite3_reset(scan_);
    return n;
  }
  bool Lookup(int Id, std::int64_t& Sum) {
    sqlite3_bind_int(lookup_, 1, Id);
    const bool ok = sqlite3_step(lookup_) == SQLITE_ROW;
    if (ok) {
      Sum += sqlite3_column_int(lookup_, 2);
      benchmark::DoNotOptimize(sqlite3_column_text(lookup_, 1));
    }
    sqlite3_reset(lookup_);
    return ok;
  }

 private:
  std::string folder_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* scan_ = nullptr;
  sqlite3_stmt* lookup_ = nullptr;
};

// ---- The four measurements, the same code for both sides ------------------------------------

// One record inserted and committed on its own into a table of N records.
template <class Table>
void CommitOneRecord(benchmark::State& State, const char* Label) {
  const int n = static_cast<int>(State.range(0));
  Table t;
  if (!t.InsertMany(0, n)) State.SkipWithError("fill failed");
  int next = n;
  for (auto _ : State)
    if (!t.Insert(IdOf(next++))) State.SkipWithError("insert failed");
  State.SetItemsProcessed(State.iterations());
  State.SetLabel(Label);
}

// N records inserted into an empty table in one transaction, committed.
template <class Table>
void BulkInsert(benchmark::State& State, const char* Label) {
  const int n = static_cast<int>(State.range(0));
  for (auto _ : State) {
    State.PauseTiming();
    auto t = std::make_unique<Table>();
    State.ResumeTiming();
    if (!t->InsertMany(0, n)) State.SkipWithError("bulk insert failed");
    State.PauseTiming();
    t.reset();
    State.ResumeTiming();
  }
  State.SetItemsProcessed(State.iterations() * n);
  State.SetLabel(Label);
}

// Every record of a table of N records read in physical order.
template <class Table>
void ReadPhysical(benchmark::State& State, const char* Label) {
  const int n = static_cast<int>(State.range(0));
  Table t;
  if (!t.InsertMany(0, n)) State.SkipWithError("fill failed");
  std::int64_t sum = 0;
  t.BeginReading();
  t.PagesRead();
  for (auto _ : State)
    if (t.ReadAll(sum) != n) State.SkipWithError("short read");
  const double reads = static_cast<double>(t.PagesRead());
  t.EndReading();
  benchmark::DoNotOptimize(sum);
  State.SetItemsProcessed(State.iterations() * n);
  State.counters["pages_read_per_pass"] = reads / static_cast<double>(std::max<benchmark::IterationCount>(1, State.iterations()));
  State.SetLabel(Label);
}

// One record found by its key in a table of N records (keys taken in a scattered order).
template <class Table>
void KeyLookup(benchmark::State& State, const char* Label) {
  const int n = static_cast<int>(State.range(0));
  Table t;
  if (!t.InsertMany(0, n)) State.SkipWithError("fill failed");
  std::int64_t sum = 0;
  unsigned i = 0;
  t.BeginReading();
  t.PagesRead();
  for (auto _ : State) {
    i = (i + 7919u) % static_cast<unsigned>(n);
    if (!t.Lookup(IdOf(static_cast<int>(i)), sum)) State.SkipWithError("not found");
  }
  const double reads = static_cast<double>(t.PagesRead());
  t.EndReading();
  State.counters["pages_read_per_lookup"] = reads / static_cast<double>(std::max<benchmark::IterationCount>(1, State.iterations()));
  benchmark::DoNotOptimize(sum);
  State.SetItemsProcessed(State.iterations());
  State.SetLabel(Label);
}

// The peak memory of a fresh process's filling a table of N records in one transaction, then
// reading it whole and looking up 10,000 keys: the high-water mark of the resident set above
// where it stood at the start, measured in a child process of its own.
long ReadStatusKb(const char* Field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(Field) + ":";
  while (std::getline(in, line))
    if (line.compare(0, key.size(), key) == 0) return std::stol(line.substr(key.size()));
  return -1;
}

template <class Table>
void PeakMemory(benchmark::State& State, const char* Label) {
  const int n = static_cast<int>(State.range(0));
  double peakMb = 0, cachePages = 0;
  for (auto _ : State) {
    int fds[2];
    if (::pipe(fds) != 0) State.SkipWithError("no pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      ::malloc_trim(0);  // free memory inherited from the parent is given back first
      { std::ofstream("/proc/self/clear_refs") << "5"; }  // the high-water mark starts again here
      const long start = ReadStatusKb("VmRSS");
      long result[2] = {-1, 0};
      {
        Table t;
        std::int64_t sum = 0;
        if (t.InsertMany(0, n)) {
          t.BeginReading();
          const bool ok = t.ReadAll(sum) == n;
          for (int i = 0; ok && i < 10000; ++i) t.Lookup(IdOf((i * 7919) % n), sum);
          t.EndReading();
          result[1] = t.CachePages();
          if (ok) result[0] = ReadStatusKb("VmHWM") - start;
        }
      }
      if (::write(fds[1], result, sizeof result) != static_cast<ssize_t>(sizeof result)) ::_exit(2);
      ::_exit(0);
    }
    ::close(fds[1]);
    long result[2] = {-1, 0};
    const bool got = ::read(fds[0], result, sizeof result) == static_cast<ssize_t>(sizeof result);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!got || result[0] < 0) {
      State.SkipWithError("the measuring process failed");
      break;
    }
    peakMb = static_cast<double>(result[0]) / 1024.0;
    cachePages = static_cast<double>(result[1]);
  }
  State.counters["peak_MB"] = peakMb;
  State.counters["cache_pages"] = cachePages;
  State.SetLabel(Label);
}

void BM_CommitOneRecord(benchmark::State& S) { CommitOneRecord<OurTable>(S, kOurLabel); }
void BM_CommitOneRecord_SQLite(benchmark::State& S) { CommitOneRecord<SqliteTable>(S, kSqliteLabel); }
void BM_BulkInsert(benchmark::State& S) { BulkInsert<OurTable>(S, kOurLabel); }
void BM_BulkInsert_SQLite(benchmark::State& S) { BulkInsert<SqliteTable>(S, kSqliteLabel); }
void BM_ReadPhysical(benchmark::State& S) { ReadPhysical<OurTable>(S, kOurLabel); }
void BM_ReadPhysical_SQLite(benchmark::State& S) { ReadPhysical<SqliteTable>(S, kSqliteReadLabel); }
void BM_KeyLookup(benchmark::State& S) { KeyLookup<OurTable>(S, kOurLabel); }
void BM_KeyLookup_SQLite(benchmark::State& S) { KeyLookup<SqliteTable>(S, kSqliteReadLabel); }
void BM_PeakMemory(benchmark::State& S) { PeakMemory<OurTable>(S, kOurLabel); }
void BM_PeakMemory_SQLite(benchmark::State& S) { PeakMemory<SqliteTable>(S, kSqliteReadLabel); }

// The sizes: the 1,000,000-record runs take a few seconds to fill each table, so they run a
// fixed number of rounds.
void Sizes(benchmark::internal::Benchmark* B) { B->Arg(10000)->Arg(100000); }

// The memory runs come first, while this process's heap is still small: the child starts from
// a copy of it.
BENCHMARK(BM_PeakMemory)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemory_SQLite)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommitOneRecord)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CommitOneRecord)->Arg(1000000)->Iterations(400)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CommitOneRecord_SQLite)->Apply(Sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CommitOneRecord_SQLite)->Arg(1000000)->Iterations(400)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BulkInsert)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BulkInsert)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BulkInsert_SQLite)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BulkInsert_SQLite)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPhysical)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPhysical)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPhysical_SQLite)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPhysical_SQLite)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeyLookup)->Apply(Sizes);
BENCHMARK(BM_KeyLookup)->Arg(1000000)->Iterations(200000);
BENCHMARK(BM_KeyLookup_SQLite)->Apply(Sizes);
BENCHMARK(BM_KeyLookup_SQLite)->Arg(1000000)->Iterations(200000);

}  // namespace
