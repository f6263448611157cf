// The session's information records, the network user name, and the operations of sessions
// and databases that no back end here provides.
#include <pwd.h>
#include <unistd.h>

#include "dbaccess/basetable.h"
#include "dbaccess/database.h"
#include "dbaccess/session.h"
#include "dbaccess/virteng.h"
#include "testsupport.h"

namespace tw::dbaccess::test {
namespace {

class SessionInfo : public AccessTest {
 protected:
  void SetUp() override {
    AccessTest::SetUp();
    ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
    session = VirtEng()->CurrentSession();
    ASSERT_NE(session, nullptr);
    Boxes.clear();  // the unconnected session's start-up message
  }
  TBaseSession* session = nullptr;
};

TEST_F(SessionInfo, ErrorInfoCarriesTheLastCursorCallsCodeTextAndContext) {
  DBIErrInfo info;
  std::memset(static_cast<void*>(&info), 0x55, sizeof info);
  // No cursor call yet: an empty record.
  EXPECT_EQ(session->GetErrorInfo(info), DBIERR_NONE);
  EXPECT_EQ(info.iError, 0);
  EXPECT_STREQ(info.szErrCode, "");
  EXPECT_STREQ(info.szContext[0], "");

  auto* cursor = new TBaseTable(nullptr, nullptr, 0, 0);
  hDBICur h = cursor->Handle();
  EXPECT_EQ(DbiGetBookMark(h, nullptr), DBIERR_NOTSUPPORTED);
  ASSERT_EQ(session->GetErrorInfo(info), DBIERR_NONE);
  EXPECT_EQ(info.iError, DBIERR_NOTSUPPORTED);
  EXPECT_STREQ(info.szErrCode, "Not Supported");
  EXPECT_STREQ(info.szContext[0], "DBE Error: 12289");
  EXPECT_STREQ(info.szContext[1], "");
  EXPECT_STREQ(info.szContext[3], "");

  // The cursor freed: its code is no longer read (nor its memory).
  delete cursor;
  ASSERT_EQ(session->GetErrorInfo(info), DBIERR_NONE);
  EXPECT_EQ(info.iError, 0);
  EXPECT_STREQ(info.szErrCode, "");
}

TEST_F(SessionInfo, SystemClientAndVersionRecordsCountTheEngineSessions) {
  hDBISes second = 0;
  ASSERT_EQ(DbiStartSession("Second", second, "/data/net"), DBIERR_NONE);
  auto* s2 = TBapiListItem::Resolve<TBaseSession>(second);
  ASSERT_NE(s2, nullptr);
  Boxes.clear();  // its start-up message

  SYSInfo sys;
  std::memset(static_cast<void*>(&sys), 0x55, sizeof sys);
  EXPECT_EQ(s2->GetSysInfo(sys), DBIERR_NONE);
  EXPECT_EQ(sys.iSessions, 2);
  EXPECT_EQ(sys.iBufferSpace, 0);
  EXPECT_EQ(sys.iCursors, 0);

  CLIENTInfo client;
  std::memset(static_cast<void*>(&client), 0x55, sizeof client);
  EXPECT_EQ(s2->GetClientInfo(client), DBIERR_NONE);
  EXPECT_EQ(client.iSessions, 2);
  EXPECT_STREQ(client.szWorkDir, "/data/net");
  EXPECT_STREQ(client.szName, "");
  EXPECT_STREQ(client.szLang, "");

  SYSVersion version;
  std::memset(static_cast<void*>(&version), 0x55, sizeof version);
  EXPECT_EQ(session->GetSysVersion(version), DBIERR_NONE);
  EXPECT_EQ(version.iVersion, 1);
  EXPECT_EQ(version.iIntfLevel, 1);
  for (std::uint8_t b : version.Reserved) ASSERT_EQ(b, 0);

  EXPECT_EQ(session->LoadDriver("PARADOX"), DBIERR_TOOMANYDRIVERS);
  EXPECT_EQ(session->Result(), DBIERR_TOOMANYDRIVERS);

  // A session outside any engine counts itself.
  TBaseSession lone(nullptr, nullptr, "Lone", "");
  EXPECT_EQ(lone.GetSysInfo(sys), DBIERR_NONE);
  EXPECT_EQ(sys.iSessions, 1);
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(SessionInfo, NetworkUserNameIsTheAccountsNameCutToTheBuffer) {
  passwd* pw = getpwuid(geteuid());
  ASSERT_NE(pw, nullptr);
  std::string expected = pw->pw_name;
  char name[256];
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(session->GetNetUserName(name), DBIERR_NONE);
  EXPECT_EQ(std::string(name), expected);
  EXPECT_EQ(NetworkUserName(), expected);

  // A short buffer gets what fits, terminated; nothing is written past it.
  char small[4];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(session->GetNetUserName(small, sizeof small), DBIERR_NONE);
  EXPECT_EQ(std::string(small), expected.substr(0, 3));
  EXPECT_EQ(session->GetNetUserName(nullptr), DBIERR_INVALIDPARAM);
  EXPECT_EQ(session->GetNetUserName(small, 0), DBIERR_INVALIDPARAM);
}

TEST_F(SessionInfo, FieldTranslationAndOtherUnprovidedSessionCallsNameTheirCall) {
  FLDDesc src = Field("A", fldINT16, 2), dst = Field("B", fldINT32, 4);
  bool loss = true;
  hDBIObj xlt = 42;
  EXPECT_EQ(session->OpenFieldXlt("PARADOX", "", src, "DBASE", "", dst, loss, xlt), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(xlt, 0u);
  EXPECT_FALSE(loss);
  std::uint8_t in[2] = {1, 0}, out[4] = {};
  EXPECT_EQ(session->TranslateField(xlt, in, out), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(session->CloseFieldXlt(xlt), DBIERR_NOTSUPPORTED);
  ASSERT_EQ(Boxes.size(), 3u);
  EXPECT_EQ(Boxes[0].Text, "DBE Call DBIOPENFIELDXLT not supported.");
  EXPECT_EQ(Boxes[1].Text, "DBE Call DBITRANSLATEFIELD not supported.");
  EXPECT_EQ(Boxes[2].Text, "DBE Call DBICLOSEFIELDXLT not supported.");
  EXPECT_EQ(Boxes[0].Caption, "Quarnel System Message");
  EXPECT_EQ(Boxes[0].Flags, 0x2040u);
  EXPECT_EQ(session->Result(), DBIERR_NOTSUPPORTED);

  Boxes.clear();
  hDBICur list = 7;
  EXPECT_EQ(session->OpenUserList(list), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(list, 0u);
  list = 7;
  EXPECT_EQ(session->OpenTableTypesList("", list), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(list, 0u);
  hDBICfg cfg = 7;
  EXPECT_EQ(session->OpenConfigFile("idapi.cfg", false, cfg), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(cfg, 0u);
  char context[128] = "old";
  EXPECT_EQ(session->GetErrorContext(1, context), DBIERR_NOTSUPPORTED);
  EXPECT_STREQ(context, "");
  ASSERT_EQ(Boxes.size(), 4u);
  EXPECT_EQ(Boxes[0].Text, "DBE Call DBIOPENUSERLIST not supported.");
  EXPECT_EQ(Boxes[3].Text, "DBE Call DBIGETERRORCONTEXT not supported.");

  // The quiet ones show nothing.
  Boxes.clear();
  EXPECT_EQ(session->GetCallBack(), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(session->ConfigSave(), DBIERR_NOTSUPPORTED);
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(SessionInfo, ProcedureListsLeaveTheKeptResultFunctionListsSetIt) {
  DBDesc desc;
  CopyText(desc.szPhyName, "/tmp/", 260);
  TBaseDatabase db(nullptr, session, desc, dbiREADONLY, dbiOPENSHARED, "", "");
  ASSERT_EQ(db.SetDirectory("/tmp/"), DBIERR_NONE);
  hDBICur list = 9;
  EXPECT_EQ(db.OpenSPParamsList("Proc", false, list), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(list, 0u);
  EXPECT_EQ(db.Result(), DBIERR_NONE);
  hDBIStmt stmt = 9;
  EXPECT_EQ(db.QPrepareProc("Proc", stmt), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(stmt, 0u);
  EXPECT_EQ(db.QExecProcDirect("Proc"), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(db.Result(), DBIERR_NONE);

  list = 9;
  EXPECT_EQ(db.OpenFunctionArgsList("Fn", 1, list), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(list, 0u);
  EXPECT_EQ(db.Result(), DBIERR_NOTSUPPORTED);
  ASSERT_EQ(Boxes.size(), 4u);
  EXPECT_EQ(Boxes[0].Text, "DBE Call DBIOPENSPPARAMSLIST not supported.");
  EXPECT_EQ(Boxes[1].Text, "DBE Call DBIQPREPAREPROC not supported.");
  EXPECT_EQ(Boxes[2].Text, "DBE Call DBIQEXECPROCDIRECT not supported.");
  EXPECT_EQ(Boxes[3].Text, "DBE Call DBIOPENFUNCTIONARGSLIST not supported.");
}

}  // namespace
}  // namespace tw::dbaccess::test
