// The windows joined to the language component over the built language file and text tables:
// switching to German and back translates the main, options and about windows, loads the
// message texts and the list of the language, chooses the help file and keeps the choice for
// the next start; a missing or damaged language file leaves the program in English.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "app/forms/calendarwindow.h"
#include "app/forms/tests/texttables_fixture.h"
#include "app/lib/splash.h"
#include "app/lib/winregistry.h"
#include "entry/date/dayarith.h"
#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "multilang/langeditor.h"
#include "multilang/langswitch.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/files.h"
#include "platform/win/winapi.h"
#include "toolbars/toolbarbutton.h"

namespace tw::app::test {
namespace {

constexpr char LanguageFileName[] = "TWLang.LAN";

// The program's windows over a copy of the built data: the tables and, unless a test leaves it
// out, the language file, in a program folder of the test's own.
class LanguageTest : public TextTablesTest {
 protected:
  void SetUp() override {
    TextTablesTest::SetUp();
    toolbars::RegisterToolbarClasses();
    SetProgramFolder(folder.string() + "/");
    // The language editor keeps its own settings file in the private settings folder.
    if (const char* config = std::getenv("XDG_CONFIG_HOME")) savedConfigHome = config;
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  }
  void TearDown() override {
    TextTablesTest::TearDown();
    SetProgramFolder("");
    if (savedConfigHome) {
      ::setenv("XDG_CONFIG_HOME", savedConfigHome->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  std::string LanguageFile() const { return (folder / LanguageFileName).string(); }
  void CopyLanguageFile() {
    std::filesystem::copy_file(BuiltProgramFolder() / LanguageFileName, LanguageFile());
  }
  // The four windows in the program's order, the tables open.
  void MakeWindows() {
    main = Application()->CreateForm<TfrmMain>();
    main->ListingFolder = folder.string();
    main->OpenTables();
    options = Application()->CreateForm<TfrmOptions>();
    about = Application()->CreateForm<TAboutBox>();
    Application()->CreateForm<TfrmCal>();
  }
  void MakePerson(const std::string& name, const std::string& shortcut) {
    options->SelectPerson(1);
    options->dfPers->SetAsString(name);
    options->dfPers->OnChange(options->dfPers);
    options->dfDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(1980, 5, 17)));
    options->dfDate->OnChange(options->dfDate);
    options->dfShort->SetAsString(shortcut);
    options->dfShort->OnChange(options->dfShort);
    options->OkClick(options->Ok);
  }
  // Chooses a language from the main window's language menu, as a click does, and lets the
  // other windows follow.
  void ChooseFromMenu(const std::string& language) {
    TMenuItem* item = nullptr;
    for (int i = 0; i < main->Language1->Count(); ++i)
      if (main->Language1->Items(i)->Caption() == language) item = main->Language1->Items(i);
    ASSERT_NE(item, nullptr) << language << " is not offered";
    item->Click();
    Pump();
  }
  // A start with `language` stored from the last run.
  void StartWithStoredLanguage(const std::string& language) {
    TWinRegistry(SettingsKey()).WriteString("frmMain", "Language", language);
    MakeWindows();
    main->Show();
    Pump();
  }
  void ExpectEnglish() const {
    EXPECT_EQ(main->LangSwitch1->CurrentLanguage(), "English");
    EXPECT_EQ(horoscope::LanguageCode, "ENG");
    EXPECT_EQ(main->pbExit->Caption(), "Exit");
    EXPECT_EQ(options->Caption(), "Options");
  }
  std::string StoredLanguage() const { return TWinRegistry(SettingsKey()).ReadString("frmMain", "Language", "<none>"); }

  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
  TAboutBox* about = nullptr;
  std::optional<std::string> savedConfigHome;
};

TEST_F(LanguageTest, TheLanguageMenuSwitchesEveryWindowTextsAndListToGermanAndBack) {
  CopyLanguageFile();
  MakeWindows();
  MakePerson("Bob Stone", "Bob");
  main->Show();
  ASSERT_EQ(main->Language1->Count(), 2) << "the menu offers the languages of the file";
  EXPECT_TRUE(main->Language1->Items(0)->Checked() || main->Language1->Items(1)->Checked());
  EXPECT_NE(main->rtext->Text().find("your natal"), std::string::npos);
  const int lists = main->ListsStarted;

  ChooseFromMenu("Deutsch");
  EXPECT_EQ(main->LangSwitch1->CurrentLanguage(), "Deutsch");
  EXPECT_EQ(main->Language1->Caption(), "&Sprache");
  EXPECT_EQ(main->pbExit->Caption(), "Beenden");
  EXPECT_EQ(options->Caption(), "Optionen") << "the options window follows";
  EXPECT_EQ(options->Cancel->Caption(), "&Abbrechen");
  EXPECT_EQ(about->Caption(), "Info") << "the about window follows";
  EXPECT_EQ(horoscope::LanguageCode, "DEU");
  EXPECT_EQ(horoscope::GetBodyName(1), "Mond") << "the German message texts are loaded";
  EXPECT_EQ(main->Caption(), "Tidewell - Pers\xF6nliche Transite");
  EXPECT_EQ(Application()->HelpFile(), "TW_DEU.HLP");
  EXPECT_EQ(main->ListsStarted, lists + 1) << "the list is made again";
  const std::string german = main->rtext->Text();
  EXPECT_NE(german.find("Transit-"), std::string::npos) << german.substr(0, 400);
  EXPECT_EQ(german.find("your natal"), std::string::npos);
  EXPECT_EQ(main->pbPers1->Caption(), "Bob") << "the persons' shortcuts are kept";
  EXPECT_EQ(options->PersonShortcut(1), "Bob");
  EXPECT_EQ(StoredLanguage(), "Deutsch");

  ChooseFromMenu("English");
  EXPECT_EQ(main->Language1->Caption(), "&Language");
  EXPECT_EQ(options->Caption(), "Options");
  EXPECT_EQ(about->Caption(), "About");
  EXPECT_EQ(horoscope::LanguageCode, "ENG");
  EXPECT_EQ(horoscope::GetBodyName(1), "Moon");
  EXPECT_EQ(Application()->HelpFile(), "TW_ENG.HLP");
  EXPECT_NE(main->rtext->Text().find("your natal"), std::string::npos);
  EXPECT_EQ(StoredLanguage(), "English");
  EXPECT_TRUE(boxes.empty()) << boxes.front();
}

TEST_F(LanguageTest, TheStoredLanguageIsShownAtTheNextStart) {
  CopyLanguageFile();
  StartWithStoredLanguage("Deutsch");
  auto* mnuFile = dynamic_cast<TMenuItem*>(main->FindComponent("mnuFile"));
  ASSERT_NE(mnuFile, nullptr);
  EXPECT_EQ(mnuFile->Caption(), "&Datei");
  EXPECT_EQ(options->Caption(), "Optionen");
  EXPECT_EQ(about->Caption(), "Info");
  EXPECT_EQ(horoscope::LanguageCode, "DEU");
  EXPECT_NE(main->rtext->Text().find("Es ist noch keine Person erfasst."), std::string::npos)
      << "without a person the German welcome text is shown, no dialog opens";
  EXPECT_EQ(main->ListsStarted, 0);
  EXPECT_FALSE(main->SplashScreen1->Showing());

  // The options window's own chooser switches the program too.
  ASSERT_EQ(options->LangSwitch1->Items()->Strings(options->LangSwitch1->ItemIndex()), "Deutsch");
  ASSERT_EQ(options->LangSwitch1->Items()->IndexOf("English"), 0);
  options->LangSwitch1->Perform(WM_KEYDOWN, VK_UP, 0);  // the item above, as the user picks it
  Pump();
  EXPECT_EQ(main->LangSwitch1->CurrentLanguage(), "English");
  EXPECT_EQ(horoscope::LanguageCode, "ENG");
  EXPECT_EQ(about->Caption(), "About");
  EXPECT_EQ(StoredLanguage(), "English");
}

TEST_F(LanguageTest, WithoutALanguageFileTheProgramRunsInEnglish) {
  StartWithStoredLanguage("Deutsch");
  ExpectEnglish();
  EXPECT_EQ(horoscope::GetBodyName(1), "Moon");
  ASSERT_EQ(main->Language1->Count(), 1) << "the one language there is";
  EXPECT_EQ(main->Language1->Items(0)->Caption(), "English");
  EXPECT_TRUE(boxes.empty()) << "a missing language file is no error";
  EXPECT_FALSE(FileExists(LanguageFile())) << "nothing is written in its place";
}

TEST_F(LanguageTest, ADamagedLanguageFileIsReportedLeftAloneAndTheProgramRunsInEnglish) {
  CopyLanguageFile();
  const std::string whole = ReadFileBytes(LanguageFile());
  const std::string damaged = whole.substr(0, whole.size() / 2);
  AtomicWriteFile(LanguageFile(), damaged);
  StartWithStoredLanguage("Deutsch");
  ExpectEnglish();
  ASSERT_FALSE(boxes.empty()) << "the damage is reported";
  EXPECT_NE(boxes.front().find("TLangSwitch File error"), std::string::npos) << boxes.front();
  DoneApplication();
  EXPECT_EQ(ReadFileBytes(LanguageFile()), damaged) << "the damaged file is never overwritten";
}

TEST_F(LanguageTest, ClosingTheProgramLeavesTheLanguageFileAsItWas) {
  CopyLanguageFile();
  const std::string before = ReadFileBytes(LanguageFile());
  MakeWindows();
  main->Show();
  ChooseFromMenu("Deutsch");
  DoneApplication();
  EXPECT_EQ(ReadFileBytes(LanguageFile()), before);
}

TEST_F(LanguageTest, CtrlAltEOpensTheLanguageEditorOfEachWindow) {
  CopyLanguageFile();
  MakeWindows();
  main->Show();
  ChooseFromMenu("Deutsch");
  std::vector<std::string> edited;
  Application()->OnIdle = [&](TObject*, bool& done) {
    done = false;
    if (auto* editor = dynamic_cast<multilang::TLangEditorForm*>(Screen()->ActiveForm())) {
      edited.push_back(editor->Edited()->OwnerForm()->ClassName());
      editor->SetModalResult(mrCancel);
    }
  };
  const TShiftState ctrlAlt{TShiftStateFlag::ssCtrl, TShiftStateFlag::ssAlt};
  for (TOrvForm* form : {static_cast<TOrvForm*>(main), static_cast<TOrvForm*>(options), static_cast<TOrvForm*>(about)}) {
    Word key = 'E';
    form->OnKeyUp(form, key, ctrlAlt);
  }
  Word key = 'E';
  main->OnKeyUp(main, key, TShiftState{TShiftStateFlag::ssCtrl, TShiftStateFlag::ssAlt, TShiftStateFlag::ssShift});
  Application()->OnIdle = nullptr;
  EXPECT_EQ(edited, (std::vector<std::string>{"TfrmMain", "TfrmOptions", "TAboutBox"}));
  Pump();
  EXPECT_EQ(main->LangSwitch1->CurrentLanguage(), "Deutsch") << "the windows return to their language";
  EXPECT_EQ(main->pbExit->Caption(), "Beenden");
  EXPECT_EQ(horoscope::LanguageCode, "DEU");
}

}  // namespace
}  // namespace tw::app::test
