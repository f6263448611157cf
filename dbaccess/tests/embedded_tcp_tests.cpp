// The server over TCP on the loopback address, with its clients in processes of their own: a
// client fills a table in one transaction and reads it back in key order; a client killed in
// the middle of a transaction leaves nothing of it behind; a new client sees exactly the rows
// that were committed.  Clients that never read, idle crowds and greedy senders hold up nobody
// but themselves, and clients that end without DbiExit end cleanly.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "dbengine/base/serverlog.h"
#include "dbengine/base/serveroptions.h"
#include "dbengine/server/comms/server_comms_link.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/transport/commswindow.h"
#include "dbengine/transport/servercomms.h"
#include "dbengine/transport/winsock.h"
#include "largest_table.h"
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

}  // namespace
}  // namespace tw::dbaccess::test

// Freed memory that the address sanitizer holds back to catch late uses is counted in the
// process's resident memory; a small hold keeps the server's own figure readable.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=8"; }

namespace tw::dbaccess::test {
namespace {

// The resident memory of this process (the server's), in bytes, from /proc.
std::size_t ResidentBytes() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmRSS:", 0) == 0) return static_cast<std::size_t>(std::stoul(line.substr(6))) * 1024;
  return 0;
}

int OpenDescriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
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

  // The server's limits as its options file gives them.
  void ApplyOptions(const std::string& Text) {
    TqnServerConfiguration config;
    ApplyOptionsText(config, Text);
    comms->SetLimits(config.GeneralInfo().Comms);
  }

  // The server's limits as Options gives them, and the table of ten rows the clients read.
  void LimitsAndSmallTable(const std::string& Options) {
    ApplyOptions(Options);
    int code = -1;
    RunToEnd("small", code);
    ASSERT_EQ(code, 0);
  }

