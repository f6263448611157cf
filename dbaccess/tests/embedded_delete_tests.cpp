// Deleting and changing records under several cursors of one table, through the entry points
// over the server started in this process: the next record read after a delete is the one that
// followed the deleted record, forwards and backwards, on the deleting cursor and on every other
// cursor, with ranges and filters, in an index's order and in the sequential order.
#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "dbaccess/basetable.h"
#include "dbaccess/database.h"
#include "dbaccess/tests/cursormodel.h"
#include "dbengine/storage/data_dictionary.h"
#include "embeddedsupport.h"

namespace tw::dbaccess::test {
namespace {

// Where the group and the number lie in a record image, for the filters of the tests.
std::int32_t grpOffset = 0, nrOffset = 0;

std::int16_t GrpOf(const std::uint8_t* Rec) {
  std::int16_t grp = 0;
  std::memcpy(&grp, Rec + grpOffset, 2);
  return grp;
}

std::int16_t NrOf(const std::uint8_t* Rec) {
  std::int16_t nr = 0;
  std::memcpy(&nr, Rec + nrOffset, 2);
  return nr;
}

// Persons with a name, a group and a unique number; indexes "ByNr" (unique) and "ByGrp" (groups
// repeat), besides the sequential order of index 0.
class Deletes : public EmbeddedServer {
 protected:
  void SetUp() override {
    EmbeddedServer::SetUp();
    OpenFolder(db);
    Build();
  }
  void Build() {
    dbengine::TqnDataDictionary dict(4096);
    dict.AddField("Name", "", dbengine::qftZString, 12, 0, true);
    dict.AddField("Grp", "", dbengine::qftInt16, 0, 0, false);
    dict.AddField("Nr", "", dbengine::qftInt16, 0, 0, true);
    dict.AddIndex("ByNr", "", 0, {2}, false, true, false);
    dict.AddIndex("ByGrp", "", 0, {1}, true, true, false);
    grpOffset = dict.FieldOffset(1);
    nrOffset = dict.FieldOffset(2);
    auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
    ASSERT_EQ(database->BuildTable("Persons", true, dict), DBIERR_NONE);
  }
  // A cursor on the index named, or in the sequential order when none is named.
  hDBICur Open(const char* Index) {
    hDBICur c = 0;
    EXPECT_EQ(DbiOpenTable(db, "Persons", nullptr, Index, nullptr, 0, 0, 0, 0, false, nullptr, c), DBIERR_NONE);
    if (recordSize == 0) {
      CURProps props;
      DbiGetCursorProps(c, props);
      recordSize = props.iRecBufSize;
    }
    return c;
  }
  std::vector<std::uint8_t> Image(hDBICur c, const std::string& Name, std::int16_t Grp, std::int16_t Nr) {
    std::vector<std::uint8_t> r(recordSize, 0);
    DbiInitRecord(c, r.data());
    Put(c, r.data(), 1, Name.c_str());
    Put(c, r.data(), 2, &Grp);
    Put(c, r.data(), 3, &Nr);
    return r;
  }
  DBIResult Insert(hDBICur c, const std::string& Name, std::int16_t Grp, std::int16_t Nr) {
    return DbiInsertRecord(c, dbiNOLOCK, Image(c, Name, Grp, Nr).data());
  }
  // Ada 10, Ben 20, Cyd 30, Dag 40, Eve 50, in groups 1, 2, 1, 2, 1.
  void Fill(hDBICur c) {
    const char* names[] = {"Ada", "Ben", "Cyd", "Dag", "Eve"};
    for (int i = 0; i < 5; ++i)
      ASSERT_EQ(Insert(c, names[i], static_cast<std::int16_t>(1 + i % 2), static_cast<std::int16_t>(10 * (i + 1))),
                DBIERR_NONE);
  }
  std::string Name(hDBICur c, const std::vector<std::uint8_t>& Rec) {
    char name[16] = {};
    bool blank = false;
    DbiGetField(c, 1, Rec.data(), reinterpret_cast<std::uint8_t*>(name), blank);
    return name;
  }
  // The name of the record read, or the result code when the read fails.
  std::string Next(hDBICur c) { return Read(c, DbiGetNextRecord(c, dbiNOLOCK, rec.data(), nullptr)); }
  std::string Prior(hDBICur c) { return Read(c, DbiGetPriorRecord(c, dbiNOLOCK, rec.data(), nullptr)); }
  std::string Current(hDBICur c) { return Read(c, DbiGetRecord(c, dbiNOLOCK, rec.data(), nullptr)); }
  std::string Read(hDBICur c, DBIResult r) { return r == DBIERR_NONE ? Name(c, rec) : std::to_string(r); }
  std::vector<std::string> Walk(hDBICur c) {
    std::vector<std::string> out;
    DbiSetToBegin(c);
    for (std::string n = Next(c); n != "8706"; n = Next(c)) out.push_back(n);
    return out;
  }
  // Stands c on the record named (reading from the start).
  void StandOn(hDBICur c, const std::string& Name) {
    DbiSetToBegin(c);
    for (std::string n = Next(c); n != Name; n = Next(c)) ASSERT_NE(n, "8706") << Name;
  }
  void SetNrRange(hDBICur c, std::int16_t From, std::int16_t To) {
    auto lo = Image(c, "", 0, From), hi = Image(c, "", 0, To);
    ASSERT_EQ(DbiSetRange(c, false, 0, 0, lo.data(), true, 0, 0, hi.data(), true), DBIERR_NONE);
  }
  hDBIDb db = 0;
  std::uint16_t recordSize = 0;
  std::vector<std::uint8_t> rec = std::vector<std::uint8_t>(256);
};

TEST_F(Deletes, TheNextReadAfterADeleteIsTheRecordThatFollowedIt) {
  for (const char* index : {"ByNr", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(index ? index : "sequential");
    Build();
    hDBICur c = Open(index);
    Fill(c);
    StandOn(c, "Ben");
    ASSERT_EQ(DbiDeleteRecord(c, nullptr), DBIERR_NONE);
    EXPECT_EQ(Next(c), "Cyd");
    ASSERT_EQ(DbiDeleteRecord(c, nullptr), DBIERR_NONE);
    EXPECT_EQ(Prior(c), "Ada") << "backwards the one before the deleted record";
    EXPECT_EQ(Next(c), "Dag");
    EXPECT_EQ(DbiDeleteRecord(c, nullptr), DBIERR_NONE);
    EXPECT_EQ(DbiDeleteRecord(c, nullptr), DBIERR_NOCURRREC) << "a gap is not a record to delete";
    EXPECT_EQ(Current(c), "Eve") << "the record read on a gap is the one after it";
    EXPECT_EQ(DbiDeleteRecord(c, nullptr), DBIERR_NONE);
    EXPECT_EQ(Next(c), "8706") << "the last record deleted: nothing follows";
    EXPECT_EQ(Prior(c), "Ada");
    EXPECT_EQ(Walk(c), (std::vector<std::string>{"Ada"}));
    DbiCloseCursor(c);
  }
}

TEST_F(Deletes, ALoopThatDeletesEveryRecordItMeetsDeletesThemAll) {
  for (const char* index : {"ByNr", "ByGrp", static_cast<const char*>(nullptr)}) {
    for (bool forwards : {true, false}) {
      SCOPED_TRACE(std::string(index ? index : "sequential") + (forwards ? " forwards" : " backwards"));
      Build();
      hDBICur c = Open(index);
      Fill(c);
      int deleted = 0;
      forwards ? DbiSetToBegin(c) : DbiSetToEnd(c);
      while ((forwards ? DbiGetNextRecord(c, dbiNOLOCK, rec.data(), nullptr)
                       : DbiGetPriorRecord(c, dbiNOLOCK, rec.data(), nullptr)) == DBIERR_NONE) {
        ASSERT_EQ(DbiDeleteRecord(c, nullptr), DBIERR_NONE);
        ++deleted;
      }
      EXPECT_EQ(deleted, 5);
      EXPECT_TRUE(Walk(c).empty());
      DbiCloseCursor(c);
    }
  }
}

TEST_F(Deletes, CursorsOnARecordAnotherCursorDeletesOrMovesGoOnFromItsPlace) {
  hDBICur a = Open("ByNr"), b = Open("ByNr"), s = Open(nullptr), g = Open("ByGrp");
  Fill(a);
  for (hDBICur c : {a, b, s, g}) StandOn(c, "Ben");
  ASSERT_EQ(DbiDeleteRecord(a, nullptr), DBIERR_NONE);
  EXPECT_EQ(Next(b), "Cyd");
  EXPECT_EQ(Prior(s), "Ada");
  EXPECT_EQ(Next(g), "Dag") << "group 2 after Ben";
  EXPECT_EQ(Next(a), "Cyd");

  // b stands on Dag, which a moves to the front by a new number: b goes on from Dag's old place.
  StandOn(a, "Dag");
  StandOn(b, "Dag");
  auto moved = Image(a, "Dag", 2, 5);
  ASSERT_EQ(DbiModifyRecord(a, moved.data(), false), DBIERR_NONE);
  EXPECT_EQ(Next(b), "Eve");
  EXPECT_EQ(Next(a), "Ada") << "the changing cursor stays on its record";

  // A change that keeps the key leaves the other cursor where it was: its record is read again.
  StandOn(a, "Cyd");
  StandOn(b, "Cyd");
  auto renamed = Image(a, "Cyx", 1, 30);
  ASSERT_EQ(DbiModifyRecord(a, renamed.data(), false), DBIERR_NONE);
  EXPECT_EQ(Current(b), "8709") << "the record changed under it is no longer current";
  EXPECT_EQ(Next(b), "Eve");
  EXPECT_EQ(Prior(b), "Cyx");

  // A cursor placed before a key stays before it while other cursors insert and delete.
  auto key = Image(a, "", 0, 50);
  ASSERT_EQ(DbiSetToKey(b, keySEARCHGEQ, false, 0, 0, key.data()), DBIERR_NONE);
  ASSERT_EQ(Insert(a, "Fay", 1, 60), DBIERR_NONE);
  ASSERT_EQ(Insert(a, "Eli", 1, 45), DBIERR_NONE);
  EXPECT_EQ(Next(b), "Eve");
  std::vector<std::string> all = Walk(s);
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (std::vector<std::string>{"Ada", "Cyx", "Dag", "Eli", "Eve", "Fay"}));
  for (hDBICur c : {a, b, s, g}) DbiCloseCursor(c);
}

TEST_F(Deletes, ACursorInTheSequentialOrderKeepsItsRecordWhileOthersChangeTheTable) {
  hDBICur s = Open(nullptr), a = Open("ByNr");
  Fill(a);
  StandOn(s, "Cyd");
  ASSERT_EQ(Insert(a, "Fay", 1, 60), DBIERR_NONE);
  EXPECT_EQ(Current(s), "Cyd");
  EXPECT_EQ(Next(s), "Dag");
  StandOn(a, "Ada");
  ASSERT_EQ(DbiDeleteRecord(a, nullptr), DBIERR_NONE);
  EXPECT_EQ(Prior(s), "Cyd");
  DbiCloseCursor(s);
  DbiCloseCursor(a);
}

TEST_F(Deletes, RangesAndFiltersHoldAroundTheGap) {
  hDBICur c = Open("ByNr"), f = Open("ByNr");
  Fill(c);
  SetNrRange(c, 20, 40);
  EXPECT_EQ(Walk(c), (std::vector<std::string>{"Ben", "Cyd", "Dag"}));
  StandOn(c, "Ben");
  ASSERT_EQ(DbiDeleteRecord(c, nullptr), DBIERR_NONE);
  EXPECT_EQ(Next(c), "Cyd");
  EXPECT_EQ(Prior(c), "8705") << "Ada lies before the range";
  StandOn(c, "Dag");
  ASSERT_EQ(DbiDeleteRecord(c, nullptr), DBIERR_NONE);
  EXPECT_EQ(Next(c), "8706") << "Eve lies past the range";
  EXPECT_EQ(Prior(c), "Cyd");

  hDBIFilter filter = 0;
  ASSERT_EQ(DbiAddFilter(f, 0, 0, false, nullptr,
                         [](std::uint32_t, std::uint8_t* r, std::int32_t) -> std::int16_t { return NrOf(r) != 40; },
                         filter),
            DBIERR_NONE);
  ASSERT_EQ(DbiActivateFilter(f, filter), DBIERR_NONE);
  ASSERT_EQ(Insert(c, "Ben", 2, 20), DBIERR_NONE);
  ASSERT_EQ(Insert(c, "Dag", 2, 40), DBIERR_NONE);
  EXPECT_EQ(Walk(f), (std::vector<std::string>{"Ada", "Ben", "Cyd", "Eve"}));
  StandOn(f, "Ben");
  StandOn(c, "Ben");
  ASSERT_EQ(DbiDeleteRecord(c, nullptr), DBIERR_NONE);
  EXPECT_EQ(Next(f), "Cyd") << "Ben deleted by the other cursor";
  ASSERT_EQ(DbiDeleteRecord(f, nullptr), DBIERR_NONE);
  EXPECT_EQ(Next(f), "Eve") << "Dag is filtered out";
  EXPECT_EQ(Prior(f), "Ada");
  DbiCloseCursor(c);
  DbiCloseCursor(f);
}

TEST_F(Deletes, CachedChangesToRecordsDeletedMeanwhileFailAndLeaveTheirNeighboursAlone) {
  hDBICur c = Open("ByNr"), other = Open("ByNr");
  Fill(c);
  hDBICur cached = c;
  ASSERT_EQ(DbiBeginDelayedUpdates(cached), DBIERR_NONE);
  DbiSetToBegin(cached);
  EXPECT_EQ(Next(cached), "Ada");
  EXPECT_EQ(Next(cached), "Ben");
  auto changed = Image(cached, "Bex", 2, 20);
  ASSERT_EQ(DbiModifyRecord(cached, changed.data(), false), DBIERR_NONE);
  EXPECT_EQ(Next(cached), "Cyd");
  ASSERT_EQ(DbiDeleteRecord(cached, nullptr), DBIERR_NONE);
  for (const char* gone : {"Ben", "Cyd"}) {
    StandOn(other, gone);
    ASSERT_EQ(DbiDeleteRecord(other, nullptr), DBIERR_NONE);
  }
  EXPECT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdPrepare), DBIERR_NOCURRREC);
  ASSERT_EQ(DbiApplyDelayedUpdates(cached, dbiDelayedUpdCommit), DBIERR_NONE);
  ASSERT_EQ(DbiEndDelayedUpdates(cached), DBIERR_NONE);
  EXPECT_EQ(Walk(other), (std::vector<std::string>{"Ada", "Dag", "Eve"})) << "Dag neither deleted nor changed";
  DbiCloseCursor(cached);
  DbiCloseCursor(other);
}

