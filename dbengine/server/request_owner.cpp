#include "dbengine/server/request_owner.h"

#include <cstdint>
#include <span>

#include "dbengine/server/server_engine_impl.h"

namespace tw::dbengine {
namespace {

enum class Kind { Session, Database, Cursor, OptionalCursor, Transaction, Rebuild };

constexpr std::size_t kNoField = SIZE_MAX;

struct Field {
  std::size_t Offset;
  Kind What;
  // A field that is not looked at when the id at this offset is nonzero (kNoField: always).
  std::size_t SkippedBy = kNoField;
};

// The ids a request carries, by the low 16 bits of its message id.
std::span<const Field> FieldsOf(std::uint32_t Id) {
  static constexpr Field kDb[] = {{0, Kind::Database}};
  static constexpr Field kCursor[] = {{0, Kind::Cursor}};
  static constexpr Field kSession[] = {{0, Kind::Session}};
  static constexpr Field kTransaction[] = {{0, Kind::Transaction}};
  static constexpr Field kRebuild[] = {{0, Kind::Rebuild}};
  // With a cursor the request works on the cursor's database and table, whatever the database
  // id says: only the cursor is the caller's to name.
  static constexpr Field kDbOrCursor[] = {{0, Kind::Database, 4}, {4, Kind::OptionalCursor}};
  static constexpr Field kTwoCursors[] = {{0, Kind::Cursor}, {4, Kind::Cursor}};
  auto list = [](const auto& A) { return std::span<const Field>(A); };
  switch (Id) {
    case qnmDatabaseClose: case qnmDatabaseTableList: case qnmDatabaseInTrans: case qnmReindexTable:
    case qnmPackTable: case qnmRestructureTable: case qnmStartTransaction: case qnmOpenTable:
    case qnmGetTableDictionary: case qnmBuildTable: case qnmDeleteTable: case qnmRenameTable:
      return list(kDb);
    case qnmEmptyTable: case qnmAddIndex: case qnmDropIndex:
      return list(kDbOrCursor);
    case qnmSessionClose: case qnmSessionSetCurrent:
      return list(kSession);
    case qnmEndTransaction:
      return list(kTransaction);
    case qnmGetRebuildStatus:
      return list(kRebuild);
    case qnmSetToCursor:
      return list(kTwoCursors);
    case qnmAcqTableLock: case qnmRelTableLock: case qnmIsTableLocked: case qnmGetTableRecCount:
    case qnmSetTableAutoIncValue:
      return list(kCursor);
    default:
      if ((Id >= qnmCreateBLOB && Id <= qnmAddFileBLOB) || (Id >= qnmSetToBegin && Id <= qnmCursorClone) ||
          (Id >= qnmRecordGet && Id <= qnmRecordInsertBatch))
        return list(kCursor);
      return {};
  }
}

bool OwnsDatabase(const TqnSrDatabase* D, std::int32_t Client) {
  return D != nullptr && D->Session() != nullptr && D->Session()->Client() != nullptr &&
         D->Session()->Client()->ClientID() == Client;
}

// The running transaction Id of one of the client's databases.
bool OwnsTransaction(TqnSrClient* C, std::uint32_t Id) {
  if (C == nullptr || Id == 0) return false;
  TqnList& sessions = C->Sessions().List();
  for (int i = 0; i < sessions.Count(); ++i) {
    TqnList& databases = sessions.ItemAs<TqnSrSession>(i)->Databases();
    for (int j = 0; j < databases.Count(); ++j)
      if (databases.ItemAs<TqnSrDatabase>(j)->Transaction == Id) return true;
  }
  return false;
}

bool Owns(TqnServerEngine& E, std::int32_t Client, Kind What, std::uint32_t Id) {
  switch (What) {
    case Kind::Database: return OwnsDatabase(E.FindDatabase(Id), Client);
    case Kind::OptionalCursor:
      if (Id == 0) return true;
      [[fallthrough]];
    case Kind::Cursor: {
      const TqnSrCursor* c = E.FindCursor(Id);
      return c != nullptr && OwnsDatabase(c->Database, Client);
    }
    case Kind::Session: {
      TqnSrClient* c = E.FindClient(Client);
      return c != nullptr && c->Sessions().FindById(Id) != nullptr;
    }
    case Kind::Transaction: return OwnsTransaction(E.FindClient(Client), Id);
    case Kind::Rebuild: {
      // An unknown rebuild is answered as not found by the request itself; another client's
      // is refused (reading a finished status would remove it from under its owner).
      const TqnSrRebuildStatus* s = E.RebuildStatuses().Find(Id);
      return s == nullptr || s->ClientId() == static_cast<std::uint32_t>(Client);
    }
  }
  return false;
}

}  // namespace

DBIResult QNCheckRequestOwner(TqnServerEngine& Engine, const TqnServerRequest& Request) {
  const auto fields = FieldsOf(Request.MessageID & 0xFFFF);
  if (fields.size() == 0) return qnresSuccess;
  const auto client = static_cast<std::int32_t>(Request.ClientID);
  TqnPadLockGuard guard(Engine.RequestLock());
  for (const Field& f : fields) {
    if (Request.Data == nullptr || Request.Length < f.Offset + 4) return qnresSuccess;
    if (f.SkippedBy != kNoField && Request.Length >= f.SkippedBy + 4 && QNGetU32(Request.Data + f.SkippedBy) != 0)
      continue;
    if (!Owns(Engine, client, f.What, QNGetU32(Request.Data + f.Offset))) return qnresInvalidHandle;
  }
  return qnresSuccess;
}

}  // namespace tw::dbengine
