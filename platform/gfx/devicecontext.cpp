#include "platform/gfx/devicecontext.h"

#include <cmath>
#include <mutex>
#include <unordered_map>

namespace tw {

namespace {

struct DCEntry {
  cairo_t* cr = nullptr;
  TDeviceInfo info;
  unsigned textAlign = TA_TOP | TA_LEFT;
  TPoint position;
  bool clipped = false;  // a clip of ours is in force (the base state is saved below it)
};

struct Registry {
  std::mutex mutex;
  std::unordered_map<HDC, DCEntry> entries;
  HDC next = 1;
  HDC screen = 0;
  TSize screenSize{1024, 768};
};

Registry& Reg() {
  static Registry* r = new Registry;  // lives for the whole run; contexts may outlive statics
  return *r;
}

DCEntry* Find(Registry& r, HDC dc) {
  auto it = r.entries.find(dc);
  return it == r.entries.end() ? nullptr : &it->second;
}

HDC Register(cairo_t* cr, const TDeviceInfo& info) {
  if (cr == nullptr || cairo_status(cr) != CAIRO_STATUS_SUCCESS) return 0;
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  HDC id = r.next++;
  if (r.next == 0) r.next = 1;
  DCEntry e;
  e.cr = cairo_reference(cr);
  e.info = info;
  r.entries.emplace(id, e);
  return id;
}

// Restores the context's own clip, leaving the base state saved again for the next clip.
void DropClip(DCEntry& e) {
  if (e.clipped) {
    cairo_restore(e.cr);
    e.clipped = false;
  }
}

void BeginClip(DCEntry& e) {
  if (!e.clipped) {
    cairo_save(e.cr);
    e.clipped = true;
  }
}

int ClipKind(DCEntry& e) {
  double x1, y1, x2, y2;
  cairo_clip_extents(e.cr, &x1, &y1, &x2, &y2);
  if (x2 <= x1 || y2 <= y1) return NULLREGION;
  cairo_rectangle_list_t* list = cairo_copy_clip_rectangle_list(e.cr);
  int kind = COMPLEXREGION;
  if (list->status == CAIRO_STATUS_SUCCESS) kind = list->num_rectangles <= 1 ? SIMPLEREGION : COMPLEXREGION;
  cairo_rectangle_list_destroy(list);
  return kind;
}

int SurfaceSize(cairo_t* cr, bool width) {
  cairo_surface_t* s = cairo_get_target(cr);
  if (cairo_surface_get_type(s) != CAIRO_SURFACE_TYPE_IMAGE) return 0;
  return width ? cairo_image_surface_get_width(s) : cairo_image_surface_get_height(s);
}

}  // namespace

HDC CreateCairoDC(cairo_t* cr, int pixelsPerInchX, int pixelsPerInchY) {
  TDeviceInfo info;
  info.LogPixelsX = pixelsPerInchX > 0 ? pixelsPerInchX : 96;
  info.LogPixelsY = pixelsPerInchY > 0 ? pixelsPerInchY : 96;
  return Register(cr, info);
}

HDC CreateDeviceDC(cairo_t* cr, const TDeviceInfo& info) { return Register(cr, info); }

void DeleteDC(HDC dc) {
  Registry& r = Reg();
  cairo_t* cr = nullptr;
  {
    std::lock_guard lock(r.mutex);
    if (dc == r.screen) return;
    DCEntry* e = Find(r, dc);
    if (e == nullptr) return;
    DropClip(*e);
    cr = e->cr;
    r.entries.erase(dc);
  }
  cairo_destroy(cr);
}

bool IsDC(HDC dc) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  return Find(r, dc) != nullptr;
}

cairo_t* DCCairo(HDC dc) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  return e ? e->cr : nullptr;
}

int GetDeviceCaps(HDC dc, int index) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  if (e == nullptr) return 0;
  const TDeviceInfo& i = e->info;
  int horz = i.HorzRes > 0 ? i.HorzRes : SurfaceSize(e->cr, true);
  int vert = i.VertRes > 0 ? i.VertRes : SurfaceSize(e->cr, false);
  if (dc == r.screen) {
    horz = r.screenSize.cx;
    vert = r.screenSize.cy;
  }
  switch (index) {
    case DRIVERVERSION: return 0x400;
    case TECHNOLOGY: return i.Technology;
    case HORZSIZE: return static_cast<int>(std::lround(horz * 25.4 / i.LogPixelsX));
    case VERTSIZE: return static_cast<int>(std::lround(vert * 25.4 / i.LogPixelsY));
    case HORZRES: return horz;
    case VERTRES: return vert;
    case BITSPIXEL: return i.BitsPixel;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case RASTERCAPS: return 0x7E99;  // bitmaps, stretching, device-independent bits
    case LOGPIXELSX: return i.LogPixelsX;
    case LOGPIXELSY: return i.LogPixelsY;
    case PHYSICALWIDTH: return i.PhysicalWidth > 0 ? i.PhysicalWidth : horz;
    case PHYSICALHEIGHT: return i.PhysicalHeight > 0 ? i.PhysicalHeight : vert;
    case PHYSICALOFFSETX: return i.PhysicalOffsetX;
    case PHYSICALOFFSETY: return i.PhysicalOffsetY;
    default: return 0;
  }
}

