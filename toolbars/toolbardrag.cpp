// The toolbar's mouse: moving a bar between docks and the floating state, double clicks, and
// its painting.
#include <algorithm>

#include "platform/forms/forms.h"
#include "toolbars/floatparent.h"
#include "toolbars/separator.h"
#include "toolbars/toolbar.h"

namespace tw::toolbars {

TW_MESSAGE_MAP(TToolbarX, OnMessage<TToolbarX, &TToolbarX::WMLButtonDownBar>(WM_LBUTTONDOWN),
               OnMessage<TToolbarX, &TToolbarX::WMLButtonDblClkBar>(WM_LBUTTONDBLCLK),
               OnMessage<TToolbarX, &TToolbarX::WMRButtonDownBar>(WM_RBUTTONDOWN),
               OnMessage<TToolbarX, &TToolbarX::WMMouseMoveBar>(WM_MOUSEMOVE),
               OnMessage<TToolbarX, &TToolbarX::WMLButtonUpBar>(WM_LBUTTONUP),
               OnMessage<TToolbarX, &TToolbarX::WMCancelModeBar>(WM_CANCELMODE),
               OnMessage<TToolbarX, &TToolbarX::WMCaptureChangedBar>(WM_CAPTURECHANGED),
               OnMessage<TToolbarX, &TToolbarX::WMOtherButtonDownBar>(WM_MBUTTONDOWN),
               OnMessage<TToolbarX, &TToolbarX::CMVisibleChangedBar>(CM_VISIBLECHANGED),
               OnMessage<TToolbarX, &TToolbarX::CMTextChangedBar>(CM_TEXTCHANGED));

namespace {
TPoint MsgPoint(const TMessage& msg) { return {GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam)}; }
}  // namespace

TRect TToolbarX::DockScreenRect(TDockX* dock) const {
  const TPoint o = dock->ClientOrigin();
  TRect r = Bounds(o.X, o.Y, dock->Width(), dock->Height());
  // An empty dock is a one-pixel strip on its form side.
  switch (dock->Position()) {
    case TDockPosition::dpTop:
      if (r.Height() <= 0) r.Bottom = r.Top + 1;
      break;
    case TDockPosition::dpBottom:
      if (r.Height() <= 0) r.Top = r.Bottom - 1;
      break;
    case TDockPosition::dpLeft:
      if (r.Width() <= 0) r.Right = r.Left + 1;
      break;
    case TDockPosition::dpRight:
      if (r.Width() <= 0) r.Left = r.Right - 1;
      break;
  }
  return r;
}

void TToolbarX::InvertOutline(const TRect& rect, bool floating) {
  TCustomForm* form = OwnerForm();
  if (form == nullptr || !form->HandleAllocated()) return;
  const HDC dc = GetDC(form->Handle());
  if (dc == 0) return;
  try {
    TCanvas canvas;
    canvas.SetHandle(dc);
    TRect r = rect;
    const TPoint origin = form->ClientOrigin();
    OffsetRect(r, -origin.X, -origin.Y);
    // A floating outline is as thick as the floating window's frame.
    const int rings = floating ? FrameWidth() : 1;
    for (int i = 0; i < rings && !IsRectEmpty(r); ++i) {
      canvas.DrawFocusRect(r);
      InflateRect(r, -1, -1);
    }
    canvas.SetHandle(0);
  } catch (...) {
    ReleaseDC(form->Handle(), dc);
    throw;
  }
  ReleaseDC(form->Handle(), dc);
}

void TToolbarX::ShowOutline(const TRect& rect, bool floating) {
  if (outlineShown_ && rect == outlineRect_ && floating == outlineFloating_) return;
  HideOutline();
  InvertOutline(rect, floating);
  outlineShown_ = true;
  outlineRect_ = rect;
  outlineFloating_ = floating;
}

void TToolbarX::HideOutline() {
  if (!outlineShown_) return;
  outlineShown_ = false;
  InvertOutline(outlineRect_, outlineFloating_);
}

void TToolbarX::BeginMove(TPoint screen) {
  if (moving_) return;
  pressPoint_ = screen;
  const TPoint o = ClientOrigin();
  startRect_ = Bounds(o.X, o.Y, Width(), Height());
  typeSizes_[kFloating] = SizeFor(kFloating, floatRightX_);
  typeSizes_[kHorizontal] = SizeFor(kHorizontal, 0);
  typeSizes_[kVertical] = SizeFor(kVertical, 0);
  TargetOwnPlace();
  lastMouse_ = screen;
  moving_ = true;
  SetCapture(Handle());
  // Keys go to the focused control, not to the bar that holds the mouse: a keyboard hook
  // sees them for the duration of the move.
  keyHook_ = SetWindowsHookEx(WH_KEYBOARD, [this](int code, WPARAM key, LPARAM flags) {
    return KeyWhileMoving(code, key, flags);
  });
  ShowOutline(dragRect_, dragTarget_ == nullptr);
}

