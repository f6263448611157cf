#include "dbengine/transport/netbios.h"

#include <cstring>
#include <random>

#include "dbengine/base/errors.h"
#include "dbengine/base/stringres.h"
#include "dbengine/base/timer.h"
#include "dbengine/transport/commswindow.h"
#include "platform/rtl/tickclock.h"

namespace tw::dbengine {

namespace {
std::uint32_t NextNcbId() {
  static std::uint32_t next = 0;
  if (++next == 0) ++next;
  return next;
}
}  // namespace

// ---- Connection ---------------------------------------------------------------------------------

TqnNetBIOSConnection::TqnNetBIOSConnection(TqnNetBIOSProtocol* Owner, std::uint8_t LSN, std::uint8_t Lana,
                                           std::string_view Name)
    : TqnConnection(Owner, Name), FProtocol(Owner), FLSN(LSN), FLana(Lana) {
  FReceive.Prepare(Lana);
  FSend.Prepare(Lana);
  FReceive.Done = FSend.Done = true;
}

TqnNetBIOSConnection::~TqnNetBIOSConnection() {
  FProtocol->Cancel(FReceive);
  FProtocol->Cancel(FSend);
  TqnNCB h;
  h.Prepare(FLana);
  h.Command = qnncbHangUp;
  h.LSN = FLSN;
  FProtocol->Driver().Netbios(&h);
  FProtocol->Untrack(FReceive);
  FProtocol->Untrack(FSend);
}

void TqnNetBIOSConnection::PostReceive() {
  FReceive.Prepare(FLana);
  FReceive.Command = qnncbReceive | qnncbAsync;
  FReceive.LSN = FLSN;
  FReceive.Buffer = FReceiveBuffer.data();
  FReceive.Length = static_cast<std::uint16_t>(FReceiveBuffer.size());
  FProtocol->Track(FReceive);
  FProtocol->Issue(FReceive);
}

// ---- Transport -----------------------------------------------------------------------------------

TqnNetBIOSProtocol::TqnNetBIOSProtocol(std::string_view Name, bool IsServer)
    : TqnBaseCommsProtocol(Name, IsServer), FDriver(QNNetBIOSDriver()) {
  if (!FDriver.Loaded()) QNRaiseError<EqnNetBIOSException>(qnGeneralStrings(), qnerrNetBIOSNotFound);
  FWindow = QNCreateCommsWindow([this](HWND h, UINT m, WPARAM w, LPARAM l) { return WindowProc(h, m, w, l); },
                                true);
  if (FWindow == 0) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrNoNotifyWindow);
  FindLanas();
  for (std::uint8_t lana : FLanas) {
    TqnNCB r;
    r.Prepare(lana);
    r.Command = qnncbReset;
    FDriver.Netbios(&r);
  }
  const std::size_t n = FLanas.size();
  FNameNumbers.assign(n, 0);
  FNameAdded.assign(n, false);
  FListens.resize(IsServer ? n : 0);
  for (auto& l : FListens) l.Done = true;
  for (DatagramArea* a : {&FDatagramReceive, &FBroadcastReceive, &FDatagramSend, &FBroadcastSend}) {
    a->Ncbs.resize(n);
    a->Buffers.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      a->Ncbs[i].Prepare(FLanas[i]);
      a->Ncbs[i].Done = true;
    }
  }
}

TqnNetBIOSProtocol::~TqnNetBIOSProtocol() {
  for (DatagramArea* a : {&FDatagramReceive, &FBroadcastReceive, &FDatagramSend, &FBroadcastSend})
    for (TqnNCB& n : a->Ncbs) Cancel(n);
  for (TqnNCB& l : FListens) Cancel(l);
  FreeConnections();
  for (std::size_t i = 0; i < FLanas.size(); ++i) {
    if (!FNameAdded[i]) continue;
    TqnNCB d;
    d.Prepare(FLanas[i]);
    d.Command = qnncbDeleteName;
    QNSetNetBIOSName(d.Name, FLocalName);
    FDriver.Netbios(&d);
  }
  FTracked.clear();
  QNDestroyCommsWindow(FWindow);
}

