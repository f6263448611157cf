// Shared set-up of the entry-field tests: fixed class-library settings, an "intl" profile of
// the tests' own, and a shown form with a controller for the GUI cases.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "entry/fkcontroller.h"
#include "entry/fkintl.h"
#include "entry/fkpicturefield.h"
#include "platform/forms/tests/forms_test_util.h"
#include "platform/rtl/formatsettings.h"
#include "platform/win/display.h"
#include "platform/win/winapi.h"

namespace tw::entry::test {

// Installs the class library's US settings and the given profile keys for one test.
class IntlScope {
 public:
  IntlScope(std::initializer_list<std::pair<const std::string, std::string>> keys = {})
      : settings_(DefaultFormatSettings()) {
    SetIntlProfile(IntlProfileFromMap(std::map<std::string, std::string>(keys)));
    DefaultIntlSup().ReadIntlSettings();
  }
  IntlScope(const IntlScope&) = delete;
  IntlScope& operator=(const IntlScope&) = delete;
  ~IntlScope() {
    SetIntlProfile(IntlProfileFromMap({}));
    DefaultIntlSup().ReadIntlSettings();
  }

 private:
  ScopedFormatSettings settings_;
};

class EntryGuiTest : public tw::test::FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    intl_ = std::make_unique<IntlScope>();
  }
  void TearDown() override {
    FormsTest::TearDown();
    intl_.reset();
  }

  // Types each character as a key press with that character.
  static void Type(const std::string& text) {
    for (char c : text) {
      UINT vk = 0xBA;
      if (c >= '0' && c <= '9') vk = static_cast<UINT>(c);
      else if (c >= 'a' && c <= 'z') vk = static_cast<UINT>(c - 32);
      else if (c >= 'A' && c <= 'Z') vk = static_cast<UINT>(c);
      else if (c == ' ') vk = 0x20;
      else if (c == '.') vk = 0xBE;
      InjectKey(vk, static_cast<unsigned char>(c));
      Pump();
    }
  }
  // A key press with modifiers held.
  static void Press(UINT vk, bool ctrl = false, bool shift = false, bool alt = false) {
    if (ctrl) InjectKeyDown(0x11);
    if (shift) InjectKeyDown(0x10);
    if (alt) InjectKeyDown(0x12);
    InjectKey(vk, kNoCharacter);
    Pump();
    if (alt) InjectKeyUp(0x12);
    if (shift) InjectKeyUp(0x10);
    if (ctrl) InjectKeyUp(0x11);
    Pump();
  }

  // Puts a text on the clipboard and pastes it with Ctrl+V.
  static void PasteWithKeys(const std::string& text) {
    ASSERT_TRUE(OpenClipboard(0));
    EmptyClipboard();
    SetClipboardData(CF_TEXT, text);
    CloseClipboard();
    Press('V', true);
  }
  // One random editing step of a model test: a typed character, a key or a paste.
  enum class EditKey { Type, Back, Delete, Left, Right, Home, End, Insert, ExtendLeft, ExtendRight, ExtendHome, ExtendEnd, Paste };
  struct EditStep {
    EditKey key = EditKey::Type;
    char ch = 0;
    std::string clip;
  };
  // Picks a step (typing six times as often as each key), performs it on the focused field and
  // adds it to the log, which keeps its last 120 characters.
  static EditStep RandomEditStep(std::mt19937& random, const std::string& typed, const std::vector<std::string>& pastes,
                                 const std::vector<EditKey>& keys, std::string& log) {
    static const char* const names[] = {"", "<BS>", "<DEL>", "<L>", "<R>", "<HOME>", "<END>", "<INS>",
                                        "<SL>", "<SR>", "<SHOME>", "<SEND>", "<PASTE "};
    const std::size_t pick = random() % (keys.size() + 6);
    EditStep step;
    step.key = pick < 6 ? EditKey::Type : keys[pick - 6];
    switch (step.key) {
      case EditKey::Type:
        step.ch = typed[random() % typed.size()];
        Type(std::string(1, step.ch));
        break;
      case EditKey::Back: Press(VK_BACK); break;
      case EditKey::Delete: Press(VK_DELETE); break;
      case EditKey::Left: Press(VK_LEFT); break;
      case EditKey::Right: Press(VK_RIGHT); break;
      case EditKey::Home: Press(VK_HOME); break;
      case EditKey::End: Press(VK_END); break;
      case EditKey::Insert: Press(VK_INSERT); break;
      case EditKey::ExtendLeft: Press(VK_LEFT, false, true); break;
      case EditKey::ExtendRight: Press(VK_RIGHT, false, true); break;
      case EditKey::ExtendHome: Press(VK_HOME, false, true); break;
      case EditKey::ExtendEnd: Press(VK_END, false, true); break;
      case EditKey::Paste:
        step.clip = pastes[random() % pastes.size()];
        PasteWithKeys(step.clip);
        break;
    }
    if (step.key == EditKey::Type) log += step.ch;
    else if (step.key == EditKey::Paste) log += names[static_cast<int>(step.key)] + step.clip + ">";
    else log += names[static_cast<int>(step.key)];
    if (log.size() > 120) log.erase(0, log.size() - 120);
    return step;
  }
  // What a model of an edit says the focused field shows: text, caret, selection and beeps.
  struct Shown {
    std::string text;
    int caret, selStart, selEnd;
    unsigned beeps;
  };
  static ::testing::AssertionResult Shows(TFkBaseEntryField* f, const Shown& want, unsigned beepsBefore) {
    const Shown got{f->EditText(), f->CaretPosition(), f->SelStart(), f->SelEnd(), MessageBeepCount() - beepsBefore};
    if (f->Focused() && got.text == want.text && got.caret == want.caret && got.selStart == want.selStart &&
        got.selEnd == want.selEnd && got.beeps == want.beeps)
      return ::testing::AssertionSuccess();
    auto line = [](const Shown& s) {
      return "\"" + s.text + "\" caret " + std::to_string(s.caret) + " selection " + std::to_string(s.selStart) + "-" +
             std::to_string(s.selEnd) + " beeps " + std::to_string(s.beeps);
    };
    return ::testing::AssertionFailure() << (f->Focused() ? "" : "not focused; ") << "shows " << line(got)
                                         << ", model " << line(want);
  }

  // A form of the given client size with a controller whose error reports are silent.
  static TForm* NewFieldForm(int clientWidth, int clientHeight) {
    TForm* form = NewForm(clientWidth, clientHeight);
    auto* c = new TFkController(form);
    c->OnError = [](TObject*, std::uint16_t, const std::string&) {};
    return form;
  }
  // The colour at a client point as 0x00RRGGBB, and a colour in the same form.
  static std::uint32_t Pixel(TWinControl* c, int x, int y) { return GetWindowPixel(c->Handle(), x, y) & 0xFFFFFF; }
  static std::uint32_t Rgb(TColor c) {
    TColor rgb = ColorToRGB(c);
    return static_cast<std::uint32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
  }

  std::unique_ptr<IntlScope> intl_;
};

// A shown form with a controller that records every error report, and picture fields on it.
class PictureFormTest : public EntryGuiTest {
 protected:
  void SetUp() override {
    EntryGuiTest::SetUp();
    form = NewForm(300, 200);
    controller = new TFkController(form);
    controller->OnError = [this](TObject*, std::uint16_t code, const std::string& text) {
      errors.push_back(code);
      errorTexts.push_back(text);
    };
  }

  TFkPictureField* AddField(TPictureDataType type, const std::string& mask = "", int top = 0) {
    auto* f = new TFkPictureField(form);
    f->SetParent(form);
    f->SetTop(top);
    f->SetDataType(type);
    if (!mask.empty()) f->SetPictureMask(mask);
    return f;
  }

  void ShowAndFocus(TWinControl* f) {
    form->Show();
    Pump();
    f->SetFocus();
    Pump();
  }

  TForm* form = nullptr;
  TFkController* controller = nullptr;
  std::vector<std::uint16_t> errors;
  std::vector<std::string> errorTexts;
};

}  // namespace tw::entry::test
