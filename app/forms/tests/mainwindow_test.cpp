#include "app/forms/mainwindow.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/forms/calendarwindow.h"
#include "app/forms/richview.h"
#include "app/lib/appsupport.h"
#include "app/lib/singleinstance.h"
#include "app/lib/splash.h"
#include "app/lib/winregistry.h"
#include "app/forms/tests/appforms_test_util.h"
#include "platform/classes/stringlist.h"
#include "platform/forms/dialogs/commondialogs.h"
#include "platform/forms/dialogs/dialoghelp.h"
#include "platform/gfx/font.h"
#include "platform/sys/singleinstance.h"
#include "richtext/controls/pageprop.h"
#include "richtext/controls/richtext.h"
#include "entry/date/dayarith.h"
#include "entry/fkcalendar.h"
#include "entry/fkpicturefield.h"
#include "entry/fksimplefield.h"
#include "horoscope/chartglobals.h"
#include "horoscope/horoscope.h"
#include "platform/forms/comctrls/comctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/forms/timer.h"
#include "platform/win/display.h"
#include "platform/win/winapi.h"
#include "toolbars/dock.h"
#include "toolbars/toolbar.h"
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
  void MakePerson(int n, const std::string& name) { EnterPerson(*options, n, name); }
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
  EXPECT_EQ(main->rtext->ScrollBars(), TScrollStyle::ssBoth) << "the long list scrolls";
  EXPECT_FALSE(main->rtext->WantTabs);
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

TEST_F(MainWindowTest, TheTransitChartReadsTheComputersClockWithSummerTime) {
  const char* old = std::getenv("TZ");
  const std::string saved = old != nullptr ? old : "";
  setenv("TZ", "Europe/Berlin", 1);
  MakePerson(1, "Bob Stone");
  main->dfTransDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(2030, 7, 2)));
  main->dfTransDateExit(main->dfTransDate);
  EXPECT_EQ(main->TransitHoroscope->HorSummertimeCode, horoscope::TSummerTimeType::tzSummertime);
  EXPECT_DOUBLE_EQ(main->TransitHoroscope->HorPlaceZoneHours, 1.0);
  main->dfTransDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(2030, 1, 2)));
  main->dfTransDateExit(main->dfTransDate);
  EXPECT_EQ(main->TransitHoroscope->HorSummertimeCode, horoscope::TSummerTimeType::tzNormal);
  EXPECT_DOUBLE_EQ(main->TransitHoroscope->HorPlaceZoneHours, 1.0);
  if (old != nullptr) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
}

// The transit chart is cast for the instant the computer's clock gives: in both showings of the
// hour Berlin's clocks show twice (02:00 to 03:00 on the last Sunday of October), and on either
// side of the hour they skip.  On another day such an hour is read in the showing the clock is in.
TEST_F(MainWindowTest, TheTransitChartIsCastForTheInstantTheClockGivesInBothShowingsOfAnHour) {
  const char* old = std::getenv("TZ");
  const std::string saved = old != nullptr ? old : "";
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  MakePerson(1, "Bob Stone");
  const auto utc = [](int y, int mo, int d, int h, int mi) { return EncodeDate(y, mo, d) + EncodeTime(h, mi, 0, 0); };
  struct Case {
    TDateTime instant;  // universal time
    TDateTime day;      // the transit date in the field
    const char* shown;  // the time of day the title shows
  } cases[] = {
      {utc(2026, 10, 25, 0, 30), EncodeDate(2026, 10, 25), "02:30"},  // first showing, summer time
      {utc(2026, 10, 25, 1, 30), EncodeDate(2026, 10, 25), "02:30"},  // second showing
      {utc(2026, 3, 29, 0, 59), EncodeDate(2026, 3, 29), "01:59"},    // before the skipped hour
      {utc(2026, 3, 29, 1, 0), EncodeDate(2026, 3, 29), "03:00"},     // after it
      {utc(2025, 10, 26, 1, 30), EncodeDate(2026, 10, 25), "02:30"},  // the second showing a year on
      {utc(2025, 10, 26, 0, 30), EncodeDate(2026, 10, 25), "02:30"},  // the first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(FormatDateTime("yyyy-mm-dd hh:nn 'UT'", c.instant));
    SetInstantClock([&c] { return DateTimeToUnix(c.instant) * 1000; });
    main->dfTransDate->SetAsDayNumber(entry::DateTimeToDayNumber(c.day));
    main->LastTransitDate = 0.0;
    main->dfTransDateExit(main->dfTransDate);
    const horoscope::THoroscope& transit = *main->TransitHoroscope;
    EXPECT_EQ(FormatDateTime("hh:nn", transit.HorTime), c.shown);
    // On the clock's own day the instant itself; a year on, the same showing of the same reading.
    EXPECT_NEAR(transit.HorBirthDateTimeGMT, c.instant + (c.day - DateOf(c.instant)), 0.5 / 86400);
  }
  SetClock(nullptr);
  if (old != nullptr) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
  tzset();
}

