// The time-zone names the program takes from outside: the TZ variable, the name file
// /etc/timezone and zone names kept in stored charts.  The input's first line is the variable,
// the rest the name file; the whole input is also looked up as a zone name.  Every answer
// must be a zone of the database, a zone file named by its path, a rule from the variable, or
// "UTC"; nothing may crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/rtl/fuzz/scratchfolder.h"
#include "platform/sys/timezones.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t eol = text.find('\n');
  const std::string variable(text.substr(0, eol));
  const std::string_view rest = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);

  const std::string nameFile = tw::fuzz::ScratchFolder("timezone") + "/timezone";
  tw::fuzz::WriteScratchFile(nameFile, rest.data(), rest.size());

  // An input starting with a NUL byte stands for an unset variable.
  const bool unset = !variable.empty() && variable.front() == '\0';
  const std::string name =
      tw::LocalTimeZoneNameFrom(unset ? nullptr : variable.c_str(), "/nonexistent/localtime", nameFile);
  if (name.empty()) __builtin_trap();
  const bool zoneFile = name.size() > 1 && name[0] == ':' && name[1] == '/';
  if (tw::TimeZoneExists(name) || zoneFile) {
    // A zone of the database, or a zone file named by its path (":/path"), which must read.
    (void)tw::TimeZoneDisplayName(name, tw::ZoneInstant(std::chrono::seconds(0)));
  } else {
    // Neither a zone nor UTC: it must be the variable's own rule, without a leading ':'.
    std::string rule(variable.c_str());
    if (!rule.empty() && rule.front() == ':') rule.erase(0, 1);
    if (name != "UTC" && (unset || name != rule)) __builtin_trap();
  }

  if (auto state = tw::FindTimeZone(text, tw::ZoneInstant(std::chrono::seconds(1700000000)))) {
    if (state->Name.empty() || state->StandardOffsetSeconds > state->OffsetSeconds + 24 * 3600) __builtin_trap();
  }
  try {
    (void)tw::GetTimeZone(text);
    // Besides the zones only zone files named by their path and the machine's own rule in $TZ
    // are known.
    const char* machine = std::getenv("TZ");
    std::string rule = machine != nullptr ? machine : "";
    if (!rule.empty() && rule.front() == ':') rule.erase(0, 1);
    const bool path = text.size() > 1 && text[0] == ':' && text[1] == '/';
    if (!tw::TimeZoneExists(text) && !path && (rule.empty() || text != rule)) __builtin_trap();
  } catch (const tw::ETimeZoneError&) {
  }
  return 0;
}
