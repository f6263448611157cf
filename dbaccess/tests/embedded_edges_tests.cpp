// The entry points at the edges of tables, keys, handles and cached changes, called as the
// data-set classes call them, over the embedded server.
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>

#include "dbaccess/basetable.h"
#include "dbaccess/database.h"
#include "dbaccess/dbientry.h"
#include "embeddedsupport.h"

namespace tw::dbaccess::test {
namespace {

using Edges = EmbeddedTable;

// A key of the index by number as the server lays it out: the value, then the key's null bits.
struct TNrKey {
  std::uint8_t Bytes[8] = {};
  explicit TNrKey(std::int16_t Nr) { std::memcpy(Bytes, &Nr, 2); }
  const std::uint8_t* operator()() const { return Bytes; }
};

std::int16_t NrOf(hDBICur Cur, const std::vector<std::uint8_t>& Rec) {
  std::int16_t nr = 0;
  bool blank = false;
  DbiGetField(Cur, 3, Rec.data(), reinterpret_cast<std::uint8_t*>(&nr), blank);
  return nr;
}

TEST_F(Edges, ApplyingTwiceBeforeCommitStoresEveryChangeOnce) {
  hDBICur cached = cur;
  ASSERT_EQ(DbiBeginDelayedUpdates(cached), DBIERR_NONE);
  DbiInitRecord(cached, record.data());
  Put(cached, record.data(), 1, "Eve");
  std::int16_t nr = 50;
  Put(cached, record.data(), 3, &nr);
  ASSERT_EQ(DbiInsertRecord(cached, dbiNOLOCK, record.data()), DBIERR_NONE);
  DbiSetToBegin(cached);
  ASSERT_EQ(DbiGetNextRecord(cached, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  Put(cached, record.data(), 1, "Abe");
  ASSERT_EQ(DbiModifyRecord(cached, record.data(), false), DBIERR_NONE);
  ASSERT_EQ(DbiGetNextRecord(cached, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiDeleteRecord(cached, nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdPrepare), DBIERR_NONE);
  // A second apply before the commit (the class library's retry after a failure elsewhere)
  // finds nothing left to do.
  EXPECT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdPrepare), DBIERR_NONE);
  ASSERT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdCommit), DBIERR_NONE);
  ASSERT_EQ(DbiEndDelayedUpdates(cached), DBIERR_NONE);
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Abe", "Cyd", "Dag", "Eve"}));
}

// Random cached changes, applies, commits and cancels, with another cursor changing and
// deleting records meanwhile, checked against a model of the table and of the change cache.
TEST_F(Edges, ModelOfCachedChangesAppliesAndCancels) {
  struct TChange {
    enum { Mod, Del, Ins } Kind;
    std::string Name;
    bool Applied = false;
  };
  std::map<int, std::string> table{{10, "Ada"}, {20, "Ben"}, {30, "Cyd"}, {40, "Dag"}};
  // Changes of records of the table by their number, and inserted records apart: the cache
  // knows an insert by no place of the table, so a change of its record once applied is a
  // change of its own.
  std::map<int, TChange> changes, inserted;
  hDBICur other = 0;
  ASSERT_EQ(DbiOpenTable(db, "Persons", nullptr, "ByNr", nullptr, 0, 0, 0, 0, false, nullptr, other), DBIERR_NONE);
  hDBICur cached = cur;
  ASSERT_EQ(DbiBeginDelayedUpdates(cached), DBIERR_NONE);
  std::mt19937 rng(20261207);
  int nextNr = 41, nameNo = 0;
  auto walk = [&](hDBICur c) {
    std::vector<std::pair<int, std::string>> seen;
    DbiSetToBegin(c);
    while (DbiGetNextRecord(c, dbiNOLOCK, record.data(), nullptr) == DBIERR_NONE)
      seen.emplace_back(NrOf(c, record), NameOf(record));
    return seen;
  };
  auto view = [&] {
    std::vector<std::pair<int, std::string>> v;
    for (const auto& [nr, name] : table) {
      auto c = changes.find(nr);
      if (c == changes.end()) v.emplace_back(nr, name);
      else if (c->second.Kind == TChange::Mod) v.emplace_back(nr, c->second.Name);
    }
    return v;
  };
  // Stands a cursor on the record of that number; false when it does not see it.
  auto standOn = [&](hDBICur c, int nr) {
    DbiSetToBegin(c);
    while (DbiGetNextRecord(c, dbiNOLOCK, record.data(), nullptr) == DBIERR_NONE)
      if (NrOf(c, record) == nr) return true;
    return false;
  };
  auto pickVisible = [&]() -> int {
    auto v = view();
    if (v.empty()) return -1;
    return v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(rng)].first;
  };
  for (int step = 0; step < 300; ++step) {
    const int op = std::uniform_int_distribution<int>(0, 9)(rng);
    const std::string name = "N" + std::to_string(++nameNo);
    std::string what = std::to_string(step) + " op " + std::to_string(op);
    if (op <= 1) {  // change a visible record's name in the cache
      int nr = pickVisible();
      if (nr < 0 || !standOn(cached, nr)) continue;
      Put(cached, record.data(), 1, name.c_str());
      ASSERT_EQ(DbiModifyRecord(cached, record.data(), false), DBIERR_NONE) << what;
      auto& c = changes[nr];
      c = TChange{TChange::Mod, name, false};
    } else if (op == 2) {  // delete a visible record in the cache
      int nr = pickVisible();
      if (nr < 0 || !standOn(cached, nr)) continue;
      ASSERT_EQ(DbiDeleteRecord(cached, nullptr), DBIERR_NONE) << what;
      changes[nr] = TChange{TChange::Del, "", false};
    } else if (op == 3) {  // insert into the cache
      DbiInitRecord(cached, record.data());
      Put(cached, record.data(), 1, name.c_str());
      std::int16_t nr = static_cast<std::int16_t>(nextNr++);
      Put(cached, record.data(), 3, &nr);
      ASSERT_EQ(DbiInsertRecord(cached, dbiNOLOCK, record.data()), DBIERR_NONE) << what;
      inserted[nr] = TChange{TChange::Ins, name, false};
    } else if (op == 4) {  // cancel the change of the current record
      int nr = pickVisible();
      if (nr < 0 || !standOn(cached, nr)) continue;
      ASSERT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdCancelCurrent), DBIERR_NONE) << what;
      changes.erase(nr);
    } else if (op == 5) {  // apply
      bool failed = false;
      for (auto& [nr, c] : inserted)
        if (!c.Applied) table[nr] = c.Name, c.Applied = true;
      for (auto& [nr, c] : changes) {
        if (c.Applied) continue;
        const bool there = table.count(nr) != 0;
        if (!there) failed = true;
        else if (c.Kind == TChange::Mod) table[nr] = c.Name, c.Applied = true;
        else table.erase(nr), c.Applied = true;
      }
      const DBIResult r = DbiApplyDelayedUpdates(cached, dbiDelayedUpdPrepare);
      EXPECT_EQ(r != DBIERR_NONE, failed) << what << " answered " << r;
    } else if (op == 6) {  // commit
      ASSERT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdCommit), DBIERR_NONE) << what;
      std::erase_if(changes, [](const auto& c) { return c.second.Applied; });
      std::erase_if(inserted, [](const auto& c) { return c.second.Applied; });
    } else if (op == 7) {  // cancel everything
      ASSERT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdCancel), DBIERR_NONE) << what;
      changes.clear();
      inserted.clear();
    } else if (op == 8 && !table.empty()) {  // another cursor changes or deletes a record
      auto it = std::next(table.begin(), std::uniform_int_distribution<long>(0, static_cast<long>(table.size()) - 1)(rng));
      const int nr = it->first;
      ASSERT_TRUE(standOn(other, nr)) << what;
      if (rng() % 2) {
        ASSERT_EQ(DbiDeleteRecord(other, nullptr), DBIERR_NONE) << what;
        table.erase(nr);
      } else {
        Put(other, record.data(), 1, name.c_str());
        ASSERT_EQ(DbiModifyRecord(other, record.data(), true), DBIERR_NONE) << what;
        table[nr] = name;
      }
    } else {
      std::vector<std::pair<int, std::string>> want(table.begin(), table.end());
      ASSERT_EQ(walk(other), want) << what;
    }
    ASSERT_EQ(walk(cached), view()) << what;
    std::uint32_t pending = 0;
    std::uint16_t len = 0;
    ASSERT_EQ(DbiGetProp(cached, curDELAYUPDNUMUPDATES, &pending, 4, len), DBIERR_NONE);
    ASSERT_EQ(pending, changes.size() + inserted.size()) << what;
  }
  ASSERT_EQ(DbiEndDelayedUpdates(cached), DBIERR_NONE);
  std::vector<std::pair<int, std::string>> want(table.begin(), table.end());
  EXPECT_EQ(walk(cur), want);
  DbiCloseCursor(other);
}

