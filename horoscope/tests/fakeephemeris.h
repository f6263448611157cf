// A scripted ephemeris for chart tests: records what the chart asks and answers with values
// the test chooses.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "horoscope/ephemeris.h"

namespace tw::horoscope::testing {

class TFakeEphemeris : public TEphemeris {
 public:
  struct JulDayCall { int year, month, day; double hour; int gregFlag; };
  struct CalcCall { double tjdET; int body, flags; };

  // Answers; a body without an entry gets {10 * body + 1, 0.5, 1, 1, 0, 0}.
  double julianDay = 2451545.0, deltaT = 0.0007, sidTime = 6.5;
  std::map<int, TBodyValues> bodies;
  std::set<int> refused;
  THouseCusps cusps{};
  TAscMc ascmc{};

  // Questions
  std::vector<JulDayCall> julDayCalls;
  std::vector<double> deltaTCalls, sidTimeCalls;
  std::vector<CalcCall> calcCalls;
  std::vector<char> houseSystems;
  double housesJd = 0, housesLat = 0, housesLon = 0;

  void SetEphePath(const std::string&) override {}
  double JulDay(int year, int month, int day, double hour, int gregFlag) override {
    julDayCalls.push_back({year, month, day, hour, gregFlag});
    return julianDay;
  }
  double DeltaT(double tjdUT) override { return deltaTCalls.push_back(tjdUT), deltaT; }
  double SidTime(double tjdUT) override { return sidTimeCalls.push_back(tjdUT), sidTime; }
  int Calc(double tjdET, int body, int flags, TBodyValues& values, std::string& error) override {
    calcCalls.push_back({tjdET, body, flags});
    if (refused.count(body) != 0) {
      values.fill(99.0);  // garbage the chart must not keep
      error = "refused";
      return -1;
    }
    auto it = bodies.find(body);
    values = it != bodies.end() ? it->second : TBodyValues{10.0 * body + 1, 0.5, 1.0, 1.0, 0.0, 0.0};
    return flags;
  }
  int Houses(double tjdUT, double geoLat, double geoLon, char hsys, THouseCusps& c, TAscMc& a) override {
    houseSystems.push_back(hsys);
    housesJd = tjdUT, housesLat = geoLat, housesLon = geoLon;
    c = cusps;
    a = ascmc;
    return 0;
  }
};

}  // namespace tw::horoscope::testing
