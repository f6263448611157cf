// BLOBs: header slots, segment chains and file BLOBs.
#include "dbengine/storage/blobs.h"

#include <algorithm>
#include <cstring>

#include "dbengine/storage/block_access.h"
#include "dbengine/storage/table_file.h"

namespace tw::dbengine {

namespace {

// Words of a header slot.
enum : int { bsLink = 0, bsLength = 1, bsSegments = 2, bsFirstSegment = 3 };
constexpr int kSlotData = 16;

struct Slot {
  std::uint8_t* block;  // the header block
  std::uint8_t* p;      // the slot
  std::int32_t blockNr;
};

std::int32_t Payload(const TqnFileInfo* File) { return File->BlockSize - 32; }

Slot Locate(TqnFileInfo* File, const std::uint8_t* Header, std::int32_t BLOBNr, bool ForUpdate, bool MustBeLive = true) {
  const int log2 = QNLog2Of(File, Header);
  if (!QNVerifyBlobNr(BLOBNr, log2)) QNStorageError(qnerrBadBlobNumber, {File->Name, BLOBNr});
  const std::int32_t blk = BLOBNr >> log2;
  if (blk < 1 || blk >= QNBlocksUsed(File, Header)) QNStorageError(qnerrBadBlockNumber, {File->Name, blk});
  std::uint8_t* b = QNManagerOf(File).GetBlock(File, blk, ForUpdate);
  if (!QNHasSignature(b, kQnSigBlob) || QNGetDword(b, qbhNumber) != blk || QNGetDword(b, qbbKind) != 0)
    QNStorageError(qnerrNotBlobBlock, {File->Name, blk});
  std::uint8_t* p = b + (BLOBNr & (File->BlockSize - 1));
  if (MustBeLive && QNGetDword(p, bsLink) != -1) QNStorageError(qnerrBlobDeleted, {File->Name, BLOBNr});
  return {b, p, blk};
}

bool IsFileBlob(const Slot& s) { return QNGetDword(s.p, bsSegments) == -1; }

// The stored length of an ordinary BLOB, checked against its segment count.
std::int32_t LengthOf(TqnFileInfo* File, const Slot& s, std::int32_t BLOBNr) {
  const std::int32_t len = QNGetDword(s.p, bsLength);
  if (len < 0 || len > kQnBlobMaxLength || QNGetDword(s.p, bsSegments) != QNBlobSegmentCount(len, File->BlockSize))
    QNStorageError(qnerrBlobSegmentCorrupt, {File->Name, BLOBNr});
  return len;
}

// A segment of BLOBNr, checked.
std::uint8_t* ReadSegment(TqnFileInfo* File, const std::uint8_t* Header, std::int32_t Ref, std::int32_t BLOBNr,
                          bool ForUpdate) {
  const int log2 = QNLog2Of(File, Header);
  if (Ref <= 0 || (Ref & (File->BlockSize - 1)) != 32) QNStorageError(qnerrBlobSegmentCorrupt, {File->Name, Ref});
  const std::int32_t blk = Ref >> log2;
  if (blk < 1 || blk >= QNBlocksUsed(File, Header)) QNStorageError(qnerrBadBlockNumber, {File->Name, blk});
  std::uint8_t* b = QNManagerOf(File).GetBlock(File, blk, ForUpdate);
  if (!QNHasSignature(b, kQnSigBlob) || QNGetDword(b, qbhNumber) != blk || QNGetDword(b, qbbKind) != 1)
    QNStorageError(qnerrNotBlobBlock, {File->Name, blk});
  if (QNGetDword(b, qbbOwner) != BLOBNr) QNStorageError(qnerrBlobSegmentCorrupt, {File->Name, Ref});
  return b;
}

std::int32_t SegmentRef(const TqnFileInfo* File, std::int32_t Block) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(Block) << QNLog2BlockSize(File->BlockSize)) + 32u);
}

