#include "platform/gfx/dib.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>

#include "platform/gfx/graphic.h"

namespace tw::gfxdetail {

std::uint32_t U32(std::string_view d, std::size_t at) {
  return static_cast<std::uint32_t>(U16(d, at)) | static_cast<std::uint32_t>(U16(d, at + 2)) << 16;
}
std::uint16_t U16(std::string_view d, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(d[at]) | static_cast<unsigned char>(d[at + 1]) << 8);
}

std::string ReadGraphicRest(TStream& stream) {
  std::int64_t size = stream.Size() - stream.Position();
  if (size <= 0) return {};
  if (size > MaxGraphicPixels * 4 + 1024 * 1024) throw EInvalidGraphic("Picture file is too large");
  std::string bytes(static_cast<std::size_t>(size), '\0');
  stream.ReadBuffer(bytes.data(), size);
  return bytes;
}

namespace {

[[noreturn]] void Fail(const char* error) { throw EInvalidGraphic(error); }

// Position and width of a colour mask, to scale its value to 8 bits.
struct MaskField {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;
  explicit MaskField(std::uint32_t m) : mask(m) {
    if (m == 0) return;
    while (((m >> shift) & 1) == 0) ++shift;
    max = m >> shift;
  }
  int Get(std::uint32_t v) const {
    if (mask == 0) return 0;
    return static_cast<int>((((v & mask) >> shift) * 255 + max / 2) / max);
  }
};

cairo_surface_t* NewSurface(int w, int h, const char* error) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    Fail(error);
  }
  return s;
}

struct SurfaceGuard {
  cairo_surface_t* s;
  ~SurfaceGuard() { if (s) cairo_surface_destroy(s); }
  cairo_surface_t* Release() { cairo_surface_t* r = s; s = nullptr; return r; }
};

}  // namespace

std::size_t DibStride(int width, int bitCount) {
  return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32) * 4;
}

DibHeader ParseDibHeader(std::string_view d, bool iconImage, const char* error) {
  DibHeader h;
  if (d.size() < 12) Fail(error);
  h.headerSize = U32(d, 0);
  std::int64_t width = 0, height = 0;
  int planes = 0;
  std::uint32_t colorsUsed = 0;
  std::size_t paletteEntry = 4;
  if (h.headerSize == 12) {  // the old core header
    width = U16(d, 4);
    height = static_cast<std::int16_t>(U16(d, 6));
    planes = U16(d, 8);
    h.bitCount = U16(d, 10);
    paletteEntry = 3;
  } else if (h.headerSize >= 40 && h.headerSize <= 124) {
    if (d.size() < h.headerSize) Fail(error);
    width = static_cast<std::int32_t>(U32(d, 4));
    height = static_cast<std::int32_t>(U32(d, 8));
    planes = U16(d, 12);
    h.bitCount = U16(d, 14);
    h.compression = U32(d, 16);
    colorsUsed = U32(d, 32);
    if (h.headerSize >= 52) {
      h.masks[0] = U32(d, 40);
      h.masks[1] = U32(d, 44);
      h.masks[2] = U32(d, 48);
    }
    if (h.headerSize >= 56) h.masks[3] = U32(d, 52);
  } else {
    Fail(error);
  }
  if (planes != 1) Fail(error);
  if (height < 0) {
    if (iconImage) Fail(error);
    h.topDown = true;
    height = -height;
  }
  if (iconImage) height /= 2;
  if (width <= 0 || height <= 0 || width > MaxGraphicSide || height > MaxGraphicSide ||
      width * height > MaxGraphicPixels)
    Fail(error);
  h.width = static_cast<int>(width);
  h.height = static_cast<int>(height);
  switch (h.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: Fail(error);
  }
  std::size_t pos = h.headerSize;
  switch (h.compression) {
    case 0: break;                                      // plain rows
    case 1: if (h.bitCount != 8 || h.topDown) Fail(error); break;  // RLE8
    case 2: if (h.bitCount != 4 || h.topDown) Fail(error); break;  // RLE4
    case 3: case 6:                                     // bit fields
      if (h.bitCount != 16 && h.bitCount != 32) Fail(error);
      if (h.headerSize == 40) {
        std::size_t n = h.compression == 6 ? 4 : 3;
        if (d.size() < pos + 4 * n) Fail(error);
        for (std::size_t i = 0; i < n; ++i) h.masks[i] = U32(d, pos + 4 * i);
        pos += 4 * n;
      }
      if (h.masks[0] == 0 && h.masks[1] == 0 && h.masks[2] == 0) Fail(error);
      break;
    default: Fail(error);
  }
  if (h.compression == 0 || h.compression == 1 || h.compression == 2) {
    // Masks in the header count only with bit-field compression.
    std::fill(std::begin(h.masks), std::end(h.masks), 0u);
    if (h.bitCount == 16) { h.masks[0] = 0x7C00; h.masks[1] = 0x03E0; h.masks[2] = 0x001F; }
    if (h.bitCount == 32 || h.bitCount == 24) { h.masks[0] = 0xFF0000; h.masks[1] = 0xFF00; h.masks[2] = 0xFF; h.masks[3] = 0; }
  }
  if (h.bitCount <= 8) {
    std::size_t count = colorsUsed == 0 ? (std::size_t{1} << h.bitCount) : colorsUsed;
    if (count > 256) Fail(error);
    if (d.size() < pos + count * paletteEntry) Fail(error);
    h.palette.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = pos + i * paletteEntry;
      h.palette.push_back(static_cast<std::uint32_t>(static_cast<unsigned char>(d[at])) |
                          static_cast<std::uint32_t>(static_cast<unsigned char>(d[at + 1])) << 8 |
                          static_cast<std::uint32_t>(static_cast<unsigned char>(d[at + 2])) << 16);
    }
    pos += count * paletteEntry;
  }
  h.bitsOffset = pos;
  return h;
}

