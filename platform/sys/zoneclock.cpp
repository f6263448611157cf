#include "platform/sys/zoneclock.h"

#include <chrono>
#include <cmath>
#include <cstdint>

namespace tw {

namespace {

// The zone's state at an instant; nothing for an unknown zone or an unreadable database.
std::optional<TimeZoneState> StateAt(std::string_view zone, std::int64_t unixSeconds) {
  try {
    return FindTimeZone(zone, ZoneInstant{std::chrono::seconds{unixSeconds}});
  } catch (const ETimeZoneError&) {
    return std::nullopt;
  }
}

std::optional<int> OffsetAt(std::string_view zone, std::int64_t unixSeconds) {
  const auto state = StateAt(zone, unixSeconds);
  if (!state) return std::nullopt;
  return state->OffsetSeconds;
}

}  // namespace

TDateTime TZoneClock::Local() const {
  return UnixToDateTime(Instant.time_since_epoch().count() + std::int64_t{OffsetSeconds});
}

std::optional<TZoneClock> ZoneClockAt(std::string_view zone, ZoneInstant at) {
  const auto state = StateAt(zone, at.time_since_epoch().count());
  if (!state) return std::nullopt;
  return TZoneClock{at, state->OffsetSeconds, state->StandardOffsetSeconds};
}

std::optional<TZoneClock> ZoneClockAtLocal(std::string_view zone, TDateTime local, std::optional<int> showingOffsetSeconds) {
  // Readings outside the calendar the zone files cover have no clock.
  constexpr double FirstDay = -693593.0, LastDay = 2958465.0;  // 1 January 0001, 31 December 9999
  if (!std::isfinite(local) || local < FirstDay || local > LastDay + 1) return std::nullopt;
  // The reading taken as if it were universal time: the instant lies within a day of it.
  const std::int64_t wall = DateTimeToUnix(local);
  constexpr std::int64_t Day = 86400;
  const auto before = OffsetAt(zone, wall - Day), after = OffsetAt(zone, wall + Day);
  if (!before || !after) return std::nullopt;
  // An offset fits when the instant it gives has that offset itself.
  const auto fits = [&](int offset) {
    const auto at = OffsetAt(zone, wall - std::int64_t{offset});
    return at && *at == offset;
  };
  const bool beforeFits = fits(*before), afterFits = fits(*after);
  // Neither fits a skipped reading: the offset before the change.  One fits an ordinary one.
  // Both fit a reading shown twice: the showing asked for, else the first.
  int offset = *before;
  if (afterFits && !beforeFits) offset = *after;
  if (beforeFits && afterFits && *after != *before) {
    if (showingOffsetSeconds == *after || (showingOffsetSeconds != *before && *after > *before)) offset = *after;
  }
  const std::int64_t instant = wall - std::int64_t{offset};
  const auto state = StateAt(zone, instant);
  if (!state) return std::nullopt;
  return TZoneClock{ZoneInstant{std::chrono::seconds{instant}}, offset, state->StandardOffsetSeconds};
}

}  // namespace tw
