// Angle arithmetic of the chart engine: rounding, normalising, the aspect test between two
// charts, the sign of a longitude, and the texts of angles, coordinates, the retrograde mark,
// house labels and house-system names.  Pure functions of their arguments and of the chart
// settings in chartglobals.h.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "horoscope/chartglobals.h"

namespace tw::horoscope {

// A chart's longitudes in degrees, indexed by body number 0..20.
using TChartLongitudes = std::array<double, MaxValueBody + 1>;

// The exact angle of each aspect 1..11 in degrees (slot 0 unused).
inline constexpr std::array<double, MaxAspect + 1> AspectAngles = {0.0,  0.0,   180.0, 90.0, 120.0, 60.0,
                                                                   30.0, 150.0, 45.0,  135.0, 72.0, 144.0};

// X * 360000 rounded to the nearest integer, halves to even (hundredths of an arc-second).
// Values beyond the integer range saturate; a value that is not a number gives 0.
std::int32_t DegreesToCentiseconds(double x);

// The angle brought into 0..360 with both ends included: a negative value lands in [0, 360),
// a value above 360 in (0, 360] (360 and 720 both give 360), 0..360 stays.  Infinities and
// NaN give NaN.
double NormalizeAngle(double x);

// The first enabled aspect (1..11) that chart1[body1] forms with chart2[body2], or 0.  The
// separation is the smaller arc between the two longitudes (0..180 degrees); an aspect is
// found when it lies within half the sum of the two bodies' orbs of `orbKind` (1..5, 5 reads
// as 4).  When chart2 was never computed (bodies 0 and 9 both exactly 0.0) the two bodies are
// both taken from chart1.  An orb kind outside 1..5 or a body outside 0..20 is no valid
// question: the answer is 0, no aspect.
std::uint8_t FindAspect(std::uint8_t orbKind, int body1, int body2, const TChartLongitudes& chart1,
                        const TChartLongitudes& chart2);

// The same test between two given points: the first enabled aspect that body1 at longitude1
// forms with body2 at longitude2, or 0.  No chart is ever taken as absent, so a chart whose
// Sun and Pluto could not be computed is still compared body by body.  Invalid arguments and
// longitudes that are not finite give 0.
std::uint8_t AspectBetween(std::uint8_t orbKind, int body1, double longitude1, int body2, double longitude2);

// Sign number 0..11 of a longitude rounded to hundredths of an arc-second (a value a hair below
// 360 rounds to 0 degrees, the first sign); any angle is first brought into one turn.
// -1 for a value that is not a finite number.
int SignOfLongitude(double x);

// Sign number 0..11 of a longitude as DegreesToStr shows it (rounded to whole arc-seconds), so
// that a listed degree and its sign name always agree.  -1 for a value that cannot be shown.
int SignOfDisplayedLongitude(double x);

// Degrees, minutes and optionally seconds: degrees right-aligned in 3 columns, then the degree
// sign (code 176) and a blank, two-digit minutes, an apostrophe and a blank, and with seconds
// two-digit seconds and a double quote.  The value is rounded once to whole arc-seconds and
// every part is taken from that number.  WithinSign shows the degree within its sign (the
// longitude is first brought into one turn); otherwise a negative value shows a minus sign.
// A value that is not finite or beyond 10^12 degrees gives an empty text.
std::string DegreesToStr(bool withinSign, bool withSeconds, double x);

// Magnitude in degrees and minutes followed by "E" (X >= 0) or "W".
std::string LongitudeToStr(double x);
// Magnitude in degrees and minutes followed by "N" (X >= 0) or "S".
std::string LatitudeToStr(double x);
// "R" for a negative speed, else a blank.
std::string RetrogradeMark(double speed);
// House 1: message 64, house 10: message 65, others their number.
std::string GetHouseLabel(int house);
// Message 67 + the house system's ordinal.
std::string GetHouseSystemName(THaeuserSystemTyp system);

}  // namespace tw::horoscope
