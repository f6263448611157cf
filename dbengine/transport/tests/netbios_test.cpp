// The NetBIOS transport over the in-process stand-in driver, and "not available" from the
// system's driver.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "dbengine/base/errors.h"
#include "dbengine/transport/netbios.h"
#include "dbengine/transport/servercomms.h"
#include "platform/rtl/tickclock.h"
#include "platform/win/display.h"
#include "transport_fixture.h"

namespace tw::dbengine {
namespace {

using testing::TestBytes;
using testing::TestClient;

class NetBIOSTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    QNSetNetBIOSDriver(&driver);
    server = std::make_unique<TqnServerCommsEngine>(TqnProtocolKind::NetBIOS, "QNSERVER.office");
    server->StartListening();
    clientTransport = new TqnNetBIOSProtocol("", false);
    client = std::make_unique<TestClient>(clientTransport);
    client->alsoPump = [this] { server->Transport().PumpMessages(); };
    clientTransport->SetConnectionCode(server->GetConnectionCode());
  }
  void TearDown() override {
    client.reset();
    delete clientTransport;
    server.reset();
    QNSetNetBIOSDriver(nullptr);
  }
  bool PumpUntil(const std::function<bool()>& Done) {
    for (int i = 0; i < 1000; ++i) {
      if (Done()) return true;
      server->Transport().PumpMessages();
      clientTransport->PumpMessages();
    }
    return Done();
  }
  TqnStandInNetBIOS driver{2};
  std::unique_ptr<TqnServerCommsEngine> server;
  TqnNetBIOSProtocol* clientTransport = nullptr;
  std::unique_ptr<TestClient> client;
};

TEST_F(NetBIOSTest, ServerNameIsAddedAndListenedForOnEveryAdapter) {
  auto& st = static_cast<TqnNetBIOSProtocol&>(server->Transport());
  EXPECT_EQ(st.Lanas(), (std::vector<std::uint8_t>{0, 1}));
  EXPECT_EQ(st.LocalName(), "QNSERVER");
  EXPECT_EQ(st.GetNetName(), "QNSERVER");
  EXPECT_EQ(driver.PendingCount(), 2) << "one listen per adapter";
  EXPECT_TRUE(st.NeedsAcknowledge());
  // A second server of the same name cannot add it.
  try {
    TqnServerCommsEngine twin(TqnProtocolKind::NetBIOS, "QNSERVER");
    twin.StartListening();
    FAIL();
  } catch (const EqnNetBIOSException& e) {
    EXPECT_EQ(e.ErrorCode, qnerrNetBIOSAddName);
    EXPECT_NE(e.Message().find("Name [QNSERVER] could not be added to lana 0"), std::string::npos);
  }
}

TEST_F(NetBIOSTest, RequestAndReplyOverASession) {
  ASSERT_TRUE(client->Connect("QNSERVER"));
  EXPECT_EQ(clientTransport->LocalName().substr(0, 4), "QNC_");
  EXPECT_EQ(clientTransport->LocalName().size(), 15u);
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  LogIn(*client, *server, [this] {
    server->Transport().PumpMessages();
    clientTransport->PumpMessages();
  });
  auto request = TestBytes(4500, 9);
  client->Send(1536, request);  // three parts, each acknowledged
  ASSERT_TRUE(PumpUntil([&] { return !server->Queue().IsEmpty(); }));
  TqnDataMessage* m = server->Queue().Head();
  EXPECT_EQ(m->Data, request);
  auto reply = TestBytes(1000, 4);
  server->SendReply(m->MessageID, m->ClientID, 0, reply.data(), reply.size(), false);
  server->Queue().RemoveHead();
  ASSERT_TRUE(PumpUntil([&] { return !client->replies.IsEmpty(); }));
  EXPECT_EQ(client->replies.Head()->Data, reply);
}

TEST_F(NetBIOSTest, CallMovesToTheNextAdapterWhenTheFirstDoesNotConnect) {
  driver.SetLanaUnreachable(0, true);
  ASSERT_TRUE(client->Connect("QNSERVER"));
  auto* c = static_cast<TqnNetBIOSConnection*>(clientTransport->ConnectionAt(0));
  EXPECT_EQ(c->Lana(), 1);
  driver.SetLanaUnreachable(1, true);
  EXPECT_EQ(clientTransport->Connect("QNSERVER"), 0u);
  EXPECT_EQ(clientTransport->Connect("NOBODY"), 0u);
}

TEST_F(NetBIOSTest, SessionLossHangsBothEndsUp) {
  ASSERT_TRUE(client->Connect("QNSERVER"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  driver.BreakSessions(qnnrcSessionClosed);
  ASSERT_TRUE(PumpUntil([&] {
    return server->Transport().ConnectionCount() == 0 && clientTransport->ConnectionCount() == 0;
  }));
  EXPECT_EQ(client->hangUps, 1);
  TqnDataMessage* m = server->Queue().Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->MessageID, qnmsgDetachJustInCase);
}

TEST_F(NetBIOSTest, ClosingTheClientEndsTheServerSession) {
  ASSERT_TRUE(client->Connect("QNSERVER"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  client.reset();
  delete clientTransport;
  clientTransport = new TqnNetBIOSProtocol("", false);
  client = std::make_unique<TestClient>(clientTransport);
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 0; }));
}

