// The embedded server of the access-layer tests: started in this process on the offscreen
// display over a fresh folder of the test's own.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dbaccess/database.h"
#include "dbaccess/embedded.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/storage/data_dictionary.h"
#include "platform/win/display.h"
#include "testsupport.h"

namespace tw::dbaccess::test {

class EmbeddedServer : public AccessTest {
 protected:
  void SetUp() override {
    AccessTest::SetUp();
    SelectDisplay("offscreen");
    ResetWindowSystem();
    folder = std::filesystem::temp_directory_path() / ("tw_dbaccess_e2e_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    dbengine::QNSetLogPath((folder / "QNSERVER.LOG").string());
    RegisterEmbeddedServer(folder.string());
  }
  void TearDown() override {
    AccessTest::TearDown();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  // Starts the engine and opens the test's folder as a database.
  void OpenFolder(hDBIDb& Db) {
    ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
    std::string path = folder.string() + "/";
    ASSERT_EQ(DbiOpenDatabase(path.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, Db), DBIERR_NONE);
  }
  std::filesystem::path folder;
};

inline void Put(hDBICur Cursor, std::uint8_t* Record, std::uint16_t Field, const void* Value) {
  ASSERT_EQ(DbiPutField(Cursor, Field, Record, static_cast<const std::uint8_t*>(Value)), DBIERR_NONE);
}

// A table of persons (name, birth date, number) for the cursor and table tests.
class EmbeddedTable : public EmbeddedServer {
 protected:
  void SetUp() override {
    EmbeddedServer::SetUp();
    OpenFolder(db);
    dbengine::TqnDataDictionary dict(4096);
    dict.AddField("Name", "", dbengine::qftZString, 12, 0, true);
    dict.AddField("Born", "", dbengine::qftDate, 0, 0, false);
    dict.AddField("Nr", "", dbengine::qftInt16, 0, 0, true);
    dict.AddIndex("ByNr", "", 0, {2}, false, true, false);
    auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
    ASSERT_EQ(database->BuildTable("Persons", true, dict), DBIERR_NONE);
    ASSERT_EQ(DbiOpenTable(db, "Persons", nullptr, "ByNr", nullptr, 0, 0, 0, 0, false, nullptr, cur), DBIERR_NONE);
    CURProps props;
    DbiGetCursorProps(cur, props);
    record.assign(props.iRecBufSize, 0);
    const char* names[4] = {"Ada", "Ben", "Cyd", "Dag"};
    for (std::int16_t i = 0; i < 4; ++i) {
      DbiInitRecord(cur, record.data());
      Put(cur, record.data(), 1, names[i]);
      std::int16_t nr = static_cast<std::int16_t>(10 * (i + 1));
      Put(cur, record.data(), 3, &nr);
      ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
    }
  }
  std::string NameOf(const std::vector<std::uint8_t>& Rec) {
    char name[16] = {};
    bool blank = false;
    DbiGetField(cur, 1, Rec.data(), reinterpret_cast<std::uint8_t*>(name), blank);
    return name;
  }
  std::vector<std::string> Walk() {
    std::vector<std::string> names;
    DbiSetToBegin(cur);
    while (DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr) == DBIERR_NONE) names.push_back(NameOf(record));
    return names;
  }
  hDBIDb db = 0;
  hDBICur cur = 0;
  std::vector<std::uint8_t> record;
};

}  // namespace tw::dbaccess::test
