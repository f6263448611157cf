// Table files: block 0 as created, the checks made when a file is opened, allocation and
// reuse of blocks across a reopen, stream blocks, and deleting a table's files.
#include <gtest/gtest.h>

#include <cstdlib>

#include "dbengine/storage/tests/storage_test_util.h"
#include "platform/classes/streams.h"

namespace tw::dbengine {
namespace {

using testing::ErrorOf;
using testing::ScratchFolder;
using testing::TableFixture;

TEST(TableFile, FreshFileHeader) {
  ScratchFolder dir;
  TqnDataDictionary d;
  d.AddField("DATA", "", qftByteArray, 99, 0, false);  // record length 100
  d.SetIsEncrypted(true);
  {
    TableFixture t;
    t.Create(dir.File("T"), d);
  }
  const auto bytes = testing::ReadAll(dir.File("T.QND"));
  ASSERT_GE(bytes.size(), 4096u * 2);
  const std::uint8_t* h = bytes.data();
  EXPECT_TRUE(QNHasSignature(h, kQnSigFileHeader));
  EXPECT_EQ(QNGetDword(h, qfhNext), -1);
  EXPECT_EQ(QNGetDword(h, qfhBlockSize), 4096);
  EXPECT_EQ(QNGetDword(h, qfhEncrypted), 0);  // never set: such a file could not be opened
  EXPECT_EQ(QNGetDword(h, qfhLog2BlockSize), 12);
  EXPECT_EQ(QNGetDword(h, qfhBlocksUsed), 2);  // block 0 and the dictionary stream
  EXPECT_EQ(QNGetDword(h, qfhRecordLength), 100);
  EXPECT_EQ(QNGetDword(h, qfhSlotLength), 104);
  EXPECT_EQ(QNGetDword(h, qfhRecordsPerBlock), 39);
  EXPECT_EQ(QNGetDword(h, qfhFirstDataBlock), -1);
  EXPECT_EQ(QNGetDword(h, qfhIndexCount), 1);
  EXPECT_EQ(QNGetDword(h, qfhHasSeqIndex), 1);
  EXPECT_EQ(QNGetDword(h, qfhFieldCount), 1);
  EXPECT_EQ(QNGetDword(h, qfhDictionaryBlock), 1);
  // The rest of block 0 is zero, not left-over memory.
  for (std::size_t i = 26 * 4; i < 4096; ++i) ASSERT_EQ(h[i], 0) << i;
  // The dictionary's stream block.
  const std::uint8_t* s = bytes.data() + 4096;
  EXPECT_TRUE(QNHasSignature(s, kQnSigStream));
  EXPECT_EQ(QNGetDword(s, qbhNumber), 1);
  EXPECT_EQ(QNGetDword(s, qsbNextInStream), -1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s + 16), 4), "DICT");
  EXPECT_EQ(QNGetDword(s, qsbFirstBlock), 1);
}

TEST(TableFile, OneRecordPerBlockAtTheLimit) {
  ScratchFolder dir;
  TqnDataDictionary d;
  d.AddField("DATA", "", qftByteArray, 4059, 0, false);
  TableFixture t;
  t.Create(dir.File("T"), d);
  EXPECT_EQ(t.Dword(qfhSlotLength), 4064);
  EXPECT_EQ(t.Dword(qfhRecordsPerBlock), 1);
}

TEST(TableFile, DictionaryIsReadBackAndBuilt) {
  ScratchFolder dir;
  TqnDataDictionary d;
  testing::SmallDictionary(d);
  { TableFixture t; t.Create(dir.File("T"), d); }
  TableFixture t;
  t.Open(dir.File("T"));
  TqnDataDictionary r;
  QNTblReadDictionary(r, t.file);
  EXPECT_TRUE(r.Built());
  EXPECT_EQ(r.FieldCount(), 2);
  EXPECT_EQ(r.GetIndexFromName("BYID"), 1);
  EXPECT_EQ(ErrorOf([&] { r.AddField("X", "", qftInt32, 0, 0, false); }), 23640);
  QNTblDictAllowChanges(r);
  EXPECT_EQ(ErrorOf([&] { r.AddField("X", "", qftInt32, 0, 0, false); }), 0);
}

void DamageHeader(const std::string& path, int dword, std::int32_t value) {
  auto bytes = testing::ReadAll(path);
  QNSetDword(bytes.data(), dword, value);
  testing::WriteAll(path, bytes);
}

