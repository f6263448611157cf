#include "platform/sys/timezones.h"

#include <absl/time/civil_time.h>
#include <absl/time/time.h>
#include <date/tz.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
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

// The periods of a zone: spans of constant offset and daylight flag, [Begin, End) in seconds
// since 1970; the first and last reach to the ends of the time line.
constexpr std::int64_t Earliest = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t Latest = std::numeric_limits<std::int64_t>::max();
// Instants handed to the zone library stay within a few hundred million years of today.
constexpr std::int64_t Reach = std::int64_t{1} << 53;

struct TPeriod {
  std::int64_t Begin = Earliest;
  std::int64_t End = Latest;
  int OffsetSeconds = 0;
  bool Daylight = false;
  std::string Abbreviation;
};

std::int64_t UnixOf(const absl::CivilSecond& civil) {
  return absl::ToUnixSeconds(absl::FromCivil(civil, absl::UTCTimeZone()));
}

TPeriod PeriodAt(const absl::TimeZone& zone, std::int64_t t) {
  t = std::clamp(t, -Reach, Reach);
  const absl::TimeZone::CivilInfo info = zone.At(absl::FromUnixSeconds(t));
  TPeriod period;
  period.OffsetSeconds = info.offset;
  period.Daylight = info.is_dst;
  period.Abbreviation = info.zone_abbr != nullptr ? info.zone_abbr : "";
  // A transition's civil times read on the clock of the period at its side: the one it jumps to
  // with the offset after it, the one it jumps from with the offset before it.
  absl::TimeZone::CivilTransition transition;
  if (zone.PrevTransition(absl::FromUnixSeconds(t + 1), &transition))
    period.Begin = std::min(t, UnixOf(transition.to) - info.offset);
  if (zone.NextTransition(absl::FromUnixSeconds(t), &transition))
    period.End = std::max(t + 1, UnixOf(transition.from) - info.offset);
  return period;
}

// The nearest period before (step -1) or after (step +1) `period`, within `reach` periods,
// whose daylight flag is `daylight`.
std::optional<TPeriod> Neighbour(const absl::TimeZone& zone, TPeriod period, int step, bool daylight, int reach) {
  for (int i = 0; i < reach; ++i) {
    if (step < 0 ? period.Begin <= -Reach : period.End >= Reach) return std::nullopt;
    const TPeriod next = PeriodAt(zone, step < 0 ? period.Begin - 1 : period.End);
    // A step that does not move (the ends of the zone's data) ends the walk.
    if (step < 0 ? next.Begin >= period.Begin : next.End <= period.End) return std::nullopt;
    period = next;
    if (period.Daylight == daylight) return period;
  }
  return std::nullopt;
}

TimeZoneState StateOf(std::string_view name, const absl::TimeZone& zone, ZoneInstant at) {
  const TPeriod period = PeriodAt(zone, at.time_since_epoch().count());
  TimeZoneState state;
  state.Name = std::string(name);
  state.OffsetSeconds = period.OffsetSeconds;
  state.Daylight = period.Daylight;
  state.Abbreviation = period.Abbreviation;
  int standard = state.OffsetSeconds;
  // A saving period takes its standard offset from the nearest ordinary period on either
  // side; an ordinary period next to a saving period with a smaller offset has that one as
  // standard (the database marks the winter of some zones as their saving time).
  const int reach = state.Daylight ? 4 : 1;
  for (int step : {-1, 1}) {
    if (auto other = Neighbour(zone, period, step, !state.Daylight, reach))
      standard = std::min(standard, other->OffsetSeconds);
  }
  state.StandardOffsetSeconds = standard;
  return state;
}

// The rule $TZ holds when it names no zone of the database, without a leading ':'; empty
// otherwise.
std::string MachineRule() {
  const char* variable = std::getenv("TZ");
  if (variable == nullptr) return {};
  std::string rule = variable;
  if (!rule.empty() && rule.front() == ':') rule.erase(0, 1);
  if (rule.empty() || rule.front() == '/' || TimeZoneExists(rule)) return {};
  return rule;
}

// The machine's clock under the rule in $TZ, as the C library reads it.
std::optional<TimeZoneState> MachineRuleState(std::string_view rule, ZoneInstant at) {
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  ::tzset();
  const std::int64_t count = at.time_since_epoch().count();
  const auto t = static_cast<std::time_t>(count);
  if (static_cast<std::int64_t>(t) != count) return std::nullopt;
  std::tm local{};
  if (::localtime_r(&t, &local) == nullptr) return std::nullopt;
  TimeZoneState state;
  state.Name = std::string(rule);
  state.OffsetSeconds = static_cast<int>(local.tm_gmtoff);
  state.Daylight = local.tm_isdst > 0;
  state.Abbreviation = local.tm_zone != nullptr ? local.tm_zone : "";
  // The rule's standard offset (the C library's `timezone` is seconds west).
  state.StandardOffsetSeconds = static_cast<int>(-timezone);
  return state;
}

