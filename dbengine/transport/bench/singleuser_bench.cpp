// A 64 KB request and its 64 KB reply through the single-user transport: the client sends in
// acknowledged parts, the server queue assembles, the reply goes back the same way.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "dbengine/transport/message.h"
#include "dbengine/transport/messagequeue.h"
#include "dbengine/transport/servercomms.h"
#include "dbengine/transport/singleuser.h"
#include "platform/win/display.h"

using namespace tw::dbengine;

namespace {

struct Client {
  TqnSingleUserProtocol transport{"", false};
  TqnDataMessageQueue replies;
  std::uint32_t connection = 0;
  std::uint32_t clientId = 0;

  Client() {
    transport.OnMessageReceived = [this](TqnBaseCommsProtocol*, std::uint32_t, std::uint8_t* d, std::size_t n) {
      TqnMessageHeader h;
      if (QNCheckPart(d, n) != TqnPartCheck::Ok) return false;
      TqnMessageHeader::ReadFrom(d, n, h);
      const std::uint32_t len = h.PartLength - 24;
      if (h.FirstPart)
        replies.AddMessage(h.MessageID, h.ClientID, 0, h.ResultCode, d + 24, h.TotalDataLength, len, false);
      else
        replies.AppendPart(h.MessageID, h.ClientID, d + 24, len);
      if (!h.LastPart) {
        auto ack = QNMakeAcknowledge(clientId);
        transport.SendMessage(connection, ack.data(), ack.size());
      }
      return true;
    };
  }
};

void BM_SingleUserRequestAndReply64K(benchmark::State& state) {
  tw::SelectDisplay("offscreen");
  tw::ResetWindowSystem();
  auto server = std::make_unique<TqnServerCommsEngine>(TqnProtocolKind::SingleUser, "SingleEXE");
  server->StartListening();
  auto client = std::make_unique<Client>();
  client->transport.SetConnectionCode(server->GetConnectionCode());
  client->connection = client->transport.Connect("");
  client->clientId = server->Transport().ConnectionAt(0)->Id();
  // The client attaches first: a server takes long requests only from attached clients.
  {
    std::uint8_t attach[64] = {};
    TqnOutgoingMessage m;
    m.MessageID = qnmsgAttachServer;
    m.Data = attach;
    m.DataLength = sizeof attach;
    QNSendMessageParts(m, [&](const std::uint8_t* p, std::size_t n) {
      client->transport.SendMessage(client->connection, p, n);
    });
    TqnDataMessage* a = server->Queue().Head();
    if (a == nullptr) {
      state.SkipWithError("the attach request did not arrive");
      return;
    }
    std::uint8_t answer[13] = {};
    server->SendReply(a->MessageID, a->ClientID, 0, answer, sizeof answer, false);
    server->Queue().RemoveHead();
    if (client->replies.Head()) client->replies.RemoveHead();
  }
  std::vector<std::uint8_t> request(65536, 0x3C), reply(65536, 0xC3);
  for (auto _ : state) {
    TqnOutgoingMessage m;
    m.MessageID = 1536;
    m.ClientID = client->clientId;
    m.Data = request.data();
    m.DataLength = request.size();
    QNSendMessageParts(
        m, [&](const std::uint8_t* p, std::size_t n) { client->transport.SendMessage(client->connection, p, n); },
        [&] {
          if (client->replies.Head()) client->replies.RemoveHead();  // the acknowledgement
        });
    TqnDataMessage* r = server->Queue().Head();
    server->SendReply(r->MessageID, r->ClientID, 0, reply.data(), reply.size(), false);
    server->Queue().RemoveHead();
    TqnDataMessage* got = client->replies.Head();
    benchmark::DoNotOptimize(got->Data.data());
    client->replies.RemoveHead();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 2 * 65536);
  client.reset();
  server.reset();
}
BENCHMARK(BM_SingleUserRequestAndReply64K);

}  // namespace
