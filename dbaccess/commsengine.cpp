#include "dbaccess/commsengine.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "dbaccess/session.h"
#include "dbengine/base/elfhash.h"
#include "dbengine/base/errors.h"
#include "dbengine/base/stringres.h"
#include "dbengine/transport/commswindow.h"
#include "dbengine/transport/message.h"
#include "dbengine/transport/singleuser.h"
#include "platform/classes/streams.h"
#include "platform/rtl/tickclock.h"

namespace tw::dbaccess {

using namespace tw::dbengine;

namespace {
// The timer that bounds a wait for a reply (its own id on the engine window, beside the retry
// timers of the embedded server's queue).
constexpr UINT_PTR kReplyTimerId = 0x5D01;
}  // namespace

TqnClientCommsEngine::TqnClientCommsEngine(const std::string& ClientName, TqnProtocolKind Protocol)
    : FClientName(ClientName.substr(0, 31)), FQueue(std::make_unique<TqnDataMessageQueue>()) {
  FWindow = QNCreateCommsWindow(
      [this](HWND h, UINT m, WPARAM w, LPARAM l) { return EngineWindowProc(h, m, w, l); }, true);
  if (!FWindow) QNRaiseError<EqnCommsException>(qnGeneralStrings(), 23664);
  try {
    if (Protocol == TqnProtocolKind::SingleUser)
      FTransport = std::make_unique<TqnSingleUserProtocol>(FClientName, false);
    else
      FTransport.reset(QNCreateProtocol(Protocol, FClientName, false));
  } catch (...) {
    QNDestroyCommsWindow(FWindow);
    throw;
  }
  FWindowDriven = dynamic_cast<TqnSingleUserProtocol*>(FTransport.get()) != nullptr;
  FTransport->OnHangingUp = [this](TqnBaseCommsProtocol*, std::uint32_t id) { HangingUp(id); };
  FTransport->OnIdle = [this](TqnBaseCommsProtocol*) { QNPumpOneMessage(FWindow); };
  FTransport->OnMessageReceived = [this](TqnBaseCommsProtocol*, std::uint32_t id, std::uint8_t* d, std::size_t n) {
    return ReceivePart(id, d, n);
  };
}

TqnClientCommsEngine::~TqnClientCommsEngine() {
  FTransport.reset();  // the connection tells the server that it hangs up
  FQueue.reset();
  if (FServeHere) FServeHere(FWindow, false);
  FServeHere = nullptr;
  FDispatch = nullptr;
  FEmbeddedServer.reset();
  QNDestroyCommsWindow(FWindow);
}

void TqnClientCommsEngine::SetEmbeddedServer(std::function<void()> Dispatch, std::shared_ptr<void> Server,
                                             std::function<void(HWND, bool)> ServeHere) {
  FDispatch = std::move(Dispatch);
  FEmbeddedServer = std::move(Server);
  FServeHere = std::move(ServeHere);
  if (FServeHere) FServeHere(FWindow, true);
}

LRESULT TqnClientCommsEngine::EngineWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == kQnRequestComplete) {
    if (FDispatch) FDispatch();
    return 0;
  }
  return DefWindowProc(Window, Msg, WParam, LParam);
}

bool TqnClientCommsEngine::ReceivePart(std::uint32_t, std::uint8_t* Part, std::size_t Length) {
  TqnPadLockGuard guard(FLock);
  if (Length == 0) return true;
  // A part that cannot be taken leaves its reply unfinishable, and the client would wait out its
  // whole reply time for it: the connection is hung up instead, which ends the wait at once.
  auto refuse = [this] {
    if (FConnectionId) FTransport->HangUp(FConnectionId);
    FConnectionId = 0;
    return false;
  };
  TqnMessageHeader h;
  if (QNCheckPart(Part, Length) != TqnPartCheck::Ok || !TqnMessageHeader::ReadFrom(Part, Length, h)) return refuse();
  const std::uint32_t len = h.PartLength - static_cast<std::uint32_t>(kQnHeaderSize);
  // The parts must end exactly where the first one said.
  if (!FQueue->PartFits(h.ClientID, h)) return refuse();
  try {
    if (h.FirstPart) {
      FQueue->AddMessage(h.MessageID, h.ClientID, h.TimeOut, h.ResultCode, Part + kQnHeaderSize, h.TotalDataLength,
                         len, h.DataIsStream != 0);
    } else {
      FQueue->AppendPart(h.MessageID, h.ClientID, Part + kQnHeaderSize, len);
    }
  } catch (const std::exception&) {
    return refuse();
  }
  if (!h.LastPart && FTransport->NeedsAcknowledge() && FConnectionId) {
    auto ack = QNMakeAcknowledge(FClientId);
    FTransport->SendMessage(FConnectionId, ack.data(), ack.size());
  }
  return true;
}

