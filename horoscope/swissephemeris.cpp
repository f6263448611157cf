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

namespace {

// The slot asked longest ago (an empty one first).
template <class Answers>
auto& Oldest(Answers& answers) {
  auto* oldest = &answers[0];
  for (auto& a : answers)
    if (a.Used < oldest->Used) oldest = &a;
  return *oldest;
}

}  // namespace

void TSwissEphemeris::ForgetResults() {
  for (auto& a : calcAnswers_) a.Used = 0;
  for (auto& a : housesAnswers_) a.Used = 0;
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
  ++clock_;
  for (TCalcAnswer& a : calcAnswers_) {
    if (a.Used != 0 && a.TjdET == tjdET && a.Body == body && a.Flags == flags) {
      a.Used = clock_;
      values = a.Values;
      error = a.Error;
      return a.Result;
    }
  }
  char serr[AS_MAXCH] = "";
  double xx[6] = {0, 0, 0, 0, 0, 0};
  const int result = swe_calc(tjdET, body, flags, xx, serr);
  ++libraryCalcs_;
  for (int i = 0; i < 6; ++i) values[static_cast<std::size_t>(i)] = xx[i];
  error = serr;
  // The library answers a missing JPL file by computing from its own files and saying so in
  // the flags it returns; remember it so that later calls do not search for the file again.
  // That answer is not kept (later questions ask for the library's own files); nor is a
  // refusal, which a file put into the path later may answer.
  if (result >= 0 && (flags & SEFLG_JPLEPH) != 0 && (result & SEFLG_JPLEPH) == 0)
    jplMissing_ = true;
  else if (result >= 0)
    Oldest(calcAnswers_) = TCalcAnswer{clock_, tjdET, body, flags, result, values, error};
  return result;
}

int TSwissEphemeris::Houses(double tjdUT, double geoLat, double geoLon, char hsys, THouseCusps& cusps,
                            TAscMc& ascmc) {
  ++clock_;
  for (THousesAnswer& a : housesAnswers_) {
    if (a.Used != 0 && a.TjdUT == tjdUT && a.Lat == geoLat && a.Lon == geoLon && a.System == hsys) {
      a.Used = clock_;
      cusps = a.Cusps;
      ascmc = a.AscMc;
      return a.Result;
    }
  }
  const int result = swe_houses(tjdUT, geoLat, geoLon, hsys, cusps.data(), ascmc.data());
  Oldest(housesAnswers_) = THousesAnswer{clock_, tjdUT, geoLat, geoLon, hsys, result, cusps, ascmc};
  return result;
}

}  // namespace tw::horoscope
