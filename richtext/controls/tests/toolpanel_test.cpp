// The tool panel: its buttons change the selection's attributes and the paragraph's alignment,
// its buttons follow the text at the cursor, and chains of panels pass reports on once.
#include <map>

#include "richtext/controls/tests/tools_fixture.h"

namespace tw::richtext::testing {
namespace {

using ToolPanel = ToolsTest;

TEST_F(ToolPanel, StyleButtonsSetAndClearTheSelectionsStyle) {
  Type("plain bold plain");
  E().SelectRange(6, 4);
  ClickButton(tgStyle, 2);  // bold down
  EXPECT_TRUE(Styled(6, 10, fsBold));
  EXPECT_FALSE(Styled(0, 6, fsBold));
  EXPECT_FALSE(Styled(10, 16, fsBold));
  EXPECT_TRUE(Down(tgStyle, 2));
  EXPECT_TRUE(rt->Modified);
  ClickButton(tgStyle, 3);  // italic added on top
  EXPECT_TRUE(Styled(6, 10, fsBold | fsItalic));
  ClickButton(tgStyle, 2);  // bold up again
  EXPECT_FALSE(Styled(6, 10, fsBold));
  EXPECT_TRUE(Styled(6, 10, fsItalic));
  EXPECT_FALSE(Down(tgStyle, 2));
  // Superscript and subscript exclude each other; plain clears every style.
  ClickButton(tgStyle, 7);
  EXPECT_TRUE(Styled(6, 10, fsSuper));
  ClickButton(tgStyle, 8);
  EXPECT_TRUE(Styled(6, 10, fsSub));
  EXPECT_FALSE(Styled(6, 10, fsSuper));
  ClickButton(tgStyle, 1);
  for (int i = 6; i < 10; ++i) EXPECT_EQ(E().FirstPar->FirstLine->Attrs[static_cast<std::size_t>(i)].Style, 0) << i;
}

TEST_F(ToolPanel, WithoutASelectionTheButtonSetsTheTypingAttributes) {
  Type("ab");
  ClickButton(tgStyle, 2);
  Type("cd");
  EXPECT_FALSE(Styled(0, 2, fsBold));
  EXPECT_TRUE(Styled(2, 4, fsBold));
}

TEST_F(ToolPanel, ButtonsFollowTheTextAtTheCursor) {
  Type("abcdef");
  E().SelectRange(3, 3);
  ClickButton(tgStyle, 4);  // underline the second half
  Key(VK_HOME);
  EXPECT_FALSE(Down(tgStyle, 4));
  Key(VK_END);
  EXPECT_TRUE(Down(tgStyle, 4));
  Key(VK_HOME);
  EXPECT_FALSE(Down(tgStyle, 4));
}

TEST_F(ToolPanel, AlignmentButtonsAlignTheParagraphAndShowItsAlignment) {
  Type("one\rtwo");
  ClickButton(tgAlignment, 4);  // centred
  EXPECT_EQ(E().ParagraphByIndex(1)->Alignment, 2);
  EXPECT_EQ(E().ParagraphByIndex(0)->Alignment, 0);
  EXPECT_TRUE(Down(tgAlignment, 4));
  Key(VK_UP);
  EXPECT_TRUE(Down(tgAlignment, 1));
  EXPECT_FALSE(Down(tgAlignment, 4));
  ClickButton(tgAlignment, 3);  // justified
  EXPECT_EQ(E().ParagraphByIndex(0)->Alignment, 3);
  ClickButton(tgAlignment, 2);  // right
  EXPECT_EQ(E().ParagraphByIndex(0)->Alignment, 1);
}

TEST_F(ToolPanel, FieldValuesChangeTheSelectionAndBadValuesAreIgnored) {
  Type("sized text");
  E().SelectRange(0, 5);
  rt->ToolPanelField(tfSize, "14", 0);
  // Layout makes the lines anew: look them up after every change.
  auto a = [this](int i) { return E().FirstPar->FirstLine->Attrs[static_cast<std::size_t>(i)]; };
  EXPECT_EQ(a(0).Size, 14);
  EXPECT_NE(a(6).Size, 14);
  for (const char* bad : {"", "abc", "0", "300", "-2"}) rt->ToolPanelField(tfSize, bad, 0);
  EXPECT_EQ(a(0).Size, 14);
  rt->ToolPanelField(tfFontName, "Courier New", 0);
  EXPECT_EQ(E().Header().FontName(a(0).Font), "Courier New");
  rt->ToolPanelField(tfTextColor, "3", 0);
  EXPECT_EQ(a(0).TextColor(), 3);
  rt->ToolPanelField(tfTextColor, "16", 0);
  EXPECT_EQ(a(0).TextColor(), 3);
  rt->ToolPanelField(tfParagraph, "720", 2);  // left indent
  EXPECT_EQ(E().FirstPar->LeftIndent, 720);
}

// A panel with the font, size and colour fields: it keeps what the editor shows in them.
class FieldPanel : public TRiToolPanel {
 public:
  using TRiToolPanel::TRiToolPanel;
  std::map<int, std::string> Fields;

