// The form-resource "LanguagesData" reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "multilang/langfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    tw::multilang::TLanguagesData parsed = tw::multilang::ParseLanguagesData(bytes);
    std::string again = tw::multilang::BuildLanguagesData(parsed);
    tw::multilang::TLanguagesData second = tw::multilang::ParseLanguagesData(again);
    if (second.Values.size() != parsed.Values.size() || second.Languages.Languages.size() != parsed.Languages.Languages.size())
      __builtin_trap();
  } catch (const tw::multilang::ELangFileError&) {
  }
  return 0;
}
