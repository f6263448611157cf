// The combo box: dropping the list by mouse and keys, choosing from it, the events that follow,
// owner-drawn items, sorted items keeping their objects and the CB_* messages.
#include "platform/forms/comctrls/combobox.h"

#include "comctrls_test_util.h"

namespace tw::test {
namespace {

class ComboBoxTest : public ComCtrlsTest {
 protected:
  TComboBox* NewCombo(TComboBoxStyle style, std::vector<std::string> items = {"Apple", "Banana", "Cherry", "Date"}) {
    auto* cb = new TComboBox(form);
    cb->SetParent(form);
    cb->SetStyle(style);
    cb->SetBounds(10, 10, 150, 0);
    for (const auto& s : items) cb->Items()->Add(s);
    cb->OnChange = [this](TObject*) { log.push_back("change"); };
    cb->OnClick = [this](TObject*) { log.push_back("click"); };
    cb->OnDropDown = [this](TObject*) { log.push_back("dropdown"); };
    cb->OnCloseUp = [this](TObject*) { log.push_back("closeup"); };
    return cb;
  }
  std::vector<std::string> log;
};

TEST_F(ComboBoxTest, MouseDropsTheListAndAClickOnAnItemChoosesIt) {
  TComboBox* cb = NewCombo(csDropDownList);
  ShowForm();
  cb->SetFocus();
  Click(cb, 75, 8);
  ASSERT_TRUE(cb->DroppedDown());
  HWND list = cb->DropDownWindow();
  ASSERT_NE(list, 0u);
  RECT wr;
  GetWindowRect(list, &wr);
  RECT cr;
  GetWindowRect(cb->Handle(), &cr);
  EXPECT_EQ(wr.Top, cr.Bottom);  // below the field, as wide as it
  EXPECT_EQ(wr.Right - wr.Left, cb->Width());

  const int h = cb->ItemHeight();
  ClickWindow(list, 20, 2 * h + h / 2);  // "Cherry"
  EXPECT_FALSE(cb->DroppedDown());
  EXPECT_FALSE(IsWindow(list));
  EXPECT_EQ(cb->ItemIndex(), 2);
  EXPECT_EQ(cb->Text(), "Cherry");
  EXPECT_EQ(log, (std::vector<std::string>{"dropdown", "click", "change", "closeup"}));
}

TEST_F(ComboBoxTest, APressOutsideTheListOrLosingTheFocusClosesItWithoutChoosing) {
  TComboBox* cb = NewCombo(csDropDownList);
  auto* other = NewCombo(csDropDownList);
  other->SetTop(100);
  ShowForm();
  cb->SetItemIndex(1);
  cb->SetFocus();
  cb->SetDroppedDown(true);
  ASSERT_TRUE(cb->DroppedDown());
  ClickWindow(form->Handle(), 300, 200);
  EXPECT_FALSE(cb->DroppedDown());
  EXPECT_EQ(cb->ItemIndex(), 1);

  cb->SetDroppedDown(true);
  other->SetFocus();
  Pump();
  EXPECT_FALSE(cb->DroppedDown());
  EXPECT_EQ(cb->ItemIndex(), 1);
}

TEST_F(ComboBoxTest, KeysDropMoveChooseAndCancel) {
  TComboBox* cb = NewCombo(csDropDownList);
  ShowForm();
  cb->SetFocus();
  cb->SetItemIndex(0);
  KeyWith(VK_MENU, VK_DOWN);
  ASSERT_TRUE(cb->DroppedDown());
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(cb->DropDownHotItem(), 2);
  EXPECT_EQ(cb->ItemIndex(), 0);  // nothing chosen while the list is open
  Key(VK_ESCAPE);
  EXPECT_FALSE(cb->DroppedDown());
  EXPECT_EQ(cb->ItemIndex(), 0);

  Key(VK_F4);
  ASSERT_TRUE(cb->DroppedDown());
  Key(VK_END);
  Key(VK_RETURN);
  EXPECT_FALSE(cb->DroppedDown());
  EXPECT_EQ(cb->ItemIndex(), 3);

  log.clear();
  Key(VK_HOME);  // closed: the keys choose at once
  EXPECT_EQ(cb->ItemIndex(), 0);
  Key(VK_DOWN);
  EXPECT_EQ(cb->ItemIndex(), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"click", "change", "click", "change"}));
  Key('C', 'c');  // a typed first letter
  EXPECT_EQ(cb->Text(), "Cherry");
}

