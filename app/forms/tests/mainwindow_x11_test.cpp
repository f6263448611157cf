// The main window on a real X server under openbox, as a user handles it with the window
// manager: the date bar floated off the window and reached with Alt+Tab, the window maximised
// and restored by its title bar and by the program, and started again.
// The program's headers come before the X headers, whose macros (None ...) they would trip on.
#include <algorithm>

#include "app/lib/winregistry.h"
#include "entry/fkattachedbutton.h"
#include "entry/fkpicturefield.h"
#include "richtext/controls/richtext.h"
#include "toolbars/dock.h"
#include "toolbars/floatparent.h"
#include "toolbars/toolbar.h"
#include "app/forms/tests/wmforms_test_util.h"

namespace tw::app::test {
namespace {

class MainWindowX11Test : public WindowManagerFormsTest {
 protected:
  // The program and the server agree that the window is (not) maximised and where it is, and
  // stay so for a moment.
  bool Settled(HWND h, bool maximized) {
    auto agree = [&] {
      XWindowAttributes a{};
      int x = 0, y = 0;
      ::Window child;
      XGetWindowAttributes(wm->X(), X(h), &a);
      XTranslateCoordinates(wm->X(), X(h), DefaultRootWindow(wm->X()), 0, 0, &x, &y, &child);
      Atom type, *states = nullptr;
      int format;
      unsigned long count = 0, rest = 0;
      XGetWindowProperty(wm->X(), X(h), XInternAtom(wm->X(), "_NET_WM_STATE", False), 0, 16, False, XA_ATOM, &type,
                         &format, &count, &rest, reinterpret_cast<unsigned char**>(&states));
      const Atom horz = XInternAtom(wm->X(), "_NET_WM_STATE_MAXIMIZED_HORZ", False);
      const bool managerMaximized = states != nullptr && std::find(states, states + count, horz) != states + count;
      if (states) XFree(states);
      RECT r;
      GetWindowRect(h, &r);
      return IsZoomed(h) == maximized && managerMaximized == maximized && r == Bounds(x, y, a.width, a.height);
    };
    return PumpUntil(agree) && (PumpUntil([] { return false; }, 15), agree());
  }
  void DoubleClickTitle(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    wm->ClickOnScreen(r.Left + r.Width() / 3, r.Top - WindowManagerFrame(h).Top / 2);
    wm->ClickOnScreen(r.Left + r.Width() / 3, r.Top - WindowManagerFrame(h).Top / 2);
  }
  // True once the window manager has handled everything sent to it before: a frame asked for a
  // window of the test's own is answered after them.
  bool WindowManagerCaughtUp() {
    ::Display* x = wm->X();
    const ::Window probe = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 10, 10, 0, 0, 0);
    const Atom extents = XInternAtom(x, "_NET_FRAME_EXTENTS", False);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = probe;
    e.xclient.message_type = XInternAtom(x, "_NET_REQUEST_FRAME_EXTENTS", False);
    e.xclient.format = 32;
    XSendEvent(x, DefaultRootWindow(x), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(x);
    const bool answered = PumpUntil([&] {
      Atom type;
      int format;
      unsigned long count = 0, rest = 0;
      unsigned char* data = nullptr;
      XGetWindowProperty(x, probe, extents, 0, 4, False, XA_CARDINAL, &type, &format, &count, &rest, &data);
      if (data) XFree(data);
      return count == 4;
    });
    XDestroyWindow(x, probe);
    return answered;
  }
  // Alt+Tab as a hand gives it: Alt is let go once the window manager has had a moment to take
  // Tab (all at once, it would find Alt let go and stay where it was).
  void AltTab() {
    ::Display* x = wm->X();
    XTestFakeKeyEvent(x, XKeysymToKeycode(x, XK_Alt_L), True, CurrentTime);
    XTestFakeKeyEvent(x, XKeysymToKeycode(x, XK_Tab), True, CurrentTime);
    XTestFakeKeyEvent(x, XKeysymToKeycode(x, XK_Tab), False, CurrentTime);
    XFlush(x);
    PumpUntil([] { return false; }, 10);
    XTestFakeKeyEvent(x, XKeysymToKeycode(x, XK_Alt_L), False, CurrentTime);
    XFlush(x);
  }

