#include "platform/forms/comctrls/scrollbar.h"

#include <algorithm>

#include "platform/forms/comctrls/ctrlpaint.h"

namespace tw {

TW_MESSAGE_MAP(TScrollBar, OnMessage<TScrollBar, &TScrollBar::WMGetDlgCode>(WM_GETDLGCODE));

TScrollBar::TScrollBar(TComponent* owner) : TCustomControl(owner) {
  controlStyle_.Exclude(TControlStyleFlag::csClickEvents);
  controlStyle_.Exclude(TControlStyleFlag::csDoubleClicks);
  SetTabStop(true);
  SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
}

void TScrollBar::SetKind(TScrollBarKind value) {
  if (value == kind_) return;
  kind_ = value;
  SetBounds(Left(), Top(), Height(), Width());
  Invalidate();
}

void TScrollBar::SetParams(int position, int min, int max) {
  if (max < min) std::swap(min, max);
  min_ = min;
  max_ = max;
  const int pos = std::clamp(position, min_, MaxPos());
  const bool changed = pos != position_;
  position_ = pos;
  Invalidate();
  if (changed) Change();
}

void TScrollBar::SetPageSize(int value) {
  pageSize_ = std::clamp(value, 0, max_ - min_ + 1);
  SetParams(position_, min_, max_);
}

int TScrollBar::MaxPos() const { return std::max(min_, max_ - std::max(pageSize_ - 1, 0)); }

void TScrollBar::Change() { FireEvent(OnChange, this); }

void TScrollBar::DoScroll(TScrollCode code, int pos) {
  FireEvent(OnScroll, this, code, pos);
  if (code != scEndScroll) SetPosition(pos);
}

int TScrollBar::Thickness() const { return kind_ == sbHorizontal ? ClientHeight() : ClientWidth(); }
int TScrollBar::Length() const { return kind_ == sbHorizontal ? ClientWidth() : ClientHeight(); }

static TRect PartRect(TScrollBarKind kind, int start, int end, int thickness) {
  return kind == sbHorizontal ? Rect(start, 0, end, thickness) : Rect(0, start, thickness, end);
}

TRect TScrollBar::LowArrowRect() const {
  const int a = std::min(Thickness(), Length() / 2);
  return PartRect(kind_, 0, a, Thickness());
}

TRect TScrollBar::HighArrowRect() const {
  const int a = std::min(Thickness(), Length() / 2);
  return PartRect(kind_, Length() - a, Length(), Thickness());
}

TRect TScrollBar::ThumbRect() const {
  const int a = std::min(Thickness(), Length() / 2);
  const int track = Length() - 2 * a;
  const int range = max_ - min_ + 1;
  int size = pageSize_ > 0 ? track * pageSize_ / std::max(1, range) : Thickness();
  size = std::clamp(size, std::min(8, track), track);
  if (track <= 0 || !Enabled() || max_ == min_) return {};
  const int span = MaxPos() - min_;
  const int start = a + (span > 0 ? (track - size) * (position_ - min_) / span : 0);
  return PartRect(kind_, start, start + size, Thickness());
}

int TScrollBar::PositionFromThumb(int thumbStart) const {
  const int a = std::min(Thickness(), Length() / 2);
  const TRect t = ThumbRect();
  const int size = kind_ == sbHorizontal ? t.Width() : t.Height();
  const int room = Length() - 2 * a - size;
  if (room <= 0) return min_;
  const int span = MaxPos() - min_;
  return min_ + static_cast<int>((static_cast<long long>(thumbStart - a) * span + room / 2) / room);
}

void TScrollBar::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(clScrollBar);
  c->FillRect(ClientRect());
  const bool horz = kind_ == sbHorizontal;
  const TColor arrow = Enabled() ? clBtnText : clGrayText;
  TRect lo = LowArrowRect(), hi = HighArrowRect();
  DrawButtonFace(c, lo, pressedPart_ == 1);
  DrawArrow(c, lo, horz ? TArrowDir::Left : TArrowDir::Up, arrow);
  DrawButtonFace(c, hi, pressedPart_ == 2);
  DrawArrow(c, hi, horz ? TArrowDir::Right : TArrowDir::Down, arrow);
  TRect thumb = ThumbRect();
  if (!IsRectEmpty(thumb)) DrawButtonFace(c, thumb, false);
  if (Focused() && !IsRectEmpty(thumb)) {
    InflateRect(thumb, -3, -3);
    c->DrawFocusRect(thumb);
  }
}

