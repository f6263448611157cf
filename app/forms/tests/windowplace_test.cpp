// Window places through the real windows: the main window's place and size survive a restart
// whichever way it was closed, the dialogs come back where they were left (no drift from one
// opening to the next), and a window centred by its design opens centred.  Each case runs with
// no window manager and with a simulated window manager that frames the windows.
#include <cstdlib>

#include "app/forms/calendarwindow.h"
#include "app/forms/mainwindow.h"
#include "app/forms/optionswindow.h"
#include "app/forms/tests/appforms_test_util.h"
#include "app/lib/winregistry.h"
#include "platform/forms/menus/menus.h"
#include "platform/win/display.h"
#include "platform/win/winapi.h"
#include "richtext/controls/richtext.h"
#include "toolbars/dock.h"
#include "toolbars/toolbars.h"

namespace tw::app::test {
namespace {

// The thickness of the simulated window manager's frame: none, or a caption bar on top.
class WindowPlaceTest : public AppFormsTest, public ::testing::WithParamInterface<RECT> {
 protected:
  void SetUp() override {
    AppFormsTest::SetUp();
    toolbars::RegisterToolbarClasses();
    SimulateWindowManagerFrame(GetParam());
  }
  // Ends this "run" of the program and starts the next one on the same settings store.
  void Restart() { StartNextRun(GetParam()); }
  // Runs the form modally and ends it with Cancel as soon as it shows; where it showed.
  static TRect OpenModally(TCustomForm* form) {
    TRect shown{};
    Application()->OnIdle = [&](TObject*, bool& done) {
      done = false;
      if (form->Visible()) {
        shown = form->BoundsRect();
        form->SetModalResult(mrCancel);
      }
    };
    form->ShowModal();
    Application()->OnIdle = nullptr;
    return shown;
  }
  static void ExpectNear(const TRect& got, const TRect& want, const char* what) {
    EXPECT_LE(std::abs(got.Left - want.Left), 2) << what;
    EXPECT_LE(std::abs(got.Top - want.Top), 2) << what;
    EXPECT_LE(std::abs(got.Width() - want.Width()), 2) << what;
    EXPECT_LE(std::abs(got.Height() - want.Height()), 2) << what;
  }
};

TEST_P(WindowPlaceTest, TheMainWindowsPlaceSurvivesExitAndTheWindowManagersClose) {
  const TRect moved = Rect(150, 110, 150 + 560, 110 + 420);
  for (bool byWindowManager : {false, true}) {
    auto* main = Application()->CreateForm<TfrmMain>();
    main->ListingFolder = folder.string();
    main->Show();
    Pump();
    main->SetBoundsRect(Rect(moved.Left + byWindowManager, moved.Top, moved.Right + byWindowManager, moved.Bottom));
    if (byWindowManager)
      SendMessage(main->Handle(), WM_CLOSE, 0, 0);
    else
      main->pbExitClick(main->pbExit);
    Restart();
    auto* again = Application()->CreateForm<TfrmMain>();
    again->ListingFolder = folder.string();
    again->Show();
    Pump();
    ExpectNear(again->BoundsRect(),
               Rect(moved.Left + byWindowManager, moved.Top, moved.Right + byWindowManager, moved.Bottom),
               byWindowManager ? "closed by the window manager" : "closed by Exit");
    Restart();
  }
}

TEST_P(WindowPlaceTest, AMaximisedMainWindowComesBackMaximisedAndKeepsItsNormalPlace) {
  const TRect normal = Rect(150, 110, 150 + 560, 110 + 420);
  auto* main = Application()->CreateForm<TfrmMain>();
  main->ListingFolder = folder.string();
  main->Show();
  Pump();
  main->SetBoundsRect(normal);
  main->SetWindowState(TWindowState::wsMaximized);
  Pump();
  ASSERT_TRUE(IsZoomed(main->Handle()));
  main->pbExitClick(main->pbExit);
  Restart();
  main = Application()->CreateForm<TfrmMain>();
  main->ListingFolder = folder.string();
  main->Show();
  Pump();
  EXPECT_TRUE(IsZoomed(main->Handle())) << "maximised again";
  EXPECT_EQ(main->WindowState(), TWindowState::wsMaximized);
  main->SetWindowState(TWindowState::wsNormal);
  Pump();
  ExpectNear(main->BoundsRect(), normal, "restored to the normal place");
  // Left normal, it comes back normal.
  main->pbExitClick(main->pbExit);
  Restart();
  main = Application()->CreateForm<TfrmMain>();
  main->ListingFolder = folder.string();
  main->Show();
  Pump();
  EXPECT_FALSE(IsZoomed(main->Handle()));
  ExpectNear(main->BoundsRect(), normal, "normal after a normal exit");
}

TEST_P(WindowPlaceTest, DialogsOpenCentredFirstAndThenWhereTheyWereLeftWithoutDrifting) {
  Application()->CreateForm<TfrmMain>()->ListingFolder = folder.string();
  auto* options = Application()->CreateForm<TfrmOptions>();
  auto* about = Application()->CreateForm<TAboutBox>();
  // Designed centred: the first opening is centred on the screen.
  for (TCustomForm* form : {static_cast<TCustomForm*>(about), static_cast<TCustomForm*>(options)}) {
    const TRect first = OpenModally(form);
    EXPECT_LE(std::abs(first.Left - (Screen()->Width() - first.Width()) / 2), 1) << form->Name();
    EXPECT_LE(std::abs(first.Top - (Screen()->Height() - first.Height()) / 2), 1) << form->Name();
    // Moved by the user, it comes back there every time, and after a restart.
    form->SetBounds(70, 60, form->Width(), form->Height());
    form->Show();
    form->SetBounds(70, 60, form->Width(), form->Height());
    form->Hide();
    for (int i = 0; i < 3; ++i)
      ExpectNear(OpenModally(form), Bounds(70, 60, first.Width(), first.Height()), "opened again");
  }
  Restart();
  Application()->CreateForm<TfrmMain>()->ListingFolder = folder.string();
  auto* optionsAgain = Application()->CreateForm<TfrmOptions>();
  auto* aboutAgain = Application()->CreateForm<TAboutBox>();
  EXPECT_EQ(OpenModally(optionsAgain).TopLeft(), Point(70, 60));
  EXPECT_EQ(OpenModally(aboutAgain).TopLeft(), Point(70, 60));
}

TEST_P(WindowPlaceTest, AStoredPlaceKeepsTheFramedWindowOnTheScreen) {
  auto* main = Application()->CreateForm<TfrmMain>();
  main->ListingFolder = folder.string();
  main->Show();
  Pump();
  TWinRegistry(SettingsKey()).WriteString(FormKeyName(main), "WindowPosition", "0,0,400,300");
  main->Hide();
  TWinRegistry(SettingsKey()).WriteString(FormKeyName(main), "WindowPosition", "0,0,400,300");
  main->Show();
  const RECT frame = WindowManagerFrame(main->Handle());
  EXPECT_EQ(main->Left(), frame.Left);
  EXPECT_EQ(main->Top(), frame.Top) << "the window manager's caption stays on the screen";
}

// The transit view fills what the menu bar and the docks leave of the main window, scroll bars
// included: nothing of it lies below or beside the window's drawable area, on the first showing
// and after the window was made smaller and larger again.
TEST_P(WindowPlaceTest, TheTransitViewAndItsScrollBarsLieInsideTheMainWindow) {
  auto* main = Application()->CreateForm<TfrmMain>();
  main->ListingFolder = folder.string();
  main->Show();
  Pump();
  ShowPlainList(main, 200);
  Pump();
  const HWND form = main->Handle();
  const HWND rtext = main->rtext->Handle();
  const bool framed = GetParam().Top > 0;
  auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    RECT window, client, drawn;
    ASSERT_TRUE(GetWindowRect(form, &window));
    ASSERT_TRUE(GetClientRect(form, &client));
    TPoint origin{0, 0};
    ClientToScreen(form, &origin);
    // The client area is what the window shows below the menu bar (and inside the program's
    // own frame when no window manager draws one).
    if (framed) {
      EXPECT_EQ(origin.X, window.Left);
      EXPECT_EQ(origin.Y, window.Top + TMainMenu::BarHeight());
      EXPECT_EQ(client.Width(), window.Width());
      EXPECT_EQ(client.Height(), window.Height() - TMainMenu::BarHeight());
    }
    EXPECT_GE(origin.X, window.Left);
    EXPECT_GE(origin.Y, window.Top + TMainMenu::BarHeight());
    EXPECT_LE(origin.X + client.Width(), window.Right);
    EXPECT_LE(origin.Y + client.Height(), window.Bottom);
    EXPECT_EQ(main->ClientRect(), client);
    // The view, its border and both scroll bars: inside the client area, filling it below the
    // top dock down to its bottom edge.
    ASSERT_TRUE(GetWindowRect(rtext, &drawn));
    EXPECT_EQ(drawn.Left, origin.X);
    EXPECT_EQ(drawn.Top, origin.Y + main->DockTop->Height());
    EXPECT_EQ(drawn.Right, origin.X + client.Width());
    EXPECT_EQ(drawn.Bottom, origin.Y + client.Height());
    const auto style = static_cast<DWORD>(GetWindowLong(rtext, GWL_STYLE));
    EXPECT_NE(style & WS_VSCROLL, 0u) << "the long list scrolls down";
    RECT inner;
    ASSERT_TRUE(GetClientRect(rtext, &inner));
    TPoint innerOrigin{0, 0};
    ClientToScreen(rtext, &innerOrigin);
    const int hbar = (style & WS_HSCROLL) != 0 ? GetSystemMetrics(SM_CYHSCROLL) : 0;
    EXPECT_GE(innerOrigin.Y, drawn.Top);
    EXPECT_LE(innerOrigin.Y + inner.Height() + hbar, drawn.Bottom)
        << "a horizontal scroll bar lies within the view";
    EXPECT_LE(innerOrigin.X + inner.Width() + GetSystemMetrics(SM_CXVSCROLL), drawn.Right)
        << "the vertical scroll bar lies within the view";
    // The bottom dock (empty) sits on the client area's bottom edge, not below it.
    EXPECT_EQ(main->DockBottom->BoundsRect().Bottom, client.Height());
  };
  check("first showing");
  EXPECT_EQ(main->ClientWidth(), 660);
  EXPECT_EQ(main->ClientHeight(), 440);
  main->SetBounds(main->Left(), main->Top(), main->Width() - 120, main->Height() - 90);
  Pump();
  check("made smaller");
  main->SetBounds(main->Left(), main->Top(), main->Width() + 200, main->Height() + 150);
  Pump();
  check("made larger");
}

INSTANTIATE_TEST_SUITE_P(Frames, WindowPlaceTest,
                         ::testing::Values(RECT{0, 0, 0, 0}, RECT{4, 24, 4, 4}),
                         [](const ::testing::TestParamInfo<RECT>& info) {
                           return info.param.Top > 0 ? std::string("WithWindowManagerFrame")
                                                     : std::string("WithoutWindowManager");
                         });

}  // namespace
}  // namespace tw::app::test
