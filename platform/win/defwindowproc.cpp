// Default processing of window messages.
#include <algorithm>
#include <cstring>

#include "platform/win/windowstate.h"

namespace tw::win {
namespace {

LRESULT HitTest(HWND hwnd, POINT screen) {
  Window* w = Find(hwnd);
  if (!w) return HTNOWHERE;
  POINT o = WindowScreenOrigin(*w);
  POINT p{screen.X - o.X, screen.Y - o.Y};
  RECT whole = Bounds(0, 0, w->rect.Width(), w->rect.Height());
  if (!PtInRect(whole, p)) return HTNOWHERE;
  if (PtInRect(w->client, p)) return HTCLIENT;
  if (LRESULT sb = ScrollBarHitTest(*w, screen); sb != HTNOWHERE) return sb;
  FrameMetrics f = DefaultFrame(*w);
  if (f.caption > 0 && p.Y >= f.border && p.Y < f.border + f.caption && p.X >= f.border &&
      p.X < whole.Right - f.border) {
    // The close box sits at the right end of the caption.
    int box = f.caption - 4;
    if ((w->style & WS_SYSMENU) && p.X >= whole.Right - f.border - box - 2) return HTCLOSE;
    return HTCAPTION;
  }
  if (w->style & WS_THICKFRAME) {
    int b = f.border, corner = 16;
    bool left = p.X < b, right = p.X >= whole.Right - b, top = p.Y < b, bottom = p.Y >= whole.Bottom - b;
    bool nearLeft = p.X < corner, nearRight = p.X >= whole.Right - corner;
    bool nearTop = p.Y < corner, nearBottom = p.Y >= whole.Bottom - corner;
    if (top) return nearLeft ? HTTOPLEFT : nearRight ? HTTOPRIGHT : HTTOP;
    if (bottom) return nearLeft ? HTBOTTOMLEFT : nearRight ? HTBOTTOMRIGHT : HTBOTTOM;
    if (left) return nearTop ? HTTOPLEFT : nearBottom ? HTBOTTOMLEFT : HTLEFT;
    if (right) return nearTop ? HTTOPRIGHT : nearBottom ? HTBOTTOMRIGHT : HTRIGHT;
  }
  return HTBORDER;
}

HCURSOR CursorForHit(LRESULT hit) {
  switch (hit) {
    case HTLEFT: case HTRIGHT: return IDC_SIZEWE;
    case HTTOP: case HTBOTTOM: return IDC_SIZENS;
    case HTTOPLEFT: case HTBOTTOMRIGHT: return IDC_SIZENWSE;
    case HTTOPRIGHT: case HTBOTTOMLEFT: return IDC_SIZENESW;
    default: return IDC_ARROW;
  }
}

void EraseWithClassBrush(HWND hwnd, HDC dc, bool* erased) {
  *erased = false;
  Window* w = Find(hwnd);
  cairo_t* cr = DCCairo(dc);
  if (!w || !cr) return;
  HBRUSH brush = w->cls->wc.hbrBackground;
  if (brush == 0) return;
  TColor color;
  if (brush <= 31) color = SysColor(static_cast<int>(brush) - 1);
  else if (brush & 0x40000000u) color = static_cast<TColor>(brush & 0xFFFFFF);
  else return;
  TColor c = ColorToRGB(color);
  cairo_save(cr);
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
  cairo_rectangle(cr, 0, 0, w->client.Width(), w->client.Height());
  cairo_fill(cr);
  cairo_restore(cr);
  *erased = true;
}

// Moving by the caption or sizing by an edge with the mouse: a nested loop that follows the
// mouse until the button comes up (Esc puts the window back), dispatching everything else.
void MoveSizeLoop(HWND hwnd, LRESULT hit, POINT start) {
  Window* w = Find(hwnd);
  if (!w) return;
  RECT original = w->rect;
  MINMAXINFO mmi;
  mmi.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  if (!(w->style & WS_CAPTION)) mmi.ptMinTrackSize = {1, 1};
  TSize screen = Display().ScreenSize();
  mmi.ptMaxTrackSize = {screen.cx + 8, screen.cy + 8};
  SendMessage(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  SetCapture(hwnd);
  SendMessage(hwnd, WM_ENTERSIZEMOVE, 0, 0);
  bool left = hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT;
  bool right = hit == HTRIGHT || hit == HTTOPRIGHT || hit == HTBOTTOMRIGHT;
  bool top = hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT;
  bool bottom = hit == HTBOTTOM || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT;
  const bool cancelled = TrackMouseDrag(hwnd, true, [&](POINT pt) {
    int dx = pt.X - start.X, dy = pt.Y - start.Y;
    RECT r = original;
    if (hit == HTCAPTION) {
      OffsetRect(r, dx, dy);
    } else {
      if (left) r.Left = std::min(r.Left + dx, r.Right - mmi.ptMinTrackSize.X);
      if (right) r.Right = std::max(r.Right + dx, r.Left + mmi.ptMinTrackSize.X);
      if (top) r.Top = std::min(r.Top + dy, r.Bottom - mmi.ptMinTrackSize.Y);
      if (bottom) r.Bottom = std::max(r.Bottom + dy, r.Top + mmi.ptMinTrackSize.Y);
      if (r.Width() > mmi.ptMaxTrackSize.X) (left ? r.Left : r.Right) = left ? r.Right - mmi.ptMaxTrackSize.X : r.Left + mmi.ptMaxTrackSize.X;
      if (r.Height() > mmi.ptMaxTrackSize.Y) (top ? r.Top : r.Bottom) = top ? r.Bottom - mmi.ptMaxTrackSize.Y : r.Top + mmi.ptMaxTrackSize.Y;
    }
    SetWindowPos(hwnd, 0, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  });
  if (cancelled && Find(hwnd))
    SetWindowPos(hwnd, 0, original.Left, original.Top, original.Width(), original.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  if (Find(hwnd)) SendMessage(hwnd, WM_EXITSIZEMOVE, 0, 0);
}

}  // namespace

bool TrackMouseDrag(HWND hwnd, bool escapeCancels, const std::function<void(POINT)>& onMove) {
  SetCapture(hwnd);
  bool cancelled = false;
  MSG m;
  while (GetCapture() == hwnd && Find(hwnd)) {
    if (!PeekMessage(&m, 0, 0, 0, PM_REMOVE)) {
      // Nothing queued: the drag is over once the button is up now (its release may have gone
      // elsewhere before the drag began, and then no message brings its state).
      if (GetAsyncKeyState(VK_LBUTTON) >= 0 || !Display().InputCanArrive()) break;
      WaitMessage();
      continue;
    }
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    if ((m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE) && m.hwnd == hwnd) {
      onMove(m.pt);
    } else if ((m.message == WM_LBUTTONUP || m.message == WM_NCLBUTTONUP) && m.hwnd == hwnd) {
      break;
    } else if (escapeCancels && m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE) {
      cancelled = true;
      break;
    } else if (m.message < WM_MOUSEFIRST || m.message > WM_MOUSELAST) {
      TranslateMessage(&m);
      DispatchMessage(&m);
    }
  }
  if (GetCapture() == hwnd) ReleaseCapture();
  return cancelled;
}

}  // namespace tw::win

namespace tw {

using namespace win;

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  State& s = S();
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
      if (cs && cs->lpszName) {
        w->text = cs->lpszName;
        if (!w->parent && !w->messageOnly) Display().WindowTextChanged(hwnd);
      }
      return 1;
    }
    case WM_NCCALCSIZE: {
      RECT client = DefaultClientRect(*w);
      RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
      if (!r) return 0;
      RECT win = *r;
      *r = Rect(win.Left + client.Left, win.Top + client.Top, win.Left + client.Right, win.Top + client.Bottom);
      return 0;
    }
    case WM_NCHITTEST:
      return HitTest(hwnd, Point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
    case WM_NCPAINT:
      DrawNonClient(hwnd);
      return 0;
    case WM_NCACTIVATE:
      // The caption is drawn as the message says, which need not follow the activation: a form
      // keeps its caption active while one of its tool windows is active.
      w->captionActive = wParam != 0;
      w->ncDirty = true;
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      bool erased;
      EraseWithClassBrush(hwnd, static_cast<HDC>(wParam), &erased);
      return erased ? 1 : 0;
    }
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      w->text = text ? text : "";
      if (!w->parent && !w->messageOnly) Display().WindowTextChanged(hwnd);
      if (DefaultFrame(*w).caption > 0) w->ncDirty = true;
      return 1;
    }
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(lParam);
      if (!buffer || wParam == 0) return 0;
      std::size_t n = std::min<std::size_t>(w->text.size(), wParam - 1);
      std::memcpy(buffer, w->text.data(), n);
      buffer[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SETREDRAW:
      w->redraw = wParam != 0;
      return 0;
    case WM_SETCURSOR: {
      // A parent may decide for its children (sizing borders excepted).
      auto hit = static_cast<SHORT>(LOWORD(static_cast<std::uintptr_t>(lParam)));
      bool sizing = hit >= HTLEFT && hit <= HTBOTTOMRIGHT;
      if (w->parent && !sizing && SendMessage(w->parent, WM_SETCURSOR, wParam, lParam)) return 1;
      if (!Find(hwnd)) return 0;
      if (hit == HTCLIENT) {
        // The cursor of the window under the mouse (wParam), whoever answers.
        Window* under = Find(static_cast<HWND>(wParam));
        if (!under) under = Find(hwnd);
        if (under && under->cls->wc.hCursor) SetCursor(under->cls->wc.hCursor);
        return 0;
      }
      if (hit == HTERROR) {
        if (HIWORD(static_cast<std::uintptr_t>(lParam)) == WM_LBUTTONDOWN) MessageBeep(0);
        return 0;
      }
      SetCursor(CursorForHit(hit));
      return 0;
    }
    case WM_MOUSEACTIVATE: {
      if (w->parent) {
        LRESULT r = SendMessage(w->parent, WM_MOUSEACTIVATE, wParam, lParam);
        if (r) return r;
        w = Find(hwnd);
        if (!w) return MA_NOACTIVATE;
      }
      return (!w->parent && (w->exStyle & WS_EX_NOACTIVATE)) ? MA_NOACTIVATE : MA_ACTIVATE;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !(w->style & WS_MINIMIZE)) SetFocus(hwnd);
      return 0;
    case WM_CANCELMODE:
      if (s.capture == hwnd) ReleaseCapture();
      return 0;
    case WM_WINDOWPOSCHANGED: {
      auto* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (!wp) return 0;
      if (!(wp->flags & SWP_NOMOVE)) {
        POINT origin{w->rect.Left + w->client.Left, w->rect.Top + w->client.Top};
        SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<unsigned>(origin.X), static_cast<unsigned>(origin.Y)));
        w = Find(hwnd);
        if (!w) return 0;
      }
      if (!(wp->flags & SWP_NOSIZE)) {
        WPARAM kind = (w->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : (w->style & WS_MINIMIZE) ? SIZE_MINIMIZED : SIZE_RESTORED;
        SendMessage(hwnd, WM_SIZE, kind, MAKELPARAM(static_cast<unsigned>(w->client.Width()), static_cast<unsigned>(w->client.Height())));
      }
      return 0;
    }
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
      // Menu keys of a child go to its parent; the top-level window turns them into commands.
      if (w->parent) return SendMessage(w->parent, msg, wParam, lParam);
      if (msg == WM_SYSKEYDOWN && wParam == VK_F4 && (lParam & (1 << 29))) {
        PostMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      } else if (msg == WM_SYSCHAR && wParam != VK_RETURN) {
        SendMessage(hwnd, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam));
      } else if (msg == WM_SYSKEYUP && (wParam == VK_MENU || wParam == VK_F10)) {
        SendMessage(hwnd, WM_SYSCOMMAND, SC_KEYMENU, 0);
      }
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE: SendMessage(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
        default: break;
      }
      return 0;
    case WM_RBUTTONUP: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(hwnd, &p);
      SendMessage(hwnd, WM_CONTEXTMENU, hwnd, MAKELPARAM(static_cast<unsigned>(p.X), static_cast<unsigned>(p.Y)));
      return 0;
    }
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL:
      if (w->parent) return SendMessage(w->parent, msg, wParam, lParam);
      return 0;
    case WM_NCLBUTTONDOWN:
      if (wParam == HTVSCROLL || wParam == HTHSCROLL) {
        ScrollBarMouseDown(hwnd, static_cast<LRESULT>(wParam), Point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
      } else if (wParam == HTCLOSE) {
        PostMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, lParam);
      } else if (wParam == HTCAPTION ||
                 (static_cast<LRESULT>(wParam) >= HTLEFT && static_cast<LRESULT>(wParam) <= HTBOTTOMRIGHT)) {
        if (!(w->style & WS_MAXIMIZE))
          MoveSizeLoop(hwnd, static_cast<LRESULT>(wParam), Point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
      }
      return 0;
    case WM_NCLBUTTONDBLCLK:
      if (wParam == HTCAPTION && (w->style & WS_MAXIMIZEBOX) && (w->style & WS_THICKFRAME))
        ShowWindow(hwnd, (w->style & WS_MAXIMIZE) ? SW_RESTORE : SW_MAXIMIZE);
      return 0;
    case WM_QUERYENDSESSION:
    case WM_QUERYOPEN:
      return 1;
    case WM_GETDLGCODE:
    case WM_SHOWWINDOW:
    default:
      return 0;
  }
}

}  // namespace tw
