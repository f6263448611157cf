// The client comms engine against a server comms engine in the same process, on the offscreen
// display: attach, requests and replies in acknowledged parts, cut replies, lost connections.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "dbaccess/commsengine.h"
#include "dbaccess/session.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/transport/servercomms.h"
#include "dbengine/transport/winsock.h"
#include "platform/classes/streams.h"
#include "platform/rtl/tickclock.h"
#include "platform/win/display.h"
#include "testsupport.h"

namespace tw::dbaccess::test {
namespace {

using namespace tw::dbengine;

class CommsEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    QNSetLogPath("/tmp/tw_dbaccess_comms_" + std::to_string(getpid()) + ".log");
    client = std::make_unique<TqnClientCommsEngine>("tester");
    server = std::make_unique<TqnServerCommsEngine>(TqnProtocolKind::SingleUser, "SingleEXE");
    server->SetHandlerWindow(client->EngineWindow());
    server->StartListening();
    client->SetEmbeddedServer([this] { Dispatch(); }, nullptr);
  }
  void TearDown() override {
    client.reset();
    server.reset();
    std::remove(QNLogPath().c_str());
  }
  // A stand-in command handler: attach, the secure check, an echo (id 100) that answers the
  // data reversed, and a request (id 101) answered with an error.
  void Dispatch() {
    while (TqnDataMessage* m = server->Queue().Head()) {
      std::vector<std::uint8_t> data(m->Data.begin(), m->Data.begin() + m->DataLength);
      requestSizes.push_back(m->DataLength);
      requestIds.push_back(m->MessageID);
      switch (m->MessageID) {
        case 1: {
          std::uint8_t o[13] = {};
          PutU32(o, 0, m->ClientID);
          PutU32(o, 4, serverVersion);
          PutU32(o, 8, server->GetConnectionCode());
          attachedUser = GetShortString(data.data(), 32, 32);
          server->SendReply(m->MessageID, m->ClientID, 0, o, sizeof o, false);
          break;
        }
        case 9: case 2: server->SendReply(m->MessageID, m->ClientID, 0, nullptr, 0, false); break;
        case 100:
          std::reverse(data.begin(), data.end());
          server->SendReply(m->MessageID, m->ClientID, 0, data.data(), data.size(), false);
          break;
        case 101: server->SendReply(m->MessageID, m->ClientID, 10024, nullptr, 0, false); break;
        case 102: case 103: case 104: {
          // Replies whose parts contradict the total they announce: one part short of it, a
          // last part short of it, a part carrying more than it.
          struct TPart { std::uint32_t Total, Data; bool First, Last; };
          std::vector<TPart> parts;
          if (m->MessageID == 102) parts = {{100, 10, true, true}};
          if (m->MessageID == 103) parts = {{3000, 2024, true, false}, {3000, 100, false, true}};
          if (m->MessageID == 104) parts = {{10, 50, true, true}};
          for (const TPart& p : parts) {
            TqnMessageHeader h;
            h.MessageID = m->MessageID;
            h.PartLength = static_cast<std::uint32_t>(kQnHeaderSize) + p.Data;
            h.TotalDataLength = p.Total;
            h.ClientID = m->ClientID;
            h.FirstPart = p.First;
            h.LastPart = p.Last;
            h.Reserved = 255;
            std::vector<std::uint8_t> part(h.PartLength, 0x5A);
            h.WriteTo(part.data());
            server->Transport().SendMessage(m->ClientID, part.data(), part.size());
          }
          break;
        }
        case 2048: case 2049: case 2053: {
          // A stand-in reply bundle: the record ("R" and the cursor id; after an insert also
          // a record read "I") and the bookmark ("B" and the cursor id).
          const std::uint8_t cursor = data.empty() ? 0 : data[0];
          std::vector<std::uint8_t> bundle;
          std::size_t pos = 0;
          auto add = [&](std::uint32_t Id, std::uint8_t Tag) {
            const std::uint8_t body[2] = {Tag, cursor};
            pos = AddBundledReply(bundle, pos, Id, 0, false, body, 2);
          };
          if (m->MessageID == 2053) {
            pos = AddBundledReply(bundle, pos, 2053, 0, false, nullptr, 0);
            add(2048, 'I');
          } else {
            add(m->MessageID, 'R');
          }
          add(1795, 'B');
          server->SendReply(255, m->ClientID, 0, bundle.data(), bundle.size(), false);
          break;
        }
        case 1795: {
          const std::uint8_t body[2] = {'S', data.empty() ? std::uint8_t{0} : data[0]};
          server->SendReply(m->MessageID, m->ClientID, 0, body, 2, false);
          break;
        }
        default: break;
      }
      server->Queue().RemoveHead();
    }
  }
  std::unique_ptr<TqnClientCommsEngine> client;
  std::unique_ptr<TqnServerCommsEngine> server;
  std::vector<std::uint32_t> requestSizes;
  std::vector<std::uint32_t> requestIds;
  std::string attachedUser;
  std::uint32_t serverVersion = kServerVersion;
};

