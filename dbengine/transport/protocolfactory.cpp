#include "dbengine/transport/netbios.h"
#include "dbengine/transport/protocol.h"
#include "dbengine/transport/singleuser.h"
#include "dbengine/transport/winsock.h"

namespace tw::dbengine {

TqnBaseCommsProtocol* QNCreateProtocol(TqnProtocolKind Kind, std::string_view Name, bool IsServer) {
  switch (Kind) {
    case TqnProtocolKind::TCPIP: return new TqnTCPIPProtocol(Name, IsServer);
    case TqnProtocolKind::IPXSPX: return new TqnIPXSPXProtocol(Name, IsServer);
    case TqnProtocolKind::NetBIOS: return new TqnNetBIOSProtocol(Name, IsServer);
    case TqnProtocolKind::SingleUser: break;
  }
  return new TqnSingleUserProtocol(Name, IsServer);
}

}  // namespace tw::dbengine
