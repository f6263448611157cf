// Shared between the menu sources of this folder; not part of the public contract.
#pragma once

#include "platform/forms/menus/menus.h"

namespace tw::menus {

// Installs the message hook and the tracker's window when they are not there (a reset window
// system drops them).
void EnsureMenuInput();
// An item or menu is going away: an open menu that shows it closes.
void ItemGone(const TMenuItem* item);
void MenuGone(const TMenu* menu);
// The items of a menu changed: an open drop-down of it closes, the bar is drawn again.
void MenuItemsChanged(TMenu* menu, bool rebuild);
// Opens a pop-up menu at a screen point (modeless: the hook drives it).
void OpenPopup(TPopupMenu* menu, int x, int y);
// Pop-up menus that exist: a control may still name one freed by another owner, which must
// then be ignored.
void PopupCreated(const TPopupMenu* menu);
void PopupDestroyed(const TPopupMenu* menu);
TPopupMenu* LivePopupOf(const TControl* control);
// The form's bar was drawn or changed.
void PaintMenuBar(TCustomForm* form);
// Installs the non-client bar handling on a form (once per form object).
void HookFormWindow(TCustomForm* form);

}  // namespace tw::menus
