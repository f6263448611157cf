// Joins the command handler to the server comms engine: replies leave through the comms
// engine, and the complete requests of its queue are dispatched in arrival order, a request
// that asked for a retry going back to the queue's deferred list.
#pragma once

#include "dbengine/server/command_handler.h"
#include "dbengine/transport/servercomms.h"

namespace tw::dbengine {

class TqnServerCommsLink : public TqnReplySink {
 public:
  TqnServerCommsLink(TqnServerEngine& Engine, TqnServerCommsEngine& Comms) : comms_(Comms), handler_(Engine, *this) {}

  void SendReply(std::uint32_t MessageID, std::uint32_t ClientID, std::uint16_t ResultCode, const std::uint8_t* Data,
                 std::size_t Length, bool IsStream) override;
  std::uint32_t ConnectionCode() const override;

  // Dispatches the queue's messages from its head until it is empty (the request-complete
  // notification of the queue calls this).
  void DispatchQueue();
  TqnServerCommandHandler& Handler() { return handler_; }

 private:
  TqnServerCommsEngine& comms_;
  TqnServerCommandHandler handler_;
};

}  // namespace tw::dbengine