// A machine whose $TZ holds the rule of New York's clocks rather than the zone's name gets the
// same transit chart as one that names the zone, in summer and in winter.
TEST_F(MainWindowTest, TheMachinesZoneGivenAsARuleGivesTheSameTransitChart) {
  const char* old = std::getenv("TZ");
  const std::string saved = old != nullptr ? old : "";
  SetClock([] { return EncodeDate(2026, 5, 20) + 15.5 / 24; });
  MakePerson(1, "Bob Stone");
  for (const TDateTime day : {EncodeDate(2026, 7, 2), EncodeDate(2026, 1, 15)}) {
    SCOPED_TRACE(day);
    std::vector<horoscope::TChartLongitudes> charts;
    std::vector<TDateTime> universal;
    for (const char* tz : {"America/New_York", "EST5EDT,M3.2.0,M11.1.0"}) {
      setenv("TZ", tz, 1);
      main->dfTransDate->SetAsDayNumber(entry::DateTimeToDayNumber(day));
      main->LastTransitDate = 0.0;
      main->dfTransDateExit(main->dfTransDate);
      EXPECT_DOUBLE_EQ(main->TransitHoroscope->HorPlaceZoneHours, -5.0) << tz;
      charts.push_back(main->TransitHoroscope->HorLongitude);
      universal.push_back(main->TransitHoroscope->HorBirthDateTimeGMT);
    }
    EXPECT_EQ(charts[0], charts[1]);
    EXPECT_DOUBLE_EQ(universal[0], universal[1]);
    EXPECT_NEAR(universal[0], day + (day == EncodeDate(2026, 7, 2) ? 19.5 : 20.5) / 24, 1e-7);
  }
  SetClock(nullptr);
  if (old != nullptr) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
}

// The birth time is what the clocks of the person's zone showed: the chart is cast at the
// zone's offset then, daylight saving counted; what is stored stays as entered.
TEST_F(MainWindowTest, TheBirthChartIsCastAtTheZonesClockOfTheBirthMoment) {
  struct Birth {
    const char* date;
    const char* time;
    const char* zone;
    TDateTime universal;
  };
  const Birth births[] = {
      {"1990-07-01", "12:00", "Europe/Berlin", EncodeDate(1990, 7, 1) + 10.0 / 24},
      {"1990-01-15", "12:00", "Europe/Berlin", EncodeDate(1990, 1, 15) + 11.0 / 24},
      {"2001-09-11", "08:00", "America/New_York", EncodeDate(2001, 9, 11) + 12.0 / 24},
      // Kiritimati kept -10 h until it moved to +14 h at the end of 1994.
      {"1990-06-01", "12:00", "Pacific/Kiritimati", EncodeDate(1990, 6, 1) + 22.0 / 24},
  };
  for (const Birth& birth : births) {
    SCOPED_TRACE(std::string(birth.zone) + " " + birth.date);
    options->WriteString("dfPers1", "Bob Stone");
    options->WriteString("dfDate1", birth.date);
    options->WriteString("dfTime1", birth.time);
    options->WriteString("cmbTimeZone1", birth.zone);
    options->SelectPerson(1);
    ASSERT_EQ(options->SelectedZone(), birth.zone);
    const int before = main->ListsStarted;
    main->pbPersClick(main->pbPers1);
    ASSERT_EQ(main->ListsStarted, before + 1);
    EXPECT_NEAR(main->RadixHoroscope->HorBirthDateTimeGMT, birth.universal, 1e-7);
    EXPECT_EQ(options->ReadString("dfDate1", ""), birth.date);
    EXPECT_EQ(options->ReadString("dfTime1", ""), birth.time);
  }
}

