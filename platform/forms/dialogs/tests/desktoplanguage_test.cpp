// The standard dialogs speak the desktop's language: with a German locale the font, file and
// printer-setup dialogs and the message boxes show German texts, with an English one (or none)
// English; texts the program set itself stay as they are.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <optional>

#include "platform/forms/comctrls/listbox.h"
#include "platform/forms/dialogs/commondialogs.h"
#include "platform/forms/dialogs/desktoptexts.h"
#include "platform/forms/dialogs/filedialogs.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/tests/forms_test_util.h"

namespace tw::test {
namespace {

constexpr std::array<const char*, 3> kVariables = {"LC_ALL", "LC_MESSAGES", "LANG"};

class DesktopLanguageTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    for (std::size_t i = 0; i < kVariables.size(); ++i) {
      if (const char* v = std::getenv(kVariables[i])) saved[i] = v;
      ::unsetenv(kVariables[i]);
    }
    ResetMsgDlgTexts();
  }
  void TearDown() override {
    for (std::size_t i = 0; i < kVariables.size(); ++i) {
      if (saved[i]) ::setenv(kVariables[i], saved[i]->c_str(), 1);
      else ::unsetenv(kVariables[i]);
    }
    ResetMsgDlgTexts();
    FormsTest::TearDown();
  }
  static void Locale(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* values[] = {lcAll, lcMessages, lang};
    for (std::size_t i = 0; i < kVariables.size(); ++i) {
      if (values[i] != nullptr) ::setenv(kVariables[i], values[i], 1);
      else ::unsetenv(kVariables[i]);
    }
  }
  static void Drive(std::vector<std::function<void()>> steps) {
    DriveIdle(std::move(steps), [] {
      ADD_FAILURE() << "the dialog did not end";
      if (TCustomForm* f = Screen()->ActiveForm()) f->SetModalResult(mrAbort);
    });
  }
  static std::string TextOf(TForm* form, const std::string& name) {
    TComponent* c = form->FindComponent(name);
    if (auto* control = dynamic_cast<TControl*>(c)) return control->GetText();
    return "<no " + name + ">";
  }
  // The texts of a running dialog's parts, read while it shows; Esc ends it.
  template <typename Dialog>
  static std::vector<std::string> Texts(Dialog* dlg, std::initializer_list<std::string> parts) {
    std::vector<std::string> texts;
    Drive({[&] {
      TForm* f = dlg->DialogForm();
      ASSERT_NE(f, nullptr);
      texts.push_back(f->Caption());
      for (const std::string& p : parts) texts.push_back(TextOf(f, p));
      InjectKey(VK_ESCAPE);
    }});
    dlg->Execute();
    return texts;
  }

  std::array<std::optional<std::string>, 3> saved;
};

TEST_F(DesktopLanguageTest, TheFirstLocaleVariableSetNamesTheLanguage) {
  Locale(nullptr, nullptr, nullptr);
  EXPECT_EQ(DesktopLanguage(), TDesktopLanguage::English) << "no locale";
  Locale(nullptr, nullptr, "de_DE.UTF-8");
  EXPECT_EQ(DesktopLanguage(), TDesktopLanguage::German);
  Locale(nullptr, nullptr, "de_AT");
  EXPECT_EQ(DesktopLanguage(), TDesktopLanguage::German);
  Locale(nullptr, "en_GB.UTF-8", "de_DE.UTF-8");
  EXPECT_EQ(DesktopLanguage(), TDesktopLanguage::English) << "LC_MESSAGES before LANG";
  Locale("C", nullptr, "de_DE.UTF-8");
  EXPECT_EQ(DesktopLanguage(), TDesktopLanguage::English) << "LC_ALL before everything";
  Locale("de_CH.UTF-8", "en_US", nullptr);
  EXPECT_EQ(DesktopLanguage(), TDesktopLanguage::German);
  Locale(nullptr, nullptr, "dec_XX");
  EXPECT_EQ(DesktopLanguage(), TDesktopLanguage::English) << "only German itself";
  Locale(nullptr, nullptr, "fr_FR.UTF-8");
  EXPECT_EQ(DesktopLanguage(), TDesktopLanguage::English) << "unknown languages show English";
}

