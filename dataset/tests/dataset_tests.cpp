// Walking, editing and filtering a table; the states a data set passes through and the errors
// it gives outside them.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/classes/typinfo.h"
#include "dataset/tests/dbtestsupport.h"

namespace tw::test {
namespace {

class MessagesTest : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    T = MakeMessages();
    AddMessage(T, "ENG", 2, "two");
    AddMessage(T, "DEU", 1, "eins");
    AddMessage(T, "ENG", 1, "one");
    AddMessage(T, "ENG", 3, "three");
    T->First();
  }
  std::vector<std::string> Walk() {
    std::vector<std::string> out;
    for (T->First(); !T->Eof(); T->Next())
      out.push_back(T->FieldByName("Lang")->AsString() + T->FieldByName("Nr")->AsString());
    return out;
  }
  TTable* T = nullptr;
};

using Strings = std::vector<std::string>;

TEST_F(MessagesTest, WalksInIndexOrder) {
  EXPECT_EQ(Walk(), (Strings{"DEU1", "ENG1", "ENG2", "ENG3"}));
  EXPECT_EQ(T->RecordCount(), 4);
}

TEST_F(MessagesTest, BofAndEofAtTheEnds) {
  T->First();
  EXPECT_TRUE(T->Bof());
  EXPECT_FALSE(T->Eof());
  T->Prior();
  EXPECT_TRUE(T->Bof());
  EXPECT_EQ(T->FieldByName("Lang")->AsString(), "DEU");
  T->Last();
  EXPECT_TRUE(T->Eof());
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 3);
  T->Next();
  EXPECT_TRUE(T->Eof());
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 3);  // the last record stays current
  T->Prior();
  EXPECT_FALSE(T->Eof());
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 2);
}

TEST_F(MessagesTest, MoveByCountsTheStepsMade) {
  T->First();
  EXPECT_EQ(T->MoveBy(2), 2);
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 2);
  EXPECT_EQ(T->MoveBy(10), 1);
  EXPECT_EQ(T->MoveBy(-10), -3);
  EXPECT_TRUE(T->Bof());
}

TEST_F(MessagesTest, RecordCountKeepsTheCurrentRecord) {
  T->First();
  T->Next();
  EXPECT_EQ(T->RecordCount(), 4);
  T->Next();
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 2);
}

TEST_F(MessagesTest, FilterByLanguage) {
  T->SetFilter("Lang = 'ENG'");
  T->SetFiltered(true);
  EXPECT_EQ(Walk(), (Strings{"ENG1", "ENG2", "ENG3"}));
  EXPECT_EQ(T->RecordCount(), 3);
  T->SetFilter("Lang = 'ENG' and (Nr < 2 or Nr >= 3)");
  EXPECT_EQ(Walk(), (Strings{"ENG1", "ENG3"}));
  T->SetFilter("not Lang = 'ENG'");
  EXPECT_EQ(Walk(), (Strings{"DEU1"}));
  T->SetFilter("Lang = 'FRA'");
  T->First();
  EXPECT_TRUE(T->Eof());
  EXPECT_TRUE(T->IsEmpty());
  EXPECT_TRUE(T->FieldByName("Lang")->IsNull());
  T->SetFiltered(false);
  EXPECT_EQ(T->RecordCount(), 4);
}

TEST_F(MessagesTest, FilterEventAndLastRecord) {
  T->OnFilterRecord = [](TDataSet* ds, bool& accept) { accept = ds->FieldByName("Nr")->AsInteger() == 1; };
  T->SetFiltered(true);
  EXPECT_EQ(Walk(), (Strings{"DEU1", "ENG1"}));
  T->Last();
  EXPECT_EQ(T->FieldByName("Lang")->AsString(), "ENG");
  T->Prior();
  EXPECT_EQ(T->FieldByName("Lang")->AsString(), "DEU");
}

TEST_F(MessagesTest, BadFilterTextIsRefusedAndTheOldOneKept) {
  T->SetFilter("Lang = 'ENG'");
  EXPECT_THROW(T->SetFilter("Lang = "), EDatabaseError);
  EXPECT_THROW(T->SetFilter("Lang = 'ENG"), EDatabaseError);
  EXPECT_THROW(T->SetFilter("Missing = 1"), EDatabaseError);
  EXPECT_EQ(T->Filter(), "Lang = 'ENG'");
  T->SetFiltered(true);
  EXPECT_EQ(T->RecordCount(), 3);
}

