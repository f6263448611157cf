// Start-up configuration: system tables through a store, the default user, the alias script
// and the options file with their bad lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "dbengine/base/elfhash.h"
#include "dbengine/base/serveroptions.h"

namespace tw::dbengine {
namespace {

namespace fs = std::filesystem;

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tw_options_" + std::to_string(getpid()));
    fs::create_directories(dir / "folderA");
    fs::create_directories(dir / "folderB");
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string A() const { return (dir / "folderA").string(); }
  std::string B() const { return (dir / "folderB").string(); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream f(dir / name, std::ios::binary);
    f << text;
  }
  fs::path dir;
  TqnServerConfiguration c;
  TqnMemorySystemTableStore store;
};

TEST_F(OptionsTest, OptionKeysAndValuesFollowTheirRules) {
  ApplyServerOption(c, "maxrampages", "99");
  ApplyServerOption(c, "MAXRAMPAGES", "32001");
  ApplyServerOption(c, "MAXRAMPAGES", "12a");
  EXPECT_EQ(c.GeneralInfo().MaxRAMPages, 500u);
  ApplyServerOption(c, "MAXRAMPAGES", "100");
  EXPECT_EQ(c.GeneralInfo().MaxRAMPages, 100u);
  ApplyServerOption(c, "USELOGIN", "Y");
  EXPECT_FALSE(c.GeneralInfo().IsSecure);
  ApplyServerOption(c, "UseLogin", "yes");
  EXPECT_TRUE(c.GeneralInfo().IsSecure);
  ApplyServerOption(c, "PROTOCOL", "tcp/ip");
  EXPECT_EQ(c.GeneralInfo().Protocol, TqnProtocolKind::TCPIP);
  ApplyServerOption(c, "PROTOCOL", "SINGLE");  // the table's word, not an option value
  EXPECT_EQ(c.GeneralInfo().Protocol, TqnProtocolKind::TCPIP);
  ApplyServerOption(c, "SERVERNAME", std::string(40, 'n'));
  EXPECT_EQ(c.GeneralInfo().ServerName.Length(), 31u);
  ApplyServerOption(c, "ALLOWENCRYPT", A());  // recognised: never an alias
  EXPECT_EQ(c.AliasList().Count(), 0);
  EXPECT_FALSE(c.GeneralInfo().UseEncrypt);
  bool b = true;
  EXPECT_TRUE(ParseOptionBoolean("false", b));
  EXPECT_FALSE(b);
  EXPECT_FALSE(ParseOptionBoolean("T", b));
  EXPECT_EQ(FindOptionKey("NOAUTOSAVECFG"), 8);
  EXPECT_EQ(FindOptionKey("noautosavecfg"), -1) << "keys are looked up upper-cased";
  EXPECT_EQ(FindProtocolName("IPX/SPX"), 3);
}

TEST_F(OptionsTest, UnknownKeysNamingFoldersBecomeAliasesFirstDefinitionWins) {
  ApplyServerOption(c, "Tidewell", A());
  ApplyServerOption(c, "TIDEWELL", B());
  ApplyServerOption(c, "Missing", (dir / "nope").string());
  ApplyServerOption(c, "Wild", (dir / "folder*").string());
  ASSERT_EQ(c.AliasList().Count(), 1);
  EXPECT_EQ(c.AliasList().Items(0)->Alias(), "Tidewell");
  EXPECT_EQ(c.AliasList().GetPath("tidewell"), A());
}

TEST_F(OptionsTest, AliasScriptSkipsBadLinesAndSplitsAtTheFirstSemicolon) {
  Write("QNALIAS.SC$",
        "ab\r\n"                         // two characters
        ";" + A() + "\r\n"               // no name
        "NoPath;\r\n"                    // nothing after the separator
        "Tidewell;" + A() + "\r\n"
        "Two;" + B() + ";x\r\n"          // path is "B;x": no such folder
        "Other;" + B() + "\n"
        "SERVERNAME;Alpha\r"             // an option key sets its option
        "tidewell;" + B() + "\r\n");     // already an alias
  LoadAliasScript(c, dir.string());
  EXPECT_EQ(c.AliasList().Count(), 2);
  EXPECT_EQ(c.AliasList().GetPath("Tidewell"), A());
  EXPECT_EQ(c.AliasList().GetPath("Other"), B());
  EXPECT_FALSE(c.AliasList().Exists("Two"));
  EXPECT_EQ(c.GeneralInfo().ServerName.Str(), "Alpha");
  TqnServerConfiguration none;
  LoadAliasScript(none, (dir / "folderA").string());  // no script there: nothing happens
  EXPECT_EQ(none.AliasList().Count(), 0);
}

TEST_F(OptionsTest, OptionsFileSetsOptionsAndAliasesAndIgnoresTheRest) {
  Write("server.cfg",
        "MAXRAMPAGES=2000\n"
        "NOAUTOSAVECFG=1\n"
        "=value\n"
        "garbage line\n"
        "Data=" + A() + "\n"
        "USEBROADCASTS=no\n"
        "AUTOUPSERVER = yes\n");  // untrimmed: key "AUTOUPSERVER " is unknown
  LoadOptionsFile(c, (dir / "server.cfg").string());
  EXPECT_EQ(c.GeneralInfo().MaxRAMPages, 2000u);
  EXPECT_TRUE(c.GeneralInfo().ReadOnly);
  EXPECT_FALSE(c.GeneralInfo().Broadcasts);
  EXPECT_FALSE(c.GeneralInfo().AutoUp);
  EXPECT_EQ(c.AliasList().GetPath("DATA"), A());
  LoadOptionsFile(c, (dir / "absent.cfg").string());
  LoadOptionsFile(c, (dir / "*.cfg").string());
  EXPECT_EQ(c.AliasList().Count(), 1);
}

// A folder longer than an alias keeps, named in the options file or in the alias script, is
// refused: cut, it would name another folder (here one that exists).
TEST_F(OptionsTest, AnAliasFolderTooLongIsRefusedFromTheOptionsFileAndTheScript) {
  const std::string far = (dir / std::string(150, 'p') / std::string(80, 'q')).string();
  ASSERT_GT(far.size(), kQnMaxPath);
  fs::create_directories(far);
  fs::create_directories(far.substr(0, kQnMaxPath));
  Write("server.cfg", "Far=" + far + "\n");
  LoadOptionsFile(c, (dir / "server.cfg").string());
  Write("QNALIAS.SC$", "Script;" + far + "\r\n");
  LoadAliasScript(c, dir.string());
  EXPECT_EQ(c.AliasList().Count(), 0) << c.AliasList().GetPath("Far");
}

TEST_F(OptionsTest, FirstStartWritesTheDefaultUserAndShutdownTheRest) {
  LoadInfoTable(c, store);
  LoadAliasTable(c, store);
  LoadUserTable(c, store);
  EXPECT_EQ(c.UserList().Count(), 0);
  AddDefaultUser(c, store);
  ASSERT_TRUE(store.Has("QNSUSER"));
  const TqnSysTable& users = store.Table("QNSUser");
  ASSERT_EQ(users.Rows.size(), 1u);
  EXPECT_EQ(std::get<std::string>(users.Rows[0][0]), DefaultUserID());
  EXPECT_EQ(std::get<std::string>(users.Rows[0][1]), "Administrator");
  EXPECT_EQ(std::get<std::uint32_t>(users.Rows[0][3]), ElfHashShortString("BrindleCap"));
  EXPECT_EQ(std::get<std::string>(users.Rows[0][4]), std::string(1, '\x1F'));
  EXPECT_EQ(DefaultUserID().size(), 5u);
  EXPECT_FALSE(store.Has("QNSInfo"));
  c.AddAlias("Tidewell", A());
  SaveInfoTable(c, store);
  SaveAliasTable(c, store);
  EXPECT_EQ(store.Table("QNSInfo").Fields.size(), 16u);
  EXPECT_EQ(std::get<std::string>(store.Table("QNSInfo").Rows[0][6]), "SINGLE");

  // The next start reads it all back.
  TqnServerConfiguration next;
  next.GeneralInfo().MaxRAMPages = 1;
  LoadInfoTable(next, store);
  LoadAliasTable(next, store);
  LoadUserTable(next, store);
  EXPECT_EQ(next.GeneralInfo().MaxRAMPages, 500u);
  EXPECT_EQ(next.AliasList().GetPath("TIDEWELL"), A());
  EXPECT_EQ(next.UserList().UserPwdHash(DefaultUserID()), QNDefaultUserPwdHash());
  EXPECT_EQ(next.UserList().Items(0)->Rights(), 31);
}

TEST_F(OptionsTest, ReadOnlyConfigurationIsNeverWritten) {
  ApplyOptionsText(c, "NOAUTOSAVECFG=TRUE\r\n");
  SaveInfoTable(c, store);
  SaveAliasTable(c, store);
  SaveUserTable(c, store);
  EXPECT_EQ(store.WriteCount, 0);
}

TEST_F(OptionsTest, StoredInfoIsReadByItsRules) {
  TqnServerConfiguration src;
  src.GeneralInfo().IsSecure = true;
  src.GeneralInfo().Protocol = TqnProtocolKind::NetBIOS;
  src.GeneralInfo().UseEncrypt = true;
  src.GeneralInfo().TCPPort = 4000;
  SaveInfoTable(src, store);
  LoadInfoTable(c, store);
  EXPECT_FALSE(c.GeneralInfo().IsSecure) << "logins come only from the options file";
  EXPECT_EQ(c.GeneralInfo().Protocol, TqnProtocolKind::NetBIOS);
  EXPECT_TRUE(c.GeneralInfo().UseEncrypt);
  EXPECT_EQ(c.GeneralInfo().TCPPort, 4000);

  // An older table of 14 fields leaves the last two settings alone; an unknown protocol word
  // leaves the protocol, a null one selects the single-user transport.
  TqnSysTable& t = store.Table("QNSInfo");
  t.Fields.resize(14);
  t.Rows[0].resize(14);
  t.Rows[0][6] = std::string("tcp/ip");
  TqnServerConfiguration old;
  old.GeneralInfo().Protocol = TqnProtocolKind::IPXSPX;
  LoadInfoTable(old, store);
  EXPECT_FALSE(old.GeneralInfo().UseEncrypt);
  EXPECT_EQ(old.GeneralInfo().Protocol, TqnProtocolKind::IPXSPX);
  t.Rows[0][6] = TqnSysValue{};
  LoadInfoTable(old, store);
  EXPECT_EQ(old.GeneralInfo().Protocol, TqnProtocolKind::SingleUser);
}

TEST_F(OptionsTest, TheScriptOfThisStartWinsOverASavedAlias) {
  // The program folder moved from A to B: the saved alias still names A.
  c.AddAlias("Tidewell", A());
  c.AddAlias("Keep", A());
  SaveAliasTable(c, store);
  TqnServerConfiguration next;
  LoadAliasTable(next, store);
  Write("qnalias.sc$", "TIDEWELL;" + B() + "\r\nTidewell;" + A() + "\r\nKeep;" + (dir / "gone").string() + "\r\n");
  LoadAliasScript(next, dir.string());
  EXPECT_EQ(next.AliasList().GetPath("Tidewell"), B()) << "the first script line of a name wins";
  EXPECT_EQ(next.AliasList().GetPath("Keep"), A()) << "a line naming no folder takes nothing away";
  EXPECT_EQ(next.AliasList().Count(), 2);
}

TEST_F(OptionsTest, RequestLoggingIsSwitchedOnlyByTheOptionsFile) {
  EXPECT_FALSE(c.GeneralInfo().DebugLog);
  EXPECT_FALSE(c.GeneralInfo().DebugLogData);
  ApplyOptionsText(c, "DEBUGLOG=yes\r\ndebuglogdata=maybe\r\n");
  EXPECT_TRUE(c.GeneralInfo().DebugLog);
  EXPECT_FALSE(c.GeneralInfo().DebugLogData) << "not a Boolean word";
  ApplyOptionsText(c, "DebugLogData=1\r\n");
  EXPECT_TRUE(c.GeneralInfo().DebugLogData);
  EXPECT_EQ(FindOptionKey("DEBUGLOG"), 9);
  EXPECT_EQ(FindOptionKey("DEBUGLOGDATA"), 10);
  ApplyServerOption(c, "DEBUGLOG", A());  // an option key never becomes an alias
  EXPECT_EQ(c.AliasList().Count(), 0);
  // A switch saved by an earlier run does not turn the log on again.
  SaveInfoTable(c, store);
  TqnServerConfiguration next;
  LoadInfoTable(next, store);
  EXPECT_FALSE(next.GeneralInfo().DebugLog);
  EXPECT_FALSE(next.GeneralInfo().DebugLogData);
}

// The network server's limits: the largest valid request by default, and a few seconds for a
// connection to attach; whole positive numbers set them, anything else keeps what was there.
TEST_F(OptionsTest, ServerLimitsTakeWholePositiveNumbers) {
  const TqnCommsLimits& l = c.GeneralInfo().Comms;
  EXPECT_EQ(l.MaxMessageSize, kQnLargestRequest);
  EXPECT_EQ(l.AttachTimeOut, 5000u);
  ApplyOptionsText(c, "ATTACHTIMEOUT=1500\nMAXMESSAGESIZE=20000\n");
  EXPECT_EQ(l.AttachTimeOut, 1500u);
  EXPECT_EQ(l.MaxMessageSize, 20000u);
  ApplyOptionsText(c, "ATTACHTIMEOUT=0\nattachtimeout=-3\nATTACHTIMEOUT=2s\n");
  EXPECT_EQ(l.AttachTimeOut, 1500u);
  EXPECT_EQ(FindOptionKey("ATTACHTIMEOUT"), 16);
}

TEST_F(OptionsTest, MissingOrDamagedTablesLeaveTheConfigurationAsItWas) {
  c.AddAlias("Keep", A());
  LoadAliasTable(c, store);  // missing: the list stays
  EXPECT_EQ(c.AliasList().Count(), 1);
  TqnSysTable& t = store.Table("QNSALIAS");
  t.Rows.push_back({});                                      // too few fields
  t.Rows.push_back({std::uint32_t{5}, std::int32_t{6}});     // wrong types
  t.Rows.push_back({std::string("Good"), B()});
  LoadAliasTable(c, store);
  EXPECT_EQ(c.AliasList().GetPath("Good"), B());
  store.FailWrites = true;
  SaveAliasTable(c, store);  // failure is not reported and changes nothing here
  EXPECT_EQ(c.AliasList().GetPath("Good"), B());
}

TEST_F(OptionsTest, IndexTableFillsTheKeyProcedures) {
  TqnSysTable& t = store.Table("QNSIndex");
  t.Rows.push_back({A(), std::string("Texts"), std::int32_t{2}, std::string("libkeys.so"), std::string("Build"),
                    std::string("Compare")});
  LoadIndexTable(c, store);
  ASSERT_EQ(c.KeyProcList().Count(), 1);
  EXPECT_TRUE(c.KeyProcList().Exists(A(), "TEXTS", 2));
  EXPECT_EQ(c.KeyProcList().Items(0)->DLLName(), "libkeys.so");
}

}  // namespace
}  // namespace tw::dbengine
