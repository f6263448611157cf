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
      FStreamPort(Family == qnafIpx ? kQnSpxPort : kQnStreamPort) {
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
  QNDestroyCommsWindow(FWindow);
}

void TqnWinsockProtocol::SetPorts(std::uint16_t Stream, std::uint16_t DatagramServer, std::uint16_t DatagramClient) {
  FStreamPort = Stream;
  FDatagramServerPort = DatagramServer;
  FDatagramClientPort = DatagramClient;
}

void TqnWinsockProtocol::Select(int Socket, long Events) { FSelected[Socket] = Selection{Events, 0}; }
void TqnWinsockProtocol::Unselect(int Socket) { FSelected.erase(Socket); }

void TqnWinsockProtocol::PollSockets() {
  for (auto& [socket, sel] : FSelected) {
    const long want = sel.Wanted & ~sel.Posted;
    if (want == 0) continue;
    int error = 0;
    const long ready = Api().ReadyEvents(socket, want, error);
    for (long bit = 1; bit <= qnfdClose; bit <<= 1) {
      if (!(ready & bit)) continue;
      sel.Posted |= bit;
      PostMessage(FWindow, kQnSocketEvent, static_cast<WPARAM>(socket),
                  MAKELPARAM(static_cast<unsigned>(bit), static_cast<unsigned>(bit == qnfdConnect ? error : 0)));
    }
  }
}

void TqnWinsockProtocol::PumpMessages() {
  PollSockets();
  QNPumpOneMessage(FWindow);
  TqnBaseCommsProtocol::PumpMessages();
}

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
  if (Api().Listen(FListenSocket, 5) < 0) RaiseWinsock(Api().LastError());
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
  DoHangingUp(ConnectionID);
  RemoveConnection(ConnectionID);
}

void TqnWinsockProtocol::SendMessage(std::uint32_t ConnectionID, const std::uint8_t* Data, std::size_t Length) {
  auto* c = static_cast<TqnWinsockConnection*>(FindConnection(ConnectionID));
  if (c == nullptr) return;
  std::uint8_t buffer[kQnMaxPartSize];
  Length = std::min(Length, kQnMaxPartSize);
  if (Length) std::memcpy(buffer, Data, Length);
  ScrambleMessage(ScramblePad(), buffer, Length);
  const int socket = c->Socket();
  std::size_t sent = 0;
  const std::uint32_t start = QNTickCount();
  while (sent < Length) {
    const int n = Api().Send(socket, buffer + sent, Length - sent);
    if (n >= 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    const int e = Api().LastError();
    if (e == qnwsaEWouldBlock && TickElapsed(start, QNTickCount()) < kQnConnectWait) {
      // Wait for the write event, then send the rest.
      c->SendBlocked = true;
      FSelected[socket].Wanted |= qnfdWrite;
      while (FindConnection(ConnectionID) == c && c->SendBlocked &&
             TickElapsed(start, QNTickCount()) < kQnConnectWait) {
        PumpMessages();
        if (FindConnection(ConnectionID) == c && c->SendBlocked) tw::Sleep(1);
      }
      if (FindConnection(ConnectionID) != c) return;  // hung up meanwhile
      FSelected[socket].Wanted &= ~qnfdWrite;
      continue;
    }
    HangUp(ConnectionID);
    RaiseWinsock(e == qnwsaEWouldBlock ? qnwsaETimedOut : e);
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
  for (int i = 0; i < ConnectionCount(); ++i) {
    auto* c = static_cast<TqnWinsockConnection*>(ConnectionAt(i));
    if (c->Socket() == Socket) return c;
  }
  return nullptr;
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
  if (sel != FSelected.end()) sel->second.Posted &= ~Event;
  switch (Event) {
    case qnfdAccept: {
      if (Error || Socket != FListenSocket) return;
      TqnSockAddr peer;
      const int s = Api().Accept(FListenSocket, peer);
      if (s < 0) return;
      auto* c = new TqnWinsockConnection(this, Api(), s, QNSockAddrText(peer));
      const std::uint32_t id = c->Id();
      Select(s, qnfdRead | qnfdClose);
      AddConnection(c);
      DoConnectionOpened(id);
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
      if (TqnWinsockConnection* c = FindBySocket(Socket)) c->SendBlocked = false;
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
