// Docks on the four edges: row arrangement, row numbering, pull-back and the dock's own size.
#include "toolbars_test_util.h"

namespace tw::toolbars::test {
namespace {

class DockTest : public ToolbarsTest {};

TEST_F(DockTest, BarsOfOneRowLieSideBySideAndRowsStack) {
  MakeForm();
  TToolbarX* a = NewBar("A", top, 0, 0);
  TToolbarX* b = NewBar("B", top, 0, 0);
  TToolbarX* c = NewBar("C", top, 1, 40);
  EXPECT_EQ(a->Left(), 0);
  EXPECT_EQ(b->Left(), a->Width());  // pushed to where the first ends
  EXPECT_EQ(b->Top(), 0);
  EXPECT_EQ(c->Top(), 26);
  EXPECT_EQ(c->Left(), 40);
  EXPECT_EQ(top->Height(), 52);
  EXPECT_EQ(top->RowCount(), 2);
}

TEST_F(DockTest, EmptyRowsCloseUp) {
  MakeForm();
  TToolbarX* a = NewBar("A", top, 0, 0);
  TToolbarX* b = NewBar("B", top, 2, 0);
  EXPECT_EQ(a->DockRow(), 0);
  EXPECT_EQ(b->DockRow(), 1);
  EXPECT_EQ(b->Top(), 26);
  // Leaving row 0 moves the others up.
  a->SetDockedTo(nullptr);
  EXPECT_EQ(b->DockRow(), 0);
  EXPECT_EQ(b->Top(), 0);
  EXPECT_EQ(top->Height(), 26);
}

TEST_F(DockTest, RowWiderThanTheDockIsPulledBack) {
  MakeForm();
  TToolbarX* a = NewBar("A", top, 0, 0, 10);     // 11 + 230 + 2 = 243
  TToolbarX* b = NewBar("B", top, 0, 500, 3);    // 88 long: would end at 588... within 600
  ASSERT_EQ(b->Left(), 500);
  b->SetDockPos(560);                            // would end at 648
  EXPECT_EQ(b->Left() + b->Width(), top->ClientWidth());
  EXPECT_EQ(a->Left(), 0);
  b->SetDockPos(0);                              // pushed behind A again
  EXPECT_EQ(b->Left(), a->Width());
  // A narrower form pulls the row back as well.
  b->SetDockPos(500);
  form->SetClientWidth(400);
  Pump();
  EXPECT_EQ(b->Left() + b->Width(), 400);
  // Narrower than the row: no bar covers the one before it; the row runs past the edge.
  form->SetClientWidth(300);
  Pump();
  EXPECT_EQ(a->Left(), 0);
  EXPECT_EQ(b->Left(), a->Width());
}

TEST_F(DockTest, ThicknessFollowsRowsAndBoundLines) {
  MakeForm();
  EXPECT_EQ(top->Height(), 0);
  EXPECT_EQ(left->Width(), 0);
  top->SetBoundLines(TDockBoundLines{TDockBoundLine::blBottom});
  auto* bar = new TToolbarX(form);
  auto* b = new TToolbarButtonX(form);
  b->SetParent(bar);
  b->SetBounds(0, 0, 23, 18);  // a row of 2 + 18 + 2 = 22 pixels
  bar->SetDockedTo(top);
  EXPECT_EQ(top->Height(), 23);
  // Lines at the start push rows and positions by one pixel.
  top->SetBoundLines(TDockBoundLines{TDockBoundLine::blTop, TDockBoundLine::blLeft});
  EXPECT_EQ(bar->Top(), 1);
  EXPECT_EQ(bar->Left(), 1);
  EXPECT_EQ(top->Height(), 23);
}

TEST_F(DockTest, AllFourEdgesArrangeTheirRows) {
  MakeForm();
  TToolbarX* t = NewBar("T", top, 0, 0);
  TToolbarX* bo = NewBar("Bo", bottom, 0, 0);
  TToolbarX* l1 = NewBar("L1", left, 0, 0);
  TToolbarX* l2 = NewBar("L2", left, 1, 0);
  TToolbarX* r = NewBar("R", right, 0, 30);
  Pump();
  EXPECT_EQ(top->Height(), 26);
  EXPECT_EQ(bottom->Height(), 26);
  EXPECT_EQ(bottom->Top() + bottom->Height(), form->ClientHeight());
  // Vertical docks: columns side by side, positions downwards.
  EXPECT_EQ(l1->ToolbarType(), kVertical);
  EXPECT_EQ(l1->Width(), 2 + 23 + 2);
  EXPECT_EQ(l1->Height(), 11 + 3 * 22 + 2);
  EXPECT_EQ(l2->Left(), l1->Width());
  EXPECT_EQ(left->Width(), 2 * l1->Width());
  EXPECT_EQ(r->Top(), 30);
  EXPECT_EQ(right->Left() + right->Width(), form->ClientWidth());
  // The side docks lie between the top and the bottom dock.
  EXPECT_EQ(left->Top(), top->Height());
  EXPECT_EQ(left->Height(), form->ClientHeight() - top->Height() - bottom->Height());
  (void)t;
  (void)bo;
}

TEST_F(DockTest, RefusesWrongPlacesAndPositionChangesWithControls) {
  MakeForm();
  NewBar("A", top, 0, 0);
  try {
    top->SetPosition(TDockPosition::dpLeft);
    FAIL() << "no error";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "Cannot change Position of a TDockX if it already contains controls");
  }
  EXPECT_EQ(top->Position(), TDockPosition::dpTop);
  auto* inner = new TDockX(form);
  EXPECT_THROW(inner->SetParent(top), EInvalidOperation);
  EXPECT_EQ(inner->Parent(), nullptr);
}

TEST_F(DockTest, InsertRemoveEventFiresOnlyOnChange) {
  MakeForm();
  std::vector<std::string> log;
  top->OnInsertRemoveBar = [&](TObject*, bool inserting, TToolbarX* bar) {
    log.push_back((inserting ? "+" : "-") + bar->Name());
  };
  TToolbarX* a = NewBar("A", top, 0, 0);
  top->InsertRemoveBar(true, a, true);  // already there
  a->Hide();
  a->Show();
  a->SetDockedTo(bottom);
  // Inserting without appending a bar that is not there changes nothing.
  top->InsertRemoveBar(true, a, false);
  EXPECT_EQ(log, (std::vector<std::string>{"+A", "-A", "+A", "-A"}));
  EXPECT_EQ(top->Height(), 0);
}

TEST_F(DockTest, DefaultPositionJoinsTheEndOfTheRow) {
  MakeForm();
  TToolbarX* a = NewBar("A", top, 0, 40);
  TToolbarX* b = NewBar("B", top, 1, 0);
  auto* c = new TToolbarX(form);  // DockPos -1
  c->SetName("C");
  ASSERT_EQ(c->DockPos(), -1);
  c->SetDockedTo(top);
  Pump();
  EXPECT_EQ(c->DockRow(), 0);
  EXPECT_EQ(c->DockPos(), 40 + a->Width());
  EXPECT_EQ(c->Left(), a->Left() + a->Width());
  EXPECT_EQ(a->DockPos(), 40);
  EXPECT_EQ(b->DockRow(), 1);
}

TEST_F(DockTest, FreeingDocksAndBarsInAnyOrderIsSafe) {
  MakeForm();
  TToolbarX* a = NewBar("A", top, 0, 0);
  NewBar("B", top, 0, 0);
  NewBar("F", nullptr, 0, 0);
  delete a;
  EXPECT_EQ(top->Toolbars().size(), 1u);
  delete top;
  top = nullptr;
  delete form;  // the remaining docked and floating bars go with it
  form = nullptr;
  Pump();
}

}  // namespace
}  // namespace tw::toolbars::test
