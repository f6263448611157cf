// Keyboard and mouse: routing to the focused window and the hit child, characters in
// Windows-1252, focus and activation messages, capture, double clicks, key state, cursors.
#include "platform/win/tests/winfixture.h"

namespace tw::wintest {
namespace {

using InputTest = WinTest;

std::string CharsOf(const std::vector<Received>& msgs) {
  std::string s;
  for (const auto& r : msgs) s += static_cast<char>(r.wParam);
  return s;
}

TEST_F(InputTest, KeysReachTheFocusedWindowAsKeyDownCharAndKeyUp) {
  HWND top = Top();
  HWND edit = Child(top, 10, 10, 50, 20);
  HWND other = Child(top, 10, 40, 50, 20);
  ProcessMessages();
  SetFocus(edit);
  log.clear();
  InjectKey('A');                    // lower case without Shift
  InjectKeyDown(VK_SHIFT);
  InjectKey('B');
  InjectKey('1');                    // '!' with Shift
  InjectKeyUp(VK_SHIFT);
  InjectKey(VK_OEM_7, '\xE4');       // a key that types 'ä' (Windows-1252 0xE4)
  InjectText("\x80\xFC");            // '€' and 'ü' typed without keys
  ProcessMessages();
  EXPECT_EQ(CharsOf(Of(WM_CHAR)), std::string("aB!\xE4\x80\xFC"));
  for (const auto& r : log) EXPECT_NE(r.hwnd, other);
  auto downs = Of(WM_KEYDOWN);
  ASSERT_FALSE(downs.empty());
  EXPECT_EQ(downs.front().wParam, WPARAM{'A'});
  EXPECT_EQ(downs.front().hwnd, edit);
  // Each character follows its key-down, before the key-up.
  EXPECT_EQ(Sequence(edit, {WM_KEYDOWN, WM_CHAR, WM_KEYUP})[0], WM_KEYDOWN);
  EXPECT_EQ(Sequence(edit, {WM_KEYDOWN, WM_CHAR, WM_KEYUP})[1], WM_CHAR);
  EXPECT_EQ(Sequence(edit, {WM_KEYDOWN, WM_CHAR, WM_KEYUP})[2], WM_KEYUP);
}

TEST_F(InputTest, KeyDownsPostedByTheProgramAreTranslatedFromTheKey) {
  HWND top = Top();
  ProcessMessages();
  PostMessage(top, WM_KEYDOWN, 'K', 1);
  PostMessage(top, WM_KEYDOWN, VK_HOME, 1);
  ProcessMessages();
  EXPECT_EQ(CharsOf(Of(WM_CHAR)), "k");
}

TEST_F(InputTest, ControlKeysTypeControlCharactersAndSpecialKeysTypeNone) {
  HWND top = Top();
  ProcessMessages();
  SetFocus(top);
  log.clear();
  InjectKeyDown(VK_CONTROL);
  InjectKey('C');
  InjectKeyUp(VK_CONTROL);
  InjectKey(VK_LEFT);
  InjectKey(VK_DELETE);
  InjectKey(VK_BACK);
  InjectKey(VK_RETURN);
  ProcessMessages();
  EXPECT_EQ(CharsOf(Of(WM_CHAR)), std::string("\x03\x08\x0D"));
  EXPECT_EQ(Of(WM_KEYDOWN).size(), 6u);
  // Ctrl and Alt together (a shortcut such as Ctrl+Alt+E) type nothing; a layout's AltGr
  // character, which the keyboard names, still comes.
  log.clear();
  InjectKeyDown(VK_CONTROL);
  InjectKeyDown(VK_MENU);
  InjectKey('E');
  InjectKey('E', '\x80');
  InjectKeyUp(VK_MENU);
  InjectKeyUp(VK_CONTROL);
  ProcessMessages();
  EXPECT_EQ(CharsOf(Of(WM_CHAR)), std::string("\x80"));
  EXPECT_TRUE(Of(WM_SYSCHAR).empty());
}

TEST_F(InputTest, AWindowBlockedByAModalOneTakesNoInputAndHandsActivationToIt) {
  const auto input = [](UINT m) {
    return (m >= WM_KEYDOWN && m <= WM_SYSCHAR) || (m >= WM_MOUSEMOVE && m <= WM_MOUSEWHEEL) ||
           (m >= WM_NCMOUSEMOVE && m <= WM_NCMBUTTONDBLCLK) || m == WM_SYSCOMMAND || m == WM_CLOSE;
  };
  HWND main = Top(0, 0, 300, 200, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  HWND edit = Child(main, 10, 10, 50, 20);
  HWND dialog = Top(50, 50, 120, 80, WS_POPUP | WS_CAPTION | WS_VISIBLE);
  HWND box = Top(60, 60, 60, 40, WS_POPUP | WS_CAPTION | WS_VISIBLE);
  SetWindowLongPtr(dialog, GWLP_HWNDPARENT, static_cast<LONG_PTR>(main));
  SetWindowLongPtr(box, GWLP_HWNDPARENT, static_cast<LONG_PTR>(dialog));
  SetWindowLongPtr(main, GWLP_HWNDPARENT, static_cast<LONG_PTR>(box));  // no ownership cycle
  EXPECT_EQ(GetWindow(main, GW_OWNER), 0u);
  ProcessMessages();
  SetFocus(edit);
  // Blocked while still the active window (as a modal window is about to show): Alt+F4 and
  // typing do not reach it.
  EnableWindow(main, false);
  log.clear();
  InjectKeyDown(VK_MENU);
  InjectKey(VK_F4);
  InjectKeyUp(VK_MENU);
  InjectKey('A');
  ProcessMessages();
  for (const auto& r : log) EXPECT_FALSE(r.hwnd == main && input(r.msg)) << r.msg;
  EXPECT_TRUE(IsWindow(main));
  // The main window is blocked by the dialog, the dialog by the box over it.
  EnableWindow(dialog, false);
  SetActiveWindow(box);
  EXPECT_EQ(SetFocus(edit), 0u) << "no control of a blocked window takes the focus";
  log.clear();
  SetActiveWindow(main);
  EXPECT_EQ(GetActiveWindow(), box) << "activating the blocked window brings up the box";
  // Keys, the wheel and clicks meant for the blocked windows reach none of them.
  InjectMouseDown(20, 150);
  InjectMouseUp(20, 150);
  InjectMouseWheel(20, 150, -WHEEL_DELTA);
  ProcessMessages();
  for (const auto& r : log) EXPECT_FALSE(input(r.msg) && (r.hwnd == main || r.hwnd == edit || r.hwnd == dialog)) << r.msg;
  EXPECT_EQ(GetActiveWindow(), box);
  EXPECT_EQ(WindowFromPoint(POINT{65, 65}), box) << "the box stays above the windows it blocks";
  // Raising the main window lifts what it owns with it: the dialog, and the box over that.
  SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(WindowFromPoint(POINT{65, 65}), box);
  EXPECT_EQ(WindowFromPoint(POINT{55, 120}), dialog);
}

TEST_F(InputTest, AltKeysComeAsSystemKeysAndGoUpToTheParent) {
  HWND top = Top();
  HWND edit = Child(top, 10, 10, 50, 20);
  ProcessMessages();
  SetFocus(edit);
  log.clear();
  InjectKeyDown(VK_MENU);
  InjectKey('X');
  InjectKeyUp(VK_MENU);
  ProcessMessages();
  auto sys = Of(WM_SYSKEYDOWN);
  ASSERT_GE(sys.size(), 2u);
  EXPECT_EQ(sys[0].hwnd, edit);
  bool parentSaw = false;
  for (const auto& r : sys) parentSaw |= r.hwnd == top && r.wParam == 'X';
  EXPECT_TRUE(parentSaw);
  EXPECT_NE(Of(WM_SYSCHAR).size(), 0u);
  EXPECT_TRUE(Of(WM_CHAR).empty());
  // The top-level window turns Alt+character into a menu command.
  bool keymenu = false;
  for (const auto& r : Of(WM_SYSCOMMAND)) keymenu |= (r.wParam & 0xFFF0) == SC_KEYMENU;
  EXPECT_TRUE(keymenu);
}

TEST_F(InputTest, AltWithNumericPadDigitsTypesTheCharacterOfThatCode) {
  HWND top = Top();
  HWND edit = Child(top, 10, 10, 50, 20);
  ProcessMessages();
  SetFocus(edit);
  log.clear();
  InjectKeyDown(VK_MENU);
  InjectKey(VK_NUMPAD0);
  InjectKey(VK_NUMPAD2);
  InjectKey(VK_NUMPAD2);
  InjectKey(VK_NUMPAD8);
  InjectKeyUp(VK_MENU);
  ProcessMessages();
  auto chars = Of(WM_CHAR);
  ASSERT_EQ(chars.size(), 1u);
  EXPECT_EQ(chars[0].wParam, 0xE4u);  // 'ä'
  EXPECT_EQ(chars[0].hwnd, edit);
  // The digits came as system keys to the field (which may accept the coming character).
  int digits = 0;
  for (const auto& r : Of(WM_SYSKEYDOWN)) digits += r.hwnd == edit && r.wParam >= VK_NUMPAD0 && r.wParam <= VK_NUMPAD9;
  EXPECT_EQ(digits, 4);
  EXPECT_TRUE(Of(WM_SYSCHAR).empty());
  // Alt let go after other keys is a plain key-up: no menu command.
  EXPECT_EQ(Of(WM_KEYUP).back().wParam, WPARAM{VK_MENU});
  EXPECT_TRUE(Of(WM_SYSCOMMAND).empty());
  // Alt pressed and released alone asks for the menu.
  InjectKey(VK_MENU);
  ProcessMessages();
  ASSERT_EQ(Of(WM_SYSCOMMAND).size(), 1u);
  EXPECT_EQ(Of(WM_SYSCOMMAND)[0].wParam & 0xFFF0, SC_KEYMENU);
}

TEST_F(InputTest, AltF4ClosesTheWindow) {
  HWND top = Top();
  ProcessMessages();
  SetFocus(top);
  InjectKeyDown(VK_MENU);
  InjectKey(VK_F4);
  InjectKeyUp(VK_MENU);
  ProcessMessages();
  EXPECT_FALSE(IsWindow(top));
  EXPECT_EQ(Of(WM_CLOSE).size(), 1u);
}

TEST_F(InputTest, KeyStateFollowsInjectedKeys) {
  HWND top = Top();
  ProcessMessages();
  SetFocus(top);
  // The live state follows the keyboard at once; the state of the messages once they are taken.
  InjectKeyDown(VK_SHIFT);
  EXPECT_LT(GetAsyncKeyState(VK_SHIFT), 0);
  EXPECT_LT(GetAsyncKeyState(VK_LSHIFT), 0);
  ProcessMessages();
  EXPECT_LT(GetKeyState(VK_SHIFT), 0);
  InjectKeyUp(VK_SHIFT);
  ProcessMessages();
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);
  EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 0);
  InjectKey(VK_CAPITAL);
  ProcessMessages();
  EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 1);  // toggled
  log.clear();
  InjectKey('Q');  // Caps Lock on: upper case
  ProcessMessages();
  EXPECT_EQ(CharsOf(Of(WM_CHAR)), "Q");
  InjectKey(VK_CAPITAL);
}

