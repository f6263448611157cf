#include "dbengine/base/shortstring.h"

#include <gtest/gtest.h>

#include "dbengine/base/compare.h"

using namespace tw::dbengine;

namespace {

TEST(ShortString, ConcatAndAddCharStopAtTheCapacity) {
  ShortString s(std::string(250, 'a'));
  EXPECT_FALSE(QNShStrConcat(s, "0123456789"));
  EXPECT_EQ(s.Length(), 255u);
  EXPECT_EQ(s.View().substr(250), "01234");
  EXPECT_FALSE(QNShStrAddChar(s, 'z'));
  EXPECT_EQ(s.Length(), 255u);
  ShortString t("ab");
  EXPECT_TRUE(QNShStrAddChar(t, 'c'));
  EXPECT_TRUE(QNShStrConcat(t, "de"));
  EXPECT_EQ(t, std::string_view("abcde"));
  TqnName name(std::string(40, 'n'));
  EXPECT_EQ(name.Length(), 31u);
}

TEST(ShortString, StoredImageIsLengthByteTextAndZeroPadding) {
  TqnName n("TABLE");
  n.Assign("AB");  // shorter text must not leave the old characters behind
  std::uint8_t image[TqnName::kByteSize];
  std::memset(image, 0xEE, sizeof image);
  n.WriteTo(image);
  EXPECT_EQ(TqnName::kByteSize, 32u);
  EXPECT_EQ(image[0], 2);
  EXPECT_EQ(image[1], 'A');
  EXPECT_EQ(image[2], 'B');
  for (std::size_t i = 3; i < sizeof image; ++i) EXPECT_EQ(image[i], 0) << i;
  EXPECT_EQ(TqnName::ReadFrom(image, sizeof image), std::string_view("AB"));
}

TEST(ShortString, ReadingDamagedImagesKeepsWithinTheBytesPresent) {
  const std::uint8_t lying[] = {200, 'x', 'y', 'z'};  // claims 200 characters
  EXPECT_EQ(TqnName::ReadFrom(lying, sizeof lying), std::string_view("xyz"));
  EXPECT_EQ(ShortString::ReadFrom(lying, 1).Length(), 0u);
  EXPECT_EQ(ShortString::ReadFrom(lying, 0).Length(), 0u);
  const std::uint8_t tooLongForName[] = {40, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p',
                                         'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z', '0', '1', '2', '3', '4', '5', '6'};
  EXPECT_EQ(TqnName::ReadFrom(tooLongForName, sizeof tooLongForName).Length(), 31u);
}

TEST(ShortString, UpperFoldsOnlyAsciiLetters) {
  EXPECT_EQ(QNShStrUpper("abc xyz \xE4\xE9 09_"), std::string_view("ABC XYZ \xE4\xE9 09_"));
}

TEST(ShortString, SplitAtTheFirstDelimiter) {
  ShortString first, rest;
  QNShStrSplit("Tidewell;/home/user/tw", ";", first, rest);
  EXPECT_EQ(first, std::string_view("Tidewell"));
  EXPECT_EQ(rest, std::string_view("/home/user/tw"));
  QNShStrSplit("no delimiter", ";", first, rest);
  EXPECT_EQ(first, std::string_view("no delimiter"));
  EXPECT_TRUE(rest.IsEmpty());
  QNShStrSplit("a=b;c", ";=", first, rest);
  EXPECT_EQ(first, std::string_view("a"));
  EXPECT_EQ(rest, std::string_view("b;c"));
  // Splitting a string into itself.
  ShortString s("x;y");
  QNShStrSplit(s.View(), ";", s, rest);
  EXPECT_EQ(s, std::string_view("x"));
  EXPECT_EQ(rest, std::string_view("y"));
}

TEST(ShortString, ConversionsWithZeroTerminatedText) {
  ShortString s;
  const std::string longText(300, 'q');
  QNPCharToShortStr(longText.c_str(), s);
  EXPECT_EQ(s.Length(), 255u);
  QNPCharToShortStrMax("abcdef", 3, s);
  EXPECT_EQ(s, std::string_view("abc"));
  QNPCharToShortStr(nullptr, s);
  EXPECT_TRUE(s.IsEmpty());
  char buf[8];
  EXPECT_EQ(QNShortStrToPChar(buf, "hello"), buf);
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(QNShortStrToPChar(nullptr, "hello"), nullptr);
}

TEST(HeapShortString, CopiesAreZeroTerminatedAndTheEmptyOneIsShared) {
  const std::uint8_t* p = QNShStrAlloc("abc");
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(p[4], 0);
  EXPECT_EQ(QNShStrView(p), "abc");
  QNShStrFree(p);
  EXPECT_EQ(p, nullptr);
  const std::uint8_t* e1 = QNShStrAlloc("");
  const std::uint8_t* e2 = QNShStrAlloc("");
  EXPECT_EQ(e1, e2);
  EXPECT_TRUE(QNShStrIsSharedEmpty(e1));
  QNShStrFree(e1);  // never freed, only forgotten
  EXPECT_EQ(QNShStrView(e2), "");
  const std::uint8_t* big = QNShStrAlloc(std::string(400, 'b'));
  EXPECT_EQ(big[0], 255);
  QNShStrFree(big);
  QNShStrFree(e2);
}

TEST(Comparisons, ShortStringsCompareCappedUnsignedBytes) {
  EXPECT_EQ(QNCmpShStr("abc", "abd", 255), -1);
  EXPECT_EQ(QNCmpShStr("ab", "abc", 255), -1);
  EXPECT_EQ(QNCmpShStr("abc", "ab", 255), 1);
  EXPECT_EQ(QNCmpShStr("abcX", "abcY", 3), 0);  // only the first MaxLen count
  EXPECT_EQ(QNCmpShStr("\xE4", "z", 255), 1);    // unsigned
  EXPECT_EQ(QNCmpShStr("", "", 255), 0);
  EXPECT_EQ(QNCmpShStrUC("Hello", "hELLO", 255), 0);
  EXPECT_EQ(QNCmpShStrUC("\xE4", "\xC4", 255), 1);  // accented letters are not folded
  EXPECT_EQ(QNCmpShStrUC("_", "a", 255), 1);       // 95 against the folded 65
}

TEST(Comparisons, BytesAndRangesUsedByKeyComparison) {
  const unsigned char a[] = {1, 2, 0xFF}, b[] = {1, 2, 0x01};
  EXPECT_EQ(QNCmpBytes(a, b, 3), 1);  // unsigned
  EXPECT_EQ(QNCmpBytes(a, b, 2), 0);
  EXPECT_EQ(QNCmpBytes(a, b, 0), 0);
  EXPECT_EQ(QNCmpI8(-1, 1), -1);
  EXPECT_EQ(QNCmpDW(0xFFFFFFFFu, 1), 1);
  EXPECT_EQ(QNForceInRange(0, 1, 30000), 1);
  EXPECT_EQ(QNForceInRange(60000, 1, 30000), 30000);
  EXPECT_EQ(QNApplyDirection(false, QNFirstNonZero(0, -1)), 1);
}

}  // namespace
