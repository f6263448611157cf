#include <algorithm>
// The language component on real forms (offscreen display): switching a form with labels,
// buttons, menus and combo boxes between languages read from a language file, values applied
// and captured by property name, the language message reaching another form, damaged files,
// translated message-box buttons and the language editor opened with Ctrl+Alt+E.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "multilang/addprop.h"
#include "multilang/copyfrom.h"
#include "multilang/langeditor.h"
#include "multilang/langswitch.h"
#include "multilang/mbuttons.h"
#include "platform/classes/inifiles.h"
#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/comctrls/grids.h"
#include "platform/forms/comctrls/listbox.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/formres/formstream.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/tests/forms_test_util.h"
#include "platform/rtl/files.h"
#include "platform/rtl/formatsettings.h"
#include "multilang/tests/multilang_fixture.h"

namespace tw::multilang {

namespace {

TEST_F(LangSwitchTest, SwitchesAFormBetweenLanguagesAndBack) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  EXPECT_EQ(sw->CurrentLanguage(), "English");
  ASSERT_EQ(sw->Items()->Count(), 3);

  int translated = 0;
  bool lastOk = false;
  sw->OnTranslated = [&](TObject*, const std::string&, bool ok) {
    ++translated;
    lastOk = ok;
  };
  EXPECT_TRUE(sw->SelectLanguage("Deutsch", false));
  EXPECT_TRUE(lastOk);
  EXPECT_EQ(f->Label1->Caption(), "Hallo");
  EXPECT_EQ(f->Button1->Caption(), "&Abbrechen");
  EXPECT_EQ(f->File1->Caption(), "&Datei");
  EXPECT_EQ(f->ComboBox1->Items()->Strings(1), "Zwei");
  EXPECT_EQ(f->ComboBox1->Items()->Strings(2), "Three");
  EXPECT_EQ(f->Caption(), "Hauptfenster");
  EXPECT_EQ(sw->Items()->Strings(sw->ItemIndex()), "Deutsch");

  EXPECT_FALSE(sw->SelectLanguage("Deutsch", false)) << "the current language again does nothing";
  EXPECT_EQ(translated, 1);

  // A language lacking a value shows the default one.
  sw->SelectLanguage("Svenska", false);
  EXPECT_EQ(f->Label1->Caption(), "Hej");
  EXPECT_EQ(f->Button1->Caption(), "&Cancel");
  EXPECT_EQ(f->File1->Caption(), "&File");

  sw->SelectLanguage("English", false);
  EXPECT_EQ(f->Label1->Caption(), "Hello");
  EXPECT_EQ(f->ComboBox1->Items()->Strings(1), "Two");
  EXPECT_EQ(f->Caption(), "Main window");
}

TEST_F(LangSwitchTest, NamedStringsExpandReferencesInTheCurrentLanguage) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  EXPECT_EQ(sw->GetString("Greeting"), "Hello, World!");
  sw->SelectLanguage("Deutsch", false);
  EXPECT_EQ(sw->GetString("Greeting"), "Guten Tag, Welt!");
  sw->SelectLanguage("Svenska", false);
  EXPECT_EQ(sw->GetString("Greeting"), "Hello, World!") << "falls back to the default language";
  EXPECT_EQ(sw->ExpandNamedStrings("a & b &c d& e"), "a & b &c d& e") << "a blank inside stops the expansion";
  EXPECT_EQ(sw->ExpandNamedStrings("Save & exit"), "Save & exit");
}

