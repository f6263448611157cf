// The language editor opened on a window (Browse, as Ctrl+Alt+E does) and ended by the user:
// Cancel leaves the window's languages and texts as they were before it opened, and a language
// deleted while the windows show it takes every window back to the default language.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

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
    // The user answers Yes to the editor's questions.
    SetMessageBoxFunc([this](const std::string& text, const std::string& caption, unsigned) {
      boxes.push_back(caption + "|" + text);
      return caption == "Delete ?" ? IDYES : IDOK;
    });
  }
  // Runs Browse on `sw` with `steps` done in the editor; the last step ends it.
  void Browse(TLangSwitch* sw, std::vector<std::function<void(TLangEditorForm*)>> steps) {
    std::vector<std::function<void()>> run;
    for (auto& s : steps)
      run.push_back([s] {
        auto* ed = dynamic_cast<TLangEditorForm*>(Screen()->ActiveForm());
        ASSERT_NE(ed, nullptr) << "the editor is not shown";
        s(ed);
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
  static int Values(TLangSwitch* sw) {
    int n = 0;
    for (const auto& e : sw->Languages()) n += e->Kind == ekValue;
    return n;
  }
};

TEST_F(BrowseTest, CancelKeepsTheTextsAndLanguagesOfBeforeTheEditorOpened) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  f->Show();
  Pump();
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

}  // namespace
}  // namespace tw::multilang

namespace tw::multilang {
namespace {

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
  EXPECT_NE(boxes[0].find("'zwei' is an invalid value"), std::string::npos) << boxes[0];
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

}  // namespace
}  // namespace tw::multilang
