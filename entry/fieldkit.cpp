#include "entry/fieldkit.h"

#include "entry/date/dayarith.h"
#include "entry/fkuserdata.h"
#include "platform/classes/typinfo.h"

namespace tw::entry {

void InitFieldkit() {
  // Today's year and month first: a date typed without them takes them.
  InitFkDateArith();
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
