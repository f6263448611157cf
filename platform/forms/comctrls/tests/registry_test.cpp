// Every control is created by class name and its published properties are read and written by
// name, as form descriptions and the language component do.
#include "platform/forms/comctrls/comctrls.h"

#include "comctrls_test_util.h"

namespace tw::test {
namespace {

using RegistryTest = ComCtrlsTest;

TEST_F(RegistryTest, ControlsAreMadeByNameWithTheirPublishedProperties) {
  RegisterComCtrlsClasses();
  for (const char* name : {"TComboBox", "TListBox", "TScrollBar", "TTrackBar", "TStatusBar", "TPageControl",
                           "TTabSheet", "TTabSet", "TStringGrid", "TOutline"}) {
    TComponent* c = CreateComponent(name, form);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_EQ(c->ClassName(), name);
    EXPECT_NE(GetPropInfo(c, "Left"), nullptr) << name;  // the control's own, inherited
  }
  auto* cb = static_cast<TComboBox*>(CreateComponent("TComboBox", form));
  SetEnumProp(cb, "Style", "csDropDownList");
  SetOrdProp(cb, "DropDownCount", 12);
  SetOrdProp(cb, "Sorted", 1);
  auto* items = static_cast<TStrings*>(GetObjectProp(cb, "Items"));
  items->Add("b");
  items->Add("a");
  EXPECT_EQ(cb->Style(), csDropDownList);
  EXPECT_EQ(cb->DropDownCount(), 12);
  EXPECT_EQ(cb->Items()->Get(0), "a");
  SetStrProp(cb, "Text", "b");
  EXPECT_EQ(cb->ItemIndex(), 1);
  EXPECT_EQ(GetStrProp(cb, "Text"), "b");
  EXPECT_THROW(SetEnumProp(cb, "Style", "csNoSuchStyle"), EPropertyError);

  auto* grid = static_cast<TStringGrid*>(CreateComponent("TStringGrid", form));
  SetPropValue(grid, "Options", TSetValue{TGridOptions{goEditing, goTabs}.Bits()});
  EXPECT_TRUE(grid->Options().Contains(goTabs));
  SetOrdProp(grid, "ColCount", 2);
  EXPECT_EQ(grid->ColCount(), 2);

  auto* tb = static_cast<TTrackBar*>(CreateComponent("TTrackBar", form));
  SetOrdProp(tb, "Max", 300);
  SetOrdProp(tb, "Position", 30);
  EXPECT_EQ(GetOrdProp(tb, "Position"), 30);

  auto* sb = static_cast<TStatusBar*>(CreateComponent("TStatusBar", form));
  auto* panels = static_cast<TStatusPanels*>(GetObjectProp(sb, "Panels"));
  TStatusPanel* p = panels->Add();
  SetStrProp(p, "Text", "zone");
  SetEnumProp(p, "Bevel", "pbRaised");
  EXPECT_EQ(p->Text(), "zone");
  EXPECT_EQ(p->Bevel(), pbRaised);
  SetOrdProp(sb, "SimplePanel", 1);
  EXPECT_TRUE(sb->SimplePanel());

  auto* outline = static_cast<TOutline*>(CreateComponent("TOutline", form));
  static_cast<TStrings*>(GetObjectProp(outline, "Lines"))->SetText("A\r\n\tB\r\nC\r\n");
  EXPECT_EQ(outline->ItemCount(), 3);
  EXPECT_EQ(outline->Items(2)->Parent(), outline->Items(1));
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

TEST_F(RegistryTest, AssigningAListsItemsToItselfKeepsThem) {
  auto* lb = new TListBox(form);
  lb->Items()->Add("one");
  SetPropValue(lb, "Items", TValue(static_cast<TObject*>(lb->Items())));
  EXPECT_EQ(lb->Items()->Count(), 1);
  auto* cb = new TComboBox(form);
  cb->Items()->Add("two");
  cb->SetItems(cb->Items());
  EXPECT_EQ(cb->Items()->Get(0), "two");
  TStringList other;
  other.AddObject("x", std::intptr_t{5});
  cb->SetItems(&other);
  EXPECT_EQ(cb->Items()->Objects(0), 5);
}

}  // namespace
}  // namespace tw::test