void TqnClientCommsEngine::HangingUp(std::uint32_t ConnectionId) {
  TqnPadLockGuard guard(FLock);
  if (ConnectionId == FConnectionId) FConnectionId = 0;
  FServerName.clear();
}

std::vector<std::string> TqnClientCommsEngine::GetServerNames(std::uint32_t TimeOut) {
  std::vector<std::string> names;
  // The single-user transport carries no datagrams: nothing can answer a query, so there is
  // nothing to wait for.
  if (dynamic_cast<TqnSingleUserProtocol*>(FTransport.get())) return names;
  FTransport->OpenDatagramChannel();
  FTransport->OnDatagramReceived = [&names](TqnBaseCommsProtocol*, const std::string& Address,
                                            const std::uint8_t* Data, std::size_t Length) {
    // The answer carries the station name as a length-prefixed string; a server answers every
    // query round, so each designation is listed once.
    std::string station, net;
    if (!QNParseServerAnswer(Data, Length, station, net)) return;
    std::string designation = MakeServerDesignation(station, Address);
    if (std::find(names.begin(), names.end(), designation) == names.end()) names.push_back(designation);
  };
  TimeOut = std::clamp<std::uint32_t>(TimeOut, 1, 30000);
  std::uint32_t start = GetTickCount();
  while (TickElapsed(start, GetTickCount()) < TimeOut) {
    const auto query = QNMakeServerQuery();
    FTransport->SendDatagram("", query.data(), query.size());
    std::uint32_t round = GetTickCount();
    while (TickElapsed(round, GetTickCount()) < 500 && TickElapsed(start, GetTickCount()) < TimeOut) {
      FTransport->PumpMessages();
      Sleep(1);
    }
  }
  FTransport->OnDatagramReceived = nullptr;
  FTransport->CloseDatagramChannel();
  return names;
}

DBIResult TqnClientCommsEngine::AttachToServer(const std::string& Server, const std::string& User,
                                               const std::string& Password) {
  TqnPadLockGuard guard(FLock);
  if (IsConnected()) Detach();
  std::string name, address;
  SplitServerName(Server, name, address);
  FConnectionId = FTransport->Connect(address);
  if (FConnectionId == 0) return DBIERR_NETNOTCONNECTED;
  FTransport->ConnectionOpened(FConnectionId);
  FClientId = 0;
  std::uint8_t attach[64] = {};
  PutShortString(attach, 0, 32, FClientName);
  PutShortString(attach, 32, 32, User);
  TReply reply;
  DBIResult r = Exchange(qnmsgAttachServer, attach, sizeof attach, false, reply);
  if (r != DBIERR_NONE) {
    if (FConnectionId) FTransport->HangUp(FConnectionId);
    FConnectionId = 0;
    return r;
  }
  if (reply.Data.size() < 13) {
    if (FConnectionId) FTransport->HangUp(FConnectionId);
    FConnectionId = 0;
    return DBIERR_NETNOTCONNECTED;
  }
  if (GetU32(reply.Data.data(), 4) < kServerVersion) {
    if (FConnectionId) FTransport->HangUp(FConnectionId);
    FConnectionId = 0;
    return 12039;
  }
  FClientId = GetU32(reply.Data.data(), 0);
  std::uint32_t code = GetU32(reply.Data.data(), 8);
  if (reply.Data[12]) code ^= ElfHashShortString(Password.substr(0, 255));
  FTransport->SetConnectionCode(code);
  TReply check;
  r = Exchange(qnmsgCheckSecureComms, nullptr, 0, false, check);
  if (r != DBIERR_NONE) return DBIERR_INVALIDPASSWORD;
  FServerName = name;
  return DBIERR_NONE;
}

void TqnClientCommsEngine::Detach() {
  TqnPadLockGuard guard(FLock);
  if (!IsConnected() || FDetaching) return;
  FDetaching = true;
  // A detach that itself gets no answer ends here: the connection is hung up regardless.
  std::uint32_t saved = ReplyTimeOut;
  ReplyTimeOut = std::min<std::uint32_t>(ReplyTimeOut, 2000);
  TReply reply;
  Exchange(qnmsgDetachServer, nullptr, 0, false, reply);
  ReplyTimeOut = saved;
  if (FConnectionId) FTransport->HangUp(FConnectionId);
  FConnectionId = 0;
  FServerName.clear();
  FDetaching = false;
}