cairo_surface_t* DecodeDibBits(const DibHeader& h, std::string_view bits, const char* error) {
  const int w = h.width, ht = h.height;
  // Check the data's size before allocating the picture.  Run-length data can describe a
  // large picture in little space, but not beyond what its longest runs allow.
  const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(ht);
  if (h.compression == 1 || h.compression == 2) {
    if (pixels > bits.size() * 2048) Fail(error);
  } else if (DibStride(w, h.bitCount) * static_cast<std::size_t>(ht) > bits.size()) {
    Fail(error);
  }
  SurfaceGuard guard{NewSurface(w, ht, error)};
  cairo_surface_t* s = guard.s;
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int outStride = cairo_image_surface_get_stride(s);
  auto put = [&](int x, int y, std::uint32_t rgb, int alpha) {
    // y counts stored rows; bottom-up files store the last picture row first.
    int row = h.topDown ? y : ht - 1 - y;
    std::uint32_t a = static_cast<std::uint32_t>(alpha);
    std::uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    if (a != 255) { r = r * a / 255; g = g * a / 255; b = b * a / 255; }
    std::uint32_t v = a << 24 | r << 16 | g << 8 | b;
    std::memcpy(data + static_cast<std::ptrdiff_t>(row) * outStride + 4 * x, &v, 4);
  };
  auto paletteColor = [&](std::size_t index) -> std::uint32_t {
    return index < h.palette.size() ? h.palette[index] : 0;  // an index past the palette reads as black
  };

  if (h.compression == 1 || h.compression == 2) {
    // Run-length encoded rows; pixels the runs skip (deltas, short lines) are black.
    for (int y = 0; y < ht; ++y)
      for (int x = 0; x < w; ++x) put(x, y, 0, 255);
    const bool rle4 = h.compression == 2;
    std::size_t p = 0;
    int x = 0, y = 0;
    bool ended = false;
    auto need = [&](std::size_t n) { if (p + n > bits.size()) Fail(error); };
    while (!ended) {
      need(2);
      unsigned count = static_cast<unsigned char>(bits[p]);
      unsigned value = static_cast<unsigned char>(bits[p + 1]);
      p += 2;
      if (count > 0) {
        for (unsigned i = 0; i < count; ++i, ++x) {
          std::size_t index = rle4 ? ((i % 2 == 0) ? value >> 4 : value & 0xF) : value;
          if (x < w && y < ht) put(x, y, paletteColor(index), 255);
        }
      } else if (value == 0) {  // end of line
        x = 0;
        ++y;
      } else if (value == 1) {  // end of bitmap
        ended = true;
      } else if (value == 2) {  // delta
        need(2);
        x += static_cast<unsigned char>(bits[p]);
        y += static_cast<unsigned char>(bits[p + 1]);
        p += 2;
      } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
        std::size_t bytes = rle4 ? (value + 1) / 2 : value;
        need(bytes + (bytes % 2));
        for (unsigned i = 0; i < value; ++i, ++x) {
          unsigned char b = static_cast<unsigned char>(bits[p + (rle4 ? i / 2 : i)]);
          std::size_t index = rle4 ? ((i % 2 == 0) ? b >> 4 : b & 0xF) : b;
          if (x < w && y < ht) put(x, y, paletteColor(index), 255);
        }
        p += bytes + (bytes % 2);
      }
      if (y > ht) break;  // rows past the picture: nothing more to draw
    }
    cairo_surface_mark_dirty(s);
    return guard.Release();
  }

  const std::size_t stride = DibStride(w, h.bitCount);
  if (stride * static_cast<std::size_t>(ht) > bits.size()) Fail(error);
  const MaskField red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alphaField(h.masks[3]);
  bool anyAlpha = false;
  for (int y = 0; y < ht && !anyAlpha && h.masks[3] != 0 && h.bitCount >= 16; ++y) {
    const std::string_view row = bits.substr(stride * static_cast<std::size_t>(y), stride);
    for (int x = 0; x < w; ++x) {
      std::uint32_t v = h.bitCount == 32 ? U32(row, 4 * static_cast<std::size_t>(x)) : U16(row, 2 * static_cast<std::size_t>(x));
      if (v & h.masks[3]) { anyAlpha = true; break; }
    }
  }
  for (int y = 0; y < ht; ++y) {
    const std::string_view row = bits.substr(stride * static_cast<std::size_t>(y), stride);
    for (int x = 0; x < w; ++x) {
      const std::size_t ux = static_cast<std::size_t>(x);
      switch (h.bitCount) {
        case 1: put(x, y, paletteColor((static_cast<unsigned char>(row[ux / 8]) >> (7 - ux % 8)) & 1), 255); break;
        case 4: put(x, y, paletteColor((static_cast<unsigned char>(row[ux / 2]) >> (ux % 2 ? 0 : 4)) & 0xF), 255); break;
        case 8: put(x, y, paletteColor(static_cast<unsigned char>(row[ux])), 255); break;
        case 24: {
          std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(row[3 * ux])) |
                            static_cast<std::uint32_t>(static_cast<unsigned char>(row[3 * ux + 1])) << 8 |
                            static_cast<std::uint32_t>(static_cast<unsigned char>(row[3 * ux + 2])) << 16;
          put(x, y, v, 255);
          break;
        }
        default: {
          std::uint32_t v = h.bitCount == 32 ? U32(row, 4 * ux) : U16(row, 2 * ux);
          std::uint32_t rgb = static_cast<std::uint32_t>(red.Get(v)) << 16 |
                              static_cast<std::uint32_t>(green.Get(v)) << 8 | static_cast<std::uint32_t>(blue.Get(v));
          put(x, y, rgb, anyAlpha ? alphaField.Get(v) : 255);
          break;
        }
      }
    }
  }
  cairo_surface_mark_dirty(s);
  return guard.Release();
}