TEST_F(LangSwitchTest, NamedStringsThatReferToThemselvesOrGrowWithoutEndStayBounded) {
  WriteSample();
  TLangSwitch* sw = MakeMain()->LangSwitch1;
  // A loop shows as its text: the inner references are not expanded again.
  sw->AddValue(0, "LangSwitch1", "#Loop", -1, "x&Loop&&Loop&&Loop&&Loop&");
  EXPECT_EQ(sw->GetString("Loop"), "x&Loop&&Loop&&Loop&&Loop&");
  sw->AddValue(0, "LangSwitch1", "#Ping", -1, "ping &Pong&");
  sw->AddValue(0, "LangSwitch1", "#Pong", -1, "pong &Ping&&Pong&&Name&");
  EXPECT_EQ(sw->GetString("Ping"), "ping pong &Ping&&Pong&World") << "a circle of two, other names still expand";
  EXPECT_EQ(sw->ExpandNamedStrings("<&Loop&>"), "<x&Loop&&Loop&&Loop&&Loop&>");
  // Strings that double at each of 40 steps would reach 2^40 characters: the expansion stops
  // at its limits and keeps the references it did not replace as they are written.
  for (int i = 0; i < 40; ++i)
    sw->AddValue(0, "LangSwitch1", "#D" + std::to_string(i), -1,
                 "&D" + std::to_string(i + 1) + "&&D" + std::to_string(i + 1) + "&");
  sw->AddValue(0, "LangSwitch1", "#D40", -1, "y");
  std::string big = sw->GetString("D0");
  EXPECT_LE(big.size(), TLangSwitch::kMaxExpandedLength);
  EXPECT_GE(std::count(big.begin(), big.end(), 'y'), 400) << "as far as the limits go, the references are replaced";
  EXPECT_NE(big.find("&D"), std::string::npos) << "the rest is kept as written";
  // The references replaced in one expansion are counted: each replaced one leaves a 'y' or
  // two references behind, so the text's parts bound the work done.
  auto refs = static_cast<int>(std::count(big.begin(), big.end(), '&') / 2);
  EXPECT_LE(static_cast<int>(std::count(big.begin(), big.end(), 'y')) + refs, 2 * TLangSwitch::kMaxNamedReferences + 2);
}

TEST_F(LangSwitchTest, ValuesAreAppliedByPropertyNameAndCapturedBack) {
  auto* f = new TTestMainForm(Application());
  TLangSwitch* sw = f->LangSwitch1;
  int de = sw->AddLanguage("Deutsch");
  EXPECT_EQ(de, 1);
  EXPECT_EQ(sw->AddLanguage("Deutsch"), -1);
  EXPECT_EQ(sw->AddLanguage("English"), -1);
  auto add = [&](const std::string& comp, const std::string& prop, int valueID, const std::string& text) {
    sw->AddValue(de, comp, prop, valueID, text);
  };
  add("Label1", "Color", -1, "clRed");
  add("Button1", "Font", 0, "");  // a sub-property of the font by its number
  add("ComboBox1", "Items", 5, "Sechs");  // line 5 of a four-line list
  add("LangSwitch1", "ShortMonthNames12", -1, "Dez");
  add("LangSwitch1", "LongDayNames9", -1, "Never");  // outside the day table
  add("Label1", "Caption", -1, "Etikett");
  add("Gone1", "Caption", -1, "x");
  sw->Loaded();  // captures the design values as the default language

  TFormatSettings saved = FormatSettings();
  TColor designColor = f->Label1->Color();
  bool ok = sw->SelectLanguage("Deutsch", false);
  EXPECT_FALSE(ok) << "the missing line and the bad day number fail the translation";
  EXPECT_EQ(f->Label1->Color(), clRed);
  EXPECT_EQ(f->Label1->Caption(), "Etikett") << "the other values are still applied";
  EXPECT_EQ(f->ComboBox1->Items()->Count(), 4);
  EXPECT_EQ(FormatSettings().ShortMonthNames[11], "Dez");
  EXPECT_EQ(FormatSettings().LongDayNames, saved.LongDayNames);

  int missing = 0;
  for (const auto& e : sw->Languages())
    if (e->Component == "Gone1") missing += e->Kind == ekMissing;
  EXPECT_EQ(missing, 1) << "a value of a missing component is kept but not applied";

  sw->SelectLanguage("English", false);
  EXPECT_EQ(f->Label1->Color(), designColor);
  EXPECT_EQ(f->Label1->Caption(), "Hello");
  EXPECT_EQ(FormatSettings().ShortMonthNames[11], saved.ShortMonthNames[11]);

  // Reading back mirrors applying: colour identifiers, numbers and list lines.
  TLanguageEntry probe;
  probe.Kind = ekValue;
  probe.ID = de;
  probe.Component = "Label1";
  probe.Property = "Color";
  probe.Text = "255";
  sw->ResolveEntries();
  probe.ComponentRef = f->Label1;
  probe.PropInfo = GetPropInfo(f->Label1, "Color");
  EXPECT_TRUE(sw->ApplyValue(probe));
  EXPECT_EQ(sw->ReadValue(probe), "clRed") << "255 is the same colour by number";
  probe.Property = "Caption";
  probe.PropInfo = GetPropInfo(f->Label1, "Caption");
  EXPECT_EQ(sw->ReadValue(probe), "Hello");
  SetFormatSettings(saved);
}