TEST_F(MainWindowTest, TheCalendarButtonOpensOnTheTransitDateAndAPickedDayRecalculates) {
  MakePerson(1, "Bob Stone");
  auto* cal = Application()->CreateForm<TfrmCal>();
  main->Show();
  main->dfTransDate->SetAsDayNumber(entry::DateTimeToDayNumber(EncodeDate(2031, 3, 4)));
  main->dfTransDateEnter(main->dfTransDate);
  entry::DayNumber shown = -1;
  cal->OnShow = [&](TObject*) {
    shown = cal->Calendar->GetDate();
    cal->Calendar->SetDate(entry::DateTimeToDayNumber(EncodeDate(2031, 3, 9)));
    cal->SetModalResult(mrOk);
  };
  const int before = main->ListsStarted;
  main->dfTransBtnClick(main->dfTransBtn);
  EXPECT_EQ(shown, entry::DateTimeToDayNumber(EncodeDate(2031, 3, 4))) << "even the first pop-up shows the field's day";
  EXPECT_EQ(main->dfTransDate->GetAsDayNumber(), entry::DateTimeToDayNumber(EncodeDate(2031, 3, 9)));
  EXPECT_EQ(main->ListsStarted, before + 1);
  EXPECT_DOUBLE_EQ(main->TransitHoroscope->HorDate, EncodeDate(2031, 3, 9));
  const TPoint corner = main->dfTransBtn->ClientToScreen(Point(main->dfTransBtn->Width(), main->dfTransBtn->Height()));
  EXPECT_EQ(cal->Left() + cal->Width() / 2, corner.X) << "centred on the button's right edge";
  EXPECT_EQ(cal->Top(), corner.Y);
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

TEST_F(MainWindowTest, AListMadeAgainKeepsTheKeyboardWhereTheUserLeftIt) {
  MakePerson(1, "Bob Stone");
  main->Show();
  Pump();
  main->rtext->SetFocus();
  ASSERT_TRUE(main->rtext->Focused());
  main->TimerRecalcTimer(main->TimerRecalc);
  EXPECT_TRUE(main->rtext->Focused()) << "the list the user was reading keeps the keyboard";

  // Made while another window is active: the list is the control the window comes back to.
  options->Show();
  Pump();
  main->TimerRecalcTimer(main->TimerRecalc);
  EXPECT_EQ(main->ActiveControl(), main->rtext);

  // A list made from the date field leaves the keyboard there.
  options->Hide();
  main->dfTransDate->SetFocus();
  main->TimerRecalcTimer(main->TimerRecalc);
  EXPECT_TRUE(main->dfTransDate->Focused());
}

// The list has the keyboard when the window shows (maximised too): Down scrolls it and leaves
// the transit date alone.  After the options window and the page setup it has it again.
TEST_F(MainWindowTest, TheListHasTheKeyboardAtTheStartAndAfterEveryDialog) {
  MakePerson(1, "Bob Stone");
  main->SetWindowState(TWindowState::wsMaximized);
  main->Show();
  Pump();
  const entry::DayNumber day = main->dfTransDate->GetAsDayNumber();
  InjectKey(VK_DOWN, kNoCharacter);
  Pump();
  EXPECT_EQ(main->dfTransDate->GetAsDayNumber(), day) << "Down changed the transit date";
  options->OnShow = [&](TObject*) { options->SetModalResult(mrOk); };
  main->mnuOptionsClick(nullptr);
  EXPECT_TRUE(main->rtext->Focused()) << "after the options window";
  Application()->OnIdle = [&](TObject*, bool& done) {
    if (auto* page = main->RiPagePropDlg1->Window()) page->SetModalResult(mrCancel);
    done = false;
  };
  main->mnuPageSetupClick(nullptr);
  Application()->OnIdle = nullptr;
  EXPECT_TRUE(main->rtext->Focused()) << "after the page setup";
}

TEST_F(MainWindowTest, TheSplashPictureShowsUntilTheWindowIsShown) {
  ASSERT_NE(main->SplashScreen1, nullptr);
  EXPECT_TRUE(main->SplashScreen1->Showing()) << "shown once the window's components are read";
  EXPECT_FALSE(main->SplashScreen1->TimedShow()) << "the window hides it, no timer";
  EXPECT_FALSE(main->SplashScreen1->SplashBitmap()->Empty());
  EXPECT_FALSE(main->SplashScreen1->SplashBitmap256Colour()->Empty());
  main->FormShow(main);
  EXPECT_FALSE(main->SplashScreen1->Showing());
}

TEST_F(MainWindowTest, ASettingsFolderThatCannotBeWrittenIsToldOnceInTheProgramsLanguage) {
  // The windows were made on a store that took their first values; from here on a plain file
  // stands where the settings folder should be, so nothing can be written.
  std::fclose(std::fopen((folder / "blocker").c_str(), "w"));
  SetSettingsStorePath((folder / "blocker" / "tidewell" / "registry.ini").string());
  TStringList german;
  german.AddObject("Einstellungen in %s nicht speicherbar", MsgSettingsNotSaved);
  horoscope::MessageList = &german;
  boxes.clear();
  main->Show();
  Pump();
  options->Show();
  Pump();
  options->dfPers->SetFocus();
  for (char c : std::string("Anna")) InjectKey(static_cast<UINT>(std::toupper(c)));
  Pump();
  options->Close();
  Pump();
  ASSERT_EQ(boxes.size(), 1u) << (boxes.empty() ? std::string() : boxes.back());
  EXPECT_EQ(boxes[0], "Einstellungen in " + (folder / "blocker" / "tidewell").string() + "/ nicht speicherbar");
  // Exit stores window places and toolbars: nothing more is said.
  main->pbExitClick(main);
  DoneApplication();
  horoscope::MessageList = nullptr;
  EXPECT_EQ(boxes.size(), 1u) << boxes.back();
}

TEST_F(MainWindowTest, ToolbarPlacesAreKeptFromOneRunToTheNext) {
  ASSERT_EQ(main->ToolbarX->DockedTo(), main->DockTop) << "the designed place";
  main->ToolbarX->SetDockedTo(main->DockBottom);
  main->ToolbarTime->SetDockedTo(nullptr);  // floats
  ASSERT_EQ(main->ToolbarTime->DockedTo(), nullptr);
  main->Free();
  TWinRegistry store(SettingsKey());
  EXPECT_EQ(store.ReadString("ToolbarX", "DockedTo", ""), "DockBottom");
  EXPECT_EQ(store.ReadString("ToolbarTime", "DockedTo", ""), "nil");

  main = Application()->CreateForm<TfrmMain>();
  EXPECT_EQ(main->ToolbarX->DockedTo(), main->DockBottom);
  EXPECT_EQ(main->ToolbarTime->DockedTo(), nullptr);
  main->ToolbarTime->SetDockedTo(main->DockTop);
  main->Free();
  main = Application()->CreateForm<TfrmMain>();
  EXPECT_EQ(main->ToolbarTime->DockedTo(), main->DockTop);
}

TEST_F(MainWindowTest, TheWindowsGuardTakesOverTheEarlyOneAndAnswersASecondStart) {
  ASSERT_NE(main->SingleInstance1, nullptr) << "made from the window's description";
  EXPECT_EQ(main->SingleInstance1->Owner(), main);
  EXPECT_TRUE(main->SingleInstance1->IsFirstInstance());
  main->Free();
  // As the program starts: the guard first, then the window, whose component takes it over.
  ASSERT_TRUE(TSingleInstance::AcquireEarly(Application()->Name()));
  main = Application()->CreateForm<TfrmMain>();
  EXPECT_TRUE(main->SingleInstance1->IsFirstInstance());
  SingleInstance newcomer(Application()->Name(), guardFolder, DisplayServerName());
  EXPECT_EQ(newcomer.Acquire({"tidewell"}, nullptr), SingleInstance::Role::Secondary);
  Pump();
  EXPECT_TRUE(main->Visible()) << "a second start brings the window up";
  EXPECT_FALSE(Application()->Terminated());
}

TEST_F(MainWindowTest, AMissingEphemerisIsReportedAndTheWindowIsMadeAnyway) {
  EXPECT_TRUE(boxes.empty()) << "the linked library answers";
  main->Free();
  SetEphemerisProbe([] { return false; });
  main = Application()->CreateForm<TfrmMain>();
  SetEphemerisProbe(nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "swedll32.dll not found!");
  EXPECT_NE(main->rtext, nullptr);
}

TEST(LanguageCodes, DeutschIsGermanEverythingElseEnglish) {
  EXPECT_EQ(LanguageCodeFor("Deutsch"), "DEU");
  EXPECT_EQ(LanguageCodeFor("English"), "ENG");
  EXPECT_EQ(LanguageCodeFor("deutsch"), "ENG");
  EXPECT_EQ(LanguageCodeFor("Svenska"), "ENG");
  EXPECT_EQ(HelpFileFor("DEU"), "TW_DEU.HLP");
}

// The rich-text view of the list: attribute records from the three fonts, link runs with their
// hidden help numbers, links that open help, and printing.
class RichViewTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    messages = std::make_unique<TStringList>();
    messages->AddObject("Sun", std::intptr_t{10});
    messages->AddObject("Moon", std::intptr_t{11});
    messages->AddObject("trine", std::intptr_t{84});
    messages->AddObject("Transit", std::intptr_t{102});
    messages->AddObject("Radix", std::intptr_t{103});
    horoscope::MessageList = messages.get();
  }
  void TearDown() override {
    horoscope::MessageList = nullptr;
    SetOnHelp(nullptr);
    MainWindowTest::TearDown();
  }
  std::unique_ptr<TStringList> messages;
};

