#include "horoscope/swissephemeris.h"

#include <swephexp.h>

#include "platform/rtl/files.h"

namespace tw::horoscope {

namespace {

TEphemeris* installed = nullptr;

}  // namespace

std::string ProgramEphemerisPath() {
  return ExcludeTrailingPathDelimiter(ProgramFolder()) + ":" + SystemEphemerisFolder;
}

TEphemeris& DefaultEphemeris() {
  if (installed != nullptr) return *installed;
  return TSwissEphemeris::Instance();
}

void SetDefaultEphemeris(TEphemeris* ephemeris) { installed = ephemeris; }

TSwissEphemeris& TSwissEphemeris::Instance() {
  static TSwissEphemeris instance;
  return instance;
}

TSwissEphemeris::TSwissEphemeris() { SetEphePath(ProgramEphemerisPath()); }

TSwissEphemeris::~TSwissEphemeris() { swe_close(); }

void TSwissEphemeris::ForgetResults() {
  for (auto& a : calcAnswers_) a.Used = false;
  for (auto& a : housesAnswers_) a.Used = false;
  nextCalc_ = nextHouses_ = 0;
}

void TSwissEphemeris::SetEphePath(const std::string& path) {
  path_ = path;
  jplMissing_ = false;
  ForgetResults();
  swe_set_ephe_path(path_.c_str());
}

double TSwissEphemeris::JulDay(int year, int month, int day, double hour, int gregFlag) {
  return swe_julday(year, month, day, hour, gregFlag);
}

double TSwissEphemeris::DeltaT(double tjdUT) { return swe_deltat(tjdUT); }

double TSwissEphemeris::SidTime(double tjdUT) { return swe_sidtime(tjdUT); }

int TSwissEphemeris::Calc(double tjdET, int body, int flags, TBodyValues& values, std::string& error) {
  if (jplMissing_ && (flags & SEFLG_JPLEPH) != 0) flags = (flags & ~SEFLG_JPLEPH) | SEFLG_SWIEPH;
  for (const TCalcAnswer& a : calcAnswers_) {
    if (a.Used && a.TjdET == tjdET && a.Body == body && a.Flags == flags) {
      values = a.Values;
      error = a.Error;
      return a.Result;
    }
  }
  char serr[AS_MAXCH] = "";
  double xx[6] = {0, 0, 0, 0, 0, 0};
  const int result = swe_calc(tjdET, body, flags, xx, serr);
  for (int i = 0; i < 6; ++i) values[static_cast<std::size_t>(i)] = xx[i];
  error = serr;
  // A refusal is not kept: a file put into the path later may answer it.
  if (result >= 0) {
    TCalcAnswer& slot = calcAnswers_[nextCalc_];
    nextCalc_ = (nextCalc_ + 1) % calcAnswers_.size();
    slot = TCalcAnswer{true, tjdET, body, flags, result, values, error};
  }
  // The library answers a missing JPL file by computing from its own files and saying so in
  // the flags it returns; remember it so that later calls do not search for the file again.
  if (result >= 0 && (flags & SEFLG_JPLEPH) != 0 && (result & SEFLG_JPLEPH) == 0) jplMissing_ = true;
  return result;
}

int TSwissEphemeris::Houses(double tjdUT, double geoLat, double geoLon, char hsys, THouseCusps& cusps,
                            TAscMc& ascmc) {
  for (const THousesAnswer& a : housesAnswers_) {
    if (a.Used && a.TjdUT == tjdUT && a.Lat == geoLat && a.Lon == geoLon && a.System == hsys) {
      cusps = a.Cusps;
      ascmc = a.AscMc;
      return a.Result;
    }
  }
  const int result = swe_houses(tjdUT, geoLat, geoLon, hsys, cusps.data(), ascmc.data());
  THousesAnswer& slot = housesAnswers_[nextHouses_];
  nextHouses_ = (nextHouses_ + 1) % housesAnswers_.size();
  slot = THousesAnswer{true, tjdUT, geoLat, geoLon, hsys, result, cusps, ascmc};
  return result;
}

}  // namespace tw::horoscope
