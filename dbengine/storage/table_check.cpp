// The table checker.
#include "dbengine/storage/table_check.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "dbengine/storage/blobs.h"
#include "dbengine/storage/block_access.h"
#include "dbengine/storage/btree_index.h"
#include "dbengine/storage/btree_node.h"
#include "dbengine/storage/data_blocks.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/key_compare.h"
#include "dbengine/storage/table_file.h"
#include "platform/rtl/win1252.h"

namespace tw::dbengine {

namespace {

std::string Str(std::int64_t v) { return std::to_string(v); }

// The blocks of one file and who uses them.
class FileCheck {
 public:
  FileCheck(TqnFileInfo* File, std::vector<std::string>& Faults) : f_(File), bm_(QNManagerOf(File)), faults_(Faults) {}

  bool Open() {
    try {
      h_ = bm_.GetFileHeader(f_, false);
      bs_ = f_->BlockSize;
      log2_ = QNLog2Of(f_, h_);
      used_ = QNBlocksUsed(f_, h_);
    } catch (const Exception& e) {
      Fault("block 0: " + e.Message());
      return false;
    }
    owner_.assign(static_cast<std::size_t>(used_), std::string());
    owner_[0] = "file header";
    return true;
  }

  void Fault(const std::string& text) {
    if (faults_.size() < 1000) faults_.push_back(f_->Name + ": " + text);
  }
  bool InRange(std::int32_t b) const { return b >= 1 && b < used_; }
  // Records that Block belongs to What; false (with a fault) when it cannot.
  bool Claim(std::int32_t b, const std::string& what) {
    if (!InRange(b)) {
      Fault(what + " names block " + Str(b) + ", outside the file");
      return false;
    }
    std::string& o = owner_[static_cast<std::size_t>(b)];
    if (!o.empty()) {
      Fault("block " + Str(b) + " is used as " + o + " and as " + what);
      return false;
    }
    o = what;
    return true;
  }
  bool Claimed(std::int32_t b) const { return !owner_[static_cast<std::size_t>(b)].empty(); }
  const std::uint8_t* Block(std::int32_t b) { return bm_.GetBlock(f_, b, false); }
  std::int32_t Dword(int n) const { return QNGetDword(h_, n); }

  void CheckFreeList() {
    std::int32_t b = Dword(qfhFirstFreed);
    std::int32_t n = 0;
    while (b != -1) {
      if (!Claim(b, "freed block")) return;
      const std::uint8_t* blk = Block(b);
      if (!QNHasSignature(blk, kQnSigDead) || QNGetDword(blk, qbhNumber) != b) {
        Fault("freed block " + Str(b) + " is not marked DEAD with its own number");
        return;
      }
      ++n;
      b = QNGetDword(blk, qbhNext);
    }
    if (n != Dword(qfhFreedCount)) Fault("freed block count is " + Str(Dword(qfhFreedCount)) + ", the list holds " + Str(n));
  }

  void CheckStream(std::int32_t first) {
    std::int32_t b = first;
    while (b != -1) {
      if (!Claim(b, "dictionary stream")) return;
      const std::uint8_t* blk = Block(b);
      if (!QNHasSignature(blk, kQnSigStream) || QNGetDword(blk, qbhNumber) != b) {
        Fault("stream block " + Str(b) + " is not a valid stream block");
        return;
      }
      b = QNGetDword(blk, qsbNextInStream);
    }
  }

  // Unclaimed blocks after every walk.
  void CheckAllClaimed() {
    for (std::int32_t b = 1; b < used_; ++b)
      if (!Claimed(b)) Fault("block " + Str(b) + " is not used by anything");
  }

  TqnFileInfo* f_;
  TqnBufferManager& bm_;
  std::vector<std::string>& faults_;
  const std::uint8_t* h_ = nullptr;
  std::int32_t bs_ = 0;
  int log2_ = 12;
  std::int32_t used_ = 0;
  std::vector<std::string> owner_;
};

class TableCheck {
 public:
  TableCheck(const std::vector<TqnFileInfo*>& Files, const TqnDataDictionary& Dict, const TqnTableCheckOptions& Opt,
             std::vector<std::string>& Faults)
      : main_(Files[0], Faults), files_(Files), dict_(Dict), opt_(Opt), faults_(Faults) {}

