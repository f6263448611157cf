#include "dbengine/transport/netbiosdriver.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <vector>

namespace tw::dbengine {

void TqnNCB::Prepare(std::uint8_t LanaNumber) {
  Command = RetCode = LSN = Num = 0;
  Buffer = nullptr;
  Length = 0;
  std::memset(CallName, ' ', sizeof CallName);
  std::memset(Name, ' ', sizeof Name);
  Lana = LanaNumber;
  CancelTarget = nullptr;
  Done = false;
}

void QNSetNetBIOSName(char* Dest, std::string_view Name) {
  std::memset(Dest, ' ', kQnNetBIOSNameLength);
  std::memcpy(Dest, Name.data(), std::min(Name.size(), kQnNetBIOSNameLength));
}

std::string QNGetNetBIOSName(const char* Src) {
  std::string s(Src, kQnNetBIOSNameLength);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

namespace {
class SystemNetBIOS : public TqnNetBIOSDriver {
 public:
  bool Loaded() const override { return false; }
  std::uint8_t Netbios(TqnNCB* Ncb) override {
    Ncb->RetCode = qnnrcIllegalCommand;
    return qnnrcIllegalCommand;
  }
};
TqnNetBIOSDriver* g_driver = nullptr;
}  // namespace

TqnNetBIOSDriver& QNSystemNetBIOSDriver() {
  static SystemNetBIOS d;
  return d;
}
TqnNetBIOSDriver& QNNetBIOSDriver() { return g_driver ? *g_driver : QNSystemNetBIOSDriver(); }
void QNSetNetBIOSDriver(TqnNetBIOSDriver* Driver) { g_driver = Driver; }

// ---- Stand-in ------------------------------------------------------------------------------------

struct TqnStandInNetBIOS::State {
  struct Session {
    std::uint8_t Lana = 0;
    std::uint8_t PeerLsn = 0;
    bool PeerGone = false;
    std::deque<std::vector<std::uint8_t>> Incoming;
  };
  int LanaCount = 1;
  std::set<std::uint8_t> Unreachable;
  std::map<std::pair<std::uint8_t, std::string>, std::uint8_t> Names;  // (lana, name) -> number
  std::uint8_t NextNum = 1;
  std::uint8_t NextLsn = 1;
  std::map<std::pair<std::uint8_t, std::uint8_t>, Session> Sessions;  // (lana, lsn)
  std::vector<TqnNCB*> Pending;  // listens, receives, datagram receives

  void Complete(TqnNCB* N, std::uint8_t Code) {
    Pending.erase(std::remove(Pending.begin(), Pending.end(), N), Pending.end());
    N->RetCode = Code;
    if (N->Post) N->Post(N);
  }
  std::uint8_t NewLsn() {
    std::uint8_t l;
    do {
      l = NextLsn++;
    } while (l == 0 || Sessions.count({0, l}) || Sessions.count({1, l}));
    return l;
  }
  // Hands queued data to a waiting receive of the session.
  void Deliver(std::uint8_t Lana, std::uint8_t Lsn) {
    auto s = Sessions.find({Lana, Lsn});
    if (s == Sessions.end()) return;
    for (TqnNCB* r : std::vector<TqnNCB*>(Pending)) {
      if (s->second.Incoming.empty()) return;
      if ((r->Command & 0x7F) != qnncbReceive || r->Lana != Lana || r->LSN != Lsn) continue;
      std::vector<std::uint8_t> d = std::move(s->second.Incoming.front());
      s->second.Incoming.pop_front();
      const std::size_t n = std::min<std::size_t>(d.size(), r->Length);
      if (n) std::memcpy(r->Buffer, d.data(), n);
      r->Length = static_cast<std::uint16_t>(n);
      Complete(r, qnnrcOk);
    }
  }
  void CloseSession(std::uint8_t Lana, std::uint8_t Lsn, std::uint8_t PeerCode) {
    auto s = Sessions.find({Lana, Lsn});
    if (s == Sessions.end()) return;
    const std::uint8_t peer = s->second.PeerLsn;
    Sessions.erase(s);
    for (TqnNCB* r : std::vector<TqnNCB*>(Pending))
      if ((r->Command & 0x7F) == qnncbReceive && r->Lana == Lana && r->LSN == Lsn) Complete(r, qnnrcSessionClosed);
    auto p = Sessions.find({Lana, peer});
    if (p != Sessions.end()) {
      p->second.PeerGone = true;
      for (TqnNCB* r : std::vector<TqnNCB*>(Pending))
        if ((r->Command & 0x7F) == qnncbReceive && r->Lana == Lana && r->LSN == peer) Complete(r, PeerCode);
    }
  }
};

TqnStandInNetBIOS::TqnStandInNetBIOS(int LanaCount) : FState(new State) { FState->LanaCount = LanaCount; }
TqnStandInNetBIOS::~TqnStandInNetBIOS() { delete FState; }

void TqnStandInNetBIOS::SetLanaUnreachable(std::uint8_t Lana, bool Unreachable) {
  if (Unreachable) FState->Unreachable.insert(Lana);
  else FState->Unreachable.erase(Lana);
}

void TqnStandInNetBIOS::BreakSessions(std::uint8_t Code) {
  while (!FState->Sessions.empty()) {
    auto [key, s] = *FState->Sessions.begin();
    FState->CloseSession(key.first, key.second, Code);
    FState->CloseSession(key.first, s.PeerLsn, Code);
  }
}

int TqnStandInNetBIOS::PendingCount() const { return static_cast<int>(FState->Pending.size()); }

std::uint8_t TqnStandInNetBIOS::Netbios(TqnNCB* N) {
  State& st = *FState;
  const std::uint8_t cmd = N->Command & 0x7F;
  const bool async = (N->Command & qnncbAsync) != 0;
  if (N->Lana >= st.LanaCount && cmd != qnncbEnum && cmd != qnncbProbe) {
    N->RetCode = 0x23;  // invalid adapter
    return N->RetCode;
  }
  auto finish = [&](std::uint8_t code) -> std::uint8_t {
    if (async) {
      // Accepted; the completion is reported through the post routine.
      N->RetCode = qnnrcPending;
      st.Complete(N, code);
      return qnnrcOk;
    }
    N->RetCode = code;
    return code;
  };
  auto pend = [&]() -> std::uint8_t {
    N->RetCode = qnnrcPending;
    st.Pending.push_back(N);
    return qnnrcOk;
  };
  const std::string name = QNGetNetBIOSName(N->Name);
  const std::string callName = QNGetNetBIOSName(N->CallName);
  switch (cmd) {
    case qnncbProbe: return finish(qnnrcIllegalCommand);
    case qnncbReset: return finish(qnnrcOk);
    case qnncbEnum:
      if (N->Buffer == nullptr || N->Length < 1 + st.LanaCount) return finish(6);
      N->Buffer[0] = static_cast<std::uint8_t>(st.LanaCount);
      for (int i = 0; i < st.LanaCount; ++i) N->Buffer[1 + i] = static_cast<std::uint8_t>(i);
      return finish(qnnrcOk);
    case qnncbAddName: {
      if (st.Names.count({N->Lana, name})) return finish(qnnrcDuplicateName);
      N->Num = st.NextNum++;
      st.Names[{N->Lana, name}] = N->Num;
      return finish(qnnrcOk);
    }
    case qnncbDeleteName: st.Names.erase({N->Lana, name}); return finish(qnnrcOk);
    case qnncbListen: return pend();
    case qnncbCall: {
      if (st.Unreachable.count(N->Lana)) return finish(qnnrcNoCall);
      for (TqnNCB* l : st.Pending) {
        if ((l->Command & 0x7F) != qnncbListen || l->Lana != N->Lana || QNGetNetBIOSName(l->Name) != callName)
          continue;
        const std::uint8_t a = st.NewLsn(), b = st.NewLsn();
        st.Sessions[{N->Lana, a}] = State::Session{N->Lana, b, false, {}};
        st.Sessions[{N->Lana, b}] = State::Session{N->Lana, a, false, {}};
        l->LSN = b;
        QNSetNetBIOSName(l->CallName, name);
        N->LSN = a;
        st.Complete(l, qnnrcOk);
        return finish(qnnrcOk);
      }
      return finish(qnnrcNoCall);
    }
    case qnncbHangUp: st.CloseSession(N->Lana, N->LSN, qnnrcSessionClosed); return finish(qnnrcOk);
    case qnncbSend: {
      auto s = st.Sessions.find({N->Lana, N->LSN});
      if (s == st.Sessions.end()) return finish(qnnrcSessionNumberOut);
      if (s->second.PeerGone) return finish(qnnrcSessionClosed);
      const std::uint8_t peer = s->second.PeerLsn;
      st.Sessions[{N->Lana, peer}].Incoming.emplace_back(N->Buffer, N->Buffer + N->Length);
      const std::uint8_t r = finish(qnnrcOk);
      st.Deliver(N->Lana, peer);
      return r;
    }
    case qnncbReceive: {
      auto s = st.Sessions.find({N->Lana, N->LSN});
      if (s == st.Sessions.end()) return finish(qnnrcSessionNumberOut);
      if (s->second.Incoming.empty() && s->second.PeerGone) return finish(qnnrcSessionClosed);
      const std::uint8_t r = pend();
      st.Deliver(N->Lana, N->LSN);
      return r;
    }
    case qnncbDatagramReceive:
    case qnncbBroadcastReceive: return pend();
    case qnncbDatagramSend:
    case qnncbBroadcastSend: {
      std::string from;
      for (auto& [k, num] : st.Names)
        if (k.first == N->Lana && num == N->Num) from = k.second;
      for (TqnNCB* r : std::vector<TqnNCB*>(st.Pending)) {
        if (r->Lana != N->Lana) continue;
        const std::uint8_t rc = r->Command & 0x7F;
        bool match = false;
        if (cmd == qnncbBroadcastSend) match = rc == qnncbBroadcastReceive;
        else if (rc == qnncbDatagramReceive)
          for (auto& [k, num] : st.Names)
            if (k.first == N->Lana && num == r->Num && k.second == callName) match = true;
        if (!match) continue;
        const std::size_t n = std::min<std::size_t>(N->Length, r->Length);
        if (n) std::memcpy(r->Buffer, N->Buffer, n);
        r->Length = static_cast<std::uint16_t>(n);
        QNSetNetBIOSName(r->CallName, from);
        st.Complete(r, qnnrcOk);
      }
      return finish(qnnrcOk);
    }
    case qnncbCancel: {
      TqnNCB* t = N->CancelTarget;
      if (t == nullptr || std::find(st.Pending.begin(), st.Pending.end(), t) == st.Pending.end())
        return finish(qnnrcCannotCancel);
      st.Complete(t, qnnrcCancelled);
      return finish(qnnrcOk);
    }
    default: return finish(qnnrcIllegalCommand);
  }
}

}  // namespace tw::dbengine
