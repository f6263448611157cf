// Keeping a toolbar's place between runs in the settings store: one key per toolbar (named
// after it) below the caller's key, values "Visible", "DockedTo", "DockRow", "DockPos",
// "FloatLeft", "FloatTop", "FloatRight", "FloatBottom" and "FloatRightX".
#pragma once

#include <string>

namespace tw {
class TCustomForm;
}

namespace tw::toolbars {

class TDockX;
class TToolbarX;

// Raises EInvalidOperation, writing nothing, when the toolbar's dock has no name.
void SaveToolbarPosition(TToolbarX* toolbar, const std::string& keyName);
// Puts the toolbar back where it was saved.  Missing or damaged values leave what they describe
// as it is; a floating place off the screen is moved onto it; a side dock named for a bar that
// may not dock there counts as no dock.  A toolbar without a name keeps nothing (both routines
// do nothing): it has no key of its own.
void LoadToolbarPosition(TToolbarX* toolbar, const std::string& keyName);
// The first dock among the form's controls with exactly that name; nullptr when none.
TDockX* FindDockByName(const std::string& name, TCustomForm* form);

}  // namespace tw::toolbars