// Frees the segments of a chain that starts at Ref, Count of them.
void FreeChain(TqnFileInfo* File, std::uint8_t* Header, std::int32_t Ref, std::int32_t Count, std::int32_t BLOBNr) {
  for (std::int32_t i = 0; i < Count; ++i) {
    const std::uint8_t* b = ReadSegment(File, Header, Ref, BLOBNr, false);
    const std::int32_t next = QNGetDword(b, qbbNextSegment);
    QNTblHlpDeleteBlock(File, Header, Ref >> QNLog2Of(File, Header));
    Ref = next;
  }
}

void CheckRange(const char* Routine, std::int32_t Value, int Parameter) {
  if (Value < 0 || Value > kQnBlobMaxLength) QNStorageError(qnerrInvalidParameter, {Routine, Parameter});
}

std::int32_t AddSlot(TqnFileInfo* File, std::uint8_t* h, Slot& out) {
  if (QNGetDword(h, qfhFirstFreeBlobSlot) == -1) {
    std::int32_t n = -1;
    std::uint8_t* b = QNTblHlpGetNewBlock(File, h, n);
    QNSetSignature(b, kQnSigBlob);
    QNSetDword(b, qbhNext, -1);
    QNSetDword(b, qbbKind, 0);
    QNSetDword(b, qbbNextSegment, -1);
    QNSetDword(b, qbbOwner, -1);
    const std::int32_t slots = Payload(File) / kQnBlobSlotSize;
    const std::int32_t base = SegmentRef(File, n);  // slot 0
    for (std::int32_t k = 0; k < slots; ++k)
      QNSetDword(b + 32 + k * kQnBlobSlotSize, bsLink, k + 1 < slots ? base + (k + 1) * kQnBlobSlotSize : -1);
    QNSetDword(h, qfhFirstFreeBlobSlot, base);
  }
  const std::int32_t nr = QNGetDword(h, qfhFirstFreeBlobSlot);
  out = Locate(File, h, nr, true, false);
  const std::int32_t next = QNGetDword(out.p, bsLink);
  if (next != -1 && !QNVerifyBlobNr(next, QNLog2Of(File, h))) QNStorageError(qnerrBadBlobNumber, {File->Name, next});
  QNSetDword(h, qfhFirstFreeBlobSlot, next);
  QNSetDword(out.p, bsLink, -1);
  QNSetDword(out.p, bsLength, 0);
  QNSetDword(out.p, bsSegments, 0);
  QNSetDword(out.p, bsFirstSegment, -1);
  std::memset(out.p + kSlotData, 0, kQnBlobInline);
  QNSetDword(h, qfhBlobCount, QNGetDword(h, qfhBlobCount) + 1);
  return nr;
}

}  // namespace

std::int32_t QNBlobSegmentCount(std::int32_t Length, std::int32_t BlockSize) {
  if (Length <= kQnBlobInline) return 0;
  return (Length - kQnBlobInline - 1) / (BlockSize - 32) + 1;
}

bool QNVerifyBlobNr(std::int32_t BLOBNr, int Log2BlockSize) {
  if (BLOBNr <= 0 || Log2BlockSize < 12 || Log2BlockSize > 15) return false;
  const std::int32_t bs = std::int32_t(1) << Log2BlockSize;
  const std::int32_t off = (BLOBNr & (bs - 1)) - 32;
  if (off < 0 || off % kQnBlobSlotSize != 0) return false;
  return off / kQnBlobSlotSize < (bs - 32) / kQnBlobSlotSize;
}

void QNTblAddBLOB(TqnFileInfo* File, std::int32_t& BLOBNr) {
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  std::uint8_t* h = bm.GetFileHeader(File, true);
  Slot s{};
  BLOBNr = AddSlot(File, h, s);
}

void QNTblAddFileBLOB(TqnFileInfo* File, const std::string& FileName, std::int32_t& BLOBNr) {
  if (FileName.size() > static_cast<std::size_t>(kQnBlobInline))
    QNStorageError(qnerrInvalidParameter, {"QNTblAddFileBLOB", 2});
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  std::uint8_t* h = bm.GetFileHeader(File, true);
  Slot s{};
  BLOBNr = AddSlot(File, h, s);
  QNSetDword(s.p, bsLength, static_cast<std::int32_t>(FileName.size()));
  QNSetDword(s.p, bsSegments, -1);
  std::memcpy(s.p + kSlotData, FileName.data(), FileName.size());
}

