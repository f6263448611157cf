// Date-time texts: FormatDateTime and the date and time parsers.
#include <cmath>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysconst.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"
#include "platform/rtl/uilanguage.h"

namespace tw {
namespace {

inline char Up(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool StartsWithText(std::string_view s, std::size_t at, std::string_view word) {
  return s.size() - at >= word.size() && SameText(s.substr(at, word.size()), word);
}

void AppendNumber(std::string& out, int value, int digits) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < digits) out.append(static_cast<std::size_t>(digits) - text.size(), '0');
  out += text;
}

class DateTimeWriter {
 public:
  DateTimeWriter(TDateTime value, const TFormatSettings& fs) : fs_(fs) {
    DecodeDate(value, year_, month_, day_);
    DecodeTime(value, hour_, min_, sec_, msec_);
    dayOfWeek_ = DayOfWeek(value);
  }

  void Write(std::string_view f, std::string& out, int level) {
    // Nested formats (c, ddddd, t ...) may name each other; two levels are enough for
    // every sensible setting and stop a format that names itself.
    if (level >= 3) return;
    char lastToken = ' ';
    std::size_t i = 0;
    while (i < f.size()) {
      char c = f[i];
      char token = Up(c);
      std::size_t start = i;
      ++i;
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && lastToken == 'H') token = 'N';
        lastToken = token;
      }
      auto count = [&]() {
        while (i < f.size() && Up(f[i]) == Up(c)) ++i;
        return static_cast<int>(i - start);
      };
      switch (token) {
        case 'Y': {
          int n = count();
          if (n <= 2) {
            AppendNumber(out, year_ % 100, 2);
          } else {
            AppendNumber(out, year_, 4);
          }
          break;
        }
        case 'M': {
          int n = count();
          if (n <= 2) {
            AppendNumber(out, month_, n);
          } else if (month_ >= 1 && month_ <= 12) {
            out += n == 3 ? fs_.ShortMonthNames[month_ - 1u] : fs_.LongMonthNames[month_ - 1u];
          }
          break;
        }
        case 'D': {
          int n = count();
          if (n <= 2) {
            AppendNumber(out, day_, n);
          } else if (n == 3) {
            out += fs_.ShortDayNames[static_cast<std::size_t>(dayOfWeek_ - 1)];
          } else if (n == 4) {
            out += fs_.LongDayNames[static_cast<std::size_t>(dayOfWeek_ - 1)];
          } else if (n == 5) {
            Write(fs_.ShortDateFormat, out, level + 1);
          } else {
            Write(fs_.LongDateFormat, out, level + 1);
          }
          break;
        }
        case 'H': {
          int n = count();
          int h = hour_;
          if (UsesTwelveHours(f, i)) {
            if (h == 0) {
              h = 12;
            } else if (h > 12) {
              h -= 12;
            }
          }
          AppendNumber(out, h, std::min(n, 2));
          break;
        }
        case 'N': {
          int n = count();
          AppendNumber(out, min_, std::min(n, 2));
          break;
        }
        case 'S': {
          int n = count();
          AppendNumber(out, sec_, std::min(n, 2));
          break;
        }
        case 'Z': {
          int n = count();
          AppendNumber(out, msec_, std::min(n, 3));
          break;
        }
        case 'T': {
          int n = count();
          Write(n == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, out, level + 1);
          break;
        }
        case 'C': {
          count();
          Write(fs_.ShortDateFormat, out, level + 1);
          if (hour_ != 0 || min_ != 0 || sec_ != 0 || msec_ != 0) {
            out += ' ';
            Write(fs_.LongTimeFormat, out, level + 1);
          }
          break;
        }
        case 'A': {
          bool pm = hour_ >= 12;
          if (StartsWithText(f, start, "AM/PM")) {
            out.append(f.substr(start + (pm ? 3 : 0), 2));
            i = start + 5;
          } else if (StartsWithText(f, start, "A/P")) {
            out.push_back(f[start + (pm ? 2 : 0)]);
            i = start + 3;
          } else if (StartsWithText(f, start, "AMPM")) {
            out += pm ? fs_.TimePMString : fs_.TimeAMString;
            i = start + 4;
          } else {
            out.push_back(c);
          }
          break;
        }
        case '/':
          out.push_back(fs_.DateSeparator);
          break;
        case ':':
          out.push_back(fs_.TimeSeparator);
          break;
        case '\'':
        case '"': {
          std::size_t close = f.find(c, i);
          if (close == std::string_view::npos) close = f.size();
          out.append(f.substr(i, close - i));
          i = close < f.size() ? close + 1 : close;
          break;
        }
        default:
          out.push_back(c);
          break;
      }
    }
  }

 private:
  // Whether an am/pm specifier follows before the next hour specifier.
  static bool UsesTwelveHours(std::string_view f, std::size_t from) {
    char quote = 0;
    for (std::size_t j = from; j < f.size(); ++j) {
      char c = f[j];
      if (quote) {
        if (c == quote) quote = 0;
        continue;
      }
      if (c == '\'' || c == '"') {
        quote = c;
      } else if (c == 'a' || c == 'A') {
        return StartsWithText(f, j, "AM/PM") || StartsWithText(f, j, "A/P") || StartsWithText(f, j, "AMPM");
      } else if (c == 'h' || c == 'H') {
        return false;
      }
    }
    return false;
  }

  const TFormatSettings& fs_;
  std::uint16_t year_ = 0, month_ = 0, day_ = 0;
  std::uint16_t hour_ = 0, min_ = 0, sec_ = 0, msec_ = 0;
  int dayOfWeek_ = 1;
};

