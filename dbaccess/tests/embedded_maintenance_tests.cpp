// Table-level work against the embedded server: indexes added (and filled by the server's
// rebuild) and dropped, tables created from the interface's creation record and emptied,
// rebuild status, block reads and writes, transactions reported by the database.
#include <cstring>
#include <string>
#include <vector>

#include "dbaccess/clienttable.h"
#include "dbaccess/database.h"
#include "dbaccess/requests.h"
#include "dbaccess/session.h"
#include "dbaccess/virteng.h"
#include "dbengine/base/errors.h"
#include "embeddedsupport.h"

namespace tw::dbaccess::test {
namespace {

IDXDesc IndexOn(const char* Name, std::uint16_t Field, bool Descending) {
  IDXDesc d;
  std::strncpy(d.szName, Name, 31);
  d.iFldsInKey = 1;
  d.aiKeyFld[0] = Field;
  d.bUnique = 0;
  d.bDescending = Descending ? 1 : 0;
  return d;
}

class TableMaintenance : public EmbeddedTable {
 protected:
  TQNClientDatabase* Database() { return TBapiListItem::Resolve<TQNClientDatabase>(db); }
  TQNClientTable* Table() { return TBapiListItem::Resolve<TQNClientTable>(cur); }
  void ReopenExclusive() {
    ASSERT_EQ(DbiCloseCursor(cur), DBIERR_NONE);
    ASSERT_EQ(DbiOpenTable(db, "Persons", nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENEXCL, 0, false, nullptr, cur),
              DBIERR_NONE);
  }
};

TEST_F(TableMaintenance, AnAddedIndexIsFilledAndCanBeSwitchedToAtOnce) {
  ReopenExclusive();
  ASSERT_EQ(Table()->AddIndex(IndexOn("ByNameDown", 1, true)), DBIERR_NONE);
  CURProps props;
  ASSERT_EQ(DbiGetCursorProps(cur, props), DBIERR_NONE);
  EXPECT_EQ(props.iIndexes, 3);
  // The cursor stayed on its index while the dictionary was read again.
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ada", "Ben", "Cyd", "Dag"}));
  ASSERT_EQ(DbiSwitchToIndex(cur, "ByNameDown", nullptr, 0, false), DBIERR_NONE);
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Dag", "Cyd", "Ben", "Ada"}));

  std::string name;
  std::uint16_t number = 0;
  ASSERT_EQ(Table()->GetIndexForFields("@Name", name, number), DBIERR_NONE);
  EXPECT_EQ(name, "ByNameDown");
  EXPECT_EQ(number, 2);
  EXPECT_EQ(Table()->GetIndexForFields("@Nr", name, number), DBIERR_NONE);
  EXPECT_EQ(name, "ByNr");
  EXPECT_EQ(Table()->GetIndexForFields("@Born", name, number), DBIERR_EOF) << "no index on that field";
  EXPECT_EQ(Table()->GetIndexForFields("@Nobody", name, number), DBIERR_INVALIDFIELD);
}

TEST_F(TableMaintenance, TheDatabaseAddsAnIndexThroughACursorOfItsOwn) {
  ASSERT_EQ(DbiCloseCursor(cur), DBIERR_NONE);
  ASSERT_EQ(Database()->AddIndex("Persons", nullptr, IndexOn("ByName", 1, false)), DBIERR_NONE);
  EXPECT_EQ(Database()->Cursors().Count(), 0) << "the scratch cursor is freed";
  ASSERT_EQ(DbiOpenTable(db, "Persons", nullptr, "ByName", nullptr, 0, 0, 0, 0, false, nullptr, cur), DBIERR_NONE);
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ada", "Ben", "Cyd", "Dag"}));
  // An index of that name exists already: the server's refusal comes back unchanged.
  ASSERT_EQ(DbiCloseCursor(cur), DBIERR_NONE);
  EXPECT_NE(Database()->AddIndex("Persons", nullptr, IndexOn("ByName", 1, false)), DBIERR_NONE);
}

TEST_F(TableMaintenance, AddingAnIndexToASharedTableIsRefused) {
  EXPECT_NE(Table()->AddIndex(IndexOn("ByName", 1, false)), DBIERR_NONE);
  CURProps props;
  DbiGetCursorProps(cur, props);
  EXPECT_EQ(props.iIndexes, 2);
}

TEST_F(TableMaintenance, ADroppedIndexLeavesTheCursorsDictionary) {
  ReopenExclusive();
  ASSERT_EQ(Table()->AddIndex(IndexOn("ByName", 1, false)), DBIERR_NONE);
  EXPECT_EQ(Database()->DeleteIndex("Persons", nullptr, "", "", 0), DBIERR_INDEXREADONLY);
  ASSERT_EQ(Database()->DeleteIndex("Persons", Table(), "ByName", "", 0), DBIERR_NONE);
  CURProps props;
  DbiGetCursorProps(cur, props);
  EXPECT_EQ(props.iIndexes, 2);
  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ada", "Ben", "Cyd", "Dag"}));
  EXPECT_NE(Database()->DeleteIndex("Persons", Table(), "ByName", "", 0), DBIERR_NONE);
}

TEST_F(TableMaintenance, AnUnknownRebuildIsNotFound) {
  TBaseSession* session = Database()->Session();
  bool finished = true;
  RebuildStatus status;
  EXPECT_EQ(SendServerRequest(session, 4711, finished, status), DBIERR_OBJNOTFOUND);
  EXPECT_FALSE(finished);
  EXPECT_EQ(WaitForRebuild(session, 4711), DBIERR_OBJNOTFOUND);
}

TEST_F(TableMaintenance, TablesAreCreatedFromTheCreationRecord) {
  FLDDesc fields[3];
  std::strcpy(fields[0].szName, "Lang");
  fields[0].iFldType = fldZSTRING;
  fields[0].iUnits1 = 3;
  std::strcpy(fields[1].szName, "Nr");
  fields[1].iFldType = fldINT16;
  std::strcpy(fields[2].szName, "Text");
  fields[2].iFldType = fldBLOB;
  fields[2].iSubType = fldstMEMO;
  IDXDesc index = IndexOn("XPKMsgs", 1, false);
  index.iFldsInKey = 2;
  index.aiKeyFld[1] = 2;
  index.bUnique = 1;
  VCHKDesc checks[2];
  checks[0].iFldNum = 1;
  checks[0].bRequired = 1;
  checks[1].iFldNum = 2;
  checks[1].bRequired = 1;
  CRTblDesc desc;
  std::strcpy(desc.szTblName, "Messages.QND");
  desc.iFldCount = 3;
  desc.pfldDesc = fields;
  desc.iIdxCount = 1;
  desc.pidxDesc = &index;
  desc.iValChkCount = 2;
  desc.pvchkDesc = checks;
  ASSERT_EQ(Database()->CreateTable(true, desc), DBIERR_NONE);
  EXPECT_TRUE(Database()->TableExists("MESSAGES"));
  EXPECT_FALSE(Database()->TableExists("Nothing"));

  hDBICur messages = 0;
  ASSERT_EQ(DbiOpenTable(db, "Messages.QND", nullptr, "XPKMsgs", nullptr, 0, 0, 0, 0, false, nullptr, messages),
            DBIERR_NONE);
  CURProps props;
  DbiGetCursorProps(messages, props);
  EXPECT_EQ(props.iFields, 3);
  EXPECT_EQ(props.iValChecks, 2);
  std::vector<FLDDesc> got(props.iFields);
  ASSERT_EQ(DbiGetFieldDescs(messages, got.data()), DBIERR_NONE);
  EXPECT_EQ(got[0].iFldType, fldZSTRING);
  EXPECT_EQ(got[0].iUnits1, 3);
  EXPECT_EQ(got[2].iSubType, fldstMEMO);
  VCHKDesc v;
  ASSERT_EQ(DbiGetVchkDesc(messages, 2, v), DBIERR_NONE);
  EXPECT_EQ(v.iFldNum, 2);
  EXPECT_EQ(v.bRequired, 1);
  DbiCloseCursor(messages);

  // A type the engine cannot store is the caller's error, raised as the described exception.
  fields[1].iFldType = fldUNKNOWN;
  EXPECT_THROW(Database()->CreateTable(true, desc), dbengine::EqnClientException);
  CRTblDesc broken = desc;
  broken.pfldDesc = nullptr;
  EXPECT_EQ(Database()->CreateTable(true, broken), DBIERR_INVALIDPARAM);
}

TEST_F(TableMaintenance, TheDatabaseEmptiesATableByName) {
  ASSERT_EQ(DbiCloseCursor(cur), DBIERR_NONE);
  ASSERT_EQ(Database()->EmptyTable("Persons", nullptr), DBIERR_NONE);
  ASSERT_EQ(DbiOpenTable(db, "Persons", nullptr, "ByNr", nullptr, 0, 0, 0, 0, false, nullptr, cur), DBIERR_NONE);
  EXPECT_TRUE(Walk().empty());
}

TEST_F(TableMaintenance, BlocksOfRecordsAreWrittenAndReadInSlots) {
  std::vector<std::uint8_t> block(record.size() * 3);
  for (int i = 0; i < 3; ++i) {
    std::uint8_t* slot = block.data() + record.size() * static_cast<std::size_t>(i);
    DbiInitRecord(cur, slot);
    Put(cur, slot, 1, "Eve");
    std::int16_t nr = static_cast<std::int16_t>(50 + i);
    Put(cur, slot, 3, &nr);
  }
  std::uint32_t count = 3;
  auto* table = Table();
  ASSERT_EQ(table->WriteBlock(count, block.data()), DBIERR_NONE);
  EXPECT_EQ(count, 3u);
  count = 3;
  EXPECT_NE(table->WriteBlock(count, block.data()), DBIERR_NONE);
  EXPECT_EQ(count, 0u) << "the unique index refuses the first duplicate";

  std::vector<std::uint8_t> all(record.size() * 10);
  DbiSetToBegin(cur);
  count = 10;
  EXPECT_EQ(table->ReadBlock(count, all.data()), DBIERR_EOF);
  EXPECT_EQ(count, 7u);
  std::vector<std::uint8_t> last(all.begin() + static_cast<std::ptrdiff_t>(record.size() * 6),
                                 all.begin() + static_cast<std::ptrdiff_t>(record.size() * 7));
  EXPECT_EQ(NameOf(last), "Eve");
}

TEST_F(TableMaintenance, TheDatabaseReportsItsTransaction) {
  DBInfo info;
  ASSERT_EQ(Database()->GetDatabaseInfo(info), DBIERR_NONE);
  EXPECT_EQ(info.iTranState, 0u);
  std::uint32_t tran = 0;
  ASSERT_EQ(Database()->BeginTran(0, tran), DBIERR_NONE);
  Database()->GetDatabaseInfo(info);
  EXPECT_EQ(info.iTranState, 1u);
  EXPECT_EQ(Database()->EndTran(tran, 2), DBIERR_NONE);
  Database()->GetDatabaseInfo(info);
  EXPECT_EQ(info.iTranState, 0u);
}

}  // namespace
}  // namespace tw::dbaccess::test
