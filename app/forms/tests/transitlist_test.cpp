#include "app/forms/transitlist.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "horoscope/chartglobals.h"
#include "horoscope/chartmath.h"
#include "horoscope/horoscope.h"
#include "horoscope/tests/fakeephemeris.h"
#include "platform/classes/stringlist.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/formatsettings.h"
#include "platform/sys/timezones.h"

namespace tw::app {
namespace {

using horoscope::THoroscope;

struct FakeTexts : ITransitTexts {
  std::map<std::tuple<std::string, int, int, int>, std::string> Rows;
  std::vector<std::tuple<std::string, int, int, int>> Asked;
  bool FindText(const std::string& lang, int i, int j, int a, std::string& text) override {
    Asked.emplace_back(lang, i, j, a);
    const auto it = Rows.find({lang, i, j, a});
    if (it == Rows.end()) return false;
    text = it->second;
    return true;
  }
};

struct Piece {
  TTransitAttr Attr;
  std::string Text;
  bool operator==(const Piece&) const = default;
};

struct FakeView : ITransitView {
  TTransitAttr Current = TTransitAttr::Header;
  std::vector<Piece> Pieces;
  void SetCurrentAttr(TTransitAttr attr) override { Current = attr; }
  void InputString(const std::string& text) override { Pieces.push_back({Current, text}); }
  std::string All() const {
    std::string s;
    for (const auto& p : Pieces) s += p.Text;
    return s;
  }
};

class TransitListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    horoscope::InitAspectSettings();
    messages_ = std::make_unique<TStringList>();
    Msg(94, "Person:");
    Msg(95, "Born %s %s in %s");
    Msg(96, "Transits %s %s");
    Msg(100, "End.");
    Msg(102, "Transit");
    Msg(103, "to radix");
    Msg(105, "Radix without %s");
    Msg(106, "Transit without %s");
    for (int b = 0; b < 16; ++b) Msg(10 + b, "B" + std::to_string(b));
    for (int a = 1; a <= 7; ++a) Msg(80 + a, "Asp" + std::to_string(a));
    horoscope::MessageList = messages_.get();
    horoscope::LanguageCode = "ENG";

    transit_ = std::make_unique<THoroscope>(nullptr);
    radix_ = std::make_unique<THoroscope>(nullptr);
    transit_->HorBodyEnabled.fill(0);
    radix_->HorBodyEnabled.fill(0);
    transit_->HorLongitude.fill(333.0);
    radix_->HorLongitude.fill(250.0);
    transit_->HorBodyEnabled[0] = 1;
    transit_->HorLongitude[0] = 10.0;
    // Radix bodies 1..4: square, opposition, conjunction, no aspect to transit body 0.
    for (int j = 1; j <= 4; ++j) radix_->HorBodyEnabled[j] = 1;
    radix_->HorLongitude[1] = 100.0;
    radix_->HorLongitude[2] = 190.0;
    radix_->HorLongitude[3] = 10.5;
    radix_->HorLongitude[4] = 57.0;
    radix_->HorName = "Ann";
    radix_->HorPlace = "Lyon";
  }
  void TearDown() override { horoscope::MessageList = nullptr; }

  void Msg(int nr, const std::string& text) { messages_->AddObject(text, std::intptr_t{nr}); }
  void Row(int i, int j, int a, const std::string& text) { texts_.Rows[{"ENG", i, j, a}] = text; }

  std::vector<std::string> EntryTexts() const {
    // An entry's text is the piece that follows the line end of its heading.
    std::vector<std::string> out;
    for (std::size_t k = 1; k < view_.Pieces.size(); ++k)
      if (view_.Pieces[k].Attr == TTransitAttr::Text && view_.Pieces[k - 1] == Piece{TTransitAttr::Title, "\r"})
        out.push_back(view_.Pieces[k].Text);
    return out;
  }
  std::vector<std::string> HiddenNumbers() const {
    std::vector<std::string> out;
    for (const auto& p : view_.Pieces)
      if (p.Attr == TTransitAttr::Number) out.push_back(p.Text);
    return out;
  }

