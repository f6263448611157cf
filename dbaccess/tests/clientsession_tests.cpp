// The client session, database and table against a stand-in server that answers the requests
// the transit list needs: open, search by key, read the memo.
#include <algorithm>
#include <map>

#include "dbaccess/clienttable.h"
#include "dbaccess/database.h"
#include "dbaccess/session.h"
#include "dbaccess/virteng.h"
#include "dbengine/storage/data_dictionary.h"
#include "platform/classes/streams.h"
#include "testsupport.h"

namespace tw::dbaccess::test {
namespace {

using dbengine::TqnDataDictionary;

// One table held in memory; records are whole images in the dictionary's layout.
class StandInServer : public TClientComms {
 public:
  explicit StandInServer(std::vector<std::string> Servers = {"SingleEXE"}) : servers(std::move(Servers)) {
    dict.AddField("Lang", "", dbengine::qftZString, 4, 0, true);
    dict.AddField("Trans", "", dbengine::qftInt16, 0, 0, true);
    dict.AddField("Radix", "", dbengine::qftInt16, 0, 0, true);
    dict.AddField("Aspect", "", dbengine::qftInt16, 0, 0, true);
    dict.AddField("Interpretation", "", dbengine::qftBlobMemo, 0, 0, false);
    dict.AddIndex("XPKTransTexts", "", 0, {0, 1, 2, 3}, false, true, true);
  }
  bool IsConnected() const override { return attached; }
  std::vector<std::string> GetServerNames(std::uint32_t) override { return servers; }
  DBIResult AttachToServer(const std::string& Server, const std::string& User, const std::string& Password) override {
    attaches.push_back(Server + "|" + User + "|" + Password);
    if (User != acceptedUser || Password != acceptedPassword) return DBIERR_INVALIDPASSWORD;
    attached = true;
    return DBIERR_NONE;
  }
  DBIResult SendRequest(std::uint32_t Id, const void* Data, std::uint32_t Length, bool, void* Reply,
                        std::uint32_t Capacity, std::uint32_t* ReplyLength) override {
    requests.push_back(Id);
    if (Id == 2048 || Id == 2049 || Id == 2050)
      lockBytes.push_back(Length > 12 ? static_cast<const std::uint8_t*>(Data)[12] : 0);
    std::vector<std::uint8_t> out;
    DBIResult r = Handle(Id, static_cast<const std::uint8_t*>(Data), Length, out);
    if (r == DBIERR_NONE && Reply) std::memcpy(Reply, out.data(), std::min<std::size_t>(Capacity, out.size()));
    if (ReplyLength) *ReplyLength = static_cast<std::uint32_t>(out.size());
    return r;
  }
  DBIResult SendRequestToStream(std::uint32_t Id, const void* Data, std::uint32_t Length, bool,
                                TStream& Reply) override {
    requests.push_back(Id);
    if (Id == 1280) {
      ++openCount;
      lastTableName = GetShortString(static_cast<const std::uint8_t*>(Data), 4, 32);
      std::uint8_t id[4];
      PutU32(id, 0, 7);
      Reply.Write(id, 4);
      dict.WriteToStream(Reply);
      PutU32(id, 0, 1);
      Reply.Write(id, 4);
      return DBIERR_NONE;
    }
    if (Id == 258) {
      std::uint8_t entry[252] = {};
      PutShortString(entry, 0, 32, "Tidewell");
      PutShortString(entry, 32, 220, "/opt/tidewell/");
      Reply.Write(entry, sizeof entry);
      return DBIERR_NONE;
    }
    (void)Data;
    (void)Length;
    return DBIERR_NOTSUPPORTED;
  }

