// The buffer manager: every block of every table file is read and written through it.  Blocks
// live in RAM pages; a page taken for update belongs to the file's current transaction and
// reaches the disk only when that transaction commits.  Every commit is atomic across a
// crash: the changed blocks go to a journal first (see journal.h), which is flushed and marked
// complete before the first table block is written.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dbengine/base/padlock.h"
#include "dbengine/storage/file_info.h"
#include "platform/classes/object.h"

namespace tw::dbengine {

class TqnJournal;

// The members a look-up and a use of the page read (file, block, hash chain, order of use,
// dirtiness and the buffer's address) lie in its first 64 bytes, the page aligned to them: a
// block access then touches one cache line of its page's bookkeeping.
struct alignas(64) TqnbmRAMPage {
  TqnFileInfo* File = nullptr;  // nullptr: unassigned (recycled)
  // Bookkeeping of the manager: the next page of its hash chain, the order of use it is in and
  // its neighbours there (block pages only: header pages are never evicted).
  TqnbmRAMPage* HashNext = nullptr;
  std::int32_t Block = -1;
  std::uint32_t Stamp = 0;
  int UseOrder = -1;  // -1: in none
  std::uint32_t LinkedAt = 0;  // the use counter when it was last moved to the newest end
  TqnbmRAMPage* Older = nullptr;
  TqnbmRAMPage* Newer = nullptr;
  bool Dirty = false;
  // The order of use of a clean page was found from its contents since it was last filled or
  // dirtied: a clean page's contents do not change, so its kind need not be looked at again.
  bool KindKnown = false;
  std::vector<std::uint8_t> Buffer;
  std::int32_t BlockSize = 0;
  std::uint32_t TransactionId = 0;
  // The place in the manager's page list and in the dirty list of its transaction.
  std::size_t Slot = 0;
  std::size_t DirtySlot = 0;
  std::uint32_t SaveGen = 0;  // the savepoint that holds this page's contents from before it
};
static_assert(offsetof(TqnbmRAMPage, Buffer) + sizeof(void*) <= 64, "the hot members fit one cache line");

// Transaction modes.
constexpr int kQnTransNormal = 1;
constexpr int kQnTransFailSafe = 2;

struct TqnTransactionItem {
  std::uint32_t Id = 0;
  int Mode = kQnTransNormal;
  std::unique_ptr<TqnJournal> Journal;  // fail-safe: from the start; normal: during commit
  bool Decided = false;         // the journal is complete: the transaction is committed
  bool ChangesWritten = false;  // blocks reached the table files before commit
  // A normal transaction that wrote blocks early: from then on its journal takes before-images
  // like a fail-safe one, so that a crash or a rollback can put the old blocks back.
  bool UndoJournal = false;
  // The journal was made (or taken from the spare journals) by the commit itself and holds
  // after-images only: once the commit is done it is kept for the folder's next commit.
  bool Reusable = false;
  std::set<TqnFileInfo*> ToFlush;
  std::vector<TqnbmRAMPage*> Dirty;  // the pages dirty for this transaction, in no order
  // Blocks whose old contents the journal holds already: a block changed again after an early
  // write is not journaled twice.
  std::set<std::pair<const TqnFileInfo*, std::int32_t>> Journaled;
  // Per file, the first block appended in this transaction: the end of the file that its
  // committed header counts (0: the transaction made the file).  Every block from there on is
  // new: it has no old contents to put back, and nothing committed lives there, so a commit
  // writes it in place and flushes it before the journal is marked complete, without an
  // after-image.  A crash before the mark leaves it past the end the restored header counts,
  // where nothing reads it.
  std::vector<std::pair<const TqnFileInfo*, std::int32_t>> Appended;
  std::int32_t FirstAppended(const TqnFileInfo* File) const {
    for (const auto& [f, b] : Appended)
      if (f == File) return b;
    return -1;
  }
  bool IsAppended(const TqnFileInfo* File, std::int32_t Block) const {
    const std::int32_t first = FirstAppended(File);
    return first >= 0 && Block >= first;
  }
  bool JournalUnflushed = false;  // before-images appended since the journal was last flushed
  // The blocks whose before-images were appended since the journal's last flush: a flush that
  // fails may lose them, and they are journaled again before they are written early.
  std::vector<std::pair<const TqnFileInfo*, std::int32_t>> Unflushed;
  // Why the transaction may no longer be committed, only rolled back: blocks written early were
  // lost with a failed flush of their table, a savepoint could not put back a block, or its
  // folder was removed.
  std::exception_ptr Broken;
  // The folder of its files was removed: no journal can be made there, so nothing of it may be
  // written, early or at commit, and it takes no more changes (each raises this).  Its pages
  // are never written to make room.
  std::exception_ptr FolderLeft;
  ~TqnTransactionItem();
};

class TqnBufferManager : public TObject {
  TW_CLASS(TqnBufferManager, TObject)
 public:
  // Journals are written through the table of file routines installed at construction.
  TqnBufferManager();
  ~TqnBufferManager() override;

