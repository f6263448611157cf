// Process-wide format settings and their derivation from the environment's locale.
#include "platform/rtl/formatsettings.h"

#include <langinfo.h>
#include <locale.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/rtl/win1252.h"

namespace tw {
namespace {

// The locale name that governs a category: LC_ALL, then the category's variable, then LANG.
std::string LocaleNameFor(const char* categoryVariable) {
  for (const char* var : {"LC_ALL", categoryVariable, "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

bool IsPlainLocale(const std::string& name) {
  return name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

// A locale_t for one category, or nullptr when the locale is the plain one or unknown.
class CategoryLocale {
 public:
  CategoryLocale(int mask, const char* variable) {
    std::string name = LocaleNameFor(variable);
    if (!IsPlainLocale(name)) loc_ = newlocale(mask, name.c_str(), static_cast<locale_t>(nullptr));
    if (loc_ != nullptr) {
      const char* codeset = nl_langinfo_l(CODESET, loc_);
      utf8_ = codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    }
  }
  ~CategoryLocale() {
    if (loc_ != nullptr) freelocale(loc_);
  }
  CategoryLocale(const CategoryLocale&) = delete;
  CategoryLocale& operator=(const CategoryLocale&) = delete;

  explicit operator bool() const { return loc_ != nullptr; }

  // The item as Windows-1252 text.
  std::string Text(nl_item item) const {
    const char* raw = nl_langinfo_l(item, loc_);
    if (raw == nullptr) return {};
    return utf8_ ? Utf8ToWin1252(raw) : std::string(raw);
  }
  // A separator character: the first character of the item; spaces of any width become
  // the non-breaking space.
  bool Separator(nl_item item, char& out) const {
    const char* raw = nl_langinfo_l(item, loc_);
    if (raw == nullptr || *raw == '\0') return false;
    if (utf8_) {
      std::string_view v(raw);
      std::size_t pos = 0;
      char32_t cp = DecodeUtf8(v, pos);
      if (cp == 0x202F || cp == 0x2009 || cp == 0x00A0) {
        out = static_cast<char>(0xA0);
        return true;
      }
      int b = CodePointToWin1252(cp);
      if (b < 0) return false;
      out = static_cast<char>(b);
      return true;
    }
    out = raw[0];
    return true;
  }
  int Number(nl_item item) const {
    const char* raw = nl_langinfo_l(item, loc_);
    return raw == nullptr ? CHAR_MAX : static_cast<unsigned char>(raw[0]);
  }

 private:
  locale_t loc_ = nullptr;
  bool utf8_ = false;
};

// The first character of a converted date or time format that is not a specifier letter.
char FirstSeparator(const std::string& format, char fallback) {
  bool quoted = false;
  for (char c : format) {
    if (c == '\'' || c == '"') quoted = !quoted;
    if (quoted) continue;
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && c != ' ' && c != ',' && c != '\'' && c != '"') return c;
  }
  return fallback;
}

// Replaces unquoted occurrences of sep by the placeholder character.
std::string ReplaceSeparator(const std::string& format, char sep, char placeholder) {
  std::string out;
  bool quoted = false;
  for (char c : format) {
    if (c == '\'' || c == '"') quoted = !quoted;
    out.push_back(!quoted && c == sep ? placeholder : c);
  }
  return out;
}

void ApplyNumeric(TFormatSettings& fs) {
  CategoryLocale loc(LC_NUMERIC_MASK, "LC_NUMERIC");
  if (!loc) return;
  char c;
  if (loc.Separator(RADIXCHAR, c)) fs.DecimalSeparator = c;
  if (loc.Separator(THOUSEP, c)) {
    fs.ThousandSeparator = c;
  } else {
    fs.ThousandSeparator = fs.DecimalSeparator == ',' ? '.' : ',';
  }
  fs.ListSeparator = fs.DecimalSeparator == ',' ? ';' : ',';
}

void ApplyMonetary(TFormatSettings& fs) {
  CategoryLocale loc(LC_MONETARY_MASK, "LC_MONETARY");
  if (!loc) return;
  std::string symbol = loc.Text(CRNCYSTR);
  if (!symbol.empty() && (symbol[0] == '-' || symbol[0] == '+' || symbol[0] == '.')) symbol.erase(0, 1);
  if (!symbol.empty()) fs.CurrencyString = symbol;
  int digits = loc.Number(__FRAC_DIGITS);
  if (digits != CHAR_MAX && digits <= 18) fs.CurrencyDecimals = static_cast<std::uint8_t>(digits);
  int pPrecedes = loc.Number(__P_CS_PRECEDES);
  int pSpace = loc.Number(__P_SEP_BY_SPACE);
  if (pPrecedes != CHAR_MAX && pSpace != CHAR_MAX) {
    fs.CurrencyFormat = static_cast<std::uint8_t>((pPrecedes ? 0 : 1) + (pSpace ? 2 : 0));
  }
  int nPrecedes = loc.Number(__N_CS_PRECEDES);
  int nSpace = loc.Number(__N_SEP_BY_SPACE);
  int nSign = loc.Number(__N_SIGN_POSN);
  if (nPrecedes != CHAR_MAX && nSpace != CHAR_MAX && nSign != CHAR_MAX && nSign <= 4) {
    static constexpr std::uint8_t kTable[2][2][5] = {
        // symbol after the number: no space, space
        {{4, 5, 7, 6, 7}, {15, 8, 10, 13, 10}},
        // symbol before the number: no space, space
        {{0, 1, 3, 1, 2}, {14, 9, 11, 9, 12}},
    };
    fs.NegCurrFormat = kTable[nPrecedes ? 1 : 0][nSpace ? 1 : 0][nSign];
  }
}

void ApplyTime(TFormatSettings& fs) {
  CategoryLocale loc(LC_TIME_MASK, "LC_TIME");
  if (!loc) return;
  static constexpr nl_item kMon[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                       MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
  static constexpr nl_item kAbMon[12] = {ABMON_1, ABMON_2, ABMON_3,  ABMON_4,  ABMON_5,  ABMON_6,
                                         ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
  static constexpr nl_item kDay[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
  static constexpr nl_item kAbDay[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
  for (int i = 0; i < 12; ++i) {
    std::string l = loc.Text(kMon[i]);
    std::string s = loc.Text(kAbMon[i]);
    if (!l.empty()) fs.LongMonthNames[i] = l;
    if (!s.empty()) fs.ShortMonthNames[i] = s;
  }
  for (int i = 0; i < 7; ++i) {
    std::string l = loc.Text(kDay[i]);
    std::string s = loc.Text(kAbDay[i]);
    if (!l.empty()) fs.LongDayNames[i] = l;
    if (!s.empty()) fs.ShortDayNames[i] = s;
  }
  fs.TimeAMString = loc.Text(AM_STR);
  fs.TimePMString = loc.Text(PM_STR);

  std::string date = StrftimeToDateTimeFormat(loc.Text(D_FMT));
  if (!date.empty()) {
    fs.DateSeparator = FirstSeparator(date, '/');
    fs.ShortDateFormat = ReplaceSeparator(date, fs.DateSeparator, '/');
    char first = 'm';
    for (char c : date) {
      if (c == 'd' || c == 'm' || c == 'y') {
        first = c;
        break;
      }
    }
    if (first == 'd') {
      fs.LongDateFormat = fs.DateSeparator == '.' ? "dddd, d. mmmm yyyy" : "dddd, d mmmm yyyy";
    } else if (first == 'y') {
      fs.LongDateFormat = "yyyy mmmm d, dddd";
    }
  }
  std::string time = StrftimeToDateTimeFormat(loc.Text(T_FMT));
  if (!time.empty()) {
    fs.TimeSeparator = FirstSeparator(time, ':');
    fs.LongTimeFormat = ReplaceSeparator(time, fs.TimeSeparator, ':');
    // The short form drops the seconds.
    std::string shortTime = fs.LongTimeFormat;
    std::size_t sec = shortTime.find(":ss");
    if (sec != std::string::npos) shortTime.erase(sec, 3);
    fs.ShortTimeFormat = shortTime;
  }
}

TFormatSettings& Current() {
  static TFormatSettings settings = LocaleFormatSettings();
  return settings;
}

}  // namespace

std::string StrftimeToDateTimeFormat(const std::string& f) {
  std::string out;
  bool quoted = false;  // inside a quoted run of literal letters
  auto closeQuote = [&] {
    if (quoted) out += '"';
    quoted = false;
  };
  for (std::size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (c != '%') {
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      if (letter && !quoted) {
        out += '"';
        quoted = true;
      } else if (!letter) {
        closeQuote();
      }
      out += c;
      continue;
    }
    closeQuote();
    if (++i >= f.size()) break;
    c = f[i];
    // Flags of the GNU extensions; '-' asks for no padding.
    bool noPad = false;
    while ((c == '-' || c == '_' || c == '0' || c == '^' || c == '#' || c == 'E' || c == 'O') &&
           i + 1 < f.size()) {
      noPad = noPad || c == '-';
      c = f[++i];
    }
    switch (c) {
      case 'd': out += noPad ? "d" : "dd"; break;
      case 'e': out += "d"; break;
      case 'm': out += noPad ? "m" : "mm"; break;
      case 'b': case 'h': out += "mmm"; break;
      case 'B': out += "mmmm"; break;
      case 'a': out += "ddd"; break;
      case 'A': out += "dddd"; break;
      case 'y': out += "yy"; break;
      case 'Y': out += "yyyy"; break;
      case 'H': case 'I': out += noPad ? "h" : "hh"; break;
      case 'k': case 'l': out += "h"; break;
      case 'M': out += noPad ? "n" : "nn"; break;
      case 'S': out += noPad ? "s" : "ss"; break;
      case 'p': case 'P': out += "AMPM"; break;
      case 'D': out += "mm/dd/yy"; break;
      case 'F': out += "yyyy-mm-dd"; break;
      case 'T': out += "hh:nn:ss"; break;
      case 'R': out += "hh:nn"; break;
      case 'r': out += "hh:nn:ss AMPM"; break;
      case 'n': case 't': out += ' '; break;
      case '%': out += '%'; break;
      default: break;  // zone names, week numbers and the like have no counterpart
    }
  }
  closeQuote();
  // Trim blanks left by dropped fields.
  while (!out.empty() && out.back() == ' ') out.pop_back();
  while (!out.empty() && out.front() == ' ') out.erase(0, 1);
  return out;
}

TFormatSettings DefaultFormatSettings() { return TFormatSettings{}; }

TFormatSettings LocaleFormatSettings() {
  TFormatSettings fs;
  ApplyNumeric(fs);
  ApplyMonetary(fs);
  ApplyTime(fs);
  return fs;
}

TFormatSettings& FormatSettings() { return Current(); }

void SetFormatSettings(const TFormatSettings& settings) { Current() = settings; }

ScopedFormatSettings::ScopedFormatSettings(const TFormatSettings& settings) : saved_(Current()) {
  Current() = settings;
}

ScopedFormatSettings::~ScopedFormatSettings() { Current() = saved_; }

}  // namespace tw
