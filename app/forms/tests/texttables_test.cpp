// The text tables as the program builds them into its folder, read through the embedded
// database server: interpretations by key, message texts of one language, and the main window
// that shows both.
#include "app/forms/texttables.h"

#include "app/forms/mainwindow.h"
#include "app/forms/tests/texttables_fixture.h"
#include "dbaccess/errortext.h"
#include "entry/date/dayarith.h"
#include "entry/fksimplefield.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw::app::test {
namespace {

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