void TqnNetBIOSProtocol::FindLanas() {
  std::uint8_t answer[256] = {};
  TqnNCB e;
  e.Prepare(0);
  e.Command = qnncbEnum;
  e.Buffer = answer;
  e.Length = sizeof answer;
  if (FDriver.Netbios(&e) == qnnrcOk) {
    for (int i = 0; i < answer[0] && i < 255; ++i) FLanas.push_back(answer[1 + i]);
    if (!FLanas.empty()) return;
  }
  for (std::uint8_t lana = 0; lana < 16; ++lana) {
    TqnNCB p;
    p.Prepare(lana);
    p.Command = qnncbProbe;
    if (FDriver.Netbios(&p) == qnnrcIllegalCommand) FLanas.push_back(lana);
  }
}

void TqnNetBIOSProtocol::Track(TqnNCB& Ncb) {
  Untrack(Ncb);
  Ncb.Id = NextNcbId();
  Ncb.Window = FWindow;
  Ncb.Done = false;
  FTracked[Ncb.Id] = &Ncb;
  const HWND window = FWindow;
  const std::uint32_t id = Ncb.Id;
  // The completion routine only posts: everything else happens on the window's thread.
  Ncb.Post = [window, id](TqnNCB*) { PostMessage(window, kQnNetBIOSComplete, 0, static_cast<LPARAM>(id)); };
}

void TqnNetBIOSProtocol::Untrack(TqnNCB& Ncb) {
  if (Ncb.Id) FTracked.erase(Ncb.Id);
  Ncb.Id = 0;
}

void TqnNetBIOSProtocol::Issue(TqnNCB& Ncb) {
  const std::uint8_t code = FDriver.Netbios(&Ncb);
  if (code != qnnrcOk) {
    Ncb.Done = true;
    Untrack(Ncb);
    throw EqnNetBIOSException(code);
  }
}

bool TqnNetBIOSProtocol::WaitFor(TqnNCB& Ncb, std::uint32_t Ms) {
  const std::uint32_t start = QNTickCount();
  while (Ncb.RetCode == qnnrcPending) {
    if (Ms && TickElapsed(start, QNTickCount()) >= Ms) return false;
    if (!QNPumpOneMessage(FWindow)) {
      if (Ncb.RetCode != qnnrcPending) break;
      if (Ms == 0) return false;  // nothing can complete it any more
      tw::Sleep(1);
    }
  }
  return true;
}

void TqnNetBIOSProtocol::Cancel(TqnNCB& Ncb) {
  if (Ncb.RetCode == qnnrcPending && !Ncb.Done) {
    TqnNCB c;
    c.Prepare(Ncb.Lana);
    c.Command = qnncbCancel;
    c.CancelTarget = &Ncb;
    FDriver.Netbios(&c);
    WaitFor(Ncb, kQnNetBIOSCancelWait);
  }
  Ncb.Done = true;
  Untrack(Ncb);
}

std::string TqnNetBIOSProtocol::MakeUniqueName() const {
  // A private generator seeded from the tick count, so that no shared random state changes.
  std::minstd_rand gen(QNTickCount() ^ static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(this)));
  std::string s = "QNC_";
  for (int i = 0; i < 11; ++i) s += static_cast<char>('A' + gen() % 26);
  return s;
}

void TqnNetBIOSProtocol::PrepareStation() {
  if (IsServer()) {
    std::string n = GetStationName();
    n = n.substr(0, n.find('.')).substr(0, 15);
    FLocalName = n;
  } else {
    FLocalName = MakeUniqueName();
  }
  SetNetName(FLocalName);
  for (std::size_t i = 0; i < FLanas.size(); ++i) {
    TqnNCB a;
    a.Prepare(FLanas[i]);
    a.Command = qnncbAddName | qnncbAsync;
    QNSetNetBIOSName(a.Name, FLocalName);
    Track(a);
    std::uint8_t code = FDriver.Netbios(&a);
    if (code == qnnrcOk) {
      WaitFor(a, 0);
      code = a.RetCode;
    }
    Untrack(a);
    if (code != qnnrcOk)
      QNRaiseErrorFmt<EqnNetBIOSException>(qnGeneralStrings(), qnerrNetBIOSAddName,
                                           {FLocalName, static_cast<int>(FLanas[i]), static_cast<int>(code)});
    FNameNumbers[i] = a.Num;
    FNameAdded[i] = true;
  }
}

