// The control classes: TControl (a rectangle on its parent with caption, font, colour,
// alignment, mouse events and message dispatch), TWinControl (a control with its own window,
// made on demand, that holds child controls, takes the focus and receives keys),
// TCustomControl (a window control that paints itself on a canvas) and TGraphicControl (a
// windowless control that its parent paints).
//
// Messages reach a control through Perform (direct) or its window procedure (from the window
// system); both go through WindowProc (replaceable, WndProc by default), which hands the
// message to Dispatch: the handler registered for the message number in the object's class or
// the nearest ancestor, else DefaultHandler.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/component.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/messages.h"
#include "platform/gfx/canvas.h"
#include "platform/gfx/color.h"
#include "platform/gfx/font.h"
#include "platform/gfx/geometry.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/set.h"
#include "platform/win/winapi.h"

namespace tw {

class TControl;
class TWinControl;
class TCustomForm;
class TPopupMenu;  // the menu classes build on this header

using Word = std::uint16_t;

// No window-system resource (a timer, a window) could be had.
TW_DECLARE_EXCEPTION(EOutOfResources, EOutOfMemory);

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
TW_ENUM_NAMES(TAlign, "alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient");

// Horizontal placement of a control's text (labels, edits, memos, panels, status panels).
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
TW_ENUM_NAMES(TAlignment, "taLeftJustify", "taRightJustify", "taCenter");

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
TW_ENUM_NAMES(TMouseButton, "mbLeft", "mbRight", "mbMiddle");

enum class TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
TW_ENUM_NAMES(TShiftStateFlag, "ssShift", "ssAlt", "ssCtrl", "ssLeft", "ssRight", "ssMiddle", "ssDouble");
using TShiftState = Set<TShiftStateFlag>;

// The shift state of a key message's moment (from the key state), and of a mouse message's
// MK_* flags.
TShiftState KeyboardStateToShiftState();
TShiftState KeysToShiftState(WPARAM keys);
// Adds the Alt key of a key message's data (bit 29) to the shift state.
TShiftState KeyDataToShiftState(LPARAM keyData);

enum class TControlStyleFlag {
  csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed, csSetCaption,
  csOpaque, csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible, csReplicatable,
  csNoStdEvents, csDisplayDragImage, csReflector, csActionClient, csMenuEvents
};
using TControlStyle = Set<TControlStyleFlag>;

enum class TControlStateFlag {
  csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing, csCreating,
  csPaintCopy, csCustomPaint, csDestroyingHandle, csDocking
};
using TControlState = Set<TControlStateFlag>;

// Cursors: the standard shapes are negative numbers; 0 is the control's default.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
constexpr TCursor crSize = crSizeAll;

// Calls an event when it is assigned, through a copy, so that a handler may safely assign the
// event it is running from.
template <typename F, typename... A>
void FireEvent(const F& event, A&&... args) {
  if (!event) return;
  F handler = event;
  handler(std::forward<A>(args)...);
}

// Events.  Each is called only when assigned.
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

// Drag and drop between the controls of this program.  A drag starts by BeginDrag (or by a left
// press on a control whose DragMode is dmAutomatic); the source then holds the mouse, each move
// asks the control under the pointer whether it takes the source (DragOver), the release drops
// on it when it did (DragDrop), and Esc or a lost capture cancels.  The source hears OnEndDrag
// with the target that took the drop, nullptr when none did.
enum class TDragMode { dmManual, dmAutomatic };
TW_ENUM_NAMES(TDragMode, "dmManual", "dmAutomatic");
enum class TDragState { dsDragEnter, dsDragLeave, dsDragMove };
TW_ENUM_NAMES(TDragState, "dsDragEnter", "dsDragLeave", "dsDragMove");
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;
using TStartDragEvent = std::function<void(TObject* Sender)>;

// The canvas of a control: outside painting it draws on a device context of the control's
// window (for a windowless control, its parent's window, moved to the control's place).
class TControlCanvas : public TCanvas {
  TW_CLASS(TControlCanvas, TCanvas)
 public:
  explicit TControlCanvas(TControl* control) : control_(control) {}
  ~TControlCanvas() override;
  TControl* Control() const { return control_; }
  // Gives back a context made by CreateHandle.
  void FreeHandle();

 protected:
  void CreateHandle() override;

 private:
  TControl* control_;
  HWND dcWindow_ = 0;
  HDC ownDC_ = 0;
};

class TControl : public TComponent {
  TW_CLASS(TControl, TComponent)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  // --- place and size (in the parent's client coordinates)
  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
  // Moves and sizes the control at once; negative sizes are taken as 0.
  virtual void SetBounds(int left, int top, int width, int height);

