// Focus, activation, mouse capture, key state, and the routing of key and mouse input (real or
// injected) into the queue as window messages.
#include <algorithm>
#include <array>
#include <memory>

#include "platform/win/displaybackends.h"
#include "platform/win/windowstate.h"

namespace tw::win {
namespace {

using KeyTable = std::array<BYTE, 256>;

// Input messages carry the key state of their moment, which becomes GetKeyState's when they are
// taken from the queue (PeekMessage).
void PostInput(const MSG& m) {
  State& s = S();
  MSG c = m;
  c.time = static_cast<DWORD>(Now());
  c.pt = s.cursorPos;
  auto keys = std::make_shared<KeyTable>();
  std::copy(std::begin(s.keys), std::end(s.keys), keys->begin());
  c.keyState = std::move(keys);
  std::lock_guard<std::mutex> lock(s.queueLock);
  s.posted.push_back(c);
}

// While a mouse event is routed (hit test, cursor, activation: messages sent at the moment of the
// event), GetKeyState answers the event's own state, as its messages will; afterwards the state
// of the message being handled comes back, unless a message taken meanwhile has replaced it.
class EventKeyState {
 public:
  EventKeyState() {
    State& s = S();
    std::copy(std::begin(s.messageKeys), std::end(s.messageKeys), saved_.begin());
    std::copy(std::begin(s.keys), std::end(s.keys), std::begin(s.messageKeys));
    std::copy(std::begin(s.keys), std::end(s.keys), set_.begin());
  }
  ~EventKeyState() {
    State& s = S();
    if (std::equal(set_.begin(), set_.end(), std::begin(s.messageKeys)))
      std::copy(saved_.begin(), saved_.end(), std::begin(s.messageKeys));
  }
  EventKeyState(const EventKeyState&) = delete;
  EventKeyState& operator=(const EventKeyState&) = delete;

