#include "dbengine/server/server_objects.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "dbengine/base/names.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/storage/block_layout.h"
#include "dbengine/storage/btree_index.h"
#include "dbengine/storage/buffer_manager.h"
#include "dbengine/storage/file_routines.h"
#include "dbengine/storage/journal.h"
#include "dbengine/storage/storage_errors.h"
#include "dbengine/storage/table_file.h"

namespace tw::dbengine {

// ---- Session list -------------------------------------------------------------------------

TqnSrSessionList::TqnSrSessionList() { list_.SetSorted(false); }

TqnSrSessionList::~TqnSrSessionList() {
  list_.Empty();
  default_ = current_ = nullptr;
}

void TqnSrSessionList::SetDefault(TqnSrSession* S) {
  default_ = S;
  SetCurrent(nullptr);
}

void TqnSrSessionList::SetCurrent(TqnSrSession* S) {
  if (current_ == nullptr) current_ = default_;
  if (S != current_) current_ = S != nullptr ? S : default_;
}

void TqnSrSessionList::Forget(TqnSrSession* S) {
  if (default_ == S) default_ = nullptr;
  if (current_ == S) current_ = default_;
}

TqnSrSession* TqnSrSessionList::FindById(std::uint32_t Id) const {
  for (int i = 0; i < list_.Count(); ++i) {
    auto* s = list_.ItemAs<TqnSrSession>(i);
    if (s->Id() == Id) return s;
  }
  return nullptr;
}

// ---- Client -------------------------------------------------------------------------------

TqnSrClient::TqnSrClient(std::int32_t ClientID, const TqnUserItem* User, std::string_view ClientName)
    : TqnIntListItem(ClientID), name_(ClientName), sessions_(new TqnSrSessionList) {
  FMaintainLinks = true;
  if (User != nullptr) {
    userId_ = User->UserID();
    lastName_ = User->LastName();
    firstName_ = User->FirstName();
    rights_ = User->Rights();
  }
}

TqnSrClient::~TqnSrClient() { delete sessions_; }

// ---- Session ------------------------------------------------------------------------------

TqnSrSession::TqnSrSession(TqnSrClient* Client, bool IsDefault) : client_(Client), isDefault_(IsDefault) {
  FMaintainLinks = true;
  databases_.SetSorted(false);
  client_->Sessions().List().Insert(this);
  if (IsDefault) client_->Sessions().SetDefault(this);
}

TqnSrSession::~TqnSrSession() {
  client_->Sessions().Forget(this);
  databases_.Empty();
}

// ---- Database -----------------------------------------------------------------------------

TqnSrDatabase::TqnSrDatabase(TqnSrSession* Session, TqnSrFolder* Folder, TqnFolderRef Dir, std::uint8_t OpenMode,
                             std::uint8_t ShareMode)
    : session_(Session),
      folder_(Folder),
      folderId_(Folder->Id()),
      dir_(std::move(Dir)),
      openMode_(OpenMode),
      shareMode_(ShareMode) {
  FMaintainLinks = true;
  cursors_.SetSorted(false);
  session_->Databases().Insert(this);
}

TqnSrDatabase::~TqnSrDatabase() {
  TqnServerEngine* e = TqnServerEngine::Instance();
  if (e != nullptr && Transaction != 0) e->AbandonTransaction(Transaction);
  cursors_.Empty();
  if (e != nullptr) e->ReleaseFolder(folderId_);
}

// ---- Table --------------------------------------------------------------------------------

TqnSrTable::TqnSrTable(std::string_view Name, TqnBufferManager* BufferManager, TqnFolderRef Folder,
                       std::uint8_t OpenMode, std::uint8_t Shared)
    : name_(Name),
      folder_(std::move(Folder)),
      bm_(BufferManager),
      dict_(new TqnDataDictionary(4096)),
      locks_(new TqnLockContainer),
      openMode_(OpenMode),
      shared_(Shared) {
  FMaintainLinks = true;
  cursors_.SetSorted(false);
  dict_->SetTableName(name_);
  files_.reserve(8);
}

TqnSrTable::~TqnSrTable() {
  CloseFiles();
  ReleaseUserRoutines();
  cursors_.Empty();
  delete locks_;
  delete dict_;
}

bool QNTableFileKey(const TqnFolder& Folder, std::string_view Name, TqnFileKey& Key) {
  return Folder.Routines().IdentityIn(Folder.Handle(), std::string(Name) + ".QND", Key) == 0;
}

void TqnSrTable::CloseFiles() {
  ++changes_;
  fileKnown_ = false;
  for (auto*& f : files_) {
    if (f == nullptr) continue;
    bm_->RemoveFile(f);
    QNFreeFileInfo(f);
  }
  files_.clear();
}

void TqnSrTable::JoinTransaction(std::uint32_t TransId) {
  for (auto* f : files_)
    if (f != nullptr) f->TransactionId = TransId;
}

void TqnSrTable::OpenFiles() {
  ++changes_;
  const bool rw = openMode_ != 0;
  try {
    files_.push_back(QNAllocFileInfo(folder_, name_, "QND", bm_));
    QNOpenFile(files_[0], rw, shared_ != 0, false, false);
    bm_->GetFileHeader(files_[0], false);
    TqnDataDictionary d(4096);
    QNTblReadDictionary(d, files_[0]);
    dict_->TakeFrom(d);
    dict_->SetTableName(name_);
    dict_->SetBuilt(true);
    // The journals that wait for any of the other files are finished in one look at the
    // folder: a table may have hundreds of files.
    std::vector<std::string> others;
    for (int i = 1; i < dict_->FileCount(); ++i) others.push_back(name_ + "." + dict_->FileExtension(i));
    if (!others.empty()) QNRecoverJournalsFor(*folder_, others, *files_[0]->Routines);
    for (int i = 1; i < dict_->FileCount(); ++i) {
      files_.push_back(QNAllocFileInfo(folder_, name_, dict_->FileExtension(i), bm_));
      QNOpenFile(files_.back(), rw, shared_ != 0, false, false, true);
      bm_->GetFileHeader(files_.back(), false);
    }
    fileKnown_ = files_[0]->KeyKnown;
    fileKey_ = files_[0]->Key;
  } catch (...) {
    CloseFiles();
    throw;
  }
}

void TqnSrTable::CreateFiles(const TqnDataDictionary& Dictionary, std::uint32_t TransId, bool Encrypt) {
  ++changes_;
  TqnDataDictionary& d = *dict_;
  {
    TqnDataDictionary copy(Dictionary.BlockSize());
    copy.Assign(&Dictionary);
    copy.CheckValid();
    d.SetBuilt(false);
    d.TakeFrom(copy);
    d.SetTableName(name_);
  }
  try {
    // The journals that wait for any of the files are finished in one look at the folder.
    std::vector<std::string> leaves;
    for (int i = 0; i < d.FileCount(); ++i)
      leaves.push_back(name_ + "." + (i == 0 ? std::string("QND") : d.FileExtension(i)));
    QNRecoverJournalsFor(*folder_, leaves, QNFileAccessTable());
    for (int i = 0; i < d.FileCount(); ++i) {
      TqnFileInfo* f = QNAllocFileInfo(folder_, name_, i == 0 ? std::string("QND") : d.FileExtension(i), bm_);
      files_.push_back(f);
      f->Encrypted = Encrypt && d.IsEncrypted() && i == 0;
      QNOpenFile(f, true, false, true, false, true);
      f->TransactionId = TransId;
      QNTblCreateFileHeader(f, d, i);
      QNTblPrepareIndexes(f);
    }
    QNTblWriteDictionary(d, files_[0]);
    for (int i = 0; i < d.IndexCount(); ++i)
      QNTblAddIndex(files_[static_cast<std::size_t>(d.IndexFileNumber(i))], i, d.IndexKeyLength(i), i == 0,
                    d.IndexAllowDups(i));
  } catch (...) {
    CloseFiles();
    throw;
  }
}

void TqnSrTable::LoadUserRoutines(TqnServerConfiguration& Config) {
  ++changes_;
  ReleaseUserRoutines();
  routines_.resize(static_cast<std::size_t>(std::max(dict_->IndexCount(), 0)));
  try {
    for (int i = 1; i < dict_->IndexCount(); ++i) {
      if (!dict_->IsUserKeyIndex(i)) continue;
      TqnKeyProcList& procs = Config.KeyProcList();
      const int at = procs.IndexOf(folder_->Path(), name_, i);
      if (at < 0) QNStorageError(qnerrUserRoutinesMissing);
      TqnKeyProcItem* item = procs.Items(at);
      if (!item->Load()) QNStorageError(qnerrUserRoutinesMissing);
      // The table takes a reference of its own to the library: the entry may be unloaded or
      // removed from the configuration while the table is open.
      TqnUserKeyRoutines& r = routines_[static_cast<std::size_t>(i)];
      r.Library = dlopen(item->DLLName().c_str(), RTLD_NOW | RTLD_LOCAL);
      if (r.Library == nullptr) QNStorageError(qnerrUserRoutinesMissing);
      r.BuildKey = reinterpret_cast<TqnUserBuildKeyProc>(dlsym(r.Library, item->BuildKeyName().c_str()));
      r.CompareKey = reinterpret_cast<TqnUserCompareKeyProc>(dlsym(r.Library, item->CompareKeyName().c_str()));
      if (r.BuildKey == nullptr || r.CompareKey == nullptr) QNStorageError(qnerrUserRoutinesMissing);
    }
  } catch (...) {
    ReleaseUserRoutines();
    throw;
  }
}

void TqnSrTable::ReleaseUserRoutines() {
  ++changes_;
  for (auto& r : routines_)
    if (r.Library != nullptr) dlclose(r.Library);
  routines_.clear();
}

void TqnSrTable::IndexRemoved(int Index) {
  ++changes_;
  if (Index < 0 || Index >= static_cast<int>(routines_.size())) return;
  auto it = routines_.begin() + Index;
  if (it->Library != nullptr) dlclose(it->Library);
  routines_.erase(it);
}

const TqnUserKeyRoutines* TqnSrTable::UserRoutines(int Index) const {
  if (Index <= 0 || Index >= static_cast<int>(routines_.size())) return nullptr;
  const TqnUserKeyRoutines& r = routines_[static_cast<std::size_t>(Index)];
  return r.BuildKey != nullptr ? &r : nullptr;
}

bool TqnSrTable::BuildIndexKey(int Index, const std::uint8_t* Record, std::int32_t Ref, std::uint8_t* Key) const {
  const std::int32_t len = dict_->IndexKeyLength(Index);
  if (Index == 0) {
    QNPutI32(Key, Ref);
    return true;
  }
  if (dict_->IsUserKeyIndex(Index)) {
    const TqnUserKeyRoutines* r = UserRoutines(Index);
    if (r == nullptr) QNStorageError(qnerrUserRoutinesMissing);
    std::memset(Key, 0, static_cast<std::size_t>(len));
    return r->BuildKey(Index, Record, Key, len) != 0;
  }
  dict_->ExtractKey(Index, Record, Key);
  return true;
}

const TqnIndexHandle& TqnSrTable::IndexHandle(int Index) const {
  if (!handlesKept_ || handlesDictChanges_ != dict_->Changes() || handlesChanges_ != changes_) {
    // Made again, each when it is first asked for: the number of indexes stays as it is until
    // the counts move on, and with it the places of the handles.
    const auto count = static_cast<std::size_t>(std::max(dict_->IndexCount(), 0));
    handles_.assign(count, TqnIndexHandle{});
    handleMade_.assign(count, false);
    handlesDictChanges_ = dict_->Changes();
    handlesChanges_ = changes_;
    handlesKept_ = true;
  }
  if (Index < 0 || static_cast<std::size_t>(Index) >= handles_.size()) {
    // Not an index of the dictionary: raises as making its handle does.
    thread_local TqnIndexHandle none;
    none = MakeIndexHandle(Index);
    return none;
  }
  const auto at = static_cast<std::size_t>(Index);
  if (!handleMade_[at]) {
    handles_[at] = MakeIndexHandle(Index);
    handleMade_[at] = true;
  }
  return handles_[at];
}

TqnIndexHandle TqnSrTable::MakeIndexHandle(int Index) const {
  TqnIndexHandle h = QNMakeIndexHandle(File(dict_->IndexFileNumber(Index)), *dict_, Index);
  if (Index > 0 && dict_->IsUserKeyIndex(Index)) {
    // The order of the index is its compare routine's; a table without it cannot use the
    // index (QNKeyCompareUser then raises 23723).
    const TqnUserKeyRoutines* r = UserRoutines(Index);
    h.Compare = QNKeyCompareUser;
    h.Params.UserCompare = r != nullptr ? r->CompareKey : nullptr;
  }
  return h;
}

// ---- Cursor -------------------------------------------------------------------------------

std::vector<std::uint8_t> TqnCursorPlace::Bytes() const {
  std::vector<std::uint8_t> b(12 + Key.size());
  QNPutI32(b.data(), Index);
  b[4] = Position;
  b[5] = CrackOnRecord ? 1 : 0;
  b[6] = KeyValid ? 1 : 0;
  b[7] = 0;
  QNPutI32(b.data() + 8, Reference);
  if (!Key.empty()) std::memcpy(b.data() + 12, Key.data(), Key.size());
  return b;
}

bool TqnCursorPlace::FromBytes(const std::vector<std::uint8_t>& B, TqnCursorPlace& P) {
  if (B.size() < 12 || B[4] < qcpBOF || B[4] > qcpOnRecord) return false;
  P.Index = QNGetI32(B.data());
  P.Position = B[4];
  P.CrackOnRecord = B[5] != 0;
  P.KeyValid = B[6] != 0;
  P.Reference = QNGetI32(B.data() + 8);
  P.Key.assign(B.begin() + 12, B.end());
  P.Held = true;
  return true;
}

TqnSrCursor::TqnSrCursor(TqnSrTable* T, TqnSrDatabase* D, int IndexNumber, std::uint8_t RW)
    : Table(T), Database(D), SessionId(D->Session()->Id()), ReadWrite(RW) {
  FMaintainLinks = true;
  Record.assign(static_cast<std::size_t>(T->Dictionary().RecordLength()), 0);
  SetIndex(IndexNumber);
  Table->Cursors().Insert(this);
  Database->Cursors().Insert(this);
}

TqnSrCursor::~TqnSrCursor() {
  Table->Locks().RemoveAllRecordLocks(Id());
  Table->NewBlobs().CursorGone(Id());
}

void TqnSrCursor::SetIndex(int I) {
  Index = I;
  KeyLength = Table->Dictionary().IndexKeyLength(I);
  Key.assign(static_cast<std::size_t>(KeyLength), 0);
  Range = TqnCursorRange();
  Range.StartKey.assign(Key.size(), 0);
  Range.EndKey.assign(Key.size(), 0);
  Handle = Table->IndexHandle(I);
  QNInitKeyPath(Path);
  Position = qcpBOF;
  Reference = 0;
  KeyValid = false;
}

void TqnSrCursor::SetCompareScope(int FieldCount, int PartialLen) {
  Handle.Params.FieldCount = FieldCount;
  Handle.Params.PartialLength = PartialLen;
}

}  // namespace tw::dbengine