  std::unique_ptr<TStringList> messages_;
  std::unique_ptr<THoroscope> transit_, radix_;
  FakeTexts texts_;
  FakeView view_;
  TTransitListWriter writer_{texts_, view_};
};

TEST(TransitReference, AnglesMapToAspectNumbers) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"@0", 1},  {"@30", 6}, {"@60", 5},   {"@90", 3},     {"@120", 4},
      {"@150", 7}, {"@180", 2}, {"@", 1},   {"@45", 0},     {"@90 and more", 3},
      {"@00090", 3}, {"@99999999999999999999999999999090", 0}};
  for (const auto& [text, aspect] : cases) {
    const auto r = ReferredAspect(text);
    ASSERT_TRUE(r.has_value()) << text;
    EXPECT_EQ(*r, aspect) << text;
  }
  EXPECT_FALSE(ReferredAspect("").has_value());
  EXPECT_FALSE(ReferredAspect("Plain text @90").has_value());
  EXPECT_FALSE(ReferredAspect(" @90").has_value());
}

TEST(TransitPieces, LongTextsGoInPiecesOfAtMost250) {
  FakeView view;
  view.Current = TTransitAttr::Text;
  WriteInPieces(view, std::string(600, 'x'));
  ASSERT_EQ(view.Pieces.size(), 3u);
  EXPECT_EQ(view.Pieces[0].Text.size(), 250u);
  EXPECT_EQ(view.Pieces[1].Text.size(), 250u);
  EXPECT_EQ(view.Pieces[2].Text.size(), 100u);
  EXPECT_EQ(view.Pieces[2].Attr, TTransitAttr::Text);
  FakeView empty;
  WriteInPieces(empty, "");
  EXPECT_TRUE(empty.Pieces.empty());
  FakeView exact;
  WriteInPieces(exact, std::string(250, 'y'));
  EXPECT_EQ(exact.Pieces.size(), 1u);
}

TEST(TransitPieces, PatternThatDoesNotFitGivesThePattern) {
  EXPECT_EQ(FormatMessage("Bad date %s", "31/02"), "Bad date 31/02");
  EXPECT_EQ(FormatMessage("Broken %d", "x"), "Broken %d");
}

TEST_F(TransitListTest, HeadingHasThreeLinkRunsWithHiddenHelpContexts) {
  writer_.WriteAspectHeading(3, 2, 5);
  const std::vector<Piece> expected = {
      {TTransitAttr::Link, "Transit B3"}, {TTransitAttr::Number, "20003"}, {TTransitAttr::Title, " "},
      {TTransitAttr::Link, "Asp2"},       {TTransitAttr::Number, "22002"}, {TTransitAttr::Title, " "},
      {TTransitAttr::Link, "to radix B5"}, {TTransitAttr::Number, "21005"}, {TTransitAttr::Title, "\r"}};
  EXPECT_EQ(view_.Pieces, expected);
}

TEST_F(TransitListTest, CompleteListHasTitleEntriesInBodyOrderAndClosingText) {
  Row(0, 1, 3, "Square text.\r");
  Row(0, 2, 2, "Opposition text.\r");
  Row(0, 3, 1, "Conjunction text.\r");
  Row(0, 4, 0, "never asked for");
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  EXPECT_EQ(writer_.EntryCount(), 3);

  ASSERT_GE(view_.Pieces.size(), 4u);
  EXPECT_EQ(view_.Pieces[0], (Piece{TTransitAttr::Header, "Person: Ann\r"}));
  EXPECT_EQ(view_.Pieces[1].Text.substr(0, 5), "Born ");
  EXPECT_NE(view_.Pieces[1].Text.find(" in Lyon\r"), std::string::npos);
  EXPECT_EQ(view_.Pieces[2].Text.substr(0, 9), "Transits ");
  EXPECT_EQ(view_.Pieces[3], (Piece{TTransitAttr::Header, "\r"}));

  EXPECT_EQ(EntryTexts(),
            (std::vector<std::string>{"Square text.\r", "Opposition text.\r", "Conjunction text.\r"}));
  EXPECT_EQ(HiddenNumbers(), (std::vector<std::string>{"20000", "22003", "21001", "20000", "22002", "21002",
                                                       "20000", "22001", "21003"}));
  EXPECT_EQ(view_.Pieces.back(), (Piece{TTransitAttr::Text, "End."}));
  for (const auto& key : texts_.Asked) {
    EXPECT_EQ(std::get<0>(key), "ENG");
    EXPECT_NE(std::get<2>(key), 4) << "a pair without aspect is not looked up";
  }
}

