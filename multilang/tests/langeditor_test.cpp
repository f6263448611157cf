// The language editor driven like a user on the offscreen display: buttons clicked with the
// mouse, names typed into the input boxes, message boxes answered by their accelerators, and
// files chosen in the open dialog by typing their names.
#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <map>
#include <random>
#include <tuple>

#include "multilang/addprop.h"
#include "multilang/copyfrom.h"
#include "multilang/iconfile.h"
#include "multilang/langeditor.h"
#include "multilang/mbuttons.h"
#include "multilang/mcombobox.h"
#include "multilang/tests/multilang_fixture.h"
#include "platform/classes/inifiles.h"
#include "platform/forms/comctrls/grids.h"
#include "platform/forms/comctrls/outline.h"
#include "platform/forms/comctrls/listbox.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/win/display.h"

namespace tw::multilang {
namespace {

// Every caption in a window (message text, button texts), joined by "|".
std::string Texts(TWinControl* w) {
  std::string out = w->Caption();
  for (int i = 0; i < w->ControlCount(); ++i) {
    TControl* c = w->Controls(i);
    if (auto* wc = dynamic_cast<TWinControl*>(c); wc != nullptr && wc->ControlCount() > 0)
      out += "|" + Texts(wc);
    else
      out += "|" + c->Caption();
  }
  return out;
}

template <typename T>
T* Find(TWinControl* w) {
  for (int i = 0; i < w->ControlCount(); ++i) {
    if (auto* t = dynamic_cast<T*>(w->Controls(i))) return t;
    if (auto* wc = dynamic_cast<TWinControl*>(w->Controls(i)))
      if (T* t = Find<T>(wc)) return t;
  }
  return nullptr;
}

class LangEditorTest : public LangSwitchTest {
 protected:
  void SetUp() override {
    LangSwitchTest::SetUp();
    InstallDialogs();
    WriteSample();
    form = MakeMain();
    editor = new TLangEditorForm(Application());
    editor->SetEdited(form->LangSwitch1, nullptr);
  }
  void TearDown() override {
    Application()->OnIdle = nullptr;
    LangSwitchTest::TearDown();
  }

  static void ClickOn(TWinControl* c) { InjectClick(c->Handle(), c->Width() / 2, c->Height() / 2); }
  void DoubleClickCell(int col, int row) const {
    TRect cell = editor->GridValues->CellRect(col, row);
    InjectDoubleClick(editor->GridValues->Handle(), cell.Left + 5, cell.Top + 3);
  }
  // The window the user sees now (a message box, an input box, a dialog or the editor).
  static TCustomForm* Top() { return Screen()->ActiveForm(); }
  // Types a name into the file-name field of the open dialog and presses Enter.
  static void ChooseFile(const std::string& name) {
    TEdit* edit = Find<TEdit>(Top());
    ASSERT_NE(edit, nullptr) << "no dialog with a file-name field";
    edit->SetText(name);
    edit->SetFocus();
    InjectKey(VK_RETURN);
  }
  // Runs the editor modally through the steps; the last step should end it.
  TModalResult Run(std::vector<std::function<void()>> steps) {
    DriveIdle(std::move(steps), [] {
      ADD_FAILURE() << "the editor did not end";
      if (TCustomForm* f = Top()) f->SetModalResult(mrCancel);
    });
    TModalResult r = editor->ShowModal();
    Application()->OnIdle = nullptr;
    return r;
  }
  std::vector<std::string> Languages() const {
    std::vector<std::string> out;
    for (int i = 0; i < editor->LanguageListBox->Items()->Count(); ++i)
      out.push_back(editor->LanguageListBox->Items()->Strings(i));
    return out;
  }