void TqnNetBIOSProtocol::PostListen(std::size_t Index) {
  TqnNCB& l = FListens[Index];
  l.Prepare(FLanas[Index]);
  l.Command = qnncbListen | qnncbAsync;
  QNSetNetBIOSName(l.CallName, "*");
  QNSetNetBIOSName(l.Name, FLocalName);
  Track(l);
  Issue(l);
}

void TqnNetBIOSProtocol::StartListening() {
  if (!IsServer()) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrClientCannotListen);
  if (FListening) return;
  PrepareStationOnce();
  for (std::size_t i = 0; i < FLanas.size(); ++i) PostListen(i);
  FListening = true;
}

std::uint32_t TqnNetBIOSProtocol::Connect(std::string_view ServerAddress) {
  if (IsServer()) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrServerCannotCall);
  if (ServerAddress.empty()) return 0;
  PrepareStationOnce();
  for (std::uint8_t lana : FLanas) {
    TqnNCB call;
    call.Prepare(lana);
    call.Command = qnncbCall | qnncbAsync;
    QNSetNetBIOSName(call.CallName, ServerAddress);
    QNSetNetBIOSName(call.Name, FLocalName);
    Track(call);
    if (FDriver.Netbios(&call) != qnnrcOk) {
      Untrack(call);
      continue;
    }
    if (!WaitFor(call, kQnNetBIOSCallWait)) {
      Cancel(call);
      continue;
    }
    Untrack(call);
    if (call.RetCode != qnnrcOk) continue;
    auto* c = new TqnNetBIOSConnection(this, call.LSN, lana, ServerAddress);
    const std::uint32_t id = c->Id();
    AddConnection(c);
    c->PostReceive();
    return id;
  }
  return 0;
}

void TqnNetBIOSProtocol::HangUp(std::uint32_t ConnectionID) {
  if (FindConnection(ConnectionID) == nullptr) return;
  DoHangingUp(ConnectionID);
  RemoveConnection(ConnectionID);
}

void TqnNetBIOSProtocol::SendMessage(std::uint32_t ConnectionID, const std::uint8_t* Data, std::size_t Length) {
  auto* c = static_cast<TqnNetBIOSConnection*>(FindConnection(ConnectionID));
  if (c == nullptr) return;
  Length = std::min(Length, kQnMaxPartSize);
  if (Length) std::memcpy(c->SendBuffer(), Data, Length);
  ScrambleMessage(ScramblePad(), c->SendBuffer(), Length);
  TqnNCB& s = c->SendNcb();
  s.Prepare(c->Lana());
  s.Command = qnncbSend | qnncbAsync;
  s.LSN = c->LSN();
  s.Buffer = c->SendBuffer();
  s.Length = static_cast<std::uint16_t>(Length);
  Track(s);
  const std::uint8_t code = FDriver.Netbios(&s);
  if (code != qnnrcOk) {
    Untrack(s);
    s.Done = true;
    HangUp(ConnectionID);
    throw EqnNetBIOSException(code);
  }
}

void TqnNetBIOSProtocol::OpenDatagramChannel() {
  if (FDatagramsOpen) return;
  PrepareStationOnce();
  for (std::size_t i = 0; i < FLanas.size(); ++i) {
    for (auto [area, cmd] : {std::pair{&FDatagramReceive, qnncbDatagramReceive},
                             std::pair{&FBroadcastReceive, qnncbBroadcastReceive}}) {
      TqnNCB& n = area->Ncbs[i];
      n.Prepare(FLanas[i]);
      n.Command = static_cast<std::uint8_t>(cmd | qnncbAsync);
      n.Num = FNameNumbers[i];
      n.Buffer = area->Buffers[i].data();
      n.Length = 128;
      Track(n);
      Issue(n);
    }
  }
  FDatagramsOpen = true;
}

void TqnNetBIOSProtocol::CloseDatagramChannel() {
  for (TqnNCB& n : FDatagramReceive.Ncbs) Cancel(n);
  for (TqnNCB& n : FBroadcastReceive.Ncbs) Cancel(n);
  FDatagramsOpen = false;
}

