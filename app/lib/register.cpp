#include "app/lib/register.h"

#include "app/lib/edits.h"
#include "app/lib/orvform.h"
#include "app/lib/placement.h"
#include "app/lib/singleinstance.h"
#include "app/lib/splash.h"
#include "platform/classes/typinfo.h"

namespace tw::app {

void RegisterAppLibClasses() {
  RegisterClass<TPlacement>();
  RegisterClass<TSingleInstance>();
  RegisterClass<TSplashScreen>();
  RegisterClass<TNumEdit>();
  RegisterClass<TDateEdit>();
  RegisterClass<TOrvForm>();
}

}  // namespace tw::app
