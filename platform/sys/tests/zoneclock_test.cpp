// The clock of a zone at a local reading, with the rules in force then.
#include "platform/sys/zoneclock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>

namespace tw {
namespace {

TDateTime Day(int y, int m, int d) { return EncodeDate(y, m, d); }

TEST(ZoneClock, StandardOffsetAndSavingAtALocalMoment) {
  const auto winter = ZoneClockAtLocal("Europe/Berlin", Day(2024, 1, 15) + 0.5);
  ASSERT_TRUE(winter.has_value());
  EXPECT_EQ(winter->StandardHours(), 1.0);
  EXPECT_EQ(winter->SavingHours(), 0.0);
  const auto summer = ZoneClockAtLocal("Europe/Berlin", Day(2024, 7, 1) + 0.5);
  ASSERT_TRUE(summer.has_value());
  EXPECT_EQ(summer->StandardHours(), 1.0);
  EXPECT_EQ(summer->SavingHours(), 1.0);
  const auto newYork = ZoneClockAtLocal("America/New_York", Day(2024, 7, 1) + 0.5);
  ASSERT_TRUE(newYork.has_value());
  EXPECT_EQ(newYork->StandardHours(), -5.0);
  EXPECT_EQ(newYork->SavingHours(), 1.0);
  // Skipped at 02:00 on 31 March 2024: read with the winter clock.  Shown twice on 27 October:
  // the first reading, still in summer time.
  EXPECT_EQ(ZoneClockAtLocal("Europe/Berlin", Day(2024, 3, 31) + 2.5 / 24)->SavingHours(), 0.0);
  EXPECT_EQ(ZoneClockAtLocal("Europe/Berlin", Day(2024, 3, 31) + 3.5 / 24)->SavingHours(), 1.0);
  EXPECT_EQ(ZoneClockAtLocal("Europe/Berlin", Day(2024, 10, 27) + 2.5 / 24)->SavingHours(), 1.0);
  EXPECT_EQ(ZoneClockAtLocal("Europe/Berlin", Day(2024, 10, 27) + 3.5 / 24)->SavingHours(), 0.0);
  // The showing asked for by its offset: the second, in standard time, an hour later.
  const auto second = ZoneClockAtLocal("Europe/Berlin", Day(2024, 10, 27) + 2.5 / 24, 3600);
  EXPECT_EQ(second->SavingHours(), 0.0);
  EXPECT_EQ(second->Instant - ZoneClockAtLocal("Europe/Berlin", Day(2024, 10, 27) + 2.5 / 24)->Instant,
            std::chrono::hours(1));
  EXPECT_DOUBLE_EQ(second->Local(), Day(2024, 10, 27) + 2.5 / 24);
  // History: double summer time in Britain in 1941; half an hour on Lord Howe Island.
  EXPECT_EQ(ZoneClockAtLocal("Europe/London", Day(1941, 6, 15) + 0.5)->SavingHours(), 2.0);
  const auto lordHowe = ZoneClockAtLocal("Australia/Lord_Howe", Day(2024, 1, 15) + 0.5);
  ASSERT_TRUE(lordHowe.has_value());
  EXPECT_EQ(lordHowe->StandardHours() + lordHowe->SavingHours(), 11.0);
  const auto utc = ZoneClockAtLocal("UTC", Day(2024, 7, 1));
  ASSERT_TRUE(utc.has_value());
  EXPECT_TRUE(utc->StandardHours() == 0.0 && utc->SavingHours() == 0.0);
  EXPECT_FALSE(ZoneClockAtLocal("No/Such_Zone", Day(2024, 1, 15)).has_value());
  EXPECT_FALSE(ZoneClockAtLocal("EST5EDT,M3.2.0,M11.1.0", Day(2024, 1, 15)).has_value())
      << "a rule that is not the machine's names no zone";
  // After the last change the zone files list, the zones' closing rules go on.
  EXPECT_EQ(ZoneClockAtLocal("Europe/Berlin", Day(2040, 7, 1) + 0.5)->SavingHours(), 1.0);
  EXPECT_EQ(ZoneClockAtLocal("America/New_York", Day(2045, 7, 1) + 0.5)->SavingHours(), 1.0);
  EXPECT_EQ(ZoneClockAtLocal("Australia/Sydney", Day(2040, 7, 15) + 0.5)->SavingHours(), 0.0);
  // Local mean time before standard time, to the second: Berlin kept +0:53:28.
  EXPECT_DOUBLE_EQ(ZoneClockAtLocal("Europe/Berlin", Day(1880, 5, 1) + 0.5)->StandardHours(), 3208.0 / 3600);
  EXPECT_FALSE(ZoneClockAtLocal("Europe/Berlin", 1e300).has_value());
  EXPECT_FALSE(ZoneClockAtLocal("Europe/Berlin", std::numeric_limits<double>::quiet_NaN()).has_value());
}

}  // namespace
}  // namespace tw
