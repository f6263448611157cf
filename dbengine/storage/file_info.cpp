// File record primitives.
#include "dbengine/storage/file_info.h"

#include <cerrno>
#include <limits>

#include "dbengine/base/errors.h"
#include "dbengine/storage/buffer_manager.h"
#include "dbengine/storage/journal.h"
#include "dbengine/storage/storage_errors.h"

namespace tw::dbengine {

namespace {

void Check(const TqnFileInfo* f, bool mustBeOpen) {
  if (f == nullptr || f->Signature != kQnFileInfoSignature || f->Name.empty() || f->Routines == nullptr ||
      (f->Handle != kQnNoHandle) != mustBeOpen)
    QNStorageError(qnerrFileInfoInvalid);
}

long long Clip(std::int64_t v) { return static_cast<long long>(v); }

void Identify(TqnFileInfo* File) {
  File->KeyKnown = File->Routines->Identity(File->Handle, File->Key) == 0;
  File->FolderKey = File->Folder->Key();
  File->FolderKnown = File->KeyKnown;
}

// A record made by path has its folder opened at its first opening: from then on its file is
// reached through that folder, wherever the folder's path leads later.
void NeedFolder(TqnFileInfo* File) {
  if (File->Folder) return;
  File->Folder = TqnFolder::Open(QNFolderPart(File->Name), *File->Routines);
  File->Leaf = QNNamePart(File->Name);
}

void OpenHandle(TqnFileInfo* File, bool ReadWrite, bool Shared, bool Create, bool WriteThrough) {
  NeedFolder(File);
  TqnFileHandle h = kQnNoHandle;
  const int e = File->Routines->OpenIn(File->Folder->Handle(), File->Leaf, ReadWrite, Shared, Create, WriteThrough, h);
  if (e != 0) QNStorageError(qnerrFileOpen, {File->Name, e});
  File->Handle = h;
  File->ReadWrite = ReadWrite;
  File->Shared = Shared;
  File->WriteThrough = WriteThrough;
  File->Position = 0;
  Identify(File);
}

}  // namespace

TqnFileInfo* QNAllocFileInfo(const std::string& Path, const std::string& Extension, TqnBufferManager* BufferManager) {
  auto* f = new TqnFileInfo;
  f->Name = Extension.empty() ? Path : Path + "." + Extension;
  for (char& c : f->Name)
    if (c == '\\') c = '/';
  f->BufferManager = BufferManager;
  f->Routines = &QNFileAccessTable();
  return f;
}

TqnFileInfo* QNAllocFileInfo(const TqnFolderRef& Folder, const std::string& Base, const std::string& Extension,
                             TqnBufferManager* BufferManager) {
  auto* f = new TqnFileInfo;
  f->Leaf = Extension.empty() ? Base : Base + "." + Extension;
  f->Name = Folder->PathOf(f->Leaf);
  f->Folder = Folder;
  f->BufferManager = BufferManager;
  f->Routines = &QNFileAccessTable();
  return f;
}

void QNFreeFileInfo(TqnFileInfo*& File) {
  if (File == nullptr) return;
  // Pages keyed by a freed record could later be found under a new record at the same address.
  if (File->Signature == kQnFileInfoSignature && File->BufferManager != nullptr) File->BufferManager->RemoveFile(File);
  if (File->Signature == kQnFileInfoSignature && File->Handle != kQnNoHandle && File->Routines)
    File->Routines->Close(File->Handle);
  File->Signature = 0;
  delete File;
  File = nullptr;
}

void QNOpenFile(TqnFileInfo* File, bool ReadWrite, bool Shared, bool Create, bool WriteThrough,
                bool JournalsFinished) {
  Check(File, false);
  // A table file first gets any journal left behind by an interrupted commit applied or
  // discarded, so that it is never opened torn.
  if (File->BufferManager != nullptr && !JournalsFinished) {
    NeedFolder(File);
    QNRecoverJournalsFor(*File->Folder, File->Leaf, *File->Routines);
  }
  OpenHandle(File, ReadWrite, Shared, Create, WriteThrough);
}

void QNOpenFileAsItStands(TqnFileInfo* File) {
  Check(File, false);
  OpenHandle(File, false, true, false, false);
}

void QNCloseFile(TqnFileInfo* File) {
  Check(File, true);
  const int e = File->Routines->Close(File->Handle);
  File->Handle = kQnNoHandle;
  if (e != 0) QNStorageError(qnerrFileClose, {File->Name, e});
}

bool QNIsFileOpen(const TqnFileInfo* File) {
  return File != nullptr && File->Signature == kQnFileInfoSignature && File->Handle != kQnNoHandle;
}

bool QNFileAtItsPath(const TqnFileInfo* File) {
  TqnFileKey there;
  return QNIsFileOpen(File) && File->KeyKnown && File->Folder &&
         File->Routines->IdentityIn(File->Folder->Handle(), File->Leaf, there) == 0 && there == File->Key;
}

void QNFlushFile(TqnFileInfo* File) {
  Check(File, true);
  const int e = File->Routines->Flush(File->Handle);
  if (e != 0) QNStorageError(qnerrFileFlush, {File->Name, e});
}

void QNReopenFile(TqnFileInfo* File) {
  QNCloseFile(File);
  TqnFileHandle h = kQnNoHandle;
  NeedFolder(File);
  const int e = File->Routines->OpenIn(File->Folder->Handle(), File->Leaf, File->ReadWrite, File->Shared, false,
                                       File->WriteThrough, h);
  if (e != 0) QNStorageError(qnerrFileOpen, {File->Name, e});
  File->Handle = h;
  Identify(File);
}

void QNPositionFile(TqnFileInfo* File, std::int64_t Offset) {
  Check(File, true);
  if (Offset < 0) QNStorageError(qnerrFileSeek, {File->Name, Clip(Offset), EINVAL});
  File->Position = Offset;
}

std::int64_t QNFileSize(TqnFileInfo* File) {
  Check(File, true);
  std::int64_t size = 0;
  const int e = File->Routines->Size(File->Handle, size);
  if (e != 0) QNStorageError(qnerrFileSeek, {File->Name, std::numeric_limits<std::int32_t>::max(), e});
  return size;
}

std::int64_t QNPositionFileEOF(TqnFileInfo* File) {
  File->Position = QNFileSize(File);
  return File->Position;
}

std::size_t QNReadFile(TqnFileInfo* File, std::size_t Count, void* Buffer) {
  Check(File, true);
  std::size_t done = 0;
  const int e = File->Routines->ReadAt(File->Handle, File->Position, Buffer, Count, done);
  if (e != 0) QNStorageError(qnerrFileRead, {File->Name, e});
  File->Position += static_cast<std::int64_t>(done);
  return done;
}

void QNReadFileExact(TqnFileInfo* File, std::size_t Count, void* Buffer) {
  if (QNReadFile(File, Count, Buffer) != Count) QNStorageError(qnerrFileReadExact, {File->Name, Count});
}

void QNReadFileExactAt(TqnFileInfo* File, std::int64_t Offset, std::size_t Count, void* Buffer) {
  QNPositionFile(File, Offset);
  QNReadFileExact(File, Count, Buffer);
}

void QNWriteFileExact(TqnFileInfo* File, std::size_t Count, const void* Buffer) {
  Check(File, true);
  std::size_t done = 0;
  const int e = File->Routines->WriteAt(File->Handle, File->Position, Buffer, Count, done);
  File->Position += static_cast<std::int64_t>(done);
  if (e != 0) QNStorageError(qnerrFileWrite, {File->Name, e});
  if (done != Count) QNStorageError(qnerrFileWriteExact, {File->Name, Count});
}

void QNWriteFileExactAt(TqnFileInfo* File, std::int64_t Offset, std::size_t Count, const void* Buffer) {
  QNPositionFile(File, Offset);
  QNWriteFileExact(File, Count, Buffer);
}

void QNWriteFileGatherAt(TqnFileInfo* File, std::int64_t Offset, const TqnIoPiece* Pieces, std::size_t Count) {
  QNPositionFile(File, Offset);
  Check(File, true);
  std::size_t total = 0;
  for (std::size_t i = 0; i < Count; ++i) total += Pieces[i].Count;
  std::size_t done = 0;
  const int e = File->Routines->WriteGatherAt(File->Handle, File->Position, Pieces, Count, done);
  File->Position += static_cast<std::int64_t>(done);
  if (e != 0) QNStorageError(qnerrFileWrite, {File->Name, e});
  if (done != total) QNStorageError(qnerrFileWriteExact, {File->Name, total});
}

void QNTruncateFile(TqnFileInfo* File, std::int64_t Size) {
  Check(File, true);
  const int e = File->Routines->Truncate(File->Handle, Size);
  if (e != 0) QNStorageError(qnerrFileSetEOF, {File->Name, e});
  File->Position = Size;
}

void QNLockFileRegion(TqnFileInfo* File, std::int64_t Offset, std::int64_t Length) {
  Check(File, true);
  if (File->Routines->LockRegion(File->Handle, Offset, Length) != 0)
    QNStorageError(qnerrFileLockRegion, {File->Name, Clip(Offset), Clip(Length)});
}

void QNUnlockFileRegion(TqnFileInfo* File, std::int64_t Offset, std::int64_t Length) {
  Check(File, true);
  const int e = File->Routines->UnlockRegion(File->Handle, Offset, Length);
  if (e != 0) QNStorageError(qnerrFileUnlockRegion, {File->Name, Clip(Offset), Clip(Length), e});
}

void QNDeleteFile(const std::string& Name) {
  const int e = QNFileAccessTable().Delete(Name);
  if (e != 0) QNStorageError(qnerrOSDeleteFile, {e});
}

void QNRenameFile(const std::string& OldName, const std::string& NewName) {
  const int e = QNFileAccessTable().Rename(OldName, NewName);
  if (e != 0) QNStorageError(qnerrOSRenameFile, {e});
}

}  // namespace tw::dbengine
