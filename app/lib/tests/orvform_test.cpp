#include "app/lib/orvform.h"

#include "app/lib/placement.h"
#include "app/lib/tests/applib_test_util.h"
#include "platform/forms/stdctrls/buttons.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw::app::test {
namespace {

using OrvFormTest = AppLibTest;

class TRecordingNavigator : public TComponent, public INavigatorTarget {
 public:
  using TComponent::TComponent;
  void BtnClick(TNavigateBtn button) override { clicks.push_back(button); }
  std::vector<TNavigateBtn> clicks;
};

// A grid of three columns as a data grid offers them to the form.
class TColumnGrid : public TCustomControl, public IDataGridColumns {
 public:
  explicit TColumnGrid(TComponent* owner) : TCustomControl(owner) { SetTabStop(true); }
  int ColumnCount() const override { return 3; }
  int SelectedColumn() const override { return column_; }
  void SetSelectedColumn(int column) override { column_ = column; }
  int typedEnters = 0;

 protected:
  void KeyPress(char& key) override {
    if (key == '\r') ++typedEnters;
    TCustomControl::KeyPress(key);
  }

 private:
  int column_ = 0;
};

// Records whether it already knew that its form is going when told of a neighbour's removal.
class TWatchingComponent : public TComponent {
 public:
  TWatchingComponent(TComponent* owner, std::vector<bool>& record) : TComponent(owner), record_(record) {}

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove) record_.push_back(ComponentState().Contains(TComponentStateFlag::csDestroying));
  }

 private:
  std::vector<bool>& record_;
};

TEST_F(OrvFormTest, ComponentsOfAFreedFormKnowTheyAreGoingBeforeTheirNeighboursGo) {
  auto* form = Application()->CreateForm<TOrvForm>();
  std::vector<bool> goingWhenTold;
  auto* watcher = new TWatchingComponent(form, goingWhenTold);
  auto* neighbour = new TComponent(form);  // made last, freed first
  neighbour->FreeNotification(watcher);
  bool goingInOnDestroy = true;
  form->OnDestroy = [&](TObject*) { goingInOnDestroy = watcher->ComponentState().Contains(TComponentStateFlag::csDestroying); };
  form->Free();
  EXPECT_FALSE(goingInOnDestroy) << "OnDestroy still sees a whole form";
  EXPECT_EQ(goingWhenTold, std::vector<bool>{true});
}

TEST_F(OrvFormTest, FontsRoundTripThroughTheFormsSection) {
  auto* form = Application()->CreateForm<TOrvForm>();
  form->SetName("frmOptions_1");
  TFont font;
  font.SetName("Arial");
  font.SetSize(12);
  font.SetColor(clRed);
  font.SetStyle(TFontStyles{TFontStyle::fsBold});
  EXPECT_EQ(FontToValue(&font), "Arial,12,255,b");
  font.SetStyle(TFontStyles{TFontStyle::fsStrikeOut, TFontStyle::fsUnderline, TFontStyle::fsItalic, TFontStyle::fsBold});
  form->WriteFont("TitleFont", &font);
  EXPECT_EQ(form->ReadString("TitleFont", ""), "Arial,12,255,bius");

  TFont read;
  form->ReadFont("TitleFont", &read);
  EXPECT_EQ(FontToValue(&read), "Arial,12,255,bius");
}

TEST_F(OrvFormTest, DamagedFontValuesReadAsFarAsTheyGo) {
  TFont f;
  f.SetName("Times New Roman");
  f.SetSize(9);
  f.SetColor(clBlack);
  f.SetStyle(TFontStyles{TFontStyle::fsItalic});
  ValueToFont("", &f);  // nothing stored: only the style is cleared
  EXPECT_EQ(FontToValue(&f), "Times New Roman,9,0,");
  ValueToFont("Courier New,big,red,xb", &f);
  EXPECT_EQ(FontToValue(&f), "Courier New,10,0,b");
  ValueToFont("Arial,0,255", &f);  // a size no font has; the colour lacks its comma
  EXPECT_EQ(FontToValue(&f), "Arial,10,0,");
  f.SetName(std::string(40, 'N'));
  EXPECT_EQ(FontToValue(&f).find(','), 31u);
}

