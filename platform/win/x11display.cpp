// The X11 display: every top-level window of the window system is a real X window showing its
// backing store through cairo-xlib.  X events become window messages through the same input
// paths that tests use; the CLIPBOARD selection is served and read.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <cairo-xlib.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/rtl/win1252.h"
#include "platform/win/displaybackends.h"
#include "platform/win/windowstate.h"
#include "platform/win/x11keys.h"

namespace tw::win {
namespace {

// X errors (a window gone meanwhile, focus on an unmapped window) are not fatal here.
int IgnoreXError(::Display*, XErrorEvent*) { return 0; }

struct XWin {
  ::Window xw = 0;
  cairo_surface_t* xs = nullptr;
  RECT dirty{};
  int width = 1;
  int height = 1;
  bool mapped = false;
  bool overrideRedirect = false;
  bool dialog = false;  // a dialog to the window manager
  bool frameRequested = false;  // the window manager was asked for its frame before mapping
  // Maximised as the window manager has it (_NET_WM_STATE).
  bool wmMaximized = false;
  // Asked to be mapped and not mapped yet: when the request was last made (0: none waits), and
  // how long to wait before it is made again.
  std::uint64_t mapAskedAt = 0;
  std::uint64_t mapAskAgainMs = 0;
};

// A request to map a window that has not been answered is made again after this long, then
// after twice as long each time, up to the longest.
constexpr std::uint64_t kFirstMapRetryMs = 250;
constexpr std::uint64_t kLongestMapRetryMs = 8000;

class X11Display final : public DisplayBackend {
 public:
  explicit X11Display(::Display* dpy) : dpy_(dpy) {
    XSetErrorHandler(IgnoreXError);
    screen_ = DefaultScreen(dpy_);
    root_ = RootWindow(dpy_, screen_);
    visual_ = DefaultVisual(dpy_, screen_);
    depth_ = DefaultDepth(dpy_, screen_);
    auto atom = [&](const char* name) { return XInternAtom(dpy_, name, False); };
    wmProtocols_ = atom("WM_PROTOCOLS");
    wmDelete_ = atom("WM_DELETE_WINDOW");
    netWmName_ = atom("_NET_WM_NAME");
    netWmType_ = atom("_NET_WM_WINDOW_TYPE");
    typeNormal_ = atom("_NET_WM_WINDOW_TYPE_NORMAL");
    typeDialog_ = atom("_NET_WM_WINDOW_TYPE_DIALOG");
    typeUtility_ = atom("_NET_WM_WINDOW_TYPE_UTILITY");
    motifHints_ = atom("_MOTIF_WM_HINTS");
    frameExtents_ = atom("_NET_FRAME_EXTENTS");
    requestFrameExtents_ = atom("_NET_REQUEST_FRAME_EXTENTS");
    netSupported_ = atom("_NET_SUPPORTED");
    netWmState_ = atom("_NET_WM_STATE");
    maximizedVert_ = atom("_NET_WM_STATE_MAXIMIZED_VERT");
    maximizedHorz_ = atom("_NET_WM_STATE_MAXIMIZED_HORZ");
    utf8_ = atom("UTF8_STRING");
    clipboard_ = atom("CLIPBOARD");
    targets_ = atom("TARGETS");
    text_ = atom("TEXT");
    rtf_ = atom("text/rtf");
    richtext_ = atom("text/richtext");
    transfer_ = atom("TIDEWELL_SELECTION");
    incr_ = atom("INCR");
    wmState_ = atom("WM_STATE");
    XSetWindowAttributes a{};
    a.event_mask = PropertyChangeMask;
    selWin_ = XCreateWindow(dpy_, root_, -10, -10, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent,
                            CWEventMask, &a);
    // The leader of the program's window group: never shown; every window of the program names
    // it, so that the window manager keeps a dialog above the program's windows.
    leader_ = XCreateWindow(dpy_, root_, -10, -10, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent, 0, nullptr);
    SetGroupHints(leader_);
  }

  ~X11Display() override {
    // No more news of the window manager's frames: arriving while the connection closes, they
    // would be left in its queue.
    for (auto& [frame, h] : frames_) XSelectInput(dpy_, frame, NoEventMask);
    for (auto& [h, x] : wins_) DestroyX(x);
    for (auto& [id, c] : cursors_) XFreeCursor(dpy_, c);
    XDestroyWindow(dpy_, selWin_);
    XDestroyWindow(dpy_, leader_);
    XCloseDisplay(dpy_);
  }

  const char* Name() const override { return "x11"; }
  std::string ServerName() const override { return DisplayString(dpy_); }

  std::uint64_t NowMs() override {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }

  TSize ScreenSize() override { return {DisplayWidth(dpy_, screen_), DisplayHeight(dpy_, screen_)}; }
  bool DecoratesWindows() const override { return true; }
  RECT FrameExtents(HWND h) override {
    auto it = wins_.find(h);
    if (it == wins_.end() || it->second.overrideRedirect) return {};
    XWin& x = it->second;
    RECT r{};
    if (ReadFrameExtents(x.xw, r) || x.mapped || x.frameRequested || !WindowManagerEstimatesFrames()) return r;
    // Not yet mapped, so not yet framed: the window manager is asked for the frame it will
    // give the window (once), so that a place asked for before the first showing keeps the
    // framed window on the screen.
    x.frameRequested = true;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = x.xw;
    e.xclient.message_type = requestFrameExtents_;
    e.xclient.format = 32;
    XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    for (int i = 0; i < 40; ++i) {
      XSync(dpy_, False);
      if (ReadFrameExtents(x.xw, r)) break;
      ::usleep(5000);
    }
    return r;
  }
  // The 32-bit items of property `property` of window `xw` (at most `most`); none when absent.
  std::vector<long> ReadProperty32(::Window xw, Atom property, Atom type, long most) {
    Atom actual;
    int format;
    unsigned long count = 0, rest = 0;
    unsigned char* data = nullptr;
    std::vector<long> items;
    if (XGetWindowProperty(dpy_, xw, property, 0, most, False, type, &actual, &format, &count, &rest, &data) ==
            Success &&
        data && format == 32) {
      const long* v = reinterpret_cast<const long*>(data);
      items.assign(v, v + count);
    }
    if (data) XFree(data);
    return items;
  }
  // The window manager's frame of window `xw` as it has told it; false while it has not.
  bool ReadFrameExtents(::Window xw, RECT& r) {
    const std::vector<long> v = ReadProperty32(xw, frameExtents_, XA_CARDINAL, 4);  // left, right, top, bottom
    if (v.size() != 4) return false;
    r = RECT{static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]), static_cast<int>(v[3])};
    return true;
  }
  // True when a window manager runs that tells the frame of a window before mapping it.
  bool WindowManagerEstimatesFrames() {
    const std::vector<long> atoms = ReadProperty32(root_, netSupported_, XA_ATOM, 1024);
    return std::find(atoms.begin(), atoms.end(), static_cast<long>(requestFrameExtents_)) != atoms.end();
  }
  std::uintptr_t NativeWindow(HWND h) override {
    auto it = wins_.find(h);
    return it == wins_.end() ? 0 : static_cast<std::uintptr_t>(it->second.xw);
  }

