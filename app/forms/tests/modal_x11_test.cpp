// Modal windows on a real X server under a window manager: the options dialog and a message box
// stay above the windows they block, whatever the user clicks, and nothing typed, no shortcut
// and no close request reaches a blocked window.
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "app/forms/tests/wmforms_test_util.h"
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
