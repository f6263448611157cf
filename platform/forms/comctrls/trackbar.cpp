#include "platform/forms/comctrls/trackbar.h"

#include <algorithm>

#include "platform/forms/comctrls/ctrlpaint.h"

namespace tw {

namespace {
constexpr int kThumbLength = 11;  // along the channel
constexpr int kMargin = 8;        // channel end to the first position
}  // namespace

TW_MESSAGE_MAP(TTrackBar, OnMessage<TTrackBar, &TTrackBar::WMGetDlgCode>(WM_GETDLGCODE));

TTrackBar::TTrackBar(TComponent* owner) : TCustomControl(owner) {
  controlStyle_.Exclude(TControlStyleFlag::csClickEvents);
  SetTabStop(true);
  SetParentColor(true);
  SetBounds(0, 0, 150, 45);
}

void TTrackBar::SetMin(int value) {
  min_ = value;
  if (max_ < min_) max_ = min_;
  SetPosition(position_);
  Invalidate();
}

void TTrackBar::SetMax(int value) {
  max_ = value;
  if (min_ > max_) min_ = max_;
  SetPosition(position_);
  Invalidate();
}

void TTrackBar::SetPosition(int value) {
  value = std::clamp(value, min_, max_);
  if (value == position_) return;
  position_ = value;
  Invalidate();
  Changed();
}

void TTrackBar::SetFrequency(int value) {
  frequency_ = std::max(1, value);
  Invalidate();
}

void TTrackBar::SetOrientation(TTrackBarOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  SetBounds(Left(), Top(), Height(), Width());
  Invalidate();
}

void TTrackBar::SetTickStyle(TTickStyle value) {
  tickStyle_ = value;
  Invalidate();
}

void TTrackBar::SetTickMarks(TTickMark value) {
  tickMarks_ = value;
  Invalidate();
}

void TTrackBar::SetTick(int value) {
  if (value < min_ || value > max_) return;
  if (std::find(ticks_.begin(), ticks_.end(), value) == ticks_.end()) ticks_.push_back(value);
  Invalidate();
}

void TTrackBar::ClearTicks() {
  ticks_.clear();
  Invalidate();
}

void TTrackBar::Changed() { FireEvent(OnChange, this); }

TRect TTrackBar::ChannelRect() const {
  const int len = Horizontal() ? ClientWidth() : ClientHeight();
  const int across = Horizontal() ? ClientHeight() : ClientWidth();
  int mid = across / 2;
  if (tickMarks_ == tmBottomRight) mid = std::min(mid, 12);
  else if (tickMarks_ == tmTopLeft) mid = std::max(mid, across - 12);
  return Horizontal() ? Rect(kMargin - 2, mid - 2, len - kMargin + 2, mid + 2)
                      : Rect(mid - 2, kMargin - 2, mid + 2, len - kMargin + 2);
}

int TTrackBar::PositionToPixel(int pos) const {
  const int len = (Horizontal() ? ClientWidth() : ClientHeight()) - 2 * kMargin;
  const int range = max_ - min_;
  if (range <= 0 || len <= 0) return kMargin;
  return kMargin + static_cast<int>(static_cast<long long>(pos - min_) * len / range);
}

int TTrackBar::PixelToPosition(int pixel) const {
  const int len = (Horizontal() ? ClientWidth() : ClientHeight()) - 2 * kMargin;
  const int range = max_ - min_;
  if (range <= 0 || len <= 0) return min_;
  const long long p = static_cast<long long>(pixel - kMargin) * range;
  return std::clamp(min_ + static_cast<int>((p + (p >= 0 ? len / 2 : -len / 2)) / len), min_, max_);
}

TRect TTrackBar::ThumbRect() const {
  const TRect ch = ChannelRect();
  const int p = PositionToPixel(position_);
  if (Horizontal()) {
    const int mid = (ch.Top + ch.Bottom) / 2;
    return Rect(p - kThumbLength / 2, mid - 10, p + kThumbLength / 2 + 1, mid + 10);
  }
  const int mid = (ch.Left + ch.Right) / 2;
  return Rect(mid - 10, p - kThumbLength / 2, mid + 10, p + kThumbLength / 2 + 1);
}

void TTrackBar::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  TRect ch = ChannelRect();
  c->Brush()->SetColor(clWindow);
  c->FillRect(ch);
  TRect edge = ch;
  c->DrawEdge(edge, EDGE_SUNKEN, BF_RECT);
  // Ticks: every Frequency positions from Min (tsAuto) or the ones set (tsManual); the ends
  // always.
  std::vector<int> ticks;
  if (tickStyle_ == tsAuto) {
    for (int v = min_; v <= max_; v += frequency_) ticks.push_back(v);
  } else if (tickStyle_ == tsManual) {
    ticks = ticks_;
  }
  if (tickStyle_ != tsNone) {
    ticks.push_back(min_);
    ticks.push_back(max_);
  }
  const TRect thumb = ThumbRect();
  c->Pen()->SetColor(clBtnText);
  for (int v : ticks) {
    const int p = PositionToPixel(v);
    if (Horizontal()) {
      if (tickMarks_ != tmTopLeft) { c->MoveTo(p, thumb.Bottom + 2); c->LineTo(p, thumb.Bottom + 5); }
      if (tickMarks_ != tmBottomRight) { c->MoveTo(p, thumb.Top - 5); c->LineTo(p, thumb.Top - 2); }
    } else {
      if (tickMarks_ != tmTopLeft) { c->MoveTo(thumb.Right + 2, p); c->LineTo(thumb.Right + 5, p); }
      if (tickMarks_ != tmBottomRight) { c->MoveTo(thumb.Left - 5, p); c->LineTo(thumb.Left - 2, p); }
    }
  }
  DrawButtonFace(c, thumb, dragging_);
  if (Focused()) {
    TRect f = ClientRect();
    c->DrawFocusRect(f);
  }
}

