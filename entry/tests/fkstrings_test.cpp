#include <gtest/gtest.h>

#include "entry/fkexcept.h"
#include "entry/fkstrings.h"
#include "entry/tests/entry_test_util.h"

namespace tw::entry {
namespace {

TEST(TextRoutines, NumberTexts) {
  EXPECT_EQ(HexText16(43981), "ABCD");
  EXPECT_EQ(HexText32(0x12AB00FFu), "12AB00FF");
  EXPECT_EQ(BitsToText(5), std::string(29, '0') + "101");
  EXPECT_EQ(OctalText(8), std::string(10, '0') + "10");
}

TEST(TextRoutines, TextToLongInt) {
  std::int32_t l = 0;
  EXPECT_TRUE(TextToLongInt("0x1F", l));
  EXPECT_EQ(l, 31);
  EXPECT_TRUE(TextToLongInt("-42   ", l));
  EXPECT_EQ(l, -42);
  EXPECT_FALSE(TextToLongInt("12a", l));
  EXPECT_EQ(l, 2) << "the position of the letter less one";
  EXPECT_FALSE(TextToLongInt(std::string(256, '1'), l));
  EXPECT_EQ(l, -1);
}

TEST(TextRoutines, TrimmingNumbers) {
  std::string s = "12.500";
  TrimTrailingZeros(s);
  EXPECT_EQ(s, "12.5");
  s = "12.000";
  TrimTrailingZeros(s);
  EXPECT_EQ(s, "12");
  s = "1200";
  TrimTrailingZeros(s);
  EXPECT_EQ(s, "1200");
  s = "1.2500E+007";
  TrimExponentZeros(s);
  EXPECT_EQ(s, "1.25E+7");
  s = "3.000E+000";
  TrimExponentZeros(s);
  EXPECT_EQ(s, "3");
}

TEST(TextRoutines, PrepareRealText) {
  std::string s = ",5";
  PrepareRealText(s, ',');
  EXPECT_EQ(s, "0.5");
  s = " -,25 ";
  PrepareRealText(s, ',');
  EXPECT_EQ(s, "-0.25");
  s = "";
  PrepareRealText(s, '.');
  EXPECT_EQ(s, "0");
  s = "12.";
  PrepareRealText(s, '.');
  EXPECT_EQ(s, "12");
}

TEST(TextRoutines, EditingInPlaceStaysInsideTheText) {
  std::string s = "abc";
  DeleteCharAt(s, 7);
  EXPECT_EQ(s, "abc");
  InsertCharAt(s, 'x', 99);
  EXPECT_EQ(s, "abcx");
  DeleteCharsAt(s, 2, 50);
  EXPECT_EQ(s, "ab");
  InsertCopiesAt(s, '-', 1, 3);
  EXPECT_EQ(s, "a---b");
  EXPECT_EQ(CopyTextPart("hello", 3, 10), "lo");
  EXPECT_EQ(CopyTextPart("hello", 9, 1), "");
  std::size_t pos;
  EXPECT_TRUE(FindText("a---b", "-b", pos));
  EXPECT_EQ(pos, 3u);
  s = "ab \x01\x1f ";
  TrimTrailingControls(s);
  EXPECT_EQ(s, "ab");
}

TEST(EntryExceptions, TextsComeFromTheTable) {
  test::IntlScope scope;
  EXPECT_EQ(ENoControllerAssigned().Message(), "No Controller assigned");
  EXPECT_EQ(EInvalidPictureMask("99x").Message(), "Invalid picture mask: 99x");
  EXPECT_EQ(EInvalidRangeValue(TPictureDataType::pftByte).Message(),
            "Invalid range. Enter a value between (0) and (255)");
  EXPECT_EQ(EInvalidRangeValue(TPictureDataType::pftDate).Message(),
            "Invalid date range. Enter a value using 'mm/dd/yyyy' as the format");
  EXPECT_EQ(EInvalidRangeValue(TPictureDataType::pftString).Message(), "Invalid range value");
  EInvalidDataType e;
  EXPECT_NE(dynamic_cast<EEntryFieldError*>(&e), nullptr);
}

}  // namespace
}  // namespace tw::entry
