// The database server proper: one object per process with one method for every request.  Each
// method runs inside the request bracket (the recursive request lock plus a buffer-manager
// request), catches every exception at its boundary and answers with a result code: 0 for
// success, 9990 for an id that names no living object of that kind.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dbengine/base/errors.h"
#include "dbengine/base/padlock.h"
#include "dbengine/base/serverconfig.h"
#include "dbengine/server/server_objects.h"
#include "dbengine/storage/buffer_manager.h"
#include "dbengine/storage/rebuild_status.h"
#include "dbengine/storage/transaction.h"

namespace tw {
class TStream;
}

namespace tw::dbengine {

class TqnSrFieldMapList;
class TqnFolderWriteMoment;

// Result codes the engine answers with besides those of errors.h.
constexpr DBIResult qnresRecordNotFound = 8710;   // "Could not find record."
constexpr DBIResult qnresKeyViolation = 9729;     // "Key violation."
constexpr DBIResult qnresRequiredMissing = 9732;  // "Field value required."
constexpr DBIResult qnresInvalidParameter = 9986; // "Invalid parameter."
constexpr DBIResult qnresAliasExists = 10009;
constexpr DBIResult qnresTableOpen = 10031;
constexpr DBIResult qnresInvalidTableName = 10039;
constexpr DBIResult qnresNoTransaction = 10257;   // internal: start an implicit transaction
constexpr DBIResult qnresNeedIndex = 10764;
constexpr DBIResult qnresBlobFreed = 13058;
// A folder that a server of another process serves.
constexpr DBIResult qnresFolderServedElsewhere = 10246;  // "Directory is locked."

// The bookmark: 20 bytes of head and the cursor's key.
constexpr int kQnBookmarkHead = 20;

class TqnServerEngine : public TqnObject {
  TW_CLASS(TqnServerEngine, TqnObject)
 public:
  TqnServerEngine();
  ~TqnServerEngine() override;
  // The process's engine, nullptr when none exists.
  static TqnServerEngine* Instance();

  TqnServerConfiguration& Configuration() { return *config_; }
  TqnBufferManager& BufferManager() { return *bm_; }
  TqnPadLock& RequestLock() { return lock_; }

  void EnterRequest();
  void LeaveRequest();

  // ---- Clients and rights ----
  DBIResult ClientAdd(std::int32_t ClientID, std::string_view ClientName, std::string_view UserID,
                      std::uint32_t& PasswordHash);
  DBIResult CheckClientRights(std::int32_t ClientID, std::uint8_t Rights);
  void ClientRemove(std::int32_t ClientID);

  // ---- Sessions ----
  DBIResult SessionAdd(std::int32_t ClientID, std::uint32_t& SessionID);
  DBIResult SessionGetCurrent(std::int32_t ClientID, std::uint32_t& SessionID);
  DBIResult SessionSetCurrent(std::int32_t ClientID, std::uint32_t SessionID);
  DBIResult SessionClose(std::int32_t ClientID, std::uint32_t SessionID);

  // ---- Databases and aliases ----
  DBIResult DatabaseOpen(std::int32_t ClientID, std::string_view Alias, std::uint8_t OpenMode, std::uint8_t ShareMode,
                         std::uint32_t& DatabaseID);
  DBIResult DatabaseOpenNoAlias(std::int32_t ClientID, std::string_view Path, std::uint8_t OpenMode,
                                std::uint8_t ShareMode, std::uint32_t& DatabaseID);
  DBIResult DatabaseClose(std::uint32_t DatabaseID);
  DBIResult DatabaseInTrans(std::uint32_t DatabaseID, bool& InTrans);
  DBIResult DatabaseTableList(std::uint32_t DatabaseID, std::string_view Mask, TStream& Stream);
  DBIResult DatabaseAddAlias(std::string_view Alias, std::string_view Path);
  DBIResult DatabaseAliasList(TStream& Stream);
  DBIResult DatabaseChgAliasPath(std::string_view Alias, std::string_view NewPath);
  DBIResult DatabaseDeleteAlias(std::string_view Alias);

