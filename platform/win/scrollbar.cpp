// Scroll bars in a window's non-client area (WS_HSCROLL / WS_VSCROLL): their ranges and
// positions, drawing in the classic look, and a press on them turned into WM_HSCROLL /
// WM_VSCROLL notifications.
#include <algorithm>

#include "platform/win/windowstate.h"

namespace tw::win {
namespace {

constexpr int kSize = 16;

ScrollBarState* Bar(Window& w, int bar) {
  if (bar == SB_HORZ) return &w.hscroll;
  if (bar == SB_VERT) return &w.vscroll;
  return nullptr;
}

int MaxPos(const ScrollBarState& b) {
  int top = b.max - std::max(0, static_cast<int>(b.page) - 1);
  return std::max(b.min, top);
}

// The bar's rectangle in window coordinates (empty without the style).
RECT BarRect(const Window& w, bool vertical) {
  if (vertical) {
    if (!(w.style & WS_VSCROLL)) return {};
    return Rect(w.client.Right, w.client.Top, w.client.Right + kSize, w.client.Bottom);
  }
  if (!(w.style & WS_HSCROLL)) return {};
  return Rect(w.client.Left, w.client.Bottom, w.client.Right, w.client.Bottom + kSize);
}

// Thumb start and length along the bar's track (between the arrow boxes).
void Thumb(const ScrollBarState& b, int track, int* start, int* length) {
  int range = b.max - b.min + 1;
  if (range <= 0 || track <= 0) {
    *start = 0;
    *length = 0;
    return;
  }
  int len = b.page ? static_cast<int>(static_cast<long long>(track) * static_cast<int>(b.page) / range) : kSize;
  len = std::clamp(len, std::min(8, track), track);
  int span = MaxPos(b) - b.min;
  int pos = span > 0 ? static_cast<int>(static_cast<long long>(track - len) * (b.pos - b.min) / span) : 0;
  *start = pos;
  *length = len;
}

void Fill(cairo_t* cr, RECT r, TColor color) {
  TColor c = ColorToRGB(color);
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
  cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
  cairo_fill(cr);
}

void Button(cairo_t* cr, RECT r) {
  Fill(cr, r, clBtnFace);
  Fill(cr, Rect(r.Left, r.Top, r.Right - 1, r.Top + 1), clBtnHighlight);
  Fill(cr, Rect(r.Left, r.Top, r.Left + 1, r.Bottom - 1), clBtnHighlight);
  Fill(cr, Rect(r.Left, r.Bottom - 1, r.Right, r.Bottom), cl3DDkShadow);
  Fill(cr, Rect(r.Right - 1, r.Top, r.Right, r.Bottom), cl3DDkShadow);
}

// A small black triangle pointing up (0), down (1), left (2) or right (3).
void Arrow(cairo_t* cr, RECT r, int direction) {
  double cx = (r.Left + r.Right) / 2.0, cy = (r.Top + r.Bottom) / 2.0, s = 3.5;
  TColor c = ColorToRGB(clBtnText);
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
  switch (direction) {
    case 0: cairo_move_to(cr, cx - s, cy + s / 2); cairo_line_to(cr, cx + s, cy + s / 2); cairo_line_to(cr, cx, cy - s / 2); break;
    case 1: cairo_move_to(cr, cx - s, cy - s / 2); cairo_line_to(cr, cx + s, cy - s / 2); cairo_line_to(cr, cx, cy + s / 2); break;
    case 2: cairo_move_to(cr, cx + s / 2, cy - s); cairo_line_to(cr, cx + s / 2, cy + s); cairo_line_to(cr, cx - s / 2, cy); break;
    default: cairo_move_to(cr, cx - s / 2, cy - s); cairo_line_to(cr, cx - s / 2, cy + s); cairo_line_to(cr, cx + s / 2, cy); break;
  }
  cairo_close_path(cr);
  cairo_fill(cr);
}

void DrawBar(cairo_t* cr, const Window& w, bool vertical) {
  RECT r = BarRect(w, vertical);
  if (IsRectEmpty(r)) return;
  const ScrollBarState& b = vertical ? w.vscroll : w.hscroll;
  Fill(cr, r, clScrollBar);
  int length = vertical ? r.Height() : r.Width();
  int box = std::min(kSize, length / 2);
  RECT a1 = vertical ? Rect(r.Left, r.Top, r.Right, r.Top + box) : Rect(r.Left, r.Top, r.Left + box, r.Bottom);
  RECT a2 = vertical ? Rect(r.Left, r.Bottom - box, r.Right, r.Bottom) : Rect(r.Right - box, r.Top, r.Right, r.Bottom);
  Button(cr, a1);
  Button(cr, a2);
  Arrow(cr, a1, vertical ? 0 : 2);
  Arrow(cr, a2, vertical ? 1 : 3);
  int start, len;
  Thumb(b, length - 2 * box, &start, &len);
  if (len > 0 && b.max > b.min) {
    RECT t = vertical ? Rect(r.Left, r.Top + box + start, r.Right, r.Top + box + start + len)
                      : Rect(r.Left + box + start, r.Top, r.Left + box + start + len, r.Bottom);
    Button(cr, t);
  }
  if ((w.style & WS_VSCROLL) && (w.style & WS_HSCROLL) && vertical)
    Fill(cr, Rect(r.Left, r.Bottom, r.Right, r.Bottom + kSize), clBtnFace);
}

}  // namespace

void DrawScrollBars(HWND hwnd, cairo_t* cr) {
  Window* w = Find(hwnd);
  if (!w) return;
  DrawBar(cr, *w, true);
  DrawBar(cr, *w, false);
}

LRESULT ScrollBarHitTest(const Window& w, POINT screen) {
  POINT o = WindowScreenOrigin(w);
  POINT p{screen.X - o.X, screen.Y - o.Y};
  if (PtInRect(BarRect(w, true), p)) return HTVSCROLL;
  if (PtInRect(BarRect(w, false), p)) return HTHSCROLL;
  return HTNOWHERE;
}

void ScrollBarMouseDown(HWND hwnd, LRESULT hit, POINT screen) {
  Window* w = Find(hwnd);
  if (!w) return;
  bool vertical = hit == HTVSCROLL;
  RECT r = BarRect(*w, vertical);
  if (IsRectEmpty(r)) return;
  POINT o = WindowScreenOrigin(*w);
  int along = vertical ? screen.Y - o.Y - r.Top : screen.X - o.X - r.Left;
  int length = vertical ? r.Height() : r.Width();
  int box = std::min(kSize, length / 2);
  const ScrollBarState& b = vertical ? w->vscroll : w->hscroll;
  int start, len;
  Thumb(b, length - 2 * box, &start, &len);
  WORD code;
  int pos = b.pos;
  if (along < box) code = SB_LINEUP;
  else if (along >= length - box) code = SB_LINEDOWN;
  else if (along - box < start) code = SB_PAGEUP;
  else if (along - box >= start + len) code = SB_PAGEDOWN;
  else code = SB_THUMBPOSITION;
  UINT msg = vertical ? WM_VSCROLL : WM_HSCROLL;
  if (code == SB_THUMBPOSITION) {
    // Dragging the thumb: SB_THUMBTRACK while the mouse moves, SB_THUMBPOSITION where it is let go.
    int track = length - 2 * box - len;
    int span = MaxPos(b) - b.min;
    int grab = along - box - start;
    int min = b.min;
    int tracked = pos;
    TrackMouseDrag(hwnd, false, [&](POINT pt) {
      int at = (vertical ? pt.Y - o.Y - r.Top : pt.X - o.X - r.Left) - box - grab;
      int next = track > 0 ? min + static_cast<int>(static_cast<long long>(std::clamp(at, 0, track)) * span / track) : min;
      if (next != tracked) {
        tracked = next;
        if (Window* tw = Find(hwnd)) (vertical ? tw->vscroll : tw->hscroll).trackPos = next;
        SendMessage(hwnd, msg, MAKEWPARAM(SB_THUMBTRACK, static_cast<unsigned>(next)), 0);
      }
    });
    pos = tracked;
  }
  if (!Find(hwnd)) return;
  SendMessage(hwnd, msg, MAKEWPARAM(code, static_cast<unsigned>(pos)), 0);
  if (Find(hwnd)) SendMessage(hwnd, msg, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
}

}  // namespace tw::win

namespace tw {

using namespace win;

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, bool redraw) {
  Window* w = Find(hwnd);
  if (!w || !info) return 0;
  ScrollBarState* b = Bar(*w, bar);
  if (!b) return 0;
  if (info->fMask & SIF_RANGE) {
    b->min = info->nMin;
    b->max = std::max(info->nMin, info->nMax);
  }
  if (info->fMask & SIF_PAGE) b->page = std::min<UINT>(info->nPage, static_cast<UINT>(b->max - b->min + 1));
  if (info->fMask & SIF_POS) b->pos = info->nPos;
  b->pos = std::clamp(b->pos, b->min, MaxPos(*b));
  if (redraw && IsVisibleChain(hwnd)) w->ncDirty = true;
  return b->pos;
}

bool GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info) {
  Window* w = Find(hwnd);
  if (!w || !info) return false;
  ScrollBarState* b = Bar(*w, bar);
  if (!b) return false;
  if (info->fMask & SIF_RANGE) {
    info->nMin = b->min;
    info->nMax = b->max;
  }
  if (info->fMask & SIF_PAGE) info->nPage = b->page;
  if (info->fMask & SIF_POS) info->nPos = b->pos;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = b->trackPos;
  return true;
}

