// The whole road of the application's transit list: the embedded server started in this
// process on the offscreen display, a session, a table keyed by language, transit body, radix
// body and aspect with a memo field in a fresh folder, records inserted, searched by key and
// their memo read.
#include <unistd.h>

#include <algorithm>
#include <memory>

#include <filesystem>

#include "dbaccess/basetable.h"
#include "dbaccess/commsengine.h"
#include "dbaccess/database.h"
#include "dbaccess/embedded.h"
#include "dbaccess/session.h"
#include "dbengine/base/errors.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/storage/data_dictionary.h"
#include "embeddedsupport.h"
#include "filterexpr.h"

namespace tw::dbaccess::test {
namespace {

TEST_F(EmbeddedServer, TransitTextsAreFoundByKeyAndTheirMemoRead) {
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  ASSERT_TRUE(Boxes.empty()) << Boxes[0].Text;
  hDBIDb db = 0;
  std::string path = folder.string() + "/";
  ASSERT_EQ(DbiOpenDatabase(path.c_str(), nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, db),
            DBIERR_NONE);

  dbengine::TqnDataDictionary dict(4096);
  dict.AddField("Lang", "", dbengine::qftZString, 4, 0, true);
  dict.AddField("Trans", "", dbengine::qftInt16, 0, 0, true);
  dict.AddField("Radix", "", dbengine::qftInt16, 0, 0, true);
  dict.AddField("Aspect", "", dbengine::qftInt16, 0, 0, true);
  dict.AddField("Interpretation", "", dbengine::qftBlobMemo, 0, 0, false);
  dict.AddIndex("XPKTransTexts", "", 0, {0, 1, 2, 3}, false, true, true);
  auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
  ASSERT_NE(database, nullptr);
  ASSERT_EQ(database->BuildTable("Interprt.QND", true, dict), DBIERR_NONE);

  hDBICur cur = 0;
  ASSERT_EQ(DbiOpenTable(db, "Interprt.QND", nullptr, "XPKTransTexts", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0,
                         false, nullptr, cur),
            DBIERR_NONE);
  CURProps props;
  ASSERT_EQ(DbiGetCursorProps(cur, props), DBIERR_NONE);
  ASSERT_EQ(props.iFields, 5);
  std::vector<std::uint8_t> record(props.iRecBufSize);

  struct Row {
    std::int16_t Trans, Radix, Aspect;
    std::string Text;
  };
  std::vector<Row> rows = {{0, 1, 4, "Sun trine Moon: harmony between will and feeling."},
                           {4, 3, 3, std::string(3000, 'x') + " square"},
                           {4, 3, 1, "@120"}};
  for (const Row& r : rows) {
    DbiInitRecord(cur, record.data());
    Put(cur, record.data(), 1, "ENG");
    Put(cur, record.data(), 2, &r.Trans);
    Put(cur, record.data(), 3, &r.Radix);
    Put(cur, record.data(), 4, &r.Aspect);
    ASSERT_EQ(DbiOpenBlob(cur, record.data(), 5, 0), DBIERR_NONE);
    ASSERT_EQ(DbiPutBlob(cur, record.data(), 5, 0, static_cast<std::uint32_t>(r.Text.size()),
                         reinterpret_cast<const std::uint8_t*>(r.Text.data())),
              DBIERR_NONE);
    ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
  }

  for (const Row& r : rows) {
    DbiInitRecord(cur, record.data());
    Put(cur, record.data(), 1, "ENG");
    Put(cur, record.data(), 2, &r.Trans);
    Put(cur, record.data(), 3, &r.Radix);
    Put(cur, record.data(), 4, &r.Aspect);
    std::vector<std::uint8_t> found(props.iRecBufSize);
    ASSERT_EQ(DbiGetRecordForKey(cur, false, 4, 0, record.data(), found.data()), DBIERR_NONE);
    std::uint32_t size = 0;
    ASSERT_EQ(DbiGetBlobSize(cur, found.data(), 5, size), DBIERR_NONE);
    ASSERT_EQ(size, r.Text.size());
    std::string memo(size, '\0');
    std::uint32_t read = 0;
    ASSERT_EQ(DbiGetBlob(cur, found.data(), 5, 0, size, reinterpret_cast<std::uint8_t*>(memo.data()), read),
              DBIERR_NONE);
    EXPECT_EQ(memo, r.Text);
  }

  // A key that is not there, and a walk over all records in key order.
  std::int16_t nine = 9;
  Put(cur, record.data(), 2, &nine);
  EXPECT_NE(DbiGetRecordForKey(cur, false, 4, 0, record.data(), record.data()), DBIERR_NONE);
  DbiSetToBegin(cur);
  int count = 0;
  while (DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr) == DBIERR_NONE) ++count;
  EXPECT_EQ(count, 3);

