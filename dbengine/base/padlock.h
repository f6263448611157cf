// The engine's lock: a recursive mutex that every list, pool, string reader, queue and the
// configuration carries.  It always locks, also before the process has started a thread of
// its own, so that a lock taken before the first thread starts and released after it still
// excludes the other threads.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include "platform/classes/object.h"

namespace tw::dbengine {

class TqnPadLock : public TObject {
  TW_CLASS(TqnPadLock, TObject)
 public:
  TqnPadLock() = default;

  // True enters the lock (re-entrant for the holding thread); false leaves it once, and does
  // nothing when the calling thread does not hold it.
  void SetLocked(bool Locked);
  void Lock() { SetLocked(true); }
  void Unlock() { SetLocked(false); }
  // For std::lock_guard / std::unique_lock.
  void lock() { Lock(); }
  void unlock() { Unlock(); }

  // How many times the calling thread holds the lock (0 for other threads).
  int Count() const;
  bool HeldByCurrentThread() const { return Count() > 0; }

 private:
  std::recursive_mutex mutex_;
  std::atomic<std::thread::id> owner_{};
  int count_ = 0;  // written only by the holder
};

// Holds a pad lock for a scope.
class TqnPadLockGuard {
 public:
  explicit TqnPadLockGuard(TqnPadLock& lock) : lock_(lock) { lock_.Lock(); }
  ~TqnPadLockGuard() { lock_.Unlock(); }
  TqnPadLockGuard(const TqnPadLockGuard&) = delete;
  TqnPadLockGuard& operator=(const TqnPadLockGuard&) = delete;

 private:
  TqnPadLock& lock_;
};

}  // namespace tw::dbengine
