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
  const std::vector<std::string> pastes = {"", "q", "hello", "a much longer text than the field"};
  const std::vector<EditKey> keys = {EditKey::Back,       EditKey::Delete,      EditKey::Left,       EditKey::Right,
                                     EditKey::Home,       EditKey::End,         EditKey::Insert,     EditKey::ExtendLeft,
                                     EditKey::ExtendRight, EditKey::ExtendHome, EditKey::ExtendEnd,  EditKey::Paste};
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
      const int len = static_cast<int>(m.text.size());
      const EditStep step = RandomEditStep(random, typed, pastes, keys, log);
      switch (step.key) {
        case EditKey::Type: m.Type(step.ch); break;
        case EditKey::Back: m.Back(); break;
        case EditKey::Delete: m.Delete(); break;
        case EditKey::Left: m.Move(m.caret - 1); break;
        case EditKey::Right: m.Move(m.caret + 1); break;
        case EditKey::Home: m.Move(0); break;
        case EditKey::End: m.Move(len); break;
        case EditKey::Insert: m.insert = !m.insert; m.Collapse(); break;
        case EditKey::ExtendLeft: m.Extend(m.caret - 1); break;
        case EditKey::ExtendRight: m.Extend(m.caret + 1); break;
        case EditKey::ExtendHome: m.Extend(0); break;
        case EditKey::ExtendEnd: m.Extend(len); break;
        case EditKey::Paste: m.Paste(step.clip); break;
      }
      ASSERT_TRUE(Shows(f, {m.text, m.caret, m.selStart, m.selEnd, m.beeps}, beeps)) << "step " << i << " after ..." << log;
    }
    delete form;
    Pump();
  }
  EXPECT_GE(steps, 5000);
}

}  // namespace
}  // namespace tw::entry
