// What becomes of a transaction's journal when its deletion, or the undo of the blocks the
// transaction wrote early, fails: it is never applied over a later commit, and the cursors open
// on its table read the table again.  Each case goes on with a later commit and ends with a
// fresh engine reading the folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "dbengine/server/tests/server_test_util.h"
#include "dbengine/storage/faulty_file_routines.h"

namespace tw::dbengine::testing {
namespace {

using TFault = TqnFaultyFileRoutines::TFault;
constexpr int kRecords = 300;

// An engine on Folder, client Client attached with a read-write shared database; it keeps the
// file routines that were installed when it was made.
struct Session {
  TqnServerEngine engine;
  std::uint32_t db = 0;
  explicit Session(const std::string& Folder) { Attach(1, Folder); }
  std::uint32_t Attach(std::int32_t Client, const std::string& Folder) {
    std::uint32_t hash = 0, d = 0;
    EXPECT_EQ(engine.ClientAdd(Client, "tester", "", hash), 0);
    EXPECT_EQ(engine.DatabaseOpenNoAlias(Client, Folder, 1, 1, d), 0);
    if (db == 0) db = d;
    return d;
  }
  std::uint32_t Open(std::uint32_t Database = 0) {
    std::uint32_t c = 0;
    EXPECT_EQ(engine.OpenTable(Database == 0 ? db : Database, "Vals", "", 1, 1, 1, c, nullptr), 0);
    return c;
  }
};

struct Installed {
  TqnFileRoutines* previous;
  explicit Installed(TqnFileRoutines* Routines) : previous(QNInstallFileAccessTable(Routines)) {}
  ~Installed() { QNInstallFileAccessTable(previous); }
};

// Sets field Val of every record to Value through cursor C.
DBIResult SetAll(Session& S, std::uint32_t C, const std::string& Value) {
  Record r(S.engine.FindCursor(C)->Table->Dictionary());
  DBIResult e = S.engine.SetToBegin(C);
  while (e == 0 && (e = S.engine.RecordGetNext(C, 0, r.Data())) == 0) e = S.engine.RecordModify(C, false, r.Str(1, Value).Data());
  return e == qnresAtEOF ? 0 : e;
}

// What cursor C reads: "300 a" when it reads 300 records whose Val is "a".
std::string ValuesOf(Session& S, std::uint32_t C) {
  Record r(S.engine.FindCursor(C)->Table->Dictionary());
  std::map<std::string, int> seen;
  DBIResult e = S.engine.SetToBegin(C);
  while (e == 0 && (e = S.engine.RecordGetNext(C, 0, r.Data())) == 0) ++seen[r.GetStr(1)];
  std::string out = e == qnresAtEOF ? std::string() : "answer " + std::to_string(e) + ":";
  for (const auto& [value, count] : seen) out += (out.empty() ? "" : " ") + std::to_string(count) + " " + value;
  return out;
}

// Vals (Nr, Val) with kRecords records whose Val is "a".
void MakeValues(const std::string& Folder) {
  Session s(Folder);
  TqnDataDictionary d(4096);
  d.AddField("Nr", "", qftInt32, 0, 0, true);
  d.AddField("Val", "", qftShortString, 10, 0, false);
  d.AddIndex("ByNr", "", 0, {0}, false, true, false);
  ASSERT_EQ(s.engine.BuildTable(s.db, false, "Vals", d), 0);
  const std::uint32_t c = s.Open();
  std::uint32_t t = 0;
  ASSERT_EQ(s.engine.TransactionStart(s.db, false, t), 0);
  for (int i = 0; i < kRecords; ++i) {
    Record r(s.engine.FindCursor(c)->Table->Dictionary());
    ASSERT_EQ(s.engine.RecordInsert(c, 0, r.I32(0, i).Str(1, "a").Data()), 0);
  }
  ASSERT_EQ(s.engine.TransactionCommit(t), 0);
}

struct Ending {
  const char* What;
  bool FailSafe;
  bool Early;  // the transaction writes its blocks early (as batch inserts and rebuilds do)
  bool Commit;
};

// A transaction sets every record to "b", then adds one (its header page is changed after the
// early writes) and ends as E says, with Fault armed for the end only
// (at its write N); the end's answer.
DBIResult EndWith(Session& S, TqnFaultyFileRoutines& Faulty, const Ending& E, TFault Fault, int N) {
  const std::uint32_t c = S.Open();
  std::uint32_t t = 0;
  EXPECT_EQ(S.engine.TransactionStart(S.db, E.FailSafe, t), 0);
  EXPECT_EQ(SetAll(S, c, "b"), 0);
  if (E.Early) {
    EXPECT_EQ(S.engine.TransactionCommitChanges(t), 0);
  }
  Record added(S.engine.FindCursor(c)->Table->Dictionary());
  EXPECT_EQ(S.engine.RecordInsert(c, 0, added.I32(0, kRecords).Str(1, "b").Data()), 0);
  Faulty.Arm(Fault, N);
  const DBIResult r = E.Commit ? S.engine.TransactionCommit(t) : S.engine.TransactionRollback(t);
  Faulty.Disarm();
  return r;
}

// A later transaction sets every record to "c" and commits; the session reads Expected.
void CommitLater(Session& S, const std::string& Expected) {
  const std::uint32_t c = S.Open();
  std::uint32_t t = 0;
  ASSERT_EQ(S.engine.TransactionStart(S.db, false, t), 0);
  ASSERT_EQ(SetAll(S, c, "c"), 0);
  ASSERT_EQ(S.engine.TransactionCommit(t), 0);
  EXPECT_EQ(ValuesOf(S, c), Expected);
  S.engine.CursorClose(c);
}

// A fresh engine reads Expected, and no journal is left once it has opened the table.
void ExpectFreshEngineReads(const std::string& Folder, const std::string& Expected) {
  Session fresh(Folder);
  EXPECT_EQ(ValuesOf(fresh, fresh.Open()), Expected);
  std::string journals;
  for (const auto& e : std::filesystem::directory_iterator(Folder))
    if (e.path().extension() == ".QN$") journals += e.path().filename().string() + " ";
  EXPECT_EQ(journals, "");
}

TEST(RollbackJournals, AJournalWhoseDeletionFailedIsNeverAppliedOverALaterCommit) {
  const Ending endings[] = {
      {"rollback after early writes", false, true, false},
      {"fail-safe rollback after early writes", true, true, false},
      {"fail-safe rollback that never wrote early", true, false, false},
      {"fail-safe commit", true, false, true},
      {"commit after early writes", false, true, true},
  };
  for (const Ending& e : endings) {
    SCOPED_TRACE(e.What);
    const std::string after = std::to_string(e.Commit ? kRecords + 1 : kRecords) + " c";
    // Where the end's first deletion falls among its writes (deletes count as writes).
    int n = 0;
    {
      ScratchFolder f;
      MakeValues(f.Path());
      TqnFaultyFileRoutines counting;
      Installed in(&counting);
      Session s(f.Path());
      EndWith(s, counting, e, TFault::None, 0);
      n = static_cast<int>(counting.Trace().find('n')) + 1;
      ASSERT_GT(n, 0);
    }
    ScratchFolder f;
    MakeValues(f.Path());
    TqnFaultyFileRoutines faulty;
    {
      Installed in(&faulty);
      Session s(f.Path());
      EXPECT_EQ(EndWith(s, faulty, e, TFault::FailWrite, n), 0);
      EXPECT_TRUE(faulty.Fired());
      CommitLater(s, after);
    }
    ExpectFreshEngineReads(f.Path(), after);
  }
}

// The undo of the early writes fails at its first write: the rollback is answered done (its
// journal holds what the table held, and the undo is finished before the table is used again),
// and every cursor open on the table, of either client, reads it again at once.
TEST(RollbackJournals, AfterARollbackWhoseUndoFailedTheOpenCursorsReadEveryCommittedRecord) {
  for (const bool failSafe : {false, true}) {
    SCOPED_TRACE(failSafe ? "fail-safe" : "normal");
    ScratchFolder f;
    MakeValues(f.Path());
    TqnFaultyFileRoutines faulty;
    {
      Installed in(&faulty);
      Session s(f.Path());
      const std::uint32_t reader = s.Open();
      const std::uint32_t other = s.Open(s.Attach(2, f.Path()));
      EXPECT_EQ(EndWith(s, faulty, {"", failSafe, true, false}, TFault::FailWrite, 1), 0);
      EXPECT_TRUE(faulty.Fired());
      EXPECT_EQ(ValuesOf(s, reader), "300 a");
      EXPECT_EQ(ValuesOf(s, other), "300 a");
      EXPECT_EQ(s.engine.BufferManager().HeldJournalCount(), 0);
      CommitLater(s, "300 c");
      EXPECT_EQ(ValuesOf(s, other), "300 c");
    }
    ExpectFreshEngineReads(f.Path(), "300 c");
  }
}

}  // namespace
}  // namespace tw::dbengine::testing
