// The small tool window a floating toolbar sits in: a thin frame, a small caption with the
// toolbar's caption and a close button, edges that resize the bar.
#pragma once

#include <vector>

#include "platform/forms/forms.h"

namespace tw::toolbars {

class TToolbarX;

// Metrics of the floating window.
int SmallCaptionHeight();
int FrameWidth();
int FrameHeight();
// The floating window's rectangle around a bar rectangle, and back (the stored form: left and
// right without the frame, the top unchanged, the bottom without caption and frames).
TRect AddFloatFrame(const TRect& barRect);
TRect RemoveFloatFrame(const TRect& windowRect);
// `caption` cut to `room` pixels: "..." appended and characters before it removed until it
// fits or five characters remain.
std::string FitCaption(const TCanvas& canvas, const std::string& caption, int room);

enum class TFloatHit { None, Caption, Close, Left, Right, Top, Bottom, Client };

class TFloatParent : public TCustomForm {
  TW_CLASS(TFloatParent, TCustomForm)
  TW_MESSAGE_MAP_DECLARE();

 public:
  TFloatParent(TComponent* owner, TToolbarX* bar);
  ~TFloatParent() override;

  TToolbarX* Bar() const { return bar_; }
  // Where a client point lies.
  TFloatHit HitTest(TPoint client) const;
  TRect CloseButtonRect() const;
  bool CaptionActive() const { return captionActive_; }
  void SetCaptionActive(bool value);
  bool CloseDown() const { return closeShownDown_; }
  bool Sizing() const { return sizing_; }
  // The caption text as last drawn.
  const std::string& DrawnCaption() const { return drawnCaption_; }
  void DrawFloatingCaption();

 protected:
  void CreateParams(TCreateParams& params) override;
  // Shown, the window comes to the top without taking the activation from the form.
  void UpdateShowing() override;
  void Paint() override;
  void WMLButtonDownFloat(TMessage& msg);
  void WMLButtonDblClkFloat(TMessage& msg);
  void WMMouseMoveFloat(TMessage& msg);
  void WMLButtonUpFloat(TMessage& msg);
  void WMCancelModeFloat(TMessage& msg);
  void WMCaptureChangedFloat(TMessage& msg);
  void WMMouseActivateFloat(TMessage& msg);
  void WMActivateFloat(TMessage& msg);
  void WMSetCursorFloat(TMessage& msg);

 private:
  void EndSizing(bool apply);
  void EndClosePress();
  // Lays the bar out at a wrap width and sizes the window to it, the edge being dragged
  // moving and the opposite one staying.
  void ApplyWidth(int rightX);

  TToolbarX* bar_;
  bool captionActive_ = true;
  bool closePressed_ = false;
  bool closeShownDown_ = false;
  bool sizing_ = false;
  TFloatHit sizeEdge_ = TFloatHit::None;
  int chosenWidth_ = 0;
  int startRightX_ = 0;     // the wrap width before sizing, restored when it is cancelled
  TRect startBounds_{0, 0, 0, 0};
  std::vector<TSize> sizes_;
  std::string drawnCaption_;
};

}  // namespace tw::toolbars
