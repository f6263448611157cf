// The buffer manager: hits and misses, eviction and the request brackets, dirty pages per
// transaction, commit and rollback, removing a file, and the file record's checks.
#include <gtest/gtest.h>

#include "dbengine/storage/faulty_file_routines.h"
#include "dbengine/storage/tests/storage_test_util.h"

namespace tw::dbengine {
namespace {

using testing::ErrorOf;
using testing::ScratchFolder;
using testing::TableFixture;

// A table of Blocks blocks after block 0 and the dictionary, block N holding N at offset 100.
void MakeBlocks(TableFixture& t, const std::string& base, int blocks) {
  TqnDataDictionary d;
  testing::SmallDictionary(d);
  t.Create(base, d);
  t.Begin(99);
  std::uint8_t* h = t.Header(true);
  for (int i = 0; i < blocks; ++i) {
    std::int32_t b = 0;
    std::uint8_t* p = QNTblHlpGetNewBlock(t.file, h, b);
    QNSetDword(p, 25, b);
  }
  t.bm.Commit(99);
  t.file->TransactionId = 0;
}

// A table of Blocks blocks made in Dir and opened again in T (read-write unless ReadOnly) with a
// cache of Pages pages.
void OpenBlocks(TableFixture& T, const ScratchFolder& Dir, int Blocks, int Pages, bool ReadOnly = false) {
  {
    TableFixture maker;
    MakeBlocks(maker, Dir.File("T"), Blocks);
  }
  T.Open(Dir.File("T"), !ReadOnly);
  T.bm.SetMaxPageCount(Pages);
}

TEST(BufferManager, CachedBlocksAreHitsAndChangesStayInRam) {
  ScratchFolder dir;
  TableFixture t;
  MakeBlocks(t, dir.File("T"), 4);
  const std::uint64_t misses = t.bm.Misses();
  EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, 3, false), 25), 3);
  EXPECT_EQ(t.bm.Misses(), misses);  // still cached from the commit
  t.bm.RemoveFile(t.file);
  EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, 3, false), 25), 3);
  EXPECT_EQ(t.bm.Misses(), misses + 2);  // block 0 and block 3 read again

  t.Begin(5);
  QNSetDword(t.bm.GetBlock(t.file, 3, true), 25, 333);
  EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, 3, false), 25), 333);
  EXPECT_EQ(t.bm.DirtyPageCount(5), 1);
  // Nothing reached the disk before the commit.
  EXPECT_EQ(QNGetDword(testing::ReadAll(dir.File("T.QND")).data() + 3 * 4096, 25), 3);
  t.bm.Commit(5);
  EXPECT_EQ(QNGetDword(testing::ReadAll(dir.File("T.QND")).data() + 3 * 4096, 25), 333);
  EXPECT_FALSE(t.bm.IsTransactionKnown(5));
}

TEST(BufferManager, UpdateOutsideAKnownTransactionIsRefused) {
  ScratchFolder dir;
  TableFixture t;
  MakeBlocks(t, dir.File("T"), 1);
  t.file->TransactionId = 1234;
  EXPECT_EQ(ErrorOf([&] { t.bm.GetBlock(t.file, 2, true); }), 23688);
  EXPECT_EQ(t.bm.DirtyPageCount(1234), 0);
}

TEST(BufferManager, RollbackForgetsChangesAndNewBlocks) {
  ScratchFolder dir;
  TableFixture t;
  MakeBlocks(t, dir.File("T"), 3);
  t.Begin(7);
  QNSetDword(t.bm.GetBlock(t.file, 2, true), 25, -1);
  std::int32_t b = 0;
  QNTblHlpGetNewBlock(t.file, t.Header(true), b);
  EXPECT_EQ(t.Dword(qfhBlocksUsed), 6);
  t.bm.Rollback(7);
  EXPECT_FALSE(t.bm.IsTransactionKnown(7));
  EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, 2, false), 25), 2);
  EXPECT_EQ(t.Dword(qfhBlocksUsed), 5);
  EXPECT_EQ(testing::ReadAll(dir.File("T.QND")).size(), 5u * 4096);
}

