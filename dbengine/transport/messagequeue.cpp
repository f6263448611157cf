#include "dbengine/transport/messagequeue.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "dbengine/base/errors.h"
#include "dbengine/base/stringres.h"
#include "dbengine/base/timer.h"
#include "dbengine/transport/commswindow.h"
#include "dbengine/transport/message.h"
#include "platform/rtl/tickclock.h"

namespace tw::dbengine {
namespace {
constexpr UINT_PTR kRetryTimerId = 1;

// The queues whose retry timer runs on their handler window, by timer id.  The timer belongs to
// the handler window because that is the window the waiting client pumps in the in-process
// setup: a timer of a window of the queue's own would never fire during that wait.
// Both last the whole run (never destroyed): a queue freed during the program's ending still
// finds them.
std::mutex& RetryQueuesLock() {
  static auto* m = new std::mutex;
  return *m;
}
std::map<UINT_PTR, TqnDataMessageQueue*>& RetryQueues() {
  static auto* q = new std::map<UINT_PTR, TqnDataMessageQueue*>;
  return *q;
}
UINT_PTR NextRetryTimerId() {
  static UINT_PTR next = 0x5E00;
  return next++;
}

void RetryTimerProc(HWND, UINT, UINT_PTR Id, DWORD) {
  TqnDataMessageQueue* q = nullptr;
  {
    std::lock_guard<std::mutex> g(RetryQueuesLock());
    auto it = RetryQueues().find(Id);
    if (it != RetryQueues().end()) q = it->second;
  }
  if (q) q->RetryTimerTick();
}
}  // namespace

TqnDataMessageQueue::TqnDataMessageQueue() {
  std::lock_guard<std::mutex> g(RetryQueuesLock());
  FRetryTimerId = NextRetryTimerId();
  RetryQueues()[FRetryTimerId] = this;
}

TqnDataMessageQueue::~TqnDataMessageQueue() {
  EnableRetryTimer(false);
  {
    std::lock_guard<std::mutex> g(RetryQueuesLock());
    RetryQueues().erase(FRetryTimerId);
  }
  QNDestroyCommsWindow(FTimerWindow);
  for (auto* list : {&FDeferred, &FReady, &FIncomplete}) {
    for (TqnDataMessage* m : *list) delete m;
    list->clear();
  }
  for (TqnDataMessage* m : FSpare) delete m;
}

TqnDataMessage* TqnDataMessageQueue::NewEntry() {
  if (FSpare.empty()) return new TqnDataMessage;
  TqnDataMessage* m = FSpare.back();
  FSpare.pop_back();
  return m;
}

void TqnDataMessageQueue::FreeEntry(TqnDataMessage* M) {
  // A few freed entries are kept with their data buffers for the next messages: a request and
  // its reply pass through the queue for every call, so this spares an allocation of each.
  if (FSpare.size() >= kSpareEntries || M->Data.capacity() > kSpareDataCapacity) {
    delete M;
    return;
  }
  M->Data.clear();
  M->Received = 0;
  M->MessageID = 0;
  M->ClientID = 0;
  M->Arrival = 0;
  M->Deadline = 0;
  M->ResultCode = 0;
  M->DataLength = 0;
  M->DataIsStream = false;
  M->CanRetry = false;
  M->RetryRequested = false;
  M->InUse = false;
  M->RetryState.clear();
  FSpare.push_back(M);
}

void TqnDataMessageQueue::AppendReady(TqnDataMessage* M) {
  FReady.push_back(M);
  ++FReadyCount;
}

void TqnDataMessageQueue::AddMessage(std::uint32_t MessageID, std::uint32_t ClientID, std::uint16_t TimeOut,
                                     std::uint32_t ResultCode, const std::uint8_t* Data,
                                     std::uint32_t TotalDataLength, std::uint32_t PartLength, bool IsStream) {
  if (TotalDataLength > kQnMaxMessageData)
    QNRaiseErrorFmt<EqnCommsException>(qnGeneralStrings(), qnerrInvalidParameter,
                                       {std::string("AddMessage"), 7});
  TqnPadLockGuard g(FPadLock);
  RequeueDeferred();
  TqnDataMessage* m = NewEntry();
  try {
    const std::uint32_t take = Data ? std::min(PartLength, TotalDataLength) : 0;
    if (take) m->Data.assign(Data, Data + take);
    m->MessageID = MessageID;
    m->ClientID = ClientID;
    m->Arrival = QNTickCount();
    m->Deadline = m->Arrival + TimeOut;
    m->ResultCode = ResultCode;
    m->DataLength = TotalDataLength;
    m->DataIsStream = IsStream;
    m->CanRetry = TimeOut != 0;
    m->Received = take;
  } catch (...) {
    FreeEntry(m);
    throw;
  }
  // The unfinished copy goes also when the message comes again whole in one part.
  auto stale = std::find_if(FIncomplete.begin(), FIncomplete.end(), [&](const TqnDataMessage* e) {
    return e->MessageID == MessageID && e->ClientID == ClientID;
  });
  if (stale != FIncomplete.end()) {
    FIncompleteBytes -= (*stale)->Data.capacity();
    delete *stale;
    FIncomplete.erase(stale);
  }
  if (m->Received >= m->DataLength) {
    AppendReady(m);
    return;
  }
  FIncomplete.push_front(m);
  FIncompleteBytes += m->Data.capacity();
}

int TqnDataMessageQueue::DropIncomplete(std::uint32_t ClientID) { return DropIncomplete(ClientID, nullptr); }

int TqnDataMessageQueue::DropIncomplete(std::uint32_t ClientID, std::uint32_t MessageID) {
  return DropIncomplete(ClientID, &MessageID);
}

int TqnDataMessageQueue::DropIncomplete(std::uint32_t ClientID, const std::uint32_t* MessageID) {
  TqnPadLockGuard g(FPadLock);
  int dropped = 0;
  for (auto it = FIncomplete.begin(); it != FIncomplete.end();) {
    if ((*it)->ClientID != ClientID || (MessageID && (*it)->MessageID != *MessageID)) {
      ++it;
      continue;
    }
    FIncompleteBytes -= (*it)->Data.capacity();
    delete *it;
    it = FIncomplete.erase(it);
    ++dropped;
  }
  return dropped;
}

int TqnDataMessageQueue::IncompleteCountOf(std::uint32_t ClientID) const {
  TqnPadLockGuard g(FPadLock);
  return static_cast<int>(std::count_if(FIncomplete.begin(), FIncomplete.end(),
                                        [&](const TqnDataMessage* m) { return m->ClientID == ClientID; }));
}

bool TqnDataMessageQueue::PartFits(std::uint32_t ClientID, const TqnMessageHeader& H) const {
  if (H.PartLength < kQnHeaderSize) return false;
  const std::uint32_t n = H.PartLength - static_cast<std::uint32_t>(kQnHeaderSize);
  std::uint32_t missing = H.TotalDataLength;
  if (!H.FirstPart) {
    TqnPadLockGuard g(FPadLock);
    auto it = std::find_if(FIncomplete.begin(), FIncomplete.end(), [&](const TqnDataMessage* m) {
      return m->MessageID == H.MessageID && m->ClientID == ClientID;
    });
    if (it == FIncomplete.end()) return true;
    missing = (*it)->DataLength - (*it)->Received;
  }
  return n <= missing && (H.LastPart != 0) == (n == missing);
}

bool TqnDataMessageQueue::AppendPart(std::uint32_t MessageID, std::uint32_t ClientID, const std::uint8_t* Data,
                                     std::uint32_t PartLength) {
  TqnPadLockGuard g(FPadLock);
  auto it = std::find_if(FIncomplete.begin(), FIncomplete.end(), [&](const TqnDataMessage* m) {
    return m->MessageID == MessageID && m->ClientID == ClientID;
  });
  if (it == FIncomplete.end()) return false;
  TqnDataMessage* m = *it;
  const std::uint32_t n = Data ? std::min(PartLength, m->DataLength - m->Received) : 0;
  const std::size_t held = m->Data.capacity();
  if (n) m->Data.insert(m->Data.end(), Data, Data + n);
  FIncompleteBytes += m->Data.capacity() - held;
  m->Received += n;
  if (m->Received >= m->DataLength) {
    FIncompleteBytes -= m->Data.capacity();
    FIncomplete.erase(it);
    AppendReady(m);
  }
  return true;
}

void TqnDataMessageQueue::SplitReplyBundle() {
  TqnDataMessage* bundle = FReady.front();
  FReady.pop_front();
  --FReadyCount;
  bool damaged = false;
  std::vector<TqnBundledReply> replies = QNSplitReplyBundle(bundle->Data.data(), bundle->Data.size(), damaged);
  if (damaged && replies.empty()) {
    // Nothing usable: the bundle turns into a failed reply of its own id, so that a waiting
    // caller hears of the damage instead of waiting for a reply that never comes.
    TqnBundledReply r;
    r.MessageID = bundle->MessageID;
    r.ResultCode = qnresNetUnknown;
    replies.push_back(std::move(r));
  }
  std::vector<TqnDataMessage*> made;
  for (TqnBundledReply& r : replies) {
    auto* m = new TqnDataMessage;
    m->MessageID = r.MessageID;
    m->ResultCode = r.ResultCode;
    m->DataLength = static_cast<std::uint32_t>(r.Data.size());
    m->Received = m->DataLength;
    m->Data = std::move(r.Data);
    m->DataIsStream = r.IsStream;
    m->ClientID = bundle->ClientID;
    m->Arrival = bundle->Arrival;
    m->Deadline = bundle->Deadline;
    m->CanRetry = true;
    made.push_back(m);
  }
  delete bundle;
  for (auto it = made.rbegin(); it != made.rend(); ++it) {
    FReady.push_front(*it);
    ++FReadyCount;
  }
}

TqnDataMessage* TqnDataMessageQueue::Head() {
  TqnPadLockGuard g(FPadLock);
  if (FReady.empty()) return nullptr;
  if (FReady.front()->InUse) return nullptr;
  if (FReady.front()->MessageID == qnmsgReplyBundle) SplitReplyBundle();
  if (FReady.empty()) return nullptr;
  FReady.front()->InUse = true;
  return FReady.front();
}

void TqnDataMessageQueue::RemoveHead() {
  TqnPadLockGuard g(FPadLock);
  if (FReady.empty()) return;
  TqnDataMessage* m = FReady.front();
  FReady.pop_front();
  --FReadyCount;
  m->InUse = false;
  if (m->CanRetry && m->RetryRequested) {
    FDeferred.push_back(m);
    EnableRetryTimer(true);
  } else {
    FreeEntry(m);
  }
}

bool TqnDataMessageQueue::IsEmpty() const {
  TqnPadLockGuard g(FPadLock);
  return FReady.empty();
}

void TqnDataMessageQueue::RequeueDeferred() {
  EnableRetryTimer(false);
  if (FDeferred.empty()) return;
  const std::uint32_t now = QNTickCount();
  while (!FDeferred.empty()) {
    TqnDataMessage* m = FDeferred.front();
    FDeferred.pop_front();
    // Wrap-safe: the deadline lies at most 65535 ms after the arrival.
    m->CanRetry = !TickReached(now, m->Deadline);
    m->RetryRequested = false;
    AppendReady(m);
  }
}

void TqnDataMessageQueue::PollRetryTimer() {
  {
    TqnPadLockGuard g(FPadLock);
    if (!FRetryTimerEnabled || TickElapsed(FRetrySince, QNTickCount()) < kQnRetryInterval) return;
  }
  RetryTimerTick();
}

void TqnDataMessageQueue::RetryTimerTick() {
  {
    TqnPadLockGuard g(FPadLock);
    RequeueDeferred();
  }
  if (FHandlerWindow) PostMessage(FHandlerWindow, kQnRequestComplete, 0, 0);
}

void TqnDataMessageQueue::EnableRetryTimer(bool Enable) {
  if (Enable == FRetryTimerEnabled) return;
  FRetryTimerEnabled = Enable;
  if (Enable) FRetrySince = QNTickCount();
  if (!Enable) {
    if (FTimerOn) KillTimer(FTimerOn, FTimerOn == FTimerWindow ? kRetryTimerId : FRetryTimerId);
    FTimerOn = 0;
    return;
  }
  if (FHandlerWindow && IsWindow(FHandlerWindow) &&
      SetTimer(FHandlerWindow, FRetryTimerId, kQnRetryInterval, &RetryTimerProc) != 0) {
    FTimerOn = FHandlerWindow;
    return;
  }
  // No handler window: a hidden window of the queue's own carries the timer.
  if (FTimerWindow == 0 || !IsWindow(FTimerWindow)) {
    FTimerWindow = QNCreateCommsWindow(
        [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
          if (m == WM_TIMER && w == kRetryTimerId) {
            RetryTimerTick();
            return 0;
          }
          return DefWindowProc(h, m, w, l);
        },
        true);
  }
  if (FTimerWindow && SetTimer(FTimerWindow, kRetryTimerId, kQnRetryInterval, nullptr) != 0) FTimerOn = FTimerWindow;
}

}  // namespace tw::dbengine
