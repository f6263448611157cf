// Feeds arbitrary payloads to the request handlers on a scratch database.  Input: byte 0 picks
// the message id, byte 1 says whether the payload's first 4 bytes are replaced by the live
// cursor id (1) or database id (2), the rest is the payload.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dbengine/base/serverlog.h"
#include "dbengine/server/command_handler.h"
#include "dbengine/storage/block_layout.h"

namespace {

using namespace tw::dbengine;

class NullSink : public TqnReplySink {
 public:
  void SendReply(std::uint32_t, std::uint32_t, std::uint16_t, const std::uint8_t*, std::size_t, bool) override {}
  std::uint32_t ConnectionCode() const override { return 1; }
};

const std::uint32_t kIds[] = {
    1,    2,    4,    9,    256,  257,  258,  259,  260,  261,  262,  263,  264,  512,  513,  514,  515,
    768,  769,  770,  771,  1024, 1025, 1280, 1296, 1297, 1298, 1299, 1300, 1301, 1302, 1303, 1304, 1305,
    1306, 1307, 1536, 1537, 1538, 1539, 1540, 1541, 1542, 1543, 1792, 1793, 1794, 1795, 1796, 1797, 1798,
    1799, 1800, 1801, 1802, 1803, 2048, 2049, 2050, 2051, 2052, 2053, 2054, 2055, 2056, 2057, 2058};

struct World {
  std::string folder;
  TqnServerEngine engine;
  NullSink sink;
  TqnServerCommandHandler handler{engine, sink};
  std::uint32_t db = 0, cursor = 0;

  World() {
    QNLogRequests = false;
    folder = std::filesystem::temp_directory_path().string() + "/tw_server_fuzz_" + std::to_string(::getpid());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  ~World() { std::filesystem::remove_all(folder); }

  // Client 1 attached, the folder open and a table with a cursor, whatever the last input did.
  void Restore() {
    std::uint32_t hash = 0;
    if (engine.FindClient(1) == nullptr) {
      engine.ClientAdd(1, "fuzz", "", hash);
      db = 0;
    }
    if (engine.FindDatabase(db) == nullptr) {
      db = 0;
      engine.DatabaseOpenNoAlias(1, folder, 1, 1, db);
    }
    if (engine.FindCursor(cursor) == nullptr) {
      cursor = 0;
      if (engine.OpenTable(db, "T", "", 1, 1, 1, cursor, nullptr) != 0) {
        TqnDataDictionary d(4096);
        d.AddField("Name", "", qftShortString, 8, 0, false);
        d.AddField("Memo", "", qftBlobMemo, 0, 0, false);
        d.AddIndex("ByName", "", 0, {0}, true, true, false);
        engine.BuildTable(db, true, "T", d);
        engine.OpenTable(db, "T", "", 1, 1, 1, cursor, nullptr);
      }
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  static World* w = new World;
  if (Size < 2) return 0;
  w->Restore();
  std::vector<std::uint8_t> payload(Data + 2, Data + Size);
  if (payload.size() >= 4 && Data[1] == 1) QNPutU32(payload.data(), w->cursor);
  if (payload.size() >= 4 && Data[1] == 2) QNPutU32(payload.data(), w->db);
  TqnServerRequest r;
  r.MessageID = kIds[Data[0] % (sizeof kIds / sizeof kIds[0])];
  r.ClientID = 1;
  r.Data = payload.data();
  r.Length = payload.size();
  r.CanRetry = (Data[1] & 4) != 0;
  // Some inputs go through the request log as well, which reads the same payload by its layout.
  static int logged = 0;
  QNLogRequests = (Data[1] & 8) != 0;
  if (QNLogRequests && logged++ % 1000 == 0) {
    QNSetLogPath(w->folder + "/QNSERVER.LOG");
    QNLogStart();
  }
  w->handler.Dispatch(r);
  QNLogRequests = false;
  w->engine.WaitForRebuilds();
  return 0;
}
