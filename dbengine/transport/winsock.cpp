#include "dbengine/transport/winsock.h"

#include <cstring>
#include <vector>

#include "dbengine/base/errors.h"
#include "dbengine/base/stringres.h"
#include "dbengine/base/timer.h"
#include "dbengine/transport/commswindow.h"
#include "platform/rtl/tickclock.h"

namespace tw::dbengine {

// ---- Part assembler -------------------------------------------------------------------------------

TqnPartAssembler::Result TqnPartAssembler::Next(std::size_t& PartLength) const {
  if (FHeld < 8) return Result::NeedMore;
  const std::uint32_t n = QNGetU32(FBuffer + 4);
  if (n < kQnHeaderSize || n > kQnMaxPartSize) return Result::Corrupt;
  if (FHeld < n) return Result::NeedMore;
  PartLength = n;
  return Result::Part;
}

void TqnPartAssembler::Consume(std::size_t N) {
  N = std::min(N, FHeld);
  std::memmove(FBuffer, FBuffer + N, FHeld - N);
  FHeld -= N;
}

// ---- Connection -----------------------------------------------------------------------------------

TqnWinsockConnection::TqnWinsockConnection(TqnBaseCommsProtocol* Owner, TqnSocketApi& Api, int Socket,
                                           std::string_view Name)
    : TqnConnection(Owner, Name), FApi(Api), FSocket(Socket) {}

TqnWinsockConnection::~TqnWinsockConnection() {
  if (FSocket >= 0) FApi.Close(FSocket);
}

// ---- Transport ----------------------------------------------------------------------------------

namespace {
[[noreturn]] void RaiseWinsock(int Code) { throw EqnWinsockException(Code); }
}  // namespace

TqnWinsockProtocol::TqnWinsockProtocol(std::string_view Name, bool IsServer, int Family)
    : TqnBaseCommsProtocol(Name, IsServer),
      FApi(&QNSocketApi()),
      FFamily(Family),
      FStreamPort(Family == qnafIpx ? kQnSpxPort : kQnStreamPort),
      FPoller(FApi->NewPoller()) {
  SetNeedsAcknowledge(false);
  // The local address: the address part of the name when it is one, else the machine's.  A
  // TCP/IP server without an address listens on the loopback address only: serving the network
  // is a choice the configuration has to make by naming the address.
  std::string station, address;
  SplitServerName(Name, station, address);
  TqnSockAddr a;
  a.Family = Family;
  bool given = address != station && (Family == qnafInet ? QNParseInetAddress(address, a)
                                                         : QNParseIpxAddress(address, a));
  if (!given && IsServer && Family == qnafInet) given = QNParseInetAddress("127.0.0.1", a);
  if (!given && !Api().LocalAddress(Family, a))
    QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrWinsockNoLocalAddress);
  FLocal = a;
  SetNetName(QNSockAddrText(a));
  FWindow = QNCreateCommsWindow([this](HWND h, UINT m, WPARAM w, LPARAM l) { return WindowProc(h, m, w, l); },
                                true);
  if (FWindow == 0) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrNoNotifyWindow);
}

TqnWinsockProtocol::~TqnWinsockProtocol() {
  if (FListenSocket >= 0) Api().Close(FListenSocket);
  if (FDatagramSocket >= 0) Api().Close(FDatagramSocket);
  FreeConnections();
  FBySocket.clear();
  QNDestroyCommsWindow(FWindow);
}

void TqnWinsockProtocol::SetPorts(std::uint16_t Stream, std::uint16_t DatagramServer, std::uint16_t DatagramClient) {
  FStreamPort = Stream;
  FDatagramServerPort = DatagramServer;
  FDatagramClientPort = DatagramClient;
}

void TqnWinsockProtocol::Select(int Socket, long Events) {
  FSelected[Socket] = Selection{Events, 0};
  Rearm(Socket);
}

void TqnWinsockProtocol::Unselect(int Socket) {
  FSelected.erase(Socket);
  FPoller->Watch(Socket, 0);
}

void TqnWinsockProtocol::Rearm(int Socket) {
  auto it = FSelected.find(Socket);
  if (it != FSelected.end()) FPoller->Watch(Socket, it->second.Wanted & ~it->second.Posted);
}

