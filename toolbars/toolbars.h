// The docking toolbar library: docks on the form's edges (TDockX), toolbars that dock, float
// and keep their places (TToolbarX, SaveToolbarPosition / LoadToolbarPosition), and the
// controls they hold (TToolbarButtonX, TToolbarSepX).
#pragma once

#include "toolbars/dock.h"
#include "toolbars/separator.h"
#include "toolbars/toolbar.h"
#include "toolbars/toolbarbutton.h"
#include "toolbars/toolbarpos.h"

namespace tw::toolbars {

// Registers the library's classes for creation by name (form descriptions); the program calls
// it at start-up so that the registrations are linked in.
void RegisterToolbarClasses();

}  // namespace tw::toolbars
