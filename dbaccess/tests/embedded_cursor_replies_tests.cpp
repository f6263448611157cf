// Two cursors on one table of the embedded server: every answer belongs to the cursor that
// asked, even when a reply bundle of the other cursor still waits in the client's queue.
#include <cstring>

#include "dbaccess/basetable.h"
#include "embeddedsupport.h"

namespace tw::dbaccess::test {
namespace {

class TwoCursors : public EmbeddedTable {
 protected:
  void SetUp() override {
    EmbeddedTable::SetUp();
    ASSERT_EQ(DbiOpenTable(db, "Persons", nullptr, "ByNr", nullptr, 0, 0, 0, 0, false, nullptr, other), DBIERR_NONE);
    CURProps props;
    DbiGetCursorProps(cur, props);
    markSize = props.iBookMarkSize;
    otherRecord.assign(record.size(), 0);
  }
  // Stands `Cursor` on the record with number Nr through a key search.
  void StandOn(hDBICur Cursor, std::int16_t Nr, std::vector<std::uint8_t>& Rec) {
    DbiInitRecord(Cursor, Rec.data());
    Put(Cursor, Rec.data(), 3, &Nr);
    ASSERT_EQ(DbiGetRecordForKey(Cursor, false, 1, 0, Rec.data(), Rec.data()), DBIERR_NONE);
  }
  std::string Current(hDBICur Cursor, std::vector<std::uint8_t>& Rec) {
    std::fill(Rec.begin(), Rec.end(), 0);
    if (DbiGetRecord(Cursor, dbiNOLOCK, Rec.data(), nullptr) != DBIERR_NONE) return "<none>";
    char name[16] = {};
    bool blank = false;
    DbiGetField(Cursor, 1, Rec.data(), reinterpret_cast<std::uint8_t*>(name), blank);
    return name;
  }
  hDBICur other = 0;
  std::vector<std::uint8_t> otherRecord;
  std::uint16_t markSize = 0;
};

TEST_F(TwoCursors, BookmarkAfterTheOtherCursorsReadIsOwn) {
  StandOn(other, 40, otherRecord);  // Dag
  DbiSetToBegin(cur);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);  // Ada
  std::vector<std::uint8_t> mark(markSize);
  ASSERT_EQ(DbiGetBookMark(other, mark.data()), DBIERR_NONE);
  DbiSetToBegin(other);
  ASSERT_EQ(DbiSetBookMark(other, mark.data()), DBIERR_NONE);
  EXPECT_EQ(Current(other, otherRecord), "Dag");
  // The reading cursor's own bookmark still names its own record.
  ASSERT_EQ(DbiGetBookMark(cur, mark.data()), DBIERR_NONE);
  DbiSetToEnd(cur);
  ASSERT_EQ(DbiSetBookMark(cur, mark.data()), DBIERR_NONE);
  EXPECT_EQ(Current(cur, record), "Ada");
}

TEST_F(TwoCursors, RecordAfterTheOtherCursorsInsertIsOwn) {
  StandOn(other, 20, otherRecord);  // Ben
  DbiInitRecord(cur, record.data());
  Put(cur, record.data(), 1, "Eve");
  std::int16_t nr = 50;
  Put(cur, record.data(), 3, &nr);
  ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
  EXPECT_EQ(Current(other, otherRecord), "Ben");
  std::vector<std::uint8_t> mark(markSize);
  ASSERT_EQ(DbiGetBookMark(other, mark.data()), DBIERR_NONE);
  DbiSetToBegin(other);
  DbiSetBookMark(other, mark.data());
  EXPECT_EQ(Current(other, otherRecord), "Ben");
  EXPECT_EQ(Current(cur, record), "Eve");
}

TEST_F(TwoCursors, InterleavedReadsKeySearchesAndInsertsStayApart) {
  DbiSetToBegin(cur);
  DbiSetToEnd(other);
  std::vector<std::string> forward, backward;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    ASSERT_EQ(DbiGetPriorRecord(other, dbiNOLOCK, otherRecord.data(), nullptr), DBIERR_NONE);
    forward.push_back(Current(cur, record));
    backward.push_back(Current(other, otherRecord));
  }
  EXPECT_EQ(forward, (std::vector<std::string>{"Ada", "Ben", "Cyd", "Dag"}));
  EXPECT_EQ(backward, (std::vector<std::string>{"Dag", "Cyd", "Ben", "Ada"}));

  // A key search of one cursor between the other's insert and its reads.
  DbiInitRecord(cur, record.data());
  Put(cur, record.data(), 1, "Fay");
  std::int16_t nr = 60;
  Put(cur, record.data(), 3, &nr);
  ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
  StandOn(other, 30, otherRecord);
  EXPECT_EQ(Current(other, otherRecord), "Cyd");
  EXPECT_EQ(Current(cur, record), "Fay");
  std::vector<std::uint8_t> a(markSize), b(markSize);
  ASSERT_EQ(DbiGetBookMark(cur, a.data()), DBIERR_NONE);
  ASSERT_EQ(DbiGetBookMark(other, b.data()), DBIERR_NONE);
  EXPECT_NE(std::memcmp(a.data(), b.data(), markSize), 0);
}

}  // namespace
}  // namespace tw::dbaccess::test
