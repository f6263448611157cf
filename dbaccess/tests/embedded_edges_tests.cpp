// The entry points at the edges of tables, keys, handles and cached changes, called as the
// data-set classes call them, over the embedded server.
#include <cstring>

#include "dbaccess/basetable.h"
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

  ASSERT_EQ(DbiSetRange(cur, true, 0, 0, TNrKey(100)(), true, 0, 0, TNrKey(200)(), true),
            DBIERR_NONE);
  DbiSetToBegin(cur);
  EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_EOF);
  DbiSetToEnd(cur);
  EXPECT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_BOF);
  ASSERT_EQ(DbiSetRange(cur, true, 0, 0, TNrKey(11)(), true, 0, 0, TNrKey(19)(), true),
            DBIERR_NONE);
  DbiSetToBegin(cur);
  EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_EOF);
  DbiSetToEnd(cur);
  EXPECT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_BOF);
  std::uint32_t n = 9;
  EXPECT_EQ(TBapiListItem::Resolve<TBaseTable>(cur)->GetExactRecordCount(n), DBIERR_NONE);
  EXPECT_EQ(n, 0u);
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