  TTestMainForm* form = nullptr;
  TLangEditorForm* editor = nullptr;
};

TEST_F(LangEditorTest, LanguagesAreAddedRenamedAndDeletedWithTheirValues) {
  std::string deletePrompt, refusal, duplicate;
  int svenska = form->LangSwitch1->LanguageID("Svenska");
  Run({[&] { ClickOn(editor->LangAddBtn); },
       [&] {
         InjectText("Suomi");
         InjectKey(VK_RETURN);
       },
       [&] {
         EXPECT_EQ(editor->LanguageListBox->Items()->Strings(editor->LanguageListBox->ItemIndex()), "Suomi")
             << "the new language is chosen";
         ClickOn(editor->LangAddBtn);
       },
       [&] {
         InjectText("Deutsch");
         InjectKey(VK_RETURN);
       },
       [&] {
         duplicate = Texts(Top());
         InjectKey(VK_RETURN);
       },
       [&] { ClickOn(editor->LangRenameBtn); },
       [&] {
         TEdit* edit = Find<TEdit>(Top());
         ASSERT_NE(edit, nullptr);
         EXPECT_EQ(edit->GetText(), "Suomi") << "the box starts with the old name";
         edit->SetText("Finnish");
         InjectKey(VK_RETURN);
       },
       [&] {
         ASSERT_TRUE(editor->ChooseLanguage("Svenska"));
         ClickOn(editor->LangDeleteBtn);
       },
       [&] {
         deletePrompt = Texts(Top());
         InjectKey('Y');
       },
       [&] {
         ASSERT_TRUE(editor->ChooseLanguage("English"));
         ClickOn(editor->LangDeleteBtn);
       },
       [&] { InjectKey('Y'); },
       [&] {
         refusal = Texts(Top());
         InjectKey(VK_RETURN);
       },
       [&] { ClickOn(editor->OKBtn); }});
  EXPECT_NE(duplicate.find("Couldn't add Deutsch"), std::string::npos) << duplicate;
  EXPECT_EQ(Languages(), (std::vector<std::string>{"English", "Deutsch", "Finnish"}));
  EXPECT_NE(deletePrompt.find("Delete ?"), std::string::npos);
  EXPECT_NE(deletePrompt.find("Are you sure you want to delete Svenska\r\n"
                              "You will also permanently delete all attached properties"),
            std::string::npos)
      << deletePrompt;
  EXPECT_NE(deletePrompt.find("&Yes"), std::string::npos);
  EXPECT_NE(refusal.find("Couldn't delete English"), std::string::npos) << "the default language stays";
  for (const auto& e : form->LangSwitch1->Languages()) EXPECT_NE(e->ID, svenska) << "Svenska's values are gone";
  TIniFile settings(TLangEditorForm::SettingsFileName());
  EXPECT_EQ(settings.ReadInteger("Default", "LastLanguageID", -1), 0);
}

TEST_F(LangEditorTest, SaveAndLoadGoThroughTheOpenDialog) {
  std::string copy = (dir / "COPY.LAN").string();
  std::string success;
  Run({[&] { ClickOn(editor->SaveBtn); },
       [&] {
         EXPECT_EQ(Top()->Caption(), "Select a language file");
         ChooseFile(copy);
       },
       [&] {
         success = Texts(Top());
         InjectKey(VK_RETURN);
       },
       [&] {
         // Change a value, then load the copy again: the saved text comes back.
         ASSERT_TRUE(editor->ChooseLanguage("Deutsch"));
         for (int i = 0; i < editor->PropertyCount(); ++i)
           if (editor->PropertyText(i) == "Label1.Caption") editor->ChooseProperty(i);
         ASSERT_TRUE(editor->StoreValue("Moin"));
         ClickOn(editor->LoadBtn);
       },
       [&] { ChooseFile(copy); },
       [&] {
         EXPECT_EQ(editor->GridValues->Cells(1, 1), "") << "the load chose nothing";
         ClickOn(editor->CancelBtn);
       }});
  EXPECT_NE(success.find("was successfully saved in file " + copy + " as heading TTestMainFormLangSwitch1"),
            std::string::npos)
      << success;
  TLanFile saved = ParseLanFile(ReadFileBytes(copy));
  ASSERT_NE(saved.Find("TTestMainFormLangSwitch1"), nullptr);
  bool hallo = false;
  for (const auto& v : ParseFormBody(saved.Find("TTestMainFormLangSwitch1")->Body))
    hallo |= v.Component == "Label1" && v.ID == 1 && v.Text == "Hallo";
  EXPECT_TRUE(hallo);
  form->LangSwitch1->SelectLanguage("Deutsch", false);
  EXPECT_EQ(form->Label1->Caption(), "Hallo") << "the loaded file replaced the edited text";
}

TEST_F(LangEditorTest, SavingOverAFileThatIsNoLanguageFileAsksFirst) {
  std::string other = (dir / "NOTES.LAN").string();
  AtomicWriteFile(other, "my notes");
  std::string question;
  Run({[&] { ClickOn(editor->SaveBtn); },
       [&] { ChooseFile(other); },
       [&] {
         question = Texts(Top());
         InjectKey('N');
       },
       [&] { ClickOn(editor->CancelBtn); }});
  EXPECT_NE(question.find(other + " is not a language file, do you want to overwrite it ?"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(other), "my notes");
}

TEST_F(LangEditorTest, AnIconFileGivesTheLanguageItsFlagAndClearRemovesIt) {
  std::string ico = (dir / "flag.ico").string();
  std::string big = (dir / "big.ico").string();
  AtomicWriteFile(ico, SmallIconFile());
  AtomicWriteFile(big, SmallIconFile(1000));
  std::string tooLarge;
  bool clearEnabled = false;
  Run({[&] {
         ASSERT_TRUE(editor->ChooseLanguage("Deutsch"));
         EXPECT_FALSE(editor->LangImageClear->Enabled());
         ClickOn(editor->LangImageBrowse);
       },
       [&] {
         EXPECT_EQ(Top()->Caption(), "Select a file with an icon for Deutsch");
         ChooseFile(ico);
       },
       [&] {
         clearEnabled = editor->LangImageClear->Enabled();
         EXPECT_NE(editor->LanguageListBox->GetItemIcon(1), nullptr);
         ClickOn(editor->LangImageBrowse);
       },
       [&] { ChooseFile(big); },
       [&] {
         tooLarge = Texts(Top());
         InjectKey(VK_RETURN);
       },
       [&] { ClickOn(editor->OKBtn); }});
  EXPECT_TRUE(clearEnabled);
  EXPECT_NE(tooLarge.find("larger than a language file can hold"), std::string::npos);
  EXPECT_EQ(form->LangSwitch1->Languages()[1]->Icon, FirstIconImage(SmallIconFile()))
      << "the larger icon did not replace the first";
  form->LangSwitch1->SaveLanguageFile();
  TLanFile saved = ParseLanFile(ReadFileBytes(file));
  ASSERT_EQ(saved.Languages.Languages.size(), 3u);
  EXPECT_EQ(saved.Languages.Languages[1].Icon.substr(0, FirstIconImage(SmallIconFile()).size()),
            FirstIconImage(SmallIconFile()));

  auto* again = new TLangEditorForm(Application());
  again->SetEdited(form->LangSwitch1, nullptr);
  editor = again;
  Run({[&] {
         ASSERT_TRUE(editor->ChooseLanguage("Deutsch"));
         ClickOn(editor->LangImageClear);
       },
       [&] { ClickOn(editor->OKBtn); }});
  EXPECT_TRUE(form->LangSwitch1->Languages()[1]->Icon.empty());
}

TEST_F(LangEditorTest, AnotherFormsSectionIsEditedSavedAndRemoved) {
  std::string removePrompt;
  Run({[&] {
         // As it opens: the grid shows its first row and the language column, and only scrolls
         // up and down.
         EXPECT_EQ(editor->GridValues->TopRow(), 0);
         EXPECT_EQ(editor->GridValues->LeftCol(), 0);
         EXPECT_EQ(GetWindowLong(editor->GridValues->Handle(), GWL_STYLE) & WS_HSCROLL, 0);
         ASSERT_EQ(editor->FormList->Items()->Count(), 2);
         EXPECT_EQ(editor->FormList->Items()->Strings(1), "TTestOtherFormLangSwitch1");
         editor->FormList->SetFocus();
         InjectKey(VK_DOWN);
       },
       [&] {
         ASSERT_NE(editor->Working(), form->LangSwitch1);
         ASSERT_EQ(editor->PropertyCount(), 1);
         EXPECT_EQ(editor->PropertyText(0), "OKBtn.Caption");
         editor->ChooseProperty(0);
         ASSERT_TRUE(editor->ChooseLanguage("Deutsch"));
         EXPECT_EQ(editor->GridValues->Cells(1, 1), "Gut");
         EXPECT_EQ(editor->GridValues->LeftCol(), 0) << "the language column shows";
         EXPECT_FALSE(IsRectEmpty(editor->GridValues->CellRect(0, 1)));
         EXPECT_LE(editor->GridValues->CellRect(1, 1).Right, editor->GridValues->ClientWidth()) << "and the whole value";
         DoubleClickCell(1, 1);
       },
       [&] {
         ASSERT_TRUE(editor->EditDropDown->Visible());
         editor->EditDropDown->SetText("Prima");
         InjectKey(VK_RETURN);
       },
       [&] {
         EXPECT_FALSE(editor->EditDropDown->Visible());
         EXPECT_EQ(editor->GridValues->Cells(1, 1), "Prima");
         EXPECT_FALSE(editor->PropAddBtn->Enabled()) << "the browser offers only the edited form's properties";
         // Copying into Svenska resolves nothing against this window: the values stay values.
         CopyLanguageValues(*editor->Working(), 1, 2, false, TCopySource::csSelected);
         editor->FormList->SetFocus();
         InjectKey(VK_UP);  // back to the edited form: the other section waits for OK
       },
       [&] {
         TLanFile now = ParseLanFile(ReadFileBytes(file));
         const TLanSection* s = now.Find("TTestOtherFormLangSwitch1");
         ASSERT_NE(s, nullptr);
         auto values = ParseFormBody(s->Body);
         ASSERT_EQ(values.size(), 1u) << "nothing is written before OK";
         EXPECT_EQ(values[0].Text, "Gut");
         EXPECT_EQ(editor->Working(), form->LangSwitch1);
         editor->FormList->SetFocus();
         InjectKey(VK_DOWN);
       },
       [&] { ClickOn(editor->FormDeleteBtn); },
       [&] {
         removePrompt = Texts(Top());
         InjectKey('Y');
       },
       [&] {
         EXPECT_EQ(editor->FormList->Items()->Count(), 1);
         ClickOn(editor->CancelBtn);
       }});
  EXPECT_NE(removePrompt.find("Are you sure you want to remove TTestOtherFormLangSwitch1"), std::string::npos);
  TLanFile after = ParseLanFile(ReadFileBytes(file));
  EXPECT_EQ(after.Find("TTestOtherFormLangSwitch1"), nullptr);
  EXPECT_NE(after.Find("TTestMainFormLangSwitch1"), nullptr);
}

TEST_F(LangEditorTest, ALanguageAddedWhileAnotherFormIsShownKeepsItsTextsThroughOk) {
  int suomi = -1;
  Run({[&] {
         editor->FormList->SetFocus();
         InjectKey(VK_DOWN);
       },
       [&] {
         ASSERT_NE(editor->Working(), form->LangSwitch1);
         ClickOn(editor->LangAddBtn);
       },
       [&] {
         InjectText("Suomi");
         InjectKey(VK_RETURN);
       },
       [&] {
         suomi = editor->Working()->LanguageID("Suomi");
         ASSERT_GT(suomi, 2);
         editor->ChooseProperty(0);
         ASSERT_TRUE(editor->ChooseLanguage("Suomi"));
         DoubleClickCell(1, 3);
       },
       [&] {
         ASSERT_TRUE(editor->EditDropDown->Visible());
         editor->EditDropDown->SetText("Hyv\xE4");
         InjectKey(VK_RETURN);
       },
       [&] { ClickOn(editor->OKBtn); }});
  // What Browse does after OK: the edited form's file is written.
  ASSERT_TRUE(form->LangSwitch1->SaveLanguageFile());
  TLanFile after = ParseLanFile(ReadFileBytes(file));
  std::vector<std::string> names;
  for (const auto& l : after.Languages.Languages) names.push_back(std::to_string(l.ID) + " " + l.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"0 English", "1 Deutsch", "2 Svenska", std::to_string(suomi) + " Suomi"}));
  const TLanSection* other = after.Find("TTestOtherFormLangSwitch1");
  ASSERT_NE(other, nullptr);
  std::vector<std::string> texts;
  for (const auto& v : ParseFormBody(other->Body)) texts.push_back(std::to_string(v.ID) + " " + v.Text);
  EXPECT_EQ(texts, (std::vector<std::string>{"1 Gut", std::to_string(suomi) + " Hyv\xE4"}));
  EXPECT_EQ(form->LangSwitch1->LanguageID("Suomi"), suomi) << "the edited form offers the language too";
}

// What the user did to the language file, as a list of language names in order and the texts
// of every section by key and language name.  Default-language texts are the forms' own and
// never change.
struct LanguageModel {
  std::vector<std::string> Languages;
  std::map<std::tuple<std::string, std::string, std::string>, std::string> Texts;  // section, key, language
  std::map<std::pair<std::string, std::string>, std::string> Defaults;            // section, key