void TqnNetBIOSProtocol::SendDatagram(std::string_view Address, const std::uint8_t* Data, std::size_t Length) {
  PrepareStationOnce();
  Length = std::min<std::size_t>(Length, 128);
  DatagramArea& area = Address.empty() ? FBroadcastSend : FDatagramSend;
  for (std::size_t i = 0; i < FLanas.size(); ++i) {
    TqnNCB& n = area.Ncbs[i];
    if (n.RetCode == qnnrcPending && !n.Done) WaitFor(n, kQnNetBIOSDatagramWait);
    if (n.RetCode == qnnrcPending && !n.Done) continue;  // the adapter is still busy with the last one
    n.Prepare(FLanas[i]);
    n.Command = static_cast<std::uint8_t>((Address.empty() ? qnncbBroadcastSend : qnncbDatagramSend) | qnncbAsync);
    n.Num = FNameNumbers[i];
    if (!Address.empty()) QNSetNetBIOSName(n.CallName, Address);
    if (Length) std::memcpy(area.Buffers[i].data(), Data, Length);
    n.Buffer = area.Buffers[i].data();
    n.Length = static_cast<std::uint16_t>(Length);
    Track(n);
    Issue(n);
  }
}

void TqnNetBIOSProtocol::PumpMessages() {
  QNPumpOneMessage(FWindow);
  TqnBaseCommsProtocol::PumpMessages();
}

bool TqnNetBIOSProtocol::InputWaiting(std::uint32_t ConnectionID) const {
  auto* c = static_cast<TqnNetBIOSConnection*>(FindConnection(ConnectionID));
  if (c == nullptr) return false;
  const TqnNCB& r = c->ReceiveNcb();
  return r.Id != 0 && r.RetCode == qnnrcOk && !r.Done;
}

void TqnNetBIOSProtocol::Completed(TqnNCB* N) {
  const std::uint8_t cmd = N->Command & 0x7F;
  const std::uint8_t code = N->RetCode;
  if (cmd == qnncbListen) {
    std::size_t index = 0;
    while (index < FListens.size() && &FListens[index] != N) ++index;
    if (code == qnnrcOk) {
      auto* c = new TqnNetBIOSConnection(this, N->LSN, N->Lana, QNGetNetBIOSName(N->CallName));
      const std::uint32_t id = c->Id();
      AddConnection(c);
      c->PostReceive();
      DoConnectionOpened(id);
    }
    if (code != qnnrcCancelled && index < FListens.size()) PostListen(index);
    else N->Done = true;
    return;
  }
  if (cmd == qnncbReceive) {
    TqnNetBIOSConnection* c = nullptr;
    for (int i = 0; i < ConnectionCount() && !c; ++i) {
      auto* k = static_cast<TqnNetBIOSConnection*>(ConnectionAt(i));
      if (k->Lana() == N->Lana && k->LSN() == N->LSN) c = k;
    }
    N->Done = true;
    if (c == nullptr) return;
    if (code == qnnrcOk) {
      const std::uint32_t id = c->Id();
      std::uint8_t part[kQnMaxPartSize];
      const std::size_t n = std::min<std::size_t>(N->Length, sizeof part);
      std::memcpy(part, N->Buffer, n);
      if (DoMessageReceived(id, part, n) && FindConnection(id) == c) c->PostReceive();
    } else if (code == qnnrcSessionNumberOut || code == qnnrcSessionClosed || code == qnnrcSessionFailed) {
      HangUp(c->Id());
    }
    return;
  }
  if (cmd == qnncbDatagramReceive || cmd == qnncbBroadcastReceive) {
    if (code != qnnrcOk) {
      N->Done = true;
      return;
    }
    const std::string from = QNGetNetBIOSName(N->CallName);
    std::vector<std::uint8_t> data(N->Buffer, N->Buffer + std::min<std::size_t>(N->Length, 128));
    N->Length = 128;
    Track(*N);
    Issue(*N);  // the same receive again
    DoDatagramReceived(from, data.data(), data.size());
    return;
  }
  N->Done = true;
}

LRESULT TqnNetBIOSProtocol::WindowProc(HWND Hwnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == kQnNetBIOSComplete) {
    auto it = FTracked.find(static_cast<std::uint32_t>(LParam));
    if (it == FTracked.end()) return 0;  // a stale or foreign id
    TqnNCB* n = it->second;
    if ((n->Command & 0x7F) != qnncbListen && (n->Command & 0x7F) != qnncbDatagramReceive &&
        (n->Command & 0x7F) != qnncbBroadcastReceive)
      Untrack(*n);
    Completed(n);
    return 0;
  }
  return DefWindowProc(Hwnd, Msg, WParam, LParam);
}

}  // namespace tw::dbengine
