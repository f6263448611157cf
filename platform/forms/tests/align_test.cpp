// Alignment: aligned children fill the parent's client area edge by edge, keep their order by
// position, follow the parent's size, and skip hidden controls.
#include <gtest/gtest.h>

#include "forms_test_util.h"

namespace tw::test {
namespace {

class AlignTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = NewForm(300, 200);
  }
  TTestShape* Add(TAlign align, int w, int h) {
    auto* c = new TTestShape(form);
    c->SetBounds(0, 0, w, h);
    c->SetParent(form);
    c->SetAlign(align);
    return c;
  }
  TForm* form = nullptr;
};

TEST_F(AlignTest, EdgesAreTakenTopBottomLeftRightThenClient) {
  TTestShape* top = Add(TAlign::alTop, 10, 20);
  TTestShape* bottom = Add(TAlign::alBottom, 10, 30);
  TTestShape* left = Add(TAlign::alLeft, 40, 10);
  TTestShape* right = Add(TAlign::alRight, 50, 10);
  TTestShape* client = Add(TAlign::alClient, 1, 1);
  TTestShape* free = Add(TAlign::alNone, 5, 5);
  free->SetBounds(7, 8, 5, 5);
  EXPECT_EQ(top->BoundsRect(), Rect(0, 0, 300, 20));
  EXPECT_EQ(bottom->BoundsRect(), Rect(0, 170, 300, 200));
  EXPECT_EQ(left->BoundsRect(), Rect(0, 20, 40, 170));
  EXPECT_EQ(right->BoundsRect(), Rect(250, 20, 300, 170));
  EXPECT_EQ(client->BoundsRect(), Rect(40, 20, 250, 170));
  EXPECT_EQ(free->BoundsRect(), Rect(7, 8, 12, 13)) << "unaligned controls stay where they are";

  // The parent's new size lays everything out again.
  form->SetClientWidth(400);
  form->SetClientHeight(300);
  EXPECT_EQ(bottom->BoundsRect(), Rect(0, 270, 400, 300));
  EXPECT_EQ(right->BoundsRect(), Rect(350, 20, 400, 270));
  EXPECT_EQ(client->BoundsRect(), Rect(40, 20, 350, 270));
  form->Show();
  Pump();
  EXPECT_EQ(client->BoundsRect(), Rect(40, 20, 350, 270)) << "the window's client area agrees";
}

TEST_F(AlignTest, ControlsOfOneEdgeStackByPositionAndHiddenOnesLeaveNoGap) {
  // Controls of one edge keep the order of their positions when they were aligned.
  auto addAt = [this](int top, int h) {
    auto* c = new TTestShape(form);
    c->SetBounds(0, top, 10, h);
    c->SetParent(form);
    c->SetAlign(TAlign::alTop);
    return c;
  };
  TTestShape* a = addAt(0, 10);
  TTestShape* b = addAt(100, 15);
  TTestShape* c = addAt(200, 20);
  EXPECT_EQ(a->Top(), 0);
  EXPECT_EQ(b->Top(), 10);
  EXPECT_EQ(c->Top(), 25);
  // Moving c above a puts it first.
  c->SetTop(-1);
  EXPECT_EQ(c->Top(), 0);
  EXPECT_EQ(a->Top(), 20);
  EXPECT_EQ(b->Top(), 30);
  a->SetVisible(false);
  EXPECT_EQ(b->Top(), 20);
  a->SetVisible(true);
  EXPECT_EQ(a->Top(), 20);
  EXPECT_EQ(b->Top(), 30);
  // A new height of an aligned control moves those below it.
  c->SetHeight(5);
  EXPECT_EQ(a->Top(), 5);
  // Width of a top-aligned control stays the client width.
  b->SetWidth(3);
  EXPECT_EQ(b->Width(), 300);
}

TEST_F(AlignTest, NestedWindowControlsAlignInsideTheirParentAndResizeEvents) {
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  panel->SetAlign(TAlign::alClient);
  auto* inner = new TTestShape(form);
  inner->SetParent(panel);
  inner->SetHeight(12);
  inner->SetAlign(TAlign::alBottom);
  int resizes = 0;
  panel->OnResize = [&](TObject*) { ++resizes; };
  form->Show();
  Pump();
  EXPECT_EQ(panel->BoundsRect(), Rect(0, 0, 300, 200));
  EXPECT_EQ(inner->BoundsRect(), Rect(0, 188, 300, 200));
  form->SetClientHeight(100);
  Pump();
  EXPECT_EQ(panel->Height(), 100);
  EXPECT_EQ(inner->Top(), 88);
  EXPECT_GE(resizes, 1);
  RECT r;
  GetClientRect(panel->Handle(), &r);
  EXPECT_EQ(r.Height(), 100) << "the window follows the control";
}

TEST_F(AlignTest, DisableAlignDefersTheLayoutToEnableAlign) {
  form->DisableAlign();
  TTestShape* top = Add(TAlign::alTop, 10, 20);
  TTestShape* client = Add(TAlign::alClient, 1, 1);
  EXPECT_EQ(client->Width(), 1);
  form->EnableAlign();
  EXPECT_EQ(top->Width(), 300);
  EXPECT_EQ(client->BoundsRect(), Rect(0, 20, 300, 200));
}

TEST_F(AlignTest, TooLittleRoomGivesEmptyControlsNotNegativeOnes) {
  Add(TAlign::alTop, 10, 150);
  Add(TAlign::alBottom, 10, 150);
  TTestShape* client = Add(TAlign::alClient, 1, 1);
  EXPECT_GE(client->Width(), 0);
  EXPECT_EQ(client->Height(), 0);
}

}  // namespace
}  // namespace tw::test