// Keys let go together with Shift, and a click with Shift, all waiting in the queue before the
// first is handled: each is handled with the keys held when it came (F11 comes up with Shift,
// as F3 and Shift+F3 are told apart on their release), while the live state has moved on.
TEST_F(InputTest, EachKeyAndClickIsHandledWithTheKeysHeldWhenItCame) {
  HWND top = Top();
  ProcessMessages();
  SetFocus(top);
  bool f11UpWithShift = false, liveShiftAtF11Up = true, clickWithShift = false;
  handler = [&](HWND, UINT m, WPARAM w, LPARAM, LRESULT&) {
    if (m == WM_KEYUP && w == VK_F11) {
      f11UpWithShift = GetKeyState(VK_SHIFT) < 0;
      liveShiftAtF11Up = GetAsyncKeyState(VK_SHIFT) < 0;
    }
    if (m == WM_LBUTTONDOWN) clickWithShift = GetKeyState(VK_SHIFT) < 0 && (w & MK_SHIFT) != 0;
    return false;
  };
  InjectKeyDown(VK_SHIFT);
  InjectKeyDown(VK_F11);
  InjectKeyUp(VK_F11);
  InjectKeyUp(VK_SHIFT);
  InjectKeyDown(VK_SHIFT);
  InjectClick(top, 20, 20);
  InjectKeyUp(VK_SHIFT);
  ProcessMessages();
  EXPECT_TRUE(f11UpWithShift);
  EXPECT_FALSE(liveShiftAtF11Up);
  EXPECT_TRUE(clickWithShift);
  EXPECT_GE(GetKeyState(VK_SHIFT), 0);  // its own release handled last
}

