#include "platform/forms/stdctrls/measure.h"

#include "platform/gfx/devicecontext.h"

namespace tw {

TCanvas* MeasureCanvas(const TFont* font) {
  static TCanvas* canvas = new TCanvas();  // lives for the whole run, like the screen context
  const HDC dc = GetScreenDC();
  if (canvas->Handle() != dc) canvas->SetHandle(dc);
  canvas->Font()->Assign(font);
  return canvas;
}

}  // namespace tw
