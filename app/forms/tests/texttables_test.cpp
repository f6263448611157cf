// The text tables as the program builds them into its folder, read through the embedded
// database server: interpretations by key, message texts of one language, and the main window
// that shows both.
#include "app/forms/texttables.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/forms/mainwindow.h"
#include "app/forms/tests/appforms_test_util.h"
#include "dbaccess/clientcomms.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/embedded.h"
#include "dbaccess/errortext.h"
#include "dbengine/base/serverlog.h"
#include "entry/date/dayarith.h"
#include "entry/fksimplefield.h"
#include "horoscope/chartglobals.h"
#include "platform/db/session.h"
#include "platform/db/table.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "toolbars/toolbars.h"

namespace tw::app::test {
namespace {

// A copy of the built tables in a folder of its own, served by the embedded server: tests
// running side by side do not share the server's files.
class TextTablesTest : public AppFormsTest {
 protected:
  void SetUp() override {
    AppFormsTest::SetUp();
    const char* programDir = std::getenv("TIDEWELL_PROGRAM_DIR");
    if (programDir == nullptr || *programDir == '\0') programDir = TIDEWELL_BUILT_PROGRAM_DIR;
    for (const char* name : {InterpretationTableName, MessageTableName}) {
      std::filesystem::copy_file(std::filesystem::path(programDir) / name, folder / name);
    }
    dbaccess::SetEngineMessageBox([this](const std::string& t, const std::string&, unsigned) {
      engineBoxes.push_back(t);
      return 1;
    });
    dbengine::QNSetLogPath((folder / "QNSERVER.LOG").string());
    dbaccess::RegisterEmbeddedServer(folder.string());
    SetDbiLink(nullptr);
    Session().AddStandardAlias(TextDatabaseName, folder.string() + "/");
    savedLanguage = horoscope::LanguageCode;
  }
  void TearDown() override {
    tables.clear();
    horoscope::LanguageCode = savedLanguage;
    DoneApplication();  // the windows' tables close while the server still runs
    Session().Close();
    Session().DeleteAlias(TextDatabaseName);
    dbaccess::DbiExit();
    dbaccess::SetClientCommsFactory(nullptr);
    dbaccess::SetEngineMessageBox(nullptr);
    AppFormsTest::TearDown();
  }
  TTable& Table(void (*setup)(TTable&)) {
    tables.push_back(std::make_unique<TTable>(nullptr));
    setup(*tables.back());
    return *tables.back();
  }
  std::vector<std::unique_ptr<TTable>> tables;
  std::vector<std::string> engineBoxes;
  std::string savedLanguage;
};

TEST_F(TextTablesTest, InterpretationsAreFoundByLanguageBodiesAndAspect) {
  TTable& table = Table(SetupInterpretationTable);
  TTableTransitTexts texts(table);
  std::string text = "untouched";
  EXPECT_FALSE(texts.FindText("ENG", 0, 0, 1, text)) << "a closed table has no texts";
  EXPECT_EQ(text, "untouched");

  table.Open();
  ASSERT_TRUE(texts.FindText("ENG", 0, 0, 1, text));
  EXPECT_EQ(text.rfind("The Sun returns to its place in your birth chart", 0), 0u) << text;
  std::string german;
  ASSERT_TRUE(texts.FindText("DEU", 0, 0, 1, german));
  EXPECT_NE(german, text);

  text = "untouched";
  EXPECT_FALSE(texts.FindText("XXX", 0, 0, 1, text));
  EXPECT_FALSE(texts.FindText("ENG", 99, 0, 1, text));
  EXPECT_EQ(text, "untouched") << "a failed search hands back nothing";
  EXPECT_THROW(table.Edit(), Exception) << "the program's tables are opened read-only";
  EXPECT_TRUE(engineBoxes.empty()) << engineBoxes.front();
}

TEST_F(TextTablesTest, MessagesOfEachLanguageComeThroughTheLoader) {
  TTable& table = Table(SetupMessageTable);
  TTableMessageRecords records(table);
  EXPECT_EQ(LoadLanguageMessages(records, "ENG"), nullptr) << "a closed table keeps the texts in use";

  table.Open();
  auto english = LoadLanguageMessages(records, "ENG");
  ASSERT_NE(english, nullptr);
  const int sun = english->IndexOfObject(10);
  ASSERT_GE(sun, 0);
  EXPECT_EQ(english->Strings(sun), "Sun");
  EXPECT_EQ(english->Strings(english->IndexOfObject(1)), "Tidewell");

  auto german = LoadLanguageMessages(records, "DEU");
  ASSERT_NE(german, nullptr);
  ASSERT_GE(german->IndexOfObject(98), 0);
  EXPECT_NE(german->Strings(german->IndexOfObject(98)), english->Strings(english->IndexOfObject(98)));
  EXPECT_EQ(LoadLanguageMessages(records, "XXX")->Count(), 0) << "an unknown language has no texts";
}

class MainWindowTablesTest : public TextTablesTest {
 protected:
  void SetUp() override {
    TextTablesTest::SetUp();
    toolbars::RegisterToolbarClasses();
    main = Application()->CreateForm<TfrmMain>();
    main->ListingFolder = folder.string();
    options = Application()->CreateForm<TfrmOptions>();
  }
  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
};

TEST_F(MainWindowTablesTest, ShowingTheWindowLoadsTheTextsOfTheLanguage) {
  horoscope::LanguageCode = "ENG";
  main->OpenTables();
  ASSERT_TRUE(main->tblText->Active());
  ASSERT_TRUE(main->tblMSGS->Active());
  main->FormShow(main);
  ASSERT_NE(horoscope::MessageList, nullptr);
  EXPECT_EQ(horoscope::GetBodyName(0), "Sun");
  EXPECT_EQ(horoscope::GetBodyName(1), "Moon");
  EXPECT_EQ(main->Caption(), "Tidewell - Personal Transits");
  EXPECT_NE(main->rtext->Text().find("No person has been entered yet."), std::string::npos)
      << "without a person the welcome text is shown";

  horoscope::LanguageCode = "DEU";
  main->LoadMessages();
  EXPECT_NE(horoscope::GetBodyName(1), "Moon");
}

TEST_F(MainWindowTablesTest, TheListReadsItsInterpretationsFromTheTable) {
  main->OpenTables();
  main->LoadMessages();
  options->SelectPerson(1);
  options->dfPers->SetAsString("Bob Stone");
  options->dfPers->OnChange(options->dfPers);
  options->dfDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(1980, 5, 17)));
  options->dfDate->OnChange(options->dfDate);
  StopFlag = false;
  main->ShowTransits();
  const std::string text = main->rtext->Text();
  EXPECT_NE(text.find("Bob Stone"), std::string::npos);
  EXPECT_NE(text.find("your natal"), std::string::npos) << text.substr(0, 600);
}

TEST_F(MainWindowTablesTest, LeavingWindowTakesItsMessagesAlong) {
  main->OpenTables();
  main->LoadMessages();
  ASSERT_NE(horoscope::MessageList, nullptr);
  DoneApplication();
  EXPECT_EQ(horoscope::MessageList, nullptr) << "no reader may reach the freed list";
  EXPECT_EQ(horoscope::GetBodyName(0), "");
}

}  // namespace
}  // namespace tw::app::test