  // A zeroed page for a block being appended; dirty for the file's transaction.
  std::uint8_t* AddBlock(TqnFileInfo* File, std::int32_t Block);
  // A zeroed block 0 for a file being created, of BlockSize; dirty for the file's transaction.
  std::uint8_t* AddFileHeader(TqnFileInfo* File, std::int32_t BlockSize);
  // The block's bytes, read from disk at Block x block size when not cached.  ForUpdate makes
  // the page dirty for the file's transaction (23688 when that transaction is not known).
  std::uint8_t* GetBlock(TqnFileInfo* File, std::int32_t Block, bool ForUpdate);
  // Bytes [0, HeadLength) of the block into Head and [Offset, Offset + Length) into Part.  A
  // cached block is copied from its page (which counts as used); any other is read from the
  // table file without taking a page: a record found by its key seldom has its block read again
  // soon, while the index blocks that found it are read by every search.  Only the block's
  // bytes up to the end of the part are read; with HeadLength 0 (Head may then be nullptr), the
  // part's bytes alone.
  void ReadBlockParts(TqnFileInfo* File, std::int32_t Block, std::uint8_t* Head, std::int32_t HeadLength,
                      std::int32_t Offset, std::int32_t Length, std::uint8_t* Part);
  // GetBlock(File, Block, false) for a block read over and over (an index's header block, read
  // by every search and every step; the leaf and the data block of a walk, read record after
  // record): Hint notes the page that holds the block, and while that page still holds it (and
  // no page has been freed since) it is taken without a look-up.
  std::uint8_t* GetBlockHinted(TqnFileInfo* File, std::int32_t Block, TqnBlockHint& Hint);
  // Block 0; its first read checks the file header and sets the file's block size.
  std::uint8_t* GetFileHeader(TqnFileInfo* File, bool ForUpdate);
  // Marks a cached block for update; a block that is not cached is left alone.
  void DirtyBlock(TqnFileInfo* File, std::int32_t Block);
  // DirtyBlock for a change of bytes [Offset, Offset + Length) of the block only: the caller
  // changes nothing else of it before it next takes the block for update.  Inside a savepoint
  // only those bytes are kept, which spares copying a whole block for a change of a few bytes.
  void DirtyRange(TqnFileInfo* File, std::int32_t Block, std::int32_t Offset, std::int32_t Length);
  // DirtyBlock for moving bytes [From, From + Length) of the block to To, after which the caller
  // may write the bytes between the two places (an entry inserted into or removed from an
  // array): inside a savepoint only the bytes the move cannot give back are kept, and the move
  // is undone by moving them back.
  void DirtyMove(TqnFileInfo* File, std::int32_t Block, std::int32_t From, std::int32_t Length, std::int32_t To);
  // Every cached page of File, dirty or not, is dropped.
  void RemoveFile(TqnFileInfo* File);

