// The calendar pop-up on a real X server under openbox, driven by the keyboard alone from the
// transit date's and the birth date's "..." buttons: the keys reach it although the window
// manager never focuses a window without a frame, Alt+F4 and a click on the window below
// behave, and the keyboard goes back to the window below when it closes.
#include <functional>

#include "app/forms/calendarwindow.h"
#include "app/forms/tests/wmforms_test_util.h"
#include "platform/forms/hintwindow.h"
#include "entry/date/dayarith.h"
#include "entry/fkattachedbutton.h"
#include "entry/fkcalendar.h"
#include "entry/fkpicturefield.h"

namespace tw::app::test {
namespace {

class CalendarX11Test : public WindowManagerFormsTest {
 protected:
  void SetUp() override {
    WindowManagerFormsTest::SetUp();
    if (IsSkipped()) return;
    StartWithKeyboard(main, options, cal);
  }
  static entry::DayNumber Day(int d, int m, int y) { return entry::DMYToDayNumber(d, m, y, 0); }
  entry::DayNumber Shown() const { return cal->Calendar->GetDate(); }
  // The calendar has the keyboard: it shows, the server gives it the keys and nobody else can.
  bool CalendarHasKeyboard() {
    return Viewable(cal->Handle()) && GetActiveWindow() == cal->Handle() && wm->FocusedWindow() == X(cal->Handle()) &&
           wm->KeyboardGrabbed();
  }
  // From the date field, as the user does: Tab to the "..." button, Space; `inside` runs while
  // the calendar shows.  Answers whether the calendar showed and closed.
  // The next showing of the calendar runs `inside` once the calendar has the keyboard (sets
  // `ran`); without the keyboard it is cancelled.
  void WhenShown(bool& ran, std::function<void()> inside) {
    cal->OnShow = [this, &ran, inside](TObject*) {
      Soon([this, &ran, inside] {
        ran = true;
        if (!PumpUntil([&] { return CalendarHasKeyboard(); })) {
          ADD_FAILURE() << "the calendar did not get the keyboard";
          cal->SetModalResult(mrCancel);
          return;
        }
        inside();
      });
    };
  }
  bool OpenFrom(entry::TFkPictureField& field, const std::function<void()>& inside) {
    bool ran = false;
    WhenShown(ran, inside);
    field.SetFocus();
    if (!PumpUntil([&] { return GetFocus() == field.Handle(); })) ADD_FAILURE() << "the field did not take the focus";
    wm->PressKey(XK_Tab);
    if (!PumpUntil([&] { return GetFocus() != field.Handle(); })) ADD_FAILURE() << "Tab did not leave the field";
    wm->PressKey(XK_space);
    const bool closed = PumpUntil([&] { return ran && !IsWindowVisible(cal->Handle()); });
    cal->OnShow = nullptr;
    return closed;
  }
  // A key, and the loop run until the calendar shows `day`.
  ::testing::AssertionResult Key(KeySym key, entry::DayNumber day) {
    wm->PressKey(key);
    if (PumpUntil([&] { return Shown() == day; })) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << XKeysymToString(key) << " left the calendar on day " << Shown()
                                         << ", not " << day << (CalendarHasKeyboard() ? "" : "; it lost the keyboard");
  }
  // After the calendar: the window below has the keyboard again, nobody holds it grabbed.
  void ExpectKeyboardBackAt(TCustomForm* form) {
    EXPECT_TRUE(PumpUntil([&] {
      return GetActiveWindow() == form->Handle() && wm->FocusedWindow() == X(form->Handle()) && !wm->KeyboardGrabbed();
    })) << "the keyboard stays with the closed calendar";
  }

  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
  TfrmCal* cal = nullptr;
};

TEST_F(CalendarX11Test, TheTransitDateIsChosenByKeyboardAlone) {
  entry::TFkPictureField& field = *main->dfTransDate;
  field.SetAsDayNumber(Day(4, 3, 2024));
  ASSERT_TRUE(OpenFrom(field, [&] {
    EXPECT_EQ(Shown(), Day(4, 3, 2024));
    EXPECT_TRUE(Key(XK_Right, Day(5, 3, 2024)));
    EXPECT_TRUE(Key(XK_Down, Day(12, 3, 2024)));
    EXPECT_TRUE(Key(XK_Left, Day(11, 3, 2024)));
    EXPECT_TRUE(Key(XK_Up, Day(4, 3, 2024)));
    EXPECT_TRUE(Key(XK_End, Day(31, 3, 2024)));
    EXPECT_TRUE(Key(XK_Next, Day(30, 4, 2024))) << "Page Down: a month on";
    EXPECT_TRUE(Key(XK_Home, Day(1, 4, 2024)));
    EXPECT_TRUE(Key(XK_Prior, Day(1, 3, 2024))) << "Page Up: a month back";
    // A click on the main window below: the calendar stays above it and keeps the keys.
    // The press is awaited (the blocked window beeps): a window manager may hand it on late,
    // and it must not arrive after the calendar has closed.
    const TPoint below = main->ClientToScreen(Point(main->ClientWidth() - 20, main->ClientHeight() - 20));
    const unsigned beeps = MessageBeepCount();
    wm->ClickOnScreen(below.X, below.Y);
    EXPECT_TRUE(PumpUntil([&] {
      return MessageBeepCount() != beeps && CalendarHasKeyboard() && wm->ShownAbove(X(cal->Handle()), X(main->Handle()));
    })) << "the click did not reach the blocked window, or the calendar went under it or lost the keys";
    EXPECT_TRUE(Key(XK_Right, Day(2, 3, 2024)));
    wm->PressKey(XK_Return);
  }));
  EXPECT_EQ(field.GetAsDayNumber(), Day(2, 3, 2024)) << "Enter takes the chosen day";
  ExpectKeyboardBackAt(main);

  // Escape, Alt+F4 and a digit close it without a change, and only it.
  for (auto [key, modifier] : {std::pair<KeySym, KeySym>{XK_Escape, 0}, std::pair<KeySym, KeySym>{XK_F4, XK_Alt_L},
                               std::pair<KeySym, KeySym>{XK_5, 0}}) {
    SCOPED_TRACE(XKeysymToString(key));
    ASSERT_TRUE(OpenFrom(field, [&, key = key, modifier = modifier] {
      EXPECT_TRUE(Key(XK_Right, Day(3, 3, 2024)));
      if (modifier != 0) wm->PressKey(key, {modifier});
      else wm->PressKey(key);
    }));
    EXPECT_EQ(field.GetAsDayNumber(), Day(2, 3, 2024));
    EXPECT_FALSE(Application()->Terminated());
    EXPECT_TRUE(Viewable(main->Handle()));
    ExpectKeyboardBackAt(main);
  }
}

// The mouse rests on a spinner of the open calendar: its hint shows below the pointer, above
// the calendar, without taking the keyboard; a key ends it and reaches the calendar.
TEST_F(CalendarX11Test, ASpinnersHintShowsAboveTheCalendarAndAKeyEndsIt) {
  entry::TFkPictureField& field = *main->dfTransDate;
  field.SetAsDayNumber(Day(4, 3, 2024));
  ASSERT_TRUE(OpenFrom(field, [&] {
    const TPoint at = cal->SpinnerMonth->ClientToScreen(Point(cal->SpinnerMonth->Width() / 4, 5));
    XTestFakeMotionEvent(wm->X(), -1, at.X, at.Y, CurrentTime);
    XFlush(wm->X());
    EXPECT_TRUE(PumpUntil([&] { return HintWindowHandle() != 0 && Viewable(HintWindowHandle()); }))
        << "no hint over the spinner";
    if (const HWND hint = HintWindowHandle(); hint != 0) {
      char text[100] = {};
      GetWindowText(hint, text, sizeof text);
      EXPECT_STREQ(text, "Change the month");
      EXPECT_TRUE(wm->ShownAbove(X(hint), X(cal->Handle()))) << "the hint is under the calendar";
      RECT r;
      GetWindowRect(hint, &r);
      EXPECT_GT(r.Top, at.Y);
    }
    EXPECT_TRUE(CalendarHasKeyboard()) << "the hint took the keyboard";
    EXPECT_TRUE(Key(XK_Right, Day(5, 3, 2024)));
    EXPECT_TRUE(PumpUntil([&] { return HintWindowHandle() == 0; })) << "the key left the hint showing";
    wm->PressKey(XK_Escape);
  }));
}

// The user turns to another program while the calendar is open: the keys go there, and the
// calendar stays open; back in the program, the calendar has the keys again.
TEST_F(CalendarX11Test, AnotherProgramGetsTheKeysUntilTheUserComesBack) {
  entry::TFkPictureField& field = *main->dfTransDate;
  field.SetAsDayNumber(Day(4, 3, 2024));
  wm->ShowOtherProgramWindow(900, 600, 200, 150);
  const TPoint below = main->ClientToScreen(Point(main->ClientWidth() - 20, main->ClientHeight() - 20));
  wm->ClickOnScreen(below.X, below.Y);  // back from the new window, which the window manager focused
  ASSERT_TRUE(PumpUntil([&] { return wm->FocusedWindow() == X(main->Handle()) && GetActiveWindow() == main->Handle(); }));
  bool checked = false;
  WhenShown(checked, [&] {
    wm->ClickOnScreen(950, 650);
    // The window manager gives the other program the keyboard (its window or its frame).
    EXPECT_TRUE(PumpUntil([&] {
      const ::Window focus = wm->FocusedWindow();
      return focus != X(cal->Handle()) && focus != X(main->Handle()) && !wm->KeyboardGrabbed();
    })) << "the calendar keeps the keyboard from the other program";
    wm->PressKey(XK_Right);
    PumpUntil([] { return false; }, 30);
    EXPECT_EQ(Shown(), Day(4, 3, 2024)) << "a key meant for the other program moved the calendar";
    EXPECT_TRUE(Viewable(cal->Handle()));
    const unsigned beeps = MessageBeepCount();
    wm->ClickOnScreen(below.X, below.Y);
    EXPECT_TRUE(PumpUntil([&] { return MessageBeepCount() != beeps && CalendarHasKeyboard(); }))
        << "back in the program, the calendar has no keys";
    EXPECT_TRUE(Key(XK_Right, Day(5, 3, 2024)));
    wm->PressKey(XK_Return);
  });
  main->dfTransBtnClick(main->dfTransBtn);
  cal->OnShow = nullptr;
  EXPECT_TRUE(checked);
  EXPECT_EQ(field.GetAsDayNumber(), Day(5, 3, 2024));
  ExpectKeyboardBackAt(main);
}

// A date typed into the field: the field is full after its last digit and moves on to the
// "..." button by itself; the list is made for the date, and Space opens the calendar on it.
TEST_F(CalendarX11Test, ATypedDateMovesOnToTheButtonWhereSpaceOpensTheCalendarOnIt) {
  entry::TFkPictureField& field = *main->dfTransDate;
  const TPoint at = field.ClientToScreen(Point(field.Width() / 2, field.Height() / 2));
  wm->ClickOnScreen(at.X, at.Y);  // the user clicks into the field
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == field.Handle(); }));
  PumpUntil([] { return false; }, 20);  // what the click and the focus start have finished
  wm->PressKey(XK_Home);
  const int lists = main->ListsStarted;
  for (KeySym digit : {XK_0, XK_3, XK_0, XK_4, XK_1, XK_8, XK_1, XK_5}) {
    wm->PressKey(digit);
    PumpUntil([] { return true; });
  }
  ASSERT_TRUE(PumpUntil([&] { return main->ListsStarted == lists + 1 && GetFocus() == main->dfTransBtn->Handle(); }))
      << "the focus is on " << (GetFocus() == field.Handle() ? "the field" : "another control");
  entry::DayNumber shown = -1;
  bool ran = false;
  WhenShown(ran, [&] {
    shown = Shown();
    wm->PressKey(XK_Escape);
  });
  wm->PressKey(XK_space);
  EXPECT_TRUE(PumpUntil([&] { return ran && !IsWindowVisible(cal->Handle()); }));
  EXPECT_EQ(shown, Day(4, 3, 1815));
  cal->OnShow = nullptr;
}

