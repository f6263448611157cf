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

TEST_F(DragDrop, ProtectedTextStaysWhereItIsAndTakesNoDrop) {
  E().SelectRange(6, 4);
  TAttr prot{};
  prot.Extra = fxProtected;
  E().SetAttr(prot, amAddStyle);
  E().Protection = TProtectProps{TProtectProp::ppProtected, TProtectProp::ppProtectSelectedTextToo};
  // The protected word may not go from its place: no copy of it stays at the drop point either.
  E().SelectRange(6, 5);
  Drag(PointOf(0, 0, 7), PointOf(0, 0, 16));
  // Nor does text go into it.
  E().SelectRange(11, 5);
  Drag(PointOf(0, 0, 12), PointOf(0, 0, 8));
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

// A table cell takes no dropped paragraphs: such a drop is refused, whether the selection comes
// from this editor or is copied from another, and no text goes; elsewhere a selection of two
// paragraphs arrives whole.
TEST_F(DragBetweenControls, ADropIntoATableCellIsRefusedAndNoTextIsLost) {
  const std::string table = "\\trowd\\cellx1500\\cellx3000\\intbl alpha beta\\cell gamma\\cell\\row\\pard ";
  auto load = [&](TRiRichText* editor, const std::string& rtf) {
    editor->Clear();
    TStringStream s(rtf);
    editor->LoadFromStream(s);
    editor->Reformat();
  };
  load(rt, "{\\rtf1 Before text\\par" + table + "end one\\par end two}");
  load(other, "{\\rtf1 one two\\par" + table + "x}");
  const std::vector<std::string> mine = {"Before text", "alpha beta", "gamma", "end one", "end two"};
  const std::vector<std::string> theirs = {"one two", "alpha beta", "gamma", "x"};
  ASSERT_EQ(Paragraphs(), mine);
  changes = otherChanges = endDrags = 0;
  // "Before " into the first cell; "beta" to the front of its own cell; "one" and "end" of the
  // last two paragraphs into the second cell.
  E().SelectRange(0, 7);
  Drag(PointOf(0, 0, 1), PointOf(1, 0, 3));
  E().SelectRange(18, 4);
  Drag(PointOf(1, 0, 7), PointOf(1, 0, 0));
  E().SelectRange(33, 7);
  Drag(PointOf(3, 0, 5), PointOf(2, 0, 2));
  EXPECT_EQ(Paragraphs(), mine);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(endDrags, 3);
  EXPECT_EQ(endTarget, nullptr);
  // Copied into the other editor's cell: refused there, kept here.
  E().SelectRange(0, 7);
  DragBetween(rt, PointOf(0, 0, 1), other, PointIn(O(), 1, 0, 2));
  EXPECT_EQ(OtherParagraphs(), theirs);
  EXPECT_EQ(Paragraphs(), mine);
  EXPECT_EQ(otherChanges, 0);
  EXPECT_EQ(endTarget, nullptr);
  // Out of the table the two paragraphs' text moves whole, and so does a copy of it.
  E().SelectRange(33, 7);
  Drag(PointOf(3, 0, 5), PointOf(0, 0, 7));
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"Before one", "endtext", "alpha beta", "gamma", "end  two"}));
  EXPECT_EQ(changes, 1);
  E().SelectRange(7, 7);
  DragBetween(rt, PointOf(0, 0, 8), other, PointIn(O(), 0, 0, 3));
  EXPECT_EQ(OtherParagraphs(), (std::vector<std::string>{"oneone", "end two", "alpha beta", "gamma", "x"}));
}

TEST_F(DragBetweenControls, TheTextOfAnEditOrAMemoIsTypedAtTheDropPoint) {
  DragBetween(edit, TPoint{5, 5}, rt, PointOf(0, 0, 6));
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha xyzbeta gamma"}));
  EXPECT_EQ(edit->Text(), "xyz");
  DragBetween(memo, TPoint{5, 5}, other, PointIn(O(), 0, 0, 3));
  EXPECT_EQ(OtherParagraphs(), (std::vector<std::string>{"onefirst", "second two"}));
}

// A drop where no text goes (or a selection that may not leave its place) is refused before it
// lands: the source hears no target and the editor reports no change.  Text that stops partway
// (overwriting up to protected text) is one change with one undo step.
TEST_F(DragBetweenControls, ADropWhereNoTextGoesIsRefusedAndReportsNoChange) {
  TObject* target = rt;
  edit->OnEndDrag = memo->OnEndDrag = [&](TObject*, TObject* t, int, int) { target = t; };
  int saves = 0;
  E().SaveForUNDO = [&] { ++saves; };
  // The selection dropped onto itself or below the text.
  Drag(PointOf(0, 0, 7), PointOf(0, 0, 9));
  EXPECT_EQ(endTarget, nullptr);
  E().SelectRange(6, 5);
  Drag(PointOf(0, 0, 7), TPoint{60, 150});
  EXPECT_EQ(endTarget, nullptr);
  // "beta" protected: an edit's and a memo's text dropped into it, and into a read-only editor.
  E().SelectRange(6, 4);
  TAttr prot{};
  prot.Extra = fxProtected;
  E().SetAttr(prot, amAddStyle);
  E().Protection = TProtectProps{TProtectProp::ppProtected, TProtectProp::ppProtectSelectedTextToo};
  rt->Modified = false;
  E().SelectRange(6, 5);
  Drag(PointOf(0, 0, 7), PointOf(0, 0, 16));  // it may not leave its place
  EXPECT_EQ(endTarget, nullptr);
  DragBetween(edit, TPoint{5, 5}, rt, PointOf(0, 0, 8));
  EXPECT_EQ(target, nullptr);
  target = rt;
  DragBetween(memo, TPoint{5, 5}, rt, PointOf(0, 0, 6));
  EXPECT_EQ(target, nullptr);
  rt->SetReadOnly(true);
  target = rt;
  DragBetween(edit, TPoint{5, 5}, rt, PointOf(0, 0, 2));
  EXPECT_EQ(target, nullptr);
  rt->SetReadOnly(false);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha beta gamma"}));
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(rt->Modified);
  EXPECT_EQ(saves, 0);
  rt->SetInserting(false);
  DragBetween(edit, TPoint{5, 5}, rt, PointOf(0, 0, 4));
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alphxybeta gamma"}));
  EXPECT_EQ(target, rt);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(rt->Modified);
  EXPECT_EQ(saves, 1);
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
