#include "entry/fkattachedbutton.h"

#include "entry/fkexcept.h"
#include "entry/strres/fkstrres.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"

namespace tw::entry {

namespace {
constexpr int kGlyphWidth = 14;
constexpr std::uint16_t kAlreadyAttachedText = 34237;
}  // namespace

TW_PUBLISHED(TFkAttachedButton,
             Prop("AttachedControl", &TFkAttachedButton::AttachedControl, &TFkAttachedButton::SetAttachedControl),
             Prop("AttachTwoWay", &TFkAttachedButton::AttachTwoWay, &TFkAttachedButton::SetAttachTwoWay),
             Prop("Position", &TFkAttachedButton::Position, &TFkAttachedButton::SetPosition),
             Prop("Separation", &TFkAttachedButton::Separation, &TFkAttachedButton::SetSeparation),
             Prop("Version", &TFkAttachedButton::Version, &TFkAttachedButton::SetVersion));
TW_REGISTER_CLASS(TFkAttachedButton);

TW_MESSAGE_MAP(TFkAttachedButton, tw::OnMessage<TFkAttachedButton, &TFkAttachedButton::WMLButtonDown>(WM_LBUTTONDOWN),
               tw::OnMessage<TFkAttachedButton, &TFkAttachedButton::WMLButtonUp>(WM_LBUTTONUP),
               tw::OnMessage<TFkAttachedButton, &TFkAttachedButton::WMKeyDownButton>(WM_KEYDOWN),
               tw::OnMessage<TFkAttachedButton, &TFkAttachedButton::WMKeyUpButton>(WM_KEYUP),
               tw::OnMessage<TFkAttachedButton, &TFkAttachedButton::WMKillFocusButton>(WM_KILLFOCUS),
               tw::OnMessage<TFkAttachedButton, &TFkAttachedButton::WMSetFocusButton>(WM_SETFOCUS),
               tw::OnMessage<TFkAttachedButton, &TFkAttachedButton::CMWantSpecialKey>(CM_WANTSPECIALKEY));

TFkAttachedButton::TFkAttachedButton(TComponent* owner) : TCustomControl(owner) {
  controlStyle_.Include(TControlStyleFlag::csClickEvents).Include(TControlStyleFlag::csCaptureMouse);
  SetBounds(0, 0, kGlyphWidth + kGlyphWidth / 2, 21);
  SetTabStop(true);
}

TFkAttachedButton::~TFkAttachedButton() { Unhook(); }

void TFkAttachedButton::SetAttachedControl(TWinControl* c) {
  if (c == attached_) return;
  // A control that another button or spinner holds is refused before anything changes, so the
  // button keeps its present attachment.
  if (c != nullptr && !ComponentState().Contains(TComponentStateFlag::csLoading) && c->HandleAllocated()) {
    if (LRESULT other = c->Perform(FK_ATTACHQUERY, 0, 0); other != 0) {
      std::string name = reinterpret_cast<TComponent*>(other)->Name();
      std::string pattern = FkResString(kAlreadyAttachedText);
      std::string text;
      try {
        text = Format(pattern, {name});
      } catch (const std::exception&) {
        text = pattern;
      }
      throw EFkException(text);
    }
  }
  Unhook();
  if (attached_ != nullptr) attached_->RemoveFreeNotification(this);
  attached_ = c;
  if (c != nullptr) c->FreeNotification(this);
  if (HandleAllocated()) RecreateWnd();
  else if (c != nullptr && c->HandleAllocated()) {
    Hook();
    PlaceBesideControl();
  }
}

void TFkAttachedButton::SetPosition(TButtonPosition p) {
  if (p == position_) return;
  position_ = p;
  if (!ComponentState().Contains(TComponentStateFlag::csLoading)) PlaceBesideControl();
}

void TFkAttachedButton::SetSeparation(int s) {
  if (s == separation_) return;
  separation_ = s;
  if (!ComponentState().Contains(TComponentStateFlag::csLoading)) PlaceBesideControl();
}

void TFkAttachedButton::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == attached_) {
    // The control is going: its message procedure goes with it.
    hooked_ = false;
    saved_ = nullptr;
    attached_ = nullptr;
  }
}

void TFkAttachedButton::CreateWnd() {
  TCustomControl::CreateWnd();
  Hook();
  if (attached_ != nullptr && attached_->HandleAllocated()) PlaceBesideControl();
}

void TFkAttachedButton::Hook() {
  if (attached_ == nullptr || hooked_) return;
  // Another button already hooks the control (two buttons given the control before it had a
  // window, or read so from a stored form):
  // chaining a second hook would leave a dangling one behind when they are freed.
  if (LRESULT other = attached_->Perform(FK_ATTACHQUERY, 0, 0); other != 0 && other != reinterpret_cast<LRESULT>(this))
    return;
  attached_->HandleNeeded();
  saved_ = attached_->WindowProc;
  attached_->WindowProc = [this](TMessage& m) { HookProc(m); };
  hooked_ = true;
}

void TFkAttachedButton::Unhook() {
  if (attached_ != nullptr && hooked_) attached_->WindowProc = saved_;
  saved_ = nullptr;
  hooked_ = false;
}

void TFkAttachedButton::HookProc(TMessage& msg) {
  if (msg.Msg == FK_ATTACHQUERY) {
    msg.Result = reinterpret_cast<LRESULT>(this);
    return;
  }
  TWinControl* control = attached_;
  if (saved_) {
    auto next = saved_;
    next(msg);
  } else if (control != nullptr) {
    control->WndProc(msg);
  }
  if ((msg.Msg == WM_MOVE || msg.Msg == WM_SIZE) && attached_ != nullptr) PlaceBesideControl();
}

