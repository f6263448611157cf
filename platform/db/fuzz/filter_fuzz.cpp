// Filter texts come from form descriptions and callers: any text parses or fails cleanly.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/db/dberrors.h"
#include "platform/db/filterexpr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    tw::TFilterExpression e(text);
    e.Evaluate([](const std::string& name) -> tw::TFieldValue {
      if (name.size() % 3 == 0) return std::monostate{};
      if (name.size() % 3 == 1) return std::string("ENG");
      return std::int64_t{7};
    });
  } catch (const tw::EDatabaseError&) {
  }
  return 0;
}
