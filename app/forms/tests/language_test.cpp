// The windows joined to the language component over the built language file and text tables:
// switching to German and back translates the main, options and about windows, loads the
// message texts and the list of the language, chooses the help file and keeps the choice for
// the next start; a missing or damaged language file leaves the program in English.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/forms/calendarwindow.h"
#include "app/forms/tests/texttables_fixture.h"
#include "app/lib/splash.h"
#include "app/lib/winregistry.h"
#include "entry/date/dayarith.h"
#include "entry/fkcalendar.h"
#include "entry/fkintl.h"
#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "multilang/langeditor.h"
#include "multilang/langswitch.h"
#include "platform/classes/inifiles.h"
#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/comctrls/listbox.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/menus/shortcut.h"
#include "platform/gfx/printer.h"
#include "platform/sys/help.h"
#include "richtext/controls/pageprop.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/files.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/uilanguage.h"
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
  // Steps a user takes while a modal window is up, one each time the window system is idle.
  static void WhileModal(std::vector<std::function<void()>> steps) {
    auto pending = std::make_shared<std::vector<std::function<void()>>>(std::move(steps));
    auto next = std::make_shared<std::size_t>(0);
    Application()->OnIdle = [pending, next](TObject*, bool& done) {
      done = false;
      if (*next < pending->size()) (*pending)[(*next)++]();
    };
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

// Every text the language file has in German for a window, read back from the window after
// the switch; what still shows the design (English) text is listed.
std::vector<std::string> StillEnglish(multilang::TLangSwitch& sw, const std::string& window, int& checked) {
  std::vector<std::string> left;
  const int german = sw.LanguageID("Deutsch");
  if (german < 0) return {window + ": no German in the language file"};
  for (const auto& e : sw.Languages()) {
    if (e->Kind != multilang::ekValue || e->ID != german || e->IsNamedString()) continue;
    const auto design = std::find_if(sw.Languages().begin(), sw.Languages().end(), [&](const auto& d) {
      return d->Kind == multilang::ekValue && d->ID == 0 && d->Component == e->Component &&
             d->Property == e->Property && d->ValueID == e->ValueID;
    });
    if (design == sw.Languages().end() || (*design)->Text == e->Text) continue;  // the same in both
    multilang::TLanguageEntry probe = *e;
    ++checked;
    std::string shown;
    try {
      shown = sw.ReadValue(probe);
    } catch (const std::exception& x) {
      shown = std::string("<") + x.what() + ">";
    }
    if (shown != e->Text) {
      std::string id = e->ValueID >= 0 ? "%" + std::to_string(e->ValueID) : std::string();
      left.push_back(window + ": " + e->Component + "." + e->Property + id + " shows \"" + shown + "\", not \"" +
                     e->Text + "\"");
    }
  }
  return left;
}

TEST_F(LanguageTest, AfterTheSwitchToGermanNoTextTheLanguageFileCoversIsLeftInEnglish) {
  CopyLanguageFile();
  MakeWindows();
  MakePerson("Bob Stone", "Bob");
  main->Show();
  ChooseFromMenu("Deutsch");
  ASSERT_EQ(main->LangSwitch1->CurrentLanguage(), "Deutsch");
  std::vector<std::string> left;
  int checked = 0;
  for (auto [sw, window] : {std::pair{main->LangSwitch1, "main"}, std::pair{options->LangSwitch1, "options"},
                            std::pair{about->LangSwitch1, "about"}}) {
    ASSERT_NE(sw, nullptr) << window;
    for (auto& line : StillEnglish(*sw, window, checked)) left.push_back(line);
  }
  EXPECT_GT(checked, 50) << "the walk reads the windows' texts and the date names";
  // The calendar pop-up, opened from the transit date: its buttons and hints in German, its
  // header in the German order with the language's names, its week days the long names cut
  // to three letters.
  auto* cal = dynamic_cast<TfrmCal*>(Application()->FindComponent("frmCal"));
  ASSERT_NE(cal, nullptr);
  main->dfTransDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(2024, 3, 4)));
  const auto calendarHeader = [&] {  // the calendar opened and cancelled: the header it showed
    std::string header;
    cal->OnShow = [&](TObject*) {
      const entry::TFkIntlSup& intl = entry::DefaultIntlSup();
      header = intl.DayNumberToText(intl.BuildLongDateMask(false, false), cal->Calendar->GetDate(), true);
      cal->SetModalResult(mrCancel);
    };
    main->dfTransBtnClick(main->dfTransBtn);
    cal->OnShow = nullptr;
    return header;
  };
  const std::string header = calendarHeader();
  if (header != "Montag, 4. M\xE4rz 2024") left.push_back("calendar: header \"" + header + "\"");
  for (const auto& [what, text] : {std::pair{"Cancel", cal->pbCancel->Caption()}, std::pair{"month hint", cal->SpinnerMonth->Hint()},
                                   std::pair{"year hint", cal->SpinnerYear->Hint()}})
    if (text == "Cancel" || text.rfind("Change", 0) == 0) left.push_back(std::string("calendar: ") + what + " \"" + text + "\"");
  if (FormatSettings().LongDayNames[1] != "Montag") left.push_back("calendar: day " + FormatSettings().LongDayNames[1]);
  if (FormatSettings().ShortMonthNames[9] != "Okt") left.push_back("calendar: month " + FormatSettings().ShortMonthNames[9]);
  std::string all;
  for (const auto& line : left) all += line + "\n";
  EXPECT_TRUE(left.empty()) << left.size() << " texts are still English:\n" << all;

  // The walk does see a text left in English.
  main->pbExit->SetCaption("Exit");
  int again = 0;
  const auto found = StillEnglish(*main->LangSwitch1, "main", again);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_NE(found.front().find("pbExit.Caption shows \"Exit\""), std::string::npos) << found.front();

  // Back in English, the date names and their order are English again.
  ChooseFromMenu("English");
  EXPECT_EQ(FormatSettings().LongDayNames[1], "Monday");
  EXPECT_EQ(calendarHeader(), "Monday, March 04, 2024");
  EXPECT_EQ(cal->pbCancel->Caption(), "Cancel");
}