  static std::string Key(const TLanValue& v) {
    return v.Component + "." + v.Property + (v.ValueID != -1 ? "%" + std::to_string(v.ValueID) : std::string());
  }
  // The file as a model; a value whose language is not in the file is listed under "?<ID>".
  static LanguageModel Read(const std::string& file) {
    LanguageModel m;
    TLanFile lan = ParseLanFile(ReadFileBytes(file));
    std::map<int, std::string> names;
    for (const auto& l : lan.Languages.Languages) {
      m.Languages.push_back(l.Name);
      names[l.ID] = l.Name;
    }
    for (const auto& s : lan.Sections)
      for (const auto& v : ParseFormBody(s.Body)) {
        if (v.ID == 0) {
          m.Defaults[{s.Name, Key(v)}] = v.Text;
          continue;
        }
        std::string language = names.count(v.ID) != 0 ? names[v.ID] : "?" + std::to_string(v.ID);
        m.Texts[{s.Name, Key(v), language}] = v.Text;
      }
    return m;
  }
  std::string TextsAsLines() const {
    std::string out;
    for (const auto& [k, text] : Texts) out += std::get<0>(k) + " " + std::get<1>(k) + " " + std::get<2>(k) + " = " + text + "\n";
    return out;
  }
  void Rename(const std::string& from, const std::string& to) {
    std::replace(Languages.begin(), Languages.end(), from, to);
    decltype(Texts) renamed;
    for (auto& [k, text] : Texts)
      renamed[{std::get<0>(k), std::get<1>(k), std::get<2>(k) == from ? to : std::get<2>(k)}] = text;
    Texts = std::move(renamed);
  }
  void Delete(const std::string& name) {
    std::erase(Languages, name);
    std::erase_if(Texts, [&](const auto& t) { return std::get<2>(t.first) == name; });
  }
};

// Random sequences of adds, renames, deletes, stored texts and form changes, each done with the
// editor's buttons, lists, input boxes and message boxes, with OK at the end of every session:
// after each OK the language file holds exactly the languages and texts the user made.
TEST_F(LangEditorTest, RandomEditsThroughTheControlsKeepEveryLanguageAndTextOfTheFile) {
  delete editor;
  editor = nullptr;
  TLanFile start;
  start.HasLanguages = true;
  start.Languages.Stamp = "46000";
  start.Languages.Languages = {{0, 0, "English", ""}, {0, 1, "Deutsch", ""}, {0, 2, "Svenska", ""}};
  start.Sections.push_back({"TTestMainFormLangSwitch1",
                            BuildFormBody({V(0, "Hello", "Label1", "Caption"), V(1, "Hallo", "Label1", "Caption"),
                                           V(0, "&Cancel", "Button1", "Caption"), V(2, "&Avbryt", "Button1", "Caption"),
                                           V(0, "Main window", "TTestMainForm", "Caption"),
                                           V(1, "Hauptfenster", "TTestMainForm", "Caption"),
                                           V(0, "Hi", "LangSwitch1", "#Greeting"), V(1, "Tag", "LangSwitch1", "#Greeting")})});
  start.Sections.push_back({"TTestOtherFormLangSwitch1",
                            BuildFormBody({V(0, "OK", "OKBtn", "Caption"), V(1, "Gut", "OKBtn", "Caption"),
                                           V(0, "Name", "Label2", "Caption"), V(2, "Namn", "Label2", "Caption")})});
  start.Sections.push_back({"TThirdFormLangSwitch1",
                            BuildFormBody({V(0, "x", "Edit1", "Text"), V(2, "y", "Edit1", "Text")})});
  const std::vector<std::string> pool{"Norsk", "Suomi", "Svenska", "Deutsch", "Dansk", "Eesti", "English", "Latina"};
  constexpr int kSessions = 5, kActionsPerSession = 45;
  constexpr std::size_t kMostLanguages = 5;  // all of them fit the value grid's rows

  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    AtomicWriteFile(file, BuildLanFile(start));
    ASSERT_TRUE(form->LangSwitch1->LoadLanguageFile());
    LanguageModel model = LanguageModel::Read(file);
    std::mt19937 rnd(seed);
    auto pick = [&rnd](std::size_t n) { return static_cast<int>(rnd() % n); };
    int textNo = 0;
    std::array<int, 5> kinds{};  // adds, renames, deletes, stores, form changes tried
    for (int session = 0; session < kSessions; ++session) {
      TLangEditorForm* ed = nullptr;
      std::string section = "TTestMainFormLangSwitch1";
      int formIndex = 0, actions = 0, idle = 0;
      bool closing = false, stuck = false;
      std::deque<std::function<void()>> steps;
      // Selecting a language: the language list takes the keyboard.
      auto chooseLanguage = [&](int row) {
        steps.push_back([&, row] {
          ed->LanguageListBox->SetFocus();
          InjectKey(VK_HOME);
          for (int i = 0; i < row; ++i) InjectKey(VK_DOWN);
        });
        steps.push_back([&, row] { ASSERT_EQ(ed->LanguageListBox->ItemIndex(), row); });
      };
      auto answerBox = [&](const std::string& expected, UINT key) {
        steps.push_back([&, expected, key] {
          EXPECT_NE(Texts(Top()).find(expected), std::string::npos) << expected << " is not in " << Texts(Top());
          InjectKey(key);
        });
      };
      auto nextAction = [&] {
        int r = pick(100);
        ++kinds[r < 20 ? 0 : r < 35 ? 1 : r < 50 ? 2 : r < 85 ? 3 : 4];
        std::size_t count = model.Languages.size();
        if (r < 20) {  // add
          std::string name = pool[static_cast<std::size_t>(pick(pool.size()))];
          bool present = std::find(model.Languages.begin(), model.Languages.end(), name) != model.Languages.end();
          if (!present && count >= kMostLanguages) return;
          steps.push_back([&] { ClickOn(ed->LangAddBtn); });
          steps.push_back([&, name] {
            ASSERT_NE(Find<TEdit>(Top()), nullptr) << "the name is asked for";
            InjectText(name);
            InjectKey(VK_RETURN);
          });
          if (present) answerBox("Couldn't add " + name, VK_RETURN);
          else model.Languages.push_back(name);
        } else if (r < 35) {  // rename
          int row = pick(count);
          std::string old = model.Languages[static_cast<std::size_t>(row)];
          std::string name = pool[static_cast<std::size_t>(pick(pool.size()))];
          bool present = std::find(model.Languages.begin(), model.Languages.end(), name) != model.Languages.end();
          chooseLanguage(row);
          steps.push_back([&] { ClickOn(ed->LangRenameBtn); });
          steps.push_back([&, name] {
            TEdit* edit = Find<TEdit>(Top());
            ASSERT_NE(edit, nullptr);
            edit->SetText("");
            InjectText(name);
            InjectKey(VK_RETURN);
          });
          if (name == old) return;
          if (present) answerBox(name + " already exist", VK_RETURN);
          else model.Rename(old, name);
        } else if (r < 50) {  // delete
          int row = pick(count);
          std::string name = model.Languages[static_cast<std::size_t>(row)];
          chooseLanguage(row);
          steps.push_back([&] { ClickOn(ed->LangDeleteBtn); });
          answerBox("Are you sure you want to delete " + name, 'Y');
          if (row == 0) answerBox("Couldn't delete " + name, VK_RETURN);
          else model.Delete(name);
        } else if (r < 85) {  // store a text
          if (count < 2 || ed->PropertyCount() == 0) return;
          int key = pick(static_cast<std::size_t>(ed->PropertyCount()));
          int row = 1 + pick(count - 1);
          std::string text = "t" + std::to_string(++textNo);
          std::string keyText = ed->PropertyText(key);
          auto shownRow = [&, key] {
            int node = ed->PropList->GetDataItem(reinterpret_cast<void*>(static_cast<std::intptr_t>(key + 1)));
            for (int i = 0; i < ed->PropList->RowCount(); ++i)
              if (ed->PropList->RowItem(i) == node) return i;
            return -1;
          };
          steps.push_back([&, shownRow] {
            if (shownRow() < 0) ClickOn(ed->ExpandAllBtn);
          });
          steps.push_back([&, shownRow] {
            int shown = shownRow();
            ASSERT_GE(shown, 0);
            ed->PropList->SetFocus();
            InjectKey(VK_HOME);
            for (int i = 0; i < shown; ++i) InjectKey(VK_DOWN);
          });
          steps.push_back([&, key, row] {
            ASSERT_EQ(ed->ChosenProperty(), key);
            TRect cell = ed->GridValues->CellRect(1, row);
            ASSERT_GT(cell.Bottom, cell.Top) << "the language's row is shown";
            InjectDoubleClick(ed->GridValues->Handle(), cell.Left + 5, cell.Top + 3);
          });
          steps.push_back([&, text] {
            ASSERT_TRUE(ed->EditDropDown->Visible());
            ed->EditDropDown->SetText("");
            InjectText(text);
            InjectKey(VK_RETURN);
          });
          steps.push_back([&] { EXPECT_FALSE(ed->EditDropDown->Visible()); });
          model.Texts[{section, keyText, model.Languages[static_cast<std::size_t>(row)]}] = text;
        } else {  // another form
          int to = formIndex + (pick(2) == 0 ? 1 : -1);
          if (to < 0 || to > 2) return;
          formIndex = to;
          steps.push_back([&, to] {
            ed->FormList->SetFocus();
            InjectKey(to > ed->FormList->ItemIndex() ? VK_DOWN : VK_UP);
          });
          steps.push_back([&, to] { ASSERT_EQ(ed->FormList->ItemIndex(), to); });
          section = ed->FormList->Items()->Strings(to);
        }
      };
      Application()->OnIdle = [&](TObject*, bool& done) {
        done = false;
        if (stuck) return;
        if (::testing::Test::HasFailure()) {
          // The first difference ends the session: what follows would only repeat it.
          stuck = true;
          if (TCustomForm* f = Top(); f != nullptr && f != ed) f->SetModalResult(mrCancel);
          if (ed != nullptr) ed->SetModalResult(mrCancel);
          return;
        }
        if (++idle > 20000) {
          stuck = true;
          ADD_FAILURE() << "the editor did not end; the window shown is "
                        << (Top() != nullptr ? Top()->ClassName() : std::string("none"));
          if (TCustomForm* f = Top()) f->SetModalResult(mrCancel);
          if (ed != nullptr) ed->SetModalResult(mrCancel);
          return;
        }
        if (ed == nullptr) ed = dynamic_cast<TLangEditorForm*>(Top());
        if (ed == nullptr) return;
        if (steps.empty() && !closing) {
          if (actions < kActionsPerSession) {
            nextAction();
            if (!steps.empty()) ++actions;
          } else {
            closing = true;
            steps.push_back([&] { ClickOn(ed->OKBtn); });
          }
        }
        if (steps.empty()) return;
        auto step = std::move(steps.front());
        steps.pop_front();
        step();
      };
      form->LangSwitch1->Browse();
      Application()->OnIdle = nullptr;
      ASSERT_FALSE(stuck) << "session " << session;
      LanguageModel now = LanguageModel::Read(file);
      ASSERT_EQ(now.Languages, model.Languages) << "after session " << session;
      ASSERT_EQ(now.TextsAsLines(), model.TextsAsLines()) << "after session " << session;
      for (const auto& [k, text] : now.Defaults)
        EXPECT_EQ(model.Defaults[k], text) << k.first << " " << k.second << ": the forms' own texts stay";
      if (::testing::Test::HasFailure()) return;
    }
    for (int n : kinds) EXPECT_GE(n, 15) << "every kind of step is taken often";
  }
}

