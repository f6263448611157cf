// TWinControl: the window made on demand, child controls and their alignment, tab order and
// focus, keys, painting of the control and its windowless children, mouse routing to them.
#include <algorithm>
#include <unordered_map>

#include "platform/forms/controlsinternal.h"
#include "platform/forms/forms.h"
#include "platform/rtl/exceptions.h"

namespace tw {

TW_MESSAGE_MAP(TWinControl,
               OnMessage<TWinControl, &TWinControl::WMPaint>(WM_PAINT),
               OnMessage<TWinControl, &TWinControl::WMEraseBkgnd>(WM_ERASEBKGND),
               OnMessage<TWinControl, &TWinControl::WMSize>(WM_SIZE),
               OnMessage<TWinControl, &TWinControl::WMMove>(WM_MOVE),
               OnMessage<TWinControl, &TWinControl::WMWindowPosChanged>(WM_WINDOWPOSCHANGED),
               OnMessage<TWinControl, &TWinControl::WMSetFocus>(WM_SETFOCUS),
               OnMessage<TWinControl, &TWinControl::WMKillFocus>(WM_KILLFOCUS),
               OnMessage<TWinControl, &TWinControl::WMKeyDown>(WM_KEYDOWN),
               OnMessage<TWinControl, &TWinControl::WMKeyUp>(WM_KEYUP),
               OnMessage<TWinControl, &TWinControl::WMChar>(WM_CHAR),
               OnMessage<TWinControl, &TWinControl::WMSysKeyDown>(WM_SYSKEYDOWN),
               OnMessage<TWinControl, &TWinControl::WMKeyUp>(WM_SYSKEYUP),
               OnMessage<TWinControl, &TWinControl::WMSetCursor>(WM_SETCURSOR),
               OnMessage<TWinControl, &TWinControl::WMNCDestroy>(WM_NCDESTROY),
               OnMessage<TWinControl, &TWinControl::CNKeyDown>(CN_KEYDOWN),
               OnMessage<TWinControl, &TWinControl::CNKeyDown>(CN_SYSKEYDOWN),
               OnMessage<TWinControl, &TWinControl::CNKeyUp>(CN_KEYUP),
               OnMessage<TWinControl, &TWinControl::CNChar>(CN_CHAR),
               OnMessage<TWinControl, &TWinControl::CNSysChar>(CN_SYSCHAR),
               OnMessage<TWinControl, &TWinControl::CMEnter>(CM_ENTER),
               OnMessage<TWinControl, &TWinControl::CMExit>(CM_EXIT),
               OnMessage<TWinControl, &TWinControl::CMEnabledChanged>(CM_ENABLEDCHANGED),
               OnMessage<TWinControl, &TWinControl::CMColorChanged>(CM_COLORCHANGED),
               OnMessage<TWinControl, &TWinControl::CMFontChanged>(CM_FONTCHANGED),
               OnMessage<TWinControl, &TWinControl::CMShowingChanged>(CM_SHOWINGCHANGED),
               OnMessage<TWinControl, &TWinControl::CMVisibleChanged>(CM_VISIBLECHANGED),
               OnMessage<TWinControl, &TWinControl::CMDialogKey>(CM_DIALOGKEY),
               OnMessage<TWinControl, &TWinControl::CMDialogChar>(CM_DIALOGCHAR));

TW_PUBLISHED(TWinControl,
             Prop("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder),
             Prop("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop),
             Prop("Ctl3D", &TWinControl::Ctl3D, &TWinControl::SetCtl3D),
             Prop("ParentCtl3D", &TWinControl::ParentCtl3D, &TWinControl::SetParentCtl3D),
             Prop("OnEnter", &TWinControl::OnEnter),
             Prop("OnExit", &TWinControl::OnExit),
             Prop("OnKeyDown", &TWinControl::OnKeyDown),
             Prop("OnKeyUp", &TWinControl::OnKeyUp),
             Prop("OnKeyPress", &TWinControl::OnKeyPress));

namespace {

std::unordered_map<HWND, TWinControl*>& ControlWindows() {
  static std::unordered_map<HWND, TWinControl*> windows;
  return windows;
}

// The control whose window CreateWindowEx is making: its first messages arrive before the
// handle is known.
TWinControl* g_creationControl = nullptr;

bool IsWindowless(const TControl* c) { return dynamic_cast<const TWinControl*>(c) == nullptr; }

}  // namespace

LRESULT ControlWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto& windows = ControlWindows();
  auto it = windows.find(window);
  TWinControl* control = nullptr;
  if (it != windows.end() && it->second->handle_ == window) {
    control = it->second;
  } else if (g_creationControl != nullptr) {
    control = g_creationControl;
    g_creationControl = nullptr;
    control->handle_ = window;
    windows[window] = control;
  }
  if (control == nullptr) return DefWindowProc(window, msg, wParam, lParam);
  TMessage m{msg, wParam, lParam, 0};
  // A copy, so that a handler may free the control (and with it the procedure) safely.
  std::function<void(TMessage&)> proc = control->WindowProc;
  try {
    if (proc)
      proc(m);
    else
      control->WndProc(m);
  } catch (...) {
    HandleWindowException(control);
  }
  return m.Result;
}

TWinControl* TWinControl::FindControl(HWND window) {
  if (window == 0) return nullptr;
  auto& windows = ControlWindows();
  auto it = windows.find(window);
  return it == windows.end() ? nullptr : it->second;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  Destroying();
  if (TCustomForm* form = GetParentForm(this); form != nullptr && form != this) form->ControlRemoved(this);
  ControlDestroying(this);
  DestroyHandle();
  if (Parent() != nullptr) Parent()->RemoveControl(this);
  // Child controls go with their parent.
  while (!controls_.empty()) {
    TControl* child = controls_.back();
    RemoveControl(child);
    child->Free();
  }
}

// --- handle

HWND TWinControl::Handle() {
  HandleNeeded();
  return handle_;
}

void TWinControl::HandleNeeded() {
  if (handle_ != 0) return;
  if (Parent() != nullptr) Parent()->HandleNeeded();
  CreateHandle();
}

void TWinControl::CreateHandle() {
  if (handle_ != 0 || creatingHandle_) return;
  creatingHandle_ = true;
  try {
    CreateWnd();
  } catch (...) {
    creatingHandle_ = false;
    throw;
  }
  creatingHandle_ = false;
  CreateChildHandles();
}

void TWinControl::CreateChildHandles() {
  for (TControl* c : std::vector<TControl*>(controls_))
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.Caption = GetText();
  params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  if (Visible()) params.Style |= WS_VISIBLE;
  if (!Enabled()) params.Style |= WS_DISABLED;
  if (tabStop_) params.Style |= WS_TABSTOP;
  params.X = Left();
  params.Y = Top();
  params.Width = Width();
  params.Height = Height();
  if (Parent() != nullptr) {
    params.WndParent = Parent()->Handle();
  } else {
    throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  }
  params.ClassStyle = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  params.ClassCursor = LoadCursor(0, IDC_ARROW);
  params.WinClassName = ClassName();
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  // The window system may have been reset since the last window of this class (tests do), so
  // the class is looked up every time rather than remembered here.
  WNDCLASS existing;
  if (!GetClassInfo(0, params.WinClassName.c_str(), &existing)) {
    WNDCLASS wc;
    wc.style = params.ClassStyle;
    wc.lpfnWndProc = ControlWindowProc;
    wc.hCursor = params.ClassCursor;
    wc.lpszClassName = params.WinClassName.c_str();
    if (RegisterClass(wc) == 0) throw EInvalidOperation("Error creating window class " + params.WinClassName);
  }
  CreateWindowHandle(params);
  if (handle_ == 0) throw EInvalidOperation("Error creating window");
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
  g_creationControl = this;
  HWND h = 0;
  try {
    h = CreateWindowEx(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(), params.Style, params.X,
                       params.Y, params.Width, params.Height, params.WndParent, 0, 0, params.Param);
  } catch (...) {
    g_creationControl = nullptr;
    throw;
  }
  g_creationControl = nullptr;
  if (h != 0 && handle_ != h) {
    handle_ = h;
    ControlWindows()[h] = this;
  }
}

void TWinControl::DestroyHandle() {
  if (handle_ == 0) return;
  for (TControl* c : std::vector<TControl*>(controls_))
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
  DestroyWnd();
}

void TWinControl::DestroyWnd() { DestroyWindowHandle(); }

void TWinControl::DestroyWindowHandle() {
  controlState_.Include(TControlStateFlag::csDestroyingHandle);
  const HWND h = handle_;
  if (h != 0) DestroyWindow(h);
  ForgetHandle();
  controlState_.Exclude(TControlStateFlag::csDestroyingHandle);
}

void TWinControl::ForgetHandle() {
  if (handle_ == 0) return;
  auto& windows = ControlWindows();
  auto it = windows.find(handle_);
  if (it != windows.end() && it->second == this) windows.erase(it);
  handle_ = 0;
}

void TWinControl::WMNCDestroy(TMessage& msg) {
  DefaultHandler(msg);
  ForgetHandle();
}

void TWinControl::RecreateWnd() {
  if (handle_ == 0) return;
  const bool hadFocus = Focused();
  DestroyHandle();
  CreateHandle();
  UpdateShowing();
  if (hadFocus && CanFocus()) SetFocus();
}

void TWinControl::DefaultHandler(TMessage& msg) {
  if (handle_ == 0) return;
  msg.Result = DefWindowProc(handle_, msg.Msg, msg.WParam, msg.LParam);
}

// --- children

TControl* TWinControl::Controls(int index) const {
  if (index < 0 || index >= ControlCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return controls_[static_cast<std::size_t>(index)];
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c != nullptr; c = c->Parent())
    if (c == this) return true;
  return false;
}

TControl* TWinControl::ControlAtPos(TPoint pos, bool allowDisabled, bool allowWinControls) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (!allowWinControls && !IsWindowless(c)) continue;
    if (!c->Visible() || (!allowDisabled && !c->Enabled())) continue;
    if (!PtInRect(c->BoundsRect(), pos)) continue;
    if (c->Perform(CM_HITTEST, 0, MAKELPARAM(static_cast<unsigned>(pos.X - c->Left()), static_cast<unsigned>(pos.Y - c->Top()))) == 0)
      continue;
    return c;
  }
  return nullptr;
}

