// A transaction's journal whose deletion, or the undo of the blocks written early, fails: it is
// never applied over a later commit, and the cursors open on its table read it again.  Each case
// goes on with a later commit and ends with a fresh engine reading the folder.
// And journals go by the folder they lie in, not by the spelling of its path: a symbolic link, a
// folder renamed while a transaction runs or after a process stopped.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "dbengine/server/tests/server_process.h"
#include "dbengine/server/tests/server_test_util.h"
#include "dbengine/storage/faulty_file_routines.h"
#include "dbengine/storage/tests/fork_alone.h"

namespace tw::dbengine::testing {
namespace {

using TFault = TqnFaultyFileRoutines::TFault;

// Sets Val of every record C reads to Value; 0 or the failure's answer.
DBIResult SetAllIn(TqnServerEngine& E, std::uint32_t C, const std::string& Value) {
  Record r(E.FindCursor(C)->Table->Dictionary());
  DBIResult e = E.SetToBegin(C);
  while (e == 0 && (e = E.RecordGetNext(C, 0, r.Data())) == 0) e = E.RecordModify(C, false, r.Str(1, Value).Data());
  return e == qnresAtEOF ? 0 : e;
}

// "300 a" when C reads 300 records whose Val is "a".
std::string ValuesIn(TqnServerEngine& E, std::uint32_t C) {
  Record r(E.FindCursor(C)->Table->Dictionary());
  std::map<std::string, int> seen;
  DBIResult e = E.SetToBegin(C);
  while (e == 0 && (e = E.RecordGetNext(C, 0, r.Data())) == 0) ++seen[r.GetStr(1)];
  std::string out = e == qnresAtEOF ? "" : "answer " + std::to_string(e);
  for (const auto& [value, count] : seen) out += (out.empty() ? "" : " ") + std::to_string(count) + " " + value;
  return out;
}

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
  // A cache of 6 pages (setting every wide record writes early), a cursor on Vals and a started
  // transaction T; the cursor.
  std::uint32_t BeginSmall(bool FailSafe, std::uint32_t& T) {
    engine.BufferManager().SetMaxPageCount(6);
    const std::uint32_t c = Open(db);
    T = 0;
    EXPECT_EQ(engine.TransactionStart(db, FailSafe, T), 0);
    return c;
  }
  Record Rec(std::uint32_t C) { return Record(engine.FindCursor(C)->Table->Dictionary()); }
  DBIResult SetAll(std::uint32_t C, const std::string& Value) { return SetAllIn(engine, C, Value); }
  // "300 a" when C reads 300 records whose Val is "a".
  std::string Values(std::uint32_t C) { return ValuesIn(engine, C); }
};

// Table Vals (Nr, Val) of S's database built, with 300 records whose Val (of Width characters)
// is Value.
void FillValues(Session& S, const std::string& Value, int Width) {
  TqnDataDictionary d(4096);
  d.AddField("Nr", "", qftInt32, 0, 0, true);
  d.AddField("Val", "", qftShortString, Width, 0, false);
  d.AddIndex("ByNr", "", 0, {0}, false, true, false);
  ASSERT_EQ(S.engine.BuildTable(S.db, false, "Vals", d), 0);
  const std::uint32_t c = S.Open(S.db);
  std::uint32_t t = 0;
  ASSERT_EQ(S.engine.TransactionStart(S.db, false, t), 0);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(S.engine.RecordInsert(c, 0, S.Rec(c).I32(0, i).Str(1, Value).Data()), 0);
  ASSERT_EQ(S.engine.TransactionCommit(t), 0);
  ASSERT_EQ(S.engine.CursorClose(c), 0);
}

// Vals with 300 records whose Val (of Width characters) is "a".
void MakeValues(const std::string& Folder, int Width = 10) {
  std::filesystem::create_directories(Folder);
  Session s(Folder);
  FillValues(s, "a", Width);
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

// The undo of the early writes fails at its first write: the rollback stands but says so, and
// the cursors open on the table, of both clients, read every committed record at once.
TEST(RollbackJournals, AfterARollbackWhoseUndoFailedTheOpenCursorsReadEveryCommittedRecord) {
  for (const bool failSafe : {false, true}) {
    SCOPED_TRACE(failSafe ? "fail-safe" : "normal");
    ScratchFolder f;
    MakeValues(f.Path());
    auto s = std::make_unique<Session>(f.Path());
    const std::uint32_t reader = s->Open(s->db), other = s->Open(s->Attach(2));
    EXPECT_NE(EndWith(*s, {"", failSafe, true, false}, TFault::FailWrite, 1), 0);
    EXPECT_TRUE(s->faulty.Fired());
    EXPECT_EQ(s->engine.TransactionCount(), 0);
    EXPECT_EQ(s->Values(reader), "300 a");
    EXPECT_EQ(s->Values(other), "300 a");
    CommitLaterAndReopen(std::move(s), "300 c");
  }
}

// ---- Journals and folders ----

constexpr int kWide = 250;  // 16 records to a block: setting all 300 spills a cache of 6 pages

// Every record of Folder set to Value in a transaction (cache Cache pages) whose commit the
// process does not outlive when N > 0: it stops at the commit's Nth write.  The commit's trace.
std::string CommitAll(const std::string& Folder, const std::string& Value, int N = 0, int Cache = 500) {
  Session s(Folder);
  s.engine.BufferManager().SetMaxPageCount(Cache);
  const std::uint32_t c = s.Open(s.db);
  std::uint32_t t = 0;
  EXPECT_EQ(s.engine.TransactionStart(s.db, false, t), 0);
  EXPECT_EQ(s.SetAll(c, Value), 0);
  s.faulty.Arm(N > 0 ? TFault::Stop : TFault::None, N);
  EXPECT_EQ(s.engine.TransactionCommit(t), 0) << "decided";
  return s.faulty.Trace();
}

// What a fresh engine reads in Folder, then the table checker's findings and the journals left.
std::string ReadAfresh(const std::string& Folder) {
  std::string out;
  {
    Session s(Folder);
    out = s.Values(s.Open(s.db));
  }
  out += Joined(QNCheckTableFile(Folder + "/Vals.QND"));
  for (const auto& f : std::filesystem::directory_iterator(Folder))
    if (f.path().extension() == ".QN$") out += " journal " + f.path().filename().string();
  return out;
}

// Runs Work in a child process that ends without any clean-up; true when Work answered true.
bool InChild(const std::function<bool()>& Work) {
  const pid_t pid = ForkAlone();
  if (pid == 0) ::_exit(Work() ? 0 : 1);
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A commit decided by an engine that stopped before its journal went (its tables written) is
// replayed before anything else uses the table, whether the engines reach the folder by its path
// or through a symbolic link: the next commit through the other spelling is never undone by it.
TEST(FolderJournals, ADecidedCommitIsReplayedFirstUnderEverySpelling) {
  for (const bool viaLinkFirst : {false, true}) {
    SCOPED_TRACE(viaLinkFirst ? "link, then path" : "path, then link");
    ScratchFolder base;
    MakeValues(base.File("dry"), kWide);
    const int last = static_cast<int>(CommitAll(base.File("dry"), "k").size());
    const std::string path = base.File("db"), link = base.File("link");
    MakeValues(path, kWide);
    std::filesystem::create_directory_symlink(path, link);
    const std::string first = viaLinkFirst ? link : path, second = viaLinkFirst ? path : link;
    CommitAll(first, "k", last);
    CommitAll(second, "l");
    EXPECT_EQ(ReadAfresh(first), "300 l");
  }
}

// A transaction that wrote early is rolled back after its folder was renamed and another made at
// its path: the rollback undoes the early writes in its own folder, and touches no other.
TEST(FolderJournals, ARollbackUndoesTheEarlyWritesInTheFolderThatMoved) {
  for (const bool failSafe : {false, true}) {
    SCOPED_TRACE(failSafe ? "fail-safe" : "normal");
    ScratchFolder base;
    const std::string path = base.File("db"), moved = base.File("moved");
    MakeValues(path, kWide);
    {
      Session s(path);
      std::uint32_t t = 0;
      const std::uint32_t c = s.BeginSmall(failSafe, t);
      ASSERT_EQ(s.SetAll(c, "b"), 0);
      ASSERT_GT(s.engine.BufferManager().Spills(), 0u);
      std::filesystem::rename(path, moved);
      MakeValues(path, kWide);
      CommitAll(path, "z");
      EXPECT_EQ(s.engine.TransactionRollback(t), 0);
      EXPECT_EQ(s.Values(c), "300 a");
    }
    EXPECT_EQ(ReadAfresh(moved), "300 a");
    EXPECT_EQ(ReadAfresh(path), "300 z");
  }
}

// A transaction whose folder is renamed away, with another folder holding the same table put at
// its path, goes on in its own directory and never reaches the other.  After its process dies
// each folder reads what was committed in it.
TEST(FolderJournals, ATransactionWhoseFolderIsMovedAndReplacedKeepsToItsDirectory) {
  for (const bool failSafe : {false, true}) {
    SCOPED_TRACE(failSafe ? "fail-safe" : "normal");
    ScratchFolder base;
    const std::string path = base.File("db"), moved = base.File("moved"), other = base.File("other");
    MakeValues(path, kWide);
    MakeValues(other, kWide);
    CommitAll(other, "z");
    EXPECT_TRUE(InChild([&] {
      Session s(path);
      std::uint32_t t = 0;
      const std::uint32_t c = s.BeginSmall(failSafe, t);
      std::filesystem::rename(path, moved);
      std::filesystem::rename(other, path);
      // Its early writes and their journal go to its own directory; it dies uncommitted.
      return s.SetAll(c, "b") == 0;
    })) << "the changes were taken";
    EXPECT_EQ(ReadAfresh(moved), "300 a");
    EXPECT_EQ(ReadAfresh(path), "300 z");
  }
}

// A folder renamed while a database holds it (a table open) is served at its new path.
TEST(FolderJournals, AFolderRenamedWhileOpenIsServedAtItsNewPath) {
  ScratchFolder base;
  const std::string path = base.File("db"), moved = base.File("moved");
  MakeValues(path, kWide);
  {
    Session s(path);
    const std::uint32_t old = s.Open(s.db);
    std::filesystem::rename(path, moved);
    std::uint32_t d = 0, t = 0;
    ASSERT_EQ(s.engine.DatabaseOpenNoAlias(1, moved, 1, 1, d), 0);
    const std::uint32_t c = s.Open(d);
    ASSERT_EQ(s.engine.TransactionStart(d, false, t), 0);
    EXPECT_EQ(s.SetAll(c, "m"), 0);
    EXPECT_EQ(s.engine.TransactionCommit(t), 0);
    EXPECT_EQ(s.Values(old), "300 m");
    TqnDataDictionary dict(4096);
    dict.AddField("Nr", "", qftInt32, 0, 0, true);
    EXPECT_EQ(s.engine.BuildTable(d, false, "More", dict), 0);
  }
  EXPECT_TRUE(std::filesystem::exists(moved + "/More.QND"));
  EXPECT_EQ(ReadAfresh(moved), "300 m");
}

// A decided commit of a spilled transaction whose engine stopped two writes before its journal
// went, in a folder renamed since: opened at its new path the table is refused while the replay
// fails, and read whole once it succeeds; the journal is never dropped unapplied.
TEST(FolderJournals, AJournalIsReplayedInTheFolderItLiesInWhateverItsPath) {
  ScratchFolder base;
  MakeValues(base.File("dry"), kWide);
  const std::string trace = CommitAll(base.File("dry"), "b", 0, 6);
  ASSERT_NE(trace.find('n'), std::string::npos);
  const std::string path = base.File("db"), moved = base.File("moved");
  MakeValues(path, kWide);
  CommitAll(path, "b", static_cast<int>(trace.find('n')) - 1, 6);
  std::filesystem::rename(path, moved);
  {
    Session s(moved);
    std::uint32_t c = 0;
    s.faulty.Arm(TFault::FailWrite, 1);
    EXPECT_NE(s.engine.OpenTable(s.db, "Vals", "", 1, 1, 1, c, nullptr), 0) << "the replay failed";
    s.faulty.Disarm();
  }
  EXPECT_EQ(ReadAfresh(moved), "300 b");
}

// ---- A journal held by a failed rollback; folders reached through their handles ----

// A normal transaction sets every record to "b", writing early (a cache of 6 pages), and its
// rollback's first write fails: the rollback answers 15373 (the table stays closed until the
// journal is applied) and holds its journal.  The cursor is closed, so the table is no longer
// open.
void FailRollback(Session& S) {
  std::uint32_t t = 0;
  const std::uint32_t c = S.BeginSmall(false, t);
  ASSERT_EQ(S.SetAll(c, "b"), 0);
  S.faulty.Arm(TFault::FailWrite, 1);
  EXPECT_EQ(S.engine.TransactionRollback(t), 15373);
  S.faulty.Disarm();
  ASSERT_EQ(S.engine.BufferManager().HeldJournalCount(), 1);
  ASSERT_EQ(S.engine.CursorClose(c), 0);
}

// The table is deleted and made again under its name while the journal waits: the delete applies
// the journal first (and is refused, with the journal's own code, while that fails), so the rows
// acknowledged in the new table are what the next start reads.
TEST(HeldJournals, ATableMadeAgainUnderItsNameNeverReceivesTheOldImages) {
  ScratchFolder f;
  MakeValues(f.Path(), kWide);
  {
    Session s(f.Path());
    FailRollback(s);
    s.faulty.Arm(TFault::FailWrite, 1);
    EXPECT_EQ(s.engine.DeleteTable(s.db, "Vals"), 15373);
    s.faulty.Disarm();
    EXPECT_TRUE(std::filesystem::exists(f.File("Vals.QND")));
    ASSERT_EQ(s.engine.DeleteTable(s.db, "Vals"), 0);
    FillValues(s, "n", kWide);
    EXPECT_EQ(s.Values(s.Open(s.db)), "300 n");
  }
  EXPECT_EQ(ReadAfresh(f.Path()), "300 n");
}

// The held journal binds servers of other processes too.  Its folder stays claimed by the holder
// after the holder's database closed (the journal could not be applied then either): a server of
// another process is refused the folder, so it never reads the rolled-back rows nor commits
// anything the journal could later undo.  Once the holder has applied it and closed the folder,
// the other process works there, and its commit stands.
TEST(HeldJournals, AHeldJournalKeepsServersOfOtherProcessesOut) {
  ScratchFolder f;
  MakeValues(f.Path(), kWide);
  const std::string path = f.Path();
  const FarStep openFolder = [path](Far& o) { return o.E.DatabaseOpenNoAlias(1, path, 1, 1, o.Db); };
  ServerProcess other({openFolder, openFolder,
                       [](Far& o) { return o.E.OpenTable(o.Db, "Vals", "", 1, 1, 1, o.Cur, nullptr); },
                       [](Far& o) {
                         DBIResult e = o.E.TransactionStart(o.Db, false, o.Trans);
                         if (e == 0) e = SetAllIn(o.E, o.Cur, "c");
                         return e != 0 ? e : o.E.TransactionCommit(o.Trans);
                       }});
  auto s = std::make_unique<Session>(path);
  FailRollback(*s);
  s->faulty.Arm(TFault::FailWrite, 1);
  ASSERT_EQ(s->engine.DatabaseClose(s->db), 0);
  s->faulty.Disarm();
  ASSERT_EQ(s->engine.BufferManager().HeldJournalCount(), 1);
  EXPECT_EQ(other.Next(), qnresFolderServedElsewhere) << "the journal waits";
  std::uint32_t d = 0;
  ASSERT_EQ(s->engine.DatabaseOpenNoAlias(1, path, 1, 1, d), 0);
  EXPECT_EQ(s->Values(s->Open(d)), "300 a");
  EXPECT_EQ(s->engine.BufferManager().HeldJournalCount(), 0);
  ASSERT_EQ(s->engine.DatabaseClose(d), 0);
  EXPECT_EQ(other.Next(), 0) << "the journal is applied and the folder let go";
  EXPECT_EQ(other.Next(), 0);
  EXPECT_EQ(other.Next(), 0) << "the other process's commit";
  other.End();
  s.reset();
  EXPECT_EQ(ReadAfresh(path), "300 c");
}

// The holder's folder is closed while the journal still cannot be applied; then the fault goes.
// The holder's next request of any kind applies the journal and lets the folder go: a server of
// another process is not kept out for as long as the holder lives.
TEST(HeldJournals, AKeptFolderIsLetGoOnceTheJournalCanBeApplied) {
  ScratchFolder f;
  MakeValues(f.Path(), kWide);
  const std::string path = f.Path();
  const FarStep openFolder = [path](Far& o) { return o.E.DatabaseOpenNoAlias(1, path, 1, 1, o.Db); };
  ServerProcess other({openFolder, openFolder, [](Far& o) {
                         DBIResult e = o.E.OpenTable(o.Db, "Vals", "", 1, 1, 1, o.Cur, nullptr);
                         return e != 0 ? e : (ValuesIn(o.E, o.Cur) == "300 a" ? 0 : kNoAnswer);
                       }});
  Session s(path);
  FailRollback(s);
  s.faulty.Arm(TFault::FailWrite, 1);
  ASSERT_EQ(s.engine.DatabaseClose(s.db), 0);
  s.faulty.Disarm();
  EXPECT_EQ(other.Next(), qnresFolderServedElsewhere) << "the journal waits";
  std::uint32_t hash = 0;
  ASSERT_EQ(s.engine.ClientAdd(2, "another", "", hash), 0);
  EXPECT_EQ(s.engine.BufferManager().HeldJournalCount(), 0);
  EXPECT_EQ(other.Next(), 0) << "the journal is applied and the folder let go";
  EXPECT_EQ(other.Next(), 0) << "the rolled-back rows are gone";
}

// The same for another engine of the holder's own process (which shares its folder claims): it
// meets the held journal in use and cannot apply it, so its open is refused with the journal's
// code until the holder has applied it; nothing it reads or commits is ever undone by it.
TEST(HeldJournals, AnotherEngineOfTheProcessIsRefusedTheTableWhileTheJournalWaits) {
  ScratchFolder f;
  MakeValues(f.Path(), kWide);
  Session s(f.Path());
  FailRollback(s);
  TqnServerEngine other;  // through the session's file routines, which outlive it
  std::uint32_t hash = 0, db = 0, c = 0;
  ASSERT_EQ(other.ClientAdd(1, "other", "", hash), 0);
  ASSERT_EQ(other.DatabaseOpenNoAlias(1, f.Path(), 1, 1, db), 0);
  EXPECT_EQ(other.OpenTable(db, "Vals", "", 1, 1, 1, c, nullptr), 15373);
  EXPECT_EQ(s.Values(s.Open(s.db)), "300 a");
  ASSERT_EQ(other.OpenTable(db, "Vals", "", 1, 1, 1, c, nullptr), 0);
  EXPECT_EQ(ValuesIn(other, c), "300 a");
}

// Once the fault is gone the table opens for writing again in the same process, at its path and
// at the path its folder was renamed to, without a restart.
TEST(HeldJournals, AfterAFailedRollbackTheTableOpensAgainOnceTheFaultIsGone) {
  ScratchFolder base;
  const std::string path = base.File("db"), moved = base.File("moved");
  MakeValues(path, kWide);
  Session s(path);
  FailRollback(s);
  std::uint32_t c = 0;
  s.faulty.Arm(TFault::FailWrite, 1);
  EXPECT_EQ(s.engine.OpenTable(s.db, "Vals", "", 1, 1, 1, c, nullptr), 15373) << "the journal still waits";
  s.faulty.Disarm();
  std::filesystem::rename(path, moved);
  std::uint32_t d = 0;
  ASSERT_EQ(s.engine.DatabaseOpenNoAlias(1, moved, 1, 1, d), 0);
  EXPECT_EQ(s.Values(s.Open(d)), "300 a");
  EXPECT_EQ(s.Values(s.Open(s.db)), "300 a");
  EXPECT_EQ(s.engine.BufferManager().HeldJournalCount(), 0);
}

// A fail-safe transaction goes on through a rename of its folder and an open at the new path, and
// its process dies: the next open rolls it back, whatever paths its journal's images hold.
TEST(FolderJournals, AFailSafeTransactionAcrossARenameIsRolledBackAfterACrash) {
  ScratchFolder base;
  const std::string path = base.File("db"), moved = base.File("moved");
  MakeValues(path, kWide);
  EXPECT_TRUE(InChild([&] {
    Session s(path);
    const std::uint32_t c = s.Open(s.db);
    std::uint32_t t = 0, d = 0;
    s.engine.TransactionStart(s.db, true, t);
    Record r = s.Rec(c);
    DBIResult e = s.engine.SetToBegin(c);
    for (int i = 0; e == 0 && i < 150 && (e = s.engine.RecordGetNext(c, 0, r.Data())) == 0; ++i)
      e = s.engine.RecordModify(c, false, r.Str(1, "b").Data());
    std::filesystem::rename(path, moved);
    if (e == 0) e = s.engine.DatabaseOpenNoAlias(1, moved, 1, 1, d);
    if (e == 0) s.Open(d);
    while (e == 0 && (e = s.engine.RecordGetNext(c, 0, r.Data())) == 0)
      e = s.engine.RecordModify(c, false, r.Str(1, "b").Data());
    return e == qnresAtEOF;
  }));
  EXPECT_EQ(ReadAfresh(moved), "300 a");
}

// Two folders exchange names (forced through the file routines) as a table of one is looked up,
// and again as a commit makes its journal: the database reads its own table, and the journal lies
// beside the tables it is for.  The other folder receives nothing.
TEST(FolderJournals, TwoFoldersThatExchangeNamesNeverReachEachOthersFiles) {
  ScratchFolder base;
  const std::string a = base.File("a"), b = base.File("b");
  MakeValues(a, kWide);
  MakeValues(b, kWide);
  CommitAll(b, "z");
  EXPECT_TRUE(InChild([&] {
    // The names are exchanged the first time the table's file, and a commit journal, are named.
    std::set<std::string> exchanged;
    // Never ended: the process dies with its kept commit journal where it was made.
    Session& s = *new Session(a);
    s.faulty.BeforeName([&](const std::string& Name) {
      const std::string file = Name.substr(Name.find_last_of('/') + 1);
      const std::string at = file == "Vals.QND" ? "open" : file.rfind("QNC", 0) == 0 ? "commit" : "";
      if (!at.empty() && exchanged.insert(at).second)
        ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE);
    });
    const std::uint32_t c = s.Open(s.db);
    std::uint32_t t = 0;
    return s.Values(c) == "300 a" && s.engine.TransactionStart(s.db, false, t) == 0 && s.SetAll(c, "b") == 0 &&
           s.engine.TransactionCommit(t) == 0;
  }));
  // Two exchanges: each folder is at its own path again.
  int journals = 0;
  for (const auto& f : std::filesystem::directory_iterator(b)) journals += f.path().extension() == ".QN$";
  EXPECT_EQ(journals, 0) << "no journal in the other folder";
  EXPECT_EQ(ReadAfresh(a), "300 b");
  EXPECT_EQ(ReadAfresh(b), "300 z");
}

// A fail-safe transaction that writes early in a folder removed meanwhile: its changes and its
// commit answer 10018, not an engine error, and nothing of it stands.
TEST(FolderJournals, ATransactionInARemovedFolderIsRefusedWith10018) {
  ScratchFolder base;
  const std::string path = base.File("db");
  MakeValues(path, kWide);
  Session s(path);
  std::uint32_t t = 0;
  const std::uint32_t c = s.BeginSmall(true, t);
  std::filesystem::remove_all(path);
  EXPECT_EQ(s.SetAll(c, "b"), qnresInvalidDirectory);
  EXPECT_EQ(s.engine.TransactionCommit(t), qnresInvalidDirectory);
  EXPECT_EQ(s.engine.TransactionRollback(t), 0);
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace tw::dbengine::testing
