// Two single-user transports in one process on the offscreen display: probing, attaching,
// request and reply in parts, hang-ups and the partner checks.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "dbengine/base/errors.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/transport/commswindow.h"
#include "dbengine/transport/servercomms.h"
#include "dbengine/transport/singleuser.h"
#include "platform/rtl/tickclock.h"
#include "platform/win/display.h"
#include "transport_fixture.h"

namespace tw::dbengine {
namespace {

using testing::TestBytes;
using testing::TestClient;

class SingleUserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    QNSetLogPath("/tmp/tw_transport_log_" + std::to_string(getpid()) + ".log");
    handler = QNCreateCommsWindow(
        [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
          if (m == kQnRequestComplete) ++completeNotes;
          return DefWindowProc(h, m, w, l);
        },
        true);
    server = std::make_unique<TqnServerCommsEngine>(TqnProtocolKind::SingleUser, "SingleEXE");
    server->SetHandlerWindow(handler);
    server->StartListening();
    clientTransport = new TqnSingleUserProtocol("", false);
    client = std::make_unique<TestClient>(clientTransport);
    client->transport->SetConnectionCode(server->GetConnectionCode());
  }
  void TearDown() override {
    client.reset();
    delete clientTransport;
    server.reset();
    QNDestroyCommsWindow(handler);
    std::remove(QNLogPath().c_str());
  }

  // Destroys the client end, as a program that closes its session does, and puts a fresh,
  // unconnected one in its place.
  void ReplaceClient() {
    client.reset();
    delete clientTransport;
    clientTransport = new TqnSingleUserProtocol("", false);
    client = std::make_unique<TestClient>(clientTransport);
  }
  // The server has queued the detach of the connection that went away.
  void ExpectDetachQueued() {
    TqnDataMessage* m = server->Queue().Head();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->MessageID, qnmsgDetachJustInCase);
  }

  // Handles every complete request by echoing it back reversed, as a command handler would.
  int ServeAll() {
    int served = 0;
    while (TqnDataMessage* m = server->Queue().Head()) {
      std::vector<std::uint8_t> reply(m->Data.rbegin(), m->Data.rend());
      if (m->MessageID != qnmsgDetachJustInCase)
        server->SendReply(m->MessageID, m->ClientID, 0, reply.data(), reply.size(), false);
      server->Queue().RemoveHead();
      ++served;
    }
    return served;
  }

  HWND handler = 0;
  int completeNotes = 0;
  std::unique_ptr<TqnServerCommsEngine> server;
  TqnSingleUserProtocol* clientTransport = nullptr;
  std::unique_ptr<TestClient> client;
};

TEST_F(SingleUserTest, ProbeFindsTheListeningTransportAndBothSidesHoldTheConnection) {
  ASSERT_TRUE(client->Connect());
  EXPECT_EQ(server->Transport().ConnectionCount(), 1);
  EXPECT_EQ(clientTransport->ConnectionCount(), 1);
  EXPECT_TRUE(clientTransport->CheckTimerRunning());
  EXPECT_EQ(server->Transport().GetStationName(), "SingleEXE");
  EXPECT_EQ(server->Transport().GetNetName(), "");
  // A calling transport answers no probe, and a server cannot call.
  TqnSingleUserProtocol other("", false);
  EXPECT_EQ(tw::SendMessage(other.Window(), other.ProbeMessage(), 0, 0), 0);
  try {
    server->Transport().Connect("");
    FAIL();
  } catch (const EqnCommsException& e) {
    EXPECT_EQ(e.ErrorCode, qnerrServerCannotCall);
    EXPECT_EQ(e.Message(), "Servers cannot issue call requests, they only listen");
  }
}

TEST_F(SingleUserTest, WithoutAListeningTransportConnectGivesZero) {
  server.reset();
  EXPECT_EQ(clientTransport->Connect(""), 0u);
  EXPECT_EQ(clientTransport->ConnectionCount(), 0);
}

TEST_F(SingleUserTest, RequestAndReplyTravelInAcknowledgedScrambledParts) {
  ASSERT_TRUE(client->Connect());
  const std::uint32_t serverSide = server->Transport().ConnectionAt(0)->Id();
  LogIn(*client, *server, [] { ProcessMessages(); });
  ProcessMessages();  // the attach request's notice
  completeNotes = 0;
  auto request = TestBytes(5000, 3);
  client->Send(2056, request);
  EXPECT_EQ(completeNotes, 0) << "posted, not sent";
  ProcessMessages();
  EXPECT_EQ(completeNotes, 1);
  TqnDataMessage* m = server->Queue().Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->MessageID, 2056u);
  EXPECT_EQ(m->ClientID, serverSide);
  EXPECT_EQ(m->Data, request);
  std::vector<std::uint8_t> reply(7000, 0x5A);
  server->SendReply(2056, serverSide, 0, reply.data(), reply.size(), true);
  server->Queue().RemoveHead();
  TqnDataMessage* r = client->replies.Head();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->MessageID, 2056u);
  EXPECT_EQ(r->Data, reply);
  EXPECT_TRUE(r->DataIsStream);
}

