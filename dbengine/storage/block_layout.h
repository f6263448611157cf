// Byte layout shared by every block of a table file: little-endian 32-bit words, four-byte
// signatures, the 32-byte common block header, the words of block 0 and of stream blocks.
#pragma once

#include <cstdint>
#include <cstring>

namespace tw::dbengine {

inline std::uint32_t QNGetU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
inline std::int32_t QNGetI32(const std::uint8_t* p) { return static_cast<std::int32_t>(QNGetU32(p)); }
inline void QNPutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
  p[2] = std::uint8_t(v >> 16);
  p[3] = std::uint8_t(v >> 24);
}
inline void QNPutI32(std::uint8_t* p, std::int32_t v) { QNPutU32(p, static_cast<std::uint32_t>(v)); }

// Dword N of a block.
inline std::int32_t QNGetDword(const std::uint8_t* block, int n) { return QNGetI32(block + 4 * n); }
inline void QNSetDword(std::uint8_t* block, int n, std::int32_t v) { QNPutI32(block + 4 * n, v); }

// Signatures, in file order.
constexpr char kQnSigFileHeader[] = "QNFH";
constexpr char kQnSigData[] = "QNDH";
constexpr char kQnSigIndex[] = "QNIH";
constexpr char kQnSigBlob[] = "QNBH";
constexpr char kQnSigStream[] = "QNSH";
constexpr char kQnSigDead[] = "DEAD";
constexpr char kQnStreamTypeDict[] = "DICT";

inline bool QNHasSignature(const std::uint8_t* block, const char* sig) { return std::memcmp(block, sig, 4) == 0; }
inline void QNSetSignature(std::uint8_t* block, const char* sig) { std::memcpy(block, sig, 4); }

inline bool QNIsBlockSize(std::int64_t size) { return size == 4096 || size == 8192 || size == 16384 || size == 32768; }
inline int QNLog2BlockSize(std::int32_t size) {
  int n = 0;
  while ((1 << n) < size) ++n;
  return n;
}

// Common block header words.
enum : int { qbhSignature = 0, qbhNext = 1, qbhNumber = 2 };

// Words of block 0, the file header.
enum : int {
  qfhSignature = 0,
  qfhNext = 1,
  qfhNumber = 2,
  qfhBlockSize = 3,
  qfhEncrypted = 4,
  qfhLog2BlockSize = 5,
  qfhBlocksUsed = 6,
  qfhFreedCount = 7,
  qfhFirstFreed = 8,
  qfhRecordCount = 9,
  qfhDeletedCount = 10,
  qfhFirstDeleted = 11,
  qfhRecordLength = 12,
  qfhSlotLength = 13,
  qfhRecordsPerBlock = 14,
  qfhFirstDataBlock = 15,
  qfhLastDataBlock = 16,
  qfhBlobCount = 17,
  qfhFirstFreeBlobSlot = 18,
  qfhReserved = 19,
  qfhLastAutoInc = 20,
  qfhIndexCount = 21,
  qfhHasSeqIndex = 22,
  qfhIndexHeaderBlock = 23,
  qfhFieldCount = 24,
  qfhDictionaryBlock = 25,
};
// The bytes of block 0 that hold its defined words; the rest of block 0 is never read or written.
constexpr std::int32_t kQnFileHeaderBytes = 4 * (qfhDictionaryBlock + 1);

// Words of a stream block.
enum : int { qsbNextInStream = 3, qsbType = 4, qsbTotalLength = 5, qsbFirstBlock = 6, qsbZero = 7 };

// References (block shl log2(block size) + offset) are signed 32-bit values, so a file can
// hold at most 2^31 / block size blocks: 2 GB whatever the block size.
inline std::int64_t QNMaxBlocks(std::int32_t blockSize) { return (std::int64_t(1) << 31) / blockSize; }

}  // namespace tw::dbengine
