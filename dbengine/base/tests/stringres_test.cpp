#include "dbengine/base/stringres.h"

#include <gtest/gtest.h>

#include "dbengine/base/errors.h"
#include "platform/classes/stringtable.h"
#include "platform/classes/tests/string_table_source.h"
#include "platform/classes/resources.h"

using namespace tw::dbengine;
using tw::BuildStringTable;

namespace {

struct ScopedTable {
  ScopedTable(std::string name, const std::string& bytes) : name_(std::move(name)) { tw::RegisterResource(name_, bytes); }
  ~ScopedTable() { tw::UnregisterResource(name_); }
  std::string name_;
};

std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const EqnStringResourceError& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(EngineStringTableOpen, ReadsTheLanguageTableOrTheEnglishOne) {
  ScopedTable en("TWQN_A_ENGLISH", BuildStringTable({{1, "one"}}));
  ScopedTable de("TWQN_A_DEUTSCH", BuildStringTable({{1, "eins"}}));
  EXPECT_EQ(TqnStringResource("twqn_a", "deutsch").GetString(1), std::string_view("eins"));
  EXPECT_EQ(TqnStringResource("TWQN_A", "").GetString(1), std::string_view("one"));
  TqnStringResource fr("TWQN_A", "Francais");
  EXPECT_EQ(fr.GetString(1), std::string_view("one"));
  EXPECT_EQ(fr.ResName(), "TWQN_A_ENGLISH");
}

TEST(EngineStringTableOpen, MissingTablesAndNamesRaiseTheReadersOwnTexts) {
  EXPECT_EQ(Message([] { TqnStringResource r("TWQN_NONE", "DEUTSCH"); }),
            "INTERNAL: String resource [TWQN_NONE_ENGLISH] not found");
  EXPECT_EQ(Message([] { TqnStringResource r("", "ENGLISH"); }), "INTERNAL: No string resource name provided");
}

TEST(EngineStringTableOpen, BuiltInOwnTextsStandInForADamagedOwnTable) {
  ScopedTable own("QNLLRES_STRINGS_ENGLISH", std::string("\x03\x00" "INTERNAL: Str", 15));  // cut off
  EXPECT_EQ(Message([] { TqnStringResource r("TWQN_NONE", ""); }),
            "INTERNAL: String resource [TWQN_NONE_ENGLISH] not found");
}

TEST(EngineStringTableLookup, IdsAroundTheRecordsAreEmptyAndAnEmptyTextEndsTheTable) {
  ScopedTable t("TWQN_B_ENGLISH",
                BuildStringTable({{100, "hundred"}, {120, "hundred twenty"}, {150, ""}, {200, "two hundred"}}));
  TqnStringResource r("TWQN_B", "");
  EXPECT_TRUE(r.GetString(99).IsEmpty());
  EXPECT_TRUE(r.GetString(110).IsEmpty());
  EXPECT_TRUE(r.GetString(-1).IsEmpty());
  EXPECT_TRUE(r.GetString(70000).IsEmpty());
  EXPECT_TRUE(r.GetString(200).IsEmpty());  // behind the empty text: never found
  EXPECT_EQ(r.CachedCount(), 0);            // misses are not cached
  EXPECT_EQ(r.GetString(120), std::string_view("hundred twenty"));
  EXPECT_TRUE(r.GetString(150).IsEmpty());
  EXPECT_EQ(r.CachedCount(), 2);  // 120 and 150
  EXPECT_EQ(r.GetString(120), std::string_view("hundred twenty"));
  EXPECT_EQ(r.CachedCount(), 2);
}

TEST(EngineStringTableLookup, TextsAreCutTo255AndCopiedIntoBuffers) {
  ScopedTable t("TWQN_C_ENGLISH", BuildStringTable({{1, std::string(300, 'L')}, {2, "twenty characters!!!"}}));
  TqnStringResource r("TWQN_C", "");
  EXPECT_EQ(r.GetString(1).Length(), 255u);
  char buf[6];
  EXPECT_STREQ(r.GetStringToBuf(2, buf, 5), "twent");
  char small[1];
  EXPECT_STREQ(r.GetStringToBuf(2, small, 0), "");
}

TEST(EngineStringTableLookup, DamagedTablesGiveEmptyTextsNeverGarbage) {
  const std::string good = BuildStringTable({{1, "one"}, {2, "two"}});
  for (std::size_t n = 0; n <= good.size(); ++n) {
    ScopedTable t("TWQN_D_ENGLISH", good.substr(0, n));
    TqnStringResource r("TWQN_D", "");
    const ShortString two = r.GetString(2);
    EXPECT_TRUE(two.IsEmpty() || two == std::string_view("two")) << n;
    EXPECT_EQ(two.IsEmpty(), n < good.size()) << n;
  }
}

// The engine's tables, as embedded (or, before the resource step has run, from their sources).
class EngineTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* name : {"QNLLRES_STRINGS_ENGLISH", "SERVER_STRINGS_ENGLISH", "GENERAL_STRINGS_ENGLISH"}) {
      const std::string source = tw::tabletest::CompileTableSource(name);
      if (auto embedded = tw::FindResource(name)) {
        EXPECT_EQ(*embedded, source) << name;
      } else {
        tw::RegisterResource(name, source);
      }
    }
  }
};

TEST_F(EngineTables, HoldTheEngineTexts) {
  EXPECT_EQ(tw::ListStringTable(*tw::FindResource("SERVER_STRINGS_ENGLISH")).size(), 71u);
  EXPECT_EQ(tw::ListStringTable(*tw::FindResource("QNLLRES_STRINGS_ENGLISH")).size(), 5u);
  EXPECT_EQ(qnServerStrings().GetString(qnerrAtEOF),
            std::string_view("There is no next record in this index; the cursor is positioned at EOF"));
  EXPECT_EQ(qnServerStrings().GetString(qnerrFileUnlockRegion),
            std::string_view("INTERNAL: File region could not be unlocked  [%s at %d for %d, error %d]"));
  EXPECT_EQ(qnGeneralStrings().GetString(qnerrOSRenameFile),
            std::string_view("Operating system error [%d] when renaming a file"));
  EXPECT_EQ(qnGeneralStrings().GetString(qnstrRegistryPath), std::string_view("\\Software\\DevidEreve\\Quarnel\\"));
  EXPECT_EQ(qnGeneralStrings().GetString(qnstrSeqAccessIndex), std::string_view("Seq. Access Index"));
  EXPECT_EQ(qnLLResStrings().GetString(1), std::string_view("INTERNAL: String %d not found in string resource [%s]"));
  EXPECT_EQ(qnServerStrings().ResName(), "SERVER_STRINGS_ENGLISH");
}

TEST_F(EngineTables, EveryMappedErrorCodeHasItsText) {
  for (int code = 23536; code <= 23734; ++code) {
    if (QNResultOfErrorCode(code) == qnresUnknownErrorCode) continue;
    const bool general = (code >= 23568 && code <= 23570) || (code >= 23664 && code <= 23674);
    const auto& table = general ? qnGeneralStrings() : qnServerStrings();
    EXPECT_FALSE(table.GetString(code).IsEmpty()) << code;
  }
}

}  // namespace
