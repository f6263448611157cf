// TApplication: the message loop, the main form, idle processing and exception handling.
#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <limits.h>

#include "platform/forms/controlsinternal.h"
#include "platform/forms/hintwindow.h"
#include "platform/forms/forms.h"
#include "platform/rtl/exceptions.h"

namespace tw {

namespace {

TApplication* g_application = nullptr;

int DefaultMessageBox(const std::string& text, const std::string& caption, unsigned) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  return mrOk;
}

TMessageBoxFunc& MessageBoxSlot() {
  static TMessageBoxFunc func = DefaultMessageBox;
  return func;
}

}  // namespace

void SetMessageBoxFunc(TMessageBoxFunc func) { MessageBoxSlot() = func ? std::move(func) : TMessageBoxFunc(DefaultMessageBox); }

const TMessageBoxFunc& MessageBoxFunc() { return MessageBoxSlot(); }

TApplication* Application() {
  if (g_application == nullptr) g_application = new TApplication(nullptr);
  return g_application;
}

TApplication* ApplicationIfAny() { return g_application; }

void HandleWindowException(TObject* sender) {
  Application()->HandleException(sender);
}

void ControlDestroying(TControl* control) {
  HintControlGone(control);
  if (TApplication* app = g_application) {
    if (static_cast<TControl*>(app->mainForm_) == control) app->mainForm_ = nullptr;
    if (app->mouseControl_ == control) app->mouseControl_ = nullptr;
  }
  if (TScreen* screen = ScreenIfAny()) {
    if (static_cast<TControl*>(screen->activeControl_) == control) screen->activeControl_ = nullptr;
    if (static_cast<TControl*>(screen->activeForm_) == control) screen->activeForm_ = nullptr;
  }
}

void ControlMouseMoved(TControl* control) {
  TApplication* app = g_application;
  if (app == nullptr || app->mouseControl_ == control) return;
  TControl* old = app->mouseControl_;
  app->mouseControl_ = control;
  if (old != nullptr) old->Perform(CM_MOUSELEAVE, 0, 0);
  if (app->mouseControl_ != control) return;  // the leave handler moved on
  control->Perform(CM_MOUSEENTER, 0, 0);
  app->SetHint(control->Hint());
  HintMouseOver(control);
}

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  std::string exe = ExeName();
  std::size_t slash = exe.find_last_of('/');
  std::string base = slash == std::string::npos ? exe : exe.substr(slash + 1);
  std::size_t dot = base.find_last_of('.');
  title_ = dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

TApplication::~TApplication() {
  Destroying();
  // The forms go first, while the application can still be asked about them.
  DestroyComponents();
  mainForm_ = nullptr;
  if (handle_ != 0) DeallocateHWnd(handle_);
  handle_ = 0;
}

void TApplication::Initialize() {}

namespace {
TFormInitializer& FormInitializer() {
  static TFormInitializer initializer;
  return initializer;
}
}  // namespace

void SetFormInitializer(TFormInitializer initializer) { FormInitializer() = std::move(initializer); }

void TApplication::RegisterCreatedForm(TCustomForm* form) {
  if (form == nullptr) return;
  if (FormInitializer()) {
    try {
      FormInitializer()(form);
    } catch (...) {
      form->Free();
      throw;
    }
  }
  form->AfterConstruction();
  if (mainForm_ == nullptr) mainForm_ = form;
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && static_cast<TComponent*>(mainForm_) == component) mainForm_ = nullptr;
}

HWND TApplication::Handle() {
  if (handle_ == 0) handle_ = AllocateHWnd([this](TMessage& msg) { WndProc(msg); });
  return handle_;
}

int TApplication::HookMainWindow(TWindowHook hook) {
  const int id = nextHookId_++;
  hooks_.emplace_back(id, std::move(hook));
  return id;
}

void TApplication::UnhookMainWindow(int id) {
  hooks_.erase(std::remove_if(hooks_.begin(), hooks_.end(), [id](const auto& h) { return h.first == id; }),
               hooks_.end());
}