void TWinControl::InsertControl(TControl* control) {
  if (control == nullptr || control->parent_ == this) return;
  control->parent_ = this;
  controls_.push_back(control);
  if (auto* w = dynamic_cast<TWinControl*>(control)) tabList_.push_back(w);
  control->Perform(CM_PARENTCOLORCHANGED, 0, 0);
  control->Perform(CM_PARENTFONTCHANGED, 0, 0);
  control->Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    if (handle_ != 0) w->CreateHandle();
  } else {
    control->Invalidate();
  }
  if (control->Align() != TAlign::alNone) AlignControl(control);
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), 1);
}

void TWinControl::RemoveControl(TControl* control) {
  if (control == nullptr || control->parent_ != this) return;
  ForgetCaptureControl(control);
  if (TCustomForm* form = GetParentForm(this)) form->ControlRemoved(control);
  auto* w = dynamic_cast<TWinControl*>(control);
  if (w != nullptr)
    w->DestroyHandle();
  else
    control->Invalidate();
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  tabList_.erase(std::remove_if(tabList_.begin(), tabList_.end(),
                                [control](TWinControl* t) { return static_cast<TControl*>(t) == control; }),
                 tabList_.end());
  control->parent_ = nullptr;
  if (!ComponentState().Contains(TComponentStateFlag::csDestroying)) {
    if (control->Align() != TAlign::alNone) Realign();
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(control), 0);
  }
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == Parent()) return;
  TControl::SetParent(parent);
}

