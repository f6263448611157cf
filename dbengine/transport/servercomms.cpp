#include "dbengine/transport/servercomms.h"

#include "dbengine/base/errors.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/base/timer.h"
#include "dbengine/transport/commswindow.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/tickclock.h"

namespace tw::dbengine {

namespace {
// Connections beyond the limit that may wait for their refusal at once; more are closed
// unanswered.
constexpr int kQnTurnAwaySlack = 16;
}  // namespace

TqnServerCommsEngine::TqnServerCommsEngine(TqnProtocolKind Protocol, std::string_view Name)
    : FQueue(std::make_unique<TqnDataMessageQueue>()),
      FTransport(QNCreateProtocol(Protocol, TqnName(Name).View(), true)) {
  Wire();
}

TqnServerCommsEngine::TqnServerCommsEngine(TqnBaseCommsProtocol* Transport)
    : FQueue(std::make_unique<TqnDataMessageQueue>()), FTransport(Transport) {
  Wire();
}

TqnServerCommsEngine::~TqnServerCommsEngine() {
  // The transport goes first: its connections may still report hang-ups into the queue.
  FTransport.reset();
  FQueue.reset();
}

void TqnServerCommsEngine::Wire() {
  FTransport->OnHangingUp = [this](TqnBaseCommsProtocol*, std::uint32_t id) { HangingUp(id); };
  FTransport->OnConnectionOpened = [this](TqnBaseCommsProtocol*, std::uint32_t id) { ConnectionOpened(id); };
  FTransport->OnIdle = [this](TqnBaseCommsProtocol*) { Idle(); };
  FTransport->OnDatagramReceived = [this](TqnBaseCommsProtocol*, const std::string& a, const std::uint8_t* d,
                                          std::size_t n) { Datagram(a, d, n); };
  FTransport->OnMessageReceived = [this](TqnBaseCommsProtocol* s, std::uint32_t id, std::uint8_t* d, std::size_t n) {
    return ReceivePart(s, id, d, n);
  };
  if (FTransport->NeedsAcknowledge()) FAcknowledge = QNMakeAcknowledge(0);
}

void TqnServerCommsEngine::SetHandlerWindow(HWND Window) {
  FHandlerWindow = Window;
  FQueue->SetHandlerWindow(Window);
}

void TqnServerCommsEngine::StartListening() {
  FTransport->PrepareStationOnce();
  FTransport->SetConnectionCode(0);
  FTransport->StartListening();
}

void TqnServerCommsEngine::NotifyHandler() {
  if (FHandlerWindow) PostMessage(FHandlerWindow, kQnRequestComplete, 0, 0);
}

void TqnServerCommsEngine::SendReply(std::uint32_t MessageID, std::uint32_t ClientID, std::uint16_t ResultCode,
                                     const std::uint8_t* Data, std::size_t DataLength, bool IsStream) {
  TqnOutgoingMessage m;
  m.MessageID = MessageID;
  m.ClientID = ClientID;
  m.ResultCode = ResultCode;
  m.IsReply = true;
  m.IsStream = IsStream;
  m.Data = Data;
  m.DataLength = DataLength;
  // A client that does not take its replies keeps them in a queue of its own; past its share
  // it is hung up, alone.  What it left untaken is looked at before each reply, so that one
  // reply of any length (the longest carries a whole dictionary) always goes out whole.
  if (FTransport->UnsentBytes(ClientID) > FLimits.ReplyQueueSize || HeldBytes() > FLimits.Memory) {
    RefusePart(ClientID, "Hanging up: a client that does not take its replies");
    return;
  }
  const bool acks = FTransport->NeedsAcknowledge();
  bool lastAcknowledged = true;
  bool lastWasNonFinal = false;
  // Over a synchronous transport the acknowledgement arrives during the send itself, so the
  // waiting flag is raised before each part and only waited on afterwards.
  QNSendMessageParts(
      m,
      [&](const std::uint8_t* part, std::size_t n) {
        if (!lastAcknowledged) return;  // the client stopped answering: the rest is not sent
        lastWasNonFinal = part[21] == 0;
        FAwaitedConnection = acks && lastWasNonFinal ? ClientID : 0;
        FTransport->SendMessage(ClientID, part, n);
      },
      [&]() {
        if (acks && lastAcknowledged) lastAcknowledged = WaitForAcknowledge(ClientID);
      });
  FAwaitedConnection = 0;
  if (FTransport->FindConnection(ClientID) != nullptr) NoteReply(MessageID, ClientID, ResultCode);
}

std::size_t TqnServerCommsEngine::HeldBytes() const {
  return FQueue->IncompleteBytes() + FTransport->UnsentBytesTotal();
}

void TqnServerCommsEngine::NoteReply(std::uint32_t MessageID, std::uint32_t ConnectionID, std::uint16_t ResultCode) {
  if (MessageID == qnmsgAttachServer) {
    const bool awaited = FAttaching.erase(ConnectionID) != 0;
    if (ResultCode == 0) {
      FLoggedIn.insert(ConnectionID);
      FUnattached.erase(ConnectionID);
    } else if (awaited) {
      AwaitAttach(ConnectionID);  // refused: it may try again, within the time given
    }
  } else if (MessageID == qnmsgDetachServer && FLoggedIn.erase(ConnectionID) != 0) {
    // Its client is gone from the engine: an open connection without one holds a place that a
    // client may need, so it is given the time to attach again like a new one.
    AwaitAttach(ConnectionID);
  }
}

void TqnServerCommsEngine::AttachArrived(std::uint32_t ConnectionID) {
  if (FUnattached.erase(ConnectionID) != 0) FAttaching.insert(ConnectionID);
}

void TqnServerCommsEngine::AwaitAttach(std::uint32_t ConnectionID) {
  const std::uint32_t now = QNTickCount();
  FUnattached[ConnectionID] = now;
  FUnattachedOrder.emplace_back(now, ConnectionID);
}

void TqnServerCommsEngine::ConnectionOpened(std::uint32_t ConnectionID) {
  AwaitAttach(ConnectionID);
  HangUpUnattached();
  if (FTransport->ConnectionCount() <= FLimits.MaxConnections) return;
  // Connections that have not attached give way to the new one: a client attaches as soon as
  // it is connected, so the one that has waited longest is the likeliest never to, and a crowd
  // of silent connections cannot keep clients out even for the time they are given.
  if (const std::uint32_t oldest = OldestUnattached(ConnectionID)) {
    RefusePart(oldest, "Hanging up: a connection that did not attach, to make room");
    return;
  }
  if (FTransport->ConnectionCount() > FLimits.MaxConnections + kQnTurnAwaySlack) {
    RefusePart(ConnectionID, "Hanging up: too many connections");
    return;
  }
  FTurnedAway.insert(ConnectionID);
}

std::uint32_t TqnServerCommsEngine::OldestUnattached(std::uint32_t Except) {
  for (const auto& [opened, id] : FUnattachedOrder) {
    if (id == Except || FTurnedAway.count(id) || FTransport->InputWaiting(id)) continue;
    auto it = FUnattached.find(id);
    if (it != FUnattached.end() && it->second == opened) return id;
  }
  return 0;
}

void TqnServerCommsEngine::HangUpUnattached() {
  const std::uint32_t now = QNTickCount();
  std::vector<std::uint32_t> late;
  for (auto at = FUnattachedOrder.begin(); at != FUnattachedOrder.end();) {
    const auto [since, id] = *at;
    auto it = FUnattached.find(id);
    if (it == FUnattached.end() || it->second != since) {
      at = FUnattachedOrder.erase(at);  // attached, gone, or its time started again
      continue;
    }
    if (TickElapsed(since, now) < FLimits.AttachTimeOut) break;
    // What a connection sent while the server was busy is looked at before its time is judged.
    if (FTransport->InputWaiting(id)) {
      ++at;
      continue;
    }
    at = FUnattachedOrder.erase(at);
    FUnattached.erase(it);
    late.push_back(id);
  }
  for (std::uint32_t id : late) RefusePart(id, "Hanging up: no attach in time");
}

int TqnServerCommsEngine::UnfinishedOf(std::uint32_t ConnectionID) const {
  const auto from = FPassedOver.lower_bound({ConnectionID, 0});
  int passed = 0;
  for (auto it = from; it != FPassedOver.end() && it->first == ConnectionID; ++it) ++passed;
  return FQueue->IncompleteCountOf(ConnectionID) + passed;
}

bool TqnServerCommsEngine::PassOver(std::uint32_t ConnectionID, const TqnMessageHeader& H) {
  if (H.LastPart) {
    FPassedOver.erase({ConnectionID, H.MessageID});
    SendReply(H.MessageID, ConnectionID, kQnResRequestTooLarge, nullptr, 0, false);
    return FTransport->FindConnection(ConnectionID) != nullptr;
  }
  FPassedOver.insert({ConnectionID, H.MessageID});
  if (FTransport->NeedsAcknowledge()) FTransport->SendMessage(ConnectionID, FAcknowledge.data(), FAcknowledge.size());
  return true;
}

void TqnServerCommsEngine::HangUpStalled() {
  FTransport->StalledConnections(FLimits.ReplyTimeOut, FStalled);
  for (std::uint32_t id : FStalled) RefusePart(id, "Hanging up: replies not taken in time");
}

bool TqnServerCommsEngine::WaitForAcknowledge(std::uint32_t ClientID) {
  const std::uint32_t start = QNTickCount();
  while (FAwaitedConnection != 0) {
    if (FTransport->FindConnection(ClientID) == nullptr) return false;
    if (TickElapsed(start, QNTickCount()) >= kQnAcknowledgeWait) {
      FAwaitedConnection = 0;
      return false;
    }
    FTransport->PumpMessages();
  }
  return true;
}

bool TqnServerCommsEngine::ReceivePart(TqnBaseCommsProtocol*, std::uint32_t ConnectionID, std::uint8_t* Part,
                                       std::size_t Length) {
  TqnMessageHeader h;
  // The part length travels in plain, so it is checked first; a wrong pad garbles everything
  // from byte 8 on, the client id included, which is what the second check looks at.
  if (!TqnMessageHeader::ReadFrom(Part, Length, h) || h.PartLength != Length || Length > kQnMaxPartSize) {
    RefusePart(ConnectionID, "Hanging up due to a malformed message part");
    return false;
  }
  if (h.MessageID != qnmsgAttachServer && h.ClientID != ConnectionID) {
    if (QNLogRequests) {
      QNLogWrite("Hanging up due to bad client password");
      QNLogWrite(Format("  ConnHandle %d", {static_cast<int>(ConnectionID)}));
      QNLogWrite(Format("  ClientID   %d", {static_cast<int>(h.ClientID)}));
      QNLogWrite(Format("  MsgID      %d", {static_cast<int>(h.MessageID)}));
    }
    FTransport->HangUp(ConnectionID);
    return false;
  }
  if (QNCheckPart(Part, Length) != TqnPartCheck::Ok) {
    RefusePart(ConnectionID, "Hanging up due to a malformed message part");
    return false;
  }
  if (FTurnedAway.count(ConnectionID)) {
    // Beyond the connection limit: the client hears why, then the connection closes.
    if (h.MessageID == qnmsgAttachServer && h.FirstPart)
      SendReply(qnmsgAttachServer, ConnectionID, kQnResUserLimit, nullptr, 0, false);
    RefusePart(ConnectionID, "Hanging up: too many connections");
    return false;
  }
  if (h.MessageID == qnmsgPartAcknowledge) {
    if (ConnectionID == FAwaitedConnection) FAwaitedConnection = 0;
    return true;
  }
  const std::uint8_t* data = Part + kQnHeaderSize;
  const std::uint32_t n = h.PartLength - static_cast<std::uint32_t>(kQnHeaderSize);
  if (h.FirstPart) {
    // A message started again replaces the one of that id that was being passed over.
    FPassedOver.erase({ConnectionID, h.MessageID});
    // Before its client has attached a connection can send little; after that it can still
    // keep only a few messages unfinished at a time.
    if (h.TotalDataLength > kQnMaxDataBeforeLogin && FLoggedIn.count(ConnectionID) == 0) {
      RefusePart(ConnectionID, "Hanging up: a long message before login");
      return false;
    }
    if (h.TotalDataLength > n && UnfinishedOf(ConnectionID) >= kQnMaxUnfinishedPerConnection) {
      RefusePart(ConnectionID, "Hanging up: too many unfinished messages");
      return false;
    }
    // Longer than the server takes (by default longer than any valid request): the client is
    // told so, and its session goes on.
    if (h.TotalDataLength > FLimits.MaxMessageSize) return PassOver(ConnectionID, h);
  } else if (FPassedOver.count({ConnectionID, h.MessageID})) {
    return PassOver(ConnectionID, h);
  }
  // What is kept of unfinished messages and untaken replies stays within the server's share.
  // A client waits for each answer before its next request, so a connection with one message
  // under way is told there is no room for it; one that keeps several going is hung up.
  if (!(h.FirstPart && h.LastPart) && HeldBytes() + n > FLimits.Memory) {
    if (UnfinishedOf(ConnectionID) - (h.FirstPart ? 0 : 1) > 0) {
      RefusePart(ConnectionID, "Hanging up: no memory left for messages");
      return false;
    }
    FQueue->DropIncomplete(ConnectionID, h.MessageID);
    return PassOver(ConnectionID, h);
  }
  // The parts must end exactly where the first one said: a message that the last part leaves
  // short would never be handed on (its client waiting in vain), one that ends before its last
  // part or runs past it would be handed on cut or with parts of it dropped.
  if (!FQueue->PartFits(ConnectionID, h)) {
    RefusePart(ConnectionID, "Hanging up due to a malformed message part");
    return false;
  }
  bool kept = true;  // false: a following part that no unfinished message takes
  try {
    if (h.FirstPart)
      FQueue->AddMessage(h.MessageID, ConnectionID, h.TimeOut, 0, data, h.TotalDataLength, n, h.DataIsStream != 0);
    else
      kept = FQueue->AppendPart(h.MessageID, ConnectionID, data, n);
  } catch (const std::exception&) {
    // The message cannot be kept (no memory): the client would wait for a reply that never
    // comes, so the connection is hung up and the client hears of it at once.
    RefusePart(ConnectionID, "Hanging up: a message part could not be queued");
    return false;
  }
  if (h.LastPart) {
    if (h.MessageID == qnmsgAttachServer && kept) AttachArrived(ConnectionID);
    NotifyHandler();
  } else if (FTransport->NeedsAcknowledge()) {
    FTransport->SendMessage(ConnectionID, FAcknowledge.data(), FAcknowledge.size());
  }
  return true;
}

void TqnServerCommsEngine::RefusePart(std::uint32_t ConnectionID, const char* Why) {
  if (QNLogRequests) {
    QNLogWrite(Why);
    QNLogWrite(Format("  ConnHandle %d", {static_cast<int>(ConnectionID)}));
  }
  FTransport->HangUp(ConnectionID);
}

void TqnServerCommsEngine::HangingUp(std::uint32_t ConnectionID) {
  if (ConnectionID == FAwaitedConnection) FAwaitedConnection = 0;
  FLoggedIn.erase(ConnectionID);
  FAttaching.erase(ConnectionID);
  FUnattached.erase(ConnectionID);
  for (auto it = FPassedOver.lower_bound({ConnectionID, 0}); it != FPassedOver.end() && it->first == ConnectionID;)
    it = FPassedOver.erase(it);
  if (FTurnedAway.erase(ConnectionID)) return;  // never attached: nothing to detach
  // Parts still missing from that connection can no longer come.
  FQueue->DropIncomplete(ConnectionID);
  FQueue->AddMessage(qnmsgDetachJustInCase, ConnectionID, 0, 0, nullptr, 0, 0, false);
  NotifyHandler();
}

void TqnServerCommsEngine::Idle() {
  // Requests waiting on a lock are retried by the tick clock as well as by the queue's timer:
  // a server whose loop only pumps (and whose display keeps a clock of its own) still retries.
  FQueue->PollRetryTimer();
  HangUpStalled();
  HangUpUnattached();
  if (FHandlerWindow) QNPumpOneMessage(FHandlerWindow);
}

void TqnServerCommsEngine::Datagram(const std::string& Address, const std::uint8_t* Data, std::size_t Length) {
  if (!QNIsServerQuery(Data, Length)) return;
  const auto answer = QNMakeServerAnswer(FTransport->GetStationName(), FTransport->GetNetName());
  FTransport->SendDatagram(Address, answer.data(), answer.size());
}

}  // namespace tw::dbengine
