// A real table across a crash: one transaction inserts records with their keys and BLOBs into
// deep B-trees and deletes others, through a cache far smaller than its changes, while the Nth
// write fails or the process stops there.  After reopening with the real file routines the
// table must be sound (the table checker finds nothing) and hold exactly the records, keys and
// BLOB contents of before the transaction or of after it, never a mix.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <cstring>
#include <set>

#include "blocks_test_util.h"
#include "dbengine/storage/faulty_file_routines.h"

namespace tw::dbengine::testing {
namespace {

using TFault = TqnFaultyFileRoutines::TFault;

constexpr int kBaseRecords = 50;

void BuildDictionary(TqnDataDictionary& d) {
  d.AddField("ID", "", qftInt32, 0, 0, true);
  d.AddField("NAME", "", qftZString, 900, 0, false);  // long keys: nodes of 3 keys, deep trees
  d.AddField("MEMO", "", qftBlobMemo, 0, 0, false);
  d.AddIndex("BYNAME", "", 0, {1, 0}, true, false, true);
  d.AddIndex("BYID", "", 0, {0}, false, true, false);
}

std::string BlobText(std::int32_t id) {
  std::string s;
  for (int i = 0; static_cast<int>(s.size()) < 300 + (id * 997) % 5000; ++i) s += std::to_string(id * 31 + i) + ",";
  return s;
}

// The table open in one buffer manager, with the file routines that were installed when it
// was opened.
struct OpenTable {
  // Shared: a buffer manager that other tables use too (else the table has its own).
  explicit OpenTable(const std::string& base, int cachePages = 0, TqnBufferManager* shared = nullptr)
      : bm(shared != nullptr ? *shared : ownBm) {
    if (cachePages > 0) bm.SetMaxPageCount(cachePages);
    file = QNAllocFileInfo(base, "QND", &bm);
    QNOpenFile(file, true, false, false, false);
    QNTblReadDictionary(dict, file);
    for (int i = 0; i < dict.IndexCount(); ++i) handles.push_back(QNMakeIndexHandle(file, dict, i));
  }
  ~OpenTable() {
    bm.RemoveFile(file);
    QNFreeFileInfo(file);
  }

  void Insert(std::int32_t id, std::mt19937& rng) {
    std::vector<std::uint8_t> rec(static_cast<std::size_t>(dict.RecordLength()));
    dict.InitRecord(rec.data());
    dict.SetRecordField(0, rec.data(), reinterpret_cast<const std::uint8_t*>(&id));
    std::vector<std::uint8_t> name(static_cast<std::size_t>(dict.FieldLength(1)));
    const std::string text = std::string(1, static_cast<char>('a' + rng() % 5)) + std::string(rng() % 800, 'x');
    std::copy(text.begin(), text.end(), name.begin());
    dict.SetRecordField(1, rec.data(), name.data());
    if (id % 3 != 0) {
      std::int32_t blob = 0;
      QNTblAddBLOB(file, blob);
      const std::string body = BlobText(id);
      QNTblWriteBLOB(file, blob, 0, static_cast<std::int32_t>(body.size()), reinterpret_cast<const std::uint8_t*>(body.data()));
      dict.SetRecordField(2, rec.data(), reinterpret_cast<const std::uint8_t*>(&blob));
    }
    std::int32_t ref = 0;
    QNTblAddRecord(file, ref, rec.data());
    for (int i = 0; i < dict.IndexCount(); ++i) {
      std::vector<std::uint8_t> key(static_cast<std::size_t>(dict.IndexKeyLength(i)));
      if (i > 0) dict.ExtractKey(i, rec.data(), key.data());
      ASSERT_TRUE(QNTblAddKey(handles[static_cast<std::size_t>(i)], ref, key.data()));
    }
  }

  void Remove(std::int32_t ref) {
    std::vector<std::uint8_t> rec(static_cast<std::size_t>(dict.RecordLength()));
    QNTblReadRecord(file, ref, rec.data());
    for (int i = 0; i < dict.IndexCount(); ++i) {
      std::vector<std::uint8_t> key(static_cast<std::size_t>(dict.IndexKeyLength(i)));
      if (i > 0) dict.ExtractKey(i, rec.data(), key.data());
      ASSERT_TRUE(QNTblDeleteKey(handles[static_cast<std::size_t>(i)], ref, key.data()));
    }
    if (!dict.IsRecordFieldNull(2, rec.data())) QNTblDeleteBLOB(file, QNGetI32(rec.data() + dict.FieldOffset(2)));
    QNTblDeleteRecord(file, ref);
  }