TEST_F(Edges, ACachedChangeStaysWithItsRecordWhenANewRecordTakesItsPlace) {
  // Ben's change is cached, then another cursor deletes Ben and adds Zed, whose record the
  // server may keep where Ben's was: Zed is no record the cache changed.
  hDBICur other = 0;
  ASSERT_EQ(DbiOpenTable(db, "Persons", nullptr, "ByNr", nullptr, 0, 0, 0, 0, false, nullptr, other), DBIERR_NONE);
  auto standOn = [&](hDBICur c, const std::string& name) {
    DbiSetToBegin(c);
    while (DbiGetNextRecord(c, dbiNOLOCK, record.data(), nullptr) == DBIERR_NONE)
      if (NameOf(record) == name) return true;
    return false;
  };
  auto walk = [&](hDBICur c) {
    std::vector<std::string> seen;
    DbiSetToBegin(c);
    while (DbiGetNextRecord(c, dbiNOLOCK, record.data(), nullptr) == DBIERR_NONE)
      seen.push_back(NameOf(record) + ":" + std::to_string(NrOf(c, record)));
    return seen;
  };
  for (bool deleteInCache : {true, false}) {
    hDBICur cached = cur;
    ASSERT_EQ(DbiBeginDelayedUpdates(cached), DBIERR_NONE);
    ASSERT_TRUE(standOn(cached, deleteInCache ? "Ben" : "Cyd"));
    if (deleteInCache) {
      ASSERT_EQ(DbiDeleteRecord(cached, nullptr), DBIERR_NONE);
    } else {
      Put(cached, record.data(), 1, "Cyx");
      ASSERT_EQ(DbiModifyRecord(cached, record.data(), false), DBIERR_NONE);
    }
    ASSERT_TRUE(standOn(other, deleteInCache ? "Ben" : "Cyd"));
    ASSERT_EQ(DbiDeleteRecord(other, nullptr), DBIERR_NONE);
    DbiInitRecord(other, record.data());
    const char* added = deleteInCache ? "Zed" : "Yul";
    Put(other, record.data(), 1, added);
    std::int16_t nr = deleteInCache ? 99 : 98;
    Put(other, record.data(), 3, &nr);
    ASSERT_EQ(DbiInsertRecord(other, dbiNOLOCK, record.data()), DBIERR_NONE);
    const std::vector<std::string> want =
        deleteInCache ? std::vector<std::string>{"Ada:10", "Cyd:30", "Dag:40", "Zed:99"}
                      : std::vector<std::string>{"Ada:10", "Dag:40", "Yul:98", "Zoe:99"};
    EXPECT_EQ(walk(cached), want);
    // A change of the new record is its own, and is applied to it.
    ASSERT_TRUE(standOn(cached, added));
    Put(cached, record.data(), 1, deleteInCache ? "Zoe" : "Yves");
    ASSERT_EQ(DbiModifyRecord(cached, record.data(), false), DBIERR_NONE);
    EXPECT_NE(DbiApplyDelayedUpdates(cached, dbiDelayedUpdPrepare), DBIERR_NONE);  // the gone record's change
    ASSERT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdCancel), DBIERR_NONE);
    ASSERT_EQ(DbiEndDelayedUpdates(cached), DBIERR_NONE);
    const std::vector<std::string> after =
        deleteInCache ? std::vector<std::string>{"Ada:10", "Cyd:30", "Dag:40", "Zoe:99"}
                      : std::vector<std::string>{"Ada:10", "Dag:40", "Yves:98", "Zoe:99"};
    EXPECT_EQ(walk(other), after);
  }
  DbiCloseCursor(other);
}

