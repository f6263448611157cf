// TTrackBar: a slider with tick marks, moved by the keys and the mouse.
#pragma once

#include "platform/forms/controls.h"

namespace tw {

enum class TTrackBarOrientation { trHorizontal, trVertical };
TW_ENUM_NAMES(TTrackBarOrientation, "trHorizontal", "trVertical");
using enum TTrackBarOrientation;
enum class TTickStyle { tsNone, tsAuto, tsManual };
TW_ENUM_NAMES(TTickStyle, "tsNone", "tsAuto", "tsManual");
using enum TTickStyle;
enum class TTickMark { tmBottomRight, tmTopLeft, tmBoth };
TW_ENUM_NAMES(TTickMark, "tmBottomRight", "tmTopLeft", "tmBoth");
using enum TTickMark;

class TTrackBar : public TCustomControl {
  TW_CLASS(TTrackBar, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TTrackBar(TComponent* owner);

  int Min() const { return min_; }
  void SetMin(int value);
  int Max() const { return max_; }
  void SetMax(int value);
  int Position() const { return position_; }
  // Kept within Min..Max; OnChange when it moved.
  void SetPosition(int value);
  int Frequency() const { return frequency_; }
  void SetFrequency(int value);
  TTrackBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TTrackBarOrientation value);
  TTickStyle TickStyle() const { return tickStyle_; }
  void SetTickStyle(TTickStyle value);
  TTickMark TickMarks() const { return tickMarks_; }
  void SetTickMarks(TTickMark value);
  int PageSize() const { return pageSize_; }
  void SetPageSize(int value) { pageSize_ = value; }
  int LineSize() const { return lineSize_; }
  void SetLineSize(int value) { lineSize_ = value; }
  // Ticks added one by one (tsManual).
  void SetTick(int value);
  void ClearTicks();

  // Pixel of a position along the channel, and the thumb's rectangle.
  int PositionToPixel(int pos) const;
  TRect ThumbRect() const;
  TRect ChannelRect() const;

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
  void Paint() override;
  void KeyDown(Word& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void WMGetDlgCode(TMessage& msg);
  int PixelToPosition(int pixel) const;
  bool Horizontal() const { return orientation_ == trHorizontal; }

  int min_ = 0;
  int max_ = 10;
  int position_ = 0;
  int frequency_ = 1;
  TTrackBarOrientation orientation_ = trHorizontal;
  TTickStyle tickStyle_ = tsAuto;
  TTickMark tickMarks_ = tmBottomRight;
  int pageSize_ = 2;
  int lineSize_ = 1;
  std::vector<int> ticks_;
  bool dragging_ = false;
};

}  // namespace tw
