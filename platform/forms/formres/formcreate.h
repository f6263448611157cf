// Making forms from their descriptions: the resource named after a form's class (and those of
// its ancestors, the farthest first, for forms that inherit another form's description) is read
// into the form, then its component fields are bound.
#pragma once

#include "platform/classes/component.h"
#include "platform/forms/forms.h"

namespace tw {

// Reads every description found for the class chain of `instance`; false when there was none.
// Raises EReadError/EParserError/EClassNotFound for a damaged description.
bool InitInheritedComponent(TComponent* instance);

// Makes every form that Application()->CreateForm creates read its description first.
void InstallFormResources();

// Makes a form of class T with its description read, then runs its creation (OnCreate); the
// first form the application owns becomes the main form.  The form is freed when reading fails.
template <typename T>
T* CreateFormFromResource(TComponent* owner = nullptr) {
  if (owner == nullptr || owner == Application()) {
    InstallFormResources();
    return Application()->CreateForm<T>();
  }
  T* form = new T(owner);
  try {
    InitInheritedComponent(form);
  } catch (...) {
    delete form;
    throw;
  }
  form->AfterConstruction();
  return form;
}

}  // namespace tw
