// Data sets at the ends of empty and one-record tables, and under ranges that hold nothing,
// over the real access layer.
#include "dataset/tests/engine/realengine.h"

namespace tw::test {
namespace {

class Ends : public RealEngine {
 protected:
  void SetUp() override {
    RealEngine::SetUp();
    T = NewTable("Persons.QND");
    T->FieldDefs().Add("Nr", TFieldType::ftInteger, 0, true);
    T->FieldDefs().Add("Name", TFieldType::ftString, 10);
    T->IndexDefs().Add("ByNr", "Nr", true, true);
    T->CreateTable();
    T->SetIndexName("ByNr");
    T->Open();
  }
  void Add(int Nr, const char* Name) {
    T->Append();
    T->FieldByName("Nr")->SetAsInteger(Nr);
    T->FieldByName("Name")->SetAsString(Name);
    T->Post();
  }
  std::vector<int> Nrs() {
    std::vector<int> out;
    for (T->First(); !T->Eof(); T->Next()) out.push_back(T->FieldByName("Nr")->AsInteger());
    return out;
  }
  void ExpectEmpty(const char* Why) {
    T->First();
    EXPECT_TRUE(T->Bof() && T->Eof()) << Why;
    EXPECT_TRUE(T->IsEmpty()) << Why;
    T->Last();
    EXPECT_TRUE(T->Bof() && T->Eof()) << Why;
    T->Next();
    T->Prior();
    EXPECT_TRUE(T->Bof() && T->Eof()) << Why;
    EXPECT_EQ(T->RecordCount(), 0) << Why;
    EXPECT_TRUE(T->FieldByName("Name")->IsNull()) << Why;
    EXPECT_EQ(T->MoveBy(3), 0) << Why;
    EXPECT_FALSE(T->FindKey({std::int64_t{1}})) << Why;
  }
  TTable* T = nullptr;
};

TEST_F(Ends, EmptyAndOneRecordTablesAndTheirLastDelete) {
  ExpectEmpty("new table");
  T->FindNearest({std::int64_t{5}});
  EXPECT_TRUE(T->Eof());
  // An insert cancelled leaves it empty; one posted is the only record, at both ends.
  T->Insert();
  T->FieldByName("Nr")->SetAsInteger(7);
  T->Cancel();
  ExpectEmpty("cancelled insert");
  Add(7, "Solo");
  T->First();
  EXPECT_FALSE(T->Eof());
  EXPECT_EQ(T->FieldByName("Name")->AsString(), "Solo");
  T->Next();
  EXPECT_TRUE(T->Eof());
  EXPECT_EQ(T->FieldByName("Name")->AsString(), "Solo");
  T->Prior();
  EXPECT_TRUE(T->Bof());
  EXPECT_EQ(T->FieldByName("Name")->AsString(), "Solo");
  EXPECT_EQ(T->RecordCount(), 1);
  T->FindNearest({std::int64_t{99}});
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 7);
  T->FindNearest({std::int64_t{-99}});
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 7);
  EXPECT_TRUE(T->FindKey({std::int64_t{7}}));
  T->Edit();
  T->FieldByName("Nr")->SetAsInteger(8);
  T->Post();
  EXPECT_EQ(Nrs(), std::vector<int>{8});
  T->Delete();
  ExpectEmpty("last record deleted");
}

TEST_F(Ends, RangesThatHoldNothingOrOneRecord) {
  for (int nr : {10, 20, 30}) Add(nr, "P");
  for (auto [lo, hi] : {std::pair{11, 19}, std::pair{31, 99}, std::pair{-5, 9}, std::pair{25, 15}}) {
    T->SetRange({std::int64_t{lo}}, {std::int64_t{hi}});
    ExpectEmpty(("range " + std::to_string(lo) + ".." + std::to_string(hi)).c_str());
    T->CancelRange();
  }
  T->SetRange({std::int64_t{20}}, {std::int64_t{20}});
  EXPECT_EQ(Nrs(), std::vector<int>{20});
  EXPECT_EQ(T->RecordCount(), 1);
  T->Last();
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 20);
  T->FindNearest({std::int64_t{25}});
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 20);
  EXPECT_FALSE(T->FindKey({std::int64_t{30}}));
  T->Delete();
  ExpectEmpty("range's only record deleted");
  T->CancelRange();
  EXPECT_EQ(Nrs(), (std::vector<int>{10, 30}));
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

class Memos : public RealEngine {
 protected:
  void SetUp() override {
    RealEngine::SetUp();
    T = NewTable("Texts.QND");
    T->FieldDefs().Add("Nr", TFieldType::ftInteger, 0, true);
    T->FieldDefs().Add("Text", TFieldType::ftMemo);
    T->IndexDefs().Add("ByNr", "Nr", true, true);
    T->CreateTable();
    T->SetIndexName("ByNr");
    T->Open();
    for (int nr : {1, 2}) {
      T->Append();
      T->FieldByName("Nr")->SetAsInteger(nr);
      T->FieldByName("Text")->SetAsString("first " + std::to_string(nr));
      T->Post();
    }
  }
  std::string TextOf(int Nr) {
    EXPECT_TRUE(T->FindKey({std::int64_t{Nr}}));
    return T->FieldByName("Text")->AsString();
  }
  TTable* T = nullptr;
};

