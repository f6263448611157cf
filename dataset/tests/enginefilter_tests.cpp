// The filter block handed to the access layer: what is handed over, what is left to the data
// set, and how the data set keeps the block in step with its filter.
#include <cstring>
#include <map>

#include "dataset/enginefilter.h"
#include "dataset/tests/dbtestsupport.h"

namespace tw::test {
namespace {

// Reads a block back into text: "(Lang = 'ENG' and Nr > 10)".
class TBlockReader {
 public:
  explicit TBlockReader(const std::vector<std::uint8_t>& b) : B(b) {}
  std::string Text() {
    EXPECT_GE(B.size(), 10u);
    EXPECT_EQ(W(2), B.size());  // total size
    EXPECT_EQ(W(6), 10u);       // nodes right after the header
    return Node(0);
  }

 private:
  std::uint32_t W(std::size_t at) const {
    std::uint16_t w;
    std::memcpy(&w, B.data() + at, 2);
    return w;
  }
  std::uint32_t D(std::size_t at) const {
    std::uint32_t d;
    std::memcpy(&d, B.data() + at, 4);
    return d;
  }
  std::string Node(std::uint32_t offset) {
    const std::size_t n = W(6) + offset;
    const std::uint32_t cls = D(n), op = D(n + 4);
    static const std::map<std::uint32_t, std::string> ops{{3, "="},  {4, "<>"}, {5, ">"},   {6, "<"},
                                                          {7, ">="}, {8, "<="}, {10, "and"}, {11, "or"}};
    if (cls == 2) return "(" + Node(W(n + 8)) + " " + ops.at(op) + " " + Node(W(n + 10)) + ")";
    const std::size_t lit = W(8);
    if (cls == 4) return std::string(reinterpret_cast<const char*>(B.data() + lit + W(n + 10)));
    if (cls == 5) {
      const std::uint8_t* v = B.data() + lit + W(n + 12);
      switch (W(n + 8)) {
        case fldZSTRING: return "'" + std::string(reinterpret_cast<const char*>(v)) + "'";
        case fldINT16: { std::int16_t x; std::memcpy(&x, v, 2); return "i16:" + std::to_string(x); }
        case fldUINT16: { std::uint16_t x; std::memcpy(&x, v, 2); return "u16:" + std::to_string(x); }
        case fldINT32: { std::int32_t x; std::memcpy(&x, v, 4); return "i32:" + std::to_string(x); }
        case fldFLOAT: { double x; std::memcpy(&x, v, 8); return "f:" + std::to_string(x); }
      }
    }
    return "?";
  }
  const std::vector<std::uint8_t>& B;
};

std::string Handed(const std::string& text) {
  const std::map<std::string, TEngineFilterField> fields{
      {"LANG", {"Lang", 1, TFieldType::ftString, 3}},      {"NR", {"Nr", 2, TFieldType::ftSmallint, 0}},
      {"W", {"W", 3, TFieldType::ftWord, 0}},              {"I", {"I", 4, TFieldType::ftInteger, 0}},
      {"F", {"F", 5, TFieldType::ftFloat, 0}},             {"TEXT", {"Text", 6, TFieldType::ftMemo, 0}},
      {"D", {"D", 7, TFieldType::ftDate, 0}}};
  TFilterExpression e(text);
  auto block = BuildEngineFilter(e, [&](const std::string& name, TEngineFilterField& f) {
    auto it = fields.find(TFakeLink::Up(name));
    if (it == fields.end()) return false;
    f = it->second;
    return true;
  });
  return block.empty() ? std::string("-") : TBlockReader(block).Text();
}

TEST(EngineFilter, ComparisonsOfAFieldWithItsOwnKindOfConstant) {
  EXPECT_EQ(Handed("Lang = 'ENG'"), "(Lang = 'ENG')");
  EXPECT_EQ(Handed("lang = 'ENG'"), "(Lang = 'ENG')");  // the table's spelling of the name
  EXPECT_EQ(Handed("Nr >= 10"), "(Nr >= i16:10)");
  EXPECT_EQ(Handed("10 < Nr"), "(Nr > i16:10)");  // constant first: the comparison turns round
  EXPECT_EQ(Handed("W <= 65535"), "(W <= u16:65535)");
  EXPECT_EQ(Handed("I <> -7"), "(I <> i32:-7)");
  EXPECT_EQ(Handed("F < 2.5"), "(F < f:2.500000)");
}

TEST(EngineFilter, WhatTheAccessLayerWouldDecideOtherwiseStaysWithTheDataSet) {
  for (const char* text : {"Lang <> 'ENG'",  // blanks and collation
                           "Lang < 'F'",     // collation order
                           "Lang = 'ENGL'",  // longer than the field
                           "Lang = 1", "Nr = 'x'", "Nr = 2.5", "Nr = 40000", "W = -1", "I = 3000000000",
                           "Nr <> 0",    // a blank reads as 0 there
                           "F <> 0",     //
                           "Text = 'x'",  // memo
                           "D = 3", "Nr = I", "Unknown = 1", "not Nr = 1", "Nr = 1 or Text = 'x'"})
    EXPECT_EQ(Handed(text), "-") << text;
}

TEST(EngineFilter, AndKeepsWhatCanBeHandedOverOrKeepsBoth) {
  EXPECT_EQ(Handed("Lang = 'ENG' and Text = 'x'"), "(Lang = 'ENG')");
  EXPECT_EQ(Handed("not Nr = 3 and Nr > 1"), "(Nr > i16:1)");
  EXPECT_EQ(Handed("Lang = 'ENG' and (Nr < 2 or Nr >= 3)"), "((Lang = 'ENG') and ((Nr < i16:2) or (Nr >= i16:3)))");
}

TEST(EngineFilter, TreesTooDeepForTheAccessLayerAreNotHandedOver) {
  std::string chain = "Nr = 0";
  for (int i = 1; i < 150; ++i) chain += " or Nr = " + std::to_string(i);
  EXPECT_EQ(Handed(chain), "-");
  std::string shorter = "Nr = 0";
  for (int i = 1; i < 50; ++i) shorter += " or Nr = " + std::to_string(i);
  EXPECT_NE(Handed(shorter), "-");
}

class EngineFilterDataSet : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    T = MakeMessages();
    for (int i = 0; i < 6; ++i) AddMessage(T, i % 2 ? "ENG" : "DEU", i, "text " + std::to_string(i));
  }
  std::vector<int> Numbers() {
    std::vector<int> out;
    for (T->First(); !T->Eof(); T->Next()) out.push_back(T->FieldByName("Nr")->AsInteger());
    return out;
  }
  TTable* T = nullptr;
};

