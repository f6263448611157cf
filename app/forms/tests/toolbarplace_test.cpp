// The main window's toolbars through the real windows: a floated toolbar appears where it was
// docked and comes back there after a restart (with and without a window manager's frame), a
// restart with the date bar floating shows the list, re-docking keeps the calendar button, and
// a bar docked on the left leaves the list its room.
#include <cstdlib>
#include <random>
#include <string>

#include "app/forms/mainwindow.h"
#include "app/forms/optionswindow.h"
#include "app/forms/tests/appforms_test_util.h"
#include "platform/win/winapi.h"
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

TEST_P(ToolbarPlaceTest, TheButtonsKeepTheirOrderAndADoubleClickDocksAtTheRowStart) {
  Start();
  TToolbarX* bar = main->ToolbarX;
  const std::vector<TControl*> designed = {main->pbInfo, main->pbPers1, main->pbPers2, main->pbPers3,
                                           main->pbPers4, main->pbPrint, main->pbExit};
  auto expectOrder = [&](const char* when) {
    const bool vertical = bar->ToolbarType() == toolbars::kVertical;
    for (std::size_t i = 1; i < designed.size(); ++i) {
      const TControl* a = designed[i - 1];
      const TControl* b = designed[i];
      EXPECT_LT(vertical ? a->Top() : a->Left(), vertical ? b->Top() : b->Left())
          << when << ": " << a->Name() << " before " << b->Name();
    }
  };
  expectOrder("designed");
  for (toolbars::TDockX* side : {main->DockLeft, main->DockRight}) {
    bar->SetDockedTo(side);
    Pump();
    expectOrder("docked at the side");
    bar->SetDockedTo(main->DockTop);
    Pump();
    expectOrder("back on top");
  }
  bar->SetDockedTo(main->DockLeft);
  bar->SetDockedTo(nullptr);
  Pump();
  expectOrder("floating after the side");
  bar->SetDockedTo(main->DockTop);
  expectOrder("back on top from floating");

  // A double click on the floating caption docks the bar at the start of the top dock's first row.
  for (TToolbarX* floating : {main->ToolbarX, main->ToolbarTime}) {
    SCOPED_TRACE(floating->Name());
    floating->SetDockedTo(nullptr);
    Pump();
    ASSERT_EQ(floating->DockedTo(), nullptr);
    const TPoint origin = floating->FloatParent()->ClientOrigin();
    DoubleClick({origin.X + toolbars::FrameWidth() + 6, origin.Y + toolbars::FrameHeight() + 4});
    EXPECT_EQ(floating->DockedTo(), main->DockTop);
    EXPECT_EQ(floating->DockRow(), 0);
    EXPECT_EQ(floating->Left(), 0);
    EXPECT_EQ(floating->Top(), 0);
  }
  expectOrder("docked by a double click");
}

TEST_P(ToolbarPlaceTest, NoStripOfTheOldScrollBarStaysWhenAShortTextFollowsALongList) {
  Start();
  MakePerson(1, "Bob Stone");
  options->WriteString("dfDate2", "31.02.1990");
  options->WriteString("dfPers2", "Anna Berg");
  options->OnShow = [&](TObject*) { options->SetModalResult(mrCancel); };
  ShowPlainList(main, 200);
  Pump();
  const HWND view = main->rtext->Handle();
  ASSERT_NE(GetWindowLong(view, GWL_STYLE) & WS_VSCROLL, 0) << "the long list scrolls";
  // The date bar, with its field and button windows, floated and docked again.
  main->ToolbarTime->SetDockedTo(nullptr);
  Pump();
  main->ToolbarTime->SetDockedTo(main->DockTop);
  Pump();
  main->pbPersClick(main->pbPers2);  // Anna's birth date does not read: a short text
  Pump();
  RECT drawn{};
  GetWindowRect(view, &drawn);
  const TPoint formOrigin = main->ClientOrigin();
  const int scrollWidth = GetSystemMetrics(SM_CXVSCROLL);
  int black = 0;
  for (int y = drawn.Top + 4; y < drawn.Bottom - 24; y += 7)
    for (int x = drawn.Right - scrollWidth; x < drawn.Right - 3; x += 3) {
      const std::uint32_t pixel = GetWindowPixel(main->Handle(), x - formOrigin.X, y - formOrigin.Y);
      if ((pixel & 0xFFFFFFu) == 0) ++black;
    }
  EXPECT_EQ(black, 0) << "where the scroll bar was, the view shows its own colour";
  EXPECT_EQ(main->rtext->RtfText()->WindowWidth(), main->rtext->ClientWidth()) << "laid out in its whole width";
  EXPECT_EQ(GetWindowPixel(main->Handle(), drawn.Right - scrollWidth / 2 - formOrigin.X,
                           (drawn.Top + drawn.Bottom) / 2 - formOrigin.Y) & 0xFFFFFFu,
            0xFFFFFFu);
}