// A window opens with the keyboard where its Tab order begins, in both languages and at every
// opening, not where the last one ended: the options window on its pages (its buttons come
// last, so Enter presses OK, not Help), the calendar on its days.  After the box that tells a
// stored birth date or time does not read, the options window opens on that field.
TEST_F(LanguageTest, WindowsOpenWhereTheirTabOrderBeginsOrOnTheFieldToMend) {
  CopyLanguageFile();
  MakeWindows();
  MakePerson("Bob Stone", "Bob");
  main->Show();
  Pump();
  const auto focused = [] { return TWinControl::FindControl(GetFocus()); };
  std::vector<TWinControl*> opened;
  ProgramHelp().ClearLog();
  for (const char* language : {"Deutsch", "English"}) {
    SCOPED_TRACE(language);
    ChooseFromMenu(language);
    // Left on Help, then opened again: Enter ends it with OK.
    WhileModal({[&] { opened.push_back(focused()); },
                [&] { options->pbHelp->SetFocus(); },
                [&] { InjectKey(VK_ESCAPE, kNoCharacter); }});
    EXPECT_FALSE(options->Execute());
    WhileModal({[&] { opened.push_back(focused()); },
                [&] { InjectKey(VK_RETURN, kNoCharacter); },
                [&] { options->SetModalResult(mrCancel); }});
    EXPECT_TRUE(options->Execute()) << "Enter did not press OK";
    EXPECT_EQ(opened, (std::vector<TWinControl*>{options->PageControl1, options->PageControl1}));
    opened.clear();
    EXPECT_TRUE(ProgramHelp().Log().empty()) << "Enter pressed Help";
  }
  // The calendar, left on its Cancel button, opens on its days again.
  WhileModal({[&] { opened.push_back(focused()); },
              [&] { frmCal->pbCancel->SetFocus(); },
              [&] { InjectKey(VK_ESCAPE, kNoCharacter); }});
  main->dfTransBtnClick(main->dfTransBtn);
  WhileModal({[&] { opened.push_back(focused()); }, [&] { InjectKey(VK_ESCAPE, kNoCharacter); }});
  main->dfTransBtnClick(main->dfTransBtn);
  EXPECT_EQ(opened, (std::vector<TWinControl*>{frmCal->Calendar, frmCal->Calendar}));

  // A stored date, then a stored time, that does not read: the box, then the field, its page shown.
  const std::tuple<const char*, const char*, const char*, TWinControl*> bad[] = {
      {"dfDate1", "1990-02-31", "1980-05-17", options->dfDate}, {"dfTime1", "25:61", "07:45", options->dfTime}};
  for (const auto& [field, value, good, control] : bad) {
    options->WriteString(field, value);
    options->PageControl1->SetActivePage(options->tabDisplay);
    options->SelectPerson(1);
    opened.clear();
    boxes.clear();
    WhileModal({[&] { opened.push_back(focused()); }, [&] { InjectKey(VK_ESCAPE, kNoCharacter); }});
    main->pbPersClick(main->pbPers1);
    Application()->OnIdle = nullptr;
    EXPECT_EQ(boxes.size(), 1u) << field;
    EXPECT_EQ(opened, std::vector<TWinControl*>{control}) << field;
    EXPECT_EQ(options->PageControl1->ActivePage(), options->tabPers) << field;
    options->WriteString(field, good);
  }
}

