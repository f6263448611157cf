// The client comms engine against a server comms engine in the same process, on the offscreen
// display: attach, requests and replies in acknowledged parts, cut replies, lost connections.
#include <unistd.h>

#include <algorithm>

#include "dbaccess/commsengine.h"
#include "dbaccess/session.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/transport/servercomms.h"
#include "platform/classes/streams.h"
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
        default: break;
      }
      server->Queue().RemoveHead();
    }
  }
  std::unique_ptr<TqnClientCommsEngine> client;
  std::unique_ptr<TqnServerCommsEngine> server;
  std::vector<std::uint32_t> requestSizes;
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

}  // namespace
}  // namespace tw::dbaccess::test
