// Raw range limits of form resources: the first byte picks the data type, the rest are the
// stored bytes.  Any bytes are either refused or read as a finite limit, and a limit read from
// a format that holds it exactly writes back to a limit that reads the same.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "entry/fkrangeraw.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tw::entry;
  if (size == 0) return 0;
  const auto type = static_cast<TPictureDataType>(data[0] % 16);
  const std::string raw(reinterpret_cast<const char*>(data + 1), size - 1);
  TFkValue v;
  if (!RawToRange(type, raw, v)) return 0;
  if (!HasRawRange(type) || raw.size() != kRawRangeSize || !std::isfinite(v.Real)) std::abort();
  TFkValue again;
  if (!RawToRange(type, RangeToRaw(type, v), again)) std::abort();
  const bool exact = type != TPictureDataType::pftExtended && type != TPictureDataType::pftComp;
  if (again.Int != v.Int || (exact && again.Real != v.Real)) std::abort();
  return 0;
}
