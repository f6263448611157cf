#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sys/activationmessage.h"
#include "platform/sys/singleinstance.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

// A private runtime folder and a handler that collects what the running instance is told.
class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tw_si_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  SingleInstance::RequestHandler Collect() {
    return [this](const ActivationRequest& request) {
      std::lock_guard<std::mutex> guard(lock_);
      requests_.push_back(request);
    };
  }
  std::vector<ActivationRequest> Requests() {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
  }
  // Connects to a socket path, or -1.
  static int Connect(const std::string& path) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd);
      return -1;
    }
    return fd;
  }

  std::string dir_;
  std::mutex lock_;
  std::vector<ActivationRequest> requests_;
};

TEST_F(SingleInstanceTest, ASecondStartIsRefusedAndTheFirstGetsItsCommandLine) {
  SingleInstance first("Tidewell", dir_);
  ASSERT_EQ(first.Acquire({"tidewell"}, Collect()), SingleInstance::Role::Primary) << first.Error();

  SingleInstance second("Tidewell", dir_);
  EXPECT_EQ(second.Acquire({"tidewell", "options.txt"}, nullptr), SingleInstance::Role::Secondary);
  EXPECT_TRUE(second.Delivered()) << second.Error();

  SingleInstance third("Tidewell", dir_);
  EXPECT_EQ(third.Acquire({"tidewell"}, nullptr), SingleInstance::Role::Secondary);
  EXPECT_TRUE(third.Delivered());

  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 2u);  // the first instance is never told of itself
  EXPECT_EQ(requests[0].Arguments, (std::vector<std::string>{"tidewell", "options.txt"}));
  EXPECT_EQ(requests[0].ProcessId, static_cast<std::uint32_t>(::getpid()));
  EXPECT_EQ(requests[0].WorkingFolder, fs::current_path().string());
  EXPECT_EQ(first.GetRole(), SingleInstance::Role::Primary);
}

TEST_F(SingleInstanceTest, OtherApplicationNamesDoNotMeet) {
  SingleInstance a("Tidewell", dir_);
  SingleInstance b("Other App", dir_);
  EXPECT_EQ(a.Acquire({}, Collect()), SingleInstance::Role::Primary);
  EXPECT_EQ(b.Acquire({}, Collect()), SingleInstance::Role::Primary);
  EXPECT_EQ(b.MessageName(), "Other_App-it_singleInstMsg");
  EXPECT_EQ(a.LockPath(), dir_ + "/Tidewell-it_singleInstMsg.lock");
}

// One guard per display: the names of one X display meet, other displays (another host, the
// network's "localhost" included) do not.
TEST_F(SingleInstanceTest, EachDisplayHasItsOwnGuard) {
  std::vector<std::unique_ptr<SingleInstance>> guards;
  const auto role = [&](const char* display) {
    guards.push_back(std::make_unique<SingleInstance>("Tidewell", dir_, display));
    return guards.back()->Acquire({}, Collect());
  };
  for (const char* first : {":99", ":9", ":100", "localhost:99", "Desk:99", "offscreen"})
    EXPECT_EQ(role(first), SingleInstance::Role::Primary) << first;
  EXPECT_EQ(guards.front()->LockPath(), dir_ + "/Tidewell-it_singleInstMsg-:99.lock");
  for (const char* same : {":99.0", ":99.1", "unix:99", "desk:99.0"})
    EXPECT_EQ(role(same), SingleInstance::Role::Secondary) << same;
}

