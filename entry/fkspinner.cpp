#include "entry/fkspinner.h"

#include <algorithm>

#include "entry/fkattachedbutton.h"
#include "entry/fkbasefield.h"
#include "entry/strres/fkstrres.h"
#include "platform/rtl/sysutils.h"
#include "entry/fkstrings.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/forms.h"
#include "platform/rtl/tickclock.h"

namespace tw::entry {

namespace {
constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kRepeatPeriod = 10;
}  // namespace

TW_PUBLISHED(TFkSpinner, Prop("Acceleration", &TFkSpinner::Acceleration, &TFkSpinner::SetAcceleration),
             Prop("AttachedControl", &TFkSpinner::AttachedControl, &TFkSpinner::SetAttachedControl),
             Prop("AttachTwoWay", &TFkSpinner::AttachTwoWay), Prop("AutoRepeat", &TFkSpinner::AutoRepeat),
             Prop("Delta", &TFkSpinner::Delta),
             Prop("FocusedControl", &TFkSpinner::FocusedControl, &TFkSpinner::SetFocusedControl),
             Prop("ForceOddSize", &TFkSpinner::ForceOddSize, &TFkSpinner::SetForceOddSize),
             Prop("Position", &TFkSpinner::Position, &TFkSpinner::SetPosition),
             Prop("Separation", &TFkSpinner::Separation, &TFkSpinner::SetSeparation),
             Prop("ShowArrows", &TFkSpinner::ShowArrows, &TFkSpinner::SetShowArrows),
             Prop("Style", &TFkSpinner::Style, &TFkSpinner::SetStyle),
             Prop("WrapMode", &TFkSpinner::WrapMode),
             Prop("Orientation", &TFkSpinner::Orientation, &TFkSpinner::SetOrientation),
             Prop("OnClick", &TFkSpinner::OnClick));
TW_REGISTER_CLASS(TFkSpinner);

TW_MESSAGE_MAP(TFkSpinner, tw::OnMessage<TFkSpinner, &TFkSpinner::WMGetDlgCode>(WM_GETDLGCODE),
               tw::OnMessage<TFkSpinner, &TFkSpinner::WMLButtonDown>(WM_LBUTTONDOWN),
               tw::OnMessage<TFkSpinner, &TFkSpinner::WMLButtonDown>(WM_LBUTTONDBLCLK),
               tw::OnMessage<TFkSpinner, &TFkSpinner::WMLButtonUp>(WM_LBUTTONUP),
               tw::OnMessage<TFkSpinner, &TFkSpinner::WMTimer>(WM_TIMER),
               tw::OnMessage<TFkSpinner, &TFkSpinner::WMCaptureChanged>(WM_CAPTURECHANGED));

TFkSpinner::TFkSpinner(TComponent* owner) : TFkBase(owner) {
  controlStyle_.Include(TControlStyleFlag::csOpaque);
  SetBounds(0, 0, 16, 25);
  SetTabStop(false);
}

TFkSpinner::~TFkSpinner() {
  StopRepeat();
  Unhook();
}

void TFkSpinner::Hook() {
  if (attached_ == nullptr || hooked_) return;
  // A button given the control before it had a window holds it already: the spinner leaves it.
  if (LRESULT other = attached_->Perform(FK_ATTACHQUERY, 0, 0); other != 0) return;
  saved_ = attached_->WindowProc;
  attached_->WindowProc = [this](TMessage& m) {
    if (m.Msg == FK_ATTACHQUERY) {
      m.Result = reinterpret_cast<LRESULT>(this);
      return;
    }
    if (saved_) {
      auto next = saved_;
      next(m);
    } else if (attached_ != nullptr) {
      attached_->WndProc(m);
    }
  };
  hooked_ = true;
}

void TFkSpinner::Unhook() {
  if (attached_ != nullptr && hooked_) attached_->WindowProc = saved_;
  saved_ = nullptr;
  hooked_ = false;
}

void TFkSpinner::SetAttachedControl(TWinControl* c) {
  if (c == attached_) return;
  if (c != nullptr && !ComponentState().Contains(TComponentStateFlag::csLoading) && c->HandleAllocated()) {
    if (LRESULT other = c->Perform(FK_ATTACHQUERY, 0, 0); other != 0) {
      std::string text = FkResString(34237);
      try {
        text = Format(text, {reinterpret_cast<TComponent*>(other)->Name()});
      } catch (const std::exception&) {
      }
      throw EFkException(text);
    }
  }
  Unhook();
  attached_ = c;
  Hook();
  if (c != nullptr) {
    c->FreeNotification(this);
    if (focusedControl_ == nullptr && !ComponentState().Contains(TComponentStateFlag::csLoading)) SetFocusedControl(c);
  }
  forceOddSize_ = false;
  if (HandleAllocated()) RecreateWnd();
  PlaceBesideControl();
}

void TFkSpinner::SetFocusedControl(TWinControl* c) {
  focusedControl_ = c;
  if (c != nullptr) c->FreeNotification(this);
}

void TFkSpinner::Notification(TComponent* component, TOperation operation) {
  TFkBase::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == focusedControl_) focusedControl_ = nullptr;
  if (component == attached_) {
    // The control is going: its message procedure goes with it.
    hooked_ = false;
    saved_ = nullptr;
    attached_ = nullptr;
  }
}