  EXPECT_EQ(DbiCloseCursor(cur), DBIERR_NONE);

  // The table's fields as the field list presents them.
  hDBICur fields = 0;
  ASSERT_EQ(DbiOpenFieldList(db, "Interprt.QND", nullptr, false, fields), DBIERR_NONE);
  std::vector<std::string> names;
  FLDDesc fd;
  while (DbiGetNextRecord(fields, dbiNOLOCK, reinterpret_cast<std::uint8_t*>(&fd), nullptr) == DBIERR_NONE) {
    names.push_back(fd.szName);
    if (names.size() == 5) {
      EXPECT_EQ(fd.iFldType, fldBLOB);
      EXPECT_EQ(fd.iSubType, fldstMEMO);
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Lang", "Trans", "Radix", "Aspect", "Interpretation"}));
  EXPECT_EQ(DbiCloseCursor(fields), DBIERR_NONE);

  // The folder's tables.
  hDBICur tables = 0;
  ASSERT_EQ(database->OpenTableList(tables), DBIERR_NONE);
  TBLBaseDesc td;
  bool seen = false;
  while (DbiGetNextRecord(tables, dbiNOLOCK, reinterpret_cast<std::uint8_t*>(&td), nullptr) == DBIERR_NONE)
    if (std::string(td.szName) == "Interprt" || std::string(td.szName) == "INTERPRT") seen = true;
  EXPECT_TRUE(seen);
  EXPECT_EQ(DbiCloseCursor(tables), DBIERR_NONE);
  EXPECT_EQ(DbiCloseDatabase(db), DBIERR_NONE);
}

TEST_F(EmbeddedTable, NavigationEndsAndBookmarks) {
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ada", "Ben", "Cyd", "Dag"}));
  // Past the end the server answers 8706 and asks again each time.
  EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_EOF);
  DbiSetToBegin(cur);
  EXPECT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_BOF);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  CURProps props;
  DbiGetCursorProps(cur, props);
  std::vector<std::uint8_t> mark(props.iBookMarkSize), other(props.iBookMarkSize);
  ASSERT_EQ(DbiGetBookMark(cur, mark.data()), DBIERR_NONE);
  std::int16_t cmp = 9;
  EXPECT_EQ(DbiCompareBookMarks(cur, mark.data(), mark.data(), cmp), DBIERR_NONE);
  EXPECT_EQ(cmp, 0);
  DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr);
  DbiGetBookMark(cur, other.data());
  DbiCompareBookMarks(cur, mark.data(), other.data(), cmp);
  EXPECT_EQ(cmp, -1);
  ASSERT_EQ(DbiSetBookMark(cur, mark.data()), DBIERR_NONE);
  ASSERT_EQ(DbiGetRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(NameOf(record), "Ben");
  std::uint32_t count = 0;
  EXPECT_EQ(TBapiListItem::Resolve<TBaseTable>(cur)->GetRecordCount(count), DBIERR_NONE);
  EXPECT_EQ(count, 4u);
}

TEST_F(EmbeddedTable, EmptyingLeavesBuffersOfEarlierCallsAlone) {
  // The last buffer a read was given stays the caller's: emptying the table later must neither
  // write into a live one nor touch one that has been freed since.
  std::vector<std::uint8_t> kept(record.size());
  DbiSetToBegin(cur);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, kept.data(), nullptr), DBIERR_NONE);
  std::fill(kept.begin(), kept.end(), 0xA5);
  auto* table = TBapiListItem::Resolve<TBaseTable>(cur);
  ASSERT_EQ(table->EmptyTable(), DBIERR_NONE);
  EXPECT_TRUE(std::all_of(kept.begin(), kept.end(), [](std::uint8_t b) { return b == 0xA5; }));
  EXPECT_TRUE(Walk().empty());

  for (std::int16_t nr : {1, 2}) {
    DbiInitRecord(cur, record.data());
    Put(cur, record.data(), 1, "Eve");
    Put(cur, record.data(), 3, &nr);
    ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
  }
  auto gone = std::make_unique<std::vector<std::uint8_t>>(record.size());
  DbiSetToBegin(cur);
  ASSERT_EQ(DbiGetPriorRecord(cur, dbiNOLOCK, gone->data(), nullptr), DBIERR_BOF);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, gone->data(), nullptr), DBIERR_NONE);
  gone.reset();
  ASSERT_EQ(table->EmptyTable(), DBIERR_NONE);
  EXPECT_TRUE(Walk().empty());
}

