// Format: compared with the C library's printf where the two agree, and on the points where
// the class library's Format differs (upper-case hexadecimal, total digits of %e, grouping,
// currency, argument indexes, error texts).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "platform/rtl/sysutils.h"

namespace tw {
namespace {

template <typename... A>
std::string Printf(const char* fmt, A... args) {
  char buf[512];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

class FormatTest : public ::testing::Test {
 protected:
  ScopedFormatSettings settings_;
};

TEST_F(FormatTest, IntegersMatchPrintf) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> any(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  for (int i = 0; i < 2000; ++i) {
    const int v = i < 10 ? i - 5 : any(rng);
    const int width = i % 13;
    const int precision = i % 7;
    ASSERT_EQ(Format("%d", {v}), Printf("%d", v));
    ASSERT_EQ(Format("%*d|%-*d", {width, v, width, v}), Printf("%*d|%-*d", width, v, width, v));
    ASSERT_EQ(Format("%.*d", {precision, v}), Printf("%.*d", precision, v));
    ASSERT_EQ(Format("%u", {v}), Printf("%u", static_cast<unsigned>(v)));
    ASSERT_EQ(Format("%x", {v}), Printf("%X", static_cast<unsigned>(v)));
    ASSERT_EQ(Format("%8.4X", {v}), Printf("%8.4X", static_cast<unsigned>(v)));
  }
  const long long big = -1234567890123456789LL;
  EXPECT_EQ(Format("%d", {big}), Printf("%lld", big));
  EXPECT_EQ(Format("%x", {big}), Printf("%llX", static_cast<unsigned long long>(big)));
  EXPECT_EQ(Format("%d", {std::numeric_limits<std::uint64_t>::max()}), "18446744073709551615");
  EXPECT_EQ(Format("%d", {std::numeric_limits<std::int64_t>::min()}), "-9223372036854775808");
  EXPECT_EQ(Format("%d %d", {static_cast<unsigned char>(200), static_cast<short>(-3)}), "200 -3");
}

TEST_F(FormatTest, FixedAndScientificMatchPrintfAwayFromTies) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  // At most 18 significant digits are shown, as the class library does; stay within them.
  std::uniform_int_distribution<int> exponent(-8, 11);
  int compared = 0;
  for (int i = 0; i < 4000; ++i) {
    const double v = mantissa(rng) * std::pow(10.0, exponent(rng));
    const int decimals = i % 6;
    // printf rounds exact ties to even and the class library away from zero; skip values
    // whose 18 significant digits put a 5 right at the rounding place.
    const std::string exact = Printf("%.30f", std::fabs(v));
    const std::size_t point = exact.find('.');
    const std::string after = exact.substr(point + 1 + static_cast<std::size_t>(decimals), 3);
    if (after.rfind("50", 0) == 0 || after.rfind("49", 0) == 0) continue;
    ++compared;
    std::string expected = Printf("%.*f", decimals, v);
    // printf keeps the sign of a negative value shown as zero; Format drops it.
    if (expected.find_first_of("123456789") == std::string::npos && expected[0] == '-') expected.erase(0, 1);
    ASSERT_EQ(Format("%.*f", {decimals, v}), expected) << v;
    ASSERT_EQ(Format("%12.*f", {decimals, v}), Printf("%12s", expected.c_str())) << v;
  }
  EXPECT_GT(compared, 3000);
  EXPECT_EQ(Format("%f", {3.14159}), "3.14");
  EXPECT_EQ(Format("%.0f", {2.5}), "3");    // away from zero
  EXPECT_EQ(Format("%.2f", {0.125}), "0.13");
  EXPECT_EQ(Format("%.2f", {-0.125}), "-0.13");
  EXPECT_EQ(Format("%.2f", {-0.001}), "0.00");  // no sign on a value shown as zero
  EXPECT_EQ(Format("%.5f", {19286521518117.57422}), "19286521518117.57420");
}

TEST_F(FormatTest, ExponentFormCountsTotalDigits) {
  EXPECT_EQ(Format("%e", {1234.5}), "1.23450000000000E+003");
  EXPECT_EQ(Format("%.3e", {1234.5}), "1.23E+003");
  EXPECT_EQ(Format("%.3e", {-0.000123456}), "-1.23E-004");
  EXPECT_EQ(Format("%.1e", {98765.0}), "1E+005");
  EXPECT_EQ(Format("%e", {0.0}), "0.00000000000000E+000");
  for (double v : {1.0, 9.99e-7, 123456789.0, 6.02214076e23}) {
    // Same digits as printf with one digit fewer after the point.
    std::string ours = Format("%.6e", {v});
    std::string theirs = Printf("%.5E", v);
    const std::size_t e = theirs.find('E');
    EXPECT_EQ(ours.substr(0, ours.find('E')), theirs.substr(0, e)) << v;
    EXPECT_EQ(std::stoi(ours.substr(ours.find('E') + 1)), std::stoi(theirs.substr(e + 1)));
  }
}

TEST_F(FormatTest, GeneralNumberAndCurrency) {
  EXPECT_EQ(Format("%g", {0.5}), "0.5");
  EXPECT_EQ(Format("%g", {100.0}), "100");
  EXPECT_EQ(Format("%g", {1.0 / 3.0}), "0.333333333333333");
  EXPECT_EQ(Format("%.3g", {1234.0}), "1.23E003");
  EXPECT_EQ(Format("Wert muss zwischen  %g und %g liegen", {0.0, 300.0}), "Wert muss zwischen  0 und 300 liegen");
  EXPECT_EQ(Format("%n", {1234567.891}), "1,234,567.89");
  EXPECT_EQ(Format("%.0n", {-999.5}), "-1,000");
  EXPECT_EQ(Format("%m", {1234.5}), "$1,234.50");
  EXPECT_EQ(Format("%m", {-1234.5}), "($1,234.50)");
  TFormatSettings de = DefaultFormatSettings();
  de.DecimalSeparator = ',';
  de.ThousandSeparator = '.';
  de.CurrencyString = "DM";
  de.CurrencyFormat = 3;
  de.NegCurrFormat = 8;
  ScopedFormatSettings scoped(de);
  EXPECT_EQ(Format("%m", {-1234.5}), "-1.234,50 DM");
  EXPECT_EQ(Format("%m", {1234.5}), "1.234,50 DM");
  EXPECT_EQ(Format("%.1f", {2.25}), "2,3");
}

TEST_F(FormatTest, TextsCharactersPointersAndPercent) {
  EXPECT_EQ(Format("%s", {"Moon"}), "Moon");
  EXPECT_EQ(Format("[%8s][%-8s][%.2s]", {"abc", std::string("abc"), "abc"}), "[     abc][abc     ][ab]");
  EXPECT_EQ(Format("%s%s", {'x', std::string_view("yz")}), "xyz");
  EXPECT_EQ(Format("100%%", {}), "100%");
  EXPECT_EQ(Format("%p", {reinterpret_cast<const void*>(0xBEEF)}), "0000BEEF");
  EXPECT_EQ(Format("%p", {nullptr}), "00000000");
  enum Colour { clRed = 3 };
  enum class Style : std::uint8_t { Bold = 1 };
  EXPECT_EQ(Format("%d %d", {clRed, Style::Bold}), "3 1");
  EXPECT_EQ(Format("%s has\0 nul", {"x"}), "x has");  // a C text ends at its nul
  EXPECT_EQ(Format(std::string_view("%s\0!", 4), {"a"}), std::string("a\0!", 3));
}

TEST_F(FormatTest, ArgumentIndexes) {
  EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b", "c"}), "b a b");
  EXPECT_EQ(Format("%0:s-%0:s", {"x"}), "x-x");
  EXPECT_EQ(Format("%2:s %0:s %s", {"a", "b", "c"}), "c a b");
  EXPECT_EQ(Format("%*:s", {1, "z"}), "z");
  EXPECT_EQ(Format("%1:-6d|", {0, 42}), "42    |");
}

TEST_F(FormatTest, MismatchesRaiseWithThePattern) {
  struct Case { const char* pattern; std::vector<TVarRec> args; const char* message; };
  const std::vector<Case> cases = {
      {"%d", {1.5}, "Format '%d' invalid or incompatible with argument"},
      {"%f", {1}, "Format '%f' invalid or incompatible with argument"},
      {"%s", {7}, "Format '%s' invalid or incompatible with argument"},
      {"%d", {"7"}, "Format '%d' invalid or incompatible with argument"},
      {"%d", {true}, "Format '%d' invalid or incompatible with argument"},
      {"%p", {1}, "Format '%p' invalid or incompatible with argument"},
      {"abc %", {}, "Format 'abc %' invalid or incompatible with argument"},
      {"%5", {1}, "Format '%5' invalid or incompatible with argument"},
      {"%k", {1}, "Format '%k' invalid or incompatible with argument"},
      {"%99999999d", {1}, "Format '%99999999d' invalid or incompatible with argument"},
      {"%*d", {"w", 1}, "Format '%*d' invalid or incompatible with argument"},
      {"%d %d", {1}, "No argument for format '%d %d'"},
      {"%3:d", {1}, "No argument for format '%3:d'"},
  };
  for (const Case& c : cases) {
    try {
      Format(c.pattern, c.args);
      ADD_FAILURE() << c.pattern;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

}  // namespace
}  // namespace tw
