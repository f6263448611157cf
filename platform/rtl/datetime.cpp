// Date-time arithmetic and the clock.
#include "platform/rtl/datetime.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysconst.h"

namespace tw {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

// 30 December 1899 in days since 1970-01-01.
constexpr std::int64_t kUnixDay0 = DaysFromCivil(1899, 12, 30);
static_assert(kUnixDay0 == -25569);
// 1 January 0001 and 31 December 9999 as TDateTime days.
constexpr std::int64_t kMinDay = DaysFromCivil(1, 1, 1) - kUnixDay0;
constexpr std::int64_t kMaxDay = DaysFromCivil(9999, 12, 31) - kUnixDay0;
static_assert(kMinDay == 1 - DateDelta);

std::mutex& ClockMutex() {
  static std::mutex m;
  return m;
}

// The installed clock: one that gives local readings or one that gives instants (or none).
struct TClockSlot {
  std::function<TDateTime()> local;
  std::function<std::int64_t()> instant;
};

TClockSlot& ClockSlot() {
  static TClockSlot clock;
  return clock;
}

TClockSlot InstalledClock() {
  std::lock_guard lock(ClockMutex());
  return ClockSlot();
}

std::int64_t RealUnixMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInAMonth(int year, int month) {
  if (month < 1 || month > 12) return 0;
  return MonthDays[IsLeapYear(year) ? 1 : 0][static_cast<std::size_t>(month - 1)];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInAMonth(year, month)) {
    return false;
  }
  date = static_cast<TDateTime>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kUnixDay0);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime d = 0;
  if (!TryEncodeDate(year, month, day, d)) throw EConvertError(sysconst::SDateEncodeError);
  return d;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time) {
  if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000) {
    return false;
  }
  time = (hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + msec) / MSecsPerDay;
  return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime t = 0;
  if (!TryEncodeTime(hour, min, sec, msec, t)) throw EConvertError(sysconst::STimeEncodeError);
  return t;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  return date < 0 ? date - time : date + time;
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
  TTimeStamp ts;
  if (!std::isfinite(value) || value < static_cast<double>(kMinDay) - 1 || value > static_cast<double>(kMaxDay) + 1) {
    return ts;  // out of range: Date 0 marks it
  }
  double day = std::trunc(value);
  double ms = std::round(std::fabs(value - day) * MSecsPerDay);
  auto date = static_cast<std::int64_t>(day);
  auto time = static_cast<std::int64_t>(ms);
  if (time >= MSecsPerDay) {
    // Rounding reached the next midnight.
    time -= MSecsPerDay;
    ++date;
  }
  ts.Date = static_cast<std::int32_t>(date + DateDelta);
  ts.Time = static_cast<std::int32_t>(time);
  return ts;
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
  double day = static_cast<double>(stamp.Date) - DateDelta;
  double time = static_cast<double>(stamp.Time) / MSecsPerDay;
  return ComposeDateTime(day, time);
}

void DecodeDate(TDateTime date, std::uint16_t& year, std::uint16_t& month, std::uint16_t& day) {
  TTimeStamp ts = DateTimeToTimeStamp(date);
  std::int64_t d = static_cast<std::int64_t>(ts.Date) - DateDelta;
  if (ts.Date <= 0 || d < kMinDay || d > kMaxDay) {
    year = month = day = 0;
    return;
  }
  std::int64_t y;
  unsigned m, dd;
  CivilFromDays(d + kUnixDay0, y, m, dd);
  year = static_cast<std::uint16_t>(y);
  month = static_cast<std::uint16_t>(m);
  day = static_cast<std::uint16_t>(dd);
}

void DecodeTime(TDateTime time, std::uint16_t& hour, std::uint16_t& min, std::uint16_t& sec, std::uint16_t& msec) {
  TTimeStamp ts = DateTimeToTimeStamp(time);
  std::int32_t t = ts.Time;
  hour = static_cast<std::uint16_t>(t / 3600000);
  min = static_cast<std::uint16_t>(t / 60000 % 60);
  sec = static_cast<std::uint16_t>(t / 1000 % 60);
  msec = static_cast<std::uint16_t>(t % 1000);
}

