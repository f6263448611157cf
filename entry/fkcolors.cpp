#include "entry/fkcolors.h"

#include "platform/classes/typinfo.h"

namespace tw::entry {

TW_PUBLISHED(TFkColors, Prop("BackColor", &TFkColors::BackColor, &TFkColors::SetBackColor),
             Prop("TextColor", &TFkColors::TextColor, &TFkColors::SetTextColor),
             Prop("UseDefault", &TFkColors::UseDefault, &TFkColors::SetUseDefault));

TFkColors::TFkColors(TColor defaultText, TColor defaultBack)
    : defText_(defaultText), defBack_(defaultBack), text_(defaultText), back_(defaultBack) {}

void TFkColors::Changed() {
  if (OnChange) {
    auto f = OnChange;
    f();
  }
}

void TFkColors::SetBackColor(TColor c) {
  if (c == back_) return;
  back_ = c;
  if (c != defBack_) useDefault_ = false;
  Changed();
}

void TFkColors::SetTextColor(TColor c) {
  if (c == text_) return;
  text_ = c;
  if (c != defText_) useDefault_ = false;
  Changed();
}

void TFkColors::SetUseDefault(bool v) {
  if (v) {
    useDefault_ = true;
    text_ = defText_;
    back_ = defBack_;
    Changed();
  }
}

void TFkColors::Assign(const TPersistent* source) {
  if (auto* o = dynamic_cast<const TFkColors*>(source)) {
    SetBackColor(o->back_);
    SetTextColor(o->text_);
    return;
  }
  TPersistent::Assign(source);
}

}  // namespace tw::entry
