// The socket transports: TCP and UDP over the loopback address, IPX/SPX over the in-process
// stand-in, and "not available" from the system's sockets for IPX.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>

#include "dbengine/base/errors.h"
#include "dbengine/transport/servercomms.h"
#include "dbengine/transport/winsock.h"
#include "platform/rtl/tickclock.h"
#include "platform/win/display.h"
#include "loopback_socket.h"
#include "transport_fixture.h"

namespace tw::dbengine {
namespace {

using testing::TestBytes;
using testing::TestClient;

// Each test process owns four ports of its own (three the protocol uses, one nobody listens on),
// so tests running side by side never meet on a port.
// They lie below the range the system hands out to client sockets (32768 and up), so that no
// connection of a test running beside this one holds a port this test listens on.
std::uint16_t TestPort(int offset) { return static_cast<std::uint16_t>(10000 + (getpid() % 5000) * 4 + offset); }

using testing::LoopbackConnect;

class SocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
  }
  void TearDown() override {
    client.reset();
    delete clientTransport;
    server.reset();
    QNSetSocketApi(nullptr);
  }

  template <typename Proto>
  void Start(const std::string& ServerName) {
    auto* st = new Proto(ServerName, true);
    st->SetPorts(TestPort(0), TestPort(1), TestPort(2));
    server = std::make_unique<TqnServerCommsEngine>(st);
    server->StartListening();
    auto* ct = new Proto("Client", false);
    ct->SetPorts(TestPort(0), TestPort(1), TestPort(2));
    clientTransport = ct;
    client = std::make_unique<TestClient>(clientTransport);
    clientTransport->SetConnectionCode(server->GetConnectionCode());
  }

  // Pumps both ends until Done answers true (bounded).
  bool PumpUntil(const std::function<bool()>& Done) {
    for (int i = 0; i < 20000; ++i) {
      if (Done()) return true;
      server->Transport().PumpMessages();
      clientTransport->PumpMessages();
      if (i > 100) tw::Sleep(1);
    }
    return Done();
  }

  void ExchangeRequestAndReply(const std::string& Address) {
    ASSERT_TRUE(client->Connect(Address));
    ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
    LogIn();
    auto request = TestBytes(6000, 5);
    client->Send(1280, request);
    ASSERT_TRUE(PumpUntil([&] { return !server->Queue().IsEmpty(); }));
    TqnDataMessage* m = server->Queue().Head();
    EXPECT_EQ(m->Data, request);
    std::vector<std::uint8_t> reply(4100, 0xA5);
    server->SendReply(m->MessageID, m->ClientID, 0, reply.data(), reply.size(), false);
    server->Queue().RemoveHead();
    ASSERT_TRUE(PumpUntil([&] { return !client->replies.IsEmpty(); }));
    EXPECT_EQ(client->replies.Head()->Data, reply);
  }

  // Pumps both ends, without pausing while they have work, until Done answers true.
  bool PumpFastUntil(const std::function<bool()>& Done) {
    for (int i = 0; i < 2000000; ++i) {
      if (Done()) return true;
      server->Transport().PumpMessages();
      clientTransport->PumpMessages();
      if (i % 1000 == 999) tw::Sleep(0);
    }
    return Done();
  }

  // Sends a whole message that the server must pass over: it is answered with
  // kQnResRequestTooLarge, nothing of it stays in the queue, and the connection stays.
  void ExpectPassedOver(std::uint32_t MessageID, const std::vector<std::uint8_t>& Data) {
    client->Send(MessageID, Data);
    ASSERT_TRUE(PumpUntil([&] { return !client->replies.IsEmpty(); }));
    TqnDataMessage* r = client->replies.Head();
    EXPECT_EQ(r->MessageID, MessageID);
    EXPECT_EQ(r->ResultCode, kQnResRequestTooLarge);
    EXPECT_EQ(r->DataLength, 0u);
    client->replies.RemoveHead();
    EXPECT_TRUE(server->Queue().IsEmpty());
    EXPECT_EQ(server->Queue().IncompleteCount(), 0);
    EXPECT_EQ(server->Queue().IncompleteBytes(), 0u);
    EXPECT_EQ(server->Transport().ConnectionCount(), 1);
  }

