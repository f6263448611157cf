// The caret: one per thread, drawn by inverting its rectangle in the backing store (so drawing it
// twice restores the pixels), blinking on the window system's clock, hidden while its window
// paints.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <memory>
#include <utility>

#include "platform/gfx/graphic.h"
#include "platform/win/windowstate.h"

namespace tw::win {
namespace {

bool blinkOn = true;
int paintHides = 0;

bool ShouldShow() {
  Caret& c = S().caret;
  return c.hwnd && Find(c.hwnd) && c.hideCount == 0 && paintHides == 0 && blinkOn && IsVisibleChain(c.hwnd) &&
         !IsIconic(TopLevelOf(c.hwnd));
}

// Inverts the caret rectangle, clipped to what the caret's window may touch.
void Invert() {
  Caret& c = S().caret;
  HDC dc = GetDC(c.hwnd);
  cairo_t* cr = DCCairo(dc);
  if (cr) {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
    cairo_set_source_rgb(cr, 1, 1, 1);
    if (c.shape) {
      cairo_mask_surface(cr, c.shape.get(), c.pos.X, c.pos.Y);
    } else {
      cairo_rectangle(cr, c.pos.X, c.pos.Y, c.width, c.height);
      cairo_fill(cr);
    }
    cairo_restore(cr);
  }
  ReleaseDC(c.hwnd, dc);
}

void Undraw() {
  Caret& c = S().caret;
  if (!c.drawn) return;
  c.drawn = false;
  if (Find(c.hwnd)) Invert();
}

void DrawIfDue() {
  Caret& c = S().caret;
  if (!c.drawn && ShouldShow()) {
    Invert();
    c.drawn = true;
  }
}

void RestartBlink() {
  State& s = S();
  blinkOn = true;
  s.caret.nextBlink = s.caretBlinkMs ? Now() + s.caretBlinkMs : 0;
}

// An A1 mask of the given size, with the pixels for which `set` answers true.
template <typename Pred>
std::shared_ptr<cairo_surface_t> MakeShape(int width, int height, Pred set) {
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A1, width, height);
  if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(mask);
    return nullptr;
  }
  cairo_surface_flush(mask);
  unsigned char* data = cairo_image_surface_get_data(mask);
  const int stride = cairo_image_surface_get_stride(mask);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
      if (!set(x, y)) continue;
      // A1 rows are 32-bit words whose bit order follows the machine's byte order.
      const std::uint32_t bit = std::endian::native == std::endian::little ? (1u << (x % 32)) : (0x80000000u >> (x % 32));
      row[x / 32] |= bit;
    }
  }
  cairo_surface_mark_dirty(mask);
  return std::shared_ptr<cairo_surface_t>(mask, cairo_surface_destroy);
}

// Makes the caret of `hwnd` with the given size and inverted pixels; it starts hidden.
bool NewCaret(HWND hwnd, int width, int height, std::shared_ptr<cairo_surface_t> shape) {
  if (!Find(hwnd)) return false;
  DestroyCaret();
  Caret& c = S().caret;
  c.hwnd = hwnd;
  c.width = width;
  c.height = height;
  c.shape = std::move(shape);
  c.pos = {0, 0};
  c.hideCount = 1;
  c.drawn = false;
  RestartBlink();
  return true;
}

}  // namespace

namespace {

// Whether painting `hwnd` (its whole window, frame included) can touch the drawn caret's pixels
// in the backing store they share.
bool PaintReachesCaret(HWND hwnd) {
  Caret& c = S().caret;
  if (!c.hwnd || TopLevelOf(c.hwnd) != TopLevelOf(hwnd)) return false;
  const Window* cw = Find(c.hwnd);
  const Window* pw = Find(hwnd);
  if (cw == nullptr || pw == nullptr) return true;
  POINT co = OffsetInTop(*cw);
  RECT caret = Bounds(co.X + cw->client.Left + c.pos.X, co.Y + cw->client.Top + c.pos.Y, c.width, c.height);
  // A caret of no size still takes one pixel's care.
  caret.Right = std::max(caret.Right, caret.Left + 1);
  caret.Bottom = std::max(caret.Bottom, caret.Top + 1);
  const POINT po = OffsetInTop(*pw);
  const RECT painted = Bounds(po.X, po.Y, pw->rect.Width(), pw->rect.Height());
  RECT both;
  return IntersectRect(both, caret, painted);
}

}  // namespace

