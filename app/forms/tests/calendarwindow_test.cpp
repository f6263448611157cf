#include "app/forms/calendarwindow.h"

#include <functional>
#include <memory>
#include <vector>

#include "app/forms/mainwindow.h"
#include "app/forms/tests/appforms_test_util.h"
#include "entry/date/dayarith.h"
#include "entry/fkcalendar.h"
#include "entry/fkintl.h"
#include "entry/fkpicturefield.h"
#include "entry/fkspinner.h"
#include "horoscope/chartglobals.h"
#include "platform/classes/stringlist.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/gfx/picture.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/uilanguage.h"
#include "platform/win/display.h"
#include "platform/win/winapi.h"

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

// The calendar opened from the transit date's "..." button: what it shows, what the user is
// told, and what the field holds after OK or Cancel.
class CalendarPickTest : public CalendarWindowTest {
 protected:
  void SetUp() override {
    CalendarWindowTest::SetUp();
    StartCalendarRun(folder, main, options, cal);
    Pump();
  }
  static entry::DayNumber Day(int d, int m, int y) { return entry::DMYToDayNumber(d, m, y, 0); }
  // Opens the calendar from the button; `answer` ends it.  Answers the day it opened on.
  entry::DayNumber Open(int answer) {
    entry::DayNumber shown = -2;
    cal->OnShow = [&](TObject*) {
      shown = cal->Calendar->GetDate();
      cal->SetModalResult(answer);
    };
    main->dfTransBtnClick(main->dfTransBtn);
    cal->OnShow = nullptr;
    return shown;
  }
  void Type(const std::string& digits) {
    main->dfTransDate->SetFocus();
    main->dfTransDate->SelectAll();
    for (char c : digits) InjectKey(static_cast<UINT>(c), static_cast<unsigned char>(c));
    InjectKey(VK_TAB);
    Pump();
  }
  entry::DayNumber FieldDay() { return main->dfTransDate->GetAsDayNumber(); }

  TfrmMain* main = nullptr;
  TfrmOptions* options = nullptr;
  TfrmCal* cal = nullptr;
};

TEST_F(CalendarPickTest, OpensOnTheFieldsDayOrSaysWhyAndNeverWritesAStaleDay) {
  // June 15, 3000, then a day the calendar cannot page from: it is not left on June.
  Type("06153000");
  ASSERT_EQ(FieldDay(), Day(15, 6, 3000));
  EXPECT_EQ(Open(mrCancel), Day(15, 6, 3000));
  EXPECT_TRUE(boxes.empty());
  Type("01021600");
  ASSERT_EQ(FieldDay(), Day(2, 1, 1600));
  EXPECT_EQ(Open(mrCancel), Day(2, 2, 1600)) << "the nearest day it shows";
  ASSERT_EQ(boxes.size(), 1u) << "the user is told why";
  EXPECT_EQ(boxes[0], "The calendar shows the days from 02/01/1600 to 11/30/3999: it opens on 02/02/1600 instead of "
                      "01/02/1600.");
  EXPECT_EQ(FieldDay(), Day(2, 1, 1600)) << "Cancel changes nothing";
  EXPECT_EQ(main->dfTransDate->EditText(), "01/02/1600");
  // OK takes the day the user saw.
  const int lists = main->ListsStarted;
  EXPECT_EQ(Open(mrOk), Day(2, 2, 1600));
  EXPECT_EQ(FieldDay(), Day(2, 2, 1600));
  EXPECT_EQ(main->ListsStarted, lists + 1);
  // The other end, and a day inside again.
  boxes.clear();
  Type("12303999");
  EXPECT_EQ(Open(mrOk), Day(30, 11, 3999));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("opens on 11/30/3999 instead of 12/30/3999"), std::string::npos) << boxes[0];
  EXPECT_EQ(FieldDay(), Day(30, 11, 3999));
  boxes.clear();
  Type("03041815");
  EXPECT_EQ(Open(mrCancel), Day(4, 3, 1815));
  EXPECT_TRUE(boxes.empty());
}