// A language switch while the options dialog is open ends nothing the user did there: the
// dialog stays open with what was typed, and the list is made when the dialog ends, for what is
// stored then (the name typed after OK, the one put back after Cancel).  The switch comes from
// the dialog's own chooser, or from its language editor, where the language shown is deleted.
TEST_F(LanguageTest, ALanguageSwitchWhileTheOptionsDialogIsOpenKeepsWhatWasTyped) {
  CopyLanguageFile();
  MakeWindows();
  MakePerson("Bob Stone", "Bob");
  main->Show();
  Pump();
  auto* menuItem = dynamic_cast<TMenuItem*>(main->FindComponent("mnuOptions"));
  ASSERT_NE(menuItem, nullptr);
  SetMessageBoxFunc([this](const std::string& text, const std::string& caption, unsigned flags) {
    boxes.push_back(caption + "|" + text);
    return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
  });
  // The chooser shown and a language picked in it with the keyboard.
  const auto switchInChooser = [&] {
    options->LangSwitch1->SetVisible(true);
    options->LangSwitch1->SetFocus();
    InjectKey(VK_DOWN, kNoCharacter);
  };
  const auto deleteInEditor = [&] {
    Word key = 'E';
    options->OnKeyUp(options, key, TShiftState{TShiftStateFlag::ssCtrl, TShiftStateFlag::ssAlt});
  };
  const auto editorStep = [](const std::function<void(multilang::TLangEditorForm*)>& step) {
    return [step] {
      auto* editor = dynamic_cast<multilang::TLangEditorForm*>(Screen()->ActiveForm());
      ASSERT_NE(editor, nullptr) << "the language editor is not shown";
      step(editor);
    };
  };
  for (const bool ok : {true, false}) {
    SCOPED_TRACE(ok ? "chooser, then OK" : "editor, then Cancel");
    bool open = false;
    std::string shown, stored;
    int listsWhileOpen = -1;
    const int lists = main->ListsStarted;
    const std::string before = options->PersonName(), typed = ok ? "Anna Berg" : "Cleo Dale";
    std::vector<std::function<void()>> steps{[&] {
      options->dfPers->SetFocus();
      options->dfPers->SelectAll();
      for (char c : typed)
        InjectKey(c == ' ' ? VK_SPACE : static_cast<UINT>(std::toupper(static_cast<unsigned char>(c))),
                  static_cast<unsigned char>(c));
    }};
    if (ok) {
      steps.push_back(switchInChooser);
    } else {
      steps.push_back(deleteInEditor);
      steps.push_back(editorStep([](multilang::TLangEditorForm* editor) {
        ASSERT_TRUE(editor->ChooseLanguage("Deutsch"));
        editor->LangDeleteBtn->Click();
      }));
      steps.push_back(editorStep([](multilang::TLangEditorForm* editor) { editor->OKBtn->Click(); }));
    }
    steps.push_back([&] { Pump(); });
    steps.push_back([&] {
      open = options->Visible() && Screen()->ActiveForm() == options;
      shown = options->PersonName();
      stored = options->ReadString("dfPers1", "");
      listsWhileOpen = main->ListsStarted;
      InjectClick((ok ? options->Ok : options->Cancel)->Handle(), 5, 5);
    });
    steps.push_back([&] { options->SetModalResult(mrCancel); });
    WhileModal(std::move(steps));
    menuItem->Click();
    Application()->OnIdle = nullptr;
    EXPECT_EQ(main->LangSwitch1->CurrentLanguage(), ok ? "Deutsch" : "English");
    EXPECT_TRUE(open) << "the language switch closed the dialog";
    EXPECT_EQ(shown, typed);
    EXPECT_EQ(stored, typed);
    EXPECT_EQ(listsWhileOpen, lists) << "no list is made for what the dialog may still put back";
    const std::string kept = ok ? typed : before;
    EXPECT_EQ(options->ReadString("dfPers1", ""), kept);
    EXPECT_EQ(options->PersonName(), kept);
    EXPECT_EQ(main->ListsStarted, lists + 1) << "the list is made once the dialog has ended";
    EXPECT_NE(main->rtext->Text().find(kept), std::string::npos) << main->rtext->Text().substr(0, 100);
    EXPECT_NE(main->rtext->Text().find(ok ? "Transite" : "Transits"), std::string::npos)
        << "the list is in the language chosen";
  }
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
  // On a German desktop too: the program's messages and key names are English with it.
  struct GermanDesktop {
    std::optional<std::string> lang;
    GermanDesktop() {
      if (const char* l = std::getenv("LANG")) lang = l;
      ::setenv("LANG", "de_DE.UTF-8", 1);
    }
    ~GermanDesktop() {
      if (lang) ::setenv("LANG", lang->c_str(), 1); else ::unsetenv("LANG");
    }
  } desktop;
  StartWithStoredLanguage("Deutsch");
  EXPECT_EQ(UiLanguage(), TUiLanguage::English) << "the program's choice, not the desktop's";
  auto* print = dynamic_cast<TMenuItem*>(main->FindComponent("mnuPrint"));
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(ShortCutToText(print->ShortCut()), "Ctrl+P");
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

// A printing system with no printer at all.
class NoPrinters : public TPrintSpooler {
 public:
  std::vector<std::string> Destinations() override { return {}; }
  std::string DefaultDestination() override { return {}; }
  bool Submit(const std::string&, const std::string&, const std::string&, std::string& error) override {
    error = "no printer";
    return false;
  }
};

// Every caption of a window and its controls, joined by "|".
std::string WindowTexts(TWinControl* w) {
  std::string out = w->Caption();
  for (int i = 0; i < w->ControlCount(); ++i) {
    TControl* c = w->Controls(i);
    out += "|" + c->Caption();
    if (auto* wc = dynamic_cast<TWinControl*>(c)) out += "|" + WindowTexts(wc);
  }
  return out;
}

// Switched to German, every message the program shows on a failure and the dialogs it opens
// are German: an entry field's error report, a settings store that cannot be written, a help
// page with nothing to open it, printing without a printer, a page setup value that does not
// read, the language editor's file dialog and the menu's shortcut keys.
TEST_F(LanguageTest, InGermanNoMessageOrDialogOfTheProgramShowsEnglish) {
  CopyLanguageFile();
  std::filesystem::copy(BuiltProgramFolder() / "help", folder / "help", std::filesystem::copy_options::recursive);
  MakeWindows();
  MakePerson("Bob Stone", "Bob");
  main->Show();
  ChooseFromMenu("Deutsch");
  ASSERT_EQ(main->LangSwitch1->CurrentLanguage(), "Deutsch");
  boxes.clear();
  std::vector<std::string> shown;  // dialog texts
  auto type = [](const std::string& text) {
    for (char c : text) {
      UINT vk = c >= '0' && c <= '9' ? static_cast<UINT>(c) : c >= 'a' && c <= 'z' ? static_cast<UINT>(c - 32) : 0;
      InjectKey(vk, static_cast<unsigned char>(c));
      Pump();
    }
  };

  // The options: a place typed while the store is blocked, then a date that does not read.
  std::string store;
  std::fclose(std::fopen((folder / "blocker").c_str(), "w"));
  WhileModal({[&] {
                store = SettingsStorePath();
                SetSettingsStorePath((folder / "blocker" / "registry.ini").string());
                options->dfPlace->SetFocus();
                Pump();
                type("x");
              },
              [&] {
                Pump();
                SetSettingsStorePath(store);
                options->dfDate->SetFocus();
                Pump();
                options->dfDate->SelectAll();
                type("02311990");
              },
              [&] { InjectClick(options->Ok->Handle(), 5, 5); },
              [&] {
                Pump();
                InjectClick(options->Cancel->Handle(), 5, 5);
              },
              [&] { options->ModalResult() == mrNone ? options->SetModalResult(mrCancel) : void(); }});
  options->Execute();
  Application()->OnIdle = nullptr;
  SetSettingsStorePath(store);

  // Help with nothing to open its pages.
  auto saved = ProgramHelp().SetLauncher(std::make_shared<ProcessHelpLauncher>("tidewell-no-such-opener", "/nonexistent"));
  main->mnuHelpContentsClick(nullptr);
  ProgramHelp().SetLauncher(saved);

  // Printing without a printer: what escapes the button's click goes to the application, as
  // from the window procedure.
  ::unsetenv("TIDEWELL_PRINT_TO");
  auto savedPrinter = SetPrinter(std::make_unique<TPrinter>(std::make_unique<NoPrinters>()));
  try {
    main->pbPrintClick(main->pbPrint);
  } catch (...) {
    Application()->HandleException(main);
  }
  SetPrinter(std::move(savedPrinter));

  // The page setup with a margin that does not read.
  WhileModal({[&] {
                richtext::TRiPageProp* page = main->RiPagePropDlg1->Window();
                ASSERT_NE(page, nullptr);
                page->Edits[1]->SetText("1,5x");
                InjectClick(page->BitBtn2->Handle(), 5, 5);
              },
              [&] {
                Pump();
                if (richtext::TRiPageProp* page = main->RiPagePropDlg1->Window()) page->SetModalResult(mrCancel);
              }});
  main->mnuPageSetupClick(nullptr);
  Application()->OnIdle = nullptr;

  // The language editor's file dialog, the editor's own language being German too.
  {
    TIniFile ini(multilang::TLangEditorForm::SettingsFileName());
    ini.WriteString("Default", "Language", "Deutsch");
  }
  WhileModal({[&] {
                auto* editor = dynamic_cast<multilang::TLangEditorForm*>(Screen()->ActiveForm());
                ASSERT_NE(editor, nullptr);
                InjectClick(editor->LoadBtn->Handle(), 5, 5);
              },
              [&] {
                shown.push_back(WindowTexts(Screen()->ActiveForm()));
                InjectKey(VK_ESCAPE);
              },
              [&] {
                if (auto* editor = dynamic_cast<multilang::TLangEditorForm*>(Screen()->ActiveForm()))
                  editor->SetModalResult(mrCancel);
              }});
  main->LangSwitch1->Browse();
  Application()->OnIdle = nullptr;

  // Every kind of failure was met.
  std::string all;
  for (const auto& b : boxes) all += b + "\n";
  for (const char* german : {"Der Wert ist kein g\xFCltiges Datum", "Ihre Einstellungen k\xF6nnen nicht gespeichert werden",
                             "Die Hilfe konnte nicht angezeigt werden", "ist nicht installiert",
                             "Zurzeit ist kein Standarddrucker ausgew\xE4hlt", "'1,5x' ist kein g\xFCltiger Gleitkommawert"})
    EXPECT_NE(all.find(german), std::string::npos) << german << " is not among the boxes:\n" << all;
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("Dateiname:"), std::string::npos) << shown[0];
  for (const auto& d : shown) all += d + "\n";
  for (const char* english : {"Value is not a valid", "Help could not be shown", "is not installed", "default printer",
                              "Failed to set data", "not a valid floating point value", "The help file is", "Filename",
                              "Directory", "File type", "Drives", "Cancel", "Ctrl+"})
    EXPECT_EQ(all.find(english), std::string::npos) << "\"" << english << "\" in:\n" << all;

  // The menu writes its shortcut keys as German desktops do, and English again in English.
  auto* print = dynamic_cast<TMenuItem*>(main->FindComponent("mnuPrint"));
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(ShortCutToText(print->ShortCut()), "Strg+P");
  ChooseFromMenu("English");
  EXPECT_EQ(ShortCutToText(print->ShortCut()), "Ctrl+P");
}

