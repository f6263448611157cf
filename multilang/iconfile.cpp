#include "multilang/iconfile.h"

#include <cstdint>

namespace tw::multilang {
namespace {

std::uint32_t Le(std::string_view b, std::size_t at, int width) {
  std::uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

}  // namespace

std::string FirstIconImage(std::string_view b) {
  // Directory: reserved 0, type 1, count; then 16-byte entries whose last two fields are the
  // image's size and offset.
  constexpr std::size_t kHeader = 6, kEntry = 16;
  if (b.size() < kHeader + kEntry || Le(b, 0, 2) != 0 || Le(b, 2, 2) != 1 || Le(b, 4, 2) == 0) return {};
  std::uint32_t size = Le(b, kHeader + 8, 4);
  std::uint32_t offset = Le(b, kHeader + 12, 4);
  if (size == 0 || offset < kHeader + kEntry || offset > b.size() || size > b.size() - offset) return {};
  std::string out(b.substr(0, 4));
  out += '\x01';
  out += '\0';
  std::string entry(b.substr(kHeader, 12));
  const std::uint32_t newOffset = kHeader + kEntry;
  for (int i = 0; i < 4; ++i) entry.push_back(static_cast<char>((newOffset >> (8 * i)) & 0xFF));
  out += entry;
  out += b.substr(offset, size);
  return out;
}

}  // namespace tw::multilang
