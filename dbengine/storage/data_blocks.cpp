// Records in data blocks: adding, reading, updating, deleting and scanning.
#include "dbengine/storage/data_blocks.h"

#include <cstring>

#include "dbengine/storage/block_access.h"
#include "dbengine/storage/table_file.h"

namespace tw::dbengine {

namespace {

struct Layout {
  std::int32_t recordLength;
  std::int32_t slotLength;
  std::int32_t perBlock;
  int log2;
};

Layout LayoutOf(const TqnFileInfo* File, const std::uint8_t* Header) {
  QNTblCheckRecordLayout(File, Header);
  return {QNGetDword(Header, qfhRecordLength), QNGetDword(Header, qfhSlotLength),
          QNGetDword(Header, qfhRecordsPerBlock), QNLog2Of(File, Header)};
}

std::int32_t RefOf(std::int32_t Block, int Log2, std::int32_t Offset) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(Block) << Log2) + static_cast<std::uint32_t>(Offset));
}

void CheckRef(const TqnFileInfo* File, const Layout& L, std::int32_t RefNr) {
  if (!QNVerifyRefNr(RefNr, L.log2, L.slotLength)) QNStorageError(qnerrBadRecordRef, {File->Name, RefNr});
}

}  // namespace

bool QNVerifyRefNr(std::int32_t RefNr, int Log2BlockSize, std::int32_t SlotLength) {
  if (RefNr <= 0 || SlotLength <= 4 || Log2BlockSize < 12 || Log2BlockSize > 15) return false;
  const std::int32_t blockSize = std::int32_t(1) << Log2BlockSize;
  const std::int32_t offset = (RefNr & (blockSize - 1)) - 32;
  if (offset < 0 || offset % SlotLength != 0) return false;
  return offset + SlotLength <= blockSize - 32;
}

void QNTblCheckRecordLayout(const TqnFileInfo* File, const std::uint8_t* Header) {
  const std::int32_t rl = QNGetDword(Header, qfhRecordLength);
  const std::int32_t sl = QNGetDword(Header, qfhSlotLength);
  const std::int32_t per = QNGetDword(Header, qfhRecordsPerBlock);
  // per == (block size - 32) div slot length, without a division: this runs for every record read.
  const std::int64_t room = File->BlockSize - 32;
  if (rl < 1 || rl > File->BlockSize - 36 || sl != rl + 4 || per < 1 || static_cast<std::int64_t>(per) * sl > room ||
      static_cast<std::int64_t>(per + 1) * sl <= room)
    QNStorageError(qnerrNotQuarnelFile, {File->Name});
}

namespace {

// Data block Block, taken for update or through a hint (nullptr: neither).
std::uint8_t* ReadDataBlock(TqnFileInfo* File, const std::uint8_t* Header, std::int32_t Block, TqnBlockHint* Hint,
                            bool ForUpdate = false) {
  if (Block < 1 || Block >= QNBlocksUsed(File, Header)) QNStorageError(qnerrBadBlockNumber, {File->Name, Block});
  TqnBufferManager& bm = QNManagerOf(File);
  std::uint8_t* b = Hint != nullptr ? bm.GetBlockHinted(File, Block, *Hint) : bm.GetBlock(File, Block, ForUpdate);
  if (!QNHasSignature(b, kQnSigData) || QNGetDword(b, qbhNumber) != Block ||
      QNGetDword(b, qdbRecordsPerBlock) != QNGetDword(Header, qfhRecordsPerBlock) ||
      QNGetDword(b, qdbRecordLength) != QNGetDword(Header, qfhRecordLength))
    QNStorageError(qnerrNotDataBlock, {File->Name, Block});
  return b;
}

}  // namespace

std::uint8_t* QNTblHlpReadDataBlockByNumber(TqnFileInfo* File, const std::uint8_t* Header, bool ForUpdate,
                                            std::int32_t Block) {
  return ReadDataBlock(File, Header, Block, nullptr, ForUpdate);
}

std::uint8_t* QNTblHlpReadDataBlock(TqnFileInfo* File, const std::uint8_t* Header, bool ForUpdate,
                                    std::int32_t RefNr, std::int32_t& OffsetInBlock) {
  const Layout L = LayoutOf(File, Header);
  CheckRef(File, L, RefNr);
  OffsetInBlock = RefNr & (File->BlockSize - 1);
  return QNTblHlpReadDataBlockByNumber(File, Header, ForUpdate, RefNr >> L.log2);
}

