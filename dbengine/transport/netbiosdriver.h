// The NetBIOS entry point the NetBIOS transport calls, as a replaceable driver.  The system's
// driver answers every command with return code 3 (the machine has no NetBIOS); an in-process
// stand-in with any number of LAN adapters carries names, sessions and datagrams between the
// transports of this process, for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tw::dbengine {

enum : std::uint8_t {
  qnncbAsync = 0x80,
  qnncbProbe = 0x7F,
  qnncbReset = 0x32,
  qnncbEnum = 0x37,
  qnncbCancel = 0x35,
  qnncbHangUp = 0x12,
  qnncbAddName = 0x30,     // issued as 0xB0
  qnncbDeleteName = 0x31,  // issued as 0xB1
  qnncbCall = 0x10,        // 0x90
  qnncbListen = 0x11,      // 0x91
  qnncbSend = 0x14,        // 0x94
  qnncbReceive = 0x15,     // 0x95
  qnncbDatagramSend = 0x20,       // 0xA0
  qnncbDatagramReceive = 0x21,    // 0xA1
  qnncbBroadcastSend = 0x22,      // 0xA2
  qnncbBroadcastReceive = 0x23,   // 0xA3
};
// Return codes.
enum : std::uint8_t {
  qnnrcOk = 0,
  qnnrcIllegalCommand = 3,
  qnnrcSessionNumberOut = 8,
  qnnrcSessionClosed = 10,
  qnnrcCancelled = 11,
  qnnrcDuplicateName = 13,
  qnnrcNoCall = 20,
  qnnrcSessionFailed = 24,
  qnnrcCannotCancel = 0x24,
  qnnrcPending = 255,
};

constexpr std::size_t kQnNetBIOSNameLength = 16;

// A network control block.  The driver fills in the results and, for an asynchronous command,
// calls Post when the command completes.
struct TqnNCB {
  std::uint8_t Command = 0;
  std::uint8_t RetCode = 0;
  std::uint8_t LSN = 0;
  std::uint8_t Num = 0;
  std::uint8_t* Buffer = nullptr;
  std::uint16_t Length = 0;
  char CallName[kQnNetBIOSNameLength] = {};
  char Name[kQnNetBIOSNameLength] = {};
  std::uint8_t Lana = 0;
  TqnNCB* CancelTarget = nullptr;  // the block a cancel command names
  std::function<void(TqnNCB*)> Post;
  // The transport's own part.
  std::uint32_t Id = 0;
  std::uint32_t Window = 0;
  bool Done = false;
  // Zeroes the block, fills both names with blanks and sets the adapter.
  void Prepare(std::uint8_t LanaNumber);
};

// A NetBIOS name as 16 blank-padded bytes, and back without the padding.
void QNSetNetBIOSName(char* Dest, std::string_view Name);
std::string QNGetNetBIOSName(const char* Src);

class TqnNetBIOSDriver {
 public:
  virtual ~TqnNetBIOSDriver() = default;
  virtual bool Loaded() const = 0;
  // The immediate return code; an asynchronous command returns 0 and completes later (RetCode
  // 255 until then).
  virtual std::uint8_t Netbios(TqnNCB* Ncb) = 0;
};

TqnNetBIOSDriver& QNSystemNetBIOSDriver();

// The in-process stand-in.
class TqnStandInNetBIOS : public TqnNetBIOSDriver {
 public:
  explicit TqnStandInNetBIOS(int LanaCount);
  ~TqnStandInNetBIOS() override;
  bool Loaded() const override { return true; }
  std::uint8_t Netbios(TqnNCB* Ncb) override;
  // Calls on this adapter find nobody (as on a network where the server is not reachable).
  void SetLanaUnreachable(std::uint8_t Lana, bool Unreachable);
  // Ends a session as a failing network would: both ends' receives complete with Code.
  void BreakSessions(std::uint8_t Code);
  int PendingCount() const;

 private:
  struct State;
  State* FState;
};

// The driver the NetBIOS transport uses (the system's unless replaced); nullptr restores it.
TqnNetBIOSDriver& QNNetBIOSDriver();
void QNSetNetBIOSDriver(TqnNetBIOSDriver* Driver);

}  // namespace tw::dbengine
