// Several processes on one folder, each through the entry points as the program goes: eight
// programs with servers of their own over that folder as their program folder, naming it by
// path (with the separator the access layer appends, through a link, in another case) or by the
// alias of the alias script; and
// clients of two TCP servers in two processes; and several clients of one TCP server, whose
// locked reads of one record wait for each other's locks.  One process changes the folder at a time, the
// others are told 10246 and try again, and every acknowledged change is stored: the counter
// holds every acknowledged increment, the unique index every acknowledged key once.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "dbengine/server/server_engine.h"
#include "dbengine/server/tests/server_test_util.h"
#include "dbengine/storage/table_check.h"

namespace tw::dbaccess::test {
namespace {

using namespace tw::dbengine;
using dbengine::testing::Record;

// A helper process and what it printed.
struct Helper {
  pid_t Pid = -1;
  int Out = -1;
  std::string Output;
  int Status = -1;
  bool Done = false;

  void Read() {
    char buf[512];
    ssize_t n;
    while (Out >= 0 && (n = read(Out, buf, sizeof buf)) > 0) Output.append(buf, static_cast<std::size_t>(n));
  }
  // The number printed after Word, -1 when there is none.
  int Number(const std::string& Word) const {
    const std::size_t at = Output.find(Word + " ");
    return at == std::string::npos ? -1 : std::atoi(Output.c_str() + at + Word.size() + 1);
  }
};

Helper Start(const std::vector<std::string>& Args) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  Helper h;
  h.Pid = fork();
  if (h.Pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    dup2(fds[1], STDERR_FILENO);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv{const_cast<char*>(TW_TCP_TEST_CLIENT)};
    for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TW_TCP_TEST_CLIENT, argv.data());
    _exit(127);
  }
  close(fds[1]);
  h.Out = fds[0];
  fcntl(h.Out, F_SETFL, O_NONBLOCK);
  return h;
}

// Waits until Done answers true for the helpers, reading what they print; false after a bound
// that only a hung run reaches.
bool WaitFor(std::vector<Helper>& Helpers, const std::function<bool()>& Done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(4);
  for (;;) {
    for (Helper& h : Helpers) {
      h.Read();
      if (!h.Done && waitpid(h.Pid, &h.Status, WNOHANG) == h.Pid) {
        h.Done = true;
        h.Read();
      }
    }
    if (Done()) return true;
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Three ports in a row that nobody listens on, below the range the system hands to client
// sockets and apart from the ranges other socket tests take.
std::uint16_t FreePorts(int Slot) {
  for (int tries = 0; tries < 300; ++tries) {
    const auto base = static_cast<std::uint16_t>(30100 + ((getpid() + Slot * 97 + tries * 13) % 800) * 3);
    bool free = true;
    for (int i = 0; i < 3 && free; ++i)
      for (const int type : {SOCK_STREAM, SOCK_DGRAM}) {
        const int s = socket(AF_INET, type, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(base + i));
        if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) free = false;
        close(s);
      }
    if (free) return base;
  }
  return 0;
}

class ProcessesOnOneFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    base = std::filesystem::temp_directory_path() / ("tw_processes_" + std::to_string(getpid()));
    std::filesystem::remove_all(base);
    data = base / "Data";
    std::filesystem::create_directories(data);
    std::filesystem::create_directory_symlink(data, base / "link");
    // The two tables, made by a server of this process that is gone before the helpers start.
    TqnServerEngine engine;
    std::uint32_t hash = 0, db = 0, c = 0;
    ASSERT_EQ(engine.ClientAdd(1, "maker", "", hash), 0);
    ASSERT_EQ(engine.DatabaseOpenNoAlias(1, data.string(), 1, 1, db), 0);
    TqnDataDictionary counter(4096);
    counter.AddField("Id", "", qftInt32, 0, 0, true);
    counter.AddField("N", "", qftInt32, 0, 0, true);
    counter.AddIndex("ById", "", 0, {0}, false, true, false);
    ASSERT_EQ(engine.BuildTable(db, false, "Counter", counter), 0);
    TqnDataDictionary keys(4096);
    keys.AddField("K", "", qftInt32, 0, 0, true);
    keys.AddIndex("ByK", "", 0, {0}, false, true, false);
    ASSERT_EQ(engine.BuildTable(db, false, "Keys", keys), 0);
    ASSERT_EQ(engine.OpenTable(db, "Counter", "", 0, 1, 1, c, nullptr), 0);
    Record r(engine.FindCursor(c)->Table->Dictionary());
    r.I32(0, 1).I32(1, 0);
    ASSERT_EQ(engine.RecordInsert(c, 0, r.Data()), 0);
    ASSERT_EQ(engine.DatabaseClose(db), 0);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
  }
  // A program folder of its own for helper I, with an alias script naming the folder.
  std::string ProgramFolder(int I) {
    const std::filesystem::path p = base / ("program" + std::to_string(I));
    std::filesystem::create_directories(p);
    std::ofstream(p / "QNALIAS.SC$") << "Tidewell;" << data.string() << "\r\n";
    return p.string();
  }
  // Runs the bump helpers to their end and checks the folder against what they acknowledged.
  void RunAndCheck(std::vector<Helper>& Bumps, std::vector<Helper>& Servers, bool Elsewhere = true) {
    ASSERT_TRUE(WaitFor(Bumps, [&] {
      for (const Helper& h : Bumps)
        if (!h.Done) return false;
      return true;
    }));
    int bumped = 0, inserted = 0, told = 0;
    for (Helper& h : Bumps) {
      EXPECT_TRUE(WIFEXITED(h.Status) && WEXITSTATUS(h.Status) == 0) << h.Output;
      EXPECT_EQ(h.Number("bumped"), 60) << h.Output;
      EXPECT_EQ(h.Number("failed"), 0) << h.Output;
      bumped += h.Number("bumped");
      inserted += h.Number("inserted");
      told += h.Number("told");
      close(h.Out);
    }
    for (Helper& h : Servers) {
      kill(h.Pid, SIGKILL);
      waitpid(h.Pid, &h.Status, 0);
      close(h.Out);
    }
    if (Elsewhere) EXPECT_GT(told, 0) << "the others were told the folder is changed elsewhere";
    else EXPECT_EQ(told, 0) << "one server: nobody changes the folder elsewhere";
    std::cout << Bumps.size() << " processes: " << bumped << " increments and " << inserted
              << " keys acknowledged, told 10246 " << told << " times\n";

    TqnServerEngine engine;
    std::uint32_t hash = 0, db = 0, c = 0, k = 0, n = 0;
    ASSERT_EQ(engine.ClientAdd(1, "checker", "", hash), 0);
    ASSERT_EQ(engine.DatabaseOpenNoAlias(1, data.string(), 0, 1, db), 0);
    ASSERT_EQ(engine.OpenTable(db, "Counter", "", 0, 0, 1, c, nullptr), 0);
    Record r(engine.FindCursor(c)->Table->Dictionary());
    ASSERT_EQ(engine.RecordGetNext(c, 0, r.Data()), 0);
    EXPECT_EQ(r.GetI32(1), bumped) << "every acknowledged increment is stored";
    ASSERT_EQ(engine.OpenTable(db, "Keys", "ByK", 0, 0, 1, k, nullptr), 0);
    ASSERT_EQ(engine.GetTableRecCount(k, n), 0);
    EXPECT_EQ(static_cast<int>(n), inserted) << "every acknowledged key is stored";
    Record key(engine.FindCursor(k)->Table->Dictionary());
    int walked = 0;
    std::int32_t last = -1;
    while (engine.RecordGetNext(k, 0, key.Data()) == 0) {
      EXPECT_GT(key.GetI32(0), last) << "a key of the unique index twice";
      last = key.GetI32(0);
      ++walked;
    }
    EXPECT_EQ(walked, inserted);
    engine.DatabaseClose(db);
    for (const char* table : {"Counter.QND", "Keys.QND", "QNSInfo.QND", "QNSALIAS.QND", "QNSUser.QND"}) {
      if (!std::filesystem::exists(data / table)) continue;
      std::string problems;
      for (const std::string& p : QNCheckTableFile((data / table).string())) problems += p + "\n";
      EXPECT_EQ(problems, "") << table;
    }
  }
  std::filesystem::path base, data;
};