bool GetDeviceInfo(HDC dc, TDeviceInfo& info) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  if (e == nullptr) return false;
  info = e->info;
  return true;
}

bool SetDeviceInfo(HDC dc, const TDeviceInfo& info) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  if (e == nullptr) return false;
  e->info = info;
  return true;
}

HDC GetScreenDC() {
  Registry& r = Reg();
  {
    std::lock_guard lock(r.mutex);
    if (r.screen != 0) return r.screen;
  }
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(s);
  cairo_surface_destroy(s);
  HDC dc = CreateCairoDC(cr, 96, 96);
  cairo_destroy(cr);
  std::lock_guard lock(r.mutex);
  if (r.screen == 0) {
    r.screen = dc;
  } else {  // another thread was first
    DCEntry* e = Find(r, dc);
    cairo_destroy(e->cr);
    r.entries.erase(dc);
  }
  return r.screen;
}

void SetScreenSize(int width, int height) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  if (width > 0 && height > 0) r.screenSize = {width, height};
}

TSize ScreenSize() {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  return r.screenSize;
}

unsigned SetTextAlign(HDC dc, unsigned align) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  if (e == nullptr) return GDI_ERROR;
  unsigned old = e->textAlign;
  e->textAlign = align;
  return old;
}

unsigned GetTextAlign(HDC dc) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  return e ? e->textAlign : GDI_ERROR;
}

bool MoveToEx(HDC dc, int x, int y, TPoint* previous) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  if (e == nullptr) return false;
  if (previous) *previous = e->position;
  e->position = {x, y};
  return true;
}

bool GetCurrentPositionEx(HDC dc, TPoint* position) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  if (e == nullptr) return false;
  if (position) *position = e->position;
  return true;
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  if (e == nullptr) return ERROR;
  BeginClip(*e);
  cairo_new_path(e->cr);
  cairo_rectangle(e->cr, left, top, std::max(0, right - left), std::max(0, bottom - top));
  cairo_clip(e->cr);
  return ClipKind(*e);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  if (e == nullptr) return ERROR;
  if (right <= left || bottom <= top) return ClipKind(*e);
  BeginClip(*e);
  double x1, y1, x2, y2;
  cairo_clip_extents(e->cr, &x1, &y1, &x2, &y2);
  x1 = std::floor(std::min(x1, double(left))) - 1;
  y1 = std::floor(std::min(y1, double(top))) - 1;
  x2 = std::ceil(std::max(x2, double(right))) + 1;
  y2 = std::ceil(std::max(y2, double(bottom))) + 1;
  cairo_new_path(e->cr);
  cairo_rectangle(e->cr, x1, y1, x2 - x1, y2 - y1);
  cairo_rectangle(e->cr, left, top, right - left, bottom - top);
  cairo_fill_rule_t rule = cairo_get_fill_rule(e->cr);
  cairo_set_fill_rule(e->cr, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_clip(e->cr);
  cairo_set_fill_rule(e->cr, rule);
  return ClipKind(*e);
}

int SelectClipRects(HDC dc, const TRect* rects, int count) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  if (e == nullptr) return ERROR;
  DropClip(*e);
  BeginClip(*e);
  cairo_new_path(e->cr);
  for (int i = 0; i < count; ++i)
    if (!IsRectEmpty(rects[i]))
      cairo_rectangle(e->cr, rects[i].Left, rects[i].Top, rects[i].Width(), rects[i].Height());
  cairo_fill_rule_t rule = cairo_get_fill_rule(e->cr);
  cairo_set_fill_rule(e->cr, CAIRO_FILL_RULE_WINDING);
  cairo_clip(e->cr);  // an empty path clips everything away
  cairo_set_fill_rule(e->cr, rule);
  return ClipKind(*e);
}

int RemoveClip(HDC dc) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  if (e == nullptr) return ERROR;
  DropClip(*e);
  return ClipKind(*e);
}

int GetClipBox(HDC dc, TRect* rect) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  DCEntry* e = Find(r, dc);
  if (e == nullptr) return ERROR;
  double x1, y1, x2, y2;
  cairo_clip_extents(e->cr, &x1, &y1, &x2, &y2);
  if (rect) {
    *rect = {static_cast<int>(std::floor(x1)), static_cast<int>(std::floor(y1)),
             static_cast<int>(std::ceil(x2)), static_cast<int>(std::ceil(y2))};
    if (IsRectEmpty(*rect)) *rect = {};
  }
  return ClipKind(*e);
}

}  // namespace tw