TEST_F(LangSwitchTest, TheLanguageMessageSwitchesTheOtherForms) {
  WriteSample();
  TTestMainForm* main = MakeMain();
  auto* other = new TTestOtherForm(Application());
  other->LangSwitch1->SetLanguageFile(file);
  other->LangSwitch1->Loaded();
  EXPECT_EQ(other->OKBtn->Caption(), "OK");
  EXPECT_EQ(TLangSwitch::LanguageMessage(), TLangSwitch::LanguageMessage());
  EXPECT_GE(TLangSwitch::LanguageMessage(), 0xC000u);

  int otherTranslations = 0;
  other->LangSwitch1->OnTranslated = [&](TObject*, const std::string&, bool) { ++otherTranslations; };
  main->LangSwitch1->SelectLanguage("Deutsch", true);
  EXPECT_EQ(other->OKBtn->Caption(), "OK") << "the message is posted, not sent";
  Pump();
  EXPECT_EQ(other->OKBtn->Caption(), "Gut");
  EXPECT_EQ(other->LangSwitch1->CurrentLanguage(), "Deutsch");
  EXPECT_EQ(otherTranslations, 1);
  Pump();
  EXPECT_EQ(main->LangSwitch1->CurrentLanguage(), "Deutsch") << "the receiver does not broadcast back";

  // A form created later starts in the language another form shows.
  auto* late = new TTestOtherForm(Application());
  late->SetName("Late");
  late->LangSwitch1->SetLanguageFile(file);
  late->LangSwitch1->Loaded();
  EXPECT_EQ(late->OKBtn->Caption(), "Gut");

  // A receiver freed before its message arrives is not reached.
  main->LangSwitch1->SelectLanguage("English", true);
  delete late;
  Pump();
  EXPECT_EQ(other->OKBtn->Caption(), "OK");
}

TEST_F(LangSwitchTest, SavingKeepsOtherSectionsAndDamagedFilesLoseNothing) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  std::string otherBody = Sample().Sections[1].Body;
  int sv = sw->LanguageID("Svenska");
  for (auto& e : sw->Languages())
    if (e->Kind == ekValue && e->ID == sv) e->Text = "Hejsan";
  ASSERT_TRUE(sw->SaveLanguageFile());
  TLanFile saved = ParseLanFile(ReadFileBytes(file));
  ASSERT_EQ(saved.Sections.size(), 2u);
  EXPECT_EQ(saved.Sections[0].Name, "TTestMainFormLangSwitch1") << "the saved form's section comes first";
  EXPECT_EQ(saved.Sections[1].Body, otherBody) << "the other form's section is kept byte for byte";
  bool found = false;
  for (const auto& v : ParseFormBody(saved.Sections[0].Body)) found |= v.Text == "Hejsan";
  EXPECT_TRUE(found);

  // A truncated file: the load reports the damage and the entries stay as they were.
  std::string whole = ReadFileBytes(file);
  std::size_t before = sw->Languages().size();
  AtomicWriteFile(file, whole.substr(0, whole.size() - 20));
  boxes.clear();
  EXPECT_FALSE(sw->LoadLanguageFile());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("TLangSwitch File error (" + file + "): Invalid data"), std::string::npos);
  EXPECT_EQ(sw->Languages().size(), before);
  sw->SelectLanguage("Deutsch", false);
  EXPECT_EQ(f->Label1->Caption(), "Hallo");

  // Saving over the damaged file is refused rather than dropping the sections it still holds.
  boxes.clear();
  EXPECT_FALSE(sw->SaveLanguageFile());
  EXPECT_EQ(ReadFileBytes(file), whole.substr(0, whole.size() - 20));

  // A save that cannot write leaves the old file whole.
  AtomicWriteFile(file, whole);
  std::filesystem::permissions(dir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  bool canWrite = access(dir.c_str(), W_OK) == 0;  // root writes anyway
  if (!canWrite) {
    boxes.clear();
    EXPECT_FALSE(sw->SaveLanguageFile());
    EXPECT_EQ(boxes.size(), 1u);
  }
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
  EXPECT_EQ(ParseLanFile(ReadFileBytes(file)).Sections.size(), 2u);

  // A file that is not a language file is refused by the setter.
  std::string bogus = (dir / "BOGUS.LAN").string();
  AtomicWriteFile(bogus, "hello");
  boxes.clear();
  sw->SetLanguageFile(bogus);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Invalid language file (" + bogus + ")!"), std::string::npos);
  EXPECT_EQ(sw->LanguageFile(), file);
}

