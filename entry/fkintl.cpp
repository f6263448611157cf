#include "entry/fkintl.h"

#include <algorithm>
#include <memory>

#include "entry/strres/fkstrres.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw::entry {

namespace {

TIntlProfile& Profile() {
  static TIntlProfile profile;
  return profile;
}

std::string ReadKey(const std::string& key) {
  const TIntlProfile& p = Profile();
  return p ? p(key) : LocaleIntlValue(key);
}

// Values are read into a buffer of 6 characters, so at most 5 remain.
std::string ReadShort(const std::string& key, const std::string& def) {
  std::string v = ReadKey(key);
  if (v.empty()) return def;
  return v.substr(0, 5);
}

char ReadChar(const std::string& key, char def) {
  std::string v = ReadKey(key);
  return v.empty() ? def : v[0];
}

int ReadInt(const std::string& key, int def) {
  std::string v = ReadKey(key);
  std::int32_t n;
  if (v.empty() || !TryStrToInt(v, n)) return def;
  return n;
}

bool IsLowerAscii(char c) { return c >= 'a' && c <= 'z'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

struct Run {
  std::size_t pos = std::string::npos;
  std::size_t len = 0;
  char ch = 0;
  bool found() const { return pos != std::string::npos; }
};

// The first run of `letter` in either case.  A run is every adjacent position holding the
// letter in either case ("Hh" is one two-wide hour field); its first character decides the
// padding (upper case: blanks, lower case: zeros) and the capitals of names.
Run FindRun(const std::string& mask, char letter) {
  Run r;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    if (Lower(mask[i]) == letter) {
      r.pos = i;
      r.ch = mask[i];
      while (i < mask.size() && Lower(mask[i]) == letter) ++i;
      r.len = i - r.pos;
      break;
    }
  }
  return r;
}

// The characters under a run without blanks.
std::string RunText(const std::string& text, const Run& r) {
  std::string s;
  for (std::size_t i = r.pos; i < r.pos + r.len && i < text.size(); ++i)
    if (text[i] != ' ') s += text[i];
  return s;
}

// A number field of a text: -1 when blank or not a number.
int RunNumber(const std::string& text, const Run& r) {
  std::string s = RunText(text, r);
  if (s.empty()) return -1;
  for (char c : s)
    if (c < '0' || c > '9') return -1;
  // Leading zeros pad a wide run; only the digits after them can overflow.
  s.erase(0, std::min(s.find_first_not_of('0'), s.size() - 1));
  if (s.size() > 9) return -1;
  return std::stoi(s);
}

// Writes a number right-aligned into a run (only the last run-length digits remain); a
// lower-case run pads with zeros.  `pad` marks the blanks that packing may remove.
void PutNumber(std::string& out, std::vector<bool>& pad, const Run& r, int value, bool blank) {
  std::string digits = blank ? std::string() : std::to_string(value);
  if (digits.size() > r.len) digits = digits.substr(digits.size() - r.len);
  bool zeros = IsLowerAscii(r.ch) && !blank;
  std::size_t lead = r.len - digits.size();
  for (std::size_t i = 0; i < r.len; ++i) {
    char c = i < lead ? (zeros ? '0' : ' ') : digits[i - lead];
    out[r.pos + i] = c;
    pad[r.pos + i] = (i < lead) && !zeros && !blank;
  }
}

void PutName(std::string& out, std::vector<bool>& pad, const Run& r, const std::string& name, bool blank) {
  bool caps = !IsLowerAscii(r.ch);
  for (std::size_t i = 0; i < r.len; ++i) {
    if (!blank && i < name.size()) {
      out[r.pos + i] = caps ? CharUpper(name[i]) : name[i];
      pad[r.pos + i] = false;
    } else {
      out[r.pos + i] = ' ';
      pad[r.pos + i] = !blank;
    }
  }
}

// Every run of a letter in the mask (either case).
template <typename F>
void ForEachRun(const std::string& mask, char letter, F f) {
  for (std::size_t i = 0; i < mask.size();) {
    if (Lower(mask[i]) == letter) {
      Run r;
      r.pos = i;
      r.ch = mask[i];
      while (i < mask.size() && Lower(mask[i]) == letter) ++i;
      r.len = i - r.pos;
      f(r);
    } else {
      ++i;
    }
  }
}

std::string Packed(const std::string& out, const std::vector<bool>& pad) {
  std::string s;
  for (std::size_t i = 0; i < out.size(); ++i)
    if (!pad[i]) s += out[i];
  return s;
}

// Sets a run of a letter to a length, keeping its letter and case.
void SetRunLength(std::string& mask, char letter, std::size_t minLen, std::size_t exactLen, bool caseRules) {
  Run r = FindRun(mask, letter);
  if (!r.found()) return;
  char c = r.ch;
  if (caseRules) {
    if (r.len == 1 && IsLowerAscii(c)) c = Upper(c);
    else if (r.len == 2 && !IsLowerAscii(c)) c = Lower(c);
  }
  std::size_t len = exactLen != 0 ? exactLen : std::max(r.len, minLen);
  mask.replace(r.pos, r.len, std::string(len, c));
}

std::string TrimmedUpper(const std::string& t) { return AnsiUpperCase(Trim(t)); }

// Which text a trimmed am/pm field names: 1 the am text, 2 the pm text, 0 neither. A field of
// `width` characters, fewer than a text has, holds that text's first characters.
int AmPmOf(const std::string& field, const std::string& am, const std::string& pm, std::size_t width) {
  const std::string t = TrimmedUpper(field);
  if (t.empty()) return 0;
  if (t == TrimmedUpper(pm)) return 2;
  if (t == TrimmedUpper(am)) return 1;
  if (width < pm.size() && t == TrimmedUpper(pm.substr(0, width))) return 2;
  if (width < am.size() && t == TrimmedUpper(am.substr(0, width))) return 1;
  return 0;
}

}  // namespace