TEST_F(Edges, EmptyAndOneRecordTables) {
  auto* table = TBapiListItem::Resolve<TBaseTable>(cur);
  ASSERT_EQ(table->EmptyTable(), DBIERR_NONE);
  for (int pass = 0; pass < 2; ++pass) {
    DbiSetToBegin(cur);
    EXPECT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_BOF);
    EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), pass ? DBIERR_NONE : DBIERR_EOF);
    EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_EOF);
    EXPECT_NE(DbiGetRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    DbiSetToEnd(cur);
    EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_EOF);
    EXPECT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), pass ? DBIERR_NONE : DBIERR_BOF);
    EXPECT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_BOF);
    std::uint32_t n = 9;
    EXPECT_EQ(table->GetRecordCount(n), DBIERR_NONE);
    EXPECT_EQ(n, pass ? 1u : 0u);
    EXPECT_EQ(DbiGetRecordForKey(cur, true, 0, 0, TNrKey(99)(), record.data()),
              DBIERR_RECNOTFOUND);
    if (!pass) {
      DbiInitRecord(cur, record.data());
      Put(cur, record.data(), 1, "Solo");
      std::int16_t nr = 7;
      Put(cur, record.data(), 3, &nr);
      ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
    }
  }
}

TEST_F(Edges, KeysBeyondTheLastAndRangesThatHoldNothing) {
  EXPECT_EQ(DbiGetRecordForKey(cur, true, 0, 0, TNrKey(99)(), record.data()), DBIERR_RECNOTFOUND);
  DbiSetToKey(cur, keySEARCHGEQ, true, 0, 0, TNrKey(99)());
  EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_EOF);
  EXPECT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(NameOf(record), "Dag");
  EXPECT_EQ(DbiSetToKey(cur, keySEARCHGEQ, true, 0, 0, TNrKey(25)()), DBIERR_NONE);
  EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(NameOf(record), "Cyd");
  EXPECT_EQ(DbiSetToKey(cur, keySEARCHGEQ, true, 0, 0, TNrKey(0)()), DBIERR_NONE);
  EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(NameOf(record), "Ada");

  // Ranges beyond the last key and between two keys hold nothing, from either end.
  for (auto [lo, hi] : {std::pair<std::int16_t, std::int16_t>{100, 200}, {11, 19}}) {
    ASSERT_EQ(DbiSetRange(cur, true, 0, 0, TNrKey(lo)(), true, 0, 0, TNrKey(hi)(), true), DBIERR_NONE);
    DbiSetToBegin(cur);
    EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_EOF) << lo;
    DbiSetToEnd(cur);
    EXPECT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_BOF) << lo;
    std::uint32_t n = 9;
    EXPECT_EQ(TBapiListItem::Resolve<TBaseTable>(cur)->GetExactRecordCount(n), DBIERR_NONE);
    EXPECT_EQ(n, 0u) << lo;
  }
  ASSERT_EQ(DbiSetRange(cur, true, 0, 0, TNrKey(20)(), true, 0, 0, TNrKey(20)(), true),
            DBIERR_NONE);
  DbiSetToEnd(cur);
  EXPECT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(NameOf(record), "Ben");
  EXPECT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_BOF);
  EXPECT_EQ(DbiResetRange(cur), DBIERR_NONE);
  EXPECT_EQ(Walk().size(), 4u);
}

