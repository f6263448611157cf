// A white image surface with a canvas on it, for pixel tests.
#pragma once

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gfx/graphics.h"

namespace tw::testing {

class Surface {
 public:
  Surface(int width, int height, int ppi = 96) : width_(width), height_(height) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cr_ = cairo_create(surface_);
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_paint(cr_);
    dc_ = CreateCairoDC(cr_, ppi, ppi);
    canvas_.SetHandle(dc_);
  }
  ~Surface() {
    canvas_.SetHandle(0);
    DeleteDC(dc_);
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  TCanvas& Canvas() { return canvas_; }
  HDC DC() const { return dc_; }
  cairo_t* Cairo() const { return cr_; }
  TColor At(int x, int y) { return canvas_.Pixel(x, y); }
  bool Inked(int x, int y) { return At(x, y) != clWhite; }
  // Bounding box of every pixel that is not white; empty when there is none.
  TRect InkBox() {
    TRect box{width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        if (Inked(x, y)) {
          box.Left = std::min(box.Left, x);
          box.Top = std::min(box.Top, y);
          box.Right = std::max(box.Right, x + 1);
          box.Bottom = std::max(box.Bottom, y + 1);
        }
    return IsRectEmpty(box) ? TRect{} : box;
  }
  // Raw pixel words, for comparing two pictures.
  std::vector<std::uint32_t> Pixels() {
    cairo_surface_flush(surface_);
    std::vector<std::uint32_t> out;
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        std::uint32_t v;
        std::memcpy(&v, data + y * stride + 4 * x, 4);
        out.push_back(v);
      }
    return out;
  }

 private:
  int width_, height_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  HDC dc_ = 0;
  TCanvas canvas_;
};

}  // namespace tw::testing
