// TMenuItem: caption, state, shortcut and the list of sub-items.
#include <algorithm>

#include "platform/classes/typinfo.h"
#include "platform/forms/menus/menuinternal.h"
#include "platform/rtl/win1252.h"

namespace tw {

TW_PUBLISHED(TMenuItem,
             Prop("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption),
             Prop("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked),
             Prop("RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem),
             Prop("GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex),
             Prop("AutoCheck", &TMenuItem::AutoCheck, &TMenuItem::SetAutoCheck),
             Prop("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled),
             Prop("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible),
             Prop("Default", &TMenuItem::Default, &TMenuItem::SetDefault),
             Prop("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut),
             Prop("Hint", &TMenuItem::Hint, &TMenuItem::SetHint),
             Prop("HelpContext", &TMenuItem::HelpContext, &TMenuItem::SetHelpContext),
             Prop("OnClick", &TMenuItem::OnClick));

TW_REGISTER_CLASS(TMenuItem);

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
  Destroying();
  menus::ItemGone(this);
  Clear();
  if (parent_ != nullptr) parent_->Remove(this);
}

void TMenuItem::Changed(bool rebuild) {
  if (TMenu* menu = GetParentMenu()) menu->MenuChanged(this, rebuild);
}

void TMenuItem::SetCaption(const std::string& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  Changed(true);
}

void TMenuItem::UncheckSiblings() {
  if (!radioItem_ || !checked_ || parent_ == nullptr) return;
  for (TMenuItem* sibling : parent_->items_)
    if (sibling != this && sibling->radioItem_ && sibling->groupIndex_ == groupIndex_) sibling->checked_ = false;
}

void TMenuItem::SetChecked(bool value) {
  if (checked_ == value) return;
  checked_ = value;
  UncheckSiblings();
  Changed(false);
}

void TMenuItem::SetRadioItem(bool value) {
  if (radioItem_ == value) return;
  radioItem_ = value;
  UncheckSiblings();
  Changed(false);
}

void TMenuItem::SetGroupIndex(int value) {
  if (groupIndex_ == value) return;
  groupIndex_ = value;
  UncheckSiblings();
}

void TMenuItem::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  Changed(false);
}

void TMenuItem::SetVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  Changed(true);
}

void TMenuItem::SetDefault(bool value) {
  if (default_ == value) return;
  if (value && parent_ != nullptr)
    for (TMenuItem* sibling : parent_->items_) sibling->default_ = false;
  default_ = value;
  Changed(false);
}

void TMenuItem::SetShortCut(TShortCut value) {
  if (shortCut_ == value) return;
  shortCut_ = value;
  Changed(true);
}

TMenuItem* TMenuItem::Items(int index) const {
  if (index < 0 || index >= Count()) throw EMenuError("Menu index out of range");
  return items_[static_cast<std::size_t>(index)];
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (item == nullptr) return;
  if (item->parent_ == this) throw EMenuError("Menu inserted twice");
  for (const TMenuItem* p = this; p != nullptr; p = p->parent_)
    if (p == item) throw EMenuError("Sub-menu is in another menu");
  if (item->rootOf_ != nullptr) throw EMenuError("Sub-menu is in another menu");
  if (index < 0 || index > Count()) throw EMenuError("Menu index out of range");
  if (item->parent_ != nullptr) item->parent_->Remove(item);
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  // Free notification: an item freed by its owner leaves this list at once.
  item->FreeNotification(this);
  item->UncheckSiblings();
  Changed(true);
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  menus::ItemGone(item);
  items_.erase(it);
  item->parent_ = nullptr;
  item->RemoveFreeNotification(this);
  Changed(true);
}

void TMenuItem::Delete(int index) {
  TMenuItem* item = Items(index);
  Remove(item);
  delete item;
}

void TMenuItem::Clear() {
  while (!items_.empty()) Delete(Count() - 1);
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TMenuItem* TMenuItem::Find(const std::string& caption) const {
  const std::string wanted = StripHotkey(caption);
  for (TMenuItem* item : items_)
    if (AnsiSameText(StripHotkey(item->caption_), wanted)) return item;
  return nullptr;
}

int TMenuItem::MenuIndex() const { return parent_ == nullptr ? -1 : parent_->IndexOf(this); }

void TMenuItem::SetMenuIndex(int index) {
  if (parent_ == nullptr) return;
  TMenuItem* parent = parent_;
  const int count = parent->Count();
  index = std::clamp(index, 0, count - 1);
  if (index == MenuIndex()) return;
  parent->items_.erase(parent->items_.begin() + MenuIndex());
  parent->items_.insert(parent->items_.begin() + index, this);
  Changed(true);
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* item = this;
  while (item->parent_ != nullptr) item = item->parent_;
  return item->rootOf_;
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (autoCheck_) {
    if (radioItem_)
      SetChecked(true);
    else
      SetChecked(!checked_);
  }
  FireEvent(OnClick, this);
}

void TMenuItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  auto it = std::find(items_.begin(), items_.end(), component);
  if (it != items_.end()) {
    items_.erase(it);
    Changed(true);
  }
}

}  // namespace tw
