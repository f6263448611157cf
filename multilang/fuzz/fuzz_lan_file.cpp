// The language-file reader on arbitrary bytes: whole results or ELangFileError, nothing else.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "multilang/langfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    tw::multilang::TLanFile file = tw::multilang::ParseLanFile(bytes);
    for (const auto& s : file.Sections) {
      try {
        (void)tw::multilang::ParseFormBody(s.Body);
      } catch (const tw::multilang::ELangFileError&) {
      }
    }
    // What was read writes back and reads again to the same languages.
    std::string again = tw::multilang::BuildLanFile(file);
    tw::multilang::TLanFile second = tw::multilang::ParseLanFile(again);
    if (second.Sections.size() != file.Sections.size()) __builtin_trap();
  } catch (const tw::multilang::ELangFileError&) {
  }
  return 0;
}
