#include "platform/forms/comctrls/ctrlpaint.h"

#include <algorithm>
#include <vector>

namespace tw {

namespace {
TDCCanvas& MeasureCanvas(const TFont* font) {
  static TDCCanvas canvas(GetScreenDC());
  canvas.Font()->Assign(font);
  return canvas;
}
}  // namespace

int FontRowHeight(const TFont* font) { return std::max(1, MeasureCanvas(font).GetTextMetrics().tmHeight); }

int FontTextWidth(const TFont* font, const std::string& text) { return MeasureCanvas(font).TextWidth(text); }

void DrawArrow(TCanvas* canvas, const TRect& r, TArrowDir dir, TColor color) {
  const int size = std::max(2, std::min(r.Width(), r.Height()) / 3);
  const int cx = (r.Left + r.Right) / 2;
  const int cy = (r.Top + r.Bottom) / 2;
  std::vector<TPoint> pts;
  switch (dir) {
    case TArrowDir::Down: pts = {{cx - size, cy - size / 2}, {cx + size, cy - size / 2}, {cx, cy + size / 2 + 1}}; break;
    case TArrowDir::Up: pts = {{cx - size, cy + size / 2}, {cx + size, cy + size / 2}, {cx, cy - size / 2 - 1}}; break;
    case TArrowDir::Right: pts = {{cx - size / 2, cy - size}, {cx - size / 2, cy + size}, {cx + size / 2 + 1, cy}}; break;
    case TArrowDir::Left: pts = {{cx + size / 2, cy - size}, {cx + size / 2, cy + size}, {cx - size / 2 - 1, cy}}; break;
  }
  canvas->Pen()->SetColor(color);
  canvas->Brush()->SetColor(color);
  canvas->Brush()->SetStyle(TBrushStyle::bsSolid);
  canvas->Polygon(pts);
}

void DrawButtonFace(TCanvas* canvas, TRect r, bool pressed) {
  canvas->Brush()->SetColor(clBtnFace);
  canvas->FillRect(r);
  canvas->DrawEdge(r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
}

void SetItemColors(TCanvas* canvas, bool selected, TColor normal) {
  if (selected) {
    canvas->Brush()->SetColor(clHighlight);
    canvas->Font()->SetColor(clHighlightText);
  } else {
    canvas->Brush()->SetColor(normal);
  }
}

void DrawPlainItem(TCanvas* canvas, const TRect& r, const std::string* text, bool centred) {
  canvas->FillRect(r);
  if (text == nullptr) return;
  const int top = centred ? r.Top + std::max(0, (r.Height() - canvas->TextHeight("Wg")) / 2) : r.Top;
  canvas->Brush()->SetStyle(TBrushStyle::bsClear);
  canvas->TextRect(r, r.Left + 2, top, *text);
  canvas->Brush()->SetStyle(TBrushStyle::bsSolid);
}

}  // namespace tw
