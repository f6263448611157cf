#include <benchmark/benchmark.h>

#include "horoscope/chartmath.h"
#include "horoscope/horoscope.h"
#include "horoscope/swissephemeris.h"

namespace tw::horoscope {
namespace {

THoroscope* NewChart(double date, double time) {
  auto* chart = new THoroscope(nullptr);
  chart->HorDate = date;
  chart->HorTime = time;
  chart->HorPlaceZoneHours = 1;
  chart->HorPlaceLongitude = 15;
  chart->HorPlaceLatitude = 45;
  chart->HorBodyEnabled[15] = 1;
  return chart;
}

// One chart as the transit list casts it: bodies 0 to 10 and 15, then the houses.  The moment
// moves by a few hours each round, so the ephemeris cannot answer from its last result.
void BM_CastChart(benchmark::State& state) {
  TSwissEphemeris::Instance().SetEphePath(ProgramEphemerisPath());
  THoroscope* chart = NewChart(36526.0, 0.0);
  double step = 0;
  for (auto _ : state) {
    chart->HorDate = 36526.0 + step;
    step += 0.137;
    chart->Calculate();
    benchmark::DoNotOptimize(chart->HorLongitude.data());
  }
  delete chart;
}
BENCHMARK(BM_CastChart);

// The aspect test over all 12 x 12 pairs of a transit and a radix chart.
void BM_AspectsOfTwoCharts(benchmark::State& state) {
  InitAspectSettings();
  THoroscope* transit = NewChart(46000.5, 0.3);
  THoroscope* radix = NewChart(30000.0, 0.7);
  transit->Calculate();
  radix->Calculate();
  const int bodies[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15};
  for (auto _ : state) {
    int found = 0;
    for (int i : bodies)
      for (int j : bodies) found += FindAspect(2, i, j, transit->HorLongitude, radix->HorLongitude) != 0;
    benchmark::DoNotOptimize(found);
  }
  delete transit;
  delete radix;
}
BENCHMARK(BM_AspectsOfTwoCharts);

}  // namespace
}  // namespace tw::horoscope
