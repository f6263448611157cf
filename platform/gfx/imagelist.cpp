#include "platform/gfx/imagelist.h"

#include <cstring>

namespace tw {

namespace {

// Cuts column `index` of `source` (a picture of several images side by side) into a new
// surface of w x h; pixels for which `transparent` says so become transparent.
template <typename Pred>
cairo_surface_t* Cut(cairo_surface_t* source, int index, int w, int h, Pred transparent) {
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(out);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, source, -index * w, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(out);
  unsigned char* data = cairo_image_surface_get_data(out);
  const int stride = cairo_image_surface_get_stride(out);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (transparent(index * w + x, y)) std::memset(data + static_cast<std::ptrdiff_t>(y) * stride + 4 * x, 0, 4);
  cairo_surface_mark_dirty(out);
  return out;
}

}  // namespace

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

TImageList::TImageList(TComponent* owner, int width, int height) : TComponent(owner) {
  SetWidth(width);
  SetHeight(height);
}

TImageList::~TImageList() {
  for (cairo_surface_t* s : images_) cairo_surface_destroy(s);
}

void TImageList::SetWidth(int width) {
  if (width < 1) throw EInvalidOperation("Invalid image size");
  if (width == width_) return;
  Clear();
  width_ = width;
}

void TImageList::SetHeight(int height) {
  if (height < 1) throw EInvalidOperation("Invalid image size");
  if (height == height_) return;
  Clear();
  height_ = height;
}

int TImageList::Add(const TBitmap* image, const TBitmap* mask) {
  if (image == nullptr || image->Empty()) throw EInvalidOperation("Failed to add image to the image list");
  const int first = Count();
  const int n = std::max(1, image->Width() / width_);
  for (int i = 0; i < n; ++i)
    images_.push_back(Cut(image->Surface(), i, width_, height_, [&](int x, int y) {
      if (mask == nullptr || mask->Empty()) return false;
      TColor c = mask->PixelColor(x, y);
      return c != clNone && ColorToRGB(c) == clWhite;
    }));
  Changed();
  return first;
}

int TImageList::AddMasked(const TBitmap* image, TColor maskColor) {
  if (image == nullptr || image->Empty()) throw EInvalidOperation("Failed to add image to the image list");
  const int first = Count();
  const int n = std::max(1, image->Width() / width_);
  const TColor key = maskColor == clDefault ? image->PixelColor(0, image->Height() - 1) : ColorToRGB(maskColor);
  for (int i = 0; i < n; ++i)
    images_.push_back(Cut(image->Surface(), i, width_, height_, [&](int x, int y) {
      return masked_ && image->PixelColor(x, y) == key;
    }));
  Changed();
  return first;
}

int TImageList::AddIcon(const TIcon* icon) {
  if (icon == nullptr || icon->Empty()) throw EInvalidOperation("Failed to add image to the image list");
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width_, height_);
  cairo_t* cr = cairo_create(out);
  icon->Draw(cr, Rect(0, 0, width_, height_));
  cairo_destroy(cr);
  images_.push_back(out);
  Changed();
  return Count() - 1;
}

void TImageList::Replace(int index, const TBitmap* image, const TBitmap* mask) {
  if (index < 0 || index >= Count()) throw EInvalidOperation("Image index out of range");
  TImageList one(nullptr, width_, height_);
  one.Add(image, mask);
  cairo_surface_destroy(images_[static_cast<std::size_t>(index)]);
  images_[static_cast<std::size_t>(index)] = cairo_surface_reference(one.images_[0]);
  Changed();
}

void TImageList::Delete(int index) {
  if (index < 0 || index >= Count()) throw EInvalidOperation("Image index out of range");
  cairo_surface_destroy(images_[static_cast<std::size_t>(index)]);
  images_.erase(images_.begin() + index);
  Changed();
}

void TImageList::Clear() {
  for (cairo_surface_t* s : images_) cairo_surface_destroy(s);
  images_.clear();
  Changed();
}

void TImageList::GetBitmap(int index, TBitmap* image) const {
  if (image == nullptr) return;
  if (index < 0 || index >= Count()) throw EInvalidOperation("Image index out of range");
  image->SetSize(width_, height_);
  cairo_t* cr = cairo_create(image->Surface());
  cairo_set_source_surface(cr, images_[static_cast<std::size_t>(index)], 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_mark_dirty(image->Surface());
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) const {
  if (canvas == nullptr || index < 0 || index >= Count()) return;
  cairo_t* cr = canvas->Cairo();
  cairo_surface_t* s = images_[static_cast<std::size_t>(index)];
  cairo_save(cr);
  cairo_new_path(cr);
  if (enabled) {
    cairo_set_source_surface(cr, s, x, y);
    cairo_paint(cr);
  } else {
    // Disabled: the image's shape embossed, highlight offset by one pixel, shadow on top.
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_mask_surface(cr, s, x + 1, y + 1);
    TColor shadow = ColorToRGB(clBtnShadow);
    cairo_set_source_rgb(cr, GetRValue(shadow) / 255.0, GetGValue(shadow) / 255.0, GetBValue(shadow) / 255.0);
    cairo_mask_surface(cr, s, x, y);
  }
  cairo_restore(cr);
}

void TImageList::Changed() {
  if (OnChange) OnChange(this);
}

}  // namespace tw
