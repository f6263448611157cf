// Table and record locks.
#include "dbengine/storage/lock_container.h"

#include <algorithm>

namespace tw::dbengine {

namespace {

constexpr std::size_t kReaderStep = 32;
constexpr std::size_t kRecordStep = 64;

template <typename V>
void GrowFor(V& v, std::size_t step) {
  if (v.size() == v.capacity()) v.reserve(v.capacity() + step);
}

}  // namespace

std::size_t TqnLockContainer::FindReader(std::uint32_t Holder, bool& Found) const {
  const auto key = static_cast<std::int32_t>(Holder);
  const auto it = std::lower_bound(readers_.begin(), readers_.end(), key,
                                   [](std::uint32_t a, std::int32_t k) { return static_cast<std::int32_t>(a) < k; });
  Found = it != readers_.end() && *it == Holder;
  return static_cast<std::size_t>(it - readers_.begin());
}

std::size_t TqnLockContainer::FindRecord(std::int32_t RefNr, bool& Found) const {
  const auto it = std::lower_bound(records_.begin(), records_.end(), RefNr,
                                   [](const RecordLock& a, std::int32_t k) { return a.RefNr < k; });
  Found = it != records_.end() && it->RefNr == RefNr;
  return static_cast<std::size_t>(it - records_.begin());
}

bool TqnLockContainer::AddReadLock(std::uint32_t Holder) {
  if (writeLocked_) {
    if (writer_ != Holder) return false;
    writeLocked_ = false;
    writer_ = 0;
  }
  bool found = false;
  const std::size_t at = FindReader(Holder, found);
  if (!found) {
    GrowFor(readers_, kReaderStep);
    readers_.insert(readers_.begin() + static_cast<std::ptrdiff_t>(at), Holder);
  }
  return true;
}

bool TqnLockContainer::AddWriteLock(std::uint32_t Holder) {
  if (writeLocked_) return writer_ == Holder;
  for (std::uint32_t r : readers_)
    if (r != Holder) return false;
  writeLocked_ = true;
  writer_ = Holder;
  return true;
}

bool TqnLockContainer::AddRecordLock(std::uint32_t Owner, std::uint32_t Holder, std::int32_t RefNr) {
  bool found = false;
  const std::size_t at = FindRecord(RefNr, found);
  if (found) return records_[at].Holder == Holder;
  GrowFor(records_, kRecordStep);
  records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(at), RecordLock{Owner, Holder, RefNr});
  return true;
}

bool TqnLockContainer::RemoveReadLock(std::uint32_t Holder) {
  if (writeLocked_ && writer_ == Holder) return false;
  bool found = false;
  const std::size_t at = FindReader(Holder, found);
  if (!found) return false;
  readers_.erase(readers_.begin() + static_cast<std::ptrdiff_t>(at));
  return true;
}

bool TqnLockContainer::RemoveWriteLock(std::uint32_t Holder) {
  if (!writeLocked_ || writer_ != Holder) return false;
  writeLocked_ = false;
  writer_ = 0;
  return true;
}

bool TqnLockContainer::RemoveRecordLock(std::uint32_t Holder, std::int32_t RefNr) {
  bool found = false;
  const std::size_t at = FindRecord(RefNr, found);
  if (!found || records_[at].Holder != Holder) return false;
  records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(at));
  return true;
}

void TqnLockContainer::RemoveAllRecordLocks(std::uint32_t Holder) {
  records_.erase(std::remove_if(records_.begin(), records_.end(), [Holder](const RecordLock& r) { return r.Holder == Holder; }),
                 records_.end());
}

int TqnLockContainer::ReadLockState(std::uint32_t Holder) const {
  if (readers_.empty()) return kQnNotLocked;
  bool found = false;
  FindReader(Holder, found);
  return found ? kQnLockedBySelf : kQnLockedByOther;
}

int TqnLockContainer::WriteLockState(std::uint32_t Holder) const {
  if (!writeLocked_) return kQnNotLocked;
  return writer_ == Holder ? kQnLockedBySelf : kQnLockedByOther;
}

int TqnLockContainer::RecordLockState(std::uint32_t Holder, std::int32_t RefNr) const {
  bool found = false;
  const std::size_t at = FindRecord(RefNr, found);
  if (!found) return kQnNotLocked;
  return records_[at].Holder == Holder ? kQnLockedBySelf : kQnLockedByOther;
}

}  // namespace tw::dbengine
