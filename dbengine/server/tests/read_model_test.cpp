// Reads against a model, through a cache far smaller than the table: random inserts, changes of
// keys, deletions and rolled-back transactions, with lookups by an integer key and by a
// composite key and walks in physical and in key order, several cursors taking turns.  The
// pages the readers keep notes of (the index header, the leaf a walk stands in, the data block
// read last) are given to other blocks, dropped by rollbacks and freed when the cache shrinks
// between the reads; every answer must still be the model's.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "server_test_util.h"

namespace tw::dbengine::testing {
namespace {

// Fields: 0 Id (32-bit, unique index 1), 1 Name (text), 2 Amount (32-bit); index 2 is
// (Amount, Name), unique.
void RowsDictionary(TqnDataDictionary& D) {
  D.AddField("Id", "", qftInt32, 0, 0, true);
  D.AddField("Name", "", qftShortString, 23, 0, true);
  D.AddField("Amount", "", qftInt32, 0, 0, true);
  D.AddIndex("ById", "", 0, {0}, false, true, false);
  D.AddIndex("ByAmountName", "", 0, {2, 1}, false, true, false);
}

struct Row {
  std::string Name;
  std::int32_t Amount = 0;
  bool operator==(const Row&) const = default;
};

class ReadModel : public EngineFixture {
 protected:
  ReadModel() {
    Build("Rows", RowsDictionary);
    byId = Open("Rows", 1);
    byAmount = Open("Rows", 2);
    physical = Open("Rows", 0);
    walker = Open("Rows", 0);
    rng.seed(20261207);
  }

  Record Make(std::int32_t Id, const Row& R) {
    Record r(Dict(byId));
    r.I32(0, Id).Str(1, R.Name).I32(2, R.Amount);
    return r;
  }
  Row RandomRow() { return {"n" + std::to_string(rng() % 5000), static_cast<std::int32_t>(rng() % 50) - 25}; }
  bool AmountNameTaken(const Row& R, std::int32_t Except) const {
    for (const auto& [id, row] : model)
      if (id != Except && row == R) return true;
    return false;
  }