// Every text a window shows: its caption and its controls' captions, hints and list lines
// (the zone list's names are the tz database's, the same in every language).
void CollectTexts(const TWinControl* w, std::set<std::string>& out) {
  out.insert(w->Caption());
  out.insert(w->Hint());
  for (int i = 0; i < w->ControlCount(); ++i) {
    const TControl* c = w->Controls(i);
    out.insert(c->Caption());
    out.insert(c->Hint());
    const TStrings* lines = nullptr;
    if (auto* combo = dynamic_cast<const TCustomComboBox*>(c); combo != nullptr && combo->Name() != "cmbTimeZone")
      lines = combo->Items();
    if (auto* group = dynamic_cast<const TRadioGroup*>(c)) lines = group->Items();
    if (auto* list = dynamic_cast<const TCustomListBox*>(c)) lines = list->Items();
    for (int k = 0; lines != nullptr && k < lines->Count(); ++k) out.insert(lines->Strings(k));
    if (auto* wc = dynamic_cast<const TWinControl*>(c)) CollectTexts(wc, out);
  }
}

void CollectMenu(const TMenuItem* item, std::set<std::string>& out) {
  for (int i = 0; i < item->Count(); ++i) {
    out.insert(item->Items(i)->Caption());
    out.insert(item->Items(i)->Hint());
    CollectMenu(item->Items(i), out);
  }
}