// The program's own connection: the largest request a valid client sends is taken whole; one
// beyond the size limit, or one the server has no room for, is answered "Insufficient memory"
// after its last part, and the connection goes on.
TEST_F(SingleUserTest, LargestRequestIsTakenAndLongerOnesAreAnsweredNotHungUp) {
  ASSERT_TRUE(client->Connect());
  LogIn(*client, *server, [] { ProcessMessages(); });
  ProcessMessages();
  while (server->Queue().Head()) server->Queue().RemoveHead();
  const auto largest = TestBytes(kQnLargestRequest, 7);
  client->Send(770, largest);
  ProcessMessages();
  TqnDataMessage* m = server->Queue().Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->MessageID, 770u);
  EXPECT_TRUE(m->Data == largest);
  server->Queue().RemoveHead();

  TqnCommsLimits limits;
  limits.MaxMessageSize = 10000;
  limits.Memory = 6000;
  server->SetLimits(limits);
  for (std::size_t size : {std::size_t{10001}, std::size_t{8000}}) {
    client->Send(1541, TestBytes(size, 3));
    ProcessMessages();
    EXPECT_EQ(server->Queue().Head(), nullptr) << size;
    EXPECT_EQ(server->Queue().IncompleteBytes(), 0u) << size;
    TqnDataMessage* r = client->replies.Head();
    ASSERT_NE(r, nullptr) << size;
    EXPECT_EQ(r->MessageID, 1541u);
    EXPECT_EQ(r->ResultCode, kQnResRequestTooLarge);
    EXPECT_EQ(r->DataLength, 0u);
    client->replies.RemoveHead();
    EXPECT_EQ(server->Transport().ConnectionCount(), 1);
  }
  client->Send(1541, TestBytes(5000, 4));
  ProcessMessages();
  m = server->Queue().Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Data, TestBytes(5000, 4));
}

// A window that connects and never attaches is hung up when the attach time is over; the
// program's client, attached, stays.
TEST_F(SingleUserTest, AConnectionThatDoesNotAttachInTimeIsHungUp) {
  TqnCommsLimits limits;
  limits.AttachTimeOut = 3000;
  server->SetLimits(limits);
  std::uint32_t now = 5000;
  SetTickSource([&] { return now; });
  TqnSingleUserProtocol silent("", false);
  ASSERT_NE(silent.Connect(""), 0u);
  ASSERT_TRUE(client->Connect());
  LogIn(*client, *server, [] { ProcessMessages(); });
  now += 2999;
  server->Transport().PumpMessages();
  EXPECT_EQ(server->Transport().ConnectionCount(), 2);
  now += 1;
  server->Transport().PumpMessages();
  EXPECT_EQ(server->Transport().ConnectionCount(), 1);
  EXPECT_EQ(silent.ConnectionCount(), 0) << "the hang-up reaches the silent window";
  EXPECT_EQ(clientTransport->ConnectionCount(), 1);
  now += 600000;
  server->Transport().PumpMessages();
  EXPECT_EQ(server->Transport().ConnectionCount(), 1);
  SetTickSource({});
}

TEST_F(SingleUserTest, APartSentFromAnotherThreadArrivesThroughTheWindowsThread) {
  ASSERT_TRUE(client->Connect());
  LogIn(*client, *server, [] { ProcessMessages(); });
  ProcessMessages();
  while (server->Queue().Head()) server->Queue().RemoveHead();
  const auto request = TestBytes(100, 7);
  std::atomic<bool> done{false};
  std::thread sender([&] {
    client->Send(2056, request);
    done = true;
  });
  while (!done) ProcessMessages();  // serves the send the other thread makes
  sender.join();
  ProcessMessages();
  TqnDataMessage* m = server->Queue().Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->MessageID, 2056u);
  EXPECT_EQ(m->Data, request);
  EXPECT_EQ(client->hangUps, 0);
}

