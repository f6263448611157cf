#include "dbengine/base/timer.h"

#include <limits>

#include "dbengine/base/compare.h"
#include "platform/rtl/tickclock.h"

namespace tw::dbengine {

std::uint32_t QNTickCount() { return tw::GetTickCount(); }

void QNStartTimer(QNTimer& T, int MilliSecs) {
  T.StartTick = QNTickCount();
  if (MilliSecs == -1) {
    T.NeverExpires = true;
    T.ExpireTick = T.StartTick;
    return;
  }
  T.NeverExpires = false;
  T.ExpireTick = T.StartTick + static_cast<std::uint32_t>(QNForceInRange(MilliSecs, 1, 30000));
}

bool QNTimerExpiredAt(const QNTimer& T, std::uint32_t Now) {
  if (T.NeverExpires) return false;
  const std::uint32_t period = T.ExpireTick - T.StartTick;
  return tw::TickElapsed(T.StartTick, Now) >= period;
}

bool QNTimerExpired(const QNTimer& T) { return QNTimerExpiredAt(T, QNTickCount()); }

std::uint32_t QNTimerRemaining(const QNTimer& T) {
  if (T.NeverExpires) return std::numeric_limits<std::uint32_t>::max();
  const std::uint32_t period = T.ExpireTick - T.StartTick;
  const std::uint32_t elapsed = tw::TickElapsed(T.StartTick, QNTickCount());
  return elapsed >= period ? 0 : period - elapsed;
}

}  // namespace tw::dbengine
