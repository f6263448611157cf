// File filters come from language files ("Language files (*.LAN)|*.LAN|..."): any text must
// split into pairs, and matching any name against any pattern must end with an answer.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/forms/dialogs/filedialogs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto filters = tw::ParseFileFilter(text);
  if (filters.size() > size) std::abort();
  const std::size_t cut = text.find('\n');
  const std::string name = cut == std::string::npos ? text : text.substr(0, cut);
  const std::string patterns = cut == std::string::npos ? std::string("*") : text.substr(cut + 1);
  (void)tw::MatchesFilePattern(name, patterns);
  for (const auto& f : filters) (void)tw::MatchesFilePattern(name, f.second);
  return 0;
}
