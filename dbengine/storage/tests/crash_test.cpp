// A commit is all or nothing across a crash.  For every N, a transaction over two tables is
// committed while its Nth write (or flush) fails, is torn in half, or the process stops
// there; after reopening with the real file routines, both tables hold either all of the
// transaction or none of it, and no journal is left.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "dbengine/storage/tests/fork_alone.h"
#include "dbengine//storage/faulty_file_routines.h"
#include "dbengine/storage/journal.h"
#include "dbengine/storage/tests/storage_test_util.h"

namespace tw::dbengine {
namespace {

using testing::ScratchFolder;
using testing::TableFixture;
using TFault = TqnFaultyFileRoutines::TFault;

constexpr std::uint8_t kOld = 0x11;
constexpr std::uint8_t kNew = 0x22;
constexpr int kBlocks = 6;  // data blocks 2..7 after block 0 and the dictionary

void Fill(std::uint8_t* block, std::uint8_t v) { std::memset(block + 32, v, 4096 - 32); }

void Build(const std::string& dir) {
  for (const char* name : {"A", "B"}) {
    TableFixture t;
    TqnDataDictionary d;
    testing::SmallDictionary(d);
    t.Create(dir + "/" + name, d);
    t.Begin(2);
    std::uint8_t* h = t.Header(true);
    for (int i = 0; i < kBlocks; ++i) {
      std::int32_t b = 0;
      Fill(QNTblHlpGetNewBlock(t.file, h, b), kOld);
    }
    t.bm.Commit(2);
  }
}

// The changes of one transaction: three blocks of A, two of B, a block appended to A, and a
// counter in both headers.  Early: what is changed so far is written out (CommitChanges) after
// A's blocks and after B's.
// Each step is one request, as the server makes them.
void Change(TqnBufferManager& bm, TqnFileInfo* a, TqnFileInfo* b, bool early = false, std::uint32_t id = 0) {
  using TRequest = TqnBufferManager::TRequest;
  for (int blk = 2; blk <= 4; ++blk) {
    TRequest r(bm);
    Fill(bm.GetBlock(a, blk, true), kNew);
  }
  if (early) bm.CommitChanges(id);
  for (int blk = 3; blk <= 4; ++blk) {
    TRequest r(bm);
    Fill(bm.GetBlock(b, blk, true), kNew);
  }
  if (early) bm.CommitChanges(id);
  {
    TRequest r(bm);
    std::int32_t n = 0;
    Fill(QNTblHlpGetNewBlock(a, bm.GetFileHeader(a, true), n), kNew);
  }
  QNTblNextAutoIncValue(a);
  QNTblNextAutoIncValue(b);
}

// Runs the transaction with the fault armed; returns whether the fault fired.
// CachePages above 0 makes the cache smaller than the transaction, which then writes its
// changes early to make room.
bool RunWithFault(const std::string& dir, TFault fault, int n, bool failSafe, bool early = false, int cachePages = 0) {
  TqnFaultyFileRoutines faulty;
  TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
  auto bm = std::make_unique<TqnBufferManager>();
  if (cachePages > 0) bm->SetMaxPageCount(cachePages);
  TqnFileInfo* a = QNAllocFileInfo(dir + "/A", "QND", bm.get());
  TqnFileInfo* b = QNAllocFileInfo(dir + "/B", "QND", bm.get());
  QNInstallFileAccessTable(previous);
  QNOpenFile(a, true, false, false, false);
  QNOpenFile(b, true, false, false, false);
  faulty.Arm(fault, n);
  const std::uint32_t id = 50;
  try {
    a->TransactionId = b->TransactionId = id;
    bm->StartTransaction(id, failSafe, dir + "/7");
    Change(*bm, a, b, early, id);
    if (cachePages > 0) {
      EXPECT_GT(bm->Spills(), 0u);
    }
    bm->Commit(id);
  } catch (const EqnSimulatedStop&) {
    // The process is gone: nothing more is written.
  } catch (const EqnException&) {
    // What the server does with a failed commit.
    bm->Rollback(id);
  }
  // Abandon (after a stop every routine fails and writes nothing) or close normally.
  bm->RemoveFile(a);
  bm->RemoveFile(b);
  QNFreeFileInfo(a);
  QNFreeFileInfo(b);
  bm.reset();
  return faulty.Fired();
}

// Reopens both tables with the real routines and returns whether they hold the transaction
// (true) or not (false); fails the test when a table is torn or the two disagree.
bool CheckAllOrNothing(const std::string& dir, const std::string& label) {
  bool result[2] = {};
  int i = 0;
  for (const char* name : {"A", "B"}) {
    TableFixture t;
    t.Open(dir + "/" + name);
    const bool isNew = t.Dword(qfhLastAutoInc) == 1;
    result[i] = isNew;
    const bool isA = i == 0;
    EXPECT_EQ(t.Dword(qfhBlocksUsed), 2 + kBlocks + (isA && isNew ? 1 : 0)) << label << " " << name;
    for (int blk = 2; blk < t.Dword(qfhBlocksUsed); ++blk) {
      const bool changed = isNew && (isA ? (blk <= 4 || blk == 8) : (blk == 3 || blk == 4));
      const std::uint8_t want = changed ? kNew : kOld;
      const std::uint8_t* p = t.bm.GetBlock(t.file, blk, false);
      int wrong = 0;
      for (int k = 32; k < 4096; ++k) wrong += p[k] != want;
      EXPECT_EQ(wrong, 0) << label << " " << name << " block " << blk;
    }
    TqnDataDictionary d;
    EXPECT_NO_THROW(QNTblReadDictionary(d, t.file)) << label;
    ++i;
  }
  EXPECT_EQ(result[0], result[1]) << label << ": one table has the transaction, the other not";
  return result[0];
}

// The names of the journals in a folder.
std::vector<std::string> JournalsIn(const ScratchFolder& dir) {
  std::vector<std::string> out;
  for (const std::string& n : dir.Names())
    if (n.find(".QN$") != std::string::npos) out.push_back(n);
  return out;
}

void NoJournalLeft(const ScratchFolder& dir, const std::string& label) {
  for (const std::string& n : dir.Names()) EXPECT_EQ(n.find(".QN$"), std::string::npos) << label << " " << n;
}

void CrashAtEveryWrite(TFault fault, bool failSafe, int atLeast = 10, bool early = false, int cachePages = 0) {
  bool sawNone = false, sawAll = false;
  int n = 1;
  for (; n < 200; ++n) {
    ScratchFolder dir;
    Build(dir.Path());
    const bool fired = RunWithFault(dir.Path(), fault, n, failSafe, early, cachePages);
    const std::string label = "N=" + std::to_string(n);
    const bool committed = CheckAllOrNothing(dir.Path(), label);
    NoJournalLeft(dir, label);
    if (::testing::Test::HasFailure()) break;
    if (!fired) {
      EXPECT_TRUE(committed) << label;
      break;
    }
    (committed ? sawAll : sawNone) = true;
  }
  EXPECT_GT(n, atLeast);
  EXPECT_LT(n, 200);
  // Faults before the journal was complete undo the transaction, faults after it finish it.
  EXPECT_TRUE(sawNone);
  EXPECT_TRUE(sawAll);
}

TEST(CrashSafety, FailSafeTransactionSurvivesFailedWrites) { CrashAtEveryWrite(TFault::FailWrite, true); }
TEST(CrashSafety, FailSafeTransactionSurvivesTornWrites) { CrashAtEveryWrite(TFault::TornWrite, true); }
TEST(CrashSafety, FailSafeTransactionSurvivesAStop) { CrashAtEveryWrite(TFault::Stop, true); }
TEST(CrashSafety, FailSafeTransactionSurvivesAStopMidWrite) { CrashAtEveryWrite(TFault::StopTorn, true); }
TEST(CrashSafety, FailSafeTransactionSurvivesFailedFlushes) { CrashAtEveryWrite(TFault::FailFlush, true, 3); }
TEST(CrashSafety, NormalTransactionSurvivesFailedWrites) { CrashAtEveryWrite(TFault::FailWrite, false); }
TEST(CrashSafety, NormalTransactionSurvivesAStopMidWrite) { CrashAtEveryWrite(TFault::StopTorn, false); }
TEST(CrashSafety, NormalTransactionSurvivesAStop) { CrashAtEveryWrite(TFault::Stop, false); }
// Blocks written early (CommitChanges) are undone as well.
TEST(CrashSafety, EarlyWritesOfANormalTransactionSurviveAStop) {
  CrashAtEveryWrite(TFault::StopTorn, false, 10, true);
}
TEST(CrashSafety, EarlyWritesOfANormalTransactionSurviveFailedWrites) {
  CrashAtEveryWrite(TFault::FailWrite, false, 10, true);
}
TEST(CrashSafety, EarlyWritesOfAFailSafeTransactionSurviveAStop) {
  CrashAtEveryWrite(TFault::StopTorn, true, 10, true);
}
// A transaction larger than the cache (two header pages and two block pages) writes changed
// blocks early to make room: it stays all or nothing too.
TEST(CrashSafety, ATransactionLargerThanTheCacheSurvivesAStop) {
  CrashAtEveryWrite(TFault::StopTorn, false, 10, false, 4);
  CrashAtEveryWrite(TFault::StopTorn, true, 10, false, 4);
}
TEST(CrashSafety, ATransactionLargerThanTheCacheSurvivesFailedWrites) {
  CrashAtEveryWrite(TFault::FailWrite, false, 10, false, 4);
  CrashAtEveryWrite(TFault::FailWrite, true, 10, false, 4);
}
TEST(CrashSafety, ATransactionLargerThanTheCacheSurvivesFailedFlushes) {
  CrashAtEveryWrite(TFault::FailFlush, false, 3, false, 4);
  CrashAtEveryWrite(TFault::LosingFlush, false, 3, false, 4);
  CrashAtEveryWrite(TFault::LosingFlush, true, 3, false, 4);
}

// A commit's answer is its fate.  For every N the Nth write or flush fails (or is torn) and
// the process ends right after the commit's answer, without a rollback (a client that holds
// its failed transaction open).  The commit counts as answered done when Commit returned or
// when it raised after the commit was decided (the server answers 0 then); after recovery the
// tables hold the transaction exactly when it was answered done.
void AnswerIsFate(TFault fault, bool failSafe, int cachePages) {
  int n = 1;
  int done = 0, failed = 0;
  for (; n < 300; ++n) {
    ScratchFolder dir;
    Build(dir.Path());
    TqnFaultyFileRoutines faulty;
    TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
    auto bm = std::make_unique<TqnBufferManager>();
    if (cachePages > 0) bm->SetMaxPageCount(cachePages);
    TqnFileInfo* a = QNAllocFileInfo(dir.File("A"), "QND", bm.get());
    TqnFileInfo* b = QNAllocFileInfo(dir.File("B"), "QND", bm.get());
    QNInstallFileAccessTable(previous);
    QNOpenFile(a, true, false, false, false);
    QNOpenFile(b, true, false, false, false);
    const std::uint32_t id = 50;
    a->TransactionId = b->TransactionId = id;
    bm->StartTransaction(id, failSafe, dir.File("7"));
    faulty.Arm(fault, n);
    bool answeredDone = false;
    try {
      Change(*bm, a, b, false, id);
      bm->Commit(id);
      answeredDone = true;
    } catch (const EqnException&) {
      answeredDone = bm->IsDecided(id);
    }
    // The process ends: what the journal says decides.
    QNFreeFileInfo(a);
    QNFreeFileInfo(b);
    bm.reset();
    const std::string label = "N=" + std::to_string(n);
    EXPECT_EQ(CheckAllOrNothing(dir.Path(), label), answeredDone) << label << ": the answer is not the fate";
    NoJournalLeft(dir, label);
    if (::testing::Test::HasFailure() || !faulty.Fired()) break;
    (answeredDone ? done : failed) += 1;
  }
  EXPECT_LT(n, 300);
  EXPECT_GT(failed, 0);
  EXPECT_GT(done, 0);
}

TEST(CommitAnswer, IsItsFateWhenAWriteIsTornOrFails) {
  AnswerIsFate(TFault::TornWrite, false, 0);
  AnswerIsFate(TFault::TornWrite, true, 0);
  AnswerIsFate(TFault::FailWrite, true, 4);
}
TEST(CommitAnswer, IsItsFateWhenAFlushFails) {
  AnswerIsFate(TFault::FailFlush, false, 0);
  AnswerIsFate(TFault::FailFlush, true, 4);
  // The writes since the last flush are lost with it.
  AnswerIsFate(TFault::LosingFlush, false, 4);
  AnswerIsFate(TFault::LosingFlush, true, 4);
}

// The same with a real process that ends in the middle of its Nth write.
void ExitAtEveryWrite(bool failSafe, bool early = false, int cachePages = 0) {
  bool sawNone = false, sawAll = false;
  int n = 1;
  for (; n < 200; ++n) {
    ScratchFolder dir;
    Build(dir.Path());
    const pid_t pid = ForkAlone();
    if (pid == 0) {
      RunWithFault(dir.Path(), TFault::Exit, n, failSafe, early, cachePages);
      ::_exit(3);  // the commit ended without reaching the Nth write
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    const std::string label = "exit at N=" + std::to_string(n);
    const bool committed = CheckAllOrNothing(dir.Path(), label);
    NoJournalLeft(dir, label);
    if (::testing::Test::HasFailure()) break;
    if (WEXITSTATUS(status) == 3) {
      EXPECT_TRUE(committed) << label;
      break;
    }
    (committed ? sawAll : sawNone) = true;
  }
  EXPECT_GT(n, 10);
  EXPECT_TRUE(sawNone);
  EXPECT_TRUE(sawAll);
}

TEST(CrashSafety, FailSafeTransactionSurvivesProcessExit) { ExitAtEveryWrite(true); }
TEST(CrashSafety, NormalTransactionSurvivesProcessExit) { ExitAtEveryWrite(false); }
TEST(CrashSafety, EarlyWritesOfANormalTransactionSurviveProcessExit) { ExitAtEveryWrite(false, true); }
TEST(CrashSafety, ATransactionLargerThanTheCacheSurvivesProcessExit) { ExitAtEveryWrite(false, false, 4); }

// A file that the transaction makes gets all of its blocks through the journal, its header with
// them: recovery writes no image into a file that has bytes but no header, so nothing of it
// may reach the file before the commit is decided.  The process ends in the middle of each
// write of a transaction that makes a table file and fills blocks of it; wherever the commit
// was decided (the journal says complete, or the commit returned), the file opens after
// recovery with every block, and no journal is left.
TEST(CrashSafety, AFileMadeByTheTransactionIsWholeOnceItsCommitIsDecided) {
  int decided = 0, undecided = 0;
  int n = 1;
  for (; n < 100; ++n) {
    ScratchFolder dir;
    const pid_t pid = ForkAlone();
    if (pid == 0) {
      TqnFaultyFileRoutines faulty;
      TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
      auto* bm = new TqnBufferManager();  // never freed: the process ends without cleaning up
      TqnFileInfo* f = QNAllocFileInfo(dir.File("N"), "QND", bm);
      QNInstallFileAccessTable(previous);
      QNOpenFile(f, true, false, true, false);
      f->TransactionId = 7;
      bm->StartTransaction(7, false, "");
      faulty.Arm(TFault::Exit, n);
      TqnDataDictionary d;
      testing::SmallDictionary(d);
      QNTblCreateFileHeader(f, d);
      QNTblWriteDictionary(d, f);
      for (int i = 0; i < kBlocks; ++i) {
        TqnBufferManager::TRequest r(*bm);
        std::int32_t b = 0;
        Fill(QNTblHlpGetNewBlock(f, bm->GetFileHeader(f, true), b), kNew);
      }
      bm->Commit(7);
      ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    const std::string label = "exit at N=" + std::to_string(n);
    bool complete = WEXITSTATUS(status) == 3;
    for (const std::string& j : JournalsIn(dir)) {
      const auto bytes = testing::ReadAll(dir.File(j));
      complete = complete || (bytes.size() >= 8 && QNGetU32(bytes.data() + 4) == 1);
    }
    if (!complete) {
      ++undecided;
      continue;
    }
    ++decided;
    {
      TableFixture t;
      ASSERT_NO_THROW(t.Open(dir.File("N"))) << label;
      ASSERT_EQ(t.Dword(qfhBlocksUsed), 2 + kBlocks) << label;
      for (int blk = 2; blk < 2 + kBlocks; ++blk) {
        const std::uint8_t* p = t.bm.GetBlock(t.file, blk, false);
        int wrong = 0;
        for (int k = 32; k < 4096; ++k) wrong += p[k] != kNew;
        EXPECT_EQ(wrong, 0) << label << " block " << blk;
      }
      TqnDataDictionary d;
      EXPECT_NO_THROW(QNTblReadDictionary(d, t.file)) << label;
    }
    NoJournalLeft(dir, label);
    if (::testing::Test::HasFailure() || WEXITSTATUS(status) == 3) break;
  }
  EXPECT_LT(n, 100);
  EXPECT_GT(decided, 1);
  EXPECT_GT(undecided, 5);
}

// ---- The journal and its recovery rule ------------------------------------------------------

std::int64_t SizeOf(const std::string& path) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<std::int64_t>(n);
}

TEST(Journal, BeforeImagesOncePerBlockAndGoneAfterCommit) {
  ScratchFolder dir;
  Build(dir.Path());
  TableFixture t;
  t.Open(dir.File("A"));
  t.Begin(9, true, dir.File("7"));
  const std::string journal = dir.File("7.QN$");
  EXPECT_EQ(SizeOf(journal), 8);
  Fill(t.bm.GetBlock(t.file, 5, true), 0x33);
  Fill(t.bm.GetBlock(t.file, 5, true), 0x34);  // already dirty: no second before-image
  EXPECT_EQ(SizeOf(journal), 8 + 276 + 4096);
  std::int32_t b = 0;
  QNTblHlpGetNewBlock(t.file, t.Header(true), b);  // block 0's before-image; none for the new block
  EXPECT_EQ(SizeOf(journal), 8 + 2 * (276 + 4096));
  const auto bytes = testing::ReadAll(journal);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "JQNH");
  EXPECT_EQ(QNGetU32(bytes.data() + 4), 0u);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "JFRH");
  EXPECT_EQ(QNGetI32(bytes.data() + 12), 5);
  EXPECT_EQ(QNGetI32(bytes.data() + 16), 4096);
  EXPECT_EQ(QNGetU32(bytes.data() + 20), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 24)), QNJournalPath(dir.File("A.QND")));
  EXPECT_EQ(bytes[8 + 276 + 32], kOld);
  t.bm.Commit(9);
  EXPECT_EQ(SizeOf(journal), -1);
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND"))[5 * 4096 + 40], 0x34);
}

