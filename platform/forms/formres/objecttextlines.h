// Text-to-binary conversion that remembers, for each object header and property, the offset in
// the binary bytes and the line of the text, so that the component reader can name the line of
// a value it rejects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw {

using TTextLineMap = std::vector<std::pair<std::int64_t, int>>;  // (binary offset, text line)
std::string ObjectTextToBinary(std::string_view text, TTextLineMap& lines);

}  // namespace tw
