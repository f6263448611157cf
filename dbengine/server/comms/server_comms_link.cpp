#include "dbengine/server/comms/server_comms_link.h"

#include "dbengine/transport/messagequeue.h"

namespace tw::dbengine {

void TqnServerCommsLink::SendReply(std::uint32_t MessageID, std::uint32_t ClientID, std::uint16_t ResultCode,
                                   const std::uint8_t* Data, std::size_t Length, bool IsStream) {
  comms_.SendReply(MessageID, ClientID, ResultCode, Data, Length, IsStream);
}

std::uint32_t TqnServerCommsLink::ConnectionCode() const { return comms_.GetConnectionCode(); }

void TqnServerCommsLink::DispatchQueue() {
  TqnDataMessageQueue& q = comms_.Queue();
  while (TqnDataMessage* m = q.Head()) {
    TqnServerRequest r;
    r.MessageID = m->MessageID;
    r.ClientID = m->ClientID;
    r.Data = m->Data.data();
    r.Length = std::min<std::size_t>(m->Data.size(), m->DataLength);
    r.DataIsStream = m->DataIsStream;
    r.CanRetry = m->CanRetry;
    r.RetryState = &m->RetryState;
    bool retry = false;
    try {
      retry = handler_.Dispatch(r);
    } catch (...) {
      // A reply that could not be sent (the connection went away) ends this request only.
    }
    m->RetryRequested = retry;
    q.RemoveHead();
  }
}

}  // namespace tw::dbengine
