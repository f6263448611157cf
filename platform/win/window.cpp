// Creating and destroying windows, their text, and the relations between windows (parent,
// owner, siblings in z-order, enumeration).
#include <algorithm>
#include <cstring>

#include "platform/rtl/win1252.h"
#include "platform/win/windowstate.h"

namespace tw::win {
namespace {

bool IsReservedHandle(HWND h) {
  return h == 0 || h == HWND_BOTTOM || h == HWND_BROADCAST || h >= 0xFFFFFF00u;
}

HWND NewHandle() {
  State& s = S();
  for (;;) {
    HWND h = s.nextHandle++;
    if (s.nextHandle >= 0xFFFFFF00u) s.nextHandle = 0x10;
    if (!IsReservedHandle(h) && !s.windows.count(h)) return h;
  }
}

void MarkDestroying(HWND h) {
  Window* w = Find(h);
  if (!w) return;
  w->destroying = true;
  for (HWND c : w->children) MarkDestroying(c);
}

void SendDestroyTree(HWND h) {
  if (!Find(h)) return;
  SendMessage(h, WM_DESTROY, 0, 0);
  Window* w = Find(h);
  if (!w) return;
  std::vector<HWND> kids = w->children;
  for (HWND c : kids) SendDestroyTree(c);
}

void Unlink(Window& w) {
  State& s = S();
  if (w.parent) {
    if (Window* p = Find(w.parent)) std::erase(p->children, w.handle);
  } else {
    std::erase(s.topLevels, w.handle);
  }
}

void FinalizeTree(HWND h) {
  Window* w = Find(h);
  if (!w) return;
  std::vector<HWND> kids = w->children;
  for (HWND c : kids) FinalizeTree(c);
  SendMessage(h, WM_NCDESTROY, 0, 0);
  w = Find(h);
  if (!w) return;
  State& s = S();
  KillTimersOf(h);
  DropMessagesFor(h);
  ReleaseWindowDCs(h);
  CaretWindowDestroyed(h);
  ClipboardWindowDestroyed(h);
  if (s.lastMouseWindow == h) s.lastMouseWindow = 0;
  bool top = w->parent == 0 && !w->messageOnly;
  Unlink(*w);
  FreeSurface(*w);
  {
    std::lock_guard<std::mutex> lock(s.queueLock);
    s.liveHandles.erase(h);
  }
  ForgetFoundWindows();
  auto node = s.windows.extract(h);  // freed at the end of this scope, after the display hears
  if (top) Display().WindowDestroyed(h);
}

bool SubtreeContains(HWND root, HWND h) { return h && (h == root || IsChild(root, h)); }

}  // namespace

POINT DefaultTopLevelPosition() {
  static int cascade = 0;
  int step = (cascade++ % 10) * 24;
  return {40 + step, 40 + step};
}

}  // namespace tw::win