TEST(BufferManager, DirtyPagesBelongToTheirOwnTransaction) {
  ScratchFolder dir;
  TableFixture a, b;
  MakeBlocks(a, dir.File("A"), 2);
  MakeBlocks(b, dir.File("B"), 2);
  // Both files share one manager for this test.
  TqnBufferManager& bm = a.bm;
  TqnFileInfo* fb = QNAllocFileInfo(dir.File("B2"), "", &bm);
  b.Close();
  std::filesystem::rename(dir.File("B.QND"), dir.File("B2"));
  QNOpenFile(fb, true, false, false, false);
  a.file->TransactionId = 1;
  fb->TransactionId = 2;
  bm.StartTransaction(1, false, "");
  bm.StartTransaction(2, false, "");
  bm.StartTransaction(2, false, "");  // a second start of a known id changes nothing
  QNSetDword(bm.GetBlock(a.file, 2, true), 25, 20);
  QNSetDword(bm.GetBlock(fb, 2, true), 25, 30);
  QNSetDword(bm.GetBlock(fb, 3, true), 25, 31);
  EXPECT_EQ(bm.DirtyPageCount(1), 1);
  EXPECT_EQ(bm.DirtyPageCount(2), 2);
  bm.Rollback(2);
  bm.Commit(1);
  EXPECT_EQ(QNGetDword(testing::ReadAll(dir.File("A.QND")).data() + 2 * 4096, 25), 20);
  EXPECT_EQ(QNGetDword(testing::ReadAll(dir.File("B2")).data() + 2 * 4096, 25), 2);
  bm.RemoveFile(fb);
  QNFreeFileInfo(fb);
}

TEST(BufferManager, DiscardAndCommitChangesKeepTheTransaction) {
  ScratchFolder dir;
  TableFixture t;
  MakeBlocks(t, dir.File("T"), 2);
  t.Begin(3);
  QNSetDword(t.bm.GetBlock(t.file, 2, true), 25, 77);
  t.bm.DiscardChanges(3);
  EXPECT_TRUE(t.bm.IsTransactionKnown(3));
  EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, 2, false), 25), 2);
  QNSetDword(t.bm.GetBlock(t.file, 2, true), 25, 78);
  t.bm.CommitChanges(3);
  EXPECT_TRUE(t.bm.IsTransactionKnown(3));
  EXPECT_EQ(t.bm.DirtyPageCount(3), 0);
  EXPECT_EQ(QNGetDword(testing::ReadAll(dir.File("T.QND")).data() + 2 * 4096, 25), 78);
  t.bm.Commit(3);
}

TEST(BufferManager, RemoveFileDropsDirtyChanges) {
  ScratchFolder dir;
  TableFixture t;
  MakeBlocks(t, dir.File("T"), 2);
  t.Begin(3);
  QNSetDword(t.bm.GetBlock(t.file, 2, true), 25, 55);
  t.bm.RemoveFile(t.file);
  EXPECT_EQ(t.bm.DirtyPageCount(3), 0);
  EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, 2, false), 25), 2);
  t.bm.Commit(3);
}

TEST(BufferManager, FreeingAFileRecordDropsItsPages) {
  ScratchFolder dir;
  TableFixture t;
  MakeBlocks(t, dir.File("T"), 2);
  const TqnFileInfo* old = t.file;
  EXPECT_TRUE(t.bm.IsCached(old, 2));
  QNFreeFileInfo(t.file);
  EXPECT_FALSE(t.bm.IsCached(old, 2));
  EXPECT_FALSE(t.bm.IsCached(old, 0));
}

