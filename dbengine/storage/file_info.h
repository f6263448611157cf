// The file record of one open file and the primitives over it.  Every primitive checks the
// record first and raises the engine's errors with the file's name.  All offsets are 64-bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dbengine/storage/file_routines.h"
#include "dbengine/storage/folder.h"

namespace tw::dbengine {

class TqnBufferManager;

constexpr std::uint32_t kQnFileInfoSignature = 0xFF15FABBu;

// The buffer manager's note of the page that held a block read over and over (see
// TqnBufferManager::GetBlockHinted); it checks the note before it trusts it.
struct TqnBlockHint {
  void* Page = nullptr;
  std::uint64_t Generation = 0;
};

struct TqnFileInfo {
  std::uint32_t Signature = kQnFileInfoSignature;
  TqnFileHandle Handle = kQnNoHandle;
  std::int32_t BlockSize = 0;  // 0 until block 0 has been read
  TqnBufferManager* BufferManager = nullptr;  // nullptr for files accessed directly
  std::uint32_t TransactionId = 0;
  std::string Name;  // full path: folder + base name + "." + extension; for messages and journals
  // The folder the file lies in, opened once (at the record's making, or at its first opening
  // for a record made by path), and the file's name there: the file is reached through them.
  TqnFolderRef Folder;
  std::string Leaf;
  bool ReadWrite = false;
  bool Shared = false;
  bool WriteThrough = false;
  bool Encrypted = false;
  std::int64_t Position = 0;
  TqnFileRoutines* Routines = nullptr;  // the table installed when the record was made
  TqnBlockHint IndexHeaderHint;  // the page of the index header block, as last found
  TqnBlockHint DataBlockHint;    // the page of the data block a record was last read from
  // What the open file is (device and inode), whatever names it, and the directory it lies in;
  // known from its opening on.
  TqnFileKey Key;
  TqnFileKey FolderKey;
  bool KeyKnown = false;
  bool FolderKnown = false;
};

// A record for Path + "." + Extension (Path alone when Extension is empty), closed.  Its folder
// is opened when the file is first opened.
TqnFileInfo* QNAllocFileInfo(const std::string& Path, const std::string& Extension,
                             TqnBufferManager* BufferManager);
// A record for file Base + "." + Extension of Folder, closed.
TqnFileInfo* QNAllocFileInfo(const TqnFolderRef& Folder, const std::string& Base, const std::string& Extension,
                             TqnBufferManager* BufferManager);
// Drops the file's cached pages, closes the file when open (errors ignored) and frees the
// record; File becomes nullptr.
void QNFreeFileInfo(TqnFileInfo*& File);

// A file with a buffer manager (a table's) first has the journals of its folder finished
// (QNRecoverJournalsFor), unless JournalsFinished says its table did that for all its files.
void QNOpenFile(TqnFileInfo* File, bool ReadWrite, bool Shared, bool Create, bool WriteThrough,
                bool JournalsFinished = false);
// Opens an existing file for reading, shared, as it stands: a journal left in its folder is
// neither replayed nor rolled back, so nothing on disk changes.
void QNOpenFileAsItStands(TqnFileInfo* File);
void QNCloseFile(TqnFileInfo* File);
bool QNIsFileOpen(const TqnFileInfo* File);
// Whether the file's name in its folder still leads to the open file: false once the file has
// been renamed or removed there, when the name may lead to another file or to none.
bool QNFileAtItsPath(const TqnFileInfo* File);
void QNFlushFile(TqnFileInfo* File);
// Closes and opens again with the stored options, never creating.
void QNReopenFile(TqnFileInfo* File);
void QNPositionFile(TqnFileInfo* File, std::int64_t Offset);
// Positions at the end and returns the size.
std::int64_t QNPositionFileEOF(TqnFileInfo* File);
std::int64_t QNFileSize(TqnFileInfo* File);
std::size_t QNReadFile(TqnFileInfo* File, std::size_t Count, void* Buffer);
void QNReadFileExact(TqnFileInfo* File, std::size_t Count, void* Buffer);
void QNReadFileExactAt(TqnFileInfo* File, std::int64_t Offset, std::size_t Count, void* Buffer);
void QNWriteFileExact(TqnFileInfo* File, std::size_t Count, const void* Buffer);
void QNWriteFileExactAt(TqnFileInfo* File, std::int64_t Offset, std::size_t Count, const void* Buffer);
// The pieces one after the other from Offset, in one write.
void QNWriteFileGatherAt(TqnFileInfo* File, std::int64_t Offset, const TqnIoPiece* Pieces, std::size_t Count);
void QNTruncateFile(TqnFileInfo* File, std::int64_t Size);
void QNLockFileRegion(TqnFileInfo* File, std::int64_t Offset, std::int64_t Length);
void QNUnlockFileRegion(TqnFileInfo* File, std::int64_t Offset, std::int64_t Length);

// Through the installed table of file routines.
void QNDeleteFile(const std::string& Name);
void QNRenameFile(const std::string& OldName, const std::string& NewName);

}  // namespace tw::dbengine
