// Pieces of the table-level work that need no server: the index-creation record, the
// requests' refusals, the wait for a rebuild against a stand-in, the databases registered in
// the settings store, configuration nodes and the cursor base's refusals.
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>

#include "dbaccess/basetable.h"
#include "dbaccess/cfgrecord.h"
#include "dbaccess/database.h"
#include "dbaccess/listtables.h"
#include "dbaccess/requests.h"
#include "dbaccess/session.h"
#include "dbengine/base/errors.h"
#include "dbengine/storage/data_dictionary.h"
#include "platform/classes/registry.h"
#include "platform/rtl/tickclock.h"
#include "testsupport.h"

namespace tw::dbaccess::test {
namespace {

std::int32_t I32At(const std::uint8_t* P, std::size_t At) { return static_cast<std::int32_t>(GetU32(P, At)); }

TEST(IndexCreationRecord, CarriesNameZeroBasedFieldsAndFlagsWhereTheServerReadsThem) {
  IDXDesc d;
  std::strcpy(d.szName, "XPKTransTexts");
  d.iFldsInKey = 3;
  d.aiKeyFld[0] = 1;
  d.aiKeyFld[1] = 4;
  d.aiKeyFld[2] = 2;
  d.bUnique = 1;
  d.bDescending = 1;
  d.bCaseInsensitive = 1;
  auto r = IndexCreationRecord(d);
  EXPECT_EQ(GetShortString(r.data(), 4, 32), "XPKTransTexts");
  EXPECT_EQ(r[36], 0) << "empty description";
  EXPECT_EQ(I32At(r.data(), 100), 0) << "the data file";
  EXPECT_EQ(I32At(r.data(), 108), 3);
  EXPECT_EQ(I32At(r.data(), 112), 0);
  EXPECT_EQ(I32At(r.data(), 116), 3);
  EXPECT_EQ(I32At(r.data(), 120), 1);
  EXPECT_EQ(I32At(r.data(), 124), 0);
  EXPECT_EQ(r[176], 0) << "unique: no duplicates";
  EXPECT_EQ(r[177], 0) << "descending";
  EXPECT_EQ(r[178], 1);

  d.iFldsInKey = 200;  // more than a key can hold: only the sixteen slots are written
  r = IndexCreationRecord(d);
  EXPECT_EQ(I32At(r.data(), 108), DBIMAXFLDSINKEY);
}

class Requests : public AccessTest {};

TEST_F(Requests, ObjectsOfOtherKindsAreRefused) {
  TBaseTable plain(nullptr, nullptr, dbiREADWRITE, dbiOPENSHARED);
  IDXDesc d;
  std::uint32_t id = 7;
  EXPECT_EQ(AddIndexRequest(&plain, d, id), DBIERR_INVALIDHNDL);
  EXPECT_EQ(AddIndexRequest(nullptr, d, id), DBIERR_INVALIDHNDL);
  EXPECT_EQ(id, 0u);

  dbengine::TqnDataDictionary dict(4096);
  EXPECT_EQ(BuildTableRequest(nullptr, true, "T", dict), DBIERR_INVALIDHNDL);
  TBaseDatabase db(nullptr, nullptr, DBDesc{}, 0, 0, "", "");
  try {
    BuildTableRequest(&db, true, "T", dict);
    FAIL() << "a database of another kind must raise";
  } catch (const dbengine::EqnClientException& e) {
    EXPECT_EQ(e.Message(), "Function only applicable to Quarnel data components");
  }

  bool finished = true;
  RebuildStatus status;
  EXPECT_EQ(SendServerRequest(nullptr, 1, finished, status), DBIERR_INVALIDHNDL);
  TBaseSession session(nullptr, nullptr, "", "");
  EXPECT_THROW(SendServerRequest(&session, 1, finished, status), dbengine::EqnClientException);
  EXPECT_FALSE(finished);
}

// A server that answers only the rebuild status, from a script of replies.
class RebuildStandIn : public TClientComms {
 public:
  struct Step {
    bool Found;
    std::uint32_t Percent;
    std::uint32_t StatusCode;
    bool Finished;
  };
  std::deque<Step> Script;
  std::vector<std::uint32_t> AskedIds;
  bool IsConnected() const override { return true; }
  std::vector<std::string> GetServerNames(std::uint32_t) override { return {"SingleEXE"}; }
  DBIResult AttachToServer(const std::string&, const std::string&, const std::string&) override { return 0; }
  DBIResult SendRequest(std::uint32_t Id, const void* Data, std::uint32_t Length, bool, void* Reply,
                        std::uint32_t Capacity, std::uint32_t*) override {
    if (Id != 771 || Length != 4 || Capacity != 33) return DBIERR_INVALIDPARAM;
    AskedIds.push_back(GetU32(static_cast<const std::uint8_t*>(Data), 0));
    Step s = Script.empty() ? Step{true, 50, 0, false} : Script.front();
    if (!Script.empty()) Script.pop_front();
    auto* o = static_cast<std::uint8_t*>(Reply);
    std::memset(o, 0, 33);
    PutU32(o, 20, s.Percent);
    PutU32(o, 24, s.StatusCode);
    PutU32(o, 28, s.Finished ? 1 : 0);
    o[32] = s.Found ? 1 : 0;
    return 0;
  }
  DBIResult SendRequestToStream(std::uint32_t, const void*, std::uint32_t, bool, TStream&) override {
    return DBIERR_NOTSUPPORTED;
  }
};

class RebuildWait : public AccessTest {
 protected:
  void SetUp() override {
    AccessTest::SetUp();
    auto fake = std::make_unique<RebuildStandIn>();
    server = fake.get();
    auto holder = std::make_shared<std::unique_ptr<RebuildStandIn>>(std::move(fake));
    SetClientCommsFactory([holder](const std::string&) -> std::unique_ptr<TClientComms> { return std::move(*holder); });
    session = std::make_unique<TQNClientSession>(nullptr, nullptr, "", "");
  }
  void TearDown() override {
    session.reset();
    SetTickSource(nullptr);
    AccessTest::TearDown();
  }
  RebuildStandIn* server = nullptr;
  std::unique_ptr<TQNClientSession> session;
};

TEST_F(RebuildWait, TheStatusIsAskedForUntilTheRebuildHasFinished) {
  server->Script = {{true, 10, 0, false}, {true, 60, 0, false}, {true, 100, 0, true}};
  bool finished = true;
  RebuildStatus status;
  ASSERT_EQ(SendServerRequest(session.get(), 42, finished, status), DBIERR_NONE);
  EXPECT_FALSE(finished);
  EXPECT_EQ(status.PercentDone, 10u);
  EXPECT_EQ(WaitForRebuild(session.get(), 42), DBIERR_NONE);
  EXPECT_EQ(server->AskedIds, (std::vector<std::uint32_t>{42, 42, 42}));
}

TEST_F(RebuildWait, AFailedRebuildAnswersItsStatusCode) {
  server->Script = {{true, 30, 0, false}, {true, 30, 10025, true}};
  EXPECT_EQ(WaitForRebuild(session.get(), 5), 10025);
}

TEST_F(RebuildWait, AnUnknownRebuildAndAStalledOneEnd) {
  server->Script = {{false, 0, 0, false}};
  EXPECT_EQ(WaitForRebuild(session.get(), 5), DBIERR_OBJNOTFOUND);
  // A rebuild that never finishes ends at the time-out, not in an endless wait.
  std::uint32_t now = 1000;
  SetTickSource([&now] { return now += 400; });
  EXPECT_EQ(WaitForRebuild(session.get(), 5, 2000), DBIERR_NETTIMEOUT);
  EXPECT_LT(server->AskedIds.size(), 10u);
}

// Databases registered in the settings store, then those of the configuration tree.
class RegisteredDatabases : public AccessTest {
 protected:
  void SetUp() override {
    AccessTest::SetUp();
    store = std::filesystem::temp_directory_path() / ("tw_dbaccess_reg_" + std::to_string(getpid()) + ".ini");
    SetSettingsStorePath(store.string());
  }
  void TearDown() override {
    SetSettingsStorePath("");
    std::error_code ec;
    std::filesystem::remove(store, ec);
    AccessTest::TearDown();
  }
  void Register(const std::string& Alias, const std::string& Description, const std::string& Path) {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey("\\Software\\DevidEreve\\Quarnel\\Aliases\\" + Alias, true));
    if (!Description.empty()) reg.WriteString("Description", Description);
    if (!Path.empty()) reg.WriteString("PhysicalName", Path);
  }
  std::vector<DBDesc> List(TBaseSession& Session) {
    TBaseTable* list = nullptr;
    EXPECT_EQ(Session.OpenDatabaseList(list), DBIERR_NONE);
    std::vector<DBDesc> out;
    DBDesc d;
    while (list && list->GetNextRecord(dbiNOLOCK, reinterpret_cast<std::uint8_t*>(&d)) == DBIERR_NONE) {
      out.push_back(d);
      d = DBDesc{};
    }
    delete list;
    return out;
  }
  std::filesystem::path store;
};

TEST_F(RegisteredDatabases, AnEmptyStoreListsNothing) {
  TBaseSession session(nullptr, nullptr, "", "");
  EXPECT_TRUE(List(session).empty());
}

TEST_F(RegisteredDatabases, AliasesGetATrailingBackslashAndTheConfigurationTreeFollows) {
  Register("Charts", "Chart tables", "/home/ada/charts");
  Register("Texts", "", "/opt/texts\\");
  TBaseSession session(nullptr, nullptr, "", "");
  FLDDesc path = Field("PATH", fldZSTRING, 16);
  const char value[16] = "/srv/extra/";
  ASSERT_EQ(session.CfgAddRecord("\\DATABASES\\EXTRA\\DB INFO", 1, &path, reinterpret_cast<const std::uint8_t*>(value)),
            DBIERR_NONE);
  ASSERT_EQ(session.CfgAddRecord("\\DRIVERS\\QN", 1, &path, reinterpret_cast<const std::uint8_t*>(value)), DBIERR_NONE);
  std::vector<DBDesc> dbs = List(session);
  ASSERT_EQ(dbs.size(), 3u);
  EXPECT_STREQ(dbs[0].szName, "Charts");
  EXPECT_STREQ(dbs[0].szText, "Chart tables");
  EXPECT_STREQ(dbs[0].szPhyName, "/home/ada/charts\\");
  EXPECT_STREQ(dbs[0].szDbType, "QuarnlDb");
  EXPECT_STREQ(dbs[1].szName, "Texts");
  EXPECT_STREQ(dbs[1].szText, "");
  EXPECT_STREQ(dbs[1].szPhyName, "/opt/texts\\");
  EXPECT_STREQ(dbs[2].szName, "EXTRA");
  EXPECT_STREQ(dbs[2].szPhyName, "/srv/extra/");

  // A registered alias is a database name the base session can describe.
  DBDesc desc;
  EXPECT_EQ(session.GetDatabaseDesc("charts", desc), DBIERR_NONE);
  EXPECT_STREQ(desc.szPhyName, "/home/ada/charts\\");
  EXPECT_STREQ(desc.szDbType, "STANDARD");
  EXPECT_EQ(session.GetDatabaseDesc("Nowhere", desc), DBIERR_UNKNOWNDB);
}

TEST(ConfigurationNodes, ValuesAreChangedInPlaceAndMissingNodesReported) {
  TBaseSession session(nullptr, nullptr, "", "");
  FLDDesc fields[2] = {Field("PATH", fldZSTRING, 8, 0), Field("MODE", fldZSTRING, 4, 8)};
  std::uint8_t values[12] = {'/', 'a', 0, 0, 0, 0, 0, 0, 'R', 'W', 0, 0};
  ASSERT_EQ(session.CfgAddRecord("\\X\\INFO", 2, fields, values), DBIERR_NONE);
  std::uint8_t changed[12] = {'/', 'b', 0, 0, 0, 0, 0, 0, 'R', 0, 0, 0};
  ASSERT_EQ(session.CfgModifyRecord("\\X\\INFO", changed), DBIERR_NONE);
  EXPECT_EQ(session.FindCfgNode("\\X\\INFO")->FieldText("PATH"), "/b");
  EXPECT_EQ(session.FindCfgNode("\\X\\INFO")->FieldText("MODE"), "R");
  EXPECT_EQ(session.CfgModifyRecord("\\Y", changed), DBIERR_RECNOTFOUND);
  EXPECT_EQ(session.CfgModifyRecord("\\X\\INFO", nullptr), DBIERR_INVALIDPARAM);
}

class CursorBaseRefusals : public AccessTest {};

TEST_F(CursorBaseRefusals, TableLevelWorkOfTheBaseIsRefusedByName) {
  TBaseTable plain(nullptr, nullptr, dbiREADWRITE, dbiOPENSHARED);
  EXPECT_EQ(plain.AddIndex(IDXDesc{}), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(plain.DeleteIndex("X", "", 0), DBIERR_NOTSUPPORTED);
  EXPECT_EQ(plain.MakePermanent(""), DBIERR_INVALIDHNDL);
  std::uint32_t recNo = 9;
  EXPECT_EQ(plain.GetRecordNo(recNo), DBIERR_NOTSUPPORTED);
  ASSERT_EQ(Boxes.size(), 2u) << "record numbers are refused quietly";
  EXPECT_EQ(Boxes[0].Text, "DBE Call DBIADDINDEX not supported.");
  EXPECT_EQ(Boxes[1].Text, "DBE Call DBIDELETEINDEX not supported.");

  std::string name;
  std::uint16_t number = 5;
  EXPECT_EQ(plain.GetIndexForFields("XPKMsgs", name, number), DBIERR_NONE);
  EXPECT_EQ(name, "XPKMsgs");
  EXPECT_EQ(number, 0);

  // Blocks need a buffer when records are asked for.
  std::uint32_t count = 2;
  EXPECT_EQ(plain.ReadBlock(count, nullptr), DBIERR_INVALIDPARAM);
  EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace tw::dbaccess::test
