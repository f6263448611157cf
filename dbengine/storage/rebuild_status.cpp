// Rebuild statuses.
#include "dbengine/storage/rebuild_status.h"

#include <mutex>

#include "dbengine/base/timer.h"

namespace tw::dbengine {

TqnSrRebuildStatus::TqnSrRebuildStatus(std::uint32_t ClientId, std::uint32_t TotalRecords) : clientId_(ClientId) {
  status_[rsStartTick] = QNTickCount();
  status_[rsLastUpdateTick] = status_[rsStartTick];
  status_[rsTotalRecords] = TotalRecords;
}

void TqnSrRebuildStatus::UpdateRebuildStatus(std::uint32_t RecordsRead, std::uint32_t RecordsWritten,
                                             std::uint32_t StatusCode) {
  std::lock_guard<TqnPadLock> guard(lock_);
  status_[rsRecordsRead] = RecordsRead;
  status_[rsRecordsWritten] = RecordsWritten;
  status_[rsStatusCode] = StatusCode;
  status_[rsLastUpdateTick] = QNTickCount();
  std::uint64_t total = status_[rsTotalRecords];
  std::uint64_t read = RecordsRead;
  if (total == 0) return;
  // Large counts are scaled down first, as the stored percentage has always been computed.
  if (read >= 16777216u) {
    read /= 128;
    total /= 128;
    if (total == 0) return;
  }
  status_[rsPercentDone] = static_cast<std::uint32_t>(read * 100 / total);
}

void TqnSrRebuildStatus::MarkFinished() {
  std::lock_guard<TqnPadLock> guard(lock_);
  status_[rsFinished] = 1;
}

TqnRebuildStatusRecord TqnSrRebuildStatus::Status() const {
  std::lock_guard<TqnPadLock> guard(lock_);
  return status_;
}

TqnSrRebuildStatusList::TqnSrRebuildStatusList() : list_(std::make_unique<TqnList>()) {}
TqnSrRebuildStatusList::~TqnSrRebuildStatusList() = default;

std::uint32_t TqnSrRebuildStatusList::AddRebuild(std::uint32_t ClientId, std::uint32_t TotalRecords) {
  std::lock_guard<TqnPadLock> guard(lock_);
  auto* s = new TqnSrRebuildStatus(ClientId, TotalRecords);
  const std::uint32_t id = s->Id();
  list_->Insert(s);
  return id;
}

TqnSrRebuildStatus* TqnSrRebuildStatusList::Find(std::uint32_t RebuildId) const {
  std::lock_guard<TqnPadLock> guard(lock_);
  const std::int32_t key = static_cast<std::int32_t>(RebuildId);
  const int i = list_->IndexOf(QNKeyOf(key));
  return i < 0 ? nullptr : list_->ItemAs<TqnSrRebuildStatus>(i);
}

bool TqnSrRebuildStatusList::UpdateRebuildStatus(std::uint32_t RebuildId, std::uint32_t RecordsRead,
                                                 std::uint32_t RecordsWritten, std::uint32_t StatusCode) {
  std::lock_guard<TqnPadLock> guard(lock_);
  TqnSrRebuildStatus* s = Find(RebuildId);
  if (s == nullptr) return false;
  s->UpdateRebuildStatus(RecordsRead, RecordsWritten, StatusCode);
  return true;
}

void TqnSrRebuildStatusList::MarkRebuildStatusFinished(std::uint32_t RebuildId) {
  std::lock_guard<TqnPadLock> guard(lock_);
  if (TqnSrRebuildStatus* s = Find(RebuildId)) s->MarkFinished();
}

bool TqnSrRebuildStatusList::GetRebuildStatus(std::uint32_t RebuildId, TqnRebuildStatusRecord& Status) {
  std::lock_guard<TqnPadLock> guard(lock_);
  TqnSrRebuildStatus* s = Find(RebuildId);
  if (s == nullptr) return false;
  Status = s->Status();
  if ((Status[rsFinished] & 0xFF) == 1) list_->Remove(s);
  return true;
}

void TqnSrRebuildStatusList::DeleteClient(std::uint32_t ClientId) {
  std::lock_guard<TqnPadLock> guard(lock_);
  for (int i = list_->Count() - 1; i >= 0; --i)
    if (list_->ItemAs<TqnSrRebuildStatus>(i)->ClientId() == ClientId) list_->DeleteAt(i);
}

int TqnSrRebuildStatusList::Count() const {
  std::lock_guard<TqnPadLock> guard(lock_);
  return list_->Count();
}

}  // namespace tw::dbengine
