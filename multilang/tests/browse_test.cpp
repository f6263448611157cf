// The language editor opened on a window (Browse, as Ctrl+Alt+E does) and ended by the user:
// Cancel leaves the window's languages and texts as they were before it opened, and a language
// deleted while the windows show it takes every window back to the default language.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <memory>
#include <random>

#include "multilang/langeditor.h"
#include "multilang/tests/multilang_fixture.h"
#include "platform/forms/comctrls/grids.h"
#include "platform/rtl/formatsettings.h"

namespace tw::multilang {
namespace {

class BrowseTest : public LangSwitchTest {
 protected:
  void SetUp() override {
    LangSwitchTest::SetUp();
    // The user answers Yes to the editor's questions (in whatever language the desktop asks).
    SetMessageBoxFunc([this](const std::string& text, const std::string& caption, unsigned flags) {
      boxes.push_back(caption + "|" + text);
      return (flags & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    });
  }
  // Runs Browse on `sw` with `steps` done in the editor; the last step ends it.
  void Browse(TLangSwitch* sw, std::vector<std::function<void(TLangEditorForm*)>> steps) {
    std::vector<std::function<void()>> run;
    // The editor, as the step that found it active left it (a step may answer a box of its).
    auto editor = std::make_shared<TLangEditorForm*>(nullptr);
    for (auto& s : steps)
      run.push_back([s, editor] {
        if (auto* ed = dynamic_cast<TLangEditorForm*>(Screen()->ActiveForm())) *editor = ed;
        ASSERT_NE(*editor, nullptr) << "the editor is not shown";
        s(*editor);
      });
    DriveIdle(std::move(run), [] {
      ADD_FAILURE() << "the editor did not end";
      if (TCustomForm* f = Screen()->ActiveForm()) f->SetModalResult(mrCancel);
    });
    sw->Browse();
    Application()->OnIdle = nullptr;
  }
  static void Edit(TLangEditorForm* ed, const std::string& language, const std::string& key, const std::string& text) {
    ASSERT_TRUE(ed->ChooseLanguage(language));
    for (int i = 0; i < ed->PropertyCount(); ++i)
      if (ed->PropertyText(i) == key) ed->ChooseProperty(i);
    ASSERT_EQ(ed->PropertyText(ed->ChosenProperty()), key);
    ASSERT_TRUE(ed->StoreValue(text));
  }
  static std::vector<std::string> Names(TLangSwitch* sw) {
    std::vector<std::string> out;
    for (const auto& e : sw->Languages())
      if (e->Kind == ekLanguage) out.push_back(e->Text);
    return out;
  }
  // The sample file's main window, shown.
  TTestMainForm* ShownMain() {
    WriteSample();
    TTestMainForm* f = MakeMain();
    f->Show();
    Pump();
    return f;
  }
  static int Values(TLangSwitch* sw) {
    int n = 0;
    for (const auto& e : sw->Languages()) n += e->Kind == ekValue;
    return n;
  }
};

TEST_F(BrowseTest, CancelKeepsTheTextsAndLanguagesOfBeforeTheEditorOpened) {
  TTestMainForm* f = ShownMain();
  TLangSwitch* sw = f->LangSwitch1;
  sw->SelectLanguage("Deutsch", false);
  const std::string before = ReadFileBytes(file);
  const int values = Values(sw);
  Browse(sw, {[&](TLangEditorForm* ed) {
                Edit(ed, "Deutsch", "Label1.Caption", "Servus");
                Edit(ed, "Svenska", "Button1.Caption", "&Avbryt");
                ASSERT_TRUE(ed->ChooseLanguage("Svenska"));
                ed->LangDeleteBtn->Click();
                ASSERT_EQ(ed->LanguageListBox->Items()->IndexOf("Svenska"), -1);
              },
              [](TLangEditorForm* ed) { ed->CancelBtn->Click(); }});
  EXPECT_EQ(ReadFileBytes(file), before) << "Cancel writes nothing";
  EXPECT_EQ(Names(sw), (std::vector<std::string>{"English", "Deutsch", "Svenska"}));
  EXPECT_EQ(Values(sw), values);
  EXPECT_EQ(sw->CurrentLanguage(), "Deutsch");
  EXPECT_EQ(f->Label1->Caption(), "Hallo") << "the text edited and cancelled is not shown";
  sw->SelectLanguage("Svenska", false);
  EXPECT_EQ(f->Label1->Caption(), "Hej");
  EXPECT_EQ(f->Button1->Caption(), "&Cancel");
  sw->SelectLanguage("English", false);
  EXPECT_EQ(f->Label1->Caption(), "Hello");

  // The same steps ended with OK keep what was done.
  sw->SelectLanguage("Deutsch", false);
  Browse(sw, {[&](TLangEditorForm* ed) { Edit(ed, "Deutsch", "Label1.Caption", "Servus"); },
              [](TLangEditorForm* ed) { ed->OKBtn->Click(); }});
  EXPECT_EQ(f->Label1->Caption(), "Servus");
  EXPECT_NE(ReadFileBytes(file), before);
}

TEST_F(BrowseTest, CancelOnAWindowWithoutLanguageFileKeepsItsTexts) {
  auto* f = new TTestMainForm(Application());
  TLangSwitch* sw = f->LangSwitch1;
  int de = sw->AddLanguage("Deutsch");
  sw->AddValue(de, "Label1", "Caption", -1, "Hallo");
  sw->Loaded();
  f->Show();
  Pump();
  ASSERT_TRUE(sw->SelectLanguage("Deutsch", false));
  Browse(sw, {[&](TLangEditorForm* ed) { Edit(ed, "Deutsch", "Label1.Caption", "Servus"); },
              [](TLangEditorForm* ed) { ed->CancelBtn->Click(); }});
  EXPECT_EQ(f->Label1->Caption(), "Hallo");
  sw->SelectLanguage("English", false);
  sw->SelectLanguage("Deutsch", false);
  EXPECT_EQ(f->Label1->Caption(), "Hallo");
}

TEST_F(BrowseTest, DeletingTheLanguageShownTakesEveryWindowToTheDefaultLanguage) {
  WriteSample();
  // Written a while ago: the editor's save comes later than the windows read the file (file
  // dates count in steps of two seconds).
  {
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    utimbuf t{st.st_atime - 10, st.st_mtime - 10};
    ASSERT_EQ(utime(file.c_str(), &t), 0);
  }
  TTestMainForm* f = MakeMain();
  auto* other = new TTestOtherForm(Application());
  other->LangSwitch1->SetLanguageFile(file);
  other->LangSwitch1->Loaded();
  f->Show();
  Pump();
  f->LangSwitch1->SelectLanguage("Deutsch", true);
  Pump();
  ASSERT_EQ(other->OKBtn->Caption(), "Gut");
  Browse(f->LangSwitch1, {[](TLangEditorForm* ed) {
                            ASSERT_TRUE(ed->ChooseLanguage("Deutsch"));
                            ed->LangDeleteBtn->Click();
                            ASSERT_EQ(ed->LanguageListBox->Items()->IndexOf("Deutsch"), -1);
                          },
                          [](TLangEditorForm* ed) { ed->OKBtn->Click(); }});
  Pump();
  EXPECT_EQ(f->LangSwitch1->CurrentLanguage(), "English");
  EXPECT_EQ(f->Label1->Caption(), "Hello");
  EXPECT_EQ(other->LangSwitch1->CurrentLanguage(), "English") << "the other window follows";
  EXPECT_EQ(other->OKBtn->Caption(), "OK");
  EXPECT_EQ(Names(other->LangSwitch1), (std::vector<std::string>{"English", "Svenska"}));
}


// Work on another window's section (a language deleted, a value of the other window changed)
// ended with Cancel writes nothing, whether the other window is still shown or the editor went
// back to this one first; the same work ended with OK is written whole.
TEST_F(BrowseTest, CancelAfterWorkOnAnotherWindowsSectionWritesNothing) {
  TTestMainForm* f = ShownMain();
  TLangSwitch* sw = f->LangSwitch1;
  const std::string before = ReadFileBytes(file);
  auto chooseForm = [](TLangEditorForm* ed, int index) {
    ed->FormList->SetFocus();
    InjectKey(index > ed->FormList->ItemIndex() ? VK_DOWN : VK_UP);
  };
  for (const char* end : {"Cancel on the other window", "Cancel back on this window", "OK"}) {
    SCOPED_TRACE(end);
    const bool ok = std::string(end) == "OK";
    const bool back = std::string(end) != "Cancel on the other window";
    Browse(sw, {[](TLangEditorForm* ed) {
                  ASSERT_TRUE(ed->ChooseLanguage("Svenska"));
                  ed->LangDeleteBtn->Click();
                },
                [&](TLangEditorForm* ed) { chooseForm(ed, 1); },
                [](TLangEditorForm* ed) {
                  ASSERT_NE(ed->Working(), ed->Edited());
                  Edit(ed, "Deutsch", "OKBtn.Caption", "Prima");
                },
                [&](TLangEditorForm* ed) {
                  if (back) chooseForm(ed, 0);
                },
                [&](TLangEditorForm* ed) { (ok ? ed->OKBtn : ed->CancelBtn)->Click(); }});
    if (ok) break;
    EXPECT_EQ(ReadFileBytes(file), before) << "Cancel writes nothing";
    EXPECT_EQ(Names(sw), (std::vector<std::string>{"English", "Deutsch", "Svenska"}));
    sw->SelectLanguage("Svenska", false);
    EXPECT_EQ(f->Label1->Caption(), "Hej");
    sw->SelectLanguage("English", false);
  }
  TLanFile after = ParseLanFile(ReadFileBytes(file));
  std::vector<std::string> names;
  for (const auto& l : after.Languages.Languages) names.push_back(l.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"English", "Deutsch"}));
  const TLanSection* other = after.Find("TTestOtherFormLangSwitch1");
  ASSERT_NE(other, nullptr);
  auto values = ParseFormBody(other->Body);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].Text, "Prima");
  EXPECT_EQ(Names(sw), (std::vector<std::string>{"English", "Deutsch"}));
}


