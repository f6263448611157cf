#include <gtest/gtest.h>

#include <vector>

#include "entry/fkpicturefield.h"
#include "entry/fkspinner.h"
#include "entry/tests/entry_test_util.h"
#include "platform/rtl/tickclock.h"

namespace tw::entry {
namespace {

class SpinnerTest : public test::EntryGuiTest {
 protected:
  void SetUp() override {
    EntryGuiTest::SetUp();
    SetTickSource([] { return static_cast<std::uint32_t>(Display().NowMs()); });
    form = NewForm(300, 200);
    new TFkController(form);
    spin = new TFkSpinner(form);
    spin->SetParent(form);
    spin->SetBounds(200, 10, 16, 26);
    spin->OnClick = [this](TObject*, TSpinState s, double, bool) {
      states.push_back(s);
      times.push_back(Display().NowMs());
    };
    form->Show();
    Pump();
  }
  void TearDown() override {
    SetTickSource(nullptr);
    EntryGuiTest::TearDown();
  }
  TPoint Screen(int x, int y) const { return spin->ClientToScreen(TPoint{x, y}); }
  static void Run(int ms) {
    for (int i = 0; i < ms; i += 5) {
      Display().AdvanceClock(5);
      Pump();
    }
  }
  TForm* form = nullptr;
  TFkSpinner* spin = nullptr;
  std::vector<TSpinState> states;
  std::vector<std::uint64_t> times;
};

TEST_F(SpinnerTest, ShortPressFiresOneClick) {
  const TPoint p = Screen(8, 5);
  InjectMouseDown(p.X, p.Y);
  Pump();
  Run(200);
  InjectMouseUp(p.X, p.Y);
  Pump();
  Run(1000);
  ASSERT_EQ(states.size(), 1u);
  EXPECT_EQ(states[0], TSpinState::ssUp);
  EXPECT_EQ(spin->State(), TSpinState::ssIdle);
}

TEST_F(SpinnerTest, HeldPressRepeatsFasterAndFollowsTheMouse) {
  spin->SetAcceleration(11);
  EXPECT_EQ(spin->Acceleration(), 5) << "11 is out of range";
  const TPoint up = Screen(8, 5);
  InjectMouseDown(up.X, up.Y);
  Pump();
  Run(1400);
  ASSERT_GE(times.size(), 4u);
  EXPECT_NEAR(static_cast<double>(times[1] - times[0]), 500, 15);
  EXPECT_NEAR(static_cast<double>(times[2] - times[1]), 450, 15);
  EXPECT_NEAR(static_cast<double>(times[3] - times[2]), 400, 15);
  const TPoint down = Screen(8, 20);
  InjectMouseMove(down.X, down.Y);
  Pump();
  Run(400);
  EXPECT_EQ(states.back(), TSpinState::ssDown);
  const std::size_t before = states.size();
  const TPoint outside = Screen(100, 100);
  InjectMouseMove(outside.X, outside.Y);
  Pump();
  Run(600);
  EXPECT_EQ(states.size(), before) << "no clicks while the mouse is outside";
  InjectMouseUp(outside.X, outside.Y);
  Pump();
}

TEST_F(SpinnerTest, HorizontalStatesAndSizeRules) {
  spin->SetOrientation(TSpinOrientation::soHorizontal);
  EXPECT_EQ(spin->Width(), 26);
  EXPECT_EQ(spin->Height(), 16);
  Pump();
  const TPoint left = Screen(3, 8), right = Screen(22, 8);
  InjectMouseDown(left.X, left.Y);
  InjectMouseUp(left.X, left.Y);
  Pump();
  InjectMouseDown(right.X, right.Y);
  InjectMouseUp(right.X, right.Y);
  Pump();
  ASSERT_EQ(states.size(), 2u);
  EXPECT_EQ(states[0], TSpinState::ssLeft);
  EXPECT_EQ(states[1], TSpinState::ssRight);
  spin->SetForceOddSize(true);
  spin->SetHeight(24);
  EXPECT_EQ(spin->Height(), 25);
}

TEST_F(SpinnerTest, StepsTheFieldItServes) {
  auto* field = new TFkPictureField(form);
  field->SetParent(form);
  field->SetBounds(10, 10, 100, 25);
  field->SetDataType(TPictureDataType::pftLongInt);
  spin->OnClick = nullptr;
  spin->SetAttachedControl(field);
  EXPECT_EQ(spin->FocusedControl(), field);
  EXPECT_EQ(spin->Left(), 111) << "placed right of the field";
  EXPECT_FALSE(spin->ForceOddSize());
  field->SetFocus();
  Pump();
  field->SetAsString("41");
  const TPoint up = Screen(4, 3);
  InjectMouseDown(up.X, up.Y);
  InjectMouseUp(up.X, up.Y);
  Pump();
  TFkValue v;
  ASSERT_EQ(field->GetValue(v), 0);
  EXPECT_EQ(v.Int, 42);
  delete field;
  EXPECT_EQ(spin->FocusedControl(), nullptr);
  EXPECT_EQ(spin->AttachedControl(), nullptr);
}

TEST_F(SpinnerTest, AFieldFreedByTheClickHandlerIsNotStepped) {
  auto* field = new TFkPictureField(form);
  field->SetParent(form);
  field->SetBounds(10, 10, 100, 25);
  field->SetDataType(TPictureDataType::pftLongInt);
  spin->SetFocusedControl(field);
  field->SetFocus();
  Pump();
  spin->OnClick = [&](TObject*, TSpinState s, double, bool) {
    states.push_back(s);
    delete field;
    field = nullptr;
  };
  const TPoint up = Screen(4, 3);
  InjectMouseDown(up.X, up.Y);
  InjectMouseUp(up.X, up.Y);
  Pump();
  EXPECT_EQ(states.size(), 1u);
  EXPECT_EQ(spin->FocusedControl(), nullptr);
}

TEST_F(SpinnerTest, ASpinnerDisabledOrHiddenByItsClickStopsRepeating) {
  for (bool hide : {false, true}) {
    SCOPED_TRACE(hide ? "hidden" : "disabled");
    states.clear();
    spin->OnClick = [&](TObject*, TSpinState s, double, bool) {
      states.push_back(s);
      if (states.size() == 2) {
        if (hide) spin->SetVisible(false);
        else spin->SetEnabled(false);
      }
    };
    const TPoint up = Screen(8, 5);
    InjectMouseDown(up.X, up.Y);
    Pump();
    Run(2000);
    EXPECT_EQ(states.size(), 2u) << "no clicks after the spinner was switched off";
    InjectMouseUp(up.X, up.Y);
    Pump();
    spin->SetEnabled(true);
    spin->SetVisible(true);
    Pump();
  }
}

// A click whose release came outside the program's windows before the press was handled (the
// release reaches no window): the spinner steps once and lets go, as the button is up by now.
TEST_F(SpinnerTest, AClickReleasedOutsideBeforeItWasHandledStepsOnceAndLetsGo) {
  const TPoint up = Screen(8, 5);
  const TPoint away = Screen(-2000, -2000);
  InjectMouseDown(up.X, up.Y);
  InjectMouseUp(away.X, away.Y);
  Pump();
  Run(2000);
  EXPECT_EQ(states.size(), 1u);
  EXPECT_EQ(spin->State(), TSpinState::ssIdle);
  EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(SpinnerTest, StyleChoosesTheButtonFace) {
  auto pixel = [this](int x, int y) { return Pixel(spin, x, y); };
  const auto rgb = Rgb;
  EXPECT_EQ(spin->Style(), TButtonStyle::bsAutoDetect);
  spin->Repaint();
  const std::uint32_t autoCorner = pixel(0, 0);
  spin->SetStyle(TButtonStyle::bsNew);
  spin->Repaint();
  EXPECT_EQ(pixel(0, 0), autoCorner) << "this window system detects the 3-D style";
  spin->SetStyle(TButtonStyle::bsWin31);
  spin->Repaint();
  EXPECT_EQ(pixel(0, 0), rgb(clWindowFrame));
  EXPECT_EQ(pixel(1, 1), rgb(clBtnHighlight));
  // Pressed, the upper half loses its highlight; the lower half keeps its own.
  const TPoint p = Screen(8, 3);
  InjectMouseDown(p.X, p.Y);
  Pump();
  spin->Repaint();
  EXPECT_EQ(pixel(1, 1), rgb(clBtnShadow));
  EXPECT_EQ(pixel(1, spin->Height() / 2 + 1), rgb(clBtnHighlight));
  InjectMouseUp(p.X, p.Y);
  Pump();
}

TEST_F(SpinnerTest, PressOnTheMiddleLineStaysOnOneSide) {
  spin->SetOrientation(TSpinOrientation::soHorizontal);
  Pump();
  const TPoint p = Screen(spin->ClientWidth() / 2, 5);
  InjectMouseDown(p.X, p.Y);
  Pump();
  Run(700);
  InjectMouseUp(p.X, p.Y);
  Pump();
  ASSERT_GE(states.size(), 2u);
  for (TSpinState s : states) EXPECT_EQ(s, TSpinState::ssRight);
}

TEST_F(SpinnerTest, LosingTheMouseStopsTheRepeat) {
  // Another window takes the mouse while the button is held (its release goes there):
  // the spinner stops clicking at once instead of repeating until some later release.
  const TPoint up = Screen(8, 5);
  InjectMouseDown(up.X, up.Y);
  Pump();
  Run(600);
  ASSERT_EQ(states.size(), 2u);
  form->SetMouseCapture(true);
  Pump();
  Run(2000);
  EXPECT_EQ(states.size(), 2u) << "no clicks after the mouse went to another window";
  EXPECT_EQ(spin->State(), TSpinState::ssIdle);
  form->SetMouseCapture(false);
  InjectMouseUp(up.X, up.Y);
  Pump();
  // The next press repeats again.
  states.clear();
  InjectMouseDown(up.X, up.Y);
  Pump();
  Run(600);
  EXPECT_EQ(states.size(), 2u);
  InjectMouseUp(up.X, up.Y);
  Pump();
}

}  // namespace
}  // namespace tw::entry
