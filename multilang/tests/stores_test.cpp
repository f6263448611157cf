// The language component's stores on the routes the program takes: an INI-form file read again
// while the form shows another language, an INI file saved after languages were deleted or
// renamed, a ".LAN" file whose section offsets are damaged, and named strings chosen twice in the
// property browser.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include "multilang/addprop.h"
#include "multilang/tests/multilang_fixture.h"
#include "platform/classes/inifiles.h"

namespace tw::multilang {
namespace {

// Moves a file's modification time `seconds` ahead: the file counts as changed since the
// component read it (file dates have a resolution of two seconds).
void Touch(const std::string& name, int seconds) {
  struct stat st {};
  ASSERT_EQ(stat(name.c_str(), &st), 0);
  utimbuf t{st.st_atime + seconds, st.st_mtime + seconds};
  ASSERT_EQ(utime(name.c_str(), &t), 0);
}

class StoresTest : public LangSwitchTest {
 protected:
  TTestMainForm* MakeWithIni(const std::string& ini, const std::string& name = "") {
    auto* f = new TTestMainForm(Application());
    if (!name.empty()) f->SetName(name);
    f->LangSwitch1->SetLanguageFile(ini);
    f->LangSwitch1->Loaded();
    return f;
  }
  static std::vector<std::string> Names(TLangSwitch* sw) {
    std::vector<std::string> out;
    for (const auto& e : sw->Languages())
      if (e->Kind == ekLanguage) out.push_back(e->Text);
    return out;
  }
};

TEST_F(StoresTest, AnIniFileReadAgainWhileTranslatedKeepsTheDesignTextsAsDefault) {
  std::string ini = (dir / "texts.ini").string();
  AtomicWriteFile(ini, "[TTestMainFormLangSwitch1.Deutsch]\r\nLabel1.Caption=Hallo\r\nButton1.Caption=&Abbrechen\r\n");
  TTestMainForm* f = MakeWithIni(ini);
  TLangSwitch* sw = f->LangSwitch1;
  ASSERT_TRUE(sw->SelectLanguage("Deutsch", false));
  EXPECT_EQ(f->Label1->Caption(), "Hallo");
  // Another program (or the editor of another window) changes the file meanwhile.
  AtomicWriteFile(ini, "[TTestMainFormLangSwitch1.Deutsch]\r\nLabel1.Caption=Moin\r\nButton1.Caption=&Abbrechen\r\n");
  Touch(ini, 10);
  ASSERT_TRUE(sw->SelectLanguage("English", false));
  EXPECT_EQ(f->Label1->Caption(), "Hello") << "the default language shows the design texts";
  EXPECT_EQ(f->Button1->Caption(), "&Cancel");
  ASSERT_TRUE(sw->SelectLanguage("Deutsch", false));
  EXPECT_EQ(f->Label1->Caption(), "Moin") << "the file's new text";
  // Read again while German shows, then back to the default.
  Touch(ini, 20);
  ASSERT_TRUE(sw->SelectLanguage("English", false));
  EXPECT_EQ(f->Label1->Caption(), "Hello");
  EXPECT_EQ(f->Button1->Caption(), "&Cancel");
}

TEST_F(StoresTest, AnIniFileSavedAfterDeletingOrRenamingLanguagesHoldsOnlyWhatIsLeft) {
  std::string ini = (dir / "texts.ini").string();
  AtomicWriteFile(ini,
                  "[TTestMainFormLangSwitch1.Deutsch]\r\nLabel1.Caption=Hallo\r\nButton1.Caption=&Abbrechen\r\n"
                  "[TTestMainFormLangSwitch1.Svenska]\r\nLabel1.Caption=Hej\r\n"
                  "[TTestMainFormLangSwitch1.Dansk]\r\nLabel1.Caption=Goddag\r\n"
                  "[OtherFormLangSwitch1.Svenska]\r\nOKBtn.Caption=Bra\r\n");
  TTestMainForm* f = MakeWithIni(ini);
  TLangSwitch* sw = f->LangSwitch1;
  ASSERT_TRUE(sw->DeleteLanguage("Svenska"));
  ASSERT_TRUE(sw->RenameLanguage("Dansk", "Danish"));
  // A value no longer translated (as the property browser leaves it).
  std::erase_if(sw->Languages(), [](const auto& e) { return e->Kind == ekValue && e->Component == "Button1"; });
  ASSERT_TRUE(sw->SaveLanguageFile());

  TTestMainForm* g = MakeWithIni(ini, "Second");
  EXPECT_EQ(Names(g->LangSwitch1), (std::vector<std::string>{"English", "Deutsch", "Danish"}));
  g->LangSwitch1->SelectLanguage("Danish", false);
  EXPECT_EQ(g->Label1->Caption(), "Goddag");
  g->LangSwitch1->SelectLanguage("Deutsch", false);
  EXPECT_EQ(g->Label1->Caption(), "Hallo");
  EXPECT_EQ(g->Button1->Caption(), "&Cancel") << "the value removed does not come back";
  TMemIniFile check(ini);
  EXPECT_EQ(check.ReadString("OtherFormLangSwitch1.Svenska", "OKBtn.Caption", ""), "Bra")
      << "another form's sections stay";
  EXPECT_FALSE(check.SectionExists("TTestMainFormLangSwitch1.Svenska"));
  EXPECT_FALSE(check.SectionExists("TTestMainFormLangSwitch1.Dansk"));
}

TEST_F(StoresTest, AFileWithADamagedSectionOffsetIsNeverWrittenOver) {
  TLanFile sample = Sample();
  sample.Sections.push_back({"TThirdFormLangSwitch1", BuildFormBody({V(1, "Drei", "Label1", "Caption")})});
  std::string bytes = BuildLanFile(sample);
  // The end offset of the options window's section points back into the file: the reading
  // stops there, and the sections from there on are not read.
  std::size_t name = bytes.find("TTestOtherFormLangSwitch1");
  ASSERT_NE(name, std::string::npos);
  for (std::size_t i = name - 5; i < name - 1; ++i) bytes[i] = 0;
  AtomicWriteFile(file, bytes);

  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  sw->SelectLanguage("Deutsch", false);
  EXPECT_EQ(f->Label1->Caption(), "Hallo") << "the sections before the damage are read";
  boxes.clear();
  EXPECT_FALSE(sw->SaveLanguageFile()) << "a save would drop the sections after the damage";
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("TLangSwitch File error (" + file + "): Invalid data"), std::string::npos) << boxes[0];
  EXPECT_EQ(ReadFileBytes(file), bytes);
  // The editor's Remove rewrites the file too.
  boxes.clear();
  EXPECT_FALSE(sw->DeleteLanSection(file, "TThirdFormLangSwitch1"));
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(ReadFileBytes(file), bytes);
  // A file read whole is written as before.
  WriteSample();
  EXPECT_TRUE(sw->SaveLanguageFile());
  EXPECT_TRUE(ParseLanFile(ReadFileBytes(file)).Whole);
}

TEST_F(StoresTest, ValuesWhoseNamesRunTogetherAlikeAreReadAsTwo) {
  TLanFile f = Sample();
  f.Sections[0].Body = BuildFormBody({V(1, "Hallo", "Label1", "Caption"), V(1, "Zeigen", "OK", "ShowHint"),
                                      V(1, "Tipp", "OKShow", "Hint"), V(1, "Erste", "ComboBox1", "Items", 1),
                                      V(1, "Zweite", "ComboBox1", "Items", 11), V(1, "Hallo!", "Label1", "Caption")});
  AtomicWriteFile(file, BuildLanFile(f));
  TLangSwitch* sw = MakeMain()->LangSwitch1;
  std::vector<std::string> read;
  for (const auto& e : sw->Languages())
    if (e->Kind != ekLanguage && e->ID == 1)
      read.push_back(e->Component + "." + e->Property + "%" + std::to_string(e->ValueID) + "=" + e->Text);
  std::sort(read.begin(), read.end());
  EXPECT_EQ(read, (std::vector<std::string>{"ComboBox1.Items%11=Zweite", "ComboBox1.Items%1=Erste",
                                            "Label1.Caption%-1=Hallo!", "OK.ShowHint%-1=Zeigen",
                                            "OKShow.Hint%-1=Tipp"}))
      << "the last of two records of one key wins";
}

TEST_F(StoresTest, ANamedStringChosenTwiceInThePropertyBrowserKeepsOneValue) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  int de = sw->LanguageID("Deutsch");
  auto* dlg = new TAddPropertiesForm(Application());
  dlg->SetEdited(sw, de);
  dlg->AddNamedString("Farewell");
  dlg->AddNamedString("Farewell");
  dlg->AddNamedString("Greeting");  // translated already
  dlg->Apply();
  delete dlg;
  auto count = [&](const std::string& property) {
    int n = 0;
    for (const auto& e : sw->Languages()) n += e->ID == de && e->Property == property;
    return n;
  };
  EXPECT_EQ(count("#Farewell"), 1);
  EXPECT_EQ(count("#Greeting"), 1);
  sw->SelectLanguage("Deutsch", false);
  EXPECT_EQ(sw->GetString("Greeting"), "Guten Tag, Welt!") << "the string keeps its text";
  // The same key twice in the list handed over gives one value too.
  SetTranslatedProperties(*sw, de, {{"Label1", "Caption", -1}, {"Label1", "Caption", -1}});
  EXPECT_EQ(count("Caption"), 1);
}