  void Wait(int timeoutMs, int wakeFd) override {
    // While a key message waits (a retrieval for one window only waits past it), the display is
    // not read: only the wake-up channel and the time-out end the wait.
    const bool keyWaiting = KeyInputWaiting();
    if (!keyWaiting) {
      if (ProcessEvents()) {
        Flush();
        return;
      }
      Flush();
      if (XEventsQueued(dpy_, QueuedAlready) > 0) {  // read meanwhile by a reply we waited for
        ProcessEvents();
        Flush();
        return;
      }
    } else {
      Flush();
      if (wakeFd < 0 && timeoutMs < 0 && MillisecondsToMapRetry() < 0) return;  // nothing could end the wait
    }
    const int retryIn = MillisecondsToMapRetry();
    if (retryIn >= 0 && (timeoutMs < 0 || retryIn < timeoutMs)) timeoutMs = retryIn;
    pollfd fds[2] = {{keyWaiting ? -1 : ConnectionNumber(dpy_), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    int n = poll(fds, 2, timeoutMs);
    if (n > 0 && wakeFd >= 0 && (fds[1].revents & POLLIN)) {
      std::uint64_t v;
      while (read(wakeFd, &v, sizeof v) > 0) {
      }
    }
    ProcessEvents();
    AskAgainToMap();
    Flush();
  }

  void PollEvents() override {
    // Cheap when nothing arrived: the connection is looked at at most every few milliseconds.
    std::uint64_t now = NowMs();
    if (now - lastPoll_ < 5) return;
    lastPoll_ = now;
    if (XPending(dpy_)) ProcessEvents();
    AskAgainToMap();
    Flush();
  }

  // A window manager that starts with the program may leave a request to map a window unanswered:
  // openbox reads requests into its queue while it starts and looks there again only when
  // something new arrives, so a window shown meanwhile would stay unmapped until then.  A request
  // that has not been answered is made again, at growing intervals, until the window is mapped
  // (the window manager takes the repeated request as the same one).
  int MillisecondsToMapRetry() {
    std::uint64_t next = 0;
    for (const auto& [h, x] : wins_)
      if (x.mapAskedAt != 0 && (next == 0 || x.mapAskedAt + x.mapAskAgainMs < next)) next = x.mapAskedAt + x.mapAskAgainMs;
    if (next == 0) return -1;
    const std::uint64_t now = NowMs();
    return next <= now ? 0 : static_cast<int>(std::min<std::uint64_t>(next - now, kLongestMapRetryMs));
  }
  void AskAgainToMap() {
    const std::uint64_t now = NowMs();
    for (auto& [h, x] : wins_) {
      if (x.mapAskedAt == 0 || now < x.mapAskedAt + x.mapAskAgainMs) continue;
      XWindowAttributes a;
      if (!x.mapped || !XGetWindowAttributes(dpy_, x.xw, &a) || a.map_state != IsUnmapped) {
        x.mapAskedAt = 0;  // answered meanwhile (its MapNotify is on its way), or no longer wanted
        continue;
      }
      XMapRaised(dpy_, x.xw);
      x.mapAskedAt = now;
      x.mapAskAgainMs = std::min(x.mapAskAgainMs * 2, kLongestMapRetryMs);
    }
  }

  void WindowCreated(HWND h) override {
    RECT r;
    GetWindowRect(h, &r);
    auto style = static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE));
    auto ex = static_cast<DWORD>(GetWindowLongPtr(h, GWL_EXSTYLE));
    bool caption = (style & WS_CAPTION) == WS_CAPTION;
    bool tool = (ex & WS_EX_TOOLWINDOW) != 0;
    HWND owner = GetWindow(h, GW_OWNER);
    XWin x;
    x.width = std::max(1, r.Width());
    x.height = std::max(1, r.Height());
    x.overrideRedirect = (style & WS_POPUP) && !caption && !tool;
    XSetWindowAttributes a{};
    a.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                   ExposureMask | StructureNotifyMask | FocusChangeMask | PropertyChangeMask;
    a.override_redirect = x.overrideRedirect ? True : False;
    a.background_pixmap = None;
    a.bit_gravity = NorthWestGravity;
    x.xw = XCreateWindow(dpy_, root_, r.Left, r.Top, static_cast<unsigned>(x.width), static_cast<unsigned>(x.height), 0,
                         depth_, InputOutput, visual_,
                         CWEventMask | CWOverrideRedirect | CWBackPixmap | CWBitGravity, &a);
    XSetWMProtocols(dpy_, x.xw, &wmDelete_, 1);
    SetClassHint(x.xw);
    SetNormalHints(x.xw, style, r);
    // A fixed dialog frame (no sizing frame, no minimise or maximise box) is a dialog to the
    // window manager too, even without an owner.
    const bool dialogFrame = caption && !(style & WS_THICKFRAME) && !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) &&
                             (ex & WS_EX_DLGMODALFRAME);
    x.dialog = !tool && caption && (owner || dialogFrame);
    Atom type = tool ? typeUtility_ : x.dialog ? typeDialog_ : typeNormal_;
    XChangeProperty(dpy_, x.xw, netWmType_, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
    const MotifHints motif = MotifHintsFor(style, ex);
    long motifData[5] = {static_cast<long>(motif.flags), static_cast<long>(motif.functions),
                         static_cast<long>(motif.decorations), 0, 0};
    XChangeProperty(dpy_, x.xw, motifHints_, motifHints_, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(motifData), 5);
    SetGroupHints(x.xw);
    x.xs = cairo_xlib_surface_create(dpy_, x.xw, visual_, x.width, x.height);
    if (cursor_) XDefineCursor(dpy_, x.xw, CursorFor(cursor_));
    byX_[x.xw] = h;
    wins_[h] = x;
    UpdateTransientFor(h);
  }

  void WindowOwnerChanged(HWND h) override {
    UpdateTransientFor(h);
    XFlush(dpy_);
  }

  void WindowDestroyed(HWND h) override {
    auto it = wins_.find(h);
    if (it == wins_.end()) return;
    if (keyboardHolder_ == h) ReleaseKeyboard();
    GiveBackFocus(h, it->second);
    byX_.erase(it->second.xw);
    ForgetFrames(h);
    DestroyX(it->second);
    wins_.erase(it);
    XFlush(dpy_);
  }

