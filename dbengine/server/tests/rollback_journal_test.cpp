// A transaction's journal whose deletion, or the undo of the blocks written early, fails: it is
// never applied over a later commit, and the cursors open on its table read it again.  Each case
// goes on with a later commit and ends with a fresh engine reading the folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "dbengine/server/tests/server_test_util.h"
#include "dbengine/storage/faulty_file_routines.h"

namespace tw::dbengine::testing {
namespace {

using TFault = TqnFaultyFileRoutines::TFault;

// An engine made with faulty file routines (armed by the test), client 1 attached to Folder.
struct Session {
  TqnFaultyFileRoutines faulty;
  TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
  TqnServerEngine engine;
  std::string folder;
  std::uint32_t db = 0;
  explicit Session(const std::string& Folder) : folder(Folder), db(Attach(1)) {}
  ~Session() { QNInstallFileAccessTable(previous); }
  std::uint32_t Attach(std::int32_t Client) {
    std::uint32_t hash = 0, d = 0;
    EXPECT_EQ(engine.ClientAdd(Client, "tester", "", hash), 0);
    EXPECT_EQ(engine.DatabaseOpenNoAlias(Client, folder, 1, 1, d), 0);
    return d;
  }
  std::uint32_t Open(std::uint32_t Database) {
    std::uint32_t c = 0;
    EXPECT_EQ(engine.OpenTable(Database, "Vals", "", 1, 1, 1, c, nullptr), 0);
    return c;
  }
  Record Rec(std::uint32_t C) { return Record(engine.FindCursor(C)->Table->Dictionary()); }
  DBIResult SetAll(std::uint32_t C, const std::string& Value) {
    Record r = Rec(C);
    DBIResult e = engine.SetToBegin(C);
    while (e == 0 && (e = engine.RecordGetNext(C, 0, r.Data())) == 0)
      e = engine.RecordModify(C, false, r.Str(1, Value).Data());
    return e == qnresAtEOF ? 0 : e;
  }
  // "300 a" when C reads 300 records whose Val is "a".
  std::string Values(std::uint32_t C) {
    Record r = Rec(C);
    std::map<std::string, int> seen;
    DBIResult e = engine.SetToBegin(C);
    while (e == 0 && (e = engine.RecordGetNext(C, 0, r.Data())) == 0) ++seen[r.GetStr(1)];
    std::string out = e == qnresAtEOF ? "" : "answer " + std::to_string(e);
    for (const auto& [value, count] : seen) out += (out.empty() ? "" : " ") + std::to_string(count) + " " + value;
    return out;
  }
};

// Vals (Nr, Val) with 300 records whose Val is "a".
void MakeValues(const std::string& Folder) {
  Session s(Folder);
  TqnDataDictionary d(4096);
  d.AddField("Nr", "", qftInt32, 0, 0, true);
  d.AddField("Val", "", qftShortString, 10, 0, false);
  d.AddIndex("ByNr", "", 0, {0}, false, true, false);
  ASSERT_EQ(s.engine.BuildTable(s.db, false, "Vals", d), 0);
  const std::uint32_t c = s.Open(s.db);
  std::uint32_t t = 0;
  ASSERT_EQ(s.engine.TransactionStart(s.db, false, t), 0);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(s.engine.RecordInsert(c, 0, s.Rec(c).I32(0, i).Str(1, "a").Data()), 0);
  ASSERT_EQ(s.engine.TransactionCommit(t), 0);
}

struct Ending {
  const char* What;
  bool FailSafe;
  bool Early;  // its blocks are written early (as batch inserts and rebuilds do)
  bool Commit;
};

// A transaction sets every record to "b", then adds one (so its header page changes after the
// early writes), and ends as E says with Fault armed at its Nth write; the end's answer.
DBIResult EndWith(Session& S, const Ending& E, TFault Fault, int N) {
  const std::uint32_t c = S.Open(S.db);
  std::uint32_t t = 0;
  EXPECT_EQ(S.engine.TransactionStart(S.db, E.FailSafe, t), 0);
  EXPECT_EQ(S.SetAll(c, "b"), 0);
  if (E.Early) {
    EXPECT_EQ(S.engine.TransactionCommitChanges(t), 0);
  }
  EXPECT_EQ(S.engine.RecordInsert(c, 0, S.Rec(c).I32(0, 300).Str(1, "b").Data()), 0);
  S.faulty.Arm(Fault, N);
  const DBIResult r = E.Commit ? S.engine.TransactionCommit(t) : S.engine.TransactionRollback(t);
  S.faulty.Disarm();
  return r;
}

// A later transaction sets every record to "c" and commits; the session and then a fresh engine
// read Expected, and no journal is left once the fresh engine has opened the table.
void CommitLaterAndReopen(std::unique_ptr<Session> S, const std::string& Expected) {
  const std::uint32_t c = S->Open(S->db);
  std::uint32_t t = 0;
  ASSERT_EQ(S->engine.TransactionStart(S->db, false, t), 0);
  ASSERT_EQ(S->SetAll(c, "c"), 0);
  ASSERT_EQ(S->engine.TransactionCommit(t), 0);
  EXPECT_EQ(S->Values(c), Expected);
  const std::string folder = S->folder;
  S.reset();
  Session fresh(folder);
  EXPECT_EQ(fresh.Values(fresh.Open(fresh.db)), Expected);
  for (const auto& f : std::filesystem::directory_iterator(folder)) EXPECT_NE(f.path().extension(), ".QN$");
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
    int n = 0;  // the end's first deletion among its writes (deletes count as writes)
    {
      ScratchFolder f;
      MakeValues(f.Path());
      Session s(f.Path());
      EndWith(s, e, TFault::None, 0);
      n = static_cast<int>(s.faulty.Trace().find('n')) + 1;
    }
    ScratchFolder f;
    MakeValues(f.Path());
    auto s = std::make_unique<Session>(f.Path());
    EXPECT_EQ(EndWith(*s, e, TFault::FailWrite, n), 0);
    EXPECT_TRUE(s->faulty.Fired());
    CommitLaterAndReopen(std::move(s), e.Commit ? "301 c" : "300 c");
  }
}

// The undo of the early writes fails at its first write: the rollback stands (answered done),
// and the cursors open on the table, of both clients, read every committed record at once.
TEST(RollbackJournals, AfterARollbackWhoseUndoFailedTheOpenCursorsReadEveryCommittedRecord) {
  for (const bool failSafe : {false, true}) {
    SCOPED_TRACE(failSafe ? "fail-safe" : "normal");
    ScratchFolder f;
    MakeValues(f.Path());
    auto s = std::make_unique<Session>(f.Path());
    const std::uint32_t reader = s->Open(s->db), other = s->Open(s->Attach(2));
    EXPECT_EQ(EndWith(*s, {"", failSafe, true, false}, TFault::FailWrite, 1), 0);
    EXPECT_TRUE(s->faulty.Fired());
    EXPECT_EQ(s->Values(reader), "300 a");
    EXPECT_EQ(s->Values(other), "300 a");
    CommitLaterAndReopen(std::move(s), "300 c");
  }
}

}  // namespace
}  // namespace tw::dbengine::testing