TEST_F(LangEditorTest, TheValueEditorWalksThePropertiesAndRefusesValuesThatDoNotFit) {
  form->LangSwitch1->AddValue(1, "Label1", "Color", -1, "clRed");
  form->LangSwitch1->ResolveEntries();
  form->LangSwitch1->CaptureDefaults();
  editor->SetEdited(form->LangSwitch1, nullptr);
  std::string invalid, first, afterPageDown, afterEscape;
  Run({[&] {
         ASSERT_TRUE(editor->ChooseLanguage("Deutsch"));
         editor->ChooseProperty(0);
         first = editor->PropertyText(editor->ChosenProperty());
         FireEvent(editor->GridValues->OnDblClick, editor->GridValues);
         InjectKey(VK_NEXT);
       },
       [&] {
         afterPageDown = editor->PropertyText(editor->ChosenProperty());
         editor->EditDropDown->SetText("changed");
         InjectKey(VK_ESCAPE);
       },
       [&] {
         afterEscape = editor->EditDropDown->GetText();
         int color = -1;
         for (int i = 0; i < editor->PropertyCount(); ++i)
           if (editor->PropertyText(i) == "Label1.Color") color = i;
         ASSERT_GE(color, 0);
         editor->ChooseProperty(color);
         FireEvent(editor->GridValues->OnDblClick, editor->GridValues);
         EXPECT_GE(editor->EditDropDown->Items()->IndexOf("clBtnFace"), 0) << "a colour offers the identifiers";
         editor->EditDropDown->SetText("purple-ish");
         InjectKey(VK_RETURN);
       },
       [&] {
         invalid = Texts(Top());
         InjectKey(VK_RETURN);
       },
       [&] {
         ClickOn(editor->EditDropDown);  // the user clicks back into the value
         editor->EditDropDown->SetText("clBlue");
         InjectKey(VK_RETURN);
       },
       [&] { ClickOn(editor->OKBtn); }});
  EXPECT_NE(first, afterPageDown) << "Page Down moves to the next property";
  EXPECT_EQ(afterEscape, "clRed") << "Esc restores the old text";
  EXPECT_NE(invalid.find("'purple-ish' is an invalid value"), std::string::npos) << invalid;
  form->LangSwitch1->SelectLanguage("Deutsch", false);
  EXPECT_EQ(form->Label1->Color(), clBlue);
}

