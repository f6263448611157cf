// The millisecond tick count.
#include "platform/rtl/tickclock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <time.h>

namespace tw {
namespace {

std::mutex& SourceMutex() {
  static std::mutex m;
  return m;
}

std::function<std::uint32_t()>& SourceSlot() {
  static std::function<std::uint32_t()> source;
  return source;
}

std::atomic<bool> g_replaced{false};

}  // namespace

std::uint32_t GetTickCount() {
  if (g_replaced.load(std::memory_order_acquire)) {
    std::function<std::uint32_t()> source;
    {
      std::lock_guard lock(SourceMutex());
      source = SourceSlot();
    }
    if (source) return source();
  }
  // The coarse monotonic clock: a tick count needs no finer grain than the scheduler's tick, and
  // it is read several times a request by the database transport's waits and queues, where the
  // fine clock costs several times as much.
  timespec ts{};
  if (clock_gettime(CLOCK_MONOTONIC_COARSE, &ts) != 0) clock_gettime(CLOCK_MONOTONIC, &ts);
  const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

void SetTickSource(std::function<std::uint32_t()> source) {
  std::lock_guard lock(SourceMutex());
  g_replaced.store(static_cast<bool>(source), std::memory_order_release);
  SourceSlot() = std::move(source);
}

void Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace tw