TEST_F(StoresTest, TakingANamedStringFromTheOnlyLanguageThatHadItDropsItsDefaultToo) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  int de = sw->LanguageID("Deutsch");
  int sv = sw->LanguageID("Svenska");
  sw->AddValue(sv, "LangSwitch1", "#Name", -1, "Varlden");
  sw->AddValue(0, "LangSwitch1", "#Bye", -1, "Bye");
  sw->AddValue(de, "LangSwitch1", "#Bye", -1, "Tschuess");
  // German keeps only the label: its two named strings go, and with them the default text of
  // the one no other language has (several default strings dropped in one go).
  auto* dlg = new TAddPropertiesForm(Application());
  dlg->SetEdited(sw, de);
  for (int i = static_cast<int>(dlg->Chosen().size()); i-- > 0;)
    if (dlg->Chosen()[static_cast<std::size_t>(i)].Component != "Label1") dlg->Exclude(i);
  ASSERT_EQ(dlg->Chosen().size(), 1u);
  dlg->Apply();
  delete dlg;
  std::vector<std::string> left;
  for (const auto& e : sw->Languages())
    if (e->Kind != ekLanguage && e->IsNamedString()) left.push_back(std::to_string(e->ID) + e->Property);
  EXPECT_EQ(left, (std::vector<std::string>{"0#Name", std::to_string(sv) + "#Name"}));
  sw->SelectLanguage("Svenska", false);
  EXPECT_EQ(sw->GetString("Name"), "Varlden");
}


