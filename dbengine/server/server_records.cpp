// Record operations through a cursor (read, insert, modify, delete, batch insert, keys, record
// locks) and the BLOB operations.  Every change runs in the client's transaction or in one the
// method starts and ends itself.
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dbengine/server/file_blob_path.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/server/server_engine_impl.h"
#include "dbengine/storage/blobs.h"
#include "dbengine/storage/btree_index.h"
#include "dbengine/storage/data_blocks.h"
#include "dbengine/storage/table_file.h"

namespace tw::dbengine {

DBIResult TqnServerEngine::UpdateCheck(TqnSrCursor* C, bool NeedRecord) {
  if (C->ReadWrite == 0) return qnresTableReadOnly;
  TqnLockContainer& l = C->Table->Locks();
  if (l.ReaderCount() > 0 || l.WriteLockState(C->SessionId) == kQnLockedByOther) return qnresFileLocked;
  if (NeedRecord) {
    if (C->Position != qcpOnRecord) return qnresNoCurrentRecord;
    if (l.RecordLockState(C->Id(), C->Reference) == kQnLockedByOther) return qnresRecordLocked;
  }
  // A read-write cursor exists only once the folder is this process's alone; asked again here,
  // where every change of records and BLOBs passes, so that none can reach a shared folder.
  if (const DBIResult r = ClaimForWriting(C->Database, true); r != qnresSuccess) return r;
  if (C->Database->Transaction == 0) return qnresNoTransaction;
  return qnresSuccess;
}

DBIResult TqnServerEngine::WithImplicitTransaction(TqnSrCursor* C, bool NeedRecord,
                                                   const std::function<DBIResult()>& Work) {
  return WithImplicitTransaction(C, NeedRecord, Work, qnresSuccess);
}

DBIResult TqnServerEngine::WithImplicitTransaction(TqnSrCursor* C, bool NeedRecord,
                                                   const std::function<DBIResult()>& Work, DBIResult AlsoCommit) {
  DBIResult r = UpdateCheck(C, NeedRecord);
  std::uint32_t own = 0;
  if (r == qnresNoTransaction) {
    r = TransactionStart(C->Database->Id(), false, own);
    if (r != qnresSuccess) return r;
  } else if (r != qnresSuccess) {
    return r;
  }
  if (own == 0) return InSavepoint(C, Work, AlsoCommit);
  try {
    r = Work();
  } catch (...) {
    TransactionRollback(own);
    throw;
  }
  if (r == qnresSuccess || (AlsoCommit != qnresSuccess && r == AlsoCommit)) {
    const DBIResult c = CommitOwnTransaction(own);
    if (c != qnresSuccess) return c;
  } else {
    TransactionRollback(own);
  }
  return r;
}

DBIResult TqnServerEngine::InSavepoint(TqnSrCursor* C, const std::function<DBIResult()>& Work, DBIResult AlsoCommit) {
  // The client's transaction goes on after a failed request: whatever the request changed
  // before it failed (a record without all its keys, half a split, part of a BLOB) is put back
  // from the savepoint, and every cursor of the table stands where it stood (on its record, or
  // on the gap a delete left).
  if (placesDepth_ == places_.size()) places_.emplace_back();
  std::vector<std::pair<TqnSrCursor*, TqnCursorPlace>>& places = places_[placesDepth_];
  struct TDepth {
    std::size_t& Depth;
    explicit TDepth(std::size_t& D) : Depth(D) { ++Depth; }
    ~TDepth() { --Depth; }
  } depth(placesDepth_);
  TqnList& cursors = C->Table->Cursors();
  {
    // The list's lock taken once for the whole walk, not once per item.
    TqnPadLockGuard hold(cursors.PadLock());
    const auto count = static_cast<std::size_t>(cursors.Count());
    places.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      auto* o = cursors.ItemAs<TqnSrCursor>(static_cast<int>(i));
      places[i].first = o;
      NotePlace(o, places[i].second);  // into the storage kept from earlier requests
    }
  }
  bm_->BeginSavepoint();
  DBIResult r = qnresSuccess;
  try {
    r = Work();
  } catch (...) {
    bm_->RollbackToSavepoint();
    RestoreCursors(places);
    throw;
  }
  if (r == qnresSuccess || (AlsoCommit != qnresSuccess && r == AlsoCommit)) {
    bm_->EndSavepoint();
  } else {
    bm_->RollbackToSavepoint();
    RestoreCursors(places);
  }
  return r;
}