TEST_F(LangSwitchTest, IniFormAndLanguagesDataRoundTrip) {
  std::string ini = (dir / "texts.ini").string();
  AtomicWriteFile(ini,
                  "[TTestMainFormLangSwitch1.Deutsch]\r\nLabel1.Caption=Hallo\r\nNoDot=x\r\n"
                  "ComboBox1.Items%3=Vier\r\n[OtherForm.Deutsch]\r\nLabel1.Caption=Nein\r\n");
  auto* f = new TTestMainForm(Application());
  TLangSwitch* sw = f->LangSwitch1;
  sw->SetLanguageFile(ini);
  sw->Loaded();
  ASSERT_GE(sw->LanguageID("Deutsch"), 1);
  sw->SelectLanguage("Deutsch", false);
  EXPECT_EQ(f->Label1->Caption(), "Hallo");
  EXPECT_EQ(f->ComboBox1->Items()->Strings(3), "Vier");
  int values = 0;
  for (const auto& e : sw->Languages()) values += e->Kind == ekValue && e->ID != 0;
  EXPECT_EQ(values, 2) << "a key without a dot and other forms' sections are not read";

  std::string data = sw->LanguagesData();
  auto* g = new TTestMainForm(Application());
  g->SetName("Second");
  ASSERT_TRUE(g->LangSwitch1->ReadLanguagesData(data));
  g->LangSwitch1->Loaded();
  g->LangSwitch1->SelectLanguage("Deutsch", false);
  EXPECT_EQ(g->Label1->Caption(), "Hallo");
  boxes.clear();
  EXPECT_FALSE(g->LangSwitch1->ReadLanguagesData(data.substr(0, data.size() / 2)));
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(g->Label1->Caption(), "Hallo");
}

TEST_F(LangSwitchTest, RemovedComponentsBecomeMissingAndAdoptedMenusOfferLanguages) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  auto* language1 = new TMenuItem(f);
  language1->SetName("Language1");
  f->MainMenu1->Items()->Add(language1);
  sw->SetAdoptOn(language1);
  ASSERT_EQ(language1->Count(), 3);
  EXPECT_EQ(language1->Items(1)->Caption(), "Deutsch");
  EXPECT_TRUE(language1->Items(0)->Checked());
  FireEvent(language1->Items(1)->OnClick, language1->Items(1));
  EXPECT_EQ(f->Label1->Caption(), "Hallo");
  EXPECT_TRUE(language1->Items(1)->Checked());

  boxes.clear();
  sw->SetAdoptOn(f->Label1);
  EXPECT_EQ(sw->AdoptOn(), language1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Error setting AdoptOn property, an illigal component"), std::string::npos);

  delete f->Button1;
  for (const auto& e : sw->Languages()) {
    if (e->Component == "Button1") {
      EXPECT_EQ(e->Kind, ekMissing);
    }
  }
  for (const auto& v : ParseFormBody(ParseLanFile(ReadFileBytes(file)).Find("TTestMainFormLangSwitch1")->Body))
    EXPECT_NE(v.Component, "Button1") << "values of a removed component are not written";
  EXPECT_TRUE(sw->SelectLanguage("English", false));
}