TEST_F(LangEditorTest, LookupOffersTextsOfOtherFormsThatSoundAlike) {
  std::vector<std::string> offered;
  bool dropped = false;
  std::string remembered;
  Run({[&] {
         ASSERT_TRUE(editor->ChooseLanguage("Deutsch"));
         for (int i = 0; i < editor->PropertyCount(); ++i)
           if (editor->PropertyText(i) == "Label1.Caption") editor->ChooseProperty(i);
         editor->LookupText->SetChecked(true);
         FireEvent(editor->GridValues->OnDblClick, editor->GridValues);
         editor->EditDropDown->SetText("Gu");
         editor->EditDropDown->SelectAll();
         InjectKey(VK_END);
         InjectKey('D', 'd');
       },
       [&] {
         for (int i = 0; i < editor->EditDropDown->Items()->Count(); ++i)
           offered.push_back(editor->EditDropDown->Items()->Strings(i));
         dropped = editor->EditDropDown->DroppedDown();
         InjectKey(VK_ESCAPE);
       },
       [&] {
         // A click on the editor's own language chooser is remembered for the next time.
         editor->LangSwitch1->SetItemIndex(editor->LangSwitch1->Items()->IndexOf("Deutsch"));
         FireEvent(editor->LangSwitch1->OnChange, editor->LangSwitch1);
         ClickOn(editor->CancelBtn);
       }});
  EXPECT_EQ(offered, (std::vector<std::string>{"Gut"})) << "the other form's OK button sounds like it";
  EXPECT_TRUE(dropped);
  TIniFile settings(TLangEditorForm::SettingsFileName());
  EXPECT_EQ(settings.ReadString("Default", "Language", ""), "Deutsch");
  EXPECT_EQ(settings.ReadInteger("Default", "LastLookupState", 0), 1);
}

// Shown on another window's section, the editor's look-up and the copy dialog's source "other
// forms" reach the file's other sections (the edited window's among them) as they do on the
// edited window.
TEST_F(LangEditorTest, OnAnotherWindowsSectionTheLookupAndTheCopyDialogReachTheOtherForms) {
  std::vector<std::string> offered;
  bool external = false;
  Run({[&] {
         editor->FormList->SetFocus();
         InjectKey(VK_DOWN);
       },
       [&] {
         ASSERT_NE(editor->Working(), form->LangSwitch1);
         ASSERT_TRUE(editor->ChooseLanguage("Deutsch"));
         editor->ChooseProperty(0);
         ASSERT_EQ(editor->PropertyText(0), "OKBtn.Caption");
         editor->LookupText->SetChecked(true);
         FireEvent(editor->GridValues->OnDblClick, editor->GridValues);
         editor->EditDropDown->SetText("Hal");
         editor->EditDropDown->SelectAll();
         InjectKey(VK_END);
         InjectKey('L', 'l');
       },
       [&] {
         for (int i = 0; i < editor->EditDropDown->Items()->Count(); ++i)
           offered.push_back(editor->EditDropDown->Items()->Strings(i));
         InjectKey(VK_ESCAPE);
       },
       [&] { ClickOn(editor->CopyFromBtn); },
       [&] {
         auto* copy = dynamic_cast<TCopyFromForm*>(Top());
         ASSERT_NE(copy, nullptr) << "the copy dialog is not shown";
         external = copy->ExternalProp->Enabled();
         ClickOn(copy->CancelBtn);
       },
       [&] { ClickOn(editor->CancelBtn); }});
  EXPECT_EQ(offered, (std::vector<std::string>{"Hallo"})) << "the edited window's label sounds like it";
  EXPECT_TRUE(external) << "the copy dialog offers the other forms' values";
}