  // The program's windows made and shown, with a person whose list has a long interpretation
  // for every aspect; `sides`: the bars on the left and right docks.
  void Start(bool sides) {
    main = Application()->CreateForm<TfrmMain>();
    main->ListingFolder = folder.string();
    main->Texts = &texts;
    options = Application()->CreateForm<TfrmOptions>();
    cal = Application()->CreateForm<TfrmCal>();
    EnterPerson(*options, 1, "Bob Stone");
    options->OkClick(options->Ok);
    main->Show();
    ASSERT_TRUE(PumpUntil([&] { return Viewable(main->Handle()); }));
    if (!sides) return;
    main->ToolbarX->SetDockedTo(main->DockLeft);
    main->ToolbarTime->SetDockedTo(main->DockRight);
  }
  // Ends this run of the program and starts the next on the same settings and display.
  void Restart(bool sides) {
    TSingleInstance::ReleaseEarly();
    DoneApplication();
    SelectDisplay("x11");
    ResetWindowSystem();
    InstallDialogs();
    Application()->SetName("Tidewell");
    Application()->SetTitle("Corvane - Tidewell");
    Start(sides);
  }
  // A maximise or a restore by the title bar or by the program, awaited.
  ::testing::AssertionResult Change(bool byManager, bool maximize) {
    if (byManager) DoubleClickTitle(main->Handle());
    else main->SetWindowState(maximize ? TWindowState::wsMaximized : TWindowState::wsNormal);
    if (Settled(main->Handle(), maximize)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << (maximize ? "not maximised" : "not restored");
  }

  struct LongTexts : ITransitTexts {
    bool FindText(const std::string&, int, int, int, std::string& text) override {
      text.clear();
      for (int w = 0; w < 40; ++w) text += "word" + std::to_string(w) + " ";
      return true;
    }
  } texts;
  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
  TfrmCal* cal = nullptr;
};

// The date bar dragged off the window floats; a click on its caption leaves the keys with the
// main window; Alt+Tab brings the keyboard to it (to the date field first, later to the control
// it was left on); the date is typed and the calendar opened and closed there by keys alone.
TEST_F(MainWindowX11Test, TheFloatingDateBarIsReachedAndUsedByKeyboard) {
  StartWithKeyboard(main, options, cal);
  main->rtext->SetFocus();  // the user was reading the list
  toolbars::TToolbarX* bar = main->ToolbarTime;
  entry::TFkPictureField& field = *main->dfTransDate;
  const TPoint grip = bar->ClientToScreen(Point(5, bar->Height() / 2));
  XTestFakeMotionEvent(wm->X(), -1, grip.X, grip.Y, CurrentTime);
  XTestFakeButtonEvent(wm->X(), Button1, True, CurrentTime);
  for (int i = 1; i <= 8; ++i) {
    PumpUntil([] { return false; }, 2);
    XTestFakeMotionEvent(wm->X(), -1, grip.X + (500 - grip.X) * i / 8, grip.Y + (800 - grip.Y) * i / 8, CurrentTime);
  }
  XTestFakeButtonEvent(wm->X(), Button1, False, CurrentTime);
  ASSERT_TRUE(PumpUntil([&] { return bar->DockedTo() == nullptr && Viewable(bar->FloatParent()->Handle()); }));
  const HWND floating = bar->FloatParent()->Handle();
  // The window manager may have focused the new window: the user starts from the main window.
  wm->ActivateAsUser(X(main->Handle()));
  ASSERT_TRUE(PumpUntil([&] { return wm->FocusedWindow() == X(main->Handle()); }));
  // The user clicks where the bar shows: where the window manager put it, as the program knows.
  ASSERT_TRUE(WindowManagerCaughtUp());
  EXPECT_TRUE(PlaceKnown(floating)) << "the program lost where the window manager put the bar";
  // A click on the bar's caption leaves the keys, and the active title, with the main window
  // (the window manager may focus the bar for the click; the bar hands the keys back).
  const TRect floatRect = bar->FloatParent()->BoundsRect();
  wm->ClickOnScreen(floatRect.Left + 8, floatRect.Top + toolbars::FrameHeight() + toolbars::SmallCaptionHeight() / 2);
  ASSERT_TRUE(WindowManagerCaughtUp());
  EXPECT_TRUE(PumpUntil([&] {
    return wm->FocusedWindow() == X(main->Handle()) && GetActiveWindow() == main->Handle() &&
           GetFocus() == main->rtext->Handle();
  })) << "the click took the keys from the main window";
  EXPECT_EQ(bar->FloatParent()->BoundsRect(), floatRect);
  auto altTabTo = [&](HWND window, HWND control) {
    AltTab();
    return PumpUntil([&] { return wm->FocusedWindow() == X(window) && GetFocus() == control; });
  };
  ASSERT_TRUE(altTabTo(floating, field.Handle())) << "Alt+Tab did not bring the keys to the date field";
  wm->PressKey(XK_Home);
  const int lists = main->ListsStarted;
  for (KeySym digit : {XK_0, XK_3, XK_0, XK_4, XK_1, XK_8, XK_1, XK_5}) {
    wm->PressKey(digit);
    PumpUntil([] { return true; });
  }
  EXPECT_TRUE(PumpUntil([&] { return main->ListsStarted == lists + 1 && GetFocus() == main->dfTransBtn->Handle(); }))
      << "the typed date made no list or the focus did not move on to the button";
  EXPECT_EQ(field.GetAsDayNumber(), entry::DMYToDayNumber(4, 3, 1815, 0));
  // Closed either way, the calendar hands the keys straight back to the bar: were they dropped
  // to the root window, the window manager would give them to the main window.
  wm->FocusFellToRoot();
  for (KeySym close : {XK_Escape, XK_Return}) {
    SCOPED_TRACE(XKeysymToString(close));
    bool shown = false;
    cal->OnShow = [&](TObject*) { Soon([&] { shown = true, wm->PressKey(close); }); };
    wm->PressKey(XK_space);
    EXPECT_TRUE(PumpUntil([&] { return shown && !IsWindowVisible(cal->Handle()); })) << "Space opened no calendar";
    cal->OnShow = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return wm->FocusedWindow() == X(floating) && GetFocus() == main->dfTransBtn->Handle(); }))
        << "the keys did not come back";
    EXPECT_FALSE(wm->FocusFellToRoot()) << "the keys went by the root window";
  }
  // To the main window and back: the bar's button has the keys again; Shift+Tab, an arrow.
  AltTab();
  ASSERT_TRUE(PumpUntil([&] { return wm->FocusedWindow() == X(main->Handle()); }));
  EXPECT_TRUE(altTabTo(floating, main->dfTransBtn->Handle())) << "Alt+Tab did not go back to the button";
  wm->PressKey(XK_Tab, {XK_Shift_L});
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == field.Handle(); })) << "Shift+Tab did not go back to the field";
  wm->PressKey(XK_Up);
  EXPECT_TRUE(PumpUntil([&] { return field.GetAsDayNumber() == entry::DMYToDayNumber(4, 3, 1816, 0); }));
}