void TScrollBar::WMGetDlgCode(TMessage& msg) { msg.Result = DLGC_WANTARROWS; }

void TScrollBar::KeyDown(Word& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  switch (key) {
    case VK_UP:
    case VK_LEFT: DoScroll(scLineUp, position_ - smallChange_); break;
    case VK_DOWN:
    case VK_RIGHT: DoScroll(scLineDown, position_ + smallChange_); break;
    case VK_PRIOR: DoScroll(scPageUp, position_ - largeChange_); break;
    case VK_NEXT: DoScroll(scPageDown, position_ + largeChange_); break;
    case VK_HOME: DoScroll(scTop, min_); break;
    case VK_END: DoScroll(scBottom, MaxPos()); break;
    default: return;
  }
  DoScroll(scEndScroll, position_);
  key = 0;
}

void TScrollBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    if (CanFocus() && TabStop() && !Focused()) SetFocus();
    const TPoint p{x, y};
    const TRect thumb = ThumbRect();
    if (PtInRect(LowArrowRect(), p)) {
      pressedPart_ = 1;
      DoScroll(scLineUp, position_ - smallChange_);
    } else if (PtInRect(HighArrowRect(), p)) {
      pressedPart_ = 2;
      DoScroll(scLineDown, position_ + smallChange_);
    } else if (PtInRect(thumb, p)) {
      dragging_ = true;
      dragOffset_ = Along(x, y) - (kind_ == sbHorizontal ? thumb.Left : thumb.Top);
      SetMouseCapture(true);
    } else if (!IsRectEmpty(thumb)) {
      const bool before = Along(x, y) < (kind_ == sbHorizontal ? thumb.Left : thumb.Top);
      DoScroll(before ? scPageUp : scPageDown, position_ + (before ? -largeChange_ : largeChange_));
    }
    Invalidate();
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TScrollBar::MouseMove(TShiftState shift, int x, int y) {
  if (dragging_) {
    const int pos = std::clamp(PositionFromThumb(Along(x, y) - dragOffset_), min_, MaxPos());
    if (pos != position_) DoScroll(scTrack, pos);
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TScrollBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (dragging_) {
    dragging_ = false;
    SetMouseCapture(false);
    DoScroll(scPosition, position_);
  }
  if (button == TMouseButton::mbLeft) {
    pressedPart_ = 0;
    DoScroll(scEndScroll, position_);
    Invalidate();
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

}  // namespace tw

namespace tw {
TW_PUBLISHED(TScrollBar, Prop("Kind", &TScrollBar::Kind, &TScrollBar::SetKind),
             Prop("Min", &TScrollBar::Min, &TScrollBar::SetMin), Prop("Max", &TScrollBar::Max, &TScrollBar::SetMax),
             Prop("Position", &TScrollBar::Position, &TScrollBar::SetPosition),
             Prop("SmallChange", &TScrollBar::SmallChange, &TScrollBar::SetSmallChange),
             Prop("LargeChange", &TScrollBar::LargeChange, &TScrollBar::SetLargeChange),
             Prop("PageSize", &TScrollBar::PageSize, &TScrollBar::SetPageSize),
             Prop("OnChange", &TScrollBar::OnChange), Prop("OnScroll", &TScrollBar::OnScroll));
TW_REGISTER_CLASS(TScrollBar);
}  // namespace tw
