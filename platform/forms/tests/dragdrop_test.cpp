// Drag and drop between controls: the source holds the mouse, the control under the pointer is
// asked whether it takes the source, the release drops on it when it did, Esc cancels, and the
// source hears where its drag ended.
#include <gtest/gtest.h>

#include "forms_test_util.h"

namespace tw::test {
namespace {

const char* StateName(TDragState s) {
  switch (s) {
    case TDragState::dsDragEnter:
      return "enter";
    case TDragState::dsDragLeave:
      return "leave";
    default:
      return "move";
  }
}

class DragDropTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = NewForm(300, 200);
    source = AddPanel(10, 10);
    target = AddPanel(150, 100);
    source->SetDragMode(TDragMode::dmAutomatic);
    source->OnStartDrag = [this](TObject*) { log.push_back("start"); };
    source->OnEndDrag = [this](TObject*, TObject* t, int x, int y) {
      endTarget = t;
      endPos = TPoint{x, y};
      log.push_back("end");
    };
    target->OnDragOver = [this](TObject* sender, TObject* src, int x, int y, TDragState state, bool& accept) {
      EXPECT_EQ(sender, target);
      EXPECT_EQ(src, source);
      log.push_back(std::string("over-") + StateName(state) + " " + std::to_string(x) + "," + std::to_string(y));
      accept = accepting;
    };
    target->OnDragDrop = [this](TObject*, TObject* src, int x, int y) {
      EXPECT_EQ(src, source);
      log.push_back("drop " + std::to_string(x) + "," + std::to_string(y));
    };
    form->Show();
    source->SetFocus();
    Pump();
  }
  TTestPanel* AddPanel(int left, int top) {
    auto* p = new TTestPanel(form);
    p->SetParent(form);
    p->SetBounds(left, top, 40, 30);
    p->SetTabStop(true);
    return p;
  }
  // Moves the pointer to a client point of a control.
  static void MoveTo(TControl* c, int x, int y) {
    const TPoint p = c->ClientToScreen(TPoint{x, y});
    InjectMouseMove(p.X, p.Y);
    Pump();
  }
  static void Press(TControl* c, int x, int y) {
    MoveTo(c, x, y);
    const TPoint p = c->ClientToScreen(TPoint{x, y});
    InjectMouseDown(p.X, p.Y);
    Pump();
  }
  static void Release(TControl* c, int x, int y) {
    const TPoint p = c->ClientToScreen(TPoint{x, y});
    InjectMouseUp(p.X, p.Y);
    Pump();
  }

  TForm* form = nullptr;
  TTestPanel* source = nullptr;
  TTestPanel* target = nullptr;
  bool accepting = true;
  std::vector<std::string> log;
  TObject* endTarget = reinterpret_cast<TObject*>(1);
  TPoint endPos{-1, -1};
};

TEST_F(DragDropTest, AnAcceptedDragDropsOnTheTargetAndTheSourceHearsWhere) {
  Press(source, 5, 5);
  EXPECT_TRUE(source->Dragging());
  MoveTo(target, 3, 4);
  EXPECT_EQ(GetCursor(), Screen()->Cursors(crDrag));
  MoveTo(target, 6, 7);
  Release(target, 6, 7);
  EXPECT_EQ(log, (std::vector<std::string>{"start", "over-enter 3,4", "over-move 6,7", "drop 6,7", "end"}));
  EXPECT_EQ(endTarget, target);
  EXPECT_EQ(endPos.X, 6);
  EXPECT_EQ(endPos.Y, 7);
  EXPECT_FALSE(source->Dragging());
  EXPECT_FALSE(source->MouseCapture());
}

TEST_F(DragDropTest, ARefusingTargetGetsNothingAndLeavingTellsIt) {
  accepting = false;
  source->SetDragCursor(crMultiDrag);
  Press(source, 5, 5);
  MoveTo(target, 3, 4);
  EXPECT_EQ(GetCursor(), Screen()->Cursors(crNoDrop));
  Release(target, 3, 4);
  EXPECT_EQ(log, (std::vector<std::string>{"start", "over-enter 3,4", "over-leave 3,4", "end"}));
  EXPECT_EQ(endTarget, nullptr);

  // Passing over the target and back off it: enter, leave; the drop on the form (which takes
  // nothing) reports no target.
  log.clear();
  accepting = true;
  Press(source, 5, 5);
  MoveTo(target, 3, 4);
  EXPECT_EQ(GetCursor(), Screen()->Cursors(crMultiDrag));
  MoveTo(form, 100, 20);
  Release(form, 100, 20);
  EXPECT_EQ(log, (std::vector<std::string>{"start", "over-enter 3,4", "over-leave 3,4", "end"}));
  EXPECT_EQ(endTarget, nullptr);
}

TEST_F(DragDropTest, EscCancelsTheDragAndTheReleaseAfterwardsDropsNothing) {
  Press(source, 5, 5);
  MoveTo(target, 3, 4);
  InjectKey(VK_ESCAPE);
  Pump();
  EXPECT_FALSE(source->Dragging());
  EXPECT_EQ(endTarget, nullptr);
  Release(target, 3, 4);
  EXPECT_EQ(log, (std::vector<std::string>{"start", "over-enter 3,4", "over-leave 3,4", "end"}));
}

TEST_F(DragDropTest, AnAutomaticDragWaitsForTheThresholdAndAShortPressDragsNothing) {
  int clicks = 0;
  source->OnClick = [&](TObject*) { ++clicks; };
  Press(source, 5, 5);
  MoveTo(source, 7, 7);  // under five pixels either way
  EXPECT_TRUE(log.empty());
  Release(source, 7, 7);
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(source->Dragging());
  EXPECT_EQ(clicks, 0);  // the press belonged to the drag

  // A manual control only drags when the program asks, here at once.
  source->SetDragMode(TDragMode::dmManual);
  Press(source, 5, 5);
  EXPECT_FALSE(source->Dragging());
  Release(source, 5, 5);
  MoveTo(target, 2, 2);
  source->BeginDrag(true);
  EXPECT_EQ(log, (std::vector<std::string>{"start", "over-enter 2,2"}));
  source->EndDrag(true);
  EXPECT_EQ(log.back(), "end");
  EXPECT_EQ(endTarget, target);
}

TEST_F(DragDropTest, ControlsFreedDuringTheDragAreForgotten) {
  Press(source, 5, 5);
  MoveTo(target, 3, 4);
  delete target;
  target = nullptr;
  Release(form, 160, 110);
  EXPECT_EQ(endTarget, nullptr);
  EXPECT_FALSE(source->Dragging());

  // The source itself freed by a handler of its drag: the drag ends without a trace.
  auto* other = AddPanel(150, 100);
  other->OnDragOver = [&](TObject*, TObject*, int, int, TDragState, bool& accept) {
    accept = true;
    delete source;
    source = nullptr;
  };
  Press(source, 5, 5);
  MoveTo(other, 3, 4);
  Release(other, 3, 4);
  EXPECT_EQ(GetCapture(), HWND{0});
}

}  // namespace
}  // namespace tw::test
