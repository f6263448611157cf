// The picture forms of the rich-text format: a metafile without its 22-byte placeable header,
// a device-independent bitmap (information header, palette, bits) and a device-dependent
// bitmap (bare rows of pixels described by the picture's size words).  Each builder answers
// nullptr for data that does not make a picture, so that a damaged picture is left out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gfx/graphic.h"
#include "platform/gfx/metafile.h"

namespace tw::richtext {

// `data` is the picture data with 22 bytes in front reserved for the placeable header, which
// is filled here: bounding box 0, 0, picw, pich in hundredths of a millimetre.
std::unique_ptr<TMetafile> MetafileFromRtf(std::string data, std::int32_t picw, std::int32_t pich);
// A device-independent bitmap: the image size of its header is recomputed from the width, the
// height and the bits per pixel, and a bitmap file header is put in front.
std::unique_ptr<TBitmap> BitmapFromDib(std::string dib);
// A device-dependent bitmap: `height` rows of `widthBytes` bytes each, top row first, of
// 1, 4, 8, 16, 24 or 32 bits per pixel in one plane (4 bits: the 16 standard colours, 8 bits:
// grey levels).  A row size of 0 means the smallest even size.
std::unique_ptr<TBitmap> BitmapFromBits(const std::string& bits, std::int32_t width, std::int32_t height,
                                        std::int32_t bitsPixel, std::int32_t planes, std::int32_t widthBytes);

// The rows of a bitmap as device-dependent bits: 32 bits per pixel (blue, green, red, 0xFF),
// top row first; `widthBytes` receives the row size.
std::string BitmapBits(const TBitmap& bitmap, std::int32_t& widthBytes);

}  // namespace tw::richtext
