// The text sources of the program's two data tables and what they turn into.
//
// Message source (one file per language, "<LANG>.txt", UTF-8):
//     # comment                    blank lines are skipped as well
//     <number> <text>              the text may hold \r, \n, \t and \\ escapes
//
// Interpretation source (one file per language, "<LANG>.txt", UTF-8):
//     body <n> <name> | <theme>    a body that takes part, its name and what it stands for
//     pattern <aspect> <text>      the text of an aspect between any two bodies; {T} and {R}
//                                  stand for the transit and radix body's name, {t} and {r}
//                                  for their themes
//     ref <aspect> <angle>         the aspect reads as the one at <angle> degrees: its rows
//                                  hold "@<angle>"
//     none <transit> <radix>       deliberately no entry for this pair of bodies
//     text <transit> <radix> <aspect> <text>   a text of its own for one combination
//
// A text that does not end with \r is given a paragraph end and an empty line ("\r\r").
// Every text is converted to Windows-1252; a character without a Windows-1252 byte, a
// malformed line or a duplicate definition is an error naming the file and line.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace tw::tablebuild {

class SourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct MessageRow {
  std::string Lang;
  int Nr = 0;
  std::string Text;  // Windows-1252
};

struct InterpretationRow {
  std::string Lang;
  int TransitBody = 0;
  int RadixBody = 0;
  int Aspect = 0;
  std::string Text;  // Windows-1252; "@<angle>" for a reference
};

// The aspects the program searches and the angle of each (aspect number → degrees).
const std::map<int, int>& AspectAngles();
// The aspect an "@" reference leads to: the angle in the decimal digits after "@" (none: 0)
// mapped to its aspect number; 0 for an angle that names no aspect.
int ReferencedAspect(std::string_view text);

// UTF-8 to Windows-1252; raises SourceError (with `where` in the text) for malformed UTF-8 or a
// character that has no Windows-1252 byte.
std::string ToWin1252(std::string_view utf8, const std::string& where);

// Parse one language's source text.  `lang` is the three-letter code, `name` is used in errors.
std::vector<MessageRow> ParseMessages(std::string_view text, const std::string& lang, const std::string& name);

struct InterpretationSource {
  std::string Lang;
  std::map<int, std::pair<std::string, std::string>> Bodies;  // number → (name, theme)
  std::map<int, std::string> Patterns;                        // aspect → pattern
  std::map<int, int> References;                              // aspect → angle
  std::set<std::pair<int, int>> NoEntry;                      // (transit, radix)
  std::map<std::tuple<int, int, int>, std::string> Texts;     // own texts

  // The rows of the table: for every pair of bodies not marked "none" and every aspect, the
  // own text, else the reference, else the filled-in pattern.  Raises SourceError when an
  // aspect has neither pattern nor reference.
  std::vector<InterpretationRow> Rows() const;
};

InterpretationSource ParseInterpretations(std::string_view text, const std::string& lang, const std::string& name);

// Every "<LANG>.txt" of a folder, language code upper case, in name order.  Raises SourceError
// for a missing folder, an unreadable file or a file name that is not a three-letter code.
std::vector<std::pair<std::string, std::string>> ReadLanguageFiles(const std::string& folder);

}  // namespace tw::tablebuild
