// File routines over POSIX descriptors.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <climits>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <utility>

#include "dbengine/storage/file_routines.h"
#include "dbengine/base/names.h"

namespace tw::dbengine {

namespace {

std::string Slashes(std::string s) {
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

// The folder argument of the *at calls: kQnNoHandle takes names as paths.
int Dir(TqnFileHandle folder) { return folder == kQnNoHandle ? AT_FDCWD : folder; }

// The name of a file of Folder as the folder holds it: as spelled when that exists, else the
// entry that matches it case-insensitively (the name as given when there is none).
std::string ResolveIn(TqnFileHandle folder, const std::string& raw) {
  if (folder == kQnNoHandle) return QNResolveFileName(raw);
  const std::string name = Slashes(raw);
  struct stat st {};
  if (name.empty() || name.find('/') != std::string::npos || ::fstatat(folder, name.c_str(), &st, 0) == 0)
    return name;
  const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return name;
  DIR* d = ::fdopendir(fd);
  if (d == nullptr) {
    ::close(fd);
    return name;
  }
  std::string found = name;
  while (dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

// Open files of this process, keyed by device and inode: how many handles, and whether one of
// them holds the file exclusively.
struct OpenFileEntry {
  int handles = 0;
  bool exclusive = false;
};

class PosixFileRoutines final : public TqnFileRoutines {
 public:
  int OpenIn(TqnFileHandle folder, const std::string& rawName, bool readWrite, bool shared, bool create,
             bool writeThrough, TqnFileHandle& handle) override {
    handle = kQnNoHandle;
    const std::string name = ResolveIn(folder, rawName);
    int flags = O_CLOEXEC | (readWrite ? O_RDWR : O_RDONLY);
    if (create) flags |= O_CREAT;  // emptied below, once the share check has passed
    if (writeThrough) flags |= O_DSYNC;
    // Reads leave the access time alone: updating it (or deciding not to) costs every read a
    // look at the clock and the inode.  Only the file's owner may ask for that; anyone else
    // opens the file as it is.
    int fd = ::openat(Dir(folder), name.c_str(), flags | O_NOATIME, 0644);
    if (fd < 0 && errno == EPERM) fd = ::openat(Dir(folder), name.c_str(), flags, 0644);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      const int e = errno;
      ::close(fd);
      return e;
    }
    const Key key{st.st_dev, st.st_ino};
    {
      std::lock_guard<std::mutex> g(mutex_);
      auto it = files_.find(key);
      if (it != files_.end() && it->second.handles > 0 && (it->second.exclusive || !shared)) {
        ::close(fd);
        return kQnSharingViolation;
      }
      // Other processes: a shared lock for shared handles, an exclusive one otherwise.
      if (::flock(fd, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        const int e = errno;
        ::close(fd);
        return (e == EWOULDBLOCK) ? kQnSharingViolation : e;
      }
      if (create && ::ftruncate(fd, 0) != 0) {
        const int e = errno;
        ::close(fd);
        return e;
      }
      OpenFileEntry& entry = files_[key];
      entry.handles++;
      entry.exclusive = !shared;
      keys_[fd] = key;
    }
    handle = fd;
    return 0;
  }

  int Close(TqnFileHandle handle) override {
    {
      std::lock_guard<std::mutex> g(mutex_);
      auto k = keys_.find(handle);
      if (k == keys_.end()) return EBADF;
      auto it = files_.find(k->second);
      if (it != files_.end() && --it->second.handles <= 0) files_.erase(it);
      keys_.erase(k);
    }
    return ::close(handle) == 0 ? 0 : errno;
  }

  int Flush(TqnFileHandle handle) override { return ::fdatasync(handle) == 0 ? 0 : errno; }

  int ReadAt(TqnFileHandle handle, std::int64_t offset, void* buffer, std::size_t count,
             std::size_t& done) override {
    done = 0;
    auto* p = static_cast<std::uint8_t*>(buffer);
    while (done < count) {
      const ssize_t n = ::pread(handle, p + done, count - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return 0;
  }

  int WriteAt(TqnFileHandle handle, std::int64_t offset, const void* buffer, std::size_t count,
              std::size_t& done) override {
    done = 0;
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    while (done < count) {
      const ssize_t n = ::pwrite(handle, p + done, count - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (n == 0) return EIO;
      done += static_cast<std::size_t>(n);
    }
    return 0;
  }

  int WriteGatherAt(TqnFileHandle handle, std::int64_t offset, const TqnIoPiece* pieces, std::size_t count,
                    std::size_t& done) override {
    // Straight from the pieces: no copy into one buffer first.
    done = 0;
    std::vector<iovec> io;
    io.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
      if (pieces[i].Count > 0) io.push_back({const_cast<void*>(pieces[i].Buffer), pieces[i].Count});
    std::size_t first = 0;
    while (first < io.size()) {
      const int n = static_cast<int>(std::min<std::size_t>(io.size() - first, IOV_MAX));
      const ssize_t w = ::pwritev(handle, io.data() + first, n, static_cast<off_t>(offset + done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (w == 0) return EIO;
      // A short write: the pieces it ended in are taken up from where it stopped.
      auto left = static_cast<std::size_t>(w);
      done += left;
      while (first < io.size() && left >= io[first].iov_len) left -= io[first++].iov_len;
      if (left > 0) {
        io[first].iov_base = static_cast<std::uint8_t*>(io[first].iov_base) + left;
        io[first].iov_len -= left;
      }
    }
    return 0;
  }

  int Size(TqnFileHandle handle, std::int64_t& size) override {
    struct stat st {};
    if (::fstat(handle, &st) != 0) return errno;
    size = st.st_size;
    return 0;
  }

  int Truncate(TqnFileHandle handle, std::int64_t size) override {
    return ::ftruncate(handle, static_cast<off_t>(size)) == 0 ? 0 : errno;
  }

  int LockRegion(TqnFileHandle handle, std::int64_t offset, std::int64_t length) override {
    return RegionLock(handle, offset, length, true);
  }
  int UnlockRegion(TqnFileHandle handle, std::int64_t offset, std::int64_t length) override {
    return RegionLock(handle, offset, length, false);
  }

  void Sleep(unsigned milliseconds) override { ::usleep(static_cast<useconds_t>(milliseconds) * 1000u); }

  int OpenFolder(const std::string& path, TqnFileHandle& folder) override {
    folder = kQnNoHandle;
    const int fd = ::open(QNResolveFolder(path.empty() ? std::string(".") : Slashes(path)).c_str(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    folder = fd;
    return 0;
  }

  int CloseFolder(TqnFileHandle folder) override { return ::close(folder) == 0 ? 0 : errno; }

  int DeleteIn(TqnFileHandle folder, const std::string& name) override {
    return ::unlinkat(Dir(folder), ResolveIn(folder, name).c_str(), 0) == 0 ? 0 : errno;
  }

  int RenameIn(TqnFileHandle folder, const std::string& oldName, const std::string& newName) override {
    const int dir = Dir(folder);
    const std::string from = ResolveIn(folder, oldName);
    const std::string to = Slashes(newName);
    if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without the no-replace rename: a hard link fails on an existing name.
    if (::linkat(dir, from.c_str(), dir, to.c_str(), 0) != 0) return errno;
    return ::unlinkat(dir, from.c_str(), 0) == 0 ? 0 : errno;
  }

  int ReplaceIn(TqnFileHandle folder, const std::string& oldName, const std::string& newName) override {
    const int dir = Dir(folder);
    const std::string from = ResolveIn(folder, oldName);
    const std::string to = ResolveIn(folder, newName);
    return ::renameat(dir, from.c_str(), dir, to.c_str()) == 0 ? 0 : errno;
  }

  int SyncFolderIn(TqnFileHandle folder) override {
    if (folder == kQnNoHandle) return SyncFolder(".");
    return ::fsync(folder) == 0 ? 0 : errno;
  }

  int ListFolderIn(TqnFileHandle folder, std::vector<std::string>& names) override {
    names.clear();
    // A descriptor of its own for the listing (closing the listing closes it).
    const int fd = ::openat(Dir(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    DIR* d = ::fdopendir(fd);
    if (d == nullptr) {
      const int e = errno;
      ::close(fd);
      return e;
    }
    while (dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n == "." || n == "..") continue;
      struct stat st {};
      if (::fstatat(fd, n.c_str(), &st, 0) == 0 && S_ISREG(st.st_mode)) names.push_back(n);
    }
    ::closedir(d);
    return 0;
  }

  bool ExistsIn(TqnFileHandle folder, const std::string& name) override {
    struct stat st {};
    return ::fstatat(Dir(folder), ResolveIn(folder, name).c_str(), &st, 0) == 0;
  }

  int Identity(TqnFileHandle handle, TqnFileKey& key) override {
    struct stat st {};
    if (::fstat(handle, &st) != 0) return errno;
    key = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return 0;
  }

  int IdentityIn(TqnFileHandle folder, const std::string& name, TqnFileKey& key) override {
    // The name as spelled first: one look-up in the common case.
    struct stat st {};
    if (::fstatat(Dir(folder), Slashes(name).c_str(), &st, 0) != 0 &&
        ::fstatat(Dir(folder), ResolveIn(folder, name).c_str(), &st, 0) != 0)
      return errno;
    key = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return 0;
  }

  int StatIn(TqnFileHandle folder, const std::string& name, bool followLink, TqnFileStat& stat) override {
    stat = TqnFileStat{};
    struct stat st {};
    if (::fstatat(Dir(folder), ResolveIn(folder, name).c_str(), &st, followLink ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
      return errno;
    stat.Key = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    stat.Size = static_cast<std::int64_t>(st.st_size);
    stat.WriteTime = static_cast<std::int64_t>(st.st_mtime);
    stat.Links = static_cast<std::uint64_t>(st.st_nlink);
    stat.Regular = S_ISREG(st.st_mode);
    stat.Folder = S_ISDIR(st.st_mode);
    stat.Link = S_ISLNK(st.st_mode);
    return 0;
  }

  bool FolderGone(TqnFileHandle folder) override {
    struct stat st {};
    return ::fstat(folder, &st) != 0 || st.st_nlink == 0;
  }

 private:
  using Key = std::pair<dev_t, ino_t>;

  static int RegionLock(TqnFileHandle handle, std::int64_t offset, std::int64_t length, bool lock) {
    if (offset < 0 || length <= 0) return EINVAL;
    int flags = ::fcntl(handle, F_GETFL);
    if (flags < 0) return errno;
    struct flock fl {};
    fl.l_type = !lock ? F_UNLCK : ((flags & O_ACCMODE) == O_RDONLY ? F_RDLCK : F_WRLCK);
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    if (::fcntl(handle, F_OFD_SETLK, &fl) != 0) return (errno == EAGAIN || errno == EACCES) ? 33 : errno;
    return 0;
  }

  std::mutex mutex_;
  std::map<Key, OpenFileEntry> files_;
  std::map<int, Key> keys_;
};

std::mutex g_tableMutex;
TqnFileRoutines* g_table = nullptr;

}  // namespace

std::string QNResolveFileName(const std::string& raw) {
  std::string name = Slashes(raw);
  struct stat st {};
  if (name.empty() || ::stat(name.c_str(), &st) == 0) return name;
  const std::size_t slash = name.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : (slash == 0 ? "/" : name.substr(0, slash));
  const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return name;
  std::string found;
  while (dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, base.c_str()) == 0) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  if (found.empty()) return name;
  return slash == std::string::npos ? found : name.substr(0, slash + 1) + found;
}

TqnFileRoutines& QNPosixFileRoutines() {
  static PosixFileRoutines routines;
  return routines;
}

TqnFileRoutines& QNFileAccessTable() {
  std::lock_guard<std::mutex> g(g_tableMutex);
  return g_table ? *g_table : QNPosixFileRoutines();
}

TqnFileRoutines* QNInstallFileAccessTable(TqnFileRoutines* table) {
  std::lock_guard<std::mutex> g(g_tableMutex);
  TqnFileRoutines* old = g_table ? g_table : &QNPosixFileRoutines();
  g_table = table;
  return old;
}

}  // namespace tw::dbengine
