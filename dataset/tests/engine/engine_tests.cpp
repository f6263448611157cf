// The data-set classes over the real access layer and the server started inside this process:
// the two tables of the program created in a fresh folder, filled, searched and walked.
#include <map>
#include <utility>
#include <vector>

#include "dbaccess/virteng.h"
#include "dataset/tests/engine/realengine.h"

namespace tw::test {
namespace {

TEST_F(RealEngine, InterpretationsAreFoundByFourKeyValuesAndTheirMemoRead) {
  TTable* t = NewTable("Interprt.QND");
  t->FieldDefs().Add("Lang", TFieldType::ftString, 3, true);
  t->FieldDefs().Add("Trans", TFieldType::ftSmallint, 0, true);
  t->FieldDefs().Add("Radix", TFieldType::ftSmallint, 0, true);
  t->FieldDefs().Add("Aspect", TFieldType::ftSmallint, 0, true);
  t->FieldDefs().Add("Interpretation", TFieldType::ftMemo);
  t->IndexDefs().Add("XPKTransTexts", "Lang;Trans;Radix;Aspect", true, true, false, true);
  t->CreateTable();
  ASSERT_TRUE(Boxes.empty()) << Boxes.front();
  t->SetIndexName("XPKTransTexts");
  t->Open();
  const std::string longText = std::string(3000, 'x') + " square";
  struct Row {
    int Trans, Radix, Aspect;
    std::string Text;
  } rows[] = {{0, 1, 4, "Sun trine Moon."}, {4, 3, 3, longText}, {4, 3, 1, "@120"}};
  for (const Row& r : rows) {
    t->Append();
    t->FieldByName("Lang")->SetAsString("ENG");
    t->FieldByName("Trans")->SetAsInteger(r.Trans);
    t->FieldByName("Radix")->SetAsInteger(r.Radix);
    t->FieldByName("Aspect")->SetAsInteger(r.Aspect);
    t->FieldByName("Interpretation")->SetAsString(r.Text);
    t->Post();
  }
  t->Close();

  // The program opens it read-only and looks texts up by key.
  t->SetReadOnly(true);
  t->Open();
  EXPECT_EQ(t->RecordCount(), 3);
  for (const Row& r : rows) {
    ASSERT_TRUE(t->FindKey({std::string("ENG"), std::int64_t{r.Trans}, std::int64_t{r.Radix}, std::int64_t{r.Aspect}}));
    EXPECT_EQ(t->FieldByName("Interpretation")->AsString(), r.Text);
  }
  EXPECT_FALSE(t->FindKey({std::string("ENG"), std::int64_t{9}, std::int64_t{3}, std::int64_t{1}}));
  EXPECT_THROW(t->Edit(), EDatabaseError);
  EXPECT_TRUE(Boxes.empty()) << Boxes.front();
}

// Records without a memo: read-only and read-write tables read them as empty and write nothing.
TEST_F(RealEngine, NullMemosReadAsEmptyWithoutWriting) {
  TTable* t = NewTable("Notes.QND");
  t->FieldDefs().Add("Nr", TFieldType::ftSmallint, 0, true);
  t->FieldDefs().Add("Text", TFieldType::ftMemo);
  t->IndexDefs().Add("ByNr", "Nr", true, true);
  t->CreateTable();
  t->SetIndexName("ByNr");
  t->Open();
  for (int i = 1; i <= 3; ++i) {
    t->Append();
    t->FieldByName("Nr")->SetAsInteger(i);
    if (i == 2) t->FieldByName("Text")->SetAsString("Moon");
    t->Post();
  }
  t->Close();
  auto files = [&] {
    std::map<std::string, std::uintmax_t> sizes;
    for (const auto& e : std::filesystem::directory_iterator(Folder))
      if (e.path().filename() != "QNSERVER.LOG") sizes[e.path().filename().string()] = e.file_size();
    return sizes;
  };
  for (bool readOnly : {true, false}) {
    t->SetReadOnly(readOnly);
    t->Open();
    const auto before = files();
    for (int pass = 0; pass < 5; ++pass) {
      std::vector<std::string> texts;
      for (t->First(); !t->Eof(); t->Next()) {
        EXPECT_EQ(t->FieldByName("Text")->IsNull(), t->FieldByName("Nr")->AsInteger() != 2);
        texts.push_back(t->FieldByName("Text")->AsString());
      }
      EXPECT_EQ(texts, (std::vector<std::string>{"", "Moon", ""})) << readOnly;
    }
    t->Close();
    EXPECT_EQ(files(), before) << readOnly;
  }
  EXPECT_TRUE(Boxes.empty()) << Boxes.front();
}

TEST_F(RealEngine, MessagesOfOneLanguageAreWalkedThroughAFilter) {
  TTable* t = NewTable("Messages.QND");
  t->FieldDefs().Add("Lang", TFieldType::ftString, 3, true);
  t->FieldDefs().Add("Nr", TFieldType::ftSmallint, 0, true);
  t->FieldDefs().Add("Text", TFieldType::ftMemo);
  t->IndexDefs().Add("XPKMsgs", "Lang;Nr", true, true);
  t->CreateTable();
  t->SetIndexName("XPKMsgs");
  t->Open();
  const char* langs[] = {"ENG", "DEU", "ENG", "FRA", "ENG"};
  for (int i = 0; i < 5; ++i) {
    t->Append();
    t->FieldByName("Lang")->SetAsString(langs[i]);
    t->FieldByName("Nr")->SetAsInteger(i);
    t->FieldByName("Text")->SetAsString(std::string(langs[i]) + " text " + std::to_string(i) + std::string(1000, '.'));
    t->Post();
  }
  t->SetFilter("Lang = 'ENG'");
  t->SetFiltered(true);
  std::vector<int> seen;
  for (t->First(); !t->Eof(); t->Next()) {
    seen.push_back(t->FieldByName("Nr")->AsInteger());
    EXPECT_EQ(t->FieldByName("Text")->AsString().substr(0, 8), "ENG text");
    EXPECT_EQ(t->FieldByName("Text")->AsString().size(), 1010u);
  }
  EXPECT_EQ(seen, (std::vector<int>{0, 2, 4}));
  t->SetFiltered(false);
  t->Last();
  EXPECT_EQ(t->FieldByName("Lang")->AsString(), "FRA");
  t->First();
  t->Edit();
  t->FieldByName("Text")->SetAsString("short");
  t->Post();
  t->First();
  EXPECT_EQ(t->FieldByName("Text")->AsString(), "short");
  t->Delete();
  EXPECT_EQ(t->RecordCount(), 4);
  t->EmptyTable();
  EXPECT_TRUE(t->IsEmpty());
  t->Close();
  t->DeleteTable();
  EXPECT_THROW(t->Open(), EDBEngineError);
}

// Table operations and key positioning go through the access layer's entry points, so the
// engine object keeps each one's result as it does for every other call.
TEST_F(RealEngine, TableOperationsAndKeySearchesGoThroughTheEntryPoints) {
  TTable* t = NewTable("Places.QND");
  t->FieldDefs().Add("Name", TFieldType::ftString, 20, true);
  t->FieldDefs().Add("Nr", TFieldType::ftSmallint, 0, true);
  t->IndexDefs().Add("ByName", "Name", true, true);
  ASSERT_EQ(dbaccess::DbiInit(nullptr), dbaccess::DBIERR_NONE);
  dbaccess::VirtEng()->SetResult(4711);
  t->CreateTable();
  ASSERT_NE(dbaccess::VirtEng(), nullptr);
  EXPECT_EQ(dbaccess::VirtEng()->Result(), dbaccess::DBIERR_NONE);
  t->SetIndexName("ByName");
  t->Open();
  for (const char* name : {"Bern", "Oslo", "Rome"}) {
    t->Append();
    t->FieldByName("Name")->SetAsString(name);
    t->FieldByName("Nr")->SetAsInteger(1);
    t->Post();
  }
  // A string of 20 characters keeps all of them.
  t->Append();
  t->FieldByName("Name")->SetAsString("Llanfairpwllgwyngyll");
  t->FieldByName("Nr")->SetAsInteger(2);
  t->Post();
  ASSERT_TRUE(t->FindKey({std::string("Llanfairpwllgwyngyll")}));
  dbaccess::VirtEng()->SetResult(4711);
  t->FindNearest({std::string("P")});
  EXPECT_EQ(t->FieldByName("Name")->AsString(), "Rome");
  EXPECT_EQ(dbaccess::VirtEng()->Result(), dbaccess::DBIERR_NONE);
  dbaccess::VirtEng()->SetResult(4711);
  t->EmptyTable();
  EXPECT_TRUE(t->IsEmpty());
  EXPECT_EQ(dbaccess::VirtEng()->Result(), dbaccess::DBIERR_NONE);
  t->Close();
  dbaccess::VirtEng()->SetResult(4711);
  t->DeleteTable();
  EXPECT_EQ(dbaccess::VirtEng()->Result(), dbaccess::DBIERR_NONE);
  try {
    t->EmptyTable();
    ADD_FAILURE() << "a table that is gone was emptied";
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), dbaccess::DBIERR_NOSUCHTABLE);
  }
  EXPECT_TRUE(Boxes.empty()) << Boxes.front();
}