  // Request brackets: buffers handed out inside the outermost bracket stay valid until it
  // ends.  Nested brackets are counted; only the outermost one moves the eviction threshold.
  // The calling thread holds the manager's lock from BeginRequest to its EndRequest.
  void BeginRequest();
  void EndRequest();
  int RequestDepth() const { return depth_; }
  // Holds a request bracket for a scope.
  class TRequest {
   public:
    explicit TRequest(TqnBufferManager& Manager) : m_(Manager) { m_.BeginRequest(); }
    ~TRequest() { m_.EndRequest(); }
    TRequest(const TRequest&) = delete;
    TRequest& operator=(const TRequest&) = delete;

   private:
    TqnBufferManager& m_;
  };

  // The cache holds at most MaxPageCount pages.  Only the pages handed out inside the current
  // request bracket may take it past that (their buffers must stay valid); it shrinks back when
  // the bracket ends.  A transaction larger than the cache writes its changed blocks early
  // (as CommitChanges does), so that their pages can be reused.
  int PageCount() const { return static_cast<int>(all_.size()); }
  int MaxPageCount() const { return maxPages_; }
  void SetMaxPageCount(int Count);
  // The most pages the cache has held at one time since the last reset (for tests and benchmarks).
  int PeakPageCount() const { return peakPages_; }
  void ResetPeakPageCount() { peakPages_ = PageCount(); }
  // Counters for tests and benchmarks.
  std::uint64_t Hits() const { return hits_; }
  std::uint64_t Misses() const { return misses_; }
  // How often a transaction's dirty pages were written early to make room.
  std::uint64_t Spills() const { return spills_; }

  // Transactions.  JournalName (extension "QN$" added when missing) names the journal of a
  // fail-safe transaction (a fresh name is taken when a file of that name exists); a normal
  // transaction journals its commit under a name of its own in the folder of the files it
  // changed.  Every file of one transaction lies in one folder: recovery looks for a table's
  // journals in its own folder only, so a commit over several folders is refused.
  void StartTransaction(std::uint32_t TransId, bool FailSafe, const TqnFolderRef& Folder,
                        const std::string& JournalName);
  // The same with the journal named by a path (its folder opened here).
  void StartTransaction(std::uint32_t TransId, bool FailSafe, const std::string& JournalPath);
  void Commit(std::uint32_t TransId);
  // Ends the transaction without its changes, putting back blocks written early (through the
  // handles of the journal and of the table files, wherever their folder has gone meanwhile);
  // its journal is marked spent before it is deleted.  When the blocks cannot be put back, or
  // the journal can be neither spent nor deleted, the journal is held (HeldJournalCount) and
  // recovered at the next access of a file it names; the transaction ends all the same, and
  // blocks that could not be put back raise 23549 naming the journal (the tables it names stay
  // closed until it is applied).  A
  // transaction whose commit failed after it was decided is finished instead (true is then
  // returned: its changes stand, written now or replayed from its journal); when neither
  // works, the transaction ends all the same, its journal is held (HeldJournalCount) and the
  // error is raised: the commit stands only once the journal has been replayed.
  bool Rollback(std::uint32_t TransId);
  // Writes the transaction's dirty pages without ending it.  Before the first such write the
  // journal receives the blocks' old contents, so that rollback, or recovery after a crash,
  // undoes the early writes: the transaction stays all or nothing.
  void CommitChanges(std::uint32_t TransId);
  // Savepoints: a change request inside a transaction brackets its work with BeginSavepoint and
  // EndSavepoint, and RollbackToSavepoint instead of EndSavepoint puts every block that the
  // request took for update back as it was when the savepoint began, so that a request that
  // fails half-way (an early write or a journal append refused, a damaged block found) leaves
  // nothing of itself.  Blocks used in a request stay cached until it ends, so the copies are
  // taken in RAM only: a block already changed in the transaction is copied when the request
  // first takes it for update (of block 0 the header's defined values only, the rest of it
  // being never read or written; with DirtyRange, the bytes named only); a block the request
  // is the first to change is dropped instead (the disk, or the journal of the early writes,
  // holds what it was).  The copies are put back newest first.  A savepoint begun inside
  // another one is counted and does nothing: the outermost one decides.
  void BeginSavepoint();
  void EndSavepoint();
  void RollbackToSavepoint();

