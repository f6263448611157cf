// Deleting and changing records through the data-set classes over the real access layer and the
// server started in this process: the record that followed a deleted one becomes current, and
// data sets on one table go on from the places of records that the others delete or change.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dataset/tests/engine/realengine.h"
#include "dbaccess/tests/cursormodel.h"

namespace tw::test {
namespace {

// Persons with a name, a group and a unique number, by number ("ByNr"), by group ("ByGrp", groups
// repeat) or in the sequential order (no index).
class DataSetDeletes : public RealEngine {
 protected:
  void SetUp() override {
    RealEngine::SetUp();
    TTable* t = NewTable("People.QND");
    t->FieldDefs().Add("Name", TFieldType::ftString, 12, true);
    t->FieldDefs().Add("Grp", TFieldType::ftSmallint);
    t->FieldDefs().Add("Nr", TFieldType::ftSmallint, 0, true);
    t->IndexDefs().Add("ByNr", "Nr", true, true);
    t->IndexDefs().Add("ByGrp", "Grp", false, false);
    t->CreateTable();
  }
  TTable* OpenOn(const std::string& Index) {
    TTable* t = NewTable("People.QND");
    if (!Index.empty()) t->SetIndexName(Index);
    t->Open();
    return t;
  }
  static void Add(TTable* T, const std::string& Name, int Grp, int Nr) {
    T->Append();
    T->FieldByName("Name")->SetAsString(Name);
    T->FieldByName("Grp")->SetAsInteger(Grp);
    T->FieldByName("Nr")->SetAsInteger(Nr);
    T->Post();
  }
  // Ada 10, Ben 20, Cyd 30, Dag 40, Eve 50, in groups 1, 2, 1, 2, 1.
  static void Fill(TTable* T) {
    const char* names[] = {"Ada", "Ben", "Cyd", "Dag", "Eve"};
    for (int i = 0; i < 5; ++i) Add(T, names[i], 1 + i % 2, 10 * (i + 1));
  }
  static std::string Name(TTable* T) { return T->FieldByName("Name")->AsString(); }
  static void GoTo(TTable* T, const std::string& Name) {
    for (T->First(); !T->Eof() && T->FieldByName("Name")->AsString() != Name;) T->Next();
    ASSERT_EQ(T->FieldByName("Name")->AsString(), Name);
  }
};

TEST_F(DataSetDeletes, DeleteMakesTheFollowingRecordCurrentAndEmptiesTheTableWhileNotEof) {
  for (const std::string index : {"ByNr", "ByGrp", ""}) {
    SCOPED_TRACE(index.empty() ? "sequential" : index);
    TTable* t = OpenOn(index);
    Fill(t);
    GoTo(t, "Ada");
    t->Next();
    const std::string second = Name(t);
    t->Next();
    const std::string third = Name(t);
    t->Prior();
    t->Delete();
    EXPECT_EQ(Name(t), third) << "the record after the deleted one is current";
    EXPECT_FALSE(t->Eof());
    t->Last();
    t->Prior();
    const std::string beforeLast = Name(t);
    t->Last();
    t->Delete();
    EXPECT_EQ(Name(t), beforeLast) << "the last deleted: the one before it is current";
    EXPECT_TRUE(t->Eof());
    EXPECT_EQ(t->RecordCount(), 3);
    t->First();
    int deleted = 0;
    while (!t->Eof()) {
      t->Delete();
      ++deleted;
    }
    EXPECT_EQ(deleted, 3);
    EXPECT_TRUE(t->IsEmpty());
    EXPECT_EQ(t->RecordCount(), 0);
    t->Close();
  }
}

TEST_F(DataSetDeletes, ADataSetGoesOnFromTheRecordAnotherDeletesAndNeverDeletesItsNeighbour) {
  TTable* a = OpenOn("ByNr");
  TTable* b = OpenOn("ByNr");
  Fill(a);
  GoTo(a, "Ben");
  GoTo(b, "Ben");
  a->Delete();
  EXPECT_EQ(Name(b), "Ben") << "b still shows what it read";
  b->Next();
  EXPECT_EQ(Name(b), "Cyd");
  GoTo(a, "Cyd");
  a->Delete();
  b->Prior();
  EXPECT_EQ(Name(b), "Ada");
  GoTo(b, "Dag");
  GoTo(a, "Dag");
  a->Delete();
  // b's record is gone: neither its delete nor its change reaches Eve, the record after it.
  EXPECT_THROW(b->Delete(), EDBEngineError);
  b->Edit();
  b->FieldByName("Name")->SetAsString("Changed");
  EXPECT_THROW(b->Post(), EDBEngineError);
  b->Cancel();
  b->First();
  std::vector<std::string> left;
  for (; !b->Eof(); b->Next()) left.push_back(Name(b));
  EXPECT_EQ(left, (std::vector<std::string>{"Ada", "Eve"}));

  // b's record moved away by a change of its number: b does not delete the record now in its place.
  GoTo(a, "Ada");
  GoTo(b, "Ada");
  a->Edit();
  a->FieldByName("Nr")->SetAsInteger(60);
  a->Post();
  EXPECT_THROW(b->Delete(), EDBEngineError);
  EXPECT_EQ(a->RecordCount(), 2);
}

// The data-set classes over a cursor of the model: what a data set shows and its Bof and Eof
// after each of its operations, as they read, write and place their cursor.
class TDataSetModel {
 public:
  model::TCursorModel Cursor;
  bool Empty = true, Bof = true, Eof = true;
  model::TPerson Shown;  // the record the data set shows
  bool HaveMark = false;
  std::uint32_t MarkRef = 0;  // the bookmark saved: the record's reference and its key
  model::TKey MarkKey{};

