// Feeds arbitrary bytes to the icon reader: it must load them or raise EInvalidGraphic.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/gfx/graphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tw::TIcon icon;
  try {
    icon.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_t* cr = cairo_create(target);
    icon.Draw(cr, tw::Rect(0, 0, 8, 8));
    cairo_destroy(cr);
    cairo_surface_destroy(target);
  } catch (const tw::EInvalidGraphic&) {
  }
  return 0;
}
