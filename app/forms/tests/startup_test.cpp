#include "app/forms/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/forms/forms.h"
#include "platform/rtl/exceptions.h"
#include "platform/win/display.h"

namespace tw::app {
namespace {

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = std::filesystem::current_path();
    folder = std::filesystem::temp_directory_path() / ("tw_startup_" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  void TearDown() override {
    std::filesystem::current_path(home);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(folder);
  }
  static std::string Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::filesystem::path home, folder;
};

TEST_F(StartupTest, ScriptNamesTheProgramFolderWithItsTrailingSeparator) {
  EXPECT_EQ(AliasScriptLine("/opt/tidewell/"), "Tidewell;/opt/tidewell/\r\n");
  std::ofstream(folder / AliasTableName) << "stale";
  std::ofstream(folder / AliasScriptName) << "Tidewell;/somewhere/else/\r\nsecond line\r\n";

  PrepareProgramFolder(folder.string());
  const std::string expected = folder.string() + "/";
  EXPECT_EQ(ExePath, expected);
  EXPECT_EQ(std::filesystem::current_path(), folder);
  EXPECT_FALSE(std::filesystem::exists(folder / AliasTableName)) << "a stale alias table is removed";
  EXPECT_EQ(Read(folder / AliasScriptName), "Tidewell;" + expected + "\r\n") << "exactly one line";

  std::ofstream(folder / AliasTableName) << "left by the server";
  RemoveAliasTable();
  EXPECT_FALSE(std::filesystem::exists(folder / AliasTableName));
  RemoveAliasTable();  // missing: no error
}

TEST_F(StartupTest, UnwritableFolderEndsTheStartWithAnInputOutputError) {
  EXPECT_THROW(PrepareProgramFolder((folder / "missing").string()), EInOutError);
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes everywhere";
  std::ofstream(folder / AliasScriptName) << "old";
  std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_THROW(PrepareProgramFolder(folder.string()), Exception);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
  EXPECT_EQ(Read(folder / AliasScriptName), "old") << "the old script stays whole";
}

TEST(FatalError, GoesToStderrAndToABoxWhereOneCanBeSeen) {
  std::vector<std::string> boxes;
  SetMessageBoxFunc([&](const std::string& text, const std::string&, unsigned) {
    boxes.push_back(text);
    return 1;
  });
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ReportFatalError("Table does not exist.", true), 1);
  EXPECT_EQ(ReportFatalError("Cannot open the X display", false), 1);
  const std::string err = ::testing::internal::GetCapturedStderr();
  SetMessageBoxFunc(nullptr);
  DoneApplication();
  EXPECT_EQ(boxes, std::vector<std::string>{"Table does not exist."});
  EXPECT_NE(err.find("Tidewell: Table does not exist."), std::string::npos) << err;
  EXPECT_NE(err.find("Tidewell: Cannot open the X display"), std::string::npos) << err;
  // The terminal reads UTF-8.
  ::testing::internal::CaptureStderr();
  ReportFatalError("Der Datentr\xE4ger ist voll", false);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Tidewell: Der Datentr\xC3\xA4ger ist voll\n");
}

TEST(ProgramFolder, EndsWithASeparatorAndHoldsTheProgram) {
  const std::string f = ProgramFolder();
  ASSERT_FALSE(f.empty());
  EXPECT_EQ(f.back(), '/');
  EXPECT_TRUE(std::filesystem::is_directory(f));
}

}  // namespace
}  // namespace tw::app
