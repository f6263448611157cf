// How the windows look: fields wide enough for the texts they hold.
#include "app/forms/mainwindow.h"
#include "app/forms/optionswindow.h"
#include "app/forms/tests/appforms_test_util.h"
#include "entry/fkpicturefield.h"
#include "platform/gfx/graphic.h"
#include "toolbars/toolbars.h"

namespace tw::app::test {
namespace {

using LookTest = AppFormsTest;

TEST_F(LookTest, TheBirthTimeFieldHoldsATwelveHourTime) {
  toolbars::RegisterToolbarClasses();
  Application()->CreateForm<TfrmMain>();
  auto* options = Application()->CreateForm<TfrmOptions>();
  ASSERT_NE(options->dfTime, nullptr);
  TBitmap probe;
  probe.SetSize(10, 10);
  probe.Canvas()->Font()->Assign(options->dfTime->Font());
  // The text, its caret and the field's inner margins on both sides.
  EXPECT_GE(options->dfTime->ClientWidth(), probe.Canvas()->TextWidth("11:59 PM") + 8);
}

}  // namespace
}  // namespace tw::app::test
