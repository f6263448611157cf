// The ephemeris seam over the Swiss Ephemeris library.  The library keeps global state, so
// there is one instance for the process; it is used from the user-interface thread only.
#pragma once

#include <string>

#include "horoscope/ephemeris.h"

namespace tw::horoscope {

// The folder of the system's ephemeris files.
inline constexpr const char* SystemEphemerisFolder = "/usr/share/libswe/ephe";

// The search path of the ephemeris files: the program's folder, then the system's folder.
std::string ProgramEphemerisPath();

class TSwissEphemeris final : public TEphemeris {
 public:
  // The process's instance; its search path starts as ProgramEphemerisPath().
  static TSwissEphemeris& Instance();

  void SetEphePath(const std::string& path) override;
  const std::string& EphePath() const { return path_; }
  double JulDay(int year, int month, int day, double hour, int gregFlag) override;
  double DeltaT(double tjdUT) override;
  double SidTime(double tjdUT) override;
  int Calc(double tjdET, int body, int flags, TBodyValues& values, std::string& error) override;
  int Houses(double tjdUT, double geoLat, double geoLon, char hsys, THouseCusps& cusps, TAscMc& ascmc) override;

 private:
  TSwissEphemeris();
  ~TSwissEphemeris() override;

  std::string path_;
  // Set once the library has reported that no JPL file lies in the path: from then on a request
  // for the JPL ephemeris goes straight to the Swiss Ephemeris files instead of searching the
  // folders again for every body.
  bool jplMissing_ = false;
};

}  // namespace tw::horoscope
