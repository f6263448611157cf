// A text/background colour pair with defaults, used for the highlight, error and disabled
// colours of the entry fields.
#pragma once

#include <functional>

#include "platform/classes/component.h"
#include "platform/gfx/color.h"

namespace tw::entry {

class TFkColors : public TPersistent {
  TW_CLASS(TFkColors, TPersistent)
 public:
  TFkColors(TColor defaultText, TColor defaultBack);

  TColor BackColor() const { return back_; }
  TColor TextColor() const { return text_; }
  bool UseDefault() const { return useDefault_; }
  void SetBackColor(TColor c);
  void SetTextColor(TColor c);
  // True restores both defaults.
  void SetUseDefault(bool v);
  void Assign(const TPersistent* source) override;

  std::function<void()> OnChange;

 private:
  void Changed();
  TColor defText_, defBack_, text_, back_;
  bool useDefault_ = true;
};

}  // namespace tw::entry
