// The engine beside SQLite doing the same work: committed single-record inserts, a bulk insert
// in one transaction, a read of every record in physical order and key lookups, each at 10,000,
// 100,000 and 1,000,000 records and with two key shapes (an integer, and an integer with a
// text); and the peak memory of filling and reading a table of a million records.
//
// Rates are wall-clock: time spent waiting on the disk counts, as it does for a user.  Both sides
// run in the same benchmark, in alternating rounds (the side that goes first changes each
// round), and the figure is the median of the rounds' ratios, so that a change in the machine's
// load between two benchmarks does not become a difference between the engines.
//
// Both sides keep the same record (Id: 32-bit integer, Name: text of up to 31 characters,
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
#include <chrono>
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

std::string NameOf(int Id) { return "Name " + std::to_string(Id); }
int AmountOf(int Id) { return Id % 1009; }

// The two key shapes: the integer Id alone, or (Amount, Name), an integer and a text.
constexpr int kIntegerKey = 0;
constexpr int kCompositeKey = 1;

// Ids spread over the key space so that the index is not filled in key order only.
int IdOf(int I) { return static_cast<int>((static_cast<unsigned>(I) * 2654435761u) & 0x3FFFFFFF); }

// ---- Our side: the server engine as the program uses it ----------------------------------

class OurTable {
 public:
  explicit OurTable(int Shape = kIntegerKey) : folder_(BenchFolder("tw")), shape_(Shape) {
    std::uint32_t hash = 0;
    engine_.ClientAdd(1, "bench", "", hash);
    engine_.BufferManager().SetMaxPageCount(kCachePages);
    engine_.DatabaseOpenNoAlias(1, folder_, 1, 1, db_);
    TqnDataDictionary d(4096);
    d.AddField("Id", "", qftInt32, 0, 0, true);
    d.AddField("Name", "", qftShortString, 31, 0, true);
    d.AddField("Amount", "", qftInt32, 0, 0, false);
    if (Shape == kIntegerKey)
      d.AddIndex("ById", "", 0, {0}, false, true, false);
    else
      d.AddIndex("ByAmountName", "", 0, {2, 1}, false, true, false);
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
    QNPutI32(v, AmountOf(Id));
    dict_->SetRecordField(2, rec_.data(), v);
    return rec_.data();
  }
  // A record holding the key only, as a lookup needs (SQLite's side binds the key only).
  const std::uint8_t* KeyRecord(int Id) {
    dict_->InitRecord(rec_.data());
    std::uint8_t v[4];
    if (shape_ == kIntegerKey) {
      QNPutI32(v, Id);
      dict_->SetRecordField(0, rec_.data(), v);
      return rec_.data();
    }
    QNPutI32(v, AmountOf(Id));
    dict_->SetRecordField(2, rec_.data(), v);
    const std::string name = NameOf(Id);
    std::uint8_t s[32] = {static_cast<std::uint8_t>(name.size())};
    std::memcpy(s + 1, name.data(), name.size());
    dict_->SetRecordField(1, rec_.data(), s);
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
  int shape_ = kIntegerKey;
  TqnServerEngine engine_;
  std::uint32_t db_ = 0, byId_ = 0, physical_ = 0;
  const TqnDataDictionary* dict_ = nullptr;
  std::vector<std::uint8_t> rec_, out_;
  std::uint64_t misses_ = 0;
};

// ---- SQLite's side ------------------------------------------------------------------------

class SqliteTable {
 public:
  explicit SqliteTable(int Shape = kIntegerKey) : folder_(BenchFolder("sqlite")), shape_(Shape) {
    if (sqlite3_open((folder_ + "/rows.db").c_str(), &db_) != SQLITE_OK) std::abort();
    Exec("PRAGMA journal_mode=DELETE");
    Exec("PRAGMA synchronous=FULL");
    Exec("PRAGMA page_size=4096");
    Exec(("PRAGMA cache_size=" + std::to_string(kCachePages)).c_str());
    if (Shape == kIntegerKey)
      Exec("CREATE TABLE Rows(Id INTEGER PRIMARY KEY, Name TEXT NOT NULL, Amount INTEGER)");
    else
      Exec("CREATE TABLE Rows(Id INTEGER NOT NULL, Name TEXT NOT NULL, Amount INTEGER NOT NULL, "
           "PRIMARY KEY(Amount, Name))");
    sqlite3_prepare_v2(db_, "INSERT INTO Rows(Id, Name, Amount) VALUES(?, ?, ?)", -1, &insert_, nullptr);
    sqlite3_prepare_v2(db_, "SELECT Id, Name, Amount FROM Rows", -1, &scan_, nullptr);
    sqlite3_prepare_v2(db_,
                       Shape == kIntegerKey ? "SELECT Id, Name, Amount FROM Rows WHERE Id = ?"
                                            : "SELECT Id, Name, Amount FROM Rows WHERE Amount = ? AND Name = ?",
                       -1, &lookup_, nullptr);
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
    sqlite3_bind_int(insert_, 3, AmountOf(Id));
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
    if (shape_ == kIntegerKey) {
      sqlite3_bind_int(lookup_, 1, Id);
    } else {
      const std::string name = NameOf(Id);
      sqlite3_bind_int(lookup_, 1, AmountOf(Id));
      sqlite3_bind_text(lookup_, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    }
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
  int shape_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* scan_ = nullptr;
  sqlite3_stmt* lookup_ = nullptr;
};

// ---- Side by side: both engines measured in the same run, in alternating rounds -----------

// Wall-clock seconds of Work(), which waits on the disk as a user would.
template <class Fn>
double Seconds(Fn&& Work) {
  const auto t0 = std::chrono::steady_clock::now();
  Work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  const std::size_t m = V.size() / 2;
  return V.size() % 2 ? V[m] : (V[m - 1] + V[m]) / 2;
}

// Rates of one operation over the rounds: ours, SQLite's, and ours / SQLite's of each round.
struct Rates {
  std::vector<double> Ours, Sqlite, Ratio;
  void Add(double OurRate, double SqliteRate) {
    Ours.push_back(OurRate);
    Sqlite.push_back(SqliteRate);
    Ratio.push_back(OurRate / SqliteRate);
  }
  void Report(benchmark::State& State, const std::string& Name) const {
    State.counters[Name + "_tw_per_s"] = Median(Ours);
    State.counters[Name + "_sqlite_per_s"] = Median(Sqlite);
    State.counters[Name + "_ratio"] = Median(Ratio);
    std::printf("  %-8s ratio median %.2f  (rounds:", Name.c_str(), Median(Ratio));
    for (double r : Ratio) std::printf(" %.2f", r);
    std::printf(")\n");
  }
};

// Runs Ours and Sqlite, each doing Count operations, in Rounds rounds; the side that goes first
// changes every round, so a drift in the machine's load falls on both.
template <class OurFn, class SqliteFn>
Rates Alternate(int Rounds, double Count, OurFn&& Ours, SqliteFn&& Sqlite, double& Elapsed) {
  Rates r;
  for (int round = 0; round < Rounds; ++round) {
    double ours = 0, sqlite = 0;
    if (round % 2 == 0) {
      ours = Seconds(Ours);
      sqlite = Seconds(Sqlite);
    } else {
      sqlite = Seconds(Sqlite);
      ours = Seconds(Ours);
    }
    Elapsed += ours + sqlite;
    r.Add(Count / ours, Count / sqlite);
  }
  return r;
}

constexpr int kRounds = 5;

std::string ShapeName(int Shape) { return Shape == kIntegerKey ? "integer key" : "composite key (integer, text)"; }

// One pair of tables of N records each: committed single-record inserts, reads of every record
// in physical order, and key lookups, each side by side in alternating rounds.
void BM_EngineVsSqlite(benchmark::State& State) {
  const int n = static_cast<int>(State.range(0));
  const int shape = static_cast<int>(State.range(1));
  for (auto _ : State) {
    OurTable ours(shape);
    SqliteTable sqlite(shape);
    if (!ours.InsertMany(0, n) || !sqlite.InsertMany(0, n)) {
      State.SkipWithError("fill failed");
      break;
    }
    std::printf("%d records, %s\n", n, ShapeName(shape).c_str());
    double elapsed = 0;
    bool ok = true;

    const int commits = n >= 1000000 ? 100 : 200;
    int nextOurs = n, nextSqlite = n;
    Alternate(kRounds, commits,
              [&] { for (int i = 0; i < commits; ++i) ok &= ours.Insert(IdOf(nextOurs++)); },
              [&] { for (int i = 0; i < commits; ++i) ok &= sqlite.Insert(IdOf(nextSqlite++)); }, elapsed)
        .Report(State, "commit");

    std::int64_t sumOurs = 0, sumSqlite = 0;
    const int total = n + kRounds * commits;
    ours.BeginReading();
    sqlite.BeginReading();
    Alternate(kRounds, total,
              [&] { ok &= ours.ReadAll(sumOurs) == total; },
              [&] { ok &= sqlite.ReadAll(sumSqlite) == total; }, elapsed)
        .Report(State, "read");

    const int lookups = 20000;
    unsigned iOurs = 0, iSqlite = 0;
    const auto next = [n](unsigned& I) { I = (I + 7919u) % static_cast<unsigned>(n); return IdOf(static_cast<int>(I)); };
    Alternate(kRounds, lookups,
              [&] { for (int k = 0; k < lookups; ++k) ok &= ours.Lookup(next(iOurs), sumOurs); },
              [&] { for (int k = 0; k < lookups; ++k) ok &= sqlite.Lookup(next(iSqlite), sumSqlite); }, elapsed)
        .Report(State, "lookup");
    ours.EndReading();
    sqlite.EndReading();
    if (!ok || sumOurs != sumSqlite) State.SkipWithError("the two sides disagree");
    State.SetIterationTime(elapsed);
  }
  State.SetLabel(std::string(ShapeName(shape)) + "; " + kOurLabel + " | " + kSqliteLabel);
}

// N records inserted into an empty table in one transaction and committed, side by side.
void BM_BulkInsertVsSqlite(benchmark::State& State) {
  const int n = static_cast<int>(State.range(0));
  const int shape = static_cast<int>(State.range(1));
  for (auto _ : State) {
    std::printf("bulk insert of %d records, %s\n", n, ShapeName(shape).c_str());
    double elapsed = 0;
    bool ok = true;
    Rates r;
    for (int round = 0; round < kRounds; ++round) {
      auto ours = std::make_unique<OurTable>(shape);
      auto sqlite = std::make_unique<SqliteTable>(shape);
      double a = 0, b = 0;
      if (round % 2 == 0) {
        a = Seconds([&] { ok &= ours->InsertMany(0, n); });
        b = Seconds([&] { ok &= sqlite->InsertMany(0, n); });
      } else {
        b = Seconds([&] { ok &= sqlite->InsertMany(0, n); });
        a = Seconds([&] { ok &= ours->InsertMany(0, n); });
      }
      elapsed += a + b;
      r.Add(n / a, n / b);
    }
    r.Report(State, "bulk");
    if (!ok) State.SkipWithError("bulk insert failed");
    State.SetIterationTime(elapsed);
  }
  State.SetLabel(std::string(ShapeName(shape)) + "; " + kOurLabel + " | " + kSqliteLabel);
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

void BM_PeakMemory(benchmark::State& S) { PeakMemory<OurTable>(S, kOurLabel); }
void BM_PeakMemory_SQLite(benchmark::State& S) { PeakMemory<SqliteTable>(S, kSqliteReadLabel); }

void Sizes(benchmark::internal::Benchmark* B) {
  for (int shape : {kIntegerKey, kCompositeKey})
    for (int n : {10000, 100000, 1000000}) B->Args({n, shape});
}

// The memory runs come first, while this process's heap is still small: the child starts from
// a copy of it.
BENCHMARK(BM_PeakMemory)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakMemory_SQLite)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
// Each runs once: the rounds inside are the repetitions, and their medians are the figures.
BENCHMARK(BM_EngineVsSqlite)->Apply(Sizes)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BulkInsertVsSqlite)->Apply(Sizes)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