  // ---- Transactions ----
  DBIResult TransactionStart(std::uint32_t DatabaseID, bool FailSafe, std::uint32_t& TransactionID);
  DBIResult TransactionCommit(std::uint32_t TransactionID);
  DBIResult TransactionRollback(std::uint32_t TransactionID);
  DBIResult TransactionCommitChanges(std::uint32_t TransactionID);
  DBIResult TransactionDiscardChanges(std::uint32_t TransactionID);

  DBIResult GetRebuildStatus(std::uint32_t RebuildID, bool& IsThere, TqnRebuildStatusRecord& Status);

  // ---- Tables ----
  DBIResult OpenTable(std::uint32_t DatabaseID, std::string_view TableName, std::string_view IndexName,
                      std::int32_t IndexNumber, std::uint8_t OpenMode, std::uint8_t ShareMode,
                      std::uint32_t& CursorID, TStream* Stream);
  DBIResult BuildTable(std::uint32_t DatabaseID, bool Overwrite, std::string_view TableName,
                       const TqnDataDictionary& Dictionary);
  DBIResult DeleteTable(std::uint32_t DatabaseID, std::string_view TableName);
  DBIResult RenameTable(std::uint32_t DatabaseID, std::string_view OldName, std::string_view NewName);
  DBIResult EmptyTable(std::uint32_t DatabaseID, std::uint32_t CursorID, std::string_view TableName);
  DBIResult GetTableDictionary(std::uint32_t DatabaseID, std::string_view TableName, TStream& Stream);
  DBIResult GetTableRecCount(std::uint32_t CursorID, std::uint32_t& Count);
  DBIResult SetTableAutoIncValue(std::uint32_t CursorID, std::uint32_t Value);
  DBIResult AddIndex(std::uint32_t DatabaseID, std::uint32_t CursorID, std::string_view TableName,
                     const TqnIndexDescriptor& Index, std::uint32_t& OutDatabaseID, std::string& OutTableName);
  DBIResult DropIndex(std::uint32_t DatabaseID, std::uint32_t CursorID, std::string_view TableName,
                      std::string_view IndexName, std::int32_t IndexNumber);
  DBIResult AcqTableLock(std::uint32_t CursorID, std::uint8_t LockType);
  DBIResult RelTableLock(std::uint32_t CursorID, bool AllLocks, std::uint8_t LockType);
  DBIResult IsTableLocked(std::uint32_t CursorID, std::uint8_t LockType, bool& Locked);

  // ---- Cursors ----
  DBIResult CursorClose(std::uint32_t CursorID);
  DBIResult SetToBegin(std::uint32_t CursorID);
  DBIResult SetToEnd(std::uint32_t CursorID);
  // A step and its read.  With Start, a locked step that may be tried again: an empty Start
  // receives where the cursor stood before the step, a held one puts the cursor back there first
  // (as for `RecordGet`).
  DBIResult RecordGetNext(std::uint32_t CursorID, std::uint8_t LockType, std::uint8_t* Record,
                          TqnCursorPlace* Start = nullptr);
  DBIResult RecordGetPrev(std::uint32_t CursorID, std::uint8_t LockType, std::uint8_t* Record,
                          TqnCursorPlace* Start = nullptr);
  DBIResult RecordGetForKey(std::uint32_t CursorID, bool DirectKey, int FieldCount, int PartialLen,
                            const std::uint8_t* Data, std::uint8_t* Record);
  DBIResult SetToKey(std::uint32_t CursorID, std::uint8_t SearchAction, bool DirectKey, int FieldCount, int PartialLen,
                     const std::uint8_t* Data);
  DBIResult SetRange(std::uint32_t CursorID, bool DirectKey, const std::uint8_t* Data1, int FieldCount1,
                     int PartialLen1, bool Inclusive1, const std::uint8_t* Data2, int FieldCount2, int PartialLen2,
                     bool Inclusive2);
  DBIResult ResetRange(std::uint32_t CursorID);
  // Bookmark holds BookmarkSize(CursorID) bytes.
  DBIResult GetBookmark(std::uint32_t CursorID, std::uint8_t* Bookmark);
  DBIResult SetToBookmark(std::uint32_t CursorID, const std::uint8_t* Bookmark);
  DBIResult CompareBookmarks(std::uint32_t CursorID, const std::uint8_t* Bookmark1, const std::uint8_t* Bookmark2,
                             std::int32_t& Compare);
  DBIResult SetToCursor(std::uint32_t DestCursorID, std::uint32_t SrcCursorID);
  DBIResult CursorClone(std::uint32_t CursorID, std::uint8_t OpenMode, std::uint32_t& NewCursorID);
  DBIResult SwitchToIndex(std::uint32_t CursorID, std::string_view IndexName, std::int32_t IndexNumber,
                          bool PosnOnRec);
  DBIResult RecordGetBatch(std::uint32_t CursorID, std::uint32_t RecLen, std::uint32_t RecCount, std::uint8_t* Buffer,
                           std::uint32_t& Count);