// The value editor refuses a text that its property cannot take: a number of the format
// settings (the language component's own pseudo-properties) as well as a published property.
TEST_F(BrowseTest, TheValueEditorRefusesAFormatNumberThatIsNoNumber) {
  ScopedFormatSettings keep;
  TLanFile f = Sample();
  f.Sections[0].Body = BuildFormBody({V(1, "Hallo", "Label1", "Caption"), V(1, "2", "LangSwitch1", "CurrencyDecimals"),
                                      V(1, ",", "LangSwitch1", "DecimalSeparator"),
                                      V(1, "1", "LangSwitch1", "UpdateWindowsINI")});
  AtomicWriteFile(file, BuildLanFile(f));
  TTestMainForm* form = MakeMain();
  TLangSwitch* sw = form->LangSwitch1;
  const TFormatSettings before = FormatSettings();
  auto* ed = new TLangEditorForm(Application());
  ed->SetEdited(sw, nullptr);
  auto choose = [&](const std::string& key) {
    for (int i = 0; i < ed->PropertyCount(); ++i)
      if (ed->PropertyText(i) == key) ed->ChooseProperty(i);
    ASSERT_EQ(ed->PropertyText(ed->ChosenProperty()), key);
  };
  ASSERT_TRUE(ed->ChooseLanguage("Deutsch"));
  choose("LangSwitch1.CurrencyDecimals");
  boxes.clear();
  EXPECT_FALSE(ed->StoreValue("zwei"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("'zwei'"), std::string::npos) << "the refusal names the text: " << boxes[0];
  EXPECT_TRUE(ed->StoreValue("3"));
  EXPECT_EQ(ed->GridValues->Cells(1, 1), "3");
  choose("LangSwitch1.DecimalSeparator");
  EXPECT_TRUE(ed->StoreValue(";"));
  choose("LangSwitch1.UpdateWindowsINI");
  EXPECT_TRUE(ed->StoreValue("yes"));
  EXPECT_FALSE(sw->UpdateWindowsIni()) << "trying a text does not switch on the WIN.INI update";
  delete ed;
  EXPECT_EQ(FormatSettings().CurrencyDecimals, before.CurrencyDecimals) << "the form keeps its own settings";
  EXPECT_EQ(FormatSettings().DecimalSeparator, before.DecimalSeparator);
  EXPECT_TRUE(sw->SelectLanguage("Deutsch", false)) << "every value of the language can be applied";
  EXPECT_EQ(FormatSettings().CurrencyDecimals, 3);
  EXPECT_EQ(FormatSettings().DecimalSeparator, ';');
}


// Random editor sessions ended with OK or Cancel: languages added and deleted, texts stored in
// the edited form and in another form of the file.  After every session the window holds what
// the language file holds (a new window reading the file gets the same languages and texts),
// and a cancelled session leaves the file as it was.
TEST_F(BrowseTest, AfterEverySessionTheWindowHoldsWhatTheFileHolds) {
  TTestMainForm* f = ShownMain();
  TLangSwitch* sw = f->LangSwitch1;
  auto state = [](TLangSwitch* s) {
    std::vector<std::string> out;
    for (const auto& e : s->Languages())
      if (e->Kind == ekLanguage) out.push_back("L " + std::to_string(e->ID) + " " + e->Text);
      else if (e->Kind == ekValue && e->ID != 0)
        out.push_back("V " + std::to_string(e->ID) + " " + e->Component + "." + e->Property + "%" +
                      std::to_string(e->ValueID) + "=" + e->Text);
    std::sort(out.begin(), out.end());
    return out;
  };
  std::mt19937 rng(31);
  const std::vector<std::string> pool{"Norsk", "Suomi", "Dansk", "Eesti", "Latina"};
  int text = 0, oks = 0, cancels = 0;
  for (int session = 0; session < 24; ++session) {
    const std::string before = ReadFileBytes(file);
    const auto memory = state(sw);
    std::vector<std::function<void(TLangEditorForm*)>> steps;
    for (int n = 0; n < 6; ++n) {
      switch (rng() % 4) {
        case 0: {  // a text stored in a language of the form shown
          const unsigned pick = rng(), row = rng();
          steps.push_back([pick, row, &text](TLangEditorForm* ed) {
            const int count = ed->LanguageListBox->Items()->Count();
            if (count < 2 || ed->PropertyCount() == 0) return;
            ed->LanguageListBox->SetItemIndex(1 + static_cast<int>(row % static_cast<unsigned>(count - 1)));
            FireEvent(ed->LanguageListBox->OnChange, ed->LanguageListBox);
            ed->ChooseProperty(static_cast<int>(pick % static_cast<unsigned>(ed->PropertyCount())));
            const std::string key = ed->PropertyText(ed->ChosenProperty());
            if (key.find("Items") != std::string::npos || key.find('#') != std::string::npos) return;
            ASSERT_TRUE(ed->StoreValue("t" + std::to_string(++text))) << key;
          });
          break;
        }
        case 1: {  // a language deleted
          const unsigned row = rng();
          steps.push_back([row](TLangEditorForm* ed) {
            const int count = ed->LanguageListBox->Items()->Count();
            if (count < 3) return;
            ed->LanguageListBox->SetItemIndex(1 + static_cast<int>(row % static_cast<unsigned>(count - 1)));
            FireEvent(ed->LanguageListBox->OnChange, ed->LanguageListBox);
            ed->LangDeleteBtn->Click();
          });
          break;
        }
        case 2: {  // a language added: the name is asked in a box of its own
          const std::string name = pool[rng() % pool.size()];
          steps.push_back([](TLangEditorForm* ed) {
            InjectClick(ed->LangAddBtn->Handle(), ed->LangAddBtn->Width() / 2, ed->LangAddBtn->Height() / 2);
          });
          steps.push_back([name](TLangEditorForm*) {
            InjectText(name);
            InjectKey(VK_RETURN);
          });
          break;
        }
        default: {  // the other form of the file, a text there, and back
          steps.push_back([&text](TLangEditorForm* ed) {
            ed->ChooseForm(1);
            ASSERT_NE(ed->Working(), ed->Edited());
            if (ed->LanguageListBox->Items()->Count() < 2 || ed->PropertyCount() == 0) return;
            ed->LanguageListBox->SetItemIndex(ed->LanguageListBox->Items()->Count() - 1);
            FireEvent(ed->LanguageListBox->OnChange, ed->LanguageListBox);
            ed->ChooseProperty(0);
            ASSERT_TRUE(ed->StoreValue("o" + std::to_string(++text)));
            if (text % 2 == 0) ed->ChooseForm(0);
          });
          break;
        }
      }
    }
    const bool ok = rng() % 2 == 0;
    (ok ? oks : cancels)++;
    steps.push_back([ok](TLangEditorForm* ed) { (ok ? ed->OKBtn : ed->CancelBtn)->Click(); });
    Browse(sw, steps);
    Pump();
    const std::string what = "session " + std::to_string(session) + (ok ? " (OK)" : " (Cancel)");
    if (!ok) {
      EXPECT_EQ(ReadFileBytes(file), before) << what;
      EXPECT_EQ(state(sw), memory) << what;
    }
    auto* reader = new TTestMainForm(Application());
    reader->SetName("Reader" + std::to_string(session));
    reader->LangSwitch1->SetLanguageFile(file);
    reader->LangSwitch1->Loaded();
    ASSERT_EQ(state(sw), state(reader->LangSwitch1)) << what;
    delete reader;
  }
  EXPECT_GT(oks, 5);
  EXPECT_GT(cancels, 5);
}

}  // namespace
}  // namespace tw::multilang