TEST(BufferManager, NewBlocksAreZeroedEvenOnReusedPages) {
  ScratchFolder dir;
  TableFixture t;
  MakeBlocks(t, dir.File("T"), 3);
  t.Begin(4);
  for (int b = 2; b <= 4; ++b) std::memset(t.bm.GetBlock(t.file, b, true), 0xCD, 4096);
  t.bm.Rollback(4);  // three recycled pages full of 0xCD
  t.Begin(5);
  std::int32_t b = 0;
  QNTblHlpGetNewBlock(t.file, t.Header(true), b);
  t.bm.Commit(5);
  const auto bytes = testing::ReadAll(dir.File("T.QND"));
  ASSERT_EQ(bytes.size(), 6u * 4096);
  for (std::size_t i = 5 * 4096 + 12; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(BufferManager, EvictionSparesPagesOfTheCurrentRequest) {
  ScratchFolder dir;
  TableFixture t;
  OpenBlocks(t, dir, 40, 10, true);
  t.bm.BeginRequest();
  std::vector<const std::uint8_t*> buffers;
  for (int b = 2; b < 32; ++b) buffers.push_back(t.bm.GetBlock(t.file, b, false));
  // Thirty pages taken in one request all stay valid: none could be reused.
  for (int i = 0; i < 30; ++i) EXPECT_EQ(QNGetDword(buffers[static_cast<std::size_t>(i)], 25), i + 2);
  EXPECT_GE(t.bm.PageCount(), 31);
  t.bm.EndRequest();
  // After the request the cache shrinks back to its limit, keeping the most recently used.
  EXPECT_EQ(t.bm.PageCount(), 10);
  EXPECT_FALSE(t.bm.IsCached(t.file, 2));
  EXPECT_TRUE(t.bm.IsCached(t.file, 31));
  // A new block reuses the least recently used page.
  t.bm.GetBlock(t.file, 35, false);
  EXPECT_EQ(t.bm.PageCount(), 10);
  EXPECT_FALSE(t.bm.IsCached(t.file, 23));
  EXPECT_TRUE(t.bm.IsCached(t.file, 24));
  EXPECT_TRUE(t.bm.IsCached(t.file, 0));  // header pages are never evicted
  // Using a page makes it the newest again.
  t.bm.GetBlock(t.file, 24, false);
  t.bm.GetBlock(t.file, 2, false);
  EXPECT_TRUE(t.bm.IsCached(t.file, 24));
  EXPECT_FALSE(t.bm.IsCached(t.file, 25));
}

// Every search goes through the index blocks, while a data block is seldom read again soon:
// when the cache is full, other blocks are evicted before index blocks as long as they hold
// more than their reserve (here an eighth of the cache: what one read-on brings in), and the
// cache stays within its limit throughout.
TEST(BufferManager, IndexBlocksOutlastOtherBlocksWithinTheLimit) {
  ScratchFolder dir;
  {
    TableFixture maker;
    MakeBlocks(maker, dir.File("T"), 40);
    maker.Begin(7);
    for (int b = 2; b <= 6; ++b) QNSetSignature(maker.bm.GetBlock(maker.file, b, true), kQnSigIndex);
    maker.bm.Commit(7);
  }
  TableFixture t;
  t.Open(dir.File("T"), false);
  t.bm.SetMaxPageCount(16);
  for (int b = 2; b <= 6; ++b) t.bm.GetBlock(t.file, b, false);
  for (int b = 10; b < 40; ++b) {
    t.bm.GetBlock(t.file, b, false);
    ASSERT_LE(t.bm.PageCount(), 16) << b;
  }
  // The index blocks, read before thirty other blocks, are all still there.
  for (int b = 2; b <= 6; ++b) EXPECT_TRUE(t.bm.IsCached(t.file, b)) << b;
  EXPECT_TRUE(t.bm.IsCached(t.file, 39));
  EXPECT_TRUE(t.bm.IsCached(t.file, 30));
  EXPECT_FALSE(t.bm.IsCached(t.file, 29));
  // A smaller limit: other blocks go down to their reserve (one page of six), then the least
  // recently used index block goes.
  t.bm.SetMaxPageCount(6);
  EXPECT_EQ(t.bm.PageCount(), 6);
  EXPECT_FALSE(t.bm.IsCached(t.file, 2));
  for (int b = 3; b <= 6; ++b) EXPECT_TRUE(t.bm.IsCached(t.file, b)) << b;
  EXPECT_TRUE(t.bm.IsCached(t.file, 39));
  EXPECT_FALSE(t.bm.IsCached(t.file, 38));
  // Index blocks never crowd the other blocks out of their reserve: at the reserve another
  // block takes the place of an index block, beyond it that of the oldest other block.
  t.bm.GetBlock(t.file, 12, false);
  EXPECT_EQ(t.bm.PageCount(), 6);
  EXPECT_TRUE(t.bm.IsCached(t.file, 12));
  EXPECT_TRUE(t.bm.IsCached(t.file, 39));
  EXPECT_FALSE(t.bm.IsCached(t.file, 3));
  t.bm.GetBlock(t.file, 13, false);
  EXPECT_EQ(t.bm.PageCount(), 6);
  EXPECT_FALSE(t.bm.IsCached(t.file, 39));
  for (int b = 4; b <= 6; ++b) EXPECT_TRUE(t.bm.IsCached(t.file, b)) << b;
}

// A cached block that becomes an index block (marked for update after it was read, then
// signed and committed) is kept as one from its next use on.
TEST(BufferManager, ABlockSignedAsAnIndexBlockInTheCacheIsKeptAsOne) {
  ScratchFolder dir;
  TableFixture t;
  OpenBlocks(t, dir, 40, 16);
  for (std::int32_t b = 2; b <= 4; ++b) {
    TqnBufferManager::TRequest r(t.bm);
    t.bm.GetBlock(t.file, b, false);
    t.bm.GetBlock(t.file, b, false);  // used again while clean
  }
  t.Begin(5);
  for (std::int32_t b = 2; b <= 4; ++b) {
    TqnBufferManager::TRequest r(t.bm);
    std::uint8_t* p = t.bm.GetBlock(t.file, b, false);
    if (b == 2)
      t.bm.DirtyBlock(t.file, b);
    else
      t.bm.DirtyRange(t.file, b, 0, 4);
    if (b != 4) QNSetSignature(p, kQnSigIndex);
  }
  t.bm.Commit(5);
  // Read once more, and then thirty other blocks.
  for (std::int32_t b = 2; b <= 4; ++b) {
    TqnBufferManager::TRequest r(t.bm);
    t.bm.GetBlock(t.file, b, false);
  }
  for (std::int32_t b = 10; b < 40; ++b) {
    TqnBufferManager::TRequest r(t.bm);
    t.bm.GetBlock(t.file, b, false);
  }
  EXPECT_TRUE(t.bm.IsCached(t.file, 2));
  EXPECT_TRUE(t.bm.IsCached(t.file, 3));
  EXPECT_FALSE(t.bm.IsCached(t.file, 4));
}

TEST(BufferManager, NestedRequestsProtectTheOuterRequestsPages) {
  ScratchFolder dir;
  TableFixture t;
  OpenBlocks(t, dir, 20, 4, true);
  t.bm.BeginRequest();
  const std::uint8_t* outer = t.bm.GetBlock(t.file, 2, false);
  t.bm.BeginRequest();  // nested: must not make block 2 evictable
  for (int b = 3; b < 10; ++b) t.bm.GetBlock(t.file, b, false);
  t.bm.EndRequest();    // nested exit: must not lift the threshold for the outer request
  for (int b = 10; b < 20; ++b) t.bm.GetBlock(t.file, b, false);
  EXPECT_TRUE(t.bm.IsCached(t.file, 2));
  EXPECT_EQ(QNGetDword(outer, 25), 2);
  EXPECT_EQ(t.bm.RequestDepth(), 1);
  t.bm.EndRequest();
  EXPECT_EQ(t.bm.RequestDepth(), 0);
  t.bm.EndRequest();  // an unmatched end does nothing
  EXPECT_EQ(t.bm.RequestDepth(), 0);
}

TEST(BufferManager, ATransactionLargerThanTheCacheStaysWithinTheLimit) {
  ScratchFolder dir;
  TableFixture t;
  MakeBlocks(t, dir.File("T"), 12);
  t.bm.SetMaxPageCount(3);
  EXPECT_LE(t.bm.PageCount(), 3);
  t.bm.ResetPeakPageCount();
  t.Begin(8);
  for (int b = 2; b < 8; ++b) QNSetDword(t.bm.GetBlock(t.file, b, true), 25, 100 + b);
  for (int b = 8; b < 14; ++b) t.bm.GetBlock(t.file, b, false);
  // Changed blocks went to disk early to make room, and come back changed.
  EXPECT_GT(t.bm.Spills(), 0u);
  EXPECT_LE(t.bm.PeakPageCount(), 3);
  for (int b = 2; b < 8; ++b) EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, b, false), 25), 100 + b);
  EXPECT_LE(t.bm.PeakPageCount(), 3);
  // Rollback puts back what the disk held before the transaction.
  t.bm.Rollback(8);
  auto bytes = testing::ReadAll(dir.File("T.QND"));
  for (int b = 2; b < 8; ++b) EXPECT_EQ(QNGetDword(bytes.data() + b * 4096, 25), b);
  for (int b = 2; b < 8; ++b) EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, b, false), 25), b);
  // The same changes committed are all on disk.
  t.Begin(9);
  for (int b = 2; b < 8; ++b) QNSetDword(t.bm.GetBlock(t.file, b, true), 25, 200 + b);
  t.bm.Commit(9);
  bytes = testing::ReadAll(dir.File("T.QND"));
  for (int b = 2; b < 8; ++b) EXPECT_EQ(QNGetDword(bytes.data() + b * 4096, 25), 200 + b);
  EXPECT_LE(t.bm.PeakPageCount(), 3);
}

