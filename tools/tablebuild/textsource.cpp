#include "tools/tablebuild/textsource.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/rtl/win1252.h"

namespace tw::tablebuild {
namespace {

// Message numbers are 16-bit in the table; body numbers are those the charts compute (0..54).
constexpr int kMaxBody = 54;

std::string Where(const std::string& name, int line) { return name + ":" + std::to_string(line); }

[[noreturn]] void Fail(const std::string& where, const std::string& what) { throw SourceError(where + ": " + what); }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Takes one blank-separated word off the front of `s`.
std::string_view Word(std::string_view& s) {
  s = Trim(s);
  std::size_t n = 0;
  while (n < s.size() && s[n] != ' ' && s[n] != '\t') ++n;
  std::string_view w = s.substr(0, n);
  s = Trim(s.substr(n));
  return w;
}

int Number(std::string_view w, int lo, int hi, const std::string& where, const char* what) {
  int v = 0;
  const auto [p, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
  if (w.empty() || ec != std::errc() || p != w.data() + w.size() || v < lo || v > hi)
    Fail(where, std::string("bad ") + what + " \"" + std::string(w) + "\"");
  return v;
}

std::string Unescape(std::string_view s, const std::string& where) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i == s.size()) Fail(where, "escape at the end of the line");
    switch (s[i]) {
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case '\\': out += '\\'; break;
      default: Fail(where, std::string("unknown escape \\") + s[i]);
    }
  }
  return out;
}

// Calls `f(lineNumber, line)` for every line that is neither blank nor a comment.
template <class F>
void ForEachLine(std::string_view text, F&& f) {
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++number;
    line = Trim(line);
    if (line.empty() || line.front() == '#') continue;
    f(number, line);
  }
}

std::string ReplaceAll(std::string s, std::string_view from, std::string_view to) {
  for (std::size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
    s.replace(p, from.size(), to);
  return s;
}

}  // namespace

const std::map<int, int>& AspectAngles() {
  static const std::map<int, int> angles = {{1, 0}, {2, 180}, {3, 90}, {4, 120}, {5, 60}};
  return angles;
}

int ReferencedAspect(std::string_view text) {
  if (text.empty() || text.front() != '@') return 0;
  long angle = 0;
  for (std::size_t i = 1; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    angle = angle * 10 + (text[i] - '0');
    if (angle > 100000) return 0;
  }
  static const std::map<long, int> byAngle = {{0, 1}, {30, 6}, {60, 5}, {90, 3}, {120, 4}, {150, 7}, {180, 2}};
  const auto it = byAngle.find(angle);
  return it == byAngle.end() ? 0 : it->second;
}

std::string ToWin1252(std::string_view utf8, const std::string& where) {
  std::string out = Utf8ToWin1252(utf8, '?');
  // A malformed sequence or a character without a Windows-1252 byte does not survive the
  // round trip.
  if (Win1252ToUtf8(out) != utf8) Fail(where, "text is not valid UTF-8 of Windows-1252 characters");
  return out;
}

std::vector<MessageRow> ParseMessages(std::string_view text, const std::string& lang, const std::string& name) {
  std::vector<MessageRow> rows;
  std::set<int> seen;
  ForEachLine(text, [&](int n, std::string_view line) {
    const std::string where = Where(name, n);
    const int nr = Number(Word(line), 0, 32767, where, "message number");
    if (!seen.insert(nr).second) Fail(where, "message " + std::to_string(nr) + " defined twice");
    if (line.empty()) Fail(where, "message " + std::to_string(nr) + " has no text");
    rows.push_back({lang, nr, ToWin1252(Unescape(line, where), where)});
  });
  return rows;
}

