// TToolbarX: a bar of controls that sits in a dock or floats in a small tool window of its own,
// lays its controls out in a line (wrapped lines when floating), and is moved between docks and
// the floating state by dragging its handle or its caption.
#pragma once

#include <functional>
#include <vector>

#include "platform/forms/controls.h"
#include "toolbars/dock.h"

namespace tw {
class TCustomForm;
}

namespace tw::toolbars {

class TFloatParent;

// Toolbar types: where the bar is laid out.
constexpr int kFloating = 0;
constexpr int kHorizontal = 1;
constexpr int kVertical = 2;

// Margins of a bar of one type: across the line (top, bottom), along it (start, end).
struct TBarMargins {
  int Top, Bottom, Start, End;
};
TBarMargins BarMargins(int type);
int ToolbarTypeOf(const TDockX* dock);

using TDockChangeEvent = TNotifyEvent;

class TToolbarX : public TCustomControl {
  TW_CLASS(TToolbarX, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TToolbarX(TComponent* owner);
  ~TToolbarX() override;

  // --- place
  TDockX* DockedTo() const { return dockedTo_; }
  void SetDockedTo(TDockX* dock);
  int DockRow() const { return dockRow_; }
  void SetDockRow(int row);
  // -1 (the default) asks for the end of the row; the dock then stores the place it gave.
  int DockPos() const { return dockPos_; }
  void SetDockPos(int pos);
  TDockX* DefaultDock() const { return defaultDock_; }
  void SetDefaultDock(TDockX* dock);
  bool CloseButton() const { return closeButton_; }
  void SetCloseButton(bool value);
  bool CanDockLeftRight() const { return canDockLeftRight_; }
  void SetCanDockLeftRight(bool value) { canDockLeftRight_ = value; }
  bool FixedSize() const { return fixedSize_; }
  void SetFixedSize(bool value) { fixedSize_ = value; }
  // The floating window's rectangle (screen, frame included); empty until first needed.
  const TRect& FloatRect() const { return floatRect_; }
  void SetFloatRect(const TRect& r) { floatRect_ = r; }
  // The wrap width of the floating layout (0: no wrapping).
  int FloatRightX() const { return floatRightX_; }
  void SetFloatRightX(int value) { floatRightX_ = value < 0 ? 0 : value; }
  TFloatParent* FloatParent() const { return floatParent_; }
  void RemoveAlternates(const TComponent* control);
  // 0 floating, 1 docked horizontally, 2 docked vertically.
  int ToolbarType() const { return ToolbarTypeOf(dockedTo_); }

  // --- layout
  // Lays the controls out for `type` (moving them when `canMove`), sizes the bar when
  // `canResize`, and returns the size the bar needs.
  TSize ArrangeControls(bool canMove, bool canResize, int type, int wrapWidth);
  // The size for a type without moving anything.
  TSize SizeFor(int type, int wrapWidth) { return ArrangeControls(false, false, type, wrapWidth); }
  // Lays the bar out for its current place, then lets its dock re-arrange.
  void Relayout();
  const TRowSize& OwnSize() const { return own_; }
  // A pair of controls of which only one shows: `vertical` while the bar is docked vertically,
  // `horizontal` otherwise; the one that appears takes its partner's place.
  void AddAlternatePair(TControl* vertical, TControl* horizontal);
  // Offsets of the wrapped lines of a floating bar (each line after the first).
  const std::vector<int>& LineStarts() const { return lineStarts_; }
  // The floating sizes offered while resizing a floating bar (natural size first).
  std::vector<TSize> FloatingSizes();

  // Moves a floating bar's window into the work area; with `onlyIfOff`, a window that still
  // shows part of itself stays.
  void MoveOnScreen(bool onlyIfOff);

  // --- dragging (mouse in screen coordinates).  While a move runs the bar holds the mouse;
  // Esc cancels it, Ctrl held (pressed or released without moving the mouse too) keeps the bar
  // from docking, and another button, a lost capture or hiding the bar ends it without effect.
  // The docks are tried only away from the press point: a click leaves the bar where it is.
  void BeginMove(TPoint screen);
  void MoveTo(TPoint screen, bool ctrl);
  void EndMove(TPoint screen);
  void CancelMove();
  bool Moving() const { return moving_; }
  const TRect& DragRect() const { return dragRect_; }
  TDockX* DragTarget() const { return dragTarget_; }

  void SetParent(TWinControl* parent) override;
  void SetBounds(int left, int top, int width, int height) override;
  void WndProc(TMessage& msg) override;

  TNotifyEvent OnClose;
  // Around a re-made window of the bar (not when the bar is freed): before the old one goes
  // and after the new one exists.
  TNotifyEvent OnRecreated;
  TNotifyEvent OnRecreating;
  TDockChangeEvent OnDockChanged;
  TDockChangeEvent OnDockChanging;

 protected:
  friend class TDockX;
  friend class TFloatParent;
  void AlignControls(TControl* control, TRect& rect) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void Paint() override;
  void WMLButtonDownBar(TMessage& msg);
  void WMLButtonDblClkBar(TMessage& msg);
  void WMRButtonDownBar(TMessage& msg);
  void WMMouseMoveBar(TMessage& msg);
  void WMLButtonUpBar(TMessage& msg);
  void WMCancelModeBar(TMessage& msg);
  void WMCaptureChangedBar(TMessage& msg);
  void WMOtherButtonDownBar(TMessage& msg);
  void CMVisibleChangedBar(TMessage& msg);
  void CMTextChangedBar(TMessage& msg);

 private:
  TCustomForm* OwnerForm() const;
  void FloatAt(const TRect& windowRect);
  TRect DockScreenRect(TDockX* dock) const;
  // Whether a client point lies on the bar itself or a separator (where presses move the bar).
  bool OnOwnSurface(TPoint client) const;
  // Draws (or, drawn again, removes) the outline of `rect` over the owner form by inversion.
  void InvertOutline(const TRect& rect, bool floating);
  void ShowOutline(const TRect& rect, bool floating);
  void HideOutline();
  void Undock();
  // Makes the bar's present place the move's target (a docked bar's dock, else floating).
  void TargetOwnPlace();
  // The keyboard while moving: Esc cancels, Ctrl pressed or released re-tries the docks.
  LRESULT KeyWhileMoving(int code, WPARAM key, LPARAM flags);

  TRowSize own_;
  int dockPos_ = -1;
  int dockRow_ = 0;
  TDockX* dockedTo_ = nullptr;
  TDockX* defaultDock_ = nullptr;
  bool closeButton_ = true;
  bool canDockLeftRight_ = true;
  TRect floatRect_{0, 0, 0, 0};
  int floatRightX_ = 0;
  struct AlternatePair {
    TControl* vertical;
    TControl* horizontal;
    // The same objects as components, for the comparison made while one is being freed.
    const TComponent* verticalComponent;
    const TComponent* horizontalComponent;
  };
  std::vector<AlternatePair> alternates_;
  std::vector<int> lineStarts_;
  // The type the controls were last placed for (-1: not yet): their order is read in it.
  int laidOutType_ = -1;
  std::vector<int> groupLineStarts_;  // the starts after a separator: the etched lines go there
  std::vector<TControl*> lineEndSeparators_;
  int arranging_ = 0;  // raised by the dock while it places the bar
  int guard_ = 0;      // layout in progress
  bool fixedSize_ = false;
  TFloatParent* floatParent_ = nullptr;
  bool changingDock_ = false;
  bool recreating_ = false;  // the window went while the bar lives on: a new one will follow
  // moving
  bool moving_ = false;
  TPoint pressPoint_{0, 0};
  TRect startRect_{0, 0, 0, 0};
  TRect dragRect_{0, 0, 0, 0};
  TDockX* dragTarget_ = nullptr;
  TSize typeSizes_[3]{};
  bool outlineShown_ = false;
  TRect outlineRect_{0, 0, 0, 0};
  bool outlineFloating_ = false;
  TPoint lastMouse_{0, 0};  // screen
  HHOOK keyHook_ = 0;
};

// Shows or hides every floating toolbar window below `control` (the form's floating windows
// when `control` is a form).
void SetFloatingBarsVisible(TWinControl* control, bool visible);

}  // namespace tw::toolbars
