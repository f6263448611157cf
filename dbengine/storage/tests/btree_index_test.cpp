// B-tree indexes: node capacities, duplicates, the search actions at the edges, walking from
// every state, clearing and deleting indexes inside a transaction.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "blocks_test_util.h"
#include "dbengine/storage/block_access.h"

namespace tw::dbengine::testing {
namespace {

void IntIndexes(TqnDataDictionary& d) {
  d.AddField("ID", "", qftInt32, 0, 0, false);
  d.AddField("GROUP", "", qftInt32, 0, 0, false);
  d.AddIndex("BYID", "", 0, {0}, false, true, false);
  d.AddIndex("BYGROUP", "", 0, {1}, true, true, false);
}

class Indexes : public ::testing::Test {
 protected:
  Indexes() : t(folder, IntIndexes) {}
  std::int32_t Add(std::int32_t id, std::int32_t group) {
    auto r = t.NewRecord();
    t.dict.SetRecordField(0, r.data(), reinterpret_cast<const std::uint8_t*>(&id));
    t.dict.SetRecordField(1, r.data(), reinterpret_cast<const std::uint8_t*>(&group));
    return t.Insert(r);
  }
  std::vector<std::uint8_t> IdKey(std::int32_t id) {
    auto r = t.NewRecord();
    t.dict.SetRecordField(0, r.data(), reinterpret_cast<const std::uint8_t*>(&id));
    return t.KeyOf(1, r);
  }
  std::vector<std::uint8_t> GroupKey(std::int32_t g) {
    auto r = t.NewRecord();
    t.dict.SetRecordField(1, r.data(), reinterpret_cast<const std::uint8_t*>(&g));
    return t.KeyOf(2, r);
  }
  ScratchFolder folder;
  IndexedTable t;
};

TEST(IndexCapacity, NodesHoldAnOddNumberOfKeys) {
  EXPECT_EQ(QNIndexNodeCapacity(4096, 12, true, false), 253);
  EXPECT_EQ(QNIndexNodeCapacity(4096, 12, false, false), 203);
  EXPECT_EQ(QNIndexNodeCapacity(4096, 4, true, true), 1015);
  EXPECT_EQ(QNIndexNodeCapacity(4096, 1024, true, false), 3);
}

TEST_F(Indexes, UniqueIndexesRefuseAKeyTwiceAndDuplicatesOrderByReference) {
  t.Begin();
  const std::int32_t a = Add(1, 5);
  EXPECT_EQ(Add(1, 6), -1);
  const std::int32_t b = Add(2, 5);
  EXPECT_FALSE(QNTblAddKey(t.handles[2], b, GroupKey(5).data()));  // the same key and reference
  t.Commit();
  TqnKeyPath path;
  std::int32_t ref = 0;
  ASSERT_TRUE(QNTblFindKey(t.handles[2], ref, GroupKey(5).data(), kQnFindEqual, path));
  EXPECT_EQ(ref, std::min(a, b));  // the first of the equal keys
  ASSERT_TRUE(QNTblNextKey(t.handles[2], ref, nullptr, path));
  EXPECT_EQ(ref, std::max(a, b));
  EXPECT_FALSE(QNTblNextKey(t.handles[2], ref, nullptr, path));
  EXPECT_EQ(path.State, kpsEOF);
  EXPECT_FALSE(QNTblNextKey(t.handles[2], ref, nullptr, path));
  EXPECT_TRUE(t.Check().empty()) << Faults(t.Check());
}

TEST_F(Indexes, SearchesAtTheEdgesOfTheIndex) {
  TqnKeyPath path;
  std::int32_t ref = 0;
  EXPECT_FALSE(QNTblFindKey(t.handles[1], ref, IdKey(1).data(), kQnFindGreaterOrEqual, path));
  EXPECT_EQ(path.State, kpsBOF);
  t.Begin();
  for (int i = 0; i < 2000; i += 2) Add(i, i % 7);
  t.Commit();
  ref = 0;
  EXPECT_TRUE(QNTblFindKey(t.handles[1], ref, IdKey(5000).data(), kQnFindGreater, path));
  EXPECT_EQ(path.State, kpsEOF);
  EXPECT_TRUE(QNTblFindKey(t.handles[1], ref, IdKey(5000).data(), kQnFindGreaterOrEqual, path));
  EXPECT_EQ(path.State, kpsEOF);
  EXPECT_FALSE(QNTblFindKey(t.handles[1], ref, IdKey(5).data(), kQnFindEqual, path));
  EXPECT_EQ(path.State, kpsUnpositioned);
  std::vector<std::uint8_t> key(static_cast<std::size_t>(t.dict.IndexKeyLength(1)));
  ASSERT_TRUE(QNTblFindKey(t.handles[1], ref, IdKey(5).data(), kQnFindGreaterOrEqual, path));
  ASSERT_TRUE(QNTblPrevKey(t.handles[1], ref, key.data(), path));
  EXPECT_EQ(key, IdKey(4));
  ASSERT_TRUE(QNTblFindKey(t.handles[1], ref, IdKey(6).data(), kQnFindGreater, path));
  ASSERT_TRUE(QNTblPrevKey(t.handles[1], ref, key.data(), path));
  EXPECT_EQ(key, IdKey(6));
  ASSERT_TRUE(QNTblFindKey(t.handles[1], ref, IdKey(-1).data(), kQnFindGreater, path));
  EXPECT_FALSE(QNTblPrevKey(t.handles[1], ref, key.data(), path));
  EXPECT_EQ(path.State, kpsBOF);
  ASSERT_TRUE(QNTblNextKey(t.handles[1], ref, key.data(), path));
  EXPECT_EQ(key, IdKey(0));
  // From EOF a backward walk starts at the last key.
  QNSetEOF(path);
  ASSERT_TRUE(QNTblPrevKey(t.handles[1], ref, key.data(), path));
  EXPECT_EQ(key, IdKey(1998));
}

TEST_F(Indexes, ClearingALargeIndexStaysInsideTheTransaction) {
  t.Begin();
  for (int i = 0; i < 25000; ++i) Add(i, i % 3);
  t.Commit();
  const TqnIndexInfo before = QNTblGetIndexInfo(t.fx.file, 1);
  ASSERT_GT(before.NodeCount, 50);
  const auto committed = ReadAll(t.fx.file->Name);
  t.Begin();
  QNTblClearIndex(t.fx.file, 1);
  EXPECT_EQ(QNTblGetIndexInfo(t.fx.file, 1).Root, -1);
  // Nothing reached the file before the end of the transaction.
  EXPECT_EQ(ReadAll(t.fx.file->Name), committed);
  t.Rollback();
  const TqnIndexInfo after = QNTblGetIndexInfo(t.fx.file, 1);
  EXPECT_EQ(after.Root, before.Root);
  EXPECT_EQ(after.KeyCount, 25000);
  EXPECT_TRUE(t.Check().empty()) << Faults(t.Check());
}

TEST_F(Indexes, DeletingAnIndexFreesItsNodesAndMovesTheOthersDown) {
  t.Begin();
  for (int i = 0; i < 500; ++i) Add(i, i % 3);
  const TqnIndexInfo groups = QNTblGetIndexInfo(t.fx.file, 2);
  const std::int32_t freed = t.fx.Dword(qfhFreedCount);
  const std::int32_t nodes = QNTblGetIndexInfo(t.fx.file, 1).NodeCount;
  QNTblDeleteIndex(t.fx.file, 1);
  EXPECT_EQ(t.fx.Dword(qfhFreedCount), freed + nodes);
  const TqnIndexInfo moved = QNTblGetIndexInfo(t.fx.file, 1);
  EXPECT_EQ(moved.Root, groups.Root);
  EXPECT_EQ(moved.KeyCount, 500);
  EXPECT_EQ(moved.Flags, kQnIndexAllowDups);
  EXPECT_EQ(QNTblGetIndexInfo(t.fx.file, 255).Root, -1);
  EXPECT_EQ(ErrorOf([&] { QNTblGetIndexInfo(t.fx.file, 256); }), qnerrIndexOutOfRange);
  // The moved index is used under its new number: keys added and removed, walked in order.
  TqnIndexHandle moved1 = t.handles[2];
  moved1.Index = 1;
  for (std::int32_t i = 0; i < 300; ++i) {
    const std::int32_t ref = 1000000 + i * 16;
    const std::int32_t group = i % 5;
    std::uint8_t k[5] = {};  // the group and its null byte (not null)
    std::memcpy(k, &group, 4);
    EXPECT_TRUE(QNTblAddKey(moved1, ref, k));
    if (i % 2 == 0) {
      EXPECT_TRUE(QNTblDeleteKey(moved1, ref, k));
    }
  }
  EXPECT_EQ(QNTblGetIndexInfo(t.fx.file, 1).KeyCount, 650);
  TqnKeyPath path;
  QNInitKeyPath(path);
  std::int32_t ref = 0;
  std::uint8_t key[5];
  std::int32_t walked = 0;
  std::int32_t last = -1;
  while (QNTblNextKey(moved1, ref, key, path)) {
    std::int32_t group = 0;
    std::memcpy(&group, key, 4);
    EXPECT_GE(group, last);
    last = group;
    ++walked;
  }
  EXPECT_EQ(walked, 650);
  t.Rollback();
}

TEST_F(Indexes, DeletingAKeyThatIsNotThereChangesNothing) {
  t.Begin();
  for (int i = 0; i < 300; ++i) Add(i, 1);
  EXPECT_FALSE(QNTblDeleteKey(t.handles[1], 4128, IdKey(1000).data()));
  EXPECT_FALSE(QNTblDeleteKey(t.handles[2], 4, GroupKey(1).data()));  // right key, wrong reference
  t.Commit();
  EXPECT_TRUE(t.Check().empty()) << Faults(t.Check());
}

}  // namespace
}  // namespace tw::dbengine::testing

