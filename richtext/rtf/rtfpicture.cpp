#include "richtext/rtf/rtfpicture.h"

#include <cairo.h>

#include <cstring>

#include "platform/rtl/exceptions.h"

namespace tw::richtext {

namespace {

void Put16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}
std::uint32_t Get16(const std::string& s, std::size_t at) {
  return static_cast<unsigned char>(s[at]) | (static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8);
}
std::uint32_t Get32(const std::string& s, std::size_t at) { return Get16(s, at) | (Get16(s, at + 2) << 16); }

// The 16 standard colours of a 4-bit device, as 0x00RRGGBB.
constexpr std::uint32_t kStandardColors[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

std::unique_ptr<TBitmap> LoadDib(const std::string& dib) {
  auto bmp = std::make_unique<TBitmap>();
  try {
    bmp->LoadFromDib(dib);
  } catch (const Exception&) {
    return nullptr;
  }
  return bmp;
}

}  // namespace

std::unique_ptr<TMetafile> MetafileFromRtf(std::string data, std::int32_t picw, std::int32_t pich) {
  // The bounding box is stored in 16-bit words.
  if (data.size() <= 22 || picw < 0 || pich < 0 || picw > 32767 || pich > 32767) return nullptr;
  Put32(data, 0, PlaceableMetafileKey);
  Put16(data, 4, 0);
  Put16(data, 6, 0);
  Put16(data, 8, 0);
  Put16(data, 10, static_cast<std::uint32_t>(picw));
  Put16(data, 12, static_cast<std::uint32_t>(pich));
  Put16(data, 14, 2540);
  Put32(data, 16, 0);
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < 20; i += 2) sum ^= Get16(data, i);
  Put16(data, 20, sum);
  auto mf = std::make_unique<TMetafile>();
  try {
    mf->LoadFromBytes(data);
  } catch (const Exception&) {
    return nullptr;
  }
  if (mf->Empty()) return nullptr;
  return mf;
}

std::unique_ptr<TBitmap> BitmapFromDib(std::string dib) {
  if (dib.size() < 40 || Get32(dib, 0) < 40) return nullptr;
  const auto width = static_cast<std::int32_t>(Get32(dib, 4));
  const auto height = static_cast<std::int32_t>(Get32(dib, 8));
  const int bits = static_cast<int>(Get16(dib, 14));
  if (width <= 0 || width > MaxGraphicSide || height == 0 || height > MaxGraphicSide || height < -MaxGraphicSide ||
      bits <= 0 || bits > 32)
    return nullptr;
  const std::uint64_t rowSize = (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bits) + 31) / 32 * 4;
  const std::uint64_t image = rowSize * static_cast<std::uint64_t>(height < 0 ? -height : height);
  Put32(dib, 20, static_cast<std::uint32_t>(image));
  return LoadDib(dib);
}

std::unique_ptr<TBitmap> BitmapFromBits(const std::string& bits, std::int32_t width, std::int32_t height,
                                        std::int32_t bitsPixel, std::int32_t planes, std::int32_t widthBytes) {
  if (planes != 1 || width <= 0 || height <= 0 || width > MaxGraphicSide || height > MaxGraphicSide) return nullptr;
  switch (bitsPixel) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return nullptr;
  }
  const std::uint64_t needed = (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPixel) + 7) / 8;
  const std::uint64_t rowIn = widthBytes > 0 ? static_cast<std::uint64_t>(widthBytes) : (needed + 1) / 2 * 2;
  if (rowIn < needed || rowIn * static_cast<std::uint64_t>(height) > bits.size()) return nullptr;
  const std::uint64_t rowOut = (needed + 3) / 4 * 4;
  const int paletteSize = bitsPixel == 1 ? 2 : bitsPixel == 4 ? 16 : bitsPixel == 8 ? 256 : 0;
  std::string dib(40 + 4 * static_cast<std::size_t>(paletteSize), '\0');
  Put32(dib, 0, 40);
  Put32(dib, 4, static_cast<std::uint32_t>(width));
  Put32(dib, 8, static_cast<std::uint32_t>(-height));  // top row first
  Put16(dib, 12, 1);
  Put16(dib, 14, static_cast<std::uint32_t>(bitsPixel));
  Put32(dib, 20, static_cast<std::uint32_t>(rowOut * static_cast<std::uint64_t>(height)));
  for (int i = 0; i < paletteSize; ++i) {
    std::uint32_t rgb;
    if (bitsPixel == 1) rgb = i == 0 ? 0x000000 : 0xFFFFFF;
    else if (bitsPixel == 4) rgb = kStandardColors[i];
    else rgb = static_cast<std::uint32_t>(i) * 0x010101u;
    Put32(dib, 40 + 4 * static_cast<std::size_t>(i), rgb);
  }
  dib.reserve(dib.size() + rowOut * static_cast<std::uint64_t>(height));
  const std::string pad(rowOut - needed, '\0');
  for (std::int32_t y = 0; y < height; ++y) {
    dib.append(bits, static_cast<std::size_t>(rowIn * static_cast<std::uint64_t>(y)), needed);
    dib += pad;
  }
  return LoadDib(dib);
}

std::string BitmapBits(const TBitmap& bitmap, std::int32_t& widthBytes) {
  widthBytes = 0;
  cairo_surface_t* s = bitmap.Surface();
  if (s == nullptr || bitmap.Empty()) return {};
  cairo_surface_flush(s);
  const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  const int stride = cairo_image_surface_get_stride(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  widthBytes = w * 4;
  std::string out;
  out.reserve(static_cast<std::size_t>(widthBytes) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < w; ++x) {
      std::uint32_t px;
      std::memcpy(&px, row + 4 * x, 4);
      const std::uint32_t a = px >> 24;
      // Undo the premultiplication of the image surface; the bits carry plain colours.
      auto c = [a](std::uint32_t v) { return a == 0 ? 0u : a == 255 ? v : (v * 255 + a / 2) / a; };
      out += static_cast<char>(c(px & 0xFF));
      out += static_cast<char>(c((px >> 8) & 0xFF));
      out += static_cast<char>(c((px >> 16) & 0xFF));
      out += static_cast<char>(0xFF);
    }
  }
  return out;
}

}  // namespace tw::richtext
