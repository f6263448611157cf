// Date-time values checked against the standard calendar of <chrono>, and their texts.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"

namespace tw {
namespace {

using namespace std::chrono;

// 30 December 1899 as a chrono day.
const sys_days kEpoch = sys_days{year{1899} / December / 30};

class FixedClock : public ::testing::Test {
 protected:
  void SetUp() override { SetClock([] { return EncodeDate(2026, 12, 6) + EncodeTime(17, 30, 0, 0); }); }
  void TearDown() override { SetClock(nullptr); }
  ScopedFormatSettings settings_;
};

TEST(Calendar, EveryDayFrom1600To3999MatchesChrono) {
  for (sys_days d = sys_days{year{1600} / January / 1}; d <= sys_days{year{3999} / December / 31}; d += days{1}) {
    const year_month_day ymd{d};
    const int y = static_cast<int>(ymd.year());
    const int m = static_cast<int>(static_cast<unsigned>(ymd.month()));
    const int dd = static_cast<int>(static_cast<unsigned>(ymd.day()));
    const double expected = static_cast<double>((d - kEpoch).count());
    const TDateTime encoded = EncodeDate(y, m, dd);
    ASSERT_EQ(encoded, expected) << y << "-" << m << "-" << dd;
    std::uint16_t yy, mm, ddd;
    DecodeDate(ComposeDateTime(encoded, 0.75), yy, mm, ddd);
    ASSERT_EQ(yy, y);
    ASSERT_EQ(mm, m);
    ASSERT_EQ(ddd, dd);
    ASSERT_EQ(DayOfWeek(encoded), static_cast<int>(weekday{d}.c_encoding()) + 1);
  }
}

TEST(Calendar, LeapYearsAndMonthLengthsMatchChrono) {
  for (int y = 1; y <= 9999; ++y) {
    ASSERT_EQ(IsLeapYear(y), year{y}.is_leap()) << y;
  }
  for (int y : {1900, 2000, 2023, 2024}) {
    for (int m = 1; m <= 12; ++m) {
      const auto last = year_month_day_last{year{y}, month_day_last{month{static_cast<unsigned>(m)}}};
      EXPECT_EQ(DaysInAMonth(y, m), static_cast<int>(static_cast<unsigned>(last.day())));
    }
  }
  EXPECT_EQ(DaysInAMonth(2024, 13), 0);
}

TEST(Calendar, RangeEndsAndInvalidDates) {
  EXPECT_EQ(EncodeDate(1, 1, 1), 1.0 - DateDelta);
  EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(1, 1, 1)).Date, 1);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
  TDateTime d = 123;
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, d));
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(2024, 4, 31, d));
  EXPECT_FALSE(TryEncodeDate(2024, 0, 1, d));
  EXPECT_EQ(d, 123);  // untouched on failure
  try {
    EncodeDate(2023, 2, 29);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Invalid argument to date encode");
  }
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
}

TEST(TimeOfDay, EveryMillisecondStepRoundTrips) {
  // Every 7 ms of a day, on a positive and a negative day.
  for (int ms = 0; ms < MSecsPerDay; ms += 7) {
    const int h = ms / 3600000, n = ms / 60000 % 60, s = ms / 1000 % 60, z = ms % 1000;
    const TDateTime t = EncodeTime(h, n, s, z);
    for (TDateTime day : {45000.0, -700.0}) {
      std::uint16_t hh, nn, ss, zz;
      DecodeTime(ComposeDateTime(day, t), hh, nn, ss, zz);
      ASSERT_EQ(hh * 3600000 + nn * 60000 + ss * 1000 + zz, ms);
    }
  }
}

TEST(TimeOfDay, RoundingToTheNextMidnightMovesTheDay) {
  const TDateTime almost = EncodeDate(2000, 2, 28) + 0.99999999999;
  std::uint16_t y, m, d, h, n, s, z;
  DecodeDate(almost, y, m, d);
  DecodeTime(almost, h, n, s, z);
  EXPECT_EQ(d, 29);
  EXPECT_EQ(h + n + s + z, 0);
}

TEST(NegativeValues, IntegerPartIsTheDayFractionIsTheTime) {
  // -1.25 is 29 December 1899, 06:00.
  std::uint16_t y, m, d, h, n, s, z;
  DecodeDate(-1.25, y, m, d);
  DecodeTime(-1.25, h, n, s, z);
  EXPECT_EQ(y, 1899);
  EXPECT_EQ(m, 12);
  EXPECT_EQ(d, 29);
  EXPECT_EQ(h, 6);
  EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0)), -1.25);
  EXPECT_EQ(DayOfWeek(-1.25), 6);  // a Friday
  EXPECT_EQ(DateOf(-1.25), -1.0);
  EXPECT_EQ(TimeOf(-1.25), 0.25);
  const TTimeStamp ts = DateTimeToTimeStamp(-1.25);
  EXPECT_EQ(TimeStampToDateTime(ts), -1.25);
}

