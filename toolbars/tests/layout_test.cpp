// The layout of a toolbar's controls: lengths, thicknesses, separators, wrapping.
#include "platform/classes/typinfo.h"
#include "toolbars/formhook.h"
#include "toolbars/toolbars.h"
#include "toolbars_test_util.h"

namespace tw::toolbars::test {
namespace {

class LayoutTest : public ToolbarsTest {
 protected:
  // Buttons 23 x 22: two, a separator, one more.
  TToolbarX* BarWithSeparator(TDockX* dock) {
    auto* bar = new TToolbarX(form);
    bar->SetName("Bar");
    for (int i = 0; i < 3; ++i) {
      auto* b = new TToolbarButtonX(form);
      b->SetParent(bar);
      b->SetBounds(i * 40, 0, 23, 22);
      buttons[i] = b;
    }
    sep = new TToolbarSepX(form);
    sep->SetParent(bar);
    sep->SetBounds(buttons[2]->Left() - 1, 0, 6, 22);  // between the second and the third
    bar->Relayout();
    bar->SetDockedTo(dock);
    return bar;
  }
  TToolbarButtonX* buttons[3] = {};
  TToolbarSepX* sep = nullptr;
};

TEST_F(LayoutTest, DockedHorizontalBarLengthAndThickness) {
  MakeForm();
  TToolbarX* bar = BarWithSeparator(top);
  EXPECT_EQ(bar->Width(), 11 + 3 * 23 + 6 + 2);
  EXPECT_EQ(bar->Height(), 2 + 22 + 2);
  EXPECT_EQ(buttons[0]->Left(), 11);
  EXPECT_EQ(buttons[1]->Left(), 34);
  EXPECT_EQ(sep->Left(), 57);
  EXPECT_EQ(sep->Width(), 6);
  EXPECT_EQ(buttons[2]->Left(), 63);
  EXPECT_EQ(buttons[2]->Top(), 2);
}

TEST_F(LayoutTest, DockedVerticalBarTurnsSeparatorsAcross) {
  MakeForm();
  TToolbarX* bar = BarWithSeparator(left);
  EXPECT_EQ(bar->Width(), 2 + 23 + 2);
  EXPECT_EQ(bar->Height(), 11 + 3 * 22 + 4 + 2);
  EXPECT_EQ(sep->Height(), 4);
  EXPECT_EQ(sep->Width(), 23);
  EXPECT_EQ(buttons[0]->Top(), 11);
  EXPECT_EQ(buttons[2]->Top(), 11 + 44 + 4);
}

TEST_F(LayoutTest, EmptyBarHasMinimumLength) {
  MakeForm();
  auto* bar = new TToolbarX(form);
  bar->SetDockedTo(top);
  EXPECT_EQ(bar->Width(), 11 + 8 + 2);
  EXPECT_EQ(bar->Height(), 2 + 8 + 2);
}

TEST_F(LayoutTest, ItemsCentreOnTheRowsTallestItem) {
  MakeForm();
  TToolbarX* a = NewBar("A", top, 0, 0);
  auto* tall = new TToolbarX(form);
  auto* big = new TToolbarButtonX(form);
  big->SetParent(tall);
  big->SetBounds(0, 0, 30, 40);
  tall->SetDockedTo(top);
  Pump();
  EXPECT_EQ(a->Height(), 44);
  EXPECT_EQ(tall->Height(), 44);
  auto* first = static_cast<TControl*>(a->Controls(0));
  EXPECT_EQ(first->Top(), 2 + (40 - 22) / 2);
}

TEST_F(LayoutTest, FloatingBarWrapsAtItsWidth) {
  MakeForm();
  TToolbarX* bar = NewBar("F", nullptr, 0, 0, 4);
  const TSize natural = bar->SizeFor(kFloating, 0);
  EXPECT_EQ(natural.cx, 4 + 4 * 23 + 4);
  EXPECT_EQ(natural.cy, 2 + 22 + 1);
  bar->SetFloatRightX(4 + 2 * 23 + 4 + 5);  // room for two buttons a line
  bar->Relayout();
  EXPECT_EQ(bar->Height(), 2 + 2 * 22 + 1);
  EXPECT_EQ(bar->Controls(2)->Left(), 4);
  EXPECT_EQ(bar->Controls(2)->Top(), 2 + 22);
  // The floating window follows the bar.
  EXPECT_EQ(bar->FloatParent()->Height(), bar->Height() + SmallCaptionHeight() + 2 * FrameHeight());
  // Offered sizes run from the natural one down, one per distinct width.
  const std::vector<TSize> sizes = bar->FloatingSizes();
  ASSERT_GE(sizes.size(), 3u);
  EXPECT_EQ(sizes.front(), natural);
  for (std::size_t i = 1; i < sizes.size(); ++i) EXPECT_LT(sizes[i].cx, sizes[i - 1].cx);
  EXPECT_EQ(sizes.back().cy, 2 + 4 * 22 + 1);
}

TEST_F(LayoutTest, FloatingGroupsWrapWholeAfterTheirSeparator) {
  MakeForm();
  TToolbarX* bar = BarWithSeparator(nullptr);
  bar->SetFloatRightX(4 + 2 * 23 + 6 + 10 + 4);  // the third button's group does not fit
  bar->Relayout();
  EXPECT_EQ(buttons[2]->Left(), 4);
  EXPECT_EQ(buttons[2]->Top(), 2 + 22 + 6);  // a new line with room for the line between
  EXPECT_TRUE(sep->AtLineEnd());
  ASSERT_EQ(bar->LineStarts().size(), 1u);
  EXPECT_EQ(bar->LineStarts()[0], 2 + 22 + 6);
}

TEST_F(LayoutTest, AlternatePairsShowTheControlForTheDock) {
  MakeForm();
  TToolbarX* bar = NewBar("A", top, 0, 0, 1);
  auto* wide = new TToolbarButtonX(form);
  wide->SetParent(bar);
  wide->SetBounds(200, 0, 60, 22);
  auto* narrow = new TToolbarButtonX(form);
  narrow->SetParent(bar);
  narrow->SetBounds(200, 0, 23, 22);
  bar->AddAlternatePair(narrow, wide);
  EXPECT_TRUE(wide->Visible());
  EXPECT_FALSE(narrow->Visible());
  EXPECT_EQ(bar->Width(), 11 + 23 + 60 + 2);
  bar->SetDockedTo(left);
  EXPECT_FALSE(wide->Visible());
  EXPECT_TRUE(narrow->Visible());
  EXPECT_EQ(bar->Height(), 11 + 22 + 22 + 2);
  EXPECT_EQ(narrow->Top(), 11 + 22);  // in its partner's place
  delete wide;  // a freed partner leaves the pair
  bar->SetDockedTo(top);
  EXPECT_TRUE(narrow->Visible());
}

TEST_F(LayoutTest, DockedBarPaintsItsEdgeAndGrips) {
  MakeForm();
  TToolbarX* bar = NewBar("A", top, 0, 0, 1);
  bar->Repaint();
  Pump();
  const HWND w = bar->Handle();
  EXPECT_EQ(PixelRGB(w, 0, 5), ToRGB(clBtnHighlight));   // raised edge
  EXPECT_EQ(PixelRGB(w, 4, 8), ToRGB(clBtnHighlight));   // first grip's light side
  EXPECT_EQ(PixelRGB(w, 6, 8), ToRGB(clBtnShadow));      // and its dark side
  EXPECT_EQ(PixelRGB(w, 7, 8), ToRGB(clBtnHighlight));   // the second grip
}

TEST_F(LayoutTest, FormHookFollowsTheBarsOfAForm) {
  MakeForm();
  TToolbarX* a = NewBar("A", top, 0, 0, 1);
  TToolbarX* b = NewBar("B", nullptr, 0, 0, 1);
  EXPECT_EQ(FormHookCount(form), 2);
  delete b;
  EXPECT_EQ(FormHookCount(form), 1);
  delete a;
  EXPECT_EQ(FormHookCount(form), 0);
  form->Hide();  // the form's own procedure still runs
  Pump();
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
}

TEST_F(LayoutTest, OwnerAndParentAreChecked) {
  MakeForm();
  try {
    TToolbarX bad(Application());
    FAIL() << "no error";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "TToolbarX must be owned by a form");
  }
  auto* panel = new TCustomControl(form);
  panel->SetParent(form);
  auto* bar = new TToolbarX(form);
  EXPECT_THROW(bar->SetParent(panel), EInvalidOperation);
  bar->SetParent(form);  // directly on the form is allowed
  EXPECT_EQ(bar->Parent(), form);
  auto* s = new TToolbarSepX(form);
  EXPECT_THROW(s->SetParent(form), EInvalidOperation);
}

TEST_F(LayoutTest, ClassesAreCreatedByNameWithTheirProperties) {
  MakeForm();
  RegisterToolbarClasses();
  auto* bar = dynamic_cast<TToolbarX*>(CreateComponent("TToolbarX", form));
  ASSERT_NE(bar, nullptr);
  SetOrdProp(bar, "DockRow", 2);
  SetOrdProp(bar, "DockPos", 148);
  SetOrdProp(bar, "CloseButton", 0);
  EXPECT_EQ(bar->DockRow(), 2);
  EXPECT_EQ(bar->DockPos(), 148);
  EXPECT_FALSE(bar->CloseButton());
  EXPECT_EQ(GetOrdProp(top, "Position"), static_cast<int>(TDockPosition::dpTop));
  bar->SetParent(top);  // placed by its parent, as a form description does
  EXPECT_EQ(bar->DockedTo(), top);
  EXPECT_EQ(bar->Left(), 148);
  EXPECT_NE(dynamic_cast<TToolbarButtonX*>(CreateComponent("TToolbarButtonX", form)), nullptr);
}

}  // namespace
}  // namespace tw::toolbars::test
