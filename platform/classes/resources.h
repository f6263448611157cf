// Named raw-data resources.  Every file under resources/ is embedded in the program at build
// time under its base name without extension; string tables (resources/strings/*.txt) are
// compiled into the raw string-table format: records of a 16-bit little-endian id followed by
// the zero-terminated Windows-1252 text, up to the resource's end.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The bytes of the resource `name` (case-insensitive); run-time registrations come before the
// embedded ones.  The view stays valid until the resource is unregistered or replaced.
std::optional<std::string_view> FindResource(const std::string& name);
// The names of all resources, embedded and registered, sorted case-insensitively, each once.
std::vector<std::string> ResourceNames();
// Adds or replaces a run-time resource (tests, plug-ins); it takes precedence over an embedded
// one of the same name.
void RegisterResource(const std::string& name, std::string bytes);
void UnregisterResource(const std::string& name);
// Makes `name` missing, embedded or not, until it is unregistered (tests of missing resources).
void HideResource(const std::string& name);

// One embedded resource, as written by the resource compiler.
struct TEmbeddedResource {
  const char* Name;
  const unsigned char* Data;
  unsigned long Size;
};

}  // namespace tw
