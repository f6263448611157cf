// Three windows, each with its own language component on one language file, switched together
// from one of them: the way the program's main, options and about windows work.  The main
// window processes messages while it reacts to the switch (as the transit list does while it
// is rebuilt), so the other windows' language messages arrive inside its SelectLanguage.
#include "multilang/langswitch.h"
#include "multilang/tests/multilang_fixture.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/comctrls/tabset.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw::multilang {

class TThreeMain : public TForm {
  TW_CLASS(TThreeMain, TForm)
 public:
  explicit TThreeMain(TComponent* owner) : TForm(owner) {
    SetCaption("Main");
    Title = Add<TLabel>("Title", "Transits");
    MainMenu1 = new TMainMenu(this);
    MainMenu1->SetName("MainMenu1");
    Language1 = new TMenuItem(this);
    Language1->SetName("Language1");
    Language1->SetCaption("&Language");
    MainMenu1->Items()->Add(Language1);
    LangSwitch1 = Add<TLangSwitch>("LangSwitch1", "");
  }
  template <typename T>
  T* Add(const std::string& name, const std::string& caption) {
    auto* c = new T(this);
    c->SetName(name);
    c->SetParent(this);
    if (!caption.empty()) c->SetCaption(caption);
    return c;
  }
  TLabel* Title;
  TMainMenu* MainMenu1;
  TMenuItem* Language1;
  TLangSwitch* LangSwitch1;
};

class TThreeOptions : public TForm {
  TW_CLASS(TThreeOptions, TForm)
 public:
  explicit TThreeOptions(TComponent* owner) : TForm(owner) {
    SetCaption("Options");
    rbPerson = new TRadioGroup(this);
    rbPerson->SetName("rbPerson");
    rbPerson->SetParent(this);
    rbPerson->SetBounds(8, 8, 150, 100);
    for (const char* s : {"Person 1", "Person 2", "Person 3"}) rbPerson->Items()->Add(s);
    rbPerson->SetItemIndex(0);
    rbPerson->OnClick = [this](TObject*) { ++personClicks; };
    LangSwitch1 = new TLangSwitch(this);
    LangSwitch1->SetName("LangSwitch1");
    LangSwitch1->SetParent(this);
  }
  TRadioGroup* rbPerson;
  TLangSwitch* LangSwitch1;
  int personClicks = 0;
};

class TThreeAbout : public TForm {
  TW_CLASS(TThreeAbout, TForm)
 public:
  explicit TThreeAbout(TComponent* owner) : TForm(owner) {
    SetCaption("About");
    Ok = new TButton(this);
    Ok->SetName("Ok");
    Ok->SetParent(this);
    Ok->SetCaption("OK");
    LangSwitch1 = new TLangSwitch(this);
    LangSwitch1->SetName("LangSwitch1");
    LangSwitch1->SetParent(this);
  }
  TButton* Ok;
  TLangSwitch* LangSwitch1;
};

namespace {

class ThreeFormsTest : public MultiLangTest {
 protected:
  void SetUp() override {
    MultiLangTest::SetUp();
    TLanFile f;
    f.HasLanguages = true;
    f.Languages.Stamp = "46000";
    f.Languages.Languages = {{0, 0, "English", ""}, {0, 1, "Deutsch", ""}};
    f.Sections.push_back({"TThreeMainLangSwitch1",
                          BuildFormBody({V(1, "Transite", "Title", "Caption"), V(1, "&Sprache", "Language1", "Caption"),
                                         V(1, "Hauptfenster", "TThreeMain", "Caption")})});
    f.Sections.push_back({"TThreeOptionsLangSwitch1",
                          BuildFormBody({V(1, "Einstellungen", "TThreeOptions", "Caption"),
                                         V(1, "Person 2 (de)", "rbPerson", "Items", 1)})});
    f.Sections.push_back({"TThreeAboutLangSwitch1",
                          BuildFormBody({V(1, "Info", "TThreeAbout", "Caption"), V(1, "Gut", "Ok", "Caption")})});
    AtomicWriteFile(file, BuildLanFile(f));
  }

  // Makes the three windows as the program does at start-up: each reads its resource (here:
  // its constructor), takes the language file and runs Loaded.
  void MakeWindows() {
    main = new TThreeMain(Application());
    main->LangSwitch1->SetLanguageFile(file);
    main->LangSwitch1->SetAdoptOn(main->Language1);
    main->LangSwitch1->Loaded();
    options = new TThreeOptions(Application());
    options->LangSwitch1->SetLanguageFile(file);
    options->LangSwitch1->Loaded();
    about = new TThreeAbout(Application());
    about->LangSwitch1->SetLanguageFile(file);
    about->LangSwitch1->Loaded();
    main->Show();
    options->Show();
    about->Show();
    Pump();
  }