TEST_F(InputTest, FocusChangesSendKillFocusThenSetFocusWithTheOtherWindow) {
  HWND top = Top();
  HWND a = Child(top, 0, 0, 10, 10), b = Child(top, 20, 0, 10, 10);
  ProcessMessages();
  SetFocus(a);
  log.clear();
  EXPECT_EQ(SetFocus(b), a);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].msg, UINT{WM_KILLFOCUS});
  EXPECT_EQ(log[0].hwnd, a);
  EXPECT_EQ(log[0].wParam, WPARAM{b});
  EXPECT_EQ(log[1].msg, UINT{WM_SETFOCUS});
  EXPECT_EQ(log[1].hwnd, b);
  EXPECT_EQ(log[1].wParam, WPARAM{a});
  EXPECT_EQ(GetFocus(), b);
  // A disabled window cannot take the focus; disabling the focused one drops it.
  EnableWindow(a, false);
  EXPECT_EQ(SetFocus(a), 0u);
  EXPECT_EQ(GetFocus(), b);
  EnableWindow(b, false);
  EXPECT_EQ(GetFocus(), 0u);
  // Destroying the focused window tells it first.
  EnableWindow(a, true);
  SetFocus(a);
  log.clear();
  DestroyWindow(a);
  EXPECT_EQ(GetFocus(), 0u);
  EXPECT_EQ(Sequence(a, {WM_KILLFOCUS, WM_DESTROY}), (std::vector<UINT>{WM_KILLFOCUS, WM_DESTROY}));
}

