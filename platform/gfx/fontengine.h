// Inside of the drawing layer: a font at one pixel size as the canvas draws it.  Not part of
// the public contract.
#pragma once

#include <cairo.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/font.h"

namespace tw::gfxdetail {

// A glyph as cairo draws it at a whole-pixel origin: the coverage its rasteriser gives each
// pixel and the glyph's ink box in cairo's fixed-point units (1/256 pixel), both relative to the
// origin.  Made once per font and code, on first use (see canvas.cpp).
struct GlyphMask {
  bool direct = false;  // false: the glyph is left to cairo (no mask could be taken)
  int left = 0, top = 0, width = 0, height = 0;
  int stride = 0;  // bytes from row to row: the width up to a multiple of 16, the rest zeros
  std::int64_t inkLeft = 0, inkTop = 0, inkRight = 0, inkBottom = 0;
  std::vector<std::uint8_t> alpha;  // stride * height, row by row
};

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
  // The glyph of each code as drawn (filled in by the canvas; guarded by its lock).
  mutable std::array<std::unique_ptr<GlyphMask>, 256> masks;
};

// The cached font for a request; the reference stays valid for the whole run.
const SizedFont& GetSizedFont(const TFontRequest& request);

// Text is drawn straight into the pixels of image surfaces where that gives cairo's pixels (the
// default); off, cairo draws every glyph.  For tests that compare the two.
void SetDirectGlyphs(bool on);
// How many glyph runs were drawn straight into pixels so far.
std::uint64_t DirectGlyphRuns();

}  // namespace tw::gfxdetail