TEST(Journal, NormalCommitsReuseOneJournalThatTheyLeaveInert) {
  ScratchFolder dir;
  Build(dir.Path());
  TableFixture t;
  t.Open(dir.File("A"));
  t.Begin(10);
  for (int blk = 2; blk <= 4; ++blk) Fill(t.bm.GetBlock(t.file, blk, true), kNew);
  t.bm.Commit(10);
  // Kept for the next commit, in state 0: nothing of it is ever applied.
  const std::vector<std::string> kept = JournalsIn(dir);
  ASSERT_EQ(kept.size(), 1u);
  auto bytes = testing::ReadAll(dir.File(kept[0]));
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "JQNH");
  EXPECT_EQ(QNGetU32(bytes.data() + 4), 0u);
  EXPECT_EQ(bytes.size(), 8u + 3 * (276 + 4096));
  // Held by this process: no recovery touches it meanwhile.
  EXPECT_EQ(QNRecoverJournal(dir.File(kept[0]), QNPosixFileRoutines()), TqnRecovery::InUse);

  t.Begin(11);
  Fill(t.bm.GetBlock(t.file, 5, true), kNew);
  t.bm.Commit(11);
  EXPECT_EQ(JournalsIn(dir), kept);
  // What the longer commit left past the shorter one is cut off.
  bytes = testing::ReadAll(dir.File(kept[0]));
  EXPECT_EQ(bytes.size(), 8u + 276 + 4096);
  EXPECT_EQ(QNGetU32(bytes.data() + 4), 0u);
  EXPECT_EQ(QNGetI32(bytes.data() + 12), 5);
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND"))[5 * 4096 + 40], kNew);

  // It goes with the last table of its folder.
  t.Close();
  t.file = nullptr;
  EXPECT_TRUE(JournalsIn(dir).empty());
}

