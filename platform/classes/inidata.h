// The contents of an INI file as lines, shared by TIniFile and the settings store.  Other
// lines (comments, lines the parser does not understand) are kept as they are, so that a
// rewrite changes only what was changed.  Not a public header of the module.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tw {

class TIniData {
 public:
  // Escaped mode (the settings store): names and values are written with backslash escapes so
  // that any byte string, line breaks and edge blanks included, comes back unchanged; plain
  // mode (INI files): values are trimmed and one pair of surrounding quotes is removed, as the
  // window system's profile routines do.
  explicit TIniData(bool escaped) : escaped_(escaped) {}

  void Parse(const std::string& text);
  std::string Serialize() const;
  void Clear();

  bool SectionExists(const std::string& section) const;
  // nullptr when missing.
  const std::string* Find(const std::string& section, const std::string& ident) const;
  void Write(const std::string& section, const std::string& ident, const std::string& value);
  // Creates an empty section when missing.
  void AddSection(const std::string& section);
  bool EraseSection(const std::string& section);
  bool DeleteKey(const std::string& section, const std::string& ident);
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(const std::string& section) const;
  std::vector<std::pair<std::string, std::string>> Values(const std::string& section) const;

  // Throws EIniFileException when plain mode cannot store the name or value faithfully.
  void CheckWritable(const std::string& section, const std::string& ident, const std::string& value) const;

 private:
  struct Line {
    std::string raw;    // as read, or as rendered after a change
    std::string key;    // empty: not a key line
    std::string value;
    bool isKey = false;
  };
  struct Section {
    std::string name;
    std::string header;
    std::vector<Line> lines;
    std::map<std::string, std::size_t> keys;  // upper-cased key -> its first line
  };
  static void Reindex(Section& section);
  Section* FindSection(const std::string& section);
  const Section* FindSection(const std::string& section) const;
  std::string Render(const std::string& key, const std::string& value) const;

  bool escaped_;
  std::vector<std::string> preamble_;
  std::vector<Section> sections_;
  std::map<std::string, std::size_t> index_;  // upper-cased name -> position in sections_
};

// Backslash escapes of the settings store.
std::string IniEscape(const std::string& s);
std::string IniUnescape(const std::string& s);

// A file's identity at one moment, to see whether it changed on disk.
struct TFileSignature {
  bool exists = false;
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;
  std::uint64_t inode = 0;
  bool operator==(const TFileSignature&) const = default;
};
TFileSignature FileSignatureOf(const std::string& path);

}  // namespace tw
