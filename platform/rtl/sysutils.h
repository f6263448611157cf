// Text and number services of the runtime library: `Format` with its argument record,
// integer and floating-point conversion, `FormatFloat`, and string helpers.
//
// All texts are Windows-1252 bytes.  Conversions that depend on the user's settings read the
// process-wide `FormatSettings()` unless an explicit `TFormatSettings` is passed.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/set.h"

namespace tw {

// One argument of `Format`: an integer, a floating-point value, a Boolean, a character, a
// text or a pointer.  Implicitly made from any of them, so calls read
// `Format("%s has %d", {name, count})`.  A text argument is copied.
struct TVarRec {
  enum class Kind : std::uint8_t { Integer, Int64, Extended, Boolean, Char, String, Pointer };

  // Integers of up to 32 bits (signed) are `Integer`; wider ones and 32-bit unsigned values
  // are `Int64`.  `char` is a character; `signed char`/`unsigned char` are numbers.
  template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>)
  TVarRec(T v) {  // NOLINT(google-explicit-constructor)
    if constexpr (std::is_signed_v<T> && sizeof(T) <= 4) {
      kind = Kind::Integer;
      i = v;
    } else if constexpr (std::is_unsigned_v<T> && sizeof(T) < 4) {
      kind = Kind::Integer;
      i = v;
    } else {
      kind = Kind::Int64;
      i = static_cast<std::int64_t>(v);
      isUnsigned = std::is_unsigned_v<T>;
    }
  }
  // Enumerations pass their ordinal value.
  template <typename E>
    requires std::is_enum_v<E>
  TVarRec(E v) : TVarRec(static_cast<std::underlying_type_t<E>>(v)) {}  // NOLINT
  TVarRec(bool v) : kind(Kind::Boolean), i(v ? 1 : 0) {}  // NOLINT
  TVarRec(char v) : kind(Kind::Char), s(1, v) {}          // NOLINT
  TVarRec(double v) : kind(Kind::Extended), d(v) {}       // NOLINT
  TVarRec(float v) : kind(Kind::Extended), d(v) {}        // NOLINT
  TVarRec(long double v) : kind(Kind::Extended), d(static_cast<double>(v)) {}  // NOLINT
  TVarRec(const char* v) : kind(Kind::String), s(v ? v : "") {}                // NOLINT
  TVarRec(const std::string& v) : kind(Kind::String), s(v) {}                  // NOLINT
  TVarRec(std::string&& v) : kind(Kind::String), s(std::move(v)) {}            // NOLINT
  TVarRec(std::string_view v) : kind(Kind::String), s(v) {}                    // NOLINT
  TVarRec(const void* v) : kind(Kind::Pointer), p(v) {}                        // NOLINT
  TVarRec(std::nullptr_t) : kind(Kind::Pointer) {}                             // NOLINT

  Kind kind;
  bool isUnsigned = false;  // Int64 holding an unsigned 64-bit value
  std::int64_t i = 0;
  double d = 0;
  std::string s;
  const void* p = nullptr;
};

// The class library's `Format`.  A specifier is
//   "%" [index ":"] ["-"] [width] ["." precision] type
// with index, width and precision as decimals or "*" (taken from the next argument).
// Types (case-insensitive): d (decimal; precision = minimum digits), u (unsigned; a negative
// 32-bit value is read as its unsigned 32-bit pattern), x (upper-case hexadecimal),
// s (text or character; precision = maximum length), e (scientific, precision = total
// digits, default 15, exponent sign and at least three digits), f (fixed, default 2
// decimals), g (general, default 15 significant digits), n (fixed with thousands
// separators, default 2 decimals), m (currency, default CurrencyDecimals decimals),
// p (pointer, upper-case hexadecimal); "%%" is a percent sign.  Width pads with blanks on the
// left, or on the right with "-".  An argument of the wrong kind or a malformed specifier
// raises EConvertError "Format '...' invalid or incompatible with argument"; a missing
// argument raises EConvertError "No argument for format '...'".
std::string Format(std::string_view pattern, std::initializer_list<TVarRec> args);
std::string Format(std::string_view pattern, const std::vector<TVarRec>& args);
std::string Format(std::string_view pattern, const TVarRec* args, std::size_t count,
                   const TFormatSettings& settings);

// ---- integers -------------------------------------------------------------------------

std::string IntToStrSigned(std::int64_t value);
std::string IntToStrUnsigned(std::uint64_t value);
template <std::integral T>
std::string IntToStr(T value) {
  if constexpr (std::is_signed_v<T>) {
    return IntToStrSigned(value);
  } else {
    return IntToStrUnsigned(value);
  }
}

