// Menus: items (captions with "&" accelerators, "-" separators, check marks and radio groups,
// shortcuts, sub-items added and removed at run time), the main menu of a form, drawn by us as a
// bar in the form's non-client area just below the caption, and pop-up menus shown at a point
// or on a right click of a control whose PopupMenu they are.
//
// Drop-down menus are pop-up windows painted in the classic look.  While a menu is open it takes
// every key and mouse message of the program (a message hook), so it works inside any message
// loop: the application's, a modal form's, or TPopupMenu::Popup's own.  Mouse: a press on a bar
// item opens its drop-down, moving across the bar switches, a click on an item chooses it, a
// click elsewhere closes.  Keys: Alt (pressed and released alone) or F10 puts the keyboard on the
// bar, Alt+letter opens the bar item with that accelerator, arrows move, Enter chooses or opens,
// a letter chooses the item with that accelerator, Esc closes one level, F1 shows the selected
// item's help context.  The selected item's Hint is the application's Hint meanwhile.
//
// Shortcuts: a key-down whose shortcut belongs to an enabled item of the form's main menu or of
// the PopupMenu of the focused control (or one of its parents) fires that item's OnClick before
// the control sees the key.  A shortcut of a top-level item of a form's bar that has sub-items
// opens its drop-down (running its OnClick first, as every opening does).  Keys of a form that
// is disabled behind a modal one never reach its menu.  The menu closes when another window of
// the program, or another program, takes the activation.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/classes/component.h"
#include "platform/forms/controls.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus/shortcut.h"

namespace tw {

class TMenu;

TW_DECLARE_EXCEPTION(EMenuError, Exception);

class TMenuItem : public TComponent {
  TW_CLASS(TMenuItem, TComponent)

 public:
  explicit TMenuItem(TComponent* owner);
  // Frees the sub-items and leaves the parent item.
  ~TMenuItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  // A caption of "-" draws a separator line.
  bool IsLine() const { return caption_ == "-"; }
  bool Checked() const { return checked_; }
  // Checking a radio item unchecks the other radio items of its group among its siblings.
  void SetChecked(bool value);
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  // Click checks the item (a radio item: only it in its group; a plain item: toggles).
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool value) { autoCheck_ = value; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  // Drawn in bold; Enter on the sub-menu's parent chooses it.
  bool Default() const { return default_; }
  void SetDefault(bool value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int context) { helpContext_ = context; }

  // --- sub-items
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EMenuError "Menu index out of range" for a bad index.
  TMenuItem* Items(int index) const;
  TMenuItem* operator[](int index) const { return Items(index); }
  // Appends; an item that has a parent leaves it first.  Raises EMenuError "Menu inserted
  // twice" for an item already here and "Sub-menu is in another menu" for an ancestor.
  void Add(TMenuItem* item);
  // Inserts before `index` (0..Count).
  void Insert(int index, TMenuItem* item);
  // Takes the item out (it is not freed).
  void Remove(TMenuItem* item);
  // Takes the item at `index` out and frees it.
  void Delete(int index);
  // Frees every sub-item.
  void Clear();
  int IndexOf(const TMenuItem* item) const;
  // The sub-item whose caption, without accelerator marks, equals `caption` (case-insensitive);
  // nullptr when none.
  TMenuItem* Find(const std::string& caption) const;
  TMenuItem* Parent() const { return parent_; }
  // Position among the parent's items (-1 without a parent).
  int MenuIndex() const;
  void SetMenuIndex(int index);
  // The menu this item belongs to (through its parents); nullptr when none.
  TMenu* GetParentMenu() const;

  // Runs OnClick when enabled (after AutoCheck).
  virtual void Click();

  TNotifyEvent OnClick;

  // The menu that owns this item as its root (the Items of a TMenu).
  TMenu* RootOf() const { return rootOf_; }

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend class TMenu;
  void Changed(bool rebuild);
  void UncheckSiblings();

  std::string caption_;
  bool checked_ = false;
  bool radioItem_ = false;
  int groupIndex_ = 0;
  bool autoCheck_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  bool default_ = false;
  TShortCut shortCut_ = 0;
  std::string hint_;
  int helpContext_ = 0;
  TMenuItem* parent_ = nullptr;
  std::vector<TMenuItem*> items_;
  TMenu* rootOf_ = nullptr;
};

class TMenu : public TComponent {
  TW_CLASS(TMenu, TComponent)