void QNTblDeleteBLOB(TqnFileInfo* File, std::int32_t BLOBNr) {
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  std::uint8_t* h = bm.GetFileHeader(File, true);
  Slot s = Locate(File, h, BLOBNr, true);
  if (!IsFileBlob(s)) {
    LengthOf(File, s, BLOBNr);
    FreeChain(File, h, QNGetDword(s.p, bsFirstSegment), QNGetDword(s.p, bsSegments), BLOBNr);
  }
  QNSetDword(s.p, bsLink, QNGetDword(h, qfhFirstFreeBlobSlot));
  QNSetDword(s.p, bsLength, 0);
  QNSetDword(s.p, bsSegments, 0);
  QNSetDword(s.p, bsFirstSegment, -1);
  QNSetDword(h, qfhFirstFreeBlobSlot, BLOBNr);
  QNSetDword(h, qfhBlobCount, QNGetDword(h, qfhBlobCount) - 1);
}

bool QNTblDeleteBLOBIfLive(TqnFileInfo* File, std::int32_t BLOBNr) {
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  const std::uint8_t* h = bm.GetFileHeader(File, false);
  if (QNGetDword(Locate(File, h, BLOBNr, false, false).p, bsLink) != -1) return false;
  QNTblDeleteBLOB(File, BLOBNr);
  return true;
}

bool QNTblFreeBLOBIfEmpty(TqnFileInfo* File, std::int32_t BLOBNr) {
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  const std::uint8_t* h = bm.GetFileHeader(File, false);
  Slot s = Locate(File, h, BLOBNr, false);
  if (QNGetDword(s.p, bsLength) != 0) return false;
  QNTblDeleteBLOB(File, BLOBNr);
  return true;
}

bool QNTblGetFileBLOBName(TqnFileInfo* File, std::int32_t BLOBNr, std::string& FileName) {
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  Slot s = Locate(File, bm.GetFileHeader(File, false), BLOBNr, false);
  if (!IsFileBlob(s)) return false;
  const std::int32_t n = QNGetDword(s.p, bsLength);
  if (n < 0 || n > kQnBlobInline) QNStorageError(qnerrBlobSegmentCorrupt, {File->Name, BLOBNr});
  FileName.assign(reinterpret_cast<const char*>(s.p + kSlotData), static_cast<std::size_t>(n));
  return true;
}

namespace {

// Reads from the external file of a file BLOB; errors go to FileError.  The file is one of
// the folder of the BLOB's own table file, reached through the folder's handle by its name
// there: never by its path again, which may lead into another folder by now.
void ReadExternal(TqnFileInfo* File, const std::string& Name, std::int64_t Offset, std::uint8_t* Buffer,
                  std::int32_t Length, int& FileError, std::int32_t& BytesRead, std::int64_t* Size) {
  std::string rel;
  TqnFileHandle h = kQnNoHandle;
  if (File->Folder == nullptr || !QNNameInFolder(*File->Folder, Name, true, rel) ||
      QNOpenFileInFolder(*File->Folder, rel, h) != 0) {
    FileError = kQnFileBlobOpenError;
    return;
  }
  TqnFileRoutines& r = File->Folder->Routines();
  if (Size != nullptr && r.Size(h, *Size) != 0) FileError = kQnFileBlobReadError;
  if (Buffer != nullptr && FileError == 0) {
    std::size_t done = 0;
    if (Offset < 0 || r.ReadAt(h, Offset, Buffer, static_cast<std::size_t>(Length), done) != 0)
      FileError = kQnFileBlobReadError;
    else
      BytesRead = static_cast<std::int32_t>(done);
  }
  if (r.Close(h) != 0 && FileError == 0) FileError = kQnFileBlobCloseError;
}

}  // namespace

