// Pictures: the abstract TGraphic, the bitmap (a cairo image surface with its canvas; BMP in
// and out, PNG out) and the icon (.ICO in, drawn with its mask).  Readers check every size
// and offset against the data there and raise EInvalidGraphic for truncated or corrupt input.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/classes/component.h"
#include "platform/classes/streams.h"
#include "platform/gfx/canvas.h"
#include "platform/rtl/exceptions.h"

namespace tw {

TW_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
TW_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);

// Largest picture the readers accept (pixels per side, and in all).
constexpr int MaxGraphicSide = 32768;
constexpr std::int64_t MaxGraphicPixels = std::int64_t{64} * 1024 * 1024;

class TGraphic : public TPersistent {
  TW_CLASS(TGraphic, TPersistent)
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Empty() const = 0;
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);

  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) const = 0;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;
  // The graphic's stored form inside a form description's binary "Data": by default its file
  // (the bitmap puts a 32-bit length before it).  Raises EReadError for a damaged length.
  virtual void ReadData(TStream& stream);
  virtual void WriteData(TStream& stream) const;

  // Paints the picture into `r` of the cairo context (stretched to fit).
  virtual void Draw(cairo_t* cr, const TRect& r) const = 0;

  TNotifyEvent OnChange;

 protected:
  void Changed();
  bool transparent_ = false;
};

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };
enum class TTransparentMode { tmAuto, tmFixed };

class TBitmap : public TGraphic {
  TW_CLASS(TBitmap, TGraphic)
 public:
  TBitmap();
  ~TBitmap() override;
  void Assign(const TPersistent* source) override;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  bool Empty() const override { return width_ == 0 || height_ == 0; }
  // Resizing keeps the pixels of the common part; new pixels are white.  Negative sizes raise
  // EInvalidGraphic.
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  void SetSize(int width, int height);
  TPixelFormat PixelFormat() const { return pixelFormat_; }
  void SetPixelFormat(TPixelFormat format) { pixelFormat_ = format; }

  // The bitmap's canvas (96 pixels per inch); valid while the bitmap lives.
  TCanvas* Canvas();

  // With Transparent set, Draw leaves out the pixels of TransparentColor: in tmAuto the colour
  // of the bottom-left pixel, in tmFixed the colour set.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor color);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode);

  // The image as a cairo surface (ARGB32, opaque unless alpha was loaded); nullptr when empty.
  cairo_surface_t* Surface() const { return surface_; }
  TColor PixelColor(int x, int y) const;  // clNone outside

  // BMP: reads 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed, bit fields and RLE;
  // writes 24 bits per pixel (32 with pf32bit).
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) const override;
  void ReadData(TStream& stream) override;
  void WriteData(TStream& stream) const override;
  void LoadFromBytes(std::string_view bytes);
  std::string SaveToBytes() const;
  // A device-independent bitmap: the .BMP file without its 14-byte file header (the clipboard's
  // and the rich-text format's form; the bits follow the header and palette).
  void LoadFromDib(std::string_view dib);
  std::string SaveToDib() const;
  void SaveToPNGFile(const std::string& fileName) const;
  void SaveToPNGStream(TStream& stream) const;

  void Draw(cairo_t* cr, const TRect& r) const override;
  // Releases the picture (Width and Height become 0).
  void FreeImage();

 private:
  void ReplaceSurface(cairo_surface_t* surface, int width, int height);
  // Reads a DIB whose bits start `bitsAt` bytes in (right after the palette when not given).
  void LoadDib(std::string_view dib, std::optional<std::size_t> bitsAt);
  class BitmapCanvas;
  int width_ = 0;
  int height_ = 0;
  cairo_surface_t* surface_ = nullptr;
  TPixelFormat pixelFormat_ = TPixelFormat::pf24bit;
  TTransparentMode transparentMode_ = TTransparentMode::tmAuto;
  TColor transparentColor_ = clDefault;
  std::unique_ptr<BitmapCanvas> canvas_;
};

// An icon: the images of an .ICO file; the one drawn is the largest of 32 x 32 or below (or
// the first).  Transparent by its AND mask (or alpha).
class TIcon : public TGraphic {
  TW_CLASS(TIcon, TGraphic)
 public:
  TIcon();
  ~TIcon() override;
  void Assign(const TPersistent* source) override;
  int Width() const override;
  int Height() const override;
  bool Empty() const override { return images_.empty(); }
  int ImageCount() const { return static_cast<int>(images_.size()); }
  // Chooses which image of the file is drawn (the one nearest to this size).
  void SetPreferredSize(int width, int height);
  cairo_surface_t* Surface() const;

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) const override;  // writes back the bytes read
  void LoadFromBytes(std::string_view bytes);
  // An icon made from a bitmap (for image lists and program-made icons).
  void AssignBitmap(const TBitmap* bitmap, TColor transparentColor);
  void Draw(cairo_t* cr, const TRect& r) const override;

 private:
  struct Image {
    int width = 0;
    int height = 0;
    cairo_surface_t* surface = nullptr;
  };
  void Clear();
  int Current() const;
  std::vector<Image> images_;
  std::string bytes_;
  int preferredWidth_ = 32;
  int preferredHeight_ = 32;
};

// The icon directory reader used by TIcon, exposed for the fuzz target: decodes every image of
// an .ICO file into ARGB32 surfaces (the caller owns them).  Raises EInvalidGraphic.
struct TDecodedIcon {
  int width = 0;
  int height = 0;
  cairo_surface_t* surface = nullptr;
};
std::vector<TDecodedIcon> DecodeIconFile(std::string_view bytes);

}  // namespace tw
