#include "toolbars/floatparent.h"

#include <algorithm>
#include <cstdlib>

#include "toolbars/toolbar.h"

namespace tw::toolbars {

TW_MESSAGE_MAP(TFloatParent, OnMessage<TFloatParent, &TFloatParent::WMLButtonDownFloat>(WM_LBUTTONDOWN),
               OnMessage<TFloatParent, &TFloatParent::WMLButtonDblClkFloat>(WM_LBUTTONDBLCLK),
               OnMessage<TFloatParent, &TFloatParent::WMMouseMoveFloat>(WM_MOUSEMOVE),
               OnMessage<TFloatParent, &TFloatParent::WMLButtonUpFloat>(WM_LBUTTONUP),
               OnMessage<TFloatParent, &TFloatParent::WMCancelModeFloat>(WM_CANCELMODE),
               OnMessage<TFloatParent, &TFloatParent::WMCaptureChangedFloat>(WM_CAPTURECHANGED),
               OnMessage<TFloatParent, &TFloatParent::WMMouseActivateFloat>(WM_MOUSEACTIVATE),
               OnMessage<TFloatParent, &TFloatParent::WMActivateFloat>(WM_ACTIVATE),
               OnMessage<TFloatParent, &TFloatParent::WMSetCursorFloat>(WM_SETCURSOR));

int SmallCaptionHeight() {
  const int metric = GetSystemMetrics(SM_CYSMCAPTION);
  if (metric > 0) return metric;
  return 16 * Screen()->PixelsPerInch() / 96;
}

int FrameWidth() { return std::max(1, GetSystemMetrics(SM_CXBORDER) + GetSystemMetrics(SM_CXFRAME) - 1); }
int FrameHeight() { return std::max(1, GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYFRAME) - 1); }

TRect AddFloatFrame(const TRect& r) {
  if (IsRectEmpty(r)) return r;
  return Rect(r.Left - FrameWidth(), r.Top, r.Right + FrameWidth(), r.Bottom + SmallCaptionHeight() + 2 * FrameHeight());
}

TRect RemoveFloatFrame(const TRect& r) {
  if (IsRectEmpty(r)) return r;
  return Rect(r.Left + FrameWidth(), r.Top, r.Right - FrameWidth(), r.Bottom - (SmallCaptionHeight() + 2 * FrameHeight()));
}

std::string FitCaption(const TCanvas& canvas, const std::string& caption, int room) {
  if (canvas.TextWidth(caption) <= room) return caption;
  std::string base = caption;
  while (base.size() > 2 && canvas.TextWidth(base + "...") > room) base.pop_back();
  return base + "...";
}

TFloatParent::TFloatParent(TComponent* owner, TToolbarX* bar) : TCustomForm(owner), bar_(bar) {
  SetBorderStyle(TFormBorderStyle::bsNone);
  SetColor(clBtnFace);
}

TFloatParent::~TFloatParent() {
  if (GetCapture() != 0 && HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
}

void TFloatParent::CreateParams(TCreateParams& params) {
  TCustomForm::CreateParams(params);
  params.Style = WS_POPUP | WS_CLIPCHILDREN;
  // A click on the bar's window leaves the activation and the keys with the form.
  params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  if (auto* form = dynamic_cast<TCustomForm*>(bar_->Owner())) params.WndParent = form->Handle();
}

void TFloatParent::UpdateShowing() {
  if (!Visible() || Parent() != nullptr) {
    TCustomForm::UpdateShowing();
    return;
  }
  HandleNeeded();
  if (IsWindowVisible(Handle())) return;
  ShowWindow(Handle(), SW_SHOWNOACTIVATE);
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // The control that has the keys once the user turns to the window (Alt+Tab).
  if (ActiveControl() == nullptr)
    if (TWinControl* first = FindNextControl(nullptr, true, true, false); first != nullptr && first->CanFocus())
      SetActiveControl(first);
}

TRect TFloatParent::CloseButtonRect() const {
  const int cap = SmallCaptionHeight();
  const int size = cap - 4;
  const int right = Width() - FrameWidth() - 2;
  return Rect(right - size, FrameHeight() + 2, right, FrameHeight() + 2 + size);
}

TFloatHit TFloatParent::HitTest(TPoint p) const {
  if (p.X < 0 || p.Y < 0 || p.X >= Width() || p.Y >= Height()) return TFloatHit::None;
  if (p.X < FrameWidth()) return TFloatHit::Left;
  if (p.X >= Width() - FrameWidth()) return TFloatHit::Right;
  if (p.Y < FrameHeight()) return TFloatHit::Top;
  if (p.Y >= Height() - FrameHeight()) return TFloatHit::Bottom;
  if (p.Y < FrameHeight() + SmallCaptionHeight()) {
    if (bar_->CloseButton() && PtInRect(CloseButtonRect(), p)) return TFloatHit::Close;
    return TFloatHit::Caption;
  }
  return TFloatHit::Client;
}

void TFloatParent::SetCaptionActive(bool value) {
  if (captionActive_ == value) return;
  captionActive_ = value;
  Invalidate();
}

void TFloatParent::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(r);
  c->DrawEdge(r, EDGE_RAISED, BF_RECT);
  DrawFloatingCaption();
}

