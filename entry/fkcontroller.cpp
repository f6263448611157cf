#include "entry/fkcontroller.h"

#include "entry/fkexcept.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/forms.h"

namespace tw::entry {

TW_PUBLISHED(TFkController, Prop("BtnCancel", &TFkController::GetBtnCancel, &TFkController::SetBtnCancel),
             Prop("BtnHelp", &TFkController::GetBtnHelp, &TFkController::SetBtnHelp),
             Prop("BtnRestore", &TFkController::GetBtnRestore, &TFkController::SetBtnRestore),
             Prop("EntryCommands", &TFkController::EntryCommands),
             Prop("Epoch", &TFkController::Epoch, &TFkController::SetEpoch),
             Prop("Version", &TFkController::Version, &TFkController::SetVersion),
             Prop("OnDelayNotify", &TFkController::OnDelayNotify),
             Prop("OnError", &TFkController::OnError),
             Prop("OnIsSpecialControl", &TFkController::OnIsSpecialControl),
             Prop("OnPostEdit", &TFkController::OnPostEdit),
             Prop("OnPreEdit", &TFkController::OnPreEdit),
             Prop("OnTimerTrigger", &TFkController::OnTimerTrigger));
TW_REGISTER_CLASS(TFkController);

TW_PUBLISHED(TFkBase, Prop("Controller", &TFkBase::Controller, &TFkBase::SetController),
             Prop("Version", &TFkBase::Version, &TFkBase::SetVersion),
             Prop("AfterEnter", &TFkBase::AfterEnter),
             Prop("AfterExit", &TFkBase::AfterExit));

// ---- TFkController

TFkController::TFkController(TComponent* owner)
    : TComponent(owner), commands_(std::make_unique<TFkCommandProcessor>()), timerPool_(new TFkTimerPool(this)) {
  timerPool_->OnAllTriggers = [this](TObject* sender, std::int32_t handle, std::uint16_t interval, std::int32_t elapsed) {
    FireEvent(OnTimerTrigger, sender, handle, interval, elapsed);
  };
}

TFkController::~TFkController() {
  commands_.reset();
  if (window_ != 0) DeallocateHWnd(window_);
  window_ = 0;
}

void TFkController::SetEpoch(int value) {
  if (value != epoch_ && value >= 1600 && value <= 3999) epoch_ = value;
}

void TFkController::SetButton(TWinControl*& slot, TWinControl* c) {
  slot = c;
  if (c != nullptr) c->FreeNotification(this);
}

void TFkController::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove) {
    if (component == BtnCancel) BtnCancel = nullptr;
    if (component == BtnHelp) BtnHelp = nullptr;
    if (component == BtnRestore) BtnRestore = nullptr;
    for (auto it = pendingSenders_.begin(); it != pendingSenders_.end();)
      it = it->second == component ? pendingSenders_.erase(it) : std::next(it);
  }
}

HWND TFkController::Handle() {
  if (window_ == 0) window_ = AllocateHWnd([this](TMessage& m) { WndProc(m); });
  return window_;
}

bool TFkController::IsSpecialControl(HWND window) {
  for (TWinControl* b : {BtnCancel, BtnHelp, BtnRestore})
    if (b != nullptr && b->HandleAllocated() && b->Handle() == window) return true;
  if (OnIsSpecialControl) {
    bool special = false;
    FireEvent(OnIsSpecialControl, this, TWinControl::FindControl(window), special);
    return special;
  }
  return false;
}

void TFkController::ReportFieldError(TObject* sender, std::uint16_t code, const std::string& message) {
  if (OnError) {
    FireEvent(OnError, sender, code, message);
    return;
  }
  Application()->MessageBox(message, Application()->Title(), MB_OK | MB_ICONHAND);
}

void TFkController::PostNotify(UINT message, WPARAM wParam, TObject* sender) {
  if (auto* component = dynamic_cast<TComponent*>(sender); component != nullptr && component != this)
    component->FreeNotification(this);
  const LPARAM id = ++lastSenderId_;
  pendingSenders_[id] = sender;
  PostMessage(Handle(), message, wParam, id);
}

bool TFkController::TakeSender(LPARAM id, TObject*& sender) {
  auto it = pendingSenders_.find(id);
  if (it == pendingSenders_.end()) return false;
  sender = it->second;
  pendingSenders_.erase(it);
  return true;
}

void TFkController::NotifyPreEdit(TObject* sender, TWinControl* losing) {
  WPARAM w = (losing != nullptr && losing->HandleAllocated()) ? static_cast<WPARAM>(losing->Handle()) : 0;
  PostNotify(FK_PREEDIT, w, sender);
}

void TFkController::NotifyPostEdit(TObject* sender, TWinControl* gaining) {
  WPARAM w = (gaining != nullptr && gaining->HandleAllocated()) ? static_cast<WPARAM>(gaining->Handle()) : 0;
  PostNotify(FK_POSTEDIT, w, sender);
}

