// Painting: backing stores of top-level windows, device contexts on a window's area (clipped to
// the window, its ancestors' client areas and, by style, its children and siblings), update
// regions and the paint cycle, scrolling pixels, and the classic frame and caption.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gfx/canvas.h"
#include "platform/win/windowstate.h"

namespace tw::win {
namespace {

struct DCRecord {
  HWND hwnd;
  HWND top;
  HDC dc;
  RECT area;  // top-level window coordinates of what the context can touch
};

std::vector<DCRecord>& DCs() {
  static auto* list = new std::vector<DCRecord>();
  return *list;
}

RECT ToTop(const Window& w, RECT r, bool clientCoords) {
  POINT o = OffsetInTop(w);
  if (clientCoords) {
    o.X += w.client.Left;
    o.Y += w.client.Top;
  }
  OffsetRect(r, o.X, o.Y);
  return r;
}

// The region of the top-level surface that a context on `w` may touch.
cairo_region_t* VisibleRegion(const Window& w, bool client) {
  RECT area = client ? ToTop(w, Bounds(0, 0, w.client.Width(), w.client.Height()), true)
                     : ToTop(w, Bounds(0, 0, w.rect.Width(), w.rect.Height()), false);
  // Ancestors' client areas.
  const Window* c = &w;
  while (c->parent) {
    Window* p = Find(c->parent);
    if (!p) break;
    RECT pc = ToTop(*p, Bounds(0, 0, p->client.Width(), p->client.Height()), true);
    IntersectRect(area, area, pc);
    c = p;
  }
  cairo_rectangle_int_t base{area.Left, area.Top, std::max(0, area.Width()), std::max(0, area.Height())};
  cairo_region_t* region = cairo_region_create_rectangle(&base);
  auto subtract = [&](const Window& other) {
    RECT r = ToTop(other, Bounds(0, 0, other.rect.Width(), other.rect.Height()), false);
    cairo_rectangle_int_t cr{r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height())};
    cairo_region_subtract_rectangle(region, &cr);
  };
  if (client && (w.style & WS_CLIPCHILDREN)) {
    for (HWND k : w.children)
      if (Window* kw = Find(k); kw && (kw->style & WS_VISIBLE)) subtract(*kw);
  }
  if ((w.style & WS_CLIPSIBLINGS) && w.parent) {
    if (Window* p = Find(w.parent)) {
      for (HWND sib : p->children) {
        if (sib == w.handle) break;  // only the ones above
        if (Window* sw = Find(sib); sw && (sw->style & WS_VISIBLE)) subtract(*sw);
      }
    }
  }
  return region;
}

HDC MakeDC(HWND hwnd, bool client, const RECT* clipInOrigin) {
  Window* w = Find(hwnd);
  if (!w) return 0;
  HWND top = TopLevelOf(hwnd);
  Window* tw = Find(top);
  if (!tw) return 0;
  EnsureSurface(*tw);
  if (!tw->surface) return 0;
  cairo_t* cr = cairo_create(tw->surface);
  cairo_region_t* region = VisibleRegion(*w, client);
  POINT origin = OffsetInTop(*w);
  if (client) {
    origin.X += w->client.Left;
    origin.Y += w->client.Top;
  }
  if (clipInOrigin) {
    RECT c = *clipInOrigin;
    OffsetRect(c, origin.X, origin.Y);
    cairo_rectangle_int_t cc{c.Left, c.Top, std::max(0, c.Width()), std::max(0, c.Height())};
    cairo_region_intersect_rectangle(region, &cc);
  }
  cairo_rectangle_int_t extents;
  cairo_region_get_extents(region, &extents);
  int n = cairo_region_num_rectangles(region);
  for (int i = 0; i < n; ++i) {
    cairo_rectangle_int_t r;
    cairo_region_get_rectangle(region, i, &r);
    cairo_rectangle(cr, r.x, r.y, r.width, r.height);
  }
  cairo_clip(cr);  // an empty path clips everything away
  cairo_region_destroy(region);
  cairo_translate(cr, origin.X, origin.Y);
  HDC dc = CreateCairoDC(cr, 96, 96);
  cairo_destroy(cr);
  if (!dc) return 0;
  DCs().push_back(DCRecord{hwnd, top, dc, Bounds(extents.x, extents.y, extents.width, extents.height)});
  return dc;
}

bool NeedsPaint(const Window& w) {
  return !IsRectEmpty(w.update) || w.ncDirty || w.internalPaint;
}

HWND VisitForPaint(HWND h) {
  Window* w = Find(h);
  if (!w || !(w->style & WS_VISIBLE) || (w->style & WS_MINIMIZE)) return 0;
  if (NeedsPaint(*w) && w->redraw) return h;
  for (auto it = w->children.rbegin(); it != w->children.rend(); ++it)
    if (HWND p = VisitForPaint(*it)) return p;
  return 0;
}

void FillRectWith(cairo_t* cr, RECT r, TColor color) {
  TColor c = ColorToRGB(color);
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
  cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
  cairo_fill(cr);
}

void Line(cairo_t* cr, int x1, int y1, int x2, int y2, TColor color) {
  // Horizontal or vertical one-pixel line from (x1, y1) up to but excluding (x2, y2).
  if (y1 == y2) FillRectWith(cr, Rect(std::min(x1, x2), y1, std::max(x1, x2), y1 + 1), color);
  else FillRectWith(cr, Rect(x1, std::min(y1, y2), x1 + 1, std::max(y1, y2)), color);
}

// A raised or sunken edge pair around r, shrinking it by the edge's width.
void Edge(cairo_t* cr, RECT& r, TColor topLeft, TColor bottomRight) {
  Line(cr, r.Left, r.Top, r.Right - 1, r.Top, topLeft);
  Line(cr, r.Left, r.Top, r.Left, r.Bottom - 1, topLeft);
  Line(cr, r.Left, r.Bottom - 1, r.Right, r.Bottom - 1, bottomRight);
  Line(cr, r.Right - 1, r.Top, r.Right - 1, r.Bottom, bottomRight);
  InflateRect(r, -1, -1);
}

}  // namespace