  void WindowShown(HWND h, bool visible) override {
    auto it = wins_.find(h);
    if (it == wins_.end()) return;
    XWin& x = it->second;
    if (visible && !x.mapped) {
      TellMaximized(h, x);  // read by the window manager when it maps the window
      XMapRaised(dpy_, x.xw);
      if (!x.overrideRedirect) {
        x.mapAskedAt = NowMs();
        x.mapAskAgainMs = kFirstMapRetryMs;
      }
      x.dirty = Bounds(0, 0, x.width, x.height);
    } else if (!visible && x.mapped) {
      x.mapAskedAt = 0;
      if (keyboardHolder_ == h) ReleaseKeyboard();
      GiveBackFocus(h, x);
      if (IsIconic(h) && !x.overrideRedirect) XIconifyWindow(dpy_, x.xw, screen_);
      else XUnmapWindow(dpy_, x.xw);
    }
    x.mapped = visible;
    XFlush(dpy_);
  }

  void WindowMoved(HWND h) override {
    if (applyingConfigure_ == h) return;
    auto it = wins_.find(h);
    if (it == wins_.end()) return;
    RECT r;
    GetWindowRect(h, &r);
    XWin& x = it->second;
    // Maximised, the window manager gives the window its size (the work area, inside its
    // frame) and remembers the place it had, which it goes back to on its own restore: the
    // window keeps that place on the server meanwhile.  Restored, the window manager is told
    // first, so that the place asked for comes after the window manager's own.
    const bool zoomed = IsZoomed(h);
    const bool managerPlaces = zoomed && !x.overrideRedirect && ManagerMaximizes();
    if (!zoomed) TellMaximized(h, x);
    if (!managerPlaces) {
      x.width = std::max(1, r.Width());
      x.height = std::max(1, r.Height());
      SetNormalHints(x.xw, static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE)), r);
      XMoveResizeWindow(dpy_, x.xw, r.Left, r.Top, static_cast<unsigned>(x.width), static_cast<unsigned>(x.height));
      cairo_xlib_surface_set_size(x.xs, x.width, x.height);
      x.dirty = Bounds(0, 0, x.width, x.height);
    }
    if (zoomed) TellMaximized(h, x);
  }

  // True when a window manager runs that maximises windows (_NET_WM_STATE_MAXIMIZED_*).
  bool ManagerMaximizes() {
    const std::vector<long> atoms = ReadProperty32(root_, netSupported_, XA_ATOM, 1024);
    return std::find(atoms.begin(), atoms.end(), static_cast<long>(maximizedVert_)) != atoms.end();
  }

  // Tells the window manager that the program maximised or restored a window: before mapping in
  // the window's _NET_WM_STATE, afterwards by the request the window manager listens for.
  void TellMaximized(HWND h, XWin& x) {
    const bool want = IsZoomed(h);
    if (x.overrideRedirect || want == x.wmMaximized) return;
    x.wmMaximized = want;
    if (!x.mapped) {
      Atom state[2] = {maximizedVert_, maximizedHorz_};
      if (want)
        XChangeProperty(dpy_, x.xw, netWmState_, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(state), 2);
      else
        XDeleteProperty(dpy_, x.xw, netWmState_);
      return;
    }
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = x.xw;
    e.xclient.message_type = netWmState_;
    e.xclient.format = 32;
    e.xclient.data.l[0] = want ? 1 : 0;  // add or remove
    e.xclient.data.l[1] = static_cast<long>(maximizedVert_);
    e.xclient.data.l[2] = static_cast<long>(maximizedHorz_);
    e.xclient.data.l[3] = 1;  // a normal application
    XSendEvent(dpy_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  }

  // The window manager maximised or restored a window (its maximise button, a double click on
  // its title): the window system marks it so, keeping the normal place it had.  Called for the
  // change of the state and for every new place the window manager gives: whichever of the two
  // it tells first, the state is taken before the maximised size.
  void MaximizedByWindowManager(::Window xwin) {
    HWND h = WindowOf(xwin);
    auto it = wins_.find(h);
    if (!h || it == wins_.end()) return;
    XWin& x = it->second;
    Atom actual;
    int format;
    unsigned long count = 0, rest = 0;
    unsigned char* data = nullptr;
    bool vert = false, horz = false;
    if (XGetWindowProperty(dpy_, xwin, netWmState_, 0, 64, False, XA_ATOM, &actual, &format, &count, &rest, &data) ==
            Success &&
        data != nullptr && format == 32) {
      const auto* atoms = reinterpret_cast<const Atom*>(data);
      for (unsigned long i = 0; i < count; ++i) {
        vert = vert || atoms[i] == maximizedVert_;
        horz = horz || atoms[i] == maximizedHorz_;
      }
    }
    if (data != nullptr) XFree(data);
    const bool maximized = vert && horz;
    if (maximized == x.wmMaximized) return;
    x.wmMaximized = maximized;
    Window* w = Find(h);
    if (!w || maximized == ((w->style & WS_MAXIMIZE) != 0)) return;
    if (!maximized) {
      // Back to the normal place the window system keeps.
      ShowWindow(h, SW_RESTORE);
      return;
    }
    // Not yet resized: the place the window has is its normal place.
    RECT now;
    GetWindowRect(h, &now);
    w->restoreRect = now;
    w->style |= WS_MAXIMIZE;
    SendMessage(h, WM_SIZE, SIZE_MAXIMIZED,
                MAKELPARAM(static_cast<unsigned>(w->client.Width()), static_cast<unsigned>(w->client.Height())));
  }

  void WindowTextChanged(HWND h) override {
    auto it = wins_.find(h);
    if (it == wins_.end()) return;
    // Read directly: asking the window would call its procedure, perhaps before it exists.
    Window* w = Find(h);
    if (!w) return;
    std::string text = w->text;
    std::string utf8 = Win1252ToUtf8(text);
    XChangeProperty(dpy_, it->second.xw, netWmName_, utf8_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    std::string latin;  // WM_NAME is Latin-1: the bytes that differ in Windows-1252 become '?'
    for (char c : text) latin += (static_cast<unsigned char>(c) >= 0x80 && static_cast<unsigned char>(c) < 0xA0) ? '?' : c;
    XStoreName(dpy_, it->second.xw, latin.c_str());
  }

  void WindowActivated(HWND h) override {
    auto it = wins_.find(h);
    if (it != wins_.end() && it->second.overrideRedirect) {
      if (it->second.mapped) TakeKeyboard(h, it->second);
      return;
    }
    if (keyboardHolder_ != 0 && keyboardHolder_ != h) ReleaseKeyboard();
    if (focusingFromX_ == h) return;
    if (it == wins_.end() || !it->second.mapped) return;
    XRaiseWindow(dpy_, it->second.xw);
    // A window that takes no activation, activated by the program (a click on a field in it),
    // leaves the keyboard with its owner, whose caption stays active: the keys reach the field
    // through the window system's focus.  The keyboard it was given (Alt+Tab) it keeps.
    if (KeyboardHolder(h) != h && XFocus() != it->second.xw) KeepKeyboardFor(h);
    else GiveKeyboard(h);
  }

  void WindowUpdated(HWND h, const RECT& rect) override {
    auto it = wins_.find(h);
    if (it == wins_.end()) return;
    UnionRect(it->second.dirty, it->second.dirty, rect);
  }

  void Flush() override {
    for (auto& [h, x] : wins_) {
      if (IsRectEmpty(x.dirty) || !x.mapped) continue;
      cairo_surface_t* backing = WindowSurface(h);
      if (!backing) continue;
      cairo_t* cr = cairo_create(x.xs);
      cairo_set_source_surface(cr, backing, 0, 0);
      cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
      cairo_rectangle(cr, x.dirty.Left, x.dirty.Top, x.dirty.Width(), x.dirty.Height());
      cairo_fill(cr);
      cairo_destroy(cr);
      cairo_surface_flush(x.xs);
      x.dirty = {};
    }
    XFlush(dpy_);
  }

  void CursorChanged(HCURSOR c) override {
    cursor_ = c;
    ::Cursor xc = CursorFor(c);
    for (auto& [h, x] : wins_) XDefineCursor(dpy_, x.xw, xc);
    XFlush(dpy_);
  }

  void Beep() override { XBell(dpy_, 0); }

  void ClipboardChanged() override {
    published_ = S().clipboard;
    XSetSelectionOwner(dpy_, clipboard_, selWin_, lastTime_);
    ownSelection_ = XGetSelectionOwner(dpy_, clipboard_) == selWin_;
    XFlush(dpy_);
  }

  bool FetchForeignClipboard(std::map<UINT, std::string>& formats) override {
    // The server decides who owns the clipboard: another program may have taken it before its
    // SelectionClear has reached our queue.
    ::Window owner = XGetSelectionOwner(dpy_, clipboard_);
    ownSelection_ = owner == selWin_;
    if (ownSelection_) return false;
    if (owner == None) return false;  // keep what the window system has
    formats.clear();
    std::string bytes;
    if (Convert(utf8_, bytes)) formats[CF_TEXT] = Utf8ToWin1252(bytes);
    else if (Convert(XA_STRING, bytes)) formats[CF_TEXT] = bytes;
    if (Convert(rtf_, bytes) || Convert(richtext_, bytes)) formats[RegisterClipboardFormat("Rich Text Format")] = bytes;
    return true;
  }

 private:
  // Static gravity: a position asked for is where the window itself goes, inside whatever frame
  // the window manager adds, and where it is reported back; with the default gravity the frame
  // would go there instead, and every move by program would shift the window by the frame once
  // more.  A fixed frame keeps its size: the window manager offers no resizing.
  // WM_CLASS: the program's name as instance and, capitalised, as class ("tidewell",
  // "Tidewell"), by which desktops group and name the program's windows.
  void SetClassHint(::Window xw) {
    std::string name = program_invocation_short_name != nullptr ? program_invocation_short_name : "";
    if (name.empty()) name = "program";
    std::string cls = name;
    cls[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(cls[0])));
    XClassHint hint;
    hint.res_name = name.data();
    hint.res_class = cls.data();
    XSetClassHint(dpy_, xw, &hint);
  }

  void SetNormalHints(::Window xw, DWORD style, const RECT& r) {
    XSizeHints hints{};
    hints.flags = USPosition | PPosition | PWinGravity;
    hints.x = r.Left;
    hints.y = r.Top;
    hints.win_gravity = StaticGravity;
    if ((style & WS_CAPTION) == WS_CAPTION && !(style & WS_THICKFRAME)) {
      hints.flags |= PMinSize | PMaxSize;
      hints.min_width = hints.max_width = std::max(1, r.Width());
      hints.min_height = hints.max_height = std::max(1, r.Height());
    }
    XSetWMNormalHints(dpy_, xw, &hints);
  }

  void SetGroupHints(::Window xw) {
    XWMHints hints{};
    hints.flags = InputHint | WindowGroupHint;
    hints.input = True;
    hints.window_group = leader_;
    XSetWMHints(dpy_, xw, &hints);
  }

  // A window stays above the window it is transient for: an owned window above its owner (a
  // modal window is owned by the window it blocks); a dialog without an owner is transient for
  // the program's window group (the root window stands for the group).
  void UpdateTransientFor(HWND h) {
    auto it = wins_.find(h);
    if (it == wins_.end() || it->second.overrideRedirect) return;
    ::Window target = 0;
    auto owner = wins_.find(GetWindow(h, GW_OWNER));
    if (owner != wins_.end() && !owner->second.overrideRedirect) target = owner->second.xw;
    else if (it->second.dialog) target = root_;
    if (target != 0) XSetTransientForHint(dpy_, it->second.xw, target);
    else XDeleteProperty(dpy_, it->second.xw, XA_WM_TRANSIENT_FOR);
  }

  // Keyboard focus that the window manager gave to a window blocked by a modal one goes on to
  // the modal window, which is raised.
  void ForwardToModal(HWND blocked) {
    HWND modal = ActivationTarget(blocked);
    if (modal == 0 || modal == blocked) return;
    if (GetActiveWindow() != modal) SetActiveWindow(modal);
    else WindowActivated(modal);
  }

  // An active window without a window manager's frame (a pop-up such as the calendar) is given
  // the keyboard as pop-ups are: the window manager never focuses a window it does not manage,
  // so the window takes the input focus itself and grabs the keyboard, which also keeps the
  // window manager's key bindings (Alt+F4) from acting on the window below it.  The grab ends
  // when the window hides or goes, when another window of the program becomes active, or when
  // the user turns to another program.
  void TakeKeyboard(HWND h, XWin& x) {
    XRaiseWindow(dpy_, x.xw);
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(dpy_, x.xw, &attrs) || attrs.map_state != IsViewable) return;
    ::Window from = 0;
    int revert = 0;
    XGetInputFocus(dpy_, &from, &revert);
    if (from != x.xw) {
      focusTaker_ = h;
      focusFrom_ = WindowOf(from) != 0 ? from : 0;
    }
    XSetInputFocus(dpy_, x.xw, RevertToParent, CurrentTime);
    if (keyboardHolder_ == h) return;
    // Every key is reported to the pop-up, also while the pointer rests on another window of
    // the program (a blocked one, which would drop it).
    if (XGrabKeyboard(dpy_, x.xw, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess) keyboardHolder_ = h;
    XFlush(dpy_);
  }
  // A pop-up that goes while it has the input focus first gives the focus back to the window of
  // the program it took it from (else to its owner).  Unmapped with the focus, it would drop the
  // focus to the root window, and the window manager would give it to a window of its own
  // choice (openbox: the main window, never a floating tool bar) at the same time as the
  // program gives it to the window it activates: whichever came last would have the keys.
  void GiveBackFocus(HWND h, const XWin& x) {
    if (focusTaker_ != h) return;
    focusTaker_ = 0;
    const ::Window from = focusFrom_;
    focusFrom_ = 0;
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy_, &focus, &revert);
    if (focus != x.xw) return;  // the keys went elsewhere meanwhile
    for (HWND target : {WindowOf(from), GetWindow(h, GW_OWNER)}) {
      auto it = wins_.find(target);
      if (target == 0 || target == h || it == wins_.end() || !it->second.mapped) continue;
      XWindowAttributes attrs;
      if (!XGetWindowAttributes(dpy_, it->second.xw, &attrs) || attrs.map_state != IsViewable) continue;
      XSetInputFocus(dpy_, it->second.xw, RevertToParent, CurrentTime);
      return;
    }
  }
  void ReleaseKeyboard() {
    keyboardHolder_ = 0;
    XUngrabKeyboard(dpy_, CurrentTime);
    XFlush(dpy_);
  }

  void DestroyX(XWin& x) {
    if (x.xs) cairo_surface_destroy(x.xs);
    x.xs = nullptr;
    XDestroyWindow(dpy_, x.xw);
  }

  ::Cursor CursorFor(HCURSOR c) {
    auto it = cursors_.find(c);
    if (it != cursors_.end()) return it->second;
    unsigned shape;
    switch (c) {
      case IDC_IBEAM: shape = XC_xterm; break;
      case IDC_WAIT: case IDC_APPSTARTING: shape = XC_watch; break;
      case IDC_CROSS: shape = XC_crosshair; break;
      case IDC_UPARROW: shape = XC_sb_up_arrow; break;
      case IDC_SIZENWSE: shape = XC_bottom_right_corner; break;
      case IDC_SIZENESW: shape = XC_bottom_left_corner; break;
      case IDC_SIZEWE: shape = XC_sb_h_double_arrow; break;
      case IDC_SIZENS: shape = XC_sb_v_double_arrow; break;
      case IDC_SIZEALL: shape = XC_fleur; break;
      case IDC_NO: shape = XC_X_cursor; break;
      case IDC_HAND: shape = XC_hand2; break;
      case IDC_HELP: shape = XC_question_arrow; break;
      default: shape = XC_left_ptr; break;
    }
    ::Cursor xc = XCreateFontCursor(dpy_, shape);
    cursors_[c] = xc;
    return xc;
  }

  // Asks the selection owner for one target; waits up to a second for the answer.
  bool Convert(Atom target, std::string& out) {
    XDeleteProperty(dpy_, selWin_, transfer_);
    XConvertSelection(dpy_, clipboard_, target, transfer_, selWin_, lastTime_);
    XFlush(dpy_);
    XEvent ev;
    for (int i = 0; i < 100; ++i) {
      if (XCheckTypedWindowEvent(dpy_, selWin_, SelectionNotify, &ev)) {
        if (ev.xselection.property == None) return false;
        return ReadProperty(out);
      }
      pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
      poll(&p, 1, 10);
    }
    return false;
  }

  bool ReadProperty(std::string& out) {
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, selWin_, transfer_, 0, 0x1000000, True, AnyPropertyType, &type, &format, &count,
                           &remaining, &data) != Success)
      return false;
    bool ok = type != incr_ && format == 8 && data;  // incremental transfers are not taken
    if (ok) out.assign(reinterpret_cast<const char*>(data), count);
    if (data) XFree(data);
    return ok;
  }

  void ServeSelection(const XSelectionRequestEvent& req) {
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = req.display;
    reply.requestor = req.requestor;
    reply.selection = req.selection;
    reply.target = req.target;
    reply.time = req.time;
    reply.property = None;
    Atom property = req.property == None ? req.target : req.property;
    auto text = published_.find(CF_TEXT);
    auto rtf = published_.find(RegisterClipboardFormat("Rich Text Format"));
    if (req.selection == clipboard_ && ownSelection_) {
      if (req.target == targets_) {
        std::vector<Atom> list{targets_};
        if (text != published_.end()) list.insert(list.end(), {utf8_, XA_STRING, text_});
        if (rtf != published_.end()) list.insert(list.end(), {rtf_, richtext_});
        XChangeProperty(dpy_, req.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(list.data()), static_cast<int>(list.size()));
        reply.property = property;
      } else if ((req.target == utf8_ || req.target == text_) && text != published_.end()) {
        std::string utf8 = Win1252ToUtf8(text->second);
        XChangeProperty(dpy_, req.requestor, property, utf8_, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
        reply.property = property;
      } else if (req.target == XA_STRING && text != published_.end()) {
        XChangeProperty(dpy_, req.requestor, property, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text->second.data()), static_cast<int>(text->second.size()));
        reply.property = property;
      } else if ((req.target == rtf_ || req.target == richtext_) && rtf != published_.end()) {
        XChangeProperty(dpy_, req.requestor, property, req.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(rtf->second.data()), static_cast<int>(rtf->second.size()));
        reply.property = property;
      }
    }
    XSendEvent(dpy_, req.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
  }

  // The window that has the keyboard for `h`: its first owner that takes the keyboard, for a
  // window that takes none (WS_EX_NOACTIVATE); else `h` itself.
  HWND KeyboardHolder(HWND h) {
    HWND holder = h;
    for (int guard = 0; holder != 0 && guard < 16; ++guard) {
      if ((static_cast<DWORD>(GetWindowLongPtr(holder, GWL_EXSTYLE)) & WS_EX_NOACTIVATE) == 0) return holder;
      holder = GetWindow(holder, GW_OWNER);
    }
    return h;
  }

  // The X input focus to a shown window of the program; false when it cannot have it.
  bool GiveKeyboard(HWND h) {
    auto it = wins_.find(h);
    if (it == wins_.end() || !it->second.mapped) return false;
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(dpy_, it->second.xw, &attrs) || attrs.map_state != IsViewable) return false;
    XSetInputFocus(dpy_, it->second.xw, RevertToParent, CurrentTime);
    return true;
  }
  ::Window XFocus() {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy_, &focus, &revert);
    return focus;
  }
  // The keyboard to the owner that holds it for `h`, a window that takes no activation.  The
  // focus arriving there is the program's own doing and activates nothing.
  void KeepKeyboardFor(HWND h) {
    const HWND holder = KeyboardHolder(h);
    auto it = wins_.find(holder);
    if (it == wins_.end() || XFocus() == it->second.xw) return;
    if (GiveKeyboard(holder)) keptFocus_ = it->second.xw;
  }
  // True when the window manager focused window `xw` for a click on it: the press came first
  // (no focus change or key after it), or, with `look`, it comes with the focus (a window
  // manager may focus before it passes the press on: the server is asked to send what it has).
  bool FocusedByClick(::Window xw, bool look) {
    const bool marked = pressWindow_ == xw;
    pressWindow_ = 0;
    if (marked || !look) return marked;
    XSync(dpy_, False);
    // The queue is looked through, nothing taken from it.
    struct Seek {
      ::Window window;
      bool found;
    } seek{xw, false};
    auto pressOn = [](::Display*, XEvent* e, XPointer p) -> Bool {
      auto* s = reinterpret_cast<Seek*>(p);
      if (e->type == ButtonPress && e->xbutton.window == s->window) s->found = true;
      return False;
    };
    XEvent ev;
    XCheckIfEvent(dpy_, &ev, pressOn, reinterpret_cast<XPointer>(&seek));
    return seek.found;
  }

  HWND WindowOf(::Window xw) {
    auto it = byX_.find(xw);
    return it == byX_.end() ? 0 : it->second;
  }

  POINT ScreenPoint(HWND h, int x, int y) {
    RECT r;
    GetWindowRect(h, &r);
    return {r.Left + x, r.Top + y};
  }

  void Key(XKeyEvent& ev, bool down) {
    char buffer[16];
    KeySym keysym = NoSymbol;
    XLookupString(&ev, buffer, sizeof buffer, &keysym, nullptr);
    KeySym plain = XLookupKeysym(&ev, 0);
    // Ctrl and Alt together type nothing (AltGr is a key of its own on X and types its
    // character without either of them).
    const bool ctrlAlt = (ev.state & ControlMask) && (ev.state & Mod1Mask);
    const TKeyPress press = ReadKeyPress(plain, keysym, ctrlAlt);
    UINT vk = press.VirtualKey;
    // A key remapped for one press (input tools unmap it at once) is released under the
    // virtual key it was pressed as.
    const std::size_t code = ev.keycode & 0xFF;
    if (down) {
      pressedAs_[code] = vk;
    } else if (vk == 0) {
      vk = pressedAs_[code];
    }
    if (vk == 0) return;
    // Shift, Ctrl and Alt as the server had them with this key: a modifier let go while the
    // window manager held the keyboard (Alt after Alt+Tab between the program's own windows)
    // is not held any longer.
    const bool modifier = vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU;
    if (!modifier) SyncModifiers(ev.state);
    // A key that reaches a window blocked by a modal one does nothing there; only a modifier's
    // release still counts, so that it is not held for ever.
    if (HWND h = WindowOf(ev.window); h != 0 && !IsWindowEnabled(h)) {
      if (!down && modifier) InjectKeyUp(vk);
      return;
    }
    if (down) {
      if (press.Refused) MessageBeep(0);
      InjectKeyDown(vk, press.Character < 0 ? kNoCharacter : press.Character);
    } else {
      InjectKeyUp(vk);
    }
  }

  // Shift, Ctrl and Alt as the server saw them, for keys pressed or let go while another
  // program or the window manager had the keyboard (mouse and key events report them).
  static void SyncModifiers(unsigned state) {
    State& s = S();
    auto set = [&](UINT vk, UINT left, UINT right, bool down) {
      if (down == ((s.keys[vk] & 0x80) != 0)) return;
      BYTE bit = down ? 0x80 : 0;
      s.keys[vk] = static_cast<BYTE>((s.keys[vk] & 0x7F) | bit);
      s.keys[left] = static_cast<BYTE>((s.keys[left] & 0x7F) | bit);
      if (!down) s.keys[right] = static_cast<BYTE>(s.keys[right] & 0x7F);
    };
    set(VK_SHIFT, VK_LSHIFT, VK_RSHIFT, (state & ShiftMask) != 0);
    set(VK_CONTROL, VK_LCONTROL, VK_RCONTROL, (state & ControlMask) != 0);
    set(VK_MENU, VK_LMENU, VK_RMENU, (state & Mod1Mask) != 0);
  }

  void Button(XButtonEvent& ev, bool down) {
    HWND h = WindowOf(ev.window);
    if (!h) return;
    SyncModifiers(ev.state);
    POINT p = ScreenPoint(h, ev.x, ev.y);
    if (ev.button == 4 || ev.button == 5) {
      if (down) InjectMouseWheel(p.X, p.Y, ev.button == 4 ? WHEEL_DELTA : -WHEEL_DELTA);
      return;
    }
    MouseButton b = ev.button == 1 ? MouseButton::Left : ev.button == 3 ? MouseButton::Right : MouseButton::Middle;
    if (ev.button > 3) return;
    if (down) pressWindow_ = ev.window;
    // A press on a window that takes no activation, focused by the window manager with no click
    // seen and no key since, was the click it focused the window for (passed on late, however
    // much came between): the activation goes back to the owner, with the keyboard.
    if (down && ev.window == focusedUnclicked_) {
      focusedUnclicked_ = 0;
      pressWindow_ = 0;
      SetActiveWindow(KeyboardHolder(h));
    }
    if (!down) {
      InjectMouseUp(p.X, p.Y, b);
      return;
    }
    // A second press soon after and near the first is a double click.
    int dist = GetSystemMetrics(SM_CXDOUBLECLK);
    bool isDouble = lastButton_ == ev.button && lastClickWindow_ == ev.window &&
                    ev.time - lastClickTime_ <= GetDoubleClickTime() && std::abs(ev.x - lastX_) <= dist &&
                    std::abs(ev.y - lastY_) <= dist;
    if (isDouble) {
      InjectMouseDoubleDown(p.X, p.Y, b);
      lastButton_ = 0;  // a third press starts anew
    } else {
      InjectMouseDown(p.X, p.Y, b);
      lastButton_ = ev.button;
      lastClickTime_ = ev.time;
      lastX_ = ev.x;
      lastY_ = ev.y;
      lastClickWindow_ = ev.window;
    }
  }

  // Window `window` of the program was moved or sized, or a frame the window manager holds it in.
  void Configure(::Window window) {
    HWND h = WindowOf(window);
    auto found = wins_.find(h);
    if (!h || found == wins_.end()) return;
    const bool overrideRedirect = found->second.overrideRedirect;
    // The place the window has now, not the one of the event: a window manager passes through
    // sizes on its way (restoring, it first gives back the maximised size), and a size already
    // left behind is not taken for the window's.
    XWindowAttributes a;
    int x = 0, y = 0;
    ::Window child;
    if (!XGetWindowAttributes(dpy_, window, &a)) return;
    XTranslateCoordinates(dpy_, window, root_, 0, 0, &x, &y, &child);
    const bool wasZoomed = IsZoomed(h);
    if (!overrideRedirect) MaximizedByWindowManager(window);
    // Restored just now: the window is on its way back to its normal place.
    if (wasZoomed && !IsZoomed(h)) return;
    auto it = wins_.find(h);
    if (it == wins_.end()) return;
    XWin& xw = it->second;
    RECT r;
    GetWindowRect(h, &r);
    if (r.Left == x && r.Top == y && r.Width() == a.width && r.Height() == a.height) return;
    if (xw.width != a.width || xw.height != a.height) {
      xw.width = std::max(1, a.width);
      xw.height = std::max(1, a.height);
      cairo_xlib_surface_set_size(xw.xs, xw.width, xw.height);
      xw.dirty = Bounds(0, 0, xw.width, xw.height);
    }
    applyingConfigure_ = h;
    SetWindowPos(h, 0, x, y, a.width, a.height, SWP_NOZORDER | SWP_NOACTIVATE);
    applyingConfigure_ = 0;
  }

  // A window manager puts the window into a frame of its own and may place the frame only after
  // that, telling the window nothing (its place inside the frame stays the same): whatever holds
  // the window is watched for moves, and the window's place is read anew at each, and now.  (Read
  // before the frame was placed, the place would stay wrong, and clicks aimed by it would miss.)
  void Reparented(::Window xw) {
    const HWND h = WindowOf(xw);
    if (!h) return;
    ForgetFrames(h);
    ::Window w = xw;
    for (int guard = 0; guard < 8; ++guard) {
      ::Window root = 0, parent = 0, *children = nullptr;
      unsigned count = 0;
      if (!XQueryTree(dpy_, w, &root, &parent, &children, &count)) break;
      if (children) XFree(children);
      if (parent == 0 || parent == root_) break;
      XSelectInput(dpy_, parent, StructureNotifyMask);
      frames_[parent] = h;
      w = parent;
    }
    Configure(xw);
  }
  void ForgetFrames(HWND h) {
    for (auto it = frames_.begin(); it != frames_.end();) {
      if (it->second != h) {
        ++it;
        continue;
      }
      XSelectInput(dpy_, it->first, NoEventMask);
      it = frames_.erase(it);
    }
  }
  // The window of the program that `xw` is, or that it holds as a frame of the window manager.
  ::Window HeldWindow(::Window xw) {
    if (WindowOf(xw)) return xw;
    auto f = frames_.find(xw);
    if (f == frames_.end()) return 0;
    auto it = wins_.find(f->second);
    return it == wins_.end() ? 0 : it->second.xw;
  }

  // The window manager may have iconified a window that the window system still shows: it has,
  // when the window's WM_STATE says IconicState and the server has it unmapped.  (Not every unmap
  // is that: a window manager that adopts a window already shown, one started after the program,
  // unmaps it once while it puts it into its frame, and maps it again at once.)
  void IconifiedByWindowManager(::Window xwin) {
    HWND h = WindowOf(xwin);
    auto it = wins_.find(h);
    if (it == wins_.end() || !it->second.mapped || it->second.overrideRedirect || !IsWindowVisible(h)) return;
    const std::vector<long> state = ReadProperty32(xwin, wmState_, wmState_, 2);
    XWindowAttributes a;
    if (state.empty() || state[0] != IconicState || !XGetWindowAttributes(dpy_, xwin, &a) || a.map_state != IsUnmapped)
      return;
    it->second.mapped = false;
    it->second.mapAskedAt = 0;
    ShowWindow(h, SW_SHOWMINNOACTIVE);
  }

  // Handles every queued event up to and including the first key; true when there was one.
  // The events after a key wait until its message has been taken from the queue, and nothing is
  // read while a key message waits: the keys that follow go to the window that has the focus
  // once the key before them was handled (Tab moves it), as the window system routes keys when
  // they are taken.  (The key state a handler reads travels with its message.)
  bool ProcessEvents() {
    if (KeyInputWaiting()) return false;
    bool any = false;
    bool focusLeft = false;
    bool key = false;
    while (!key && XPending(dpy_)) {
      any = true;
      XEvent ev;
      XNextEvent(dpy_, &ev);
      switch (ev.type) {
        case MappingNotify:
          // Keys remapped while the program runs (input tools map a spare key to the character
          // they type) read with their new symbols.
          XRefreshKeyboardMapping(&ev.xmapping);
          break;
        case KeyPress:
          lastTime_ = ev.xkey.time;
          pressWindow_ = 0;
          focusedUnclicked_ = 0;
          Key(ev.xkey, true);
          key = true;
          break;
        case KeyRelease: {
          lastTime_ = ev.xkey.time;
          // Auto-repeat comes as release and press at the same moment: only the press counts.
          if (XEventsQueued(dpy_, QueuedAfterReading)) {
            XEvent next;
            XPeekEvent(dpy_, &next);
            if (next.type == KeyPress && next.xkey.time == ev.xkey.time && next.xkey.keycode == ev.xkey.keycode) break;
          }
          Key(ev.xkey, false);
          key = true;
          break;
        }
        case ButtonPress:
        case ButtonRelease:
          lastTime_ = ev.xbutton.time;
          Button(ev.xbutton, ev.type == ButtonPress);
          break;
        case MotionNotify: {
          while (XCheckTypedWindowEvent(dpy_, ev.xmotion.window, MotionNotify, &ev)) {
          }
          HWND h = WindowOf(ev.xmotion.window);
          if (h) {
            POINT p = ScreenPoint(h, ev.xmotion.x, ev.xmotion.y);
            InjectMouseMove(p.X, p.Y);
          }
          break;
        }
        case Expose: {
          HWND h = WindowOf(ev.xexpose.window);
          auto it = wins_.find(h);
          if (it != wins_.end())
            UnionRect(it->second.dirty, it->second.dirty, Bounds(ev.xexpose.x, ev.xexpose.y, ev.xexpose.width, ev.xexpose.height));
          break;
        }
        case ConfigureNotify:
          Configure(HeldWindow(ev.xconfigure.window));
          break;
        case ReparentNotify:
          Reparented(HeldWindow(ev.xreparent.window));
          break;
        case DestroyNotify:
          frames_.erase(ev.xdestroywindow.window);
          break;
        case UnmapNotify:
          // The window manager iconified a window that the window system still shows: it sets
          // WM_STATE before the unmap (a late one after it: see PropertyNotify).
          IconifiedByWindowManager(ev.xunmap.window);
          break;
        case MapNotify: {
          // ... and brought it back.
          HWND h = WindowOf(ev.xmap.window);
          auto it = wins_.find(h);
          if (it != wins_.end()) it->second.mapAskedAt = 0;
          // A pop-up activated before the server had shown it takes the keyboard now.
          if (it != wins_.end() && it->second.overrideRedirect && it->second.mapped && GetActiveWindow() == h &&
              keyboardHolder_ != h)
            TakeKeyboard(h, it->second);
          if (it != wins_.end() && IsIconic(h)) {
            it->second.mapped = true;
            it->second.dirty = Bounds(0, 0, it->second.width, it->second.height);
            ShowWindow(h, SW_RESTORE);
          }
          break;
        }
        case ClientMessage:
          if (ev.xclient.message_type == wmProtocols_ && static_cast<Atom>(ev.xclient.data.l[0]) == wmDelete_) {
            // A window blocked by a modal one is not closed: its modal window comes forward.
            if (HWND h = WindowOf(ev.xclient.window)) {
              if (IsWindowEnabled(h)) PostMessage(h, WM_CLOSE, 0, 0);
              else ForwardToModal(h);
            }
          }
          break;
        case FocusIn:
          if (ev.xfocus.mode == NotifyNormal || ev.xfocus.mode == NotifyWhileGrabbed) {
            HWND h = WindowOf(ev.xfocus.window);
            const bool noActivation = h && KeyboardHolder(h) != h;
            focusedUnclicked_ = 0;
            const bool clicked = FocusedByClick(ev.xfocus.window, noActivation);
            const bool kept = keptFocus_ == ev.xfocus.window;
            keptFocus_ = 0;
            focusLeft = false;
            // A window that takes no activation, focused by the window manager for a click on
            // it, hands the keyboard back to its owner and is not activated (focused by the
            // user's turning to it, Alt+Tab, it is).  The owner's focus activates nothing.
            if (noActivation && clicked) {
              KeepKeyboardFor(h);
            } else if (h && !IsWindowEnabled(h)) {
              ForwardToModal(h);
            } else if (h && GetActiveWindow() != h && !kept) {
              focusingFromX_ = h;
              SetActiveWindow(h);
              focusingFromX_ = 0;
              if (noActivation) focusedUnclicked_ = ev.xfocus.window;
            }
          }
          break;
        case FocusOut:
          // While a pop-up holds the keyboard the window manager's focus changes come "while
          // grabbed".
          if ((ev.xfocus.mode == NotifyNormal || (ev.xfocus.mode == NotifyWhileGrabbed && keyboardHolder_ != 0)) &&
              ev.xfocus.detail != NotifyInferior)
            focusLeft = true;
          break;
        case SelectionRequest:
          ServeSelection(ev.xselectionrequest);
          break;
        case PropertyNotify:
          if (ev.xproperty.atom == netWmState_) MaximizedByWindowManager(ev.xproperty.window);
          if (ev.xproperty.atom == wmState_) IconifiedByWindowManager(ev.xproperty.window);
          break;
        case SelectionClear:
          if (ev.xselectionclear.selection == clipboard_) ownSelection_ = false;
          break;
        default:
          break;
      }
    }
    if (focusLeft) {
      // The keyboard went to another program when no window of ours holds it now.
      ::Window focus;
      int revert;
      XGetInputFocus(dpy_, &focus, &revert);
      if (!WindowOf(focus)) {
        if (keyboardHolder_ != 0) ReleaseKeyboard();
        DeactivateApplication();
      }
    }
    return any;
  }

  ::Display* dpy_;
  int screen_ = 0;
  ::Window root_ = 0;
  Visual* visual_ = nullptr;
  int depth_ = 24;
  ::Window selWin_ = 0;
  ::Window leader_ = 0;
  Atom wmProtocols_, wmDelete_, netWmName_, netWmType_, typeNormal_, typeDialog_, typeUtility_, motifHints_, frameExtents_;
  Atom requestFrameExtents_, netSupported_;
  Atom netWmState_, maximizedVert_, maximizedHorz_;
  Atom utf8_, clipboard_, targets_, text_, rtf_, richtext_, transfer_, incr_, wmState_;
  std::unordered_map<HWND, XWin> wins_;
  std::unordered_map<::Window, HWND> byX_;
  std::unordered_map<::Window, HWND> frames_;  // the window manager's windows that hold ours
  std::unordered_map<HCURSOR, ::Cursor> cursors_;
  HCURSOR cursor_ = 0;
  std::map<UINT, std::string> published_;
  bool ownSelection_ = false;
  Time lastTime_ = CurrentTime;
  HWND applyingConfigure_ = 0;
  HWND focusingFromX_ = 0;
  HWND keyboardHolder_ = 0;  // the pop-up that grabbed the keyboard
  HWND focusTaker_ = 0;      // the pop-up that took the input focus ...
  ::Window focusFrom_ = 0;   // ... from this window of the program
  unsigned lastButton_ = 0;
  // The virtual key each keycode was last pressed as.
  std::array<UINT, 256> pressedAs_{};
  Time lastClickTime_ = 0;
  ::Window pressWindow_ = 0;  // where a mouse button was pressed last, until a focus change or key
  ::Window keptFocus_ = 0;    // the owner given the keyboard for a window that takes no activation
  // A window that takes no activation, activated by the window manager's focus with no click
  // seen, until a key comes or the focus moves on.
  ::Window focusedUnclicked_ = 0;
  int lastX_ = 0;
  int lastY_ = 0;
  ::Window lastClickWindow_ = 0;
  std::uint64_t lastPoll_ = 0;
};

}  // namespace