  // Sizes a client needs; -1 for an unknown cursor.
  std::int32_t CursorRecordLength(std::uint32_t CursorID);
  std::int32_t CursorKeyLength(std::uint32_t CursorID);
  std::int32_t BookmarkSize(std::uint32_t CursorID);

  // ---- Records ----
  // The current record.  A cursor on the gap a record left reads the record after the gap, which
  // becomes its current one; with FromGap false it answers 8709 there and stays where it is.  A
  // locked read on a record another cursor changed in place takes that record as it now is.
  // With Start, a read that may be tried again: an empty Start receives where the cursor stood
  // before the read, a held one puts the cursor back there first.
  DBIResult RecordGet(std::uint32_t CursorID, std::uint8_t LockType, std::uint8_t* Record, bool FromGap = true,
                      TqnCursorPlace* Start = nullptr);
  DBIResult RecordInsert(std::uint32_t CursorID, std::uint8_t LockType, const std::uint8_t* Record);
  DBIResult RecordModify(std::uint32_t CursorID, bool RelLock, const std::uint8_t* Record);
  DBIResult RecordDelete(std::uint32_t CursorID, std::uint8_t* Record);
  DBIResult RecordInsertBatch(std::uint32_t CursorID, std::uint32_t RecCount, std::uint32_t RecLen,
                              const std::uint8_t* Records, std::vector<DBIResult>& Results);
  DBIResult RecordExtractKey(std::uint32_t CursorID, const std::uint8_t* Record, std::uint8_t* Key);
  DBIResult RecordRelLock(std::uint32_t CursorID, bool AllLocks);

  // ---- BLOBs ----
  DBIResult CreateBLOB(std::uint32_t CursorID, std::uint32_t& BLOBNr);
  DBIResult AddFileBLOB(std::uint32_t CursorID, std::string_view FileName, std::uint32_t& BLOBNr);
  DBIResult WriteBLOB(std::uint32_t CursorID, std::uint32_t BLOBNr, std::uint32_t Offset, std::uint32_t Len,
                      const std::uint8_t* Buffer);
  DBIResult TruncateBLOB(std::uint32_t CursorID, std::uint32_t BLOBNr, std::uint32_t NewLen);
  DBIResult DeleteBLOB(std::uint32_t CursorID, std::uint32_t BLOBNr);
  DBIResult FreeBLOB(std::uint32_t CursorID, std::uint32_t BLOBNr);
  DBIResult GetBLOBLength(std::uint32_t CursorID, std::uint32_t BLOBNr, std::uint32_t& Length);
  DBIResult ReadBLOB(std::uint32_t CursorID, std::uint32_t BLOBNr, std::uint32_t Offset, std::uint32_t Len,
                     std::uint32_t& BytesRead, std::uint8_t* Buffer);
  DBIResult CopyBLOB(std::uint32_t SrcCursorID, std::uint32_t SrcBLOBNr, std::uint32_t DestCursorID,
                     std::uint32_t DestBLOBNr);