void EnsureSurface(Window& w) {
  if (w.parent || w.messageOnly) return;
  int width = std::max(1, w.rect.Width()), height = std::max(1, w.rect.Height());
  if (w.surface && cairo_image_surface_get_width(w.surface) == width &&
      cairo_image_surface_get_height(w.surface) == height)
    return;
  cairo_surface_t* next = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(next) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(next);
    return;
  }
  cairo_t* cr = cairo_create(next);
  FillRectWith(cr, Bounds(0, 0, width, height), clBtnFace);
  if (w.surface) {
    cairo_set_source_surface(cr, w.surface, 0, 0);
    cairo_paint(cr);
    cairo_surface_destroy(w.surface);
  }
  cairo_destroy(cr);
  w.surface = next;
  // The caret was drawn into the old pixels, which were copied: it is still there.
}

void FreeSurface(Window& w) {
  if (w.surface) {
    cairo_surface_destroy(w.surface);
    w.surface = nullptr;
  }
}

void InvalidateWindowArea(HWND hwnd, const RECT* clientRect, bool erase, bool children) {
  Window* w = Find(hwnd);
  if (!w) return;
  RECT full = Bounds(0, 0, w->client.Width(), w->client.Height());
  RECT r = full;
  if (clientRect && !IntersectRect(r, *clientRect, full)) r = {};
  if (!IsRectEmpty(r)) {
    UnionRect(w->update, w->update, r);
    if (erase) w->erase = true;
  }
  if (!clientRect) w->internalPaint = w->internalPaint || IsRectEmpty(full);
  if (!children) return;
  for (HWND c : w->children) {
    Window* cw = Find(c);
    if (!cw || !(cw->style & WS_VISIBLE)) continue;
    RECT hit;
    if (!IntersectRect(hit, r, cw->rect)) continue;
    cw->ncDirty = true;
    OffsetRect(hit, -(cw->rect.Left + cw->client.Left), -(cw->rect.Top + cw->client.Top));
    InvalidateWindowArea(c, &hit, erase, true);
  }
}

void InvalidateParentArea(HWND parent, const RECT& rectInParentClient) {
  InvalidateWindowArea(parent, &rectInParentClient, true, true);
}

