// THoroscope: a non-visual component that casts one chart.  From a local date and time, a
// time-zone offset, a summer-time code and a geographic position it computes the Julian day in
// universal and ephemeris time, local mean time and local sidereal time, the position and speed
// of every enabled body, and the twelve house cusps with Ascendant, MC and Vertex of one of six
// house systems.  All of it comes from the ephemeris (ephemeris.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "horoscope/chartglobals.h"
#include "horoscope/chartmath.h"
#include "horoscope/ephemeris.h"
#include "platform/classes/component.h"
#include "platform/rtl/datetime.h"

namespace tw::horoscope {

// Flags OR-ed into every body calculation: the JPL ephemeris (1) and speeds (256).  Where no
// JPL file is installed the library computes from its own ephemeris files.
inline constexpr std::array<int, 2> CalcFlags = {1, 256};
inline constexpr int CalcFlagWord = CalcFlags[0] | CalcFlags[1];

// The ephemeris's house-system code of each THaeuserSystemTyp.
inline constexpr char HouseSystemLetters[HouseSystemCount + 1] = "PKRCVE";

using TBodyArray = std::array<double, MaxValueBody + 1>;

class THoroscope : public TComponent {
  TW_CLASS(THoroscope, TComponent)
 public:
  // Bodies 0..10 enabled, every other field zero or empty, Gregorian calendar flag 1.
  explicit THoroscope(TComponent* owner);

  // Computes the chart from the inputs.  Every call starts from cleared outputs.  A body the
  // ephemeris refuses, and an enabled body above 20 (which has no value slots), is switched off
  // and keeps 0.0 values; a refused body (every enabled one for a moment no ephemeris knows) is
  // marked in HorBodyRefused until the next Calculate.
  void Calculate();

  // Writes the listing of the chart as it stands (chartlisting.cpp).  Raises EInOutError when
  // the file cannot be created or written.
  void WriteChartFile(const std::string& fileName) const;

  // Sign 0..11 of a body's longitude; -1 for a body outside 0..20.
  int BodySign(int body) const;
  // Sign of the Ascendant (house 1), the MC (house 10) or the house's cusp; -1 outside 1..12.
  int HouseSign(int house) const;

  void SetHorEphePath(const std::string& value) { HorEphePath = value; }
  std::string GetHorEphePath() const { return HorEphePath; }
  void SetHorJPLFile(const std::string& value) { HorJPLFile = value; }
  std::string GetHorJPLFile() const { return HorJPLFile; }

  // The ephemeris this chart asks; nullptr (the start) means DefaultEphemeris().
  void SetEphemeris(TEphemeris* ephemeris) { ephemeris_ = ephemeris; }

  // --- inputs and outputs (published)
  std::string HorName;
  std::string HorState;
  std::string HorPlace;
  double HorJulianDateUT = 0.0;            // output
  double HorJulianDateET = 0.0;            // output
  TSummerTimeType HorSummertimeCode = TSummerTimeType::tzNormal;
  double HorPlaceLongitude = 0.0;          // degrees, east positive
  double HorPlaceLatitude = 0.0;           // degrees, north positive
  double HorPlaceZoneHours = 0.0;          // hours, east of Greenwich positive
  TDateTime HorSidrealTime = 0.0;          // output: local sidereal time in hours, not reduced
  std::int32_t HorGregFlag = 1;
  TDateTime HorDate = 0.0;                 // local date (whole days)
  TDateTime HorTime = 0.0;                 // local time of day
  TDateTime HorBirthDateTimeGMT = 0.0;     // output: the moment in universal time
  TDateTime HorBirthDateTimeLocal = 0.0;   // output: local mean time of the longitude
  std::string HorEphePath;                 // stored only
  std::string HorJPLFile;                  // stored only
  THaeuserSystemTyp HorHaeusersystem = THaeuserSystemTyp::Placidus;

  // --- public fields
  TBodyArray HorLongitude{};
  TBodyArray HorLatitude{};
  TBodyArray HorDistance{};
  TBodyArray HorLongitudeSpeed{};
  TBodyArray HorLatitudeSpeed{};
  TBodyArray HorDistanceSpeed{};
  std::array<std::uint8_t, MaxFlagBody + 1> HorBodyEnabled{};
  // 1 for each body of 0..20 that was enabled but could not be computed by the last Calculate.
  std::array<std::uint8_t, MaxValueBody + 1> HorBodyRefused{};
  std::array<double, 13> HorHouseCusp{};   // houses 1..12 (slot 0 unused)
  double HorAscendant = 0.0;
  double HorMC = 0.0;
  double HorVertex = 0.0;

 private:
  TEphemeris& Ephemeris() const;
  void ClearOutputs();

  TEphemeris* ephemeris_ = nullptr;
};

// A moment counted as a continuous number of days (floor = the day, the rest = the time) in
// the class library's reading, in which the integer part of a negative value is the day and its
// fraction's magnitude the time of day (29 December 1899, 06:00 is -1.25).
TDateTime ContinuousToDateTime(double days);

}  // namespace tw::horoscope
