#include "platform/forms/stdctrls/stdctrls.h"

namespace tw {

// --- TButtonControl

TW_MESSAGE_MAP(TButtonControl, OnMessage<TButtonControl, &TButtonControl::WMGetDlgCodeButton>(WM_GETDLGCODE),
               OnMessage<TButtonControl, &TButtonControl::CMDialogCharButton>(CM_DIALOGCHAR),
               OnMessage<TButtonControl, &TButtonControl::CMEnabledChangedButton>(CM_ENABLEDCHANGED),
               OnMessage<TButtonControl, &TButtonControl::CMTextChangedButton>(CM_TEXTCHANGED));

TButtonControl::TButtonControl(TComponent* owner) : TCustomControl(owner) {
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clBtnFace);
  controlStyle_.Include(TControlStyleFlag::csSetCaption);
}

void TButtonControl::DoEnter() {
  focused_ = true;
  Invalidate();
  TCustomControl::DoEnter();
}

void TButtonControl::DoExit() {
  focused_ = false;
  Invalidate();
  TCustomControl::DoExit();
}

void TButtonControl::WMGetDlgCodeButton(TMessage& msg) { msg.Result = DLGC_BUTTON; }

void TButtonControl::CMDialogCharButton(TMessage& msg) {
  if (!IsAccel(static_cast<char>(msg.WParam), Caption()) || !CanFocus()) return;
  AccelChosen();
  msg.Result = 1;
}

void TButtonControl::AccelChosen() {
  SetFocus();
  Click();
}

void TButtonControl::CMEnabledChangedButton(TMessage& msg) {
  InheritedMessage(TButtonControl::StaticClass(), msg);
  Invalidate();
}

void TButtonControl::CMTextChangedButton(TMessage& msg) {
  InheritedMessage(TButtonControl::StaticClass(), msg);
  Invalidate();
}

// --- TButton

TW_MESSAGE_MAP(TButton, OnMessage<TButton, &TButton::CMDialogKeyButton>(CM_DIALOGKEY));
TW_PUBLISHED(TButton, Prop("Default", &TButton::Default, &TButton::SetDefault),
             Prop("Cancel", &TButton::Cancel, &TButton::SetCancel),
             Prop("ModalResult", &TButton::ModalResult, &TButton::SetModalResult));
TW_REGISTER_CLASS(TButton);

TButton::TButton(TComponent* owner) : TButtonControl(owner) { SetBounds(Left(), Top(), 75, 25); }

void TButton::SetDefault(bool v) {
  default_ = v;
  Invalidate();
}

void TButton::Click() {
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr && modalResult_ != mrNone) form->SetModalResult(modalResult_);
  TButtonControl::Click();
}

bool TButton::IsActiveDefault() const {
  if (focused_) return true;
  if (!default_) return false;
  TCustomForm* form = GetParentForm(this);
  TWinControl* active = form != nullptr ? form->ActiveControl() : nullptr;
  return active == nullptr || !active->Is<TButton>();
}

void TButton::CMDialogKeyButton(TMessage& msg) {
  const auto key = static_cast<UINT>(msg.WParam);
  if (!CanFocus()) return;
  if ((key == VK_RETURN && IsActiveDefault()) || (key == VK_ESCAPE && cancel_)) {
    Click();
    msg.Result = 1;
  }
}

void TButton::KeyDown(Word& key, TShiftState shift) {
  TButtonControl::KeyDown(key, shift);
  if (key == VK_SPACE) {
    spaceDown_ = true;
    pressed_ = true;
    Invalidate();
  }
}

void TButton::KeyUp(Word& key, TShiftState shift) {
  TButtonControl::KeyUp(key, shift);
  if (key == VK_SPACE && spaceDown_) {
    spaceDown_ = false;
    pressed_ = false;
    Invalidate();
    Click();
  }
}

void TButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    if (CanFocus()) SetFocus();
    mouseDown_ = true;
    pressed_ = true;
    Invalidate();
  }
  TButtonControl::MouseDown(button, shift, x, y);
}

void TButton::MouseMove(TShiftState shift, int x, int y) {
  if (mouseDown_) {
    const bool inside = PtInRect(ClientRect(), TPoint{x, y});
    if (inside != pressed_) {
      pressed_ = inside;
      Invalidate();
    }
  }
  TButtonControl::MouseMove(shift, x, y);
}

void TButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) {
    mouseDown_ = false;
    pressed_ = false;
    Invalidate();
  }
  TButtonControl::MouseUp(button, shift, x, y);  // the click itself comes from the control class
}