HWND FindPaintWindow(HWND filter) {
  if (filter != 0) {
    // The window and its children, when the window itself is showing.
    if (!IsVisibleChain(filter) || IsIconic(TopLevelOf(filter))) return 0;
    return VisitForPaint(filter);
  }
  const auto& tops = S().topLevels;
  for (auto it = tops.rbegin(); it != tops.rend(); ++it)
    if (HWND h = VisitForPaint(*it)) return h;
  return 0;
}

void NotifyTopUpdated(HWND top, const RECT& rect) {
  if (!IsRectEmpty(rect)) Display().WindowUpdated(top, rect);
}

void ReleaseWindowDCs(HWND hwnd) {
  auto& list = DCs();
  for (auto it = list.begin(); it != list.end();) {
    if (it->hwnd == hwnd) {
      DeleteDC(it->dc);
      it = list.erase(it);
    } else {
      ++it;
    }
  }
}

void DrawNonClient(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) return;
  FrameMetrics f = DefaultFrame(*w);
  bool scrolls = (w->style & (WS_HSCROLL | WS_VSCROLL)) != 0;
  if (f.border == 0 && f.caption == 0 && !scrolls) return;
  HDC dc = GetWindowDC(hwnd);
  cairo_t* cr = DCCairo(dc);
  if (!cr) {
    ReleaseDC(hwnd, dc);
    return;
  }
  RECT r = Bounds(0, 0, w->rect.Width(), w->rect.Height());
  DWORD style = w->style, ex = w->exStyle;
  if (style & WS_THICKFRAME || style & WS_DLGFRAME || ex & WS_EX_DLGMODALFRAME) {
    if (!(Display().DecoratesWindows() && !w->parent && (style & WS_CAPTION) == WS_CAPTION)) {
      Edge(cr, r, cl3DLight, cl3DDkShadow);
      Edge(cr, r, clBtnHighlight, clBtnShadow);
      int rest = (style & WS_THICKFRAME) ? 2 : 1;
      for (int i = 0; i < rest; ++i) Edge(cr, r, clBtnFace, clBtnFace);
    }
  } else if (style & WS_BORDER) {
    Edge(cr, r, clWindowFrame, clWindowFrame);
  }
  if (f.caption > 0) {
    RECT cap = r;
    cap.Bottom = cap.Top + f.caption - 1;
    // A top-level window as its last WM_NCACTIVATE said, a child with its top-level window.
    const bool active = w->parent ? TopLevelOf(hwnd) == S().active : w->captionActive;
    FillRectWith(cr, cap, active ? clActiveCaption : clInactiveCaption);
    Line(cr, cap.Left, cap.Bottom, cap.Right, cap.Bottom, clBtnFace);
    // The caption text in bold "MS Sans Serif", vertically centred, cut at the caption's end.
    std::string title = w->text;
    TColor textColor = active ? clCaptionText : SysColor(COLOR_INACTIVECAPTIONTEXT);
    {
      TDCCanvas canvas(dc);
      canvas.Font()->SetName("MS Sans Serif");
      canvas.Font()->SetHeight(f.caption >= 19 ? -11 : -9);
      canvas.Font()->SetStyle(TFontStyles{TFontStyle::fsBold});
      canvas.Font()->SetColor(textColor);
      canvas.Brush()->SetStyle(TBrushStyle::bsClear);
      int th = canvas.TextHeight("Ag");
      RECT clipText = cap;
      clipText.Right -= (w->style & WS_SYSMENU) ? f.caption : 2;
      canvas.TextRect(clipText, cap.Left + 3, cap.Top + (cap.Height() - th) / 2, title);
    }
    if (w->style & WS_SYSMENU) {
      // The close box: a raised button with a cross, at the right end of the caption.
      int bh = f.caption - 5, bw = bh + 2;
      RECT box = Rect(cap.Right - bw - 2, cap.Top + 2, cap.Right - 2, cap.Top + 2 + bh);
      FillRectWith(cr, box, clBtnFace);
      RECT edge = box;
      Edge(cr, edge, clBtnHighlight, cl3DDkShadow);
      TColor glyph = ColorToRGB(clBtnText);
      cairo_save(cr);
      cairo_set_source_rgb(cr, GetRValue(glyph) / 255.0, GetGValue(glyph) / 255.0, GetBValue(glyph) / 255.0);
      cairo_set_line_width(cr, 1.6);
      double cx = (box.Left + box.Right) / 2.0, cy = (box.Top + box.Bottom) / 2.0, d = bh / 2.0 - 3;
      cairo_move_to(cr, cx - d, cy - d);
      cairo_line_to(cr, cx + d, cy + d);
      cairo_move_to(cr, cx + d, cy - d);
      cairo_line_to(cr, cx - d, cy + d);
      cairo_stroke(cr);
      cairo_restore(cr);
    }
    r.Top = cap.Bottom + 1;
  }
  if (ex & WS_EX_CLIENTEDGE) {
    Edge(cr, r, clBtnShadow, clBtnHighlight);
    Edge(cr, r, cl3DDkShadow, cl3DLight);
  } else if (ex & WS_EX_STATICEDGE) {
    Edge(cr, r, clBtnShadow, clBtnHighlight);
  }
  if (scrolls) DrawScrollBars(hwnd, cr);
  ReleaseDC(hwnd, dc);
}

}  // namespace tw::win