TEST_F(Edges, ABookmarkOfADeletedRecordLeadsToItsNeighbours) {
  CURProps props;
  DbiGetCursorProps(cur, props);
  std::vector<std::uint8_t> mark(props.iBookMarkSize);
  DbiSetToBegin(cur);
  DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr);
  DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr);
  ASSERT_EQ(DbiGetBookMark(cur, mark.data()), DBIERR_NONE);
  hDBICur other = 0;
  ASSERT_EQ(DbiCloneCursor(cur, false, false, other), DBIERR_NONE);
  ASSERT_EQ(DbiSetBookMark(other, mark.data()), DBIERR_NONE);
  std::vector<std::uint8_t> rec2(record.size());
  ASSERT_EQ(DbiGetRecord(other, dbiNOLOCK, rec2.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiDeleteRecord(other, nullptr), DBIERR_NONE);
  DbiSetToBegin(cur);
  DBIResult r = DbiSetBookMark(cur, mark.data());
  if (r == DBIERR_NONE) {
    // On the gap the record read is the one that followed the deleted one.
    EXPECT_EQ(DbiGetRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    EXPECT_EQ(NameOf(record), "Cyd");
    EXPECT_EQ(DbiSetBookMark(cur, mark.data()), DBIERR_NONE);
    EXPECT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    EXPECT_EQ(NameOf(record), "Ada");
  }
  EXPECT_EQ(DbiGetRecordForKey(cur, true, 0, 0, TNrKey(20)(), record.data()),
            DBIERR_RECNOTFOUND);
  EXPECT_EQ(DbiCloseCursor(other), DBIERR_NONE);
}

TEST_F(Edges, ClosedHandlesNullPointersAndWrongFields) {
  hDBICur clone = 0;
  ASSERT_EQ(DbiCloneCursor(cur, false, false, clone), DBIERR_NONE);
  hDBICur stale = clone;
  ASSERT_EQ(DbiCloseCursor(clone), DBIERR_NONE);
  EXPECT_EQ(DbiGetNextRecord(stale, dbiNOLOCK, record.data(), nullptr), DBIERR_INVALIDHNDL);
  EXPECT_EQ(DbiCloseCursor(stale), DBIERR_INVALIDHNDL);
  EXPECT_EQ(DbiSetToBegin(db), DBIERR_INVALIDHNDL);  // a database is no cursor
  bool b0 = false;
  EXPECT_EQ(DbiGetField(cur, 1, nullptr, nullptr, b0), DBIERR_INVALIDPARAM);
  EXPECT_EQ(DbiPutField(cur, 1, nullptr, reinterpret_cast<const std::uint8_t*>("x")), DBIERR_INVALIDPARAM);
  bool blank = false;
  char buf[64] = {};
  EXPECT_EQ(DbiGetField(cur, 0, record.data(), reinterpret_cast<std::uint8_t*>(buf), blank), DBIERR_INVALIDFIELD);
  EXPECT_EQ(DbiGetField(cur, 4, record.data(), reinterpret_cast<std::uint8_t*>(buf), blank), DBIERR_INVALIDFIELD);
  EXPECT_EQ(DbiPutField(cur, 4, record.data(), reinterpret_cast<const std::uint8_t*>(buf)), DBIERR_INVALIDFIELD);
  // Property buffers too small for the value are refused, never answered as read.
  for (std::uint32_t prop : {0u, 5u}) {
    std::uint8_t small[1] = {0xEE};
    std::uint16_t len = 9;
    EXPECT_EQ(DbiGetProp(cur, prop, small, 1, len), DBIERR_INVALIDPARAM) << prop;
    EXPECT_EQ(len, 0) << prop;
    EXPECT_EQ(small[0], 0xEE) << prop;
    EXPECT_EQ(DbiGetProp(cur, prop, nullptr, 8, len), DBIERR_INVALIDPARAM) << prop;
    std::uint32_t value = 0xFFFFFFFF;
    EXPECT_EQ(DbiGetProp(cur, prop, &value, 4, len), DBIERR_NONE) << prop;
    EXPECT_EQ(value & (prop == 0 ? 0xFFFFu : 0xFFFFFFFFu), prop == 0 ? 11u : 0u);
  }
  EXPECT_EQ(DbiGetBookMark(cur, nullptr), DBIERR_INVALIDPARAM);
  EXPECT_EQ(DbiSetBookMark(cur, nullptr), DBIERR_INVALIDPARAM);
  EXPECT_NE(DbiInsertRecord(cur, dbiNOLOCK, nullptr), DBIERR_NONE);
  EXPECT_NE(DbiModifyRecord(cur, nullptr, false), DBIERR_NONE);
  hDBICur none = 0;
  EXPECT_NE(DbiOpenTable(db, nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, none), DBIERR_NONE);
  EXPECT_EQ(none, 0u);
  EXPECT_NE(DbiOpenTable(db, "Nosuch", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, none), DBIERR_NONE);
  EXPECT_NE(DbiOpenTable(db, "Persons", nullptr, "NoIndex", nullptr, 0, 0, 0, 0, false, nullptr, none), DBIERR_NONE);
  EXPECT_EQ(none, 0u);
  // A name longer than its field is cut to the field, never written past it.
  std::string longName(300, 'Z');
  DbiInitRecord(cur, record.data());
  EXPECT_EQ(DbiPutField(cur, 1, record.data(), reinterpret_cast<const std::uint8_t*>(longName.c_str())), DBIERR_NONE);
  EXPECT_EQ(DbiGetField(cur, 1, record.data(), reinterpret_cast<std::uint8_t*>(buf), blank), DBIERR_NONE);
  EXPECT_EQ(std::string(buf), std::string(12, 'Z'));
  EXPECT_EQ(NrOf(cur, record), 0);
}

TEST_F(Edges, HandlesOfClosedDatabasesSessionsAndEnginesAnswerCodes) {
  hDBICur clone = 0;
  ASSERT_EQ(DbiCloneCursor(cur, true, false, clone), DBIERR_NONE);
  hDBIDb dbCopy = db;
  ASSERT_EQ(DbiCloseDatabase(db), DBIERR_NONE);
  EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_INVALIDHNDL);
  EXPECT_EQ(DbiGetNextRecord(clone, dbiNOLOCK, record.data(), nullptr), DBIERR_INVALIDHNDL);
  EXPECT_EQ(DbiCloseCursor(clone), DBIERR_INVALIDHNDL);
  EXPECT_EQ(DbiCloseDatabase(dbCopy), DBIERR_INVALIDHNDL);
  hDBICur c = 0;
  EXPECT_EQ(DbiOpenTable(dbCopy, "Persons", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c), DBIERR_INVALIDHNDL);
  EXPECT_EQ(c, 0u);
  CURProps props;
  EXPECT_EQ(DbiGetCursorProps(dbCopy, props), DBIERR_INVALIDHNDL);

  // Again, then the engine ends under an open cursor and a new engine starts.
  std::string path = folder.string() + "/";
  ASSERT_EQ(DbiOpenDatabase(path.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), DBIERR_NONE);
  EXPECT_EQ(DbiOpenTable(db, "Persons", nullptr, "ByNr", nullptr, 0, 0, 0, 0, false, nullptr, c), DBIERR_NONE);
  hDBISes ses = 0;
  ASSERT_EQ(DbiGetCurrSession(ses), DBIERR_NONE);
  ASSERT_EQ(DbiExit(), DBIERR_NONE);
  EXPECT_EQ(DbiGetNextRecord(c, dbiNOLOCK, record.data(), nullptr), DBIERR_INVALIDHNDL);
  EXPECT_EQ(DbiSetCurrSession(ses), DBIERR_INVALIDSESHANDLE);
  EXPECT_EQ(DbiCloseDatabase(db), DBIERR_INVALIDSESHANDLE);  // no engine, so no session
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  EXPECT_EQ(DbiGetNextRecord(c, dbiNOLOCK, record.data(), nullptr), DBIERR_INVALIDHNDL);
  EXPECT_EQ(DbiCloseSession(ses), DBIERR_INVALIDSESHANDLE);
  db = 0;
  cur = 0;
}

