// Reads arbitrary bytes as a help folder's map and looks up what it holds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/sys/helpmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const tw::HelpMap map = tw::ParseHelpMap(text);
  for (const auto& [context, target] : map.Contexts) {
    if (map.FindContext(context) == nullptr || target.Page.empty()) __builtin_trap();
  }
  for (const auto& [keyword, target] : map.Keywords) {
    if (map.FindKeyword(keyword, false) == nullptr || target.Page.empty()) __builtin_trap();
    map.FindKeyword(keyword.substr(0, keyword.size() / 2), true);
  }
  return 0;
}