  // Every record in index order of BYNAME with its BLOB's text, and the checker's faults.
  std::string State() {
    TqnBufferManager::TRequest request(bm);
    std::string out;
    TqnKeyPath path;
    QNInitKeyPath(path);
    std::int32_t ref = 0;
    std::vector<std::uint8_t> rec(static_cast<std::size_t>(dict.RecordLength()));
    while (QNTblNextKey(handles[1], ref, nullptr, path)) {
      QNTblReadRecord(file, ref, rec.data());
      const char* name = reinterpret_cast<const char*>(rec.data() + dict.FieldOffset(1));
      out += std::to_string(ref) + ":" + std::to_string(QNGetI32(rec.data())) + ":" + name[0] +
             std::to_string(std::strlen(name));
      if (!dict.IsRecordFieldNull(2, rec.data())) {
        const std::int32_t blob = QNGetI32(rec.data() + dict.FieldOffset(2));
        int error = 0;
        std::string body(static_cast<std::size_t>(QNTblGetBLOBLength(file, blob, error)), '\0');
        std::int32_t read = 0;
        QNTblReadBLOB(file, blob, 0, error, read, reinterpret_cast<std::uint8_t*>(body.data()),
                      static_cast<std::int32_t>(body.size()));
        out += body == BlobText(QNGetI32(rec.data())) ? "=blob" : "=WRONG BLOB";
      }
      out += "\n";
    }
    return out;
  }

  TqnBufferManager ownBm;
  TqnBufferManager& bm;
  TqnFileInfo* file = nullptr;
  TqnDataDictionary dict;
  std::vector<TqnIndexHandle> handles;
};

// Change I of the transaction: an insert, or every third time the deletion of a record.
void ChangeStep(OpenTable& t, int i, std::mt19937& rng) {
  if (i % 3 == 2) {
    // The Kth live record in physical order.
    std::int32_t ref = 0, next = 0;
    for (unsigned k = rng() % 30; QNTblNextRecord(t.file, ref, next, nullptr) && k > 0; --k) ref = next;
    if (ref != 0) t.Remove(ref);
  } else {
    t.Insert(1000 + i, rng);
  }
}

// The transaction: inserts and deletes enough to split and merge nodes on every level.
void Change(OpenTable& t, std::uint32_t seed = 77) {
  std::mt19937 rng(seed);
  for (int i = 0; i < 24; ++i) {
    TqnBufferManager::TRequest request(t.bm);
    ChangeStep(t, i, rng);
  }
}

// The same changes, each in a request with a savepoint: a request that fails (or is named in
// PutBack) is put back to its savepoint and the transaction goes on.  Returns the requests put
// back.
std::set<int> ChangeInRequests(OpenTable& t, const std::set<int>& PutBack = {}) {
  std::set<int> putBack;
  std::mt19937 rng(77);
  for (int i = 0; i < 24; ++i) {
    TqnBufferManager::TRequest request(t.bm);
    t.bm.BeginSavepoint();
    bool failed = false;
    try {
      ChangeStep(t, i, rng);
    } catch (const EqnException&) {
      failed = true;
    }
    if (failed || PutBack.count(i) != 0) {
      t.bm.RollbackToSavepoint();
      putBack.insert(i);
    } else {
      t.bm.EndSavepoint();
    }
  }
  return putBack;
}

class TableCrash : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      IndexedTable t(base, BuildDictionary);
      (void)t;
    }
    OpenTable t(base.File("T"));
    t.file->TransactionId = 1;
    t.bm.StartTransaction(1, false, "");
    std::mt19937 rng(5);
    for (int i = 0; i < kBaseRecords; ++i) {
      TqnBufferManager::TRequest request(t.bm);
      t.Insert(i, rng);
    }
    t.bm.Commit(1);
    t.file->TransactionId = 0;
    before = t.State();
    const TqnIndexInfo info = QNTblGetIndexInfo(t.file, 1);
    EXPECT_GE(t.bm.GetBlock(t.file, info.Root, false)[14], 3);  // the tree has three levels or more
  }

  // Runs the transaction with the Nth write faulty in a copy of the table; true when the fault
  // fired.  Leaves the copy in Folder.
  bool Run(const ScratchFolder& folder, TFault fault, int n, bool failSafe, bool rollBack = false) {
    for (const std::string& name : base.Names()) std::filesystem::copy_file(base.File(name), folder.File(name));
    TqnFaultyFileRoutines faulty;
    TqnFileRoutines* previous = QNInstallFileAccessTable(&faulty);
    auto t = std::make_unique<OpenTable>(folder.File("T"), 6);
    QNInstallFileAccessTable(previous);
    faulty.Arm(fault, n);
    const std::uint32_t id = 9;
    try {
      t->file->TransactionId = id;
      t->bm.StartTransaction(id, failSafe, folder.File("9"));
      Change(*t);
      EXPECT_GT(t->bm.Spills(), 0u);
      if (rollBack)
        t->bm.Rollback(id);
      else
        t->bm.Commit(id);
    } catch (const EqnSimulatedStop&) {
      // Nothing more reaches the disk.
    } catch (const EqnException&) {
      try {
        t->bm.Rollback(id);
      } catch (const EqnSimulatedStop&) {
      } catch (const EqnException&) {
        // The server gives the transaction up; the next open puts the table right.
      }
    }
    t.reset();
    return faulty.Fired();
  }

  void CrashAtEveryWrite(TFault fault, bool failSafe, int atLeast = 20, bool rollBack = false) {
    std::string after;
    {
      ScratchFolder folder;
      EXPECT_FALSE(Run(folder, TFault::None, 1, failSafe, rollBack));
      after = OpenTable(folder.File("T")).State();
    }
    ASSERT_EQ(after == before, rollBack);
    bool sawBefore = false, sawAfter = false;
    int n = 1;
    for (; n < 3000; ++n) {
      ScratchFolder folder;
      const bool fired = Run(folder, fault, n, failSafe, rollBack);
      const std::string label = "write " + std::to_string(n);
      {
        OpenTable t(folder.File("T"));
        const auto faults = QNCheckTable({t.file}, t.dict);
        ASSERT_TRUE(faults.empty()) << label << ":\n" << Faults(faults);
        const std::string state = t.State();
        ASSERT_TRUE(state == before || state == after) << label << ": the table holds part of the transaction";
        (state == before ? sawBefore : sawAfter) = true;
        if (!fired) {
          EXPECT_EQ(state, after) << label;
        }
      }
      for (const std::string& name : folder.Names()) EXPECT_EQ(name.find(".QN$"), std::string::npos) << label << " " << name;
      if (!fired || HasFailure()) break;
    }
    EXPECT_GT(n, atLeast);
    EXPECT_TRUE(sawBefore);
    EXPECT_TRUE(sawAfter || rollBack);
  }

  // A copy of the table opened through Faulty (when given) with a cache of six pages.
  std::unique_ptr<OpenTable> OpenCopy(const ScratchFolder& folder, TqnFaultyFileRoutines* faulty) {
    for (const std::string& name : base.Names()) std::filesystem::copy_file(base.File(name), folder.File(name));
    TqnFileRoutines* previous = faulty != nullptr ? QNInstallFileAccessTable(faulty) : nullptr;
    auto t = std::make_unique<OpenTable>(folder.File("T"), 6);
    if (faulty != nullptr) QNInstallFileAccessTable(previous);
    return t;
  }

  void PutBackAtWrites(TFault fault, bool failSafe, int atLeast);

  ScratchFolder base;
  std::string before;
};

