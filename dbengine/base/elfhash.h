// The ELF hash (the symbol hash of the System V object-file format): folder paths, cursor keys
// and password hashes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tw::dbengine {

// 0 when Len is 0 or less.
std::uint32_t ElfHash(const void* Buf, long Len);
inline std::uint32_t ElfHashShortString(std::string_view S) { return ElfHash(S.data(), static_cast<long>(S.size())); }

}  // namespace tw::dbengine