void TApplication::WndProc(TMessage& msg) {
  // A copy: a hook may unhook itself or others.
  const auto hooks = hooks_;
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
    if (it->second && it->second(msg)) return;
  switch (msg.Msg) {
    case CM_ACTIVATE: FireEvent(OnActivate, this); break;
    case CM_DEACTIVATE: FireEvent(OnDeactivate, this); break;
    default: msg.Result = DefWindowProc(handle_, msg.Msg, msg.WParam, msg.LParam); break;
  }
}

void TApplication::ActivateChanged(bool active) {
  if (active_ == active) return;
  active_ = active;
  SendMessage(Handle(), active ? CM_ACTIVATE : CM_DEACTIVATE, 0, 0);
}

std::string TApplication::ExeName() const {
  char buffer[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<std::size_t>(n));
}

void TApplication::SetHint(const std::string& hint) {
  if (hint_ == hint) return;
  hint_ = hint;
  FireEvent(OnHint, this);
}

// --- the loop

bool TApplication::IsKeyMsg(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND target = GetCapture();
  if (target == 0) target = msg.hwnd;
  TWinControl* control = TWinControl::FindControl(target);
  if (control == nullptr) return false;
  return control->Perform(CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  // A press of a key or a mouse button ends the hint that shows.
  switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_MOUSEWHEEL:
      CancelHint();
      break;
    default:
      break;
  }
  try {
    bool handled = false;
    FireEvent(OnMessage, msg, handled);
    if (!handled && !IsKeyMsg(msg)) {
      TranslateMessage(&msg);
      DispatchMessage(&msg);
    }
  } catch (...) {
    HandleException(this);
  }
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
  }
}

void TApplication::Idle() {
  bool done = true;
  try {
    FireEvent(OnIdle, this, done);
  } catch (...) {
    HandleException(this);
  }
  if (done && !terminated_) WaitMessage();
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) Idle();
}

void TApplication::Run() {
  if (mainForm_ != nullptr && showMainForm_) {
    try {
      mainForm_->Show();
    } catch (...) {
      HandleException(this);
    }
  }
  while (!terminated_) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
}

void TApplication::Terminate() { PostQuitMessage(0); }

// --- exceptions

void TApplication::HandleException(TObject* sender) {
  std::exception_ptr current = std::current_exception();
  if (!current) return;
  try {
    try {
      std::rethrow_exception(current);
    } catch (const EAbort&) {
      // A silent exception ends an operation without a message.
    } catch (const std::exception& e) {
      if (OnException)
        FireEvent(OnException, sender, e);
      else
        ShowException(e);
    } catch (...) {
      const Exception e("Unknown exception");
      if (OnException)
        FireEvent(OnException, sender, e);
      else
        ShowException(e);
    }
  } catch (const std::exception& e) {
    // The handler itself failed: report that plainly rather than lose it.
    DefaultMessageBox(e.what(), title_, MB_OK | MB_ICONHAND);
  } catch (...) {
    DefaultMessageBox("Unknown exception", title_, MB_OK | MB_ICONHAND);
  }
}

void TApplication::ShowException(const std::exception& e) {
  std::string text = ExceptionMessage(e);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  MessageBox(text, title_, MB_OK | MB_ICONHAND);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  const TMessageBoxFunc& func = MessageBoxFunc();
  return func ? func(text, caption, flags) : DefaultMessageBox(text, caption, flags);
}

// --- the program's windows as a whole

void TApplication::Minimize() {
  TScreen* screen = Screen();
  for (int i = 0; i < screen->FormCount(); ++i) {
    TCustomForm* f = screen->Forms(i);
    if (f->HandleAllocated() && IsWindowVisible(f->Handle())) ShowWindow(f->Handle(), SW_MINIMIZE);
  }
  FireEvent(OnMinimize, this);
}

void TApplication::Restore() {
  TScreen* screen = Screen();
  for (int i = 0; i < screen->FormCount(); ++i) {
    TCustomForm* f = screen->Forms(i);
    if (f->HandleAllocated() && IsIconic(f->Handle())) ShowWindow(f->Handle(), SW_RESTORE);
  }
  FireEvent(OnRestore, this);
}

void TApplication::BringToFront() {
  if (mainForm_ != nullptr && mainForm_->Visible()) mainForm_->BringToFront();
}

void DoneApplication() {
  if (g_application != nullptr) {
    TApplication* app = g_application;
    app->Free();
    g_application = nullptr;
  }
  DoneScreen();
}

}  // namespace tw
