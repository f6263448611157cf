// The literals of a picture mask belong to the mask: no editing command, selection or mouse
// action may move or erase them, and the caret never rests on one.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "entry/date/dayarith.h"
#include "entry/fieldkit.h"
#include "entry/fkcmd.h"
#include "entry/fkpicturefield.h"
#include "entry/tests/entry_test_util.h"
#include "platform/win/winapi.h"

namespace tw::entry {
namespace {

using T = TPictureDataType;

class LiteralsTest : public test::EntryGuiTest {
 protected:
  void SetUp() override {
    EntryGuiTest::SetUp();
    form = NewFieldForm(400, 120);
    controller = dynamic_cast<TFkController*>(form->Components(0));
    ASSERT_NE(controller, nullptr);
  }

  TFkPictureField* AddField(T type, const std::string& mask) {
    auto* f = new TFkPictureField(form);
    f->SetParent(form);
    f->SetBounds(10, 10, 300, 25);
    f->SetDataType(type);
    f->SetPictureMask(mask);
    f->SetMaxLength(static_cast<int>(mask.size()));
    form->Show();
    Pump();
    f->SetFocus();
    Pump();
    return f;
  }

  // The literal characters of the field's text, by position.
  static std::vector<std::pair<int, char>> Literals(TFkPictureField* f) {
    std::vector<std::pair<int, char>> out;
    const std::string text = f->EditText();
    for (int i = 0; i < static_cast<int>(text.size()); ++i)
      if (f->IsLiteral(i)) out.emplace_back(i, text[static_cast<std::size_t>(i)]);
    return out;
  }

  // The caret stands on an editable position or just past the last one.
  static bool CaretOffLiterals(TFkPictureField* f) {
    const int caret = f->CaretPosition();
    return caret > f->LastEditPosition() || !f->IsLiteral(caret);
  }

  void Command(TFkPictureField* f, std::uint16_t command, LPARAM lParam = 0) {
    TMessage msg{};
    msg.Msg = WM_KEYDOWN;
    msg.LParam = lParam;
    f->PerformEdit(msg, command);
    Pump();
  }

