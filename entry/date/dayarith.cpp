#include "entry/date/dayarith.h"

#include <algorithm>
#include <cmath>

namespace tw::entry {

int DefaultYear = 0;
std::uint8_t DefaultMonth = 0;

namespace {

constexpr int SecondsPerDay = 86400;

bool ValidDayNumber(DayNumber date) { return date >= 0 && date <= MaxDayNumber; }
bool ValidSeconds(SecondsOfDay t) { return t >= 0 && t < SecondsPerDay; }


}  // namespace

int ResolveEpochYear(int year, int epoch) {
  if (year < 0 || year >= 100) return year;
  int century = (epoch / 100) * 100;
  if (epoch % 100 > year) century += 100;
  return century + year;
}

bool IsLeapYear(int year) {
  return year % 4 == 0 && year % 4000 != 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int month, int year, int epoch) {
  year = ResolveEpochYear(year, epoch);
  if (year < MinYear || year > MaxYear) return 0;
  switch (month) {
    case 1: case 3: case 5: case 7: case 8: case 10: case 12:
      return 31;
    case 4: case 6: case 9: case 11:
      return 30;
    case 2:
      return IsLeapYear(year) ? 29 : 28;
    default:
      return 0;
  }
}

bool ValidDate(int day, int month, int year, int epoch) {
  year = ResolveEpochYear(year, epoch);
  return day >= 1 && year >= MinYear && year <= MaxYear && month >= 1 && month <= 12 &&
         day <= DaysInMonth(month, year, 0);
}

DayNumber DMYToDayNumber(int day, int month, int year, int epoch) {
  year = ResolveEpochYear(year, epoch);
  if (!ValidDate(day, month, year, 0)) return BadDate;
  if (year == MinYear && month <= 2) return month == 1 ? day - 1 : day + 30;
  int m;
  if (month > 2) {
    m = month - 3;
  } else {
    m = month + 9;
    --year;
  }
  const int y = year - MinYear;
  return ((y / 100) * 146097) / 4 + ((y % 100) * 1461) / 4 + (153 * m + 2) / 5 + day + 59;
}

void DayNumberToDMY(DayNumber date, int& day, int& month, int& year) {
  if (!ValidDayNumber(date)) {
    day = month = year = 0;
    return;
  }
  if (date <= 59) {
    year = MinYear;
    if (date <= 30) {
      month = 1;
      day = date + 1;
    } else {
      month = 2;
      day = date - 30;
    }
    return;
  }
  int i = 4 * (date - 59) - 1;
  const int j = 4 * ((i % 146097) / 4) + 3;
  year = 100 * (i / 146097) + j / 1461;
  i = 5 * (((j % 1461) + 4) / 4) - 3;
  month = i / 153;
  day = ((i % 153) + 5) / 5;
  if (month < 10) {
    month += 3;
  } else {
    month -= 9;
    ++year;
  }
  year += MinYear;
}

DayNumber AddMonthsYears(DayNumber date, int months, int years) {
  if (!ValidDayNumber(date)) return BadDate;
  int day, month, year;
  DayNumberToDMY(date, day, month, year);
  int excess = 0;
  if (day > 28) {
    excess = day - 28;
    day = 28;
  }
  // Wide arithmetic: a step of billions of years must give -1, not wrap into the valid range.
  std::int64_t newYear = static_cast<std::int64_t>(year) + years + months / 12;
  int newMonth = month + months % 12;
  if (newMonth < 1) {
    newMonth += 12;
    --newYear;
  } else if (newMonth > 12) {
    newMonth -= 12;
    ++newYear;
  }
  if (newYear < MinYear || newYear > MaxYear) return BadDate;
  DayNumber result = DMYToDayNumber(day, newMonth, static_cast<int>(newYear), 0);
  if (result == BadDate) return BadDate;
  const int length = DaysInMonth(newMonth, static_cast<int>(newYear), 0);
  return result + (length >= 28 + excess ? excess : length - 28);
}

TStDayType DayNumberWeekDay(DayNumber date) {
  if (!ValidDayNumber(date)) return NoWeekDay;
  return static_cast<TStDayType>((date + 6) % 7);
}

TStDayType DMYWeekDay(int day, int month, int year, int epoch) {
  return DayNumberWeekDay(DMYToDayNumber(day, month, year, epoch));
}

DayNumber CurrentDayNumber() { return DateTimeToDayNumber(Date()); }

DayNumber DateTimeToDayNumber(TDateTime value) {
  // Decoded as the class library decodes: to the nearest millisecond, so that a moment a hair
  // before midnight is the next day at 00:00:00, as DateTimeToSeconds reads its time.
  const TTimeStamp stamp = DateTimeToTimeStamp(value);
  if (stamp.Date == 0) return BadDate;  // not a number, or outside the class library's years
  const std::int64_t days = static_cast<std::int64_t>(stamp.Date) - DateDelta + DateTimeDelta;
  if (days < 0 || days > MaxDayNumber) return BadDate;
  return static_cast<DayNumber>(days);
}

TDateTime DayNumberToDateTime(DayNumber date) {
  if (!ValidDayNumber(date)) return 0.0;
  return static_cast<TDateTime>(date - DateTimeDelta);
}

void SecondsToHMS(SecondsOfDay t, std::uint8_t& h, std::uint8_t& m, std::uint8_t& s) {
  if (!ValidSeconds(t)) {
    h = m = s = 0;
    return;
  }
  h = static_cast<std::uint8_t>(t / 3600);
  const int rest = t % 3600;
  m = static_cast<std::uint8_t>(rest / 60);
  s = static_cast<std::uint8_t>(rest % 60);
}

SecondsOfDay HMSToSeconds(std::uint8_t h, std::uint8_t m, std::uint8_t s) {
  return ((h % 24) * 3600 + m * 60 + s) % SecondsPerDay;
}

bool ValidTime(int h, int m, int s) {
  return h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 60;
}

SecondsOfDay AddHMS(SecondsOfDay t, std::uint8_t h, std::uint8_t m, std::uint8_t s) {
  if (!ValidSeconds(t)) return BadTime;
  return (t + HMSToSeconds(h, m, s)) % SecondsPerDay;
}

SecondsOfDay SubtractHMS(SecondsOfDay t, std::uint8_t h, std::uint8_t m, std::uint8_t s) {
  if (!ValidSeconds(t)) return BadTime;
  SecondsOfDay result = t - HMSToSeconds(h % 24, m, s);
  if (result < 0) result += SecondsPerDay;
  return result;
}

SecondsOfDay CurrentSeconds() {
  const auto seconds = static_cast<SecondsOfDay>(std::trunc(Time() * SecondsPerDay));
  return std::clamp(seconds, 0, SecondsPerDay - 1);
}

SecondsOfDay DateTimeToSeconds(TDateTime value) {
  if (!std::isfinite(value)) return BadTime;
  // The time of day to the nearest millisecond, then the milliseconds dropped.
  return DateTimeToTimeStamp(value).Time / 1000;
}

TDateTime SecondsToDateTime(SecondsOfDay t) {
  if (!ValidSeconds(t)) return 0.0;
  return static_cast<TDateTime>(t) / SecondsPerDay;
}

void SetDefaultYearMonth() {
  int day, month, year;
  DayNumberToDMY(CurrentDayNumber(), day, month, year);
  DefaultYear = year;
  DefaultMonth = static_cast<std::uint8_t>(month);
}

void InitFkDateArith() { SetDefaultYearMonth(); }

}  // namespace tw::entry
