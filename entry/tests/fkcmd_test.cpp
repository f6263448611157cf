#include <gtest/gtest.h>

#include <unistd.h>

#include "entry/fkcmd.h"
#include "entry/fkexcept.h"
#include "platform/rtl/files.h"

namespace tw::entry {
namespace {

constexpr std::uint8_t None = 0;

TEST(CommandTranslation, DefaultTableKeys) {
  TFkCommandProcessor p;
  EXPECT_EQ(p.Translate('C', ksCtrl), ccCopy);
  EXPECT_EQ(p.Translate('Z', ksCtrl | ksShift), ccRedo);
  EXPECT_EQ(p.Translate(VK_BACK, ksAlt), ccRestore);
  EXPECT_EQ(p.Translate('7', ksCtrl | ksShift), ccSetMarker0 + 7);
  EXPECT_EQ(p.Translate('A', None), ccChar);
  EXPECT_EQ(p.Translate(VK_SHIFT, ksShift), ccChar);
  EXPECT_EQ(p.Translate(0x1234, None), ccChar) << "keys beyond a byte are never in a table";
}

TEST(CommandTranslation, TwoKeySequences) {
  TFkCommandProcessor p;
  p.GetTable("WordStar")->IsActive = true;
  p.MoveTable(1, 0);
  EXPECT_EQ(p.Translate('Q', ksCtrl), ccPartial);
  EXPECT_EQ(p.Translate(VK_SHIFT, ksCtrl | ksShift), ccPartial) << "a modifier keeps the sequence pending";
  EXPECT_EQ(p.Translate('S', None), ccHome);
  EXPECT_EQ(p.State(), 0);

  EXPECT_EQ(p.Translate('Q', ksCtrl), ccPartial);
  EXPECT_EQ(p.Translate('X', None), ccFailedSequence);
  EXPECT_EQ(p.State(), 0);

  EXPECT_EQ(p.Translate('Q', ksCtrl), ccPartial);
  EXPECT_EQ(p.Translate('S', ksCtrl), ccHome) << "shift value 128 accepts Ctrl";
  EXPECT_EQ(p.Translate('Q', ksCtrl), ccPartial);
  EXPECT_EQ(p.Translate('S', ksShift), ccFailedSequence);
}

TEST(CommandTranslation, ControlCharacterPassesTheNextKeyThrough) {
  TFkCommandProcessor p;
  p.GetTable("WordStar")->IsActive = true;
  p.MoveTable(1, 0);
  EXPECT_EQ(p.Translate('P', ksCtrl), ccCtrlChar);
  EXPECT_EQ(p.Translate('S', ksCtrl), ccChar);
  EXPECT_EQ(p.Translate('S', ksCtrl), ccLeft);
  p.Translate('Q', ksCtrl);
  p.ResetState();
  EXPECT_EQ(p.Translate('S', None), ccChar);
}

TEST(CommandTables, UniqueNamesAndRowErrors) {
  TFkCommandProcessor p;
  auto* t = new TFkCommandTable;
  t->TableName = "Default";
  p.AddTable(t);
  EXPECT_EQ(t->TableName, "Default1");
  auto* t2 = new TFkCommandTable;
  t2->TableName = "default7";
  p.AddTable(t2);
  EXPECT_EQ(t2->TableName, "default2");
  EXPECT_THROW(p.AddRowToTable("nope", {1, 0, 0, 0, 5}), ETableNotFound);
  EXPECT_THROW(p.AddRowToTable("DEFAULT", {VK_LEFT, 0, 0, 0, ccRight}), EDuplicateCommand);
  p.AddRowToTable("Default1", {VK_LEFT, 0, 0, 0, ccRight});
  EXPECT_EQ(p.GetTable("default1")->RowCount(), 1);
  EXPECT_EQ(p.GetTable("Default")->RowCount(), 64);
  EXPECT_EQ(p.GetTable("WordStar")->RowCount(), 40);
  EXPECT_EQ(p.GetTable("Grid")->RowCount(), 38);
}

TEST(CommandTables, FileRoundTrip) {
  const std::string file = TempFolder() + "/fkcmd_" + std::to_string(getpid()) + ".txt";
  TFkCommandProcessor p;
  p.SaveTableFile("WordStar", file);
  const std::string text = ReadFileBytes(file);
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), "WordStar\r\n");
  EXPECT_NE(text.find("  81   4  83 128    42\r\n"), std::string::npos) << "Ctrl+Q S, right-aligned columns";
  p.LoadTableFile(file);
  ASSERT_EQ(p.TableCount(), 4);
  EXPECT_EQ(p.Tables(3)->TableName, "WordStar1");
  EXPECT_EQ(p.Tables(3)->Rows(), p.GetTable("WordStar")->Rows());
  DeleteFile(file);
  EXPECT_THROW(p.LoadTableFile(file), Exception) << "a missing file";
}

