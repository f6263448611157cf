#include "platform/forms/dialogs/dialogutil.h"

#include <algorithm>

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

int TitleRoom(const TFont* font, const std::string& title) {
  // Window managers draw titles in a bold face of about 10 points, with an icon and up to three
  // buttons beside them.
  constexpr int kWindowManagerChrome = 120;
  TFont bold;
  bold.Assign(font);
  bold.SetStyle({TFontStyle::fsBold});
  if (bold.Size() < 10) bold.SetSize(10);
  return std::min(FontTextWidth(bold.Request(), title) + kWindowManagerChrome, 700);
}

}  // namespace tw::dialogs
