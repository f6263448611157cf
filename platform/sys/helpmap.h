// The map of a help folder: which page, and which anchor on it, shows a help-context number
// or a keyword.
//
// The map is the text file "contexts.txt" in the help folder (see help.h), one entry a line:
//
//     # comment (also lines starting with ';'), blank lines are skipped
//     22014 contents.html
//     20000 bodies.html#sun
//     keyword Sun bodies.html#sun
//     keyword Transits of the Moon moon.html#transits
//
// A context line is a decimal number 0..4294967295 and a target; a keyword line is the word
// "keyword", the keyword (which may hold blanks) and a target, the target being the last
// field.  Fields are separated by blanks or tabs; lines end with LF or CR LF.  A target is a
// page inside the help folder, optionally followed by "#" and an anchor: relative, '/' or '\'
// separated, without "." or ".." parts, without ':' (no URL schemes) and without control
// characters.  A line that breaks these rules is skipped and reported in `Errors`; the other
// lines are still used.  For a context number or keyword listed twice the first line counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw {

struct HelpTarget {
  std::string Page;    // relative to the help folder, '/' separated
  std::string Anchor;  // without '#'; empty for the top of the page
};

struct HelpMap {
  std::map<std::uint32_t, HelpTarget> Contexts;
  std::vector<std::pair<std::string, HelpTarget>> Keywords;  // in file order
  std::vector<std::string> Errors;                            // "line N: reason"

  const HelpTarget* FindContext(std::uint32_t context) const;
  // Case-insensitive (Windows-1252).  `partial`: the first keyword, in file order, that
  // starts with the given text; an empty text finds nothing.
  const HelpTarget* FindKeyword(std::string_view keyword, bool partial) const;
};

// The largest map file read; a longer file is refused as a whole.
inline constexpr std::size_t MaxHelpMapSize = 1024 * 1024;

// Reads a map text.  Never raises; refused lines are listed in the result's Errors.
HelpMap ParseHelpMap(std::string_view text);

// Splits and checks a target "page[#anchor]"; false (target untouched) when it is not a safe
// page inside the help folder.
bool ParseHelpTarget(std::string_view text, HelpTarget& target);

}  // namespace tw