TEST_F(DesktopLanguageTest, TheFontDialogFollowsTheLocaleAndStillChoosesTheStyle) {
  auto* dlg = new TFontDialog(Application());
  Locale(nullptr, nullptr, "de_DE.UTF-8");
  EXPECT_EQ(Texts(dlg, {"FontLabel", "StyleLabel", "SizeLabel", "CancelButton"}),
            (std::vector<std::string>{"Schriftart", "Schrift&art:", "Schrifts&til:", "&Gr\xF6\xDF" "e:", "Abbrechen"}));
  std::vector<std::string> styles;
  Drive({[&] {
           auto* list = dynamic_cast<TListBox*>(dlg->DialogForm()->FindComponent("StyleList"));
           ASSERT_NE(list, nullptr);
           for (int i = 0; i < list->Items()->Count(); ++i) styles.push_back(list->Items()->Strings(i));
           list->SetItemIndex(2);
           FireEvent(list->OnClick, list);
         },
         [] { InjectKey(VK_RETURN); }});
  ASSERT_TRUE(dlg->Execute());
  EXPECT_EQ(styles, (std::vector<std::string>{"Standard", "Kursiv", "Fett", "Fett Kursiv"}));
  EXPECT_TRUE(dlg->Font()->Style().Contains(TFontStyle::fsBold));
  EXPECT_FALSE(dlg->Font()->Style().Contains(TFontStyle::fsItalic));

  Locale(nullptr, nullptr, "en_US.UTF-8");
  EXPECT_EQ(Texts(dlg, {"FontLabel", "CancelButton"}), (std::vector<std::string>{"Font", "&Font:", "Cancel"}));
}

TEST_F(DesktopLanguageTest, FileDialogsFollowTheLocaleButKeepTheProgramsTitle) {
  Locale(nullptr, "de_DE.UTF-8", nullptr);
  auto* open = new TOpenDialog(Application());
  EXPECT_EQ(Texts(open, {"FileNameLabel", "TypeLabel", "FolderLabel", "OKButton", "CancelButton"}),
            (std::vector<std::string>{"\xD6" "ffnen", "Datei&name:", "Datei&typ:", "&Ordner:", "OK", "Abbrechen"}));
  auto* save = new TSaveDialog(Application());
  EXPECT_EQ(Texts(save, {})[0], "Speichern unter");
  open->SetTitle("Select a language file");
  EXPECT_EQ(Texts(open, {})[0], "Select a language file") << "a title of the program's own stays";
  open->SetCaptionFileName("Name der &Datei:");
  EXPECT_EQ(Texts(open, {"FileNameLabel"})[1], "Name der &Datei:");

  Locale(nullptr, nullptr, nullptr);
  open->SetTitle("");
  EXPECT_EQ(Texts(open, {"CancelButton", "FolderLabel"}), (std::vector<std::string>{"Open", "Cancel", "&Folders:"}));
}

TEST_F(DesktopLanguageTest, ThePrinterSetupDialogFollowsTheLocale) {
  auto* dlg = new TPrinterSetupDialog(Application());
  std::vector<std::string> texts;
  Locale(nullptr, nullptr, "de_DE.UTF-8");
  Drive({[&] {
    TCustomForm* f = Screen()->ActiveForm();
    ASSERT_NE(f, nullptr);
    texts = {f->Caption(), TextOf(static_cast<TForm*>(f), "PortraitRadio"), TextOf(static_cast<TForm*>(f), "LandscapeRadio"),
             TextOf(static_cast<TForm*>(f), "CancelButton")};
    InjectKey(VK_ESCAPE);
  }});
  EXPECT_FALSE(dlg->Execute());
  EXPECT_EQ(texts, (std::vector<std::string>{"Druckereinrichtung", "&Hochformat", "&Querformat", "Abbrechen"}));
}

TEST_F(DesktopLanguageTest, MessageBoxButtonsAndTitlesFollowTheLocaleUnlessTheProgramSetThem) {
  Locale(nullptr, nullptr, "de_DE.UTF-8");
  EXPECT_EQ(MsgDlgButtonCaption(mbYes), "&Ja");
  EXPECT_EQ(MsgDlgButtonCaption(mbCancel), "Abbrechen");
  EXPECT_EQ(MsgDlgTitle(mtConfirmation), "Best\xE4tigen");
  std::string caption;
  Drive({[&] {
    TCustomForm* box = Screen()->ActiveForm();
    ASSERT_NE(box, nullptr);
    caption = box->Caption();
    InjectKey('J');  // the German accelerator answers Yes
  }});
  EXPECT_EQ(MessageDlg("Speichern?", mtConfirmation, {mbYes, mbNo}, 0), mrYes);
  EXPECT_EQ(caption, "Best\xE4tigen");
  SetMsgDlgButtonCaption(mbYes, "&Oui");
  EXPECT_EQ(MsgDlgButtonCaption(mbYes), "&Oui") << "the program's own caption wins";
  Locale("en_US.UTF-8", nullptr, nullptr);
  EXPECT_EQ(MsgDlgButtonCaption(mbNo), "&No");
  EXPECT_EQ(MsgDlgTitle(mtWarning), "Warning");
}

}  // namespace
}  // namespace tw::test
