// TPlacement: stores the owning form's position and size as "WindowPosition" ("top,left,
// width,height" in pixels) under the form's section, and restores it.  Restoring checks the
// stored values: a damaged or absurd value changes nothing, and a window that would lie off the
// screen is moved back onto it.
#pragma once

#include <string>

#include "platform/classes/component.h"
#include "platform/gfx/geometry.h"

namespace tw::app {

class TPlacement : public TComponent {
  TW_CLASS(TPlacement, TComponent)
 public:
  explicit TPlacement(TComponent* owner);

  virtual void SaveToRegistry();
  virtual void LoadFromRegistry();
};

// Takes one integer off the front of a comma list: the leading run of "-" and digits,
// converted (0 when empty or not a number), is removed with the one character after it.
int NextListInt(std::string& s);

// Where a window with the stored bounds is put on a screen of the given size: the size is
// limited to the screen, and the window is moved so that it lies on the screen.  False when the
// values cannot be a window's (width or height not above 0, or values beyond any screen).
bool FitPlacement(TRect& bounds, int screenWidth, int screenHeight);
// The same for a window inside a window manager's frame of the given thickness on each side:
// the framed window is kept on the screen; `bounds` stays the window's own rectangle.
bool FitFramedPlacement(TRect& bounds, const TRect& frame, int screenWidth, int screenHeight);

}  // namespace tw::app
