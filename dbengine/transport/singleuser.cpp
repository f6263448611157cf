#include "dbengine/transport/singleuser.h"

#include <cstring>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "dbengine/base/errors.h"
#include "dbengine/base/stringres.h"
#include "dbengine/transport/commswindow.h"

namespace tw::dbengine {
namespace {

constexpr UINT_PTR kCheckTimerId = 1;

// A record in flight: the part's bytes stay with the sender for the length of the send.
struct Parcel {
  HWND Sender = 0;
  std::uint32_t Code = 0;
  std::uint8_t* Data = nullptr;
  std::uint32_t Length = 0;
};

// Guards the registry for the few instructions of a look-up; a spin lock costs one atomic
// operation less per use than a mutex, and nobody holds it for longer than a list scan.
class TParcelLock {
 public:
  void lock() {
    while (flag_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  void unlock() { flag_.clear(std::memory_order_release); }

 private:
  std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

// Parcels sent from the thread whose windows receive them: the partner's procedure runs inside
// the send, on this same thread, so they are kept in a list of the thread's own, without a lock.
// Their ids have the top bit set, those of the shared registry not.
constexpr std::uint32_t kLocalParcel = 0x80000000u;

// The parcels in flight.  Sends nest only as deep as handlers send again from inside a send,
// so a short list searched from its end beats a hash table and allocates nothing once grown.
struct ParcelRegistry {
  TParcelLock lock;
  std::uint32_t next = 0;
  std::vector<std::pair<std::uint32_t, Parcel*>> live;
};

// Kept for the whole run: connections still hang up while the program ends.
ParcelRegistry& Parcels() {
  static ParcelRegistry* r = new ParcelRegistry;
  return *r;
}

bool ParcelLive(const ParcelRegistry& R, std::uint32_t Id) {
  for (const auto& e : R.live)
    if (e.first == Id) return true;
  return false;
}

std::uint32_t RegisterParcel(Parcel* P) {
  ParcelRegistry& r = Parcels();
  std::lock_guard<TParcelLock> g(r.lock);
  std::uint32_t id;
  do {
    id = ++r.next & ~kLocalParcel;
  } while (id == 0 || ParcelLive(r, id));
  r.live.emplace_back(id, P);
  return id;
}

void ForgetParcel(std::uint32_t Id) {
  ParcelRegistry& r = Parcels();
  std::lock_guard<TParcelLock> g(r.lock);
  for (auto it = r.live.rbegin(); it != r.live.rend(); ++it) {
    if (it->first == Id) {
      r.live.erase(std::next(it).base());
      return;
    }
  }
}

// Nothing in it needs destroying, so it serves sends made while the program ends as well.
struct LocalParcels {
  static constexpr int kDepth = 16;  // sends nested deeper take the shared registry
  std::uint32_t next = 0;
  int count = 0;
  std::uint32_t ids[kDepth];
  Parcel* parcels[kDepth];
};

LocalParcels& OwnParcels() {
  static thread_local LocalParcels l;
  return l;
}

// The live parcel Id when Sender registered it, else nullptr.
Parcel* FindParcel(std::uint32_t Id, HWND Sender) {
  if (Id & kLocalParcel) {
    const LocalParcels& own = OwnParcels();
    for (int i = own.count - 1; i >= 0; --i)
      if (own.ids[i] == Id) return own.parcels[i]->Sender == Sender ? own.parcels[i] : nullptr;
    return nullptr;
  }
  ParcelRegistry& r = Parcels();
  std::lock_guard<TParcelLock> g(r.lock);
  for (auto it = r.live.rbegin(); it != r.live.rend(); ++it)
    if (it->first == Id) return it->second->Sender == Sender ? it->second : nullptr;
  return nullptr;
}

// Sends one record to Partner; the parcel lives until the partner has handled it.
// The answer of a partner's window that took a record; a window that is gone answers 0.
constexpr LRESULT kRecordTaken = 1;

bool SendParcel(UINT RecordMessage, HWND Own, HWND Partner, std::uint32_t Code, std::uint8_t* Data,
                std::uint32_t Length) {
  Parcel p{Own, Code, Length ? Data : nullptr, Length};
  // Data records, the traffic of every request, from the windows' own thread take the list of
  // that thread; the rare other records always take the shared registry.
  LocalParcels& own = OwnParcels();
  if (Code == qnsuRecordData && own.count < LocalParcels::kDepth &&
      GetWindowThreadProcessId(Partner, nullptr) == GetCurrentThreadId()) {
    // Nested sends end in the reverse order of their start: this one is the top entry again
    // when its send returns.
    const std::uint32_t id = (++own.next) | kLocalParcel;
    own.ids[own.count] = id;
    own.parcels[own.count] = &p;
    ++own.count;
    LRESULT r = 0;
    try {
      r = tw::SendMessage(Partner, RecordMessage, static_cast<WPARAM>(Own), static_cast<LPARAM>(id));
    } catch (...) {
      --own.count;
      throw;
    }
    --own.count;
    // A part not taken may have reached no procedure on this thread (another thread became the
    // windows' thread meanwhile): it goes the shared way below, which is also how a refusal is
    // confirmed.
    if (r == kRecordTaken) return true;
  }
  const std::uint32_t id = RegisterParcel(&p);
  const LRESULT r = tw::SendMessage(Partner, RecordMessage, static_cast<WPARAM>(Own), static_cast<LPARAM>(id));
  ForgetParcel(id);
  return r == kRecordTaken;
}

struct ProbeSearch {
  HWND Own = 0;
  UINT Probe = 0;
  HWND Found = 0;
};

bool FindServerWindowProc(HWND Hwnd, LPARAM LParam) {
  auto* s = reinterpret_cast<ProbeSearch*>(LParam);
  if (Hwnd == s->Own) return true;
  if (tw::SendMessage(Hwnd, s->Probe, 0, static_cast<LPARAM>(s->Own)) == kQnProbeAnswer) {
    s->Found = Hwnd;
    return false;
  }
  return true;
}

}  // namespace

// ---- Connection -------------------------------------------------------------------------------

TqnSingleUserConnection::TqnSingleUserConnection(TqnSingleUserProtocol* Owner, HWND PartnerWindow, HWND OwnWindow)
    : TqnConnection(Owner, ""), FPartnerWindow(PartnerWindow), FOwnWindow(OwnWindow) {}

TqnSingleUserConnection::~TqnSingleUserConnection() {
  if (!FPartnerGone && IsWindow(FPartnerWindow)) SendRecord(qnsuRecordHangUp);
}

bool TqnSingleUserConnection::Send(const std::uint8_t* Data, std::size_t Length) {
  if (Length > kQnMaxPartSize) Length = kQnMaxPartSize;
  // The copy lives on the stack: the partner's handling may free this connection (a hang-up
  // inside the send), so nothing of the object is touched after the send returns.
  std::uint8_t buffer[kQnMaxPartSize];
  auto* owner = static_cast<TqnSingleUserProtocol*>(Owner());
  ScrambledCopy(owner->ScramblePad(), Data, buffer, Length);
  return SendParcel(owner->RecordMessage(), FOwnWindow, FPartnerWindow, qnsuRecordData, buffer,
                    static_cast<std::uint32_t>(Length));
}

bool TqnSingleUserConnection::SendRecord(std::uint32_t Code) {
  auto* owner = static_cast<TqnSingleUserProtocol*>(Owner());
  return SendParcel(owner->RecordMessage(), FOwnWindow, FPartnerWindow, Code, nullptr, 0);
}

// ---- Transport ------------------------------------------------------------------------------

TqnSingleUserProtocol::TqnSingleUserProtocol(std::string_view Name, bool IsServer)
    : TqnBaseCommsProtocol(Name, IsServer),
      // Registered numbers: the probe goes to every top-level window, whose own WM_USER
      // messages it must not be mistaken for.
      FProbeMessage(RegisterWindowMessage("TqnSingleUserProbe")),
      FRecordMessage(RegisterWindowMessage("TqnSingleUserRecord")) {
  FWindow = QNCreateCommsWindow(
      [this](HWND h, UINT m, WPARAM w, LPARAM l) { return WindowProc(h, m, w, l); }, false);
  if (FWindow == 0) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrNoNotifyWindow);
}

TqnSingleUserProtocol::~TqnSingleUserProtocol() {
  if (FTimerRunning) KillTimer(FWindow, kCheckTimerId);
  FreeConnections();  // while the window exists, so partners hear the hang-up
  QNDestroyCommsWindow(FWindow);
}

void TqnSingleUserProtocol::StartCheckTimer() {
  FTimerRunning = SetTimer(FWindow, kCheckTimerId, kQnCheckInterval, nullptr) != 0;
}

std::uint32_t TqnSingleUserProtocol::Connect(std::string_view) {
  if (IsServer()) QNRaiseError<EqnCommsException>(qnGeneralStrings(), qnerrServerCannotCall);
  ProbeSearch s{FWindow, FProbeMessage, 0};
  EnumWindows(FindServerWindowProc, reinterpret_cast<LPARAM>(&s));
  if (s.Found == 0) return 0;
  auto* c = new TqnSingleUserConnection(this, s.Found, FWindow);
  const std::uint32_t id = c->Id();
  AddConnection(c);
  StartCheckTimer();
  return id;
}

void TqnSingleUserProtocol::StartListening() { StartCheckTimer(); }

void TqnSingleUserProtocol::HangUp(std::uint32_t ConnectionID) {
  if (FindConnection(ConnectionID) == nullptr) return;
  DoHangingUp(ConnectionID);
  RemoveConnection(ConnectionID);
}

void TqnSingleUserProtocol::SendMessage(std::uint32_t ConnectionID, const std::uint8_t* Data, std::size_t Length) {
  auto* c = static_cast<TqnSingleUserConnection*>(FindConnection(ConnectionID));
  if (c == nullptr) return;
  // The partner's window answers that it took the part; only when it did not is it asked
  // whether the window still exists (the handling may have freed the connection meanwhile).
  if (c->Send(Data, Length)) return;
  c = static_cast<TqnSingleUserConnection*>(FindConnection(ConnectionID));
  if (c != nullptr && !IsWindow(c->FPartnerWindow)) {
    // The partner is gone without a word: the part cannot arrive, so the connection is hung
    // up now instead of leaving the caller to wait for a reply until the silence limit.
    c->FPartnerGone = true;
    HangUp(ConnectionID);
  }
}

void TqnSingleUserProtocol::PumpMessages() {
  QNPumpOneMessage(FWindow);
  TqnBaseCommsProtocol::PumpMessages();
}

TqnSingleUserConnection* TqnSingleUserProtocol::FindByPartner(HWND PartnerWindow) const {
  const std::uint32_t version = ConnectionsVersion();
  if (FLastPartnerConnection && FLastPartner == PartnerWindow && FLastPartnerVersion == version)
    return FLastPartnerConnection;
  for (int i = 0; i < ConnectionCount(); ++i) {
    auto* c = static_cast<TqnSingleUserConnection*>(ConnectionAt(i));
    if (c->FPartnerWindow == PartnerWindow) {
      FLastPartner = PartnerWindow;
      FLastPartnerConnection = c;
      FLastPartnerVersion = version;
      return c;
    }
  }
  return nullptr;
}

void TqnSingleUserProtocol::AcceptConnection(HWND PartnerWindow) {
  auto* c = new TqnSingleUserConnection(this, PartnerWindow, FWindow);
  const std::uint32_t id = c->Id();
  AddConnection(c);
  try {
    DoConnectionOpened(id);
  } catch (...) {
    RemoveConnection(id);
    throw;
  }
}

void TqnSingleUserProtocol::CheckPartners() {
  std::vector<std::uint32_t> ids;
  for (int i = ConnectionCount() - 1; i >= 0; --i) ids.push_back(ConnectionAt(i)->Id());
  for (std::uint32_t id : ids) {
    auto* c = static_cast<TqnSingleUserConnection*>(FindConnection(id));
    if (c == nullptr) continue;
    if (c->FSilenceCount >= kQnSilenceLimit) {
      HangUp(id);
      continue;
    }
    ++c->FSilenceCount;
    // A client's server that takes the keep-alive is alive, also when it sends nothing: while
    // the client waits for a long request (a lock wait) only the client's windows are pumped,
    // so the server's own keep-alives cannot reach it.
    if (IsWindow(c->FPartnerWindow) && c->SendRecord(qnsuRecordKeepAlive) && !IsServer())
      if (auto* alive = static_cast<TqnSingleUserConnection*>(FindConnection(id))) alive->FSilenceCount = 0;
  }
}

LRESULT TqnSingleUserProtocol::WindowProc(HWND Hwnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == FProbeMessage) {
    if (!IsServer()) return 0;
    const HWND partner = static_cast<HWND>(LParam);
    if (!IsWindow(partner) || FindByPartner(partner) != nullptr) return kQnProbeAnswer;
    AcceptConnection(partner);
    return kQnProbeAnswer;
  }
  if (Msg == FRecordMessage) {
    const HWND from = static_cast<HWND>(WParam);
    Parcel* p = FindParcel(static_cast<std::uint32_t>(LParam), from);
    TqnSingleUserConnection* c = FindByPartner(from);
    if (p == nullptr || c == nullptr) return 0;
    switch (p->Code) {
      case qnsuRecordData:
        c->FSilenceCount = 0;
        DoMessageReceived(c->Id(), p->Data, p->Length);
        return kRecordTaken;
      case qnsuRecordHangUp:
        c->FPartnerGone = true;
        HangUp(c->Id());
        break;
      case qnsuRecordKeepAlive:
        c->FSilenceCount = 0;
        return kRecordTaken;
      default:
        break;
    }
    return 0;
  }
  if (Msg == WM_TIMER && WParam == kCheckTimerId) {
    CheckPartners();
    return 0;
  }
  return DefWindowProc(Hwnd, Msg, WParam, LParam);
}

}  // namespace tw::dbengine