TEST_F(EmbeddedTable, FiltersRunOverServerRecords) {
  hDBIFilter f = 0;
  ASSERT_EQ(DbiAddFilter(cur, 0, 0, false, nullptr,
                         [](std::uint32_t, std::uint8_t* rec, std::int32_t) -> std::int16_t { return rec[0] != 'B'; }, f),
            DBIERR_NONE);
  ASSERT_EQ(DbiActivateFilter(cur, f), DBIERR_NONE);
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ada", "Cyd", "Dag"}));
  EXPECT_EQ(DbiDropFilter(cur, f), DBIERR_NONE);
  EXPECT_EQ(Walk().size(), 4u);
}

// A filter comparing the 16-bit field with numbers of other widths and kinds compares numbers.
TEST_F(EmbeddedTable, FiltersCompareNumbersOfEveryWidthAsNumbers) {
  auto walkWith = [&](std::uint32_t Op, std::uint16_t Type, const void* Value, std::uint16_t Size) {
    ExprBuilder b;
    std::vector<std::uint8_t> expr = b.Block(b.Binary(Op, b.Field("Nr"), b.Const(Type, Value, Size)));
    hDBIFilter f = 0;
    EXPECT_EQ(DbiAddFilter(cur, 0, 0, false, expr.data(), nullptr, f), DBIERR_NONE);
    DbiActivateFilter(cur, f);
    std::vector<std::string> names = Walk();
    DbiDropFilter(cur, f);
    return names;
  };
  const std::int32_t twenty = 20, big = 100000;
  const std::uint16_t thirty = 30;
  const std::uint32_t forty = 40;
  const double twentyFive = 25.0;
  EXPECT_EQ(walkWith(canEQ, fldINT32, &twenty, 4), std::vector<std::string>{"Ben"});
  EXPECT_EQ(walkWith(canLT, fldINT32, &big, 4).size(), 4u);
  EXPECT_EQ(walkWith(canEQ, fldUINT16, &thirty, 2), std::vector<std::string>{"Cyd"});
  EXPECT_EQ(walkWith(canGE, fldUINT32, &forty, 4), std::vector<std::string>{"Dag"});
  EXPECT_EQ(walkWith(canLT, fldFLOAT, &twentyFive, 8), (std::vector<std::string>{"Ada", "Ben"}));
}

