// Tables: open (giving a cursor), build, delete, rename, empty, dictionaries, record counts,
// auto-increment values, indexes and table locks.
#include <cstring>

#include "dbengine/base/filesearch.h"
#include "dbengine/base/names.h"
#include "dbengine/server/folder_claim.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/server/server_engine_impl.h"
#include "dbengine/storage/btree_index.h"
#include "dbengine/storage/data_blocks.h"
#include "dbengine/storage/journal.h"
#include "dbengine/storage/storage_errors.h"
#include "dbengine/storage/table_file.h"
#include "platform/classes/streams.h"
#include "platform/rtl/sysutils.h"

namespace tw::dbengine {

namespace {

// A transaction of the engine's own, for work that must not mix with a client's transaction
// (creating table files).  Its id comes from the object registry, so it never collides.
class TPrivateTransaction {
 public:
  explicit TPrivateTransaction(TqnBufferManager& Bm) : bm_(Bm), id_(new TqnSrTransaction(0, nullptr)) {
    bm_.StartTransaction(id_->Id(), false, "");
  }
  ~TPrivateTransaction() {
    if (!ended_) {
      try {
        bm_.Rollback(id_->Id());
      } catch (...) {
      }
    }
    delete id_;
  }
  // A commit that fails before it is decided stays open, so that the rollback that follows
  // undoes it; one that fails after it was decided stands and is done: it is finished here,
  // or its journal is held and replayed before its tables are used again.
  void Commit() {
    try {
      bm_.Commit(id_->Id());
    } catch (...) {
      if (!bm_.IsDecided(id_->Id())) throw;
      ended_ = true;
      try {
        bm_.Rollback(id_->Id());
      } catch (...) {
      }
    }
    ended_ = true;
  }
  void Rollback() {
    if (ended_) return;
    ended_ = true;
    bm_.Rollback(id_->Id());
  }
  std::uint32_t Id() const { return id_->Id(); }

