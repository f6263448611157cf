// The data-set classes' answers to the access layer's questions: the server's login question,
// answered by the session's OnLogin in front of the prompt installed before it (the server
// dialogs), and database names that only a database component or a session alias explains;
// over the real access layer and the server started inside this process.
#include <fstream>
#include <optional>

#include "dbaccess/tests/testsupport.h"
#include "dataset/tests/engine/realengine.h"

namespace tw::test {
namespace {

using Names = std::vector<std::string>;

// Stands in for the server dialogs; answers "admin" and "pw".
struct TRecordingPrompt : dbaccess::test::ScriptedPrompt {
  TRecordingPrompt() {
    user = "admin";
    password = "pw";
  }
};

// The program's link to the access layer, with no prompt or lookup installed around the test.
class LinkChain : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    dbaccess::SetLoginPrompt(nullptr);
    dbaccess::SetDatabaseAliasLookup(nullptr);
  }
  std::shared_ptr<TDbiLink> Link = MakeAccessLayerLink();
};

TEST_F(LinkChain, TheLoginEventAnswersInFrontOfThePromptBefore) {
  auto dialogs = std::make_shared<TRecordingPrompt>();
  dbaccess::SetLoginPrompt(dialogs);
  std::optional<bool> answer = true;
  int first = 0;
  Link->SetServerLogin([&](const std::string&, std::string& user, std::string&) {
    ++first;
    user = "event";
    return answer;
  });
  std::shared_ptr<dbaccess::TLoginPrompt> installed = dbaccess::LoginPrompt();
  ASSERT_NE(installed, dialogs);
  std::string user, password, chosen;
  EXPECT_TRUE(installed->Login("S", user, password));
  EXPECT_EQ(user, "event");
  answer = false;  // the event's Cancel is final
  EXPECT_FALSE(installed->Login("S", user, password));
  EXPECT_TRUE(dialogs->servers.empty());
  answer = std::nullopt;  // no answer: the dialogs ask
  EXPECT_TRUE(installed->Login("S", user, password));
  EXPECT_EQ(dialogs->servers, Names{"S"});
  EXPECT_EQ(user, "admin");
  EXPECT_TRUE(installed->PickServer({"A", "B"}, chosen));  // servers are the dialogs' choice
  EXPECT_EQ(chosen, "B");

  // A second event takes the place of the first instead of standing in front of it.
  int second = 0;
  Link->SetServerLogin([&](const std::string&, std::string&, std::string&) -> std::optional<bool> {
    ++second;
    return std::nullopt;
  });
  first = 0;
  EXPECT_TRUE(dbaccess::LoginPrompt()->Login("S", user, password));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 1);
  EXPECT_EQ(dialogs->servers.size(), 2u);

  // Taking the event away puts the dialogs back, also when another link does it.
  MakeAccessLayerLink()->SetServerLogin(nullptr);
  EXPECT_EQ(dbaccess::LoginPrompt(), dialogs);
  Link->SetServerLogin(nullptr);  // nothing of ours installed: nothing changes
  EXPECT_EQ(dbaccess::LoginPrompt(), dialogs);
}

TEST_F(LinkChain, WithoutAPromptBeforeTheEventStandsAlone) {
  std::optional<bool> answer;
  Link->SetServerLogin([&](const std::string&, std::string&, std::string&) { return answer; });
  std::string user, password, chosen;
  EXPECT_FALSE(dbaccess::LoginPrompt()->Login("S", user, password));  // unanswered: cancelled
  // Of several servers the first is taken, the one the choice dialog would preselect.
  EXPECT_TRUE(dbaccess::LoginPrompt()->PickServer({"A", "B"}, chosen));
  EXPECT_EQ(chosen, "A");
  EXPECT_FALSE(dbaccess::LoginPrompt()->PickServer({}, chosen));
  // A prompt installed after the event is not ours to take away.
  auto later = std::make_shared<TRecordingPrompt>();
  dbaccess::SetLoginPrompt(later);
  Link->SetServerLogin(nullptr);
  EXPECT_EQ(dbaccess::LoginPrompt(), later);
}

