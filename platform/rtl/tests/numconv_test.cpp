// Integer and floating-point conversion: the class library's documented examples, the
// parsers' error positions and texts, and round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "platform/rtl/sysutils.h"

namespace tw {
namespace {

class NumConv : public ::testing::Test {
 protected:
  ScopedFormatSettings settings_;
};

TEST_F(NumConv, IntegerTexts) {
  EXPECT_EQ(IntToStr(-42), "-42");
  EXPECT_EQ(IntToStr(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(IntToStr(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(-1, 4), "FFFFFFFF");  // a 32-bit value shows 32 bits
  EXPECT_EQ(IntToHex(std::int64_t{-1}, 4), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToHex(0xABCDEFu, 0), "ABCDEF");
}

TEST_F(NumConv, StrToIntAcceptsDecimalAndHexadecimal) {
  EXPECT_EQ(StrToInt("  -17"), -17);
  EXPECT_EQ(StrToInt("+8"), 8);
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_EQ(StrToInt("0x1f"), 31);
  EXPECT_EQ(StrToInt("-$10"), -16);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);  // the 32-bit pattern
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(StrToInt64("$7FFFFFFFFFFFFFFF"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(StrToIntDef("x", 5), 5);
  EXPECT_EQ(StrToInt64Def("", -5), -5);
  for (const char* bad : {"", " ", "-", "$", "12 ", "1.0", "2147483648", "-2147483649", "$100000000", "0x", "1e3"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << bad;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid integer value");
    }
  }
  EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
}

TEST_F(NumConv, ValReportsTheFirstBadPosition) {
  std::int32_t i = 99;
  EXPECT_EQ(Val("123", i), 0);
  EXPECT_EQ(i, 123);
  i = 99;
  EXPECT_EQ(Val("12a4", i), 3);
  EXPECT_EQ(i, 99);  // untouched on failure
  EXPECT_EQ(Val("", i), 1);
  EXPECT_EQ(Val("-", i), 2);
  EXPECT_EQ(Val("  $", i), 4);
  EXPECT_EQ(Val("12 ", i), 3);
  EXPECT_EQ(Val("21474836470", i), 11);  // the digit that overflows
  double d = 0;
  EXPECT_EQ(Val("1.5e3", d), 0);
  EXPECT_EQ(d, 1500.0);
  EXPECT_EQ(Val(" -.25", d), 0);
  EXPECT_EQ(d, -0.25);
  EXPECT_EQ(Val("1,5", d), 2);
  EXPECT_EQ(Val("1e", d), 3);
  EXPECT_EQ(Val("1e+x", d), 4);
  EXPECT_EQ(Val(".", d), 2);
  EXPECT_EQ(Val("1e999", d), 5);  // too large for a double
  EXPECT_EQ(Val("1e-999", d), 0);
  EXPECT_EQ(d, 0.0);
}

TEST_F(NumConv, StrToFloatUsesTheDecimalSeparator) {
  EXPECT_EQ(StrToFloat(" 3.25 "), 3.25);
  EXPECT_EQ(StrToFloat("-1E-2"), -0.01);
  EXPECT_EQ(StrToFloat("5."), 5.0);
  EXPECT_EQ(StrToFloat(".5"), 0.5);
  TFormatSettings de = DefaultFormatSettings();
  de.DecimalSeparator = ',';
  EXPECT_EQ(StrToFloat("3,25", de), 3.25);
  EXPECT_THROW(StrToFloat("3.25", de), EConvertError);
  for (const char* bad : {"", "abc", "1,000.5", "1e", "--1", "1.2.3", "NAN", "INF", "1e400", "0x10"}) {
    try {
      StrToFloat(bad);
      ADD_FAILURE() << bad;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), std::string("'") + bad + "' is not a valid floating point value");
    }
  }
  double v = 7;
  EXPECT_FALSE(TryStrToFloat("x", v));
  EXPECT_EQ(v, 7);
  EXPECT_TRUE(TextToFloat("2.5", v));
  EXPECT_EQ(v, 2.5);
  EXPECT_FALSE(TextToFloat(nullptr, v));
}

TEST_F(NumConv, FloatToStrKeepsFifteenDigits) {
  EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
  EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(0.00001), "0.00001");
  EXPECT_EQ(FloatToStr(0.000001), "1E-6");
  EXPECT_EQ(FloatToStr(-2.5e-10), "-2.5E-10");
  EXPECT_EQ(FloatToStr(0.0), "0");
  EXPECT_EQ(FloatToStr(-0.0), "0");
  EXPECT_EQ(FloatToStr(std::nan("")), "NAN");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
  // Every value survives FloatToStr and StrToFloat to 15 digits.
  std::mt19937_64 rng(3);
  for (int i = 0; i < 3000; ++i) {
    const double v = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 200) - 150);
    const double back = StrToFloat(FloatToStr(v));
    ASSERT_NEAR(back, v, std::fabs(v) * 1e-14) << v;
  }
}

TEST_F(NumConv, FloatToStrFFormats) {
  EXPECT_EQ(FloatToStrF(1234.5678, ffFixed, 8, 2), "1234.57");
  EXPECT_EQ(FloatToStrF(1234.5678, ffNumber, 8, 2), "1,234.57");
  EXPECT_EQ(FloatToStrF(1234.5678, ffCurrency, 8, 2), "$1,234.57");
  EXPECT_EQ(FloatToStrF(1234.5678, ffExponent, 4, 2), "1.235E+03");
  EXPECT_EQ(FloatToStrF(1234.5678, ffGeneral, 4, 0), "1235");
  EXPECT_EQ(FloatToStrF(123456.0, ffGeneral, 4, 0), "1.235E5");
  EXPECT_EQ(FloatToStrF(0.5, ffFixed, 15, 0), "1");
  EXPECT_EQ(FloatToStrF(2.675, ffFixed, 15, 2), "2.67");  // 2.675 is stored a little below
  EXPECT_EQ(FloatToStrF(1.0 / 3.0, ffFixed, 4, 6), "0.333300");
  EXPECT_EQ(FloatToStrF(999999.5, ffNumber, 15, 0), "1,000,000");
  EXPECT_EQ(FloatToStrF(-0.004, ffNumber, 15, 2), "0.00");
  EXPECT_EQ(FloatToStrF(1e20, ffFixed, 15, 2), "1E20");  // too many digits for fixed
  TFormatSettings fs = DefaultFormatSettings();
  const char* expected[16] = {"($1.50)", "-$1.50",  "$-1.50",  "$1.50-",  "(1.50$)",  "-1.50$",
                              "1.50-$",  "1.50$-",  "-1.50 $", "-$ 1.50", "1.50 $-", "$ 1.50-",
                              "$ -1.50", "1.50- $", "($ 1.50)", "(1.50 $)"};
  for (int n = 0; n < 16; ++n) {
    fs.NegCurrFormat = static_cast<std::uint8_t>(n);
    EXPECT_EQ(FloatToStrF(-1.5, ffCurrency, 15, 2, fs), expected[n]) << n;
  }
  const char* positive[4] = {"$1.50", "1.50$", "$ 1.50", "1.50 $"};
  for (int n = 0; n < 4; ++n) {
    fs.CurrencyFormat = static_cast<std::uint8_t>(n);
    EXPECT_EQ(FloatToStrF(1.5, ffCurrency, 15, 2, fs), positive[n]) << n;
  }
}

TEST_F(NumConv, FormatFloatDocumentedTable) {
  struct Row { const char* format; const char* results[4]; };
  // Values 1234, -1234, 0.5 and 0.
  const Row rows[] = {
      {"", {"1234", "-1234", "0.5", "0"}},
      {"0", {"1234", "-1234", "1", "0"}},
      {"0.00", {"1234.00", "-1234.00", "0.50", "0.00"}},
      {"#.##", {"1234", "-1234", ".5", ""}},
      {"#,##0.00", {"1,234.00", "-1,234.00", "0.50", "0.00"}},
      {"#,##0.00;(#,##0.00)", {"1,234.00", "(1,234.00)", "0.50", "0.00"}},
      {"#,##0.00;;Zero", {"1,234.00", "-1,234.00", "0.50", "Zero"}},
      {"0.000E+00", {"1.234E+03", "-1.234E+03", "5.000E-01", "0.000E+00"}},
      {"#.###E-0", {"1.234E3", "-1.234E3", "5E-1", "0E0"}},
  };
  const double values[4] = {1234, -1234, 0.5, 0};
  for (const Row& row : rows) {
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(FormatFloat(row.format, values[i]), row.results[i]) << row.format << " " << values[i];
    }
  }
}

