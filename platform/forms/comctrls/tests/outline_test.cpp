// The outline: building the tree, 1-based node numbers, lines with tab indents, expanding and
// collapsing by keys and mouse with their events, and the selection when nodes go away.
#include "platform/forms/comctrls/outline.h"

#include "comctrls_test_util.h"

namespace tw::test {
namespace {

class OutlineTest : public ComCtrlsTest {
 protected:
  // frmMain
  //   Caption
  //   Font
  //     Name
  //     Size
  // Button1
  //   Caption
  TOutline* NewOutline() {
    auto* o = new TOutline(form);
    o->SetParent(form);
    o->SetBounds(10, 10, 200, 150);
    const int f = o->Add(0, "frmMain");
    o->AddChild(f, "Caption");
    const int font = o->AddChild(f, "Font");
    o->AddChild(font, "Name");
    o->AddChild(font, "Size");
    const int b = o->Add(f, "Button1");
    o->AddChild(b, "Caption");
    o->OnExpand = [this](TObject*, int i) { events.push_back("expand " + std::to_string(i)); };
    o->OnCollapse = [this](TObject*, int i) { events.push_back("collapse " + std::to_string(i)); };
    o->OnClick = [this](TObject*) { events.push_back("click"); };
    return o;
  }
  std::vector<std::string> events;
};

TEST_F(OutlineTest, NodesAreNumberedInTreeOrderAndOfferedAsLines) {
  TOutline* o = NewOutline();
  ASSERT_EQ(o->ItemCount(), 7);
  EXPECT_EQ(o->Items(4)->Text(), "Name");
  EXPECT_EQ(o->Items(4)->Level(), 3);
  EXPECT_EQ(o->Items(4)->Parent()->Index(), 3);
  EXPECT_EQ(o->Items(6)->Text(), "Button1");
  EXPECT_EQ(o->Items(6)->Parent(), nullptr);
  EXPECT_EQ(o->Items(4)->FullPath(), "frmMain\\Font\\Name");
  EXPECT_EQ(o->Items(1)->GetNextChild(2), 3);
  EXPECT_EQ(o->Lines()->Text(), "frmMain\r\n\tCaption\r\n\tFont\r\n\t\tName\r\n\t\tSize\r\nButton1\r\n\tCaption\r\n");
  EXPECT_THROW(o->Items(8), EOutlineError);
  const int inserted = o->Insert(3, "Color");
  EXPECT_EQ(inserted, 3);
  EXPECT_EQ(o->Items(4)->Text(), "Font");

  auto* copy = new TOutline(form);
  copy->SetLines(o->Lines());
  EXPECT_EQ(copy->Lines()->Text(), o->Lines()->Text());
  EXPECT_EQ(copy->Items(5)->Level(), 3);
}

TEST_F(OutlineTest, KeysExpandCollapseAndMoveAmongShownNodes) {
  TOutline* o = NewOutline();
  ShowForm();
  o->SetFocus();
  EXPECT_EQ(o->RowCount(), 2);  // collapsed: the top-level nodes
  o->SetSelectedItem(1);
  Key(VK_ADD);
  EXPECT_EQ(o->RowCount(), 4);
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(o->SelectedItem(), 3);  // Font
  Key(VK_RIGHT);
  EXPECT_TRUE(o->Items(3)->Expanded());
  Key(VK_RIGHT);
  EXPECT_EQ(o->SelectedItem(), 4);  // into its first child
  Key(VK_LEFT);
  EXPECT_EQ(o->SelectedItem(), 3);  // back to the parent
  Key(VK_RETURN);
  EXPECT_FALSE(o->Items(3)->Expanded());
  Key(VK_SUBTRACT, '-');
  EXPECT_EQ(events, (std::vector<std::string>{"expand 1", "click", "click", "expand 3", "click", "click",
                                              "collapse 3"}));
  o->SetSelectedItem(1);
  Key(VK_SUBTRACT, kNoCharacter);
  EXPECT_EQ(o->RowCount(), 2);
  Key('B', 'b');
  EXPECT_EQ(o->SelectedItem(), 6);
}

TEST_F(OutlineTest, CollapsingMovesAHiddenSelectionAndSelectingShowsANode) {
  TOutline* o = NewOutline();
  o->SetSelectedItem(5);  // Size: its ancestors open
  EXPECT_TRUE(o->Items(1)->Expanded());
  EXPECT_TRUE(o->Items(3)->Expanded());
  EXPECT_EQ(o->ItemIndex(), 4);
  o->Items(1)->Collapse();
  EXPECT_EQ(o->SelectedItem(), 1);
  o->FullExpand();
  EXPECT_EQ(o->RowCount(), 7);
  o->SetSelectedItem(4);
  o->Delete(3);  // Font with Name and Size
  EXPECT_EQ(o->ItemCount(), 4);
  EXPECT_EQ(o->Items(o->SelectedItem())->Text(), "Caption");
  o->FullCollapse();
  EXPECT_EQ(o->RowCount(), 2);
}

TEST_F(OutlineTest, MouseSelectsTogglesByItsBoxAndDoubleClick) {
  TOutline* o = NewOutline();
  o->SetOutlineStyle(osPlusMinusText);
  ShowForm();
  const int h = o->ItemHeight();
  Click(o, 100, h + h / 2);  // Button1's text
  EXPECT_EQ(o->SelectedItem(), 6);
  EXPECT_FALSE(o->Items(6)->Expanded());
  const int box = 2 + o->Items(1)->Level() * 16 - 8;
  Click(o, box, h / 2);  // frmMain's plus box
  EXPECT_TRUE(o->Items(1)->Expanded());
  EXPECT_EQ(o->SelectedItem(), 6);
  InjectDoubleClick(o->Handle(), 100, h / 2 + 3 * h);  // Button1, now in row 3
  Pump();
  EXPECT_TRUE(o->Items(6)->Expanded());
}

}  // namespace
}  // namespace tw::test
