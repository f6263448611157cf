// The process-wide number, currency, date and time settings used by the conversion
// routines (`Format`, `FloatToStrF`, `FormatFloat`, `DateToStr`, `StrToDate` ...).
//
// They start from the process locale (LC_NUMERIC, LC_MONETARY, LC_TIME of the environment;
// the "C"/POSIX locale and anything unreadable give the US defaults below) and are never
// written back to the system.  The language component changes single fields at run time;
// tests install fixed settings with `ScopedFormatSettings`.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tw {

struct TFormatSettings {
  std::string CurrencyString = "$";
  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $".
  std::uint8_t CurrencyFormat = 0;
  // 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$", 6 "1-$", 7 "1$-", 8 "-1 $",
  // 9 "-$ 1", 10 "1 $-", 11 "$ 1-", 12 "$ -1", 13 "1- $", 14 "($ 1)", 15 "(1 $)".
  std::uint8_t NegCurrFormat = 0;
  char ThousandSeparator = ',';
  char DecimalSeparator = '.';
  std::uint8_t CurrencyDecimals = 2;
  char DateSeparator = '/';
  std::string ShortDateFormat = "m/d/yy";
  std::string LongDateFormat = "dddd, mmmm dd, yyyy";
  char TimeSeparator = ':';
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::string ShortTimeFormat = "h:mm AMPM";
  std::string LongTimeFormat = "h:mm:ss AMPM";
  // Index 0 is January / Sunday (the class library counts from 1: name n is [n - 1]).
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",
                                             "May",     "June",     "July",      "August",
                                             "September", "October", "November", "December"};
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  // A two-digit year is placed in the century that puts it no more than this many years
  // before the current year (0: always the current century).
  std::uint16_t TwoDigitYearCenturyWindow = 50;
  char ListSeparator = ',';
};

// The class library's US defaults (the values above).
TFormatSettings DefaultFormatSettings();

// Settings derived from the environment's locale (LC_ALL / LC_* / LANG), US defaults for
// whatever the locale does not say.
TFormatSettings LocaleFormatSettings();

// The process-wide settings, initialised from `LocaleFormatSettings()` on first use.
// Shared by every thread; change them only from the user-interface thread.
TFormatSettings& FormatSettings();
void SetFormatSettings(const TFormatSettings& settings);

// Installs settings for the lifetime of the object and restores the previous ones after.
class ScopedFormatSettings {
 public:
  explicit ScopedFormatSettings(const TFormatSettings& settings);
  ScopedFormatSettings() : ScopedFormatSettings(DefaultFormatSettings()) {}
  ~ScopedFormatSettings();
  ScopedFormatSettings(const ScopedFormatSettings&) = delete;
  ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

 private:
  TFormatSettings saved_;
};

// Converts a strftime-style format of the C library ("%m/%d/%Y") to the class library's
// date-time format ("mm/dd/yyyy"); used for the locale's formats.
std::string StrftimeToDateTimeFormat(const std::string& strftimeFormat);

}  // namespace tw
