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
  void SetLocked(bool Locked) { Locked ? Lock() : Unlock(); }
  void Lock() {
    // Entered again by its holder: only the count changes (no other thread can hold it now).
    if (owner_.load(std::memory_order_relaxed) == Self()) {
      ++count_;
      return;
    }
    LockFirst();
  }
  void Unlock() {
    // Leaving a lock this thread does not hold is ignored.
    if (owner_.load(std::memory_order_relaxed) != Self() || count_ <= 0) return;
    if (--count_ > 0) return;
    UnlockLast();
  }
  // For std::lock_guard / std::unique_lock.
  void lock() { Lock(); }
  void unlock() { Unlock(); }

  // How many times the calling thread holds the lock (0 for other threads).
  int Count() const { return owner_.load(std::memory_order_relaxed) == Self() ? count_ : 0; }
  bool HeldByCurrentThread() const { return Count() > 0; }

 private:
  // A token of the calling thread, cheaper to take than its id.
  static const void* Self() {
    static thread_local const char tag = 0;
    return &tag;
  }
  void LockFirst();
  void UnlockLast();

  std::mutex mutex_;
  std::atomic<const void*> owner_{nullptr};
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
