// The Windows-1252 tables, checked against the C library's converter (iconv) and its
// Unicode character classes (the C.UTF-8 locale).
#include <gtest/gtest.h>
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <random>

#include "platform/rtl/win1252.h"

namespace tw {
namespace {

class Reference : public ::testing::Test {
 protected:
  void SetUp() override {
    toUtf8_ = iconv_open("UTF-8", "WINDOWS-1252");
    ASSERT_NE(toUtf8_, reinterpret_cast<iconv_t>(-1));
    utf8_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  }
  void TearDown() override {
    iconv_close(toUtf8_);
    if (utf8_ != nullptr) freelocale(utf8_);
  }

  // The UTF-8 form of one byte according to iconv; false for a byte it does not know.
  bool IconvByte(unsigned char byte, std::string& out) {
    char in[1] = {static_cast<char>(byte)};
    char buf[8];
    char* inPtr = in;
    char* outPtr = buf;
    std::size_t inLeft = 1, outLeft = sizeof buf;
    iconv(toUtf8_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(toUtf8_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return false;
    out.assign(buf, static_cast<std::size_t>(outPtr - buf));
    return true;
  }

  iconv_t toUtf8_{};
  locale_t utf8_ = nullptr;
};

TEST_F(Reference, EveryByteConvertsAsIconvDoes) {
  int unknown = 0;
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    std::string expected;
    if (IconvByte(static_cast<unsigned char>(b), expected)) {
      EXPECT_EQ(Win1252ToUtf8(one), expected) << b;
      EXPECT_EQ(Utf8ToWin1252(expected), one) << b;
    } else {
      // The unassigned bytes keep their C1 code point, so they survive the round trip.
      ++unknown;
      EXPECT_EQ(Win1252ToCodePoint(static_cast<char>(b)), static_cast<char32_t>(b));
      EXPECT_EQ(Utf8ToWin1252(Win1252ToUtf8(one)), one);
    }
  }
  EXPECT_EQ(unknown, 5);
}

TEST_F(Reference, ClassesAndCaseFollowUnicode) {
  ASSERT_NE(utf8_, nullptr) << "C.UTF-8 locale missing";
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    const auto cp = static_cast<wint_t>(Win1252ToCodePoint(c));
    EXPECT_EQ(IsCharAlpha(c), iswalpha_l(cp, utf8_) != 0) << b;
    EXPECT_EQ(IsCharAlphaNumeric(c), iswalpha_l(cp, utf8_) != 0 || (b >= '0' && b <= '9')) << b;
    EXPECT_EQ(IsCharUpper(c), iswupper_l(cp, utf8_) != 0) << b;
    EXPECT_EQ(IsCharLower(c), iswlower_l(cp, utf8_) != 0 || b == 0xAA || b == 0xBA) << b;
    // The case partner when Windows-1252 has it, else the byte itself.
    const int up = CodePointToWin1252(static_cast<char32_t>(towupper_l(cp, utf8_)));
    const int low = CodePointToWin1252(static_cast<char32_t>(towlower_l(cp, utf8_)));
    EXPECT_EQ(static_cast<unsigned char>(CharUpper(c)), up < 0 ? b : up) << b;
    EXPECT_EQ(static_cast<unsigned char>(CharLower(c)), low < 0 ? b : low) << b;
  }
}

TEST(Utf8, MalformedInputBecomesTheReplacement) {
  EXPECT_EQ(Utf8ToWin1252("a\xC3"), "a?");           // cut off
  EXPECT_EQ(Utf8ToWin1252("\xC3\x28"), "?(");        // bad continuation
  EXPECT_EQ(Utf8ToWin1252("\xC0\xAF"), "??");        // over-long form
  EXPECT_EQ(Utf8ToWin1252("\xED\xA0\x80", '#'), "###");  // surrogate
  EXPECT_EQ(Utf8ToWin1252("\xE2\x82\xAC \xE2\x98\x83"), "\x80 ?");  // euro sign, snowman
  EXPECT_EQ(Utf8ToWin1252("\xF0\x9F\x98\x80!"), "?!");
  std::string s;
  AppendUtf8(s, 0x110000);
  EXPECT_EQ(s, "\xEF\xBF\xBD");
  // Random bytes never crash and give one byte per decoded character.
  std::mt19937 rng(5);
  for (int i = 0; i < 2000; ++i) {
    std::string junk(static_cast<std::size_t>(rng() % 12), '\0');
    for (char& c : junk) c = static_cast<char>(rng());
    const std::string out = Utf8ToWin1252(junk);
    ASSERT_LE(out.size(), junk.size());
  }
}

TEST(CaseMapping, WholeStringsAndAsciiOnlyForms) {
  EXPECT_EQ(AnsiUpperCase("stra\xDF" "e \xE4\xF6\xFC \xFF \x9A"), "STRA\xDF" "E \xC4\xD6\xDC \x9F \x8A");
  EXPECT_EQ(AnsiLowerCase("\xC4\xD6\xDC \x8C"), "\xE4\xF6\xFC \x9C");
  EXPECT_EQ(UpperCase("abc \xE4"), "ABC \xE4");
  EXPECT_EQ(LowerCase("ABC \xC4"), "abc \xC4");
  char buf[] = "m\xFC" "ller";
  CharUpperBuff(buf, 3);
  EXPECT_STREQ(buf, "M\xDCLler");
  EXPECT_TRUE(SameText("Moon", "mOON"));
  EXPECT_FALSE(SameText("\xC4", "\xE4"));
  EXPECT_TRUE(AnsiSameText("\xC4pfel", "\xE4PFEL"));
  EXPECT_FALSE(AnsiSameText("a", "ab"));
  EXPECT_LT(CompareText("apple", "BANANA"), 0);
  EXPECT_GT(CompareStr("a", "B"), 0);  // byte order
  EXPECT_EQ(CompareText("abc", "ABC"), 0);
  EXPECT_LT(CompareStr("ab", "abc"), 0);
}

TEST(Collation, LinguisticOrder) {
  // Accented letters sort with their base letter, not after z.
  EXPECT_LT(AnsiCompareText("\xE4pfel", "Birne"), 0);
  EXPECT_GT(AnsiCompareText("Zebra", "\xC4pfel"), 0);
  EXPECT_LT(AnsiCompareText("apfel", "\xE4pfel"), 0);  // no accent first
  EXPECT_LT(AnsiCompareText("\xE4pfel", "apfelb"), 0);  // the letters decide before the accent
  EXPECT_LT(AnsiCompareStr("a", "A"), 0);              // lower case first
  EXPECT_EQ(AnsiCompareText("a", "A"), 0);
  EXPECT_LT(AnsiCompareText("1", "a"), 0);
  EXPECT_LT(AnsiCompareText("-", "1"), 0);
  EXPECT_LT(AnsiCompareText("\xE6", "af"), 0);  // æ expands to "ae"
  EXPECT_GT(AnsiCompareText("\xE6", "ad"), 0);
  EXPECT_LT(AnsiCompareText("stra\xDF" "e", "strasser"), 0);
}

TEST(Collation, IsAConsistentOrderThatIgnoresOnlyCase) {
  std::mt19937 rng(9);
  const std::string alphabet = "aAbB\xE4\xC4\xE6\xC6\xDF" "s1-\xFF\x9F\xE9 ";
  auto random = [&] {
    std::string s(rng() % 5, ' ');
    for (char& c : s) c = alphabet[rng() % alphabet.size()];
    return s;
  };
  for (int i = 0; i < 5000; ++i) {
    const std::string a = random(), b = random(), c = random();
    const int ab = AnsiCompareStr(a, b);
    ASSERT_EQ(ab == 0, a == b) << a << "|" << b;
    ASSERT_EQ(AnsiCompareStr(b, a), -ab);
    ASSERT_EQ(AnsiCompareText(a, b) == 0, AnsiSameText(a, b)) << a << "|" << b;
    if (ab < 0 && AnsiCompareStr(b, c) < 0) {
      ASSERT_LT(AnsiCompareStr(a, c), 0);
    }
  }
}

}  // namespace
}  // namespace tw
