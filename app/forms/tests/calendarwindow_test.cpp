#include "app/forms/calendarwindow.h"

#include <memory>

#include "app/forms/mainwindow.h"
#include "app/forms/tests/appforms_test_util.h"
#include "entry/date/dayarith.h"
#include "entry/fkcalendar.h"
#include "entry/fkspinner.h"
#include "horoscope/chartglobals.h"
#include "platform/classes/stringlist.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/gfx/picture.h"
#include "platform/win/display.h"

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

TEST_F(CalendarWindowTest, AboutWindowShowsTheProgramIconAndItsPicture) {
  auto* about = Application()->CreateForm<TAboutBox>();
  ASSERT_NE(about->ProgramIcon, nullptr);
  ASSERT_NE(about->Image1, nullptr);
  ASSERT_NE(dynamic_cast<TIcon*>(about->ProgramIcon->Picture()->Graphic()), nullptr);
  EXPECT_EQ(about->ProgramIcon->Picture()->Width(), 32);
  EXPECT_EQ(about->ProgramIcon->Picture()->Height(), 32);
  TBitmap* picture = dynamic_cast<TBitmap*>(about->Image1->Picture()->Graphic());
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Width(), about->Image1->Width());
  EXPECT_EQ(picture->Height(), about->Image1->Height());
  // On screen: the picture's pixels where the image lies.
  about->Show();
  Pump();
  const TPoint at = about->Image1->ClientToScreen(Point(0, 0));
  const TPoint origin = about->ClientToScreen(Point(0, 0));
  for (const TPoint p : {Point(50, 13), Point(5, 50), Point(0, 0)}) {
    const TColor c = picture->PixelColor(p.X, p.Y);
    const std::uint32_t expected = 0xFF000000u | (static_cast<std::uint32_t>(c & 0xFF) << 16) |
                                   (static_cast<std::uint32_t>(c & 0xFF00)) | ((static_cast<std::uint32_t>(c) >> 16) & 0xFF);
    EXPECT_EQ(GetWindowPixel(about->Handle(), at.X - origin.X + p.X, at.Y - origin.Y + p.Y), expected) << p.X << "," << p.Y;
  }
}

}  // namespace
}  // namespace tw::app::test
