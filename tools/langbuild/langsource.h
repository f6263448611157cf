// The language file's source: the INI form of a ".LAN" file, kept as UTF-8 text in the
// repository.  Sections are named "<form section>.<language>", keys "<component>.<property>"
// with "%<value ID>" appended for an item or line, values are the translated texts.  The
// languages are numbered in the order they first appear, the default language always 0.
#pragma once

#include <string>
#include <string_view>

#include "multilang/langfile.h"

namespace tw::langbuild {

class ELangSourceError : public Exception {
 public:
  using Exception::Exception;
};

// Reads the UTF-8 INI text into a language file.  Raises ELangSourceError (with the line or
// section concerned) for text that is not UTF-8, characters the 8-bit code page cannot hold,
// section or key names without their ".", value IDs that are not numbers, and a source
// without any language section.  `stamp` is written as the file's date stamp.
multilang::TLanFile LanFromIniSource(std::string_view utf8Text, const std::string& defaultLanguage,
                                     const std::string& stamp);

}  // namespace tw::langbuild