TEST_F(Edges, TextKeysWholePartialNearestAndBeyondTheLast) {
  dbengine::TqnDataDictionary dict(4096);
  dict.AddField("Name", "", dbengine::qftZString, 12, 0, true);
  dict.AddField("Nr", "", dbengine::qftInt16, 0, 0, false);
  dict.AddIndex("ByName", "", 0, {0}, false, true, true);  // unique, case-insensitive
  auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
  ASSERT_EQ(database->BuildTable("Planets", true, dict), DBIERR_NONE);
  hDBICur c = 0;
  ASSERT_EQ(DbiOpenTable(db, "Planets", nullptr, "ByName", nullptr, 0, 0, 0, 0, false, nullptr, c), DBIERR_NONE);
  CURProps props;
  DbiGetCursorProps(c, props);
  std::vector<std::uint8_t> rec(props.iRecBufSize), key(props.iKeySize);
  for (const char* n : {"Mars", "Mercury", "venus", "Earth"}) {
    DbiInitRecord(c, rec.data());
    Put(c, rec.data(), 1, n);
    ASSERT_EQ(DbiInsertRecord(c, dbiNOLOCK, rec.data()), DBIERR_NONE);
  }
  DbiInitRecord(c, rec.data());
  Put(c, rec.data(), 1, "MARS");
  EXPECT_NE(DbiInsertRecord(c, dbiNOLOCK, rec.data()), DBIERR_NONE);  // the same key in another case
  auto name = [&] {
    char n[16] = {};
    bool blank = false;
    DbiGetField(c, 1, rec.data(), reinterpret_cast<std::uint8_t*>(n), blank);
    return std::string(n);
  };
  // Keys made from a record image with ExtractKey, as the data sets make them.
  auto keyOf = [&](const char* text) {
    std::vector<std::uint8_t> r(props.iRecBufSize);
    DbiInitRecord(c, r.data());
    Put(c, r.data(), 1, text);
    EXPECT_EQ(DbiExtractKey(c, r.data(), key.data()), DBIERR_NONE);
    return key.data();
  };
  EXPECT_EQ(DbiGetRecordForKey(c, true, 0, 0, keyOf("VENUS"), rec.data()), DBIERR_NONE);
  EXPECT_EQ(name(), "venus");
  EXPECT_EQ(DbiGetRecordForKey(c, true, 1, 2, keyOf("me"), rec.data()), DBIERR_NONE);
  EXPECT_EQ(name(), "Mercury");
  EXPECT_EQ(DbiGetRecordForKey(c, true, 0, 0, keyOf("Me"), rec.data()), DBIERR_RECNOTFOUND);
  EXPECT_EQ(DbiGetRecordForKey(c, true, 0, 0, keyOf("Zeus"), rec.data()), DBIERR_RECNOTFOUND);
  EXPECT_EQ(DbiGetRecordForKey(c, true, 1, 1, keyOf("Z"), rec.data()), DBIERR_RECNOTFOUND);
  DbiSetToKey(c, keySEARCHGEQ, true, 0, 0, keyOf("Mb"));
  EXPECT_EQ(DbiGetNextRecord(c, dbiNOLOCK, rec.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(name(), "Mercury");
  DbiSetToKey(c, keySEARCHGEQ, true, 0, 0, keyOf("Zeus"));
  EXPECT_EQ(DbiGetNextRecord(c, dbiNOLOCK, rec.data(), nullptr), DBIERR_EOF);
  EXPECT_EQ(DbiGetPriorRecord(c, dbiNOLOCK, rec.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(name(), "venus");
  DbiSetToKey(c, keySEARCHGEQ, true, 0, 0, keyOf(""));
  EXPECT_EQ(DbiGetNextRecord(c, dbiNOLOCK, rec.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(name(), "Earth");
  // A range over a part of the key.
  std::vector<std::uint8_t> lo(keyOf("m"), keyOf("m") + key.size());
  ASSERT_EQ(DbiSetRange(c, true, 1, 1, lo.data(), true, 1, 1, lo.data(), true), DBIERR_NONE);
  std::vector<std::string> seen;
  DbiSetToBegin(c);
  while (DbiGetNextRecord(c, dbiNOLOCK, rec.data(), nullptr) == DBIERR_NONE) seen.push_back(name());
  EXPECT_EQ(seen, (std::vector<std::string>{"Mars", "Mercury"}));
  DbiCloseCursor(c);
}

TEST_F(Edges, TableNamesLongerThanTheServerKeepsAreRefusedNotCut) {
  constexpr DBIResult kInvalidTableName = 10039;
  auto create = [&](const std::string& Name, bool Overwrite) {
    FLDDesc field;
    std::strcpy(field.szName, "Nr");
    field.iFldType = fldINT16;
    CRTblDesc desc;
    std::strncpy(desc.szTblName, Name.c_str(), sizeof desc.szTblName - 1);
    desc.iFldCount = 1;
    desc.pfldDesc = &field;
    return DbiCreateTable(db, Overwrite, desc);
  };
  const std::string fits(31, 'T'), longer = fits + "1", other = fits + "2";
  ASSERT_EQ(create(fits, false), DBIERR_NONE);
  hDBICur c = 0;
  ASSERT_EQ(DbiOpenTable(db, (fits + ".QND").c_str(), nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c), DBIERR_NONE);
  std::vector<std::uint8_t> rec(64);
  DbiInitRecord(c, rec.data());
  std::int16_t nr = 5;
  Put(c, rec.data(), 1, &nr);
  ASSERT_EQ(DbiInsertRecord(c, dbiNOLOCK, rec.data()), DBIERR_NONE);
  ASSERT_EQ(DbiCloseCursor(c), DBIERR_NONE);
  // Names that would be cut to the one above: none of them reaches its table.
  for (const std::string& name : {longer, other + ".QND", folder.string() + "/" + longer}) {
    EXPECT_EQ(create(name, true), kInvalidTableName) << name;
    c = 0;
    EXPECT_EQ(DbiOpenTable(db, name.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c), kInvalidTableName) << name;
    EXPECT_EQ(c, 0u);
    EXPECT_EQ(DbiEmptyTable(db, 0, name.c_str(), nullptr), kInvalidTableName) << name;
    EXPECT_EQ(DbiDeleteTable(db, name.c_str(), nullptr), kInvalidTableName) << name;
    auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
    EXPECT_EQ(database->RenameTable(name, "Moved"), kInvalidTableName) << name;
    EXPECT_EQ(database->RenameTable(fits, name), kInvalidTableName) << name;
  }
  ASSERT_EQ(DbiOpenTable(db, fits.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c), DBIERR_NONE);
  DbiSetToBegin(c);
  EXPECT_EQ(DbiGetNextRecord(c, dbiNOLOCK, rec.data(), nullptr), DBIERR_NONE) << "the record is still there";
  DbiCloseCursor(c);
}

TEST_F(Edges, EmptyingThroughAFilteredOrRangedCursorEmptiesTheWholeTable) {
  for (bool filtered : {true, false}) {
    hDBIFilter f = 0;
    if (filtered) {
      ASSERT_EQ(DbiAddFilter(cur, 0, 0, false, nullptr,
                             [](std::uint32_t, std::uint8_t* rec, std::int32_t) -> std::int16_t { return rec[0] != 'B'; }, f),
                DBIERR_NONE);
      ASSERT_EQ(DbiActivateFilter(cur, f), DBIERR_NONE);
    } else {
      ASSERT_EQ(DbiSetRange(cur, true, 0, 0, TNrKey(20)(), true, 0, 0, TNrKey(30)(), true), DBIERR_NONE);
    }
    EXPECT_EQ(DbiEmptyTable(db, cur, "Persons", nullptr), DBIERR_NONE);
    if (filtered) DbiDropFilter(cur, f);
    else DbiResetRange(cur);
    EXPECT_TRUE(Walk().empty()) << (filtered ? "filtered" : "ranged");
    std::uint32_t n = 9;
    EXPECT_EQ(TBapiListItem::Resolve<TBaseTable>(cur)->GetRecordCount(n), DBIERR_NONE);
    EXPECT_EQ(n, 0u);
    for (std::int16_t nr : {10, 20, 30}) {
      DbiInitRecord(cur, record.data());
      Put(cur, record.data(), 1, nr == 20 ? "Ben" : "Ann");
      Put(cur, record.data(), 3, &nr);
      ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
    }
  }
}

// Random inserts and deletes of numbers, and key searches of every kind for keys below, among,
// between and beyond them, checked against a set of the numbers.
TEST_F(Edges, ModelOfKeySearches) {
  std::map<int, std::string> model{{10, "Ada"}, {20, "Ben"}, {30, "Cyd"}, {40, "Dag"}};
  std::mt19937 rng(7);
  auto nrRead = [&](DBIResult r) { return r == DBIERR_NONE ? NrOf(cur, record) : -static_cast<int>(r); };
  for (int step = 0; step < 400; ++step) {
    const int k = std::uniform_int_distribution<int>(-3, 63)(rng);
    const std::string what = "step " + std::to_string(step) + " key " + std::to_string(k);
    switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
      case 0:
        if (k >= 0 && !model.count(k)) {
          DbiInitRecord(cur, record.data());
          Put(cur, record.data(), 1, "K");
          std::int16_t nr = static_cast<std::int16_t>(k);
          Put(cur, record.data(), 3, &nr);
          ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE) << what;
          model[k] = "K";
        }
        break;
      case 1:
        if (model.count(k)) {
          ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, TNrKey(static_cast<std::int16_t>(k))(), record.data()), DBIERR_NONE);
          ASSERT_EQ(DbiDeleteRecord(cur, nullptr), DBIERR_NONE) << what;
          model.erase(k);
        }
        break;
      case 2: {
        const DBIResult r = DbiGetRecordForKey(cur, true, 0, 0, TNrKey(static_cast<std::int16_t>(k))(), record.data());
        ASSERT_EQ(nrRead(r), model.count(k) ? k : -DBIERR_RECNOTFOUND) << what;
        if (r == DBIERR_NONE) {
          auto next = model.upper_bound(k);
          ASSERT_EQ(nrRead(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr)),
                    next == model.end() ? -DBIERR_EOF : next->first) << what;
        }
        break;
      }
      default: {
        const bool greater = std::uniform_int_distribution<int>(0, 1)(rng) == 1;
        DbiSetToKey(cur, greater ? keySEARCHGT : keySEARCHGEQ, true, 0, 0, TNrKey(static_cast<std::int16_t>(k))());
        auto at = greater ? model.upper_bound(k) : model.lower_bound(k);
        if (std::uniform_int_distribution<int>(0, 1)(rng)) {
          ASSERT_EQ(nrRead(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr)),
                    at == model.end() ? -DBIERR_EOF : at->first) << what << (greater ? " >" : " >=");
        } else {
          ASSERT_EQ(nrRead(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr)),
                    at == model.begin() ? -DBIERR_BOF : std::prev(at)->first) << what << (greater ? " >" : " >=");
        }
      }
    }
  }
  std::vector<std::string> want;
  for (const auto& [nr, name] : model) want.push_back(name);
  EXPECT_EQ(Walk(), want);
}

