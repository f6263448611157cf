#include "dbengine/base/elfhash.h"

namespace tw::dbengine {

std::uint32_t ElfHash(const void* Buf, long Len) {
  std::uint32_t h = 0;
  if (Buf == nullptr || Len <= 0) return 0;
  const auto* p = static_cast<const unsigned char*>(Buf);
  for (long i = 0; i < Len; ++i) {
    h = (h << 4) + p[i];
    const std::uint32_t g = h & 0xF0000000u;
    if (g != 0) h ^= g >> 24;
    h &= ~g;
  }
  return h;
}

}  // namespace tw::dbengine