// A second commit through the journal the first one left: stopped at every write, the table
// holds the first commit and either all or none of the second, never images of the first
// replayed over the second.
TEST(CrashSafety, AReusedJournalNeverReplaysAnEarlierCommit) {
  constexpr std::uint8_t kSecond = 0x33;
  bool sawNone = false, sawAll = false;
  int n = 1;
  for (; n < 100; ++n) {
    ScratchFolder dir;
    Build(dir.Path());
    TqnFaultyFileRoutines faulty;
    {
      TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
      auto bm = std::make_unique<TqnBufferManager>();
      TqnFileInfo* a = QNAllocFileInfo(dir.File("A"), "QND", bm.get());
      QNInstallFileAccessTable(previous);
      QNOpenFile(a, true, false, false, false);
      a->TransactionId = 60;
      bm->StartTransaction(60, false, "");
      for (int blk = 2; blk <= 4; ++blk) Fill(bm->GetBlock(a, blk, true), kNew);
      bm->Commit(60);
      faulty.Arm(TFault::StopTorn, n);
      try {
        a->TransactionId = 61;
        bm->StartTransaction(61, false, "");
        Fill(bm->GetBlock(a, 4, true), kSecond);
        Fill(bm->GetBlock(a, 5, true), kSecond);
        bm->Commit(61);
      } catch (const EqnSimulatedStop&) {
      }
      bm->RemoveFile(a);
      QNFreeFileInfo(a);
    }
    const std::string label = "N=" + std::to_string(n);
    TableFixture t;
    t.Open(dir.File("A"));
    for (int blk = 2; blk <= 3; ++blk) EXPECT_EQ(t.bm.GetBlock(t.file, blk, false)[40], kNew) << label;
    const std::uint8_t four = t.bm.GetBlock(t.file, 4, false)[40];
    const std::uint8_t five = t.bm.GetBlock(t.file, 5, false)[40];
    const bool second = five == kSecond;
    EXPECT_EQ(four, second ? kSecond : kNew) << label << ": block 4 does not go with block 5";
    EXPECT_EQ(five, second ? kSecond : kOld) << label;
    t.Close();
    t.file = nullptr;
    EXPECT_TRUE(JournalsIn(dir).empty()) << label;
    if (::testing::Test::HasFailure()) break;
    if (!faulty.Fired()) {
      EXPECT_TRUE(second) << label;
      break;
    }
    (second ? sawAll : sawNone) = true;
  }
  EXPECT_GT(n, 4);
  EXPECT_LT(n, 100);
  EXPECT_TRUE(sawNone);
  EXPECT_TRUE(sawAll);
}

