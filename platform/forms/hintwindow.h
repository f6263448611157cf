// The application's hint window (tooltips): the short hint of the control the mouse rests on.
#pragma once

#include "platform/win/winapi.h"

namespace tw {

class TControl;

// The mouse moved onto `control`: a shown hint goes; the control's hint shows after the hint
// pause when the application and the control show hints and the hint is not empty.
void HintMouseOver(TControl* control);
// Shows the pending hint now (the hint pause is over).
void ShowPendingHint();
// Hides the hint and forgets a pending one (a button or key was pressed, the mouse left).
void CancelHint();
// `control` is being destroyed.
void HintControlGone(TControl* control);
// The hint window while a hint shows, else 0.
HWND HintWindowHandle();

}  // namespace tw
