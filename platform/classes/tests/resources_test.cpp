#include "platform/classes/resources.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tw {
namespace {

using namespace std::string_literals;

TEST(Resources, EmbeddedStringTableIsRawFormatByteForByte) {
  // resources/strings/SRSRES_STRINGS.txt: "1 String not found: %d" is the first line.
  std::optional<std::string_view> table = FindResource("srsres_strings");
  ASSERT_TRUE(table.has_value());
  const std::string expected = "\x01\x00String not found: %d\0"s;
  ASSERT_GE(table->size(), expected.size());
  EXPECT_EQ(table->substr(0, expected.size()), expected);
  EXPECT_EQ(table->back(), '\0');
  // Every record: 16-bit id, text, zero, up to the end.
  std::size_t pos = 0;
  int records = 0;
  while (pos < table->size()) {
    std::size_t end = table->find('\0', pos + 2);
    ASSERT_NE(end, std::string_view::npos);
    pos = end + 1;
    ++records;
  }
  EXPECT_GE(records, 1);
  auto names = ResourceNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "SRSRES_STRINGS"), names.end());
}

TEST(Resources, RunTimeRegistrationTakesPrecedenceAndIsRemovable) {
  EXPECT_FALSE(FindResource("TW_TEST_BLOB").has_value());
  RegisterResource("tw_test_blob", "\0abc"s);
  ASSERT_TRUE(FindResource("TW_TEST_BLOB").has_value());
  EXPECT_EQ(*FindResource("Tw_Test_Blob"), "\0abc"s);
  auto names = ResourceNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "tw_test_blob"), names.end());

  auto original = FindResource("SRSRES_STRINGS");
  ASSERT_TRUE(original.has_value());
  RegisterResource("SRSRES_STRINGS", "override");
  EXPECT_EQ(*FindResource("SRSRES_STRINGS"), "override");
  UnregisterResource("srsres_strings");
  EXPECT_EQ(*FindResource("SRSRES_STRINGS"), *original);  // the embedded one again

  UnregisterResource("TW_TEST_BLOB");
  EXPECT_FALSE(FindResource("TW_TEST_BLOB").has_value());
  RegisterResource("Empty", "");
  ASSERT_TRUE(FindResource("EMPTY").has_value());
  EXPECT_TRUE(FindResource("EMPTY")->empty());
  UnregisterResource("Empty");
}

}  // namespace
}  // namespace tw
