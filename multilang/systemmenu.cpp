// The owner form's system menu: Alt+Space opens it with the texts of the current language (the
// pseudo-properties SystemMenuRestore ... SystemMenuNextWindow); a choice sends its command to
// the form as the window system's own menu does.
#include "multilang/langswitch.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus/menus.h"
#include "platform/win/winapi.h"

namespace tw::multilang {

void TLangSwitch::HookSystemMenu() {
  if (ownerForm_ == nullptr || sysHook_) return;
  sysHook_ = std::make_shared<TLangSwitch*>(this);
  std::weak_ptr<TLangSwitch*> hook = sysHook_;
  auto previous = ownerForm_->WindowProc;
  ownerForm_->WindowProc = [hook, previous](TMessage& msg) {
    if (msg.Msg == WM_SYSCOMMAND && (msg.WParam & 0xFFF0) == SC_KEYMENU && msg.LParam == ' ') {
      // The form's first language component owns its system menu (the editor keeps further
      // components for other forms' sections on its window).
      if (auto alive = hook.lock(); alive && *alive != nullptr && (*alive)->IsFormsFirstSwitch()) {
        (*alive)->ShowSystemMenu();
        msg.Result = 0;
        return;
      }
    }
    previous(msg);
  };
}

bool TLangSwitch::IsFormsFirstSwitch() const {
  for (int i = 0; i < ownerForm_->ComponentCount(); ++i)
    if (auto* s = dynamic_cast<TLangSwitch*>(ownerForm_->Components(i))) return s == this;
  return false;
}

void TLangSwitch::FillSystemMenu() {
  static constexpr unsigned kCommands[] = {SC_RESTORE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, 0, SC_CLOSE};
  if (sysMenu_ == nullptr) sysMenu_ = new TPopupMenu(this);
  sysMenu_->Items()->Clear();
  TWindowState state = ownerForm_->WindowState();
  for (unsigned command : kCommands) {
    auto* item = new TMenuItem(sysMenu_);
    if (command == 0) {
      item->SetCaption("-");
    } else {
      item->SetCaption(SystemMenuText(command));
      item->SetTag(static_cast<int>(command));
      bool normal = state == TWindowState::wsNormal;
      if (command == SC_RESTORE) item->SetEnabled(!normal);
      if (command == SC_MOVE || command == SC_SIZE) item->SetEnabled(normal);
      if (command == SC_MINIMIZE) item->SetEnabled(state != TWindowState::wsMinimized);
      if (command == SC_MAXIMIZE) item->SetEnabled(state != TWindowState::wsMaximized);
      TCustomForm* form = ownerForm_;
      item->OnClick = [form, command](TObject*) { PostMessage(form->Handle(), WM_SYSCOMMAND, command, 0); };
    }
    sysMenu_->Items()->Add(item);
  }
}

void TLangSwitch::ShowSystemMenu() {
  if (ownerForm_ == nullptr) return;
  FillSystemMenu();
  POINT origin{0, 0};
  tw::ClientToScreen(ownerForm_->Handle(), &origin);
  sysMenu_->Popup(origin.X, origin.Y);
}

}  // namespace tw::multilang
