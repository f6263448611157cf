// The X11 display under a real X server (CI runs the tests under a virtual one): a window shows
// what it paints, takes keys sent to it by another client, and serves the clipboard.
// The test framework comes before the X headers, whose macros (None, Bool ...) it would trip on.
#include "platform/win/tests/winfixture.h"
#include "platform/rtl/exceptions.h"
#include "platform/win/x11keys.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace tw::wintest {
namespace {

class X11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* d = std::getenv("DISPLAY");
    if (!d || !*d) GTEST_SKIP() << "no X display";
    try {
      SelectDisplay("x11");
    } catch (const Exception& e) {
      GTEST_SKIP() << e.Message();
    }
    x_ = XOpenDisplay(nullptr);
    ASSERT_NE(x_, nullptr);
    proc_ = MakeObjectInstance([this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_CHAR) {
        chars_ += static_cast<char>(w);
        if (w == 'r') {
          red_ = true;
          InvalidateRect(h, nullptr, false);
        }
        return 0;
      }
      if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        cairo_t* cr = DCCairo(dc);
        cairo_set_source_rgb(cr, red_ ? 1 : 0, 0, red_ ? 0 : 1);
        cairo_paint(cr);
        EndPaint(h, &ps);
        ++paints_;
        return 0;
      }
      return DefWindowProc(h, m, w, l);
    });
    WNDCLASS wc;
    wc.lpfnWndProc = proc_;
    wc.lpszClassName = "X11Test";
    ASSERT_NE(RegisterClass(wc), 0);
  }

  void TearDown() override {
    if (x_) XCloseDisplay(x_);
    SelectDisplay("offscreen");
    if (proc_) FreeObjectInstance(proc_);
  }

  // Sends a key press or release of `keycode` to the window, as another client does.
  void SendKey(::Window xw, unsigned keycode, bool press) {
    XKeyEvent key{};
    key.type = press ? KeyPress : KeyRelease;
    key.display = x_;
    key.window = xw;
    key.root = DefaultRootWindow(x_);
    key.subwindow = None;
    key.time = CurrentTime;
    key.x = key.y = 1;
    key.same_screen = True;
    key.keycode = keycode;
    XSendEvent(x_, xw, True, press ? KeyPressMask : KeyReleaseMask, reinterpret_cast<XEvent*>(&key));
  }
  // Runs the loop until `done`, for at most 30 seconds of real time (a loaded machine can keep
  // the server waiting for seconds).
  template <typename F>
  bool PumpUntil(F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
      ProcessMessages();
      Display().Flush();
      XSync(x_, False);
      if (done()) return true;
      Display().Wait(10, -1);
    }
    return done();
  }

  // What the program and the server hold when a step fails.
  std::string State(HWND h, ::Window xw) {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(x_, &focus, &revert);
    XWindowAttributes a{};
    XGetWindowAttributes(x_, xw, &a);
    char text[200];
    std::snprintf(text, sizeof text, "chars \"%s\", paints %d, active %s, focus %s, X focus 0x%lx (window 0x%lx), map state %d",
                  chars_.c_str(), paints_, GetActiveWindow() == h ? "yes" : "no", GetFocus() == h ? "yes" : "no",
                  static_cast<unsigned long>(focus), static_cast<unsigned long>(xw), a.map_state);
    return text;
  }

  unsigned long PixelAt(::Window w, int x, int y) {
    XImage* img = XGetImage(x_, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return ~0ul;
    unsigned long p = XGetPixel(img, 0, 0);
    XDestroyImage(img);
    return p & 0xFFFFFF;
  }

  // The 32-bit items of a window's property (`type` 0: the property's own atom as its type, as
  // the Motif hints have it); empty when the window has none.
  std::vector<long> Longs(HWND h, const char* name, Atom type, long count) {
    const Atom prop = XInternAtom(x_, name, False);
    Atom actual;
    int format;
    unsigned long got = 0, rest = 0;
    unsigned char* data = nullptr;
    std::vector<long> v;
    if (XGetWindowProperty(x_, static_cast<::Window>(Display().NativeWindow(h)), prop, 0, count, False,
                           type != 0 ? type : prop, &actual, &format, &got, &rest, &data) == Success && data && format == 32)
      v.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + got);
    if (data) XFree(data);
    return v;
  }

  ::Display* x_ = nullptr;
  WNDPROC proc_ = nullptr;
  std::string chars_;
  bool red_ = false;
  int paints_ = 0;
};