TEST_F(LangSwitchTest, MessageBoxButtonsAreTranslated) {
  InstallDialogs();
  auto* f = new TTestMainForm(Application());
  auto* mb = new TMButtons(f);
  mb->Captions()->Clear();
  mb->Captions()->Add("Yes|&Ja");
  mb->Captions()->Add("No|&Nein");
  mb->SetTitle("Frage");
  mb->SetActive(true);
  std::vector<std::string> texts;
  std::string caption;
  DriveIdle({[&] {
               TCustomForm* box = Screen()->ActiveForm();
               caption = box->Caption();
               for (int i = 0; i < box->ControlCount(); ++i) texts.push_back(box->Controls(i)->Caption());
               InjectKey('J');
             }},
            [] {
              ADD_FAILURE() << "the box did not end";
              if (TCustomForm* b = Screen()->ActiveForm()) b->SetModalResult(mrAbort);
            });
  EXPECT_EQ(MessageBox("Really?", "Question", MB_YESNO), IDYES) << "the new accelerator works";
  EXPECT_EQ(caption, "Frage");
  EXPECT_NE(std::find(texts.begin(), texts.end(), "&Ja"), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "&Nein"), texts.end());
  mb->SetActive(false);
  mb->SetTitle("");
  DriveIdle({[&] {
               caption = Screen()->ActiveForm()->Caption();
               InjectKey(VK_ESCAPE);
             }},
            [] {});
  MessageBox("Done", "Plain", MB_OK);
  EXPECT_EQ(caption, "Plain") << "an inactive component leaves boxes alone";
  Application()->OnIdle = nullptr;
}

TEST_F(LangSwitchTest, CtrlAltEOpensTheEditorWhichEditsACaptionAndSaves) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  f->SetKeyPreview(true);
  f->OnKeyUp = [f](TObject*, Word& key, TShiftState shift) { HandleBrowseKey(f->LangSwitch1, key, shift); };
  f->Show();
  f->SetFocus();
  Pump();
  f->LangSwitch1->SelectLanguage("Deutsch", false);

  bool opened = false;
  std::string designShown;
  DriveIdle({[] {
               InjectKeyDown(VK_CONTROL);
               InjectKeyDown(VK_MENU);
               InjectKey('E');  // handled once this step returns, Ctrl and Alt still held
             },
             [&] {
               InjectKeyUp(VK_MENU);
               InjectKeyUp(VK_CONTROL);
               auto* ed = dynamic_cast<TLangEditorForm*>(Screen()->ActiveForm());
               ASSERT_NE(ed, nullptr);
               opened = true;
               int label = -1;
               for (int i = 0; i < ed->PropertyCount(); ++i)
                 if (ed->PropertyText(i) == "Label1.Caption") label = i;
               ASSERT_GE(label, 0);
               ed->ChooseProperty(label);
               designShown = ed->GridValues->Cells(1, 0);
               ASSERT_TRUE(ed->ChooseLanguage("Deutsch"));
               FireEvent(ed->GridValues->OnDblClick, ed->GridValues);
               ASSERT_TRUE(ed->EditDropDown->Focused());
               ed->EditDropDown->SetText("Servus");
               InjectKey(VK_RETURN);
             },
             [] {
               auto* ed = dynamic_cast<TLangEditorForm*>(Screen()->ActiveForm());
               if (ed != nullptr) ed->OKBtn->Click();
             }},
            [] {
              ADD_FAILURE() << "the editor did not end";
              if (TCustomForm* b = Screen()->ActiveForm()) b->SetModalResult(mrCancel);
            });
  while (!opened && Application()->OnIdle) {
    Application()->HandleMessage();
    if (Screen()->ActiveForm() == f && opened) break;
  }
  Application()->OnIdle = nullptr;
  ASSERT_TRUE(opened);
  EXPECT_EQ(designShown, "Hello") << "the default row shows the design text";
  EXPECT_EQ(f->Label1->Caption(), "Servus") << "the form returns to the edited language";
  bool saved = false;
  for (const auto& v : ParseFormBody(ParseLanFile(ReadFileBytes(file)).Find("TTestMainFormLangSwitch1")->Body))
    saved |= v.Component == "Label1" && v.ID == 1 && v.Text == "Servus";
  EXPECT_TRUE(saved) << "OK saves the language file";
  TIniFile settings(TLangEditorForm::SettingsFileName());
  EXPECT_EQ(settings.ReadInteger("Default", "LastLanguageID", -1), 1) << "the editor remembers the language";
  EXPECT_FALSE(IsBrowseKey('E', {TShiftStateFlag::ssCtrl, TShiftStateFlag::ssAlt, TShiftStateFlag::ssShift}));
  EXPECT_TRUE(IsBrowseKey('E', {TShiftStateFlag::ssCtrl, TShiftStateFlag::ssAlt, TShiftStateFlag::ssShift}, false));
}