namespace tw {

using namespace win;

bool InvalidateRect(HWND hwnd, const RECT* rect, bool erase) {
  if (hwnd == 0) return false;
  Window* w = Find(hwnd);
  if (!w) return false;
  InvalidateWindowArea(hwnd, rect, erase, !(w->style & WS_CLIPCHILDREN));
  return true;
}

bool ValidateRect(HWND hwnd, const RECT* rect) {
  Window* w = Find(hwnd);
  if (!w) return false;
  if (!rect) {
    w->update = {};
    w->erase = false;
    w->internalPaint = false;
    return true;
  }
  // The update area is kept as one rectangle: a validated band along one side trims it, a
  // rectangle covering it clears it, anything else leaves it whole (painting more is harmless).
  RECT u = w->update, v = *rect;
  if (v.Left <= u.Left && v.Right >= u.Right) {
    if (v.Top <= u.Top && v.Bottom >= u.Bottom) u = {};
    else if (v.Top <= u.Top && v.Bottom > u.Top) u.Top = v.Bottom;
    else if (v.Bottom >= u.Bottom && v.Top < u.Bottom) u.Bottom = v.Top;
  } else if (v.Top <= u.Top && v.Bottom >= u.Bottom) {
    if (v.Left <= u.Left && v.Right > u.Left) u.Left = v.Right;
    else if (v.Right >= u.Right && v.Left < u.Right) u.Right = v.Left;
  }
  if (IsRectEmpty(u)) u = {};
  w->update = u;
  if (IsRectEmpty(u)) w->erase = false;
  return true;
}

bool RedrawWindow(HWND hwnd, const RECT* rect, UINT flags) {
  Window* w = Find(hwnd);
  if (!w) return false;
  bool children = (flags & RDW_ALLCHILDREN) || (!(flags & RDW_NOCHILDREN) && !(w->style & WS_CLIPCHILDREN));
  if (flags & RDW_INVALIDATE) {
    InvalidateWindowArea(hwnd, rect, (flags & RDW_ERASE) != 0, children);
    if (flags & RDW_FRAME) w->ncDirty = true;
  }
  if (flags & RDW_INTERNALPAINT) w->internalPaint = true;
  if (flags & RDW_VALIDATE) {
    ValidateRect(hwnd, rect);
    if (flags & RDW_NOFRAME) w->ncDirty = false;
  }
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow(hwnd);
  return true;
}

bool UpdateWindow(HWND hwnd) {
  Window* w = Find(hwnd);
  if (!w) return false;
  for (int guard = 0; guard < 10000; ++guard) {
    // Paint this window and its children, parents first.
    HWND p = 0;
    w = Find(hwnd);
    if (!w) return true;
    if (w->redraw && IsVisibleChain(hwnd) && NeedsPaint(*w)) {
      p = hwnd;
    } else if (IsVisibleChain(hwnd)) {
      for (auto it = w->children.rbegin(); it != w->children.rend() && !p; ++it) p = VisitForPaint(*it);
    }
    if (!p) return true;
    Window* pw = Find(p);
    if (IsRectEmpty(pw->update) && !pw->internalPaint) {
      pw->ncDirty = false;
      CaretHideForPaint(p);
      SendMessage(p, WM_NCPAINT, 1, 0);
      CaretRestoreAfterPaint(p);
      continue;
    }
    SendMessage(p, WM_PAINT, 0, 0);
    if (Window* after = Find(p); after && NeedsPaint(*after)) {
      // A window that does not validate itself would be painted for ever.
      after->update = {};
      after->internalPaint = false;
      after->ncDirty = false;
    }
  }
  return true;
}

bool GetUpdateRect(HWND hwnd, RECT* rect, bool erase) {
  Window* w = Find(hwnd);
  if (!w) return false;
  if (rect) *rect = w->update;
  if (erase && w->erase && !IsRectEmpty(w->update)) {
    HDC dc = MakeDC(hwnd, true, &w->update);
    if (SendMessage(hwnd, WM_ERASEBKGND, dc, 0) != 0)
      if (Window* after = Find(hwnd)) after->erase = false;
    ReleaseDC(hwnd, dc);
  }
  w = Find(hwnd);
  return w && !IsRectEmpty(w->update);
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  Window* w = Find(hwnd);
  if (!w || !ps) return 0;
  S().beganPaint = hwnd;
  CaretHideForPaint(hwnd);
  if (w->ncDirty) {
    w->ncDirty = false;
    SendMessage(hwnd, WM_NCPAINT, 1, 0);
    w = Find(hwnd);
    if (!w) return 0;
  }
  RECT update = w->update;
  bool erase = w->erase;
  w->update = {};
  w->erase = false;
  w->internalPaint = false;
  HDC dc = MakeDC(hwnd, true, &update);
  *ps = PAINTSTRUCT{};
  ps->hdc = dc;
  ps->rcPaint = update;
  ps->fErase = false;
  if (erase && dc) ps->fErase = SendMessage(hwnd, WM_ERASEBKGND, dc, 0) == 0;
  return dc;
}

bool EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (ps && ps->hdc) ReleaseDC(hwnd, ps->hdc);
  CaretRestoreAfterPaint(hwnd);
  return true;
}