namespace {

struct PngReader {
  std::string_view data;
  std::size_t pos = 0;
};

cairo_status_t ReadPng(void* closure, unsigned char* out, unsigned int length) {
  auto* r = static_cast<PngReader*>(closure);
  if (r->data.size() - r->pos < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(out, r->data.data() + r->pos, length);
  r->pos += length;
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

cairo_surface_t* DecodePng(std::string_view data, const char* error) {
  // Check the declared size before handing the data to the decoder.
  if (data.size() < 33 || data.substr(0, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8) ||
      data.substr(12, 4) != "IHDR")
    Fail(error);
  auto be32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(data[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + 3]));
  };
  std::uint32_t w = be32(16), h = be32(20);
  if (w == 0 || h == 0 || w > static_cast<std::uint32_t>(MaxGraphicSide) || h > static_cast<std::uint32_t>(MaxGraphicSide) ||
      static_cast<std::int64_t>(w) * h > MaxGraphicPixels)
    Fail(error);
  PngReader reader{data, 0};
  cairo_surface_t* s = cairo_image_surface_create_from_png_stream(ReadPng, &reader);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    Fail(error);
  }
  if (cairo_image_surface_get_format(s) != CAIRO_FORMAT_ARGB32) {
    cairo_surface_t* argb = NewSurface(cairo_image_surface_get_width(s), cairo_image_surface_get_height(s), error);
    cairo_t* cr = cairo_create(argb);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    s = argb;
  }
  return s;
}

void EncodeBmp(cairo_surface_t* surface, bool withAlpha, std::string& out) {
  cairo_surface_flush(surface);
  const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
  const int bpp = withAlpha ? 32 : 24;
  const std::size_t stride = DibStride(w, bpp);
  const std::size_t imageSize = stride * static_cast<std::size_t>(h);
  const std::size_t fileSize = 14 + 40 + imageSize;
  auto u16 = [&](unsigned v) { out += static_cast<char>(v & 0xFF); out += static_cast<char>((v >> 8) & 0xFF); };
  auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF); };
  out.reserve(out.size() + fileSize);
  out += "BM";
  u32(static_cast<std::uint32_t>(fileSize));
  u32(0);
  u32(54);
  u32(40);
  u32(static_cast<std::uint32_t>(w));
  u32(static_cast<std::uint32_t>(h));
  u16(1);
  u16(static_cast<unsigned>(bpp));
  u32(0);
  u32(static_cast<std::uint32_t>(imageSize));
  u32(3780);  // 96 pixels per inch
  u32(3780);
  u32(0);
  u32(0);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int inStride = cairo_image_surface_get_stride(surface);
  const bool hasAlpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
  std::string row(stride, '\0');
  for (int y = h - 1; y >= 0; --y) {
    const unsigned char* in = data + static_cast<std::ptrdiff_t>(y) * inStride;
    for (int x = 0; x < w; ++x) {
      std::uint32_t v;
      std::memcpy(&v, in + 4 * x, 4);
      std::uint32_t a = hasAlpha ? (v >> 24) & 0xFF : 255;
      std::uint32_t r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
      if (a != 0 && a != 255) { r = r * 255 / a; g = g * 255 / a; b = b * 255 / a; }
      std::size_t at = static_cast<std::size_t>(x) * (bpp / 8);
      row[at] = static_cast<char>(b);
      row[at + 1] = static_cast<char>(g);
      row[at + 2] = static_cast<char>(r);
      if (withAlpha) row[at + 3] = static_cast<char>(a);
    }
    out += row;
  }
}

}  // namespace tw::gfxdetail
