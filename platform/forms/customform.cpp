// TCustomForm and TForm: the top-level window, its border and position, showing and hiding,
// activation and the focused control, modal showing and closing.
#include <algorithm>
#include <vector>

#include "platform/forms/controlsinternal.h"
#include "platform/forms/forms.h"
#include "platform/rtl/exceptions.h"

namespace tw {

namespace {
constexpr const char* kCannotFocus = "Cannot focus a disabled or invisible window";

// The program's shown stay-on-top pop-ups (the splash picture while the program starts): without
// a frame of the window manager's they lie above every framed window, also one shown later, and
// would cover a modal window.  They step aside while it is up; their windows, not the forms, are
// hidden, so that the forms still count as shown.
std::vector<HWND> StepAsideStayOnTopPopups(const TCustomForm* modal) {
  std::vector<HWND> hidden;
  TScreen* screen = Screen();
  for (int i = 0; i < screen->FormCount(); ++i) {
    TCustomForm* f = screen->Forms(i);
    if (f == modal || f->FormStyle() != TFormStyle::fsStayOnTop || f->Parent() != nullptr || !f->HandleAllocated())
      continue;
    const HWND h = f->Handle();
    if (!IsWindowVisible(h) || (static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE)) & WS_CAPTION) == WS_CAPTION) continue;
    ShowWindow(h, SW_HIDE);
    hidden.push_back(h);
  }
  return hidden;
}

// They come back once the modal window is gone, unless the program hid or freed them meanwhile.
void BringBackStayOnTopPopups(const std::vector<HWND>& hidden) {
  for (HWND h : hidden) {
    auto* f = dynamic_cast<TCustomForm*>(TWinControl::FindControl(h));
    if (f != nullptr && f->Visible() && !IsWindowVisible(h)) ShowWindow(h, SW_SHOWNOACTIVATE);
  }
}
}  // namespace

TW_MESSAGE_MAP(TCustomForm,
               OnMessage<TCustomForm, &TCustomForm::WMActivate>(WM_ACTIVATE),
               OnMessage<TCustomForm, &TCustomForm::WMClose>(WM_CLOSE),
               OnMessage<TCustomForm, &TCustomForm::WMSizeForm>(WM_SIZE),
               OnMessage<TCustomForm, &TCustomForm::WMActivateApp>(WM_ACTIVATEAPP),
               OnMessage<TCustomForm, &TCustomForm::CMDialogKeyForm>(CM_DIALOGKEY),
               OnMessage<TCustomForm, &TCustomForm::CMRelease>(CM_RELEASE));

