// Every write path of the engine is all or nothing.  For each write request and rebuild:
//  - a write that fails at any point leaves no transaction open, the failed change absent after
//    reopening, and the next write commits on its own;
//  - the process ending at any write (a forked child ended by _exit in the middle of its Nth
//    write, rename or delete) leaves, after reopening, tables that the table checker finds
//    sound and that hold the contents from before the request or from after it, never a mix.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "dbengine/storage/tests/fork_alone.h"
#include "dbengine//server/tests/server_test_util.h"
#include "dbengine/storage/faulty_file_routines.h"
#include "dbengine/storage/journal.h"
#include "platform/classes/streams.h"

namespace tw::dbengine::testing {
namespace {

using TFault = TqnFaultyFileRoutines::TFault;

constexpr int kPeople = 12;
// The tables whose state a request may change.
const char* const kTables[] = {"People", "Fresh", "Moved"};

std::vector<std::uint8_t> PersonRecord(const TqnDataDictionary& D, const std::string& Name, std::int32_t Group) {
  Record r(D);
  r.Str(1, Name).I32(2, Group);
  return r.Bytes;
}

// An engine with client 1 and a shared read-write database on Folder.
struct Session {
  TqnServerEngine engine;
  std::uint32_t db = 0;
  explicit Session(const std::string& Folder) {
    std::uint32_t hash = 0;
    engine.ClientAdd(1, "tester", "", hash);
    engine.DatabaseOpenNoAlias(1, Folder, 1, 1, db);
  }
  std::uint32_t Open(const std::string& Table, int Index = 0, std::uint8_t Share = 1) {
    std::uint32_t c = 0;
    EXPECT_EQ(engine.OpenTable(db, Table, "", Index, 1, Share, c, nullptr), 0) << Table;
    return c;
  }
  const TqnDataDictionary& Dict(std::uint32_t C) { return engine.FindCursor(C)->Table->Dictionary(); }
};

// The folder every case starts from: People with kPeople records.
// People with a BLOB file beside its data file (its memo field left null): a table of two
// files, both of which a replacement must swap together.
void TwoFilePeopleDictionary(TqnDataDictionary& D) {
  PeopleDictionary(D);
  D.AddFile("Memos", "QNB", 4096, 2);
  D.AddField("Note", "", qftBlobMemo, 0, 0, false);
}

void MakePeople(const std::string& Folder, bool TwoFiles = false) {
  Session s(Folder);
  TqnDataDictionary d(4096);
  if (TwoFiles)
    TwoFilePeopleDictionary(d);
  else
    PeopleDictionary(d);
  ASSERT_EQ(s.engine.BuildTable(s.db, false, "People", d), 0);
  const std::uint32_t c = s.Open("People");
  for (int i = 0; i < kPeople; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "P%02d", i);
    ASSERT_EQ(s.engine.RecordInsert(c, 0, PersonRecord(s.Dict(c), name, i % 3).data()), 0);
  }
}

void CopyFolder(const std::string& From, const std::string& To) {
  std::filesystem::remove_all(To);
  std::filesystem::copy(From, To);
}

// What the tables of Folder hold, read with the real file routines after recovery: for each
// table its field and index counts and its records in sorted order; the checker's faults are
// added to Faults.
std::string Contents(const std::string& Folder, std::vector<std::string>& Faults) {
  std::string out;
  // The engine is asked for every table first: before it answers whether a table is there it
  // finishes what the folder's journals say, so the files below stand under their final names.
  {
    Session s(Folder);
    for (const char* t : kTables) {
      std::uint32_t c = 0;
      s.engine.OpenTable(s.db, t, "", 0, 0, 1, c, nullptr);
    }
  }
  for (const char* t : kTables) {
    const std::string file = Folder + "/" + t + ".QND";
    if (!std::filesystem::exists(file)) {
      out += std::string(t) + ": none\n";
      continue;
    }
    for (const std::string& f : QNCheckTableFile(file)) Faults.push_back(f);
    Session s(Folder);
    std::uint32_t c = 0;
    if (s.engine.OpenTable(s.db, t, "", 0, 0, 1, c, nullptr) != 0) {
      Faults.push_back(std::string(t) + ": cannot be opened");
      continue;
    }
    const TqnDataDictionary& d = s.Dict(c);
    out += std::string(t) + ": " + std::to_string(d.FieldCount()) + " fields, " + std::to_string(d.IndexCount()) +
           " indexes\n";
    std::vector<std::string> rows;
    std::vector<std::uint8_t> r(static_cast<std::size_t>(d.RecordLength()));
    s.engine.SetToBegin(c);
    while (s.engine.RecordGetNext(c, 0, r.data()) == 0) {
      std::string row;
      for (const std::uint8_t b : r) row += "0123456789abcdef"[b >> 4], row += "0123456789abcdef"[b & 15];
      rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    for (const std::string& row : rows) out += "  " + row + "\n";
  }
  return out;
}

// The results of the last batch insert, one per record.
std::vector<DBIResult>& BatchResults() {
  static std::vector<DBIResult> results;
  return results;
}

// The names (as the contents show them) of the records of Contents.
std::vector<std::string> NamesIn(const std::string& Contents) {
  std::vector<std::string> names;
  std::size_t pos = 0;
  while ((pos = Contents.find("\n  ", pos)) != std::string::npos) {
    pos += 3;
    const std::string row = Contents.substr(pos, Contents.find('\n', pos) - pos);
    const int len = std::stoi(row.substr(8, 2), nullptr, 16);
    std::string name;
    for (int i = 0; i < len; ++i) name += static_cast<char>(std::stoi(row.substr(10 + 2 * i, 2), nullptr, 16));
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A request whose writes are tried; its result code (a rebuild's: the final status code).
struct Request {
  const char* name;
  std::function<DBIResult(Session&)> run;
};

DBIResult WaitForRebuild(Session& S, DBIResult Started, std::int32_t Id) {
  if (Started != qnresSuccess || Id < 0) return Started;
  S.engine.WaitForRebuilds();
  bool there = false;
  TqnRebuildStatusRecord st{};
  S.engine.GetRebuildStatus(static_cast<std::uint32_t>(Id), there, st);
  return there ? static_cast<DBIResult>(st[rsStatusCode]) : qnresInvalidHandle;
}

// Positions C on the record named Name and returns it.
Record Seek(Session& S, std::uint32_t C, const std::string& Name) {
  Record x(S.Dict(C));
  S.engine.SetToBegin(C);
  while (S.engine.RecordGetNext(C, 0, x.Data()) == 0)
    if (x.GetStr(1) == Name) break;
  return x;
}

DBIResult InTransaction(Session& S, bool FailSafe, bool Early) {
  const std::uint32_t c = S.Open("People");
  std::uint32_t t = 0;
  DBIResult r = S.engine.TransactionStart(S.db, FailSafe, t);
  for (int i = 0; r == 0 && i < 5; ++i) {
    r = S.engine.RecordInsert(c, 0, PersonRecord(S.Dict(c), "T" + std::to_string(i), 7).data());
    if (r == 0 && Early && i == 2) r = S.engine.TransactionCommitChanges(t);
  }
  if (r == 0) r = S.engine.TransactionCommit(t);
  // What a client does when its commit fails.
  if (r != 0) S.engine.TransactionRollback(t);
  return r;
}

// An index over the group field alone.
TqnIndexDescriptor GroupIndex(const std::string& Name, bool AllowDups) { return OneFieldIndex(Name, 2, AllowDups); }

std::vector<Request> Requests() {
  const TqnIndexDescriptor byGroup = GroupIndex("ByGrpOnly", true);
  return {
      {"insert",
       [](Session& S) {
         const std::uint32_t c = S.Open("People");
         return S.engine.RecordInsert(c, 0, PersonRecord(S.Dict(c), "New", 1).data());
       }},
      {"modify",
       [](Session& S) {
         const std::uint32_t c = S.Open("People", 1);
         Record r = Seek(S, c, "P05");
         r.Str(1, "Changed");
         return S.engine.RecordModify(c, false, r.Data());
       }},
      {"delete",
       [](Session& S) {
         const std::uint32_t c = S.Open("People", 1);
         Seek(S, c, "P07");
         return S.engine.RecordDelete(c, nullptr);
       }},
      {"batch insert",
       [](Session& S) {
         const std::uint32_t c = S.Open("People");
         std::vector<std::uint8_t> all;
         for (int i = 0; i < 5; ++i) {
           const auto r = PersonRecord(S.Dict(c), "B" + std::to_string(i), i);
           all.insert(all.end(), r.begin(), r.end());
         }
         std::vector<DBIResult>& results = BatchResults();
         return S.engine.RecordInsertBatch(c, 5, static_cast<std::uint32_t>(S.Dict(c).RecordLength()), all.data(),
                                           results);
       }},
      {"commit", [](Session& S) { return InTransaction(S, false, false); }},
      {"fail-safe commit", [](Session& S) { return InTransaction(S, true, false); }},
      {"commit with early writes", [](Session& S) { return InTransaction(S, false, true); }},
      {"fail-safe commit with early writes", [](Session& S) { return InTransaction(S, true, true); }},
      {"add index",
       [byGroup](Session& S) {
         std::uint32_t db = 0;
         std::string name;
         return S.engine.AddIndex(S.db, 0, "People", byGroup, db, name);
       }},
      {"reindex",
       [](Session& S) {
         std::int32_t id = -1;
         const DBIResult r = S.engine.ReindexTable(S.db, "People", "ByGroup", 0, id);
         return WaitForRebuild(S, r, id);
       }},
      {"pack",
       [](Session& S) {
         std::int32_t id = -1;
         const DBIResult r = S.engine.PackTable(S.db, "People", id);
         return WaitForRebuild(S, r, id);
       }},
      {"restructure",
       [](Session& S) {
         TqnDataDictionary d(4096);
         PeopleDictionary(d);
         d.AddField("Extra", "", qftInt32, 0, 0, false);
         d.AddField("More", "", qftInt16, 0, 0, false);
         const std::vector<std::string> map = {"ID", "Name", "Grp"};
         std::int32_t id = -1;
         const DBIResult r = S.engine.RestructureTable(S.db, "People", d, &map, id);
         return WaitForRebuild(S, r, id);
       }},
      {"create table",
       [](Session& S) {
         TqnDataDictionary d(4096);
         PeopleDictionary(d);
         return S.engine.BuildTable(S.db, false, "Fresh", d);
       }},
      {"delete table", [](Session& S) { return S.engine.DeleteTable(S.db, "People"); }},
      {"rename table", [](Session& S) { return S.engine.RenameTable(S.db, "People", "Moved"); }},
      {"empty table through a cursor",
       [](Session& S) {
         const std::uint32_t c = S.Open("People", 0, 0);
         return S.engine.EmptyTable(S.db, c, "People");
       }},
      {"empty table by name", [](Session& S) { return S.engine.EmptyTable(S.db, 0, "People"); }},
  };
}

// Runs Req on a copy of Start with the file routines of Faulty installed; the engine is gone
// when this returns.
DBIResult RunWith(TqnFaultyFileRoutines& Faulty, const std::string& Folder, const Request& Req, TFault Fault, int N,
                  const std::function<void(Session&, bool)>& After = {}) {
  TqnFileRoutines* previous = QNInstallFileAccessTable(&Faulty);
  DBIResult r;
  {
    Session s(Folder);
    Faulty.Arm(Fault, N);
    r = Req.run(s);
    // Without a follow-up the fault stays armed until the session has ended: the writes of its
    // teardown (a spare commit journal deleted) are crash points too.
    if (After) {
      const bool fired = Faulty.Fired();
      Faulty.Disarm();
      After(s, fired);
    }
  }
  QNInstallFileAccessTable(previous);
  return r;
}

// One line a later insert adds, so that cases can be compared with it.
DBIResult InsertLater(Session& S) {
  const std::uint32_t c = S.Open("People");
  return S.engine.RecordInsert(c, 0, PersonRecord(S.Dict(c), "Later", 9).data());
}

class WriteFailures : public ::testing::TestWithParam<int> {};

// Every write of the request fails in turn.
TEST_P(WriteFailures, NoTransactionStaysOpenAndTheFailedChangeIsGone) {
  const Request req = Requests()[static_cast<std::size_t>(GetParam())];
  ScratchFolder base;
  MakePeople(base.Path());
  // What the folder holds without the request and with it, each followed by a later insert.
  std::string without, with;
  {
    ScratchFolder f;
    CopyFolder(base.Path(), f.Path());
    {
      Session s(f.Path());
      ASSERT_EQ(InsertLater(s), 0);
    }
    std::vector<std::string> faults;
    without = Contents(f.Path(), faults);
    CopyFolder(base.Path(), f.Path());
    TqnFaultyFileRoutines counting;
    ASSERT_EQ(RunWith(counting, f.Path(), req, TFault::None, 0, [](Session& s, bool) { InsertLater(s); }), 0)
        << req.name;
    with = Contents(f.Path(), faults);
    EXPECT_EQ(Joined(faults), "");
  }
  int n = 1;
  for (; n < 400; ++n) {
    ScratchFolder f;
    CopyFolder(base.Path(), f.Path());
    TqnFaultyFileRoutines faulty;
    bool fired = false;
    const DBIResult r = RunWith(faulty, f.Path(), req, TFault::FailWrite, n, [&](Session& s, bool firedThen) {
      fired = firedThen;
      EXPECT_EQ(s.engine.TransactionCount(), 0) << req.name << " N=" << n;
      bool inTrans = true;
      EXPECT_EQ(s.engine.DatabaseInTrans(s.db, inTrans), 0);
      EXPECT_FALSE(inTrans) << req.name << " N=" << n;
      // Another database of the folder may start a transaction, and a later write commits
      // on its own.
      std::uint32_t other = 0, t = 0;
      ASSERT_EQ(s.engine.DatabaseOpenNoAlias(1, f.Path(), 1, 1, other), 0);
      EXPECT_EQ(s.engine.TransactionStart(other, false, t), 0) << req.name << " N=" << n;
      s.engine.TransactionRollback(t);
      EXPECT_EQ(InsertLater(s), 0) << req.name << " N=" << n;
      EXPECT_EQ(s.engine.TransactionCount(), 0);
    });
    std::vector<std::string> faults;
    const std::string got = Contents(f.Path(), faults);
    EXPECT_EQ(Joined(faults), "") << req.name << " N=" << n;
    if (std::string(req.name) == "batch insert") {
      // Each record of a batch stands alone: the ones whose insert failed are absent, the
      // others are there.
      std::vector<std::string> want = NamesIn(without);
      const std::vector<DBIResult>& each = BatchResults();
      for (std::size_t i = 0; r == 0 && i < each.size(); ++i)
        if (each[i] == 0) want.push_back("B" + std::to_string(i));
      std::sort(want.begin(), want.end());
      EXPECT_EQ(NamesIn(got), want) << req.name << " N=" << n << " result " << r;
    } else {
      EXPECT_EQ(got, r == 0 ? with : without) << req.name << " N=" << n << " result " << r;
    }
    // No journal and no temporary table stays behind.
    for (const auto& e : std::filesystem::directory_iterator(f.Path()))
      EXPECT_EQ(e.path().filename(), "People.QND") << req.name << " N=" << n;
    if (::testing::Test::HasFailure() || !fired) break;
  }
  EXPECT_GT(n, 2) << req.name;
  EXPECT_LT(n, 400) << req.name;
}

INSTANTIATE_TEST_SUITE_P(EveryWriteRequest, WriteFailures, ::testing::Range(0, 12));
INSTANTIATE_TEST_SUITE_P(EmptyingATable, WriteFailures, ::testing::Range(15, 17));

// ---- Crash-point sweep -----------------------------------------------------------------------

// The write indexes worth a crash: all of them for a short request; for a long one the first
// and last, every rename or delete, every first write after a flush, and an even sample of the
// rest.
std::vector<int> CrashPoints(const std::string& Trace, std::size_t Budget) {
  const int w = static_cast<int>(Trace.size());
  std::set<int> pick;
  for (int i = 1; i <= w; ++i)
    if (i <= 8 || i > w - 8 || Trace[static_cast<std::size_t>(i - 1)] != 'w') pick.insert(i);
  const std::size_t room = Budget > pick.size() ? Budget - pick.size() : 0;
  const int step = room == 0 ? w + 1 : std::max(1, w / static_cast<int>(room));
  for (int i = 1; i <= w; i += step) pick.insert(i);
  return {pick.begin(), pick.end()};
}

// Ends a child process at each chosen write of each request and checks what is left.
void Sweep(const std::vector<Request>& Reqs, bool TwoFiles) {
  ScratchFolder base;
  MakePeople(base.Path(), TwoFiles);
  std::vector<std::string> faults;
  const std::string before = Contents(base.Path(), faults);
  ASSERT_EQ(Joined(faults), "");
  int tried = 0, damaged = 0, stopped = 0, changed = 0;
  for (const Request& req : Reqs) {
    ScratchFolder dry;
    CopyFolder(base.Path(), dry.Path());
    TqnFaultyFileRoutines counting;
    ASSERT_EQ(RunWith(counting, dry.Path(), req, TFault::None, 0), 0) << req.name;
    const std::string trace = counting.Trace();
    const std::string after = Contents(dry.Path(), faults);
    ASSERT_EQ(Joined(faults), "") << req.name;
    ASSERT_NE(trace.size(), 0u) << req.name;
    // A reindex and a pack keep what the table holds; every other request changes it.
    const bool keeps = std::string(req.name) == "reindex" || std::string(req.name) == "pack";
    EXPECT_EQ(after == before, keeps) << req.name;
    if (::testing::Test::HasFatalFailure()) return;
    for (const int n : CrashPoints(trace, 150)) {
      ScratchFolder f;
      CopyFolder(base.Path(), f.Path());
      std::fflush(nullptr);
      const pid_t pid = ForkAlone();
      if (pid == 0) {
        TqnFaultyFileRoutines faulty;
        RunWith(faulty, f.Path(), req, TFault::Exit, n);
        ::_exit(3);  // the request ended before its Nth write
      }
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status)) << req.name << " N=" << n;
      ++tried;
      stopped += WEXITSTATUS(status) == 0;
      faults.clear();
      const std::string got = Contents(f.Path(), faults);
      const bool sound = faults.empty() && (got == before || got == after);
      if (!sound) {
        ++damaged;
        ADD_FAILURE() << req.name << ": crash at write " << n << " of " << trace.size() << " (" << trace << ")\n"
                      << Joined(faults) << got;
      }
      changed += got != before;
      // Recovery leaves nothing but the tables: no copy of a rebuild, no half-built table, no
      // mark and no journal.
      for (const auto& e : std::filesystem::directory_iterator(f.Path())) {
        const std::string stem = e.path().stem().string();
        const bool table = e.path().extension() != ".QN$" &&
                           std::find(std::begin(kTables), std::end(kTables), stem) != std::end(kTables);
        EXPECT_TRUE(table) << req.name << ": crash at write " << n << " left " << e.path().filename();
      }
      if (WEXITSTATUS(status) == 3) {
        EXPECT_EQ(got, after) << req.name << " N=" << n;
      }
    }
  }
  std::printf("%s: crash points tried: %d (%d of them stopped the request, %d left the new contents), damaged: %d\n",
              TwoFiles ? "tables of two files" : "tables of one file", tried, stopped, changed, damaged);
  EXPECT_EQ(damaged, 0);
  EXPECT_GT(tried, 50);
  EXPECT_EQ(stopped, tried);
  EXPECT_GT(changed, 0);
  EXPECT_LT(changed, tried);
}

TEST(CrashSweep, EveryWritePathLeavesTheOldOrTheNewContents) { Sweep(Requests(), false); }

// The requests that replace or remove a table's files, over a table of two files.
TEST(CrashSweep, TablesOfTwoFilesAreReplacedWhole) {
  std::vector<Request> reqs;
  for (const Request& r : Requests()) {
    const std::string n = r.name;
    if (n == "pack" || n == "restructure" || n == "delete table" || n.rfind("empty table", 0) == 0 ||
        n == "commit with early writes" || n == "rename table")
      reqs.push_back(r);
  }
  ASSERT_EQ(reqs.size(), 7u);
  Sweep(reqs, true);
}

// A client that goes away in the middle of a pack leaves the table as it was and no temporary
// table behind.
TEST(Rebuilds, AClientThatDetachesDuringAPackLeavesNoTemporaryTable) {
  ScratchFolder f;
  MakePeople(f.Path());
  std::vector<std::string> faults;
  const std::string before = Contents(f.Path(), faults);
  {
    Session s(f.Path());
    std::uint32_t hash = 0, db2 = 0;
    ASSERT_EQ(s.engine.ClientAdd(2, "leaving", "", hash), 0);
    ASSERT_EQ(s.engine.DatabaseOpenNoAlias(2, f.Path(), 1, 1, db2), 0);
    std::int32_t id = -1;
    {
      // The worker waits for the request lock until the client is gone.
      TqnPadLockGuard g(s.engine.RequestLock());
      ASSERT_EQ(s.engine.PackTable(db2, "People", id), 0);
      EXPECT_TRUE(std::filesystem::exists(f.File("People1.QND")));
      s.engine.ClientRemove(2);
    }
    s.engine.WaitForRebuilds();
    EXPECT_EQ(s.engine.TransactionCount(), 0);
    EXPECT_EQ(s.engine.TableCount(), 0);
  }
  for (const auto& e : std::filesystem::directory_iterator(f.Path()))
    EXPECT_EQ(e.path().filename(), "People.QND") << "left behind";
  EXPECT_EQ(Contents(f.Path(), faults), before);
  EXPECT_EQ(Joined(faults), "");
}

// Packs and restructures whose client detaches while they run: each worker ends holding the
// last reference to the folder, and lets it go (the folder closed) while the engine still counts
// it as running, so that an engine that has waited for its rebuilds has nothing of them left.
TEST(Rebuilds, AWorkerLetsGoOfItsFolderBeforeTheEngineLearnsItEnded) {
  ScratchFolder f;
  MakePeople(f.Path());
  TqnDataDictionary wider(4096);
  PeopleDictionary(wider);
  wider.AddField("Extra", "", qftInt32, 0, 0, false);
  const std::vector<std::string> map = {"ID", "Name", "Grp"};
  struct Seam {
    TqnFaultyFileRoutines routines;
    TqnFileRoutines* previous = QNInstallFileAccessTable(&routines);
    ~Seam() { QNInstallFileAccessTable(previous); }
  };
  {
    Seam seam;
    TqnServerEngine engine;
    const std::thread::id main = std::this_thread::get_id();
    std::mutex m;
    std::condition_variable closed;
    std::vector<int> runningAtClose;  // of the folder closes made by a worker
    seam.routines.AfterFolderClosed([&] {
      if (std::this_thread::get_id() == main) return;
      const int running = engine.RunningRebuilds();
      std::lock_guard<std::mutex> g(m);
      runningAtClose.push_back(running);
      closed.notify_all();
    });
    for (int round = 0; round < 4; ++round) {
      SCOPED_TRACE(round);
      std::uint32_t hash = 0, db = 0;
      ASSERT_EQ(engine.ClientAdd(2, "leaving", "", hash), 0);
      ASSERT_EQ(engine.DatabaseOpenNoAlias(2, f.Path(), 1, 1, db), 0);
      std::int32_t id = -1;
      {
        // The worker waits for the request lock until the client, and its database, are gone.
        TqnPadLockGuard g(engine.RequestLock());
        ASSERT_EQ(round % 2 == 0 ? engine.PackTable(db, "People", id) : engine.RestructureTable(db, "People", wider, &map, id),
                  0);
        engine.ClientRemove(2);
      }
      engine.WaitForRebuilds();
      // A worker that closed the folder late is waited for before the next round (and before
      // the engine ends), so that what it saw is still its own rebuild's count.
      std::unique_lock<std::mutex> g(m);
      closed.wait_for(g, std::chrono::seconds(10), [&] { return runningAtClose.size() > static_cast<std::size_t>(round); });
      ASSERT_EQ(runningAtClose.size(), static_cast<std::size_t>(round) + 1) << "the worker closed the folder";
      EXPECT_EQ(runningAtClose.back(), 1) << "still counted as running when it let the folder go";
    }
  }
  for (const auto& e : std::filesystem::directory_iterator(f.Path()))
    EXPECT_EQ(e.path().filename(), "People.QND") << "left behind";
}

// The checker takes a table's data file and its BLOB file from one folder: two folders that
// exchange names between the two opens never have one folder's records checked against the
// other's BLOBs.
TEST(TableChecker, TheDataAndBlobFilesComeFromOneFolder) {
  ScratchFolder base;
  const std::string a = base.File("a"), b = base.File("b");
  std::filesystem::create_directories(a);
  std::filesystem::create_directories(b);
  MakePeople(a, true);
  MakePeople(b, true);
  {
    // In a, every record gets a memo; b's BLOB file holds none.
    Session s(a);
    const std::uint32_t c = s.Open("People");
    Record r(s.Dict(c));
    DBIResult e = s.engine.SetToBegin(c);
    while (e == 0 && (e = s.engine.RecordGetNext(c, 0, r.Data())) == 0) {
      std::uint32_t nr = 0;
      ASSERT_EQ(s.engine.CreateBLOB(c, nr), 0);
      ASSERT_EQ(s.engine.WriteBLOB(c, nr, 0, 3, reinterpret_cast<const std::uint8_t*>("ten")), 0);
      std::vector<std::uint8_t> field(static_cast<std::size_t>(s.Dict(c).FieldLength(3)), 0);
      QNPutU32(field.data(), nr);
      s.Dict(c).SetRecordField(3, r.Data(), field.data());
      ASSERT_EQ(s.engine.RecordModify(c, false, r.Data()), 0);
    }
    ASSERT_EQ(e, qnresAtEOF);
  }
  ASSERT_EQ(Joined(QNCheckTableFile(a + "/People.QND")), "");
  TqnFaultyFileRoutines seam;
  TqnFileRoutines* previous = QNInstallFileAccessTable(&seam);
  bool exchanged = false;
  seam.BeforeName([&](const std::string& Name) {
    if (exchanged || Name.size() < 10 || Name.substr(Name.size() - 10) != "People.QND") return;
    exchanged = ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
  });
  const std::string faults = Joined(QNCheckTableFile(a + "/People.QND"));
  QNInstallFileAccessTable(previous);
  EXPECT_TRUE(exchanged);
  EXPECT_EQ(faults, "");
}

// A pack or restructure that another client's running transaction refuses (10256) leaves no
// copy behind, however often it is tried; once the transaction has ended it succeeds.
TEST(Rebuilds, ARebuildRefusedByAnotherClientsTransactionLeavesNoCopy) {
  ScratchFolder f;
  MakePeople(f.Path());
  std::vector<std::string> faults;
  const std::string before = Contents(f.Path(), faults);
  TqnDataDictionary wider(4096);
  PeopleDictionary(wider);
  wider.AddField("Extra", "", qftInt32, 0, 0, false);
  const std::vector<std::string> map = {"ID", "Name", "Grp"};
  const auto rebuild = [&](Session& S, bool Restructure) {
    std::int32_t id = -1;
    const DBIResult r = Restructure ? S.engine.RestructureTable(S.db, "People", wider, &map, id)
                                    : S.engine.PackTable(S.db, "People", id);
    return WaitForRebuild(S, r, id);
  };
  // The folder's files but the spare commit journal, kept while tables of the folder are open.
  const auto files = [&] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(f.Path()))
      if (e.path().filename().string().rfind("QNC", 0) != 0) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  {
    Session s(f.Path());
    std::uint32_t hash = 0, db2 = 0, t = 0;
    ASSERT_EQ(s.engine.ClientAdd(2, "other", "", hash), 0);
    ASSERT_EQ(s.engine.DatabaseOpenNoAlias(2, f.Path(), 1, 1, db2), 0);
    ASSERT_EQ(s.engine.TransactionStart(db2, false, t), 0);
    for (int round = 0; round < 4; ++round) {
      EXPECT_EQ(rebuild(s, round % 2 == 1), qnresLockConflict) << round;
      EXPECT_EQ(files(), std::vector<std::string>{"People.QND"}) << round;
      // Only the source stays open, until the other client's transaction ends.
      EXPECT_EQ(s.engine.TableCount(), 1) << round;
    }
    ASSERT_EQ(s.engine.TransactionCommit(t), 0);
    EXPECT_EQ(rebuild(s, false), 0);
    EXPECT_EQ(files(), std::vector<std::string>{"People.QND"});
  }
  EXPECT_EQ(Contents(f.Path(), faults), before);
  EXPECT_EQ(Joined(faults), "");
}

// A unique index over records that repeat its key is refused whole: the table keeps its
// indexes, none of them lacking keys.
TEST(Rebuilds, AUniqueIndexOverRepeatedKeysIsRefusedWhole) {
  ScratchFolder f;
  MakePeople(f.Path());
  std::vector<std::string> faults;
  const std::string before = Contents(f.Path(), faults);
  {
    Session s(f.Path());
    std::uint32_t db = 0;
    std::string name;
    EXPECT_EQ(s.engine.AddIndex(s.db, 0, "People", GroupIndex("UniqueGrp", false), db, name), qnresKeyViolation);
    EXPECT_EQ(s.engine.TransactionCount(), 0);
    const std::uint32_t c = s.Open("People");
    EXPECT_EQ(s.Dict(c).GetIndexFromName("UniqueGrp"), -1);
  }
  EXPECT_EQ(Contents(f.Path(), faults), before);
  EXPECT_EQ(Joined(faults), "");
}

// Journal names come from database ids, which repeat from run to run: a journal that an earlier
// run left waiting for recovery under the name a fail-safe transaction asks for is neither
// emptied nor overwritten, and is still recovered later.
TEST(Journals, AFailSafeTransactionNeverTakesOverAWaitingJournal) {
  ScratchFolder f;
  MakePeople(f.Path());
  std::vector<std::string> faults;
  const std::string before = Contents(f.Path(), faults);
  std::filesystem::copy_file(f.File("People.QND"), f.File("Other.QND"));
  Session s(f.Path());
  const std::uint32_t c = s.Open("People");
  const std::string waiting = f.File(std::to_string(s.db) + ".QN$");
  {
    // Complete, for another table, with its block 0 as it stands: replaying it changes nothing.
    std::vector<std::uint8_t> block(4096);
    std::FILE* in = std::fopen(f.File("Other.QND").c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ASSERT_EQ(std::fread(block.data(), 1, block.size(), in), block.size());
    std::fclose(in);
    TqnJournal j(waiting, QNPosixFileRoutines());
    j.Append(f.File("Other.QND"), 0, block.data(), 4096, false);
    j.MarkComplete();
    j.Close();
  }
  const auto bytes = [](const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  const std::vector<char> journal = bytes(waiting);
  ASSERT_GT(journal.size(), 8u);
  std::uint32_t t = 0;
  ASSERT_EQ(s.engine.TransactionStart(s.db, true, t), 0);
  EXPECT_EQ(bytes(waiting), journal);
  ASSERT_EQ(s.engine.RecordInsert(c, 0, PersonRecord(s.Dict(c), "Safe", 1).data()), 0);
  ASSERT_EQ(s.engine.TransactionCommit(t), 0);
  EXPECT_EQ(bytes(waiting), journal);
  ASSERT_EQ(s.engine.CursorClose(c), 0);
  // The next open of a table of the folder recovers it.
  const std::string after = Contents(f.Path(), faults);
  EXPECT_EQ(Joined(faults), "");
  EXPECT_FALSE(std::filesystem::exists(waiting));
  EXPECT_NE(after.find("0453616665"), std::string::npos) << "the committed record is there";
}


// ---- A full disk -----------------------------------------------------------------------------
//
// Commits of normal and fail-safe transactions, and changes in transactions of the engine's
// own, run while the disk fills up at a chosen write, go on for a while with the disk full,
// and then go on once space is back.  A model keeps what must be there: every change whose
// commit was acknowledged, also one whose commit was decided but could not be finished (it is
// answered done: its journal is held and replayed once space is back); never a change whose
// commit was answered with an error.

// Notes: a unique number, a group with an index over it, and a memo.
void NotesDictionary(TqnDataDictionary& D) {
  D.AddField("Nr", "", qftInt32, 0, 0, true);
  D.AddField("Grp", "", qftInt32, 0, 0, false);
  D.AddField("Text", "", qftBlobMemo, 0, 0, false);
  D.AddIndex("ByNr", "", 0, {0}, false, true, false);
  D.AddIndex("ByGrp", "", 0, {1, 0}, true, true, false);
}

struct Note {
  std::int32_t grp = 0;
  std::string text;
  bool operator==(const Note& O) const { return grp == O.grp && text == O.text; }
};
using Notes = std::map<std::int32_t, Note>;

// A text of its own for every record and step, long enough to take BLOB blocks of its own.
std::string NoteText(int Nr, int Step) {
  std::string s = "note " + std::to_string(Nr) + " of step " + std::to_string(Step) + ": ";
  s.resize(static_cast<std::size_t>(700 + (Nr * 977 + Step * 331) % 5200), static_cast<char>('a' + (Nr + Step) % 26));
  return s;
}

std::string Describe(const Notes& N) {
  std::string out;
  for (const auto& [nr, n] : N)
    out += std::to_string(nr) + " grp " + std::to_string(n.grp) + " text " + n.text.substr(0, 24) + "... (" +
           std::to_string(n.text.size()) + ")\n";
  return out;
}

// What Notes holds; false when it cannot be read whole.
bool ReadNotes(Session& S, Notes& Out) {
  Out.clear();
  std::uint32_t c = 0;
  if (S.engine.OpenTable(S.db, "Notes", "", 1, 0, 1, c, nullptr) != 0) return false;
  Record r(S.Dict(c));
  DBIResult e = S.engine.SetToBegin(c);
  while (e == 0 && (e = S.engine.RecordGetNext(c, 0, r.Data())) == 0) {
    Note n;
    n.grp = r.GetI32(1);
    if (!S.Dict(c).IsRecordFieldNull(2, r.Data())) {
      const std::uint32_t blob = static_cast<std::uint32_t>(r.GetI32(2));
      std::uint32_t len = 0, got = 0;
      if (S.engine.GetBLOBLength(c, blob, len) != 0) return false;
      n.text.resize(len);
      if (len > 0 && (S.engine.ReadBLOB(c, blob, 0, len, got, reinterpret_cast<std::uint8_t*>(n.text.data())) != 0 ||
                      got != len))
        return false;
    }
    Out[r.GetI32(0)] = n;
  }
  S.engine.CursorClose(c);
  return e == qnresAtEOF;
}

// Positions C (on ByNr) on record Nr; false when it is not found.
bool SeekNote(Session& S, std::uint32_t C, std::int32_t Nr, Record& R) {
  if (S.engine.SetToBegin(C) != 0) return false;
  while (S.engine.RecordGetNext(C, 0, R.Data()) == 0)
    if (R.GetI32(0) == Nr) return true;
  return false;
}

enum class TOutcome { Done, Failed, Decided };

// The writer of the workload: each step is one unit of work, whose changes are applied to
// the model when its outcome says they stand.
struct NotesWorkload {
  Notes model;
  std::int32_t next = 100;
  std::vector<std::string> log;
  int intendedFailures = 0;
  Session* session = nullptr;
  std::uint32_t cursor = 0;
  // A client that keeps its transaction open after a failed commit (its process ends next).
  bool holdFailedCommit = false;
  bool holding = false;

  // Inserts Nr with Text through C, inside the client's transaction.
  static DBIResult InsertNote(Session& S, std::uint32_t C, std::int32_t Nr, std::int32_t Grp, const std::string& Text) {
    Record r(S.Dict(C));
    r.I32(0, Nr).I32(1, Grp);
    std::uint32_t blob = 0;
    DBIResult e = S.engine.CreateBLOB(C, blob);
    if (e == 0)
      e = S.engine.WriteBLOB(C, blob, 0, static_cast<std::uint32_t>(Text.size()),
                             reinterpret_cast<const std::uint8_t*>(Text.data()));
    if (e != 0) return e;
    r.I32(2, static_cast<std::int32_t>(blob));
    return S.engine.RecordInsert(C, 0, r.Data());
  }

  // One step; AllowedToFail: the disk may be full.  Returns the outcome.
  TOutcome Step(Session& S, int I, bool /*DiskMayBeFull*/) {
    const int held = S.engine.BufferManager().HeldJournalCount();
    // The cursor stays open from step to step, as a client's does: the table is not opened
    // again (which would recover its journals) between the steps.
    if (session != &S || cursor == 0) {
      session = &S;
      cursor = 0;
      if (S.engine.OpenTable(S.db, "Notes", "", 1, 1, 1, cursor, nullptr) != 0) {
        cursor = 0;
        log.push_back("step " + std::to_string(I) + ": open failed");
        return TOutcome::Failed;
      }
    }
    const std::uint32_t c = cursor;
    Notes after = model;
    TOutcome out;
    if (I % 3 == 0) {
      // A change of the engine's own transaction: the group of one record (its index key).
      const auto it = std::next(model.begin(), static_cast<long>(static_cast<std::size_t>(I) % model.size()));
      Record r(S.Dict(c));
      DBIResult e = SeekNote(S, c, it->first, r) ? 0 : qnresAtEOF;
      if (e == 0) {
        r.I32(1, it->second.grp + 10);
        e = S.engine.RecordModify(c, false, r.Data());
      }
      after[it->first].grp += 10;
      // A commit that stands is answered done, also when it waits in a held journal.
      const bool decided = S.engine.BufferManager().HeldJournalCount() > held;
      EXPECT_TRUE(e == 0 || !decided) << "step " << I;
      out = e != 0 ? TOutcome::Failed : decided ? TOutcome::Decided : TOutcome::Done;
      log.push_back("step " + std::to_string(I) + " own transaction: " + std::to_string(e));
    } else {
      // A client's transaction, normal or fail-safe: two new records (written early in some), a
      // changed text, a deleted record; some also insert a number that exists, fail and are
      // rolled back.
      const bool failSafe = I % 3 == 2;
      const bool refused = I % 4 == 2;
      std::uint32_t t = 0;
      DBIResult e = S.engine.TransactionStart(S.db, failSafe, t);
      const bool started = e == 0;
      for (int k = 0; e == 0 && k < 2; ++k) {
        const std::int32_t nr = next + k;
        after[nr] = {I, NoteText(nr, I)};
        e = InsertNote(S, c, nr, I, after[nr].text);
      }
      // Some write their blocks early: their rollback must put the old blocks back.
      if (e == 0 && I % 6 == 1) e = S.engine.TransactionCommitChanges(t);
      if (e == 0) {
        const auto it = std::next(model.begin(), static_cast<long>(static_cast<std::size_t>(I * 7) % model.size()));
        Record r(S.Dict(c));
        e = SeekNote(S, c, it->first, r) ? 0 : qnresAtEOF;
        const std::string text = NoteText(it->first, I);
        after[it->first].text = text;
        if (e == 0)
          e = S.engine.WriteBLOB(c, static_cast<std::uint32_t>(r.GetI32(2)), 0, static_cast<std::uint32_t>(text.size()),
                                 reinterpret_cast<const std::uint8_t*>(text.data()));
        if (e == 0) e = S.engine.TruncateBLOB(c, static_cast<std::uint32_t>(r.GetI32(2)), static_cast<std::uint32_t>(text.size()));
      }
      if (e == 0 && model.size() > 4) {
        const auto it = std::next(model.begin(), static_cast<long>(static_cast<std::size_t>(I * 5 + 1) % model.size()));
        Record r(S.Dict(c));
        e = SeekNote(S, c, it->first, r) ? 0 : qnresAtEOF;
        if (e == 0 && after.count(it->first) > 0) {
          after.erase(it->first);
          e = S.engine.RecordDelete(c, nullptr);
        }
      }
      if (e == 0 && refused) {
        e = InsertNote(S, c, model.begin()->first, 0, "again");
        EXPECT_NE(e, 0) << "step " << I;
        ++intendedFailures;
      }
      bool decided = false;
      const bool commitTried = e == 0;
      if (e == 0) {
        e = S.engine.TransactionCommit(t);
        bool inTrans = true;
        S.engine.DatabaseInTrans(S.db, inTrans);
        // The answer is the commit's fate: a commit that stands is answered done (finished now,
        // or replayed later from its held journal); a failed one never appears and leaves the
        // transaction open for the client's rollback.
        decided = e == 0 && S.engine.BufferManager().HeldJournalCount() > held;
        EXPECT_TRUE(e == 0 ? !inTrans : inTrans) << "step " << I;
      }
      // What a client does when its transaction fails.
      if (e != 0 && started && holdFailedCommit && commitTried) holding = true;
      else if (e != 0 && started) S.engine.TransactionRollback(t);
      out = e != 0 ? TOutcome::Failed : decided ? TOutcome::Decided : TOutcome::Done;
      if (out != TOutcome::Failed) next += 2;
      log.push_back("step " + std::to_string(I) + (failSafe ? " fail-safe" : " normal") +
                    " transaction: " + std::to_string(e) + (decided ? " (decided)" : "") +
                    (holding ? " (held open)" : ""));
    }
    if (out != TOutcome::Failed) model = after;
    return out;
  }
};

// A workload's state, kept in a file by a process that is killed afterwards.
void SaveWorkload(const NotesWorkload& W, const std::string& Path) {
  std::ofstream out(Path, std::ios::binary);
  out << W.next << ' ' << W.intendedFailures << ' ' << W.model.size() << ' ' << W.log.size() << '\n';
  for (const auto& [nr, n] : W.model) out << nr << ' ' << n.grp << ' ' << n.text.size() << '\n' << n.text << '\n';
  for (const std::string& l : W.log) out << l << '\n';
}

bool LoadWorkload(NotesWorkload& W, const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::size_t notes = 0, lines = 0;
  if (!(in >> W.next >> W.intendedFailures >> notes >> lines)) return false;
  W.model.clear();
  W.log.clear();
  for (std::size_t i = 0; i < notes; ++i) {
    std::int32_t nr = 0;
    Note n;
    std::size_t len = 0;
    if (!(in >> nr >> n.grp >> len) || in.get() != '\n') return false;
    n.text.resize(len);
    if (!in.read(n.text.data(), static_cast<std::streamsize>(len))) return false;
    W.model[nr] = n;
  }
  std::string l;
  std::getline(in, l);
  for (std::size_t i = 0; i < lines && std::getline(in, l); ++i) W.log.push_back(l);
  W.session = nullptr;
  W.cursor = 0;
  return true;
}

// The folder every disk-full case starts from: Notes with eight records.
void MakeNotes(const std::string& Folder, NotesWorkload& W) {
  Session s(Folder);
  TqnDataDictionary d(4096);
  NotesDictionary(d);
  ASSERT_EQ(s.engine.BuildTable(s.db, false, "Notes", d), 0);
  std::uint32_t c = 0;
  ASSERT_EQ(s.engine.OpenTable(s.db, "Notes", "", 1, 1, 1, c, nullptr), 0);
  std::uint32_t t = 0;
  ASSERT_EQ(s.engine.TransactionStart(s.db, false, t), 0);
  for (std::int32_t nr = 1; nr <= 8; ++nr) {
    W.model[nr] = {nr % 3, NoteText(nr, 0)};
    ASSERT_EQ(NotesWorkload::InsertNote(s, c, nr, nr % 3, W.model[nr].text), 0);
  }
  ASSERT_EQ(s.engine.TransactionCommit(t), 0);
}

// Checks Folder after everything, with the real file routines: the table is sound, it holds
// the model, and no journal is left.
void CheckNotes(const std::string& Folder, const NotesWorkload& W, const std::string& Point) {
  Notes got;
  {
    Session s(Folder);
    EXPECT_TRUE(ReadNotes(s, got)) << Point;
  }
  EXPECT_EQ(Joined(QNCheckTableFile(Folder + "/Notes.QND")), "") << Point;
  EXPECT_EQ(Describe(got), Describe(W.model)) << Point << "\n" << Joined(W.log);
  EXPECT_TRUE(got == W.model) << Point;
  for (const auto& e : std::filesystem::directory_iterator(Folder))
    EXPECT_EQ(e.path().extension(), ".QND") << Point << ": " << e.path().filename() << " left behind";
}

constexpr int kFullSteps = 8;   // steps run from the first write that finds the disk full on
constexpr int kLaterSteps = 5;  // steps once space is back
// The cache is far smaller than a step's work: blocks are written early all the time, in the
// middle of requests, before the commits.
constexpr int kSmallCache = 6;

std::unique_ptr<Session> CacheSession(const std::string& Folder, bool Small) {
  auto s = std::make_unique<Session>(Folder);
  if (Small) s->engine.BufferManager().SetMaxPageCount(kSmallCache);
  return s;
}

// Runs Work in a process of its own that ends without cleaning up; W is what the workload
// reached there (its model travels through the file Saved).
void RunKilled(NotesWorkload& W, const std::string& Saved, const std::function<void()>& Work, const std::string& Point) {
  std::fflush(nullptr);
  const pid_t pid = ForkAlone();
  if (pid == 0) {
    Work();
    SaveWorkload(W, Saved);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Point;
  ASSERT_TRUE(LoadWorkload(W, Saved)) << Point;
  std::filesystem::remove(Saved);
}

TEST(DiskFull, EveryWriteOfMixedCommitsLeavesEveryDecidedCommitAndSoundTables) {
  ScratchFolder base;
  NotesWorkload start;
  MakeNotes(base.Path(), start);
  if (::testing::Test::HasFatalFailure()) return;
  // The writes of the steps that may find the disk full.
  // The writes of the steps that may find the disk full, with the usual cache and with one
  // far smaller than the work.
  int writes[2] = {0, 0};
  for (int small = 0; small < 2; ++small) {
    ScratchFolder f;
    CopyFolder(base.Path(), f.Path());
    TqnFaultyFileRoutines counting;
    TqnFileRoutines* previous = QNInstallFileAccessTable(&counting);
    {
      const auto s = CacheSession(f.Path(), small == 1);
      NotesWorkload w = start;
      counting.Arm(TFault::None, 0);
      for (int i = 0; i < kFullSteps; ++i) EXPECT_NE(w.Step(*s, i, false), TOutcome::Decided);
      writes[small] = counting.Writes();
      if (small == 1) {
        EXPECT_GT(s->engine.BufferManager().Spills(), 20u);
      }
    }
    QNInstallFileAccessTable(previous);
  }
  ASSERT_GT(writes[0], 50);
  int decided = 0, failed = 0, done = 0;
  for (int n = 1; n <= std::max(writes[0], writes[1]); ++n) {
    // Every write point with one cache or the other, in turn by three points.
    const bool small = (n / 3) % 2 == 1;
    if (n > writes[small ? 1 : 0]) continue;
    ScratchFolder f;
    CopyFolder(base.Path(), f.Path());
    NotesWorkload w = start;
    // The server goes on once space is back, is stopped while the disk is full and started
    // again, or is killed while the disk is full (a process of its own that ends without
    // cleaning up) and started again.
    const int mode = n % 3;
    const std::string point = "disk full from write " + std::to_string(n) + " of " +
                              std::to_string(writes[small ? 1 : 0]) + (small ? " (small cache)" : "") +
                              (mode == 0 ? "" : mode == 1 ? ", server stopped" : ", server killed");
    std::unique_ptr<Session> s;
    if (mode == 2) {
      const std::string saved = f.Path() + ".model";
      RunKilled(w, saved, [&] {
        TqnFaultyFileRoutines faulty;
        QNInstallFileAccessTable(&faulty);
        Session* killed = CacheSession(f.Path(), small).release();  // never freed: the process ends at once
        faulty.Arm(TFault::DiskFull, n);
        for (int i = 0; i < kFullSteps; ++i) w.Step(*killed, i, true);
      }, point);
      if (::testing::Test::HasFatalFailure()) return;
      s = std::make_unique<Session>(f.Path());
    }
    TqnFaultyFileRoutines faulty;
    TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
    {
      if (mode != 2) {
        s = CacheSession(f.Path(), small);
        faulty.Arm(TFault::DiskFull, n);
        for (int i = 0; i < kFullSteps; ++i) {
          const TOutcome o = w.Step(*s, i, true);
          decided += o == TOutcome::Decided;
          failed += o == TOutcome::Failed;
          done += o == TOutcome::Done;
        }
        if (mode == 1) {
          s.reset();
          w.session = nullptr;
        }
        faulty.Disarm();
      }
      if (!s) s = CacheSession(f.Path(), small);
      const int refusedBefore = w.intendedFailures;
      for (int i = kFullSteps; i < kFullSteps + kLaterSteps; ++i) {
        const int refused = w.intendedFailures;
        const TOutcome o = w.Step(*s, i, false);
        EXPECT_EQ(o, w.intendedFailures > refused ? TOutcome::Failed : TOutcome::Done)
            << point << ": step " << i << " once space is back\n" << Joined(w.log);
      }
      EXPECT_GT(w.intendedFailures, refusedBefore);
      EXPECT_EQ(s->engine.BufferManager().HeldJournalCount(), 0) << point;
      s.reset();
    }
    QNInstallFileAccessTable(previous);
    CheckNotes(f.Path(), w, point);
    if (::testing::Test::HasFailure()) break;
  }
  std::printf("disk full at %d and %d points: %d steps done, %d failed, %d done but finished later\n", writes[0],
              writes[1], done, failed, decided);
  // Every write that makes a file longer (the journal's records, the blocks a transaction
  // appended) comes before a commit is decided; after that only blocks inside the files are
  // written.  So a full disk fails a commit before its decision, never leaves a decided one
  // to be finished later.
  EXPECT_EQ(decided, 0);
  EXPECT_GT(failed, 0);
}


// The same work on a real file system that fills up: a small tmpfs of the test's own, in which
// a filler file leaves a little more free space at each point; deleting it brings space back.
// Mounting needs root: where it is refused the test is skipped.
TEST(DiskFull, ASmallRealFileSystemThatFillsUp) {
  const std::string mount = std::filesystem::temp_directory_path().string() + "/tw_small_fs_" + std::to_string(::getpid());
  std::filesystem::create_directories(mount);
  if (::mount("tmpfs", mount.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=2m,mode=0700") != 0) {
    const int e = errno;
    std::filesystem::remove(mount);
    GTEST_SKIP() << "no tmpfs can be mounted here (" << std::strerror(e) << ")";
  }
  struct Unmount {
    std::string path;
    ~Unmount() {
      ::umount2(path.c_str(), MNT_DETACH);
      std::filesystem::remove(path);
    }
  } unmount{mount};
  int decided = 0, failed = 0, heldOpen = 0;
  for (int point = 0; point < 48; ++point) {
    const std::string folder = mount + "/notes";
    const std::string filler = mount + "/filler";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    NotesWorkload w;
    MakeNotes(folder, w);
    if (::testing::Test::HasFatalFailure()) return;
    {
      // All the free space but `point` pages goes to the filler.
      struct statvfs fs {};
      ASSERT_EQ(::statvfs(mount.c_str(), &fs), 0);
      const std::int64_t room = static_cast<std::int64_t>(fs.f_bavail) * static_cast<std::int64_t>(fs.f_frsize);
      const std::int64_t keep = static_cast<std::int64_t>(point) * 4096;
      std::ofstream out(filler, std::ios::binary);
      const std::vector<char> chunk(4096, 0);
      for (std::int64_t n = 0; n + keep < room; n += 4096) out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
    // The server goes on once space is back, is stopped while the disk is full and started
    // again, is killed (a process of its own ends without cleaning up), or is killed while a
    // client holds its transaction open after a failed commit; every other pair of points with
    // a cache far smaller than the work.
    const int mode = point % 4;
    const bool small = (point / 4) % 2 == 1;
    const std::string at = "free pages at the start: " + std::to_string(point) + (small ? ", small cache" : "") +
                           (mode == 1 ? ", server stopped" : mode == 2 ? ", server killed" : mode == 3 ? ", server killed while a client holds a failed commit" : "");
    std::unique_ptr<Session> s;
    if (mode >= 2) {
      RunKilled(w, mount + "/model", [&] {
        Session* killed = CacheSession(folder, small).release();  // never freed: the process ends at once
        w.holdFailedCommit = mode == 3;
        for (int i = 0; i < kFullSteps && !w.holding; ++i) w.Step(*killed, i, true);
        // The model goes where the filler was: the disk is full.
        std::filesystem::remove(filler);
      }, at);
      if (::testing::Test::HasFatalFailure()) return;
      for (const std::string& l : w.log) heldOpen += l.find("(held open)") != std::string::npos;
    } else {
      s = CacheSession(folder, small);
      for (int i = 0; i < kFullSteps; ++i) {
        const TOutcome o = w.Step(*s, i, true);
        decided += o == TOutcome::Decided;
        failed += o == TOutcome::Failed;
      }
      if (mode == 1) {
        s.reset();
        w.session = nullptr;
      }
    }
    std::filesystem::remove(filler);
    if (!s) s = CacheSession(folder, small);
    for (int i = kFullSteps; i < kFullSteps + kLaterSteps; ++i) {
      const int refused = w.intendedFailures;
      const TOutcome o = w.Step(*s, i, false);
      EXPECT_EQ(o, w.intendedFailures > refused ? TOutcome::Failed : TOutcome::Done)
          << at << ": step " << i << " once space is back\n" << Joined(w.log);
    }
    s.reset();
    CheckNotes(folder, w, at);
    if (::testing::Test::HasFailure()) break;
  }
  std::printf("a real file system that fills up: %d steps failed, %d done and finished later, %d failed commits held open\n",
              failed, decided, heldOpen);
  EXPECT_GT(failed, 0);
  EXPECT_GT(heldOpen, 0);
}

}  // namespace
}  // namespace tw::dbengine::testing