TEST_F(RichViewTest, LinkAndNumberRecordsFollowTheTitleFont) {
  ASSERT_NE(main->rtext, nullptr);
  TRichTransitView view(main->rtext);
  TFont header, title, text;
  header.SetName("Arial");
  header.SetSize(14);
  header.SetStyle(TFontStyles{TFontStyle::fsBold});
  title.SetName("Times New Roman");
  title.SetSize(12);
  title.SetStyle(TFontStyles{TFontStyle::fsItalic});
  text.SetName("Arial");
  text.SetSize(9);
  view.Begin();
  view.SetFonts(&header, &title, &text);
  const richtext::TAttr& t = view.Attr(TTransitAttr::Title);
  EXPECT_EQ(t.Size, 12);
  EXPECT_EQ(view.Attr(TTransitAttr::Header).Size, 14);
  EXPECT_EQ(view.Attr(TTransitAttr::Text).Size, 9);
  EXPECT_NE(view.Attr(TTransitAttr::Header).Font, t.Font) << "each font gets its own number";
  EXPECT_EQ(view.Attr(TTransitAttr::Header).Font, view.Attr(TTransitAttr::Text).Font);

  const richtext::TAttr& link = view.Attr(TTransitAttr::Link);
  EXPECT_EQ(link.Style, t.Style | richtext::fsLink);
  EXPECT_EQ(link.Font, t.Font);
  EXPECT_EQ(link.Extra & richtext::fxHidden, 0);
  const richtext::TAttr& number = view.Attr(TTransitAttr::Number);
  EXPECT_EQ(number.Style, t.Style) << "the hidden number is no link";
  EXPECT_NE(number.Extra & richtext::fxHidden, 0);
  EXPECT_EQ(number.Size, t.Size);
}

