#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dbengine/storage/tests/fork_alone.h"
#include "dbengine//server/folder_claim.h"
#include "dbengine/base/names.h"
#include "dbengine/base/requestlimits.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/storage/faulty_file_routines.h"
#include "dbengine/storage/file_routines.h"
#include "platform/classes/streams.h"
#include "platform/rtl/files.h"
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <functional>

#include "server_test_util.h"
#include "dbengine/server/tests/server_process.h"

namespace tw::dbengine::testing {
namespace {

// ---- Clients, sessions, databases, transactions ----

using Engine = EngineFixture;

TEST_F(Engine, IdsOfFreedOrForeignObjectsAreRefused) {
  Build("People", PeopleDictionary);
  const std::uint32_t c = Open("People");
  EXPECT_EQ(engine->CursorClose(c), 0);
  EXPECT_EQ(engine->CursorClose(c), qnresInvalidHandle);
  EXPECT_EQ(engine->SetToBegin(c), qnresInvalidHandle);
  EXPECT_EQ(engine->SetToBegin(db), qnresInvalidHandle) << "a database id is no cursor id";
  EXPECT_EQ(engine->DatabaseClose(c), qnresInvalidHandle);
  EXPECT_EQ(engine->DatabaseClose(0), qnresInvalidHandle);
  std::uint32_t s = 0;
  EXPECT_EQ(engine->SessionAdd(77, s), qnresInvalidHandle);
  EXPECT_EQ(s, 0u);
}

TEST_F(Engine, TablesLiveWhileTheyHaveCursorsAndDatabaseCloseFreesItsCursors) {
  Build("People", PeopleDictionary);
  const std::uint32_t a = Open("People"), b = Open("People");
  EXPECT_EQ(engine->TableCount(), 1);
  ASSERT_EQ(engine->AcqTableLock(a, 1), 0);
  EXPECT_EQ(engine->CursorClose(a), 0);
  EXPECT_EQ(engine->TableCount(), 1);
  bool locked = false;
  EXPECT_EQ(engine->IsTableLocked(b, 1, locked), 0);
  EXPECT_TRUE(locked) << "the session's lock stays with the table";
  std::uint32_t db2 = 0;
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db2), 0);
  std::uint32_t other = 0;
  ASSERT_EQ(engine->OpenTable(db2, "People", "", 0, 1, 1, other, nullptr), 0);
  EXPECT_EQ(engine->DatabaseClose(db), 0);
  EXPECT_EQ(engine->SetToBegin(b), qnresInvalidHandle);
  EXPECT_EQ(engine->SetToBegin(other), 0);
  EXPECT_EQ(engine->TableCount(), 1);
  EXPECT_EQ(engine->DatabaseClose(db2), 0);
  EXPECT_EQ(engine->TableCount(), 0);
  EXPECT_EQ(engine->CursorCount(), 0);
}

TEST_F(Engine, ClientRemovalFreesEverythingItOpened) {
  Build("People", PeopleDictionary);
  Open("People");
  std::uint32_t s = 0, db2 = 0;
  ASSERT_EQ(engine->SessionAdd(1, s), 0);
  ASSERT_EQ(engine->SessionSetCurrent(1, s), 0);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db2), 0);
  engine->ClientRemove(1);
  EXPECT_EQ(engine->ClientCount(), 0);
  EXPECT_EQ(engine->DatabaseCount(), 0);
  EXPECT_EQ(engine->CursorCount(), 0);
  EXPECT_EQ(engine->TableCount(), 0);
}

// A session's table locks, read and write, go when the session ends, closed or with its
// client: the table stays open for another client, whose changes then go through.
TEST_F(Engine, TableLocksGoWithTheirSession) {
  Build("People", PeopleDictionary);
  const std::uint32_t keeper = OpenIn(SecondClient(), "People", 0);
  Record r(Dict(keeper));
  std::uint32_t s = 0, d = 0;
  ASSERT_EQ(engine->SessionAdd(1, s), 0);
  ASSERT_EQ(engine->SessionSetCurrent(1, s), 0);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, d), 0);
  ASSERT_EQ(engine->AcqTableLock(OpenIn(d, "People", 0), 2), 0);
  EXPECT_EQ(engine->RecordInsert(keeper, 0, r.Str(1, "Ann").Data()), qnresFileLocked);
  ASSERT_EQ(engine->SessionClose(1, s), 0);
  EXPECT_EQ(engine->RecordInsert(keeper, 0, r.Data()), 0);
  ASSERT_EQ(engine->AcqTableLock(Open("People"), 1), 0);
  EXPECT_EQ(engine->RecordInsert(keeper, 0, r.Str(1, "Bob").Data()), qnresFileLocked);
  engine->ClientRemove(1);
  EXPECT_EQ(engine->RecordInsert(keeper, 0, r.Data()), 0);
  EXPECT_EQ(engine->AcqTableLock(keeper, 2), 0);
}

TEST_F(Engine, SessionsFallBackToTheDefaultWhenTheCurrentOneCloses) {
  std::uint32_t def = 0, s = 0, cur = 0;
  ASSERT_EQ(engine->SessionGetCurrent(1, def), 0);
  ASSERT_NE(def, 0u);
  ASSERT_EQ(engine->SessionAdd(1, s), 0);
  ASSERT_EQ(engine->SessionSetCurrent(1, s), 0);
  ASSERT_EQ(engine->SessionGetCurrent(1, cur), 0);
  EXPECT_EQ(cur, s);
  ASSERT_EQ(engine->SessionClose(1, s), 0);
  ASSERT_EQ(engine->SessionGetCurrent(1, cur), 0);
  EXPECT_EQ(cur, def);
  EXPECT_EQ(engine->SessionSetCurrent(1, s), qnresInvalidHandle);
  ASSERT_EQ(engine->SessionClose(1, def), 0);
  ASSERT_EQ(engine->SessionGetCurrent(1, cur), 0);
  EXPECT_EQ(cur, 0u);
  std::uint32_t d = 0;
  EXPECT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, d), qnresInvalidHandle);
}

TEST_F(Engine, DatabasesOpenByAliasAndFolderWithShareRules) {
  std::uint32_t d = 0, hash = 0;
  EXPECT_EQ(engine->DatabaseOpen(1, "Nowhere", 1, 1, d), qnresUnknownDatabase);
  ASSERT_EQ(engine->DatabaseAddAlias("Tidewell", folder.Path()), 0);
  EXPECT_EQ(engine->DatabaseAddAlias("TIDEWELL", folder.Path()), 10009);
  EXPECT_EQ(engine->DatabaseOpenNoAlias(1, folder.File("missing"), 1, 1, d), qnresInvalidDirectory);
  EXPECT_EQ(engine->DatabaseOpenNoAlias(1, "", 1, 1, d), qnresInvalidDirectory);
  ASSERT_EQ(engine->ClientAdd(2, "other", "", hash), 0);
  std::uint32_t ex = 0;
  EXPECT_EQ(engine->DatabaseOpen(2, "Tidewell", 1, 0, ex), qnresNeedExclusive)
      << "exclusive beside another client's shared database";
  EXPECT_EQ(engine->DatabaseOpen(2, "Tidewell", 1, 1, ex), 0);
}

// ---- Servers of other processes on one folder ----

FarStep OpenFolder(const std::string& Path) {
  return [Path](Far& f) { return f.E.DatabaseOpenNoAlias(1, Path, 1, 1, f.Db); };
}
FarStep OpenPeople(std::uint8_t ReadWrite) {
  return [ReadWrite](Far& f) { return f.E.OpenTable(f.Db, "People", "", 0, ReadWrite, 1, f.Cur, nullptr); };
}
FarStep CloseCursor() {
  return [](Far& f) { return f.E.CursorClose(f.Cur); };
}
// Answers the number of records the cursor's table holds (or the failure's code).
FarStep CountRecords() {
  return [](Far& f) {
    std::uint32_t n = 0;
    const DBIResult r = f.E.GetTableRecCount(f.Cur, n);
    return r != 0 ? r : static_cast<DBIResult>(n);
  };
}
FarStep InsertPerson(const std::string& Name) {
  return [Name](Far& f) {
    Record r(f.E.FindCursor(f.Cur)->Table->Dictionary());
    r.Str(1, Name).I32(2, 0);
    return f.E.RecordInsert(f.Cur, 0, r.Data());
  };
}
FarStep StartTransaction(bool FailSafe) {
  return [FailSafe](Far& f) { return f.E.TransactionStart(f.Db, FailSafe, f.Trans); };
}
// The process dies on the spot, leaving whatever it had on disk.
FarStep Die() {
  return [](Far&) -> DBIResult { ::_exit(0); };
}

bool FolderHoldsJournal(const ScratchFolder& F) {
  for (const auto& e : std::filesystem::directory_iterator(F.Path()))
    if (e.path().extension() == ".QN$") return true;
  return false;
}

class SharedFolder : public EngineFixture {
 protected:
  // The People table with the records of Names; then the fixture's database is closed, so that
  // this process holds no claim on the folder.
  void MakePeople(const std::vector<std::string>& Names) {
    Build("People", PeopleDictionary);
    const std::uint32_t c = Open("People");
    for (const std::string& n : Names) {
      Record r(Dict(c));
      r.Str(1, n).I32(2, 0);
      ASSERT_EQ(engine->RecordInsert(c, 0, r.Data()), 0);
    }
    ASSERT_EQ(engine->DatabaseClose(db), 0);
    db = 0;
  }
  std::uint32_t RecordsHere() {
    std::uint32_t c = 0, n = 0;
    EXPECT_EQ(engine->OpenTable(db, "People", "", 0, 0, 1, c, nullptr), 0);
    EXPECT_EQ(engine->GetTableRecCount(c, n), 0);
    engine->CursorClose(c);
    return n;
  }
};

