// The server's objects: attached clients, their sessions, the databases (folders) a session has
// opened, the open tables and the cursors on them.  Each one is an owning-list item that keeps
// its links: deleting it from any list that holds it takes it out of all of them and frees it,
// so freeing a client frees its sessions, their databases and their cursors.  Ids on the wire
// are registry ids (never addresses): a stale or foreign id finds nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbengine/base/names.h"
#include "dbengine/base/qnlist.h"
#include "dbengine/base/serverconfig.h"
#include "dbengine/base/shortstring.h"
#include "dbengine/server/new_blobs.h"
#include "dbengine/storage/btree_index.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/file_info.h"
#include "dbengine/storage/lock_container.h"
#include "dbengine/storage/user_key_routines.h"

namespace tw::dbengine {

class TqnBufferManager;
class TqnSrSession;
class TqnSrDatabase;
class TqnSrTable;
class TqnSrCursor;

// Cursor positions.
enum : std::uint8_t { qcpBOF = 1, qcpEOF = 2, qcpCrack = 3, qcpOnRecord = 4 };

class TqnSrSessionList : public TqnObject {
  TW_CLASS(TqnSrSessionList, TqnObject)
 public:
  TqnSrSessionList();
  ~TqnSrSessionList() override;
  TqnList& List() { return list_; }
  void SetDefault(TqnSrSession* S);
  void SetCurrent(TqnSrSession* S);
  TqnSrSession* Default() const { return default_; }
  TqnSrSession* Current() const { return current_ != nullptr ? current_ : default_; }
  // Called by a session that is going away, so the list never keeps a freed session.
  void Forget(TqnSrSession* S);
  TqnSrSession* FindById(std::uint32_t Id) const;

 private:
  TqnList list_;
  TqnSrSession* default_ = nullptr;
  TqnSrSession* current_ = nullptr;
};

class TqnSrClient : public TqnIntListItem {
  TW_CLASS(TqnSrClient, TqnIntListItem)
 public:
  TqnSrClient(std::int32_t ClientID, const TqnUserItem* User, std::string_view ClientName);
  ~TqnSrClient() override;
  std::int32_t ClientID() const { return FKey; }
  const std::string& ClientName() const { return name_; }
  TqnSrSessionList& Sessions() { return *sessions_; }
  std::uint8_t Rights() const { return rights_; }
  const TqnName& UserID() const { return userId_; }

 private:
  std::string name_;
  TqnSrSessionList* sessions_;
  TqnName userId_, lastName_, firstName_;
  std::uint8_t rights_ = 0;
};

class TqnSrSession : public TqnSelfListItem {
  TW_CLASS(TqnSrSession, TqnSelfListItem)
 public:
  TqnSrSession(TqnSrClient* Client, bool IsDefault);
  ~TqnSrSession() override;
  TqnSrClient* Client() const { return client_; }
  TqnList& Databases() { return databases_; }
  bool IsDefault() const { return isDefault_; }

 private:
  TqnSrClient* client_;
  TqnList databases_;
  bool isDefault_;
};

class TqnSrDatabase : public TqnSelfListItem {
  TW_CLASS(TqnSrDatabase, TqnSelfListItem)
 public:
  // Dir: the folder's directory, opened once; every file of the database is reached through it.
  TqnSrDatabase(TqnSrSession* Session, TqnSrFolder* Folder, TqnFolderRef Dir, std::uint8_t OpenMode,
                std::uint8_t ShareMode);
  ~TqnSrDatabase() override;
  TqnSrSession* Session() const { return session_; }
  TqnSrFolder* Folder() const { return folder_; }
  // How the folder is named, for messages.
  std::string FolderPath() const { return folder_->Path(); }
  // The folder's directory, through which its files are reached, and its device and inode:
  // what tells folders, their tables, transactions and claims apart.
  const TqnFolderRef& Dir() const { return dir_; }
  const TqnFileKey& FolderKey() const { return dir_->Key(); }
  std::uint32_t FolderId() const { return folderId_; }
  std::uint8_t OpenMode() const { return openMode_; }
  std::uint8_t ShareMode() const { return shareMode_; }
  TqnList& Cursors() { return cursors_; }
  std::uint32_t Transaction = 0;