TEST_F(RichViewTest, HeadingsGoIntoTheViewAndAreShownReadOnly) {
  TRichTransitView& view = static_cast<TRichTransitView&>(main->View());
  view.Begin();
  view.SetFonts(nullptr, nullptr, nullptr);
  EXPECT_FALSE(main->rtext->ReadOnly()) << "the view takes text while a list is written";
  EXPECT_FALSE(main->rtext->Visible());
  struct TOneText : ITransitTexts {
    bool FindText(const std::string&, int, int, int, std::string&) override { return false; }
  } texts;
  TTransitListWriter writer(texts, view);
  writer.WriteAspectHeading(0, 4, 1);
  writer.WriteTextBlock("Harmony of heart and will.\r");
  view.End();
  EXPECT_TRUE(main->rtext->ReadOnly());
  EXPECT_TRUE(main->rtext->Visible());
  const std::string shown = main->rtext->Text();
  EXPECT_NE(shown.find("Transit Sun"), std::string::npos) << shown;
  EXPECT_NE(shown.find("trine"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Radix Moon"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Harmony of heart and will."), std::string::npos) << shown;

  main->rtext->InputString("typed");
  EXPECT_EQ(main->rtext->Text(), shown) << "the finished list cannot be typed into";
}

TEST_F(RichViewTest, TheMouseWheelScrollsTheShownList) {
  main->Show();
  ShowPlainList(main, 200);
  Application()->ProcessMessages();
  ASSERT_TRUE(main->rtext->Visible());
  ASSERT_EQ(main->rtext->RtfText()->VertOffset(), 0);
  ASSERT_GT(main->rtext->RtfText()->DocumentHeight, main->rtext->ClientHeight());
  // The wheel over the view scrolls it, wherever the keyboard focus is.
  TPoint p{main->rtext->ClientWidth() / 2, main->rtext->ClientHeight() / 2};
  ClientToScreen(main->rtext->Handle(), &p);
  InjectMouseWheel(p.X, p.Y, -WHEEL_DELTA);
  Application()->ProcessMessages();
  const int down = main->rtext->RtfText()->VertOffset();
  EXPECT_GT(down, 0);
  InjectMouseWheel(p.X, p.Y, WHEEL_DELTA);
  Application()->ProcessMessages();
  EXPECT_LT(main->rtext->RtfText()->VertOffset(), down);
  EXPECT_EQ(main->rtext->Text().substr(0, 6), "Line 0") << "the read-only list is unchanged";
}

