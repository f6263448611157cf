// Floating-point conversion: decimal digits, FloatToStrF, FormatFloat and the parsers.
#include <algorithm>
#include <charconv>
#include <climits>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/internal/floatdecimal.h"
#include "platform/rtl/sysconst.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/uilanguage.h"

namespace tw {
namespace internal {

namespace {

// Prints |value| as "d.ddd...e+XX" with `digits` digits after the point, rounded in the
// given floating-point rounding mode (the C library honours it).
std::string PrintScientific(double magnitude, int digits, int mode) {
  const int saved = std::fegetround();
  std::fesetround(mode);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", digits, magnitude);
  std::fesetround(saved);
  return buf;
}

// Significant digits and decimal exponent (0.ddd x 10^exponent) of a printed value.
void SplitScientific(const std::string& printed, std::string& digits, int& exponent) {
  const std::size_t e = printed.find('e');
  digits.assign(1, printed[0]);
  if (e > 2) digits.append(printed, 2, e - 2);
  exponent = std::atoi(printed.c_str() + e + 1) + 1;
}

}  // namespace

// The digits are rounded once, from the exact binary value: to nearest, and an exact tie
// away from zero.
FloatDecimal ToDecimal(double value, int precision, int decimals) {
  FloatDecimal r;
  if (std::isnan(value)) {
    r.nan = true;
    return r;
  }
  if (std::isinf(value)) {
    r.infinite = true;
    r.negative = value < 0;
    return r;
  }
  if (value == 0) return r;
  r.negative = value < 0;
  const double magnitude = std::fabs(value);

  // Truncated digits give the exact exponent and the digits around the rounding place.
  std::string truncated;
  int exponent = 0;
  SplitScientific(PrintScientific(magnitude, 19, FE_TOWARDZERO), truncated, exponent);

  precision = std::clamp(precision, 1, 18);
  long keep = precision;
  if (decimals < 9999) keep = std::min<long>(keep, static_cast<long>(exponent) + decimals);
  if (keep < 0) return FloatDecimal{};
  std::string digits;
  if (keep == 0) {
    if (truncated[0] < '5') return FloatDecimal{};
    digits.assign(1, '1');
    ++exponent;
  } else {
    const auto k = static_cast<std::size_t>(keep);
    const bool maybeTie = truncated[k] == '5' && truncated.find_first_not_of('0', k + 1) == std::string::npos;
    bool tie = false;
    if (maybeTie) {
      // Exact when rounding down and up print the same digits.
      const std::string down = PrintScientific(magnitude, static_cast<int>(keep), FE_TOWARDZERO);
      tie = down == PrintScientific(magnitude, static_cast<int>(keep), FE_UPWARD);
    }
    if (tie) {
      digits = truncated.substr(0, k);
      std::size_t i = k;
      while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
      if (i > 0) {
        ++digits[i - 1];
      } else {
        digits.insert(digits.begin(), '1');
        ++exponent;
      }
    } else {
      SplitScientific(PrintScientific(magnitude, static_cast<int>(keep) - 1, FE_TONEAREST), digits, exponent);
    }
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty()) return FloatDecimal{};
  r.digits = std::move(digits);
  r.exponent = exponent;
  return r;
}

std::string GroupThousands(const std::string& integerDigits, char separator) {
  std::string out;
  out.reserve(integerDigits.size() + integerDigits.size() / 3);
  std::size_t n = integerDigits.size();
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(integerDigits[i]);
    std::size_t left = n - i - 1;
    if (left > 0 && left % 3 == 0 && separator != '\0') out.push_back(separator);
  }
  return out;
}

std::string ApplyCurrencyFormat(const std::string& amount, bool negative, const TFormatSettings& fs) {
  const std::string& c = fs.CurrencyString;
  if (!negative) {
    switch (fs.CurrencyFormat) {
      case 1: return amount + c;
      case 2: return c + " " + amount;
      case 3: return amount + " " + c;
      default: return c + amount;
    }
  }
  switch (fs.NegCurrFormat) {
    case 1: return "-" + c + amount;
    case 2: return c + "-" + amount;
    case 3: return c + amount + "-";
    case 4: return "(" + amount + c + ")";
    case 5: return "-" + amount + c;
    case 6: return amount + "-" + c;
    case 7: return amount + c + "-";
    case 8: return "-" + amount + " " + c;
    case 9: return "-" + c + " " + amount;
    case 10: return amount + " " + c + "-";
    case 11: return c + " " + amount + "-";
    case 12: return c + " -" + amount;
    case 13: return amount + "- " + c;
    case 14: return "(" + c + " " + amount + ")";
    case 15: return "(" + amount + " " + c + ")";
    default: return "(" + c + amount + ")";
  }
}

}  // namespace internal

