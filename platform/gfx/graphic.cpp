#include "platform/gfx/graphic.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/classes/classesconst.h"
#include "platform/gfx/dib.h"

namespace tw {

namespace {

const char* const kInvalidBitmap = "Bitmap image is not valid";
const char* const kInvalidIcon = "Icon image is not valid";

cairo_surface_t* WhiteSurface(int w, int h) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    throw EOutOfMemory("Out of system resources");
  }
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_destroy(cr);
  return s;
}

// A copy of `s` in which pixels of `color` are fully transparent.
cairo_surface_t* KeyedCopy(cairo_surface_t* s, TColor color) {
  cairo_surface_flush(s);
  const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_surface_flush(out);
  const TColor rgb = ColorToRGB(color);
  const std::uint32_t key = 0xFF000000u | static_cast<std::uint32_t>(GetRValue(rgb)) << 16 |
                            static_cast<std::uint32_t>(GetGValue(rgb)) << 8 | static_cast<std::uint32_t>(GetBValue(rgb));
  const unsigned char* in = cairo_image_surface_get_data(s);
  unsigned char* o = cairo_image_surface_get_data(out);
  const int si = cairo_image_surface_get_stride(s), so = cairo_image_surface_get_stride(out);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t v;
      std::memcpy(&v, in + static_cast<std::ptrdiff_t>(y) * si + 4 * x, 4);
      if (v == key) v = 0;
      std::memcpy(o + static_cast<std::ptrdiff_t>(y) * so + 4 * x, &v, 4);
    }
  cairo_surface_mark_dirty(out);
  return out;
}

