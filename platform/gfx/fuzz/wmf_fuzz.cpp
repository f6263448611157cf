// Feeds arbitrary bytes to the metafile reader: it must load them or raise EInvalidGraphic, and
// what loads must replay and save without trouble.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/gfx/metafile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tw::TMetafile metafile;
  try {
    metafile.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const tw::EInvalidGraphic&) {
    return 0;
  }
  cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 16, 16);
  cairo_t* cr = cairo_create(target);
  metafile.Draw(cr, tw::Rect(0, 0, 16, 16));
  cairo_destroy(cr);
  cairo_surface_destroy(target);
  if (!metafile.Empty()) {
    tw::TMetafile again;
    again.LoadFromBytes(metafile.SaveToBytes());
  }
  return 0;
}