  Child Start(const std::string& Mode) { return Start(Mode, std::to_string(port), folder.string()); }
  Child Start(const std::string& Mode, const std::string& Port, const std::string& Arg) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    Child c;
    c.Pid = fork();
    if (c.Pid == 0) {
      dup2(fds[1], STDOUT_FILENO);
      dup2(fds[1], STDERR_FILENO);
      close(fds[0]);
      close(fds[1]);
      execl(TW_TCP_TEST_CLIENT, TW_TCP_TEST_CLIENT, Mode.c_str(), Port.c_str(), Arg.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    c.Out = fds[0];
    fcntl(c.Out, F_SETFL, O_NONBLOCK);
    return c;
  }

  // Serves requests until Done answers true; false when that did not happen within a bound
  // that only a hung run reaches.  With nothing to do the server sleeps on its sockets.
  bool Serve(Child& C, const std::function<bool()>& Done) { return Serve({&C}, Done); }
  bool Serve(const std::vector<Child*>& Children, const std::function<bool()>& Done) {
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
      for (Child* c : Children) {
        char buf[256];
        ssize_t n;
        while (c->Out >= 0 && (n = read(c->Out, buf, sizeof buf)) > 0)
          c->Output.append(buf, static_cast<std::size_t>(n));
        if (!c->Done && waitpid(c->Pid, &c->Status, WNOHANG) == c->Pid) c->Done = true;
      }
      if (!busy) comms->Transport().WaitForEvents(1);
    }
    return true;
  }
  static bool Printed(Child& C, const std::string& Text) {
    char buf[256];
    ssize_t n;
    while (C.Out >= 0 && (n = read(C.Out, buf, sizeof buf)) > 0) C.Output.append(buf, static_cast<std::size_t>(n));
    return C.Output.find(Text) != std::string::npos;
  }
  void Stop(Child& C) {
    kill(C.Pid, SIGKILL);
    Serve(C, [&] { return C.Done; });
    close(C.Out);
  }
  // Runs a client to its end and returns what it printed.
  std::string RunToEnd(const std::string& Mode, int& ExitCode) {
    return RunToEnd(Mode, std::to_string(port), folder.string(), ExitCode);
  }
  std::string RunToEnd(const std::string& Mode, const std::string& Port, const std::string& Arg, int& ExitCode) {
    Child c = Start(Mode, Port, Arg);
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
  // Another client's transaction meets the open one: its request waits, retried on the real
  // clock, and goes through once the first client is gone.
  Child waiting = Start("locks");
  const auto meet = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  ASSERT_TRUE(Serve({&partial, &waiting}, [&] { return std::chrono::steady_clock::now() > meet; }));
  EXPECT_FALSE(waiting.Done) << waiting.Output;
  kill(partial.Pid, SIGKILL);
  ASSERT_TRUE(Serve({&partial, &waiting}, [&] { return partial.Done && waiting.Done; }));
  EXPECT_TRUE(Printed(waiting, "locks 1000 failed 0")) << waiting.Output;
  close(waiting.Out);
  ASSERT_TRUE(Serve(partial, [&] { return engine->ClientCount() == 0; }));
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

TEST_F(TcpServer, SlowIdleAndGreedyClientsHoldUpNobodyButThemselves) {
  // Idle connections are given all the time they want to attach: what is looked at is that
  // they hold up nobody.
  ApplyOptions("REPLYTIMEOUT=2000\nATTACHTIMEOUT=600000\n");
  int code = -1;
  RunToEnd("small", code);
  ASSERT_EQ(code, 0);
  const std::string alone = RunToEnd("locks", code);
  EXPECT_EQ(code, 0) << alone;

  // A client that sends requests and never reads a reply (and comes back whenever it is hung
  // up), and fifty connections that do nothing.
  Child stall = Start("stall");
  Child idle = Start("idle", std::to_string(port), "50");
  ASSERT_TRUE(Serve({&stall, &idle}, [&] { return Printed(stall, "stalling") && Printed(idle, "idle 50"); }));
  Child benign = Start("locks");
  ASSERT_TRUE(Serve({&stall, &idle, &benign}, [&] { return benign.Done; }));
  std::cout << "benign client alone:                          " << alone
            << "benign client beside a stalled client and 50 idle connections: " << benign.Output;
  EXPECT_TRUE(WIFEXITED(benign.Status) && WEXITSTATUS(benign.Status) == 0) << benign.Output;
  EXPECT_TRUE(Printed(benign, "locks 1000 failed 0")) << benign.Output;
  EXPECT_TRUE(Printed(idle, "closed 0")) << idle.Output;  // idle connections stay, until their time to attach is over
  Stop(stall);
  Stop(idle);
  close(benign.Out);
}

TEST_F(TcpServer, ClientsBeyondTheLimitsAreRefusedAndTheServedOnesGoOn) {
  const std::size_t memory = 4000000;
  LimitsAndSmallTable("MAXCONNECTIONS=140\nCOMMSMEMORY=" + std::to_string(memory) + "\n");
  int code = -1;

  // Eight greedy processes of 16 connections, each starting four messages of 128 KiB and never
  // finishing them: 64 MB asked for, 4 MB granted.
  const std::size_t before = ResidentBytes();
  std::vector<Child> hogs;
  for (int i = 0; i < 8; ++i) hogs.push_back(Start("hog", std::to_string(port), "131072"));
  std::vector<Child*> all;
  for (Child& h : hogs) all.push_back(&h);
  ASSERT_TRUE(Serve(all, [&] {
    for (Child& h : hogs)
      if (!Printed(h, "hog hung-up")) return false;
    return true;
  }));
  EXPECT_LE(comms->HeldBytes(), memory);
  const std::size_t after = ResidentBytes();
  const std::size_t grown = after - std::min(before, after);
  std::cout << "server memory grew by " << grown / 1024 << " KiB for 64 MB of unfinished messages\n";
  // What the server keeps is within its share; what the process grew by also holds the
  // sanitizer's 8 MB of freed memory and the connections themselves, far below what was asked.
  EXPECT_LT(grown, 6 * memory);
  int hungUp = 0;
  for (Child& h : hogs) hungUp += std::atoi(h.Output.substr(h.Output.find("hung-up") + 8).c_str());
  EXPECT_GT(hungUp, 0);
  // A served client goes on meanwhile.
  std::string served = RunToEnd("locks", code);
  EXPECT_EQ(code, 0) << served;
  for (Child& h : hogs) Stop(h);
  ASSERT_TRUE(Serve(all, [&] { return comms->Transport().ConnectionCount() == 0; }));
  EXPECT_EQ(comms->HeldBytes(), 0u);

  // Beyond the connection limit a client hears why it is refused.
  ApplyOptions("MAXCONNECTIONS=24\n");
  Child crowd = Start("crowd", std::to_string(port), "30");
  ASSERT_TRUE(Serve(crowd, [&] { return Printed(crowd, "attached"); }));
  EXPECT_TRUE(Printed(crowd, "attached 24 refused 6 closed 0")) << crowd.Output;
  const std::string refused = RunToEnd("check", code);
  EXPECT_NE(code, 0);
  EXPECT_TRUE(refused.find("Network user limit exceeded.") != std::string::npos) << refused;
  Stop(crowd);
  ASSERT_TRUE(Serve(crowd, [&] { return comms->Transport().ConnectionCount() == 0; }));

  // Out of file descriptors: new clients are turned away, the served one never notices.
  ApplyOptions("MAXCONNECTIONS=1000\n");
  rlimit saved{};
  getrlimit(RLIMIT_NOFILE, &saved);
  Child benign = Start("locks");
  ASSERT_TRUE(Serve(benign, [&] { return engine->ClientCount() > 0 || benign.Done; }));
  rlimit scarce = saved;
  scarce.rlim_cur = static_cast<rlim_t>(OpenDescriptors() + 8);
  setrlimit(RLIMIT_NOFILE, &scarce);
  Child idle = Start("idle", std::to_string(port), "40");
  ASSERT_TRUE(Serve({&benign, &idle}, [&] { return benign.Done && Printed(idle, "idle"); }));
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_TRUE(WIFEXITED(benign.Status) && WEXITSTATUS(benign.Status) == 0) << benign.Output;
  EXPECT_TRUE(Printed(benign, "locks 1000 failed 0")) << benign.Output;
  EXPECT_FALSE(Printed(idle, "closed 0")) << idle.Output;
  Stop(idle);
  close(benign.Out);
  served = RunToEnd("locks", code);
  EXPECT_EQ(code, 0) << served;
}

// Over TCP as in the process: "NUMBERS" beside an open "Numbers" is that table, and no other
// spelling deletes, rebuilds or renames it while it is open.
TEST_F(TcpServer, AnotherCaseOfAnOpenTablesNameIsThatTable) {
  int code = -1;
  RunToEnd("small", code);
  ASSERT_EQ(code, 0);
  EXPECT_EQ(RunToEnd("cases", code), "acknowledged 20 rows 30 delete 10031 build 10031 rename 10031\n");
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(std::filesystem::exists(folder / "Numbers.QND"));
  EXPECT_FALSE(std::filesystem::exists(folder / "Moved.QND"));
  const std::string stored = RunToEnd("check", code);
  EXPECT_NE(stored.find("rows 30 first 1 last 1020"), std::string::npos) << stored;
}

// The largest dictionary a table can have travels over TCP in both directions: built,
// opened, restructured and opened again by a client in a process of its own.
TEST_F(TcpServer, TheLargestDictionaryIsBuiltRestructuredAndOpened) {
  int code = -1;
  EXPECT_EQ(RunToEnd("widest", code), WidestTableExpected() + "\n");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(engine->ClientCount(), 0);
}

// Three hundred connections that never attach: a real client gets in beside them at once, and
// they are hung up when their time to attach is over.
TEST_F(TcpServer, SilentConnectionsKeepNoClientOutAndAreHungUpInTime) {
  const std::uint32_t deadline = 3000;
  LimitsAndSmallTable("ATTACHTIMEOUT=" + std::to_string(deadline) + "\n");
  int code = -1;
  Child idle = Start("idle", std::to_string(port), "300");
  ASSERT_TRUE(Serve(idle, [&] { return Printed(idle, "idle"); }));
  EXPECT_TRUE(Printed(idle, "idle 300")) << idle.Output;
  // The silent connections hold every slot (each beyond the limit took an older one's place).
  EXPECT_EQ(comms->Transport().ConnectionCount(), 256);
  const auto start = std::chrono::steady_clock::now();
  const std::string served = RunToEnd("check", code);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(served, "rows 10 first 1 last 10 ordered 1\n");
  EXPECT_EQ(code, 0);
  std::cout << "a client beside 300 silent connections was served in "
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";
  EXPECT_LT(took, std::chrono::milliseconds(deadline) + std::chrono::seconds(5));
  // Every silent connection is gone once its time is over.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadline) + std::chrono::seconds(2);
  ASSERT_TRUE(Serve(idle, [&] {
    return comms->Transport().ConnectionCount() == 0 || std::chrono::steady_clock::now() > until;
  }));
  EXPECT_EQ(comms->Transport().ConnectionCount(), 0);
  Stop(idle);
}

// A client that holds a table's write lock and dies leaves no lock behind: another client that
// keeps the table open inserts at once.
TEST_F(TcpServer, ATableLockGoesWithTheClientThatHeldIt) {
  int code = -1;
  RunToEnd("small", code);
  ASSERT_EQ(code, 0);
  Child keeper = Start("keeper");
  ASSERT_TRUE(Serve(keeper, [&] { return Printed(keeper, "open") || keeper.Done; }));
  ASSERT_FALSE(keeper.Done) << keeper.Output;
  Child holder = Start("tablelock");
  ASSERT_TRUE(Serve({&keeper, &holder}, [&] { return Printed(holder, "locked") || holder.Done; }));
  EXPECT_TRUE(Printed(holder, "locked 0")) << holder.Output;
  kill(holder.Pid, SIGKILL);
  ASSERT_TRUE(Serve({&keeper, &holder}, [&] { return holder.Done && engine->ClientCount() == 1; }));
  close(holder.Out);
  { std::ofstream(folder / "go") << "go"; }
  ASSERT_TRUE(Serve(keeper, [&] { return keeper.Done; }));
  EXPECT_TRUE(Printed(keeper, "insert 0")) << keeper.Output;
  close(keeper.Out);
}

TEST_F(TcpServer, ClientsThatEndWithoutDbiExitEndCleanly) {
  int code = -1;
  RunToEnd("small", code);
  ASSERT_EQ(code, 0);
  EXPECT_EQ(RunToEnd("noexit", code), "rows 10 first 1 last 10 ordered 1\n");
  EXPECT_EQ(code, 0);
  // The same with the server inside the client's own process.
  const auto own = folder / "own";
  std::filesystem::create_directories(own);
  RunToEnd("small", "0", own.string(), code);
  ASSERT_EQ(code, 0);
  EXPECT_EQ(RunToEnd("noexit", "0", own.string(), code), "rows 10 first 1 last 10 ordered 1\n");
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace tw::dbaccess::test