namespace {

using internal::FloatDecimal;
using internal::ToDecimal;

std::string SpecialText(const FloatDecimal& d) {
  if (d.nan) return "NAN";
  return d.negative ? "-INF" : "INF";
}

std::string ExponentText(int exponent, int minDigits, bool plusSign) {
  std::string out = "E";
  if (exponent < 0) {
    out += '-';
  } else if (plusSign) {
    out += '+';
  }
  std::string digits = std::to_string(std::abs(exponent));
  if (static_cast<int>(digits.size()) < minDigits) digits.insert(0, static_cast<std::size_t>(minDigits) - digits.size(), '0');
  return out + digits;
}

// Integer and fraction digits of a decimal, the fraction padded or cut to `decimals`.
void SplitFixed(const FloatDecimal& d, int decimals, std::string& integer, std::string& fraction) {
  integer.clear();
  fraction.clear();
  if (d.exponent > 0) {
    integer = d.digits.substr(0, std::min<std::size_t>(d.digits.size(), static_cast<std::size_t>(d.exponent)));
    if (static_cast<int>(integer.size()) < d.exponent) integer.append(static_cast<std::size_t>(d.exponent) - integer.size(), '0');
  } else {
    integer.assign(1, '0');
  }
  for (int i = 0; i < decimals; ++i) {
    int index = d.exponent + i;  // index into digits
    char digit = '0';
    if (index >= 0 && index < static_cast<int>(d.digits.size())) digit = d.digits[static_cast<std::size_t>(index)];
    fraction.push_back(digit);
  }
}

std::string FormatGeneral(const FloatDecimal& d, int precision, int minExp, char sep) {
  if (d.digits.empty()) return "0";
  std::string out = d.negative ? "-" : "";
  if (d.exponent > precision || d.exponent < -4) {
    out += d.digits[0];
    if (d.digits.size() > 1) {
      out += sep;
      out.append(d.digits, 1);
    }
    return out + ExponentText(d.exponent - 1, minExp, false);
  }
  if (d.exponent <= 0) {
    out += '0';
    out += sep;
    out.append(static_cast<std::size_t>(-d.exponent), '0');
    return out + d.digits;
  }
  std::string integer, fraction;
  SplitFixed(d, 0, integer, fraction);
  out += integer;
  if (static_cast<int>(d.digits.size()) > d.exponent) {
    out += sep;
    out.append(d.digits, static_cast<std::size_t>(d.exponent));
  }
  return out;
}

}  // namespace

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs) {
  precision = std::clamp(precision, 1, 18);
  const char sep = fs.DecimalSeparator;
  switch (format) {
    case ffGeneral: {
      FloatDecimal d = ToDecimal(value, precision, 9999);
      if (d.nan || d.infinite) return SpecialText(d);
      return FormatGeneral(d, precision, std::clamp(digits, 0, 4), sep);
    }
    case ffExponent: {
      FloatDecimal d = ToDecimal(value, precision, 9999);
      if (d.nan || d.infinite) return SpecialText(d);
      std::string all = d.digits;
      all.resize(static_cast<std::size_t>(precision), '0');
      std::string out = d.negative ? "-" : "";
      out += all[0];
      if (all.size() > 1) {
        out += sep;
        out.append(all, 1);
      }
      return out + ExponentText(d.digits.empty() ? 0 : d.exponent - 1, std::clamp(digits, 0, 4), true);
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
      digits = std::clamp(digits, 0, 18);
      FloatDecimal d = ToDecimal(value, precision, digits);
      if (d.nan || d.infinite) return SpecialText(d);
      if (d.exponent > precision) return FloatToStrF(value, ffGeneral, precision, 0, fs);
      std::string integer, fraction;
      SplitFixed(d, digits, integer, fraction);
      if (format != ffFixed) integer = internal::GroupThousands(integer, fs.ThousandSeparator);
      std::string amount = integer;
      if (digits > 0) {
        amount += sep;
        amount += fraction;
      }
      bool negative = d.negative && !d.digits.empty();
      if (format == ffCurrency) return internal::ApplyCurrencyFormat(amount, negative, fs);
      return negative ? "-" + amount : amount;
    }
  }
  return {};
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
  return FloatToStrF(value, format, precision, digits, FormatSettings());
}

