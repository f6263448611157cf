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
//   tw_tcp_test_client small   <port> <folder>  builds the table Numbers with rows 1 to 10
//   tw_tcp_test_client locks   <port> <folder>  1,000 times: a transaction that reads a row
//                                                with a write lock, changes it and commits;
//                                                prints "locks <done> failed <n> ms <elapsed>"
//   tw_tcp_test_client widest  <port> <folder>  builds, opens, restructures and opens again the
//                                                table of the largest dictionary; prints what
//                                                each step gave (largest_table.h)
//   tw_tcp_test_client noexit  <port> <folder>  reads the table and returns from main without
//                                                DbiExit (port 0: the server inside this process)
//   tw_tcp_test_client stall   <port> <folder>  raw: attaches, sends requests and never reads a
//                                                reply; connects again whenever it is hung up
//   tw_tcp_test_client idle    <port> <count>   raw: opens <count> connections and keeps them;
//                                                prints "idle <open> closed <n>" after a second
//   tw_tcp_test_client crowd   <port> <count>   raw: <count> connections that each attach and
//                                                keep the connection; prints "attached <n>
//                                                refused <n> closed <n>", then waits
//   tw_tcp_test_client hog     <port> <size>    raw: 16 connections that each start 4 messages
//                                                of <size> bytes and leave them unfinished;
//                                                prints "hog hung-up <n>", then waits
//   tw_tcp_test_client cases   <port> <folder>  opens Numbers as "Numbers" and as "NUMBERS",
//                                                inserts 20 rows through the two by turns, and
//                                                asks to delete, rebuild and rename the table
//                                                under other spellings; prints "acknowledged <n>
//                                                rows <n> delete <code> build <code> rename <code>"
//   tw_tcp_test_client bump    <port> <database> <program folder>
//                                                opens the database (a folder path or an alias,
//                                                as DbiOpenDatabase takes it; port 0: the server
//                                                inside this process, over <program folder>), and
//                                                in turns of ten steps adds 1 to the counter of
//                                                the table Counter under a write lock (read as
//                                                the next, prior or current record or after a
//                                                key search, by turns at random) and inserts
//                                                a random key below 200 into the unique index of
//                                                Keys, until 60 increments were acknowledged; a
//                                                folder changed by another process answers 10246
//                                                and the turn is tried again later; prints
//                                                "bumped <n> inserted <n> told <n> failed <n>"
//   tw_tcp_test_client tablelock <port> <folder> takes the write lock of the table Numbers,
//                                                prints "locked <code>" and waits to be killed
//   tw_tcp_test_client keeper  <port> <folder>  opens Numbers, prints "open", waits until the
//                                                file "go" is in the folder, inserts row 77 and
//                                                prints "insert <code>"
//   tw_tcp_test_client serve   <port> <program folder>
//                                                a server of its own on <port>: prints "serving"
//                                                and serves until it is killed
// The exit code is 0 when everything the mode does succeeded.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include <cerrno>
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
#include "dbaccess/embedded.h"
#include "dbaccess/errortext.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/server/comms/server_comms_link.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/transport/commswindow.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/transport/servercomms.h"
#include "dbengine/transport/tests/loopback_socket.h"
#include "dbengine/transport/winsock.h"
#include "platform/classes/streams.h"
#include "platform/win/display.h"
#include "../largest_table.h"

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

int Cases(hDBIDb Db, TQNClientDatabase& Database) {
  hDBICur lower = 0, upper = 0;
  DBIResult r = DbiOpenTable(Db, "Numbers", nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false,
                             nullptr, lower);
  if (r == DBIERR_NONE)
    r = DbiOpenTable(Db, "NUMBERS", nullptr, "ByNr", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false, nullptr, upper);
  if (r != DBIERR_NONE) return Fail("open table", r);
  CURProps props;
  DbiGetCursorProps(lower, props);
  std::vector<std::uint8_t> rec(props.iRecBufSize, 0);
  int acknowledged = 0;
  for (std::int32_t i = 0; i < 20; ++i)
    if (Insert(i % 2 == 0 ? lower : upper, rec, 1001 + i) == DBIERR_NONE) ++acknowledged;
  int rows = 0;
  DbiSetToBegin(upper);
  while (DbiGetNextRecord(upper, dbiNOLOCK, rec.data(), nullptr) == DBIERR_NONE) ++rows;
  const DBIResult del = DbiDeleteTable(Db, "numbers", nullptr);
  dbengine::TqnDataDictionary dict(4096);
  dict.AddField("Nr", "", dbengine::qftInt32, 0, 0, true);
  const DBIResult build = Database.BuildTable("NUMBERS", true, dict);
  const DBIResult rename = Database.RenameTable("nUmBeRs", "Moved");
  std::printf("acknowledged %d rows %d delete %u build %u rename %u\n", acknowledged, rows,
              static_cast<unsigned>(del), static_cast<unsigned>(build), static_cast<unsigned>(rename));
  std::fflush(stdout);
  DbiCloseCursor(upper);
  DbiCloseCursor(lower);
  return 0;
}