TEST_F(RealEngine, MissingTablesGiveTheAccessLayersText) {
  TTable* t = NewTable("Nothing.QND");
  try {
    t->Open();
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_NE(e.ErrorCode(), 0);
    EXPECT_FALSE(e.Errors(0).Message.empty());
  }
  EXPECT_FALSE(t->Active());
}

// A date-time field reads back the moment written, to the millisecond, and a record posted
// again unchanged keeps it.
TEST_F(RealEngine, DateTimeFieldsReadBackTheMomentWritten) {
  TTable* t = NewTable("Moments.QND");
  t->FieldDefs().Add("At", TFieldType::ftDateTime, 0, true);
  t->CreateTable();
  t->Open();
  // Moments compared as the day and millisecond of the day they stand for.
  using Moment = std::pair<std::int32_t, std::int32_t>;
  auto moment = [](TDateTime v) {
    const TTimeStamp ts = DateTimeToTimeStamp(v);
    return Moment{ts.Date, ts.Time};
  };
  std::vector<Moment> written;
  for (int year : {1950, 1999, 2024})
    for (int second = 0; second < 10; ++second) {
      const TDateTime v = EncodeDate(year, 3, 14) + EncodeTime(10, 0, second, 0);
      written.push_back(moment(v));
      t->Append();
      t->FieldByName("At")->SetAsDateTime(v);
      t->Post();
    }
  auto readAll = [&] {
    std::vector<Moment> read;
    for (t->First(); !t->Eof(); t->Next()) {
      const TDateTime v = t->FieldByName("At")->AsDateTime();
      read.push_back(moment(v));
      t->Edit();
      t->FieldByName("At")->SetAsDateTime(v);
      t->Post();
    }
    return read;
  };
  EXPECT_EQ(readAll(), written);
  EXPECT_EQ(readAll(), written);
  t->Close();
}

}  // namespace
}  // namespace tw::test