// Cached changes of a table whose last fields are shorter in the record than their values are
// in the interface (a single is a double there, a Boolean a 16-bit word).
TEST_F(Edges, CachedChangesStayInsideTheRecordBuffers) {
  dbengine::TqnDataDictionary dict(4096);
  dict.AddField("Nr", "", dbengine::qftInt16, 0, 0, true);
  dict.AddField("Flag", "", dbengine::qftBoolean, 0, 0, false);
  dict.AddField("Val", "", dbengine::qftSingle, 0, 0, false);
  dict.AddIndex("ByNr", "", 0, {0}, false, true, false);
  auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
  ASSERT_EQ(database->BuildTable("Values", true, dict), DBIERR_NONE);
  hDBICur c = 0;
  ASSERT_EQ(DbiOpenTable(db, "Values", nullptr, "ByNr", nullptr, 0, 0, 0, 0, false, nullptr, c), DBIERR_NONE);
  CURProps props;
  DbiGetCursorProps(c, props);
  // Buffers of exactly the size the cursor gives, so that a byte beyond them is seen.
  auto rec = std::make_unique<std::uint8_t[]>(props.iRecBufSize);
  for (std::int16_t nr : {1, 2, 3}) {
    DbiInitRecord(c, rec.get());
    Put(c, rec.get(), 1, &nr);
    std::int16_t yes = 1;
    Put(c, rec.get(), 2, &yes);
    double v = nr * 1.5;
    Put(c, rec.get(), 3, &v);
    ASSERT_EQ(DbiInsertRecord(c, dbiNOLOCK, rec.get()), DBIERR_NONE);
  }
  hDBICur cached = c;
  ASSERT_EQ(DbiBeginDelayedUpdates(cached), DBIERR_NONE);
  DbiSetToBegin(cached);
  ASSERT_EQ(DbiGetNextRecord(cached, dbiNOLOCK, rec.get(), nullptr), DBIERR_NONE);
  double v = 9.25;
  Put(cached, rec.get(), 3, &v);
  ASSERT_EQ(DbiModifyRecord(cached, rec.get(), false), DBIERR_NONE);
  ASSERT_EQ(DbiGetNextRecord(cached, dbiNOLOCK, rec.get(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiDeleteRecord(cached, rec.get()), DBIERR_NONE);
  DbiInitRecord(cached, rec.get());
  std::int16_t four = 4;
  Put(cached, rec.get(), 1, &four);
  ASSERT_EQ(DbiInsertRecord(cached, dbiNOLOCK, rec.get()), DBIERR_NONE);
  std::vector<double> seen;
  DbiSetToBegin(cached);
  while (DbiGetNextRecord(cached, dbiNOLOCK, rec.get(), nullptr) == DBIERR_NONE) {
    double got = 0;
    bool blank = false;
    DbiGetField(cached, 3, rec.get(), reinterpret_cast<std::uint8_t*>(&got), blank);
    seen.push_back(got);
  }
  EXPECT_EQ(seen, (std::vector<double>{9.25, 4.5}));
  // The change cache itself holds records in the source's layout: a value it cannot hold whole
  // is refused, never read or written past the record.
  TBaseTable* changes = nullptr;
  ASSERT_EQ(TBapiListItem::Resolve<TBaseTable>(cached)->GetDelayedUpdates(changes), DBIERR_NONE);
  bool blank = false;
  double wide = 0;
  EXPECT_EQ(changes->GetField(3, rec.get(), reinterpret_cast<std::uint8_t*>(&wide), blank), DBIERR_INVALIDFIELD);
  EXPECT_EQ(changes->PutField(3, rec.get(), reinterpret_cast<const std::uint8_t*>(&wide)), DBIERR_INVALIDFIELD);
  ASSERT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdPrepare), DBIERR_NONE);
  ASSERT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdCommit), DBIERR_NONE);
  ASSERT_EQ(DbiEndDelayedUpdates(cached), DBIERR_NONE);
  std::vector<int> nrs;
  DbiSetToBegin(c);
  while (DbiGetNextRecord(c, dbiNOLOCK, rec.get(), nullptr) == DBIERR_NONE) {
    std::int16_t nr = 0;
    bool blank = false;
    DbiGetField(c, 1, rec.get(), reinterpret_cast<std::uint8_t*>(&nr), blank);
    nrs.push_back(nr);
  }
  EXPECT_EQ(nrs, (std::vector<int>{1, 3, 4}));
  DbiCloseCursor(c);
}

