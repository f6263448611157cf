// What the socket transports read from outside: server query and answer datagrams, address
// texts, and a byte stream cut into parts.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "dbengine/transport/message.h"
#include "dbengine/transport/socketapi.h"
#include "dbengine/transport/winsock.h"

using namespace tw::dbengine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  std::string station, net;
  (void)QNIsServerQuery(Data, Size);
  if (QNParseServerAnswer(Data, Size, station, net) && (station.size() > 31 || net.size() > 31)) __builtin_trap();
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  TqnSockAddr a;
  if (QNParseInetAddress(text, a) && QNSockAddrText(a).size() > 15) __builtin_trap();
  if (QNParseIpxAddress(text, a)) {
    TqnSockAddr b;
    if (!QNParseIpxAddress(QNSockAddrText(a), b) || !(a.Address == b.Address)) __builtin_trap();
  }
  TqnPartAssembler asm_;
  std::size_t pos = 0;
  while (pos < Size) {
    const std::size_t n = std::min(asm_.Room(), Size - pos);
    std::memcpy(asm_.Space(), Data + pos, n);
    asm_.Added(n);
    pos += n;
    std::size_t len = 0;
    TqnPartAssembler::Result r;
    while ((r = asm_.Next(len)) == TqnPartAssembler::Result::Part) asm_.Consume(len);
    if (r == TqnPartAssembler::Result::Corrupt) break;
    if (asm_.Room() == 0) __builtin_trap();  // a full buffer always holds a whole part
  }
  return 0;
}
