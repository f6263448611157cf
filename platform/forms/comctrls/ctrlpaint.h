// Small helpers shared by the controls of this folder: measuring a font without a window, and
// the parts of the classic 3-D look (sunken fields, raised buttons, arrows).
#pragma once

#include <string>

#include "platform/gfx/canvas.h"
#include "platform/gfx/font.h"

namespace tw {

// The height of a text row in `font` (the font's cell height).
int FontRowHeight(const TFont* font);
// The width of `text` in `font`.
int FontTextWidth(const TFont* font, const std::string& text);

enum class TArrowDir { Up, Down, Left, Right };
// A solid triangle in the middle of `r`, in `color`.
void DrawArrow(TCanvas* canvas, const TRect& r, TArrowDir dir, TColor color);
// A raised (or, when pressed, sunken) button face filling `r`.
void DrawButtonFace(TCanvas* canvas, TRect r, bool pressed);

// Brush and font colours of a list row: highlight colours when `selected`, else the brush in
// `normal` and the font as it is.
void SetItemColors(TCanvas* canvas, bool selected, TColor normal);
// The plain look of a list row: `r` filled with the brush and, when given, `text` 2 pixels in
// from the left, at the top or vertically centred.
void DrawPlainItem(TCanvas* canvas, const TRect& r, const std::string* text, bool centred);

}  // namespace tw
