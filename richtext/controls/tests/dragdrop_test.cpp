// Dragging the selection inside the editor moves it to the drop point; dragged into another
// editor it is copied there; the text of an edit or memo dragged in is typed at the drop point.
#include "platform/forms/stdctrls/stdctrls.h"
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

class DragDrop : public RichTextTest {
 protected:
  void SetUp() override {
    RichTextTest::SetUp();
    rt->DragAndDropSupport = true;
    Type("alpha beta gamma");
    E().SelectRange(6, 5);  // "beta "
    rt->OnChange = [this](TObject*) { ++changes; };
  }
  void Drag(TPoint from, TPoint to) { DragBetween(rt, from, rt, to); }
  // Presses at `from` on one control, moves in two steps and releases at `to` on another.
  static void DragBetween(TControl* source, TPoint from, TControl* target, TPoint to) {
    const TPoint a = source->ClientToScreen(from), b = target->ClientToScreen(to);
    InjectMouseMove(a.X, a.Y);
    Pump();
    InjectMouseDown(a.X, a.Y);
    Pump();
    InjectMouseMove((a.X + b.X) / 2, (a.Y + b.Y) / 2);
    Pump();
    InjectMouseMove(b.X, b.Y);
    Pump();
    InjectMouseUp(b.X, b.Y);
    Pump();
  }
  int changes = 0;
};

TEST_F(DragDrop, TheSelectionMovesToTheDropPointWithItsAttributes) {
  E().SelectRange(6, 5);
  TAttr bold{};
  bold.Style = fsBold;
  E().SetAttr(bold, amAddStyle);
  E().SelectRange(6, 5);
  Drag(PointOf(0, 0, 7), PointOf(0, 0, 16));
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha gammabeta "}));
  EXPECT_EQ(changes, 1);
  PTLine l = E().FirstPar->FirstLine;
  EXPECT_TRUE(l->Attrs[11].Style & fsBold);
  EXPECT_FALSE(l->Attrs[6].Style & fsBold);
  // And back to the front.
  E().SelectRange(11, 4);
  Drag(PointOf(0, 0, 12), PointOf(0, 0, 0));
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"betaalpha gamma "}));
}

TEST_F(DragDrop, ADropOntoTheSelectionItselfChangesNothing) {
  Drag(PointOf(0, 0, 7), PointOf(0, 0, 9));
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha beta gamma"}));
  EXPECT_EQ(changes, 0);
}

TEST_F(DragDrop, WithoutSupportOrInAReadOnlyEditorTheDragSelectsInstead) {
  rt->DragAndDropSupport = false;
  Drag(PointOf(0, 0, 7), PointOf(0, 0, 16));
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha beta gamma"}));
  rt->DragAndDropSupport = true;
  rt->SetReadOnly(true);
  E().SelectRange(6, 5);
  Drag(PointOf(0, 0, 7), PointOf(0, 0, 16));
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha beta gamma"}));
  EXPECT_EQ(changes, 0);
}

TEST_F(DragDrop, AClickInTheSelectionWithoutMovingPlacesTheCursor) {
  const TPoint p = PointOf(0, 0, 8);
  InjectClick(rt->Handle(), p.X, p.Y);
  Pump();
  EXPECT_FALSE(E().HasSelection());
  EXPECT_EQ(E().CursorPosition(), 8);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha beta gamma"}));
}

// A second editor, an edit and a memo beside the first editor.
class DragBetweenControls : public DragDrop {
 protected:
  void SetUp() override {
    DragDrop::SetUp();
    rt->SetBounds(0, 0, 240, 200);
    other = new TRiRichText(form);
    other->SetParent(form);
    other->SetBounds(240, 0, 240, 200);
    other->DragAndDropSupport = true;
    other->SetFocus();
    Pump();
    Type("one two");
    other->OnChange = [this](TObject*) { ++otherChanges; };
    edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(0, 220, 100, 24);
    edit->SetText("xyz");
    edit->SetDragMode(TDragMode::dmAutomatic);
    memo = new TMemo(form);
    memo->SetParent(form);
    memo->SetBounds(120, 220, 100, 60);
    memo->Lines()->Add("first");
    memo->Lines()->Add("second");
    memo->SetDragMode(TDragMode::dmAutomatic);
    rt->OnEndDrag = [this](TObject*, TObject* target, int, int) {
      ++endDrags;
      endTarget = target;
    };
    E().SelectRange(6, 5);  // "beta "
    Pump();
  }
  TRiRTFTextInput& O() { return *other->RtfText(); }
  std::vector<std::string> OtherParagraphs() {
    std::vector<std::string> out;
    for (int i = 0; i < O().ParagraphCount(); ++i) out.push_back(O().ParagraphText(i));
    return out;
  }
  void DragToOther(int index) { DragBetween(rt, PointOf(0, 0, 7), other, PointIn(O(), 0, 0, index)); }
  TRiRichText* other = nullptr;
  TEdit* edit = nullptr;
  TMemo* memo = nullptr;
  int otherChanges = 0;
  int endDrags = 0;
  TObject* endTarget = nullptr;
};

