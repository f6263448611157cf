// The fuzz targets of the editor controls run on the offscreen display, chosen once.
#pragma once

#include "platform/win/display.h"

namespace tw::richtext {

inline void UseOffscreenDisplay() {
  static const bool chosen = [] {
    SelectDisplay("offscreen");
    return true;
  }();
  (void)chosen;
}

}  // namespace tw::richtext
