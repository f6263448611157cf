// The raw format of a string-table resource: records laid end to end, each a 16-bit
// little-endian text number at any offset followed by the text (Windows-1252) and one zero
// byte.  Numbers need not be sorted; the first record of a number wins.  The scan stays within
// the blob: a record cut off by the blob's end (no room for the number, or no terminating
// zero) ends the table.  A record whose text is empty ends the table as well: it is found by
// its own number (with the empty text), and no record after it is ever read.
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

// Every record in order up to the end of the table (for checks and tools).
std::vector<std::pair<std::uint16_t, std::string_view>> ListStringTable(std::string_view Table);

// Builds a blob from records as they are given (for tests and tools); an empty text among
// them ends the table there.
std::string BuildStringTable(const std::vector<std::pair<std::uint16_t, std::string>>& Records);

}  // namespace tw
