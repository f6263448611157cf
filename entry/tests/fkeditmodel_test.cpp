// Random key runs on date, time and digit picture fields, each checked step by step against a
// small model of what the field must show: the text, the caret, the selection and the beeps of
// typing (insert and overwrite), Backspace and Delete at the run edges, moves and selections.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "entry/fkpicturefield.h"
#include "entry/tests/entry_test_util.h"
#include "platform/win/winapi.h"

namespace tw::entry {
namespace {

using T = TPictureDataType;

// The text editor of a picture field whose editable positions take digits and blanks.
struct EditModel {
  std::string text;
  std::vector<bool> literal;  // one per position, and the end
  int first = 0, last = 0, caret = 0, selStart = 0, selEnd = 0, anchor = 0;
  bool insert = true;
  unsigned beeps = 0;

  EditModel(const std::string& blank, const std::string& mask) : text(blank) {
    static const std::string editable = "!#123456789ABDEHKLMNOSXYabdhilmnstxy";
    for (char c : mask) literal.push_back(editable.find(c) == std::string::npos);
    literal.push_back(true);
    first = 0;
    while (literal[static_cast<std::size_t>(first)]) ++first;
    last = static_cast<int>(mask.size()) - 1;
    while (literal[static_cast<std::size_t>(last)]) --last;
    caret = selStart = selEnd = anchor = first;
  }

  bool Lit(int p) const { return literal[static_cast<std::size_t>(p)]; }
  char& At(int p) { return text[static_cast<std::size_t>(p)]; }
  int RunStart(int p) const {
    while (p > first && !Lit(p - 1)) --p;
    return std::max(p, first);
  }
  int RunEnd(int p) const {
    while (p < last && !Lit(p + 1)) ++p;
    return std::min(p, last) + 1;
  }
  int EndOfText() {
    for (int p = last; p >= 0; --p)
      if (!Lit(p) && At(p) != ' ') return p + 1;
    return 0;
  }
  void SkipRight() {
    while (caret <= last && Lit(caret)) ++caret;
  }
  void SkipLeft() {
    while (caret > first && Lit(caret)) --caret;
  }
  void Collapse() { selStart = selEnd = anchor = caret; }
  void RemoveAndPad(int from, int count, int runEnd) {
    text.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
    text.insert(static_cast<std::size_t>(runEnd - count), static_cast<std::size_t>(count), ' ');
  }
  void DeleteAt(int p) { RemoveAndPad(p, 1, RunEnd(p)); }
  void DeleteSelection() {
    for (int i = selStart; i < selEnd; ++i)
      if (!Lit(i)) At(i) = ' ';
    caret = selEnd;
    SkipLeft();
    const int runStart = RunStart(caret), runEnd = RunEnd(caret);
    const int from = std::max(selStart, runStart);
    if (from < caret && caret <= runEnd) RemoveAndPad(from, caret - from, runEnd);
    caret = selStart < first ? first : selStart;
    SkipRight();
    Collapse();
  }
  void Extend(int oldAnchor) {
    if (selStart != oldAnchor) selEnd = anchor;
    else selStart = anchor;
    if (selStart > selEnd) std::swap(selStart, selEnd);
    selEnd = std::min(selEnd, static_cast<int>(text.size()));
  }

