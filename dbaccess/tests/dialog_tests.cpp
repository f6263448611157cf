// The login and server-pick dialogs on the offscreen display.
#include "dbaccess/serverdialogs.h"
#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/stdctrls/buttons.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/win/display.h"
#include "testsupport.h"

namespace tw::dbaccess::test {
namespace {

class ServerDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
  }
  void TearDown() override { DoneApplication(); }
};

TEST_F(ServerDialogs, LoginOkNeedsBothEditsAndFocusesTheFirstEmptyOne) {
  std::unique_ptr<TQNLoginDialog> dlg(new TQNLoginDialog(nullptr));
  EXPECT_EQ(dlg->Caption(), "Quarnel Server Login");
  dlg->BitBtn1Click(dlg->BitBtn1);
  EXPECT_EQ(dlg->ModalResult(), mrNone);
  EXPECT_EQ(dlg->ActiveControl(), dlg->UserNameEdt);
  dlg->UserNameEdt->SetText("guest");
  dlg->BitBtn1Click(dlg->BitBtn1);
  EXPECT_EQ(dlg->ModalResult(), mrNone);
  EXPECT_EQ(dlg->ActiveControl(), dlg->PasswordEdt);
  dlg->PasswordEdt->SetText("secret");
  dlg->BitBtn1Click(dlg->BitBtn1);
  EXPECT_EQ(dlg->ModalResult(), mrOk);
  EXPECT_EQ(dlg->BitBtn2->Kind(), TBitBtnKind::bkCancel);
}

TEST_F(ServerDialogs, PickDialogOffersTheNamesWithTheFirstSelected) {
  std::unique_ptr<TQNPickServerDlg> dlg(new TQNPickServerDlg(nullptr));
  EXPECT_EQ(dlg->Caption(), "Quarnel Server Selection");
  dlg->SetNames({"North", "South"});
  EXPECT_EQ(dlg->CBNames->Items()->Count(), 2);
  EXPECT_EQ(dlg->CBNames->ItemIndex(), 0);
  EXPECT_EQ(dlg->CBNames->Items()->Get(0), "North");
}

}  // namespace
}  // namespace tw::dbaccess::test
