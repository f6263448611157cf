// Date-time values: days since 30 December 1899 with the time of day as the fraction.
//
// Negative values keep the class library's reading: the integer part counts the day
// (-1 is 29 December 1899) and the fraction's absolute value is the time of day, so
// -1.25 is 29 December 1899, 06:00.  Use `ComposeDateTime` to put a date and a time together
// for either sign.  Valid years are 1 to 9999.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/rtl/formatsettings.h"

namespace tw {

using TDateTime = double;

// Days from 1 January 0001 to 30 December 1899: the offset between the day count of
// `TTimeStamp` (and of the database engine's stored dates) and a TDateTime's day.
inline constexpr std::int32_t DateDelta = 693594;
inline constexpr std::int32_t HoursPerDay = 24;
inline constexpr std::int32_t MinsPerDay = 24 * 60;
inline constexpr std::int32_t SecsPerDay = 24 * 60 * 60;
inline constexpr std::int32_t MSecsPerDay = SecsPerDay * 1000;

// Days in each month, [leap year][month - 1].
inline constexpr std::array<std::array<std::uint16_t, 12>, 2> MonthDays{{
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
}};

// Date as days since 1 January 0001 (day 1) and time as milliseconds since midnight.
struct TTimeStamp {
  std::int32_t Time = 0;
  std::int32_t Date = 0;
};

bool IsLeapYear(int year);              // Gregorian rule
int DaysInAMonth(int year, int month);  // 0 for a month outside 1..12

// EncodeDate raises EConvertError "Invalid argument to date encode" for a date outside
// 1/1/1 .. 12/31/9999; EncodeTime raises "Invalid argument to time encode" unless
// hour < 24, min < 60, sec < 60, msec < 1000.
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time);
// A date (integral) and a time of day (0 <= time < 1) as one value, for either sign.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// Decoding rounds to the nearest millisecond.  Values outside the valid years give 0s.
void DecodeDate(TDateTime date, std::uint16_t& year, std::uint16_t& month, std::uint16_t& day);
void DecodeTime(TDateTime time, std::uint16_t& hour, std::uint16_t& min, std::uint16_t& sec,
                std::uint16_t& msec);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime date);

TTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);

// The day part and the time-of-day part (always 0 <= result < 1) of a value.
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);

// ---- the clock ------------------------------------------------------------------------

// Now, today and the time of day, in local time, from the installed clock.
TDateTime Now();
TDateTime Date();
TDateTime Time();
// The instant the installed clock gives, in milliseconds since the Unix epoch.  A local reading
// alone cannot tell the two showings of an hour the clocks show twice apart; the instant can.
std::int64_t NowUnixMilliseconds();
// Replaces the clock with one that gives local readings (tests fix "now"); the instant is then
// that reading through the machine's zone rules.  An empty function restores the real clock.
void SetClock(std::function<TDateTime()> clock);
// Replaces the clock with one that gives instants (milliseconds since the Unix epoch); Now()
// reads them on the machine's local clock.  An empty function restores the real clock.
void SetInstantClock(std::function<std::int64_t()> clock);

// Local time <-> seconds since the Unix epoch, through the system's time-zone rules.
TDateTime UnixToLocalDateTime(std::int64_t unixSeconds);
// A local reading in whole seconds (the first showing of a repeated hour); false where the
// system cannot place it.
bool LocalDateTimeToUnix(TDateTime value, std::int64_t& unixSeconds);
TDateTime UnixToDateTime(std::int64_t unixSeconds);  // no zone applied (UTC)
std::int64_t DateTimeToUnix(TDateTime value);        // value read as UTC

// ---- text ---------------------------------------------------------------------------

// FormatDateTime specifiers (letters case-insensitive):
//   c      ShortDateFormat, then a blank and LongTimeFormat unless the time is midnight
//   d dd   day without / with leading zero     ddd dddd  short / long day name
//   ddddd  ShortDateFormat                     dddddd    LongDateFormat
//   m mm   month (minute right after h/hh)     mmm mmmm  short / long month name
//   yy     two-digit year                      yyyy      four-digit year
//   h hh   hour (12-hour when an am/pm specifier follows)
//   n nn   minute      s ss  second            z zzz  milliseconds
//   t      ShortTimeFormat                     tt        LongTimeFormat
//   am/pm  "am"/"pm" in the case written       a/p       "a"/"p" in the case written
//   ampm   TimeAMString / TimePMString
//   /      DateSeparator                       :         TimeSeparator
//   'xx' "xx"  literal text; any other character stands for itself
std::string FormatDateTime(std::string_view format, TDateTime value);
std::string FormatDateTime(std::string_view format, TDateTime value,
                           const TFormatSettings& settings);
std::string DateToStr(TDateTime value);
std::string TimeToStr(TDateTime value);
std::string DateTimeToStr(TDateTime value);

// Dates written for the user always show the whole year: the settings' short and long date
// formats with every shorter year ("yy") widened to "yyyy", keeping order, separators and
// quoted text ("m/d/yy" gives "m/d/yyyy", "dd.mm.yy" gives "dd.mm.yyyy").
std::string WholeYearDateFormat(std::string_view format);
TFormatSettings WholeYearSettings(const TFormatSettings& settings);
// DateToStr and DateTimeToStr with the whole year, under the process-wide settings.
std::string DateToStrWholeYear(TDateTime value);
std::string DateTimeToStrWholeYear(TDateTime value);

// Parsing follows ShortDateFormat's order of day, month and year (taken from the first of
// d, m, y in it); numbers are separated by DateSeparator; a missing year means the current
// year; a two-digit year goes through TwoDigitYearCenturyWindow.  Times are
// "h[:n[:s[.zzz]]]" with TimeSeparator and an optional AM/PM (TimeAMString/TimePMString or
// "AM"/"PM").  Blanks around the parts are allowed.  Failures raise EConvertError
// "'...' is not a valid date" / "... valid time" / "... valid date and time".
TDateTime StrToDate(std::string_view s);
TDateTime StrToDate(std::string_view s, const TFormatSettings& settings);
TDateTime StrToTime(std::string_view s);
TDateTime StrToTime(std::string_view s, const TFormatSettings& settings);
TDateTime StrToDateTime(std::string_view s);
TDateTime StrToDateTime(std::string_view s, const TFormatSettings& settings);
bool TryStrToDate(std::string_view s, TDateTime& value);
bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& settings);
bool TryStrToTime(std::string_view s, TDateTime& value);
bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& settings);
bool TryStrToDateTime(std::string_view s, TDateTime& value);
bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& settings);

}  // namespace tw
