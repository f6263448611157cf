// Small helpers shared by the readers of data, index and BLOB blocks: the buffer manager of a
// file and the checks of the words of block 0 that those readers rely on.
#pragma once

#include <cstdint>

#include "dbengine/base/errors.h"
#include "dbengine/storage/block_layout.h"
#include "dbengine/storage/buffer_manager.h"
#include "dbengine/storage/file_info.h"
#include "dbengine/storage/storage_errors.h"

namespace tw::dbengine {

inline TqnBufferManager& QNManagerOf(TqnFileInfo* File) {
  if (File == nullptr || File->Signature != kQnFileInfoSignature || File->BufferManager == nullptr)
    QNStorageError(qnerrFileInfoInvalid);
  return *File->BufferManager;
}

// Blocks used of a header, checked against what a file of that block size can hold.
inline std::int32_t QNBlocksUsed(const TqnFileInfo* File, const std::uint8_t* Header) {
  const std::int32_t used = QNGetDword(Header, qfhBlocksUsed);
  if (used < 1 || used > QNMaxBlocks(File->BlockSize)) QNStorageError(qnerrNotQuarnelFile, {File->Name});
  return used;
}

// Log2 of the file's block size as the header states it; it must match the block size.
inline int QNLog2Of(const TqnFileInfo* File, const std::uint8_t* Header) {
  const std::int32_t l = QNGetDword(Header, qfhLog2BlockSize);
  if (l < 12 || l > 15 || (1 << l) != File->BlockSize) QNStorageError(qnerrNotQuarnelFile, {File->Name});
  return static_cast<int>(l);
}

}  // namespace tw::dbengine