  // True when the transaction's commit has been decided (its journal is complete).
  bool IsDecided(std::uint32_t TransId) const;
  // Drops the transaction's dirty pages without ending it.
  void DiscardChanges(std::uint32_t TransId);
  bool IsTransactionKnown(std::uint32_t TransId) const;
  // Journals left on disk while this process goes on: a decided commit that could be neither
  // finished nor replayed (the disk full, say), early writes that could not be undone, a
  // journal with records that could be neither marked spent nor deleted.  Until
  // such a journal has been recovered, the table files it names are neither read nor written:
  // every access to them tries the recovery again first and, while it still fails, raises
  // 23549 (as opening a table whose journal waits does).  Nothing can then be written over a
  // half-written table, nor a late replay undo a later commit.
  int HeldJournalCount() const;
  // Before anything touches a file of table Table in Folder by name (opening it by any path,
  // deleting, renaming, or making a table under its name): every held journal of that folder
  // that names such a file is recovered now, and while one cannot be, 23549 is raised naming
  // it.  A table is so never deleted while images for it wait, and a table made later under
  // its name never receives them.
  void RecoverHeldFor(const TqnFolder& Folder, const std::string& Table);
  // Tries to recover every held journal of the folder Folder; true when none is left held.
  bool RecoverHeldIn(const TqnFileKey& Folder);
  int DirtyPageCount(std::uint32_t TransId) const;
  bool IsCached(const TqnFileInfo* File, std::int32_t Block) const;