TEST_F(X11Test, RealWindowShowsItsPaintingAndTakesKeysFromTheServer) {
  HWND h = CreateWindowEx(0, "X11Test", "Tidewell \x80 test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 160, 120, 0, 0, 0, nullptr);
  ASSERT_NE(h, 0u);
  auto xw = static_cast<::Window>(Display().NativeWindow(h));
  ASSERT_NE(xw, 0u);
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes a;
    return XGetWindowAttributes(x_, xw, &a) && a.map_state == IsViewable && paints_ > 0;
  })) << State(h, xw);
  // The title reaches the server as UTF-8.
  Atom netName = XInternAtom(x_, "_NET_WM_NAME", False), utf8 = XInternAtom(x_, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long count, rest;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(x_, xw, netName, 0, 100, False, utf8, &type, &format, &count, &rest, &data), Success);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), count), "Tidewell \xE2\x82\xAC test");
  XFree(data);

  ASSERT_TRUE(PumpUntil([&] { return PixelAt(xw, 10, 10) == 0x0000FF; }))
      << State(h, xw) << ", pixel 0x" << std::hex << PixelAt(xw, 10, 10);

  // The window holds the keyboard before keys come.
  SetFocus(h);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == h; })) << State(h, xw);
  SendKey(xw, XKeysymToKeycode(x_, XK_r), true);
  SendKey(xw, XKeysymToKeycode(x_, XK_r), false);
  XFlush(x_);
  ASSERT_TRUE(PumpUntil([&] { return chars_ == "r"; })) << State(h, xw);
  EXPECT_TRUE(PumpUntil([&] { return PixelAt(xw, 10, 10) == 0xFF0000; }))
      << State(h, xw) << ", pixel 0x" << std::hex << PixelAt(xw, 10, 10);

  // A busy loop that only looks at the queue (as a long computation does between steps) still
  // receives keys.
  SendKey(xw, XKeysymToKeycode(x_, XK_x), true);
  XFlush(x_);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (chars_ != "rx" && std::chrono::steady_clock::now() < end) {
    ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(chars_, "rx") << State(h, xw);
  DestroyWindow(h);
}

// Tab and a letter typed at once, both read by the program's wait before Tab is handled: the
// letter goes to the window that Tab gave the focus to, as if it had come a moment later.
TEST_F(X11Test, KeysTypedAheadGoWhereTheKeysBeforeThemSentTheFocus) {
  HWND first = 0, second = 0;
  std::string firstChars, secondChars;
  WNDPROC proc = MakeObjectInstance([&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_KEYDOWN && w == VK_TAB) SetFocus(second);
    if (m == WM_CHAR) (h == first ? firstChars : secondChars) += static_cast<char>(w);
    return DefWindowProc(h, m, w, l);
  });
  WNDCLASS wc;
  wc.lpfnWndProc = proc;
  wc.lpszClassName = "TypeAhead";
  ASSERT_NE(RegisterClass(wc), 0);
  HWND top = CreateWindowEx(0, "X11Test", "type-ahead", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 160, 120, 0, 0, 0, nullptr);
  first = CreateWindowEx(0, "TypeAhead", "", WS_CHILD | WS_VISIBLE, 0, 0, 80, 50, top, 0, 0, nullptr);
  second = CreateWindowEx(0, "TypeAhead", "", WS_CHILD | WS_VISIBLE, 80, 0, 80, 50, top, 0, 0, nullptr);
  auto xw = static_cast<::Window>(Display().NativeWindow(top));
  SetFocus(first);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == first; })) << State(top, xw);
  for (KeySym k : {XK_Tab, XK_x}) {
    SendKey(xw, XKeysymToKeycode(x_, k), true);
    SendKey(xw, XKeysymToKeycode(x_, k), false);
  }
  XSync(x_, False);
  // Waiting for input as when idle, until the letter has been read (if it is read at all
  // before Tab is handled).
  for (int i = 0; i < 20 && GetAsyncKeyState('X') >= 0; ++i) Display().Wait(25, -1);
  EXPECT_TRUE(PumpUntil([&] { return firstChars.find('x') != std::string::npos || secondChars == "x"; }));
  EXPECT_EQ(secondChars, "x");
  EXPECT_EQ(firstChars, "\t");
  DestroyWindow(top);
  FreeObjectInstance(proc);
}

