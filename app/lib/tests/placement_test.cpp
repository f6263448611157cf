#include "app/lib/placement.h"

#include "app/lib/orvform.h"
#include "app/lib/tests/applib_test_util.h"
#include "app/lib/winregistry.h"

namespace tw::app::test {
namespace {

TEST(NextListIntTest, TakesNumbersOffTheFrontOfACommaList) {
  std::string s = "-5,12a,7,1-2,99999999999";
  std::vector<int> got;
  for (int i = 0; i < 7; ++i) got.push_back(NextListInt(s));
  // "12a" gives 12 and drops the "a"; the comma then gives 0; bad or huge runs give 0.
  EXPECT_EQ(got, (std::vector<int>{-5, 12, 0, 7, 0, 0, 0}));
  EXPECT_EQ(s, "");
}

class PlacementTest : public AppLibTest {
 protected:
  TOrvForm* NewForm(const std::string& name) {
    auto* form = Application()->CreateForm<TOrvForm>();
    form->SetName(name);
    form->SetBounds(40, 30, 300, 200);
    return form;
  }
  static void Store(const std::string& section, const std::string& value) {
    TWinRegistry(SettingsKey()).WriteString(section, "WindowPosition", value);
  }
};

TEST_F(PlacementTest, HidingStoresAndShowingRestores) {
  TOrvForm* form = NewForm("frmMain");
  form->Show();
  form->SetBounds(120, 80, 420, 260);
  form->Hide();
  EXPECT_EQ(TWinRegistry(SettingsKey()).ReadString("frmMain", "WindowPosition", ""), "80,120,420,260");
  form->SetBounds(0, 0, 200, 100);
  form->Show();
  EXPECT_EQ(form->BoundsRect(), Rect(120, 80, 540, 340));
}

TEST_F(PlacementTest, DamagedValuesLeaveTheDesignedPlace) {
  TOrvForm* form = NewForm("frmMain");
  for (const char* value : {"10,20,0,300", "garbage", ",,,", "10,20,-5,300", "1,2,3", "5,5,200000,300"}) {
    Store("frmMain", value);
    form->Placement1->LoadFromRegistry();
    EXPECT_EQ(form->BoundsRect(), Rect(40, 30, 340, 230)) << value;
  }
}

TEST_F(PlacementTest, OffScreenWindowsComeBackAndFixedBordersKeepTheirSize) {
  TOrvForm* form = NewForm("frmMain");
  Store("frmMain", "-5000,90000,400,300");
  form->Placement1->LoadFromRegistry();
  EXPECT_EQ(form->BoundsRect(), Rect(Screen()->Width() - 400, 0, Screen()->Width(), 300));
  Store("frmMain", "10,10,99999,99999");
  form->Placement1->LoadFromRegistry();
  EXPECT_EQ(form->BoundsRect(), Rect(0, 0, Screen()->Width(), Screen()->Height()));

  TOrvForm* dialog = NewForm("frmOptions_1");
  dialog->SetBorderStyle(TFormBorderStyle::bsDialog);
  dialog->SetBounds(40, 30, 300, 200);
  Store("frmOptions", "15,25,640,480");
  dialog->Placement1->LoadFromRegistry();
  EXPECT_EQ(dialog->BoundsRect(), Rect(25, 15, 325, 215));
}

}  // namespace
}  // namespace tw::app::test
