#include "platform/sys/singleinstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace tw {

namespace {

// How long one side waits for the other's next bytes before giving up on a connection.
constexpr int kIoTimeoutMs = 2000;
// Pause between two connection attempts while the running instance is starting.
constexpr auto kRetryPause = std::chrono::milliseconds(25);

std::string SafeName(std::string_view name, bool colon = false) {
  std::string out(name);
  for (char& c : out) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '-' || c == '_' || (colon && c == ':');
    if (!ok) c = '_';
  }
  return out;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool FitsSocketAddress(const std::string& path) { return path.size() < sizeof(sockaddr_un{}.sun_path); }

bool IsFolder(const char* path) {
  struct stat st;
  return path != nullptr && path[0] == '/' && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

sockaddr_un Address(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return addr;
}

// True when the process at the other end of a connected socket runs as this user.
bool PeerIsSameUser(int fd) {
  ucred cred{};
  socklen_t len = sizeof cred;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == ::getuid();
}

// Waits until fd is ready for `events`; false on time-out or error.
bool WaitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  int rc;
  while ((rc = ::poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
  }
  return rc > 0;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    if (!WaitFor(fd, POLLOUT, kIoTimeoutMs)) return false;
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

// The first instance's listening socket and the thread that serves it.
struct SingleInstance::Listener {
  int socketFd = -1;
  int wakeRead = -1;
  int wakeWrite = -1;
  RequestHandler handler;
  std::thread thread;
  mutable std::mutex lock;
  std::string lastError;

  ~Listener() {
    if (thread.joinable()) {
      const char stop = 1;
      while (::write(wakeWrite, &stop, 1) < 0 && errno == EINTR) {
      }
      thread.join();
    }
    CloseFd(socketFd);
    CloseFd(wakeRead);
    CloseFd(wakeWrite);
  }

  void Refuse(const std::string& why) {
    std::lock_guard<std::mutex> guard(lock);
    lastError = why;
  }

  std::string LastError() const {
    std::lock_guard<std::mutex> guard(lock);
    return lastError;
  }

  void Run() {
    for (;;) {
      pollfd fds[2] = {{socketFd, POLLIN, 0}, {wakeRead, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        Refuse(Errno("waiting for newcomers failed"));
        return;
      }
      if (fds[1].revents != 0) return;
      if (fds[0].revents & (POLLERR | POLLNVAL)) {
        Refuse("the listening socket failed");
        return;
      }
      if (fds[0].revents & POLLIN) {
        int fd = ::accept4(socketFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
          Serve(fd);
          CloseFd(fd);
        }
      }
    }
  }

  // Reads one request to its end, hands it to the handler and answers.
  void Serve(int fd) {
    if (!PeerIsSameUser(fd)) {
      Refuse("a connection of another user was refused");
      return;
    }
    std::string bytes;
    char buffer[4096];
    for (;;) {
      if (!WaitFor(fd, POLLIN, kIoTimeoutMs)) {
        Refuse("a newcomer sent no complete request");
        return;
      }
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        Refuse(Errno("reading a request failed"));
        return;
      }
      if (n == 0) break;
      bytes.append(buffer, static_cast<std::size_t>(n));
      if (bytes.size() > MaxActivationMessage) {
        Refuse("a request longer than the limit was refused");
        return;
      }
    }
    ActivationRequest request;
    std::string error;
    if (!DecodeActivationRequest(bytes, request, error)) {
      Refuse("a request was refused: " + error);
      return;
    }
    try {
      if (handler) handler(request);
    } catch (const std::exception& e) {
      Refuse(std::string("the request handler failed: ") + e.what());
    } catch (...) {
      Refuse("the request handler failed");
    }
    WriteAll(fd, std::string(1, ActivationAccepted));
  }
};

std::string GuardDisplayName(std::string_view display) {
  const std::size_t colon = display.rfind(':');
  if (colon == std::string_view::npos || display.front() == '/') return std::string(display);
  std::string_view host = display.substr(0, colon), number = display.substr(colon + 1);
  if (const std::size_t dot = number.find('.'); dot != std::string_view::npos) {
    if (!AllDigits(number.substr(dot + 1))) return std::string(display);
    number = number.substr(0, dot);
  }
  if (!AllDigits(number)) return std::string(display);
  std::string name(host == "unix" ? std::string_view() : host);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name + ":" + std::string(number);
}

SingleInstance::SingleInstance(const std::string& appName, std::string runtimeFolder, std::string_view display) {
  if (appName.empty()) throw ESingleInstanceError("The single-instance guard needs an application name");
  messageName_ = SafeName(appName) + "-it_singleInstMsg";
  const std::string guard = display.empty() ? messageName_ : messageName_ + "-" + SafeName(GuardDisplayName(display), true);
  if (!runtimeFolder.empty()) {
    if (runtimeFolder.back() != '/') runtimeFolder += '/';
    lockPath_ = runtimeFolder + guard + ".lock";
    socketPath_ = runtimeFolder + guard + ".sock";
    return;
  }
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (IsFolder(xdg)) {
    std::string folder = xdg;
    if (folder.back() != '/') folder += '/';
    if (FitsSocketAddress(folder + guard + ".sock")) {
      lockPath_ = folder + guard + ".lock";
      socketPath_ = folder + guard + ".sock";
      return;
    }
  }
  const std::string base = "/tmp/" + guard + "-" + std::to_string(::getuid());
  lockPath_ = base + ".lock";
  socketPath_ = base + ".sock";
}

SingleInstance::~SingleInstance() {
  if (listener_) {
    listener_.reset();
    // Still holding the lock: the socket is ours to remove.
    ::unlink(socketPath_.c_str());
  }
  ReleaseLock();
}

std::string SingleInstance::Error() const {
  if (!error_.empty() || !listener_) return error_;
  return listener_->LastError();
}

void SingleInstance::ReleaseLock() { CloseFd(lockFd_); }

bool SingleInstance::TryLock() {
  if (lockFd_ < 0) {
    lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) {
      error_ = Errno("the lock file " + lockPath_ + " cannot be opened");
      return false;
    }
    struct stat st;
    if (::fstat(lockFd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) {
      error_ = "the lock file " + lockPath_ + " is not a file of this user";
      ReleaseLock();
      return false;
    }
  }
  if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno != EWOULDBLOCK) {
    error_ = Errno("the lock file " + lockPath_ + " cannot be locked");
    ReleaseLock();
  }
  return false;
}

bool SingleInstance::StartPrimary(RequestHandler handler) {
  // The lock is ours, so any socket file there is left by an instance that ended without
  // removing it.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(lockFd_, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(lockFd_, pid.data(), pid.size(), 0);
  }
  if (!FitsSocketAddress(socketPath_)) {
    error_ = "the socket name " + socketPath_ + " is too long";
    return false;
  }
  struct stat st;
  if (::lstat(socketPath_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode) || ::unlink(socketPath_.c_str()) != 0) {
      error_ = "the old socket " + socketPath_ + " cannot be removed";
      return false;
    }
  }
  auto listener = std::make_unique<Listener>();
  listener->handler = std::move(handler);
  listener->socketFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener->socketFd < 0) {
    error_ = Errno("no socket");
    return false;
  }
  const sockaddr_un addr = Address(socketPath_);
  if (::bind(listener->socketFd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    error_ = Errno("the socket " + socketPath_ + " cannot be bound");
    return false;
  }
  ::chmod(socketPath_.c_str(), 0600);
  int pipeFds[2];
  if (::listen(listener->socketFd, 8) != 0 || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
    error_ = Errno("the socket " + socketPath_ + " cannot listen");
    ::unlink(socketPath_.c_str());
    return false;
  }
  listener->wakeRead = pipeFds[0];
  listener->wakeWrite = pipeFds[1];
  Listener* raw = listener.get();
  try {
    listener->thread = std::thread([raw] { raw->Run(); });
  } catch (const std::system_error& e) {
    error_ = std::string("the listener thread cannot start: ") + e.what();
    ::unlink(socketPath_.c_str());
    return false;
  }
  listener_ = std::move(listener);
  return true;
}