void TFkSpinner::SetForceOddSize(bool v) {
  if (v == forceOddSize_) return;
  forceOddSize_ = v;
  if (v) SetBounds(Left(), Top(), Width(), Height());
}

void TFkSpinner::SetPosition(TPosition p) {
  if (p == position_) return;
  position_ = p;
  PlaceBesideControl();
}

void TFkSpinner::SetSeparation(int s) {
  if (s == separation_) return;
  separation_ = s;
  PlaceBesideControl();
}

void TFkSpinner::SetOrientation(TSpinOrientation o) {
  if (o == orientation_) return;
  orientation_ = o;
  if (!ComponentState().Contains(TComponentStateFlag::csReading)) {
    SetBounds(Left(), Top(), Height(), Width());
    if (HandleAllocated()) RecreateWnd();
  }
}

void TFkSpinner::SetBounds(int left, int top, int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (forceOddSize_ && height % 2 == 0) ++height;
  const bool changed = left != Left() || top != Top() || width != Width() || height != Height();
  TFkBase::SetBounds(left, top, width, height);
  if (changed && AttachTwoWay && attached_ != nullptr) {
    const int cw = attached_->Width(), ch = attached_->Height();
    switch (position_) {
      case TPosition::scRight: attached_->SetBounds(left - cw - separation_, top, cw, height); break;
      case TPosition::scLeft: attached_->SetBounds(left + width + separation_, top, cw, height); break;
      case TPosition::scTop: attached_->SetBounds(left, top + height + separation_, width, ch); break;
      case TPosition::scBottom: attached_->SetBounds(left, top - ch - separation_, width, ch); break;
    }
  }
}

void TFkSpinner::PlaceBesideControl() {
  if (attached_ == nullptr || ComponentState().Contains(TComponentStateFlag::csLoading)) return;
  const TRect r = attached_->BoundsRect();
  const bool twoWay = AttachTwoWay;
  AttachTwoWay = false;  // placing beside the control must not move it back
  switch (position_) {
    case TPosition::scRight: SetBounds(r.Right + separation_, r.Top, Width(), r.Height()); break;
    case TPosition::scLeft: SetBounds(r.Left - Width() - separation_, r.Top, Width(), r.Height()); break;
    case TPosition::scTop: SetBounds(r.Left, r.Top - Height() - separation_, r.Width(), Height()); break;
    case TPosition::scBottom: SetBounds(r.Left, r.Bottom + separation_, r.Width(), Height()); break;
  }
  AttachTwoWay = twoWay;
}

void TFkSpinner::CreateWnd() {
  TFkBase::CreateWnd();
  if (attached_ != nullptr && attached_->HandleAllocated()) PlaceBesideControl();
}

void TFkSpinner::WMGetDlgCode(TMessage& msg) { msg.Result = DLGC_STATIC; }

