// Feeds arbitrary bytes to the bitmap reader: it must load them or raise EInvalidGraphic.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/gfx/graphic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tw::TBitmap bitmap;
  try {
    bitmap.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    // A loaded picture must be whole: every pixel can be read and it saves again.
    (void)bitmap.PixelColor(bitmap.Width() - 1, bitmap.Height() - 1);
    (void)bitmap.SaveToBytes();
  } catch (const tw::EInvalidGraphic&) {
  }
  return 0;
}
