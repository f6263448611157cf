// Selecting the display, and the pixel side of the test seam.
#include <cstdlib>
#include <cstring>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/uilanguage.h"
#include "platform/win/displaybackends.h"
#include "platform/win/windowstate.h"

namespace tw {

using namespace win;

void SelectDisplay(const std::string& name) {
  State& s = S();
  std::unique_ptr<DisplayBackend> next;
  if (name == "offscreen") {
    next = MakeOffscreenDisplay();
  } else if (name == "x11") {
    next = MakeX11Display(nullptr);
    if (!next) {
      const char* d = std::getenv("DISPLAY");
      // Said in the user's language: nothing else of the program speaks yet.
      constexpr TUiTextPair kGerman[] = {{"Cannot open the X display \"%s\"", "Das X-Display \"%s\" kann nicht ge\xF6" "ffnet werden"}};
      std::string text = UiText("Cannot open the X display \"%s\"", kGerman);
      text.replace(text.find("%s"), 2, d ? d : "");
      throw Exception(text);
    }
  } else {
    throw Exception("Unknown display \"" + name + "\"");
  }
  if (s.display) ResetWindowSystem();
  s.display = std::move(next);
  TSize size = s.display->ScreenSize();
  SetScreenSize(size.cx, size.cy);
}

DisplayBackend& Display() {
  State& s = S();
  if (!s.display) {
    const char* chosen = std::getenv("TIDEWELL_DISPLAY");
    const char* d = std::getenv("DISPLAY");
    bool wantX11 = chosen && *chosen ? std::string(chosen) == "x11" : (d && *d);
    if (wantX11) s.display = MakeX11Display(nullptr);
    if (!s.display) s.display = MakeOffscreenDisplay();
    TSize size = s.display->ScreenSize();
    SetScreenSize(size.cx, size.cy);
  }
  return *s.display;
}

std::string DisplayName() { return Display().Name(); }
std::string DisplayServerName() { return Display().ServerName(); }

cairo_surface_t* WindowSurface(HWND hwnd) {
  Window* top = Find(TopLevelOf(hwnd));
  if (!top) return nullptr;
  EnsureSurface(*top);
  if (top->surface) cairo_surface_flush(top->surface);
  return top->surface;
}

std::uint32_t GetWindowPixel(HWND hwnd, int x, int y) {
  Window* w = Find(hwnd);
  if (!w || x < 0 || y < 0 || x >= w->client.Width() || y >= w->client.Height()) return 0;
  cairo_surface_t* surface = WindowSurface(hwnd);
  if (!surface) return 0;
  POINT o = OffsetInTop(*w);
  int px = o.X + w->client.Left + x, py = o.Y + w->client.Top + y;
  if (px >= cairo_image_surface_get_width(surface) || py >= cairo_image_surface_get_height(surface)) return 0;
  const unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  std::uint32_t v;
  std::memcpy(&v, data + static_cast<std::size_t>(py) * static_cast<std::size_t>(stride) + static_cast<std::size_t>(px) * 4, 4);
  return 0xFF000000u | (v & 0xFFFFFFu);
}

bool SaveWindowPng(HWND hwnd, const std::string& path) {
  Window* w = Find(hwnd);
  if (!w) return false;
  cairo_surface_t* surface = WindowSurface(hwnd);
  if (!surface) return false;
  if (!w->parent) return cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  int width = std::max(1, w->client.Width()), height = std::max(1, w->client.Height());
  cairo_surface_t* part = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(part);
  POINT o = OffsetInTop(*w);
  cairo_set_source_surface(cr, surface, -(o.X + w->client.Left), -(o.Y + w->client.Top));
  cairo_paint(cr);
  cairo_destroy(cr);
  bool ok = cairo_surface_write_to_png(part, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(part);
  return ok;
}

}  // namespace tw
