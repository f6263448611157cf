// A minimal client end for the transport tests: a calling transport whose received parts are
// collected into a reply queue (acknowledging non-final parts), and a request sender that
// waits for the server's acknowledgements the way the client engine does.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "dbengine/transport/message.h"
#include "dbengine/transport/messagequeue.h"
#include "dbengine/transport/protocol.h"
#include "dbengine/transport/servercomms.h"

namespace tw::dbengine::testing {

class TestClient {
 public:
  explicit TestClient(TqnBaseCommsProtocol* Transport) : transport(Transport) {
    transport->OnMessageReceived = [this](TqnBaseCommsProtocol*, std::uint32_t id, std::uint8_t* d, std::size_t n) {
      return Receive(id, d, n);
    };
    transport->OnHangingUp = [this](TqnBaseCommsProtocol*, std::uint32_t) { ++hangUps; };
  }

  bool Receive(std::uint32_t, std::uint8_t* d, std::size_t n) {
    TqnMessageHeader h;
    if (QNCheckPart(d, n) != TqnPartCheck::Ok || !TqnMessageHeader::ReadFrom(d, n, h)) {
      ++refused;
      return false;
    }
    const std::uint32_t len = h.PartLength - 24;
    if (h.FirstPart)
      replies.AddMessage(h.MessageID, h.ClientID, h.TimeOut, h.ResultCode, d + 24, h.TotalDataLength, len,
                         h.DataIsStream != 0);
    else
      replies.AppendPart(h.MessageID, h.ClientID, d + 24, len);
    if (!h.LastPart && transport->NeedsAcknowledge()) {
      auto ack = QNMakeAcknowledge(clientId);
      transport->SendMessage(connection, ack.data(), ack.size());
    }
    return true;
  }

  bool Connect(std::string_view Address = {}) {
    connection = transport->Connect(Address);
    clientId = connection;  // the server's connection id is handed out by the attach reply
    return connection != 0;
  }

  TqnOutgoingMessage Outgoing(std::uint32_t MessageID, const std::vector<std::uint8_t>& Data) const {
    TqnOutgoingMessage m;
    m.MessageID = MessageID;
    m.ClientID = clientId;
    m.Data = Data.data();
    m.DataLength = Data.size();
    return m;
  }

  // Sends a request; between parts waits (pumping, bounded) for the acknowledgement.
  void Send(std::uint32_t MessageID, const std::vector<std::uint8_t>& Data) {
    QNSendMessageParts(
        Outgoing(MessageID, Data), [&](const std::uint8_t* p, std::size_t n) { transport->SendMessage(connection, p, n); },
        [&] {
          if (!transport->NeedsAcknowledge()) return;
          for (int i = 0; i < 100000; ++i) {
            if (TqnDataMessage* a = replies.Head()) {
              if (a->MessageID == qnmsgPartAcknowledge) {
                replies.RemoveHead();
                return;
              }
            }
            transport->PumpMessages();
            if (alsoPump) alsoPump();
          }
          ADD_FAILURE() << "no acknowledgement";
        });
  }

  // Sends only the first part of a message (its sender then goes quiet or away).
  void SendFirstPartOnly(std::uint32_t MessageID, const std::vector<std::uint8_t>& Data) {
    bool first = true;
    QNSendMessageParts(Outgoing(MessageID, Data), [&](const std::uint8_t* p, std::size_t n) {
      if (first) transport->SendMessage(connection, p, n);
      first = false;
    });
  }

  TqnBaseCommsProtocol* transport;
  std::function<void()> alsoPump;  // the other end, when both live on this thread
  TqnDataMessageQueue replies;
  std::uint32_t connection = 0;
  std::uint32_t clientId = 0;
  int hangUps = 0;
  int refused = 0;
};

// Attaches the client the way the command handler lets it: the attach request, then an attach
// reply with result 0 from the server (before it the server takes only short messages).  Pump
// runs whatever has to run for parts to travel.
inline void LogIn(TestClient& Client, TqnServerCommsEngine& Server, const std::function<void()>& Pump) {
  Client.Send(qnmsgAttachServer, std::vector<std::uint8_t>(64, 0));
  for (int i = 0; i < 20000 && Server.Queue().IsEmpty(); ++i) Pump();
  TqnDataMessage* m = Server.Queue().Head();
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->MessageID, qnmsgAttachServer);
  Client.clientId = m->ClientID;
  const std::uint8_t reply[13] = {};
  Server.SendReply(qnmsgAttachServer, m->ClientID, 0, reply, sizeof reply, false);
  Server.Queue().RemoveHead();
  for (int i = 0; i < 20000 && Client.replies.IsEmpty(); ++i) Pump();
  while (Client.replies.Head()) Client.replies.RemoveHead();
}

inline std::vector<std::uint8_t> TestBytes(std::size_t n, std::uint8_t seed = 1) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 13);
  return v;
}

}  // namespace tw::dbengine::testing