void QNTblAddRecord(TqnFileInfo* File, std::int32_t& RefNr, const std::uint8_t* Data) {
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  std::uint8_t* h = bm.GetFileHeader(File, true);
  const Layout L = LayoutOf(File, h);
  std::uint8_t* blk;
  std::int32_t off;
  if (QNGetDword(h, qfhDeletedCount) <= 0) {
    std::int32_t n = -1;
    const std::int32_t last = QNGetDword(h, qfhLastDataBlock);
    // Check the chain's end before anything is allocated.
    std::uint8_t* lastBlock = last == -1 ? nullptr : QNTblHlpReadDataBlockByNumber(File, h, true, last);
    if (lastBlock != nullptr && QNGetDword(lastBlock, qdbNextData) != -1) QNStorageError(qnerrNotDataBlock, {File->Name, last});
    blk = QNTblHlpGetNewBlock(File, h, n);
    QNSetSignature(blk, kQnSigData);
    QNSetDword(blk, qbhNext, -1);
    QNSetDword(blk, qdbRecordsPerBlock, L.perBlock);
    QNSetDword(blk, qdbRecordLength, L.recordLength);
    QNSetDword(blk, qdbNextData, -1);
    QNSetDword(blk, qdbPrevData, last);
    QNSetDword(blk, qdbZero, 0);
    for (std::int32_t k = 0; k < L.perBlock; ++k) {
      const std::int32_t o = 32 + k * L.slotLength;
      QNSetDword(blk + o, 0, k + 1 < L.perBlock ? RefOf(n, L.log2, o + L.slotLength) : -1);
    }
    QNSetDword(h, qfhFirstDeleted, RefOf(n, L.log2, 32));
    QNSetDword(h, qfhDeletedCount, L.perBlock);
    if (lastBlock != nullptr)
      QNSetDword(lastBlock, qdbNextData, n);
    else
      QNSetDword(h, qfhFirstDataBlock, n);
    QNSetDword(h, qfhLastDataBlock, n);
    off = 32;
  } else {
    // Only the slot changes.
    blk = QNTblHlpReadDataBlock(File, h, false, QNGetDword(h, qfhFirstDeleted), off);
    bm.DirtyRange(File, QNGetDword(blk, qbhNumber), off, L.slotLength);
  }
  const std::int32_t ref = QNGetDword(h, qfhFirstDeleted);
  const std::int32_t link = QNGetDword(blk + off, 0);
  // A live slot on the deleted list, or a link that names no slot, is damage.
  if (link == 0 || (link != -1 && !QNVerifyRefNr(link, L.log2, L.slotLength)))
    QNStorageError(qnerrBadRecordRef, {File->Name, link});
  QNSetDword(h, qfhFirstDeleted, link);
  QNSetDword(blk + off, 0, 0);
  std::memcpy(blk + off + 4, Data, static_cast<std::size_t>(L.recordLength));
  QNSetDword(h, qfhRecordCount, QNGetDword(h, qfhRecordCount) + 1);
  QNSetDword(h, qfhDeletedCount, QNGetDword(h, qfhDeletedCount) - 1);
  RefNr = ref;
}

void QNTblReadRecord(TqnFileInfo* File, std::int32_t RefNr, std::uint8_t* Data) {
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  const std::uint8_t* h = bm.GetFileHeader(File, false);
  const Layout L = LayoutOf(File, h);
  CheckRef(File, L, RefNr);
  const std::int32_t off = RefNr & (File->BlockSize - 1);
  // Records are mostly read one after the other from one block: its page is taken by the hint.
  const std::uint8_t* blk = ReadDataBlock(File, h, RefNr >> L.log2, &File->DataBlockHint);
  if (QNGetDword(blk + off, 0) != 0) QNStorageError(qnerrRecordDeleted, {File->Name, RefNr});
  std::memcpy(Data, blk + off + 4, static_cast<std::size_t>(QNGetDword(h, qfhRecordLength)));
}

