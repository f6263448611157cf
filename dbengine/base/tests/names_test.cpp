#include "dbengine/base/names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "dbengine/base/bits.h"
#include "dbengine/base/elfhash.h"
#include "dbengine/base/filesearch.h"
#include "dbengine/base/qnstringlist.h"

using namespace tw::dbengine;

namespace {

TEST(Names, PartsOfAFileName) {
  struct Case { const char* name; const char* path; const char* base; const char* ext; };
  for (const Case& c : {Case{"C:\\DATA\\TABLE.QND", "C:\\DATA", "TABLE", "QND"},
                        Case{"/home/tw/Messages.QND", "/home/tw", "Messages", "QND"},
                        Case{"TABLE", "", "TABLE", ""},
                        Case{"C:\\DA.TA\\TABLE", "C:\\DA.TA", "TABLE", ""},
                        Case{"dir/file.longext", "dir", "file", "lon"},
                        Case{"a.b.c", "", "a.b", "c"},
                        Case{"", "", "", ""}}) {
    EXPECT_EQ(QNExtractPath(c.name), c.path) << c.name;
    EXPECT_EQ(QNExtractBaseName(c.name), c.base) << c.name;
    EXPECT_EQ(QNExtractExtension(c.name), c.ext) << c.name;
  }
  EXPECT_EQ(QNExtractBaseName(std::string(40, 'b') + ".X").size(), 31u);
  std::size_t dot = 0;
  EXPECT_TRUE(QNHasExtension("x/TABLE.QND", dot));
  EXPECT_EQ(dot, 8u);
  EXPECT_FALSE(QNHasExtension("x.y/TABLE", dot));
}

TEST(Names, ForcingExtensionsAndJoiningPaths) {
  EXPECT_EQ(QNForceExtension("TABLE", "QND"), "TABLE.QND");
  EXPECT_EQ(QNForceExtension("TABLE.OLD", "QND"), "TABLE.QND");
  EXPECT_EQ(QNForceExtension("TABLE.OLD", ""), "TABLE");
  EXPECT_EQ(QNForceExtension("TABLE", "QNDX"), "TABLE.QND");
  EXPECT_EQ(QNForceExtension("", "QND"), "");
  EXPECT_EQ(QNForceExtension("a.b/TABLE", "QND"), "a.b/TABLE.QND");
  EXPECT_EQ(QNMakeFileNameExt("TABLE", "QNDX"), "TABLE.QND");
  EXPECT_EQ(QNMakeFullPath("C:\\DATA\\", "X"), "C:\\DATA\\X");
  EXPECT_EQ(QNMakeFullPath("/data/", "X"), "/data/X");
  EXPECT_EQ(QNMakeFullPath("/data", "X"), "/data/X");
  EXPECT_EQ(QNMakeFullPath("", "X"), "/X");
  EXPECT_LE(QNMakeFullPath(std::string(250, 'p'), "NAME.EXT").size(), 255u);
}

TEST(Names, ExpandedNamesAreAbsoluteAndNetworkExpansionChangesNothingElse) {
  const std::string full = QNExpandFileName("sub\\file.txt");
  EXPECT_EQ(full.front(), '/');
  EXPECT_EQ(full.find('\\'), std::string::npos);
  EXPECT_EQ(QNExpandUNCFileName("sub\\file.txt"), full);
  EXPECT_FALSE(QNGetExeName().empty());
}

TEST(NameValidation, NamesBlockSizesAndKeyLengths) {
  EXPECT_TRUE(QNIsValidTableName("Messages_2"));
  EXPECT_TRUE(QNIsValidTableName(std::string(31, 'a')));
  for (const std::string& bad : {std::string(), std::string(32, 'a'), std::string("my table"), std::string("my-table"),
                                std::string("t\xE4")})
    EXPECT_FALSE(QNIsValidTableName(bad)) << bad;
  EXPECT_TRUE(QNIsValidExtension("QNDX"));  // only the first three count
  EXPECT_FALSE(QNIsValidExtension(".QN"));
  for (long size : {4096, 8192, 16384, 32768}) EXPECT_TRUE(QNIsValidBlockSize(size));
  for (long size : {0, 1024, 4095, 65536, -4096}) EXPECT_FALSE(QNIsValidBlockSize(size));
  EXPECT_FALSE(QNIsValidKeyLength(0));
  EXPECT_TRUE(QNIsValidKeyLength(1));
  EXPECT_TRUE(QNIsValidKeyLength(1024));
  EXPECT_FALSE(QNIsValidKeyLength(1025));
  EXPECT_TRUE(QNIsValidKeyLength(65536 + 5));  // taken as a 16-bit value
}

TEST(BitArrays, BitsLiveLeastSignificantFirst) {
  std::uint8_t bits[4] = {};
  QNSetBit(bits, 0);
  QNSetBit(bits, 9);
  QNSetBit(bits, 31);
  EXPECT_EQ(bits[0], 0x01);
  EXPECT_EQ(bits[1], 0x02);
  EXPECT_EQ(bits[3], 0x80);
  EXPECT_TRUE(QNIsBitSet(bits, 9));
  EXPECT_FALSE(QNIsBitSet(bits, 8));
  QNClearBit(bits, 9);
  EXPECT_EQ(bits[1], 0);
  std::uint8_t all[4] = {};
  QNSetAllBits(all, 9);  // two whole bytes
  EXPECT_EQ(all[0], 0xFF);
  EXPECT_EQ(all[1], 0xFF);
  EXPECT_EQ(all[2], 0);
  QNSetAllBits(all, 0);
  EXPECT_EQ(all[2], 0);
}

TEST(ElfHash, KnownValues) {
  EXPECT_EQ(ElfHash("x", 0), 0u);
  EXPECT_EQ(ElfHash("x", -3), 0u);
  EXPECT_EQ(ElfHashShortString("A"), 0x41u);
  EXPECT_EQ(ElfHashShortString("printf"), 0x077905A6u);
  EXPECT_EQ(ElfHashShortString("C:/DATA/TIDEWELL"), 0x05E6D1BCu);
  EXPECT_EQ(ElfHashShortString("ABCDEFGHIJKLMNOP"), 0x068009E0u);
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(ElfHashShortString(all), 0x0C431B1Fu);  // high bytes count unsigned
}

class FileSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tw_dbbase_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "Sub.QND");
    for (const char* n : {"b.QND", "A.qnd", "c.txt"}) std::ofstream(dir_ / n) << "data";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(FileSearchTest, FiltersByTypeAndListsFilesSortedCaseInsensitively) {
  TqnStringList* list = QNGetDirList(dir_.string(), "*.QND");
  ASSERT_EQ(list->Count(), 2);  // the folder Sub.QND is not a file
  EXPECT_EQ(list->Strings(0), "A.qnd");
  EXPECT_EQ(list->Strings(1), "b.QND");
  EXPECT_FALSE(list->CaseSensitive());
  delete list;

  QNSearchRec sr;
  int found = 0, dirs = 0;
  for (int r = QNFindFirst((dir_ / "*").string(), qnftDirectory, qnfaAll, sr); r == 0; r = QNFindNext(sr)) {
    ++found;
    if (sr.EntryType == 1) ++dirs;
  }
  QNFindClose(sr);
  EXPECT_EQ(found, dirs);
  EXPECT_GE(dirs, 1);
  EXPECT_NE(QNFindFirst((dir_ / "*.none").string(), qnftFile, qnfaAll, sr), 0);
  EXPECT_NE(QNFindNext(sr), 0);  // a closed search stays closed
}

TEST_F(FileSearchTest, ExistenceChecksRefuseWildcards) {
  EXPECT_TRUE(QNFileExists((dir_ / "c.txt").string()));
  EXPECT_FALSE(QNFileExists((dir_ / "*.txt").string()));
  EXPECT_FALSE(QNFileExists((dir_ / "Sub.QND").string()));
  EXPECT_TRUE(QNDirectoryExists((dir_ / "Sub.QND").string()));
  EXPECT_FALSE(QNDirectoryExists((dir_ / "Sub.*").string()));
  EXPECT_FALSE(QNDirectoryExists((dir_ / "c.txt").string()));
}

}  // namespace
