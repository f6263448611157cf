#include "platform/forms/formres/formcreate.h"

#include <vector>

#include "platform/classes/resources.h"
#include "platform/forms/formres/formstream.h"

namespace tw {

bool InitInheritedComponent(TComponent* instance) {
  std::vector<std::string_view> descriptions;
  for (const TClassInfo* c = instance->ClassType(); c != nullptr && c != TComponent::StaticClass(); c = c->Parent) {
    if (auto res = FindResource(c->Name)) descriptions.push_back(*res);
  }
  for (auto it = descriptions.rbegin(); it != descriptions.rend(); ++it) ReadComponentDescription(*it, instance);
  BindComponentFields(instance);
  return !descriptions.empty();
}

}  // namespace tw

namespace tw {

void InstallFormResources() {
  SetFormInitializer([](TCustomForm* form) { InitInheritedComponent(form); });
}

}  // namespace tw
