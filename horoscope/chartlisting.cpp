// The plain-text listing of a computed chart: name and place, the local and universal moment,
// Julian days, local mean and sidereal time, one line per enabled body, and the house system
// with Ascendant, MC, Vertex and the twelve cusps.  Windows-1252 text, lines ended by CR LF;
// the labels are message texts of the current language.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "horoscope/horoscope.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysconst.h"
#include "platform/rtl/sysutils.h"

namespace tw::horoscope {

namespace {

// The runtime's I/O error number for a failed file operation.
int IoErrorCode(int err, bool creating) {
  switch (err) {
    case ENOENT: return creating ? 3 : 2;
    case ENOTDIR: return 3;
    case EACCES: case EPERM: case EROFS: case EISDIR: return 5;
    case EMFILE: case ENFILE: return 4;
    default: return creating ? 5 : 101;
  }
}

[[noreturn]] void RaiseIoError(int code) { throw EInOutError(Format(sysconst::SInOutError, {code}), code); }

// A text file written line by line through the runtime's buffer; a failure is reported at the
// line whose write failed or when the file is closed, and what was written before it stays.
class TListingFile {
 public:
  // The file is written over from its start and cut to the new length at Close, not emptied
  // first: a file emptied and written again is pushed to the disk when it is closed, which
  // would make every recalculation wait for the disk.
  explicit TListingFile(const std::string& fileName) {
    const int fd = ::open(ToNativePath(fileName).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) RaiseIoError(IoErrorCode(errno, true));
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
      const int err = errno;
      ::close(fd);
      RaiseIoError(IoErrorCode(err, true));
    }
  }
  ~TListingFile() {
    if (file_ == nullptr) return;
    // A listing that failed keeps the lines written before the failure and nothing older.
    std::fflush(file_);
    CutTail(file_);
    std::fclose(file_);
  }
  TListingFile(const TListingFile&) = delete;
  TListingFile& operator=(const TListingFile&) = delete;

  void Line(const std::string& text) {
    const std::string line = text + "\r\n";
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size()) RaiseIoError(IoErrorCode(errno, false));
    written_ += static_cast<off_t>(line.size());
  }

  void Close() {
    std::FILE* f = file_;
    file_ = nullptr;
    errno = 0;
    if (std::fflush(f) != 0 || !CutTail(f)) {
      const int err = errno;
      std::fclose(f);
      RaiseIoError(IoErrorCode(err, false));
    }
    if (std::fclose(f) != 0) RaiseIoError(IoErrorCode(errno, false));
  }

 private:
  // Removes what an earlier, longer listing left behind the new end (devices are not cut);
  // false with errno set when that fails.
  bool CutTail(std::FILE* f) const {
    struct stat st {};
    errno = 0;
    if (::fstat(::fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= written_) return true;
    return ::ftruncate(::fileno(f), written_) == 0;
  }

  std::FILE* file_ = nullptr;
  off_t written_ = 0;
};

std::string m(int nr) { return GetMessageText(nr); }
std::string deg(double x) { return DegreesToStr(true, true, x); }
std::string dt(TDateTime x) { return DateTimeToStrWholeYear(x); }
std::string fixed(double x, int width, int decimals) { return Format("%*.*f", {width, decimals, x}); }
// The sign of a longitude as its degrees are listed, so that both always agree.
std::string sign(double x) { return GetSignName(SignOfDisplayedLongitude(x)); }

std::string HouseSystemLine(THaeuserSystemTyp system) {
  const std::string name = GetHouseSystemName(system);
  if (system == THaeuserSystemTyp::Equal) return name;
  try {
    return Format(m(66), {name});
  } catch (const EConvertError&) {
    // A message text that is no pattern for one name: the name alone still says it.
    return name;
  }
}

}  // namespace

void THoroscope::WriteChartFile(const std::string& fileName) const {
  TListingFile out(fileName);
  const char tab = '\t';
  out.Line(m(42) + ": " + HorName);
  out.Line(m(43) + ": " + HorState + ", " + HorPlace + " " + LatitudeToStr(HorPlaceLatitude) + " " +
           LongitudeToStr(HorPlaceLongitude));
  out.Line(m(44) + ": " + dt(ContinuousToDateTime(HorDate + HorTime)) + " +/-GMT " + fixed(HorPlaceZoneHours, 4, 2));
  out.Line(" ==> GMT  : " + dt(HorBirthDateTimeGMT) + " " + m(58));
  out.Line(m(53) + fixed(HorJulianDateUT, 18, 8));
  out.Line(m(54) + fixed(HorJulianDateET, 18, 8));
  out.Line(m(55) + " " + dt(HorBirthDateTimeLocal));
  out.Line(m(57) + " " + fixed(HorSidrealTime, 12, 8));
  out.Line("");
  out.Line(m(62));
  for (int b = 0; b <= MaxValueBody; ++b) {
    if (HorBodyEnabled[b] == 0) continue;
    out.Line(GetBodyName(b) + tab + deg(HorLongitude[b]) + " " + RetrogradeMark(HorLongitudeSpeed[b]) + " " + tab +
             sign(HorLongitude[b]));
  }
  out.Line("");
  out.Line(m(63));
  out.Line(HouseSystemLine(HorHaeusersystem));
  out.Line("ASC" + std::string(1, tab) + deg(HorAscendant) + tab + sign(HorAscendant));
  out.Line("MC" + std::string(1, tab) + deg(HorMC) + tab + sign(HorMC));
  out.Line("Vertex" + std::string(1, tab) + deg(HorVertex) + tab + sign(HorVertex));
  for (int h = 1; h <= 12; ++h)
    out.Line(GetHouseLabel(h) + tab + deg(HorHouseCusp[h]) + tab + sign(HorHouseCusp[h]));
  out.Close();
}

}  // namespace tw::horoscope
