// Where windows are: frames and client areas, showing and hiding, moving, sizing and z-order,
// enabling, coordinate mapping and finding the window at a point.
#include <algorithm>

#include "platform/win/windowstate.h"

namespace tw::win {
namespace {

constexpr int kCaptionHeight = 19;       // caption bar and the line below it
constexpr int kSmallCaptionHeight = 16;  // tool windows
constexpr int kScrollBarSize = 16;

bool IsDecorated(const Window& w) {
  return w.parent == 0 && !w.messageOnly && Display().DecoratesWindows() &&
         (w.style & WS_CAPTION) == WS_CAPTION;
}

FrameMetrics FrameFor(DWORD style, DWORD exStyle, bool decorated) {
  FrameMetrics f;
  if (!decorated) {
    if (style & WS_THICKFRAME) f.border = 4;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME)) f.border = 3;
    else if (style & WS_BORDER) f.border = 1;
    if ((style & WS_CAPTION) == WS_CAPTION)
      f.caption = (exStyle & WS_EX_TOOLWINDOW) ? kSmallCaptionHeight : kCaptionHeight;
  }
  if (exStyle & WS_EX_CLIENTEDGE) f.border += 2;
  if (exStyle & WS_EX_STATICEDGE) f.border += 1;
  return f;
}

// Lifts the window to the top of its siblings (owned windows stay above their owner).
void RaiseInSiblings(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) return;
  State& s = S();
  auto& list = w->parent ? Find(w->parent)->children : s.topLevels;
  std::erase(list, hwnd);
  list.insert(list.begin(), hwnd);
  if (!w->parent) {
    std::vector<HWND> owned;
    for (HWND t : s.topLevels)
      if (Window* o = Find(t); o && o->owner == hwnd) owned.push_back(t);
    // Each owned window rises with its own owned windows (a message box over a dialog over
    // the main window).
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) RaiseInSiblings(*it);
  }
}

void PlaceInSiblings(HWND hwnd, HWND after) {
  Window* w = Find(hwnd);
  if (!w) return;
  auto& list = w->parent ? Find(w->parent)->children : S().topLevels;
  if (after == HWND_TOP || after == HWND_TOPMOST) {
    if (after == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
    RaiseInSiblings(hwnd);
    return;
  }
  if (after == HWND_NOTOPMOST) {
    w->exStyle &= ~WS_EX_TOPMOST;
    return;
  }
  std::erase(list, hwnd);
  if (after == HWND_BOTTOM) {
    list.push_back(hwnd);
    return;
  }
  auto it = std::find(list.begin(), list.end(), after);
  if (it == list.end()) list.insert(list.begin(), hwnd);
  else list.insert(it + 1, hwnd);
}

HWND ChildAt(HWND parent, POINT screen) {
  Window* p = Find(parent);
  if (!p) return 0;
  POINT origin = ClientScreenOrigin(*p);
  RECT client = Bounds(origin.X, origin.Y, p->client.Width(), p->client.Height());
  if (!PtInRect(client, screen)) return parent;
  for (HWND c : p->children) {
    Window* w = Find(c);
    if (!w || !(w->style & WS_VISIBLE)) continue;
    RECT r = w->rect;
    OffsetRect(r, origin.X, origin.Y);
    if (!PtInRect(r, screen)) continue;
    if (w->style & WS_DISABLED) return parent;
    return ChildAt(c, screen);
  }
  return parent;
}

}  // namespace

FrameMetrics DefaultFrame(const Window& w) { return FrameFor(w.style, w.exStyle, IsDecorated(w)); }

RECT DefaultClientRect(const Window& w) {
  FrameMetrics f = DefaultFrame(w);
  int width = w.rect.Width(), height = w.rect.Height();
  RECT r{f.border, f.border + f.caption, width - f.border, height - f.border};
  if (w.style & WS_VSCROLL) r.Right -= kScrollBarSize;
  if (w.style & WS_HSCROLL) r.Bottom -= kScrollBarSize;
  r.Right = std::max(r.Right, r.Left);
  r.Bottom = std::max(r.Bottom, r.Top);
  r.Right = std::min(r.Right, std::max(width, r.Left));
  r.Bottom = std::min(r.Bottom, std::max(height, r.Top));
  return r;
}

