// TControl: bounds, visibility, caption, font and colour inheritance, alignment requests,
// mouse messages and clicks, message dispatch through the class handler tables.
#include <algorithm>
#include <cstring>

#include "platform/forms/controlsinternal.h"
#include "platform/forms/forms.h"
#include "platform/rtl/exceptions.h"

namespace tw {

TW_MESSAGE_MAP(TControl,
               OnMessage<TControl, &TControl::WMLButtonDown>(WM_LBUTTONDOWN),
               OnMessage<TControl, &TControl::WMRButtonDown>(WM_RBUTTONDOWN),
               OnMessage<TControl, &TControl::WMMButtonDown>(WM_MBUTTONDOWN),
               OnMessage<TControl, &TControl::WMLButtonDblClk>(WM_LBUTTONDBLCLK),
               OnMessage<TControl, &TControl::WMRButtonDblClk>(WM_RBUTTONDBLCLK),
               OnMessage<TControl, &TControl::WMMButtonDblClk>(WM_MBUTTONDBLCLK),
               OnMessage<TControl, &TControl::WMLButtonUp>(WM_LBUTTONUP),
               OnMessage<TControl, &TControl::WMRButtonUp>(WM_RBUTTONUP),
               OnMessage<TControl, &TControl::WMMButtonUp>(WM_MBUTTONUP),
               OnMessage<TControl, &TControl::WMMouseMove>(WM_MOUSEMOVE),
               OnMessage<TControl, &TControl::WMCancelMode>(WM_CANCELMODE),
               OnMessage<TControl, &TControl::CMVisibleChanged>(CM_VISIBLECHANGED),
               OnMessage<TControl, &TControl::CMEnabledChanged>(CM_ENABLEDCHANGED),
               OnMessage<TControl, &TControl::CMFontChanged>(CM_FONTCHANGED),
               OnMessage<TControl, &TControl::CMColorChanged>(CM_COLORCHANGED),
               OnMessage<TControl, &TControl::CMParentFontChanged>(CM_PARENTFONTCHANGED),
               OnMessage<TControl, &TControl::CMParentColorChanged>(CM_PARENTCOLORCHANGED),
               OnMessage<TControl, &TControl::CMParentShowHintChanged>(CM_PARENTSHOWHINTCHANGED),
               OnMessage<TControl, &TControl::CMHitTest>(CM_HITTEST),
               OnMessage<TControl, &TControl::CMTextChanged>(CM_TEXTCHANGED),
               OnMessage<TControl, &TControl::WMGetText>(WM_GETTEXT),
               OnMessage<TControl, &TControl::WMGetTextLength>(WM_GETTEXTLENGTH),
               OnMessage<TControl, &TControl::WMSetText>(WM_SETTEXT));

TW_PUBLISHED(TControl,
             Prop("Left", &TControl::Left, &TControl::SetLeft),
             Prop("Top", &TControl::Top, &TControl::SetTop),
             Prop("Width", &TControl::Width, &TControl::SetWidth),
             Prop("Height", &TControl::Height, &TControl::SetHeight),
             Prop("Caption", &TControl::Caption, &TControl::SetCaption),
             Prop("Visible", &TControl::Visible, &TControl::SetVisible),
             Prop("Enabled", &TControl::Enabled, &TControl::SetEnabled),
             Prop("Color", &TControl::Color, &TControl::SetColor),
             Prop("ParentColor", &TControl::ParentColor, &TControl::SetParentColor),
             Prop("Font", &TControl::Font, &TControl::SetFont),
             Prop("ParentFont", &TControl::ParentFont, &TControl::SetParentFont),
             Prop("Align", &TControl::Align, &TControl::SetAlign),
             Prop("Hint", &TControl::Hint, &TControl::SetHint),
             Prop("ShowHint", &TControl::ShowHint, &TControl::SetShowHint),
             Prop("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint),
             Prop("Cursor", &TControl::Cursor, &TControl::SetCursor),
             Prop("HelpContext", &TControl::HelpContext, &TControl::SetHelpContext),
             Prop("OnClick", &TControl::OnClick),
             Prop("OnDblClick", &TControl::OnDblClick),
             Prop("OnResize", &TControl::OnResize),
             Prop("OnMouseDown", &TControl::OnMouseDown),
             Prop("OnMouseUp", &TControl::OnMouseUp),
             Prop("OnMouseMove", &TControl::OnMouseMove),
             Prop("DragMode", &TControl::DragMode, &TControl::SetDragMode),
             Prop("DragCursor", &TControl::DragCursor, &TControl::SetDragCursor),
             Prop("OnStartDrag", &TControl::OnStartDrag),
             Prop("OnDragOver", &TControl::OnDragOver),
             Prop("OnDragDrop", &TControl::OnDragDrop),
             Prop("OnEndDrag", &TControl::OnEndDrag));

// --- shift states

TShiftState KeysToShiftState(WPARAM keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s.Include(TShiftStateFlag::ssShift);
  if (keys & MK_CONTROL) s.Include(TShiftStateFlag::ssCtrl);
  if (keys & MK_LBUTTON) s.Include(TShiftStateFlag::ssLeft);
  if (keys & MK_RBUTTON) s.Include(TShiftStateFlag::ssRight);
  if (keys & MK_MBUTTON) s.Include(TShiftStateFlag::ssMiddle);
  if (GetKeyState(static_cast<int>(VK_MENU)) < 0) s.Include(TShiftStateFlag::ssAlt);
  return s;
}

TShiftState KeyboardStateToShiftState() {
  TShiftState s;
  if (GetKeyState(static_cast<int>(VK_SHIFT)) < 0) s.Include(TShiftStateFlag::ssShift);
  if (GetKeyState(static_cast<int>(VK_CONTROL)) < 0) s.Include(TShiftStateFlag::ssCtrl);
  if (GetKeyState(static_cast<int>(VK_MENU)) < 0) s.Include(TShiftStateFlag::ssAlt);
  if (GetKeyState(static_cast<int>(VK_LBUTTON)) < 0) s.Include(TShiftStateFlag::ssLeft);
  if (GetKeyState(static_cast<int>(VK_RBUTTON)) < 0) s.Include(TShiftStateFlag::ssRight);
  if (GetKeyState(static_cast<int>(VK_MBUTTON)) < 0) s.Include(TShiftStateFlag::ssMiddle);
  return s;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
  TShiftState s;
  if (GetKeyState(static_cast<int>(VK_SHIFT)) < 0) s.Include(TShiftStateFlag::ssShift);
  if (GetKeyState(static_cast<int>(VK_CONTROL)) < 0) s.Include(TShiftStateFlag::ssCtrl);
  if ((keyData & 0x20000000) != 0 || GetKeyState(static_cast<int>(VK_MENU)) < 0) s.Include(TShiftStateFlag::ssAlt);
  return s;
}

// --- capture

namespace {
TControl* g_captureControl = nullptr;
}

TControl* GetCaptureControl() {
  if (g_captureControl == nullptr) return nullptr;
  if (GetCapture() == 0) {
    g_captureControl = nullptr;
    return nullptr;
  }
  return g_captureControl;
}

void SetCaptureControl(TControl* control) {
  g_captureControl = nullptr;
  if (GetCapture() != 0) ReleaseCapture();
  if (control == nullptr) return;
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    g_captureControl = control;
    SetCapture(win->Handle());
  } else if (control->Parent() != nullptr) {
    g_captureControl = control;
    SetCapture(control->Parent()->Handle());
  }
}

void ForgetCaptureControl(TControl* control) {
  if (g_captureControl == control) {
    g_captureControl = nullptr;
    if (GetCapture() != 0) ReleaseCapture();
  }
}

// --- TControl

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
  controlStyle_ = {TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csClickEvents,
                   TControlStyleFlag::csSetCaption, TControlStyleFlag::csDoubleClicks};
  font_->OnChange = [this](TObject* sender) { FontChanged(sender); };
  WindowProc = [this](TMessage& msg) { WndProc(msg); };
}