TEST_F(LinkChain, TheAliasEventAnswersBeforeTheLookupBefore) {
  auto lookup = [] { return dbaccess::DatabaseAliasLookup(); };
  dbaccess::SetDatabaseAliasLookup([](const std::string& n) { return n == "Old" ? std::string("OldAlias") : ""; });
  Link->SetDatabaseAliasLookup([](const std::string& n) { return n == "New" ? std::string("NewAlias") : ""; });
  EXPECT_EQ(lookup()("New"), "NewAlias");
  EXPECT_EQ(lookup()("Old"), "OldAlias");
  EXPECT_EQ(lookup()("None"), "");
  Link->SetDatabaseAliasLookup([](const std::string& n) { return n == "Next" ? std::string("NextAlias") : ""; });
  EXPECT_EQ(lookup()("New"), "");  // replaced, not stacked
  EXPECT_EQ(lookup()("Next"), "NextAlias");
  MakeAccessLayerLink()->SetDatabaseAliasLookup(nullptr);
  EXPECT_EQ(lookup()("Next"), "");
  EXPECT_EQ(lookup()("Old"), "OldAlias");
  Link->SetDatabaseAliasLookup(nullptr);
  ASSERT_TRUE(lookup());  // the one before stays
}

// A server that knows one user: "admin" with the password "pw".
class TGuardedComms : public dbaccess::TClientComms {
 public:
  explicit TGuardedComms(Names* attaches) : FAttaches(attaches) {}
  bool IsConnected() const override { return FConnected; }
  std::vector<std::string> GetServerNames(std::uint32_t) override { return {"Gate", "Other"}; }
  DBIResult AttachToServer(const std::string& server, const std::string& user, const std::string& password) override {
    FAttaches->push_back(server + ":" + user + ":" + password);
    FConnected = user == "admin" && password == "pw";
    return FConnected ? 0 : 10036;
  }
  DBIResult SendRequest(std::uint32_t, const void*, std::uint32_t, bool, void*, std::uint32_t,
                        std::uint32_t*) override {
    return dbaccess::DBIERR_NOTSUPPORTED;
  }
  DBIResult SendRequestToStream(std::uint32_t, const void*, std::uint32_t, bool, TStream&) override {
    return dbaccess::DBIERR_NOTSUPPORTED;
  }

 private:
  Names* FAttaches;
  bool FConnected = false;
};

class ServerLogin : public RealEngine {
 protected:
  void SetUp() override {
    RealEngine::SetUp();
    dbaccess::SetClientCommsFactory([this](const std::string&) { return std::make_unique<TGuardedComms>(&Attaches); });
    dbaccess::SessionDefaults().UserName.clear();  // the server is asked without a user first
  }
  Names Attaches;
};

TEST_F(ServerLogin, TheServersQuestionIsAnsweredByTheSessionsOnLogin) {
  Names offered;
  Session().OnLogin = [&](TDatabase* db, std::string& user, std::string& password) {
    EXPECT_EQ(db, nullptr);
    offered.push_back(user);
    user = "admin";
    password = offered.size() == 1 ? "wrong" : "pw";
    return true;
  };
  Session().Open();
  // Of several servers the first is taken; a wrong answer is asked again.
  EXPECT_EQ(Attaches, (Names{"Gate::", "Gate:admin:wrong", "Gate:admin:pw"}));
  EXPECT_EQ(offered.size(), 2u);
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(ServerLogin, ACancelledLoginLeavesTheSessionWithoutServer) {
  Session().OnLogin = [](TDatabase*, std::string&, std::string&) { return false; };
  Session().Open();
  EXPECT_EQ(Attaches.size(), 1u);
  ASSERT_EQ(Boxes.size(), 1u);  // the access layer's report that no connection was made
  TTable* t = NewTable("Any.QND");
  EXPECT_THROW(t->Open(), EDBEngineError);
}

TEST_F(ServerLogin, AnExceptionOfOnLoginCancelsTheLoginAndIsRaisedByOpen) {
  Session().OnLogin = [](TDatabase*, std::string&, std::string&) -> bool { throw EDatabaseError("No login now"); };
  try {
    Session().Open();
    FAIL() << "Open succeeded";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "No login now");
  }
  EXPECT_FALSE(Session().Active());
  EXPECT_EQ(Attaches.size(), 1u);  // asked once, not again
  EXPECT_EQ(dbaccess::LoginPrompt(), nullptr);
}