TEST_F(ComboBoxTest, EnterAndEscapeInAnOpenListDoNotReachTheFormsButtons) {
  TComboBox* cb = NewCombo(csDropDownList);
  std::vector<std::string> formKeys;
  form->SetKeyPreview(false);
  ShowForm();
  cb->SetFocus();
  Key(VK_F4);
  Key(VK_DOWN);
  Key(VK_RETURN);
  EXPECT_EQ(cb->ItemIndex(), 0);
  EXPECT_EQ(form->ModalResult(), 0);
}

TEST_F(ComboBoxTest, DropDownEditTakesTypedTextWithinMaxLength) {
  TComboBox* cb = NewCombo(csDropDown);
  cb->SetMaxLength(6);
  ShowForm();
  cb->SetFocus();
  InjectText("Bananas!");
  Pump();
  EXPECT_EQ(cb->Text(), "Banana");
  Key(VK_BACK);
  EXPECT_EQ(cb->Text(), "Banan");
  EXPECT_EQ(cb->ItemIndex(), -1);
  Key(VK_LEFT);
  Key(VK_DELETE);
  EXPECT_EQ(cb->Text(), "Bana");
  Key('N', 'n');
  EXPECT_EQ(cb->Text(), "Banan");
  Key(VK_END);
  Key('A', 'a');
  EXPECT_EQ(cb->Text(), "Banana");
  EXPECT_EQ(cb->ItemIndex(), 1);  // the text names an item
  EXPECT_GE(std::count(log.begin(), log.end(), std::string("change")), 6);
  cb->SetItemIndex(3);
  EXPECT_EQ(cb->Text(), "Date");
}

TEST_F(ComboBoxTest, SortedItemsKeepTheirObjects) {
  TComboBox* cb = NewCombo(csDropDownList, {});
  cb->SetSorted(true);
  cb->Items()->AddObject("pear", std::intptr_t{3});
  cb->Items()->AddObject("apple", std::intptr_t{1});
  cb->Items()->AddObject("Orange", std::intptr_t{2});
  ASSERT_EQ(cb->Items()->Count(), 3);
  EXPECT_EQ(cb->Items()->Get(0), "apple");
  EXPECT_EQ(cb->Items()->Get(1), "Orange");
  EXPECT_EQ(cb->Items()->Objects(0), 1);
  EXPECT_EQ(cb->Items()->Objects(1), 2);
  EXPECT_EQ(cb->Items()->Objects(2), 3);
  cb->SetItemIndex(2);
  cb->Items()->AddObject("banana", std::intptr_t{4});  // the selection follows its item
  EXPECT_EQ(cb->ItemIndex(), 3);
  EXPECT_EQ(cb->Text(), "pear");

  auto* unsorted = NewCombo(csDropDownList, {"b", "a"});
  unsorted->Items()->SetObjects(0, 20);
  unsorted->Items()->SetObjects(1, 10);
  unsorted->SetSorted(true);
  EXPECT_EQ(unsorted->Items()->Get(0), "a");
  EXPECT_EQ(unsorted->Items()->Objects(0), 10);
}

TEST_F(ComboBoxTest, OwnerDrawnItemsAreDrawnThroughTheEventWithRectsAndStates) {
  TComboBox* cb = NewCombo(csOwnerDrawFixed);
  cb->SetItemHeight(20);
  EXPECT_EQ(cb->Height(), 26);
  struct Call {
    int index;
    TRect rect;
    TOwnerDrawState state;
    HDC dc;
  };
  std::vector<Call> calls;
  cb->OnDrawItem = [&](TWinControl* c, int index, TRect r, TOwnerDrawState s) {
    EXPECT_EQ(c, cb);
    calls.push_back({index, r, s, cb->Canvas()->Handle()});
    cb->Canvas()->FillRect(r);
  };
  ShowForm();
  cb->SetItemIndex(1);
  cb->SetFocus();
  calls.clear();
  cb->Repaint();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].index, 1);
  EXPECT_EQ(calls[0].rect, cb->EditRect());
  EXPECT_TRUE(calls[0].state.Contains(odComboBoxEdit));
  EXPECT_TRUE(calls[0].state.Contains(odSelected));
  EXPECT_TRUE(calls[0].state.Contains(odFocused));

  calls.clear();
  cb->SetDroppedDown(true);
  UpdateWindow(cb->DropDownWindow());
  Pump();
  std::vector<Call> listCalls;
  for (const Call& c : calls)
    if (!c.state.Contains(odComboBoxEdit)) listCalls.push_back(c);
  ASSERT_EQ(listCalls.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(listCalls[static_cast<std::size_t>(i)].index, i);
    EXPECT_EQ(listCalls[static_cast<std::size_t>(i)].rect, Rect(0, 20 * i, cb->Width() - 2, 20 * i + 20));
    EXPECT_EQ(listCalls[static_cast<std::size_t>(i)].state.Contains(odSelected), i == 1);
    EXPECT_NE(listCalls[static_cast<std::size_t>(i)].dc, 0u);
  }
}