  // How many of the sockets the server has closed.
  static int ClosedCount(const std::vector<int>& Sockets) {
    int closed = 0;
    for (int s : Sockets) {
      char c;
      const ssize_t n = recv(s, &c, 1, MSG_DONTWAIT | MSG_PEEK);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) ++closed;
    }
    return closed;
  }

  void LogIn() {
    testing::LogIn(*client, *server, [this] {
      server->Transport().PumpMessages();
      clientTransport->PumpMessages();
      tw::Sleep(0);
    });
  }

  std::unique_ptr<TqnServerCommsEngine> server;
  TqnBaseCommsProtocol* clientTransport = nullptr;
  std::unique_ptr<TestClient> client;
};

TEST_F(SocketTest, TcpCarriesPartsBackToBackWithoutAcknowledgements) {
  Start<TqnTCPIPProtocol>("Server@127.0.0.1");
  EXPECT_FALSE(server->Transport().NeedsAcknowledge());
  EXPECT_EQ(server->Transport().GetNetName(), "127.0.0.1");
  ExchangeRequestAndReply("127.0.0.1");
}

TEST_F(SocketTest, TcpServerWithoutAnAddressListensOnLoopbackOnly) {
  Start<TqnTCPIPProtocol>("Server");
  EXPECT_EQ(server->Transport().GetNetName(), "127.0.0.1");
  ExchangeRequestAndReply("127.0.0.1");
  TqnSockAddr machine;
  machine.Family = qnafInet;
  if (QNSocketApi().LocalAddress(qnafInet, machine) && machine.Address[0] != 127) {
    // The machine's own network address finds nobody listening.
    EXPECT_EQ(clientTransport->Connect(QNSockAddrText(machine)), 0u);
  }
}

TEST_F(SocketTest, LongMessagesBeforeLoginHangTheConnectionUp) {
  Start<TqnTCPIPProtocol>("Server@127.0.0.1");
  ASSERT_TRUE(client->Connect("127.0.0.1"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  client->clientId = server->Transport().ConnectionAt(0)->Id();
  client->Send(1280, TestBytes(kQnMaxDataBeforeLogin + 1));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 0; }));
  EXPECT_EQ(server->Queue().IncompleteCount(), 0);
  TqnDataMessage* m = server->Queue().Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->MessageID, qnmsgDetachJustInCase);
}

TEST_F(SocketTest, UnfinishedMessagesOfAConnectionAreCapped) {
  Start<TqnTCPIPProtocol>("Server@127.0.0.1");
  ASSERT_TRUE(client->Connect("127.0.0.1"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  LogIn();
  // First parts only, each of another message.
  auto firstPartOnly = [&](std::uint32_t Id) {
    client->SendFirstPartOnly(Id, TestBytes(5000, static_cast<std::uint8_t>(Id)));
  };
  for (std::uint32_t id = 1536; id < 1536 + kQnMaxUnfinishedPerConnection; ++id) firstPartOnly(id);
  ASSERT_TRUE(PumpUntil([&] { return server->Queue().IncompleteCount() == kQnMaxUnfinishedPerConnection; }));
  EXPECT_EQ(server->Transport().ConnectionCount(), 1);
  firstPartOnly(1600);
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 0; }));
  EXPECT_EQ(server->Queue().IncompleteCount(), 0);
}

// Parts whose flags and lengths disagree with the total their first part announced: the
// message is never handed on (neither cut short nor stretched), and the connection is hung up
// at once instead of leaving its client waiting for an answer that cannot come.
TEST_F(SocketTest, PartsThatContradictTheAnnouncedLengthHangTheConnectionUp) {
  struct TPart {
    std::uint32_t Data;
    bool First, Last;
  };
  struct TCase {
    const char* What;
    std::uint32_t Total;
    std::vector<TPart> Parts;
  };
  const std::vector<TCase> cases = {
      {"a single part shorter than the total", 100, {{10, true, true}}},
      {"the last part ends short of the total", 3000, {{2024, true, false}, {100, false, true}}},
      {"the last part runs past the total", 2030, {{2024, true, false}, {100, false, true}}},
      {"a middle part runs past the total", 2030, {{2024, true, false}, {100, false, false}, {1, false, true}}},
      {"the total is reached before the last part", 10, {{10, true, false}, {5, false, true}}},
      {"the total is reached by a middle part", 2030, {{2024, true, false}, {6, false, false}, {1, false, true}}},
      {"a middle part arrives twice", 4148,
       {{2024, true, false}, {2024, false, false}, {2024, false, false}, {100, false, true}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    client.reset();
    delete clientTransport;
    clientTransport = nullptr;
    server.reset();
    Start<TqnTCPIPProtocol>("Server@127.0.0.1");
    ASSERT_TRUE(client->Connect("127.0.0.1"));
    ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
    LogIn();
    for (const TPart& p : c.Parts) {
      TqnMessageHeader h;
      h.MessageID = 1280;
      h.PartLength = static_cast<std::uint32_t>(kQnHeaderSize) + p.Data;
      h.TotalDataLength = c.Total;
      h.ClientID = client->clientId;
      h.TimeOut = kQnRequestTimeOut;
      h.FirstPart = p.First;
      h.LastPart = p.Last;
      std::vector<std::uint8_t> part = TestBytes(h.PartLength, 9);
      h.WriteTo(part.data());
      clientTransport->SendMessage(client->connection, part.data(), part.size());
    }
    ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 0; }));
    EXPECT_EQ(server->Queue().IncompleteCount(), 0);
    TqnDataMessage* m = server->Queue().Head();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->MessageID, qnmsgDetachJustInCase);
    server->Queue().RemoveHead();
    EXPECT_EQ(server->Queue().Head(), nullptr);
  }
}

