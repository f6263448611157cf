// Every write path of the engine is all or nothing.  For each write request and rebuild:
//  - a write that fails at any point leaves no transaction open, the failed change absent after
//    reopening, and the next write commits on its own;
//  - the process ending at any write (a forked child ended by _exit in the middle of its Nth
//    write, rename or delete) leaves, after reopening, tables that the table checker finds
//    sound and that hold the contents from before the request or from after it, never a mix.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dbengine/server/tests/server_test_util.h"
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
TqnIndexDescriptor GroupIndex(const std::string& Name, bool AllowDups) {
  TqnIndexDescriptor d;
  d.Name = Name;
  d.FieldCount = 1;
  d.FieldNumbers[0] = 2;
  d.AllowDups = AllowDups;
  return d;
}

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
      const pid_t pid = ::fork();
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

}  // namespace
}  // namespace tw::dbengine::testing
