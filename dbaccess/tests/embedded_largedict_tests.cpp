// The largest dictionary a table can have, on the program's own connection to the embedded
// server (the single-user transport): built, opened, restructured and opened again; and a
// request beyond the server's size limit is answered, not hung up.
#include <gtest/gtest.h>

#include "embeddedsupport.h"
#include "largest_table.h"

namespace tw::dbaccess::test {
namespace {

TEST_F(EmbeddedServer, TheLargestDictionaryIsBuiltRestructuredAndOpened) {
  hDBIDb db = 0;
  OpenFolder(db);
  EXPECT_EQ(WidestTableRoundTrip(db), WidestTableExpected());
  DbiCloseDatabase(db);
  EXPECT_EQ(DbiExit(), DBIERR_NONE);
}

// A request longer than any valid one gets its answer on the program's connection, and the
// session goes on.
TEST_F(EmbeddedServer, ARequestBeyondTheLimitIsAnsweredAndTheSessionGoesOn) {
  hDBIDb db = 0;
  OpenFolder(db);
  hDBISes session = 0;
  ASSERT_EQ(DbiGetCurrSession(session), DBIERR_NONE);
  auto* comms = TBapiListItem::Resolve<TQNClientSession>(session)->Comms();
  std::vector<std::uint8_t> tooLong(dbengine::kQnLargestRequest + 1, 0);
  EXPECT_EQ(comms->SendRequest(1300, tooLong.data(), static_cast<std::uint32_t>(tooLong.size()), true, nullptr, 0),
            9473);
  dbengine::TqnDataDictionary dict(4096);
  dict.AddField("Nr", "", dbengine::qftInt32, 0, 0, true);
  auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
  EXPECT_EQ(database->BuildTable("After", true, dict), DBIERR_NONE);
  hDBICur cur = 0;
  EXPECT_EQ(DbiOpenTable(db, "After", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, cur), DBIERR_NONE);
  DbiCloseCursor(cur);
  DbiCloseDatabase(db);
  EXPECT_EQ(DbiExit(), DBIERR_NONE);
}

}  // namespace
}  // namespace tw::dbaccess::test