// Texts that a line-based or length-prefixed store could bend: blanks at the edges, quotes,
// separators, characters beyond ASCII (Windows-1252), 255 characters and more, empty texts;
// many languages with names beyond ASCII.  Written by one window and read by a new one, in both
// forms of the file.
TEST_F(StoresTest, EveryTextAndLanguageComesBackFromBothFileForms) {
  const std::vector<std::string> texts = {" lead",        "trail ",         "\"quoted\"",  "'single'",
                                          "a=b;c",        ";starts",        "[bracket]",   "Gr\xFC\xDF" "e \x80",
                                          std::string(255, 'y'), std::string(4000, 'z'), "",  "%1 & &Name& 100%"};
  for (const std::string ext : {".LAN", ".ini"}) {
    std::string name = (dir / ("ROUND" + ext)).string();
    auto* f = new TTestMainForm(Application());
    f->SetName("Writer" + ext.substr(1));
    TLangSwitch* sw = f->LangSwitch1;
    std::vector<std::string> languages;
    for (int i = 0; i < 40; ++i) {
      languages.push_back("Langue \xE9" + std::to_string(i));
      ASSERT_EQ(sw->AddLanguage(languages.back()), i + 1);
    }
    for (std::size_t i = 0; i < texts.size(); ++i)
      sw->AddValue(static_cast<int>(1 + i % 40), "Label1", "Caption", -1, texts[i]);
    for (std::size_t i = 0; i < texts.size(); ++i)
      sw->AddValue(static_cast<int>(1 + i), "ComboBox1", "Items", 2, texts[i]);
    boxes.clear();
    ASSERT_TRUE(ext == ".LAN" ? sw->SaveLanFile(name, "TTestMainFormLangSwitch1")
                              : sw->SaveIniFile(name, "TTestMainFormLangSwitch1"))
        << (boxes.empty() ? "" : boxes[0]);

    auto* g = new TTestMainForm(Application());
    g->SetName("Reader" + ext.substr(1));
    g->LangSwitch1->SetLanguageFile(name);
    g->LangSwitch1->Loaded();
    for (std::size_t i = 0; i < texts.size(); ++i) {
      ASSERT_TRUE(g->LangSwitch1->SelectLanguage(languages[i], false) || i == 0) << ext << " " << i;
      EXPECT_EQ(g->Label1->Caption(), texts[i].empty() ? std::string() : texts[i]) << ext << " text " << i;
      EXPECT_EQ(g->ComboBox1->Items()->Strings(2), texts[i]) << ext << " line, text " << i;
    }
    std::vector<std::string> read;
    for (const auto& e : g->LangSwitch1->Languages())
      if (e->Kind == ekLanguage && e->ID != 0) read.push_back(e->Text);
    if (ext == ".ini") {
      // An INI file lists a language by its sections only: the languages with values.
      languages.resize(texts.size());
      std::sort(read.begin(), read.end());
      std::sort(languages.begin(), languages.end());
    }
    EXPECT_EQ(read, languages) << ext;
  }
}

}  // namespace
}  // namespace tw::multilang
