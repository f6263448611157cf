// The canvas: pen, brush and font on a device context, drawing in the window system's pixel
// conventions (a line excludes its end point, a rectangle's right and bottom edges lie just
// outside it), with text measured and drawn through the font engine's integer advances.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gfx/color.h"
#include "platform/gfx/devicecontext.h"
#include "platform/gfx/font.h"
#include "platform/gfx/geometry.h"

namespace tw {

class TGraphic;

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// pmCopy draws the colour; pmNot, pmXor and pmNotXor invert what is there (drawing twice
// restores it), which is what rubber bands and drag frames rely on.
enum class TPenMode { pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmXor, pmNotXor };
enum class TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum class TFillStyle { fsSurface, fsBorder };
// Copy modes of CopyRect/Draw; cmSrcCopy is the only one most code uses.
enum class TCopyMode { cmSrcCopy, cmSrcAnd, cmSrcPaint, cmSrcInvert, cmNotSrcCopy, cmBlackness, cmWhiteness, cmDstInvert };

class TPen : public TPersistent {
  TW_CLASS(TPen, TPersistent)
 public:
  void Assign(const TPersistent* source) override;
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);  // below 1 is taken as 1
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);
  TNotifyEvent OnChange;

 private:
  void Changed();
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = TPenStyle::psSolid;
  TPenMode mode_ = TPenMode::pmCopy;
};

class TBrush : public TPersistent {
  TW_CLASS(TBrush, TPersistent)
 public:
  void Assign(const TPersistent* source) override;
  TColor Color() const { return color_; }
  void SetColor(TColor color);  // a clear brush becomes solid, as in the class library
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  TNotifyEvent OnChange;

 private:
  void Changed();
  TColor color_ = clWhite;
  TBrushStyle style_ = TBrushStyle::bsSolid;
};

// ExtTextOut options.
constexpr unsigned ETO_OPAQUE = 2;
constexpr unsigned ETO_CLIPPED = 4;

// DrawEdge edges and flags.
constexpr unsigned BDR_RAISEDOUTER = 0x1;
constexpr unsigned BDR_SUNKENOUTER = 0x2;
constexpr unsigned BDR_RAISEDINNER = 0x4;
constexpr unsigned BDR_SUNKENINNER = 0x8;
constexpr unsigned BDR_OUTER = 0x3;
constexpr unsigned BDR_INNER = 0xC;
constexpr unsigned EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr unsigned EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr unsigned BF_LEFT = 0x1;
constexpr unsigned BF_TOP = 0x2;
constexpr unsigned BF_RIGHT = 0x4;
constexpr unsigned BF_BOTTOM = 0x8;
constexpr unsigned BF_TOPLEFT = BF_TOP | BF_LEFT;
constexpr unsigned BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
constexpr unsigned BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr unsigned BF_MIDDLE = 0x800;   // fill the inside with clBtnFace
constexpr unsigned BF_SOFT = 0x1000;
constexpr unsigned BF_ADJUST = 0x2000;  // shrink the rectangle by the edge drawn
constexpr unsigned BF_FLAT = 0x4000;
constexpr unsigned BF_MONO = 0x8000;

// DrawText formats (the subset the controls use).
constexpr unsigned DT_TOP = 0x0;
constexpr unsigned DT_LEFT = 0x0;
constexpr unsigned DT_CENTER = 0x1;
constexpr unsigned DT_RIGHT = 0x2;
constexpr unsigned DT_VCENTER = 0x4;
constexpr unsigned DT_BOTTOM = 0x8;
constexpr unsigned DT_WORDBREAK = 0x10;
constexpr unsigned DT_SINGLELINE = 0x20;
constexpr unsigned DT_EXPANDTABS = 0x40;
constexpr unsigned DT_NOCLIP = 0x100;
constexpr unsigned DT_CALCRECT = 0x400;
constexpr unsigned DT_NOPREFIX = 0x800;
constexpr unsigned DT_END_ELLIPSIS = 0x8000;

class TCanvas : public TPersistent {
  TW_CLASS(TCanvas, TPersistent)
 public:
  TCanvas();
  ~TCanvas() override;

