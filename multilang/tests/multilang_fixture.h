// The test windows and fixtures shared by the language component's tests.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>

#include "multilang/langswitch.h"
#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/tests/forms_test_util.h"
#include "platform/rtl/files.h"

namespace tw::multilang {

class TTestMainForm : public TForm {
  TW_CLASS(TTestMainForm, TForm)
 public:
  explicit TTestMainForm(TComponent* owner) : TForm(owner) {
    SetCaption("Main window");
    SetBounds(50, 50, 400, 300);
    Label1 = new TLabel(this);
    Label1->SetName("Label1");
    Label1->SetParent(this);
    Label1->SetCaption("Hello");
    Button1 = new TButton(this);
    Button1->SetName("Button1");
    Button1->SetParent(this);
    Button1->SetCaption("&Cancel");
    MainMenu1 = new TMainMenu(this);
    MainMenu1->SetName("MainMenu1");
    File1 = new TMenuItem(this);
    File1->SetName("File1");
    File1->SetCaption("&File");
    MainMenu1->Items()->Add(File1);
    ComboBox1 = new TComboBox(this);
    ComboBox1->SetName("ComboBox1");
    ComboBox1->SetParent(this);
    for (const char* s : {"One", "Two", "Three", "Four"}) ComboBox1->Items()->Add(s);
    LangSwitch1 = new TLangSwitch(this);
    LangSwitch1->SetName("LangSwitch1");
    LangSwitch1->SetParent(this);
  }
  TLabel* Label1;
  TButton* Button1;
  TMainMenu* MainMenu1;
  TMenuItem* File1;
  TComboBox* ComboBox1;
  TLangSwitch* LangSwitch1;
};

class TTestOtherForm : public TForm {
  TW_CLASS(TTestOtherForm, TForm)
 public:
  explicit TTestOtherForm(TComponent* owner) : TForm(owner) {
    SetCaption("Options");
    OKBtn = new TButton(this);
    OKBtn->SetName("OKBtn");
    OKBtn->SetParent(this);
    OKBtn->SetCaption("OK");
    LangSwitch1 = new TLangSwitch(this);
    LangSwitch1->SetName("LangSwitch1");
    LangSwitch1->SetParent(this);
  }
  TButton* OKBtn;
  TLangSwitch* LangSwitch1;
};

namespace {

TLanValue V(int id, const std::string& text, const std::string& comp, const std::string& prop, int valueID = -1) {
  return TLanValue{1, static_cast<std::int16_t>(id), text, comp, prop, static_cast<std::int16_t>(valueID)};
}

// A 2x2 icon of 32-bit pixels, with its mask, as an .ICO file.
inline std::string SmallIconFile(int pixelBytes = 16) {
  auto le = [](std::string& s, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  std::string image;
  le(image, 40, 4);
  le(image, 2, 4);
  le(image, 4, 4);
  le(image, 1, 2);
  le(image, 32, 2);
  for (int i = 0; i < 6; ++i) le(image, 0, 4);
  image += std::string(static_cast<std::size_t>(pixelBytes), '\x7F');
  image += std::string(8, '\0');
  std::string file;
  le(file, 0, 2);
  le(file, 1, 2);
  le(file, 1, 2);
  file += std::string{2, 2, 0, 0};
  le(file, 1, 2);
  le(file, 32, 2);
  le(file, static_cast<std::uint32_t>(image.size()), 4);
  le(file, 22, 4);
  return file + image;
}

// A fresh folder per case for the language file and the private settings files.
class MultiLangTest : public test::FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    // Short names: the folder becomes XDG_CONFIG_HOME, and the font configuration, which reads
    // its own files below it, keeps an allocation for every very long path.
    dir = std::filesystem::temp_directory_path() /
          ("tw-ml-" + std::to_string(getpid()) + "-" +
           std::to_string(std::hash<std::string>()(::testing::UnitTest::GetInstance()->current_test_info()->name()) %
                          100000));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    file = (dir / "TEST.LAN").string();
  }
  void TearDown() override {
    FormsTest::TearDown();
    std::filesystem::remove_all(dir);
  }

  std::filesystem::path dir;
  std::string file;
};

// A language file with three languages and the sections of two test windows.
class LangSwitchTest : public MultiLangTest {
 protected:

  TLanFile Sample() const {
    TLanFile f;
    f.HasLanguages = true;
    f.Languages.Stamp = "46000";
    f.Languages.Languages = {{0, 0, "English", ""}, {0, 1, "Deutsch", ""}, {0, 2, "Svenska", ""}};
    f.Sections.push_back({"TTestMainFormLangSwitch1",
                          BuildFormBody({V(1, "Hallo", "Label1", "Caption"), V(1, "&Abbrechen", "Button1", "Caption"),
                                         V(1, "&Datei", "File1", "Caption"), V(1, "Zwei", "ComboBox1", "Items", 1),
                                         V(1, "Hauptfenster", "TTestMainForm", "Caption"),
                                         V(1, "Guten Tag, &Name&!", "LangSwitch1", "#Greeting"),
                                         V(0, "Hello, &Name&!", "LangSwitch1", "#Greeting"),
                                         V(0, "World", "LangSwitch1", "#Name"), V(1, "Welt", "LangSwitch1", "#Name"),
                                         V(2, "Hej", "Label1", "Caption")})});
    f.Sections.push_back({"TTestOtherFormLangSwitch1", BuildFormBody({V(1, "Gut", "OKBtn", "Caption")})});
    return f;
  }
  void WriteSample() const { AtomicWriteFile(file, BuildLanFile(Sample())); }

  TTestMainForm* MakeMain() {
    auto* f = new TTestMainForm(Application());
    f->LangSwitch1->SetLanguageFile(file);
    f->LangSwitch1->Loaded();
    return f;
  }
};

}  // namespace
}  // namespace tw::multilang
