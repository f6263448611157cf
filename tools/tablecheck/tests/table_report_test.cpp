// The table checker reads only: a journal left by an interrupted commit is named, not
// replayed, and the table file is checked as it stands.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbengine/storage/journal.h"
#include "dbengine/storage/table_check.h"
#include "dbengine/storage/tests/blocks_test_util.h"
#include "tools/tablecheck/table_report.h"

namespace tw::tablecheck {
namespace {

using dbengine::testing::IndexedTable;
using dbengine::testing::ReadAll;
using dbengine::testing::ScratchFolder;
using dbengine::testing::WriteAll;

class TableReport : public ::testing::Test {
 protected:
  void SetUp() override {
    IndexedTable t(folder, [](dbengine::TqnDataDictionary& d) {
      d.AddField("ID", "", dbengine::qftInt32, 0, 0, true);
      d.AddIndex("BYID", "", 0, {0}, false, true, false);
    });
    t.Begin();
    for (std::int32_t i = 0; i < 50; ++i) {
      auto r = t.NewRecord();
      t.dict.SetRecordField(0, r.data(), reinterpret_cast<const std::uint8_t*>(&i));
      t.Insert(r);
    }
    t.Commit();
    path = t.fx.file->Name;
    blockSize = t.dict.BlockSize();
  }

  // Leaves a journal behind whose replay would change the record count in block 0.
  void LeaveJournal(bool Complete) {
    auto block = ReadAll(path);
    block.resize(static_cast<std::size_t>(blockSize));
    dbengine::QNPutI32(block.data() + 4 * dbengine::qfhRecordCount, 999);
    dbengine::TqnJournal j(journal, dbengine::QNFileAccessTable());
    j.Append(path, 0, block.data(), blockSize, !Complete);
    if (Complete) j.MarkComplete();
    j.Close();
  }

  ScratchFolder folder;
  std::string path;
  std::string journal = folder.File("T.QN$");
  std::int32_t blockSize = 0;
};

TEST_F(TableReport, ASoundTableWithoutJournalHasOneLine) {
  const auto r = CheckTableAsItStands(path);
  EXPECT_TRUE(r.Sound);
  EXPECT_EQ(r.Lines, std::vector<std::string>{path + ": no fault"});
  EXPECT_TRUE(PendingJournals(path).empty());
}

TEST_F(TableReport, ALeftoverJournalIsNamedAndNeitherFileChanges) {
  for (const bool complete : {true, false}) {
    SCOPED_TRACE(complete ? "complete journal" : "running journal");
    LeaveJournal(complete);
    const auto tableBefore = ReadAll(path);
    const auto journalBefore = ReadAll(journal);

    const auto r = CheckTableAsItStands(path);

    EXPECT_EQ(ReadAll(path), tableBefore);
    ASSERT_TRUE(std::filesystem::exists(journal));
    EXPECT_EQ(ReadAll(journal), journalBefore);
    EXPECT_TRUE(r.Sound);
    const std::string named = dbengine::QNJournalPath(journal) + ": " + kJournalPending;
    EXPECT_EQ(r.Lines, (std::vector<std::string>{named, path + ": no fault"}));
    std::filesystem::remove(journal);
  }
}

TEST_F(TableReport, FaultsOfTheFileAsItStandsAreReportedBesideTheJournal) {
  LeaveJournal(true);
  auto bytes = ReadAll(path);
  dbengine::QNPutI32(bytes.data() + 4 * dbengine::qfhRecordCount, 7);
  WriteAll(path, bytes);

  const auto r = CheckTableAsItStands(path);

  EXPECT_FALSE(r.Sound);
  ASSERT_GE(r.Lines.size(), 2u);
  EXPECT_NE(r.Lines.front().find(kJournalPending), std::string::npos);
  EXPECT_EQ(ReadAll(path), bytes);
  EXPECT_TRUE(std::filesystem::exists(journal));
}

// Journals belong to the folder they lie in: one in the folder above the table's (which may be
// anybody's) is neither named nor read, nor touched by a check that recovers first.
TEST(TableReportFolders, JournalsAboveTheTablesFolderAreNoneOfItsBusiness) {
  ScratchFolder top, made;
  {
    IndexedTable t(made, [](dbengine::TqnDataDictionary& d) {
      d.AddField("ID", "", dbengine::qftInt32, 0, 0, true);
      d.AddIndex("BYID", "", 0, {0}, false, true, false);
    });
  }
  std::filesystem::create_directories(top.File("db"));
  const std::string path = top.File("db/T.QND");
  std::filesystem::copy_file(made.File("T.QND"), path);
  const std::vector<std::uint8_t> stray = {'J', 'Q'};
  WriteAll(top.File("stray.QN$"), stray);
  const auto table = ReadAll(path);

  const auto r = CheckTableAsItStands(path);
  EXPECT_TRUE(r.Sound);
  EXPECT_EQ(r.Lines, std::vector<std::string>{path + ": no fault"});
  EXPECT_TRUE(dbengine::QNCheckTableFile(path).empty());
  EXPECT_EQ(ReadAll(top.File("stray.QN$")), stray);
  EXPECT_EQ(ReadAll(path), table);
}

TEST_F(TableReport, AMissingTableIsAFaultAndOnlyJournalsCount) {
  WriteAll(folder.File("notes.txt"), {1, 2, 3});
  const auto r = CheckTableAsItStands(folder.File("NONE.QND"));
  EXPECT_FALSE(r.Sound);
  ASSERT_EQ(r.Lines.size(), 1u);
  EXPECT_NE(r.Lines.front().find("NONE.QND"), std::string::npos);
}

}  // namespace
}  // namespace tw::tablecheck