  // ---- Rebuilds (worker threads) ----
  DBIResult ReindexTable(std::uint32_t DatabaseID, std::string_view TableName, std::string_view IndexName,
                         std::int32_t IndexNumber, std::int32_t& RebuildID);
  DBIResult PackTable(std::uint32_t DatabaseID, std::string_view TableName, std::int32_t& RebuildID);
  // FieldMap lines "Target=Source" or "Name"; nullptr for none.
  DBIResult RestructureTable(std::uint32_t DatabaseID, std::string_view TableName, const TqnDataDictionary& Dictionary,
                             const std::vector<std::string>* FieldMap, std::int32_t& RebuildID);
  // Waits until every rebuild thread has ended (tests and shutdown).
  void WaitForRebuilds();

  // Counts for tests.
  int ClientCount() const { return clients_.Count(); }
  int TableCount() const { return tables_.Count(); }
  int CursorCount() const { return cursors_.Count(); }
  int DatabaseCount() const { return databases_.Count(); }
  int TransactionCount() const { return transactions_->Count(); }
  // Rebuild workers the engine still counts as running (WaitForRebuilds waits for them).
  int RunningRebuilds();

  // ---- Internal, used by the objects and the rebuild workers ----
  TqnSrClient* FindClient(std::int32_t ClientID) const;
  TqnSrDatabase* FindDatabase(std::uint32_t Id) const;
  TqnSrCursor* FindCursor(std::uint32_t Id) const;
  // The open table Name of the folder Folder (a directory's device and inode) whose files are
  // reached through FolderPath: the one of that name, or the one whose file the name reaches.
  TqnSrTable* FindOpenTable(const TqnFolder& Folder, std::string_view Name) const;
  // The running transaction of a folder, 0 when none.
  std::uint32_t FolderTransaction(const TqnFileKey& Folder) const;
  // Rolls a database's transaction back (database closing).
  void AbandonTransaction(std::uint32_t TransactionID);
  // Commits a transaction that the engine started itself (around a record change, a batch, a
  // rebuild).  The transaction ends whatever happens: a commit that fails is rolled back, so
  // that the failed change is gone and later writes start afresh; the commit's error is
  // returned.  A commit that failed only after it was decided is finished (its changes stand)
  // and counts as done; one that cannot be finished either answers its error (its journal
  // stands and is replayed before its tables are used again).
  DBIResult CommitOwnTransaction(std::uint32_t TransactionID);
  void FreeTablesWithoutCursors();
  void ReleaseFolder(std::uint32_t FolderID);
  // Before the first change to files of D's folder: the process's claim on the folder becomes
  // exclusive (and stays so while the process uses the folder).  10246 when a server of another
  // process uses the folder too; 10018 when the folder has been removed (see
  // `CheckFolderPresent`); nothing is changed then.  A record change inside a transaction
  // (ByHandle) reaches only files that are open already, and stands only once the commit, which
  // asks again, has taken it: the check of every such change is left to the commit.
  DBIResult ClaimForWriting(const TqnSrDatabase* D, bool ByHandle = false);
  // Before a table of D's folder is opened to be read: the recovery that runs first writes when
  // an interrupted change left a journal there, so then the folder is held alone for the
  // Moment (10246 when a server of another process uses it too, 10018 when the folder has been
  // removed, and nothing is read).
  DBIResult ReadyToRead(const TqnSrDatabase* D, TqnFolderWriteMoment& Moment);
  // 0 while D's folder (its directory, reached through its handle wherever it has been moved)
  // is there; 10018 (and a log line) once it has been removed: no journal can be made there, so
  // nothing of it is changed.
  DBIResult CheckFolderPresent(const TqnSrDatabase* D) const;
  // The same for the folder of T's database (0 when the database is gone): asked before a
  // transaction's changes are written out, which only a rollback may do then.
  DBIResult CheckTransactionFolder(TqnSrTransaction* T) const;
  void RegisterCursor(TqnSrCursor* C) { cursors_.Insert(C); }
  TqnSrRebuildStatusList& RebuildStatuses() { return *rebuilds_; }
  void ThreadStarted();
  void ThreadEnded();