  // The device context drawn on; 0 when none.  The canvas does not own the handle (a canvas
  // that made its own context, e.g. a bitmap's, frees it itself).
  HDC Handle() const { return handle_; }
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return handle_ != 0; }
  // cairo context of the handle, raising EInvalidOperation "Canvas does not allow drawing"
  // when there is none or it is stale.
  cairo_t* Cairo() const;

  TPen* Pen() const { return pen_.get(); }
  TBrush* Brush() const { return brush_.get(); }
  TFont* Font() const { return font_.get(); }
  void SetFont(const TFont* font) { font_->Assign(font); }
  void SetPen(const TPen* pen) { pen_->Assign(pen); }
  void SetBrush(const TBrush* brush) { brush_->Assign(brush); }
  TCopyMode CopyMode() const { return copyMode_; }
  void SetCopyMode(TCopyMode mode) { copyMode_ = mode; }

  TPoint PenPos() const;
  void SetPenPos(TPoint p) { MoveTo(p.X, p.Y); }
  void MoveTo(int x, int y);
  void LineTo(int x, int y);  // the end point itself is not drawn
  void Polyline(const TPoint* points, int count);
  void Polyline(const std::vector<TPoint>& points) { Polyline(points.data(), static_cast<int>(points.size())); }
  void Polygon(const TPoint* points, int count);
  void Polygon(const std::vector<TPoint>& points) { Polygon(points.data(), static_cast<int>(points.size())); }
  void Rectangle(int left, int top, int right, int bottom);
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight);
  void Ellipse(int left, int top, int right, int bottom);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  void FillRect(const TRect& r);   // with the brush, no outline
  void FrameRect(const TRect& r);  // one-pixel frame in the brush colour
  void DrawFocusRect(const TRect& r);  // dotted inverting frame; drawing it twice removes it
  void FloodFill(int x, int y, TColor color, TFillStyle style);

  // Pixels read back from image surfaces; other devices read as clNone.
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor color);

  // Text.  TextOut draws at the current text alignment (TA_TOP by default: y is the top of
  // the character cell) with the brush behind it unless the brush is clear; with TA_UPDATECP
  // it draws at the pen position and moves it to the end of the text.
  void TextOut(int x, int y, std::string_view text);
  // Clipped to `r` and filled with the brush first (unless clear).
  void TextRect(const TRect& r, int x, int y, std::string_view text);
  // The window system's ExtTextOut: `dx`, when given, holds the advance of every byte and
  // the glyphs are placed at exactly those advances; ETO_OPAQUE fills `rect` (or the text's
  // cell) with the brush colour, ETO_CLIPPED clips to `rect`.
  void ExtTextOut(int x, int y, unsigned options, const TRect* rect, std::string_view text, const int* dx);
  // Lines of text laid out in a rectangle (DT_* formats); returns the height of the text.
  // With DT_CALCRECT nothing is drawn and `r` is set to the text's size.
  int DrawText(std::string_view text, TRect& r, unsigned format);
  int TextWidth(std::string_view text) const;
  int TextHeight(std::string_view text) const;
  TSize TextExtent(std::string_view text) const;
  // The font's metrics and the advances of the 256 codes at the canvas font's size.
  TTextMetric GetTextMetrics() const;
  const TCharWidths& GetCharWidths() const;
  unsigned TextAlign() const;
  unsigned SetTextAlign(unsigned align);

  // Graphics and other canvases.
  void Draw(int x, int y, const TGraphic* graphic);
  void StretchDraw(const TRect& r, const TGraphic* graphic);
  void CopyRect(const TRect& dest, const TCanvas* source, const TRect& sourceRect);

  // Clipping (kept in the device context, so it lasts while the handle does).
  TRect ClipRect() const;
  void IntersectClipRect(const TRect& r);
  void ExcludeClipRect(const TRect& r);
  void SetClipRects(const std::vector<TRect>& rects);
  void ResetClip();

  // 3-D edges of the classic look.
  bool DrawEdge(TRect& r, unsigned edge, unsigned flags);

  // The class library's canvas locking (a canvas is used by one thread at a time).
  void Lock();
  void Unlock();
  bool TryLock();
  int LockCount() const { return lockCount_; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  // Called before drawing when there is no handle: a canvas of a control or a bitmap makes
  // one here.  The default raises.
  virtual void CreateHandle();
  void RequireHandle();
  void Changing();
  void Changed();

 private:
  void ApplyPen(cairo_t* cr) const;
  void FillBrushPath(cairo_t* cr) const;
  void StrokePenPath(cairo_t* cr) const;
  void DrawGlyphs(cairo_t* cr, double x, double baseline, std::string_view text, const int* dx,
                  int totalWidth) const;
  int AdvanceSum(std::string_view text, const int* dx) const;

  HDC handle_ = 0;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
  std::unique_ptr<TFont> font_;
  TCopyMode copyMode_ = TCopyMode::cmSrcCopy;
  int lockCount_ = 0;
  struct LockState;
  std::unique_ptr<LockState> lock_;
};

// A canvas drawing on a given context for the time it lives (for painting in handlers that
// receive a bare HDC).
class TDCCanvas : public TCanvas {
  TW_CLASS(TDCCanvas, TCanvas)
 public:
  explicit TDCCanvas(HDC dc) { SetHandle(dc); }
};

// The class library's Frame3D: draws `width` nested frames, top-left in topColor and
// bottom-right in bottomColor, and shrinks `r` by the width.
void Frame3D(TCanvas* canvas, TRect& r, TColor topColor, TColor bottomColor, int width);

}  // namespace tw