// ---- parsing -------------------------------------------------------------------------

class Scanner {
 public:
  explicit Scanner(std::string_view s) : s_(s) {}

  bool AtEnd() const { return pos_ >= s_.size(); }
  std::size_t Pos() const { return pos_; }
  void SetPos(std::size_t p) { pos_ = p; }

  void Blanks() {
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
  }

  // Up to four digits, as the class library reads date and time numbers.
  bool Number(int& value, int& length) {
    Blanks();
    std::size_t start = pos_;
    int v = 0;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9' && v < 1000) {
      v = v * 10 + (s_[pos_] - '0');
      ++pos_;
    }
    length = static_cast<int>(pos_ - start);
    if (length == 0) return false;
    value = v;
    return true;
  }

  bool Char(char c) {
    Blanks();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool Text(std::string_view word) {
    if (word.empty()) return false;
    Blanks();
    if (s_.size() - pos_ >= word.size() && AnsiSameText(s_.substr(pos_, word.size()), word)) {
      pos_ += word.size();
      return true;
    }
    return false;
  }

  // Milliseconds from the digits of a decimal fraction (".5" is 500 ms).
  bool Fraction(int& msec) {
    std::size_t start = pos_;
    int v = 0;
    int digits = 0;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') {
      if (digits < 3) {
        v = v * 10 + (s_[pos_] - '0');
        ++digits;
      }
      ++pos_;
    }
    if (pos_ == start) return false;
    while (digits < 3) {
      v *= 10;
      ++digits;
    }
    msec = v;
    return true;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

enum class DateOrder { MDY, DMY, YMD };

DateOrder OrderOf(const std::string& format) {
  for (char c : format) {
    switch (Up(c)) {
      case 'D': return DateOrder::DMY;
      case 'Y': return DateOrder::YMD;
      case 'M': return DateOrder::MDY;
      default: break;
    }
  }
  return DateOrder::MDY;
}

int CurrentYear() {
  std::uint16_t y, m, d;
  DecodeDate(Now(), y, m, d);
  return y == 0 ? 2000 : y;
}

bool ScanDate(Scanner& sc, TDateTime& date, const TFormatSettings& fs) {
  const DateOrder order = OrderOf(fs.ShortDateFormat);
  int n1, n2, n3, l1, l2, l3;
  if (!(sc.Number(n1, l1) && sc.Char(fs.DateSeparator) && sc.Number(n2, l2))) return false;
  int y, m, d;
  if (sc.Char(fs.DateSeparator)) {
    if (!sc.Number(n3, l3)) return false;
    int yearLength;
    switch (order) {
      case DateOrder::MDY: y = n3; yearLength = l3; m = n1; d = n2; break;
      case DateOrder::DMY: y = n3; yearLength = l3; m = n2; d = n1; break;
      default: y = n1; yearLength = l1; m = n2; d = n3; break;
    }
    if (yearLength <= 2) {
      const int current = CurrentYear();
      const int base = current - fs.TwoDigitYearCenturyWindow;
      y += base / 100 * 100;
      if (fs.TwoDigitYearCenturyWindow > 0 && y < base) y += 100;
    }
  } else {
    y = CurrentYear();
    if (order == DateOrder::DMY) {
      d = n1;
      m = n2;
    } else {
      m = n1;
      d = n2;
    }
  }
  sc.Char(fs.DateSeparator);  // a trailing separator is allowed
  sc.Blanks();
  return TryEncodeDate(y, m, d, date);
}

bool ScanTime(Scanner& sc, TDateTime& time, const TFormatSettings& fs) {
  auto meridiem = [&]() {
    if (sc.Text(fs.TimeAMString) || sc.Text("AM")) return 0;
    if (sc.Text(fs.TimePMString) || sc.Text("PM")) return 12;
    return -1;
  };
  int baseHour = meridiem();
  if (baseHour >= 0) sc.Blanks();
  int hour, len;
  if (!sc.Number(hour, len)) return false;
  int min = 0, sec = 0, msec = 0;
  if (sc.Char(fs.TimeSeparator)) {
    if (!sc.Number(min, len)) return false;
    if (sc.Char(fs.TimeSeparator)) {
      if (!sc.Number(sec, len)) return false;
      if (sc.Char(fs.DecimalSeparator)) {
        if (!sc.Fraction(msec)) return false;
      }
    }
  }
  if (baseHour < 0) baseHour = meridiem();
  if (baseHour >= 0) {
    if (hour == 0 || hour > 12) return false;
    if (hour == 12) hour = 0;
    hour += baseHour;
  }
  sc.Blanks();
  return TryEncodeTime(hour, min, sec, msec, time);
}

[[noreturn]] void Raise(const std::string& message, std::string_view s) {
  throw EConvertError(Format(message, {std::string(s)}));
}

}  // namespace

