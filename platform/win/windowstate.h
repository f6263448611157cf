// The window system's own records: windows, classes, timers, the queue and the process-wide
// state behind the calls of winapi.h.  Private to the window system's files.
//
// Rule for every file here: never keep a Window* across a call into a window procedure (the
// procedure may destroy the window); keep the handle and look it up again.
#pragma once

#include <cairo.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/win/display.h"
#include "platform/win/winapi.h"

namespace tw::win {

struct WindowClass {
  std::string name;  // as registered
  WNDCLASS wc;       // lpszClassName points into `name`
};

struct ScrollBarState {
  int min = 0;
  int max = 100;
  UINT page = 0;
  int pos = 0;
  int trackPos = 0;
};

struct Window {
  HWND handle = 0;
  std::shared_ptr<WindowClass> cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = 0;  // the parent of a child window; 0 for top-level windows
  HWND owner = 0;   // the owner of a top-level window
  bool messageOnly = false;
  std::vector<HWND> children;  // z-order, topmost first
  RECT rect{};                 // in the parent's client coordinates (top-level: screen)
  RECT client{};               // the client area in window coordinates
  std::string text;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  HINSTANCE instance = 0;
  std::vector<unsigned char> extra;
  // Painting
  RECT update{};  // invalid part of the client area, client coordinates
  bool erase = false;
  bool ncDirty = false;
  bool internalPaint = false;
  bool redraw = true;  // WM_SETREDRAW
  // Life
  bool created = false;     // WM_CREATE answered
  bool destroying = false;  // inside DestroyWindow
  // Scroll bars
  ScrollBarState hscroll;
  ScrollBarState vscroll;
  // Backing store (top-level windows only)
  cairo_surface_t* surface = nullptr;
  int showState = 0;  // 0 normal, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED
  RECT restoreRect{};
};

struct Timer {
  HWND hwnd = 0;
  UINT_PTR id = 0;
  UINT interval = 0;
  std::uint64_t due = 0;
  TIMERPROC proc = nullptr;
};

struct CrossThreadSend {
  HWND hwnd = 0;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::promise<LRESULT> result;
};

struct Hook {
  HHOOK handle = 0;
  int kind = 0;
  std::function<LRESULT(int, WPARAM, LPARAM)> proc;
};

struct Caret {
  HWND hwnd = 0;
  int width = 0;
  int height = 0;
  POINT pos{};
  int hideCount = 1;  // created hidden
  bool drawn = false;
  RECT drawnRect{};   // window coordinates of the top-level surface where it was drawn
  HWND drawnTop = 0;
  std::uint64_t nextBlink = 0;
  // The pixels that the caret inverts, as an A1 mask of its size; none: the whole rectangle.
  std::shared_ptr<cairo_surface_t> shape;
};

struct State {
  // Windows (user-interface thread only).
  std::unordered_map<HWND, std::unique_ptr<Window>> windows;
  // Windows found lately, by the low bits of their handle (Find); emptied when a window goes.
  struct FoundWindow {
    HWND hwnd = 0;
    Window* window = nullptr;
  };
  FoundWindow found[8];
  std::vector<HWND> topLevels;  // z-order, topmost first
  HWND desktop = 0;
  std::uint32_t nextHandle = 0x10;
  std::map<std::string, std::shared_ptr<WindowClass>> classes;  // key: upper-case name

  // Queue (guarded by queueLock; PostMessage may come from any thread).
  std::mutex queueLock;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<CrossThreadSend>> incomingSends;
  std::atomic<bool> hasIncomingSends{false};  // incomingSends is not empty
  std::unordered_set<HWND> liveHandles;  // what other threads may post to
  bool quitPending = false;
  int quitCode = 0;
  int wakeFd = -1;
  std::thread::id uiThread;
  std::atomic<bool> uiThreadSet{false};
  DWORD lastMessageTime = 0;
  DWORD lastMessagePos = 0;
  int sendDepth = 0;
  HWND beganPaint = 0;  // the last window that called BeginPaint

  // Timers
  std::vector<Timer> timers;
  UINT_PTR nextThreadTimerId = 1;
  std::int64_t timeShift = 0;  // AdvanceTime on a real clock

  // Input
  HWND focus = 0;
  HWND active = 0;
  HWND capture = 0;
  BYTE keys[256] = {};         // live: the keyboard as far as it has been read (GetAsyncKeyState)
  BYTE messageKeys[256] = {};  // as of the input message taken last (GetKeyState)
  POINT cursorPos{};
  HCURSOR cursor = IDC_ARROW;
  int cursorShowCount = 0;
  bool swapButtons = false;
  HWND lastMouseWindow = 0;
  bool altNumpadActive = false;
  bool altUsed = false;  // another key went down while Alt was held
  int altNumpadCode = 0;

  // Caret
  Caret caret;
  UINT caretBlinkMs = 530;

  // Clipboard
  HWND clipboardOpenBy = 0;
  bool clipboardOpen = false;
  bool clipboardChanged = false;
  HWND clipboardOwner = 0;
  std::map<UINT, std::string> clipboard;