TEST_F(SingleUserTest, DifferentPadsHangTheClientUpAndLogIt) {
  QNLogRequests = true;  // the options file asked for the request log
  struct LogOff {
    ~LogOff() { QNLogRequests = false; }
  } logOff;
  ASSERT_TRUE(client->Connect());
  client->clientId = server->Transport().ConnectionAt(0)->Id();
  clientTransport->SetConnectionCode(server->GetConnectionCode() ^ 0x1234);  // a wrong password
  client->Send(qnmsgCheckSecureComms, {});
  EXPECT_EQ(server->Transport().ConnectionCount(), 0);
  EXPECT_EQ(clientTransport->ConnectionCount(), 0) << "the hang-up reached the client at once";
  EXPECT_EQ(client->hangUps, 1);
  TqnDataMessage* m = server->Queue().Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->MessageID, qnmsgDetachJustInCase);
  std::ifstream log(QNLogPath());
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_NE(text.str().find("Hanging up due to bad client password"), std::string::npos);
}

TEST_F(SingleUserTest, AttachRequestTravelsPlainWhateverThePad) {
  ASSERT_TRUE(client->Connect());
  clientTransport->SetConnectionCode(0x77);  // pads differ, attach still arrives intact
  client->clientId = 0;
  auto data = TestBytes(40);
  client->Send(qnmsgAttachServer, data);
  TqnDataMessage* m = server->Queue().Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Data, data);
}

TEST_F(SingleUserTest, DestroyingTheClientDropsTheServerConnectionAtOnce) {
  ASSERT_TRUE(client->Connect());
  ReplaceClient();
  EXPECT_EQ(server->Transport().ConnectionCount(), 0);
  ExpectDetachQueued();
}

TEST_F(SingleUserTest, ServerHangUpReachesTheClient) {
  ASSERT_TRUE(client->Connect());
  server->Transport().HangUp(server->Transport().ConnectionAt(0)->Id());
  EXPECT_EQ(clientTransport->ConnectionCount(), 0);
  EXPECT_EQ(client->hangUps, 1);
}

TEST_F(SingleUserTest, SilentPartnerIsHungUpAtTheHundredTwentyFirstCheck) {
  ASSERT_TRUE(client->Connect());
  auto& st = static_cast<TqnSingleUserProtocol&>(server->Transport());
  for (int i = 0; i < 120; ++i) st.CheckPartners();
  EXPECT_EQ(st.ConnectionCount(), 1);
  st.CheckPartners();
  EXPECT_EQ(st.ConnectionCount(), 0);
  EXPECT_EQ(clientTransport->ConnectionCount(), 0);
}

TEST_F(SingleUserTest, KeepAlivesOfALivingPartnerPreventTheHangUp) {
  ASSERT_TRUE(client->Connect());
  auto& st = static_cast<TqnSingleUserProtocol&>(server->Transport());
  for (int i = 0; i < 300; ++i) {
    st.CheckPartners();
    clientTransport->CheckPartners();
  }
  EXPECT_EQ(st.ConnectionCount(), 1);
  EXPECT_EQ(clientTransport->ConnectionCount(), 1);
}

// A client waiting inside a long request pumps only its own windows, so its server's
// keep-alives stay unsent; the server taking the client's keep-alives is enough.
TEST_F(SingleUserTest, ClientKeepsAServerThatTakesItsKeepAlives) {
  ASSERT_TRUE(client->Connect());
  for (int i = 0; i < 300; ++i) clientTransport->CheckPartners();
  EXPECT_EQ(clientTransport->ConnectionCount(), 1);
  EXPECT_EQ(server->Transport().ConnectionCount(), 1);
}

TEST_F(SingleUserTest, PartnerChecksRunOnTheWindowTimer) {
  ASSERT_TRUE(client->Connect());
  // Only the server's timer runs; the client's is stopped, so the client falls silent.
  KillTimer(clientTransport->Window(), 1);
  for (int i = 0; i < 125; ++i) {
    AdvanceTime(1000);
    ProcessMessages();
  }
  EXPECT_EQ(server->Transport().ConnectionCount(), 0);
}

TEST_F(SingleUserTest, EmptyPartArrivesAsALengthZeroRecordAndIsRefused) {
  ASSERT_TRUE(client->Connect());
  clientTransport->SendMessage(client->connection, nullptr, 0);
  EXPECT_EQ(server->Transport().ConnectionCount(), 0) << "a part without a header is refused";
}