void TqnServerEngine::RestoreCursors(const std::vector<std::pair<TqnSrCursor*, TqnCursorPlace>>& Places) {
  // Key paths name blocks as the failed request left them: every cursor finds its place again
  // by its key.
  for (const auto& [c, p] : Places) {
    c->Position = p.Position;
    c->Reference = p.Reference;
    c->KeyValid = p.KeyValid;
    c->CrackOnRecord = p.CrackOnRecord;
    c->Key = p.Key;
    QNInitKeyPath(c->Path);
  }
}

void TqnServerEngine::NotifyOthers(TqnSrCursor* Changer, std::int32_t Ref, const std::uint8_t* Old,
                                   const std::uint8_t* New) {
  TqnList& cursors = Changer->Table->Cursors();
  // The list's lock taken once for the whole walk, not once per item (every request of the
  // engine holds the engine's lock before any list's).
  TqnPadLockGuard hold(cursors.PadLock());
  const int count = cursors.Count();
  for (int i = 0; i < count; ++i) {
    auto* o = cursors.ItemAs<TqnSrCursor>(i);
    if (o == Changer) continue;
    // A cursor before the first record or after the last stays there (what Reposition makes
    // of it): this runs for every record of a bulk insert.
    if (o->Position == qcpBOF) {
      QNSetBOF(o->Path);
      continue;
    }
    if (o->Position == qcpEOF) {
      QNSetEOF(o->Path);
      continue;
    }
    const bool onIt =
        o->Reference == Ref && (o->Position == qcpOnRecord || (o->Position == qcpCrack && o->CrackOnRecord));
    if (Old != nullptr && onIt) PlaceOnChangedRecord(o, Ref, Old, New);
    RepositionAfresh(o);
  }
}

// The key of index I for Record (index 0: the reference); false when the index's build-key
// routine refuses the record.
static bool KeyFor(TqnSrCursor* C, int I, const std::uint8_t* Record, std::int32_t Ref, std::vector<std::uint8_t>& Key) {
  Key.assign(static_cast<std::size_t>(C->Table->Dictionary().IndexKeyLength(I)), 0);
  return C->Table->BuildIndexKey(I, Record, Ref, Key.data());
}

// The BLOBs that Record names are stored ones from now on (new ones again should the
// transaction be rolled back): none of them is freed any more.
static void BlobsStored(TqnSrCursor* C, const std::uint8_t* Record) {
  TqnNewBlobs& blobs = C->Table->NewBlobs();
  if (blobs.Empty()) return;
  const TqnDataDictionary& d = C->Table->Dictionary();
  for (int f = 0; f < d.FieldCount(); ++f)
    if (QNIsBlobFieldType(d.FieldType(f)) && !d.IsRecordFieldNull(f, Record))
      blobs.Taken(QNGetU32(Record + d.FieldOffset(f)), C->Database->Transaction);
}

// Whether Record names BLOB Nr in a field other than Except (-1: any field).
static bool NamesBlob(const TqnDataDictionary& D, const std::uint8_t* Record, std::uint32_t Nr, int Except = -1) {
  for (int f = 0; f < D.FieldCount(); ++f)
    if (f != Except && QNIsBlobFieldType(D.FieldType(f)) && !D.IsRecordFieldNull(f, Record) &&
        QNGetU32(Record + D.FieldOffset(f)) == Nr)
      return true;
  return false;
}

