// The program itself, run as a user starts it: how it ends when it cannot start.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <fstream>
#include <sstream>
#include <string>

#include "app/forms/tests/texttables_fixture.h"
#include "app/lib/winregistry.h"
#include "platform/classes/registry.h"
#include "app/forms/tests/wmdisplay.h"

namespace tw::app::test {
namespace {

class ProgramRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Beside the build's program folder (one file system, so the program can be linked in).
    folder = std::filesystem::current_path() / ("twprog_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    // A runtime folder of this run alone, so that no other copy of the program answers (short:
    // socket paths are).
    char pattern[] = "/tmp/twrun.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    runtime = pattern;
    const std::filesystem::path program = BuiltProgramFolder() / "tidewell";
    ASSERT_TRUE(std::filesystem::exists(program)) << program;
    std::error_code ec;
    std::filesystem::create_hard_link(program, folder / "tidewell", ec);
    if (ec) std::filesystem::copy_file(program, folder / "tidewell");
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::remove_all(runtime, ec);
  }
  // Runs the program with `env` in front of it; its exit code, and its stderr in `err`.
  int Run(const std::string& env, std::string& err) {
    const std::string command = "cd '" + folder.string() + "' && env " + env + " XDG_RUNTIME_DIR='" +
                                runtime.string() + "' HOME='" + folder.string() + "' ./tidewell 2> stderr.txt";
    const int status = std::system(command.c_str());
    std::ifstream in(folder / "stderr.txt");
    std::stringstream s;
    s << in.rdbuf();
    err = s.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  // Starts the program as Run does on the window manager's display (as the user `user` when
  // given), waits for its box, checks that nothing covers it and answers it with Return.  The
  // program's exit code; its stderr in `err`.
  int RunAndAnswerTheBox(const std::string& env, const passwd* user, std::string& err, std::string& title) {
    WindowManagerDisplay wm;
    if (!wm.Ready()) return -1;
    const std::string command = "cd '" + folder.string() + "' && exec env " + env + " XDG_RUNTIME_DIR='" +
                                runtime.string() + "' HOME='" + runtime.string() + "' DISPLAY=" + wm.Name() +
                                (user ? " setpriv --reuid=" + std::to_string(user->pw_uid) + " --regid=" + std::to_string(user->pw_gid) + " --clear-groups" : std::string()) +
                                " ./tidewell 2> '" + runtime.string() + "/stderr.txt'";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::Window box = 0;
    for (int i = 0; i < 1200 && box == 0; ++i) {  // a sanitized start takes a while
      box = FindBox(wm.X());
      if (box == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (box != 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the window manager settles
      char* name = nullptr;
      if (XFetchName(wm.X(), box, &name) && name) title = name;
      if (name) XFree(name);
      EXPECT_TRUE(Uncovered(wm.X(), box)) << "a window lies over the box";
      wm.SendKey(box, XK_Return, 0);
    } else {
      ADD_FAILURE() << "no box was shown";
    }
    int status = 0;
    for (int i = 0; i < 1200; ++i) {
      if (::waitpid(pid, &status, WNOHANG) == pid) break;
      if (i == 1199) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::ifstream in(runtime / "stderr.txt");
    std::stringstream text;
    text << in.rdbuf();
    err = text.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  // A shown window that the window manager keeps (the program's box), or 0.
  static ::Window FindBox(::Display* x) {
    Atom type;
    int format;
    unsigned long count = 0, rest = 0;
    unsigned char* data = nullptr;
    ::Window found = 0;
    if (XGetWindowProperty(x, DefaultRootWindow(x), XInternAtom(x, "_NET_CLIENT_LIST", False), 0, 1024, False, XA_WINDOW,
                           &type, &format, &count, &rest, &data) == Success && data) {
      for (unsigned long i = 0; i < count && found == 0; ++i) {
        const ::Window w = reinterpret_cast<::Window*>(data)[i];
        XWindowAttributes a;
        if (XGetWindowAttributes(x, w, &a) && a.map_state == IsViewable) found = w;
      }
    }
    if (data) XFree(data);
    return found;
  }
  // True when no shown window above the box's frame overlaps it.
  static bool Uncovered(::Display* x, ::Window box) {
    ::Window root = 0, parent = 0, frame = box;
    ::Window* children = nullptr;
    unsigned n = 0;
    for (;;) {  // the frame: the box's ancestor just below the root
      if (!XQueryTree(x, frame, &root, &parent, &children, &n)) return false;
      if (children) XFree(children);
      if (parent == root) break;
      frame = parent;
    }
    XWindowAttributes fa;
    if (!XGetWindowAttributes(x, frame, &fa) || !XQueryTree(x, root, &root, &parent, &children, &n))  // bottom to top
      return false;
    bool above = false, covered = false;
    for (unsigned i = 0; i < n; ++i) {
      if (children[i] == frame) {
        above = true;
        continue;
      }
      XWindowAttributes a;
      if (!above || !XGetWindowAttributes(x, children[i], &a) || a.map_state != IsViewable) continue;
      covered |= a.x < fa.x + fa.width && fa.x < a.x + a.width && a.y < fa.y + fa.height && fa.y < a.y + a.height;
    }
    if (children) XFree(children);
    return above && !covered;
  }
  // Starts the program on the X display `display` (with the arguments `args`) and leaves it
  // running; its process id.
  pid_t Start(const std::string& display, const std::string& args = "") {
    const std::string command = "cd '" + folder.string() + "' && exec env -u TIDEWELL_DISPLAY ASAN_OPTIONS=detect_leaks=0 XDG_RUNTIME_DIR='" +
                                runtime.string() + "' HOME='" + runtime.string() + "' DISPLAY=" + display +
                                " ./tidewell " + args + " 2>> '" + runtime.string() + "/stderr.txt'";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  }
  // The exit code of a started program once it has ended, waiting at most `ms`; -1 while it runs.
  static int Ended(pid_t pid, int ms) {
    int status = 0;
    for (int waited = 0;; waited += 50) {
      if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      if (waited >= ms) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  // A shown window that the window manager keeps, waited for while a start takes its time.
  static ::Window AwaitWindow(::Display* x) {
    for (int i = 0; i < 1200; ++i) {
      if (const ::Window w = FindBox(x)) return w;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
  }
  // A shown window that the window manager keeps with the title `title`, waited for; 0 when none
  // came.
  static ::Window AwaitWindowTitled(::Display* x, const std::string& title) {
    for (int i = 0; i < 1200; ++i) {
      Atom type;
      int format;
      unsigned long count = 0, rest = 0;
      unsigned char* data = nullptr;
      ::Window found = 0;
      if (XGetWindowProperty(x, DefaultRootWindow(x), XInternAtom(x, "_NET_CLIENT_LIST", False), 0, 1024, False,
                             XA_WINDOW, &type, &format, &count, &rest, &data) == Success && data) {
        for (unsigned long k = 0; k < count && found == 0; ++k) {
          const ::Window w = reinterpret_cast<::Window*>(data)[k];
          XWindowAttributes a;
          char* name = nullptr;
          if (XGetWindowAttributes(x, w, &a) && a.map_state == IsViewable && XFetchName(x, w, &name) && name &&
              title == name)
            found = w;
          if (name) XFree(name);
        }
      }
      if (data) XFree(data);
      if (found != 0) return found;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
  }
  std::filesystem::path folder, runtime;
};

TEST_F(ProgramRunTest, WithoutADisplayItSaysSoAndEnds) {
  std::string err;
  const int code = Run("-u DISPLAY -u TIDEWELL_DISPLAY", err);
  EXPECT_EQ(code, 1);
  EXPECT_NE(err.find("Tidewell: Cannot open the X display"), std::string::npos) << err;
}

TEST_F(ProgramRunTest, AMissingTableIsReportedAndTheEngineEndsInOrder) {
  // The interpretation texts are there, the message texts are not.
  std::filesystem::copy_file(BuiltProgramFolder() / InterpretationTableName, folder / InterpretationTableName);
  std::string err;
  // Leaks inside the font library at exit are not this test's business; a use after free is.
  const int code = Run("TIDEWELL_DISPLAY=offscreen ASAN_OPTIONS=detect_leaks=0", err);
  EXPECT_EQ(code, 1) << err;
  EXPECT_NE(err.find("Tidewell: Table does not exist."), std::string::npos) << err;
  EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
}

TEST_F(ProgramRunTest, AFailedStartShowsItsBoxAboveEverythingAndEndsWithCode1) {
  // A missing table: the splash picture is up when the main window fails.
  std::filesystem::copy_file(BuiltProgramFolder() / InterpretationTableName, folder / InterpretationTableName);
  std::string err, title;
  int code = RunAndAnswerTheBox("-u TIDEWELL_DISPLAY ASAN_OPTIONS=detect_leaks=0", nullptr, err, title);
  if (code == -1) GTEST_SKIP() << "Xvfb and openbox are needed";
  EXPECT_EQ(code, 1) << err;
  EXPECT_EQ(title, "Corvane - Tidewell");
  EXPECT_NE(err.find("Tidewell: Table does not exist."), std::string::npos) << err;
  EXPECT_NE(err.find("Program folder: " + folder.string() + "/"), std::string::npos) << err;

  // A program folder the user cannot write to: the alias script cannot be made.
  std::filesystem::remove(folder / InterpretationTableName);
  std::filesystem::remove(folder / "QNALIAS.SC$");
  for (const auto& entry : std::filesystem::directory_iterator(runtime)) std::filesystem::remove_all(entry.path());
  const passwd* user = nullptr;
  if (::geteuid() == 0) {
    // The superuser writes everywhere: the program runs as a user without rights here.
    user = ::getpwnam("nobody");
    ASSERT_NE(user, nullptr);
    ASSERT_EQ(::chown(runtime.c_str(), user->pw_uid, user->pw_gid), 0);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                             std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                             std::filesystem::perms::others_exec);
  } else {
    std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  }
  ASSERT_EQ(::chmod(runtime.c_str(), 0700), 0);
  title.clear();
  code = RunAndAnswerTheBox("-u TIDEWELL_DISPLAY ASAN_OPTIONS=detect_leaks=0", user, err, title);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
  EXPECT_EQ(code, 1) << err;
  EXPECT_EQ(title, "Corvane - Tidewell");
  EXPECT_NE(err.find("The program folder " + folder.string() + "/ cannot be written ("), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(folder / "QNALIAS.SC$"));
}

// A server that asks for a login: its dialog, and the box that reports the refusal, come while
// the splash picture is up, and nothing of the program may cover them (the picture once lay over
// both, and only the dialog's title showed).
TEST_F(ProgramRunTest, TheLoginDialogAndItsRefusalShowAboveTheSplashPicture) {
  std::filesystem::copy_file(BuiltProgramFolder() / InterpretationTableName, folder / InterpretationTableName);
  std::filesystem::copy_file(BuiltProgramFolder() / MessageTableName, folder / MessageTableName);
  std::ofstream(folder / "server.cfg") << "USELOGIN=1\r\n";
  WindowManagerDisplay wm;
  if (!wm.Ready()) GTEST_SKIP() << "Xvfb and openbox are needed";
  const pid_t pid = Start(wm.Name(), "server.cfg");
  for (const char* title : {"Quarnel Server Login", "Quarnel Communications Error"}) {
    SCOPED_TRACE(title);
    const ::Window box = AwaitWindowTitled(wm.X(), title);
    ASSERT_NE(box, 0u) << "not shown";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the window manager settles
    EXPECT_TRUE(Uncovered(wm.X(), box)) << "a window lies over it";
    wm.SendKey(box, XK_Escape, 0);  // the login refused, then the box answered
  }
  // Without a connection the tables cannot open: the start ends with its own box.
  const ::Window last = AwaitWindowTitled(wm.X(), "Corvane - Tidewell");
  if (last != 0) wm.SendKey(last, XK_Return, 0);
  if (Ended(pid, 60000) == -1 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
}

// A start that fails speaks one language, the user's: German under a German desktop, or with
// German chosen at the last run; the missing table is named.  (The parts once came in English
// with a German library text inside.)
TEST_F(ProgramRunTest, AFailedStartSpeaksTheUsersLanguageAndNamesTheMissingTable) {
  std::filesystem::copy_file(BuiltProgramFolder() / InterpretationTableName, folder / InterpretationTableName);
  const std::string quiet = "TIDEWELL_DISPLAY=offscreen ASAN_OPTIONS=detect_leaks=0 LC_ALL= LC_MESSAGES= ";
  const std::string german = "Tidewell: Die Tabelle existiert nicht.\nTabelle: Messages.QND\nProgrammordner: " +
                             folder.string() + "/";
  const auto expectGerman = [&](const std::string& err) {
    EXPECT_NE(err.find(german), std::string::npos) << err;
    for (const char* english : {"Table ", "Table:", "does not exist", "Program folder", "cannot"})
      EXPECT_EQ(err.find(english), std::string::npos) << english << " in " << err;
  };
  std::string err;
  EXPECT_EQ(Run(quiet + "LANG=de_DE.UTF-8", err), 1);
  expectGerman(err);

  // German chosen at the last run, on an English desktop.
  const std::string store = SettingsStorePath();
  SetSettingsStorePath((folder / ".config" / "tidewell" / "registry.ini").string());
  TWinRegistry("\\Software\\Orvelle\\Corvane - Tidewell").WriteString("frmMain", "Language", "Deutsch");
  EXPECT_EQ(Run(quiet + "LANG=C", err), 1);
  expectGerman(err);
  // English chosen, on a German desktop.
  TWinRegistry("\\Software\\Orvelle\\Corvane - Tidewell").WriteString("frmMain", "Language", "English");
  SetSettingsStorePath(store);
  EXPECT_EQ(Run(quiet + "LANG=de_DE.UTF-8", err), 1);
  EXPECT_NE(err.find("Tidewell: Table does not exist.\nTable: Messages.QND\nProgram folder: " + folder.string() + "/"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("Tabelle"), std::string::npos) << err;

  // A program folder that cannot take the alias script, in German.
  std::filesystem::remove(folder / ".config" / "tidewell" / "registry.ini");
  std::filesystem::remove(folder / "QNALIAS.SC$");
  std::filesystem::create_directories(folder / "QNALIAS.SC$" / "in the way");
  EXPECT_EQ(Run(quiet + "LANG=de_DE.UTF-8", err), 1);
  EXPECT_NE(err.find("Tidewell: In den Programmordner " + folder.string() + "/ kann nicht geschrieben werden"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("(Dateizugriff verweigert)"), std::string::npos) << err;
  for (const char* wrong : {"program folder", "cannot", "denied", "Permission", "file", "voll"})
    EXPECT_EQ(err.find(wrong), std::string::npos) << wrong << " in " << err;
}

// One copy runs per user and display: a start on another display shows its own window and runs
// beside the first (it once ended at once, having asked the copy on the other display to come
// forward); a second start on the same display, under any name of it, brings the copy there to
// the front and ends.
TEST_F(ProgramRunTest, EachDisplayRunsItsOwnCopyAndASecondStartBringsItForward) {
  std::filesystem::copy_file(BuiltProgramFolder() / InterpretationTableName, folder / InterpretationTableName);
  std::filesystem::copy_file(BuiltProgramFolder() / MessageTableName, folder / MessageTableName);
  WindowManagerDisplay one, two;
  if (!one.Ready() || !two.Ready()) GTEST_SKIP() << "Xvfb and openbox are needed";
  const pid_t first = Start(one.Name());
  const ::Window firstWindow = AwaitWindow(one.X());
  ASSERT_NE(firstWindow, 0u) << "the first copy shows no window";
  const pid_t second = Start(two.Name());
  const ::Window secondWindow = AwaitWindow(two.X());
  EXPECT_NE(secondWindow, 0u) << "the start on the second display shows no window";
  EXPECT_EQ(Ended(second, 500), -1) << "the copy on the second display ended";

  for (const std::string& name : {one.Name(), one.Name() + ".0", "unix" + one.Name()}) {
    SCOPED_TRACE(name);
    const ::Window other = one.ShowOtherProgramWindow(0, 0, 1280, 1024);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(one.ShownAbove(other, firstWindow));
    EXPECT_EQ(Ended(Start(name), 60000), 0);
    for (int i = 0; i < 40 && !one.ShownAbove(firstWindow, other); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(one.ShownAbove(firstWindow, other)) << "the running copy did not come forward";
    XDestroyWindow(one.X(), other);
    XSync(one.X(), False);
  }
  EXPECT_EQ(Ended(first, 0), -1);
  one.RequestClose(firstWindow);
  if (secondWindow != 0) two.RequestClose(secondWindow);
  for (const pid_t pid : {first, second}) {
    if (Ended(pid, 30000) == -1 && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
  }
}

}  // namespace
}  // namespace tw::app::test