 private:
  KeyTable saved_{};
  KeyTable set_{};
};

bool Down(int vk) { return (S().keys[vk & 0xFF] & 0x80) != 0; }

void SetKey(UINT vk, bool down) {
  BYTE& k = S().keys[vk & 0xFF];
  if (down) {
    if (!(k & 0x80) && (vk == VK_CAPITAL || vk == VK_NUMLOCK || vk == VK_SCROLL)) k ^= 0x01;
    k |= 0x80;
  } else {
    k &= static_cast<BYTE>(~0x80);
  }
}

// Keeps the generic Shift, Ctrl and Alt keys and their left/right forms in step.
void SetKeyWithPairs(UINT vk, bool down) {
  State& s = S();
  auto generic = [&](UINT g, UINT l, UINT r) {
    bool any = (s.keys[l] & 0x80) || (s.keys[r] & 0x80);
    if (any) s.keys[g] |= 0x80;
    else s.keys[g] &= static_cast<BYTE>(~0x80);
  };
  switch (vk) {
    case VK_SHIFT: SetKey(VK_LSHIFT, down); break;
    case VK_CONTROL: SetKey(VK_LCONTROL, down); break;
    case VK_MENU: SetKey(VK_LMENU, down); break;
    default: SetKey(vk, down); break;
  }
  generic(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
  generic(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
  generic(VK_MENU, VK_LMENU, VK_RMENU);
}

WPARAM MouseKeys() {
  WPARAM k = 0;
  if (Down(VK_LBUTTON)) k |= MK_LBUTTON;
  if (Down(VK_RBUTTON)) k |= MK_RBUTTON;
  if (Down(VK_MBUTTON)) k |= MK_MBUTTON;
  if (Down(VK_SHIFT)) k |= MK_SHIFT;
  if (Down(VK_CONTROL)) k |= MK_CONTROL;
  return k;
}

// The character a key types with the current modifiers, as the keyboard translation does.
int TypedChar(UINT vk, int typed) {
  if (typed == kNoCharacter) return -1;
  typed &= 0xFF;
  bool shift = Down(VK_SHIFT), ctrl = Down(VK_CONTROL), alt = Down(VK_MENU);
  const bool derived = typed == 0;
  if (typed == 0) {
    char c = VirtualKeyToChar(vk, shift);
    if (c >= 'a' && c <= 'z' && (S().keys[VK_CAPITAL] & 1)) c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z' && (S().keys[VK_CAPITAL] & 1)) c = static_cast<char>(c - 'A' + 'a');
    typed = static_cast<unsigned char>(c);
  }
  if (typed == 0) return -1;
  // Ctrl and Alt together type nothing of their own (a layout's AltGr character arrives as
  // `typed` from the keyboard; the derived US layout has none).
  if (ctrl && alt && derived) return -1;
  if (ctrl && !alt) {
    if (typed >= 'a' && typed <= 'z') return typed - 'a' + 1;
    if (typed >= 'A' && typed <= 'Z') return typed - 'A' + 1;
    if (typed == '[') return 27;
    if (typed == '\\') return 28;
    if (typed == ']') return 29;
    if (vk == VK_RETURN) return 10;
    if (vk == VK_BACK) return 127;
    if (typed == ' ') return ' ';
    return -1;
  }
  return typed;
}

// True when `hwnd` lies in a top-level window that is disabled (blocked by a modal window).
bool Blocked(HWND hwnd) {
  Window* top = Find(TopLevelOf(hwnd));
  return top != nullptr && (top->style & WS_DISABLED) != 0;
}

// Keys go to the focused window, else to the active one; never into a window that a modal
// window blocks.
HWND KeyTarget() {
  State& s = S();
  HWND target = 0;
  if (s.focus && Find(s.focus)) target = s.focus;
  else if (s.active && Find(s.active)) target = s.active;
  return target != 0 && !Blocked(target) ? target : 0;
}

bool KeyHookEats(UINT vk, LPARAM lp) {
  if (!HasHook(WH_KEYBOARD)) return false;
  bool handled = false;
  return CallHooks(WH_KEYBOARD, HC_ACTION, vk, lp, &handled) != 0 && handled;
}

enum class MouseKind { Move, Down, Up, DoubleDown, Wheel };

UINT ButtonMessage(MouseButton b, MouseKind kind, bool client) {
  UINT base = b == MouseButton::Left ? WM_LBUTTONDOWN : b == MouseButton::Right ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
  if (!client) base = base - WM_LBUTTONDOWN + WM_NCLBUTTONDOWN;
  switch (kind) {
    case MouseKind::Down: return base;
    case MouseKind::Up: return base + 1;
    case MouseKind::DoubleDown: return base + 2;
    default: return client ? WM_MOUSEMOVE : WM_NCMOUSEMOVE;
  }
}

UINT ButtonKey(MouseButton b) {
  bool swap = S().swapButtons;
  if (b == MouseButton::Left) return swap ? VK_RBUTTON : VK_LBUTTON;
  if (b == MouseButton::Right) return swap ? VK_LBUTTON : VK_RBUTTON;
  return VK_MBUTTON;
}

void DeliverMouse(MouseKind kind, POINT screen, MouseButton button, int wheelDelta) {
  NoteUiThread();
  State& s = S();
  s.cursorPos = screen;
  if (kind == MouseKind::Down || kind == MouseKind::DoubleDown) SetKey(ButtonKey(button), true);
  if (kind == MouseKind::Up) SetKey(ButtonKey(button), false);
  const EventKeyState routing;

  if (kind == MouseKind::Wheel) {
    HWND target = KeyTarget();
    if (!target) target = WindowFromPoint(screen);
    if (!target || Blocked(target)) return;
    MSG m;
    m.hwnd = target;
    m.message = WM_MOUSEWHEEL;
    m.wParam = MAKEWPARAM(static_cast<unsigned>(MouseKeys()), static_cast<unsigned>(static_cast<WORD>(wheelDelta)));
    m.lParam = MAKELPARAM(static_cast<unsigned>(screen.X), static_cast<unsigned>(screen.Y));
    PostInput(m);
    return;
  }

  HWND target;
  LRESULT hit = HTCLIENT;
  if (s.capture && Find(s.capture)) {
    target = s.capture;
  } else {
    target = WindowFromPoint(screen);
    for (int guard = 0; target && guard < 64; ++guard) {
      hit = SendMessage(target, WM_NCHITTEST, 0, MAKELPARAM(static_cast<unsigned>(screen.X), static_cast<unsigned>(screen.Y)));
      if (hit != HTTRANSPARENT) break;
      Window* w = Find(target);
      target = w ? w->parent : 0;
    }
    if (!target || !Find(target)) return;
    HWND top = TopLevelOf(target);
    if (Window* tw = Find(top); tw && (tw->style & WS_DISABLED)) {
      // A window disabled behind a modal one takes no clicks: the press brings the modal
      // window forward instead.
      if (kind == MouseKind::Down || kind == MouseKind::DoubleDown) {
        MessageBeep(0);
        if (HWND modal = ActivationTarget(top)) {
          SetWindowPos(modal, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
          ActivateWindow(modal, WA_CLICKACTIVE);
        }
      }
      return;
    }
    UINT trigger = kind == MouseKind::Move ? WM_MOUSEMOVE : ButtonMessage(button, kind == MouseKind::Up ? MouseKind::Up : MouseKind::Down, true);
    if (kind == MouseKind::Down || kind == MouseKind::DoubleDown) {
      if (top != s.active) {
        LRESULT ma = SendMessage(target, WM_MOUSEACTIVATE, top, MAKELPARAM(static_cast<unsigned>(hit), trigger));
        if (ma == MA_ACTIVATE || ma == MA_ACTIVATEANDEAT || ma == 0) {
          SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
          ActivateWindow(top, WA_CLICKACTIVE);
        }
        if (ma == MA_ACTIVATEANDEAT || ma == MA_NOACTIVATEANDEAT) return;
        if (!Find(target)) return;
      }
    }
    if (kind != MouseKind::Up) {
      SendMessage(target, WM_SETCURSOR, target, MAKELPARAM(static_cast<unsigned>(hit), trigger));
      if (!Find(target)) return;
    }
  }

  bool client = hit == HTCLIENT || s.capture == target;
  if (kind == MouseKind::DoubleDown) {
    Window* w = Find(target);
    if (!w || !(w->cls->wc.style & CS_DBLCLKS)) kind = MouseKind::Down;
  }
  MSG m;
  m.hwnd = target;
  m.message = ButtonMessage(button, kind, client);
  if (client) {
    POINT p = screen;
    ScreenToClient(target, &p);
    m.wParam = MouseKeys();
    m.lParam = MAKELPARAM(static_cast<unsigned>(p.X), static_cast<unsigned>(p.Y));
  } else {
    m.wParam = static_cast<WPARAM>(hit);
    m.lParam = MAKELPARAM(static_cast<unsigned>(screen.X), static_cast<unsigned>(screen.Y));
  }
  if (HasHook(WH_MOUSE)) {
    MOUSEHOOKSTRUCT mh{screen, target, static_cast<UINT>(hit), 0};
    bool handled = false;
    if (CallHooks(WH_MOUSE, HC_ACTION, m.message, reinterpret_cast<LPARAM>(&mh), &handled) != 0 && handled) return;
  }
  s.lastMouseWindow = target;
  PostInput(m);
}

}  // namespace

void FocusWindowDestroyed(HWND hwnd) {
  State& s = S();
  if (s.focus && (s.focus == hwnd || IsChild(hwnd, s.focus))) {
    HWND old = s.focus;
    s.focus = 0;
    SendMessage(old, WM_KILLFOCUS, 0, 0);
  }
}

HWND ActivationTarget(HWND top) {
  Window* w = Find(top);
  if (!w) return 0;
  if (!(w->style & WS_DISABLED)) return top;
  const auto usable = [](const Window* c) {
    return c != nullptr && !c->messageOnly && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED);
  };
  const State& s = S();
  for (HWND t : s.topLevels) {  // frontmost first
    const Window* c = Find(t);
    if (t == top || !usable(c)) continue;
    for (HWND o = c->owner; o != 0; o = Find(o) ? Find(o)->owner : 0) {
      if (o == top) return t;
    }
  }
  for (HWND t : s.topLevels) {
    const Window* c = Find(t);
    if (t != top && usable(c) && (c->style & WS_CAPTION) == WS_CAPTION && !(c->exStyle & WS_EX_TOOLWINDOW)) return t;
  }
  return 0;
}

void ActivateWindow(HWND top, WORD how) {
  State& s = S();
  // A window blocked by a modal one cannot become active: its modal window does instead.
  top = ActivationTarget(top);
  Window* w = Find(top);
  if (!w || w->messageOnly || s.active == top) return;
  if (HasHook(WH_CBT)) {
    CBTACTIVATESTRUCT cbt{how == WA_CLICKACTIVE, s.active};
    bool handled = false;
    if (CallHooks(WH_CBT, HCBT_ACTIVATE, top, reinterpret_cast<LPARAM>(&cbt), &handled) != 0 && handled) return;
  }
  HWND old = s.active;
  s.active = top;
  if (old && Find(old)) {
    SendMessage(old, WM_NCACTIVATE, 0, 0);
    SendMessage(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(old) ? 1 : 0), static_cast<LPARAM>(top));
  } else {
    SendMessage(top, WM_ACTIVATEAPP, 1, 0);
  }
  if (s.active != top || !Find(top)) return;
  SendMessage(top, WM_NCACTIVATE, 1, 0);
  SendMessage(top, WM_ACTIVATE, MAKEWPARAM(how, IsIconic(top) ? 1 : 0), static_cast<LPARAM>(old));
  if (s.active != top || !Find(top)) return;
  if (s.focus && s.focus != top && !IsChild(top, s.focus)) SetFocus(0);
  Display().WindowActivated(top);
}

// The display lost the keyboard to another program.
void DeactivateApplication() {
  State& s = S();
  HWND old = s.active;
  if (!old || !Find(old)) return;
  s.active = 0;
  SendMessage(old, WM_NCACTIVATE, 0, 0);
  SendMessage(old, WM_ACTIVATE, WA_INACTIVE, 0);
  SendMessage(old, WM_ACTIVATEAPP, 0, 0);
  if (s.focus) {
    HWND f = s.focus;
    s.focus = 0;
    SendMessage(f, WM_KILLFOCUS, 0, 0);
  }
}

}  // namespace tw::win

namespace tw {

using namespace win;

HWND SetFocus(HWND hwnd) {
  State& s = S();
  HWND old = s.focus;
  if (hwnd == 0) {
    if (old) {
      s.focus = 0;
      if (Find(old)) SendMessage(old, WM_KILLFOCUS, 0, 0);
    }
    return old;
  }
  Window* w = Find(hwnd);
  if (!w || (w->style & WS_DISABLED) || w->messageOnly || Blocked(hwnd)) return 0;
  if (hwnd == old) return old;
  if (HasHook(WH_CBT)) {
    bool handled = false;
    if (CallHooks(WH_CBT, HCBT_SETFOCUS, hwnd, static_cast<LPARAM>(old), &handled) != 0 && handled) return 0;
  }
  HWND top = TopLevelOf(hwnd);
  if (s.active != top) ActivateWindow(top, WA_ACTIVE);
  if (!Find(hwnd)) return 0;
  old = s.focus;
  if (hwnd == old) return old;
  s.focus = hwnd;
  if (old && Find(old)) SendMessage(old, WM_KILLFOCUS, hwnd, 0);
  if (s.focus != hwnd) return old;  // moved elsewhere while the old window let go
  if (Find(hwnd)) SendMessage(hwnd, WM_SETFOCUS, old, 0);
  return old;
}

HWND GetFocus() { return S().focus; }

HWND SetActiveWindow(HWND hwnd) {
  HWND old = S().active;
  HWND top = TopLevelOf(hwnd);
  if (!top) return 0;
  ActivateWindow(top, WA_ACTIVE);
  return old;
}

HWND GetActiveWindow() { return S().active; }

HWND SetCapture(HWND hwnd) {
  State& s = S();
  if (!Find(hwnd)) return 0;
  HWND old = s.capture;
  s.capture = hwnd;
  if (old && old != hwnd && Find(old)) SendMessage(old, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(hwnd));
  return old;
}

bool ReleaseCapture() {
  State& s = S();
  HWND old = s.capture;
  s.capture = 0;
  if (old && Find(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  return true;
}

HWND GetCapture() { return S().capture; }

SHORT GetKeyState(int vk) {
  BYTE k = S().messageKeys[vk & 0xFF];
  return static_cast<SHORT>(((k & 0x80) ? 0x8000 : 0) | (k & 0x01));
}

SHORT GetAsyncKeyState(int vk) {
  BYTE k = S().keys[vk & 0xFF];
  return static_cast<SHORT>((k & 0x80) ? 0x8000 : 0);
}

bool GetKeyboardState(BYTE* state) {
  if (!state) return false;
  std::copy(std::begin(S().messageKeys), std::end(S().messageKeys), state);
  return true;
}

bool SetKeyboardState(const BYTE* state) {
  if (!state) return false;
  std::copy(state, state + 256, std::begin(S().messageKeys));
  return true;
}

bool GetCursorPos(POINT* point) {
  if (!point) return false;
  *point = S().cursorPos;
  return true;
}

bool SetCursorPos(int x, int y) {
  S().cursorPos = {x, y};
  return true;
}

UINT GetDoubleClickTime() { return 500; }

bool SwapMouseButton(bool swap) {
  bool old = S().swapButtons;
  S().swapButtons = swap;
  return old;
}

char VirtualKeyToChar(UINT vk, bool shift) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<char>(shift ? vk : vk - 'A' + 'a');
  if (vk >= '0' && vk <= '9') {
    static const char shifted[] = ")!@#$%^&*(";
    return shift ? shifted[vk - '0'] : static_cast<char>(vk);
  }
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return static_cast<char>('0' + (vk - VK_NUMPAD0));
  switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_TAB: return '\t';
    case VK_BACK: return '\b';
    case VK_ESCAPE: return 27;
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    case VK_OEM_1: return shift ? ':' : ';';
    case VK_OEM_PLUS: return shift ? '+' : '=';
    case VK_OEM_COMMA: return shift ? '<' : ',';
    case VK_OEM_MINUS: return shift ? '_' : '-';
    case VK_OEM_PERIOD: return shift ? '>' : '.';
    case VK_OEM_2: return shift ? '?' : '/';
    case VK_OEM_3: return shift ? '~' : '`';
    case VK_OEM_4: return shift ? '{' : '[';
    case VK_OEM_5: return shift ? '|' : '\\';
    case VK_OEM_6: return shift ? '}' : ']';
    case VK_OEM_7: return shift ? '"' : '\'';
    default: return 0;
  }
}

void InjectKeyDown(UINT vk, int typed) {
  NoteUiThread();
  State& s = S();
  vk &= 0xFF;
  bool repeat = Down(static_cast<int>(vk));
  if (vk == VK_MENU && !repeat) s.altUsed = false;
  else if (vk != VK_MENU && Down(VK_MENU)) s.altUsed = true;
  SetKeyWithPairs(vk, true);
  bool alt = Down(VK_MENU), ctrl = Down(VK_CONTROL);
  bool sys = (alt && !ctrl) || vk == VK_F10;
  LPARAM lp = 1 | (alt ? (1 << 29) : 0) | (repeat ? (1 << 30) : 0);
  if (KeyHookEats(vk, lp)) return;
  HWND target = KeyTarget();
  if (!target) return;
  int ch = TypedChar(vk, typed);
  if (alt && !ctrl && vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) {
    // Alt with numeric-pad digits composes a character code, typed when Alt comes up.
    s.altNumpadCode = (s.altNumpadActive ? s.altNumpadCode * 10 : 0) + static_cast<int>(vk - VK_NUMPAD0);
    s.altNumpadCode %= 1000;
    s.altNumpadActive = true;
    ch = -1;
  }
  MSG m;
  m.hwnd = target;
  m.message = sys ? WM_SYSKEYDOWN : WM_KEYDOWN;
  m.wParam = vk;
  m.lParam = lp;
  m.lPrivate = ch >= 0 ? static_cast<DWORD>(ch) + 1 : MSG::kTypesNothing;
  PostInput(m);
}

void InjectKeyUp(UINT vk) {
  NoteUiThread();
  vk &= 0xFF;
  bool altBefore = Down(VK_MENU);
  SetKeyWithPairs(vk, false);
  bool ctrl = Down(VK_CONTROL);
  bool sys = (altBefore && !ctrl) || vk == VK_F10;
  // Alt released after it served another key is a plain key-up (no menu activation follows).
  if (vk == VK_MENU && S().altUsed) sys = false;
  LPARAM lp = static_cast<LPARAM>(1u | (Down(VK_MENU) ? (1u << 29) : 0u) | (1u << 30) | (1u << 31));
  if (KeyHookEats(vk, lp)) return;
  HWND target = KeyTarget();
  if (!target) return;
  MSG m;
  m.hwnd = target;
  m.message = sys ? WM_SYSKEYUP : WM_KEYUP;
  m.wParam = vk;
  m.lParam = lp;
  PostInput(m);
  State& s = S();
  if (vk == VK_MENU && s.altNumpadActive) {
    // The code is taken as a Windows-1252 character (codes above 255 wrap, as the keyboard
    // translation does).
    s.altNumpadActive = false;
    MSG c;
    c.hwnd = target;
    c.message = WM_CHAR;
    c.wParam = static_cast<WPARAM>(s.altNumpadCode & 0xFF);
    c.lParam = 1;
    if (c.wParam != 0) PostInput(c);
  }
}

void InjectKey(UINT vk, int typed) {
  InjectKeyDown(vk, typed);
  InjectKeyUp(vk);
}

void InjectText(const std::string& text) {
  NoteUiThread();
  HWND target = KeyTarget();
  if (!target) return;
  for (char c : text) {
    MSG m;
    m.hwnd = target;
    m.message = WM_CHAR;
    m.wParam = static_cast<unsigned char>(c);
    m.lParam = 1;
    PostInput(m);
  }
}

void InjectMouseMove(int x, int y) { DeliverMouse(MouseKind::Move, {x, y}, MouseButton::Left, 0); }
void InjectMouseDown(int x, int y, MouseButton b) { DeliverMouse(MouseKind::Down, {x, y}, b, 0); }
void InjectMouseUp(int x, int y, MouseButton b) { DeliverMouse(MouseKind::Up, {x, y}, b, 0); }
void InjectMouseDoubleDown(int x, int y, MouseButton b) { DeliverMouse(MouseKind::DoubleDown, {x, y}, b, 0); }
void InjectMouseWheel(int x, int y, int delta) { DeliverMouse(MouseKind::Wheel, {x, y}, MouseButton::Left, delta); }

void InjectClick(HWND hwnd, int clientX, int clientY, MouseButton button) {
  POINT p{clientX, clientY};
  if (!ClientToScreen(hwnd, &p)) return;
  InjectMouseMove(p.X, p.Y);
  InjectMouseDown(p.X, p.Y, button);
  InjectMouseUp(p.X, p.Y, button);
}

void InjectDoubleClick(HWND hwnd, int clientX, int clientY) {
  POINT p{clientX, clientY};
  if (!ClientToScreen(hwnd, &p)) return;
  InjectDoubleClickAt(p.X, p.Y);
}

void InjectDoubleClickAt(int screenX, int screenY) {
  InjectMouseDown(screenX, screenY);
  InjectMouseUp(screenX, screenY);
  InjectMouseDoubleDown(screenX, screenY);
  InjectMouseUp(screenX, screenY);
}

}  // namespace tw