 private:
  TqnSrSession* session_;
  TqnSrFolder* folder_;
  std::uint32_t folderId_;
  TqnFolderRef dir_;
  std::uint8_t openMode_, shareMode_;
  TqnList cursors_;
};

// The two routines of an index with user key routines, with the table's own reference to the
// library that holds them (so they stay valid after the configuration entry is gone).
struct TqnUserKeyRoutines {
  void* Library = nullptr;
  TqnUserBuildKeyProc BuildKey = nullptr;
  TqnUserCompareKeyProc CompareKey = nullptr;
};

// The device and inode of file 0 of table Name in Folder, found the way the file routines open
// it (any case of the name); false when there is no such file.
bool QNTableFileKey(const TqnFolder& Folder, std::string_view Name, TqnFileKey& Key);

// One open table, shared by every cursor on it.
class TqnSrTable : public TqnSelfListItem {
  TW_CLASS(TqnSrTable, TqnSelfListItem)
 public:
  // Folder: its database's folder, through which the table's files are reached.
  TqnSrTable(std::string_view Name, TqnBufferManager* BufferManager, TqnFolderRef Folder, std::uint8_t OpenMode,
             std::uint8_t Shared);
  ~TqnSrTable() override;

  // Opens file 0, reads the dictionary, then opens the other files.  Undoes what was done when
  // a step fails.
  void OpenFiles();
  // Creates every file of Dictionary (inside the files' transaction TransId) and stores the
  // dictionary and the index headers.
  void CreateFiles(const TqnDataDictionary& Dictionary, std::uint32_t TransId, bool Encrypt);
  void CloseFiles();
  // Loads the routines of every index with user key routines from the key-procedure entries of
  // Config (by folder, table name and index number); a missing entry, library or routine raises
  // 23723.  Indexes without user routines get empty entries.
  void LoadUserRoutines(TqnServerConfiguration& Config);
  void ReleaseUserRoutines();
  // The routines of index Index, nullptr for an index without user routines.
  const TqnUserKeyRoutines* UserRoutines(int Index) const;
  // Keeps the routine list in step with the dictionary's indexes.
  void IndexAdded() {
    routines_.emplace_back();
    ++changes_;
  }
  void IndexRemoved(int Index);
  // The whole key of index Index for Record (index 0: Ref).  False when the index's build-key
  // routine refuses the record.
  bool BuildIndexKey(int Index, const std::uint8_t* Record, std::int32_t Ref, std::uint8_t* Key) const;
  // Every open file of the table joins transaction TransId (0 leaves).
  void JoinTransaction(std::uint32_t TransId);
  const std::string& Name() const { return name_; }
  const std::string& FolderPath() const { return folder_->Path(); }
  const TqnFolderRef& Folder() const { return folder_; }
  const TqnFileKey& FolderKey() const { return folder_->Key(); }
  TqnDataDictionary& Dictionary() { return *dict_; }
  TqnFileInfo* File(int I) const { return I >= 0 && I < static_cast<int>(files_.size()) ? files_[I] : nullptr; }
  int OpenFileCount() const { return static_cast<int>(files_.size()); }
  TqnFileInfo* DataFile() const { return File(0); }
  TqnFileInfo* BlobFile() const { return File(dict_->BlobFileNumber()); }
  // The handle of index Index over its file, with the index's compare routine.  Kept from one
  // call to the next (every insert asks for the handle of every index): it stays valid until
  // the dictionary, the files or the user key routines of the table change.
  const TqnIndexHandle& IndexHandle(int Index) const;
  TqnLockContainer& Locks() { return *locks_; }
  // The BLOBs that cursors created and no record stores yet: who may free them.
  TqnNewBlobs& NewBlobs() { return newBlobs_; }
  TqnList& Cursors() { return cursors_; }
  std::uint8_t OpenMode() const { return openMode_; }
  std::uint8_t Shared() const { return shared_; }
  // File 0's device and inode while the files are open, nullptr when unknown.
  const TqnFileKey* FileKey() const { return fileKnown_ ? &fileKey_ : nullptr; }
  std::uint32_t ExclusiveOwner = 0;

