// Text measurement without a window: a canvas on the screen's measuring context, so that
// controls can size themselves before (or without) having a window or a parent.
#pragma once

#include "platform/gfx/canvas.h"
#include "platform/gfx/font.h"

namespace tw {

// The measuring canvas with `font` selected; valid until the next call.
TCanvas* MeasureCanvas(const TFont* font);

}  // namespace tw
