// TTimer: a window-system timer on a hidden window of its own.
#include "platform/forms/timer.h"

#include "platform/forms/controlsinternal.h"
#include "platform/forms/forms.h"

namespace tw {

TW_PUBLISHED(TTimer,
             Prop("Enabled", &TTimer::Enabled, &TTimer::SetEnabled),
             Prop("Interval", &TTimer::Interval, &TTimer::SetInterval),
             Prop("OnTimer", &TTimer::OnTimer));

TW_REGISTER_CLASS(TTimer);

namespace {
constexpr UINT_PTR kTimerId = 1;
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  window_ = AllocateHWnd([this](TMessage& msg) { WndProc(msg); });
  UpdateTimer();
}

TTimer::~TTimer() {
  enabled_ = false;
  if (window_ != 0) {
    KillTimer(window_, kTimerId);
    DeallocateHWnd(window_);
  }
}

void TTimer::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned ms) {
  if (interval_ == ms) return;
  interval_ = ms;
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (window_ == 0) return;
  KillTimer(window_, kTimerId);
  running_ = false;
  if (interval_ == 0 || !enabled_ || ComponentState().Contains(TComponentStateFlag::csLoading)) return;
  if (SetTimer(window_, kTimerId, interval_, nullptr) == 0) throw EOutOfResources("Not enough timers available");
  running_ = true;
}

void TTimer::WndProc(TMessage& msg) {
  if (msg.Msg == WM_TIMER) {
    if (msg.WParam != kTimerId) return;
    try {
      Timer();
    } catch (...) {
      HandleWindowException(this);
    }
    return;
  }
  msg.Result = DefWindowProc(window_, msg.Msg, msg.WParam, msg.LParam);
}

void TTimer::Timer() {
  if (enabled_ && interval_ != 0) FireEvent(OnTimer, this);
}

}  // namespace tw
