#include "dbengine/server/folder_claim.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <utility>

#include "dbengine/base/names.h"

namespace tw::dbengine {

namespace {
// One entry per folder (device and inode, so that two spellings of a folder meet).
struct Claim {
  int Fd = -1;
  int Count = 0;
  pid_t Process = 0;       // a child made by fork inherits the table, not the claims
  bool Exclusive = false;  // the flock is exclusive
  bool ForGood = false;    // and stays so until the last claim goes
  int Moments = 0;         // passing writes under way
};
using FolderKey = TqnFileKey;

std::map<FolderKey, Claim>& Claims() {
  static auto* claims = new std::map<FolderKey, Claim>;
  return *claims;
}

// A child made by fork gets copies of the claims' descriptors; they would keep the parent's
// locks alive after the parent gave them back, so the child closes its copies at once (which
// leaves the parent's locks as they are).  The table stays: a claim of another process's is
// never used (`Process`).
void LockClaimsForFork();
void UnlockClaimsAfterFork();
void ForgetClaimsInChild();

std::mutex& ClaimMutex() {
  static std::mutex m;
  static const bool hooked = ::pthread_atfork(LockClaimsForFork, UnlockClaimsAfterFork, ForgetClaimsInChild) == 0;
  (void)hooked;
  return m;
}

// This process's id, asked once (getpid is a system call, and every change request asks) and
// again in a child made by fork.
std::atomic<pid_t>& OwnProcessSlot() {
  static std::atomic<pid_t> pid{0};
  return pid;
}
pid_t OwnProcess() {
  (void)ClaimMutex();  // the fork handlers are in place before the id is kept
  pid_t p = OwnProcessSlot().load(std::memory_order_relaxed);
  if (p == 0) {
    p = ::getpid();
    OwnProcessSlot().store(p, std::memory_order_relaxed);
  }
  return p;
}

void LockClaimsForFork() { ClaimMutex().lock(); }
void UnlockClaimsAfterFork() { ClaimMutex().unlock(); }
void ForgetClaimsInChild() {
  OwnProcessSlot().store(0, std::memory_order_relaxed);
  for (auto& entry : Claims()) {
    if (entry.second.Fd >= 0) ::close(entry.second.Fd);
    entry.second.Fd = -1;
  }
  ClaimMutex().unlock();
}
// This process's claim on the directory Key, nullptr when it holds none.
Claim* ClaimOf(const FolderKey& Key) {
  auto it = Claims().find(Key);
  if (it == Claims().end() || it->second.Count <= 0 || it->second.Process != OwnProcess()) return nullptr;
  return &it->second;
}

// The presence mark: a read lock of the claim's open file description over the whole folder.
// Read locks never conflict with each other; a process about to write looks for them.
bool MarkPresence(int Fd) {
  struct flock fl {};
  fl.l_type = F_RDLCK;
  fl.l_whence = SEEK_SET;
  return ::fcntl(Fd, F_OFD_SETLK, &fl) == 0;
}

// Whether another process (another open file description) marks its presence on the folder.
// When that cannot be told, somebody is taken to be there.
bool OthersPresent(int Fd) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  if (::fcntl(Fd, F_OFD_GETLK, &fl) != 0) return true;
  return fl.l_type != F_UNLCK;
}

// Makes the flock of Fd shared again, after a conversion to exclusive failed (Linux lets the
// shared lock go before it asks for the exclusive one) or when a writer backs off.  Only a
// process that is itself trying to convert can hold the exclusive lock meanwhile, and it lets
// go as soon as it sees this process's presence mark: the wait is short.
void BackToShared(int Fd) {
  if (::flock(Fd, LOCK_SH | LOCK_NB) == 0) return;
  while (::flock(Fd, LOCK_SH) != 0 && errno == EINTR) {
  }
}

bool MakeExclusive(Claim& C) {
  if (C.Exclusive) return true;
  if (::flock(C.Fd, LOCK_EX | LOCK_NB) != 0) {
    BackToShared(C.Fd);
    return false;
  }
  // The exclusive lock may have been had in the moment another process's conversion let its
  // shared lock go: that process is still there.
  if (OthersPresent(C.Fd)) {
    BackToShared(C.Fd);
    return false;
  }
  C.Exclusive = true;
  return true;
}
}  // namespace

