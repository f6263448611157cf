// The abstract transport of the database engine: one object per side of a link, which opens
// and closes connections, moves message parts of at most 2048 bytes over them, sends and
// receives server-query datagrams, and reports what arrives through events the comms engines
// assign.  It also holds the connection's scrambling pad.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dbengine/base/padlock.h"
#include "dbengine/base/qnlist.h"
#include "dbengine/base/serverconfig.h"
#include "dbengine/base/shortstring.h"
#include "dbengine/transport/message.h"
#include "platform/classes/object.h"

namespace tw::dbengine {

class TqnBaseCommsProtocol;

// Server designation: a name, optionally "@" and a network address.  Without the separator both
// outputs are the whole text.  Each side at most 31 characters.
void SplitServerName(std::string_view Designation, std::string& Name, std::string& Address);
std::string MakeServerDesignation(std::string_view Name, std::string_view Address);

// One open link.  Its id (a registry id, never an address) is the connection id everywhere and
// the client id the server hands out.
class TqnConnection : public TqnSelfListItem {
  TW_CLASS(TqnConnection, TqnSelfListItem)
 public:
  TqnConnection(TqnBaseCommsProtocol* Owner, std::string_view Name);
  TqnBaseCommsProtocol* Owner() const { return FOwner; }
  std::string_view Name() const { return FName.View(); }

 private:
  TqnBaseCommsProtocol* FOwner;
  TShortStr<63> FName;
};

using TqnConnectionEvent = std::function<void(TqnBaseCommsProtocol* Sender, std::uint32_t ConnectionID)>;
using TqnIdleEvent = std::function<void(TqnBaseCommsProtocol* Sender)>;
using TqnDatagramEvent = std::function<void(TqnBaseCommsProtocol* Sender, const std::string& Address,
                                            const std::uint8_t* Data, std::size_t Length)>;
// False when the handler refused the part (and hung the connection up).
using TqnMessageEvent = std::function<bool(TqnBaseCommsProtocol* Sender, std::uint32_t ConnectionID,
                                           std::uint8_t* Data, std::size_t Length)>;

class TqnBaseCommsProtocol : public TObject {
  TW_CLASS(TqnBaseCommsProtocol, TObject)
 public:
  TqnBaseCommsProtocol(std::string_view Name, bool IsServer);
  // Frees every connection left (each connection tells its partner where the transport does).
  ~TqnBaseCommsProtocol() override;
  TqnBaseCommsProtocol(const TqnBaseCommsProtocol&) = delete;
  TqnBaseCommsProtocol& operator=(const TqnBaseCommsProtocol&) = delete;

  virtual void PrepareStation() = 0;
  // Client side: finds the server and opens a connection; 0 when none was opened.
  virtual std::uint32_t Connect(std::string_view ServerAddress) = 0;
  virtual void HangUp(std::uint32_t ConnectionID) = 0;
  virtual void StartListening() = 0;
  virtual void ConnectionOpened(std::uint32_t /*ConnectionID*/) {}
  // One part of at most 2048 bytes; the transport scrambles its own copy.
  virtual void SendMessage(std::uint32_t ConnectionID, const std::uint8_t* Data, std::size_t Length) = 0;
  virtual void OpenDatagramChannel() = 0;
  // An empty Address broadcasts.
  virtual void SendDatagram(std::string_view Address, const std::uint8_t* Data, std::size_t Length) = 0;
  virtual void CloseDatagramChannel() = 0;
  // Lets pending work through once; the base only fires OnIdle.
  virtual void PumpMessages() { DoIdle(); }
  // Waits up to TimeoutMs for something to arrive for the transport (a server's loop sleeps
  // here when it has nothing to do); false when nothing came or the transport cannot wait.
  virtual bool WaitForEvents(int /*TimeoutMs*/) { return false; }
  // Bytes sent to a connection that it has not taken yet, and their sum over all connections.
  virtual std::size_t UnsentBytes(std::uint32_t /*ConnectionID*/) const { return 0; }
  virtual std::size_t UnsentBytesTotal() const { return 0; }
  // The connections whose unsent bytes have not moved for StallMs or longer.
  virtual void StalledConnections(std::uint32_t /*StallMs*/, std::vector<std::uint32_t>& /*Out*/) const {}
  // True while something the connection sent has come in and waits to be handed on (a
  // transport that hands every part on as it arrives has nothing waiting).
  virtual bool InputWaiting(std::uint32_t /*ConnectionID*/) const { return false; }

  void PrepareStationOnce();
  void AddConnection(TqnConnection* Connection);
  TqnConnection* FindConnection(std::uint32_t ConnectionID) const;
  // Takes the connection out of the list and frees it.
  void RemoveConnection(std::uint32_t ConnectionID);
  int ConnectionCount() const { return FConnections.Count(); }
  // Changes whenever a connection is added or removed: what was found before stays valid
  // while it is the same.
  std::uint32_t ConnectionsVersion() const { return FConnectionsVersion.load(std::memory_order_acquire); }
  TqnConnection* ConnectionAt(int Index) const { return FConnections.ItemAs<TqnConnection>(Index); }

  std::string GetStationName() const { return FStationName.Str(); }
  std::string GetNetName() const { return FNetName.Str(); }

  // Code 0 asks for a fresh code: the tick count (or a fixed constant when that is 0).
  void SetConnectionCode(std::uint32_t Code);
  std::uint32_t ConnectionCode() const { return FConnectionCode; }
  const TqnScramblePad& ScramblePad() const { return FScramblePad; }

  bool IsServer() const { return FIsServer; }
  bool NeedsAcknowledge() const { return FNeedsAcknowledge; }
  bool StationPrepared() const { return FStationPrepared; }

  TqnConnectionEvent OnHangingUp;
  TqnConnectionEvent OnConnectionOpened;
  TqnIdleEvent OnIdle;
  TqnDatagramEvent OnDatagramReceived;
  TqnMessageEvent OnMessageReceived;

  void DoHangingUp(std::uint32_t ConnectionID);
  void DoConnectionOpened(std::uint32_t ConnectionID);
  void DoIdle();
  void DoDatagramReceived(const std::string& Address, const std::uint8_t* Data, std::size_t Length);
  // Unscrambles the part in place and hands it to OnMessageReceived; with no handler the part
  // stays as it came and the answer is true.
  bool DoMessageReceived(std::uint32_t ConnectionID, std::uint8_t* Data, std::size_t Length);

 protected:
  void SetNetName(std::string_view Name) { FNetName.Assign(Name); }
  void SetNeedsAcknowledge(bool Value) { FNeedsAcknowledge = Value; }
  // Frees every connection now (concrete transports call it first in their destructors, while
  // their windows still exist, so that the connections can tell their partners).
  void FreeConnections();

 private:
  std::uint32_t FConnectionCode = 0;
  bool FIsServer;
  TqnName FStationName;
  TqnName FNetName;
  bool FNeedsAcknowledge = true;
  bool FStationPrepared = false;
  TqnScramblePad FScramblePad{};
  TqnList FConnections;
  // The connection found last: every part of a request looks its connection up again.
  mutable std::uint32_t FLastFoundId = 0;
  mutable TqnConnection* FLastFound = nullptr;
  std::atomic<std::uint32_t> FConnectionsVersion{0};
  mutable TqnPadLock FPadLock;
};

// Creates the transport of a configured kind (the single-user, socket or NetBIOS transport).
TqnBaseCommsProtocol* QNCreateProtocol(TqnProtocolKind Kind, std::string_view Name, bool IsServer);

}  // namespace tw::dbengine
