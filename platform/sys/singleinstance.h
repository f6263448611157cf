// The single-instance guard: the first start of the program holds a lock and listens; a
// second start hands its command line to the first, which comes to the front, and ends.
//
// Files, named after the application: "<App>-it_singleInstMsg.lock" and
// "<App>-it_singleInstMsg.sock" in $XDG_RUNTIME_DIR; without that folder (or when the socket
// name would not fit an AF_UNIX address there), in /tmp with the user id added to the name
// ("<App>-it_singleInstMsg-<uid>.lock").  Characters of the application name other than
// letters, digits, '.', '-' and '_' become '_'.
//
// The first instance holds an exclusive flock on the lock file for its whole life (the kernel
// drops it when the process ends, however it ends), removes a socket left by an instance that
// crashed, and listens on a fresh one.  A later instance finds the lock taken, connects, sends
// its request (activationmessage.h) and waits for the answer.  Only connections of the same
// user are served, on either side.
//
// Threads: the first instance's requests are read on a listener thread of the guard, which
// calls the handler there, one request at a time; the handler must hand the request on to the
// user-interface thread (PostMessage to the main window) and return quickly.  The newcomer is
// answered after the handler returns.  No handler call runs after the destructor returns.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/sys/activationmessage.h"

namespace tw {

TW_DECLARE_EXCEPTION(ESingleInstanceError, Exception);

class SingleInstance {
 public:
  enum class Role {
    None,       // Acquire not called yet
    Primary,    // the first instance: it listens for newcomers
    Secondary,  // another instance runs; this one should end
    Unguarded,  // the guard could not be set up (Error() says why); the program may run alone
  };
  using RequestHandler = std::function<void(const ActivationRequest&)>;

  // Raises ESingleInstanceError for an empty application name.  `runtimeFolder` empty: the
  // folder chosen as described above; else that folder, names without the user id.
  explicit SingleInstance(const std::string& appName, std::string runtimeFolder = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Takes the guard, once.  As Primary, `handler` is called for every later newcomer's request
  // (see Threads above).  As Secondary, the request with `commandLine` has been sent to the
  // running instance; Delivered() tells whether it answered.  While the running instance is
  // still starting (lock taken, not yet listening), the connection is retried for at most
  // `patience`; if that instance ends meanwhile, this one becomes Primary.
  Role Acquire(const std::vector<std::string>& commandLine, RequestHandler handler,
               std::chrono::milliseconds patience = std::chrono::milliseconds(3000));

  Role GetRole() const { return role_; }
  bool Delivered() const { return delivered_; }
  // Why the guard is Unguarded or a request was not delivered; also the latest request a
  // Primary refused.
  std::string Error() const;
  const std::string& LockPath() const { return lockPath_; }
  const std::string& SocketPath() const { return socketPath_; }
  // The message name the files are named after: application name + "-it_singleInstMsg".
  const std::string& MessageName() const { return messageName_; }

 private:
  struct Listener;
  bool TryLock();
  bool StartPrimary(RequestHandler handler);
  int TryConnect();
  void SendRequest(int fd, const std::vector<std::string>& commandLine);
  void ReleaseLock();

  std::string messageName_;
  std::string lockPath_;
  std::string socketPath_;
  Role role_ = Role::None;
  bool delivered_ = false;
  int lockFd_ = -1;
  std::string error_;
  std::unique_ptr<Listener> listener_;
};

}  // namespace tw
