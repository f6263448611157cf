#include "platform/classes/stringtable.h"

#include <cstring>

namespace tw {

namespace {
// Calls f(id, text) for each complete record until f returns true; a record with an empty
// text is the table's last one, and a record cut off by the end of the blob ends the walk.
template <typename F>
void Walk(std::string_view table, F&& f) {
  std::size_t pos = 0;
  const std::size_t size = table.size();
  while (size - pos >= 3) {  // two bytes of number and at least the terminating zero
    const auto id = static_cast<std::uint16_t>(static_cast<unsigned char>(table[pos]) |
                                               (static_cast<unsigned char>(table[pos + 1]) << 8));
    const char* text = table.data() + pos + 2;
    const void* nul = std::memchr(text, '\0', size - pos - 2);
    if (nul == nullptr) return;  // unterminated text: damaged, nothing more to read
    const std::size_t len = static_cast<std::size_t>(static_cast<const char*>(nul) - text);
    if (f(id, std::string_view(text, len))) return;
    if (len == 0) return;  // the empty text ends the table
    pos += 2 + len + 1;
  }
}
}  // namespace

std::optional<std::string_view> ScanStringTable(std::string_view Table, std::uint16_t Id) {
  std::optional<std::string_view> found;
  Walk(Table, [&](std::uint16_t id, std::string_view text) {
    if (id != Id) return false;
    found = text;
    return true;
  });
  return found;
}

std::vector<std::pair<std::uint16_t, std::string_view>> ListStringTable(std::string_view Table) {
  std::vector<std::pair<std::uint16_t, std::string_view>> records;
  Walk(Table, [&](std::uint16_t id, std::string_view text) {
    records.emplace_back(id, text);
    return false;
  });
  return records;
}

std::string BuildStringTable(const std::vector<std::pair<std::uint16_t, std::string>>& Records) {
  std::string blob;
  for (const auto& [id, text] : Records) {
    blob += static_cast<char>(id & 0xFF);
    blob += static_cast<char>(id >> 8);
    blob.append(text.substr(0, text.find('\0')));  // a text ends at its first zero
    blob += '\0';
  }
  return blob;
}

}  // namespace tw