std::string FloatToStr(double value) { return FloatToStrF(value, ffGeneral, 15, 0, FormatSettings()); }

std::string FloatToStr(double value, const TFormatSettings& settings) {
  return FloatToStrF(value, ffGeneral, 15, 0, settings);
}

std::string CurrToStr(double value) { return FloatToStrF(value, ffGeneral, 19, 0, FormatSettings()); }

// ---- FormatFloat ---------------------------------------------------------------------

namespace {

// The sections of a format, split at unquoted ';'.
std::vector<std::string_view> SplitSections(std::string_view format) {
  std::vector<std::string_view> sections;
  std::size_t start = 0;
  char quote = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';' && sections.size() < 2) {
      sections.push_back(format.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(format.substr(start));
  return sections;
}

struct SectionLayout {
  int integerPlaces = 0;     // '0'/'#' before the decimal point
  int firstZero = -1;        // place (counted from the point, 1 = units) of the leftmost '0'
  int decimalPlaces = 0;     // '0'/'#' after the decimal point
  int lastZero = 0;          // place of the rightmost '0' after the point
  bool hasPoint = false;
  bool thousands = false;
  bool scientific = false;
  bool placeholders = false;
};

bool IsExponentAt(std::string_view s, std::size_t i) {
  return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

SectionLayout Analyse(std::string_view s) {
  SectionLayout L;
  char quote = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '0' || c == '#') {
      L.placeholders = true;
      if (L.hasPoint) {
        ++L.decimalPlaces;
        if (c == '0') L.lastZero = L.decimalPlaces;
      } else {
        ++L.integerPlaces;
      }
    } else if (c == '.' && !L.hasPoint) {
      L.hasPoint = true;
    } else if (c == ',') {
      L.thousands = true;
    } else if (IsExponentAt(s, i)) {
      L.scientific = true;
      break;
    }
  }
  // Place of the leftmost '0' of the integer part.
  quote = 0;
  int place = L.integerPlaces;
  for (std::size_t i = 0; i < s.size() && place > 0; ++i) {
    char c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '.' || IsExponentAt(s, i)) {
      break;
    } else if (c == '0' || c == '#') {
      if (c == '0') {
        L.firstZero = place;
        break;
      }
      --place;
    }
  }
  return L;
}

