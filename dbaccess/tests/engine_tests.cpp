// Entry points with nil, stale and foreign handles; engine lifetime; dates and times; texts.
#include <set>

#include "dbaccess/basetable.h"
#include "dbaccess/handles.h"
#include "dbaccess/virteng.h"
#include "dbengine/base/errors.h"
#include "testsupport.h"

namespace tw::dbaccess::test {
namespace {

class EntryPoints : public AccessTest {};

TEST_F(EntryPoints, NilStaleAndForeignCursorHandlesAnswer9990AndCallNothing) {
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  std::uint8_t record[16] = {};
  EXPECT_EQ(DbiGetNextRecord(0, dbiNOLOCK, record, nullptr), DBIERR_INVALIDHNDL);

  // A session handle is a live id, but not a cursor.
  hDBISes session = 0;
  ASSERT_EQ(DbiGetCurrSession(session), DBIERR_NONE);
  EXPECT_EQ(DbiGetNextRecord(session, dbiNOLOCK, record, nullptr), DBIERR_INVALIDHNDL);
  EXPECT_EQ(DbiSetToBegin(session), DBIERR_INVALIDHNDL);

  // A freed cursor's id does not come back to life.
  auto* cursor = new TBaseTable(nullptr, nullptr, 0, 0);
  hDBICur stale = cursor->Handle();
  delete cursor;
  EXPECT_EQ(DbiGetRecord(stale, dbiNOLOCK, record, nullptr), DBIERR_INVALIDHNDL);
  hDBIDb db = 0;
  EXPECT_EQ(DbiOpenTable(db, "x", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, stale), DBIERR_INVALIDHNDL);
  EXPECT_EQ(stale, 0u);
  hDBIStmt stmt = 77;
  EXPECT_EQ(DbiQFree(stmt), DBIERR_INVALIDHNDL);
  EXPECT_EQ(stmt, 0u);
}

TEST_F(EntryPoints, WithoutEngineEveryHandleCallFailsCleanly) {
  hDBISes s = 5;
  EXPECT_EQ(DbiGetCurrSession(s), DBIERR_INVALIDSESHANDLE);
  EXPECT_EQ(s, 0u);
  EXPECT_EQ(DbiSetToEnd(1), DBIERR_INVALIDHNDL);
  SESInfo info;
  EXPECT_EQ(DbiGetSesInfo(info), DBIERR_INVALIDSESHANDLE);
  std::uint16_t len = 9;
  EXPECT_EQ(DbiGetProp(0, 0, nullptr, 0, len), DBIERR_INVALIDPARAM);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(DbiSetProp(123456, 0, 0), DBIERR_INVALIDPARAM);
}

TEST_F(EntryPoints, InitTwiceExitTwiceAndSessionClosing) {
  EXPECT_EQ(DbiInit(nullptr), DBIERR_NONE);
  EXPECT_EQ(DbiInit(nullptr), DBIERR_MULTIPLEINIT);
  hDBISes s = 0;
  ASSERT_EQ(DbiGetCurrSession(s), DBIERR_NONE);
  ASSERT_NE(s, 0u);
  EXPECT_EQ(DbiCloseSession(s), DBIERR_NONE);
  EXPECT_EQ(DbiCloseSession(s), DBIERR_INVALIDSESHANDLE);
  EXPECT_EQ(DbiGetCurrSession(s), DBIERR_INVALIDSESHANDLE);
  EXPECT_EQ(s, 0u);
  EXPECT_EQ(DbiSetCurrSession(0), DBIERR_INVALIDSESHANDLE);
  EXPECT_EQ(DbiExit(), DBIERR_NONE);
  EXPECT_EQ(DbiExit(), DBIERR_NONE);
}

TEST_F(EntryPoints, SessionWithoutServerReportsProtocolFailureOnce) {
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Caption, "Quarnel Communications Error");
  EXPECT_EQ(Boxes[0].Text, "Network Protocol Failure");
  // Its database operations answer 9990 without a request.
  hDBIDb db = 0;
  EXPECT_EQ(DbiOpenDatabase("/tmp/", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), DBIERR_INVALIDHNDL);
  EXPECT_EQ(db, 0u);
}

TEST_F(EntryPoints, EngineObjectAndItsClientProperty) {
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  hDBIObj engine = 0;
  ASSERT_EQ(DbiGetObjFromName(7, nullptr, engine), DBIERR_NONE);
  EXPECT_EQ(DbiSetProp(engine, sysCLIENTPROP, 0x1234), DBIERR_NONE);
  std::uint32_t value = 0;
  std::uint16_t len = 0;
  EXPECT_EQ(DbiGetProp(engine, sysCLIENTPROP, &value, 4, len), DBIERR_NONE);
  EXPECT_EQ(value, 0x1234u);
  EXPECT_EQ(len, 4);
  EXPECT_EQ(DbiGetProp(engine, 42, &value, 4, len), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(DbiSetProp(engine, 42, 1), DBIERR_NONE);

  Boxes.clear();
  hDBIObj other = 5;
  EXPECT_EQ(DbiGetObjFromName(3, "x", other), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(other, 0u);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "DBE Call DBIGETOBJFROMNAME not supported.");
  EXPECT_EQ(OsLdLoadBySymbName("x", other), DBIERR_NA);
}

TEST(DatesAndTimes, EncodingsRoundTripAndMatchTheKnownValues) {
  std::int32_t date = 0;
  EXPECT_EQ(DbiDateEncode(1, 1, 1900, date), DBIERR_NONE);
  EXPECT_EQ(date, 693596);
  std::uint16_t m = 0, d = 0;
  std::int16_t y = 0;
  DbiDateDecode(693596, m, d, y);
  EXPECT_EQ(m, 1);
  EXPECT_EQ(d, 1);
  EXPECT_EQ(y, 1900);
  // A two-digit year is taken from 1950 to 2049.
  DbiDateEncode(3, 15, 49, date);
  DbiDateDecode(date, m, d, y);
  EXPECT_EQ(y, 2049);

  std::int32_t time = 0;
  DbiTimeEncode(13, 45, 30500, time);
  EXPECT_EQ(time, 49530500);
  std::uint16_t h = 0, mi = 0, ms = 0;
  DbiTimeDecode(time, h, mi, ms);
  EXPECT_EQ(h, 13);
  EXPECT_EQ(mi, 45);
  EXPECT_EQ(ms, 30500);

  std::int32_t sd = 0, st = 0;
  EXPECT_EQ(DbiTimeStampDecode(86400000.0 * 693596 + 1000, sd, st), DBIERR_NONE);
  EXPECT_EQ(sd, 693596);
  EXPECT_EQ(st, 1000);
  EXPECT_EQ(DbiTimeStampDecode(-5, sd, st), DBIERR_INVALIDPARAM);
  // A stored date outside the calendar decodes to zeros, never garbage.
  DbiDateDecode(-7, m, d, y);
  EXPECT_EQ(m + d + y, 0);
}

TEST(DatesAndTimes, DatesThatDoNotExistAreRefused) {
  struct Case {
    std::uint16_t Month, Day;
    std::int16_t Year;
  };
  for (Case c : {Case{2, 30, 2024}, Case{13, 1, 2024}, Case{0, 0, 0}, Case{2, 29, 2023}, Case{4, 31, 1990},
                 Case{0, 10, 2000}, Case{6, 0, 2000}}) {
    std::int32_t date = 12345;
    EXPECT_EQ(DbiDateEncode(c.Month, c.Day, c.Year, date), DBIERR_INVALIDDATE) << c.Month << "/" << c.Day << "/" << c.Year;
    EXPECT_EQ(date, 0);
  }
  std::int32_t date = 0;
  EXPECT_EQ(DbiDateEncode(2, 29, 2024, date), DBIERR_NONE);
  EXPECT_EQ(GetEngineErrorText(DBIERR_INVALIDDATE), "Invalid date.");
}

TEST_F(EntryPoints, NativeToAnsiWritesNoMoreThanTheLengthGiven) {
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  char out[8];
  std::memset(out, '#', sizeof out);
  bool loss = true;
  ASSERT_EQ(DbiNativeToAnsi(nullptr, out, "Tidewell", 4, loss), DBIERR_NONE);
  EXPECT_EQ(std::string(out, 4), "Tide");
  EXPECT_EQ(out[4], '#');
  EXPECT_FALSE(loss);
  // A shorter text is copied with its terminator, still inside the length.
  std::memset(out, '#', sizeof out);
  ASSERT_EQ(DbiAnsiToNative(nullptr, out, "Sun", 6, loss), DBIERR_NONE);
  EXPECT_STREQ(out, "Sun");
  EXPECT_EQ(out[4], '#');
  // Length 0: the whole zero-terminated text.
  ASSERT_EQ(DbiNativeToAnsi(nullptr, out, "Moon", 0, loss), DBIERR_NONE);
  EXPECT_STREQ(out, "Moon");
}

TEST(DatabaseNames, BracketedPrefixIsCutOut) {
  EXPECT_EQ(CleanDatabaseName("[xyz] Tidewell"), "Tidewell");
  EXPECT_EQ(CleanDatabaseName("[open Tidewell"), "[open Tidewell");
  EXPECT_EQ(CleanDatabaseName("Tide[x]"), "Tide");
  EXPECT_EQ(CleanDatabaseName(nullptr), "");
}

class ErrorTexts : public AccessTest {};

TEST_F(ErrorTexts, CodesWithAndWithoutTexts) {
  EXPECT_EQ(GetEngineErrorText(DBIERR_NOTSUPPORTED), "Not Supported");
  EXPECT_EQ(LookupEngineErrorString(DBIERR_NOTSUPPORTED), "Capability not supported.");
  EXPECT_EQ(GetEngineErrorText(1), "DBE Error 1.");
  EXPECT_EQ(GetEngineErrorText(0xFFFF), "DBE Error -1.");
  EXPECT_EQ(GetEngineErrorText(DBIERR_INVALIDHNDL), "Invalid handle to the function.");
  char buffer[256] = {};
  EXPECT_EQ(DbiGetErrorString(DBIERR_EOF, buffer), DBIERR_NONE);
  EXPECT_STREQ(buffer, "At end of table.");
}

// Every code a user can meet has a text of its own: the server's mapped engine errors, the
// server's own result codes and the codes the access layer produces itself.
TEST_F(ErrorTexts, EveryCodeTheServerAndTheLayerAnswerHasItsText) {
  std::set<DBIResult> codes;
  for (int engineCode = 23500; engineCode <= 23800; ++engineCode)
    codes.insert(dbengine::QNResultOfErrorCode(engineCode));
  EXPECT_GE(codes.size(), 50u);
  // The server's own answers (engine and request layer).
  for (DBIResult c : {dbengine::qnresAtBOF, dbengine::qnresAtEOF, dbengine::qnresNoCurrentRecord,
                      dbengine::qnresNoMemory, dbengine::qnresInvalidHandle, dbengine::qnresOpenFailed,
                      dbengine::qnresNoSuchIndex, dbengine::qnresInvalidBlobOffset, dbengine::qnresUnknownDatabase,
                      dbengine::qnresInvalidDirectory, dbengine::qnresValueOutOfBounds,
                      dbengine::qnresDifferentTables, dbengine::qnresInvalidBookmark, dbengine::qnresNoSuchTable,
                      dbengine::qnresInvalidBlobLength, dbengine::qnresInvalidBlobHandle,
                      dbengine::qnresInvalidPassword, dbengine::qnresRecordLocked, dbengine::qnresUnlockFailed,
                      dbengine::qnresFileLocked, dbengine::qnresNeedExclusive, dbengine::qnresLockConflict,
                      dbengine::qnresNoRights, dbengine::qnresDatabaseReadOnly, dbengine::qnresFieldReadOnly,
                      dbengine::qnresNoEncryptedTables, dbengine::qnresTableReadOnly, dbengine::qnresNetUnknown,
                      dbengine::qnresNetTimeout, dbengine::qnresBlobError, dbengine::qnresNotSupported,
                      dbengine::qnresTableExists, dbengine::qnresUnknownErrorCode,
                      dbengine::qnresUnexpectedException})
    codes.insert(c);
  // Those of the server engine's requests: record not found, key violation, required field
  // missing, alias exists, table open, invalid table name, no transaction, index needed,
  // BLOB freed, and the file-BLOB errors.
  for (DBIResult c : {8710, 9729, 9732, 10009, 10031, 10039, 10257, 10764, 13058, 15440, 15441, 15442})
    codes.insert(c);
  // The access layer's own.
  for (DBIResult c : {DBIERR_BOF, DBIERR_EOF, DBIERR_KEYORRECDELETED, DBIERR_NOCURRREC, DBIERR_RECNOTFOUND,
                      DBIERR_OBJNOTFOUND, DBIERR_NOMEMORY, DBIERR_TOOMANYDRIVERS, DBIERR_INVALIDFIELD,
                      DBIERR_INVALIDPARAM, DBIERR_INVALIDHNDL, DBIERR_INVALIDSESHANDLE, DBIERR_UNKNOWNDB,
                      DBIERR_NOSUCHTABLE, DBIERR_INVALIDBLOBLEN, DBIERR_INVALIDBLOBHANDLE, DBIERR_INVALIDPASSWORD,
                      DBIERR_NOTINDEXED, DBIERR_INVALIDFILTER, DBIERR_INVALIDDATE, DBIERR_ACTIVETRAN, DBIERR_NA,
                      DBIERR_NOTINITIALIZED, DBIERR_MULTIPLEINIT, DBIERR_INDEXREADONLY, DBIERR_NETTIMEOUT,
                      DBIERR_NETNOTCONNECTED, DBIERR_BLOBFREED})
    codes.insert(c);
  codes.erase(0);
  for (DBIResult c : codes) {
    const std::string fallback = "DBE Error " + std::to_string(static_cast<std::int16_t>(c)) + ".";
    EXPECT_NE(LookupEngineErrorString(c), fallback) << c;
  }
  EXPECT_EQ(GetEngineErrorText(15361), "QN SERVER ERROR: File could not be opened");
  EXPECT_EQ(GetEngineErrorText(10030), "Invalid BLOB handle in record buffer.");
  EXPECT_EQ(GetEngineErrorText(15426),
            "QN SERVER ERROR: The maximum number of indexes (255) have already been added");
}

TEST_F(ErrorTexts, UnprovidedCallsAnswer12289LoudOrQuiet) {
  TBaseTable cursor(nullptr, nullptr, 0, 0);
  EXPECT_EQ(cursor.AcqTableLock(dbiWRITELOCK), DBIERR_NOTSUPPORTED);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "DBE Call DBIACQTABLELOCK not supported.");
  EXPECT_EQ(Boxes[0].Caption, "Quarnel System Message");
  EXPECT_EQ(Boxes[0].Flags, 0x2040u);
  EXPECT_EQ(cursor.Result(), DBIERR_NOTSUPPORTED);

  Boxes.clear();
  EXPECT_EQ(cursor.ReportNotSupported(""), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(cursor.NotSupported(), DBIERR_NOTSUPPORTED);
  EXPECT_TRUE(Boxes.empty());

  // The query variant leaves the kept result alone.
  cursor.SetResult(0);
  EXPECT_EQ(cursor.ReportQueryNotSupported("QALLOC"), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(cursor.Result(), 0);
  EXPECT_EQ(Boxes.back().Text, "DBE Call DBIQALLOC not supported.");
}

}  // namespace
}  // namespace tw::dbaccess::test
