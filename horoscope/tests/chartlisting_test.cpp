#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "horoscope/horoscope.h"
#include "horoscope/tests/fakeephemeris.h"
#include "horoscope/tests/messages.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/formatsettings.h"

namespace tw::horoscope {
namespace {

using testing::ScopedMessages;
using testing::TFakeEphemeris;

const char* const Signs[12] = {"Aries", "Taurus", "Gemini", "Cancer", "Leo", "Virgo",
                               "Libra", "Scorpio", "Sagittarius", "Capricorn", "Aquarius", "Pisces"};

std::vector<std::pair<int, std::string>> EnglishTexts() {
  std::vector<std::pair<int, std::string>> t = {
      {10, "Sun"}, {11, "Moon"}, {12, "Mercury"}, {13, "Venus"}, {14, "Mars"}, {15, "Jupiter"},
      {16, "Saturn"}, {17, "Uranus"}, {18, "Neptune"}, {19, "Pluto"}, {20, "Mean Node"}, {25, "Chiron"},
      {42, "Name"}, {43, "Place"}, {44, "Date"}, {53, "JD (UT)"}, {54, "JD (ET)"}, {55, "LMT"},
      {57, "Sidereal time"}, {58, "UT"}, {62, "Planets"}, {63, "Houses"}, {64, "ASC"}, {65, "MC"},
      {66, "House system %s"}, {67, "Placidus"}, {68, "Koch"}, {69, "Regiomontanus"}, {70, "Campanus"},
      {71, "Vehlow"}, {72, "Equal"}};
  for (int s = 0; s < 12; ++s) t.emplace_back(30 + s, Signs[s]);
  return t;
}

TFormatSettings FixedSettings() {
  TFormatSettings s = DefaultFormatSettings();
  s.ShortDateFormat = "dd.mm.yyyy";
  s.DateSeparator = '.';
  s.LongTimeFormat = "hh:nn:ss";
  s.DecimalSeparator = '.';
  return s;
}

class ListingTest : public ::testing::Test {
 protected:
  ListingTest() : settings_(FixedSettings()), chart(new THoroscope(nullptr)) {
    dir_ = std::filesystem::temp_directory_path() /
           ("tw_listing_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    chart->SetEphemeris(&eph);
    chart->HorName = "Anna Wei\xDF";
    chart->HorState = "Bayern";
    chart->HorPlace = "M\xFCnchen";
    chart->HorPlaceLatitude = 48.1374;
    chart->HorPlaceLongitude = 11.5755;
    chart->HorPlaceZoneHours = 1;
    chart->HorDate = 36526.0;  // 1 January 2000
    chart->HorTime = 0.5;
    chart->HorBodyEnabled[15] = 1;
    eph.julianDay = 2451544.958333333;
    eph.deltaT = 0.00074;
    eph.sidTime = 6.5;
    eph.bodies[0] = {199.90606, 0, 1, 0.98, 0, 0};
    eph.bodies[1] = {133.1673, 0, 1, 13.2, 0, 0};
    eph.bodies[2] = {59.99999, 0, 1, -1.0, 0, 0};  // shown as 0 degrees of the next sign
    eph.bodies[10] = {101.0, 0, 1, -0.05, 0, 0};
    eph.bodies[15] = {151.0, 0, 1, 0.02, 0, 0};
    for (int h = 1; h <= 12; ++h) eph.cusps[h] = 30.0 * (h - 1) + 12.5;
    eph.ascmc = {12.5, 280.25, 0, 190.0, 0, 0, 0, 0, 0, 0};
  }
  ~ListingTest() override {
    delete chart;
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string Path(const char* name) const { return (dir_ / name).string(); }

  // The file's lines; every line must end in CR LF and hold no other line break.
  static std::vector<std::string> Lines(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(bytes.ends_with("\r\n"));
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(bytes.substr(start, end - start));
      EXPECT_EQ(lines.back().find_first_of("\r\n"), std::string::npos) << lines.back();
    }
    return lines;
  }

  std::vector<std::string> CastAndList() {
    chart->Calculate();
    const std::string file = Path("_Radix.TXT");
    chart->WriteChartFile(file);
    return Lines(file);
  }

  ScopedFormatSettings settings_;
  TFakeEphemeris eph;
  THoroscope* chart;

 private:
  std::filesystem::path dir_;
};

TEST_F(ListingTest, TheWholeListing) {
  ScopedMessages texts(EnglishTexts());
  const std::vector<std::string> expected = {
      "Name: Anna Wei\xDF",
      "Place: Bayern, M\xFCnchen  48\xB0 08' N  11\xB0 34' E",
      "Date: 01.01.2000 12:00:00 +/-GMT 1.00",
      " ==> GMT  : 01.01.2000 11:00:00 UT",
      "JD (UT)  2451544.95833333",
      "JD (ET)  2451544.95907333",
      "LMT 01.01.2000 11:46:18",
      "Sidereal time   7.27170000",
      "",
      "Planets",
      "Sun\t 19\xB0 54' 22\"   \tLibra",
      "Moon\t 13\xB0 10' 02\"   \tLeo",
      "Mercury\t  0\xB0 00' 00\" R \tGemini",
      "Venus\t  1\xB0 00' 00\"   \tTaurus",
      "Mars\t 11\xB0 00' 00\"   \tTaurus",
      "Jupiter\t 21\xB0 00' 00\"   \tTaurus",
      "Saturn\t  1\xB0 00' 00\"   \tGemini",
      "Uranus\t 11\xB0 00' 00\"   \tGemini",
      "Neptune\t 21\xB0 00' 00\"   \tGemini",
      "Pluto\t  1\xB0 00' 00\"   \tCancer",
      "Mean Node\t 11\xB0 00' 00\" R \tCancer",
      "Chiron\t  1\xB0 00' 00\"   \tVirgo",
      "",
      "Houses",
      "House system Placidus",
      "ASC\t 12\xB0 30' 00\"\tAries",
      "MC\t 10\xB0 15' 00\"\tCapricorn",
      "Vertex\t 10\xB0 00' 00\"\tLibra",
      "ASC\t 12\xB0 30' 00\"\tAries",
      "2\t 12\xB0 30' 00\"\tTaurus",
      "3\t 12\xB0 30' 00\"\tGemini",
      "4\t 12\xB0 30' 00\"\tCancer",
      "5\t 12\xB0 30' 00\"\tLeo",
      "6\t 12\xB0 30' 00\"\tVirgo",
      "7\t 12\xB0 30' 00\"\tLibra",
      "8\t 12\xB0 30' 00\"\tScorpio",
      "9\t 12\xB0 30' 00\"\tSagittarius",
      "MC\t 12\xB0 30' 00\"\tCapricorn",
      "11\t 12\xB0 30' 00\"\tAquarius",
      "12\t 12\xB0 30' 00\"\tPisces",
  };
  const std::vector<std::string> lines = CastAndList();
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
}

TEST_F(ListingTest, HouseLinesShowTheSignOfTheirOwnCusp) {
  ScopedMessages texts(EnglishTexts());
  // Vehlow: the first cusp lies 15 degrees before the Ascendant, here in another sign.
  chart->HorHaeusersystem = THaeuserSystemTyp::Vehlow;
  eph.ascmc = {100.0, 10.0, 0, 190.0, 0, 0, 0, 0, 0, 0};
  for (int h = 1; h <= 12; ++h) eph.cusps[h] = 85.0 + 30.0 * (h - 1);
  eph.cusps[10] = 355.0;  // a cusp of the tenth house in another sign than the MC
  const auto lines = CastAndList();
  ASSERT_GE(lines.size(), 40u);
  EXPECT_EQ(lines[24], "House system Vehlow");
  EXPECT_EQ(lines[25], "ASC\t 10\xB0 00' 00\"\tCancer");
  EXPECT_EQ(lines[28], "ASC\t 25\xB0 00' 00\"\tGemini");
  EXPECT_EQ(lines[37], "MC\t 25\xB0 00' 00\"\tPisces");
  chart->HorHaeusersystem = THaeuserSystemTyp::Equal;
  EXPECT_EQ(CastAndList().at(24), "Equal");  // no pattern around the name
}

// The listing's dates show the whole year under a short date of two-digit years (the C
// locale's "m/d/yy"): 1815 is not 2015.
TEST_F(ListingTest, DatesShowTheWholeYear) {
  ScopedMessages texts(EnglishTexts());
  TFormatSettings plain = DefaultFormatSettings();
  plain.LongTimeFormat = "hh:nn:ss";
  ScopedFormatSettings settings(plain);
  chart->HorDate = EncodeDate(1815, 12, 10);
  chart->HorTime = 0.5;
  chart->HorPlaceZoneHours = 0;
  const auto lines = CastAndList();
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(lines[2], "Date: 12/10/1815 12:00:00 +/-GMT 0.00");
  EXPECT_EQ(lines[3].substr(0, 24), " ==> GMT  : 12/10/1815 1");
  EXPECT_EQ(lines[6].substr(0, 14), "LMT 12/10/1815");
}

TEST_F(ListingTest, ZoneOffsetsWithTwoDecimals) {
  ScopedMessages texts(EnglishTexts());
  chart->HorPlaceZoneHours = -5;
  auto lines = CastAndList();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[2], "Date: 01.01.2000 12:00:00 +/-GMT -5.00");
  EXPECT_EQ(lines[3], " ==> GMT  : 01.01.2000 17:00:00 UT");
  chart->HorPlaceZoneHours = 10.5;
  chart->HorTime = 0.0;
  lines = CastAndList();
  EXPECT_EQ(lines[2], "Date: 01.01.2000 +/-GMT 10.50");  // midnight shows no time
}

TEST_F(ListingTest, WithoutTextsLabelsAreLeftOutAndRefusedBodiesHaveNoLine) {
  eph.refused = {15, 4};
  const auto lines = CastAndList();
  ASSERT_EQ(lines.size(), 38u);
  EXPECT_EQ(lines[14], "\t 21\xB0 00' 00\"   \t");  // Jupiter follows Venus
  EXPECT_EQ(lines[19], "\t 11\xB0 00' 00\" R \t");  // the node is the last body
  EXPECT_EQ(lines[0], ": Anna Wei\xDF");
  EXPECT_EQ(lines[4], "  2451544.95833333");
  EXPECT_EQ(lines[10], "\t 19\xB0 54' 22\"   \t");
  EXPECT_EQ(lines[22], "");
  EXPECT_EQ(lines[26], "\t 12\xB0 30' 00\"\t");
}

// The runtime's error code of a failed listing, 0 when it was written.
int ErrorCodeOfWriting(const THoroscope& chart, const std::string& file) {
  try {
    chart.WriteChartFile(file);
    return 0;
  } catch (const EInOutError& e) {
    return e.ErrorCode;
  }
}

TEST_F(ListingTest, FileErrorsRaiseInOutError) {
  chart->Calculate();
  EXPECT_EQ(ErrorCodeOfWriting(*chart, Path("no-such-folder/_Radix.TXT")), 3);
  EXPECT_FALSE(std::filesystem::exists(Path("no-such-folder")));
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_EQ(ErrorCodeOfWriting(*chart, "/dev/full"), 101);  // no room on the device
  }
  std::filesystem::create_directory(Path("sub"));
  EXPECT_EQ(ErrorCodeOfWriting(*chart, Path("sub\\_Transit.TXT")), 0);  // a backslash marks a folder
  EXPECT_EQ(Lines(Path("sub/_Transit.TXT")).size(), 40u);
}

TEST_F(ListingTest, ALongerListingOfAnEarlierRunLeavesNothingBehind) {
  chart->Calculate();
  const std::string file = Path("_Radix.TXT");
  {
    std::ofstream old(file, std::ios::binary);
    old << std::string(20000, 'x');
  }
  chart->WriteChartFile(file);
  const std::uintmax_t size = std::filesystem::file_size(file);
  chart->WriteChartFile(file);
  EXPECT_EQ(std::filesystem::file_size(file), size);
  const auto lines = Lines(file);
  EXPECT_EQ(lines.size(), 40u);
  for (const auto& line : lines) EXPECT_EQ(line.find("xxx"), std::string::npos) << line;
}

}  // namespace
}  // namespace tw::horoscope
