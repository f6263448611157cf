// The icon-file reader behind the editor's icon button: any bytes give an empty result or a
// one-icon image that lies wholly inside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "multilang/iconfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string image = tw::multilang::FirstIconImage(bytes);
  if (!image.empty() && (image.size() < 22 || image.size() - 22 > size)) std::abort();
  if (!image.empty() && tw::multilang::FirstIconImage(image) != image) std::abort();
  return 0;
}
