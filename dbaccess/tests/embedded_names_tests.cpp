// Names of tables and folders as the access layer sends them to the embedded server: a table
// named in another case is the open table of the same file, and a folder named with the
// separator the access layer appends, or through a link, is the same folder.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dbaccess/database.h"
#include "dbaccess/dbientry.h"
#include "embeddedsupport.h"
#include "platform/rtl/tickclock.h"

namespace tw::dbaccess::test {
namespace {

constexpr DBIResult kTableOpen = 10031;

class TableNames : public EmbeddedTable {
 protected:
  void TearDown() override {
    SetTickSource(nullptr);
    EmbeddedTable::TearDown();
  }
  TQNClientDatabase* Database() { return TBapiListItem::Resolve<TQNClientDatabase>(db); }
  DBIResult Insert(hDBICur Cursor, const std::string& Name, std::int16_t Nr) {
    DbiInitRecord(Cursor, record.data());
    Put(Cursor, record.data(), 1, Name.c_str());
    Put(Cursor, record.data(), 3, &Nr);
    return DbiInsertRecord(Cursor, dbiNOLOCK, record.data());
  }
  // The creation record of a table like Persons under Name.
  DBIResult Create(const char* Name, bool Overwrite) {
    FLDDesc fields[2];
    std::strcpy(fields[0].szName, "Name");
    fields[0].iFldType = fldZSTRING;
    fields[0].iUnits1 = 12;
    std::strcpy(fields[1].szName, "Nr");
    fields[1].iFldType = fldINT16;
    CRTblDesc desc;
    std::strcpy(desc.szTblName, Name);
    desc.iFldCount = 2;
    desc.pfldDesc = fields;
    return DbiCreateTable(db, Overwrite, desc);
  }
};

// "PERSONS" beside an open "Persons" is the same table: inserts through both land in the one
// file, and no spelling deletes, rebuilds or renames it while it is open.
TEST_F(TableNames, AnotherCaseOfAnOpenTablesNameIsThatTable) {
  hDBICur upper = 0;
  ASSERT_EQ(DbiOpenTable(db, "PERSONS", nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false, nullptr,
                         upper),
            DBIERR_NONE);
  int acknowledged = 0;
  for (std::int16_t i = 0; i < 20; ++i)
    if (Insert(i % 2 != 0 ? cur : upper, "N" + std::to_string(i), static_cast<std::int16_t>(100 + i)) == DBIERR_NONE)
      ++acknowledged;
  EXPECT_EQ(acknowledged, 20);
  EXPECT_EQ(Walk().size(), 24u) << "the four of the fixture and every acknowledged insert";
  std::vector<std::string> throughUpper;
  DbiSetToBegin(upper);
  while (DbiGetNextRecord(upper, dbiNOLOCK, record.data(), nullptr) == DBIERR_NONE) throughUpper.push_back(NameOf(record));
  EXPECT_EQ(throughUpper, Walk());

  for (const char* name : {"persons", "PERSONS", "Persons.QND", "pErSoNs"}) {
    EXPECT_EQ(DbiDeleteTable(db, name, nullptr), kTableOpen) << name;
    EXPECT_EQ(Create(name, true), kTableOpen) << name;
    EXPECT_EQ(Database()->RenameTable(name, "Moved"), kTableOpen) << name;
  }
  EXPECT_TRUE(std::filesystem::exists(folder / "Persons.QND"));
  EXPECT_FALSE(std::filesystem::exists(folder / "Moved.QND"));
  EXPECT_EQ(Walk().size(), 24u);
  ASSERT_EQ(DbiCloseCursor(upper), DBIERR_NONE);
  ASSERT_EQ(DbiCloseCursor(cur), DBIERR_NONE);
  // Closed under every spelling, it may go.
  EXPECT_EQ(DbiDeleteTable(db, "PERSONS", nullptr), DBIERR_NONE);
  EXPECT_FALSE(std::filesystem::exists(folder / "Persons.QND"));
}

// A second database of the session on the same folder, named with a backslash, through a
// symbolic link or in another case, reaches the same open table and the same transaction (a
// second one waits in the server's queue, on the display's virtual clock, and is refused).
TEST_F(TableNames, OneFolderUnderEverySpellingIsOneFolder) {
  SetTickSource([] { return static_cast<std::uint32_t>(Display().NowMs()); });
  const std::string link = folder.string() + "_link";
  std::filesystem::create_directory_symlink(folder, link);
  const std::string dir = folder.string();
  const std::string upper = dir.substr(0, dir.rfind('/') + 1) + "TW_DBACCESS" + dir.substr(dir.rfind('/') + 12);
  std::uint32_t tran = 0;
  ASSERT_EQ(Database()->BeginTran(0, tran), DBIERR_NONE);
  for (const std::string& spelling : {dir + "\\", link, link + "/", upper}) {
    hDBIDb other = 0;
    ASSERT_EQ(DbiOpenDatabase(spelling.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, other), DBIERR_NONE)
        << spelling;
    auto* database = TBapiListItem::Resolve<TQNClientDatabase>(other);
    std::uint32_t second = 0;
    EXPECT_EQ(database->BeginTran(0, second), DBIERR_ACTIVETRAN) << spelling;
    EXPECT_EQ(DbiDeleteTable(other, "persons", nullptr), kTableOpen) << spelling;
    hDBICur c = 0;
    ASSERT_EQ(DbiOpenTable(other, "PERSONS", nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false,
                           nullptr, c),
              DBIERR_NONE);
    DbiCloseCursor(c);
    DbiCloseDatabase(other);
  }
  ASSERT_EQ(Database()->EndTran(tran, 0), DBIERR_NONE);
  std::filesystem::remove(link);
}

}  // namespace
}  // namespace tw::dbaccess::test