// A press on a scroll bar's thumb whose release came outside the program's windows before the
// press was handled (the release reaches no window): the thumb is not dragged on, though the
// press's own message still says the button is down.
TEST_F(X11Test, AThumbPressReleasedOutsideBeforeItWasHandledEndsTheDrag) {
  bool sawEnd = false, stillDragging = false;
  WNDPROC proc = MakeObjectInstance([&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_VSCROLL && LOWORD(w) == SB_ENDSCROLL) sawEnd = true;
    if (m == WM_TIMER && w == 7) {  // the drag still waits for a release long after: end it
      KillTimer(h, 7);
      stillDragging = GetCapture() == h;
      ReleaseCapture();
      return 0;
    }
    return DefWindowProc(h, m, w, l);
  });
  WNDCLASS wc;
  wc.lpfnWndProc = proc;
  wc.lpszClassName = "ThumbDrag";
  ASSERT_NE(RegisterClass(wc), 0);
  HWND h = CreateWindowEx(0, "ThumbDrag", "", WS_POPUP | WS_VISIBLE | WS_VSCROLL, 40, 40, 116, 116, 0, 0, 0, nullptr);
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = 99;
  si.nPage = 10;
  si.nPos = 0;
  SetScrollInfo(h, SB_VERT, &si, true);
  auto xw = static_cast<::Window>(Display().NativeWindow(h));
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes a;
    return XGetWindowAttributes(x_, xw, &a) && a.map_state == IsViewable;
  }));
  for (bool press : {true, false}) {
    XButtonEvent b{};
    b.type = press ? ButtonPress : ButtonRelease;
    b.display = x_;
    b.window = xw;
    b.root = DefaultRootWindow(x_);
    b.time = CurrentTime;
    b.x = press ? 108 : -300;  // the thumb; then far left of the window
    b.y = 18;
    b.state = press ? 0 : Button1Mask;
    b.button = Button1;
    b.same_screen = True;
    XSendEvent(x_, xw, True, press ? ButtonPressMask : ButtonReleaseMask, reinterpret_cast<XEvent*>(&b));
  }
  XSync(x_, False);
  SetTimer(h, 7, 15000, nullptr);
  EXPECT_TRUE(PumpUntil([&] { return sawEnd; }));
  EXPECT_FALSE(stillDragging);
  EXPECT_EQ(GetCapture(), 0u);
  DestroyWindow(h);
  FreeObjectInstance(proc);
}

// A window manager started with the program may leave the program's first request to map a
// window unanswered (openbox, starting, reads it into its queue and looks there again only when
// something new arrives): the program asks again until its window is mapped.
TEST_F(X11Test, AWindowShowsThoughTheWindowManagerLeftItsFirstMapRequestUnanswered) {
  const ::Window root = DefaultRootWindow(x_);
  static bool refused;
  refused = false;
  auto* ignoring = XSetErrorHandler([](::Display*, XErrorEvent*) {
    refused = true;
    return 0;
  });
  XSelectInput(x_, root, SubstructureRedirectMask);  // this connection is the window manager
  XSync(x_, False);
  XSetErrorHandler(ignoring);
  if (refused) GTEST_SKIP() << "another window manager runs";
  HWND h = CreateWindowEx(0, "X11Test", "late manager", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 160, 120, 0, 0, 0, nullptr);
  auto xw = static_cast<::Window>(Display().NativeWindow(h));
  int requests = 0;
  EXPECT_TRUE(PumpUntil([&] {
    for (XEvent e; XCheckTypedEvent(x_, MapRequest, &e);)
      if (e.xmaprequest.window == xw && ++requests == 2) XMapWindow(x_, xw);
    XWindowAttributes a;
    return XGetWindowAttributes(x_, xw, &a) && a.map_state == IsViewable;
  })) << requests << " map requests";
  XSelectInput(x_, root, NoEventMask);
  DestroyWindow(h);
}

