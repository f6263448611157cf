// The chart listing and the aspect test over message texts and ephemeris answers taken from the
// input: the texts come from the message table, a data file, and a pattern that does not fit
// its argument, a value that is no number or lies far outside one turn must still give a whole
// listing and no crash.
//
// Input: up to 21 little-endian doubles (the ephemeris's longitudes of bodies 0..20, and the
// house cusps and angles), then a line break, then one message text a line for the listing's
// message numbers in order.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "horoscope/chartmath.h"
#include "horoscope/horoscope.h"
#include "platform/classes/stringlist.h"
#include "platform/rtl/exceptions.h"

namespace {

using namespace tw::horoscope;

constexpr int ValueCount = 21;

class TInputEphemeris : public TEphemeris {
 public:
  explicit TInputEphemeris(const double (&values)[ValueCount]) : values_(values) {}
  void SetEphePath(const std::string&) override {}
  double JulDay(int, int, int, double hour, int) override { return 2451545.0 + hour / 24.0; }
  double DeltaT(double) override { return values_[20]; }
  double SidTime(double) override { return values_[19]; }
  int Calc(double, int body, int flags, TBodyValues& xx, std::string&) override {
    const double v = values_[body % ValueCount];
    xx = {v, -v, v, -v, v, v};
    return std::isnan(v) ? -1 : flags;
  }
  int Houses(double, double, double, char, THouseCusps& cusps, TAscMc& ascmc) override {
    for (int h = 1; h <= 12; ++h) cusps[h] = values_[h];
    for (int k = 0; k < 10; ++k) ascmc[k] = values_[k + 3];
    return 0;
  }

 private:
  const double (&values_)[ValueCount];
};

constexpr int ListingMessages[] = {42, 43, 44, 58, 53, 54, 55, 57, 62, 63, 66, 64, 65, 67, 68, 69, 70, 71, 72,
                                   10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 25, 30, 31, 32, 33, 34, 35,
                                   36, 37, 38, 39, 40, 41};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  double values[ValueCount] = {};
  const std::size_t numbers = std::min(input.size() / sizeof(double), static_cast<std::size_t>(ValueCount));
  if (numbers > 0) std::memcpy(values, input.data(), numbers * sizeof(double));
  input.remove_prefix(numbers * sizeof(double));

  auto texts = std::make_unique<tw::TStringList>();
  for (int nr : ListingMessages) {
    if (input.empty()) break;
    const std::size_t end = std::min(input.find('\n'), input.size());
    texts->AddObject(std::string(input.substr(0, end)), std::intptr_t{nr});
    input.remove_prefix(std::min(end + 1, input.size()));
  }
  MessageList = texts.get();
  InitAspectSettings();

  TInputEphemeris eph(values);
  auto chart = std::make_unique<THoroscope>(nullptr);
  chart->SetEphemeris(&eph);
  chart->HorDate = values[0];
  chart->HorTime = values[1];
  chart->HorPlaceZoneHours = values[2];
  chart->HorPlaceLongitude = values[3];
  chart->HorPlaceLatitude = values[4];
  chart->HorHaeusersystem = static_cast<THaeuserSystemTyp>(numbers % HouseSystemCount);
  for (std::size_t b = 0; b <= MaxFlagBody; ++b) chart->HorBodyEnabled[b] = 1;
  chart->Calculate();

  const std::string file = "/tmp/tw_fuzz_chart_listing_" + std::to_string(::getpid()) + ".txt";
  try {
    chart->WriteChartFile(file);
  } catch (const tw::EInOutError&) {
    // a full disk: the only failure the listing reports
  }
  std::remove(file.c_str());

  TChartLongitudes longitudes{};
  for (int b = 0; b <= MaxValueBody; ++b) longitudes[b] = values[b];
  int found = 0;
  for (int i = 0; i <= MaxValueBody; ++i)
    for (int j = 0; j <= MaxValueBody; ++j) found += FindAspect(2, i, j, chart->HorLongitude, longitudes) != 0;
  for (double v : values) {
    if (DegreesToStr(true, true, v).size() > 32 || LongitudeToStr(v).size() > 32) __builtin_trap();
    const int sign = SignOfLongitude(v);
    if (sign < -1 || sign > 11) __builtin_trap();
  }
  MessageList = nullptr;
  return found < 0;
}
