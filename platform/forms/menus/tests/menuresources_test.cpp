// Menus in form descriptions: items nest inside their menu and parent item, the form names its
// menu, and writing gives the same description back.
#include <gtest/gtest.h>

#include "platform/forms/formres/formstream.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/tests/forms_test_util.h"

namespace tw::test {
namespace {

class MenuResourcesTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    RegisterMenuClasses();
  }
};

constexpr const char* kForm =
    "object frmMain: TForm\n"
    "  Caption = 'Corvane: Tidewell'\n"
    "  ClientWidth = 400\n"
    "  ClientHeight = 300\n"
    "  Menu = MainMenu\n"
    "  object MainMenu: TMainMenu\n"
    "    object File1: TMenuItem\n"
    "      Caption = '&File'\n"
    "      object mnuPrint: TMenuItem\n"
    "        Caption = '&Print'\n"
    "        ShortCut = 16464\n"
    "      end\n"
    "      object N1: TMenuItem\n"
    "        Caption = '-'\n"
    "      end\n"
    "      object mnuExit: TMenuItem\n"
    "        Caption = 'E&xit'\n"
    "      end\n"
    "    end\n"
    "    object Language1: TMenuItem\n"
    "      Caption = '&Language'\n"
    "      object Deutsch1: TMenuItem\n"
    "        Caption = 'Deutsch'\n"
    "        RadioItem = True\n"
    "      end\n"
    "    end\n"
    "  end\n"
    "  object PopupMenu1: TPopupMenu\n"
    "    AutoPopup = False\n"
    "    object Copy1: TMenuItem\n"
    "      Caption = '&Copy'\n"
    "    end\n"
    "  end\n"
    "end\n";

TEST_F(MenuResourcesTest, ADescribedMenuIsReadNestedAndAttachedToItsForm) {
  auto* form = new TForm(Application());
  ReadComponentDescription(kForm, form);
  auto* menu = dynamic_cast<TMainMenu*>(form->FindComponent("MainMenu"));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(FormMenu(form), menu);
  ASSERT_EQ(menu->Items()->Count(), 2);
  TMenuItem* file = menu->Items()->Items(0);
  EXPECT_EQ(file->Name(), "File1");
  ASSERT_EQ(file->Count(), 3);
  EXPECT_EQ(file->Items(0)->Name(), "mnuPrint");
  EXPECT_EQ(ShortCutToText(file->Items(0)->ShortCut()), "Ctrl+P");
  EXPECT_TRUE(file->Items(1)->IsLine());
  EXPECT_TRUE(menu->Items()->Items(1)->Items(0)->RadioItem());
  auto* popup = dynamic_cast<TPopupMenu*>(form->FindComponent("PopupMenu1"));
  ASSERT_NE(popup, nullptr);
  EXPECT_FALSE(popup->AutoPopup());
  EXPECT_EQ(popup->Items()->Items(0)->Caption(), "&Copy");
  form->Show();
  Pump();
  EXPECT_EQ(form->ClientHeight(), 300) << "the bar does not eat the described client area";

  // Written out and read into a fresh form, it is the same menu.
  const std::string text = ComponentToText(form);
  auto* again = new TForm(Application());
  ReadComponentDescription(text, again);
  auto* menu2 = FormMenu(again);
  ASSERT_NE(menu2, nullptr);
  EXPECT_EQ(menu2->Name(), "MainMenu");
  ASSERT_EQ(menu2->Items()->Count(), 2);
  EXPECT_EQ(menu2->Items()->Items(0)->Count(), 3);
  EXPECT_EQ(menu2->Items()->Items(0)->Items(2)->Caption(), "E&xit");
  // (The root's own name stays the fresh form's, so the first line is left out.)
  const std::string againText = ComponentToText(again);
  EXPECT_EQ(againText.substr(againText.find('\n')), text.substr(text.find('\n')));
  again->Show();
  Pump();
  EXPECT_EQ(again->ClientHeight(), 300);
}

}  // namespace
}  // namespace tw::test
