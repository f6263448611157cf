// Fixture of the window tests on a private X server with openbox: the program's windows shown
// on it, the loop run until what the test waits for holds, and steps run from inside the
// modal loops the windows start.
#pragma once

#include <functional>
#include <memory>

#include "app/forms/tests/appforms_test_util.h"
#include "app/forms/tests/wmdisplay.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/timer.h"
#include "toolbars/toolbars.h"

namespace tw::app::test {

class WindowManagerFormsTest : public AppFormsTest {
 protected:
  void SetUp() override {
    AppFormsTest::SetUp();
    wm = std::make_unique<WindowManagerDisplay>();
    if (!wm->Ready()) GTEST_SKIP() << "Xvfb and openbox are needed";
    SelectDisplay("x11");
    ResetWindowSystem();
    InstallDialogs();
    toolbars::RegisterToolbarClasses();
  }
  void TearDown() override {
    DoneApplication();
    SelectDisplay("offscreen");
    wm.reset();
    AppFormsTest::TearDown();
  }
  ::Window X(HWND h) { return static_cast<::Window>(Display().NativeWindow(h)); }
  // Runs the loop until `done` holds (at most `rounds` rounds of about ten milliseconds).
  bool PumpUntil(const std::function<bool()>& done, int rounds = 1000) {
    for (int i = 0; i < rounds; ++i) {
      Application()->ProcessMessages();
      Display().Flush();
      XSync(wm->X(), False);
      if (done()) return true;
      Display().Wait(10, -1);
    }
    return done();
  }
  // Runs `step` from the message loop shortly (inside whatever modal loop runs then).
  void Soon(std::function<void()> step) {
    auto* timer = new TTimer(Application());
    timer->SetInterval(50);
    timer->OnTimer = [timer, step](TObject*) {
      timer->SetEnabled(false);
      step();
    };
    timer->SetEnabled(true);
  }
  // The program's main, options and calendar windows made and the main window shown with the
  // keyboard.
  void StartWithKeyboard(TfrmMain*& main, TfrmOptions*& options, TfrmCal*& cal) {
    StartCalendarRun(folder, main, options, cal);
    ASSERT_TRUE(PumpUntil([&] { return Viewable(main->Handle()) && wm->FocusedWindow() == X(main->Handle()); }));
    ASSERT_TRUE(PlaceKnown(main->Handle())) << "the program lost where the window manager put the main window";
  }
  // The program knows where the window manager put window `h`, as the server has it (a test
  // aims its clicks by the program's places).
  bool PlaceKnown(HWND h) {
    return PumpUntil([&] {
      XWindowAttributes a{};
      int x = 0, y = 0;
      ::Window child;
      XGetWindowAttributes(wm->X(), X(h), &a);
      XTranslateCoordinates(wm->X(), X(h), DefaultRootWindow(wm->X()), 0, 0, &x, &y, &child);
      RECT r;
      GetWindowRect(h, &r);
      return r == Bounds(x, y, a.width, a.height);
    });
  }
  bool Viewable(HWND h) {
    XWindowAttributes a;
    return XGetWindowAttributes(wm->X(), X(h), &a) && a.map_state == IsViewable;
  }

  std::unique_ptr<WindowManagerDisplay> wm;
};

}  // namespace tw::app::test