// A "..." button near an edge of the screen (the main window moved there, its date bar docked at
// the right, the options window at the left edge): the calendar shows whole on the screen.
TEST_F(CalendarPickTest, TheCalendarShowsWholeOnTheScreenFromAButtonAtItsEdge) {
  std::vector<TRect> shown;
  cal->OnShow = [&](TObject*) {
    shown.push_back(cal->BoundsRect());
    cal->SetModalResult(mrCancel);
  };
  const int screenWidth = Screen()->Width(), screenHeight = Screen()->Height();
  const TPoint button = main->dfTransBtn->ClientToScreen(Point(0, 0));
  // The button at the right edge, then at the bottom edge, then both.
  main->SetBounds(main->Left() + screenWidth - 4 - (button.X + main->dfTransBtn->Width()), main->Top(), main->Width(),
                  main->Height());
  Pump();
  main->dfTransBtnClick(main->dfTransBtn);
  main->SetBounds(0, main->Top() + screenHeight - 4 - (button.Y + main->dfTransBtn->Height()), main->Width(),
                  main->Height());
  Pump();
  main->dfTransBtnClick(main->dfTransBtn);
  main->SetBounds(main->Left() + screenWidth - 4 - main->dfTransBtn->ClientToScreen(Point(main->dfTransBtn->Width(), 0)).X,
                  main->Top(), main->Width(), main->Height());
  Pump();
  main->dfTransBtnClick(main->dfTransBtn);
  // The birth date's button at the left edge: the calendar, right-aligned with it, would start
  // left of the screen.
  options->SetBounds(-options->ABtn->ClientToScreen(Point(0, 0)).X + options->Left() + 4, 0, options->Width(),
                     options->Height());
  options->Show();
  Pump();
  options->ABtnClick(options->ABtn);
  options->Hide();
  cal->OnShow = nullptr;
  ASSERT_EQ(shown.size(), 4u);
  for (const TRect& r : shown) {
    EXPECT_GE(r.Left, 0) << r.Left << "," << r.Top;
    EXPECT_GE(r.Top, 0) << r.Left << "," << r.Top;
    EXPECT_LE(r.Right, screenWidth) << r.Left << "," << r.Top;
    EXPECT_LE(r.Bottom, screenHeight) << r.Left << "," << r.Top;
  }
  // Away from the edges it stays where it is placed: centred below the transit date's button.
  main->SetBounds(100, 100, main->Width(), main->Height());
  Pump();
  cal->OnShow = [&](TObject*) {
    shown.push_back(cal->BoundsRect());
    cal->SetModalResult(mrCancel);
  };
  main->dfTransBtnClick(main->dfTransBtn);
  cal->OnShow = nullptr;
  const TPoint below = main->dfTransBtn->ClientToScreen(Point(main->dfTransBtn->Width(), main->dfTransBtn->Height()));
  EXPECT_EQ(shown.back().Left, below.X - cal->Width() / 2);
  EXPECT_EQ(shown.back().Top, below.Y);
}

// The keys as the window system delivers them, while the calendar runs: the cursor and page
// keys move the day, Enter takes it; Escape, Alt+F4 and a digit close it with nothing changed;
// a click on the main window below leaves it open with the keys.
TEST_F(CalendarPickTest, TheCalendarIsDrivenByKeysAlone) {
  main->dfTransDate->SetAsDayNumber(Day(4, 3, 2024));
  const auto run = [&](std::vector<std::function<void()>> steps) {
    std::size_t next = 0, idles = 0;
    Application()->OnIdle = [&](TObject*, bool& done) {
      done = false;
      if (next < steps.size()) steps[next++]();
      if (++idles == 200 && cal->Visible()) cal->SetModalResult(mrAbort);  // the keys did nothing
    };
    main->dfTransBtnClick(main->dfTransBtn);
    Application()->OnIdle = nullptr;
    return cal->ModalResult();
  };
  const auto key = [](UINT vk) { return [vk] { InjectKey(vk); }; };
  std::vector<entry::DayNumber> seen;
  const auto look = [&] { seen.push_back(cal->Calendar->GetDate()); };
  EXPECT_EQ(run({key(VK_RIGHT), key(VK_DOWN), look, key(VK_NEXT), look, key(VK_END), look, key(VK_HOME), key(VK_PRIOR),
                 look, key(VK_LEFT), [&] { InjectClick(main->rtext->Handle(), 20, 20); }, key(VK_UP), look,
                 key(VK_RETURN)}),
            mrOk);
  EXPECT_EQ(seen, (std::vector<entry::DayNumber>{Day(12, 3, 2024), Day(12, 4, 2024), Day(30, 4, 2024), Day(1, 3, 2024),
                                                 Day(22, 2, 2024)}));
  EXPECT_EQ(main->dfTransDate->GetAsDayNumber(), Day(22, 2, 2024));
  for (const auto& close : std::vector<std::function<void()>>{key(VK_ESCAPE), key('5'), [] {
         InjectKeyDown(VK_MENU);
         InjectKey(VK_F4);
         InjectKeyUp(VK_MENU);
       }}) {
    EXPECT_EQ(run({key(VK_RIGHT), close}), mrCancel);
    EXPECT_EQ(main->dfTransDate->GetAsDayNumber(), Day(22, 2, 2024));
    EXPECT_TRUE(main->Visible());
  }
}