TEST(Unix, ConversionsAgreeWithChrono) {
  for (std::int64_t secs : {0LL, 86399LL, 1700000000LL, -1LL, -2208988800LL}) {
    const auto tp = sys_seconds{seconds{secs}};
    const auto day = floor<days>(tp);
    const double expected = static_cast<double>((day - kEpoch).count()) +
                            static_cast<double>((tp - day).count()) / SecsPerDay;
    EXPECT_DOUBLE_EQ(UnixToDateTime(secs), expected) << secs;
    EXPECT_EQ(DateTimeToUnix(UnixToDateTime(secs)), secs);
  }
}

TEST_F(FixedClock, NowDateAndTimeComeFromTheInstalledClock) {
  EXPECT_EQ(Date(), EncodeDate(2026, 12, 6));
  EXPECT_NEAR(Time(), EncodeTime(17, 30, 0, 0), 1e-9);
  SetClock(nullptr);
  // The real clock is near the system clock's local date (within a day of UTC).
  const double utcNow = UnixToDateTime(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
  EXPECT_NEAR(Now(), utcNow, 1.0);
}

// ---- texts ---------------------------------------------------------------------------

TEST_F(FixedClock, FormatDateTimeDocumentedSpecifiers) {
  const TDateTime v = EncodeDate(2003, 4, 5) + EncodeTime(14, 7, 9, 45);  // a Saturday
  EXPECT_EQ(FormatDateTime("c", v), "4/5/03 2:07:09 PM");
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2003, 4, 5)), "4/5/03");
  EXPECT_EQ(FormatDateTime("d dd ddd dddd", v), "5 05 Sat Saturday");
  EXPECT_EQ(FormatDateTime("ddddd", v), "4/5/03");
  EXPECT_EQ(FormatDateTime("dddddd", v), "Saturday, April 05, 2003");
  EXPECT_EQ(FormatDateTime("m mm mmm mmmm", v), "4 04 Apr April");
  EXPECT_EQ(FormatDateTime("yy yyyy", v), "03 2003");
  EXPECT_EQ(FormatDateTime("h hh n nn s ss z zzz", v), "14 14 7 07 9 09 45 045");
  EXPECT_EQ(FormatDateTime("t", v), "2:07 PM");
  EXPECT_EQ(FormatDateTime("tt", v), "2:07:09 PM");
  EXPECT_EQ(FormatDateTime("hh:nn am/pm", v), "02:07 pm");
  EXPECT_EQ(FormatDateTime("h:nn AM/PM", EncodeTime(0, 5, 0, 0)), "12:05 AM");
  EXPECT_EQ(FormatDateTime("h a/p", v), "2 p");
  EXPECT_EQ(FormatDateTime("h A/P", EncodeTime(9, 0, 0, 0)), "9 A");
  EXPECT_EQ(FormatDateTime("h ampm", v), "2 PM");
  EXPECT_EQ(FormatDateTime("hh:mm", v), "14:07");  // m after h is the minute
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd", v), "2003/04/05");
  EXPECT_EQ(FormatDateTime("'Date:' dd \"mm\" mm", v), "Date: 05 mm 04");
  EXPECT_EQ(FormatDateTime("dd 'open", v), "05 open");  // an unclosed quote runs to the end
  EXPECT_EQ(FormatDateTime("\"The meeting is on\" dddd, mmmm d, yyyy, \"at\" hh:nn AM/PM", v),
            "The meeting is on Saturday, April 5, 2003, at 02:07 PM");
}

TEST_F(FixedClock, FormatDateTimeUsesTheSettings) {
  TFormatSettings de = DefaultFormatSettings();
  de.DateSeparator = '.';
  de.TimeSeparator = '.';
  de.ShortDateFormat = "dd/mm/yyyy";
  de.LongTimeFormat = "hh:nn:ss";
  de.LongMonthNames[0] = "Januar";
  const TDateTime v = EncodeDate(1999, 1, 31) + EncodeTime(8, 5, 0, 0);
  EXPECT_EQ(FormatDateTime("c", v, de), "31.01.1999 08.05.00");
  EXPECT_EQ(FormatDateTime("mmmm", v, de), "Januar");
  // A format that names itself stops instead of recursing without end.
  de.ShortDateFormat = "ddddd";
  EXPECT_EQ(FormatDateTime("ddddd", v, de), "");
  EXPECT_EQ(DateTimeToStr(v), "1/31/99 8:05:00 AM");
  EXPECT_EQ(DateToStr(v), "1/31/99");
  EXPECT_EQ(TimeToStr(v), "8:05:00 AM");
}

