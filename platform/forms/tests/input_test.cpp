// Input: clicks reach the control under the mouse (windowless ones through their parent), keys
// reach the focused control (the form first with KeyPreview), and Tab moves the focus in tab
// order with OnEnter/OnExit.
#include <gtest/gtest.h>

#include "forms_test_util.h"

namespace tw::test {
namespace {

// A windowless control with an accelerator key that tracks the mouse entering and leaving.
class TAccelShape : public TTestShape {
  TW_CLASS(TAccelShape, TTestShape)
  TW_MESSAGE_MAP_DECLARE();

 public:
  using TTestShape::TTestShape;
  char accelerator = 'k';
  int accelerated = 0;
  std::vector<std::string> mouse;

 protected:
  void CMDialogChar(TMessage& msg) {
    if (static_cast<char>(msg.WParam) == accelerator) {
      ++accelerated;
      msg.Result = 1;
    }
  }
  void CMMouseEnter(TMessage&) { mouse.push_back("enter"); }
  void CMMouseLeave(TMessage&) { mouse.push_back("leave"); }
};
TW_MESSAGE_MAP(TAccelShape, OnMessage<TAccelShape, &TAccelShape::CMDialogChar>(CM_DIALOGCHAR),
               OnMessage<TAccelShape, &TAccelShape::CMMouseEnter>(CM_MOUSEENTER),
               OnMessage<TAccelShape, &TAccelShape::CMMouseLeave>(CM_MOUSELEAVE));

class InputTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = NewForm(300, 200);
  }
  TTestPanel* AddPanel(int left, int top, bool tabStop = true) {
    auto* p = new TTestPanel(form);
    p->SetParent(form);
    p->SetBounds(left, top, 40, 30);
    p->SetTabStop(tabStop);
    return p;
  }
  TForm* form = nullptr;
};

TEST_F(InputTest, ClicksReachTheHitControlWithLocalCoordinates) {
  TTestPanel* panel = AddPanel(50, 60);
  auto* shape = new TTestShape(form);
  shape->SetParent(panel);
  shape->SetBounds(5, 5, 10, 10);
  std::vector<std::string> log;
  panel->OnClick = [&](TObject*) { log.push_back("panel-click"); };
  shape->OnClick = [&](TObject*) { log.push_back("shape-click"); };
  form->OnClick = [&](TObject*) { log.push_back("form-click"); };
  shape->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState, int x, int y) {
    log.push_back("shape-down " + std::to_string(static_cast<int>(b)) + " " + std::to_string(x) + "," + std::to_string(y));
  };
  panel->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
    log.push_back("panel-up " + std::to_string(x) + "," + std::to_string(y));
  };
  form->Show();
  Pump();

  InjectClick(panel->Handle(), 7, 8);  // on the shape
  Pump();
  InjectClick(panel->Handle(), 30, 20);  // on the panel beside it
  Pump();
  InjectClick(form->Handle(), 5, 5);  // on the form
  Pump();
  EXPECT_EQ(log, (std::vector<std::string>{"shape-down 0 2,3", "shape-click", "panel-click", "panel-up 30,20",
                                           "form-click"}));
}

TEST_F(InputTest, ReleasingOutsideTheControlIsNoClickAndDisabledControlsPassTheMouseOn) {
  TTestPanel* panel = AddPanel(50, 60);
  auto* shape = new TTestShape(form);
  shape->SetParent(panel);
  shape->SetBounds(0, 0, 20, 20);
  int panelClicks = 0;
  int shapeClicks = 0;
  int upsAtShape = 0;
  panel->OnClick = [&](TObject*) { ++panelClicks; };
  shape->OnClick = [&](TObject*) { ++shapeClicks; };
  shape->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++upsAtShape; };
  form->Show();
  Pump();
  const TPoint origin = panel->ClientOrigin();

  // Pressed on the shape, released outside the panel: the shape holds the mouse, so it gets
  // the release, but it is no click.
  InjectMouseDown(origin.X + 5, origin.Y + 5);
  Pump();
  EXPECT_TRUE(shape->MouseCapture());
  InjectMouseUp(origin.X + 200, origin.Y + 5);
  Pump();
  EXPECT_FALSE(shape->MouseCapture());
  EXPECT_EQ(upsAtShape, 1);
  EXPECT_EQ(shapeClicks, 0);

  shape->SetEnabled(false);
  InjectClick(panel->Handle(), 5, 5);
  Pump();
  EXPECT_EQ(shapeClicks, 0);
  EXPECT_EQ(panelClicks, 1) << "a disabled windowless control lets its parent have the click";
}