TEST_F(SingleUserTest, FirstListeningWindowInEnumerationOrderIsTaken) {
  TqnServerCommsEngine second(TqnProtocolKind::SingleUser, "Second");
  second.StartListening();
  HWND first = 0;
  EnumWindows(
      [](HWND h, LPARAM l) {
        auto* out = reinterpret_cast<HWND*>(l);
        if (*out == 0 && tw::SendMessage(h, RegisterWindowMessage("TqnSingleUserProbe"), 0, 0) == 0x4646) {
          *out = h;
          return false;
        }
        return true;
      },
      reinterpret_cast<LPARAM>(&first));
  ASSERT_TRUE(client->Connect());
  auto* c = static_cast<TqnSingleUserConnection*>(clientTransport->ConnectionAt(0));
  EXPECT_EQ(c->PartnerWindow(), first);
}

TEST_F(SingleUserTest, ClientLostInTheMiddleOfARequestLeavesNoHalfMessage) {
  ASSERT_TRUE(client->Connect());
  LogIn(*client, *server, [] { ProcessMessages(); });
  // Only the first of three parts is sent, then the client goes away.
  client->SendFirstPartOnly(1280, TestBytes(5000, 9));
  EXPECT_EQ(server->Queue().IncompleteCount(), 1);
  ReplaceClient();
  EXPECT_EQ(server->Queue().IncompleteCount(), 0);
  ExpectDetachQueued();
}

TEST_F(SingleUserTest, SendToAVanishedPartnerHangsUpAtOnce) {
  ASSERT_TRUE(client->Connect());
  auto& st = static_cast<TqnSingleUserProtocol&>(server->Transport());
  DestroyWindow(st.Window());  // the partner disappears without sending its hang-up
  auto request = TestBytes(10);
  clientTransport->SendMessage(client->connection, request.data(), request.size());
  EXPECT_EQ(clientTransport->ConnectionCount(), 0) << "the caller hears of the loss now, not after 120 s";
  EXPECT_EQ(client->hangUps, 1);
}

TEST_F(SingleUserTest, ReplyWaitsForTheAcknowledgementOfItsOwnConnectionOnly) {
  // Client A takes parts and never acknowledges; client B acknowledges while the server waits
  // for A.  B's acknowledgement must not let the rest of A's reply go out unacknowledged.
  ASSERT_TRUE(client->Connect());
  const std::uint32_t a = server->Transport().ConnectionAt(0)->Id();
  int partsAtA = 0;
  clientTransport->OnMessageReceived = [&](TqnBaseCommsProtocol*, std::uint32_t, std::uint8_t*, std::size_t) {
    ++partsAtA;
    return true;
  };
  TqnSingleUserProtocol bTransport("", false);
  TestClient b(&bTransport);
  bTransport.SetConnectionCode(server->GetConnectionCode());
  ASSERT_TRUE(b.Connect());
  ASSERT_EQ(server->Transport().ConnectionCount(), 2);
  b.clientId = server->Transport().ConnectionAt(0)->Id() == a ? server->Transport().ConnectionAt(1)->Id()
                                                               : server->Transport().ConnectionAt(0)->Id();
  constexpr UINT kSendForeignAck = WM_USER + 7;
  HWND pump = QNCreateCommsWindow(
      [&](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == kSendForeignAck) {
          auto ack = QNMakeAcknowledge(b.clientId);
          bTransport.SendMessage(b.connection, ack.data(), ack.size());
          return 0;
        }
        return DefWindowProc(h, msg, w, l);
      },
      true);
  server->SetHandlerWindow(pump);  // the server's idle pump runs this window's messages
  PostMessage(pump, kSendForeignAck, 0, 0);
  TqnCommsLimits limits;
  limits.AttachTimeOut = 0xFFFFFFFFu;  // neither client attaches; what is looked at is the wait
  server->SetLimits(limits);
  std::uint32_t now = 5000;
  SetTickSource([&] { return now += 250; });
  std::vector<std::uint8_t> reply(5000, 0x21);
  server->SendReply(2049, a, 0, reply.data(), reply.size(), false);
  SetTickSource({});
  EXPECT_EQ(partsAtA, 1) << "the reply gave up after A's silence instead of sending on";
  EXPECT_EQ(server->Transport().ConnectionCount(), 2);
  QNDestroyCommsWindow(pump);
}

TEST_F(SingleUserTest, StaleOrForeignParcelIdsAreIgnored) {
  ASSERT_TRUE(client->Connect());
  auto& st = static_cast<TqnSingleUserProtocol&>(server->Transport());
  // A record naming a parcel that is not live, or that another window registered.
  EXPECT_EQ(tw::SendMessage(st.Window(), st.RecordMessage(), clientTransport->Window(), 123456), 0);
  EXPECT_EQ(tw::SendMessage(st.Window(), st.RecordMessage(), 999, 1), 0);
  EXPECT_EQ(st.ConnectionCount(), 1);
}

}  // namespace
}  // namespace tw::dbengine