TEST(Journal, RollbackDeletesTheJournalAndKeepsTheDisk) {
  ScratchFolder dir;
  Build(dir.Path());
  const auto before = testing::ReadAll(dir.File("A.QND"));
  TableFixture t;
  t.Open(dir.File("A"));
  t.Begin(9, true, dir.File("8.QN$"));
  Fill(t.bm.GetBlock(t.file, 5, true), 0x33);
  t.bm.Rollback(9);
  EXPECT_EQ(SizeOf(dir.File("8.QN$")), -1);
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND")), before);
  EXPECT_EQ(t.bm.GetBlock(t.file, 5, false)[40], kOld);
}

TEST(Journal, RollbackAfterEarlyWritesPutsTheOldBlocksBack) {
  ScratchFolder dir;
  Build(dir.Path());
  const auto before = testing::ReadAll(dir.File("A.QND"));
  TableFixture t;
  t.Open(dir.File("A"));
  t.Begin(9, true, dir.File("8"));
  Fill(t.bm.GetBlock(t.file, 5, true), 0x33);
  t.bm.CommitChanges(9);
  Fill(t.bm.GetBlock(t.file, 5, true), 0x35);
  Fill(t.bm.GetBlock(t.file, 6, true), 0x35);
  t.bm.CommitChanges(9);
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND"))[5 * 4096 + 40], 0x35);
  t.bm.Rollback(9);
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND")), before);
  EXPECT_EQ(t.bm.GetBlock(t.file, 5, false)[40], kOld);
  EXPECT_EQ(SizeOf(dir.File("8.QN$")), -1);
}

