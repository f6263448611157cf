#include "platform/classes/inidata.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string Upper(const std::string& s) { return AnsiUpperCase(s); }

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// The '=' between key and value; in escaped text "\=" belongs to the key.
std::size_t FindSeparator(const std::string& t, bool escaped) {
  if (!escaped) return t.find('=');
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\\')
      ++i;
    else if (t[i] == '=')
      return i;
  }
  return std::string::npos;
}

}  // namespace

std::string IniEscape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\v': out += "\\v"; break;
      case '\f': out += "\\f"; break;
      case '\0': out += "\\0"; break;
      case '=': out += "\\="; break;
      case ' ':
        // Blanks at either edge would be trimmed away when read.
        out += (i == 0 || i + 1 == s.size()) ? "\\s" : " ";
        break;
      case ';':
      case '[':
        if (i == 0) out += '\\';
        out += c;
        break;
      default: out += c; break;
    }
  }
  return out;
}

std::string IniUnescape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c != '\\' || i + 1 == s.size()) {
      out += c;
      continue;
    }
    char n = s[++i];
    switch (n) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'v': out += '\v'; break;
      case 'f': out += '\f'; break;
      case '0': out += '\0'; break;
      case 's': out += ' '; break;
      default: out += n; break;  // '\\', '=', ';', '[' and anything unknown stand for themselves
    }
  }
  return out;
}

void TIniData::Reindex(Section& section) {
  section.keys.clear();
  for (std::size_t i = 0; i < section.lines.size(); ++i)
    if (section.lines[i].isKey) section.keys.emplace(Upper(section.lines[i].key), i);
}

TFileSignature FileSignatureOf(const std::string& path) {
  TFileSignature sig;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return sig;
  sig.exists = true;
  sig.size = st.st_size;
  sig.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  sig.inode = st.st_ino;
  return sig;
}

void TIniData::Clear() {
  preamble_.clear();
  sections_.clear();
  index_.clear();
}

void TIniData::Parse(const std::string& text) {
  Clear();
  std::size_t pos = 0;
  Section* current = nullptr;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(pos, end - pos);
    pos = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string t = Trim(raw);
    if (!t.empty() && t[0] == '[') {
      std::size_t close = t.find(']');
      std::string name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      sections_.push_back(Section{name, raw, {}, {}});
      current = &sections_.back();
      // The first section of a name counts; later ones are kept but not looked at.
      index_.emplace(Upper(name), sections_.size() - 1);
      continue;
    }
    if (current == nullptr) {
      preamble_.push_back(raw);
      continue;
    }
    Line line;
    line.raw = raw;
    std::size_t eq = FindSeparator(t, escaped_);
    if (!t.empty() && t[0] != ';' && eq != std::string::npos) {
      std::string key = Trim(t.substr(0, eq));
      std::string value = Trim(t.substr(eq + 1));
      if (escaped_) {
        key = IniUnescape(key);
        value = IniUnescape(value);
      } else if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        value = value.substr(1, value.size() - 2);
      }
      if (!key.empty()) {
        line.isKey = true;
        line.key = std::move(key);
        line.value = std::move(value);
      }
    }
    current->lines.push_back(std::move(line));
  }
  for (auto& section : sections_) Reindex(section);
}

std::string TIniData::Serialize() const {
  std::string out;
  for (const auto& raw : preamble_) {
    out += raw;
    out += '\n';
  }
  for (const auto& s : sections_) {
    out += s.header;
    out += '\n';
    for (const auto& l : s.lines) {
      out += l.raw;
      out += '\n';
    }
  }
  return out;
}

TIniData::Section* TIniData::FindSection(const std::string& section) {
  auto it = index_.find(Upper(section));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

const TIniData::Section* TIniData::FindSection(const std::string& section) const {
  auto it = index_.find(Upper(section));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

bool TIniData::SectionExists(const std::string& section) const { return FindSection(section) != nullptr; }

const std::string* TIniData::Find(const std::string& section, const std::string& ident) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return nullptr;
  auto it = s->keys.find(Upper(ident));
  return it == s->keys.end() ? nullptr : &s->lines[it->second].value;
}

std::string TIniData::Render(const std::string& key, const std::string& value) const {
  if (escaped_) return IniEscape(key) + "=" + IniEscape(value);
  const bool quote = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                                        (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
                                         value.back() == value[0]));
  return key + "=" + (quote ? "\"" + value + "\"" : value);
}