int SingleInstance::TryConnect() {
  if (!FitsSocketAddress(socketPath_)) return -1;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const sockaddr_un addr = Address(socketPath_);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    CloseFd(fd);
    return -1;
  }
  return fd;
}

void SingleInstance::SendRequest(int fd, const std::vector<std::string>& commandLine) {
  if (!PeerIsSameUser(fd)) {
    error_ = "the socket " + socketPath_ + " belongs to another user";
    return;
  }
  ActivationRequest request;
  request.ProcessId = static_cast<std::uint32_t>(::getpid());
  char cwd[4096];
  if (::getcwd(cwd, sizeof cwd) != nullptr) request.WorkingFolder = cwd;
  request.Arguments = commandLine;
  std::string bytes;
  try {
    bytes = EncodeActivationRequest(request);
  } catch (const Exception&) {
    // Too long to pass on: ask the running instance to come to the front all the same.
    request.Arguments.clear();
    bytes = EncodeActivationRequest(request);
  }
  if (!WriteAll(fd, bytes) || ::shutdown(fd, SHUT_WR) != 0) {
    error_ = Errno("the request could not be sent");
    return;
  }
  char answer = 0;
  ssize_t n = -1;
  // The running instance answers once its handler has taken the request.
  if (WaitFor(fd, POLLIN, 2 * kIoTimeoutMs)) {
    while ((n = ::recv(fd, &answer, 1, 0)) < 0 && errno == EINTR) {
    }
  }
  if (n == 1 && answer == ActivationAccepted) {
    delivered_ = true;
  } else {
    error_ = "the running instance did not answer";
  }
}

SingleInstance::Role SingleInstance::Acquire(const std::vector<std::string>& commandLine, RequestHandler handler,
                                             std::chrono::milliseconds patience) {
  if (role_ != Role::None) throw ESingleInstanceError("The single-instance guard is taken already");
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (TryLock()) {
      if (StartPrimary(std::move(handler))) return role_ = Role::Primary;
      ReleaseLock();
      return role_ = Role::Unguarded;
    }
    if (lockFd_ < 0) return role_ = Role::Unguarded;
    int fd = TryConnect();
    if (fd >= 0) {
      SendRequest(fd, commandLine);
      CloseFd(fd);
      ReleaseLock();
      return role_ = Role::Secondary;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      error_ = "the running instance cannot be reached at " + socketPath_;
      ReleaseLock();
      return role_ = Role::Secondary;
    }
    std::this_thread::sleep_for(kRetryPause);
  }
}

}  // namespace tw
