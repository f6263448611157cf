// The display behind the window system, and the seam that tests drive it through.
//
// Every top-level window paints into a cairo image surface of its own (its backing store); child
// windows paint into their top-level window's surface through a clipped, translated context.
// A display backend shows those surfaces and feeds outside events in:
//   "offscreen"  nothing is shown; input is injected by tests; time is virtual and moves only when
//                a test advances it (or when a wait would otherwise block with a timer pending),
//                so everything is deterministic.  A wait with nothing pending, no timer and no
//                other thread posting throws tw::Exception after 30 s instead of hanging.
//   "x11"        real windows on the X server named by DISPLAY (Xlib and cairo-xlib); key, mouse,
//                focus, expose, configure and close events become window messages; the CLIPBOARD
//                selection is served and read (UTF8_STRING, text/rtf).
// The default is "x11" when DISPLAY is set and "offscreen" otherwise; the environment variable
// TIDEWELL_DISPLAY ("offscreen" or "x11") overrides it, and an X display that cannot be opened
// falls back to offscreen.  Select before the first
// window is created; selecting again destroys every window first.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/win/winapi.h"

namespace tw {

// What the window system asks of a display.  Implementations live in the window system's own
// folder; tests and the program only select one.
class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  virtual const char* Name() const = 0;
  // The display server the windows go to: the X display's name as opened (":0",
  // "localhost:10.0"); the backend's name where there is no server.
  virtual std::string ServerName() const { return Name(); }
  // Milliseconds of the display's clock (virtual on the offscreen display).
  virtual std::uint64_t NowMs() = 0;
  // Moves a virtual clock forward; false for a real clock.
  virtual bool AdvanceClock(std::uint64_t /*ms*/) { return false; }
  // Turns pending outside events into window messages, waiting at most `timeoutMs` (-1: no limit)
  // for one to arrive or for `wakeFd` (written by PostMessage from another thread) to become
  // readable.  Returns early after any event.
  virtual void Wait(int timeoutMs, int wakeFd) = 0;
  // False when waiting cannot bring new input (the offscreen display, where only tests inject
  // it); loops that follow the mouse then end when the queue runs empty.
  virtual bool InputCanArrive() const { return true; }
  // Turns outside events that have already arrived into window messages and shows what was
  // drawn, without waiting (called by every retrieval, so that busy loops stay responsive).
  virtual void PollEvents() {}
  // The screen size in pixels.
  virtual TSize ScreenSize() = 0;
  // True when a window manager draws captions and frames of top-level windows itself, so that
  // the window system keeps no non-client area of its own for them.
  virtual bool DecoratesWindows() const { return false; }

  // The display's own handle of a top-level window (the X window id on X11; 0 offscreen).
  virtual std::uintptr_t NativeWindow(HWND) { return 0; }
  // The thickness of the frame a window manager put round a top-level window, on each side
  // (all 0 when it has none or it is not known yet).
  virtual RECT FrameExtents(HWND) { return {}; }
  // Offscreen only: behave as if a window manager framed every top-level window with a caption.
  virtual void SimulateFrame(const RECT& /*thickness*/) {}

  // Top-level windows (children never reach the display).
  virtual void WindowCreated(HWND) {}
  virtual void WindowDestroyed(HWND) {}
  virtual void WindowShown(HWND, bool /*visible*/) {}
  virtual void WindowMoved(HWND) {}  // bounds or size changed
  virtual void WindowTextChanged(HWND) {}
  // The owner of a top-level window changed (a modal window is owned by the window it blocks).
  virtual void WindowOwnerChanged(HWND) {}
  virtual void WindowActivated(HWND) {}
  // Pixels of the backing store changed inside `rect` (window coordinates).
  virtual void WindowUpdated(HWND, const RECT& /*rect*/) {}
  // Flushes what was drawn to the screen (called when the queue runs empty).
  virtual void Flush() {}

  virtual void CursorChanged(HCURSOR) {}
  virtual void Beep() {}

  // Clipboard: the window system's own contents changed (CloseClipboard after changes).
  virtual void ClipboardChanged() {}
  // Fills `formats` with another program's clipboard contents; false when the window system's
  // own contents are current (or nothing else is there).
  virtual bool FetchForeignClipboard(std::map<UINT, std::string>& /*formats*/) { return false; }
};

