// The date and time layouts the locale data gives (strftime patterns such as "%d.%m.%Y" or
// "%H:%M:%S"), turned into the program's date-time formats.  Any pattern must convert, and the
// result must be usable as a date format for writing and reading dates.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string pattern(reinterpret_cast<const char*>(data), size);
  const std::string format = tw::StrftimeToDateTimeFormat(pattern);
  if (!format.empty() && (format.front() == ' ' || format.back() == ' ')) __builtin_trap();

  tw::TFormatSettings fs = tw::DefaultFormatSettings();
  fs.ShortDateFormat = format;
  fs.LongTimeFormat = format;
  const std::string text = tw::FormatDateTime(format, 45000.75, fs);
  tw::TDateTime back = 0;
  (void)tw::TryStrToDate(text, back, fs);
  try {
    (void)tw::StrToDateTime(text, fs);
  } catch (const tw::EConvertError&) {
  }
  return 0;
}