TEST_F(LangEditorTest, TheEditorsOwnTextsFollowItsLanguage) {
  {
    TIniFile ini(TLangEditorForm::SettingsFileName());
    ini.WriteString("Default", "Language", "Deutsch");
  }
  auto* german = new TLangEditorForm(Application());
  EXPECT_EQ(german->Caption(), "Spracheditor");
  EXPECT_EQ(german->LangAddBtn->Caption(), "&Neu");
  EXPECT_EQ(german->Text("LangAddBtn_Fail", {"X"}), "X konnte nicht hinzugef\xFCgt werden");
  EXPECT_EQ(german->Text("SaveBtn_Success", {"F", "S"}),
            "Die Sprachdaten dieses Fensters wurden in der Datei F unter der \xDC" "berschrift S gespeichert");
  german->LangSwitch1->SelectLanguage("English", false);
  EXPECT_EQ(german->LangAddBtn->Caption(), "&Add");
  EXPECT_EQ(german->Text("LangRenameBtn_Exist", {"Deutsch"}), "Deutsch already exist");
  delete german;
}

// In German the editor's file dialog has German labels and buttons and the font its component
// was given; the right-to-left box, which does nothing, cannot be ticked and says so.
TEST_F(LangEditorTest, TheEditorsFileDialogFollowsItsLanguageAndFont) {
  {
    TIniFile ini(TLangEditorForm::SettingsFileName());
    ini.WriteString("Default", "Language", "Deutsch");
  }
  delete editor;
  editor = new TLangEditorForm(Application());
  editor->SetEdited(form->LangSwitch1, nullptr);
  EXPECT_FALSE(editor->Directional->Enabled());
  EXPECT_EQ(editor->Directional->Hint(), "Ohne Wirkung: die Texte werden immer von links nach rechts angezeigt");
  editor->MOpenDialog1->Font()->SetName("Courier New");
  editor->MOpenDialog1->Font()->SetSize(11);
  std::string texts;
  std::vector<std::string> fonts;
  Run({[&] { ClickOn(editor->LoadBtn); },
       [&] {
         TCustomForm* dialog = Top();
         ASSERT_EQ(dialog, editor->MOpenDialog1->DialogForm());
         texts = Texts(dialog);
         for (int i = 0; i < dialog->ControlCount(); ++i)
           fonts.push_back(dialog->Controls(i)->Font()->Name() + " " + std::to_string(dialog->Controls(i)->Font()->Size()));
         InjectKey(VK_ESCAPE);
       },
       [&] { ClickOn(editor->CancelBtn); }});
  for (const char* german : {"Dateiname:", "Dateityp:", "Verzeichnis", "Laufwerke", "&OK", "&Abbrechen"})
    EXPECT_NE(texts.find(german), std::string::npos) << german << " in " << texts;
  for (const char* english : {"Filename", "File type", "Directory", "Drives", "Cancel"})
    EXPECT_EQ(texts.find(english), std::string::npos) << english << " in " << texts;
  ASSERT_FALSE(fonts.empty());
  for (const std::string& f : fonts) EXPECT_EQ(f, "Courier New 11");
}

// The editor windows come in the eight languages of their stored texts; each language shows
// its own words (the two "System" languages keep the English ones).
TEST_F(LangEditorTest, TheEditorWindowsComeInEightLanguages) {
  auto* editor2 = new TLangEditorForm(Application());
  TLangSwitch* sw = editor2->LangSwitch1;
  std::vector<std::string> offered;
  for (int i = 0; i < sw->Items()->Count(); ++i) offered.push_back(sw->Items()->Strings(i));
  EXPECT_EQ(offered, (std::vector<std::string>{"English", "Svenska", "Nederlands", "Bahasa Indonesia", "Dansk",
                                               "Deutsch", "System (DBCS)", "System (R->L)"}));
  struct Expected {
    const char* language;
    const char* caption;
    const char* add;
    const char* cancel;
    const char* fail;
  };
  const Expected expected[] = {
      {"Svenska", "Spr\xE5kredigerare", "&L\xE4gg till", "Avbryt", "Kunde inte l\xE4gga till X"},
      {"Nederlands", "Taaleditor", "&Toevoegen", "Annuleren", "X kon niet worden toegevoegd"},
      {"Bahasa Indonesia", "Penyunting Bahasa", "&Tambah", "Batal", "Tidak dapat menambah X"},
      {"Dansk", "Sprogeditor", "&Tilf\xF8j", "Annuller", "Kunne ikke tilf\xF8je X"},
      {"Deutsch", "Spracheditor", "&Neu", "Abbrechen", "X konnte nicht hinzugef\xFCgt werden"},
      {"System (R->L)", "Language Editor", "&Add", "Cancel", "Couldn't add X"},
  };
  for (const Expected& e : expected) {
    sw->SelectLanguage(e.language, false);
    EXPECT_EQ(editor2->Caption(), e.caption) << e.language;
    EXPECT_EQ(editor2->LangAddBtn->Caption(), e.add) << e.language;
    EXPECT_EQ(editor2->CancelBtn->Caption(), e.cancel) << e.language;
    EXPECT_EQ(editor2->Text("LangAddBtn_Fail", {"X"}), e.fail) << e.language;
  }
  delete editor2;
  // The property browser's and the copy dialog's own texts too.
  TIniFile(TLangEditorForm::SettingsFileName()).WriteString("Default", "Language", "Dansk");
  auto* browser = new TAddPropertiesForm(Application());
  EXPECT_EQ(browser->IncludeBtn->Caption(), ">> &INDS\xC6T >>");
  EXPECT_EQ(browser->LangSwitch1->GetString("NewString_Name"), "Identifikator");
  delete browser;
}

// Dark pixels (text) painted inside a control's place on its parent's window: a caption the user
// can read leaves some there.
int TextPixels(TControl* c) {
  TWinControl* parent = c->Parent();
  const TRect r = c->BoundsRect();
  int dark = 0;
  for (int y = r.Top; y < r.Bottom && y < r.Top + 16; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      const std::uint32_t p = test::PixelRGB(parent->Handle(), x, y);
      if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 90) ++dark;
    }
  return dark;
}

