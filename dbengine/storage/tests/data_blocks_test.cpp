// Records in data blocks: references, reuse of deleted slots, scans, and references that name
// no slot.
#include <gtest/gtest.h>

#include "blocks_test_util.h"

namespace tw::dbengine::testing {
namespace {

// A 100-byte record: ID (4 bytes), 95 bytes of data and one byte of null bits.
void Records100(TqnDataDictionary& d) {
  d.AddField("ID", "", qftInt32, 0, 0, false);
  d.AddField("DATA", "", qftByteArray, 95, 0, false);
}

class DataBlocks : public ::testing::Test {
 protected:
  DataBlocks() : t(folder, Records100) {}
  std::vector<std::uint8_t> Rec(std::int32_t id) {
    auto r = t.NewRecord();
    t.dict.SetRecordField(0, r.data(), reinterpret_cast<const std::uint8_t*>(&id));
    return r;
  }
  std::int32_t Add(std::int32_t id) {
    return t.Insert(Rec(id));
  }
  ScratchFolder folder;
  IndexedTable t;
};

TEST_F(DataBlocks, ReferencesFollowTheSlotsAndDeletedSlotsAreReusedNewestFirst) {
  ASSERT_EQ(t.dict.RecordLength(), 100);
  t.Begin();
  EXPECT_EQ(Add(1), (3 << 12) + 32);  // block 1 holds the dictionary, block 2 the index header
  EXPECT_EQ(Add(2), (3 << 12) + 136);
  const std::int32_t third = Add(3);
  t.Remove((3 << 12) + 32);
  t.Remove(third);
  EXPECT_EQ(Add(4), third);
  EXPECT_EQ(Add(5), (3 << 12) + 32);
  t.Commit();
  auto r = t.NewRecord();
  QNTblReadRecord(t.fx.file, third, r.data());
  EXPECT_EQ(r, Rec(4));
  EXPECT_TRUE(t.Check({false}).empty()) << Faults(t.Check({false}));
}

TEST_F(DataBlocks, ANewBlockIsChainedWhenEverySlotIsTaken) {
  t.Begin();
  std::vector<std::int32_t> refs;
  for (int i = 0; i < 40; ++i) refs.push_back(Add(i));
  t.Commit();
  EXPECT_EQ(QNTblGetRecordInfo(t.fx.file).RecordsPerBlock, 39);
  EXPECT_NE(refs[39] >> 12, refs[38] >> 12);
  const std::uint8_t* first = t.fx.bm.GetBlock(t.fx.file, refs[0] >> 12, false);
  EXPECT_EQ(QNGetDword(first, qdbNextData), refs[39] >> 12);
  const std::uint8_t* second = t.fx.bm.GetBlock(t.fx.file, refs[39] >> 12, false);
  EXPECT_EQ(QNGetDword(second, qdbPrevData), refs[0] >> 12);
  const std::uint8_t* h = t.fx.Header();
  EXPECT_EQ(QNGetDword(h, qfhFirstDataBlock), refs[0] >> 12);
  EXPECT_EQ(QNGetDword(h, qfhLastDataBlock), refs[39] >> 12);
  EXPECT_EQ(QNGetDword(h, qfhDeletedCount), 38);
  EXPECT_TRUE(t.Check({false}).empty()) << Faults(t.Check({false}));
}

TEST_F(DataBlocks, ScanVisitsLiveRecordsInPhysicalOrderAndSkipsEmptyBlocks) {
  t.Begin();
  std::vector<std::int32_t> refs;
  for (int i = 0; i < 100; ++i) refs.push_back(Add(i));
  for (int i = 0; i < 39; ++i) t.Remove(refs[static_cast<std::size_t>(i)]);  // the whole first block
  t.Remove(refs[50]);
  t.Commit();
  std::vector<std::int32_t> seen;
  std::int32_t ref = 0;
  std::int32_t next = 0;
  auto rec = t.NewRecord();
  while (QNTblNextRecord(t.fx.file, ref, next, rec.data())) {
    seen.push_back(next);
    ref = next;
  }
  std::vector<std::int32_t> expected(refs.begin() + 39, refs.end());
  expected.erase(expected.begin() + 11);
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(next, 0);
}

TEST_F(DataBlocks, DeletedAndInvalidReferencesAreRefused) {
  t.Begin();
  const std::int32_t a = Add(1);
  Add(2);
  t.Remove(a);
  auto r = t.NewRecord();
  EXPECT_EQ(ErrorOf([&] { QNTblUpdateRecord(t.fx.file, a, r.data()); }), qnerrRecordDeleted);
  EXPECT_EQ(ErrorOf([&] { QNTblDeleteRecord(t.fx.file, a); }), qnerrRecordDeleted);
  // A record read alone is refused alike, its block cached or not.
  using Read = void (*)(TqnFileInfo*, std::int32_t, std::uint8_t*);
  const Read single = [](TqnFileInfo* f, std::int32_t ref, std::uint8_t* d) { QNTblReadSingleRecord(f, ref, d); };
  for (Read read : {Read(&QNTblReadRecord), single})
    for (bool cached : {true, false}) {
      if (!cached) {
        t.Commit();
        t.fx.bm.RemoveFile(t.fx.file);
        t.Begin();
      }
      EXPECT_EQ(ErrorOf([&] { read(t.fx.file, a, r.data()); }), qnerrRecordDeleted);
      EXPECT_EQ(ErrorOf([&] { read(t.fx.file, a + 2, r.data()); }), qnerrBadRecordRef);
      EXPECT_EQ(ErrorOf([&] { read(t.fx.file, 0, r.data()); }), qnerrBadRecordRef);
      EXPECT_EQ(ErrorOf([&] { read(t.fx.file, -4064, r.data()); }), qnerrBadRecordRef);
      EXPECT_EQ(ErrorOf([&] { read(t.fx.file, (900 << 12) + 32, r.data()); }), qnerrBadBlockNumber);
      // Block 2 is the index header: no data block.
      EXPECT_EQ(ErrorOf([&] { read(t.fx.file, (2 << 12) + 32, r.data()); }), qnerrNotDataBlock);
    }
  // Read without the block's check (the caller checks the record): the slot's own checks stay.
  for (bool cached : {true, false}) {
    if (!cached) {
      t.Commit();
      t.fx.bm.RemoveFile(t.fx.file);
      t.Begin();
    }
    const auto unchecked = [&](std::int32_t ref) { QNTblReadSingleRecord(t.fx.file, ref, r.data(), false); };
    EXPECT_EQ(ErrorOf([&] { unchecked(a); }), qnerrRecordDeleted);
    EXPECT_EQ(ErrorOf([&] { unchecked(a + 2); }), qnerrBadRecordRef);
    EXPECT_EQ(ErrorOf([&] { unchecked(0); }), qnerrBadRecordRef);
    EXPECT_EQ(ErrorOf([&] { unchecked((900 << 12) + 32); }), qnerrBadBlockNumber);
  }
  t.Rollback();
}

// A record read alone (found by its key) comes from its block's page when the block is cached,
// changes of the running transaction included, and otherwise from the file without its block
// taking a page of the cache.
TEST_F(DataBlocks, ARecordReadAloneLeavesItsBlockOutOfTheCache) {
  t.Begin();
  std::vector<std::int32_t> refs;
  for (int i = 0; i < 100; ++i) refs.push_back(Add(i));
  t.Commit();
  t.fx.bm.RemoveFile(t.fx.file);
  auto r = t.NewRecord();
  // With the block's check and without it (the slot alone read).
  for (bool check : {true, false}) {
    for (int i = 0; i < 100; ++i) {
      const std::int32_t ref = refs[static_cast<std::size_t>(i)];
      std::fill(r.begin(), r.end(), std::uint8_t(0xEE));
      QNTblReadSingleRecord(t.fx.file, ref, r.data(), check);
      ASSERT_EQ(r, Rec(i)) << i << check;
      EXPECT_FALSE(t.fx.bm.IsCached(t.fx.file, ref >> 12)) << i;
    }
    t.Begin();
    QNTblUpdateRecord(t.fx.file, refs[45], Rec(4500).data());
    QNTblReadSingleRecord(t.fx.file, refs[45], r.data(), check);
    EXPECT_EQ(r, Rec(4500));
    QNTblReadSingleRecord(t.fx.file, refs[44], r.data(), check);
    EXPECT_EQ(r, Rec(44));
    t.Rollback();
    QNTblReadSingleRecord(t.fx.file, refs[45], r.data(), check);
    EXPECT_EQ(r, Rec(45));
  }
}

TEST(RecordReferences, ASlotMustLieWhollyInsideItsBlock) {
  // 39 slots of 104 bytes fill 4056 of the 4064 bytes: slot 39 would overrun the block.
  EXPECT_TRUE(QNVerifyRefNr((1 << 12) + 32 + 38 * 104, 12, 104));
  EXPECT_FALSE(QNVerifyRefNr((1 << 12) + 32 + 39 * 104, 12, 104));
  EXPECT_FALSE(QNVerifyRefNr((1 << 12) + 31, 12, 104));
  EXPECT_FALSE(QNVerifyRefNr(0, 12, 104));
  EXPECT_TRUE(QNVerifyRefNr((3 << 12) + 32, 12, 4064));
  EXPECT_FALSE(QNVerifyRefNr((3 << 12) + 32 + 4064, 12, 4064));
}

TEST_F(DataBlocks, AnOverrunningReferenceIsRefusedBeforeAnyByteIsTouched) {
  t.Begin();
  const std::int32_t a = Add(7);
  const std::int32_t beyond = (a & ~4095) + 32 + 39 * 104;
  auto r = Rec(9);
  EXPECT_EQ(ErrorOf([&] { QNTblUpdateRecord(t.fx.file, beyond, r.data()); }), qnerrBadRecordRef);
  EXPECT_EQ(ErrorOf([&] { QNTblDeleteRecord(t.fx.file, beyond); }), qnerrBadRecordRef);
  t.Commit();
  EXPECT_TRUE(t.Check({false}).empty());
}

TEST_F(DataBlocks, RollbackForgetsAddedRecords) {
  t.Begin();
  Add(1);
  t.Commit();
  t.Begin();
  for (int i = 0; i < 50; ++i) Add(i);
  t.Rollback();
  EXPECT_EQ(QNTblGetRecordInfo(t.fx.file).RecordCount, 1);
  EXPECT_TRUE(t.Check({false}).empty()) << Faults(t.Check({false}));
}

}  // namespace
}  // namespace tw::dbengine::testing
