// The icon combo box: icon slots and where an item's icon and text are drawn.
#include <gtest/gtest.h>

#include "multilang/mcombobox.h"
#include "platform/forms/tests/forms_test_util.h"
#include "platform/gfx/graphic.h"

namespace tw::multilang {
namespace {

class MComboBoxTest : public test::FormsTest {
 protected:
  // A 16x16 icon made from a bitmap.
  static std::unique_ptr<TIcon> SmallIcon() {
    TBitmap bmp;
    bmp.SetWidth(16);
    bmp.SetHeight(16);
    auto icon = std::make_unique<TIcon>();
    icon->AssignBitmap(&bmp, clNone);
    return icon;
  }
  TMComboBox* ShownCombo() {
    TForm* form = NewForm(300, 100);
    auto* c = new TMComboBox(form);
    c->SetParent(form);
    c->SetBounds(10, 10, 200, 24);
    c->SetVisible(true);
    c->Items()->Add("English");
    c->Items()->Add("Deutsch");
    form->Show();
    return c;
  }
};

TEST_F(MComboBoxTest, IconSlotsGrowWithEmptySlotsAndCopyTheIcon) {
  auto* c = new TMComboBox(NewForm());
  auto icon = SmallIcon();
  EXPECT_FALSE(c->SetItemIcon(0, nullptr));
  ASSERT_TRUE(c->SetItemIcon(5, icon.get()));
  EXPECT_EQ(c->IconSlotCount(), 6);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(c->GetItemIcon(i), nullptr);
  ASSERT_NE(c->GetItemIcon(5), nullptr);
  EXPECT_NE(c->GetItemIcon(5), icon.get()) << "the slot holds its own copy";
  EXPECT_EQ(c->GetItemIcon(5)->Width(), 16);
  EXPECT_EQ(c->GetItemIcon(99), nullptr);
  EXPECT_TRUE(c->DeleteItemIcon(5));
  EXPECT_FALSE(c->DeleteItemIcon(5));
  EXPECT_FALSE(c->DeleteItemIcon(2));
}

TEST_F(MComboBoxTest, TextFollowsTheIconOrTheMarginAndAUserHandlerReplacesTheDrawing) {
  TMComboBox* c = ShownCombo();
  auto icon = SmallIcon();
  c->SetShowIcons(true);
  c->SetItemIcon(1, icon.get());
  int drawing = 0;
  c->OnDrawingItem = [&](TObject*, int) { ++drawing; };

  c->SetItemIndex(0);  // no icon: the text stands at the margin
  c->Repaint();
  Pump();
  EXPECT_GT(drawing, 0);
  EXPECT_EQ(c->LastIconLeft(), -1);
  int plain = c->LastTextLeft();
  EXPECT_EQ(plain, c->EditRect().Left + 1 + c->TextMargin());

  c->SetItemIndex(1);
  c->Repaint();
  Pump();
  EXPECT_EQ(c->LastIconLeft(), c->EditRect().Left + 1 + c->IconMargin());
  EXPECT_EQ(c->LastTextLeft(), c->LastIconLeft() + 16 + c->TextMargin());

  int before = c->LastTextLeft();
  int user = 0;
  c->OnDrawItem = [&](TWinControl*, int, TRect, TOwnerDrawState) { ++user; };
  c->SetTextMargin(20);
  c->Repaint();
  Pump();
  EXPECT_GT(user, 0);
  EXPECT_EQ(c->LastTextLeft(), before) << "the component's own drawing did not run";
}

}  // namespace
}  // namespace tw::multilang