TEST(Journal, CrashAfterEarlyWritesIsRolledBackAtOpen) {
  ScratchFolder dir;
  Build(dir.Path());
  const auto before = testing::ReadAll(dir.File("A.QND"));
  {
    TqnFaultyFileRoutines faulty;
    TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
    TableFixture t;
    t.Open(dir.File("A"));
    QNInstallFileAccessTable(previous);
    t.Begin(9, true, dir.File("8"));
    Fill(t.bm.GetBlock(t.file, 5, true), 0x33);
    t.bm.CommitChanges(9);
    faulty.Arm(TFault::Stop, 1);
    EXPECT_THROW(Fill(t.bm.GetBlock(t.file, 6, true), 0x33), EqnSimulatedStop);
  }
  EXPECT_NE(testing::ReadAll(dir.File("A.QND")), before);
  TableFixture t;
  t.Open(dir.File("A"));
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND")), before);
  EXPECT_EQ(SizeOf(dir.File("8.QN$")), -1);
}

TEST(Journal, RunningTransactionsJournalIsLeftAlone) {
  ScratchFolder dir;
  Build(dir.Path());
  TableFixture a;
  a.Open(dir.File("A"));
  a.Begin(9, true, dir.File("8"));
  Fill(a.bm.GetBlock(a.file, 5, true), 0x33);
  // Opening another table of the folder runs recovery, which must not touch a live journal.
  TableFixture b;
  b.Open(dir.File("B"));
  EXPECT_EQ(SizeOf(dir.File("8.QN$")), 8 + 276 + 4096);
  EXPECT_EQ(QNRecoverJournal(dir.File("8.QN$"), QNPosixFileRoutines()), TqnRecovery::InUse);
  a.bm.Commit(9);
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND"))[5 * 4096 + 40], 0x33);
}