// Every window and box a German session can reach, walked in English and then in German: no
// German window shows a text of the English set (texts that are the same words in both
// languages aside).
TEST_F(LanguageTest, EveryWindowAndBoxOfAGermanSessionShowsNoEnglishText) {
  CopyLanguageFile();
  MakeWindows();
  MakePerson("Bob Stone", "Bob");
  main->Show();
  auto saved = ProgramHelp().SetLauncher(std::make_shared<ProcessHelpLauncher>("tidewell-no-such-opener", "/nonexistent"));
  using TTexts = std::map<std::string, std::set<std::string>>;
  // Runs `open` and collects the texts of the modal window it shows (and of the box a button
  // of it opens, `button` naming that button), then closes both.
  const auto modal = [&](TTexts& texts, const std::string& name, const std::function<void()>& open,
                         const std::string& button = {}) {
    int step = 0;
    Application()->OnIdle = [&](TObject*, bool& done) {
      done = false;
      TCustomForm* active = Screen()->ActiveForm();
      if (active == nullptr || active == main) return;
      if (step == 0) {
        CollectTexts(active, texts[name]);
        step = 1;
        if (!button.empty()) {
          if (auto* b = dynamic_cast<TControl*>(active->FindComponent(button)))
            b->Click();
          else
            ADD_FAILURE() << name << " (" << active->ClassName() << ") has no " << button;
        }
        active->SetModalResult(mrCancel);
      } else {
        // A window the button opened.
        CollectTexts(active, texts[name + " / " + active->ClassName()]);
        active->SetModalResult(mrCancel);
      }
    };
    open();
    Application()->OnIdle = nullptr;
    Pump();
  };
  const auto walk = [&](TTexts& texts) {
    CollectTexts(main, texts["main"]);
    CollectMenu(main->MainMenu->Items(), texts["main"]);
    boxes.clear();
    modal(texts, "options", [&] { options->Execute(); });
    modal(texts, "about", [&] { about->ShowModal(); });
    modal(texts, "page setup", [&] { main->mnuPageSetupClick(nullptr); });
    modal(texts, "language editor", [&] { main->LangSwitch1->Browse(); }, "HelpBtn");
    modal(texts, "language editor", [&] { main->LangSwitch1->Browse(); }, "CopyFromBtn");
    modal(texts, "calendar", [&] { main->dfTransBtnClick(nullptr); });
    main->mnuHelpContentsClick(nullptr);
    main->rtextHyperLinkEvent(nullptr, "20001");
    for (const std::string& box : boxes) texts["boxes"].insert(box);
    EXPECT_EQ(boxes.size(), 3u) << "the editor's help, the contents and a link each tell why no page shows";
  };
  TTexts english, german;
  walk(english);
  ChooseFromMenu("Deutsch");
  ASSERT_EQ(main->LangSwitch1->CurrentLanguage(), "Deutsch");
  walk(german);
  ProgramHelp().SetLauncher(saved);
  // The same words in both languages: names, numbers, "OK" and the like.
  const std::set<std::string> neutral = {"", "OK", "Twips", "Deutsch", "English", "Bob", "Person 2", "Person 3",
                                         "Person 4", "Tidewell", "Corvane Tidewell", "Transit", "  Transit  ", "Info",
                                         "Build", "Version", "Svenska", "Nederlands", "Bahasa Indonesia", "Dansk",
                                         "System (DBCS)", "System (R->L)", "Corvane", "&Corvane", "-", "Name", "Person", "Ok",
                                         "TfrmMainLangSwitch1", "TfrmOptionsLangSwitch1", "TAboutBoxLangSwitch1", "&OK"};
  // Numbers read the same in both languages.
  const auto isNumber = [](const std::string& t) {
    return !t.empty() && t.find_first_not_of("0123456789.,") == std::string::npos;
  };
  for (const auto& [window, texts] : german) {
    ASSERT_FALSE(texts.empty()) << window;
    for (const std::string& text : texts) {
      if (neutral.count(text) != 0 || isNumber(text)) continue;
      bool englishText = false;
      for (const auto& [w, englishTexts] : english) englishText = englishText || englishTexts.count(text) != 0;
      EXPECT_FALSE(englishText) << window << ": \"" << text << "\" is English";
    }
  }
  EXPECT_EQ(german["boxes"].size(), 2u) << "the language editor's help and the program's";
  for (const char* window :
       {"main", "options", "about", "page setup", "language editor", "language editor / TCopyFromForm", "calendar"})
    EXPECT_EQ(german.count(window), 1u) << window << " was not walked";
}