// A before-image that could not be appended (the disk full) does not count: the block's next
// change journals it, so that the rollback of a transaction larger than the cache puts back
// every block it wrote early.
TEST(BufferManager, ABeforeImageThatCouldNotBeAppendedIsAppendedAgain) {
  for (const bool failSafe : {true, false}) {
    ScratchFolder dir;
    TqnFaultyFileRoutines faulty;
    TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
    TableFixture t;
    MakeBlocks(t, dir.File("T"), 12);
    QNInstallFileAccessTable(previous);
    t.bm.SetMaxPageCount(3);
    t.Begin(8, failSafe, dir.File("J"));
    if (!failSafe) {
      // A normal transaction takes before-images once it has written early.
      for (int b = 8; b < 14; ++b) {
        TqnBufferManager::TRequest r(t.bm);
        QNSetDword(t.bm.GetBlock(t.file, b, true), 25, 100 + b);
      }
      ASSERT_GT(t.bm.Spills(), 0u);
    }
    faulty.Arm(TqnFaultyFileRoutines::TFault::DiskFull, 1);
    {
      TqnBufferManager::TRequest r(t.bm);
      EXPECT_THROW(t.bm.GetBlock(t.file, 2, true), EqnException) << failSafe;
    }
    faulty.Disarm();
    for (int b = 2; b < 8; ++b) {
      TqnBufferManager::TRequest r(t.bm);
      QNSetDword(t.bm.GetBlock(t.file, b, true), 25, 100 + b);
    }
    for (int b = 8; b < 14; ++b) {
      TqnBufferManager::TRequest r(t.bm);
      t.bm.GetBlock(t.file, b, false);
    }
    EXPECT_GT(t.bm.Spills(), 1u);
    t.bm.Rollback(8);
    const auto bytes = testing::ReadAll(dir.File("T.QND"));
    for (int b = 2; b < 14; ++b) EXPECT_EQ(QNGetDword(bytes.data() + b * 4096, 25), b) << failSafe << " block " << b;
  }
}

