// Inside of the drawing layer: a font at one pixel size as the canvas draws it.  Not part of
// the public contract.
#pragma once

#include <cairo.h>

#include <array>

#include "platform/gfx/font.h"

namespace tw::gfxdetail {

struct SizedFont {
  TTextMetric metrics;
  TCharWidths widths{};
  std::array<unsigned long, 256> glyphs{};  // glyph index of each code in the face
  std::array<bool, 256> blank{};            // the code's glyph draws nothing (the blank's, when empty)
  double emSize = 0;                         // pixels per em
  cairo_font_face_t* face = nullptr;         // owned by the cache
  double underlinePosition = 0;              // pixels below the base line (positive down)
  double underlineThickness = 1;
  double strikeoutPosition = 0;              // pixels above the base line
  double strikeoutThickness = 1;
  bool syntheticItalic = false;              // the face has no italic: slant it
};

// The cached font for a request; the reference stays valid for the whole run.
const SizedFont& GetSizedFont(const TFontRequest& request);

}  // namespace tw::gfxdetail
