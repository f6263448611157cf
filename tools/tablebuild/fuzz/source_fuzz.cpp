// Feeds arbitrary bytes to both source readers: a fault must come back as SourceError.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/tablebuild/textsource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    tw::tablebuild::ParseMessages(text, "ENG", "fuzz");
  } catch (const tw::tablebuild::SourceError&) {
  }
  try {
    tw::tablebuild::ParseInterpretations(text, "ENG", "fuzz").Rows();
  } catch (const tw::tablebuild::SourceError&) {
  }
  return 0;
}
