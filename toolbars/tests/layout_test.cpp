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

TEST_F(LayoutTest, SeparatorsAreEtchedAcrossTheLine) {
  MakeForm();
  TToolbarX* bar = BarWithSeparator(top);
  bar->Repaint();
  Pump();
  // In a horizontal bar: a vertical shadow line beside a highlight line.
  const int x = sep->Left() + sep->Width() / 2 - 1, y = sep->Top() + sep->Height() / 2;
  EXPECT_EQ(PixelRGB(bar->Handle(), x, y), ToRGB(clBtnShadow));
  EXPECT_EQ(PixelRGB(bar->Handle(), x + 1, y), ToRGB(clBtnHighlight));
  EXPECT_EQ(PixelRGB(bar->Handle(), x - 1, y), ToRGB(clBtnFace));
  // In a vertical bar the line turns.
  bar->SetDockedTo(left);
  bar->Repaint();
  Pump();
  const int vx = sep->Left() + sep->Width() / 2, vy = sep->Top() + sep->Height() / 2 - 1;
  EXPECT_EQ(PixelRGB(bar->Handle(), vx, vy), ToRGB(clBtnShadow));
  EXPECT_EQ(PixelRGB(bar->Handle(), vx, vy + 1), ToRGB(clBtnHighlight));
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
  // Measured for a vertical dock without moving anything, the narrow one counts.
  EXPECT_EQ(bar->SizeFor(kVertical, 0), (TSize{2 + 23 + 2, 11 + 22 + 22 + 2}));
  EXPECT_TRUE(wide->Visible());
  bar->SetDockedTo(left);
  EXPECT_FALSE(wide->Visible());
  EXPECT_TRUE(narrow->Visible());
  EXPECT_EQ(bar->Height(), 11 + 22 + 22 + 2);
  EXPECT_EQ(narrow->Top(), 11 + 22);  // in its partner's place
  delete wide;  // a freed partner leaves the pair
  bar->SetDockedTo(top);
  EXPECT_TRUE(narrow->Visible());
}

TEST_F(LayoutTest, WrappedLinesKeepTheirOrderAndOnlyGroupLinesAreEtched) {
  MakeForm();
  TToolbarX* bar = NewBar("F", nullptr, 0, 0, 4);
  std::vector<TControl*> order;
  for (int i = 0; i < 4; ++i) order.push_back(bar->Controls(i));
  bar->SetFloatRightX(4 + 2 * 23 + 4 + 5);  // two buttons a line, one group wrapping inside
  for (int pass = 0; pass < 3; ++pass) bar->Relayout();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(order[static_cast<std::size_t>(i)]->Left(), 4 + (i % 2) * 23) << i;
    EXPECT_EQ(order[static_cast<std::size_t>(i)]->Top(), 2 + (i / 2) * 22) << i;
  }
  // No etched line across the buttons of the first line (it would lie 4 pixels above the second).
  bar->Repaint();
  Pump();
  const HWND w = bar->Handle();
  const int y = 2 + 22 - 4;
  for (int x = 0; x < bar->Width(); ++x) EXPECT_NE(PixelRGB(w, x, y), ToRGB(clBtnShadow)) << x;

  // After a separator the new line gets its etched line.
  bar->SetFloatRightX(0);
  bar->Relayout();
  auto* sep = new TToolbarSepX(form);
  sep->SetParent(bar);
  sep->SetBounds(order[1]->Left() + 1, order[1]->Top(), 6, 22);  // after the second button
  bar->SetFloatRightX(4 + 2 * 23 + 6 + 10 + 4);
  bar->Relayout();
  bar->Repaint();
  Pump();
  ASSERT_EQ(order[2]->Top(), 2 + 22 + 6);
  EXPECT_EQ(PixelRGB(w, 10, 2 + 22 + 6 - 4), ToRGB(clBtnShadow));
  EXPECT_EQ(PixelRGB(w, 10, 2 + 22 + 6 - 3), ToRGB(clBtnHighlight));
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
  // What a form description sets on docks and bars besides their places.
  for (const char* name : {"PopupMenu", "Color", "Caption", "OnClose", "CanDockLeftRight", "DefaultDock"})
    EXPECT_TRUE(IsPublishedProp(bar, name)) << name;
  for (const char* name : {"PopupMenu", "Color", "BoundLines", "OnInsertRemoveBar"})
    EXPECT_TRUE(IsPublishedProp(top, name)) << name;
}


TEST_F(LayoutTest, RecreatedWindowIsAnnounced) {
  MakeForm();
  TToolbarX* bar = NewBar("A", top, 0, 0, 1);
  std::vector<std::string> log;
  bar->OnRecreating = [&](TObject*) { log.push_back("recreating " + std::to_string(bar->HandleAllocated())); };
  bar->OnRecreated = [&](TObject*) { log.push_back("recreated " + std::to_string(bar->HandleAllocated())); };
  bar->RecreateWnd();
  EXPECT_EQ(log, (std::vector<std::string>{"recreating 1", "recreated 1"}));
  // Whatever re-makes the window (moving it between a dock and its floating window may), the
  // two come in pairs, the old window still there at the first and the new one at the second.
  bar->SetDockedTo(nullptr);
  bar->SetDockedTo(bottom);
  ASSERT_EQ(log.size() % 2, 0u);
  for (std::size_t i = 0; i < log.size(); i += 2) {
    EXPECT_EQ(log[i], "recreating 1");
    EXPECT_EQ(log[i + 1], "recreated 1");
  }
  EXPECT_EQ(bar->DockedTo(), bottom);
  const std::size_t before = log.size();
  delete bar;  // freeing is no recreation, neither is freeing the form
  EXPECT_EQ(log.size(), before);
  TToolbarX* other = NewBar("B", nullptr, 0, 0, 1);
  other->OnRecreating = [&](TObject*) { log.push_back("form going"); };
  delete form;
  form = nullptr;
  EXPECT_EQ(log.size(), before);
}

}  // namespace
}  // namespace tw::toolbars::test
