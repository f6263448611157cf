// Modal windows on a real X server under a window manager: the options dialog and a message box
// stay above the windows they block, whatever the user clicks, and nothing typed, no shortcut
// and no close request reaches a blocked window.
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "app/forms/tests/wmforms_test_util.h"
#include "app/lib/winregistry.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/rtl/exceptions.h"

namespace tw::app::test {
namespace {

class ModalX11Test : public WindowManagerFormsTest {
 protected:
  void SetUp() override {
    WindowManagerFormsTest::SetUp();
    if (IsSkipped()) return;
    pdf = folder / "printed.pdf";
    ::setenv("TIDEWELL_PRINT_TO", pdf.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("TIDEWELL_PRINT_TO");
    WindowManagerFormsTest::TearDown();
  }

  std::filesystem::path pdf;
};

TEST_F(ModalX11Test, ModalWindowsStayAboveWhatTheyBlockAndNothingReachesIt) {
  auto* main = Application()->CreateForm<TfrmMain>();
  main->ListingFolder = folder.string();
  auto* options = Application()->CreateForm<TfrmOptions>();
  main->Show();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(main->Handle()); }));
  const std::string name = options->dfPers->Text();
  bool optionsChecked = false, boxChecked = false;
  Soon([&] {
    const HWND dialog = options->Handle();
    if (!PumpUntil([&] { return Viewable(dialog) && GetActiveWindow() == dialog; })) {
      ADD_FAILURE() << "the options dialog did not show";
      options->SetModalResult(mrCancel);
      return;
    }
    EXPECT_EQ(wm->TransientFor(X(dialog)), X(main->Handle())) << "transient for the window it blocks";
    // The user clicks the main window: the window manager raises it, and the dialog with it.
    wm->ActivateAsUser(X(main->Handle()));
    wm->SendClick(X(main->Handle()), 20, main->ClientHeight() - 20);
    EXPECT_TRUE(PumpUntil([&] { return wm->StackedAbove(X(dialog), X(main->Handle())) && GetActiveWindow() == dialog; }))
        << "the dialog stays above the main window and keeps the keyboard";
    // Keys, the print shortcut and close requests sent to the main window do nothing.
    wm->SendKey(X(main->Handle()), XK_x, 0);
    wm->SendKey(X(main->Handle()), XK_p, ControlMask);
    wm->SendKey(X(main->Handle()), XK_F4, Mod1Mask);
    wm->RequestClose(X(main->Handle()));
    PumpUntil([] { return false; });
    EXPECT_FALSE(std::filesystem::exists(pdf)) << "Ctrl+P printed from under the dialog";
    EXPECT_FALSE(Application()->Terminated());
    EXPECT_TRUE(Viewable(main->Handle()));
    EXPECT_TRUE(Viewable(dialog));
    EXPECT_EQ(options->dfPers->Text(), name);
    EXPECT_TRUE(wm->StackedAbove(X(dialog), X(main->Handle())));
    // A message box over the dialog stays above the dialog.
    Soon([&] {
      const HWND box = GetActiveWindow();
      EXPECT_NE(box, dialog);
      EXPECT_TRUE(PumpUntil([&] { return Viewable(box); }));
      EXPECT_EQ(wm->TransientFor(X(box)), X(dialog));
      wm->ActivateAsUser(X(dialog));
      wm->RequestClose(X(dialog));
      EXPECT_TRUE(PumpUntil([&] { return wm->StackedAbove(X(box), X(dialog)) && GetActiveWindow() == box; }));
      EXPECT_TRUE(IsWindowVisible(dialog)) << "the close request reached the blocked dialog";
      boxChecked = true;
      PostMessage(box, WM_CLOSE, 0, 0);
    });
    Application()->MessageBox("Over the options", Application()->Title(), MB_OK);
    optionsChecked = true;
    options->SetModalResult(mrCancel);
  });
  options->Execute();
  EXPECT_TRUE(optionsChecked);
  EXPECT_TRUE(boxChecked);
  // The main window takes input again.
  EXPECT_TRUE(IsWindowEnabled(main->Handle()));
  EXPECT_FALSE(std::filesystem::exists(pdf));
  EXPECT_EQ(wm->TransientFor(X(options->Handle())), DefaultRootWindow(wm->X())) << "a dialog of the program's group";
}

}  // namespace
}  // namespace tw::app::test

namespace tw::app::test {
namespace {

using PlaceX11Test = WindowManagerFormsTest;

// A stored place off every screen: the window comes back with its window manager's frame (the
// title bar the user drags it by) on the screen, on the first showing, before any frame of the
// program was known.
TEST_F(PlaceX11Test, AStoredPlaceOffTheScreenKeepsTheFramedWindowOnIt) {
  TWinRegistry(SettingsKey()).WriteString("frmMain", "WindowPosition", "-3000,9000,640,480");
  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
  TfrmCal* cal = nullptr;
  StartCalendarRun(folder, main, options, cal);
  long extents[4] = {0, 0, 0, 0};  // left, right, top, bottom
  auto frameKnown = [&] {
    if (!Viewable(main->Handle())) return false;
    Atom type;
    int format;
    unsigned long count = 0, rest = 0;
    unsigned char* data = nullptr;
    bool known = false;
    if (XGetWindowProperty(wm->X(), X(main->Handle()), XInternAtom(wm->X(), "_NET_FRAME_EXTENTS", False), 0, 4, False,
                           XA_CARDINAL, &type, &format, &count, &rest, &data) == Success &&
        data != nullptr && count == 4) {
      for (int k = 0; k < 4; ++k) extents[k] = reinterpret_cast<long*>(data)[k];
      known = extents[2] > 0;
    }
    if (data != nullptr) XFree(data);
    return known;
  };
  ASSERT_TRUE(PumpUntil(frameKnown));
  int x = 0, y = 0;
  ::Window child;
  XTranslateCoordinates(wm->X(), X(main->Handle()), DefaultRootWindow(wm->X()), 0, 0, &x, &y, &child);
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(wm->X(), X(main->Handle()), &a));
  const int screenWidth = DisplayWidth(wm->X(), DefaultScreen(wm->X()));
  const int screenHeight = DisplayHeight(wm->X(), DefaultScreen(wm->X()));
  EXPECT_GE(y - extents[2], 0) << "the title bar is on the screen";
  EXPECT_GE(x - extents[0], 0);
  EXPECT_LE(x + a.width + extents[1], screenWidth) << "the right edge of the frame is on the screen";
  EXPECT_LE(y + a.height + extents[3], screenHeight);
}

}  // namespace
}  // namespace tw::app::test