  bool AllIn(const std::string& language) const {
    return main->LangSwitch1->CurrentLanguage() == language && options->LangSwitch1->CurrentLanguage() == language &&
           about->LangSwitch1->CurrentLanguage() == language;
  }
  // Handles the waiting messages until the three windows show `language` (a bounded number of
  // rounds: a switch that never finishes fails instead of hanging).
  bool PumpUntilAllIn(const std::string& language) {
    for (int round = 0; round < 20 && !AllIn(language); ++round) Pump();
    return AllIn(language);
  }

  TThreeMain* main = nullptr;
  TThreeOptions* options = nullptr;
  TThreeAbout* about = nullptr;
};

TEST_F(ThreeFormsTest, OneSwitchTranslatesAllThreeWindows) {
  MakeWindows();
  int mainTranslated = 0, optionsTranslated = 0, aboutTranslated = 0;
  // The main window rebuilds its list on every switch and processes messages meanwhile.
  main->LangSwitch1->OnTranslated = [&](TObject*, const std::string&, bool ok) {
    EXPECT_TRUE(ok);
    ++mainTranslated;
    Application()->ProcessMessages();
  };
  options->LangSwitch1->OnTranslated = [&](TObject*, const std::string&, bool) { ++optionsTranslated; };
  about->LangSwitch1->OnTranslated = [&](TObject*, const std::string&, bool) { ++aboutTranslated; };

  EXPECT_TRUE(main->LangSwitch1->SelectLanguage("Deutsch", true));
  ASSERT_TRUE(PumpUntilAllIn("Deutsch"));
  EXPECT_EQ(main->Caption(), "Hauptfenster");
  EXPECT_EQ(main->Title->Caption(), "Transite");
  EXPECT_EQ(options->Caption(), "Einstellungen");
  EXPECT_EQ(options->rbPerson->Items()->Strings(1), "Person 2 (de)");
  EXPECT_EQ(options->rbPerson->ItemIndex(), 0) << "translating the lines keeps the choice";
  EXPECT_EQ(options->personClicks, 0) << "and does not look like a user's click";
  EXPECT_EQ(about->Ok->Caption(), "Gut");
  EXPECT_EQ(about->Caption(), "Info");
  EXPECT_EQ(mainTranslated, 1);
  EXPECT_EQ(optionsTranslated, 1);
  EXPECT_EQ(aboutTranslated, 1);
  Pump();
  EXPECT_EQ(mainTranslated + optionsTranslated + aboutTranslated, 3) << "nobody answers back";

  // From the options window back to English: it broadcasts too.
  options->LangSwitch1->SelectLanguage("English", true);
  ASSERT_TRUE(PumpUntilAllIn("English"));
  EXPECT_EQ(main->Title->Caption(), "Transits");
  EXPECT_EQ(about->Ok->Caption(), "OK");
  EXPECT_EQ(options->rbPerson->Items()->Strings(1), "Person 2");
}

TEST_F(ThreeFormsTest, TheAdoptedMenuSwitchesAllWindowsFromItsOwnItem) {
  MakeWindows();
  ASSERT_EQ(main->Language1->Count(), 2);
  // The clicked item belongs to the menu that shows the languages: it must survive its click.
  main->Language1->Items(1)->Click();
  ASSERT_TRUE(PumpUntilAllIn("Deutsch"));
  EXPECT_EQ(main->Language1->Caption(), "&Sprache");
  ASSERT_EQ(main->Language1->Count(), 2);
  EXPECT_TRUE(main->Language1->Items(1)->Checked());
  EXPECT_EQ(about->Ok->Caption(), "Gut");
  main->Language1->Items(0)->Click();
  ASSERT_TRUE(PumpUntilAllIn("English"));
  EXPECT_EQ(options->Caption(), "Options");
}

TEST_F(ThreeFormsTest, ARadioGroupOrTabSetOfferingTheLanguagesSwitchesAllWindows) {
  MakeWindows();
  auto* choice = new TRadioGroup(options);
  choice->SetName("rbLanguage");
  choice->SetParent(options);
  choice->SetBounds(8, 120, 150, 80);
  options->LangSwitch1->SetAdoptOn(choice);
  ASSERT_EQ(choice->Items()->Count(), 2);
  EXPECT_EQ(choice->ItemIndex(), 0);
  EXPECT_FALSE(options->LangSwitch1->Visible()) << "the chooser gives way to the radio group";
  options->BringToFront();  // the user clicks in the options window
  Pump();
  TRadioButton* deutsch = choice->Buttons(1);
  InjectClick(deutsch->Handle(), 5, deutsch->Height() / 2);
  Pump();
  ASSERT_TRUE(PumpUntilAllIn("Deutsch"));
  EXPECT_EQ(main->Title->Caption(), "Transite");
  EXPECT_EQ(choice->ItemIndex(), 1);

  auto* tabs = new TTabSet(about);
  tabs->SetName("LanguageTabs");
  tabs->SetParent(about);
  about->LangSwitch1->SetAdoptOn(tabs);
  ASSERT_EQ(tabs->Tabs()->Count(), 2);
  EXPECT_EQ(tabs->TabIndex(), 1) << "the tab of the language shown is chosen";
}

TEST_F(ThreeFormsTest, SwitchesInQuickSuccessionEndInTheLastLanguage) {
  MakeWindows();
  // The language file changes on disk between the switches (another window saved it): each
  // receiver reloads it inside its own switch while messages of the next switch are waiting.
  main->LangSwitch1->SelectLanguage("Deutsch", true);
  main->LangSwitch1->SelectLanguage("English", true);
  options->LangSwitch1->SelectLanguage("Deutsch", true);
  ASSERT_TRUE(PumpUntilAllIn("Deutsch"));
  EXPECT_EQ(main->Title->Caption(), "Transite");
  EXPECT_EQ(about->Ok->Caption(), "Gut");
  Pump();
  EXPECT_TRUE(AllIn("Deutsch")) << "no stale message switches a window back";
}

TEST_F(ThreeFormsTest, AWindowBusyWithOneSwitchTakesTheNextWhenItIsDone) {
  MakeWindows();
  std::vector<std::string> order;
  // The options window processes messages while it reacts; the next switch is already waiting.
  options->LangSwitch1->OnTranslated = [&](TObject*, const std::string& name, bool) {
    order.push_back(name + " done");
    Application()->ProcessMessages();
  };
  options->LangSwitch1->OnTranslate = [&](TObject*, const std::string& name) { order.push_back(name); };
  main->LangSwitch1->SelectLanguage("Deutsch", true);
  main->LangSwitch1->SelectLanguage("English", true);
  for (int round = 0; round < 5; ++round) Pump();
  ASSERT_TRUE(AllIn("English"));
  EXPECT_EQ(order, (std::vector<std::string>{"Deutsch", "Deutsch done", "English", "English done"}))
      << "one switch ends before the next begins";
  TLangSwitch* sw = options->LangSwitch1;
  EXPECT_EQ(sw->Items()->Strings(sw->ItemIndex()), "English") << "the chooser shows the language of the window";
  EXPECT_EQ(options->Caption(), "Options");
}

}  // namespace
}  // namespace tw::multilang