// The Nth write of a long transaction fails inside a request: that request is put back to its
// savepoint, the transaction goes on and commits, and the table then holds every other request
// and nothing of the failed one; or the commit fails and the table is as before.
TEST_F(TableCrash, ARequestWhoseWriteFailsIsPutBackAndTheTransactionGoesOn) {
  PutBackAtWrites(TFault::FailWrite, false, 5);
}
// A full disk refuses the journal's before-images too.
TEST_F(TableCrash, ARequestThatFindsTheDiskFullIsPutBackAndTheFailSafeTransactionGoesOn) {
  PutBackAtWrites(TFault::DiskFull, true, 0);
}

void TableCrash::PutBackAtWrites(TFault fault, bool failSafe, int atLeast) {
  int sawPutBack = 0;
  // Every third write: the writes of one kind come in runs.
  for (int n = 1; n < 400; n += 3) {
    const std::string label = "write " + std::to_string(n);
    ScratchFolder folder;
    TqnFaultyFileRoutines faulty;
    std::set<int> putBack;
    bool committed = false;
    {
      auto t = OpenCopy(folder, &faulty);
      faulty.Arm(fault, n);
      t->file->TransactionId = 9;
      try {
        // A fail-safe transaction starts its journal here, which may fail in turn.
        t->bm.StartTransaction(9, failSafe, folder.File("9"));
      } catch (const EqnException&) {
        continue;
      }
      putBack = ChangeInRequests(*t);
      try {
        t->bm.Commit(9);
        committed = true;
      } catch (const EqnException&) {
        // A commit that failed after it was decided is done (the server answers so).
        committed = t->bm.IsDecided(9);
        if (!committed) t->bm.Rollback(9);
      }
    }
    std::string expected = before;
    if (committed) {
      ScratchFolder replay;
      auto t = OpenCopy(replay, nullptr);
      t->file->TransactionId = 9;
      t->bm.StartTransaction(9, false, "");
      EXPECT_EQ(ChangeInRequests(*t, putBack), putBack) << label;
      t->bm.Commit(9);
      t.reset();
      expected = OpenTable(replay.File("T")).State();
    }
    OpenTable t(folder.File("T"));
    const auto faults = QNCheckTable({t.file}, t.dict);
    ASSERT_TRUE(faults.empty()) << label << ":\n" << Faults(faults);
    ASSERT_EQ(t.State(), expected) << label << (committed ? ", committed" : ", rolled back");
    if (committed && !putBack.empty()) ++sawPutBack;
    if (!faulty.Fired()) break;
  }
  EXPECT_GT(sawPutBack, atLeast);
}

