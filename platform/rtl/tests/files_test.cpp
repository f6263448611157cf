// Files and paths on a scratch folder: atomic writes that fail, case-insensitive lookup,
// wildcard search, renames that never replace.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"

namespace tw {
namespace {

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = TempFolder() + "tw_rtl_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern + "/";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Put(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ + name, std::ios::binary) << bytes;
  }
  std::set<std::string> Listing() {
    std::set<std::string> names;
    TSearchRec rec;
    for (int r = FindFirst(dir_ + "*", faAnyFile, rec); r == 0; r = FindNext(rec)) names.insert(rec.Name);
    FindClose(rec);
    return names;
  }

  std::string dir_;
};

TEST_F(ScratchFolder, AtomicWriteCreatesAndReplacesKeepingPermissions) {
  AtomicWriteFile(dir_ + "Settings.ini", "one");
  EXPECT_EQ(ReadFileBytes(dir_ + "Settings.ini"), "one");
  ::chmod((dir_ + "Settings.ini").c_str(), 0640);
  AtomicWriteFile(dir_ + "settings.INI", std::string("two\0bytes", 9));  // the existing spelling is kept
  EXPECT_EQ(ReadFileBytes(dir_ + "Settings.ini"), std::string("two\0bytes", 9));
  struct stat st;
  ASSERT_EQ(::stat((dir_ + "Settings.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(Listing(), (std::set<std::string>{".", "..", "Settings.ini"}));
}

TEST_F(ScratchFolder, AtomicWriteThroughALinkReplacesTheLinkedFile) {
  Put("real.ini", "old");
  ASSERT_EQ(::symlink((dir_ + "real.ini").c_str(), (dir_ + "link.ini").c_str()), 0);
  AtomicWriteFile(dir_ + "link.ini", "new");
  struct stat st;
  ASSERT_EQ(::lstat((dir_ + "link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFileBytes(dir_ + "real.ini"), "new");
}

TEST_F(ScratchFolder, AtomicWriteThatFailsMidwayLeavesTheOldFileWhole) {
  const std::string old(3000, 'o');
  AtomicWriteFile(dir_ + "table.dat", old);
  // Files may not grow beyond 1000 bytes: the write of the new contents fails part-way.
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  try {
    AtomicWriteFile(dir_ + "table.dat", std::string(5000, 'n'));
    ADD_FAILURE() << "no exception";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 101);
    EXPECT_EQ(e.Message(), "Disk full");
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(ReadFileBytes(dir_ + "table.dat"), old);
  EXPECT_EQ(Listing(), (std::set<std::string>{".", "..", "table.dat"}));  // no temporary file stays
}

TEST_F(ScratchFolder, AtomicWriteFailuresRaiseTheirExceptions) {
  try {
    AtomicWriteFile(dir_ + "missing/x.ini", "data");
    ADD_FAILURE();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file " + dir_ + "missing/x.ini");
  }
  // A folder in the way: the rename fails and the folder stays as it was.
  ASSERT_TRUE(CreateDir(dir_ + "taken"));
  Put("taken/inside", "keep");
  try {
    AtomicWriteFile(dir_ + "taken", "data");
    ADD_FAILURE() << "no exception";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 5) << "a folder in the way is no full disk";
    EXPECT_EQ(e.Message(), "File access denied");
  }
  EXPECT_EQ(ReadFileBytes(dir_ + "taken/inside"), "keep");
  EXPECT_EQ(Listing(), (std::set<std::string>{".", "..", "taken"}));
  EXPECT_THROW(ReadFileBytes(dir_ + "nothing"), EFOpenError);
}

TEST_F(ScratchFolder, NamesAreFoundWhateverTheirCase) {
  ASSERT_TRUE(ForceDirectories(dir_ + "Data/Sub"));
  Put("Data/Sub/Interprt.QND", "12345");
  const std::string backslashed = dir_ + "data\\SUB\\interprt.qnd";
  EXPECT_TRUE(FileExists(backslashed));
  EXPECT_EQ(ResolvePath(backslashed), dir_ + "Data/Sub/Interprt.QND");
  EXPECT_EQ(FileSize(backslashed), 5);
  EXPECT_TRUE(DirectoryExists(dir_ + "DATA\\sub"));
  EXPECT_FALSE(FileExists(dir_ + "DATA"));
  EXPECT_FALSE(DirectoryExists(backslashed));
  EXPECT_FALSE(FileExists(dir_ + "data/sub/other.qnd"));
  // Missing parts keep their spelling after the last part that exists.
  EXPECT_EQ(ResolvePath(dir_ + "data/NEW/x"), dir_ + "Data/NEW/x");
  EXPECT_EQ(FileSize(dir_ + "none"), -1);
  EXPECT_EQ(FileAge(dir_ + "none"), -1);
  EXPECT_TRUE(DeleteFile(backslashed));
  EXPECT_FALSE(DeleteFile(backslashed));
  EXPECT_FALSE(DeleteFile(dir_ + "Data"));  // folders are not files
  EXPECT_FALSE(RemoveDir(dir_ + "Data"));   // not empty
  EXPECT_TRUE(RemoveDir(dir_ + "data/sub"));
}

TEST_F(ScratchFolder, RenameNeverReplaces) {
  Put("a.txt", "A");
  Put("b.txt", "B");
  EXPECT_FALSE(RenameFile(dir_ + "a.txt", dir_ + "b.txt"));
  EXPECT_FALSE(RenameFile(dir_ + "a.txt", dir_ + "B.TXT"));  // another spelling of b.txt
  EXPECT_EQ(ReadFileBytes(dir_ + "b.txt"), "B");
  EXPECT_TRUE(RenameFile(dir_ + "a.txt", dir_ + "A.TXT"));  // a change of case only
  EXPECT_TRUE(RenameFile(dir_ + "A.TXT", dir_ + "c.txt"));
  EXPECT_FALSE(RenameFile(dir_ + "gone.txt", dir_ + "d.txt"));
  EXPECT_TRUE(ReplaceFile(dir_ + "c.txt", dir_ + "b.txt"));
  EXPECT_EQ(ReadFileBytes(dir_ + "b.txt"), "A");
  EXPECT_EQ(Listing(), (std::set<std::string>{".", "..", "b.txt"}));
}

TEST_F(ScratchFolder, WildcardSearch) {
  for (const char* name : {"Messages.QND", "Interprt.qnd", "notes", "QNALIAS.SC$", "a.b.qnd", ".hidden"}) Put(name, "x");
  ASSERT_TRUE(CreateDir(dir_ + "Sub.QND"));
  auto find = [&](const std::string& mask, int attr) {
    std::vector<std::string> names;
    TSearchRec rec;
    int r = FindFirst(dir_ + mask, attr, rec);
    for (; r == 0; r = FindNext(rec)) names.push_back(rec.Name);
    EXPECT_EQ(r == SearchNoMoreFiles || r == SearchFileNotFound, true) << r;
    FindClose(rec);
    return names;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(find("*.qnd", 0), (V{"Interprt.qnd", "Messages.QND", "a.b.qnd"}));
  EXPECT_EQ(find("*.QND", faDirectory), (V{"Interprt.qnd", "Messages.QND", "Sub.QND", "a.b.qnd"}));
  EXPECT_EQ(find("?????????.qnd", 0), (V{}));
  EXPECT_EQ(find("????????.qnd", 0), (V{"Interprt.qnd", "Messages.QND"}));
  EXPECT_EQ(find("*.", 0), (V{"notes"}));
  EXPECT_EQ(find("*.*", 0), (V{"Interprt.qnd", "Messages.QND", "QNALIAS.SC$", "a.b.qnd", "notes"}));
  EXPECT_EQ(find("*", faHidden), (V{".hidden", "Interprt.qnd", "Messages.QND", "QNALIAS.SC$", "a.b.qnd", "notes"}));
  EXPECT_EQ(find("qnalias.sc$", 0), (V{"QNALIAS.SC$"}));

  TSearchRec rec;
  ASSERT_EQ(FindFirst(dir_ + "messages.qnd", faAnyFile, rec), 0);
  EXPECT_EQ(rec.Size, 1);
  EXPECT_EQ(rec.Attr & (faArchive | faDirectory), faArchive);
  EXPECT_EQ(rec.Time, FileAge(dir_ + "Messages.QND"));
  EXPECT_EQ(FindNext(rec), SearchNoMoreFiles);
  FindClose(rec);
  EXPECT_EQ(FindFirst(dir_ + "*.xyz", faAnyFile, rec), SearchFileNotFound);
  EXPECT_EQ(FindFirst(dir_ + "nowhere/*.*", faAnyFile, rec), SearchPathNotFound);
  EXPECT_EQ(FindNext(rec), SearchNoMoreFiles);  // a failed search leaves nothing open
}

TEST_F(ScratchFolder, FileDatesAreDosDateTimes) {
  Put("f", "x");
  const TDateTime when = EncodeDate(2001, 9, 8) + EncodeTime(7, 6, 54, 0);
  const std::int32_t dos = DateTimeToFileDate(when);
  EXPECT_EQ(static_cast<std::uint32_t>(dos), (21u << 25 | 9u << 21 | 8u << 16 | 7u << 11 | 6u << 5 | 27u));
  EXPECT_EQ(FileDateToDateTime(dos), when);
  ASSERT_TRUE(FileSetDate(dir_ + "f", dos));
  EXPECT_EQ(FileAge(dir_ + "F"), dos);
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
  EXPECT_EQ(FileDateToDateTime(0), 0);  // day 0 is no date
}

TEST_F(ScratchFolder, TemporaryFilesAndCurrentFolder) {
  const std::string t1 = CreateTempFile(dir_, "tw");
  const std::string t2 = CreateTempFile(dir_, "tw");
  EXPECT_NE(t1, t2);
  EXPECT_TRUE(FileExists(t1));
  EXPECT_EQ(ExtractFilePath(t1), dir_);
  EXPECT_THROW(CreateTempFile(dir_ + "missing", "tw"), EFCreateError);
  const std::string before = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(dir_));
  EXPECT_EQ(IncludeTrailingPathDelimiter(GetCurrentDir()), dir_);
  EXPECT_TRUE(FileExists(ExtractFileName(t1)));
  EXPECT_EQ(ExpandFileName("x/../y.txt"), dir_ + "y.txt");
  ASSERT_TRUE(SetCurrentDir(before));
  EXPECT_FALSE(SetCurrentDir(dir_ + "missing"));
}

TEST(Paths, PartsOfFileNames) {
  EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(ExtractFilePath("c.txt"), "");
  EXPECT_EQ(ExtractFilePath("dir\\c.txt"), "dir\\");
  EXPECT_EQ(ExtractFileDir("/a/b/c.txt"), "/a/b");
  EXPECT_EQ(ExtractFileDir("/c.txt"), "/");
  EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
  EXPECT_EQ(ExtractFileName("a\\b"), "b");
  EXPECT_EQ(ExtractFileExt("/a.d/c.txt"), ".txt");
  EXPECT_EQ(ExtractFileExt("/a.d/c"), "");
  EXPECT_EQ(ExtractFileExt("archive.tar.gz"), ".gz");
  EXPECT_EQ(ChangeFileExt("/a.d/c.txt", ".bak"), "/a.d/c.bak");
  EXPECT_EQ(ChangeFileExt("/a.d/c", ".bak"), "/a.d/c.bak");
  EXPECT_EQ(ChangeFileExt("c.txt", ""), "c");
  EXPECT_EQ(ExpandFileName("/a/./b/../c\\d"), "/a/c/d");
  EXPECT_EQ(ExpandFileName("/../.."), "/");
  EXPECT_EQ(ExpandFileName("/a/b/"), "/a/b/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a//"), "/a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
  EXPECT_TRUE(IsPathDelimiter("a\\b", 2));
  EXPECT_FALSE(IsPathDelimiter("a\\b", 4));
  EXPECT_EQ(ToNativePath(".\\swe\\"), "./swe/");
  EXPECT_TRUE(MatchesMask("ABC.txt", "a*C.T?T"));
  EXPECT_FALSE(MatchesMask("ABC.txt", "a*D.txt"));
  EXPECT_TRUE(MatchesMask("x", "*"));
}

TEST(ProgramFolderTest, OverrideAndRealFolder) {
  const std::string real = ExtractFilePath(ProgramFileName());
  EXPECT_TRUE(DirectoryExists(real));
  SetProgramFolder("/opt/tw\\data");
  EXPECT_EQ(ProgramFolder(), "/opt/tw/data/");
  SetProgramFolder("");
  const char* env = std::getenv("TIDEWELL_PROGRAM_DIR");
  EXPECT_EQ(ProgramFolder(), env != nullptr && *env != '\0' ? IncludeTrailingPathDelimiter(env) : real);
}

TEST(InOutErrors, NumbersAndTexts) {
  EXPECT_EQ(InOutErrorFromErrno(ENOENT), 2);
  EXPECT_EQ(InOutErrorFromErrno(EACCES), 5);
  EXPECT_EQ(InOutErrorFromErrno(ENOSPC), 101);
  EXPECT_EQ(InOutErrorText(2), "File not found");
  EXPECT_EQ(InOutErrorText(100), "Read beyond end of file");
  EXPECT_EQ(InOutErrorText(999), "I/O error 999");
  try {
    RaiseInOutError(EACCES);
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 5);
    EXPECT_EQ(e.Message(), "File access denied");
  }
}

}  // namespace
}  // namespace tw
