// The time a connection has to attach, seen from clients on real transports (TCP over the
// loopback address, and the single-user transport) while the server's own loop runs its
// command handler: an attach that arrived in time is answered however long the server takes,
// and a connection that detached is no attached client any more.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "dbengine/base/errors.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/server/comms/server_comms_link.h"
#include "dbengine/transport/commswindow.h"
#include "dbengine/transport/singleuser.h"
#include "dbengine/transport/tests/transport_fixture.h"
#include "dbengine/transport/winsock.h"
#include "platform/rtl/tickclock.h"
#include "platform/win/display.h"

namespace tw::dbengine {
namespace {

using testing::TestClient;

constexpr std::uint32_t kDeadline = 2000;
constexpr std::uint16_t kHungUp = 0xFFFF;

// A loopback port that nobody listens on now (tests run side by side).
std::uint16_t FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
  ::close(s);
  return ntohs(a.sin_port);
}

struct Peer {
  std::unique_ptr<TqnBaseCommsProtocol> Transport;
  std::unique_ptr<TestClient> Client;
  bool Closed() const { return Client->hangUps > 0; }
};

class AttachDeadline : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    QNSetLogPath("/tmp/tw_attach_deadline_" + std::to_string(getpid()) + ".log");
    SetTickSource([this] { return now; });
  }
  void TearDown() override {
    Stop();
    SetTickSource({});
    std::remove(QNLogPath().c_str());
  }

  void Start(bool Tcp, int MaxConnections) {
    tcp = Tcp;
    engine = std::make_unique<TqnServerEngine>();
    if (tcp) {
      auto* t = new TqnTCPIPProtocol("Server@127.0.0.1", true);
      port = FreePort();
      t->SetPorts(port, 0, 0);
      comms = std::make_unique<TqnServerCommsEngine>(t);
    } else {
      comms = std::make_unique<TqnServerCommsEngine>(TqnProtocolKind::SingleUser, "SingleEXE");
    }
    TqnCommsLimits limits;
    limits.MaxConnections = MaxConnections;
    limits.AttachTimeOut = kDeadline;
    comms->SetLimits(limits);
    link = std::make_unique<TqnServerCommsLink>(*engine, *comms);
    handler = QNCreateCommsWindow(
        [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
          if (m != kQnRequestComplete) return DefWindowProc(h, m, w, l);
          if (whileBusy && !comms->Queue().IsEmpty()) std::exchange(whileBusy, nullptr)();
          link->DispatchQueue();
          return 0;
        },
        true);
    comms->SetHandlerWindow(handler);
    comms->StartListening();
    peers.reserve(8);
  }
  void Stop() {
    peers.clear();
    link.reset();
    comms.reset();
    QNDestroyCommsWindow(handler);
    handler = 0;
    engine.reset();
  }

  // One round of the server's loop and of every client.
  void Round() {
    comms->Transport().PumpMessages();
    for (Peer& p : peers) p.Transport->PumpMessages();
  }
  void RunUntil(const std::function<bool()>& Done) {
    for (int i = 0; i < 20000 && !Done(); ++i) {
      Round();
      if (i > 100) tw::Sleep(1);
    }
  }
  void Rounds(int N) {
    for (int i = 0; i < N; ++i) Round();
  }

  // A new client connected; Accepted waits until the server has taken the connection in.
  Peer& Connect(bool Accepted = true) {
    Peer p;
    p.Transport.reset(tcp ? static_cast<TqnBaseCommsProtocol*>(new TqnTCPIPProtocol("Client", false))
                          : new TqnSingleUserProtocol("", false));
    if (tcp) static_cast<TqnTCPIPProtocol*>(p.Transport.get())->SetPorts(port, 0, 0);
    p.Transport->SetConnectionCode(comms->GetConnectionCode());
    p.Client = std::make_unique<TestClient>(p.Transport.get());
    EXPECT_TRUE(p.Client->Connect("127.0.0.1"));
    peers.push_back(std::move(p));
    const int before = comms->Transport().ConnectionCount();
    if (Accepted) RunUntil([&] { return comms->Transport().ConnectionCount() != before || !tcp; });
    return peers.back();
  }

  static void SendAttach(Peer& P, std::size_t Length = 64) {
    P.Client->Send(qnmsgAttachServer, std::vector<std::uint8_t>(Length, 0));
  }
  // The reply's result code once it came, kHungUp when the server hung up instead.
  std::uint16_t Answer(Peer& P) {
    RunUntil([&] { return !P.Client->replies.IsEmpty() || P.Closed(); });
    TqnDataMessage* r = P.Client->replies.Head();
    if (r == nullptr) return kHungUp;
    const auto code = static_cast<std::uint16_t>(r->ResultCode);
    if (r->MessageID == qnmsgAttachServer && code == 0) P.Client->clientId = QNGetU32(r->Data.data());
    P.Client->replies.RemoveHead();
    return code;
  }
  std::uint16_t Request(Peer& P, std::uint32_t MessageID) {
    if (MessageID == qnmsgAttachServer) SendAttach(P);
    else P.Client->Send(MessageID, {});
    return Answer(P);
  }

  std::uint32_t now = 1000;
  bool tcp = true;
  std::uint16_t port = 0;
  std::unique_ptr<TqnServerEngine> engine;
  std::unique_ptr<TqnServerCommsEngine> comms;
  std::unique_ptr<TqnServerCommsLink> link;
  HWND handler = 0;
  std::function<void()> whileBusy;  // runs while the next request is being handled
  std::vector<Peer> peers;
};