int DayOfWeek(TDateTime date) {
  TTimeStamp ts = DateTimeToTimeStamp(date);
  // Day 1 (1 January 0001) was a Monday.
  return static_cast<int>(ts.Date % 7) + 1;
}

TDateTime DateOf(TDateTime value) {
  TTimeStamp ts = DateTimeToTimeStamp(value);
  return static_cast<double>(ts.Date) - DateDelta;
}

TDateTime TimeOf(TDateTime value) {
  TTimeStamp ts = DateTimeToTimeStamp(value);
  return static_cast<double>(ts.Time) / MSecsPerDay;
}

namespace {

// An instant read on the machine's local clock, to the millisecond.
TDateTime LocalReading(std::int64_t ms) {
  std::int64_t secs = ms / 1000;
  std::int64_t rest = ms % 1000;
  if (rest < 0) {
    rest += 1000;
    --secs;
  }
  return UnixToLocalDateTime(secs) + static_cast<double>(rest) / MSecsPerDay;
}

}  // namespace

TDateTime Now() {
  const TClockSlot clock = InstalledClock();
  if (clock.local) return clock.local();
  return LocalReading(clock.instant ? clock.instant() : RealUnixMilliseconds());
}

TDateTime Date() { return DateOf(Now()); }
TDateTime Time() { return TimeOf(Now()); }

std::int64_t NowUnixMilliseconds() {
  const TClockSlot clock = InstalledClock();
  if (clock.instant) return clock.instant();
  if (!clock.local) return RealUnixMilliseconds();
  // A fixed local reading: the instant the machine's zone rules give it.
  const TDateTime local = clock.local();
  std::uint16_t hour = 0, minute = 0, second = 0, msec = 0;
  DecodeTime(local, hour, minute, second, msec);
  std::int64_t seconds = 0;
  LocalDateTimeToUnix(local, seconds);
  return seconds * 1000 + msec;
}

void SetClock(std::function<TDateTime()> clock) {
  std::lock_guard lock(ClockMutex());
  ClockSlot() = TClockSlot{std::move(clock), nullptr};
}

void SetInstantClock(std::function<std::int64_t()> clock) {
  std::lock_guard lock(ClockMutex());
  ClockSlot() = TClockSlot{nullptr, std::move(clock)};
}

TDateTime UnixToDateTime(std::int64_t unixSeconds) {
  std::int64_t days = unixSeconds / SecsPerDay;
  std::int64_t secs = unixSeconds % SecsPerDay;
  if (secs < 0) {
    secs += SecsPerDay;
    --days;
  }
  return ComposeDateTime(static_cast<double>(days - kUnixDay0), static_cast<double>(secs) / SecsPerDay);
}

TDateTime UnixToLocalDateTime(std::int64_t unixSeconds) {
  auto t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return UnixToDateTime(unixSeconds);
  TDateTime date = 0;
  TDateTime time = 0;
  if (!TryEncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, date)) return UnixToDateTime(unixSeconds);
  TryEncodeTime(tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59), 0, time);
  return ComposeDateTime(date, time);
}

bool LocalDateTimeToUnix(TDateTime value, std::int64_t& unixSeconds) {
  std::uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, minute, second, msec);
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  unixSeconds = static_cast<std::int64_t>(t);
  return t != static_cast<std::time_t>(-1);
}

std::int64_t DateTimeToUnix(TDateTime value) {
  TTimeStamp ts = DateTimeToTimeStamp(value);
  std::int64_t days = static_cast<std::int64_t>(ts.Date) - DateDelta + kUnixDay0;
  return days * SecsPerDay + ts.Time / 1000;
}

}  // namespace tw