// A window manager that adopts a window already shown reparents it into its frame, which unmaps
// and maps it once: that is no minimising.  Minimised is a window whose WM_STATE says iconic.
TEST_F(X11Test, AWindowAdoptedByAWindowManagerIsNotTakenForMinimised) {
  int minimised = 0;
  WNDPROC proc = MakeObjectInstance([&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_SIZE && w == SIZE_MINIMIZED) ++minimised;
    return DefWindowProc(h, m, w, l);
  });
  WNDCLASS wc;
  wc.lpfnWndProc = proc;
  wc.lpszClassName = "Adopted";
  ASSERT_NE(RegisterClass(wc), 0);
  HWND h = CreateWindowEx(0, "Adopted", "adopted", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 160, 120, 0, 0, 0, nullptr);
  auto xw = static_cast<::Window>(Display().NativeWindow(h));
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes a;
    return XGetWindowAttributes(x_, xw, &a) && a.map_state == IsViewable;
  }));
  const Atom wmState = XInternAtom(x_, "WM_STATE", False);
  const auto setState = [&](long state) {
    long data[2] = {state, 0};
    XChangeProperty(x_, xw, wmState, wmState, 32, PropModeReplace, reinterpret_cast<unsigned char*>(data), 2);
  };
  // As a window manager adopts it: a frame, the window put into it, its state normal; then a
  // move inside the frame, seen by the program after the rest.
  const ::Window frame = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 30, 20, 180, 150, 0, 0, 0);
  XMapWindow(x_, frame);
  XReparentWindow(x_, xw, frame, 5, 20);
  setState(1);
  XMoveWindow(x_, xw, 6, 21);
  XSync(x_, False);
  RECT r{};
  EXPECT_TRUE(PumpUntil([&] { return GetWindowRect(h, &r) && r.Left == 36 && r.Top == 41; }));
  EXPECT_EQ(minimised, 0);
  EXPECT_FALSE(IsIconic(h));
  // Iconified by the window manager: state iconic, then unmapped.
  setState(3);
  XUnmapWindow(x_, xw);
  XSync(x_, False);
  EXPECT_TRUE(PumpUntil([&] { return IsIconic(h); }));
  DestroyWindow(h);
  XDestroyWindow(x_, frame);
  FreeObjectInstance(proc);
}

// A window manager that puts the window into its frame first and places the frame after,
// telling the window nothing (as openbox does with a window it adopts): the window's place
// follows the frame, whenever the program reads its events.
TEST_F(X11Test, AWindowFollowsTheFrameItIsHeldInWhenTheWindowManagerPlacesItLater) {
  HWND h = CreateWindowEx(0, "X11Test", "framed", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 160, 120, 0, 0, 0, nullptr);
  auto xw = static_cast<::Window>(Display().NativeWindow(h));
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes a;
    return XGetWindowAttributes(x_, xw, &a) && a.map_state == IsViewable;
  }));
  const ::Window frame = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 0, 0, 170, 145, 0, 0, 0);
  XMapWindow(x_, frame);
  XReparentWindow(x_, xw, frame, 5, 20);
  XSync(x_, False);
  RECT r{};
  EXPECT_TRUE(PumpUntil([&] { return GetWindowRect(h, &r) && r.Left == 5 && r.Top == 20; }))
      << "at " << r.Left << "," << r.Top;
  XMoveWindow(x_, frame, 300, 200);
  XSync(x_, False);
  EXPECT_TRUE(PumpUntil([&] { return GetWindowRect(h, &r) && r.Left == 305 && r.Top == 220; }))
      << "at " << r.Left << "," << r.Top;
  DestroyWindow(h);
  XDestroyWindow(x_, frame);
}

