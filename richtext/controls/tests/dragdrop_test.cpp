// Dragging the selection inside the editor moves it to the drop point.
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
  void Drag(TPoint from, TPoint to) {
    const TPoint a = rt->ClientToScreen(from), b = rt->ClientToScreen(to);
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

}  // namespace
}  // namespace tw::richtext::testing