void TFloatParent::DrawFloatingCaption() {
  TCanvas* c = Canvas();
  const int cap = SmallCaptionHeight();
  const TRect captionRect = Rect(FrameWidth(), FrameHeight(), Width() - FrameWidth(), FrameHeight() + cap);
  c->Brush()->SetColor(captionActive_ ? clActiveCaption : clInactiveCaption);
  c->FillRect(captionRect);
  c->Font()->SetName("MS Sans Serif");
  c->Font()->SetHeight(-11);
  c->Font()->SetColor(captionActive_ ? clCaptionText : clInactiveCaptionText);
  int room = captionRect.Width() - 4;
  if (bar_->CloseButton()) room -= CloseButtonRect().Width() + 2;
  drawnCaption_ = FitCaption(*c, bar_->Caption(), std::max(0, room));
  TRect textRect = Rect(captionRect.Left + 2, captionRect.Top, captionRect.Left + 2 + std::max(0, room), captionRect.Bottom);
  c->Brush()->SetStyle(TBrushStyle::bsClear);
  c->DrawText(drawnCaption_, textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
  c->Brush()->SetStyle(TBrushStyle::bsSolid);
  if (bar_->CloseButton()) {
    TRect b = CloseButtonRect();
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(b);
    TRect edge = b;
    c->DrawEdge(edge, closeShownDown_ ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    const int shift = closeShownDown_ ? 1 : 0;
    c->Pen()->SetColor(clBtnText);
    for (int d = 0; d < 2; ++d) {
      c->MoveTo(b.Left + 3 + shift + d, b.Top + 3 + shift);
      c->LineTo(b.Right - 3 + shift + d - 1, b.Bottom - 3 + shift);
      c->MoveTo(b.Right - 4 + shift - d, b.Top + 3 + shift);
      c->LineTo(b.Left + 2 + shift - d, b.Bottom - 3 + shift);
    }
  }
}

void TFloatParent::WMLButtonDownFloat(TMessage& msg) {
  const TPoint p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
  switch (const TFloatHit hit = HitTest(p)) {
    case TFloatHit::Caption: bar_->BeginMove(ClientToScreen(p)); break;
    case TFloatHit::Close:
      closePressed_ = closeShownDown_ = true;
      SetCapture(Handle());
      Invalidate();
      break;
    case TFloatHit::Left:
    case TFloatHit::Right:
    case TFloatHit::Top:
    case TFloatHit::Bottom:
      sizes_ = bar_->FloatingSizes();
      sizing_ = true;
      sizeEdge_ = hit;
      startRightX_ = bar_->FloatRightX();
      startBounds_ = BoundsRect();
      chosenWidth_ = bar_->Width();
      SetCapture(Handle());
      break;
    default: InheritedMessage(TFloatParent::StaticClass(), msg); break;
  }
}

void TFloatParent::WMLButtonDblClkFloat(TMessage& msg) {
  const TPoint p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
  if (HitTest(p) == TFloatHit::Caption && bar_->DefaultDock() != nullptr) {
    bar_->SetDockRow(0);
    bar_->SetDockPos(-8);
    bar_->SetDockedTo(bar_->DefaultDock());
    return;
  }
  InheritedMessage(TFloatParent::StaticClass(), msg);
}

void TFloatParent::WMMouseMoveFloat(TMessage& msg) {
  const TPoint p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
  if (closePressed_) {
    const bool over = PtInRect(CloseButtonRect(), p);
    if (over != closeShownDown_) {
      closeShownDown_ = over;
      Invalidate();
    }
    return;
  }
  if (sizing_ && !sizes_.empty()) {
    // Distances from the edge that stays, measured on the window as it was when sizing began.
    const TPoint screen = ClientToScreen(p);
    const TRect& b = startBounds_;
    const bool byWidth = sizeEdge_ == TFloatHit::Left || sizeEdge_ == TFloatHit::Right;
    const int chrome = byWidth ? 2 * FrameWidth() : SmallCaptionHeight() + 2 * FrameHeight();
    int wanted = 0;
    switch (sizeEdge_) {
      case TFloatHit::Right: wanted = screen.X - b.Left; break;
      case TFloatHit::Left: wanted = b.Right - screen.X; break;
      case TFloatHit::Bottom: wanted = screen.Y - b.Top; break;
      default: wanted = b.Bottom - screen.Y; break;
    }
    wanted -= chrome;
    const TSize* best = &sizes_.front();
    for (const TSize& s : sizes_)
      if (std::abs((byWidth ? s.cx : s.cy) - wanted) < std::abs((byWidth ? best->cx : best->cy) - wanted)) best = &s;
    if (best->cx != chosenWidth_) {
      chosenWidth_ = best->cx;
      ApplyWidth(chosenWidth_ == sizes_.front().cx ? 0 : chosenWidth_);
    }
    return;
  }
  InheritedMessage(TFloatParent::StaticClass(), msg);
}

void TFloatParent::ApplyWidth(int rightX) {
  bar_->SetFloatRightX(rightX);
  bar_->Relayout();
  const TRect& b = startBounds_;
  int left = b.Left, top = b.Top;
  if (sizeEdge_ == TFloatHit::Left) left = b.Right - Width();
  if (sizeEdge_ == TFloatHit::Top) top = b.Bottom - Height();
  if (left != Left() || top != Top()) SetBounds(left, top, Width(), Height());
  bar_->SetFloatRect(BoundsRect());
}

void TFloatParent::EndSizing(bool apply) {
  if (!sizing_) return;
  sizing_ = false;
  if (GetCapture() == Handle()) ReleaseCapture();
  if (!apply) {
    bar_->SetFloatRightX(startRightX_);
    bar_->Relayout();
    SetBoundsRect(startBounds_);
    bar_->SetFloatRect(BoundsRect());
    return;
  }
  bar_->MoveOnScreen(false);
}

void TFloatParent::EndClosePress() {
  if (!closePressed_) return;
  closePressed_ = closeShownDown_ = false;
  if (GetCapture() == Handle()) ReleaseCapture();
  Invalidate();
}

void TFloatParent::WMLButtonUpFloat(TMessage& msg) {
  const TPoint p{GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)};
  if (closePressed_) {
    EndClosePress();
    if (PtInRect(CloseButtonRect(), p) && bar_->CloseButton()) {
      bar_->Hide();
      FireEvent(bar_->OnClose, bar_);
    }
    return;
  }
  if (sizing_) {
    EndSizing(true);
    return;
  }
  InheritedMessage(TFloatParent::StaticClass(), msg);
}

void TFloatParent::WMCancelModeFloat(TMessage& msg) {
  EndClosePress();
  EndSizing(false);
  InheritedMessage(TFloatParent::StaticClass(), msg);
}

void TFloatParent::WMCaptureChangedFloat(TMessage& msg) {
  // Another window took the mouse: a press or a resize in progress ends without effect.
  if (static_cast<HWND>(msg.LParam) != Handle()) {
    EndClosePress();
    EndSizing(false);
  }
  InheritedMessage(TFloatParent::StaticClass(), msg);
}

void TFloatParent::WMMouseActivateFloat(TMessage& msg) {
  // A click brings the floating bar to the top without taking the activation from the form.
  if (HandleAllocated()) SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  msg.Result = MA_NOACTIVATE;
}

void TFloatParent::WMActivateFloat(TMessage& msg) {
  InheritedMessage(TFloatParent::StaticClass(), msg);
  // While this window was active the form kept its caption active; a window outside the form
  // and its bars taking the activation now takes it from the form's caption too.
  if (LOWORD(msg.WParam) != WA_INACTIVE) return;
  auto* form = dynamic_cast<TCustomForm*>(bar_->Owner());
  if (form == nullptr || !form->HandleAllocated()) return;
  const HWND next = static_cast<HWND>(msg.LParam);
  if (next != form->Handle()) SendMessage(form->Handle(), WM_NCACTIVATE, 0, 0);
}

void TFloatParent::WMSetCursorFloat(TMessage& msg) {
  POINT pt{};
  GetCursorPos(&pt);
  const TPoint p = ScreenToClient(pt);
  HCURSOR shape = 0;
  switch (HitTest(p)) {
    case TFloatHit::Left:
    case TFloatHit::Right: shape = IDC_SIZEWE; break;
    case TFloatHit::Top:
    case TFloatHit::Bottom: shape = IDC_SIZENS; break;
    default: break;
  }
  if (shape != 0) {
    ::tw::SetCursor(LoadCursor(0, shape));
    msg.Result = 1;
    return;
  }
  InheritedMessage(TFloatParent::StaticClass(), msg);
}

}  // namespace tw::toolbars
