#include "dbengine/server/command_handler.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/base/serverlog.h"
#include "dbengine/server/request_log.h"
#include "dbengine/server/request_owner.h"
#include "dbengine/server/server_engine_impl.h"
#include "dbengine/storage/blobs.h"
#include "platform/classes/streams.h"

namespace tw::dbengine {

namespace {

// Largest record, key or bookmark a request may ask for, and the largest reply block; larger
// counts are refused before anything is allocated.
constexpr std::uint32_t kMaxItemBytes = 1u << 20;
constexpr std::uint64_t kMaxReplyBytes = 16u << 20;

// A failed field read: the payload is too short or a count does not fit.
struct BadPayload {};

// Reads a packed little-endian payload field by field; running past the end throws BadPayload.
class Reader {
 public:
  Reader(const std::uint8_t* Data, std::size_t Length) : p_(Data), n_(Data != nullptr ? Length : 0) {}
  const std::uint8_t* Take(std::size_t Count) {
    if (Count > n_ - pos_) throw BadPayload{};
    const std::uint8_t* at = p_ + pos_;
    pos_ += Count;
    return at;
  }
  std::uint8_t U8() { return *Take(1); }
  bool Bool() { return U8() != 0; }
  std::uint32_t U32() { return QNGetU32(Take(4)); }
  std::int32_t I32() { return QNGetI32(Take(4)); }
  std::string Name() { return TqnName::ReadFrom(Take(32), 32).Str(); }
  std::string Path() { return TqnPath::ReadFrom(Take(220), 220).Str(); }
  std::string Short(std::size_t Bytes) {
    const std::uint8_t* s = Take(Bytes);
    return ShortString::ReadFrom(s, Bytes).Str();
  }
  // A length byte and that many characters.
  std::string CountedShort() {
    const std::uint8_t n = U8();
    const std::uint8_t* s = Take(n);
    return std::string(reinterpret_cast<const char*>(s), n);
  }
  std::size_t Position() const { return pos_; }
  std::size_t Left() const { return n_ - pos_; }

 private:
  const std::uint8_t* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
};

struct RequestInfo {
  std::uint8_t Rights;
  DBIResult Retry;  // 0: never retried
};

bool InfoOf(std::uint32_t Id, RequestInfo& I) {
  switch (Id) {
    case qnmAttachServer: case qnmDetachServer: case qnmDetachOnHangUp: case qnmCheckSecureComms:
    case qnmDatabaseClose: case qnmSessionAdd: case qnmSessionClose: case qnmSessionGetCurrent:
    case qnmSessionSetCurrent: case qnmEndTransaction: case qnmRelTableLock: case qnmSetToBegin:
    case qnmSetToEnd: case qnmCursorClose: case qnmGetBookmark: case qnmSetToBookmark: case qnmSetToKey:
    case qnmSwitchToIndex: case qnmSetRange: case qnmResetRange: case qnmSetToCursor: case qnmRecordRelLock:
      I = {0, 0};
      return true;
    case qnmStartTransaction: I = {0, qnresLockConflict}; return true;
    case qnmDatabaseOpen: case qnmDatabaseAliasList: case qnmDatabaseTableList: case qnmDatabaseOpenNoAlias:
    case qnmDatabaseInTrans: case qnmOpenTable: case qnmIsTableLocked: case qnmGetTableDictionary:
    case qnmGetTableRecCount: case qnmGetRebuildStatus: case qnmReadBLOB: case qnmGetBLOBLength:
    case qnmCompareBookmarks: case qnmCursorClone:
    case qnmRecordExtractKey: case qnmRecordGetForKey: case qnmRecordGetBatch:
      I = {2, 0};
      return true;
    case qnmRecordGet: case qnmRecordGetNext: case qnmRecordGetPrev: I = {2, qnresRecordLocked}; return true;
    case qnmDatabaseAddAlias: case qnmBuildTable: I = {4, 0}; return true;
    case qnmCreateBLOB: case qnmAddFileBLOB: case qnmRecordInsertBatch: I = {4, qnresLockConflict}; return true;
    case qnmDatabaseDeleteAlias: case qnmDeleteTable: case qnmEmptyTable: case qnmDropIndex: I = {16, 0}; return true;
    case qnmDeleteBLOB: case qnmFreeBLOB: case qnmRecordDelete: I = {16, qnresLockConflict}; return true;
    case qnmDatabaseChgAliasPath: I = {10, 0}; return true;
    case qnmAcqTableLock: I = {10, qnresRecordLocked}; return true;
    case qnmRenameTable: case qnmSetTableAutoIncValue: case qnmReindexTable: I = {8, 0}; return true;
    case qnmTruncateBLOB: case qnmWriteBLOB: I = {8, qnresLockConflict}; return true;
    case qnmAddIndex: I = {14, 0}; return true;
    case qnmPackTable: I = {24, 0}; return true;
    case qnmRestructureTable: I = {30, 0}; return true;
    case qnmRecordInsert: I = {6, qnresLockConflict}; return true;
    case qnmRecordModify: I = {10, qnresLockConflict}; return true;
    default: return false;
  }
}

// A zeroed reply block of Size bytes taken from the handler's kept buffer for the length of one
// request and handed back afterwards (a very large one is let go).
class TqnKeptBlock {
 public:
  TqnKeptBlock(std::vector<std::uint8_t>& Kept, std::size_t Size) : kept_(Kept), block_(std::move(Kept)) {
    block_.assign(Size, 0);
  }
  ~TqnKeptBlock() {
    if (block_.capacity() <= kKeptCapacity) kept_ = std::move(block_);
  }
  TqnKeptBlock(const TqnKeptBlock&) = delete;
  TqnKeptBlock& operator=(const TqnKeptBlock&) = delete;
  std::uint8_t* data() { return block_.data(); }

