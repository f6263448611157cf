// Entry points with nil, stale and foreign handles; engine lifetime; dates and times; texts.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
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

TEST(DatesAndTimes, TimesAtTheirLimits) {
  std::int32_t time = -1;
  EXPECT_EQ(DbiTimeEncode(23, 59, 59999, time), DBIERR_NONE);
  EXPECT_EQ(time, 86399999);
  std::uint16_t h = 0, mi = 0, ms = 0;
  DbiTimeDecode(time, h, mi, ms);
  EXPECT_EQ((std::vector<int>{h, mi, ms}), (std::vector<int>{23, 59, 59999}));
  // Parts so large that their milliseconds do not fit 32 bits are refused, never wrapped.
  for (std::uint16_t hour : {std::uint16_t{597}, std::uint16_t{65535}}) {
    time = 77;
    EXPECT_EQ(DbiTimeEncode(hour, 65535, 65535, time), DBIERR_INVALIDPARAM) << hour;
    EXPECT_EQ(time, 0);
  }
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

// The result codes the server and the access layer can answer, read from their sources: every
// result constant (`constexpr DBIResult NAME = N;`) the code uses, and every number of the
// result range it returns or answers outright.  Comments do not count.
std::map<DBIResult, std::string> ResultCodesInSources(const std::filesystem::path& Root) {
  std::vector<std::filesystem::path> files;
  for (const char* dir : {"dbengine/base", "dbengine/storage", "dbengine/transport", "dbengine/server", "dbaccess"}) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(Root / dir)) {
      const std::string rel = e.path().lexically_relative(Root / dir).string();
      if (rel.rfind("tests", 0) == 0 || rel.rfind("bench", 0) == 0 || rel.rfind("fuzz", 0) == 0) continue;
      const std::string ext = e.path().extension().string();
      if (e.is_regular_file() && (ext == ".cpp" || ext == ".h")) files.push_back(e.path());
    }
  }
  auto read = [](const std::filesystem::path& P) {
    std::ifstream in(P, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return std::regex_replace(text, std::regex(R"(//[^\n]*)"), "");
  };
  const std::regex definition(R"(constexpr\s+DBIResult\s+(\w+)\s*=\s*(\d+)\s*;)");
  std::map<std::string, DBIResult> constants;
  std::vector<std::pair<std::string, std::string>> bodies;
  for (const auto& f : files) {
    const std::string text = read(f);
    for (std::sregex_iterator m(text.begin(), text.end(), definition), end; m != end; ++m)
      constants[(*m)[1]] = static_cast<DBIResult>(std::stoi((*m)[2]));
    bodies.emplace_back(f.filename().string(), std::regex_replace(text, definition, ""));
  }
  const std::regex identifier(R"(\b[A-Za-z_]\w*\b)");
  // `return 10027;`, `? 9487 :`, `: 10035;`, `Result = 10012;`: numbers answered as they stand.
  const std::regex number(R"((?:\breturn|\?|:|Result\s*=|\br\s*=)\s*\(?(\d{4,5})\b(?!\s*[-+*/]))");
  std::map<DBIResult, std::string> codes;
  for (const auto& [file, body] : bodies) {
    for (std::sregex_iterator m(body.begin(), body.end(), identifier), end; m != end; ++m) {
      auto c = constants.find(m->str());
      if (c != constants.end()) codes.emplace(c->second, file + ": " + c->first);
    }
    for (std::sregex_iterator m(body.begin(), body.end(), number), end; m != end; ++m) {
      const int n = std::stoi((*m)[1]);
      if (n >= 8449 && n <= 15617) codes.emplace(static_cast<DBIResult>(n), file + ": " + m->str());
    }
  }
  return codes;
}

// Every code a user can meet has a text of its own: the server's mapped engine errors and every
// code the server's and the access layer's sources answer.
TEST_F(ErrorTexts, EveryCodeTheServerAndTheLayerAnswerHasItsText) {
  const char* root = std::getenv("TIDEWELL_SOURCE_DIR");
  if (root == nullptr) GTEST_SKIP() << "TIDEWELL_SOURCE_DIR is not set";
  std::map<DBIResult, std::string> codes = ResultCodesInSources(root);
  // The scan sees what the hand-written list of old missed: the index definition codes.
  for (DBIResult c : {9487, 10012, 10023, 10027, 10035}) EXPECT_EQ(codes.count(c), 1u) << c;
  EXPECT_GE(codes.size(), 60u);
  for (int engineCode = 23500; engineCode <= 23800; ++engineCode)
    codes.emplace(dbengine::QNResultOfErrorCode(engineCode), "engine error " + std::to_string(engineCode));
  codes.erase(0);
  for (const auto& [c, where] : codes) {
    const std::string fallback = "DBE Error " + std::to_string(static_cast<std::int16_t>(c)) + ".";
    EXPECT_NE(LookupEngineErrorString(c), fallback) << c << " (" << where << ")";
  }
  EXPECT_EQ(GetEngineErrorText(10027), "Index already exists.");
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
