// Links between components that must not outlive the linked one: the linking component asks
// for a free notification and clears the link in its Notification.
#pragma once

#include "platform/classes/component.h"
#include "platform/forms/controls.h"

namespace tw::richtext {

// Points `field` at `value`, moving `self`'s free notification from the old component to the
// new one; false when the link stays as it was.
template <typename T>
bool ReplaceLink(TComponent* self, T*& field, T* value) {
  if (field == value) return false;
  if (field != nullptr && field != self) field->RemoveFreeNotification(self);
  field = value;
  if (field != nullptr && field != self) field->FreeNotification(self);
  return true;
}

// A cursor shape shown while the pointer is over something (a link, a marker); the control's own
// cursor comes back when it leaves.
class THoverCursor {
 public:
  void Update(TControl& control, bool over, TCursor shape) {
    if (over && !shown_) {
      saved_ = control.Cursor();
      control.SetCursor(shape);
      shown_ = true;
    } else if (!over && shown_) {
      control.SetCursor(saved_);
      shown_ = false;
    }
  }

 private:
  bool shown_ = false;
  TCursor saved_ = crDefault;
};

}  // namespace tw::richtext