void RecalcClient(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) return;
  RECT r = w->rect;  // parent coordinates in, client rectangle in parent coordinates out
  RECT original = r;
  SendMessage(hwnd, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&r));
  w = Find(hwnd);
  if (!w) return;
  OffsetRect(r, -original.Left, -original.Top);
  r.Left = std::clamp(r.Left, 0, std::max(0, original.Width()));
  r.Top = std::clamp(r.Top, 0, std::max(0, original.Height()));
  r.Right = std::clamp(r.Right, r.Left, std::max(r.Left, original.Width()));
  r.Bottom = std::clamp(r.Bottom, r.Top, std::max(r.Top, original.Height()));
  w->client = r;
}

POINT OffsetInTop(const Window& w) {
  if (!w.parent) return {0, 0};
  Window* p = Find(w.parent);
  if (!p) return {0, 0};
  POINT o = OffsetInTop(*p);
  return {o.X + p->client.Left + w.rect.Left, o.Y + p->client.Top + w.rect.Top};
}

POINT WindowScreenOrigin(const Window& w) {
  if (!w.parent) return w.rect.TopLeft();
  Window* p = Find(w.parent);
  if (!p) return w.rect.TopLeft();
  POINT o = ClientScreenOrigin(*p);
  return {o.X + w.rect.Left, o.Y + w.rect.Top};
}

POINT ClientScreenOrigin(const Window& w) {
  POINT o = WindowScreenOrigin(w);
  return {o.X + w.client.Left, o.Y + w.client.Top};
}

bool IsVisibleChain(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) return false;
  while (w) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (!w->parent) return !w->messageOnly;
    w = Find(w->parent);
  }
  return false;
}

}  // namespace tw::win

