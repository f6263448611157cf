#include "entry/fkcaret.h"

#include <algorithm>
#include <climits>

#include "platform/classes/typinfo.h"

namespace tw::entry {

TW_PUBLISHED(TFkCaret, Prop("Align", &TFkCaret::Align, &TFkCaret::SetAlign),
             Prop("BlinkTime", &TFkCaret::BlinkTime, &TFkCaret::SetBlinkTime),
             Prop("CaretHeight", &TFkCaret::CaretHeight, &TFkCaret::SetCaretHeight),
             Prop("CaretWidth", &TFkCaret::CaretWidth, &TFkCaret::SetCaretWidth),
             Prop("IsGray", &TFkCaret::IsGray, &TFkCaret::SetIsGray),
             Prop("Shape", &TFkCaret::Shape, &TFkCaret::SetShape));

TFkCaret::TFkCaret() : bitmap_(std::make_unique<TBitmap>()) {}

TFkCaret::~TFkCaret() = default;

void TFkCaret::SetBitmap(const TBitmap* bitmap) {
  if (bitmap != nullptr) bitmap_->Assign(bitmap);
  else bitmap_ = std::make_unique<TBitmap>();
  TakeBitmapSize();
  Changed();
}

void TFkCaret::TakeBitmapSize() {
  if (shape_ != TFkCaretShape::csBitmap || bitmap_->Empty()) return;
  width_ = bitmap_->Width();
  height_ = bitmap_->Height();
}

void TFkCaret::Changed() {
  if (OnChange) {
    auto f = OnChange;
    f();
  }
}

void TFkCaret::SetShape(TFkCaretShape s) {
  shape_ = s;
  switch (s) {
    case TFkCaretShape::csBlock: align_ = TFkCaretAlign::caLeft; break;
    case TFkCaretShape::csHalfBlock: align_ = TFkCaretAlign::caBottom; break;
    case TFkCaretShape::csVertLine: align_ = TFkCaretAlign::caLeft; width_ = 2; break;
    case TFkCaretShape::csHorzLine: align_ = TFkCaretAlign::caBottom; height_ = 2; break;
    case TFkCaretShape::csBitmap: TakeBitmapSize(); break;
    default: break;
  }
  Changed();
}

void TFkCaret::Assign(const TPersistent* source) {
  if (auto* o = dynamic_cast<const TFkCaret*>(source)) {
    shape_ = o->shape_;
    align_ = o->align_;
    width_ = o->width_;
    height_ = o->height_;
    blinkTime_ = o->blinkTime_;
    gray_ = o->gray_;
    hotSpotX_ = o->hotSpotX_;
    hotSpotY_ = o->hotSpotY_;
    bitmap_->Assign(o->bitmap_.get());
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TFkCaret::Layout(int cellWidth, int cellHeight, int& width, int& height, int& offsetX, int& offsetY) const {
  cellWidth = std::max(1, cellWidth);
  cellHeight = std::max(1, cellHeight);
  width = width_;
  height = height_;
  switch (shape_) {
    case TFkCaretShape::csBlock: width = cellWidth; height = cellHeight; break;
    case TFkCaretShape::csHalfBlock: width = cellWidth; height = cellHeight / 2; break;
    case TFkCaretShape::csVertLine: height = cellHeight; break;
    case TFkCaretShape::csHorzLine: width = cellWidth; break;
    default: break;
  }
  const int cx = (cellWidth - width) / 2, cy = (cellHeight - height) / 2;
  switch (align_) {
    case TFkCaretAlign::caLeft: offsetX = 0; offsetY = cy; break;
    case TFkCaretAlign::caTop: offsetX = cx; offsetY = 0; break;
    case TFkCaretAlign::caRight: offsetX = cellWidth - width; offsetY = cy; break;
    case TFkCaretAlign::caBottom: offsetX = cx; offsetY = cellHeight - height; break;
    case TFkCaretAlign::caCenter: offsetX = cx; offsetY = cy; break;
  }
  if (shape_ == TFkCaretShape::csBitmap) {
    offsetX -= hotSpotX_;
    offsetY -= hotSpotY_;
  }
}

TFkCaretPair::TFkCaretPair() : ins_(std::make_unique<TFkCaret>()), ovr_(std::make_unique<TFkCaret>()) {
  ovr_->SetShape(TFkCaretShape::csBlock);
  ins_->OnChange = [this] { if (insertMode_) Relink(); };
  ovr_->OnChange = [this] { if (!insertMode_) Relink(); };
}

TFkCaretPair::~TFkCaretPair() { Unlink(); }

void TFkCaretPair::SetInsertMode(bool v) {
  if (v == insertMode_) return;
  insertMode_ = v;
  Relink();
}

void TFkCaretPair::Link(HWND window, int cellWidth, int cellHeight) {
  if (window_ != 0) Unlink();
  window_ = window;
  cellW_ = std::max(1, cellWidth);
  cellH_ = std::max(1, cellHeight);
  const TFkCaret* c = insertMode_ ? ins_.get() : ovr_.get();
  int w = 0, h = 0, ox = 0, oy = 0;
  c->Layout(cellW_, cellH_, w, h, ox, oy);
  // A bitmap caret takes the picture's shape; without a picture it is a plain rectangle.
  if (c->Shape() != TFkCaretShape::csBitmap || c->Bitmap()->Empty() || !CreateCaret(window, *c->Bitmap()))
    CreateCaret(window, c->IsGray() ? 1 : 0, w, h);
  savedBlink_ = GetCaretBlinkTime();
  if (c->BlinkTime() != 0) SetCaretBlinkTime(c->BlinkTime());
  SetPosition(x_, y_);
  ShowCaret(window);
}

void TFkCaretPair::Unlink() {
  if (window_ == 0) return;
  if (savedBlink_ != 0) SetCaretBlinkTime(savedBlink_);
  DestroyCaret();
  window_ = 0;
}

void TFkCaretPair::Relink() {
  if (window_ == 0) return;
  HWND w = window_;
  Unlink();
  Link(w, cellW_, cellH_);
}

void TFkCaretPair::SetCell(int cellWidth, int cellHeight) {
  if (std::max(1, cellWidth) == cellW_ && std::max(1, cellHeight) == cellH_) return;
  cellW_ = std::max(1, cellWidth);
  cellH_ = std::max(1, cellHeight);
  Relink();
}

void TFkCaretPair::SetPosition(int x, int y) {
  x_ = x;
  y_ = y;
  if (window_ == 0) return;
  int w = 0, h = 0, ox = 0, oy = 0;
  (insertMode_ ? ins_ : ovr_)->Layout(cellW_, cellH_, w, h, ox, oy);
  SetCaretPos(x < 0 ? INT_MAX : x + ox, y < 0 ? INT_MAX : y + oy);
}

}  // namespace tw::entry
