// Drag and drop between the controls of this program.  One drag goes on at a time; its state is
// process-wide.  The source holds the mouse capture, so every mouse message of the drag reaches
// it and goes through DragMessage before the control's own handling.
#include <cstdlib>

#include "platform/forms/controls.h"
#include "platform/forms/controlsinternal.h"
#include "platform/forms/forms.h"

namespace tw {

namespace {

constexpr int kDefaultDragThreshold = 5;

struct TDragOperation {
  TControl* Source = nullptr;
  bool Started = false;
  TPoint StartPos{};  // screen point where the drag was asked for
  int Threshold = kDefaultDragThreshold;
  TControl* Target = nullptr;
  TPoint TargetPos{};  // last pointer position in the target's client coordinates
  bool Accepted = false;
};

TDragOperation& Drag() {
  static TDragOperation drag;
  return drag;
}

TPoint CursorPos() {
  POINT p{0, 0};
  GetCursorPos(&p);
  return p;
}

// The enabled control under a screen point: a windowless child in front of its window first.
TControl* FindDragTarget(TPoint screen) {
  TWinControl* window = TWinControl::FindControl(WindowFromPoint(screen));
  if (window == nullptr) return nullptr;
  TControl* control = window->ControlAtPos(window->ScreenToClient(screen), false);
  if (control == nullptr) control = window;
  return control->Enabled() ? control : nullptr;
}

void ShowDragCursor() {
  const TDragOperation& d = Drag();
  if (d.Source == nullptr) return;
  SetCursor(Screen()->Cursors(d.Accepted ? d.Source->DragCursor() : crNoDrop));
}

}  // namespace

void DragControlDestroying(TControl* control) {
  TDragOperation& d = Drag();
  if (d.Source == control) {
    d = TDragOperation{};
    SetCursor(Screen()->Cursors(crDefault));
  } else if (d.Target == control) {
    d.Target = nullptr;
    d.Accepted = false;
  }
}

bool TControl::Dragging() const { return Drag().Source == this; }

void TControl::BeginDrag(bool immediate, int threshold) {
  TDragOperation& d = Drag();
  if (d.Source != nullptr) return;
  d = TDragOperation{};
  d.Source = this;
  d.StartPos = CursorPos();
  d.Threshold = threshold < 0 ? kDefaultDragThreshold : threshold;
  SetMouseCapture(true);
  if (!immediate) return;
  d.Started = true;
  DoStartDrag();
  // Ask the control under the pointer at once.
  TMessage move{WM_MOUSEMOVE, 0, 0, 0};
  if (Drag().Source == this) DragMessage(move);
}

void TControl::EndDrag(bool drop) {
  if (Drag().Source != this) return;
  // The state is cleared first: the handlers below may start a new drag.
  const TDragOperation d = Drag();
  Drag() = TDragOperation{};
  SetMouseCapture(false);
  SetCursor(Screen()->Cursors(crDefault));
  if (!d.Started) return;
  TControl* target = nullptr;
  TPoint pos{};
  if (d.Target != nullptr) {
    if (drop && d.Accepted) {
      target = d.Target;
      pos = d.TargetPos;
    } else {
      bool accept = false;
      d.Target->DragOver(this, d.TargetPos.X, d.TargetPos.Y, TDragState::dsDragLeave, accept);
    }
  }
  if (target != nullptr) {
    try {
      target->DragDrop(this, pos.X, pos.Y);
    } catch (...) {
      DoEndDrag(nullptr, 0, 0);
      throw;
    }
  }
  DoEndDrag(target, pos.X, pos.Y);
}

void TControl::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
  accept = static_cast<bool>(OnDragOver);
  if (accept) FireEvent(OnDragOver, this, source, x, y, state, accept);
}

void TControl::DragDrop(TObject* source, int x, int y) { FireEvent(OnDragDrop, this, source, x, y); }

void TControl::DoStartDrag() { FireEvent(OnStartDrag, this); }

void TControl::DoEndDrag(TObject* target, int x, int y) { FireEvent(OnEndDrag, this, target, x, y); }

bool TControl::DragMessage(TMessage& msg) {
  TDragOperation& d = Drag();
  // A control being freed gives up its drag silently (DragControlDestroying).
  if (d.Source == nullptr || ComponentState().Contains(TComponentStateFlag::csDestroying)) return false;
  switch (msg.Msg) {
    case WM_KEYDOWN:
    case CN_KEYDOWN:
      if (msg.WParam != VK_ESCAPE) return false;
      d.Source->EndDrag(false);
      msg.Result = 1;
      return true;
    case WM_CANCELMODE:
    case WM_CAPTURECHANGED:
      // Someone else took the mouse: the drag cannot go on.
      if (d.Source == this && !MouseCapture()) EndDrag(false);
      return false;
    default:
      break;
  }
  if (d.Source != this || msg.Msg < WM_MOUSEFIRST || msg.Msg > WM_MOUSELAST) return false;
  switch (msg.Msg) {
    case WM_MOUSEMOVE: {
      const TPoint screen = CursorPos();
      if (!d.Started) {
        if (std::abs(screen.X - d.StartPos.X) < d.Threshold && std::abs(screen.Y - d.StartPos.Y) < d.Threshold)
          return true;
        d.Started = true;
        DoStartDrag();
        if (Drag().Source != this) return true;
      }
      TControl* target = FindDragTarget(screen);
      TDragState state = TDragState::dsDragMove;
      if (target != d.Target) {
        if (d.Target != nullptr) {
          bool accept = false;
          TControl* old = d.Target;
          d.Target = nullptr;
          d.Accepted = false;
          old->DragOver(this, d.TargetPos.X, d.TargetPos.Y, TDragState::dsDragLeave, accept);
          if (Drag().Source != this) return true;
        }
        d.Target = target;
        state = TDragState::dsDragEnter;
      }
      d.Accepted = false;
      if (target != nullptr) {
        d.TargetPos = target->ScreenToClient(screen);
        bool accept = false;
        target->DragOver(this, d.TargetPos.X, d.TargetPos.Y, state, accept);
        if (Drag().Source != this) return true;
        d.Accepted = accept && d.Target == target;
      }
      ShowDragCursor();
      return true;
    }
    case WM_LBUTTONUP:
      EndDrag(true);
      return true;
    case WM_RBUTTONDOWN:
      EndDrag(false);
      return true;
    default:
      return true;  // the drag holds the mouse: no clicks meanwhile
  }
}

}  // namespace tw