TEST_F(InputTest, DoubleClickGivesOnDblClickAndADoubleShiftState) {
  TTestPanel* panel = AddPanel(10, 10);
  std::vector<std::string> log;
  panel->OnClick = [&](TObject*) { log.push_back("click"); };
  panel->OnDblClick = [&](TObject*) { log.push_back("dbl"); };
  panel->OnMouseDown = [&](TObject*, TMouseButton, TShiftState s, int, int) {
    log.push_back(s.Contains(TShiftStateFlag::ssDouble) ? "down2" : "down1");
  };
  form->Show();
  Pump();
  InjectClick(panel->Handle(), 3, 3);
  InjectDoubleClick(panel->Handle(), 3, 3);
  Pump();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], "down1");
  EXPECT_EQ(log[1], "click");
  EXPECT_NE(std::find(log.begin(), log.end(), "dbl"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "down2"), log.end());
}

TEST_F(InputTest, KeysGoToTheFocusedControlAndKeyPreviewLetsTheFormSeeThemFirst) {
  TTestPanel* a = AddPanel(10, 10);
  TTestPanel* b = AddPanel(60, 10);
  std::vector<std::string> log;
  a->OnKeyDown = [&](TObject*, Word& key, TShiftState) { log.push_back("a-down " + std::to_string(key)); };
  b->OnKeyDown = [&](TObject*, Word& key, TShiftState s) {
    log.push_back(std::string("b-down ") + std::to_string(key) + (s.Contains(TShiftStateFlag::ssCtrl) ? " ctrl" : ""));
  };
  b->OnKeyPress = [&](TObject*, char& key) { log.push_back(std::string("b-press ") + key); };
  b->OnKeyUp = [&](TObject*, Word& key, TShiftState) { log.push_back("b-up " + std::to_string(key)); };
  form->Show();
  Pump();
  b->SetFocus();
  Pump();
  ASSERT_TRUE(b->Focused());
  EXPECT_EQ(form->ActiveControl(), b);
  EXPECT_EQ(Screen()->ActiveControl(), b);

  InjectKey('Q');
  Pump();
  EXPECT_EQ(log, (std::vector<std::string>{"b-down 81", "b-press q", "b-up 81"}));

  log.clear();
  InjectKeyDown(VK_CONTROL);
  Pump();
  InjectKey('C', -1);
  Pump();
  InjectKeyUp(VK_CONTROL);
  Pump();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log[1], "b-down 67 ctrl");

  // With KeyPreview the form sees the key first and may swallow the key-down (Key = 0); the
  // character was already translated, so OnKeyPress still sees it, as in the class library.
  log.clear();
  form->SetKeyPreview(true);
  form->OnKeyDown = [&](TObject*, Word& key, TShiftState) {
    log.push_back("form-down " + std::to_string(key));
    if (key == 'X') key = 0;
  };
  form->OnKeyPress = [&](TObject*, char& key) {
    if (key == 'y') key = 'z';
  };
  InjectKey('X');
  Pump();
  InjectKey('Y');
  Pump();
  EXPECT_EQ(log, (std::vector<std::string>{"form-down 88", "b-press x", "b-up 88", "form-down 89", "b-down 89", "b-press z",
                                           "b-up 89"}));
}

