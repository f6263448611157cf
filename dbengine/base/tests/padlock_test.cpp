#include "dbengine/base/padlock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "dbengine/base/qnlist.h"

using namespace tw::dbengine;

namespace {

TEST(PadLock, IsReentrantAndCountsItsHolds) {
  TqnPadLock lock;
  lock.SetLocked(true);
  lock.SetLocked(true);
  EXPECT_EQ(lock.Count(), 2);
  lock.SetLocked(false);
  EXPECT_EQ(lock.Count(), 1);
  lock.SetLocked(false);
  EXPECT_EQ(lock.Count(), 0);
  lock.SetLocked(false);  // not held: ignored
  EXPECT_EQ(lock.Count(), 0);
}

TEST(PadLock, ExcludesAThreadStartedWhileTheLockIsHeld) {
  // The lock is taken before any thread exists and released after one started: the thread
  // must still wait for it.
  TqnPadLock lock;
  int shared = 0;  // plain int: only the lock protects it
  lock.Lock();
  std::atomic<bool> started{false};
  std::thread worker([&] {
    started = true;
    TqnPadLockGuard guard(lock);
    shared = shared * 10 + 2;
  });
  while (!started) std::this_thread::yield();
  shared = shared * 10 + 1;
  lock.Unlock();
  worker.join();
  EXPECT_EQ(shared, 12);  // the worker's step came after the holder's
}

TEST(PadLock, ALeaveByAThreadThatDoesNotHoldItIsIgnored) {
  TqnPadLock lock;
  lock.Lock();
  std::thread other([&] {
    lock.Unlock();
    EXPECT_EQ(lock.Count(), 0);
  });
  other.join();
  EXPECT_EQ(lock.Count(), 1);
  lock.Unlock();
}

TEST(PadLock, ListsStayConsistentUnderConcurrentInsertAndDelete) {
  TqnList list;
  constexpr int kThreads = 4, kPerThread = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        const std::int32_t key = t * kPerThread + i;
        list.Insert(new TqnIntListItem(key));
        if (i % 2) list.Delete(&key);
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(list.Count(), kThreads * kPerThread / 2);
  for (int i = 1; i < list.Count(); ++i)
    EXPECT_LT(list.ItemAs<TqnIntListItem>(i - 1)->IntKey(), list.ItemAs<TqnIntListItem>(i)->IntKey());
}

}  // namespace