  // Cursor internals shared by the cursor, record and rebuild code (all under the lock).
  void Reposition(TqnSrCursor* C);
  // Forgets C's key path and finds its place again by its key (BOF when that fails).
  void RepositionAfresh(TqnSrCursor* C);
  // Every cursor on a table of Folder finds its place again after the blocks of its index were
  // put back (a rollback or discarded changes): key paths name blocks as they were before.
  void RepositionFolderCursors(const TqnFileKey& Folder);
  // Builds C's index key from Record with FieldCount/PartialLen; a result code.
  DBIResult BuildKey(TqnSrCursor* C, const std::uint8_t* Record, int FieldCount, int PartialLen, std::uint8_t* Key);
  DBIResult UpdateCheck(TqnSrCursor* C, bool NeedRecord);
  // Tells the table's other cursors that the record at Ref changed through Changer: Old is the
  // record as it was before a modify or delete (nil for an insert), New the record after a
  // modify (nil for a delete).  Every other cursor is repositioned; one that stood on the record
  // keeps its place (`PlaceOnChangedRecord`).
  void NotifyOthers(TqnSrCursor* Changer, std::int32_t Ref, const std::uint8_t* Old, const std::uint8_t* New);
  // C stood on the record at Ref, which was deleted (New nil) or changed from Old to New.  C
  // keeps the record's old place in its index: a crack on the record when the change left its
  // key (the record is there but no longer current), else the gap there, before the record that
  // now follows the place, so that the next record read forwards is that one and backwards the
  // one before.  The caller repositions C.
  void PlaceOnChangedRecord(TqnSrCursor* C, std::int32_t Ref, const std::uint8_t* Old, const std::uint8_t* New);
  // Where C stands, and C put back there (repositioned: what others changed meanwhile counts).
  static TqnCursorPlace PlaceOf(const TqnSrCursor* C);
  // The same into P, whose storage is reused.
  static void NotePlace(const TqnSrCursor* C, TqnCursorPlace& P);
  void PutBack(TqnSrCursor* C, const TqnCursorPlace& Place);
  // Before a try of a request that may be tried again: puts C back where Start holds, or notes
  // in an empty Start where C stands.  Nothing without Start.
  void StartFrom(TqnSrCursor* C, TqnCursorPlace* Start);
  // The record read by a cursor on a crack: on the gap a record left, the record after the gap,
  // which becomes the current one; on a record another cursor changed in place, that record
  // when a lock is asked for; 8709 on any other crack, or when nothing follows.
  DBIResult ReadRecordAfterGap(TqnSrCursor* C, std::uint8_t LockType, std::uint8_t* Record);
  DBIResult InsertIntoTable(TqnSrCursor* C, std::uint8_t LockType, const std::uint8_t* Record);
  // Takes the record lock of Ref for C: 0, or 10241 when another cursor holds it.  A lock held
  // by a cursor of the asking client itself is noted (`ConflictWithinClient`): waiting for it
  // would be in vain, since a client sends its requests one at a time.
  DBIResult TakeRecordLock(TqnSrCursor* C, std::int32_t Ref);
  // True when the last lock conflict met on this thread since `ClearConflictNote` was with a
  // lock of the asking client's own; the request layer then answers at once instead of waiting.
  static bool ConflictWithinClient();
  static void ClearConflictNote();