 private:
  TqnbmRAMPage* Lookup(const TqnFileInfo* File, std::int32_t Block) const;
  // GetBlock of a block other than 0: its page.
  TqnbmRAMPage* BlockPage(TqnFileInfo* File, std::int32_t Block, bool ForUpdate);
  // The file's header page: every block access needs it, and mostly of the same file.
  TqnbmRAMPage* HeaderOf(const TqnFileInfo* File) const;
  // Spare: only a page that can be had without writing anything and without growing the cache
  // past its limit (nullptr when there is none).
  TqnbmRAMPage* ObtainPage(TqnFileInfo* File, std::int32_t Block, std::int32_t BlockSize, bool Spare = false);
  // A block missed right after the block before it of the same file (a scan in physical order):
  // it is read in one read with up to kReadOnward - 1 blocks that follow it (fewer in a cache
  // of less than 8 x kReadOnward pages), which go into spare pages.  False when nothing follows to be read (Page is then not read either).
  bool ReadOnward(TqnFileInfo* File, TqnbmRAMPage* Page);
  static constexpr std::int32_t kReadOnward = 8;
  void ReadHeader(TqnFileInfo* File, TqnbmRAMPage*& Page);
  // The checks before a block page is taken: held journals, the header page, the block number.
  void PrepareBlockRead(TqnFileInfo* File, std::int32_t Block);
  // Length < 0: the whole block may change.
  void MarkForUpdate(TqnbmRAMPage* Page, bool Appended, std::int32_t Offset = 0, std::int32_t Length = -1);
  void SavePage(TqnbmRAMPage* Page, std::int32_t Offset, std::int32_t Length);
  void Stamp(TqnbmRAMPage* Page);
  void Unassign(TqnbmRAMPage* Page);
  // The pages by file and block: chains of a bucket table that grows with the page count.
  std::size_t BucketOf(const TqnFileInfo* File, std::int32_t Block) const {
    std::uint64_t h = (static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(File)) >> 4) ^
                      (static_cast<std::uint64_t>(static_cast<std::uint32_t>(Block)) * 0x9E3779B97F4A7C15ull);
    h ^= h >> 29;
    return static_cast<std::size_t>(h) & (buckets_.size() - 1);
  }
  void HashInsert(TqnbmRAMPage* Page);
  void HashRemove(TqnbmRAMPage* Page);
  // Orders of use, one for index blocks and one for the other blocks: the oldest page of an
  // order is its first candidate for eviction.
  void LinkNewest(TqnbmRAMPage* Page, int Order);
  void Unlink(TqnbmRAMPage* Page);
  // Dirty lists of the transactions.
  void MarkDirty(TqnbmRAMPage* Page, TqnTransactionItem& T);
  void MarkClean(TqnbmRAMPage* Page);
  // The least recently used block page outside the current request, taken out of the cache's
  // lookups (its transaction's changes written first when it is dirty; a dirty page is passed
  // over unless MayWrite); nullptr when no block page qualifies.  Other blocks go before index
  // blocks while they hold more than a reserve of the cache: every search goes through the
  // index blocks, while a data block is seldom read again soon.
  TqnbmRAMPage* Evict(bool MayWrite);
  // The reserve: a thirty-second of the cache, and never less than the blocks one read-on
  // brings in with the one asked for (so they stay until used).  More kept only crowds out index
  // blocks when a transaction outgrows the cache: the data blocks it filled are not read again.
  int OtherReserve() const {
    return std::max({1, maxPages_ / 32, std::min(kReadOnward + 1, maxPages_ / 8)});
  }
  // Pages beyond the limit are freed, as far as pages outside the current request allow.
  void Shrink(bool MayWrite);
  void FreePage(TqnbmRAMPage* Page);
  // Writes the transaction's dirty pages (OutsideRequest: those not handed out in the current
  // request) before its commit, behind before-images in its journal.
  void WriteEarly(TqnTransactionItem& T, bool OutsideRequest);
  TqnTransactionItem* Find(std::uint32_t TransId) const;
  std::vector<TqnbmRAMPage*> DirtyPages(std::uint32_t TransId) const;
  // Writes the pages and makes them clean; Flush flushes every file the transaction wrote so far
  // (early writes made to make room leave that to the commit).
  void WritePages(TqnTransactionItem& T, const std::vector<TqnbmRAMPage*>& Pages, bool Flush = true);
  // Writes the pages (sorted by file and block) into their files; Written(page) runs for each
  // page once its bytes are written.
  template <class Fn>
  void WriteBlocks(const std::vector<TqnbmRAMPage*>& Pages, Fn&& Written);
  void FlushWritten(TqnTransactionItem& T);
  void DropPages(std::uint32_t TransId);
  // Whether the commit writes Page in place before it is decided, without an after-image.
  bool InPlace(const TqnTransactionItem& T, const TqnbmRAMPage* Page) const;
  void JournalDiskImages(TqnTransactionItem& T, const std::vector<TqnbmRAMPage*>& Pages);
  // Flushes the journal; when that fails, the before-images appended since the last flush no
  // longer count.
  void FlushJournal(TqnTransactionItem& T);
  void ForgetUnflushed(TqnTransactionItem& T);
  void CheckOneFolder(const TqnTransactionItem& T, const std::vector<TqnbmRAMPage*>& Pages) const;
  // Raises 23683 (and notes it in T.FolderLeft) when File's folder has been removed.
  void CheckFolder(TqnTransactionItem& T, const TqnFileInfo* File);
  std::string CommitJournalName(std::uint32_t TransId) const;
  std::unique_ptr<TqnJournal> TakeCommitJournal(TqnTransactionItem& T, const std::vector<TqnbmRAMPage*>& Pages);
  void EndCommitJournal(TqnTransactionItem& T);
  // Takes T's journal into the held journals, with the files T changed; its key in held_.
  std::uint64_t Hold(TqnTransactionItem& T);
  void CheckHeld(TqnFileInfo* File);
  // Recovers held journal Key and, when that succeeds, drops the cached pages of its files and
  // lets it go; false while it still fails.
  bool ReleaseHeld(std::uint64_t Key);