TEST(TableFile, OpeningChecksTheHeader) {
  ScratchFolder dir;
  TqnDataDictionary d;
  testing::SmallDictionary(d);
  { TableFixture t; t.Create(dir.File("T"), d); }
  const std::string path = dir.File("T.QND");
  const auto good = testing::ReadAll(path);
  auto openError = [&] {
    TableFixture t;
    return ErrorOf([&] {
      t.Open(dir.File("T"));
      t.Header();
    });
  };
  EXPECT_EQ(openError(), 0);
  struct Damage { int dword; std::int32_t value; int code; } damages[] = {
      {qfhBlockSize, 5000, 23584},   {qfhNext, 0, 23584},         {qfhNumber, 3, 23584},
      {qfhEncrypted, 1, 23586},      {qfhBlocksUsed, 0, 23584},   {qfhBlocksUsed, 1 << 20, 23584},
      {qfhLog2BlockSize, 13, 23584}, {qfhFreedCount, 5, 23584},   {qfhFirstFreed, 9, 23584},
  };
  for (const Damage& dm : damages) {
    testing::WriteAll(path, good);
    DamageHeader(path, dm.dword, dm.value);
    EXPECT_EQ(openError(), dm.code) << "dword " << dm.dword;
  }
  testing::WriteAll(path, std::vector<std::uint8_t>(good.begin(), good.begin() + 10));
  EXPECT_EQ(openError(), 23584);
  testing::WriteAll(path, std::vector<std::uint8_t>(good.begin(), good.begin() + 2000));
  EXPECT_EQ(openError(), 23584);
  testing::WriteAll(path, {});
  EXPECT_EQ(openError(), 23584);
}

TEST(TableFile, MissingFileGivesOpenError) {
  ScratchFolder dir;
  TableFixture t;
  EXPECT_EQ(ErrorOf([&] { t.Open(dir.File("NOPE")); }), 23537);
}

TEST(TableFile, FreedBlocksAreReusedNewestFirstAcrossReopen) {
  ScratchFolder dir;
  TqnDataDictionary d;
  testing::SmallDictionary(d);
  {
    TableFixture t;
    t.Create(dir.File("T"), d);
    t.Begin(2);
    std::uint8_t* h = t.Header(true);
    for (int i = 0; i < 8; ++i) {
      std::int32_t b = 0;
      QNTblHlpGetNewBlock(t.file, h, b);
      EXPECT_EQ(b, 2 + i);
    }
    QNTblHlpDeleteBlock(t.file, h, 5);
    QNTblHlpDeleteBlock(t.file, h, 7);
    EXPECT_EQ(ErrorOf([&] { QNTblHlpDeleteBlock(t.file, h, 10); }), 23585);
    t.bm.Commit(2);
  }
  const auto bytes = testing::ReadAll(dir.File("T.QND"));
  EXPECT_TRUE(QNHasSignature(bytes.data() + 7 * 4096, kQnSigDead));
  EXPECT_EQ(QNGetDword(bytes.data() + 7 * 4096, qbhNext), 5);

  TableFixture t;
  t.Open(dir.File("T"));
  EXPECT_EQ(t.Dword(qfhFreedCount), 2);
  EXPECT_EQ(t.Dword(qfhFirstFreed), 7);
  t.Begin(3);
  std::uint8_t* h = t.Header(true);
  std::int32_t b = 0;
  std::uint8_t* blk = QNTblHlpGetNewBlock(t.file, h, b);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(QNGetDword(blk, qbhNumber), 7);
  EXPECT_EQ(QNGetDword(blk, qbhSignature), 0);  // the freed block comes back clean
  QNTblHlpGetNewBlock(t.file, h, b);
  EXPECT_EQ(b, 5);
  QNTblHlpGetNewBlock(t.file, h, b);
  EXPECT_EQ(b, 10);
  EXPECT_EQ(t.Dword(qfhFreedCount), 0);
  EXPECT_EQ(t.Dword(qfhFirstFreed), -1);
  EXPECT_EQ(t.Dword(qfhBlocksUsed), 11);
}

TEST(TableFile, DamagedFreeListIsRefused) {
  ScratchFolder dir;
  TqnDataDictionary d;
  testing::SmallDictionary(d);
  {
    TableFixture t;
    t.Create(dir.File("T"), d);
    t.Begin(2);
    std::uint8_t* h = t.Header(true);
    std::int32_t b = 0;
    QNTblHlpGetNewBlock(t.file, h, b);
    QNTblHlpGetNewBlock(t.file, h, b);
    QNTblHlpDeleteBlock(t.file, h, 2);
    t.bm.Commit(2);
  }
  // The freed block was overwritten by something else.
  auto bytes = testing::ReadAll(dir.File("T.QND"));
  QNSetSignature(bytes.data() + 2 * 4096, kQnSigData);
  testing::WriteAll(dir.File("T.QND"), bytes);
  TableFixture t;
  t.Open(dir.File("T"));
  t.Begin(3);
  std::int32_t b = 0;
  std::uint8_t* h = t.Header(true);
  EXPECT_EQ(ErrorOf([&] { QNTblHlpGetNewBlock(t.file, h, b); }), 23584);
}

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + i / 251);
  return s;
}

