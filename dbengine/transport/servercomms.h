// The server end of the message transport: owns the listening transport, collects request
// parts into its queue, tells the handler window (message 0x13F1) when a request is complete,
// and sends replies in parts.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "dbengine/base/serverconfig.h"
#include "dbengine/transport/message.h"
#include "dbengine/transport/messagequeue.h"
#include "dbengine/transport/protocol.h"

namespace tw::dbengine {

// The longest wait for one part's acknowledgement before the reply is given up.
constexpr std::uint32_t kQnAcknowledgeWait = 30000;
// What a connection may send before its client has attached (the attach request itself is 64
// bytes): a longer message hangs the connection up.
constexpr std::uint32_t kQnMaxDataBeforeLogin = 256;
// Messages of one connection that may wait for their further parts at once; one more hangs
// the connection up.
constexpr int kQnMaxUnfinishedPerConnection = 4;
// The result code that turns away a client beyond the connection limit ("Network user limit
// exceeded.").
constexpr std::uint16_t kQnResUserLimit = 11266;
// The answer to a request longer than the server takes, or one it has no room left for
// ("Insufficient memory for this operation."); the connection goes on.
constexpr std::uint16_t kQnResRequestTooLarge = 9473;

class TqnServerCommsEngine : public TqnObject {
  TW_CLASS(TqnServerCommsEngine, TqnObject)
 public:
  TqnServerCommsEngine(TqnProtocolKind Protocol, std::string_view Name);
  // Takes over a transport made elsewhere (tests, other transports); it must be a server's.
  TqnServerCommsEngine(TqnBaseCommsProtocol* Transport);
  ~TqnServerCommsEngine() override;

  void SetHandlerWindow(HWND Window);
  void SetLimits(const TqnCommsLimits& Limits) { FLimits = Limits; }
  const TqnCommsLimits& Limits() const { return FLimits; }
  // Bytes held for unfinished requests and replies not yet taken, over all connections.
  std::size_t HeldBytes() const;
  HWND HandlerWindow() const { return FHandlerWindow; }
  void StartListening();
  std::uint32_t GetConnectionCode() const { return FTransport->ConnectionCode(); }

  // Sends one reply in parts; a nonzero result code carries no data.
  void SendReply(std::uint32_t MessageID, std::uint32_t ClientID, std::uint16_t ResultCode, const std::uint8_t* Data,
                 std::size_t DataLength, bool IsStream);
  // Pumps the transport until the acknowledgement came, the connection is gone, or 30 s passed.
  // False when no acknowledgement came.
  bool WaitForAcknowledge(std::uint32_t ClientID);

  bool ReceivePart(TqnBaseCommsProtocol* Sender, std::uint32_t ConnectionID, std::uint8_t* Part, std::size_t Length);

  TqnDataMessageQueue& Queue() { return *FQueue; }
  TqnBaseCommsProtocol& Transport() { return *FTransport; }

 private:
  void Wire();
  void HangingUp(std::uint32_t ConnectionID);
  void ConnectionOpened(std::uint32_t ConnectionID);
  // Hangs up the connections whose client has not attached within the limit's time (not one
  // whose input waits to be taken: its attach may be in it).
  void HangUpUnattached();
  // The connection that has waited longest for its client's attach, not counting Except, those
  // already turned away and those whose input waits to be taken; 0 when there is none.
  std::uint32_t OldestUnattached(std::uint32_t Except);
  // Starts a connection's time to attach now.
  void AwaitAttach(std::uint32_t ConnectionID);
  // Follows a connection's attachment through the attach requests that arrive whole and the
  // attach and detach replies it is sent.
  void AttachArrived(std::uint32_t ConnectionID);
  void NoteReply(std::uint32_t MessageID, std::uint32_t ConnectionID, std::uint16_t ResultCode);
  // Messages of a connection still waiting for parts, those being passed over included.
  int UnfinishedOf(std::uint32_t ConnectionID) const;
  // Passes a message over (its bytes are not kept) and answers it with kQnResRequestTooLarge
  // once its last part came; until then its parts are acknowledged as usual.
  bool PassOver(std::uint32_t ConnectionID, const TqnMessageHeader& H);
  // Hangs up the connections that leave their replies untaken too long or hold too much.
  void HangUpStalled();
  void Datagram(const std::string& Address, const std::uint8_t* Data, std::size_t Length);
  void Idle();
  void NotifyHandler();
  void RefusePart(std::uint32_t ConnectionID, const char* Why);

  std::unique_ptr<TqnDataMessageQueue> FQueue;
  HWND FHandlerWindow = 0;
  std::unique_ptr<TqnBaseCommsProtocol> FTransport;
  // The connection whose acknowledgement a reply waits for (0: none).  Only that
  // connection's acknowledgement or hang-up ends the wait.
  std::uint32_t FAwaitedConnection = 0;
  std::array<std::uint8_t, kQnHeaderSize> FAcknowledge{};
  // Connections whose client has attached (an attach reply with result 0 went to them, and no
  // detach reply since).
  std::set<std::uint32_t> FLoggedIn;
  // Connections whose attach request has arrived whole and waits for its answer: their time to
  // attach is over, however long the answer takes.
  std::set<std::uint32_t> FAttaching;
  // Connections beyond the limit: their attach request is answered with kQnResUserLimit.
  std::set<std::uint32_t> FTurnedAway;
  TqnCommsLimits FLimits;
  std::vector<std::uint32_t> FStalled;
  // Messages (connection, message id) refused for their length or for want of room: their
  // further parts are passed over and the last one is answered with an error.
  std::set<std::pair<std::uint32_t, std::uint32_t>> FPassedOver;
  // Connections whose client has not attached (yet, or since its attach was refused or it
  // detached), with the tick their time to attach started at, and the same in the order they
  // started (entries of connections that attached, went or started again are skipped).
  std::map<std::uint32_t, std::uint32_t> FUnattached;
  std::deque<std::pair<std::uint32_t, std::uint32_t>> FUnattachedOrder;
};

}  // namespace tw::dbengine
