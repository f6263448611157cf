// The real ephemeris, checked against published values rather than against itself.
#include "horoscope/swissephemeris.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "horoscope/horoscope.h"

namespace tw::horoscope {
namespace {

constexpr double Rad = std::numbers::pi / 180.0;

double ArcDiff(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

TSwissEphemeris& Eph() {
  TSwissEphemeris::Instance().SetEphePath(ProgramEphemerisPath());
  return TSwissEphemeris::Instance();
}

double Longitude(double jdET, int body, double* latitude = nullptr, double* speed = nullptr) {
  TBodyValues xx{};
  std::string error;
  EXPECT_GE(Eph().Calc(jdET, body, CalcFlagWord, xx, error), 0) << error;
  if (latitude != nullptr) *latitude = xx[1];
  if (speed != nullptr) *speed = xx[3];
  return xx[0];
}

TEST(SwissEphemeris, PublishedJulianDaysPositionsSiderealTimeAndDeltaT) {
  EXPECT_EQ(Eph().JulDay(2000, 1, 1, 12.0, 1), 2451545.0);
  EXPECT_EQ(Eph().JulDay(1987, 4, 10, 0.0, 1), 2446895.5);
  // The Sun on 1992 October 13.0 TD: apparent longitude 199.90606 degrees.
  double latitude, speed;
  EXPECT_NEAR(Longitude(2448908.5, 0, nullptr, &speed), 199.90606, 0.001);
  EXPECT_NEAR(speed, 0.9856, 0.02);
  // The Moon on 1992 April 12.0 TD: apparent longitude 133.1673, latitude -3.2291 (a theory
  // good to some seconds of arc).
  EXPECT_NEAR(Longitude(2448724.5, 1, &latitude), 133.1673, 0.003);
  EXPECT_NEAR(latitude, -3.2291, 0.003);
  // 1987 April 10, 0h UT: apparent sidereal time at Greenwich 13h 10m 46.1351s.
  EXPECT_NEAR(Eph().SidTime(2446895.5), 13.0 + 10.0 / 60 + 46.1351 / 3600, 2e-5);
  // Delta T was about 63.8 s at the start of 2000 and 58.3 s at the start of 1992.
  EXPECT_NEAR(Eph().DeltaT(2451545.0) * 86400, 63.8, 0.5);
  EXPECT_NEAR(Eph().DeltaT(2448622.5) * 86400, 58.3, 0.5);
}

TEST(SwissEphemeris, EveryChartBodyIsComputedFromTheFiles) {
  const std::string path = ProgramEphemerisPath();
  EXPECT_EQ(path[0], '/') << path;  // the program's own folder first
  EXPECT_EQ(path.substr(path.find(':')), ":/usr/share/libswe/ephe") << path;
  // The files cover every date the program accepts, 1600 to 3999, Chiron included.
  for (double jd : {Eph().JulDay(1600, 1, 1, 0.0, 1), Eph().JulDay(1650, 3, 1, 12.0, 1), 2378861.5 /* 1801 */,
                    2448908.5, 2524593.5 /* 2200 */, Eph().JulDay(3500, 6, 15, 12.0, 1),
                    Eph().JulDay(3999, 12, 31, 23.0, 1)}) {
    SCOPED_TRACE(jd);
    for (int body : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15}) {
      TBodyValues xx{};
      std::string error;
      const int flags = Eph().Calc(jd, body, CalcFlagWord, xx, error);
      EXPECT_GE(flags, 0) << body << ": " << error;
      EXPECT_EQ(flags & 4, 0) << body << " fell back to the built-in theory";
    }
  }
  TSwissEphemeris::Instance().SetEphePath("/nonexistent-ephemeris-folder");
  TBodyValues xx{};
  std::string error;
  EXPECT_LT(TSwissEphemeris::Instance().Calc(2448908.5, 15, CalcFlagWord, xx, error), 0);  // what a bad path costs
  EXPECT_GE(Eph().Calc(2448908.5, 15, CalcFlagWord, xx, error), 0) << error;
}

// Ascendant and MC from local sidereal time, mean obliquity (nutation moves it by at most
// 9.2 seconds of arc) and latitude.
void ExpectAnglesOfFormulas(double lstHours, double jdUT, double latitude, double asc, double mc) {
  const double t = (jdUT - 2451545.0) / 36525.0;
  const double eps = (23.0 + 26.0 / 60 + (21.448 - 46.8150 * t) / 3600) * Rad;
  const double ramc = lstHours * 15.0 * Rad;
  EXPECT_LT(ArcDiff(mc, std::atan2(std::sin(ramc), std::cos(ramc) * std::cos(eps)) / Rad), 0.01);
  EXPECT_LT(ArcDiff(asc, std::atan2(std::cos(ramc), -(std::sin(ramc) * std::cos(eps) +
                                                      std::tan(latitude * Rad) * std::sin(eps))) / Rad), 0.01);
}

TEST(SwissEphemeris, HouseAnglesAgreeWithTheFormulas) {
  for (double latitude : {45.0, -33.9, 0.0, 60.0}) {
    for (double jd : {2451545.0, 2448908.8, 2460000.7}) {
      for (double lon : {0.0, -75.0, 139.7}) {
        for (char system : std::string("PKRCVE")) {
          SCOPED_TRACE(std::string(1, system) + " " + std::to_string(latitude) + " " + std::to_string(lon));
          THouseCusps cusps{};
          TAscMc ascmc{};
          Eph().Houses(jd, latitude, lon, system, cusps, ascmc);
          ExpectAnglesOfFormulas(Eph().SidTime(jd) + lon / 15.0, jd, latitude, ascmc[0], ascmc[1]);
          if (system == 'E' || system == 'V') {
            const double first = ascmc[0] - (system == 'V' ? 15.0 : 0.0);
            for (int h = 1; h <= 12; ++h) EXPECT_LT(ArcDiff(cusps[h], first + 30.0 * (h - 1)), 1e-6);
          } else {
            EXPECT_LT(ArcDiff(cusps[1], ascmc[0]), 1e-6);
            EXPECT_LT(ArcDiff(cusps[10], ascmc[1]), 1e-6);
            EXPECT_LT(ArcDiff(cusps[7], ascmc[0] + 180.0), 1e-6);
          }
        }
      }
    }
  }
}

TEST(SwissEphemeris, ARealChartHasEveryEnabledBody) {
  auto* chart = new THoroscope(nullptr);
  Eph();
  chart->HorDate = 33890.0;  // 13 October 1992
  chart->HorPlaceLatitude = 45;
  chart->HorBodyEnabled[15] = 1;
  chart->Calculate();
  for (int b : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15}) EXPECT_EQ(chart->HorBodyEnabled[b], 1) << b;
  EXPECT_EQ(chart->HorJulianDateUT, 2448908.5);
  EXPECT_NEAR((chart->HorJulianDateET - chart->HorJulianDateUT) * 86400, 59.0, 0.7);
  EXPECT_NEAR(chart->HorLongitude[0], 199.90606, 0.002);  // 0h UT is 59 s before 0h TD
  EXPECT_LT(chart->HorLongitudeSpeed[10], 0.0);            // the mean node moves backwards
  ExpectAnglesOfFormulas(chart->HorSidrealTime, chart->HorJulianDateUT, 45.0, chart->HorAscendant, chart->HorMC);
  delete chart;
}

// A chart cast in universal time at longitude 0 and latitude 45, bodies 0 to 10 and 15, with
// the ephemeris as it is.
std::unique_ptr<THoroscope> Cast(double date, double hours) {
  auto chart = std::make_unique<THoroscope>(nullptr);
  chart->HorDate = date;
  chart->HorTime = hours / 24.0;
  chart->HorPlaceLatitude = 45;
  chart->HorBodyEnabled[15] = 1;
  chart->Calculate();
  return chart;
}

// The same with the program's ephemeris path set first.
std::unique_ptr<THoroscope> CastUT(double date, double hours) {
  Eph();
  return Cast(date, hours);
}

// Charts cast again (the birth chart at every recalculation, between other moments) get the
// answers of their first cast to the last bit, whether from the library or from its memory;
// a question differing in latitude, flags or body only gets its own answer.
TEST(SwissEphemeris, AChartCastAgainGetsTheSameAnswers) {
  const auto same = [](const THoroscope& a, const THoroscope& b) {
    EXPECT_EQ(a.HorLongitude, b.HorLongitude);
    EXPECT_EQ(a.HorLatitude, b.HorLatitude);
    EXPECT_EQ(a.HorDistanceSpeed, b.HorDistanceSpeed);
    EXPECT_EQ(a.HorHouseCusp, b.HorHouseCusp);
    EXPECT_EQ(a.HorAscendant, b.HorAscendant);
    EXPECT_EQ(a.HorBodyEnabled, b.HorBodyEnabled);
  };
  const auto birth = CastUT(25569.0, 6.5);
  const auto transit = CastUT(46188.0, 10.25);
  same(*CastUT(25569.0, 6.5), *birth);
  same(*CastUT(46188.0, 10.25), *transit);
  // More questions between than the memory holds.
  for (int k = 0; k < 8; ++k) CastUT(30000.0 + 400.0 * k, 3.0);
  same(*CastUT(25569.0, 6.5), *birth);
  // The birth chart between transit charts of ever new moments (a recalculation now and then)
  // stays in memory: only the transit charts' twelve bodies go to the library (once the first
  // question since the path was set has found that no JPL file lies in it).
  Cast(25569.0, 6.5);
  const std::uint64_t before = TSwissEphemeris::Instance().LibraryCalcs();
  for (int k = 1; k <= 10; ++k) {
    Cast(46188.0, 10.25 + k * 0.1);
    same(*Cast(25569.0, 6.5), *birth);
  }
  EXPECT_EQ(TSwissEphemeris::Instance().LibraryCalcs() - before, 10u * 12u);

  auto north = std::make_unique<THoroscope>(nullptr);
  north->HorDate = 25569.0;
  north->HorTime = 6.5 / 24.0;
  north->HorPlaceLatitude = 60;
  north->HorBodyEnabled[15] = 1;
  north->Calculate();
  EXPECT_EQ(north->HorLongitude, birth->HorLongitude);
  EXPECT_GT(ArcDiff(north->HorAscendant, birth->HorAscendant), 1.0);

  TBodyValues geo{}, helio{}, moon{};
  std::string error;
  ASSERT_GE(Eph().Calc(2440000.5, 4, CalcFlagWord, geo, error), 0) << error;
  ASSERT_GE(Eph().Calc(2440000.5, 4, CalcFlagWord | 8 /* heliocentric */, helio, error), 0) << error;
  ASSERT_GE(Eph().Calc(2440000.5, 1, CalcFlagWord, moon, error), 0) << error;
  EXPECT_GT(ArcDiff(geo[0], helio[0]), 1.0);
  EXPECT_GT(ArcDiff(geo[0], moon[0]), 1.0);
}

TEST(SwissEphemeris, AspectsOfChartsAtKnownEvents) {
  const auto savedEnabled = AspectEnabled;
  const auto savedOrbs = AspectOrbs;
  AspectEnabled.fill(false);
  InitAspectSettings();
  // Full moon of 25 January 2024, 17:54 UT, the Moon at 5 degrees 15 minutes of Leo.
  const auto fullMoon = CastUT(45316.0, 17.9);
  EXPECT_NEAR(fullMoon->HorLongitude[1], 125.25, 0.05);
  EXPECT_NEAR(ArcDiff(fullMoon->HorLongitude[1], fullMoon->HorLongitude[0] + 180.0), 0.0, 0.02);
  EXPECT_EQ(FindAspect(2, 0, 1, fullMoon->HorLongitude, fullMoon->HorLongitude), 2);
  // Total solar eclipse of 8 April 2024, new moon at 18:21 UT in 19 degrees 24 minutes of Aries.
  const auto eclipse = CastUT(45390.0, 18.35);
  EXPECT_NEAR(eclipse->HorLongitude[0], 19.40, 0.05);
  EXPECT_EQ(FindAspect(2, 1, 0, eclipse->HorLongitude, eclipse->HorLongitude), 1);
  // The great conjunction of Jupiter and Saturn, 21 December 2020, near 0 degrees 29' Aquarius.
  const auto great = CastUT(44186.0, 18.0);
  EXPECT_NEAR(great->HorLongitude[5], 300.4, 0.3);
  EXPECT_EQ(FindAspect(2, 5, 6, great->HorLongitude, great->HorLongitude), 1);

  // A transit chart one tropical year after the full moon: the Sun is back on its radix place,
  // so it meets the radix Sun and stands opposite the radix Moon; the eclipse Sun, 74 degrees
  // from the full moon's Sun, forms none of the five aspects.
  const auto solarReturn = CastUT(45316.0 + 365.0, 17.9 + 0.2422 * 24.0);
  EXPECT_LT(ArcDiff(solarReturn->HorLongitude[0], fullMoon->HorLongitude[0]), 0.05);
  EXPECT_EQ(FindAspect(2, 0, 0, solarReturn->HorLongitude, fullMoon->HorLongitude), 1);
  EXPECT_EQ(FindAspect(2, 0, 1, solarReturn->HorLongitude, fullMoon->HorLongitude), 2);
  EXPECT_EQ(FindAspect(2, 0, 0, eclipse->HorLongitude, fullMoon->HorLongitude), 0);
  AspectEnabled = savedEnabled;
  AspectOrbs = savedOrbs;
}

}  // namespace
}  // namespace tw::horoscope