std::int32_t QNTblGetBLOBLength(TqnFileInfo* File, std::int32_t BLOBNr, int& FileError) {
  FileError = 0;
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  Slot s = Locate(File, bm.GetFileHeader(File, false), BLOBNr, false);
  if (!IsFileBlob(s)) return LengthOf(File, s, BLOBNr);
  std::string name;
  QNTblGetFileBLOBName(File, BLOBNr, name);
  std::int64_t size = -1;
  std::int32_t dummy = 0;
  ReadExternal(File, name, 0, nullptr, 0, FileError, dummy, &size);
  if (FileError != 0) return -1;
  return static_cast<std::int32_t>(std::min<std::int64_t>(size, kQnBlobMaxLength));
}

void QNTblReadBLOB(TqnFileInfo* File, std::int32_t BLOBNr, std::int32_t Offset, int& FileError,
                   std::int32_t& BytesRead, std::uint8_t* Buffer, std::int32_t Length) {
  FileError = 0;
  BytesRead = 0;
  CheckRange("QNTblReadBLOB", Offset, 3);
  if (Length < 0) QNStorageError(qnerrInvalidParameter, {"QNTblReadBLOB", 4});
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  const std::uint8_t* h = bm.GetFileHeader(File, false);
  Slot s = Locate(File, h, BLOBNr, false);
  if (IsFileBlob(s)) {
    std::string name;
    QNTblGetFileBLOBName(File, BLOBNr, name);
    ReadExternal(File, name, Offset, Buffer, Length, FileError, BytesRead, nullptr);
    return;
  }
  const std::int32_t len = LengthOf(File, s, BLOBNr);
  if (Offset >= len || Length == 0) return;
  const std::int32_t n = std::min(Length, len - Offset);
  std::int32_t done = 0;
  if (Offset < kQnBlobInline) {
    const std::int32_t k = std::min(n, kQnBlobInline - Offset);
    std::memcpy(Buffer, s.p + kSlotData + Offset, static_cast<std::size_t>(k));
    done = k;
  }
  if (done == n) {
    BytesRead = n;
    return;
  }
  const std::int32_t pay = Payload(File);
  const std::int32_t firstByte = Offset + done;  // at least 256
  const std::int32_t firstSeg = (firstByte - kQnBlobInline) / pay + 1;
  std::int32_t ref = QNGetDword(s.p, bsFirstSegment);
  for (std::int32_t seg = 1; done < n; ++seg) {
    const std::uint8_t* b = ReadSegment(File, h, ref, BLOBNr, false);
    if (seg >= firstSeg) {
      const std::int32_t at = seg == firstSeg ? (firstByte - kQnBlobInline) % pay : 0;
      const std::int32_t k = std::min(n - done, pay - at);
      std::memcpy(Buffer + done, b + 32 + at, static_cast<std::size_t>(k));
      done += k;
    }
    ref = QNGetDword(b, qbbNextSegment);
  }
  BytesRead = n;
}

