#include "entry/fieldkit.h"

#include "entry/fkuserdata.h"
#include "platform/classes/typinfo.h"

namespace tw::entry {

void InitFieldkit() {
  InitFkIntl();
  InitFkUserData();
  RegisterFieldkitClasses();
  RegisterClass(TFkSimpleField::StaticClass(), [](TComponent* owner) -> TComponent* { return new TFkSimpleField(owner); });
  RegisterClass(TFkCalendar::StaticClass(), [](TComponent* owner) -> TComponent* { return new TFkCalendar(owner); });
  RegisterClass(TFkSpinner::StaticClass(), [](TComponent* owner) -> TComponent* { return new TFkSpinner(owner); });
  RegisterClass(TFkAttachedButton::StaticClass(),
                [](TComponent* owner) -> TComponent* { return new TFkAttachedButton(owner); });
}

}  // namespace tw::entry