DBIResult TqnClientCommsEngine::WaitForReply() {
  // The embedded server's request notice waits on this engine's window: handled first, it
  // brings the reply of every request the server answers at once, and the wait ends without a
  // look at the clock or at the transport's window (whose only traffic while a reply is awaited
  // is its keep-alive timer).  The time-out counts from here on.
  if (FDispatch && FConnectionId != 0 && FQueue->ReadyCount() == 0) QNPumpOneMessage(FWindow);
  if (FConnectionId != 0 && FQueue->ReadyCount() != 0) return DBIERR_NONE;
  std::uint32_t timeOut = std::clamp<std::uint32_t>(ReplyTimeOut, 1, 30000);
  std::uint32_t start = GetTickCount();
  // Over the single-user transport everything that can end the wait comes through this
  // engine's window or the transport's: the embedded server's request notices, the retry timer
  // of its queue (which runs on this window) and the parts of the reply.  So the wait sleeps
  // until this window has a message, bounded by a timer of its own for the reply time-out.  The
  // timer is set only when the wait has to sleep: an embedded server answers while its request
  // notice is dispatched, in the first round.
  const bool windowDriven = FWindowDriven;
  bool timerSet = false;
  while (FQueue->ReadyCount() == 0 && FConnectionId != 0) {
    FTransport->PumpMessages();
    if (FQueue->ReadyCount() != 0 || FConnectionId == 0) break;
    if (QNPumpOneMessage(FWindow)) {
      if (TickElapsed(start, GetTickCount()) >= timeOut) break;
      continue;
    }
    const std::uint32_t elapsed = TickElapsed(start, GetTickCount());
    if (elapsed >= timeOut) break;
    if (!windowDriven) {
      // A socket answers within microseconds on a near server: look again at once for a short
      // while before sleeping between looks.  The sleep ends when something arrives: a reply
      // of thousands of parts (a table's dictionary) is read as fast as they come, not one
      // part a sleep.
      if (elapsed < 2) std::this_thread::yield();
      else if (!FTransport->WaitForEvents(1)) Sleep(1);
      continue;
    }
    if (!timerSet) timerSet = SetTimer(FWindow, kReplyTimerId, timeOut - elapsed, nullptr) != 0;
    MSG m;
    if (GetMessage(&m, FWindow, 0, 0)) {
      const bool ownTimer = m.message == WM_TIMER && m.wParam == kReplyTimerId;
      DispatchMessage(&m);
      // The reply timer on its own ends nothing; the tick count decides.
      if (ownTimer && TickElapsed(start, GetTickCount()) < timeOut) Sleep(1);
    }
  }
  if (timerSet) KillTimer(FWindow, kReplyTimerId);
  if (FConnectionId == 0) return DBIERR_NETTIMEOUT;
  if (FQueue->ReadyCount() > 0) return DBIERR_NONE;
  if (!FDetaching) {
    Detach();
  } else if (FConnectionId) {
    FTransport->HangUp(FConnectionId);
    FConnectionId = 0;
  }
  return DBIERR_NETTIMEOUT;
}

namespace {
// The requests answered with a reply bundle: a record read, insert or modify of one cursor,
// whose payload starts with the cursor id, the record length and the bookmark size.
bool AnsweredByBundle(std::uint32_t MessageId) {
  return MessageId == 2048 || MessageId == 2049 || MessageId == 2050 || MessageId == 2053 || MessageId == 2054;
}
}  // namespace

bool TqnClientCommsEngine::LeftoverAnswers(std::uint32_t MessageId, const void* Data, std::uint32_t Length) const {
  if (!FLeftoverOwner.Valid || !Data || Length < 8) return false;
  const auto* p = static_cast<const std::uint8_t*>(Data);
  if (GetU32(p, 0) != FLeftoverOwner.Cursor) return false;
  switch (MessageId) {
    case 1795:  // GetBookmark: cursor, bookmark size
      return GetU32(p, 4) == FLeftoverOwner.BMSize;
    case 2048:  // RecordGet: cursor, record length, bookmark size, lock type
      return Length >= 13 && GetU32(p, 4) == FLeftoverOwner.RecLen && GetU32(p, 8) == FLeftoverOwner.BMSize &&
             p[12] == 0;
    default:
      return false;
  }
}

void TqnClientCommsEngine::DropLeftovers() {
  // Usually nothing waits: the count says so without taking the queue's lock.
  if (FQueue->ReadyCount() != 0)
    while (FQueue->Head()) FQueue->RemoveHead();
  FLeftoverOwner = TBundleOwner{};
}