namespace tw {

using namespace win;

HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menuOrId,
                    HINSTANCE instance, void* param) {
  NoteUiThread();
  if (!OnUiThread()) return 0;
  auto cls = LookupClass(className);
  if (!cls) return 0;
  State& s = S();
  bool child = (style & WS_CHILD) != 0;
  HWND parentH = 0, ownerH = 0;
  bool messageOnly = false;
  if (child) {
    if (!Find(parent)) return 0;
    parentH = parent;
  } else if (parent == HWND_MESSAGE) {
    messageOnly = true;
  } else if (parent) {
    if (!Find(parent)) return 0;
    ownerH = TopLevelOf(parent);
  }
  if (!child) {
    POINT def = DefaultTopLevelPosition();
    if (x == CW_USEDEFAULT) { x = def.X; y = def.Y; }
    if (width == CW_USEDEFAULT) { width = 400; height = 300; }
  } else {
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 0;
  }
  width = std::max(width, 0);
  height = std::max(height, 0);

  HWND h = NewHandle();
  auto w = std::make_unique<Window>();
  w->handle = h;
  w->cls = cls;
  w->proc = cls->wc.lpfnWndProc;
  w->style = style & ~WS_VISIBLE;
  w->exStyle = exStyle;
  w->parent = parentH;
  w->owner = ownerH;
  w->messageOnly = messageOnly;
  w->rect = Bounds(x, y, width, height);
  w->instance = instance;
  w->id = child ? static_cast<LONG_PTR>(menuOrId) : 0;
  w->extra.assign(static_cast<std::size_t>(cls->wc.cbWndExtra) + sizeof(LONG_PTR), 0);
  w->client = Bounds(0, 0, width, height);
  s.windows.emplace(h, std::move(w));
  {
    std::lock_guard<std::mutex> lock(s.queueLock);
    s.liveHandles.insert(h);
  }
  if (child) {
    Find(parentH)->children.push_back(h);  // new children go to the bottom: creation order is tab order
  } else {
    s.topLevels.insert(s.topLevels.begin(), h);
  }
  if (!child && !messageOnly) Display().WindowCreated(h);

  CREATESTRUCT cs;
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menuOrId;
  cs.hwndParent = child ? parentH : ownerH;
  cs.x = x;
  cs.y = y;
  cs.cx = width;
  cs.cy = height;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;

  if (HasHook(WH_CBT)) {
    CBT_CREATEWND cbt{&cs, 0};
    bool handled = false;
    LRESULT r = CallHooks(WH_CBT, HCBT_CREATEWND, h, reinterpret_cast<LPARAM>(&cbt), &handled);
    if (handled && r != 0) {
      DestroyWindow(h);
      return 0;
    }
  }

  if (SendMessage(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) == 0) {
    DestroyWindow(h);
    return 0;
  }
  if (!Find(h)) return 0;
  RecalcClient(h);
  if (SendMessage(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(h);
    return 0;
  }
  Window* cw = Find(h);
  if (!cw) return 0;
  cw->created = true;
  RECT cr = cw->client;
  SendMessage(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(static_cast<unsigned>(cr.Width()), static_cast<unsigned>(cr.Height())));
  cw = Find(h);
  if (!cw) return 0;
  POINT origin{cw->rect.Left + cw->client.Left, cw->rect.Top + cw->client.Top};
  SendMessage(h, WM_MOVE, 0, MAKELPARAM(static_cast<unsigned>(origin.X), static_cast<unsigned>(origin.Y)));
  if (!Find(h)) return 0;
  if (child && !(exStyle & WS_EX_NOPARENTNOTIFY))
    SendMessage(parentH, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(menuOrId))), static_cast<LPARAM>(h));
  if (!Find(h)) return 0;
  if (style & WS_VISIBLE) ShowWindow(h, (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOW);
  return Find(h) ? h : 0;
}

HWND CreateWindow(const char* className, const char* windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance,
                  void* param) {
  return CreateWindowEx(0, className, windowName, style, x, y, width, height, parent, menuOrId,
                        instance, param);
}

bool IsWindow(HWND hwnd) { return Find(hwnd) != nullptr; }

