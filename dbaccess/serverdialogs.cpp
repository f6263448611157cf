#include "dbaccess/serverdialogs.h"

#include "dbaccess/errortext.h"
#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/stdctrls/buttons.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/win/winapi.h"

namespace tw::dbaccess {

namespace {
TLabel* MakeLabel(TWinControl* Parent, const std::string& Caption, int Left, int Top) {
  auto* l = new TLabel(Parent);
  l->SetParent(Parent);
  l->SetCaption(Caption);
  l->SetBounds(Left, Top, 100, 16);
  return l;
}
}  // namespace

TQNLoginDialog::TQNLoginDialog(TComponent* Owner) : TForm(Owner) {
  SetCaption(ClientString(csLoginCaption));
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetBounds(0, 0, 300, 170);
  MakeLabel(this, "Server Name: ", 12, 16);
  MakeLabel(this, "User Name: ", 12, 48);
  MakeLabel(this, "Password: ", 12, 80);
  ServerLbl = MakeLabel(this, "", 110, 16);
  ServerLbl->SetName("ServerLbl");
  UserNameEdt = new TEdit(this);
  UserNameEdt->SetName("UserNameEdt");
  UserNameEdt->SetParent(this);
  UserNameEdt->SetBounds(110, 44, 170, 22);
  UserNameEdt->SetText("");
  PasswordEdt = new TEdit(this);
  PasswordEdt->SetName("PasswordEdt");
  PasswordEdt->SetParent(this);
  PasswordEdt->SetBounds(110, 76, 170, 22);
  PasswordEdt->SetPasswordChar('*');
  PasswordEdt->SetText("");
  BitBtn1 = new TBitBtn(this);
  BitBtn1->SetName("BitBtn1");
  BitBtn1->SetParent(this);
  BitBtn1->SetCaption("OK");
  BitBtn1->SetBounds(110, 110, 80, 26);
  BitBtn1->OnClick = [this](TObject* Sender) { BitBtn1Click(Sender); };
  BitBtn2 = new TBitBtn(this);
  BitBtn2->SetName("BitBtn2");
  BitBtn2->SetParent(this);
  BitBtn2->SetKind(TBitBtnKind::bkCancel);
  BitBtn2->SetBounds(200, 110, 80, 26);
  SetActiveControl(UserNameEdt);
}

void TQNLoginDialog::BitBtn1Click(TObject*) {
  if (UserNameEdt->GetText().empty()) {
    SetActiveControl(UserNameEdt);
    MessageBeep(0);
    return;
  }
  if (PasswordEdt->GetText().empty()) {
    SetActiveControl(PasswordEdt);
    MessageBeep(0);
    return;
  }
  SetModalResult(mrOk);
}

TQNPickServerDlg::TQNPickServerDlg(TComponent* Owner) : TForm(Owner) {
  SetCaption(ClientString(csPickServerCaption));
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetPosition(TPosition::poScreenCenter);
  SetBounds(0, 0, 260, 130);
  MakeLabel(this, "Login to:", 12, 16);
  CBNames = new TComboBox(this);
  CBNames->SetName("CBNames");
  CBNames->SetParent(this);
  CBNames->SetStyle(TComboBoxStyle::csDropDownList);
  CBNames->SetBounds(12, 36, 230, 22);
  OKBtn = new TBitBtn(this);
  OKBtn->SetName("OKBtn");
  OKBtn->SetParent(this);
  OKBtn->SetKind(TBitBtnKind::bkOK);
  OKBtn->SetBounds(88, 72, 80, 26);
}

void TQNPickServerDlg::SetNames(const std::vector<std::string>& Names) {
  CBNames->Items()->Clear();
  for (const auto& n : Names) CBNames->Items()->Add(n);
  if (!Names.empty()) CBNames->SetItemIndex(0);
}

bool TFormsLoginPrompt::Login(const std::string& Server, std::string& User, std::string& Password) {
  std::unique_ptr<TQNLoginDialog> dlg(new TQNLoginDialog(nullptr));
  dlg->ServerLbl->SetCaption(Server);
  dlg->UserNameEdt->SetText(User);
  if (dlg->ShowModal() != mrOk) return false;
  User = dlg->UserNameEdt->GetText();
  Password = dlg->PasswordEdt->GetText();
  return true;
}

bool TFormsLoginPrompt::PickServer(const std::vector<std::string>& Names, std::string& Chosen) {
  std::unique_ptr<TQNPickServerDlg> dlg(new TQNPickServerDlg(nullptr));
  dlg->SetNames(Names);
  if (dlg->ShowModal() != mrOk || dlg->CBNames->ItemIndex() < 0) return false;
  Chosen = dlg->CBNames->Items()->Get(dlg->CBNames->ItemIndex());
  return true;
}

void RegisterServerDialogs() { SetLoginPrompt(std::make_shared<TFormsLoginPrompt>()); }

}  // namespace tw::dbaccess