TEST(TableFile, StreamsSpanBlocksAndShrinkInPlace) {
  ScratchFolder dir;
  TqnDataDictionary d;
  testing::SmallDictionary(d);
  TableFixture t;
  t.Create(dir.File("T"), d);
  t.Begin(2);
  TMemoryStream big;
  big.WriteBuffer(Pattern(10000));
  std::int32_t first = -1;
  QNTblWriteStream(t.file, first, big, "TEST", true);
  EXPECT_EQ(first, 2);
  EXPECT_EQ(t.Dword(qfhBlocksUsed), 5);  // 4064 + 4064 + 1872 bytes
  t.bm.Commit(2);

  TMemoryStream back;
  QNTblReadStream(t.file, first, back);
  EXPECT_EQ(back.Bytes(), Pattern(10000));

  t.Begin(3);
  TMemoryStream small;
  small.WriteBuffer(Pattern(100));
  QNTblWriteStream(t.file, first, small, "TEST", false);
  EXPECT_EQ(first, 2);
  EXPECT_EQ(t.Dword(qfhFreedCount), 2);
  t.bm.Commit(3);
  TMemoryStream back2;
  QNTblReadStream(t.file, first, back2);
  EXPECT_EQ(back2.Bytes(), Pattern(100));
  EXPECT_EQ(ErrorOf([&] { TMemoryStream s; QNTblReadStream(t.file, 3, s); }), 23597);  // a freed block
  EXPECT_EQ(ErrorOf([&] { TMemoryStream s; QNTblReadStream(t.file, 99, s); }), 23585);
}

TEST(TableFile, LoopingOrOverlongStreamIsRefused) {
  ScratchFolder dir;
  TqnDataDictionary d;
  testing::SmallDictionary(d);
  std::int32_t first = -1;
  {
    TableFixture t;
    t.Create(dir.File("T"), d);
    t.Begin(2);
    TMemoryStream big;
    big.WriteBuffer(Pattern(9000));
    QNTblWriteStream(t.file, first, big, "TEST", true);
    t.bm.Commit(2);
  }
  const auto good = testing::ReadAll(dir.File("T.QND"));
  auto readError = [&] {
    TableFixture t;
    t.Open(dir.File("T"));
    TMemoryStream s;
    return ErrorOf([&] { QNTblReadStream(t.file, first, s); });
  };
  auto bytes = good;
  QNSetDword(bytes.data() + 3 * 4096, qsbNextInStream, 2);  // second block points back
  QNSetDword(bytes.data() + 2 * 4096, qsbTotalLength, 3 * 4064);
  testing::WriteAll(dir.File("T.QND"), bytes);
  EXPECT_EQ(readError(), 23597);
  bytes = good;
  QNSetDword(bytes.data() + 2 * 4096, qsbTotalLength, 2000000000);
  testing::WriteAll(dir.File("T.QND"), bytes);
  EXPECT_EQ(readError(), 23597);
  bytes = good;
  QNSetDword(bytes.data() + 2 * 4096, qsbTotalLength, -5);
  testing::WriteAll(dir.File("T.QND"), bytes);
  EXPECT_EQ(readError(), 23597);
}

TEST(TableFile, MissingDictionaryAndMismatchedLayout) {
  ScratchFolder dir;
  TqnDataDictionary d;
  testing::SmallDictionary(d);
  TableFixture t;
  t.file = QNAllocFileInfo(dir.File("T"), "QND", &t.bm);
  QNOpenFile(t.file, true, false, true, false);
  t.Begin(1);
  QNTblCreateFileHeader(t.file, d);
  t.bm.Commit(1);
  TqnDataDictionary r;
  r.SetTableName("T");
  EXPECT_EQ(ErrorOf([&] { QNTblReadDictionary(r, t.file); }), 23641);
  // A dictionary of another block size cannot go into this file.
  TqnDataDictionary other(8192);
  other.AddField("A", "", qftInt32, 0, 0, false);
  t.Begin(2);
  EXPECT_EQ(ErrorOf([&] { QNTblWriteDictionary(other, t.file); }), 23639);
  // One whose record differs from what block 0 says is refused when read back.
  TqnDataDictionary wider;
  wider.AddField("A", "", qftByteArray, 500, 0, false);
  QNTblWriteDictionary(wider, t.file);
  t.bm.Commit(2);
  EXPECT_EQ(ErrorOf([&] { QNTblReadDictionary(r, t.file); }), 23584);
}

