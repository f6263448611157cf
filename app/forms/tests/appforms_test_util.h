// Fixture of the window tests: a fresh offscreen window system and application, every control
// class registered for the form descriptions, and a settings store in a temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/forms/calendarwindow.h"
#include "app/forms/mainwindow.h"
#include "app/forms/optionswindow.h"
#include "app/forms/richview.h"
#include "app/forms/startup.h"
#include "app/lib/register.h"
#include "app/lib/singleinstance.h"
#include "app/lib/tests/applib_test_util.h"
#include "entry/date/dayarith.h"
#include "entry/fieldkit.h"
#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "multilang/langswitch.h"
#include "platform/forms/comctrls/comctrls.h"
#include "platform/forms/dialogs/commondialogs.h"
#include "platform/forms/formres/formcreate.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus/menus.h"
#include "platform/win/display.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "richtext/controls/richtext.h"

namespace tw::app::test {

// The form library's fixture (window system, application, settings store), with the program's
// title and every class the window descriptions name.
class AppFormsTest : public AppLibTest {
 protected:
  void SetUp() override {
    AppLibTest::SetUp();
    Application()->SetTitle("Corvane - Tidewell");
    RegisterWindowClasses();
    // The main window's single-instance guard lives in a folder of this test's own, so that
    // test processes never meet each other or a running program (short: socket paths are).
    char pattern[] = "/tmp/twsi.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    guardFolder = pattern;
    TSingleInstance::SetRuntimeFolder(guardFolder);
  }
  void TearDown() override {
    TSingleInstance::ReleaseEarly();
    AppLibTest::TearDown();
    TSingleInstance::SetRuntimeFolder("");
    std::error_code ec;
    std::filesystem::remove_all(guardFolder, ec);
  }

  // Ends this "run" of the program and readies the next one on the same settings store: a
  // fresh application on the offscreen display, framed as by a window manager with `frame`.
  static void StartNextRun(const RECT& frame) {
    TSingleInstance::ReleaseEarly();
    DoneApplication();
    SelectDisplay("offscreen");
    ResetWindowSystem();
    SimulateWindowManagerFrame(frame);
    Application()->SetName("Tidewell");
    Application()->SetTitle("Corvane - Tidewell");
  }

  std::string guardFolder;
};

// The main, options and calendar windows of a run, in the program's order, with person 1
// entered (so that a new transit date makes a list), the main window shown.
inline void EnterPerson(TfrmOptions& options, int n, const std::string& name);
inline void StartCalendarRun(const std::filesystem::path& folder, TfrmMain*& main, TfrmOptions*& options, TfrmCal*& cal) {
  main = Application()->CreateForm<TfrmMain>();
  main->ListingFolder = folder.string();
  options = Application()->CreateForm<TfrmOptions>();
  cal = Application()->CreateForm<TfrmCal>();
  EnterPerson(*options, 1, "Bob Stone");
  options->OkClick(options->Ok);
  main->Show();
}

// Person n with a name and a birth date, entered in the options window as the user types them
// (the dialog stays open).
inline void EnterPerson(TfrmOptions& options, int n, const std::string& name) {
  options.SelectPerson(n);
  options.dfPers->SetAsString(name);
  options.dfPers->OnChange(options.dfPers);
  options.dfDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(1980, 5, 17)));
  options.dfDate->OnChange(options.dfDate);
}

// Writes a plain list of `lines` numbered lines into the main window's transit view, as a
// finished listing: taller than the view for a few dozen lines.
inline void ShowPlainList(TfrmMain* main, int lines) {
  auto& view = static_cast<TRichTransitView&>(main->View());
  view.Begin();
  view.SetFonts(nullptr, nullptr, nullptr);
  std::string text;
  for (int i = 0; i < lines; ++i) text += "Line " + std::to_string(i) + " of a long list.\r";
  view.InputString(text);
  view.End();
}

}  // namespace tw::app::test
