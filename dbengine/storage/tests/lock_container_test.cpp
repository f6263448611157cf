// Table and record locks.
#include <gtest/gtest.h>

#include "dbengine/storage/lock_container.h"

namespace tw::dbengine {
namespace {

TEST(TableLocks, AWriterNeedsToBeTheOnlyReader) {
  TqnLockContainer c;
  EXPECT_TRUE(c.AddReadLock(5));
  EXPECT_TRUE(c.AddReadLock(9));
  EXPECT_FALSE(c.AddWriteLock(5));
  EXPECT_TRUE(c.RemoveReadLock(9));
  EXPECT_TRUE(c.AddWriteLock(5));
  EXPECT_TRUE(c.AddWriteLock(5));
  EXPECT_FALSE(c.AddReadLock(9));
  EXPECT_FALSE(c.AddWriteLock(9));
  EXPECT_EQ(c.WriteLockState(5), kQnLockedBySelf);
  EXPECT_EQ(c.WriteLockState(9), kQnLockedByOther);
  EXPECT_FALSE(c.RemoveReadLock(5));  // held under the write lock
  EXPECT_FALSE(c.RemoveWriteLock(9));
  EXPECT_TRUE(c.RemoveWriteLock(5));
  EXPECT_EQ(c.WriteLockState(5), kQnNotLocked);
}

TEST(TableLocks, AReadLockDowngradesTheHoldersOwnWriteLock) {
  TqnLockContainer c;
  EXPECT_TRUE(c.AddWriteLock(5));
  EXPECT_TRUE(c.AddReadLock(5));
  EXPECT_EQ(c.WriteLockState(5), kQnNotLocked);
  EXPECT_EQ(c.ReadLockState(5), kQnLockedBySelf);
  EXPECT_EQ(c.ReadLockState(6), kQnLockedByOther);
  EXPECT_TRUE(c.AddReadLock(5));
  EXPECT_EQ(c.ReaderCount(), 1);
  EXPECT_TRUE(c.RemoveReadLock(5));
  EXPECT_FALSE(c.RemoveReadLock(5));
  EXPECT_EQ(c.ReadLockState(6), kQnNotLocked);
}

TEST(TableLocks, ReadersStayOrderedAsSignedIds) {
  TqnLockContainer c;
  for (std::uint32_t id : {7u, 0x80000001u, 3u, 0xFFFFFFFFu, 100u}) EXPECT_TRUE(c.AddReadLock(id));
  for (std::uint32_t id : {7u, 0x80000001u, 3u, 0xFFFFFFFFu, 100u}) EXPECT_EQ(c.ReadLockState(id), kQnLockedBySelf);
  EXPECT_TRUE(c.RemoveReadLock(0xFFFFFFFFu));
  EXPECT_EQ(c.ReadLockState(0xFFFFFFFFu), kQnLockedByOther);
}

TEST(RecordLocks, OneHolderPerReferenceAndOrderKeptAsTheArrayGrows) {
  TqnLockContainer c;
  EXPECT_TRUE(c.AddRecordLock(1, 10, 4128));
  EXPECT_TRUE(c.AddRecordLock(1, 10, 4128));
  EXPECT_EQ(c.RecordLockCount(), 1);
  EXPECT_FALSE(c.AddRecordLock(2, 20, 4128));
  EXPECT_EQ(c.RecordLockState(20, 4128), kQnLockedByOther);
  EXPECT_FALSE(c.RemoveRecordLock(20, 4128));
  for (int i = 100; i > 0; --i) EXPECT_TRUE(c.AddRecordLock(1, i % 2 ? 10u : 20u, i * 8 - 400));
  EXPECT_EQ(c.RecordLockCount(), 101);
  const auto& locks = c.RecordLocks();
  for (std::size_t i = 1; i < locks.size(); ++i) EXPECT_LT(locks[i - 1].RefNr, locks[i].RefNr);
  c.RemoveAllRecordLocks(20);
  EXPECT_EQ(c.RecordLockCount(), 51);
  for (std::size_t i = 1; i < locks.size(); ++i) EXPECT_LT(locks[i - 1].RefNr, locks[i].RefNr);
  EXPECT_TRUE(c.RemoveRecordLock(10, 4128));
  EXPECT_EQ(c.RecordLockState(10, 4128), kQnNotLocked);
}

}  // namespace
}  // namespace tw::dbengine
