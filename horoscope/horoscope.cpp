#include "horoscope/horoscope.h"

#include <chrono>
#include <cmath>

#include "platform/classes/typinfo.h"

namespace tw::horoscope {

namespace {

// Moments farther than this many days from 30 December 1899 (some 27,000 years) lie outside
// every ephemeris and outside the calendar arithmetic.
constexpr double MaxDays = 1.0e7;

}  // namespace

// Value names of the enumerated properties, as form resources write them.
TW_ENUM_NAMES(THaeuserSystemTyp, "Placidus", "Koch", "Regiomontanus", "Campanus", "Vehlow", "Equal");
TW_ENUM_NAMES(TSummerTimeType, "tzNormal", "tzSummertime", "tzWartime", "tzGMT");

TW_PUBLISHED(THoroscope,
             Prop("HorEphePath", &THoroscope::GetHorEphePath, &THoroscope::SetHorEphePath),
             Prop("HorJPLFile", &THoroscope::GetHorJPLFile, &THoroscope::SetHorJPLFile),
             Prop("HorName", &THoroscope::HorName),
             Prop("HorState", &THoroscope::HorState),
             Prop("HorPlace", &THoroscope::HorPlace),
             Prop("HorJulianDateUT", &THoroscope::HorJulianDateUT),
             Prop("HorJulianDateET", &THoroscope::HorJulianDateET),
             Prop("HorSummertimeCode", &THoroscope::HorSummertimeCode),
             Prop("HorPlaceLongitude", &THoroscope::HorPlaceLongitude),
             Prop("HorPlaceLatitude", &THoroscope::HorPlaceLatitude),
             Prop("HorPlaceZoneHours", &THoroscope::HorPlaceZoneHours),
             Prop("HorSidrealTime", &THoroscope::HorSidrealTime),
             Prop("HorGregFlag", &THoroscope::HorGregFlag),
             Prop("HorDate", &THoroscope::HorDate),
             Prop("HorTime", &THoroscope::HorTime),
             Prop("HorBirthDateTimeGMT", &THoroscope::HorBirthDateTimeGMT),
             Prop("HorBirthDateTimeLocal", &THoroscope::HorBirthDateTimeLocal),
             Prop("HorHaeusersystem", &THoroscope::HorHaeusersystem));
TW_REGISTER_CLASS(THoroscope);

TDateTime ContinuousToDateTime(double days) {
  if (!(days < 0.0)) return days;
  const double day = std::floor(days);
  const double time = days - day;
  return time == 0.0 ? day : day - time;
}

THoroscope::THoroscope(TComponent* owner) : TComponent(owner) {
  for (int b = 0; b <= 10; ++b) HorBodyEnabled[b] = 1;
}

TEphemeris& THoroscope::Ephemeris() const { return ephemeris_ != nullptr ? *ephemeris_ : DefaultEphemeris(); }

void THoroscope::ClearOutputs() {
  for (TBodyArray* values :
       {&HorLongitude, &HorLatitude, &HorDistance, &HorLongitudeSpeed, &HorLatitudeSpeed, &HorDistanceSpeed})
    values->fill(0.0);
  HorHouseCusp.fill(0.0);
  HorAscendant = HorMC = HorVertex = 0.0;
  HorJulianDateUT = HorJulianDateET = HorSidrealTime = 0.0;
  HorBirthDateTimeGMT = HorBirthDateTimeLocal = 0.0;
  HorBodyRefused.fill(0);
}

void THoroscope::Calculate() {
  ClearOutputs();
  HorGregFlag = 1;

  // Universal time as a continuous count of days.
  double ut = HorDate + HorTime;
  if (HorSummertimeCode == TSummerTimeType::tzSummertime) ut -= 1.0 / 24.0;
  if (HorSummertimeCode == TSummerTimeType::tzWartime) ut -= 1.0 / 12.0;
  ut -= HorPlaceZoneHours / 24.0;
  const double local = ut + (HorPlaceLongitude / 15.0) / 24.0;

  if (!std::isfinite(ut) || std::fabs(ut) > MaxDays || !std::isfinite(local)) {
    // No ephemeris knows such a moment: nothing can be computed, so no body is shown.
    for (int b = 0; b <= MaxValueBody; ++b) HorBodyRefused[b] = HorBodyEnabled[b];
    for (auto& enabled : HorBodyEnabled) enabled = 0;
    return;
  }
  HorBirthDateTimeGMT = ContinuousToDateTime(ut);
  HorBirthDateTimeLocal = ContinuousToDateTime(local);

  const double whole = std::floor(ut);
  const double hour = (ut - whole) * 24.0;
  namespace chr = std::chrono;
  const chr::sys_days origin = chr::year{1899} / chr::December / chr::day{30};
  const chr::year_month_day date{origin + chr::days{static_cast<long>(whole)}};

  TEphemeris& eph = Ephemeris();
  HorJulianDateUT = eph.JulDay(static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
                               static_cast<int>(static_cast<unsigned>(date.day())), hour, HorGregFlag);
  HorJulianDateET = HorJulianDateUT + eph.DeltaT(HorJulianDateUT);
  HorSidrealTime = eph.SidTime(HorJulianDateUT) + HorPlaceLongitude / 15.0;

  for (int b = 0; b <= MaxFlagBody; ++b) {
    if (HorBodyEnabled[b] == 0) continue;
    if (b > MaxValueBody) {
      HorBodyEnabled[b] = 0;
      continue;
    }
    TBodyValues xx{};
    std::string error;
    if (eph.Calc(HorJulianDateET, b, CalcFlagWord, xx, error) < 0) {
      HorBodyEnabled[b] = 0;
      HorBodyRefused[b] = 1;
      continue;
    }
    HorLongitude[b] = xx[0];
    HorLatitude[b] = xx[1];
    HorDistance[b] = xx[2];
    HorLongitudeSpeed[b] = xx[3];
    HorLatitudeSpeed[b] = xx[4];
    HorDistanceSpeed[b] = xx[5];
  }

  const int system = static_cast<int>(HorHaeusersystem);
  const char letter = system >= 0 && system < HouseSystemCount ? HouseSystemLetters[system] : HouseSystemLetters[0];
  THouseCusps cusps{};
  TAscMc ascmc{};
  eph.Houses(HorJulianDateUT, HorPlaceLatitude, HorPlaceLongitude, letter, cusps, ascmc);
  for (int h = 1; h <= 12; ++h) HorHouseCusp[h] = cusps[h];
  HorAscendant = ascmc[0];
  HorMC = ascmc[1];
  HorVertex = ascmc[3];
}

int THoroscope::BodySign(int body) const {
  if (body < 0 || body > MaxValueBody) return -1;
  return SignOfLongitude(HorLongitude[body]);
}

int THoroscope::HouseSign(int house) const {
  if (house == 1) return SignOfLongitude(HorAscendant);
  if (house == 10) return SignOfLongitude(HorMC);
  if (house < 1 || house > 12) return -1;
  return SignOfLongitude(HorHouseCusp[house]);
}

}  // namespace tw::horoscope
