#include "app/lib/splash.h"

#include "platform/win/display.h"

#include "platform/classes/typinfo.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/timer.h"
#include "platform/gfx/devicecontext.h"
#include "platform/gfx/graphic.h"

namespace tw::app {

namespace {
std::function<int()>& BitsPerPixelFunc() {
  static std::function<int()> func;
  return func;
}
int ScreenBitsPerPixel() {
  if (BitsPerPixelFunc()) return BitsPerPixelFunc()();
  return GetDeviceCaps(GetScreenDC(), BITSPIXEL);
}
}  // namespace

void TSplashScreen::SetScreenBitsPerPixelFunc(std::function<int()> func) { BitsPerPixelFunc() = std::move(func); }

TSplashScreen::TSplashScreen(TComponent* owner)
    : TComponent(owner), bitmap16_(std::make_unique<TBitmap>()), bitmap256_(std::make_unique<TBitmap>()) {
  timer_ = new TTimer(this);
  timer_->SetEnabled(false);
  timer_->OnTimer = [this](TObject*) { Hide(); };
}

TSplashScreen::~TSplashScreen() {
  // The picture window belongs to the application; it goes with this component.
  if (window_ != nullptr) {
    TForm* window = window_;
    window_ = nullptr;
    image_ = nullptr;
    window->RemoveFreeNotification(this);
    delete window;
  }
}

void TSplashScreen::SetSplashBitmap(TBitmap* v) {
  if (v == nullptr) bitmap16_ = std::make_unique<TBitmap>();
  else bitmap16_->Assign(v);
}

void TSplashScreen::SetSplashBitmap256Colour(TBitmap* v) {
  if (v == nullptr) bitmap256_ = std::make_unique<TBitmap>();
  else bitmap256_->Assign(v);
}

bool TSplashScreen::Showing() const { return window_ != nullptr && window_->Visible(); }

void TSplashScreen::Loaded() {
  TComponent::Loaded();
  if (autoShow_ && !ComponentState().Contains(TComponentStateFlag::csDesigning)) Show();
}

void TSplashScreen::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == window_) {
    window_ = nullptr;
    image_ = nullptr;
  } else if (component == timer_) {
    timer_ = nullptr;
  }
}

void TSplashScreen::Show() {
  if (Showing()) return;
  if (timedShow_ && timer_ != nullptr) {
    timer_->SetEnabled(false);
    // A duration that is not positive would hide the picture at once or never: one second.
    const int seconds = timedShowDuration_ > 0 ? timedShowDuration_ : 1;
    timer_->SetInterval(static_cast<unsigned>(seconds) * 1000u);
    timer_->SetEnabled(true);
  }
  if (window_ == nullptr) {
    window_ = new TForm(Application());
    window_->FreeNotification(this);
    image_ = new TImage(window_);
    image_->SetParent(window_);
  }
  TBitmap* picture = (ScreenBitsPerPixel() > 4 && !bitmap256_->Empty()) ? bitmap256_.get() : bitmap16_.get();
  image_->Picture()->SetGraphic(picture->Empty() ? nullptr : picture);
  if (OnBeforeShow) {
    TSplashEvent handler = OnBeforeShow;
    handler(this, window_, image_);
    if (window_ == nullptr) return;  // the handler hid the picture
  }
  window_->SetBorderStyle(TFormBorderStyle::bsNone);
  window_->SetPosition(TPosition::poScreenCenter);
  if (alwaysOnTop_) window_->SetFormStyle(TFormStyle::fsStayOnTop);
  const int width = picture->Width();
  const int height = picture->Height();
  window_->SetClientWidth(width);
  window_->SetClientHeight(height);
  window_->SetLeft((Screen()->Width() - window_->Width()) / 2);
  window_->SetTop((Screen()->Height() - window_->Height()) / 2);
  image_->SetAutoSize(true);
  image_->SetBounds(0, 0, width, height);
  if (hideOnClick_) image_->OnClick = [this](TObject*) { Hide(); };
  else image_->OnClick = nullptr;
  window_->Show();
  // The start-up goes on without running the message loop until the main window shows: the
  // picture is painted and put on the screen now, not when the loop first runs.
  window_->Update();
  Display().Flush();
  if (OnShow) {
    TNotifyEvent handler = OnShow;
    handler(this);
  }
  // Waiting makes sense only while something will hide the picture: its timer or a click.
  // Without either, Show returns at once instead of holding the start-up for ever.
  const bool willHide = (timedShow_ && timer_ != nullptr) || hideOnClick_;
  if (blockingShow_ && willHide) {
    while (Showing() && !Application()->Terminated()) Application()->HandleMessage();
  }
}

void TSplashScreen::Hide() {
  if (window_ != nullptr) {
    if (OnHide) {
      TNotifyEvent handler = OnHide;
      handler(this);
    }
  }
  if (window_ != nullptr) {
    TForm* window = window_;
    window_ = nullptr;
    image_ = nullptr;
    window->RemoveFreeNotification(this);
    // Hide may run inside the picture's own click handler: the window goes once that returns.
    window->Hide();
    window->Release();
  }
  if (timer_ != nullptr) timer_->SetEnabled(false);
}

TW_PUBLISHED(TSplashScreen, Prop("AlwaysOnTop", &TSplashScreen::AlwaysOnTop, &TSplashScreen::SetAlwaysOnTop),
             Prop("TimedShow", &TSplashScreen::TimedShow, &TSplashScreen::SetTimedShow),
             Prop("TimedShowDuration", &TSplashScreen::TimedShowDuration, &TSplashScreen::SetTimedShowDuration),
             Prop("AutoShow", &TSplashScreen::AutoShow, &TSplashScreen::SetAutoShow),
             Prop("BlockingShow", &TSplashScreen::BlockingShow, &TSplashScreen::SetBlockingShow),
             Prop("HideOnClick", &TSplashScreen::HideOnClick, &TSplashScreen::SetHideOnClick),
             Prop("SplashBitmap", &TSplashScreen::SplashBitmap, &TSplashScreen::SetSplashBitmap),
             Prop("SplashBitmap256Colour", &TSplashScreen::SplashBitmap256Colour,
                  &TSplashScreen::SetSplashBitmap256Colour),
             Prop("OnBeforeShow", &TSplashScreen::OnBeforeShow), Prop("OnShow", &TSplashScreen::OnShow),
             Prop("OnHide", &TSplashScreen::OnHide));
TW_REGISTER_CLASS(TSplashScreen);

}  // namespace tw::app
