#include "dbengine/base/compare.h"

#include <algorithm>
#include <cstring>

namespace tw::dbengine {

int QNCmpBytes(const void* A, const void* B, std::size_t Len) {
  if (Len == 0) return 0;
  const int r = std::memcmp(A, B, Len);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

namespace {
inline unsigned char FoldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c; }

template <bool Fold>
int CmpShStr(std::string_view A, std::string_view B, std::size_t MaxLen) {
  const std::size_t la = std::min(A.size(), MaxLen), lb = std::min(B.size(), MaxLen);
  const std::size_t n = std::min(la, lb);
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char a = static_cast<unsigned char>(A[i]), b = static_cast<unsigned char>(B[i]);
    if constexpr (Fold) {
      a = FoldAscii(a);
      b = FoldAscii(b);
    }
    if (a != b) return a < b ? -1 : 1;
  }
  return la < lb ? -1 : (la > lb ? 1 : 0);
}
}  // namespace

int QNCmpShStr(std::string_view A, std::string_view B, std::size_t MaxLen) { return CmpShStr<false>(A, B, MaxLen); }
int QNCmpShStrUC(std::string_view A, std::string_view B, std::size_t MaxLen) { return CmpShStr<true>(A, B, MaxLen); }

}  // namespace tw::dbengine