TEST_F(NetBIOSTest, ServerQueryByBroadcastAndDatagramsCutTo128Bytes) {
  std::string station, from;
  std::size_t lastLength = 0;
  clientTransport->OnDatagramReceived = [&](TqnBaseCommsProtocol*, const std::string& a, const std::uint8_t* d,
                                            std::size_t n) {
    std::string net;
    lastLength = n;
    from = a;
    QNParseServerAnswer(d, n, station, net);
  };
  server->Transport().OpenDatagramChannel();
  clientTransport->OpenDatagramChannel();
  auto q = QNMakeServerQuery();
  clientTransport->SendDatagram("", q.data(), q.size());
  ASSERT_TRUE(PumpUntil([&] { return !station.empty(); }));
  EXPECT_EQ(station, "QNSERVER.office");
  EXPECT_EQ(from, "QNSERVER");
  auto big = TestBytes(300);
  server->Transport().SendDatagram(clientTransport->LocalName(), big.data(), big.size());
  ASSERT_TRUE(PumpUntil([&] { return lastLength == 128; }));
}

// A session that never attaches is hung up at both ends when its time to attach is over.
TEST_F(NetBIOSTest, ASessionThatDoesNotAttachInTimeIsHungUp) {
  TqnCommsLimits limits;
  limits.AttachTimeOut = 2000;
  server->SetLimits(limits);
  std::uint32_t now = 1000;
  SetTickSource([&] { return now; });
  ASSERT_TRUE(client->Connect("QNSERVER"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  now += 1999;
  server->Transport().PumpMessages();
  EXPECT_EQ(server->Transport().ConnectionCount(), 1);
  now += 1;
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 0 && client->hangUps == 1; }));
  SetTickSource({});
}

// Sessions whose attaches came in while the server was busy past their time are not hung up
// before the server has taken what came.
TEST_F(NetBIOSTest, AttachesThatCameInWhileTheServerWasBusyAreTaken) {
  TqnCommsLimits limits;
  limits.AttachTimeOut = 2000;
  server->SetLimits(limits);
  std::uint32_t now = 1000;
  SetTickSource([&] { return now; });
  TqnNetBIOSProtocol otherTransport("", false);
  TestClient other(&otherTransport);
  otherTransport.SetConnectionCode(server->GetConnectionCode());
  ASSERT_TRUE(client->Connect("QNSERVER") && other.Connect("QNSERVER"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 2; }));
  now += 3000;
  client->Send(qnmsgAttachServer, std::vector<std::uint8_t>(64, 0));
  other.Send(qnmsgAttachServer, std::vector<std::uint8_t>(64, 0));
  for (int i = 0; i < 50; ++i) server->Transport().PumpMessages();
  EXPECT_EQ(server->Transport().ConnectionCount(), 2);
  EXPECT_EQ(server->Queue().ReadyCount(), 2u);
  SetTickSource({});
}

TEST_F(NetBIOSTest, ReplyToAClientThatNeverAcknowledgesGivesUpInsteadOfHanging) {
  ASSERT_TRUE(client->Connect("QNSERVER"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  const std::uint32_t id = server->Transport().ConnectionAt(0)->Id();
  TqnCommsLimits limits;
  limits.AttachTimeOut = 0xFFFFFFFFu;  // the client never attaches; what is looked at is the wait
  server->SetLimits(limits);
  std::uint32_t now = 0;
  SetTickSource([&] { return now += 250; });  // every look at the clock moves it on
  auto reply = TestBytes(5000);
  server->SendReply(1280, id, 0, reply.data(), reply.size(), false);  // the client does not pump
  SetTickSource({});
  EXPECT_GE(now, kQnAcknowledgeWait);
  // Only the first part went out: the rest was not pushed at a client that stopped answering.
  ASSERT_TRUE(PumpUntil([&] { return !client->replies.IsEmpty() || client->replies.IncompleteCount() == 1; }));
  EXPECT_EQ(client->replies.IncompleteCount(), 1);
}

TEST(NetBIOSDriverMissing, CreateFailsWithDriverNotFound) {
  SelectDisplay("offscreen");
  ResetWindowSystem();
  try {
    TqnNetBIOSProtocol p("Server", true);
    FAIL();
  } catch (const EqnNetBIOSException& e) {
    EXPECT_EQ(e.ErrorCode, qnerrNetBIOSNotFound);
    EXPECT_EQ(e.Message(), "NetBIOS communications: NetBIOS driver not found");
  }
}

}  // namespace
}  // namespace tw::dbengine
