// TTimer: calls OnTimer every Interval milliseconds while Enabled, through a window-system
// timer on a hidden window of its own (so it runs in the message loop, like every event).
// Interval 0 switches it off.
#pragma once

#include "platform/classes/component.h"
#include "platform/forms/controls.h"

namespace tw {

class TTimer : public TComponent {
  TW_CLASS(TTimer, TComponent)

 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  // Whether a window-system timer is running now.
  bool Running() const { return running_; }

  TNotifyEvent OnTimer;

 protected:
  virtual void Timer();
  void Loaded() override;

 private:
  void UpdateTimer();
  void WndProc(TMessage& msg);

  bool enabled_ = true;
  unsigned interval_ = 1000;
  bool running_ = false;
  HWND window_ = 0;
};

}  // namespace tw