  mutable TqnPadLock lock_;
  TqnFileRoutines* routines_;
  std::vector<std::unique_ptr<TqnbmRAMPage>> all_;
  std::vector<TqnbmRAMPage*> buckets_ = std::vector<TqnbmRAMPage*>(1024, nullptr);
  struct TUseOrder {
    TqnbmRAMPage* Oldest = nullptr;
    TqnbmRAMPage* Newest = nullptr;
    int Count = 0;
  };
  static constexpr int kIndexOrder = 0;
  static constexpr int kOtherOrder = 1;
  TUseOrder orders_[2];
  std::map<const TqnFileInfo*, TqnbmRAMPage*> headerPages_;
  // Every file whose header this cache has held, until RemoveFile: the recovery of a held
  // journal writes through their records, even after a rollback dropped their pages.
  std::set<TqnFileInfo*> knownFiles_;
  std::vector<TqnbmRAMPage*> recycled_;
  std::map<std::uint32_t, std::unique_ptr<TqnTransactionItem>> transactions_;
  // Commit journals kept open between the commits of normal transactions, by the directory
  // they lie in: reusing one spares the creation and deletion of a file, and the folder syncs
  // they need, per commit.
  std::map<TqnFileKey, std::unique_ptr<TqnJournal>> spareJournals_;
  // A held journal stays open: it is read, marked spent and deleted through its own handle, and
  // its images go to the files of its folder, reached through the folder's handle.
  struct THeldJournal {
    std::unique_ptr<TqnJournal> Journal;
    // The files of its transaction by their names in the folder (the images name files by
    // them), with what each was when the journal was held.
    std::map<std::string, TqnFileKey> Targets;
    // The names its images hold (all of the folder's files when it cannot be read).
    std::set<std::string> Named;
    bool Readable = true;
    std::set<TqnFileKey> Files;  // what it keeps shut
    bool Names(const std::string& Table) const;
  };
  bool RecoverHeld(THeldJournal& H);
  std::map<std::uint64_t, std::unique_ptr<THeldJournal>> held_;  // in the order they were held
  mutable TqnbmRAMPage* lastHeader_ = nullptr;  // the header page found last (freed: nullptr)
  std::vector<std::uint8_t> scratch_;  // bytes read from a file by ReadBlockParts and ReadOnward
  std::vector<TqnIoPiece> run_;        // blocks that follow each other, written in one write
  // The block missed last: the next one missed right after it is read with those that follow.
  const TqnFileInfo* lastMissFile_ = nullptr;
  std::int32_t lastMissBlock_ = -1;
  int maxPages_ = 500;
  std::uint32_t useCounter_ = 0;
  std::uint32_t threshold_ = 0xFFFFFFFFu;
  int depth_ = 0;
  // The open savepoint: its depth, its generation (marks the pages it saved) and its copies.
  struct TSavedPage {
    TqnFileInfo* File = nullptr;
    std::int32_t Block = 0;
    bool WasDirty = false;
    std::int32_t Offset = 0;          // where Bytes belong in the block
    std::vector<std::uint8_t> Bytes;  // the contents of a page that was dirty already
    // A move to undo before Bytes go back: [MoveTo, MoveTo + MoveLength) back to MoveFrom.
    std::int32_t MoveFrom = 0, MoveTo = 0, MoveLength = -1;
  };
  int saveDepth_ = 0;
  std::uint32_t saveGen_ = 0;
  std::vector<TSavedPage> saved_;  // [0, savedCount_) in use; the buffers are kept for reuse
  std::size_t savedCount_ = 0;
  std::uint64_t hits_ = 0;
  std::uint64_t misses_ = 0;
  std::uint64_t spills_ = 0;
  // Pages freed so far (from a base of this manager's own): a hint taken before a page was
  // freed may name freed memory.
  std::uint64_t freedPages_ = 0;
  int peakPages_ = 0;
  std::uint64_t heldCount_ = 0;  // journals held so far: the key of the next one
};

}  // namespace tw::dbengine