// Servers of several processes read one folder at once.  One that would change the folder
// must have it alone: while another process reads there it is refused with 10246, changes
// nothing and reads on; while it writes, every other process is refused.
TEST_F(SharedFolder, IsReadByServersOfManyProcessesAndChangedByOneAlone) {
  Build("People", PeopleDictionary);
  {
    const std::uint32_t c = Open("People");
    Record r(Dict(c));
    r.Str(1, "Ada").I32(2, 0);
    ASSERT_EQ(engine->RecordInsert(c, 0, r.Data()), 0);
  }
  // This process has written: the folder is its alone while it uses it.  A second database of
  // the process on the folder is served.
  std::uint32_t second = 0;
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path() + "/", 1, 1, second), 0);
  ASSERT_EQ(engine->DatabaseClose(second), 0);
  {
    ServerProcess late({OpenFolder(folder.Path())});
    EXPECT_EQ(late.Next(), qnresFolderServedElsewhere) << "a reader while another process writes";
  }
  // Opened anew and only read here: another process reads beside it.
  ASSERT_EQ(engine->DatabaseClose(db), 0);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db), 0);
  const std::uint32_t mine = Open("People", 0, 0);
  const std::vector<std::pair<std::string, FarStep>> changes = {
      {"open for writing", OpenPeople(1)},
      {"transaction", StartTransaction(false)},
      {"fail-safe transaction", StartTransaction(true)},
      {"build", [](Far& f) {
         TqnDataDictionary d(4096);
         PeopleDictionary(d);
         return f.E.BuildTable(f.Db, false, "Fresh", d);
       }},
      {"build over", [](Far& f) {
         TqnDataDictionary d(4096);
         PeopleDictionary(d);
         return f.E.BuildTable(f.Db, true, "People", d);
       }},
      {"delete", [](Far& f) { return f.E.DeleteTable(f.Db, "People"); }},
      {"rename", [](Far& f) { return f.E.RenameTable(f.Db, "People", "Moved"); }},
      {"empty", [](Far& f) { return f.E.EmptyTable(f.Db, 0, "People"); }},
      {"add index", [](Far& f) {
         std::uint32_t db = 0;
         std::string name;
         return f.E.AddIndex(f.Db, 0, "People", OneFieldIndex("ByGrp", 2, true), db, name);
       }},
      {"drop index", [](Far& f) { return f.E.DropIndex(f.Db, 0, "People", "ByGroup", 0); }},
      {"reindex", [](Far& f) {
         std::int32_t id = -1;
         return f.E.ReindexTable(f.Db, "People", "ByName", 0, id);
       }},
      {"pack", [](Far& f) {
         std::int32_t id = -1;
         return f.E.PackTable(f.Db, "People", id);
       }},
  };
  std::vector<FarStep> steps = {OpenFolder(folder.Path()), OpenPeople(0), CountRecords(), CloseCursor()};
  for (const auto& change : changes) steps.push_back(change.second);
  steps.push_back(OpenPeople(0));
  steps.push_back(CountRecords());
  ServerProcess reader(steps);
  EXPECT_EQ(reader.Next(), 0);
  EXPECT_EQ(reader.Next(), 0) << "two processes read one table at once";
  EXPECT_EQ(reader.Next(), 1);
  EXPECT_EQ(reader.Next(), 0);
  for (const auto& change : changes) EXPECT_EQ(reader.Next(), qnresFolderServedElsewhere) << change.first;
  EXPECT_EQ(reader.Next(), 0) << "the refused process reads on";
  EXPECT_EQ(reader.Next(), 1);
  // Nothing changed.
  std::uint32_t n = 0;
  EXPECT_EQ(engine->GetTableRecCount(mine, n), 0);
  EXPECT_EQ(n, 1u);
  EXPECT_FALSE(folder.Exists("Fresh.QND"));
  EXPECT_FALSE(folder.Exists("Moved.QND"));
  EXPECT_FALSE(FolderHoldsJournal(folder));
  EXPECT_EQ(Joined(Check("People")), "");
  // The same for this process while the other one reads.
  ASSERT_EQ(engine->CursorClose(mine), 0);
  std::uint32_t rw = 0, t = 0;
  EXPECT_EQ(engine->OpenTable(db, "People", "", 0, 1, 1, rw, nullptr), qnresFolderServedElsewhere);
  EXPECT_EQ(engine->TransactionStart(db, false, t), qnresFolderServedElsewhere);
  EXPECT_EQ(engine->TransactionCount(), 0);

  // The reader's refused attempts left it a reader: a third process still may not write.
  ASSERT_EQ(engine->DatabaseClose(db), 0);
  db = 0;
  ServerProcess writer({OpenFolder(folder.Path()), OpenPeople(1), OpenPeople(1), InsertPerson("Ben"), CountRecords()});
  EXPECT_EQ(writer.Next(), 0);
  EXPECT_EQ(writer.Next(), qnresFolderServedElsewhere) << "the reader is still there";
  reader.End();
  EXPECT_EQ(writer.Next(), 0) << "the folder is the writer's alone now";
  EXPECT_EQ(writer.Next(), 0);
  EXPECT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db), qnresFolderServedElsewhere)
      << "a reader while another process writes";
  EXPECT_EQ(db, 0u);
  EXPECT_EQ(writer.Next(), 2);
  writer.End();
  // Once the writer has gone, readers are served and see its change.
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db), 0);
  EXPECT_EQ(RecordsHere(), 2u);
  ServerProcess after({OpenFolder(folder.Path()), OpenPeople(0), CountRecords()});
  EXPECT_EQ(after.Next(), 0);
  EXPECT_EQ(after.Next(), 0);
  EXPECT_EQ(after.Next(), 2);
}

// A journal that an interrupted change left behind is finished before a table of the folder
// is read, which writes: the reader that finds it does so with the folder to itself for that
// moment.  While another process uses the folder nobody finishes it, and nothing is read.
TEST_F(SharedFolder, AJournalLeftBehindIsFinishedOnlyByAReaderWithTheFolderToItself) {
  ASSERT_NO_FATAL_FAILURE(MakePeople({"Ada"}));
  {
    ServerProcess crashing({OpenFolder(folder.Path()), OpenPeople(1), StartTransaction(true), InsertPerson("Ben"),
                            [](Far& f) { return f.E.TransactionCommitChanges(f.Trans); }, Die()});
    for (int i = 0; i < 5; ++i) ASSERT_EQ(crashing.Next(), 0) << i;
    EXPECT_EQ(crashing.Next(), kNoAnswer);
  }
  ASSERT_TRUE(FolderHoldsJournal(folder));
  ServerProcess reader({OpenFolder(folder.Path()), OpenPeople(0)});
  ASSERT_EQ(reader.Next(), 0);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db), 0);
  std::uint32_t c = 0;
  EXPECT_EQ(engine->OpenTable(db, "People", "", 0, 0, 1, c, nullptr), qnresFolderServedElsewhere);
  TMemoryStream dict;
  EXPECT_EQ(engine->GetTableDictionary(db, "People", dict), qnresFolderServedElsewhere);
  EXPECT_EQ(reader.Next(), qnresFolderServedElsewhere) << "the other reader is refused as well";
  EXPECT_TRUE(FolderHoldsJournal(folder));
  reader.End();
  // Alone now: the journal is finished (the uncommitted insert undone) and the table read.
  EXPECT_EQ(RecordsHere(), 1u);
  EXPECT_FALSE(FolderHoldsJournal(folder));
  EXPECT_EQ(Joined(Check("People")), "");
  // The moment is over: the folder is shared again.
  ServerProcess next({OpenFolder(folder.Path()), OpenPeople(0), CountRecords(), CloseCursor(), OpenPeople(1)});
  EXPECT_EQ(next.Next(), 0);
  EXPECT_EQ(next.Next(), 0);
  EXPECT_EQ(next.Next(), 1);
  EXPECT_EQ(next.Next(), 0);
  EXPECT_EQ(next.Next(), qnresFolderServedElsewhere);
}

// Two processes add to one number of one record, each through its own server and by turns as
// the folder lets them: every increment that was acknowledged is stored.
TEST_F(SharedFolder, IncrementsOfTwoProcessesInOneTableAreNeverLost) {
  ASSERT_NO_FATAL_FAILURE(MakePeople({"Ada"}));
  constexpr int kEach = 40;
  auto incrementer = [&]() {
    std::fflush(nullptr);
    const pid_t pid = ForkAlone();
    if (pid != 0) return pid;
    int done = 0;
    {
      TqnServerEngine e;
      std::uint32_t hash = 0;
      e.ClientAdd(1, "adder", "", hash);
      std::srand(static_cast<unsigned>(::getpid()));
      for (int attempt = 0; attempt < 200000 && done < kEach; ++attempt) {
        std::uint32_t d = 0, c = 0;
        if (e.DatabaseOpenNoAlias(1, folder.Path(), 1, 1, d) == 0) {
          if (e.OpenTable(d, "People", "", 0, 1, 1, c, nullptr) == 0) {
            Record r(e.FindCursor(c)->Table->Dictionary());
            if (e.RecordGetNext(c, 0, r.Data()) == 0) {
              r.I32(2, r.GetI32(2) + 1);
              if (e.RecordModify(c, true, r.Data()) == 0) ++done;
            }
          }
          e.DatabaseClose(d);
        }
        ::usleep(static_cast<useconds_t>(50 + std::rand() % 400));  // lets the other one in
      }
    }
    ::_exit(done);
  };
  const pid_t a = incrementer(), b = incrementer();
  int acknowledged = 0;
  for (const pid_t p : {a, b}) {
    int status = 0;
    ASSERT_EQ(::waitpid(p, &status, 0), p);
    ASSERT_TRUE(WIFEXITED(status));
    acknowledged += WEXITSTATUS(status);
  }
  EXPECT_EQ(acknowledged, 2 * kEach);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db), 0);
  const std::uint32_t c = Open("People", 0, 0);
  Record r(Dict(c));
  ASSERT_EQ(engine->RecordGetNext(c, 0, r.Data()), 0);
  EXPECT_EQ(r.GetI32(2), acknowledged);
}

// A folder whose path does not fit the 219 characters a folder is kept in is refused: cut, it
// would name another folder (here an existing one, where the tables would have gone).
TEST_F(Engine, AFolderPathTooLongToKeepIsRefused) {
  std::string prefix = folder.Path() + "/";
  prefix += std::string(219 - prefix.size(), 'p');
  const std::string deep = prefix + "/inner";
  std::filesystem::create_directories(deep);
  std::uint32_t d = 0;
  EXPECT_EQ(engine->DatabaseOpenNoAlias(1, deep, 1, 1, d), qnresInvalidDirectory);
  EXPECT_EQ(d, 0u);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, prefix, 1, 1, d), 0) << "219 characters fit";
  EXPECT_EQ(engine->DatabaseClose(d), 0);
}

