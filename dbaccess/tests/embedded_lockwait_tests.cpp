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

}  // namespace
}  // namespace tw::dbaccess::test