LRESULT TToolbarX::KeyWhileMoving(int code, WPARAM key, LPARAM flags) {
  const HHOOK self = keyHook_;
  if (code < 0 || !moving_) return CallNextHookEx(self, code, key, flags);
  const bool released = (static_cast<unsigned long>(flags) & (1ul << 31)) != 0;
  if (key == VK_ESCAPE) {
    if (!released) CancelMove();
    return 1;
  }
  if (key == VK_CONTROL) MoveTo(lastMouse_, !released);
  return CallNextHookEx(self, code, key, flags);
}

void TToolbarX::TargetOwnPlace() {
  dragTarget_ = dockedTo_;
  // A bar placed straight on the form starts from its own rectangle, as a docked one does.
  dragRect_ = Parent() == floatParent_ ? floatParent_->BoundsRect() : startRect_;
}

void TToolbarX::MoveTo(TPoint screen, bool ctrl) {
  if (!moving_) return;
  lastMouse_ = screen;
  // With the mouse where it was pressed the bar is where it is: docks are tried only once the
  // mouse has left that point (a rectangle centred on the mouse could reach another dock).
  if (!ctrl && screen == pressPoint_) {
    TargetOwnPlace();
    ShowOutline(dragRect_, dragTarget_ == nullptr);
    return;
  }
  TRect r = startRect_;
  OffsetRect(r, screen.X - pressPoint_.X, screen.Y - pressPoint_.Y);
  TDockX* target = nullptr;
  TRect targetRect;
  TCustomForm* form = OwnerForm();
  if (!ctrl && form != nullptr) {
    for (int pass = 0; pass < 2 && target == nullptr; ++pass) {
      if (pass == 1 && !canDockLeftRight_) break;
      for (int i = 0; i < form->ControlCount() && target == nullptr; ++i) {
        auto* dock = dynamic_cast<TDockX*>(form->Controls(i));
        if (dock == nullptr || !dock->Visible() || dock->Vertical() != (pass == 1)) continue;
        const int type = ToolbarTypeOf(dock);
        const TSize size = typeSizes_[type];
        TRect candidate = type == ToolbarType()
                              ? Bounds(r.Left, r.Top, size.cx, size.cy)
                              : Bounds(screen.X - size.cx / 2, screen.Y - size.cy / 2, size.cx, size.cy);
        TRect common;
        if (IntersectRect(common, candidate, DockScreenRect(dock))) {
          target = dock;
          targetRect = candidate;
        }
      }
    }
  }
  dragTarget_ = target;
  if (target != nullptr) {
    dragRect_ = targetRect;
  } else {
    const TSize size = typeSizes_[kFloating];
    dragRect_ = Bounds(r.Left - FrameWidth(), r.Top - FrameHeight() - SmallCaptionHeight(),
                       size.cx + 2 * FrameWidth(), size.cy + SmallCaptionHeight() + 2 * FrameHeight());
  }
  ShowOutline(dragRect_, target == nullptr);
}

void TToolbarX::CancelMove() {
  if (!moving_) return;
  moving_ = false;
  dragTarget_ = nullptr;
  if (keyHook_ != 0) UnhookWindowsHookEx(keyHook_);
  keyHook_ = 0;
  HideOutline();
  if (HandleAllocated() && GetCapture() == handle_) ReleaseCapture();
}

void TToolbarX::EndMove(TPoint screen) {
  if (!moving_) return;
  const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  // A click (released where it was pressed) leaves the bar in place, unless Ctrl floats it.
  if (!ctrl && screen == pressPoint_) {
    CancelMove();
    return;
  }
  MoveTo(screen, ctrl);
  TDockX* target = dragTarget_;
  const TRect rect = dragRect_;
  CancelMove();
  if (target != nullptr) {
    const TRect dockRect = DockScreenRect(target);
    const bool vertical = target->Vertical();
    const int middle = vertical ? (rect.Left + rect.Right) / 2 - dockRect.Left : (rect.Top + rect.Bottom) / 2 - dockRect.Top;
    bool insert = false;
    int row = target->RowAtOffset(middle, insert);
    if (insert)
      for (TToolbarX* bar : target->Toolbars())
        if (bar != this && bar->dockRow_ >= row) ++bar->dockRow_;
    dockRow_ = std::clamp(row, 0, 255);
    dockPos_ = std::max(0, (vertical ? rect.Top - dockRect.Top : rect.Left - dockRect.Left) - target->Lead());
    if (target == dockedTo_) target->ArrangeToolbars();
    else SetDockedTo(target);
  } else {
    floatRect_ = rect;
    if (dockedTo_ == nullptr && Parent() == floatParent_) FloatAt(floatRect_);
    else SetDockedTo(nullptr);
  }
  MoveOnScreen(false);
}

