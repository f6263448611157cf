#include "platform/sys/timezones.h"

#include <date/tz.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>

namespace tw {

namespace {

using std::chrono::seconds;

// The sorted zone names, read once from the database.  A failed read is retried on the next
// call, so a database installed later is found.
const std::vector<std::string>& ZoneNames() {
  static std::mutex lock;
  static std::vector<std::string> names;
  static bool loaded = false;
  std::lock_guard<std::mutex> guard(lock);
  if (!loaded) {
    try {
      const auto& db = date::get_tzdb();
      std::vector<std::string> list;
      list.reserve(db.zones.size());
      for (const auto& zone : db.zones) {
        const std::string& name = zone.name();
        if (name == "localtime" || name == "posixrules" || name == "Factory") continue;
        list.push_back(name);
      }
      std::sort(list.begin(), list.end());
      list.erase(std::unique(list.begin(), list.end()), list.end());
      names = std::move(list);
      loaded = true;
    } catch (const std::exception& e) {
      throw ETimeZoneError(std::string("The time-zone database cannot be read: ") + e.what());
    }
  }
  return names;
}

const date::time_zone* LocateZone(std::string_view name) {
  if (!TimeZoneExists(name)) return nullptr;
  try {
    return date::locate_zone(name);
  } catch (const std::exception&) {
    return nullptr;
  }
}

int Minutes(seconds s) { return static_cast<int>(s.count() / 60); }

bool IsDaylight(const date::sys_info& info) { return info.save != std::chrono::minutes(0); }

// The nearest period before (step -1) or after (step +1) `info`, within a few periods, whose
// daylight flag is `daylight`.
std::optional<date::sys_info> Neighbour(const date::time_zone& zone, date::sys_info info, int step, bool daylight,
                                        int reach) {
  // The first and last periods reach to the ends of the library's time range; a step past them
  // gives the same period again, which ends the walk.
  for (int i = 0; i < reach; ++i) {
    const date::sys_info next = step < 0 ? zone.get_info(info.begin - seconds(1)) : zone.get_info(info.end);
    if (step < 0 ? next.begin >= info.begin : next.end <= info.end) return std::nullopt;
    info = next;
    if (IsDaylight(info) == daylight) return info;
  }
  return std::nullopt;
}

TimeZoneState StateOf(const date::time_zone& zone, ZoneInstant at) {
  const date::sys_info info = zone.get_info(at);
  TimeZoneState state;
  state.Name = zone.name();
  state.OffsetMinutes = Minutes(info.offset);
  state.Daylight = IsDaylight(info);
  state.Abbreviation = info.abbrev;
  int standard = state.OffsetMinutes;
  // A saving period takes its standard offset from the nearest ordinary period on either
  // side; an ordinary period next to a saving period with a smaller offset has that one as
  // standard (the database marks the winter of some zones as their saving time).
  const int reach = state.Daylight ? 4 : 1;
  for (int step : {-1, 1}) {
    if (auto other = Neighbour(zone, info, step, !state.Daylight, reach))
      standard = std::min(standard, Minutes(other->offset));
  }
  state.StandardOffsetMinutes = standard;
  return state;
}

std::string AfterZoneinfo(std::string text) {
  const std::string marker = "zoneinfo/";
  const std::size_t at = text.rfind(marker);
  if (at != std::string::npos) text = text.substr(at + marker.size());
  return text;
}

}  // namespace

ZoneInstant CurrentInstant() {
  return std::chrono::time_point_cast<seconds>(std::chrono::system_clock::now());
}

std::vector<std::string> TimeZoneNames() { return ZoneNames(); }

bool TimeZoneExists(std::string_view name) {
  const auto& names = ZoneNames();
  return std::binary_search(names.begin(), names.end(), name,
                            [](std::string_view a, std::string_view b) { return a < b; });
}

std::optional<TimeZoneState> FindTimeZone(std::string_view name, ZoneInstant at) {
  const date::time_zone* zone = LocateZone(name);
  if (zone == nullptr) return std::nullopt;
  try {
    return StateOf(*zone, at);
  } catch (const std::exception& e) {
    throw ETimeZoneError("The time zone " + std::string(name) + " cannot be read: " + e.what());
  }
}

TimeZoneState GetTimeZone(std::string_view name, ZoneInstant at) {
  auto state = FindTimeZone(name, at);
  if (!state) throw ETimeZoneError("Unknown time zone: " + std::string(name));
  return *state;
}

int ZoneStandardOffsetMinutes(std::string_view name, ZoneInstant at) {
  return GetTimeZone(name, at).StandardOffsetMinutes;
}

int ZoneStandardBiasMinutes(std::string_view name, ZoneInstant at) {
  return GetTimeZone(name, at).StandardBiasMinutes();
}

double ZoneStandardOffsetHours(std::string_view name, ZoneInstant at) {
  return GetTimeZone(name, at).StandardOffsetHours();
}

int ZoneOffsetMinutes(std::string_view name, ZoneInstant at) { return GetTimeZone(name, at).OffsetMinutes; }

bool ZoneIsDaylight(std::string_view name, ZoneInstant at) { return GetTimeZone(name, at).Daylight; }

std::string TimeZoneDisplayName(std::string_view name, ZoneInstant at) {
  const int offset = ZoneStandardOffsetMinutes(name, at);
  const int magnitude = offset < 0 ? -offset : offset;
  char text[16];
  std::snprintf(text, sizeof text, "%c%02d:%02d", offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
  std::string shown(name);
  std::replace(shown.begin(), shown.end(), '_', ' ');
  return "(UTC" + std::string(text) + ") " + shown;
}

std::string LocalTimeZoneNameFrom(const char* tzVariable, const std::string& localtimeLink,
                                  const std::string& timezoneFile) {
  if (tzVariable != nullptr) {
    std::string tz = tzVariable;
    if (!tz.empty() && tz.front() == ':') tz.erase(0, 1);
    if (tz.empty()) return "UTC";  // the C library reads an empty TZ as UTC
    const std::string name = AfterZoneinfo(tz);
    if (TimeZoneExists(name)) return name;
    // A rule such as "EST5EDT,M3.2.0,M11.1.0" that is no zone of the database.
    if (tz.front() != '/') return tz;
  }
  char target[4096];
  const ssize_t n = ::readlink(localtimeLink.c_str(), target, sizeof target - 1);
  if (n > 0) {
    const std::string name = AfterZoneinfo(std::string(target, static_cast<std::size_t>(n)));
    if (TimeZoneExists(name)) return name;
  }
  std::ifstream file(timezoneFile);
  std::string line;
  if (file && std::getline(file, line)) {
    const auto first = line.find_first_not_of(" \t\r");
    const auto last = line.find_last_not_of(" \t\r");
    if (first != std::string::npos) {
      const std::string name = line.substr(first, last - first + 1);
      if (TimeZoneExists(name)) return name;
    }
  }
  return "UTC";
}

std::string LocalTimeZoneName() {
  return LocalTimeZoneNameFrom(std::getenv("TZ"), "/etc/localtime", "/etc/timezone");
}

int LocalStandardOffsetMinutes(ZoneInstant at) {
  const std::string name = LocalTimeZoneName();
  if (TimeZoneExists(name)) return ZoneStandardOffsetMinutes(name, at);
  // A rule in TZ: the C library's standard offset for it (its `timezone` is seconds west).
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  ::tzset();
  return static_cast<int>(-timezone / 60);
}

int LocalStandardBiasMinutes(ZoneInstant at) { return -LocalStandardOffsetMinutes(at); }

}  // namespace tw
