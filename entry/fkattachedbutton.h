// A small push button that keeps itself beside another window control: when the control moves
// or changes size the button follows, and with AttachTwoWay moving the button moves the
// control.  The button listens to the control through the control's replaceable message
// procedure, so the attachment survives a recreation of the control's window.
#pragma once

#include <functional>
#include <string>

#include "platform/forms/controls.h"

namespace tw::entry {

enum class TButtonPosition : std::uint8_t { bpRight, bpLeft, bpTop, bpBottom };
TW_ENUM_NAMES(TButtonPosition, "bpRight", "bpLeft", "bpTop", "bpBottom");

// Asked of a control: a nonzero answer is the button or spinner already attached to it.
constexpr UINT FK_ATTACHQUERY = 32516;

class TFkAttachedButton : public TCustomControl {
  TW_CLASS(TFkAttachedButton, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TFkAttachedButton(TComponent* owner);
  ~TFkAttachedButton() override;

  TWinControl* AttachedControl() const { return attached_; }
  // EFkException "This control is already attached to %s" when another one holds the control.
  void SetAttachedControl(TWinControl* c);
  bool AttachTwoWay() const { return attachTwoWay_; }
  void SetAttachTwoWay(bool v) { attachTwoWay_ = v; }
  TButtonPosition Position() const { return position_; }
  void SetPosition(TButtonPosition p);
  int Separation() const { return separation_; }
  void SetSeparation(int s);
  std::string Version() const { return "2.13.00"; }
  void SetVersion(const std::string&) {}

  void SetBounds(int left, int top, int width, int height) override;
  void PlaceBesideControl();

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  void CreateWnd() override;
  void Paint() override;
  void WMLButtonDown(TMessage& msg);
  void WMLButtonUp(TMessage& msg);
  void WMKeyDownButton(TMessage& msg);
  void WMKeyUpButton(TMessage& msg);
  void WMKillFocusButton(TMessage& msg);
  void WMSetFocusButton(TMessage& msg);
  void CMWantSpecialKey(TMessage& msg);

 private:
  void Hook();
  void Unhook();
  void HookProc(TMessage& msg);
  void MoveControlToButton();

  TWinControl* attached_ = nullptr;
  bool attachTwoWay_ = false;
  TButtonPosition position_ = TButtonPosition::bpRight;
  int separation_ = 1;
  std::function<void(TMessage&)> saved_;
  bool hooked_ = false;
  bool positioning_ = false;
  bool down_ = false;
  bool spaceDown_ = false;
};

}  // namespace tw::entry
