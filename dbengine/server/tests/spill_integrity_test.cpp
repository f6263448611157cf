// A client's transaction far larger than the cache (6 pages), so that its blocks are written
// early all the time, meets the disk full, a failed write or a failed flush at a write of its
// own, goes on, and then commits, rolls back, or its process ends (and the next open
// recovers).  Afterwards the table checker finds the table sound, every committed record is
// there unchanged, no failed request left anything, and the transaction's acknowledged changes
// are there exactly when its commit answered 0.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/storage/tests/fork_alone.h"
#include "dbengine//server/tests/server_test_util.h"
#include "dbengine/storage/faulty_file_routines.h"

namespace tw::dbengine::testing {
namespace {

using TFault = TqnFaultyFileRoutines::TFault;

constexpr int kCachePages = 6;
constexpr int kCommitted = 120;  // records committed before the transaction
constexpr int kSteps = 42;       // requests of the transaction (some of three requests each)

struct Row {
  std::int32_t grp = 0;
  std::string name;
  std::string text;  // empty: no memo
  bool operator==(const Row& O) const { return grp == O.grp && name == O.name && text == O.text; }
};
using Rows = std::map<std::int32_t, Row>;

// Fields: 0 Nr, 1 Grp, 2 Name (100 characters), 3 Text (memo); indexes on Nr, (Grp, Nr) and
// (Name, Nr): every change of a record touches several B-trees.
void LedgerDictionary(TqnDataDictionary& D) {
  D.AddField("Nr", "", qftInt32, 0, 0, true);
  D.AddField("Grp", "", qftInt32, 0, 0, false);
  D.AddField("Name", "", qftShortString, 100, 0, false);
  D.AddField("Text", "", qftBlobMemo, 0, 0, false);
  D.AddIndex("ByNr", "", 0, {0}, false, true, false);
  D.AddIndex("ByGrp", "", 0, {1, 0}, true, true, false);
  D.AddIndex("ByName", "", 0, {2, 0}, true, true, false);
}

std::string NameOf(int Nr, int Version) {
  std::string s = "n" + std::to_string((Nr * 7919 + Version * 104729) % 100003) + "-" + std::to_string(Nr);
  s.resize(90, static_cast<char>('a' + (Nr + Version) % 26));
  return s;
}

std::string TextOf(int Nr, int Version) {
  std::string s = "text " + std::to_string(Nr) + "/" + std::to_string(Version) + ":";
  s.resize(static_cast<std::size_t>(300 + (Nr * 977 + Version * 331) % 4500), static_cast<char>('A' + (Nr + Version) % 26));
  return s;
}

std::string Describe(std::int32_t Nr, const Row& R) {
  return std::to_string(Nr) + " grp " + std::to_string(R.grp) + " " + R.name.substr(0, 12) + " text " +
         std::to_string(R.text.size()) + " " + R.text.substr(0, 12);
}

// The records in which Got and Want differ: "-" what is missing or different, "+" what is
// there instead.
std::string Differences(const Rows& Got, const Rows& Want) {
  std::string out;
  for (const auto& [nr, r] : Want) {
    const auto g = Got.find(nr);
    if (g == Got.end() || !(g->second == r)) out += "- " + Describe(nr, r) + "\n";
    if (g != Got.end() && !(g->second == r)) out += "+ " + Describe(nr, g->second) + "\n";
  }
  for (const auto& [nr, r] : Got)
    if (Want.count(nr) == 0) out += "+ " + Describe(nr, r) + "\n";
  return out;
}

// A client with an open database and a cursor on ByNr.
struct Client {
  TqnServerEngine engine;
  std::uint32_t db = 0;
  std::uint32_t cursor = 0;