bool TqnWinsockProtocol::PollSockets(int TimeoutMs) {
  FPoller->Wait(FReadySockets, TimeoutMs);
  bool posted = false;
  for (const TqnReadySocket& r : FReadySockets) {
    auto it = FSelected.find(r.Socket);
    if (it == FSelected.end()) continue;
    Selection& sel = it->second;
    const long ready = r.Events & sel.Wanted & ~sel.Posted;
    if (ready == 0) continue;
    for (long bit = 1; bit <= qnfdClose; bit <<= 1) {
      if (!(ready & bit)) continue;
      sel.Posted |= bit;
      PostMessage(FWindow, kQnSocketEvent, static_cast<WPARAM>(r.Socket),
                  MAKELPARAM(static_cast<unsigned>(bit), static_cast<unsigned>(bit == qnfdConnect ? r.Error : 0)));
    }
    Rearm(r.Socket);
    posted = true;
  }
  return posted;
}

void TqnWinsockProtocol::PumpMessages() {
  PollSockets();
  QNPumpOneMessage(FWindow);
  TqnBaseCommsProtocol::PumpMessages();
}

bool TqnWinsockProtocol::WaitForEvents(int TimeoutMs) { return PollSockets(TimeoutMs); }

void TqnWinsockProtocol::PrepareStation() {
  if (!IsServer()) return;
  const int s = Api().Socket(FFamily, qnsockStream);
  if (s < 0) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrWinsockNoSocket);
  TqnSockAddr a = FLocal;
  a.Port = FStreamPort;
  if (Api().Bind(s, a) < 0) {
    const int e = Api().LastError();
    Api().Close(s);
    RaiseWinsock(e);
  }
  FListenSocket = s;
}

void TqnWinsockProtocol::StartListening() {
  if (!IsServer()) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrClientCannotListen);
  if (FListening) return;
  PrepareStationOnce();
  if (FListenSocket < 0) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrWinsockNoSocket);
  if (Api().Listen(FListenSocket, kQnListenBacklog) < 0) RaiseWinsock(Api().LastError());
  Select(FListenSocket, qnfdAccept);
  FListening = true;
}

bool TqnWinsockProtocol::ResolveAddress(std::string_view Text, TqnSockAddr& A) {
  A.Family = FFamily;
  if (FFamily == qnafIpx) return QNParseIpxAddress(Text, A);
  return QNParseInetAddress(Text, A) || Api().LookUpHost(Text, A);
}

std::uint32_t TqnWinsockProtocol::Connect(std::string_view ServerAddress) {
  if (IsServer()) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrServerCannotCall);
  if (ServerAddress.empty()) return 0;
  TqnSockAddr to;
  if (!ResolveAddress(ServerAddress, to)) return 0;
  to.Port = FStreamPort;
  const int s = Api().Socket(FFamily, qnsockStream);
  if (s < 0) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrWinsockNoSocket);
  try {
    Select(s, qnfdConnect);
    FConnecting = true;
    FConnectError = 0;
    if (Api().Connect(s, to) < 0 && Api().LastError() != qnwsaEWouldBlock) {
      FConnecting = false;
      FConnectError = Api().LastError();
    }
    const std::uint32_t start = QNTickCount();
    while (FConnecting && TickElapsed(start, QNTickCount()) < kQnConnectWait) {
      PumpMessages();
      if (FConnecting) tw::Sleep(1);
    }
    Unselect(s);
    if (FConnecting || FConnectError != 0) {
      // No connect event in time, or a refused connection: nothing was opened.
      FConnecting = false;
      Api().Close(s);
      return 0;
    }
    if (FFamily == qnafInet) Api().SetNoDelay(s, false);
    auto* c = new TqnWinsockConnection(this, Api(), s, QNSockAddrText(to));
    const std::uint32_t id = c->Id();
    Select(s, qnfdRead | qnfdClose);
    AddConnection(c);
    FBySocket[s] = c;
    return id;
  } catch (...) {
    Unselect(s);
    Api().Close(s);
    throw;
  }
}

void TqnWinsockProtocol::HangUp(std::uint32_t ConnectionID) {
  auto* c = static_cast<TqnWinsockConnection*>(FindConnection(ConnectionID));
  if (c == nullptr) return;
  Unselect(c->Socket());
  FBySocket.erase(c->Socket());
  FUnsentTotal -= c->UnsentBytes();
  c->Unsent.clear();
  c->UnsentFrom = 0;
  DoHangingUp(ConnectionID);
  RemoveConnection(ConnectionID);
}

std::size_t TqnWinsockProtocol::UnsentBytes(std::uint32_t ConnectionID) const {
  const auto* c = static_cast<const TqnWinsockConnection*>(FindConnection(ConnectionID));
  return c ? c->UnsentBytes() : 0;
}