// The filter's description hands back the filter's own expression: the caller's block may be
// gone by then.
TEST_F(EmbeddedTable, FilterInformationHoldsTheFiltersOwnExpression) {
  hDBIFilter f = 0;
  std::vector<std::uint8_t> kept;
  {
    const std::int16_t twenty = 20;
    ExprBuilder b;
    std::vector<std::uint8_t> expr = b.Block(b.Binary(canEQ, b.Field("Nr"), b.Const(fldINT16, &twenty, 2)));
    kept = expr;
    ASSERT_EQ(DbiAddFilter(cur, 0, 0, false, expr.data(), nullptr, f), DBIERR_NONE);
  }
  FILTERInfo info;
  ASSERT_EQ(TBapiListItem::Resolve<TBaseTable>(cur)->GetFilterInfo(f, 1, info), DBIERR_NONE);
  ASSERT_NE(info.pCanExpr, nullptr);
  EXPECT_EQ(std::vector<std::uint8_t>(static_cast<const std::uint8_t*>(info.pCanExpr),
                                      static_cast<const std::uint8_t*>(info.pCanExpr) + kept.size()),
            kept);
}

// Emptying through a shared cursor leaves it as it was: its range in force on the server, and
// shared, whether the table could be had on its own or not.
TEST_F(EmbeddedTable, EmptyingThroughASharedCursorKeepsItsRangeAndItsShareMode) {
  std::vector<std::uint8_t> low(record.size()), high(record.size());
  const std::int16_t twenty = 20, thirty = 30;
  DbiInitRecord(cur, low.data());
  Put(cur, low.data(), 3, &twenty);
  DbiInitRecord(cur, high.data());
  Put(cur, high.data(), 3, &thirty);
  ASSERT_EQ(DbiSetRange(cur, false, 0, 0, low.data(), true, 0, 0, high.data(), true), DBIERR_NONE);
  ASSERT_EQ(Walk(), (std::vector<std::string>{"Ben", "Cyd"}));

  ASSERT_EQ(DbiEmptyTable(db, cur, "Persons", nullptr), DBIERR_NONE);
  EXPECT_TRUE(Walk().empty());
  const char* names[4] = {"Ada", "Ben", "Cyd", "Dag"};
  for (std::int16_t i = 0; i < 4; ++i) {
    DbiInitRecord(cur, record.data());
    Put(cur, record.data(), 1, names[i]);
    const std::int16_t nr = static_cast<std::int16_t>(10 * (i + 1));
    Put(cur, record.data(), 3, &nr);
    ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
  }
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ben", "Cyd"}));

  // Shared again: a second cursor opens beside it, and then the table cannot be emptied.
  hDBICur other = 0;
  ASSERT_EQ(DbiOpenTable(db, "Persons", nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false, nullptr,
                         other),
            DBIERR_NONE);
  EXPECT_EQ(DbiEmptyTable(db, cur, "Persons", nullptr), dbengine::qnresNeedExclusive);
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ben", "Cyd"}));
  std::uint32_t count = 0;
  EXPECT_EQ(TBapiListItem::Resolve<TBaseTable>(other)->GetRecordCount(count), DBIERR_NONE);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(DbiCloseCursor(other), DBIERR_NONE);
}