  explicit Client(const std::string& Folder) {
    std::uint32_t hash = 0;
    engine.ClientAdd(1, "tester", "", hash);
    engine.DatabaseOpenNoAlias(1, Folder, 1, 1, db);
  }
  bool Open() { return engine.OpenTable(db, "Ledger", "", 1, 1, 1, cursor, nullptr) == 0; }
  const TqnDataDictionary& Dict() { return engine.FindCursor(cursor)->Table->Dictionary(); }

  DBIResult Insert(std::int32_t Nr, const Row& R) {
    Record rec(Dict());
    rec.I32(0, Nr).I32(1, R.grp).Str(2, R.name);
    std::uint32_t blob = 0;
    if (!R.text.empty()) {
      DBIResult e = engine.CreateBLOB(cursor, blob);
      if (e == 0)
        e = engine.WriteBLOB(cursor, blob, 0, static_cast<std::uint32_t>(R.text.size()),
                             reinterpret_cast<const std::uint8_t*>(R.text.data()));
      if (e != 0) {
        if (blob != 0) engine.DeleteBLOB(cursor, blob);
        return e;
      }
      rec.I32(3, static_cast<std::int32_t>(blob));
    }
    const DBIResult e = engine.RecordInsert(cursor, 0, rec.Data());
    if (e != 0 && blob != 0) engine.DeleteBLOB(cursor, blob);
    return e;
  }
  DBIResult Seek(std::int32_t Nr, Record& R) {
    Record key(Dict());
    key.I32(0, Nr);
    return engine.RecordGetForKey(cursor, false, 1, 0, key.Data(), R.Data());
  }
  DBIResult Modify(std::int32_t Nr, std::int32_t Grp, const std::string& Name) {
    Record r(Dict());
    if (const DBIResult e = Seek(Nr, r); e != 0) return e;
    r.I32(1, Grp).Str(2, Name);
    return engine.RecordModify(cursor, false, r.Data());
  }
  DBIResult Delete(std::int32_t Nr) {
    Record r(Dict());
    if (const DBIResult e = Seek(Nr, r); e != 0) return e;
    return engine.RecordDelete(cursor, nullptr);
  }
  DBIResult Rewrite(std::int32_t Nr, const std::string& Text) {
    Record r(Dict());
    if (const DBIResult e = Seek(Nr, r); e != 0) return e;
    return engine.WriteBLOB(cursor, static_cast<std::uint32_t>(r.GetI32(3)), 0, static_cast<std::uint32_t>(Text.size()),
                            reinterpret_cast<const std::uint8_t*>(Text.data()));
  }
  // Every record, read along ByNr; false when the table cannot be read whole.
  bool ReadAll(Rows& Out) {
    Out.clear();
    Record r(Dict());
    DBIResult e = engine.SetToBegin(cursor);
    while (e == 0 && (e = engine.RecordGetNext(cursor, 0, r.Data())) == 0) {
      Row row;
      row.grp = r.GetI32(1);
      row.name = r.GetStr(2);
      if (!Dict().IsRecordFieldNull(3, r.Data())) {
        const std::uint32_t blob = static_cast<std::uint32_t>(r.GetI32(3));
        std::uint32_t len = 0, got = 0;
        if (engine.GetBLOBLength(cursor, blob, len) != 0) return false;
        row.text.resize(len);
        if (len > 0 && (engine.ReadBLOB(cursor, blob, 0, len, got, reinterpret_cast<std::uint8_t*>(row.text.data())) != 0 ||
                        got != len))
          return false;
      }
      Out[r.GetI32(0)] = row;
    }
    return e == qnresAtEOF;
  }
};

// The transaction's requests; After holds what its acknowledged ones changed.  Inserts (with
// and without a memo), changes of two index keys, deletions and memo rewrites, of committed
// records and of the transaction's own.  OnFailure runs after each failed request.
void RunSteps(Client& C, Rows& After, const std::function<void()>& OnFailure) {
  for (int k = 0; k < kSteps; ++k) {
    DBIResult e = 0;
    Rows next = After;
    const std::int32_t pick = next.empty() ? 0 : std::next(next.begin(), (k * 37) % static_cast<int>(next.size()))->first;
    switch (k % 6) {
      case 0:
      case 1:
      case 3: {
        const std::int32_t nr = 1000 + k;
        Row r{k % 7, NameOf(nr, 0), k % 2 == 1 ? TextOf(nr, 0) : std::string()};
        next[nr] = r;
        e = C.Insert(nr, r);
        break;
      }
      case 2:
        next[pick].grp += 100;
        next[pick].name = NameOf(pick, k);
        e = C.Modify(pick, next[pick].grp, next[pick].name);
        break;
      case 4:
        next.erase(pick);
        e = C.Delete(pick);
        break;
      default: {
        // A longer text over the whole memo of a record that has one.
        auto it = std::next(next.begin(), (k * 11) % static_cast<int>(next.size()));
        while (it != next.end() && it->second.text.empty()) ++it;
        if (it == next.end()) break;
        it->second.text = TextOf(it->first, k) + std::string(it->second.text.size(), 'z');
        e = C.Rewrite(it->first, it->second.text);
        break;
      }
    }
    if (e == 0) {
      After = std::move(next);
    } else if (OnFailure) {
      OnFailure();
    }
  }
}

void SaveRows(const Rows& R, const std::string& Path) {
  std::ofstream out(Path, std::ios::binary);
  out << R.size() << '\n';
  for (const auto& [nr, r] : R)
    out << nr << ' ' << r.grp << ' ' << r.name.size() << ' ' << r.text.size() << '\n' << r.name << r.text << '\n';
}

bool LoadRows(Rows& R, const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::size_t n = 0;
  if (!(in >> n)) return false;
  R.clear();
  for (std::size_t i = 0; i < n; ++i) {
    std::int32_t nr = 0;
    Row r;
    std::size_t nameLen = 0, textLen = 0;
    if (!(in >> nr >> r.grp >> nameLen >> textLen) || in.get() != '\n') return false;
    r.name.resize(nameLen);
    r.text.resize(textLen);
    if (!in.read(r.name.data(), static_cast<std::streamsize>(nameLen)) ||
        !in.read(r.text.data(), static_cast<std::streamsize>(textLen)) || in.get() != '\n')
      return false;
    R[nr] = r;
  }
  return true;
}

enum class TEnd { Commit, Rollback, Crash };

// Installs a table of file routines for a scope.
class Installed {
 public:
  explicit Installed(TqnFileRoutines& R) : previous_(QNInstallFileAccessTable(&R)) {}
  ~Installed() { QNInstallFileAccessTable(previous_); }
  Installed(const Installed&) = delete;
  Installed& operator=(const Installed&) = delete;