TEST(TableFile, GrowingPastWhatReferencesAddressIsRefused) {
  ScratchFolder dir;
  TqnDataDictionary d;
  testing::SmallDictionary(d);
  { TableFixture t; t.Create(dir.File("T"), d); }
  // Block 0 says the file holds as many blocks as 32-bit references can name.
  DamageHeader(dir.File("T.QND"), qfhBlocksUsed, static_cast<std::int32_t>(QNMaxBlocks(4096)));
  TableFixture t;
  t.Open(dir.File("T"));
  t.Begin(2);
  std::int32_t b = 0;
  try {
    QNTblHlpGetNewBlock(t.file, t.Header(true), b);
    FAIL() << "the file grew past 2 GB";
  } catch (const EqnException& e) {
    EXPECT_EQ(e.ErrorCode, 23544);
    EXPECT_NE(e.Message().find("T.QND"), std::string::npos);
  }
}

TEST(TableFile, AutoIncAndRecordInfo) {
  ScratchFolder dir;
  TqnDataDictionary d;
  testing::SmallDictionary(d);
  TableFixture t;
  t.Create(dir.File("T"), d);
  t.Begin(2);
  EXPECT_EQ(QNTblNextAutoIncValue(t.file), 1u);
  EXPECT_EQ(QNTblNextAutoIncValue(t.file), 2u);
  QNTblSetAutoIncValue(t.file, 1);
  EXPECT_EQ(QNTblNextAutoIncValue(t.file), 3u);
  QNTblSetAutoIncValue(t.file, 0x80000000u);  // compared unsigned
  EXPECT_EQ(QNTblNextAutoIncValue(t.file), 0x80000001u);
  // The last value is given once; after it the counter is exhausted, never wrapped to 0.
  QNTblSetAutoIncValue(t.file, 0xFFFFFFFEu);
  EXPECT_EQ(QNTblNextAutoIncValue(t.file), 0xFFFFFFFFu);
  EXPECT_EQ(testing::ErrorOf([&] { QNTblNextAutoIncValue(t.file); }), 23650);
  EXPECT_EQ(t.Dword(qfhLastAutoInc), -1);
  const TqnRecordInfo info = QNTblGetRecordInfo(t.file);
  EXPECT_EQ(info.RecordLength, d.RecordLength());
  EXPECT_EQ(info.RecordCount, 0);
  t.bm.Commit(2);
}

TEST(TableFile, DeleteFilesRemovesOnlyTheTablesOwnFiles) {
  ScratchFolder dir;
  TqnDataDictionary d;
  testing::SmallDictionary(d);
  { TableFixture t; t.Create(dir.File("People"), d); }
  { TableFixture t; t.Create(dir.File("Other"), d); }
  // An index file of the table, with its own header.
  std::filesystem::copy_file(dir.File("People.QND"), dir.File("People.QNX"));
  testing::WriteAll(dir.File("People.TXT"), {'a', 'b'});   // short, not ours
  testing::WriteAll(dir.File("People.DOC"), {});            // empty, not ours
  testing::WriteAll(dir.File("People.CSV"), {'1', ',', '2', '\n', '3'});
  testing::WriteAll(dir.File("PeopleX.QND"), {'Q'});
  QNTblDeleteFiles(dir.Path(), "PEOPLE.qnd");
  std::vector<std::string> names = dir.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Other.QND", "People.CSV", "People.DOC", "People.TXT", "PeopleX.QND"}));
}

}  // namespace
}  // namespace tw::dbengine

namespace tw::dbengine {
namespace {

std::string SeedFolder() {
  const char* root = std::getenv("TIDEWELL_SOURCE_DIR");
  return std::string(root ? root : "../..") + "/dbengine/storage/fuzz/corpus/";
}

// The fuzz seeds must be good inputs, or the damaged variants made from them test little.
TEST(FuzzSeeds, AreReadableTablesAndDictionaries) {
  TqnDataDictionary d;
  TMemoryStream ms;
  const auto dict = testing::ReadAll(SeedFolder() + "tw_storage_dict_fuzz/small.dict");
  ASSERT_FALSE(dict.empty());
  ms.WriteBuffer(dict.data(), static_cast<std::int64_t>(dict.size()));
  ms.SetPosition(0);
  d.ReadFromStream(ms);
  EXPECT_EQ(d.FieldCount(), 2);
  EXPECT_EQ(d.IndexCount(), 3);

  ScratchFolder dir;
  std::filesystem::copy_file(SeedFolder() + "tw_storage_tablefile_fuzz/small.QND", dir.File("S.QND"));
  TableFixture t;
  t.Open(dir.File("S"), false);
  TqnDataDictionary r;
  QNTblReadDictionary(r, t.file);
  EXPECT_EQ(r.RecordLength(), 26);
}

}  // namespace
}  // namespace tw::dbengine
