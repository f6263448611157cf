// The program itself, run as a user starts it: how it ends when it cannot start.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/forms/tests/texttables_fixture.h"

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

}  // namespace
}  // namespace tw::app::test