TEST_F(ServerLogin, OnLoginAnswersInFrontOfTheServerDialogsWhichStayInstalled) {
  auto dialogs = std::make_shared<TRecordingPrompt>();
  dialogs->password = "never";
  dbaccess::SetLoginPrompt(dialogs);
  Session().OnLogin = [](TDatabase*, std::string& user, std::string& password) {
    user = "admin";
    password = "pw";
    return true;
  };
  Session().Open();
  // The dialogs choose the server; the event answers the login.
  EXPECT_EQ(Attaches, (Names{"Other::", "Other:admin:pw"}));
  EXPECT_EQ(dialogs->picks, 1);
  EXPECT_TRUE(dialogs->servers.empty());
  Session().Close();
  EXPECT_EQ(dbaccess::LoginPrompt(), dialogs);
}

TEST_F(ServerLogin, WithoutOnLoginTheServerDialogsAsk) {
  auto dialogs = std::make_shared<TRecordingPrompt>();
  dbaccess::SetLoginPrompt(dialogs);
  Session().Open();
  EXPECT_EQ(dialogs->servers, Names{"Other"});
  EXPECT_EQ(Attaches, (Names{"Other::", "Other:admin:pw"}));
  EXPECT_TRUE(Boxes.empty());
}

// The server knows the folder as "Charts" from its alias script; the session knows it as
// "Tidewell".  One table in it.
class DatabaseComponents : public RealEngine {
 protected:
  void SetUp() override {
    RealEngine::SetUp();
    std::ofstream(Folder / "QNALIAS.SC$") << "Charts;" << Folder.string() << "/\r\n";
    TTable* t = NewTable("Messages.QND");
    t->FieldDefs().Add("Lang", TFieldType::ftString, 3, true);
    t->CreateTable();
  }
  // Opens the table through the link in the database of that name; the first failure's code.
  static DBIResult OpenTableIn(const std::string& database) {
    hDBIDb db = 0;
    DBIResult r = DbiLink().OpenDatabase(database, true, false, "", db);
    if (r == 0) {
      hDBICur cur = 0;
      r = DbiLink().OpenTable(db, "Messages.QND", "", true, false, cur);
      if (cur) DbiLink().CloseCursor(cur);
      DbiLink().CloseDatabase(db);
    }
    return r;
  }
};

TEST_F(DatabaseComponents, TheAccessLayerOpensAComponentsNameUnderItsAlias) {
  TDatabase text(nullptr), local(nullptr);
  text.SetDatabaseName("TextDB");
  text.SetAliasName("Charts");  // an alias of the server
  local.SetDatabaseName("Local");
  local.SetAliasName("Tidewell");  // an alias of the session
  EXPECT_EQ(OpenTableIn("textdb"), 0);
  EXPECT_EQ(OpenTableIn("Local"), 0);
  EXPECT_EQ(OpenTableIn("Tidewell"), 0);
  EXPECT_EQ(OpenTableIn("Nowhere"), dbaccess::DBIERR_UNKNOWNDB);
  TTable* t = NewTable("Messages.QND");
  t->SetDatabaseName("TextDB");
  t->Open();
  EXPECT_EQ(t->Database(), &text);
  t->Close();
  // A closed session answers nothing: the names are unknown to the access layer alone.
  Session().Close();
  EXPECT_EQ(OpenTableIn("TextDB"), dbaccess::DBIERR_UNKNOWNDB);
  EXPECT_EQ(OpenTableIn("Charts"), 0);
  EXPECT_TRUE(Boxes.empty());
}

}  // namespace
}  // namespace tw::test