// A stored birth date that does not read, at a start in the stored German: one German box
// naming the stored text, over the shown main window (the language switch computes the list
// while the window is still on its way).
TEST_F(LanguageTest, ABadStoredBirthDateAtAGermanStartIsToldOnceOverTheWindow) {
  CopyLanguageFile();
  TWinRegistry store(SettingsKey());
  store.WriteString("frmOptions", "dfPers1", "Bob Stone");
  store.WriteString("frmOptions", "dfDate1", "1990-02-31");
  store.WriteString("frmMain", "Language", "Deutsch");
  MakeWindows();
  std::vector<std::string> texts;
  std::vector<bool> mainShowing;
  SetMessageBoxFunc([&](const std::string& text, const std::string&, unsigned) {
    texts.push_back(text);
    mainShowing.push_back(IsWindowVisible(main->Handle()));
    return IDOK;
  });
  Application()->OnIdle = [&](TObject*, bool& done) {
    done = false;
    if (options->Visible()) options->SetModalResult(mrCancel);
  };
  main->Show();
  EXPECT_TRUE(texts.empty()) << "nothing before the window shows";
  EXPECT_NE(main->rtext->Text().find("\"1990-02-31\" ist kein g\xFCltiges Datum"), std::string::npos)
      << "the view says what is missing meanwhile";
  for (int i = 0; i < 10; ++i) Pump();
  Application()->OnIdle = nullptr;
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("\"1990-02-31\" ist kein g\xFCltiges Datum"), std::string::npos) << texts[0];
  EXPECT_TRUE(mainShowing[0]);
  SetMessageBoxFunc([this](const std::string& text, const std::string& caption, unsigned) {
    boxes.push_back(caption + "|" + text);
    return mrOk;
  });
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
