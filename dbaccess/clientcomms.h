// The client end of the connection to the database server, as the session uses it, and the
// seams that make one (the embedded start-up registers the real one) and that ask the user
// for a login or a server.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/dbitypes.h"

namespace tw {
class TStream;
}

namespace tw::dbaccess {

class TClientComms {
 public:
  virtual ~TClientComms() = default;
  virtual bool IsConnected() const = 0;
  // Names of the servers that answered within TimeOut milliseconds.
  virtual std::vector<std::string> GetServerNames(std::uint32_t TimeOut) = 0;
  // 0, 10036 for a wrong user name or password, or a transport code.
  virtual DBIResult AttachToServer(const std::string& Server, const std::string& User, const std::string& Password) = 0;
  // Sends one request; the reply's data goes into Reply (at most ReplyCapacity bytes, the
  // count in ReplyLength when given).  Returns the reply's result code.
  virtual DBIResult SendRequest(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream,
                                void* Reply, std::uint32_t ReplyCapacity, std::uint32_t* ReplyLength = nullptr) = 0;
  // The same with the whole reply data written into a stream at its position.
  virtual DBIResult SendRequestToStream(std::uint32_t MessageId, const void* Data, std::uint32_t Length,
                                        bool DataIsStream, TStream& Reply) = 0;
};

// Makes a client comms engine for a client name and starts the server it talks to; raises on
// failure.  Without a factory a session reports "Network Protocol Failure".
using TClientCommsFactory = std::function<std::unique_ptr<TClientComms>(const std::string& ClientName)>;
void SetClientCommsFactory(TClientCommsFactory Factory);
const TClientCommsFactory& ClientCommsFactory();

// The login and server-pick dialogs.
class TLoginPrompt {
 public:
  virtual ~TLoginPrompt() = default;
  // Asks for user name and password; false on Cancel.
  virtual bool Login(const std::string& Server, std::string& User, std::string& Password) = 0;
  // Offers the names (the first selected); false on Cancel.
  virtual bool PickServer(const std::vector<std::string>& Names, std::string& Chosen) = 0;
};
// The installed prompt (nullptr: none).  It is handed out shared, so that whoever asks through
// it keeps it alive while a dialog runs, even when the prompt is replaced meanwhile, and so that
// a newer prompt can keep the one before it and pass questions on to it.
void SetLoginPrompt(std::shared_ptr<TLoginPrompt> Prompt);
std::shared_ptr<TLoginPrompt> LoginPrompt();

// The data-set classes' answer to "which alias does your database component of this name
// stand for?" ("" when there is none); a session asks it for a name that is neither a folder
// nor a known alias.  Without one such names stay unknown.
using TDatabaseAliasLookup = std::function<std::string(const std::string& DatabaseName)>;
void SetDatabaseAliasLookup(TDatabaseAliasLookup Lookup);
const TDatabaseAliasLookup& DatabaseAliasLookup();

// Session defaults.
struct TSessionDefaults {
  std::string ServerName;
  std::string UserName = "admin";
  std::string Password;
  int LoginAttempts = 3;
  std::uint32_t ServerListTimeOut = 3000;
};
TSessionDefaults& SessionDefaults();

}  // namespace tw::dbaccess
