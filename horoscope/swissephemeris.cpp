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

void TSwissEphemeris::SetEphePath(const std::string& path) {
  path_ = path;
  jplMissing_ = false;
  swe_set_ephe_path(path_.c_str());
}

double TSwissEphemeris::JulDay(int year, int month, int day, double hour, int gregFlag) {
  return swe_julday(year, month, day, hour, gregFlag);
}

double TSwissEphemeris::DeltaT(double tjdUT) { return swe_deltat(tjdUT); }

double TSwissEphemeris::SidTime(double tjdUT) { return swe_sidtime(tjdUT); }

int TSwissEphemeris::Calc(double tjdET, int body, int flags, TBodyValues& values, std::string& error) {
  if (jplMissing_ && (flags & SEFLG_JPLEPH) != 0) flags = (flags & ~SEFLG_JPLEPH) | SEFLG_SWIEPH;
  char serr[AS_MAXCH] = "";
  double xx[6] = {0, 0, 0, 0, 0, 0};
  const int result = swe_calc(tjdET, body, flags, xx, serr);
  for (int i = 0; i < 6; ++i) values[static_cast<std::size_t>(i)] = xx[i];
  error = serr;
  // The library answers a missing JPL file by computing from its own files and saying so in
  // the flags it returns; remember it so that later calls do not search for the file again.
  if (result >= 0 && (flags & SEFLG_JPLEPH) != 0 && (result & SEFLG_JPLEPH) == 0) jplMissing_ = true;
  return result;
}

int TSwissEphemeris::Houses(double tjdUT, double geoLat, double geoLon, char hsys, THouseCusps& cusps,
                            TAscMc& ascmc) {
  return swe_houses(tjdUT, geoLat, geoLon, hsys, cusps.data(), ascmc.data());
}

}  // namespace tw::horoscope
