// The raw format of a string-table resource: records laid end to end, each a 16-bit
// little-endian text number at any offset followed by the text (Windows-1252) and one zero
// byte.  Numbers need not be sorted; the first record of a number wins.  The scan stays within
// the blob: a record cut off by the blob's end (no room for the number, or no terminating
// zero) ends the table.  An empty text is a text like any other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw {

// The text of Id in Table, or nothing when the table does not hold it.
std::optional<std::string_view> ScanStringTable(std::string_view Table, std::uint16_t Id);

// Every complete record in order (for checks and tools).
std::vector<std::pair<std::uint16_t, std::string_view>> ListStringTable(std::string_view Table);

// Builds a blob from records (for tests and tools).
std::string BuildStringTable(const std::vector<std::pair<std::uint16_t, std::string>>& Records);

}  // namespace tw