std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings) {
  std::string out;
  DateTimeWriter writer(value, settings);
  writer.Write(format.empty() ? std::string_view("C") : format, out, 0);
  return out;
}

std::string FormatDateTime(std::string_view format, TDateTime value) {
  return FormatDateTime(format, value, FormatSettings());
}

std::string DateToStr(TDateTime value) { return FormatDateTime("ddddd", value); }
std::string TimeToStr(TDateTime value) { return FormatDateTime("tt", value); }
std::string DateTimeToStr(TDateTime value) { return FormatDateTime("c", value); }

std::string WholeYearDateFormat(std::string_view format) {
  std::string out;
  char quote = 0;
  for (std::size_t i = 0; i < format.size();) {
    const char c = format[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      out += c;
      ++i;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      out += c;
      ++i;
      continue;
    }
    if (c == 'y' || c == 'Y') {
      std::size_t n = 0;
      while (i + n < format.size() && (format[i + n] == 'y' || format[i + n] == 'Y')) ++n;
      out += n >= 4 ? std::string(format.substr(i, n)) : std::string("yyyy");
      i += n;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

TFormatSettings WholeYearSettings(const TFormatSettings& settings) {
  TFormatSettings whole = settings;
  whole.ShortDateFormat = WholeYearDateFormat(settings.ShortDateFormat);
  whole.LongDateFormat = WholeYearDateFormat(settings.LongDateFormat);
  return whole;
}

std::string DateToStrWholeYear(TDateTime value) {
  return FormatDateTime("ddddd", value, WholeYearSettings(FormatSettings()));
}

std::string DateTimeToStrWholeYear(TDateTime value) {
  return FormatDateTime("c", value, WholeYearSettings(FormatSettings()));
}

bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& settings) {
  Scanner sc(s);
  TDateTime d = 0;
  if (!ScanDate(sc, d, settings) || !sc.AtEnd()) return false;
  value = d;
  return true;
}

bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& settings) {
  Scanner sc(s);
  TDateTime t = 0;
  if (!ScanTime(sc, t, settings) || !sc.AtEnd()) return false;
  value = t;
  return true;
}

bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& settings) {
  Scanner sc(s);
  TDateTime d = 0;
  TDateTime t = 0;
  if (ScanDate(sc, d, settings) && (sc.AtEnd() || (ScanTime(sc, t, settings) && sc.AtEnd()))) {
    value = ComposeDateTime(d, t);
    return true;
  }
  // A time alone.
  Scanner time(s);
  if (ScanTime(time, t, settings) && time.AtEnd()) {
    value = t;
    return true;
  }
  return false;
}

bool TryStrToDate(std::string_view s, TDateTime& value) { return TryStrToDate(s, value, FormatSettings()); }
bool TryStrToTime(std::string_view s, TDateTime& value) { return TryStrToTime(s, value, FormatSettings()); }
bool TryStrToDateTime(std::string_view s, TDateTime& value) {
  return TryStrToDateTime(s, value, FormatSettings());
}

TDateTime StrToDate(std::string_view s, const TFormatSettings& settings) {
  TDateTime v = 0;
  if (!TryStrToDate(s, v, settings)) Raise(RtlText(sysconst::SInvalidDate), s);
  return v;
}

TDateTime StrToTime(std::string_view s, const TFormatSettings& settings) {
  TDateTime v = 0;
  if (!TryStrToTime(s, v, settings)) Raise(RtlText(sysconst::SInvalidTime), s);
  return v;
}

TDateTime StrToDateTime(std::string_view s, const TFormatSettings& settings) {
  TDateTime v = 0;
  if (!TryStrToDateTime(s, v, settings)) Raise(RtlText(sysconst::SInvalidDateTime), s);
  return v;
}

TDateTime StrToDate(std::string_view s) { return StrToDate(s, FormatSettings()); }
TDateTime StrToTime(std::string_view s) { return StrToTime(s, FormatSettings()); }
TDateTime StrToDateTime(std::string_view s) { return StrToDateTime(s, FormatSettings()); }

}  // namespace tw