// A birth chart whose Sun and Pluto the ephemeris refused is still the birth chart: its other
// bodies are compared with the transit bodies, and the refused ones are named in the list.
TEST_F(TransitListTest, BodiesThatCannotBeComputedAreNamedNeverReplaced) {
  horoscope::testing::TFakeEphemeris ephemeris;
  ephemeris.refused = {0, 9};
  for (int b = 0; b <= 15; ++b) ephemeris.bodies[b] = {200.0 + b, 0, 1, 1, 0, 0};
  radix_->SetEphemeris(&ephemeris);
  radix_->HorBodyEnabled.fill(0);
  for (int b = 0; b <= 10; ++b) radix_->HorBodyEnabled[static_cast<std::size_t>(b)] = 1;
  radix_->HorBodyEnabled[15] = 1;
  radix_->Calculate();
  ASSERT_EQ(radix_->HorBodyEnabled[0], 0);
  ASSERT_EQ(radix_->HorLongitude[0], 0.0);
  ASSERT_EQ(radix_->HorLongitude[9], 0.0);
  // Transit Sun and Moon half a degree apart, far from every radix body.
  transit_->HorBodyEnabled[1] = 1;
  transit_->HorLongitude[1] = 10.5;
  for (int j = 0; j <= 15; ++j) Row(0, j, 1, "Transit Sun conjunct radix body " + std::to_string(j) + "\r");
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  EXPECT_TRUE(EntryTexts().empty()) << EntryTexts().front();
  ASSERT_GE(view_.Pieces.size(), 5u);
  EXPECT_EQ(view_.Pieces[3], (Piece{TTransitAttr::Header, "Radix without B0, B9\r"}));
  EXPECT_EQ(view_.Pieces[4], (Piece{TTransitAttr::Header, "\r"}));

  // The same for the transit chart, and for both at once.
  horoscope::testing::TFakeEphemeris late;
  late.refused = {15};
  transit_->SetEphemeris(&late);
  transit_->HorBodyEnabled[15] = 1;
  transit_->Calculate();
  view_.Pieces.clear();
  writer_.Write(*transit_, *radix_);
  ASSERT_GE(view_.Pieces.size(), 6u);
  EXPECT_EQ(view_.Pieces[3].Text, "Radix without B0, B9\r");
  EXPECT_EQ(view_.Pieces[4].Text, "Transit without B15\r");
  EXPECT_EQ(view_.Pieces[5].Text, "\r");
  // A later calculation that computes every body leaves nothing to name.
  ephemeris.refused.clear();
  radix_->HorBodyEnabled[0] = radix_->HorBodyEnabled[9] = 1;
  radix_->Calculate();
  EXPECT_EQ(radix_->HorBodyRefused[0], 0);
  late.refused.clear();
  transit_->HorBodyEnabled[15] = 1;
  transit_->Calculate();
  view_.Pieces.clear();
  writer_.Write(*transit_, *radix_);
  EXPECT_EQ(view_.Pieces[3].Text, "\r");
}

TEST_F(TransitListTest, ReferencesFollowOnceAndSkipSelfOrMissingTargets) {
  Row(0, 1, 3, "@90");                // square refers to itself: no entry
  Row(0, 2, 2, "@0");                 // opposition takes the conjunction text
  Row(0, 2, 1, "@120");               // ...which is taken unchanged, not followed again
  Row(0, 3, 1, "@60");                // sextile text missing: no entry
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  EXPECT_EQ(EntryTexts(), (std::vector<std::string>{"@120"}));
  EXPECT_EQ(HiddenNumbers(), (std::vector<std::string>{"20000", "22002", "21002"}))
      << "the heading names the aspect found, not the referred one";
}

