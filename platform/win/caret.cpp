// The caret: one per thread, drawn by inverting its rectangle in the backing store (so drawing it
// twice restores the pixels), blinking on the window system's clock, hidden while its window
// paints.
#include <algorithm>

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
    cairo_rectangle(cr, c.pos.X, c.pos.Y, c.width, c.height);
    cairo_fill(cr);
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

}  // namespace

void CaretHideForPaint(HWND hwnd) {
  Caret& c = S().caret;
  if (c.hwnd && TopLevelOf(c.hwnd) == TopLevelOf(hwnd)) {
    Undraw();
    ++paintHides;
  } else {
    ++paintHides;
  }
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

bool CreateCaret(HWND hwnd, std::uintptr_t, int width, int height) {
  if (!Find(hwnd)) return false;
  DestroyCaret();
  Caret& c = S().caret;
  c.hwnd = hwnd;
  c.width = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
  c.height = height > 0 ? height : 16;
  c.pos = {0, 0};
  c.hideCount = 1;
  c.drawn = false;
  RestartBlink();
  return true;
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