TEST_F(MessagesTest, FindKeyWithPartialAndFullKeys) {
  EXPECT_TRUE(T->FindKey({std::string("ENG"), std::int64_t{3}}));
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "three");
  EXPECT_EQ(T->State(), TDataSetState::dsBrowse);
  EXPECT_TRUE(T->FindKey({std::string("DEU")}));
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "eins");
  EXPECT_FALSE(T->FindKey({std::string("ENG"), std::int64_t{9}}));
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "eins");  // a failed search moves nothing
  T->Next();
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "one");
  EXPECT_THROW(T->FindKey({std::string("ENG"), std::int64_t{1}, std::int64_t{1}}), EDatabaseError);
  EXPECT_EQ(T->State(), TDataSetState::dsBrowse);
}

TEST_F(MessagesTest, SetKeyThenGotoKey) {
  T->SetKey();
  EXPECT_EQ(T->State(), TDataSetState::dsSetKey);
  T->FieldByName("Lang")->SetAsString("ENG");
  T->FieldByName("Nr")->SetAsInteger(2);
  EXPECT_TRUE(T->GotoKey());
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "two");
  EXPECT_THROW(T->GotoKey(), EDatabaseError);  // not in key mode
}

TEST_F(MessagesTest, FindNearestStopsAtTheFirstKeyNotBelow) {
  T->FindNearest({std::string("ENG"), std::int64_t{0}});
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "one");
  T->FindNearest({std::string("EAA")});
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "one");
  T->FindNearest({std::string("ZZZ")});
  EXPECT_TRUE(T->Eof());
}

TEST_F(MessagesTest, RangesLimitTheRecords) {
  T->SetRange({std::string("ENG"), std::int64_t{2}}, {std::string("ENG"), std::int64_t{3}});
  EXPECT_EQ(Walk(), (Strings{"ENG2", "ENG3"}));
  T->CancelRange();
  EXPECT_EQ(T->RecordCount(), 4);
}

TEST_F(MessagesTest, ARangeWithAnEmptySideIsOpenOnThatSide) {
  T->SetRange({}, {std::string("ENG"), std::int64_t{1}});
  EXPECT_EQ(Walk(), (Strings{"DEU1", "ENG1"}));
  T->SetRange({std::string("ENG"), std::int64_t{2}}, {});
  EXPECT_EQ(Walk(), (Strings{"ENG2", "ENG3"}));
  T->CancelRange();
  EXPECT_EQ(T->RecordCount(), 4);
}

TEST_F(MessagesTest, IndexFieldNamesChooseTheIndex) {
  T->Close();
  T->SetIndexFieldNames("Lang;Nr");
  T->Open();
  EXPECT_EQ(T->IndexFieldCount(), 2);
  EXPECT_EQ(T->IndexFields(1)->FieldName(), "Nr");
  T->Close();
  T->SetIndexFieldNames("Text");
  EXPECT_THROW(T->Open(), EDatabaseError);
  EXPECT_FALSE(T->Active());
  T->SetIndexName("XPKMsgs");
  T->Open();
  EXPECT_THROW(T->SetIndexName("Missing"), EDatabaseError);  // an open table keeps its order
  EXPECT_EQ(T->IndexName(), "XPKMsgs");
  EXPECT_TRUE(T->FindKey({std::string("ENG"), std::int64_t{2}}));
}

TEST_F(MessagesTest, EditPostAndCancel) {
  T->FindKey({std::string("ENG"), std::int64_t{2}});
  T->Edit();
  EXPECT_EQ(T->State(), TDataSetState::dsEdit);
  T->FieldByName("Text")->SetAsString("TWO");
  T->Post();
  EXPECT_EQ(T->State(), TDataSetState::dsBrowse);
  T->First();
  T->FindKey({std::string("ENG"), std::int64_t{2}});
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "TWO");
  T->Edit();
  T->FieldByName("Nr")->SetAsInteger(7);
  T->Cancel();
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 2);
  T->Next();
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 3);
}

TEST_F(MessagesTest, FailedPostStaysInEditState) {
  T->Append();
  T->FieldByName("Lang")->SetAsString("ENG");
  T->FieldByName("Nr")->SetAsInteger(1);  // key already there
  try {
    T->Post();
    FAIL() << "a key violation must not be reported as success";
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), 9729);
    EXPECT_EQ(e.Errors(0).Message, "Key violation.");
  }
  EXPECT_EQ(T->State(), TDataSetState::dsInsert);
  T->Cancel();
  EXPECT_EQ(T->RecordCount(), 4);
}