TEST_F(SocketTest, AClientThatTakesNoRepliesHoldsUpNobodyAndIsHungUpAlone) {
  Start<TqnTCPIPProtocol>("Server@127.0.0.1");
  TqnCommsLimits limits;
  limits.ReplyQueueSize = 64u << 20;
  limits.ReplyTimeOut = 500;
  server->SetLimits(limits);
  std::uint32_t now = 1000;
  SetTickSource([&] { return now; });
  ASSERT_TRUE(client->Connect("127.0.0.1"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  LogIn();
  const std::uint32_t benign = server->Transport().ConnectionAt(0)->Id();
  const int raw = LoopbackConnect(TestPort(0), 4096);
  ASSERT_GE(raw, 0);
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 2; }));
  const std::uint32_t slow = server->Transport().ConnectionAt(1)->Id();

  // Far more than the sockets hold, sent to a client that does not read: kept, not waited for.
  const std::vector<std::uint8_t> reply(60000, 0x3C);
  const int replies = 80;
  for (int i = 0; i < replies; ++i) server->SendReply(1538, slow, 0, reply.data(), reply.size(), false);
  EXPECT_GT(server->Transport().UnsentBytes(slow), 0u);
  EXPECT_EQ(server->Transport().ConnectionCount(), 2);

  // The other client is answered as if the slow one were not there.
  auto request = TestBytes(3000, 9);
  client->Send(1280, request);
  ASSERT_TRUE(PumpUntil([&] { return !server->Queue().IsEmpty(); }));
  TqnDataMessage* m = server->Queue().Head();
  ASSERT_EQ(m->ClientID, benign);
  EXPECT_EQ(m->Data, request);
  server->SendReply(m->MessageID, m->ClientID, 0, reply.data(), 100, false);
  server->Queue().RemoveHead();
  ASSERT_TRUE(PumpUntil([&] { return !client->replies.IsEmpty(); }));
  EXPECT_EQ(client->replies.Head()->DataLength, 100u);

  // Once the slow client reads, every byte arrives, in order: each part starts where the one
  // before it ended.
  const std::size_t parts = (reply.size() + kQnMaxPartData - 1) / kQnMaxPartData;
  const std::size_t expected = replies * (reply.size() + parts * kQnHeaderSize);
  std::vector<std::uint8_t> got;
  ASSERT_TRUE(PumpUntil([&] {
    std::uint8_t buf[65536];
    ssize_t n;
    while ((n = recv(raw, buf, sizeof buf, MSG_DONTWAIT)) > 0) got.insert(got.end(), buf, buf + n);
    return got.size() >= expected;
  }));
  EXPECT_EQ(got.size(), expected);
  std::size_t at = 0, seen = 0;
  while (at + 8 <= got.size()) {
    at += QNGetU32(got.data() + at + 4);
    ++seen;
  }
  EXPECT_EQ(at, got.size());
  EXPECT_EQ(seen, replies * parts);
  EXPECT_EQ(server->Transport().UnsentBytes(slow), 0u);

  // Replies left untaken past the time limit hang that client up, and only that one.
  for (int i = 0; i < replies; ++i) server->SendReply(1538, slow, 0, reply.data(), reply.size(), false);
  ASSERT_GT(server->Transport().UnsentBytes(slow), 0u);
  server->Transport().PumpMessages();
  EXPECT_EQ(server->Transport().ConnectionCount(), 2);
  now += 600;
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  EXPECT_EQ(server->Transport().ConnectionAt(0)->Id(), benign);
  EXPECT_EQ(server->Transport().UnsentBytesTotal(), 0u);

  // Past its share of bytes a client is hung up at once.
  const int raw2 = LoopbackConnect(TestPort(0), 4096);
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 2; }));
  limits.ReplyQueueSize = 256 * 1024;
  server->SetLimits(limits);
  const std::uint32_t greedy = server->Transport().ConnectionAt(1)->Id();
  for (int i = 0; i < replies && server->Transport().ConnectionCount() == 2; ++i)
    server->SendReply(1538, greedy, 0, reply.data(), reply.size(), false);
  EXPECT_EQ(server->Transport().ConnectionCount(), 1);
  EXPECT_EQ(server->Transport().ConnectionAt(0)->Id(), benign);
  close(raw);
  close(raw2);
  SetTickSource({});
}