// Upper-case hexadecimal of at least `digits` digits.  A negative value shows the two's
// complement pattern of its own width: IntToHex(-1, 4) is "FFFFFFFF" for a 32-bit int and
// "FFFFFFFFFFFFFFFF" for a 64-bit one.
std::string IntToHexBits(std::uint64_t pattern, int digits);
template <std::integral T>
std::string IntToHex(T value, int digits) {
  if constexpr (sizeof(T) <= 4) {
    return IntToHexBits(static_cast<std::uint32_t>(value), digits);
  } else {
    return IntToHexBits(static_cast<std::uint64_t>(value), digits);
  }
}

// Decimal or hexadecimal ("$1F", "0x1F") text with optional blanks before and sign; no
// trailing characters.  Out of range or malformed: EConvertError "'...' is not a valid
// integer value".
std::int32_t StrToInt(std::string_view s);
std::int64_t StrToInt64(std::string_view s);
std::int32_t StrToIntDef(std::string_view s, std::int32_t def);
std::int64_t StrToInt64Def(std::string_view s, std::int64_t def);
bool TryStrToInt(std::string_view s, std::int32_t& value);
bool TryStrToInt64(std::string_view s, std::int64_t& value);

// The runtime's `Val`: converts s and returns 0, or the 1-based position of the first
// character that cannot belong to the number (the length + 1 when the text ends too soon,
// as with "" or "-").  Leading blanks are skipped; "$" or "0x" introduces hexadecimal.  An
// out-of-range value gives the position of the digit that overflows.  The floating-point
// form takes '.' as decimal point and an optional exponent, independent of the settings.
int Val(std::string_view s, std::int32_t& value);
int Val(std::string_view s, std::int64_t& value);
int Val(std::string_view s, double& value);

// ---- floating point -------------------------------------------------------------------

enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
using enum TFloatFormat;

// The class library's FloatToStrF: precision = significant digits (clamped to 2..18; 15 for
// double-precision exactness), digits = minimum exponent digits (general, exponent) or
// decimals (fixed, number, currency).  NaN gives "NAN", infinities "INF" / "-INF".
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& settings);
// ffGeneral with 15 digits.
std::string FloatToStr(double value);
std::string FloatToStr(double value, const TFormatSettings& settings);
std::string CurrToStr(double value);

// Format strings of up to three sections "positive;negative;zero".  In a section: "0" digit
// placeholder (a digit or 0), "#" digit placeholder (a digit or nothing), "." decimal point
// (shown as DecimalSeparator), "," thousands separators between groups of three integer
// digits (shown as ThousandSeparator), "E+" "E-" "e+" "e-" scientific notation with the
// exponent's minimum digits given by the following 0s, text between ' or " as it stands,
// any other character as it stands.  An empty format or section gives FloatToStrF general.
// A negative value formatted by the first section gets a leading '-'; a value that rounds to
// zero in its section is shown by the zero section when there is one.
std::string FormatFloat(std::string_view format, double value);
std::string FormatFloat(std::string_view format, double value, const TFormatSettings& settings);
std::string FormatCurr(std::string_view format, double value);

// Text with optional blanks around, the settings' DecimalSeparator, optional exponent
// ("1E5", "2.5e-3"); no thousands separators.  StrToFloat raises EConvertError
// "'...' is not a valid floating point value".
double StrToFloat(std::string_view s);
double StrToFloat(std::string_view s, const TFormatSettings& settings);
double StrToFloatDef(std::string_view s, double def);
bool TryStrToFloat(std::string_view s, double& value);
bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& settings);
bool TextToFloat(const char* text, double& value);  // the class library's name for Try...

// ---- strings --------------------------------------------------------------------------

// Removes characters up to and including the blank (all control characters) at the ends.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// s between quotes, with every embedded quote doubled.
std::string QuotedStr(std::string_view s);
std::string AnsiQuotedStr(std::string_view s, char quote);
// Reverses AnsiQuotedStr: text not starting with the quote is returned unchanged;
// the closing quote may be missing.
std::string AnsiDequotedStr(std::string_view s, char quote);

enum class TReplaceFlag { rfReplaceAll, rfIgnoreCase };
using enum TReplaceFlag;
using TReplaceFlags = Set<TReplaceFlag>;
// Replaces the first (or every) occurrence of oldPattern; rfIgnoreCase compares with the
// Windows-1252 case mapping.  An empty oldPattern changes nothing.
std::string StringReplace(std::string_view s, std::string_view oldPattern,
                          std::string_view newPattern, TReplaceFlags flags);

// 1-based position of sub in s, 0 when absent (the runtime's Pos).
std::size_t Pos(std::string_view sub, std::string_view s);
// 1-based position of the last character of s that occurs in delimiters, 0 when none.
std::size_t LastDelimiter(std::string_view delimiters, std::string_view s);

// Line breaks (CR, LF, CR LF, LF CR) made CR LF.
std::string AdjustLineBreaks(std::string_view s);

// Raises the silent exception EAbort.
[[noreturn]] void Abort();

}  // namespace tw