  DBIResult Handle(std::uint32_t Id, const std::uint8_t* D, std::uint32_t L, std::vector<std::uint8_t>& Out) {
    auto u32 = [&](std::size_t at) { return GetU32(D, at); };
    std::size_t recLen = static_cast<std::size_t>(dict.RecordLength());
    switch (Id) {
      case 261:
        lastOpenPath = GetShortString(D, 0, 220);
        Out.assign(4, 0);
        PutU32(Out.data(), 0, 3);
        return DBIERR_NONE;
      case 257: case 1794: case 1798: return DBIERR_NONE;
      case 1792:
        position = -1;
        return DBIERR_NONE;
      case 2049:
        if (position + 1 >= static_cast<int>(records.size())) return DBIERR_EOF;
        ++position;
        [[fallthrough]];
      case 2048:
        if (position < 0 || position >= static_cast<int>(records.size())) return DBIERR_NOCURRREC;
        Out = records[static_cast<std::size_t>(position)];
        Out.resize(u32(4));
        return DBIERR_NONE;
      case 1024:
        Out.assign(4, 0);
        PutU32(Out.data(), 0, 55);
        return DBIERR_NONE;
      case 1025:
        lastCommitByte = D[4];
        return DBIERR_NONE;
      case 260:
        lastAliasPath = GetShortString(D, 32, 220);
        return DBIERR_NONE;
      case 1536:
        blobs.emplace_back();
        Out.assign(4, 0);
        PutU32(Out.data(), 0, static_cast<std::uint32_t>(blobs.size()));
        return DBIERR_NONE;
      case 1541: {
        std::uint32_t n = u32(4), off = u32(8), len = u32(12);
        if (n == 0 || n > blobs.size() || 16 + len > L) return DBIERR_INVALIDBLOBHANDLE;
        auto& b = blobs[n - 1];
        if (b.size() < off + len) b.resize(off + len);
        std::memcpy(b.data() + off, D + 16, len);
        return DBIERR_NONE;
      }
      case 1539: {
        std::uint32_t n = u32(4);
        if (n == 0 || n > blobs.size()) return DBIERR_INVALIDBLOBHANDLE;
        Out.assign(4, 0);
        PutU32(Out.data(), 0, static_cast<std::uint32_t>(blobs[n - 1].size()));
        return DBIERR_NONE;
      }
      case 1538: {
        std::uint32_t n = u32(4), off = u32(8), len = u32(12);
        if (n == 0 || n > blobs.size()) return DBIERR_INVALIDBLOBHANDLE;
        const auto& b = blobs[n - 1];
        std::uint32_t got = off >= b.size() ? 0 : std::min<std::uint32_t>(len, static_cast<std::uint32_t>(b.size() - off));
        Out.assign(4 + got, 0);
        PutU32(Out.data(), 0, got + blobCountBeyondData);
        if (got) std::memcpy(Out.data() + 4, b.data() + off, got);
        return DBIERR_NONE;
      }
      case 2053:
        if (u32(4) != recLen || L != 13 + recLen) return DBIERR_INVALIDPARAM;
        records.emplace_back(D + 13, D + 13 + recLen);
        return DBIERR_NONE;
      case 2056: {
        bool keyIsKey = D[4] != 0;
        std::uint32_t n = u32(17);
        std::vector<std::uint8_t> key(static_cast<std::size_t>(dict.IndexKeyLength(1)));
        if (keyIsKey) {
          if (n != key.size()) return DBIERR_INVALIDPARAM;
          std::memcpy(key.data(), D + 25, n);
        } else {
          dict.ExtractKey(1, D + 25, key.data());
        }
        for (const auto& rec : records) {
          std::vector<std::uint8_t> k(key.size());
          dict.ExtractKey(1, rec.data(), k.data());
          if (k == key) {
            Out = rec;
            Out.resize(u32(13));
            return DBIERR_NONE;
          }
        }
        return DBIERR_RECNOTFOUND;
      }
      default: return DBIERR_NOTSUPPORTED;
    }
  }