void SetIntlProfile(TIntlProfile profile) { Profile() = std::move(profile); }

TIntlProfile IntlProfileFromMap(std::map<std::string, std::string> values) {
  return [values = std::move(values)](const std::string& key) {
    auto it = values.find(key);
    return it == values.end() ? std::string() : it->second;
  };
}

std::string LocaleIntlValue(const std::string& key) {
  // Only what the locale sets differently from the class library's defaults is reported, so
  // that the documented defaults hold for everything else.
  const TFormatSettings loc = LocaleFormatSettings();
  const TFormatSettings def = DefaultFormatSettings();
  auto ch = [](char c) { return std::string(1, c); };
  if (key == "sDecimal" && loc.DecimalSeparator != def.DecimalSeparator) return ch(loc.DecimalSeparator);
  if (key == "sThousand" && loc.ThousandSeparator != def.ThousandSeparator) return ch(loc.ThousandSeparator);
  if (key == "sDate" && loc.DateSeparator != def.DateSeparator) return ch(loc.DateSeparator);
  if (key == "sTime" && loc.TimeSeparator != def.TimeSeparator) return ch(loc.TimeSeparator);
  if (key == "sList" && loc.ListSeparator != def.ListSeparator) return ch(loc.ListSeparator);
  if (key == "sCurrency" && loc.CurrencyString != def.CurrencyString) return loc.CurrencyString;
  if (key == "iCurrency" && loc.CurrencyFormat != def.CurrencyFormat) return std::to_string(loc.CurrencyFormat);
  if (key == "iNegCurr" && loc.NegCurrFormat != def.NegCurrFormat) return std::to_string(loc.NegCurrFormat);
  if (key == "iCurrDigits" && loc.CurrencyDecimals != def.CurrencyDecimals) return std::to_string(loc.CurrencyDecimals);
  if (key == "s1159" && loc.TimeAMString != def.TimeAMString) return loc.TimeAMString;
  if (key == "s2359" && loc.TimePMString != def.TimePMString) return loc.TimePMString;
  if (key == "iTLZero" && loc.LongTimeFormat != def.LongTimeFormat) return loc.LongTimeFormat.rfind("hh", 0) == 0 ? "1" : "0";
  if (key == "sLongDate") {
    // The long date's order belongs with the names of days and months, which the program's
    // language sets in the class library's settings: both are read from there.
    const std::string& now = FormatSettings().LongDateFormat;
    if (now == def.LongDateFormat) return {};
    std::string s;
    char quote = 0;  // the class library quotes literal text with " or '; the profile with '
    for (char c : now) {
      if (quote == 0 && (c == '"' || c == '\'')) quote = c;
      else if (c == quote) quote = 0;
      if (c == '"') c = '\'';
      else if (quote == 0 && c == 'm') c = 'M';
      s += c;
    }
    return s;
  }
  if (key == "sShortDate" && loc.ShortDateFormat != def.ShortDateFormat) {
    // The class library writes the month as "m"; the profile as "M".
    std::string s = loc.ShortDateFormat;
    for (char& c : s)
      if (c == 'm') c = 'M';
    return s;
  }
  return {};
}