 private:
  std::string name_;
  TqnFileKey fileKey_;     // file 0's device and inode, once its files are open
  bool fileKnown_ = false;
  TqnFolderRef folder_;
  TqnBufferManager* bm_;
  TqnDataDictionary* dict_;
  std::vector<TqnFileInfo*> files_;
  std::vector<TqnUserKeyRoutines> routines_;
  // Counts the changes of files_ and routines_; with the dictionary's count of changes it
  // tells whether the kept index handles still hold.
  std::uint64_t changes_ = 0;
  mutable std::vector<TqnIndexHandle> handles_;
  mutable std::vector<bool> handleMade_;
  mutable std::uint64_t handlesDictChanges_ = 0, handlesChanges_ = 0;
  mutable bool handlesKept_ = false;
  TqnIndexHandle MakeIndexHandle(int Index) const;
  TqnLockContainer* locks_;
  TqnNewBlobs newBlobs_;
  TqnList cursors_;
  std::uint8_t openMode_, shared_;
};

// Where a cursor stands, as a request that waits for a record lock notes it before its first
// try: every later try starts from there again (the gap or crack included), so that a try
// never begins where an earlier one moved the cursor.  Bytes() is the form kept with the
// waiting message; FromBytes gives false for anything else (an empty note among them).
struct TqnCursorPlace {
  bool Held = false;
  std::int32_t Index = 0;
  std::uint8_t Position = 0;
  std::int32_t Reference = 0;
  bool CrackOnRecord = false;
  bool KeyValid = false;
  std::vector<std::uint8_t> Key;

  std::vector<std::uint8_t> Bytes() const;
  static bool FromBytes(const std::vector<std::uint8_t>& Bytes, TqnCursorPlace& Place);
};

struct TqnCursorRange {
  bool Active = false;
  bool StartGiven = false, EndGiven = false;
  std::vector<std::uint8_t> StartKey, EndKey;
  int StartFieldCount = 0, EndFieldCount = 0;
  int StartPartialLen = 0, EndPartialLen = 0;
  bool StartInclusive = true, EndInclusive = true;
};

class TqnSrCursor : public TqnSelfListItem {
  TW_CLASS(TqnSrCursor, TqnSelfListItem)
 public:
  TqnSrCursor(TqnSrTable* Table, TqnSrDatabase* Database, int IndexNumber, std::uint8_t ReadWrite);
  ~TqnSrCursor() override;

  // Points the key-path info at Index and sizes the key buffers for it.
  void SetIndex(int Index);
  // Sets the field count and partial length the next key comparison uses.
  void SetCompareScope(int FieldCount, int PartialLen);
  int CompareKeys(const std::uint8_t* A, const std::uint8_t* B) { return Handle.Compare(A, B, Handle.Params); }
  std::int32_t RecordLength() const { return static_cast<std::int32_t>(Record.size()); }

  TqnSrTable* Table;
  TqnSrDatabase* Database;
  std::uint32_t SessionId;
  int Index = 0;
  std::uint8_t ReadWrite;
  std::int32_t KeyLength = 0;
  std::uint8_t Position = qcpBOF;
  // On a record: its reference.  On a crack: the reference of the record whose place the crack
  // keeps (one deleted, or changed by another cursor), 0 for a crack before a key sought; Key
  // then holds that place's key.
  std::int32_t Reference = 0;
  // A crack on a record that another cursor changed without moving it in this index: the record
  // is still there but no longer current.  Any other crack lies before the first key at or after
  // its place, so that the next record read forwards is that key's.
  bool CrackOnRecord = false;
  bool KeyValid = false;
  std::vector<std::uint8_t> Key;
  std::vector<std::uint8_t> Record;
  TqnIndexHandle Handle;
  TqnKeyPath Path;
  TqnCursorRange Range;
};

}  // namespace tw::dbengine