 protected:
  void DoSetField(int kind, const std::string& value, int) override { Fields[kind] = value; }
};

// The fields show the look of the text at the cursor, also right after a field changed it: the
// font chosen with no selection is the one the next typed character takes.
TEST_F(ToolPanel, TheFieldsShowWhatTheirOwnChangesMade) {
  auto* fields = new FieldPanel(form);
  fields->SetParent(form);
  panel->SetNextToolBar(fields);
  TAttr a = E().CurAttr;
  a.Size = 10;
  rt->SetCurrentAttr(a);
  rt->InputString("small ");
  a.Size = 20;
  a.SetTextColor(3);
  rt->SetCurrentAttr(a);
  rt->InputString("large");
  rt->Reformat();
  Key(VK_HOME);
  EXPECT_EQ(fields->Fields[tfSize], "10");
  Key(VK_END);
  EXPECT_EQ(fields->Fields[tfSize], "20");
  EXPECT_EQ(fields->Fields[tfTextColor], "3");
  // A selection changed through a field.
  Key(VK_HOME);
  for (int i = 0; i < 5; ++i) Key(VK_RIGHT, true);
  rt->ToolPanelField(tfSize, "14", 0);
  EXPECT_EQ(E().FirstPar->FirstLine->Attrs[0].Size, 14);
  EXPECT_EQ(fields->Fields[tfSize], "14");
  rt->ToolPanelField(tfTextColor, "2", 0);
  EXPECT_EQ(fields->Fields[tfTextColor], "2");
  // The typing attributes changed through a field, with nothing selected.
  Key(VK_END);
  rt->ToolPanelField(tfFontName, "Courier New", 0);
  EXPECT_EQ(fields->Fields[tfFontName], "Courier New");
  rt->ToolPanelField(tfBackColor, "4", 0);
  EXPECT_EQ(fields->Fields[tfBackColor], "4");
  Type("x");
  const TAttr typed = E().FirstPar->FirstLine->Attrs[11];
  EXPECT_EQ(E().Header().FontName(typed.Font), "Courier New");
  EXPECT_EQ(typed.BackColor(), 4);
  EXPECT_EQ(fields->Fields[tfFontName], "Courier New");
  // A paragraph value set through a field shows on the ruler.
  rt->ToolPanelField(tfParagraph, "720", 2);
  EXPECT_EQ(E().FirstPar->LeftIndent, 720);
  EXPECT_EQ(ruler->LeftIndent(), 720);
}

TEST_F(ToolPanel, AReadOnlyEditorRefusesTheButtonsCommands) {
  Type("text");
  rt->Modified = false;
  int changes = 0;
  rt->OnChange = [&](TObject*) { ++changes; };
  rt->SetReadOnly(true);
  E().SelectRange(0, 4);
  ClickButton(tgStyle, 2);
  ClickButton(tgAlignment, 2);
  EXPECT_FALSE(Styled(0, 4, fsBold));
  EXPECT_EQ(E().FirstPar->Alignment, 0);
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(rt->Modified);
}

TEST_F(ToolPanel, EditButtonsFollowTheSelection) {
  Type("some text");
  E().ClearSelection();
  rt->DoEditState(false, false);
  EXPECT_FALSE(panel->Button(tgEdit, 1)->Enabled());
  EXPECT_FALSE(panel->Button(tgEdit, 3)->Enabled());
  E().SelectRange(0, 4);
  rt->DoEditState(true, false);
  EXPECT_TRUE(panel->Button(tgEdit, 1)->Enabled());
  EXPECT_TRUE(panel->Button(tgEdit, 2)->Enabled());
  ClickButton(tgEdit, 2);  // cut
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{" text"}));
  EXPECT_EQ(Clip(CF_TEXT), "some");
}

