// The NetBIOS transport: message parts over NetBIOS sessions and server queries over NetBIOS
// datagrams, on every LAN adapter of the machine.  Commands run asynchronously; a completed
// command reaches the transport's hidden window as message 0x13F0 whose LParam is the
// block's 32-bit id (never its address).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "dbengine/transport/netbiosdriver.h"
#include "dbengine/transport/protocol.h"
#include "platform/win/winapi.h"

namespace tw::dbengine {

constexpr std::uint32_t kQnNetBIOSCallWait = 5000;
constexpr std::uint32_t kQnNetBIOSCancelWait = 500;
constexpr std::uint32_t kQnNetBIOSDatagramWait = 1000;

class TqnNetBIOSProtocol;

class TqnNetBIOSConnection : public TqnConnection {
  TW_CLASS(TqnNetBIOSConnection, TqnConnection)
 public:
  TqnNetBIOSConnection(TqnNetBIOSProtocol* Owner, std::uint8_t LSN, std::uint8_t Lana, std::string_view Name);
  // Cancels its receive and hangs the session up.
  ~TqnNetBIOSConnection() override;
  std::uint8_t LSN() const { return FLSN; }
  std::uint8_t Lana() const { return FLana; }
  void PostReceive();
  TqnNCB& ReceiveNcb() { return FReceive; }
  TqnNCB& SendNcb() { return FSend; }
  std::uint8_t* ReceiveBuffer() { return FReceiveBuffer.data(); }
  std::uint8_t* SendBuffer() { return FSendBuffer.data(); }

 private:
  TqnNetBIOSProtocol* FProtocol;
  std::uint8_t FLSN;
  std::uint8_t FLana;
  std::array<std::uint8_t, kQnMaxPartSize> FReceiveBuffer{};
  std::array<std::uint8_t, kQnMaxPartSize> FSendBuffer{};
  TqnNCB FReceive;
  TqnNCB FSend;
};

class TqnNetBIOSProtocol : public TqnBaseCommsProtocol {
  TW_CLASS(TqnNetBIOSProtocol, TqnBaseCommsProtocol)
 public:
  // Raises EqnNetBIOSException 23668 when no NetBIOS driver is there.
  TqnNetBIOSProtocol(std::string_view Name, bool IsServer);
  ~TqnNetBIOSProtocol() override;

  void PrepareStation() override;
  std::uint32_t Connect(std::string_view ServerAddress) override;
  void HangUp(std::uint32_t ConnectionID) override;
  void StartListening() override;
  void SendMessage(std::uint32_t ConnectionID, const std::uint8_t* Data, std::size_t Length) override;
  void OpenDatagramChannel() override;
  void SendDatagram(std::string_view Address, const std::uint8_t* Data, std::size_t Length) override;
  void CloseDatagramChannel() override;
  void PumpMessages() override;
  // The connection's receive has completed and its completion message is not handled yet.
  bool InputWaiting(std::uint32_t ConnectionID) const override;

  const std::vector<std::uint8_t>& Lanas() const { return FLanas; }
  std::string LocalName() const { return FLocalName; }
  HWND Window() const { return FWindow; }

  // Used by the connections.
  // Issues a command; a nonzero immediate return code raises EqnNetBIOSException.
  void Issue(TqnNCB& Ncb);
  // Registers the block so that its completion message finds it; asynchronous commands only.
  void Track(TqnNCB& Ncb);
  void Untrack(TqnNCB& Ncb);
  // Cancels a pending block and waits (at most 500 ms) for it to end.
  void Cancel(TqnNCB& Ncb);
  // Pumps until the block completed or Ms passed (0: no limit).  True when it completed.
  bool WaitFor(TqnNCB& Ncb, std::uint32_t Ms);
  TqnNetBIOSDriver& Driver() { return FDriver; }

 private:
  struct DatagramArea {
    std::vector<TqnNCB> Ncbs;                          // one per adapter
    std::vector<std::array<std::uint8_t, 128>> Buffers;
  };
  LRESULT WindowProc(HWND Hwnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  void Completed(TqnNCB* Ncb);
  void FindLanas();
  void PostListen(std::size_t Index);
  std::string MakeUniqueName() const;

  TqnNetBIOSDriver& FDriver;
  HWND FWindow = 0;
  std::vector<std::uint8_t> FLanas;
  std::vector<std::uint8_t> FNameNumbers;
  std::vector<bool> FNameAdded;
  std::vector<TqnNCB> FListens;
  bool FListening = false;
  bool FDatagramsOpen = false;
  DatagramArea FDatagramReceive, FBroadcastReceive, FDatagramSend, FBroadcastSend;
  std::string FLocalName;
  std::map<std::uint32_t, TqnNCB*> FTracked;
};

}  // namespace tw::dbengine