TEST(Journal, DamagedOrForeignJournals) {
  ScratchFolder dir;
  Build(dir.Path());
  // A journal cut short at creation is discarded.
  testing::WriteAll(dir.File("1.QN$"), {'J', 'Q'});
  // A file that is not a journal is left alone.
  testing::WriteAll(dir.File("2.QN$"), {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
  EXPECT_EQ(QNRecoverJournal(dir.File("1.QN$"), QNPosixFileRoutines()), TqnRecovery::RolledBack);
  EXPECT_EQ(QNRecoverJournal(dir.File("2.QN$"), QNPosixFileRoutines()), TqnRecovery::NoJournal);
  EXPECT_EQ(SizeOf(dir.File("1.QN$")), -1);
  EXPECT_EQ(SizeOf(dir.File("2.QN$")), 11);
  // A complete journal whose record is damaged is corrupt: the table is not opened.
  std::vector<std::uint8_t> j(8 + 276 + 4096, 0);
  std::memcpy(j.data(), "JQNH", 4);
  QNPutU32(j.data() + 4, 1);
  std::memcpy(j.data() + 8, "JFRH", 4);
  QNPutI32(j.data() + 12, 3);
  QNPutI32(j.data() + 16, 4096);
  const std::string path = QNJournalPath(dir.File("A.QND"));
  std::memcpy(j.data() + 24, path.data(), path.size());
  j.resize(j.size() - 100);  // the image is cut
  testing::WriteAll(dir.File("3.QN$"), j);
  TableFixture t;
  EXPECT_EQ(testing::ErrorOf([&] { t.Open(dir.File("A")); }), 23584);
}

// Recovery looks for a table's journals in its own folder only, so one journal cannot cover
// tables of two folders: such a commit is refused before anything is written.
TEST(CrashSafety, ACommitOverTwoFoldersIsRefusedWhole) {
  ScratchFolder dir;
  std::filesystem::create_directories(dir.File("sub"));
  Build(dir.Path());
  Build(dir.File("sub"));
  const auto a = testing::ReadAll(dir.File("A.QND"));
  const auto b = testing::ReadAll(dir.File("sub/B.QND"));
  {
    TqnBufferManager bm;
    TqnFileInfo* files[2] = {QNAllocFileInfo(dir.File("sub/B"), "QND", &bm), QNAllocFileInfo(dir.File("A"), "QND", &bm)};
    for (TqnFileInfo* f : files) {
      QNOpenFile(f, true, false, false, false);
      f->TransactionId = 60;
    }
    bm.StartTransaction(60, false, "");
    for (TqnFileInfo* f : files) Fill(bm.GetBlock(f, 3, true), kNew);
    EXPECT_EQ(testing::ErrorOf([&] { bm.Commit(60); }), 23650);
    bm.Rollback(60);
    for (TqnFileInfo* f : files) QNFreeFileInfo(f);
  }
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND")), a);
  EXPECT_EQ(testing::ReadAll(dir.File("sub/B.QND")), b);
  NoJournalLeft(dir, "two folders");
}

// A complete journal holding one image of Block for each of Paths, the bytes filled with Fill.
std::vector<std::uint8_t> CompleteJournal(const std::vector<std::string>& Paths, std::int32_t Block,
                                          std::int32_t Size, std::uint8_t FillByte) {
  std::vector<std::uint8_t> j(8, 0);
  std::memcpy(j.data(), "JQNH", 4);
  QNPutU32(j.data() + 4, 1);
  for (const std::string& p : Paths) {
    std::vector<std::uint8_t> rec(276 + static_cast<std::size_t>(Size), FillByte);
    std::memset(rec.data(), 0, 276);
    std::memcpy(rec.data(), "JFRH", 4);
    QNPutI32(rec.data() + 4, Block);
    QNPutI32(rec.data() + 8, Size);
    const std::string abs = QNJournalPath(p);
    std::memcpy(rec.data() + 16, abs.data(), abs.size());
    j.insert(j.end(), rec.begin(), rec.end());
  }
  return j;
}

// A journal is a file on disk: its paths may name anything.  It belongs to the folder where it
// lies, and its images go to the files of their names in that folder, and only to table files
// of the image's block size; otherwise it is left in place and nothing at all is written.
TEST(Journal, ImagesNeverReachFilesThatAreNoTablesOfTheJournalsFolder) {
  ScratchFolder dir;
  ScratchFolder elsewhere;
  Build(dir.Path());
  // A real table in another folder: only the folder keeps it out of reach.
  const std::vector<std::uint8_t> outside = testing::ReadAll(dir.File("A.QND"));
  const std::vector<std::uint8_t> notes(5000, 'n');
  testing::WriteAll(elsewhere.File("victim.QND"), outside);
  testing::WriteAll(dir.File("notes.txt"), notes);
  const auto tableB = testing::ReadAll(dir.File("B.QND"));
  struct Case {
    std::vector<std::string> paths;
    std::int32_t size;
    TqnRecovery result;
  };
  const Case cases[] = {
      // A file of another folder: taken as the file of its name here, which has none.
      {{elsewhere.File("victim.QND")}, 4096, TqnRecovery::Replayed},
      {{dir.File("sub/../../" + elsewhere.Path().substr(elsewhere.Path().rfind('/') + 1) + "/victim.QND")}, 4096,
       TqnRecovery::Replayed},
      {{dir.File("notes.txt")}, 4096, TqnRecovery::Blocked},                          // no table file
      {{dir.File("B.QND")}, 8192, TqnRecovery::Blocked},                              // another block size
  };
  for (const Case& c : cases) {
    testing::WriteAll(dir.File("X.QN$"), CompleteJournal(c.paths, 1, c.size, 0x55));
    EXPECT_EQ(QNRecoverJournal(dir.File("X.QN$"), QNPosixFileRoutines()), c.result);
    EXPECT_EQ(SizeOf(dir.File("X.QN$")) > 8, c.result == TqnRecovery::Blocked);
    EXPECT_EQ(testing::ReadAll(elsewhere.File("victim.QND")), outside);
    EXPECT_EQ(testing::ReadAll(dir.File("notes.txt")), notes);
    EXPECT_EQ(testing::ReadAll(dir.File("B.QND")), tableB);
  }
  // A table that the blocked journal does not name still opens; one it names is refused.
  TableFixture a;
  a.Open(dir.File("A"));
  TableFixture b;
  EXPECT_EQ(testing::ErrorOf([&] { b.Open(dir.File("B")); }), 23549);
  a.Close();
  // A transaction whose folder was renamed while it ran names the folder by two paths: every
  // image goes to the file of its name here.
  std::filesystem::remove(dir.File("X.QN$"));
  testing::WriteAll(dir.File("Y.QN$"), CompleteJournal({dir.File("B.QND"), elsewhere.File("B.QND")}, 1, 4096, 0x55));
  EXPECT_EQ(QNRecoverJournal(dir.File("Y.QN$"), QNPosixFileRoutines()), TqnRecovery::Replayed);
  const auto replayed = testing::ReadAll(dir.File("B.QND"));
  ASSERT_GE(replayed.size(), 8192u);
  EXPECT_EQ(std::count(replayed.begin() + 4096, replayed.begin() + 8192, 0x55), 4096);
  EXPECT_EQ(testing::ReadAll(elsewhere.File("victim.QND")), outside);
}

// A journal in State with one image (After: an after-image, else a before-image) of block 3 of
// B, filled with 0x44.
void WriteJournalOfB(const ScratchFolder& dir, const std::string& Name, std::uint32_t State, bool After) {
  std::vector<std::uint8_t> j(8 + 276 + 4096, 0);
  std::memcpy(j.data(), "JQNH", 4);
  QNPutU32(j.data() + 4, State);
  std::memcpy(j.data() + 8, "JFRH", 4);
  QNPutI32(j.data() + 12, 3);
  QNPutI32(j.data() + 16, 4096);
  QNPutU32(j.data() + 20, After ? 0 : 1);
  const std::string path = QNJournalPath(dir.File("B.QND"));
  std::memcpy(j.data() + 24, path.data(), path.size());
  auto block = testing::ReadAll(dir.File("B.QND"));
  std::copy(block.begin() + 3 * 4096, block.begin() + 4 * 4096, j.begin() + 8 + 276);
  std::memset(j.data() + 8 + 276 + 32, 0x44, 4096 - 32);
  testing::WriteAll(dir.File(Name), j);
}

TEST(Journal, CompleteJournalIsReplayedAtOpen) {
  ScratchFolder dir;
  Build(dir.Path());
  WriteJournalOfB(dir, "QNC1_1.QN$", 1, true);
  // Opening A recovers every journal of the folder, the one of B included.
  TableFixture t;
  t.Open(dir.File("A"));
  EXPECT_EQ(testing::ReadAll(dir.File("B.QND"))[3 * 4096 + 100], 0x44);
  EXPECT_EQ(SizeOf(dir.File("QNC1_1.QN$")), -1);
}

// A journal that recovery applied but could not delete is spent: it never undoes a later commit.
TEST(Journal, ARecoveredJournalThatCannotBeDeletedIsNeverAppliedAgain) {
  ScratchFolder dir;
  Build(dir.Path());
  WriteJournalOfB(dir, "1.QN$", 0, false);
  TqnFaultyFileRoutines faulty;
  faulty.Arm(TFault::FailWrite, 3);  // the image, the spent mark, the deletion
  EXPECT_EQ(QNRecoverJournal(dir.File("1.QN$"), faulty), TqnRecovery::RolledBack);
  EXPECT_TRUE(faulty.Fired());
  {
    TableFixture t;
    t.Open(dir.File("B"));
    t.Begin(7);
    Fill(t.bm.GetBlock(t.file, 3, true), 0x55);
    t.bm.Commit(7);
  }
  TableFixture t;
  t.Open(dir.File("B"));
  EXPECT_EQ(testing::ReadAll(dir.File("B.QND"))[3 * 4096 + 100], 0x55);
  EXPECT_EQ(SizeOf(dir.File("1.QN$")), -1);
}

}  // namespace
}  // namespace tw::dbengine

