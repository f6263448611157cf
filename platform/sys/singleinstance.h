// The single-instance guard: the first start of the program on a display holds a lock and
// listens; a second start on that display hands its command line to the first, which comes to
// the front, and ends.  One copy runs per user and display: a start on another display, which
// could not see the first copy's window, takes a guard of its own.
//
// Files, named after the application and the display: "<App>-it_singleInstMsg-<display>.lock"
// and "...-<display>.sock" in $XDG_RUNTIME_DIR, <display> as GuardDisplayName gives it (no
// "-<display>" for an empty name); without that folder (or when the socket name would not fit
// an AF_UNIX address there), in /tmp with the user id added to the name
// ("<App>-it_singleInstMsg-<display>-<uid>.lock").  Characters of the names other than letters,
// digits, '.', '-', '_' (and ':' in the display's) become '_'.
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
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/sys/activationmessage.h"

namespace tw {

TW_DECLARE_EXCEPTION(ESingleInstanceError, Exception);

// The display as the guard counts displays.  An X display name "[host]:number[.screen]" keeps
// its host and number: the screen is dropped (the screens of a display are one desk), "unix"
// (the local socket) is no host, and host names are compared in lower case; so ":99", ":99.0",
// ":99.1" and "unix:99" are one display.  "localhost:99" stays another: a connection over the
// network may reach another server (ssh forwards displays as "localhost:10").  Any other name
// ("offscreen", a socket path) stands as it is.
std::string GuardDisplayName(std::string_view display);

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
  // folder chosen as described above; else that folder, names without the user id.  `display`:
  // the display the program shows its windows on.
  explicit SingleInstance(const std::string& appName, std::string runtimeFolder = {}, std::string_view display = {});
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