// The claim between processes is taken on the directory, under whatever spelling a database
// names it with: the backslash the access layer appends, a symbolic link, another case.
TEST_F(SharedFolder, IsClaimedOnTheDirectoryUnderEverySpelling) {
  ASSERT_NO_FATAL_FAILURE(MakePeople({"Ada"}));
  const std::string link = folder.Path() + "_link";
  std::filesystem::create_directory_symlink(folder.Path(), link);
  const std::string upper = folder.Path().substr(0, folder.Path().rfind('/') + 1) + "TW_SERVER" +
                            folder.Path().substr(folder.Path().rfind('/') + 10);
  for (const std::string& spelling : {folder.Path() + "\\", link + "\\", link, upper + "\\"}) {
    ASSERT_EQ(engine->DatabaseOpenNoAlias(1, spelling, 1, 1, db), 0) << spelling;
    std::uint32_t c = 0;
    ASSERT_EQ(engine->OpenTable(db, "People", "", 0, 1, 1, c, nullptr), 0) << spelling;
    for (const std::string& theirs : {folder.Path(), link + "/", folder.Path() + "\\"}) {
      ServerProcess other({OpenFolder(theirs)});
      EXPECT_EQ(other.Next(), qnresFolderServedElsewhere) << spelling << " beside " << theirs;
    }
    ASSERT_EQ(engine->DatabaseClose(db), 0);
    db = 0;
  }
  // The other way round: a process that writes through the backslash spelling keeps this one out.
  ServerProcess writer({OpenFolder(link + "\\"), OpenPeople(1), InsertPerson("Ben")});
  EXPECT_EQ(writer.Next(), 0);
  EXPECT_EQ(writer.Next(), 0);
  EXPECT_EQ(writer.Next(), 0);
  EXPECT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db), qnresFolderServedElsewhere);
  writer.End();
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db), 0);
  EXPECT_EQ(RecordsHere(), 2u);
  std::filesystem::remove(link);
}

// A folder that cannot be looked at is claimed by nobody and served to nobody.
TEST(FolderClaim, AFolderThatCannotBeLookedAtIsRefused) {
  ScratchFolder f;
  TqnFileKey key;
  EXPECT_EQ(QNClaimFolder(f.File("missing"), key), TqnFolderClaim::Unreadable);
  { std::ofstream(f.File("plain")) << "x"; }
  EXPECT_EQ(QNClaimFolder(f.File("plain"), key), TqnFolderClaim::Unreadable);
  ASSERT_EQ(QNClaimFolder(f.Path() + "\\", key), TqnFolderClaim::Claimed);
  EXPECT_TRUE(QNClaimFolderForWriting(key));
  QNReleaseFolder(key);
}

TEST_F(Engine, ExclusiveDatabasesShutOutOtherClientsOnly) {
  ScratchFolder other;
  std::uint32_t hash = 0, a = 0, b = 0, c = 0;
  ASSERT_EQ(engine->DatabaseAddAlias("Other", other.Path()), 0);
  ASSERT_EQ(engine->ClientAdd(2, "second", "", hash), 0);
  ASSERT_EQ(engine->DatabaseOpen(1, "Other", 1, 0, a), 0);
  EXPECT_EQ(engine->DatabaseOpen(1, "Other", 1, 0, b), 0) << "same session";
  EXPECT_EQ(engine->DatabaseOpen(2, "Other", 1, 1, c), qnresNeedExclusive);
  EXPECT_EQ(c, 0u);
  ASSERT_EQ(engine->DatabaseClose(a), 0);
  ASSERT_EQ(engine->DatabaseClose(b), 0);
  ASSERT_EQ(engine->DatabaseOpen(2, "Other", 1, 1, c), 0);
  EXPECT_EQ(engine->DatabaseOpen(1, "Other", 1, 1, a), 0) << "both shared";
}

TEST_F(Engine, AnExclusiveOpenIsExclusiveAgainstEveryDatabaseOfTheFolder) {
  ScratchFolder other;
  std::uint32_t hash = 0, own = 0, shared = 0, ex = 0, late = 0;
  ASSERT_EQ(engine->DatabaseAddAlias("Other", other.Path()), 0);
  ASSERT_EQ(engine->ClientAdd(2, "second", "", hash), 0);
  ASSERT_EQ(engine->ClientAdd(3, "third", "", hash), 0);
  // The first database of the folder belongs to client 3; client 2 opens shared beside it.
  ASSERT_EQ(engine->DatabaseOpen(3, "Other", 1, 1, own), 0);
  ASSERT_EQ(engine->DatabaseOpen(2, "Other", 1, 1, shared), 0);
  EXPECT_EQ(engine->DatabaseOpen(3, "Other", 1, 0, ex), qnresNeedExclusive)
      << "client 2's shared database has the folder open too";
  EXPECT_EQ(ex, 0u);
  ASSERT_EQ(engine->DatabaseClose(shared), 0);
  ASSERT_EQ(engine->DatabaseOpen(3, "Other", 1, 0, ex), 0) << "only the own session's databases are left";
  // Now the exclusive database is the second of the folder: no other client gets in.
  EXPECT_EQ(engine->DatabaseOpen(2, "Other", 1, 1, late), qnresNeedExclusive);
  EXPECT_EQ(engine->DatabaseOpen(2, "Other", 1, 0, late), qnresNeedExclusive);
  EXPECT_EQ(engine->DatabaseOpen(1, "Other", 0, 1, late), qnresNeedExclusive);
  EXPECT_EQ(late, 0u);
  EXPECT_EQ(engine->DatabaseCount(), 3) << "the fixture's database and client 3's two";
}

TEST_F(Engine, AliasListAndChangesRoundTrip) {
  ASSERT_EQ(engine->DatabaseAddAlias("A", folder.Path()), 0);
  EXPECT_EQ(engine->DatabaseChgAliasPath("B", folder.Path()), qnresUnknownDatabase);
  EXPECT_EQ(engine->DatabaseChgAliasPath("A", "/tmp"), 0);
  // A folder that the server's expansion makes longer than an alias keeps is refused, on an
  // add and on a change, rather than kept cut to another folder.
  const std::string relative = std::string(100, 'r') + "/" + std::string(100, 's');
  ASSERT_GT(QNExpandUNCFileName(relative).size(), kQnMaxPath);
  EXPECT_EQ(engine->DatabaseChgAliasPath("A", relative), qnresInvalidDirectory);
  EXPECT_EQ(engine->DatabaseAddAlias("C", relative), qnresInvalidDirectory);
  TMemoryStream s;
  ASSERT_EQ(engine->DatabaseAliasList(s), 0);
  ASSERT_EQ(s.Size(), 252);
  std::uint8_t e[252];
  s.SetPosition(0);
  s.ReadBuffer(e, 252);
  EXPECT_EQ(TqnName::ReadFrom(e, 32).Str(), "A");
  EXPECT_EQ(TqnPath::ReadFrom(e + 32, 220).Str(), "/tmp");
  EXPECT_EQ(engine->DatabaseDeleteAlias("A"), 0);
  EXPECT_EQ(engine->DatabaseDeleteAlias("A"), qnresUnknownDatabase);
}

TEST_F(Engine, OneTransactionPerFolder) {
  std::uint32_t db2 = 0, t = 0, t2 = 0;
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db2), 0);
  ASSERT_EQ(engine->TransactionStart(db, false, t), 0);
  EXPECT_EQ(engine->TransactionStart(db, false, t2), qnresLockConflict);
  EXPECT_EQ(engine->TransactionStart(db2, false, t2), qnresLockConflict);
  bool in = false;
  EXPECT_EQ(engine->DatabaseInTrans(db, in), 0);
  EXPECT_TRUE(in);
  EXPECT_EQ(engine->TransactionCommit(t), 0);
  EXPECT_EQ(engine->TransactionCommit(t), qnresInvalidHandle);
  ASSERT_EQ(engine->TransactionStart(db2, true, t2), 0);
  EXPECT_EQ(engine->TransactionRollback(t2), 0);
  EXPECT_EQ(engine->TransactionCount(), 0);
}

TEST_F(Engine, SecureServerChecksUsersAndRights) {
  engine->Configuration().GeneralInfo().IsSecure = true;
  EXPECT_EQ(engine->CheckClientRights(1, 2), qnresNoRights) << "a client attached without a user holds no rights";
  engine->Configuration().AddUser("reader", "R", 2, 1234, "");
  std::uint32_t hash = 0;
  EXPECT_EQ(engine->ClientAdd(5, "x", "nobody", hash), qnresInvalidPassword);
  ASSERT_EQ(engine->ClientAdd(5, "x", "reader", hash), 0);
  EXPECT_EQ(hash, 1234u);
  EXPECT_EQ(engine->CheckClientRights(5, 2), 0);
  EXPECT_EQ(engine->CheckClientRights(5, 2 | 4), qnresNoRights);
  EXPECT_EQ(engine->CheckClientRights(99, 2), qnresInvalidHandle);
  engine->Configuration().GeneralInfo().IsSecure = false;
  EXPECT_EQ(engine->CheckClientRights(99, 31), 0);
}

TEST_F(Engine, TableListNamesTheTableFilesOfTheFolder) {
  Build("People", PeopleDictionary);
  { std::ofstream(folder.File("notes.txt")) << "not a table"; }
  TMemoryStream s;
  ASSERT_EQ(engine->DatabaseTableList(db, "", s), 0);
  ASSERT_EQ(s.Size(), 48);
  std::uint8_t e[48];
  s.SetPosition(0);
  s.ReadBuffer(e, 48);
  EXPECT_EQ(TqnName::ReadFrom(e, 32).Str(), "People");
  EXPECT_EQ(TShortStr<3>::ReadFrom(e + 32, 4).Str(), "QND");
  EXPECT_EQ(QNGetU32(e + 36), static_cast<std::uint32_t>(std::filesystem::file_size(folder.File("People.QND"))));
  TMemoryStream all;
  ASSERT_EQ(engine->DatabaseTableList(db, "*.*", all), 0);
  EXPECT_EQ(all.Size(), 96);
  // A mask is a pattern inside the folder; one that could name another folder is refused.
  for (const char* mask : {"../*", "../../../../../../../etc/*", "/etc/*", "sub/*", "..\\*", "C:*", "C:\\*.*",
                           "..", "*..*"}) {
    TMemoryStream s2;
    EXPECT_EQ(engine->DatabaseTableList(db, mask, s2), qnresInvalidParameter) << mask;
    EXPECT_EQ(s2.Size(), 0) << mask;
  }
  TMemoryStream one;
  ASSERT_EQ(engine->DatabaseTableList(db, "Peo*.QND", one), 0);
  EXPECT_EQ(one.Size(), 48);
}

// The list is made from the folder the database opened, wherever its path leads later: after
// two folders exchange names, and after the folder is renamed, it names the folder's own tables
// with their sizes and stamps.
TEST_F(Engine, TheTableListIsTheOpenedFolders) {
  Build("People", PeopleDictionary);
  const std::string other = folder.Path() + "_other", moved = folder.Path() + "_moved";
  std::filesystem::create_directories(other);
  { std::ofstream(other + "/Strangers.QND") << "not ours"; }
  // "name size" per entry, and whether its stamp is that of the file at At.
  auto list = [&](const std::string& At) {
    TMemoryStream s;
    EXPECT_EQ(engine->DatabaseTableList(db, "", s), 0);
    std::string names;
    std::uint8_t e[48];
    s.SetPosition(0);
    while (s.Read(e, 48) == 48) {
      const std::string name = TqnName::ReadFrom(e, 32).Str();
      const std::int32_t stamp = static_cast<std::int32_t>((e[44] | e[45] << 8) | (e[46] | e[47] << 8) << 16);
      names += name + " " + std::to_string(QNGetU32(e + 36)) +
               (stamp == FileAge(At + "/" + name + ".QND") ? " stamped;" : " unstamped;");
    }
    return names;
  };
  const std::string people = "People " + std::to_string(std::filesystem::file_size(folder.File("People.QND")));
  ASSERT_EQ(::renameat2(AT_FDCWD, folder.Path().c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE), 0);
  EXPECT_EQ(list(other), people + " stamped;");
  std::filesystem::rename(other, moved);
  EXPECT_EQ(list(moved), people + " stamped;");
  std::filesystem::rename(folder.Path(), other);
  std::filesystem::rename(moved, folder.Path());
  std::filesystem::remove_all(other);
}

