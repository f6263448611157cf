#include "dbengine/base/serverlog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/rtl/tickclock.h"

using namespace tw::dbengine;

namespace {

class ServerLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = std::filesystem::temp_directory_path() /
           ("tw_dbbase_log_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".log");
    QNSetLogPath(log_.string());
    tw::SetTickSource([] { return 123456u; });
  }
  void TearDown() override {
    tw::SetTickSource({});
    QNSetLogPath("");
    std::filesystem::remove(log_);
  }
  std::vector<std::string> Lines() {
    std::ifstream in(log_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string all = ss.str();
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < all.size()) {
      const std::size_t end = all.find("\r\n", pos);
      EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
      if (end == std::string::npos) break;
      lines.push_back(all.substr(pos, end - pos));
      pos = end + 2;
    }
    return lines;
  }
  std::filesystem::path log_;
};

TEST_F(ServerLogTest, StartRewritesTheLogAndTextLinesCarryTheTickUnlessIndented) {
  QNLogStart();
  QNLogWrite("first");
  QNLogStart();  // rewritten at each start
  QNLogWrite("Request 2056");
  QNLogWrite("  ClientID 7");
  QNLogWrite("");
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "      123456 QN server log started");
  EXPECT_EQ(lines[1], "      123456 Request 2056");
  EXPECT_EQ(lines[2], "               ClientID 7");
  EXPECT_EQ(lines[3], "             ");
}

TEST_F(ServerLogTest, BlockDumpShowsHexAndPrintableCharacters) {
  QNLogStart();
  unsigned char block[20];
  for (int i = 0; i < 20; ++i) block[i] = static_cast<unsigned char>('a' + i);
  block[0] = 65;
  block[1] = 13;
  block[2] = 200;
  QNLogWriteBlock("Request data", block, sizeof block);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "             Request data (Size: 20)");
  const std::string first = lines[2].substr(13);
  ASSERT_EQ(first.size(), 70u);
  EXPECT_EQ(first.substr(0, 12), "41 0d c8 64 ");
  EXPECT_EQ(first.substr(12, 4), " 65 ");  // groups of four bytes get an extra blank
  EXPECT_EQ(first[52], '[');
  EXPECT_EQ(first.substr(53, 16), "A..defghijklmnop");
  EXPECT_EQ(first[69], ']');
  const std::string second = lines[3].substr(13);
  ASSERT_EQ(second.size(), 70u);
  EXPECT_EQ(second.substr(0, 12), "71 72 73 74 ");
  EXPECT_EQ(second.substr(53, 17), "qrst            ]");
}

TEST_F(ServerLogTest, LargeAndMissingBuffers) {
  QNLogStart();
  std::vector<unsigned char> big(2000, 'x');
  QNLogWriteBlock("Big", big.data(), big.size());
  QNLogWriteBlock("None", nullptr, 10);
  QNLogWriteBlock("Empty", big.data(), 0);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 1u + 2 + 64 + 2 + 2);
  EXPECT_EQ(lines[2], "             (writing first 1K of buffer only)");
  EXPECT_EQ(lines[68], "             buffer is nil");
  EXPECT_EQ(lines[70], "             buffer is nil");
}

// The descriptors of this process open on `path`.
int OpenDescriptorsOn(const std::filesystem::path& path) {
  int n = 0;
  std::error_code ec;
  const auto want = std::filesystem::weakly_canonical(path, ec);
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
    std::error_code le;
    if (std::filesystem::read_symlink(e.path(), le) == want) ++n;
  }
  return n;
}

TEST_F(ServerLogTest, TheLogIsWrittenThroughOneOpenFileAndEachLineReachesItAtOnce) {
  QNLogStart();
  for (int i = 0; i < 50; ++i) {
    QNLogWrite("Request " + std::to_string(i));
    QNLogWriteBlock("  Record", "abc", 3);
  }
  EXPECT_EQ(OpenDescriptorsOn(log_), 1) << "one file, kept open between lines";
  EXPECT_EQ(Lines().size(), 1u + 50 * 3) << "every line is in the file already";
  QNSetLogPath(log_.string() + ".other");
  EXPECT_EQ(OpenDescriptorsOn(log_), 0) << "a new path lets the old file go";
  std::filesystem::remove(log_.string() + ".other");
}

TEST_F(ServerLogTest, RequestLoggingIsOffUntilSwitchedOn) {
  EXPECT_FALSE(QNLogRequests.load());
  EXPECT_FALSE(QNLogRequestData.load());
}

TEST_F(ServerLogTest, AnUnwritableLogNeverFails) {
  QNSetLogPath("/nonexistent-folder/for/sure/QNSERVER.LOG");
  EXPECT_NO_THROW(QNLogStart());
  EXPECT_NO_THROW(QNLogWrite("lost"));
  EXPECT_NO_THROW(QNLogWriteBlock("lost", "abc", 3));
}

}  // namespace