  void Type(char c) {
    const bool digit = c == ' ' || (c >= '0' && c <= '9');
    if (selStart != selEnd && digit) DeleteSelection();
    if (caret > last || !digit) {
      ++beeps;
    } else if (!insert) {
      At(caret++) = c;
      SkipRight();
    } else {
      if (caret + 1 < static_cast<int>(text.size()) && !Lit(caret + 1)) {
        const int runEnd = RunEnd(caret);
        text.erase(static_cast<std::size_t>(runEnd - 1), 1);
        text.insert(static_cast<std::size_t>(caret), 1, c);
      } else {
        At(caret) = c;
      }
      ++caret;
      SkipRight();
    }
    Collapse();
  }
  // Pasting inserts every character the position takes, as typing in insert mode, until the
  // text or the field ends; the others are dropped without a beep.
  void Paste(const std::string& clip) {
    if (selStart != selEnd) DeleteSelection();
    for (std::size_t k = 0; k < clip.size() && caret <= last; ++k) {
      const char c = clip[k];
      if (c != ' ' && (c < '0' || c > '9')) continue;
      const bool saved = insert;
      insert = true;
      Type(c);
      insert = saved;
    }
    Collapse();
  }
  void Back() {
    if (selStart != selEnd) {
      DeleteSelection();
      return;
    }
    if (caret > first) {
      --caret;
      SkipLeft();
      if (caret < EndOfText()) DeleteAt(caret);
    }
    Collapse();
  }
  void Delete() {
    if (selStart != selEnd) DeleteSelection();
    else if (caret < EndOfText()) DeleteAt(caret);
    Collapse();
  }
  void Left() {
    if (caret > first) {
      --caret;
      SkipLeft();
    }
    Collapse();
  }
  void Right() {
    if (caret <= last) {
      ++caret;
      SkipRight();
    }
    Collapse();
  }
  void Home() {
    caret = first;
    Collapse();
  }
  void End() {
    caret = EndOfText();
    while (caret < last && Lit(caret)) ++caret;
    caret = std::clamp(caret, first, last + 1);
    SkipRight();
    Collapse();
  }
  void ExtendBy(int step) {
    const int oldAnchor = anchor;
    anchor = std::clamp(anchor + step, 0, static_cast<int>(text.size()));
    caret = std::clamp(anchor, first, last + 1);
    if (step < 0) SkipLeft();
    Extend(oldAnchor);
    SkipRight();
  }
  void ExtendEnd() {
    const int oldAnchor = anchor;
    caret = EndOfText();
    while (caret < last && Lit(caret)) ++caret;
    anchor = static_cast<int>(text.size()) + 1;
    Extend(oldAnchor);
    caret = std::clamp(caret, first, last + 1);
    SkipRight();
  }
  void ExtendHome() {
    const int oldAnchor = anchor;
    anchor = 0;
    caret = first;
    Extend(oldAnchor);
  }
};

class EditModelTest : public test::EntryGuiTest {};

// A selection that starts on a separator is replaced by what is typed: the digit goes behind
// the separator, and the digit before the selection stays.
TEST_F(EditModelTest, TypingOverASelectedSeparatorKeepsTheDigitBeforeIt) {
  TForm* form = NewFieldForm(400, 60);
  auto* f = new TFkPictureField(form);
  f->SetParent(form);
  f->SetDataType(T::pftDate);
  f->SetPictureMask("mm/dd/yyyy");
  form->Show();
  Pump();
  f->SetFocus();
  Pump();
  Press(VK_HOME);
  Type("1231");
  Press(VK_END);
  Press(VK_LEFT, false, true);
  ASSERT_EQ(f->SelStart(), 5);
  ASSERT_EQ(f->SelEnd(), 6);
  Type("2");
  EXPECT_EQ(f->EditText(), "12/31/2   ");
  EXPECT_EQ(f->CaretPosition(), 7);
}

TEST_F(EditModelTest, RandomKeysOnDateTimeAndDigitFieldsFollowTheModel) {
  const struct {
    T type;
    const char* mask;
    bool german;
  } cases[] = {{T::pftDate, "mm/dd/yyyy", false}, {T::pftDate, "dd/mm/yyyy", true}, {T::pftDate, "yyyy-mm-dd", false},
               {T::pftTime, "hh:mm:ss", false},    {T::pftTime, "hh:mm", true},       {T::pftString, "(999) 999-9999", false},
               {T::pftDate, "mm/dd/yy", false}};
  const std::string typed = "0123456789 0123456789x";
  const std::vector<EditKey> keys = {EditKey::Back,       EditKey::Delete,      EditKey::Left,       EditKey::Right,
                                     EditKey::Home,       EditKey::End,         EditKey::Insert,     EditKey::ExtendLeft,
                                     EditKey::ExtendRight, EditKey::ExtendHome, EditKey::ExtendEnd,  EditKey::Paste};
  const std::vector<std::string> pastes = {"", "12/31/1999", "31.12.2024", "7", "2024", "1/5/2024", "ab-12", "123456789012345678",
                                "23:59:59", " 4 ", "(555) 123-4567"};
  int steps = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mask);
    std::unique_ptr<test::IntlScope> german;
    if (c.german) {
      intl_.reset();
      german = std::make_unique<test::IntlScope>(
          std::initializer_list<std::pair<const std::string, std::string>>{{"sDate", "."}, {"sTime", "."}});
    }
    TForm* form = NewFieldForm(400, 60);
    auto* f = new TFkPictureField(form);
    f->SetParent(form);
    f->SetBounds(10, 10, 300, 25);
    f->SetDataType(c.type);
    f->SetPictureMask(c.mask);
    f->SetMaxLength(static_cast<int>(std::string(c.mask).size()));
    f->SetEpoch(1950);
    form->Show();
    Pump();
    f->SetFocus();
    Pump();
    Press(VK_HOME);
    EditModel m(f->EditText(), c.mask);
    ASSERT_EQ(f->EditText().size(), std::string(c.mask).size());
    m.insert = f->InsertMode();
    const unsigned beeps = MessageBeepCount();
    std::mt19937 random(static_cast<unsigned>(97 + c.mask[1] + 7 * static_cast<int>(c.german)));
    std::string log;
    for (int i = 0; i < 1500; ++i, ++steps) {
      const EditStep step = RandomEditStep(random, typed, pastes, keys, log);
      switch (step.key) {
        case EditKey::Type: m.Type(step.ch); break;
        case EditKey::Back: m.Back(); break;
        case EditKey::Delete: m.Delete(); break;
        case EditKey::Left: m.Left(); break;
        case EditKey::Right: m.Right(); break;
        case EditKey::Home: m.Home(); break;
        case EditKey::End: m.End(); break;
        case EditKey::Insert: m.insert = !m.insert; m.Collapse(); break;
        case EditKey::ExtendLeft: m.ExtendBy(-1); break;
        case EditKey::ExtendRight: m.ExtendBy(1); break;
        case EditKey::ExtendHome: m.ExtendHome(); break;
        case EditKey::ExtendEnd: m.ExtendEnd(); break;
        case EditKey::Paste: m.Paste(step.clip); break;
      }
      ASSERT_TRUE(Shows(f, {m.text, m.caret, m.selStart, m.selEnd, m.beeps}, beeps)) << "step " << i << " after ..." << log;
    }
    delete form;
    Pump();
    if (c.german) {
      german.reset();
      intl_ = std::make_unique<test::IntlScope>();
    }
  }
  EXPECT_GE(steps, 10000);
}

}  // namespace
}  // namespace tw::entry
