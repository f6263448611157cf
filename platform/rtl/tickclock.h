// The millisecond tick count: monotonic milliseconds since an arbitrary start, as a 32-bit
// count that wraps after about 49.7 days.  Deadlines must be compared with `TickElapsed` /
// `TickReached`, which stay right across the wrap; never compare two ticks with '<'.
#pragma once

#include <cstdint>
#include <functional>

namespace tw {

std::uint32_t GetTickCount();

// Replaces the tick source (tests); an empty function restores the monotonic clock.
void SetTickSource(std::function<std::uint32_t()> source);

// Milliseconds from `since` to `now`, across a wrap of the count.
constexpr std::uint32_t TickElapsed(std::uint32_t since, std::uint32_t now) { return now - since; }

// True when `now` is at or past `deadline`; valid while the two lie less than 2^31 ms
// (about 24.8 days) apart.
constexpr bool TickReached(std::uint32_t now, std::uint32_t deadline) {
  return static_cast<std::int32_t>(now - deadline) >= 0;
}

// The deadline `ms` milliseconds after `now`.
constexpr std::uint32_t TickDeadline(std::uint32_t now, std::uint32_t ms) { return now + ms; }

// Suspends the calling thread.
void Sleep(std::uint32_t milliseconds);

}  // namespace tw