void QNTblReadSingleRecord(TqnFileInfo* File, std::int32_t RefNr, std::uint8_t* Data, bool CheckBlock) {
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  const std::uint8_t* h = bm.GetFileHeader(File, false);
  const Layout L = LayoutOf(File, h);
  CheckRef(File, L, RefNr);
  std::uint8_t slot[1024];
  if (L.slotLength > static_cast<std::int32_t>(sizeof slot)) return QNTblReadRecord(File, RefNr, Data);
  const std::int32_t block = RefNr >> L.log2;
  if (block < 1 || block >= QNBlocksUsed(File, h)) QNStorageError(qnerrBadBlockNumber, {File->Name, block});
  std::uint8_t head[32];
  const std::int32_t headLength = CheckBlock ? sizeof head : 0;
  bm.ReadBlockParts(File, block, head, headLength, RefNr & (File->BlockSize - 1), L.slotLength, slot);
  // The same checks as a whole data block gets.
  if (headLength > 0 &&
      (!QNHasSignature(head, kQnSigData) || QNGetDword(head, qbhNumber) != block ||
       QNGetDword(head, qdbRecordsPerBlock) != L.perBlock || QNGetDword(head, qdbRecordLength) != L.recordLength))
    QNStorageError(qnerrNotDataBlock, {File->Name, block});
  if (QNGetDword(slot, 0) != 0) QNStorageError(qnerrRecordDeleted, {File->Name, RefNr});
  std::memcpy(Data, slot + 4, static_cast<std::size_t>(L.recordLength));
}

void QNTblUpdateRecord(TqnFileInfo* File, std::int32_t RefNr, const std::uint8_t* Data) {
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  const std::uint8_t* h = bm.GetFileHeader(File, false);
  std::int32_t off;
  std::uint8_t* blk = QNTblHlpReadDataBlock(File, h, false, RefNr, off);
  if (QNGetDword(blk + off, 0) != 0) QNStorageError(qnerrRecordDeleted, {File->Name, RefNr});
  const std::int32_t length = QNGetDword(h, qfhRecordLength);
  bm.DirtyRange(File, RefNr >> QNLog2Of(File, h), off + 4, length);
  std::memcpy(blk + off + 4, Data, static_cast<std::size_t>(length));
}

void QNTblDeleteRecord(TqnFileInfo* File, std::int32_t RefNr) {
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  std::uint8_t* h = bm.GetFileHeader(File, true);
  std::int32_t off;
  std::uint8_t* blk = QNTblHlpReadDataBlock(File, h, false, RefNr, off);
  if (QNGetDword(blk + off, 0) != 0) QNStorageError(qnerrRecordDeleted, {File->Name, RefNr});
  bm.DirtyRange(File, RefNr >> QNLog2Of(File, h), off, 4);
  QNSetDword(blk + off, 0, QNGetDword(h, qfhFirstDeleted));
  QNSetDword(h, qfhFirstDeleted, RefNr);
  QNSetDword(h, qfhDeletedCount, QNGetDword(h, qfhDeletedCount) + 1);
  QNSetDword(h, qfhRecordCount, QNGetDword(h, qfhRecordCount) - 1);
}

bool QNTblNextRecord(TqnFileInfo* File, std::int32_t RefNr, std::int32_t& NextRefNr, std::uint8_t* Data) {
  NextRefNr = 0;
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  const std::uint8_t* h = bm.GetFileHeader(File, false);
  if (QNGetDword(h, qfhRecordCount) == 0) return false;
  const Layout L = LayoutOf(File, h);
  std::int32_t block;
  std::int32_t k;  // slot index before the first one to look at
  if (RefNr == 0) {
    block = QNGetDword(h, qfhFirstDataBlock);
    if (block == -1) return false;
    k = -1;
  } else {
    CheckRef(File, L, RefNr);
    block = RefNr >> L.log2;
    k = ((RefNr & (File->BlockSize - 1)) - 32) / L.slotLength;
  }
  // The chain cannot be longer than the file: a loop is damage.
  std::int64_t steps = QNBlocksUsed(File, h);
  const std::uint8_t* blk = QNTblHlpReadDataBlockByNumber(File, h, false, block);
  for (;;) {
    for (++k; k < L.perBlock; ++k) {
      const std::int32_t o = 32 + k * L.slotLength;
      if (QNGetDword(blk + o, 0) == 0) {
        NextRefNr = RefOf(block, L.log2, o);
        if (Data != nullptr) std::memcpy(Data, blk + o + 4, static_cast<std::size_t>(L.recordLength));
        return true;
      }
    }
    const std::int32_t next = QNGetDword(blk, qdbNextData);
    if (next == -1) return false;
    if (--steps < 0) QNStorageError(qnerrNotDataBlock, {File->Name, next});
    blk = QNTblHlpReadDataBlockByNumber(File, h, false, next);
    block = next;
    k = -1;
  }
}

}  // namespace tw::dbengine