void TTrackBar::WMGetDlgCode(TMessage& msg) { msg.Result = DLGC_WANTARROWS; }

void TTrackBar::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  switch (key) {
    case VK_LEFT:
    case VK_UP: SetPosition(position_ - lineSize_); break;
    case VK_RIGHT:
    case VK_DOWN: SetPosition(position_ + lineSize_); break;
    case VK_PRIOR: SetPosition(position_ - pageSize_); break;
    case VK_NEXT: SetPosition(position_ + pageSize_); break;
    case VK_HOME: SetPosition(min_); break;
    case VK_END: SetPosition(max_); break;
    default: return;
  }
  key = 0;
}

void TTrackBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    const TRect thumb = ThumbRect();
    if (PtInRect(thumb, {x, y})) {
      dragging_ = true;
      SetMouseCapture(true);
      Invalidate();
    } else {
      const int along = Horizontal() ? x : y;
      const int at = PositionToPixel(position_);
      // A press beside the thumb moves it one page towards the press.
      SetPosition(position_ + (along < at ? -pageSize_ : pageSize_));
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TTrackBar::MouseMove(TShiftState shift, int x, int y) {
  if (dragging_) SetPosition(PixelToPosition(Horizontal() ? x : y));
  TCustomControl::MouseMove(shift, x, y);
}

void TTrackBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (dragging_) {
    dragging_ = false;
    SetMouseCapture(false);
    Invalidate();
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

}  // namespace tw

namespace tw {
TW_PUBLISHED(TTrackBar, Prop("Min", &TTrackBar::Min, &TTrackBar::SetMin), Prop("Max", &TTrackBar::Max, &TTrackBar::SetMax),
             Prop("Position", &TTrackBar::Position, &TTrackBar::SetPosition),
             Prop("Frequency", &TTrackBar::Frequency, &TTrackBar::SetFrequency),
             Prop("Orientation", &TTrackBar::Orientation, &TTrackBar::SetOrientation),
             Prop("TickStyle", &TTrackBar::TickStyle, &TTrackBar::SetTickStyle),
             Prop("TickMarks", &TTrackBar::TickMarks, &TTrackBar::SetTickMarks),
             Prop("PageSize", &TTrackBar::PageSize, &TTrackBar::SetPageSize),
             Prop("LineSize", &TTrackBar::LineSize, &TTrackBar::SetLineSize), Prop("OnChange", &TTrackBar::OnChange));
TW_REGISTER_CLASS(TTrackBar);
}  // namespace tw
