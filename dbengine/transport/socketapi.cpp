#include "dbengine/transport/socketapi.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace tw::dbengine {

std::string QNSockAddrText(const TqnSockAddr& A) {
  char buf[40];
  if (A.Family == qnafInet) {
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", A.Address[0], A.Address[1], A.Address[2], A.Address[3]);
    return buf;
  }
  std::string s;
  for (int i = 0; i < 10; ++i) {
    if (i == 4) s += '-';
    std::snprintf(buf, sizeof buf, "%02X", A.Address[static_cast<std::size_t>(i)]);
    s += buf;
  }
  return s;
}

bool QNParseInetAddress(std::string_view Text, TqnSockAddr& A) {
  int part = 0;
  unsigned value = 0;
  int digits = 0;
  TqnSockAddr r;
  r.Family = qnafInet;
  for (std::size_t i = 0; i <= Text.size(); ++i) {
    if (i == Text.size() || Text[i] == '.') {
      if (digits == 0 || part > 3) return false;
      r.Address[static_cast<std::size_t>(part++)] = static_cast<std::uint8_t>(value);
      value = 0;
      digits = 0;
    } else if (Text[i] >= '0' && Text[i] <= '9' && digits < 3) {
      value = value * 10 + static_cast<unsigned>(Text[i] - '0');
      if (value > 255) return false;
      ++digits;
    } else {
      return false;
    }
  }
  if (part != 4) return false;
  r.Port = A.Port;
  A = r;
  return true;
}

bool QNParseIpxAddress(std::string_view Text, TqnSockAddr& A) {
  TqnSockAddr r;
  r.Family = qnafIpx;
  std::size_t n = 0;
  int half = -1;
  for (char c : Text) {
    if (c == '-') continue;
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else return false;
    if (half < 0) {
      half = v;
    } else {
      if (n >= r.Address.size()) return false;
      r.Address[n++] = static_cast<std::uint8_t>(half * 16 + v);
      half = -1;
    }
  }
  if (half >= 0 || n != r.Address.size()) return false;
  r.Port = A.Port;
  A = r;
  return true;
}

namespace {

// ---- The system's sockets -----------------------------------------------------------------------

int MapErrno(int e) {
  switch (e) {
    case EWOULDBLOCK: return qnwsaEWouldBlock;
    case EINPROGRESS: return qnwsaEWouldBlock;
    case EBADF: case ENOTSOCK: return qnwsaENotSock;
    case EAFNOSUPPORT: return qnwsaEAfNoSupport;
    case EADDRINUSE: return qnwsaEAddrInUse;
    case EADDRNOTAVAIL: return qnwsaEAddrNotAvail;
    case ENETUNREACH: return qnwsaENetUnreach;
    case ECONNRESET: case EPIPE: return qnwsaEConnReset;
    case ENOTCONN: return qnwsaENotConn;
    case ETIMEDOUT: return qnwsaETimedOut;
    case ECONNREFUSED: return qnwsaEConnRefused;
    case EHOSTUNREACH: return qnwsaEHostUnreach;
    case EMFILE: case ENFILE: return qnwsaEMFile;
    default: return 10000 + e;
  }
}

sockaddr_in ToInet(const TqnSockAddr& A) {
  sockaddr_in s{};
  s.sin_family = AF_INET;
  std::memcpy(&s.sin_addr, A.Address.data(), 4);
  s.sin_port = htons(A.Port);
  return s;
}

TqnSockAddr FromInet(const sockaddr_in& s) {
  TqnSockAddr a;
  a.Family = qnafInet;
  std::memcpy(a.Address.data(), &s.sin_addr, 4);
  a.Port = ntohs(s.sin_port);
  return a;
}

// The kernel's readiness list: a socket costs something only when it has something to do.
// Level-triggered, so a socket that stays ready comes back until its transport stops watching
// the event; what exactly is ready is then asked of the socket itself (a connect's outcome, a
// close behind the last bytes).
class EpollPoller : public TqnSocketPoller {
 public:
  explicit EpollPoller(TqnSocketApi& Api) : FApi(Api), FEpoll(::epoll_create1(EPOLL_CLOEXEC)) {}
  ~EpollPoller() override {
    if (FEpoll >= 0) ::close(FEpoll);
  }
  void Watch(int S, long Events) override {
    auto it = FWatched.find(S);
    if (Events == 0) {
      if (it == FWatched.end()) return;
      ::epoll_ctl(FEpoll, EPOLL_CTL_DEL, S, nullptr);
      FWatched.erase(it);
      return;
    }
    epoll_event e{};
    if (Events & (qnfdRead | qnfdAccept)) e.events |= EPOLLIN;
    if (Events & qnfdClose) e.events |= EPOLLRDHUP;
    if (Events & (qnfdWrite | qnfdConnect)) e.events |= EPOLLOUT;
    e.data.fd = S;
    if (it == FWatched.end()) {
      if (::epoll_ctl(FEpoll, EPOLL_CTL_ADD, S, &e) == 0) FWatched[S] = Events;
      return;
    }
    if (it->second == Events) return;
    ::epoll_ctl(FEpoll, EPOLL_CTL_MOD, S, &e);
    it->second = Events;
  }
  void Wait(std::vector<TqnReadySocket>& Out, int TimeoutMs) override {
    Out.clear();
    if (FEpoll < 0 || FWatched.empty()) {
      if (TimeoutMs > 0) ::poll(nullptr, 0, TimeoutMs);
      return;
    }
    epoll_event events[256];
    const int n = ::epoll_wait(FEpoll, events, 256, TimeoutMs);
    for (int i = 0; i < n; ++i) {
      const int s = events[i].data.fd;
      auto it = FWatched.find(s);
      if (it == FWatched.end()) continue;
      TqnReadySocket r;
      r.Socket = s;
      r.Events = FApi.ReadyEvents(s, it->second, r.Error);
      if (r.Events) Out.push_back(r);
    }
  }