void TWinControl::ShowControl(TControl*) {
  if (Parent() != nullptr) Parent()->ShowControl(this);
}

void TWinControl::Broadcast(TMessage& msg) {
  for (TControl* c : std::vector<TControl*>(controls_)) {
    c->WindowProc ? c->WindowProc(msg) : c->WndProc(msg);
    if (msg.Result != 0) return;
  }
}

void TWinControl::NotifyControls(UINT msg) {
  TMessage m{msg, 0, 0, 0};
  for (TControl* c : std::vector<TControl*>(controls_)) {
    m.Result = 0;
    c->WindowProc ? c->WindowProc(m) : c->WndProc(m);
  }
}

// --- alignment

void TWinControl::DisableAlign() { ++alignLevel_; }

void TWinControl::EnableAlign() {
  if (alignLevel_ > 0) --alignLevel_;
  if (alignLevel_ == 0 && controlState_.Contains(TControlStateFlag::csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::AlignControl(TControl* control) {
  if (ComponentState().Contains(TComponentStateFlag::csDestroying)) return;
  if (alignLevel_ != 0 || ComponentState().Contains(TComponentStateFlag::csLoading)) {
    controlState_.Include(TControlStateFlag::csAlignmentNeeded);
    return;
  }
  DisableAlign();
  try {
    TRect r = GetClientRect();
    AlignControls(control, r);
  } catch (...) {
    controlState_.Exclude(TControlStateFlag::csAlignmentNeeded);
    EnableAlign();
    throw;
  }
  controlState_.Exclude(TControlStateFlag::csAlignmentNeeded);
  EnableAlign();
}

namespace {

// Whether c1 goes before c2 among the controls of one alignment.
bool AlignsBefore(const TControl* c1, const TControl* c2, TAlign align) {
  switch (align) {
    case TAlign::alTop: return c1->Top() < c2->Top();
    case TAlign::alBottom: return c1->Top() + c1->Height() >= c2->Top() + c2->Height();
    case TAlign::alLeft: return c1->Left() < c2->Left();
    case TAlign::alRight: return c1->Left() + c1->Width() >= c2->Left() + c2->Width();
    default: return false;
  }
}

}  // namespace

void TWinControl::AlignControls(TControl* control, TRect& rect) {
  bool any = false;
  for (TControl* c : controls_)
    if (c->Align() != TAlign::alNone) {
      any = true;
      break;
    }
  if (!any) return;
  std::vector<TControl*> list;
  for (TAlign align : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
    list.clear();
    if (control != nullptr && control->Parent() == this && control->Align() == align && control->Visible())
      list.push_back(control);
    for (TControl* c : controls_) {
      if (c == control || c->Align() != align || !c->Visible()) continue;
      std::size_t j = 0;
      while (j < list.size() && !AlignsBefore(c, list[j], align)) ++j;
      list.insert(list.begin() + static_cast<std::ptrdiff_t>(j), c);
    }
    for (TControl* c : list) {
      const int w = std::max(rect.Width(), 0);
      const int h = std::max(rect.Height(), 0);
      switch (align) {
        case TAlign::alTop:
          c->SetBounds(rect.Left, rect.Top, w, c->Height());
          rect.Top += c->Height();
          break;
        case TAlign::alBottom:
          c->SetBounds(rect.Left, rect.Bottom - c->Height(), w, c->Height());
          rect.Bottom -= c->Height();
          break;
        case TAlign::alLeft:
          c->SetBounds(rect.Left, rect.Top, c->Width(), h);
          rect.Left += c->Width();
          break;
        case TAlign::alRight:
          c->SetBounds(rect.Right - c->Width(), rect.Top, c->Width(), h);
          rect.Right -= c->Width();
          break;
        default:
          c->SetBounds(rect.Left, rect.Top, w, h);
          break;
      }
    }
  }
}

// --- bounds

TRect TWinControl::GetClientRect() const {
  if (handle_ != 0) {
    RECT r;
    if (tw::GetClientRect(handle_, &r)) return r;
  }
  return TControl::GetClientRect();
}

TPoint TWinControl::ClientOrigin() const {
  if (handle_ != 0) {
    POINT p{0, 0};
    if (tw::ClientToScreen(handle_, &p)) return p;
  }
  return TControl::ClientOrigin();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (left == Left() && top == Top() && width == Width() && height == Height()) return;
  const bool sized = width != Width() || height != Height();
  SetBoundsFields(left, top, width, height);
  if (handle_ != 0) SetWindowPos(handle_, 0, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  RequestAlign();
  if (sized) {
    Realign();
    Resize();
  }
}

void TWinControl::UpdateBounds() {
  if (handle_ == 0 || IsIconic(handle_)) return;
  RECT r;
  if (!GetWindowRect(handle_, &r)) return;
  const HWND parentWindow = GetParent(handle_);
  if ((GetWindowLongPtr(handle_, GWL_STYLE) & WS_CHILD) != 0 && parentWindow != 0)
    MapWindowPoints(0, parentWindow, reinterpret_cast<POINT*>(&r), 2);
  if (r.Left == Left() && r.Top == Top() && r.Width() == Width() && r.Height() == Height()) return;
  const bool sized = r.Width() != Width() || r.Height() != Height();
  SetBoundsFields(r.Left, r.Top, r.Width(), r.Height());
  RequestAlign();
  if (sized) {
    Realign();
    Resize();
  }
}

void TWinControl::WMSize(TMessage& msg) {
  DefaultHandler(msg);
  UpdateBounds();
}

void TWinControl::WMMove(TMessage& msg) {
  DefaultHandler(msg);
  UpdateBounds();
}

void TWinControl::WMWindowPosChanged(TMessage& msg) {
  DefaultHandler(msg);
  UpdateBounds();
}

// --- visibility, text, order, painting

void TWinControl::CMVisibleChanged(TMessage&) { UpdateShowing(); }

void TWinControl::UpdateShowing() {
  if (handle_ == 0) return;
  if (!Visible()) {
    TCustomForm* form = GetParentForm(this);
    if (form != nullptr && form != this && ContainsControl(form->ActiveControl())) form->ControlRemoved(this);
  }
  ShowWindow(handle_, Visible() ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void TWinControl::CMShowingChanged(TMessage&) { UpdateShowing(); }

bool TWinControl::Showing() const { return handle_ != 0 && IsWindowVisible(handle_); }

bool TWinControl::IsShowing() const {
  if (!Visible()) return false;
  return Parent() == nullptr || Parent()->IsShowing();
}

void TWinControl::SetText(const std::string& text) {
  if (text == GetText()) return;
  SetTextField(text);
  if (handle_ != 0) SetWindowText(handle_, text.c_str());
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TWinControl::SetZOrder(bool topMost) {
  TControl::SetZOrder(topMost);
  if (handle_ != 0)
    SetWindowPos(handle_, topMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::Invalidate() {
  if (handle_ != 0) InvalidateRect(handle_, nullptr, !controlStyle_.Contains(TControlStyleFlag::csOpaque));
}

void TWinControl::Update() {
  if (handle_ != 0) UpdateWindow(handle_);
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

void TWinControl::CMEnabledChanged(TMessage& msg) {
  if (!Enabled() && Focused()) {
    if (TCustomForm* form = GetParentForm(this); form != nullptr && form != this) form->ControlRemoved(this);
  }
  if (handle_ != 0) EnableWindow(handle_, Enabled());
  InheritedMessage(TWinControl::StaticClass(), msg);
}

void TWinControl::CMColorChanged(TMessage& msg) {
  InheritedMessage(TWinControl::StaticClass(), msg);
  NotifyControls(CM_PARENTCOLORCHANGED);
}

void TWinControl::CMFontChanged(TMessage& msg) {
  InheritedMessage(TWinControl::StaticClass(), msg);
  NotifyControls(CM_PARENTFONTCHANGED);
}

void TWinControl::WMEraseBkgnd(TMessage& msg) {
  EraseBackground(static_cast<HDC>(msg.WParam));
  msg.Result = 1;
}

void TWinControl::EraseBackground(HDC dc) {
  if (dc == 0 || controlStyle_.Contains(TControlStyleFlag::csOpaque)) return;
  TDCCanvas canvas(dc);
  canvas.Brush()->SetColor(Color());
  canvas.FillRect(GetClientRect());
}

void TWinControl::WMPaint(TMessage& msg) { PaintHandler(msg); }

void TWinControl::PaintHandler(TMessage& msg) {
  HDC dc = static_cast<HDC>(msg.WParam);
  PAINTSTRUCT ps;
  const bool own = dc == 0;
  if (own) {
    if (handle_ == 0) return;
    dc = BeginPaint(handle_, &ps);
    if (dc == 0) return;
    if (ps.fErase) EraseBackground(dc);
  }
  try {
    PaintWindow(dc);
    PaintControls(dc, nullptr);
  } catch (...) {
    if (own) EndPaint(handle_, &ps);
    throw;
  }
  if (own) EndPaint(handle_, &ps);
}

void TWinControl::PaintWindow(HDC dc) {
  TMessage m{WM_PAINT, static_cast<WPARAM>(dc), 0, 0};
  DefaultHandler(m);
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  cairo_t* cr = DCCairo(dc);
  if (cr == nullptr) return;
  TRect clip;
  const bool haveClip = GetClipBox(dc, &clip) != ERROR;
  auto it = controls_.begin();
  if (first != nullptr) {
    it = std::find(controls_.begin(), controls_.end(), first);
    if (it == controls_.end()) it = controls_.begin();
  }
  for (; it != controls_.end(); ++it) {
    TControl* c = *it;
    if (!IsWindowless(c) || !c->Visible()) continue;
    const TRect r = c->BoundsRect();
    TRect common;
    if (IsRectEmpty(r) || (haveClip && !IntersectRect(common, r, clip))) continue;
    cairo_save(cr);
    cairo_translate(cr, r.Left, r.Top);
    cairo_rectangle(cr, 0, 0, r.Width(), r.Height());
    cairo_clip(cr);
    try {
      c->Perform(WM_PAINT, static_cast<WPARAM>(dc), 0);
    } catch (...) {
      cairo_restore(cr);
      throw;
    }
    cairo_restore(cr);
  }
}

// --- mouse

bool TWinControl::IsControlMouseMsg(TMessage& msg) {
  if (msg.Msg == WM_MOUSEWHEEL) return false;
  TControl* target = nullptr;
  TControl* capture = GetCaptureControl();
  if (capture != nullptr) {
    if (capture->Parent() == this && IsWindowless(capture)) target = capture;
  } else {
    const TPoint p = Point(GET_X_LPARAM(msg.LParam), GET_Y_LPARAM(msg.LParam));
    target = ControlAtPos(p, false);
  }
  if (target == nullptr) return false;
  const int x = GET_X_LPARAM(msg.LParam) - target->Left();
  const int y = GET_Y_LPARAM(msg.LParam) - target->Top();
  msg.Result = target->Perform(msg.Msg, msg.WParam, MAKELPARAM(static_cast<unsigned>(x), static_cast<unsigned>(y)));
  return true;
}

void TWinControl::WndProc(TMessage& msg) {
  if (DragMessage(msg)) return;
  switch (msg.Msg) {
    case WM_SETFOCUS: {
      TCustomForm* form = GetParentForm(this);
      if (form != nullptr && !form->SetFocusedControl(this)) return;
      break;
    }
    case WM_KILLFOCUS:
      break;
    default:
      if (msg.Msg >= WM_MOUSEFIRST && msg.Msg <= WM_MOUSELAST && msg.Msg != WM_MOUSEWHEEL) {
        if (IsControlMouseMsg(msg)) return;
      }
      break;
  }
  TControl::WndProc(msg);
}

void TWinControl::WMSetCursor(TMessage& msg) {
  if (static_cast<HWND>(msg.WParam) == handle_ && LOWORD(static_cast<std::uintptr_t>(msg.LParam)) == HTCLIENT) {
    TCursor cursor = Screen()->Cursor();
    if (cursor == crDefault) {
      POINT p{0, 0};
      GetCursorPos(&p);
      const TPoint local = ScreenToClient(p);
      TControl* child = ControlAtPos(local, false);
      if (child != nullptr) cursor = child->Cursor();
      if (cursor == crDefault) cursor = Cursor();
    }
    if (cursor != crDefault) {
      tw::SetCursor(Screen()->Cursors(cursor));
      msg.Result = 1;
      return;
    }
  }
  DefaultHandler(msg);
}

// --- focus

int TWinControl::TabOrder() const {
  if (Parent() == nullptr) return -1;
  const auto& list = Parent()->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (Parent() == nullptr) return;
  auto& list = Parent()->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  if (order < 0 || order > static_cast<int>(list.size())) order = static_cast<int>(list.size());
  list.insert(list.begin() + order, this);
}

void TWinControl::SetTabStop(bool value) {
  if (tabStop_ == value) return;
  tabStop_ = value;
  if (handle_ != 0) {
    LONG_PTR style = GetWindowLongPtr(handle_, GWL_STYLE);
    style = value ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
    SetWindowLongPtr(handle_, GWL_STYLE, style);
  }
  Perform(CM_TABSTOPCHANGED, 0, 0);
}

bool TWinControl::CanFocus() const {
  TCustomForm* form = GetParentForm(this);
  if (form == nullptr) return false;
  for (const TControl* c = this; c != nullptr && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() const { return handle_ != 0 && GetFocus() == handle_; }

void TWinControl::SetFocus() {
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr) {
    form->FocusControl(this);
  } else {
    tw::SetFocus(Handle());
  }
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
  for (TWinControl* c : tabList_) {
    list.push_back(c);
    c->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  const int n = static_cast<int>(list.size());
  if (n == 0) return nullptr;
  int start = -1;
  for (int i = 0; i < n; ++i)
    if (list[static_cast<std::size_t>(i)] == current) start = i;
  if (start < 0) start = goForward ? n - 1 : 0;
  int i = start;
  do {
    i = goForward ? (i + 1) % n : (i - 1 + n) % n;
    TWinControl* c = list[static_cast<std::size_t>(i)];
    if (c != current && c->CanFocus() && (c->tabStop_ || !checkTabStop) && (c->Parent() == this || !checkParent))
      return c;
  } while (i != start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  TWinControl* next = FindNextControl(current, goForward, checkTabStop, !checkTabStop);
  if (next != nullptr) next->SetFocus();
}

void TWinControl::WMSetFocus(TMessage& msg) { DefaultHandler(msg); }

void TWinControl::WMKillFocus(TMessage& msg) { DefaultHandler(msg); }

void TWinControl::CMEnter(TMessage&) { DoEnter(); }

void TWinControl::CMExit(TMessage&) { DoExit(); }

void TWinControl::DoEnter() {
  FireEvent(OnEnter, this);
}

void TWinControl::DoExit() {
  FireEvent(OnExit, this);
}

// --- keys

void TWinControl::KeyDown(Word& key, TShiftState shift) {
  FireEvent(OnKeyDown, this, key, shift);
}

void TWinControl::KeyUp(Word& key, TShiftState shift) {
  FireEvent(OnKeyUp, this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  FireEvent(OnKeyPress, this, key);
}

namespace {
TWinControl* PreviewForm(TWinControl* self) {
  TCustomForm* form = GetParentForm(self);
  if (form == nullptr || static_cast<TWinControl*>(form) == self || !form->KeyPreview()) return nullptr;
  return form;
}
}  // namespace

bool TWinControl::DoKeyDown(TMessage& msg) {
  if (TWinControl* form = PreviewForm(this); form != nullptr && form->DoKeyDown(msg)) return true;
  if (controlStyle_.Contains(TControlStyleFlag::csNoStdEvents)) return false;
  Word key = static_cast<Word>(msg.WParam);
  KeyDown(key, KeyDataToShiftState(msg.LParam));
  msg.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyUp(TMessage& msg) {
  if (TWinControl* form = PreviewForm(this); form != nullptr && form->DoKeyUp(msg)) return true;
  if (controlStyle_.Contains(TControlStyleFlag::csNoStdEvents)) return false;
  Word key = static_cast<Word>(msg.WParam);
  KeyUp(key, KeyDataToShiftState(msg.LParam));
  msg.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& msg) {
  if (TWinControl* form = PreviewForm(this); form != nullptr && form->DoKeyPress(msg)) return true;
  if (controlStyle_.Contains(TControlStyleFlag::csNoStdEvents)) return false;
  char key = static_cast<char>(static_cast<unsigned char>(msg.WParam));
  KeyPress(key);
  msg.WParam = static_cast<unsigned char>(key);
  return key == 0;
}

void TWinControl::WMKeyDown(TMessage& msg) {
  if (!DoKeyDown(msg)) DefaultHandler(msg);
}

void TWinControl::WMSysKeyDown(TMessage& msg) {
  if (!DoKeyDown(msg)) DefaultHandler(msg);
}

void TWinControl::WMKeyUp(TMessage& msg) {
  if (!DoKeyUp(msg)) DefaultHandler(msg);
}

void TWinControl::WMChar(TMessage& msg) {
  if (!DoKeyPress(msg)) DefaultHandler(msg);
}

void TWinControl::CNKeyDown(TMessage& msg) {
  msg.Result = 1;
  const UINT key = static_cast<UINT>(msg.WParam);
  LRESULT mask = 0;
  switch (key) {
    case VK_TAB: mask = DLGC_WANTTAB; break;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: mask = DLGC_WANTARROWS; break;
    case VK_RETURN:
    case VK_EXECUTE:
    case VK_ESCAPE:
    case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
    default: break;
  }
  if (mask != 0 && Perform(CM_WANTSPECIALKEY, msg.WParam, msg.LParam) == 0 &&
      (Perform(WM_GETDLGCODE, 0, 0) & mask) == 0) {
    TCustomForm* form = GetParentForm(this);
    if (form != nullptr && form->Perform(CM_DIALOGKEY, msg.WParam, msg.LParam) != 0) return;
  }
  msg.Result = 0;
}

void TWinControl::CNKeyUp(TMessage& msg) { msg.Result = 0; }

void TWinControl::CNChar(TMessage& msg) {
  // A character the control does not take may be a dialog character (an accelerator of a
  // button or label).
  msg.Result = 0;
  if ((Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS) != 0) return;
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr && form->Perform(CM_DIALOGCHAR, msg.WParam, msg.LParam) != 0) msg.Result = 1;
}

void TWinControl::CNSysChar(TMessage& msg) {
  msg.Result = 0;
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr && form->Perform(CM_DIALOGCHAR, msg.WParam, msg.LParam) != 0) msg.Result = 1;
}

void TWinControl::CMDialogKey(TMessage& msg) { Broadcast(msg); }

void TWinControl::CMDialogChar(TMessage& msg) { Broadcast(msg); }

// --- TCustomControl

TW_MESSAGE_MAP(TCustomControl, OnMessage<TCustomControl, &TCustomControl::WMPaint>(WM_PAINT));

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() { canvas_->FreeHandle(); }

void TCustomControl::Paint() {}

void PaintWithCanvas(TControlCanvas& canvas, HDC dc, TControl& control, const std::function<void()>& paint) {
  canvas.FreeHandle();
  canvas.Lock();
  canvas.SetHandle(dc);
  canvas.SetFont(control.Font());
  canvas.Brush()->SetColor(control.Color());
  struct Release {
    TControlCanvas& canvas;
    ~Release() {
      canvas.SetHandle(0);
      canvas.Unlock();
    }
  } release{canvas};
  paint();
}

void TCustomControl::PaintWindow(HDC dc) {
  PaintWithCanvas(*canvas_, dc, *this, [this] { Paint(); });
}

void TCustomControl::WMPaint(TMessage& msg) {
  controlState_.Include(TControlStateFlag::csCustomPaint);
  try {
    PaintHandler(msg);
  } catch (...) {
    controlState_.Exclude(TControlStateFlag::csCustomPaint);
    throw;
  }
  controlState_.Exclude(TControlStateFlag::csCustomPaint);
}

void TCustomControl::DestroyWnd() {
  canvas_->FreeHandle();
  TWinControl::DestroyWnd();
}

// --- TGraphicControl

TW_MESSAGE_MAP(TGraphicControl, OnMessage<TGraphicControl, &TGraphicControl::WMPaint>(WM_PAINT));

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() { canvas_->FreeHandle(); }

void TGraphicControl::Paint() {}

void TGraphicControl::WMPaint(TMessage& msg) {
  const HDC dc = static_cast<HDC>(msg.WParam);
  if (dc == 0) return;
  PaintWithCanvas(*canvas_, dc, *this, [this] { Paint(); });
}

// --- hidden utility windows

namespace {

struct UtilWindow {
  WNDPROC Instance = nullptr;
};

std::unordered_map<HWND, UtilWindow>& UtilWindows() {
  static std::unordered_map<HWND, UtilWindow> windows;
  return windows;
}

constexpr const char* kUtilClass = "TPUtilWindow";

}  // namespace

HWND AllocateHWnd(std::function<void(TMessage&)> proc) {
  WNDCLASS existing;
  if (!GetClassInfo(0, kUtilClass, &existing)) {
    WNDCLASS wc;
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = kUtilClass;
    RegisterClass(wc);
  }
  const HWND h = CreateWindowEx(0, kUtilClass, "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, nullptr);
  if (h == 0) throw EInvalidOperation("Error creating window");
  WNDPROC inst = MakeObjectInstance([proc = std::move(proc)](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    TMessage m{msg, w, l, 0};
    try {
      proc(m);
    } catch (...) {
      HandleWindowException(nullptr);
    }
    return m.Result;
  });
  SetWindowLongPtr(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(inst));
  UtilWindows()[h].Instance = inst;
  return h;
}

void DeallocateHWnd(HWND window) {
  auto& windows = UtilWindows();
  auto it = windows.find(window);
  if (it == windows.end()) return;
  WNDPROC inst = it->second.Instance;
  windows.erase(it);
  SetWindowLongPtr(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProc));
  DestroyWindow(window);
  FreeObjectInstance(inst);
}

}  // namespace tw