TEST_F(SocketTest, ConnectionsAndMessagesBeyondTheServersLimitsAreRefused) {
  Start<TqnTCPIPProtocol>("Server@127.0.0.1");
  TqnCommsLimits limits;
  limits.MaxConnections = 1;
  limits.MaxMessageSize = 10000;
  limits.Memory = 3000;
  server->SetLimits(limits);
  ASSERT_TRUE(client->Connect("127.0.0.1"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  LogIn();

  // A second connection hears "user limit" in answer to its attach request, then is closed.
  const int raw = LoopbackConnect(TestPort(0));
  ASSERT_GE(raw, 0);
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 2; }));
  std::uint8_t attach[kQnHeaderSize + 64] = {};
  TqnMessageHeader h;
  h.MessageID = qnmsgAttachServer;
  h.PartLength = sizeof attach;
  h.TotalDataLength = 64;
  h.FirstPart = h.LastPart = 1;
  h.WriteTo(attach);
  ASSERT_EQ(send(raw, attach, sizeof attach, 0), static_cast<ssize_t>(sizeof attach));
  std::vector<std::uint8_t> answer;
  ASSERT_TRUE(PumpUntil([&] {
    std::uint8_t buf[256];
    const ssize_t n = recv(raw, buf, sizeof buf, MSG_DONTWAIT);
    if (n > 0) answer.insert(answer.end(), buf, buf + n);
    return n == 0;
  }));
  ASSERT_GE(answer.size(), kQnHeaderSize);
  ASSERT_TRUE(TqnMessageHeader::ReadFrom(answer.data(), answer.size(), h));
  EXPECT_EQ(h.MessageID, qnmsgAttachServer);
  EXPECT_EQ(h.ResultCode, kQnResUserLimit);
  close(raw);
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));

  // A message announced beyond the size limit, and one the memory share has no room for, are
  // answered "Insufficient memory" once their last part came; their bytes are not kept and the
  // client goes on.
  ExpectPassedOver(1538, TestBytes(limits.MaxMessageSize + 1, 3));
  ExpectPassedOver(1539, TestBytes(8000, 4));
  client->Send(1540, TestBytes(2500, 5));
  ASSERT_TRUE(PumpUntil([&] { return !server->Queue().IsEmpty(); }));
  EXPECT_EQ(server->Queue().Head()->Data, TestBytes(2500, 5));
  server->Queue().RemoveHead();

  // Several unfinished messages beyond the memory share hang their connection up.
  client->SendFirstPartOnly(1536, TestBytes(8000, 1));
  client->SendFirstPartOnly(1537, TestBytes(8000, 2));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 0; }));
  EXPECT_EQ(server->Queue().IncompleteCount(), 0);
  EXPECT_EQ(server->Queue().IncompleteBytes(), 0u);
}