TEST_F(CalendarPickTest, ABlankBirthDateOpensOnTodayNotOnTheDayShownLast) {
  Type("03041815");
  EXPECT_EQ(Open(mrCancel), Day(4, 3, 1815));
  // The options' birth date of an empty person.
  options->SelectPerson(2);
  ASSERT_TRUE(options->dfDate->IsEmpty());
  entry::DayNumber shown = -2;
  cal->OnShow = [&](TObject*) {
    shown = cal->Calendar->GetDate();
    cal->SetModalResult(mrCancel);
  };
  options->ABtnClick(options->ABtn);
  EXPECT_EQ(shown, entry::CurrentDayNumber());
  EXPECT_TRUE(options->dfDate->IsEmpty()) << "Cancel leaves it blank";
  cal->OnShow = [&](TObject*) { cal->SetModalResult(mrOk); };
  options->ABtnClick(options->ABtn);
  EXPECT_EQ(options->dfDate->GetAsDayNumber(), entry::CurrentDayNumber());
}

TEST_F(CalendarPickTest, InGermanTheCalendarShowsNoEnglish) {
  SetUiLanguage(TUiLanguage::German);
  TFormatSettings german = FormatSettings();
  german.LongDayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
  german.LongMonthNames[11] = "Dezember";
  german.LongDateFormat = "dddd, d. mmmm yyyy";
  struct Reread {
    ~Reread() { entry::DefaultIntlSup().ReadIntlSettings(); }
  } reread;  // after the settings are back
  ScopedFormatSettings settings(german);
  Type("12101815");
  std::string header;
  cal->OnShow = [&](TObject*) {
    const entry::TFkIntlSup& intl = entry::DefaultIntlSup();
    header = intl.DayNumberToText(intl.BuildLongDateMask(cal->Calendar->ShortNames(), false), cal->Calendar->GetDate(), true);
    cal->SetModalResult(mrCancel);
  };
  main->dfTransBtnClick(main->dfTransBtn);
  EXPECT_EQ(header, "Sonntag, 10. Dezember 1815");
  EXPECT_EQ(cal->pbCancel->Caption(), "Abbrechen");
  TBitmap measure;
  measure.Canvas()->Font()->Assign(cal->pbCancel->Font());
  EXPECT_LE(measure.Canvas()->TextWidth("Abbrechen") + 8, cal->pbCancel->Width()) << "the caption fits its button";
  EXPECT_LE(cal->pbCancel->BoundsRect().Right, cal->SpinnerMonth->Left());
  EXPECT_EQ(cal->SpinnerMonth->Hint(), "Monat \xE4ndern");
  EXPECT_EQ(cal->SpinnerYear->Hint(), "Jahr \xE4ndern");
  Type("01021600");
  cal->OnShow = [&](TObject*) { cal->SetModalResult(mrCancel); };
  main->dfTransBtnClick(main->dfTransBtn);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Der Kalender zeigt die Tage vom ", 0), 0u) << boxes[0];
  // Back in English.
  SetUiLanguage(TUiLanguage::English);
  main->dfTransBtnClick(main->dfTransBtn);
  EXPECT_EQ(cal->pbCancel->Caption(), "Cancel");
  EXPECT_EQ(cal->SpinnerYear->Hint(), "Change the year");
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

// Enter closes the about window at once, every time it opens, wherever the focus was left.
TEST_F(CalendarWindowTest, TheAboutWindowClosesOnEnterAtOnce) {
  auto* about = Application()->CreateForm<TAboutBox>();
  const auto show = [&](const std::vector<std::function<void()>>& steps) {
    std::size_t idles = 0;
    Application()->OnIdle = [&](TObject*, bool& done) {
      done = false;
      if (idles < steps.size()) steps[idles]();
      if (++idles == 50) about->SetModalResult(mrCancel);  // the keys did nothing
    };
    const int result = about->ShowModal();
    Application()->OnIdle = nullptr;
    return result;
  };
  EXPECT_EQ(show({[] { InjectKey(VK_RETURN); }}), mrOk) << "the first showing";
  // The user clicks into the text, then closes with the button.
  EXPECT_EQ(show({[&] { InjectClick(about->Description->Handle(), 5, 5); },
                  [&] { EXPECT_TRUE(about->Description->Focused()); },
                  [&] { InjectClick(about->Ok->Handle(), 5, 5); }}),
            mrOk);
  EXPECT_EQ(show({[] { InjectKey(VK_RETURN); }}), mrOk) << "the next showing";
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
