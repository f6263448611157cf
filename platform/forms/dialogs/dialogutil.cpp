#include "platform/forms/dialogs/dialogutil.h"

#include "platform/gfx/canvas.h"

namespace tw::dialogs {

namespace {
TCanvas& Measure(const TFont* font) {
  static TCanvas canvas;
  if (canvas.Handle() == 0) canvas.SetHandle(GetScreenDC());
  canvas.SetFont(font);
  return canvas;
}
}  // namespace

TSize MeasureText(const TFont* font, const std::string& text, int maxWidth) {
  TCanvas& c = Measure(font);
  TRect r = Rect(0, 0, maxWidth, 0);
  c.DrawText(text.empty() ? std::string(" ") : text, r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  return TSize{r.Width(), r.Height()};
}

int TextWidthOf(const TFont* font, const std::string& text) { return Measure(font).TextWidth(text); }

}  // namespace tw::dialogs
