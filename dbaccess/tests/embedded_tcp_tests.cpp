// The server over TCP on the loopback address, with its clients in processes of their own: a
// client fills a table in one transaction and reads it back in key order; a client killed in
// the middle of a transaction leaves nothing of it behind; a new client sees exactly the rows
// that were committed.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "dbengine/base/serverlog.h"
#include "dbengine/server/comms/server_comms_link.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/transport/commswindow.h"
#include "dbengine/transport/servercomms.h"
#include "dbengine/transport/winsock.h"
#include "platform/win/display.h"

namespace tw::dbaccess::test {
namespace {

using namespace tw::dbengine;

// A loopback port that nobody listens on now.
std::uint16_t FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &n);
  close(s);
  return ntohs(a.sin_port);
}

// A client process and what it printed.
struct Child {
  pid_t Pid = -1;
  int Out = -1;
  std::string Output;
  int Status = -1;
  bool Done = false;
};

class TcpServer : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    folder = std::filesystem::temp_directory_path() / ("tw_tcp_" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    QNSetLogPath((folder / "QNSERVER.LOG").string());
    port = FreePort();
    engine = std::make_unique<TqnServerEngine>();
    auto* transport = new TqnTCPIPProtocol("QNSERVER", true);  // no address: loopback
    transport->SetPorts(port, static_cast<std::uint16_t>(port + 1), static_cast<std::uint16_t>(port + 2));
    comms = std::make_unique<TqnServerCommsEngine>(transport);
    link = std::make_unique<TqnServerCommsLink>(*engine, *comms);
    handler = QNCreateCommsWindow(
        [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
          if (m == kQnRequestComplete) {
            link->DispatchQueue();
            return 0;
          }
          return DefWindowProc(h, m, w, l);
        },
        true);
    comms->SetHandlerWindow(handler);
    comms->StartListening();
  }
  void TearDown() override {
    link.reset();
    comms.reset();
    QNDestroyCommsWindow(handler);
    engine.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }

  Child Start(const std::string& Mode) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    Child c;
    c.Pid = fork();
    if (c.Pid == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      const std::string p = std::to_string(port), f = folder.string();
      execl(TW_TCP_TEST_CLIENT, TW_TCP_TEST_CLIENT, Mode.c_str(), p.c_str(), f.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    c.Out = fds[0];
    fcntl(c.Out, F_SETFL, O_NONBLOCK);
    return c;
  }

  // Serves requests until Done answers true; false when that did not happen within a bound
  // that only a hung run reaches.
  bool Serve(Child& C, const std::function<bool()>& Done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (!Done()) {
      if (std::chrono::steady_clock::now() > limit) return false;
      comms->Transport().PumpMessages();
      bool busy = false;
      MSG m;
      while (PeekMessage(&m, 0, 0, 0, PM_REMOVE)) {
        DispatchMessage(&m);
        busy = true;
      }
      char buf[256];
      ssize_t n;
      while (C.Out >= 0 && (n = read(C.Out, buf, sizeof buf)) > 0) C.Output.append(buf, static_cast<std::size_t>(n));
      if (!C.Done && waitpid(C.Pid, &C.Status, WNOHANG) == C.Pid) C.Done = true;
      if (!busy) std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
  }
  // Runs a client to its end and returns what it printed.
  std::string RunToEnd(const std::string& Mode, int& ExitCode) {
    Child c = Start(Mode);
    EXPECT_TRUE(Serve(c, [&] { return c.Done; }));
    char buf[256];
    ssize_t n;
    while ((n = read(c.Out, buf, sizeof buf)) > 0) c.Output.append(buf, static_cast<std::size_t>(n));
    close(c.Out);
    ExitCode = WIFEXITED(c.Status) ? WEXITSTATUS(c.Status) : -1;
    return c.Output;
  }

  std::filesystem::path folder;
  std::uint16_t port = 0;
  std::unique_ptr<TqnServerEngine> engine;
  std::unique_ptr<TqnServerCommsEngine> comms;
  std::unique_ptr<TqnServerCommsLink> link;
  HWND handler = 0;
};

TEST_F(TcpServer, ClientsInOtherProcessesFillReadAndDieMidTransaction) {
  int code = -1;
  EXPECT_EQ(RunToEnd("fill", code), "rows 10000 first 1 last 10000 ordered 1\n");
  EXPECT_EQ(code, 0);

  // A client that dies in the middle of its transaction.
  Child partial = Start("partial");
  ASSERT_TRUE(Serve(partial, [&] { return partial.Output.find("inserted") != std::string::npos || partial.Done; }));
  ASSERT_FALSE(partial.Done) << partial.Output;
  EXPECT_EQ(engine->TransactionCount(), 1);
  kill(partial.Pid, SIGKILL);
  ASSERT_TRUE(Serve(partial, [&] { return partial.Done && engine->ClientCount() == 0; }));
  close(partial.Out);
  EXPECT_EQ(engine->TransactionCount(), 0);
  EXPECT_EQ(comms->Transport().ConnectionCount(), 0);

  // A new client sees exactly the committed rows.
  EXPECT_EQ(RunToEnd("check", code), "rows 10000 first 1 last 10000 ordered 1\n");
  EXPECT_EQ(code, 0);
}

// A client over TCP cannot step out of the database's folder through a table-list mask, nor
// read the engine's own files or a hard-linked outside file as a file BLOB.
TEST_F(TcpServer, MasksStayInTheFolderAndEngineFilesAreNoBlobSources) {
  const std::filesystem::path outside = folder.string() + "_outside.txt";
  { std::ofstream(outside) << "secret"; }
  { std::ofstream(folder / "QNSUser.QND") << "users"; }
  { std::ofstream(folder / "plain.txt") << "plain"; }
  std::filesystem::create_hard_link(outside, folder / "hard.txt");
  int code = -1;
  const std::string out = RunToEnd("doors", code);
  std::filesystem::remove(outside);
  EXPECT_EQ(code, 0) << out;
  EXPECT_EQ(out, "list 9986 list 9986 list 9986 list 0 hard,plain blob 9986 blob 9986 blob 0\n");
}

}  // namespace
}  // namespace tw::dbaccess::test
