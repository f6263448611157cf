#include "toolbars/buttonglyph.h"

#include <algorithm>

namespace tw::toolbars {

namespace {
TGlyphCache*& CachePointer() {
  static TGlyphCache* cache = nullptr;
  return cache;
}

// Whether a pixel of a glyph counts as drawn ink: not the transparent colour and darker than
// the light greys and white that make up a glyph's background and highlights.
bool IsInk(TColor pixel, TColor transparentRGB) {
  const TColor rgb = ColorToRGB(pixel);
  if (transparentRGB != clNone && rgb == transparentRGB) return false;
  const int luminance = (GetRValue(rgb) * 30 + GetGValue(rgb) * 59 + GetBValue(rgb) * 11) / 100;
  return luminance < 192;
}

// The disabled look of a glyph that has no image of its own for it: the glyph's ink as one
// shape, drawn embossed (a highlight copy one pixel right and down, the shadow copy on top);
// everything else is `key`, the transparent colour of the result.
void MakeEmbossed(const TBitmap& up, TColor transparent, TColor key, TBitmap& out) {
  const int w = up.Width(), h = up.Height();
  const TColor transparentRGB = transparent == clNone ? clNone : ColorToRGB(transparent);
  std::vector<bool> ink(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ink[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
          IsInk(up.PixelColor(x, y), transparentRGB);
  auto at = [&](int x, int y) {
    return x >= 0 && y >= 0 && ink[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
  };
  out.SetSize(w, h);
  TCanvas* c = out.Canvas();
  c->Brush()->SetColor(key);
  c->FillRect(Rect(0, 0, w, h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (at(x, y)) c->SetPixel(x, y, clBtnShadow);
      else if (at(x - 1, y - 1)) c->SetPixel(x, y, clBtnHighlight);
    }
}

// The transparent colour of a made disabled image: one that neither embossing colour uses.
TColor EmbossKey() {
  const TColor candidates[] = {static_cast<TColor>(0xFF00FF), static_cast<TColor>(0x00FF00),
                               static_cast<TColor>(0x0000FF)};
  for (TColor c : candidates)
    if (ColorToRGB(clBtnShadow) != c && ColorToRGB(clBtnHighlight) != c) return c;
  return static_cast<TColor>(0x010203);
}
}  // namespace

TGlyphList::TGlyphList(int width, int height) : TImageList(nullptr, width, height) {}

int TGlyphList::AllocateIndex() {
  auto it = std::find(used_.begin(), used_.end(), false);
  int index;
  if (it == used_.end()) {
    TBitmap blank;
    blank.SetSize(Width(), Height());
    index = AddMasked(&blank, clNone);
    if (static_cast<int>(used_.size()) <= index) used_.resize(static_cast<std::size_t>(index) + 1, false);
  } else {
    index = static_cast<int>(it - used_.begin());
  }
  used_[static_cast<std::size_t>(index)] = true;
  ++count_;
  return index;
}

void TGlyphList::SetImage(int index, const TBitmap* image, TColor transparent) {
  if (index < 0 || index >= Count()) return;
  TBitmap mask;
  mask.SetSize(Width(), Height());
  TCanvas* m = mask.Canvas();
  m->Brush()->SetColor(clBlack);
  m->FillRect(Rect(0, 0, Width(), Height()));
  if (transparent != clNone) {
    const TColor key = ColorToRGB(transparent);
    for (int y = 0; y < Height(); ++y)
      for (int x = 0; x < Width(); ++x)
        if (ColorToRGB(image->PixelColor(x, y)) == key) m->SetPixel(x, y, clWhite);
  }
  Replace(index, image, &mask);
}

void TGlyphList::FreeIndex(int index) {
  if (index < 0 || index >= static_cast<int>(used_.size()) || !used_[static_cast<std::size_t>(index)]) return;
  used_[static_cast<std::size_t>(index)] = false;
  --count_;
}

TGlyphCache* TGlyphCache::Instance(bool create) {
  TGlyphCache*& cache = CachePointer();
  if (cache == nullptr && create) cache = new TGlyphCache();
  return cache;
}

TGlyphList* TGlyphCache::GetList(int width, int height) {
  for (auto& l : lists_)
    if (l->Width() == width && l->Height() == height) return l.get();
  lists_.push_back(std::make_unique<TGlyphList>(width, height));
  return lists_.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* list) {
  if (list == nullptr || list->InUse() > 0) return;
  lists_.erase(std::remove_if(lists_.begin(), lists_.end(), [list](const auto& l) { return l.get() == list; }),
               lists_.end());
  if (lists_.empty() && CachePointer() == this) {
    CachePointer() = nullptr;
    delete this;
  }
}

TButtonGlyph::TButtonGlyph() : original_(std::make_unique<TBitmap>()) {}

TButtonGlyph::~TButtonGlyph() { Invalidate(); }

void TButtonGlyph::SetGlyph(const TBitmap* bitmap) {
  Invalidate();
  if (bitmap == nullptr || bitmap->Empty()) {
    original_ = std::make_unique<TBitmap>();
    numGlyphs_ = 1;
  } else {
    original_->Assign(bitmap);
    const int w = bitmap->Width(), h = bitmap->Height();
    numGlyphs_ = (h > 0 && w % h == 0 && w / h >= 1 && w / h <= 4) ? w / h : 1;
    transparent_ = bitmap->PixelColor(0, h - 1);
  }
  if (OnChange) OnChange(nullptr);
}

void TButtonGlyph::SetNumGlyphs(int value) {
  value = std::clamp(value, 1, 4);
  if (value == numGlyphs_) return;
  Invalidate();
  numGlyphs_ = value;
  if (OnChange) OnChange(nullptr);
}

TSize TButtonGlyph::GlyphSize() const {
  if (original_->Empty()) return {0, 0};
  return {original_->Width() / numGlyphs_, original_->Height()};
}

void TButtonGlyph::Invalidate() {
  if (list_ == nullptr) return;
  for (int& index : indexes_) {
    list_->FreeIndex(index);
    index = -1;
  }
  if (TGlyphCache* cache = TGlyphCache::Instance(false)) cache->ReturnList(list_);
  list_ = nullptr;
}

int TButtonGlyph::ImageIndex(TButtonState state) {
  const TSize size = GlyphSize();
  if (size.cx <= 0 || size.cy <= 0) return -1;
  const int s = static_cast<int>(state);
  if (indexes_[s] >= 0) return indexes_[s];
  if (list_ == nullptr) list_ = TGlyphCache::Instance(true)->GetList(size.cx, size.cy);
  // The strip holds up, disabled, down and exclusive in that order; a missing one is the up
  // image (the disabled one is drawn embossed from it).
  const int source = s < numGlyphs_ ? s : 0;
  TBitmap image;
  image.SetSize(size.cx, size.cy);
  image.Canvas()->CopyRect(Rect(0, 0, size.cx, size.cy), original_->Canvas(),
                           Bounds(source * size.cx, 0, size.cx, size.cy));
  TColor transparent = transparent_;
  if (state == TButtonState::bsDisabled && numGlyphs_ < 2) {
    TBitmap embossed;
    transparent = EmbossKey();
    MakeEmbossed(image, transparent_, transparent, embossed);
    image.Assign(&embossed);
  }
  const int index = list_->AllocateIndex();
  list_->SetImage(index, &image, transparent);
  indexes_[s] = index;
  return index;
}

void TButtonGlyph::Draw(TCanvas* canvas, int x, int y, TButtonState state) {
  const int index = ImageIndex(state);
  if (index < 0) return;
  list_->Draw(canvas, x, y, index, true);
}

}  // namespace tw::toolbars