TW_PUBLISHED(TCustomForm,
             Prop("BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle),
             Prop("BorderIcons", &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons),
             Prop("Position", &TCustomForm::Position, &TCustomForm::SetPosition),
             Prop("FormStyle", &TCustomForm::FormStyle, &TCustomForm::SetFormStyle),
             Prop("WindowState", &TCustomForm::WindowState, &TCustomForm::SetWindowState),
             Prop("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview),
             Prop("ActiveControl", &TCustomForm::ActiveControl, &TCustomForm::SetActiveControl),
             Prop("ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth),
             Prop("ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight),
             Prop("Icon", &TCustomForm::Icon, &TCustomForm::SetIcon),
             Prop("ModalResult", &TCustomForm::ModalResult, &TCustomForm::SetModalResult),
             Prop("HelpFile", &TCustomForm::HelpFile, &TCustomForm::SetHelpFile),
             Prop("PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch),
             Prop("TextHeight", &TCustomForm::TextHeight, &TCustomForm::SetTextHeight),
             Prop("Scaled", &TCustomForm::Scaled, &TCustomForm::SetScaled),
             Prop("OldCreateOrder", &TCustomForm::OldCreateOrder, &TCustomForm::SetOldCreateOrder),
             Prop("AutoScroll", &TCustomForm::AutoScroll, &TCustomForm::SetAutoScroll),
             Prop("OnCreate", &TCustomForm::OnCreate),
             Prop("OnShow", &TCustomForm::OnShow),
             Prop("OnHide", &TCustomForm::OnHide),
             Prop("OnDestroy", &TCustomForm::OnDestroy),
             Prop("OnActivate", &TCustomForm::OnActivate),
             Prop("OnDeactivate", &TCustomForm::OnDeactivate),
             Prop("OnPaint", &TCustomForm::OnPaint),
             Prop("OnClose", &TCustomForm::OnClose),
             Prop("OnCloseQuery", &TCustomForm::OnCloseQuery));

TW_REGISTER_CLASS(TForm);

TCustomForm::TCustomForm(TComponent* owner)
    : TWinControl(owner), icon_(std::make_unique<TIcon>()), canvas_(std::make_unique<TControlCanvas>(this)) {
  formState_.Include(TFormStateFlag::fsCreating);
  controlStyle_ = {TControlStyleFlag::csAcceptsControls, TControlStyleFlag::csCaptureMouse,
                   TControlStyleFlag::csClickEvents, TControlStyleFlag::csSetCaption,
                   TControlStyleFlag::csDoubleClicks};
  SetVisibleField(false);
  SetBoundsFields(0, 0, 320, 240);
  SetColor(clBtnFace);
  SetParentFont(false);
  Screen()->AddForm(this);
  formState_.Exclude(TFormStateFlag::fsCreating);
}

TCustomForm::~TCustomForm() {
  Destroying();
  DoDestroy();
  canvas_->FreeHandle();
  FormDestroying(this);
}

void TCustomForm::BeforeDestruction() {
  TWinControl::BeforeDestruction();
  DoDestroy();
}

void TCustomForm::DoDestroy() {
  if (destroyEventDone_) return;
  destroyEventDone_ = true;
  // Taken out of the form: it runs once, and what it captured lives while it runs.
  TNotifyEvent handler = std::move(OnDestroy);
  OnDestroy = nullptr;
  if (handler) {
    try {
      handler(this);
    } catch (...) {
      HandleWindowException(this);
    }
  }
}

void TCustomForm::AfterConstruction() {
  if (created_) return;
  created_ = true;
  FireEvent(OnCreate, this);
}

// --- window parameters

void TCustomForm::FormStyleBits(DWORD& style, DWORD& exStyle) const {
  style = WS_CLIPCHILDREN;
  exStyle = 0;
  const bool plainFrame = borderStyle_ == TFormBorderStyle::bsSingle || borderStyle_ == TFormBorderStyle::bsSizeable;
  switch (borderStyle_) {
    case TFormBorderStyle::bsNone: style |= WS_POPUP; break;
    case TFormBorderStyle::bsSingle: style |= WS_CAPTION | WS_BORDER; break;
    case TFormBorderStyle::bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
    case TFormBorderStyle::bsDialog:
      style |= WS_POPUP | WS_CAPTION;
      exStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case TFormBorderStyle::bsToolWindow:
      style |= WS_CAPTION;
      exStyle |= WS_EX_TOOLWINDOW;
      break;
    case TFormBorderStyle::bsSizeToolWin:
      style |= WS_CAPTION | WS_THICKFRAME;
      exStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (borderStyle_ != TFormBorderStyle::bsNone) {
    if (borderIcons_.Contains(TBorderIcon::biSystemMenu)) style |= WS_SYSMENU;
    if (plainFrame && borderIcons_.Contains(TBorderIcon::biMinimize)) style |= WS_MINIMIZEBOX;
    if (plainFrame && borderIcons_.Contains(TBorderIcon::biMaximize)) style |= WS_MAXIMIZEBOX;
    if (borderStyle_ == TFormBorderStyle::bsDialog && borderIcons_.Contains(TBorderIcon::biHelp))
      exStyle |= WS_EX_CONTEXTHELP;
  }
  if (formStyle_ == TFormStyle::fsStayOnTop) exStyle |= WS_EX_TOPMOST;
  if (!Enabled()) style |= WS_DISABLED;
}

void TCustomForm::CreateParams(TCreateParams& params) {
  params.Caption = GetText();
  FormStyleBits(params.Style, params.ExStyle);
  params.X = Left();
  params.Y = Top();
  params.Width = Width();
  params.Height = Height();
  params.WndParent = 0;
  if (Parent() != nullptr) {
    // A form placed inside another control is an ordinary child window.
    params.Style = (params.Style & ~(WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU)) | WS_CHILD |
                   WS_CLIPSIBLINGS | (Visible() ? WS_VISIBLE : 0);
    params.ExStyle &= ~(WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    params.WndParent = Parent()->Handle();
  }
  params.ClassStyle = CS_DBLCLKS;
  params.ClassCursor = LoadCursor(0, IDC_ARROW);
  params.WinClassName = ClassName();
}

TRect TCustomForm::GetClientRect() const {
  if (HandleAllocated() || Parent() != nullptr) return TWinControl::GetClientRect();
  DWORD style = 0;
  DWORD exStyle = 0;
  FormStyleBits(style, exStyle);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style, false, exStyle);
  return Rect(0, 0, std::max(Width() - frame.Width(), 0), std::max(Height() - frame.Height(), 0));
}

TPoint TCustomForm::ClientOrigin() const {
  if (HandleAllocated() || Parent() != nullptr) return TWinControl::ClientOrigin();
  DWORD style = 0;
  DWORD exStyle = 0;
  FormStyleBits(style, exStyle);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style, false, exStyle);
  return Point(Left() - frame.Left, Top() - frame.Top);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
  if (borderStyle_ == style) return;
  borderStyle_ = style;
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
  if (borderIcons_ == icons) return;
  borderIcons_ = icons;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle style) {
  if (formStyle_ == style) return;
  formStyle_ = style;
  if (HandleAllocated())
    SetWindowPos(handle_, style == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetWindowState(TWindowState state) {
  if (windowState_ == state) return;
  windowState_ = state;
  if (HandleAllocated() && IsWindowVisible(handle_)) {
    const int cmd = state == TWindowState::wsMinimized   ? SW_MINIMIZE
                    : state == TWindowState::wsMaximized ? SW_MAXIMIZE
                                                         : SW_RESTORE;
    ShowWindow(handle_, cmd);
  }
}

void TCustomForm::SetIcon(TIcon* icon) {
  if (icon == nullptr)
    icon_ = std::make_unique<TIcon>();
  else
    icon_->Assign(icon);
  Perform(CM_ICONCHANGED, 0, 0);
}

void TCustomForm::WMSizeForm(TMessage& msg) {
  if (HandleAllocated() && IsWindowVisible(handle_)) {
    if (msg.WParam == SIZE_MINIMIZED)
      windowState_ = TWindowState::wsMinimized;
    else if (msg.WParam == SIZE_MAXIMIZED)
      windowState_ = TWindowState::wsMaximized;
    else if (msg.WParam == SIZE_RESTORED)
      windowState_ = TWindowState::wsNormal;
  }
  InheritedMessage(TCustomForm::StaticClass(), msg);
}

// --- showing

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::BringToFront() {
  if (Parent() != nullptr) {
    TWinControl::SetZOrder(true);
    return;
  }
  if (HandleAllocated() && IsWindowVisible(handle_)) {
    BringWindowToTop(handle_);
    SetActiveWindow(handle_);
  }
}

void TCustomForm::PlaceOnFirstShow() {
  placed_ = true;
  const int sw = Screen()->Width();
  const int sh = Screen()->Height();
  auto centerOn = [this](const TRect& r) {
    SetBounds(r.Left + (r.Width() - Width()) / 2, r.Top + (r.Height() - Height()) / 2, Width(), Height());
  };
  switch (position_) {
    case TPosition::poScreenCenter:
    case TPosition::poDesktopCenter: centerOn(Rect(0, 0, sw, sh)); break;
    case TPosition::poMainFormCenter:
    case TPosition::poOwnerFormCenter: {
      TCustomForm* ref = position_ == TPosition::poMainFormCenter ? Application()->MainForm()
                                                                  : dynamic_cast<TCustomForm*>(Owner());
      if (ref != nullptr && ref != this && ref->Visible())
        centerOn(ref->BoundsRect());
      else
        centerOn(Rect(0, 0, sw, sh));
      break;
    }
    case TPosition::poDefault:
    case TPosition::poDefaultPosOnly: {
      static int cascade = 0;
      const int offset = 10 + 24 * (cascade++ % 8);
      SetBounds(offset, offset, Width(), Height());
      break;
    }
    default: break;
  }
}

void TCustomForm::UpdateShowing() {
  if (Parent() != nullptr) {
    TWinControl::UpdateShowing();
    return;
  }
  if (Visible()) {
    HandleNeeded();
    if (!placed_) PlaceOnFirstShow();
    if (IsWindowVisible(handle_)) return;
    if (activeControl_ == nullptr) activeControl_ = FindNextControl(nullptr, true, true, false);
    formState_.Include(TFormStateFlag::fsShowing);
    try {
      DoShow();
    } catch (...) {
      formState_.Exclude(TFormStateFlag::fsShowing);
      throw;
    }
    formState_.Exclude(TFormStateFlag::fsShowing);
    const int cmd = windowState_ == TWindowState::wsMaximized   ? SW_SHOWMAXIMIZED
                    : windowState_ == TWindowState::wsMinimized ? SW_SHOWMINIMIZED
                                                                : SW_SHOWNORMAL;
    ShowWindow(handle_, cmd);
    if (windowState_ != TWindowState::wsMinimized) SetActiveWindow(handle_);
  } else {
    if (!HandleAllocated() || !IsWindowVisible(handle_)) return;
    DoHide();
    ShowWindow(handle_, SW_HIDE);
  }
}

void TCustomForm::DoShow() {
  FireEvent(OnShow, this);
}

void TCustomForm::DoHide() {
  FireEvent(OnHide, this);
}

// --- activation and focus

void TCustomForm::WMActivate(TMessage& msg) {
  DefaultHandler(msg);
  if (LOWORD(msg.WParam) != WA_INACTIVE) {
    const bool was = active_;
    active_ = true;
    Screen()->SetActiveForm(this);
    // OnActivate runs before the active control is entered, so that what it puts into a field
    // is there when the field takes the keyboard (and selects its text as AutoSelect says).
    if (!was) Activate();
    SetWindowFocus();
  } else if (active_) {
    active_ = false;
    Deactivate();
  }
}

void TCustomForm::WMActivateApp(TMessage& msg) {
  DefaultHandler(msg);
  Application()->ActivateChanged(msg.WParam != 0);
}

void TCustomForm::Activate() {
  FireEvent(OnActivate, this);
}

void TCustomForm::Deactivate() {
  FireEvent(OnDeactivate, this);
}

void TCustomForm::SetWindowFocus() {
  HWND target = handle_;
  if (activeControl_ != nullptr && activeControl_->CanFocus()) target = activeControl_->Handle();
  if (target != 0 && GetFocus() != target) tw::SetFocus(target);
}

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (activeControl_ == control) return;
  if (control != nullptr &&
      (control == this || GetParentForm(control) != this ||
       (!ComponentState().Contains(TComponentStateFlag::csLoading) && !control->CanFocus())))
    throw EInvalidOperation(kCannotFocus);
  activeControl_ = control;
  if (active_ && !ComponentState().Contains(TComponentStateFlag::csLoading)) SetWindowFocus();
}

void TCustomForm::FocusControl(TWinControl* control) {
  const bool wasActive = active_;
  SetActiveControl(control);
  if (!wasActive)
    SetFocus();
  else if (control != nullptr && !control->Focused())
    SetWindowFocus();
}

bool TCustomForm::CanFocus() const { return Visible() && Enabled(); }

void TCustomForm::SetFocus() {
  if (Parent() != nullptr) {
    TWinControl::SetFocus();
    return;
  }
  if (!Visible() || !Enabled()) throw EInvalidOperation(kCannotFocus);
  if (!active_) SetActiveWindow(Handle());
  SetWindowFocus();
}

bool TCustomForm::SetFocusedControl(TWinControl* control) {
  if (control == nullptr) control = this;
  if (control != this) activeControl_ = control;
  Screen()->SetActiveControl(control == this ? nullptr : control);
  if (focusedControl_ == control) return true;
  TWinControl* old = focusedControl_;
  focusedControl_ = control;
  if (old != nullptr && old != this) {
    for (TWinControl* c = old; c != nullptr && c != this; c = c->Parent()) {
      if (c->ContainsControl(control)) break;
      c->Perform(CM_EXIT, 0, 0);
      if (focusedControl_ != control) return false;
    }
  }
  std::vector<TWinControl*> chain;
  for (TWinControl* c = control; c != nullptr && c != this; c = c->Parent()) {
    if (old != nullptr && c->ContainsControl(old)) break;
    chain.push_back(c);
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    (*it)->Perform(CM_ENTER, 0, 0);
    if (focusedControl_ != control) return false;
  }
  return true;
}

void TCustomForm::ControlRemoved(TControl* control) {
  if (control == nullptr || control == this) return;
  auto inside = [control](const TControl* c) {
    for (; c != nullptr; c = c->Parent())
      if (c == control) return true;
    return false;
  };
  const bool hadFocus = focusedControl_ != nullptr && focusedControl_ != this && inside(focusedControl_);
  if (activeControl_ != nullptr && inside(activeControl_)) activeControl_ = nullptr;
  if (hadFocus) {
    focusedControl_ = this;
    if (TScreen* screen = ScreenIfAny()) screen->SetActiveControl(nullptr);
    if (HandleAllocated() && active_ && !ComponentState().Contains(TComponentStateFlag::csDestroying))
      tw::SetFocus(handle_);
  }
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component != nullptr) {
    if (static_cast<TComponent*>(activeControl_) == component) activeControl_ = nullptr;
    if (static_cast<TComponent*>(focusedControl_) == component) focusedControl_ = nullptr;
  }
}

// --- painting

void TCustomForm::PaintWindow(HDC dc) {
  PaintWithCanvas(*canvas_, dc, *this, [this] { Paint(); });
}

void TCustomForm::Paint() {
  FireEvent(OnPaint, this);
}

void TCustomForm::DestroyWnd() {
  canvas_->FreeHandle();
  active_ = false;
  TWinControl::DestroyWnd();
}

// --- keys

void TCustomForm::CMDialogKeyForm(TMessage& msg) {
  if (GetKeyState(static_cast<int>(VK_MENU)) >= 0) {
    switch (static_cast<UINT>(msg.WParam)) {
      case VK_TAB:
        if (GetKeyState(static_cast<int>(VK_CONTROL)) >= 0) {
          SelectNext(activeControl_, GetKeyState(static_cast<int>(VK_SHIFT)) >= 0, true);
          msg.Result = 1;
          return;
        }
        break;
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN:
        if (activeControl_ != nullptr && activeControl_->Parent() != nullptr) {
          const UINT key = static_cast<UINT>(msg.WParam);
          activeControl_->Parent()->SelectNext(activeControl_, key == VK_RIGHT || key == VK_DOWN, false);
          msg.Result = 1;
          return;
        }
        break;
      default: break;
    }
  }
  InheritedMessage(TCustomForm::StaticClass(), msg);
}

// --- closing

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  FireEvent(OnCloseQuery, this, canClose);
  return canClose;
}

void TCustomForm::DoClose(TCloseAction& action) {
  FireEvent(OnClose, this, action);
}

void TCustomForm::Close() {
  if (formState_.Contains(TFormStateFlag::fsModal)) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = TCloseAction::caHide;
  DoClose(action);
  if (action == TCloseAction::caNone) return;
  if (Application()->MainForm() == this) {
    Application()->Terminate();
    return;
  }
  switch (action) {
    case TCloseAction::caHide: Hide(); break;
    case TCloseAction::caMinimize: SetWindowState(TWindowState::wsMinimized); break;
    case TCloseAction::caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::WMClose(TMessage&) { Close(); }

void TCustomForm::Release() { PostMessage(Handle(), CM_RELEASE, 0, 0); }

void TCustomForm::CMRelease(TMessage&) { Free(); }

void TCustomForm::CloseModal() {
  try {
    TCloseAction action = TCloseAction::caNone;
    if (CloseQuery()) {
      action = TCloseAction::caHide;
      DoClose(action);
    }
    switch (action) {
      case TCloseAction::caNone: modalResult_ = mrNone; break;
      case TCloseAction::caFree: Release(); break;
      default: break;
    }
  } catch (...) {
    modalResult_ = mrNone;
    HandleWindowException(this);
  }
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || formState_.Contains(TFormStateFlag::fsModal) || Parent() != nullptr)
    throw EInvalidOperation("Cannot make a visible window modal");
  if (GetCapture() != 0) {
    SendMessage(GetCapture(), WM_CANCELMODE, 0, 0);
    ReleaseCapture();
  }
  formState_.Include(TFormStateFlag::fsModal);
  HWND previousActive = GetActiveWindow();
  // The window the user worked in owns this one while it is up, so that the window manager
  // keeps it above that window (a captioned window: a pop-up such as the splash picture is
  // no window to stay above).
  const HWND self = Handle();
  const HWND previousOwner = GetWindow(self, GW_OWNER);
  HWND owner = previousActive;
  if (owner == self || owner == 0 || !IsWindowVisible(owner) ||
      (static_cast<DWORD>(GetWindowLongPtr(owner, GWL_STYLE)) & WS_CAPTION) != WS_CAPTION) {
    TCustomForm* main = Application()->MainForm();
    owner = main != nullptr && main != this && main->HandleAllocated() && IsWindowVisible(main->handle_) ? main->handle_ : 0;
  }
  if (owner != 0) SetWindowLongPtr(self, GWLP_HWNDPARENT, static_cast<LONG_PTR>(owner));
  // Every other shown window of the program is disabled while this one is up: no key, click
  // or close request reaches them.
  std::vector<HWND> disabled;
  struct Collect {
    HWND self;
    std::vector<HWND>* list;
  } collect{self, &disabled};
  EnumWindows(
      [](HWND h, LPARAM lp) {
        auto* c = reinterpret_cast<Collect*>(lp);
        if (h != c->self && IsWindowVisible(h) && IsWindowEnabled(h)) c->list->push_back(h);
        return true;
      },
      reinterpret_cast<LPARAM>(&collect));
  for (HWND h : disabled) EnableWindow(h, false);
  const std::vector<HWND> steppedAside = StepAsideStayOnTopPopups(this);
  auto restore = [&]() {
    for (HWND h : disabled) EnableWindow(h, true);
    if (owner != 0 && IsWindow(self)) SetWindowLongPtr(self, GWLP_HWNDPARENT, static_cast<LONG_PTR>(previousOwner));
    if (previousActive != 0 && IsWindow(previousActive)) SetActiveWindow(previousActive);
    BringBackStayOnTopPopups(steppedAside);
    formState_.Exclude(TFormStateFlag::fsModal);
  };
  try {
    modalResult_ = mrNone;
    Show();
    TApplication* app = Application();
    do {
      app->HandleMessage();
      if (app->Terminated())
        modalResult_ = mrCancel;
      else if (modalResult_ != mrNone)
        CloseModal();
    } while (modalResult_ == mrNone);
    Hide();
  } catch (...) {
    try {
      Hide();
    } catch (...) {
    }
    restore();
    throw;
  }
  restore();
  return modalResult_;
}

// --- TForm

TForm::TForm(TComponent* owner) : TCustomForm(owner) {}

}  // namespace tw