TControl::~TControl() {
  Destroying();
  DragControlDestroying(this);
  ForgetCaptureControl(this);
  ControlDestroying(this);
  if (parent_ != nullptr) parent_->RemoveControl(this);
  font_->OnChange = nullptr;
}

void TControl::SetParent(TWinControl* parent) {
  if (parent_ == parent) return;
  if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  for (TWinControl* p = parent; p != nullptr; p = p->Parent())
    if (p == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (parent_ != nullptr) parent_->RemoveControl(this);
  if (parent != nullptr) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool sized = width != width_ || height != height_;
  InvalidateControl(visible_, false);
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Invalidate();
  RequestAlign();
  if (sized) Resize();
}

TRect TControl::GetClientRect() const { return Rect(0, 0, width_, height_); }

void TControl::SetClientWidth(int v) {
  SetWidth(width_ - ClientWidth() + v);
}

void TControl::SetClientHeight(int v) {
  SetHeight(height_ - ClientHeight() + v);
}

TPoint TControl::ClientOrigin() const {
  if (parent_ == nullptr) return Point(left_, top_);
  TPoint p = parent_->ClientOrigin();
  return Point(p.X + left_, p.Y + top_);
}

TPoint TControl::ClientToScreen(TPoint p) const {
  TPoint o = ClientOrigin();
  return Point(p.X + o.X, p.Y + o.Y);
}

TPoint TControl::ScreenToClient(TPoint p) const {
  TPoint o = ClientOrigin();
  return Point(p.X - o.X, p.Y - o.Y);
}

void TControl::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Perform(CM_VISIBLECHANGED, visible ? 1 : 0, 0);
  RequestAlign();
}