TEST_F(TransitListTest, EmptyAndLongTextsAreWrittenWhole) {
  const std::string longText(3000, 'L');
  Row(0, 1, 3, "");
  Row(0, 2, 2, longText);
  writer_.Write(*transit_, *radix_);
  EXPECT_EQ(EntryTexts(), (std::vector<std::string>{"", longText}));
}

TEST_F(TransitListTest, ClosingTextUsesHeaderAttributesWhenNothingWasListed) {
  Msg(100, "unused");  // the first entry carrying a number wins
  messages_->Clear();
  Msg(100, std::string(600, 'c'));
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  EXPECT_EQ(writer_.EntryCount(), 0);
  ASSERT_EQ(view_.Pieces.size(), 4u + 3u);
  for (std::size_t k = 4; k < 7; ++k) EXPECT_EQ(view_.Pieces[k].Attr, TTransitAttr::Header);
  EXPECT_EQ(view_.Pieces[6].Text.size(), 100u);
}

TEST_F(TransitListTest, DisabledBodiesTakeNoPart) {
  Row(0, 1, 3, "Square");
  Row(0, 2, 2, "Opposition");
  radix_->HorBodyEnabled[1] = 0;
  writer_.Write(*transit_, *radix_);
  EXPECT_EQ(EntryTexts(), (std::vector<std::string>{"Opposition"}));
  transit_->HorBodyEnabled[0] = 0;
  view_.Pieces.clear();
  writer_.Write(*transit_, *radix_);
  EXPECT_TRUE(EntryTexts().empty());
}

TEST_F(TransitListTest, StopFlagEndsTheListWithoutClosingText) {
  Row(0, 1, 3, "Square");
  Row(0, 2, 2, "Opposition");
  bool stop = true;  // a stale flag from before the list is cleared at its start
  writer_.StopFlag = &stop;
  int calls = 0;
  writer_.OnProcessMessages = [&] {
    if (++calls == 2) stop = true;  // Esc pressed while the first entry is shown
  };
  EXPECT_FALSE(writer_.Write(*transit_, *radix_));
  EXPECT_EQ(EntryTexts(), (std::vector<std::string>{"Square"}));
  EXPECT_NE(view_.Pieces.back().Text, "End.");
  EXPECT_TRUE(stop);

  view_.Pieces.clear();
  writer_.OnProcessMessages = nullptr;
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  EXPECT_FALSE(stop);
  EXPECT_EQ(view_.Pieces.back().Text, "End.");
}

TEST_F(TransitListTest, NewerListStartedInsideTakesOverTheView) {
  Row(0, 1, 3, "Square");
  Row(0, 2, 2, "Opposition");
  FakeView innerView;
  TTransitListWriter inner(texts_, innerView);
  bool started = false;
  writer_.OnProcessMessages = [&] {
    if (started) return;
    started = true;
    EXPECT_TRUE(inner.Write(*transit_, *radix_));
  };
  EXPECT_FALSE(writer_.Write(*transit_, *radix_));
  EXPECT_TRUE(EntryTexts().empty()) << "the outer list writes nothing after the newer one began";
  EXPECT_EQ(inner.EntryCount(), 2);
  EXPECT_EQ(innerView.Pieces.back().Text, "End.");
}

TEST_F(TransitListTest, PartsUsedOnTheirOwnWriteAfterAnyEarlierList) {
  Row(0, 1, 3, "Square");
  FakeView otherView;
  TTransitListWriter other(texts_, otherView);
  EXPECT_TRUE(other.Write(*transit_, *radix_));
  writer_.WriteTextBlock("Alone.\r");
  EXPECT_EQ(view_.Pieces, (std::vector<Piece>{{TTransitAttr::Text, "Alone.\r"}}))
      << "a text block outside a list is not taken for an overtaken list";
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  writer_.WriteTextBlock("Again.\r");
  EXPECT_EQ(view_.Pieces.back(), (Piece{TTransitAttr::Text, "Again.\r"}));
}

