// The engine object, its request bracket, clients, sessions, databases, aliases, transactions
// and the rebuild-status query.
#include "dbengine/server/server_engine.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "dbengine/base/names.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/server/folder_claim.h"
#include "dbengine/server/server_engine_impl.h"
#include "dbengine/storage/file_routines.h"
#include "dbengine/storage/journal.h"
#include "dbengine/storage/storage_errors.h"
#include "platform/classes/streams.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"

namespace tw::dbengine {

namespace {
std::atomic<TqnServerEngine*> gEngine{nullptr};
}

TqnServerEngine* TqnServerEngine::Instance() { return gEngine.load(); }

TqnServerEngine::TqnServerEngine()
    : config_(new TqnServerConfiguration),
      transactions_(new TqnSrTransactionList),
      folders_(new TqnSrFolderList),
      rebuilds_(new TqnSrRebuildStatusList),
      bm_(new TqnBufferManager) {
  for (TqnList* l : {&clients_, &sessions_, &databases_, &tables_, &cursors_}) l->SetSorted(false);
  clients_.SetSorted(true);
  gEngine.store(this);
}

TqnServerEngine::~TqnServerEngine() {
  WaitForRebuilds();
  lock_.Lock();
  delete rebuilds_;
  rebuilds_ = nullptr;
  // Databases roll back their transactions while the transaction list still exists.
  sessions_.Empty();
  cursors_.Empty();
  databases_.Empty();
  tables_.Empty();
  clients_.Empty();
  delete transactions_;
  transactions_ = nullptr;
  delete folders_;
  folders_ = nullptr;
  delete config_;
  lock_.Unlock();
  // The page cache, and the journals it holds, go before the claims: a journal left for recovery
  // is closed before a server of another process may claim its folder and recover it.
  delete bm_;
  for (const auto& claim : folderClaims_) QNReleaseFolder(claim.second.Key);
  folderClaims_.clear();
  for (const TqnFileKey& key : keptClaims_) QNReleaseFolder(key);
  keptClaims_.clear();
  gEngine.store(nullptr);
}

void TqnServerEngine::EnterRequest() {
  lock_.SetLocked(true);
  bm_->BeginRequest();
  // Folders kept for a held journal by an earlier request: their journals are tried again.
  if (!keptClaims_.empty()) ReleaseKeptClaims();
}

void TqnServerEngine::LeaveRequest() {
  bm_->EndRequest();
  lock_.SetLocked(false);
}

void TqnServerEngine::ReleaseKeptClaims() {
  if (keptWait_-- > 0) return;
  keptGap_ = std::min(keptGap_ * 2, 64);
  keptWait_ = keptGap_ - 1;
  std::erase_if(keptClaims_, [&](const TqnFileKey& Key) {
    // The held journals are tried again, as every access to their tables tries them: once the
    // fault is gone the folder is let go, though no database of this server opens it again.
    bool applied = false;
    try {
      applied = bm_->RecoverHeldIn(Key);
    } catch (...) {
    }
    if (!applied) return false;
    QNReleaseFolder(Key);
    return true;
  });
}

// ---- Lookups ------------------------------------------------------------------------------

TqnSrClient* TqnServerEngine::FindClient(std::int32_t ClientID) const {
  const int i = clients_.IndexOf(QNKeyOf(ClientID));
  return i >= 0 ? clients_.ItemAs<TqnSrClient>(i) : nullptr;
}

template <typename T>
static T* FindInList(const TqnList& L, std::uint32_t Id) {
  if (Id == 0) return nullptr;
  TqnSelfListItem* item = TqnSelfListItem::FindById(Id);
  if (item == nullptr || !item->Is<T>() || !item->HasOwner(&L)) return nullptr;
  return static_cast<T*>(item);
}

TqnSrDatabase* TqnServerEngine::FindDatabase(std::uint32_t Id) const { return FindInList<TqnSrDatabase>(databases_, Id); }
TqnSrCursor* TqnServerEngine::FindCursor(std::uint32_t Id) const {
  // Mostly the cursor of the request before (a client reads record after record through one):
  // it is taken again without the registry while no item has ended since it was found.
  const std::uint64_t endings = TqnSelfListItem::Endings();
  if (Id != 0 && Id == lastCursorId_ && endings == lastCursorEndings_ && lastCursor_->HasOwner(&cursors_))
    return lastCursor_;
  TqnSrCursor* c = FindInList<TqnSrCursor>(cursors_, Id);
  lastCursorId_ = c != nullptr ? Id : 0;
  lastCursor_ = c;
  lastCursorEndings_ = endings;
  return c;
}

namespace {
thread_local bool conflictWithinClient = false;
}  // namespace

bool TqnServerEngine::ConflictWithinClient() { return conflictWithinClient; }
void TqnServerEngine::ClearConflictNote() { conflictWithinClient = false; }

DBIResult TqnServerEngine::TakeRecordLock(TqnSrCursor* C, std::int32_t Ref) {
  TqnLockContainer& locks = C->Table->Locks();
  if (locks.AddRecordLock(C->SessionId, C->Id(), Ref)) return qnresSuccess;
  const TqnSrClient* asking = nullptr;
  const TqnSrClient* holding = nullptr;
  if (auto* s = FindInList<TqnSrSession>(sessions_, C->SessionId)) asking = s->Client();
  for (const TqnLockContainer::RecordLock& l : locks.RecordLocks()) {
    if (l.RefNr != Ref) continue;
    if (auto* s = FindInList<TqnSrSession>(sessions_, l.Owner)) holding = s->Client();
    break;
  }
  if (asking != nullptr && asking == holding) conflictWithinClient = true;
  return qnresRecordLocked;
}


// The open table that table Name of the folder names: the one of that name in that folder (by
// its directory: a folder made again at the path of a renamed one is another), or the one whose
// file the name reaches (the file routines find names in any case).
TqnSrTable* TqnServerEngine::FindOpenTable(const TqnFolder& Folder, std::string_view Name) const {
  for (int i = 0; i < tables_.Count(); ++i) {
    auto* t = tables_.ItemAs<TqnSrTable>(i);
    if (t->FolderKey() == Folder.Key() && t->Name() == Name) return t;
  }
  TqnFileKey key;
  if (tables_.Count() == 0 || !QNTableFileKey(Folder, Name, key)) return nullptr;
  for (int i = 0; i < tables_.Count(); ++i) {
    auto* t = tables_.ItemAs<TqnSrTable>(i);
    if (t->FileKey() != nullptr && *t->FileKey() == key) return t;
  }
  return nullptr;
}

// A table whose folder has a running transaction stays open until the transaction ends: its
// pages belong to that transaction, and freeing the table would drop them.
void TqnServerEngine::FreeTablesWithoutCursors() {
  for (int i = tables_.Count() - 1; i >= 0; --i) {
    auto* t = tables_.ItemAs<TqnSrTable>(i);
    if (t->Cursors().Count() == 0 && FolderTransaction(t->FolderKey()) == 0) tables_.DeleteAt(i);
  }
}

void TqnServerEngine::ReleaseFolder(std::uint32_t FolderID) {
  if (folders_ == nullptr) return;
  TqnSelfListItem* item = TqnSelfListItem::FindById(FolderID);
  if (item != nullptr && item->Is<TqnSrFolder>() && static_cast<TqnSrFolder*>(item)->RefCount() <= 1) {
    auto claim = folderClaims_.find(FolderID);
    if (claim != folderClaims_.end()) {
      // A journal held for the folder is tried once more; while it still waits, the claim stays
      // with this process, so that no other process reads or writes its tables meanwhile.
      if (bm_ != nullptr && !bm_->RecoverHeldIn(claim->second.Key)) {
        keptClaims_.push_back(claim->second.Key);
        keptWait_ = 0;  // tried again at the next request
        keptGap_ = 1;
      } else {
        QNReleaseFolder(claim->second.Key);
      }
      folderClaims_.erase(claim);
    }
  }
  folders_->RemoveFolder(FolderID);
}

DBIResult TqnServerEngine::CheckFolderPresent(const TqnSrDatabase* D) const {
  if (!D->Dir()->Gone()) return qnresSuccess;
  QNLogWrite("Folder [" + D->FolderPath() + "] has been removed: not used");
  return qnresInvalidDirectory;
}

DBIResult TqnServerEngine::ClaimForWriting(const TqnSrDatabase* D, bool ByHandle) {
  // Every change asks, also in a folder held for writing already: it may have been removed.
  if (!ByHandle || D->Transaction == 0)
    if (const DBIResult r = CheckFolderPresent(D); r != qnresSuccess) return r;
  auto claim = folderClaims_.find(D->FolderId());
  if (claim == folderClaims_.end()) return qnresSuccess;
  // A claim made exclusive for writing stays so while this server holds it.
  if (claim->second.ForWriting) return qnresSuccess;
  if (QNClaimFolderForWriting(claim->second.Key)) {
    claim->second.ForWriting = true;
    return qnresSuccess;
  }
  QNLogWrite("Folder [" + D->FolderPath() + "] is used by a server of another process: not changed");
  return qnresFolderServedElsewhere;
}

DBIResult TqnServerEngine::ReadyToRead(const TqnSrDatabase* D, TqnFolderWriteMoment& Moment) {
  if (const DBIResult r = CheckFolderPresent(D); r != qnresSuccess) return r;
  auto claim = folderClaims_.find(D->FolderId());
  if (claim == folderClaims_.end() || QNFolderHeldForWriting(claim->second.Key)) return qnresSuccess;
  // Held shared, no server of this process has changed anything here: a journal is what an
  // interrupted change left behind, and finishing it must not happen under another reader.
  if (!QNFolderHasJournals(*D->Dir(), QNFileAccessTable()) || Moment.Begin(claim->second.Key))
    return qnresSuccess;
  QNLogWrite("Folder [" + D->FolderPath() + "] needs recovery and is used by a server of another process");
  return qnresFolderServedElsewhere;
}

// ---- Clients ------------------------------------------------------------------------------

DBIResult TqnServerEngine::ClientAdd(std::int32_t ClientID, std::string_view ClientName, std::string_view UserID,
                                     std::uint32_t& PasswordHash) {
  return Guarded([&]() -> DBIResult {
    PasswordHash = 0;
    if (FindClient(ClientID) != nullptr) return qnresInvalidHandle;
    const TqnUserItem* user = nullptr;
    if (config_->GeneralInfo().IsSecure && config_->UserList().Count() > 0) {
      const int i = config_->UserList().IndexOf(UserID);
      if (i < 0) return qnresInvalidPassword;
      user = config_->UserList().Items(i);
      PasswordHash = user->PwdHash();
    }
    auto* c = new TqnSrClient(ClientID, user, ClientName);
    clients_.Insert(c);
    sessions_.Insert(new TqnSrSession(c, true));
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::CheckClientRights(std::int32_t ClientID, std::uint8_t Rights) {
  // Reads the configuration and the client list, nothing of the page cache: the engine's lock
  // is enough, without the cache's request bracket.
  TqnPadLockGuard g(lock_);
  if (!config_->GeneralInfo().IsSecure) return qnresSuccess;
  TqnSrClient* c = FindClient(ClientID);
  if (c == nullptr) return qnresInvalidHandle;
  return (c->Rights() & Rights) == Rights ? qnresSuccess : qnresNoRights;
}

// A session's table locks end with it, however it ends: no later session could release them,
// and every other session's changes of the table would be refused while it stays open.
void TqnServerEngine::ReleaseSessionTableLocks(std::uint32_t SessionId) {
  for (int i = 0; i < tables_.Count(); ++i) {
    TqnLockContainer& l = tables_.ItemAs<TqnSrTable>(i)->Locks();
    l.RemoveWriteLock(SessionId);
    l.RemoveReadLock(SessionId);
  }
}

void TqnServerEngine::ClientRemove(std::int32_t ClientID) {
  Guarded([&]() -> DBIResult {
    const int i = clients_.IndexOf(QNKeyOf(ClientID));
    if (i >= 0) {
      const TqnList& own = clients_.ItemAs<TqnSrClient>(i)->Sessions().List();
      for (int k = 0; k < own.Count(); ++k) ReleaseSessionTableLocks(own.ItemAs<TqnSrSession>(k)->Id());
      clients_.DeleteAt(i);
    }
    rebuilds_->DeleteClient(static_cast<std::uint32_t>(ClientID));
    FreeTablesWithoutCursors();
    return qnresSuccess;
  });
}

// ---- Sessions -----------------------------------------------------------------------------

DBIResult TqnServerEngine::SessionAdd(std::int32_t ClientID, std::uint32_t& SessionID) {
  return Guarded([&]() -> DBIResult {
    SessionID = 0;
    TqnSrClient* c = FindClient(ClientID);
    if (c == nullptr) return qnresInvalidHandle;
    auto* s = new TqnSrSession(c, false);
    sessions_.Insert(s);
    SessionID = s->Id();
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::SessionGetCurrent(std::int32_t ClientID, std::uint32_t& SessionID) {
  return Guarded([&]() -> DBIResult {
    SessionID = 0;
    TqnSrClient* c = FindClient(ClientID);
    if (c == nullptr) return qnresInvalidHandle;
    if (TqnSrSession* s = c->Sessions().Current()) SessionID = s->Id();
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::SessionSetCurrent(std::int32_t ClientID, std::uint32_t SessionID) {
  return Guarded([&]() -> DBIResult {
    TqnSrClient* c = FindClient(ClientID);
    if (c == nullptr) return qnresInvalidHandle;
    TqnSrSession* s = c->Sessions().FindById(SessionID);
    if (s == nullptr) return qnresInvalidHandle;
    c->Sessions().SetCurrent(s);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::SessionClose(std::int32_t ClientID, std::uint32_t SessionID) {
  return Guarded([&]() -> DBIResult {
    TqnSrClient* c = FindClient(ClientID);
    if (c == nullptr) return qnresInvalidHandle;
    TqnSrSession* s = c->Sessions().FindById(SessionID);
    if (s == nullptr) return qnresInvalidHandle;
    ReleaseSessionTableLocks(s->Id());
    sessions_.Remove(s);
    FreeTablesWithoutCursors();
    return qnresSuccess;
  });
}

// ---- Databases ----------------------------------------------------------------------------

DBIResult TqnServerEngine::OpenDatabase(TqnSrClient* Client, std::string_view Path, std::uint8_t OpenMode,
                                        std::uint8_t ShareMode, std::uint32_t& DatabaseID) {
  TqnSrSession* session = Client->Sessions().Current();
  if (session == nullptr) return qnresInvalidHandle;
  if (Path.empty()) return qnresInvalidDirectory;
  // A folder is kept as a path of at most 219 characters (its links resolved); a longer one,
  // cut, would be another.
  const std::string real = QNRealFolder(Path);
  if (real.size() > kQnMaxPath) return qnresInvalidDirectory;
  // The folder is opened once, here: the database reaches every file of it through this
  // directory, whatever its path leads to later (a rename, another folder put in its place).
  TqnFolderRef dir;
  try {
    dir = TqnFolder::Open(real, QNFileAccessTable());
  } catch (const EqnException&) {
    return qnresInvalidDirectory;
  }
  TqnSrFolder* folder = folders_->AddFolder(Path, dir->Key());
  const std::string path = folder->Path();
  // A folder new to this server is claimed for the process, shared: servers of other processes
  // may read it too, but none may change it (their caches would go stale, and two writers would
  // lose updates).  The claim becomes exclusive before this process changes anything there.
  // It is taken on the directory just opened.  A folder served already keeps its directory.
  if (auto note = folderClaims_.find(folder->Id()); note != folderClaims_.end()) {
    dir = note->second.Dir;
  } else {
    TqnFileKey claimed;
    const TqnFolderClaim claim = QNClaimFolder(dir->Handle(), claimed);
    if (claim != TqnFolderClaim::Claimed) {
      folders_->RemoveFolder(folder->Id());
      if (claim == TqnFolderClaim::ServedElsewhere) {
        QNLogWrite("Folder [" + path + "] is changed by a server of another process");
        return qnresFolderServedElsewhere;
      }
      QNLogWrite("Folder [" + path + "] cannot be looked at: not served");
      return qnresInvalidDirectory;
    }
    folderClaims_[folder->Id()] = TFolderClaimNote{claimed, false, dir};
  }
  // Every database of the folder is asked, not only the first: an exclusive open must not
  // stand beside another session's database, and no other session may join an exclusive one.
  for (int i = 0; i < databases_.Count(); ++i) {
    auto* d = databases_.ItemAs<TqnSrDatabase>(i);
    if (d->FolderId() != folder->Id()) continue;
    const bool bothShared = d->ShareMode() == 1 && ShareMode == 1;
    if (!bothShared && d->Session() != session) {
      ReleaseFolder(folder->Id());
      return qnresNeedExclusive;
    }
  }
  auto* db = new TqnSrDatabase(session, folder, dir, OpenMode != 0 ? 1 : 0, ShareMode != 0 ? 1 : 0);
  databases_.Insert(db);
  DatabaseID = db->Id();
  return qnresSuccess;
}

DBIResult TqnServerEngine::DatabaseOpen(std::int32_t ClientID, std::string_view Alias, std::uint8_t OpenMode,
                                        std::uint8_t ShareMode, std::uint32_t& DatabaseID) {
  return Guarded([&]() -> DBIResult {
    DatabaseID = 0;
    TqnSrClient* c = FindClient(ClientID);
    if (c == nullptr) return qnresInvalidHandle;
    std::string path;
    {
      config_->Lock();
      const bool known = config_->AliasList().Exists(Alias);
      if (known) path = config_->AliasList().GetPath(Alias);
      config_->Unlock();
      if (!known) return qnresUnknownDatabase;
    }
    return OpenDatabase(c, path, OpenMode, ShareMode, DatabaseID);
  });
}

DBIResult TqnServerEngine::DatabaseOpenNoAlias(std::int32_t ClientID, std::string_view Path, std::uint8_t OpenMode,
                                               std::uint8_t ShareMode, std::uint32_t& DatabaseID) {
  DatabaseID = 0;
  if (Path.empty()) return qnresInvalidDirectory;
  return Guarded([&]() -> DBIResult {
    TqnSrClient* c = FindClient(ClientID);
    if (c == nullptr) return qnresInvalidHandle;
    return OpenDatabase(c, Path, OpenMode, ShareMode, DatabaseID);
  });
}

DBIResult TqnServerEngine::DatabaseClose(std::uint32_t DatabaseID) {
  return Guarded([&]() -> DBIResult {
    TqnSrDatabase* d = FindDatabase(DatabaseID);
    if (d == nullptr) return qnresInvalidHandle;
    databases_.Remove(d);
    FreeTablesWithoutCursors();
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::DatabaseInTrans(std::uint32_t DatabaseID, bool& InTrans) {
  return Guarded([&]() -> DBIResult {
    InTrans = false;
    TqnSrDatabase* d = FindDatabase(DatabaseID);
    if (d == nullptr) return qnresInvalidHandle;
    InTrans = d->Transaction != 0;
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::DatabaseTableList(std::uint32_t DatabaseID, std::string_view Mask, TStream& Stream) {
  return Guarded([&]() -> DBIResult {
    TqnSrDatabase* d = FindDatabase(DatabaseID);
    if (d == nullptr) return qnresInvalidHandle;
    // A mask is a pattern of names inside the database's folder: nothing that could name
    // another folder (a separator, "..", a drive part) is joined to the folder's path.
    const bool elsewhere = Mask.find_first_of("/\\:") != std::string_view::npos ||
                           Mask.find("..") != std::string_view::npos;
    if (elsewhere) return qnresInvalidParameter;
    if (const DBIResult r = CheckFolderPresent(d); r != qnresSuccess) return r;
    // The files of the folder the database opened, reached through its directory: wherever its
    // path leads now (a rename, another folder put there), the list is this folder's.
    const TqnFolder& dir = *d->Dir();
    const std::string mask = Mask.empty() ? std::string("*.QND") : std::string(Mask);
    std::vector<std::string> names;
    if (const int e = dir.Routines().ListFolderIn(dir.Handle(), names); e != 0)
      QNStorageError(qnerrPathNotFound, {d->FolderPath()});
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      TqnFileStat st;
      if (!MatchesMask(name, mask) || dir.Routines().StatIn(dir.Handle(), name, true, st) != 0 || !st.Regular)
        continue;
      std::uint8_t entry[48] = {};
      TqnName(QNExtractBaseName(name)).WriteTo(entry);
      TShortStr<3>(QNExtractExtension(name)).WriteTo(entry + 32);
      QNPutU32(entry + 36, static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.Size) & 0xFFFFFFFFu));
      QNPutU32(entry + 40, static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.Size) >> 32));
      // The last write as the MS-DOS time, then date.
      const auto stamp = static_cast<std::uint32_t>(UnixTimeToFileDate(st.WriteTime));
      QNPutU16(entry + 44, static_cast<std::uint16_t>(stamp & 0xFFFFu));
      QNPutU16(entry + 46, static_cast<std::uint16_t>(stamp >> 16));
      Stream.WriteBuffer(entry, sizeof entry);
    }
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::DatabaseAddAlias(std::string_view Alias, std::string_view Path) {
  config_->Lock();
  const bool added = !config_->AliasList().Exists(Alias) && config_->AddAlias(Alias, Path);
  const bool existed = !added && config_->AliasList().Exists(Alias);
  config_->Unlock();
  if (existed) return 10009;
  return added ? qnresSuccess : qnresInvalidDirectory;
}

DBIResult TqnServerEngine::DatabaseAliasList(TStream& Stream) {
  return Guarded([&]() -> DBIResult {
    config_->Lock();
    try {
      for (int i = 0; i < config_->AliasList().Count(); ++i) {
        std::uint8_t entry[252] = {};
        TqnAliasItem* a = config_->AliasList().Items(i);
        TqnName(a->Alias()).WriteTo(entry);
        TqnPath(a->Path()).WriteTo(entry + 32);
        Stream.WriteBuffer(entry, sizeof entry);
      }
    } catch (...) {
      config_->Unlock();
      throw;
    }
    config_->Unlock();
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::DatabaseChgAliasPath(std::string_view Alias, std::string_view NewPath) {
  config_->Lock();
  DBIResult r = qnresUnknownDatabase;
  if (config_->AliasList().Exists(Alias)) {
    const std::string name(TqnName(Alias).View());
    const std::string old = config_->AliasList().GetPath(Alias);
    config_->AliasList().Delete(Alias);
    if (config_->AddAlias(name, NewPath)) {
      r = qnresSuccess;
    } else {
      config_->AddAlias(name, old);  // a refused path keeps the alias as it was
      r = qnresInvalidDirectory;
    }
  }
  config_->Unlock();
  return r;
}

DBIResult TqnServerEngine::DatabaseDeleteAlias(std::string_view Alias) {
  config_->Lock();
  DBIResult r = qnresUnknownDatabase;
  if (config_->AliasList().Exists(Alias)) {
    config_->AliasList().Delete(Alias);
    r = qnresSuccess;
  }
  config_->Unlock();
  return r;
}

// ---- Transactions -------------------------------------------------------------------------

std::uint32_t TqnServerEngine::FolderTransaction(const TqnFileKey& Folder) const {
  for (int i = 0; i < databases_.Count(); ++i) {
    auto* d = databases_.ItemAs<TqnSrDatabase>(i);
    if (d->Transaction != 0 && d->FolderKey() == Folder) return d->Transaction;
  }
  return 0;
}

static void JoinFolderTables(const TqnList& Tables, const TqnFileKey& Folder, std::uint32_t TransId) {
  for (int i = 0; i < Tables.Count(); ++i) {
    auto* t = Tables.ItemAs<TqnSrTable>(i);
    if (t->FolderKey() == Folder) t->JoinTransaction(TransId);
  }
}

DBIResult TqnServerEngine::TransactionStart(std::uint32_t DatabaseID, bool FailSafe, std::uint32_t& TransactionID) {
  return Guarded([&]() -> DBIResult {
    TransactionID = 0;
    TqnSrDatabase* d = FindDatabase(DatabaseID);
    if (d == nullptr) return qnresInvalidHandle;
    if (FolderTransaction(d->FolderKey()) != 0) return qnresLockConflict;
    if (const DBIResult r = ClaimForWriting(d); r != qnresSuccess) return r;
    auto* t = new TqnSrTransaction(d->Id(), &d->Transaction);
    transactions_->Add(t);
    try {
      bm_->StartTransaction(t->Id(), FailSafe, d->Dir(), std::to_string(d->Id()) + ".QN$");
    } catch (...) {
      transactions_->Delete(t->Id());
      throw;
    }
    JoinFolderTables(tables_, d->FolderKey(), t->Id());
    TransactionID = t->Id();
    return qnresSuccess;
  });
}

// The database that owns T, nullptr when it is gone; it may be in the middle of closing.
static TqnSrDatabase* DatabaseOfTransaction(TqnSrTransaction* T) {
  TqnSelfListItem* item = TqnSelfListItem::FindById(T->DatabaseId());
  return item != nullptr && item->Is<TqnSrDatabase>() ? static_cast<TqnSrDatabase*>(item) : nullptr;
}

// The folder of the database that owns T; an empty key (no directory has it) when it is gone.
static TqnFileKey FolderOfTransaction(TqnSrTransaction* T) {
  const TqnSrDatabase* d = DatabaseOfTransaction(T);
  return d != nullptr ? d->FolderKey() : TqnFileKey{};
}

// Writing out a transaction needs its journal in the folder: a folder that has been removed has
// its transactions rolled back only.
DBIResult TqnServerEngine::CheckTransactionFolder(TqnSrTransaction* T) const {
  const TqnSrDatabase* d = DatabaseOfTransaction(T);
  return d != nullptr ? CheckFolderPresent(d) : qnresSuccess;
}

DBIResult TqnServerEngine::TransactionCommit(std::uint32_t TransactionID) {
  return Guarded([&]() -> DBIResult {
    TqnSrTransaction* t = transactions_->GetById(TransactionID);
    if (t == nullptr) return qnresInvalidHandle;
    // Refused, the transaction stays open for the client to roll back.
    if (const DBIResult r = CheckTransactionFolder(t); r != qnresSuccess) return r;
    try {
      bm_->Commit(TransactionID);
    } catch (...) {
      // The answer is the commit's fate.  Before the commit was decided (its journal durably
      // complete) nothing of it will ever appear: the error is answered and the transaction
      // stays open for the client to roll back or to commit again.  After it, the commit
      // stands and is answered done: it is finished here, or, when that fails too (the disk
      // full), its journal is held and replayed before its tables are used again, by this
      // process or by the next open after a crash.
      if (!bm_->IsDecided(TransactionID)) throw;
      try {
        bm_->Rollback(TransactionID);
      } catch (...) {
      }
    }
    NewBlobsAtTransactionEnd(TransactionID, true);
    JoinFolderTables(tables_, FolderOfTransaction(t), 0);
    transactions_->Delete(TransactionID);
    FreeTablesWithoutCursors();
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::TransactionRollback(std::uint32_t TransactionID) {
  return Guarded([&]() -> DBIResult {
    TqnSrTransaction* t = transactions_->GetById(TransactionID);
    if (t == nullptr) return qnresInvalidHandle;
    const TqnFileKey folder = FolderOfTransaction(t);
    try {
      bm_->Rollback(TransactionID);
    } catch (...) {
      NewBlobsAtTransactionEnd(TransactionID, false);
      JoinFolderTables(tables_, folder, 0);
      transactions_->Delete(TransactionID);
      RepositionFolderCursors(folder);
      throw;
    }
    NewBlobsAtTransactionEnd(TransactionID, false);
    JoinFolderTables(tables_, folder, 0);
    transactions_->Delete(TransactionID);
    RepositionFolderCursors(folder);
    FreeTablesWithoutCursors();
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::CommitOwnTransaction(std::uint32_t TransactionID) {
  return Guarded([&]() -> DBIResult {
    TqnSrTransaction* t = transactions_->GetById(TransactionID);
    if (t == nullptr) return qnresInvalidHandle;
    const TqnFileKey folder = FolderOfTransaction(t);
    DBIResult r = CheckTransactionFolder(t);
    if (r != qnresSuccess) {
      try {
        bm_->Rollback(TransactionID);
      } catch (...) {
      }
    } else {
      try {
        bm_->Commit(TransactionID);
      } catch (const std::exception& e) {
        r = ConvertServerException(e);
        // A decided commit stands whether it is finished now or replayed from its held journal.
        bool committed = bm_->IsDecided(TransactionID);
        try {
          committed = bm_->Rollback(TransactionID) || committed;
        } catch (...) {
        }
        if (committed) r = qnresSuccess;
      }
    }
    NewBlobsAtTransactionEnd(TransactionID, r == qnresSuccess);
    JoinFolderTables(tables_, folder, 0);
    transactions_->Delete(TransactionID);
    if (r != qnresSuccess) RepositionFolderCursors(folder);
    FreeTablesWithoutCursors();
    return r;
  });
}

void TqnServerEngine::AbandonTransaction(std::uint32_t TransactionID) {
  if (transactions_ == nullptr) return;
  try {
    TransactionRollback(TransactionID);
  } catch (...) {
  }
}

DBIResult TqnServerEngine::TransactionCommitChanges(std::uint32_t TransactionID) {
  return Guarded([&]() -> DBIResult {
    TqnSrTransaction* t = transactions_->GetById(TransactionID);
    if (t == nullptr) return qnresInvalidHandle;
    if (const DBIResult r = CheckTransactionFolder(t); r != qnresSuccess) return r;
    bm_->CommitChanges(TransactionID);
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::TransactionDiscardChanges(std::uint32_t TransactionID) {
  return Guarded([&]() -> DBIResult {
    if (transactions_->GetById(TransactionID) == nullptr) return qnresInvalidHandle;
    bm_->DiscardChanges(TransactionID);
    RepositionFolderCursors(FolderOfTransaction(transactions_->GetById(TransactionID)));
    return qnresSuccess;
  });
}

DBIResult TqnServerEngine::GetRebuildStatus(std::uint32_t RebuildID, bool& IsThere, TqnRebuildStatusRecord& Status) {
  return Guarded([&]() -> DBIResult {
    Status = {};
    IsThere = rebuilds_->GetRebuildStatus(RebuildID, Status);
    return qnresSuccess;
  });
}

// ---- Threads ------------------------------------------------------------------------------

void TqnServerEngine::ThreadStarted() {
  std::lock_guard<std::mutex> g(threadMutex_);
  ++runningThreads_;
}

void TqnServerEngine::ThreadEnded() {
  std::lock_guard<std::mutex> g(threadMutex_);
  --runningThreads_;
  threadDone_.notify_all();
}

int TqnServerEngine::RunningRebuilds() {
  std::lock_guard<std::mutex> g(threadMutex_);
  return runningThreads_;
}

void TqnServerEngine::WaitForRebuilds() {
  std::unique_lock<std::mutex> g(threadMutex_);
  threadDone_.wait(g, [&] { return runningThreads_ == 0; });
}

}  // namespace tw::dbengine