// A savepoint puts back what a request changed: a block changed earlier in the transaction
// gets its bytes from before the request back, a block the request changed first and a block
// it appended are dropped; the transaction's earlier changes stay and are committed.
TEST(BufferManager, ASavepointPutsBackWhatTheRequestChanged) {
  ScratchFolder dir;
  TableFixture t;
  MakeBlocks(t, dir.File("T"), 4);
  t.Begin(8);
  {
    TqnBufferManager::TRequest r(t.bm);
    QNSetDword(t.bm.GetBlock(t.file, 2, true), 25, 102);
  }
  const std::int32_t used = t.Dword(qfhBlocksUsed);
  {
    TqnBufferManager::TRequest r(t.bm);
    t.bm.BeginSavepoint();
    QNSetDword(t.bm.GetBlock(t.file, 2, true), 25, 202);
    QNSetDword(t.bm.GetBlock(t.file, 3, true), 25, 203);
    std::int32_t n = 0;
    QNSetDword(QNTblHlpGetNewBlock(t.file, t.bm.GetFileHeader(t.file, true), n), 25, 999);
    t.bm.BeginSavepoint();  // an inner one decides nothing
    t.bm.RollbackToSavepoint();
    EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, 2, false), 25), 202);
    t.bm.RollbackToSavepoint();
  }
  EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, 2, false), 25), 102);
  EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, 3, false), 25), 3);
  EXPECT_EQ(t.Dword(qfhBlocksUsed), used);
  {
    TqnBufferManager::TRequest r(t.bm);
    t.bm.BeginSavepoint();
    QNSetDword(t.bm.GetBlock(t.file, 4, true), 25, 104);
    t.bm.EndSavepoint();
  }
  t.bm.Commit(8);
  const auto bytes = testing::ReadAll(dir.File("T.QND"));
  EXPECT_EQ(bytes.size(), static_cast<std::size_t>(used) * 4096);
  EXPECT_EQ(QNGetDword(bytes.data() + 2 * 4096, 25), 102);
  EXPECT_EQ(QNGetDword(bytes.data() + 3 * 4096, 25), 3);
  EXPECT_EQ(QNGetDword(bytes.data() + 4 * 4096, 25), 104);
}