bool DestroyWindow(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w || w->destroying || !OnUiThread()) return false;
  if (HasHook(WH_CBT)) {
    bool handled = false;
    if (CallHooks(WH_CBT, HCBT_DESTROYWND, hwnd, 0, &handled) != 0 && handled) return false;
  }
  State& s = S();
  w = Find(hwnd);
  if (!w) return false;
  bool wasTop = w->parent == 0;
  HWND owner = w->owner;
  MarkDestroying(hwnd);

  // Owned windows go first.
  std::vector<HWND> owned;
  for (HWND t : s.topLevels)
    if (Window* o = Find(t); o && o->owner == hwnd) owned.push_back(t);
  for (HWND o : owned) DestroyWindow(o);

  // Hide without asking the window.
  w = Find(hwnd);
  if (!w) return true;
  if (w->style & WS_VISIBLE) {
    bool shownChain = IsVisibleChain(hwnd);
    w->style &= ~WS_VISIBLE;
    if (w->parent && shownChain) InvalidateParentArea(w->parent, w->rect);
    if (!w->parent && !w->messageOnly) Display().WindowShown(hwnd, false);
  }
  if (w->parent && !(w->exStyle & WS_EX_NOPARENTNOTIFY))
    SendMessage(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, static_cast<unsigned>(w->id)), static_cast<LPARAM>(hwnd));

  if (SubtreeContains(hwnd, s.capture)) {
    HWND old = s.capture;
    s.capture = 0;
    SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  }
  FocusWindowDestroyed(hwnd);
  bool wasActive = s.active == hwnd;
  if (wasActive) s.active = 0;

  SendDestroyTree(hwnd);
  FinalizeTree(hwnd);

  if (wasTop && wasActive) {
    // Activation passes to the owner, else to the topmost visible enabled window.
    HWND next = 0;
    if (Window* o = Find(owner); o && (o->style & WS_VISIBLE) && !(o->style & WS_DISABLED)) next = owner;
    if (!next) {
      for (HWND t : s.topLevels) {
        Window* c = Find(t);
        if (c && !c->messageOnly && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED)) {
          next = t;
          break;
        }
      }
    }
    if (next) ActivateWindow(next, WA_ACTIVE);
  }
  return true;
}

bool SetWindowText(HWND hwnd, const char* text) {
  if (!Find(hwnd)) return false;
  SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : ""));
  return true;
}