// Dates written for the user show the whole year under every locale's short date (the C and
// unknown locales' "m/d/yy", en_GB's "%d/%m/%y", de_DE's "%d.%m.%Y"), keeping order and
// separators, for every year the program accepts.
TEST_F(FixedClock, WholeYearDatesKeepTheLocalesOrderAndSeparators) {
  EXPECT_EQ(WholeYearDateFormat("m/d/yy"), "m/d/yyyy");
  EXPECT_EQ(WholeYearDateFormat("dd.mm.yyyy"), "dd.mm.yyyy");
  EXPECT_EQ(WholeYearDateFormat("yy/mm/dd"), "yyyy/mm/dd");
  EXPECT_EQ(WholeYearDateFormat("d \"yy\" y"), "d \"yy\" yyyy") << "quoted text stays";
  EXPECT_EQ(WholeYearDateFormat("dddd, mmmm dd, yyyy"), "dddd, mmmm dd, yyyy");
  struct Locale {
    const char* name;
    const char* strftime;  // the locale's D_FMT; empty: the class library's defaults
    char separator;
    const char* dates[3];  // 1 January 1600, 10 December 1815, 31 December 3999
  };
  const Locale locales[] = {
      {"C / C.UTF-8 / missing", "", '/', {"1/1/1600", "12/10/1815", "12/31/3999"}},
      {"en_GB", "%d/%m/%y", '/', {"01/01/1600", "10/12/1815", "31/12/3999"}},
      {"de_DE", "%d.%m.%Y", '.', {"01.01.1600", "10.12.1815", "31.12.3999"}},
      {"ISO", "%Y-%m-%d", '-', {"1600-01-01", "1815-12-10", "3999-12-31"}},
  };
  for (const Locale& l : locales) {
    SCOPED_TRACE(l.name);
    TFormatSettings fs = DefaultFormatSettings();
    if (*l.strftime != 0) {
      fs.DateSeparator = l.separator;
      fs.ShortDateFormat = StrftimeToDateTimeFormat(l.strftime);
      for (char& c : fs.ShortDateFormat)
        if (c == l.separator) c = '/';
    }
    ScopedFormatSettings scoped(fs);
    const TDateTime days[] = {EncodeDate(1600, 1, 1), EncodeDate(1815, 12, 10), EncodeDate(3999, 12, 31)};
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(DateToStrWholeYear(days[k]), l.dates[k]);
      // Before 1899 the time of day counts away from the day (the class library's reading).
      const TDateTime time = EncodeTime(6, 34, 54, 0);
      EXPECT_EQ(DateTimeToStrWholeYear(days[k] < 0 ? days[k] - time : days[k] + time),
                std::string(l.dates[k]) + " " + FormatDateTime("tt", EncodeTime(6, 34, 54, 0)));
      EXPECT_EQ(DateTimeToStrWholeYear(days[k]), l.dates[k]) << "midnight shows no time";
    }
    EXPECT_EQ(FormatSettings().ShortDateFormat, fs.ShortDateFormat) << "the settings stay as they were";
  }
}

TEST_F(FixedClock, StrToDateFollowsTheShortDateOrder) {
  EXPECT_EQ(StrToDate("12/31/1999"), EncodeDate(1999, 12, 31));
  EXPECT_EQ(StrToDate(" 1 / 2 / 2003 "), EncodeDate(2003, 1, 2));
  EXPECT_EQ(StrToDate("3/4"), EncodeDate(2026, 3, 4));  // the current year
  EXPECT_EQ(StrToDate("1/2/2003/"), EncodeDate(2003, 1, 2));  // a trailing separator
  EXPECT_THROW(StrToDate("3/4/"), EConvertError);
  TFormatSettings dmy = DefaultFormatSettings();
  dmy.DateSeparator = '.';
  dmy.ShortDateFormat = "dd/mm/yyyy";
  EXPECT_EQ(StrToDate("31.12.1999", dmy), EncodeDate(1999, 12, 31));
  TFormatSettings ymd = DefaultFormatSettings();
  ymd.DateSeparator = '-';
  ymd.ShortDateFormat = "yyyy/mm/dd";
  EXPECT_EQ(StrToDate("2001-02-03", ymd), EncodeDate(2001, 2, 3));
}

