// The first icon of an icon file (".ICO"), as the file image of a one-icon file: the image a
// language keeps as its flag.
#pragma once

#include <string>
#include <string_view>

namespace tw::multilang {

// The file image of a one-icon file holding the first icon of `fileBytes`; empty when the
// bytes are no icon file or its first entry does not lie inside them.
std::string FirstIconImage(std::string_view fileBytes);

}  // namespace tw::multilang