  bool Fetch(model::TTableModel& T, bool Forward) {
    const model::TRead r = Forward ? T.Next(Cursor) : T.Prior(Cursor);
    if (r.Code != 0) {
      Restore(T);
      return false;
    }
    Shown = T.Rows.at(r.Nr);
    Mark(Shown);
    Empty = false;
    return true;
  }
  void Mark(const model::TPerson& P) {
    HaveMark = true;
    MarkRef = P.Ref;
    MarkKey = model::KeyOf(Cursor.Order, P);
  }
  // Back to the bookmark: on its record while that is there under the same key, else on the gap.
  void Restore(model::TTableModel& T) {
    if (!HaveMark) return;
    for (const auto& [nr, p] : T.Rows) {
      if (p.Ref == MarkRef && model::KeyOf(Cursor.Order, p) == MarkKey) {
        Cursor.Place = model::TPlace::On;
        Cursor.At = MarkKey;
        Cursor.Nr = nr;
        return;
      }
    }
    Cursor.Place = model::TPlace::Gap;
    Cursor.At = MarkKey;
  }
  void AtEnd(model::TTableModel& T, bool First) {
    HaveMark = false;
    Cursor.Place = First ? model::TPlace::BOF : model::TPlace::EOF_;
    if (Fetch(T, First)) {
      Bof = First;
      Eof = !First;
    } else {
      Empty = Bof = Eof = true;
    }
  }
  void Next(model::TTableModel& T) {
    if (Eof || Empty) {
      Eof = true;
      return;
    }
    if (Fetch(T, true)) Bof = false;
    else Eof = true;
  }
  void Prior(model::TTableModel& T) {
    if (Bof || Empty) {
      Bof = true;
      return;
    }
    if (Fetch(T, false)) Eof = false;
    else Bof = true;
  }
  // After a delete of the record under the cursor.
  void Deleted(model::TTableModel& T) {
    HaveMark = false;
    if (Fetch(T, true)) {
      Bof = Eof = false;
    } else if (Fetch(T, false)) {
      Bof = false;
      Eof = true;
    } else {
      Empty = Bof = Eof = true;
    }
  }
  // After a posted insert or change: the record under the cursor is shown and marked.
  void Posted(model::TTableModel& T) {
    Shown = T.Rows.at(Cursor.Nr);
    Mark(Shown);
    Empty = false;
    Bof = Eof = false;
  }
};

// Random inserts, deletes, changes and steps (next, prior, first, last) through four data sets on
// one table, checked against the model: by number, by number within a range, by group with a
// filter, and in the sequential order.
TEST_F(DataSetDeletes, ModelOfChangesAndStepsOnSeveralDataSets) {
  using namespace model;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::vector<TTable*> sets = {OpenOn("ByNr"), OpenOn("ByNr"), OpenOn("ByGrp"), OpenOn("")};
    std::vector<TDataSetModel> models(4);
    TTableModel table;
    std::vector<TCursorModel*> all;
    for (TDataSetModel& m : models) all.push_back(&m.Cursor);
    models[2].Cursor.Order = TOrder::ByGrp;
    models[3].Cursor.Order = TOrder::Sequential;

    auto freeNr = [&](const TCursorModel& m) { return FreeNumber(table, m, rng); };
    auto newGrp = [&](const TCursorModel& m) { return NewGroup(m, rng); };
    auto put = [](TTable* t, const TPerson& p) {
      t->FieldByName("Name")->SetAsString(p.Name);
      t->FieldByName("Grp")->SetAsInteger(p.Grp);
      t->FieldByName("Nr")->SetAsInteger(p.Nr);
      t->Post();
    };
    auto insert = [&](std::size_t k, TPerson p) {
      sets[k]->Append();
      put(sets[k], p);
      p.Ref = ReferenceOf(sets[k]->Handle());
      table.Inserted(models[k].Cursor, p);
      models[k].Posted(table);
    };

    for (int i = 0; i < 20; ++i) {
      const int nr = freeNr(models[0].Cursor);
      insert(0, TPerson{nr, newGrp(models[0].Cursor), "P" + std::to_string(nr), 0});
    }
    sets[1]->SetRange({std::int64_t{20}}, {std::int64_t{45}});
    models[1].Cursor.Lo = 20;
    models[1].Cursor.Hi = 45;
    models[1].AtEnd(table, true);
    sets[2]->SetFilter("Grp <> 3");
    sets[2]->SetFiltered(true);
    models[2].Cursor.Filtered = true;
    models[2].AtEnd(table, true);
    for (std::size_t k : {0u, 3u}) {
      sets[k]->First();
      models[k].AtEnd(table, true);
    }

    for (int step = 0; step < 500; ++step) {
      const std::size_t k = static_cast<std::size_t>(pick(static_cast<int>(sets.size())));
      TTable* t = sets[k];
      TDataSetModel& m = models[k];
      const int op = pick(100);
      const std::string what = "step " + std::to_string(step) + " data set " + std::to_string(k) + " op " +
                               std::to_string(op);
      if (op < 30) {
        t->Next();
        m.Next(table);
      } else if (op < 50) {
        t->Prior();
        m.Prior(table);
      } else if (op < 55) {
        t->First();
        m.AtEnd(table, true);
      } else if (op < 60) {
        t->Last();
        m.AtEnd(table, false);
      } else if (op < 75) {
        const int nr = freeNr(m.Cursor);
        if (nr == 0) continue;
        insert(k, TPerson{nr, newGrp(m.Cursor), "N" + std::to_string(step), 0});
      } else if (op < 88) {
        if (m.Empty) continue;
        m.Restore(table);
        if (m.Cursor.Place != TPlace::On) {
          std::string rows;
          for (const auto& [nr, r] : table.Rows) rows += " " + std::to_string(nr) + "@" + std::to_string(r.Ref);
          EXPECT_THROW(t->Delete(), EDBEngineError) << what << " delete of a record gone: mark " << m.MarkRef << " key "
                                                    << m.MarkKey.first << " rows" << rows;
        } else {
          t->Delete();
          table.Deleted(m.Cursor, m.Cursor.Nr, all);
          m.Deleted(table);
        }
      } else {
        if (m.Empty) continue;
        m.Restore(table);
        // The record as it is now (another data set may have changed it since it was shown).
        TPerson p = m.Cursor.Place == TPlace::On ? table.Rows.at(m.Cursor.Nr) : m.Shown;
        p.Name = "M" + std::to_string(step);
        const int how = pick(3);
        if (how == 1) p.Grp = newGrp(m.Cursor);
        if (how == 2 && freeNr(m.Cursor) != 0) p.Nr = freeNr(m.Cursor);
        t->Edit();
        if (m.Cursor.Place != TPlace::On) {
          EXPECT_THROW(put(t, p), EDBEngineError) << what << " change of a record gone";
          t->Cancel();
        } else {
          put(t, p);
          table.Modified(m.Cursor, m.Cursor.Nr, p, all);
          m.Posted(table);
        }
      }
      ASSERT_EQ(t->IsEmpty(), m.Empty) << what;
      ASSERT_EQ(t->Bof(), m.Bof) << what;
      ASSERT_EQ(t->Eof(), m.Eof) << what;
      if (!m.Empty) {
        ASSERT_EQ(t->FieldByName("Nr")->AsInteger(), m.Shown.Nr) << what;
        ASSERT_EQ(t->FieldByName("Grp")->AsInteger(), m.Shown.Grp) << what;
        ASSERT_EQ(Name(t), m.Shown.Name) << what;
      }
    }
    for (TTable* t : sets) t->Close();
    TTable* check = OpenOn("ByNr");
    std::vector<std::string> names, want;
    for (check->First(); !check->Eof(); check->Next()) names.push_back(Name(check));
    for (const TPerson* p : table.Ordered(TOrder::ByNr)) want.push_back(p->Name);
    EXPECT_EQ(names, want);
    check->EmptyTable();
    check->Close();
  }
}

}  // namespace
}  // namespace tw::test
