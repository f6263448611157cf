// The language file built into the program folder: it loads into the language component, offers
// English and Deutsch, and switches the about and options windows to German and back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "multilang/langswitch.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/tests/forms_test_util.h"
#include "platform/rtl/files.h"

namespace tw {

// Makes a named child control with a caption.
template <class T>
T* AddControl(TWinControl* form, const char* name, const char* caption) {
  T* c = new T(form);
  c->SetName(name);
  c->SetParent(form);
  c->SetCaption(caption);
  return c;
}

// The about window's translated components, as its form resource lays them out.
class TAboutBox : public TForm {
  TW_CLASS(TAboutBox, TForm)
 public:
  explicit TAboutBox(TComponent* owner) : TForm(owner) {
    SetCaption("About");
    Version = AddControl<TLabel>(this, "Version", "Version");
    Ok = AddControl<TButton>(this, "Ok", "OK");
    LangSwitch1 = new multilang::TLangSwitch(this);
    LangSwitch1->SetName("LangSwitch1");
    LangSwitch1->SetParent(this);
  }
  TLabel* Version;
  TButton* Ok;
  multilang::TLangSwitch* LangSwitch1;
};

// Part of the options window: its caption, a button, a label and the person radio group.
class TfrmOptions : public TForm {
  TW_CLASS(TfrmOptions, TForm)
 public:
  explicit TfrmOptions(TComponent* owner) : TForm(owner) {
    SetCaption("Options");
    Cancel = AddControl<TButton>(this, "Cancel", "&Cancel");
    rbPerson = AddControl<TRadioGroup>(this, "rbPerson", "Which Person do you want to edit?");
    for (const char* s : {"Person 1", "Person 2", "Person 3", "Person 4"}) rbPerson->Items()->Add(s);
    lblPlace = AddControl<TLabel>(this, "lblPlace", "Place of birth");
    LangSwitch1 = new multilang::TLangSwitch(this);
    LangSwitch1->SetName("LangSwitch1");
    LangSwitch1->SetParent(this);
  }
  TButton* Cancel;
  TRadioGroup* rbPerson;
  TLabel* lblPlace;
  multilang::TLangSwitch* LangSwitch1;
};

namespace {

std::string BuiltFile() {
  const char* dir = std::getenv("TIDEWELL_PROGRAM_DIR");
  return std::string(dir != nullptr ? dir : TW_LANGBUILD_PROGRAM_DIR) + "/TWLang.LAN";
}

class BuiltLanguageFileTest : public test::FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() / ("tw-langbuild-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    EXPECT_TRUE(boxes.empty()) << "no file error reported";
    FormsTest::TearDown();
    std::filesystem::remove_all(dir_);
  }
  template <class F>
  F* Make() {
    auto* f = new F(Application());
    f->LangSwitch1->SetLanguageFile(BuiltFile());
    f->LangSwitch1->Loaded();
    return f;
  }
  std::filesystem::path dir_;
};

TEST_F(BuiltLanguageFileTest, HoldsBothLanguagesAndASectionPerWindow) {
  ASSERT_TRUE(FileExists(BuiltFile())) << BuiltFile();
  auto file = multilang::ParseLanFile(ReadFileBytes(BuiltFile()));
  ASSERT_TRUE(file.HasLanguages);
  ASSERT_EQ(file.Languages.Languages.size(), 2u);
  EXPECT_EQ(file.Languages.Languages[0].Name, "English");
  EXPECT_EQ(file.Languages.Languages[0].ID, 0);
  EXPECT_EQ(file.Languages.Languages[1].Name, "Deutsch");
  for (const char* s : {"TfrmMainLangSwitch1", "TfrmOptionsLangSwitch1", "TAboutBoxLangSwitch1"}) {
    const auto* sec = file.Find(s);
    ASSERT_NE(sec, nullptr) << s;
    auto values = multilang::ParseFormBody(sec->Body);
    EXPECT_GT(values.size(), 3u) << s;
    // Every value has its counterpart in the other language.
    int english = 0, german = 0;
    for (const auto& v : values) (v.ID == 0 ? english : german) += 1;
    EXPECT_EQ(english, german) << s;
  }
}

TEST_F(BuiltLanguageFileTest, AboutBoxSwitchesToGermanAndBack) {
  TAboutBox* f = Make<TAboutBox>();
  multilang::TLangSwitch* sw = f->LangSwitch1;
  ASSERT_EQ(sw->Items()->Count(), 2);
  EXPECT_GE(sw->LanguageID("English"), 0);
  EXPECT_GE(sw->LanguageID("Deutsch"), 0);

  EXPECT_TRUE(sw->SelectLanguage("Deutsch", false));
  EXPECT_EQ(sw->CurrentLanguage(), "Deutsch");
  EXPECT_EQ(f->Caption(), "Info");
  EXPECT_EQ(f->Ok->Caption(), "OK");

  EXPECT_TRUE(sw->SelectLanguage("English", false));
  EXPECT_EQ(f->Caption(), "About");
}

TEST_F(BuiltLanguageFileTest, OptionsWindowSwitchesCaptionsAndItemsWithUmlauts) {
  TfrmOptions* f = Make<TfrmOptions>();
  multilang::TLangSwitch* sw = f->LangSwitch1;
  f->rbPerson->Items()->Put(3, "Eve");  // a person's shortcut, as the user typed it
  ASSERT_TRUE(sw->SelectLanguage("Deutsch", false));
  EXPECT_EQ(f->Caption(), "Optionen");
  EXPECT_EQ(f->Cancel->Caption(), "&Abbrechen");
  EXPECT_EQ(f->rbPerson->Caption(), "Welche Person m\xF6" "chten Sie bearbeiten?") << "stored in the 8-bit code page";
  EXPECT_EQ(f->lblPlace->Caption(), "Geburtsort");
  ASSERT_EQ(f->rbPerson->Items()->Count(), 4);
  EXPECT_EQ(f->rbPerson->Items()->Strings(3), "Eve") << "the persons' shortcuts are no texts of a language";

  ASSERT_TRUE(sw->SelectLanguage("English", false));
  EXPECT_EQ(f->Caption(), "Options");
  EXPECT_EQ(f->Cancel->Caption(), "&Cancel");
  EXPECT_EQ(f->rbPerson->Caption(), "Which Person do you want to edit?");
  EXPECT_EQ(f->lblPlace->Caption(), "Place of birth");
  EXPECT_EQ(f->rbPerson->Items()->Strings(3), "Eve");
}

}  // namespace
}  // namespace tw
