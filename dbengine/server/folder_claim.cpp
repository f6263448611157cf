#include "dbengine/server/folder_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <utility>

namespace tw::dbengine {

namespace {
// One entry per folder (device and inode, so that two spellings of a folder meet).
struct Claim {
  int Fd = -1;
  int Count = 0;
  pid_t Process = 0;  // a child made by fork inherits the table, not the claims
};
using FolderKey = std::pair<dev_t, ino_t>;

std::mutex& ClaimMutex() {
  static std::mutex m;
  return m;
}
std::map<FolderKey, Claim>& Claims() {
  static auto* claims = new std::map<FolderKey, Claim>;
  return *claims;
}
// The folder each claimed spelling stood for when it was claimed (a folder renamed or removed
// meanwhile is still given back).
std::multimap<std::string, FolderKey>& Spellings() {
  static auto* spellings = new std::multimap<std::string, FolderKey>;
  return *spellings;
}

bool KeyOf(const std::string& Folder, FolderKey& Key) {
  struct stat st {};
  if (::stat(Folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  Key = {st.st_dev, st.st_ino};
  return true;
}
}  // namespace

bool QNClaimFolder(const std::string& Folder) {
  std::lock_guard<std::mutex> g(ClaimMutex());
  FolderKey key;
  // A folder that cannot be looked at is no one's: the open that follows reports it.
  if (!KeyOf(Folder, key)) return true;
  Claim& c = Claims()[key];
  if (c.Count > 0 && c.Process != ::getpid()) c = Claim{};
  if (c.Count > 0) {
    ++c.Count;
    Spellings().emplace(Folder, key);
    return true;
  }
  const int fd = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    Claims().erase(key);
    return true;
  }
  // flock on the folder's own descriptor: it makes no file in the user's folder, and it goes
  // with the process, however the process ends.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    Claims().erase(key);
    return false;
  }
  c.Fd = fd;
  c.Count = 1;
  c.Process = ::getpid();
  Spellings().emplace(Folder, key);
  return true;
}

void QNReleaseFolder(const std::string& Folder) {
  std::lock_guard<std::mutex> g(ClaimMutex());
  auto spelling = Spellings().find(Folder);
  if (spelling == Spellings().end()) return;
  const FolderKey key = spelling->second;
  Spellings().erase(spelling);
  auto it = Claims().find(key);
  if (it == Claims().end()) return;
  if (it->second.Process != ::getpid()) {
    Claims().erase(it);
    return;
  }
  if (--it->second.Count > 0) return;
  ::close(it->second.Fd);  // closing the descriptor lets the lock go
  Claims().erase(it);
}

}  // namespace tw::dbengine
