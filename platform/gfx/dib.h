// Reading and writing device-independent bitmaps (the pixel part of .BMP and .ICO files).
// Inside of the drawing layer.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {
class TStream;
}

namespace tw::gfxdetail {

// The rest of `stream` from its position, for the readers that take a whole file; a picture
// file larger than the largest picture there can be raises EInvalidGraphic.
std::string ReadGraphicRest(TStream& stream);
// Little-endian values at `at` (the caller has checked that they lie inside `d`).
std::uint16_t U16(std::string_view d, std::size_t at);
std::uint32_t U32(std::string_view d, std::size_t at);

struct DibHeader {
  std::uint32_t headerSize = 0;
  int width = 0;
  int height = 0;      // rows of the picture (for icons: half of the stored height)
  bool topDown = false;
  int bitCount = 0;
  std::uint32_t compression = 0;
  std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  std::vector<std::uint32_t> palette;      // 0x00RRGGBB
  std::size_t bitsOffset = 0;              // just after the palette (and masks)
};

// Parses the header at `data` (a BITMAPINFOHEADER or one of its larger or older forms) and the
// palette after it.  `iconImage` halves the height (colour image over the AND mask).  Raises
// EInvalidGraphic with `error` as the message.
DibHeader ParseDibHeader(std::string_view data, bool iconImage, const char* error);
// Decodes the pixel rows at `bits` into a new ARGB32 surface (opaque unless the data carries
// alpha).  Raises EInvalidGraphic with `error` when the rows do not fit.
cairo_surface_t* DecodeDibBits(const DibHeader& h, std::string_view bits, const char* error);
// Bytes of one stored row.
std::size_t DibStride(int width, int bitCount);
// Reads a PNG held in memory; raises EInvalidGraphic with `error`.
cairo_surface_t* DecodePng(std::string_view data, const char* error);
// Appends the .BMP file of a surface: 24 bits per pixel, or 32 with alpha.
void EncodeBmp(cairo_surface_t* surface, bool withAlpha, std::string& out);

}  // namespace tw::gfxdetail
