#include <gtest/gtest.h>

#include "entry/fkintl.h"
#include "entry/tests/entry_test_util.h"

namespace tw::entry {
namespace {

using test::IntlScope;

DayNumber Date(int d, int m, int y) { return DMYToDayNumber(d, m, y, 0); }

TEST(IntlMasks, BuiltFromTheShortDateAndTimeSettings) {
  IntlScope scope;
  TFkIntlSup& intl = DefaultIntlSup();
  EXPECT_EQ(intl.BuildDateMask(false), "mm/dd/yy");
  EXPECT_EQ(intl.BuildDateMask(true), "mm/dd/yyyy");
  // The class library's long time format ends in "AMPM": a twelve-hour clock.
  EXPECT_EQ(intl.BuildTimeMask(false), "Hh:mm tt");
  EXPECT_EQ(intl.BuildTimeMask(true), "Hh:mm:ss tt");
}

TEST(IntlMasks, OneLetterRunsGetBlankPaddingAndTwoLetterCapitalsZeroPadding) {
  IntlScope scope({{"sShortDate", "M/d/yy"}});
  EXPECT_EQ(DefaultIntlSup().BuildDateMask(false), "MM/DD/yy");
  IntlScope other({{"sShortDate", "dd.MM.yyyy"}, {"sDate", "."}});
  EXPECT_EQ(DefaultIntlSup().BuildDateMask(false), "dd/mm/yyyy");
}

TEST(IntlMasks, TwentyFourHourClockWithLeadingZero) {
  TFormatSettings fs = DefaultFormatSettings();
  fs.LongTimeFormat = "hh:mm:ss";
  ScopedFormatSettings settings(fs);
  SetIntlProfile(IntlProfileFromMap({{"iTLZero", "1"}}));
  TFkIntlSup intl;
  EXPECT_EQ(intl.BuildTimeMask(true), "hh:mm:ss");
  SetIntlProfile(IntlProfileFromMap({}));
  TFkIntlSup noZero;
  EXPECT_EQ(noZero.BuildTimeMask(false), "Hh:mm");
}

TEST(IntlMasks, LongDateMaskTakesLiteralsNamesAndSpacing) {
  IntlScope scope({{"sLongDate", "dddd,d 'de' MMMM yyyy"}});
  TFkIntlSup& intl = DefaultIntlSup();
  EXPECT_EQ(intl.LiteralF, "de");
  EXPECT_EQ(intl.LongDateMask, "wwww, d ff nnnn yyyy");
  EXPECT_EQ(intl.BuildLongDateMask(true, false), "www, DD ff nnn yyyy");
  EXPECT_EQ(intl.BuildLongDateMask(false, true), "DD ff nnnnnnnnn yyyy");
  EXPECT_EQ(intl.DayNumberToText(intl.BuildLongDateMask(false, false), Date(5, 3, 2009), true),
            "Thursday, 5 de March 2009");
}

// Without a profile of its own the calendar's header takes the long date's order from the
// class library's settings, where the program's language puts it beside the names.
TEST(IntlMasks, TheLongDateFollowsTheLanguagesSettingsInOrderAndNames) {
  TFormatSettings german = DefaultFormatSettings();
  german.LongDayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
  german.LongMonthNames[11] = "Dezember";
  struct Restore {
    ~Restore() {
      SetIntlProfile(IntlProfileFromMap({}));
      DefaultIntlSup().ReadIntlSettings();
    }
  } restore;
  ScopedFormatSettings settings(german);
  SetIntlProfile(nullptr);
  TFkIntlSup& intl = DefaultIntlSup();
  const auto header = [&] {
    intl.ReadIntlSettings();
    return intl.DayNumberToText(intl.BuildLongDateMask(false, false), Date(10, 12, 1815), true);
  };
  EXPECT_EQ(header(), "Sonntag, Dezember 10, 1815") << "the class library's own order";
  FormatSettings().LongDateFormat = "dddd, d. mmmm yyyy";
  EXPECT_EQ(header(), "Sonntag, 10. Dezember 1815");
  FormatSettings().LongDateFormat = "dddd, d \"de\" mmmm 'am' yyyy";
  EXPECT_EQ(header(), "Sonntag, 10 de Dezember am 1815") << "quoted letters stay text";
}

TEST(IntlDates, WrittenIntoMasks) {
  IntlScope scope({{"sDate", "."}});
  TFkIntlSup& intl = DefaultIntlSup();
  EXPECT_EQ(intl.DayNumberToText("mm/dd/yyyy", Date(5, 3, 2009), false), "03.05.2009");
  EXPECT_EQ(intl.DayNumberToText("MM/DD/yy", Date(5, 3, 2009), false), " 3. 5.09");
  EXPECT_EQ(intl.DayNumberToText("MM/DD/yy", Date(5, 3, 2009), true), "3.5.09");
  EXPECT_EQ(intl.DayNumberToText("mm/dd/yyyy", BadDate, false), "  .  .    ");
  EXPECT_EQ(intl.DayNumberToText("dd NNN yyyy", Date(1, 12, 1999), false), "01 DEC 1999");
}

TEST(IntlDates, ReadBackThroughTheMaskAndEpoch) {
  IntlScope scope;
  TFkIntlSup& intl = DefaultIntlSup();
  EXPECT_EQ(intl.TextToDayNumber("mm/dd/yy", "12/31/99", 1910), Date(31, 12, 1999));
  EXPECT_EQ(intl.TextToDayNumber("mm/dd/yy", "12/31/05", 1910), Date(31, 12, 2005));
  EXPECT_EQ(intl.TextToDayNumber("mm/dd/yy", "12/31/9", 1910), BadDate) << "shorter than the mask";
  EXPECT_EQ(intl.TextToDayNumber("mm/dd/yyyy", "02/30/2001", 1910), BadDate);
  EXPECT_EQ(intl.TextToDayNumber("mm/dd/yyyy", "0x/01/2001", 1910), BadDate);
  EXPECT_EQ(intl.TextToDayNumber("dd nnnnnnnnn yyyy", "04 September 2026", 0), Date(4, 9, 2026));
  EXPECT_TRUE(intl.DateTextIsBlank("mm/dd/yyyy", "  /  /    "));
  EXPECT_FALSE(intl.DateTextIsBlank("mm/dd/yyyy", "  /  /1999"));
  EXPECT_EQ(intl.MonthFromName("SEP", 3), 9);
  EXPECT_EQ(intl.MonthFromName("Sepx", 4), 0);
}

// A run wider than its number (a mask repeated to a longer MaxLength) is padded with zeros;
// those zeros read as nothing, however many there are.
TEST(IntlDates, WideZeroPaddedRunsReadBackWhatTheyShow) {
  IntlScope scope;
  TFkIntlSup& intl = DefaultIntlSup();
  const std::string mask = "mm/dd/yyyyyyyyyyyyyy";
  const std::string shown = intl.DayNumberToText(mask, Date(1, 2, 2024), false);
  EXPECT_EQ(shown, "02/01/00000000002024");
  EXPECT_EQ(intl.TextToDayNumber(mask, shown, 0), Date(1, 2, 2024));
  EXPECT_EQ(intl.TextToDayNumber(mask, "02/01/00000000000000", 0), BadDate) << "year 0";
  EXPECT_EQ(intl.TextToDayNumber(mask, "02/01/99999999992024", 0), BadDate) << "too large, not cut";
  const std::string time = "hh:mm:ssssssssssss";
  EXPECT_EQ(intl.TextToSeconds(time, intl.SecondsToText(time, 3725, false)), 3725);
}

// Every date written into a mask reads back as itself, in the C settings and in German ones
// (names with umlauts, "." between the parts), two-digit years within their epoch's window.
TEST(IntlDates, WrittenDatesReadBackInEveryMask) {
  for (const bool german : {false, true}) {
    SCOPED_TRACE(german ? "German" : "C");
    TFormatSettings fs = DefaultFormatSettings();
    if (german) {
      fs.LongMonthNames = {"Januar", "Februar", "M\xE4rz", "April", "Mai", "Juni", "Juli", "August", "September",
                           "Oktober", "November", "Dezember"};
      fs.LongDayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
    }
    ScopedFormatSettings settings(fs);
    IntlScope scope({{"sDate", german ? "." : "/"}});
    TFkIntlSup& intl = DefaultIntlSup();
    const struct {
      const char* mask;
      int epoch;
    } masks[] = {{"dd/mm/yyyy", 0}, {"DD/MM/yyyy", 0}, {"yyyy-mm-dd", 0},      {"dd-nnn-yyyy", 0},
                 {"NNNNNNNNN DD, yyyy", 0}, {"www dd/mm/yy", 1950}, {"mm/dd/yy", 1910}, {"DD.MM.YYYY", 0}};
    for (const auto& m : masks) {
      SCOPED_TRACE(m.mask);
      const bool twoDigits = std::string(m.mask).find("yyyy") == std::string::npos &&
                             std::string(m.mask).find("YYYY") == std::string::npos;
      const DayNumber lo = twoDigits ? Date(1, 1, m.epoch) : 0;
      const DayNumber hi = twoDigits ? Date(31, 12, m.epoch + 99) : MaxDayNumber;
      for (DayNumber d = lo; d <= hi; d += twoDigits ? 13 : 151) {
        const std::string text = intl.DayNumberToText(m.mask, d, false);
        ASSERT_EQ(intl.TextToDayNumber(m.mask, text, m.epoch), d) << "\"" << text << "\"";
      }
      ASSERT_EQ(intl.TextToDayNumber(m.mask, intl.DayNumberToText(m.mask, hi, false), m.epoch), hi);
    }
  }
}

TEST(IntlTimes, TwelveHourTextsOnBothWays) {
  IntlScope scope;
  TFkIntlSup& intl = DefaultIntlSup();
  const std::string mask = "hh:mm tt";
  auto hour = [&](const std::string& text) {
    int h, m, s;
    return intl.TextToHMS(mask, text, h, m, s) ? h : -1;
  };
  EXPECT_EQ(hour("12:30 AM"), 0);
  EXPECT_EQ(hour("12:30 PM"), 12);
  EXPECT_EQ(hour("01:30 pm"), 13);
  EXPECT_EQ(hour("00:30 AM"), -1);
  EXPECT_EQ(hour("01:30 XX"), -1);
  EXPECT_EQ(intl.SecondsToText(mask, 13 * 3600 + 5 * 60, false), "01:05 PM");
  EXPECT_EQ(intl.SecondsToText(mask, 5 * 60, false), "12:05 AM");
  EXPECT_EQ(intl.SecondsToText("HH:mm:ss", 9 * 3600 + 7, true), "9:00:07");
  EXPECT_EQ(intl.SecondsToText("hh:mm", BadTime, false), "  :  ");
  EXPECT_EQ(intl.TextToSeconds("hh:mm:ss", "23:59:59"), 86399);
  EXPECT_EQ(intl.TextToSeconds("hh:mm", "24:00"), BadTime);
}

TEST(IntlSettings, ProfileKeysAndCurrencyForms) {
  IntlScope scope({{"sDecimal", ",,"}, {"sThousand", "."}, {"sCurrency", "EUR"}, {"iCurrency", "3"},
                   {"s1159", "vorm."}, {"s2359", "nachmittags"}});
  TFkIntlSup& intl = DefaultIntlSup();
  EXPECT_EQ(intl.DecimalChar, ',');
  EXPECT_EQ(intl.CommaChar, '.');
  EXPECT_EQ(intl.CurrencyLtStr, "EUR");
  EXPECT_EQ(intl.CurrencyRtStr, " EUR");
  EXPECT_EQ(intl.AMText, "vorm.");
  EXPECT_EQ(intl.PMText, "nachm") << "values are read into a six-character buffer";
  EXPECT_EQ(intl.YesChar, 'Y');
  EXPECT_EQ(intl.TrueChar, 'T');
}

}  // namespace
}  // namespace tw::entry
