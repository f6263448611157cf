#include "horoscope/horoscope.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "horoscope/tests/fakeephemeris.h"
#include "platform/classes/typinfo.h"

namespace tw::horoscope {
namespace {

using testing::TFakeEphemeris;

constexpr double Jan1st2000 = 36526.0;
constexpr double Hour = 1.0 / 24.0;

class ChartTest : public ::testing::Test {
 protected:
  ChartTest() : chart(new THoroscope(nullptr)) { chart->SetEphemeris(&eph); }
  ~ChartTest() override { delete chart; }

  void Cast(double date, double time, double zone = 0, TSummerTimeType code = TSummerTimeType::tzNormal,
            double longitude = 0) {
    chart->HorDate = date;
    chart->HorTime = time;
    chart->HorPlaceZoneHours = zone;
    chart->HorSummertimeCode = code;
    chart->HorPlaceLongitude = longitude;
    chart->Calculate();
  }
  // The universal date and hour the chart asked the Julian day of.
  void ExpectUT(int y, int m, int d, double hour) const {
    const auto& c = eph.julDayCalls.back();
    EXPECT_TRUE(c.year == y && c.month == m && c.day == d) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_NEAR(c.hour, hour, 1e-6);
    EXPECT_EQ(c.gregFlag, 1);
  }

