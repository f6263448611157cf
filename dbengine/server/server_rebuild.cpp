// Rebuilds: reindexing one index, packing a table into a fresh file set, and restructuring a
// table to a new dictionary.  The request prepares the work under the request lock and answers
// with a rebuild id; a worker thread does the work, entering the lock for every step, so other
// requests are served in between.  Workers name their cursors by id and stop cleanly when a
// cursor has gone (its client detached).
#include <cstring>
#include <memory>

#include "dbengine/base/filesearch.h"
#include "dbengine/base/names.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/server/server_engine_impl.h"
#include "dbengine/storage/blobs.h"
#include "dbengine/storage/btree_index.h"
#include "dbengine/storage/data_blocks.h"
#include "dbengine/storage/field_convert.h"
#include "dbengine/storage/field_map.h"
#include "dbengine/storage/journal.h"
#include "dbengine/storage/storage_errors.h"
#include "dbengine/storage/table_file.h"
#include "platform/classes/threads.h"

namespace tw::dbengine {

namespace {

class TqnSrRebuildThread : public TThread {
  TW_CLASS(TqnSrRebuildThread, TThread)
 public:
  TqnSrRebuildThread(TqnServerEngine* Engine, std::function<void()> Work)
      : TThread(false), engine_(Engine), work_(std::move(Work)) {
    SetFreeOnTerminate(true);
  }

 protected:
  void Execute() override {
    {
      // The work, and everything it holds (the folder, the field map), is let go here, before
      // the engine learns that the rebuild ended: an engine that has waited for its rebuilds
      // may end at once, and nothing of a rebuild may outlive it.
      std::function<void()> work;
      work.swap(work_);
      try {
        work();
      } catch (...) {
      }
    }
    engine_->ThreadEnded();
  }