TEST_F(FixedClock, TwoDigitYearsUseTheCenturyWindow) {
  // Now is 2026 and the window 50 years: 76..99 are 1976..1999, 00..75 are 2000..2075.
  EXPECT_EQ(StrToDate("1/1/76"), EncodeDate(1976, 1, 1));
  EXPECT_EQ(StrToDate("1/1/75"), EncodeDate(2075, 1, 1));
  EXPECT_EQ(StrToDate("1/1/05"), EncodeDate(2005, 1, 1));
  TFormatSettings noWindow = DefaultFormatSettings();
  noWindow.TwoDigitYearCenturyWindow = 0;
  EXPECT_EQ(StrToDate("1/1/99", noWindow), EncodeDate(2099, 1, 1));
  EXPECT_EQ(StrToDate("1/1/0099"), EncodeDate(99, 1, 1));  // four digits are taken as written
}

TEST_F(FixedClock, BadDatesRaiseWithTheirText) {
  for (const char* bad : {"", "12", "12/", "2/30/2000", "13/1/2000", "1/1/2000x", "a/b/c", "1/1/10000",
                          "99999/1/1", "1//2000"}) {
    try {
      StrToDate(bad);
      FAIL() << bad;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid date");
    }
  }
}

TEST_F(FixedClock, StrToTimeForms) {
  EXPECT_DOUBLE_EQ(StrToTime("13:45"), EncodeTime(13, 45, 0, 0));
  EXPECT_DOUBLE_EQ(StrToTime("13:45:30"), EncodeTime(13, 45, 30, 0));
  EXPECT_DOUBLE_EQ(StrToTime("7"), EncodeTime(7, 0, 0, 0));
  EXPECT_DOUBLE_EQ(StrToTime("1:05 PM"), EncodeTime(13, 5, 0, 0));
  EXPECT_DOUBLE_EQ(StrToTime("12:00 am"), EncodeTime(0, 0, 0, 0));
  EXPECT_DOUBLE_EQ(StrToTime("PM 12:30"), EncodeTime(12, 30, 0, 0));
  // The fraction of a second is read as a fraction.
  EXPECT_DOUBLE_EQ(StrToTime("10:00:00.5"), EncodeTime(10, 0, 0, 500));
  EXPECT_DOUBLE_EQ(StrToTime("10:00:00.0251"), EncodeTime(10, 0, 0, 25));
  for (const char* bad : {"", "24:00", "12:60", "13:00 PM", "0:30 AM", "10:", "10:00:", "10:00:00.", "x"}) {
    EXPECT_THROW(StrToTime(bad), EConvertError) << bad;
  }
  try {
    StrToTime("25:00");
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'25:00' is not a valid time");
  }
  TFormatSettings noAm = DefaultFormatSettings();
  noAm.TimeAMString = "";
  noAm.TimePMString = "";
  EXPECT_DOUBLE_EQ(StrToTime("18:00", noAm), EncodeTime(18, 0, 0, 0));
}

TEST_F(FixedClock, StrToDateTimeCombinesAndRoundTrips) {
  EXPECT_DOUBLE_EQ(StrToDateTime("4/5/2003 2:07:09 PM"), EncodeDate(2003, 4, 5) + EncodeTime(14, 7, 9, 0));
  EXPECT_DOUBLE_EQ(StrToDateTime("4/5/2003"), EncodeDate(2003, 4, 5));
  EXPECT_DOUBLE_EQ(StrToDateTime("14:00"), EncodeTime(14, 0, 0, 0));
  EXPECT_DOUBLE_EQ(StrToDateTime("12/29/1899 6:00 AM"), -1.25);
  EXPECT_THROW(StrToDateTime("4/5/2003 25:00"), EConvertError);
  EXPECT_THROW(StrToDateTime("4/5/2003 10:00 junk"), EConvertError);
  const TDateTime v = EncodeDate(2010, 10, 10) + EncodeTime(22, 10, 10, 0);
  TFormatSettings fourDigit = DefaultFormatSettings();
  fourDigit.ShortDateFormat = "m/d/yyyy";
  ScopedFormatSettings scoped(fourDigit);
  EXPECT_DOUBLE_EQ(StrToDateTime(DateTimeToStr(v)), v);
}

}  // namespace
}  // namespace tw