// Each control shows on the window, wholly inside its parent, beside the others without
// covering them; its caption is painted where it stands.
void ExpectLaidOut(TCustomForm* window, const std::vector<TControl*>& controls) {
  for (TControl* c : controls) {
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->Visible()) << c->Name();
    const TRect inner = c->Parent()->ClientRect();
    const TRect r = c->BoundsRect();
    EXPECT_TRUE(r.Left >= inner.Left && r.Top >= inner.Top && r.Right <= inner.Right && r.Bottom <= inner.Bottom)
        << c->Name() << " lies outside " << c->Parent()->Name();
    // The caption fits: a button's between its edges, a check or radio box's beside its mark.
    std::string caption;
    for (char ch : c->Caption())
      if (ch != '&') caption += ch;
    int room = -1;
    if (dynamic_cast<TButton*>(c) != nullptr) room = r.Width() - 6;
    else if (dynamic_cast<TCheckBox*>(c) != nullptr || dynamic_cast<TRadioButton*>(c) != nullptr) room = r.Width() - 18;
    else if (dynamic_cast<TLabel*>(c) != nullptr) room = r.Width();
    else if (dynamic_cast<TGroupBox*>(c) != nullptr) room = r.Width() - 16;
    if (room >= 0 && !caption.empty()) {
      EXPECT_LE(FontTextWidth(c->Font()->Request(), caption), room) << c->Name() << " cuts \"" << caption << "\"";
    }
    for (TControl* o : controls)
      if (o != c && o->Parent() == c->Parent()) {
        const TRect q = o->BoundsRect();
        const bool apart = r.Right <= q.Left || q.Right <= r.Left || r.Bottom <= q.Top || q.Bottom <= r.Top;
        EXPECT_TRUE(apart) << c->Name() << " covers " << o->Name();
      }
  }
  EXPECT_NE(window, nullptr);
}

// The property browser and the copy dialog show their labels, group boxes and frame with their
// texts, in English and, through their language component, in German.
TEST_F(LangEditorTest, TheLanguageWindowsShowTheirLabelsAndGroupsInEnglishAndGerman) {
  delete editor;
  editor = nullptr;
  const int sv = form->LangSwitch1->LanguageID("Svenska");
  for (const char* language : {"English", "Deutsch"}) {
    TIniFile(TLangEditorForm::SettingsFileName()).WriteString("Default", "Language", language);
    const bool german = std::string(language) == "Deutsch";
    auto* browser = new TAddPropertiesForm(Application());
    browser->SetEdited(form->LangSwitch1, sv);
    browser->Show();
    Pump();
    EXPECT_EQ(browser->LabelAvailable->Caption(), german ? "Verf\xFCgbare Eigenschaften:" : "Available properties:");
    EXPECT_EQ(browser->LabelChange->Caption(), german ? "Zu \xE4ndernde Eigenschaften:" : "Properties to change:");
    EXPECT_EQ(browser->FilterGroup->Caption(), german ? "Eigenschaftsfilter:" : "Property filter:");
    EXPECT_EQ(browser->NewString->Caption(), german ? "&Neuer Text" : "&New string");
    EXPECT_EQ(browser->HelpBtn->Caption(), german ? "&Hilfe" : "&Help");
    for (TControl* box : std::initializer_list<TControl*>{browser->CaptionCheckBox, browser->HintCheckBox, browser->ItemsCheckBox,
                                                          browser->AllCheckBox, browser->UserCheckBox, browser->FilterName})
      EXPECT_EQ(box->Parent(), browser->FilterGroup) << box->Name();
    ASSERT_NE(browser->MButtons1, nullptr);
    EXPECT_EQ(browser->FindComponent("MButtons1"), browser->MButtons1);
    EXPECT_EQ(browser->MButtons1->Captions()->Strings(1), german ? "Cancel|&Abbrechen" : "Cancel|&Cancel");
    ExpectLaidOut(browser, {browser->LabelAvailable, browser->LabelChange, browser->SrcList, browser->DstList,
                            browser->SrcValue, browser->DstValue, browser->FilterGroup, browser->IncludeBtn,
                            browser->ExcludeBtn, browser->ExpandBtn, browser->NewString, browser->OKBtn,
                            browser->CancelBtn, browser->HelpBtn, browser->LangSwitch1, browser->CaptionCheckBox,
                            browser->HintCheckBox, browser->ItemsCheckBox, browser->AllCheckBox, browser->UserCheckBox,
                            browser->FilterName});
    EXPECT_GT(TextPixels(browser->LabelAvailable), 20);
    EXPECT_GT(TextPixels(browser->LabelChange), 20);
    // The group box paints its caption on its own window, over its frame's top edge.
    int groupText = 0;
    for (int x = 6; x < browser->FilterGroup->Width() - 6; ++x)
      for (int y = 0; y < 14; ++y) {
        const std::uint32_t p = test::PixelRGB(browser->FilterGroup->Handle(), x, y);
        if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 90) ++groupText;
      }
    EXPECT_GT(groupText, 20);
    if (german) {
      // The component switches the window back to its design texts.
      browser->LangSwitch1->SelectLanguage("English", false);
      EXPECT_EQ(browser->LabelAvailable->Caption(), "Available properties:");
      EXPECT_EQ(browser->FilterGroup->Caption(), "Property filter:");
    }
    delete browser;

    auto* copy = new TCopyFromForm(Application());
    copy->SetTarget(form->LangSwitch1, sv);
    copy->Show();
    Pump();
    EXPECT_EQ(copy->LabelCopyFrom->Caption(), german ? "Eigenschaften aus der Sprache kopieren:" : "Copy properties from language:");
    EXPECT_EQ(copy->SetValues->Caption(), german ? "Eigenschaftswerte setzen nach:" : "Set property values based on:");
    EXPECT_EQ(copy->Overwrite->Caption(),
              german ? "Vorhandene Eigenschaften in Svenska \xFC" "berschreiben" : "Overwrite existing properties in Svenska");
    EXPECT_EQ(copy->LanguageList->Items()->Strings(0), german ? "Keine (nur Werte aktualisieren)" : "None (only update values)");
    EXPECT_EQ(copy->ExternalProp->Caption(),
              german ? "Eigenschaften anderer Fenster mit gleichen Objektnamen" : "Other forms properties that has the same object names");
    for (TControl* radio : std::initializer_list<TControl*>{copy->Design, copy->Selected, copy->ExternalProp})
      EXPECT_EQ(radio->Parent(), copy->SetValues) << radio->Name();
    ASSERT_NE(copy->Bevel1, nullptr);
    const TRect frame = copy->Bevel1->BoundsRect();
    for (TControl* inside : std::initializer_list<TControl*>{copy->LabelCopyFrom, copy->LanguageList, copy->Overwrite, copy->SetValues}) {
      const TRect r = inside->BoundsRect();
      EXPECT_TRUE(r.Left >= frame.Left && r.Top >= frame.Top && r.Right <= frame.Right && r.Bottom <= frame.Bottom)
          << inside->Name() << " outside the frame";
    }
    ExpectLaidOut(copy, {copy->LabelCopyFrom, copy->LanguageList, copy->Overwrite, copy->SetValues, copy->OKBtn,
                         copy->CancelBtn, copy->HelpBtn, copy->LangSwitch1, copy->Design, copy->Selected,
                         copy->ExternalProp});
    EXPECT_GT(TextPixels(copy->LabelCopyFrom), 20);
    // The radio buttons are one group: a choice clears the other.
    copy->LanguageList->SetItemIndex(1);
    FireEvent(copy->LanguageList->OnChange, copy->LanguageList);
    ClickOn(copy->Selected);
    Pump();
    EXPECT_TRUE(copy->Selected->Checked());
    EXPECT_FALSE(copy->Design->Checked());
    delete copy;
  }
}