 public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;

  // The root item; its sub-items are the menu's items.
  TMenuItem* Items() const { return items_; }
  // The enabled item (at any depth, visible or not) with that shortcut; nullptr when none.
  TMenuItem* FindItemByShortCut(TShortCut shortCut) const;
  // Fires the item of the key's shortcut; true when an item was found and clicked.
  bool IsShortCut(Word key, TShiftState shift);

  // Called when an item's caption, visibility or sub-items change.
  virtual void MenuChanged(TMenuItem* item, bool rebuild);

 protected:
  friend class TMenuItem;

 private:
  TMenuItem* items_;
};

// The menu of a form: its top-level items are drawn as a bar at the top of the form's
// non-client area.  A main menu made with a form as owner becomes that form's menu when the form
// has none; SetFormMenu attaches one explicitly (the form resource property "Menu" does the
// same).  Attaching keeps the form's client height (the window grows by the bar).
class TMainMenu : public TMenu {
  TW_CLASS(TMainMenu, TMenu)

 public:
  explicit TMainMenu(TComponent* owner);
  ~TMainMenu() override;

  // The form the menu is drawn on (nullptr when none).
  TCustomForm* Form() const { return form_; }
  void MenuChanged(TMenuItem* item, bool rebuild) override;

  // Height of the bar in pixels.
  static int BarHeight();

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  friend void SetFormMenu(TCustomForm* form, TMainMenu* menu);
  TCustomForm* form_ = nullptr;
};

// The main menu of a form (nullptr when none).
TMainMenu* FormMenu(const TCustomForm* form);
// Attaches `menu` to `form` (nullptr detaches); a menu on another form leaves it first.
void SetFormMenu(TCustomForm* form, TMainMenu* menu);

enum class TPopupAlignment { paLeft, paRight, paCenter };
TW_ENUM_NAMES(TPopupAlignment, "paLeft", "paRight", "paCenter");

class TPopupMenu : public TMenu {
  TW_CLASS(TPopupMenu, TMenu)

 public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  // Opens the menu with its top-left corner (by Alignment) at a screen point and handles
  // messages until it closes; the chosen item's OnClick has run when it returns.
  virtual void Popup(int x, int y);
  // Shows the menu on a right click of a control whose PopupMenu it is.
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool value) { autoPopup_ = value; }
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment value) { alignment_ = value; }
  // The control that was right-clicked (or whose menu was opened by key) last.
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* component);
  TNotifyEvent OnPopup;

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  bool autoPopup_ = true;
  TPopupAlignment alignment_ = TPopupAlignment::paLeft;
  TComponent* popupComponent_ = nullptr;
};

// Whether a key-down of `shortcut` in window `target` belongs to a menu item (of the form's main
// menu or of the pop-up menu of the control there or one of its parents).
bool IsMenuShortCutKey(HWND target, TShortCut shortcut);

// Called with the help context of the selected item (or of its nearest parent that has one)
// when F1 is pressed in an open menu; the menu closes first.  The help module installs it.
void SetMenuHelpHandler(std::function<void(int helpContext)> handler);

// Whether a menu is open (a drop-down, or the keyboard on a menu bar).
bool MenuActive();
// Closes whatever menu is open, choosing nothing.
void CloseMenus();
// Shows the drop-down of a top-level item of a form's main menu (keyboard on the bar).
void OpenMenuBarItem(TCustomForm* form, int index);

// Geometry of what is shown, in screen coordinates (for tests and tools): a visible top-level
// item of a form's bar (by its index among the visible ones), the drop-down window of an open
// level (0 = the first drop-down; 0 when that level is not open), and an item of an open level
// (by its index among the level's visible items).  Empty rectangles when there is no such thing.
TRect MenuBarItemRect(TCustomForm* form, int index);
HWND MenuLevelWindow(int level);
TRect MenuLevelItemRect(int level, int index);
// The selected item of an open level (-1 when none) and of the bar.
int MenuLevelSelection(int level);
int MenuBarSelection();

// Registers the menu classes for creation by name (form resources).  The static registrations
// do the same whenever this library's objects are linked; the program calls it at start-up to
// be sure.
void RegisterMenuClasses();
// Makes form descriptions nest menu items inside their menu and parent item (RegisterMenuClasses
// does it too).
void RegisterMenuResources();

}  // namespace tw