int SetScrollPos(HWND hwnd, int bar, int pos, bool redraw) {
  int old = GetScrollPos(hwnd, bar);
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(hwnd, bar, &si, redraw);
  return old;
}

int GetScrollPos(HWND hwnd, int bar) {
  SCROLLINFO si;
  si.fMask = SIF_POS;
  return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

bool SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, bool redraw) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = minPos;
  si.nMax = maxPos;
  return Find(hwnd) && SetScrollInfo(hwnd, bar, &si, redraw) >= minPos;
}

bool GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  if (!GetScrollInfo(hwnd, bar, &si)) return false;
  if (minPos) *minPos = si.nMin;
  if (maxPos) *maxPos = si.nMax;
  return true;
}

bool ShowScrollBar(HWND hwnd, int bar, bool show) {
  Window* w = Find(hwnd);
  if (!w) return false;
  DWORD bits = bar == SB_HORZ ? WS_HSCROLL : bar == SB_VERT ? WS_VSCROLL : bar == SB_BOTH ? (WS_HSCROLL | WS_VSCROLL) : 0;
  if (!bits) return false;
  DWORD next = show ? (w->style | bits) : (w->style & ~bits);
  if (next == w->style) return true;
  w->style = next;
  return SetWindowPos(hwnd, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace tw