InterpretationSource ParseInterpretations(std::string_view text, const std::string& lang, const std::string& name) {
  InterpretationSource src;
  src.Lang = lang;
  const auto aspect = [](std::string_view w, const std::string& where) {
    const int a = Number(w, 1, 11, where, "aspect");
    if (!AspectAngles().count(a)) Fail(where, "aspect " + std::to_string(a) + " is not searched");
    return a;
  };
  ForEachLine(text, [&](int n, std::string_view line) {
    const std::string where = Where(name, n);
    const std::string_view kind = Word(line);
    if (kind == "body") {
      const int b = Number(Word(line), 0, kMaxBody, where, "body");
      const std::size_t bar = line.find('|');
      if (bar == std::string_view::npos) Fail(where, "body needs \"name | theme\"");
      const std::string bodyName = ToWin1252(Trim(line.substr(0, bar)), where);
      const std::string theme = ToWin1252(Trim(line.substr(bar + 1)), where);
      if (bodyName.empty() || theme.empty()) Fail(where, "body needs a name and a theme");
      if (!src.Bodies.emplace(b, std::make_pair(bodyName, theme)).second) Fail(where, "body defined twice");
    } else if (kind == "pattern") {
      const int a = aspect(Word(line), where);
      if (line.empty()) Fail(where, "pattern has no text");
      std::string s = ToWin1252(Unescape(line, where), where);
      if (s.front() == '@') Fail(where, "a pattern must not begin with \"@\" (a reference is a ref line)");
      if (!src.Patterns.emplace(a, std::move(s)).second) Fail(where, "pattern defined twice");
    } else if (kind == "ref") {
      const int a = aspect(Word(line), where);
      const int angle = Number(Word(line), 0, 360, where, "angle");
      const std::string target = "@" + std::to_string(angle);
      const int r = ReferencedAspect(target);
      if (r == 0 || r == a || !AspectAngles().count(r)) Fail(where, "reference leads to no other searched aspect");
      if (!line.empty()) Fail(where, "unexpected text after the reference");
      if (!src.References.emplace(a, angle).second) Fail(where, "reference defined twice");
    } else if (kind == "none") {
      const int t = Number(Word(line), 0, kMaxBody, where, "body");
      const int r = Number(Word(line), 0, kMaxBody, where, "body");
      if (!line.empty()) Fail(where, "unexpected text after the bodies");
      src.NoEntry.emplace(t, r);
    } else if (kind == "text") {
      const int t = Number(Word(line), 0, kMaxBody, where, "body");
      const int r = Number(Word(line), 0, kMaxBody, where, "body");
      const int a = aspect(Word(line), where);
      if (line.empty()) Fail(where, "text is empty");
      std::string s = ToWin1252(Unescape(line, where), where);
      if (s.front() == '@') Fail(where, "an own text must not begin with \"@\"");
      if (!src.Texts.emplace(std::make_tuple(t, r, a), std::move(s)).second) Fail(where, "text defined twice");
    } else {
      Fail(where, "unknown line kind \"" + std::string(kind) + "\"");
    }
  });
  // References must end at a text: a referred aspect is not followed further.
  for (const auto& [a, angle] : src.References)
    if (src.References.count(ReferencedAspect("@" + std::to_string(angle))))
      throw SourceError(name + ": aspect " + std::to_string(a) + " refers to an aspect that refers again");
  for (const auto& [key, s] : src.Texts) {
    (void)s;
    const auto [t, r, a] = key;
    if (!src.Bodies.count(t) || !src.Bodies.count(r)) throw SourceError(name + ": text for an undeclared body");
  }
  return src;
}

std::vector<InterpretationRow> InterpretationSource::Rows() const {
  for (const auto& [a, angle] : AspectAngles()) {
    (void)angle;
    if (!Patterns.count(a) && !References.count(a))
      throw SourceError(Lang + ": aspect " + std::to_string(a) + " has neither pattern nor reference");
  }
  std::vector<InterpretationRow> rows;
  for (const auto& [t, tb] : Bodies) {
    for (const auto& [r, rb] : Bodies) {
      if (NoEntry.count({t, r})) continue;
      for (const auto& [a, angle] : AspectAngles()) {
        (void)angle;
        std::string text;
        if (const auto own = Texts.find({t, r, a}); own != Texts.end()) {
          text = own->second;
        } else if (const auto ref = References.find(a); ref != References.end()) {
          text = "@" + std::to_string(ref->second);
        } else {
          text = Patterns.at(a);
          text = ReplaceAll(text, "{T}", tb.first);
          text = ReplaceAll(text, "{R}", rb.first);
          text = ReplaceAll(text, "{t}", tb.second);
          text = ReplaceAll(text, "{r}", rb.second);
        }
        // The list writes a text as it stands, so a text carries its own paragraph end and
        // the empty line before the next heading.
        if (text.front() != '@' && text.back() != '\r') text += "\r\r";
        rows.push_back({Lang, t, r, a, std::move(text)});
      }
    }
  }
  return rows;
}

std::vector<std::pair<std::string, std::string>> ReadLanguageFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw SourceError(folder + ": no such folder");
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const fs::path p = entry.path();
    if (p.extension() != ".txt") continue;
    std::string lang = p.stem().string();
    if (lang.size() != 3 || !std::all_of(lang.begin(), lang.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); }))
      throw SourceError(p.string() + ": file name is not a three-letter language code");
    std::transform(lang.begin(), lang.end(), lang.begin(), [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    std::ifstream in(p, std::ios::binary);
    if (!in.is_open()) throw SourceError(p.string() + ": cannot be opened");
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) throw SourceError(p.string() + ": cannot be read");
    files.emplace_back(lang, s.str());
  }
  if (ec) throw SourceError(folder + ": " + ec.message());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace tw::tablebuild