HDC GetDC(HWND hwnd) {
  if (hwnd == 0) return GetScreenDC();
  return MakeDC(hwnd, true, nullptr);
}

HDC GetWindowDC(HWND hwnd) {
  if (hwnd == 0) return GetScreenDC();
  return MakeDC(hwnd, false, nullptr);
}

int ReleaseDC(HWND, HDC dc) {
  auto& list = DCs();
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->dc == dc) {
      DCRecord rec = *it;
      list.erase(it);
      if (cairo_t* cr = DCCairo(dc)) cairo_surface_flush(cairo_get_target(cr));
      DeleteDC(dc);
      NotifyTopUpdated(rec.top, rec.area);
      return 1;
    }
  }
  return 0;
}

bool ScrollDC(HDC dc, int dx, int dy, const RECT* scroll, const RECT* clip, RECT* update) {
  cairo_t* cr = DCCairo(dc);
  if (!cr) return false;
  cairo_surface_t* target = cairo_get_target(cr);
  if (cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) return false;
  double cx1, cy1, cx2, cy2;
  cairo_clip_extents(cr, &cx1, &cy1, &cx2, &cy2);
  RECT box = Rect(static_cast<int>(std::floor(cx1)), static_cast<int>(std::floor(cy1)),
                  static_cast<int>(std::ceil(cx2)), static_cast<int>(std::ceil(cy2)));
  RECT src = scroll ? *scroll : box;
  RECT limit = clip ? *clip : box;
  IntersectRect(limit, limit, box);
  IntersectRect(src, src, limit);
  if (update) *update = {};
  if (IsRectEmpty(src)) return true;
  // Device position of the source.
  double ox = src.Left, oy = src.Top;
  cairo_user_to_device(cr, &ox, &oy);
  cairo_surface_flush(target);
  cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_RGB24, src.Width(), src.Height());
  cairo_t* cc = cairo_create(copy);
  cairo_set_source_surface(cc, target, -ox, -oy);
  cairo_set_operator(cc, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cc);
  cairo_destroy(cc);
  cairo_save(cr);
  cairo_rectangle(cr, limit.Left, limit.Top, limit.Width(), limit.Height());
  cairo_clip(cr);
  cairo_set_source_surface(cr, copy, src.Left + dx, src.Top + dy);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(cr, src.Left + dx, src.Top + dy, src.Width(), src.Height());
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(copy);
  cairo_surface_flush(target);
  if (update) {
    // What the move uncovered inside the source: a band for a move along one axis, the whole
    // source otherwise.
    RECT u = src;
    if (dy == 0 && dx > 0) u.Right = std::min(src.Right, src.Left + dx);
    else if (dy == 0 && dx < 0) u.Left = std::max(src.Left, src.Right + dx);
    else if (dx == 0 && dy > 0) u.Bottom = std::min(src.Bottom, src.Top + dy);
    else if (dx == 0 && dy < 0) u.Top = std::max(src.Top, src.Bottom + dy);
    else if (dx == 0 && dy == 0) u = {};
    *update = u;
  }
  return true;
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip,
                   RECT* updateRect, UINT flags) {
  Window* w = Find(hwnd);
  if (!w) return ERROR;
  State& s = S();
  bool caretHere = s.caret.hwnd == hwnd;
  if (caretHere) HideCaret(hwnd);
  RECT update{};
  if (IsVisibleChain(hwnd)) {
    HDC dc = GetDC(hwnd);
    ScrollDC(dc, dx, dy, scroll, clip, &update);
    ReleaseDC(hwnd, dc);
  } else {
    update = scroll ? *scroll : Bounds(0, 0, w->client.Width(), w->client.Height());
  }
  w = Find(hwnd);
  if (!w) return ERROR;
  // A pending update area inside the scrolled part moves with the pixels.
  RECT area = scroll ? *scroll : Bounds(0, 0, w->client.Width(), w->client.Height());
  if (!IsRectEmpty(w->update)) {
    RECT inside;
    if (IntersectRect(inside, w->update, area) && inside == w->update) OffsetRect(w->update, dx, dy);
  }
  if (flags & SW_SCROLLCHILDREN) {
    for (HWND c : std::vector<HWND>(w->children)) {
      Window* cw = Find(c);
      if (!cw) continue;
      RECT hit;
      if (scroll && !IntersectRect(hit, cw->rect, *scroll)) continue;
      SetWindowPos(c, 0, cw->rect.Left + dx, cw->rect.Top + dy, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
      InvalidateWindowArea(c, nullptr, true, true);
      if (Window* again = Find(c)) again->ncDirty = true;
    }
  }
  if (caretHere && PtInRect(area, s.caret.pos)) {
    s.caret.pos.X += dx;
    s.caret.pos.Y += dy;
  }
  if (flags & (SW_INVALIDATE | SW_ERASE)) InvalidateWindowArea(hwnd, &update, (flags & SW_ERASE) != 0, !(w->style & WS_CLIPCHILDREN));
  if (updateRect) *updateRect = update;
  if (caretHere) ShowCaret(hwnd);
  return IsRectEmpty(update) ? NULLREGION : SIMPLEREGION;
}

bool ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip) {
  UINT flags = SW_INVALIDATE | SW_ERASE | (scroll ? 0 : SW_SCROLLCHILDREN);
  return ScrollWindowEx(hwnd, dx, dy, scroll, clip, nullptr, flags) != ERROR;
}

bool LockWindowUpdate(HWND hwnd) {
  static HWND locked = 0;
  if (hwnd == 0) {
    if (Window* w = Find(locked)) {
      w->redraw = true;
      InvalidateWindowArea(locked, nullptr, true, true);
    }
    locked = 0;
    return true;
  }
  if (locked && Find(locked)) return false;
  Window* w = Find(hwnd);
  if (!w) return false;
  locked = hwnd;
  w->redraw = false;
  return true;
}

}  // namespace tw