void TFkSpinner::WMLButtonDown(TMessage& msg) {
  InheritedMessage(TFkSpinner::StaticClass(), msg);
  if (focusedControl_ != nullptr) {
    if (!focusedControl_->Focused()) {
      // Taking the focus first lets the field being left validate; when it keeps the focus
      // (an error), the press does nothing.
      if (CanFocus()) SetFocus();
      Application()->ProcessMessages();
      if (!Focused()) return;
      if (focusedControl_->CanFocus()) {
        focusedControl_->SetFocus();
        Application()->ProcessMessages();
      }
    }
  }
  DoMouseDown(static_cast<std::int16_t>(msg.LParam & 0xFFFF), static_cast<std::int16_t>((msg.LParam >> 16) & 0xFFFF));
}

void TFkSpinner::WMLButtonUp(TMessage& msg) {
  InheritedMessage(TFkSpinner::StaticClass(), msg);
  DoMouseUp();
}

TSpinState TFkSpinner::HitTest() const {
  POINT p{};
  GetCursorPos(&p);
  const TPoint c = ScreenToClient(p);
  const int w = ClientWidth(), h = ClientHeight();
  if (c.X < 0 || c.Y < 0 || c.X >= w || c.Y >= h) return TSpinState::ssOutside;
  if (GetAsyncKeyState(static_cast<int>(mouseKey_)) >= 0) return TSpinState::ssIdle;
  if (orientation_ == TSpinOrientation::soHorizontal) return c.X >= w / 2 ? TSpinState::ssRight : TSpinState::ssLeft;
  return c.Y < h / 2 ? TSpinState::ssUp : TSpinState::ssDown;
}

void TFkSpinner::DoMouseDown(int x, int y) {
  previousState_ = state_;
  const int w = ClientWidth(), h = ClientHeight();
  // The same halves as the hit test of the repeat, so a press on the middle line does not
  // change sides at the first repetition.
  if (orientation_ == TSpinOrientation::soHorizontal)
    state_ = (x < w / 2 || x >= w) ? TSpinState::ssLeft : TSpinState::ssRight;
  else
    state_ = (y < h / 2 || y >= h) ? TSpinState::ssUp : TSpinState::ssDown;
  pressed_ = true;
  Invalidate();
  repeatCount_ = 0;
  mouseKey_ = PrimaryMouseButton();
  nextClick_ = GetTickCount() - 1;
  DoClick(state_);
  if (AutoRepeat && HandleAllocated() && !repeating_) {
    SetMouseCapture(true);
    repeating_ = SetTimer(Handle(), kRepeatTimer, kRepeatPeriod, nullptr) != 0;
  }
}

void TFkSpinner::WMTimer(TMessage& msg) {
  if (msg.WParam != kRepeatTimer || !repeating_) return;
  // The button as it is now: its release may have reached no window (let go outside the
  // program before the press was handled), and then no message brings its state.
  if (GetAsyncKeyState(static_cast<int>(mouseKey_)) >= 0) {
    DoMouseUp();
    return;
  }
  const TSpinState at = HitTest();
  if (at != state_) {
    previousState_ = state_;
    state_ = at;
    pressed_ = at >= TSpinState::ssUp;
    Invalidate();
  }
  DoClick(state_);
}

// Another window took the mouse while a half was held (a dialog, another control): the
// release goes there, so the repeat ends now rather than clicking on until some later release.
void TFkSpinner::WMCaptureChanged(TMessage& msg) {
  InheritedMessage(TFkSpinner::StaticClass(), msg);
  if (repeating_ && static_cast<HWND>(msg.LParam) != Handle()) DoMouseUp();
}

void TFkSpinner::StopRepeat() {
  if (repeating_ && HandleAllocated()) KillTimer(Handle(), kRepeatTimer);
  repeating_ = false;
}

void TFkSpinner::DoMouseUp() {
  StopRepeat();
  SetMouseCapture(false);
  previousState_ = state_;
  state_ = TSpinState::ssIdle;
  pressed_ = false;
  Invalidate();
}