namespace tw {

using namespace win;

bool IsWindowVisible(HWND hwnd) { return IsVisibleChain(hwnd); }

bool IsIconic(HWND hwnd) {
  Window* w = Find(hwnd);
  return w && (w->style & WS_MINIMIZE);
}

bool IsZoomed(HWND hwnd) {
  Window* w = Find(hwnd);
  return w && (w->style & WS_MAXIMIZE);
}

bool ShowWindow(HWND hwnd, int cmd) {
  Window* w = Find(hwnd);
  if (!w) return false;
  State& s = S();
  bool wasVisible = (w->style & WS_VISIBLE) != 0;
  bool top = w->parent == 0 && !w->messageOnly;
  bool show = cmd != SW_HIDE;
  bool activate = top && (cmd == SW_SHOWNORMAL || cmd == SW_SHOW || cmd == SW_SHOWMAXIMIZED ||
                          cmd == SW_RESTORE || cmd == SW_SHOWDEFAULT || cmd == SW_SHOWMINIMIZED);

  // Minimising and maximising.
  if (cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE) {
    if (!(w->style & WS_MINIMIZE)) {
      w->style |= WS_MINIMIZE;
      if (top) Display().WindowShown(hwnd, false);
      SendMessage(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
      w = Find(hwnd);
      if (!w) return wasVisible;
    }
    if (cmd == SW_MINIMIZE && s.active == hwnd) activate = false;
  } else if (cmd == SW_SHOWMAXIMIZED) {
    if (!(w->style & WS_MAXIMIZE)) {
      w->restoreRect = w->rect;
      w->style = (w->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
      TSize screen = Display().ScreenSize();
      SetWindowPos(hwnd, 0, 0, 0, screen.cx, screen.cy, SWP_NOZORDER | SWP_NOACTIVATE);
      w = Find(hwnd);
      if (!w) return wasVisible;
    }
  } else if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) {
    bool wasMin = (w->style & WS_MINIMIZE) != 0;
    if (w->style & WS_MAXIMIZE) {
      w->style &= ~WS_MAXIMIZE;
      RECT r = w->restoreRect;
      SetWindowPos(hwnd, 0, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
      w = Find(hwnd);
      if (!w) return wasVisible;
    }
    if (wasMin) {
      w->style &= ~WS_MINIMIZE;
      if (top && (w->style & WS_VISIBLE)) Display().WindowShown(hwnd, true);
      SendMessage(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(static_cast<unsigned>(w->client.Width()), static_cast<unsigned>(w->client.Height())));
      w = Find(hwnd);
      if (!w) return wasVisible;
      InvalidateWindowArea(hwnd, nullptr, true, true);
    }
  }

  if (show != wasVisible) {
    SendMessage(hwnd, WM_SHOWWINDOW, show ? 1 : 0, 0);
    w = Find(hwnd);
    if (!w) return wasVisible;
    if (show) {
      w->style |= WS_VISIBLE;
      w->ncDirty = true;
      InvalidateWindowArea(hwnd, nullptr, true, true);
      if (top) {
        EnsureSurface(*w);
        if (!(w->style & WS_MINIMIZE)) Display().WindowShown(hwnd, true);
      }
    } else {
      bool chainVisible = IsVisibleChain(hwnd);
      w->style &= ~WS_VISIBLE;
      if (w->parent && chainVisible) InvalidateParentArea(w->parent, w->rect);
      if (top) Display().WindowShown(hwnd, false);
      if (s.focus && (s.focus == hwnd || IsChild(hwnd, s.focus))) {
        // Focus does not stay in a hidden window: it goes to the parent (or nowhere).
        SetFocus(w->parent ? w->parent : 0);
      }
      if (s.capture && (s.capture == hwnd || IsChild(hwnd, s.capture))) ReleaseCapture();
      if (top && s.active == hwnd) {
        HWND next = 0;
        if (Window* o = Find(w->owner); o && (o->style & WS_VISIBLE)) next = w->owner;
        for (HWND t : s.topLevels) {
          if (next) break;
          Window* c = Find(t);
          if (c && t != hwnd && !c->messageOnly && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED)) next = t;
        }
        if (next) ActivateWindow(next, WA_ACTIVE);
        else {
          s.active = 0;
          SendMessage(hwnd, WM_NCACTIVATE, 0, 0);
          SendMessage(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
        }
      }
    }
  }
  if (show && activate && Find(hwnd)) {
    RaiseInSiblings(hwnd);
    ActivateWindow(hwnd, WA_ACTIVE);
  } else if (show && top && Find(hwnd) && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE) {
    RaiseInSiblings(hwnd);
  }
  return wasVisible;
}

bool EnableWindow(HWND hwnd, bool enable) {
  Window* w = Find(hwnd);
  if (!w) return false;
  bool wasDisabled = (w->style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled;
  State& s = S();
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    w->style |= WS_DISABLED;
    if (s.capture && (s.capture == hwnd || IsChild(hwnd, s.capture))) ReleaseCapture();
    if (s.focus && (s.focus == hwnd || IsChild(hwnd, s.focus))) SetFocus(0);
  }
  SendMessage(hwnd, WM_ENABLE, enable ? 1 : 0, 0);
  return wasDisabled;
}

bool IsWindowEnabled(HWND hwnd) {
  Window* w = Find(hwnd);
  return w && !(w->style & WS_DISABLED);
}

bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Window* w = Find(hwnd);
  if (!w) return false;
  WINDOWPOS wp{hwnd, insertAfter, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) { wp.x = w->rect.Left; wp.y = w->rect.Top; }
  if (flags & SWP_NOSIZE) { wp.cx = w->rect.Width(); wp.cy = w->rect.Height(); }
  if (!(flags & SWP_NOSENDCHANGING)) {
    SendMessage(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    w = Find(hwnd);
    if (!w) return false;
  }
  wp.cx = std::max(wp.cx, 0);
  wp.cy = std::max(wp.cy, 0);
  RECT old = w->rect;
  RECT next = Bounds(wp.x, wp.y, wp.cx, wp.cy);
  bool moved = next.TopLeft() != old.TopLeft();
  bool sized = next.Width() != old.Width() || next.Height() != old.Height();
  if (!moved) wp.flags |= SWP_NOMOVE;
  if (!sized) wp.flags |= SWP_NOSIZE;
  bool visible = IsVisibleChain(hwnd);
  bool top = w->parent == 0 && !w->messageOnly;

  if ((moved || sized) && visible && w->parent && !(flags & SWP_NOREDRAW))
    InvalidateParentArea(w->parent, old);
  w->rect = next;
  if (sized || (flags & SWP_FRAMECHANGED)) {
    RecalcClient(hwnd);
    w = Find(hwnd);
    if (!w) return false;
    w->ncDirty = true;
  }
  if (top && sized && (w->style & WS_VISIBLE)) EnsureSurface(*w);
  if (visible && !(flags & SWP_NOREDRAW)) {
    if (sized || (flags & SWP_FRAMECHANGED) || (moved && w->parent)) {
      w->ncDirty = true;
      InvalidateWindowArea(hwnd, nullptr, true, true);
    }
  }
  if (top && (moved || sized)) Display().WindowMoved(hwnd);
  if (!(flags & SWP_NOZORDER)) {
    PlaceInSiblings(hwnd, insertAfter);
    if (visible && w->parent) InvalidateWindowArea(hwnd, nullptr, true, true);
  }
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOWNA);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  if (top && !(flags & SWP_NOACTIVATE) && IsVisibleChain(hwnd) && S().active != hwnd)
    ActivateWindow(hwnd, WA_ACTIVE);
  if (!Find(hwnd)) return false;
  SendMessage(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
  return true;
}

bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint) {
  return SetWindowPos(hwnd, 0, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

bool BringWindowToTop(HWND hwnd) {
  return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

bool SetForegroundWindow(HWND hwnd) {
  HWND top = TopLevelOf(hwnd);
  if (!top) return false;
  RaiseInSiblings(top);
  ActivateWindow(top, WA_ACTIVE);
  Display().WindowActivated(top);
  return true;
}

HWND GetForegroundWindow() { return S().active; }

bool GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement) {
  Window* w = Find(hwnd);
  if (!w || !placement) return false;
  *placement = WINDOWPLACEMENT{};
  placement->showCmd = (w->style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : (w->style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
  placement->ptMinPosition = {-1, -1};
  placement->ptMaxPosition = {-1, -1};
  placement->rcNormalPosition = (w->style & WS_MAXIMIZE) ? w->restoreRect : w->rect;
  return true;
}

bool SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement) {
  Window* w = Find(hwnd);
  if (!w || !placement) return false;
  const RECT& r = placement->rcNormalPosition;
  if (w->style & WS_MAXIMIZE) {
    w->restoreRect = r;
  } else {
    SetWindowPos(hwnd, 0, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (!Find(hwnd)) return false;
  UINT cmd = placement->showCmd;
  if (cmd == SW_SHOWMINIMIZED || cmd == SW_MINIMIZE || cmd == SW_SHOWMAXIMIZED || cmd == SW_SHOWNORMAL ||
      cmd == SW_RESTORE) {
    if (IsWindowVisible(hwnd) || cmd != SW_SHOWNORMAL) ShowWindow(hwnd, static_cast<int>(cmd));
  }
  return true;
}

bool GetWindowRect(HWND hwnd, RECT* rect) {
  Window* w = Find(hwnd);
  if (!w || !rect) return false;
  POINT o = WindowScreenOrigin(*w);
  *rect = Bounds(o.X, o.Y, w->rect.Width(), w->rect.Height());
  return true;
}

bool GetClientRect(HWND hwnd, RECT* rect) {
  Window* w = Find(hwnd);
  if (!w || !rect) return false;
  *rect = Bounds(0, 0, w->client.Width(), w->client.Height());
  return true;
}

bool ClientToScreen(HWND hwnd, POINT* point) {
  Window* w = Find(hwnd);
  if (!w || !point) return false;
  POINT o = ClientScreenOrigin(*w);
  point->X += o.X;
  point->Y += o.Y;
  return true;
}

bool ScreenToClient(HWND hwnd, POINT* point) {
  Window* w = Find(hwnd);
  if (!w || !point) return false;
  POINT o = ClientScreenOrigin(*w);
  point->X -= o.X;
  point->Y -= o.Y;
  return true;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  POINT a{0, 0}, b{0, 0};
  if (from && from != S().desktop) {
    Window* w = Find(from);
    if (!w) return 0;
    a = ClientScreenOrigin(*w);
  }
  if (to && to != S().desktop) {
    Window* w = Find(to);
    if (!w) return 0;
    b = ClientScreenOrigin(*w);
  }
  int dx = a.X - b.X, dy = a.Y - b.Y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].X += dx;
    points[i].Y += dy;
  }
  return static_cast<int>(MAKELPARAM(static_cast<unsigned>(dx), static_cast<unsigned>(dy)));
}

bool AdjustWindowRectEx(RECT* rect, DWORD style, bool menu, DWORD exStyle) {
  if (!rect) return false;
  bool decorated = !(style & WS_CHILD) && Display().DecoratesWindows() && (style & WS_CAPTION) == WS_CAPTION;
  FrameMetrics f = FrameFor(style, exStyle, decorated);
  rect->Left -= f.border;
  rect->Right += f.border;
  rect->Top -= f.border + f.caption + (menu ? GetSystemMetrics(SM_CYMENU) : 0);
  rect->Bottom += f.border;
  return true;
}

HWND WindowFromPoint(POINT point) {
  for (HWND t : S().topLevels) {
    Window* w = Find(t);
    if (!w || w->messageOnly || !(w->style & WS_VISIBLE) || (w->style & WS_MINIMIZE)) continue;
    if (!PtInRect(w->rect, point)) continue;
    return ChildAt(t, point);
  }
  return 0;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  Window* p = Find(parent);
  if (!p) return 0;
  if (!PtInRect(Bounds(0, 0, p->client.Width(), p->client.Height()), point)) return 0;
  for (HWND c : p->children) {
    Window* w = Find(c);
    if (w && (w->style & WS_VISIBLE) && PtInRect(w->rect, point)) return c;
  }
  return parent;
}

}  // namespace tw