 private:
  TqnBufferManager& bm_;
  TqnSrTransaction* id_;
  bool ended_ = false;
};

// Before a table's files are touched by name (opened by any path, deleted, renamed, made anew
// under the name): the journals that wait for them are finished, a journal this process holds
// (a rollback that could not put its early writes back) first.  While one cannot be finished
// this raises 23549, naming it: a table is never used torn, nor deleted while images for it
// wait, and a table made later under its name never receives them.
void FinishJournalsFor(TqnBufferManager& Bm, const TqnFolder& Folder, std::string_view Name) {
  Bm.RecoverHeldFor(Folder, std::string(Name));
  QNRecoverJournalsFor(Folder, std::string(Name) + ".QND", QNFileAccessTable());
}

// Whether table Name of Folder exists, once the journals of its folder are finished: after a
// crash in the middle of a rename or a replacement the table's files may stand under the other
// name until recovery has run.
bool TableExists(TqnBufferManager& Bm, const TqnFolder& Folder, std::string_view Name) {
  FinishJournalsFor(Bm, Folder, Name);
  return Folder.Exists(std::string(Name) + ".QND");
}

// Makes the files of table Name in Folder from Dictionary.  They are made under a name of
// their own and then take the table's name in one step (replacing the files of an old table of
// that name): a crash leaves no half-made table, and a table made anew is the old one or the
// new one, never none.
void MakeTableFiles(TqnBufferManager* Bm, const TqnFolderRef& Folder, std::string_view Name,
                    const TqnDataDictionary& Dictionary, bool Encrypt) {
  TqnFileRoutines& r = QNFileAccessTable();
  std::string temp;
  for (int n = 1; temp.empty(); ++n) {
    const std::string candidate = std::string(Name) + "~" + std::to_string(n);
    if (QNTableFileNames(r, *Folder, candidate).empty() && !Folder->Exists(candidate + ".QND")) temp = candidate;
  }
  // Held while the files exist under the temporary name: a crash leaves them to recovery.
  const TqnTemporaryTableMark mark(Folder, temp, r);
  {
    TqnSrTable t(temp, Bm, Folder, 1, 0);
    TPrivateTransaction tr(*Bm);
    try {
      t.CreateFiles(Dictionary, tr.Id(), Encrypt);
      tr.Commit();
    } catch (...) {
      t.CloseFiles();
      QNTblDeleteFiles(*Folder, temp);
      throw;
    }
    t.CloseFiles();
  }
  try {
    QNReplaceTableFiles(*Folder, std::string(Name), temp, r);
  } catch (...) {
    QNTblDeleteFiles(*Folder, temp);
    throw;
  }
}

}  // namespace

DBIResult TqnServerEngine::OpenTable(std::uint32_t DatabaseID, std::string_view TableName, std::string_view IndexName,
                                     std::int32_t IndexNumber, std::uint8_t OpenMode, std::uint8_t ShareMode,
                                     std::uint32_t& CursorID, TStream* Stream) {
  return Guarded([&]() -> DBIResult {
    CursorID = 0;
    TqnSrDatabase* d = FindDatabase(DatabaseID);
    if (d == nullptr) return qnresInvalidHandle;
    if (OpenMode != 0 && d->OpenMode() == 0) return qnresDatabaseReadOnly;
    if (d->ShareMode() == 0) ShareMode = 0;
    const std::uint32_t session = d->Session()->Id();
    TqnSrTable* t = FindOpenTable(*d->Dir(), TableName);
    // A database whose folder was removed opens only tables of its own that are open already.
    if (t == nullptr) {
      if (const DBIResult r = CheckFolderPresent(d); r != qnresSuccess) return r;
    }
    bool created = false;
    if (t != nullptr) {
      if (t->Shared() == 0 && t->ExclusiveOwner != session) return qnresRecordLocked;
      if (t->Shared() != 0 && ShareMode == 0) return qnresNeedExclusive;
      if (OpenMode != 0 && t->OpenMode() == 0) return qnresTableReadOnly;
    } else if (!QNIsValidTableName(TableName)) {
      return 10039;
    }
    // A table opened for writing: the folder is this process's alone from here on (every change
    // of records, BLOBs and indexes goes through a read-write cursor).  A table opened to be
    // read may first need a journal finished.
    TqnFolderWriteMoment recovery;
    if (OpenMode != 0) {
      if (const DBIResult r = ClaimForWriting(d); r != qnresSuccess) return r;
    } else if (t == nullptr) {
      if (const DBIResult r = ReadyToRead(d, recovery); r != qnresSuccess) return r;
    }
    if (t == nullptr) {
      if (!TableExists(*bm_, *d->Dir(), TableName)) return qnresNoSuchTable;
      t = new TqnSrTable(TableName, bm_, d->Dir(), OpenMode != 0 ? 1 : 0, ShareMode != 0 ? 1 : 0);
      try {
        t->OpenFiles();
        t->LoadUserRoutines(*config_);
      } catch (...) {
        delete t;
        throw;
      }
      created = true;
    }
    int index = IndexNumber;
    if (!IndexName.empty()) index = t->Dictionary().GetIndexFromName(std::string(IndexName));
    if (index < 0 || index >= t->Dictionary().IndexCount()) {
      if (created) delete t;
      return qnresNoSuchIndex;
    }
    if (created) {
      if (t->Shared() == 0) t->ExclusiveOwner = session;
      tables_.Insert(t);
      t->JoinTransaction(FolderTransaction(d->FolderKey()));
    }
    auto* c = new TqnSrCursor(t, d, index, OpenMode != 0 ? 1 : 0);
    cursors_.Insert(c);
    CursorID = c->Id();
    if (Stream != nullptr) {
      t->Dictionary().WriteToStream(*Stream);
      std::uint8_t n[4];
      QNPutI32(n, index);
      Stream->WriteBuffer(n, 4);
    }
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::BuildTable(std::uint32_t DatabaseID, bool Overwrite, std::string_view TableName,
                                      const TqnDataDictionary& Dictionary) {
  return Guarded([&]() -> DBIResult {
    TqnSrDatabase* d = FindDatabase(DatabaseID);
    if (d == nullptr) return qnresInvalidHandle;
    if (d->OpenMode() == 0) return qnresDatabaseReadOnly;
    if (FindOpenTable(*d->Dir(), TableName) != nullptr) return 10031;
    if (!QNIsValidTableName(TableName)) return 10039;
    if (const DBIResult r = ClaimForWriting(d); r != qnresSuccess) return r;
    if (TableExists(*bm_, *d->Dir(), TableName) && !Overwrite) return qnresTableExists;
    MakeTableFiles(bm_, d->Dir(), TableName, Dictionary, config_->GeneralInfo().UseEncrypt);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::DeleteTable(std::uint32_t DatabaseID, std::string_view TableName) {
  return Guarded([&]() -> DBIResult {
    TqnSrDatabase* d = FindDatabase(DatabaseID);
    if (d == nullptr) return qnresInvalidHandle;
    if (FindOpenTable(*d->Dir(), TableName) != nullptr) return 10031;
    if (!QNIsValidTableName(TableName)) return 10039;
    if (const DBIResult r = ClaimForWriting(d); r != qnresSuccess) return r;
    // A journal left for the table is finished first: a table made again under the name must
    // never receive the images of the one deleted.
    FinishJournalsFor(*bm_, *d->Dir(), TableName);
    QNTblDeleteFiles(*d->Dir(), std::string(TableName));
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::RenameTable(std::uint32_t DatabaseID, std::string_view OldName, std::string_view NewName) {
  if (!QNIsValidTableName(NewName)) return 10039;
  return Guarded([&]() -> DBIResult {
    TqnSrDatabase* d = FindDatabase(DatabaseID);
    if (d == nullptr) return qnresInvalidHandle;
    if (FindOpenTable(*d->Dir(), OldName) != nullptr) return 10031;
    if (!QNIsValidTableName(OldName)) return 10039;
    if (const DBIResult r = ClaimForWriting(d); r != qnresSuccess) return r;
    const TqnFolder& folder = *d->Dir();
    if (!TableExists(*bm_, folder, OldName)) return qnresNoSuchTable;
    if (FindOpenTable(folder, NewName) != nullptr) return 10031;
    // The old table's files take the new name: nothing that waits for files of that name may
    // reach them afterwards.
    FinishJournalsFor(*bm_, folder, NewName);
    // The table's files are file 0 and the extra files its dictionary names; other files that
    // happen to share the base name belong to someone else and stay as they are.
    std::vector<std::string> extensions;
    {
      TqnSrTable t(OldName, bm_, d->Dir(), 0, 1);
      t.OpenFiles();
      const TqnDataDictionary& dict = t.Dictionary();
      for (int i = 1; i < dict.FileCount(); ++i) extensions.push_back(dict.FileExtension(i));
    }
    extensions.push_back("QND");
    for (const auto& ext : extensions)
      if (folder.Exists(std::string(NewName) + "." + ext)) return qnresTableExists;
    // The files are renamed through a rename journal: after a crash at any point the table
    // stands whole under one of its two names.
    std::vector<std::string> files;
    for (const auto& ext : extensions) files.push_back(std::string(OldName) + "." + ext);
    QNReplaceTableFiles(folder, std::string(NewName), std::string(OldName), QNFileAccessTable(), &files);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::EmptyTable(std::uint32_t DatabaseID, std::uint32_t CursorID, std::string_view TableName) {
  if (CursorID == 0) {
    TMemoryStream s;
    DBIResult r = GetTableDictionary(DatabaseID, TableName, s);
    if (r != qnresSuccess) return r;
    return Guarded([&]() -> DBIResult {
      s.SetPosition(0);
      TqnDataDictionary dict(4096);
      dict.ReadFromStream(s);
      return BuildTable(DatabaseID, true, TableName, dict);
    });
  }
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (FolderTransaction(c->Database->FolderKey()) != 0) return qnresLockConflict;
    if (c->Table->Shared() != 0) return qnresNeedExclusive;
    if (c->ReadWrite == 0) return qnresTableReadOnly;
    if (const DBIResult r = ClaimForWriting(c->Database); r != qnresSuccess) return r;
    TqnSrTable* t = c->Table;
    bm_->RecoverHeldFor(*t->Folder(), t->Name());
    TqnDataDictionary copy(t->Dictionary().BlockSize());
    copy.Assign(&t->Dictionary());
    t->CloseFiles();
    // The dictionary is read again from the files that are there now.
    QNTblDictAllowChanges(t->Dictionary());
    try {
      MakeTableFiles(bm_, t->Folder(), t->Name(), copy, config_->GeneralInfo().UseEncrypt);
    } catch (...) {
      t->OpenFiles();
      throw;
    }
    t->OpenFiles();
    t->Locks().RemoveAllRecordLocks(c->Id());
    for (int i = 0; i < t->Cursors().Count(); ++i) {
      auto* o = t->Cursors().ItemAs<TqnSrCursor>(i);
      t->Locks().RemoveAllRecordLocks(o->Id());
      o->SetIndex(o->Index);
    }
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::GetTableDictionary(std::uint32_t DatabaseID, std::string_view TableName, TStream& Stream) {
  return Guarded([&]() -> DBIResult {
    TqnSrDatabase* d = FindDatabase(DatabaseID);
    if (d == nullptr) return qnresInvalidHandle;
    if (TqnSrTable* t = FindOpenTable(*d->Dir(), TableName)) {
      t->Dictionary().WriteToStream(Stream);
      return qnresSuccess;
    }
    if (!QNIsValidTableName(TableName)) return 10039;
    TqnFolderWriteMoment recovery;
    if (const DBIResult r = ReadyToRead(d, recovery); r != qnresSuccess) return r;
    if (!TableExists(*bm_, *d->Dir(), TableName)) return qnresNoSuchTable;
    TqnSrTable t(TableName, bm_, d->Dir(), 0, 1);
    t.OpenFiles();
    t.Dictionary().WriteToStream(Stream);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::GetTableRecCount(std::uint32_t CursorID, std::uint32_t& Count) {
  return Guarded([&]() -> DBIResult {
    Count = 0;
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    Count = static_cast<std::uint32_t>(QNTblGetRecordInfo(c->Table->DataFile()).RecordCount);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::SetTableAutoIncValue(std::uint32_t CursorID, std::uint32_t Value) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    return WithImplicitTransaction(c, false, [&]() -> DBIResult {
      QNTblSetAutoIncValue(c->Table->DataFile(), Value);
      return qnresSuccess;
    });
  });
}

// ---- Indexes ------------------------------------------------------------------------------

namespace {

// After a failed index change: the change is rolled back, the files return to the transaction
// they were in, and the dictionary in memory is read again from the file so that both agree.
void RestoreDictionary(TqnSrTable* T, TPrivateTransaction& Tr, std::uint32_t OldTrans) {
  try {
    Tr.Rollback();
  } catch (...) {
  }
  T->JoinTransaction(OldTrans);
  TqnDataDictionary& dict = T->Dictionary();
  try {
    TqnDataDictionary stored(4096);
    QNTblReadDictionary(stored, T->DataFile());
    dict.SetBuilt(false);
    dict.Assign(&stored);
    dict.SetTableName(T->Name());
    dict.SetBuilt(true);
  } catch (...) {
  }
}

// Adds the key of every record of T to its index N, inside transaction Trans: the index
// reaches the disk (and any other client) only with all its keys.  False when a unique index
// would hold a key twice.
bool FillIndex(TqnBufferManager& Bm, TqnSrTable* T, int N, std::uint32_t Trans) {
  const TqnDataDictionary& dict = T->Dictionary();
  const TqnIndexHandle h = T->IndexHandle(N);
  std::vector<std::uint8_t> record(static_cast<std::size_t>(dict.RecordLength()));
  std::vector<std::uint8_t> key(static_cast<std::size_t>(dict.IndexKeyLength(N)));
  std::int32_t ref = 0, next = 0;
  int count = 0;
  while (QNTblNextRecord(T->DataFile(), ref, next, record.data())) {
    ref = next;
    std::fill(key.begin(), key.end(), std::uint8_t(0));
    if (!T->BuildIndexKey(N, record.data(), ref, key.data()) || !QNTblAddKey(h, ref, key.data())) return false;
    // Large tables: the blocks go out early, their old contents journaled for a rollback.
    if (++count % 1000 == 0) Bm.CommitChanges(Trans);
  }
  return true;
}

DBIResult AddIndexThroughCursor(TqnBufferManager& Bm, TqnSrCursor* C, const TqnIndexDescriptor& D) {
  TqnSrTable* t = C->Table;
  TqnDataDictionary& dict = t->Dictionary();
  if (t->Shared() != 0) return qnresNeedExclusive;
  if (C->ReadWrite == 0) return qnresTableReadOnly;
  if (D.FieldCount == -1) return 10048;
  if (!dict.IsIndexDescValid(D)) return 10023;
  if (dict.GetIndexFromName(D.Name) >= 0) return 10027;
  if (dict.IndexCount() >= kQnMaxIndexes) return 9487;
  if (D.FileNumber < 0 || D.FileNumber >= t->OpenFileCount()) return 10023;
  const std::uint32_t oldTrans = t->DataFile()->TransactionId;
  TPrivateTransaction tr(Bm);
  t->JoinTransaction(tr.Id());
  try {
    QNTblDictAllowChanges(dict);
    std::vector<std::int32_t> fields(D.FieldNumbers.begin(), D.FieldNumbers.begin() + D.FieldCount);
    dict.AddIndex(D.Name, D.Description, D.FileNumber, fields, D.AllowDups, D.Ascending, D.CaseInsensitive);
    const int n = dict.IndexCount() - 1;  // the new index is the last one
    dict.SetBuilt(true);
    QNTblAddIndex(t->File(D.FileNumber), n, dict.IndexKeyLength(n), false, D.AllowDups);
    QNTblWriteDictionary(dict, t->DataFile());
    if (!FillIndex(Bm, t, n, tr.Id())) {
      RestoreDictionary(t, tr, oldTrans);
      return qnresKeyViolation;
    }
    tr.Commit();
    t->IndexAdded();
  } catch (...) {
    // A commit that failed after it was decided still completes: the index is then there.
    const int before = dict.IndexCount() - 1;
    RestoreDictionary(t, tr, oldTrans);
    if (dict.IndexCount() > before) t->IndexAdded();
    throw;
  }
  t->JoinTransaction(oldTrans);
  return qnresSuccess;
}

// The table's routines and cursors follow a dropped index: the indexes above it move down.
void IndexDropped(TqnSrTable* T, int Index) {
  T->IndexRemoved(Index);
  for (int i = 0; i < T->Cursors().Count(); ++i) {
    auto* o = T->Cursors().ItemAs<TqnSrCursor>(i);
    if (o->Index > Index) o->SetIndex(o->Index - 1);
  }
}

DBIResult DropIndexThroughCursor(TqnBufferManager& Bm, TqnSrCursor* C, std::string_view IndexName,
                                 std::int32_t IndexNumber) {
  TqnSrTable* t = C->Table;
  TqnDataDictionary& dict = t->Dictionary();
  int index = IndexNumber;
  if (!IndexName.empty()) {
    index = dict.GetIndexFromName(std::string(IndexName));
    if (index < 0) return qnresNoSuchIndex;
  } else if (index < 1 || index >= dict.IndexCount()) {
    return qnresNoSuchIndex;
  }
  if (index == 0) return qnresNoSuchIndex;
  if (index == C->Index) return 10035;
  if (t->Shared() != 0) return qnresNeedExclusive;
  if (C->ReadWrite == 0) return qnresTableReadOnly;
  for (int i = 0; i < t->Cursors().Count(); ++i)
    if (t->Cursors().ItemAs<TqnSrCursor>(i)->Index == index) return 10035;
  const std::uint32_t oldTrans = t->DataFile()->TransactionId;
  TPrivateTransaction tr(Bm);
  t->JoinTransaction(tr.Id());
  try {
    // Every file's index header lists the indexes by their number: the index's tree is freed
    // in its own file, and in each file the indexes above it move down one place.
    const int file = dict.IndexFileNumber(index);
    for (int f = 0; f < t->OpenFileCount(); ++f)
      if (f == file || QNTblIndexHeaderBlock(t->File(f)) != -1) QNTblDeleteIndex(t->File(f), index);
    QNTblDictAllowChanges(dict);
    dict.RemoveIndex(index);
    dict.SetBuilt(true);
    QNTblWriteDictionary(dict, t->DataFile());
    tr.Commit();
  } catch (...) {
    // A commit that failed after it was decided still completes: the index is then gone.
    const int before = dict.IndexCount() + 1;
    RestoreDictionary(t, tr, oldTrans);
    if (dict.IndexCount() < before) IndexDropped(t, index);
    throw;
  }
  t->JoinTransaction(oldTrans);
  IndexDropped(t, index);
  return qnresSuccess;
}

}  // namespace

DBIResult TqnServerEngine::AddIndex(std::uint32_t DatabaseID, std::uint32_t CursorID, std::string_view TableName,
                                    const TqnIndexDescriptor& Index, std::uint32_t& OutDatabaseID,
                                    std::string& OutTableName) {
  return Guarded([&]() -> DBIResult {
    OutDatabaseID = DatabaseID;
    OutTableName = std::string(TableName);
    if (CursorID != 0) {
      TqnSrCursor* c = FindCursor(CursorID);
      if (c == nullptr) return qnresInvalidHandle;
      OutDatabaseID = c->Database->Id();
      OutTableName = c->Table->Name();
      return AddIndexThroughCursor(*bm_, c, Index);
    }
    std::uint32_t cursor = 0;
    DBIResult r = OpenTable(DatabaseID, TableName, "", 0, 1, 0, cursor, nullptr);
    if (r != qnresSuccess) return r;
    try {
      r = AddIndexThroughCursor(*bm_, FindCursor(cursor), Index);
    } catch (...) {
      CursorClose(cursor);
      throw;
    }
    CursorClose(cursor);
    return r;
  });
}

DBIResult TqnServerEngine::DropIndex(std::uint32_t DatabaseID, std::uint32_t CursorID, std::string_view TableName,
                                     std::string_view IndexName, std::int32_t IndexNumber) {
  return Guarded([&]() -> DBIResult {
    if (CursorID != 0) {
      TqnSrCursor* c = FindCursor(CursorID);
      if (c == nullptr) return qnresInvalidHandle;
      return DropIndexThroughCursor(*bm_, c, IndexName, IndexNumber);
    }
    std::uint32_t cursor = 0;
    DBIResult r = OpenTable(DatabaseID, TableName, "", 0, 1, 0, cursor, nullptr);
    if (r != qnresSuccess) return r;
    try {
      r = DropIndexThroughCursor(*bm_, FindCursor(cursor), IndexName, IndexNumber);
    } catch (...) {
      CursorClose(cursor);
      throw;
    }
    CursorClose(cursor);
    return r;
  });
}

// ---- Table locks --------------------------------------------------------------------------

DBIResult TqnServerEngine::AcqTableLock(std::uint32_t CursorID, std::uint8_t LockType) {
  if (LockType == 0) return qnresSuccess;
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    if (LockType == 1) return c->Table->Locks().AddReadLock(c->SessionId) ? qnresSuccess : qnresRecordLocked;
    if (LockType == 2) return c->Table->Locks().AddWriteLock(c->SessionId) ? qnresSuccess : qnresRecordLocked;
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::RelTableLock(std::uint32_t CursorID, bool AllLocks, std::uint8_t LockType) {
  if (LockType == 0) return qnresSuccess;
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    TqnLockContainer& l = c->Table->Locks();
    if (AllLocks) {
      l.RemoveWriteLock(c->SessionId);
      l.RemoveReadLock(c->SessionId);
      l.RemoveAllRecordLocks(c->Id());
      return qnresSuccess;
    }
    if (LockType == 1) {
      if (l.ReadLockState(c->SessionId) != kQnLockedBySelf) return qnresUnlockFailed;
      return l.RemoveReadLock(c->SessionId) ? qnresSuccess : qnresUnlockFailed;
    }
    if (LockType == 2) {
      if (l.WriteLockState(c->SessionId) != kQnLockedBySelf) return qnresUnlockFailed;
      return l.RemoveWriteLock(c->SessionId) ? qnresSuccess : qnresUnlockFailed;
    }
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::IsTableLocked(std::uint32_t CursorID, std::uint8_t LockType, bool& Locked) {
  Locked = false;
  if (LockType == 0) return qnresSuccess;
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    TqnLockContainer& l = c->Table->Locks();
    Locked = (LockType == 1 ? l.ReadLockState(c->SessionId) : l.WriteLockState(c->SessionId)) == kQnLockedBySelf;
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::CursorClose(std::uint32_t CursorID) {
  return Guarded([&]() -> DBIResult {
    TqnSrCursor* c = FindCursor(CursorID);
    if (c == nullptr) return qnresInvalidHandle;
    cursors_.Remove(c);
    FreeTablesWithoutCursors();
    return qnresSuccess;
  });
}

}  // namespace tw::dbengine
