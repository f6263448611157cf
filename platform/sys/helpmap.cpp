#include "platform/sys/helpmap.h"

#include <string>

#include "platform/rtl/win1252.h"

namespace tw {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

// The fields of a line, split at runs of blanks and tabs.
std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

bool ParseContextNumber(std::string_view text, std::uint32_t& value) {
  if (text.empty() || text.size() > 10) return false;
  std::uint64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (n > 0xFFFFFFFFu) return false;
  value = static_cast<std::uint32_t>(n);
  return true;
}

std::string LineError(std::size_t lineNo, std::string_view reason) {
  return "line " + std::to_string(lineNo) + ": " + std::string(reason);
}

}  // namespace

bool ParseHelpTarget(std::string_view text, HelpTarget& target) {
  const std::size_t hash = text.find('#');
  std::string_view page = text.substr(0, hash);
  std::string_view anchor = hash == std::string_view::npos ? std::string_view() : text.substr(hash + 1);
  if (page.empty()) return false;
  for (char c : text) {
    if (IsControl(c) || IsBlank(c)) return false;
  }
  if (page.find(':') != std::string_view::npos) return false;
  std::string normal(page);
  for (char& c : normal) {
    if (c == '\\') c = '/';
  }
  if (normal.front() == '/' || normal.back() == '/') return false;
  // Every part must be a real name: no empty, "." or ".." parts that could leave the folder.
  std::size_t start = 0;
  while (start <= normal.size()) {
    std::size_t end = normal.find('/', start);
    if (end == std::string::npos) end = normal.size();
    const std::string_view part(normal.data() + start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  target.Page = std::move(normal);
  target.Anchor = std::string(anchor);
  return true;
}

const HelpTarget* HelpMap::FindContext(std::uint32_t context) const {
  const auto it = Contexts.find(context);
  return it == Contexts.end() ? nullptr : &it->second;
}

const HelpTarget* HelpMap::FindKeyword(std::string_view keyword, bool partial) const {
  if (keyword.empty()) return nullptr;
  for (const auto& [key, target] : Keywords) {
    if (partial) {
      if (key.size() >= keyword.size() && AnsiSameText(std::string_view(key).substr(0, keyword.size()), keyword))
        return &target;
    } else if (AnsiSameText(key, keyword)) {
      return &target;
    }
  }
  return nullptr;
}

HelpMap ParseHelpMap(std::string_view text) {
  HelpMap map;
  if (text.size() > MaxHelpMapSize) {
    map.Errors.push_back("the map is larger than " + std::to_string(MaxHelpMapSize) + " bytes");
    return map;
  }
  std::size_t lineNo = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    ++lineNo;
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const auto fields = SplitFields(line);
    if (fields.empty() || fields[0].front() == '#' || fields[0].front() == ';') continue;
    if (fields.size() < 2) {
      map.Errors.push_back(LineError(lineNo, "a number or keyword and a page are needed"));
      continue;
    }
    HelpTarget target;
    if (!ParseHelpTarget(fields.back(), target)) {
      map.Errors.push_back(LineError(lineNo, "the page is not a file name inside the help folder"));
      continue;
    }
    if (fields[0] == "keyword") {
      if (fields.size() < 3) {
        map.Errors.push_back(LineError(lineNo, "the keyword is missing"));
        continue;
      }
      // The keyword is the text between the first and the last field, inner blanks kept.
      const char* first = fields[1].data();
      const char* last = fields[fields.size() - 2].data() + fields[fields.size() - 2].size();
      const std::string keyword(first, static_cast<std::size_t>(last - first));
      bool seen = false;
      for (const auto& entry : map.Keywords) seen = seen || AnsiSameText(entry.first, keyword);
      if (seen) {
        map.Errors.push_back(LineError(lineNo, "the keyword is listed before"));
        continue;
      }
      map.Keywords.emplace_back(keyword, std::move(target));
      continue;
    }
    std::uint32_t context = 0;
    if (fields.size() != 2 || !ParseContextNumber(fields[0], context)) {
      map.Errors.push_back(LineError(lineNo, "a context number from 0 to 4294967295 is expected"));
      continue;
    }
    if (!map.Contexts.emplace(context, std::move(target)).second)
      map.Errors.push_back(LineError(lineNo, "the context number is listed before"));
  }
  return map;
}

}  // namespace tw
