#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <iterator>
#include <vector>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/sys/timezones.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

// Noon UTC of a day.
ZoneInstant Day(int y, unsigned m, unsigned d) {
  const std::chrono::year_month_day ymd{std::chrono::year(y), std::chrono::month(m), std::chrono::day(d)};
  return std::chrono::sys_days(ymd) + std::chrono::hours(12);
}

const ZoneInstant kWinter = Day(2024, 1, 15);
const ZoneInstant kSummer = Day(2024, 7, 15);

TEST(TimeZoneList, IsSortedAndHoldsTheZonesButNotTheAliases) {
  const auto names = TimeZoneNames();
  ASSERT_GT(names.size(), 300u);
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
  for (const char* zone : {"Europe/Berlin", "America/New_York", "Asia/Kolkata", "UTC", "Australia/Sydney"}) {
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), zone)) << zone;
    EXPECT_TRUE(TimeZoneExists(zone)) << zone;
  }
  for (const char* alias : {"localtime", "posixrules", "Factory", "", "europe/berlin", "Mars/Olympus"})
    EXPECT_FALSE(TimeZoneExists(alias)) << alias;
  // Every listed zone can be read by the offset reader.
  for (const auto& zone : names) EXPECT_TRUE(FindTimeZone(zone, Day(2050, 7, 1)).has_value()) << zone;
}

// Facts as zdump gives them.
TEST(TimeZoneOffsets, StandardAndCurrentOffsetsThroughTheYear) {
  struct Fact {
    const char* zone;
    int standard;
    int winter;
    int summer;
  };
  const Fact facts[] = {
      {"Europe/Berlin", 60, 60, 120},          {"America/New_York", -300, -300, -240},
      {"Asia/Kolkata", 330, 330, 330},         {"UTC", 0, 0, 0},
      {"Australia/Sydney", 600, 660, 600},     {"Europe/Dublin", 0, 0, 60},
      {"Pacific/Chatham", 765, 825, 765},      {"Etc/GMT+5", -300, -300, -300},
  };
  for (const Fact& f : facts) {
    SCOPED_TRACE(f.zone);
    const TimeZoneState winter = GetTimeZone(f.zone, kWinter);
    const TimeZoneState summer = GetTimeZone(f.zone, kSummer);
    EXPECT_EQ(winter.StandardOffsetMinutes(), f.standard);
    EXPECT_EQ(summer.StandardOffsetMinutes(), f.standard);
    EXPECT_EQ(winter.OffsetMinutes(), f.winter);
    EXPECT_EQ(summer.OffsetMinutes(), f.summer);
    EXPECT_EQ(ZoneStandardBiasMinutes(f.zone, kSummer), -f.standard);
    EXPECT_DOUBLE_EQ(ZoneStandardOffsetHours(f.zone, kWinter), f.standard / 60.0);
  }
  EXPECT_EQ(GetTimeZone("Europe/Berlin", kSummer).Abbreviation, "CEST");
  EXPECT_EQ(GetTimeZone("America/New_York", kSummer).BiasMinutes(), 240);
}

TEST(TimeZoneOffsets, DaylightSavingIsSeenAtItsInstants) {
  EXPECT_FALSE(ZoneIsDaylight("Europe/Berlin", kWinter));
  EXPECT_TRUE(ZoneIsDaylight("Europe/Berlin", kSummer));
  EXPECT_TRUE(ZoneIsDaylight("Australia/Sydney", kWinter));
  EXPECT_FALSE(ZoneIsDaylight("Asia/Kolkata", kSummer));
  // Berlin's switch of 31 March 2024 happens at 01:00 UTC.
  const ZoneInstant change = std::chrono::sys_days(std::chrono::year(2024) / 3 / 31) + std::chrono::hours(1);
  EXPECT_EQ(ZoneOffsetMinutes("Europe/Berlin", change - std::chrono::seconds(1)), 60);
  EXPECT_EQ(ZoneOffsetMinutes("Europe/Berlin", change), 120);
}