// ---- Tables ----

TEST_F(Engine, BuildOpenAndTheErrorsOfTableNames) {
  Build("People", PeopleDictionary);
  TqnDataDictionary d(4096);
  PeopleDictionary(d);
  EXPECT_EQ(engine->BuildTable(db, false, "People", d), qnresTableExists);
  EXPECT_EQ(engine->BuildTable(db, false, "Bad Name", d), 10039);
  std::uint32_t c = 0;
  EXPECT_EQ(engine->OpenTable(db, "Nope", "", 0, 1, 1, c, nullptr), qnresNoSuchTable);
  EXPECT_EQ(engine->OpenTable(db, "../x", "", 0, 1, 1, c, nullptr), 10039);
  EXPECT_EQ(engine->OpenTable(db, "People", "", 4, 1, 1, c, nullptr), qnresNoSuchIndex);
  EXPECT_EQ(engine->OpenTable(db, "People", "NoIdx", 0, 1, 1, c, nullptr), qnresNoSuchIndex);
  EXPECT_EQ(engine->TableCount(), 0) << "a failed open leaves no table";
  TMemoryStream s;
  ASSERT_EQ(engine->OpenTable(db, "People", "ByName", 0, 1, 1, c, &s), 0);
  s.SetPosition(0);
  TqnDataDictionary back(4096);
  back.ReadFromStream(s);
  EXPECT_EQ(back.FieldCount(), 3);
  std::uint8_t n[4];
  s.ReadBuffer(n, 4);
  EXPECT_EQ(QNGetI32(n), 1);
  EXPECT_EQ(engine->BuildTable(db, true, "People", d), qnresTableOpen);
  EXPECT_EQ(engine->DeleteTable(db, "People"), qnresTableOpen);
}

TEST_F(Engine, ExclusiveTablesBelongToOneSession) {
  Build("People", PeopleDictionary);
  std::uint32_t c = 0, c2 = 0, s = 0, db2 = 0;
  ASSERT_EQ(engine->OpenTable(db, "People", "", 0, 1, 0, c, nullptr), 0);
  EXPECT_EQ(engine->OpenTable(db, "People", "", 0, 1, 0, c2, nullptr), 0);
  ASSERT_EQ(engine->SessionAdd(1, s), 0);
  ASSERT_EQ(engine->SessionSetCurrent(1, s), 0);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db2), 0);
  EXPECT_EQ(engine->OpenTable(db2, "People", "", 0, 1, 1, c2, nullptr), qnresRecordLocked);
}

TEST_F(Engine, ReadOnlyDatabaseRefusesWritesAndExclusiveDatabaseOpensExclusive) {
  Build("People", PeopleDictionary);
  std::uint32_t ro = 0, c = 0;
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 0, 1, ro), 0);
  EXPECT_EQ(engine->OpenTable(ro, "People", "", 0, 1, 1, c, nullptr), qnresDatabaseReadOnly);
  ASSERT_EQ(engine->OpenTable(ro, "People", "", 0, 0, 1, c, nullptr), 0);
  Record r(Dict(c));
  EXPECT_EQ(engine->RecordInsert(c, 0, r.Data()), qnresTableReadOnly);
}

TEST_F(Engine, RenameMovesOnlyTheFilesOfTheTableAndDeleteRemovesThem) {
  Build("People", PeopleDictionary);
  { std::ofstream(folder.File("People.TXT")) << "notes"; }
  EXPECT_EQ(engine->RenameTable(db, "People", "bad name"), 10039);
  ASSERT_EQ(engine->RenameTable(db, "People", "Folk"), 0);
  EXPECT_TRUE(folder.Exists("Folk.QND"));
  EXPECT_FALSE(folder.Exists("People.QND"));
  EXPECT_TRUE(folder.Exists("People.TXT")) << "a file of the same base name is no file of the table";
  EXPECT_FALSE(folder.Exists("Folk.TXT"));
  const std::uint32_t c = Open("Folk");
  EXPECT_EQ(Dict(c).FieldCount(), 3);
  EXPECT_EQ(engine->CursorClose(c), 0);
  ASSERT_EQ(engine->DeleteTable(db, "Folk"), 0);
  EXPECT_FALSE(folder.Exists("Folk.QND"));
}

TEST_F(Engine, RenameMovesTheExtraFilesOfTheDictionary) {
  Build("Split", [](TqnDataDictionary& D) {
    D.AddFile("keys", "QNX", 4096, 1);
    D.AddFile("blobs", "QNB", 4096, 2);
    D.AddField("Name", "", qftShortString, 20, 0, false);
    D.AddIndex("ByName", "", 1, {0}, true, true, false);
  });
  ASSERT_TRUE(folder.Exists("Split.QNX"));
  ASSERT_EQ(engine->RenameTable(db, "Split", "Whole"), 0);
  for (const char* n : {"Whole.QND", "Whole.QNX", "Whole.QNB"}) EXPECT_TRUE(folder.Exists(n)) << n;
  for (const char* n : {"Split.QND", "Split.QNX", "Split.QNB"}) EXPECT_FALSE(folder.Exists(n)) << n;
  const std::uint32_t c = Open("Whole", 1);
  EXPECT_EQ(Dict(c).FileCount(), 3);
  EXPECT_EQ(engine->CursorClose(c), 0);
}

TEST_F(Engine, RenameRefusesAMissingTableAndAnExistingTarget) {
  { std::ofstream(folder.File("Readme.txt")) << "keep me"; }
  EXPECT_EQ(engine->RenameTable(db, "Readme", "Gone"), qnresNoSuchTable);
  EXPECT_TRUE(folder.Exists("Readme.txt"));
  EXPECT_FALSE(folder.Exists("Gone.txt"));
  Build("People", PeopleDictionary);
  Build("Folk", PeopleDictionary);
  EXPECT_EQ(engine->RenameTable(db, "People", "Folk"), qnresTableExists) << "renaming must not replace a table";
  EXPECT_TRUE(folder.Exists("People.QND"));
  EXPECT_TRUE(Check("Folk").empty());
}

// ---- One table per file, one folder per directory ----

// Inserts Count people through cursors A and B of the People dictionary by turns; answers how
// many inserts were acknowledged.
int InsertByTurns(TqnServerEngine& E, std::uint32_t A, std::uint32_t B, int Count) {
  int acknowledged = 0;
  for (int i = 0; i < Count; ++i) {
    Record r(E.FindCursor(A)->Table->Dictionary());
    r.Str(1, "P" + std::to_string(i)).I32(2, i);
    if (E.RecordInsert(i % 2 != 0 ? A : B, 0, r.Data()) == 0) ++acknowledged;
  }
  return acknowledged;
}

// A table named in another case names the same file: every spelling reaches the one open table
// (one page cache, one set of locks), and no spelling deletes, rebuilds or renames it.
TEST_F(Engine, EveryCaseOfAnOpenTablesNameReachesThatTable) {
  Build("People", PeopleDictionary);
  std::uint32_t hash = 0, db2 = 0;
  ASSERT_EQ(engine->ClientAdd(2, "second", "", hash), 0);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(2, folder.Path(), 1, 1, db2), 0);
  const std::uint32_t a = Open("People");
  std::uint32_t b = 0;
  ASSERT_EQ(engine->OpenTable(db2, "PEOPLE", "", 0, 1, 1, b, nullptr), 0);
  EXPECT_EQ(engine->FindCursor(a)->Table, engine->FindCursor(b)->Table);
  EXPECT_EQ(engine->TableCount(), 1);
  EXPECT_EQ(InsertByTurns(*engine, a, b, 40), 40);
  TqnDataDictionary d(4096);
  PeopleDictionary(d);
  for (const char* name : {"people", "PEOPLE", "pEoPlE"}) {
    EXPECT_EQ(engine->DeleteTable(db2, name), qnresTableOpen) << name;
    EXPECT_EQ(engine->BuildTable(db2, true, name, d), qnresTableOpen) << name;
    EXPECT_EQ(engine->RenameTable(db2, name, "Moved"), qnresTableOpen) << name;
    EXPECT_EQ(engine->EmptyTable(db2, 0, name), qnresTableOpen) << name;
  }
  Build("Other", PeopleDictionary);
  const DBIResult onto = engine->RenameTable(db2, "Other", "PEOPLE");
  EXPECT_TRUE(onto == qnresTableOpen || onto == qnresTableExists) << onto;
  EXPECT_TRUE(folder.Exists("People.QND"));
  EXPECT_TRUE(folder.Exists("Other.QND"));
  EXPECT_FALSE(folder.Exists("Moved.QND"));
  ASSERT_EQ(engine->CursorClose(b), 0);
  ASSERT_EQ(engine->CursorClose(a), 0);
  EXPECT_EQ(engine->TableCount(), 0);
  std::uint32_t c = Open("people", 0, 0);
  std::uint32_t n = 0;
  ASSERT_EQ(engine->GetTableRecCount(c, n), 0);
  EXPECT_EQ(n, 40u) << "every acknowledged insert is stored";
  ASSERT_EQ(engine->CursorClose(c), 0);
  EXPECT_EQ(Joined(Check("People")), "");

  // An exclusive open belongs to its session under every spelling.
  ASSERT_EQ(engine->OpenTable(db, "PEOPLE", "", 0, 1, 0, c, nullptr), 0);
  std::uint32_t other = 0;
  EXPECT_EQ(engine->OpenTable(db2, "People", "", 0, 1, 1, other, nullptr), qnresRecordLocked);
  EXPECT_EQ(engine->OpenTable(db, "people", "", 0, 1, 0, other, nullptr), 0) << "the own session opens it again";
  EXPECT_EQ(engine->FindCursor(other)->Table, engine->FindCursor(c)->Table);
  // A table is not made beside another in another case; but two files whose names differ in
  // case only, made otherwise, are two tables.
  EXPECT_EQ(engine->BuildTable(db2, false, "other", d), qnresTableExists);
  std::filesystem::copy_file(folder.File("Other.QND"), folder.File("other.QND"));
  const std::uint32_t upper = Open("Other"), lower = Open("other");
  EXPECT_NE(engine->FindCursor(upper)->Table, engine->FindCursor(lower)->Table);
}

