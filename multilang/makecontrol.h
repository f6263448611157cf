// Building the editor windows in code: a named control placed on its parent.
#pragma once

#include <string>

#include "platform/forms/controls.h"

namespace tw::multilang {

template <typename T>
T* MakeControl(TComponent* owner, TWinControl* parent, const std::string& name, int left, int top, int width,
               int height, const std::string& caption = {}) {
  auto* c = new T(owner);
  c->SetName(name);
  c->SetParent(parent);
  c->SetBounds(left, top, width, height);
  if (!caption.empty()) c->SetCaption(caption);
  return c;
}

}  // namespace tw::multilang