TEST_F(SocketTest, TheLargestValidRequestAndReplyTravelWhole) {
  Start<TqnTCPIPProtocol>("Server@127.0.0.1");
  ASSERT_TRUE(client->Connect("127.0.0.1"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  LogIn();
  const auto request = TestBytes(kQnLargestRequest, 7);
  client->Send(770, request);
  ASSERT_TRUE(PumpFastUntil([&] { return !server->Queue().IsEmpty(); }));
  TqnDataMessage* m = server->Queue().Head();
  ASSERT_EQ(m->MessageID, 770u);
  EXPECT_TRUE(m->Data == request);
  const auto reply = TestBytes(kQnLargestReply, 8);
  server->SendReply(1280, m->ClientID, 0, reply.data(), reply.size(), true);
  server->Queue().RemoveHead();
  ASSERT_TRUE(PumpFastUntil([&] { return !client->replies.IsEmpty(); }));
  EXPECT_TRUE(client->replies.Head()->Data == reply);
  EXPECT_EQ(server->Transport().ConnectionCount(), 1);
}

TEST_F(SocketTest, ConnectionsThatDoNotAttachInTimeAreHungUpAndGiveWayToClients) {
  Start<TqnTCPIPProtocol>("Server@127.0.0.1");
  TqnCommsLimits limits;
  limits.MaxConnections = 4;
  limits.AttachTimeOut = 2000;
  server->SetLimits(limits);
  std::uint32_t now = 1000;
  SetTickSource([&] { return now; });
  // Six connections that never say a word: each beyond the fourth takes the place of the oldest.
  std::vector<int> silent;
  for (int i = 0; i < 6; ++i) {
    silent.push_back(LoopbackConnect(TestPort(0)));
    ASSERT_GE(silent.back(), 0);
    ASSERT_TRUE(PumpUntil([&] {
      return server->Transport().ConnectionCount() == std::min(i + 1, 4) && ClosedCount(silent) == std::max(i - 3, 0);
    }));
  }
  now += 500;
  // A client still gets in, at once, in place of the oldest of them.
  ASSERT_TRUE(client->Connect("127.0.0.1"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 4 && ClosedCount(silent) == 3; }));
  while (server->Queue().Head()) server->Queue().RemoveHead();  // the detach notices
  LogIn();
  const std::uint32_t attached = client->clientId;
  // Just before the deadline they stay; past it the silent ones go and the client stays.
  now += 1499;
  for (int i = 0; i < 50; ++i) server->Transport().PumpMessages();
  EXPECT_EQ(server->Transport().ConnectionCount(), 4);
  now += 1;
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1 && ClosedCount(silent) == 6; }));
  EXPECT_EQ(server->Transport().ConnectionAt(0)->Id(), attached);
  while (server->Queue().Head()) server->Queue().RemoveHead();  // the detach notices
  now += 60000;
  client->Send(1280, TestBytes(3000, 2));
  ASSERT_TRUE(PumpUntil([&] { return !server->Queue().IsEmpty(); }));
  EXPECT_EQ(server->Queue().Head()->MessageID, 1280u);
  EXPECT_EQ(server->Transport().ConnectionCount(), 1);
  for (int s : silent) close(s);
  SetTickSource({});
}

TEST_F(SocketTest, ClosingTheClientHangsTheServerSideUp) {
  Start<TqnTCPIPProtocol>("Server@127.0.0.1");
  ASSERT_TRUE(client->Connect("127.0.0.1"));
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 1; }));
  clientTransport->HangUp(client->connection);
  ASSERT_TRUE(PumpUntil([&] { return server->Transport().ConnectionCount() == 0; }));
  TqnDataMessage* m = server->Queue().Head();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->MessageID, qnmsgDetachJustInCase);
}

TEST_F(SocketTest, RefusedConnectionGivesZeroWithoutWaitingOutTheTime) {
  Start<TqnTCPIPProtocol>("Server@127.0.0.1");
  static_cast<TqnWinsockProtocol*>(clientTransport)->SetPorts(TestPort(3), TestPort(1), TestPort(2));
  EXPECT_EQ(clientTransport->Connect("127.0.0.1"), 0u);
  EXPECT_EQ(clientTransport->Connect(""), 0u);
}

TEST_F(SocketTest, ServerQueryIsAnsweredOverLoopbackDatagramsOnCrossedPorts) {
  Start<TqnTCPIPProtocol>("Server@127.0.0.1");
  delete clientTransport;
  auto* ct = new TqnTCPIPProtocol("Client@127.0.0.1", false);
  ct->SetPorts(TestPort(0), TestPort(1), TestPort(2));
  clientTransport = ct;
  client = std::make_unique<TestClient>(ct);
  std::string station, net;
  ct->OnDatagramReceived = [&](TqnBaseCommsProtocol*, const std::string&, const std::uint8_t* d, std::size_t n) {
    QNParseServerAnswer(d, n, station, net);
  };
  server->Transport().OpenDatagramChannel();
  ct->OpenDatagramChannel();
  auto q = QNMakeServerQuery();
  ct->SendDatagram("", q.data(), q.size());  // a broadcast, kept to 127.0.0.1
  ASSERT_TRUE(PumpUntil([&] { return !station.empty(); }));
  EXPECT_EQ(station, "Server");
  EXPECT_EQ(net, "127.0.0.1");
}

