#include "platform/classes/resources.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <mutex>
#include <set>

#include "platform/rtl/win1252.h"

namespace tw {

namespace embedded {
// Written by the resource compiler into the resources library.  Referencing the table here
// makes the linker keep it whenever the lookup is used.
extern const TEmbeddedResource kResources[];
extern const std::size_t kResourceCount;
}  // namespace embedded

namespace {

std::string Key(const std::string& name) { return AnsiUpperCase(name); }

struct RunTime {
  std::mutex mutex;
  // Upper-cased name -> (name as registered, bytes).  Map nodes do not move, so a view of
  // the bytes stays valid until that entry is replaced or removed.
  std::map<std::string, std::pair<std::string, std::string>> byKey;
  std::set<std::string> hidden;  // upper-cased names that count as missing
};

RunTime& Registered() {
  static RunTime r;
  return r;
}

const std::map<std::string, const TEmbeddedResource*>& Embedded() {
  static const std::map<std::string, const TEmbeddedResource*> table = [] {
    std::map<std::string, const TEmbeddedResource*> m;
    for (std::size_t i = 0; i < embedded::kResourceCount; ++i)
      m.emplace(Key(embedded::kResources[i].Name), &embedded::kResources[i]);
    return m;
  }();
  return table;
}

}  // namespace

std::optional<std::string_view> FindResource(const std::string& name) {
  const std::string key = Key(name);
  {
    RunTime& r = Registered();
    std::lock_guard lock(r.mutex);
    if (r.hidden.count(key) != 0) return std::nullopt;
    auto it = r.byKey.find(key);
    if (it != r.byKey.end()) return std::string_view(it->second.second);
  }
  const auto& table = Embedded();
  auto it = table.find(key);
  if (it == table.end()) return std::nullopt;
  const TEmbeddedResource* res = it->second;
  if (res->Size == 0) return std::string_view();
  return std::string_view(reinterpret_cast<const char*>(res->Data), res->Size);
}

std::vector<std::string> ResourceNames() {
  std::map<std::string, std::string> names;
  for (const auto& [key, res] : Embedded()) names.emplace(key, res->Name);
  {
    RunTime& r = Registered();
    std::lock_guard lock(r.mutex);
    for (const auto& [key, entry] : r.byKey) names[key] = entry.first;
    for (const auto& key : r.hidden) names.erase(key);
  }
  std::vector<std::string> list;
  list.reserve(names.size());
  for (auto& [key, name] : names) list.push_back(std::move(name));
  return list;
}

void RegisterResource(const std::string& name, std::string bytes) {
  RunTime& r = Registered();
  std::lock_guard lock(r.mutex);
  r.hidden.erase(Key(name));
  r.byKey[Key(name)] = {name, std::move(bytes)};
}

void UnregisterResource(const std::string& name) {
  RunTime& r = Registered();
  std::lock_guard lock(r.mutex);
  r.byKey.erase(Key(name));
  r.hidden.erase(Key(name));
}

void HideResource(const std::string& name) {
  RunTime& r = Registered();
  std::lock_guard lock(r.mutex);
  r.byKey.erase(Key(name));
  r.hidden.insert(Key(name));
}

}  // namespace tw
