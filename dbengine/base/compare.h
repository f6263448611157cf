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

// Each length is capped at MaxLen; the common part is compared as unsigned bytes, then the
// shorter capped length is the lesser.
int QNCmpShStr(std::string_view A, std::string_view B, std::size_t MaxLen);
// The same with the ASCII letters a to z taken as A to Z on both sides (nothing else folded).
int QNCmpShStrUC(std::string_view A, std::string_view B, std::size_t MaxLen);

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