void TIniData::CheckWritable(const std::string& section, const std::string& ident, const std::string& value) const {
  if (section.empty() || Trim(section) != section || section.find(']') != std::string::npos || HasLineBreak(section))
    throw EIniFileException("Invalid INI section name \"" + section + "\"");
  if (ident.empty() || Trim(ident) != ident || ident.find('=') != std::string::npos || HasLineBreak(ident) ||
      (!escaped_ && (ident[0] == ';' || ident[0] == '[')))
    throw EIniFileException("Invalid INI key name \"" + ident + "\" in section " + section);
  if (!escaped_ && HasLineBreak(value))
    throw EIniFileException("The value of " + ident + " in section " + section +
                            " holds a line break, which an INI file cannot store");
}

void TIniData::AddSection(const std::string& section) {
  if (FindSection(section) != nullptr) return;
  if (!sections_.empty()) {
    auto& prev = sections_.back().lines;
    if (prev.empty() || !Trim(prev.back().raw).empty()) prev.push_back(Line{});
  } else if (!preamble_.empty() && !Trim(preamble_.back()).empty()) {
    preamble_.emplace_back();
  }
  sections_.push_back(Section{section, "[" + section + "]", {}, {}});
  index_.emplace(Upper(section), sections_.size() - 1);
}

void TIniData::Write(const std::string& section, const std::string& ident, const std::string& value) {
  AddSection(section);
  Section* s = FindSection(section);
  auto found = s->keys.find(Upper(ident));
  if (found != s->keys.end()) {
    Line& l = s->lines[found->second];
    l.value = value;
    l.raw = Render(l.key, value);
    return;
  }
  Line line;
  line.isKey = true;
  line.key = ident;
  line.value = value;
  line.raw = Render(ident, value);
  // After the last line that is not blank, so that the blank line before the next section stays.
  auto it = s->lines.end();
  while (it != s->lines.begin() && Trim((it - 1)->raw).empty()) --it;
  s->lines.insert(it, std::move(line));
  Reindex(*s);
}

bool TIniData::EraseSection(const std::string& section) {
  const std::string key = Upper(section);
  const auto before = sections_.size();
  sections_.erase(std::remove_if(sections_.begin(), sections_.end(), [&](const Section& s) { return Upper(s.name) == key; }),
                  sections_.end());
  if (sections_.size() == before) return false;
  index_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i) index_.emplace(Upper(sections_[i].name), i);
  return true;
}

bool TIniData::DeleteKey(const std::string& section, const std::string& ident) {
  Section* s = FindSection(section);
  if (s == nullptr) return false;
  auto found = s->keys.find(Upper(ident));
  if (found == s->keys.end()) return false;
  s->lines.erase(s->lines.begin() + static_cast<std::ptrdiff_t>(found->second));
  Reindex(*s);
  return true;
}

std::vector<std::string> TIniData::Sections() const {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    auto it = index_.find(Upper(sections_[i].name));
    if (it != index_.end() && it->second == i) names.push_back(sections_[i].name);
  }
  return names;
}

std::vector<std::string> TIniData::Keys(const std::string& section) const {
  std::vector<std::string> keys;
  for (const auto& [k, v] : Values(section)) keys.push_back(k);
  return keys;
}

std::vector<std::pair<std::string, std::string>> TIniData::Values(const std::string& section) const {
  std::vector<std::pair<std::string, std::string>> values;
  const Section* s = FindSection(section);
  if (s == nullptr) return values;
  for (std::size_t i = 0; i < s->lines.size(); ++i) {
    const Line& l = s->lines[i];
    // A key written twice counts once, with its first line.
    if (l.isKey && s->keys.at(Upper(l.key)) == i) values.emplace_back(l.key, l.value);
  }
  return values;
}

}  // namespace tw