// 10030 when Record would store a BLOB that it may not: one that no cursor created new and no
// record stores yet (a record stores it already, or it was never made), unless Old, the record
// Record replaces, holds it; or one BLOB in two of its fields.  Two records never name one
// BLOB: a write to one memo never changes another, and deleting one record never frees
// another's BLOB.  Null fields and number 0 name no BLOB.
static DBIResult CheckBlobsToStore(TqnSrCursor* C, const std::uint8_t* Record, const std::uint8_t* Old) {
  const TqnDataDictionary& d = C->Table->Dictionary();
  const TqnNewBlobs& blobs = C->Table->NewBlobs();
  for (int f = 0; f < d.FieldCount(); ++f) {
    if (!QNIsBlobFieldType(d.FieldType(f)) || d.IsRecordFieldNull(f, Record)) continue;
    const std::uint32_t nr = QNGetU32(Record + d.FieldOffset(f));
    if (nr == 0) continue;
    if (NamesBlob(d, Record, nr, f)) return qnresInvalidBlobHandle;
    if (!blobs.IsNew(nr) && (Old == nullptr || !NamesBlob(d, Old, nr))) return qnresInvalidBlobHandle;
  }
  return qnresSuccess;
}

DBIResult TqnServerEngine::InsertIntoTable(TqnSrCursor* C, std::uint8_t LockType, const std::uint8_t* Record) {
  TqnSrTable* t = C->Table;
  const TqnDataDictionary& d = t->Dictionary();
  // The record's copy and the keys built from it reuse their storage: this runs for every
  // record of a bulk insert.
  thread_local std::vector<std::uint8_t> rec;
  rec.assign(Record, Record + d.RecordLength());
  if (!d.CheckRequiredFields(rec.data())) return qnresRequiredMissing;
  if (const DBIResult r = CheckBlobsToStore(C, rec.data(), nullptr); r != qnresSuccess) return r;
  int autoField = -1;
  if (d.HasAutoIncField(autoField)) {
    bool isNull = false;
    std::uint8_t v[4] = {};
    d.GetRecordField(autoField, rec.data(), v, isNull);
    if (isNull || QNGetU32(v) == 0) {
      QNPutU32(v, QNTblNextAutoIncValue(t->DataFile()));
      d.SetRecordField(autoField, rec.data(), v);
    }
  }
  std::int32_t ref = 0;
  QNTblAddRecord(t->DataFile(), ref, rec.data());
  DBIResult r = qnresSuccess;
  int added = 0;
  thread_local std::vector<std::uint8_t> key, cursorKey;
  bool cursorKeyMade = false;
  try {
    for (int i = 0; i < d.IndexCount(); ++i) {
      if (!KeyFor(C, i, rec.data(), ref, key) || !QNTblAddKey(t->IndexHandle(i), ref, key.data())) {
        r = qnresKeyViolation;
        break;
      }
      // The cursor's key, kept for when the record stands.
      if (i == C->Index) {
        cursorKey.assign(key.begin(), key.end());
        cursorKeyMade = true;
      }
      ++added;
    }
    if (r != qnresSuccess) {
      // Nothing of a refused record stays behind, also inside a client's transaction.
      for (int i = 0; i < added; ++i) {
        KeyFor(C, i, rec.data(), ref, key);
        QNTblDeleteKey(t->IndexHandle(i), ref, key.data());
      }
      QNTblDeleteRecord(t->DataFile(), ref);
      NotifyOthers(C, ref, nullptr, nullptr);
      return r;
    }
    if (LockType != 0 && TakeRecordLock(C, ref) != qnresSuccess) r = qnresRecordLocked;
  } catch (...) {
    NotifyOthers(C, ref, nullptr, nullptr);
    throw;
  }
  C->Reference = ref;
  C->Position = qcpOnRecord;
  if (cursorKeyMade)
    C->Key.assign(cursorKey.begin(), cursorKey.end());
  else
    KeyFor(C, C->Index, rec.data(), ref, C->Key);
  C->KeyValid = true;
  QNInitKeyPath(C->Path);
  NotifyOthers(C, ref, nullptr, nullptr);
  if (r == qnresSuccess) BlobsStored(C, rec.data());
  return r;
}

DBIResult TqnServerEngine::RecordGet(std::uint32_t CursorID, std::uint8_t LockType, std::uint8_t* Record,
                                     bool FromGap, TqnCursorPlace* Start) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    StartFrom(c, Start);
    if (c->Position == qcpCrack && FromGap) return ReadRecordAfterGap(c, LockType, Record);
    if (c->Position != qcpOnRecord) return qnresNoCurrentRecord;
    std::uint8_t* into = Record != nullptr ? Record : c->Record.data();
    QNTblReadRecord(c->Table->DataFile(), c->Reference, into);
    return LockType != 0 ? TakeRecordLock(c, c->Reference) : qnresSuccess;
  });
}