// Characters typed through keys remapped while the program runs (as input tools and xdotool
// type them): a spare key is mapped to Sym, pressed, and unmapped again before its release, as
// xdotool does.  True when Typed said the program handled the press (it must read the press
// while the key still has its symbol, however slowly the server delivers it).  One key a test:
// each case starts a program of its own.
class RemappedKeyTest : public X11Test {
 protected:
  bool TypeRemapped(KeySym Sym, const std::function<bool()>& Typed) {
    HWND h = CreateWindowEx(0, "X11Test", "keys", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 160, 120, 0, 0, 0, nullptr);
    if (h == 0) return false;
    auto xw = static_cast<::Window>(Display().NativeWindow(h));
    if (!PumpUntil([&] {
          XWindowAttributes a;
          return XGetWindowAttributes(x_, xw, &a) && a.map_state == IsViewable;
        }))
      return false;
    SetFocus(h);
    // A keycode with no symbols, as xdotool finds it.
    int low = 0, high = 0;
    XDisplayKeycodes(x_, &low, &high);
    int perCode = 0;
    KeySym* map = XGetKeyboardMapping(x_, static_cast<KeyCode>(low), high - low + 1, &perCode);
    int code = 0;
    for (int c = high; c >= low && code == 0; --c) {
      bool empty = true;
      for (int k = 0; k < perCode; ++k) empty = empty && map[(c - low) * perCode + k] == NoSymbol;
      if (empty) code = c;
    }
    XFree(map);
    if (code == 0) return false;
    XChangeKeyboardMapping(x_, code, 1, &Sym, 1);
    XSync(x_, False);
    SendKey(xw, static_cast<unsigned>(code), true);
    XSync(x_, False);
    const bool typed = PumpUntil(Typed);
    KeySym none = NoSymbol;
    XChangeKeyboardMapping(x_, code, 1, &none, 1);
    XSync(x_, False);
    SendKey(xw, static_cast<unsigned>(code), false);
    XFlush(x_);
    for (int i = 0; i < 10; ++i) {
      ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    DestroyWindow(h);
    return typed;
  }
};

// "€" is Windows-1252's 0x80; the key is released, though unmapped before its release was read.
TEST_F(RemappedKeyTest, TheEuroIsTyped) {
  EXPECT_TRUE(TypeRemapped(XK_EuroSign, [&] { return !chars_.empty(); }));
  EXPECT_EQ(chars_, "\x80");
  EXPECT_GE(GetKeyState(VK_OEM_102), 0);
}

// The Latin capital ligature OE, which Windows-1252 holds (0x8C).
TEST_F(RemappedKeyTest, ALetterOfTheCodePageIsTyped) {
  EXPECT_TRUE(TypeRemapped(0x1000152, [&] { return !chars_.empty(); }));
  EXPECT_EQ(chars_, "\x8C");
}

// A character the 8-bit text cannot hold (Greek capital omega) is refused with a beep rather
// than dropped unnoticed.
TEST_F(RemappedKeyTest, ACharacterNoTextCanHoldIsRefusedWithABeep) {
  const unsigned beeps = MessageBeepCount();
  EXPECT_TRUE(TypeRemapped(0x10003A9, [&] { return MessageBeepCount() != beeps || !chars_.empty(); }));
  EXPECT_EQ(chars_, "");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
}

TEST(KeyPresses, CharactersOutsideTheCodePageAreRefusedNotDropped) {
  using win::ReadKeyPress;
  using win::TKeyPress;
  EXPECT_EQ(ReadKeyPress(XK_e, XK_EuroSign, false).Character, 0x80) << "AltGr+E";
  EXPECT_EQ(ReadKeyPress(XK_e, XK_EuroSign, false).VirtualKey, static_cast<UINT>('E'));
  const TKeyPress euro = ReadKeyPress(XK_EuroSign, XK_EuroSign, false);
  EXPECT_EQ(euro.VirtualKey, static_cast<UINT>(VK_OEM_102));
  EXPECT_EQ(euro.Character, 0x80);
  const TKeyPress omega = ReadKeyPress(0x10003A9, 0x10003A9, false);
  EXPECT_NE(omega.VirtualKey, 0u);
  EXPECT_EQ(omega.Character, -1);
  EXPECT_TRUE(omega.Refused);
  EXPECT_TRUE(ReadKeyPress(XK_Greek_OMEGA, XK_Greek_OMEGA, false).Refused) << "the older Greek symbol set";
  EXPECT_FALSE(ReadKeyPress(XK_F5, XK_F5, false).Refused);
  EXPECT_EQ(ReadKeyPress(XK_F5, XK_F5, false).Character, -1);
  EXPECT_EQ(ReadKeyPress(XK_BackSpace, XK_BackSpace, false).Character, 8);
  EXPECT_EQ(ReadKeyPress(XK_e, XK_EuroSign, true).Character, -1) << "Ctrl+Alt types nothing";
  EXPECT_FALSE(ReadKeyPress(XK_e, XK_EuroSign, true).Refused);
  EXPECT_EQ(ReadKeyPress(XK_adiaeresis, XK_adiaeresis, false).Character, 0xE4);
  EXPECT_EQ(ReadKeyPress(NoSymbol, NoSymbol, false).VirtualKey, 0u);
}

TEST_F(X11Test, WindowKindsBecomeTheMatchingXWindows) {
  HWND main = CreateWindowEx(0, "X11Test", "main", WS_OVERLAPPEDWINDOW, 10, 10, 100, 80, 0, 0, 0, nullptr);
  HWND dialog = CreateWindowEx(0, "X11Test", "dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU, 20, 20, 80, 60, main, 0, 0, nullptr);
  HWND tool = CreateWindowEx(WS_EX_TOOLWINDOW, "X11Test", "tool", WS_POPUP | WS_CAPTION, 30, 30, 60, 40, main, 0, 0, nullptr);
  HWND popup = CreateWindowEx(0, "X11Test", "", WS_POPUP | WS_BORDER, 40, 40, 50, 30, main, 0, 0, nullptr);
  Display().Flush();
  XSync(x_, False);
  auto type = [&](HWND h) {
    const std::vector<long> atoms = Longs(h, "_NET_WM_WINDOW_TYPE", XA_ATOM, 1);
    std::string name;
    if (atoms.size() == 1) {
      char* n = XGetAtomName(x_, static_cast<Atom>(atoms[0]));
      name = n;
      XFree(n);
    }
    return name;
  };
  EXPECT_EQ(type(main), "_NET_WM_WINDOW_TYPE_NORMAL");
  EXPECT_EQ(type(dialog), "_NET_WM_WINDOW_TYPE_DIALOG");
  EXPECT_EQ(type(tool), "_NET_WM_WINDOW_TYPE_UTILITY");
  // Every window names its program, by which desktops group and name windows.
  for (HWND h : {main, dialog, tool, popup}) {
    XClassHint hint{};
    ASSERT_NE(XGetClassHint(x_, static_cast<::Window>(Display().NativeWindow(h)), &hint), 0);
    EXPECT_STREQ(hint.res_name, program_invocation_short_name);
    ASSERT_NE(hint.res_class, nullptr);
    EXPECT_EQ(std::toupper(static_cast<unsigned char>(hint.res_class[0])), hint.res_class[0]);
    EXPECT_STRCASEEQ(hint.res_class, program_invocation_short_name);
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  ::Window transientFor = 0;
  XGetTransientForHint(x_, static_cast<::Window>(Display().NativeWindow(dialog)), &transientFor);
  EXPECT_EQ(transientFor, static_cast<::Window>(Display().NativeWindow(main)));
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(x_, static_cast<::Window>(Display().NativeWindow(popup)), &a));
  EXPECT_TRUE(a.override_redirect);
  ASSERT_TRUE(XGetWindowAttributes(x_, static_cast<::Window>(Display().NativeWindow(main)), &a));
  EXPECT_FALSE(a.override_redirect);
  // A caption window keeps no frame of its own: the window manager draws it.
  RECT client;
  GetClientRect(main, &client);
  EXPECT_EQ(client, Bounds(0, 0, 100, 80));
  // Closing from the window manager's side arrives as WM_CLOSE.
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = static_cast<::Window>(Display().NativeWindow(dialog));
  close.xclient.message_type = XInternAtom(x_, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(x_, "WM_DELETE_WINDOW", False));
  XSendEvent(x_, close.xclient.window, False, NoEventMask, &close);
  XFlush(x_);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }));
  DestroyWindow(main);
  EXPECT_FALSE(IsWindow(tool));
}