TEST_F(CommsEngine, RequestsBeforeAttachingAreRefusedWithoutSending) {
  std::uint8_t b[4] = {};
  EXPECT_EQ(client->SendRequest(100, b, 4, false, b, 4), DBIERR_NETNOTCONNECTED);
  EXPECT_TRUE(requestSizes.empty());
  EXPECT_TRUE(client->GetServerNames(3000).empty());
}

TEST_F(CommsEngine, AttachThenLargeRequestsAndRepliesTravelWhole) {
  ASSERT_EQ(client->AttachToServer("", "admin", ""), DBIERR_NONE);
  EXPECT_TRUE(client->IsConnected());
  EXPECT_EQ(attachedUser, "admin");
  EXPECT_NE(client->ClientId(), 0u);

  std::vector<std::uint8_t> data(5000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  std::vector<std::uint8_t> reply(5000);
  std::uint32_t got = 0;
  ASSERT_EQ(client->SendRequest(100, data.data(), 5000, false, reply.data(), 5000, &got), DBIERR_NONE);
  EXPECT_EQ(got, 5000u);
  std::reverse(data.begin(), data.end());
  EXPECT_EQ(reply, data);
  EXPECT_EQ(requestSizes.back(), 5000u);

  // A reply longer than the buffer is cut without an error; a stream takes all of it.
  std::uint8_t small[10] = {};
  EXPECT_EQ(client->SendRequest(100, data.data(), 5000, false, small, sizeof small, &got), DBIERR_NONE);
  EXPECT_EQ(got, 10u);
  TMemoryStream stream;
  EXPECT_EQ(client->SendRequestToStream(100, data.data(), 3000, false, stream), DBIERR_NONE);
  EXPECT_EQ(stream.Size(), 3000);

  // An error reply carries its code and no data.
  small[0] = 0xAA;
  EXPECT_EQ(client->SendRequest(101, nullptr, 0, false, small, sizeof small), 10024);
  EXPECT_EQ(small[0], 0xAA);
}

TEST_F(CommsEngine, OldServerVersionIsRefused) {
  serverVersion = 10299;
  EXPECT_EQ(client->AttachToServer("", "admin", ""), 12039);
  EXPECT_FALSE(client->IsConnected());
}

TEST_F(CommsEngine, ServerHangUpEndsTheConnection) {
  ASSERT_EQ(client->AttachToServer("", "admin", ""), DBIERR_NONE);
  ASSERT_EQ(server->Transport().ConnectionCount(), 1);
  server->Transport().HangUp(server->Transport().ConnectionAt(0)->Id());
  EXPECT_FALSE(client->IsConnected());
  std::uint8_t b[4] = {};
  EXPECT_EQ(client->SendRequest(100, b, 4, false, b, 4), DBIERR_NETNOTCONNECTED);
  // Attaching again works.
  EXPECT_EQ(client->AttachToServer("", "admin", ""), DBIERR_NONE);
  EXPECT_EQ(client->SendRequest(100, b, 4, false, b, 4), DBIERR_NONE);
}

// A reply whose parts contradict the length it announces fails its request at once instead of
// leaving the client waiting out its whole reply time; the client can attach again afterwards.
TEST_F(CommsEngine, RepliesThatContradictTheirLengthFailAtOnce) {
  client->ReplyTimeOut = 30000;
  for (std::uint32_t id : {102u, 103u, 104u}) {
    SCOPED_TRACE(id);
    ASSERT_EQ(client->AttachToServer("", "admin", ""), DBIERR_NONE);
    std::uint8_t b[4] = {1, 2, 3, 4};
    const std::uint32_t start = GetTickCount();
    EXPECT_NE(client->SendRequest(id, b, 4, false, b, 4), DBIERR_NONE);
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_FALSE(client->IsConnected());
    ASSERT_EQ(client->AttachToServer("", "admin", ""), DBIERR_NONE);
    EXPECT_EQ(client->SendRequest(100, b, 4, false, b, 4), DBIERR_NONE);
    EXPECT_EQ(b[0], 4);
  }
}

// A server that goes away between two requests: a request of several parts, whose later parts
// meet the closed connection, fails as a lost connection (not as a fault of the caller's), and
// the client knows it is no longer connected.
TEST(CommsEngineTcp, ARequestToAServerThatWentAwayFailsAsALostConnection) {
  SelectDisplay("offscreen");
  ResetWindowSystem();
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  const std::uint16_t port = ntohs(a.sin_port);

  // The server by hand: it answers the attach and the secure check, then closes.
  constexpr std::uint32_t kSeed = 12345, kClient = 7;
  std::thread server([&] {
    const int s = ::accept(listener, nullptr, nullptr);
    if (s < 0) return;
    auto readPart = [&] {
      std::uint8_t h[kQnHeaderSize];
      std::size_t got = 0;
      while (got < sizeof h) {
        const ssize_t n = ::recv(s, h + got, sizeof h - got, 0);
        if (n <= 0) return;
        got += static_cast<std::size_t>(n);
      }
      std::vector<std::uint8_t> rest(QNGetU32(h + 4) - kQnHeaderSize);
      got = 0;
      while (got < rest.size()) {
        const ssize_t n = ::recv(s, rest.data() + got, rest.size() - got, 0);
        if (n <= 0) return;
        got += static_cast<std::size_t>(n);
      }
    };
    auto reply = [&](std::uint32_t Id, const std::vector<std::uint8_t>& Data) {
      std::vector<std::uint8_t> part(kQnHeaderSize + Data.size());
      TqnMessageHeader h;
      h.MessageID = Id;
      h.PartLength = static_cast<std::uint32_t>(part.size());
      h.TotalDataLength = static_cast<std::uint32_t>(Data.size());
      h.ClientID = kClient;
      h.FirstPart = h.LastPart = 1;
      h.Reserved = 255;
      h.WriteTo(part.data());
      std::copy(Data.begin(), Data.end(), part.begin() + kQnHeaderSize);
      TqnScramblePad pad;
      BuildScramblePad(static_cast<std::int32_t>(kSeed), pad);
      ScrambleMessage(pad, part.data(), part.size());
      ::send(s, part.data(), part.size(), MSG_NOSIGNAL);
    };
    readPart();
    std::vector<std::uint8_t> attach(13, 0);
    PutU32(attach.data(), 0, kClient);
    PutU32(attach.data(), 4, kServerVersion);
    PutU32(attach.data(), 8, kSeed);
    reply(qnmsgAttachServer, attach);
    readPart();
    reply(qnmsgCheckSecureComms, {});
    ::close(s);
  });

  {
    TqnClientCommsEngine client("tester", TqnProtocolKind::TCPIP);
    static_cast<TqnWinsockProtocol&>(client.Transport()).SetPorts(port, port, port);
    client.ReplyTimeOut = 5000;
    ASSERT_EQ(client.AttachToServer("Server@127.0.0.1", "admin", ""), DBIERR_NONE);
    server.join();
    std::vector<std::uint8_t> request(3 * kQnMaxPartData, 0x33);
    std::uint8_t b[4] = {};
    EXPECT_EQ(client.SendRequest(100, request.data(), static_cast<std::uint32_t>(request.size()), false, b, 4),
              DBIERR_NETTIMEOUT);
    EXPECT_FALSE(client.IsConnected());
  }
  if (server.joinable()) server.join();
  ::close(listener);
}

}  // namespace
}  // namespace tw::dbaccess::test