namespace tw::dbengine {
namespace {

using testing::ScratchFolder;
using testing::TableFixture;

// Journal names repeat from run to run (they come from ids): a journal that waits for
// recovery under the name a new fail-safe transaction asks for is neither emptied nor
// overwritten; the new journal takes a fresh name, and the waiting one is still replayed.
TEST(Journal, AWaitingJournalIsNeverTakenOver) {
  ScratchFolder dir;
  Build(dir.Path());
  {
    TableFixture t;
    t.Open(dir.File("A"));
    const auto waiting = CompleteJournal({dir.File("A.QND")}, 3, 4096, 0x55);
    testing::WriteAll(dir.File("7.QN$"), waiting);
    t.Begin(9, true, dir.File("7"));
    EXPECT_EQ(testing::ReadAll(dir.File("7.QN$")), waiting);
    EXPECT_EQ(SizeOf(dir.File("7-1.QN$")), 8);
    Fill(t.bm.GetBlock(t.file, 5, true), 0x33);
    t.bm.Commit(9);
    EXPECT_EQ(SizeOf(dir.File("7-1.QN$")), -1);
    EXPECT_EQ(testing::ReadAll(dir.File("7.QN$")), waiting);
  }
  TableFixture t;
  t.Open(dir.File("A"));
  EXPECT_EQ(t.bm.GetBlock(t.file, 3, false)[100], 0x55);
  EXPECT_EQ(t.bm.GetBlock(t.file, 5, false)[100], 0x33);
  EXPECT_EQ(SizeOf(dir.File("7.QN$")), -1);
}

// Recovery reads and writes only the table's own folder: journals in the folder above (which
// may be anybody's, a shared temporary folder) are neither deleted nor replayed, whatever
// tables they name.
TEST(Journal, RecoveryNeverLooksAboveTheTablesFolder) {
  ScratchFolder dir;
  std::filesystem::create_directories(dir.File("db"));
  Build(dir.File("db"));
  const auto table = testing::ReadAll(dir.File("db/A.QND"));
  testing::WriteAll(dir.File("short.QN$"), {'J', 'Q'});
  const auto foreign = CompleteJournal({dir.File("db/A.QND")}, 3, 4096, 0x66);
  testing::WriteAll(dir.File("foreign.QN$"), foreign);
  TableFixture t;
  t.Open(dir.File("db/A"));
  EXPECT_EQ(testing::ReadAll(dir.File("db/A.QND")), table);
  EXPECT_EQ(SizeOf(dir.File("short.QN$")), 2);
  EXPECT_EQ(testing::ReadAll(dir.File("foreign.QN$")), foreign);
  // Nor does a journal of the table's folder reach into a folder below it: its images name
  // files of its own folder.
  t.Close();
  std::filesystem::create_directories(dir.File("db/sub"));
  Build(dir.File("db/sub"));
  const auto below = testing::ReadAll(dir.File("db/sub/B.QND"));
  testing::WriteAll(dir.File("db/X.QN$"), CompleteJournal({dir.File("db/sub/B.QND")}, 3, 4096, 0x77));
  EXPECT_EQ(QNRecoverJournal(dir.File("db/X.QN$"), QNPosixFileRoutines()), TqnRecovery::Replayed);
  EXPECT_EQ(testing::ReadAll(dir.File("db/sub/B.QND")), below);
  EXPECT_EQ(testing::ReadAll(dir.File("db/B.QND"))[3 * 4096 + 100], 0x77);
}

// Early writes of a normal transaction are undone by rollback, and by recovery after a crash:
// its before-images are journaled before the first early write.
TEST(Journal, EarlyWritesOfANormalTransactionAreUndone) {
  ScratchFolder dir;
  Build(dir.Path());
  const auto before = testing::ReadAll(dir.File("A.QND"));
  {
    TableFixture t;
    t.Open(dir.File("A"));
    t.Begin(9);
    Fill(t.bm.GetBlock(t.file, 5, true), 0x33);
    std::int32_t b = 0;
    Fill(QNTblHlpGetNewBlock(t.file, t.Header(true), b), 0x33);
    t.bm.CommitChanges(9);
    Fill(t.bm.GetBlock(t.file, 6, true), 0x35);
    t.bm.CommitChanges(9);
    EXPECT_NE(testing::ReadAll(dir.File("A.QND")), before);
    t.bm.Rollback(9);
    const auto after = testing::ReadAll(dir.File("A.QND"));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));  // the appended block may stay
    EXPECT_EQ(t.Dword(qfhBlocksUsed), 2 + kBlocks);
    EXPECT_EQ(t.bm.GetBlock(t.file, 6, false)[100], kOld);
  }
  for (const std::string& n : dir.Names()) EXPECT_EQ(n.find(".QN$"), std::string::npos) << n;
}

std::vector<std::uint8_t> RenameJournal(const std::string& Steps) {
  std::vector<std::uint8_t> j(8, 0);
  std::memcpy(j.data(), "JQNS", 4);
  QNPutU32(j.data() + 4, static_cast<std::uint32_t>(Steps.size()));
  j.insert(j.end(), Steps.begin(), Steps.end());
  j.insert(j.end(), {'J', 'Q', 'N', 'E'});
  return j;
}