std::string AfterZoneinfo(std::string text) {
  const std::string marker = "zoneinfo/";
  const std::size_t at = text.rfind(marker);
  if (at != std::string::npos) text = text.substr(at + marker.size());
  return text;
}

constexpr const char* kZoneFolder = "/usr/share/zoneinfo/";

// A zone given by its file rather than by a name of the database: ':' and an absolute path.
bool IsZoneFileName(std::string_view name) { return name.size() > 1 && name[0] == ':' && name[1] == '/'; }

// The zone in a file, as the C library reads it; nothing when the file holds no zone.
std::optional<absl::TimeZone> LoadZoneFile(const std::string& path) {
  absl::TimeZone zone;
  if (!absl::LoadTimeZone(path, &zone)) return std::nullopt;
  return zone;
}

std::optional<std::string> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// True when the zone file at `path` holds exactly the database's zone `name`.
bool FileIsZone(const std::string& path, const std::string& name) {
  if (name.empty() || !TimeZoneExists(name)) return false;
  const auto file = FileBytes(path);
  const auto zone = FileBytes(kZoneFolder + name);
  return file && zone && !file->empty() && *file == *zone;
}

// The machine's zone read from a zone file (the C library's /etc/localtime or $TZ=:path):
// the database's name when the file is that zone's (`candidates` are tried in turn), else the
// file itself as ":path"; "UTC" when the file is missing or holds no zone, as the C library
// then keeps universal time.
std::string ZoneOfFile(const std::string& path, std::initializer_list<std::string> candidates) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error) || !LoadZoneFile(path)) return "UTC";
  for (const std::string& name : candidates)
    if (FileIsZone(path, name)) return name;
  return ":" + path;
}

std::string FirstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line)) return {};
  const auto first = line.find_first_not_of(" \t\r");
  const auto last = line.find_last_not_of(" \t\r");
  return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
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
  if (IsZoneFileName(name)) {
    const auto zone = LoadZoneFile(std::string(name.substr(1)));
    if (!zone) return std::nullopt;
    return StateOf(name, *zone, at);
  }
  if (!TimeZoneExists(name)) {
    const std::string rule = name.empty() ? std::string() : MachineRule();
    if (rule.empty() || rule != name) return std::nullopt;
    return MachineRuleState(name, at);
  }
  absl::TimeZone zone;
  if (!absl::LoadTimeZone(std::string(name), &zone))
    throw ETimeZoneError("The time zone " + std::string(name) + " cannot be read");
  return StateOf(name, zone, at);
}

TimeZoneState GetTimeZone(std::string_view name, ZoneInstant at) {
  auto state = FindTimeZone(name, at);
  if (!state) throw ETimeZoneError("Unknown time zone: " + std::string(name));
  return *state;
}

int ZoneStandardOffsetMinutes(std::string_view name, ZoneInstant at) {
  return GetTimeZone(name, at).StandardOffsetMinutes();
}

int ZoneStandardBiasMinutes(std::string_view name, ZoneInstant at) {
  return GetTimeZone(name, at).StandardBiasMinutes();
}

double ZoneStandardOffsetHours(std::string_view name, ZoneInstant at) {
  return GetTimeZone(name, at).StandardOffsetHours();
}

int ZoneOffsetMinutes(std::string_view name, ZoneInstant at) { return GetTimeZone(name, at).OffsetMinutes(); }

int ZoneOffsetSeconds(std::string_view name, ZoneInstant at) { return GetTimeZone(name, at).OffsetSeconds; }

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

std::string LocalTimeZoneNameFrom(const char* tzVariable, const std::string& localtimeFile,
                                  const std::string& timezoneFile) {
  if (tzVariable != nullptr) {
    std::string tz = tzVariable;
    if (!tz.empty() && tz.front() == ':') tz.erase(0, 1);
    if (tz.empty()) return "UTC";  // the C library reads an empty TZ as UTC
    // A path: the C library reads that file.
    if (tz.front() == '/') return ZoneOfFile(tz, {AfterZoneinfo(tz)});
    if (TimeZoneExists(tz)) return tz;
    // A rule such as "EST5EDT,M3.2.0,M11.1.0" that is no zone of the database: it starts with
    // its zone's letters, or with "<" around them.  Anything else the C library reads as UTC.
    const unsigned char first = static_cast<unsigned char>(tz.front());
    if (!std::isalpha(first) && first != '<') return "UTC";
    return tz;
  }
  // Without TZ the C library reads /etc/localtime, a link or a copied file alike; the link's
  // target or /etc/timezone only name the zone when their file is the one read.
  std::string linked;
  char target[4096];
  const ssize_t n = ::readlink(localtimeFile.c_str(), target, sizeof target - 1);
  if (n > 0) linked = AfterZoneinfo(std::string(target, static_cast<std::size_t>(n)));
  return ZoneOfFile(localtimeFile, {linked, FirstLine(timezoneFile)});
}

