// TSplashScreen: a borderless picture window shown while the program starts.  It shows itself
// when its owner's components have been read (AutoShow), hides on its timer (TimedShow), on a
// click (HideOnClick) or when Hide is called.  BlockingShow makes Show wait until the picture
// is hidden, when its timer or a click will hide it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/classes/component.h"
#include "platform/forms/forms.h"

namespace tw {
class TBitmap;
class TImage;
class TTimer;
}  // namespace tw

namespace tw::app {

class TSplashScreen;
using TSplashEvent = std::function<void(TObject* Sender, TForm* Window, TImage* Image)>;

class TSplashScreen : public TComponent {
  TW_CLASS(TSplashScreen, TComponent)
 public:
  explicit TSplashScreen(TComponent* owner);
  ~TSplashScreen() override;

  bool AlwaysOnTop() const { return alwaysOnTop_; }
  void SetAlwaysOnTop(bool v) { alwaysOnTop_ = v; }
  bool TimedShow() const { return timedShow_; }
  void SetTimedShow(bool v) { timedShow_ = v; }
  std::int16_t TimedShowDuration() const { return timedShowDuration_; }
  void SetTimedShowDuration(std::int16_t v) { timedShowDuration_ = v; }
  bool AutoShow() const { return autoShow_; }
  void SetAutoShow(bool v) { autoShow_ = v; }
  bool BlockingShow() const { return blockingShow_; }
  void SetBlockingShow(bool v) { blockingShow_ = v; }
  bool HideOnClick() const { return hideOnClick_; }
  void SetHideOnClick(bool v) { hideOnClick_ = v; }
  // The picture for displays of at most 16 colours, and the one for deeper displays.
  TBitmap* SplashBitmap() const { return bitmap16_.get(); }
  void SetSplashBitmap(TBitmap* v);
  TBitmap* SplashBitmap256Colour() const { return bitmap256_.get(); }
  void SetSplashBitmap256Colour(TBitmap* v);

  void Show();
  void Hide();
  // The picture window while shown, else nullptr.
  TForm* Window() const { return window_; }
  bool Showing() const;
  TTimer* Timer() const { return timer_; }

  TSplashEvent OnBeforeShow;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;

  // The colour depth the picture is chosen by; tests replace it (nullptr: the screen's).
  static void SetScreenBitsPerPixelFunc(std::function<int()> func);

 protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  bool alwaysOnTop_ = true;
  bool timedShow_ = true;
  std::int16_t timedShowDuration_ = 3;
  bool autoShow_ = true;
  bool blockingShow_ = false;
  bool hideOnClick_ = false;
  std::unique_ptr<TBitmap> bitmap16_;
  std::unique_ptr<TBitmap> bitmap256_;
  TTimer* timer_ = nullptr;
  TForm* window_ = nullptr;
  TImage* image_ = nullptr;
};

}  // namespace tw::app