// A rename journal is finished by recovery when it is whole, and discarded unread when it was
// cut short (it is written before its first step runs).  Its steps name files of its own
// folder only: one that names anything else is never acted upon.
TEST(Journal, RenameJournalsAreFinishedOrDiscardedAndStayInTheirFolder) {
  ScratchFolder dir, elsewhere;
  Build(dir.Path());
  const auto a = testing::ReadAll(dir.File("A.QND"));
  const auto b = testing::ReadAll(dir.File("B.QND"));
  // Cut short: nothing happens.
  auto cut = RenameJournal("R\tB.QND\tA.QND\n");
  cut.resize(cut.size() - 3);
  testing::WriteAll(dir.File("A_R.QN$"), cut);
  EXPECT_EQ(QNRecoverJournal(dir.File("A_R.QN$"), QNPosixFileRoutines()), TqnRecovery::RolledBack);
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND")), a);
  EXPECT_EQ(testing::ReadAll(dir.File("B.QND")), b);
  EXPECT_EQ(SizeOf(dir.File("A_R.QN$")), -1);
  // Names outside the folder: the journal is not taken as one, nothing is renamed or deleted.
  testing::WriteAll(elsewhere.File("victim.txt"), {'v'});
  const std::string up = "../" + elsewhere.Path().substr(elsewhere.Path().rfind('/') + 1) + "/victim.txt";
  for (const std::string& steps : {"D\t" + up + "\n", "R\tB.QND\t" + up + "\n", "D\t" + elsewhere.File("victim.txt") + "\n"}) {
    testing::WriteAll(dir.File("A_R.QN$"), RenameJournal(steps));
    QNRecoverJournal(dir.File("A_R.QN$"), QNPosixFileRoutines());
    EXPECT_EQ(testing::ReadAll(elsewhere.File("victim.txt")), std::vector<std::uint8_t>{'v'}) << steps;
    EXPECT_EQ(testing::ReadAll(dir.File("B.QND")), b) << steps;
  }
  // Whole: the steps whose file is still there run, once.
  testing::WriteAll(dir.File("A_R.QN$"), RenameJournal("R\tB.QND\tA.QND\n"));
  TableFixture t;
  t.Open(dir.File("A"));  // opening a table of the folder recovers first
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND")), b);
  EXPECT_EQ(SizeOf(dir.File("B.QND")), -1);
  EXPECT_EQ(SizeOf(dir.File("A_R.QN$")), -1);
}

// A temporary table goes with its mark once nobody holds the mark, and only then; never while
// a rename journal that may still put it in another's place waits; a mark that names another
// table than its own name says, or is cut short, takes nothing with it.
TEST(Journal, ATemporaryTableGoesWithItsMarkOnceNobodyHoldsIt) {
  ScratchFolder dir;
  Build(dir.Path());
  const auto a = testing::ReadAll(dir.File("A.QND"));
  const auto b = testing::ReadAll(dir.File("B.QND"));
  testing::WriteAll(dir.File("B.txt"), {'k'});
  {
    TqnTemporaryTableMark mark(dir.Path(), "B", QNPosixFileRoutines());
    EXPECT_EQ(mark.Name(), dir.File("B_T.QN$"));
    QNRecoverJournals(dir.Path(), QNPosixFileRoutines());
    EXPECT_EQ(testing::ReadAll(dir.File("B.QND")), b) << "held by its maker";
  }
  // The maker ended while its table stands: the mark stays for recovery.
  EXPECT_GT(SizeOf(dir.File("B_T.QN$")), 0);
  // A rename journal that waits may yet put the copy in another table's place.
  testing::WriteAll(dir.File("A_R.QN$"), RenameJournal("R\tB.QND\tA.QND\n"));
  QNRecoverTemporaryTables(dir.Path(), QNPosixFileRoutines());
  EXPECT_EQ(testing::ReadAll(dir.File("B.QND")), b);
  std::filesystem::remove(dir.File("A_R.QN$"));
  TableFixture t;
  t.Open(dir.File("A"));  // opening a table of the folder recovers first
  t.Close();
  EXPECT_EQ(SizeOf(dir.File("B.QND")), -1);
  EXPECT_EQ(SizeOf(dir.File("B_T.QN$")), -1);
  EXPECT_EQ(testing::ReadAll(dir.File("B.txt")), std::vector<std::uint8_t>{'k'});
  // A mark whose name does not agree with the table it names, and one cut short: only the
  // mark goes.
  testing::WriteAll(dir.File("C_T.QN$"), {'J', 'Q', 'N', 'T', 1, 0, 0, 0, 'A', 'J', 'Q', 'N', 'E'});
  testing::WriteAll(dir.File("A_T.QN$"), {'J', 'Q', 'N', 'T', 1, 0, 0, 0, 'A', 'J'});
  QNRecoverJournals(dir.Path(), QNPosixFileRoutines());
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND")), a);
  EXPECT_EQ(SizeOf(dir.File("C_T.QN$")), -1);
  EXPECT_EQ(SizeOf(dir.File("A_T.QN$")), -1);
}

// Replacing a table's files: the target takes the source's contents under its own name, the
// source is gone, and nothing else of the folder changes.
TEST(Journal, ReplacingATableLeavesOnlyTheNewTable) {
  ScratchFolder dir;
  Build(dir.Path());
  const auto b = testing::ReadAll(dir.File("B.QND"));
  testing::WriteAll(dir.File("A.txt"), {'k'});
  QNReplaceTableFiles(dir.Path(), "A", "B", QNPosixFileRoutines());
  EXPECT_EQ(testing::ReadAll(dir.File("A.QND")), b);
  EXPECT_EQ(SizeOf(dir.File("B.QND")), -1);
  EXPECT_EQ(testing::ReadAll(dir.File("A.txt")), std::vector<std::uint8_t>{'k'});
  // Into a name that has no table yet: a rename.
  QNReplaceTableFiles(dir.Path(), "C", "A", QNPosixFileRoutines());
  EXPECT_EQ(testing::ReadAll(dir.File("C.QND")), b);
  std::vector<std::string> names = dir.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A.txt", "C.QND"}));
  // With the source's files named by the caller, a file of the same base name that is not
  // among them stays where it is, even when it looks like a table file.
  testing::WriteAll(dir.File("C.QNB"), b);
  const std::vector<std::string> own = {"C.QND"};
  QNReplaceTableFiles(dir.Path(), "D", "C", QNPosixFileRoutines(), &own);
  names = dir.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A.txt", "C.QNB", "D.QND"}));
}

}  // namespace
}  // namespace tw::dbengine