// Changes in parts (DirtyRange), moves (DirtyMove), whole blocks and block 0's words, in random
// order over blocks already changed in the transaction: a rolled-back savepoint leaves every
// byte as it was, and a kept one every change.
TEST(BufferManager, ASavepointOfPartsPutsBackEveryByte) {
  ScratchFolder dir;
  TableFixture t;
  MakeBlocks(t, dir.File("T"), 6);
  t.Begin(8);
  const auto snapshot = [&t] {
    std::vector<std::vector<std::uint8_t>> s;
    TqnBufferManager::TRequest r(t.bm);
    const std::uint8_t* h = t.bm.GetFileHeader(t.file, false);
    s.emplace_back(h, h + kQnFileHeaderBytes);
    for (std::int32_t b = 1; b <= 6; ++b) {
      const std::uint8_t* p = t.bm.GetBlock(t.file, b, false);
      s.emplace_back(p, p + 4096);
    }
    return s;
  };
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (int round = 0; round < 40; ++round) {
    const bool keep = round % 3 == 0;
    {
      // Every block is dirty already in the transaction, as in a bulk insert.
      TqnBufferManager::TRequest r(t.bm);
      for (std::int32_t b = 1; b <= 6; ++b) QNSetDword(t.bm.GetBlock(t.file, b, true), 30, round);
    }
    const auto before = snapshot();
    {
      TqnBufferManager::TRequest r(t.bm);
      t.bm.BeginSavepoint();
      for (int step = 0; step < 12; ++step) {
        const auto b = static_cast<std::int32_t>(1 + next(6));
        switch (next(4)) {
          case 3: {
            // Entries moved within the block, then the places they left written (DirtyMove).
            const auto from = static_cast<std::int32_t>(32 + next(2000));
            const auto to = static_cast<std::int32_t>(32 + next(2000));
            const auto len = static_cast<std::int32_t>(next(2000));
            std::uint8_t* p = t.bm.GetBlock(t.file, b, false);
            t.bm.DirtyMove(t.file, b, from, len, to);
            std::memmove(p + to, p + from, static_cast<std::size_t>(len));
            const std::int32_t lo = to > from ? from : to + len;
            const std::int32_t hi = to > from ? to : from + len;
            for (std::int32_t i = lo; i < hi; ++i) p[i] = static_cast<std::uint8_t>(next(256));
            break;
          }
          case 0: {
            const auto off = static_cast<std::int32_t>(32 + next(4000));
            const auto len = static_cast<std::int32_t>(next(4096 - off + 1));
            std::uint8_t* p = t.bm.GetBlock(t.file, b, false);
            t.bm.DirtyRange(t.file, b, off, len);
            for (std::int32_t i = 0; i < len; ++i) p[off + i] = static_cast<std::uint8_t>(next(256));
            break;
          }
          case 1: {
            std::uint8_t* p = t.bm.GetBlock(t.file, b, true);
            for (int i = 0; i < 64; ++i) p[32 + next(4064)] = static_cast<std::uint8_t>(next(256));
            break;
          }
          default:
            QNSetDword(t.bm.GetFileHeader(t.file, true), qfhRecordCount, static_cast<std::int32_t>(next(1000)));
        }
      }
      if (keep)
        t.bm.EndSavepoint();
      else
        t.bm.RollbackToSavepoint();
    }
    const auto after = snapshot();
    if (keep)
      EXPECT_NE(after, before) << round;
    else
      EXPECT_EQ(after, before) << round;
  }
  t.bm.Rollback(8);
}

