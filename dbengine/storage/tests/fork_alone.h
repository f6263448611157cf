// Crash tests end a forked child in the middle of its work.  A child forked while another
// thread of the test runs (a rebuild's thread, a timer's) may inherit a lock that thread held,
// the allocator's among them, and hang at its first allocation: the fork waits until the
// process runs one thread only.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace tw::dbengine {

inline int ThreadsOfThisProcess() {
  int n = 0;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator("/proc/self/task", ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec))
    ++n;
  return n;
}

// fork() once the other threads have ended (waiting at most ten seconds for them).
inline pid_t ForkAlone() {
  for (int i = 0; i < 1000 && ThreadsOfThisProcess() > 1; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::fflush(nullptr);
  return ::fork();
}

}  // namespace tw::dbengine