TEST_F(ComboBoxTest, MessagesFindSelectAndCarryItemData) {
  TComboBox* cb = NewCombo(csDropDownList);
  ShowForm();
  HWND h = cb->Handle();
  EXPECT_EQ(SendMessage(h, CB_GETCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessage(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Elder")), 4);
  EXPECT_EQ(SendMessage(h, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("ch")), 2);
  EXPECT_EQ(SendMessage(h, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("ch")), CB_ERR);
  EXPECT_EQ(SendMessage(h, CB_SETITEMDATA, 3, 77), CB_OKAY);
  EXPECT_EQ(SendMessage(h, CB_GETITEMDATA, 3, 0), 77);
  EXPECT_EQ(SendMessage(h, CB_GETITEMDATA, 9, 0), CB_ERR);
  EXPECT_EQ(SendMessage(h, CB_SETCURSEL, 3, 0), 3);
  EXPECT_EQ(SendMessage(h, CB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(cb->Text(), "Date");
  char buf[16];
  EXPECT_EQ(SendMessage(h, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buf)), 6);
  EXPECT_STREQ(buf, "Banana");
  cb->SetFocus();
  SendMessage(h, CB_SHOWDROPDOWN, 1, 0);
  EXPECT_EQ(SendMessage(h, CB_GETDROPPEDSTATE, 0, 0), 1);
  SendMessage(h, CB_SHOWDROPDOWN, 0, 0);
  EXPECT_EQ(SendMessage(h, CB_GETDROPPEDSTATE, 0, 0), 0);
  EXPECT_TRUE(log.empty() || log.front() == "dropdown");  // code never fires click or change
  EXPECT_EQ(std::count(log.begin(), log.end(), std::string("change")), 0);
}

TEST_F(ComboBoxTest, ALongListScrollsToKeepTheHighlightShown) {
  std::vector<std::string> many;
  for (int i = 0; i < 30; ++i) many.push_back("Item " + std::to_string(100 + i));
  TComboBox* cb = NewCombo(csDropDownList, many);
  cb->SetDropDownCount(5);
  ShowForm();
  cb->SetFocus();
  cb->SetDroppedDown(true);
  for (int i = 0; i < 12; ++i) Key(VK_DOWN);
  EXPECT_EQ(cb->DropDownHotItem(), 11);
  EXPECT_EQ(cb->DropDownTopIndex(), 7);
  Key(VK_NEXT);
  EXPECT_EQ(cb->DropDownHotItem(), 15);
  Key(VK_RETURN);
  EXPECT_EQ(cb->ItemIndex(), 15);
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

class ComboBoxMoreTest : public ComCtrlsTest {
 protected:
  TComboBox* NewCombo(TComboBoxStyle style) {
    auto* cb = new TComboBox(form);
    cb->SetParent(form);
    cb->SetStyle(style);
    cb->SetBounds(10, 10, 150, 120);
    for (const char* s : {"Amsterdam", "Berlin", "Bern", "Brussels", "Copenhagen"}) cb->Items()->Add(s);
    cb->OnChange = [this](TObject*) { ++changes; };
    return cb;
  }
  int changes = 0;
};

TEST_F(ComboBoxMoreTest, SimpleStyleShowsItsListBelowTheField) {
  TComboBox* cb = NewCombo(csSimple);
  EXPECT_EQ(cb->Height(), 120);  // csSimple keeps the height it is given
  ShowForm();
  const int fieldH = cb->EditRect().Bottom + 2;
  const int h = cb->ItemHeight();
  Click(cb, 30, fieldH + 2 + 2 * h + h / 2);
  EXPECT_EQ(cb->ItemIndex(), 2);
  EXPECT_EQ(cb->Text(), "Bern");
  EXPECT_EQ(changes, 1);
  Key(VK_F4);
  EXPECT_FALSE(cb->DroppedDown());  // nothing to drop
  Key(VK_DOWN);
  EXPECT_EQ(cb->Text(), "Brussels");
}

TEST_F(ComboBoxMoreTest, DropDownFieldEditsWithSelectionAndTheClipboard) {
  TComboBox* cb = NewCombo(csDropDown);
  ShowForm();
  cb->SetFocus();
  cb->SetText("Hamburg");
  cb->SelectAll();
  KeyWith(VK_CONTROL, 'C');
  Key(VK_END);
  InjectKeyDown(VK_SHIFT);
  Key(VK_LEFT);
  Key(VK_LEFT);
  InjectKeyUp(VK_SHIFT);
  Pump();
  EXPECT_EQ(cb->SelText(), "rg");
  Key('X', 'x');
  EXPECT_EQ(cb->Text(), "Hambux");
  Key(VK_HOME);
  KeyWith(VK_CONTROL, 'V');
  EXPECT_EQ(cb->Text(), "HamburgHambux");
  EXPECT_EQ(cb->SelStart(), 7);
  SendMessage(cb->Handle(), CB_SETEDITSEL, 0, (3 << 16) | 0);
  KeyWith(VK_CONTROL, 'X');
  EXPECT_EQ(cb->Text(), "burgHambux");
  DWORD a = 9, b = 9;
  SendMessage(cb->Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  EXPECT_EQ(a, 0u);
  EXPECT_EQ(b, 0u);
  // Arrows in the closed field walk the items.
  cb->SetText("Berlin");
  Key(VK_DOWN);
  EXPECT_EQ(cb->Text(), "Bern");
  EXPECT_EQ(cb->SelLength(), 4);
}

TEST_F(ComboBoxMoreTest, VariableHeightItemsAreMeasuredAndTheListSizedByThem) {
  TComboBox* cb = NewCombo(csDropDownList);
  cb->OnMeasureItem = [](TWinControl*, int index, int& height) { height = index < 0 ? 18 : 10 + index; };
  cb->SetStyle(csOwnerDrawVariable);
  EXPECT_EQ(cb->Height(), 24);  // the field from index -1
  EXPECT_EQ(SendMessage(cb->Handle(), CB_GETITEMHEIGHT, 3, 0), 13);
  cb->Items()->Add("Dublin");
  EXPECT_EQ(SendMessage(cb->Handle(), CB_GETITEMHEIGHT, 5, 0), 15);
  ShowForm();
  cb->SetFocus();
  cb->SetDroppedDown(true);
  RECT r;
  GetClientRect(cb->DropDownWindow(), &r);
  EXPECT_EQ(r.Bottom - r.Top, 10 + 11 + 12 + 13 + 14 + 15);
}

TEST_F(ComboBoxMoreTest, DestroyingAnOpenComboRemovesItsList) {
  TComboBox* cb = NewCombo(csDropDownList);
  ShowForm();
  cb->SetFocus();
  cb->SetDroppedDown(true);
  HWND list = cb->DropDownWindow();
  ASSERT_TRUE(IsWindow(list));
  delete cb;
  Pump();
  EXPECT_FALSE(IsWindow(list));
  EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(ComboBoxMoreTest, ChoosingFromTheListClosesItBeforeTheHandlersRun) {
  TComboBox* cb = NewCombo(csDropDownList);
  bool droppedInHandler = true;
  cb->OnChange = [&](TObject*) { droppedInHandler = cb->DroppedDown(); };
  ShowForm();
  cb->SetFocus();
  cb->SetDroppedDown(true);
  Key(VK_DOWN);
  Key(VK_RETURN);
  EXPECT_FALSE(droppedInHandler);
  EXPECT_EQ(cb->ItemIndex(), 0);
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

TEST_F(ComboBoxMoreTest, TypingWithTheListOpenHighlightsTheFirstMatch) {
  TComboBox* cb = NewCombo(csDropDown);
  ShowForm();
  cb->SetFocus();
  cb->SetDroppedDown(true);
  InjectText("bru");
  Pump();
  EXPECT_EQ(cb->DropDownHotItem(), 3);
  Key(VK_RETURN);
  EXPECT_EQ(cb->Text(), "Brussels");
  EXPECT_EQ(cb->ItemIndex(), 3);
}

TEST_F(ComboBoxTest, SortedComboAnswersWhereAnInsertedLineLanded) {
  TComboBox* cb = NewCombo(csDropDownList);
  cb->SetSorted(true);
  ShowForm();
  HWND h = cb->Handle();
  auto send = [h](UINT msg, WPARAM at, const char* text) {
    return SendMessage(h, msg, at, reinterpret_cast<LPARAM>(text));
  };
  EXPECT_EQ(send(CB_INSERTSTRING, 0, "Coconut"), 3);
  EXPECT_EQ(send(CB_INSERTSTRING, static_cast<WPARAM>(-1), "Avocado"), 1);
  EXPECT_EQ(send(CB_ADDSTRING, 0, "Aardvark"), 0);
  EXPECT_EQ(send(CB_INSERTSTRING, 0, "Zebra"), 7);
  EXPECT_EQ(SendMessage(h, CB_SETCURSEL, 5, 0), 5);
  EXPECT_EQ(cb->Text(), "Coconut");
}

}  // namespace
}  // namespace tw::test
