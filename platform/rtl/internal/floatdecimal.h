// Decimal digits of a double, rounded to the requested length from the exact binary value:
// to nearest, an exact tie away from zero (2.5 -> 3, 0.125 -> 0.13).
#pragma once

#include <string>

#include "platform/rtl/formatsettings.h"

namespace tw::internal {

struct FloatDecimal {
  bool negative = false;
  bool nan = false;
  bool infinite = false;
  // value = 0.d1 d2 d3 ... x 10^exponent; no trailing zeros; empty digits mean zero.
  int exponent = 0;
  std::string digits;
};

// Rounds to at most `precision` (1..18) significant digits and at most `decimals` digits after the
// decimal point (decimals >= 9999 means no limit).
FloatDecimal ToDecimal(double value, int precision, int decimals);

// Integer digits with thousands separators inserted (used by ffNumber and ffCurrency).
std::string GroupThousands(const std::string& integerDigits, char separator);

// The currency layout of an already formatted, unsigned amount.
std::string ApplyCurrencyFormat(const std::string& amount, bool negative,
                                const TFormatSettings& settings);

}  // namespace tw::internal