TEST_F(X11Test, MaximisedWindowsAreMaximisedForTheWindowManagerAndKeepTheirNormalPlace) {
  const Atom vert = XInternAtom(x_, "_NET_WM_STATE_MAXIMIZED_VERT", False);
  const Atom horz = XInternAtom(x_, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
  auto states = [&](HWND h) {
    std::vector<long> v = Longs(h, "_NET_WM_STATE", XA_ATOM, 8);
    return std::vector<Atom>(v.begin(), v.end());
  };
  // The program maximises a window before it shows: the window manager reads it at mapping.
  HWND main = CreateWindowEx(0, "X11Test", "main", WS_OVERLAPPEDWINDOW, 30, 40, 200, 150, 0, 0, 0, nullptr);
  ShowWindow(main, SW_SHOWMAXIMIZED);
  Display().Flush();
  XSync(x_, False);
  EXPECT_EQ(states(main), (std::vector<Atom>{vert, horz}));
  WINDOWPLACEMENT placement;
  ASSERT_TRUE(GetWindowPlacement(main, &placement));
  EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
  EXPECT_EQ(placement.rcNormalPosition, Bounds(30, 40, 200, 150));

  // The window manager maximises another window (as its maximise button does): the window
  // system has it maximised, with the place it had as its normal place.
  HWND other = CreateWindowEx(0, "X11Test", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 60, 220, 160, 0, 0, 0,
                              nullptr);
  Display().Flush();
  XSync(x_, False);
  const auto otherX = static_cast<::Window>(Display().NativeWindow(other));
  ASSERT_TRUE(PumpUntil([&] {
    XWindowAttributes a;
    return XGetWindowAttributes(x_, otherX, &a) && a.map_state == IsViewable;
  }));
  Atom both[2] = {vert, horz};
  XMoveResizeWindow(x_, otherX, 0, 0, 640, 480);
  XChangeProperty(x_, otherX, XInternAtom(x_, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(both), 2);
  XFlush(x_);
  EXPECT_TRUE(PumpUntil([&] { return IsZoomed(other); }));
  ASSERT_TRUE(GetWindowPlacement(other, &placement));
  EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
  EXPECT_EQ(placement.rcNormalPosition, Bounds(50, 60, 220, 160));
  // ... and restores it: the window goes back to its normal place, which the program's own
  // maximised window had never shown the window manager.
  XDeleteProperty(x_, otherX, XInternAtom(x_, "_NET_WM_STATE", False));
  XFlush(x_);
  EXPECT_TRUE(PumpUntil([&] { return !IsZoomed(other); }));
  RECT back{};
  GetWindowRect(other, &back);
  EXPECT_EQ(back, Bounds(50, 60, 220, 160));
  XDeleteProperty(x_, static_cast<::Window>(Display().NativeWindow(main)), XInternAtom(x_, "_NET_WM_STATE", False));
  XFlush(x_);
  EXPECT_TRUE(PumpUntil([&] { return !IsZoomed(main); }));
  GetWindowRect(main, &back);
  EXPECT_EQ(back, Bounds(30, 40, 200, 150));
  DestroyWindow(other);
  DestroyWindow(main);
}

TEST_F(X11Test, DialogFramesOfferTheWindowManagerNoMinimiseOrMaximise) {
  // A dialog border (as a form with bsDialog makes it) and a sizeable main window.
  HWND dialog = CreateWindowEx(WS_EX_DLGMODALFRAME, "X11Test", "dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU, 20, 20,
                               180, 90, 0, 0, 0, nullptr);
  HWND main = CreateWindowEx(0, "X11Test", "main", WS_OVERLAPPEDWINDOW, 10, 10, 100, 80, 0, 0, 0, nullptr);
  Display().Flush();
  XSync(x_, False);
  auto motif = [&](HWND h) { return Longs(h, "_MOTIF_WM_HINTS", 0, 5); };
  constexpr long kResize = 2, kMove = 4, kMinimize = 8, kMaximize = 16, kClose = 32;
  std::vector<long> d = motif(dialog);
  ASSERT_EQ(d.size(), 5u);
  EXPECT_EQ(d[1] & (kMinimize | kMaximize | kResize), 0) << "functions of a dialog";
  EXPECT_EQ(d[1] & (kMove | kClose), kMove | kClose);
  EXPECT_EQ(d[2] & (32 | 64), 0) << "no minimise or maximise decorations";
  std::vector<long> m = motif(main);
  ASSERT_EQ(m.size(), 5u);
  EXPECT_EQ(m[1] & (kMinimize | kMaximize | kResize), kMinimize | kMaximize | kResize);
  // The dialog is a dialog to the window manager, keeps its size, and is placed by its own
  // corner whatever frame the manager puts round it.
  const std::vector<long> type = Longs(dialog, "_NET_WM_WINDOW_TYPE", XA_ATOM, 1);
  ASSERT_EQ(type.size(), 1u);
  EXPECT_EQ(static_cast<Atom>(type[0]), XInternAtom(x_, "_NET_WM_WINDOW_TYPE_DIALOG", False));
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(x_, static_cast<::Window>(Display().NativeWindow(dialog)), &hints, &supplied));
  EXPECT_TRUE(hints.flags & PWinGravity);
  EXPECT_EQ(hints.win_gravity, StaticGravity);
  EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
  EXPECT_EQ(hints.min_width, 180);
  EXPECT_EQ(hints.max_height, 90);
  DestroyWindow(dialog);
  DestroyWindow(main);
}

TEST_F(X11Test, AWindowThatTakesNoActivationLeavesTheKeyboardWithItsOwnerUnlessTurnedToWithoutAClick) {
  HWND main = CreateWindowEx(0, "X11Test", "main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 150, 0, 0, 0, nullptr);
  HWND bar = CreateWindowEx(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, "X11Test", "bar", WS_POPUP, 240, 10, 80, 40, main, 0,
                            0, nullptr);
  ShowWindow(bar, SW_SHOWNOACTIVATE);
  const auto mainX = static_cast<::Window>(Display().NativeWindow(main));
  const auto barX = static_cast<::Window>(Display().NativeWindow(bar));
  auto xFocus = [&] {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(x_, &focus, &revert);
    return focus;
  };
  SetActiveWindow(main);
  ASSERT_TRUE(PumpUntil([&] { return xFocus() == mainX; })) << State(main, mainX);
  // Activated by the program (a field of the bar clicked), the bar leaves the keyboard with its
  // owner, whose title stays active.
  SetActiveWindow(bar);
  WindowManagerFrame(main);  // a round trip: the server has done what the program asked
  EXPECT_EQ(GetActiveWindow(), bar);
  EXPECT_EQ(xFocus(), mainX);
  // Focused by the window manager for a click on it (the press first), it hands the keyboard
  // back and is not activated.
  SetActiveWindow(main);
  WindowManagerFrame(main);
  XButtonEvent press{};
  press.type = ButtonPress;
  press.window = barX;
  press.root = DefaultRootWindow(x_);
  press.x = press.y = 5;
  press.button = Button1;
  press.same_screen = True;
  XSendEvent(x_, barX, False, ButtonPressMask, reinterpret_cast<XEvent*>(&press));
  press.type = ButtonRelease;
  press.state = Button1Mask;
  XSendEvent(x_, barX, False, ButtonReleaseMask, reinterpret_cast<XEvent*>(&press));
  XSetInputFocus(x_, barX, RevertToParent, CurrentTime);
  XSync(x_, False);
  EXPECT_TRUE(PumpUntil([&] { return xFocus() == mainX; })) << State(main, mainX);
  EXPECT_EQ(GetActiveWindow(), main);
  // Focused without a click (the user turned to it with Alt+Tab), it takes the keyboard.
  XSetInputFocus(x_, barX, RevertToParent, CurrentTime);
  XSync(x_, False);
  EXPECT_TRUE(PumpUntil([&] { return GetActiveWindow() == bar; })) << State(bar, barX);
  EXPECT_EQ(xFocus(), barX);
  DestroyWindow(bar);
  DestroyWindow(main);
}

TEST_F(X11Test, ClipboardTravelsBetweenClientsBothWays) {
  // One test for both directions: the X server's clipboard is shared by every test process
  // running against it, so two clipboard tests side by side would take it from each other.
  {  // our text served to another client as UTF-8
    HWND h = CreateWindowEx(0, "X11Test", "clip", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
    ASSERT_TRUE(OpenClipboard(h));
    EmptyClipboard();
    SetClipboardData(CF_TEXT, "Gr\xFC\xDF" "e \x80");
    CloseClipboard();
    Atom clipboard = XInternAtom(x_, "CLIPBOARD", False), utf8 = XInternAtom(x_, "UTF8_STRING", False);
    Atom prop = XInternAtom(x_, "TEST_PROP", False);
    ::Window me = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 0, 0, 1, 1, 0, 0, 0);
    XConvertSelection(x_, clipboard, utf8, prop, me, CurrentTime);
    XFlush(x_);
    XEvent ev;
    bool answered = PumpUntil([&] { return XCheckTypedWindowEvent(x_, me, SelectionNotify, &ev) == True; });
    ASSERT_TRUE(answered);
    ASSERT_NE(ev.xselection.property, static_cast<Atom>(None));
    Atom type;
    int format;
    unsigned long count, rest;
    unsigned char* data = nullptr;
    XGetWindowProperty(x_, me, prop, 0, 1000, True, AnyPropertyType, &type, &format, &count, &rest, &data);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), count), "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC");
    XFree(data);
    XDestroyWindow(x_, me);
    DestroyWindow(h);
  }
  {  // another client's clipboard read as Windows-1252 and RTF
    // Another program (a thread with its own connection) owns the clipboard and answers requests.
    std::atomic<bool> owned{false}, stop{false};
    std::thread other([&] {
      ::Display* d = XOpenDisplay(nullptr);
      ::Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
      Atom clipboard = XInternAtom(d, "CLIPBOARD", False), utf8 = XInternAtom(d, "UTF8_STRING", False);
      Atom rtf = XInternAtom(d, "text/rtf", False);
      XSetSelectionOwner(d, clipboard, w, CurrentTime);
      XSync(d, False);
      owned = true;
      while (!stop) {
        while (XPending(d)) {
          XEvent ev;
          XNextEvent(d, &ev);
          if (ev.type != SelectionRequest) continue;
          const XSelectionRequestEvent& req = ev.xselectionrequest;
          XSelectionEvent reply{};
          reply.type = SelectionNotify;
          reply.requestor = req.requestor;
          reply.selection = req.selection;
          reply.target = req.target;
          reply.time = req.time;
          reply.property = None;
          std::string bytes = req.target == utf8 ? "\xC3\xA4 \xE2\x82\xAC" : req.target == rtf ? "{\\rtf1 x}" : "";
          if (!bytes.empty()) {
            XChangeProperty(d, req.requestor, req.property, req.target, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
            reply.property = req.property;
          }
          XSendEvent(d, req.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
          XFlush(d);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      XDestroyWindow(d, w);
      XCloseDisplay(d);
    });
    while (!owned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    HWND h = CreateWindowEx(0, "X11Test", "paste", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
    ASSERT_TRUE(OpenClipboard(h));
    EXPECT_EQ(GetClipboardData(CF_TEXT), "\xE4 \x80");
    EXPECT_EQ(GetClipboardData(RegisterClipboardFormat("Rich Text Format")), "{\\rtf1 x}");
    CloseClipboard();
    stop = true;
    other.join();
    DestroyWindow(h);
  }
}

}  // namespace
}  // namespace tw::wintest