TEST_F(ToolPanel, RemovingThePanelLeavesTheEditorWorking) {
  delete panel;
  panel = nullptr;
  EXPECT_EQ(rt->RiToolBar(), nullptr);
  Type("still typing");
  E().SelectRange(0, 5);
  rt->ToolPanelCommand(tkPress, tgStyle, 2);
  EXPECT_TRUE(Styled(0, 5, fsBold));
}

// A panel that counts what reaches it.
class CountingPanel : public TRiCustomToolPanel {
 public:
  explicit CountingPanel(TComponent* owner) : TRiCustomToolPanel(owner) {}
  int presses = 0;

 protected:
  bool DoPressButton(int, int, int) override {
    ++presses;
    return true;
  }
};

class ToolPanelChain : public RichTextTest {};

TEST_F(ToolPanelChain, APanelThatIsItsOwnNextPassesNothingOn) {
  auto* a = new CountingPanel(form);
  a->SetNextToolBar(a);
  EXPECT_TRUE(a->PressButton(tkPress, tgStyle, 2));
  EXPECT_EQ(a->presses, 1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(a->NextToolBar(), a);
}

TEST_F(ToolPanelChain, ALoopIsReportedOnceAndBrokenWhereItIsFound) {
  auto* a = new CountingPanel(form);
  auto* b = new CountingPanel(form);
  a->SetNextToolBar(b);
  b->SetNextToolBar(a);
  EXPECT_TRUE(a->PressButton(tkPress, tgStyle, 2));
  EXPECT_EQ(a->presses, 1);
  EXPECT_EQ(b->presses, 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(ToolBarLoopMessage), std::string::npos);
  EXPECT_EQ(a->NextToolBar(), nullptr);
  EXPECT_EQ(b->NextToolBar(), a);
  // The chain now ends at a: no further reports.
  b->PressButton(tkPress, tgStyle, 3);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(a->presses, 2);
}

TEST_F(ToolPanelChain, AFreedNextPanelLeavesTheChain) {
  auto* a = new CountingPanel(form);
  auto* b = new CountingPanel(form);
  a->SetNextToolBar(b);
  delete b;
  EXPECT_EQ(a->NextToolBar(), nullptr);
  EXPECT_TRUE(a->PressButton(tkPress, tgStyle, 2));
}

TEST_F(ToolPanelChain, AttachWithoutAnEditorTakesTheFocusedOne) {
  auto* a = new CountingPanel(form);
  auto* b = new CountingPanel(form);
  a->SetNextToolBar(b);
  rt->SetFocus();
  Pump();
  a->Attach(nullptr);
  EXPECT_EQ(a->Editor(), rt);
  EXPECT_EQ(b->Editor(), rt);
  // Nothing focused: no editor.
  auto* other = new TForm(Application());
  auto* c = new CountingPanel(other);
  c->Attach(nullptr);
  EXPECT_EQ(c->Editor(), nullptr);
  delete other;
}

TEST_F(ToolPanelChain, MovableAndSizeablePanelsAnswerTheHitTest) {
  auto* a = new CountingPanel(form);
  a->SetBounds(0, 0, 100, 30);
  EXPECT_EQ(a->HitTest(50, 10, true), HTCAPTION);
  EXPECT_EQ(a->HitTest(50, 10, false), HTCLIENT);
  a->SetSizeable(true);
  EXPECT_EQ(a->HitTest(99, 29, false), HTBOTTOMRIGHT);
  EXPECT_EQ(a->HitTest(50, 28, false), HTBOTTOM);
  EXPECT_EQ(a->HitTest(98, 5, false), HTRIGHT);
}

}  // namespace
}  // namespace tw::richtext::testing
