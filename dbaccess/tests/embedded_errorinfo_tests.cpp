// The session's error information after real cursor calls on the embedded server.
#include "dbaccess/session.h"
#include "dbaccess/virteng.h"
#include "embeddedsupport.h"

namespace tw::dbaccess::test {
namespace {

TEST_F(EmbeddedTable, ErrorInfoFollowsTheLastCursorCall) {
  TBaseSession* session = VirtEng()->CurrentSession();
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(Walk().size(), 4u);  // ends with the move past the last record
  DBIErrInfo info;
  ASSERT_EQ(session->GetErrorInfo(info), DBIERR_NONE);
  EXPECT_EQ(info.iError, DBIERR_EOF);
  EXPECT_STREQ(info.szErrCode, "At end of table.");
  EXPECT_STREQ(info.szContext[0], "DBE Error: 8706");

  // A successful call clears it.
  ASSERT_EQ(DbiSetToBegin(cur), DBIERR_NONE);
  ASSERT_EQ(session->GetErrorInfo(info), DBIERR_NONE);
  EXPECT_EQ(info.iError, 0);
  EXPECT_STREQ(info.szContext[0], "");

  // Session counts seen by the information records.
  SYSInfo sys;
  ASSERT_EQ(session->GetSysInfo(sys), DBIERR_NONE);
  EXPECT_EQ(sys.iSessions, 1);
  SESInfo ses;
  ASSERT_EQ(DbiGetSesInfo(ses), DBIERR_NONE);
  EXPECT_EQ(ses.iDatabases, 1);
  EXPECT_GE(ses.iCursors, 1);
}

}  // namespace
}  // namespace tw::dbaccess::test