TEST_F(NumConv, FormatFloatPlacesDigitsSeparatorsAndLiterals) {
  EXPECT_EQ(FormatFloat("0", 12345), "12345");  // extra digits at the first place
  EXPECT_EQ(FormatFloat("#,##0", 1234567), "1,234,567");
  EXPECT_EQ(FormatFloat("#,0", 1234567), "1,234,567");
  EXPECT_EQ(FormatFloat("000000", 42), "000042");
  EXPECT_EQ(FormatFloat("#####0", 42), "42");
  EXPECT_EQ(FormatFloat("00-00", 1234), "12-34");
  EXPECT_EQ(FormatFloat(".00", 12.5), "12.50");
  EXPECT_EQ(FormatFloat("0.0#", 1.5), "1.5");
  EXPECT_EQ(FormatFloat("0.0#", 1.256), "1.26");
  EXPECT_EQ(FormatFloat("$#,##0.00", -5), "-$5.00");
  EXPECT_EQ(FormatFloat("0.00 'kg'", 3), "3.00 kg");
  EXPECT_EQ(FormatFloat("\"a;b\" 0", 7), "a;b 7");
  EXPECT_EQ(FormatFloat("0.00", 0.125), "0.13");
  EXPECT_EQ(FormatFloat("0.00", -0.001), "0.00");
  EXPECT_EQ(FormatFloat("0.00;-0.00;\"nil\"", -0.001), "nil");  // rounds to zero
  EXPECT_EQ(FormatFloat("00.00E+00", 1234.5), "12.35E+02");
  EXPECT_EQ(FormatFloat("0E+00", 0.00012), "1E-04");
  EXPECT_EQ(FormatFloat("0.00", 1e30), "1E30");
  EXPECT_EQ(FormatFloat("0", std::nan("")), "NAN");
  TFormatSettings de = DefaultFormatSettings();
  de.DecimalSeparator = ',';
  de.ThousandSeparator = '.';
  EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891, de), "1.234.567,89");
}