void TqnWinsockProtocol::StalledConnections(std::uint32_t StallMs, std::vector<std::uint32_t>& Out) const {
  Out.clear();
  if (FUnsentTotal == 0) return;
  const std::uint32_t now = QNTickCount();
  for (const auto& [socket, c] : FBySocket)
    if (c->UnsentBytes() && TickElapsed(c->UnsentSince, now) >= StallMs) Out.push_back(c->Id());
}

bool TqnWinsockProtocol::InputWaiting(std::uint32_t ConnectionID) const {
  const auto* c = static_cast<const TqnWinsockConnection*>(FindConnection(ConnectionID));
  if (c == nullptr) return false;
  auto it = FSelected.find(c->Socket());
  return it != FSelected.end() && (it->second.Posted & qnfdRead) != 0;
}

void TqnWinsockProtocol::KeepUnsent(TqnWinsockConnection* C, const std::uint8_t* Data, std::size_t Length) {
  if (C->UnsentBytes() == 0) {
    C->Unsent.clear();
    C->UnsentFrom = 0;
    C->UnsentSince = QNTickCount();
    Selection& sel = FSelected[C->Socket()];
    sel.Wanted = (sel.Wanted | qnfdWrite) & ~qnfdRead;
    Rearm(C->Socket());
  }
  C->Unsent.insert(C->Unsent.end(), Data, Data + Length);
  FUnsentTotal += Length;
}

bool TqnWinsockProtocol::SendUnsent(TqnWinsockConnection* C) {
  while (C->UnsentBytes()) {
    const int n = Api().Send(C->Socket(), C->Unsent.data() + C->UnsentFrom, C->UnsentBytes());
    if (n < 0) {
      if (Api().LastError() == qnwsaEWouldBlock) return true;
      HangUp(C->Id());
      return false;
    }
    C->UnsentFrom += static_cast<std::size_t>(n);
    FUnsentTotal -= static_cast<std::size_t>(n);
    C->UnsentSince = QNTickCount();
  }
  // All sent: the connection's requests are read again.
  C->Unsent.clear();
  C->UnsentFrom = 0;
  Selection& sel = FSelected[C->Socket()];
  sel.Wanted = (sel.Wanted & ~qnfdWrite) | qnfdRead;
  Rearm(C->Socket());
  return true;
}

void TqnWinsockProtocol::SendMessage(std::uint32_t ConnectionID, const std::uint8_t* Data, std::size_t Length) {
  auto* c = static_cast<TqnWinsockConnection*>(FindConnection(ConnectionID));
  if (c == nullptr) return;
  std::uint8_t buffer[kQnMaxPartSize];
  Length = std::min(Length, kQnMaxPartSize);
  if (Length) std::memcpy(buffer, Data, Length);
  ScrambleMessage(ScramblePad(), buffer, Length);
  // Parts go out in order: behind bytes still waiting, this part waits too.
  if (c->UnsentBytes()) {
    KeepUnsent(c, buffer, Length);
    return;
  }
  std::size_t sent = 0;
  while (sent < Length) {
    const int n = Api().Send(c->Socket(), buffer + sent, Length - sent);
    if (n >= 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    const int e = Api().LastError();
    if (e == qnwsaEWouldBlock) {
      // The socket is full: the rest goes when it can take it, without holding up anyone else.
      KeepUnsent(c, buffer + sent, Length - sent);
      return;
    }
    HangUp(ConnectionID);
    RaiseWinsock(e);
  }
}

void TqnWinsockProtocol::OpenDatagramChannel() {
  if (FDatagramSocket >= 0) return;
  const int s = Api().Socket(FFamily, qnsockDgram);
  if (s < 0) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrWinsockNoSocket);
  TqnSockAddr a = FLocal;
  a.Port = IsServer() ? FDatagramServerPort : FDatagramClientPort;
  Api().SetBroadcast(s, true);
  if (Api().Bind(s, a) < 0) {
    const int e = Api().LastError();
    Api().Close(s);
    RaiseWinsock(e);
  }
  FDatagramSocket = s;
  Select(s, qnfdRead);
}

TqnSockAddr TqnWinsockProtocol::BroadcastTarget(std::uint16_t Port) {
  if (FFamily == qnafInet && FLocal.Address[0] == 127) {
    TqnSockAddr a = FLocal;
    a.Port = Port;
    return a;
  }
  return Api().BroadcastAddress(FFamily, Port);
}