  TForm* form = nullptr;
  TFkController* controller = nullptr;
};

TEST_F(LiteralsTest, SelectingKeepsTheCaretOffTheSeparators) {
  auto* f = AddField(T::pftDate, "dd/mm/yyyy");
  f->SetAsDayNumber(DMYToDayNumber(12, 5, 2024, 0));
  Press(VK_HOME);
  Press(VK_RIGHT, false, true);
  Press(VK_RIGHT, false, true);
  EXPECT_EQ(f->SelStart(), 0);
  EXPECT_EQ(f->SelEnd(), 2);
  EXPECT_TRUE(CaretOffLiterals(f)) << "caret at " << f->CaretPosition();
  Press(VK_RIGHT, true, true);  // a word further
  EXPECT_TRUE(CaretOffLiterals(f)) << "caret at " << f->CaretPosition();
  Press(VK_END);
  Press(VK_LEFT, false, true);
  Press(VK_LEFT, false, true);
  Press(VK_LEFT, false, true);
  Press(VK_LEFT, false, true);
  Press(VK_LEFT, false, true);
  EXPECT_TRUE(CaretOffLiterals(f)) << "caret at " << f->CaretPosition();

  // A double click on "05" selects the word; the caret stays off the "/" after it.
  const int x = f->TextMargin() + 4 * f->Canvas()->TextWidth("0");
  InjectDoubleClick(f->Handle(), x, 10);
  Pump();
  EXPECT_TRUE(CaretOffLiterals(f)) << "caret at " << f->CaretPosition();
  EXPECT_EQ(f->EditText(), "12/05/2024");
}

TEST_F(LiteralsTest, DeletingWordsAndLineEndsLeavesTheSeparators) {
  auto* f = AddField(T::pftDate, "dd/mm/yyyy");
  const struct {
    std::uint16_t command;
    int caret;  // on the separator before "05" and on the one before "2024"
  } cases[] = {{ccDelWord, 2}, {ccDelEol, 2}, {ccDelBol, 2}, {ccDelWord, 5}, {ccDelEol, 5}, {ccDelBol, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.command) + " at " + std::to_string(c.caret));
    f->SetAsDayNumber(DMYToDayNumber(12, 5, 2024, 0));
    f->SetFocus();
    // Shift+arrows used to leave the caret on the separator; put it there the same way.
    Press(VK_HOME);
    for (int i = 0; i < c.caret; ++i) Press(VK_RIGHT, false, true);
    Command(f, c.command);
    const std::string text = f->EditText();
    EXPECT_EQ(text[2], '/') << text;
    EXPECT_EQ(text[5], '/') << text;
    EXPECT_TRUE(CaretOffLiterals(f));
  }
  // After a delete the year can still be typed in full.
  f->SetAsDayNumber(DMYToDayNumber(12, 5, 2024, 0));
  f->SetFocus();
  Press(VK_END);
  for (int i = 0; i < 4; ++i) Press(VK_LEFT, false, true);
  Press(VK_DELETE);
  Type("2025");
  EXPECT_EQ(f->EditText(), "12/05/2025");
}

// Random keys from every command table, typed characters, pasted texts, clicks, drags and
// double clicks over several masks: the literals never change and the caret never rests on
// one.  Fixed seeds, so a failure repeats.
TEST_F(LiteralsTest, RandomCommandRunsNeverChangeALiteral) {
  const struct {
    T type;
    const char* mask;
  } masks[] = {{T::pftDate, "dd/mm/yyyy"}, {T::pftDate, "mm/dd/yyyy"}, {T::pftDate, "yyyy-mm-dd"},
               {T::pftTime, "hh:mm:ss"},   {T::pftString, "(999) 999-9999"}, {T::pftString, "AA-9999/xx"}};
  // Every command the tables know, and those no built-in table reaches (delete to the start).
  std::vector<std::vector<TFkKeyEntry>> tables;
  for (const char* name : {"Default", "WordStar", "Grid"}) tables.push_back(TFkCommandProcessor::BuiltInRows(name));
  const std::string typed = "0123456789aZ -/:.x";
  const std::vector<std::string> pastes = {"", "12/31/1999", "31", "(555) 123", "-:-", "abcdefghijklmnop", "2024"};
  int steps = 0;
  for (const auto& m : masks) {
    for (std::size_t t = 0; t < tables.size(); ++t) {
      SCOPED_TRACE(std::string(m.mask) + " table " + std::to_string(t));
      auto* f = AddField(m.type, m.mask);
      // Only this table translates keys.
      TFkCommandProcessor* commands = controller->EntryCommands();
      for (int k = 0; k < commands->TableCount(); ++k)
        commands->Tables(k)->IsActive = static_cast<std::size_t>(k) == t;
      const auto literals = Literals(f);
      ASSERT_FALSE(literals.empty());
      std::mt19937 random(static_cast<unsigned>(1234 + 17 * t + m.mask[0]));
      const auto& rows = tables[t];
      const int charWidth = f->Canvas()->TextWidth("0");
      for (int i = 0; i < 700; ++i, ++steps) {
        const int kind = static_cast<int>(random() % 10);
        if (kind < 5) {
          const TFkKeyEntry& row = rows[random() % rows.size()];
          const bool ctrl = (row.Shift1 & ksCtrl) != 0, shift = (row.Shift1 & ksShift) != 0,
                     alt = (row.Shift1 & ksAlt) != 0;
          Press(row.Key1, ctrl, shift, alt);
          if (row.Key2 != 0) Press(row.Key2);
        } else if (kind < 7) {
          const char c = typed[random() % typed.size()];
          InjectText(std::string(1, c));
          Pump();
        } else if (kind == 7) {
          const auto command = random() % 2 == 0 ? std::uint16_t{ccDelBol} : static_cast<std::uint16_t>(random() % 76);
          Command(f, command);
        } else if (kind == 8) {
          if (OpenClipboard(f->Handle())) {
            EmptyClipboard();
            SetClipboardData(CF_TEXT, pastes[random() % pastes.size()]);
            CloseClipboard();
          }
          Press('V', true);
        } else {
          const int x1 = f->TextMargin() + static_cast<int>(random() % 16) * charWidth + 1;
          const int x2 = f->TextMargin() + static_cast<int>(random() % 16) * charWidth + 1;
          const TPoint a = f->ClientToScreen(Point(x1, 10)), b = f->ClientToScreen(Point(x2, 10));
          switch (random() % 3) {
            case 0:
              InjectMouseDown(a.X, a.Y);
              InjectMouseMove(b.X, b.Y);
              InjectMouseUp(b.X, b.Y);
              break;
            case 1: InjectDoubleClick(f->Handle(), x1, 10); break;
            default: {
              InjectKeyDown(VK_SHIFT);
              InjectClick(f->Handle(), x2, 10);
              InjectKeyUp(VK_SHIFT);
            }
          }
          Pump();
        }
        if (!f->Focused()) {
          f->SetFocus();
          Pump();
        }
        const std::string text = f->EditText();
        for (const auto& [pos, ch] : literals) {
          ASSERT_LT(pos, static_cast<int>(text.size())) << "step " << i;
          ASSERT_EQ(text[static_cast<std::size_t>(pos)], ch) << "step " << i << ": \"" << text << "\"";
        }
        ASSERT_TRUE(CaretOffLiterals(f)) << "step " << i << ": caret " << f->CaretPosition() << " in \"" << text << "\"";
      }
      delete f;
      Pump();
    }
  }
  EXPECT_GE(steps, 10000);
}

TEST(DateArithStart, TheFieldkitStartSetsTodaysYearAndMonth) {
  DefaultYear = 0;
  DefaultMonth = 0;
  InitFieldkit();
  int d = 0, m = 0, y = 0;
  DayNumberToDMY(CurrentDayNumber(), d, m, y);
  EXPECT_EQ(DefaultYear, y);
  EXPECT_EQ(DefaultMonth, m);
  // A day and month without a year read in this year.
  EXPECT_EQ(DefaultIntlSup().TextToDayNumber("dd/mm", "15/03", 1910), DMYToDayNumber(15, 3, y, 0));
}

}  // namespace
}  // namespace tw::entry