void TButton::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetStyle(TBrushStyle::bsSolid);
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  if (IsActiveDefault() && Enabled()) {
    c->Brush()->SetColor(clWindowFrame);
    c->FrameRect(r);
    InflateRect(r, -1, -1);
  }
  TRect face = r;
  if (pressed_) {
    c->Brush()->SetColor(clBtnShadow);
    c->FrameRect(face);
    InflateRect(face, -1, -1);
  } else {
    c->DrawEdge(face, EDGE_RAISED, BF_RECT | BF_ADJUST);
  }
  PaintContent(c, face, pressed_);
  if (focused_ && Enabled()) {
    TRect f = r;
    InflateRect(f, -4, -4);
    c->Brush()->SetColor(clBtnFace);
    c->DrawFocusRect(f);
  }
}

void TButton::PaintContent(TCanvas* c, TRect r, bool down) {
  if (down) OffsetRect(r, 1, 1);
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(TBrushStyle::bsClear);
  const unsigned format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  if (Enabled())
    c->DrawText(Caption(), r, format);
  else
    DrawDisabledText(c, Caption(), r, format);
}

// --- check boxes and radio buttons

TW_PUBLISHED(TCustomCheckBox, Prop("Alignment", &TCustomCheckBox::Alignment, &TCustomCheckBox::SetAlignment));

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) {
  SetBounds(Left(), Top(), 97, 17);
  SetParentColor(true);
}

void TCustomCheckBox::SetAlignment(TAlignment v) {
  alignment_ = v;
  Invalidate();
}

void TCustomCheckBox::KeyPress(char& key) {
  TButtonControl::KeyPress(key);
  if (key == ' ') {
    Click();
    key = 0;
  }
}

void TCustomCheckBox::AccelChosen() {
  SetFocus();
  Click();
}

void TCustomCheckBox::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetStyle(TBrushStyle::bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  const int size = 13;
  const int top = (r.Height() - size) / 2;
  const bool left = alignment_ == TAlignment::taRightJustify;
  TRect box = left ? Bounds(0, top, size, size) : Bounds(r.Right - size, top, size, size);
  PaintMark(c, PaintBox(c, box));
  TRect text = left ? Rect(size + 4, 0, r.Right, r.Bottom) : Rect(0, 0, r.Right - size - 4, r.Bottom);
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(TBrushStyle::bsClear);
  const unsigned format = DT_VCENTER | DT_SINGLELINE | DT_LEFT;
  if (Enabled())
    c->DrawText(Caption(), text, format);
  else
    DrawDisabledText(c, Caption(), text, format);
  if (focused_ && Enabled()) {
    TRect calc = text;
    c->DrawText(Caption(), calc, format | DT_CALCRECT);
    TRect f = Rect(text.Left - 1, (r.Height() - calc.Height()) / 2 - 1, text.Left + calc.Width() + 1,
                   (r.Height() + calc.Height()) / 2 + 1);
    c->Brush()->SetColor(Color());
    c->DrawFocusRect(f);
  }
}

TRect TCustomCheckBox::PaintBox(TCanvas* c, TRect box) {
  c->DrawEdge(box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  c->Brush()->SetColor(Enabled() ? clWindow : clBtnFace);
  c->FillRect(box);
  return box;
}

TW_PUBLISHED(TCheckBox, Prop("Checked", &TCheckBox::Checked, &TCheckBox::SetChecked),
             Prop("State", &TCheckBox::State, &TCheckBox::SetState),
             Prop("AllowGrayed", &TCheckBox::AllowGrayed, &TCheckBox::SetAllowGrayed));
TW_REGISTER_CLASS(TCheckBox);

TCheckBox::TCheckBox(TComponent* owner) : TCustomCheckBox(owner) {}

void TCheckBox::SetState(TCheckBoxState v) {
  if (v == state_) return;
  state_ = v;
  Invalidate();
  // Setting the state by program runs OnClick, as the class library does.
  if (!settingState_ && !ComponentState().Contains(TComponentStateFlag::csLoading)) TCustomCheckBox::Click();
}

void TCheckBox::Toggle() {
  switch (state_) {
    case TCheckBoxState::cbUnchecked:
      state_ = allowGrayed_ ? TCheckBoxState::cbGrayed : TCheckBoxState::cbChecked;
      break;
    case TCheckBoxState::cbGrayed: state_ = TCheckBoxState::cbChecked; break;
    case TCheckBoxState::cbChecked: state_ = TCheckBoxState::cbUnchecked; break;
  }
  Invalidate();
}

void TCheckBox::Click() {
  Toggle();
  TCustomCheckBox::Click();
}

void TCheckBox::PaintMark(TCanvas* c, TRect box) {
  if (state_ == TCheckBoxState::cbUnchecked) return;
  if (state_ == TCheckBoxState::cbGrayed) {
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(box);
  }
  c->Pen()->SetColor(Enabled() && state_ == TCheckBoxState::cbChecked ? clWindowText : clBtnShadow);
  c->Pen()->SetWidth(1);
  for (int i = 0; i < 3; ++i) {
    c->MoveTo(box.Left + 2, box.Top + 4 + i);
    c->LineTo(box.Left + 4, box.Top + 6 + i);
    c->LineTo(box.Left + 9, box.Top + 1 + i);
  }
}

TW_PUBLISHED(TRadioButton, Prop("Checked", &TRadioButton::Checked, &TRadioButton::SetChecked));
TW_REGISTER_CLASS(TRadioButton);

TRadioButton::TRadioButton(TComponent* owner) : TCustomCheckBox(owner) { SetBounds(Left(), Top(), 113, 17); }

void TRadioButton::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  Invalidate();
  if (v && Parent() != nullptr) {
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
      auto* other = dynamic_cast<TRadioButton*>(Parent()->Controls(i));
      if (other != nullptr && other != this) other->SetChecked(false);
    }
  }
  UpdateGroupTabStop(Parent());
  if (v && !settingChecked_ && !ComponentState().Contains(TComponentStateFlag::csLoading)) TCustomCheckBox::Click();
}