TEST_F(MessagesTest, RequiredFieldsMustHaveAValue) {
  T->Append();
  T->FieldByName("Lang")->SetAsString("FRA");
  EXPECT_THROW(T->Post(), EDatabaseError);
  T->FieldByName("Nr")->SetAsInteger(1);
  T->Post();
  EXPECT_EQ(T->FieldByName("Lang")->AsString(), "FRA");  // the posted record is current
  T->Next();
  EXPECT_TRUE(T->Eof());
  EXPECT_EQ(T->RecordCount(), 5);
}

TEST_F(MessagesTest, DeleteMovesToTheNextRecord) {
  T->FindKey({std::string("ENG"), std::int64_t{2}});
  T->Delete();
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 3);
  T->Delete();
  EXPECT_EQ(T->FieldByName("Nr")->AsInteger(), 1);  // the last one gone: its predecessor
  EXPECT_TRUE(T->Eof());
  T->Delete();
  T->Delete();
  EXPECT_TRUE(T->IsEmpty());
  EXPECT_THROW(T->Delete(), EDatabaseError);
}

TEST_F(MessagesTest, ARecordGoneMeanwhileIsNeitherChangedNorDeletedInAnothersPlace) {
  T->FindKey({std::string("ENG"), std::int64_t{1}});
  T->Edit();
  T->FieldByName("Text")->SetAsString("changed");
  // Another cursor removes the record being edited; the engine's cursor moves on to its neighbour.
  auto& rows = Link->Tables["MESSAGES.QND"].Rows;
  std::uint8_t bm[4];
  ASSERT_EQ(Link->GetBookMark(T->Handle(), bm), 0);
  std::uint32_t id;
  std::memcpy(&id, bm, 4);
  rows.erase(std::remove_if(rows.begin(), rows.end(), [&](auto& r) { return r.first == id; }), rows.end());
  EXPECT_THROW(T->Post(), EDBEngineError);
  T->Cancel();
  EXPECT_THROW(T->Delete(), EDBEngineError);
  EXPECT_EQ(T->RecordCount(), 3);
  EXPECT_EQ(Walk(), (Strings{"DEU1", "ENG2", "ENG3"}));
  T->FindKey({std::string("ENG"), std::int64_t{2}});
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "two");
}

TEST_F(MessagesTest, ChangesOutsideEditModeAreRefused) {
  EXPECT_THROW(T->FieldByName("Nr")->SetAsInteger(5), EDatabaseError);
  EXPECT_THROW(T->FieldByName("Text")->SetAsString("x"), EDatabaseError);
  EXPECT_THROW(T->Post(), EDatabaseError);
}

TEST_F(MessagesTest, PendingEditsArePostedBeforeMoving) {
  T->First();
  T->Edit();
  T->FieldByName("Text")->SetAsString("EINS");
  T->Next();
  EXPECT_EQ(T->State(), TDataSetState::dsBrowse);
  T->First();
  EXPECT_EQ(T->FieldByName("Text")->AsString(), "EINS");
}