// Two directories whose names differ only in case are two folders.  One directory reached as
// itself, through a symbolic link, in another case (when only one directory answers to it) or
// with trailing separators of either kind is one folder: its tables are the same open tables,
// and it runs one transaction at a time.
TEST_F(Engine, FoldersAreDirectoriesWhateverTheirSpelling) {
  ScratchFolder base;
  std::filesystem::create_directories(base.File("data"));
  std::filesystem::create_directories(base.File("DATA"));
  std::uint32_t lower = 0, upper = 0, t1 = 0, t2 = 0;
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, base.File("data"), 1, 1, lower), 0);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(1, base.File("DATA"), 1, 1, upper), 0);
  TqnDataDictionary d(4096);
  PeopleDictionary(d);
  ASSERT_EQ(engine->BuildTable(upper, false, "People", d), 0);
  EXPECT_TRUE(base.Exists("DATA/People.QND"));
  EXPECT_FALSE(base.Exists("data/People.QND"));
  ASSERT_EQ(engine->TransactionStart(lower, false, t1), 0);
  EXPECT_EQ(engine->TransactionStart(upper, false, t2), 0) << "another folder, another transaction";
  EXPECT_EQ(engine->TransactionCommit(t1), 0);
  EXPECT_EQ(engine->TransactionCommit(t2), 0);

  std::filesystem::create_directories(base.File("Real"));
  std::filesystem::create_directory_symlink(base.File("Real"), base.File("link"));
  const std::vector<std::string> spellings = {base.File("Real"),        base.File("link"),
                                              base.File("REAL"),        base.File("Real") + "/",
                                              base.File("Real") + "\\", base.File("link") + "//",
                                              base.File("LINK") + "\\", base.File("data/../Real")};
  std::vector<std::uint32_t> dbs;
  for (const std::string& s : spellings) {
    std::uint32_t x = 0;
    ASSERT_EQ(engine->DatabaseOpenNoAlias(1, s, 1, 1, x), 0) << s;
    dbs.push_back(x);
  }
  ASSERT_EQ(engine->BuildTable(dbs[1], false, "Folk", d), 0);
  EXPECT_TRUE(base.Exists("Real/Folk.QND"));
  std::uint32_t first = 0;
  ASSERT_EQ(engine->OpenTable(dbs[0], "Folk", "", 0, 1, 1, first, nullptr), 0);
  for (std::size_t i = 1; i < dbs.size(); ++i) {
    std::uint32_t c = 0;
    ASSERT_EQ(engine->OpenTable(dbs[i], i % 2 != 0 ? "FOLK" : "Folk", "", 0, 1, 1, c, nullptr), 0) << spellings[i];
    EXPECT_EQ(engine->FindCursor(c)->Table, engine->FindCursor(first)->Table) << spellings[i];
    EXPECT_EQ(engine->DeleteTable(dbs[i], "Folk"), qnresTableOpen) << spellings[i];
  }
  EXPECT_EQ(engine->TableCount(), 1);
  ASSERT_EQ(engine->TransactionStart(dbs[0], false, t1), 0);
  for (std::size_t i = 1; i < dbs.size(); ++i)
    EXPECT_EQ(engine->TransactionStart(dbs[i], false, t2), qnresLockConflict) << spellings[i];
  EXPECT_EQ(engine->TransactionCommit(t1), 0);
  ASSERT_EQ(engine->TransactionStart(dbs[3], false, t2), 0);
  EXPECT_EQ(engine->TransactionStart(dbs[1], false, t1), qnresLockConflict);
  EXPECT_EQ(engine->TransactionRollback(t2), 0);

  // Two clients, one per spelling, insert by turns: everything acknowledged is stored.
  std::uint32_t hash = 0, viaLink = 0, c1 = 0, c2 = 0;
  ASSERT_EQ(engine->ClientAdd(2, "second", "", hash), 0);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(2, base.File("link"), 1, 1, viaLink), 0);
  ASSERT_EQ(engine->OpenTable(dbs[0], "Folk", "", 0, 1, 1, c1, nullptr), 0);
  ASSERT_EQ(engine->OpenTable(viaLink, "folk", "", 0, 1, 1, c2, nullptr), 0);
  EXPECT_EQ(InsertByTurns(*engine, c1, c2, 40), 40);
  std::uint32_t n = 0;
  ASSERT_EQ(engine->GetTableRecCount(c2, n), 0);
  EXPECT_EQ(n, 40u);
  for (std::uint32_t x : dbs) ASSERT_EQ(engine->DatabaseClose(x), 0);
  ASSERT_EQ(engine->DatabaseClose(viaLink), 0);
  EXPECT_EQ(Joined(QNCheckTableFile(base.File("Real/Folk.QND"))), "");
}

// ---- Records, cursors, locks ----

class People : public EngineFixture {
 protected:
  People() {
    Build("People", PeopleDictionary);
    cur = Open("People", 1);
  }
  DBIResult Add(const std::string& Name, std::int32_t Group, std::uint32_t Cursor = 0) {
    Record r(Dict(cur));
    r.Str(1, Name).I32(2, Group);
    return engine->RecordInsert(Cursor ? Cursor : cur, 0, r.Data());
  }
  std::vector<std::string> Walk(std::uint32_t C, bool Forward = true) {
    std::vector<std::string> out;
    Record r(Dict(C));
    if (Forward) engine->SetToBegin(C);
    else engine->SetToEnd(C);
    while ((Forward ? engine->RecordGetNext(C, 0, r.Data()) : engine->RecordGetPrev(C, 0, r.Data())) == 0)
      out.push_back(r.GetStr(1));
    return out;
  }
  std::vector<std::uint8_t> KeyOfName(const std::string& Name) {
    Record r(Dict(cur));
    r.Str(1, Name);
    std::vector<std::uint8_t> k(static_cast<std::size_t>(engine->CursorKeyLength(cur)));
    EXPECT_EQ(engine->RecordExtractKey(cur, r.Data(), k.data()), 0);
    return k;
  }
  std::uint32_t cur = 0;
};

TEST_F(People, InsertKeepsEveryIndexInOrderAndNumbersAutoIncrements) {
  for (const char* n : {"Mira", "Alan", "Zoe", "Kai"}) ASSERT_EQ(Add(n, 1), 0);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"Alan", "Kai", "Mira", "Zoe"}));
  EXPECT_EQ(Walk(cur, false), (std::vector<std::string>{"Zoe", "Mira", "Kai", "Alan"}));
  const std::uint32_t byId = Open("People", 3);
  EXPECT_EQ(Walk(byId), (std::vector<std::string>{"Mira", "Alan", "Zoe", "Kai"}));
  Record r(Dict(cur));
  r.Str(1, "Given").I32(0, 500);
  ASSERT_EQ(engine->RecordInsert(cur, 0, r.Data()), 0);
  ASSERT_EQ(Add("Next", 1), 0);
  ASSERT_EQ(engine->RecordGet(cur, 0, r.Data()), 0);
  EXPECT_EQ(r.GetI32(0), 5) << "a given value leaves the counter";
  std::uint32_t n = 0;
  EXPECT_EQ(engine->GetTableRecCount(cur, n), 0);
  EXPECT_EQ(n, 6u);
  EXPECT_EQ(Joined(Check("People")), "");
}

TEST_F(People, DuplicateAndRequiredFieldsAreRefusedAndLeaveNothingBehind) {
  ASSERT_EQ(Add("A", 1), 0);
  Record r(Dict(cur));
  r.Str(1, "B").I32(0, 1);
  EXPECT_EQ(engine->RecordInsert(cur, 0, r.Data()), qnresKeyViolation);
  std::uint32_t t = 0, n = 0;
  ASSERT_EQ(engine->TransactionStart(db, false, t), 0);
  EXPECT_EQ(engine->RecordInsert(cur, 0, r.Data()), qnresKeyViolation) << "inside a client transaction";
  ASSERT_EQ(engine->TransactionCommit(t), 0);
  EXPECT_EQ(engine->GetTableRecCount(cur, n), 0);
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"A"}));
  EXPECT_EQ(Joined(Check("People")), "");
  Build("Texts", TextsDictionary);
  const std::uint32_t tc = Open("Texts", 1);
  Record empty(Dict(tc));
  EXPECT_EQ(engine->RecordInsert(tc, 0, empty.Data()), qnresRequiredMissing);
}

TEST_F(People, NavigationCodesAtTheEnds) {
  Record r(Dict(cur));
  EXPECT_EQ(engine->RecordGetNext(cur, 0, r.Data()), qnresAtEOF);
  EXPECT_EQ(engine->RecordGetNext(cur, 0, r.Data()), qnresAtEOF);
  EXPECT_EQ(engine->RecordGetPrev(cur, 0, r.Data()), qnresAtBOF) << "empty: prior from EOF";
  EXPECT_EQ(engine->RecordGet(cur, 0, r.Data()), qnresNoCurrentRecord);
  ASSERT_EQ(Add("A", 1), 0);
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  EXPECT_EQ(engine->RecordGetPrev(cur, 0, r.Data()), qnresAtBOF);
}

TEST_F(People, KeySearchesFullAndPartial) {
  for (const char* n : {"Anna", "Annabel", "Bert", "Carla"}) ASSERT_EQ(Add(n, 1), 0);
  Record probe(Dict(cur)), out(Dict(cur));
  probe.Str(1, "Bert");
  ASSERT_EQ(engine->RecordGetForKey(cur, false, 0, 0, probe.Data(), out.Data()), 0);
  EXPECT_EQ(out.GetStr(1), "Bert");
  ASSERT_EQ(engine->RecordGetNext(cur, 0, out.Data()), 0);
  EXPECT_EQ(out.GetStr(1), "Carla");
  probe.Str(1, "Annab");
  ASSERT_EQ(engine->RecordGetForKey(cur, false, 0, 5, probe.Data(), out.Data()), 0);
  EXPECT_EQ(out.GetStr(1), "Annabel");
  probe.Str(1, "Ann");
  ASSERT_EQ(engine->RecordGetForKey(cur, false, 0, 3, probe.Data(), out.Data()), 0);
  EXPECT_EQ(out.GetStr(1), "Anna") << "the first of several matches";
  probe.Str(1, "Zed");
  EXPECT_EQ(engine->RecordGetForKey(cur, false, 0, 0, probe.Data(), out.Data()), 8710);
  EXPECT_EQ(engine->RecordGetPrev(cur, 0, out.Data()), 0) << "a failed exact search leaves the cursor at EOF";
  EXPECT_EQ(out.GetStr(1), "Carla");
  EXPECT_EQ(engine->SetToKey(cur, 0, false, 0, 0, probe.Data()), 8710);
  EXPECT_EQ(engine->RecordGetNext(cur, 0, out.Data()), 0) << "a failed SetToKey leaves it at BOF";
  EXPECT_EQ(out.GetStr(1), "Anna");
  probe.Str(1, "B");
  ASSERT_EQ(engine->SetToKey(cur, 2, false, 0, 0, probe.Data()), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, out.Data()), 0);
  EXPECT_EQ(out.GetStr(1), "Bert");
  const std::uint32_t seq = Open("People", 0);
  EXPECT_EQ(engine->SetToKey(seq, 2, false, 0, 0, probe.Data()), 10764);
  EXPECT_EQ(engine->RecordGetForKey(seq, false, 0, 0, probe.Data(), out.Data()), 10048);
}