TEST_F(ProcessesOnOneFolder, EightProgramsWithServersOfTheirOwnLoseNothing) {
  const std::string dir = data.string();
  const std::string upper = (base / "DATA").string();  // only "Data" exists: found in any case
  const std::vector<std::string> names = {dir,        dir + "/", (base / "link").string(), upper,
                                          "Tidewell", "Tidewell", "tidewell",               "TIDEWELL"};
  std::vector<Helper> bumps, none;
  // As the program: its own folder holds the tables, the alias script naming that folder, and
  // the server's system tables and log.
  std::ofstream(data / "QNALIAS.SC$") << "Tidewell;" << data.string() << "\r\n";
  for (int i = 0; i < 8; ++i) bumps.push_back(Start({"bump", "0", names[static_cast<std::size_t>(i)], data.string()}));
  RunAndCheck(bumps, none);
}

TEST_F(ProcessesOnOneFolder, ClientsOfTwoTcpServersInTwoProcessesLoseNothing) {
  const std::uint16_t first = FreePorts(0);
  std::uint16_t second = FreePorts(1);
  for (int slot = 2; second != 0 && second < first + 3 && second + 3 > first; ++slot) second = FreePorts(slot);
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  std::vector<Helper> servers;
  servers.push_back(Start({"serve", std::to_string(first), ProgramFolder(0)}));
  servers.push_back(Start({"serve", std::to_string(second), ProgramFolder(1)}));
  ASSERT_TRUE(WaitFor(servers, [&] {
    return servers[0].Output.find("serving") != std::string::npos &&
           servers[1].Output.find("serving") != std::string::npos;
  })) << servers[0].Output << servers[1].Output;
  // One client per server: the servers, not their clients, meet on the folder.
  std::vector<Helper> bumps;
  bumps.push_back(Start({"bump", std::to_string(first), data.string(), ProgramFolder(2)}));
  bumps.push_back(Start({"bump", std::to_string(second), (base / "link").string() + "/", ProgramFolder(3)}));
  RunAndCheck(bumps, servers);
}

// Four clients of one server contend for the counter record: each locked read waits while
// another client holds the lock and changes the record, and then reads the record as that
// client left it (never 8709), so no increment is lost.
TEST_F(ProcessesOnOneFolder, ClientsOfOneTcpServerWaitForEachOthersLocksAndLoseNothing) {
  const std::uint16_t port = FreePorts(0);
  ASSERT_NE(port, 0);
  std::vector<Helper> servers;
  servers.push_back(Start({"serve", std::to_string(port), ProgramFolder(0)}));
  ASSERT_TRUE(WaitFor(servers, [&] { return servers[0].Output.find("serving") != std::string::npos; }))
      << servers[0].Output;
  const std::string dir = data.string();
  const std::vector<std::string> names = {dir, dir + "/", (base / "link").string(), (base / "DATA").string()};
  std::vector<Helper> bumps;
  for (int i = 0; i < 4; ++i)
    bumps.push_back(Start({"bump", std::to_string(port), names[static_cast<std::size_t>(i)], ProgramFolder(i + 1)}));
  RunAndCheck(bumps, servers, false);
}

}  // namespace
}  // namespace tw::dbaccess::test
