#include "dbengine/base/padlock.h"

namespace tw::dbengine {

void TqnPadLock::LockFirst() {
  mutex_.lock();
  owner_.store(Self(), std::memory_order_relaxed);
  count_ = 1;
}

void TqnPadLock::UnlockLast() {
  owner_.store(nullptr, std::memory_order_relaxed);
  mutex_.unlock();
}

}  // namespace tw::dbengine