// A record found by its key must hold that key: an index entry that names another record (a
// damaged index) is reported, not answered with that record, its data block cached or not.
TEST_F(People, AKeyWhoseEntryNamesAnotherRecordIsReportedAsDamage) {
  for (const char* n : {"Anna", "Bert", "Carla"}) ASSERT_EQ(Add(n, 7), 0);
  TqnSrCursor* c = engine->FindCursor(cur);
  TqnFileInfo* file = c->Handle.File;
  // Where the entries of Anna and Carla stand in the index (one leaf, the root).
  TqnKeyPath a, b;
  std::int32_t refA = 0, refC = 0;
  ASSERT_TRUE(QNTblFindKey(c->Handle, refA, KeyOfName("Anna").data(), kQnFindEqual, a));
  ASSERT_TRUE(QNTblFindKey(c->Handle, refC, KeyOfName("Carla").data(), kQnFindEqual, b));
  ASSERT_EQ(a.Depth, 1);
  ASSERT_EQ(a.Block[0], b.Block[0]);
  // Their references swapped on disk.
  const auto refAt = [&](const TqnKeyPath& P) { return std::int64_t(P.Block[0]) * 4096 + 32 + 4 * P.Position[0]; };
  const int fd = ::open(file->Name.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, &refC, 4, refAt(a)), 4);
  ASSERT_EQ(::pwrite(fd, &refA, 4, refAt(b)), 4);
  ::close(fd);
  Record probe(Dict(cur)), out(Dict(cur));
  const std::uint32_t physical = Open("People", 0);
  const DBIResult damaged = QNResultOfErrorCode(qnerrBadRecordRef);
  for (bool cached : {false, true}) {
    engine->BufferManager().RemoveFile(file);
    if (cached) {
      ASSERT_EQ(engine->SetToBegin(physical), 0);
      ASSERT_EQ(engine->RecordGetNext(physical, 0, out.Data()), 0);
      ASSERT_TRUE(engine->BufferManager().IsCached(file, refA >> 12));
    }
    probe.Str(1, "Anna");
    out.Str(1, "-");
    EXPECT_EQ(engine->RecordGetForKey(cur, false, 0, 0, probe.Data(), out.Data()), damaged) << cached;
    probe.Str(1, "Carla");
    EXPECT_EQ(engine->RecordGetForKey(cur, false, 0, 0, probe.Data(), out.Data()), damaged) << cached;
    probe.Str(1, "Bert");
    ASSERT_EQ(engine->RecordGetForKey(cur, false, 0, 0, probe.Data(), out.Data()), 0) << cached;
    EXPECT_EQ(out.GetStr(1), "Bert");
    // Through the other indexes the records are found as they are.
    const std::uint32_t byGroup = Open("People", 2);
    probe.Str(1, "Anna").I32(2, 7);
    ASSERT_EQ(engine->RecordGetForKey(byGroup, false, 0, 0, probe.Data(), out.Data()), 0) << cached;
    EXPECT_EQ(out.GetStr(1), "Anna");
    ASSERT_EQ(engine->CursorClose(byGroup), 0);
  }
}

TEST_F(People, RangesLimitTheWalkInBothDirections) {
  for (const char* n : {"A", "B", "B2", "C", "D"}) ASSERT_EQ(Add(n, 1), 0);
  const auto b = KeyOfName("B"), c = KeyOfName("C");
  ASSERT_EQ(engine->SetRange(cur, true, b.data(), 0, 0, true, c.data(), 0, 0, true), 0);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"B", "B2", "C"}));
  EXPECT_EQ(Walk(cur, false), (std::vector<std::string>{"C", "B2", "B"}));
  ASSERT_EQ(engine->SetRange(cur, true, b.data(), 0, 0, false, c.data(), 0, 0, false), 0);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"B2"}));
  EXPECT_EQ(Walk(cur, false), (std::vector<std::string>{"B2"}));
  // A partial start of one character takes every name that begins with it.
  Record p(Dict(cur));
  p.Str(1, "B");
  ASSERT_EQ(engine->SetRange(cur, false, p.Data(), 0, 1, true, p.Data(), 0, 1, true), 0);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"B", "B2"}));
  Record out(Dict(cur));
  p.Str(1, "D");
  EXPECT_EQ(engine->RecordGetForKey(cur, false, 0, 0, p.Data(), out.Data()), 8710) << "outside the range";
  ASSERT_EQ(engine->ResetRange(cur), 0);
  EXPECT_EQ(Walk(cur).size(), 5u);
}

TEST_F(People, BookmarksReturnToTheirRecordAndCompare) {
  for (const char* n : {"A", "B", "C"}) ASSERT_EQ(Add(n, 1), 0);
  const std::int32_t size = engine->BookmarkSize(cur);
  ASSERT_GT(size, 20);
  std::vector<std::uint8_t> bof(static_cast<std::size_t>(size)), onB(bof.size()), onC(bof.size());
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  ASSERT_EQ(engine->GetBookmark(cur, bof.data()), 0);
  Record r(Dict(cur));
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
  ASSERT_EQ(engine->GetBookmark(cur, onB.data()), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
  ASSERT_EQ(engine->GetBookmark(cur, onC.data()), 0);
  ASSERT_EQ(engine->SetToBookmark(cur, onB.data()), 0);
  ASSERT_EQ(engine->RecordGet(cur, 0, r.Data()), 0);
  EXPECT_EQ(r.GetStr(1), "B");
  std::int32_t cmp = 9;
  EXPECT_EQ(engine->CompareBookmarks(cur, onB.data(), onC.data(), cmp), 0);
  EXPECT_EQ(cmp, -1);
  EXPECT_EQ(engine->CompareBookmarks(cur, onC.data(), bof.data(), cmp), 0);
  EXPECT_EQ(cmp, 1);
  EXPECT_EQ(engine->CompareBookmarks(cur, onC.data(), onC.data(), cmp), 0);
  EXPECT_EQ(cmp, 0);
  auto damaged = onB;
  damaged[21] ^= 0x40;
  EXPECT_EQ(engine->SetToBookmark(cur, damaged.data()), qnresInvalidBookmark);
  ASSERT_EQ(engine->RecordGet(cur, 0, r.Data()), 0);
  EXPECT_EQ(r.GetStr(1), "B") << "a refused bookmark leaves the cursor";
  const std::uint32_t other = Open("People", 2);
  EXPECT_EQ(engine->SetToBookmark(other, onB.data()), qnresInvalidBookmark);
}

TEST_F(People, ClonesSwitchesAndCursorCopies) {
  for (const char* n : {"A", "B", "C"}) ASSERT_EQ(Add(n, 3 - (n[0] - 'A')), 0);
  Record r(Dict(cur));
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
  std::uint32_t clone = 0;
  ASSERT_EQ(engine->CursorClone(cur, 1, clone), 0);
  ASSERT_EQ(engine->RecordGetNext(clone, 0, r.Data()), 0);
  EXPECT_EQ(r.GetStr(1), "B");
  ASSERT_EQ(engine->SwitchToIndex(clone, "ByGroup", 0, true), 0);
  ASSERT_EQ(engine->RecordGetNext(clone, 0, r.Data()), 0);
  EXPECT_EQ(r.GetStr(1), "A") << "B has group 2, A group 3";
  EXPECT_EQ(engine->SwitchToIndex(clone, "Nope", 0, false), qnresNoSuchIndex);
  ASSERT_EQ(engine->SetToCursor(cur, clone), 0);
  ASSERT_EQ(engine->RecordGet(cur, 0, r.Data()), 0);
  EXPECT_EQ(r.GetStr(1), "A");
  Build("Texts", TextsDictionary);
  EXPECT_EQ(engine->SetToCursor(cur, Open("Texts")), qnresDifferentTables);
  std::vector<std::uint8_t> batch(static_cast<std::size_t>(engine->CursorRecordLength(cur)) * 5);
  std::uint32_t n = 0;
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  EXPECT_EQ(engine->RecordGetBatch(cur, static_cast<std::uint32_t>(engine->CursorRecordLength(cur)), 5, batch.data(), n), 0);
  EXPECT_EQ(n, 3u);
}

TEST_F(People, ChangesThroughOneCursorMoveTheOthers) {
  for (const char* n : {"A", "B", "C"}) ASSERT_EQ(Add(n, 1), 0);
  const std::uint32_t other = Open("People", 1);
  Record r(Dict(cur)), seen(Dict(cur));
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);  // B
  ASSERT_EQ(engine->SetToCursor(other, cur), 0);
  ASSERT_EQ(engine->RecordDelete(cur, nullptr), 0);
  ASSERT_EQ(engine->RecordGet(other, 0, seen.Data()), 0);
  EXPECT_EQ(seen.GetStr(1), "C") << "the other cursor stands on the following record";
  ASSERT_EQ(engine->RecordGet(cur, 0, seen.Data()), 0);
  EXPECT_EQ(seen.GetStr(1), "C") << "so does the deleting cursor";
  EXPECT_EQ(engine->RecordGetNext(cur, 0, seen.Data()), qnresAtEOF);
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 0, r.Data()), 0);  // A
  ASSERT_EQ(engine->SetToCursor(other, cur), 0);
  r.I32(2, 9);
  ASSERT_EQ(engine->RecordModify(cur, false, r.Data()), 0);
  EXPECT_EQ(engine->RecordGet(other, 0, seen.Data()), qnresNoCurrentRecord);
  ASSERT_EQ(engine->RecordGet(cur, 0, seen.Data()), 0);
  EXPECT_EQ(seen.GetI32(2), 9);
  r.Str(1, "Zed");
  ASSERT_EQ(engine->RecordModify(cur, false, r.Data()), 0);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"C", "Zed"}));
  EXPECT_EQ(Joined(Check("People")), "");
}

TEST_F(People, ModifyIntoAnExistingUniqueKeyChangesNothing) {
  ASSERT_EQ(Add("A", 1), 0);
  ASSERT_EQ(Add("B", 2), 0);
  Record r(Dict(cur));
  ASSERT_EQ(engine->RecordGet(cur, 0, r.Data()), 0);  // B, id 2
  r.I32(0, 1).Str(1, "Bee");
  EXPECT_EQ(engine->RecordModify(cur, false, r.Data()), qnresKeyViolation);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Joined(Check("People")), "");
}

