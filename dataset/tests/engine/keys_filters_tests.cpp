// Key searches, filters handed to the access layer and long memos, over the real access layer
// and the server started inside this process.
#include <algorithm>
#include <map>

#include "dbaccess/basetable.h"
#include "dataset/enginefilter.h"
#include "dataset/filterexpr.h"
#include "dataset/tests/engine/realengine.h"

namespace tw::test {
namespace {

// Messages with blanks among them: Id identifies a record, the other fields may be empty.
class Records : public RealEngine {
 protected:
  void SetUp() override {
    RealEngine::SetUp();
    T = NewTable("Messages.QND");
    T->FieldDefs().Add("Id", TFieldType::ftInteger, 0, true);
    T->FieldDefs().Add("Lang", TFieldType::ftString, 3);
    T->FieldDefs().Add("Nr", TFieldType::ftSmallint);
    T->FieldDefs().Add("W", TFieldType::ftWord);
    T->FieldDefs().Add("F", TFieldType::ftFloat);
    T->FieldDefs().Add("Text", TFieldType::ftMemo);
    T->IndexDefs().Add("XPKMsgs", "Lang;Nr;Id", true, true);
    T->CreateTable();
    T->SetIndexName("XPKMsgs");
    T->Open();
    struct Row {
      const char* Lang;
      int Nr, W;
      double F;
    };
    const Row rows[] = {{"ENG", 1, 5, 2.5},  {"ENG", 3, 0, -1},   {"DEU", 1, 7, 0},    {"DEU", 0, 1, 1.5},
                        {"", -1, -1, 0.25},  {"ENG", 0, 65535, 9}, {"FRA", 12, 3, 2.5}, {"eng", 2, 2, 0}};
    int id = 0;
    for (const Row& r : rows) {
      T->Append();
      T->FieldByName("Id")->SetAsInteger(++id);
      if (*r.Lang) T->FieldByName("Lang")->SetAsString(r.Lang);
      if (r.Nr >= 0) T->FieldByName("Nr")->SetAsInteger(r.Nr);  // -1: left blank
      if (r.W >= 0) T->FieldByName("W")->SetAsInteger(r.W);
      if (r.F != 0) T->FieldByName("F")->SetAsFloat(r.F);
      T->Post();
    }
  }
  std::vector<int> Ids() {
    std::vector<int> out;
    for (T->First(); !T->Eof(); T->Next()) out.push_back(T->FieldByName("Id")->AsInteger());
    return out;
  }
  int EngineFilters() { return dbaccess::TBapiListItem::Resolve<dbaccess::TBaseTable>(T->Handle())->FilterCount(); }
  TTable* T = nullptr;
};

TEST_F(Records, FilteredRecordsAreThoseTheExpressionAccepts) {
  const char* const texts[] = {"Lang = 'ENG'", "Lang = 'eng'", "Nr = 0", "Nr <> 0", "Nr <> 3", "Nr >= 1 and Nr < 3",
                               "0 < Nr", "W = 65535", "W <> 0", "W > 4", "F = 2.5", "F <> 0", "F < 1",
                               "Lang = 'ENG' or Lang = 'DEU'", "not Lang = 'ENG'", "Lang <> 'ENG'",
                               "Lang = 'ENG' and (Nr = 1 or F = 9)", "Nr = 2.5", "Lang = 'ENGLISH'"};
  for (const char* text : texts) {
    // What the expression accepts, record by record, without any filter in place.
    TFilterExpression e(text);
    std::vector<int> expected;
    for (T->First(); !T->Eof(); T->Next())
      if (e.Evaluate([&](const std::string& n) { return T->FieldByName(n)->Value(); }))
        expected.push_back(T->FieldByName("Id")->AsInteger());
    T->SetFilter(text);
    T->SetFiltered(true);
    EXPECT_EQ(Ids(), expected) << text;
    EXPECT_EQ(T->RecordCount(), static_cast<int>(expected.size())) << text;
    T->SetFiltered(false);
  }
}

TEST_F(Records, TheAccessLayerHoldsTheBlockWhileFiltered) {
  T->SetFilter("Lang = 'ENG'");
  EXPECT_EQ(EngineFilters(), 0);
  T->SetFiltered(true);
  EXPECT_EQ(EngineFilters(), 1);
  T->SetFilter("not Nr = 1");
  EXPECT_EQ(EngineFilters(), 0);
  T->SetFilter("Nr = 1");
  EXPECT_EQ(EngineFilters(), 1);
  T->First();
  T->Edit();
  T->FieldByName("Nr")->SetAsInteger(4);  // no longer passes: still the current record
  T->Post();
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 4);
  EXPECT_EQ(Ids(), (std::vector<int>{1}));
  T->SetFiltered(false);
  EXPECT_EQ(EngineFilters(), 0);
}

TEST_F(Records, FindNearestPlacesTheCursorByKey) {
  // Index order: blank, DEU 0, DEU 1, ENG 0, ENG 1, ENG 3, FRA 12, eng 2 (case counts).
  T->FindNearest({std::string("ENG"), std::int64_t{2}});
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 2);
  T->Next();
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 7);
  T->FindNearest({std::string("E")});  // part of a text key
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 6);
  T->FindNearest({std::string("zzz")});  // every key below: the last record
  EXPECT_TRUE(T->Eof());
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 8);
  T->SetFilter("Nr <> 3");
  T->SetFiltered(true);
  T->FindNearest({std::string("ENG"), std::int64_t{2}});
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 7);
  T->SetFiltered(false);
  T->SetRange({std::string("DEU")}, {std::string("DEU")});
  T->FindNearest({std::string("ENG")});  // beyond the range: its last record
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 3);
}

