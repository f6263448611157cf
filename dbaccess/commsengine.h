// The client end of the message transport: attaches to a server over the single-user
// transport and sends each request, pumping only its own windows until the reply is complete
// (at most ReplyTimeOut milliseconds).  An embedded server started with it is driven from the
// same pumping: its request-complete notices arrive at this engine's window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/clientcomms.h"
#include "dbengine/base/padlock.h"
#include "dbengine/transport/message.h"
#include "dbengine/transport/messagequeue.h"
#include "dbengine/transport/protocol.h"
#include "platform/win/winapi.h"

namespace tw::dbaccess {

constexpr std::uint32_t kServerVersion = 10300;

class TqnClientCommsEngine : public TClientComms {
 public:
  // Raises EqnCommsException 23664 when the transport's window cannot be made.  The program
  // itself always talks over the single-user transport; the socket transports serve a server
  // in another process (the transport's name is the client name, "name@address" binding it).
  explicit TqnClientCommsEngine(const std::string& ClientName,
                                dbengine::TqnProtocolKind Protocol = dbengine::TqnProtocolKind::SingleUser);
  ~TqnClientCommsEngine() override;
  TqnClientCommsEngine(const TqnClientCommsEngine&) = delete;
  TqnClientCommsEngine& operator=(const TqnClientCommsEngine&) = delete;

  bool IsConnected() const override { return FConnectionId != 0; }
  std::vector<std::string> GetServerNames(std::uint32_t TimeOut) override;
  DBIResult AttachToServer(const std::string& Server, const std::string& User, const std::string& Password) override;
  void Detach();
  DBIResult SendRequest(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream,
                        void* Reply, std::uint32_t ReplyCapacity, std::uint32_t* ReplyLength = nullptr) override;
  DBIResult SendRequestToStream(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream,
                                TStream& Reply) override;
  DBIResult WaitForReply();

  std::uint32_t ClientId() const { return FClientId; }
  const std::string& ServerName() const { return FServerName; }
  HWND EngineWindow() const { return FWindow; }
  dbengine::TqnBaseCommsProtocol& Transport() { return *FTransport; }
  std::uint32_t ReplyTimeOut = 30000;

  // The embedded server's dispatch, run when its queue reports a complete request, and what
  // keeps it alive (freed with this engine, after the transport).  The server is the one of
  // the process, shared by every session: ServeHere(Window, true) makes its request notices go
  // to Window (each engine calls it before it sends, as it pumps only its own windows while it
  // waits), ServeHere(Window, false) takes them away from a window that goes.
  void SetEmbeddedServer(std::function<void()> Dispatch, std::shared_ptr<void> Server,
                         std::function<void(HWND Window, bool Take)> ServeHere = nullptr);

 private:
  struct TReply {
    DBIResult Result = 0;
    std::vector<std::uint8_t> Data;
  };
  DBIResult Exchange(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream, TReply& Reply);
  // Sends the request and waits for its answer.  On success the answer is left at the head of
  // the reply queue for the caller to read and remove; a failed answer is removed here.
  DBIResult Transact(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream,
                     dbengine::TqnDataMessage*& Answer);
  static std::size_t AnswerLength(const dbengine::TqnDataMessage& Answer);
  // True when the replies that a bundle left in the queue answer this request: it comes from
  // the cursor whose request brought the bundle and asks for what the bundle holds (the same
  // record and bookmark sizes, a record read without a lock).
  bool LeftoverAnswers(std::uint32_t MessageId, const void* Data, std::uint32_t Length) const;
  void DropLeftovers();
  bool ReceivePart(std::uint32_t ConnectionId, std::uint8_t* Part, std::size_t Length);
  void HangingUp(std::uint32_t ConnectionId);
  LRESULT EngineWindowProc(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam);

  std::uint32_t FClientId = 0;
  std::string FServerName;
  std::string FClientName;
  HWND FWindow = 0;
  std::uint32_t FConnectionId = 0;
  std::unique_ptr<dbengine::TqnDataMessageQueue> FQueue;
  dbengine::TqnPadLock FLock;
  std::unique_ptr<dbengine::TqnBaseCommsProtocol> FTransport;
  std::function<void()> FDispatch;
  std::function<void(HWND, bool)> FServeHere;
  std::shared_ptr<void> FEmbeddedServer;
  bool FDetaching = false;
  bool FWindowDriven = false;  // the transport delivers through window messages (single-user)
  // The request whose reply bundle left further replies in the queue.
  struct TBundleOwner {
    bool Valid = false;
    std::uint32_t Cursor = 0;
    std::uint32_t RecLen = 0;
    std::uint32_t BMSize = 0;
  } FLeftoverOwner;
};

}  // namespace tw::dbaccess