// A scan in physical order reads the blocks that follow with the one missed, into pages that
// need no writing: blocks changed in RAM (cached, newer than the disk) are never read over, the
// blocks read on are hits afterwards, and the cache stays within its limit between requests.
TEST(BufferManager, AScanReadsOnButNeverOverAChangedBlock) {
  ScratchFolder dir;
  TableFixture t;
  OpenBlocks(t, dir, 200, 64);
  t.Begin(5);
  {
    TqnBufferManager::TRequest r(t.bm);
    QNSetDword(t.bm.GetBlock(t.file, 6, true), 25, 606);
  }
  for (int round = 0; round < 2; ++round) {
    const std::uint64_t misses = t.bm.Misses();
    const std::uint64_t hits = t.bm.Hits();
    for (std::int32_t b = 2; b <= 200; ++b) {
      TqnBufferManager::TRequest r(t.bm);
      EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, b, false), 25), b == 6 ? 606 : b) << b;
      EXPECT_LE(t.bm.PageCount(), 64 + 8);
    }
    EXPECT_LE(t.bm.PageCount(), 64);
    // Every block is read from the file once (block 6 not while it is cached, in the first
    // round at least), most of them on with another, which are hits then.
    EXPECT_GE(t.bm.Misses() - misses, 198u) << round;
    EXPECT_LE(t.bm.Misses() - misses, 199u) << round;
    EXPECT_GT(t.bm.Hits() - hits, 150u) << round;
  }
  t.bm.Rollback(5);
  TqnBufferManager::TRequest r(t.bm);
  EXPECT_EQ(QNGetDword(t.bm.GetBlock(t.file, 6, false), 25), 6);
}

// A block read through a hint is the block as the cache or the file holds it now, whatever
// became of the page the hint noted: given to another block, dropped with a rollback or with
// its file's pages, freed when the cache shrank.  A fitting hint spares the look-up only.
TEST(BufferManager, AHintNeverOutlivesItsPage) {
  ScratchFolder dir;
  TableFixture t;
  OpenBlocks(t, dir, 40, 8);
  TqnBlockHint hint;
  const auto read = [&](std::int32_t b) {
    TqnBufferManager::TRequest r(t.bm);
    return QNGetDword(t.bm.GetBlockHinted(t.file, b, hint), 25);
  };
  EXPECT_EQ(read(3), 3);
  const std::uint64_t hits = t.bm.Hits(), misses = t.bm.Misses();
  EXPECT_EQ(read(3), 3);
  EXPECT_EQ(t.bm.Hits(), hits + 1);
  EXPECT_EQ(t.bm.Misses(), misses);
  // Another block through the same hint, and back.
  EXPECT_EQ(read(4), 4);
  EXPECT_EQ(read(3), 3);
  // The page given to other blocks: the block is read again.
  for (std::int32_t b = 10; b < 30; ++b) t.bm.GetBlock(t.file, b, false);
  ASSERT_FALSE(t.bm.IsCached(t.file, 3));
  EXPECT_EQ(read(3), 3);
  EXPECT_EQ(read(12), 12);
  // Changed and rolled back: the page goes with the change, the block is what the file holds.
  t.Begin(5);
  {
    TqnBufferManager::TRequest r(t.bm);
    QNSetDword(t.bm.GetBlock(t.file, 12, true), 25, 1212);
  }
  EXPECT_EQ(read(12), 1212);
  t.bm.Rollback(5);
  EXPECT_EQ(read(12), 12);
  // Committed: the hint's page holds the new contents.
  t.Begin(6);
  {
    TqnBufferManager::TRequest r(t.bm);
    QNSetDword(t.bm.GetBlock(t.file, 12, true), 25, 1313);
  }
  t.bm.Commit(6);
  EXPECT_EQ(read(12), 1313);
  // The file's pages dropped, and the block changed on disk behind them.
  t.bm.RemoveFile(t.file);
  std::vector<std::uint8_t> bytes = testing::ReadAll(dir.File("T.QND"));
  QNSetDword(bytes.data() + 12 * 4096, 25, 1414);
  testing::WriteAll(dir.File("T.QND"), bytes);
  EXPECT_EQ(read(12), 1414);
  // The cache shrunk to one page and grown again: the noted page was freed.
  t.bm.SetMaxPageCount(1);
  t.bm.SetMaxPageCount(8);
  EXPECT_EQ(read(12), 1414);
  EXPECT_LE(t.bm.PageCount(), 8);
  // The page given to the block of the same number of another file of the manager.
  ScratchFolder dir2;
  {
    TableFixture maker;
    MakeBlocks(maker, dir2.File("U"), 40);
  }
  bytes = testing::ReadAll(dir2.File("U.QND"));
  QNSetDword(bytes.data() + 12 * 4096, 25, -12);
  testing::WriteAll(dir2.File("U.QND"), bytes);
  TqnFileInfo* other = QNAllocFileInfo(dir2.File("U"), "QND", &t.bm);
  QNOpenFile(other, false, false, false, false);
  // Room for the two headers and one block: the page of the first file's block 12 (noted
  // by the hint) is taken over by the other file's block 12.
  t.bm.SetMaxPageCount(3);
  t.bm.GetFileHeader(other, false);
  EXPECT_EQ(read(12), 1414);
  {
    TqnBufferManager::TRequest r(t.bm);
    EXPECT_EQ(QNGetDword(t.bm.GetBlock(other, 12, false), 25), -12);
  }
  ASSERT_FALSE(t.bm.IsCached(t.file, 12));
  EXPECT_EQ(read(12), 1414);
  TqnBlockHint otherHint;
  {
    TqnBufferManager::TRequest r(t.bm);
    EXPECT_EQ(QNGetDword(t.bm.GetBlockHinted(other, 12, otherHint), 25), -12);
  }
  EXPECT_EQ(read(12), 1414);
  t.bm.RemoveFile(other);
  QNFreeFileInfo(other);
}