void PaintSurface(cairo_t* cr, cairo_surface_t* s, const TRect& r) {
  const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
  if (w <= 0 || h <= 0 || IsRectEmpty(r)) return;
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
  cairo_clip(cr);
  cairo_translate(cr, r.Left, r.Top);
  const bool same = r.Width() == w && r.Height() == h;
  if (!same) cairo_scale(cr, static_cast<double>(r.Width()) / w, static_cast<double>(r.Height()) / h);
  cairo_set_source_surface(cr, s, 0, 0);
  // Enlarging repeats pixels, as the window system stretches; shrinking averages them.
  const bool shrinking = r.Width() < w || r.Height() < h;
  cairo_pattern_set_filter(cairo_get_source(cr), shrinking ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_paint(cr);
  cairo_restore(cr);
}

struct PngWriter {
  TStream* stream;
};

cairo_status_t WritePng(void* closure, const unsigned char* data, unsigned int length) {
  try {
    static_cast<PngWriter*>(closure)->stream->WriteBuffer(data, length);
    return CAIRO_STATUS_SUCCESS;
  } catch (...) {
    return CAIRO_STATUS_WRITE_ERROR;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed();
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) const {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

void TGraphic::ReadData(TStream& stream) { LoadFromStream(stream); }
void TGraphic::WriteData(TStream& stream) const { SaveToStream(stream); }

void TGraphic::Changed() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------------------------

class TBitmap::BitmapCanvas : public TCanvas {
 public:
  explicit BitmapCanvas(TBitmap* owner) : owner_(owner) {}
  ~BitmapCanvas() override { FreeHandle(); }
  void FreeHandle() {
    if (Handle() != 0) {
      HDC dc = Handle();
      SetHandle(0);
      DeleteDC(dc);
    }
  }

 protected:
  void CreateHandle() override {
    if (owner_->surface_ == nullptr) owner_->ReplaceSurface(WhiteSurface(1, 1), 0, 0);
    cairo_t* cr = cairo_create(owner_->surface_);
    HDC dc = CreateCairoDC(cr, 96, 96);
    cairo_destroy(cr);
    SetHandle(dc);
  }

 private:
  TBitmap* owner_;
};

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  canvas_.reset();
  if (surface_) cairo_surface_destroy(surface_);
}

void TBitmap::ReplaceSurface(cairo_surface_t* surface, int width, int height) {
  if (canvas_) canvas_->FreeHandle();
  if (surface_) cairo_surface_destroy(surface_);
  surface_ = surface;
  width_ = width;
  height_ = height;
}

void TBitmap::Assign(const TPersistent* source) {
  if (source == this) return;
  if (auto* b = dynamic_cast<const TBitmap*>(source)) {
    cairo_surface_t* copy = nullptr;
    if (b->surface_ && !b->Empty()) {
      copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, b->width_, b->height_);
      cairo_t* cr = cairo_create(copy);
      cairo_set_source_surface(cr, b->surface_, 0, 0);
      cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
      cairo_paint(cr);
      cairo_destroy(cr);
    }
    ReplaceSurface(copy, copy ? b->width_ : 0, copy ? b->height_ : 0);
    pixelFormat_ = b->pixelFormat_;
    transparent_ = b->transparent_;
    transparentMode_ = b->transparentMode_;
    transparentColor_ = b->transparentColor_;
    Changed();
    return;
  }
  if (source == nullptr) {
    FreeImage();
    return;
  }
  TGraphic::Assign(source);
}

void TBitmap::SetSize(int width, int height) {
  if (width < 0 || height < 0 || width > MaxGraphicSide || height > MaxGraphicSide)
    throw EInvalidGraphic(kInvalidBitmap);
  if (width == width_ && height == height_) return;
  if (width == 0 || height == 0) {
    ReplaceSurface(nullptr, width, height);
    Changed();
    return;
  }
  cairo_surface_t* s = WhiteSurface(width, height);
  if (surface_ && !Empty()) {
    cairo_t* cr = cairo_create(s);
    cairo_set_source_surface(cr, surface_, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_rectangle(cr, 0, 0, std::min(width, width_), std::min(height, height_));
    cairo_fill(cr);
    cairo_destroy(cr);
  }
  ReplaceSurface(s, width, height);
  Changed();
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<BitmapCanvas>(this);
  return canvas_.get();
}

TColor TBitmap::TransparentColor() const {
  if (transparentMode_ == TTransparentMode::tmFixed && transparentColor_ != clDefault) return transparentColor_;
  if (Empty()) return clDefault;
  return PixelColor(0, height_ - 1);
}

void TBitmap::SetTransparentColor(TColor color) {
  transparentColor_ = color;
  transparentMode_ = color == clDefault ? TTransparentMode::tmAuto : TTransparentMode::tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
  transparentMode_ = mode;
  Changed();
}

TColor TBitmap::PixelColor(int x, int y) const {
  if (surface_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return clNone;
  cairo_surface_flush(surface_);
  const unsigned char* row = cairo_image_surface_get_data(surface_) +
                             static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface_);
  std::uint32_t v;
  std::memcpy(&v, row + 4 * x, 4);
  return RGB(static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF));
}

void TBitmap::LoadFromBytes(std::string_view d) {
  if (d.size() < 14 || d[0] != 'B' || d[1] != 'M') throw EInvalidGraphic(kInvalidBitmap);
  // The bits lie where the file header says (right after the palette when it says 0).
  const std::uint32_t offBits = gfxdetail::U32(d, 10);
  LoadDib(d.substr(14), offBits != 0 ? std::optional<std::size_t>(offBits - std::min<std::uint32_t>(offBits, 14))
                                     : std::nullopt);
}

void TBitmap::LoadFromDib(std::string_view dib) { LoadDib(dib, std::nullopt); }

void TBitmap::LoadDib(std::string_view dib, std::optional<std::size_t> bitsAt) {
  gfxdetail::DibHeader h = gfxdetail::ParseDibHeader(dib, false, kInvalidBitmap);
  const std::size_t at = bitsAt.value_or(h.bitsOffset);
  if (at < h.headerSize || at > dib.size()) throw EInvalidGraphic(kInvalidBitmap);
  cairo_surface_t* s = gfxdetail::DecodeDibBits(h, dib.substr(at), kInvalidBitmap);
  ReplaceSurface(s, h.width, h.height);
  switch (h.bitCount) {
    case 1: pixelFormat_ = TPixelFormat::pf1bit; break;
    case 4: pixelFormat_ = TPixelFormat::pf4bit; break;
    case 8: pixelFormat_ = TPixelFormat::pf8bit; break;
    case 16: pixelFormat_ = TPixelFormat::pf16bit; break;
    case 32: pixelFormat_ = TPixelFormat::pf32bit; break;
    default: pixelFormat_ = TPixelFormat::pf24bit; break;
  }
  Changed();
}

std::string TBitmap::SaveToDib() const {
  std::string file = SaveToBytes();
  return file.size() > 14 ? file.substr(14) : std::string();
}

void TBitmap::LoadFromStream(TStream& stream) {
  // A bitmap inside a larger stream ends where its file header says, when that is sane.
  std::int64_t start = stream.Position();
  char head[14];
  if (stream.Read(head, 14) != 14 || head[0] != 'B' || head[1] != 'M') throw EInvalidGraphic(kInvalidBitmap);
  const std::uint32_t size = gfxdetail::U32(std::string_view(head, 14), 2);
  stream.SetPosition(start);
  std::string bytes;
  std::int64_t rest = stream.Size() - start;
  if (size > 14 && size <= rest) {
    bytes.resize(size);
    stream.ReadBuffer(bytes.data(), size);
  } else {
    bytes = gfxdetail::ReadGraphicRest(stream);
  }
  LoadFromBytes(bytes);
}

std::string TBitmap::SaveToBytes() const {
  // An empty bitmap stores nothing (as the class library writes it).
  std::string out;
  if (surface_ == nullptr || Empty()) return out;
  gfxdetail::EncodeBmp(surface_, pixelFormat_ == TPixelFormat::pf32bit, out);
  return out;
}

void TBitmap::SaveToStream(TStream& stream) const {
  std::string bytes = SaveToBytes();
  if (!bytes.empty()) stream.WriteBuffer(bytes);
}

void TBitmap::ReadData(TStream& stream) {
  std::int32_t size = 0;
  stream.ReadBuffer(&size, 4);
  if (size < 0 || size > stream.Size() - stream.Position()) throw EReadError(classesconst::SInvalidImage);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  stream.ReadBuffer(bytes.data(), size);
  LoadFromBytes(bytes);
}

void TBitmap::WriteData(TStream& stream) const {
  const std::string bytes = SaveToBytes();
  const auto size = static_cast<std::int32_t>(bytes.size());
  stream.WriteBuffer(&size, 4);
  stream.WriteBuffer(bytes);
}

void TBitmap::SaveToPNGStream(TStream& stream) const {
  if (Empty()) throw EInvalidGraphicOperation("Cannot save an empty bitmap");
  PngWriter writer{&stream};
  if (cairo_surface_write_to_png_stream(surface_, WritePng, &writer) != CAIRO_STATUS_SUCCESS)
    throw EWriteError("Stream write error");
}

void TBitmap::SaveToPNGFile(const std::string& fileName) const {
  TFileStream stream(fileName, fmCreate);
  SaveToPNGStream(stream);
}

void TBitmap::Draw(cairo_t* cr, const TRect& r) const {
  if (Empty()) return;
  if (transparent_) {
    cairo_surface_t* keyed = KeyedCopy(surface_, TransparentColor());
    PaintSurface(cr, keyed, r);
    cairo_surface_destroy(keyed);
  } else {
    PaintSurface(cr, surface_, r);
  }
}

void TBitmap::FreeImage() {
  ReplaceSurface(nullptr, 0, 0);
  Changed();
}

// ---------------------------------------------------------------------------------------------

std::vector<TDecodedIcon> DecodeIconFile(std::string_view d) {
  auto u16 = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(d[at]) | static_cast<unsigned char>(d[at + 1]) << 8);
  };
  auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(u16(at)) | static_cast<std::uint32_t>(u16(at + 2)) << 16;
  };
  if (d.size() < 6 || u16(0) != 0 || (u16(2) != 1 && u16(2) != 2)) throw EInvalidGraphic(kInvalidIcon);
  const unsigned count = u16(4);
  if (count == 0 || d.size() < 6 + 16 * static_cast<std::size_t>(count)) throw EInvalidGraphic(kInvalidIcon);
  std::vector<TDecodedIcon> images;
  try {
    for (unsigned i = 0; i < count; ++i) {
      const std::size_t e = 6 + 16 * static_cast<std::size_t>(i);
      const std::uint32_t size = u32(e + 8), offset = u32(e + 12);
      if (offset > d.size() || size > d.size() - offset || size < 12) throw EInvalidGraphic(kInvalidIcon);
      std::string_view img = d.substr(offset, size);
      TDecodedIcon icon;
      if (img.size() >= 8 && img.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) {
        icon.surface = gfxdetail::DecodePng(img, kInvalidIcon);
        images.push_back(icon);
      } else {
        gfxdetail::DibHeader h = gfxdetail::ParseDibHeader(img, true, kInvalidIcon);
        if (h.compression != 0 && h.compression != 3) throw EInvalidGraphic(kInvalidIcon);
        if (h.bitsOffset > img.size()) throw EInvalidGraphic(kInvalidIcon);
        std::string_view bits = img.substr(h.bitsOffset);
        icon.surface = gfxdetail::DecodeDibBits(h, bits, kInvalidIcon);
        images.push_back(icon);  // owned by the list from here on, also when the mask fails
        const std::size_t colorBytes = gfxdetail::DibStride(h.width, h.bitCount) * static_cast<std::size_t>(h.height);
        const std::size_t maskStride = gfxdetail::DibStride(h.width, 1);
        // Images with their own alpha need no mask; the others take the AND mask (set bits
        // are transparent).  A 32-bit image without any alpha is opaque where the mask says.
        cairo_surface_t* s = icon.surface;
        cairo_surface_flush(s);
        unsigned char* data = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        bool hasAlpha = false;
        if (h.bitCount == 32) {
          for (int y = 0; y < h.height && !hasAlpha; ++y)
            for (int x = 0; x < h.width; ++x)
              if (static_cast<unsigned char>(bits[static_cast<std::size_t>(y) * gfxdetail::DibStride(h.width, 32) + 4 * static_cast<std::size_t>(x) + 3]) != 0) {
                hasAlpha = true;
                break;
              }
          if (hasAlpha) {  // the decoder took the alpha byte as unused: apply it now
            for (int y = 0; y < h.height; ++y)
              for (int x = 0; x < h.width; ++x) {
                std::uint32_t a = static_cast<unsigned char>(bits[static_cast<std::size_t>(y) * gfxdetail::DibStride(h.width, 32) + 4 * static_cast<std::size_t>(x) + 3]);
                unsigned char* p = data + static_cast<std::ptrdiff_t>(h.height - 1 - y) * stride + 4 * x;
                std::uint32_t v;
                std::memcpy(&v, p, 4);
                std::uint32_t r = ((v >> 16) & 0xFF) * a / 255, g = ((v >> 8) & 0xFF) * a / 255, b = (v & 0xFF) * a / 255;
                v = a << 24 | r << 16 | g << 8 | b;
                std::memcpy(p, &v, 4);
              }
          }
        }
        if (!hasAlpha) {
          if (bits.size() < colorBytes + maskStride * static_cast<std::size_t>(h.height)) {
            // Some writers leave the mask out of 32-bit images; any other image needs it.
            if (h.bitCount != 32) throw EInvalidGraphic(kInvalidIcon);
          } else {
            std::string_view mask = bits.substr(colorBytes);
            for (int y = 0; y < h.height; ++y)
              for (int x = 0; x < h.width; ++x) {
                const std::size_t ux = static_cast<std::size_t>(x);
                bool clear = (static_cast<unsigned char>(mask[static_cast<std::size_t>(y) * maskStride + ux / 8]) >> (7 - ux % 8)) & 1;
                if (clear) std::memset(data + static_cast<std::ptrdiff_t>(h.height - 1 - y) * stride + 4 * x, 0, 4);
              }
          }
        }
        cairo_surface_mark_dirty(s);
      }
      images.back().width = cairo_image_surface_get_width(images.back().surface);
      images.back().height = cairo_image_surface_get_height(images.back().surface);
    }
  } catch (...) {
    for (TDecodedIcon& icon : images) cairo_surface_destroy(icon.surface);
    throw;
  }
  return images;
}

