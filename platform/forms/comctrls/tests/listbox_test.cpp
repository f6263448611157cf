// The list box: single and multiple selection by mouse and keys, the events that follow,
// owner-drawn and variable-height items, scrolling and the LB_* messages.
#include "platform/forms/comctrls/listbox.h"

#include "comctrls_test_util.h"

namespace tw::test {
namespace {

class ListBoxTest : public ComCtrlsTest {
 protected:
  TListBox* NewList(int count = 20) {
    auto* lb = new TListBox(form);
    lb->SetParent(form);
    lb->SetBounds(10, 10, 150, 100);
    for (int i = 0; i < count; ++i) lb->Items()->Add("Line " + std::to_string(100 + i));
    lb->OnClick = [this](TObject*) { ++clicks; };
    return lb;
  }
  // A click in the middle of row `row` (counted from the top row shown).
  void ClickRow(TListBox* lb, int row, UINT modifier = 0) {
    if (modifier != 0) InjectKeyDown(modifier);
    Click(lb, 20, row * lb->ItemHeight() + lb->ItemHeight() / 2);
    if (modifier != 0) InjectKeyUp(modifier);
    Pump();
  }
  int clicks = 0;
};

TEST_F(ListBoxTest, SingleSelectionFollowsMouseAndKeysWithClickEvents) {
  TListBox* lb = NewList();
  ShowForm();
  ClickRow(lb, 3);
  EXPECT_EQ(lb->ItemIndex(), 3);
  EXPECT_TRUE(lb->Focused());
  EXPECT_EQ(clicks, 1);
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(lb->ItemIndex(), 5);
  EXPECT_EQ(clicks, 3);
  Key(VK_END);
  EXPECT_EQ(lb->ItemIndex(), 19);
  EXPECT_GT(lb->TopIndex(), 0);  // scrolled so that the last line shows
  EXPECT_LE(lb->ItemRect(19).Bottom, lb->ClientHeight());
  Key(VK_END);
  EXPECT_EQ(clicks, 4);  // no move, no event
  Key(VK_HOME);
  EXPECT_EQ(lb->ItemIndex(), 0);
  EXPECT_EQ(lb->TopIndex(), 0);
  Key('L', 'l');
  EXPECT_EQ(lb->ItemIndex(), 1);  // the next line starting with the letter
  lb->SetItemIndex(7);
  EXPECT_EQ(clicks, 6);  // setting by code fires nothing
  EXPECT_TRUE(lb->Selected(7));
  EXPECT_EQ(lb->SelCount(), -1);
}

TEST_F(ListBoxTest, ExtendedSelectionWithShiftCtrlAndMouseDrag) {
  TListBox* lb = NewList();
  lb->SetMultiSelect(true);
  ShowForm();
  ClickRow(lb, 1);
  ClickRow(lb, 4, VK_SHIFT);
  EXPECT_EQ(lb->SelCount(), 4);
  for (int i = 1; i <= 4; ++i) EXPECT_TRUE(lb->Selected(i)) << i;
  ClickRow(lb, 2, VK_CONTROL);  // toggles one item
  EXPECT_FALSE(lb->Selected(2));
  EXPECT_EQ(lb->SelCount(), 3);
  ClickRow(lb, 0);  // a plain click starts again
  EXPECT_EQ(lb->SelCount(), 1);
  InjectKeyDown(VK_SHIFT);
  Key(VK_DOWN);
  Key(VK_DOWN);
  InjectKeyUp(VK_SHIFT);
  Pump();
  EXPECT_EQ(lb->SelCount(), 3);
  EXPECT_EQ(lb->ItemIndex(), 2);

  const int h = lb->ItemHeight();
  TPoint a = lb->ClientToScreen({20, h / 2});
  TPoint b = lb->ClientToScreen({20, 3 * h + h / 2});
  InjectMouseDown(a.X, a.Y);
  InjectMouseMove(b.X, b.Y);
  InjectMouseUp(b.X, b.Y);
  Pump();
  EXPECT_EQ(lb->SelCount(), 4);

  int sel[8] = {};
  EXPECT_EQ(SendMessage(lb->Handle(), LB_GETSELITEMS, 8, reinterpret_cast<LPARAM>(sel)), 4);
  EXPECT_EQ(sel[3], 3);
  EXPECT_EQ(SendMessage(lb->Handle(), LB_SETSEL, 0, -1), 0);  // clears all
  EXPECT_EQ(lb->SelCount(), 0);
}

TEST_F(ListBoxTest, PlainMultiSelectTogglesWithClicksAndSpace) {
  TListBox* lb = NewList(5);
  lb->SetMultiSelect(true);
  lb->SetExtendedSelect(false);
  ShowForm();
  ClickRow(lb, 1);
  ClickRow(lb, 3);
  EXPECT_EQ(lb->SelCount(), 2);
  ClickRow(lb, 1);
  EXPECT_FALSE(lb->Selected(1));
  Key(VK_UP);  // moves the focus only
  EXPECT_EQ(lb->SelCount(), 1);
  EXPECT_EQ(lb->ItemIndex(), 0);
  Key(VK_SPACE, ' ');
  EXPECT_TRUE(lb->Selected(0));
  EXPECT_EQ(lb->SelCount(), 2);
}

TEST_F(ListBoxTest, SortedItemsKeepObjectsAndTheSelection) {
  TListBox* lb = NewList(0);
  lb->Items()->AddObject("delta", std::intptr_t{4});
  lb->Items()->AddObject("alpha", std::intptr_t{1});
  lb->SetItemIndex(0);  // "delta"
  lb->SetSorted(true);
  EXPECT_EQ(lb->Items()->Get(0), "alpha");
  EXPECT_EQ(lb->Items()->Objects(1), 4);
  EXPECT_EQ(lb->ItemIndex(), 1);
  lb->Items()->AddObject("charlie", std::intptr_t{3});
  EXPECT_EQ(lb->Items()->IndexOf("charlie"), 1);
  EXPECT_EQ(lb->ItemIndex(), 2);
  lb->Items()->Delete(2);
  EXPECT_EQ(lb->ItemIndex(), -1);
  EXPECT_THROW(lb->Items()->Get(5), EStringListError);
}

TEST_F(ListBoxTest, OwnerDrawnAndVariableHeightItems) {
  TListBox* lb = NewList(0);
  lb->SetStyle(lbOwnerDrawVariable);
  lb->OnMeasureItem = [](TWinControl*, int index, int& height) { height = 10 + 5 * index; };
  std::vector<std::pair<int, TRect>> drawn;
  std::vector<TOwnerDrawState> states;
  lb->OnDrawItem = [&](TWinControl*, int index, TRect r, TOwnerDrawState s) {
    drawn.emplace_back(index, r);
    states.push_back(s);
  };
  for (int i = 0; i < 4; ++i) lb->Items()->Add("x");
  ShowForm();
  lb->SetFocus();
  lb->SetItemIndex(2);
  drawn.clear();
  states.clear();
  lb->Repaint();
  ASSERT_EQ(drawn.size(), 4u);
  EXPECT_EQ(drawn[0].second, Rect(0, 0, lb->ClientWidth(), 10));
  EXPECT_EQ(drawn[1].second, Rect(0, 10, lb->ClientWidth(), 25));
  EXPECT_EQ(drawn[2].second, Rect(0, 25, lb->ClientWidth(), 45));
  EXPECT_TRUE(states[2].Contains(odSelected));
  EXPECT_TRUE(states[2].Contains(odFocused));
  EXPECT_FALSE(states[1].Contains(odSelected));
  EXPECT_EQ(lb->ItemAtPos({5, 30}, true), 2);
  EXPECT_EQ(lb->ItemAtPos({5, 200}, true), -1);
}

TEST_F(ListBoxTest, ScrollBarAndWheelMoveTheTopLine) {
  TListBox* lb = NewList(50);
  ShowForm();
  SendMessage(lb->Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(lb->TopIndex(), lb->VisibleRows());
  SendMessage(lb->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(lb->TopIndex(), 50 - lb->VisibleRows());
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(lb->Handle(), SB_VERT, &si));
  EXPECT_EQ(si.nMax, 49);
  EXPECT_EQ(si.nPos, lb->TopIndex());
  SendMessage(lb->Handle(), WM_MOUSEWHEEL, static_cast<WPARAM>(120) << 16, 0);
  EXPECT_EQ(lb->TopIndex(), 50 - lb->VisibleRows() - 3);
  lb->Items()->Clear();
  EXPECT_EQ(lb->TopIndex(), 0);
}

TEST_F(ListBoxTest, MessagesAnswerLikeTheWindowSystemsListBox) {
  TListBox* lb = NewList(3);
  ShowForm();
  HWND h = lb->Handle();
  EXPECT_EQ(SendMessage(h, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessage(h, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("first")), 0);
  EXPECT_EQ(SendMessage(h, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("LINE 101")), 2);
  EXPECT_EQ(SendMessage(h, LB_SETCURSEL, 2, 0), 2);
  EXPECT_EQ(SendMessage(h, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(SendMessage(h, LB_SETCURSEL, 9, 0), LB_ERR);
  EXPECT_EQ(lb->ItemIndex(), -1);
  EXPECT_EQ(SendMessage(h, LB_SETITEMDATA, 1, 42), 0);
  EXPECT_EQ(SendMessage(h, LB_GETITEMDATA, 1, 0), 42);
  EXPECT_EQ(SendMessage(h, LB_GETTEXTLEN, 0, 0), 5);
  EXPECT_EQ(SendMessage(h, LB_DELETESTRING, 7, 0), LB_ERR);
  EXPECT_EQ(SendMessage(h, LB_DELETESTRING, 0, 0), 3);
  EXPECT_EQ(SendMessage(h, LB_GETSELCOUNT, 0, 0), LB_ERR);  // single selection
  EXPECT_EQ(clicks, 0);
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

class ListBoxLayoutTest : public ComCtrlsTest {
 protected:
  TListBox* NewList(int count) {
    auto* lb = new TListBox(form);
    lb->SetParent(form);
    lb->SetBounds(10, 10, 200, 100);
    for (int i = 0; i < count; ++i) lb->Items()->Add("Item " + std::to_string(i));
    return lb;
  }
};

TEST_F(ListBoxLayoutTest, ColumnsFlowTopToBottomThenLeftToRight) {
  TListBox* lb = NewList(30);
  lb->SetColumns(2);
  ShowForm();
  const int rows = lb->VisibleRows();
  const int colWidth = lb->ClientWidth() / 2;
  EXPECT_EQ(lb->ItemRect(rows).Left, colWidth);
  EXPECT_EQ(lb->ItemRect(rows).Top, 0);
  EXPECT_EQ(lb->ItemAtPos({colWidth + 5, lb->ItemHeight() + 2}, true), rows + 1);
  lb->SetFocus();
  lb->SetItemIndex(1);
  Key(VK_RIGHT);  // one column on
  EXPECT_EQ(lb->ItemIndex(), 1 + rows);
  Key(VK_RIGHT);
  EXPECT_EQ(lb->ItemIndex(), 1 + 2 * rows);
  EXPECT_EQ(lb->TopIndex(), rows);  // scrolled by whole columns
}

TEST_F(ListBoxLayoutTest, ItemIndexOfAMultiSelectListOnlyMovesTheFocus) {
  TListBox* lb = NewList(5);
  lb->SetMultiSelect(true);
  lb->SetSelected(3, true);
  lb->SetItemIndex(1);
  EXPECT_EQ(lb->ItemIndex(), 1);
  EXPECT_FALSE(lb->Selected(1));
  EXPECT_TRUE(lb->Selected(3));
  lb->SetMultiSelect(false);  // back to one selection: none kept but the focused one
  EXPECT_EQ(lb->SelCount(), -1);
  EXPECT_TRUE(lb->Selected(1));
  EXPECT_FALSE(lb->Selected(3));
}

TEST_F(ListBoxLayoutTest, DisabledAndFixedOwnerDrawnItemsGetTheirStateAndHeight) {
  TListBox* lb = NewList(3);
  lb->SetStyle(lbOwnerDrawFixed);
  SendMessage(lb->Handle(), LB_SETITEMHEIGHT, 0, 30);
  EXPECT_EQ(lb->ItemHeight(), 30);
  std::vector<TOwnerDrawState> states;
  std::vector<TRect> rects;
  lb->OnDrawItem = [&](TWinControl*, int, TRect r, TOwnerDrawState s) {
    states.push_back(s);
    rects.push_back(r);
  };
  lb->SetEnabled(false);
  ShowForm();
  states.clear();
  lb->Repaint();
  ASSERT_EQ(states.size(), 3u);
  EXPECT_TRUE(states[0].Contains(odDisabled));
  EXPECT_EQ(rects[2].Top, 60);
  RECT r;
  EXPECT_EQ(SendMessage(lb->Handle(), LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r)), 1);
  EXPECT_EQ(r.Top, 30);
  EXPECT_EQ(SendMessage(lb->Handle(), LB_ITEMFROMPOINT, 0, (45 << 16) | 5), 1);
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

TEST_F(ListBoxLayoutTest, IntegralHeightShowsWholeRowsOnly) {
  TListBox* lb = NewList(20);
  lb->SetStyle(lbOwnerDrawFixed);
  lb->SetItemHeight(15);
  ShowForm();
  lb->SetIntegralHeight(true);
  lb->SetHeight(100);
  EXPECT_EQ(lb->ClientHeight() % 15, 0);
  EXPECT_LE(lb->Height(), 100);
  EXPECT_EQ(lb->VisibleRows(), lb->ClientHeight() / 15);
}

TEST_F(ListBoxTest, SortedListAnswersWhereAnInsertedLineLanded) {
  TListBox* lb = NewList(0);
  lb->SetSorted(true);
  ShowForm();
  HWND h = lb->Handle();
  auto send = [h](UINT msg, WPARAM at, const char* text) {
    return SendMessage(h, msg, at, reinterpret_cast<LPARAM>(text));
  };
  EXPECT_EQ(send(LB_ADDSTRING, 0, "mango"), 0);
  EXPECT_EQ(send(LB_ADDSTRING, 0, "apple"), 0);
  EXPECT_EQ(send(LB_INSERTSTRING, 0, "zucchini"), 2);
  EXPECT_EQ(send(LB_INSERTSTRING, static_cast<WPARAM>(-1), "banana"), 1);
  EXPECT_EQ(send(LB_INSERTSTRING, 3, "cherry"), 2);
  // The answer names the line: its text reads back from that index.
  char buf[16];
  EXPECT_EQ(SendMessage(h, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(buf)), 6);
  EXPECT_STREQ(buf, "cherry");
  EXPECT_EQ(lb->Items()->Get(4), "zucchini");
}

}  // namespace
}  // namespace tw::test
