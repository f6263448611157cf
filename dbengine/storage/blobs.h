// BLOBs in "QNBH" blocks.  A BLOB has a 272-byte header slot in a header block, which also
// carries its first 256 bytes; longer contents continue in a chain of segment blocks of
// block size - 32 bytes each.  A file BLOB names an external file instead, read on demand and
// never written.  A BLOB number is the reference of its header slot.
#pragma once

#include <cstdint>
#include <string>

#include "dbengine/storage/file_info.h"

namespace tw::dbengine {

constexpr std::int32_t kQnBlobSlotSize = 272;
constexpr std::int32_t kQnBlobInline = 256;
constexpr std::int32_t kQnBlobMaxLength = 16777216;

// Errors of the external file of a file BLOB, returned rather than raised.
constexpr int kQnFileBlobOpenError = 15440;
constexpr int kQnFileBlobReadError = 15441;
constexpr int kQnFileBlobCloseError = 15442;

// Words of a BLOB block.
enum : int { qbbKind = 3, qbbNextSegment = 4, qbbOwner = 5 };

// Segments needed for a BLOB of Length bytes in a file of BlockSize.
std::int32_t QNBlobSegmentCount(std::int32_t Length, std::int32_t BlockSize);
// True when BLOBNr names a whole slot inside a block of 2^Log2BlockSize bytes.
bool QNVerifyBlobNr(std::int32_t BLOBNr, int Log2BlockSize);

void QNTblAddBLOB(TqnFileInfo* File, std::int32_t& BLOBNr);
void QNTblAddFileBLOB(TqnFileInfo* File, const std::string& FileName, std::int32_t& BLOBNr);
void QNTblDeleteBLOB(TqnFileInfo* File, std::int32_t BLOBNr);
// Deletes BLOBNr unless its slot is free already (false then).
bool QNTblDeleteBLOBIfLive(TqnFileInfo* File, std::int32_t BLOBNr);
bool QNTblFreeBLOBIfEmpty(TqnFileInfo* File, std::int32_t BLOBNr);
// Length in bytes; for a file BLOB the external file's size (-1 with FileError set when it
// cannot be had).
std::int32_t QNTblGetBLOBLength(TqnFileInfo* File, std::int32_t BLOBNr, int& FileError);
bool QNTblGetFileBLOBName(TqnFileInfo* File, std::int32_t BLOBNr, std::string& FileName);
void QNTblReadBLOB(TqnFileInfo* File, std::int32_t BLOBNr, std::int32_t Offset, int& FileError,
                   std::int32_t& BytesRead, std::uint8_t* Buffer, std::int32_t Length);
void QNTblWriteBLOB(TqnFileInfo* File, std::int32_t BLOBNr, std::int32_t Offset, std::int32_t Length,
                    const std::uint8_t* Buffer);
void QNTblTruncateBLOB(TqnFileInfo* File, std::int32_t BLOBNr, std::int32_t NewLength);

}  // namespace tw::dbengine