 private:
  TqnServerEngine* engine_;
  std::function<void()> work_;
};

void StartWorker(TqnServerEngine* E, std::function<void()> Work) {
  E->ThreadStarted();
  try {
    TThread::Create<TqnSrRebuildThread>(E, std::move(Work));
  } catch (...) {
    E->ThreadEnded();
    throw;
  }
}

}  // namespace

// The copy Temp takes the place of table Name in one step: a crash leaves the old table or the
// new.  A replacement that fails has renamed nothing, and the copy goes.
static void ReplaceWithCopy(const TqnFolder& Folder, const std::string& Name, const std::string& Temp) {
  try {
    QNReplaceTableFiles(Folder, Name, Temp, QNFileAccessTable());
  } catch (...) {
    QNTblDeleteFiles(Folder, Temp);
    throw;
  }
}

// Status updates go through the engine lock: a detaching client removes its statuses under it.
static void UpdateStatus(TqnServerEngine& E, std::uint32_t RebuildId, std::uint32_t Read, std::uint32_t Written,
                         std::uint32_t Code, bool Finished) {
  TqnPadLockGuard g(E.RequestLock());
  if (TqnSrRebuildStatus* s = E.RebuildStatuses().Find(RebuildId)) {
    s->UpdateRebuildStatus(Read, Written, Code);
    if (Finished) s->MarkFinished();
  }
}

DBIResult TqnServerEngine::ReindexTable(std::uint32_t DatabaseID, std::string_view TableName, std::string_view IndexName,
                                        std::int32_t IndexNumber, std::int32_t& RebuildID) {
  RebuildID = -1;
  std::uint32_t cursor = 0;
  DBIResult r = Guarded([&]() -> DBIResult {
    DBIResult e = OpenTable(DatabaseID, TableName, IndexName, IndexNumber, 1, 0, cursor, nullptr);
    if (e != qnresSuccess) return e;
    TqnSrCursor* c = FindCursor(cursor);
    const std::uint32_t count = static_cast<std::uint32_t>(QNTblGetRecordInfo(c->Table->DataFile()).RecordCount);
    e = AcqTableLock(cursor, 2);
    if (e != qnresSuccess) {
      CursorClose(cursor);
      return e;
    }
    RebuildID = static_cast<std::int32_t>(
        rebuilds_->AddRebuild(static_cast<std::uint32_t>(c->Database->Session()->Client()->ClientID()), count));
    return qnresSuccess;
  });
  if (r != qnresSuccess) return r;
  const std::uint32_t status = static_cast<std::uint32_t>(RebuildID);
  auto work = [this, cursor, status] {
    std::uint32_t read = 0, written = 0, trans = 0;
    std::uint32_t database = 0;
    DBIResult result = Guarded([&]() -> DBIResult {
      TqnSrCursor* c = FindCursor(cursor);
      if (c == nullptr) return qnresInvalidHandle;
      database = c->Database->Id();
      DBIResult e = TransactionStart(database, false, trans);
      if (e != qnresSuccess) return e;
      const TqnIndexHandle h = c->Table->IndexHandle(c->Index);
      QNTblClearIndex(h.File, c->Index);
      return TransactionCommitChanges(trans);
    });
    std::int32_t ref = 0;
    bool more = result == qnresSuccess;
    while (more && result == qnresSuccess) {
      result = Guarded([&]() -> DBIResult {
        TqnSrCursor* c = FindCursor(cursor);
        if (c == nullptr) return qnresInvalidHandle;
        for (int step = 0; step < 10; ++step) {
          std::int32_t next = 0;
          if (!QNTblNextRecord(c->Table->DataFile(), ref, next, c->Record.data())) {
            more = false;
            break;
          }
          ref = next;
          ++read;
          std::vector<std::uint8_t> key(static_cast<std::size_t>(c->KeyLength), 0);
          if (!c->Table->BuildIndexKey(c->Index, c->Record.data(), ref, key.data())) return qnresKeyViolation;
          if (!QNTblAddKey(c->Table->IndexHandle(c->Index), ref, key.data())) QNStorageError(qnerrKeyExists);
          ++written;
        }
        return TransactionCommitChanges(trans);
      });
      UpdateStatus(*this, status, read, written, result, false);
    }
    Guarded([&]() -> DBIResult {
      // All or nothing: a reindex that failed (a duplicate key, a write error, its client gone)
      // is rolled back, which puts back the index as it was before; an index is never left
      // lacking keys.
      if (trans != 0) {
        if (result == qnresSuccess) {
          const DBIResult c = CommitOwnTransaction(trans);
          if (c != qnresSuccess) result = c;
        } else {
          TransactionRollback(trans);
        }
      }
      RelTableLock(cursor, false, 2);
      CursorClose(cursor);
      return qnresSuccess;
    });
    UpdateStatus(*this, status, read, written, result, true);
  };
  StartWorker(this, work);
  return qnresSuccess;
}

// Frees the temporary table Temp of Folder when no cursor uses it: a table is otherwise kept
// open while its folder has a transaction, but nothing of another transaction is in the copy
// (made exclusive and write-locked), so it goes now, before its files are deleted.
static void DropCopy(TqnServerEngine& E, TqnList& Tables, const TqnFolder& Folder, const std::string& Temp) {
  if (TqnSrTable* t = E.FindOpenTable(Folder, Temp); t != nullptr && t->Cursors().Count() == 0) Tables.Remove(t);
  if (E.FindOpenTable(Folder, Temp) == nullptr) QNTblDeleteFiles(Folder, Temp);
}

DBIResult TqnServerEngine::PackTable(std::uint32_t DatabaseID, std::string_view TableName, std::int32_t& RebuildID) {
  return PrepareCopy(DatabaseID, TableName, nullptr, nullptr, false, RebuildID);
}

DBIResult TqnServerEngine::RestructureTable(std::uint32_t DatabaseID, std::string_view TableName,
                                            const TqnDataDictionary& Dictionary,
                                            const std::vector<std::string>* FieldMap, std::int32_t& RebuildID) {
  return PrepareCopy(DatabaseID, TableName, &Dictionary, FieldMap, true, RebuildID);
}

DBIResult TqnServerEngine::PrepareCopy(std::uint32_t DatabaseID, std::string_view TableName,
                                       const TqnDataDictionary* NewDict, const std::vector<std::string>* FieldMap,
                                       bool Restructure, std::int32_t& RebuildID) {
  RebuildID = -1;
  std::uint32_t src = 0, dst = 0;
  std::string temp, folder;
  TqnFolderRef dir;
  std::shared_ptr<TqnSrFieldMapList> map;
  std::shared_ptr<TqnTemporaryTableMark> mark;
  std::uint32_t status = 0;
  DBIResult r = Guarded([&]() -> DBIResult {
    DBIResult e = OpenTable(DatabaseID, TableName, "", 0, 1, 0, src, nullptr);
    if (e != qnresSuccess) return e;
    TqnSrCursor* s = FindCursor(src);
    folder = s->Database->FolderPath();
    dir = s->Database->Dir();
    const std::string name = s->Table->Name();
    for (int n = 1;; ++n) {
      std::string candidate = name + std::to_string(n);
      if (candidate.size() > kQnMaxName) candidate = candidate.substr(candidate.size() - kQnMaxName);
      if (!dir->Exists(candidate + ".QND")) {
        temp = candidate;
        break;
      }
    }
    // The copy is announced before its first file: a crash leaves it to recovery, which
    // deletes it unless it already took the table's place.
    try {
      mark = std::make_shared<TqnTemporaryTableMark>(dir, temp, QNFileAccessTable());
    } catch (...) {
      CursorClose(src);
      throw;
    }
    const TqnDataDictionary& oldDict = s->Table->Dictionary();
    // The copy's dictionary: the table's own for a pack (BuildTable copies what it is given).
    const TqnDataDictionary& dict = Restructure ? *NewDict : oldDict;
    if (Restructure && FieldMap != nullptr) {
      // Copied records keep the key routines of the old indexes: a new dictionary may keep an
      // index of user routines only where the old one had it, with the same key length.
      for (int i = 1; i < dict.IndexCount(); ++i) {
        if (!dict.IsUserKeyIndex(i)) continue;
        if (i < oldDict.IndexCount() && oldDict.IsUserKeyIndex(i) &&
            oldDict.IndexKeyLength(i) == dict.IndexKeyLength(i))
          continue;
        CursorClose(src);
        return 10012;
      }
    }
    e = BuildTable(DatabaseID, false, temp, dict);
    if (e != qnresSuccess) {
      CursorClose(src);
      return e;
    }
    if (Restructure && FieldMap == nullptr) {
      CursorClose(src);
      if (FindOpenTable(*dir, name) != nullptr) {
        DeleteTable(DatabaseID, temp);
        return 10031;
      }
      ReplaceWithCopy(*dir, name, temp);
      return qnresSuccess;
    }
    // The temporary table's indexes of user routines use the source's routines: their entries
    // are lent to it while it opens (the open table then holds the routines itself).
    {
      TqnKeyProcList& procs = config_->KeyProcList();
      std::vector<int> lent;
      for (int i = 1; e == qnresSuccess && i < dict.IndexCount(); ++i) {
        if (!dict.IsUserKeyIndex(i)) continue;
        const int at = procs.IndexOf(folder, name, i);
        if (at < 0) {
          e = QNResultOfErrorCode(qnerrUserRoutinesMissing);
          break;
        }
        const TqnKeyProcItem* item = procs.Items(at);
        if (config_->AddKeyProc(folder, temp, i, item->DLLName(), item->BuildKeyName(), item->CompareKeyName()))
          lent.push_back(i);
      }
      if (e == qnresSuccess) e = OpenTable(DatabaseID, temp, "", 0, 1, 0, dst, nullptr);
      for (const int i : lent) procs.Delete(folder, temp, i);
    }
    if (e == qnresSuccess && Restructure) {
      TqnSrCursor* d = FindCursor(dst);
      map = std::make_shared<TqnSrFieldMapList>(oldDict, d->Table->Dictionary());
      const int m = map->AddStringList(*FieldMap);
      if (m != 0) e = m < 0 ? qnresInvalidParameter : static_cast<DBIResult>(m);
      for (int i = 0; e == qnresSuccess && i < map->Count(); ++i) {
        TqnFieldMapSide a, b;
        map->GetSourceField(i, a);
        map->GetTargetField(i, b);
        const bool blobs = QNIsBlobFieldType(a.FieldType) && QNIsBlobFieldType(b.FieldType);
        if (!blobs && !QNIsFieldConversionSupported(a.FieldType, b.FieldType))
          e = QNResultOfErrorCode(qnerrIncompatibleFields);
      }
    }
    if (e == qnresSuccess) e = AcqTableLock(src, 2);
    if (e == qnresSuccess) e = AcqTableLock(dst, 2);
    if (e != qnresSuccess) {
      if (dst != 0) CursorClose(dst);
      CursorClose(src);
      DropCopy(*this, tables_, *dir, temp);
      return e;
    }
    status = rebuilds_->AddRebuild(static_cast<std::uint32_t>(s->Database->Session()->Client()->ClientID()),
                                   static_cast<std::uint32_t>(QNTblGetRecordInfo(s->Table->DataFile()).RecordCount));
    RebuildID = static_cast<std::int32_t>(status);
    return qnresSuccess;
  });
  if (r != qnresSuccess || dst == 0) return r;

  auto work = [this, src, dst, temp, dir, map, mark = std::move(mark), status]() mutable {
    std::uint32_t read = 0, written = 0, trans = 0;
    std::int32_t ref = 0;
    std::uint32_t highest = 0;
    DBIResult result = Guarded([&]() -> DBIResult {
      TqnSrCursor* d = FindCursor(dst);
      if (d == nullptr) return qnresInvalidHandle;
      return TransactionStart(d->Database->Id(), false, trans);
    });
    bool more = result == qnresSuccess;
    while (more && result == qnresSuccess) {
      result = Guarded([&]() -> DBIResult {
        TqnSrCursor* s = FindCursor(src);
        TqnSrCursor* d = FindCursor(dst);
        if (s == nullptr || d == nullptr) return qnresInvalidHandle;
        const TqnDataDictionary& sd = s->Table->Dictionary();
        const TqnDataDictionary& dd = d->Table->Dictionary();
        int autoField = -1;
        const bool hasAuto = dd.HasAutoIncField(autoField);
        std::vector<std::uint8_t> in(static_cast<std::size_t>(sd.RecordLength()));
        std::vector<std::uint8_t> out(static_cast<std::size_t>(dd.RecordLength()));
        for (int step = 0; step < 10; ++step) {
          std::int32_t next = 0;
          if (!QNTblNextRecord(s->Table->DataFile(), ref, next, in.data())) {
            more = false;
            break;
          }
          ref = next;
          ++read;
          auto copyBlob = [&](const std::uint8_t* from, std::uint8_t* to) -> DBIResult {
            const std::uint32_t oldNr = QNGetU32(from);
            if (oldNr == 0) return qnresSuccess;
            std::uint32_t newNr = 0;
            std::string file;
            DBIResult e;
            if (QNTblGetFileBLOBName(s->Table->BlobFile(), static_cast<std::int32_t>(oldNr), file)) {
              // The file by its name in the folder, also when the source stored it by the
              // folder's path of then.
              std::string rel;
              e = QNNameInFolder(*s->Table->Folder(), file, true, rel) ? AddFileBLOB(dst, rel, newNr)
                                                                      : qnresInvalidParameter;
            } else {
              e = CreateBLOB(dst, newNr);
              if (e == qnresSuccess) e = CopyBLOB(src, oldNr, dst, newNr);
            }
            QNPutU32(to, newNr);
            return e;
          };
          if (!map) {
            out = in;
            for (int f = 0; f < dd.FieldCount(); ++f) {
              if (!QNIsBlobFieldType(dd.FieldType(f)) || dd.IsRecordFieldNull(f, out.data())) continue;
              const DBIResult e = copyBlob(in.data() + sd.FieldOffset(f), out.data() + dd.FieldOffset(f));
              if (e != qnresSuccess) return e;
            }
          } else {
            dd.InitRecord(out.data());
            for (int i = 0; i < map->Count(); ++i) {
              TqnFieldMapSide a, b;
              map->GetSourceField(i, a);
              map->GetTargetField(i, b);
              if (sd.IsRecordFieldNull(a.FieldNumber, in.data())) continue;
              std::vector<std::uint8_t> value(static_cast<std::size_t>(b.Length), 0);
              if (QNIsBlobFieldType(a.FieldType)) {
                const DBIResult e = copyBlob(in.data() + a.Offset, value.data());
                if (e != qnresSuccess) return e;
              } else {
                const int e = QNConvertFieldValue(in.data() + a.Offset, value.data(), a.FieldType, a.Length,
                                                  b.FieldType, b.Length);
                if (e != 0) return static_cast<DBIResult>(e);
              }
              dd.SetRecordField(b.FieldNumber, out.data(), value.data());
            }
            for (int f = 0; f < dd.FieldCount(); ++f) {
              if (!dd.FieldRequired(f) || !dd.IsRecordFieldNull(f, out.data())) continue;
              std::vector<std::uint8_t> zero(static_cast<std::size_t>(dd.FieldLength(f)), 0);
              if (QNIsBlobFieldType(dd.FieldType(f))) {
                std::uint32_t nr = 0;
                const DBIResult e = CreateBLOB(dst, nr);
                if (e != qnresSuccess) return e;
                QNPutU32(zero.data(), nr);
              }
              dd.SetRecordField(f, out.data(), zero.data());
            }
          }
          if (hasAuto && !dd.IsRecordFieldNull(autoField, out.data()))
            highest = std::max(highest, QNGetU32(out.data() + dd.FieldOffset(autoField)));
          const DBIResult e = InsertIntoTable(d, 0, out.data());
          if (e != qnresSuccess) return e;
          ++written;
        }
        return TransactionCommitChanges(trans);
      });
      UpdateStatus(*this, status, read, written, result, false);
    }
    const DBIResult ended = Guarded([&]() -> DBIResult {
      if (trans != 0) {
        // The transaction ends here whatever fails on the way.
        if (result == qnresSuccess) {
          try {
            if (TqnSrCursor* d = FindCursor(dst); d != nullptr && highest > 0)
              QNTblSetAutoIncValue(d->Table->DataFile(), highest);
          } catch (const std::exception& e) {
            result = ConvertServerException(e);
          }
        }
        if (result == qnresSuccess)
          result = CommitOwnTransaction(trans);
        else
          TransactionRollback(trans);
      }
      RelTableLock(src, false, 2);
      CursorClose(dst);
      std::string name;
      if (TqnSrCursor* s = FindCursor(src)) name = s->Table->Name();
      CursorClose(src);
      if (result == qnresSuccess && name.empty()) result = qnresInvalidHandle;
      // By the folder, not the database: a client that detached took its database along, and
      // its temporary table must not stay behind.
      if (result != qnresSuccess) {
        // The source stays as it was; its cursor goes too, so the table is not held open (and
        // exclusive) until the database closes.  The copy goes, also when another client's
        // transaction in the folder refused the copy's own (10256).
        DropCopy(*this, tables_, *dir, temp);
        return qnresSuccess;
      }
      if (FindOpenTable(*dir, name) != nullptr || FindOpenTable(*dir, temp) != nullptr) {
        result = 10031;
        DropCopy(*this, tables_, *dir, temp);
        return qnresSuccess;
      }
      ReplaceWithCopy(*dir, name, temp);
      return qnresSuccess;
    });
    if (ended != qnresSuccess && result == qnresSuccess) result = ended;
    // The copy is gone or in the table's place: its mark goes before the rebuild is finished,
    // under the engine's lock, as recovery at a table's open runs.
    {
      TqnPadLockGuard g(RequestLock());
      mark.reset();
    }
    UpdateStatus(*this, status, read, written, result, true);
  };
  StartWorker(this, std::move(work));
  return qnresSuccess;
}

}  // namespace tw::dbengine