// Selects the backend by name ("offscreen", "x11"); throws tw::Exception for an unknown name or
// an X display that cannot be opened.
void SelectDisplay(const std::string& name);
// The current backend, selecting the default on first use.
DisplayBackend& Display();
std::string DisplayName();
// The current backend's ServerName().
std::string DisplayServerName();
// Destroys every window, timer, hook and class and clears the queue, focus, capture, caret and
// clipboard (for tests: a clean window system between cases).  Keeps the display.
void ResetWindowSystem();

// The frame a window manager put round a top-level window (its thickness on each side: left,
// top, right and bottom; all 0 when there is none).  A window's own rectangle never includes it.
RECT WindowManagerFrame(HWND hwnd);

// --- test seam (works on every display; on X11 it feeds the same path as real events)

// The offscreen display acts as if a window manager framed every top-level window with a caption
// with these thicknesses (left, top, right, bottom; all 0: no window manager).  The window
// system then draws no frame of its own for them, as under a real one.  Select before the
// windows are created.
void SimulateWindowManagerFrame(const RECT& thickness);

enum class MouseButton { Left, Right, Middle };

// Keys: a key-down of a virtual key posts WM_KEYDOWN (WM_SYSKEYDOWN while Alt is down or for
// F10) to the focused window (the active window when nothing has the focus) and updates the key
// state; `typed` is the Windows-1252 character it types (a char or its code; 0: derived from
// the key and the Shift and Caps Lock state on a US layout; kNoCharacter: none), delivered as
// WM_CHAR by TranslateMessage.  Ctrl with a letter types its control character.
constexpr int kNoCharacter = 0x100;
void InjectKeyDown(UINT vk, int typed = 0);
void InjectKeyUp(UINT vk);
// Down and up of one key.
void InjectKey(UINT vk, int typed = 0);
// Each character of a Windows-1252 text as WM_CHAR to the focused window (no key messages).
void InjectText(const std::string& text);
// The character a virtual key types on a US layout (0 when none).
char VirtualKeyToChar(UINT vk, bool shift);

// Mouse at screen coordinates: hit-tested (WM_NCHITTEST) and routed to the captured window or
// the window under the point, with WM_SETCURSOR, WM_MOUSEACTIVATE and activation as the window
// system does; client or non-client messages by the hit.
void InjectMouseMove(int screenX, int screenY);
void InjectMouseDown(int screenX, int screenY, MouseButton button = MouseButton::Left);
void InjectMouseUp(int screenX, int screenY, MouseButton button = MouseButton::Left);
// The second press of a double click (WM_xBUTTONDBLCLK for classes with CS_DBLCLKS, a plain
// press otherwise).
void InjectMouseDoubleDown(int screenX, int screenY, MouseButton button = MouseButton::Left);
void InjectMouseWheel(int screenX, int screenY, int delta);
// A press on a caption or sizing edge starts the window system's move or size loop, which
// follows the mouse messages already queued: inject the whole drag, then process the queue.
// Window coordinates (client area) of `hwnd`.
void InjectClick(HWND hwnd, int clientX, int clientY, MouseButton button = MouseButton::Left);
void InjectDoubleClick(HWND hwnd, int clientX, int clientY);
// A double click (press, release, second press, release) at screen coordinates.
void InjectDoubleClickAt(int screenX, int screenY);

// Pixels: the backing store of a top-level window, or of the top-level window of a child (the
// child's client area is at ClientOrigin).  0xAARRGGBB at a client point of any window; 0 when
// outside or stale.
cairo_surface_t* WindowSurface(HWND hwnd);
std::uint32_t GetWindowPixel(HWND hwnd, int clientX, int clientY);
// Saves the window (a child: its client area) as a PNG file; false on failure.
bool SaveWindowPng(HWND hwnd, const std::string& path);

// Time (offscreen: virtual; x11: the real clock, and AdvanceTime only shifts the timers).
std::uint64_t CurrentTimeMs();
void AdvanceTime(std::uint64_t ms);
// Makes a timer due now (false when there is no such timer).
bool FireTimer(HWND hwnd, UINT_PTR id);

// Caret state as drawn: true while its inverted rectangle is on the backing store.
bool CaretDrawn();
RECT CaretRect();  // client coordinates of the caret's window; empty without a caret

}  // namespace tw