TEST_F(Memos, AMemoChangedInAnEditThatIsCancelledOrFailsKeepsItsText) {
  ASSERT_TRUE(T->FindKey({std::int64_t{1}}));
  T->Edit();
  T->FieldByName("Text")->SetAsString("changed");
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "changed");
  T->Cancel();
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "first 1");
  EXPECT_EQ(TextOf(1), "first 1");

  // A Post that fails (the number is taken) writes neither the record nor its memo.
  ASSERT_TRUE(T->FindKey({std::int64_t{1}}));
  T->Edit();
  T->FieldByName("Text")->SetAsString("lost");
  T->FieldByName("Nr")->SetAsInteger(2);
  EXPECT_THROW(T->Post(), EDatabaseError);
  T->Cancel();
  EXPECT_EQ(TextOf(1), "first 1");
  EXPECT_EQ(TextOf(2), "first 2");

  // A Post that succeeds keeps the new text; an insert cancelled leaves no text behind.
  ASSERT_TRUE(T->FindKey({std::int64_t{2}}));
  T->Edit();
  T->FieldByName("Text")->SetAsString("second");
  T->Post();
  EXPECT_EQ(TextOf(2), "second");
  T->Insert();
  T->FieldByName("Nr")->SetAsInteger(3);
  T->FieldByName("Text")->SetAsString("never");
  T->Cancel();
  EXPECT_FALSE(T->FindKey({std::int64_t{3}}));
  EXPECT_EQ(T->RecordCount(), 2);
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

TEST_F(Ends, AnEditStartsFromTheRecordAsItIsNowNotAsItWasRead) {
  Add(10, "Ada");
  Add(20, "Ben");
  TTable* other = NewTable("Persons.QND");
  other->SetIndexName("ByNr");
  other->Open();
  // The other data set renames the record this one shows; this one then changes its number.
  auto renameThenRenumber = [&](const char* Name, int Nr) {
    other->Edit();
    other->FieldByName("Name")->SetAsString(Name);
    other->Post();
    // This data set still shows what it read; its edit takes the record as the other left it.
    T->Edit();
    EXPECT_EQ(T->FieldByName("Name")->AsString(), Name);
    T->FieldByName("Nr")->SetAsInteger(Nr);
    T->Post();
    EXPECT_EQ(T->FieldByName("Name")->AsString(), Name) << "the other's change is kept";
  };
  ASSERT_TRUE(T->FindKey({std::int64_t{10}}));  // placed by its key
  ASSERT_TRUE(other->FindKey({std::int64_t{10}}));
  renameThenRenumber("Abe", 11);
  T->Last();  // placed by a bookmark
  ASSERT_EQ(T->FieldByName("Name")->AsString(), "Ben");
  other->Last();
  renameThenRenumber("Bob", 21);
  EXPECT_EQ(Nrs(), (std::vector<int>{11, 21}));

  // A record another deleted is not swapped for its neighbour: the edit keeps what was read,
  // and its Post fails without touching the neighbour.
  T->First();
  ASSERT_EQ(T->FieldByName("Nr")->AsInteger(), 11);
  other->First();
  other->Delete();
  T->Edit();
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 11);
  EXPECT_EQ(T->FieldByName("Name")->AsString(), "Abe");
  T->FieldByName("Name")->SetAsString("Gone");
  EXPECT_THROW(T->Post(), EDatabaseError);
  T->Cancel();
  EXPECT_EQ(Nrs(), std::vector<int>{21});
  EXPECT_EQ(T->FieldByName("Name")->AsString(), "Bob");
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

TEST_F(Memos, TextFieldsOfEveryLengthReadBackWhatWasWritten) {
  for (int size : {1, 255, 8191, 8192, 8193, 9000}) {
    TTable* t = NewTable("Long" + std::to_string(size) + ".QND");
    t->FieldDefs().Add("Nr", TFieldType::ftInteger, 0, true);
    t->FieldDefs().Add("S", TFieldType::ftString, size);
    try {
      t->CreateTable();
    } catch (const EDatabaseError&) {
      continue;  // a length the engine cannot keep as text is refused when the table is made
    }
    t->Open();
    const std::string text(static_cast<std::size_t>(size) + 5, 'x');
    t->Append();
    t->FieldByName("Nr")->SetAsInteger(1);
    t->FieldByName("S")->SetAsString(text);
    t->Post();
    t->Close();
    t->Open();
    t->First();
    EXPECT_EQ(t->FieldByName("S")->AsString(), text.substr(0, static_cast<std::size_t>(size))) << size;
    t->Close();
  }
}

}  // namespace
}  // namespace tw::test
