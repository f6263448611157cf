// Owner drawing of list items: the state an item is drawn in and the events that draw and
// measure items of list boxes and combo boxes.
#pragma once

#include <functional>

#include "platform/classes/typinfo.h"
#include "platform/gfx/geometry.h"
#include "platform/rtl/set.h"

namespace tw {

class TWinControl;

enum class TOwnerDrawStateFlag {
  odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive,
  odNoAccel, odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit
};
TW_ENUM_NAMES(TOwnerDrawStateFlag, "odSelected", "odGrayed", "odDisabled", "odChecked", "odFocused", "odDefault",
              "odHotLight", "odInactive", "odNoAccel", "odNoFocusRect", "odReserved1", "odReserved2",
              "odComboBoxEdit");
using TOwnerDrawState = Set<TOwnerDrawStateFlag>;
using enum TOwnerDrawStateFlag;

// Draws item `Index` in `Rect` of the control's canvas.
using TDrawItemEvent = std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
// Gives the height of item `Index` (variable-height owner drawing).
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;

}  // namespace tw