// The node of an outline at a path of texts from the top; 0 when there is none.
int NodeAt(TOutline* list, const std::vector<std::string>& path) {
  for (int i = 1; i <= list->ItemCount(); ++i) {
    TOutlineNode* n = list->Items(i);
    bool match = n->Level() == static_cast<int>(path.size());
    for (int k = static_cast<int>(path.size()) - 1; match && k >= 0; --k, n = n->Parent())
      match = n != nullptr && n->Text() == path[static_cast<std::size_t>(k)];
    if (match) return i;
  }
  return 0;
}

// The lists are outlines: components, their properties, and lines or sub-properties below
// those; Expand opens and closes them all, and a node moves with everything below it.
TEST_F(LangEditorTest, ThePropertyBrowsersListsAreOutlinesThatExpandAndMoveWhole) {
  delete editor;
  editor = nullptr;
  int sv = form->LangSwitch1->LanguageID("Svenska");
  auto* dlg = new TAddPropertiesForm(Application());
  dlg->ItemsCheckBox->SetChecked(true);
  dlg->SetEdited(form->LangSwitch1, sv);
  TOutline* src = dlg->SrcList;
  const int combo = NodeAt(src, {"ComboBox1"});
  ASSERT_GT(combo, 0);
  const int items = NodeAt(src, {"ComboBox1", "Items"});
  ASSERT_GT(items, 0);
  const int lines = src->Items(items)->ChildCount();
  EXPECT_GE(lines, 3) << "one node per line";
  EXPECT_GT(NodeAt(src, {"ComboBox1", "Items", "%2"}), 0);
  // Collapsed: only the components show.
  for (int row = 0; row < src->RowCount(); ++row) EXPECT_EQ(src->Items(src->RowItem(row))->Level(), 1);
  const int collapsedRows = src->RowCount();
  dlg->ExpandBtn->Click();
  EXPECT_TRUE(dlg->Expanded());
  EXPECT_EQ(src->RowCount(), src->ItemCount()) << "every node shows";
  EXPECT_GT(src->RowCount(), collapsedRows);
  EXPECT_EQ(dlg->ExpandBtn->Caption(), "C&ollapse All");
  // The Items node goes over whole, lines included, under its component.
  src->SetSelectedItem(items);
  dlg->IncludeBtn->Click();
  EXPECT_EQ(NodeAt(src, {"ComboBox1", "Items"}), 0);
  TOutline* dst = dlg->DstList;
  const int moved = NodeAt(dst, {"ComboBox1", "Items"});
  ASSERT_GT(moved, 0);
  EXPECT_EQ(dst->Items(moved)->ChildCount(), lines);
  EXPECT_EQ(dst->RowCount(), dst->ItemCount()) << "expanded after the move";
  dlg->ExpandBtn->Click();
  EXPECT_FALSE(dlg->Expanded());
  EXPECT_EQ(dlg->ExpandBtn->Caption(), "E&xpand All");
  EXPECT_LT(src->RowCount(), src->ItemCount());
  // And back again by its component.
  dst->SetSelectedItem(NodeAt(dst, {"ComboBox1"}));
  dlg->ExcludeBtn->Click();
  EXPECT_EQ(NodeAt(dst, {"ComboBox1"}), 0);
  EXPECT_GT(NodeAt(src, {"ComboBox1", "Items", "%2"}), 0);
  delete dlg;
}

TEST_F(LangEditorTest, ThePropertyBrowserIsDrivenByItsButtonsAndKeepsItsFilter) {
  delete editor;
  editor = nullptr;
  int sv = form->LangSwitch1->LanguageID("Svenska");
  auto* dlg = new TAddPropertiesForm(Application());
  dlg->SetEdited(form->LangSwitch1, sv);
  EXPECT_EQ(dlg->Caption(), "Browse properties for " + form->Name());
  auto click = [](TWinControl* c) { InjectClick(c->Handle(), c->Width() / 2, c->Height() / 2); };
  DriveIdle({[&] { click(dlg->ItemsCheckBox); },
             [&] {
               int line = NodeAt(dlg->SrcList, {"ComboBox1", "Items", "%2"});
               ASSERT_GT(line, 0) << "the Items filter offers the lines";
               dlg->SrcList->SetSelectedItem(line);
               FireEvent(dlg->SrcList->OnClick, dlg->SrcList);
               EXPECT_EQ(dlg->SrcValue->GetText(), "Three") << "the current value is shown";
               click(dlg->IncludeBtn);
             },
             [&] { click(dlg->NewString); },
             [&] {
               InjectText("Farewell");
               InjectKey(VK_RETURN);
             },
             [&] { click(dlg->OKBtn); }},
            [&] { dlg->SetModalResult(mrCancel); });
  EXPECT_EQ(dlg->ShowModal(), mrOk);
  Application()->OnIdle = nullptr;
  delete dlg;
  std::vector<std::string> keys;
  for (const auto& e : form->LangSwitch1->Languages())
    if (e->Kind == ekValue && e->ID == sv) keys.push_back(e->Component + "." + e->Property + "%" + std::to_string(e->ValueID));
  EXPECT_EQ(keys, (std::vector<std::string>{"Label1.Caption%-1", "ComboBox1.Items%2", "LangSwitch1.#Farewell%-1"}));
  TIniFile settings(TLangEditorForm::SettingsFileName());
  EXPECT_EQ(settings.ReadInteger("Default", "FilterItems", 0), 1) << "the filter is kept for the next use";
  auto* again = new TAddPropertiesForm(Application());
  EXPECT_TRUE(again->ItemsCheckBox->Checked());
  delete again;
}

TEST(IconFile, TheFirstIconOfAFileIsKeptWholeAndDamagedFilesGiveNothing) {
  std::string file = SmallIconFile();
  EXPECT_EQ(FirstIconImage(file), file) << "a one-icon file is its own image";
  EXPECT_EQ(FirstIconImage(file.substr(0, file.size() - 1)), "");
  EXPECT_EQ(FirstIconImage("MZ not an icon"), "");
  std::string wrongOffset = file;
  wrongOffset[18] = '\x7F';
  EXPECT_EQ(FirstIconImage(wrongOffset), "");
}

}  // namespace
}  // namespace tw::multilang
