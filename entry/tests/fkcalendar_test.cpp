#include <gtest/gtest.h>

#include <random>

#include "entry/fkcalendar.h"
#include "entry/tests/entry_test_util.h"

namespace tw::entry {
namespace {

DayNumber Date(int d, int m, int y) { return DMYToDayNumber(d, m, y, 0); }

class CalendarTest : public test::EntryGuiTest {
 protected:
  void SetUp() override {
    EntryGuiTest::SetUp();
    form = NewForm(300, 250);
    new TFkController(form);
    cal = new TFkCalendar(form);
    cal->SetParent(form);
    cal->SetBounds(0, 0, 280, 230);
    cal->SetInitialize(false);
    changes = 0;
    cal->OnChange = [this](TObject*) { ++changes; };
  }
  void ShowAndFocus() {
    form->Show();
    Pump();
    cal->SetFocus();
    Pump();
  }
  void Click(int cell) {
    const TRect r = cal->CellRect(cell);
    const int x = (r.Left + r.Right) / 2, y = (r.Top + r.Bottom) / 2;
    cal->Perform(WM_LBUTTONDOWN, MK_LBUTTON, static_cast<LPARAM>((y << 16) | x));
    cal->Perform(WM_LBUTTONUP, 0, static_cast<LPARAM>((y << 16) | x));
    Pump();
  }
  TForm* form = nullptr;
  TFkCalendar* cal = nullptr;
  int changes = 0;
};

TEST_F(CalendarTest, GridOfMarchAndFebruary) {
  cal->SetDate(Date(15, 3, 2009));
  EXPECT_EQ(cal->FirstCell(), 1) << "1 March 2009 was a Sunday";
  EXPECT_EQ(cal->CellDay(32), 1);
  EXPECT_EQ(cal->CellDay(42), 11);
  cal->SetWeekStarts(TStDayType::Monday);
  cal->SetDate(Date(10, 2, 2009));
  EXPECT_EQ(cal->FirstCell(), 7);
  EXPECT_EQ(cal->CellDay(1), 26);
  EXPECT_EQ(cal->CellDay(6), 31);
  EXPECT_EQ(cal->LastCell(), 34);
}

TEST_F(CalendarTest, SetDateRulesAndEvents) {
  cal->SetDate(Date(10, 2, 2000));
  EXPECT_EQ(changes, 1);
  cal->SetDate(Date(10, 2, 2000));
  EXPECT_EQ(changes, 1) << "the same date changes nothing";
  cal->SetDate(Date(15, 1, 1600));
  cal->SetDate(Date(5, 12, 3999));
  cal->SetDate(BadDate);
  EXPECT_EQ(cal->GetDate(), Date(10, 2, 2000));
  // What it refuses, said beforehand, and the nearest day it takes.
  for (auto [day, nearest] : {std::pair{Date(1, 1, 1600), Date(1, 2, 1600)}, std::pair{Date(31, 1, 1600), Date(29, 2, 1600)},
                              std::pair{Date(1, 2, 1600), Date(1, 2, 1600)}, std::pair{Date(30, 11, 3999), Date(30, 11, 3999)},
                              std::pair{Date(31, 12, 3999), Date(30, 11, 3999)}, std::pair{BadDate, BadDate}}) {
    EXPECT_EQ(TFkCustomCalendar::Shows(day), day == nearest && day != BadDate) << day;
    EXPECT_EQ(TFkCustomCalendar::NearestShown(day), nearest) << day;
    cal->SetDate(nearest);
    if (nearest != BadDate) {
      EXPECT_EQ(cal->GetDate(), nearest);
    }
  }
  cal->SetDate(Date(10, 2, 2000));
  changes = 1;
  cal->SetDay(30);
  EXPECT_EQ(cal->Day(), 10) << "30 February does not exist";
  cal->SetYear(2004);
  EXPECT_EQ(cal->GetDate(), Date(10, 2, 2004));
  cal->IncMonths(-2);
  EXPECT_EQ(cal->GetDate(), Date(10, 12, 2003));
  cal->IncYears(3);
  EXPECT_EQ(cal->GetDate(), Date(10, 12, 2006));
}

TEST_F(CalendarTest, KeysMoveTheSelection) {
  ShowAndFocus();
  cal->SetDate(Date(10, 2, 2000));
  Press(VK_END);
  EXPECT_EQ(cal->GetDate(), Date(29, 2, 2000));
  Press(VK_RIGHT);
  EXPECT_EQ(cal->GetDate(), Date(1, 3, 2000));
  Press(VK_UP);
  EXPECT_EQ(cal->GetDate(), Date(23, 2, 2000));
  Press(VK_HOME);
  EXPECT_EQ(cal->GetDate(), Date(1, 2, 2000));
  cal->SetDate(Date(31, 1, 2001));
  Press(VK_NEXT);
  EXPECT_EQ(cal->GetDate(), Date(28, 2, 2001));
  Press(VK_END, true);
  EXPECT_EQ(cal->GetDate(), Date(28, 2, 2002)) << "Ctrl+End: a year ahead";
}

TEST_F(CalendarTest, ClickPicksADayAlsoInTheNextMonth) {
  ShowAndFocus();
  cal->SetDate(Date(15, 3, 2009));
  Click(10);
  EXPECT_EQ(cal->GetDate(), Date(10, 3, 2009));
  Click(33);
  EXPECT_EQ(cal->GetDate(), Date(2, 4, 2009));
  EXPECT_EQ(cal->FirstCell(), 4) << "the grid shows April now";
}

TEST_F(CalendarTest, ReadOnlyIgnoresKeysAndClicks) {
  ShowAndFocus();
  cal->SetDate(Date(15, 3, 2009));
  cal->ReadOnly = true;
  Press(VK_RIGHT);
  Click(3);
  EXPECT_EQ(cal->GetDate(), Date(15, 3, 2009));
}

TEST_F(CalendarTest, InitializeSelectsToday) {
  SetClock([] { return DayNumberToDateTime(Date(6, 12, 2026)); });
  cal->SetInitialize(true);
  EXPECT_EQ(cal->GetDate(), Date(6, 12, 2026));
  SetClock(nullptr);
}

TEST_F(CalendarTest, BorderFramesTheGridAndDoubleClicksCanBeRefused) {
  cal->SetDate(Date(15, 3, 2009));
  ShowAndFocus();
  auto pixel = [this](int x, int y) { return Pixel(cal, x, y); };
  const std::uint32_t back = pixel(cal->ClientWidth() / 2, cal->CellRect(20).Top + 3);
  EXPECT_NE(pixel(0, 0), back) << "the sunken edge";
  EXPECT_GE(cal->CellRect(1).Left, 2);
  EXPECT_LE(cal->CellRect(42).Right, cal->ClientWidth() - 2);
  cal->SetBorderStyle(TBorderStyle::bsNone);
  cal->Repaint();
  EXPECT_EQ(cal->CellRect(1).Left, 0);
  EXPECT_EQ(cal->CellRect(42).Right, cal->ClientWidth());

  int doubles = 0;
  cal->OnDblClick = [&](TObject*) { ++doubles; };
  const TRect r = cal->CellRect(20);
  auto doubleClick = [&] {
    InjectDoubleClick(cal->Handle(), (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    Pump();
  };
  doubleClick();
  EXPECT_EQ(doubles, 1);
  cal->SetWantDblClicks(false);
  doubleClick();
  EXPECT_EQ(doubles, 1);
}

}  // namespace
}  // namespace tw::entry

namespace tw::entry {
namespace {

// Random keys, clicks and week starts from dates all over the range, its ends included: the
// selection follows the day-number arithmetic, stays where a month can still be paged from, and
// the grid always shows the selected month from the cell of the week day its 1st falls on.
TEST_F(CalendarTest, RandomKeysAndClicksFollowTheDateArithmetic) {
  ShowAndFocus();
  std::mt19937 random(2026);
  const DayNumber starts[] = {Date(15, 2, 1600), Date(28, 2, 1600), Date(31, 12, 1999), Date(29, 2, 2000),
                              Date(31, 1, 2001), Date(1, 12, 3999) - 1, Date(30, 11, 3999)};
  int steps = 0;
  for (DayNumber start : starts) {
    cal->SetDate(start);
    ASSERT_EQ(cal->GetDate(), start);
    for (int i = 0; i < 300; ++i, ++steps) {
      const DayNumber d = cal->GetDate();
      int day, month, year;
      DayNumberToDMY(d, day, month, year);
      DayNumber want = d;
      auto to = [&](DayNumber target) {
        if (TFkCustomCalendar::Shows(target)) want = target;
      };
      std::string what;
      switch (random() % 11) {
        case 0: what = "Left"; Press(VK_LEFT); to(d - 1); break;
        case 1: what = "Right"; Press(VK_RIGHT); to(d + 1); break;
        case 2: what = "Up"; Press(VK_UP); to(d - 7); break;
        case 3: what = "Down"; Press(VK_DOWN); to(d + 7); break;
        case 4: what = "Home"; Press(VK_HOME); to(Date(1, month, year)); break;
        case 5: what = "End"; Press(VK_END); to(Date(DaysInMonth(month, year, 0), month, year)); break;
        case 6: what = "PgUp"; Press(VK_PRIOR); to(AddMonthsYears(d, -1, 0)); break;
        case 7: what = "PgDn"; Press(VK_NEXT); to(AddMonthsYears(d, 1, 0)); break;
        case 8: what = "Ctrl+End"; Press(VK_END, true); to(AddMonthsYears(d, 0, 1)); break;
        case 9: {
          const auto ws = static_cast<TStDayType>(random() % 7);
          what = "week starts " + std::to_string(static_cast<int>(ws));
          cal->SetWeekStarts(ws);
          break;
        }
        default: {
          const int cell = 1 + static_cast<int>(random() % 42);
          what = "click " + std::to_string(cell);
          const int selected = cal->FirstCell() + day - 1;
          Click(cell);
          to(d + cell - selected);
        }
      }
      SCOPED_TRACE(testing::Message() << "step " << i << " from " << d << ": " << what);
      ASSERT_EQ(cal->GetDate(), want);
      DayNumberToDMY(want, day, month, year);
      const int first = cal->FirstCell();
      ASSERT_EQ((static_cast<int>(cal->WeekStarts()) + first - 1) % 7, static_cast<int>(DMYWeekDay(1, month, year, 0)));
      const int days = DaysInMonth(month, year, 0);
      const int before = DaysInMonth(month == 1 ? 12 : month - 1, month == 1 ? year - 1 : year, 0);
      for (int cell = 1; cell <= 42; ++cell) {
        const int shown = cell < first ? before - (first - cell) + 1 : cell < first + days ? cell - first + 1
                                                                                          : cell - first - days + 1;
        ASSERT_EQ(cal->CellDay(cell), shown) << "cell " << cell;
      }
    }
  }
  EXPECT_GE(steps, 2000);
}

}  // namespace
}  // namespace tw::entry
