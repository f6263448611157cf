// A private X server with a window manager, for tests of what the window manager does with the
// program's windows (stacking, focus, close requests): Xvfb on a free display with openbox on
// it.  DISPLAY points at it while it runs.  Tests skip when Xvfb or openbox is not installed.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

namespace tw::app::test {

class WindowManagerDisplay {
 public:
  WindowManagerDisplay() {
    if (!Installed("/usr/bin/Xvfb") || !Installed("/usr/bin/openbox")) return;
    int fds[2];
    if (::pipe(fds) != 0) return;
    server_ = ::fork();
    if (server_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlives a test that was killed
      ::close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      // -ac: processes of other users (a start without write rights) may show windows too.
      ::execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
              "-ac", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (server_ < 0 || number.empty()) return;
    const char* old = std::getenv("DISPLAY");
    hadDisplay_ = old != nullptr;
    if (old) oldDisplay_ = old;
    name_ = ":" + number;
    ::setenv("DISPLAY", name_.c_str(), 1);
    manager_ = ::fork();
    if (manager_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      ::execl("/usr/bin/openbox", "openbox", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // Ready once the manager names itself on the root window.
    x_ = XOpenDisplay(name_.c_str());
    // The windows this connection looks at belong to other processes and may be gone by the
    // next request: such a request fails (its call answers 0) instead of ending the test.
    XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
    for (int i = 0; x_ && i < 500 && !ManagerRunning(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ~WindowManagerDisplay() {
    if (x_) XCloseDisplay(x_);
    Stop(manager_);
    Stop(server_);
    if (!name_.empty()) {
      if (hadDisplay_) ::setenv("DISPLAY", oldDisplay_.c_str(), 1);
      else ::unsetenv("DISPLAY");
    }
  }
  WindowManagerDisplay(const WindowManagerDisplay&) = delete;
  WindowManagerDisplay& operator=(const WindowManagerDisplay&) = delete;

  bool Ready() { return x_ != nullptr && ManagerRunning(); }
  ::Display* X() const { return x_; }
  const std::string& Name() const { return name_; }

  // The program's managed windows from bottom to top, as the window manager stacks them.
  std::vector<::Window> Stacking() {
    std::vector<::Window> list;
    Atom type;
    int format;
    unsigned long count = 0, rest = 0;
    unsigned char* data = nullptr;
    XSync(x_, False);
    if (XGetWindowProperty(x_, DefaultRootWindow(x_), XInternAtom(x_, "_NET_CLIENT_LIST_STACKING", False), 0, 1024,
                           False, XA_WINDOW, &type, &format, &count, &rest, &data) == Success && data && format == 32)
      list.assign(reinterpret_cast<::Window*>(data), reinterpret_cast<::Window*>(data) + count);
    if (data) XFree(data);
    return list;
  }
  // True when `upper` is stacked above `lower`.
  bool StackedAbove(::Window upper, ::Window lower) {
    const std::vector<::Window> list = Stacking();
    int u = -1, l = -1;
    for (int i = 0; i < static_cast<int>(list.size()); ++i) {
      if (list[static_cast<std::size_t>(i)] == upper) u = i;
      if (list[static_cast<std::size_t>(i)] == lower) l = i;
    }
    return u >= 0 && l >= 0 && u > l;
  }
  ::Window TransientFor(::Window w) {
    ::Window t = 0;
    XGetTransientForHint(x_, w, &t);
    return t;
  }
  // What a user's click on a window's frame makes the window manager do: activate it (raise it
  // and give it the keyboard).
  void ActivateAsUser(::Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(x_, "_NET_ACTIVE_WINDOW", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // from a pager: on the user's behalf
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(x_, DefaultRootWindow(x_), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(x_);
  }
  // The window manager's close request (its close button, Alt+F4).
  void RequestClose(::Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(x_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(x_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(x_, w, False, NoEventMask, &e);
    XFlush(x_);
  }
  // A key with modifiers (ControlMask, Mod1Mask ...) pressed and released in window `w`.
  void SendKey(::Window w, KeySym key, unsigned state) {
    XKeyEvent k{};
    k.display = x_;
    k.window = w;
    k.root = DefaultRootWindow(x_);
    k.time = CurrentTime;
    k.x = k.y = 5;
    k.same_screen = True;
    k.state = state;
    k.keycode = XKeysymToKeycode(x_, key);
    k.type = KeyPress;
    XSendEvent(x_, w, True, KeyPressMask, reinterpret_cast<XEvent*>(&k));
    k.type = KeyRelease;
    XSendEvent(x_, w, True, KeyReleaseMask, reinterpret_cast<XEvent*>(&k));
    XFlush(x_);
  }
  // Keys as the user's keyboard gives them (through the XTest extension): the server hands them
  // to the window that has the input focus or to the client that grabbed the keyboard, and the
  // window manager's key bindings (Alt+F4) see them first.  The modifiers are held around the key.
  void PressKey(KeySym key, std::initializer_list<KeySym> modifiers = {}) {
    for (KeySym m : modifiers) XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, m), True, CurrentTime);
    XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, key), True, CurrentTime);
    XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, key), False, CurrentTime);
    for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m)
      XTestFakeKeyEvent(x_, XKeysymToKeycode(x_, *m), False, CurrentTime);
    XFlush(x_);
  }
  // A click of the left button at a point of the screen, as the user's mouse gives it.
  void ClickOnScreen(int x, int y) {
    XTestFakeMotionEvent(x_, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(x_, Button1, True, CurrentTime);
    XTestFakeButtonEvent(x_, Button1, False, CurrentTime);
    XFlush(x_);
  }
  // A window of another program (this connection's), shown and managed at a place of the screen.
  ::Window ShowOtherProgramWindow(int x, int y, unsigned width, unsigned height) {
    const ::Window w = XCreateSimpleWindow(x_, DefaultRootWindow(x_), x, y, width, height, 0, 0, 0xFFFFFF);
    XSelectInput(x_, w, KeyPressMask | FocusChangeMask);
    XStoreName(x_, w, "another program");
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = True;
    XSetWMHints(x_, w, &hints);
    XMapRaised(x_, w);
    XSync(x_, False);
    return w;
  }
  // True while some client holds the keyboard grabbed.
  bool KeyboardGrabbed() {
    const int result = XGrabKeyboard(x_, DefaultRootWindow(x_), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (result == GrabSuccess) XUngrabKeyboard(x_, CurrentTime);
    XSync(x_, False);
    return result == AlreadyGrabbed;
  }
  // Whether the input focus fell to the root window since the last call (the first call starts
  // the watch): the window manager then hands it to a window of its own choice.
  bool FocusFellToRoot() {
    XSelectInput(x_, DefaultRootWindow(x_), FocusChangeMask);
    XSync(x_, False);
    bool fell = false;
    for (XEvent e; XCheckWindowEvent(x_, DefaultRootWindow(x_), FocusChangeMask, &e);) fell = fell || e.type == FocusIn;
    return fell;
  }
  ::Window FocusedWindow() {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(x_, &focus, &revert);
    return focus;
  }
  // True when `upper` shows above `lower` on the screen (whatever frames the window manager put
  // around them).
  bool ShownAbove(::Window upper, ::Window lower) {
    const ::Window u = TopOf(upper), l = TopOf(lower);
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    int ui = -1, li = -1;
    if (XQueryTree(x_, DefaultRootWindow(x_), &root, &parent, &children, &count)) {
      for (unsigned i = 0; i < count; ++i) {  // bottom to top
        if (children[i] == u) ui = static_cast<int>(i);
        if (children[i] == l) li = static_cast<int>(i);
      }
    }
    if (children) XFree(children);
    return ui >= 0 && li >= 0 && ui > li;
  }

  // A press and release of the left button at a point of window `w`.
  void SendClick(::Window w, int x, int y) {
    XButtonEvent b{};
    b.display = x_;
    b.window = w;
    b.root = DefaultRootWindow(x_);
    b.time = CurrentTime;
    b.x = x;
    b.y = y;
    b.button = Button1;
    b.same_screen = True;
    b.type = ButtonPress;
    XSendEvent(x_, w, True, ButtonPressMask, reinterpret_cast<XEvent*>(&b));
    b.type = ButtonRelease;
    b.state = Button1Mask;
    XSendEvent(x_, w, True, ButtonReleaseMask, reinterpret_cast<XEvent*>(&b));
    XFlush(x_);
  }

 private:
  static bool Installed(const char* path) { return ::access(path, X_OK) == 0; }
  // The child of the root window that holds `w` (its frame when it is managed).
  ::Window TopOf(::Window w) {
    for (;;) {
      ::Window root = 0, parent = 0, *children = nullptr;
      unsigned count = 0;
      if (!XQueryTree(x_, w, &root, &parent, &children, &count)) return w;
      if (children) XFree(children);
      if (parent == root || parent == 0) return w;
      w = parent;
    }
  }
  bool ManagerRunning() {
    Atom type;
    int format;
    unsigned long count = 0, rest = 0;
    unsigned char* data = nullptr;
    const bool ok = XGetWindowProperty(x_, DefaultRootWindow(x_), XInternAtom(x_, "_NET_SUPPORTING_WM_CHECK", False), 0,
                                       1, False, XA_WINDOW, &type, &format, &count, &rest, &data) == Success &&
                    data != nullptr && count == 1;
    if (data) XFree(data);
    return ok;
  }
  static void Stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status;
    for (int i = 0; i < 200; ++i) {
      if (::waitpid(pid, &status, WNOHANG) == pid) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }

  pid_t server_ = -1;
  pid_t manager_ = -1;
  ::Display* x_ = nullptr;
  std::string name_;
  std::string oldDisplay_;
  bool hadDisplay_ = false;
};

}  // namespace tw::app::test