 private:
  static constexpr std::size_t kKeptCapacity = 65536 + 64;
  std::vector<std::uint8_t>& kept_;
  std::vector<std::uint8_t> block_;
};

void CheckCount(std::uint32_t N) {
  if (N > kMaxItemBytes) throw BadPayload{};
}

std::vector<std::uint8_t> StreamBytes(TMemoryStream& S) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(S.Size()));
  S.SetPosition(0);
  if (!out.empty()) S.ReadBuffer(out.data(), static_cast<std::int64_t>(out.size()));
  return out;
}

}  // namespace

std::size_t QNPutBundleRecord(std::vector<std::uint8_t>& Buffer, std::size_t Position, std::uint32_t MessageID,
                              std::uint16_t ResultCode, std::size_t DataLength) {
  const std::size_t end = Position + kQnBundleHead + DataLength;
  if (Buffer.size() < end) Buffer.resize(end, 0);
  std::uint8_t* p = Buffer.data() + Position;
  QNPutU32(p, MessageID);
  QNPutU32(p + 4, static_cast<std::uint32_t>(kQnBundleHead + DataLength));
  QNPutU16(p + 8, ResultCode);
  p[10] = 0;
  p[11] = 0;
  return end;
}

struct TqnServerCommandHandler::Context {
  const TqnServerRequest& R;
  std::uint32_t Id;  // the low 16 bits of the message id, which select the handler
  Reader In;
  RequestInfo Info;
  bool Retry = false;
  DBIResult Result = 0;
};

const char* QNRequestName(std::uint32_t MessageID) {
  switch (MessageID) {
    case qnmAttachServer: return "AttachServer";
    case qnmDetachServer: return "DetachServer";
    case qnmDetachOnHangUp: return "DetachServer - just in case";
    case qnmCheckSecureComms: return "CheckSecureComms";
    case qnmDatabaseOpen: return "DatabaseOpen";
    case qnmDatabaseClose: return "DatabaseClose";
    case qnmDatabaseAliasList: return "DatabaseAliasList";
    case qnmDatabaseTableList: return "DatabaseTableList";
    case qnmDatabaseAddAlias: return "DatabaseAddAlias";
    case qnmDatabaseOpenNoAlias: return "DatabaseOpenNoAlias";
    case qnmDatabaseInTrans: return "DatabaseInTrans";
    case qnmDatabaseDeleteAlias: return "DatabaseDeleteAlias";
    case qnmDatabaseChgAliasPath: return "DatabaseChgAliasPath";
    case qnmSessionAdd: return "SessionAdd";
    case qnmSessionClose: return "SessionClose";
    case qnmSessionGetCurrent: return "SessionGetCurrent";
    case qnmSessionSetCurrent: return "SessionSetCurrent";
    case qnmReindexTable: return "ReindexTable";
    case qnmPackTable: return "PackTable";
    case qnmRestructureTable: return "RestructureTable";
    case qnmGetRebuildStatus: return "GetRebuildStatus";
    case qnmStartTransaction: return "StartTransaction";
    case qnmEndTransaction: return "EndTransaction";
    case qnmOpenTable: return "OpenTable";
    case qnmAcqTableLock: return "AcqTableLock";
    case qnmRelTableLock: return "RelTableLock";
    case qnmIsTableLocked: return "IsTableLocked";
    case qnmGetTableDictionary: return "GetTableDictionary";
    case qnmBuildTable: return "BuildTable";
    case qnmDeleteTable: return "DeleteTable";
    case qnmRenameTable: return "RenameTable";
    case qnmGetTableRecCount: return "GetTableRecCount";
    case qnmEmptyTable: return "EmptyTable";
    case qnmAddIndex: return "AddIndex";
    case qnmDropIndex: return "DropIndex";
    case qnmSetTableAutoIncValue: return "SetTableAutoIncValue";
    case qnmCreateBLOB: return "CreateBLOB";
    case qnmDeleteBLOB: return "DeleteBLOB";
    case qnmReadBLOB: return "ReadBLOB";
    case qnmGetBLOBLength: return "GetBLOBLength";
    case qnmTruncateBLOB: return "TruncateBLOB";
    case qnmWriteBLOB: return "WriteBLOB";
    case qnmFreeBLOB: return "FreeBLOB";
    case qnmAddFileBLOB: return "AddFileBLOB";
    case qnmSetToBegin: return "SetToBegin";
    case qnmSetToEnd: return "SetToEnd";
    case qnmCursorClose: return "CursorClose";
    case qnmGetBookmark: return "GetBookmark";
    case qnmSetToBookmark: return "SetToBookmark";
    case qnmSetToKey: return "SetToKey";
    case qnmSwitchToIndex: return "SwitchToIndex";
    case qnmSetRange: return "SetRange";
    case qnmResetRange: return "ResetRange";
    case qnmCompareBookmarks: return "CompareBookmarks";
    case qnmCursorClone: return "CursorClone";
    case qnmSetToCursor: return "SetToCursor";
    case qnmRecordGet: return "RecordGet";
    case qnmRecordGetNext: return "RecordGetNext";
    case qnmRecordGetPrev: return "RecordGetPrev";
    case qnmRecordRelLock: return "RecordRelLock";
    case qnmRecordDelete: return "RecordDelete";
    case qnmRecordInsert: return "RecordInsert";
    case qnmRecordModify: return "RecordModify";
    case qnmRecordExtractKey: return "RecordExtractKey";
    case qnmRecordGetForKey: return "RecordGetForKey";
    case qnmRecordGetBatch: return "RecordGetBatch";
    case qnmRecordInsertBatch: return "RecordInsertBatch";
    default: return "";
  }
}