TIcon::TIcon() = default;

TIcon::~TIcon() { Clear(); }

void TIcon::Clear() {
  for (Image& i : images_) cairo_surface_destroy(i.surface);
  images_.clear();
  bytes_.clear();
}

void TIcon::Assign(const TPersistent* source) {
  if (source == this) return;
  if (auto* icon = dynamic_cast<const TIcon*>(source)) {
    Clear();
    for (const Image& i : icon->images_) images_.push_back({i.width, i.height, cairo_surface_reference(i.surface)});
    bytes_ = icon->bytes_;
    preferredWidth_ = icon->preferredWidth_;
    preferredHeight_ = icon->preferredHeight_;
    Changed();
    return;
  }
  if (source == nullptr) {
    Clear();
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

int TIcon::Current() const {
  if (images_.empty()) return -1;
  int best = 0;
  long bestScore = -1;
  for (std::size_t i = 0; i < images_.size(); ++i) {
    const Image& im = images_[i];
    // Prefer the exact size, then the largest below it, then the smallest above it.
    long score;
    if (im.width == preferredWidth_ && im.height == preferredHeight_) score = 3000000;
    else if (im.width <= preferredWidth_ && im.height <= preferredHeight_) score = 2000000 + im.width * im.height;
    else score = 1000000 - im.width * im.height;
    if (score > bestScore) { bestScore = score; best = static_cast<int>(i); }
  }
  return best;
}

int TIcon::Width() const { int i = Current(); return i < 0 ? 0 : images_[static_cast<std::size_t>(i)].width; }
int TIcon::Height() const { int i = Current(); return i < 0 ? 0 : images_[static_cast<std::size_t>(i)].height; }

cairo_surface_t* TIcon::Surface() const {
  int i = Current();
  return i < 0 ? nullptr : images_[static_cast<std::size_t>(i)].surface;
}

void TIcon::SetPreferredSize(int width, int height) {
  preferredWidth_ = std::max(1, width);
  preferredHeight_ = std::max(1, height);
}

void TIcon::LoadFromBytes(std::string_view bytes) {
  std::vector<TDecodedIcon> decoded = DecodeIconFile(bytes);
  Clear();
  for (TDecodedIcon& d : decoded) images_.push_back({d.width, d.height, d.surface});
  bytes_.assign(bytes);
  Changed();
}

void TIcon::LoadFromStream(TStream& stream) { LoadFromBytes(gfxdetail::ReadGraphicRest(stream)); }

void TIcon::SaveToStream(TStream& stream) const {
  if (bytes_.empty()) throw EInvalidGraphicOperation("Cannot save an empty icon");
  stream.WriteBuffer(bytes_);
}

void TIcon::AssignBitmap(const TBitmap* bitmap, TColor transparentColor) {
  if (bitmap == nullptr || bitmap->Empty()) {
    Clear();
    Changed();
    return;
  }
  cairo_surface_t* s = KeyedCopy(bitmap->Surface(), transparentColor);
  Clear();
  images_.push_back({bitmap->Width(), bitmap->Height(), s});
  // Kept as a one-image icon file so that it can be saved.
  std::string dib;
  gfxdetail::EncodeBmp(s, true, dib);
  std::string body = dib.substr(14);
  // An icon's header states the doubled height (colour rows over mask rows).
  const std::uint32_t h2 = static_cast<std::uint32_t>(bitmap->Height() * 2);
  for (int i = 0; i < 4; ++i) body[8 + static_cast<std::size_t>(i)] = static_cast<char>((h2 >> (8 * i)) & 0xFF);
  body.append(gfxdetail::DibStride(bitmap->Width(), 1) * static_cast<std::size_t>(bitmap->Height()), '\0');
  std::string file("\0\0\1\0\1\0", 6);
  file += static_cast<char>(bitmap->Width() >= 256 ? 0 : bitmap->Width());
  file += static_cast<char>(bitmap->Height() >= 256 ? 0 : bitmap->Height());
  file += std::string("\0\0\1\0\x20\0", 6);
  auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) file += static_cast<char>((v >> (8 * i)) & 0xFF); };
  u32(static_cast<std::uint32_t>(body.size()));
  u32(22);
  file += body;
  bytes_ = file;
  Changed();
}

void TIcon::Draw(cairo_t* cr, const TRect& r) const {
  cairo_surface_t* s = Surface();
  if (s) PaintSurface(cr, s, r);
}

}  // namespace tw