// Maximised and restored in every order by the window manager's title bar and by the program,
// and over a restart: the window always comes back to its normal place, on the screen, and that
// place is stored with the maximised state.
TEST_F(MainWindowX11Test, TheNormalPlaceSurvivesEveryMaximiseAndRestore) {
  const TRect normal = Bounds(120, 80, 600, 420);
  auto step = [&](bool byManager, bool maximize) {
    SCOPED_TRACE(std::string(maximize ? "maximised" : "restored") + (byManager ? " by the title bar" : " by the program"));
    ASSERT_TRUE(Change(byManager, maximize));
    if (!maximize) {
      EXPECT_EQ(main->BoundsRect(), normal);
    }
    EXPECT_LE(main->BoundsRect().Bottom + WindowManagerFrame(main->Handle()).Bottom, Screen()->Height());
  };
  Start(false);
  main->SetBoundsRect(normal);
  ASSERT_TRUE(Settled(main->Handle(), false));
  for (auto [maxBy, restoreBy] : {std::pair{true, true}, {true, true}, {false, false}, {true, false}, {false, true}})
    for (bool maximize : {true, false}) step(maximize ? maxBy : restoreBy, maximize);
  step(true, true);
  const std::string section = FormKeyName(main);
  main->pbExitClick(main->pbExit);
  EXPECT_EQ(TWinRegistry(SettingsKey()).ReadString(section, "WindowPosition", ""), "80,120,600,420");
  EXPECT_EQ(TWinRegistry(SettingsKey()).ReadString(section, "WindowMaximized", ""), "1");
  Restart(false);
  ASSERT_TRUE(Settled(main->Handle(), true)) << "started maximised";
  for (bool byManager : {true, false, true}) {
    step(byManager, false);
    step(true, true);
  }
}

// Bars on both side docks, the window started maximised with its list made as it shows: after
// every restore and maximise the list is laid out in the view it has then (a scroll bar that
// comes with the new size included), and the view lies between the side docks.
TEST_F(MainWindowX11Test, TheListFitsItsViewAfterEveryRestoreAndMaximise) {
  Start(true);
  main->SetBoundsRect(Bounds(120, 80, 600, 420));
  ASSERT_TRUE(Change(false, true));
  main->pbExitClick(main->pbExit);
  Restart(false);
  ASSERT_TRUE(Settled(main->Handle(), true));
  ASSERT_EQ(main->ToolbarTime->DockedTo(), main->DockRight);
  for (auto [byManager, maximize] : {std::pair{true, false}, {true, true}, {false, false}, {false, true}}) {
    SCOPED_TRACE(std::string(maximize ? "maximised" : "restored") + (byManager ? " by the title bar" : " by the program"));
    ASSERT_TRUE(Change(byManager, maximize));
    auto* engine = main->rtext->RtfText();
    for (richtext::PTParagraph p = engine->FirstPar; p != nullptr; p = p->Next)
      for (richtext::PTLine l = p->FirstLine; l != engine->Get_LastLine(p)->Next; l = l->Next)
        ASSERT_LE(engine->LeftIndent(p, l) + engine->LineWidth(l), main->rtext->ClientWidth()) << "a line runs past the view";
    EXPECT_EQ(main->rtext->BoundsRect().Right, main->DockRight->Left());
    EXPECT_EQ(main->DockRight->BoundsRect().Right, main->ClientWidth());
  }
}

}  // namespace
}  // namespace tw::app::test
