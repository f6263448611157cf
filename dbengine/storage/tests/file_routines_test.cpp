// The POSIX file routines: share modes between handles and processes, creation that never
// empties a file held by another handle, region locks, renames that never replace, and
// names given with backslashes or in another case.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>

#include "dbengine/storage/tests/fork_alone.h"
#include "dbengine//storage/faulty_file_routines.h"
#include "dbengine/storage/tests/storage_test_util.h"

namespace tw::dbengine {
namespace {

using testing::ScratchFolder;

struct Handle {
  TqnFileRoutines& r = QNPosixFileRoutines();
  TqnFileHandle h = kQnNoHandle;
  int Open(const std::string& name, bool rw, bool shared, bool create = false) {
    return r.Open(name, rw, shared, create, false, h);
  }
  ~Handle() {
    if (h != kQnNoHandle) r.Close(h);
  }
};

TEST(FileRoutines, ShareModesBetweenHandles) {
  ScratchFolder dir;
  const std::string f = dir.File("t.bin");
  testing::WriteAll(f, {1, 2, 3});
  {
    Handle a, b, c;
    ASSERT_EQ(a.Open(f, true, true), 0);
    EXPECT_EQ(b.Open(f, false, true), 0);               // shared with shared: fine
    EXPECT_EQ(c.Open(f, true, false), kQnSharingViolation);  // exclusive while others hold it
  }
  {
    Handle a, b;
    ASSERT_EQ(a.Open(f, true, false), 0);
    EXPECT_EQ(b.Open(f, false, true), kQnSharingViolation);
    // Creating over a file held exclusively must not empty it.
    EXPECT_EQ(b.Open(f, true, true, true), kQnSharingViolation);
  }
  EXPECT_EQ(testing::ReadAll(f).size(), 3u);
  Handle again;
  EXPECT_EQ(again.Open(f, true, false), 0);  // all handles closed: free again
}

TEST(FileRoutines, ShareModesBetweenProcesses) {
  ScratchFolder dir;
  const std::string f = dir.File("t.bin");
  testing::WriteAll(f, {1});
  Handle a;
  ASSERT_EQ(a.Open(f, true, false), 0);
  const pid_t pid = ForkAlone();
  if (pid == 0) {
    TqnFileHandle h = kQnNoHandle;
    const int e = QNPosixFileRoutines().Open(f, false, true, false, false, h);
    ::_exit(e == kQnSharingViolation ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(FileRoutines, PositionedTransfersFlushAndEndOfFile) {
  ScratchFolder dir;
  Handle a;
  ASSERT_EQ(a.Open(dir.File("t.bin"), true, false, true), 0);
  std::size_t done = 0;
  EXPECT_EQ(a.r.WriteAt(a.h, 10, "abc", 3, done), 0);
  EXPECT_EQ(done, 3u);
  EXPECT_EQ(a.r.Flush(a.h), 0);
  std::int64_t size = 0;
  EXPECT_EQ(a.r.Size(a.h, size), 0);
  EXPECT_EQ(size, 13);
  char buf[8] = {};
  EXPECT_EQ(a.r.ReadAt(a.h, 11, buf, 8, done), 0);
  EXPECT_EQ(done, 2u);  // short at the end
  EXPECT_EQ(std::string(buf, 2), "bc");
  EXPECT_EQ(a.r.Truncate(a.h, 4), 0);
  EXPECT_EQ(a.r.Size(a.h, size), 0);
  EXPECT_EQ(size, 4);
}

// Pieces of every size, empty ones among them, land one after the other from the offset.
std::vector<std::vector<std::uint8_t>> SomePieces() {
  std::vector<std::vector<std::uint8_t>> pieces;
  std::uint8_t next = 1;
  for (std::size_t n : {4096u, 0u, 1u, 4095u, 8192u, 0u, 3u}) {
    pieces.emplace_back(n);
    for (auto& b : pieces.back()) b = next++;
  }
  return pieces;
}

std::vector<TqnIoPiece> PiecesOf(const std::vector<std::vector<std::uint8_t>>& p) {
  std::vector<TqnIoPiece> out;
  for (const auto& v : p) out.push_back({v.data(), v.size()});
  return out;
}

TEST(FileRoutines, GatheredWritesLandAsOneRunOfTheirPieces) {
  const auto pieces = SomePieces();
  std::vector<std::uint8_t> expected(100, 0xEE);
  for (const auto& v : pieces) expected.insert(expected.end(), v.begin(), v.end());
  // The POSIX table, and a table that gathers them through its own WriteAt (the faulty one
  // counts that as one write).
  TqnFaultyFileRoutines faulty;
  for (TqnFileRoutines* r : {&QNPosixFileRoutines(), static_cast<TqnFileRoutines*>(&faulty)}) {
    ScratchFolder dir;
    TqnFileHandle h = kQnNoHandle;
    ASSERT_EQ(r->Open(dir.File("t.bin"), true, false, true, false, h), 0);
    std::size_t done = 0;
    ASSERT_EQ(r->WriteAt(h, 0, std::vector<std::uint8_t>(120, 0xEE).data(), 120, done), 0);
    const int writesBefore = faulty.Writes();
    const auto io = PiecesOf(pieces);
    ASSERT_EQ(r->WriteGatherAt(h, 100, io.data(), io.size(), done), 0);
    EXPECT_EQ(done, expected.size() - 100);
    if (r == &faulty) {
      EXPECT_EQ(faulty.Writes(), writesBefore + 1);
    }
    r->Close(h);
    EXPECT_EQ(testing::ReadAll(dir.File("t.bin")), expected);
  }
}

// A write the system cuts short (here at the file size limit) goes on from where it stopped,
// in the middle of a piece, and the error that stops it is reported with the bytes written.
TEST(FileRoutines, AGatheredWriteCutShortGoesOnAndReportsWhatStopsIt) {
  ScratchFolder dir;
  const std::string f = dir.File("t.bin");
  const auto pieces = SomePieces();
  const pid_t pid = ForkAlone();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{10000, 10000};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
    TqnFileRoutines& r = QNPosixFileRoutines();
    TqnFileHandle h = kQnNoHandle;
    if (r.Open(f, true, false, true, false, h) != 0) ::_exit(3);
    const auto io = PiecesOf(pieces);
    std::size_t done = 0;
    const int e = r.WriteGatherAt(h, 100, io.data(), io.size(), done);
    ::_exit(e == EFBIG && done == 9900 ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::vector<std::uint8_t> expected(100, 0);
  for (const auto& v : pieces) expected.insert(expected.end(), v.begin(), v.end());
  expected.resize(10000);
  EXPECT_EQ(testing::ReadAll(f), expected);
}

// Reading a table leaves its access time as it was (each read would otherwise look at it), for
// the files a process owns.
TEST(FileRoutines, ReadsLeaveTheAccessTime) {
  ScratchFolder dir;
  const std::string f = dir.File("t.bin");
  testing::WriteAll(f, {1, 2, 3});
  // Two days back, which a file system mounted with relatime brings forward at the next read.
  struct timespec times[2] = {{::time(nullptr) - 2 * 86400, 0}, {0, UTIME_OMIT}};
  ASSERT_EQ(::utimensat(AT_FDCWD, f.c_str(), times, 0), 0);
  struct stat before {};
  ASSERT_EQ(::stat(f.c_str(), &before), 0);
  for (bool rw : {false, true}) {
    Handle a;
    ASSERT_EQ(a.Open(f, rw, true), 0);
    char buf[3] = {};
    std::size_t done = 0;
    ASSERT_EQ(a.r.ReadAt(a.h, 0, buf, 3, done), 0);
    EXPECT_EQ(done, 3u);
  }
  struct stat after {};
  ASSERT_EQ(::stat(f.c_str(), &after), 0);
  EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec);
}

TEST(FileRoutines, RegionLocksExcludeOtherHandles) {
  ScratchFolder dir;
  const std::string f = dir.File("t.bin");
  testing::WriteAll(f, std::vector<std::uint8_t>(100));
  Handle a, b;
  ASSERT_EQ(a.Open(f, true, true), 0);
  ASSERT_EQ(b.Open(f, true, true), 0);
  EXPECT_EQ(a.r.LockRegion(a.h, 10, 10), 0);
  EXPECT_NE(b.r.LockRegion(b.h, 15, 10), 0);
  EXPECT_EQ(b.r.LockRegion(b.h, 20, 10), 0);
  EXPECT_EQ(a.r.UnlockRegion(a.h, 10, 10), 0);
  EXPECT_EQ(b.r.LockRegion(b.h, 15, 5), 0);
  EXPECT_NE(a.r.LockRegion(a.h, -1, 5), 0);
}

TEST(FileRoutines, RenameNeverReplacesAndNamesAreForgiving) {
  ScratchFolder dir;
  testing::WriteAll(dir.File("Old.QND"), {1});
  testing::WriteAll(dir.File("Taken.QND"), {2});
  TqnFileRoutines& r = QNPosixFileRoutines();
  EXPECT_EQ(r.Rename(dir.File("Old.QND"), dir.File("Taken.QND")), EEXIST);
  EXPECT_EQ(testing::ReadAll(dir.File("Taken.QND")), std::vector<std::uint8_t>{2});
  EXPECT_EQ(r.Rename(dir.File("Old.QND"), dir.File("New.QND")), 0);
  // Backslashes and another case find the file.
  std::string dos = dir.File("new.qnd");
  for (char& c : dos)
    if (c == '/') c = '\\';
  EXPECT_TRUE(r.Exists(dos));
  Handle h;
  EXPECT_EQ(h.Open(dir.File("NEW.QND"), false, true), 0);
  EXPECT_EQ(QNResolveFileName(dir.File("NEW.qnd")), dir.File("New.QND"));
  EXPECT_EQ(r.Delete(dir.File("new.QND")), 0);
  EXPECT_FALSE(r.Exists(dir.File("New.QND")));
  EXPECT_EQ(testing::ErrorOf([&] { QNRenameFile(dir.File("Gone"), dir.File("X")); }), 23570);
  EXPECT_EQ(testing::ErrorOf([&] { QNDeleteFile(dir.File("Gone")); }), 23569);
}

TEST(FileRoutines, InstalledTableIsTakenByNewFileRecords) {
  TqnFaultyFileRoutines faulty;
  TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
  EXPECT_EQ(previous, &QNPosixFileRoutines());
  EXPECT_EQ(&QNFileAccessTable(), &faulty);
  TqnFileInfo* f = QNAllocFileInfo("x", "QND", nullptr);
  EXPECT_EQ(f->Routines, &faulty);
  EXPECT_EQ(f->Name, "x.QND");
  QNFreeFileInfo(f);
  QNInstallFileAccessTable(nullptr);
  EXPECT_EQ(&QNFileAccessTable(), &QNPosixFileRoutines());
}

TEST(FaultyFileRoutines, FaultsFireAtTheNthWrite) {
  ScratchFolder dir;
  TqnFaultyFileRoutines faulty;
  TqnFileHandle h = kQnNoHandle;
  ASSERT_EQ(faulty.Open(dir.File("t.bin"), true, false, true, false, h), 0);
  std::size_t done = 0;
  faulty.Arm(TqnFaultyFileRoutines::TFault::TornWrite, 2);
  EXPECT_EQ(faulty.WriteAt(h, 0, "abcd", 4, done), 0);
  EXPECT_FALSE(faulty.Fired());
  EXPECT_NE(faulty.WriteAt(h, 4, "efgh", 4, done), 0);
  EXPECT_TRUE(faulty.Fired());
  EXPECT_EQ(testing::ReadAll(dir.File("t.bin")), (std::vector<std::uint8_t>{'a', 'b', 'c', 'd', 'e', 'f'}));
  faulty.Arm(TqnFaultyFileRoutines::TFault::Stop, 1);
  EXPECT_THROW(faulty.WriteAt(h, 0, "zz", 2, done), EqnSimulatedStop);
  // After the stop nothing is written any more.
  EXPECT_NE(faulty.WriteAt(h, 0, "zz", 2, done), 0);
  EXPECT_NE(faulty.Delete(dir.File("t.bin")), 0);
  EXPECT_NE(faulty.Close(h), 0);
  EXPECT_EQ(testing::ReadAll(dir.File("t.bin"))[0], 'a');
}

}  // namespace
}  // namespace tw::dbengine