TEST_F(TransitListTest, TitleDateAndTimeComeFromOneMoment) {
  TFormatSettings fixed = DefaultFormatSettings();
  fixed.ShortDateFormat = "dd.mm.yyyy";
  fixed.DateSeparator = '.';
  fixed.TimeSeparator = ':';
  ScopedFormatSettings settings(fixed);
  radix_->HorDate = 36526.0;  // 1 January 2000
  radix_->HorTime = 14.5 / 24;
  transit_->HorDate = 36526.0;
  transit_->HorTime = 1.0 - 0.0001 / 86400;  // a hair before midnight: shown as the next day
  writer_.WriteTitle(*transit_, *radix_);
  ASSERT_EQ(view_.Pieces.size(), 4u);
  EXPECT_EQ(view_.Pieces[1].Text, "Born 01.01.2000 14:30 in Lyon\r");
  EXPECT_EQ(view_.Pieces[2].Text, "Transits 02.01.2000 00:00\r");
  view_.Pieces.clear();
  radix_->HorDate = -1.0;  // 29 December 1899, before day 0 of the calendar values
  radix_->HorTime = 0.25;
  writer_.WriteTitle(*transit_, *radix_);
  EXPECT_EQ(view_.Pieces[1].Text, "Born 29.12.1899 06:00 in Lyon\r");
}

// Under the class library's defaults ("m/d/yy", the C locale's) the title shows whole years:
// 1815, 1650 and 1600 could not be told from 2015, 2050 and 2099 otherwise.  A person without a
// place of birth gets no dangling "in".
TEST_F(TransitListTest, TitleShowsWholeYearsAndNoWordsForAMissingPlace) {
  ScopedFormatSettings settings(DefaultFormatSettings());
  const std::pair<TDateTime, std::string> births[] = {{EncodeDate(1815, 12, 10), "12/10/1815"},
                                                     {EncodeDate(1650, 3, 1), "3/1/1650"},
                                                     {EncodeDate(1600, 12, 31), "12/31/1600"},
                                                     {EncodeDate(3999, 12, 31), "12/31/3999"}};
  for (const auto& [day, text] : births) {
    view_.Pieces.clear();
    radix_->HorDate = day;
    radix_->HorTime = 0.5;
    transit_->HorDate = day;
    transit_->HorTime = 0.5;
    writer_.WriteTitle(*transit_, *radix_);
    ASSERT_GE(view_.Pieces.size(), 3u);
    EXPECT_EQ(view_.Pieces[1].Text, "Born " + text + " 12:00 in Lyon\r");
    EXPECT_EQ(view_.Pieces[2].Text, "Transits " + text + " 12:00\r");
  }
  for (const std::string place : {"", "  "}) {
    view_.Pieces.clear();
    radix_->HorPlace = place;
    writer_.WriteTitle(*transit_, *radix_);
    EXPECT_EQ(view_.Pieces[1].Text, "Born 12/31/3999 12:00\r");
  }
  EXPECT_EQ(BirthLine("Geboren am %s um %s in %s", "1.2.1900", "10:00", ""), "Geboren am 1.2.1900 um 10:00");
  EXPECT_EQ(BirthLine("Geboren am %s um %s in %s", "1.2.1900", "10:00", "Rom"), "Geboren am 1.2.1900 um 10:00 in Rom");
  EXPECT_EQ(BirthLine("Born %s", "1/2/1900", "10:00", ""), "Born 1/2/1900") << "a pattern of its own stays";
}

// The day number of a date as the class library counts them.
TDateTime Day(int y, int m, int d) { return EncodeDate(y, m, d); }

