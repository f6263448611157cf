#include "entry/strres/srsstrres.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "entry/strres/fkstrres.h"
#include "platform/classes/stringtable.h"
#include "platform/classes/tests/string_table_source.h"
#include "platform/classes/resources.h"

using tw::BuildStringTable;
using tw::entry::ESrsStringResourceError;
using tw::entry::SrsStringResource;

namespace {

// Registers a table for the life of the object.
struct ScopedTable {
  ScopedTable(std::string name, const std::string& bytes) : name_(std::move(name)) { tw::RegisterResource(name_, bytes); }
  ~ScopedTable() { tw::UnregisterResource(name_); }
  std::string name_;
};

std::string Numbered(int first, int count) {
  std::vector<std::pair<std::uint16_t, std::string>> r;
  for (int i = 0; i < count; ++i) r.emplace_back(static_cast<std::uint16_t>(first + i), "text " + std::to_string(first + i));
  return BuildStringTable(r);
}

TEST(SrsStringResourceOpen, PrefersTheSuffixedTableAndFallsBackToTheBareName) {
  ScopedTable suffixed("TWTEST_A_ENGLISH", BuildStringTable({{1, "english"}}));
  ScopedTable bare("TWTEST_A", BuildStringTable({{1, "bare"}}));
  SrsStringResource english("TWTEST_A", "_ENGLISH");
  EXPECT_EQ(english.GetString(1), "english");
  SrsStringResource german("TWTEST_A", "_GERMAN");
  EXPECT_EQ(german.GetString(1), "bare");
  EXPECT_EQ(german.ResourceName(), "TWTEST_A");
}

TEST(SrsStringResourceOpen, AMissingTableRaisesWithTheBareName) {
  try {
    SrsStringResource r("TWTEST_NO_SUCH_TABLE", "_ENGLISH");
    FAIL() << "no error";
  } catch (const ESrsStringResourceError& e) {
    EXPECT_EQ(e.Message(), "String resource not found: TWTEST_NO_SUCH_TABLE");
  }
}

TEST(SrsStringResourceOpen, OwnTextsFallBackToBuiltInOnesWhenTheirTableLacksThem) {
  // A damaged own table (only text 1, and that cut off) must not stop the reader from reporting.
  ScopedTable own("SRSRES_STRINGS", std::string("\x01\x00" "String", 8));
  EXPECT_EQ(tw::entry::SrsResText(3), "String resource not found: %s");
}

TEST(SrsStringResourceLookup, MissingIdsAreEmptyOrReportedOnRequest) {
  ScopedTable t("TWTEST_B", BuildStringTable({{10, "ten"}, {30, "thirty"}}));
  SrsStringResource r("TWTEST_B", "");
  EXPECT_EQ(r.GetString(10), "ten");
  EXPECT_EQ(r.GetString(20), "");
  EXPECT_EQ(r.CacheCount(), 1);  // misses are not cached
  r.SetReportMissing(true);
  try {
    r.GetString(20);
    FAIL() << "no error";
  } catch (const ESrsStringResourceError& e) {
    EXPECT_EQ(e.Message(), "String not found: 20");
  }
  EXPECT_EQ(r.GetString(30), "thirty");
}

TEST(SrsStringResourceCache, DropsTheOldestDownTo44AtTheLimitOf50) {
  ScopedTable t("TWTEST_C", Numbered(100, 60));
  SrsStringResource r("TWTEST_C", "");
  for (int i = 0; i < 50; ++i) r.GetString(static_cast<std::uint16_t>(100 + i));
  EXPECT_EQ(r.CacheCount(), 50);
  // A hit does not move or grow the cache.
  EXPECT_EQ(r.GetString(100), "text 100");
  EXPECT_EQ(r.CacheCount(), 50);
  EXPECT_EQ(r.GetString(150), "text 150");
  EXPECT_EQ(r.CacheCount(), 45);  // 44 kept plus the new one
  // Texts dropped from the cache are still read from the table.
  EXPECT_EQ(r.GetString(100), "text 100");
  EXPECT_EQ(r.GetString(159), "text 159");
}

TEST(SrsStringResourceCache, ServesTheTextsItsTableHolds) {
  // A table registered again with other texts is seen only by new readers.
  ScopedTable t("TWTEST_D", BuildStringTable({{1, "old"}}));
  SrsStringResource r("TWTEST_D", "");
  EXPECT_EQ(r.GetString(1), "old");
  tw::RegisterResource("TWTEST_D", BuildStringTable({{1, "new"}}));
  EXPECT_EQ(r.GetString(1), "old");
  EXPECT_EQ(SrsStringResource("TWTEST_D", "").GetString(1), "new");
}

TEST(FieldkitTexts, EmbeddedTableMatchesItsSourceAndHoldsTheLibraryTexts) {
  const std::string source = tw::tabletest::CompileTableSource("FIELDKIT_STRINGS_ENGLISH");
  if (auto embedded = tw::FindResource("FIELDKIT_STRINGS_ENGLISH")) {
    EXPECT_EQ(*embedded, source);
  } else {
    tw::RegisterResource("FIELDKIT_STRINGS_ENGLISH", source);
  }
  // The table begins with 34268.
  ASSERT_GE(source.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(source[0]) | (static_cast<unsigned char>(source[1]) << 8), 34268);
  EXPECT_EQ(tw::entry::FkResString(34275), "Default");
  EXPECT_EQ(tw::entry::FkResString(34277), "(Unknown)");
  EXPECT_EQ(tw::entry::FkResString(34203), "Invalid range. Enter a value between (%d) and (%d)");
  for (int id = 34368; id <= 34371; ++id) EXPECT_EQ(tw::entry::FkResString(static_cast<std::uint16_t>(id)).size(), 1u);
  for (int code = 0; code <= 75; ++code)
    EXPECT_FALSE(tw::entry::FkResString(static_cast<std::uint16_t>(33768 + code)).empty()) << code;
}

TEST(FieldkitTexts, OwnTableIsEmbeddedAsGiven) {
  const std::string source = tw::tabletest::CompileTableSource("SRSRES_STRINGS");
  if (auto embedded = tw::FindResource("SRSRES_STRINGS")) {
    EXPECT_EQ(*embedded, source);
  }
  EXPECT_EQ(tw::ScanStringTable(source, 4), "Unable to open string resource: %s");
}

TEST(SrsStringResourceLookup, AnEmptyTextHidesEveryRecordAfterIt) {
  ScopedTable t("TWTEST_E", BuildStringTable({{1, "one"}, {2, ""}, {3, "three"}, {1, "again"}}));
  SrsStringResource r("TWTEST_E", "");
  EXPECT_EQ(r.GetString(1), "one");
  EXPECT_EQ(r.GetString(3), "");
  r.SetReportMissing(true);
  EXPECT_EQ(r.GetString(2), "");  // the terminator's own number finds its empty text
  try {
    r.GetString(3);
    ADD_FAILURE() << "a record behind the empty text was found";
  } catch (const ESrsStringResourceError& e) {
    EXPECT_EQ(e.Message(), "String not found: 3");
  }
}

// Makes tables missing for the life of the object.
struct HiddenTables {
  explicit HiddenTables(std::vector<std::string> names) : names_(std::move(names)) {
    for (const auto& n : names_) tw::HideResource(n);
  }
  ~HiddenTables() {
    for (const auto& n : names_) tw::UnregisterResource(n);
  }
  std::vector<std::string> names_;
};

std::string StartUpError(void (*init)()) {
  try {
    init();
  } catch (const ESrsStringResourceError& e) {
    return e.Message();
  }
  return "no error";
}

TEST(StringTableStartUp, MakesTheReadersAndAMissingTableStopsTheStart) {
  tw::entry::InitSrsStrRes();
  ASSERT_NE(tw::entry::SrsResStrings(), nullptr);
  EXPECT_EQ(tw::entry::SrsResStrings()->ResourceName(), "SRSRES_STRINGS");
  tw::entry::InitFkStrRes();
  EXPECT_EQ(tw::entry::FieldkitStrings().ResourceName(), "FIELDKIT_STRINGS_ENGLISH");
  EXPECT_EQ(tw::entry::FkResString(34275), "Default");
  {
    // Missing at start: reported by the start-up itself, with the bare table name.
    HiddenTables gone({"FIELDKIT_STRINGS_ENGLISH", "FIELDKIT_STRINGS"});
    EXPECT_EQ(StartUpError(tw::entry::InitFkStrRes), "String resource not found: FIELDKIT_STRINGS");
    EXPECT_EQ(tw::entry::FkResString(34275), "Default");  // the reader made before stays
  }
  {
    HiddenTables gone({"SRSRES_STRINGS"});
    EXPECT_EQ(StartUpError(tw::entry::InitSrsStrRes), "String resource not found: SRSRES_STRINGS");
  }
  // The reader's own texts come through its reader once it is made.
  ScopedTable own("SRSRES_STRINGS", BuildStringTable({{3, "Missing table %s"}}));
  tw::entry::InitSrsStrRes();
  EXPECT_EQ(tw::entry::SrsResText(3), "Missing table %s");
  EXPECT_EQ(tw::entry::SrsResText(4), "Unable to open string resource: %s");  // built in
  tw::UnregisterResource("SRSRES_STRINGS");
  tw::entry::InitSrsStrRes();
  EXPECT_EQ(tw::entry::SrsResText(3), "String resource not found: %s");
}

TEST(ShippedStringTables, EveryTextOfEverySourceIsFoundInTheEmbeddedTable) {
  namespace fs = std::filesystem;
  int tables = 0;
  for (const auto& file : fs::directory_iterator(tw::tabletest::SourceDir() + "/resources/strings")) {
    if (file.path().extension() != ".txt") continue;
    const std::string name = file.path().stem().string();
    const auto records = tw::tabletest::ReadTableSource(name);
    const auto embedded = tw::FindResource(name);
    ASSERT_TRUE(embedded) << name << " is not embedded";
    SrsStringResource reader(name, "");
    std::set<std::uint16_t> seen;
    for (const auto& [id, text] : records) {
      if (!seen.insert(id).second) continue;
      const auto found = tw::ScanStringTable(*embedded, id);
      ASSERT_TRUE(found) << name << " " << id;
      EXPECT_EQ(*found, text) << name << " " << id;
      EXPECT_EQ(reader.GetString(id), text) << name << " " << id;
    }
    EXPECT_EQ(tw::ListStringTable(*embedded).size(), records.size()) << name;
    ++tables;
  }
  EXPECT_GE(tables, 10);
}

TEST(FkAlphaChars, HoldsLettersPunctuationOfNamesAndAccentedLettersOnly) {
  for (char c : std::string(" ,-.AZaz\xC4\xE9\xFF\x8A")) EXPECT_TRUE(tw::entry::FkIsAlphaChar(c)) << int(static_cast<unsigned char>(c));
  for (char c : std::string("09_/@[`{\xD7\xF7\x80\xA0\x01")) EXPECT_FALSE(tw::entry::FkIsAlphaChar(c)) << int(static_cast<unsigned char>(c));
}

}  // namespace