 private:
  TqnSocketApi& FApi;
  int FEpoll;
  std::map<int, long> FWatched;
};

class SystemSockets : public TqnSocketApi {
 public:
  std::unique_ptr<TqnSocketPoller> NewPoller() override { return std::make_unique<EpollPoller>(*this); }
  // With no descriptor left, a waiting connection can be neither accepted nor left waiting (the
  // listening socket would stay ready for good): a descriptor kept in reserve is given up for a
  // moment to accept that connection and close it at once, which tells its client.
  void ShedPendingConnection(int ListenSocket) override {
    if (FReserve >= 0) ::close(FReserve);
    const int s = ::accept4(ListenSocket, nullptr, nullptr, SOCK_CLOEXEC);
    if (s >= 0) ::close(s);
    FReserve = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  }
  int Socket(int Family, int Type) override {
    if (Family != qnafInet) return Fail(qnwsaEAfNoSupport);
    const int s = ::socket(AF_INET, (Type == qnsockStream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0) return FailErrno();
    if (Type == qnsockStream || Type == qnsockDgram) {
      int one = 1;
      ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    return s;
  }
  int Bind(int S, const TqnSockAddr& A) override {
    sockaddr_in a = ToInet(A);
    return Check(::bind(S, reinterpret_cast<sockaddr*>(&a), sizeof a));
  }
  int Listen(int S, int Backlog) override { return Check(::listen(S, Backlog)); }
  int Accept(int S, TqnSockAddr& Peer) override {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    const int r = ::accept4(S, reinterpret_cast<sockaddr*>(&a), &n, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (r < 0) return FailErrno();
    Peer = FromInet(a);
    return r;
  }
  int Connect(int S, const TqnSockAddr& A) override {
    sockaddr_in a = ToInet(A);
    return Check(::connect(S, reinterpret_cast<sockaddr*>(&a), sizeof a));
  }
  int Send(int S, const std::uint8_t* Data, std::size_t Length) override {
    return CheckSize(::send(S, Data, Length, MSG_NOSIGNAL));
  }
  int Recv(int S, std::uint8_t* Data, std::size_t Length) override { return CheckSize(::recv(S, Data, Length, 0)); }
  int SendTo(int S, const std::uint8_t* Data, std::size_t Length, const TqnSockAddr& To) override {
    sockaddr_in a = ToInet(To);
    return CheckSize(::sendto(S, Data, Length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&a), sizeof a));
  }
  int RecvFrom(int S, std::uint8_t* Data, std::size_t Length, TqnSockAddr& From) override {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    const ssize_t r = ::recvfrom(S, Data, Length, 0, reinterpret_cast<sockaddr*>(&a), &n);
    if (r < 0) return FailErrno();
    From = FromInet(a);
    return static_cast<int>(r);
  }
  int SetBroadcast(int S, bool On) override {
    int v = On ? 1 : 0;
    return Check(::setsockopt(S, SOL_SOCKET, SO_BROADCAST, &v, sizeof v));
  }
  int SetNoDelay(int S, bool On) override {
    int v = On ? 1 : 0;
    return Check(::setsockopt(S, IPPROTO_TCP, TCP_NODELAY, &v, sizeof v));
  }
  int Close(int S) override {
    ::shutdown(S, SHUT_RDWR);
    return Check(::close(S));
  }
  long ReadyEvents(int S, long Wanted, int& Error) override {
    Error = 0;
    pollfd p{S, 0, 0};
    if (Wanted & (qnfdRead | qnfdAccept | qnfdClose)) p.events |= POLLIN | POLLRDHUP;
    if (Wanted & (qnfdWrite | qnfdConnect)) p.events |= POLLOUT;
    if (::poll(&p, 1, 0) <= 0) return 0;
    long ready = 0;
    if (Wanted & qnfdConnect) {
      if (p.revents & (POLLOUT | POLLERR | POLLHUP)) {
        int err = 0;
        socklen_t n = sizeof err;
        ::getsockopt(S, SOL_SOCKET, SO_ERROR, &err, &n);
        Error = err ? MapErrno(err) : 0;
        return qnfdConnect;
      }
      return 0;
    }
    if ((Wanted & qnfdAccept) && (p.revents & POLLIN)) ready |= qnfdAccept;
    if ((Wanted & qnfdWrite) && (p.revents & POLLOUT)) ready |= qnfdWrite;
    if (Wanted & (qnfdRead | qnfdClose)) {
      int waiting = 0;
      ::ioctl(S, FIONREAD, &waiting);
      const bool data = (p.revents & POLLIN) && waiting > 0;
      // Bytes still waiting are read before the close behind them is told; a socket whose
      // reading is paused hears of its peer's close (or a broken connection) at once.
      if (data && (Wanted & qnfdRead)) ready |= qnfdRead;
      else if ((p.revents & (POLLRDHUP | POLLHUP | POLLERR)) || ((p.revents & POLLIN) && !data))
        ready |= (Wanted & qnfdClose);
    }
    return ready;
  }
  int LastError() const override { return last_; }
  bool LocalAddress(int Family, TqnSockAddr& A) override {
    if (Family != qnafInet) {
      last_ = qnwsaEAfNoSupport;
      return false;
    }
    return LookUpHost(HostName(), A) || QNParseInetAddress("127.0.0.1", A);
  }
  bool LookUpHost(std::string_view Name, TqnSockAddr& A) override {
    if (QNParseInetAddress(Name, A)) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* res = nullptr;
    if (::getaddrinfo(std::string(Name).c_str(), nullptr, &hints, &res) != 0 || res == nullptr) {
      last_ = qnwsaHostNotFound;
      return false;
    }
    const std::uint16_t port = A.Port;
    A = FromInet(*reinterpret_cast<sockaddr_in*>(res->ai_addr));
    A.Port = port;
    ::freeaddrinfo(res);
    return true;
  }
  std::string HostName() override {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return "localhost";
    return std::string(buf).substr(0, 31);
  }
  TqnSockAddr BroadcastAddress(int Family, std::uint16_t Port) override {
    TqnSockAddr a;
    a.Family = Family;
    if (Family == qnafInet) std::memset(a.Address.data(), 0xFF, 4);
    else std::memset(a.Address.data() + 4, 0xFF, 6);
    a.Port = Port;
    return a;
  }

 private:
  int Fail(int e) {
    last_ = e;
    return -1;
  }
  int FailErrno() { return Fail(MapErrno(errno)); }
  int Check(int r) { return r < 0 ? FailErrno() : 0; }
  int CheckSize(ssize_t r) { return r < 0 ? FailErrno() : static_cast<int>(r); }
  int last_ = 0;
  int FReserve = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
};

// ---- The in-process stand-in -------------------------------------------------------------------

class StandInSockets : public TqnSocketApi {
  struct Sock {
    int Family = 0, Type = 0;
    bool Bound = false, Listening = false, Broadcast = false;
    TqnSockAddr Local;
    int Peer = -1;            // the other end of a stream
    bool Connecting = false;  // until the connect event was reported
    int ConnectError = 0;
    bool PeerClosed = false;
    std::deque<std::uint8_t> Stream;
    std::deque<std::pair<TqnSockAddr, std::vector<std::uint8_t>>> Datagrams;
    std::deque<int> Pending;  // accepted ends waiting for Accept
  };

 public:
  int Socket(int Family, int Type) override {
    if (Family != qnafInet && Family != qnafIpx) return Fail(qnwsaEAfNoSupport);
    const int id = next_++;
    socks_[id] = std::make_unique<Sock>();
    socks_[id]->Family = Family;
    socks_[id]->Type = Type;
    return id;
  }
  int Bind(int S, const TqnSockAddr& A) override {
    Sock* s = Get(S);
    if (!s) return Fail(qnwsaENotSock);
    for (auto& [id, o] : socks_)
      if (o->Bound && o->Type == s->Type && o->Local.Port == A.Port && o->Family == A.Family && A.Port != 0)
        return Fail(qnwsaEAddrInUse);
    s->Local = Own(A.Family, A.Port == 0 ? static_cast<std::uint16_t>(40000 + S) : A.Port);
    s->Bound = true;
    return 0;
  }
  int Listen(int S, int) override {
    Sock* s = Get(S);
    if (!s || !s->Bound) return Fail(qnwsaENotSock);
    s->Listening = true;
    return 0;
  }
  int Accept(int S, TqnSockAddr& Peer) override {
    Sock* s = Get(S);
    if (!s || !s->Listening) return Fail(qnwsaENotSock);
    if (s->Pending.empty()) return Fail(qnwsaEWouldBlock);
    const int a = s->Pending.front();
    s->Pending.pop_front();
    Sock* peer = Get(Get(a)->Peer);
    Peer = peer ? peer->Local : TqnSockAddr{};
    return a;
  }
  int Connect(int S, const TqnSockAddr& A) override {
    Sock* s = Get(S);
    if (!s) return Fail(qnwsaENotSock);
    if (!s->Bound) Bind(S, Own(s->Family, 0));
    s->Connecting = true;
    for (auto& [id, o] : socks_) {
      if (o->Listening && o->Family == A.Family && o->Local.Port == A.Port && IsOwn(A)) {
        const int a = Socket(s->Family, qnsockStream);
        Sock* as = Get(a);
        as->Local = o->Local;
        as->Bound = true;
        as->Peer = S;
        s->Peer = a;
        o->Pending.push_back(a);
        return Fail(qnwsaEWouldBlock);
      }
    }
    s->ConnectError = qnwsaEConnRefused;
    return Fail(qnwsaEWouldBlock);
  }
  int Send(int S, const std::uint8_t* Data, std::size_t Length) override {
    Sock* s = Get(S);
    if (!s) return Fail(qnwsaENotSock);
    Sock* p = Get(s->Peer);
    if (!p) return Fail(qnwsaENotConn);
    p->Stream.insert(p->Stream.end(), Data, Data + Length);
    return static_cast<int>(Length);
  }
  int Recv(int S, std::uint8_t* Data, std::size_t Length) override {
    Sock* s = Get(S);
    if (!s) return Fail(qnwsaENotSock);
    if (s->Stream.empty()) return s->PeerClosed ? 0 : Fail(qnwsaEWouldBlock);
    const std::size_t n = std::min(Length, s->Stream.size());
    std::copy(s->Stream.begin(), s->Stream.begin() + static_cast<long>(n), Data);
    s->Stream.erase(s->Stream.begin(), s->Stream.begin() + static_cast<long>(n));
    return static_cast<int>(n);
  }
  int SendTo(int S, const std::uint8_t* Data, std::size_t Length, const TqnSockAddr& To) override {
    Sock* s = Get(S);
    if (!s) return Fail(qnwsaENotSock);
    if (!s->Bound) Bind(S, Own(s->Family, 0));
    const bool broadcast = To == BroadcastAddress(To.Family, To.Port);
    if (broadcast && !s->Broadcast) return Fail(10013);  // WSAEACCES
    for (auto& [id, o] : socks_)
      if (o->Type == qnsockDgram && o->Bound && o->Family == To.Family && o->Local.Port == To.Port &&
          (broadcast || IsOwn(To)))
        o->Datagrams.emplace_back(s->Local, std::vector<std::uint8_t>(Data, Data + Length));
    return static_cast<int>(Length);
  }
  int RecvFrom(int S, std::uint8_t* Data, std::size_t Length, TqnSockAddr& From) override {
    Sock* s = Get(S);
    if (!s) return Fail(qnwsaENotSock);
    if (s->Datagrams.empty()) return Fail(qnwsaEWouldBlock);
    auto d = std::move(s->Datagrams.front());
    s->Datagrams.pop_front();
    From = d.first;
    const std::size_t n = std::min(Length, d.second.size());
    std::copy(d.second.begin(), d.second.begin() + static_cast<long>(n), Data);
    return static_cast<int>(n);
  }
  int SetBroadcast(int S, bool On) override {
    Sock* s = Get(S);
    if (!s) return Fail(qnwsaENotSock);
    s->Broadcast = On;
    return 0;
  }
  int SetNoDelay(int S, bool) override { return Get(S) ? 0 : Fail(qnwsaENotSock); }
  int Close(int S) override {
    Sock* s = Get(S);
    if (!s) return Fail(qnwsaENotSock);
    if (Sock* p = Get(s->Peer)) {
      p->PeerClosed = true;
      p->Peer = -1;
    }
    for (int a : s->Pending) socks_.erase(a);
    socks_.erase(S);
    return 0;
  }
  long ReadyEvents(int S, long Wanted, int& Error) override {
    Error = 0;
    Sock* s = Get(S);
    if (!s) return 0;
    long r = 0;
    if (s->Connecting && (Wanted & qnfdConnect)) {
      s->Connecting = false;
      Error = s->ConnectError;
      return qnfdConnect;
    }
    if ((Wanted & qnfdAccept) && !s->Pending.empty()) r |= qnfdAccept;
    if (Wanted & qnfdRead) {
      if (!s->Stream.empty() || !s->Datagrams.empty()) r |= qnfdRead;
    }
    if ((Wanted & qnfdClose) && s->PeerClosed && s->Stream.empty()) r |= qnfdClose;
    if (Wanted & qnfdWrite) r |= qnfdWrite;
    return r;
  }
  int LastError() const override { return last_; }
  bool LocalAddress(int Family, TqnSockAddr& A) override {
    A = Own(Family, 0);
    return true;
  }
  bool LookUpHost(std::string_view Name, TqnSockAddr& A) override {
    if (QNParseInetAddress(Name, A)) return true;
    if (Name == "localhost" || Name == "standin") {
      const std::uint16_t port = A.Port;
      A = Own(qnafInet, port);
      return true;
    }
    last_ = qnwsaHostNotFound;
    return false;
  }
  std::string HostName() override { return "standin"; }
  TqnSockAddr BroadcastAddress(int Family, std::uint16_t Port) override {
    TqnSockAddr a;
    a.Family = Family;
    if (Family == qnafInet) std::memset(a.Address.data(), 0xFF, 4);
    else std::memset(a.Address.data() + 4, 0xFF, 6);
    a.Port = Port;
    return a;
  }

 private:
  static TqnSockAddr Own(int Family, std::uint16_t Port) {
    TqnSockAddr a;
    a.Family = Family;
    if (Family == qnafInet) {
      a.Address[0] = 127;
      a.Address[3] = 1;
    } else {
      a.Address[3] = 1;
      a.Address[9] = 1;
    }
    a.Port = Port;
    return a;
  }
  static bool IsOwn(const TqnSockAddr& A) { return A == Own(A.Family, A.Port); }
  Sock* Get(int S) {
    auto it = socks_.find(S);
    return it == socks_.end() ? nullptr : it->second.get();
  }
  int Fail(int e) {
    last_ = e;
    return -1;
  }
  std::map<int, std::unique_ptr<Sock>> socks_;
  int next_ = 1;
  int last_ = 0;
};

TqnSocketApi* g_api = nullptr;

// The default poller asks every watched socket in turn (the stand-in has no kernel to ask).
class ScanningPoller : public TqnSocketPoller {
 public:
  explicit ScanningPoller(TqnSocketApi& Api) : FApi(Api) {}
  void Watch(int S, long Events) override {
    if (Events == 0) FWatched.erase(S);
    else FWatched[S] = Events;
  }
  void Wait(std::vector<TqnReadySocket>& Out, int /*TimeoutMs*/) override {
    Out.clear();
    for (const auto& [s, events] : FWatched) {
      TqnReadySocket r;
      r.Socket = s;
      r.Events = FApi.ReadyEvents(s, events, r.Error);
      if (r.Events) Out.push_back(r);
    }
  }

 private:
  TqnSocketApi& FApi;
  std::map<int, long> FWatched;
};

}  // namespace

std::unique_ptr<TqnSocketPoller> TqnSocketApi::NewPoller() { return std::make_unique<ScanningPoller>(*this); }

TqnSocketApi& QNSystemSocketApi() {
  // Never destroyed: a transport freed during static destruction still closes its sockets here.
  static auto* s = new SystemSockets;
  return *s;
}

TqnSocketApi* QNNewStandInSocketApi() { return new StandInSockets; }

TqnSocketApi& QNSocketApi() { return g_api ? *g_api : QNSystemSocketApi(); }
void QNSetSocketApi(TqnSocketApi* Api) { g_api = Api; }

}  // namespace tw::dbengine
