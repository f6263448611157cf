#include "platform/classes/stringtable.h"

#include <gtest/gtest.h>

#include <string>

using tw::BuildStringTable;
using tw::ListStringTable;
using tw::ScanStringTable;

namespace {

std::string Rec(std::uint16_t id, const std::string& text) {
  std::string r;
  r += static_cast<char>(id & 0xFF);
  r += static_cast<char>(id >> 8);
  r += text;
  r += '\0';
  return r;
}

TEST(StringTableScan, FindsUnsortedIdsAndTheFirstRecordOfAnIdWins) {
  const std::string t = Rec(34268, "first") + Rec(5, "five") + Rec(0x0102, "little endian") + Rec(5, "shadowed");
  EXPECT_EQ(ScanStringTable(t, 34268), "first");
  EXPECT_EQ(ScanStringTable(t, 5), "five");
  EXPECT_EQ(ScanStringTable(t, 0x0102), "little endian");
  EXPECT_FALSE(ScanStringTable(t, 0x0201));  // byte order matters
  EXPECT_FALSE(ScanStringTable(t, 4));
  EXPECT_FALSE(ScanStringTable(t, 34269));
  EXPECT_FALSE(ScanStringTable("", 0));
}

TEST(StringTableScan, AnEmptyTextEndsTheTable) {
  const std::string t = Rec(1, "one") + Rec(2, "") + Rec(3, "three") + Rec(1, "shadowed");
  EXPECT_EQ(ScanStringTable(t, 1), "one");
  ASSERT_TRUE(ScanStringTable(t, 2));  // the terminating record itself is found, with its empty text
  EXPECT_EQ(*ScanStringTable(t, 2), "");
  EXPECT_FALSE(ScanStringTable(t, 3));  // hidden behind it
  const auto listed = ListStringTable(t);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed.back().first, 2);
  // At the very start it hides everything but itself.
  EXPECT_FALSE(ScanStringTable(Rec(9, "") + Rec(1, "one"), 1));
  EXPECT_EQ(ListStringTable(Rec(9, "") + Rec(1, "one")).size(), 1u);
}

TEST(StringTableScan, DamagedBlobsEndTheTableWithoutReadingPastIt) {
  const std::string good = Rec(1, "one") + Rec(2, "two");
  // Every truncation: ids whose record is complete are found, the cut one is not.
  for (std::size_t n = 0; n < good.size(); ++n) {
    const std::string cut = good.substr(0, n);
    EXPECT_EQ(ScanStringTable(cut, 1).has_value(), n >= 6) << n;
    EXPECT_FALSE(ScanStringTable(cut, 2).has_value()) << n;
  }
  // A lone byte, an id without text, a text without its zero.
  EXPECT_FALSE(ScanStringTable(std::string("\x01", 1), 1));
  EXPECT_FALSE(ScanStringTable(std::string("\x01\x00", 2), 1));
  EXPECT_FALSE(ScanStringTable(std::string("\x01\x00" "abc", 5), 1));
}

TEST(StringTableBuild, RoundTripsThroughTheScanner) {
  const std::vector<std::pair<std::uint16_t, std::string>> records = {
      {65535, "max"}, {0, "zero"}, {8, "\xE4\xF6\xFC accented"}, {7, ""}};
  const std::string blob = BuildStringTable(records);
  const auto listed = ListStringTable(blob);
  ASSERT_EQ(listed.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(listed[i].first, records[i].first);
    EXPECT_EQ(listed[i].second, records[i].second);
  }
}

}  // namespace
