// International settings of the entry fields (separators, currency texts, date and time
// formats, am/pm texts, yes/no and true/false characters) and the conversion of dates and
// times to and from text through picture masks.
//
// Settings are read from the "intl" profile: by default one made from the process locale
// (only what the locale says differently from the class library's US defaults), so that an
// unset key keeps the documented default; tests install their own with SetIntlProfile.
// Nothing is ever written back.
//
// Mask letters: d day, m month (minutes in a time mask), y year, n month name, w week-day name,
// h hours, s seconds, t am/pm text, "/" and ":" the separators, f g h (date masks) the literal
// texts of the long date format.  Lower-case number letters pad with zeros, upper-case ones
// with blanks; an upper-case name letter gives the name in capitals.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "entry/date/dayarith.h"

namespace tw::entry {

// Reads one key of the "intl" section; an empty answer means the key is missing.
using TIntlProfile = std::function<std::string(const std::string& key)>;
// Installs a profile (nullptr: the one made from the process locale).
void SetIntlProfile(TIntlProfile profile);
// A profile over a fixed table of keys.
TIntlProfile IntlProfileFromMap(std::map<std::string, std::string> values);
// The locale's profile.
std::string LocaleIntlValue(const std::string& key);

class TFkIntlSup {
 public:
  TFkIntlSup();
  TFkIntlSup(const TFkIntlSup&) = delete;
  TFkIntlSup& operator=(const TFkIntlSup&) = delete;

  bool AutoUpdate = false;
  std::string CurrencyLtStr;
  std::string CurrencyRtStr;
  char DecimalChar = '.';
  char CommaChar = ',';
  std::uint8_t CurrencyDigits = 2;
  char ListChar = ',';
  char SlashChar = '/';
  char TrueChar = 'T';
  char FalseChar = 'F';
  char YesChar = 'Y';
  char NoChar = 'N';
  std::string Country;
  std::string AMText = "AM";
  std::string PMText = "PM";
  char ColonChar = ':';
  std::uint8_t CurrencyForm = 0;
  std::string LiteralF, LiteralG, LiteralH;
  std::string LongDateMask;
  std::uint8_t NegCurrencyForm = 0;
  std::string ShortDateMask;
  bool TLZero = false;
  bool TwelveHour = false;

  // (Re)reads every setting from the current profile and the class library's settings.
  void ReadIntlSettings();

  std::string BuildDateMask(bool forceCentury) const;
  std::string BuildTimeMask(bool showSeconds) const;
  std::string BuildLongDateMask(bool shortNames, bool excludeWeekDay) const;

  std::string DayNumberToText(const std::string& mask, DayNumber date, bool pack) const;
  std::string DMYToText(const std::string& mask, int day, int month, int year, bool pack, int epoch) const;
  bool TextToDMY(const std::string& mask, const std::string& text, int& day, int& month, int& year,
                 int epoch) const;
  DayNumber TextToDayNumber(const std::string& mask, const std::string& text, int epoch) const;
  bool DateTextIsBlank(const std::string& mask, const std::string& text) const;

  std::string SecondsToText(const std::string& mask, SecondsOfDay t, bool pack) const;
  bool TextToHMS(const std::string& mask, const std::string& text, int& h, int& m, int& s) const;
  SecondsOfDay TextToSeconds(const std::string& mask, const std::string& text) const;
  // A time written freely: hours and minutes, optionally seconds, separated by ":" or the time
  // separator, numbers of one or two digits, optionally followed by the am or pm text (any
  // case); -1 when the text is no such time.
  SecondsOfDay FreeTextToSeconds(const std::string& text) const;

  std::string WeekDayName(TStDayType day) const;
  // 1..12, or 0 when no long month name matches within `width` characters.
  std::uint8_t MonthFromName(const std::string& text, int width) const;

 private:
  std::string FillDate(const std::string& mask, int day, int month, int year, TStDayType wd, bool valid,
                       bool pack) const;
};

// The instance the fields use; made on first use (or by InitFkIntl).
TFkIntlSup& DefaultIntlSup();
void InitFkIntl();

}  // namespace tw::entry