TEST_F(InputTest, ActivationMovesBetweenTopLevelWindows) {
  HWND one = Top(0, 0, 100, 100), two = Top(200, 0, 100, 100);
  ProcessMessages();
  EXPECT_EQ(GetActiveWindow(), two);  // shown last
  log.clear();
  SetActiveWindow(one);
  EXPECT_EQ(GetActiveWindow(), one);
  auto acts = Of(WM_ACTIVATE);
  ASSERT_EQ(acts.size(), 2u);
  EXPECT_EQ(acts[0].hwnd, two);
  EXPECT_EQ(LOWORD(acts[0].wParam), WA_INACTIVE);
  EXPECT_EQ(acts[1].hwnd, one);
  EXPECT_EQ(LOWORD(acts[1].wParam), WA_ACTIVE);
  EXPECT_EQ(GetFocus(), one);  // the default activation handling focuses the window
  // A click on the other window activates it.
  log.clear();
  InjectClick(two, 50, 50);
  ProcessMessages();
  EXPECT_EQ(GetActiveWindow(), two);
  EXPECT_FALSE(Of(WM_MOUSEACTIVATE).empty());
  EXPECT_EQ(LOWORD(Of(WM_ACTIVATE).back().wParam), WA_CLICKACTIVE);
  // Destroying the active window activates another.
  DestroyWindow(two);
  EXPECT_EQ(GetActiveWindow(), one);
}

TEST_F(InputTest, ClicksReachTheHitChildInItsClientCoordinates) {
  HWND top = Top(100, 100, 200, 150);
  HWND panel = Child(top, 10, 10, 100, 100);
  HWND button = Child(panel, 20, 30, 40, 20);
  ProcessMessages();
  log.clear();
  InjectMouseDown(100 + 10 + 20 + 5, 100 + 10 + 30 + 7);
  InjectMouseUp(100 + 10 + 20 + 5, 100 + 10 + 30 + 7);
  ProcessMessages();
  auto downs = Of(WM_LBUTTONDOWN);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0].hwnd, button);
  EXPECT_EQ(GET_X_LPARAM(downs[0].lParam), 5);
  EXPECT_EQ(GET_Y_LPARAM(downs[0].lParam), 7);
  EXPECT_EQ(downs[0].wParam & MK_LBUTTON, MK_LBUTTON);
  ASSERT_EQ(Of(WM_LBUTTONUP).size(), 1u);
  EXPECT_EQ(Of(WM_LBUTTONUP)[0].wParam & MK_LBUTTON, 0u);
  // A disabled child passes the click to its parent; a hidden one is not there at all.
  EnableWindow(button, false);
  log.clear();
  InjectClick(panel, 25, 35);
  ProcessMessages();
  ASSERT_EQ(Of(WM_LBUTTONDOWN).size(), 1u);
  EXPECT_EQ(Of(WM_LBUTTONDOWN)[0].hwnd, panel);
  EXPECT_EQ(WindowFromPoint(Point(135, 145)), panel);
  ShowWindow(panel, SW_HIDE);
  EXPECT_EQ(WindowFromPoint(Point(135, 145)), top);
  EXPECT_EQ(WindowFromPoint(Point(5, 5)), 0u);
}