TEST_F(LangSwitchTest, ADeletedLanguageLeavesNoValuesInOtherFormsForItsSuccessor) {
  TLanFile f = Sample();
  f.Sections[1].Body = BuildFormBody({V(1, "Gut", "OKBtn", "Caption"), V(2, "Bra", "OKBtn", "Caption")});
  AtomicWriteFile(file, BuildLanFile(f));
  TTestMainForm* main = MakeMain();
  ASSERT_TRUE(main->LangSwitch1->DeleteLanguage("Svenska"));
  ASSERT_TRUE(main->LangSwitch1->SaveLanguageFile());
  EXPECT_EQ(main->LangSwitch1->AddLanguage("Suomi"), 2) << "the freed ID is taken again";
  ASSERT_TRUE(main->LangSwitch1->SaveLanguageFile());

  auto* other = new TTestOtherForm(Application());
  other->LangSwitch1->SetLanguageFile(file);
  other->LangSwitch1->Loaded();
  other->LangSwitch1->SelectLanguage("Suomi", false);
  EXPECT_EQ(other->OKBtn->Caption(), "OK") << "Suomi does not inherit Svenska's text";
  other->LangSwitch1->SelectLanguage("Deutsch", false);
  EXPECT_EQ(other->OKBtn->Caption(), "Gut") << "the other languages' values are kept";
}

}  // namespace
}  // namespace tw::multilang

namespace tw::multilang {
namespace {

class CopyFromTest : public LangSwitchTest {};

TEST_F(CopyFromTest, DesignTextsUpdateOnlyTheTargetsOwnValues) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  int de = sw->LanguageID("Deutsch");
  auto count = [&](int id) {
    int n = 0;
    for (const auto& e : sw->Languages()) n += e->Kind == ekValue && e->ID == id;
    return n;
  };
  int before = count(de);
  CopyLanguageValues(*sw, -1, de, true, TCopySource::csDesign);
  EXPECT_EQ(count(de), before) << "nothing added or removed";
  sw->SelectLanguage("Deutsch", false);
  EXPECT_EQ(f->Label1->Caption(), "Hello");
  EXPECT_EQ(sw->GetString("Name"), "World") << "a named string takes the default language's text";
}

TEST_F(CopyFromTest, CopyingKeepsExistingTextsUnlessOverwriting) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  int de = sw->LanguageID("Deutsch"), sv = sw->LanguageID("Svenska");
  CopyLanguageValues(*sw, de, sv, false, TCopySource::csSelected);
  sw->SelectLanguage("Svenska", false);
  EXPECT_EQ(f->Label1->Caption(), "Hej") << "the target's own value is kept";
  EXPECT_EQ(f->Button1->Caption(), "&Abbrechen") << "a missing value is copied";
  sw->SelectLanguage("English", false);
  CopyLanguageValues(*sw, de, sv, true, TCopySource::csSelected);
  sw->SelectLanguage("Svenska", false);
  EXPECT_EQ(f->Label1->Caption(), "Hallo");
  // From the other forms of the file: the options window has no Label1, so the design text.
  CopyLanguageValues(*sw, de, sv, true, TCopySource::csExternal);
  sw->SelectLanguage("English", false);
  sw->SelectLanguage("Svenska", false);
  EXPECT_EQ(f->Label1->Caption(), "Hello");
}

}  // namespace
}  // namespace tw::multilang

