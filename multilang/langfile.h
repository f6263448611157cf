// The stored forms of a language component's entries: the binary language file (".LAN"), the
// binary form-resource value "LanguagesData", and the texts of the file-error reporter.
//
// Strings are a length byte 0..254 and the characters, or the byte 255, a 32-bit length and the
// characters; integers are little-endian.  The readers check every length against what is left
// and raise ELangFileError on truncated or damaged input; they never return partial garbage.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace tw::multilang {

class ELangFileError : public Exception {
 public:
  using Exception::Exception;
};

// Size of the icon slot of a language record (a 32x32 16-colour icon's file image).
constexpr std::size_t kIconSlotSize = 766;
// The name of the section that holds the languages.
inline constexpr const char* kLanguagesSection = "Languages:";

struct TLanLanguage {
  std::int16_t Kind = 0;
  std::int16_t ID = 0;
  std::string Name;
  std::string Icon;  // the icon's file image (at most kIconSlotSize bytes), empty = none
};

struct TLanValue {
  std::int16_t Kind = 1;
  std::int16_t ID = 0;
  std::string Text;
  std::string Component;
  std::string Property;
  std::int16_t ValueID = -1;
};

struct TLanguagesBody {
  std::string Stamp;  // the date stamp as written (floating-point text)
  std::vector<TLanLanguage> Languages;
};

// One form section of a ".LAN" file, its body kept byte for byte.
struct TLanSection {
  std::string Name;
  std::string Body;
};

struct TLanFile {
  bool HasLanguages = false;
  // False when the reading stopped at a section whose end offset does not lie after its start:
  // the sections after it were not read, so the file must not be written again from this.
  bool Whole = true;
  TLanguagesBody Languages;
  std::vector<TLanSection> Sections;  // the form sections, in file order
  // The section of that name, nullptr when none.
  const TLanSection* Find(const std::string& name) const;
};

// The bytes every ".LAN" file starts with.
const std::string& LanHeader();
bool HasLanHeader(std::string_view bytes);

// Whole-file codec.  ParseLanFile raises ELangFileError for a file without the header or with
// damaged contents.  A section whose end offset does not lie after its start ends the reading
// (the sections before it are kept).
TLanFile ParseLanFile(std::string_view bytes);
std::string BuildLanFile(const TLanFile& file);

// Section bodies.
TLanguagesBody ParseLanguagesBody(std::string_view body);
std::vector<TLanValue> ParseFormBody(std::string_view body);
std::string BuildLanguagesBody(const TLanguagesBody& body);
std::string BuildFormBody(const std::vector<TLanValue>& values);

// "LanguagesData": the languages body followed by the form body.
struct TLanguagesData {
  TLanguagesBody Languages;
  std::vector<TLanValue> Values;
};
TLanguagesData ParseLanguagesData(std::string_view bytes);
std::string BuildLanguagesData(const TLanguagesData& data);

// The reporter's texts: "TLangSwitch File error (<name>): <text of the DOS error code>".
std::string DosErrorText(int code);
std::string LangFileErrorText(const std::string& fileName, int code);
// DOS error code for a C errno value (unknown ones give 31, "General failure").
int DosErrorFromErrno(int err);

// "%EXEPATH%" anywhere in the name (any case) becomes `programFolder`; at most 255 characters
// after it are kept.
std::string ExpandFileName(const std::string& name, const std::string& programFolder);

// Soundex code of a text (ampersands removed, upper case, first letter kept, then the codes).
std::string Soundex(const std::string& text);

}  // namespace tw::multilang