void TToolbarX::WndProc(TMessage& msg) {
  // While the bar is moving, the mouse is the bar's, not that of the control under it.
  if (moving_ && msg.Msg >= WM_MOUSEFIRST && msg.Msg <= WM_MOUSELAST) {
    Dispatch(msg);
    return;
  }
  TCustomControl::WndProc(msg);
}

bool TToolbarX::OnOwnSurface(TPoint client) const {
  // Disabled controls count too: a press on a greyed button must not pick up the bar.
  TControl* over = ControlAtPos(client, true, true);
  return over == nullptr || over->Is<TToolbarSepX>();
}

void TToolbarX::WMLButtonDownBar(TMessage& msg) {
  const TPoint p = MsgPoint(msg);
  if (!OnOwnSurface(p)) {
    InheritedMessage(TToolbarX::StaticClass(), msg);
    return;
  }
  BeginMove(ClientToScreen(p));
}

void TToolbarX::WMLButtonDblClkBar(TMessage& msg) {
  CancelMove();
  if (!OnOwnSurface(MsgPoint(msg))) {
    InheritedMessage(TToolbarX::StaticClass(), msg);
    return;
  }
  if (dockedTo_ != nullptr) {
    SetDockedTo(nullptr);
    MoveOnScreen(true);
  } else if (defaultDock_ != nullptr) {
    dockRow_ = 0;
    dockPos_ = -8;
    SetDockedTo(defaultDock_);
  }
  msg.Result = 0;
}

void TToolbarX::WMRButtonDownBar(TMessage& msg) {
  CancelMove();
  InheritedMessage(TToolbarX::StaticClass(), msg);
}

void TToolbarX::WMMouseMoveBar(TMessage& msg) {
  if (!moving_) {
    InheritedMessage(TToolbarX::StaticClass(), msg);
    return;
  }
  if ((msg.WParam & MK_LBUTTON) == 0) {
    CancelMove();
    return;
  }
  MoveTo(ClientToScreen(MsgPoint(msg)), (msg.WParam & MK_CONTROL) != 0);
}

void TToolbarX::WMLButtonUpBar(TMessage& msg) {
  if (!moving_) {
    InheritedMessage(TToolbarX::StaticClass(), msg);
    return;
  }
  EndMove(ClientToScreen(MsgPoint(msg)));
}

void TToolbarX::WMCancelModeBar(TMessage& msg) {
  CancelMove();
  InheritedMessage(TToolbarX::StaticClass(), msg);
}

void TToolbarX::WMCaptureChangedBar(TMessage& msg) {
  // Another window took the mouse: the move cannot go on.
  if (moving_ && static_cast<HWND>(msg.LParam) != handle_) CancelMove();
  InheritedMessage(TToolbarX::StaticClass(), msg);
}

void TToolbarX::WMOtherButtonDownBar(TMessage& msg) {
  CancelMove();
  InheritedMessage(TToolbarX::StaticClass(), msg);
}

void TToolbarX::CMVisibleChangedBar(TMessage& msg) {
  if (!Visible()) CancelMove();
  if (!changingDock_) {
    if (dockedTo_ != nullptr) {
      dockedTo_->InsertRemoveBar(Visible(), this, Visible());
    } else if (Parent() == floatParent_) {
      floatParent_->SetVisible(Visible());
    }
  }
  InheritedMessage(TToolbarX::StaticClass(), msg);
}

void TToolbarX::CMTextChangedBar(TMessage& msg) {
  InheritedMessage(TToolbarX::StaticClass(), msg);
  // The floating window carries the caption too (its title on a desktop that lists windows).
  if (floatParent_ != nullptr) {
    floatParent_->SetCaption(Caption());
    floatParent_->Invalidate();
  }
}

void TToolbarX::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(Color());
  c->FillRect(r);
  const int type = ToolbarType();
  if (type != kFloating) {
    TRect edge = r;
    c->DrawEdge(edge, BDR_RAISEDINNER, BF_RECT);
    const int thickness = type == kVertical ? r.Width() : r.Height();
    for (int at : {4, 7}) {
      TRect grip = type == kVertical ? Rect(2, at, thickness - 2, at + 3) : Rect(at, 2, at + 3, thickness - 2);
      c->DrawEdge(grip, BDR_RAISEDINNER, BF_RECT);
      // The far end of each grip gets its highlight pixel.
      if (type == kVertical) c->SetPixel(thickness - 3, at, clBtnHighlight);
      else c->SetPixel(at, thickness - 3, clBtnHighlight);
    }
  } else {
    // Only lines that a group began get the etched line: a group that wrapped inside
    // itself has no room for it.
    for (int start : groupLineStarts_) {
      c->Pen()->SetColor(clBtnShadow);
      c->MoveTo(0, start - 4);
      c->LineTo(r.Right, start - 4);
      c->Pen()->SetColor(clBtnHighlight);
      c->MoveTo(0, start - 3);
      c->LineTo(r.Right, start - 3);
    }
  }
}

}  // namespace tw::toolbars
