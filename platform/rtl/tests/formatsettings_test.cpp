// Format settings from the environment's locale and the conversion of its formats.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/rtl/formatsettings.h"

namespace tw {
namespace {

// Sets environment variables for one test and restores them after.
class Environment {
 public:
  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~Environment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second) {
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        ::unsetenv(it->first.c_str());
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(LocaleSettings, PlainAndUnknownLocalesGiveTheUsDefaults) {
  for (const char* name : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8"}) {
    Environment env;
    env.Set("LC_ALL", name);
    const TFormatSettings fs = LocaleFormatSettings();
    EXPECT_EQ(fs.ShortDateFormat, "m/d/yy") << name;
    EXPECT_EQ(fs.LongDateFormat, "dddd, mmmm dd, yyyy");
    EXPECT_EQ(fs.LongTimeFormat, "h:mm:ss AMPM");
    EXPECT_EQ(fs.DecimalSeparator, '.');
    EXPECT_EQ(fs.ThousandSeparator, ',');
    EXPECT_EQ(fs.CurrencyString, "$");
    EXPECT_EQ(fs.LongMonthNames[11], "December");
    EXPECT_EQ(fs.ShortDayNames[0], "Sun");
  }
}

TEST(LocaleSettings, StrftimeFormatsBecomeDateTimeFormats) {
  EXPECT_EQ(StrftimeToDateTimeFormat("%m/%d/%Y"), "mm/dd/yyyy");
  EXPECT_EQ(StrftimeToDateTimeFormat("%d.%m.%Y"), "dd.mm.yyyy");
  EXPECT_EQ(StrftimeToDateTimeFormat("%e %B %Y"), "d mmmm yyyy");
  EXPECT_EQ(StrftimeToDateTimeFormat("%a %b %y"), "ddd mmm yy");
  EXPECT_EQ(StrftimeToDateTimeFormat("%H:%M:%S"), "hh:nn:ss");
  EXPECT_EQ(StrftimeToDateTimeFormat("%I:%M:%S %p"), "hh:nn:ss AMPM");
  EXPECT_EQ(StrftimeToDateTimeFormat("%r"), "hh:nn:ss AMPM");
  EXPECT_EQ(StrftimeToDateTimeFormat("%T %Z"), "hh:nn:ss");
  EXPECT_EQ(StrftimeToDateTimeFormat("%Y\xE5%m\xE6%d"), "yyyy\xE5mm\xE6" "dd");
  EXPECT_EQ(StrftimeToDateTimeFormat("%-d de %B"), "d \"de\" mmmm");  // letters are quoted
  EXPECT_EQ(StrftimeToDateTimeFormat("%-H.%M Uhr"), "h.nn \"Uhr\"");
  EXPECT_EQ(StrftimeToDateTimeFormat("100%%"), "100%");
  EXPECT_EQ(StrftimeToDateTimeFormat("%"), "");
}

TEST(ProcessSettings, ScopedOverrideRestores) {
  const std::string before = FormatSettings().ShortDateFormat;
  {
    TFormatSettings de = DefaultFormatSettings();
    de.ShortDateFormat = "dd/mm/yyyy";
    ScopedFormatSettings scoped(de);
    EXPECT_EQ(FormatSettings().ShortDateFormat, "dd/mm/yyyy");
    FormatSettings().DecimalSeparator = ',';  // changed in place, as the language component does
    EXPECT_EQ(FormatSettings().DecimalSeparator, ',');
  }
  EXPECT_EQ(FormatSettings().ShortDateFormat, before);
}

}  // namespace
}  // namespace tw
