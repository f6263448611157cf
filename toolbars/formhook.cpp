#include "toolbars/formhook.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/forms/forms.h"
#include "toolbars/floatparent.h"
#include "toolbars/toolbar.h"

namespace tw::toolbars {

namespace {

struct FormHook {
  TCustomForm* form = nullptr;
  TComponent* component = nullptr;  // the same object, for the checks made while it is destroyed
  std::function<void(TMessage&)> previous;
  int appHookId = 0;
  int refCount = 0;
};

std::vector<std::shared_ptr<FormHook>>& Hooks() {
  static std::vector<std::shared_ptr<FormHook>> hooks;
  return hooks;
}

std::shared_ptr<FormHook> Find(const TComponent* form) {
  for (auto& h : Hooks())
    if (h->component == form) return h;
  return nullptr;
}

bool FormMinimized(TCustomForm* form) {
  return form->WindowState() == TWindowState::wsMinimized ||
         (form->HandleAllocated() && IsIconic(form->Handle()));
}

void UpdateFloating(TCustomForm* form, bool appActive) {
  SetFloatingBarsVisible(form, appActive && !FormMinimized(form) && form->Visible());
}

// The form's toolbars that are not being freed and have their floating window.
std::vector<TToolbarX*> LiveBars(TCustomForm* form) {
  std::vector<TToolbarX*> bars;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* bar = dynamic_cast<TToolbarX*>(form->Components(i)))
      if (!bar->ComponentState().Contains(TComponentStateFlag::csDestroying) && bar->FloatParent() != nullptr)
        bars.push_back(bar);
  return bars;
}

// Whether `window` is the floating window of one of the form's toolbars.
bool IsToolbarWindow(TCustomForm* form, HWND window) {
  if (window == 0) return false;
  for (TToolbarX* bar : LiveBars(form))
    if (bar->FloatParent()->HandleAllocated() && bar->FloatParent()->Handle() == window) return true;
  return false;
}

void RedrawCaptions(TCustomForm* form, bool active) {
  for (TToolbarX* bar : LiveBars(form))
    if (bar->FloatParent()->CaptionActive() != active) bar->FloatParent()->SetCaptionActive(active);
}

void FormProc(const std::shared_ptr<FormHook>& hook, TMessage& msg) {
  TCustomForm* form = hook->form;
  if (hook->component->ComponentState().Contains(TComponentStateFlag::csDestroying)) {
    auto previous = hook->previous;
    if (previous) previous(msg);
    return;
  }
  switch (msg.Msg) {
    case WM_NCACTIVATE: {
      // The form's caption stays active while one of its floating bars is the active window.
      const bool active = msg.WParam != 0 || IsToolbarWindow(form, GetActiveWindow());
      msg.WParam = active ? 1 : 0;
      RedrawCaptions(form, active);
      break;
    }
    case WM_ACTIVATE: {
      const bool active = LOWORD(msg.WParam) != WA_INACTIVE || IsToolbarWindow(form, static_cast<HWND>(msg.LParam));
      RedrawCaptions(form, active);
      break;
    }
    case WM_SETFOCUS:
      // Focus arriving at the form while its active control sits in a toolbar stays with the
      // form; the control is not re-focused.
      if (form->ActiveControl() != nullptr && form->FormStyle() != TFormStyle::fsMDIChild) {
        for (TControl* c = form->ActiveControl(); c != nullptr; c = c->Parent())
          if (c->Is<TToolbarX>()) {
            msg.Result = 0;
            return;
          }
      }
      break;
    default:
      break;
  }
  auto previous = hook->previous;
  if (previous) previous(msg);
  if (msg.Msg == WM_ACTIVATE || msg.Msg == WM_SIZE || msg.Msg == WM_WINDOWPOSCHANGED) {
    if (!hook->component->ComponentState().Contains(TComponentStateFlag::csDestroying))
      UpdateFloating(form, Application()->Active() || form->Active());
  }
}

}  // namespace

void InstallFormHook(TCustomForm* form) {
  if (form == nullptr) return;
  if (auto h = Find(form)) {
    ++h->refCount;
    return;
  }
  auto hook = std::make_shared<FormHook>();
  hook->form = form;
  hook->component = form;
  hook->refCount = 1;
  hook->previous = form->WindowProc;
  std::weak_ptr<FormHook> weak = hook;
  form->WindowProc = [weak](TMessage& msg) {
    if (auto h = weak.lock()) FormProc(h, msg);
  };
  hook->appHookId = Application()->HookMainWindow([weak](TMessage& msg) {
    auto h = weak.lock();
    if (!h || h->component->ComponentState().Contains(TComponentStateFlag::csDestroying)) return false;
    if (msg.Msg == CM_ACTIVATE || msg.Msg == CM_DEACTIVATE) {
      const bool active = msg.Msg == CM_ACTIVATE;
      UpdateFloating(h->form, active);
      if (h->form->HandleAllocated()) SendMessage(h->form->Handle(), WM_NCACTIVATE, active ? 1 : 0, 0);
    }
    return false;
  });
  Hooks().push_back(hook);
}

void RemoveFormHook(TComponent* form) {
  auto hook = Find(form);
  if (!hook || --hook->refCount > 0) return;
  auto& hooks = Hooks();
  hooks.erase(std::remove(hooks.begin(), hooks.end(), hook), hooks.end());
  // A form being destroyed keeps its procedure: nothing will call it any more.
  if (!hook->component->ComponentState().Contains(TComponentStateFlag::csDestroying))
    hook->form->WindowProc = hook->previous;
  Application()->UnhookMainWindow(hook->appHookId);
}

int FormHookCount(const TComponent* form) {
  auto h = Find(form);
  return h ? h->refCount : 0;
}

}  // namespace tw::toolbars