namespace tw::multilang {
namespace {

class SystemMenuTest : public LangSwitchTest {};

TEST_F(SystemMenuTest, AltSpaceOpensTheSystemMenuInTheCurrentLanguageAndItsChoiceReachesTheForm) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  auto add = [&](const std::string& prop, const std::string& text) {
    f->LangSwitch1->AddValue(f->LangSwitch1->LanguageID("Deutsch"), "LangSwitch1", prop, -1, text);
  };
  add("SystemMenuClose", "&Schlie\xDF" "en");
  add("SystemMenuMinimize", "Mi&nimieren");
  f->LangSwitch1->ResolveEntries();
  f->LangSwitch1->CaptureDefaults();
  f->Show();
  f->SetFocus();
  Pump();
  bool closed = false;
  f->OnClose = [&](TObject*, TCloseAction& action) {
    closed = true;
    action = TCloseAction::caHide;
  };
  std::vector<std::string> english, german;
  bool finished = false;
  auto texts = [&] {
    std::vector<std::string> out;
    for (int i = 0; i < f->LangSwitch1->SystemMenu()->Items()->Count(); ++i)
      out.push_back(f->LangSwitch1->SystemMenu()->Items()->Items(i)->Caption());
    return out;
  };
  DriveIdle({[] {
               InjectKeyDown(VK_MENU);
               InjectKey(VK_SPACE, ' ');
               InjectKeyUp(VK_MENU);
             },
             [&] {
               english = texts();
               InjectKey(VK_ESCAPE);
             },
             [&] {
               f->LangSwitch1->SelectLanguage("Deutsch", false);
               InjectKeyDown(VK_MENU);
               InjectKey(VK_SPACE, ' ');
               InjectKeyUp(VK_MENU);
             },
             [&] {
               german = texts();
               InjectKey(VK_UP);  // the last item: close
               InjectKey(VK_RETURN);
             },
             [&] { finished = true; }},
            [&] { finished = true; });
  while (!finished) Application()->HandleMessage();
  Application()->OnIdle = nullptr;
  EXPECT_EQ(english, (std::vector<std::string>{"&Restore", "&Move", "&Size", "Mi&nimize", "Ma&ximize", "-", "&Close"}));
  EXPECT_EQ(german,
            (std::vector<std::string>{"&Restore", "&Move", "&Size", "Mi&nimieren", "Ma&ximize", "-", "&Schlie\xDF" "en"}));
  EXPECT_TRUE(closed) << "the chosen command reached the form";
  f->LangSwitch1->SelectLanguage("English", false);
  EXPECT_EQ(f->LangSwitch1->SystemMenuText(SC_CLOSE), "&Close") << "the default texts come back";
}

}  // namespace
}  // namespace tw::multilang
