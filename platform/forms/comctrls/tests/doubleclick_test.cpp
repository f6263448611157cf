// A left double click on any list control of this library fires OnDblClick once and hands the
// press on as OnMouseDown with ssDouble; the first click of the pair does the selecting.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "comctrls_test_util.h"
#include "platform/forms/comctrls/comctrls.h"

namespace tw::test {
namespace {

class DoubleClickTest : public ComCtrlsTest {
 protected:
  // Wires the log to `control`, shows the form and double-clicks at (x, y).
  void DoubleClickOn(TWinControl* control, int x, int y) {
    control->SetParent(form);
    control->SetBounds(10, 10, 200, 150);
    control->OnDblClick = [this](TObject*) { log.push_back("dbl"); };
    control->OnMouseDown = [this](TObject*, TMouseButton, TShiftState s, int, int) {
      log.push_back(s.Contains(TShiftStateFlag::ssDouble) ? "down2" : "down1");
    };
    ShowForm();
    InjectClick(control->Handle(), x, y);
    InjectDoubleClick(control->Handle(), x, y);
    Pump();
  }
  void ExpectOneDoubleClick() const {
    EXPECT_EQ(std::count(log.begin(), log.end(), "dbl"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "down2"), 1);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "down2") << "OnDblClick comes before the press is reported";
  }
  std::vector<std::string> log;
};

TEST_F(DoubleClickTest, ListBoxSelectsOnTheFirstClickAndTellsTheDoubleClickOnce) {
  auto* lb = new TListBox(form);
  for (const char* s : {"one", "two", "three"}) lb->Items()->Add(s);
  DoubleClickOn(lb, 20, lb->ItemHeight() + 2);
  ExpectOneDoubleClick();
  EXPECT_EQ(lb->ItemIndex(), 1);
}

TEST_F(DoubleClickTest, SimpleComboTellsTheDoubleClickOnce) {
  auto* cb = new TComboBox(form);
  cb->SetStyle(csSimple);
  for (const char* s : {"one", "two"}) cb->Items()->Add(s);
  DoubleClickOn(cb, 20, 5);
  ExpectOneDoubleClick();
}

TEST_F(DoubleClickTest, StringGridTellsTheDoubleClickOnce) {
  auto* grid = new TStringGrid(form);
  DoubleClickOn(grid, 70, 30);
  ExpectOneDoubleClick();
}

TEST_F(DoubleClickTest, OutlineTellsTheDoubleClickOnce) {
  auto* outline = new TOutline(form);
  outline->Add(0, "root");
  DoubleClickOn(outline, 30, 5);
  ExpectOneDoubleClick();
}

}  // namespace
}  // namespace tw::test
