#include "tools/rescomp/stringtable.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

namespace rescomp {

namespace {

// Code points of bytes 0x80..0x9F; 0 marks the unassigned ones.
constexpr char32_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::string Hex2(unsigned v) {
  static const char* digits = "0123456789ABCDEF";
  return std::string{digits[(v >> 4) & 15], digits[v & 15]};
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes one UTF-8 sequence at s[pos]; -1 when malformed (overlong, surrogate, truncated).
long DecodeUtf8(std::string_view s, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  int len;
  char32_t cp;
  if (b0 < 0x80) {
    ++pos;
    return b0;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
  } else {
    return -1;
  }
  if (pos + static_cast<std::size_t>(len) > s.size()) return -1;
  for (int i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + static_cast<std::size_t>(i)]);
    if ((b & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (b & 0x3F);
  }
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp < 0xE000))
    return -1;
  pos += static_cast<std::size_t>(len);
  return static_cast<long>(cp);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

CompileError::CompileError(const std::string& file, int line, const std::string& message)
    : std::runtime_error(line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message),
      file_(file),
      line_(line) {}

int CodePointToWin1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] != 0 && kHigh[i] == cp) return 0x80 + i;
  if (cp >= 0x80 && cp <= 0x9F && kHigh[cp - 0x80] == 0) return static_cast<int>(cp);
  return -1;
}

std::string CompileStringTable(std::string_view source, const std::string& fileName) {
  std::string out;
  std::map<unsigned, int> seen;  // id -> line
  int emptyLine = 0;             // the line of an empty text, which ends the table
  if (source.substr(0, 3) == "\xEF\xBB\xBF") source.remove_prefix(3);
  std::size_t pos = 0;
  int lineNo = 0;
  while (pos < source.size()) {
    std::size_t end = source.find('\n', pos);
    if (end == std::string_view::npos) end = source.size();
    std::string_view line = source.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; })) continue;
    if (line[0] == '#') continue;

    std::size_t i = 0;
    unsigned long id = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
      id = id * 10 + static_cast<unsigned long>(line[i] - '0');
      if (id > 65535) throw CompileError(fileName, lineNo, "string id above 65535");
      ++i;
    }
    if (i == 0) throw CompileError(fileName, lineNo, "a line must start with a decimal string id");
    if (i < line.size()) {
      if (line[i] != ' ' && line[i] != '\t')
        throw CompileError(fileName, lineNo, "the string id must be followed by one space or tab");
      ++i;
    }
    if (emptyLine != 0)
      throw CompileError(fileName, lineNo, "string id " + std::to_string(id) + " would never be found: the empty text on line " +
                                               std::to_string(emptyLine) + " ends the table");
    auto [it, fresh] = seen.emplace(static_cast<unsigned>(id), lineNo);
    if (!fresh)
      throw CompileError(fileName, lineNo, "string id " + std::to_string(id) + " already used on line " +
                                               std::to_string(it->second));

    std::string text;
    while (i < line.size()) {
      char c = line[i];
      if (c == '\0') throw CompileError(fileName, lineNo, "a zero byte cannot be part of a text");
      if (c == '\\') {
        if (i + 1 >= line.size()) throw CompileError(fileName, lineNo, "a backslash at the end of the line");
        char e = line[i + 1];
        i += 2;
        switch (e) {
          case 'n': text += '\n'; break;
          case 'r': text += '\r'; break;
          case 't': text += '\t'; break;
          case '\\': text += '\\'; break;
          case 'x': {
            int hi = i < line.size() ? HexValue(line[i]) : -1;
            int lo = i + 1 < line.size() ? HexValue(line[i + 1]) : -1;
            if (hi < 0 || lo < 0) throw CompileError(fileName, lineNo, "\\x needs two hexadecimal digits");
            if (hi == 0 && lo == 0) throw CompileError(fileName, lineNo, "\\x00 would end the text early");
            text += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
          }
          default:
            throw CompileError(fileName, lineNo, std::string("unknown escape \\") + e);
        }
        continue;
      }
      std::size_t at = i;
      long cp = DecodeUtf8(line, i);
      if (cp < 0)
        throw CompileError(fileName, lineNo, "malformed UTF-8 at column " + std::to_string(at + 1));
      int b = CodePointToWin1252(static_cast<char32_t>(cp));
      if (b < 0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "U+%04lX", static_cast<unsigned long>(cp));
        throw CompileError(fileName, lineNo,
                           std::string("character ") + buf + " at column " + std::to_string(at + 1) +
                               " has no Windows-1252 code");
      }
      text += static_cast<char>(b);
    }
    if (text.empty()) emptyLine = lineNo;
    out += static_cast<char>(id & 0xFF);
    out += static_cast<char>((id >> 8) & 0xFF);
    out += text;
    out += '\0';
  }
  return out;
}

std::string ResourceName(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::size_t dot = base.rfind('.');
  if (dot != std::string::npos && dot > 0) base.resize(dot);
  return base;
}

bool IsStringTableSource(const std::string& relativePath) {
  const std::string up = Upper(relativePath);
  if (up.rfind("STRINGS/", 0) != 0) return false;
  if (up.find('/', 8) != std::string::npos) return false;
  return up.size() > 12 && up.compare(up.size() - 4, 4, ".TXT") == 0;
}

void CheckUniqueNames(const std::vector<Resource>& resources) {
  std::map<std::string, const Resource*> byName;
  for (const auto& r : resources) {
    if (r.name.empty()) throw CompileError(r.path, 0, "a resource needs a name");
    auto [it, fresh] = byName.emplace(Upper(r.name), &r);
    if (!fresh) throw CompileError(r.path, 0, "resource name " + r.name + " is also used by " + it->second->path);
  }
}

std::string GenerateSource(const std::vector<Resource>& resources) {
  std::string out;
  out += "// Generated by the resource compiler from the files under resources/.  Do not edit.\n";
  out += "#include <cstddef>\n\n#include \"platform/classes/resources.h\"\n\nnamespace tw::embedded {\n\nnamespace {\n";
  for (std::size_t i = 0; i < resources.size(); ++i) {
    const std::string& b = resources[i].bytes;
    out += "const unsigned char kData" + std::to_string(i) + "[" + std::to_string(std::max<std::size_t>(b.size(), 1)) +
           "] = {";
    if (b.empty()) out += "0";
    for (std::size_t j = 0; j < b.size(); ++j) {
      if (j % 20 == 0) out += "\n    ";
      out += "0x" + Hex2(static_cast<unsigned char>(b[j])) + ",";
    }
    out += "\n};\n";
  }
  out += "}  // namespace\n\n";
  out += "extern const TEmbeddedResource kResources[];\nextern const std::size_t kResourceCount;\n\n";
  out += "const TEmbeddedResource kResources[" + std::to_string(std::max<std::size_t>(resources.size(), 1)) + "] = {\n";
  if (resources.empty()) out += "    {\"\", nullptr, 0},\n";
  for (std::size_t i = 0; i < resources.size(); ++i) {
    std::string literal;
    for (char c : resources[i].name) {
      auto u = static_cast<unsigned char>(c);
      if (std::isalnum(u) || c == '_' || c == '-' || c == '.' || c == ' ') {
        literal += c;
      } else {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\%03o", u);
        literal += buf;
      }
    }
    out += "    {\"" + literal + "\", kData" + std::to_string(i) + ", " + std::to_string(resources[i].bytes.size()) + "},\n";
  }
  out += "};\nconst std::size_t kResourceCount = " + std::to_string(resources.size()) + ";\n\n}  // namespace tw::embedded\n";
  return out;
}

}  // namespace rescomp