TEST_F(Deletes, ACloneOfARangedCursorStaysInTheRange) {
  hDBICur c = Open("ByNr");
  Fill(c);
  SetNrRange(c, 20, 40);
  StandOn(c, "Cyd");
  hDBICur clone = 0;
  ASSERT_EQ(DbiCloneCursor(c, false, false, clone), DBIERR_NONE);
  EXPECT_EQ(Next(clone), "Dag") << "the clone stands where its source stood";
  EXPECT_EQ(Next(clone), "8706");
  EXPECT_EQ(Walk(clone), (std::vector<std::string>{"Ben", "Cyd", "Dag"}));
  std::uint32_t count = 0;
  ASSERT_EQ(TBapiListItem::Resolve<TBaseTable>(clone)->GetExactRecordCount(count), DBIERR_NONE);
  EXPECT_EQ(count, 3u) << "the clone counts the records of its range";
  ASSERT_EQ(DbiResetRange(clone), DBIERR_NONE);
  ASSERT_EQ(TBapiListItem::Resolve<TBaseTable>(clone)->GetExactRecordCount(count), DBIERR_NONE);
  EXPECT_EQ(count, 5u);
  DbiCloseCursor(clone);
  DbiCloseCursor(c);
}

// Random inserts, deletes, changes and steps (next, prior, first, last, the current record) on
// five cursors of one table, each answer checked against the model: cursors by number, one of
// them with a range and a clone of it, one by group with a filter, one in the sequential order.
TEST_F(Deletes, ModelOfChangesAndStepsOnSeveralCursors) {
  using namespace tw::test::model;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Build();
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::vector<hDBICur> cursors = {Open("ByNr"), Open("ByNr"), Open("ByGrp"), Open(nullptr)};
    std::vector<TCursorModel> models(5);
    models[1].Lo = 20;
    models[1].Hi = 45;
    SetNrRange(cursors[1], 20, 45);
    models[2].Order = TOrder::ByGrp;
    models[2].Filtered = true;
    hDBIFilter filter = 0;
    ASSERT_EQ(DbiAddFilter(cursors[2], 0, 0, false, nullptr,
                           [](std::uint32_t, std::uint8_t* r, std::int32_t) -> std::int16_t { return GrpOf(r) != 3; },
                           filter),
              DBIERR_NONE);
    ASSERT_EQ(DbiActivateFilter(cursors[2], filter), DBIERR_NONE);
    models[3].Order = TOrder::Sequential;
    hDBICur clone = 0;
    ASSERT_EQ(DbiCloneCursor(cursors[1], false, false, clone), DBIERR_NONE);
    cursors.push_back(clone);
    models[4] = models[1];
    std::vector<TCursorModel*> all;
    for (TCursorModel& m : models) all.push_back(&m);
    for (hDBICur c : cursors) ASSERT_EQ(DbiSetToBegin(c), DBIERR_NONE);
    hDBICur probe = Open("ByNr");
    TTableModel table;

    auto freeNr = [&](const TCursorModel& m) { return FreeNumber(table, m, rng); };
    auto newGrp = [&](const TCursorModel& m) { return NewGroup(m, rng); };
    auto check = [&](TRead want, DBIResult got, hDBICur c, const std::string& what) {
      std::int16_t nr = 0, grp = 0;
      bool blank = false;
      DbiGetField(c, 3, rec.data(), reinterpret_cast<std::uint8_t*>(&nr), blank);
      ASSERT_EQ(got, want.Code) << what << (got == DBIERR_NONE ? " read " + std::to_string(nr) : std::string());
      if (got != DBIERR_NONE) return;
      DbiGetField(c, 2, rec.data(), reinterpret_cast<std::uint8_t*>(&grp), blank);
      ASSERT_EQ(nr, want.Nr) << what;
      ASSERT_EQ(grp, table.Rows.at(want.Nr).Grp) << what;
      ASSERT_EQ(Name(c, rec), table.Rows.at(want.Nr).Name) << what;
    };

    for (int i = 0; i < 20; ++i) {
      TPerson p{freeNr(models[0]), newGrp(models[0]), "", 0};
      p.Name = "P" + std::to_string(p.Nr);
      ASSERT_EQ(Insert(cursors[0], p.Name, static_cast<std::int16_t>(p.Grp), static_cast<std::int16_t>(p.Nr)),
                DBIERR_NONE);
      p.Ref = ReferenceOf(cursors[0]);
      table.Inserted(models[0], p);
    }
    for (int step = 0; step < 600; ++step) {
      const std::size_t k = static_cast<std::size_t>(pick(static_cast<int>(cursors.size())));
      hDBICur c = cursors[k];
      TCursorModel& m = models[k];
      const int op = pick(100);
      const std::string what =
          "step " + std::to_string(step) + " cursor " + std::to_string(k) + " op " + std::to_string(op);
      if (op < 30) {
        check(table.Next(m), DbiGetNextRecord(c, dbiNOLOCK, rec.data(), nullptr), c, what + " next");
      } else if (op < 50) {
        check(table.Prior(m), DbiGetPriorRecord(c, dbiNOLOCK, rec.data(), nullptr), c, what + " prior");
      } else if (op < 54) {
        ASSERT_EQ(DbiSetToBegin(c), DBIERR_NONE);
        m.Place = TPlace::BOF;
        check(table.Next(m), DbiGetNextRecord(c, dbiNOLOCK, rec.data(), nullptr), c, what + " first");
      } else if (op < 58) {
        ASSERT_EQ(DbiSetToEnd(c), DBIERR_NONE);
        m.Place = TPlace::EOF_;
        check(table.Prior(m), DbiGetPriorRecord(c, dbiNOLOCK, rec.data(), nullptr), c, what + " last");
      } else if (op < 66) {
        check(table.Get(m), DbiGetRecord(c, dbiNOLOCK, rec.data(), nullptr), c, what + " current");
      } else if (op < 78) {
        TPerson p{freeNr(m), newGrp(m), "", 0};
        if (p.Nr == 0) continue;
        p.Name = "N" + std::to_string(step);
        ASSERT_EQ(Insert(c, p.Name, static_cast<std::int16_t>(p.Grp), static_cast<std::int16_t>(p.Nr)), DBIERR_NONE)
            << what;
        p.Ref = ReferenceOf(c);
        table.Inserted(m, p);
      } else if (op < 90) {
        if (m.Place != TPlace::On) {
          ASSERT_EQ(DbiDeleteRecord(c, nullptr), DBIERR_NOCURRREC) << what << " delete off a record";
          continue;
        }
        ASSERT_EQ(DbiDeleteRecord(c, nullptr), DBIERR_NONE) << what;
        table.Deleted(m, m.Nr, all);
      } else {
        TPerson p = m.Place == TPlace::On ? table.Rows.at(m.Nr) : TPerson{1, 1, "", 0};
        p.Name = "M" + std::to_string(step);
        const int how = pick(3);
        if (how == 1) p.Grp = newGrp(m);
        if (how == 2 && freeNr(m) != 0) p.Nr = freeNr(m);
        auto image = Image(c, p.Name, static_cast<std::int16_t>(p.Grp), static_cast<std::int16_t>(p.Nr));
        if (m.Place != TPlace::On) {
          ASSERT_EQ(DbiModifyRecord(c, image.data(), false), DBIERR_NOCURRREC) << what << " change off a record";
          continue;
        }
        ASSERT_EQ(DbiModifyRecord(c, image.data(), false), DBIERR_NONE) << what;
        table.Modified(m, m.Nr, p, all);
      }
      if (HasFatalFailure()) {
        std::string server, model;
        for (const std::string& n : Walk(probe)) server += " " + n;
        for (const TPerson* p : table.Ordered(TOrder::ByNr)) model += " " + p->Name;
        ADD_FAILURE() << "the table holds" << server << "\nthe model holds" << model;
        return;
      }
      if (step % 50 == 49) {
        std::vector<std::string> want;
        for (const TPerson* p : table.Ordered(TOrder::ByNr)) want.push_back(p->Name);
        ASSERT_EQ(Walk(probe), want) << what;
      }
    }
    for (hDBICur c : cursors) DbiCloseCursor(c);
    DbiCloseCursor(probe);
  }
}

}  // namespace
}  // namespace tw::dbaccess::test