std::string RenderSection(std::string_view s, const SectionLayout& L, const FloatDecimal& d,
                          int exponentShown, const TFormatSettings& fs) {
  // Integer digits of the number to show, and the fraction digits.
  std::string integer, fraction;
  if (L.scientific) {
    int intCount = std::max(L.integerPlaces, 0);
    for (int i = 0; i < intCount; ++i) {
      integer.push_back(i < static_cast<int>(d.digits.size()) ? d.digits[static_cast<std::size_t>(i)] : '0');
    }
    // Leading zeros are not digits of the number; zero itself shows one digit.
    std::size_t nz = integer.find_first_not_of('0');
    integer.erase(0, nz == std::string::npos ? integer.size() : nz);
    if (d.digits.empty() && intCount > 0) integer.assign(1, '0');
    if (static_cast<int>(d.digits.size()) > intCount) fraction = d.digits.substr(static_cast<std::size_t>(intCount));
  } else {
    if (d.exponent > 0) {
      integer = d.digits.substr(0, std::min<std::size_t>(d.digits.size(), static_cast<std::size_t>(d.exponent)));
      integer.append(static_cast<std::size_t>(d.exponent) - integer.size(), '0');
    }
    for (int i = 0; i < L.decimalPlaces; ++i) {
      int index = d.exponent + i;
      if (index >= 0 && index < static_cast<int>(d.digits.size())) {
        fraction.resize(static_cast<std::size_t>(i), '0');
        fraction.push_back(d.digits[static_cast<std::size_t>(index)]);
      }
    }
  }
  const int digitCount = static_cast<int>(integer.size());
  // Fraction digits to show: the number's digits, at least up to the last '0' place.
  const int fractionShown = std::max(static_cast<int>(fraction.size()), L.lastZero);

  std::string out;
  int place = std::max(L.integerPlaces, digitCount);  // place of the next integer digit
  bool afterPoint = false;
  int fractionPlace = 0;
  bool exponentDone = false;
  char quote = 0;
  auto emitIntegerDigit = [&](int placeNow, bool zeroPad) {
    int index = digitCount - placeNow;
    if (index >= 0) {
      out.push_back(integer[static_cast<std::size_t>(index)]);
    } else if (zeroPad) {
      out.push_back('0');
    } else {
      return;
    }
    if (L.thousands && placeNow > 1 && (placeNow - 1) % 3 == 0) out.push_back(fs.ThousandSeparator);
  };
  bool firstPlaceholder = true;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (quote) {
      if (c == quote) {
        quote = 0;
      } else {
        out.push_back(c);
      }
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      continue;
    }
    if (exponentDone) {
      out.push_back(c);
      continue;
    }
    if ((c == '0' || c == '#') && !afterPoint) {
      if (firstPlaceholder) {
        // Digits beyond the written places all come out at the first one.
        firstPlaceholder = false;
        while (place > L.integerPlaces) {
          emitIntegerDigit(place, false);
          --place;
        }
      }
      bool zeroPad = L.firstZero >= place && L.firstZero > 0;
      emitIntegerDigit(place, zeroPad);
      --place;
    } else if ((c == '0' || c == '#') && afterPoint) {
      ++fractionPlace;
      if (fractionPlace <= static_cast<int>(fraction.size())) {
        out.push_back(fraction[static_cast<std::size_t>(fractionPlace - 1)]);
      } else if (fractionPlace <= L.lastZero) {
        out.push_back('0');
      }
    } else if (c == '.' && !afterPoint) {
      if (firstPlaceholder) {
        // No integer places written: the integer digits stand before the point.
        firstPlaceholder = false;
        for (; place > 0; --place) emitIntegerDigit(place, false);
      }
      afterPoint = true;
      if (fractionShown > 0) out.push_back(fs.DecimalSeparator);
    } else if (c == ',') {
      // Only switches the thousands separators on.
    } else if (IsExponentAt(s, i)) {
      out.push_back(c);
      char signMode = s[i + 1];
      ++i;
      int minDigits = 0;
      while (i + 1 < s.size() && s[i + 1] == '0') {
        ++minDigits;
        ++i;
      }
      if (exponentShown < 0) {
        out.push_back('-');
      } else if (signMode == '+') {
        out.push_back('+');
      }
      std::string e = std::to_string(std::abs(exponentShown));
      if (static_cast<int>(e.size()) < minDigits) e.insert(0, static_cast<std::size_t>(minDigits) - e.size(), '0');
      out += e;
      exponentDone = true;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::string FormatFloat(std::string_view format, double value, const TFormatSettings& fs) {
  if (std::isnan(value) || std::isinf(value)) return FloatToStrF(value, ffGeneral, 15, 0, fs);
  std::vector<std::string_view> sections = SplitSections(format);
  auto sectionFor = [&](std::size_t index) {
    if (index < sections.size() && !sections[index].empty()) return sections[index];
    return sections[0];
  };
  std::string_view section = value < 0 ? sectionFor(1) : (value == 0 ? sectionFor(2) : sections[0]);
  bool signInFormat = value < 0 && sections.size() > 1 && !sections[1].empty();
  if (section.empty()) return FloatToStrF(value, ffGeneral, 15, 0, fs);

  auto render = [&](std::string_view sec, double v, bool withSign) -> std::string {
    SectionLayout L = Analyse(sec);
    if (!L.placeholders) return RenderSection(sec, L, FloatDecimal{}, 0, fs);
    FloatDecimal d;
    int exponentShown = 0;
    if (L.scientific) {
      int digits = std::max(1, L.integerPlaces + L.decimalPlaces);
      d = ToDecimal(v, digits, 9999);
      if (!d.digits.empty()) exponentShown = d.exponent - std::max(L.integerPlaces, 0);
      if (L.integerPlaces == 0 && !d.digits.empty()) exponentShown = d.exponent;
    } else {
      d = ToDecimal(v, 18, L.decimalPlaces);
      if (d.exponent > 18) return FloatToStrF(v, ffGeneral, 15, 0, fs);
    }
    std::string text = RenderSection(sec, L, d, exponentShown, fs);
    if (withSign && !d.digits.empty()) text.insert(0, 1, '-');
    return text;
  };

  if (value != 0) {
    // A value that rounds to zero in its section is shown by the zero section.
    SectionLayout L = Analyse(section);
    if (L.placeholders && !L.scientific) {
      FloatDecimal d = ToDecimal(value, 18, L.decimalPlaces);
      if (d.digits.empty() && sections.size() > 2 && !sections[2].empty()) {
        return render(sections[2], 0.0, false);
      }
    }
  }
  double shown = signInFormat ? std::fabs(value) : value;
  return render(section, std::fabs(shown), shown < 0);
}

std::string FormatFloat(std::string_view format, double value) {
  return FormatFloat(format, value, FormatSettings());
}

std::string FormatCurr(std::string_view format, double value) { return FormatFloat(format, value); }

// ---- parsing ---------------------------------------------------------------------------

namespace {

// Scans a decimal number "[+|-]digits[sep digits][(E|e)[+|-]digits]" from s[i]; returns the
// position where the scan stopped and whether a complete number was read.  The number is
// copied to `ascii` in the C form for from_chars.
struct ScanResult {
  std::size_t end = 0;
  bool complete = false;
  std::string ascii;
};

ScanResult ScanDecimal(std::string_view s, std::size_t i, char sep) {
  ScanResult r;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    if (s[i] == '-') r.ascii.push_back('-');
    ++i;
  }
  int mantissaDigits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    r.ascii.push_back(s[i++]);
    ++mantissaDigits;
  }
  if (i < s.size() && s[i] == sep) {
    r.ascii.push_back('.');
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      r.ascii.push_back(s[i++]);
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) {
    r.end = i;
    return r;
  }
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
    r.ascii.push_back('e');
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) r.ascii.push_back(s[i++]);
    int expDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      if (expDigits < 6) r.ascii.push_back(s[i]);  // larger exponents are out of range anyway
      else if (expDigits == 6) r.ascii.push_back('9');
      ++i;
      ++expDigits;
    }
    if (expDigits == 0) {
      r.end = i;
      return r;
    }
  }
  r.end = i;
  r.complete = true;
  return r;
}