bool TqnServerCommandHandler::HasHandler(std::uint32_t MessageID) {
  RequestInfo i;
  return InfoOf(MessageID, i);
}

// A conflict waits for a later attempt while the request's deadline allows, unless the lock
// belongs to the asking client itself: it sends one request at a time, so it cannot let go of
// the lock while this request waits.
bool TqnServerCommandHandler::MayWait(const Context& C) {
  return C.R.CanRetry && !TqnServerEngine::ConflictWithinClient();
}

void TqnServerCommandHandler::Reply(Context& C, DBIResult Result, const std::uint8_t* Data, std::size_t Length,
                                    bool IsStream) {
  C.Result = Result;
  if (Result == C.Info.Retry && Result != 0 && MayWait(C)) {
    C.Retry = true;
    return;
  }
  if (Result != 0) {
    Data = nullptr;
    Length = 0;
  }
  sink_.SendReply(C.R.MessageID, C.R.ClientID, Result, Data, Length, IsStream);
  if (Result == 0 && QNLogRequests.load()) QNLogReplyFields(C.Id, Data, Length);
}

bool TqnServerCommandHandler::Dispatch(const TqnServerRequest& Request) {
  const std::uint32_t id = Request.MessageID & 0xFFFF;
  RequestInfo info;
  if (id == 0 || id >= 0xC000 || !InfoOf(id, info)) return false;
  Context c{Request, id, Reader(Request.Data, Request.Length), info};
  TqnServerEngine::ClearConflictNote();
  const bool log = QNLogRequests.load();
  if (log) {
    QNLogWrite(QNRequestName(id));
    QNLogWrite("  ClientID " + std::to_string(static_cast<std::int32_t>(Request.ClientID)));
    QNLogRequestFields(id, Request.Data, Request.Length);
  }
  {
    // Both checks under one hold of the engine's lock (each enters it again for nothing); the
    // refusal is sent after it is let go.
    TqnPadLockGuard hold(engine_.RequestLock());
    if (info.Rights != 0)
      c.Result = engine_.CheckClientRights(static_cast<std::int32_t>(Request.ClientID), info.Rights);
    // Objects of another client are refused as if they did not exist.
    if (c.Result == 0) c.Result = QNCheckRequestOwner(engine_, Request);
  }
  if (c.Result != 0) sink_.SendReply(Request.MessageID, Request.ClientID, c.Result, nullptr, 0, false);
  if (c.Result == 0) {
    try {
      Handle(c);
    } catch (const BadPayload&) {
      Reply(c, qnresInvalidParameter);
    } catch (const std::exception& e) {
      Reply(c, ConvertServerException(e));
    } catch (...) {
      Reply(c, ConvertUnknownServerException());
    }
  }
  if (log) {
    char line[64];
    if (c.Retry)
      std::snprintf(line, sizeof line, "  *ERROR*  %x -- retrying until %u", static_cast<unsigned>(c.Result),
                    static_cast<unsigned>(Request.Deadline));
    else
      std::snprintf(line, sizeof line, "  *ERROR*  %x", static_cast<unsigned>(c.Result));
    QNLogWrite(line);
  }
  return c.Retry;
}

