// The queue that collects the parts arriving on a transport into whole messages and hands them
// out in arrival order.  It splits reply bundles, and keeps requests that their handler asked
// to retry (lock conflicts) aside until a 100 ms timer puts them back.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "dbengine/base/padlock.h"
#include "dbengine/base/qnobject.h"
#include "platform/win/winapi.h"

namespace tw::dbengine {

constexpr UINT kQnRetryInterval = 100;

struct TqnMessageHeader;

// One message.  Its data is a plain buffer; DataIsStream tells the handler that the sender
// meant it as a stream.  Data holds the bytes received so far (it grows part by part, so a
// header that announces a large message costs nothing until the bytes are there); a complete
// message holds DataLength bytes.
class TqnDataMessage : public TqnObject {
  TW_CLASS(TqnDataMessage, TqnObject)
 public:
  std::uint32_t Received = 0;
  std::uint32_t MessageID = 0;
  std::uint32_t ClientID = 0;
  std::uint32_t Arrival = 0;
  std::uint32_t Deadline = 0;
  std::uint32_t ResultCode = 0;
  std::vector<std::uint8_t> Data;
  std::uint32_t DataLength = 0;
  bool DataIsStream = false;
  bool CanRetry = false;
  bool RetryRequested = false;
  bool InUse = false;
  // The handler's own note for the next try of a deferred request; cleared with the message.
  std::vector<std::uint8_t> RetryState;
};

class TqnDataMessageQueue : public TqnObject {
  TW_CLASS(TqnDataMessageQueue, TqnObject)
 public:
  TqnDataMessageQueue();
  ~TqnDataMessageQueue() override;
  TqnDataMessageQueue(const TqnDataMessageQueue&) = delete;
  TqnDataMessageQueue& operator=(const TqnDataMessageQueue&) = delete;

  // The first part of a message.  PartLength bytes of Data are taken (never more than the
  // total).  An unfinished message of the same id and client is dropped: its sender started
  // it again, so its missing parts will never come.  Raises EqnCommsException when
  // TotalDataLength is above the largest message.
  void AddMessage(std::uint32_t MessageID, std::uint32_t ClientID, std::uint16_t TimeOut, std::uint32_t ResultCode,
                  const std::uint8_t* Data, std::uint32_t TotalDataLength, std::uint32_t PartLength, bool IsStream);
  // A following part; dropped when no incomplete message of that id and client waits.  False
  // when it was dropped.
  bool AppendPart(std::uint32_t MessageID, std::uint32_t ClientID, const std::uint8_t* Data, std::uint32_t PartLength);
  // Frees the unfinished messages of a connection that is gone; their parts can no longer
  // come.  Returns how many were freed.
  int DropIncomplete(std::uint32_t ClientID);
  // Frees the unfinished message MessageID of a client (one that will not be taken after all).
  int DropIncomplete(std::uint32_t ClientID, std::uint32_t MessageID);

  // The first complete message, marked in use; nullptr when there is none or the first one is
  // still being handled.
  TqnDataMessage* Head();
  // Takes the first complete message off: deferred when it can retry and a retry was asked
  // for, freed otherwise.
  void RemoveHead();
  bool IsEmpty() const;
  std::uint32_t ReadyCount() const { return FReadyCount; }
  int IncompleteCount() const { return static_cast<int>(FIncomplete.size()); }
  // Bytes held by the unfinished messages.
  std::size_t IncompleteBytes() const { return FIncompleteBytes; }
  // The unfinished messages of one client (connection).
  int IncompleteCountOf(std::uint32_t ClientID) const;
  // False when a part (its header H, arriving from ClientID) contradicts the total its message
  // announced: it carries more than is missing, is the last part without completing the
  // message, or completes it without being the last.  A following part with no unfinished
  // message to join is no contradiction (AppendPart drops it).
  bool PartFits(std::uint32_t ClientID, const TqnMessageHeader& H) const;
  int DeferredCount() const { return static_cast<int>(FDeferred.size()); }

  // The window told of requeued requests (0: none).  While one is set the 100 ms retry timer
  // runs on it, so that whoever pumps that window also drives the retries.
  void SetHandlerWindow(HWND Window) { FHandlerWindow = Window; }
  HWND HandlerWindow() const { return FHandlerWindow; }

  // What the 100 ms timer does: requeue the deferred messages and tell the handler window.
  void RetryTimerTick();
  bool RetryTimerEnabled() const { return FRetryTimerEnabled; }
  // Does what the timer does once its interval has passed on the tick clock, so that retries
  // follow the real clock whatever the display's timers do.
  void PollRetryTimer();

 private:
  int DropIncomplete(std::uint32_t ClientID, const std::uint32_t* MessageID);
  void RequeueDeferred();
  void AppendReady(TqnDataMessage* M);
  void SplitReplyBundle();
  void EnableRetryTimer(bool Enable);
  // Entries come from and go back to a small store of spare ones (FreeEntry resets them).
  TqnDataMessage* NewEntry();
  void FreeEntry(TqnDataMessage* M);
  static constexpr std::size_t kSpareEntries = 4;
  static constexpr std::size_t kSpareDataCapacity = 8192;

  std::uint32_t FReadyCount = 0;
  std::size_t FIncompleteBytes = 0;
  std::uint32_t FRetrySince = 0;
  HWND FHandlerWindow = 0;
  mutable TqnPadLock FPadLock;
  std::deque<TqnDataMessage*> FReady;
  std::deque<TqnDataMessage*> FIncomplete;  // newest first
  std::deque<TqnDataMessage*> FDeferred;
  std::vector<TqnDataMessage*> FSpare;
  HWND FTimerWindow = 0;
  HWND FTimerOn = 0;  // the window whose timer runs now (the handler window, or FTimerWindow)
  UINT_PTR FRetryTimerId = 0;
  bool FRetryTimerEnabled = false;
};

}  // namespace tw::dbengine