TEST_F(Edges, NullBuffersAreRefusedByEveryCallThatFillsOne) {
  EXPECT_EQ(DbiGetFieldDescs(cur, nullptr), DBIERR_INVALIDPARAM);
  EXPECT_EQ(DbiGetIndexDescs(cur, nullptr), DBIERR_INVALIDPARAM);
  EXPECT_NE(DbiGetErrorString(DBIERR_EOF, nullptr), DBIERR_NONE);
  EXPECT_NE(DbiFormFullName(db, "Persons", nullptr, nullptr), DBIERR_NONE);
  EXPECT_NE(DbiGetLdName(nullptr, "Persons", nullptr), DBIERR_NONE);
  EXPECT_NE(DbiGetLdNameFromDB(db, "Persons", nullptr), DBIERR_NONE);
  EXPECT_EQ(DbiExtractKey(cur, record.data(), nullptr), DBIERR_INVALIDPARAM);
  EXPECT_NE(DbiInitRecord(cur, nullptr), DBIERR_NONE);
  std::uint32_t size = 0, read = 0;
  EXPECT_NE(DbiGetBlobSize(cur, nullptr, 1, size), DBIERR_NONE);
  EXPECT_NE(DbiGetBlob(cur, record.data(), 1, 0, 4, nullptr, read), DBIERR_NONE);
  EXPECT_NE(DbiPutBlob(cur, nullptr, 1, 0, 4, nullptr), DBIERR_NONE);
  EXPECT_NE(DbiOpenBlob(cur, nullptr, 1, dbiREADWRITE), DBIERR_NONE);
  EXPECT_NE(DbiGetRecordForKey(cur, true, 0, 0, nullptr, record.data()), DBIERR_NONE);
  EXPECT_NE(DbiSetToKey(cur, keySEARCHGEQ, true, 0, 0, nullptr), DBIERR_NONE);
  std::int16_t cmp = 0;
  EXPECT_NE(DbiCompareBookMarks(cur, nullptr, nullptr, cmp), DBIERR_NONE);
  EXPECT_NE(DbiSetToCursor(cur, 0), DBIERR_NONE);
  EXPECT_NE(DbiSetToCursor(0, cur), DBIERR_NONE);
  hDBICur none = 0;
  EXPECT_NE(DbiOpenFieldList(db, nullptr, nullptr, false, none), DBIERR_NONE);
  EXPECT_NE(DbiOpenFieldList(db, "Nosuch", nullptr, false, none), DBIERR_NONE);
  EXPECT_NE(DbiOpenVchkList(db, nullptr, nullptr, none), DBIERR_NONE);
  EXPECT_EQ(Walk().size(), 4u);
}

