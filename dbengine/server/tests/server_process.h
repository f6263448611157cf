// A server in a process of its own, for tests of servers of several processes on one folder.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "dbengine/server/server_engine.h"
#include "dbengine/storage/tests/fork_alone.h"

namespace tw::dbengine::testing {

// A server in a process of its own, driven step by step: Next() runs the next step there and
// answers its result (kNoAnswer when the process ended without answering).  The process ends, and its
// server with everything it opened, with End() or the object.
constexpr DBIResult kNoAnswer = 0xFFFF;

struct Far {
  TqnServerEngine& E;
  std::uint32_t Db = 0, Cur = 0, Trans = 0;
};
using FarStep = std::function<DBIResult(Far&)>;

class ServerProcess {
 public:
  explicit ServerProcess(std::vector<FarStep> Steps) {
    int down[2], up[2];
    if (::pipe(down) != 0) return;
    if (::pipe(up) != 0) {
      ::close(down[0]);
      ::close(down[1]);
      return;
    }
    std::fflush(nullptr);
    pid_ = ForkAlone();
    if (pid_ == 0) {
      ::close(down[1]);
      ::close(up[0]);
      // The other servers' pipes: their ends would keep them from hearing their end.
      for (const int fd : Ends()) ::close(fd);
      {
        TqnServerEngine e;
        std::uint32_t hash = 0;
        e.ClientAdd(1, "far", "", hash);
        Far far{e};
        char go = 0;
        for (FarStep& step : Steps) {
          if (::read(down[0], &go, 1) != 1) break;
          DBIResult r = kNoAnswer;
          try {
            r = step(far);
          } catch (...) {
          }
          if (::write(up[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) break;
        }
        // The server stays until the test lets it go.
        while (::read(down[0], &go, 1) > 0) {
        }
      }
      ::_exit(0);
    }
    ::close(down[0]);
    ::close(up[1]);
    to_ = down[1];
    from_ = up[0];
    Ends().push_back(to_);
    Ends().push_back(from_);
  }
  ~ServerProcess() { End(); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  DBIResult Next() {
    const char go = 1;
    DBIResult r = kNoAnswer;
    if (to_ < 0 || ::write(to_, &go, 1) != 1) return kNoAnswer;
    if (::read(from_, &r, sizeof r) != static_cast<ssize_t>(sizeof r)) return kNoAnswer;
    return r;
  }
  void End() {
    std::erase_if(Ends(), [&](int fd) { return fd == to_ || fd == from_; });
    if (to_ >= 0) ::close(to_);
    to_ = -1;
    if (pid_ > 0) {
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    if (from_ >= 0) ::close(from_);
    from_ = -1;
  }

 private:
  static std::vector<int>& Ends() {
    static std::vector<int> ends;
    return ends;
  }
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
};

}  // namespace tw::dbengine::testing
