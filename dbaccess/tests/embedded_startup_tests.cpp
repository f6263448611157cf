// What the embedded server takes from its start: a fresh server log that holds requests only
// when the options file asks for them, the options file itself, and the alias script of this
// start over an alias saved by an earlier run.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "dbaccess/database.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/embedded.h"
#include "dbengine/base/serverconfig.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/base/serveroptions.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/transport/systables/systemtablestore.h"
#include "embeddedsupport.h"

namespace tw::dbaccess::test {
namespace {

class EmbeddedStart : public EmbeddedServer {
 protected:
  void TearDown() override {
    EmbeddedServer::TearDown();
    dbengine::QNLogRequests = false;
    dbengine::QNLogRequestData = false;
  }
  std::string Log() const {
    std::ifstream in(folder / "QNSERVER.LOG", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
  }
  // Starts the server (with the options file, when given) and opens the folder as a database.
  void Start(const std::string& options = {}) {
    RegisterEmbeddedServer(folder.string(), options);
    ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
    const std::string path = folder.string() + "/";
    ASSERT_EQ(DbiOpenDatabase(path.c_str(), nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, db),
              DBIERR_NONE);
  }
  void BuildProbe(hDBIDb database) {
    dbengine::TqnDataDictionary dict(4096);
    dict.AddField("Secret", "", dbengine::qftZString, 12, 0, true);
    auto* d = TBapiListItem::Resolve<TQNClientDatabase>(database);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->BuildTable("Probe", true, dict), DBIERR_NONE);
  }
  // Inserts one record whose field reads "Zebrafinch" and reads it back.
  void InsertAndRead() {
    BuildProbe(db);
    hDBICur cur = 0;
    ASSERT_EQ(DbiOpenTable(db, "Probe", nullptr, nullptr, nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false, nullptr,
                           cur),
              DBIERR_NONE);
    CURProps props;
    ASSERT_EQ(DbiGetCursorProps(cur, props), DBIERR_NONE);
    std::vector<std::uint8_t> record(props.iRecBufSize);
    DbiInitRecord(cur, record.data());
    Put(cur, record.data(), 1, "Zebrafinch");
    ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
    DbiSetToBegin(cur);
    ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    DbiCloseCursor(cur);
  }
  hDBIDb db = 0;
};

TEST_F(EmbeddedStart, TheLogStartsAfreshAndHoldsNoRequestsUnlessAsked) {
  WriteFile(folder / "QNSERVER.LOG", "a line of the last run\r\n");
  dbengine::QNLogRequests = true;  // whatever the process had, the start decides
  Start();
  InsertAndRead();
  const std::string log = Log();
  EXPECT_EQ(log.find("last run"), std::string::npos) << "the log is started afresh";
  EXPECT_NE(log.find("QN server log started"), std::string::npos);
  EXPECT_EQ(log.find("RecordInsert"), std::string::npos) << log;
  EXPECT_EQ(log.find("Zebrafinch"), std::string::npos);
  EXPECT_FALSE(dbengine::QNLogRequests.load());
}

TEST_F(EmbeddedStart, TheOptionsFileSwitchesTheRequestLogOnAndRecordDataSeparately) {
  const auto options = folder / "server.cfg";
  WriteFile(options, "DEBUGLOG=1\r\nSERVERNAME=Harbour\r\n");
  Start(options.string());
  InsertAndRead();
  std::string log = Log();
  EXPECT_NE(log.find("RecordInsert"), std::string::npos) << "requests are logged";
  EXPECT_NE(log.find("  Record (Size: "), std::string::npos) << "a record is named with its size";
  EXPECT_EQ(log.find("Zebrafinch"), std::string::npos) << "but its bytes stay out of the log";
  DbiExit();

  WriteFile(options, "DEBUGLOG=1\r\nDEBUGLOGDATA=yes\r\n");
  Start(options.string());
  InsertAndRead();
  log = Log();
  EXPECT_NE(log.find("Zebrafinch"), std::string::npos) << "record data only when asked";
}

TEST_F(EmbeddedStart, TheAliasScriptOfThisStartWinsOverTheSavedAlias) {
  const auto old = folder / "old";
  std::filesystem::create_directories(old);
  {
    // An earlier run in the old place saved its alias.
    dbengine::TqnServerConfiguration saved;
    saved.AddAlias("Tidewell", old.string());
    dbengine::TqnTableFileSystemStore store(folder.string());
    dbengine::SaveAliasTable(saved, store);
  }
  WriteFile(folder / "QNALIAS.SC$", "Tidewell;" + folder.string() + "/\r\n");
  Start();
  hDBIDb aliased = 0;
  ASSERT_EQ(DbiOpenDatabase("Tidewell", nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, aliased),
            DBIERR_NONE);
  BuildProbe(aliased);
  EXPECT_TRUE(std::filesystem::exists(folder / "Probe.QND"));
  EXPECT_FALSE(std::filesystem::exists(old / "Probe.QND"));
}

// With USELOGIN=1 the server knows only its own user: the session's default user "admin" is
// refused, and the login dialog is asked until its answer gets in (at most three times).
TEST_F(EmbeddedStart, ASecureServerRefusesTheDefaultUserAndTheLoginDialogIsAsked) {
  const auto options = folder / "server.cfg";
  WriteFile(options, "USELOGIN=1\r\n");
  auto prompt = std::make_shared<ScriptedPrompt>();
  prompt->user = "QNSYS";
  prompt->password = "BrindleCap";
  SetLoginPrompt(prompt);
  Start(options.string());
  EXPECT_EQ(prompt->logins, 1);
  EXPECT_TRUE(Boxes.empty()) << Boxes[0].Text;
  DbiExit();

  // Wrong answers: three questions, then the session reports the refusal.
  prompt->user = "guest";
  prompt->logins = 0;
  RegisterEmbeddedServer(folder.string(), options.string());
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  EXPECT_EQ(prompt->logins, 3);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Unknown user name or password.");
  const std::string path = folder.string() + "/";
  EXPECT_EQ(DbiOpenDatabase(path.c_str(), nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, db),
            DBIERR_INVALIDHNDL);
}

}  // namespace
}  // namespace tw::dbaccess::test
