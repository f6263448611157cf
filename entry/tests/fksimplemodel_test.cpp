// Random key runs on a short simple string field, checked step by step against a model of the
// text, the caret, the selection and the beeps: typing in insert and overtype mode into a full
// field with InsertPushes on and off, Backspace and Delete, moves, selections and pastes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "entry/fksimplefield.h"
#include "entry/tests/entry_test_util.h"
#include "platform/win/winapi.h"

namespace tw::entry {
namespace {

struct SimpleModel {
  std::string text;
  int max = 0, caret = 0, selStart = 0, selEnd = 0, anchor = 0;
  bool insert = true, pushes = true;
  unsigned beeps = 0;

  bool Selected() const { return selStart != selEnd; }
  void Collapse() { selStart = selEnd = caret; }
  void DeleteSelection() {
    text.erase(static_cast<std::size_t>(selStart), static_cast<std::size_t>(selEnd - selStart));
    caret = selStart;
    Collapse();
  }
  bool Place(char c) {
    const int len = static_cast<int>(text.size());
    if (insert) {
      if (len >= max && pushes && caret < len) text.pop_back();
      if (static_cast<int>(text.size()) >= max) return false;
      text.insert(static_cast<std::size_t>(caret++), 1, c);
      return true;
    }
    if (caret >= max) return false;
    if (caret < len) text[static_cast<std::size_t>(caret)] = c;
    else text.push_back(c);
    ++caret;
    return true;
  }
  void Type(char c) {
    if (Selected()) DeleteSelection();
    if (!Place(c)) ++beeps;
    Collapse();
  }
  void Paste(const std::string& clip) {
    if (Selected()) DeleteSelection();
    for (char c : clip) {
      if (static_cast<int>(text.size()) >= max && !(pushes && insert)) break;
      if (!Place(c)) break;
    }
    Collapse();
  }
  void Back() {
    if (Selected()) DeleteSelection();
    else if (caret > 0) text.erase(static_cast<std::size_t>(--caret), 1);
    Collapse();
  }
  void Delete() {
    if (Selected()) DeleteSelection();
    else if (caret < static_cast<int>(text.size())) text.erase(static_cast<std::size_t>(caret), 1);
    Collapse();
  }
  void Move(int to) {
    caret = std::clamp(to, 0, static_cast<int>(text.size()));
    Collapse();
  }
  void Extend(int to) {
    if (!Selected()) anchor = caret;
    caret = std::clamp(to, 0, static_cast<int>(text.size()));
    selStart = std::min(anchor, caret);
    selEnd = std::max(anchor, caret);
  }
};

class SimpleModelTest : public test::EntryGuiTest {};

TEST_F(SimpleModelTest, RandomKeysOnAShortStringFieldFollowTheModel) {
  const std::string typed = "abcXYZ 019-";
  const std::string pastes[] = {"", "q", "hello", "a much longer text than the field"};
  int steps = 0;
  for (const bool pushes : {true, false}) {
    SCOPED_TRACE(pushes ? "InsertPushes" : "no InsertPushes");
    TForm* form = NewFieldForm(400, 60);
    auto* f = new TFkSimpleField(form);
    f->SetParent(form);
    f->SetBounds(10, 10, 300, 25);
    f->SetMaxLength(8);
    f->SetInsertPushes(pushes);
    form->Show();
    Pump();
    f->SetFocus();
    Pump();
    SimpleModel m;
    m.max = 8;
    m.pushes = pushes;
    m.insert = f->InsertMode();
    ASSERT_EQ(f->EditText(), "");
    const unsigned beeps = MessageBeepCount();
    std::mt19937 random(pushes ? 31u : 77u);
    std::string log;
    for (int i = 0; i < 2500; ++i, ++steps) {
      const int kind = static_cast<int>(random() % 16);
      if (kind < 6) {
        const char ch = typed[random() % typed.size()];
        log += ch;
        Type(std::string(1, ch));
        m.Type(ch);
      } else {
        const int len = static_cast<int>(m.text.size());
        switch (kind) {
          case 6: log += "<BS>"; Press(VK_BACK); m.Back(); break;
          case 7: log += "<DEL>"; Press(VK_DELETE); m.Delete(); break;
          case 8: log += "<L>"; Press(VK_LEFT); m.Move(m.caret - 1); break;
          case 9: log += "<R>"; Press(VK_RIGHT); m.Move(m.caret + 1); break;
          case 10: log += "<HOME>"; Press(VK_HOME); m.Move(0); break;
          case 11: log += "<END>"; Press(VK_END); m.Move(len); break;
          case 12: log += "<INS>"; Press(VK_INSERT); m.insert = !m.insert; m.Collapse(); break;
          case 13: log += "<SL>"; Press(VK_LEFT, false, true); m.Extend(m.caret - 1); break;
          case 14: log += "<SR>"; Press(VK_RIGHT, false, true); m.Extend(m.caret + 1); break;
          default: {
            const std::string& clip = pastes[random() % std::size(pastes)];
            log += "<PASTE " + clip + ">";
            ASSERT_TRUE(OpenClipboard(0));
            EmptyClipboard();
            SetClipboardData(CF_TEXT, clip);
            CloseClipboard();
            Press('V', true);
            m.Paste(clip);
          }
        }
      }
      if (log.size() > 120) log.erase(0, log.size() - 120);
      ASSERT_TRUE(f->Focused());
      ASSERT_EQ(f->EditText(), m.text) << "step " << i << " after ..." << log;
      ASSERT_EQ(f->CaretPosition(), m.caret) << "step " << i << " \"" << m.text << "\" after ..." << log;
      ASSERT_EQ(f->SelStart(), m.selStart) << "step " << i << " after ..." << log;
      ASSERT_EQ(f->SelEnd(), m.selEnd) << "step " << i << " after ..." << log;
      ASSERT_EQ(MessageBeepCount() - beeps, m.beeps) << "step " << i << " after ..." << log;
    }
    delete form;
    Pump();
  }
  EXPECT_GE(steps, 5000);
}

}  // namespace
}  // namespace tw::entry