  void Run() {
    if (!main_.Open()) return;
    Step("record layout", [&] { CheckLayout(); });
    Step("freed blocks", [&] { main_.CheckFreeList(); });
    Step("dictionary", [&] { main_.CheckStream(main_.Dword(qfhDictionaryBlock)); });
    Step("data blocks", [&] { CheckData(); });
    // The other files of the dictionary (index and BLOB files), each checked with its own
    // blocks; one that is not open or whose header is unreadable is left out, with a fault.
    byNumber_.assign(static_cast<std::size_t>(std::max(dict_.FileCount(), 1)), nullptr);
    byNumber_[0] = &main_;
    for (int n = 1; n < dict_.FileCount(); ++n) {
      TqnFileInfo* f = static_cast<std::size_t>(n) < files_.size() ? files_[static_cast<std::size_t>(n)] : nullptr;
      if (f == nullptr) {
        main_.Fault("file " + Str(n) + " of the table (" + dict_.FileExtension(n) + ") is not open");
        continue;
      }
      others_.push_back(std::make_unique<FileCheck>(f, faults_));
      FileCheck& fc = *others_.back();
      if (!fc.Open()) continue;
      byNumber_[static_cast<std::size_t>(n)] = &fc;
      Step(fc, "freed blocks", [&] { fc.CheckFreeList(); });
    }
    Step("indexes", [&] { CheckIndexes(); });
    // BLOBs live in the BLOB file, or in the data file when the dictionary names none.
    const int blobNumber = dict_.BlobFileNumber();
    FileCheck* blobs = blobNumber > 0 && blobNumber < dict_.FileCount() ? byNumber_[static_cast<std::size_t>(blobNumber)] : &main_;
    if (blobs != nullptr) Step(*blobs, "BLOBs", [&] { CheckBlobs(*blobs); });
    for (FileCheck* fc : byNumber_)
      if (fc != nullptr) fc->CheckAllClaimed();
  }

 private:
  template <typename F>
  void Step(FileCheck& fc, const char* what, F&& f) {
    try {
      f();
    } catch (const Exception& e) {
      fc.Fault(std::string(what) + ": " + e.Message());
    }
  }
  template <typename F>
  void Step(const char* what, F&& f) {
    Step(main_, what, std::forward<F>(f));
  }

  void CheckLayout() {
    QNTblCheckRecordLayout(main_.f_, main_.h_);
    if (main_.Dword(qfhRecordLength) != dict_.RecordLength())
      main_.Fault("record length " + Str(main_.Dword(qfhRecordLength)) + " differs from the dictionary's " +
                  Str(dict_.RecordLength()));
    layoutOk_ = true;
  }

  void CheckData() {
    if (!layoutOk_) return;
    const std::int32_t slot = main_.Dword(qfhSlotLength);
    const std::int32_t per = main_.Dword(qfhRecordsPerBlock);
    const std::int32_t rl = main_.Dword(qfhRecordLength);
    std::int32_t b = main_.Dword(qfhFirstDataBlock);
    std::int32_t prev = -1;
    std::int64_t slots = 0;
    std::set<std::int32_t> deletedSlots;
    while (b != -1) {
      if (!main_.Claim(b, "data block")) return;
      const std::uint8_t* blk = main_.Block(b);
      if (!QNHasSignature(blk, kQnSigData) || QNGetDword(blk, qbhNumber) != b || QNGetDword(blk, qdbRecordsPerBlock) != per ||
          QNGetDword(blk, qdbRecordLength) != rl) {
        main_.Fault("data block " + Str(b) + " has a bad header");
        return;
      }
      if (QNGetDword(blk, qdbPrevData) != prev) main_.Fault("data block " + Str(b) + " names the wrong previous block");
      for (std::int32_t k = 0; k < per; ++k) {
        const std::int32_t o = 32 + k * slot;
        const std::int32_t ref = static_cast<std::int32_t>((static_cast<std::uint32_t>(b) << main_.log2_) + std::uint32_t(o));
        if (QNGetDword(blk + o, 0) == 0)
          records_.emplace(ref, std::vector<std::uint8_t>(blk + o + 4, blk + o + 4 + rl));
        else
          deletedSlots.insert(ref);
      }
      slots += per;
      prev = b;
      b = QNGetDword(blk, qdbNextData);
    }
    if (prev != main_.Dword(qfhLastDataBlock)) main_.Fault("the last data block is " + Str(main_.Dword(qfhLastDataBlock)) +
                                                          ", the chain ends at " + Str(prev));
    if (static_cast<std::int64_t>(records_.size()) != main_.Dword(qfhRecordCount))
      main_.Fault("record count is " + Str(main_.Dword(qfhRecordCount)) + ", the data blocks hold " + Str(static_cast<std::int64_t>(records_.size())));
    // The deleted list must hold exactly the slots that are not live.
    std::int32_t ref = main_.Dword(qfhFirstDeleted);
    std::int64_t n = 0;
    std::set<std::int32_t> seen;
    while (ref != -1) {
      if (!deletedSlots.count(ref) || !seen.insert(ref).second) {
        main_.Fault("the deleted slot list names " + Str(ref) + ", which is no deleted slot of the data blocks or is listed twice");
        return;
      }
      ++n;
      std::int32_t off = 0;
      const std::uint8_t* blk = QNTblHlpReadDataBlock(main_.f_, main_.h_, false, ref, off);
      ref = QNGetDword(blk + off, 0);
    }
    if (n != main_.Dword(qfhDeletedCount)) main_.Fault("deleted slot count is " + Str(main_.Dword(qfhDeletedCount)) + ", the list holds " + Str(n));
    if (static_cast<std::int64_t>(seen.size()) != static_cast<std::int64_t>(deletedSlots.size()))
      main_.Fault(Str(static_cast<std::int64_t>(deletedSlots.size() - seen.size())) + " deleted slots are on no list");
    (void)slots;
    dataOk_ = true;
  }

