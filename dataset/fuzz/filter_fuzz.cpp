// Filter texts come from form descriptions and callers: any text parses or fails cleanly, and
// the block handed to the access layer is always whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dataset/dberrors.h"
#include "dataset/enginefilter.h"
#include "dataset/filterexpr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    tw::TFilterExpression e(text);
    e.Evaluate([](const std::string& name) -> tw::TFieldValue {
      if (name.size() % 3 == 0) return std::monostate{};
      if (name.size() % 3 == 1) return std::string("ENG");
      return std::int64_t{7};
    });
    // Every name is a field; its kind follows from its length.
    static const tw::TFieldType kinds[] = {tw::TFieldType::ftString, tw::TFieldType::ftSmallint,
                                           tw::TFieldType::ftWord,   tw::TFieldType::ftInteger,
                                           tw::TFieldType::ftFloat,  tw::TFieldType::ftMemo};
    std::vector<std::uint8_t> block = tw::BuildEngineFilter(e, [](const std::string& name, tw::TEngineFilterField& f) {
      f.Name = name;
      f.FieldNo = static_cast<std::uint16_t>(name.size());
      f.DataType = kinds[name.size() % 6];
      f.Size = static_cast<int>(name.size());
      return true;
    });
    if (!block.empty()) {
      std::uint16_t total = 0, literals = 0;
      std::memcpy(&total, block.data() + 2, 2);
      std::memcpy(&literals, block.data() + 8, 2);
      if (total != block.size() || literals > block.size()) std::abort();
    }
  } catch (const tw::EDatabaseError&) {
  }
  return 0;
}
