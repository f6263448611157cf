// Reads arbitrary blobs through the engine's string-table reader: lookups of every id in the
// blob and of some ids that are not, the text cut to 255 characters, and the buffer copy.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dbengine/base/stringres.h"
#include "platform/classes/stringtable.h"
#include "platform/classes/resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string blob(reinterpret_cast<const char*>(data), size);
  tw::RegisterResource("FUZZ_STRINGS_ENGLISH", blob);
  {
    tw::dbengine::TqnStringResource reader("FUZZ_STRINGS", "");
    for (const auto& [id, text] : tw::ListStringTable(blob)) {
      const auto s = reader.GetString(id);
      if (s.Length() > 255) std::abort();
      char buf[8];
      reader.GetStringToBuf(id, buf, 7);
    }
    (void)reader.GetString(-1);
    (void)reader.GetString(70000);
    (void)reader.GetString(0);
  }
  tw::UnregisterResource("FUZZ_STRINGS_ENGLISH");
  return 0;
}