TEST(TimeZoneOffsets, InstantsAtTheEndsOfTheDatabaseAreAnswered) {
  // Before standard time Berlin kept its local mean time, 53 minutes and 28 seconds east.
  EXPECT_EQ(ZoneStandardOffsetMinutes("Europe/Berlin", Day(1800, 6, 1)), 53);
  EXPECT_EQ(GetTimeZone("Europe/Berlin", Day(1800, 6, 1)).StandardOffsetSeconds, 53 * 60 + 28);
  EXPECT_EQ(ZoneOffsetSeconds("America/New_York", Day(1850, 6, 1)), -(4 * 3600 + 56 * 60 + 2));
  EXPECT_DOUBLE_EQ(ZoneStandardOffsetHours("Europe/Berlin", Day(1800, 6, 1)), 3208 / 3600.0);
  EXPECT_EQ(ZoneStandardOffsetMinutes("Europe/Berlin", Day(2400, 6, 1)), 60);
  EXPECT_EQ(ZoneOffsetMinutes("UTC", Day(1, 1, 1)), 0);
  EXPECT_EQ(ZoneStandardOffsetMinutes("Asia/Kolkata", Day(2100, 1, 1)), 330);
}

// After the last change a zone file lists, its closing rule goes on every year.
TEST(TimeZoneOffsets, DaylightSavingGoesOnAfterTheListedChanges) {
  const TimeZoneState berlin = GetTimeZone("Europe/Berlin", Day(2040, 7, 1));
  EXPECT_EQ(berlin.OffsetMinutes(), 120);
  EXPECT_TRUE(berlin.Daylight);
  EXPECT_EQ(berlin.Abbreviation, "CEST");
  EXPECT_EQ(ZoneOffsetMinutes("Europe/Berlin", Day(2040, 1, 15)), 60);
  EXPECT_EQ(ZoneOffsetMinutes("America/New_York", Day(2045, 7, 1)), -240);
  EXPECT_EQ(ZoneOffsetMinutes("America/New_York", Day(2045, 12, 1)), -300);
  // Summer time all year in the south.
  EXPECT_EQ(ZoneOffsetMinutes("Australia/Sydney", Day(2040, 7, 15)), 600);
  EXPECT_EQ(ZoneOffsetMinutes("Australia/Sydney", Day(2040, 1, 15)), 660);
  EXPECT_TRUE(ZoneIsDaylight("Australia/Sydney", Day(3999, 1, 15)));
  EXPECT_EQ(ZoneStandardOffsetMinutes("Europe/Berlin", Day(2099, 7, 1)), 60);
  EXPECT_EQ(ZoneStandardOffsetMinutes("Australia/Sydney", Day(2099, 1, 1)), 600);
  // Berlin's switch of 2050 at 01:00 UTC on the last Sunday of March.
  const ZoneInstant change = std::chrono::sys_days(std::chrono::year(2050) / 3 / 27) + std::chrono::hours(1);
  EXPECT_EQ(ZoneOffsetMinutes("Europe/Berlin", change - std::chrono::seconds(1)), 60);
  EXPECT_EQ(ZoneOffsetMinutes("Europe/Berlin", change), 120);
}

TEST(TimeZoneOffsets, UnknownZonesAreRefusedClearly) {
  EXPECT_FALSE(FindTimeZone("Atlantis/Capital", kWinter).has_value());
  try {
    ZoneStandardOffsetMinutes("Atlantis/Capital", kWinter);
    FAIL() << "no error";
  } catch (const ETimeZoneError& e) {
    EXPECT_EQ(e.Message(), "Unknown time zone: Atlantis/Capital");
  }
}

TEST(TimeZoneOffsets, DisplayNamesShowTheStandardOffset) {
  EXPECT_EQ(TimeZoneDisplayName("Europe/Berlin", kSummer), "(UTC+01:00) Europe/Berlin");
  EXPECT_EQ(TimeZoneDisplayName("America/New_York", kWinter), "(UTC-05:00) America/New York");
  EXPECT_EQ(TimeZoneDisplayName("Asia/Kolkata", kWinter), "(UTC+05:30) Asia/Kolkata");
  EXPECT_EQ(TimeZoneDisplayName("UTC", kWinter), "(UTC+00:00) UTC");
}

class LocalZoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tw_tz_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    const char* tz = std::getenv("TZ");
    hadTz_ = tz != nullptr;
    if (hadTz_) savedTz_ = tz;
  }
  void TearDown() override {
    if (hadTz_) {
      ::setenv("TZ", savedTz_.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
    fs::remove_all(dir_);
  }
  std::string dir_;
  bool hadTz_ = false;
  std::string savedTz_;
};

TEST_F(LocalZoneTest, TheTzVariableComesFirstInItsSeveralForms) {
  const std::string none = dir_ + "/none";
  EXPECT_EQ(LocalTimeZoneNameFrom("Asia/Kolkata", none, none), "Asia/Kolkata");
  EXPECT_EQ(LocalTimeZoneNameFrom(":Europe/Berlin", none, none), "Europe/Berlin");
  EXPECT_EQ(LocalTimeZoneNameFrom("/usr/share/zoneinfo/America/New_York", none, none), "America/New_York");
  EXPECT_EQ(LocalTimeZoneNameFrom("", none, none), "UTC");
  EXPECT_EQ(LocalTimeZoneNameFrom("XYZ-3", none, none), "XYZ-3");
  EXPECT_EQ(LocalTimeZoneNameFrom("<+0330>-3:30", none, none), "<+0330>-3:30");
  // What is neither a zone, a path nor a rule (a rule starts with its zone's letters) the C
  // library reads as UTC; a second ':' never makes a zone file's name.
  EXPECT_EQ(LocalTimeZoneNameFrom("::/\x01", none, none), "UTC");
  EXPECT_EQ(LocalTimeZoneNameFrom("::/usr/share/zoneinfo/Asia/Kolkata", none, none), "UTC");
  EXPECT_EQ(LocalTimeZoneNameFrom("3abc", none, none), "UTC");
  EXPECT_NO_THROW(TimeZoneDisplayName(LocalTimeZoneNameFrom("::/", none, none)));
}

// Without TZ the C library reads the file /etc/localtime and nothing else: a dangling link or
// a missing file is universal time whatever /etc/timezone says, which only names a copied file.
TEST_F(LocalZoneTest, WithoutTzTheLocaltimeFileDecidesAndTheNameFileOnlyNamesIt) {
  const std::string link = dir_ + "/localtime";
  const std::string file = dir_ + "/timezone";
  fs::create_symlink("/usr/share/zoneinfo/Asia/Kolkata", link);
  std::ofstream(file) << "America/New_York\n";
  EXPECT_EQ(LocalTimeZoneNameFrom(nullptr, link, file), "Asia/Kolkata");
  fs::remove(link);
  fs::create_symlink("/nowhere/Not/AZone", link);
  EXPECT_EQ(LocalTimeZoneNameFrom(nullptr, link, file), "UTC");
  fs::remove(link);
  EXPECT_EQ(LocalTimeZoneNameFrom(nullptr, link, file), "UTC");
  // A copied file: named by /etc/timezone when that is its zone, else by its path.
  const std::string copied = dir_ + "/localtime-copied";
  fs::copy_file("/usr/share/zoneinfo/America/New_York", copied);
  std::ofstream(file) << "America/New_York\n";
  EXPECT_EQ(LocalTimeZoneNameFrom(nullptr, copied, file), "America/New_York");
  std::ofstream(file) << "Europe/Berlin\n";
  EXPECT_EQ(LocalTimeZoneNameFrom(nullptr, copied, file), ":" + copied);
  std::ofstream(file) << "garbage\n";
  EXPECT_EQ(LocalTimeZoneNameFrom(nullptr, copied, file), ":" + copied);
  // A file that holds no zone: the C library keeps universal time.
  const std::string broken = dir_ + "/broken";
  std::ofstream(broken) << "TZif but not really";
  EXPECT_EQ(LocalTimeZoneNameFrom(nullptr, broken, file), "UTC");
}

// The remembered answer follows every change of the files it rests on: a link pointed
// elsewhere, a link replaced by a copied file, the name file rewritten, the file removed, TZ
// set to a file and unset again.  Here every answer is kept (the files count as settled).
TEST_F(LocalZoneTest, TheRememberedMachineZoneFollowsEveryChangeOfItsFiles) {
  const std::string localtime = dir_ + "/localtime";
  const std::string names = dir_ + "/timezone";
  const auto cached = [&](const char* tz) { return CachedLocalTimeZoneNameFrom(tz, localtime, names, -3600); };
  fs::create_symlink("/usr/share/zoneinfo/Asia/Kolkata", localtime);
  std::ofstream(names) << "America/New_York\n";
  EXPECT_EQ(cached(nullptr), "Asia/Kolkata");
  EXPECT_EQ(cached(nullptr), "Asia/Kolkata");
  fs::remove(localtime);
  fs::create_symlink("/usr/share/zoneinfo/Europe/Berlin", localtime);
  EXPECT_EQ(cached(nullptr), "Europe/Berlin");
  fs::remove(localtime);
  fs::copy_file("/usr/share/zoneinfo/America/New_York", localtime);
  EXPECT_EQ(cached(nullptr), "America/New_York");
  std::ofstream(names) << "Europe/Berlin\n";
  EXPECT_EQ(cached(nullptr), ":" + localtime);
  std::ofstream(names) << "America/New_York\n";
  EXPECT_EQ(cached(nullptr), "America/New_York");
  const std::string other = dir_ + "/other";
  fs::copy_file("/usr/share/zoneinfo/Asia/Kolkata", other);
  EXPECT_EQ(cached(other.c_str()), ":" + other) << "TZ holding a file's path";
  EXPECT_EQ(cached("/usr/share/zoneinfo/Asia/Tokyo"), "Asia/Tokyo");
  EXPECT_EQ(cached("Europe/Paris"), "Europe/Paris");
  EXPECT_EQ(cached(nullptr), "America/New_York") << "TZ unset again";
  fs::remove(localtime);
  EXPECT_EQ(cached(nullptr), "UTC");
  EXPECT_EQ(CachedLocalTimeZoneNameFrom(nullptr, other, names, -3600), ":" + other) << "another file";
}

// Files written just now are read at every call: a change within the clock tick, of the same
// size, shows at once.
TEST_F(LocalZoneTest, FreshlyWrittenZoneFilesAreReadEveryTime) {
  const std::string localtime = dir_ + "/localtime";
  const std::string names = dir_ + "/timezone";
  fs::copy_file("/usr/share/zoneinfo/Asia/Tokyo", localtime);
  for (int round = 0; round < 3; ++round) {
    {
      std::ofstream out(names, std::ios::trunc);
      out << "Asia/Tokyo\n";
    }
    EXPECT_EQ(CachedLocalTimeZoneNameFrom(nullptr, localtime, names), "Asia/Tokyo");
    {
      std::ofstream out(names, std::ios::trunc);
      out << "Asia/Dhaka\n";  // the same length
    }
    EXPECT_EQ(CachedLocalTimeZoneNameFrom(nullptr, localtime, names), ":" + localtime);
  }
  EXPECT_EQ(CachedLocalTimeZoneNameFrom(nullptr, localtime, names), LocalTimeZoneNameFrom(nullptr, localtime, names));
}

// The offset the C library gives for the process's TZ at an instant: the machine's clock.
int ClockOffsetSeconds(ZoneInstant at) {
  ::tzset();
  const std::time_t t = static_cast<std::time_t>(at.time_since_epoch().count());
  std::tm local{};
  EXPECT_NE(::localtime_r(&t, &local), nullptr);
  return static_cast<int>(local.tm_gmtoff);
}

// Every way a machine names its zone gives the zone the C library reads for the clock, at
// every instant: history, the switches of daylight saving, and the far future.
TEST_F(LocalZoneTest, TheMachinesZoneAgreesWithTheClockInEveryForm) {
  const std::string copied = dir_ + "/copied-lord-howe";
  fs::copy_file("/usr/share/zoneinfo/Australia/Lord_Howe", copied);
  const std::string mounted = dir_ + "/etc-localtime";  // a copy with no name file beside it
  fs::copy_file("/usr/share/zoneinfo/America/Sao_Paulo", mounted);
  const std::string linked = dir_ + "/etc-localtime-link";
  fs::create_symlink("../../usr/share/zoneinfo/Europe/Berlin", linked);
  fs::create_symlink("/usr/share/zoneinfo/Europe/Berlin", dir_ + "/absolute-link");
  const std::string nameFile = dir_ + "/timezone";
  std::ofstream(nameFile) << "Asia/Tokyo\n";
  const std::string missing = dir_ + "/missing";
  struct Form {
    const char* tz;          // the TZ the program sees (null: unset)
    std::string localtime;   // the file read without TZ
    std::string clockTz;     // the TZ under which the C library reads the same clock
    std::string name;        // the zone named
  };
  const Form forms[] = {
      {"Europe/Berlin", missing, "Europe/Berlin", "Europe/Berlin"},
      {":Europe/Berlin", missing, ":Europe/Berlin", "Europe/Berlin"},
      {"EST5EDT,M3.2.0,M11.1.0", missing, "EST5EDT,M3.2.0,M11.1.0", "EST5EDT,M3.2.0,M11.1.0"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", missing, "CET-1CEST,M3.5.0,M10.5.0/3", "CET-1CEST,M3.5.0,M10.5.0/3"},
      {"/usr/share/zoneinfo/Asia/Kolkata", missing, "/usr/share/zoneinfo/Asia/Kolkata", "Asia/Kolkata"},
      {nullptr, missing, ":" + missing, "UTC"},
      {"", missing, "", "UTC"},
  };
  std::vector<Form> all(std::begin(forms), std::end(forms));
  const std::string copiedTz = ":" + copied;
  all.push_back({copiedTz.c_str(), missing, copiedTz, ":" + copied});
  all.push_back({nullptr, mounted, ":" + mounted, ":" + mounted});
  all.push_back({nullptr, copied, ":" + copied, ":" + copied});
  all.push_back({nullptr, linked, ":" + linked, "Europe/Berlin"});  // a relative link into the database
  all.push_back({nullptr, dir_ + "/absolute-link", ":" + dir_ + "/absolute-link", "Europe/Berlin"});
  const ZoneInstant instants[] = {
      Day(1650, 3, 1),  Day(1815, 12, 10), Day(1900, 1, 1), Day(1941, 6, 15), Day(1975, 1, 1),
      Day(2024, 1, 15), Day(2024, 3, 31) - std::chrono::hours(11), Day(2024, 7, 1),
      Day(2024, 10, 27) - std::chrono::hours(11), Day(2024, 11, 3) - std::chrono::hours(5),
      Day(2100, 7, 1),  Day(3999, 12, 31)};
  for (const Form& form : all) {
    SCOPED_TRACE(form.clockTz);
    const std::string name = LocalTimeZoneNameFrom(form.tz, form.localtime, nameFile);
    EXPECT_EQ(name, form.name);
    ::setenv("TZ", form.clockTz.c_str(), 1);
    for (const ZoneInstant at : instants) {
      SCOPED_TRACE(at.time_since_epoch().count());
      const auto state = FindTimeZone(name, at);
      ASSERT_TRUE(state.has_value());
      EXPECT_EQ(state->OffsetSeconds, ClockOffsetSeconds(at));
    }
  }
}

TEST_F(LocalZoneTest, TheMachinesStandardOffsetIgnoresDaylightSaving) {
  ::setenv("TZ", "America/New_York", 1);
  EXPECT_EQ(LocalTimeZoneName(), "America/New_York");
  EXPECT_EQ(LocalStandardOffsetMinutes(kSummer), -300);
  EXPECT_EQ(LocalStandardBiasMinutes(kSummer), 300);
  // A rule that is no zone of the database is read by the C library.
  ::setenv("TZ", "XYZ-3", 1);
  EXPECT_EQ(LocalStandardOffsetMinutes(kSummer), 180);
  ::setenv("TZ", "ABC+4DEF,M3.2.0,M11.1.0", 1);
  EXPECT_EQ(LocalStandardBiasMinutes(kSummer), 240);
}

// A rule in $TZ is the machine's zone: its clock is read the way the C library reads it, with
// the same answers as the database zone the rule describes.
TEST_F(LocalZoneTest, TheMachinesRuleIsReadWithItsDaylightSaving) {
  const std::string rule = "EST5EDT,M3.2.0,M11.1.0";
  ::setenv("TZ", rule.c_str(), 1);
  ASSERT_EQ(LocalTimeZoneName(), rule);
  for (const ZoneInstant at : {kWinter, kSummer, Day(2026, 3, 8) + std::chrono::hours(7),
                               Day(2026, 11, 1) + std::chrono::hours(5), Day(2045, 7, 1)}) {
    SCOPED_TRACE(at.time_since_epoch().count());
    const auto machine = FindTimeZone(rule, at);
    ASSERT_TRUE(machine.has_value());
    const TimeZoneState newYork = GetTimeZone("America/New_York", at);
    EXPECT_EQ(machine->OffsetMinutes(), newYork.OffsetMinutes());
    EXPECT_EQ(machine->StandardOffsetMinutes(), -300);
    EXPECT_EQ(machine->Daylight, newYork.Daylight);
  }
  EXPECT_EQ(GetTimeZone(rule, kSummer).Abbreviation, "EDT");
  // A rule that is not the machine's is no zone.
  EXPECT_FALSE(FindTimeZone("CET-1CEST,M3.5.0,M10.5.0/3", kSummer).has_value());
  ::setenv("TZ", "XYZ-3", 1);
  EXPECT_FALSE(FindTimeZone(rule, kSummer).has_value());
  EXPECT_EQ(GetTimeZone("XYZ-3", kSummer).OffsetMinutes(), 180);
}

}  // namespace
}  // namespace tw
