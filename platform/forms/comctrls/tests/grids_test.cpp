// The string grid: keyboard navigation and scrolling, selection refused by OnSelectCell, the
// in-place editor (Enter, F2, typing, Esc), column sizing by mouse, and the cell contents seen
// through Cols and Rows.
#include "platform/forms/comctrls/grids.h"

#include "comctrls_test_util.h"

namespace tw::test {
namespace {

class GridTest : public ComCtrlsTest {
 protected:
  TStringGrid* NewGrid(int cols = 4, int rows = 30) {
    auto* g = new TStringGrid(form);
    g->SetParent(form);
    g->SetBounds(5, 5, 300, 200);
    g->SetColCount(cols);
    g->SetRowCount(rows);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c) g->SetCells(c, r, std::to_string(c) + ":" + std::to_string(r));
    return g;
  }
};

TEST_F(GridTest, ArrowsTabsAndPagesMoveTheFocusCellAndScroll) {
  TStringGrid* g = NewGrid();
  g->SetOptions(g->Options() + TGridOptions{goTabs});
  ShowForm();
  g->SetFocus();
  EXPECT_EQ(g->Col(), 1);
  EXPECT_EQ(g->Row(), 1);
  Key(VK_RIGHT);
  Key(VK_DOWN);
  EXPECT_EQ(g->Col(), 2);
  EXPECT_EQ(g->Row(), 2);
  Key(VK_LEFT);
  Key(VK_LEFT);  // never into the fixed column
  EXPECT_EQ(g->Col(), 1);
  Key(VK_TAB);
  Key(VK_TAB);
  Key(VK_TAB);  // past the last column to the next row
  EXPECT_EQ(g->Col(), 1);
  EXPECT_EQ(g->Row(), 3);
  KeyWith(VK_SHIFT, VK_TAB);
  EXPECT_EQ(g->Col(), 3);
  EXPECT_EQ(g->Row(), 2);
  KeyWith(VK_CONTROL, VK_END);
  EXPECT_EQ(g->Row(), 29);
  EXPECT_EQ(g->Col(), 3);
  EXPECT_GT(g->TopRow(), 1);
  TRect last = g->CellRect(3, 29);
  EXPECT_FALSE(IsRectEmpty(last));
  EXPECT_LE(last.Bottom, g->ClientHeight());
  Key(VK_PRIOR);
  EXPECT_EQ(g->Row(), 29 - (g->VisibleRowCount() - 1));
  KeyWith(VK_CONTROL, VK_HOME);
  EXPECT_EQ(g->Row(), 1);
  EXPECT_EQ(g->TopRow(), 1);
  EXPECT_EQ(g->Selection(), (TGridRect{1, 1, 1, 1}));
}

TEST_F(GridTest, SelectCellCanRefuseAMoveAndRowSelectCoversTheRow) {
  TStringGrid* g = NewGrid();
  g->OnSelectCell = [](TObject*, int col, int, bool& can) { can = col != 2; };
  ShowForm();
  g->SetFocus();
  Key(VK_RIGHT);
  EXPECT_EQ(g->Col(), 1);
  TRect r = g->CellRect(3, 4);
  Click(g, r.Left + 3, r.Top + 3);
  EXPECT_EQ(g->Col(), 3);
  EXPECT_EQ(g->Row(), 4);
  g->SetOptions(g->Options() + TGridOptions{goRowSelect});
  EXPECT_EQ(g->Selection(), (TGridRect{1, 4, 3, 4}));
}

TEST_F(GridTest, EditorOpensWithEnterOrTypingAndEscapeRestoresTheText) {
  TStringGrid* g = NewGrid();
  g->SetOptions(g->Options() + TGridOptions{goEditing});
  std::vector<std::string> sets;
  g->OnSetEditText = [&](TObject*, int c, int r, const std::string& v) {
    sets.push_back(std::to_string(c) + "," + std::to_string(r) + "=" + v);
  };
  g->OnGetEditText = [](TObject*, int, int, std::string& v) { v = "[" + v + "]"; };
  ShowForm();
  g->SetFocus();
  Key(VK_RETURN);
  ASSERT_TRUE(g->EditorMode());
  EXPECT_EQ(g->InplaceEditor()->EditText(), "[1:1]");
  EXPECT_TRUE(g->InplaceEditor()->Focused());
  Key(VK_END);
  Key('X', 'x');
  EXPECT_EQ(g->Cells(1, 1), "[1:1]x");
  Key(VK_ESCAPE);
  EXPECT_FALSE(g->EditorMode());
  EXPECT_EQ(g->Cells(1, 1), "[1:1]");  // the text the editor started with
  EXPECT_TRUE(g->Focused());

  Key(VK_DOWN);
  Key('7', '7');  // typing replaces the text
  ASSERT_TRUE(g->EditorMode());
  Key('5', '5');
  Key(VK_RETURN);
  EXPECT_FALSE(g->EditorMode());
  EXPECT_EQ(g->Cells(1, 2), "75");
  EXPECT_EQ(sets.back(), "1,2=75");

  Key(VK_F2);
  ASSERT_TRUE(g->EditorMode());
  Key(VK_DOWN);  // moving ends the editing and keeps the text
  EXPECT_FALSE(g->EditorMode());
  EXPECT_EQ(g->Row(), 3);
}

TEST_F(GridTest, ColumnsAreSizedByDraggingTheirHeadingEdge) {
  TStringGrid* g = NewGrid();
  g->SetOptions(g->Options() + TGridOptions{goColSizing});
  ShowForm();
  const int edge = g->ColWidths(0) + g->GridLineWidth() + g->ColWidths(1);
  TPoint a = g->ClientToScreen({edge, 5});
  InjectMouseDown(a.X, a.Y);
  InjectMouseMove(a.X + 30, a.Y);
  InjectMouseUp(a.X + 30, a.Y);
  Pump();
  EXPECT_EQ(g->ColWidths(1), 64 + 30);
  EXPECT_EQ(g->Col(), 1);
}

TEST_F(GridTest, ColsRowsAndObjectsReachTheCells) {
  TStringGrid* g = NewGrid(3, 3);
  TStringList lines;
  lines.Add("a");
  lines.Add("b");
  g->Cols(1)->Assign(&lines);
  EXPECT_EQ(g->Cells(1, 0), "a");
  EXPECT_EQ(g->Cells(1, 1), "b");
  EXPECT_EQ(g->Cells(1, 2), "");
  EXPECT_EQ(g->Rows(2)->Text(), "0:2\r\n\r\n2:2\r\n");
  g->SetObjects(2, 2, 9);
  EXPECT_EQ(g->Rows(2)->Objects(2), 9);
  g->SetColCount(2);  // shrinking drops cells
  EXPECT_EQ(g->Cells(2, 2), "");
  EXPECT_THROW(g->SetCells(5, 0, "x"), EListError);
  EXPECT_THROW(g->SetFixedRows(3), EInvalidOperation);
}

TEST_F(GridTest, DrawCellSeesFixedSelectedAndFocusedStates) {
  TStringGrid* g = NewGrid(3, 3);
  std::vector<std::tuple<int, int, TGridDrawState>> cells;
  g->OnDrawCell = [&](TObject*, int c, int r, TRect, TGridDrawState s) { cells.emplace_back(c, r, s); };
  ShowForm();
  g->SetFocus();
  cells.clear();
  g->Repaint();
  ASSERT_EQ(cells.size(), 9u);
  for (auto& [c, r, s] : cells) {
    EXPECT_EQ(s.Contains(gdFixed), c == 0 || r == 0);
    EXPECT_EQ(s.Contains(gdFocused), c == 1 && r == 1);
  }
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

class GridScrollTest : public ComCtrlsTest {
 protected:
  TStringGrid* NewGrid() {
    auto* g = new TStringGrid(form);
    g->SetParent(form);
    g->SetBounds(5, 5, 300, 200);
    g->SetColCount(10);
    g->SetRowCount(40);
    g->OnTopLeftChanged = [this](TObject*) { ++topLeftChanges; };
    return g;
  }
  int topLeftChanges = 0;
};

TEST_F(GridScrollTest, ScrollMessagesMoveTopRowAndLeftColWithinRange) {
  TStringGrid* g = NewGrid();
  ShowForm();
  SendMessage(g->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(g->TopRow(), 2);
  SendMessage(g->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  const int maxTop = g->TopRow();
  EXPECT_FALSE(IsRectEmpty(g->CellRect(1, 39)));
  SendMessage(g->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(g->TopRow(), maxTop);  // never past the last row
  EXPECT_TRUE(IsRectEmpty(g->CellRect(1, 1)));  // scrolled away
  EXPECT_FALSE(IsRectEmpty(g->CellRect(0, 0)));  // the fixed cells stay
  SendMessage(g->Handle(), WM_HSCROLL, SB_PAGERIGHT, 0);
  EXPECT_GT(g->LeftCol(), 1);
  SendMessage(g->Handle(), WM_MOUSEWHEEL, static_cast<WPARAM>(120) << 16, 0);
  EXPECT_EQ(g->TopRow(), maxTop - 3);
  EXPECT_EQ(topLeftChanges, 4);  // the refused line down told nothing
  // The focus cell stays where it was; moving it brings it back into view.
  EXPECT_EQ(g->Row(), 1);
  g->SetFocus();
  Key(VK_DOWN);
  EXPECT_EQ(g->TopRow(), 2);
  EXPECT_EQ(g->LeftCol(), 1);
}

TEST_F(GridScrollTest, DraggingTheMouseSelectsARange) {
  TStringGrid* g = NewGrid();
  ShowForm();
  TRect a = g->CellRect(1, 1), b = g->CellRect(3, 2);
  TPoint from = g->ClientToScreen({a.Left + 4, a.Top + 4});
  TPoint to = g->ClientToScreen({b.Left + 4, b.Top + 4});
  InjectMouseDown(from.X, from.Y);
  InjectMouseMove(to.X, to.Y);
  InjectMouseUp(to.X, to.Y);
  Pump();
  EXPECT_EQ(g->Selection(), (TGridRect{1, 1, 3, 2}));
  EXPECT_EQ(g->Col(), 3);
  InjectKeyDown(VK_SHIFT);
  Key(VK_DOWN);
  InjectKeyUp(VK_SHIFT);
  Pump();
  EXPECT_EQ(g->Selection(), (TGridRect{1, 1, 3, 3}));
  Key(VK_DOWN);
  EXPECT_EQ(g->Selection(), (TGridRect{3, 4, 3, 4}));
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

TEST_F(GridTest, TabLeavesAnEditedGridUnlessTabsMoveBetweenCells) {
  TStringGrid* g = NewGrid(3, 3);
  g->SetOptions(g->Options() + TGridOptions{goEditing});
  auto* after = new TStringGrid(form);
  after->SetParent(form);
  after->SetBounds(5, 220, 100, 30);
  ShowForm();
  g->SetFocus();
  Key(VK_F2);
  ASSERT_TRUE(g->InplaceEditor()->Focused());
  Key(VK_TAB);
  EXPECT_TRUE(after->Focused());
  g->SetOptions(g->Options() + TGridOptions{goTabs});
  g->SetFocus();
  Key(VK_F2);
  Key(VK_TAB);
  EXPECT_EQ(g->Col(), 2);
  EXPECT_FALSE(after->Focused());
}

}  // namespace
}  // namespace tw::test
