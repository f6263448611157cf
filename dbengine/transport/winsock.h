// The socket transports: message parts over stream sockets, server queries over datagram
// sockets.  TqnTCPIPProtocol uses Internet addresses (TCP and UDP), TqnIPXSPXProtocol IPX
// addresses (SPX and IPX), which only the in-process stand-in socket table carries here.
// Socket events reach the transport's hidden window as message 0x13F1 (WParam = socket, low
// word of LParam = event, high word = error); PumpMessages looks at the sockets and posts them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "dbengine/transport/protocol.h"
#include "dbengine/transport/socketapi.h"
#include "platform/win/winapi.h"

namespace tw::dbengine {

// Default ports (the numbers the address structures carry).
constexpr std::uint16_t kQnStreamPort = 24677;       // TCP port and IPX server socket
constexpr std::uint16_t kQnDatagramServerPort = 24677;
constexpr std::uint16_t kQnDatagramClientPort = 24933;
constexpr std::uint16_t kQnSpxPort = 25189;
constexpr std::uint32_t kQnConnectWait = 30000;      // ms
constexpr int kQnAcceptsPerEvent = 64;               // connections taken at one accept event
// Connections the system keeps waiting for their accept.  Five (the old Winsock's most) makes
// every client beyond the fifth of a burst wait a second or more for the system to try again;
// this many lets a server's whole share of clients, and a crowd beside them, arrive at once.
constexpr int kQnListenBacklog = 1024;
constexpr std::size_t kQnDatagramSize = 128;

// Cuts a byte stream into parts by the length in bytes 4 to 7 of each (which travel in plain).
class TqnPartAssembler {
 public:
  enum class Result { NeedMore, Part, Corrupt };
  std::uint8_t* Space() { return FBuffer + FHeld; }
  std::size_t Room() const { return kQnMaxPartSize - FHeld; }
  void Added(std::size_t N) { FHeld += N; }
  // Part: the first FHeld bytes start with a whole part of PartLength bytes.  Corrupt: the
  // announced length is below 24 or above 2048.
  Result Next(std::size_t& PartLength) const;
  std::uint8_t* Data() { return FBuffer; }
  // Drops the first N bytes, keeping what follows for the next part.
  void Consume(std::size_t N);
  std::size_t Held() const { return FHeld; }

 private:
  std::uint8_t FBuffer[kQnMaxPartSize];
  std::size_t FHeld = 0;
};

class TqnWinsockConnection : public TqnConnection {
  TW_CLASS(TqnWinsockConnection, TqnConnection)
 public:
  TqnWinsockConnection(TqnBaseCommsProtocol* Owner, TqnSocketApi& Api, int Socket, std::string_view Name);
  ~TqnWinsockConnection() override;
  int Socket() const { return FSocket; }
  TqnPartAssembler Receive;
  // Scrambled bytes the socket could not take yet, sent as it becomes writable (the send is
  // blocked while there are any); the tick count of the last moment they moved (or were first
  // kept).
  std::vector<std::uint8_t> Unsent;
  std::size_t UnsentFrom = 0;
  std::uint32_t UnsentSince = 0;
  std::size_t UnsentBytes() const { return Unsent.size() - UnsentFrom; }

 private:
  TqnSocketApi& FApi;
  int FSocket;
};

class TqnWinsockProtocol : public TqnBaseCommsProtocol {
  TW_CLASS(TqnWinsockProtocol, TqnBaseCommsProtocol)
 public:
  ~TqnWinsockProtocol() override;

  void PrepareStation() override;
  std::uint32_t Connect(std::string_view ServerAddress) override;
  void HangUp(std::uint32_t ConnectionID) override;
  void StartListening() override;
  void SendMessage(std::uint32_t ConnectionID, const std::uint8_t* Data, std::size_t Length) override;
  void OpenDatagramChannel() override;
  void SendDatagram(std::string_view Address, const std::uint8_t* Data, std::size_t Length) override;
  void CloseDatagramChannel() override;
  void PumpMessages() override;
  bool WaitForEvents(int TimeoutMs) override;
  std::size_t UnsentBytes(std::uint32_t ConnectionID) const override;
  std::size_t UnsentBytesTotal() const override { return FUnsentTotal; }
  void StalledConnections(std::uint32_t StallMs, std::vector<std::uint32_t>& Out) const override;
  // A read event of the connection's socket has been posted and not handled yet.
  bool InputWaiting(std::uint32_t ConnectionID) const override;

  // Ports other than the defaults (tests run side by side).
  void SetPorts(std::uint16_t Stream, std::uint16_t DatagramServer, std::uint16_t DatagramClient);
  HWND Window() const { return FWindow; }
  int Family() const { return FFamily; }

 protected:
  TqnWinsockProtocol(std::string_view Name, bool IsServer, int Family);

 private:
  LRESULT WindowProc(HWND Hwnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  void HandleEvent(int Socket, long Event, int Error);
  void ReadStream(TqnWinsockConnection* C);
  void Select(int Socket, long Events);
  void Unselect(int Socket);
  // Tells the poller what to watch on a socket: the wanted events not yet posted.
  void Rearm(int Socket);
  // Posts an event message for every newly ready socket event, waiting up to TimeoutMs for one;
  // true when something was posted.
  bool PollSockets(int TimeoutMs = 0);
  // Keeps bytes a connection's socket could not take, and stops reading its requests until
  // they are sent: a client that does not take its replies holds up nobody but itself.
  void KeepUnsent(TqnWinsockConnection* C, const std::uint8_t* Data, std::size_t Length);
  // Sends what a connection kept; false when the connection was hung up.
  bool SendUnsent(TqnWinsockConnection* C);
  TqnWinsockConnection* FindBySocket(int Socket) const;
  bool ResolveAddress(std::string_view Text, TqnSockAddr& A);
  // The datagram target of a broadcast: everyone, or on a loopback address only this machine.
  TqnSockAddr BroadcastTarget(std::uint16_t Port);
  TqnSocketApi& Api() { return *FApi; }

  struct Selection {
    long Wanted = 0;
    long Posted = 0;
  };
  TqnSocketApi* FApi;
  int FFamily;
  TqnSockAddr FLocal;
  HWND FWindow = 0;
  int FListenSocket = -1;
  int FDatagramSocket = -1;
  bool FListening = false;
  bool FConnecting = false;
  int FConnectError = 0;
  std::uint16_t FStreamPort;
  std::uint16_t FDatagramServerPort = kQnDatagramServerPort;
  std::uint16_t FDatagramClientPort = kQnDatagramClientPort;
  std::map<int, Selection> FSelected;
  std::unique_ptr<TqnSocketPoller> FPoller;
  std::vector<TqnReadySocket> FReadySockets;
  std::map<int, TqnWinsockConnection*> FBySocket;
  std::size_t FUnsentTotal = 0;
};

class TqnTCPIPProtocol : public TqnWinsockProtocol {
  TW_CLASS(TqnTCPIPProtocol, TqnWinsockProtocol)
 public:
  TqnTCPIPProtocol(std::string_view Name, bool IsServer) : TqnWinsockProtocol(Name, IsServer, qnafInet) {}
};

class TqnIPXSPXProtocol : public TqnWinsockProtocol {
  TW_CLASS(TqnIPXSPXProtocol, TqnWinsockProtocol)
 public:
  TqnIPXSPXProtocol(std::string_view Name, bool IsServer) : TqnWinsockProtocol(Name, IsServer, qnafIpx) {}
};

}  // namespace tw::dbengine