TFkIntlSup::TFkIntlSup() { ReadIntlSettings(); }

void TFkIntlSup::ReadIntlSettings() {
  DecimalChar = ReadChar("sDecimal", '.');
  CommaChar = ReadChar("sThousand", ',');
  CurrencyDigits = static_cast<std::uint8_t>(ReadInt("iCurrDigits", 2));
  NegCurrencyForm = static_cast<std::uint8_t>(ReadInt("iNegCurr", 0));
  ListChar = ReadChar("sList", ',');
  Country = ReadKey("sCountry");
  CurrencyLtStr = ReadShort("sCurrency", "$");
  CurrencyRtStr = CurrencyLtStr;
  CurrencyForm = static_cast<std::uint8_t>(ReadInt("iCurrency", 0));
  if (CurrencyForm == 2) CurrencyLtStr += ' ';
  if (CurrencyForm == 3) CurrencyRtStr.insert(0, 1, ' ');

  TLZero = ReadInt("iTLZero", 0) != 0;
  const std::string& ltf = FormatSettings().LongTimeFormat;
  TwelveHour = !ltf.empty() && (ltf.back() == 'M' || ltf.back() == 'm');
  ColonChar = ReadChar("sTime", ':');
  SlashChar = ReadChar("sDate", '/');
  AMText = ReadShort("s1159", "AM");
  PMText = ReadShort("s2359", "PM");

  std::string sd = ReadKey("sShortDate");
  if (sd.empty()) sd = "MM/dd/yy";
  for (char& c : sd)
    if (c == SlashChar) c = '/';
  ShortDateMask = sd.substr(0, 29);

  std::string ld = ReadKey("sLongDate");
  if (ld.empty()) ld = "dddd, MMMM dd, yyyy";
  std::string* literals[3] = {&LiteralF, &LiteralG, &LiteralH};
  const char fills[3] = {'f', 'g', 'h'};
  for (auto* l : literals) l->clear();
  for (int k = 0; k < 3; ++k) {
    std::size_t a = ld.find('\'');
    if (a == std::string::npos) break;
    std::size_t b = ld.find('\'', a + 1);
    if (b == std::string::npos) break;
    std::string lit = ld.substr(a + 1, b - a - 1).substr(0, 6);
    *literals[k] = lit;
    ld.replace(a, b - a + 1, std::string(lit.size(), fills[k]));
  }
  std::string out;
  for (std::size_t i = 0; i < ld.size();) {
    char c = ld[i];
    std::size_t j = i;
    while (j < ld.size() && ld[j] == c) ++j;
    std::size_t len = j - i;
    if (c == 'd' && len >= 3) c = 'w';
    else if (c == 'M' && len >= 3) c = 'n';
    out += std::string(len, c);
    i = j;
  }
  std::string spaced;
  for (std::size_t i = 0; i < out.size(); ++i) {
    spaced += out[i];
    if ((out[i] == ',' || out[i] == '.') && (i + 1 >= out.size() || out[i + 1] != ' ')) spaced += ' ';
  }
  out = spaced;
  LongDateMask = out.substr(0, 39);

  auto oneChar = [](std::uint16_t id, char& target) {
    std::string t = FkResString(id);
    if (t.size() == 1) target = t[0];
  };
  oneChar(34368, YesChar);
  oneChar(34369, NoChar);
  oneChar(34370, TrueChar);
  oneChar(34371, FalseChar);
}