  // Every file of a table is made with an index header; each index is read from the header
  // and the blocks of the file the dictionary names for it.
  void CheckIndexes() {
    const auto fileOf = [&](int i) -> int {
      const int n = dict_.IndexFileNumber(i);
      return n >= 0 && n < static_cast<int>(byNumber_.size()) && byNumber_[static_cast<std::size_t>(n)] != nullptr ? n : -1;
    };
    std::vector<bool> holdsIndexes(byNumber_.size(), false);
    for (int i = 0; i < dict_.IndexCount() && i < kQnMaxIndexSlots; ++i)
      if (const int n = fileOf(i); n >= 0) holdsIndexes[static_cast<std::size_t>(n)] = true;
    std::vector<bool> headerUsable(byNumber_.size(), false);
    for (std::size_t n = 0; n < byNumber_.size(); ++n) {
      FileCheck* fc = byNumber_[n];
      if (fc == nullptr) continue;
      const std::int32_t ih = fc->Dword(qfhIndexHeaderBlock);
      if (ih == -1) {
        if (holdsIndexes[n] && opt_.IndexesRequired && main_.Dword(qfhRecordCount) > 0)
          fc->Fault("the table has records but no index header");
        continue;
      }
      headerUsable[n] = fc->Claim(ih, "index header");
    }
    for (int i = 0; i < dict_.IndexCount() && i < kQnMaxIndexSlots; ++i) {
      const int n = fileOf(i);
      if (n < 0 || !headerUsable[static_cast<std::size_t>(n)]) continue;
      FileCheck& fc = *byNumber_[static_cast<std::size_t>(n)];
      try {
        CheckIndex(fc, i);
      } catch (const Exception& e) {
        fc.Fault("index " + Str(i) + ": " + e.Message());
      }
    }
  }