  // The client area: (0, 0, ClientWidth, ClientHeight).
  virtual TRect GetClientRect() const;
  TRect ClientRect() const { return GetClientRect(); }
  int ClientWidth() const { return GetClientRect().Width(); }
  int ClientHeight() const { return GetClientRect().Height(); }
  void SetClientWidth(int v);
  void SetClientHeight(int v);
  // Screen position of the client area's top-left corner.
  virtual TPoint ClientOrigin() const;
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;

  // --- state
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show();
  void Hide();
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  // Caption and Text are one value.
  virtual std::string GetText() const { return text_; }
  virtual void SetText(const std::string& text);
  std::string Caption() const { return GetText(); }
  void SetCaption(const std::string& text) { SetText(text); }
  std::string Text() const { return GetText(); }

  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* font);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool value);

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool value);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu);
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int context) { helpContext_ = context; }

  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle style) { controlStyle_ = style; }
  TControlState ControlState() const { return controlState_; }
  void SetControlState(TControlState state) { controlState_ = state; }

  // Whether the mouse is held for this control (moves and the release come to it).
  bool MouseCapture() const;
  void SetMouseCapture(bool value);

  // --- messages
  LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);
  // The procedure every message goes through; assign to hook a control, calling the previous
  // value for what is not handled.  WndProc by default.
  std::function<void(TMessage&)> WindowProc;
  virtual void WndProc(TMessage& msg);
  virtual void Dispatch(TMessage& msg);
  virtual void DefaultHandler(TMessage& msg);

  // --- painting and order
  virtual void Invalidate();
  virtual void Update();
  virtual void Repaint();
  void Refresh() { Repaint(); }
  void BringToFront() { SetZOrder(true); }
  void SendToBack() { SetZOrder(false); }
  virtual void SetZOrder(bool topMost);
  // Whether the control and all its parents are visible.
  virtual bool IsShowing() const;
  // The form that holds the control (nullptr when none).
  TCustomForm* ParentForm() const;

  // Generates a click as the mouse would.
  virtual void Click();

  // --- drag and drop
  TDragMode DragMode() const { return dragMode_; }
  void SetDragMode(TDragMode mode) { dragMode_ = mode; }
  // The cursor shown while the control under the pointer accepts this control's drag.
  TCursor DragCursor() const { return dragCursor_; }
  void SetDragCursor(TCursor cursor) { dragCursor_ = cursor; }
  // Starts dragging this control: at once, or once the pointer has moved `threshold` pixels
  // (5 when negative) from where it is now.  Ignored while another drag goes on.
  void BeginDrag(bool immediate, int threshold = -1);
  // Whether this control is the source of the drag going on (started or still pending).
  bool Dragging() const;
  // Ends this control's drag: drops on the control under the pointer when `drop` and that
  // control accepted, else cancels.
  void EndDrag(bool drop);
  // A source was dropped on this control at the client point (x, y); fires OnDragDrop.
  virtual void DragDrop(TObject* source, int x, int y);

  // --- events
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TStartDragEvent OnStartDrag;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;

 protected:
  friend class TWinControl;

  // A drag is over this control: `accept` starts as whether OnDragOver is assigned, which then
  // decides.  dsDragLeave tells that the pointer left (or the drag ended elsewhere).
  virtual void DragOver(TObject* source, int x, int y, TDragState state, bool& accept);
  // The drag of this control begins (fires OnStartDrag) and ends (fires OnEndDrag).
  virtual void DoStartDrag();
  virtual void DoEndDrag(TObject* target, int x, int y);
  // Gives a message to the drag going on: mouse messages of the source, Esc and the loss of the
  // capture.  True when the drag consumed it.
  bool DragMessage(TMessage& msg);

  // Calls the handler of `msg` registered by an ancestor of `cls`, else DefaultHandler.
  void InheritedMessage(const TClassInfo* cls, TMessage& msg);

  virtual void DblClick();
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  // For controls whose style has no click events (list and combo boxes, grids, outlines),
  // called first in their MouseDown: a left double click fires DblClick and the plain
  // OnMouseDown and answers true, and the control then leaves the press alone.
  bool DoubleClickDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void Resize();
  // Asks the parent to lay out its aligned children again.
  virtual void RequestAlign();
  // The window-system cursor shown over the control.
  HCURSOR CursorHandle() const;
  // The font changed: an own font ends following the parent's (unless the parent's is being
  // copied in).
  void FontChanged(TObject* sender);
  void Changed();
  void InvalidateControl(bool isVisible, bool isOpaque);
  // Stores bounds or text without the side effects of the setters (for window messages).
  void SetBoundsFields(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
  }
  void SetTextField(const std::string& text) { text_ = text; }
  void SetVisibleField(bool visible) { visible_ = visible; }
  // Loaded: restores the layout once the properties are read.
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  // Handlers of the class's message table.
  void WMLButtonDown(TMessage& msg);
  void WMRButtonDown(TMessage& msg);
  void WMMButtonDown(TMessage& msg);
  void WMLButtonDblClk(TMessage& msg);
  void WMRButtonDblClk(TMessage& msg);
  void WMMButtonDblClk(TMessage& msg);
  void WMLButtonUp(TMessage& msg);
  void WMRButtonUp(TMessage& msg);
  void WMMButtonUp(TMessage& msg);
  void WMMouseMove(TMessage& msg);
  void WMCancelMode(TMessage& msg);
  void CMVisibleChanged(TMessage& msg);
  void CMEnabledChanged(TMessage& msg);
  void CMFontChanged(TMessage& msg);
  void CMColorChanged(TMessage& msg);
  void CMParentFontChanged(TMessage& msg);
  void CMParentColorChanged(TMessage& msg);
  void CMParentShowHintChanged(TMessage& msg);
  void CMHitTest(TMessage& msg);
  void CMTextChanged(TMessage& msg);
  void WMGetText(TMessage& msg);
  void WMGetTextLength(TMessage& msg);
  void WMSetText(TMessage& msg);

  TControlStyle controlStyle_;
  TControlState controlState_;

 private:
  void DoMouseDown(TMessage& msg, TMouseButton button, TShiftState shift);
  void DoMouseUp(TMessage& msg, TMouseButton button);

  TWinControl* parent_ = nullptr;
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::string text_;
  std::unique_ptr<TFont> font_;
  bool parentFont_ = true;
  TColor color_ = clWindow;
  bool parentColor_ = true;
  TAlign align_ = TAlign::alNone;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TCursor cursor_ = crDefault;
  TPopupMenu* popupMenu_ = nullptr;
  int helpContext_ = 0;
  bool updatingFont_ = false;
  TDragMode dragMode_ = TDragMode::dmManual;
  TCursor dragCursor_ = crDrag;
};

