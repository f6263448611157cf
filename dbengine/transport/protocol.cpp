#include "dbengine/transport/protocol.h"

#include <vector>

#include "dbengine/base/timer.h"

namespace tw::dbengine {

void SplitServerName(std::string_view Designation, std::string& Name, std::string& Address) {
  const std::size_t at = Designation.find('@');
  if (at == std::string_view::npos) {
    Name = TqnName(Designation).Str();
    Address = Name;
    return;
  }
  Name = TqnName(Designation.substr(0, at)).Str();
  Address = TqnName(Designation.substr(at + 1)).Str();
}

std::string MakeServerDesignation(std::string_view Name, std::string_view Address) {
  std::string s = TShortStr<63>(Name).Str();
  if (Address != Name) {
    s += '@';
    s += Address;
  }
  return s;
}

TqnConnection::TqnConnection(TqnBaseCommsProtocol* Owner, std::string_view Name) : FOwner(Owner), FName(Name) {}

TqnBaseCommsProtocol::TqnBaseCommsProtocol(std::string_view Name, bool IsServer) : FIsServer(IsServer) {
  std::string station, address;
  SplitServerName(Name, station, address);
  FStationName.Assign(station);
}

TqnBaseCommsProtocol::~TqnBaseCommsProtocol() {
  FStationPrepared = false;
  FreeConnections();
}

void TqnBaseCommsProtocol::FreeConnections() {
  // One by one, so that a connection's destructor may reach the list (through its partner).
  for (;;) {
    TqnConnection* c = nullptr;
    {
      TqnPadLockGuard g(FPadLock);
      if (FConnections.Count() == 0) break;
      c = FConnections.ItemAs<TqnConnection>(FConnections.Count() - 1);
    }
    RemoveConnection(c->Id());
  }
}

void TqnBaseCommsProtocol::PrepareStationOnce() {
  if (FStationPrepared) return;
  PrepareStation();
  FStationPrepared = true;
}

void TqnBaseCommsProtocol::AddConnection(TqnConnection* Connection) {
  TqnPadLockGuard g(FPadLock);
  FLastFound = nullptr;
  FConnectionsVersion.fetch_add(1, std::memory_order_acq_rel);
  if (!FConnections.Insert(Connection)) delete Connection;
}

TqnConnection* TqnBaseCommsProtocol::FindConnection(std::uint32_t ConnectionID) const {
  TqnPadLockGuard g(FPadLock);
  if (FLastFound && FLastFoundId == ConnectionID) return FLastFound;
  const std::int32_t key = static_cast<std::int32_t>(ConnectionID);
  const int i = FConnections.IndexOf(QNKeyOf(key));
  TqnConnection* c = i < 0 ? nullptr : FConnections.ItemAs<TqnConnection>(i);
  if (c) {
    FLastFoundId = ConnectionID;
    FLastFound = c;
  }
  return c;
}

void TqnBaseCommsProtocol::RemoveConnection(std::uint32_t ConnectionID) {
  TqnPadLockGuard g(FPadLock);
  FLastFound = nullptr;
  FConnectionsVersion.fetch_add(1, std::memory_order_acq_rel);
  const std::int32_t key = static_cast<std::int32_t>(ConnectionID);
  FConnections.Delete(QNKeyOf(key));
}

void TqnBaseCommsProtocol::SetConnectionCode(std::uint32_t Code) {
  if (Code == 0) {
    Code = QNTickCount();
    if (Code == 0) Code = kQnFallbackConnectionCode;
  }
  FConnectionCode = Code;
  BuildScramblePad(static_cast<std::int32_t>(Code), FScramblePad);
}

void TqnBaseCommsProtocol::DoHangingUp(std::uint32_t ConnectionID) {
  if (auto h = OnHangingUp) h(this, ConnectionID);
}
void TqnBaseCommsProtocol::DoConnectionOpened(std::uint32_t ConnectionID) {
  if (auto h = OnConnectionOpened) h(this, ConnectionID);
}
void TqnBaseCommsProtocol::DoIdle() {
  if (auto h = OnIdle) h(this);
}
void TqnBaseCommsProtocol::DoDatagramReceived(const std::string& Address, const std::uint8_t* Data,
                                              std::size_t Length) {
  if (auto h = OnDatagramReceived) h(this, Address, Data, Length);
}
bool TqnBaseCommsProtocol::DoMessageReceived(std::uint32_t ConnectionID, std::uint8_t* Data, std::size_t Length) {
  auto h = OnMessageReceived;
  if (!h) return true;
  ScrambleMessage(FScramblePad, Data, Length);
  return h(this, ConnectionID, Data, Length);
}

}  // namespace tw::dbengine
