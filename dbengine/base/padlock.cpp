#include "dbengine/base/padlock.h"

namespace tw::dbengine {

void TqnPadLock::SetLocked(bool Locked) {
  const std::thread::id self = std::this_thread::get_id();
  if (Locked) {
    mutex_.lock();
    owner_.store(self, std::memory_order_relaxed);
    ++count_;
    return;
  }
  // Leaving a lock this thread does not hold is ignored.
  if (owner_.load(std::memory_order_relaxed) != self || count_ <= 0) return;
  if (--count_ == 0) owner_.store(std::thread::id(), std::memory_order_relaxed);
  mutex_.unlock();
}

int TqnPadLock::Count() const {
  return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id() ? count_ : 0;
}

}  // namespace tw::dbengine