namespace tw::dbengine::testing {
namespace {

TEST_F(Indexes, RedefiningAnIndexGivesItsOldNodesBack) {
  t.Begin();
  for (int i = 0; i < 1000; ++i) Add(i, i % 5);
  const std::int32_t nodes = QNTblGetIndexInfo(t.fx.file, 2).NodeCount;
  const std::int32_t freed = t.fx.Dword(qfhFreedCount);
  QNTblAddIndex(t.fx.file, 2, t.dict.IndexKeyLength(2), false, true);
  EXPECT_EQ(t.fx.Dword(qfhFreedCount), freed + nodes);
  EXPECT_EQ(QNTblGetIndexInfo(t.fx.file, 2).Root, -1);
  t.Rollback();
}

}  // namespace
}  // namespace tw::dbengine::testing

namespace tw::dbengine::testing {
namespace {

// Inserts into nodes already changed in the transaction, rotating keys into siblings and
// splitting nodes at every level, then put back to the savepoint before them: every block is
// as it was, byte for byte (an insert names exactly the bytes of each node it changes).
// NameLength sets the key length and so the nodes' capacity; Prefill records come first, then
// Rounds of PerRound inserts and Removals removals of records picked at random (borrowing keys
// from siblings and merging nodes), of which every fourth round is kept.
void ChangesPutBackToTheirSavepoint(int NameLength, int Prefill, int PerRound, int Removals, int Rounds,
                                    std::int32_t MinNodes) {
  ScratchFolder folder;
  IndexedTable t(folder, [NameLength](TqnDataDictionary& d) {
    d.AddField("ID", "", qftInt32, 0, 0, false);
    d.AddField("NAME", "", qftShortString, NameLength, 0, false);
    d.AddIndex("BYNAME", "", 0, {1, 0}, false, true, false);
    d.AddIndex("BYID", "", 0, {0}, true, false, false);
  });
  std::mt19937 rng(4711);
  std::vector<std::int32_t> refs;
  const auto add = [&t, &rng, &refs] {
    auto r = t.NewRecord();
    const std::int32_t id = static_cast<std::int32_t>(rng() % 100000);
    std::uint8_t name[256] = {};
    const std::string s = "n" + std::to_string(rng() % 5000);
    name[0] = static_cast<std::uint8_t>(s.size());
    std::memcpy(name + 1, s.data(), s.size());
    t.dict.SetRecordField(0, r.data(), reinterpret_cast<const std::uint8_t*>(&id));
    t.dict.SetRecordField(1, r.data(), name);
    const std::int32_t ref = t.Insert(r);
    if (ref >= 0) refs.push_back(ref);
  };
  const auto remove = [&t, &rng, &refs] {
    if (refs.empty()) return;
    const std::size_t at = rng() % refs.size();
    t.Remove(refs[at]);
    refs[at] = refs.back();
    refs.pop_back();
  };
  TqnBufferManager& bm = t.fx.bm;
  const auto snapshot = [&] {
    std::vector<std::vector<std::uint8_t>> s;
    TqnBufferManager::TRequest r(bm);
    const std::uint8_t* h = bm.GetFileHeader(t.fx.file, false);
    s.emplace_back(h, h + kQnFileHeaderBytes);
    const std::int32_t used = QNBlocksUsed(t.fx.file, h);
    for (std::int32_t b = 1; b < used; ++b) {
      const std::uint8_t* p = bm.GetBlock(t.fx.file, b, false);
      s.emplace_back(p, p + 4096);
    }
    return s;
  };
  t.Begin();
  for (int i = 0; i < Prefill; ++i) add();
  for (int round = 0; round < Rounds; ++round) {
    const bool keep = round % 4 == 0;
    const auto before = snapshot();
    const auto refsBefore = refs;
    {
      TqnBufferManager::TRequest r(bm);
      bm.BeginSavepoint();
      for (int i = 0; i < PerRound; ++i) add();
      for (int i = 0; i < Removals; ++i) remove();
      if (keep) {
        bm.EndSavepoint();
      } else {
        bm.RollbackToSavepoint();
        refs = refsBefore;
      }
    }
    const auto after = snapshot();
    if (keep)
      EXPECT_NE(after, before) << round;
    else
      ASSERT_EQ(after, before) << round;
  }
  EXPECT_GE(QNTblGetIndexInfo(t.fx.file, 1).NodeCount, MinNodes);
  t.Commit();
  EXPECT_TRUE(t.Check().empty()) << Faults(t.Check());
}

TEST(BTreeSavepoints, InsertsPutBackToTheirSavepointLeaveEveryBlockAsItWas) {
  // Nodes of 19 keys, a deep tree after a few hundred records.
  ChangesPutBackToTheirSavepoint(200, 400, 6, 0, 60, 30);
}

// A tree of three levels whose inner nodes fill up: keys rotate between inner nodes too (their
// children move with them) within the inserts that are put back.
TEST(BTreeSavepoints, RotationsBetweenInnerNodesArePutBackToo) {
  ChangesPutBackToTheirSavepoint(255, 2000, 12, 0, 160, 150);
}

// Removals borrow keys from siblings and merge nodes, leaves and inner nodes, and exchange a key
// of an inner node with one of a leaf: put back to the savepoint, every block is as it was.
TEST(BTreeSavepoints, RemovalsArePutBackToo) {
  ChangesPutBackToTheirSavepoint(255, 2000, 4, 24, 200, 60);
}

}  // namespace
}  // namespace tw::dbengine::testing