  void CheckIndex(FileCheck& fc, int i) {
    const std::string name = "index " + Str(i);
    const TqnIndexInfo info = QNTblGetIndexInfo(fc.f_, i);
    const bool user = i > 0 && dict_.IsUserKeyIndex(i);
    const bool seq = i == 0;
    if (seq && (info.Flags != kQnIndexSeqAccess || info.KeyLength != 4)) fc.Fault(name + ": not marked as the sequential-access index");
    if (!seq) {
      if (info.KeyLength != dict_.IndexKeyLength(i)) fc.Fault(name + ": key length differs from the dictionary's");
      if (((info.Flags & kQnIndexAllowDups) != 0) != dict_.IndexAllowDups(i)) fc.Fault(name + ": duplicates flag differs from the dictionary's");
    }
    TqnIndexHandle h;
    if (user) {
      h.File = fc.f_;
      h.Index = i;
      h.Compare = QNKeyCompareRefNr;  // layout only; the order of a user key index is its owner's
      h.Params.KeyLength = info.KeyLength;
    } else {
      h = QNMakeIndexHandle(fc.f_, dict_, i);
    }
    const bool dups = (info.Flags & kQnIndexAllowDups) != 0;
    const std::int32_t K = info.KeyLength;
    const std::int32_t mLeaf = QNIndexNodeCapacity(fc.bs_, K, true, seq);
    const std::int32_t mInner = QNIndexNodeCapacity(fc.bs_, K, false, seq);
    std::int64_t keys = 0;
    std::int64_t nodes = 0;
    std::vector<std::uint8_t> prevKey(static_cast<std::size_t>(K));
    std::int32_t prevRef = 0;
    bool havePrev = false;
    std::unordered_set<std::int32_t> refs;
    std::vector<std::uint8_t> expect(static_cast<std::size_t>(K));
    int leafLevel = -1;
    bool orderFault = false;
    // In-order walk with an explicit stack of (block, next child, level, is root).
    struct Frame {
      std::int32_t block;
      std::int32_t next;
      int level;
    };
    auto visitKey = [&](const TqnNodeView& n, std::int32_t k) {
      ++keys;
      const std::uint8_t* key = n.KeyPtr(k);
      const std::int32_t ref = n.Ref(k);
      if (!user && havePrev && !orderFault) {
        int r = h.Compare(prevKey.data(), key, h.Params);
        if (r == 0 && dups) r = prevRef == ref ? 0 : (static_cast<std::uint32_t>(prevRef) < static_cast<std::uint32_t>(ref) ? -1 : 1);
        if (r >= 0) {
          fc.Fault(name + ": keys out of order in block " + Str(n.block) + " at position " + Str(k));
          orderFault = true;
        }
      }
      std::memcpy(prevKey.data(), key, static_cast<std::size_t>(K));
      prevRef = ref;
      havePrev = true;
      if (!refs.insert(ref).second) fc.Fault(name + ": record " + Str(ref) + " has more than one key");
      if (dataOk_) {
        const auto it = records_.find(ref);
        if (it == records_.end()) {
          fc.Fault(name + ": key in block " + Str(n.block) + " names " + Str(ref) + ", which is no live record");
        } else if (!seq && !user) {
          dict_.ExtractKey(i, it->second.data(), expect.data());
          if (std::memcmp(expect.data(), key, static_cast<std::size_t>(K)) != 0)
            fc.Fault(name + ": the key of record " + Str(ref) + " differs from its record");
        }
      }
    };
    auto readNode = [&](std::int32_t b, int level, bool root) -> TqnNodeView {
      TqnNodeView n;
      if (!fc.Claim(b, name + " node")) return n;
      ++nodes;
      const std::uint8_t* blk = fc.Block(b);
      n.b = const_cast<std::uint8_t*>(blk);
      n.block = b;
      n.K = K;
      n.seq = seq;
      const bool leaf = blk[13] == 1;
      n.M = leaf ? mLeaf : mInner;
      const std::int32_t count = QNGetDword(blk, 5);
      if (!QNHasSignature(blk, kQnSigIndex) || QNGetDword(blk, qbhNumber) != b || blk[12] != 1 || blk[13] > 1 ||
          (blk[15] != 0) != seq || QNGetU16(blk + 18) != K || QNGetDword(blk, 6) != n.M || leaf != (blk[14] == 1) ||
          (level != 0 && blk[14] != level) || count < 1 || count > n.M) {
        fc.Fault(name + ": block " + Str(b) + " is not a valid node here");
        n.b = nullptr;
        return n;
      }
      if (!root && count < n.M / 2) fc.Fault(name + ": node " + Str(b) + " holds " + Str(count) + " keys, less than half");
      if (leaf) {
        if (leafLevel == -1) leafLevel = blk[14];
      }
      return n;
    };
    if (info.Root != -1) {
      std::vector<Frame> stack;
      TqnNodeView root = readNode(info.Root, 0, true);
      if (root.b == nullptr) return;
      if (root.Level() > kQnMaxKeyPathDepth) fc.Fault(name + ": the tree is deeper than a key path can follow");
      stack.push_back({info.Root, 0, root.Level()});
      while (!stack.empty()) {
        Frame& fr = stack.back();
        TqnNodeView n;
        n.b = const_cast<std::uint8_t*>(fc.Block(fr.block));
        n.block = fr.block;
        n.K = K;
        n.seq = seq;
        n.M = n.Leaf() ? mLeaf : mInner;
        if (n.Leaf()) {
          for (std::int32_t k = 0; k < n.Count(); ++k) visitKey(n, k);
          stack.pop_back();
          continue;
        }
        if (fr.next > n.Count()) {
          stack.pop_back();
          continue;
        }
        if (fr.next > 0) visitKey(n, fr.next - 1);
        const std::int32_t child = n.Child(fr.next);
        const int level = fr.level - 1;
        ++fr.next;
        TqnNodeView c = readNode(child, level, false);
        if (c.b == nullptr) return;
        stack.push_back({child, 0, level});
      }
    }
    if (keys != info.KeyCount) fc.Fault(name + ": key count is " + Str(info.KeyCount) + ", the tree holds " + Str(keys));
    if (nodes != info.NodeCount) fc.Fault(name + ": node count is " + Str(info.NodeCount) + ", the tree has " + Str(nodes));
    if (dataOk_ && keys != static_cast<std::int64_t>(records_.size()))
      fc.Fault(name + ": " + Str(keys) + " keys for " + Str(static_cast<std::int64_t>(records_.size())) + " records");
  }

