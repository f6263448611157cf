// The single-user transport: two hidden top-level windows of one process exchange message
// parts with synchronous window messages.  A calling transport finds its partner by probing
// the top-level windows; a listening one answers the probe and accepts the connection.
//
// A record message carries no address: the sender registers the part's bytes under a 32-bit
// parcel id for the length of the send, and LParam is that id.  The receiver takes the parcel
// only when it is live and was registered by the window named in WParam.
#pragma once

#include <cstdint>

#include "dbengine/transport/protocol.h"
#include "platform/win/winapi.h"

namespace tw::dbengine {

// Record codes.
enum : std::uint32_t { qnsuRecordData = 0x4647, qnsuRecordHangUp = 0x4648, qnsuRecordKeepAlive = 0x4649 };
constexpr LRESULT kQnProbeAnswer = 0x4646;
constexpr std::uint32_t kQnSilenceLimit = 120;   // checks without a record before hang-up
constexpr UINT kQnCheckInterval = 1000;          // ms between partner checks

class TqnSingleUserProtocol;

class TqnSingleUserConnection : public TqnConnection {
  TW_CLASS(TqnSingleUserConnection, TqnConnection)
 public:
  TqnSingleUserConnection(TqnSingleUserProtocol* Owner, HWND PartnerWindow, HWND OwnWindow);
  // Tells a living partner that the connection closes (unless the partner closed it).
  ~TqnSingleUserConnection() override;

  // Scrambles a copy of the part and hands it to the partner window; a part for a partner
  // window that no longer exists goes nowhere (the transport's SendMessage then looks for the
  // window and hangs such a connection up).  True when the partner's window took the part.
  bool Send(const std::uint8_t* Data, std::size_t Length);
  // True when the partner took the record.
  bool SendRecord(std::uint32_t Code);

  HWND PartnerWindow() const { return FPartnerWindow; }
  HWND OwnWindow() const { return FOwnWindow; }
  std::uint32_t SilenceCount() const { return FSilenceCount; }

 private:
  friend class TqnSingleUserProtocol;
  HWND FPartnerWindow;
  HWND FOwnWindow;
  std::uint32_t FSilenceCount = 0;
  bool FPartnerGone = false;
};

class TqnSingleUserProtocol : public TqnBaseCommsProtocol {
  TW_CLASS(TqnSingleUserProtocol, TqnBaseCommsProtocol)
 public:
  // Raises EqnCommsException 23664 when the hidden window cannot be made.
  TqnSingleUserProtocol(std::string_view Name, bool IsServer);
  ~TqnSingleUserProtocol() override;

  void PrepareStation() override {}
  // Raises 23665 on a listening transport; 0 when no listening transport answers the probe.
  std::uint32_t Connect(std::string_view ServerAddress) override;
  void HangUp(std::uint32_t ConnectionID) override;
  void StartListening() override;
  void SendMessage(std::uint32_t ConnectionID, const std::uint8_t* Data, std::size_t Length) override;
  void OpenDatagramChannel() override {}
  void SendDatagram(std::string_view, const std::uint8_t*, std::size_t) override {}
  void CloseDatagramChannel() override {}
  void PumpMessages() override;

  // The once-a-second partner check (the window timer calls it; tests may too).
  void CheckPartners();

  HWND Window() const { return FWindow; }
  UINT ProbeMessage() const { return FProbeMessage; }
  UINT RecordMessage() const { return FRecordMessage; }
  bool CheckTimerRunning() const { return FTimerRunning; }

 private:
  LRESULT WindowProc(HWND Hwnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  void AcceptConnection(HWND PartnerWindow);
  TqnSingleUserConnection* FindByPartner(HWND PartnerWindow) const;
  void StartCheckTimer();

  UINT FProbeMessage;
  UINT FRecordMessage;
  HWND FWindow = 0;
  bool FTimerRunning = false;
  // The partner found last and the connection list's version then: every part of a request
  // comes from the same partner.
  mutable HWND FLastPartner = 0;
  mutable TqnSingleUserConnection* FLastPartnerConnection = nullptr;
  mutable std::uint32_t FLastPartnerVersion = 0;
};

}  // namespace tw::dbengine