  TFakeEphemeris eph;
  THoroscope* chart;
};

TEST_F(ChartTest, PublishedPropertiesAndCreationByName) {
  const std::vector<std::string> names = {
      "HorEphePath", "HorJPLFile", "HorName", "HorState", "HorPlace", "HorJulianDateUT", "HorJulianDateET",
      "HorSummertimeCode", "HorPlaceLongitude", "HorPlaceLatitude", "HorPlaceZoneHours", "HorSidrealTime",
      "HorGregFlag", "HorDate", "HorTime", "HorBirthDateTimeGMT", "HorBirthDateTimeLocal", "HorHaeusersystem"};
  std::vector<std::string> published;
  for (const TPropInfo* p : GetPropList(THoroscope::StaticClass()))
    if (p->Owner == THoroscope::StaticClass()) published.push_back(p->Name);
  EXPECT_EQ(published, names);

  auto* owner = new TComponent(nullptr);
  auto* h = static_cast<THoroscope*>(CreateComponent("THoroscope", owner));
  ASSERT_TRUE(h->Is<THoroscope>());
  for (int b = 0; b <= MaxFlagBody; ++b) ASSERT_EQ(h->HorBodyEnabled[b], b <= 10 ? 1 : 0) << b;
  EXPECT_EQ(GetEnumProp(h, "HorSummertimeCode"), "tzNormal");
  EXPECT_EQ(GetOrdProp(h, "HorGregFlag"), 1);
  SetEnumProp(h, "HorHaeusersystem", "Regiomontanus");
  SetStrProp(h, "HorEphePath", "ephe");
  EXPECT_EQ(h->HorHaeusersystem, THaeuserSystemTyp::Regiomontanus);
  EXPECT_EQ(h->HorEphePath, "ephe");
  delete owner;  // frees the chart too
}

TEST_F(ChartTest, UniversalTimeFromZoneAndSummerTimeCode) {
  Cast(Jan1st2000, 0.5);
  EXPECT_EQ(chart->HorBirthDateTimeGMT, Jan1st2000 + 0.5);
  ExpectUT(2000, 1, 1, 12.0);
  Cast(Jan1st2000, 0.5, 1, TSummerTimeType::tzSummertime);
  EXPECT_NEAR(chart->HorBirthDateTimeGMT, Jan1st2000 + 10 * Hour, 1e-9);
  Cast(Jan1st2000, 0.5, 1, TSummerTimeType::tzWartime);
  ExpectUT(2000, 1, 1, 9.0);
  Cast(Jan1st2000, 0.5, 1, TSummerTimeType::tzGMT);
  ExpectUT(2000, 1, 1, 11.0);
  Cast(Jan1st2000, 0.5 * Hour, 1);
  ExpectUT(1999, 12, 31, 23.5);
  Cast(Jan1st2000 + 60, 0.5 * Hour, 1);
  ExpectUT(2000, 2, 29, 23.5);
}

TEST_F(ChartTest, MomentsBeforeDayZeroCountContinuously) {
  Cast(-1.0, 0.25);  // 29 December 1899, 06:00
  ExpectUT(1899, 12, 29, 6.0);
  EXPECT_EQ(chart->HorBirthDateTimeGMT, -1.25);  // the class library's reading of that moment
  EXPECT_EQ(ContinuousToDateTime(-1.5), -2.5);
  namespace chr = std::chrono;
  const auto days = (chr::sys_days{chr::year{1000} / chr::March / chr::day{1}} -
                     chr::sys_days{chr::year{1899} / chr::December / chr::day{30}}).count();
  Cast(static_cast<double>(days), 0.75);
  ExpectUT(1000, 3, 1, 18.0);
}

TEST_F(ChartTest, TimesAndTheCallsMade) {
  eph.deltaT = 0.00074;
  chart->HorPlaceLatitude = 45;
  Cast(Jan1st2000, 0.5, 0, TSummerTimeType::tzNormal, 15);
  EXPECT_NEAR(chart->HorBirthDateTimeLocal - chart->HorBirthDateTimeGMT, Hour, 1e-9);
  EXPECT_EQ(chart->HorSidrealTime, eph.sidTime + 1.0);
  EXPECT_EQ(chart->HorJulianDateUT, eph.julianDay);
  EXPECT_EQ(chart->HorJulianDateET, eph.julianDay + 0.00074);
  EXPECT_EQ(eph.deltaTCalls.back(), eph.julianDay);
  EXPECT_EQ(eph.sidTimeCalls.back(), eph.julianDay);
  ASSERT_EQ(eph.calcCalls.size(), 11u);
  for (int b = 0; b <= 10; ++b) {
    EXPECT_EQ(eph.calcCalls[b].body, b);
    EXPECT_EQ(eph.calcCalls[b].flags, 257);
    EXPECT_EQ(eph.calcCalls[b].tjdET, chart->HorJulianDateET);
  }
  EXPECT_TRUE(eph.housesJd == eph.julianDay && eph.housesLat == 45 && eph.housesLon == 15);
  Cast(Jan1st2000, 0.5, 0, TSummerTimeType::tzNormal, -90);
  EXPECT_EQ(chart->HorSidrealTime, eph.sidTime - 6.0);  // not reduced into 0..24
}

TEST_F(ChartTest, BodyValuesRefusedBodiesAndBodiesWithoutSlots) {
  eph.bodies[15] = {123.5, -1.25, 2.5, -0.05, 0.01, 0.002};
  eph.refused = {7};
  for (int b = 15; b <= MaxFlagBody; ++b) chart->HorBodyEnabled[b] = 1;
  Cast(Jan1st2000, 0.5);
  EXPECT_EQ(chart->HorLongitude[15], 123.5);
  EXPECT_EQ(chart->HorLatitude[15], -1.25);
  EXPECT_EQ(chart->HorDistance[15], 2.5);
  EXPECT_EQ(chart->HorLongitudeSpeed[15], -0.05);
  EXPECT_EQ(chart->HorLatitudeSpeed[15], 0.01);
  EXPECT_EQ(chart->HorDistanceSpeed[15], 0.002);
  EXPECT_EQ(chart->BodySign(15), 4);
  EXPECT_EQ(chart->BodySign(21), -1);
  EXPECT_EQ(chart->HorBodyEnabled[7], 0);  // refused: off, and none of the library's garbage kept
  EXPECT_EQ(chart->HorLongitude[7], 0.0);
  EXPECT_EQ(chart->HorBodyEnabled[20], 1);
  for (int b = 21; b <= MaxFlagBody; ++b) EXPECT_EQ(chart->HorBodyEnabled[b], 0) << b;
  for (const auto& call : eph.calcCalls) EXPECT_LE(call.body, MaxValueBody);
  // The next calculation starts afresh; a refused body stays off until enabled again.
  eph.refused.clear();
  chart->HorBodyEnabled[15] = 0;
  Cast(Jan1st2000, 0.5);
  EXPECT_EQ(chart->HorLongitude[15], 0.0);
  EXPECT_EQ(chart->HorBodyEnabled[7], 0);
}

TEST_F(ChartTest, HousesOfEachSystem) {
  for (int h = 1; h <= 12; ++h) eph.cusps[h] = 30.0 * h - 5;
  eph.ascmc = {101.0, 11.0, 12.0, 281.0, 0, 0, 0, 0, 0, 0};
  for (int s = 0; s < HouseSystemCount; ++s) {
    chart->HorHaeusersystem = static_cast<THaeuserSystemTyp>(s);
    Cast(Jan1st2000, 0.5);
    EXPECT_EQ(eph.houseSystems.back(), "PKRCVE"[s]);
  }
  EXPECT_TRUE(chart->HorHouseCusp[1] == 25.0 && chart->HorHouseCusp[12] == 355.0);
  EXPECT_TRUE(chart->HorAscendant == 101.0 && chart->HorMC == 11.0 && chart->HorVertex == 281.0);
  EXPECT_EQ(chart->HouseSign(1), 3);   // the Ascendant's sign
  EXPECT_EQ(chart->HouseSign(10), 0);  // the MC's sign
  EXPECT_EQ(chart->HouseSign(2), 1);
  EXPECT_EQ(chart->HouseSign(13), -1);
}

TEST_F(ChartTest, MomentsNoEphemerisKnowsComputeNothing) {
  Cast(1e300, 0);
  EXPECT_TRUE(eph.calcCalls.empty());
  for (int b = 0; b <= 10; ++b) EXPECT_EQ(chart->HorBodyEnabled[b], 0);
  chart->HorBodyEnabled[0] = 1;
  Cast(Jan1st2000, std::nan(""));
  EXPECT_EQ(chart->HorBodyEnabled[0], 0);
}

}  // namespace
}  // namespace tw::horoscope