namespace {

// What stat tells of a file (or of a link itself): a file whose stamp is unchanged has not been
// written, replaced or removed since, unless within the file system's clock tick.
struct TFileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  mode_t mode = 0;
  off_t size = 0;
  long long modifiedSec = 0, modifiedNsec = 0, changedSec = 0, changedNsec = 0;
  bool operator==(const TFileStamp&) const = default;
};

TFileStamp StampOf(const std::string& path, bool followLink) {
  struct stat st {};
  if ((followLink ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return {};
  return TFileStamp{true, st.st_dev, st.st_ino, st.st_mode, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec,
                    st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
}

}  // namespace

std::string CachedLocalTimeZoneNameFrom(const char* tzVariable, const std::string& localtimeFile,
                                        const std::string& timezoneFile, int settledSeconds) {
  // A zone or a rule named in TZ reads no file: answered as it stands.
  std::string tz;
  if (tzVariable != nullptr) {
    tz = tzVariable;
    if (!tz.empty() && tz.front() == ':') tz.erase(0, 1);
    if (tz.empty() || tz.front() != '/') return LocalTimeZoneNameFrom(tzVariable, localtimeFile, timezoneFile);
  }
  struct TMemo {
    bool valid = false;
    bool fromTz = false;
    std::string tz, localtime, timezone, answer;
    std::vector<std::pair<std::string, bool>> files;  // path, follow a link
    std::vector<TFileStamp> stamps;
  };
  static std::mutex lock;
  static TMemo memo;
  const bool fromTz = tzVariable != nullptr;
  std::lock_guard<std::mutex> guard(lock);
  if (memo.valid && memo.fromTz == fromTz && memo.tz == tz && memo.localtime == localtimeFile &&
      memo.timezone == timezoneFile) {
    bool same = true;
    for (std::size_t i = 0; i < memo.files.size() && same; ++i)
      same = StampOf(memo.files[i].first, memo.files[i].second) == memo.stamps[i];
    if (same) return memo.answer;
  }
  memo.valid = false;
  // The files the answer rests on, stamped before they are read: a change after the stamp shows
  // at the next call.  The zone files compared are named by the link and the name file, whose
  // stamps cover them.
  const auto readAt = std::chrono::system_clock::now();
  std::vector<std::pair<std::string, bool>> files;
  if (fromTz) {
    files = {{tz, true}, {kZoneFolder + AfterZoneinfo(tz), true}};
  } else {
    files = {{localtimeFile, false}, {localtimeFile, true}, {timezoneFile, true}};
    char target[4096];
    const ssize_t n = ::readlink(localtimeFile.c_str(), target, sizeof target - 1);
    if (n > 0) files.emplace_back(kZoneFolder + AfterZoneinfo(std::string(target, static_cast<std::size_t>(n))), true);
    files.emplace_back(kZoneFolder + FirstLine(timezoneFile), true);
  }
  std::vector<TFileStamp> stamps;
  for (const auto& [path, follow] : files) stamps.push_back(StampOf(path, follow));
  const std::string answer = LocalTimeZoneNameFrom(tzVariable, localtimeFile, timezoneFile);
  // A file changed within the last moments could change again within the same clock tick
  // unseen: its answer is not kept.
  const long long settled =
      std::chrono::duration_cast<seconds>(readAt.time_since_epoch()).count() - settledSeconds;
  for (const TFileStamp& st : stamps)
    if (st.exists && (st.changedSec >= settled || st.modifiedSec >= settled)) return answer;
  memo = TMemo{true, fromTz, tz, localtimeFile, timezoneFile, answer, std::move(files), std::move(stamps)};
  return answer;
}

std::string LocalTimeZoneName() {
  // Asked at every recalculation: the files are read again only when one of them changed.
  return CachedLocalTimeZoneNameFrom(std::getenv("TZ"), "/etc/localtime", "/etc/timezone");
}

int LocalStandardOffsetMinutes(ZoneInstant at) {
  // A name, a zone file or a rule in TZ (read by the C library) alike.
  try {
    if (auto state = FindTimeZone(LocalTimeZoneName(), at)) return state->StandardOffsetMinutes();
  } catch (const ETimeZoneError&) {
    // Not readable here: the C library's own standard offset below.
  }
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  ::tzset();
  return static_cast<int>(-timezone / 60);
}

int LocalStandardBiasMinutes(ZoneInstant at) { return -LocalStandardOffsetMinutes(at); }

}  // namespace tw