// ---- Raw clients: the wire protocol by hand, for clients that misbehave ----------------------

// One part: header, then Data; scrambled with Pad unless it is the attach request.
std::vector<std::uint8_t> RawPart(std::uint32_t Id, std::uint32_t Client, std::uint32_t Total,
                                  const std::vector<std::uint8_t>& Data, bool First, bool Last,
                                  const dbengine::TqnScramblePad& Pad) {
  dbengine::TqnMessageHeader h;
  h.MessageID = Id;
  h.PartLength = static_cast<std::uint32_t>(dbengine::kQnHeaderSize + Data.size());
  h.TotalDataLength = Total;
  h.ClientID = Client;
  h.TimeOut = dbengine::kQnRequestTimeOut;
  h.FirstPart = First;
  h.LastPart = Last;
  std::vector<std::uint8_t> part(h.PartLength);
  h.WriteTo(part.data());
  std::copy(Data.begin(), Data.end(), part.begin() + dbengine::kQnHeaderSize);
  dbengine::ScrambleMessage(Pad, part.data(), part.size());
  return part;
}

bool WriteAll(int S, const std::vector<std::uint8_t>& Bytes) {
  std::size_t done = 0;
  while (done < Bytes.size()) {
    const ssize_t n = send(S, Bytes.data() + done, Bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads one whole reply part; false when the connection closed first.
bool ReadPart(int S, std::vector<std::uint8_t>& Part) {
  Part.assign(8, 0);
  std::size_t got = 0;
  auto fill = [&](std::size_t Want) {
    while (got < Want) {
      const ssize_t n = recv(S, Part.data() + got, Want - got, 0);
      if (n <= 0) return false;
      got += static_cast<std::size_t>(n);
    }
    return true;
  };
  if (!fill(8)) return false;
  const std::uint32_t len = dbengine::QNGetU32(Part.data() + 4);
  if (len < dbengine::kQnHeaderSize || len > dbengine::kQnMaxPartSize) return false;
  Part.resize(len);
  return fill(len);
}

// Attaches over a raw socket: the client id and the pad of the server's code; the result code
// of the attach reply in Result (0xFFFF when the connection closed without one).
bool RawAttach(int S, std::uint32_t& Client, dbengine::TqnScramblePad& Pad, std::uint16_t& Result) {
  dbengine::TqnScramblePad none{};
  std::vector<std::uint8_t> attach(64, 0);
  attach[0] = 3;
  attach[1] = 'r';
  attach[2] = 'a';
  attach[3] = 'w';
  Result = 0xFFFF;
  if (!WriteAll(S, RawPart(dbengine::qnmsgAttachServer, 0, 64, attach, true, true, none))) return false;
  std::vector<std::uint8_t> reply;
  if (!ReadPart(S, reply)) return false;
  dbengine::TqnMessageHeader h;
  dbengine::TqnMessageHeader::ReadFrom(reply.data(), reply.size(), h);
  Result = h.ResultCode;
  if (h.ResultCode != 0 || reply.size() < dbengine::kQnHeaderSize + 13) return false;
  Client = dbengine::QNGetU32(reply.data() + dbengine::kQnHeaderSize);
  dbengine::BuildScramblePad(static_cast<std::int32_t>(dbengine::QNGetU32(reply.data() + dbengine::kQnHeaderSize + 8)),
                             Pad);
  return true;
}

// True when the server closed S (a read sees the end, or the connection was reset).
bool ClosedByServer(int S, int WaitMs) {
  pollfd p{S, POLLIN, 0};
  if (poll(&p, 1, WaitMs) <= 0) return false;
  char c;
  return recv(S, &c, 1, MSG_DONTWAIT) <= 0;
}

[[noreturn]] void WaitForKill() {
  for (;;) pause();
}

int RawMode(const std::string& Mode, std::uint16_t Port, long Count) {
  if (Mode == "stall") {
    // Requests as fast as the server takes them, replies never read; hung up, it comes back.
    std::vector<std::uint8_t> none;
    for (int round = 0;; ++round) {
      const int s = dbengine::testing::LoopbackConnect(Port, 4096);
      if (s < 0) {
        usleep(10000);
        continue;
      }
      std::uint32_t client = 0;
      dbengine::TqnScramblePad pad{};
      std::uint16_t result = 0;
      if (!RawAttach(s, client, pad, result)) {
        close(s);
        continue;
      }
      if (round == 0) {
        std::printf("stalling\n");
        std::fflush(stdout);
      }
      const auto request = RawPart(514, client, 0, none, true, true, pad);  // SessionGetCurrent
      fcntl(s, F_SETFL, O_NONBLOCK);
      for (;;) {
        const ssize_t n = send(s, request.data(), request.size(), MSG_NOSIGNAL);
        if (n > 0) continue;
        if (n < 0 && errno != EAGAIN) break;  // hung up: come back
        pollfd p{s, POLLOUT, 0};
        poll(&p, 1, 100);
        if (p.revents & (POLLERR | POLLHUP)) break;
      }
      close(s);
    }
  }
  if (Mode == "idle") {
    // All connections are started at once and then waited for: the server's listening queue
    // is short, and connections made one after another would each wait a second whenever it is
    // full.
    std::vector<int> started;
    for (long i = 0; i < Count; ++i) {
      const int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      a.sin_port = htons(Port);
      if (s >= 0 && (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 || errno == EINPROGRESS))
        started.push_back(s);
      else if (s >= 0)
        close(s);
    }
    std::vector<int> open;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!started.empty() && std::chrono::steady_clock::now() < until) {
      std::vector<pollfd> p;
      for (int s : started) p.push_back({s, POLLOUT, 0});
      poll(p.data(), p.size(), 100);
      std::vector<int> waiting;
      for (const pollfd& f : p) {
        int error = 0;
        socklen_t n = sizeof error;
        if (!(f.revents & (POLLOUT | POLLERR | POLLHUP))) waiting.push_back(f.fd);
        else if (getsockopt(f.fd, SOL_SOCKET, SO_ERROR, &error, &n) == 0 && error == 0) open.push_back(f.fd);
        else close(f.fd);
      }
      started.swap(waiting);
    }
    for (int s : started) close(s);
    int closed = 0;
    for (int s : open) closed += ClosedByServer(s, 1000 / static_cast<int>(open.size() + 1)) ? 1 : 0;
    std::printf("idle %zu closed %d\n", open.size(), closed);
    std::fflush(stdout);
    WaitForKill();
  }
  if (Mode == "crowd") {
    int attached = 0, refused = 0, closed = 0;
    std::vector<int> open;
    for (long i = 0; i < Count; ++i) {
      const int s = dbengine::testing::LoopbackConnect(Port);
      if (s < 0) {
        ++closed;
        continue;
      }
      std::uint32_t client = 0;
      dbengine::TqnScramblePad pad{};
      std::uint16_t result = 0;
      if (RawAttach(s, client, pad, result)) ++attached;
      else if (result == dbengine::kQnResUserLimit) ++refused;
      else ++closed;
      open.push_back(s);
    }
    std::printf("attached %d refused %d closed %d\n", attached, refused, closed);
    std::fflush(stdout);
    WaitForKill();
  }
  if (Mode == "hog") {
    // Messages announced at Count bytes each, all but their last part sent.
    int hungUp = 0;
    std::vector<int> open;
    for (int c = 0; c < 16; ++c) {
      const int s = dbengine::testing::LoopbackConnect(Port);
      std::uint32_t client = 0;
      dbengine::TqnScramblePad pad{};
      std::uint16_t result = 0;
      if (s < 0 || !RawAttach(s, client, pad, result)) {
        ++hungUp;
        continue;
      }
      open.push_back(s);
      bool alive = true;
      const std::vector<std::uint8_t> piece(dbengine::kQnMaxPartData, 0x5A);
      const auto total = static_cast<std::uint32_t>(Count);
      for (std::uint32_t m = 0; m < 4 && alive; ++m)
        for (std::uint32_t sent = 0; sent + piece.size() < total && alive; sent += piece.size())
          alive = WriteAll(s, RawPart(1541 + m * 1000, client, total, piece, sent == 0, false, pad));
      if (!alive || ClosedByServer(s, 200)) ++hungUp;
    }
    std::printf("hog hung-up %d\n", hungUp);
    std::fflush(stdout);
    WaitForKill();
  }
  return 2;
}

}  // namespace

constexpr DBIResult kFolderElsewhere = 10246;  // "Directory is locked."
constexpr DBIResult kKeyViolation = 9729;

// The counter record read under a write lock, in turns by each way a program reaches it: the
// next record from the start, the prior one from the end, the current one after a step without
// a lock, and the record after a key search.
DBIResult ReadCounterLocked(hDBICur Counter, std::vector<std::uint8_t>& Rec, int Way) {
  DBIResult r = DBIERR_NONE;
  switch (Way % 4) {
    case 0:
      r = DbiSetToBegin(Counter);
      return r == DBIERR_NONE ? DbiGetNextRecord(Counter, dbiWRITELOCK, Rec.data(), nullptr) : r;
    case 1:
      r = DbiSetToEnd(Counter);
      return r == DBIERR_NONE ? DbiGetPriorRecord(Counter, dbiWRITELOCK, Rec.data(), nullptr) : r;
    case 2:
      r = DbiSetToBegin(Counter);
      if (r == DBIERR_NONE) r = DbiGetNextRecord(Counter, dbiNOLOCK, Rec.data(), nullptr);
      return r == DBIERR_NONE ? DbiGetRecord(Counter, dbiWRITELOCK, Rec.data(), nullptr) : r;
    default: {
      std::vector<std::uint8_t> key(Rec.size(), 0);
      const std::int32_t id = 1;
      DbiInitRecord(Counter, key.data());
      r = DbiPutField(Counter, 1, key.data(), reinterpret_cast<const std::uint8_t*>(&id));
      if (r == DBIERR_NONE) r = DbiSetToKey(Counter, keySEARCHEQ, false, 0, 0, key.data());
      return r == DBIERR_NONE ? DbiGetNextRecord(Counter, dbiWRITELOCK, Rec.data(), nullptr) : r;
    }
  }
}

// One step: the counter of Counter goes up by one under a write lock, and a random key goes
// into Keys.  Counts what was acknowledged; answers the first failure that ends the turn.
DBIResult BumpStep(hDBICur Counter, hDBICur Keys, std::vector<std::uint8_t>& Rec, std::vector<std::uint8_t>& Key,
                   int& Bumped, int& Inserted) {
  DBIResult r = ReadCounterLocked(Counter, Rec, std::rand());
  if (r != DBIERR_NONE) return r;
  std::int32_t n = 0;
  bool blank = false;
  DbiGetField(Counter, 2, Rec.data(), reinterpret_cast<std::uint8_t*>(&n), blank);
  ++n;
  r = DbiPutField(Counter, 2, Rec.data(), reinterpret_cast<const std::uint8_t*>(&n));
  if (r == DBIERR_NONE) r = DbiModifyRecord(Counter, Rec.data(), true);
  if (r != DBIERR_NONE) {
    DbiRelRecordLock(Counter, false);
    return r;
  }
  ++Bumped;
  const std::int32_t k = std::rand() % 200;
  DbiInitRecord(Keys, Key.data());
  r = DbiPutField(Keys, 1, Key.data(), reinterpret_cast<const std::uint8_t*>(&k));
  if (r == DBIERR_NONE) r = DbiInsertRecord(Keys, dbiNOLOCK, Key.data());
  if (r == DBIERR_NONE) ++Inserted;
  return r == kKeyViolation ? DBIERR_NONE : r;
}

int Bump(const std::string& Name) {
  constexpr int kIncrements = 60;
  std::srand(static_cast<unsigned>(getpid()));
  int bumped = 0, inserted = 0, told = 0, failed = 0;
  for (int turn = 0; bumped < kIncrements && turn < 100000 && failed < 20; ++turn) {
    hDBIDb db = 0;
    DBIResult r = DbiOpenDatabase(Name.c_str(), nullptr, dbiREADWRITE, dbiOPENSHARED, nullptr, 0, nullptr, nullptr, db);
    if (r == DBIERR_NONE) {
      hDBICur counter = 0, keys = 0;
      r = DbiOpenTable(db, "Counter", nullptr, "ById", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false, nullptr,
                       counter);
      if (r == DBIERR_NONE)
        r = DbiOpenTable(db, "Keys", nullptr, "ByK", nullptr, 0, dbiREADWRITE, dbiOPENSHARED, 0, false, nullptr, keys);
      if (r == DBIERR_NONE) {
        CURProps props;
        DbiGetCursorProps(counter, props);
        std::vector<std::uint8_t> rec(props.iRecBufSize, 0);
        DbiGetCursorProps(keys, props);
        std::vector<std::uint8_t> key(props.iRecBufSize, 0);
        for (int step = 0; r == DBIERR_NONE && step < 10 && bumped < kIncrements; ++step)
          r = BumpStep(counter, keys, rec, key, bumped, inserted);
      }
      if (keys != 0) DbiCloseCursor(keys);
      if (counter != 0) DbiCloseCursor(counter);
      DbiCloseDatabase(db);
    }
    if (r == kFolderElsewhere) {
      ++told;
    } else if (r != DBIERR_NONE) {
      ++failed;
      std::fprintf(stderr, "turn %d: %u\n", turn, static_cast<unsigned>(r));
    }
    usleep(static_cast<useconds_t>(200 + std::rand() % 3000));  // lets the others in
  }
  std::printf("bumped %d inserted %d told %d failed %d\n", bumped, inserted, told, failed);
  std::fflush(stdout);
  DbiExit();
  return failed == 0 && bumped == kIncrements ? 0 : 1;
}

// A TCP server of its own over the loopback address, until the process is killed.
int Serve(std::uint16_t Port, const std::string& ProgramFolder) {
  dbengine::QNSetLogPath(ProgramFolder + "/QNSERVER.LOG");
  dbengine::TqnServerEngine engine;
  auto* transport = new dbengine::TqnTCPIPProtocol("QNSERVER", true);
  transport->SetPorts(Port, static_cast<std::uint16_t>(Port + 1), static_cast<std::uint16_t>(Port + 2));
  dbengine::TqnServerCommsEngine comms(transport);
  dbengine::TqnServerCommsLink link(engine, comms);
  HWND handler = dbengine::QNCreateCommsWindow(
      [&link](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == dbengine::kQnRequestComplete) {
          link.DispatchQueue();
          return 0;
        }
        return DefWindowProc(h, m, w, l);
      },
      true);
  comms.SetHandlerWindow(handler);
  comms.StartListening();
  std::printf("serving\n");
  std::fflush(stdout);
  for (;;) {
    comms.Transport().PumpMessages();
    bool busy = false;
    MSG m;
    while (PeekMessage(&m, 0, 0, 0, PM_REMOVE)) {
      DispatchMessage(&m);
      busy = true;
    }
    if (!busy) comms.Transport().WaitForEvents(1);
  }
}