void TControl::Show() {
  if (Parent() != nullptr) Parent()->ShowControl(this);
  SetVisible(true);
  BringToFront();
}

void TControl::Hide() { SetVisible(false); }

void TControl::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetFont(TFont* font) {
  if (font != nullptr) font_->Assign(font);
}

void TControl::FontChanged(TObject*) {
  if (!updatingFont_) parentFont_ = false;
  Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetParentFont(bool value) {
  if (parentFont_ == value) return;
  parentFont_ = value;
  if (value && parent_ != nullptr) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::SetColor(TColor color) {
  if (color_ == color) {
    parentColor_ = false;
    return;
  }
  color_ = color;
  parentColor_ = false;
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool value) {
  if (parentColor_ == value) return;
  parentColor_ = value;
  if (value && parent_ != nullptr) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::SetAlign(TAlign align) {
  if (align_ == align) return;
  const TAlign old = align_;
  align_ = align;
  if (old != TAlign::alNone || align != TAlign::alNone) RequestAlign();
}

void TControl::SetShowHint(bool value) {
  showHint_ = value;
  parentShowHint_ = false;
}

void TControl::SetParentShowHint(bool value) {
  parentShowHint_ = value;
  if (value && parent_ != nullptr) Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor cursor) {
  if (cursor_ == cursor) return;
  cursor_ = cursor;
  Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
  popupMenu_ = menu;
  Perform(CM_POPUPMENUCHANGED, 0, 0);
}

bool TControl::MouseCapture() const { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool value) {
  if (MouseCapture() == value) return;
  SetCaptureControl(value ? this : nullptr);
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  if (WindowProc)
    WindowProc(m);
  else
    WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& msg) {
  // A window control has given the message to the drag already.
  if (!Is<TWinControl>() && DragMessage(msg)) return;
  if (msg.Msg >= WM_MOUSEFIRST && msg.Msg <= WM_MOUSELAST) {
    if (!controlStyle_.Contains(TControlStyleFlag::csDoubleClicks) &&
        (msg.Msg == WM_LBUTTONDBLCLK || msg.Msg == WM_RBUTTONDBLCLK || msg.Msg == WM_MBUTTONDBLCLK))
      msg.Msg -= WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
    if (msg.Msg == WM_MOUSEMOVE) ControlMouseMoved(this);
  }
  Dispatch(msg);
}

void TControl::Dispatch(TMessage& msg) {
  if (TMessageHandler h = FindMessageHandler(ClassType(), msg.Msg))
    h(this, msg);
  else
    DefaultHandler(msg);
}

void TControl::InheritedMessage(const TClassInfo* cls, TMessage& msg) {
  TMessageHandler h = cls->Parent != nullptr ? FindMessageHandler(cls->Parent, msg.Msg) : nullptr;
  if (h != nullptr)
    h(this, msg);
  else
    DefaultHandler(msg);
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::InvalidateControl(bool isVisible, bool isOpaque) {
  if (parent_ == nullptr || !isVisible || !parent_->HandleAllocated()) return;
  TRect r = BoundsRect();
  InvalidateRect(parent_->handle_, &r, !isOpaque);
}

void TControl::Invalidate() {
  InvalidateControl(visible_, controlStyle_.Contains(TControlStyleFlag::csOpaque));
}

void TControl::Update() {
  if (parent_ != nullptr) parent_->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::SetZOrder(bool topMost) {
  if (parent_ == nullptr) return;
  auto& list = parent_->controls_;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  if (topMost)
    list.push_back(this);
  else
    list.insert(list.begin(), this);
  Invalidate();
}

bool TControl::IsShowing() const {
  if (!visible_) return false;
  return parent_ == nullptr || parent_->IsShowing();
}

TCustomForm* TControl::ParentForm() const { return GetParentForm(this); }

TCustomForm* GetParentForm(const TControl* control) {
  const TControl* c = control;
  while (c != nullptr && c->Parent() != nullptr) c = c->Parent();
  if (c == nullptr) return nullptr;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::RequestAlign() {
  if (parent_ != nullptr) parent_->AlignControl(this);
}

void TControl::Resize() {
  FireEvent(OnResize, this);
}

void TControl::Click() {
  FireEvent(OnClick, this);
}

void TControl::DblClick() {
  FireEvent(OnDblClick, this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  FireEvent(OnMouseDown, this, button, shift, x, y);
}

bool TControl::DoubleClickDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button != TMouseButton::mbLeft || !shift.Contains(TShiftStateFlag::ssDouble)) return false;
  DblClick();
  TControl::MouseDown(button, shift, x, y);
  return true;
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  FireEvent(OnMouseMove, this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  FireEvent(OnMouseUp, this, button, shift, x, y);
}

HCURSOR TControl::CursorHandle() const { return Screen()->Cursors(cursor_); }

void TControl::Changed() { Perform(CM_CHANGED, 0, 0); }

void TControl::Loaded() {
  TComponent::Loaded();
  RequestAlign();
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component != nullptr &&
      static_cast<const void*>(component) == static_cast<const void*>(popupMenu_))
    popupMenu_ = nullptr;
}

// --- mouse messages

void TControl::DoMouseDown(TMessage& msg, TMouseButton button, TShiftState shift) {
  if (controlStyle_.Contains(TControlStyleFlag::csNoStdEvents)) return;
  MouseDown(button, KeysToShiftState(msg.WParam) + shift, GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
}

void TControl::DoMouseUp(TMessage& msg, TMouseButton button) {
  if (controlStyle_.Contains(TControlStyleFlag::csNoStdEvents)) return;
  MouseUp(button, KeysToShiftState(msg.WParam), GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
}

void TControl::WMLButtonDown(TMessage& msg) {
  DefaultHandler(msg);
  if (dragMode_ == TDragMode::dmAutomatic && !ComponentState().Contains(TComponentStateFlag::csDesigning)) {
    BeginDrag(false);
    return;
  }
  if (controlStyle_.Contains(TControlStyleFlag::csCaptureMouse)) SetMouseCapture(true);
  if (controlStyle_.Contains(TControlStyleFlag::csClickEvents)) controlState_.Include(TControlStateFlag::csClicked);
  DoMouseDown(msg, TMouseButton::mbLeft, {});
}

void TControl::WMRButtonDown(TMessage& msg) {
  DefaultHandler(msg);
  DoMouseDown(msg, TMouseButton::mbRight, {});
}

void TControl::WMMButtonDown(TMessage& msg) {
  DefaultHandler(msg);
  DoMouseDown(msg, TMouseButton::mbMiddle, {});
}

void TControl::WMLButtonDblClk(TMessage& msg) {
  DefaultHandler(msg);
  if (controlStyle_.Contains(TControlStyleFlag::csCaptureMouse)) SetMouseCapture(true);
  if (controlStyle_.Contains(TControlStyleFlag::csClickEvents)) DblClick();
  DoMouseDown(msg, TMouseButton::mbLeft, {TShiftStateFlag::ssDouble});
}

void TControl::WMRButtonDblClk(TMessage& msg) {
  DefaultHandler(msg);
  DoMouseDown(msg, TMouseButton::mbRight, {TShiftStateFlag::ssDouble});
}

void TControl::WMMButtonDblClk(TMessage& msg) {
  DefaultHandler(msg);
  DoMouseDown(msg, TMouseButton::mbMiddle, {TShiftStateFlag::ssDouble});
}

void TControl::WMLButtonUp(TMessage& msg) {
  DefaultHandler(msg);
  if (controlStyle_.Contains(TControlStyleFlag::csCaptureMouse)) SetMouseCapture(false);
  if (controlState_.Contains(TControlStateFlag::csClicked)) {
    controlState_.Exclude(TControlStateFlag::csClicked);
    const TPoint p = Point(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
    if (PtInRect(ClientRect(), p)) Click();
  }
  DoMouseUp(msg, TMouseButton::mbLeft);
}

void TControl::WMRButtonUp(TMessage& msg) {
  DefaultHandler(msg);
  DoMouseUp(msg, TMouseButton::mbRight);
}

void TControl::WMMButtonUp(TMessage& msg) {
  DefaultHandler(msg);
  DoMouseUp(msg, TMouseButton::mbMiddle);
}

void TControl::WMMouseMove(TMessage& msg) {
  DefaultHandler(msg);
  if (controlStyle_.Contains(TControlStyleFlag::csNoStdEvents)) return;
  MouseMove(KeysToShiftState(msg.WParam), GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
}

void TControl::WMCancelMode(TMessage& msg) {
  if (MouseCapture()) {
    SetMouseCapture(false);
    controlState_.Exclude(TControlStateFlag::csClicked);
  }
  DefaultHandler(msg);
}

// --- property change notifications

void TControl::CMVisibleChanged(TMessage&) { InvalidateControl(true, visible_ && controlStyle_.Contains(TControlStyleFlag::csOpaque)); }

void TControl::CMEnabledChanged(TMessage&) { Invalidate(); }

void TControl::CMFontChanged(TMessage&) { Invalidate(); }

void TControl::CMColorChanged(TMessage&) { Invalidate(); }

void TControl::CMParentFontChanged(TMessage&) {
  if (!parentFont_ || parent_ == nullptr) return;
  updatingFont_ = true;
  try {
    font_->Assign(parent_->Font());
  } catch (...) {
    updatingFont_ = false;
    throw;
  }
  updatingFont_ = false;
}

void TControl::CMParentColorChanged(TMessage&) {
  if (!parentColor_ || parent_ == nullptr) return;
  if (color_ == parent_->Color()) return;
  color_ = parent_->Color();
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::CMParentShowHintChanged(TMessage&) {
  if (parentShowHint_ && parent_ != nullptr) showHint_ = parent_->ShowHint();
}

void TControl::CMHitTest(TMessage& msg) { msg.Result = HTCLIENT; }

void TControl::CMTextChanged(TMessage&) { Invalidate(); }

void TControl::WMGetText(TMessage& msg) {
  const std::string text = GetText();
  auto* buffer = reinterpret_cast<char*>(msg.LParam);
  const std::size_t size = msg.WParam;
  if (buffer == nullptr || size == 0) {
    msg.Result = 0;
    return;
  }
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  msg.Result = static_cast<LRESULT>(n);
}

void TControl::WMGetTextLength(TMessage& msg) { msg.Result = static_cast<LRESULT>(GetText().size()); }

void TControl::WMSetText(TMessage& msg) {
  const char* p = reinterpret_cast<const char*>(msg.LParam);
  std::string text = p != nullptr ? std::string(p) : std::string();
  const bool changed = text != text_;
  text_ = std::move(text);
  DefaultHandler(msg);
  msg.Result = 1;
  if (changed) Perform(CM_TEXTCHANGED, 0, 0);
}

// --- TControlCanvas

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::FreeHandle() {
  if (ownDC_ == 0) return;
  const HDC dc = ownDC_;
  ownDC_ = 0;
  if (Handle() == dc) SetHandle(0);
  ReleaseDC(dcWindow_, dc);
  dcWindow_ = 0;
}

void TControlCanvas::CreateHandle() {
  FreeHandle();
  TWinControl* window = dynamic_cast<TWinControl*>(control_);
  const bool graphic = window == nullptr;
  if (graphic) window = control_->Parent();
  if (window == nullptr) throw EInvalidOperation("Control '" + control_->Name() + "' has no parent window");
  const HWND hwnd = window->Handle();
  const HDC dc = GetDC(hwnd);
  if (dc == 0) throw EInvalidOperation("Canvas does not allow drawing");
  if (graphic) {
    if (cairo_t* cr = DCCairo(dc)) {
      cairo_translate(cr, control_->Left(), control_->Top());
      cairo_rectangle(cr, 0, 0, control_->Width(), control_->Height());
      cairo_clip(cr);
    }
  }
  dcWindow_ = hwnd;
  ownDC_ = dc;
  SetHandle(dc);
}

}  // namespace tw