TEST_F(EngineFilterDataSet, TheBlockFollowsTheFilterAndTheDataSetStillTestsEveryRecord) {
  T->SetFilter("Lang = 'ENG' and Nr > 1");
  T->SetFiltered(true);
  ASSERT_EQ(Link->Filters.size(), 1u);
  EXPECT_EQ(Link->ActiveFilters.size(), 1u);
  EXPECT_EQ(TBlockReader(Link->Filters.begin()->second).Text(), "((Lang = 'ENG') and (Nr > i16:1))");
  // The stand-in hands back every record: the data set alone decides here.
  EXPECT_EQ(Numbers(), (std::vector<int>{3, 5}));
  T->SetFilter("not Lang = 'ENG'");  // nothing for the access layer: the old block goes
  EXPECT_TRUE(Link->Filters.empty());
  EXPECT_EQ(Numbers(), (std::vector<int>{0, 2, 4}));
  T->SetFilter("Nr = 4");
  EXPECT_EQ(Link->Filters.size(), 1u);
  T->SetFiltered(false);
  EXPECT_TRUE(Link->Filters.empty());
  EXPECT_EQ(Numbers().size(), 6u);
  T->SetFiltered(true);
  T->Close();  // the cursor takes its filters along
  T->Open();   // and the new cursor is given the block again
  EXPECT_EQ(TBlockReader(Link->Filters.rbegin()->second).Text(), "(Nr = i16:4)");
  EXPECT_EQ(Numbers(), (std::vector<int>{4}));
}

TEST_F(EngineFilterDataSet, ALinkWithoutFiltersLeavesTheWholeFilterToTheDataSet) {
  Link->RefuseFilters = true;
  T->SetFilter("Lang = 'DEU'");
  T->SetFiltered(true);
  EXPECT_TRUE(Link->Filters.empty());
  EXPECT_EQ(Numbers(), (std::vector<int>{0, 2, 4}));
}

TEST_F(EngineFilterDataSet, APostedRecordIsReadBackWhateverTheBlockSays) {
  T->SetFilter("Lang = 'ENG'");
  T->SetFiltered(true);
  T->First();
  T->Edit();
  T->FieldByName("Lang")->SetAsString("DEU");
  T->Post();
  // The record read back is the one posted, and the block is in force again afterwards.
  EXPECT_EQ(T->FieldByName("Lang")->AsString(), "DEU");
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 1);
  EXPECT_EQ(Link->ActiveFilters.size(), 1u);
  EXPECT_EQ(Numbers(), (std::vector<int>{3, 5}));
}

TEST_F(EngineFilterDataSet, FindNearestAsksTheEngineAndHonoursTheFilter) {
  const int before = Link->RecordReads;
  T->FindNearest({std::string("ENG"), std::int64_t{2}});
  EXPECT_EQ(Link->SetToKeyCalls, 1);
  EXPECT_LE(Link->RecordReads - before, 3);  // no walk from the first record
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 3);
  T->SetFilter("Nr <> 3");
  T->SetFiltered(true);
  T->FindNearest({std::string("ENG"), std::int64_t{2}});
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 5);
  T->FindNearest({std::string("ENG"), std::int64_t{6}});  // every key below: the last record
  EXPECT_TRUE(T->Eof());
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 5);
}

}  // namespace
}  // namespace tw::test
