// Scans arbitrary blobs as string tables: every lookup must stay inside the blob, and every
// text found must be a complete record of it; an empty text is the last record listed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/classes/stringtable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view blob(reinterpret_cast<const char*>(data), size);
  const auto records = tw::ListStringTable(blob);
  for (const auto& [id, text] : records) {
    const auto found = tw::ScanStringTable(blob, id);
    if (!found) std::abort();  // a listed id must be found
    if (text.empty() && text.data() != records.back().second.data()) std::abort();
    if (found->data() < blob.data() || found->data() + found->size() >= blob.data() + blob.size()) std::abort();
  }
  // Ids that are not in the blob.
  (void)tw::ScanStringTable(blob, 0);
  (void)tw::ScanStringTable(blob, 0xFFFF);
  return 0;
}