  // Atoms shared by registered messages and clipboard formats.
  std::map<std::string, UINT> atoms;  // key: upper-case name
  std::map<UINT, std::string> atomNames;
  UINT nextAtom = 0xC000;

  // Hooks
  std::vector<Hook> hooks;  // most recent first
  HHOOK nextHook = 1;

  // Object instances (MakeObjectInstance)
  std::vector<std::shared_ptr<WindowProcedure>> instances;  // slot i is value i + 1

  unsigned beeps = 0;

  std::unique_ptr<DisplayBackend> display;
};

State& S();

std::shared_ptr<WindowClass> LookupClass(const char* name);

// Lookup; nullptr for stale handles.
Window* Find(HWND hwnd);
// Forgets what Find remembers; called when a window leaves the table.
void ForgetFoundWindows();
// The top-level window of a window (itself when top-level); 0 when stale.
HWND TopLevelOf(HWND hwnd);
// Current time of the window system's clock.
std::uint64_t Now();
// Marks the calling thread as the user-interface thread when none is set yet.
void NoteUiThread();
bool OnUiThread();
// Wakes a waiting loop (any thread).
void Wake();

// Geometry helpers (windowpos.cpp)
// Offset of the window's top-left corner in its top-level window's coordinates.
POINT OffsetInTop(const Window& w);
// Screen position of the window's top-left corner.
POINT WindowScreenOrigin(const Window& w);
// Screen position of the client area's top-left corner.
POINT ClientScreenOrigin(const Window& w);
// The client rectangle computed by the default non-client handling, in window coordinates.
RECT DefaultClientRect(const Window& w);
// Recomputes the client area through WM_NCCALCSIZE.
void RecalcClient(HWND hwnd);
bool IsVisibleChain(HWND hwnd);
// Non-client metrics of a window: frame thickness and caption height.
struct FrameMetrics {
  int border = 0;   // on every side, frame and edges together
  int caption = 0;  // below the top border
};
FrameMetrics DefaultFrame(const Window& w);

// Painting (paint.cpp)
void EnsureSurface(Window& w);
void FreeSurface(Window& w);
void InvalidateWindowArea(HWND hwnd, const RECT* clientRect, bool erase, bool children);
// The window with pending painting, parents before children, matching a filter (0: any).
HWND FindPaintWindow(HWND filter);
// Invalidates the part of a parent (client coordinates of the parent) where a child was.
void InvalidateParentArea(HWND parent, const RECT& rectInParentClient);
void NotifyTopUpdated(HWND top, const RECT& rect);
void DrawNonClient(HWND hwnd);
// Every DC handed out for a window is released when it is destroyed.
void ReleaseWindowDCs(HWND hwnd);

// Caret (caret.cpp)
void CaretHideForPaint(HWND hwnd);
void CaretRestoreAfterPaint(HWND hwnd);
void CaretService();  // blinks when due
std::uint64_t CaretNextDue();  // 0 when no blink is pending
void CaretWindowDestroyed(HWND hwnd);
void CaretReset();

// Messages (messagequeue.cpp)
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void DropMessagesFor(HWND hwnd);
void KillTimersOf(HWND hwnd);
LRESULT CallHooks(int kind, int code, WPARAM wParam, LPARAM lParam, bool* handled);
bool HasHook(int kind);

// True while a key message made from keyboard input waits in the queue: the display then reads
// no further input, so that the keys after it are routed and translated once it has been handled
// (the focus it moves, the modifiers it is read with).
bool KeyInputWaiting();

// Input (input.cpp)
void FocusWindowDestroyed(HWND hwnd);
void ActivateWindow(HWND top, WORD how);
// The window that takes activation meant for the top-level window `top`: `top` itself while it
// is enabled; while it is disabled behind a modal window, the frontmost shown, enabled window
// that it owns (directly or through other owned windows), else the frontmost shown, enabled
// captioned window; 0 when there is none.
HWND ActivationTarget(HWND top);

// Scroll bars (scrollbar.cpp)
// A nested loop that follows the mouse while `hwnd` holds the capture (taken here): `onMove`
// gets the screen point of every mouse move over the window; the loop ends when the button
// comes up, the window goes or loses the capture, a quit message arrives (posted again), or,
// with `escapeCancels`, Esc is pressed (the answer is then true).  Other messages that are not
// mouse messages are dispatched.  The capture is released at the end.
bool TrackMouseDrag(HWND hwnd, bool escapeCancels, const std::function<void(POINT)>& onMove);
void DrawScrollBars(HWND hwnd, cairo_t* cr);
LRESULT ScrollBarHitTest(const Window& w, POINT screen);
void ScrollBarMouseDown(HWND hwnd, LRESULT hit, POINT screen);

// Atoms (shared numbers of registered messages and clipboard formats)
UINT RegisterAtom(const std::string& name);

// Clipboard (clipboard.cpp)
void ClipboardWindowDestroyed(HWND hwnd);

}  // namespace tw::win