int GetWindowText(HWND hwnd, char* buffer, int maxCount) {
  if (!Find(hwnd) || !buffer || maxCount <= 0) return 0;
  return static_cast<int>(SendMessage(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND hwnd) {
  if (!Find(hwnd)) return 0;
  return static_cast<int>(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

std::string GetWindowTextString(HWND hwnd) {
  int n = GetWindowTextLength(hwnd);
  if (n <= 0) return {};
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  int got = GetWindowText(hwnd, s.data(), n + 1);
  s.resize(static_cast<std::size_t>(std::clamp(got, 0, n)));
  return s;
}

HWND GetParent(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  return w->parent ? w->parent : w->owner;
}

HWND SetParent(HWND child, HWND newParent) {
  Window* w = Find(child);
  if (!w || child == newParent) return 0;
  if (newParent && (!Find(newParent) || IsChild(child, newParent))) return 0;
  State& s = S();
  HWND old = w->parent;
  bool visible = IsVisibleChain(child);
  if (visible && w->parent) InvalidateParentArea(w->parent, w->rect);
  bool wasTop = w->parent == 0 && !w->messageOnly;
  if (w->parent) {
    if (Window* p = Find(w->parent)) std::erase(p->children, child);
  } else {
    std::erase(s.topLevels, child);
  }
  if (newParent) {
    Find(newParent)->children.insert(Find(newParent)->children.begin(), child);
    w->parent = newParent;
    w->owner = 0;
    w->messageOnly = false;
    if (wasTop) {
      FreeSurface(*w);
      Display().WindowDestroyed(child);
    }
  } else {
    s.topLevels.insert(s.topLevels.begin(), child);
    w->parent = 0;
    if (!wasTop) {
      Display().WindowCreated(child);
      if (w->style & WS_VISIBLE) Display().WindowShown(child, true);
    }
  }
  ReleaseWindowDCs(child);
  RecalcClient(child);
  InvalidateWindowArea(child, nullptr, true, true);
  if (Window* cw = Find(child)) cw->ncDirty = true;
  return old ? old : s.desktop;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  switch (flags) {
    case GA_PARENT: return w->parent ? w->parent : GetDesktopWindow();
    case GA_ROOT: return TopLevelOf(hwnd);
    case GA_ROOTOWNER: {
      HWND h = TopLevelOf(hwnd);
      while (Window* t = Find(h)) {
        if (!t->owner) break;
        h = t->owner;
      }
      return h;
    }
    default: return 0;
  }
}

HWND GetWindow(HWND hwnd, UINT cmd) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  State& s = S();
  if (cmd == GW_CHILD) return w->children.empty() ? 0 : w->children.front();
  if (cmd == GW_OWNER) return w->parent ? 0 : w->owner;
  const std::vector<HWND>* siblings = &s.topLevels;
  if (w->parent) siblings = &Find(w->parent)->children;
  const auto& list = *siblings;
  auto it = std::find(list.begin(), list.end(), hwnd);
  if (it == list.end()) return 0;
  switch (cmd) {
    case GW_HWNDFIRST: return list.front();
    case GW_HWNDLAST: return list.back();
    case GW_HWNDNEXT: return (it + 1) == list.end() ? 0 : *(it + 1);
    case GW_HWNDPREV: return it == list.begin() ? 0 : *(it - 1);
    default: return 0;
  }
}

HWND GetNextWindow(HWND hwnd, UINT cmd) { return GetWindow(hwnd, cmd); }

HWND GetTopWindow(HWND hwnd) {
  if (hwnd == 0 || hwnd == GetDesktopWindow()) {
    for (HWND t : S().topLevels)
      if (Window* w = Find(t); w && !w->messageOnly) return t;
    return 0;
  }
  return GetWindow(hwnd, GW_CHILD);
}

bool EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return false;
  std::vector<HWND> list = S().topLevels;
  for (HWND h : list) {
    Window* w = Find(h);
    if (!w || w->messageOnly) continue;
    if (!proc(h, lParam)) return false;
  }
  return true;
}

namespace {
bool EnumChildren(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  Window* w = Find(parent);
  if (!w) return true;
  std::vector<HWND> kids = w->children;
  for (HWND c : kids) {
    if (!Find(c)) continue;
    if (!proc(c, lParam)) return false;
    if (!EnumChildren(c, proc, lParam)) return false;
  }
  return true;
}
}  // namespace

bool EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  if (!proc || !Find(parent)) return false;
  return EnumChildren(parent, proc, lParam);
}

HWND FindWindow(const char* className, const char* windowName) {
  for (HWND h : S().topLevels) {
    Window* w = Find(h);
    if (!w || w->messageOnly) continue;
    if (className && !AnsiSameText(w->cls->name, className)) continue;
    if (windowName && w->text != windowName) continue;
    return h;
  }
  return 0;
}

bool IsChild(HWND parent, HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w || !parent) return false;
  while (w && w->parent) {
    if (w->parent == parent) return true;
    w = Find(w->parent);
  }
  return false;
}

HWND GetDesktopWindow() {
  State& s = S();
  if (!s.desktop) {
    static const char* kDesktopClass = "#32769";
    if (!LookupClass(kDesktopClass)) {
      WNDCLASS wc;
      wc.lpfnWndProc = DefWindowProc;
      wc.lpszClassName = kDesktopClass;
      wc.hbrBackground = COLOR_BACKGROUND + 1;
      RegisterClass(wc);
    }
    HWND h = NewHandle();
    auto w = std::make_unique<Window>();
    w->handle = h;
    w->cls = LookupClass(kDesktopClass);
    w->proc = DefWindowProc;
    w->style = WS_VISIBLE | WS_POPUP;
    w->messageOnly = true;  // never enumerated, never shown
    TSize size = Display().ScreenSize();
    w->rect = Bounds(0, 0, size.cx, size.cy);
    w->client = w->rect;
    w->created = true;
    s.windows.emplace(h, std::move(w));
    std::lock_guard<std::mutex> lock(s.queueLock);
    s.liveHandles.insert(h);
    s.desktop = h;
  }
  return s.desktop;
}

}  // namespace tw
