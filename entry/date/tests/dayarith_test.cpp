#include "entry/date/dayarith.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <tuple>

namespace tw::entry {
namespace {

namespace chr = std::chrono;

TEST(DayNumbers, AgreeWithTheCivilCalendarOnEveryDayFrom1600To3999) {
  const chr::sys_days origin = chr::year{1600} / chr::January / chr::day{1};
  for (chr::sys_days day = origin; day <= chr::sys_days{chr::year{3999} / chr::December / chr::day{31}}; day += chr::days{1}) {
    const chr::year_month_day ymd{day};
    const int d = static_cast<int>(static_cast<unsigned>(ymd.day())), m = static_cast<int>(static_cast<unsigned>(ymd.month())),
              y = static_cast<int>(ymd.year());
    const int expected = static_cast<int>((day - origin).count());
    ASSERT_EQ(DMYToDayNumber(d, m, y, 0), expected) << y << "-" << m << "-" << d;
    int dd, mm, yy;
    DayNumberToDMY(expected, dd, mm, yy);
    ASSERT_TRUE(dd == d && mm == m && yy == y) << expected;
    ASSERT_EQ(static_cast<unsigned>(DayNumberWeekDay(expected)), chr::weekday{day}.c_encoding());
    if (d == 1) {
      ASSERT_EQ(DaysInMonth(m, y, 0), static_cast<int>(static_cast<unsigned>((ymd.year() / ymd.month() / chr::last).day())));
    }
  }
}

TEST(DayNumbers, BoundsAndInvalidInput) {
  EXPECT_EQ(DMYToDayNumber(1, 1, 1600, 0), 0);
  EXPECT_EQ(DMYToDayNumber(29, 2, 1600, 0), 59);
  EXPECT_EQ(DMYToDayNumber(31, 12, 3999, 0), MaxDayNumber);
  for (auto [d, m, y] : {std::tuple{31, 12, 1599}, {1, 1, 4000}, {29, 2, 1900}, {0, 1, 2000}, {1, 13, 2000}, {31, 4, 2000}})
    EXPECT_EQ(DMYToDayNumber(d, m, y, 0), BadDate) << y << "-" << m << "-" << d;
  EXPECT_FALSE(IsLeapYear(4000));
  for (DayNumber bad : {BadDate, -2, MaxDayNumber + 1, std::numeric_limits<DayNumber>::min()}) {
    int d = 9, m = 9, y = 9;
    DayNumberToDMY(bad, d, m, y);
    EXPECT_TRUE(d == 0 && m == 0 && y == 0) << bad;
    EXPECT_EQ(DayNumberWeekDay(bad), NoWeekDay);
    EXPECT_EQ(DayNumberToDateTime(bad), 0.0);
    EXPECT_EQ(AddMonthsYears(bad, 1, 0), BadDate);
  }
}

TEST(DayNumbers, TwoDigitYearsResolveAgainstTheEpoch) {
  EXPECT_EQ(DMYToDayNumber(1, 1, 5, 1910), DMYToDayNumber(1, 1, 2005, 0));
  EXPECT_EQ(DMYToDayNumber(1, 1, 10, 1910), DMYToDayNumber(1, 1, 1910, 0));
  EXPECT_EQ(DMYToDayNumber(1, 1, 99, 1910), DMYToDayNumber(1, 1, 1999, 0));
  EXPECT_EQ(DMYToDayNumber(1, 1, 99, 0), BadDate);
  EXPECT_EQ(DaysInMonth(2, 0, 1910), 29);
}

TEST(DayNumbers, MonthAndYearStepsKeepTheDayOrTakeTheLast) {
  struct Step { int d, m, y, months, years, rd, rm, ry; };  // ry 0: no valid result
  const Step steps[] = {{31, 1, 2001, 1, 0, 28, 2, 2001},  {31, 1, 2000, 1, 0, 29, 2, 2000},
                        {31, 3, 2001, -1, 0, 28, 2, 2001}, {15, 12, 3999, 1, 0, 0, 0, 0},
                        {31, 1, 2001, -2, 0, 30, 11, 2000}, {29, 2, 2000, 0, 1, 28, 2, 2001},
                        {31, 8, 2001, -25, 0, 31, 7, 1999}, {15, 1, 1600, -1, 0, 0, 0, 0},
                        {10, 5, 2001, 0, 2000000000, 0, 0, 0},
                        {10, 5, 2001, std::numeric_limits<int>::min(), std::numeric_limits<int>::min(), 0, 0, 0}};
  for (const auto& s : steps)
    EXPECT_EQ(AddMonthsYears(DMYToDayNumber(s.d, s.m, s.y, 0), s.months, s.years),
              s.ry == 0 ? BadDate : DMYToDayNumber(s.rd, s.rm, s.ry, 0))
        << s.d << "." << s.m << "." << s.y << " + " << s.months << "m " << s.years << "y";
}

TEST(SecondsOfDay, CarryWrapAndInvalidTimes) {
  EXPECT_EQ(HMSToSeconds(25, 0, 0), 3600);
  EXPECT_EQ(HMSToSeconds(0, 61, 61), 3721);
  EXPECT_EQ(AddHMS(86000, 0, 10, 0), 200);
  EXPECT_EQ(SubtractHMS(100, 0, 2, 0), 86380);
  std::uint8_t h, m, s;
  SecondsToHMS(86399, h, m, s);
  EXPECT_TRUE(h == 23 && m == 59 && s == 59);
  for (SecondsOfDay bad : {BadTime, -5, 86400}) {
    SecondsToHMS(bad, h, m, s);
    EXPECT_TRUE(h == 0 && m == 0 && s == 0) << bad;
    EXPECT_EQ(SecondsToDateTime(bad), 0.0);
    EXPECT_EQ(AddHMS(bad, 1, 0, 0), BadTime);
    EXPECT_EQ(SubtractHMS(bad, 1, 0, 0), BadTime);
  }
}

TEST(DateTimeConversion, DaysAndSecondsBothWays) {
  EXPECT_EQ(DayNumberToDateTime(DMYToDayNumber(30, 12, 1899, 0)), 0.0);
  EXPECT_EQ(DayNumberToDateTime(DMYToDayNumber(1, 1, 2000, 0)), 36526.0);
  EXPECT_EQ(DateTimeToDayNumber(36526.75), DMYToDayNumber(1, 1, 2000, 0));
  // Before day 0 the whole days count toward zero and the fraction is the time.
  EXPECT_EQ(DateTimeToDayNumber(-1.25), DMYToDayNumber(29, 12, 1899, 0));
  EXPECT_EQ(DateTimeToSeconds(-1.25), 6 * 3600);
  EXPECT_EQ(DateTimeToDayNumber(DayNumberToDateTime(0) - 1), BadDate);
  EXPECT_EQ(DateTimeToDayNumber(DayNumberToDateTime(MaxDayNumber) + 1), BadDate);
  EXPECT_EQ(DateTimeToDayNumber(std::numeric_limits<double>::quiet_NaN()), BadDate);
  EXPECT_EQ(DateTimeToSeconds(std::numeric_limits<double>::infinity()), BadTime);
  for (SecondsOfDay t = 0; t < 86400; t += 7) ASSERT_EQ(DateTimeToSeconds(36526.0 + SecondsToDateTime(t)), t);
}

TEST(DateTimeConversion, AMomentRoundingUpToMidnightIsTheNextDay) {
  // Less than half a millisecond before midnight: both parts read the next day at 00:00:00,
  // never the same day at 00:00:00 (a whole day early).
  const TDateTime nearlyMidnight = 36526.0 + 1.0 - 0.0001 / 86400;
  EXPECT_EQ(DateTimeToSeconds(nearlyMidnight), 0);
  EXPECT_EQ(DateTimeToDayNumber(nearlyMidnight), DMYToDayNumber(2, 1, 2000, 0));
  const TDateTime justBefore = 36526.0 + 1.0 - 0.6 / 86400000;  // rounds down to 23:59:59.999
  EXPECT_EQ(DateTimeToSeconds(justBefore), 86399);
  EXPECT_EQ(DateTimeToDayNumber(justBefore), DMYToDayNumber(1, 1, 2000, 0));
  // Before day 0 the day counts toward zero: 29 December 1899 at nearly midnight is the 30th.
  const TDateTime negative = -1.0 - (1.0 - 0.0001 / 86400);
  EXPECT_EQ(DateTimeToDayNumber(negative), DMYToDayNumber(30, 12, 1899, 0));
  EXPECT_EQ(DateTimeToSeconds(negative), 0);
  EXPECT_EQ(DateTimeToDayNumber(DayNumberToDateTime(MaxDayNumber) + 1.0 - 0.0001 / 86400), BadDate);
}

TEST(DateTimeConversion, TodayAndNowComeFromTheClock) {
  SetClock([] { return 45657.0 + 86399.0009 / 86400; });  // 31 December 2024, 23:59:59
  InitFkDateArith();
  EXPECT_EQ(CurrentDayNumber(), DMYToDayNumber(31, 12, 2024, 0));
  EXPECT_EQ(CurrentSeconds(), 86399);
  EXPECT_TRUE(DefaultYear == 2024 && DefaultMonth == 12);
  SetClock({});
}

}  // namespace
}  // namespace tw::entry