namespace tw::multilang {
namespace {

class PropertyBrowserTest : public LangSwitchTest {};

TEST_F(PropertyBrowserTest, FilterOffersPropertiesLinesAndPseudoPropertiesButNeverLanguages) {
  auto* f = new TTestMainForm(Application());
  TPropertyFilter captions;
  auto keys = TranslatableProperties(*f->LangSwitch1, captions);
  auto has = [&](const std::vector<TPropertyKey>& v, const TPropertyKey& k) {
    return std::find(v.begin(), v.end(), k) != v.end();
  };
  EXPECT_TRUE(has(keys, {"Label1", "Caption", -1}));
  EXPECT_TRUE(has(keys, {"TTestMainForm", "Caption", -1}));
  EXPECT_FALSE(has(keys, {"Label1", "Hint", -1}));
  TPropertyFilter items;
  items.Caption = false;
  items.Items = true;
  keys = TranslatableProperties(*f->LangSwitch1, items);
  EXPECT_TRUE(has(keys, {"ComboBox1", "Items", 3}));
  EXPECT_FALSE(has(keys, {"ComboBox1", "Items", 4}));
  TPropertyFilter all;
  all.All = true;
  keys = TranslatableProperties(*f->LangSwitch1, all);
  EXPECT_TRUE(has(keys, {"LangSwitch1", "ShortMonthNames12", -1}));
  EXPECT_TRUE(has(keys, {"LangSwitch1", "SystemMenuNextWindow", -1}));
  EXPECT_EQ(PseudoPropertyNames().size(), 61u);
  for (const auto& k : keys) EXPECT_NE(k.Property, "Languages");
}

TEST_F(PropertyBrowserTest, OkGivesTheLanguageExactlyTheChosenProperties) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  int sv = sw->LanguageID("Svenska");
  auto* dlg = new TAddPropertiesForm(Application());
  dlg->SetEdited(sw, sv);
  ASSERT_EQ(dlg->Chosen().size(), 1u);
  int button = -1;
  for (std::size_t i = 0; i < dlg->Available().size(); ++i)
    if (dlg->Available()[i] == TPropertyKey{"Button1", "Caption", -1}) button = static_cast<int>(i);
  ASSERT_GE(button, 0);
  dlg->Include(button);
  dlg->Exclude(0);  // Label1.Caption
  dlg->AddNamedString("Farewell");
  dlg->Apply();
  delete dlg;
  std::vector<std::string> svKeys;
  for (const auto& e : sw->Languages())
    if (e->Kind == ekValue && e->ID == sv) svKeys.push_back(e->Component + "." + e->Property);
  EXPECT_EQ(svKeys, (std::vector<std::string>{"Button1.Caption", "LangSwitch1.#Farewell"}));
  bool defaultButton = false;
  for (const auto& e : sw->Languages())
    defaultButton |= e->Kind == ekValue && e->ID == 0 && e->Component == "Button1" && e->Text == "&Cancel";
  EXPECT_TRUE(defaultButton) << "the default language is captured again";
  EXPECT_EQ(sw->GetString("Greeting"), "Hello, World!") << "named strings of other languages stay";
}

// Every translation and named string as "ID component.property%valueID=text", sorted (the
// default language's other values are the form's own texts, read from it afresh each time).
std::vector<std::string> AllTexts(TLangSwitch& sw) {
  std::vector<std::string> out;
  for (const auto& e : sw.Languages())
    if (e->Kind != ekLanguage && (e->ID != 0 || e->IsNamedString()))
      out.push_back(std::to_string(e->ID) + " " + e->Component + "." + e->Property + "%" +
                    std::to_string(e->ValueID) + "=" + e->Text);
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(PropertyBrowserTest, OkWithNothingChangedKeepsEveryTranslationAndNamedString) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  for (const char* language : {"Deutsch", "Svenska", "English"}) {
    const std::vector<std::string> before = AllTexts(*sw);
    auto* dlg = new TAddPropertiesForm(Application());
    dlg->SetEdited(sw, sw->LanguageID(language));
    Application()->OnIdle = [dlg](TObject*, bool& done) {
      done = false;
      if (dlg->Visible()) InjectClick(dlg->OKBtn->Handle(), 5, 5);
    };
    EXPECT_EQ(dlg->ShowModal(), mrOk);
    Application()->OnIdle = nullptr;
    delete dlg;
    EXPECT_EQ(AllTexts(*sw), before) << language;
  }
  sw->SelectLanguage("Deutsch", false);
  EXPECT_EQ(f->Label1->Caption(), "Hallo");
  EXPECT_EQ(sw->GetString("Greeting"), "Guten Tag, Welt!");
}

TEST_F(PropertyBrowserTest, ANewlyChosenPropertyTakesTheCurrentTextAndTheOthersKeepTheirs) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  const int de = sw->LanguageID("Deutsch");
  auto* dlg = new TAddPropertiesForm(Application());
  dlg->SetEdited(sw, de);
  std::size_t hint = dlg->Available().size();
  for (std::size_t i = 0; i < dlg->Available().size(); ++i)
    if (dlg->Available()[i] == TPropertyKey{"Label1", "Hint", -1}) hint = i;
  dlg->AllCheckBox->SetChecked(true);
  for (std::size_t i = 0; i < dlg->Available().size(); ++i)
    if (dlg->Available()[i] == TPropertyKey{"Label1", "Hint", -1}) hint = i;
  ASSERT_LT(hint, dlg->Available().size());
  f->Label1->SetHint("A label");
  dlg->Include(static_cast<int>(hint));
  dlg->Apply();
  delete dlg;
  std::vector<std::string> german;
  for (const auto& e : sw->Languages())
    if (e->Kind == ekValue && e->ID == de) german.push_back(e->Component + "." + e->Property + "=" + e->Text);
  std::sort(german.begin(), german.end());
  EXPECT_EQ(german, (std::vector<std::string>{"Button1.Caption=&Abbrechen", "ComboBox1.Items=Zwei", "File1.Caption=&Datei",
                                              "Label1.Caption=Hallo", "Label1.Hint=A label", "LangSwitch1.#Greeting=Guten Tag, &Name&!",
                                              "LangSwitch1.#Name=Welt", "TTestMainForm.Caption=Hauptfenster"}));
}

}  // namespace
}  // namespace tw::multilang

