// The byte layout of index blocks: the index header block and B-tree nodes.  Shared by the
// B-tree code and the table checker.
#pragma once

#include <cstdint>
#include <cstring>

#include "dbengine/storage/block_layout.h"

namespace tw::dbengine {

// Index header block.
constexpr int kIhKeyLength = 32;    // 2 bytes per index
constexpr int kIhFlags = 544;       // 1 byte per index
constexpr int kIhKeyCount = 800;    // 4 bytes per index
constexpr int kIhRoot = 1824;       // 4 bytes per index
constexpr int kIhNodeCount = 2848;  // 4 bytes per index
constexpr int kIhEnd = 3872;

inline std::uint16_t QNGetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline void QNPutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}

// Node head: the entry count in its 6th word, child 0 of an inner node in its 8th; children 1..
// of an inner node from byte 32 on.
constexpr int kNodeCountAt = 4 * 5;
constexpr int kChild0At = 4 * 7;
constexpr int kChildrenAt = 32;

// A view of one B-tree node in its block.
struct TqnNodeView {
  std::uint8_t* b = nullptr;
  std::int32_t block = -1;
  std::int32_t K = 0;  // key length
  std::int32_t M = 0;  // capacity
  bool seq = false;    // keys are the references

  bool Leaf() const { return b[13] == 1; }
  // The place of P in the node's block.
  std::int32_t OffsetOf(const std::uint8_t* p) const { return static_cast<std::int32_t>(p - b); }
  int Level() const { return b[14]; }
  std::int32_t Count() const { return QNGetDword(b, 5); }
  void SetCount(std::int32_t v) { QNSetDword(b, 5, v); }
  std::uint8_t* RefPtr(std::int32_t k) const { return b + (Leaf() ? 32 + 4 * k : 32 + 4 * M + 4 * k); }
  std::int32_t Ref(std::int32_t k) const { return QNGetI32(RefPtr(k)); }
  std::uint8_t* KeyPtr(std::int32_t k) const {
    if (seq) return RefPtr(k);
    return b + (Leaf() ? 32 + 4 * M : 32 + 8 * M) + K * k;
  }
  // Child i (0..Count) of an inner node: child 0 holds the keys below key 0, child i + 1 those
  // above key i.
  std::int32_t Child(std::int32_t i) const { return i == 0 ? QNGetDword(b, 7) : QNGetI32(b + kChildrenAt + 4 * (i - 1)); }
  void SetChild(std::int32_t i, std::int32_t v) {
    if (i == 0)
      QNSetDword(b, 7, v);
    else
      QNPutI32(b + kChildrenAt + 4 * (i - 1), v);
  }
};

}  // namespace tw::dbengine