DBIResult TqnServerEngine::RecordInsert(std::uint32_t CursorID, std::uint8_t LockType, const std::uint8_t* Record) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    return WithImplicitTransaction(c, false, [&] { return InsertIntoTable(c, LockType, Record); });
  });
}

DBIResult TqnServerEngine::RecordModify(std::uint32_t CursorID, bool /*RelLock*/, const std::uint8_t* Record) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    return WithImplicitTransaction(c, true, [&]() -> DBIResult {
      TqnSrTable* t = c->Table;
      const TqnDataDictionary& d = t->Dictionary();
      const std::int32_t ref = c->Reference;
      if (!d.CheckRequiredFields(Record)) return qnresRequiredMissing;
      std::vector<std::uint8_t> old(static_cast<std::size_t>(d.RecordLength()));
      QNTblReadRecord(t->DataFile(), ref, old.data());
      if (const DBIResult r = CheckBlobsToStore(c, Record, old.data()); r != qnresSuccess) return r;
      // Keys first, checked before anything changes: a refused key leaves the record whole.
      struct Change {
        int Index;
        std::vector<std::uint8_t> Old, New;
      };
      std::vector<Change> changes;
      for (int i = 1; i < d.IndexCount(); ++i) {
        Change ch{i, {}, {}};
        if (!KeyFor(c, i, old.data(), ref, ch.Old) || !KeyFor(c, i, Record, ref, ch.New)) {
          NotifyOthers(c, ref, old.data(), old.data());
          t->Locks().RemoveRecordLock(c->Id(), ref);
          return qnresKeyViolation;
        }
        TqnIndexHandle h = t->IndexHandle(i);
        if (h.Compare(ch.Old.data(), ch.New.data(), h.Params) != 0) changes.push_back(std::move(ch));
      }
      DBIResult r = qnresSuccess;
      std::size_t done = 0;
      for (; done < changes.size(); ++done) {
        const Change& ch = changes[done];
        TqnIndexHandle h = t->IndexHandle(ch.Index);
        if (!QNTblDeleteKey(h, ref, ch.Old.data())) {
          r = qnresKeyViolation;
          break;
        }
        if (!QNTblAddKey(h, ref, ch.New.data())) {
          QNTblAddKey(h, ref, ch.Old.data());
          r = qnresKeyViolation;
          break;
        }
      }
      if (r != qnresSuccess) {
        for (std::size_t j = 0; j < done; ++j) {
          TqnIndexHandle h = t->IndexHandle(changes[j].Index);
          QNTblDeleteKey(h, ref, changes[j].New.data());
          QNTblAddKey(h, ref, changes[j].Old.data());
        }
      } else {
        QNTblUpdateRecord(t->DataFile(), ref, Record);
        BlobsStored(c, Record);
        KeyFor(c, c->Index, Record, ref, c->Key);
        c->KeyValid = true;
        QNInitKeyPath(c->Path);
      }
      NotifyOthers(c, ref, old.data(), r == qnresSuccess ? Record : old.data());
      t->Locks().RemoveRecordLock(c->Id(), ref);
      return r;
    });
  });
}

