#include "app/forms/mainwindow.h"

#include "app/forms/tests/appforms_test_util.h"
#include "entry/date/dayarith.h"
#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "horoscope/horoscope.h"
#include "platform/forms/comctrls/comctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/timer.h"
#include "platform/win/winapi.h"
#include "toolbars/toolbarbutton.h"
#include "toolbars/toolbars.h"

namespace tw::app::test {
namespace {

class MainWindowTest : public AppFormsTest {
 protected:
  void SetUp() override {
    AppFormsTest::SetUp();
    toolbars::RegisterToolbarClasses();
    main = Application()->CreateForm<TfrmMain>();
    main->ListingFolder = folder.string();
    options = Application()->CreateForm<TfrmOptions>();
  }
  // Person n with a name and a birth date, stored as the user would type them.
  void MakePerson(int n, const std::string& name) {
    options->SelectPerson(n);
    options->dfPers->SetAsString(name);
    options->dfPers->OnChange(options->dfPers);
    options->dfDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(1980, 5, 17)));
    options->dfDate->OnChange(options->dfDate);
  }
  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
};

TEST(LinkHelp, HiddenNumbersGiveTheContextElseOne) {
  EXPECT_EQ(LinkHelpContext("20003"), 20003);
  EXPECT_EQ(LinkHelpContext("22001"), 22001);
  EXPECT_EQ(LinkHelpContext("Sun"), 1);
  EXPECT_EQ(LinkHelpContext(""), 1);
}

TEST_F(MainWindowTest, WindowsKnowEachOtherAndButtonsTakeThePersonsShortcuts) {
  ASSERT_EQ(frmMain, main);
  ASSERT_EQ(frmOptions, options);
  EXPECT_EQ(options->Listener, main);
  ASSERT_NE(main->pbPers3, nullptr);
  EXPECT_EQ(main->pbPers3->Caption(), "Person 3");
  options->SelectPerson(3);
  options->dfShort->SetAsString("Eve");
  options->dfShort->OnChange(options->dfShort);
  options->OkClick(options->Ok);
  EXPECT_EQ(main->pbPers3->Caption(), "Eve");
}

TEST_F(MainWindowTest, PersonButtonsSelectThePersonAndRecalculate) {
  MakePerson(2, "Anna Berg");
  MakePerson(1, "Bob Stone");
  const int before = main->ListsStarted;
  StopFlag = false;
  main->pbPersClick(main->pbPers2);
  EXPECT_EQ(main->ListsStarted, before + 1);
  EXPECT_EQ(options->SelectedPerson(), 2);
  EXPECT_EQ(main->RadixHoroscope->HorName, "Anna Berg");
  EXPECT_DOUBLE_EQ(main->RadixHoroscope->HorDate, EncodeDate(1980, 5, 17));
  EXPECT_EQ(main->TransitHoroscope->HorName, "Transit");
  EXPECT_TRUE(main->rtext->ReadOnly());
  EXPECT_TRUE(main->rtext->Visible());
  EXPECT_FALSE(StopFlag) << "the new list cleared the flag the button set";
  EXPECT_TRUE(std::filesystem::exists(folder / "_Radix.TXT"));
  EXPECT_TRUE(std::filesystem::exists(folder / "_Transit.TXT"));
}

TEST_F(MainWindowTest, OnlyAChangedTransitDateRecalculates) {
  MakePerson(1, "Bob Stone");
  main->dfTransDateEnter(main->dfTransDate);
  const int before = main->ListsStarted;
  main->dfTransDateExit(main->dfTransDate);
  EXPECT_EQ(main->ListsStarted, before) << "leaving the field unchanged computes nothing";

  main->dfTransDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(2030, 1, 2)));
  main->dfTransDateExit(main->dfTransDate);
  EXPECT_EQ(main->ListsStarted, before + 1);
  EXPECT_DOUBLE_EQ(main->TransitHoroscope->HorDate, EncodeDate(2030, 1, 2));
  main->dfTransDateExit(main->dfTransDate);
  EXPECT_EQ(main->ListsStarted, before + 1);
}

TEST_F(MainWindowTest, OptionsEndingWithCancelSkipTheRecalculation) {
  MakePerson(1, "Bob Stone");
  TModalResult answer = mrCancel;
  options->OnShow = [&](TObject*) { options->SetModalResult(answer); };
  const int before = main->ListsStarted;
  main->mnuOptionsClick(nullptr);
  EXPECT_EQ(main->ListsStarted, before);
  answer = mrOk;
  main->mnuOptionsClick(nullptr);
  EXPECT_EQ(main->ListsStarted, before + 1);
}

TEST_F(MainWindowTest, WithoutANameNothingIsComputed) {
  options->OnShow = [&](TObject*) { options->SetModalResult(mrCancel); };
  main->ShowTransits();
  EXPECT_EQ(main->ListsStarted, 0);
}

TEST_F(MainWindowTest, PeriodDrivesTheTimerAndEscStopsAList) {
  main->RecalcPeriodChanged(15);
  EXPECT_TRUE(main->TimerRecalc->Enabled());
  EXPECT_EQ(main->TimerRecalc->Interval(), 15u * 60000u);
  main->RecalcPeriodChanged(0);
  EXPECT_FALSE(main->TimerRecalc->Enabled());

  StopFlag = false;
  Word key = VK_ESCAPE;
  main->FormKeyUp(main, key, TShiftState{});
  EXPECT_TRUE(StopFlag);
  StopFlag = false;
}

}  // namespace
}  // namespace tw::app::test