 private:
  TqnFileRoutines* previous_;
};

struct Scenario {
  TFault fault = TFault::None;
  int n = 0;
  TEnd end = TEnd::Commit;
  bool failSafe = false;
  bool brief = false;  // disk full: space comes back after the first failed request
  int cachePages = kCachePages;
  std::string Name() const {
    const char* f = fault == TFault::DiskFull    ? "disk full"
                    : fault == TFault::FailWrite ? "failed write"
                    : fault == TFault::FailFlush ? "failed flush"
                                                 : "failed flush losing the writes since the last one";
    const char* e = end == TEnd::Commit ? "commit" : end == TEnd::Rollback ? "rollback" : "crash";
    return std::string(f) + " at " + std::to_string(n) + (brief ? " (brief)" : "") + ", " +
           (failSafe ? "fail-safe" : "normal") + ", then " + e + ", cache of " + std::to_string(cachePages);
  }
};

class SpillingTransaction : public ::testing::Test {
 protected:
  void SetUp() override {
    Client c(base.Path());
    TqnDataDictionary d(4096);
    LedgerDictionary(d);
    ASSERT_EQ(c.engine.BuildTable(c.db, false, "Ledger", d), 0);
    ASSERT_TRUE(c.Open());
    std::uint32_t t = 0;
    ASSERT_EQ(c.engine.TransactionStart(c.db, false, t), 0);
    for (int nr = 1; nr <= kCommitted; ++nr) {
      Row r{nr % 5, NameOf(nr, 0), nr % 3 == 0 ? std::string() : TextOf(nr, 0)};
      committed[nr] = r;
      ASSERT_EQ(c.Insert(nr, r), 0);
    }
    ASSERT_EQ(c.engine.TransactionCommit(t), 0);
  }

