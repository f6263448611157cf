// Sessions and databases: name resolution, sharing of open databases, login and closing.
#include "dataset/tests/dbtestsupport.h"

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

TEST_F(DataSetTest, TheServersLoginQuestionGoesToTheSessionsOnLoginWhileItIsOpen) {
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
  EXPECT_EQ(Link->ServerLogin("server", user, password), std::optional<bool>(true));
  EXPECT_EQ(seen, nullptr);  // no database asks: the server does
  EXPECT_EQ(password, "pw-admin");
  user.clear();
  EXPECT_EQ(Link->ServerLogin("server", user, password), std::optional<bool>(false));  // the event's Cancel
  // Unassigned, the event gives no answer: the access layer's own prompt asks.
  Session().OnLogin = nullptr;
  EXPECT_EQ(Link->ServerLogin("server", user, password), std::nullopt);
  // Closing the session takes the event away again.
  Session().Close();
  EXPECT_FALSE(Link->ServerLogin);
}

TEST_F(DataSetTest, TheAccessLayerAsksTheSessionWhatADatabaseNameStandsFor) {
  Session().AddStandardAlias("Work", "/tmp/tw");
  TDatabase text(nullptr), local(nullptr), bare(nullptr);
  text.SetDatabaseName("TextDB");
  text.SetAliasName("Tidewell");
  local.SetDatabaseName("Local");
  local.SetAliasName("work");
  bare.SetDatabaseName("Bare");
  EXPECT_FALSE(Link->AliasLookup);  // asked only while the session is open
  Session().Open();
  ASSERT_TRUE(Link->AliasLookup);
  EXPECT_EQ(Link->AliasLookup("textdb"), "Tidewell");  // a component: its alias
  EXPECT_EQ(Link->AliasLookup("Local"), "/tmp/tw");    // a component over a session alias: the folder
  EXPECT_EQ(Link->AliasLookup("Work"), "/tmp/tw");     // a session alias itself
  EXPECT_EQ(Link->AliasLookup("Bare"), "");            // a component without an alias
  EXPECT_EQ(Link->AliasLookup("Nowhere"), "");
  // The component opens under the same name that the lookup gives.
  local.Open();
  EXPECT_EQ(Link->LastDatabaseName, "/tmp/tw");
  Session().Close();
  EXPECT_FALSE(Link->AliasLookup);
  // A failed start of the engine leaves nothing installed either.
  Link->FailInitWith = DBIERR_NOTINITIALIZED;
  EXPECT_THROW(Session().Open(), EDBEngineError);
  EXPECT_FALSE(Link->AliasLookup);
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