TEST_F(CalendarX11Test, TheBirthDateIsChosenByKeyboardAloneOverTheOptions) {
  bool checked = false;
  Soon([&] {
    if (!PumpUntil([&] { return Viewable(options->Handle()) && wm->FocusedWindow() == X(options->Handle()); })) {
      ADD_FAILURE() << "the options did not show";
      options->SetModalResult(mrCancel);
      return;
    }
    entry::TFkPictureField& field = *options->dfDate;
    field.SetAsDayNumber(Day(17, 5, 1980));
    EXPECT_TRUE(OpenFrom(field, [&] {
      EXPECT_EQ(Shown(), Day(17, 5, 1980));
      EXPECT_TRUE(wm->ShownAbove(X(cal->Handle()), X(options->Handle())));
      EXPECT_TRUE(Key(XK_Next, Day(17, 6, 1980)));
      EXPECT_TRUE(Key(XK_Left, Day(16, 6, 1980)));
      wm->PressKey(XK_Return);
    }));
    EXPECT_EQ(field.GetAsDayNumber(), Day(16, 6, 1980));
    ExpectKeyboardBackAt(options);
    checked = true;
    options->SetModalResult(mrCancel);
  });
  options->Execute();
  EXPECT_TRUE(checked);
  ExpectKeyboardBackAt(main);
}

}  // namespace
}  // namespace tw::app::test
