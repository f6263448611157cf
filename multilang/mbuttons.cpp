#include "multilang/mbuttons.h"

#include <functional>

#include "platform/classes/typinfo.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/forms.h"

namespace tw::multilang {
namespace {

std::string WithoutAmpersands(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != '&') out.push_back(c);
  return out;
}

void RetitleChildren(TWinControl* parent, const std::string& from, const std::string& to) {
  TControl* last = nullptr;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (auto* w = dynamic_cast<TWinControl*>(c); w != nullptr && w->ControlCount() > 0)
      RetitleChildren(w, from, to);
    if (dynamic_cast<TWinControl*>(c) != nullptr && c->Enabled() &&
        WithoutAmpersands(c->Caption().substr(0, 255)) == from)
      last = c;
  }
  if (last != nullptr) last->SetCaption(to.substr(0, 255));
}

}  // namespace

TMButtons::TMButtons(TComponent* owner) : TComponent(owner), captions_(std::make_unique<TStringList>()) {
  captions_->Add("OK|&OK");
  captions_->Add("Cancel|&Cancel");
  captions_->Add("Yes|&Yes");
  captions_->Add("No|&No");
}

TMButtons::~TMButtons() { SetActive(false); }

void TMButtons::SetActive(bool value) {
  if (value == Active() || ComponentState().Contains(TComponentStateFlag::csDesigning)) return;
  if (value) {
    hook_ = AddMessageBoxHook([this](TCustomForm* box) { Retitle(box); });
  } else {
    RemoveMessageBoxHook(hook_);
    hook_ = 0;
  }
}

void TMButtons::Retitle(TCustomForm* box) const {
  if (box == nullptr) return;
  if (!title_.empty()) box->SetCaption(title_);
  for (int i = 0; i < captions_->Count(); ++i) {
    const std::string& line = captions_->Strings(i);
    auto bar = line.find('|');
    if (bar == std::string::npos) continue;
    RetitleChildren(box, line.substr(0, bar), line.substr(bar + 1));
  }
}

TMOpenDialog::TMOpenDialog(TComponent* owner) : TOpenDialog(owner), font_(std::make_unique<TFont>()) {
  SetTitle("Open");
  SetCaptionFileName("Filename:");
  SetCaptionTypeList("File type:");
  SetCaptionDirectory("Directory");
  SetCaptionDrives("Drives");
  SetCaptionOK("&OK");
  SetCaptionCancel("&Cancel");
  SetCaptionHelp("&Help");
  SetCaptionReadOnly("&Read only");
  SetCaptionNetwork("&Network");
}

TMOpenDialog::~TMOpenDialog() = default;

void TMOpenDialog::SetFont(TFont* value) {
  if (value != nullptr) font_->Assign(value);
}

bool TMOpenDialog::Execute() {
  // The font is given to every control of the dialog before it shows; the user's OnShow
  // follows and is put back afterwards.
  TNotifyEvent user = OnShow;
  OnShow = [this, user](TObject* sender) {
    if (TForm* form = DialogForm()) {
      std::function<void(TWinControl*)> apply = [&](TWinControl* parent) {
        for (int i = 0; i < parent->ControlCount(); ++i) {
          TControl* c = parent->Controls(i);
          c->Font()->Assign(font_.get());
          if (auto* w = dynamic_cast<TWinControl*>(c)) apply(w);
        }
      };
      apply(form);
    }
    FireEvent(user, sender);
  };
  struct PutBack {
    TMOpenDialog* dialog;
    TNotifyEvent user;
    ~PutBack() { dialog->OnShow = user; }
  } putBack{this, user};
  return TOpenDialog::Execute();
}

TW_PUBLISHED(TMOpenDialog, Prop("Font", &TMOpenDialog::Font, &TMOpenDialog::SetFont));
TW_PUBLISHED(TMButtons, Prop("Captions", &TMButtons::Captions, &TMButtons::SetCaptions),
             Prop("Title", &TMButtons::Title, &TMButtons::SetTitle));
TW_REGISTER_CLASS(TMButtons);
TW_REGISTER_CLASS(TMOpenDialog);

}  // namespace tw::multilang