DBIResult TqnClientCommsEngine::Transact(std::uint32_t MessageId, const void* Data, std::uint32_t Length,
                                         bool DataIsStream, TqnDataMessage*& Answer) {
  Answer = nullptr;
  if (!IsConnected()) return DBIERR_NETNOTCONNECTED;
  // A reply that a bundle left waiting (the bookmark after a read, the record after an insert)
  // answers only the next request of the same cursor that asks for exactly that; any other
  // request makes them stale.
  TqnDataMessage* head = nullptr;
  if (LeftoverAnswers(MessageId, Data, Length)) {
    head = FQueue->Head();
    while (head && head->MessageID != MessageId) {
      FQueue->RemoveHead();
      head = FQueue->Head();
    }
  }
  if (!head) {
    DropLeftovers();
    if (FServeHere) FServeHere(FWindow, true);
    TqnOutgoingMessage m;
    m.MessageID = MessageId;
    m.ClientID = FClientId;
    m.IsStream = DataIsStream;
    m.Data = static_cast<const std::uint8_t*>(Data);
    m.DataLength = Length;
    DBIResult failure = DBIERR_NONE;
    try {
      QNSendMessageParts(
          m,
          [&](const std::uint8_t* Part, std::size_t N) {
            if (failure == DBIERR_NONE && FConnectionId) FTransport->SendMessage(FConnectionId, Part, N);
          },
          [&]() {
            if (failure != DBIERR_NONE || !FTransport->NeedsAcknowledge()) return;
            failure = WaitForReply();
            if (failure == DBIERR_NONE && FQueue->Head()) FQueue->RemoveHead();
          });
    } catch (const std::exception&) {
      // A part the transport could not send (the server went away: the transport has hung the
      // connection up) is a lost connection; otherwise the request was too large to send.
      if (FConnectionId == 0) return DBIERR_NETTIMEOUT;
      return DBIERR_INVALIDPARAM;
    }
    if (failure != DBIERR_NONE) return failure;
    // Only a reply of this request's id answers it (or a damaged bundle, which the queue turns
    // into a failure of its own); anything else that arrives first is stale.
    for (;;) {
      DBIResult r = WaitForReply();
      if (r != DBIERR_NONE) return r;
      head = FQueue->Head();
      if (!head) return DBIERR_NETTIMEOUT;
      if (head->MessageID == MessageId || head->MessageID == qnmsgReplyBundle) break;
      FQueue->RemoveHead();
    }
    if (AnsweredByBundle(MessageId) && Length >= 13) {
      const auto* p = static_cast<const std::uint8_t*>(Data);
      FLeftoverOwner = TBundleOwner{true, GetU32(p, 0), GetU32(p, 4), GetU32(p, 8)};
    }
  }
  const auto result = static_cast<DBIResult>(head->ResultCode);
  if (result != DBIERR_NONE) {
    FQueue->RemoveHead();
    return result;
  }
  Answer = head;
  return DBIERR_NONE;
}

std::size_t TqnClientCommsEngine::AnswerLength(const TqnDataMessage& Answer) {
  return std::min<std::size_t>(Answer.DataLength, Answer.Data.size());
}

DBIResult TqnClientCommsEngine::Exchange(std::uint32_t MessageId, const void* Data, std::uint32_t Length,
                                         bool DataIsStream, TReply& Reply) {
  TqnDataMessage* answer = nullptr;
  Reply.Result = Transact(MessageId, Data, Length, DataIsStream, answer);
  if (answer) {
    Reply.Data.assign(answer->Data.begin(), answer->Data.begin() + static_cast<std::ptrdiff_t>(AnswerLength(*answer)));
    FQueue->RemoveHead();
  }
  return Reply.Result;
}

DBIResult TqnClientCommsEngine::SendRequest(std::uint32_t MessageId, const void* Data, std::uint32_t Length,
                                            bool DataIsStream, void* Reply, std::uint32_t ReplyCapacity,
                                            std::uint32_t* ReplyLength) {
  TqnPadLockGuard guard(FLock);
  if (ReplyLength) *ReplyLength = 0;
  TqnDataMessage* answer = nullptr;
  DBIResult r = Transact(MessageId, Data, Length, DataIsStream, answer);
  if (r != DBIERR_NONE) return r;
  // The reply's data goes straight from the queue entry to the caller's buffer.
  std::size_t n = std::min<std::size_t>(ReplyCapacity, AnswerLength(*answer));
  if (Reply && n) std::memcpy(Reply, answer->Data.data(), n);
  FQueue->RemoveHead();
  if (ReplyLength) *ReplyLength = static_cast<std::uint32_t>(n);
  return DBIERR_NONE;
}

DBIResult TqnClientCommsEngine::SendRequestToStream(std::uint32_t MessageId, const void* Data, std::uint32_t Length,
                                                    bool DataIsStream, TStream& Reply) {
  TqnPadLockGuard guard(FLock);
  TqnDataMessage* answer = nullptr;
  DBIResult r = Transact(MessageId, Data, Length, DataIsStream, answer);
  if (r != DBIERR_NONE) return r;
  const std::size_t n = AnswerLength(*answer);
  try {
    if (n) Reply.Write(answer->Data.data(), static_cast<std::int64_t>(n));
  } catch (...) {
    FQueue->RemoveHead();
    throw;
  }
  FQueue->RemoveHead();
  return DBIERR_NONE;
}

}  // namespace tw::dbaccess