TEST_F(Records, AFailedFindKeyLeavesTheCursorWhereItWas) {
  ASSERT_TRUE(T->FindKey({std::string("DEU"), std::int64_t{1}}));
  EXPECT_FALSE(T->FindKey({std::string("DEU"), std::int64_t{9}}));
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 3);
  T->Next();  // the engine's cursor stands there too
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 6);
}

TEST_F(Records, MemosLongerThanOneRequestAreWrittenAndReadWhole) {
  std::string text(200000, '.');
  for (std::size_t i = 0; i < text.size(); i += 1000) text[i] = static_cast<char>('A' + i / 1000 % 26);
  T->First();
  T->Edit();
  T->FieldByName("Text")->SetAsString(text);
  T->Post();
  T->Last();
  T->First();
  EXPECT_EQ(T->FieldByName("Text")->AsString(), text);
  T->Edit();
  T->FieldByName("Text")->SetAsString("short");
  T->Post();
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "short");
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// After a key search on a unique index the record found is current without a bookmark being
// asked for; every later step still starts from it, whatever the cursor did meanwhile.
TEST_F(Records, ARecordFoundByKeyStaysCurrentThroughFailedSearchesCountsAndEdits) {
  ASSERT_TRUE(T->FindKey({std::string("ENG"), std::int64_t{1}, std::int64_t{1}}));
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 1);
  // A search that finds nothing leaves the record found current, and the cursor on it.
  EXPECT_FALSE(T->FindKey({std::string("ENG"), std::int64_t{9}, std::int64_t{9}}));
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 1);
  EXPECT_EQ(T->RecordCount(), 8);
  T->Next();
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 2);
  T->Prior();
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 1);

  // An edit that changes the key writes to the record found, not to a neighbour.
  ASSERT_TRUE(T->FindKey({std::string("DEU"), std::int64_t{1}, std::int64_t{3}}));
  EXPECT_FALSE(T->FindKey({std::string("XXX"), std::int64_t{0}, std::int64_t{0}}));
  T->Edit();
  T->FieldByName("Nr")->SetAsInteger(5);
  T->Post();
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 3);
  ASSERT_TRUE(T->FindKey({std::string("DEU"), std::int64_t{5}, std::int64_t{3}}));
  EXPECT_FALSE(T->FindKey({std::string("DEU"), std::int64_t{1}, std::int64_t{3}}));
  EXPECT_EQ(T->FieldByName("Id")->AsInteger(), 3);

  // A delete after a search removes the record found.
  ASSERT_TRUE(T->FindKey({std::string("FRA"), std::int64_t{12}, std::int64_t{7}}));
  EXPECT_FALSE(T->FindKey({std::string("ENG"), std::int64_t{7}, std::int64_t{7}}));
  T->Delete();
  EXPECT_EQ(T->RecordCount(), 7);
  EXPECT_FALSE(T->FindKey({std::string("FRA"), std::int64_t{12}, std::int64_t{7}}));
  std::vector<int> ids = Ids();
  EXPECT_EQ(ids.size(), 7u);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 7), 0);
}

}  // namespace
}  // namespace tw::test