  TqnDataDictionary dict{4096};
  std::vector<std::vector<std::uint8_t>> records;
  std::vector<std::vector<std::uint8_t>> blobs;
  std::vector<std::uint32_t> requests;
  std::vector<std::uint8_t> lockBytes;  // the lock byte of each record read or step, in order
  std::vector<std::string> attaches;
  std::vector<std::string> servers;
  std::string acceptedUser = "admin";
  std::string acceptedPassword;
  std::string lastOpenPath;
  std::string lastAliasPath;
  std::string lastTableName;
  int lastCommitByte = -1;
  std::uint32_t blobCountBeyondData = 0;  // a damaged ReadBLOB reply claims this many bytes more
  bool attached = false;
  int openCount = 0;
  int position = -1;
};


class ClientSession : public AccessTest {
 protected:
  StandInServer* Install(std::vector<std::string> Servers = {"SingleEXE"}) {
    auto* raw = new StandInServer(std::move(Servers));
    owned = raw;
    SetClientCommsFactory([raw](const std::string&) { return std::unique_ptr<TClientComms>(raw); });
    return raw;
  }
  // The engine, the folder database "/data/" and a table in it.
  void OpenFolderTable(const char* Table, hDBIDb& Db, hDBICur& Cursor) {
    ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
    ASSERT_EQ(DbiOpenDatabase("/data/", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, Db), DBIERR_NONE);
    ASSERT_EQ(DbiOpenTable(Db, Table, nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, Cursor), DBIERR_NONE);
  }
  // The interpretation table of the folder database, with its cursor's properties.
  CURProps OpenTexts(hDBIDb& Db, hDBICur& Cursor) {
    CURProps props;
    OpenFolderTable("Interprt", Db, Cursor);
    EXPECT_EQ(DbiGetCursorProps(Cursor, props), DBIERR_NONE);
    return props;
  }
  StandInServer* owned = nullptr;
};

TEST_F(ClientSession, OneServerIsTakenWithoutADialogAndAdminLogsIn) {
  StandInServer* server = Install();
  auto prompt = std::make_shared<ScriptedPrompt>();
  SetLoginPrompt(prompt);
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(prompt->picks, 0);
  ASSERT_EQ(server->attaches.size(), 1u);
  EXPECT_EQ(server->attaches[0], "SingleEXE|admin|");
}

TEST_F(ClientSession, SeveralServersAreOfferedAndLoginAsksAtMostThreeTimes) {
  StandInServer* server = Install({"A", "B"});
  server->acceptedUser = "guest";
  server->acceptedPassword = "secret";
  SessionDefaults().UserName = "";
  auto prompt = std::make_shared<ScriptedPrompt>();
  SetLoginPrompt(prompt);
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  EXPECT_EQ(prompt->picks, 1);
  EXPECT_EQ(prompt->logins, 3);
  EXPECT_EQ(server->attaches.size(), 4u);
  EXPECT_EQ(server->attaches.front(), "B||");
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Unknown user name or password.");
}

TEST_F(ClientSession, CorrectPasswordOnTheSecondTryConnects) {
  StandInServer* server = Install();
  server->acceptedUser = "guest";
  server->acceptedPassword = "wrong";
  SessionDefaults().UserName = "";
  auto prompt = std::make_shared<ScriptedPrompt>();
  SetLoginPrompt(prompt);
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  EXPECT_EQ(prompt->logins, 1);
  EXPECT_TRUE(Boxes.empty());
}

// A prompt that installs another in its place while it asks, as a login form that registers
// other dialogs might; it reads its own answers afterwards.
class ReplacingPrompt : public TLoginPrompt {
 public:
  explicit ReplacingPrompt(int* Asked) : asked(Asked) {}
  bool Login(const std::string&, std::string& User, std::string& Password) override {
    SetLoginPrompt(std::make_shared<ScriptedPrompt>());
    ++*asked;
    User = user;
    Password = password;
    return true;
  }
  bool PickServer(const std::vector<std::string>&, std::string&) override { return false; }
  int* asked;
  std::string user = "guest", password = "secret";
};

TEST_F(ClientSession, APromptReplacedWhileItAsksLivesUntilItHasAnswered) {
  StandInServer* server = Install();
  server->acceptedUser = "guest";
  server->acceptedPassword = "secret";
  SessionDefaults().UserName = "";
  int asked = 0;
  SetLoginPrompt(std::make_shared<ReplacingPrompt>(&asked));
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(server->attaches.back(), "SingleEXE|guest|secret");
  EXPECT_TRUE(Boxes.empty());
}

// Builds a record through the entry points, the way the data-set classes do.
void PutText(hDBICur Cursor, std::uint8_t* Record, std::uint16_t Field, const char* Text) {
  EXPECT_EQ(DbiPutField(Cursor, Field, Record, reinterpret_cast<const std::uint8_t*>(Text)), DBIERR_NONE);
}
void PutInt(hDBICur Cursor, std::uint8_t* Record, std::uint16_t Field, std::int16_t V) {
  EXPECT_EQ(DbiPutField(Cursor, Field, Record, reinterpret_cast<const std::uint8_t*>(&V)), DBIERR_NONE);
}

TEST_F(ClientSession, TransitLookupFindsTheRecordByKeyAndReadsItsMemo) {
  StandInServer* server = Install();
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  hDBIDb db = 0;
  ASSERT_EQ(DbiOpenDatabase("[x] Tidewell", nullptr, dbiREADONLY, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, db),
            DBIERR_NONE);
  EXPECT_EQ(server->lastOpenPath, "/opt/tidewell/");
  // The description is cached: a second lookup asks the server nothing.
  DBDesc desc;
  std::size_t before = server->requests.size();
  EXPECT_EQ(DbiGetDatabaseDesc("Tidewell", desc), DBIERR_NONE);
  EXPECT_EQ(server->requests.size(), before);
  DBDesc unknown;
  EXPECT_EQ(DbiGetDatabaseDesc("Elsewhere", unknown), DBIERR_UNKNOWNDB);

  hDBICur cur = 0;
  ASSERT_EQ(DbiOpenTable(db, "Interprt.QND", nullptr, "XPKTransTexts", nullptr, 0, dbiREADONLY, dbiOPENSHARED, 0,
                         false, nullptr, cur),
            DBIERR_NONE);
  CURProps props;
  ASSERT_EQ(DbiGetCursorProps(cur, props), DBIERR_NONE);
  EXPECT_EQ(props.iFields, 5);
  EXPECT_STREQ(props.szTableType, "QN");
  std::vector<std::uint8_t> record(props.iRecBufSize);

  // Two records with their memos.
  const char* texts[2] = {"Sun trine Moon: harmony.", "Mars square Venus: friction."};
  std::int16_t keys[2][3] = {{0, 1, 4}, {4, 3, 3}};
  for (int i = 0; i < 2; ++i) {
    DbiInitRecord(cur, record.data());
    PutText(cur, record.data(), 1, "ENG");
    PutInt(cur, record.data(), 2, keys[i][0]);
    PutInt(cur, record.data(), 3, keys[i][1]);
    PutInt(cur, record.data(), 4, keys[i][2]);
    ASSERT_EQ(DbiOpenBlob(cur, record.data(), 5, 0), DBIERR_NONE);
    ASSERT_EQ(DbiPutBlob(cur, record.data(), 5, 0, static_cast<std::uint32_t>(std::strlen(texts[i])),
                         reinterpret_cast<const std::uint8_t*>(texts[i])),
              DBIERR_NONE);
    ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
  }

  // Search by key given as a record image, as the data-set classes' FindKey does.
  DbiInitRecord(cur, record.data());
  PutText(cur, record.data(), 1, "ENG");
  PutInt(cur, record.data(), 2, 4);
  PutInt(cur, record.data(), 3, 3);
  PutInt(cur, record.data(), 4, 3);
  std::vector<std::uint8_t> found(props.iRecBufSize);
  ASSERT_EQ(DbiGetRecordForKey(cur, false, 4, 0, record.data(), found.data()), DBIERR_NONE);
  bool blank = true;
  char lang[8] = {};
  EXPECT_EQ(DbiGetField(cur, 1, found.data(), reinterpret_cast<std::uint8_t*>(lang), blank), DBIERR_NONE);
  EXPECT_STREQ(lang, "ENG");
  std::uint32_t size = 0;
  ASSERT_EQ(DbiGetBlobSize(cur, found.data(), 5, size), DBIERR_NONE);
  ASSERT_EQ(size, std::strlen(texts[1]));
  std::string memo(size, '\0');
  std::uint32_t read = 0;
  ASSERT_EQ(DbiGetBlob(cur, found.data(), 5, 0, size, reinterpret_cast<std::uint8_t*>(memo.data()), read), DBIERR_NONE);
  EXPECT_EQ(read, size);
  EXPECT_EQ(memo, texts[1]);
  EXPECT_EQ(DbiGetBlob(cur, found.data(), 5, 0, 65518, reinterpret_cast<std::uint8_t*>(memo.data()), read),
            DBIERR_INVALIDBLOBLEN);

  // A key that is not there.
  PutInt(cur, record.data(), 2, 9);
  EXPECT_EQ(DbiGetRecordForKey(cur, false, 4, 0, record.data(), found.data()), DBIERR_RECNOTFOUND);

  // A record without a memo reads as empty, without a request; a BLOB number 0 is invalid.
  DbiInitRecord(cur, record.data());
  size = 9;
  EXPECT_EQ(DbiGetBlobSize(cur, record.data(), 5, size), DBIERR_NONE);
  EXPECT_EQ(size, 0u);
  const std::uint32_t zero = 0;
  ASSERT_EQ(DbiPutField(cur, 5, record.data(), reinterpret_cast<const std::uint8_t*>(&zero)), DBIERR_NONE);
  EXPECT_EQ(DbiGetBlobSize(cur, record.data(), 5, size), DBIERR_INVALIDBLOBHANDLE);

  EXPECT_EQ(DbiCloseCursor(cur), DBIERR_NONE);
  EXPECT_EQ(cur, 0u);
  EXPECT_EQ(DbiCloseDatabase(db), DBIERR_NONE);
  EXPECT_EQ(DbiCloseDatabase(db), DBIERR_INVALIDHNDL);
}

// The memo reads share one reply buffer: a damaged reply that claims more bytes than it carries
// is refused, and never fills the missing bytes from an earlier, longer memo.
TEST_F(ClientSession, AMemoReplyThatClaimsMoreThanItCarriesIsRefused) {
  StandInServer* server = Install();
  hDBIDb db = 0;
  hDBICur cur = 0;
  const CURProps props = OpenTexts(db, cur);
  const std::string longText(600, 'L'), shortText = "short";
  std::vector<std::vector<std::uint8_t>> records;
  for (const std::string* text : {&longText, &shortText}) {
    std::vector<std::uint8_t> record(props.iRecBufSize);
    DbiInitRecord(cur, record.data());
    PutText(cur, record.data(), 1, "ENG");
    PutInt(cur, record.data(), 2, static_cast<std::int16_t>(records.size()));
    ASSERT_EQ(DbiOpenBlob(cur, record.data(), 5, 0), DBIERR_NONE);
    ASSERT_EQ(DbiPutBlob(cur, record.data(), 5, 0, static_cast<std::uint32_t>(text->size()),
                         reinterpret_cast<const std::uint8_t*>(text->data())),
              DBIERR_NONE);
    records.push_back(record);
  }
  std::string memo(1024, '\0');
  std::uint32_t read = 0;
  auto readMemo = [&](const std::vector<std::uint8_t>& record) {
    return DbiGetBlob(cur, record.data(), 5, 0, static_cast<std::uint32_t>(memo.size()),
                      reinterpret_cast<std::uint8_t*>(memo.data()), read);
  };
  ASSERT_EQ(readMemo(records[0]), DBIERR_NONE);
  EXPECT_EQ(memo.substr(0, read), longText);

  server->blobCountBeyondData = 100;
  memo.assign(memo.size(), '\0');
  EXPECT_EQ(readMemo(records[1]), DBIERR_BADREPLY);
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(memo.find('L'), std::string::npos);

  server->blobCountBeyondData = 0;
  ASSERT_EQ(readMemo(records[1]), DBIERR_NONE);
  EXPECT_EQ(memo.substr(0, read), shortText);
}

TEST_F(ClientSession, StateChecksAnswerWithoutRequests) {
  StandInServer* server = Install();
  hDBIDb db = 0;
  hDBICur cur = 0;
  OpenFolderTable("/data/Messages.QND", db, cur);
  std::vector<std::uint8_t> record(512);
  std::size_t before = server->requests.size();
  EXPECT_EQ(DbiGetRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NOCURRREC);
  // A key given as a record on the sequential index is refused.
  auto* table = TBapiListItem::Resolve<TQNClientTable>(cur);
  ASSERT_NE(table, nullptr);
  table->SwitchToIndex("", "", 0, false);
  before = server->requests.size();
  EXPECT_EQ(DbiGetRecordForKey(cur, false, 0, 0, record.data(), record.data()), DBIERR_NOTINDEXED);
  EXPECT_EQ(server->requests.size(), before);
  EXPECT_EQ(table->GetTableName(), "Messages");
}

TEST_F(ClientSession, TransactionsAliasesAndTableNamesInRequests) {
  StandInServer* server = Install();
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  hDBIDb db = 0;
  ASSERT_EQ(DbiOpenDatabase("/data/", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), DBIERR_NONE);
  auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
  ASSERT_NE(database, nullptr);
  std::uint32_t tran = 0;
  EXPECT_EQ(database->BeginTran(0, tran), DBIERR_NONE);
  EXPECT_EQ(tran, 55u);
  std::size_t before = server->requests.size();
  EXPECT_EQ(database->BeginTran(0, tran), DBIERR_ACTIVETRAN);
  EXPECT_EQ(server->requests.size(), before);
  EXPECT_EQ(database->EndTran(tran, 2), DBIERR_NONE);
  EXPECT_EQ(server->lastCommitByte, 0);
  EXPECT_EQ(database->TransactionState(), 0u);

  auto* session = dynamic_cast<TQNClientSession*>(VirtEng()->CurrentSession());
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(session->AddAlias("Tidewell", "", "PATH:/opt/tw/;EXTRA"), DBIERR_NONE);
  EXPECT_EQ(server->lastAliasPath, "/opt/tw/");
  // A name or a folder longer than the request carries is refused, never cut to another.
  const std::size_t aliasRequests = server->requests.size();
  EXPECT_EQ(session->AddAlias(std::string(32, 'A'), "", "PATH:/opt/tw/"), DBIERR_INVALIDPARAM);
  EXPECT_EQ(session->AddAlias("Long", "", "PATH:/" + std::string(219, 'd')), DBIERR_INVALIDDIR);
  EXPECT_EQ(server->requests.size(), aliasRequests);
  EXPECT_EQ(session->AddAlias(std::string(31, 'A'), "", "PATH:/" + std::string(218, 'd')), DBIERR_NONE);
  EXPECT_EQ(server->lastAliasPath, "/" + std::string(218, 'd'));

  // The table's name without folder and extension; one longer than a request carries is
  // refused before any request, never cut to the name of another table.
  hDBICur cur = 0;
  const std::size_t sent = server->requests.size();
  EXPECT_EQ(DbiOpenTable(db, "C:\\Some.Folder\\AVeryLongTableNameThatGoesOnAndOnForever.QND", nullptr, nullptr,
                         nullptr, 0, 0, 0, 0, false, nullptr, cur),
            DBIERR_INVALIDTABLENAME);
  EXPECT_EQ(cur, 0u);
  EXPECT_EQ(server->requests.size(), sent);
  ASSERT_EQ(DbiOpenTable(db, "C:\\Some.Folder\\AVeryLongTableNameThatGoesOnAnd.QND", nullptr, nullptr, nullptr, 0, 0,
                         0, 0, false, nullptr, cur),
            DBIERR_NONE);
  EXPECT_EQ(server->lastTableName, "AVeryLongTableNameThatGoesOnAnd");

  // A database whose server id is gone cannot be closed and is not freed.
  database->SetServerId(-1);
  EXPECT_EQ(DbiCloseDatabase(db), DBIERR_INVALIDHNDL);
  EXPECT_NE(TBapiListItem::FromHandle(db), nullptr);
}

// A step reads its record once; a lock asked for goes with the step in the same request, so
// that no other client can change the record between the step and its lock.
TEST_F(ClientSession, AStepReadsTheRecordOnceAndTakesALockAskedForWithIt) {
  StandInServer* server = Install();
  hDBIDb db = 0;
  hDBICur cur = 0;
  const CURProps props = OpenTexts(db, cur);
  std::vector<std::uint8_t> record(props.iRecBufSize);
  for (const char* lang : {"ENG", "DEU"}) {
    DbiInitRecord(cur, record.data());
    PutText(cur, record.data(), 1, lang);
    ASSERT_EQ(DbiInsertRecord(cur, dbiNOLOCK, record.data()), DBIERR_NONE);
  }
  ASSERT_EQ(DbiSetToBegin(cur), DBIERR_NONE);
  auto sentSince = [&](std::size_t From) {
    return std::vector<std::uint32_t>(server->requests.begin() + static_cast<std::ptrdiff_t>(From), server->requests.end());
  };
  char lang[8] = {};
  bool blank = true;
  std::size_t before = server->requests.size();
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(sentSince(before), (std::vector<std::uint32_t>{2049}));
  DbiGetField(cur, 1, record.data(), reinterpret_cast<std::uint8_t*>(lang), blank);
  EXPECT_STREQ(lang, "ENG");
  before = server->requests.size();
  ASSERT_EQ(DbiGetNextRecord(cur, dbiWRITELOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(sentSince(before), (std::vector<std::uint32_t>{2049}));
  ASSERT_EQ(server->lockBytes.size(), 2u);
  EXPECT_EQ(server->lockBytes[0], 0) << "no lock asked for";
  EXPECT_NE(server->lockBytes[1], 0) << "the step takes the lock";
  DbiGetField(cur, 1, record.data(), reinterpret_cast<std::uint8_t*>(lang), blank);
  EXPECT_STREQ(lang, "DEU");
  // Without a record buffer nothing is read into the caller's hands, and no lock is taken.
  ASSERT_EQ(DbiSetToBegin(cur), DBIERR_NONE);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiWRITELOCK, nullptr, nullptr), DBIERR_NONE);
  EXPECT_EQ(server->lockBytes.back(), 0);
  ASSERT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
  EXPECT_EQ(DbiGetNextRecord(cur, dbiNOLOCK, record.data(), nullptr), DBIERR_EOF);
}

TEST_F(ClientSession, ADatabaseComponentsNameIsOpenedUnderItsAlias) {
  StandInServer* server = Install();
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  hDBIDb db = 0;
  EXPECT_EQ(DbiOpenDatabase("TextDB", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), DBIERR_UNKNOWNDB);
  std::vector<std::string> asked;
  SetDatabaseAliasLookup([&asked](const std::string& Name) {
    asked.push_back(Name);
    return Name == "TextDB" ? std::string("tidewell") : std::string();
  });
  ASSERT_EQ(DbiOpenDatabase("TextDB", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), DBIERR_NONE);
  EXPECT_EQ(server->lastOpenPath, "/opt/tidewell/");
  // A component without an alias leaves the name unknown; no empty path is opened.
  std::size_t before = server->requests.size();
  hDBIDb other = 0;
  EXPECT_EQ(DbiOpenDatabase("Nameless", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, other), DBIERR_UNKNOWNDB);
  EXPECT_EQ(other, 0u);
  EXPECT_EQ(std::count(server->requests.begin() + static_cast<std::ptrdiff_t>(before), server->requests.end(), 261u), 0);
  EXPECT_EQ(asked, (std::vector<std::string>{"TextDB", "Nameless"}));
}

// A folder is sent as it was named, ending in one separator: a name ending in "/" gets no
// backslash behind it.  A path of any length is described once and found again in the cache; one
// longer than the open request carries is refused rather than cut to another folder's name.
TEST_F(ClientSession, FolderPathsOfEveryLengthAreSentWholeAndDescribedOnce) {
  StandInServer* server = Install();
  ASSERT_EQ(DbiInit(nullptr), DBIERR_NONE);
  hDBISes handle = 0;
  ASSERT_EQ(DbiGetCurrSession(handle), DBIERR_NONE);
  auto* session = TBapiListItem::Resolve<TBaseSession>(handle);
  ASSERT_NE(session, nullptr);
  hDBIDb db = 0;
  ASSERT_EQ(DbiOpenDatabase("/data/x/", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), DBIERR_NONE);
  EXPECT_EQ(server->lastOpenPath, "/data/x/");
  ASSERT_EQ(DbiOpenDatabase("/data/y", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), DBIERR_NONE);
  EXPECT_EQ(server->lastOpenPath, "/data/y\\");
  const int before = session->CachedDescriptionCount();
  const std::string stem = "/srv/" + std::string(60, 'a') + "/";
  const std::string one = stem + "tables/", two = stem + "other", longest = "/" + std::string(217, 'c') + "/";
  for (int round = 0; round < 3; ++round) {
    for (const std::string& path : {one, two, longest}) {
      ASSERT_EQ(DbiOpenDatabase(path.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), DBIERR_NONE) << path;
      EXPECT_EQ(server->lastOpenPath, path == two ? path + "\\" : path);
      DBDesc d;
      ASSERT_EQ(DbiGetDatabaseDesc(path.c_str(), d), DBIERR_NONE);
      EXPECT_EQ(std::string(d.szPhyName), path == two ? path + "\\" : path);
    }
  }
  EXPECT_EQ(session->CachedDescriptionCount(), before + 3) << "one entry per name, however often it is asked for";
  // Too long for the request: refused, and nothing is opened.
  const std::size_t opens = static_cast<std::size_t>(std::count(server->requests.begin(), server->requests.end(), 261u));
  for (const std::string& path : {"/" + std::string(218, 'd') + "/", "/" + std::string(300, 'e') + "/"}) {
    hDBIDb none = 0;
    EXPECT_EQ(DbiOpenDatabase(path.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, none), DBIERR_INVALIDDIR);
    EXPECT_EQ(none, 0u);
  }
  EXPECT_EQ(static_cast<std::size_t>(std::count(server->requests.begin(), server->requests.end(), 261u)), opens);
}

}  // namespace
}  // namespace tw::dbaccess::test