TEST(FileRecord, ChecksAndShortReads) {
  ScratchFolder dir;
  TableFixture t;
  MakeBlocks(t, dir.File("T"), 2);
  // Cut the file in the middle of block 3.
  auto bytes = testing::ReadAll(dir.File("T.QND"));
  bytes.resize(3 * 4096 + 100);
  t.Close();
  testing::WriteAll(dir.File("T.QND"), bytes);
  t.Open(dir.File("T"));
  try {
    t.bm.GetBlock(t.file, 3, false);
    FAIL() << "short read not reported";
  } catch (const EqnException& e) {
    EXPECT_EQ(e.ErrorCode, 23543);
    EXPECT_NE(e.Message().find("T.QND"), std::string::npos);
    EXPECT_NE(e.Message().find("4096"), std::string::npos);
  }
  EXPECT_FALSE(t.bm.IsCached(t.file, 3));
  EXPECT_EQ(ErrorOf([&] { t.bm.GetBlock(t.file, -1, false); }), 23585);
  TqnFileInfo* closed = QNAllocFileInfo(dir.File("X"), "", nullptr);
  EXPECT_EQ(ErrorOf([&] { QNFlushFile(closed); }), 23536);
  EXPECT_EQ(ErrorOf([&] { QNFlushFile(nullptr); }), 23536);
  QNFreeFileInfo(closed);
  EXPECT_EQ(closed, nullptr);
}

TEST(FileRecord, LargeOffsetsAreSixtyFourBit) {
  ScratchFolder dir;
  TqnFileInfo* f = QNAllocFileInfo(dir.File("BIG"), "", nullptr);
  QNOpenFile(f, true, false, true, false);
  const std::int64_t far = (std::int64_t(1) << 32) + 12;  // beyond 32 bits, sparse
  const char text[] = "far";
  QNWriteFileExactAt(f, far, 3, text);
  char back[3] = {};
  QNReadFileExactAt(f, far, 3, back);
  EXPECT_EQ(std::string(back, 3), "far");
  EXPECT_EQ(QNPositionFileEOF(f), far + 3);
  QNTruncateFile(f, 10);
  EXPECT_EQ(QNFileSize(f), 10);
  QNFreeFileInfo(f);
}

}  // namespace
}  // namespace tw::dbengine
