// How menu items nest in form descriptions: the items of a menu and the sub-items of an item are
// written inside it and attached to it again when read.
#include "platform/forms/formres/formstream.h"
#include "platform/forms/menus/menus.h"

namespace tw {

namespace {

TComponent* ItemParent(TComponent* child) {
  auto* item = dynamic_cast<TMenuItem*>(child);
  if (item == nullptr || item->Parent() == nullptr) return nullptr;
  if (TMenu* menu = item->Parent()->RootOf()) return menu;
  return item->Parent();
}

std::vector<TComponent*> ItemChildren(const TMenuItem* parent) {
  std::vector<TComponent*> out;
  for (int i = 0; i < parent->Count(); ++i) out.push_back(parent->Items(i));
  return out;
}

const bool g_registered = [] {
  RegisterChildClass(TMenu::StaticClass(), TMenuItem::StaticClass(),
                     TChildClassInfo{[](TComponent* parent, TComponent* child) {
                                       static_cast<TMenu*>(parent)->Items()->Add(static_cast<TMenuItem*>(child));
                                     },
                                     ItemParent,
                                     [](TComponent* parent) {
                                       return ItemChildren(static_cast<TMenu*>(parent)->Items());
                                     }});
  RegisterChildClass(TMenuItem::StaticClass(), TMenuItem::StaticClass(),
                     TChildClassInfo{[](TComponent* parent, TComponent* child) {
                                       static_cast<TMenuItem*>(parent)->Add(static_cast<TMenuItem*>(child));
                                     },
                                     ItemParent,
                                     [](TComponent* parent) { return ItemChildren(static_cast<TMenuItem*>(parent)); }});
  return true;
}();

}  // namespace

void RegisterMenuResources() { (void)g_registered; }

}  // namespace tw