TEST_F(InputTest, TabAndShiftTabMoveTheFocusInTabOrder) {
  TTestPanel* first = AddPanel(10, 10);
  TTestPanel* second = AddPanel(60, 10);
  TTestPanel* third = AddPanel(110, 10);
  TTestPanel* noStop = AddPanel(160, 10, false);
  TTestPanel* disabled = AddPanel(210, 10);
  disabled->SetEnabled(false);
  // Tab order differs from creation order.
  third->SetTabOrder(0);
  first->SetTabOrder(1);
  second->SetTabOrder(2);
  EXPECT_EQ(third->TabOrder(), 0);
  EXPECT_EQ(noStop->TabOrder(), 3);

  std::vector<std::string> log;
  for (auto [panel, name] : {std::pair{first, "first"}, {second, "second"}, {third, "third"}}) {
    std::string n = name;
    panel->OnEnter = [&log, n](TObject*) { log.push_back("enter " + n); };
    panel->OnExit = [&log, n](TObject*) { log.push_back("exit " + n); };
  }
  form->Show();
  Pump();
  EXPECT_TRUE(third->Focused()) << "the first control in tab order takes the focus when the form shows";

  InjectKey(VK_TAB);
  Pump();
  EXPECT_TRUE(first->Focused());
  InjectKey(VK_TAB);
  Pump();
  EXPECT_TRUE(second->Focused());
  InjectKey(VK_TAB);
  Pump();
  EXPECT_TRUE(third->Focused()) << "wraps around, skipping no-tab-stop and disabled controls";

  InjectKeyDown(VK_SHIFT);
  Pump();
  InjectKey(VK_TAB);
  Pump();
  InjectKeyUp(VK_SHIFT);
  Pump();
  EXPECT_TRUE(second->Focused()) << "Shift+Tab goes backwards";
  EXPECT_EQ(log, (std::vector<std::string>{"enter third", "exit third", "enter first", "exit first", "enter second",
                                           "exit second", "enter third", "exit third", "enter second"}));
}

TEST_F(InputTest, TabGoesIntoContainersAndAControlThatWantsTabKeepsIt) {
  auto* group = new TTestPanel(form);
  group->SetParent(form);
  group->SetBounds(0, 0, 200, 100);
  auto* inner1 = new TTestPanel(form);
  inner1->SetParent(group);
  inner1->SetTabStop(true);
  auto* inner2 = new TTestPanel(form);
  inner2->SetParent(group);
  inner2->SetBounds(50, 0, 40, 30);
  inner2->SetTabStop(true);
  TTestPanel* outside = AddPanel(10, 120);
  int tabsTyped = 0;
  outside->OnKeyDown = [&](TObject*, Word& key, TShiftState) {
    if (key == VK_TAB) ++tabsTyped;
  };
  form->Show();
  Pump();
  EXPECT_TRUE(inner1->Focused());
  InjectKey(VK_TAB);
  Pump();
  EXPECT_TRUE(inner2->Focused());
  InjectKey(VK_TAB);
  Pump();
  EXPECT_TRUE(outside->Focused());

  outside->SetWantsTab(true);
  InjectKey(VK_TAB);
  Pump();
  EXPECT_TRUE(outside->Focused()) << "DLGC_WANTTAB keeps the Tab key in the control";
  EXPECT_EQ(tabsTyped, 1);
}

TEST_F(InputTest, FocusRulesForHiddenDisabledAndRemovedControls) {
  TTestPanel* a = AddPanel(10, 10);
  TTestPanel* b = AddPanel(60, 10);
  form->Show();
  Pump();
  b->SetVisible(false);
  EXPECT_FALSE(b->CanFocus());
  EXPECT_THROW(b->SetFocus(), EInvalidOperation);
  EXPECT_THROW(form->SetActiveControl(b), EInvalidOperation);
  a->SetFocus();
  EXPECT_TRUE(a->Focused());
  delete a;  // the focused control goes away: the form keeps the focus, nothing dangles
  EXPECT_EQ(form->ActiveControl(), nullptr);
  EXPECT_EQ(Screen()->ActiveControl(), nullptr);
  InjectKey(VK_TAB);
  Pump();
  EXPECT_EQ(GetFocus(), form->Handle()) << "no control can take the focus";
}