void TFkController::DelayNotify(TObject* sender, std::uint16_t code) { PostNotify(FK_DELAYNOTIFY, code, sender); }

void TFkController::WndProc(TMessage& msg) {
  switch (msg.Msg) {
    case FK_SHOWCONTROL: {
      // The posted control may have gone meanwhile: only a live window of this program counts.
      auto* target = reinterpret_cast<TWinControl*>(msg.LParam);
      HWND w = static_cast<HWND>(msg.WParam);
      // A failed field that cannot take the focus back (gone or disabled meanwhile) would
      // hold the error latch for good, and every field entered later would skip its checks.
      if (w == 0 || TWinControl::FindControl(w) != target) {
        ErrorPending = false;
        return;
      }
      try {
        if (target->Parent() != nullptr) target->Parent()->Show();
        target->Show();
        if (target->CanFocus()) target->SetFocus();
        else ErrorPending = false;
      } catch (...) {
        ErrorPending = false;
        Application()->HandleException(this);
      }
      return;
    }
    case FK_PREEDIT:
    case FK_POSTEDIT:
    case FK_DELAYNOTIFY: {
      TObject* sender = nullptr;
      if (!TakeSender(msg.LParam, sender)) return;
      if (msg.Msg == FK_DELAYNOTIFY)
        FireEvent(OnDelayNotify, sender, static_cast<std::uint16_t>(msg.WParam & 0xFFFF));
      else
        FireEvent(msg.Msg == FK_PREEDIT ? OnPreEdit : OnPostEdit, sender,
                  TWinControl::FindControl(static_cast<HWND>(msg.WParam)));
      return;
    }
    default:
      msg.Result = DefWindowProc(window_, msg.Msg, msg.WParam, msg.LParam);
  }
}

// ---- TFkBase

TW_MESSAGE_MAP(TFkBase, tw::OnMessage<TFkBase, &TFkBase::WMSetFocus>(WM_SETFOCUS),
               tw::OnMessage<TFkBase, &TFkBase::WMKillFocus>(WM_KILLFOCUS),
               tw::OnMessage<TFkBase, &TFkBase::FKAfterEnter>(FK_AFTERENTER),
               tw::OnMessage<TFkBase, &TFkBase::FKAfterExit>(FK_AFTEREXIT));

TFkBase::TFkBase(TComponent* owner) : TCustomControl(owner) {}
TFkBase::~TFkBase() = default;

void TFkBase::SetController(TFkController* c) {
  controller_ = c;
  if (c != nullptr) c->FreeNotification(this);
}

void TFkBase::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == controller_) controller_ = nullptr;
  if (operation == TOperation::opInsert && controller_ == nullptr) {
    if (auto* c = dynamic_cast<TFkController*>(component)) SetController(c);
  }
}

namespace {

// The first controller among the form's components, in component order.
TFkController* FirstController(const TComponent* form) {
  if (form == nullptr) return nullptr;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* c = dynamic_cast<TFkController*>(form->Components(i))) return c;
  return nullptr;
}

// The nearest form up the chain of owners.
TCustomForm* OwnerForm(const TComponent* component) {
  for (TComponent* o = component->Owner(); o != nullptr; o = o->Owner())
    if (auto* form = dynamic_cast<TCustomForm*>(o)) return form;
  return nullptr;
}

}  // namespace

void TFkBase::CreateWnd() {
  if (controller_ == nullptr && !ComponentState().Contains(TComponentStateFlag::csLoading)) {
    // The form the control is shown in; when that holds none (a control on a floating
    // toolbar is shown in the toolbar's own window), the form that owns the control.
    TCustomForm* form = GetParentForm(this);
    TFkController* found = FirstController(form);
    if (found == nullptr) {
      TCustomForm* owner = OwnerForm(this);
      if (owner != form) found = FirstController(owner);
    }
    if (found != nullptr) SetController(found);
  }
  if (controller_ == nullptr && !ComponentState().Contains(TComponentStateFlag::csDesigning))
    throw ENoControllerAssigned();
  TCustomControl::CreateWnd();
}

void TFkBase::WMSetFocus(TMessage& msg) {
  InheritedMessage(TFkBase::StaticClass(), msg);
  PostMessage(Handle(), FK_AFTERENTER, 0, 0);
}

void TFkBase::WMKillFocus(TMessage& msg) {
  InheritedMessage(TFkBase::StaticClass(), msg);
  if (HandleAllocated()) PostMessage(Handle(), FK_AFTEREXIT, 0, 0);
}

void TFkBase::FKAfterEnter(TMessage&) { FireEvent(AfterEnter, this); }
void TFkBase::FKAfterExit(TMessage&) { FireEvent(AfterExit, this); }

}  // namespace tw::entry