TEST_F(People, RecordAndTableLocks) {
  ASSERT_EQ(Add("A", 1), 0);
  const std::uint32_t other = Open("People", 1);
  Record r(Dict(cur));
  ASSERT_EQ(engine->SetToBegin(cur), 0);
  ASSERT_EQ(engine->RecordGetNext(cur, 1, r.Data()), 0);
  ASSERT_EQ(engine->SetToBegin(other), 0);
  EXPECT_EQ(engine->RecordGetNext(other, 1, r.Data()), qnresRecordLocked);
  EXPECT_EQ(r.GetStr(1), "A") << "the record is read all the same";
  EXPECT_EQ(engine->RecordDelete(other, nullptr), qnresRecordLocked);
  r.I32(2, 5);
  EXPECT_EQ(engine->RecordModify(other, false, r.Data()), qnresRecordLocked);
  ASSERT_EQ(engine->RecordModify(cur, false, r.Data()), 0);
  ASSERT_EQ(engine->SetToBegin(other), 0);
  EXPECT_EQ(engine->RecordGetNext(other, 1, r.Data()), 0) << "modify released the lock";
  EXPECT_EQ(engine->RecordRelLock(other, true), 0);
  ASSERT_EQ(engine->AcqTableLock(cur, 1), 0);
  EXPECT_EQ(Add("B", 1), qnresFileLocked) << "a session's own read lock blocks its inserts";
  EXPECT_EQ(engine->RelTableLock(cur, false, 2), qnresUnlockFailed);
  EXPECT_EQ(engine->RelTableLock(cur, false, 1), 0);
  EXPECT_EQ(engine->RelTableLock(cur, false, 1), qnresUnlockFailed);
  EXPECT_EQ(engine->RelTableLock(cur, true, 1), 0);
  EXPECT_EQ(engine->RelTableLock(12345, true, 0), 0) << "type 0 looks nothing up";
  ASSERT_EQ(Add("B", 1), 0);
}

TEST_F(People, BatchInsertReportsEachRecord) {
  Record a(Dict(cur)), b(Dict(cur)), c(Dict(cur));
  a.Str(1, "A").I32(0, 1);
  b.Str(1, "B").I32(0, 1);
  c.Str(1, "C").I32(0, 3);
  std::vector<std::uint8_t> all;
  for (auto* r : {&a, &b, &c}) all.insert(all.end(), r->Bytes.begin(), r->Bytes.end());
  std::vector<DBIResult> results;
  ASSERT_EQ(engine->RecordInsertBatch(cur, 3, static_cast<std::uint32_t>(a.Bytes.size()), all.data(), results), 0);
  EXPECT_EQ(results, (std::vector<DBIResult>{0, qnresKeyViolation, 0}));
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"A", "C"}));
  std::uint32_t t = 0;
  ASSERT_EQ(engine->TransactionStart(db, false, t), 0);
  EXPECT_EQ(engine->RecordInsertBatch(cur, 1, static_cast<std::uint32_t>(a.Bytes.size()), all.data(), results),
            qnresLockConflict);
  EXPECT_EQ(engine->TransactionRollback(t), 0);
  EXPECT_EQ(Joined(Check("People")), "");
}

TEST_F(People, ClientTransactionsCommitOrRollBackTheirRecords) {
  std::uint32_t t = 0;
  ASSERT_EQ(engine->TransactionStart(db, false, t), 0);
  ASSERT_EQ(Add("Kept", 1), 0);
  ASSERT_EQ(engine->TransactionCommit(t), 0);
  ASSERT_EQ(engine->TransactionStart(db, false, t), 0);
  ASSERT_EQ(Add("Dropped", 1), 0);
  ASSERT_EQ(engine->TransactionRollback(t), 0);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"Kept"}));
  // A cursor closed while its transaction runs keeps its table until the transaction ends.
  ASSERT_EQ(engine->TransactionStart(db, false, t), 0);
  ASSERT_EQ(Add("Late", 1), 0);
  ASSERT_EQ(engine->CursorClose(cur), 0);
  ASSERT_EQ(engine->TransactionCommit(t), 0);
  EXPECT_EQ(engine->TableCount(), 0);
  cur = Open("People", 1);
  EXPECT_EQ(Walk(cur), (std::vector<std::string>{"Kept", "Late"}));
}

// A transaction far larger than the page cache: the cache never holds more pages than its
// limit (changed blocks go to the table files early, behind the journal), the commit keeps
// every record, and a rollback of such a transaction leaves the table as it was.
TEST_F(People, ATransactionLargerThanTheCacheKeepsTheCacheWithinItsLimit) {
  TqnBufferManager& bm = engine->BufferManager();
  const int limit = bm.MaxPageCount();
  ASSERT_EQ(limit, 500);
  bm.ResetPeakPageCount();
  const std::uint64_t spills = bm.Spills();
  constexpr int kRecords = 100000;
  std::uint32_t t = 0;
  ASSERT_EQ(engine->TransactionStart(db, false, t), 0);
  char name[16];
  for (int i = 0; i < kRecords; ++i) {
    std::snprintf(name, sizeof name, "N%07d", (i * 7919) % kRecords);
    ASSERT_EQ(Add(name, i % 97), 0) << i;
    if (i % 1000 == 0) {
      ASSERT_LE(bm.PageCount(), limit) << i;
    }
  }
  EXPECT_LE(bm.PeakPageCount(), limit);
  EXPECT_GT(bm.Spills(), spills);
  ASSERT_EQ(engine->TransactionCommit(t), 0);
  EXPECT_LE(bm.PeakPageCount(), limit);
  EXPECT_EQ(Joined(Check("People")), "");
  std::vector<std::string> names = Walk(cur);
  ASSERT_EQ(names.size(), static_cast<std::size_t>(kRecords));
  EXPECT_EQ(names.front(), "N0000000");
  EXPECT_EQ(names.back(), "N0099999");

  ASSERT_EQ(engine->TransactionStart(db, false, t), 0);
  for (int i = 0; i < 20000; ++i) {
    std::snprintf(name, sizeof name, "M%07d", i);
    ASSERT_EQ(Add(name, i % 13), 0) << i;
  }
  ASSERT_EQ(engine->TransactionRollback(t), 0);
  EXPECT_LE(bm.PeakPageCount(), limit);
  EXPECT_EQ(Joined(Check("People")), "");
  EXPECT_EQ(Walk(cur).size(), static_cast<std::size_t>(kRecords));
}

TEST_F(People, EmptyTableThroughACursor) {
  ASSERT_EQ(Add("A", 1), 0);
  EXPECT_EQ(engine->EmptyTable(db, cur, "People"), qnresNeedExclusive);
  ASSERT_EQ(engine->CursorClose(cur), 0);
  std::uint32_t c = 0;
  ASSERT_EQ(engine->OpenTable(db, "People", "", 1, 1, 0, c, nullptr), 0);
  ASSERT_EQ(engine->EmptyTable(db, c, "People"), 0);
  std::uint32_t n = 9;
  ASSERT_EQ(engine->GetTableRecCount(c, n), 0);
  EXPECT_EQ(n, 0u);
  Record r(Dict(c));
  r.Str(1, "New");
  ASSERT_EQ(engine->RecordInsert(c, 0, r.Data()), 0);
  ASSERT_EQ(engine->CursorClose(c), 0);
  ASSERT_EQ(engine->EmptyTable(db, 0, "People"), 0);
  EXPECT_EQ(Joined(Check("People")), "");
}

TEST_F(People, IndexesAreAddedAndDropped) {
  for (const char* n : {"B", "A"}) ASSERT_EQ(Add(n, 1), 0);
  ASSERT_EQ(engine->CursorClose(cur), 0);
  const TqnIndexDescriptor d = OneFieldIndex("ByGroupOnly", 2, true);
  std::uint32_t outDb = 0;
  std::string outName;
  ASSERT_EQ(engine->AddIndex(db, 0, "People", d, outDb, outName), 0);
  EXPECT_EQ(engine->AddIndex(db, 0, "People", d, outDb, outName), 10027);
  std::int32_t rebuild = -1;
  ASSERT_EQ(engine->ReindexTable(db, "People", "ByGroupOnly", 0, rebuild), 0);
  engine->WaitForRebuilds();
  EXPECT_EQ(Joined(Check("People")), "");
  ASSERT_EQ(engine->DropIndex(db, 0, "People", "ByName", 0), 0);
  EXPECT_EQ(engine->DropIndex(db, 0, "People", "", 0), qnresNoSuchIndex);
  const std::uint32_t c = Open("People", 0);
  EXPECT_EQ(Dict(c).IndexCount(), 4);
  EXPECT_EQ(Dict(c).GetIndexFromName("ByGroupOnly"), 3);
  EXPECT_EQ(Joined(Check("People")), "");
}

