#include "dbaccess/requests.h"

#include <algorithm>
#include <cstring>

#include "dbaccess/clienttable.h"
#include "dbaccess/database.h"
#include "dbaccess/errortext.h"
#include "dbaccess/session.h"
#include "dbengine/base/errors.h"
#include "platform/rtl/tickclock.h"

namespace tw::dbaccess {

namespace {
void PutI32(std::uint8_t* Block, std::size_t Offset, std::int32_t V) { PutU32(Block, Offset, static_cast<std::uint32_t>(V)); }

[[noreturn]] void OnlyQuarnel() { throw dbengine::EqnClientException(ClientString(csOnlyQuarnel), csOnlyQuarnel); }
}  // namespace

std::array<std::uint8_t, kIndexCreationRecordSize> IndexCreationRecord(const IDXDesc& Desc) {
  std::array<std::uint8_t, kIndexCreationRecordSize> r{};
  std::uint8_t* p = r.data();
  PutI32(p, 0, Desc.iIndexId);
  PutShortString(p, 4, 32, std::string(Desc.szName, strnlen(Desc.szName, sizeof Desc.szName)));
  // Description (64 bytes) stays empty; the index lives in the data file (file 0).
  PutI32(p, 100, 0);
  PutI32(p, 104, Desc.iKeyLen);
  const int fields = std::min<int>(Desc.iFldsInKey, DBIMAXFLDSINKEY);
  PutI32(p, 108, fields);
  for (int i = 0; i < fields; ++i)
    PutI32(p, 112 + 4 * static_cast<std::size_t>(i), static_cast<std::int32_t>(Desc.aiKeyFld[i]) - 1);
  p[176] = Desc.bUnique ? 0 : 1;
  p[177] = Desc.bDescending ? 0 : 1;
  p[178] = Desc.bCaseInsensitive ? 1 : 0;
  return r;
}

DBIResult AddIndexRequest(TBaseTable* Cursor, const IDXDesc& Desc, std::uint32_t& RebuildId) {
  RebuildId = 0;
  auto* table = dynamic_cast<TQNClientTable*>(Cursor);
  if (!table || !table->Database()) return DBIERR_INVALIDHNDL;
  std::uint8_t request[219] = {};
  PutU32(request, 0, static_cast<std::uint32_t>(table->Database()->ServerId()));
  PutU32(request, 4, static_cast<std::uint32_t>(table->ServerId()));
  // A 32-bit 0 and 28 reserved bytes: the table is named by the cursor.
  const auto record = IndexCreationRecord(Desc);
  std::memcpy(request + 40, record.data(), record.size());
  std::uint8_t reply[4] = {};
  DBIResult r = table->Database()->Request(1305, request, sizeof request, false, reply, sizeof reply);
  if (r == DBIERR_NONE) RebuildId = GetU32(reply, 0);
  return r;
}

DBIResult BuildTableRequest(TBaseDatabase* Database, bool Overwrite, const std::string& TableName,
                            dbengine::TqnDataDictionary& Dictionary) {
  if (!Database) return DBIERR_INVALIDHNDL;
  auto* db = dynamic_cast<TQNClientDatabase*>(Database);
  if (!db) OnlyQuarnel();
  return db->BuildTable(TableName, Overwrite, Dictionary);
}

DBIResult SendServerRequest(TBaseSession* Session, std::uint32_t RebuildId, bool& Finished, RebuildStatus& Status) {
  Finished = false;
  Status = RebuildStatus{};
  if (!Session) return DBIERR_INVALIDHNDL;
  auto* session = dynamic_cast<TQNClientSession*>(Session);
  if (!session) OnlyQuarnel();
  std::uint8_t request[4];
  PutU32(request, 0, RebuildId);
  std::uint8_t reply[33] = {};
  DBIResult r = session->Request(771, request, sizeof request, false, reply, sizeof reply);
  if (r != DBIERR_NONE) return r;
  if (reply[32] == 0) return DBIERR_OBJNOTFOUND;
  std::uint32_t* fields[8] = {&Status.StartTick,      &Status.LastUpdateTick, &Status.TotalRecords,
                              &Status.RecordsRead,    &Status.RecordsWritten, &Status.PercentDone,
                              &Status.StatusCode,     &Status.Finished};
  for (std::size_t i = 0; i < 8; ++i) *fields[i] = GetU32(reply, 4 * i);
  Finished = reply[28] != 0;
  return DBIERR_NONE;
}

DBIResult WaitForRebuild(TBaseSession* Session, std::uint32_t RebuildId, std::uint32_t TimeOut) {
  const std::uint32_t deadline = TickDeadline(GetTickCount(), TimeOut);
  for (;;) {
    bool finished = false;
    RebuildStatus status;
    DBIResult r = SendServerRequest(Session, RebuildId, finished, status);
    if (r != DBIERR_NONE) return r;
    if (finished) return static_cast<DBIResult>(status.StatusCode);
    if (TickReached(GetTickCount(), deadline)) return DBIERR_NETTIMEOUT;
    Sleep(5);
  }
}

}  // namespace tw::dbaccess
