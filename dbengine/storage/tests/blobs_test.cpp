// BLOBs: round trips across segment boundaries, appends, truncation, file BLOBs and numbers
// that name no slot.
#include <gtest/gtest.h>

#include <random>

#include "blocks_test_util.h"

namespace tw::dbengine::testing {
namespace {

void WithMemo(TqnDataDictionary& d) {
  d.AddField("ID", "", qftInt32, 0, 0, false);
  d.AddField("MEMO", "", qftBlobMemo, 0, 0, false);
}

class Blobs : public ::testing::Test {
 protected:
  Blobs() : t(folder, WithMemo) {}
  std::vector<std::uint8_t> Bytes(std::size_t n, unsigned seed) {
    std::vector<std::uint8_t> v(n);
    std::mt19937 g(seed);
    for (auto& b : v) b = static_cast<std::uint8_t>(g());
    return v;
  }
  std::vector<std::uint8_t> ReadAllOf(std::int32_t nr, std::int32_t offset = 0, std::int32_t len = -1) {
    int err = 0;
    if (len < 0) len = QNTblGetBLOBLength(t.fx.file, nr, err) - offset;
    std::vector<std::uint8_t> v(static_cast<std::size_t>(std::max(len, 0)));
    std::int32_t got = 0;
    QNTblReadBLOB(t.fx.file, nr, offset, err, got, v.data(), len);
    EXPECT_EQ(err, 0);
    v.resize(static_cast<std::size_t>(got));
    return v;
  }
  std::int32_t Segments(std::int32_t nr) {
    const std::uint8_t* b = t.fx.bm.GetBlock(t.fx.file, nr >> 12, false);
    return QNGetDword(b + (nr & 4095), 2);
  }
  std::vector<std::string> Check() { return t.Check({false}); }
  ScratchFolder folder;
  IndexedTable t;
};

TEST_F(Blobs, SegmentCountsFollowTheInlinePartAndTheBlockPayload) {
  EXPECT_EQ(QNBlobSegmentCount(256, 4096), 0);
  EXPECT_EQ(QNBlobSegmentCount(257, 4096), 1);
  EXPECT_EQ(QNBlobSegmentCount(4320, 4096), 1);
  EXPECT_EQ(QNBlobSegmentCount(4321, 4096), 2);
  EXPECT_EQ(QNBlobSegmentCount(0, 4096), 0);
}

TEST_F(Blobs, ContentsRoundTripAcrossEverySegmentBoundary) {
  t.Begin();
  for (std::int32_t len : {0, 1, 255, 256, 257, 4320, 4321, 8384, 8385, 20000}) {
    std::int32_t nr = 0;
    QNTblAddBLOB(t.fx.file, nr);
    const auto data = Bytes(static_cast<std::size_t>(len), static_cast<unsigned>(len));
    QNTblWriteBLOB(t.fx.file, nr, 0, len, data.data());
    EXPECT_EQ(ReadAllOf(nr), data) << len;
    EXPECT_EQ(Segments(nr), QNBlobSegmentCount(len, 4096));
    // Reads that start and end inside every part.
    for (std::int32_t off : {0, 6, 250, 256, 300, 4319, 4320, 4321}) {
      if (off > len) continue;
      const auto part = ReadAllOf(nr, off, 5000);
      ASSERT_EQ(part.size(), static_cast<std::size_t>(std::min(5000, len - off))) << len << " at " << off;
      EXPECT_TRUE(std::equal(part.begin(), part.end(), data.begin() + off)) << len << " at " << off;
    }
  }
  t.Commit();
  EXPECT_TRUE(Check().empty()) << Faults(Check());
}

TEST_F(Blobs, WritingAtTheEndAppendsAndBeyondItIsRefused) {
  t.Begin();
  std::int32_t nr = 0;
  QNTblAddBLOB(t.fx.file, nr);
  auto data = Bytes(300, 1);
  QNTblWriteBLOB(t.fx.file, nr, 0, 300, data.data());
  const auto more = Bytes(10, 2);
  QNTblWriteBLOB(t.fx.file, nr, 300, 10, more.data());
  data.insert(data.end(), more.begin(), more.end());
  EXPECT_EQ(ReadAllOf(nr), data);
  EXPECT_EQ(Segments(nr), 1);
  EXPECT_EQ(ErrorOf([&] { QNTblWriteBLOB(t.fx.file, nr, 311, 1, more.data()); }), qnerrBlobOffset);
  // Overwriting the middle of a long BLOB keeps the rest.
  const auto big = Bytes(10000, 3);
  QNTblWriteBLOB(t.fx.file, nr, 0, 10000, big.data());
  const auto patch = Bytes(5000, 4);
  QNTblWriteBLOB(t.fx.file, nr, 2000, 5000, patch.data());
  auto expected = big;
  std::copy(patch.begin(), patch.end(), expected.begin() + 2000);
  EXPECT_EQ(ReadAllOf(nr), expected);
  t.Commit();
  EXPECT_TRUE(Check().empty()) << Faults(Check());
}

TEST_F(Blobs, TruncationFreesTheSegmentsNoLongerNeeded) {
  t.Begin();
  std::int32_t nr = 0;
  QNTblAddBLOB(t.fx.file, nr);
  const auto data = Bytes(12000, 5);
  QNTblWriteBLOB(t.fx.file, nr, 0, 12000, data.data());
  const std::int32_t freedBefore = t.fx.Dword(qfhFreedCount);
  QNTblTruncateBLOB(t.fx.file, nr, 5000);
  EXPECT_EQ(Segments(nr), 2);
  EXPECT_EQ(t.fx.Dword(qfhFreedCount), freedBefore + 1);
  EXPECT_EQ(ReadAllOf(nr), std::vector<std::uint8_t>(data.begin(), data.begin() + 5000));
  QNTblTruncateBLOB(t.fx.file, nr, 100);
  EXPECT_EQ(Segments(nr), 0);
  const std::uint8_t* b = t.fx.bm.GetBlock(t.fx.file, nr >> 12, false);
  EXPECT_EQ(QNGetDword(b + (nr & 4095), 3), -1);
  EXPECT_EQ(ErrorOf([&] { QNTblTruncateBLOB(t.fx.file, nr, 101); }), qnerrBlobTruncateLength);
  // After truncation the BLOB grows again into fresh segments.
  const auto again = Bytes(9000, 6);
  QNTblWriteBLOB(t.fx.file, nr, 100, 9000, again.data());
  auto expected = std::vector<std::uint8_t>(data.begin(), data.begin() + 100);
  expected.insert(expected.end(), again.begin(), again.end());
  EXPECT_EQ(ReadAllOf(nr), expected);
  t.Commit();
  EXPECT_TRUE(Check().empty()) << Faults(Check());
}

TEST_F(Blobs, SlotsAreReusedAndAFifteenthBlobOpensASecondHeaderBlock) {
  t.Begin();
  std::vector<std::int32_t> nrs(15);
  for (auto& n : nrs) QNTblAddBLOB(t.fx.file, n);
  EXPECT_EQ(nrs[13] >> 12, nrs[0] >> 12);
  EXPECT_NE(nrs[14] >> 12, nrs[0] >> 12);
  EXPECT_EQ(nrs[1] - nrs[0], 272);
  const auto data = Bytes(5000, 7);
  QNTblWriteBLOB(t.fx.file, nrs[3], 0, 5000, data.data());
  QNTblDeleteBLOB(t.fx.file, nrs[3]);
  EXPECT_EQ(t.fx.Dword(qfhBlobCount), 14);
  std::int32_t again = 0;
  QNTblAddBLOB(t.fx.file, again);
  EXPECT_EQ(again, nrs[3]);
  EXPECT_TRUE(ReadAllOf(again).empty());
  EXPECT_TRUE(QNTblFreeBLOBIfEmpty(t.fx.file, again));
  QNTblWriteBLOB(t.fx.file, nrs[4], 0, 1, data.data());
  EXPECT_FALSE(QNTblFreeBLOBIfEmpty(t.fx.file, nrs[4]));
  t.Commit();
  EXPECT_TRUE(Check().empty()) << Faults(Check());
}

TEST_F(Blobs, NumbersThatNameNoLiveSlotAreRefused) {
  t.Begin();
  std::int32_t nr = 0;
  QNTblAddBLOB(t.fx.file, nr);
  std::uint8_t buf[4] = {};
  int err = 0;
  std::int32_t got = 0;
  EXPECT_EQ(ErrorOf([&] { QNTblReadBLOB(t.fx.file, nr + 4, 0, err, got, buf, 4); }), qnerrBadBlobNumber);
  // Slot 14 would begin at 32 + 14 x 272 = 3840 and overrun the 4096-byte block.
  const std::int32_t overrun = (nr & ~4095) + 32 + 14 * 272;
  EXPECT_EQ(ErrorOf([&] { QNTblWriteBLOB(t.fx.file, overrun, 0, 4, buf); }), qnerrBadBlobNumber);
  EXPECT_EQ(ErrorOf([&] { QNTblReadBLOB(t.fx.file, 0, 0, err, got, buf, 4); }), qnerrBadBlobNumber);
  EXPECT_EQ(ErrorOf([&] { QNTblReadBLOB(t.fx.file, (999 << 12) + 32, 0, err, got, buf, 4); }), qnerrBadBlockNumber);
  EXPECT_EQ(ErrorOf([&] { QNTblReadBLOB(t.fx.file, nr, -1, err, got, buf, 4); }), qnerrInvalidParameter);
  EXPECT_EQ(ErrorOf([&] { QNTblReadBLOB(t.fx.file, nr, 0, err, got, buf, -1); }), qnerrInvalidParameter);
  EXPECT_EQ(ErrorOf([&] { QNTblWriteBLOB(t.fx.file, nr, 0, kQnBlobMaxLength + 1, buf); }), qnerrInvalidParameter);
  QNTblDeleteBLOB(t.fx.file, nr);
  std::int32_t other = 0;
  QNTblAddBLOB(t.fx.file, other);  // takes nr's slot again
  std::int32_t third = 0;
  QNTblAddBLOB(t.fx.file, third);
  QNTblDeleteBLOB(t.fx.file, third);
  EXPECT_EQ(ErrorOf([&] { QNTblDeleteBLOB(t.fx.file, third + 272); }), qnerrBlobDeleted);
  t.Rollback();
}

TEST_F(Blobs, AFileBlobReadsItsExternalFileAndCannotBeWritten) {
  const std::string ext = folder.File("picture.bin");
  const auto contents = Bytes(1000, 9);
  WriteAll(ext, contents);
  t.Begin();
  std::int32_t nr = 0;
  QNTblAddFileBLOB(t.fx.file, ext, nr);
  std::string name;
  EXPECT_TRUE(QNTblGetFileBLOBName(t.fx.file, nr, name));
  EXPECT_EQ(name, ext);
  int err = 0;
  EXPECT_EQ(QNTblGetBLOBLength(t.fx.file, nr, err), 1000);
  EXPECT_EQ(ReadAllOf(nr, 990, 100), std::vector<std::uint8_t>(contents.begin() + 990, contents.end()));
  std::uint8_t b = 0;
  EXPECT_EQ(ErrorOf([&] { QNTblWriteBLOB(t.fx.file, nr, 0, 1, &b); }), qnerrFileBlobReadOnly);
  std::filesystem::remove(ext);
  std::int32_t got = 0;
  QNTblReadBLOB(t.fx.file, nr, 0, err, got, &b, 1);
  EXPECT_EQ(err, kQnFileBlobOpenError);
  EXPECT_EQ(got, 0);
  // Truncating makes it an ordinary empty BLOB.
  QNTblTruncateBLOB(t.fx.file, nr, 0);
  EXPECT_FALSE(QNTblGetFileBLOBName(t.fx.file, nr, name));
  EXPECT_EQ(QNTblGetBLOBLength(t.fx.file, nr, err), 0);
  t.Commit();
  EXPECT_TRUE(Check().empty()) << Faults(Check());
}

TEST_F(Blobs, RollbackBringsBackTheBlobAsItWas) {
  t.Begin();
  std::int32_t nr = 0;
  QNTblAddBLOB(t.fx.file, nr);
  const auto data = Bytes(9000, 10);
  QNTblWriteBLOB(t.fx.file, nr, 0, 9000, data.data());
  t.Commit();
  t.Begin();
  QNTblTruncateBLOB(t.fx.file, nr, 10);
  QNTblDeleteBLOB(t.fx.file, nr);
  t.Rollback();
  EXPECT_EQ(ReadAllOf(nr), data);
  EXPECT_TRUE(Check().empty()) << Faults(Check());
}

TEST_F(Blobs, RandomWritesAndTruncationsMatchAByteVector) {
  std::mt19937 rng(77);
  std::vector<std::int32_t> nrs(5);
  std::vector<std::vector<std::uint8_t>> model(5);
  t.Begin();
  for (auto& n : nrs) QNTblAddBLOB(t.fx.file, n);
  t.Commit();
  for (int batch = 0; batch < 6; ++batch) {
    t.Begin();
    for (int i = 0; i < 40; ++i) {
      const std::size_t b = rng() % nrs.size();
      auto& m = model[b];
      if (rng() % 4 == 0) {
        const std::int32_t len = m.empty() ? 0 : static_cast<std::int32_t>(rng() % (m.size() + 1));
        QNTblTruncateBLOB(t.fx.file, nrs[b], len);
        m.resize(static_cast<std::size_t>(len));
      } else {
        const std::int32_t off = static_cast<std::int32_t>(rng() % (m.size() + 1));
        const std::int32_t len = static_cast<std::int32_t>(rng() % 9000);
        const auto data = Bytes(static_cast<std::size_t>(len), rng());
        QNTblWriteBLOB(t.fx.file, nrs[b], off, len, data.data());
        if (m.size() < static_cast<std::size_t>(off + len)) m.resize(static_cast<std::size_t>(off + len));
        std::copy(data.begin(), data.end(), m.begin() + off);
      }
    }
    t.Commit();
    for (std::size_t b = 0; b < nrs.size(); ++b) {
      ASSERT_EQ(ReadAllOf(nrs[b]), model[b]) << "BLOB " << b << " after batch " << batch;
      EXPECT_EQ(Segments(nrs[b]), QNBlobSegmentCount(static_cast<std::int32_t>(model[b].size()), 4096));
    }
    const auto faults = Check();
    ASSERT_TRUE(faults.empty()) << Faults(faults);
  }
}

}  // namespace
}  // namespace tw::dbengine::testing
namespace tw::dbengine::testing {
namespace {
// A BLOB of the largest length, written through a cache of eight pages: nothing can be added
// past the limit, its end reads back, and a truncation rolled back leaves it whole.
TEST_F(Blobs, TheLargestBlobRoundTripsThroughASmallCache) {
  t.fx.bm.SetMaxPageCount(8);
  t.Begin();
  std::int32_t nr = 0;
  QNTblAddBLOB(t.fx.file, nr);
  const auto big = Bytes(kQnBlobMaxLength, 4);
  QNTblWriteBLOB(t.fx.file, nr, 0, kQnBlobMaxLength, big.data());
  std::uint8_t one = 1;
  EXPECT_NE(ErrorOf([&] { QNTblWriteBLOB(t.fx.file, nr, kQnBlobMaxLength, 1, &one); }), 0);
  EXPECT_EQ(ErrorOf([&] { QNTblWriteBLOB(t.fx.file, nr, kQnBlobMaxLength, 0, &one); }), 0);
  int err = 0;
  EXPECT_EQ(QNTblGetBLOBLength(t.fx.file, nr, err), kQnBlobMaxLength);
  EXPECT_EQ(ReadAllOf(nr, kQnBlobMaxLength - 5000, 6000), std::vector<std::uint8_t>(big.end() - 5000, big.end()));
  EXPECT_EQ(ReadAllOf(nr, kQnBlobMaxLength, 10).size(), 0u);
  t.Commit();
  const auto faults = Check();
  EXPECT_TRUE(faults.empty()) << Faults(faults);
  t.Begin();
  QNTblTruncateBLOB(t.fx.file, nr, 257);
  t.Rollback();
  EXPECT_EQ(ReadAllOf(nr), big);
  t.Begin();
  QNTblTruncateBLOB(t.fx.file, nr, 257);
  t.Commit();
  EXPECT_EQ(ReadAllOf(nr), std::vector<std::uint8_t>(big.begin(), big.begin() + 257));
  EXPECT_EQ(Segments(nr), 1);
  EXPECT_TRUE(Check().empty());
}

}  // namespace
}  // namespace tw::dbengine::testing