TEST_F(Edges, TablesTheEngineCannotKeepAreRefusedWithACode) {
  auto create = [&](std::uint16_t Fields, std::int16_t Units) {
    std::vector<FLDDesc> fields(Fields);
    for (std::uint16_t i = 0; i < Fields; ++i) {
      std::snprintf(fields[i].szName, sizeof fields[i].szName, "F%u", static_cast<unsigned>(i));
      fields[i].iFldType = fldZSTRING;
      fields[i].iUnits1 = Units;
    }
    CRTblDesc desc;
    std::strcpy(desc.szTblName, "Wide");
    desc.iFldCount = Fields;
    desc.pfldDesc = fields.data();
    return DbiCreateTable(db, true, desc);
  };
  DBIResult r = DBIERR_NONE;
  EXPECT_NO_THROW(r = create(0, 10));  // no fields
  EXPECT_EQ(r, DBIERR_INVALIDPARAM);
  EXPECT_NO_THROW(r = create(1, 5000));  // a record longer than a block
  EXPECT_EQ(r, DBIERR_INVALIDPARAM);
  EXPECT_NO_THROW(r = create(3, 1500));
  EXPECT_EQ(r, DBIERR_INVALIDPARAM);
  EXPECT_EQ(create(3, 1000), DBIERR_NONE);
  EXPECT_TRUE(std::filesystem::exists(folder / "Wide.QND"));
}

TEST_F(Edges, BlobOffsetsAndLengthsAtTheirLimits) {
  dbengine::TqnDataDictionary dict(4096);
  dict.AddField("Nr", "", dbengine::qftInt16, 0, 0, true);
  dict.AddField("Text", "", dbengine::qftBlobMemo, 0, 0, false);
  auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
  ASSERT_EQ(database->BuildTable("Memos", true, dict), DBIERR_NONE);
  hDBICur c = 0;
  ASSERT_EQ(DbiOpenTable(db, "Memos", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, c), DBIERR_NONE);
  CURProps props;
  DbiGetCursorProps(c, props);
  std::vector<std::uint8_t> rec(props.iRecBufSize);
  DbiInitRecord(c, rec.data());
  std::int16_t nr = 1;
  Put(c, rec.data(), 1, &nr);
  ASSERT_EQ(DbiOpenBlob(c, rec.data(), 2, dbiREADWRITE), DBIERR_NONE);
  const std::string text(65517, 'm');
  ASSERT_EQ(DbiPutBlob(c, rec.data(), 2, 0, 65517, reinterpret_cast<const std::uint8_t*>(text.data())), DBIERR_NONE);
  std::vector<std::uint8_t> big(65518 + 8, 0);
  EXPECT_EQ(DbiPutBlob(c, rec.data(), 2, 0, 65518, big.data()), DBIERR_INVALIDBLOBLEN);
  // Past the end: refused, the BLOB stays as it is.
  EXPECT_NE(DbiPutBlob(c, rec.data(), 2, 70000, 3, reinterpret_cast<const std::uint8_t*>("abc")), DBIERR_NONE);
  ASSERT_EQ(DbiPutBlob(c, rec.data(), 2, 65517, 3, reinterpret_cast<const std::uint8_t*>("end")), DBIERR_NONE);  // appends
  ASSERT_EQ(DbiInsertRecord(c, dbiNOLOCK, rec.data()), DBIERR_NONE);
  DbiSetToBegin(c);
  ASSERT_EQ(DbiGetNextRecord(c, dbiNOLOCK, rec.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiOpenBlob(c, rec.data(), 2, dbiREADONLY), DBIERR_NONE);
  std::uint32_t size = 0, read = 0;
  ASSERT_EQ(DbiGetBlobSize(c, rec.data(), 2, size), DBIERR_NONE);
  EXPECT_EQ(size, 65520u);
  EXPECT_EQ(DbiGetBlob(c, rec.data(), 2, 0, 65517, big.data(), read), DBIERR_NONE);
  EXPECT_EQ(read, 65517u);
  EXPECT_EQ(DbiGetBlob(c, rec.data(), 2, 0, 65518, big.data(), read), DBIERR_INVALIDBLOBLEN);
  EXPECT_EQ(DbiGetBlob(c, rec.data(), 2, 65517, 100, big.data(), read), DBIERR_NONE);
  EXPECT_EQ(read, 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(big.data()), 3), "end");
  read = 9;
  EXPECT_EQ(DbiGetBlob(c, rec.data(), 2, 70000, 10, big.data(), read), DBIERR_NONE);  // past the end: nothing
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(DbiFreeBlob(c, rec.data(), 2), DBIERR_NONE);
  DbiCloseCursor(c);
}

TEST_F(Edges, TableNamesAsTheDataSetsSendThem) {
  for (const char* name : {"persons", "PERSONS", "Persons.QND", "persons.qnd"}) {
    hDBICur c = 0;
    EXPECT_EQ(DbiOpenTable(db, name, nullptr, "ByNr", nullptr, 0, 0, 0, 0, false, nullptr, c), DBIERR_NONE) << name;
    if (c) {
      DbiSetToBegin(c);
      EXPECT_EQ(DbiGetNextRecord(c, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE) << name;
      DbiCloseCursor(c);
    }
  }
  std::string full = folder.string() + "/Persons.QND";
  hDBICur c = 0;
  EXPECT_EQ(DbiOpenTable(db, full.c_str(), nullptr, "ByNr", nullptr, 0, 0, 0, 0, false, nullptr, c), DBIERR_NONE);
  if (c) DbiCloseCursor(c);
}

}  // namespace
}  // namespace tw::dbaccess::test