std::string TFkIntlSup::BuildDateMask(bool forceCentury) const {
  std::string m = ShortDateMask;
  // Windows writes the month as "M"; the mask letter is "m" (zero padded) or "M" (blanks).
  SetRunLength(m, 'd', 2, 0, true);
  SetRunLength(m, 'm', 2, 0, true);
  SetRunLength(m, 'y', forceCentury ? 4 : 2, 0, false);
  return m;
}

std::string TFkIntlSup::BuildTimeMask(bool showSeconds) const {
  std::string m = "hh:mm:ss";
  if (!TLZero) m[0] = 'H';
  if (!showSeconds) m.resize(5);
  if (TwelveHour) {
    std::size_t l = std::max(AMText.size(), PMText.size());
    if (l > 0) {
      m += ' ';
      m.append(l, 't');
    }
  }
  return m;
}

std::string TFkIntlSup::BuildLongDateMask(bool shortNames, bool excludeWeekDay) const {
  std::string m = LongDateMask;
  const TFormatSettings& fs = FormatSettings();
  Run w = FindRun(m, 'w');
  if (w.found()) {
    if (excludeWeekDay) {
      std::size_t e = w.pos + w.len;
      while (e < m.size() && std::string("dmny").find(Lower(m[e])) == std::string::npos) ++e;
      m.erase(w.pos, e - w.pos);
    } else {
      std::size_t len = w.len;
      if (shortNames) len = 3;
      else if (w.len == 4) {
        len = 0;
        for (const auto& n : fs.LongDayNames) len = std::max(len, n.size());
      }
      m.replace(w.pos, w.len, std::string(len, w.ch));
    }
  }
  Run n = FindRun(m, 'n');
  if (n.found()) {
    std::size_t len = n.len;
    if (shortNames) len = 3;
    else if (n.len == 4) {
      len = 0;
      for (const auto& s : fs.LongMonthNames) len = std::max(len, s.size());
    }
    m.replace(n.pos, n.len, std::string(len, n.ch));
  }
  SetRunLength(m, 'd', 0, 2, true);
  SetRunLength(m, 'm', 0, 2, true);
  SetRunLength(m, 'y', 0, 4, false);
  return m;
}

std::string TFkIntlSup::FillDate(const std::string& mask, int day, int month, int year, TStDayType wd, bool valid,
                                 bool pack) const {
  std::string out = mask;
  std::vector<bool> pad(out.size(), false);
  const TFormatSettings& fs = FormatSettings();
  ForEachRun(mask, 'm', [&](const Run& r) { PutNumber(out, pad, r, month, !valid); });
  ForEachRun(mask, 'd', [&](const Run& r) { PutNumber(out, pad, r, day, !valid); });
  ForEachRun(mask, 'y', [&](const Run& r) { PutNumber(out, pad, r, year, !valid); });
  ForEachRun(mask, 'n', [&](const Run& r) {
    PutName(out, pad, r, valid && month >= 1 && month <= 12 ? fs.LongMonthNames[static_cast<std::size_t>(month - 1)] : "", !valid);
  });
  ForEachRun(mask, 'w', [&](const Run& r) {
    int d = static_cast<int>(wd);
    PutName(out, pad, r, valid && d < 7 ? fs.LongDayNames[static_cast<std::size_t>(d)] : "", !valid);
  });
  for (std::size_t i = 0; i < mask.size(); ++i)
    if (mask[i] == '/') out[i] = SlashChar;
  const std::string* lits[3] = {&LiteralF, &LiteralG, &LiteralH};
  const char letters[3] = {'f', 'g', 'h'};
  for (int k = 0; k < 3; ++k) {
    for (std::size_t i = 0; i < mask.size();) {
      if (mask[i] != letters[k]) {
        ++i;
        continue;
      }
      std::size_t j = i;
      while (j < mask.size() && mask[j] == letters[k]) ++j;
      for (std::size_t p = i; p < j; ++p) out[p] = p - i < lits[k]->size() ? (*lits[k])[p - i] : ' ';
      i = j;
    }
  }
  return pack ? Packed(out, pad) : out;
}

