// The table of file routines: the one door through which the storage engine reaches the disk.
// The engine never calls the operating system for a table or journal file directly; it calls
// the routines of a TqnFileRoutines table.  The real table works over POSIX descriptors; tests
// install a table that injects failures (failing writes, torn writes, a process that stops).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dbengine/base/names.h"

namespace tw::dbengine {

using TqnFileHandle = int;
constexpr TqnFileHandle kQnNoHandle = -1;

// Error numbers returned by the routines are the operating system's (errno values); 0 is
// success.  A share-mode conflict (another handle holds the file in a mode that excludes this
// one) is reported as kQnSharingViolation.
constexpr int kQnSharingViolation = 32;

// What a name of a folder leads to (see `StatIn`).
struct TqnFileStat {
  TqnFileKey Key;              // device and inode
  std::int64_t Size = 0;       // bytes
  std::int64_t WriteTime = 0;  // last write, seconds since 1970
  std::uint64_t Links = 0;     // names the file has
  bool Regular = false;        // a plain file (a link taken as itself is none)
  bool Folder = false;
  bool Link = false;           // a symbolic link, taken as itself
};

// One buffer of a gathered write.
struct TqnIoPiece {
  const void* Buffer;
  std::size_t Count;
};

class TqnFileRoutines {
 public:
  virtual ~TqnFileRoutines() = default;

  virtual int Close(TqnFileHandle handle) = 0;
  // Forces the file's data to the disk.
  virtual int Flush(TqnFileHandle handle) = 0;
  // Positioned transfers; Done is the count actually moved (short at end of file).
  virtual int ReadAt(TqnFileHandle handle, std::int64_t offset, void* buffer, std::size_t count,
                     std::size_t& done) = 0;
  virtual int WriteAt(TqnFileHandle handle, std::int64_t offset, const void* buffer, std::size_t count,
                      std::size_t& done) = 0;
  // Writes the pieces one after the other from Offset, as one write (Done counts their bytes).
  // This table's WriteAt of the pieces gathered into one buffer, unless a table does better.
  virtual int WriteGatherAt(TqnFileHandle handle, std::int64_t offset, const TqnIoPiece* pieces, std::size_t count,
                            std::size_t& done);
  virtual int Size(TqnFileHandle handle, std::int64_t& size) = 0;
  // Sets the end of the file at Size.
  virtual int Truncate(TqnFileHandle handle, std::int64_t size) = 0;
  // Exclusive byte-range locks, refused (not waited for) when another handle holds a range
  // that overlaps.
  virtual int LockRegion(TqnFileHandle handle, std::int64_t offset, std::int64_t length) = 0;
  virtual int UnlockRegion(TqnFileHandle handle, std::int64_t offset, std::int64_t length) = 0;
  virtual void Sleep(unsigned milliseconds) = 0;

  // Folders.  A folder is opened once, by its path; its files are then reached through the
  // folder's handle, never by looking the path up again: a folder renamed, or another folder
  // put at its path, changes nothing of what the handle reaches.  Every routine below that
  // takes a Folder takes Name as a plain file name in it; kQnNoHandle as Folder takes Name as
  // a path (relative to the current folder).
  virtual int OpenFolder(const std::string& path, TqnFileHandle& folder) = 0;
  virtual int CloseFolder(TqnFileHandle folder) = 0;
  // Opens Name.  ReadWrite: read and write access, else read-only.  Shared: other handles may
  // hold the file too (read and write); without it this must be the file's only handle, and
  // no other handle may open it while it is held.  Create: the file is created, or emptied
  // when it exists (only after the share check has passed).  WriteThrough: every write reaches
  // the disk before it returns.
  virtual int OpenIn(TqnFileHandle folder, const std::string& name, bool readWrite, bool shared, bool create,
                     bool writeThrough, TqnFileHandle& handle) = 0;
  virtual int DeleteIn(TqnFileHandle folder, const std::string& name) = 0;
  // Renames Old to New; never replaces an existing New (that is an error, EEXIST).
  virtual int RenameIn(TqnFileHandle folder, const std::string& oldName, const std::string& newName) = 0;
  // Renames Old to New in one step, replacing an existing New: at every moment New names
  // either the old file or the new one.
  virtual int ReplaceIn(TqnFileHandle folder, const std::string& oldName, const std::string& newName) = 0;
  // Makes the creation and deletion of files in the open folder durable.
  virtual int SyncFolderIn(TqnFileHandle folder) = 0;
  // Names of the regular files in the open folder.
  virtual int ListFolderIn(TqnFileHandle folder, std::vector<std::string>& names) = 0;
  virtual bool ExistsIn(TqnFileHandle folder, const std::string& name) = 0;
  // What a file is, however it is named: the device and inode of the file open as Handle, or of
  // the file or folder Name leads to now.
  virtual int Identity(TqnFileHandle handle, TqnFileKey& key) = 0;
  virtual int IdentityIn(TqnFileHandle folder, const std::string& name, TqnFileKey& key) = 0;
  // Whether the open folder has been removed (no name leads to it any more).
  virtual bool FolderGone(TqnFileHandle folder) = 0;
  // What Name leads to: with FollowLink the file a symbolic link leads to, without it a link is
  // taken as itself.  Name is taken as spelled when it holds a '/' (no case is looked up then).
  virtual int StatIn(TqnFileHandle folder, const std::string& name, bool followLink, TqnFileStat& stat) = 0;

  // The same by path.
  int Open(const std::string& name, bool readWrite, bool shared, bool create, bool writeThrough,
           TqnFileHandle& handle) {
    return OpenIn(kQnNoHandle, name, readWrite, shared, create, writeThrough, handle);
  }
  int Delete(const std::string& name) { return DeleteIn(kQnNoHandle, name); }
  int Rename(const std::string& oldName, const std::string& newName) { return RenameIn(kQnNoHandle, oldName, newName); }
  int Replace(const std::string& oldName, const std::string& newName) {
    return ReplaceIn(kQnNoHandle, oldName, newName);
  }
  bool Exists(const std::string& name) { return ExistsIn(kQnNoHandle, name); }
  int IdentityOf(const std::string& name, TqnFileKey& key) { return IdentityIn(kQnNoHandle, name, key); }
  int SyncFolder(const std::string& folder);
  int ListFolder(const std::string& folder, std::vector<std::string>& names);
};

// The POSIX table.  Share modes are kept between the handles of this process in a registry of
// open files, and between processes with advisory whole-file locks (shared for shared
// handles, exclusive for exclusive ones).  Region locks are open-file-description locks.
// A name that does not exist as spelled is looked up case-insensitively in its folder, and
// backslashes are taken as folder separators.
TqnFileRoutines& QNPosixFileRoutines();

// The table in use; the POSIX one until another is installed.
TqnFileRoutines& QNFileAccessTable();
// Installs Table (nullptr: the POSIX table) and returns the one installed before.  File
// records keep the table that was installed when they were made.
TqnFileRoutines* QNInstallFileAccessTable(TqnFileRoutines* table);

// Maps backslashes to '/', and, when the name does not exist as spelled, finds the folder
// entry that matches it case-insensitively (the name as given when there is none).
std::string QNResolveFileName(const std::string& name);

}  // namespace tw::dbengine