TEST(CommandTables, MalformedTextIsRefusedAndKeepsTheRows) {
  TFkCommandTable t;
  t.AddRow({1, 2, 3, 4, 5});
  EXPECT_THROW(t.LoadRowsFromText("X\n1 2 3 4\n"), EInOutError);
  EXPECT_THROW(t.LoadRowsFromText("X\n1 2 3 4 five\n"), EInOutError);
  EXPECT_THROW(t.LoadRowsFromText("X\n300 0 0 0 1\n"), EInOutError);
  EXPECT_THROW(t.LoadRowsFromText("X\n1 0 0 0 70000\n"), EInOutError);
  EXPECT_THROW(t.LoadRowsFromText("X\n1 0 0 0 1\n1 0 0 0 2\n"), EDuplicateCommand);
  EXPECT_THROW(t.LoadRowsFromText(""), EInOutError);
  EXPECT_EQ(t.RowCount(), 1);
  t.LoadRowsFromText("Mine\r\n\r\n 37 0 0 0 46\r\n");
  EXPECT_EQ(t.TableName, "Mine");
  ASSERT_EQ(t.RowCount(), 1);
  EXPECT_EQ(t.GetRow(0).Command, ccLeft);
  EXPECT_THROW(t.GetRow(1), EListError);
}

}  // namespace
}  // namespace tw::entry

#include "platform/classes/streams.h"

namespace tw::entry {
namespace {

TEST(CommandTables, StoredFormHoldsOnlyTheChanges) {
  TFkCommandProcessor p;
  TFkCommandTable* def = p.GetTable("Default");
  def->DeleteRow(def->FindRow({VK_INSERT, 0, 0, 0, 0}));
  def->ReplaceRow(def->FindRow({VK_LEFT, 0, 0, 0, 0}), {VK_LEFT, 0, 0, 0, ccHome});
  p.GetTable("Grid")->IsActive = true;
  p.NewTable("Mine", false)->AddRow({'Q', ksCtrl, 'Q', ksAnyOrCtrl, 300});
  TMemoryStream stream;
  {
    TWriter w(stream);
    p.WriteTables(w);
  }
  const std::int64_t size = stream.Size();
  stream.SetPosition(0);
  TFkCommandProcessor q;
  {
    TReader r(stream);
    q.ReadTables(r);
  }
  ASSERT_EQ(q.TableCount(), 4);
  EXPECT_EQ(q.GetTable("Default")->Rows(), def->Rows());
  EXPECT_TRUE(q.GetTable("Grid")->IsActive);
  EXPECT_FALSE(q.GetTable("WordStar")->IsActive);
  EXPECT_EQ(q.Translate(VK_LEFT, 0), ccHome);
  EXPECT_EQ(q.Translate(VK_INSERT, 0), ccIns) << "Grid still maps Ins";
  EXPECT_EQ(q.GetTable("Mine")->RowCount(), 1);

  TFkCommandProcessor unchanged;
  TMemoryStream small;
  {
    TWriter w(small);
    unchanged.WriteTables(w);
  }
  EXPECT_LT(small.Size(), size);
  EXPECT_LT(small.Size(), 64) << "unchanged built-in tables store empty change lists";
}

}  // namespace
}  // namespace tw::entry

#include <cstdlib>

#include "platform/rtl/files.h"

namespace tw::entry {
namespace {

TEST(CommandTables, StoredFormSeedOfTheFuzzCorpusLoads) {
  const char* root = std::getenv("TIDEWELL_SOURCE_DIR");
  if (root == nullptr) GTEST_SKIP() << "TIDEWELL_SOURCE_DIR is not set";
  const std::string bytes = ReadFileBytes(std::string(root) + "/entry/fuzz/corpus/tw_entry_tablelist_fuzz/changes.bin");
  TMemoryStream s;
  s.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  s.SetPosition(0);
  TFkCommandProcessor p;
  TReader r(s);
  p.ReadTables(r);
  ASSERT_EQ(p.TableCount(), 2);
  EXPECT_EQ(p.GetTable("Default")->RowCount(), 64) << "one row out, one row in";
  EXPECT_EQ(p.Translate(VK_LEFT, 0), ccChar);
  EXPECT_EQ(p.Translate(113, 0), 300);
  EXPECT_EQ(p.Translate('Q', ksCtrl), ccPartial);
  EXPECT_EQ(p.Translate('S', 0), 42);
}

}  // namespace
}  // namespace tw::entry
