// Owning and sorted collections, configuration records.
#include "dbaccess/cfgrecord.h"
#include "dbaccess/handles.h"
#include "dbaccess/listtables.h"
#include "dbaccess/session.h"
#include "platform/rtl/exceptions.h"
#include "testsupport.h"

namespace tw::dbaccess::test {
namespace {

struct Tracked : TBapiListItem {
  Tracked(TTitanCollection* Owner, int Key, std::vector<int>* Log) : TBapiListItem(Owner, nullptr), Key(Key), Log(Log) {}
  ~Tracked() override {
    if (Log) Log->push_back(Key);
  }
  int Key;
  std::vector<int>* Log;
};

struct IntSorted : TSortedCollection {
  int Compare(const void* A, const void* B) const override {
    int a = static_cast<const Tracked*>(A)->Key, b = static_cast<const Tracked*>(B)->Key;
    return a < b ? -1 : (a > b ? 1 : 0);
  }
};

TEST(Collections, OwnerFreesItemsLastFirstAndNeverHoldsAFreedItem) {
  std::vector<int> log;
  auto* c = new TTitanCollection;
  new Tracked(c, 1, &log);
  auto* two = new Tracked(c, 2, &log);
  new Tracked(c, 3, &log);
  EXPECT_EQ(c->At(-1), nullptr);
  EXPECT_EQ(c->At(3), nullptr);
  EXPECT_THROW(c->Items(3), EListError);
  delete two;  // removes itself
  EXPECT_EQ(c->Count(), 2);
  EXPECT_EQ(two == c->At(1), false);
  delete c;
  EXPECT_EQ(log, (std::vector<int>{2, 3, 1}));
}

TEST(Collections, SortedInsertWithAndWithoutDuplicates) {
  IntSorted c;
  // Items enter a sorted collection once complete, so the order sees their keys.
  for (int k : {3, 5, 7}) c.Insert(new Tracked(nullptr, k, nullptr));
  auto* dup = new Tracked(nullptr, 5, nullptr);
  c.Duplicates = false;
  c.Insert(dup);
  EXPECT_EQ(c.Count(), 3);
  c.Duplicates = true;
  c.Insert(dup);
  ASSERT_EQ(c.Count(), 4);
  EXPECT_EQ(c.At(1), dup);  // the new 5 stands before the old one
  c.Delete(dup);
  delete dup;
  int index = -1;
  IntSorted empty;
  Tracked probe(nullptr, 4, nullptr);
  EXPECT_FALSE(empty.Search(&probe, index));
  EXPECT_EQ(index, 0);
}

TEST(Collections, HandlesOfFreedObjectsStayDead) {
  auto* item = new Tracked(nullptr, 1, nullptr);
  hDBIObj id = item->Handle();
  EXPECT_EQ(TBapiListItem::FromHandle(id), item);
  delete item;
  EXPECT_EQ(TBapiListItem::FromHandle(id), nullptr);
  auto* next = new Tracked(nullptr, 2, nullptr);
  EXPECT_NE(next->Handle(), id);
  delete next;
}

TEST(ConfigRecords, FieldsSizeTheRecordAndBadLayoutsAreRefused) {
  FLDDesc fields[2] = {Field("PATH", fldZSTRING, 10, 0), Field("TYPE", fldZSTRING, 6, 10)};
  std::uint8_t values[16] = "C:\\DATA";
  std::memcpy(values + 10, "STD", 4);
  TBaseCfgrecord node(nullptr, nullptr, "\\DATABASES\\X\\DB INFO", 2, fields, values);
  EXPECT_EQ(node.RecordSize(), 16u);
  EXPECT_EQ(node.FieldText("path"), "C:\\DATA");
  EXPECT_EQ(node.FieldText("TYPE"), "STD");
  node.SetFields(1, fields, values);
  EXPECT_EQ(node.RecordSize(), 10u);
  node.SetFields(0, fields, values);
  EXPECT_EQ(node.RecordSize(), 0u);
  EXPECT_TRUE(node.Record().empty());
  // A field of no length reads as empty text.
  FLDDesc none = Field("PATH", fldZSTRING, 0, 0);
  node.SetFields(1, &none, nullptr);
  EXPECT_EQ(node.FieldText("PATH"), "");
  FLDDesc bad = Field("PATH", fldZSTRING, 10, 200);
  EXPECT_THROW(node.SetFields(1, &bad, values), EConvertError);
}

TEST(ConfigRecords, SessionTreeFeedsTheDatabaseList) {
  TBaseSession session(nullptr, nullptr, "s", "");
  FLDDesc path = Field("PATH", fldZSTRING, 20, 0);
  std::uint8_t value[20] = "/srv/tables/";
  EXPECT_EQ(session.CfgAddRecord("\\DATABASES\\Tidewell\\DB INFO", 1, &path, value), DBIERR_NONE);
  EXPECT_EQ(session.CfgAddRecord("\\SYSTEM\\INIT", 0, nullptr, nullptr), DBIERR_NONE);
  std::uint16_t count = 0;
  EXPECT_EQ(session.CfgGetRecord("\\SYSTEM\\INIT", count, nullptr, nullptr), DBIERR_NONE);
  EXPECT_EQ(count, 0);

  TBaseDBListTable list(nullptr, &session, "QuarnlDb");
  ASSERT_EQ(list.Open(), DBIERR_NONE);
  DBDesc d;
  ASSERT_EQ(list.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&d)), DBIERR_NONE);
  EXPECT_STREQ(d.szName, "Tidewell");
  EXPECT_STREQ(d.szPhyName, "/srv/tables/");
  EXPECT_STREQ(d.szDbType, "QuarnlDb");
  EXPECT_EQ(list.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&d)), DBIERR_EOF);

  EXPECT_EQ(session.CfgDropRecord("\\SYSTEM\\INIT"), DBIERR_NONE);
  EXPECT_EQ(session.CfgDropRecord("\\SYSTEM\\INIT"), DBIERR_RECNOTFOUND);
}

