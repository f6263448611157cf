// Shows the hour-glass cursor for the lifetime of the object.
#pragma once

#include "platform/forms/forms.h"

namespace tw::multilang {

class HourGlass {
 public:
  HourGlass() : saved_(Screen()->Cursor()) { Screen()->SetCursor(crHourGlass); }
  ~HourGlass() { Screen()->SetCursor(saved_); }
  HourGlass(const HourGlass&) = delete;
  HourGlass& operator=(const HourGlass&) = delete;

 private:
  TCursor saved_;
};

}  // namespace tw::multilang
