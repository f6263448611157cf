// Millisecond timers on the wrapping 32-bit tick count, safe across the wrap (every 49.7
// days).  The tick count comes from the platform's injectable tick clock.
#pragma once

#include <cstdint>

namespace tw::dbengine {

struct QNTimer {
  std::uint32_t StartTick = 0;
  std::uint32_t ExpireTick = 0;  // StartTick + period, modulo 2^32
  bool NeverExpires = false;
};

// MilliSecs = -1: never expires; any other value is forced into 1..30000.
void QNStartTimer(QNTimer& T, int MilliSecs);
// True once the period has passed.  The elapsed time is measured as an unsigned difference
// from StartTick, so the wrap of the tick count does not matter.
bool QNTimerExpired(const QNTimer& T);
bool QNTimerExpiredAt(const QNTimer& T, std::uint32_t Now);
// Milliseconds left (0 when expired, UINT32_MAX for a timer that never expires).
std::uint32_t QNTimerRemaining(const QNTimer& T);

// The current tick count (the platform's tick clock).
std::uint32_t QNTickCount();

}  // namespace tw::dbengine
