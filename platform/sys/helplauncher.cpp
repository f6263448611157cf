#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "platform/rtl/uilanguage.h"
#include "platform/sys/help.h"

extern char** environ;

namespace tw {

namespace {

constexpr const char* kNotInstalled = "The program %s that opens help pages is not installed";
constexpr const char* kNotStarted = "The program %s could not be started: %s";
constexpr const char* kFailed = "The program %s failed";
constexpr const char* kFailedWithStatus = "The program %s failed with exit status %d";
// xdg-open's status 3: it found no program that shows the page (no browser installed).
constexpr const char* kNoBrowser = "The program %s found no program that shows web pages (exit status %d)";
constexpr TUiTextPair kGerman[] = {
    {kNoBrowser, "Das Programm %s hat kein Programm gefunden, das Webseiten anzeigt (Status %d)"},
    {kNotInstalled, "Das Programm %s, das Hilfeseiten \xF6" "ffnet, ist nicht installiert"},
    {kNotStarted, "Das Programm %s konnte nicht gestartet werden: %s"},
    {kFailed, "Das Programm %s ist gescheitert"},
    {kFailedWithStatus, "Das Programm %s ist mit dem Status %d gescheitert"},
};

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The program's full name: itself when it holds a '/', else the first executable file of
// that name in the folders of the search path; "" when there is none.
std::string FindProgram(const std::string& program, const std::string& searchPath) {
  if (program.empty()) return {};
  if (program.find('/') != std::string::npos) return IsExecutableFile(program) ? program : std::string();
  std::string path = searchPath;
  if (path.empty()) {
    const char* env = std::getenv("PATH");
    path = env != nullptr && *env != '\0' ? env : "/usr/local/bin:/usr/bin:/bin";
  }
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (dir.empty()) dir = ".";
    const std::string candidate = dir + "/" + program;
    if (IsExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

}  // namespace

ProcessHelpLauncher::ProcessHelpLauncher(std::string program, std::string searchPath,
                                         std::chrono::milliseconds patience)
    : program_(std::move(program)), searchPath_(std::move(searchPath)), patience_(patience) {}

int ProcessHelpLauncher::Spawn(const std::string& url, std::string& path, HelpFailure& failure, std::string& error) const {
  path = FindProgram(program_, searchPath_);
  if (path.empty()) {
    failure = HelpFailure::LauncherMissing;
    error = Format(UiText(kNotInstalled, kGerman), {program_});
    return 0;
  }
  std::vector<char*> argv;
  std::string arg0 = program_;
  std::string arg1 = url;
  argv.push_back(arg0.data());
  argv.push_back(arg1.data());
  argv.push_back(nullptr);

  // Its own process group, so that a terminal's interrupt meant for this program does not
  // reach the browser.  Every descriptor of this program is opened close-on-exec.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, path.c_str(), nullptr, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    failure = rc == ENOENT ? HelpFailure::LauncherMissing : HelpFailure::LaunchFailed;
    error = Format(UiText(kNotStarted, kGerman), {path, std::string(std::strerror(rc))});
    return 0;
  }
  return pid;
}

bool ProcessHelpLauncher::Await(int pid, const std::string& path, HelpFailure& failure, std::string& error) const {
  int status = 0;
  pid_t waited = 0;
  if (patience_.count() < 0) {
    while ((waited = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
  } else {
    // Asked every few milliseconds until the opener ends or the patience runs out.
    const auto deadline = std::chrono::steady_clock::now() + patience_;
    for (;;) {
      waited = ::waitpid(pid, &status, WNOHANG);
      if (waited < 0 && errno == EINTR) waited = 0;
      if (waited != 0 || std::chrono::steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (waited == 0) {
      // Still running: it keeps the browser it started.  Reaped in the background, so that no
      // finished child is left behind.
      std::thread([pid] {
        int rest = 0;
        while (::waitpid(pid, &rest, 0) < 0 && errno == EINTR) {
        }
      }).detach();
      return true;
    }
  }
  if (waited != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    failure = HelpFailure::LaunchFailed;
    if (waited == pid && WIFEXITED(status))
      error = Format(UiText(WEXITSTATUS(status) == 3 ? kNoBrowser : kFailedWithStatus, kGerman), {path, WEXITSTATUS(status)});
    else
      error = Format(UiText(kFailed, kGerman), {path});
    return false;
  }
  return true;
}

bool ProcessHelpLauncher::Open(const std::string& url, HelpFailure& failure, std::string& error) {
  std::string path;
  const int pid = Spawn(url, path, failure, error);
  return pid != 0 && Await(pid, path, failure, error);
}

bool ProcessHelpLauncher::OpenInBackground(const std::string& url, HelpFailure& failure, std::string& error,
                                           HelpLateFailure late) {
  std::string path;
  const int pid = Spawn(url, path, failure, error);
  if (pid == 0) return false;
  // The thread holds what it needs by value: the launcher may be gone when the opener ends.
  std::thread([waiter = ProcessHelpLauncher(*this), pid, path, late = std::move(late)] {
    HelpFailure failed = HelpFailure::None;
    std::string why;
    if (!waiter.Await(pid, path, failed, why) && late) late(failed, why);
  }).detach();
  return true;
}

bool HelpLauncher::OpenInBackground(const std::string& url, HelpFailure& failure, std::string& error, HelpLateFailure) {
  return Open(url, failure, error);
}

bool RecordingHelpLauncher::Open(const std::string& url, HelpFailure& failure, std::string& error) {
  std::lock_guard<std::mutex> guard(lock_);
  urls_.push_back(url);
  if (failure_ == HelpFailure::None) return true;
  failure = failure_;
  error = error_;
  return false;
}

std::vector<std::string> RecordingHelpLauncher::Urls() const {
  std::lock_guard<std::mutex> guard(lock_);
  return urls_;
}

void RecordingHelpLauncher::FailWith(HelpFailure failure, std::string error) {
  std::lock_guard<std::mutex> guard(lock_);
  failure_ = failure;
  error_ = std::move(error);
}

}  // namespace tw
