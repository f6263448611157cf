// Folders opened once and reached through their handles.
#include "dbengine/storage/folder.h"

#include <cerrno>
#include <vector>

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

bool QNNameInFolder(const TqnFolder& Folder, const std::string& Name, bool ByPathText, std::string& Rel) {
  Rel.clear();
  std::string name = Name;
  for (char& c : name)
    if (c == '\\') c = '/';
  if (name.empty()) return false;
  std::string rest = name;
  if (name[0] == '/') {
    rest.clear();
    const std::string prefix = Folder.PathOf("");
    if (ByPathText && name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
      rest = name.substr(prefix.size());
    } else {
      // The part of the path that leads to the folder's directory now, looked for upwards.
      for (std::size_t slash = name.find_last_of('/'); slash != std::string::npos && rest.empty();
           slash = slash == 0 ? std::string::npos : name.find_last_of('/', slash - 1)) {
        TqnFileKey key;
        const std::string above = slash == 0 ? std::string("/") : name.substr(0, slash);
        if (Folder.Routines().IdentityIn(kQnNoHandle, above, key) == 0 && key == Folder.Key())
          rest = name.substr(slash + 1);
      }
    }
  }
  // Its parts, without "." and empty ones; ".." never.
  std::string rel;
  std::size_t from = 0;
  while (from <= rest.size()) {
    std::size_t to = rest.find('/', from);
    if (to == std::string::npos) to = rest.size();
    const std::string part = rest.substr(from, to - from);
    if (part == "..") return false;
    if (!part.empty() && part != ".") rel += (rel.empty() ? "" : "/") + part;
    from = to + 1;
  }
  if (rel.empty()) return false;
  Rel = rel;
  return true;
}

int QNFileLiesInFolder(const TqnFolder& Folder, const std::string& Rel, TqnFileStat& Stat) {
  TqnFileRoutines& r = Folder.Routines();
  // Every folder on the way is a folder of its own, not a link.
  for (std::size_t slash = Rel.find('/'); slash != std::string::npos; slash = Rel.find('/', slash + 1)) {
    TqnFileStat dir;
    if (const int e = r.StatIn(Folder.Handle(), Rel.substr(0, slash), false, dir); e != 0) return e;
    if (!dir.Folder) return EPERM;
  }
  if (const int e = r.StatIn(Folder.Handle(), Rel, false, Stat); e != 0) return e;
  return Stat.Regular && Stat.Links == 1 ? 0 : EPERM;
}

int QNOpenFileInFolder(const TqnFolder& Folder, const std::string& Rel, TqnFileHandle& Handle) {
  Handle = kQnNoHandle;
  TqnFileStat st;
  if (const int e = QNFileLiesInFolder(Folder, Rel, st); e != 0) return e;
  TqnFileRoutines& r = Folder.Routines();
  TqnFileHandle h = kQnNoHandle;
  if (const int e = r.OpenIn(Folder.Handle(), Rel, false, true, false, false, h); e != 0) return e;
  // The file opened is the one looked at, not one that took its name (or a folder's on the
  // way) meanwhile.
  TqnFileKey key;
  if (r.Identity(h, key) != 0 || key != st.Key) {
    r.Close(h);
    return EPERM;
  }
  Handle = h;
  return 0;
}

}  // namespace tw::dbengine
