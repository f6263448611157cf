#include "horoscope/chartmath.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tw::horoscope {

namespace {

constexpr std::int64_t SecondsPerTurn = 360 * 3600;
constexpr std::int64_t SecondsPerSign = 30 * 3600;
constexpr double MaxShownDegrees = 1e12;

// Whole arc-seconds of x, an exact half going to the even neighbour; false when x cannot be
// shown.  With `oneTurn` the angle is first brought into one turn and the result lies in
// [0, 360 * 3600).
bool RoundedArcSeconds(double x, bool oneTurn, std::int64_t& seconds) {
  if (!std::isfinite(x) || std::fabs(x) >= MaxShownDegrees) return false;
  if (oneTurn) x = std::fmod(x, 360.0);
  seconds = static_cast<std::int64_t>(std::nearbyint(x * 3600.0));
  if (oneTurn) {
    seconds %= SecondsPerTurn;
    if (seconds < 0) seconds += SecondsPerTurn;
  }
  return true;
}

std::string Coordinate(double x, const char* positive, const char* negative) {
  return DegreesToStr(false, false, std::fabs(x)) + (x >= 0 ? positive : negative);
}

}  // namespace

std::int32_t DegreesToCentiseconds(double x) {
  if (std::isnan(x)) return 0;
  const double c = std::nearbyint(x * 360000.0);
  if (c >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  if (c <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(c);
}

double NormalizeAngle(double x) {
  if (!std::isfinite(x)) return std::numeric_limits<double>::quiet_NaN();
  if (x < 0.0) {
    double r = std::fmod(x, 360.0);  // in (-360, 0]
    if (r < 0.0) r += 360.0;
    return r;
  }
  if (x > 360.0) {
    const double r = std::fmod(x, 360.0);  // in [0, 360)
    return r == 0.0 ? 360.0 : r;
  }
  return x;
}

std::uint8_t FindAspect(std::uint8_t orbKind, int body1, int body2, const TChartLongitudes& chart1,
                        const TChartLongitudes& chart2) {
  if (body1 < 0 || body1 > MaxValueBody || body2 < 0 || body2 > MaxValueBody) return 0;
  if (chart2[0] == 0.0 && chart2[9] == 0.0) {
    if (body1 == body2) return 0;
    return AspectBetween(orbKind, body1, chart1[body1], body2, chart1[body2]);
  }
  return AspectBetween(orbKind, body1, chart1[body1], body2, chart2[body2]);
}

std::uint8_t AspectBetween(std::uint8_t orbKind, int body1, double longitude1, int body2, double longitude2) {
  if (orbKind < 1 || orbKind > 5) return 0;
  if (body1 < 0 || body1 > MaxValueBody || body2 < 0 || body2 > MaxValueBody) return 0;
  const int kind = orbKind == 5 ? 4 : orbKind;

  const double d = NormalizeAngle(longitude1 - longitude2);
  if (!std::isfinite(d)) return 0;
  // The separation of the two points is the shorter way round the circle.
  const double separation = std::min(d, 360.0 - d);

  for (int k = 1; k <= MaxAspect; ++k) {
    if (!AspectEnabled[k]) continue;
    const double orb = (AspectOrbs[kind][body1][k] + AspectOrbs[kind][body2][k]) * 0.5;
    if (std::fabs(separation - AspectAngles[k]) <= orb) return static_cast<std::uint8_t>(k);
  }
  return 0;
}

int SignOfLongitude(double x) {
  if (!std::isfinite(x)) return -1;
  double y = std::fmod(x, 360.0);
  if (y < 0.0) y += 360.0;
  const auto centiseconds = static_cast<std::int64_t>(std::nearbyint(y * 360000.0));
  return static_cast<int>((centiseconds / 10800000) % 12);
}

int SignOfDisplayedLongitude(double x) {
  std::int64_t seconds;
  if (!RoundedArcSeconds(x, true, seconds)) return -1;
  return static_cast<int>(seconds / SecondsPerSign);
}

std::string DegreesToStr(bool withinSign, bool withSeconds, double x) {
  std::int64_t total;
  if (!RoundedArcSeconds(withinSign ? x : std::fabs(x), withinSign, total)) return {};
  const bool minus = !withinSign && x < 0 && total != 0;
  std::int64_t degrees = total / 3600;
  if (withinSign) degrees %= 30;
  char text[64];
  const int minutes = static_cast<int>(total / 60 % 60);
  const int seconds = static_cast<int>(total % 60);
  const long long shown = minus ? -degrees : degrees;
  if (withSeconds)
    std::snprintf(text, sizeof text, "%3lld\xB0 %02d' %02d\"", shown, minutes, seconds);
  else
    std::snprintf(text, sizeof text, "%3lld\xB0 %02d' ", shown, minutes);
  return text;
}

std::string LongitudeToStr(double x) { return Coordinate(x, "E", "W"); }

std::string LatitudeToStr(double x) { return Coordinate(x, "N", "S"); }

std::string RetrogradeMark(double speed) { return speed < 0 ? "R" : " "; }

std::string GetHouseLabel(int house) {
  if (house == 1) return GetMessageText(64);
  if (house == 10) return GetMessageText(65);
  return std::to_string(house);
}

std::string GetHouseSystemName(THaeuserSystemTyp system) {
  const int ordinal = static_cast<int>(system);
  if (ordinal < 0 || ordinal >= HouseSystemCount) return {};
  return GetMessageText(67 + ordinal);
}

}  // namespace tw::horoscope