namespace tw::dbaccess::test {
namespace {

// A cursor request as the client table lays it out: cursor id, record length, bookmark size,
// lock type.
std::vector<std::uint8_t> CursorRequest(std::uint8_t Cursor, std::uint32_t RecLen = 2, std::uint32_t BMSize = 2,
                                        std::uint8_t Lock = 0) {
  std::vector<std::uint8_t> r(13, 0);
  r[0] = Cursor;
  PutU32(r.data(), 4, RecLen);
  PutU32(r.data(), 8, BMSize);
  r[12] = Lock;
  return r;
}

std::string Answer(TqnClientCommsEngine& Client, std::uint32_t Id, const std::vector<std::uint8_t>& Request) {
  std::uint8_t reply[2] = {};
  std::vector<std::uint8_t> payload = Request;
  if (Id == 1795) {  // GetBookmark: cursor id and bookmark size
    PutU32(payload.data(), 4, GetU32(Request.data(), 8));
    payload.resize(8);
  }
  if (Client.SendRequest(Id, payload.data(), static_cast<std::uint32_t>(payload.size()), false, reply, 2) !=
      DBIERR_NONE)
    return "<failed>";
  return std::string{static_cast<char>(reply[0])} + std::to_string(reply[1]);
}

TEST_F(CommsEngine, BundledRepliesAnswerOnlyTheCursorThatAsked) {
  ASSERT_EQ(client->AttachToServer("", "admin", ""), DBIERR_NONE);
  // The bookmark that came with cursor 7's read answers cursor 7 without a request.
  EXPECT_EQ(Answer(*client, 2049, CursorRequest(7)), "R7");
  std::size_t sent = requestIds.size();
  EXPECT_EQ(Answer(*client, 1795, CursorRequest(7)), "B7");
  EXPECT_EQ(requestIds.size(), sent);

  // Cursor 8 asks the server, and cursor 7's bookmark is stale after that.
  EXPECT_EQ(Answer(*client, 2049, CursorRequest(7)), "R7");
  EXPECT_EQ(Answer(*client, 1795, CursorRequest(8)), "S8");
  EXPECT_EQ(Answer(*client, 1795, CursorRequest(7)), "S7");

  // After an insert the record read answers the inserting cursor, never another one.
  std::uint8_t none[1];
  ASSERT_EQ(client->SendRequest(2053, CursorRequest(7).data(), 13, false, none, 0), DBIERR_NONE);
  EXPECT_EQ(Answer(*client, 2048, CursorRequest(8)), "R8");
  EXPECT_EQ(Answer(*client, 1795, CursorRequest(8)), "B8");

  // A locking read or other sizes are never answered from what an unlocked read brought.
  sent = requestIds.size();
  ASSERT_EQ(client->SendRequest(2053, CursorRequest(7).data(), 13, false, none, 0), DBIERR_NONE);
  EXPECT_EQ(Answer(*client, 2048, CursorRequest(7, 2, 2, 1)), "R7");
  ASSERT_EQ(client->SendRequest(2053, CursorRequest(7).data(), 13, false, none, 0), DBIERR_NONE);
  EXPECT_EQ(Answer(*client, 1795, CursorRequest(7, 2, 4)), "S7");
  ASSERT_EQ(client->SendRequest(2053, CursorRequest(7).data(), 13, false, none, 0), DBIERR_NONE);
  EXPECT_EQ(Answer(*client, 2048, CursorRequest(7)), "I7");
  EXPECT_EQ(Answer(*client, 1795, CursorRequest(7)), "B7");
  EXPECT_EQ(requestIds.size(), sent + 5);  // three inserts and the two reads that did not match
}

}  // namespace
}  // namespace tw::dbaccess::test
