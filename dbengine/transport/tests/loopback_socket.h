// Test helper: a plain socket of the system's own, connected to a server on the loopback
// address, for clients that speak the wire protocol by hand (and may read only when asked).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace tw::dbengine::testing {

// The connected socket, or -1.  A nonzero ReceiveBuffer shrinks the socket's receive buffer
// first, so that a client that does not read fills up soon.
inline int LoopbackConnect(std::uint16_t Port, int ReceiveBuffer = 0) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return -1;
  if (ReceiveBuffer) ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &ReceiveBuffer, sizeof ReceiveBuffer);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(Port);
  if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(s);
    return -1;
  }
  return s;
}

}  // namespace tw::dbengine::testing
