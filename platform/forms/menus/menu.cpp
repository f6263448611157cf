// TMenu, TMainMenu and TPopupMenu, and the attachment of a main menu to its form.
#include <map>

#include "platform/classes/typinfo.h"
#include "platform/forms/menus/menuinternal.h"

namespace tw {

namespace {

// Forms and the main menus drawn on them.
std::map<const TCustomForm*, TMainMenu*>& FormMenus() {
  static std::map<const TCustomForm*, TMainMenu*> menus;
  return menus;
}

TMenuItem* FindShortCut(const TMenuItem* parent, TShortCut shortCut) {
  for (int i = 0; i < parent->Count(); ++i) {
    TMenuItem* item = parent->Items(i);
    if (!item->Enabled()) continue;
    if (item->ShortCut() == shortCut) return item;
    if (TMenuItem* found = FindShortCut(item, shortCut)) return found;
  }
  return nullptr;
}

// The form's "Menu" property, so that form resources can name the main menu.
const bool g_formMenuProperty = [] {
  RegisterProperties(TCustomForm::StaticClass(),
                     {CustomProp(
                         TCustomForm::StaticClass(), "Menu", tkClass,
                         [](const TObject* o) { return TValue(static_cast<TObject*>(FormMenu(static_cast<const TCustomForm*>(o)))); },
                         [](TObject* o, const TValue& v) {
                           TObject* value = v.AsObject();
                           if (value != nullptr && !value->InheritsFrom(TMainMenu::StaticClass()))
                             throw EPropertyError("Invalid property value");
                           SetFormMenu(static_cast<TCustomForm*>(o), static_cast<TMainMenu*>(value));
                         },
                         nullptr, TMainMenu::StaticClass())});
  return true;
}();

}  // namespace

TW_PUBLISHED(TMenu, Prop("Items", &TMenu::Items));
TW_PUBLISHED(TPopupMenu,
             Prop("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup),
             Prop("Alignment", &TPopupMenu::Alignment, &TPopupMenu::SetAlignment),
             Prop("OnPopup", &TPopupMenu::OnPopup));
TW_REGISTER_CLASS(TMainMenu);
TW_REGISTER_CLASS(TPopupMenu);

void RegisterMenuClasses() {
  (void)g_formMenuProperty;
  RegisterMenuResources();
  RegisterClass<TMenuItem>();
  RegisterClass<TMainMenu>();
  RegisterClass<TPopupMenu>();
}

// --- TMenu

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(nullptr)) { items_->rootOf_ = this; }

TMenu::~TMenu() {
  Destroying();
  menus::MenuGone(this);
  // The items stay with their owner (the form); they only leave this menu.
  items_->rootOf_ = nullptr;
  while (items_->Count() > 0) items_->Remove(items_->Items(items_->Count() - 1));
  delete items_;
  items_ = nullptr;
}

TMenuItem* TMenu::FindItemByShortCut(TShortCut shortCut) const {
  if (shortCut == 0) return nullptr;
  return FindShortCut(items_, shortCut);
}

bool TMenu::IsShortCut(Word key, TShiftState shift) {
  TMenuItem* item = FindItemByShortCut(tw::ShortCut(key, shift));
  if (item == nullptr) return false;
  auto* main = dynamic_cast<TMainMenu*>(this);
  if (item->Count() > 0 && main != nullptr && main->Form() != nullptr && item->Parent() == items_) {
    // A top-level item of a bar: its drop-down opens (which runs its OnClick first).
    int visibleIndex = 0;
    for (int i = 0; i < items_->Count() && items_->Items(i) != item; ++i)
      if (items_->Items(i)->Visible()) ++visibleIndex;
    if (item->Visible()) OpenMenuBarItem(main->Form(), visibleIndex);
    return true;
  }
  item->Click();
  return true;
}

void TMenu::MenuChanged(TMenuItem*, bool rebuild) { menus::MenuItemsChanged(this, rebuild); }

// --- TMainMenu

TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner) {
  menus::EnsureMenuInput();
  if (auto* form = dynamic_cast<TCustomForm*>(owner); form != nullptr && FormMenu(form) == nullptr)
    SetFormMenu(form, this);
}

TMainMenu::~TMainMenu() {
  Destroying();
  if (form_ != nullptr) SetFormMenu(form_, nullptr);
}

int TMainMenu::BarHeight() {
  const int h = GetSystemMetrics(SM_CYMENU);
  return h > 0 ? h : 19;
}

void TMainMenu::MenuChanged(TMenuItem* item, bool rebuild) {
  TMenu::MenuChanged(item, rebuild);
  if (form_ != nullptr) menus::PaintMenuBar(form_);
}

void TMainMenu::Notification(TComponent* component, TOperation operation) {
  TMenu::Notification(component, operation);
  if (operation == TOperation::opRemove && component != nullptr &&
      static_cast<const void*>(component) == static_cast<const void*>(form_)) {
    // The form is going away: close what is open on it and forget it (its window and procedure
    // go with it).
    menus::MenuGone(this);
    FormMenus().erase(form_);
    form_ = nullptr;
  }
}

TMainMenu* FormMenu(const TCustomForm* form) {
  auto it = FormMenus().find(form);
  return it == FormMenus().end() ? nullptr : it->second;
}

void SetFormMenu(TCustomForm* form, TMainMenu* menu) {
  if (form == nullptr) return;
  TMainMenu* old = FormMenu(form);
  if (old == menu) return;
  const bool destroying = form->ComponentState().Contains(TComponentStateFlag::csDestroying);
  int height = form->Height();
  if (old != nullptr) {
    menus::MenuGone(old);
    FormMenus().erase(form);
    old->form_ = nullptr;
    form->RemoveFreeNotification(old);
    height -= TMainMenu::BarHeight();
  }
  if (menu != nullptr) {
    if (menu->form_ != nullptr) SetFormMenu(menu->form_, nullptr);
    menus::EnsureMenuInput();
    menus::HookFormWindow(form);
    FormMenus()[form] = menu;
    menu->form_ = form;
    form->FreeNotification(menu);
    height += TMainMenu::BarHeight();
  }
  if (destroying) return;
  // The window keeps its client area: it grows or shrinks by the bar, and the window system
  // recomputes the client rectangle.
  form->SetBounds(form->Left(), form->Top(), form->Width(), height);
  if (form->HandleAllocated())
    SetWindowPos(form->Handle(), 0, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- TPopupMenu

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {
  menus::PopupCreated(this);
  menus::EnsureMenuInput();
}

TPopupMenu::~TPopupMenu() {
  Destroying();
  menus::PopupDestroyed(this);
}

void TPopupMenu::SetPopupComponent(TComponent* component) {
  if (popupComponent_ == component) return;
  if (popupComponent_ != nullptr) popupComponent_->RemoveFreeNotification(this);
  popupComponent_ = component;
  if (component != nullptr) component->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
  TMenu::Notification(component, operation);
  if (operation == TOperation::opRemove && component == popupComponent_) popupComponent_ = nullptr;
}

void TPopupMenu::Popup(int x, int y) {
  FireEvent(OnPopup, this);
  menus::OpenPopup(this, x, y);
  TApplication* app = Application();
  while (MenuActive() && !app->Terminated()) app->HandleMessage();
}

}  // namespace tw