MotifHints MotifHintsFor(DWORD style, DWORD exStyle) {
  // Bits of the Motif window-manager hints.
  constexpr unsigned long kFunctions = 1, kDecorations = 2;
  constexpr unsigned long kFuncResize = 2, kFuncMove = 4, kFuncMinimize = 8, kFuncMaximize = 16, kFuncClose = 32;
  constexpr unsigned long kDecorBorder = 2, kDecorResizeH = 4, kDecorTitle = 8, kDecorMenu = 16, kDecorMinimize = 32,
                          kDecorMaximize = 64;
  MotifHints h;
  h.flags = kFunctions | kDecorations;
  if ((style & WS_CAPTION) != WS_CAPTION) return h;  // no caption: no decorations at all
  (void)exStyle;
  h.functions = kFuncMove;
  h.decorations = kDecorBorder | kDecorTitle;
  if (style & WS_THICKFRAME) {
    h.functions |= kFuncResize;
    h.decorations |= kDecorResizeH;
  }
  if (style & WS_SYSMENU) {
    h.functions |= kFuncClose;
    h.decorations |= kDecorMenu;
    if (style & WS_MINIMIZEBOX) {
      h.functions |= kFuncMinimize;
      h.decorations |= kDecorMinimize;
    }
    if (style & WS_MAXIMIZEBOX) {
      h.functions |= kFuncMaximize;
      h.decorations |= kDecorMaximize;
    }
  }
  return h;
}

std::unique_ptr<DisplayBackend> MakeX11Display(const char* displayName) {
  ::Display* dpy = XOpenDisplay(displayName);
  if (!dpy) return nullptr;
  return std::make_unique<X11Display>(dpy);
}

}  // namespace tw::win
