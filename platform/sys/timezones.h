// Time zones from the system's tz database (/usr/share/zoneinfo).  A zone is named and
// stored by its tz name ("Europe/Berlin").
//
// Offsets are given in two sign conventions, both named in every function:
// - "offset": seconds, minutes or hours east of UTC, positive east: local time = UTC + offset
//   (Europe/Berlin: +60 minutes in winter);
// - "bias": minutes west of UTC, as the window system's zone records keep it:
//   UTC = local time + bias (Europe/Berlin: -60).
// Offsets are kept to the second (local mean times before standard time had seconds, Berlin's
// +0:53:28); the minute values are the offsets cut toward zero, for display and bias records.
//
// The standard offset of a zone at an instant is its offset without daylight saving: in a
// zone that switches, the smaller of the offsets of the period at that instant and of the
// neighbouring period of the other kind (the tz database marks periods, not the amount of
// saving); in a zone that does not switch, its offset.  So a zone whose database marks the
// winter as its saving time (Europe/Dublin) still has its winter offset as standard.
//
// The zone files are read by Abseil's time-zone library (CCTZ), which follows the closing
// rule of each file (the POSIX TZ string after the listed changes), so instants after the last
// listed change keep their daylight saving for every year to come.
//
// The machine's zone may be given in $TZ as a rule instead of a name
// ("EST5EDT,M3.2.0,M11.1.0").  Such a rule counts as a zone while it is the process's $TZ; the C
// library reads it (localtime_r), as it does for the machine's clock.  A zone may also be given
// by its file, as ':' followed by the file's absolute path (":/etc/localtime"): the machine's
// zone when the C library reads a file that is no zone of the database (a copied or mounted
// /etc/localtime, $TZ=:/path/to/file); it is read from that file, as the C library reads it.
//
// Failures (an unknown zone name, an unreadable database) raise ETimeZoneError.  All
// functions may be called from any thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace tw {

TW_DECLARE_EXCEPTION(ETimeZoneError, Exception);

using ZoneInstant = std::chrono::sys_seconds;

// The current instant, to the second.
ZoneInstant CurrentInstant();

struct TimeZoneState {
  std::string Name;
  int StandardOffsetSeconds = 0;  // east positive, daylight saving not counted
  int OffsetSeconds = 0;          // east positive, daylight saving counted
  bool Daylight = false;          // daylight saving in effect
  std::string Abbreviation;       // "CEST", "EST", "+0530" ...

  int StandardOffsetMinutes() const { return StandardOffsetSeconds / 60; }  // east positive
  int OffsetMinutes() const { return OffsetSeconds / 60; }                  // east positive
  int StandardBiasMinutes() const { return -StandardOffsetMinutes(); }      // west positive
  int BiasMinutes() const { return -OffsetMinutes(); }                      // west positive
  double StandardOffsetHours() const { return StandardOffsetSeconds / 3600.0; }
};

// Every zone name of the database, byte-wise sorted; the aliases "localtime", "posixrules"
// and "Factory" are left out.
std::vector<std::string> TimeZoneNames();
bool TimeZoneExists(std::string_view name);

// The zone's state at an instant; nothing for an unknown name (a rule that is not the
// machine's $TZ is unknown).
std::optional<TimeZoneState> FindTimeZone(std::string_view name, ZoneInstant at = CurrentInstant());
// The same, raising ETimeZoneError "Unknown time zone: <name>" for an unknown name.
TimeZoneState GetTimeZone(std::string_view name, ZoneInstant at = CurrentInstant());

int ZoneStandardOffsetMinutes(std::string_view name, ZoneInstant at = CurrentInstant());
int ZoneStandardBiasMinutes(std::string_view name, ZoneInstant at = CurrentInstant());
double ZoneStandardOffsetHours(std::string_view name, ZoneInstant at = CurrentInstant());
int ZoneOffsetMinutes(std::string_view name, ZoneInstant at = CurrentInstant());
int ZoneOffsetSeconds(std::string_view name, ZoneInstant at = CurrentInstant());
bool ZoneIsDaylight(std::string_view name, ZoneInstant at = CurrentInstant());

// A text for lists and status lines: "(UTC+01:00) Europe/Berlin", "(UTC-05:00) America/New York",
// "(UTC+00:00) UTC"; the standard offset at the instant, underscores shown as blanks.
std::string TimeZoneDisplayName(std::string_view name, ZoneInstant at = CurrentInstant());

// The machine's zone: always the zone the C library reads for the machine's clock, so that a
// moment read from the clock converts back to the instant it was.  By the C library's rules:
// - $TZ set (a leading ':' dropped): empty is "UTC"; an absolute path is that file's zone; a
//   name of the database is that zone; anything else is a rule ("EST5EDT,M3.2.0,M11.1.0"),
//   given as it stands;
// - $TZ unset: the zone file /etc/localtime (a link or a copied or mounted file), "UTC" when it
//   is missing or holds no zone.
// A zone file is named by the database's name when it holds exactly that zone (a path under a
// "zoneinfo/" folder, the target of the /etc/localtime link, the name in /etc/timezone), else
// ":" + its path.
std::string LocalTimeZoneName();
// The same from given sources, for tests: `tzVariable` (null when unset), the file the C
// library reads without TZ, and the name file.
std::string LocalTimeZoneNameFrom(const char* tzVariable, const std::string& localtimeFile,
                                  const std::string& timezoneFile);
// The same, answered from the last answer while none of the files it rests on has changed
// (LocalTimeZoneName reads so).  An answer from a file changed less than `settledSeconds` before
// is not kept, as a change within the file system's clock tick would not show.
std::string CachedLocalTimeZoneNameFrom(const char* tzVariable, const std::string& localtimeFile,
                                        const std::string& timezoneFile, int settledSeconds = 2);

// The machine's standard offset (east positive) and bias (west positive), of the zone
// LocalTimeZoneName gives.
int LocalStandardOffsetMinutes(ZoneInstant at = CurrentInstant());
int LocalStandardBiasMinutes(ZoneInstant at = CurrentInstant());

}  // namespace tw