  // Runs the transaction with the fault armed; Expected is what must stand afterwards.  In a
  // child process for TEnd::Crash.
  void Run(const Scenario& S, const std::string& Folder, Rows& Expected) {
    Rows after = committed;
    TqnFaultyFileRoutines faulty;
    Installed installed(faulty);
    {
      auto* c = new Client(Folder);
      c->engine.BufferManager().SetMaxPageCount(S.cachePages);
      ASSERT_TRUE(c->Open()) << S.Name();
      std::uint32_t t = 0;
      ASSERT_EQ(c->engine.TransactionStart(c->db, S.failSafe, t), 0) << S.Name();
      faulty.Arm(S.fault, S.n);
      RunSteps(*c, after, [&] {
        if (S.brief) faulty.Disarm();
      });
      Expected = committed;
      if (S.end == TEnd::Rollback) {
        c->engine.TransactionRollback(t);
      } else if (S.end == TEnd::Commit || S.n % 2 == 0) {
        const DBIResult e = c->engine.TransactionCommit(t);
        if (e == 0) Expected = after;
        // What a client does when its commit fails (a crashing one does not get that far):
        // it rolls back, or, once space is back, commits again, which stores its work once.
        if (e != 0 && S.end != TEnd::Crash) {
          if (S.n % 4 < 2) {
            c->engine.TransactionRollback(t);
          } else {
            // (After a failed flush of a table written early the transaction can only be
            // rolled back: what the flush lost is nowhere any more.)
            faulty.Disarm();
            const DBIResult again = c->engine.TransactionCommit(t);
            if (S.fault == TFault::DiskFull || S.fault == TFault::FailWrite) {
              EXPECT_EQ(again, 0) << S.Name() << ": the commit again";
            }
            if (again == 0)
              Expected = after;
            else
              c->engine.TransactionRollback(t);
          }
        }
      }
      if (S.end == TEnd::Crash) return;  // the process ends with the engine as it stands
      faulty.Disarm();
      delete c;
    }
  }

  // What Folder holds after recovery, read with the real file routines, against Expected.
  void Verify(const Scenario& S, const std::string& Folder, const Rows& Expected) {
    Rows got;
    {
      Client c(Folder);
      ASSERT_TRUE(c.Open()) << S.Name();
      EXPECT_TRUE(c.ReadAll(got)) << S.Name();
    }
    EXPECT_EQ(Joined(QNCheckTableFile(Folder + "/Ledger.QND")), "") << S.Name();
    EXPECT_EQ(Differences(got, Expected), "") << S.Name();
    for (const auto& e : std::filesystem::directory_iterator(Folder))
      EXPECT_EQ(e.path().extension(), ".QND") << S.Name() << ": " << e.path().filename() << " left behind";
  }

