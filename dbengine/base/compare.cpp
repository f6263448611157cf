#include "dbengine/base/compare.h"

#include <cstring>

namespace tw::dbengine {

int QNCmpBytes(const void* A, const void* B, std::size_t Len) {
  if (Len == 0) return 0;
  const int r = std::memcmp(A, B, Len);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

}  // namespace tw::dbengine