TEST_F(MessagesTest, EventsFireInOrder) {
  std::vector<std::string> log;
  T->BeforeEdit = [&](TDataSet*) { log.push_back("BeforeEdit"); };
  T->AfterEdit = [&](TDataSet*) { log.push_back("AfterEdit"); };
  T->BeforePost = [&](TDataSet*) { log.push_back("BeforePost"); };
  T->AfterPost = [&](TDataSet*) { log.push_back("AfterPost"); };
  T->BeforeClose = [&](TDataSet*) { log.push_back("BeforeClose"); };
  T->AfterClose = [&](TDataSet*) { log.push_back("AfterClose"); };
  T->Edit();
  T->Post();
  T->Close();
  EXPECT_EQ(log, (Strings{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost", "BeforeClose", "AfterClose"}));
}

TEST_F(MessagesTest, DisabledControlsHearOneChangeAtTheEnd) {
  int changes = 0;
  T->OnDataChange = [&](TDataSet*) { ++changes; };
  T->DisableControls();
  T->DisableControls();
  for (T->First(); !T->Eof(); T->Next()) {
  }
  T->EnableControls();
  EXPECT_EQ(changes, 0);
  T->EnableControls();
  EXPECT_EQ(changes, 1);
}

TEST_F(MessagesTest, ClosedDataSetsRaiseInsteadOfCrashing) {
  TField* nr = T->FieldByName("Nr");
  (void)nr;
  T->Close();
  EXPECT_FALSE(T->Active());
  EXPECT_EQ(T->FieldCount(), 0);
  EXPECT_THROW(T->First(), EDatabaseError);
  EXPECT_THROW(T->Next(), EDatabaseError);
  EXPECT_THROW(T->Edit(), EDatabaseError);
  EXPECT_THROW(T->RecordCount(), EDatabaseError);
  EXPECT_THROW(T->FieldByName("Nr"), EDatabaseError);
  EXPECT_THROW(T->SetKey(), EDatabaseError);
  T->Close();  // closing twice is harmless
  EXPECT_TRUE(Link->Cursors.empty());
}

TEST_F(MessagesTest, ReadErrorsTravelUpWithTheirCode) {
  Link->FailNextWith = 11276;
  try {
    T->Next();
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), 11276);
  }
  EXPECT_EQ(T->FieldByName("Lang")->AsString(), "DEU");
}

TEST_F(MessagesTest, EmptyTableRemovesEveryRecord) {
  T->EmptyTable();
  EXPECT_TRUE(T->IsEmpty());
  EXPECT_EQ(T->RecordCount(), 0);
}

TEST_F(DataSetTest, ReadOnlyTablesRefuseChanges) {
  MakeMessages()->Close();
  TTable* t = NewTable("Messages.QND");
  t->SetReadOnly(true);
  t->Open();
  EXPECT_FALSE(t->CanModify());
  EXPECT_THROW(t->Insert(), EDatabaseError);
  EXPECT_THROW(t->Edit(), EDatabaseError);  // empty: Edit would insert
  EXPECT_THROW(t->SetReadOnly(false), EDatabaseError);
}

TEST_F(DataSetTest, OpeningAMissingTableLeavesNothingOpen) {
  TTable* t = NewTable("Nothing.QND");
  try {
    t->Open();
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), DBIERR_NOSUCHTABLE);
    EXPECT_EQ(std::string(e.what()), "Table does not exist.\nTable: Nothing.QND") << "the message names the table";
  }
  EXPECT_FALSE(t->Active());
  EXPECT_TRUE(Link->Cursors.empty());  // the cursor handed out with the failure is closed
}

TEST_F(DataSetTest, MissingNamesAreReported) {
  TTable* t = NewTable("");
  EXPECT_THROW(t->Open(), EDatabaseError);
  t->SetTableName("x");
  t->SetDatabaseName("");
  EXPECT_THROW(t->Open(), EDatabaseError);
  t->SetDatabaseName("Elsewhere");
  try {
    t->Open();
    FAIL();
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), DBIERR_UNKNOWNDB);
  }
}

TEST_F(DataSetTest, DeleteTableAndCreateTableChecks) {
  TTable* t = MakeMessages();
  EXPECT_THROW(t->DeleteTable(), EDatabaseError);  // open
  t->Close();
  t->DeleteTable();
  EXPECT_THROW(t->Open(), EDBEngineError);
  TTable* bad = NewTable("Bad.QND");
  EXPECT_THROW(bad->CreateTable(), EDatabaseError);  // no fields
  bad->FieldDefs().Add("A", TFieldType::ftString, 0);
  EXPECT_THROW(bad->CreateTable(), EDatabaseError);  // string without size
  bad->FieldDefs().Clear();
  bad->FieldDefs().Add("A", TFieldType::ftInteger);
  bad->IndexDefs().Add("X", "B");
  EXPECT_THROW(bad->CreateTable(), EDatabaseError);  // index on an unknown field
  EXPECT_THROW(bad->FieldDefs().Add("a", TFieldType::ftInteger), EDatabaseError);
}

TEST_F(DataSetTest, PublishedPropertiesSetFromFormDescriptions) {
  MakeMessages()->Close();
  TTable* t = NewTable("");
  SetStrProp(t, "DatabaseName", "Tidewell");
  SetStrProp(t, "TableName", "Messages.QND");
  SetStrProp(t, "IndexName", "XPKMsgs");
  SetStrProp(t, "Filter", "Lang = 'ENG'");
  SetOrdProp(t, "Filtered", 1);
  SetOrdProp(t, "ReadOnly", 1);
  SetOrdProp(t, "Active", 1);
  EXPECT_TRUE(t->Active());
  EXPECT_TRUE(t->ReadOnly());
  EXPECT_EQ(GetStrProp(t, "TableName"), "Messages.QND");
}

TEST_F(DataSetTest, ActiveFromAFormOpensWhenLoadingEnds) {
  MakeMessages()->Close();
  TTable* t = NewTable("Messages.QND");
  t->SetComponentState(TComponentStateFlag::csLoading, true);
  t->SetActive(true);
  EXPECT_FALSE(t->Active());
  t->SetComponentState(TComponentStateFlag::csLoading, false);
  t->Loaded();
  EXPECT_TRUE(t->Active());
}

}  // namespace
}  // namespace tw::test
