// Button glyphs: the images of a button's states, kept in image lists of the glyph's size that
// all buttons share (one list per size in the process-wide glyph cache).
#pragma once

#include <memory>
#include <vector>

#include "platform/gfx/graphics.h"

namespace tw::toolbars {

enum class TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

// Images of one size; slots are handed out from the first free one and given back by index.
class TGlyphList : public TImageList {
  TW_CLASS(TGlyphList, TImageList)

 public:
  TGlyphList(int width, int height);
  // A slot for a new image, made blank when all are in use.
  int AllocateIndex();
  // Puts an image into a slot, its `transparent` pixels left out.
  void SetImage(int index, const TBitmap* image, TColor transparent);
  void FreeIndex(int index);
  int InUse() const { return count_; }

 private:
  std::vector<bool> used_;
  int count_ = 0;
};

// The process's glyph lists, one per size; created on first use, gone with its last list.
class TGlyphCache {
 public:
  static TGlyphCache* Instance(bool create);
  TGlyphList* GetList(int width, int height);
  // A returned list that holds no images is freed.
  void ReturnList(TGlyphList* list);
  int ListCount() const { return static_cast<int>(lists_.size()); }

 private:
  std::vector<std::unique_ptr<TGlyphList>> lists_;
};

class TButtonGlyph {
 public:
  TButtonGlyph();
  ~TButtonGlyph();
  TButtonGlyph(const TButtonGlyph&) = delete;
  TButtonGlyph& operator=(const TButtonGlyph&) = delete;

  TBitmap* Glyph() const { return original_.get(); }
  // Copies the bitmap; the number of glyphs follows from its shape (width a multiple 1 to 4 of
  // the height), else 1.
  void SetGlyph(const TBitmap* bitmap);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int value);
  // The size of one glyph (0 x 0 without a bitmap).
  TSize GlyphSize() const;
  // The image index of a state in List(), made on first use; -1 without a glyph.
  int ImageIndex(TButtonState state);
  TGlyphList* List() const { return list_; }
  // Gives back every state image (the glyph changed, or the system colours did).
  void Invalidate();
  void Draw(TCanvas* canvas, int x, int y, TButtonState state);

  TNotifyEvent OnChange;

 private:
  std::unique_ptr<TBitmap> original_;
  TGlyphList* list_ = nullptr;
  int indexes_[4] = {-1, -1, -1, -1};
  int numGlyphs_ = 1;
  TColor transparent_ = clNone;
};

}  // namespace tw::toolbars