 private:
  template <typename F>
  DBIResult Guarded(F&& Body);
  void ReleaseSessionTableLocks(std::uint32_t SessionId);
  DBIResult OpenDatabase(TqnSrClient* Client, std::string_view Path, std::uint8_t OpenMode, std::uint8_t ShareMode,
                         std::uint32_t& DatabaseID);
  DBIResult MoveNext(TqnSrCursor* C, std::uint8_t LockType, std::uint8_t* Record);
  DBIResult MovePrior(TqnSrCursor* C, std::uint8_t LockType, std::uint8_t* Record);
  DBIResult StepAlongPath(TqnSrCursor* C, bool Forward, std::uint8_t LockType, std::uint8_t* Record);
  int RangeCheck(TqnSrCursor* C, const std::uint8_t* Key);
  bool BookmarkValid(TqnSrCursor* C, const std::uint8_t* B);
  DBIResult BlobChange(std::uint32_t CursorID, const std::function<DBIResult(TqnSrCursor*)>& Work, DBIResult AlsoCommit);
  // Every open table's list of new BLOBs learns that a transaction ended: a rollback puts back
  // what the transaction changed in it.
  void NewBlobsAtTransactionEnd(std::uint32_t TransactionID, bool Committed);
  DBIResult WithImplicitTransaction(TqnSrCursor* C, bool NeedRecord, const std::function<DBIResult()>& Work);
  DBIResult WithImplicitTransaction(TqnSrCursor* C, bool NeedRecord, const std::function<DBIResult()>& Work,
                                    DBIResult AlsoCommit);
  // Runs a change request's Work inside the client's transaction: a failure (an exception or
  // any result but success and AlsoCommit) puts back what Work changed.
  DBIResult InSavepoint(TqnSrCursor* C, const std::function<DBIResult()>& Work, DBIResult AlsoCommit);
  // Puts every cursor back where it stood before a failed request (found again by its key when
  // next used).
  void RestoreCursors(const std::vector<std::pair<TqnSrCursor*, TqnCursorPlace>>& Places);
  DBIResult CopyBLOBParts(std::uint32_t SrcCursorID, std::uint32_t SrcBLOBNr, std::uint32_t DestCursorID,
                          std::uint32_t DestBLOBNr);
  void ReadRecordKey(TqnSrCursor* C, std::int32_t Ref, std::uint8_t* Key);
  DBIResult PrepareCopy(std::uint32_t DatabaseID, std::string_view TableName, const TqnDataDictionary* NewDict,
                        const std::vector<std::string>* FieldMap, bool Restructure, std::int32_t& RebuildID);

  TqnPadLock lock_;
  TqnServerConfiguration* config_;
  TqnList clients_, sessions_, databases_, tables_, cursors_;
  TqnSrTransactionList* transactions_;
  TqnSrFolderList* folders_;
  TqnSrRebuildStatusList* rebuilds_;
  TqnBufferManager* bm_;
  // The directory claimed for this process for each folder in use (folder ids), and whether
  // the claim was made exclusive for writing: it then stays so until it is given back.
  struct TFolderClaimNote {
    TqnFileKey Key;
    bool ForWriting = false;
    TqnFolderRef Dir;  // the folder's directory, opened once: every database of it uses this
  };
  std::map<std::uint32_t, TFolderClaimNote> folderClaims_;
  // Claims kept after the last database of their folder closed, because the page cache holds a
  // journal of that folder: no server of another process may read or write the tables it names
  // before it is applied.  Each goes once no held journal of its folder is left.
  std::vector<TqnFileKey> keptClaims_;
  // Requests until the kept claims' journals are tried again, and the gap after a failed try
  // (doubled up to 64 requests: a journal that cannot be applied is read again now and then,
  // not at every request of every client).
  int keptWait_ = 0, keptGap_ = 1;
  void ReleaseKeptClaims();
  // The cursor places kept by the savepoints open now, one list per depth (a BLOB copy's
  // savepoint holds its writes' ones); kept between requests so that taking them allocates
  // nothing.  A deque: an inner savepoint's list never moves an outer one's.
  std::deque<std::vector<std::pair<TqnSrCursor*, TqnCursorPlace>>> places_;
  std::size_t placesDepth_ = 0;
  // The cursor found last, by FindCursor (under the request lock).
  mutable std::uint32_t lastCursorId_ = 0;
  mutable TqnSrCursor* lastCursor_ = nullptr;
  mutable std::uint64_t lastCursorEndings_ = 0;
  int runningThreads_ = 0;
  std::mutex threadMutex_;
  std::condition_variable threadDone_;
};

}  // namespace tw::dbengine
