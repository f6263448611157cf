// String helpers of the runtime library.
#include "platform/rtl/sysconst.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw {
namespace {

inline bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string Trim(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsTrimmed(s[b])) ++b;
  while (e > b && IsTrimmed(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

std::string TrimLeft(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && IsTrimmed(s[b])) ++b;
  return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && IsTrimmed(s[e - 1])) --e;
  return std::string(s.substr(0, e));
}

std::string AnsiQuotedStr(std::string_view s, char quote) {
  std::string out;
  out.reserve(s.size() + 2);
  out.push_back(quote);
  for (char c : s) {
    out.push_back(c);
    if (c == quote) out.push_back(quote);
  }
  out.push_back(quote);
  return out;
}

std::string QuotedStr(std::string_view s) { return AnsiQuotedStr(s, '\''); }

std::string AnsiDequotedStr(std::string_view s, char quote) {
  if (s.empty() || s[0] != quote) return std::string(s);
  std::string out;
  for (std::size_t i = 1; i < s.size(); ++i) {
    if (s[i] == quote) {
      if (i + 1 < s.size() && s[i + 1] == quote) {
        out.push_back(quote);
        ++i;
      } else {
        break;  // the closing quote
      }
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

std::string StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                          TReplaceFlags flags) {
  if (oldPattern.empty()) return std::string(s);
  const bool ignoreCase = flags.Contains(rfIgnoreCase);
  const bool all = flags.Contains(rfReplaceAll);
  std::string searchIn = ignoreCase ? AnsiUpperCase(s) : std::string(s);
  std::string searchFor = ignoreCase ? AnsiUpperCase(oldPattern) : std::string(oldPattern);
  std::string out;
  out.reserve(s.size());
  std::size_t from = 0;
  while (from <= s.size()) {
    std::size_t at = searchIn.find(searchFor, from);
    if (at == std::string::npos) break;
    out.append(s, from, at - from);
    out.append(newPattern);
    from = at + oldPattern.size();
    if (!all) break;
  }
  if (from < s.size()) out.append(s, from, s.size() - from);
  return out;
}

std::size_t Pos(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  std::size_t at = s.find(sub);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::size_t LastDelimiter(std::string_view delimiters, std::string_view s) {
  std::size_t at = s.find_last_of(delimiters);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::string AdjustLineBreaks(std::string_view s) {
  std::string out;
  out.reserve(s.size() + s.size() / 16);
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      // A two-character break of either order counts once.
      if (i + 1 < s.size() && (s[i + 1] == '\r' || s[i + 1] == '\n') && s[i + 1] != c) ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

void Abort() { throw EAbort(sysconst::SOperationAborted); }

}  // namespace tw
