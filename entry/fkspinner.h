// A pair of arrow buttons in one control (up/down or left/right).  Pressing a half fires a
// click with the half's state at once, repeats while the button is held (first after 500 ms,
// then faster by 10 ms x Acceleration each time), and sends the step to an entry field that
// the spinner serves.  The repetition runs on a window timer while the mouse is captured, so
// the rest of the program keeps running.
#pragma once

#include <cstdint>
#include <functional>

#include "entry/fkcontroller.h"

namespace tw::entry {

enum class TSpinState : std::uint8_t { ssOutside, ssIdle, ssUp, ssDown, ssLeft, ssRight };
TW_ENUM_NAMES(TSpinState, "ssOutside", "ssIdle", "ssUp", "ssDown", "ssLeft", "ssRight");
enum class TPosition : std::uint8_t { scRight, scLeft, scTop, scBottom };
TW_ENUM_NAMES(TPosition, "scRight", "scLeft", "scTop", "scBottom");
enum class TSpinOrientation : std::uint8_t { soVertical, soHorizontal };
TW_ENUM_NAMES(TSpinOrientation, "soVertical", "soHorizontal");

// The face style of the class library's buttons: detected from the window system (whose
// controls are drawn in the 3-D style), the flat framed faces of older systems, or the 3-D ones.
enum class TButtonStyle : std::uint8_t { bsAutoDetect, bsWin31, bsNew };
TW_ENUM_NAMES(TButtonStyle, "bsAutoDetect", "bsWin31", "bsNew");

using TSpinClickEvent = std::function<void(TObject* Sender, TSpinState State, double Delta, bool Wrap)>;

class TFkSpinner : public TFkBase {
  TW_CLASS(TFkSpinner, TFkBase)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TFkSpinner(TComponent* owner);
  ~TFkSpinner() override;

  std::uint8_t Acceleration() const { return acceleration_; }
  void SetAcceleration(std::uint8_t v) { if (v <= 10) acceleration_ = v; }
  TWinControl* AttachedControl() const { return attached_; }
  void SetAttachedControl(TWinControl* c);
  bool AttachTwoWay = false;
  bool AutoRepeat = true;
  double Delta = 1.0;
  TWinControl* FocusedControl() const { return focusedControl_; }
  void SetFocusedControl(TWinControl* c);
  bool ForceOddSize() const { return forceOddSize_; }
  void SetForceOddSize(bool v);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition p);
  int Separation() const { return separation_; }
  void SetSeparation(int s);
  bool ShowArrows() const { return showArrows_; }
  void SetShowArrows(bool v) { showArrows_ = v; Invalidate(); }
  TButtonStyle Style() const { return style_; }
  void SetStyle(TButtonStyle v) { if (v != style_) { style_ = v; Invalidate(); } }
  bool WrapMode = true;
  TSpinOrientation Orientation() const { return orientation_; }
  void SetOrientation(TSpinOrientation o);
  TSpinState State() const { return state_; }

  void SetBounds(int left, int top, int width, int height) override;
  // Places the spinner beside its attached control.
  void PlaceBesideControl();

  TSpinClickEvent OnClick;

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  void CreateWnd() override;
  void Paint() override;
  void WMGetDlgCode(TMessage& msg);
  void WMLButtonDown(TMessage& msg);
  void WMLButtonUp(TMessage& msg);
  void WMTimer(TMessage& msg);
  void WMCaptureChanged(TMessage& msg);

 private:
  void DoMouseDown(int x, int y);
  void DoMouseUp();
  void DoClick(TSpinState state);
  TSpinState HitTest() const;
  void StopRepeat();
  // The spinner answers the attach query on its control's messages, so that no button or
  // other spinner is attached beside it; everything else goes on to the control.
  void Hook();
  void Unhook();
  // One half's button face in the current Style, raised or pressed; returns the area inside.
  TRect DrawFace(TCanvas* cv, TRect r, bool down) const;

  std::uint8_t acceleration_ = 5;
  TWinControl* attached_ = nullptr;
  std::function<void(TMessage&)> saved_;
  bool hooked_ = false;
  TWinControl* focusedControl_ = nullptr;
  bool forceOddSize_ = false;
  TPosition position_ = TPosition::scRight;
  int separation_ = 1;
  bool showArrows_ = true;
  TButtonStyle style_ = TButtonStyle::bsAutoDetect;
  TSpinOrientation orientation_ = TSpinOrientation::soVertical;
  TSpinState state_ = TSpinState::ssIdle;
  TSpinState previousState_ = TSpinState::ssOutside;
  bool pressed_ = false;
  unsigned mouseKey_ = 1;
  std::uint32_t nextClick_ = 0;
  int repeatCount_ = 0;
  bool repeating_ = false;
};

}  // namespace tw::entry
