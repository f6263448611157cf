// Three-way comparisons (-1, 0, 1) and small range routines used by field and key comparison.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tw::dbengine {

template <typename T>
constexpr int QNCmp3(T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }

constexpr int QNCmpB(std::uint8_t a, std::uint8_t b) { return QNCmp3(a, b); }
constexpr int QNCmpW(std::uint16_t a, std::uint16_t b) { return QNCmp3(a, b); }
constexpr int QNCmpDW(std::uint32_t a, std::uint32_t b) { return QNCmp3(a, b); }
constexpr int QNCmpI8(std::int8_t a, std::int8_t b) { return QNCmp3(a, b); }
constexpr int QNCmpI16(std::int16_t a, std::int16_t b) { return QNCmp3(a, b); }
constexpr int QNCmpI32(std::int32_t a, std::int32_t b) { return QNCmp3(a, b); }

// Unsigned bytes; the first difference decides; equal when Len is 0.
int QNCmpBytes(const void* A, const void* B, std::size_t Len);

// Short-string comparison, in line: every step of a key search may compare texts.  Each length
// is capped at MaxLen; the common part is compared as unsigned bytes (Fold: the ASCII letters a
// to z taken as A to Z on both sides, nothing else folded), then the shorter capped length is
// the lesser.
template <bool Fold>
inline int QNCmpShStrT(std::string_view A, std::string_view B, std::size_t MaxLen) {
  const std::size_t la = A.size() < MaxLen ? A.size() : MaxLen;
  const std::size_t lb = B.size() < MaxLen ? B.size() : MaxLen;
  const std::size_t n = la < lb ? la : lb;
  const auto* a = reinterpret_cast<const unsigned char*>(A.data());
  const auto* b = reinterpret_cast<const unsigned char*>(B.data());
  std::size_t i = 0;
  if constexpr (!Fold) {
    // Eight bytes at a time, read as a big-endian number so that their order is the bytes'.
    for (; i + 8 <= n; i += 8) {
      std::uint64_t x, y;
      __builtin_memcpy(&x, a + i, 8);
      __builtin_memcpy(&y, b + i, 8);
      if (x != y) return __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
    }
  }
  for (; i < n; ++i) {
    unsigned char x = a[i], y = b[i];
    if constexpr (Fold) {
      if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - ('a' - 'A'));
      if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - ('a' - 'A'));
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return la < lb ? -1 : (la > lb ? 1 : 0);
}
inline int QNCmpShStr(std::string_view A, std::string_view B, std::size_t MaxLen) {
  return QNCmpShStrT<false>(A, B, MaxLen);
}
inline int QNCmpShStrUC(std::string_view A, std::string_view B, std::size_t MaxLen) {
  return QNCmpShStrT<true>(A, B, MaxLen);
}

constexpr std::int32_t QNMinInt(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
constexpr std::int32_t QNMaxInt(std::int32_t a, std::int32_t b) { return a > b ? a : b; }
constexpr std::uint32_t QNMaxDW(std::uint32_t a, std::uint32_t b) { return a > b ? a : b; }
// Lo when V <= Lo, else Hi when V >= Hi, else V.
constexpr std::int32_t QNForceInRange(std::int32_t V, std::int32_t Lo, std::int32_t Hi) {
  return V <= Lo ? Lo : (V >= Hi ? Hi : V);
}
// R for an ascending key field, -R for a descending one.
constexpr int QNApplyDirection(bool Ascending, int R) { return Ascending ? R : -R; }
// Chains field comparisons: A unless it is 0, else B.
constexpr int QNFirstNonZero(int A, int B) { return A != 0 ? A : B; }

}  // namespace tw::dbengine
