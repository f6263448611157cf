// Folders opened once and reached through their handles.
#include "dbengine/storage/folder.h"

#include "dbengine/base/errors.h"
#include "dbengine/storage/storage_errors.h"

namespace tw::dbengine {

std::string QNFolderPart(const std::string& Path) {
  const std::size_t slash = Path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : Path.substr(0, slash);
}

std::string QNNamePart(const std::string& Path) {
  const std::size_t slash = Path.find_last_of("/\\");
  return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

std::shared_ptr<TqnFolder> TqnFolder::Open(const std::string& Path, TqnFileRoutines& Routines) {
  std::string path = Path.empty() ? std::string(".") : Path;
  for (char& c : path)
    if (c == '\\') c = '/';
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  TqnFileHandle h = kQnNoHandle;
  if (Routines.OpenFolder(path, h) != 0) QNStorageError(qnerrPathNotFound, {path});
  // What the folder is comes from the handle: the directory that was opened, not a second look
  // at the path.
  TqnFileKey key;
  if (Routines.Identity(h, key) != 0) {
    Routines.CloseFolder(h);
    QNStorageError(qnerrPathNotFound, {path});
  }
  return std::shared_ptr<TqnFolder>(new TqnFolder(Routines, h, path, key));
}

std::shared_ptr<TqnFolder> TqnFolder::OpenIfThere(const std::string& Path, TqnFileRoutines& Routines) {
  try {
    return Open(Path, Routines);
  } catch (const EqnException&) {
    return nullptr;
  }
}

TqnFolder::TqnFolder(TqnFileRoutines& Routines, TqnFileHandle Handle, std::string Path, const TqnFileKey& Key)
    : r_(Routines), handle_(Handle), path_(std::move(Path)), key_(Key) {}

TqnFolder::~TqnFolder() { r_.CloseFolder(handle_); }

std::string TqnFolder::PathOf(const std::string& Name) const {
  return (path_ == "/" ? std::string() : path_) + "/" + Name;
}

}  // namespace tw::dbengine