TEST_F(SingleInstanceTest, AStaleSocketOfACrashedInstanceIsReplaced) {
  // A first instance in another process that dies without cleaning up: its lock goes with
  // it, its socket file stays.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto* guard = new SingleInstance("Tidewell", dir_);
    ::_exit(guard->Acquire({}, nullptr) == SingleInstance::Role::Primary ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  SingleInstance first("Tidewell", dir_);
  ASSERT_TRUE(fs::exists(first.SocketPath()));

  ASSERT_EQ(first.Acquire({}, Collect()), SingleInstance::Role::Primary) << first.Error();
  SingleInstance second("Tidewell", dir_);
  EXPECT_EQ(second.Acquire({"again"}, nullptr), SingleInstance::Role::Secondary);
  EXPECT_TRUE(second.Delivered());
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(SingleInstanceTest, TheGuardIsFreeAgainWhenTheFirstInstanceEnds) {
  std::string socketPath;
  {
    SingleInstance first("Tidewell", dir_);
    ASSERT_EQ(first.Acquire({}, Collect()), SingleInstance::Role::Primary);
    socketPath = first.SocketPath();
    EXPECT_TRUE(fs::exists(socketPath));
  }
  EXPECT_FALSE(fs::exists(socketPath));
  SingleInstance next("Tidewell", dir_);
  EXPECT_EQ(next.Acquire({}, Collect()), SingleInstance::Role::Primary);
}

TEST_F(SingleInstanceTest, ForeignOrBrokenRequestsAreRefusedAndServiceGoesOn) {
  SingleInstance first("Tidewell", dir_);
  ASSERT_EQ(first.Acquire({}, Collect()), SingleInstance::Role::Primary);

  std::string truncated = EncodeActivationRequest({1, "/", {"tidewell", "x"}});
  truncated.pop_back();
  for (const std::string& junk : {std::string("GET / HTTP/1.0\r\n\r\n"), truncated}) {
    int fd = Connect(first.SocketPath());
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::send(fd, junk.data(), junk.size(), MSG_NOSIGNAL), static_cast<ssize_t>(junk.size()));
    ::shutdown(fd, SHUT_WR);
    char answer = 0;
    EXPECT_EQ(::recv(fd, &answer, 1, 0), 0);  // closed without the acceptance byte
    ::close(fd);
  }
  EXPECT_TRUE(Requests().empty());
  EXPECT_NE(first.Error().find("refused"), std::string::npos);

  SingleInstance second("Tidewell", dir_);
  EXPECT_EQ(second.Acquire({"ok"}, nullptr), SingleInstance::Role::Secondary);
  EXPECT_TRUE(second.Delivered());
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(SingleInstanceTest, AnUnreachableFirstInstanceStillMakesTheNewcomerEnd) {
  SingleInstance probe("Tidewell", dir_);
  // Another process holds the lock but never listens.
  int held = ::open(probe.LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  SingleInstance second("Tidewell", dir_);
  EXPECT_EQ(second.Acquire({"x"}, nullptr, milliseconds(60)), SingleInstance::Role::Secondary);
  EXPECT_FALSE(second.Delivered());
  EXPECT_NE(second.Error().find("cannot be reached"), std::string::npos);
  ::close(held);
}

TEST_F(SingleInstanceTest, AnUnusableFolderLeavesTheProgramUnguarded) {
  SingleInstance guard("Tidewell", dir_ + "/no/such/folder");
  EXPECT_EQ(guard.Acquire({}, Collect()), SingleInstance::Role::Unguarded);
  EXPECT_NE(guard.Error().find("lock file"), std::string::npos);
  EXPECT_THROW(guard.Acquire({}, Collect()), ESingleInstanceError);
  EXPECT_THROW(SingleInstance(""), ESingleInstanceError);
}

TEST_F(SingleInstanceTest, TheRuntimeFolderComesFromTheEnvironmentWithATmpFallback) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string keep = saved != nullptr ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
  EXPECT_EQ(SingleInstance("Tidewell").SocketPath(), dir_ + "/Tidewell-it_singleInstMsg.sock");
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(SingleInstance("Tidewell").LockPath(),
            "/tmp/Tidewell-it_singleInstMsg-" + std::to_string(::getuid()) + ".lock");
  const std::string deep = dir_ + "/" + std::string(100, 'd');
  fs::create_directories(deep);
  ::setenv("XDG_RUNTIME_DIR", deep.c_str(), 1);  // a socket name there would not fit
  EXPECT_EQ(SingleInstance("Tidewell").SocketPath().rfind("/tmp/", 0), 0u);
  if (saved != nullptr) {
    ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST(ActivationMessage, RoundTripsAndRefusesDamagedMessages) {
  const ActivationRequest request{77, "/home/a b", {"tidewell", "", std::string("x\0y", 3)}};
  const std::string bytes = EncodeActivationRequest(request);
  ActivationRequest back;
  std::string error;
  ASSERT_TRUE(DecodeActivationRequest(bytes, back, error)) << error;
  EXPECT_EQ(back.ProcessId, 77u);
  EXPECT_EQ(back.WorkingFolder, "/home/a b");
  EXPECT_EQ(back.Arguments, request.Arguments);

  for (std::size_t n = 0; n < bytes.size(); ++n) {
    EXPECT_FALSE(DecodeActivationRequest(bytes.substr(0, n), back, error)) << n;
    EXPECT_FALSE(error.empty());
  }
  EXPECT_FALSE(DecodeActivationRequest(bytes + "z", back, error));
  std::string wrongVersion = bytes;
  wrongVersion[4] = 2;
  EXPECT_FALSE(DecodeActivationRequest(wrongVersion, back, error));
  // A count far beyond what follows is refused before anything is allocated for it.
  const std::string hugeCount = std::string("TWAC\1\0\0\0\0\0\0\0\0\0\0\0", 16) + "\xFF\xFF\xFF\xFF";
  EXPECT_FALSE(DecodeActivationRequest(hugeCount, back, error));
  EXPECT_NE(error.find("too many"), std::string::npos);
  ActivationRequest many;
  many.Arguments.assign(MaxActivationArguments + 1, "a");
  EXPECT_THROW(EncodeActivationRequest(many), EInvalidOperation);
  ActivationRequest longOne;
  longOne.Arguments.push_back(std::string(MaxActivationMessage, 'a'));
  EXPECT_THROW(EncodeActivationRequest(longOne), EInvalidOperation);
}

}  // namespace
}  // namespace tw
