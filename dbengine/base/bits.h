// Bit arrays of null-field flags in records and keys: bit N lives in byte N div 8, at bit
// N mod 8, least significant first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tw::dbengine {

inline void QNSetBit(void* Bits, std::size_t N) { static_cast<std::uint8_t*>(Bits)[N >> 3] |= std::uint8_t(1u << (N & 7)); }
inline void QNClearBit(void* Bits, std::size_t N) { static_cast<std::uint8_t*>(Bits)[N >> 3] &= std::uint8_t(~(1u << (N & 7))); }
inline bool QNIsBitSet(const void* Bits, std::size_t N) { return (static_cast<const std::uint8_t*>(Bits)[N >> 3] >> (N & 7)) & 1u; }
// Sets the first (N + 7) div 8 bytes to 0xFF (bits past N in the last byte are set as well).
inline void QNSetAllBits(void* Bits, std::size_t N) { std::memset(Bits, 0xFF, (N + 7) / 8); }

}  // namespace tw::dbengine