void TFkSpinner::DoClick(TSpinState state) {
  auto* field = dynamic_cast<TFkBaseEntryField*>(focusedControl_);
  if ((!OnClick && field == nullptr) || !pressed_ || state < TSpinState::ssUp) return;
  const std::uint32_t now = GetTickCount();
  if (!TickReached(now, nextClick_)) return;
  FireEvent(OnClick, this, state, Delta, WrapMode);
  // The handler may have freed the field or given the spinner another one.
  field = dynamic_cast<TFkBaseEntryField*>(focusedControl_);
  if (field != nullptr) {
    switch (state) {
      case TSpinState::ssUp: field->IncreaseValue(WrapMode, Delta); break;
      case TSpinState::ssDown: field->DecreaseValue(WrapMode, Delta); break;
      case TSpinState::ssLeft: field->MoveCaretBy(-1); break;
      case TSpinState::ssRight: field->MoveCaretBy(1); break;
      default: break;
    }
  }
  const int wait = 500 - 10 * acceleration_ * repeatCount_;
  nextClick_ = now + static_cast<std::uint32_t>(std::max(wait, 0));
  ++repeatCount_;
}

TRect TFkSpinner::DrawFace(TCanvas* cv, TRect r, bool down) const {
  cv->Brush()->SetColor(clBtnFace);
  cv->FillRect(r);
  const TRect outer = r;
  if (style_ == TButtonStyle::bsWin31) {
    // A frame in the window-frame colour around a one-pixel bevel; pressed, only the shadow
    // along the top and left remains.
    cv->Brush()->SetColor(clWindowFrame);
    cv->FrameRect(r);
    r = Rect(r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
    if (r.Right <= r.Left || r.Bottom <= r.Top) return outer;
    cv->Pen()->SetColor(down ? clBtnShadow : clBtnHighlight);
    cv->MoveTo(r.Left, r.Bottom - 1);
    cv->LineTo(r.Left, r.Top);
    cv->LineTo(r.Right, r.Top);
    if (!down) {
      cv->Pen()->SetColor(clBtnShadow);
      cv->MoveTo(r.Right - 1, r.Top + 1);
      cv->LineTo(r.Right - 1, r.Bottom - 1);
      cv->LineTo(r.Left, r.Bottom - 1);
    }
  } else {
    cv->DrawEdge(r, down ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  }
  return outer;
}

void TFkSpinner::Paint() {
  TCanvas* cv = Canvas();
  const int w = ClientWidth(), h = ClientHeight();
  const bool horizontal = orientation_ == TSpinOrientation::soHorizontal;
  // First half: upper (vertical) or left (horizontal); second: lower or right.
  const TRect halves[2] = {horizontal ? Rect(0, 0, w / 2, h) : Rect(0, 0, w, h / 2),
                           horizontal ? Rect(w / 2, 0, w, h) : Rect(0, h / 2, w, h)};
  const bool held = pressed_ && GetKeyState(static_cast<int>(mouseKey_)) < 0;
  const bool down[2] = {held && (state_ == TSpinState::ssUp || state_ == TSpinState::ssLeft),
                        held && (state_ == TSpinState::ssDown || state_ == TSpinState::ssRight)};
  for (int i = 0; i < 2; ++i) {
    const TRect r = DrawFace(cv, halves[i], down[i]);
    if (!showArrows_) continue;
    const int s = (std::min(r.Width(), r.Height()) / 2) | 1;
    const int t = (s + 1) / 2;
    const int aw = horizontal ? t : s, ah = horizontal ? s : t;
    const int shift = down[i] ? 1 : 0;
    const int x0 = r.Left + (r.Width() - aw) / 2 + shift, y0 = r.Top + (r.Height() - ah) / 2 + shift;
    cv->Pen()->SetColor(clBtnText);
    for (int k = 0; k < t; ++k) {
      // Rows (or columns) of the triangle, widening from its point.
      const int len = 2 * k + 1;
      if (!horizontal) {
        const int y = i == 0 ? y0 + k : y0 + t - 1 - k;
        cv->MoveTo(x0 + (s - len) / 2, y);
        cv->LineTo(x0 + (s - len) / 2 + len, y);
      } else {
        const int x = i == 0 ? x0 + k : x0 + t - 1 - k;
        cv->MoveTo(x, y0 + (s - len) / 2);
        cv->LineTo(x, y0 + (s - len) / 2 + len);
      }
    }
  }
}

}  // namespace tw::entry