TEST(Sessions, InformationCountsDatabasesAndTextPassesUnchanged) {
  TBaseSession session(nullptr, nullptr, "A session name longer than thirty-one", "/srv/net");
  SESInfo info;
  ASSERT_EQ(session.GetSesInfo(info), DBIERR_NONE);
  EXPECT_EQ(std::string(info.szName).size(), 31u);
  EXPECT_STREQ(info.szNetDir, "/srv/net");
  EXPECT_STREQ(info.szPrivDir, "/srv/net");
  EXPECT_EQ(info.iDatabases, 0);
  char out[16] = {};
  bool loss = true;
  EXPECT_EQ(session.NativeToAnsi("\xC4pfel", out, 0, loss), DBIERR_NONE);
  EXPECT_STREQ(out, "\xC4pfel");
  EXPECT_FALSE(loss);
  DBDesc d;
  EXPECT_EQ(session.GetDatabaseDesc("C:\\Data", d), DBIERR_NONE);
  EXPECT_STREQ(d.szPhyName, "C:\\Data\\");
  EXPECT_STREQ(d.szDbType, "STANDARD");
  EXPECT_EQ(session.GetDatabaseDesc("NoSuchAlias", d), DBIERR_UNKNOWNDB);
  std::uint32_t prop = 0;
  std::uint16_t len = 0;
  session.SetProp(sesSESPROP, 77);
  EXPECT_EQ(session.GetProp(sesSESPROP, &prop, 4, len), DBIERR_NONE);
  EXPECT_EQ(prop, 77u);
}

TEST(ListReplies, TruncatedEntriesAndEmptyExtensions) {
  TBaseSession session(nullptr, nullptr, "s", "");
  TStreamDBListTable aliases(nullptr, &session, "QuarnlDb");
  std::vector<std::uint8_t> entry(252 + 10, 0);
  PutShortString(entry.data(), 0, 32, "Tidewell");
  PutShortString(entry.data(), 32, 220, "/opt/tidewell/");
  aliases.SetReply(entry.data(), entry.size());
  DBDesc d;
  EXPECT_EQ(aliases.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&d)), DBIERR_NONE);
  EXPECT_STREQ(d.szName, "Tidewell");
  EXPECT_STREQ(d.szPhyName, "/opt/tidewell/");
  EXPECT_EQ(aliases.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&d)), DBIERR_KEYORRECDELETED);
  EXPECT_EQ(aliases.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&d)), DBIERR_EOF);

  TQNClientTblListTable tables(nullptr, nullptr);
  std::uint8_t t[48] = {};
  PutShortString(t, 0, 32, "Messages");
  PutU32(t, 36, 8192);
  PutU32(t, 44, (46u << 25) | (12u << 21) | (6u << 16) | (13u << 11) | (45u << 5) | 15u);
  tables.SetReply(t, sizeof t);
  TBLBaseDesc td;
  ASSERT_EQ(tables.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&td)), DBIERR_NONE);
  EXPECT_STREQ(td.szFileName, "Messages.");
  EXPECT_EQ(td.iSize, 8192u);
  std::int32_t expected = 0;
  DbiDateEncode(12, 6, 2026, expected);
  EXPECT_EQ(td.dtDate, static_cast<std::uint32_t>(expected));
  EXPECT_EQ(td.tmTime, static_cast<std::uint32_t>((13 * 60 + 45) * 60000 + 30000));
  EXPECT_EQ(tables.GetNextRecord(0, reinterpret_cast<std::uint8_t*>(&td)), DBIERR_EOF);
}

}  // namespace
}  // namespace tw::dbaccess::test