void CaretHideForPaint(HWND hwnd) {
  // Only a paint over the caret's place takes it away (and puts it back after); others leave
  // its pixels alone.
  if (PaintReachesCaret(hwnd)) Undraw();
  ++paintHides;
}

void CaretRestoreAfterPaint(HWND) {
  if (paintHides > 0) --paintHides;
  DrawIfDue();
}

void CaretService() {
  State& s = S();
  Caret& c = s.caret;
  if (!c.hwnd || s.caretBlinkMs == 0 || c.nextBlink == 0) return;
  std::uint64_t now = Now();
  if (now < c.nextBlink) return;
  blinkOn = !blinkOn;
  if (blinkOn) DrawIfDue();
  else Undraw();
  c.nextBlink = now + s.caretBlinkMs;
}

std::uint64_t CaretNextDue() {
  State& s = S();
  if (!s.caret.hwnd || s.caret.hideCount > 0 || s.caretBlinkMs == 0) return 0;
  return s.caret.nextBlink;
}

void CaretReset() {
  S().caret = Caret{};
  blinkOn = true;
  paintHides = 0;
}

void CaretWindowDestroyed(HWND hwnd) {
  Caret& c = S().caret;
  if (c.hwnd == hwnd) {
    c = Caret{};
    c.hwnd = 0;
  }
}

}  // namespace tw::win

namespace tw {

using namespace win;

bool CreateCaret(HWND hwnd, std::uintptr_t bitmap, int width, int height) {
  width = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
  height = height > 0 ? height : 16;
  std::shared_ptr<cairo_surface_t> shape;
  if (bitmap == 1) shape = MakeShape(width, height, [](int x, int y) { return (x + y) % 2 == 0; });
  return NewCaret(hwnd, width, height, std::move(shape));
}

bool CreateCaret(HWND hwnd, const TBitmap& bitmap) {
  cairo_surface_t* image = bitmap.Surface();
  if (image == nullptr || bitmap.Width() <= 0 || bitmap.Height() <= 0) return false;
  if (cairo_image_surface_get_format(image) != CAIRO_FORMAT_ARGB32 &&
      cairo_image_surface_get_format(image) != CAIRO_FORMAT_RGB24)
    return false;
  const int width = std::min(bitmap.Width(), cairo_image_surface_get_width(image));
  const int height = std::min(bitmap.Height(), cairo_image_surface_get_height(image));
  cairo_surface_flush(image);
  const unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  // Premultiplied pixels: black and fully transparent ones both have no colour bits.
  auto shape = MakeShape(width, height, [&](int x, int y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    return (row[x] & 0x00FFFFFFu) != 0;
  });
  if (!shape) return false;
  return NewCaret(hwnd, width, height, std::move(shape));
}

bool DestroyCaret() {
  Caret& c = S().caret;
  if (!c.hwnd) return false;
  Undraw();
  c = Caret{};
  return true;
}

bool ShowCaret(HWND hwnd) {
  Caret& c = S().caret;
  if (!c.hwnd || (hwnd && hwnd != c.hwnd)) return false;
  if (c.hideCount > 0) --c.hideCount;
  if (c.hideCount == 0) {
    RestartBlink();
    DrawIfDue();
  }
  return true;
}

bool HideCaret(HWND hwnd) {
  Caret& c = S().caret;
  if (!c.hwnd || (hwnd && hwnd != c.hwnd)) return false;
  Undraw();
  ++c.hideCount;
  return true;
}

bool SetCaretPos(int x, int y) {
  Caret& c = S().caret;
  if (!c.hwnd) return false;
  if (c.pos == POINT{x, y}) return true;
  Undraw();
  c.pos = {x, y};
  RestartBlink();
  DrawIfDue();
  return true;
}

bool GetCaretPos(POINT* point) {
  Caret& c = S().caret;
  if (!c.hwnd || !point) return false;
  *point = c.pos;
  return true;
}

bool SetCaretBlinkTime(UINT ms) {
  S().caretBlinkMs = ms;
  RestartBlink();
  DrawIfDue();
  return true;
}

UINT GetCaretBlinkTime() { return S().caretBlinkMs; }

bool CaretDrawn() { return S().caret.drawn; }

RECT CaretRect() {
  Caret& c = S().caret;
  if (!c.hwnd) return {};
  return Bounds(c.pos.X, c.pos.Y, c.width, c.height);
}

}  // namespace tw
