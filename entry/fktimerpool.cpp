#include "entry/fktimerpool.h"

#include <algorithm>

#include "entry/fkexcept.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/controls.h"
#include "platform/forms/forms.h"
#include "platform/rtl/tickclock.h"

namespace tw::entry {

namespace {
constexpr UINT_PTR kTimerId = 1;
constexpr std::uint16_t kNoTimer = 65535;
constexpr std::uint16_t kMinInterval = 55;
}  // namespace

TW_PUBLISHED(TFkTimerPool, Prop("OnAllTriggers", &TFkTimerPool::OnAllTriggers),
             Prop("Version", &TFkTimerPool::Version, &TFkTimerPool::SetVersion));

TFkTimerPool::TFkTimerPool(TComponent* owner) : TComponent(owner) {
  window_ = AllocateHWnd([this](TMessage& m) { WndProc(m); });
}

TFkTimerPool::~TFkTimerPool() {
  if (window_ != 0) {
    KillTimer(window_, kTimerId);
    DeallocateHWnd(window_);
  }
}

std::int32_t TFkTimerPool::Add(std::uint16_t intervalMs, TTriggerEvent event, bool repeat) {
  Trigger t;
  t.Handle = ++lastHandle_;
  t.StartTick = t.LastTick = GetTickCount();
  t.Interval = intervalMs;
  t.Event = std::move(event);
  t.Repeat = repeat;
  triggers_.push_back(std::move(t));
  CalcInterval();
  ResetTimer();
  return lastHandle_;
}

bool TFkTimerPool::Remove(std::int32_t handle) {
  auto it = std::find_if(triggers_.begin(), triggers_.end(), [&](const Trigger& t) { return t.Handle == handle; });
  if (it == triggers_.end()) return false;
  triggers_.erase(it);
  CalcInterval();
  ResetTimer();
  return true;
}

bool TFkTimerPool::SetEnabled(std::int32_t handle, bool enabled) {
  for (auto& t : triggers_) {
    if (t.Handle == handle) {
      t.Enabled = enabled;
      CalcInterval();
      ResetTimer();
      return true;
    }
  }
  return false;
}

void TFkTimerPool::CalcInterval() {
  const std::uint32_t now = GetTickCount();
  std::uint32_t interval = kNoTimer;
  for (const auto& t : triggers_) {
    if (!t.Enabled) continue;
    interval = std::min<std::uint32_t>(interval, t.Interval);
    std::uint32_t elapsed = TickElapsed(t.LastTick, now);
    std::uint32_t left = elapsed >= t.Interval ? 0 : t.Interval - elapsed;
    interval = std::min(interval, left);
  }
  if (interval < kMinInterval) interval = kMinInterval;
  if (interval < kNoTimer) {
    // Shrink the common interval until it divides every trigger's interval.
    bool changed = true;
    while (changed && interval > kMinInterval) {
      changed = false;
      for (const auto& t : triggers_) {
        std::uint32_t rest = t.Interval % interval;
        if (rest != 0) {
          interval -= rest;
          changed = true;
          break;
        }
      }
    }
    if (interval < kMinInterval) interval = kMinInterval;
  }
  interval_ = static_cast<std::uint16_t>(interval);
}

void TFkTimerPool::ResetTimer() {
  KillTimer(window_, kTimerId);
  if (interval_ < kNoTimer && SetTimer(window_, kTimerId, interval_, nullptr) == 0) throw ENoTimersAvailable();
}

void TFkTimerPool::DoTimer() {
  const std::uint32_t now = GetTickCount();
  for (std::size_t i = 0; i < triggers_.size();) {
    Trigger& t = triggers_[i];
    if (!t.Enabled || TickElapsed(t.LastTick, now) + 27 < t.Interval) {
      ++i;
      continue;
    }
    t.LastTick = now;
    const std::int32_t handle = t.Handle;
    const std::uint16_t interval = t.Interval;
    const std::uint32_t start = t.StartTick;
    const bool repeat = t.Repeat;
    TTriggerEvent event = t.Event;  // a handler may add or remove triggers
    if (event) event(this, handle, interval, static_cast<std::int32_t>(TickElapsed(start, now)));
    FireEvent(OnAllTriggers, this, handle, interval, static_cast<std::int32_t>(TickElapsed(start, now)));
    auto it = std::find_if(triggers_.begin(), triggers_.end(), [&](const Trigger& x) { return x.Handle == handle; });
    if (it == triggers_.end()) continue;  // removed by the handler: the next one stands here now
    i = static_cast<std::size_t>(it - triggers_.begin());
    if (!repeat) {
      triggers_.erase(it);
      CalcInterval();
      ResetTimer();
    } else {
      ++i;
    }
  }
}

void TFkTimerPool::WndProc(TMessage& msg) {
  if (msg.Msg == WM_TIMER) {
    try {
      DoTimer();
    } catch (...) {
      Application()->HandleException(this);
    }
    return;
  }
  msg.Result = DefWindowProc(window_, msg.Msg, msg.WParam, msg.LParam);
}

}  // namespace tw::entry