// The place of every bar after a restart is the place it had: docks, rows and positions
// chosen at random (the first round the one users met: the Persons bar at the start of the top
// dock, the Transit bar on the right), in windows of random sizes.
TEST_P(ToolbarPlaceTest, EveryPlaceComesBackAfterARestart) {
  struct Place {
    std::string dock;  // "nil": floating
    int row = 0, pos = 0;
    TRect bounds;  // in the dock, or the floating window's
    bool operator==(const Place&) const = default;
  };
  const auto placeOf = [](TToolbarX* bar) {
    Place p;
    p.dock = bar->DockedTo() != nullptr ? bar->DockedTo()->Name() : "nil";
    if (bar->DockedTo() != nullptr) {
      p.row = bar->DockRow();
      p.pos = bar->DockPos();
      p.bounds = bar->BoundsRect();
    } else {
      p.bounds = bar->FloatParent()->BoundsRect();
    }
    return p;
  };
  const auto text = [](const Place& p) {
    return p.dock + " row " + std::to_string(p.row) + " pos " + std::to_string(p.pos) + " at " +
           std::to_string(p.bounds.Left) + "," + std::to_string(p.bounds.Top) + " " + std::to_string(p.bounds.Width()) +
           "x" + std::to_string(p.bounds.Height());
  };
  std::mt19937 random(31);
  const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  Start();
  for (int round = 0; round < 16; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    if (round == 9) {
      main->SetWindowState(TWindowState::wsMaximized);
    } else if (round > 0) {
      main->SetWindowState(TWindowState::wsNormal);
      main->SetBounds(main->Left(), main->Top(), pick(560, 860), pick(420, 620));
    }
    Pump();
    toolbars::TDockX* const docks[] = {main->DockTop, main->DockBottom, main->DockLeft, main->DockRight, nullptr};
    for (TToolbarX* bar : {main->ToolbarX, main->ToolbarTime}) {
      toolbars::TDockX* dock = docks[pick(0, 4)];
      int row = pick(0, 2), pos = pick(0, 700);
      if (round == 0) {  // Persons at the top's start, Transit on the right
        dock = bar == main->ToolbarX ? main->DockTop : main->DockRight;
        row = pos = 0;
      }
      if (dock != nullptr && dock->Vertical() && !bar->CanDockLeftRight()) dock = main->DockBottom;
      bar->SetDockRow(row);
      bar->SetDockPos(pos);
      bar->SetDockedTo(dock);
      if (dock == nullptr) bar->FloatParent()->SetBoundsRect(Bounds(pick(0, 600), pick(0, 500), bar->FloatParent()->Width(),
                                                                    bar->FloatParent()->Height()));
    }
    Pump();
    const Place persons = placeOf(main->ToolbarX), transit = placeOf(main->ToolbarTime);
    const TRect window = main->BoundsRect();
    Restart();
    EXPECT_EQ(main->BoundsRect(), window);
    EXPECT_EQ(main->WindowState(), round == 9 ? TWindowState::wsMaximized : TWindowState::wsNormal);
    for (auto [bar, want] : {std::pair{main->ToolbarX, persons}, std::pair{main->ToolbarTime, transit}}) {
      const Place got = placeOf(bar);
      if (want.dock == "nil") {
        EXPECT_EQ(got.dock, "nil") << bar->Name();
        ExpectNear(got.bounds, want.bounds, bar->Name().c_str());
      } else {
        EXPECT_EQ(got, want) << bar->Name() << " came back at " << text(got) << ", not at " << text(want);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Frames, ToolbarPlaceTest, ::testing::Values(RECT{0, 0, 0, 0}, RECT{4, 24, 4, 4}),
                         [](const ::testing::TestParamInfo<RECT>& info) {
                           return info.param.Top > 0 ? std::string("WithWindowManagerFrame")
                                                     : std::string("WithoutWindowManager");
                         });

}  // namespace
}  // namespace tw::app::test
