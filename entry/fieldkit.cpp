#include "entry/fieldkit.h"

#include "entry/date/dayarith.h"
#include "entry/fkuserdata.h"
#include "entry/strres/fkstrres.h"
#include "platform/classes/typinfo.h"

namespace tw::entry {

void InitFieldkit() {
  // Today's year and month first: a date typed without them takes them.
  InitFkDateArith();
  // The string tables next: a missing table stops the start here, before any window exists.
  InitSrsStrRes();
  InitFkStrRes();
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