// A date-time reads back as it was written, to the millisecond, and a record posted again
// with what was read stores the same value.
TEST_F(EmbeddedServer, DateTimesReadBackToTheMillisecond) {
  hDBIDb db = 0;
  OpenFolder(db);
  dbengine::TqnDataDictionary dict(4096);
  dict.AddField("At", "", dbengine::qftDateTime, 0, 0, true);
  ASSERT_EQ(TBapiListItem::Resolve<TQNClientDatabase>(db)->BuildTable("Moments", true, dict), DBIERR_NONE);
  hDBICur cur = 0;
  ASSERT_EQ(DbiOpenTable(db, "Moments", nullptr, nullptr, nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false, nullptr,
                         cur),
            DBIERR_NONE);
  CURProps props;
  DbiGetCursorProps(cur, props);
  std::vector<std::uint8_t> record(props.iRecBufSize);
  std::int32_t day = 0;
  ASSERT_EQ(DbiDateEncode(7, 5, 2024, day), DBIERR_NONE);
  std::vector<double> written;
  for (int second = 0; second < 20; ++second) {
    // Every second from 10:00:00 on: a time stamp counts the day's milliseconds after the date's.
    const double stamp = static_cast<double>(day) * 86400000.0 + 36000000.0 + second * 1000.0;
    written.push_back(stamp);
    DbiInitRecord(cur, record.data());
    Put(cur, record.data(), 1, &stamp);
    ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
  }
  auto readAll = [&] {
    std::vector<double> read;
    DbiSetToBegin(cur);
    while (DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr) == DBIERR_NONE) {
      double stamp = 0;
      bool blank = true;
      EXPECT_EQ(DbiGetField(cur, 1, record.data(), reinterpret_cast<std::uint8_t*>(&stamp), blank), DBIERR_NONE);
      std::int32_t d = 0, t = 0;
      DbiTimeStampDecode(stamp, d, t);
      EXPECT_EQ(d, day);
      read.push_back(stamp);
      // Posted again as read.
      Put(cur, record.data(), 1, &stamp);
      EXPECT_EQ(DbiModifyRecord(cur, record.data(), true), DBIERR_NONE);
    }
    return read;
  };
  EXPECT_EQ(readAll(), written);
  EXPECT_EQ(readAll(), written);
  DbiCloseCursor(cur);
}

TEST_F(EmbeddedTable, InvalidDatesAreRefusedAndLeaveTheFieldAlone) {
  DbiInitRecord(cur, record.data());
  std::int32_t date = 0;
  DbiDateEncode(3, 14, 1879, date);
  ASSERT_EQ(DbiPutField(cur, 2, record.data(), reinterpret_cast<const std::uint8_t*>(&date)), DBIERR_NONE);
  std::int32_t zero = 0;
  EXPECT_EQ(DbiPutField(cur, 2, record.data(), reinterpret_cast<const std::uint8_t*>(&zero)), DBIERR_INVALIDPARAM);
  std::int32_t back = 0;
  bool blank = true;
  ASSERT_EQ(DbiGetField(cur, 2, record.data(), reinterpret_cast<std::uint8_t*>(&back), blank), DBIERR_NONE);
  EXPECT_FALSE(blank);
  EXPECT_EQ(back, date);
  EXPECT_EQ(DbiPutField(cur, 2, record.data(), nullptr), DBIERR_NONE);
  DbiGetField(cur, 2, record.data(), reinterpret_cast<std::uint8_t*>(&back), blank);
  EXPECT_TRUE(blank);
}

TEST_F(EmbeddedTable, CachedUpdatesReachTheServerOnlyWhenApplied) {
  hDBICur cached = cur;
  ASSERT_EQ(DbiBeginDelayedUpdates(cached), DBIERR_NONE);
  DbiSetToBegin(cached);
  ASSERT_EQ(DbiGetNextRecord(cached, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  Put(cached, record.data(), 1, "Eve");
  ASSERT_EQ(DbiModifyRecord(cached, record.data(), false), DBIERR_NONE);
  ASSERT_EQ(DbiGetNextRecord(cached, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiDeleteRecord(cached, nullptr), DBIERR_NONE);

  std::vector<std::string> seen;
  DbiSetToBegin(cached);
  while (DbiGetNextRecord(cached, dbiNOLOCK, record.data(), nullptr) == DBIERR_NONE) seen.push_back(NameOf(record));
  EXPECT_EQ(seen, (std::vector<std::string>{"Eve", "Cyd", "Dag"}));
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ada", "Ben", "Cyd", "Dag"}));

  ASSERT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdPrepare), DBIERR_NONE);
  ASSERT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdCommit), DBIERR_NONE);
  ASSERT_EQ(DbiEndDelayedUpdates(cached), DBIERR_NONE);
  EXPECT_EQ(cached, cur);
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Eve", "Cyd", "Dag"}));
}

}  // namespace
}  // namespace tw::dbaccess::test