TEST_F(DragBetweenControls, TheSelectionIsCopiedIntoTheOtherEditorWithItsAttributes) {
  TAttr bold{};
  bold.Style = fsBold;
  E().SetAttr(bold, amAddStyle);
  E().SelectRange(6, 5);
  DragToOther(4);
  EXPECT_EQ(OtherParagraphs(), (std::vector<std::string>{"one beta two"}));
  EXPECT_TRUE(O().FirstPar->FirstLine->Attrs[4].Style & fsBold);
  EXPECT_FALSE(O().FirstPar->FirstLine->Attrs[0].Style & fsBold);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha beta gamma"}));  // the source keeps it
  EXPECT_EQ(otherChanges, 1);
  EXPECT_EQ(endDrags, 1);
  EXPECT_EQ(endTarget, other);
}

TEST_F(DragBetweenControls, AnEditorThatRefusesOrIsReadOnlyGetsNothing) {
  other->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool& accept) { accept = false; };
  DragToOther(4);
  EXPECT_EQ(OtherParagraphs(), (std::vector<std::string>{"one two"}));
  EXPECT_EQ(endTarget, nullptr);
  // The source's selection is as before, ready for another try.
  int start = 0, length = 0;
  EXPECT_TRUE(E().GetSelection(start, length));
  EXPECT_EQ(start, 6);
  EXPECT_EQ(length, 5);

  other->OnDragOver = nullptr;
  other->SetReadOnly(true);
  DragToOther(4);
  EXPECT_EQ(OtherParagraphs(), (std::vector<std::string>{"one two"}));
  EXPECT_EQ(otherChanges, 0);
  EXPECT_EQ(endDrags, 2);
  EXPECT_EQ(endTarget, nullptr);
}

TEST_F(DragBetweenControls, EscCancelsTheDragAndLeavesBothEditorsAlone) {
  const TPoint a = rt->ClientToScreen(PointOf(0, 0, 7));
  const TPoint b = other->ClientToScreen(PointIn(O(), 0, 0, 4));
  InjectMouseMove(a.X, a.Y);
  Pump();
  InjectMouseDown(a.X, a.Y);
  Pump();
  InjectMouseMove(b.X, b.Y);
  Pump();
  EXPECT_TRUE(rt->Dragging());
  InjectKey(VK_ESCAPE);
  Pump();
  EXPECT_FALSE(rt->Dragging());
  InjectMouseUp(b.X, b.Y);
  Pump();
  EXPECT_EQ(OtherParagraphs(), (std::vector<std::string>{"one two"}));
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha beta gamma"}));
  EXPECT_EQ(endDrags, 1);
  EXPECT_EQ(endTarget, nullptr);
  int start = 0, length = 0;
  EXPECT_TRUE(E().GetSelection(start, length));
  EXPECT_EQ(start, 6);
}

TEST_F(DragBetweenControls, TheTextOfAnEditOrAMemoIsTypedAtTheDropPoint) {
  DragBetween(edit, TPoint{5, 5}, rt, PointOf(0, 0, 6));
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha xyzbeta gamma"}));
  EXPECT_EQ(edit->Text(), "xyz");
  DragBetween(memo, TPoint{5, 5}, other, PointIn(O(), 0, 0, 3));
  EXPECT_EQ(OtherParagraphs(), (std::vector<std::string>{"onefirst", "second two"}));
}

TEST_F(DragBetweenControls, AnyOtherSourceGoesToTheEventAndAnEditorSourceReachesOtherControls) {
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBounds(300, 220, 60, 40);
  panel->SetDragMode(TDragMode::dmAutomatic);
  TObject* dropped = nullptr;
  rt->OnDragDrop = [&](TObject*, TObject* source, int, int) { dropped = source; };
  DragBetween(panel, TPoint{5, 5}, rt, PointOf(0, 0, 3));
  EXPECT_EQ(dropped, panel);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha beta gamma"}));

  // The editor's drag onto a panel that takes it.
  TObject* onPanel = nullptr;
  panel->OnDragOver = [](TObject*, TObject*, int, int, TDragState, bool& accept) { accept = true; };
  panel->OnDragDrop = [&](TObject*, TObject* source, int, int) { onPanel = source; };
  E().SelectRange(6, 5);
  DragBetween(rt, PointOf(0, 0, 7), panel, TPoint{10, 10});
  EXPECT_EQ(onPanel, rt);
  EXPECT_EQ(endTarget, panel);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha beta gamma"}));
}

}  // namespace
}  // namespace tw::richtext::testing