  void CheckBlobs(FileCheck& fc) {
    // Header blocks are found by their signature among the blocks nothing else claims.
    std::map<std::int32_t, bool> slots;  // BLOB number -> free
    const std::int32_t perBlock = (fc.bs_ - 32) / kQnBlobSlotSize;
    for (std::int32_t b = 1; b < fc.used_; ++b) {
      if (fc.Claimed(b)) continue;
      const std::uint8_t* blk = fc.Block(b);
      if (!QNHasSignature(blk, kQnSigBlob) || QNGetDword(blk, qbhNumber) != b || QNGetDword(blk, qbbKind) != 0) continue;
      fc.Claim(b, "BLOB header block");
      for (std::int32_t k = 0; k < perBlock; ++k)
        slots[static_cast<std::int32_t>((static_cast<std::uint32_t>(b) << fc.log2_) + 32u + std::uint32_t(k * kQnBlobSlotSize))] = false;
    }
    std::int32_t nr = fc.Dword(qfhFirstFreeBlobSlot);
    std::int64_t freeCount = 0;
    while (nr != -1) {
      const auto it = slots.find(nr);
      if (it == slots.end() || it->second) {
        fc.Fault("the free BLOB slot list names " + Str(nr) + ", which is no slot or is listed twice");
        return;
      }
      it->second = true;
      ++freeCount;
      const std::uint8_t* blk = fc.Block(nr >> fc.log2_);
      nr = QNGetDword(blk + (nr & (fc.bs_ - 1)), 0);
    }
    std::int64_t live = 0;
    std::unordered_set<std::int32_t> liveSet;
    for (const auto& [number, isFree] : slots) {
      if (isFree) continue;
      const std::uint8_t* blk = fc.Block(number >> fc.log2_);
      const std::uint8_t* s = blk + (number & (fc.bs_ - 1));
      if (QNGetDword(s, 0) != -1) {
        fc.Fault("BLOB slot " + Str(number) + " is neither live nor on the free list");
        continue;
      }
      ++live;
      liveSet.insert(number);
      const std::int32_t len = QNGetDword(s, 1);
      const std::int32_t segs = QNGetDword(s, 2);
      if (segs == -1) {
        if (len < 0 || len > kQnBlobInline) fc.Fault("file BLOB " + Str(number) + " has a name of length " + Str(len));
        continue;
      }
      if (len < 0 || len > kQnBlobMaxLength || segs != QNBlobSegmentCount(len, fc.bs_)) {
        fc.Fault("BLOB " + Str(number) + " of length " + Str(len) + " has " + Str(segs) + " segments");
        continue;
      }
      std::int32_t ref = QNGetDword(s, 3);
      for (std::int32_t i = 0; i < segs; ++i) {
        if (ref <= 0 || (ref & (fc.bs_ - 1)) != 32) {
          fc.Fault("BLOB " + Str(number) + ": segment link " + Str(ref) + " is corrupt");
          ref = -1;
          break;
        }
        const std::int32_t b = ref >> fc.log2_;
        if (!fc.Claim(b, "segment of BLOB " + Str(number))) {
          ref = -1;
          break;
        }
        const std::uint8_t* sb = fc.Block(b);
        if (!QNHasSignature(sb, kQnSigBlob) || QNGetDword(sb, qbhNumber) != b || QNGetDword(sb, qbbKind) != 1 ||
            QNGetDword(sb, qbbOwner) != number) {
          fc.Fault("BLOB " + Str(number) + ": block " + Str(b) + " is not one of its segments");
          ref = -1;
          break;
        }
        ref = QNGetDword(sb, qbbNextSegment);
      }
      if (ref != -1) fc.Fault("BLOB " + Str(number) + ": the segment chain goes on past its last segment");
    }
    if (live != fc.Dword(qfhBlobCount)) fc.Fault("BLOB count is " + Str(fc.Dword(qfhBlobCount)) + ", there are " + Str(live));
    (void)freeCount;
    // The BLOB fields of the records name live BLOBs, each at most once.
    if (!dataOk_) return;
    std::unordered_set<std::int32_t> used;
    for (const auto& [ref, rec] : records_) {
      for (int f = 0; f < dict_.FieldCount(); ++f) {
        if (!QNIsBlobFieldType(dict_.FieldType(f)) || dict_.IsRecordFieldNull(f, rec.data())) continue;
        const std::int32_t b = QNGetI32(rec.data() + dict_.FieldOffset(f));
        if (b == 0) continue;
        if (!liveSet.count(b))
          main_.Fault("record " + Str(ref) + " field " + Str(f) + " names BLOB " + Str(b) + ", which does not exist");
        else if (!used.insert(b).second)
          main_.Fault("BLOB " + Str(b) + " is named by more than one field");
      }
    }
  }