void TqnWinsockProtocol::SendDatagram(std::string_view Address, const std::uint8_t* Data, std::size_t Length) {
  const std::uint16_t port = IsServer() ? FDatagramClientPort : FDatagramServerPort;
  TqnSockAddr to;
  if (Address.empty()) {
    to = BroadcastTarget(port);
  } else {
    if (!ResolveAddress(Address, to)) return;
    to.Port = port;
  }
  const int s = Api().Socket(FFamily, qnsockDgram);
  if (s < 0) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrWinsockNoSocket);
  if (Address.empty()) Api().SetBroadcast(s, true);
  const int r = Api().SendTo(s, Data, std::min(Length, kQnDatagramSize), to);
  const int e = Api().LastError();
  Api().Close(s);
  if (r < 0) RaiseWinsock(e);
}

void TqnWinsockProtocol::CloseDatagramChannel() {
  if (FDatagramSocket < 0) return;
  Unselect(FDatagramSocket);
  Api().Close(FDatagramSocket);
  FDatagramSocket = -1;
}

TqnWinsockConnection* TqnWinsockProtocol::FindBySocket(int Socket) const {
  auto it = FBySocket.find(Socket);
  return it == FBySocket.end() ? nullptr : it->second;
}

void TqnWinsockProtocol::ReadStream(TqnWinsockConnection* C) {
  const std::uint32_t id = C->Id();
  const int n = Api().Recv(C->Socket(), C->Receive.Space(), C->Receive.Room());
  if (n == 0) {
    HangUp(id);
    return;
  }
  if (n < 0) {
    if (Api().LastError() != qnwsaEWouldBlock) HangUp(id);
    return;
  }
  C->Receive.Added(static_cast<std::size_t>(n));
  for (;;) {
    std::size_t len = 0;
    const auto r = C->Receive.Next(len);
    if (r == TqnPartAssembler::Result::NeedMore) return;
    if (r == TqnPartAssembler::Result::Corrupt) {
      HangUp(id);  // the stream lost its framing: nothing after this point can be trusted
      return;
    }
    std::uint8_t part[kQnMaxPartSize];
    std::memcpy(part, C->Receive.Data(), len);
    C->Receive.Consume(len);
    if (!DoMessageReceived(id, part, len)) return;  // refused and hung up
    if (FindConnection(id) != C) return;
  }
}

void TqnWinsockProtocol::HandleEvent(int Socket, long Event, int Error) {
  auto sel = FSelected.find(Socket);
  if (sel != FSelected.end()) {
    sel->second.Posted &= ~Event;
    Rearm(Socket);
  }
  switch (Event) {
    case qnfdAccept: {
      if (Error || Socket != FListenSocket) return;
      // Every connection waiting is taken (up to a bound, so that a flood of them leaves the
      // others their turn): the listening queue is short, and a client whose connection finds
      // it full waits a second or more before the system tries again.
      for (int taken = 0; taken < kQnAcceptsPerEvent; ++taken) {
        TqnSockAddr peer;
        const int s = Api().Accept(FListenSocket, peer);
        if (s < 0) {
          // Out of descriptors: the waiting client is turned away; the served ones go on.
          if (Api().LastError() == qnwsaEMFile) Api().ShedPendingConnection(FListenSocket);
          return;
        }
        auto* c = new TqnWinsockConnection(this, Api(), s, QNSockAddrText(peer));
        const std::uint32_t id = c->Id();
        Select(s, qnfdRead | qnfdClose);
        AddConnection(c);
        FBySocket[s] = c;
        DoConnectionOpened(id);
      }
      return;
    }
    case qnfdConnect:
      // A failed connect ends the wait at once instead of waiting out the time.
      FConnecting = false;
      FConnectError = Error;
      return;
    case qnfdClose:
      if (TqnWinsockConnection* c = FindBySocket(Socket)) HangUp(c->Id());
      return;
    case qnfdWrite:
      if (TqnWinsockConnection* c = FindBySocket(Socket)) SendUnsent(c);
      return;
    case qnfdRead:
      if (Error) return;
      if (Socket == FDatagramSocket) {
        std::uint8_t buf[kQnDatagramSize];
        TqnSockAddr from;
        const int n = Api().RecvFrom(Socket, buf, sizeof buf, from);
        if (n >= 0) DoDatagramReceived(QNSockAddrText(from), buf, static_cast<std::size_t>(n));
      } else if (TqnWinsockConnection* c = FindBySocket(Socket)) {
        ReadStream(c);
      }
      return;
    default:
      return;
  }
}

LRESULT TqnWinsockProtocol::WindowProc(HWND Hwnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == kQnSocketEvent) {
    HandleEvent(static_cast<int>(WParam), LOWORD(static_cast<std::uintptr_t>(LParam)),
                HIWORD(static_cast<std::uintptr_t>(LParam)));
    return 0;
  }
  return DefWindowProc(Hwnd, Msg, WParam, LParam);
}

}  // namespace tw::dbengine
