// The socket calls the socket transports make, as one replaceable table.  Two tables exist:
// the system's BSD sockets (Internet family only: the machine has no IPX stack, so IPX calls
// fail with WSAEAFNOSUPPORT), and an in-process stand-in that carries both families between
// sockets of this process, for tests.  Errors are reported as the WSAE numbers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw::dbengine {

enum : int { qnafInet = 2, qnafIpx = 6 };
enum : int { qnsockStream = 1, qnsockDgram = 2 };
// Events of the asynchronous select.
enum : long { qnfdRead = 1, qnfdWrite = 2, qnfdAccept = 8, qnfdConnect = 16, qnfdClose = 32 };
// Error numbers.
enum : int {
  qnwsaEMFile = 10024,
  qnwsaEWouldBlock = 10035,
  qnwsaEInProgress = 10036,
  qnwsaENotSock = 10038,
  qnwsaEAfNoSupport = 10047,
  qnwsaEAddrInUse = 10048,
  qnwsaEAddrNotAvail = 10049,
  qnwsaENetUnreach = 10051,
  qnwsaEConnReset = 10054,
  qnwsaENotConn = 10057,
  qnwsaETimedOut = 10060,
  qnwsaEConnRefused = 10061,
  qnwsaEHostUnreach = 10065,
  qnwsaHostNotFound = 11001,
};

// A socket address.  Internet: 4 address bytes and the port.  IPX: network (4), node (6) and
// socket (the port).
struct TqnSockAddr {
  int Family = qnafInet;
  std::array<std::uint8_t, 10> Address{};
  std::uint16_t Port = 0;
  bool operator==(const TqnSockAddr&) const = default;
};

// The text of an address: dotted Internet address, or IPX "NNNNNNNN-NNNNNNNNNNNN" hexadecimal.
std::string QNSockAddrText(const TqnSockAddr& A);
// Dotted Internet address to bytes; false when it is not one.
bool QNParseInetAddress(std::string_view Text, TqnSockAddr& A);
// IPX address text to bytes: hexadecimal digits, "-" ignored, two digits per byte, 10 bytes.
bool QNParseIpxAddress(std::string_view Text, TqnSockAddr& A);

class TqnSocketApi;

// One ready socket and its ready events.
struct TqnReadySocket {
  int Socket = -1;
  long Events = 0;
  int Error = 0;  // of a finished connect
};

// Watches many sockets at once and tells which are ready, so that a transport with many idle
// connections spends nothing on them: only sockets with something to do come back.
class TqnSocketPoller {
 public:
  virtual ~TqnSocketPoller() = default;
  // Watches S for Events (0: stops watching it).
  virtual void Watch(int S, long Events) = 0;
  // Fills Out with the watched sockets that are ready, waiting up to TimeoutMs (0: not at all)
  // for one to become ready.
  virtual void Wait(std::vector<TqnReadySocket>& Out, int TimeoutMs) = 0;
};

class TqnSocketApi {
 public:
  virtual ~TqnSocketApi() = default;
  // Every call returns -1 on failure, with the error in LastError().  Sockets never block:
  // a call that would wait fails with qnwsaEWouldBlock (connect: qnwsaEWouldBlock too).
  virtual int Socket(int Family, int Type) = 0;
  virtual int Bind(int S, const TqnSockAddr& A) = 0;
  virtual int Listen(int S, int Backlog) = 0;
  virtual int Accept(int S, TqnSockAddr& Peer) = 0;
  virtual int Connect(int S, const TqnSockAddr& A) = 0;
  virtual int Send(int S, const std::uint8_t* Data, std::size_t Length) = 0;
  virtual int Recv(int S, std::uint8_t* Data, std::size_t Length) = 0;
  virtual int SendTo(int S, const std::uint8_t* Data, std::size_t Length, const TqnSockAddr& To) = 0;
  virtual int RecvFrom(int S, std::uint8_t* Data, std::size_t Length, TqnSockAddr& From) = 0;
  virtual int SetBroadcast(int S, bool On) = 0;
  virtual int SetNoDelay(int S, bool On) = 0;
  virtual int Close(int S) = 0;
  // The events among Wanted that are ready now; a finished connect reports qnfdConnect with
  // its error in Error (0 when it succeeded).
  virtual long ReadyEvents(int S, long Wanted, int& Error) = 0;
  virtual int LastError() const = 0;
  // The machine's own address in a family (the broadcast target's family too); false when the
  // family is not there.
  virtual bool LocalAddress(int Family, TqnSockAddr& A) = 0;
  // Name lookups (Internet only): false when not found.
  virtual bool LookUpHost(std::string_view Name, TqnSockAddr& A) = 0;
  virtual std::string HostName() = 0;
  // The broadcast address of a family, with Port.
  virtual TqnSockAddr BroadcastAddress(int Family, std::uint16_t Port) = 0;
  // A poller over sockets of this table.  The default asks ReadyEvents of every watched socket
  // (the stand-in's sockets); the system's waits on the kernel's readiness list.
  virtual std::unique_ptr<TqnSocketPoller> NewPoller();
  // Accept failed for want of file descriptors: the table sheds the waiting connection so that
  // the listening socket does not stay ready for good.
  virtual void ShedPendingConnection(int /*ListenSocket*/) {}
};

// The system's sockets.  The table lives as long as the process: transports that end during the
// program's own ending still find it whole.
TqnSocketApi& QNSystemSocketApi();
// A fresh in-process stand-in: both families, addresses 127.0.0.1 and IPX 00000001-000000000001.
// Broadcasts reach every datagram socket of the stand-in bound to the port.
TqnSocketApi* QNNewStandInSocketApi();

// The table the socket transports use (the system's unless replaced); nullptr restores it.
TqnSocketApi& QNSocketApi();
void QNSetSocketApi(TqnSocketApi* Api);

}  // namespace tw::dbengine