TEST_F(TableCrash, AStopAtAnyWriteLeavesTheTableBeforeOrAfterTheTransaction) { CrashAtEveryWrite(TFault::Stop, false); }
TEST_F(TableCrash, AFailedWriteLeavesTheTableBeforeOrAfterTheTransaction) { CrashAtEveryWrite(TFault::FailWrite, false); }
TEST_F(TableCrash, ATornWriteOfAFailSafeTransactionLeavesTheTableBeforeOrAfterIt) {
  CrashAtEveryWrite(TFault::StopTorn, true);
}
TEST_F(TableCrash, AStopWhileARollbackUndoesEarlyWritesLeavesTheTableAsBefore) {
  CrashAtEveryWrite(TFault::StopTorn, false, 20, true);
}
TEST_F(TableCrash, AFlushThatLosesItsWritesLeavesTheTableBeforeOrAfterTheTransaction) {
  CrashAtEveryWrite(TFault::LosingFlush, true, 10);
}

}  // namespace
}  // namespace tw::dbengine::testing

namespace tw::dbengine::testing {
namespace {

// Two transactions of two clients on two tables through one small cache, their requests
// interleaved: the cache writes either one's changes early to make room for the other.  Each
// table then holds its own transaction exactly when that one committed.
TEST_F(TableCrash, TwoTransactionsSharingASmallCacheEndEachOnItsOwn) {
  for (int ending = 0; ending < 4; ++ending) {
    ScratchFolder folder;
    for (const char* name : {"A", "B"}) std::filesystem::copy_file(base.File("T.QND"), folder.File(std::string(name) + ".QND"));
    const bool commitA = (ending & 1) != 0, commitB = (ending & 2) != 0;
    {
      TqnBufferManager bm;
      OpenTable a(folder.File("A"), 6, &bm);
      OpenTable b(folder.File("B"), 6, &bm);
      a.file->TransactionId = 11;
      bm.StartTransaction(11, false, "");
      b.file->TransactionId = 12;
      bm.StartTransaction(12, false, "");
      std::mt19937 rngA(77), rngB(78);
      for (int i = 0; i < 24; ++i) {
        for (OpenTable* t : {&a, &b}) {
          std::mt19937& rng = t == &a ? rngA : rngB;
          TqnBufferManager::TRequest request(bm);
          ChangeStep(*t, i, rng);
        }
      }
      EXPECT_GT(bm.Spills(), 0u);
      if (commitA) bm.Commit(11); else bm.Rollback(11);
      if (commitB) bm.Commit(12); else bm.Rollback(12);
    }
    for (const char* name : {"A", "B"}) {
      // The same changes alone, for the expected state.
      std::string expected = before;
      const bool isA = name[0] == 'A';
      if (isA ? commitA : commitB) {
        ScratchFolder alone;
        std::filesystem::copy_file(base.File("T.QND"), alone.File("T.QND"));
        {
          OpenTable t(alone.File("T"), 6);
          t.file->TransactionId = 5;
          t.bm.StartTransaction(5, false, "");
          Change(t, isA ? 77 : 78);
          t.bm.Commit(5);
        }
        expected = OpenTable(alone.File("T")).State();
      }
      OpenTable t(folder.File(name));
      const auto faults = QNCheckTable({t.file}, t.dict);
      ASSERT_TRUE(faults.empty()) << name << " ending " << ending << ":\n" << Faults(faults);
      EXPECT_EQ(t.State(), expected) << name << " ending " << ending;
    }
  }
}

}  // namespace
}  // namespace tw::dbengine::testing