TEST(ZoneClock, ChartsGetTheInstantTheClocksShowed) {
  auto chart = std::make_unique<THoroscope>(nullptr);
  // Half past midnight of 1 July 2024 in Berlin is 22:30 of 30 June in universal time.
  ASSERT_TRUE(SetChartClock(*chart, Day(2024, 7, 1), 0.5 / 24, "Europe/Berlin"));
  EXPECT_EQ(chart->HorPlaceZoneHours, 1.0);
  EXPECT_EQ(chart->HorPlaceLongitude, 15.0);
  EXPECT_EQ(chart->HorPlaceLatitude, 45.0);
  EXPECT_EQ(chart->HorSummertimeCode, horoscope::TSummerTimeType::tzSummertime);
  chart->Calculate();
  EXPECT_NEAR(chart->HorBirthDateTimeGMT, Day(2024, 6, 30) + 22.5 / 24, 1e-9);
  // Evening in New York in winter is the next day in universal time.
  ASSERT_TRUE(SetChartClock(*chart, Day(2024, 12, 31), 21.0 / 24, "America/New_York"));
  EXPECT_EQ(chart->HorSummertimeCode, horoscope::TSummerTimeType::tzNormal);
  EXPECT_EQ(chart->HorPlaceLongitude, -75.0);
  chart->Calculate();
  EXPECT_NEAR(chart->HorBirthDateTimeGMT, Day(2025, 1, 1) + 2.0 / 24, 1e-9);
  // Two hours of saving: the war-time code; half an hour: added to the zone offset.
  ASSERT_TRUE(SetChartClock(*chart, Day(1941, 6, 15), 0.5, "Europe/London"));
  EXPECT_EQ(chart->HorSummertimeCode, horoscope::TSummerTimeType::tzWartime);
  chart->Calculate();
  EXPECT_NEAR(chart->HorBirthDateTimeGMT, Day(1941, 6, 15) + 10.0 / 24, 1e-9);
  ASSERT_TRUE(SetChartClock(*chart, Day(2024, 1, 15), 0.5, "Australia/Lord_Howe"));
  EXPECT_EQ(chart->HorPlaceZoneHours, 11.0);
  EXPECT_EQ(chart->HorPlaceLongitude, 157.5);
  // Seconds of an offset count: Monrovia kept -0:44:30 until 1972.
  ASSERT_TRUE(SetChartClock(*chart, Day(1950, 5, 1), 0.5, "Africa/Monrovia"));
  chart->Calculate();
  EXPECT_NEAR(chart->HorBirthDateTimeGMT, Day(1950, 5, 1) + (12 * 3600 + 44 * 60 + 30) / 86400.0, 1e-8);
  // An unknown zone changes nothing.
  chart->HorDate = 1.0;
  EXPECT_FALSE(SetChartClock(*chart, Day(2024, 1, 15), 0.5, "No/Such_Zone"));
  EXPECT_EQ(chart->HorDate, 1.0);
}

// The transit chart reads the machine's clock with the machine's zone, however the machine
// names it (a copied zone file in TZ was once read as UTC): the chart's universal time is the
// instant the clock was read at.
TEST(ZoneClock, TheMachinesClockReadsBackToTheInstantInEveryForm) {
  const char* saved = std::getenv("TZ");
  const std::string savedTz = saved != nullptr ? saved : "";
  const std::string copy = std::filesystem::temp_directory_path() / ("tw_zone_" + std::to_string(::getpid()));
  std::filesystem::copy_file("/usr/share/zoneinfo/America/New_York", copy,
                             std::filesystem::copy_options::overwrite_existing);
  auto chart = std::make_unique<THoroscope>(nullptr);
  for (const std::string& tz : {":" + copy, std::string("EST5EDT,M3.2.0,M11.1.0"), std::string(":Europe/Berlin"),
                               std::string("")}) {
    SCOPED_TRACE(tz);
    ::setenv("TZ", tz.c_str(), 1);
    ::tzset();
    // Winter, summer, the hour after each switch, the year 1815 and 2100.
    for (const std::time_t t : {std::time_t{1705320000}, std::time_t{1719835200}, std::time_t{1710054000},
                                std::time_t{1730617200}, std::time_t{-4918204800}, std::time_t{4118083200}}) {
      SCOPED_TRACE(t);
      std::tm local{};
      ASSERT_NE(::localtime_r(&t, &local), nullptr);
      const TDateTime day = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
      const TDateTime time = EncodeTime(local.tm_hour, local.tm_min, local.tm_sec, 0);
      ASSERT_TRUE(SetChartClock(*chart, day, time, LocalTimeZoneName()));
      chart->Calculate();
      EXPECT_NEAR(chart->HorBirthDateTimeGMT, horoscope::ContinuousToDateTime(25569.0 + static_cast<double>(t) / 86400.0), 1e-7);
    }
  }
  if (saved != nullptr) ::setenv("TZ", savedTz.c_str(), 1); else ::unsetenv("TZ");
  ::tzset();
  std::filesystem::remove(copy);
}

