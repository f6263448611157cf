// The language file builder on arbitrary source text: a file or a clear error, and what it
// builds reads back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/langbuild/langsource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    auto file = tw::langbuild::LanFromIniSource(text, "English", "46000");
    auto back = tw::multilang::ParseLanFile(tw::multilang::BuildLanFile(file));
    for (const auto& s : back.Sections) tw::multilang::ParseFormBody(s.Body);
  } catch (const tw::Exception&) {
  }
  return 0;
}