TEST_F(InputTest, HitTestDecidesBetweenClientAndNonClientMessages) {
  HWND top = Top(0, 0, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  ProcessMessages();
  log.clear();
  InjectMouseDown(100, 12);  // on the caption
  InjectMouseUp(100, 12);
  ProcessMessages();
  ASSERT_EQ(Of(WM_NCLBUTTONDOWN).size(), 1u);
  EXPECT_EQ(Of(WM_NCLBUTTONDOWN)[0].wParam, static_cast<WPARAM>(HTCAPTION));
  EXPECT_TRUE(Of(WM_LBUTTONDOWN).empty());
  // A window can claim a client point as its caption (as floating toolbars do with edges).
  handler = [&](HWND, UINT m, WPARAM, LPARAM, LRESULT& r) {
    if (m == WM_NCHITTEST) {
      r = HTLEFT;
      return true;
    }
    return false;
  };
  log.clear();
  InjectMouseMove(100, 100);
  ProcessMessages();
  EXPECT_EQ(GetCursor(), IDC_SIZEWE);
  EXPECT_FALSE(Of(WM_NCMOUSEMOVE).empty());
  (void)top;
}

TEST_F(InputTest, DraggingTheCaptionMovesAndDraggingAnEdgeSizesTheWindow) {
  HWND top = Top(100, 100, 200, 150, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  ProcessMessages();
  InjectMouseDown(200, 110);  // caption
  InjectMouseMove(230, 150);
  InjectMouseMove(250, 160);
  InjectMouseUp(250, 160);
  ProcessMessages();
  RECT r;
  GetWindowRect(top, &r);
  EXPECT_EQ(r, Bounds(150, 150, 200, 150));
  EXPECT_EQ(GetCapture(), 0u);
  EXPECT_EQ(Of(WM_ENTERSIZEMOVE).size(), 1u);
  EXPECT_EQ(Of(WM_EXITSIZEMOVE).size(), 1u);
  // The right edge, limited by the window's minimum tracking size.
  handler = [](HWND, UINT m, WPARAM, LPARAM l, LRESULT&) {
    if (m == WM_GETMINMAXINFO) reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = {180, 100};
    return false;
  };
  InjectMouseDown(349, 200);
  InjectMouseMove(300, 200);  // would make it 151 wide
  InjectMouseUp(300, 200);
  ProcessMessages();
  GetWindowRect(top, &r);
  EXPECT_EQ(r, Bounds(150, 150, 180, 150));
  // Esc puts it back.
  InjectMouseDown(200, 160);
  InjectMouseMove(400, 400);
  InjectKey(VK_ESCAPE);
  ProcessMessages();
  GetWindowRect(top, &r);
  EXPECT_EQ(r, Bounds(150, 150, 180, 150));
  // A press that is still held when the queue runs dry ends the drag instead of waiting for ever.
  InjectMouseDown(200, 160);
  InjectMouseMove(210, 170);
  ProcessMessages();
  GetWindowRect(top, &r);
  EXPECT_EQ(r, Bounds(160, 160, 180, 150));
  EXPECT_EQ(GetCapture(), 0u);
  InjectMouseUp(210, 170);
  ProcessMessages();
}

TEST_F(InputTest, CaptureRedirectsTheMouseUntilReleased) {
  HWND top = Top(0, 0, 300, 200);
  HWND left = Child(top, 0, 0, 100, 100), right = Child(top, 150, 0, 100, 100);
  ProcessMessages();
  EXPECT_EQ(SetCapture(left), 0u);
  log.clear();
  InjectMouseMove(200, 50);  // over the right child
  InjectMouseDown(200, 50);
  InjectMouseUp(400, 300);   // outside every window
  ProcessMessages();
  for (const auto& r : log) EXPECT_NE(r.hwnd, right);
  auto moves = Of(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].hwnd, left);
  EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 200);
  auto ups = Of(WM_LBUTTONUP);
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(ups[0].lParam), 400);
  log.clear();
  SetCapture(right);  // taking it away tells the old holder
  ASSERT_EQ(Of(WM_CAPTURECHANGED).size(), 1u);
  EXPECT_EQ(Of(WM_CAPTURECHANGED)[0].hwnd, left);
  ReleaseCapture();
  EXPECT_EQ(GetCapture(), 0u);
  log.clear();
  InjectMouseMove(200, 50);
  ProcessMessages();
  ASSERT_EQ(Of(WM_MOUSEMOVE).size(), 1u);
  EXPECT_EQ(Of(WM_MOUSEMOVE)[0].hwnd, right);
  // Capture dies with its window.
  SetCapture(left);
  DestroyWindow(left);
  EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(InputTest, DoubleClicksNeedTheClassStyle) {
  HWND top = Top(0, 0, 100, 100);
  ProcessMessages();
  log.clear();
  InjectDoubleClick(top, 10, 10);
  ProcessMessages();
  EXPECT_EQ(Of(WM_LBUTTONDBLCLK).size(), 1u);
  EXPECT_EQ(Of(WM_LBUTTONDOWN).size(), 1u);
  WNDCLASS wc;
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "Plain";
  RegisterClass(wc);
  HWND plain = CreateWindowEx(0, "Plain", "", WS_CHILD | WS_VISIBLE, 50, 50, 20, 20, top, 0, 0, nullptr);
  int downs = 0, doubles = 0;
  SetWindowLongPtr(plain, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MakeObjectInstance(
      [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_LBUTTONDOWN) ++downs;
        if (m == WM_LBUTTONDBLCLK) ++doubles;
        return DefWindowProc(h, m, w, l);
      })));
  InjectDoubleClick(plain, 5, 5);
  ProcessMessages();
  EXPECT_EQ(downs, 2);
  EXPECT_EQ(doubles, 0);
  WNDPROC instance = GetWindowProc(plain);
  DestroyWindow(plain);
  FreeObjectInstance(instance);
}