std::string TFkIntlSup::DMYToText(const std::string& mask, int day, int month, int year, bool pack, int epoch) const {
  year = ResolveEpochYear(year, epoch);
  TStDayType wd = DMYWeekDay(day, month, year, epoch);
  return FillDate(mask, day, month, year, wd, true, pack);
}

std::string TFkIntlSup::DayNumberToText(const std::string& mask, DayNumber date, bool pack) const {
  if (date < 0 || date > MaxDayNumber) return FillDate(mask, 0, 0, 0, NoWeekDay, false, false);
  int d, m, y;
  DayNumberToDMY(date, d, m, y);
  return FillDate(mask, d, m, y, DayNumberWeekDay(date), true, pack);
}

bool TFkIntlSup::TextToDMY(const std::string& mask, const std::string& text, int& day, int& month, int& year,
                           int epoch) const {
  if (text.size() != mask.size()) return false;
  Run n = FindRun(mask, 'n');
  Run m = FindRun(mask, 'm');
  Run d = FindRun(mask, 'd');
  Run y = FindRun(mask, 'y');
  if (n.found()) {
    // The name must be whole within its run and name one month: "Ju" in a three-wide run, or
    // "Ma" in a two-wide one, is no month.
    std::string t = RunText(text, n);
    const int width = static_cast<int>(n.len);
    month = t.empty() ? -1 : MonthFromName(t, width);
    if (month == 0) {
      month = -1;
    } else {
      const auto& names = FormatSettings().LongMonthNames;
      for (std::size_t i = static_cast<std::size_t>(month); i < names.size(); ++i)
        if (MonthFromName(names[i], width) == month) month = -1;
    }
  } else if (m.found()) {
    month = RunNumber(text, m);
  } else {
    month = DefaultMonth;
  }
  day = d.found() ? RunNumber(text, d) : 1;
  year = y.found() ? RunNumber(text, y) : DefaultYear;
  if (day < 0 || month < 0 || year < 0) return false;
  return ValidDate(day, month, year, epoch);
}

DayNumber TFkIntlSup::TextToDayNumber(const std::string& mask, const std::string& text, int epoch) const {
  int d, m, y;
  if (!TextToDMY(mask, text, d, m, y, epoch)) return BadDate;
  return DMYToDayNumber(d, m, y, epoch);
}

bool TFkIntlSup::DateTextIsBlank(const std::string& mask, const std::string& text) const {
  for (char letter : {'d', 'm', 'n', 'y'}) {
    bool blank = true;
    ForEachRun(mask, letter, [&](const Run& r) {
      if (!RunText(text, r).empty()) blank = false;
    });
    if (!blank) return false;
  }
  return true;
}

std::string TFkIntlSup::SecondsToText(const std::string& mask, SecondsOfDay t, bool pack) const {
  bool valid = t >= 0 && t <= 86399;
  int h = valid ? t / 3600 : 0, mi = valid ? (t / 60) % 60 : 0, s = valid ? t % 60 : 0;
  Run tr = FindRun(mask, 't');
  std::string ampm;
  if (tr.found() && valid) {
    ampm = h < 12 ? AMText : PMText;
    if (!AMText.empty() && !PMText.empty()) {
      if (h == 0) h = 12;
      else if (h > 12) h -= 12;
    }
  }
  std::string out = mask;
  std::vector<bool> pad(out.size(), false);
  ForEachRun(mask, 'h', [&](const Run& r) { PutNumber(out, pad, r, h, !valid); });
  ForEachRun(mask, 'm', [&](const Run& r) { PutNumber(out, pad, r, mi, !valid); });
  ForEachRun(mask, 's', [&](const Run& r) { PutNumber(out, pad, r, s, !valid); });
  for (std::size_t i = 0; i < mask.size(); ++i)
    if (mask[i] == ':') out[i] = ColonChar;
  ForEachRun(mask, 't', [&](const Run& r) {
    for (std::size_t i = 0; i < r.len; ++i) {
      out[r.pos + i] = i < ampm.size() ? ampm[i] : ' ';
      pad[r.pos + i] = i >= ampm.size() && valid;
    }
  });
  return pack && valid ? Packed(out, pad) : out;
}

