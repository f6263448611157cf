// Records in the data blocks ("QNDH") of a table's data file.  A record lives in a fixed-size
// slot (a 4-byte link, then the record) and is addressed by its reference, block shl log2(block
// size) + the slot's offset, which stays the same while the record lives.  Deleted slots form
// one list across all data blocks and are reused, newest first, before the file grows.
//
// Every change is made on pages of the file's current transaction (see buffer_manager.h).
#pragma once

#include <cstdint>

#include "dbengine/storage/file_info.h"

namespace tw::dbengine {

// Words of a data block.
enum : int { qdbRecordsPerBlock = 3, qdbRecordLength = 4, qdbNextData = 5, qdbPrevData = 6, qdbZero = 7 };

// True when RefNr names a slot: not 0 and not negative, its offset in the block less 32 a
// multiple of SlotLength, and the whole slot inside the block.
bool QNVerifyRefNr(std::int32_t RefNr, int Log2BlockSize, std::int32_t SlotLength);

// Stores a record of the file's record length; its reference comes back in RefNr.
void QNTblAddRecord(TqnFileInfo* File, std::int32_t& RefNr, const std::uint8_t* Data);
void QNTblReadRecord(TqnFileInfo* File, std::int32_t RefNr, std::uint8_t* Data);
// As QNTblReadRecord, for a record read on its own (found by its key): a block that is not
// cached is not taken into the cache, and only its header and the record's slot are read.
// Without CheckBlock, the slot alone is read, and the block's header is not checked: for a caller that checks the record itself (a record found by its key
// must hold that key), which spares reading the bytes between the header and the slot.
void QNTblReadSingleRecord(TqnFileInfo* File, std::int32_t RefNr, std::uint8_t* Data, bool CheckBlock = true);
void QNTblUpdateRecord(TqnFileInfo* File, std::int32_t RefNr, const std::uint8_t* Data);
void QNTblDeleteRecord(TqnFileInfo* File, std::int32_t RefNr);
// The live record after RefNr in physical order (RefNr 0 starts at the beginning).  False, with
// NextRefNr 0, when there is none.  Data may be nullptr.
bool QNTblNextRecord(TqnFileInfo* File, std::int32_t RefNr, std::int32_t& NextRefNr, std::uint8_t* Data);

// The data block holding RefNr, and the slot's offset in it.  Header is block 0.
std::uint8_t* QNTblHlpReadDataBlock(TqnFileInfo* File, const std::uint8_t* Header, bool ForUpdate,
                                    std::int32_t RefNr, std::int32_t& OffsetInBlock);
std::uint8_t* QNTblHlpReadDataBlockByNumber(TqnFileInfo* File, const std::uint8_t* Header, bool ForUpdate,
                                            std::int32_t Block);

// Checks the record layout words of block 0 (record length, slot length, records per block)
// against each other and the block size; 23584 when they disagree.
void QNTblCheckRecordLayout(const TqnFileInfo* File, const std::uint8_t* Header);

}  // namespace tw::dbengine