namespace tw::multilang {

class TDataForm : public TForm {
  TW_CLASS(TDataForm, TForm)
 public:
  explicit TDataForm(TComponent* owner) : TForm(owner) {}
};

namespace {

class LanguagesDataTest : public LangSwitchTest {};

TEST_F(LanguagesDataTest, TheFormResourceCarriesTheLanguagesOfAFormWithoutFile) {
  RegisterStdControls();
  RegisterMultiLangClasses();
  auto* source = new TDataForm(Application());
  source->SetName("DataForm");
  auto* label = new TLabel(source);
  label->SetName("Label1");
  label->SetParent(source);
  label->SetCaption("Hello");
  auto* sw = new TLangSwitch(source);
  sw->SetName("LangSwitch1");
  sw->SetParent(source);
  int de = sw->AddLanguage("Deutsch");
  sw->AddValue(de, "Label1", "Caption", -1, "Hallo");
  std::string text = ComponentToText(source);
  ASSERT_NE(text.find("LanguagesData"), std::string::npos);

  auto* copy = new TDataForm(Application());
  ReadComponentDescription(text, copy);
  auto* sw2 = dynamic_cast<TLangSwitch*>(copy->FindComponent("LangSwitch1"));
  auto* label2 = dynamic_cast<TLabel*>(copy->FindComponent("Label1"));
  ASSERT_NE(sw2, nullptr);
  ASSERT_NE(label2, nullptr);
  EXPECT_EQ(sw2->LanguageID("Deutsch"), de);
  sw2->SelectLanguage("Deutsch", false);
  EXPECT_EQ(label2->Caption(), "Hallo");
  sw2->SelectLanguage("English", false);
  EXPECT_EQ(label2->Caption(), "Hello");
}

}  // namespace
}  // namespace tw::multilang
