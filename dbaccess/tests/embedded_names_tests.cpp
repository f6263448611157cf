// Names of tables and folders as the access layer sends them to the embedded server: a table
// named in another case is the open table of the same file, and a folder named with the
// separator the access layer appends, or through a link, is the same folder.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dbaccess/database.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/session.h"
#include "embeddedsupport.h"
#include "platform/rtl/tickclock.h"

namespace tw::dbaccess::test {
namespace {

constexpr DBIResult kTableOpen = 10031;

// Whether the file at Path holds Text (a record's name stands in its data block as it is).
bool FileHolds(const std::filesystem::path& Path, const std::string& Text) {
  std::ifstream in(Path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  return bytes.find(Text) != std::string::npos;
}

// Whether a server holds a claim on the directory that a lock of kind Op (LOCK_SH, LOCK_EX)
// would meet: a shared claim stops LOCK_EX, one made exclusive for writing stops LOCK_SH too.
bool Claimed(const std::filesystem::path& Dir, int Op) {
  const int fd = ::open(Dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  const bool held = ::flock(fd, Op | LOCK_NB) != 0;
  ::close(fd);
  return held;
}

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

// A folder renamed while a table of it is open, and made again at its path with a copy of the
// table's file, is another folder: a database opened on the path reaches the new folder's
// table, transaction and claim.  The old database goes on in its own directory.  A table whose
// folder was deleted takes no more changes: nothing of it is acknowledged and lost.
TEST_F(TableNames, AFolderMadeAgainAtItsPathIsAnotherFolder) {
  SetTickSource([] { return static_cast<std::uint32_t>(Display().NowMs()); });
  std::uint32_t oldTran = 0, newTran = 0;
  ASSERT_EQ(Database()->BeginTran(0, oldTran), DBIERR_NONE);
  const std::filesystem::path old = folder.string() + "_old";
  std::filesystem::rename(folder, old);
  std::filesystem::create_directory(folder);
  std::filesystem::copy_file(old / "Persons.QND", folder / "Persons.QND");
  hDBIDb again = 0;
  hDBICur fresh = 0;
  auto openPersons = [&] {
    ASSERT_EQ(DbiOpenDatabase((folder.string() + "/").c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, again), 0);
    ASSERT_EQ(DbiOpenTable(again, "Persons", nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false,
                           nullptr, fresh),
              DBIERR_NONE);
  };
  openPersons();
  EXPECT_EQ(TBapiListItem::Resolve<TQNClientDatabase>(again)->BeginTran(0, newTran), DBIERR_NONE);
  EXPECT_EQ(Insert(fresh, "Bnew", 50), DBIERR_NONE);
  EXPECT_EQ(TBapiListItem::Resolve<TQNClientDatabase>(again)->EndTran(newTran, 0), DBIERR_NONE);
  EXPECT_TRUE(FileHolds(folder / "Persons.QND", "Bnew"));
  EXPECT_FALSE(FileHolds(old / "Persons.QND", "Bnew"));
  EXPECT_TRUE(Claimed(folder, LOCK_SH)) << "the new folder is held for writing";

  EXPECT_EQ(Walk(), (std::vector<std::string>{"Ada", "Ben", "Cyd", "Dag"}));
  // The old database keeps to the directory it opened: its transaction commits there, and so
  // does a change outside one; the folder now at its path receives nothing of either.
  EXPECT_EQ(Insert(cur, "Aold", 60), DBIERR_NONE);
  EXPECT_EQ(Database()->EndTran(oldTran, 0), DBIERR_NONE);
  EXPECT_EQ(Insert(cur, "Eold", 61), DBIERR_NONE);
  EXPECT_FALSE(FileHolds(folder / "Persons.QND", "Aold"));
  EXPECT_FALSE(FileHolds(folder / "Persons.QND", "Eold"));
  EXPECT_TRUE(FileHolds(old / "Persons.QND", "Aold"));
  EXPECT_TRUE(FileHolds(old / "Persons.QND", "Eold"));

  // Each database gives back the claim of its own folder.
  ASSERT_EQ(DbiCloseCursor(fresh), DBIERR_NONE);
  ASSERT_EQ(DbiCloseDatabase(again), DBIERR_NONE);
  EXPECT_FALSE(Claimed(folder, LOCK_EX));
  EXPECT_TRUE(Claimed(old, LOCK_EX));

  // A table open in a folder that is deleted.
  openPersons();
  std::filesystem::remove_all(folder);
  EXPECT_EQ(Insert(fresh, "Lost", 70), DBIERR_INVALIDDIR);
  DbiCloseCursor(fresh);
  DbiCloseDatabase(again);
  DbiCloseCursor(cur);
  ASSERT_EQ(DbiCloseDatabase(db), DBIERR_NONE);
  EXPECT_FALSE(Claimed(old, LOCK_EX));
  std::filesystem::remove_all(old);
}

// Two folders whose names differ only in case are two databases with a description each; an
// alias is found in any case under one description.
TEST_F(TableNames, FoldersDifferingInCaseAreDescribedApart) {
  const std::string lower = (folder / "data").string() + "/", upper = (folder / "DATA").string() + "/";
  std::filesystem::create_directory(folder / "data");
  std::filesystem::create_directory(folder / "DATA");
  hDBIDb a = 0, b = 0;
  ASSERT_EQ(DbiOpenDatabase(lower.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, a), DBIERR_NONE);
  ASSERT_EQ(DbiOpenDatabase(upper.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, b), DBIERR_NONE);
  DBDesc desc;
  ASSERT_EQ(DbiGetDatabaseDesc(upper.c_str(), desc), DBIERR_NONE);
  EXPECT_EQ(std::string(desc.szPhyName), upper);
  ASSERT_EQ(DbiGetDatabaseDesc(lower.c_str(), desc), DBIERR_NONE);
  EXPECT_EQ(std::string(desc.szPhyName), lower);
  db = b;
  ASSERT_EQ(Create("Made", false), DBIERR_NONE);
  EXPECT_TRUE(std::filesystem::exists(folder / "DATA" / "Made.QND"));
  EXPECT_FALSE(std::filesystem::exists(folder / "data" / "Made.QND"));

  TBaseSession* session = Database()->Session();
  ASSERT_EQ(session->AddAlias("Stars", "", "PATH:" + upper), DBIERR_NONE);
  const int before = session->CachedDescriptionCount();
  for (const char* alias : {"Stars", "STARS", "stars"})
    EXPECT_EQ(DbiGetDatabaseDesc(alias, desc), DBIERR_NONE) << alias;
  EXPECT_EQ(session->CachedDescriptionCount(), before + 1);
}

// The dictionary lists name their table as every table call does: a name longer than a table's
// is refused, not cut to the name of another table whose dictionary would be served.
TEST_F(TableNames, DictionaryListsRefuseANameLongerThanATablesName) {
  const std::string name(31, 'T'), longer = name + "S";
  ASSERT_EQ(Create(name.c_str(), false), DBIERR_NONE);
  hDBICur list = 0;
  ASSERT_EQ(DbiOpenFieldList(db, name.c_str(), nullptr, false, list), DBIERR_NONE);
  EXPECT_EQ(DbiCloseCursor(list), DBIERR_NONE);
  hDBICur table = 0;
  ASSERT_EQ(DbiOpenTable(db, longer.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, table),
            DBIERR_INVALIDTABLENAME);
  EXPECT_EQ(DbiOpenFieldList(db, longer.c_str(), nullptr, false, list), DBIERR_INVALIDTABLENAME);
  EXPECT_EQ(DbiOpenVchkList(db, longer.c_str(), nullptr, list), DBIERR_INVALIDTABLENAME);
  EXPECT_EQ(Database()->OpenIndexList(longer, list), DBIERR_INVALIDTABLENAME);
}

// An alias keeps at most 219 characters of folder.  A relative folder short enough to send
// but expanded by the server beyond that is refused when added, and so is such a new path.
TEST_F(TableNames, AnAliasWhoseFolderExpandsPastItsRoomIsRefused) {
  std::string relative;
  while (folder.string().size() + 1 + relative.size() <= 219) relative += std::string(40, 'd') + "/";
  ASSERT_LE(relative.size(), 219u);
  std::filesystem::create_directories(folder / relative);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  TBaseSession* session = Database()->Session();
  const DBIResult added = session->AddAlias("Deep", "", "PATH:" + relative);
  std::filesystem::current_path(before);
  EXPECT_EQ(added, DBIERR_INVALIDDIR);
  hDBIDb deep = 0;
  EXPECT_EQ(DbiOpenDatabase("Deep", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, deep), DBIERR_UNKNOWNDB);
}

}  // namespace
}  // namespace tw::dbaccess::test
