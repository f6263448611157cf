// Sessions and databases: name resolution, sharing of open databases, login and closing.
#include "platform/db/tests/dbtestsupport.h"

namespace tw::test {
namespace {

TEST_F(DataSetTest, SessionAliasesStandForFolders) {
  Session().AddStandardAlias("Work", "/tmp/tw");
  EXPECT_TRUE(Session().IsAlias("WORK"));
  TDatabase* db = Session().OpenDatabase("work");
  EXPECT_EQ(Link->LastDatabaseName, "/tmp/tw");
  EXPECT_TRUE(db->Connected());
  EXPECT_TRUE(db->Temporary());
  Session().CloseDatabase(db);
  // Names the session does not know go to the access layer as they are (server aliases).
  Session().OpenDatabase("Tidewell");
  EXPECT_EQ(Link->LastDatabaseName, "Tidewell");
}

TEST_F(DataSetTest, TablesShareTheDatabaseOfTheirName) {
  TTable* a = MakeMessages();
  TTable* b = NewTable("Messages.QND");
  b->Open();
  EXPECT_EQ(a->Database(), b->Database());
  EXPECT_EQ(Link->Databases.size(), 1u);
  EXPECT_EQ(a->Database()->DataSetCount(), 2);
}

TEST_F(DataSetTest, ClosingADatabaseClosesItsTables) {
  auto* db = new TDatabase(nullptr);
  db->SetDatabaseName("Tidewell");
  TTable* t = MakeMessages();
  EXPECT_EQ(t->Database(), db);
  db->Close();
  EXPECT_FALSE(t->Active());
  EXPECT_TRUE(Link->Cursors.empty());
  EXPECT_TRUE(Link->Databases.empty());
  delete db;
  EXPECT_EQ(Session().FindDatabase("Tidewell"), nullptr);
}

TEST_F(DataSetTest, DatabaseNamesAreUniqueInTheSession) {
  TDatabase a(nullptr), b(nullptr);
  a.SetDatabaseName("One");
  EXPECT_THROW(b.SetDatabaseName("ONE"), EDatabaseError);
  EXPECT_EQ(b.DatabaseName(), "");
}

TEST_F(DataSetTest, LoginPromptCanCancelTheOpen) {
  TDatabase db(nullptr);
  db.SetDatabaseName("Tidewell");
  db.SetLoginPrompt(true);
  db.SetParams({"USER NAME=admin", "PASSWORD=old"});
  std::string seenUser;
  Session().OnLogin = [&](TDatabase*, std::string& user, std::string&) {
    seenUser = user;
    return false;
  };
  EXPECT_THROW(db.Open(), EDatabaseError);
  EXPECT_EQ(seenUser, "admin");
  EXPECT_FALSE(db.Connected());
  db.OnLogin = [](TDatabase*, std::string&, std::string& password) {
    password = "secret";
    return true;
  };
  db.Open();
  EXPECT_EQ(Link->LastPassword, "secret");
}

TEST_F(DataSetTest, TheServersLoginQuestionGoesToTheSessionsOnLogin) {
  Session().Open();
  EXPECT_FALSE(Link->ServerLogin);  // no event: the access layer keeps its own way of asking
  Session().Close();
  TDatabase other(nullptr);
  TDatabase* seen = &other;
  Session().OnLogin = [&](TDatabase* db, std::string& user, std::string& password) {
    seen = db;
    if (user.empty()) return false;
    password = "pw-" + user;
    return true;
  };
  Session().Open();
  ASSERT_TRUE(Link->ServerLogin);
  std::string user = "admin", password;
  EXPECT_TRUE(Link->ServerLogin("server", user, password));
  EXPECT_EQ(seen, nullptr);  // no database asks: the server does
  EXPECT_EQ(password, "pw-admin");
  user.clear();
  EXPECT_FALSE(Link->ServerLogin("server", user, password));  // the event's Cancel
  Session().OnLogin = nullptr;
  EXPECT_FALSE(Link->ServerLogin("server", user, password));
}

TEST_F(DataSetTest, UnknownDatabasesAreEngineErrors) {
  TDatabase db(nullptr);
  db.SetDatabaseName("Nowhere");
  try {
    db.Open();
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCount(), 1);
    EXPECT_EQ(e.Errors(0).ErrorCode, DBIERR_UNKNOWNDB);
    EXPECT_EQ(e.Errors(0).Message, "Unknown database.");
  }
  EXPECT_FALSE(db.Connected());
  EXPECT_THROW(TDatabase(nullptr).Open(), EDatabaseError);  // no name
}

TEST_F(DataSetTest, SessionStartsTheEngineOnce) {
  Session().Open();
  Session().Open();
  EXPECT_EQ(Link->InitCalls, 1);
  EXPECT_NE(Session().Handle(), 0u);
  Session().Close();
  EXPECT_FALSE(Session().Active());
}

}  // namespace
}  // namespace tw::test
