#include "toolbars/separator.h"

#include "toolbars/toolbar.h"
#include "toolbars/toolbarconst.h"

namespace tw::toolbars {

TW_REGISTER_CLASS(TToolbarSepX);
TW_MESSAGE_MAP(TToolbarSepX, OnMessage<TToolbarSepX, &TToolbarSepX::WMMousePassOn>(WM_LBUTTONDOWN),
               OnMessage<TToolbarSepX, &TToolbarSepX::WMMousePassOn>(WM_LBUTTONDBLCLK),
               OnMessage<TToolbarSepX, &TToolbarSepX::WMMousePassOn>(WM_RBUTTONDOWN));

TToolbarSepX::TToolbarSepX(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 6, 22); }

void TToolbarSepX::SetParent(TWinControl* parent) {
  if (parent != nullptr && !parent->Is<TToolbarX>()) throw EInvalidOperation(SSepParent);
  TGraphicControl::SetParent(parent);
}

void TToolbarSepX::SetAtLineEnd(bool value) {
  if (atLineEnd_ == value) return;
  atLineEnd_ = value;
  Invalidate();
}

void TToolbarSepX::WMMousePassOn(TMessage& msg) {
  // The press is the toolbar's: its coordinates move into the toolbar's client area.
  TWinControl* bar = Parent();
  if (bar == nullptr) return;
  const int x = static_cast<short>(LOWORD(msg.LParam)) + Left();
  const int y = static_cast<short>(HIWORD(msg.LParam)) + Top();
  // Straight to the bar's handlers: its window procedure would hand the press back to us.
  TMessage own{msg.Msg, msg.WParam, MAKELPARAM(static_cast<unsigned>(x), static_cast<unsigned>(y)), 0};
  bar->Dispatch(own);
  msg.Result = own.Result;
}

void TToolbarSepX::Paint() {
  TCanvas* c = Canvas();
  const TRect r = ClientRect();
  if (ComponentState().Contains(TComponentStateFlag::csDesigning)) c->DrawFocusRect(r);
  if (atLineEnd_) return;  // the bar draws the line between its wrapped rows
  const bool across = r.Width() > r.Height();  // a separator of a vertical bar
  if (across) {
    const int y = r.Height() / 2 - 1;
    c->Pen()->SetColor(clBtnShadow);
    c->MoveTo(1, y);
    c->LineTo(r.Right - 1, y);
    c->Pen()->SetColor(clBtnHighlight);
    c->MoveTo(1, y + 1);
    c->LineTo(r.Right - 1, y + 1);
  } else {
    const int x = r.Width() / 2 - 1;
    c->Pen()->SetColor(clBtnShadow);
    c->MoveTo(x, 1);
    c->LineTo(x, r.Bottom - 1);
    c->Pen()->SetColor(clBtnHighlight);
    c->MoveTo(x + 1, 1);
    c->LineTo(x + 1, r.Bottom - 1);
  }
}

}  // namespace tw::toolbars