// Converts the scanned text; false when the magnitude is too large for a double.
bool ConvertScanned(const std::string& ascii, double& value) {
  const char* first = ascii.data();
  const char* last = first + ascii.size();
  double v = 0;
  auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Underflow gives zero; overflow is an error.
    std::size_t e = ascii.find('e');
    bool negativeExponent = e != std::string::npos && e + 1 < ascii.size() && ascii[e + 1] == '-';
    if (!negativeExponent) return false;
    v = ascii[0] == '-' ? -0.0 : 0.0;
  } else if (ec != std::errc() || ptr != last) {
    return false;
  }
  value = v;
  return true;
}

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& settings) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  ScanResult r = ScanDecimal(s, i, settings.DecimalSeparator);
  if (!r.complete) return false;
  i = r.end;
  while (i < s.size() && IsBlank(s[i])) ++i;
  if (i != s.size()) return false;
  double v;
  if (!ConvertScanned(r.ascii, v)) return false;
  value = v;
  return true;
}

bool TryStrToFloat(std::string_view s, double& value) { return TryStrToFloat(s, value, FormatSettings()); }

bool TextToFloat(const char* text, double& value) {
  return text != nullptr && TryStrToFloat(std::string_view(text), value);
}

double StrToFloat(std::string_view s, const TFormatSettings& settings) {
  double v = 0;
  if (!TryStrToFloat(s, v, settings)) throw EConvertError(Format(RtlText(sysconst::SInvalidFloat), {std::string(s)}));
  return v;
}

double StrToFloat(std::string_view s) { return StrToFloat(s, FormatSettings()); }

double StrToFloatDef(std::string_view s, double def) {
  double v = 0;
  return TryStrToFloat(s, v) ? v : def;
}

int Val(std::string_view s, double& value) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  ScanResult r = ScanDecimal(s, i, '.');
  if (!r.complete) return static_cast<int>(r.end) + 1;
  if (r.end != s.size()) return static_cast<int>(r.end) + 1;
  double v;
  if (!ConvertScanned(r.ascii, v)) return static_cast<int>(s.size());
  value = v;
  return 0;
}

}  // namespace tw
