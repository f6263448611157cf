// Caret descriptions of the entry fields (shape, alignment in the character cell, size, blink
// time) and the pair of them that a field shows in insert and overwrite mode.
#pragma once

#include <cstdint>
#include <functional>

#include <memory>

#include "platform/classes/component.h"
#include "platform/classes/typinfo.h"
#include "platform/gfx/graphic.h"
#include "platform/win/winapi.h"

namespace tw::entry {

enum class TFkCaretAlign : std::uint8_t { caLeft, caTop, caRight, caBottom, caCenter };
TW_ENUM_NAMES(TFkCaretAlign, "caLeft", "caTop", "caRight", "caBottom", "caCenter");
enum class TFkCaretShape : std::uint8_t { csBlock, csHalfBlock, csVertLine, csHorzLine, csCustom, csBitmap };
TW_ENUM_NAMES(TFkCaretShape, "csBlock", "csHalfBlock", "csVertLine", "csHorzLine", "csCustom", "csBitmap");

class TFkCaret : public TPersistent {
  TW_CLASS(TFkCaret, TPersistent)
 public:
  TFkCaret();
  ~TFkCaret() override;

  TFkCaretAlign Align() const { return align_; }
  void SetAlign(TFkCaretAlign a) { align_ = a; Changed(); }
  std::uint16_t BlinkTime() const { return blinkTime_; }
  void SetBlinkTime(std::uint16_t t) { blinkTime_ = t; Changed(); }
  int CaretHeight() const { return height_; }
  void SetCaretHeight(int h) { if (h >= 1) { height_ = h; Changed(); } }
  int CaretWidth() const { return width_; }
  void SetCaretWidth(int w) { if (w >= 1) { width_ = w; Changed(); } }
  bool IsGray() const { return gray_; }
  void SetIsGray(bool g) { gray_ = g; Changed(); }
  // The picture of a csBitmap caret (a copy is kept); its hot spot is the point of the picture
  // that stands at the caret position.  The window system draws a caret of the picture's size.
  TBitmap* Bitmap() const { return bitmap_.get(); }
  void SetBitmap(const TBitmap* bitmap);
  int BitmapHotSpotX() const { return hotSpotX_; }
  void SetBitmapHotSpotX(int v) { hotSpotX_ = v; Changed(); }
  int BitmapHotSpotY() const { return hotSpotY_; }
  void SetBitmapHotSpotY(int v) { hotSpotY_ = v; Changed(); }
  TFkCaretShape Shape() const { return shape_; }
  // Sets the alignment (and for lines the thin side) that goes with the shape.
  void SetShape(TFkCaretShape s);
  void Assign(const TPersistent* source) override;

  // The caret's size and offset inside a character cell.
  void Layout(int cellWidth, int cellHeight, int& width, int& height, int& offsetX, int& offsetY) const;

  std::function<void()> OnChange;

 private:
  void Changed();
  // A csBitmap caret takes the picture's size.
  void TakeBitmapSize();
  std::unique_ptr<TBitmap> bitmap_;
  int hotSpotX_ = 0, hotSpotY_ = 0;
  TFkCaretAlign align_ = TFkCaretAlign::caLeft;
  std::uint16_t blinkTime_ = 0;
  int height_ = 10;
  int width_ = 2;
  bool gray_ = false;
  TFkCaretShape shape_ = TFkCaretShape::csVertLine;
};

// The window caret of one control, shown with the insert or the overwrite description.
class TFkCaretPair : public TPersistent {
  TW_CLASS(TFkCaretPair, TPersistent)
 public:
  TFkCaretPair();
  ~TFkCaretPair() override;

  TFkCaret* InsertCaret() const { return ins_.get(); }
  TFkCaret* OverwriteCaret() const { return ovr_.get(); }
  bool InsertMode() const { return insertMode_; }
  void SetInsertMode(bool v);
  // Creates the caret in the window (linked) or destroys it and restores the blink time.
  void Link(HWND window, int cellWidth, int cellHeight);
  void Unlink();
  bool Linked() const { return window_ != 0; }
  // Places the caret's cell; a negative coordinate moves the caret out of sight.
  void SetPosition(int x, int y);
  void SetCell(int cellWidth, int cellHeight);

 private:
  void Relink();
  std::unique_ptr<TFkCaret> ins_, ovr_;
  bool insertMode_ = true;
  HWND window_ = 0;
  int cellW_ = 1, cellH_ = 1;
  int x_ = 0, y_ = 0;
  UINT savedBlink_ = 0;
};

}  // namespace tw::entry