DBIResult TqnServerEngine::RecordDelete(std::uint32_t CursorID, std::uint8_t* Record) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    return WithImplicitTransaction(c, true, [&]() -> DBIResult {
      TqnSrTable* t = c->Table;
      const TqnDataDictionary& d = t->Dictionary();
      const std::int32_t ref = c->Reference;
      std::vector<std::uint8_t> rec(static_cast<std::size_t>(d.RecordLength()));
      QNTblReadRecord(t->DataFile(), ref, rec.data());
      if (Record != nullptr) std::memcpy(Record, rec.data(), rec.size());
      std::vector<std::uint8_t> key;
      DBIResult r = qnresSuccess;
      for (int i = 0; i < d.IndexCount(); ++i) {
        if (!KeyFor(c, i, rec.data(), ref, key) || !QNTblDeleteKey(t->IndexHandle(i), ref, key.data()))
          r = qnresKeyViolation;
      }
      for (int f = 0; f < d.FieldCount(); ++f) {
        if (!QNIsBlobFieldType(d.FieldType(f)) || d.IsRecordFieldNull(f, rec.data())) continue;
        // A BLOB deleted on its own before its record left a free slot, which may be another
        // cursor's new BLOB by now: neither is the record's to delete.
        const std::uint32_t nr = QNGetU32(rec.data() + d.FieldOffset(f));
        if (nr != 0 && !t->NewBlobs().IsNew(nr)) QNTblDeleteBLOBIfLive(t->BlobFile(), static_cast<std::int32_t>(nr));
      }
      QNTblDeleteRecord(t->DataFile(), ref);
      t->Locks().RemoveRecordLock(c->Id(), ref);
      NotifyOthers(c, ref, rec.data(), nullptr);
      // The deleting cursor stands on the gap the record leaves.
      PlaceOnChangedRecord(c, ref, rec.data(), nullptr);
      Reposition(c);
      return r;
    });
  });
}

DBIResult TqnServerEngine::RecordInsertBatch(std::uint32_t CursorID, std::uint32_t RecCount, std::uint32_t RecLen,
                                             const std::uint8_t* Records, std::vector<DBIResult>& Results) {
  return Guarded([&]() -> DBIResult {
    Results.clear();
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (RecCount > 0 && RecLen < static_cast<std::uint32_t>(c->RecordLength())) return qnresInvalidParameter;
    DBIResult r = UpdateCheck(c, false);
    if (r == qnresSuccess) return qnresLockConflict;
    if (r != qnresNoTransaction) return r;
    std::uint32_t own = 0;
    r = TransactionStart(c->Database->Id(), false, own);
    if (r != qnresSuccess) return r;
    try {
      for (std::uint32_t i = 0; i < RecCount; ++i) {
        DBIResult one;
        try {
          one = InsertIntoTable(c, 0, Records + static_cast<std::size_t>(i) * RecLen);
        } catch (const std::exception& e) {
          one = ConvertServerException(e);
        }
        Results.push_back(one);
        if (one == qnresSuccess) {
          bm_->CommitChanges(own);
        } else {
          bm_->DiscardChanges(own);
          RepositionFolderCursors(c->Database->FolderKey());
        }
      }
    } catch (...) {
      TransactionRollback(own);
      throw;
    }
    return CommitOwnTransaction(own);
  });
}

DBIResult TqnServerEngine::RecordExtractKey(std::uint32_t CursorID, const std::uint8_t* Record, std::uint8_t* Key) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (c->Index == 0) return qnresNeedIndex;
    if (Record == nullptr) {
      if (c->Position != qcpOnRecord) return qnresNoCurrentRecord;
      QNTblReadRecord(c->Table->DataFile(), c->Reference, c->Record.data());
      Record = c->Record.data();
    }
    return c->Table->BuildIndexKey(c->Index, Record, 0, Key) ? qnresSuccess : qnresKeyViolation;
  });
}

DBIResult TqnServerEngine::RecordRelLock(std::uint32_t CursorID, bool AllLocks) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (AllLocks) c->Table->Locks().RemoveAllRecordLocks(c->Id());
    else if (c->Position == qcpOnRecord) c->Table->Locks().RemoveRecordLock(c->Id(), c->Reference);
    return qnresSuccess;
  });
}

// ---- BLOBs --------------------------------------------------------------------------------

namespace {

// False for a file BLOB whose file no longer lies inside its table's folder (swapped for a link,
// given a second name, moved out, or named so by a table written elsewhere); such a file is
// never read.  The folder is the one the table's files lie in, reached through its handle.
bool FileBlobReadable(TqnSrCursor* C, std::uint32_t BLOBNr) {
  std::string name;
  if (!QNTblGetFileBLOBName(C->Table->BlobFile(), static_cast<std::int32_t>(BLOBNr), name)) return true;
  return QNFileBlobReadable(*C->Table->Folder(), name);
}

bool FitsI32(std::uint32_t V) { return V <= static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()); }

}  // namespace