// The pixels of the view's place in the window's backing store.
std::string PixelsOfThePlace(TfrmMain* main) {
  cairo_surface_t* surface = WindowSurface(main->Handle());
  cairo_surface_flush(surface);
  RECT top{}, view{};
  GetWindowRect(main->Handle(), &top);
  GetWindowRect(main->rtext->Handle(), &view);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  std::string out;
  for (int y = view.Top; y < view.Bottom; ++y)
    out.append(reinterpret_cast<const char*>(data) + static_cast<std::ptrdiff_t>(y - top.Top) * stride +
                   (view.Left - top.Left) * 4,
               static_cast<std::size_t>(view.Width()) * 4);
  return out;
}

// While a list is written the form does not paint the hidden view's place (the list covers it
// again before the screen is brought up to date); the list shown then looks as the whole
// window painted anew, also when the window grew meanwhile.
TEST_F(RichViewTest, TheHiddenListsPlaceIsNotPaintedAndTheShownListIsAsPaintedAnew) {
  main->Show();
  ShowPlainList(main, 60);
  Application()->ProcessMessages();
  auto& view = static_cast<TRichTransitView&>(main->View());
  const auto repaintedWhole = [&] {
    RedrawWindow(main->Handle(), nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return PixelsOfThePlace(main);
  };
  const auto writeList = [&](const std::string& first) {
    view.SetFonts(nullptr, nullptr, nullptr);
    view.InputString(first + "\r");
    for (int i = 0; i < 30; ++i) view.InputString("Entry " + std::to_string(i) + " of the new list.\r");
    view.End();
    Application()->ProcessMessages();
  };

  const std::string before = PixelsOfThePlace(main);
  view.Begin();
  Application()->ProcessMessages();  // as between the entries
  EXPECT_TRUE(PixelsOfThePlace(main) == before) << "the form painted the hidden view's place";
  writeList("A new list");
  std::string shown = PixelsOfThePlace(main);
  EXPECT_FALSE(shown == before);
  EXPECT_TRUE(repaintedWhole() == shown);

  view.Begin();
  Application()->ProcessMessages();
  main->SetBounds(main->Left(), main->Top(), main->Width() + 90, main->Height() + 70);
  Application()->ProcessMessages();
  writeList("A list in a bigger window");
  shown = PixelsOfThePlace(main);
  EXPECT_TRUE(repaintedWhole() == shown);
}

TEST_F(RichViewTest, LinkClicksOpenHelpAtTheHiddenNumber) {
  Application()->SetHelpFile("TW_ENG.hlp");
  std::vector<std::uint32_t> contexts;
  SetOnHelp([&](unsigned, std::uint32_t data, bool& callHelp) {
    contexts.push_back(data);
    callHelp = false;
    return true;
  });
  ASSERT_TRUE(main->rtext->HyperLinkEvent) << "the view's links reach the window";
  main->rtext->HyperLinkEvent(main->rtext, "Transit Sun", "20000", 0);
  main->rtext->HyperLinkEvent(main->rtext, "trine", " 22004 ", 0);
  main->rtext->HyperLinkEvent(main->rtext, "odd", "x", 0);
  EXPECT_EQ(contexts, (std::vector<std::uint32_t>{20000, 22004, 1}));
  EXPECT_EQ(main->rtext->HyperLinkCursor, crHelp);
  EXPECT_TRUE(main->rtext->OneClickHyperlink);
}

TEST_F(RichViewTest, PrintWritesTheListToThePrinter) {
  const std::string pdf = (folder / "list.pdf").string();
  ::setenv("TIDEWELL_PRINT_TO", pdf.c_str(), 1);
  TRichTransitView& view = static_cast<TRichTransitView&>(main->View());
  view.Begin();
  view.SetFonts(nullptr, nullptr, nullptr);
  view.SetCurrentAttr(TTransitAttr::Text);
  WriteInPieces(view, std::string(40, 'x') + "\r" + "A printed line.\r");
  view.End();
  main->pbPrintClick(main->pbPrint);
  ::unsetenv("TIDEWELL_PRINT_TO");
  ASSERT_TRUE(std::filesystem::exists(pdf));
  std::ifstream in(pdf, std::ios::binary);
  std::string head(4, '\0');
  in.read(head.data(), 4);
  EXPECT_EQ(head, "%PDF");
}

TEST_F(RichViewTest, TheStoredPageSetupIsPutOnTheViewWhenShown) {
  SavePageSetup(main, TPageSetup{1000, 900, 720, 700, 11906, 16838});
  main->FormShow(main);
  const auto& header = main->rtext->GetHeader();
  EXPECT_EQ(header.Layout.LeftMargin, 1000);
  EXPECT_EQ(header.Layout.RightMargin, 900);
  EXPECT_EQ(header.Layout.TopMargin, 720);
  EXPECT_EQ(header.Layout.BottomMargin, 700);
  EXPECT_EQ(header.Layout.PageWidth, 11906);
  EXPECT_EQ(header.Layout.PageHeight, 16838);
  EXPECT_TRUE(main->rtext->ReadOnly()) << "the welcome text stays read-only";

  // A page whose margins leave nothing to print is never put on the view.
  SavePageSetup(main, TPageSetup{9000, 9000, 720, 700, 11906, 16838});
  main->FormShow(main);
  EXPECT_NE(main->rtext->GetHeader().Layout.LeftMargin, 9000);
  EXPECT_LT(main->rtext->GetHeader().Layout.LeftMargin + main->rtext->GetHeader().Layout.RightMargin,
            main->rtext->GetHeader().Layout.PageWidth);
}

}  // namespace
}  // namespace tw::app::test