  FileCheck main_;
  const std::vector<TqnFileInfo*>& files_;
  std::vector<std::unique_ptr<FileCheck>> others_;
  // The check of each file of the dictionary by its number; nullptr for one left out.
  std::vector<FileCheck*> byNumber_;
  const TqnDataDictionary& dict_;
  TqnTableCheckOptions opt_;
  std::vector<std::string>& faults_;
  bool layoutOk_ = false;
  bool dataOk_ = false;
  std::unordered_map<std::int32_t, std::vector<std::uint8_t>> records_;
};

}  // namespace

std::vector<std::string> QNCheckTable(const std::vector<TqnFileInfo*>& Files, const TqnDataDictionary& Dictionary,
                                      const TqnTableCheckOptions& Options) {
  std::vector<std::string> faults;
  TqnFileInfo* const file = Files.empty() ? nullptr : Files[0];
  if (file == nullptr) {
    faults.push_back("the data file of the table is not open");
    return faults;
  }
  try {
    // One request on each buffer manager the files use, so that no block read is reused
    // while the check holds it.
    std::vector<std::unique_ptr<TqnBufferManager::TRequest>> requests;
    std::vector<TqnBufferManager*> managers;
    for (TqnFileInfo* f : Files) {
      if (f == nullptr) continue;
      TqnBufferManager* bm = &QNManagerOf(f);
      if (std::find(managers.begin(), managers.end(), bm) != managers.end()) continue;
      managers.push_back(bm);
      requests.push_back(std::make_unique<TqnBufferManager::TRequest>(*bm));
    }
    TableCheck(Files, Dictionary, Options, faults).Run();
  } catch (const Exception& e) {
    faults.push_back(file->Name + ": " + e.Message());
  }
  return faults;
}

std::vector<std::string> QNCheckTableFile(const std::string& Path, const TqnTableCheckOptions& Options) {
  std::vector<std::string> faults;
  TqnBufferManager bm;
  std::string base = Path;
  if (base.size() > 4 && SameText(base.substr(base.size() - 4), ".QND")) base.resize(base.size() - 4);
  // files[n] is file n of the dictionary, files[0] the data file.
  std::vector<TqnFileInfo*> files;
  try {
    // The folder is opened once: every file of the table is the one of that folder, wherever
    // its path leads between their opens.
    const TqnFolderRef dir = TqnFolder::Open(QNFolderPart(base), QNFileAccessTable());
    const auto open = [&](const std::string& Extension) {
      files.push_back(QNAllocFileInfo(dir, QNNamePart(base), Extension, &bm));
      if (Options.LeaveJournals)
        QNOpenFileAsItStands(files.back());
      else
        QNOpenFile(files.back(), false, true, false, false);
    };
    open("QND");
    TqnDataDictionary dict;
    QNTblReadDictionary(dict, files[0]);
    for (int n = 1; n < dict.FileCount(); ++n) open(dict.FileExtension(n));
    faults = QNCheckTable(files, dict, Options);
  } catch (const Exception& e) {
    faults.push_back(Path + ": " + e.Message());
  }
  for (auto it = files.rbegin(); it != files.rend(); ++it) {
    bm.RemoveFile(*it);
    QNFreeFileInfo(*it);
  }
  return faults;
}

}  // namespace tw::dbengine