DBIResult TqnServerEngine::BlobChange(std::uint32_t CursorID, const std::function<DBIResult(TqnSrCursor*)>& Work,
                                      DBIResult AlsoCommit) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    return WithImplicitTransaction(c, false, [&] { return Work(c); }, AlsoCommit);
  });
}

DBIResult TqnServerEngine::CreateBLOB(std::uint32_t CursorID, std::uint32_t& BLOBNr) {
  BLOBNr = 0;
  return BlobChange(CursorID, [&](TqnSrCursor* c) -> DBIResult {
    std::int32_t nr = 0;
    QNTblAddBLOB(c->Table->BlobFile(), nr);
    BLOBNr = static_cast<std::uint32_t>(nr);
    c->Table->NewBlobs().Created(BLOBNr, c->Id(), c->Database->Transaction);
    return qnresSuccess;
  }, qnresSuccess);
}

DBIResult TqnServerEngine::AddFileBLOB(std::uint32_t CursorID, std::string_view FileName, std::uint32_t& BLOBNr) {
  BLOBNr = 0;
  return BlobChange(CursorID, [&](TqnSrCursor* c) -> DBIResult {
    // Only a file of the table's own folder; the BLOB keeps its name there, through which it is
    // reached wherever the folder moves.
    const std::string name = QNFileBlobNameInside(*c->Table->Folder(), std::string(FileName));
    if (name.empty()) return qnresInvalidParameter;
    std::int32_t nr = 0;
    QNTblAddFileBLOB(c->Table->BlobFile(), name, nr);
    BLOBNr = static_cast<std::uint32_t>(nr);
    // New like any other BLOB until a record stores it (never freed: its length is its name's).
    c->Table->NewBlobs().Created(BLOBNr, c->Id(), c->Database->Transaction);
    return qnresSuccess;
  }, qnresSuccess);
}

DBIResult TqnServerEngine::WriteBLOB(std::uint32_t CursorID, std::uint32_t BLOBNr, std::uint32_t Offset,
                                     std::uint32_t Len, const std::uint8_t* Buffer) {
  if (!FitsI32(Offset) || !FitsI32(Len) || static_cast<std::uint64_t>(Offset) + Len > kQnBlobMaxLength)
    return qnresInvalidBlobOffset;
  return BlobChange(CursorID, [&](TqnSrCursor* c) -> DBIResult {
    QNTblWriteBLOB(c->Table->BlobFile(), static_cast<std::int32_t>(BLOBNr), static_cast<std::int32_t>(Offset),
                   static_cast<std::int32_t>(Len), Buffer);
    return qnresSuccess;
  }, qnresSuccess);
}

DBIResult TqnServerEngine::TruncateBLOB(std::uint32_t CursorID, std::uint32_t BLOBNr, std::uint32_t NewLen) {
  if (!FitsI32(NewLen)) return qnresInvalidBlobLength;
  return BlobChange(CursorID, [&](TqnSrCursor* c) -> DBIResult {
    QNTblTruncateBLOB(c->Table->BlobFile(), static_cast<std::int32_t>(BLOBNr), static_cast<std::int32_t>(NewLen));
    return qnresSuccess;
  }, qnresSuccess);
}

DBIResult TqnServerEngine::DeleteBLOB(std::uint32_t CursorID, std::uint32_t BLOBNr) {
  return BlobChange(CursorID, [&](TqnSrCursor* c) -> DBIResult {
    QNTblDeleteBLOB(c->Table->BlobFile(), static_cast<std::int32_t>(BLOBNr));
    c->Table->NewBlobs().Taken(BLOBNr, c->Database->Transaction);
    return qnresSuccess;
  }, qnresSuccess);
}

