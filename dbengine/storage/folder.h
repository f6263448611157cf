// A folder of table files, opened once.  Every file of it (tables, journals, marks) is
// reached through the folder's handle, never by looking the folder's path up again: a folder
// renamed while in use, or two folders that exchange names, never lead one folder's work into
// the other.  The path it was opened by is kept for messages and for the paths journals hold.
#pragma once

#include <memory>
#include <string>

#include "dbengine/storage/file_routines.h"

namespace tw::dbengine {

class TqnFolder {
 public:
  // Opens the directory Path names through Routines; raises 23683 ("Path [..] does not exist")
  // when it names none.
  static std::shared_ptr<TqnFolder> Open(const std::string& Path, TqnFileRoutines& Routines = QNFileAccessTable());
  // The same, nullptr when Path names no folder (for callers to whom a missing folder holds
  // nothing to do).
  static std::shared_ptr<TqnFolder> OpenIfThere(const std::string& Path, TqnFileRoutines& Routines);
  ~TqnFolder();
  TqnFolder(const TqnFolder&) = delete;
  TqnFolder& operator=(const TqnFolder&) = delete;

  TqnFileHandle Handle() const { return handle_; }
  TqnFileRoutines& Routines() const { return r_; }
  // The path it was opened by, separators as '/' and without a trailing one.
  const std::string& Path() const { return path_; }
  // Path "/" Name: how a file of the folder is named in messages and journals.
  std::string PathOf(const std::string& Name) const;
  // The directory's device and inode: what tells folders apart, however they are named.
  const TqnFileKey& Key() const { return key_; }

  bool Exists(const std::string& Name) const { return r_.ExistsIn(handle_, Name); }
  // Whether the directory has been removed: nothing can be made in it any more.
  bool Gone() const { return r_.FolderGone(handle_); }

 private:
  TqnFolder(TqnFileRoutines& Routines, TqnFileHandle Handle, std::string Path, const TqnFileKey& Key);
  TqnFileRoutines& r_;
  TqnFileHandle handle_;
  std::string path_;
  TqnFileKey key_;
};

using TqnFolderRef = std::shared_ptr<TqnFolder>;

// The name in Folder of the file Name gives: a relative name as it stands ("./" parts dropped,
// backslashes taken as separators); an absolute one by the part of it that leads to the
// folder's directory now, or, with ByPathText, also when it begins with the folder's path (as
// the names its tables stored do, whether the folder has moved since or not).  False for a
// name with ".." in it, or that names no file of the folder.
bool QNNameInFolder(const TqnFolder& Folder, const std::string& Name, bool ByPathText, std::string& Rel);
// 0 when Rel names a regular file of Folder reached through no link (not even one to a file
// inside) that has one name only (a second name may lie outside the folder); its facts in Stat.
// Otherwise an error number: ENOENT when there is no such file, EPERM when it is none of those.
int QNFileLiesInFolder(const TqnFolder& Folder, const std::string& Rel, TqnFileStat& Stat);
// Opens that file, read-only and shared, through the folder's handle: 0, or an error number
// (EPERM too when the name led to another file by the time it was opened).
int QNOpenFileInFolder(const TqnFolder& Folder, const std::string& Rel, TqnFileHandle& Handle);

// The folder part of a path ("." for none, "/" for the root) and its last part.
std::string QNFolderPart(const std::string& Path);
std::string QNNamePart(const std::string& Path);

}  // namespace tw::dbengine
