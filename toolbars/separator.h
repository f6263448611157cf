// TToolbarSepX: the etched line between groups of toolbar buttons.  Presses on it belong to the
// toolbar, so the bar can be dragged by its separators.
#pragma once

#include "platform/forms/controls.h"

namespace tw::toolbars {

class TToolbarSepX : public TGraphicControl {
  TW_CLASS(TToolbarSepX, TGraphicControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TToolbarSepX(TComponent* owner);
  void SetParent(TWinControl* parent) override;
  // Set by the toolbar's layout when a wrapped floating line ends with this separator.
  bool AtLineEnd() const { return atLineEnd_; }
  void SetAtLineEnd(bool value);

 protected:
  void Paint() override;
  void WMMousePassOn(TMessage& msg);

 private:
  bool atLineEnd_ = false;
};

}  // namespace tw::toolbars
