// An image list: images of one size kept side by side in one bitmap, each with an optional
// mask, drawn by index.
#pragma once

#include <memory>
#include <vector>

#include "platform/classes/component.h"
#include "platform/gfx/canvas.h"
#include "platform/gfx/graphic.h"

namespace tw {

enum class TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum class TImageType { itImage, itMask };

class TImageList : public TComponent {
  TW_CLASS(TImageList, TComponent)
 public:
  explicit TImageList(TComponent* owner);
  TImageList(TComponent* owner, int width, int height);
  ~TImageList() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Changing the size clears the list.  Sizes below 1 raise EInvalidOperation.
  void SetWidth(int width);
  void SetHeight(int height);
  int Count() const { return static_cast<int>(images_.size()); }
  bool Masked() const { return masked_; }
  void SetMasked(bool masked) { masked_ = masked; }
  TDrawingStyle DrawingStyle() const { return drawingStyle_; }
  void SetDrawingStyle(TDrawingStyle style) { drawingStyle_ = style; }
  TColor BkColor() const { return bkColor_; }
  void SetBkColor(TColor color) { bkColor_ = color; }

  // Adds the image (cut into several when it is a multiple of Width wide); `mask`, when given,
  // is a monochrome picture whose white pixels are transparent.  Returns the index of the
  // first image added.
  int Add(const TBitmap* image, const TBitmap* mask);
  // Pixels of `maskColor` become transparent.
  int AddMasked(const TBitmap* image, TColor maskColor);
  int AddIcon(const TIcon* icon);
  void Replace(int index, const TBitmap* image, const TBitmap* mask);
  void Delete(int index);
  void Clear();
  // Copies image `index` into a bitmap of Width x Height.
  void GetBitmap(int index, TBitmap* image) const;
  // Draws image `index` with its top-left at (x, y); disabled images are drawn embossed grey.
  // An index out of range draws nothing.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true) const;

  TNotifyEvent OnChange;

 private:
  void Changed();
  int width_ = 16;
  int height_ = 16;
  bool masked_ = true;
  TDrawingStyle drawingStyle_ = TDrawingStyle::dsNormal;
  TColor bkColor_ = clNone;
  std::vector<cairo_surface_t*> images_;  // ARGB32, transparent where masked
};

}  // namespace tw
