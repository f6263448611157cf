// TScrollBar: a stand-alone scroll bar drawn in the classic look, moved by mouse and keys.
#pragma once

#include <functional>

#include "platform/forms/controls.h"

namespace tw {

enum class TScrollBarKind { sbHorizontal, sbVertical };
TW_ENUM_NAMES(TScrollBarKind, "sbHorizontal", "sbVertical");
using enum TScrollBarKind;

enum class TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
TW_ENUM_NAMES(TScrollCode, "scLineUp", "scLineDown", "scPageUp", "scPageDown", "scPosition", "scTrack", "scTop",
              "scBottom", "scEndScroll");
using enum TScrollCode;

// Told of every scroll step before the position changes; the handler may change ScrollPos.
using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

class TScrollBar : public TCustomControl {
  TW_CLASS(TScrollBar, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TScrollBar(TComponent* owner);

  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind value);
  int Min() const { return min_; }
  void SetMin(int value) { SetParams(position_, value, max_); }
  int Max() const { return max_; }
  void SetMax(int value) { SetParams(position_, min_, value); }
  int Position() const { return position_; }
  void SetPosition(int value) { SetParams(value, min_, max_); }
  // Sets all three at once; the position is kept within the range; OnChange when it moved.
  void SetParams(int position, int min, int max);
  int SmallChange() const { return smallChange_; }
  void SetSmallChange(int value) { smallChange_ = value; }
  int LargeChange() const { return largeChange_; }
  void SetLargeChange(int value) { largeChange_ = value; }
  int PageSize() const { return pageSize_; }
  void SetPageSize(int value);

  // The parts, in client coordinates.
  TRect ThumbRect() const;
  TRect LowArrowRect() const;
  TRect HighArrowRect() const;

  TNotifyEvent OnChange;
  TScrollEvent OnScroll;

 protected:
  virtual void Change();
  // One scroll step as the user made it: OnScroll, then the new position.
  void DoScroll(TScrollCode code, int pos);
  void Paint() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void WMGetDlgCode(TMessage& msg);

  int Thickness() const;
  int Length() const;
  int Along(int x, int y) const { return kind_ == sbHorizontal ? x : y; }
  int MaxPos() const;
  int PositionFromThumb(int thumbStart) const;

  TScrollBarKind kind_ = sbHorizontal;
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
  int smallChange_ = 1;
  int largeChange_ = 1;
  int pageSize_ = 0;
  bool dragging_ = false;
  int dragOffset_ = 0;
  int pressedPart_ = 0;
};

}  // namespace tw