// Parameters of a window about to be made; CreateParams fills them, descendants adjust them.
struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  HWND WndParent = 0;
  void* Param = nullptr;
  UINT ClassStyle = 0;
  HCURSOR ClassCursor = 0;
  std::string WinClassName;
};

class TWinControl : public TControl {
  TW_CLASS(TWinControl, TControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // --- the window
  // The window handle; made (with those of the parents) when it does not exist yet.
  HWND Handle();
  bool HandleAllocated() const { return handle_ != 0; }
  void HandleNeeded();
  // Destroys the window and makes a new one with the current parameters (after a change of
  // style); the control's state is kept in the object meanwhile.
  void RecreateWnd();
  // The control that owns a window of this program (nullptr for another window).
  static TWinControl* FindControl(HWND window);

  // --- children
  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const;
  bool ContainsControl(const TControl* control) const;
  // The visible child (a windowless one in front first) at a client point; nullptr when none.
  TControl* ControlAtPos(TPoint pos, bool allowDisabled, bool allowWinControls = false) const;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  // A child is being shown: a control that shows one child at a time (a page control) makes it
  // the one it shows; every parent up to the form is asked in turn.
  virtual void ShowControl(TControl* control);
  // Sends the message to every child until one sets a non-zero Result.
  void Broadcast(TMessage& msg);
  void NotifyControls(UINT msg);

  // --- alignment
  void DisableAlign();
  void EnableAlign();
  void Realign();
  // Lays the aligned children out again, giving `control` (just moved) its place first.
  void AlignControl(TControl* control);

  // --- focus and keys
  int TabOrder() const;
  void SetTabOrder(int order);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);
  // The sunken 3-D look of the class library; kept for form resources and the controls that
  // draw it.
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value) {
    ctl3D_ = value;
    parentCtl3D_ = false;
    Invalidate();
  }
  bool ParentCtl3D() const { return parentCtl3D_; }
  void SetParentCtl3D(bool value) { parentCtl3D_ = value; }
  virtual void SetFocus();
  virtual bool Focused() const;
  // Visible and enabled, with every parent up to the form.
  virtual bool CanFocus() const;
  // Window controls in tab order, depth first.
  void GetTabOrderList(std::vector<TWinControl*>& list) const;
  // The next (or previous) control after `current` in tab order; nullptr when none.
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent) const;
  // Moves the focus to that control.
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);
  bool Showing() const;
  bool IsShowing() const override;

  TRect GetClientRect() const override;
  TPoint ClientOrigin() const override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetParent(TWinControl* parent) override;
  void SetText(const std::string& text) override;
  void SetZOrder(bool topMost) override;
  void Invalidate() override;
  void Update() override;
  void Repaint() override;
  void DefaultHandler(TMessage& msg) override;
  void WndProc(TMessage& msg) override;

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;

 protected:
  friend class TControl;
  friend class TCustomForm;
  friend class TApplication;
  friend LRESULT ControlWindowProc(HWND, UINT, WPARAM, LPARAM);

  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& params);
  virtual void DestroyWnd();
  virtual void DestroyWindowHandle();
  virtual void CreateHandle();
  void DestroyHandle();
  void UpdateBounds();
  // Shows or hides the window as Visible and the parent say.
  virtual void UpdateShowing();

  // Painting: PaintWindow draws the control itself, PaintControls its windowless children.
  void PaintHandler(TMessage& msg);
  virtual void PaintWindow(HDC dc);
  void PaintControls(HDC dc, TControl* first);
  // Fills the background with Color (unless csOpaque says the control covers it).
  void EraseBackground(HDC dc);

  virtual void AlignControls(TControl* control, TRect& rect);
  bool AlignDisabled() const { return alignLevel_ != 0; }

  virtual void DoEnter();
  virtual void DoExit();
  virtual void KeyDown(Word& key, TShiftState shift);
  virtual void KeyUp(Word& key, TShiftState shift);
  virtual void KeyPress(char& key);
  // Key events with the form's KeyPreview first; true when the key was consumed.
  bool DoKeyDown(TMessage& msg);
  bool DoKeyUp(TMessage& msg);
  bool DoKeyPress(TMessage& msg);
  // Mouse messages of windowless children: true when `msg` went to one of them.
  bool IsControlMouseMsg(TMessage& msg);

  void WMPaint(TMessage& msg);
  void WMEraseBkgnd(TMessage& msg);
  void WMSize(TMessage& msg);
  void WMMove(TMessage& msg);
  void WMWindowPosChanged(TMessage& msg);
  void WMSetFocus(TMessage& msg);
  void WMKillFocus(TMessage& msg);
  void WMKeyDown(TMessage& msg);
  void WMKeyUp(TMessage& msg);
  void WMChar(TMessage& msg);
  void WMSysKeyDown(TMessage& msg);
  void WMSetCursor(TMessage& msg);
  void WMNCDestroy(TMessage& msg);
  void CNKeyDown(TMessage& msg);
  void CNKeyUp(TMessage& msg);
  void CNChar(TMessage& msg);
  void CNSysChar(TMessage& msg);
  void CMEnter(TMessage& msg);
  void CMExit(TMessage& msg);
  void CMEnabledChanged(TMessage& msg);
  void CMColorChanged(TMessage& msg);
  void CMFontChanged(TMessage& msg);
  void CMShowingChanged(TMessage& msg);
  void CMVisibleChanged(TMessage& msg);
  void CMDialogKey(TMessage& msg);
  void CMDialogChar(TMessage& msg);

  HWND handle_ = 0;

 private:
  void CreateChildHandles();
  void ForgetHandle();

  std::vector<TControl*> controls_;      // z-order, bottom first
  std::vector<TWinControl*> tabList_;    // window children in tab order
  bool tabStop_ = false;
  bool ctl3D_ = true;
  bool parentCtl3D_ = true;
  int alignLevel_ = 0;
  bool creatingHandle_ = false;
};

// A window control that paints itself: Paint draws on Canvas during WM_PAINT.
class TCustomControl : public TWinControl {
  TW_CLASS(TCustomControl, TWinControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }

 protected:
  virtual void Paint();
  void PaintWindow(HDC dc) override;
  void DestroyWnd() override;
  void WMPaint(TMessage& msg);

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// A control without a window: its parent paints it (through WM_PAINT with the device context in
// WParam, moved to the control's place) and passes it the mouse messages over it.
class TGraphicControl : public TControl {
  TW_CLASS(TGraphicControl, TControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }

 protected:
  virtual void Paint();
  void WMPaint(TMessage& msg);

 private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// The window procedure of every control window: finds the control and passes the message to
// its WindowProc; exceptions go to the application's handler.
LRESULT ControlWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// The form that holds `control`, nullptr when none.
TCustomForm* GetParentForm(const TControl* control);

// A hidden window whose messages go to `proc` (timers and the application use one).
HWND AllocateHWnd(std::function<void(TMessage&)> proc);
void DeallocateHWnd(HWND window);

}  // namespace tw
