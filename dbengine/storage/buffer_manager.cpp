// The buffer manager: page cache, eviction, transactions and their commits.
#include "dbengine/storage/buffer_manager.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "dbengine/base/errors.h"
#include "dbengine/storage/block_layout.h"
#include "dbengine/storage/journal.h"
#include "dbengine/storage/storage_errors.h"
#include "platform/rtl/files.h"

namespace tw::dbengine {

namespace {

constexpr std::uint32_t kNoThreshold = 0xFFFFFFFFu;

std::string WithJournalExtension(const std::string& name) {
  if (name.size() >= 4) {
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext == ".QN$") return name;
  }
  return name + "." + kQnJournalExtension;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The table a file name belongs to: the name without its extension, in lower case (names are
// found in any case).
std::string TableOf(const std::string& FileName) {
  const std::size_t dot = FileName.rfind('.');
  return Lower(dot == std::string::npos ? FileName : FileName.substr(0, dot));
}

}  // namespace

TqnTransactionItem::~TqnTransactionItem() = default;

// Each manager counts its freed pages from a base of its own, so that a hint taken from another
// manager (one since destroyed, say) never fits.
TqnBufferManager::TqnBufferManager() : routines_(&QNFileAccessTable()) {
  static std::atomic<std::uint64_t> managers{0};
  freedPages_ = (managers.fetch_add(1) + 1) << 40;
}

TqnBufferManager::~TqnBufferManager() {
  TqnPadLockGuard g(lock_);
  // Journals of transactions still running are closed and left: the next open rolls them back.
  for (auto& [id, t] : transactions_)
    if (t->Journal) {
      try {
        t->Journal->Close();
      } catch (...) {
      }
    }
  for (auto& [folder, j] : spareJournals_) {
    try {
      j->Discard();
    } catch (...) {
    }
  }
  // Held journals are closed and left for the recovery of the next open, which now can read
  // them: no cache of the process holds them any more.
  for (auto& [key, h] : held_) {
    try {
      h->Journal->Close();
    } catch (...) {
    }
    QNForgetHeldJournal(h->Journal->Folder()->Key(), h->Journal->FileName());
  }
}

TqnbmRAMPage* TqnBufferManager::Lookup(const TqnFileInfo* File, std::int32_t Block) const {
  for (TqnbmRAMPage* p = buckets_[BucketOf(File, Block)]; p != nullptr; p = p->HashNext)
    if (p->File == File && p->Block == Block) return p;
  return nullptr;
}

void TqnBufferManager::HashInsert(TqnbmRAMPage* Page) {
  if (all_.size() > buckets_.size()) {
    // Chains stay short: the table keeps at least as many buckets as pages.
    std::vector<TqnbmRAMPage*> grown(buckets_.size() * 2, nullptr);
    buckets_.swap(grown);
    for (auto& p : all_)
      if (p->File != nullptr && p.get() != Page) {
        TqnbmRAMPage*& head = buckets_[BucketOf(p->File, p->Block)];
        p->HashNext = head;
        head = p.get();
      }
  }
  TqnbmRAMPage*& head = buckets_[BucketOf(Page->File, Page->Block)];
  Page->HashNext = head;
  head = Page;
}

void TqnBufferManager::HashRemove(TqnbmRAMPage* Page) {
  for (TqnbmRAMPage** at = &buckets_[BucketOf(Page->File, Page->Block)]; *at != nullptr; at = &(*at)->HashNext)
    if (*at == Page) {
      *at = Page->HashNext;
      break;
    }
  Page->HashNext = nullptr;
}

void TqnBufferManager::Stamp(TqnbmRAMPage* Page) {
  if (++useCounter_ == 0) {
    for (auto& p : all_) p->Stamp = p->LinkedAt = 1;
    threshold_ = depth_ > 0 ? 1 : kNoThreshold;
    useCounter_ = 2;
  }
  Page->Stamp = useCounter_;
  // The orders of use follow the stamps: the page just used goes to the newest end of the
  // order of its kind (a block becomes an index block once its node is written).  A page moved
  // there within the last eighth of its order's count of stamps stays where it is: no more
  // pages than that have been moved past it since, so it is among the newest eighth of its
  // order anyway, and pages used over and over (the index header, a leaf read key after key)
  // are not moved at every use.
  if (Page->UseOrder < 0) return;
  int order = Page->UseOrder;
  if (Page->Dirty || !Page->KindKnown) {
    order = QNHasSignature(Page->Buffer.data(), kQnSigIndex) ? kIndexOrder : kOtherOrder;
    Page->KindKnown = !Page->Dirty;
  }
  if (Page->UseOrder != order ||
      (Page != orders_[order].Newest &&
       useCounter_ - Page->LinkedAt > static_cast<std::uint32_t>(orders_[order].Count / 8))) {
    Unlink(Page);
    LinkNewest(Page, order);
  }
}

void TqnBufferManager::LinkNewest(TqnbmRAMPage* Page, int Order) {
  TUseOrder& o = orders_[Order];
  Page->Older = o.Newest;
  Page->Newer = nullptr;
  Page->LinkedAt = useCounter_;
  if (o.Newest != nullptr)
    o.Newest->Newer = Page;
  else
    o.Oldest = Page;
  o.Newest = Page;
  ++o.Count;
  Page->UseOrder = Order;
}

void TqnBufferManager::Unlink(TqnbmRAMPage* Page) {
  if (Page->UseOrder < 0) return;
  TUseOrder& o = orders_[Page->UseOrder];
  (Page->Older != nullptr ? Page->Older->Newer : o.Oldest) = Page->Newer;
  (Page->Newer != nullptr ? Page->Newer->Older : o.Newest) = Page->Older;
  Page->Older = Page->Newer = nullptr;
  --o.Count;
  Page->UseOrder = -1;
}

void TqnBufferManager::MarkDirty(TqnbmRAMPage* Page, TqnTransactionItem& T) {
  Page->Dirty = true;
  Page->KindKnown = false;
  Page->TransactionId = T.Id;
  Page->DirtySlot = T.Dirty.size();
  T.Dirty.push_back(Page);
}

void TqnBufferManager::MarkClean(TqnbmRAMPage* Page) {
  if (!Page->Dirty) return;
  if (TqnTransactionItem* t = Find(Page->TransactionId)) {
    std::vector<TqnbmRAMPage*>& list = t->Dirty;
    const std::size_t at = Page->DirtySlot;
    if (at < list.size() && list[at] == Page) {
      list[at] = list.back();
      list[at]->DirtySlot = at;
      list.pop_back();
    }
  }
  Page->Dirty = false;
  Page->TransactionId = 0;
}

void TqnBufferManager::Unassign(TqnbmRAMPage* Page) {
  if (Page->File != nullptr) {
    if (Page->Block == 0) headerPages_.erase(Page->File);
    HashRemove(Page);
  }
  Unlink(Page);
  MarkClean(Page);
  Page->File = nullptr;
  Page->Block = -1;
  recycled_.push_back(Page);
}

TqnbmRAMPage* TqnBufferManager::Evict(bool MayWrite) {
  TqnbmRAMPage* candidates[2] = {orders_[kOtherOrder].Oldest, orders_[kIndexOrder].Oldest};
  if (orders_[kOtherOrder].Count <= OtherReserve()) std::swap(candidates[0], candidates[1]);
  for (TqnbmRAMPage* page : candidates) {
    // Pages of a transaction whose folder left its path are never written: passed over.
    while (page != nullptr && page->Dirty && page->Stamp < threshold_) {
      const TqnTransactionItem* t = Find(page->TransactionId);
      if (t == nullptr || !t->FolderLeft) break;
      page = page->Newer;
    }
    if (page == nullptr || page->Stamp >= threshold_ || (page->Dirty && !MayWrite)) continue;
    if (page->Dirty) {
      // The transaction is larger than the cache: its changes go to the table files now, behind
      // before-images in its journal, so that its pages can be reused.
      TqnTransactionItem* t = Find(page->TransactionId);
      if (t == nullptr) continue;
      try {
        WriteEarly(*t, true);
      } catch (...) {
        // Its folder has gone: the request goes on with a page more (that transaction's next
        // change, or its commit, answers for it).
        if (!t->FolderLeft) throw;
        continue;
      }
      ++spills_;
    }
    Unlink(page);
    HashRemove(page);
    page->File = nullptr;
    page->Block = -1;
    return page;
  }
  return nullptr;
}

TqnbmRAMPage* TqnBufferManager::HeaderOf(const TqnFileInfo* File) const {
  if (lastHeader_ != nullptr && lastHeader_->File == File && lastHeader_->Block == 0) return lastHeader_;
  TqnbmRAMPage* page = Lookup(File, 0);
  if (page != nullptr) lastHeader_ = page;
  return page;
}

void TqnBufferManager::FreePage(TqnbmRAMPage* Page) {
  if (Page == lastHeader_) lastHeader_ = nullptr;
  ++freedPages_;
  const std::size_t at = Page->Slot;
  if (at + 1 != all_.size()) {
    all_[at] = std::move(all_.back());
    all_[at]->Slot = at;
  }
  all_.pop_back();
}

void TqnBufferManager::Shrink(bool MayWrite) {
  while (PageCount() > maxPages_) {
    if (!recycled_.empty()) {
      TqnbmRAMPage* p = recycled_.back();
      recycled_.pop_back();
      FreePage(p);
      continue;
    }
    TqnbmRAMPage* p = Evict(MayWrite);
    if (p == nullptr) return;
    FreePage(p);
  }
}

void TqnBufferManager::SetMaxPageCount(int Count) {
  TqnPadLockGuard g(lock_);
  maxPages_ = Count < 1 ? 1 : Count;
  Shrink(false);
}

TqnbmRAMPage* TqnBufferManager::ObtainPage(TqnFileInfo* File, std::int32_t Block, std::int32_t BlockSize,
                                           bool Spare) {
  TqnbmRAMPage* page = nullptr;
  if (PageCount() > maxPages_) Shrink(!Spare);
  if (!recycled_.empty()) {
    page = recycled_.back();
    recycled_.pop_back();
  } else if (PageCount() >= maxPages_) {
    // The least recently used block page that the current request has not touched.
    page = Evict(!Spare);
    if (page == nullptr && Spare) return nullptr;
  }
  if (page == nullptr) {
    // Every page belongs to the current request (or the cache is not full yet).
    all_.push_back(std::make_unique<TqnbmRAMPage>());
    page = all_.back().get();
    page->Slot = all_.size() - 1;
    peakPages_ = std::max(peakPages_, PageCount());
  }
  page->File = File;
  page->Block = Block;
  page->BlockSize = BlockSize;
  page->Buffer.resize(static_cast<std::size_t>(BlockSize));
  page->Dirty = false;
  page->KindKnown = false;
  page->TransactionId = 0;
  page->Stamp = 0;
  page->SaveGen = 0;
  HashInsert(page);
  if (Block == 0) {
    headerPages_[File] = page;
    knownFiles_.insert(File);
  } else
    LinkNewest(page, kOtherOrder);
  return page;
}

void TqnBufferManager::ReadHeader(TqnFileInfo* File, TqnbmRAMPage*& Page) {
  std::uint8_t head[20];
  QNPositionFile(File, 0);
  const std::size_t got = QNReadFile(File, sizeof head, head);
  const std::int32_t bs = got == sizeof head ? QNGetDword(head, qfhBlockSize) : 0;
  if (got != sizeof head || !QNHasSignature(head, kQnSigFileHeader) || QNGetDword(head, qfhNext) != -1 ||
      QNGetDword(head, qfhNumber) != 0 || !QNIsBlockSize(bs))
    QNStorageError(qnerrNotQuarnelFile, {File->Name});
  if (QNGetDword(head, qfhEncrypted) == 1) QNStorageError(qnerrEncryptedFile, {File->Name});
  std::vector<std::uint8_t> block(static_cast<std::size_t>(bs));
  QNPositionFile(File, 0);
  if (QNReadFile(File, block.size(), block.data()) != block.size()) QNStorageError(qnerrNotQuarnelFile, {File->Name});
  // The counts that every later step trusts must make sense before anything is read by them.
  const std::int32_t used = QNGetDword(block.data(), qfhBlocksUsed);
  const std::int32_t freed = QNGetDword(block.data(), qfhFreedCount);
  const std::int32_t firstFreed = QNGetDword(block.data(), qfhFirstFreed);
  if (QNGetDword(block.data(), qfhLog2BlockSize) != QNLog2BlockSize(bs) || used < 1 || used > QNMaxBlocks(bs) ||
      freed < 0 || freed >= used || (firstFreed != -1 && (firstFreed < 1 || firstFreed >= used)) ||
      (freed == 0) != (firstFreed == -1))
    QNStorageError(qnerrNotQuarnelFile, {File->Name});
  File->BlockSize = bs;
  File->Encrypted = false;
  Page = ObtainPage(File, 0, bs);
  std::memcpy(Page->Buffer.data(), block.data(), block.size());
}

void TqnBufferManager::MarkForUpdate(TqnbmRAMPage* Page, bool Appended, std::int32_t Offset, std::int32_t Length) {
  // Inside a savepoint the page's contents are kept first: the caller changes them next.
  if (saveDepth_ > 0 && Page->SaveGen != saveGen_) SavePage(Page, Offset, Length);
  // A page already dirty stays with the transaction that dirtied it.
  if (Page->Dirty) return;
  const std::uint32_t tid = Page->File->TransactionId;
  TqnTransactionItem* t = Find(tid);
  if (t == nullptr) QNStorageError(qnerrUnknownTransaction, {static_cast<long long>(tid)});
  if (t->FolderLeft) std::rethrow_exception(t->FolderLeft);
  const auto key = std::make_pair(static_cast<const TqnFileInfo*>(Page->File), Page->Block);
  if (Appended) {
    // A new block has no old contents to put back.
    auto at = std::find_if(t->Appended.begin(), t->Appended.end(), [&](const auto& a) { return a.first == Page->File; });
    if (at == t->Appended.end())
      t->Appended.emplace_back(Page->File, Page->Block);
    else
      at->second = std::min(at->second, Page->Block);
  } else if ((t->Mode == kQnTransFailSafe || t->UndoJournal) && t->Journal && !t->Decided &&
             !t->IsAppended(Page->File, Page->Block) && t->Journaled.count(key) == 0) {
    // The block counts as journaled only once its before-image is in the journal: when the
    // append fails (the disk full), the page stays clean and the next change journals it again.
    t->Journal->Append(Page->File->Name, Page->Block, Page->Buffer.data(), Page->BlockSize, true);
    t->Journaled.insert(key);
    t->Unflushed.push_back(key);
    t->JournalUnflushed = true;
  }
  MarkDirty(Page, *t);
}

void TqnBufferManager::SavePage(TqnbmRAMPage* Page, std::int32_t Offset, std::int32_t Length) {
  if (savedCount_ == saved_.size()) saved_.emplace_back();
  TSavedPage& s = saved_[savedCount_++];
  s.File = Page->File;
  s.Block = Page->Block;
  s.WasDirty = Page->Dirty;
  s.Offset = 0;
  s.MoveLength = -1;
  if (!s.WasDirty) {
    // Dropped whole on a rollback: nothing more of it needs keeping in this savepoint.
    s.Bytes.clear();
    Page->SaveGen = saveGen_;
    return;
  }
  const auto size = static_cast<std::int32_t>(Page->Buffer.size());
  if (Length < 0) {
    // The whole block may change from here: it is kept whole (block 0: its defined values), and
    // later changes in this savepoint need no copy.
    Offset = 0;
    Length = Page->Block == 0 ? std::min(size, kQnFileHeaderBytes) : size;
    Page->SaveGen = saveGen_;
  } else {
    Offset = std::clamp(Offset, 0, size);
    Length = std::clamp(Length, 0, size - Offset);
  }
  s.Offset = Offset;
  s.Bytes.assign(Page->Buffer.begin() + Offset, Page->Buffer.begin() + Offset + Length);
}

void TqnBufferManager::BeginSavepoint() {
  TqnPadLockGuard g(lock_);
  if (saveDepth_++ > 0) return;
  if (++saveGen_ == 0) {
    // The generations wrapped: no page may seem saved by the new one.
    for (auto& p : all_) p->SaveGen = 0;
    saveGen_ = 1;
  }
  savedCount_ = 0;
}

void TqnBufferManager::EndSavepoint() {
  TqnPadLockGuard g(lock_);
  if (saveDepth_ == 0 || --saveDepth_ > 0) return;
  savedCount_ = 0;
}

void TqnBufferManager::RollbackToSavepoint() {
  TqnPadLockGuard g(lock_);
  if (saveDepth_ == 0 || --saveDepth_ > 0) return;
  // Newest first: a block kept in parts and then whole gets the parts' older bytes last.
  for (std::size_t i = savedCount_; i-- > 0;) {
    const TSavedPage& s = saved_[i];
    TqnbmRAMPage* p = Lookup(s.File, s.Block);
    if (p == nullptr) {
      // Pages used in the request stay cached until it ends; a changed one that went anyway
      // cannot be put back, and the transaction must not be committed.
      if (s.WasDirty)
        for (auto& [id, t] : transactions_)
          if (s.File != nullptr && id == s.File->TransactionId) {
            try {
              QNStorageError(qnerrFileRead, {s.File->Name, EIO});
            } catch (...) {
              t->Broken = std::current_exception();
            }
          }
      continue;
    }
    if (s.WasDirty) {
      if (s.MoveLength > 0)
        std::memmove(p->Buffer.data() + s.MoveFrom, p->Buffer.data() + s.MoveTo, static_cast<std::size_t>(s.MoveLength));
      const std::size_t at = std::min(p->Buffer.size(), static_cast<std::size_t>(s.Offset));
      std::memcpy(p->Buffer.data() + at, s.Bytes.data(), std::min(p->Buffer.size() - at, s.Bytes.size()));
    } else {
      // What the disk holds (or, for a block appended by the request, nothing the file counts).
      Unassign(p);
    }
  }
  savedCount_ = 0;
}

std::uint8_t* TqnBufferManager::GetFileHeader(TqnFileInfo* File, bool ForUpdate) {
  TqnPadLockGuard g(lock_);
  if (!held_.empty()) CheckHeld(File);
  TqnbmRAMPage* page = HeaderOf(File);
  if (page == nullptr) {
    ++misses_;
    ReadHeader(File, page);
  } else {
    ++hits_;
  }
  if (ForUpdate) MarkForUpdate(page, false);
  Stamp(page);
  return page->Buffer.data();
}

void TqnBufferManager::PrepareBlockRead(TqnFileInfo* File, std::int32_t Block) {
  if (!held_.empty()) CheckHeld(File);
  if (File->BlockSize == 0 || HeaderOf(File) == nullptr) {
    TqnbmRAMPage* header = HeaderOf(File);
    if (header == nullptr) {
      ++misses_;
      ReadHeader(File, header);
      Stamp(header);
    }
  }
  if (Block < 0 || Block >= QNMaxBlocks(File->BlockSize)) QNStorageError(qnerrBadBlockNumber, {File->Name, Block});
}

void TqnBufferManager::ReadBlockParts(TqnFileInfo* File, std::int32_t Block, std::uint8_t* Head,
                                      std::int32_t HeadLength, std::int32_t Offset, std::int32_t Length,
                                      std::uint8_t* Part) {
  if (Block == 0) QNStorageError(qnerrBadBlockNumber, {File->Name, Block});
  TqnPadLockGuard g(lock_);
  PrepareBlockRead(File, Block);
  const std::int32_t bs = File->BlockSize;
  if (HeadLength < 0 || HeadLength > bs || Offset < 0 || Length < 0 || Offset > bs - Length)
    QNStorageError(qnerrInvalidParameter, {"ReadBlockParts", static_cast<long long>(Offset)});
  if (TqnbmRAMPage* page = Lookup(File, Block)) {
    ++hits_;
    Stamp(page);
    if (HeadLength > 0) std::memcpy(Head, page->Buffer.data(), static_cast<std::size_t>(HeadLength));
    std::memcpy(Part, page->Buffer.data() + Offset, static_cast<std::size_t>(Length));
    return;
  }
  ++misses_;
  const std::int64_t at = static_cast<std::int64_t>(Block) * bs;
  if (HeadLength == 0) {
    // The part alone, straight into the caller's buffer.
    QNReadFileExactAt(File, at + Offset, static_cast<std::size_t>(Length), Part);
    return;
  }
  // One read from the block's start: a second read costs more than the bytes between.
  const std::int32_t n = std::max(HeadLength, Offset + Length);
  if (scratch_.size() < static_cast<std::size_t>(n)) scratch_.resize(static_cast<std::size_t>(n));
  QNReadFileExactAt(File, at, static_cast<std::size_t>(n), scratch_.data());
  std::memcpy(Head, scratch_.data(), static_cast<std::size_t>(HeadLength));
  std::memcpy(Part, scratch_.data() + Offset, static_cast<std::size_t>(Length));
}

std::uint8_t* TqnBufferManager::GetBlock(TqnFileInfo* File, std::int32_t Block, bool ForUpdate) {
  if (Block == 0) return GetFileHeader(File, ForUpdate);
  TqnPadLockGuard g(lock_);
  return BlockPage(File, Block, ForUpdate)->Buffer.data();
}

TqnbmRAMPage* TqnBufferManager::BlockPage(TqnFileInfo* File, std::int32_t Block, bool ForUpdate) {
  PrepareBlockRead(File, Block);
  TqnbmRAMPage* page = Lookup(File, Block);
  if (page == nullptr) {
    ++misses_;
    page = ObtainPage(File, Block, File->BlockSize);
    const bool onward = File == lastMissFile_ && Block == lastMissBlock_ + 1;
    lastMissFile_ = File;
    lastMissBlock_ = Block;
    try {
      if (!onward || !ReadOnward(File, page))
        QNReadFileExactAt(File, static_cast<std::int64_t>(Block) * File->BlockSize, page->Buffer.size(),
                          page->Buffer.data());
    } catch (...) {
      Unassign(page);
      throw;
    }
  } else {
    ++hits_;
  }
  if (ForUpdate) MarkForUpdate(page, false);
  Stamp(page);
  return page;
}

std::uint8_t* TqnBufferManager::GetBlockHinted(TqnFileInfo* File, std::int32_t Block, TqnBlockHint& Hint) {
  TqnPadLockGuard g(lock_);
  // A page is never moved: one not freed since the hint was taken is the block's page while it
  // names the block (a page given to another block, or dropped, names that one or none).
  auto* page = static_cast<TqnbmRAMPage*>(Hint.Page);
  if (page != nullptr && Hint.Generation == freedPages_ && page->File == File && page->Block == Block &&
      held_.empty()) {
    ++hits_;
    Stamp(page);
    return page->Buffer.data();
  }
  if (Block == 0) return GetFileHeader(File, false);
  page = BlockPage(File, Block, false);
  Hint.Page = page;
  Hint.Generation = freedPages_;
  return page->Buffer.data();
}

bool TqnBufferManager::ReadOnward(TqnFileInfo* File, TqnbmRAMPage* Page) {
  // Only inside a request, where the page asked for cannot be taken for the ones that follow.
  if (depth_ == 0) return false;
  const TqnbmRAMPage* header = HeaderOf(File);
  if (header == nullptr) return false;
  const std::int32_t used = QNGetDword(header->Buffer.data(), qfhBlocksUsed);
  const std::int32_t bs = File->BlockSize;
  // The blocks that follow up to the first one cached (which may be newer than the disk).
  // A small cache reads less on (none below 16 pages): what is read on must stay until used.
  const std::int32_t most = std::min(kReadOnward, maxPages_ / 8);
  std::int32_t n = 1;
  while (n < most && Page->Block + n < used && Lookup(File, Page->Block + n) == nullptr) ++n;
  if (n == 1) return false;
  Stamp(Page);
  const std::size_t want = static_cast<std::size_t>(n) * static_cast<std::size_t>(bs);
  if (scratch_.size() < want) scratch_.resize(want);
  QNPositionFile(File, static_cast<std::int64_t>(Page->Block) * bs);
  const std::size_t got = QNReadFile(File, want, scratch_.data());
  if (got < static_cast<std::size_t>(bs)) QNStorageError(qnerrFileReadExact, {File->Name, static_cast<long long>(bs)});
  std::memcpy(Page->Buffer.data(), scratch_.data(), static_cast<std::size_t>(bs));
  for (std::int32_t k = 1; k < n && static_cast<std::size_t>(k + 1) * static_cast<std::size_t>(bs) <= got; ++k) {
    // Pages that can be had without writing anything; none left ends the reading on.
    TqnbmRAMPage* p = ObtainPage(File, Page->Block + k, bs, true);
    if (p == nullptr) break;
    ++misses_;
    std::memcpy(p->Buffer.data(), scratch_.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(bs),
                static_cast<std::size_t>(bs));
  }
  return true;
}

std::uint8_t* TqnBufferManager::AddBlock(TqnFileInfo* File, std::int32_t Block) {
  TqnPadLockGuard g(lock_);
  if (!held_.empty()) CheckHeld(File);
  if (File->BlockSize == 0) QNStorageError(qnerrFileInfoInvalid);
  if (Block <= 0 || Block >= QNMaxBlocks(File->BlockSize)) QNStorageError(qnerrBadBlockNumber, {File->Name, Block});
  TqnbmRAMPage* page = Lookup(File, Block);
  if (page == nullptr) page = ObtainPage(File, Block, File->BlockSize);
  MarkForUpdate(page, true);
  // A new block never carries stale memory to disk.
  std::fill(page->Buffer.begin(), page->Buffer.end(), std::uint8_t(0));
  Stamp(page);
  return page->Buffer.data();
}

std::uint8_t* TqnBufferManager::AddFileHeader(TqnFileInfo* File, std::int32_t BlockSize) {
  TqnPadLockGuard g(lock_);
  if (!held_.empty()) CheckHeld(File);
  if (!QNIsBlockSize(BlockSize)) QNStorageError(qnerrInvalidBlockSize, {BlockSize});
  TqnbmRAMPage* page = Lookup(File, 0);
  if (page != nullptr && page->BlockSize != BlockSize) {
    Unassign(page);
    page = nullptr;
  }
  File->BlockSize = BlockSize;
  if (page == nullptr) page = ObtainPage(File, 0, BlockSize);
  MarkForUpdate(page, true);
  std::fill(page->Buffer.begin(), page->Buffer.end(), std::uint8_t(0));
  Stamp(page);
  return page->Buffer.data();
}

void TqnBufferManager::DirtyBlock(TqnFileInfo* File, std::int32_t Block) {
  TqnPadLockGuard g(lock_);
  if (!held_.empty()) CheckHeld(File);
  if (TqnbmRAMPage* page = Lookup(File, Block)) MarkForUpdate(page, false);
}

void TqnBufferManager::DirtyMove(TqnFileInfo* File, std::int32_t Block, std::int32_t From, std::int32_t Length,
                                 std::int32_t To) {
  TqnPadLockGuard g(lock_);
  if (!held_.empty()) CheckHeld(File);
  TqnbmRAMPage* page = Lookup(File, Block);
  if (page == nullptr) return;
  const auto size = static_cast<std::int32_t>(page->Buffer.size());
  if (saveDepth_ == 0 || !page->Dirty || page->SaveGen == saveGen_ || From < 0 || To < 0 || Length < 0 ||
      From > size - Length || To > size - Length || From == To) {
    MarkForUpdate(page, false, 0, From == To && Length >= 0 ? 0 : -1);
    return;
  }
  // What the move back cannot give back: the bytes past the source it writes over (moving up),
  // or those before it (moving down), gaps between included.
  const std::int32_t lo = To > From ? From + Length : To;
  const std::int32_t hi = To > From ? To + Length : From;
  if (savedCount_ == saved_.size()) saved_.emplace_back();
  TSavedPage& s = saved_[savedCount_++];
  s.File = page->File;
  s.Block = page->Block;
  s.WasDirty = true;
  s.Offset = lo;
  s.Bytes.assign(page->Buffer.begin() + lo, page->Buffer.begin() + hi);
  s.MoveFrom = From;
  s.MoveTo = To;
  s.MoveLength = Length;
}

void TqnBufferManager::DirtyRange(TqnFileInfo* File, std::int32_t Block, std::int32_t Offset, std::int32_t Length) {
  TqnPadLockGuard g(lock_);
  if (!held_.empty()) CheckHeld(File);
  if (TqnbmRAMPage* page = Lookup(File, Block)) MarkForUpdate(page, false, Offset, std::max(Length, 0));
}

void TqnBufferManager::RemoveFile(TqnFileInfo* File) {
  TqnPadLockGuard g(lock_);
  knownFiles_.erase(File);
  for (auto& p : all_)
    if (p->File == File) Unassign(p.get());
  for (auto& [id, t] : transactions_) {
    t->ToFlush.erase(File);
    for (auto it = t->Journaled.begin(); it != t->Journaled.end();)
      it = it->first == File ? t->Journaled.erase(it) : std::next(it);
    std::erase_if(t->Appended, [File](const auto& a) { return a.first == File; });
  }
  // The folder's spare commit journal goes with the last file of the folder that is cached.
  if (spareJournals_.empty() || !File->FolderKnown) return;
  auto spare = spareJournals_.find(File->FolderKey);
  if (spare == spareJournals_.end()) return;
  for (const auto& [f, p] : headerPages_)
    if (f->FolderKnown && f->FolderKey == File->FolderKey) return;
  try {
    spare->second->Discard();
  } catch (...) {
  }
  spareJournals_.erase(spare);
}

bool TqnBufferManager::THeldJournal::Names(const std::string& Table) const {
  if (!Readable) return true;
  for (const std::string& n : Named)
    if (TableOf(n) == Lower(Table)) return true;
  return false;
}

std::uint64_t TqnBufferManager::Hold(TqnTransactionItem& T) {
  auto h = std::make_unique<THeldJournal>();
  h->Journal = std::move(T.Journal);
  // The files its images can name: those the transaction changed, and every file of the
  // journal's folder open here.
  const TqnFileKey folder = h->Journal->Folder()->Key();
  std::set<const TqnFileInfo*> files(T.ToFlush.begin(), T.ToFlush.end());
  for (const auto& [f, b] : T.Journaled) files.insert(f);
  for (const auto& [f, b] : T.Appended) files.insert(f);
  for (const TqnbmRAMPage* p : T.Dirty) files.insert(p->File);
  for (const TqnFileInfo* f : knownFiles_)
    if (f->FolderKnown && f->FolderKey == folder) files.insert(f);
  for (const TqnFileInfo* f : files)
    if (f->KeyKnown && f->FolderKnown && f->FolderKey == folder) h->Targets[Lower(f->Leaf)] = f->Key;
  // What it keeps shut: the files its images name (all of those when it cannot be read).
  std::vector<std::string> named;
  h->Readable = h->Journal->NamedFiles(named);
  for (const std::string& n : named) h->Named.insert(Lower(QNNamePart(n)));
  for (const auto& [name, key] : h->Targets)
    if (!h->Readable || h->Named.count(name) != 0) h->Files.insert(key);
  QNNoteHeldJournal(folder, h->Journal->FileName(), h->Readable ? &h->Named : nullptr);
  held_[++heldCount_] = std::move(h);
  return heldCount_;
}

void TqnBufferManager::CheckHeld(TqnFileInfo* File) {
  if (!File->KeyKnown) return;
  for (auto it = held_.begin(); it != held_.end();) {
    if (it->second->Files.count(File->Key) == 0) {
      ++it;
      continue;
    }
    // Space may have come back: the recovery is tried again, and until it succeeds nobody
    // reads or writes the files it would put right.
    knownFiles_.insert(File);
    const std::uint64_t key = (it++)->first;
    const std::string journal = held_.at(key)->Journal->Name();
    if (!ReleaseHeld(key)) QNStorageError(qnerrJournalWaits, {journal});
  }
}

void TqnBufferManager::RecoverHeldFor(const TqnFolder& Folder, const std::string& Table) {
  TqnPadLockGuard g(lock_);
  for (auto it = held_.begin(); it != held_.end();) {
    const THeldJournal& h = *it->second;
    if (h.Journal->Folder()->Key() != Folder.Key() || !h.Names(Table)) {
      ++it;
      continue;
    }
    const std::uint64_t key = (it++)->first;
    const std::string journal = held_.at(key)->Journal->Name();
    if (!ReleaseHeld(key)) QNStorageError(qnerrJournalWaits, {journal});
  }
}

bool TqnBufferManager::RecoverHeldIn(const TqnFileKey& Folder) {
  TqnPadLockGuard g(lock_);
  bool none = true;
  for (auto it = held_.begin(); it != held_.end();) {
    const std::uint64_t key = (it++)->first;
    if (held_.at(key)->Journal->Folder()->Key() == Folder && !ReleaseHeld(key)) none = false;
  }
  return none;
}

bool TqnBufferManager::ReleaseHeld(std::uint64_t Key) {
  THeldJournal& h = *held_.at(Key);
  if (!RecoverHeld(h)) return false;
  // What the cache still holds of those files may predate the recovery (blocks written early
  // and then rolled back stay cached, clean).
  for (auto& p : all_)
    if (p->File != nullptr && !p->Dirty && p->File->KeyKnown && h.Files.count(p->File->Key) != 0) Unassign(p.get());
  QNForgetHeldJournal(h.Journal->Folder()->Key(), h.Journal->FileName());
  held_.erase(Key);
  return true;
}

bool TqnBufferManager::RecoverHeld(THeldJournal& H) {
  // Recovery as at the next open, but through the journal's own handle, and into the files of
  // the journal's folder reached through the folder's handle, so it works wherever the folder
  // has gone since.  A file open here for writing is written through this cache's record of it
  // (a second handle of a table file that this process holds open alone is refused), also one
  // whose pages a rollback dropped.
  std::vector<TqnJournalImage> images;
  if (!H.Journal->ImagesToApply(images)) return false;
  const TqnFolder& folder = *H.Journal->Folder();
  std::map<TqnFileKey, TqnFileInfo*> open;
  for (TqnFileInfo* f : knownFiles_)
    if (QNIsFileOpen(f) && f->KeyKnown && (f->ReadWrite || open.count(f->Key) == 0)) open[f->Key] = f;
  std::map<std::string, TqnFileHandle> opened;  // by the file's name in the folder
  std::set<std::string> gone;                   // names the folder no longer holds
  std::set<TqnFileInfo*> touched;
  // Whether the file open as h (or File) may take images of Size: a table file of that block
  // size, or one whose header never reached the disk.
  auto tableOfSize = [&](TqnFileHandle h, std::int32_t Size) {
    std::uint8_t head[16] = {};
    std::size_t done = 0;
    std::int64_t fileSize = 0;
    return routines_->Size(h, fileSize) == 0 &&
           (fileSize < 4 || (routines_->ReadAt(h, 0, head, sizeof head, done) == 0 && done >= 4 &&
                             QNHasSignature(head, kQnSigFileHeader) &&
                             (done < sizeof head || QNGetDword(head, qfhBlockSize) == Size)));
  };
  bool ok = true;
  try {
    for (const TqnJournalImage& im : images) {
      const std::string name = QNNamePart(im.Path);
      const std::string key = Lower(name);
      const auto size = static_cast<std::int32_t>(im.Bytes.size());
      const std::int64_t at = static_cast<std::int64_t>(im.Block) * size;
      if (gone.count(key) != 0) continue;
      const auto target = H.Targets.find(key);
      if (target != H.Targets.end()) {
        if (auto f = open.find(target->second); f != open.end() && f->second->ReadWrite) {
          // A record whose header was not read yet is looked at on disk first.
          if (f->second->BlockSize != 0 ? f->second->BlockSize != size : !tableOfSize(f->second->Handle, size)) {
            ok = false;
            break;
          }
          QNWriteFileExactAt(f->second, at, im.Bytes.size(), im.Bytes.data());
          touched.insert(f->second);
          continue;
        }
      }
      auto h = opened.find(key);
      if (h == opened.end()) {
        // A file the folder no longer holds was deleted since: it needs nothing.
        if (!routines_->ExistsIn(folder.Handle(), name)) {
          gone.insert(key);
          continue;
        }
        TqnFileHandle fh = kQnNoHandle;
        // Shared: this process alone writes in the folder, and may hold the file open to read.
        if (routines_->OpenIn(folder.Handle(), name, true, true, false, false, fh) != 0) {
          ok = false;
          break;
        }
        h = opened.emplace(key, fh).first;
        // The file at that name must be the one the transaction changed: another file made
        // under its name since never receives its images.
        TqnFileKey is;
        ok = tableOfSize(fh, size) &&
             (target == H.Targets.end() || (routines_->Identity(fh, is) == 0 && is == target->second));
        if (!ok) break;
      }
      std::size_t done = 0;
      if (routines_->WriteAt(h->second, at, im.Bytes.data(), im.Bytes.size(), done) != 0 || done != im.Bytes.size()) {
        ok = false;
        break;
      }
    }
    for (TqnFileInfo* f : touched)
      if (ok) QNFlushFile(f);
    for (auto& [name, h] : opened)
      if (ok && routines_->Flush(h) != 0) ok = false;
  } catch (...) {
    ok = false;
  }
  for (auto& [name, h] : opened) routines_->Close(h);
  return ok && H.Journal->Spend();
}

int TqnBufferManager::HeldJournalCount() const {
  TqnPadLockGuard g(lock_);
  return static_cast<int>(held_.size());
}

bool TqnBufferManager::IsCached(const TqnFileInfo* File, std::int32_t Block) const {
  TqnPadLockGuard g(lock_);
  return Lookup(File, Block) != nullptr;
}

void TqnBufferManager::BeginRequest() {
  // The lock is held until the matching EndRequest: the operations of the request then enter
  // it again without waiting, and no other thread changes the cache in the middle of it.
  lock_.Lock();
  if (depth_++ == 0) threshold_ = useCounter_ + 1;
}

void TqnBufferManager::EndRequest() {
  // Only the thread inside the bracket ends it.
  if (!lock_.HeldByCurrentThread() || depth_ == 0) return;
  if (--depth_ == 0) {
    threshold_ = kNoThreshold;
    // Pages the request needed beyond the limit go; dirty ones wait for the next page asked
    // for, which may write them (an error here would have nobody to report it to).
    Shrink(false);
  }
  lock_.Unlock();
}

// ---- Transactions -------------------------------------------------------------------------

TqnTransactionItem* TqnBufferManager::Find(std::uint32_t TransId) const {
  auto it = transactions_.find(TransId);
  return it == transactions_.end() ? nullptr : it->second.get();
}

bool TqnBufferManager::IsTransactionKnown(std::uint32_t TransId) const {
  TqnPadLockGuard g(lock_);
  return Find(TransId) != nullptr;
}

std::vector<TqnbmRAMPage*> TqnBufferManager::DirtyPages(std::uint32_t TransId) const {
  // Header pages first, then the other blocks in file and block order.
  const TqnTransactionItem* t = Find(TransId);
  if (t == nullptr) return {};
  // Sorted by keys taken once from the pages, so that the sort does not go to every page's
  // bookkeeping at every comparison (a file's block appears once: the order is total).
  struct TKey {
    bool NotHeader;
    std::uintptr_t File;
    std::int32_t Block;
    TqnbmRAMPage* Page;
  };
  std::vector<TKey> keys;
  keys.reserve(t->Dirty.size());
  for (TqnbmRAMPage* p : t->Dirty)
    keys.push_back({p->Block != 0, reinterpret_cast<std::uintptr_t>(p->File), p->Block, p});
  std::sort(keys.begin(), keys.end(), [](const TKey& a, const TKey& b) {
    if (a.NotHeader != b.NotHeader) return !a.NotHeader;
    if (a.File != b.File) return a.File < b.File;
    return a.Block < b.Block;
  });
  std::vector<TqnbmRAMPage*> out;
  out.reserve(keys.size());
  for (const TKey& k : keys) out.push_back(k.Page);
  return out;
}

int TqnBufferManager::DirtyPageCount(std::uint32_t TransId) const {
  TqnPadLockGuard g(lock_);
  return static_cast<int>(DirtyPages(TransId).size());
}

void TqnBufferManager::StartTransaction(std::uint32_t TransId, bool FailSafe, const TqnFolderRef& Folder,
                                        const std::string& JournalName) {
  TqnPadLockGuard g(lock_);
  if (Find(TransId) != nullptr) return;
  auto t = std::make_unique<TqnTransactionItem>();
  t->Id = TransId;
  t->Mode = FailSafe ? kQnTransFailSafe : kQnTransNormal;
  if (FailSafe) t->Journal = std::make_unique<TqnJournal>(Folder, WithJournalExtension(JournalName), *routines_);
  transactions_[TransId] = std::move(t);
}

void TqnBufferManager::StartTransaction(std::uint32_t TransId, bool FailSafe, const std::string& JournalPath) {
  TqnFolderRef folder;
  if (FailSafe) folder = TqnFolder::Open(QNFolderPart(JournalPath), *routines_);
  StartTransaction(TransId, FailSafe, folder, QNNamePart(JournalPath));
}

std::string TqnBufferManager::CommitJournalName(std::uint32_t TransId) const {
  return "QNC" + std::to_string(static_cast<long>(::getpid())) + "_" + std::to_string(TransId) + "." +
         kQnJournalExtension;
}

std::unique_ptr<TqnJournal> TqnBufferManager::TakeCommitJournal(TqnTransactionItem& T,
                                                                 const std::vector<TqnbmRAMPage*>& Pages) {
  // Kept open since an earlier commit in the very directory of these files, wherever that lies
  // now: it is taken without a look at any path.
  const TqnFileInfo* file = Pages.front()->File;
  if (auto spare = spareJournals_.find(file->FolderKey); file->FolderKnown && spare != spareJournals_.end()) {
    std::unique_ptr<TqnJournal> j = std::move(spare->second);
    spareJournals_.erase(spare);
    return j;
  }
  CheckFolder(T, file);
  // Beside the tables, in their folder: recovery looks for a table's journals there only.
  // Nothing relies on the journal before its records are flushed (MarkComplete does that, and
  // makes its name durable): it is made without a flush of its own.
  return std::make_unique<TqnJournal>(file->Folder, CommitJournalName(T.Id), *routines_, false);
}

void TqnBufferManager::CheckFolder(TqnTransactionItem& T, const TqnFileInfo* File) {
  if (!File->Folder->Gone()) return;
  try {
    QNStorageError(qnerrPathNotFound, {File->Folder->Path()});
  } catch (...) {
    T.FolderLeft = std::current_exception();
    if (!T.Broken) T.Broken = T.FolderLeft;
    throw;
  }
}

void TqnBufferManager::EndCommitJournal(TqnTransactionItem& T) {
  if (!T.Reusable) {
    // It holds before-images too: spent before it is deleted, it never undoes this commit.
    T.Journal->Retire();
    return;
  }
  // The tables are written and flushed: state 0 makes the journal's after-images inert, and
  // that is flushed before anything else can change the tables.
  T.Journal->Reset();
  std::unique_ptr<TqnJournal>& slot = spareJournals_[T.Journal->Folder()->Key()];
  if (slot) {
    try {
      slot->Discard();
    } catch (...) {
    }
  }
  slot = std::move(T.Journal);
}

void TqnBufferManager::CheckOneFolder(const TqnTransactionItem& T, const std::vector<TqnbmRAMPage*>& Pages) const {
  if (!T.Journal || Pages.empty()) return;
  const TqnFileKey& folder = T.Journal->Folder()->Key();
  // The pages come sorted by file (DirtyPages): each file's folder is looked at once.
  const TqnFileInfo* checked = nullptr;
  for (const TqnbmRAMPage* p : Pages) {
    if (p->File == checked) continue;
    if (!p->File->Folder || p->File->Folder->Key() != folder)
      QNStorageError(qnerrInvalidParameter, {"Commit", static_cast<long long>(T.Id)});
    checked = p->File;
  }
}

void TqnBufferManager::JournalDiskImages(TqnTransactionItem& T, const std::vector<TqnbmRAMPage*>& Pages) {
  // What the disk holds now under each changed block: a block past the end of its file was
  // appended and needs none.
  std::vector<std::uint8_t> disk;
  for (const TqnbmRAMPage* p : Pages) {
    const auto key = std::make_pair(static_cast<const TqnFileInfo*>(p->File), p->Block);
    if (T.IsAppended(p->File, p->Block) || T.Journaled.count(key) != 0) continue;
    disk.resize(static_cast<std::size_t>(p->BlockSize));
    std::size_t done = 0;
    const int e = p->File->Routines->ReadAt(p->File->Handle, static_cast<std::int64_t>(p->Block) * p->BlockSize,
                                            disk.data(), disk.size(), done);
    if (e != 0) QNStorageError(qnerrFileRead, {p->File->Name, e});
    // Journaled only once the append has succeeded: a block whose before-image is not in the
    // journal is never written early.
    if (done == disk.size()) {
      T.Journal->Append(p->File->Name, p->Block, disk.data(), p->BlockSize, true);
      T.Unflushed.push_back(key);
      T.JournalUnflushed = true;
    }
    T.Journaled.insert(key);
  }
}

void TqnBufferManager::ForgetUnflushed(TqnTransactionItem& T) {
  // No block of them has been written early (that waits for the flush), so the disk still
  // holds what they were: the next early write journals them again from there.
  for (const auto& key : T.Unflushed) T.Journaled.erase(key);
  T.Unflushed.clear();
  T.JournalUnflushed = true;
}

void TqnBufferManager::FlushJournal(TqnTransactionItem& T) {
  try {
    T.Journal->Flush();
  } catch (...) {
    ForgetUnflushed(T);
    throw;
  }
  T.Unflushed.clear();
  T.JournalUnflushed = false;
}

template <class Fn>
void TqnBufferManager::WriteBlocks(const std::vector<TqnbmRAMPage*>& Pages, Fn&& Written) {
  // Blocks that follow each other in a file go in one write (the pages come sorted by file and
  // block), gathered from their pages: a write call costs far more than a few more pieces.
  constexpr std::size_t kMostBytes = 256 * 1024;
  std::size_t i = 0;
  while (i < Pages.size()) {
    TqnbmRAMPage* first = Pages[i];
    const std::size_t bs = first->Buffer.size();
    std::size_t j = i + 1;
    while (j < Pages.size() && (j - i + 1) * bs <= kMostBytes && Pages[j]->File == first->File &&
           Pages[j]->Block == Pages[j - 1]->Block + 1 && Pages[j]->Buffer.size() == bs)
      ++j;
    const std::int64_t at = static_cast<std::int64_t>(first->Block) * first->BlockSize;
    if (j - i == 1) {
      QNWriteFileExactAt(first->File, at, bs, first->Buffer.data());
    } else {
      run_.clear();
      for (std::size_t k = i; k < j; ++k) run_.push_back({Pages[k]->Buffer.data(), bs});
      QNWriteFileGatherAt(first->File, at, run_.data(), run_.size());
    }
    for (std::size_t k = i; k < j; ++k) Written(Pages[k]);
    i = j;
  }
}

void TqnBufferManager::WritePages(TqnTransactionItem& T, const std::vector<TqnbmRAMPage*>& Pages, bool Flush) {
  WriteBlocks(Pages, [&](TqnbmRAMPage* p) {
    T.ToFlush.insert(p->File);
    MarkClean(p);
  });
  if (Flush) FlushWritten(T);
}

void TqnBufferManager::FlushWritten(TqnTransactionItem& T) {
  while (!T.ToFlush.empty()) {
    try {
      QNFlushFile(*T.ToFlush.begin());
    } catch (...) {
      // Blocks written early since the table's last flush may be lost, and nothing in RAM or
      // in the journal holds them any more: the transaction can only be rolled back.  (After
      // the decision the journal holds every block written, and the commit is replayed.)
      // Blocks a commit wrote in place are still dirty in RAM: a retry writes them again.
      if (!T.Decided && T.ChangesWritten) T.Broken = std::current_exception();
      throw;
    }
    T.ToFlush.erase(T.ToFlush.begin());
  }
}

bool TqnBufferManager::InPlace(const TqnTransactionItem& T, const TqnbmRAMPage* Page) const {
  // Not in a file the transaction created: its header is written by the journal only, and
  // recovery writes no image into a file that has bytes but no header.
  const std::int32_t first = T.FirstAppended(Page->File);
  return first > 0 && Page->Block >= first;
}

void TqnBufferManager::DropPages(std::uint32_t TransId) {
  for (TqnbmRAMPage* p : DirtyPages(TransId)) Unassign(p);
}

void TqnBufferManager::Commit(std::uint32_t TransId) {
  TqnPadLockGuard g(lock_);
  TqnTransactionItem* t = Find(TransId);
  if (t == nullptr) return;
  const std::vector<TqnbmRAMPage*> pages = DirtyPages(TransId);
  if (!t->Decided) {
    if (t->Broken) std::rethrow_exception(t->Broken);
    if (pages.empty() && !t->Journal) {
      transactions_.erase(TransId);
      return;
    }
    // Even with nothing left to write the journal is marked complete first: a journal of
    // before-images left behind by a failed deletion would undo the committed early writes.
    if (!t->Journal) {
      t->Journal = TakeCommitJournal(*t, pages);
      t->Reusable = true;
    }
    CheckOneFolder(*t, pages);
    // Blocks appended by the transaction go to the table files in place: the end of each file
    // that its committed header counts lies before them, so until the journal says the
    // transaction is committed nothing reads them, and after a crash before that they lie
    // past the end the restored header counts.  Their pages stay dirty until the commit is
    // decided: a commit that fails before that writes them again or drops them.
    std::vector<TqnbmRAMPage*> journaled, inPlace;
    journaled.reserve(pages.size());
    for (TqnbmRAMPage* p : pages) (InPlace(*t, p) ? inPlace : journaled).push_back(p);
    WriteBlocks(inPlace, [t](TqnbmRAMPage* p) { t->ToFlush.insert(p->File); });
    // Blocks written early to make room, and the appended ones just written, must be on disk
    // before the journal says the transaction is committed (its after-images do not hold them).
    FlushWritten(*t);
    for (TqnbmRAMPage* p : journaled)
      t->Journal->Append(p->File->Name, p->Block, p->Buffer.data(), p->BlockSize, false);
    try {
      t->Journal->MarkComplete();
    } catch (...) {
      ForgetUnflushed(*t);
      throw;
    }
    t->Unflushed.clear();
    t->Decided = true;
  }
  // From here the transaction is committed: a failure leaves the journal to be replayed.  The
  // appended blocks are on disk already.
  std::vector<TqnbmRAMPage*> rest;
  rest.reserve(pages.size());
  for (TqnbmRAMPage* p : pages) {
    if (InPlace(*t, p))
      MarkClean(p);
    else
      rest.push_back(p);
  }
  WritePages(*t, rest);
  EndCommitJournal(*t);
  transactions_.erase(TransId);
}

void TqnBufferManager::CommitChanges(std::uint32_t TransId) {
  TqnPadLockGuard g(lock_);
  if (TqnTransactionItem* t = Find(TransId)) WriteEarly(*t, false);
}

void TqnBufferManager::WriteEarly(TqnTransactionItem& T, bool OutsideRequest) {
  TqnTransactionItem* t = &T;
  const std::vector<TqnbmRAMPage*> dirty = DirtyPages(T.Id);
  // Pages handed out in the current request may still be changed after they were taken for
  // update: only the others are final enough to be written when room is made.
  std::vector<TqnbmRAMPage*> pages;
  if (OutsideRequest) {
    for (TqnbmRAMPage* p : dirty)
      if (p->Stamp < threshold_) pages.push_back(p);
  } else {
    pages = dirty;
  }
  if (pages.empty()) return;
  // Written early, blocks are undone from a journal in their folder: it must still be there.
  CheckFolder(T, pages.front()->File);
  if (!t->Decided) {
    if (t->Mode == kQnTransNormal && !t->UndoJournal) {
      if (!t->Journal)
        t->Journal = std::make_unique<TqnJournal>(pages.front()->File->Folder, CommitJournalName(T.Id), *routines_);
      // Every dirty page gets its before-image now: from here on only pages dirtied later do.
      CheckOneFolder(*t, dirty);
      JournalDiskImages(*t, dirty);
      t->UndoJournal = true;
    } else {
      // Blocks whose before-images a failed flush may have lost are journaled again.
      JournalDiskImages(*t, pages);
    }
    CheckOneFolder(*t, pages);
    // The before-images must be on disk before the blocks they can undo are overwritten.
    if (t->JournalUnflushed || !OutsideRequest) FlushJournal(*t);
  }
  t->ChangesWritten = true;
  WritePages(*t, pages, !OutsideRequest);
}

bool TqnBufferManager::IsDecided(std::uint32_t TransId) const {
  TqnPadLockGuard g(lock_);
  const TqnTransactionItem* t = Find(TransId);
  return t != nullptr && t->Decided;
}

void TqnBufferManager::DiscardChanges(std::uint32_t TransId) {
  TqnPadLockGuard g(lock_);
  DropPages(TransId);
}

bool TqnBufferManager::Rollback(std::uint32_t TransId) {
  TqnPadLockGuard g(lock_);
  TqnTransactionItem* t = Find(TransId);
  if (t == nullptr) return false;
  if (t->Decided) {
    // The journal already says "committed": the commit is finished instead, by replaying the
    // journal (a write of the commit that seemed done may have been lost with a failed
    // flush).  Failing that, the journal is held: its files wait for it, and the next open
    // replays it.  The replay goes through the handles of the journal and of the files.
    const std::string name = t->Journal->Name();
    const std::uint64_t held = Hold(*t);
    DropPages(TransId);
    transactions_.erase(TransId);
    if (!ReleaseHeld(held)) QNStorageError(qnerrJournalWaits, {name});
    return true;
  }
  if (t->Journal && (t->ChangesWritten || !t->Journal->Spend())) {
    // Blocks written early are put back from the journal's before-images, read through its
    // handle and written through the files' (so wherever their folder has gone since).  A
    // journal whose tables were never written goes (spent first, so that it can never be
    // applied over a later commit).  A journal that cannot be undone, or neither spent nor
    // deleted, stays held: its files are neither read nor written until it has been recovered
    // (tried again at their next access, and by the next open after a crash).  Either way the
    // transaction ends; blocks that could not be put back are answered with the error.
    const bool written = t->ChangesWritten;
    const std::string name = t->Journal->Name();
    const std::uint64_t held = Hold(*t);
    DropPages(TransId);
    transactions_.erase(TransId);
    if (!ReleaseHeld(held) && written) QNStorageError(qnerrJournalWaits, {name});
    return false;
  }
  DropPages(TransId);
  transactions_.erase(TransId);
  return false;
}

}  // namespace tw::dbengine
