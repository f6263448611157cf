// Feeds arbitrary text to the number and date parsers.  The first byte picks the format
// settings (decimal and date separators, date order); the rest is the text.  Every parser
// must either succeed with a value that formats back, or fail cleanly.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tw;
  TFormatSettings fs = DefaultFormatSettings();
  std::uint8_t mode = 0;
  if (size > 0) {
    mode = data[0];
    if (mode & 1) {
      fs.DecimalSeparator = ',';
      fs.ThousandSeparator = '.';
    }
    if (mode & 2) {
      fs.DateSeparator = '.';
      fs.ShortDateFormat = "dd/mm/yyyy";
    }
    if (mode & 4) {
      fs.ShortDateFormat = "yyyy/mm/dd";
      mode &= 0xFD;
    }
    if (mode & 8) fs.TimeAMString = "";
    ++data;
    --size;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  ScopedFormatSettings scoped(fs);
  SetClock([] { return 45000.5; });

  double f = 0;
  if (TryStrToFloat(text, f, fs)) {
    if (std::isfinite(f)) {
      double back = 0;
      // The general format keeps 15 digits, so the value comes back when parsed again.
      if (!TryStrToFloat(FloatToStrF(f, ffGeneral, 15, 0, fs), back, fs)) __builtin_trap();
    }
  }
  try {
    (void)StrToFloat(text);
  } catch (const EConvertError&) {
  }
  std::int32_t i32 = 0;
  std::int64_t i64 = 0;
  int code = Val(text, i32);
  if (code < 0 || code > static_cast<int>(text.size()) + 1) __builtin_trap();
  code = Val(text, i64);
  if (code < 0 || code > static_cast<int>(text.size()) + 1) __builtin_trap();
  code = Val(text, f);
  if (code < 0 || code > static_cast<int>(text.size()) + 1) __builtin_trap();

  TDateTime d = 0;
  if (TryStrToDate(text, d, fs)) {
    // Written back with a four-digit year in the same order, the date reads the same.
    const char* layout = (mode & 4) ? "yyyy/m/d" : (mode & 2) ? "d/m/yyyy" : "m/d/yyyy";
    TDateTime back = 0;
    if (!TryStrToDate(FormatDateTime(layout, d, fs), back, fs) || back != d) __builtin_trap();
  }
  try {
    (void)StrToDateTime(text);
  } catch (const EConvertError&) {
  }
  try {
    (void)StrToTime(text);
  } catch (const EConvertError&) {
  }
  // Formats from outside text: any pattern must give text or EConvertError.
  try {
    (void)Format(text, {42, "x", 1.5});
  } catch (const EConvertError&) {
  }
  (void)FormatDateTime(text, 45000.25, fs);
  (void)FormatFloat(text, -1234.5678, fs);
  SetClock(nullptr);
  return 0;
}
