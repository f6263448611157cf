// Who holds the read locks, the write lock and the record locks of one open table.  It only
// records and answers; waiting and retrying belong to the caller.  Holders are 32-bit ids.
#pragma once

#include <cstdint>
#include <vector>

#include "dbengine/base/qnobject.h"

namespace tw::dbengine {

// Answers of the lock-state queries.
constexpr int kQnNotLocked = 0;
constexpr int kQnLockedBySelf = 1;
constexpr int kQnLockedByOther = 2;

class TqnLockContainer : public TqnObject {
  TW_CLASS(TqnLockContainer, TqnObject)
 public:
  struct RecordLock {
    std::uint32_t Owner = 0;
    std::uint32_t Holder = 0;
    std::int32_t RefNr = 0;
  };

  TqnLockContainer() = default;

  // False when another holder has the write lock; a holder's own write lock is downgraded.
  bool AddReadLock(std::uint32_t Holder);
  // False when another holder has it, or another holder reads.
  bool AddWriteLock(std::uint32_t Holder);
  bool AddRecordLock(std::uint32_t Owner, std::uint32_t Holder, std::int32_t RefNr);
  // False while Holder has the write lock, and when it was no reader.
  bool RemoveReadLock(std::uint32_t Holder);
  bool RemoveWriteLock(std::uint32_t Holder);
  bool RemoveRecordLock(std::uint32_t Holder, std::int32_t RefNr);
  void RemoveAllRecordLocks(std::uint32_t Holder);

  int ReadLockState(std::uint32_t Holder) const;
  int WriteLockState(std::uint32_t Holder) const;
  int RecordLockState(std::uint32_t Holder, std::int32_t RefNr) const;

  int ReaderCount() const { return static_cast<int>(readers_.size()); }
  int RecordLockCount() const { return static_cast<int>(records_.size()); }
  const std::vector<RecordLock>& RecordLocks() const { return records_; }

 private:
  // Index of Holder among the readers (ordered as signed values), or where it belongs.
  std::size_t FindReader(std::uint32_t Holder, bool& Found) const;
  std::size_t FindRecord(std::int32_t RefNr, bool& Found) const;

  bool writeLocked_ = false;
  std::uint32_t writer_ = 0;
  std::vector<std::uint32_t> readers_;
  std::vector<RecordLock> records_;
};

}  // namespace tw::dbengine