// The table keeps the handles of its indexes from one insert or lookup to the next: an index
// added or dropped, an index change that fails, the files emptied and opened again under the
// open table, and a restructure are all seen by the very next insert and lookup.
TEST_F(People, TheNextInsertAndLookupSeeEveryChangeOfTheTablesIndexesAndFiles) {
  ASSERT_EQ(engine->CursorClose(cur), 0);
  const std::uint32_t c = Open("People", 0, 1, 0);
  const std::uint32_t byGroup = Open("People", 2, 1, 0);
  const auto add = [&](const std::string& Name, std::int32_t Group) {
    Record r(Dict(c));
    r.Str(1, Name).I32(2, Group);
    return engine->RecordInsert(c, 0, r.Data());
  };
  const auto find = [&](std::uint32_t Cursor, const std::string& Name, std::int32_t Group) {
    Record probe(Dict(Cursor)), out(Dict(Cursor));
    probe.Str(1, Name).I32(2, Group);
    if (engine->RecordGetForKey(Cursor, false, 0, 0, probe.Data(), out.Data()) != 0) return std::string("-");
    return out.GetStr(1);
  };
  ASSERT_EQ(add("B", 2), 0);
  ASSERT_EQ(add("A", 1), 0);
  EXPECT_EQ(find(byGroup, "A", 1), "A");
  std::uint32_t outDb = 0;
  std::string outName;
  TqnIndexDescriptor down = OneFieldIndex("Down", 2, true);
  down.Ascending = false;
  ASSERT_EQ(engine->AddIndex(0, c, "", down, outDb, outName), 0);
  ASSERT_EQ(add("C", 3), 0);
  const std::uint32_t byDown = Open("People", 4, 1, 0);
  EXPECT_EQ(Walk(byDown), (std::vector<std::string>{"C", "B", "A"}));
  EXPECT_EQ(find(byGroup, "C", 3), "C");

  // A unique index over groups that repeat is refused, and the dictionary read again.
  ASSERT_EQ(add("D", 3), 0);
  EXPECT_EQ(engine->AddIndex(0, c, "", OneFieldIndex("Once", 2, false), outDb, outName), qnresKeyViolation);
  ASSERT_EQ(add("E", 5), 0);
  EXPECT_EQ(Walk(byDown), (std::vector<std::string>{"E", "C", "D", "B", "A"}));
  EXPECT_EQ(find(byGroup, "E", 5), "E");
  EXPECT_EQ(Walk(byGroup), (std::vector<std::string>{"A", "B", "C", "D", "E"}));

  // The indexes above a dropped one move down.
  ASSERT_EQ(engine->DropIndex(0, c, "", "ByName", 0), 0);
  ASSERT_EQ(add("F", 6), 0);
  EXPECT_EQ(engine->FindCursor(byGroup)->Index, 1);
  EXPECT_EQ(find(byGroup, "F", 6), "F");
  EXPECT_EQ(Walk(byDown), (std::vector<std::string>{"F", "E", "C", "D", "B", "A"}));
  EXPECT_EQ(Walk(byGroup), (std::vector<std::string>{"A", "B", "C", "D", "E", "F"}));

  // Emptied: the table's files are closed and made again while it stays open.
  ASSERT_EQ(engine->EmptyTable(db, c, "People"), 0);
  ASSERT_EQ(add("G", 7), 0);
  ASSERT_EQ(add("H", 4), 0);
  EXPECT_EQ(find(byGroup, "G", 7), "G");
  EXPECT_EQ(Walk(byDown), (std::vector<std::string>{"G", "H"}));
  EXPECT_EQ(Walk(byGroup), (std::vector<std::string>{"H", "G"}));
  // The checker reads the files once the table is no longer held exclusively.
  for (const std::uint32_t x : {c, byGroup, byDown}) ASSERT_EQ(engine->CursorClose(x), 0);
  EXPECT_EQ(Joined(Check("People")), "");

  // Restructured: the table comes back with other indexes.
  TqnDataDictionary d(4096);
  d.AddField("ID", "", qftAutoInc, 0, 0, false);
  d.AddField("Name", "", qftShortString, 20, 0, false);
  d.AddField("Grp", "", qftInt32, 0, 0, false);
  d.AddIndex("NameDown", "", 0, {1}, true, false, true);
  std::int32_t id = -1;
  ASSERT_EQ(engine->RestructureTable(db, "People", d, nullptr, id), 0);
  const std::uint32_t byNameDown = Open("People", 1);
  for (const char* n : {"x", "Y", "z"}) {
    Record r(Dict(byNameDown));
    r.Str(1, n);
    ASSERT_EQ(engine->RecordInsert(byNameDown, 0, r.Data()), 0);
  }
  EXPECT_EQ(Walk(byNameDown), (std::vector<std::string>{"z", "Y", "x"}));
  EXPECT_EQ(find(byNameDown, "Y", 0), "Y");
  EXPECT_EQ(Joined(Check("People")), "");
}

TEST_F(People, AnIndexChangeWhoseCommitFailsLeavesDictionaryAndCursorsAsTheFileHasIt) {
  ASSERT_EQ(Add("A", 1), 0);
  ASSERT_EQ(Add("B", 2), 0);
  ASSERT_EQ(engine->CursorClose(cur), 0);
  // Lives for the whole run: files opened through it may be closed after this test's body.
  static TqnFaultyFileRoutines faulty;
  TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
  const std::uint32_t c = Open("People", 0, 1, 0);
  const std::uint32_t byId = Open("People", 3, 1, 0);
  const int before = Dict(c).IndexCount();
  // The commit is decided (its journal complete) before the table write fails, so the drop
  // is finished and reported done; what the engine keeps must say so.
  faulty.Arm(TqnFaultyFileRoutines::TFault::FailWrite, 1);
  EXPECT_EQ(engine->DropIndex(0, c, "", "ByName", 0), 0);
  EXPECT_TRUE(faulty.Fired());
  EXPECT_EQ(Dict(c).IndexCount(), before - 1);
  EXPECT_EQ(Dict(c).GetIndexFromName("ById"), 2);
  EXPECT_EQ(engine->FindCursor(byId)->Index, 2) << "a cursor follows its index to its new number";
  Record r(Dict(byId));
  ASSERT_EQ(engine->SetToBegin(byId), 0);
  ASSERT_EQ(engine->RecordGetNext(byId, 0, r.Data()), 0);
  EXPECT_EQ(r.GetStr(1), "A");
  ASSERT_EQ(engine->CursorClose(byId), 0);
  ASSERT_EQ(engine->CursorClose(c), 0);
  QNInstallFileAccessTable(previous);
  EXPECT_EQ(Joined(Check("People")), "");
  const std::uint32_t again = Open("People", 0);
  EXPECT_EQ(Dict(again).IndexCount(), before - 1);
}

// A table of the most files a dictionary allows: files 1 to 257 beside the data file.
void ManyFilesDictionary(TqnDataDictionary& D) {
  const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  for (std::uint32_t i = 1; i < kQnMostFiles; ++i)
    D.AddFile("", {'E', digits[i / 36], digits[i % 36]}, 4096, i == 1 ? 2 : 255);
  D.AddField("Nr", "", qftInt32, 0, 0, false);
  D.AddIndex("ByNr", "", 0, {0}, false, true, false);
}

// Building, opening and restructuring a table of many files looks for the journals of its
// folder once for the table, not once for each of its files: the folder is listed a few
// times in each step, however many files the table has.
TEST_F(EngineFixture, ATableOfManyFilesIsNotListedOncePerFile) {
  static TqnFaultyFileRoutines counting;
  TqnFileRoutines* previous = QNInstallFileAccessTable(&counting);
  int listings = counting.Listings();
  auto step = [&] {
    const int n = counting.Listings() - listings;
    listings = counting.Listings();
    return n;
  };
  Build("Many", ManyFilesDictionary);
  const int built = step();
  const std::uint32_t c = Open("Many", 1, 1, 0);
  const int opened = step();
  Record r(Dict(c));
  r.I32(0, 77);
  ASSERT_EQ(engine->RecordInsert(c, 0, r.Data()), 0);
  ASSERT_EQ(engine->CursorClose(c), 0);
  step();
  TqnDataDictionary d(4096);
  ManyFilesDictionary(d);
  const std::vector<std::string> map = {"Nr"};
  std::int32_t id = -1;
  ASSERT_EQ(engine->RestructureTable(db, "Many", d, &map, id), 0);
  const int restructuring = step();
  EXPECT_EQ(Finish(*engine, id)[rsStatusCode], 0u);
  step();
  QNInstallFileAccessTable(previous);
  std::cout << "folder listings: build " << built << ", open " << opened << ", restructure " << restructuring << "\n";
  EXPECT_LE(built, 12);
  EXPECT_LE(opened, 6);
  EXPECT_LE(restructuring, 24);
  const std::uint32_t again = Open("Many", 1);
  ASSERT_EQ(engine->SetToBegin(again), 0);
  Record back(Dict(again));
  ASSERT_EQ(engine->RecordGetNext(again, 0, back.Data()), 0);
  EXPECT_EQ(back.GetI32(0), 77);
  ASSERT_EQ(engine->CursorClose(again), 0);
  EXPECT_EQ(Joined(Check("Many")), "");
}

void IndexFileDictionary(TqnDataDictionary& D) {
  D.AddFile("", "IDX", 4096, 1);
  D.AddField("Nr", "", qftInt32, 0, 0, false);
  D.AddIndex("ByNr", "", 1, {0}, false, true, false);
}

// The checker reads each index from the file that holds it: a table whose index lies in a
// file of its own passes, and damage to that index is reported against that file.
TEST_F(EngineFixture, AnIndexInAFileOfItsOwnIsCheckedInThatFile) {
  Build("Split", IndexFileDictionary);
  const std::uint32_t c = Open("Split", 1, 1, 0);
  Record r(Dict(c));
  std::uint32_t t = 0;
  ASSERT_EQ(engine->TransactionStart(db, false, t), 0);
  for (std::int32_t i = 0; i < 600; ++i) {  // more keys than a leaf holds: a tree of two levels
    r.I32(0, i);
    ASSERT_EQ(engine->RecordInsert(c, 0, r.Data()), 0);
  }
  ASSERT_EQ(engine->TransactionCommit(t), 0);
  ASSERT_EQ(engine->CursorClose(c), 0);
  EXPECT_EQ(Joined(Check("Split")), "");
  // The key count of index 1 in the index header block of Split.IDX.
  const std::string idx = folder.File("Split.IDX");
  std::fstream f(idx, std::ios::in | std::ios::out | std::ios::binary);
  std::int32_t header = 0;
  f.seekg(4 * qfhIndexHeaderBlock);
  f.read(reinterpret_cast<char*>(&header), 4);
  const std::int32_t count = 12345;
  f.seekp(std::streamoff(header) * 4096 + 800 + 4);
  f.write(reinterpret_cast<const char*>(&count), 4);
  f.close();
  EXPECT_EQ(Joined(Check("Split")), idx + ": index 1: key count is 12345, the tree holds 600\n");
}

// Dropping an index moves the indexes above it down in the index header of every file of the
// table: an index kept in another file is still read, keys and all, under its new number.
TEST_F(EngineFixture, AnIndexInAnotherFileKeepsItsKeysWhenAnIndexBelowItIsDropped) {
  Build("Split", [](TqnDataDictionary& D) {
    D.AddFile("", "IDX", 4096, 1);
    D.AddField("Nr", "", qftInt32, 0, 0, false);
    D.AddIndex("Up", "", 0, {0}, false, true, false);
    D.AddIndex("Down", "", 1, {0}, false, false, false);
  });
  std::uint32_t c = Open("Split", 0, 1, 0);
  Record r(Dict(c));
  for (std::int32_t i = 1; i <= 3; ++i) ASSERT_EQ(engine->RecordInsert(c, 0, r.I32(0, i).Data()), 0);
  ASSERT_EQ(engine->CursorClose(c), 0);
  ASSERT_EQ(engine->DropIndex(db, 0, "Split", "Up", 0), 0);
  c = Open("Split", 1);
  ASSERT_EQ(engine->SetToBegin(c), 0);
  Record back(Dict(c));
  std::vector<std::int32_t> walked;
  while (engine->RecordGetNext(c, 0, back.Data()) == 0) walked.push_back(back.GetI32(0));
  EXPECT_EQ(walked, (std::vector<std::int32_t>{3, 2, 1}));
  ASSERT_EQ(engine->CursorClose(c), 0);
  EXPECT_EQ(Joined(Check("Split")), "");
}

}  // namespace
}  // namespace tw::dbengine::testing
