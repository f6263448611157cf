// Toolbar places kept in the settings store across a re-created form, and damaged values.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "platform/classes/registry.h"
#include "toolbars/toolbarpos.h"
#include "toolbars_test_util.h"

namespace tw::toolbars::test {
namespace {

const char* const kKey = "\\Software\\Orvelle\\Tidewell";

class PositionTest : public ToolbarsTest {
 protected:
  void SetUp() override {
    ToolbarsTest::SetUp();
    dir = std::filesystem::temp_directory_path() / ("tw_toolbars_" + std::to_string(getpid()) + "_" +
                                                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    SetSettingsStorePath((dir / "registry.ini").string());
  }
  void TearDown() override {
    ToolbarsTest::TearDown();
    SetSettingsStorePath("");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // The form of the program: two bars on the top dock, saved on destruction.
  void Build() {
    MakeForm();
    time = NewBar("ToolbarTime", top, 0, 0, 2);
    tools = NewBar("ToolbarX", top, 0, 148, 4);
  }
  void SaveAndDestroy() {
    SaveToolbarPosition(time, kKey);
    SaveToolbarPosition(tools, kKey);
    delete form;
    form = nullptr;
    Pump();
  }
  void RebuildAndLoad() {
    Build();
    LoadToolbarPosition(time, kKey);
    LoadToolbarPosition(tools, kKey);
    Pump();
  }
  void Write(const std::string& bar, const std::string& name, const std::string& value) {
    TRegIniFile ini(kKey);
    ini.WriteString(bar, name, value);
  }

  std::filesystem::path dir;
  TToolbarX* time = nullptr;
  TToolbarX* tools = nullptr;
};

TEST_F(PositionTest, DockedPlacesComeBack) {
  Build();
  tools->SetDockedTo(bottom);
  tools->SetDockPos(30);
  time->SetDockRow(1);
  SaveAndDestroy();
  {
    TRegIniFile ini(kKey);
    EXPECT_EQ(ini.ReadString("ToolbarX", "DockedTo", ""), "DockBottom");
    EXPECT_EQ(ini.ReadInteger("ToolbarX", "FloatLeft", -1), 0);  // never floated: empty
    EXPECT_EQ(ini.ReadInteger("ToolbarX", "FloatBottom", -1), 0);
    EXPECT_EQ(ini.ReadString("ToolbarTime", "Visible", ""), "1");
  }
  RebuildAndLoad();
  EXPECT_EQ(tools->DockedTo(), bottom);
  EXPECT_EQ(tools->Left(), 30);
  EXPECT_EQ(time->DockedTo(), top);
  EXPECT_EQ(time->DockRow(), 0);  // its row closed up: it is alone in the dock
  EXPECT_TRUE(IsRectEmpty(tools->FloatRect()));
}

TEST_F(PositionTest, FloatingWindowRectangleComesBack) {
  Build();
  tools->SetDockedTo(nullptr);
  tools->FloatParent()->SetBounds(300, 250, tools->FloatParent()->Width(), tools->FloatParent()->Height());
  const TRect saved = tools->FloatParent()->BoundsRect();
  time->Hide();
  SaveAndDestroy();
  {
    TRegIniFile ini(kKey);
    EXPECT_EQ(ini.ReadString("ToolbarX", "DockedTo", ""), "nil");
    EXPECT_EQ(ini.ReadInteger("ToolbarX", "FloatLeft", 0), saved.Left + FrameWidth());
    EXPECT_EQ(ini.ReadInteger("ToolbarX", "FloatTop", 0), saved.Top);
  }
  RebuildAndLoad();
  EXPECT_EQ(tools->DockedTo(), nullptr);
  EXPECT_EQ(tools->FloatParent()->BoundsRect(), saved);
  EXPECT_TRUE(IsWindowVisible(tools->FloatParent()->Handle()));
  EXPECT_FALSE(time->Visible());
  EXPECT_TRUE(top->Toolbars().empty());
}

TEST_F(PositionTest, MissingKeyOrUnknownDockLeavesTheDesignPlace) {
  RebuildAndLoad();  // nothing stored yet
  EXPECT_EQ(tools->DockedTo(), top);
  EXPECT_EQ(tools->Left(), 148);
  Write("ToolbarX", "DockedTo", "DockGone");
  Write("ToolbarX", "DockRow", "3");
  LoadToolbarPosition(tools, kKey);
  EXPECT_EQ(tools->DockedTo(), top);
  EXPECT_EQ(tools->DockRow(), 0);
  // A control of that name that is no dock is no place either.
  auto* panel = new TCustomControl(form);
  panel->SetName("Panel1");
  panel->SetParent(form);
  Write("ToolbarX", "DockedTo", "Panel1");
  LoadToolbarPosition(tools, kKey);
  EXPECT_EQ(tools->DockedTo(), top);
  // Names compare exactly.
  Write("ToolbarX", "DockedTo", "dockbottom");
  LoadToolbarPosition(tools, kKey);
  EXPECT_EQ(tools->DockedTo(), top);
}

TEST_F(PositionTest, DamagedNumbersAreIgnored) {
  Build();
  SaveAndDestroy();
  Write("ToolbarX", "DockRow", "-7");
  Write("ToolbarX", "DockPos", "99999999999");
  Write("ToolbarX", "FloatRightX", "abc");
  Write("ToolbarX", "Visible", "yes");  // not a number: the current value stays
  RebuildAndLoad();
  EXPECT_EQ(tools->DockedTo(), top);
  EXPECT_GE(tools->DockRow(), 0);
  EXPECT_EQ(tools->Left(), 148);
  EXPECT_EQ(tools->FloatRightX(), 0);
  EXPECT_TRUE(tools->Visible());
}

TEST_F(PositionTest, AbsurdOrOffScreenFloatingPlacesStayReachable) {
  Build();
  SaveAndDestroy();
  const TSize screen = Display().ScreenSize();
  // Far off the screen: the window is moved back into the work area.
  Write("ToolbarX", "DockedTo", "nil");
  Write("ToolbarX", "FloatLeft", std::to_string(screen.cx + 5000));
  Write("ToolbarX", "FloatTop", "-3000");
  Write("ToolbarX", "FloatRight", std::to_string(screen.cx + 5100));
  Write("ToolbarX", "FloatBottom", "-2970");
  RebuildAndLoad();
  ASSERT_EQ(tools->DockedTo(), nullptr);
  TRect w = tools->FloatParent()->BoundsRect();
  EXPECT_GE(w.Left, 0);
  EXPECT_GE(w.Top, 0);
  EXPECT_LE(w.Right, screen.cx);
  EXPECT_LE(w.Bottom, screen.cy);
  SaveAndDestroy();
  // Absurd or upside-down rectangles are dropped: the bar floats where it stood.
  Write("ToolbarX", "FloatLeft", "2147483647");
  Write("ToolbarX", "FloatRight", "-2147483648");
  RebuildAndLoad();
  ASSERT_EQ(tools->DockedTo(), nullptr);
  w = tools->FloatParent()->BoundsRect();
  EXPECT_GT(w.Width(), 0);
  EXPECT_LT(w.Width(), 1000);
  EXPECT_GE(w.Left, 0);
  EXPECT_LE(w.Right, screen.cx);
}

// Random places of the two bars (docked on each edge in any row and position, floating
// anywhere on the screen, hidden), kept over a restart of the form the way the program keeps
// them: saved when the form goes, loaded into a new form with its docks held, so that they
// arrange once.  Each bar comes back where it was: its dock, row and position, or its
// floating window's rectangle, and whether it shows.
TEST_F(PositionTest, RandomPlacesComeBackAfterARestart) {
  std::mt19937 rng(7122026);
  const TSize screen = Display().ScreenSize();
  Build();
  for (int round = 0; round < 40; ++round) {
    for (TToolbarX* bar : {time, tools}) {
      switch (rng() % 4) {
        case 0:
        case 1: {
          TDockX* docks[] = {top, bottom, left, right};
          bar->SetDockRow(static_cast<int>(rng() % 3));
          bar->SetDockPos(static_cast<int>(rng() % 500));
          bar->SetDockedTo(docks[rng() % 4]);
          break;
        }
        case 2:
          // Floating, wrapped at a width of one to four buttons now and then.
          if (bar->DockedTo() == nullptr) bar->SetDockedTo(top);
          bar->SetFloatRightX(rng() % 2 == 0 ? 0 : static_cast<int>(40 + rng() % 70));
          bar->SetDockedTo(nullptr);
          bar->FloatParent()->SetBounds(static_cast<int>(rng() % static_cast<unsigned>(screen.cx - 200)),
                                        static_cast<int>(rng() % static_cast<unsigned>(screen.cy - 100)),
                                        bar->FloatParent()->Width(), bar->FloatParent()->Height());
          break;
        default: bar->SetVisible(!bar->Visible()); break;
      }
      Pump();
    }
    struct Place {
      bool visible;
      std::string dock;
      int row, pos;
      TRect window;
    };
    auto place = [](TToolbarX* bar) {
      Place p{bar->Visible(), bar->DockedTo() != nullptr ? bar->DockedTo()->Name() : "nil", -1, -1, {}};
      if (bar->DockedTo() != nullptr && bar->Visible()) {
        p.row = bar->DockRow();
        p.pos = bar->DockPos();
      }
      if (bar->DockedTo() == nullptr) p.window = bar->FloatParent()->BoundsRect();
      return p;
    };
    const Place before[] = {place(time), place(tools)};
    const TRect timeBounds = time->BoundsRect(), toolsBounds = tools->BoundsRect();
    SaveAndDestroy();
    Build();
    for (TDockX* dock : {top, bottom, left, right}) dock->BeginUpdate();
    LoadToolbarPosition(time, kKey);
    LoadToolbarPosition(tools, kKey);
    for (TDockX* dock : {top, bottom, left, right}) dock->EndUpdate();
    Pump();
    const Place after[] = {place(time), place(tools)};
    for (int i = 0; i < 2; ++i) {
      const std::string what = "round " + std::to_string(round) + (i == 0 ? " time" : " tools");
      ASSERT_EQ(after[i].visible, before[i].visible) << what;
      ASSERT_EQ(after[i].dock, before[i].dock) << what;
      ASSERT_EQ(after[i].row, before[i].row) << what;
      ASSERT_EQ(after[i].pos, before[i].pos) << what;
      ASSERT_EQ(after[i].window, before[i].window) << what;
    }
    if (time->Visible()) {
      ASSERT_EQ(time->BoundsRect(), timeBounds) << round;
    }
    if (tools->Visible()) {
      ASSERT_EQ(tools->BoundsRect(), toolsBounds) << round;
    }
  }
}

TEST_F(PositionTest, UnnamedDockRaisesAndWritesNothing) {
  Build();
  auto* unnamed = new TDockX(form);
  unnamed->SetPosition(TDockPosition::dpBottom);
  unnamed->SetParent(form);
  tools->SetDockedTo(unnamed);
  try {
    SaveToolbarPosition(tools, kKey);
    FAIL() << "no error";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "DockTo's Name property not set");
  }
  TRegIniFile ini(kKey);
  EXPECT_EQ(ini.ReadString("ToolbarX", "Visible", "none"), "none");
  EXPECT_EQ(FindDockByName("DockLeft", form), left);
  EXPECT_EQ(FindDockByName("", form), unnamed);
  EXPECT_EQ(FindDockByName("Nothing", form), nullptr);
}

TEST_F(PositionTest, SideDockRefusedToABarThatDocksOnlyTopAndBottom) {
  Build();
  Write("ToolbarTime", "DockedTo", "DockLeft");
  Write("ToolbarX", "DockedTo", "DockLeft");
  time->SetCanDockLeftRight(false);
  LoadToolbarPosition(time, kKey);
  LoadToolbarPosition(tools, kKey);
  EXPECT_EQ(time->DockedTo(), top);
  EXPECT_EQ(tools->DockedTo(), left);
}

TEST_F(PositionTest, UnnamedToolbarKeepsNothing) {
  Build();
  auto* bar = new TToolbarX(form);
  bar->SetDockedTo(top);
  SaveToolbarPosition(bar, kKey);
  TRegIniFile ini(kKey);
  EXPECT_FALSE(ini.ValueExists("Visible"));
  EXPECT_FALSE(ini.ValueExists("DockedTo"));
  ini.WriteString("", "DockedTo", "nil");
  LoadToolbarPosition(bar, kKey);
  EXPECT_EQ(bar->DockedTo(), top);
}

}  // namespace
}  // namespace tw::toolbars::test