bool TFkIntlSup::TextToHMS(const std::string& mask, const std::string& text, int& h, int& m, int& s) const {
  h = m = s = -1;
  if (text.size() != mask.size()) return false;
  Run hr = FindRun(mask, 'h'), mr = FindRun(mask, 'm'), sr = FindRun(mask, 's'), tr = FindRun(mask, 't');
  h = hr.found() ? RunNumber(text, hr) : 0;
  m = mr.found() ? RunNumber(text, mr) : 0;
  s = sr.found() ? RunNumber(text, sr) : 0;
  if (tr.found() && !AMText.empty() && !PMText.empty() && h >= 0) {
    // A run shorter than the texts holds their first characters (as SecondsToText writes them).
    const int which = AmPmOf(text.substr(tr.pos, tr.len), AMText, PMText, tr.len);
    const bool am = which == 1, pm = which == 2;
    if ((!am && !pm) || h < 1 || h > 12) {
      h = -1;
    } else if (am && h == 12) {
      h = 0;
    } else if (pm && h < 12) {
      h += 12;
    }
  }
  if (h < 0 || m < 0 || s < 0) return false;
  return ValidTime(h, m, s);
}

SecondsOfDay TFkIntlSup::TextToSeconds(const std::string& mask, const std::string& text) const {
  int h, m, s;
  if (!TextToHMS(mask, text, h, m, s)) return BadTime;
  return h * 3600 + m * 60 + s;
}

SecondsOfDay TFkIntlSup::FreeTextToSeconds(const std::string& text) const {
  std::size_t i = 0, end = text.size();
  while (i < end && text[i] == ' ') ++i;
  while (end > i && text[end - 1] == ' ') --end;
  int parts[3] = {0, 0, 0};
  int count = 0;
  for (;;) {
    std::size_t start = i;
    int value = 0;
    while (i < end && text[i] >= '0' && text[i] <= '9' && i - start < 2) value = value * 10 + (text[i++] - '0');
    if (i == start || (i < end && text[i] >= '0' && text[i] <= '9')) return BadTime;
    parts[count++] = value;
    if (count == 3 || i >= end || (text[i] != ':' && text[i] != ColonChar)) break;
    ++i;
  }
  if (count < 2) return BadTime;
  while (i < end && text[i] == ' ') ++i;
  int h = parts[0];
  if (i < end) {
    if (AMText.empty() || PMText.empty()) return BadTime;
    // The texts in full, or their first characters as a short am/pm run of a field shows them.
    const int which = AmPmOf(text.substr(i, end - i), AMText, PMText, end - i);
    const bool am = which == 1, pm = which == 2;
    if ((!am && !pm) || h < 1 || h > 12) return BadTime;
    if (am && h == 12) h = 0;
    else if (pm && h < 12) h += 12;
  }
  if (!ValidTime(h, parts[1], parts[2])) return BadTime;
  return h * 3600 + parts[1] * 60 + parts[2];
}

std::string TFkIntlSup::WeekDayName(TStDayType day) const {
  auto d = static_cast<std::size_t>(day);
  return d < 7 ? FormatSettings().LongDayNames[d] : std::string();
}

std::uint8_t TFkIntlSup::MonthFromName(const std::string& text, int width) const {
  if (width <= 0) return 0;
  auto fit = [width](std::string s) {
    s = AnsiUpperCase(s);
    s.resize(static_cast<std::size_t>(width), ' ');
    return s;
  };
  std::string t = fit(text);
  const auto& names = FormatSettings().LongMonthNames;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (fit(names[i]) == t) return static_cast<std::uint8_t>(i + 1);
  return 0;
}

TFkIntlSup& DefaultIntlSup() {
  static TFkIntlSup instance;
  return instance;
}

void InitFkIntl() { (void)DefaultIntlSup(); }

}  // namespace tw::entry
