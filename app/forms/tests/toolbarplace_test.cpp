// The main window's toolbars through the real windows: a floated toolbar appears where it was
// docked and comes back there after a restart (with and without a window manager's frame), a
// restart with the date bar floating shows the list, re-docking keeps the calendar button, and
// a bar docked on the left leaves the list its room.
#include <cstdlib>

#include "app/forms/mainwindow.h"
#include "app/forms/optionswindow.h"
#include "app/forms/tests/appforms_test_util.h"
#include "entry/date/dayarith.h"
#include "entry/fkattachedbutton.h"
#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "platform/win/display.h"
#include "richtext/controls/richtext.h"
#include "toolbars/dock.h"
#include "toolbars/floatparent.h"
#include "toolbars/toolbar.h"
#include "toolbars/toolbars.h"

namespace tw::app::test {
namespace {

using toolbars::TToolbarX;

class ToolbarPlaceTest : public AppFormsTest, public ::testing::WithParamInterface<RECT> {
 protected:
  void SetUp() override {
    AppFormsTest::SetUp();
    toolbars::RegisterToolbarClasses();
    SimulateWindowManagerFrame(GetParam());
  }
  // The windows of one run of the program, shown.
  void Start() {
    main = Application()->CreateForm<TfrmMain>();
    main->ListingFolder = folder.string();
    options = Application()->CreateForm<TfrmOptions>();
    main->Show();
    Pump();
  }
  // Ends this run (the main window closes as by Exit) and starts the next one on the same store.
  void Restart() {
    Stop();
    Start();
  }
  // Ends this run: the main window closes as by Exit.
  void Stop() {
    main->pbExitClick(main->pbExit);
    StartNextRun(GetParam());
  }
  void MakePerson(int n, const std::string& name) {
    EnterPerson(*options, n, name);
    options->OkClick(options->Ok);
  }
  static TPoint Grip(TToolbarX* bar) {
    const TPoint o = bar->ClientOrigin();
    return bar->ToolbarType() == toolbars::kVertical ? TPoint{o.X + bar->Width() / 2, o.Y + 5}
                                                     : TPoint{o.X + 5, o.Y + bar->Height() / 2};
  }
  static void DoubleClick(TPoint p) {
    InjectMouseMove(p.X, p.Y);
    InjectDoubleClickAt(p.X, p.Y);
    Pump();
  }
  static TRect WindowRect(TWinControl* c) {
    RECT r{};
    GetWindowRect(c->Handle(), &r);
    return r;
  }
  static void ExpectNear(const TRect& got, const TRect& want, const char* what) {
    EXPECT_LE(std::abs(got.Left - want.Left), 2) << what << " left " << got.Left << " want " << want.Left;
    EXPECT_LE(std::abs(got.Top - want.Top), 2) << what << " top " << got.Top << " want " << want.Top;
    EXPECT_LE(std::abs(got.Width() - want.Width()), 2) << what;
    EXPECT_LE(std::abs(got.Height() - want.Height()), 2) << what;
  }

  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
};

TEST_P(ToolbarPlaceTest, TheDateBarFloatsWhereItWasDockedAndComesBackThereAfterARestart) {
  Start();
  TToolbarX* bar = main->ToolbarTime;
  const TPoint docked = bar->ClientOrigin();
  DoubleClick(Grip(bar));
  ASSERT_EQ(bar->DockedTo(), nullptr);
  const TRect floating = bar->FloatParent()->BoundsRect();
  EXPECT_NEAR(floating.Left + toolbars::FrameWidth(), docked.X, 2);
  EXPECT_NEAR(floating.Top, docked.Y, 2);
  ExpectNear(WindowRect(bar->FloatParent()), floating, "the window where the toolbar says");
  EXPECT_TRUE(IsWindowVisible(bar->FloatParent()->Handle()));

  // Moved by the user, then a restart.
  const TRect moved = Bounds(500, 420, floating.Width(), floating.Height());
  bar->FloatParent()->SetBoundsRect(moved);
  bar->SetFloatRect(moved);
  Restart();
  bar = main->ToolbarTime;
  ASSERT_EQ(bar->DockedTo(), nullptr);
  ExpectNear(bar->FloatParent()->BoundsRect(), moved, "after the restart");
  ExpectNear(WindowRect(bar->FloatParent()), moved, "the window after the restart");
  EXPECT_TRUE(IsWindowVisible(bar->FloatParent()->Handle()));
}

TEST_P(ToolbarPlaceTest, TheCalendarButtonStaysBesideTheDateFieldWhenTheBarDocksAgain) {
  Start();
  TToolbarX* bar = main->ToolbarTime;
  auto expectButtonBesideField = [&](const char* when) {
    const TRect field = main->dfTransDate->BoundsRect();
    const TRect button = main->dfTransBtn->BoundsRect();
    EXPECT_TRUE(main->dfTransBtn->Visible()) << when;
    EXPECT_TRUE(IsWindowVisible(main->dfTransBtn->Handle())) << when;
    EXPECT_EQ(button.Left, field.Right) << when;
    EXPECT_EQ(button.Top, field.Top) << when;
    EXPECT_GT(button.Width(), 0) << when;
    EXPECT_LE(button.Right, bar->ClientWidth()) << when << ": inside the bar";
    EXPECT_LE(button.Bottom, bar->ClientHeight()) << when << ": inside the bar";
    // No other bar of the row covers it.
    if (toolbars::TDockX* dock = bar->DockedTo())
      for (TToolbarX* other : dock->Toolbars())
        if (other != bar && other->DockRow() == bar->DockRow() && other->Left() > bar->Left()) {
          EXPECT_GE(other->Left(), bar->Left() + bar->Width()) << when << ": " << other->Name() << " covers it";
        }
  };
  expectButtonBesideField("as designed");
  DoubleClick(Grip(bar));
  ASSERT_EQ(bar->DockedTo(), nullptr);
  expectButtonBesideField("floating");
  Restart();  // floating from the stored place
  bar = main->ToolbarTime;
  ASSERT_EQ(bar->DockedTo(), nullptr);
  expectButtonBesideField("floating after a restart");
  // Dragged by its caption into the top dock.
  const TRect w = bar->FloatParent()->BoundsRect();
  const TPoint caption{w.Left + toolbars::FrameWidth() + 10, w.Top + toolbars::FrameHeight() + 4};
  const TPoint dock = main->DockTop->ClientOrigin();
  InjectMouseMove(caption.X, caption.Y);
  InjectMouseDown(caption.X, caption.Y);
  Pump();
  for (int step = 1; step <= 4; ++step) {
    InjectMouseMove(caption.X + (dock.X + 40 - caption.X) * step / 4, caption.Y + (dock.Y + 2 - caption.Y) * step / 4);
    Pump();
  }
  InjectMouseUp(dock.X + 40, dock.Y + 2);
  Pump();
  ASSERT_EQ(bar->DockedTo(), main->DockTop);
  expectButtonBesideField("docked again");
  bar->SetDockedTo(main->DockBottom);
  Pump();
  expectButtonBesideField("docked at the bottom");
}

TEST_P(ToolbarPlaceTest, ARestartWithTheDateBarFloatingShowsTheList) {
  for (bool floating : {false, true}) {
    Start();
    MakePerson(1, "Bob Stone");
    if (floating) main->ToolbarTime->SetDockedTo(nullptr);
    Restart();
    ASSERT_EQ(main->ToolbarTime->DockedTo() == nullptr, floating);
    EXPECT_GE(main->ListsStarted, 1) << (floating ? "floating" : "docked");
    EXPECT_NE(main->rtext->Text().find("Bob Stone"), std::string::npos) << (floating ? "floating" : "docked");
    Stop();
  }
}

TEST_P(ToolbarPlaceTest, ABarDockedOnTheLeftAtStartLeavesTheListItsRoom) {
  Start();
  MakePerson(1, "Bob Stone");
  main->ToolbarX->SetDockedTo(main->DockLeft);
  Restart();
  ASSERT_EQ(main->ToolbarX->DockedTo(), main->DockLeft);
  ASSERT_GT(main->DockLeft->Width(), 0);
  EXPECT_EQ(main->rtext->Left(), main->DockLeft->Width());
  // The list is laid out in the view's own width, not the width it had before the dock took its
  // part.
  EXPECT_EQ(main->rtext->RtfText()->WindowWidth(), main->rtext->ClientWidth());
  EXPECT_EQ(main->rtext->RtfText()->WindowHeight(), main->rtext->ClientHeight());
}

INSTANTIATE_TEST_SUITE_P(Frames, ToolbarPlaceTest, ::testing::Values(RECT{0, 0, 0, 0}, RECT{4, 24, 4, 4}),
                         [](const ::testing::TestParamInfo<RECT>& info) {
                           return info.param.Top > 0 ? std::string("WithWindowManagerFrame")
                                                     : std::string("WithoutWindowManager");
                         });

}  // namespace
}  // namespace tw::app::test