  void RunAndVerify(const Scenario& S) {
    ScratchFolder f;
    CopyBase(f);
    Rows expected;
    if (S.end == TEnd::Crash) {
      const std::string saved = f.Path() + ".expected";
      std::fflush(nullptr);
      const pid_t pid = ForkAlone();
      if (pid == 0) {
        Run(S, f.Path(), expected);
        SaveRows(expected, saved);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << S.Name();
      ASSERT_TRUE(LoadRows(expected, saved)) << S.Name();
      std::filesystem::remove(saved);
    } else {
      Run(S, f.Path(), expected);
      if (HasFatalFailure()) return;
    }
    Verify(S, f.Path(), expected);
  }

  // The writes (or flushes) the transaction and its commit make without a fault.
  // After, when given, receives what the transaction leaves.
  int Points(TFault Fault, bool FailSafe, int CachePages, Rows* After = nullptr) {
    ScratchFolder f;
    CopyBase(f);
    TqnFaultyFileRoutines counting;
    Installed installed(counting);
    int n = 0;
    {
      Client c(f.Path());
      c.engine.BufferManager().SetMaxPageCount(CachePages);
      EXPECT_TRUE(c.Open());
      std::uint32_t t = 0;
      EXPECT_EQ(c.engine.TransactionStart(c.db, FailSafe, t), 0);
      counting.Arm(TFault::None, 0);
      Rows after = committed;
      RunSteps(c, after, [] { ADD_FAILURE() << "a request failed without a fault"; });
      EXPECT_EQ(c.engine.TransactionCommit(t), 0);
      if (After != nullptr) *After = after;
      if (CachePages == kCachePages) {
        // The transaction is far larger than the cache.
        EXPECT_GT(c.engine.BufferManager().Spills(), 20u);
        EXPECT_LE(c.engine.BufferManager().PeakPageCount(), 40);
      } else {
        // The cache holds it whole: its blocks are all written by the commit.
        EXPECT_EQ(c.engine.BufferManager().Spills(), 0u);
      }
      n = Fault == TFault::FailFlush || Fault == TFault::LosingFlush ? counting.Flushes() : counting.Writes();
      std::printf("%s transaction: %d writes, %d flushes, %llu early writes\n", FailSafe ? "fail-safe" : "normal",
                  counting.Writes(), counting.Flushes(),
                  static_cast<unsigned long long>(c.engine.BufferManager().Spills()));
    }
    return n;
  }

  // Every write point would take minutes under the sanitizers: Samples points spread evenly
  // over the transaction's writes (its first ones and its commit's included), each ending in
  // turn with a commit, a rollback and a crash, fail-safe and normal alternately.
  void Sweep(TFault Fault, int Samples, int CachePages = kCachePages) {
    const int normal = Points(Fault, false, CachePages);
    const int failSafe = Points(Fault, true, CachePages);
    ASSERT_GT(normal, CachePages == kCachePages ? 10 : 3);
    Samples = std::min(Samples, std::min(normal, failSafe));
    for (int i = 0; i < Samples && !HasFailure(); ++i) {
      Scenario s;
      s.fault = Fault;
      s.failSafe = (i / 3) % 2 == 1;
      const int points = s.failSafe ? failSafe : normal;
      s.n = 1 + static_cast<int>(static_cast<long long>(i) * (points - 1) / (Samples - 1));
      s.end = i % 3 == 0 ? TEnd::Commit : i % 3 == 1 ? TEnd::Rollback : TEnd::Crash;
      s.brief = Fault == TFault::DiskFull && i % 2 == 0;
      s.cachePages = CachePages;
      RunAndVerify(s);
    }
  }

  void ExitAtWrites(int CachePages, int Step);
  // F holds the committed table.
  void CopyBase(const ScratchFolder& F) {
    std::filesystem::remove_all(F.Path());
    std::filesystem::copy(base.Path(), F.Path());
  }

  ScratchFolder base;
  Rows committed;
};

// A delete that fails part-way (a failed or torn write of its own) leaves the table's other
// cursors where they stood: one on the record still reads that record, one on the gap an
// earlier delete left still reads the record after the gap.  A delete that succeeds puts the
// first on a gap, so that it reads the record that followed.
TEST_F(SpillingTransaction, AFailedDeleteLeavesTheOtherCursorsWhereTheyStood) {
  int failed = 0;
  for (int n = 1; n <= 10 && !HasFailure(); ++n) {
    ScratchFolder f;
    CopyBase(f);
    TqnFaultyFileRoutines faulty;
    Installed installed(faulty);
    Client c(f.Path());
    c.engine.BufferManager().SetMaxPageCount(kCachePages);
    ASSERT_TRUE(c.Open());
    std::uint32_t onRecord = 0, onGap = 0;
    ASSERT_EQ(c.engine.OpenTable(c.db, "Ledger", "", 1, 1, 1, onRecord, nullptr), 0);
    ASSERT_EQ(c.engine.OpenTable(c.db, "Ledger", "", 1, 1, 1, onGap, nullptr), 0);
    std::uint32_t t = 0;
    ASSERT_EQ(c.engine.TransactionStart(c.db, n % 2 == 1, t), 0);
    Record r(c.Dict()), key(c.Dict());
    // onGap stands on the gap record 40 left; onRecord stands on record 60.
    key.I32(0, 40);
    ASSERT_EQ(c.engine.RecordGetForKey(onGap, false, 1, 0, key.Data(), r.Data()), 0);
    ASSERT_EQ(c.Delete(40), 0);
    key.I32(0, 60);
    ASSERT_EQ(c.engine.RecordGetForKey(onRecord, false, 1, 0, key.Data(), r.Data()), 0);
    // Many changes first, so that the cache spills and the delete's own writes can fail.
    for (int nr = 70; nr < 110; ++nr) ASSERT_EQ(c.Modify(nr, nr, NameOf(nr, 9)), 0);
    faulty.Arm(n % 2 == 1 ? TFault::FailWrite : TFault::TornWrite, (n + 1) / 2);
    const DBIResult e = c.Delete(60);
    faulty.Disarm();
    if (e != 0) {
      ++failed;
      EXPECT_EQ(c.engine.RecordGet(onRecord, 0, r.Data(), false), 0) << "fault at " << n;
      EXPECT_EQ(r.GetI32(0), 60) << "fault at " << n;
    } else {
      EXPECT_EQ(c.engine.RecordGetNext(onRecord, 0, r.Data()), 0) << "fault at " << n;
      EXPECT_EQ(r.GetI32(0), 61) << "fault at " << n;
    }
    EXPECT_EQ(c.engine.RecordGetNext(onGap, 0, r.Data()), 0) << "fault at " << n;
    EXPECT_EQ(r.GetI32(0), 41) << "fault at " << n;
    c.engine.TransactionRollback(t);
    c.engine.CursorClose(onRecord);
    c.engine.CursorClose(onGap);
  }
  EXPECT_GT(failed, 0) << "no delete met its fault";
}

// A commit of blocks the transaction appended (data blocks, memo blocks, index nodes: written
// in place before the commit is decided) and of blocks it changed (written through the
// journal).  The process ends in the middle of its Nth write, for every Step-th N and every
// one of the commit's last.  After recovery the table holds exactly the records committed before or
// exactly those of the transaction, the checker finds it sound, no journal is left, and both
// outcomes occur.
void SpillingTransaction::ExitAtWrites(int CachePages, int Step) {
  for (const bool failSafe : {false, true}) {
    // What the transaction leaves, and how many writes it makes.
    Rows after;
    const int writes = Points(TFault::Exit, failSafe, CachePages, &after);
    ASSERT_GT(writes, 20);
    int before = 0, done = 0;
    // The commit's last writes (the decision and what follows it) each, the others by Step.
    for (int n = 1; n <= writes + 1 && !HasFailure(); n += n < writes - 2 * Step ? Step : 1) {
      const std::string label = std::string(failSafe ? "fail-safe" : "normal") + ", cache of " +
                                std::to_string(CachePages) + ", exit at write " + std::to_string(n);
      ScratchFolder f;
      CopyBase(f);
      std::fflush(nullptr);
      const pid_t pid = ForkAlone();
      if (pid == 0) {
        TqnFaultyFileRoutines faulty;
        Installed installed(faulty);
        auto* c = new Client(f.Path());  // never freed: the process ends without cleaning up
        c->engine.BufferManager().SetMaxPageCount(CachePages);
        std::uint32_t t = 0;
        if (!c->Open() || c->engine.TransactionStart(c->db, failSafe, t) != 0) ::_exit(1);
        faulty.Arm(TFault::Exit, n);
        Rows rows = committed;
        RunSteps(*c, rows, [] { ::_exit(1); });
        ::_exit(c->engine.TransactionCommit(t) == 0 ? 3 : 1);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status)) << label;
      ASSERT_NE(WEXITSTATUS(status), 1) << label;
      Rows got;
      {
        Client c(f.Path());
        ASSERT_TRUE(c.Open()) << label;
        EXPECT_TRUE(c.ReadAll(got)) << label;
      }
      EXPECT_EQ(Joined(QNCheckTableFile(f.Path() + "/Ledger.QND")), "") << label;
      for (const auto& e : std::filesystem::directory_iterator(f.Path()))
        EXPECT_EQ(e.path().extension(), ".QND") << label << ": " << e.path().filename() << " left behind";
      if (WEXITSTATUS(status) == 3) {
        // No write was left to end at: the commit went through.
        EXPECT_EQ(Differences(got, after), "") << label;
        break;
      }
      if (got == after) {
        ++done;
      } else {
        EXPECT_EQ(Differences(got, committed), "") << label << ": neither the old records nor the new";
        ++before;
      }
    }
    EXPECT_GT(before, 0);
    EXPECT_GT(done, 0);
  }
}

// Every write, in a cache that holds the whole transaction (all its writes are its commit's).
TEST_F(SpillingTransaction, ACommitOfNewAndChangedBlocksSurvivesAnExitAtEveryWrite) { ExitAtWrites(500, 1); }

// Every ninth write of a transaction far larger than the cache (its early writes and its
// commit's), and each of the commit's last.
TEST_F(SpillingTransaction, ATransactionLargerThanTheCacheSurvivesAnExitAtItsWrites) { ExitAtWrites(kCachePages, 9); }

TEST_F(SpillingTransaction, DiskFullAtWritesOfATransactionLargerThanTheCache) { Sweep(TFault::DiskFull, 96); }

// The same faults at the writes and flushes of a commit that writes every block of the
// transaction, its appended blocks in place and its changed ones through the journal.
// Every flush, and every twelfth write, each ending in a commit, a rollback and a crash.
TEST_F(SpillingTransaction, FaultsAtTheWritesOfACommitOfNewAndChangedBlocks) {
  constexpr int kWholeCache = 500;
  for (TFault fault : {TFault::FailFlush, TFault::LosingFlush, TFault::DiskFull, TFault::FailWrite})
    for (const bool failSafe : {false, true}) {
      const int points = Points(fault, failSafe, kWholeCache);
      const bool flushes = fault == TFault::FailFlush || fault == TFault::LosingFlush;
      for (int n = 1; n <= points && !HasFailure(); n += flushes ? 1 : 12)
        for (TEnd end : {TEnd::Commit, TEnd::Rollback, TEnd::Crash}) {
          Scenario s;
          s.fault = fault;
          s.n = n;
          s.end = end;
          s.failSafe = failSafe;
          s.brief = fault == TFault::DiskFull && n % 2 == 0;
          s.cachePages = kWholeCache;
          RunAndVerify(s);
        }
    }
}

TEST_F(SpillingTransaction, AFailedWriteOfATransactionLargerThanTheCache) { Sweep(TFault::FailWrite, 64); }

TEST_F(SpillingTransaction, AFailedFlushOfATransactionLargerThanTheCache) {
  Sweep(TFault::FailFlush, 100);
  // A system may drop the pages it could not write back: what was written since the last
  // flush is gone, and a later flush that succeeds does not bring it back.
  Sweep(TFault::LosingFlush, 100);
}

}  // namespace
}  // namespace tw::dbengine::testing
