// Calendar arithmetic of the entry fields: dates as day numbers (days since 1 January 1600),
// times as seconds of the day, their parts, validation, week days, month and year steps,
// two-digit years resolved against an epoch, and conversion to and from TDateTime.
//
// Every routine is a pure function except the clock readers; invalid input never raises:
// an invalid date is -1, an invalid time is -1, and both convert to zeros or 0.0.
#pragma once

#include <cstdint>

#include "platform/rtl/datetime.h"

namespace tw::entry {

// Days since 1 January 1600 (a Saturday); -1: no valid date.  Valid years are 1600 to 3999.
using DayNumber = std::int32_t;
// Seconds since midnight, 0 to 86399; -1: no valid time.
using SecondsOfDay = std::int32_t;

inline constexpr DayNumber BadDate = -1;
inline constexpr SecondsOfDay BadTime = -1;
inline constexpr int MinYear = 1600;
inline constexpr int MaxYear = 3999;
// The day number of 31 December 3999.
inline constexpr DayNumber MaxDayNumber = 876581;
// The day number of 30 December 1899, day 0 of TDateTime.
inline constexpr DayNumber DateTimeDelta = 109571;

enum class TStDayType : std::uint8_t { Sunday, Monday, Tuesday, Wednesday, Thursday, Friday, Saturday };
// The week day of an invalid date.
inline constexpr TStDayType NoWeekDay = static_cast<TStDayType>(7);

// Today's year and month, used where a date text lacks its year or month.
extern int DefaultYear;
extern std::uint8_t DefaultMonth;

// A year below 100 resolved against the epoch: 10..99 with epoch 1910 become 1910..1999,
// 0..9 become 2000..2009.  Other years are returned unchanged.
int ResolveEpochYear(int year, int epoch);

bool IsLeapYear(int year);
// 0 for a year (after resolving) outside 1600..3999 or a month outside 1..12.
int DaysInMonth(int month, int year, int epoch);
bool ValidDate(int day, int month, int year, int epoch);
DayNumber DMYToDayNumber(int day, int month, int year, int epoch);
// An invalid day number gives day, month and year 0.
void DayNumberToDMY(DayNumber date, int& day, int& month, int& year);
// Moves the date by years and months (either negative); a day missing in the target month
// becomes its last day.  -1 when the date is invalid or the result leaves 1600..3999.
DayNumber AddMonthsYears(DayNumber date, int months, int years);
TStDayType DayNumberWeekDay(DayNumber date);
TStDayType DMYWeekDay(int day, int month, int year, int epoch);

// Today and the time of day from the class library's clock (which tests can fix).
DayNumber CurrentDayNumber();
// The date part of a date-time as the class library decodes it (to the nearest millisecond, so
// a moment less than half a millisecond before midnight is the next day); -1 outside
// 1600..3999 or for a value that is not a number.
DayNumber DateTimeToDayNumber(TDateTime value);
// 0.0 for an invalid day number.
TDateTime DayNumberToDateTime(DayNumber date);

// An invalid time gives 0, 0, 0.
void SecondsToHMS(SecondsOfDay t, std::uint8_t& h, std::uint8_t& m, std::uint8_t& s);
// Hours taken modulo 24; minutes and seconds above 59 carry.
SecondsOfDay HMSToSeconds(std::uint8_t h, std::uint8_t m, std::uint8_t s);
bool ValidTime(int h, int m, int s);
// Both wrap past midnight; an invalid time stays -1.
SecondsOfDay AddHMS(SecondsOfDay t, std::uint8_t h, std::uint8_t m, std::uint8_t s);
SecondsOfDay SubtractHMS(SecondsOfDay t, std::uint8_t h, std::uint8_t m, std::uint8_t s);
SecondsOfDay CurrentSeconds();
// The time part of a date-time decoded to the nearest millisecond, then to whole seconds
// (milliseconds dropped); it agrees with DateTimeToDayNumber about the day.  -1 for a value
// that is not a number.
SecondsOfDay DateTimeToSeconds(TDateTime value);
// 0.0 for an invalid time.
TDateTime SecondsToDateTime(SecondsOfDay t);

void SetDefaultYearMonth();
// Start-up of the unit: sets the default year and month.
void InitFkDateArith();

}  // namespace tw::entry