// Sessions reach the server on Port of the loopback address, or (port 0) a server inside this
// process over ProgramFolder.
void ReachServer(std::uint16_t Port, const std::string& ProgramFolder) {
  if (Port == 0) {
    RegisterEmbeddedServer(ProgramFolder);
    return;
  }
  SetClientCommsFactory([Port](const std::string& ClientName) -> std::unique_ptr<TClientComms> {
    auto engine = std::make_unique<TqnClientCommsEngine>(ClientName, dbengine::TqnProtocolKind::TCPIP);
    static_cast<dbengine::TqnWinsockProtocol&>(engine->Transport())
        .SetPorts(Port, static_cast<std::uint16_t>(Port + 1), static_cast<std::uint16_t>(Port + 2));
    return engine;
  });
  SessionDefaults().ServerName = "QNSERVER@127.0.0.1";
}

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "bump" && argc == 5) {
    SelectDisplay("offscreen");
    ReachServer(static_cast<std::uint16_t>(std::atoi(argv[2])), argv[4]);
    const DBIResult r = DbiInit(nullptr);
    if (r != DBIERR_NONE) return Fail("init", r);
    return Bump(argv[3]);
  }
  if (argc >= 2 && std::string(argv[1]) == "serve" && argc == 4) {
    SelectDisplay("offscreen");
    return Serve(static_cast<std::uint16_t>(std::atoi(argv[2])), argv[3]);
  }
  if (argc != 4) return 2;
  const std::string mode = argv[1];
  const auto port = static_cast<std::uint16_t>(std::atoi(argv[2]));
  const std::string folder = argv[3];
  if (mode == "stall" || mode == "idle" || mode == "crowd" || mode == "hog")
    return RawMode(mode, port, std::atol(argv[3]));
  SelectDisplay("offscreen");
  SetEngineMessageBox([](const std::string& Text, const std::string& Caption, unsigned) {
    std::fprintf(stderr, "%s: %s\n", Caption.c_str(), Text.c_str());
    return 1;
  });
  ReachServer(port, folder);

  DBIResult r = DbiInit(nullptr);
  if (r != DBIERR_NONE) return Fail("init", r);
  hDBIDb db = 0;
  const std::string path = folder + "/";
  r = DbiOpenDatabase(path.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db);
  if (r != DBIERR_NONE) return Fail("open database", r);
  auto* database = TBapiListItem::Resolve<TQNClientDatabase>(db);
  if (mode == "widest") {
    std::printf("%s\n", test::WidestTableRoundTrip(db).c_str());
    DbiCloseDatabase(db);
    DbiExit();
    return 0;
  }
  if (mode == "doors") {
    const int rc = Doors(*database);
    DbiCloseDatabase(db);
    DbiExit();
    return rc;
  }
  if (mode == "cases") {
    const int rc = Cases(db, *database);
    DbiCloseDatabase(db);
    DbiExit();
    return rc;
  }
  if (mode == "fill" || mode == "small") {
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

  if (mode == "tablelock") {
    r = TBapiListItem::Resolve<TQNClientTable>(cur)->AcqTableLock(dbiWRITELOCK);
    std::printf("locked %u\n", static_cast<unsigned>(r));
    std::fflush(stdout);
    WaitForKill();
  }
  if (mode == "keeper") {
    std::printf("open\n");
    std::fflush(stdout);
    while (access((folder + "/go").c_str(), F_OK) != 0) usleep(1000);
    r = Insert(cur, rec, 77);
    std::printf("insert %u\n", static_cast<unsigned>(r));
    std::fflush(stdout);
    DbiExit();
    return r == DBIERR_NONE ? 0 : 1;
  }
  if (mode == "small") {
    for (std::int32_t i = 1; i <= 10; ++i)
      if ((r = Insert(cur, rec, i)) != DBIERR_NONE) return Fail("insert", r);
    DbiExit();
    return 0;
  }
  if (mode == "locks") {
    // A write lock, a change and a commit per round, on the rows in turn.
    const auto start = std::chrono::steady_clock::now();
    int done = 0, failed = 0;
    for (int i = 0; i < 1000; ++i) {
      std::uint32_t tran = 0;
      r = database->BeginTran(0, tran);
      if (r == DBIERR_NONE && i % 10 == 0) r = DbiSetToBegin(cur);
      if (r == DBIERR_NONE) r = DbiGetNextRecord(cur, dbiWRITELOCK, rec.data(), nullptr);
      if (r == DBIERR_NONE) {
        const std::string name = "r" + std::to_string(i);
        r = DbiPutField(cur, 2, rec.data(), reinterpret_cast<const std::uint8_t*>(name.c_str()));
      }
      if (r == DBIERR_NONE) r = DbiModifyRecord(cur, rec.data(), true);
      const DBIResult end = database->EndTran(tran, r == DBIERR_NONE ? 0 : 1);
      if (r == DBIERR_NONE) r = end;
      if (r == DBIERR_NONE) {
        ++done;
      } else {
        ++failed;
        std::fprintf(stderr, "round %d: %u\n", i, static_cast<unsigned>(r));
      }
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    std::printf("locks %d failed %d ms %lld\n", done, failed, static_cast<long long>(ms.count()));
    std::fflush(stdout);
    DbiExit();
    return failed == 0 ? 0 : 1;
  }
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
  // A program may end without closing anything: the process's ending frees what is left.
  if (mode == "noexit") return 0;
  DbiCloseCursor(cur);
  DbiCloseDatabase(db);
  DbiExit();
  return mode == "fill" && !(rows == kRows && first == 1 && last == kRows && ordered) ? 1 : 0;
}