TEST_F(AttachDeadline, AnAttachThatArrivedInTimeIsAnsweredHoweverLongTheServerTakes) {
  Start(true, 3);
  Peer& a = Connect();
  ASSERT_EQ(Request(a, qnmsgAttachServer), 0);
  Peer& b = Connect();
  Peer& c = Connect();
  // While a's request runs for three times the deadline, a newcomer connects and b and c send
  // their attaches, which wait in the sockets until the request is done.
  Peer* e = nullptr;
  whileBusy = [&] {
    e = &Connect(false);
    SendAttach(b);
    SendAttach(c);
    now += 3 * kDeadline;
  };
  EXPECT_EQ(Request(a, qnmSessionGetCurrent), 0);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(Answer(b), 0);
  EXPECT_EQ(Answer(c), 0);
  // Every place is held by a client that attached in time: the newcomer is the one turned away.
  SendAttach(*e);
  EXPECT_EQ(Answer(*e), kQnResUserLimit);
  now += 10 * kDeadline;
  Rounds(50);
  EXPECT_EQ(comms->Transport().ConnectionCount(), 3);
  EXPECT_FALSE(a.Closed() || b.Closed() || c.Closed());
  EXPECT_EQ(engine->ClientCount(), 3);

  // An attach that is refused, or whose last part comes without its first, leaves its
  // connection under the deadline (counted from the refusal).
  TqnCommsLimits limits = comms->Limits();
  limits.MaxConnections = 5;
  comms->SetLimits(limits);
  Peer& d = Connect();
  Peer& f = Connect();
  std::uint8_t stray[kQnHeaderSize + 10] = {};
  TqnMessageHeader h;
  h.MessageID = qnmsgAttachServer;
  h.PartLength = sizeof stray;
  h.TotalDataLength = 10;
  h.LastPart = 1;
  h.WriteTo(stray);
  f.Transport->SendMessage(f.Client->connection, stray, sizeof stray);
  now += kDeadline / 2;
  SendAttach(d, 10);
  EXPECT_EQ(Answer(d), qnresInvalidParameter);
  now += kDeadline / 2;
  RunUntil([&] { return f.Closed(); });
  EXPECT_TRUE(f.Closed());
  now += kDeadline / 2 - 1;
  Rounds(50);
  EXPECT_FALSE(d.Closed());
  now += 1;
  RunUntil([&] { return d.Closed(); });
  EXPECT_TRUE(d.Closed());
  EXPECT_EQ(comms->Transport().ConnectionCount(), 3);
}

TEST_F(AttachDeadline, DetachedConnectionsGoBackUnderTheDeadlineAndMakeRoom) {
  for (bool overTcp : {true, false}) {
    SCOPED_TRACE(overTcp ? "TCP" : "single-user");
    Start(overTcp, 3);
    // Three clients attach, detach and stay connected: the limit is full of them.
    for (int i = 0; i < 3; ++i) {
      Peer& p = Connect();
      ASSERT_EQ(Request(p, qnmsgAttachServer), 0);
      ASSERT_EQ(Request(p, qnmsgDetachServer), 0);
    }
    EXPECT_EQ(engine->ClientCount(), 0);
    Peer &first = peers[0], &other = peers[1], &again = peers[2];
    // A new client is served, in place of the one that detached first.
    Peer& newcomer = Connect(false);
    EXPECT_EQ(Request(newcomer, qnmsgAttachServer), 0);
    RunUntil([&] { return first.Closed(); });
    EXPECT_TRUE(first.Closed());
    // A detached connection that goes on sending requests is answered, and still has only the
    // deadline's time; one that attaches again is a client again.
    now += kDeadline / 2;
    EXPECT_EQ(Request(other, qnmSessionGetCurrent), qnresInvalidHandle);
    EXPECT_EQ(Request(again, qnmsgAttachServer), 0);
    now += kDeadline / 2 - 1;
    Rounds(50);
    EXPECT_FALSE(other.Closed());
    now += 1;
    RunUntil([&] { return other.Closed(); });
    EXPECT_TRUE(other.Closed());
    now += 10 * kDeadline;
    Rounds(50);
    EXPECT_FALSE(again.Closed() || newcomer.Closed());
    EXPECT_EQ(comms->Transport().ConnectionCount(), 2);
    EXPECT_EQ(engine->ClientCount(), 2);
    Stop();
  }
}

}  // namespace
}  // namespace tw::dbengine