void TRadioButton::SetParent(TWinControl* parent) {
  TWinControl* old = Parent();
  TCustomCheckBox::SetParent(parent);
  if (Parent() == old) return;
  UpdateGroupTabStop(old);
  UpdateGroupTabStop(Parent());
}

void TRadioButton::UpdateGroupTabStop(TWinControl* parent) {
  if (parent == nullptr) return;
  std::vector<TWinControl*> order;
  parent->GetTabOrderList(order);
  std::vector<TRadioButton*> group;
  TRadioButton* stop = nullptr;
  for (TWinControl* c : order) {
    auto* button = c->Parent() == parent ? dynamic_cast<TRadioButton*>(c) : nullptr;
    if (button == nullptr) continue;
    group.push_back(button);
    if (button->checked_ && stop == nullptr) stop = button;
  }
  if (stop == nullptr && !group.empty()) stop = group.front();
  for (TRadioButton* button : group) button->SetTabStop(button == stop);
}

void TRadioButton::Toggle() {
  settingChecked_ = true;
  SetChecked(true);
  settingChecked_ = false;
}

void TRadioButton::Click() {
  Toggle();
  TCustomCheckBox::Click();
}

void TRadioButton::DoEnter() {
  TCustomCheckBox::DoEnter();
  // Arriving by the arrow keys chooses the button, as in a group of radio buttons.
  const bool arrow = GetKeyState(static_cast<int>(VK_UP)) < 0 || GetKeyState(static_cast<int>(VK_DOWN)) < 0 ||
                     GetKeyState(static_cast<int>(VK_LEFT)) < 0 || GetKeyState(static_cast<int>(VK_RIGHT)) < 0;
  if (arrow && !checked_) Click();
}

TRect TRadioButton::PaintBox(TCanvas* c, TRect box) {
  // A round well: the shadow ring outside, the dark ring inside it, the window colour within.
  c->Brush()->SetStyle(TBrushStyle::bsSolid);
  c->Pen()->SetWidth(1);
  c->Pen()->SetColor(clBtnShadow);
  c->Brush()->SetColor(clBtnHighlight);
  c->Ellipse(box);
  c->Pen()->SetColor(cl3DDkShadow);
  c->Brush()->SetColor(Enabled() ? clWindow : clBtnFace);
  c->Ellipse(box.Left + 1, box.Top + 1, box.Right - 1, box.Bottom - 1);
  return Rect(box.Left + 2, box.Top + 2, box.Right - 2, box.Bottom - 2);
}

void TRadioButton::PaintMark(TCanvas* c, TRect box) {
  if (!checked_) return;
  c->Brush()->SetColor(Enabled() ? clWindowText : clBtnShadow);
  c->Pen()->SetColor(Enabled() ? clWindowText : clBtnShadow);
  c->Ellipse(box.Left + 2, box.Top + 2, box.Right - 2, box.Bottom - 2);
}

// --- TGroupBox

TW_REGISTER_CLASS(TGroupBox);

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
  SetBounds(Left(), Top(), 185, 105);
  controlStyle_.Include(TControlStyleFlag::csAcceptsControls);
  controlStyle_.Include(TControlStyleFlag::csSetCaption);
}

void TGroupBox::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetStyle(TBrushStyle::bsSolid);
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  c->Font()->Assign(Font());
  const int th = c->TextHeight("0");
  TRect frame = Rect(0, th / 2, r.Right, r.Bottom);
  c->DrawEdge(frame, EDGE_ETCHED, BF_RECT);
  if (!Caption().empty()) {
    TRect text = Rect(8, 0, 0, th);
    c->DrawText(Caption(), text, DT_SINGLELINE | DT_CALCRECT);
    text.Right += 2;
    text.Left -= 1;
    c->Brush()->SetColor(Color());
    c->FillRect(text);
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    TRect t2 = Rect(text.Left + 1, 0, text.Right, th);
    if (Enabled())
      c->DrawText(Caption(), t2, DT_SINGLELINE);
    else
      DrawDisabledText(c, Caption(), t2, DT_SINGLELINE);
  }
}

}  // namespace tw