TEST_F(OrvFormTest, ToolButtonsAlignFromTheRightOnEveryResize) {
  auto* form = Application()->CreateForm<TOrvForm>();
  EXPECT_FALSE(form->Visible());
  form->SetClientWidth(400);
  auto button = [form](const char* name, int width) {
    auto* b = new TSpeedButton(form);
    b->SetName(name);
    b->SetParent(form);
    b->SetBounds(0, 0, width, 25);
    return b;
  };
  TSpeedButton* exit = button("pbExit", 25);
  TSpeedButton* pin = button("pbPin", 30);
  form->FormResize(form);
  EXPECT_EQ(exit->Left() + exit->Width(), 400 - 8);
  EXPECT_EQ(pin->Left() + pin->Width(), exit->Left() - 4);  // no pbSearch: pbPin follows pbExit
  form->SetClientWidth(600);
  Pump();
  EXPECT_EQ(exit->Left() + exit->Width(), 600 - 8);
}

TEST_F(OrvFormTest, ShortcutKeysPressNavigatorsAndTheSearchButton) {
  auto* form = Application()->CreateForm<TOrvForm>();
  auto* nav = new TRecordingNavigator(form);
  auto* search = new TSpeedButton(form);
  search->SetName("pbSearch");
  search->SetParent(form);
  int searches = 0;
  auto press = [&](Word key, TShiftState shift) { form->FormKeyUp(form, key, shift); };
  const TShiftState shift{TShiftStateFlag::ssShift}, ctrl{TShiftStateFlag::ssCtrl};
  for (auto [key, state] : std::vector<std::pair<Word, TShiftState>>{
           {VK_F3, {}}, {VK_F3, shift}, {VK_F2, {}}, {VK_PRIOR, {}}, {VK_NEXT, {}}, {VK_PRIOR, ctrl}, {VK_NEXT, ctrl}, {VK_F5, {}}, {VK_F8, {}}})
    press(key, state);  // F8 without a click handler: nothing
  search->OnClick = [&](TObject*) { ++searches; };
  press(VK_F8, {});
  press(VK_F8, ctrl);
  EXPECT_EQ(searches, 1);
  using N = TNavigateBtn;
  EXPECT_EQ(nav->clicks, (std::vector<N>{N::nbPost, N::nbDelete, N::nbInsert, N::nbPrior, N::nbNext, N::nbFirst, N::nbLast}));
}

TEST_F(OrvFormTest, EnterMovesOnAndDestroyingResetsTheCursor) {
  auto* form = Application()->CreateForm<TOrvForm>();
  form->SetBounds(10, 10, 300, 200);
  auto* first = new TEdit(form);
  first->SetParent(form);
  auto* second = new TEdit(form);
  second->SetParent(form);
  second->SetTop(40);
  form->OnKeyPress = [form](TObject* s, char& key) { form->FormKeyPress(s, key); };
  form->Show();
  first->SetFocus();
  Pump();
  InjectKey(VK_RETURN, '\r');
  Pump();
  EXPECT_EQ(form->ActiveControl(), second);

  // In a data grid Enter walks the columns and wraps from the last to the first.
  auto* grid = new TColumnGrid(form);
  grid->SetParent(form);
  grid->SetBounds(0, 80, 200, 60);
  grid->SetFocus();
  Pump();
  std::vector<int> columns;
  for (int i = 0; i < 4; ++i) {
    InjectKey(VK_RETURN, '\r');
    Pump();
    columns.push_back(grid->SelectedColumn());
  }
  EXPECT_EQ(columns, (std::vector<int>{1, 2, 0, 1}));
  EXPECT_EQ(form->ActiveControl(), grid) << "the focus stays in the grid";
  EXPECT_EQ(grid->typedEnters, 0) << "the key is consumed";

  Screen()->SetCursor(crHourGlass);
  delete form;
  EXPECT_EQ(Screen()->Cursor(), crDefault);
}

}  // namespace
}  // namespace tw::app::test