TEST_F(NumConv, StringHelpers) {
  EXPECT_EQ(Trim(" \t\r\nab c\x01 "), "ab c");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // only control characters and blanks go
  EXPECT_EQ(TrimLeft("  a  "), "a  ");
  EXPECT_EQ(TrimRight("  a  "), "  a");
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(AnsiQuotedStr("say \"hi\"", '"'), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(AnsiDequotedStr("'it''s' rest", '\''), "it's");
  EXPECT_EQ(AnsiDequotedStr("plain", '\''), "plain");
  EXPECT_EQ(AnsiDequotedStr("'open", '\''), "open");
  EXPECT_EQ(StringReplace("aXbxc", "x", "-", {}), "aXb-c");
  EXPECT_EQ(StringReplace("aXbxc", "x", "-", {rfReplaceAll, rfIgnoreCase}), "a-b-c");
  EXPECT_EQ(StringReplace("\xC4pfel \xE4pfel", "\xE4", "ae", {rfReplaceAll, rfIgnoreCase}), "aepfel aepfel");
  EXPECT_EQ(StringReplace("aaa", "aa", "a", {rfReplaceAll}), "aa");
  EXPECT_EQ(StringReplace("abc", "", "x", {rfReplaceAll}), "abc");
  EXPECT_EQ(Pos("lo", "hello"), 4u);
  EXPECT_EQ(Pos("z", "hello"), 0u);
  EXPECT_EQ(LastDelimiter("\\.", "c:\\dir\\file.txt"), 12u);
  EXPECT_EQ(AdjustLineBreaks("a\nb\rc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\ne");
  EXPECT_THROW(Abort(), EAbort);
}

}  // namespace
}  // namespace tw
