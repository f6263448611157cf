#include "app/forms/calendarwindow.h"

#include <memory>

#include "app/forms/mainwindow.h"
#include "app/forms/tests/appforms_test_util.h"
#include "entry/date/dayarith.h"
#include "entry/fkcalendar.h"
#include "entry/fkspinner.h"
#include "horoscope/chartglobals.h"
#include "platform/classes/stringlist.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw::app::test {
namespace {

using CalendarWindowTest = AppFormsTest;

TEST(CalendarKeys, NavigationAndControlKeysKeepTheCalendarOpen) {
  for (Word key : {0, 9, 13, 16, 17, 18, 20, 27, 32, 33, 36, 37, 40, 112, 144, 145})
    EXPECT_TRUE(CalendarKeepsOpen(key)) << key;
  for (Word key : {8, 41, 45, 46, 48, 53, 65, 90, 113, 123})
    EXPECT_FALSE(CalendarKeepsOpen(key)) << key;
}

TEST_F(CalendarWindowTest, SpinnersMoveWholeMonthsAndYearsAndKeysClose) {
  auto* cal = Application()->CreateForm<TfrmCal>();
  ASSERT_NE(cal->Calendar, nullptr);
  ASSERT_NE(cal->SpinnerMonth, nullptr);
  EXPECT_EQ(frmCal, cal);
  const auto start = entry::DMYToDayNumber(15, 3, 2024, 1910);
  cal->Calendar->SetDate(start);
  ASSERT_TRUE(cal->SpinnerMonth->OnClick) << "the spinners are bound at creation";
  cal->SpinnerMonth->OnClick(cal->SpinnerMonth, entry::TSpinState::ssRight, 1.0, false);
  EXPECT_EQ(cal->Calendar->GetDate(), entry::DMYToDayNumber(15, 4, 2024, 1910));
  cal->SpinnerYear->OnClick(cal->SpinnerYear, entry::TSpinState::ssLeft, 1.0, false);
  EXPECT_EQ(cal->Calendar->GetDate(), entry::DMYToDayNumber(15, 4, 2023, 1910));
  cal->SpinnerYear->OnClick(cal->SpinnerYear, entry::TSpinState::ssUp, 1.0, false);
  EXPECT_EQ(cal->Calendar->GetDate(), entry::DMYToDayNumber(15, 4, 2023, 1910)) << "other states do nothing";

  Word cursor = 39;
  cal->FormKeyDown(cal, cursor, TShiftState{});
  EXPECT_EQ(cal->ModalResult(), mrNone);
  Word digit = '5';
  cal->FormKeyDown(cal, digit, TShiftState{});
  EXPECT_EQ(cal->ModalResult(), mrCancel);
  cal->SetModalResult(mrNone);
  cal->CalendarDblClick(cal->Calendar);
  EXPECT_EQ(cal->ModalResult(), mrOk);
}

TEST_F(CalendarWindowTest, AboutWindowShowsTheDescriptionReadOnly) {
  auto messages = std::make_unique<TStringList>();
  messages->AddObject("Transits of the day.", std::intptr_t{104});
  horoscope::MessageList = messages.get();
  auto* about = Application()->CreateForm<TAboutBox>();
  EXPECT_EQ(AboutBox, about);
  about->FormShow(about);
  EXPECT_EQ(about->Description->Text(), "Transits of the day.");
  EXPECT_TRUE(about->Description->ReadOnly());
  horoscope::MessageList = nullptr;
}

}  // namespace
}  // namespace tw::app::test
