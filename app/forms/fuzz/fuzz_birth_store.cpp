// Feeds the stored birth dates and times the options window reads back with arbitrary text:
// each reads as a valid value or as none, and a value read writes back to the same value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/forms/optionswindow.h"
#include "entry/date/dayarith.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  for (const char* mask : {"mm/dd/yyyy", "dd.mm.yyyy", "yyyy-mm-dd"}) {
    const std::int32_t day = tw::app::BirthDateFromStore(input, mask, 1910);
    if (day < -1 || day > tw::entry::MaxDayNumber) std::abort();
    if (day >= 0 && tw::app::BirthDateFromStore(tw::app::BirthDateToStore(day), mask, 1910) != day) std::abort();
  }
  for (const char* mask : {"hh:mm", "Hh:mm tt"}) {
    const std::int32_t seconds = tw::app::BirthTimeFromStore(input, mask);
    if (seconds < -1 || seconds >= 86400) std::abort();
    if (seconds >= 0 && tw::app::BirthTimeFromStore(tw::app::BirthTimeToStore(seconds), mask) != seconds / 60 * 60)
      std::abort();
  }
  return 0;
}
