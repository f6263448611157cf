// Shared between the control, form and application sources of this folder; not part of the
// public contract.
#pragma once

#include <functional>

#include "platform/forms/controls.h"

namespace tw {

class TApplication;
class TScreen;

// The control holding the mouse (a windowless one through its parent's window), or nullptr.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
void ForgetCaptureControl(TControl* control);

// A control is being destroyed: the application, the screen and the forms drop references.
void ControlDestroying(TControl* control);
// A control is being destroyed: a drag it is the source of ends without a drop, and it stops
// being the drag's target.
void DragControlDestroying(TControl* control);
// A form is being destroyed: the screen forgets it.
void FormDestroying(TCustomForm* form);
// The application and screen objects when they exist (nullptr otherwise); never made here.
TApplication* ApplicationIfAny();
TScreen* ScreenIfAny();
// Frees the screen object (DoneApplication calls it after freeing the application).
void DoneScreen();
// The mouse moved over `control` (hint tracking).
void ControlMouseMoved(TControl* control);
// An exception escaped a window procedure or event of `sender`.
void HandleWindowException(TObject* sender);
// Lends the paint DC to `canvas` (with the control's font and colour) for one call of `paint`,
// and takes it back afterwards, also when `paint` throws.
void PaintWithCanvas(TControlCanvas& canvas, HDC dc, TControl& control, const std::function<void()>& paint);

}  // namespace tw
