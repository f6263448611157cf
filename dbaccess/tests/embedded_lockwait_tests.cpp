// A record read that meets another session's lock, in the program's own in-process setup: the
// request waits in the server's queue and is offered again while the client waits for its
// reply.  The engine's tick count runs on the offscreen display's virtual clock, so that the
// waits take no real time.
#include "dbaccess/commsengine.h"
#include "dbaccess/session.h"
#include "dbengine/server/server_engine.h"
#include "embeddedsupport.h"
#include "platform/rtl/tickclock.h"

namespace tw::dbaccess::test {
namespace {

using dbengine::TqnServerEngine;

constexpr DBIResult kRecordLocked = 10241;  // "Record locked by another user."

// What the release timer does, and when it did it.
struct Release {
  static inline std::uint32_t Cursor = 0;
  static inline std::uint64_t At = 0;
  static void Fire(HWND Window, UINT, UINT_PTR Id, DWORD) {
    KillTimer(Window, Id);
    TqnServerEngine::Instance()->RecordRelLock(Cursor, true);
    At = Display().NowMs();
  }
};

class LockWait : public EmbeddedTable {
 protected:
  void SetUp() override {
    EmbeddedTable::SetUp();
    SetTickSource([] { return static_cast<std::uint32_t>(Display().NowMs()); });
    hDBISes session = 0;
    ASSERT_EQ(DbiGetCurrSession(session), DBIERR_NONE);
    comms = dynamic_cast<TqnClientCommsEngine*>(TBapiListItem::Resolve<TQNClientSession>(session)->Comms());
    ASSERT_NE(comms, nullptr);
    // Another client of the same server locks the first record (Ada).
    engine = TqnServerEngine::Instance();
    ASSERT_NE(engine, nullptr);
    std::uint32_t hash = 0, database = 0;
    ASSERT_EQ(engine->ClientAdd(777, "other", "admin", hash), 0);
    ASSERT_EQ(engine->DatabaseOpenNoAlias(777, folder.string(), 1, 1, database), 0);
    ASSERT_EQ(engine->OpenTable(database, "Persons", "ByNr", -1, 1, 1, locker, nullptr), 0);
    std::vector<std::uint8_t> rec(static_cast<std::size_t>(engine->CursorRecordLength(locker)));
    ASSERT_EQ(engine->SetToBegin(locker), 0);
    ASSERT_EQ(engine->RecordGetNext(locker, 1, rec.data()), 0);
    DbiSetToBegin(cur);
    ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    ASSERT_EQ(NameOf(record), "Ada");
  }
  void TearDown() override {
    SetTickSource(nullptr);
    EmbeddedTable::TearDown();
  }
  TqnClientCommsEngine* comms = nullptr;
  TqnServerEngine* engine = nullptr;
  std::uint32_t locker = 0;
};

TEST_F(LockWait, ReadSucceedsSoonAfterTheLockIsReleased) {
  Release::Cursor = locker;
  Release::At = 0;
  SetTimer(comms->EngineWindow(), 0x7E57, 3000, &Release::Fire);
  const std::uint64_t start = Display().NowMs();
  EXPECT_EQ(DbiGetRecord(cur, dbiWRITELOCK, record.data(), nullptr), DBIERR_NONE);
  const std::uint64_t done = Display().NowMs();
  ASSERT_NE(Release::At, 0u);
  EXPECT_GE(Release::At, start + 3000);  // it waited while the lock was held
  EXPECT_LE(done - Release::At, 1000u);
  EXPECT_EQ(NameOf(record), "Ada");
  EXPECT_TRUE(comms->IsConnected());
}

TEST_F(LockWait, WaitPastTheLimitAnswersTheLockCodeAndTheSessionGoesOn) {
  const std::uint64_t start = Display().NowMs();
  EXPECT_EQ(DbiGetRecord(cur, dbiWRITELOCK, record.data(), nullptr), kRecordLocked);
  EXPECT_GE(Display().NowMs() - start, 10000u);
  EXPECT_TRUE(comms->IsConnected());
  EXPECT_EQ(DbiGetRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(NameOf(record), "Ada");
  ASSERT_EQ(DbiGetNextRecord(cur, dbiWRITELOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(NameOf(record), "Ben");
}


// What the change timer does: the lock's holder renames its record (a change that keeps the
// record's place) and lets go of the lock, as a modify does.
struct Rename {
  static inline std::uint32_t Cursor = 0;
  static inline std::string Name;
  static void Fire(HWND Window, UINT, UINT_PTR Id, DWORD) {
    KillTimer(Window, Id);
    TqnServerEngine* e = TqnServerEngine::Instance();
    std::vector<std::uint8_t> rec(static_cast<std::size_t>(e->CursorRecordLength(Cursor)));
    e->RecordGet(Cursor, 0, rec.data());
    char name[13] = {};
    std::snprintf(name, sizeof name, "%s", Name.c_str());
    e->FindCursor(Cursor)->Table->Dictionary().SetRecordField(0, rec.data(), reinterpret_cast<std::uint8_t*>(name));
    e->RecordModify(Cursor, true, rec.data());
  }
};

// A session's locked read, by each way a program makes one (the next record, the prior one, the
// current one, the record after a key search), waits while another client holds the record's
// lock and changes the record; it then reads the record as that client left it, never 8709.
TEST_F(LockWait, ALockedReadThatWaitsReadsTheRecordAsTheHolderLeftIt) {
  std::vector<std::uint8_t> rec(static_cast<std::size_t>(engine->CursorRecordLength(locker)));
  for (int way = 0; way < 4; ++way) {
    SCOPED_TRACE(way);
    // The holder locks the record the read reaches: the last for the prior record, else the first.
    ASSERT_EQ(engine->RecordRelLock(locker, true), 0);
    if (way == 1) {
      ASSERT_EQ(engine->SetToEnd(locker), 0);
      ASSERT_EQ(engine->RecordGetPrev(locker, 1, rec.data()), 0);
    } else {
      ASSERT_EQ(engine->SetToBegin(locker), 0);
      ASSERT_EQ(engine->RecordGetNext(locker, 1, rec.data()), 0);
    }
    Rename::Cursor = locker;
    Rename::Name = "Changed" + std::to_string(way);
    SetTimer(comms->EngineWindow(), 0x7E58, 2000, &Rename::Fire);
    const std::uint64_t start = Display().NowMs();
    DBIResult r = DBIERR_NONE;
    switch (way) {
      case 0:
        DbiSetToBegin(cur);
        r = DbiGetNextRecord(cur, dbiWRITELOCK, record.data(), nullptr);
        break;
      case 1:
        DbiSetToEnd(cur);
        r = DbiGetPriorRecord(cur, dbiWRITELOCK, record.data(), nullptr);
        break;
      case 2:
        DbiSetToBegin(cur);
        ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
        r = DbiGetRecord(cur, dbiWRITELOCK, record.data(), nullptr);
        break;
      default: {
        std::vector<std::uint8_t> key(record.size());
        DbiInitRecord(cur, key.data());
        const std::int16_t nr = 10;
        Put(cur, key.data(), 3, &nr);
        ASSERT_EQ(DbiSetToKey(cur, keySEARCHEQ, false, 0, 0, key.data()), DBIERR_NONE);
        r = DbiGetNextRecord(cur, dbiWRITELOCK, record.data(), nullptr);
      }
    }
    EXPECT_EQ(r, DBIERR_NONE);
    EXPECT_GE(Display().NowMs() - start, 2000u) << "it waited for the lock";
    EXPECT_EQ(NameOf(record), Rename::Name);
    // It holds the lock now: the other client cannot take it.
    EXPECT_EQ(engine->RecordGet(locker, 1, rec.data()), kRecordLocked);
    ASSERT_EQ(DbiRelRecordLock(cur, true), DBIERR_NONE);
  }
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Changed3", "Ben", "Cyd", "Changed1"}));
}


// The lock's holder deletes its record, which lets go of the lock.
struct Remove {
  static inline std::uint32_t Cursor = 0;
  static void Fire(HWND Window, UINT, UINT_PTR Id, DWORD) {
    KillTimer(Window, Id);
    TqnServerEngine::Instance()->RecordDelete(Cursor, nullptr);
  }
};

// A locked step that waits for another client's lock ends next to where it started: on the
// record it waited for once that is free (not one past it), or, when the holder deleted that
// record, on the record now next to the start in the step's direction.
TEST_F(LockWait, ALockedStepThatWaitsEndsNextToWhereItStarted) {
  std::vector<std::uint8_t> rec(static_cast<std::size_t>(engine->CursorRecordLength(locker)));
  ASSERT_EQ(engine->RecordGetNext(locker, 1, rec.data()), 0);  // Ben, locked
  ASSERT_EQ(NameOf(record), "Ada");
  Release::Cursor = locker;
  SetTimer(comms->EngineWindow(), 0x7E57, 2000, &Release::Fire);
  std::uint64_t start = Display().NowMs();
  ASSERT_EQ(DbiGetNextRecord(cur, dbiWRITELOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_GE(Display().NowMs() - start, 2000u) << "it waited for the lock";
  EXPECT_EQ(NameOf(record), "Ben") << "the record it waited for, not the one after it";
  ASSERT_EQ(DbiRelRecordLock(cur, true), DBIERR_NONE);

  // Backwards from Dag onto Cyd, which its holder deletes while the step waits: Ben.
  ASSERT_EQ(engine->RecordGetNext(locker, 1, rec.data()), 0);  // Cyd, locked
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(NameOf(record), "Dag");
  Remove::Cursor = locker;
  SetTimer(comms->EngineWindow(), 0x7E59, 2000, &Remove::Fire);
  start = Display().NowMs();
  ASSERT_EQ(DbiGetPriorRecord(cur, dbiWRITELOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_GE(Display().NowMs() - start, 2000u);
  EXPECT_EQ(NameOf(record), "Ben") << "the record now before Dag";
  EXPECT_EQ(engine->RecordGet(locker, 0, rec.data()), 0) << "the deleting cursor stands on Dag";
  EXPECT_EQ(engine->RecordGet(locker, 1, rec.data()), 0) << "Dag is not locked";
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ada", "Ben", "Dag"}));
}


// Two cursors of one session: a write lock that one cursor holds is a conflict for the other,
// answered with the lock code (at once or after the wait), and the session lives on.
class OneSessionLocks : public EmbeddedTable {
 protected:
  void SetUp() override {
    EmbeddedTable::SetUp();
    ASSERT_EQ(DbiOpenTable(db, "Persons", nullptr, "ByNr", nullptr, 0, 0, 0, 0, false, nullptr, other),
              DBIERR_NONE);
    other_record.assign(record.size(), 0);
  }
  // A second session of the process with the table open in it (and current).
  void OpenInSecondSession(hDBICur& Cursor) {
    hDBISes second = 0;
    ASSERT_EQ(DbiStartSession(nullptr, second, nullptr), DBIERR_NONE);
    hDBIDb db2 = 0;
    const std::string path = folder.string() + "/";
    ASSERT_EQ(DbiOpenDatabase(path.c_str(), nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, db2),
              DBIERR_NONE);
    ASSERT_EQ(DbiOpenTable(db2, "Persons", nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false,
                           nullptr, Cursor),
              DBIERR_NONE);
  }
  hDBICur other = 0;
  std::vector<std::uint8_t> other_record;
};

// Both sessions of the process reach one server, one cache and one lock table: increments of
// one record under write locks, taken by turns, are all stored.
TEST_F(OneSessionLocks, IncrementsOfTwoSessionsUnderWriteLocksAreNeverLost) {
  hDBICur cur2 = 0;
  ASSERT_NO_FATAL_FAILURE(OpenInSecondSession(cur2));
  hDBICur cursors[2] = {cur, cur2};
  std::vector<std::uint8_t>* records[2] = {&record, &other_record};
  for (int round = 0; round < 100; ++round) {
    const hDBICur c = cursors[round % 2];
    std::vector<std::uint8_t>& rec = *records[round % 2];
    // The last record by number stays the last as its number grows.
    DbiSetToEnd(c);
    ASSERT_EQ(DbiGetPriorRecord(c, dbiWRITELOCK, rec.data(), nullptr), DBIERR_NONE) << round;
    std::int16_t nr = 0;
    bool blank = false;
    ASSERT_EQ(DbiGetField(c, 3, rec.data(), reinterpret_cast<std::uint8_t*>(&nr), blank), DBIERR_NONE);
    ++nr;
    Put(c, rec.data(), 3, &nr);
    ASSERT_EQ(DbiModifyRecord(c, rec.data(), true), DBIERR_NONE) << round;
  }
  for (hDBICur c : cursors) {
    std::vector<std::uint8_t> rec(record.size());
    ASSERT_EQ(DbiSetToBegin(c), DBIERR_NONE);
    std::vector<std::int16_t> numbers;
    while (DbiGetNextRecord(c, dbiNOLOCK, rec.data(), nullptr) == DBIERR_NONE) {
      std::int16_t nr = 0;
      bool blank = false;
      DbiGetField(c, 3, rec.data(), reinterpret_cast<std::uint8_t*>(&nr), blank);
      numbers.push_back(nr);
    }
    EXPECT_EQ(numbers, (std::vector<std::int16_t>{10, 20, 30, 140}));
  }
}

// Two sessions by turns: one steps onto a record without a lock, the other locks, changes and
// releases it, and the first then asks for the record with a write lock: it gets the record as
// changed, and its change after it loses nothing.
TEST_F(OneSessionLocks, ALockedReadAfterAnotherSessionsChangeTakesTheRecordAsItIsNow) {
  hDBICur cur2 = 0;
  ASSERT_NO_FATAL_FAILURE(OpenInSecondSession(cur2));
  for (int round = 0; round < 20; ++round) {
    const hDBICur stepper = round % 2 ? cur : cur2, changer = round % 2 ? cur2 : cur;
    std::vector<std::uint8_t>& a = round % 2 ? record : other_record;
    std::vector<std::uint8_t>& b = round % 2 ? other_record : record;
    DbiSetToBegin(stepper);
    ASSERT_EQ(DbiGetNextRecord(stepper, dbiNOLOCK, a.data(), nullptr), DBIERR_NONE);
    DbiSetToBegin(changer);
    ASSERT_EQ(DbiGetNextRecord(changer, dbiWRITELOCK, b.data(), nullptr), DBIERR_NONE);
    bool blank = false;
    const std::string name = "Ada" + std::to_string(round);
    Put(changer, b.data(), 1, name.c_str());
    ASSERT_EQ(DbiModifyRecord(changer, b.data(), true), DBIERR_NONE);
    ASSERT_EQ(DbiGetRecord(stepper, dbiWRITELOCK, a.data(), nullptr), DBIERR_NONE) << round;
    char seen[16] = {};
    DbiGetField(stepper, 1, a.data(), reinterpret_cast<std::uint8_t*>(seen), blank);
    EXPECT_EQ(std::string(seen), name);
    const std::string mine = name + "x";
    Put(stepper, a.data(), 1, mine.c_str());
    ASSERT_EQ(DbiModifyRecord(stepper, a.data(), true), DBIERR_NONE);
  }
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ada19x", "Ben", "Cyd", "Dag"}));
}

TEST_F(OneSessionLocks, ASecondCursorMeetsTheLockCodeAndBothCursorsGoOn) {
  DbiSetToBegin(cur);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiWRITELOCK, record.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(NameOf(record), "Ada");
  DbiSetToBegin(other);
  EXPECT_EQ(DbiGetNextRecord(other, dbiWRITELOCK, other_record.data(), nullptr), kRecordLocked);
  EXPECT_EQ(DbiGetRecord(other, dbiWRITELOCK, other_record.data(), nullptr), kRecordLocked);
  // Both cursors and the session work on.
  EXPECT_EQ(DbiGetRecord(other, dbiNOLOCK, other_record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(NameOf(other_record), "Ada");
  Put(cur, record.data(), 1, "Ada Lovelace");
  EXPECT_EQ(DbiModifyRecord(cur, record.data(), true), DBIERR_NONE);
  DbiSetToBegin(other);
  EXPECT_EQ(DbiGetNextRecord(other, dbiWRITELOCK, other_record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(NameOf(other_record), "Ada Lovelace");
  EXPECT_EQ(DbiGetNextRecord(cur, dbiWRITELOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(NameOf(record), "Ben");
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ada Lovelace", "Ben", "Cyd", "Dag"}));
}

}  // namespace
}  // namespace tw::dbaccess::test

namespace tw::dbaccess::test {
namespace {

// The same conflict between two sessions of the process: the second waits for the lock until
// its request's deadline (the tick count follows the display's virtual clock), then hears the
// lock code; both sessions work on.
TEST_F(OneSessionLocks, ACursorOfAnotherSessionWaitsThenMeetsTheLockCode) {
  SetTickSource([] { return static_cast<std::uint32_t>(Display().NowMs()); });
  hDBISes first = 0;
  hDBICur cur2 = 0;
  ASSERT_EQ(DbiGetCurrSession(first), DBIERR_NONE);
  ASSERT_NO_FATAL_FAILURE(OpenInSecondSession(cur2));
  DbiSetToBegin(cur);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiWRITELOCK, record.data(), nullptr), DBIERR_NONE);
  const std::uint64_t start = Display().NowMs();
  DbiSetToBegin(cur2);
  EXPECT_EQ(DbiGetNextRecord(cur2, dbiWRITELOCK, other_record.data(), nullptr), kRecordLocked);
  EXPECT_GE(Display().NowMs() - start, 10000u);
  EXPECT_EQ(DbiGetRecord(cur2, dbiNOLOCK, other_record.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiSetCurrSession(first), DBIERR_NONE);
  EXPECT_EQ(DbiModifyRecord(cur, record.data(), true), DBIERR_NONE);
  DbiSetToBegin(cur2);
  EXPECT_EQ(DbiGetNextRecord(cur2, dbiWRITELOCK, other_record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(DbiGetNextRecord(cur, dbiWRITELOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(NameOf(record), "Ben");
  SetTickSource(nullptr);
}

}  // namespace
}  // namespace tw::dbaccess::test
