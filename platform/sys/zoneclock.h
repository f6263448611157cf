// The clock a time zone shows: the offsets in force at an instant, and the instant that a reading
// of the zone's clocks (a local date and time) stands for.
//
// A zone is named as FindTimeZone takes it (a database name, ":" and a zone file's path, or the
// rule in the process's $TZ).  Offsets are seconds east of UTC.  Local readings are date-time
// values (days since 30 December 1899) as the zone's clocks showed them.
//
// When the clocks are put back (saving ends), one hour of readings is shown twice: the first
// showing with the offset before the change, the second with the one after.  When they are put
// forward, an hour of readings is skipped; such a reading is taken with the offset before the
// change (the instant lies after the change).
#pragma once

#include <optional>
#include <string_view>

#include "platform/rtl/datetime.h"
#include "platform/sys/timezones.h"

namespace tw {

struct TZoneClock {
  ZoneInstant Instant{};          // the instant the reading stands for
  int OffsetSeconds = 0;          // the clock's offset, daylight saving counted
  int StandardOffsetSeconds = 0;  // the zone's standard offset then

  double StandardHours() const { return StandardOffsetSeconds / 3600.0; }
  double SavingHours() const { return (OffsetSeconds - StandardOffsetSeconds) / 3600.0; }
  // The reading itself: the instant on this clock.
  TDateTime Local() const;
};

// The zone's clock at an instant; nothing for an unknown zone or an unreadable database.
std::optional<TZoneClock> ZoneClockAt(std::string_view zone, ZoneInstant at);

// The zone's clock at a local reading.  A reading shown twice is taken as the showing whose
// offset is `showingOffsetSeconds` when one of the two has it, else as the first.  Nothing for
// an unknown zone or a reading outside the years 1 to 9999.
std::optional<TZoneClock> ZoneClockAtLocal(std::string_view zone, TDateTime local,
                                           std::optional<int> showingOffsetSeconds = std::nullopt);

}  // namespace tw
