// The ephemeris seam over the Swiss Ephemeris library.  The library keeps global state, so
// there is one instance for the process; it is used from the user-interface thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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
  // How many body positions the library itself has computed.
  std::uint64_t LibraryCalcs() const { return libraryCalcs_; }

 private:
  TSwissEphemeris();
  ~TSwissEphemeris() override;
  void ForgetResults();

  std::string path_;
  // The last answers of Calc and Houses.  The library's answer depends on nothing but the
  // arguments and the files in the path, so a question asked again (the same birth chart at
  // every recalculation of the list) is answered from here; that also spares the library
  // loading the file sections of that moment again, which would push out the ones of the
  // moment asked next.  The answer asked longest ago makes room; a new path forgets them all.
  struct TCalcAnswer {
    std::uint64_t Used = 0;  // when last asked; 0: empty
    double TjdET = 0;
    int Body = 0, Flags = 0, Result = 0;
    TBodyValues Values{};
    std::string Error;
  };
  struct THousesAnswer {
    std::uint64_t Used = 0;
    double TjdUT = 0, Lat = 0, Lon = 0;
    char System = 0;
    int Result = 0;
    THouseCusps Cusps{};
    TAscMc AscMc{};
  };
  std::array<TCalcAnswer, 64> calcAnswers_{};
  std::array<THousesAnswer, 4> housesAnswers_{};
  std::uint64_t clock_ = 0;  // counts the questions
  std::uint64_t libraryCalcs_ = 0;
  // Set once the library has reported that no JPL file lies in the path: from then on a request
  // for the JPL ephemeris goes straight to the Swiss Ephemeris files instead of searching the
  // folders again for every body.
  bool jplMissing_ = false;
};

}  // namespace tw::horoscope