void QNTblWriteBLOB(TqnFileInfo* File, std::int32_t BLOBNr, std::int32_t Offset, std::int32_t Length,
                    const std::uint8_t* Buffer) {
  CheckRange("QNTblWriteBLOB", Offset, 3);
  // The whole BLOB must stay within the limit, not only the offset.
  if (Length < 0 || Length > kQnBlobMaxLength - Offset) QNStorageError(qnerrInvalidParameter, {"QNTblWriteBLOB", 4});
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  std::uint8_t* h = bm.GetFileHeader(File, true);
  Slot s = Locate(File, h, BLOBNr, true);
  if (IsFileBlob(s)) QNStorageError(qnerrFileBlobReadOnly, {File->Name, BLOBNr});
  const std::int32_t len = LengthOf(File, s, BLOBNr);
  if (Offset > len) QNStorageError(qnerrBlobOffset, {File->Name, BLOBNr, Offset, len});
  if (Length == 0) return;
  std::int32_t done = 0;
  if (Offset < kQnBlobInline) {
    const std::int32_t k = std::min(Length, kQnBlobInline - Offset);
    std::memcpy(s.p + kSlotData + Offset, Buffer, static_cast<std::size_t>(k));
    done = k;
  }
  const std::int32_t oldSegs = QNGetDword(s.p, bsSegments);
  const std::int32_t end = Offset + Length;
  const std::int32_t needed = QNBlobSegmentCount(end, File->BlockSize);
  if (done < Length) {
    const std::int32_t pay = Payload(File);
    const std::int32_t firstByte = Offset + done;
    const std::int32_t firstSeg = (firstByte - kQnBlobInline) / pay + 1;
    std::uint8_t* prev = nullptr;  // nullptr: the link is the slot's first segment
    for (std::int32_t seg = 1; seg <= needed; ++seg) {
      std::uint8_t* b;
      std::int32_t ref;
      if (seg <= oldSegs) {
        ref = prev == nullptr ? QNGetDword(s.p, bsFirstSegment) : QNGetDword(prev, qbbNextSegment);
        b = ReadSegment(File, h, ref, BLOBNr, seg >= firstSeg);
      } else {
        std::int32_t n = -1;
        b = QNTblHlpGetNewBlock(File, h, n);
        QNSetSignature(b, kQnSigBlob);
        QNSetDword(b, qbhNext, -1);
        QNSetDword(b, qbbKind, 1);
        QNSetDword(b, qbbNextSegment, -1);
        QNSetDword(b, qbbOwner, BLOBNr);
        ref = SegmentRef(File, n);
        if (prev == nullptr) {
          QNSetDword(s.p, bsFirstSegment, ref);
        } else {
          bm.DirtyBlock(File, QNGetDword(prev, qbhNumber));
          QNSetDword(prev, qbbNextSegment, ref);
        }
      }
      if (seg >= firstSeg && done < Length) {
        const std::int32_t at = seg == firstSeg ? (firstByte - kQnBlobInline) % pay : 0;
        const std::int32_t k = std::min(Length - done, pay - at);
        std::memcpy(b + 32 + at, Buffer + done, static_cast<std::size_t>(k));
        done += k;
      }
      prev = b;
    }
  }
  QNSetDword(s.p, bsLength, std::max(len, end));
  QNSetDword(s.p, bsSegments, std::max(oldSegs, needed));
}

void QNTblTruncateBLOB(TqnFileInfo* File, std::int32_t BLOBNr, std::int32_t NewLength) {
  CheckRange("QNTblTruncateBLOB", NewLength, 3);
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  std::uint8_t* h = bm.GetFileHeader(File, true);
  Slot s = Locate(File, h, BLOBNr, true);
  if (IsFileBlob(s)) {
    QNSetDword(s.p, bsLength, 0);
    QNSetDword(s.p, bsSegments, 0);
    QNSetDword(s.p, bsFirstSegment, -1);
    std::memset(s.p + kSlotData, 0, kQnBlobInline);
    return;
  }
  const std::int32_t len = LengthOf(File, s, BLOBNr);
  if (NewLength > len) QNStorageError(qnerrBlobTruncateLength, {File->Name, BLOBNr, NewLength, len});
  const std::int32_t oldSegs = QNGetDword(s.p, bsSegments);
  const std::int32_t keep = QNBlobSegmentCount(NewLength, File->BlockSize);
  if (keep != oldSegs) {
    std::int32_t ref = QNGetDword(s.p, bsFirstSegment);
    std::uint8_t* last = nullptr;
    for (std::int32_t seg = 1; seg <= keep; ++seg) {
      last = ReadSegment(File, h, ref, BLOBNr, seg == keep);
      ref = QNGetDword(last, qbbNextSegment);
    }
    if (last != nullptr)
      QNSetDword(last, qbbNextSegment, -1);
    else
      QNSetDword(s.p, bsFirstSegment, -1);
    FreeChain(File, h, ref, oldSegs - keep, BLOBNr);
  }
  QNSetDword(s.p, bsLength, NewLength);
  QNSetDword(s.p, bsSegments, keep);
}

}  // namespace tw::dbengine