DBIResult TqnServerEngine::FreeBLOB(std::uint32_t CursorID, std::uint32_t BLOBNr) {
  return BlobChange(CursorID, [&](TqnSrCursor* c) -> DBIResult {
    // Only an empty BLOB that this cursor created and no record stores is freed: a stored
    // record's BLOB, or another cursor's new one, freed, would leave a record naming the slot
    // that the next new BLOB takes.
    TqnNewBlobs& blobs = c->Table->NewBlobs();
    if (!blobs.CreatedBy(BLOBNr, c->Id())) return qnresSuccess;
    if (!QNTblFreeBLOBIfEmpty(c->Table->BlobFile(), static_cast<std::int32_t>(BLOBNr))) return qnresSuccess;
    blobs.Taken(BLOBNr, c->Database->Transaction);
    return qnresBlobFreed;
  }, qnresBlobFreed);
}

void TqnServerEngine::NewBlobsAtTransactionEnd(std::uint32_t TransactionID, bool Committed) {
  for (int i = 0; i < tables_.Count(); ++i)
    tables_.ItemAs<TqnSrTable>(i)->NewBlobs().TransactionEnded(TransactionID, Committed);
}

DBIResult TqnServerEngine::GetBLOBLength(std::uint32_t CursorID, std::uint32_t BLOBNr, std::uint32_t& Length) {
  return Guarded([&]() -> DBIResult {
    Length = 0;
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (!FileBlobReadable(c, BLOBNr)) return qnresOpenFailed;
    int fileError = 0;
    const std::int32_t n = QNTblGetBLOBLength(c->Table->BlobFile(), static_cast<std::int32_t>(BLOBNr), fileError);
    if (n < 0) return static_cast<DBIResult>(fileError != 0 ? fileError : qnresBlobError);
    Length = static_cast<std::uint32_t>(n);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::ReadBLOB(std::uint32_t CursorID, std::uint32_t BLOBNr, std::uint32_t Offset,
                                    std::uint32_t Len, std::uint32_t& BytesRead, std::uint8_t* Buffer) {
  BytesRead = 0;
  if (!FitsI32(Offset) || !FitsI32(Len)) return qnresInvalidBlobOffset;
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (!FileBlobReadable(c, BLOBNr)) return qnresOpenFailed;
    int fileError = 0;
    std::int32_t got = 0;
    QNTblReadBLOB(c->Table->BlobFile(), static_cast<std::int32_t>(BLOBNr), static_cast<std::int32_t>(Offset),
                  fileError, got, Buffer, static_cast<std::int32_t>(Len));
    if (fileError != 0) return static_cast<DBIResult>(fileError);
    BytesRead = static_cast<std::uint32_t>(got < 0 ? 0 : got);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::CopyBLOB(std::uint32_t SrcCursorID, std::uint32_t SrcBLOBNr, std::uint32_t DestCursorID,
                                    std::uint32_t DestBLOBNr) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* s = FindCursor(SrcCursorID);
    if (s == nullptr) return qnresInvalidHandle;
    // Inside the client's transaction a copy that fails half-way leaves the BLOB as it was.
    TqnSrCursor* d = FindCursor(DestCursorID);
    if (d != nullptr && d->Database->Transaction != 0 && d->ReadWrite != 0)
      return InSavepoint(d, [&] { return CopyBLOBParts(SrcCursorID, SrcBLOBNr, DestCursorID, DestBLOBNr); },
                         qnresSuccess);
    return CopyBLOBParts(SrcCursorID, SrcBLOBNr, DestCursorID, DestBLOBNr);
  });
}

DBIResult TqnServerEngine::CopyBLOBParts(std::uint32_t SrcCursorID, std::uint32_t SrcBLOBNr,
                                       std::uint32_t DestCursorID, std::uint32_t DestBLOBNr) {
  std::uint32_t length = 0;
  DBIResult r = GetBLOBLength(SrcCursorID, SrcBLOBNr, length);
  if (r != qnresSuccess) return r;
  std::uint8_t work[2048];
  for (std::uint32_t off = 0; off < length;) {
    std::uint32_t got = 0;
    r = ReadBLOB(SrcCursorID, SrcBLOBNr, off, std::min<std::uint32_t>(sizeof work, length - off), got, work);
    if (r != qnresSuccess) return r;
    if (got == 0) return qnresBlobError;
    r = WriteBLOB(DestCursorID, DestBLOBNr, off, got, work);
    if (r != qnresSuccess) return r;
    off += got;
  }
  return qnresSuccess;
}

}  // namespace tw::dbengine
