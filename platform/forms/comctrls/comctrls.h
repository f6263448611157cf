// The list and common controls: combo boxes, list boxes, scroll bars, track bars, status bars,
// page controls with their sheets, tab sets, string grids and outlines.  Each publishes its
// properties for form descriptions and the language component.
#pragma once

#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/comctrls/grids.h"
#include "platform/forms/comctrls/listbox.h"
#include "platform/forms/comctrls/outline.h"
#include "platform/forms/comctrls/pagecontrol.h"
#include "platform/forms/comctrls/scrollbar.h"
#include "platform/forms/comctrls/statusbar.h"
#include "platform/forms/comctrls/tabset.h"
#include "platform/forms/comctrls/trackbar.h"

namespace tw {

// Registers every control class of this module for creation by name (form descriptions); the
// program calls it at start-up, as the linker keeps only what is referenced.
void RegisterComCtrlsClasses();

}  // namespace tw
