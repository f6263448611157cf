#include "toolbars/toolbars.h"

#include "platform/classes/typinfo.h"

namespace tw::toolbars {

void RegisterToolbarClasses() {
  RegisterClass<TDockX>();
  RegisterClass<TToolbarX>();
  RegisterClass<TToolbarButtonX>();
  RegisterClass<TToolbarSepX>();
}

}  // namespace tw::toolbars
