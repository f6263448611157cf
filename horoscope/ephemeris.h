// The ephemeris seam: the few calls a chart makes for Julian days, delta T, sidereal time, body
// positions and house cusps.  The real implementation calls the Swiss Ephemeris library
// (swissephemeris.h); tests install their own.
#pragma once

#include <array>
#include <string>

namespace tw::horoscope {

// Positions and speeds of one body: longitude, latitude, distance, then their speeds per day.
using TBodyValues = std::array<double, 6>;
// House cusps 1..12 (slot 0 unused).
using THouseCusps = std::array<double, 13>;
// Ascendant, MC, ARMC, Vertex, and further points of the library (10 slots).
using TAscMc = std::array<double, 10>;

class TEphemeris {
 public:
  virtual ~TEphemeris() = default;

  // Folders searched for the ephemeris files, separated by ':'.
  virtual void SetEphePath(const std::string& path) = 0;
  // Julian day of a calendar date and hour (universal time); gregFlag 1: Gregorian calendar.
  virtual double JulDay(int year, int month, int day, double hour, int gregFlag) = 0;
  // Delta T in days for a Julian day in universal time.
  virtual double DeltaT(double tjdUT) = 0;
  // Greenwich sidereal time in hours.
  virtual double SidTime(double tjdUT) = 0;
  // Position and speed of `body` at a Julian day in ephemeris time; the result is the flag word
  // the values were computed with, below 0 when the body was refused (then `error` says why).
  virtual int Calc(double tjdET, int body, int flags, TBodyValues& values, std::string& error) = 0;
  // House cusps and angles of house system `hsys` (a letter) for a place; the result is below 0
  // when the library fell back to another system or failed.
  virtual int Houses(double tjdUT, double geoLat, double geoLon, char hsys, THouseCusps& cusps,
                     TAscMc& ascmc) = 0;
};

// The ephemeris the charts use unless one is given to them: the Swiss Ephemeris, or what a
// test installed.  Installing nullptr brings the library back.  Neither takes ownership.
TEphemeris& DefaultEphemeris();
void SetDefaultEphemeris(TEphemeris* ephemeris);

}  // namespace tw::horoscope
