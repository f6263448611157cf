// The millisecond tick count.
#include "platform/rtl/tickclock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

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
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                .count();
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
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
