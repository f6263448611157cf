// Table files: block 0, block allocation, stream blocks, the stored dictionary, deletion.
#include "dbengine/storage/table_file.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <set>
#include <vector>

#include "dbengine/base/errors.h"
#include "dbengine/storage/block_layout.h"
#include "dbengine/storage/buffer_manager.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/journal.h"
#include "dbengine/storage/storage_errors.h"
#include "platform/classes/streams.h"

namespace tw::dbengine {

namespace {

TqnBufferManager& Manager(TqnFileInfo* File) {
  if (File == nullptr || File->Signature != kQnFileInfoSignature || File->BufferManager == nullptr)
    QNStorageError(qnerrFileInfoInvalid);
  return *File->BufferManager;
}

std::int32_t Payload(const TqnFileInfo* File) { return File->BlockSize - kQnBlockHeaderSize; }

}  // namespace

void QNTblCreateFileHeader(TqnFileInfo* File, const TqnDataDictionary& Dictionary, int FileNumber) {
  TqnBufferManager& bm = Manager(File);
  const std::int32_t bs = Dictionary.FileBlockSize(FileNumber);
  std::uint8_t* h = bm.AddFileHeader(File, bs);
  const std::int32_t recordLength = Dictionary.RecordLength();
  const std::int32_t slot = recordLength + 4;
  QNSetSignature(h, kQnSigFileHeader);
  QNSetDword(h, qfhNext, -1);
  QNSetDword(h, qfhNumber, 0);
  QNSetDword(h, qfhBlockSize, bs);
  QNSetDword(h, qfhEncrypted, 0);
  QNSetDword(h, qfhLog2BlockSize, QNLog2BlockSize(bs));
  QNSetDword(h, qfhBlocksUsed, 1);
  QNSetDword(h, qfhFreedCount, 0);
  QNSetDword(h, qfhFirstFreed, -1);
  QNSetDword(h, qfhRecordCount, 0);
  QNSetDword(h, qfhDeletedCount, 0);
  QNSetDword(h, qfhFirstDeleted, -1);
  QNSetDword(h, qfhRecordLength, recordLength);
  QNSetDword(h, qfhSlotLength, slot);
  QNSetDword(h, qfhRecordsPerBlock, (bs - kQnBlockHeaderSize) / slot);
  QNSetDword(h, qfhFirstDataBlock, -1);
  QNSetDword(h, qfhLastDataBlock, -1);
  QNSetDword(h, qfhBlobCount, 0);
  QNSetDword(h, qfhFirstFreeBlobSlot, -1);
  QNSetDword(h, qfhReserved, -1);
  QNSetDword(h, qfhLastAutoInc, 0);
  QNSetDword(h, qfhIndexCount, Dictionary.IndexCount());
  QNSetDword(h, qfhHasSeqIndex, 1);
  QNSetDword(h, qfhIndexHeaderBlock, -1);
  QNSetDword(h, qfhFieldCount, Dictionary.FieldCount());
  QNSetDword(h, qfhDictionaryBlock, -1);
}

std::uint8_t* QNTblHlpGetNewBlock(TqnFileInfo* File, std::uint8_t* Header, std::int32_t& Block) {
  TqnBufferManager& bm = Manager(File);
  bm.DirtyBlock(File, 0);
  const std::int32_t used = QNGetDword(Header, qfhBlocksUsed);
  std::uint8_t* b;
  if (QNGetDword(Header, qfhFreedCount) > 0) {
    const std::int32_t n = QNGetDword(Header, qfhFirstFreed);
    if (n < 1 || n >= used) QNStorageError(qnerrBadBlockNumber, {File->Name, n});
    b = bm.GetBlock(File, n, true);
    if (!QNHasSignature(b, kQnSigDead) || QNGetDword(b, qbhNumber) != n) QNStorageError(qnerrNotQuarnelFile, {File->Name});
    const std::int32_t next = QNGetDword(b, qbhNext);
    const std::int32_t left = QNGetDword(Header, qfhFreedCount) - 1;
    if ((left == 0) != (next == -1) || (next != -1 && (next < 1 || next >= used)))
      QNStorageError(qnerrNotQuarnelFile, {File->Name});
    QNSetDword(Header, qfhFirstFreed, next);
    QNSetDword(Header, qfhFreedCount, left);
    std::memset(b, 0, static_cast<std::size_t>(File->BlockSize));
    Block = n;
  } else {
    if (used >= QNMaxBlocks(File->BlockSize)) QNStorageError(qnerrFileWrite, {File->Name, EFBIG});
    b = bm.AddBlock(File, used);
    QNSetDword(Header, qfhBlocksUsed, used + 1);
    Block = used;
  }
  QNSetDword(b, qbhNumber, Block);
  return b;
}

void QNTblHlpDeleteBlock(TqnFileInfo* File, std::uint8_t* Header, std::int32_t Block) {
  TqnBufferManager& bm = Manager(File);
  bm.DirtyBlock(File, 0);
  if (Block < 1 || Block >= QNGetDword(Header, qfhBlocksUsed)) QNStorageError(qnerrBadBlockNumber, {File->Name, Block});
  std::uint8_t* b = bm.GetBlock(File, Block, true);
  std::memset(b, 0, static_cast<std::size_t>(File->BlockSize));
  QNSetSignature(b, kQnSigDead);
  QNSetDword(b, qbhNext, QNGetDword(Header, qfhFirstFreed));
  QNSetDword(b, qbhNumber, Block);
  QNSetDword(Header, qfhFirstFreed, Block);
  QNSetDword(Header, qfhFreedCount, QNGetDword(Header, qfhFreedCount) + 1);
}

std::uint8_t* QNTblHlpGetNewStreamBlock(TqnFileInfo* File, std::uint8_t* Header, std::uint8_t* Previous,
                                        std::int32_t& Block) {
  std::uint8_t* b = QNTblHlpGetNewBlock(File, Header, Block);
  QNSetSignature(b, kQnSigStream);
  QNSetDword(b, qbhNext, -1);
  QNSetDword(b, qsbNextInStream, -1);
  if (Previous != nullptr) QNSetDword(Previous, qsbNextInStream, Block);
  return b;
}

std::uint8_t* QNTblHlpReadStreamBlock(TqnFileInfo* File, const std::uint8_t* Header, bool ForUpdate,
                                      std::int32_t Block) {
  TqnBufferManager& bm = Manager(File);
  if (Block < 1 || Block >= QNGetDword(Header, qfhBlocksUsed)) QNStorageError(qnerrBadBlockNumber, {File->Name, Block});
  std::uint8_t* b = bm.GetBlock(File, Block, ForUpdate);
  if (!QNHasSignature(b, kQnSigStream) || QNGetDword(b, qbhNumber) != Block)
    QNStorageError(qnerrNotStreamBlock, {File->Name, Block});
  return b;
}

void QNTblHlpDeleteStream(TqnFileInfo* File, std::uint8_t* Header, std::int32_t FirstBlock, bool KeepFirst) {
  TqnBufferManager::TRequest request(Manager(File));
  std::int32_t b = FirstBlock;
  // A chain can never be longer than the file: a loop is damage, not an endless walk.
  std::int64_t steps = QNGetDword(Header, qfhBlocksUsed);
  while (b != -1) {
    if (--steps < 0) QNStorageError(qnerrNotStreamBlock, {File->Name, b});
    std::uint8_t* blk = QNTblHlpReadStreamBlock(File, Header, true, b);
    const std::int32_t next = QNGetDword(blk, qsbNextInStream);
    if (KeepFirst && b == FirstBlock)
      QNSetDword(blk, qsbNextInStream, -1);
    else
      QNTblHlpDeleteBlock(File, Header, b);
    b = next;
  }
}

void QNTblWriteStream(TqnFileInfo* File, std::int32_t& FirstBlock, TStream& Stream, const char* StreamType,
                      bool IsNew) {
  TqnBufferManager& bm = Manager(File);
  TqnBufferManager::TRequest request(bm);
  std::uint8_t* header = bm.GetFileHeader(File, true);
  const std::int64_t total = Stream.Size();
  if (total < 0 || total > std::numeric_limits<std::int32_t>::max()) QNStorageError(qnerrFileWrite, {File->Name, EFBIG});
  std::uint8_t* cur;
  if (IsNew) {
    cur = QNTblHlpGetNewStreamBlock(File, header, nullptr, FirstBlock);
  } else {
    QNTblHlpDeleteStream(File, header, FirstBlock, true);
    cur = QNTblHlpReadStreamBlock(File, header, true, FirstBlock);
    std::memset(cur + kQnBlockHeaderSize, 0, static_cast<std::size_t>(Payload(File)));
  }
  QNSetDword(cur, qsbTotalLength, static_cast<std::int32_t>(total));
  Stream.SetPosition(0);
  std::int64_t remaining = total;
  for (;;) {
    std::memcpy(cur + 4 * qsbType, StreamType, 4);
    QNSetDword(cur, qsbFirstBlock, FirstBlock);
    QNSetDword(cur, qsbZero, 0);
    const std::int64_t n = std::min<std::int64_t>(remaining, Payload(File));
    Stream.ReadBuffer(cur + kQnBlockHeaderSize, n);
    remaining -= n;
    if (remaining <= 0) break;
    std::int32_t next = -1;
    cur = QNTblHlpGetNewStreamBlock(File, header, cur, next);
  }
}

void QNTblReadStream(TqnFileInfo* File, std::int32_t FirstBlock, TStream& Stream) {
  TqnBufferManager& bm = Manager(File);
  TqnBufferManager::TRequest request(bm);
  const std::uint8_t* header = bm.GetFileHeader(File, false);
  const std::int32_t used = QNGetDword(header, qfhBlocksUsed);
  const std::uint8_t* cur = QNTblHlpReadStreamBlock(File, header, false, FirstBlock);
  const std::int32_t total = QNGetDword(cur, qsbTotalLength);
  if (total < 0 || static_cast<std::int64_t>(total) > static_cast<std::int64_t>(used - 1) * Payload(File))
    QNStorageError(qnerrNotStreamBlock, {File->Name, FirstBlock});
  std::int64_t remaining = total;
  std::int32_t b = FirstBlock;
  std::set<std::int32_t> visited{b};
  for (;;) {
    const std::int64_t n = std::min<std::int64_t>(remaining, Payload(File));
    Stream.WriteBuffer(cur + kQnBlockHeaderSize, n);
    remaining -= n;
    if (remaining <= 0) break;
    b = QNGetDword(cur, qsbNextInStream);
    // A chain that ends early or comes back to a block it passed is damage.
    if (b == -1 || !visited.insert(b).second) QNStorageError(qnerrNotStreamBlock, {File->Name, b});
    cur = QNTblHlpReadStreamBlock(File, header, false, b);
  }
}

void QNTblWriteDictionary(TqnDataDictionary& Dictionary, TqnFileInfo* File) {
  TqnBufferManager& bm = Manager(File);
  TqnBufferManager::TRequest request(bm);
  TMemoryStream ms;
  Dictionary.WriteToStream(ms);
  std::uint8_t* header = bm.GetFileHeader(File, true);
  if (Dictionary.BlockSize() != File->BlockSize)
    QNStorageError(qnerrDictBlockSizeDiffers, {Dictionary.TableName(), File->BlockSize, Dictionary.BlockSize()});
  std::int32_t first = QNGetDword(header, qfhDictionaryBlock);
  QNTblWriteStream(File, first, ms, kQnStreamTypeDict, first == -1);
  QNSetDword(header, qfhDictionaryBlock, first);
}

void QNTblReadDictionary(TqnDataDictionary& Dictionary, TqnFileInfo* File) {
  TqnBufferManager& bm = Manager(File);
  TqnBufferManager::TRequest request(bm);
  const std::uint8_t* header = bm.GetFileHeader(File, false);
  const std::int32_t first = QNGetDword(header, qfhDictionaryBlock);
  if (first == -1) QNStorageError(qnerrDictNotInFile, {Dictionary.TableName()});
  TMemoryStream ms;
  QNTblReadStream(File, first, ms);
  ms.SetPosition(0);
  Dictionary.SetBuilt(false);
  Dictionary.ReadFromStream(ms);
  // The record layout that the data blocks were made with must be the dictionary's.
  header = bm.GetFileHeader(File, false);
  if (Dictionary.BlockSize() != File->BlockSize || Dictionary.RecordLength() != QNGetDword(header, qfhRecordLength)) {
    Dictionary.Clear(true);
    QNStorageError(qnerrNotQuarnelFile, {File->Name});
  }
  Dictionary.SetBuilt(true);
}

void QNTblDictAllowChanges(TqnDataDictionary& Dictionary) { Dictionary.SetBuilt(false); }

void QNTblDeleteFiles(const TqnFolder& Folder, const std::string& TableName) {
  TqnFileRoutines& r = QNFileAccessTable();
  std::string base = TableName;
  if (base.size() > 4 && strcasecmp(base.substr(base.size() - 4).c_str(), ".QND") == 0)
    base.resize(base.size() - 4);
  if (base.empty()) return;
  std::vector<std::string> names = QNTableFileNames(r, Folder, base);
  // The data file goes first: once it is gone the table is gone, and a crash in between leaves
  // only files that nobody opens without it.
  std::stable_partition(names.begin(), names.end(), [](const std::string& n) {
    return n.size() >= 4 && strcasecmp(n.substr(n.size() - 4).c_str(), ".QND") == 0;
  });
  for (const std::string& name : names) {
    const int e = r.DeleteIn(Folder.Handle(), name);
    if (e != 0) QNStorageError(qnerrOSDeleteFile, {e});
  }
  if (!names.empty()) r.SyncFolderIn(Folder.Handle());
}

void QNTblDeleteFiles(const std::string& Folder, const std::string& TableName) {
  // No folder, no files.
  if (const TqnFolderRef f = TqnFolder::OpenIfThere(Folder, QNFileAccessTable())) QNTblDeleteFiles(*f, TableName);
}

TqnRecordInfo QNTblGetRecordInfo(TqnFileInfo* File) {
  const std::uint8_t* h = Manager(File).GetFileHeader(File, false);
  TqnRecordInfo info;
  info.RecordLength = QNGetDword(h, qfhRecordLength);
  info.RecordCount = QNGetDword(h, qfhRecordCount);
  info.DeletedCount = QNGetDword(h, qfhDeletedCount);
  info.RecordsPerBlock = QNGetDword(h, qfhRecordsPerBlock);
  return info;
}

std::uint32_t QNTblNextAutoIncValue(TqnFileInfo* File) {
  std::uint8_t* h = Manager(File).GetFileHeader(File, true);
  // After the last value the counter would start again at 0 and repeat values already given.
  if (QNGetU32(h + 4 * qfhLastAutoInc) == 0xFFFFFFFFu)
    QNStorageError(qnerrInvalidParameter, {"QNTblNextAutoIncValue", 1});
  const std::uint32_t v = QNGetU32(h + 4 * qfhLastAutoInc) + 1;
  QNPutU32(h + 4 * qfhLastAutoInc, v);
  return v;
}

void QNTblSetAutoIncValue(TqnFileInfo* File, std::uint32_t Value) {
  std::uint8_t* h = Manager(File).GetFileHeader(File, true);
  if (Value > QNGetU32(h + 4 * qfhLastAutoInc)) QNPutU32(h + 4 * qfhLastAutoInc, Value);
}

}  // namespace tw::dbengine
