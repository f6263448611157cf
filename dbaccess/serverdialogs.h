// The server login and server-pick dialogs, and the prompt that sessions use to show them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dbaccess/clientcomms.h"
#include "platform/forms/forms.h"

namespace tw {
class TLabel;
class TEdit;
class TBitBtn;
class TComboBox;
}  // namespace tw

namespace tw::dbaccess {

// "Quarnel Server Login": user name and password for a server.
class TQNLoginDialog : public TForm {
  TW_CLASS(TQNLoginDialog, TForm)
 public:
  explicit TQNLoginDialog(TComponent* Owner);
  TLabel* ServerLbl;
  TEdit* UserNameEdt;
  TEdit* PasswordEdt;
  TBitBtn* BitBtn1;
  TBitBtn* BitBtn2;
  // OK: closes with OK only when both edits hold text; else the first empty edit gets the
  // focus and the speaker beeps.
  void BitBtn1Click(TObject* Sender);
};

// "Quarnel Server Selection": one of the servers that answered.
class TQNPickServerDlg : public TForm {
  TW_CLASS(TQNPickServerDlg, TForm)
 public:
  explicit TQNPickServerDlg(TComponent* Owner);
  TComboBox* CBNames;
  TBitBtn* OKBtn;
  void SetNames(const std::vector<std::string>& Names);
};

// Shows the dialogs modally; each is made for one use and freed after it.
class TFormsLoginPrompt : public TLoginPrompt {
 public:
  bool Login(const std::string& Server, std::string& User, std::string& Password) override;
  bool PickServer(const std::vector<std::string>& Names, std::string& Chosen) override;
};

// Makes sessions ask through the dialogs.
void RegisterServerDialogs();

}  // namespace tw::dbaccess
