// A client of the database server in a process of its own, over TCP on the loopback address:
// the access layer's session, database and cursor, talking to the server of the test that
// started it.
//
//   tw_tcp_test_client fill    <port> <folder>  builds the table Numbers, inserts 10,000 rows in
//                                                one transaction, reads them back in key order
//   tw_tcp_test_client partial <port> <folder>  inserts more rows in a transaction, prints
//                                                "inserted" and waits to be killed
//   tw_tcp_test_client check   <port> <folder>  reads every row in key order and prints
//                                                "rows <count> first <nr> last <nr> ordered <0|1>"
//   tw_tcp_test_client doors   <port> <folder>  asks for table lists with masks that leave the
//                                                folder and for file BLOBs of the engine's own
//                                                files, a hard link and a plain file, and prints
//                                                what each answered
// The exit code is 0 when everything the mode does succeeded.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/commsengine.h"
#include "dbaccess/database.h"
#include "dbaccess/clienttable.h"
#include "dbaccess/dbientry.h"
#include "dbaccess/session.h"
#include "dbaccess/errortext.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/transport/winsock.h"
#include "platform/classes/streams.h"
#include "platform/win/display.h"

using namespace tw;
using namespace tw::dbaccess;

namespace {

constexpr int kRows = 10000;

int Fail(const char* What, DBIResult R) {
  std::printf("failed %s %u\n", What, static_cast<unsigned>(R));
  std::fflush(stdout);
  return 1;
}

std::int32_t NrOf(hDBICur Cur, std::vector<std::uint8_t>& Rec) {
  std::int32_t nr = 0;
  bool blank = false;
  DbiGetField(Cur, 1, Rec.data(), reinterpret_cast<std::uint8_t*>(&nr), blank);
  return nr;
}

DBIResult Insert(hDBICur Cur, std::vector<std::uint8_t>& Rec, std::int32_t Nr) {
  DbiInitRecord(Cur, Rec.data());
  DBIResult r = DbiPutField(Cur, 1, Rec.data(), reinterpret_cast<const std::uint8_t*>(&Nr));
  const std::string name = "n" + std::to_string(Nr);
  if (r == DBIERR_NONE) r = DbiPutField(Cur, 2, Rec.data(), reinterpret_cast<const std::uint8_t*>(name.c_str()));
  if (r == DBIERR_NONE) r = DbiInsertRecord(Cur, dbiNOLOCK, Rec.data());
  return r;
}

// The table list with a mask (request 259): the result, and the names listed.
DBIResult ListTables(TQNClientDatabase& Database, const std::string& Mask, std::string& Names) {
  std::uint8_t request[40] = {};
  PutU32(request, 0, static_cast<std::uint32_t>(Database.ServerId()));
  PutShortString(request, 4, 36, Mask);
  TMemoryStream reply;
  const DBIResult r = Database.RequestToStream(259, request, sizeof request, false, reply);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(reply.Size()));
  reply.SetPosition(0);
  if (!bytes.empty()) reply.Read(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  for (std::size_t at = 0; at + 48 <= bytes.size(); at += 48)
    Names += (Names.empty() ? "" : ",") + GetShortString(bytes.data(), at, 32);
  return r;
}

int Doors(TQNClientDatabase& Database) {
  dbengine::TqnDataDictionary dict(4096);
  dict.AddField("Nr", "", dbengine::qftInt32, 0, 0, true);
  dict.AddField("Data", "", dbengine::qftBlobBinary, 0, 0, false);
  DBIResult r = Database.BuildTable("Doors", true, dict);
  if (r != DBIERR_NONE) return Fail("build", r);
  hDBICur cur = 0;
  r = DbiOpenTable(Database.Handle(), "Doors", nullptr, nullptr, nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false,
                   nullptr, cur);
  if (r != DBIERR_NONE) return Fail("open table", r);
  const auto cursor = static_cast<std::uint32_t>(TBapiListItem::Resolve<TQNClientTable>(cur)->ServerId());
  std::string out;
  for (const char* mask : {"../../../../../../../etc/*", "/etc/*", "C:*.*", "*.txt"}) {
    std::string names;
    r = ListTables(Database, mask, names);
    out += std::string(out.empty() ? "" : " ") + "list " + std::to_string(r) + (names.empty() ? "" : " " + names);
  }
  for (const char* file : {"QNSUser.QND", "hard.txt", "plain.txt"}) {
    std::uint8_t request[4 + 256] = {};
    PutU32(request, 0, cursor);
    const std::string name = file;
    request[4] = static_cast<std::uint8_t>(name.size());
    std::memcpy(request + 5, name.data(), name.size());
    std::uint8_t reply[4] = {};
    r = Database.Request(1543, request, static_cast<std::uint32_t>(5 + name.size()), false, reply, sizeof reply);
    out += " blob " + std::to_string(r);
  }
  std::printf("%s\n", out.c_str());
  std::fflush(stdout);
  DbiCloseCursor(cur);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string mode = argv[1];
  const auto port = static_cast<std::uint16_t>(std::atoi(argv[2]));
  const std::string folder = argv[3];
  SelectDisplay("offscreen");
  SetEngineMessageBox([](const std::string& Text, const std::string& Caption, unsigned) {
    std::fprintf(stderr, "%s: %s\n", Caption.c_str(), Text.c_str());
    return 1;
  });
  SetClientCommsFactory([port](const std::string& ClientName) -> std::unique_ptr<TClientComms> {
    auto engine = std::make_unique<TqnClientCommsEngine>(ClientName, dbengine::TqnProtocolKind::TCPIP);
    static_cast<dbengine::TqnWinsockProtocol&>(engine->Transport())
        .SetPorts(port, static_cast<std::uint16_t>(port + 1), static_cast<std::uint16_t>(port + 2));
    return engine;
  });
  SessionDefaults().ServerName = "QNSERVER@127.0.0.1";

  DBIResult r = DbiInit(nullptr);
  if (r != DBIERR_NONE) return Fail("init", r);
  hDBIDb db = 0;
  const std::string path = folder + "/";
  r = DbiOpenDatabase(path.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db);
  if (r != DBIERR_NONE) return Fail("open database", r);
  auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
  if (mode == "doors") {
    const int rc = Doors(*database);
    DbiCloseDatabase(db);
    DbiExit();
    return rc;
  }
  if (mode == "fill") {
    dbengine::TqnDataDictionary dict(4096);
    dict.AddField("Nr", "", dbengine::qftInt32, 0, 0, true);
    dict.AddField("Name", "", dbengine::qftZString, 12, 0, false);
    dict.AddIndex("ByNr", "", 0, {0}, false, true, false);  // fields count from 0
    r = database->BuildTable("Numbers", true, dict);
    if (r != DBIERR_NONE) return Fail("build", r);
  }
  hDBICur cur = 0;
  r = DbiOpenTable(db, "Numbers", nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false, nullptr, cur);
  if (r != DBIERR_NONE) return Fail("open table", r);
  CURProps props;
  DbiGetCursorProps(cur, props);
  std::vector<std::uint8_t> rec(props.iRecBufSize, 0);

  if (mode == "fill" || mode == "partial") {
    std::uint32_t tran = 0;
    r = database->BeginTran(0, tran);
    if (r != DBIERR_NONE) return Fail("begin", r);
    if (mode == "partial") {
      // Numbers between the committed ones and past them, never committed.
      for (std::int32_t i = 1; i <= 300; ++i) {
        r = Insert(cur, rec, i <= 150 ? -i : kRows + i);
        if (r != DBIERR_NONE) return Fail("insert", r);
      }
      std::printf("inserted\n");
      std::fflush(stdout);
      for (;;) pause();
    }
    // A scattered order, so that the index, not the order of arrival, gives the key order.
    for (std::int32_t i = 0; i < kRows; ++i) {
      r = Insert(cur, rec, 1 + (i * 7919) % kRows);
      if (r != DBIERR_NONE) return Fail("insert", r);
    }
    r = database->EndTran(tran, 0);
    if (r != DBIERR_NONE) return Fail("commit", r);
  }

  DbiSetToBegin(cur);
  int rows = 0;
  std::int32_t first = 0, last = 0;
  bool ordered = true;
  while ((r = DbiGetNextRecord(cur, dbiNOLOCK, rec.data(), nullptr)) == DBIERR_NONE) {
    const std::int32_t nr = NrOf(cur, rec);
    if (rows == 0) first = nr;
    else if (nr != last + 1 && ordered) {
      ordered = false;
      std::fprintf(stderr, "order breaks after row %d: %d then %d\n", rows, last, nr);
    }
    last = nr;
    ++rows;
  }
  if (r != DBIERR_EOF) return Fail("read", r);
  std::printf("rows %d first %d last %d ordered %d\n", rows, first, last, ordered ? 1 : 0);
  std::fflush(stdout);
  DbiCloseCursor(cur);
  DbiCloseDatabase(db);
  DbiExit();
  return mode == "fill" && !(rows == kRows && first == 1 && last == kRows && ordered) ? 1 : 0;
}