TEST_F(InputTest, ClassCursorIsSetOverTheClientArea) {
  WNDCLASS wc;
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "Beam";
  wc.hCursor = LoadCursor(0, IDC_IBEAM);
  ASSERT_NE(RegisterClass(wc), 0);
  HWND top = Top(0, 0, 100, 100);
  HWND edit = CreateWindowEx(0, "Beam", "", WS_CHILD | WS_VISIBLE, 10, 10, 50, 20, top, 0, 0, nullptr);
  ASSERT_NE(edit, 0u);
  InjectMouseMove(20, 20);
  EXPECT_EQ(GetCursor(), IDC_IBEAM);
  InjectMouseMove(80, 80);
  EXPECT_EQ(GetCursor(), IDC_ARROW);
  EXPECT_EQ(LoadCursor(0, 12345), 0u);
  for (HCURSOR c : {IDC_ARROW, IDC_IBEAM, IDC_WAIT, IDC_CROSS, IDC_SIZEALL, IDC_SIZEWE, IDC_SIZENS, IDC_HAND})
    EXPECT_EQ(LoadCursor(0, c), c);
}

TEST_F(InputTest, ClicksOnAWindowDisabledBehindAModalOneBeep) {
  HWND owner = Top(0, 0, 100, 100);
  ProcessMessages();
  EnableWindow(owner, false);
  unsigned beeps = MessageBeepCount();
  log.clear();
  InjectClick(owner, 10, 10);
  ProcessMessages();
  EXPECT_TRUE(Of(WM_LBUTTONDOWN).empty());
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
}

TEST_F(InputTest, WheelGoesToTheFocusAndUpToTheParent) {
  HWND top = Top(0, 0, 100, 100);
  HWND child = Child(top, 0, 0, 50, 50);
  ProcessMessages();
  SetFocus(child);
  log.clear();
  InjectMouseWheel(10, 10, -120);
  ProcessMessages();
  auto wheels = Of(WM_MOUSEWHEEL);
  ASSERT_EQ(wheels.size(), 2u);
  EXPECT_EQ(wheels[0].hwnd, child);
  EXPECT_EQ(wheels[1].hwnd, top);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[0].wParam), -120);
}

}  // namespace
}  // namespace tw::wintest