TqnFolderClaim QNClaimFolder(const std::string& Folder, TqnFileKey& Key) {
  Key = FolderKey{};
  const int fd = ::open(QNResolveFolder(Folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return TqnFolderClaim::Unreadable;
  const TqnFolderClaim c = QNClaimFolder(fd, Key);
  ::close(fd);
  return c;
}

TqnFolderClaim QNClaimFolder(int Directory, TqnFileKey& Key) {
  std::lock_guard<std::mutex> g(ClaimMutex());
  Key = FolderKey{};
  // The directory is known by what its descriptor shows, not by a look at a path: the claim is
  // on the directory that was opened.  The claim's locks go on an open description of its own
  // (a duplicate would share the caller's, and its locks would outlive the claim).
  const int fd = ::openat(Directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return TqnFolderClaim::Unreadable;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return TqnFolderClaim::Unreadable;
  }
  const FolderKey key{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  Claim& c = Claims()[key];
  if (c.Count > 0 && c.Process != OwnProcess()) c = Claim{};
  if (c.Count > 0) {
    ::close(fd);
    ++c.Count;
    Key = key;
    return TqnFolderClaim::Claimed;
  }
  // Locks on the folder's own descriptor: they make no file in the user's folder, and they go
  // with the process, however the process ends.  Presence first: a writer that got its
  // exclusive lock before this shared one is asked for then fails it, and one that gets it
  // after sees the presence.
  if (!MarkPresence(fd) || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    ::close(fd);
    Claims().erase(key);
    return TqnFolderClaim::ServedElsewhere;
  }
  c.Fd = fd;
  c.Count = 1;
  c.Process = OwnProcess();
  Key = key;
  return TqnFolderClaim::Claimed;
}

bool QNClaimFolderForWriting(const TqnFileKey& Key) {
  std::lock_guard<std::mutex> g(ClaimMutex());
  Claim* c = ClaimOf(Key);
  if (c == nullptr) return true;
  if (!MakeExclusive(*c)) return false;
  c->ForGood = true;
  return true;
}

bool QNFolderHeldForWriting(const TqnFileKey& Key) {
  std::lock_guard<std::mutex> g(ClaimMutex());
  const Claim* c = ClaimOf(Key);
  return c == nullptr || c->Exclusive;
}

void QNReleaseFolder(const TqnFileKey& Key) {
  std::lock_guard<std::mutex> g(ClaimMutex());
  auto it = Claims().find(Key);
  if (it == Claims().end()) return;
  if (it->second.Process != OwnProcess()) {
    Claims().erase(it);
    return;
  }
  if (--it->second.Count > 0) return;
  ::close(it->second.Fd);  // closing the descriptor lets both locks go
  Claims().erase(it);
}

TqnFolderWriteMoment::~TqnFolderWriteMoment() {
  if (!begun_) return;
  std::lock_guard<std::mutex> g(ClaimMutex());
  Claim* c = ClaimOf(key_);
  if (c == nullptr || --c->Moments > 0 || c->ForGood || !c->Exclusive) return;
  BackToShared(c->Fd);
  c->Exclusive = false;
}

bool TqnFolderWriteMoment::Begin(const TqnFileKey& Key) {
  std::lock_guard<std::mutex> g(ClaimMutex());
  Claim* c = ClaimOf(Key);
  if (c == nullptr) return true;
  if (!MakeExclusive(*c)) return false;
  ++c->Moments;
  key_ = Key;
  begun_ = true;
  return true;
}

}  // namespace tw::dbengine
