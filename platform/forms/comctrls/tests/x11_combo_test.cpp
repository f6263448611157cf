// The combo box's drop-down list on a real X server (CI runs the tests under a virtual one):
// the list is a pop-up window of its own, chosen from by mouse and closed again.
#include <cstdlib>

#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/forms.h"
#include "platform/win/display.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

TEST(ComboBoxX11Test, TheDropDownListIsAPopupChosenFromByMouse) {
  const char* d = std::getenv("DISPLAY");
  if (d == nullptr || *d == '\0') GTEST_SKIP() << "no X display";
  try {
    SelectDisplay("x11");
  } catch (const Exception& e) {
    GTEST_SKIP() << e.Message();
  }
  ResetWindowSystem();
  {
    auto* form = new TForm(Application());
    form->SetBounds(50, 50, 300, 200);
    auto* cb = new TComboBox(form);
    cb->SetParent(form);
    cb->SetStyle(csDropDownList);
    cb->SetBounds(10, 10, 150, 0);
    for (const char* s : {"English", "Deutsch", "Svenska"}) cb->Items()->Add(s);
    form->Show();
    Application()->ProcessMessages();
    cb->SetFocus();
    InjectClick(cb->Handle(), 140, 8);
    Application()->ProcessMessages();
    ASSERT_TRUE(cb->DroppedDown());
    const HWND list = cb->DropDownWindow();
    EXPECT_NE(GetWindowLong(list, GWL_STYLE) & WS_POPUP, 0);
    InjectClick(list, 10, cb->ItemHeight() + cb->ItemHeight() / 2);
    Application()->ProcessMessages();
    EXPECT_FALSE(cb->DroppedDown());
    EXPECT_EQ(cb->Text(), "Deutsch");
  }
  DoneApplication();
  ResetWindowSystem();
  SelectDisplay("offscreen");
}

}  // namespace
}  // namespace tw::test
