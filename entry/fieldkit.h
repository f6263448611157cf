// The entry-field library: what the program uses of it.
//
//   TFkController       one per form: key command tables, epoch, insert mode, error reports,
//                       timer pool, the form-wide editing events
//   TFkPictureField     entry field under a picture mask (strings, numbers, dates, times)
//   TFkSimpleField      entry field governed by one mask character
//   TFkCalendar         month view that picks a date
//   TFkSpinner          arrow-button pair with auto-repeat
//   TFkAttachedButton   button that keeps itself beside a control
//   TFkIntlSup          international settings and date/time text through masks
//                       (DefaultIntlSup; SetIntlProfile replaces the "intl" settings in tests)
//
// Field errors are reported with the codes ecOutOfRange (256) .. ecPartial (262) and
// ecUserFirst (32768) and up; failures raise the EFkException family.
#pragma once

#include "entry/fkattachedbutton.h"
#include "entry/fkcalendar.h"
#include "entry/fkcontroller.h"
#include "entry/fkintl.h"
#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "entry/fkspinner.h"

namespace tw::entry {

// Start-up of the library: the string tables (a missing one raises ESrsStringResourceError),
// the international settings, the user character sets and the classes that form resources
// create by name.
void InitFieldkit();

}  // namespace tw::entry