void TFkAttachedButton::PlaceBesideControl() {
  if (attached_ == nullptr || positioning_) return;
  positioning_ = true;
  const TRect r = attached_->BoundsRect();
  switch (position_) {
    case TButtonPosition::bpRight: SetBounds(r.Right + separation_, r.Top, Width(), r.Height()); break;
    case TButtonPosition::bpLeft: SetBounds(r.Left - Width() - separation_, r.Top, Width(), r.Height()); break;
    case TButtonPosition::bpTop: SetBounds(r.Left, r.Top - Height() - separation_, r.Width(), Height()); break;
    case TButtonPosition::bpBottom: SetBounds(r.Left, r.Bottom + separation_, r.Width(), Height()); break;
  }
  positioning_ = false;
}

void TFkAttachedButton::SetBounds(int left, int top, int width, int height) {
  const bool changed = left != Left() || top != Top() || width != Width() || height != Height();
  TCustomControl::SetBounds(left, top, width, height);
  if (changed) MoveControlToButton();
}

void TFkAttachedButton::MoveControlToButton() {
  if (positioning_ || attached_ == nullptr || !attachTwoWay_) return;
  positioning_ = true;
  const int cw = attached_->Width(), ch = attached_->Height();
  const TRect b = BoundsRect();
  switch (position_) {
    case TButtonPosition::bpRight: attached_->SetBounds(b.Left - cw - separation_, b.Top, cw, Height()); break;
    case TButtonPosition::bpLeft: attached_->SetBounds(b.Left + Width() + separation_, b.Top, cw, Height()); break;
    case TButtonPosition::bpTop: attached_->SetBounds(b.Left, b.Top + Height() + separation_, Width(), ch); break;
    case TButtonPosition::bpBottom: attached_->SetBounds(b.Left, b.Top - ch - separation_, Width(), ch); break;
  }
  positioning_ = false;
}

void TFkAttachedButton::WMLButtonDown(TMessage& msg) {
  if (CanFocus() && !Focused()) SetFocus();
  down_ = true;
  Invalidate();
  InheritedMessage(TFkAttachedButton::StaticClass(), msg);
}

void TFkAttachedButton::WMLButtonUp(TMessage& msg) {
  down_ = false;
  Invalidate();
  InheritedMessage(TFkAttachedButton::StaticClass(), msg);
}

// The button takes the focus, so it answers the keyboard as a push button does: Space pressed
// and released clicks it, Enter clicks it at once.
void TFkAttachedButton::CMWantSpecialKey(TMessage& msg) {
  msg.Result = static_cast<UINT>(msg.WParam) == VK_RETURN ? 1 : 0;
}

void TFkAttachedButton::WMKeyDownButton(TMessage& msg) {
  const auto key = static_cast<UINT>(msg.WParam);
  if (key == VK_SPACE) {
    if (!spaceDown_) {
      spaceDown_ = down_ = true;
      Invalidate();
    }
    return;
  }
  if (key == VK_RETURN) {
    Click();
    return;
  }
  InheritedMessage(TFkAttachedButton::StaticClass(), msg);
}

void TFkAttachedButton::WMKeyUpButton(TMessage& msg) {
  if (static_cast<UINT>(msg.WParam) == VK_SPACE && spaceDown_) {
    spaceDown_ = down_ = false;
    Invalidate();
    Click();
    return;
  }
  InheritedMessage(TFkAttachedButton::StaticClass(), msg);
}

void TFkAttachedButton::WMKillFocusButton(TMessage& msg) {
  // Space released elsewhere is no click.
  if (spaceDown_) spaceDown_ = down_ = false;
  Invalidate();  // the focus mark goes
  InheritedMessage(TFkAttachedButton::StaticClass(), msg);
}

void TFkAttachedButton::WMSetFocusButton(TMessage& msg) {
  InheritedMessage(TFkAttachedButton::StaticClass(), msg);
  Invalidate();  // the focus mark shows
}

void TFkAttachedButton::Paint() {
  TCanvas* cv = Canvas();
  const TRect r = ClientRect();
  cv->Brush()->SetColor(clBtnFace);
  cv->FillRect(r);
  cv->Pen()->SetColor(down_ ? clBtnShadow : clBtnHighlight);
  cv->MoveTo(r.Left, r.Bottom - 1);
  cv->LineTo(r.Left, r.Top);
  cv->LineTo(r.Right - 1, r.Top);
  cv->Pen()->SetColor(down_ ? clBtnHighlight : clBtnShadow);
  cv->LineTo(r.Right - 1, r.Bottom - 1);
  cv->LineTo(r.Left - 1, r.Bottom - 1);
  // The glyph: three 2-by-2 dots in a row (an ellipsis) in a 14-by-10 cell, centred.
  const int shift = down_ ? 1 : 0;
  const int gx = (r.Width() - kGlyphWidth) / 2 + shift, gy = (r.Height() - 10) / 2 + shift;
  cv->Brush()->SetColor(clBtnText);
  for (int i = 0; i < 3; ++i) cv->FillRect(Rect(gx + 2 + i * 4, gy + 6, gx + 4 + i * 4, gy + 8));
  // The keyboard focus: a dotted rectangle inside the edges, as on every button.
  if (Focused()) {
    TRect mark = r;
    InflateRect(mark, -2, -2);
    if (!IsRectEmpty(mark)) cv->DrawFocusRect(mark);
  }
}

}  // namespace tw::entry