TEST_F(SocketTest, IpxSpxWorksOverTheStandInDriver) {
  std::unique_ptr<TqnSocketApi> standIn(QNNewStandInSocketApi());
  QNSetSocketApi(standIn.get());
  Start<TqnIPXSPXProtocol>("Server");
  EXPECT_EQ(server->Transport().GetNetName(), "00000001-000000000001");
  ExchangeRequestAndReply("00000001-000000000001");
  std::string station;
  clientTransport->OnDatagramReceived = [&](TqnBaseCommsProtocol*, const std::string&, const std::uint8_t* d,
                                            std::size_t n) {
    std::string net;
    QNParseServerAnswer(d, n, station, net);
  };
  server->Transport().OpenDatagramChannel();
  clientTransport->OpenDatagramChannel();
  auto q = QNMakeServerQuery();
  clientTransport->SendDatagram("", q.data(), q.size());
  ASSERT_TRUE(PumpUntil([&] { return !station.empty(); }));
  EXPECT_EQ(station, "Server");
  client.reset();
  delete clientTransport;
  clientTransport = nullptr;
  server.reset();
}

TEST_F(SocketTest, IpxIsNotAvailableOnTheSystemSockets) {
  try {
    TqnIPXSPXProtocol p("Server", true);
    FAIL();
  } catch (const EqnCommsException& e) {
    EXPECT_EQ(e.ErrorCode, qnerrWinsockNoLocalAddress);
    EXPECT_EQ(e.Message(), "Winsock communications: Cannot retrieve local address information");
  }
}

TEST_F(SocketTest, ClientsCannotListenAndServersCannotCall) {
  TqnTCPIPProtocol c("Client@127.0.0.1", false);
  EXPECT_THROW(c.StartListening(), EqnCommsException);
  TqnTCPIPProtocol s("Server@127.0.0.1", true);
  EXPECT_THROW(s.Connect("127.0.0.1"), EqnCommsException);
}

TEST(PartAssembler, PartsSplitAcrossReadsAndBackToBack) {
  std::vector<std::uint8_t> stream;
  for (std::uint32_t len : {24u, 100u, 2048u}) {
    std::vector<std::uint8_t> p(len, static_cast<std::uint8_t>(len));
    QNPutU32(p.data() + 4, len);
    stream.insert(stream.end(), p.begin(), p.end());
  }
  TqnPartAssembler a;
  std::vector<std::size_t> got;
  std::size_t pos = 0;
  while (pos < stream.size()) {
    const std::size_t n = std::min<std::size_t>({7, a.Room(), stream.size() - pos});  // dribbles in
    std::memcpy(a.Space(), stream.data() + pos, n);
    a.Added(n);
    pos += n;
    std::size_t len = 0;
    while (a.Next(len) == TqnPartAssembler::Result::Part) {
      EXPECT_EQ(a.Data()[0], static_cast<std::uint8_t>(len));
      got.push_back(len);
      a.Consume(len);
    }
  }
  EXPECT_EQ(got, (std::vector<std::size_t>{24, 100, 2048}));
  EXPECT_EQ(a.Held(), 0u);
  std::uint8_t bad[8] = {0, 0, 0, 0, 0x01, 0x10, 0, 0};  // 4097 bytes announced
  std::memcpy(a.Space(), bad, 8);
  a.Added(8);
  std::size_t len = 0;
  EXPECT_EQ(a.Next(len), TqnPartAssembler::Result::Corrupt);
}

TEST(SocketAddresses, TextsParseAndPrint) {
  TqnSockAddr a;
  EXPECT_TRUE(QNParseInetAddress("127.0.0.1", a));
  EXPECT_EQ(QNSockAddrText(a), "127.0.0.1");
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "a.b.c.d", "1.2.3.4 "})
    EXPECT_FALSE(QNParseInetAddress(bad, a)) << bad;
  EXPECT_TRUE(QNParseIpxAddress("0000ABCD-0123456789ab", a));
  EXPECT_EQ(QNSockAddrText(a), "0000ABCD-0123456789AB");
  for (const char* bad : {"", "0000ABCD-0123456789A", "0000ABCD-0123456789ABCD", "XY00ABCD-0123456789AB"})
    EXPECT_FALSE(QNParseIpxAddress(bad, a)) << bad;
}

}  // namespace
}  // namespace tw::dbengine