  // Finds Id through the integer index and checks the answer against the model.
  void ExpectById(std::int32_t Id) {
    Record probe = Make(Id, {}), out(Dict(byId));
    const DBIResult r = engine->RecordGetForKey(byId, false, 0, 0, probe.Data(), out.Data());
    const auto it = model.find(Id);
    if (it == model.end()) {
      ASSERT_EQ(r, 8710) << Id;
      return;
    }
    ASSERT_EQ(r, 0) << Id;
    ASSERT_EQ(out.GetI32(0), Id);
    ASSERT_EQ(out.GetStr(1), it->second.Name) << Id;
    ASSERT_EQ(out.GetI32(2), it->second.Amount) << Id;
  }
  // Finds a row through the composite index.
  void ExpectByAmountName(const Row& R) {
    Record probe = Make(0, R), out(Dict(byAmount));
    const DBIResult r = engine->RecordGetForKey(byAmount, false, 0, 0, probe.Data(), out.Data());
    std::int32_t id = 0;
    bool there = false;
    for (const auto& [i, row] : model)
      if (row == R) {
        id = i;
        there = true;
      }
    if (!there) {
      ASSERT_EQ(r, 8710) << R.Name << " " << R.Amount;
      return;
    }
    ASSERT_EQ(r, 0);
    ASSERT_EQ(out.GetI32(0), id);
    ASSERT_EQ(out.GetStr(1), R.Name);
  }
  // Every row in the order of Cursor's index: the model's rows (in Id order for index 1, as
  // a set for the physical order).
  void ExpectWalk(std::uint32_t Cursor, bool Forward) {
    Record out(Dict(Cursor));
    std::vector<std::pair<std::int32_t, Row>> seen;
    Forward ? engine->SetToBegin(Cursor) : engine->SetToEnd(Cursor);
    while ((Forward ? engine->RecordGetNext(Cursor, 0, out.Data()) : engine->RecordGetPrev(Cursor, 0, out.Data())) == 0)
      seen.push_back({out.GetI32(0), Row{out.GetStr(1), out.GetI32(2)}});
    if (!Forward) std::reverse(seen.begin(), seen.end());
    if (Cursor != byId) std::sort(seen.begin(), seen.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::vector<std::pair<std::int32_t, Row>> expected(model.begin(), model.end());
    ASSERT_TRUE(seen == expected) << seen.size() << " rows walked of " << expected.size();
  }

  void Insert() {
    const std::int32_t id = static_cast<std::int32_t>(rng() % 20000) - 10000;
    const Row row = RandomRow();
    const DBIResult r = engine->RecordInsert(byId, 0, Make(id, row).Data());
    if (model.count(id) != 0 || AmountNameTaken(row, id)) {
      ASSERT_EQ(r, qnresKeyViolation) << id;
      return;
    }
    ASSERT_EQ(r, 0) << id;
    model[id] = row;
  }
  std::int32_t AnyId() {
    auto it = model.begin();
    std::advance(it, static_cast<long>(rng() % model.size()));
    return it->first;
  }
  void Delete() {
    const std::int32_t id = AnyId();
    Record probe = Make(id, {}), out(Dict(byId));
    ASSERT_EQ(engine->RecordGetForKey(byId, false, 0, 0, probe.Data(), out.Data()), 0);
    ASSERT_EQ(engine->RecordDelete(byId, nullptr), 0);
    model.erase(id);
  }
  // A new Amount and Name for a row: its entry moves in the composite index, its record stays.
  void Change() {
    const std::int32_t id = AnyId();
    const Row row = RandomRow();
    Record probe = Make(id, {}), out(Dict(byId));
    ASSERT_EQ(engine->RecordGetForKey(byId, false, 0, 0, probe.Data(), out.Data()), 0);
    const DBIResult r = engine->RecordModify(byId, true, Make(id, row).Data());
    if (AmountNameTaken(row, id)) {
      ASSERT_EQ(r, qnresKeyViolation);
      return;
    }
    ASSERT_EQ(r, 0);
    model[id] = row;
  }
  void Lookups(int N) {
    for (int i = 0; i < N; ++i) {
      if (rng() % 2 == 0 || model.empty())
        ExpectById(static_cast<std::int32_t>(rng() % 20000) - 10000);
      else
        ExpectById(AnyId());
      if (HasFatalFailure()) return;
      ExpectByAmountName(model.empty() || rng() % 3 == 0 ? RandomRow() : model.begin()->second);
      if (HasFatalFailure()) return;
    }
  }

  std::uint32_t byId = 0, byAmount = 0, physical = 0, walker = 0;
  std::map<std::int32_t, Row> model;
  std::mt19937 rng;
};

TEST_F(ReadModel, AnswersStayTheModelsThroughASmallCache) {
  TqnBufferManager& bm = engine->BufferManager();
  bm.SetMaxPageCount(16);
  for (int round = 0; round < 14; ++round) {
    // A client transaction every third round, rolled back every other time: the pages it
    // changed are dropped, the notes that named them must not bring their contents back.
    std::uint32_t t = 0;
    const bool inTransaction = round % 3 == 1;
    const bool rollBack = round % 6 == 1;
    const auto saved = model;
    if (inTransaction) {
      ASSERT_EQ(engine->TransactionStart(db, false, t), 0);
    }
    for (int i = 0; i < 160; ++i) {
      const unsigned what = rng() % 10;
      if (what < 6 || model.size() < 20) Insert();
      else if (what < 8) Delete();
      else Change();
      if (HasFatalFailure()) return;
      if (i % 16 == 0) Lookups(3);
      if (HasFatalFailure()) return;
    }
    Lookups(20);
    if (HasFatalFailure()) return;
    if (inTransaction) {
      if (rollBack) {
        ASSERT_EQ(engine->TransactionRollback(t), 0);
        model = saved;
      } else {
        ASSERT_EQ(engine->TransactionCommit(t), 0);
      }
    }
    // A walk in physical order half done while other cursors read elsewhere, then finished:
    // the leaf it stands in and the data block it read last have been evicted meanwhile.
    Record out(Dict(walker));
    ASSERT_EQ(engine->SetToBegin(walker), 0);
    std::set<std::int32_t> walked;
    for (std::size_t i = 0; i < model.size() / 2; ++i) {
      ASSERT_EQ(engine->RecordGetNext(walker, 0, out.Data()), 0);
      walked.insert(out.GetI32(0));
    }
    Lookups(10);
    if (HasFatalFailure()) return;
    ExpectWalk(byAmount, true);
    if (HasFatalFailure()) return;
    // The cache shrinks and grows between the walk's steps: pages it noted are freed.
    bm.SetMaxPageCount(1);
    bm.SetMaxPageCount(16 + round % 3);
    while (engine->RecordGetNext(walker, 0, out.Data()) == 0) walked.insert(out.GetI32(0));
    std::set<std::int32_t> ids;
    for (const auto& [id, row] : model) ids.insert(id);
    ASSERT_EQ(walked, ids) << "round " << round;
    ExpectWalk(physical, round % 2 == 0);
    if (HasFatalFailure()) return;
    ExpectWalk(byId, round % 2 == 1);
    if (HasFatalFailure()) return;
    EXPECT_LE(bm.PageCount(), bm.MaxPageCount());
  }
  EXPECT_GT(model.size(), 600u) << "the table is many times the cache";
  EXPECT_EQ(Joined(Check("Rows")), "");
}

// Another client changes the table between this client's reads, and the table is packed (its
// records get new places) and given an index and rid of one (its index header changes): the
// reads that follow see the table as it now is.
TEST_F(ReadModel, AnswersFollowOtherClientsAndRestructures) {
  TqnBufferManager& bm = engine->BufferManager();
  bm.SetMaxPageCount(16);
  for (int i = 0; i < 900; ++i) {
    Insert();
    if (HasFatalFailure()) return;
  }
  std::uint32_t hash = 0, otherDb = 0, other = 0;
  ASSERT_EQ(engine->ClientAdd(2, "other", "", hash), 0);
  ASSERT_EQ(engine->DatabaseOpenNoAlias(2, folder.Path(), 1, 1, otherDb), 0);
  ASSERT_EQ(engine->OpenTable(otherDb, "Rows", "", 1, 1, 1, other, nullptr), 0);
  for (int round = 0; round < 6; ++round) {
    Lookups(20);
    if (HasFatalFailure()) return;
    ExpectWalk(physical, true);
    if (HasFatalFailure()) return;
    // The other client deletes and changes rows this one has just read.
    for (int i = 0; i < 60; ++i) {
      const std::int32_t id = AnyId();
      Record probe = Make(id, {}), out(Dict(other));
      ASSERT_EQ(engine->RecordGetForKey(other, false, 0, 0, probe.Data(), out.Data()), 0);
      if (i % 2 == 0) {
        ASSERT_EQ(engine->RecordDelete(other, nullptr), 0);
        model.erase(id);
      } else {
        Row row = RandomRow();
        row.Name = "o" + row.Name;  // never taken yet
        ASSERT_EQ(engine->RecordModify(other, true, Make(id, row).Data()), 0);
        model[id] = row;
      }
    }
    Lookups(20);
    if (HasFatalFailure()) return;
    ExpectWalk(byId, round % 2 == 0);
    if (HasFatalFailure()) return;
  }
  ASSERT_EQ(engine->CursorClose(other), 0);
  ASSERT_EQ(engine->DatabaseClose(otherDb), 0);
  // Restructured with this client's cursors closed, then read through new ones.
  for (std::uint32_t c : {byId, byAmount, physical, walker}) ASSERT_EQ(engine->CursorClose(c), 0);
  std::int32_t rebuild = -1;
  ASSERT_EQ(engine->PackTable(db, "Rows", rebuild), 0);
  engine->WaitForRebuilds();
  std::uint32_t outDb = 0;
  std::string outName;
  ASSERT_EQ(engine->AddIndex(db, 0, "Rows", OneFieldIndex("ByAmount", 2, true), outDb, outName), 0);
  ASSERT_EQ(engine->DropIndex(db, 0, "Rows", "ByAmountName", 0), 0);
  byId = Open("Rows", 1);
  physical = Open("Rows", 0);
  ASSERT_EQ(Dict(byId).GetIndexFromName("ByAmount"), 2);
  byAmount = Open("Rows", 2);
  for (int i = 0; i < 200; ++i) {
    ExpectById(static_cast<std::int32_t>(rng() % 20000) - 10000);
    if (HasFatalFailure()) return;
  }
  ExpectWalk(physical, true);
  if (HasFatalFailure()) return;
  ExpectWalk(byId, false);
  if (HasFatalFailure()) return;
  // The new index walks the rows by amount.
  Record out(Dict(byAmount));
  std::int32_t last = std::numeric_limits<std::int32_t>::min();
  std::size_t n = 0;
  ASSERT_EQ(engine->SetToBegin(byAmount), 0);
  while (engine->RecordGetNext(byAmount, 0, out.Data()) == 0) {
    EXPECT_LE(last, out.GetI32(2));
    last = out.GetI32(2);
    ++n;
  }
  EXPECT_EQ(n, model.size());
  EXPECT_LE(bm.PageCount(), bm.MaxPageCount());
  EXPECT_EQ(Joined(Check("Rows")), "");
}

}  // namespace
}  // namespace tw::dbengine::testing