// Births far from today still give whole charts: a transit on the birth moment finds every
// body, Chiron included, on its own radix place, and nothing is named as not computed.
TEST_F(TransitListTest, BirthsOfEveryAcceptedCenturyGiveFullListsWithChiron) {
  for (const TDateTime born : {Day(3500, 6, 15), Day(1650, 3, 1)}) {
    SCOPED_TRACE(born);
    for (THoroscope* chart : {radix_.get(), transit_.get()}) {
      chart->HorBodyEnabled.fill(0);
      for (int b = 0; b <= 10; ++b) chart->HorBodyEnabled[static_cast<std::size_t>(b)] = 1;
      chart->HorBodyEnabled[15] = 1;
      ASSERT_TRUE(SetChartClock(*chart, born, 0.5, "Europe/Berlin"));
      chart->Calculate();
      EXPECT_EQ(chart->HorBodyEnabled[15], 1);
      EXPECT_EQ(chart->HorBodyRefused, decltype(chart->HorBodyRefused){});
    }
    texts_.Asked.clear();
    view_.Pieces.clear();
    EXPECT_TRUE(writer_.Write(*transit_, *radix_));
    EXPECT_EQ(view_.Pieces[3], (Piece{TTransitAttr::Header, "\r"}));
    for (int b : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15}) {
      const std::tuple<std::string, int, int, int> self{"ENG", b, b, 1};
      EXPECT_NE(std::find(texts_.Asked.begin(), texts_.Asked.end(), self), texts_.Asked.end()) << b;
    }
  }
}

TEST_F(TransitListTest, RealChartsOneTropicalYearApart) {
  // The radix: the full moon of 25 January 2024, 17:54 UT.  The transit: one tropical year
  // later, when the Sun is back on its radix place, opposite the radix Moon.
  const auto cast = [](THoroscope& chart, double date, double hours) {
    chart.HorBodyEnabled.fill(0);
    for (int b = 0; b <= 10; ++b) chart.HorBodyEnabled[static_cast<std::size_t>(b)] = 1;
    chart.HorBodyEnabled[15] = 1;
    chart.HorDate = date;
    chart.HorTime = hours / 24.0;
    chart.HorPlaceZoneHours = 0;
    chart.HorPlaceLongitude = 0;
    chart.HorPlaceLatitude = 45;
    chart.Calculate();
  };
  cast(*radix_, 45316.0, 17.9);
  cast(*transit_, 45316.0 + 365.0, 17.9 + 0.2422 * 24.0);
  Row(0, 0, 1, "Sun returns.\r");
  Row(0, 1, 2, "Sun opposite the radix Moon.\r");
  EXPECT_TRUE(writer_.Write(*transit_, *radix_));
  EXPECT_EQ(EntryTexts(), (std::vector<std::string>{"Sun returns.\r", "Sun opposite the radix Moon.\r"}));
  EXPECT_EQ(HiddenNumbers(), (std::vector<std::string>{"20000", "22001", "21000", "20000", "22002", "21001"}));
  // Every pair asked about lies within 2 degrees of an aspect.
  for (const auto& [lang, i, j, a] : texts_.Asked) {
    const double d = std::fabs(std::remainder(transit_->HorLongitude[static_cast<std::size_t>(i)] -
                                                  radix_->HorLongitude[static_cast<std::size_t>(j)],
                                              360.0));
    EXPECT_LE(std::fabs(d - horoscope::AspectAngles[static_cast<std::size_t>(a)]), 2.0) << i << " " << j;
  }
}

}  // namespace
}  // namespace tw::app