bool TqnServerCommandHandler::Handle(Context& C) {
  TqnServerEngine& e = engine_;
  Reader& in = C.In;
  const std::int32_t client = static_cast<std::int32_t>(C.R.ClientID);
  std::uint8_t out4[4] = {};
  auto reply4 = [&](DBIResult r, std::uint32_t v) {
    QNPutU32(out4, v);
    Reply(C, r, out4, 4);
  };
  auto replyStream = [&](DBIResult r, TMemoryStream& s) {
    const auto bytes = StreamBytes(s);
    Reply(C, r, bytes.data(), bytes.size(), true);
  };

  switch (C.Id) {
    // ---- Connection ----
    case qnmAttachServer: {
      const std::string name = in.Name(), user = in.Name();
      std::uint32_t hash = 0;
      const DBIResult r = e.ClientAdd(client, name, user, hash);
      std::uint8_t o[13] = {};
      QNPutU32(o, C.R.ClientID);
      QNPutU32(o + 4, kQnServerVersion);
      const bool secure = e.Configuration().GeneralInfo().IsSecure;
      QNPutU32(o + 8, sink_.ConnectionCode() ^ (secure ? hash : 0u));
      o[12] = secure ? 1 : 0;
      Reply(C, r, o, sizeof o);
      break;
    }
    case qnmDetachServer:
      e.ClientRemove(client);
      Reply(C, 0);
      break;
    case qnmDetachOnHangUp:
      e.ClientRemove(client);
      break;
    case qnmCheckSecureComms:
      Reply(C, 0);
      break;

    // ---- Databases and aliases ----
    case qnmDatabaseOpen: {
      const std::string alias = in.Name();
      const std::uint8_t om = in.U8(), sm = in.U8();
      std::uint32_t db = 0;
      const DBIResult r = e.DatabaseOpen(client, alias, om, sm, db);
      reply4(r, db);
      break;
    }
    case qnmDatabaseOpenNoAlias: {
      const std::string path = in.Path();
      const std::uint8_t om = in.U8(), sm = in.U8();
      std::uint32_t db = 0;
      const DBIResult r = e.DatabaseOpenNoAlias(client, path, om, sm, db);
      reply4(r, db);
      break;
    }
    case qnmDatabaseClose:
      Reply(C, e.DatabaseClose(in.U32()));
      break;
    case qnmDatabaseAliasList: {
      TMemoryStream s;
      const DBIResult r = e.DatabaseAliasList(s);
      replyStream(r, s);
      break;
    }
    case qnmDatabaseTableList: {
      const std::uint32_t db = in.U32();
      const std::string mask = in.Short(36);
      // The mask names files inside the folder only.
      if (mask.find('/') != std::string::npos || mask.find('\\') != std::string::npos) throw BadPayload{};
      TMemoryStream s;
      const DBIResult r = e.DatabaseTableList(db, mask, s);
      replyStream(r, s);
      break;
    }
    case qnmDatabaseAddAlias: {
      const std::string alias = in.Name(), path = in.Path();
      Reply(C, e.DatabaseAddAlias(alias, path));
      break;
    }
    case qnmDatabaseInTrans: {
      bool inTrans = false;
      const DBIResult r = e.DatabaseInTrans(in.U32(), inTrans);
      const std::uint8_t b = inTrans ? 1 : 0;
      Reply(C, r, &b, 1);
      break;
    }
    case qnmDatabaseDeleteAlias:
      Reply(C, e.DatabaseDeleteAlias(in.Name()));
      break;
    case qnmDatabaseChgAliasPath: {
      const std::string alias = in.Name(), path = in.Path();
      Reply(C, e.DatabaseChgAliasPath(alias, path));
      break;
    }

    // ---- Sessions and transactions ----
    case qnmSessionAdd: {
      std::uint32_t s = 0;
      const DBIResult r = e.SessionAdd(client, s);
      reply4(r, s);
      break;
    }
    case qnmSessionClose:
      Reply(C, e.SessionClose(client, in.U32()));
      break;
    case qnmSessionGetCurrent: {
      std::uint32_t s = 0;
      const DBIResult r = e.SessionGetCurrent(client, s);
      reply4(r, s);
      break;
    }
    case qnmSessionSetCurrent:
      Reply(C, e.SessionSetCurrent(client, in.U32()));
      break;
    case qnmStartTransaction: {
      const std::uint32_t db = in.U32();
      const bool failSafe = in.Bool();
      std::uint32_t t = 0;
      const DBIResult r = e.TransactionStart(db, failSafe, t);
      reply4(r, t);
      break;
    }
    case qnmEndTransaction: {
      const std::uint32_t t = in.U32();
      const bool commit = in.Bool();
      Reply(C, commit ? e.TransactionCommit(t) : e.TransactionRollback(t));
      break;
    }

    // ---- Tables ----
    case qnmOpenTable: {
      const std::uint32_t db = in.U32();
      const std::string table = in.Name(), index = in.Name();
      const std::int32_t number = in.I32();
      const std::uint8_t om = in.U8(), sm = in.U8();
      TMemoryStream s;
      std::uint32_t cursor = 0;
      s.WriteBuffer(out4, 4);
      const DBIResult r = e.OpenTable(db, table, index, number, om, sm, cursor, &s);
      QNPutU32(out4, cursor);
      s.SetPosition(0);
      s.WriteBuffer(out4, 4);
      replyStream(r, s);
      break;
    }
    case qnmAcqTableLock: {
      const std::uint32_t cursor = in.U32();
      Reply(C, e.AcqTableLock(cursor, in.U8()));
      break;
    }
    case qnmRelTableLock: {
      const std::uint32_t cursor = in.U32();
      const bool all = in.Bool();
      Reply(C, e.RelTableLock(cursor, all, in.U8()));
      break;
    }
    case qnmIsTableLocked: {
      const std::uint32_t cursor = in.U32();
      bool locked = false;
      const DBIResult r = e.IsTableLocked(cursor, in.U8(), locked);
      const std::uint8_t b = locked ? 1 : 0;
      Reply(C, r, &b, 1);
      break;
    }
    case qnmGetTableDictionary: {
      const std::uint32_t db = in.U32();
      TMemoryStream s;
      const DBIResult r = e.GetTableDictionary(db, in.Name(), s);
      replyStream(r, s);
      break;
    }
    case qnmBuildTable: {
      const std::uint32_t db = in.U32();
      const bool overwrite = in.Bool();
      const std::string table = in.Name();
      TMemoryStream s;
      // The count first: the bytes taken leave nothing behind.
      const std::size_t rest = in.Left();
      s.WriteBuffer(in.Take(rest), static_cast<std::int64_t>(rest));
      s.SetPosition(0);
      TqnDataDictionary dict(4096);
      dict.ReadFromStream(s);
      Reply(C, e.BuildTable(db, overwrite, table, dict));
      break;
    }
    case qnmDeleteTable: {
      const std::uint32_t db = in.U32();
      Reply(C, e.DeleteTable(db, in.Name()));
      break;
    }
    case qnmRenameTable: {
      const std::uint32_t db = in.U32();
      const std::string from = in.Name(), to = in.Name();
      Reply(C, e.RenameTable(db, from, to));
      break;
    }
    case qnmGetTableRecCount: {
      std::uint32_t n = 0;
      const DBIResult r = e.GetTableRecCount(in.U32(), n);
      reply4(r, n);
      break;
    }
    case qnmEmptyTable: {
      const std::uint32_t db = in.U32(), cursor = in.U32();
      Reply(C, e.EmptyTable(db, cursor, in.Name()));
      break;
    }
    case qnmAddIndex: {
      std::uint32_t db = in.U32();
      const std::uint32_t cursor = in.U32();
      std::string table = in.Name();
      TqnIndexDescriptor d;
      d.Number = in.I32();
      d.Name = in.Name();
      d.Description = in.Short(64);
      d.FileNumber = in.I32();
      d.KeyLength = in.I32();
      d.FieldCount = in.I32();
      for (auto& f : d.FieldNumbers) f = in.I32();
      d.AllowDups = in.Bool();
      d.Ascending = in.Bool();
      d.CaseInsensitive = in.Bool();
      if (d.FieldCount > kQnMaxIndexFields || d.FieldCount < -1) throw BadPayload{};
      std::uint32_t outDb = 0;
      std::string outTable;
      DBIResult r = e.AddIndex(db, cursor, table, d, outDb, outTable);
      std::int32_t rebuild = -1;
      if (r == 0) r = e.ReindexTable(outDb, outTable, d.Name, 0, rebuild);
      reply4(r, static_cast<std::uint32_t>(rebuild));
      break;
    }
    case qnmDropIndex: {
      const std::uint32_t db = in.U32(), cursor = in.U32();
      const std::string table = in.Name(), index = in.Name();
      Reply(C, e.DropIndex(db, cursor, table, index, in.I32()));
      break;
    }
    case qnmSetTableAutoIncValue: {
      const std::uint32_t cursor = in.U32();
      Reply(C, e.SetTableAutoIncValue(cursor, in.U32()));
      break;
    }

    // ---- Rebuilds ----
    case qnmReindexTable: {
      const std::uint32_t db = in.U32();
      const std::string table = in.Name(), index = in.Name();
      std::int32_t rebuild = -1;
      const DBIResult r = e.ReindexTable(db, table, index, in.I32(), rebuild);
      reply4(r, static_cast<std::uint32_t>(rebuild));
      break;
    }
    case qnmPackTable: {
      const std::uint32_t db = in.U32();
      std::int32_t rebuild = -1;
      const DBIResult r = e.PackTable(db, in.Name(), rebuild);
      reply4(r, static_cast<std::uint32_t>(rebuild));
      break;
    }
    case qnmRestructureTable: {
      const std::uint32_t db = in.U32();
      const std::string table = in.Name();
      TMemoryStream s;
      // The count first: the bytes taken leave nothing behind.
      const std::size_t rest = in.Left();
      s.WriteBuffer(in.Take(rest), static_cast<std::int64_t>(rest));
      s.SetPosition(0);
      TqnDataDictionary dict(4096);
      dict.ReadFromStream(s);
      std::vector<std::uint8_t> tail(static_cast<std::size_t>(s.Size() - s.Position()));
      if (!tail.empty()) s.ReadBuffer(tail.data(), static_cast<std::int64_t>(tail.size()));
      Reader map(tail.data(), tail.size());
      std::vector<std::string> lines;
      for (;;) {
        const std::string line = map.CountedShort();
        if (line.empty()) break;
        lines.push_back(line);
      }
      std::int32_t rebuild = -1;
      const DBIResult r = e.RestructureTable(db, table, dict, lines.empty() ? nullptr : &lines, rebuild);
      reply4(r, static_cast<std::uint32_t>(rebuild));
      break;
    }
    case qnmGetRebuildStatus: {
      bool there = false;
      TqnRebuildStatusRecord st{};
      const DBIResult r = e.GetRebuildStatus(in.U32(), there, st);
      std::uint8_t o[33] = {};
      for (std::size_t i = 0; i < st.size(); ++i) QNPutU32(o + 4 * i, st[i]);
      o[32] = there ? 1 : 0;
      Reply(C, r, o, sizeof o);
      break;
    }

    // ---- BLOBs ----
    case qnmCreateBLOB: {
      std::uint32_t nr = 0;
      const DBIResult r = e.CreateBLOB(in.U32(), nr);
      reply4(r, nr);
      break;
    }
    case qnmDeleteBLOB: {
      const std::uint32_t cursor = in.U32();
      Reply(C, e.DeleteBLOB(cursor, in.U32()));
      break;
    }
    case qnmReadBLOB: {
      const std::uint32_t cursor = in.U32(), nr = in.U32(), offset = in.U32(), len = in.U32();
      // No BLOB is longer than the limit, so a larger count reads no more.
      const std::uint32_t want = std::min(len, static_cast<std::uint32_t>(kQnBlobMaxLength));
      TqnKeptBlock block(replyBlock_, 4 + static_cast<std::size_t>(want));
      std::uint32_t got = 0;
      const DBIResult r = e.ReadBLOB(cursor, nr, offset, want, got, block.data() + 4);
      got = std::min(got, want);
      QNPutU32(block.data(), got);
      Reply(C, r, block.data(), 4 + static_cast<std::size_t>(got));
      break;
    }
    case qnmGetBLOBLength: {
      const std::uint32_t cursor = in.U32();
      std::uint32_t len = 0;
      const DBIResult r = e.GetBLOBLength(cursor, in.U32(), len);
      reply4(r, len);
      break;
    }
    case qnmTruncateBLOB: {
      const std::uint32_t cursor = in.U32(), nr = in.U32();
      Reply(C, e.TruncateBLOB(cursor, nr, in.U32()));
      break;
    }
    case qnmWriteBLOB: {
      const std::uint32_t cursor = in.U32(), nr = in.U32(), offset = in.U32(), len = in.U32();
      const std::uint8_t* bytes = in.Take(len);
      Reply(C, e.WriteBLOB(cursor, nr, offset, len, bytes));
      break;
    }
    case qnmFreeBLOB: {
      const std::uint32_t cursor = in.U32();
      Reply(C, e.FreeBLOB(cursor, in.U32()));
      break;
    }
    case qnmAddFileBLOB: {
      const std::uint32_t cursor = in.U32();
      const std::string name = in.CountedShort();
      std::uint32_t nr = 0;
      const DBIResult r = e.AddFileBLOB(cursor, name, nr);
      reply4(r, nr);
      break;
    }

    // ---- Cursors ----
    case qnmSetToBegin: Reply(C, e.SetToBegin(in.U32())); break;
    case qnmSetToEnd: Reply(C, e.SetToEnd(in.U32())); break;
    case qnmCursorClose: Reply(C, e.CursorClose(in.U32())); break;
    case qnmResetRange: Reply(C, e.ResetRange(in.U32())); break;
    case qnmGetBookmark: {
      const std::uint32_t cursor = in.U32(), size = in.U32();
      CheckCount(size);
      const std::int32_t need = e.BookmarkSize(cursor);
      if (need < 0) return Reply(C, qnresInvalidHandle), C.Retry;
      if (size < static_cast<std::uint32_t>(need)) throw BadPayload{};
      std::vector<std::uint8_t> b(size);
      const DBIResult r = e.GetBookmark(cursor, b.data());
      Reply(C, r, b.data(), b.size());
      break;
    }
    case qnmSetToBookmark: {
      const std::uint32_t cursor = in.U32(), size = in.U32();
      const std::uint8_t* b = in.Take(size);
      const std::int32_t need = e.BookmarkSize(cursor);
      if (need < 0) return Reply(C, qnresInvalidHandle), C.Retry;
      Reply(C, size < static_cast<std::uint32_t>(need) ? qnresInvalidBookmark : e.SetToBookmark(cursor, b));
      break;
    }
    case qnmCompareBookmarks: {
      const std::uint32_t cursor = in.U32(), size = in.U32();
      const std::uint8_t* b1 = in.Take(size);
      const std::uint8_t* b2 = in.Take(size);
      const std::int32_t need = e.BookmarkSize(cursor);
      if (need < 0) return Reply(C, qnresInvalidHandle), C.Retry;
      std::int32_t cmp = 0;
      const DBIResult r = size < static_cast<std::uint32_t>(need) ? qnresInvalidBookmark
                                                                   : e.CompareBookmarks(cursor, b1, b2, cmp);
      reply4(r, static_cast<std::uint32_t>(cmp));
      break;
    }
    case qnmSetToKey: {
      const std::uint32_t cursor = in.U32();
      const std::uint8_t action = in.U8();
      const bool direct = in.Bool();
      const std::int32_t fc = in.I32(), pl = in.I32();
      const std::uint32_t len = in.U32();
      const std::uint8_t* data = in.Take(len);
      const std::int32_t need = direct ? e.CursorKeyLength(cursor) : e.CursorRecordLength(cursor);
      if (need < 0) return Reply(C, qnresInvalidHandle), C.Retry;
      if (len < static_cast<std::uint32_t>(need)) throw BadPayload{};
      Reply(C, e.SetToKey(cursor, action, direct, fc, pl, data));
      break;
    }
    case qnmSwitchToIndex: {
      const std::uint32_t cursor = in.U32();
      const std::string index = in.Name();
      const std::int32_t number = in.I32();
      Reply(C, e.SwitchToIndex(cursor, index, number, in.Bool()));
      break;
    }
    case qnmSetRange: {
      const std::uint32_t cursor = in.U32();
      const bool direct = in.Bool();
      const std::int32_t fc1 = in.I32(), pl1 = in.I32();
      const std::uint32_t len1 = in.U32();
      const bool incl1 = in.Bool();
      const std::int32_t fc2 = in.I32(), pl2 = in.I32();
      const std::uint32_t len2 = in.U32();
      const bool incl2 = in.Bool();
      const std::uint8_t* k1 = len1 ? in.Take(len1) : nullptr;
      const std::uint8_t* k2 = len2 ? in.Take(len2) : nullptr;
      const std::int32_t need = direct ? e.CursorKeyLength(cursor) : e.CursorRecordLength(cursor);
      if (need < 0) return Reply(C, qnresInvalidHandle), C.Retry;
      if ((k1 && len1 < static_cast<std::uint32_t>(need)) || (k2 && len2 < static_cast<std::uint32_t>(need)))
        throw BadPayload{};
      Reply(C, e.SetRange(cursor, direct, k1, fc1, pl1, incl1, k2, fc2, pl2, incl2));
      break;
    }
    case qnmCursorClone: {
      const std::uint32_t cursor = in.U32();
      std::uint32_t n = 0;
      const DBIResult r = e.CursorClone(cursor, in.U8(), n);
      reply4(r, n);
      break;
    }
    case qnmSetToCursor: {
      const std::uint32_t dest = in.U32();
      Reply(C, e.SetToCursor(dest, in.U32()));
      break;
    }

    // ---- Records ----
    case qnmRecordGet:
    case qnmRecordGetNext:
    case qnmRecordGetPrev:
    case qnmRecordInsert:
    case qnmRecordModify: {
      const std::uint32_t cursor = in.U32(), recLen = in.U32(), bmSize = in.U32();
      const std::uint8_t flag = in.U8();
      CheckCount(recLen);
      CheckCount(bmSize);
      const bool change = C.Id == qnmRecordInsert || C.Id == qnmRecordModify;
      const std::uint8_t* record = change ? in.Take(recLen) : nullptr;
      const std::int32_t actual = e.CursorRecordLength(cursor);
      const std::int32_t bmNeed = e.BookmarkSize(cursor);
      if (actual < 0) return Reply(C, qnresInvalidHandle), C.Retry;
      if (change && recLen < static_cast<std::uint32_t>(actual)) throw BadPayload{};
      std::vector<std::uint8_t> rec(std::max<std::size_t>(recLen, static_cast<std::size_t>(actual)));
      DBIResult first = 0;
      // A locked read or step may wait for another client's lock: every try starts where the
      // first did (kept with the message), never where an earlier try left the cursor.
      TqnCursorPlace start;
      TqnCursorPlace* place = nullptr;
      if (!change && flag != 0 && C.R.RetryState != nullptr) {
        TqnCursorPlace::FromBytes(*C.R.RetryState, start);
        place = &start;
      }
      switch (C.Id) {
        case qnmRecordGet: first = e.RecordGet(cursor, flag, rec.data(), true, place); break;
        case qnmRecordGetNext: first = e.RecordGetNext(cursor, flag, rec.data(), place); break;
        case qnmRecordGetPrev: first = e.RecordGetPrev(cursor, flag, rec.data(), place); break;
        case qnmRecordInsert: first = e.RecordInsert(cursor, flag, record); break;
        default: first = e.RecordModify(cursor, flag != 0, record); break;
      }
      C.Result = first;
      if (first != 0 && first == C.Info.Retry && MayWait(C)) {
        C.Retry = true;
        if (place != nullptr && place->Held) *C.R.RetryState = place->Bytes();
        break;
      }
      std::vector<std::uint8_t> bundle;
      std::size_t pos = 0;
      auto putRecord = [&](std::uint32_t Id, DBIResult Result) {
        const std::size_t at = pos + kQnBundleHead;
        pos = QNPutBundleRecord(bundle, pos, Id, Result, recLen);
        std::memcpy(bundle.data() + at, rec.data(), std::min<std::size_t>(recLen, rec.size()));
      };
      const bool log = QNLogRequests.load();
      // Each record of the bundle in the log: the records behind the first under their heading with
      // their result; the data of each that succeeded.
      auto logRecord = [&](const char* Heading, std::uint32_t Id, DBIResult Result, const std::uint8_t* Data,
                           std::size_t Length) {
        if (!log) return;
        if (Heading != nullptr) QNLogWrite(Heading);
        if (Result == 0) QNLogReplyFields(Id, Data, Length);
        if (Heading == nullptr) return;  // the request's own result ends its log
        char line[32];
        std::snprintf(line, sizeof line, "  *ERROR*  %x", static_cast<unsigned>(Result));
        QNLogWrite(line);
      };
      if (change) {
        pos = QNPutBundleRecord(bundle, pos, C.R.MessageID, first, 0);
        logRecord(nullptr, C.Id, first, nullptr, 0);
        std::fill(rec.begin(), rec.end(), 0);
        // Only read: a change refused on a gap leaves the cursor on the gap.
        const DBIResult read = e.RecordGet(cursor, 0, rec.data(), false);
        putRecord(qnmRecordGet, read);
        logRecord("RecordGet (multipart)", qnmRecordGet, read, rec.data(), std::min<std::size_t>(recLen, rec.size()));
      } else {
        putRecord(C.R.MessageID, first);
        logRecord(nullptr, C.Id, first, rec.data(), std::min<std::size_t>(recLen, rec.size()));
      }
      DBIResult bmResult = qnresInvalidBookmark;
      std::vector<std::uint8_t> bm(std::max<std::size_t>(bmSize, static_cast<std::size_t>(std::max(bmNeed, 0))));
      if (bmSize != 0 && bmSize >= static_cast<std::uint32_t>(bmNeed)) bmResult = e.GetBookmark(cursor, bm.data());
      const std::size_t at = pos + kQnBundleHead;
      pos = QNPutBundleRecord(bundle, pos, qnmGetBookmark, bmResult, bmSize);
      if (bmSize != 0) std::memcpy(bundle.data() + at, bm.data(), bmSize);
      logRecord("CursorGetBookmark (multipart)", qnmGetBookmark, bmResult, bm.data(), bmSize);
      sink_.SendReply(qnmReplyBundle, C.R.ClientID, 0, bundle.data(), bundle.size(), false);
      break;
    }
    case qnmRecordRelLock: {
      const std::uint32_t cursor = in.U32();
      Reply(C, e.RecordRelLock(cursor, in.Bool()));
      break;
    }
    case qnmRecordDelete: {
      const std::uint32_t cursor = in.U32(), recLen = in.U32();
      CheckCount(recLen);
      const std::int32_t actual = e.CursorRecordLength(cursor);
      if (actual < 0) return Reply(C, qnresInvalidHandle), C.Retry;
      std::vector<std::uint8_t> rec(std::max<std::size_t>(recLen, static_cast<std::size_t>(actual)));
      const DBIResult r = e.RecordDelete(cursor, rec.data());
      Reply(C, r, rec.data(), recLen);
      break;
    }
    case qnmRecordExtractKey: {
      const std::uint32_t cursor = in.U32(), keyLen = in.U32();
      CheckCount(keyLen);
      const bool current = in.Bool();
      const std::int32_t recNeed = e.CursorRecordLength(cursor), keyNeed = e.CursorKeyLength(cursor);
      if (recNeed < 0) return Reply(C, qnresInvalidHandle), C.Retry;
      const std::uint8_t* record = current ? nullptr : in.Take(static_cast<std::size_t>(recNeed));
      std::vector<std::uint8_t> key(std::max<std::size_t>(keyLen, static_cast<std::size_t>(keyNeed)));
      const DBIResult r = e.RecordExtractKey(cursor, record, key.data());
      Reply(C, r, key.data(), keyLen);
      break;
    }
    case qnmRecordGetForKey: {
      const std::uint32_t cursor = in.U32();
      const bool direct = in.Bool();
      const std::int32_t fc = in.I32(), pl = in.I32();
      const std::uint32_t recLen = in.U32(), dataLen = in.U32();
      in.U32();  // the bookmark size travels along unused
      CheckCount(recLen);
      const std::uint8_t* data = in.Take(dataLen);
      const std::int32_t actual = e.CursorRecordLength(cursor);
      if (actual < 0) return Reply(C, qnresInvalidHandle), C.Retry;
      const std::int32_t need = direct ? e.CursorKeyLength(cursor) : actual;
      if (dataLen < static_cast<std::uint32_t>(need)) throw BadPayload{};
      TqnKeptBlock rec(replyBlock_, std::max<std::size_t>(recLen, static_cast<std::size_t>(actual)));
      const DBIResult r = e.RecordGetForKey(cursor, direct, fc, pl, data, rec.data());
      Reply(C, r, rec.data(), recLen);
      break;
    }
    case qnmRecordGetBatch: {
      const std::uint32_t cursor = in.U32(), recLen = in.U32(), count = in.U32();
      if (static_cast<std::uint64_t>(recLen) * count + 4 > kMaxReplyBytes) throw BadPayload{};
      const std::int32_t actual = e.CursorRecordLength(cursor);
      if (actual < 0) return Reply(C, qnresInvalidHandle), C.Retry;
      if (count > 0 && recLen < static_cast<std::uint32_t>(actual)) throw BadPayload{};
      std::vector<std::uint8_t> block(4 + static_cast<std::size_t>(recLen) * count);
      std::uint32_t got = 0;
      const DBIResult r = e.RecordGetBatch(cursor, recLen, count, block.data() + 4, got);
      QNPutU32(block.data(), got);
      Reply(C, r, block.data(), block.size());
      break;
    }
    case qnmRecordInsertBatch: {
      const std::uint32_t cursor = in.U32(), recLen = in.U32(), count = in.U32();
      if (static_cast<std::uint64_t>(recLen) * count > in.Left()) throw BadPayload{};
      if ((count > 0 && recLen == 0) || static_cast<std::uint64_t>(count) * 4 > kMaxReplyBytes) throw BadPayload{};
      const std::uint8_t* records = in.Take(static_cast<std::size_t>(recLen) * count);
      std::vector<DBIResult> results;
      const DBIResult r = e.RecordInsertBatch(cursor, count, recLen, records, results);
      std::vector<std::uint8_t> block(4 * static_cast<std::size_t>(count));
      for (std::size_t i = 0; i < results.size() && i < count; ++i) QNPutU32(block.data() + 4 * i, results[i]);
      Reply(C, r, block.data(), block.size());
      break;
    }
    default:
      break;
  }
  return C.Retry;
}

}  // namespace tw::dbengine
