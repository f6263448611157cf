// Progress of the restructures, packs and reindexes that run on worker threads of the server,
// for the clients that started them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "dbengine/base/padlock.h"
#include "dbengine/base/qnlist.h"

namespace tw::dbengine {

// The status record, as copied to the requester.
enum : int {
  rsStartTick = 0,
  rsLastUpdateTick = 1,
  rsTotalRecords = 2,
  rsRecordsRead = 3,
  rsRecordsWritten = 4,
  rsPercentDone = 5,
  rsStatusCode = 6,
  rsFinished = 7,
};
using TqnRebuildStatusRecord = std::array<std::uint32_t, 8>;

class TqnSrRebuildStatus : public TqnSelfListItem {
  TW_CLASS(TqnSrRebuildStatus, TqnSelfListItem)
 public:
  TqnSrRebuildStatus(std::uint32_t ClientId, std::uint32_t TotalRecords);

  void UpdateRebuildStatus(std::uint32_t RecordsRead, std::uint32_t RecordsWritten, std::uint32_t StatusCode);
  void MarkFinished();
  TqnRebuildStatusRecord Status() const;
  std::uint32_t ClientId() const { return clientId_; }

 private:
  mutable TqnPadLock lock_;
  TqnRebuildStatusRecord status_{};
  std::uint32_t clientId_;
};

class TqnSrRebuildStatusList : public TqnObject {
  TW_CLASS(TqnSrRebuildStatusList, TqnObject)
 public:
  TqnSrRebuildStatusList();
  ~TqnSrRebuildStatusList() override;

  // A new status; its id is the rebuild id.
  std::uint32_t AddRebuild(std::uint32_t ClientId, std::uint32_t TotalRecords);
  // The status of a rebuild id, nullptr when unknown.  Valid until the status is reported
  // finished or its client is deleted.
  TqnSrRebuildStatus* Find(std::uint32_t RebuildId) const;
  bool UpdateRebuildStatus(std::uint32_t RebuildId, std::uint32_t RecordsRead, std::uint32_t RecordsWritten,
                           std::uint32_t StatusCode);
  void MarkRebuildStatusFinished(std::uint32_t RebuildId);
  // False for an unknown id; a finished status is reported once and then removed.
  bool GetRebuildStatus(std::uint32_t RebuildId, TqnRebuildStatusRecord& Status);
  void DeleteClient(std::uint32_t ClientId);
  int Count() const;

 private:
  std::unique_ptr<TqnList> list_;
  mutable TqnPadLock lock_;
};

}  // namespace tw::dbengine