TEST_F(InputTest, ZOrderDecidesWhichOverlappingControlIsHitAndPaintedOnTop) {
  auto* below = new TTestShape(form, clRed);
  below->SetParent(form);
  below->SetBounds(10, 10, 20, 20);
  auto* above = new TTestShape(form, clBlue);
  above->SetParent(form);
  above->SetBounds(10, 10, 20, 20);
  std::string hit;
  below->OnClick = [&](TObject*) { hit = "below"; };
  above->OnClick = [&](TObject*) { hit = "above"; };
  form->Show();
  Pump();
  InjectClick(form->Handle(), 15, 15);
  Pump();
  EXPECT_EQ(hit, "above") << "the later control lies on top";
  EXPECT_EQ(PixelRGB(form->Handle(), 15, 15), 0x0000FFu);
  below->BringToFront();
  Pump();
  InjectClick(form->Handle(), 15, 15);
  Pump();
  EXPECT_EQ(hit, "below");
  EXPECT_EQ(PixelRGB(form->Handle(), 15, 15), 0xFF0000u);
  below->SendToBack();
  EXPECT_EQ(form->Controls(0), below);
}

TEST_F(InputTest, DisabledWindowControlsGetNoInputAndCannotBeFocused) {
  TTestPanel* a = AddPanel(10, 10);
  TTestPanel* b = AddPanel(60, 10);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  Pump();
  b->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(b->Handle()));
  InjectClick(b->Handle(), 5, 5);
  Pump();
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(b->CanFocus());
  a->SetFocus();
  InjectKey(VK_TAB);
  Pump();
  EXPECT_TRUE(a->Focused()) << "the disabled control is skipped";
  b->SetEnabled(true);
  EXPECT_TRUE(IsWindowEnabled(b->Handle()));
  InjectKey(VK_TAB);
  Pump();
  EXPECT_TRUE(b->Focused());
  // Disabling the focused control hands the focus back to the form.
  b->SetEnabled(false);
  EXPECT_EQ(form->ActiveControl(), nullptr);
  EXPECT_FALSE(b->Focused());
}

TEST_F(InputTest, DialogCharactersReachAcceleratorsUnlessTheFocusedControlTakesCharacters) {
  TTestPanel* edit = AddPanel(10, 10);
  auto* label = new TAccelShape(form);
  label->SetParent(form);
  label->SetBounds(100, 100, 20, 20);
  std::string typed;
  edit->OnKeyPress = [&](TObject*, char& key) { typed += key; };
  form->Show();
  edit->SetFocus();
  Pump();
  InjectKey('K');
  InjectKey('Q');
  Pump();
  EXPECT_EQ(label->accelerated, 1);
  EXPECT_EQ(typed, "q") << "the accelerator's character is not typed";

  // Alt+letter reaches the accelerator as well.
  InjectKeyDown(VK_MENU);
  Pump();
  InjectKey('K');
  Pump();
  InjectKeyUp(VK_MENU);
  Pump();
  EXPECT_EQ(label->accelerated, 2);
}

TEST_F(InputTest, MouseEnterAndLeaveFollowTheControlUnderTheMouse) {
  auto* left = new TAccelShape(form);
  left->SetParent(form);
  left->SetBounds(10, 10, 20, 20);
  auto* right = new TAccelShape(form);
  right->SetParent(form);
  right->SetBounds(50, 10, 20, 20);
  form->Show();
  Pump();
  auto moveTo = [this](int x, int y) {
    const TPoint p = form->ClientToScreen(Point(x, y));
    InjectMouseMove(p.X, p.Y);
    Pump();
  };
  moveTo(15, 15);
  moveTo(16, 16);
  moveTo(55, 15);
  moveTo(150, 100);
  EXPECT_EQ(left->mouse, (std::vector<std::string>{"enter", "leave"}));
  EXPECT_EQ(right->mouse, (std::vector<std::string>{"enter", "leave"}));
}

}  // namespace
}  // namespace tw::test
