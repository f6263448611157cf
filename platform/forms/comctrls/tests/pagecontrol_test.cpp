// Page control and tab set: switching pages by mouse, arrows and Ctrl+Tab from inside a page,
// OnChanging refusing a change, hidden tabs skipped, sheets leaving; tab-set clicks.
#include "platform/forms/comctrls/pagecontrol.h"
#include "platform/forms/comctrls/tabset.h"

#include "comctrls_test_util.h"

namespace tw::test {
namespace {

class PageControlTest : public ComCtrlsTest {
 protected:
  void SetUp() override {
    ComCtrlsTest::SetUp();
    pc = new TPageControl(form);
    pc->SetParent(form);
    pc->SetBounds(10, 10, 300, 200);
    for (const char* name : {"Person", "Display", "Extra"}) {
      auto* sheet = new TTabSheet(form);
      sheet->SetPageControl(pc);
      sheet->SetCaption(name);
      sheets.push_back(sheet);
    }
    inner = new TTestEdit(form);
    inner->SetParent(sheets[0]);
    pc->OnChange = [this](TObject*) { log.push_back("change " + std::to_string(pc->ActivePageIndex())); };
    pc->OnChanging = [this](TObject*, bool& allow) {
      log.push_back("changing");
      allow = allowChange;
    };
  }
  // A focusable child of a sheet.
  class TTestEdit : public TCustomControl {
   public:
    explicit TTestEdit(TComponent* owner) : TCustomControl(owner) {
      SetTabStop(true);
      SetBounds(5, 5, 50, 20);
    }
  };
  TPageControl* pc = nullptr;
  std::vector<TTabSheet*> sheets;
  TTestEdit* inner = nullptr;
  std::vector<std::string> log;
  bool allowChange = true;
};

TEST_F(PageControlTest, TheFirstSheetShowsAndSheetsFillTheDisplayArea) {
  ShowForm();
  EXPECT_EQ(pc->PageCount(), 3);
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  EXPECT_TRUE(sheets[0]->Visible());
  EXPECT_FALSE(sheets[1]->Visible());
  EXPECT_EQ(sheets[1]->BoundsRect(), pc->DisplayRect());
  EXPECT_EQ(sheets[2]->PageIndex(), 2);
  pc->SetActivePage(sheets[1]);  // by code: no events
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(sheets[1]->Visible());
  EXPECT_FALSE(sheets[0]->Visible());
  // A sheet, or a control on it, shown by code becomes the active page: tab and page agree.
  sheets[2]->Show();
  EXPECT_EQ(pc->ActivePage(), sheets[2]);
  EXPECT_FALSE(sheets[1]->Visible());
  inner->Show();
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  EXPECT_TRUE(sheets[0]->Visible());
  EXPECT_FALSE(sheets[2]->Visible());
  EXPECT_TRUE(log.empty());
}

TEST_F(PageControlTest, ClickingATabChangesPageUnlessOnChangingRefuses) {
  ShowForm();
  TRect tab = pc->TabRect(2);
  Click(pc, tab.Left + 5, tab.Top + 5);
  EXPECT_EQ(pc->ActivePage(), sheets[2]);
  EXPECT_EQ(log, (std::vector<std::string>{"changing", "change 2"}));
  allowChange = false;
  tab = pc->TabRect(0);
  Click(pc, tab.Left + 5, tab.Top + 5);
  EXPECT_EQ(pc->ActivePage(), sheets[2]);
  EXPECT_EQ(log.back(), "changing");
}

TEST_F(PageControlTest, CtrlTabFromInsideAPageTurnsPagesBothWays) {
  ShowForm();
  inner->SetFocus();
  Pump();
  KeyWith(VK_CONTROL, VK_TAB);
  EXPECT_EQ(pc->ActivePage(), sheets[1]);
  EXPECT_TRUE(pc->Focused());  // the focus left the hidden page
  InjectKeyDown(VK_CONTROL);
  InjectKeyDown(VK_SHIFT);
  InjectKey(VK_TAB);
  Pump();
  InjectKeyUp(VK_SHIFT);
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  KeyWith(VK_CONTROL, VK_TAB);
  KeyWith(VK_CONTROL, VK_TAB);
  KeyWith(VK_CONTROL, VK_TAB);  // wraps
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  Key(VK_RIGHT);  // the focused tabs take arrows
  EXPECT_EQ(pc->ActivePage(), sheets[1]);
  allowChange = false;
  KeyWith(VK_CONTROL, VK_TAB);
  EXPECT_EQ(pc->ActivePage(), sheets[1]);
}

TEST_F(PageControlTest, HiddenTabsAreSkippedAndAFreedSheetLeaves) {
  ShowForm();
  sheets[1]->SetTabVisible(false);
  EXPECT_EQ(pc->TabCount(), 2);
  EXPECT_EQ(sheets[2]->TabIndex(), 1);
  pc->SelectNextPage(true);
  EXPECT_EQ(pc->ActivePage(), sheets[2]);
  EXPECT_EQ(pc->TabIndex(), 1);
  delete sheets[2];
  EXPECT_EQ(pc->PageCount(), 2);
  EXPECT_EQ(pc->ActivePage(), sheets[0]);
  EXPECT_THROW(pc->Pages(5), EListError);
}

TEST_F(PageControlTest, TabSetChoosesByClickAndMayRefuse) {
  auto* ts = new TTabSet(form);
  ts->SetParent(form);
  ts->SetBounds(10, 220, 300, 21);
  ts->Tabs()->Add("English");
  ts->Tabs()->Add("Deutsch");
  ts->SetTabIndex(0);
  std::vector<std::string> events;
  bool allow = true;
  ts->OnChange = [&](TObject*, int tab, bool& ok) {
    events.push_back("change " + std::to_string(tab));
    ok = allow;
  };
  ts->OnClick = [&](TObject*) { events.push_back("click " + std::to_string(ts->TabIndex())); };
  ShowForm();
  TRect r = ts->TabRect(1);
  Click(ts, r.Left + 10, 5);
  EXPECT_EQ(ts->TabIndex(), 1);
  allow = false;
  r = ts->TabRect(0);
  Click(ts, r.Left + 5, 5);
  EXPECT_EQ(ts->TabIndex(), 1);
  EXPECT_EQ(events, (std::vector<std::string>{"change 1", "click 1", "change 0", "click 1"}));
  ts->Tabs()->Delete(1);
  EXPECT_EQ(ts->TabIndex(), 0);
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

using PageLoadTest = ComCtrlsTest;

TEST_F(PageLoadTest, ReadingAFormShowsTheFirstVisiblePageAndSheetsTellShowAndHide) {
  auto* pc = new TPageControl(form);
  pc->SetComponentState(TComponentStateFlag::csLoading, true);
  pc->SetParent(form);
  auto* hidden = new TTabSheet(form);
  hidden->SetTabVisible(false);
  hidden->SetParent(pc);  // as the form reader places it
  auto* shown = new TTabSheet(form);
  shown->SetParent(pc);
  EXPECT_EQ(pc->ActivePage(), nullptr);
  pc->SetComponentState(TComponentStateFlag::csLoading, false);
  static_cast<TComponent*>(pc)->Loaded();
  EXPECT_EQ(pc->ActivePage(), shown);
  EXPECT_EQ(hidden->PageControl(), pc);

  std::vector<std::string> log;
  hidden->OnShow = [&](TObject*) { log.push_back("show hidden"); };
  shown->OnHide = [&](TObject*) { log.push_back("hide shown"); };
  pc->SetActivePage(hidden);
  EXPECT_EQ(log, (std::vector<std::string>{"show hidden", "hide shown"}));
  shown->SetPageControl(nullptr);
  EXPECT_EQ(pc->PageCount(), 1);
  EXPECT_EQ(shown->Parent(), nullptr);
}

}  // namespace
}  // namespace tw::test
