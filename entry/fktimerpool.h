// A pool of timed triggers that share one window-system timer.  Each trigger has an interval,
// an event and a repeat flag; the pool keeps one timer running at a common interval that
// divides every trigger's interval (never below 55 ms) and fires the triggers that are due.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/classes/component.h"
#include "platform/forms/messages.h"
#include "platform/win/winapi.h"

namespace tw::entry {

using TTriggerEvent = std::function<void(TObject* Sender, std::int32_t Handle, std::uint16_t Interval, std::int32_t ElapsedTime)>;

class TFkTimerPool : public TComponent {
  TW_CLASS(TFkTimerPool, TComponent)
 public:
  explicit TFkTimerPool(TComponent* owner);
  ~TFkTimerPool() override;

  // A new trigger; returns its handle (unique in the pool).
  std::int32_t Add(std::uint16_t intervalMs, TTriggerEvent event, bool repeat);
  // Removes a trigger; false for an unknown handle.
  bool Remove(std::int32_t handle);
  bool SetEnabled(std::int32_t handle, bool enabled);
  int Count() const { return static_cast<int>(triggers_.size()); }
  // The common interval of the window timer; 65535 when none runs.
  std::uint16_t CommonInterval() const { return interval_; }
  std::string Version() const { return "2.13.00"; }
  void SetVersion(const std::string&) {}

  TTriggerEvent OnAllTriggers;

  virtual void DoTimer();
  void CalcInterval();
  // Restarts the window timer at the common interval; ENoTimersAvailable when refused.
  void ResetTimer();

 private:
  struct Trigger {
    bool Enabled = true;
    std::int32_t Handle = 0;
    std::uint32_t StartTick = 0;
    std::uint16_t Interval = 0;
    std::uint32_t LastTick = 0;
    TTriggerEvent Event;
    bool Repeat = true;
  };
  void WndProc(TMessage& msg);

  std::vector<Trigger> triggers_;
  HWND window_ = 0;
  std::uint16_t interval_ = 65535;
  std::int32_t lastHandle_ = 0;
};

}  // namespace tw::entry
