// B-tree indexes: the index header block, adding, deleting, finding and walking keys.
#include "dbengine/storage/btree_index.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "dbengine/base/compare.h"
#include "dbengine/storage/block_access.h"
#include "dbengine/storage/btree_node.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/table_file.h"

namespace tw::dbengine {

// Only the nodes up to Depth are ever read from a path: the rest of it is left as it is (a
// path is reset for every record inserted and for every cursor the insert moves).
void QNInitKeyPath(TqnKeyPath& Path) {
  Path.Depth = 0;
  Path.State = kpsUnpositioned;
  Path.LeafHint = TqnBlockHint{};
}
void QNSetBOF(TqnKeyPath& Path) {
  QNInitKeyPath(Path);
  Path.State = kpsBOF;
}
void QNSetEOF(TqnKeyPath& Path) {
  QNInitKeyPath(Path);
  Path.State = kpsEOF;
}

std::int32_t QNIndexNodeCapacity(std::int32_t BlockSize, std::int32_t KeyLength, bool Leaf, bool SeqAccess) {
  const std::int32_t per = SeqAccess ? (Leaf ? 4 : 8) : KeyLength + (Leaf ? 4 : 8);
  std::int32_t m = (BlockSize - 32) / per;
  if (m % 2 == 0) --m;
  return m;
}

TqnIndexHandle QNMakeIndexHandle(TqnFileInfo* File, const TqnDataDictionary& Dictionary, int Index) {
  TqnIndexHandle h;
  h.File = File;
  h.Index = Index;
  if (Index == 0) {
    h.Compare = QNKeyCompareRefNr;
    h.Params.KeyLength = 4;
    h.Params.Dictionary = &Dictionary;
  } else {
    h.Compare = QNKeyCompareComposite;
    h.Params = QNMakeKeyCompareParams(Dictionary, Index);
  }
  return h;
}

namespace {

std::uint8_t* ReadIndexHeader(TqnFileInfo* File, bool ForUpdate, bool MayBeMissing = false,
                              const std::uint8_t** FileHeader = nullptr) {
  TqnBufferManager& bm = QNManagerOf(File);
  const std::uint8_t* fh = bm.GetFileHeader(File, false);
  if (FileHeader != nullptr) *FileHeader = fh;
  const std::int32_t blk = QNGetDword(fh, qfhIndexHeaderBlock);
  if (blk == -1 && MayBeMissing) return nullptr;
  if (blk < 1 || blk >= QNBlocksUsed(File, fh)) QNStorageError(qnerrBadBlockNumber, {File->Name, blk});
  std::uint8_t* b = ForUpdate ? bm.GetBlock(File, blk, true) : bm.GetBlockHinted(File, blk, File->IndexHeaderHint);
  if (!QNHasSignature(b, kQnSigIndex) || QNGetDword(b, qbhNumber) != blk || b[12] != 0)
    QNStorageError(qnerrNotIndexBlock, {File->Name, blk});
  return b;
}

void CheckIndexNumber(int Index) {
  if (Index < 0 || Index >= kQnMaxIndexSlots) QNStorageError(qnerrIndexOutOfRange, {Index});
}

// The node capacities of an index; those of the index used last are kept, as a tree is made
// for every step of a cursor.
void Capacities(std::int32_t BlockSize, std::int32_t K, bool Seq, std::int32_t& Leaf, std::int32_t& Inner) {
  thread_local std::int32_t lastBlockSize = 0, lastK = 0, lastLeaf = 0, lastInner = 0;
  thread_local bool lastSeq = false;
  if (BlockSize != lastBlockSize || K != lastK || Seq != lastSeq) {
    lastLeaf = QNIndexNodeCapacity(BlockSize, K, true, Seq);
    lastInner = QNIndexNodeCapacity(BlockSize, K, false, Seq);
    lastBlockSize = BlockSize;
    lastK = K;
    lastSeq = Seq;
  }
  Leaf = lastLeaf;
  Inner = lastInner;
}

// One index of a file during one operation.
class Tree {
 public:
  // The index header is taken for update word by word as its counts change (DirtyWord).
  explicit Tree(const TqnIndexHandle& H)
      : f_(H.File), bm_(QNManagerOf(H.File)), idx_(H.Index), cmp_(H.Compare), params_(H.Params), rootHint_(H.RootHint) {
    CheckIndexNumber(idx_);
    ih_ = ReadIndexHeader(f_, false, false, &fh_);
    ihBlock_ = QNGetDword(ih_, qbhNumber);
    used_ = QNBlocksUsed(f_, fh_);
    const std::uint8_t flags = ih_[kIhFlags + idx_];
    seq_ = (flags & kQnIndexSeqAccess) != 0;
    dups_ = (flags & kQnIndexAllowDups) != 0;
    K_ = QNGetU16(ih_ + kIhKeyLength + 2 * idx_);
    if (K_ < 1 || K_ > kQnMaxKeyLength || (seq_ && K_ != 4) || (!seq_ && params_.KeyLength != K_) || cmp_ == nullptr)
      QNStorageError(qnerrNotIndexBlock, {f_->Name, ihBlock_});
    Capacities(f_->BlockSize, K_, seq_, mLeaf_, mInner_);
    int32Key_ = cmp_ == QNKeyCompareComposite && params_.SingleInt32 && K_ == 5;
    refKey_ = cmp_ == QNKeyCompareRefNr;
    if (mLeaf_ < 3 || mInner_ < 3) QNStorageError(qnerrNotIndexBlock, {f_->Name, ihBlock_});
  }

  bool Dups() const { return dups_; }
  bool Seq() const { return seq_; }
  std::int32_t K() const { return K_; }
  std::int32_t Root() const { return QNGetI32(ih_ + kIhRoot + 4 * idx_); }
  void SetRoot(std::int32_t v) { QNPutI32(DirtyWord(kIhRoot), v); }
  void AddKeyCount(std::int32_t d) {
    std::uint8_t* w = DirtyWord(kIhKeyCount);
    QNPutI32(w, QNGetI32(w) + d);
  }
  void AddNodeCount(std::int32_t d) {
    std::uint8_t* w = DirtyWord(kIhNodeCount);
    QNPutI32(w, QNGetI32(w) + d);
  }
  // A node whose count alone changes (one that gives up its upper entries).
  void DirtyCount(const TqnNodeView& n) { bm_.DirtyRange(f_, n.block, kNodeCountAt, 4); }
  // A node whose entry K alone changes (the separator a rotation replaces).
  void DirtyEntry(const TqnNodeView& n, std::int32_t k) {
    bm_.DirtyRange(f_, n.block, n.OffsetOf(n.RefPtr(k)), 4);
    if (!seq_) bm_.DirtyRange(f_, n.block, n.OffsetOf(n.KeyPtr(k)), K_);
  }
  // Entries [First, First + Count) of N are written, in an inner node with the children after
  // them (children First + 1 to First + Count).
  void DirtyEntries(const TqnNodeView& n, std::int32_t first, std::int32_t count) {
    if (count <= 0) return;
    bm_.DirtyRange(f_, n.block, n.OffsetOf(n.RefPtr(first)), 4 * count);
    if (!seq_) bm_.DirtyRange(f_, n.block, n.OffsetOf(n.KeyPtr(first)), K_ * count);
    if (!n.Leaf()) bm_.DirtyRange(f_, n.block, kChildrenAt + 4 * first, 4 * count);
  }
  // Entries [From, From + Count) of N move to To, in an inner node with the children after
  // them; the caller may then write the entries (and children) the move leaves behind.
  void DirtyEntriesMove(const TqnNodeView& n, std::int32_t from, std::int32_t count, std::int32_t to) {
    bm_.DirtyMove(f_, n.block, n.OffsetOf(n.RefPtr(from)), 4 * count, n.OffsetOf(n.RefPtr(to)));
    if (!seq_) bm_.DirtyMove(f_, n.block, n.OffsetOf(n.KeyPtr(from)), K_ * count, n.OffsetOf(n.KeyPtr(to)));
    if (!n.Leaf()) bm_.DirtyMove(f_, n.block, kChildrenAt + 4 * from, 4 * count, kChildrenAt + 4 * to);
  }
  // Child 0 of an inner node, which lives in the node's head.
  void DirtyChild0(const TqnNodeView& n) {
    if (!n.Leaf()) bm_.DirtyRange(f_, n.block, kChild0At, 4);
  }
  // A leaf about to have an entry inserted at Pos (Grow) or removed from Pos: its count and its
  // entries from Pos to the end change, nothing else of it.
  void DirtyLeafFrom(const TqnNodeView& n, std::int32_t pos, bool grow) {
    // The entries after Pos move one place up (an insert, which then writes entry Pos) or down
    // onto it (a removal).
    const std::int32_t first = grow ? pos : pos + 1;
    DirtyCount(n);
    DirtyEntriesMove(n, first, n.Count() - first, grow ? pos + 1 : pos);
  }

  int Compare(const std::uint8_t* a, const std::uint8_t* b) const {
    // The commonest keys compared in line: one 32-bit integer, a record reference.
    if (int32Key_) return QNKeyCompareSingleInt32(a, b, params_);
    if (refKey_) return QNCompareRefNrKeys(a, b, params_.Ascending);
    return cmp_(a, b, params_);
  }
  const TqnKeyCompareParams& Params() const { return params_; }
  // The root node, through the handle's hint of its page.
  TqnNodeView ReadRoot(std::int32_t Root) { return Read(Root, 0, &rootHint_); }

  // Hint: for a node read over and over (the one a walk stands in).
  TqnNodeView Read(std::int32_t Block, int Level = 0, TqnBlockHint* Hint = nullptr) {
    if (Block < 1 || Block >= used_) QNStorageError(qnerrBadBlockNumber, {f_->Name, Block});
    TqnNodeView n;
    n.b = Hint != nullptr ? bm_.GetBlockHinted(f_, Block, *Hint) : bm_.GetBlock(f_, Block, false);
    n.block = Block;
    n.K = K_;
    n.seq = seq_;
    const std::uint8_t* b = n.b;
    const bool leaf = b[13] == 1;
    n.M = leaf ? mLeaf_ : mInner_;
    const std::int32_t count = QNGetDword(b, 5);
    if (!QNHasSignature(b, kQnSigIndex) || QNGetDword(b, qbhNumber) != Block || b[12] != 1 || b[13] > 1 ||
        (b[15] != 0) != seq_ || QNGetU16(b + 18) != K_ || QNGetDword(b, 6) != n.M || count < 1 || count > n.M ||
        leaf != (b[14] == 1) || b[14] < 1 || b[14] > kQnMaxKeyPathDepth || (Level != 0 && b[14] != Level))
      QNStorageError(qnerrNotIndexBlock, {f_->Name, Block});
    return n;
  }

  TqnNodeView New(int Level, bool Leaf) {
    std::uint8_t* fh = bm_.GetFileHeader(f_, true);
    std::int32_t block = -1;
    TqnNodeView n;
    n.b = QNTblHlpGetNewBlock(f_, fh, block);
    used_ = QNGetDword(fh, qfhBlocksUsed);
    n.block = block;
    n.K = K_;
    n.seq = seq_;
    n.M = Leaf ? mLeaf_ : mInner_;
    QNSetSignature(n.b, kQnSigIndex);
    QNSetDword(n.b, qbhNext, -1);
    n.b[12] = 1;
    n.b[13] = Leaf ? 1 : 0;
    n.b[14] = static_cast<std::uint8_t>(Level);
    n.b[15] = seq_ ? 1 : 0;
    QNPutU16(n.b + 16, static_cast<std::uint16_t>(idx_));
    QNPutU16(n.b + 18, static_cast<std::uint16_t>(K_));
    QNSetDword(n.b, 5, 0);
    QNSetDword(n.b, 6, n.M);
    QNSetDword(n.b, 7, -1);
    AddNodeCount(1);
    return n;
  }

  void Free(const TqnNodeView& n) {
    std::uint8_t* fh = bm_.GetFileHeader(f_, true);
    QNTblHlpDeleteBlock(f_, fh, n.block);
    AddNodeCount(-1);
  }

  // Binary search of Key (and RefNr when UseRef) in a node.
  std::int32_t Search(const TqnNodeView& n, const std::uint8_t* key, std::int32_t ref, bool useRef, bool& found) const {
    std::int32_t lo = 0;
    std::int32_t hi = n.Count() - 1;
    found = false;
    while (lo <= hi) {
      const std::int32_t mid = (lo + hi) / 2;
      // The key the step after this one compares is one of two: both are asked for now, so
      // that a node not in the processor's cache costs one wait per two steps.
      __builtin_prefetch(n.KeyPtr((lo + mid - 1) / 2));
      __builtin_prefetch(n.KeyPtr((mid + 1 + hi) / 2));
      int r = Compare(key, n.KeyPtr(mid));
      if (r == 0 && useRef)
        r = QNCmpDW(static_cast<std::uint32_t>(ref), static_cast<std::uint32_t>(n.Ref(mid)));
      if (r < 0)
        hi = mid - 1;
      else if (r > 0)
        lo = mid + 1;
      else {
        found = true;
        return mid;
      }
    }
    return lo;
  }

  [[noreturn]] void Damaged(std::int32_t Block) const { QNStorageError(qnerrNotIndexBlock, {f_->Name, Block}); }
  const std::string& Name() const { return f_->Name; }

 private:
  TqnFileInfo* f_;
  TqnBufferManager& bm_;
  int idx_;
  TqnKeyCompareFunc cmp_;
  const TqnKeyCompareParams& params_;
  TqnBlockHint& rootHint_;
  std::uint8_t* ih_ = nullptr;
  std::int32_t ihBlock_ = -1;
  const std::uint8_t* fh_ = nullptr;
  std::int32_t used_ = 0;
  bool seq_ = false;
  bool dups_ = false;
  std::int32_t K_ = 0;
  std::int32_t mLeaf_ = 0;
  std::int32_t mInner_ = 0;
  bool int32Key_ = false;
  bool refKey_ = false;

  // This index's word of one array of the index header, taken for update.
  std::uint8_t* DirtyWord(int Array) {
    const std::int32_t at = Array + 4 * idx_;
    bm_.DirtyRange(f_, ihBlock_, at, 4);
    return ih_ + at;
  }
};

// One entry (reference and key) held outside any node.
struct Entry {
  std::int32_t ref = 0;
  std::uint8_t key[kQnMaxKeyLength];
};

void GetEntry(const TqnNodeView& n, std::int32_t k, Entry& e) {
  e.ref = n.Ref(k);
  std::memcpy(e.key, n.KeyPtr(k), static_cast<std::size_t>(n.K));
}

void SetEntry(TqnNodeView& n, std::int32_t k, const Entry& e) {
  QNPutI32(n.RefPtr(k), e.ref);
  if (!n.seq) std::memcpy(n.KeyPtr(k), e.key, static_cast<std::size_t>(n.K));
}

// Inserts entry E at Pos; in an inner node RightChild becomes child Pos + 1.
void InsertAt(TqnNodeView& n, std::int32_t pos, const Entry& e, std::int32_t rightChild) {
  const std::int32_t cnt = n.Count();
  std::memmove(n.RefPtr(pos + 1), n.RefPtr(pos), 4 * static_cast<std::size_t>(cnt - pos));
  if (!n.seq) std::memmove(n.KeyPtr(pos + 1), n.KeyPtr(pos), static_cast<std::size_t>(n.K) * (cnt - pos));
  if (!n.Leaf()) {
    std::uint8_t* c = n.b + kChildrenAt;
    std::memmove(c + 4 * (pos + 1), c + 4 * pos, 4 * static_cast<std::size_t>(cnt - pos));
  }
  n.SetCount(cnt + 1);
  SetEntry(n, pos, e);
  if (!n.Leaf()) n.SetChild(pos + 1, rightChild);
}

// Removes entry Pos and, in an inner node, child Pos + 1.
void RemoveAt(TqnNodeView& n, std::int32_t pos) {
  const std::int32_t cnt = n.Count();
  std::memmove(n.RefPtr(pos), n.RefPtr(pos + 1), 4 * static_cast<std::size_t>(cnt - pos - 1));
  if (!n.seq) std::memmove(n.KeyPtr(pos), n.KeyPtr(pos + 1), static_cast<std::size_t>(n.K) * (cnt - pos - 1));
  if (!n.Leaf()) {
    std::uint8_t* c = n.b + kChildrenAt;
    std::memmove(c + 4 * pos, c + 4 * (pos + 1), 4 * static_cast<std::size_t>(cnt - pos - 1));
  }
  n.SetCount(cnt - 1);
}

// Copies N entries (references and keys) from entry First of From to entry At of To; the two
// may be one node.
void MoveEntries(TqnNodeView& to, std::int32_t at, const TqnNodeView& from, std::int32_t first, std::int32_t n) {
  if (n <= 0) return;
  std::memmove(to.RefPtr(at), from.RefPtr(first), 4 * static_cast<std::size_t>(n));
  if (!to.seq) std::memmove(to.KeyPtr(at), from.KeyPtr(first), static_cast<std::size_t>(to.K) * n);
}

// Moves N entries from the end of L through separator Sep of P to the front of R: R begins
// with L's last N - 1 entries and the separator, the separator becomes L's entry N from the
// end, and in inner nodes L's last N children go before R's.  In one go: entry by entry, R
// would be shifted N times.
void ShiftRight(TqnNodeView& p, std::int32_t sep, TqnNodeView& l, TqnNodeView& r, std::int32_t count) {
  const std::int32_t lc = l.Count();
  const std::int32_t rc = r.Count();
  const bool inner = !r.Leaf();
  const std::int32_t oldChild0 = inner ? r.Child(0) : -1;
  MoveEntries(r, count, r, 0, rc);
  if (inner) {
    std::uint8_t* c = r.b + kChildrenAt;  // children 1.. of R
    std::memmove(c + 4 * count, c, 4 * static_cast<std::size_t>(rc));
  }
  MoveEntries(r, 0, l, lc - count + 1, count - 1);
  Entry e;
  GetEntry(p, sep, e);
  SetEntry(r, count - 1, e);
  if (inner) {
    for (std::int32_t j = 0; j < count; ++j) r.SetChild(j, l.Child(lc - count + 1 + j));
    r.SetChild(count, oldChild0);
  }
  GetEntry(l, lc - count, e);
  SetEntry(p, sep, e);
  r.SetCount(rc + count);
  l.SetCount(lc - count);
}

// Moves N entries from the front of R through separator Sep of P to the end of L: L gains the
// separator and R's first N - 1 entries, the separator becomes R's entry N, and in inner nodes
// R's first N children go after L's.
void ShiftLeft(TqnNodeView& p, std::int32_t sep, TqnNodeView& l, TqnNodeView& r, std::int32_t count) {
  const std::int32_t lc = l.Count();
  const std::int32_t rc = r.Count();
  const bool inner = !r.Leaf();
  Entry e;
  GetEntry(p, sep, e);
  SetEntry(l, lc, e);
  MoveEntries(l, lc + 1, r, 0, count - 1);
  if (inner)
    for (std::int32_t j = 0; j < count; ++j) l.SetChild(lc + 1 + j, r.Child(j));
  GetEntry(r, count - 1, e);
  SetEntry(p, sep, e);
  const std::int32_t newChild0 = inner ? r.Child(count) : -1;
  MoveEntries(r, 0, r, count, rc - count);
  if (inner) {
    std::uint8_t* c = r.b + kChildrenAt;
    std::memmove(c, c + 4 * count, 4 * static_cast<std::size_t>(rc - count));
    r.SetChild(0, newChild0);
  }
  l.SetCount(lc + count);
  r.SetCount(rc - count);
}

// ShiftRight and ShiftLeft with the bytes they change named first: the separator of P, the
// counts of both nodes, the entries (and children) the node that takes keys moves to make room
// or gains at its end, and its first child.
void RotateRight(Tree& t, TqnNodeView& p, std::int32_t sep, TqnNodeView& l, TqnNodeView& r, std::int32_t count) {
  t.DirtyEntry(p, sep);
  t.DirtyCount(l);
  t.DirtyCount(r);
  t.DirtyChild0(r);
  t.DirtyEntriesMove(r, 0, r.Count(), count);
  ShiftRight(p, sep, l, r, count);
}

void RotateLeft(Tree& t, TqnNodeView& p, std::int32_t sep, TqnNodeView& l, TqnNodeView& r, std::int32_t count) {
  t.DirtyEntry(p, sep);
  t.DirtyCount(l);
  t.DirtyEntries(l, l.Count(), count);
  t.DirtyCount(r);
  t.DirtyChild0(r);
  t.DirtyEntriesMove(r, count, r.Count() - count, 0);
  ShiftLeft(p, sep, l, r, count);
}

// Splits the full child C at position Pos of P: its middle entry moves up, its upper half
// goes to a new node placed as child Pos + 1.
void SplitChild(Tree& t, TqnNodeView& p, std::int32_t pos, TqnNodeView& c) {
  // P gains the middle entry and the new child at Pos (the entries after it move up).
  t.DirtyCount(p);
  t.DirtyEntriesMove(p, pos, p.Count() - pos, pos + 1);
  t.DirtyCount(c);  // its upper half is copied out and left behind its new count
  const std::int32_t mid = c.M / 2;
  TqnNodeView r = t.New(c.Level(), c.Leaf());
  Entry e;
  if (!c.Leaf()) r.SetChild(0, c.Child(mid + 1));
  for (std::int32_t j = mid + 1; j < c.Count(); ++j) {
    GetEntry(c, j, e);
    InsertAt(r, r.Count(), e, c.Leaf() ? -1 : c.Child(j + 1));
  }
  GetEntry(c, mid, e);
  c.SetCount(mid);
  InsertAt(p, pos, e, r.block);
}

// Merges children Pos and Pos + 1 of P around separator Pos; the right one is freed.
void Merge(Tree& t, TqnNodeView& p, std::int32_t pos, TqnNodeView& l, TqnNodeView& r) {
  const std::int32_t half = l.M / 2;
  if (l.Count() != half || r.Count() != half) QNStorageError(qnerrMergeChildren, {t.Name(), l.block, r.block});
  // P loses the separator and the right child (the entries after them move down); L gains the
  // separator and R's entries (and children) at its end.
  t.DirtyCount(p);
  t.DirtyEntriesMove(p, pos + 1, p.Count() - pos - 1, pos);
  t.DirtyCount(l);
  t.DirtyEntries(l, l.Count(), 1 + r.Count());
  Entry e;
  GetEntry(p, pos, e);
  InsertAt(l, l.Count(), e, l.Leaf() ? -1 : r.Child(0));
  for (std::int32_t j = 0; j < r.Count(); ++j) {
    GetEntry(r, j, e);
    InsertAt(l, l.Count(), e, r.Leaf() ? -1 : r.Child(j + 1));
  }
  RemoveAt(p, pos);
  t.Free(r);
}

// After a merge: a root left without keys gives way to its only child.
bool CollapseRoot(Tree& t, TqnNodeView& root) {
  if (root.Count() != 0) return false;
  const std::int32_t child = root.Leaf() ? -1 : root.Child(0);
  t.Free(root);
  t.SetRoot(child);
  return true;
}

void SwapEntries(Tree& t, TqnNodeView& a, std::int32_t i, TqnNodeView& b, std::int32_t j) {
  t.DirtyEntry(a, i);
  t.DirtyEntry(b, j);
  Entry ea;
  Entry eb;
  GetEntry(a, i, ea);
  GetEntry(b, j, eb);
  SetEntry(a, i, eb);
  SetEntry(b, j, ea);
}

// Repairs of one node are bounded: more than this many rounds in one node is damage.
constexpr int kMaxRounds = 4;

}  // namespace

// ---- Index header ---------------------------------------------------------------------------

void QNTblPrepareIndexes(TqnFileInfo* File) {
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  std::uint8_t* fh = bm.GetFileHeader(File, true);
  std::int32_t block = -1;
  std::uint8_t* b = QNTblHlpGetNewBlock(File, fh, block);
  QNSetSignature(b, kQnSigIndex);
  QNSetDword(b, qbhNext, -1);
  QNSetDword(b, 3, 0);
  QNPutU16(b + 16, 65535);
  QNPutU16(b + 18, 0);
  QNSetDword(b, 5, 0);
  QNSetDword(b, 6, 0);
  QNSetDword(b, 7, -1);
  for (int i = 0; i < kQnMaxIndexSlots; ++i) {
    QNPutU16(b + kIhKeyLength + 2 * i, 0);
    b[kIhFlags + i] = 0;
    QNPutI32(b + kIhKeyCount + 4 * i, 0);
    QNPutI32(b + kIhRoot + 4 * i, -1);
    QNPutI32(b + kIhNodeCount + 4 * i, 0);
  }
  QNSetDword(fh, qfhIndexHeaderBlock, block);
}

std::int32_t QNTblIndexHeaderBlock(TqnFileInfo* File) {
  return QNGetDword(QNManagerOf(File).GetFileHeader(File, false), qfhIndexHeaderBlock);
}

void QNTblAddIndex(TqnFileInfo* File, int Index, std::int32_t KeyLength, bool IsSeqAccess, bool AllowDups) {
  CheckIndexNumber(Index);
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  if (QNTblIndexHeaderBlock(File) == -1) QNTblPrepareIndexes(File);
  if (IsSeqAccess) KeyLength = 4;
  if (KeyLength < 1 || KeyLength > kQnMaxKeyLength) QNStorageError(qnerrInvalidKeyLength, {KeyLength});
  // An entry that still has a tree gives its nodes back first, so that none is lost.
  if (QNGetI32(ReadIndexHeader(File, false) + kIhRoot + 4 * Index) != -1) QNTblClearIndex(File, Index);
  std::uint8_t* b = ReadIndexHeader(File, true);
  QNPutU16(b + kIhKeyLength + 2 * Index, static_cast<std::uint16_t>(KeyLength));
  b[kIhFlags + Index] = IsSeqAccess ? kQnIndexSeqAccess : (AllowDups ? kQnIndexAllowDups : 0);
  QNPutI32(b + kIhKeyCount + 4 * Index, 0);
  QNPutI32(b + kIhRoot + 4 * Index, -1);
  QNPutI32(b + kIhNodeCount + 4 * Index, 0);
  if (IsSeqAccess) QNSetDword(bm.GetFileHeader(File, true), qfhHasSeqIndex, 1);
}

TqnIndexInfo QNTblGetIndexInfo(TqnFileInfo* File, int Index) {
  CheckIndexNumber(Index);
  TqnBufferManager::TRequest request(QNManagerOf(File));
  const std::uint8_t* b = ReadIndexHeader(File, false);
  TqnIndexInfo info;
  info.KeyLength = QNGetU16(b + kIhKeyLength + 2 * Index);
  info.Flags = b[kIhFlags + Index];
  info.KeyCount = QNGetI32(b + kIhKeyCount + 4 * Index);
  info.Root = QNGetI32(b + kIhRoot + 4 * Index);
  info.NodeCount = QNGetI32(b + kIhNodeCount + 4 * Index);
  return info;
}

void QNTblClearIndex(TqnFileInfo* File, int Index) {
  CheckIndexNumber(Index);
  TqnBufferManager& bm = QNManagerOf(File);
  TqnBufferManager::TRequest request(bm);
  std::uint8_t* ih = ReadIndexHeader(File, true);
  const std::int32_t root = QNGetI32(ih + kIhRoot + 4 * Index);
  if (root != -1) {
    // The nodes are freed depth-first; everything stays in the current transaction, so a
    // rollback brings the whole index back.
    TqnIndexHandle h;
    h.File = File;
    h.Index = Index;
    h.Compare = QNKeyCompareRefNr;
    h.Params.KeyLength = QNGetU16(ih + kIhKeyLength + 2 * Index);
    Tree t(h);
    std::vector<std::pair<std::int32_t, int>> stack{{root, 0}};
    std::set<std::int32_t> seen;
    while (!stack.empty()) {
      const auto [block, level] = stack.back();
      stack.pop_back();
      if (!seen.insert(block).second) t.Damaged(block);
      TqnNodeView n = t.Read(block, level);
      if (!n.Leaf())
        for (std::int32_t i = 0; i <= n.Count(); ++i) stack.emplace_back(n.Child(i), n.Level() - 1);
      std::uint8_t* fh = bm.GetFileHeader(File, true);
      QNTblHlpDeleteBlock(File, fh, block);
    }
  }
  QNPutI32(ih + kIhKeyCount + 4 * Index, 0);
  QNPutI32(ih + kIhRoot + 4 * Index, -1);
  QNPutI32(ih + kIhNodeCount + 4 * Index, 0);
}

void QNTblDeleteIndex(TqnFileInfo* File, int Index) {
  CheckIndexNumber(Index);
  TqnBufferManager::TRequest request(QNManagerOf(File));
  QNTblClearIndex(File, Index);
  std::uint8_t* b = ReadIndexHeader(File, true);
  const int n = kQnMaxIndexSlots - 1 - Index;
  std::memmove(b + kIhKeyLength + 2 * Index, b + kIhKeyLength + 2 * (Index + 1), 2 * static_cast<std::size_t>(n));
  std::memmove(b + kIhFlags + Index, b + kIhFlags + Index + 1, static_cast<std::size_t>(n));
  for (int off : {kIhKeyCount, kIhRoot, kIhNodeCount})
    std::memmove(b + off + 4 * Index, b + off + 4 * (Index + 1), 4 * static_cast<std::size_t>(n));
  const int last = kQnMaxIndexSlots - 1;
  QNPutU16(b + kIhKeyLength + 2 * last, 0);
  b[kIhFlags + last] = 0;
  QNPutI32(b + kIhKeyCount + 4 * last, 0);
  QNPutI32(b + kIhRoot + 4 * last, -1);
  QNPutI32(b + kIhNodeCount + 4 * last, 0);
}

// ---- Adding and deleting keys ---------------------------------------------------------------

bool QNTblAddKey(const TqnIndexHandle& Index, std::int32_t RefNr, const std::uint8_t* Key) {
  TqnBufferManager::TRequest request(QNManagerOf(Index.File));
  Tree t(Index);
  Entry e;
  e.ref = RefNr;
  if (t.Seq())
    QNPutI32(e.key, RefNr);
  else
    std::memcpy(e.key, Key, static_cast<std::size_t>(t.K()));
  const std::int32_t root = t.Root();
  if (root == -1) {
    TqnNodeView leaf = t.New(1, true);
    InsertAt(leaf, 0, e, -1);
    t.SetRoot(leaf.block);
    t.AddKeyCount(1);
    return true;
  }
  TqnNodeView node = t.ReadRoot(root);
  if (node.Count() >= node.M) {
    if (node.Level() >= kQnMaxKeyPathDepth) t.Damaged(root);
    TqnNodeView top = t.New(node.Level() + 1, false);
    top.SetChild(0, root);
    SplitChild(t, top, 0, node);
    t.SetRoot(top.block);
    node = top;
  }
  for (int rounds = 0;; ++rounds) {
    if (rounds > kMaxRounds) t.Damaged(node.block);
    bool found = false;
    const std::int32_t pos = t.Search(node, e.key, RefNr, t.Dups(), found);
    if (found) return false;
    if (node.Leaf()) {
      t.DirtyLeafFrom(node, pos, true);
      InsertAt(node, pos, e, -1);
      t.AddKeyCount(1);
      return true;
    }
    TqnNodeView child = t.Read(node.Child(pos), node.Level() - 1);
    if (child.Count() < child.M) {
      node = child;
      rounds = -1;
      continue;
    }
    // A full child: shift keys into a sibling with room, else split it.
    if (pos < node.Count()) {
      TqnNodeView right = t.Read(node.Child(pos + 1), child.Level());
      if (right.Count() < right.M - 1) {
        RotateRight(t, node, pos, child, right, std::max<std::int32_t>(1, (child.Count() - right.Count()) / 2));
        continue;
      }
    }
    if (pos > 0) {
      TqnNodeView left = t.Read(node.Child(pos - 1), child.Level());
      if (left.Count() < left.M - 1) {
        RotateLeft(t, node, pos - 1, left, child, std::max<std::int32_t>(1, (child.Count() - left.Count()) / 2));
        continue;
      }
    }
    SplitChild(t, node, pos, child);
  }
}

bool QNTblDeleteKey(const TqnIndexHandle& Index, std::int32_t RefNr, const std::uint8_t* Key) {
  TqnBufferManager::TRequest request(QNManagerOf(Index.File));
  Tree t(Index);
  std::uint8_t key[kQnMaxKeyLength];
  if (t.Seq())
    QNPutI32(key, RefNr);
  else
    std::memcpy(key, Key, static_cast<std::size_t>(t.K()));
  const std::int32_t root = t.Root();
  if (root == -1) return false;
  TqnNodeView node = t.Read(root);
  bool isRoot = true;
  for (int rounds = 0;; ++rounds) {
    if (rounds > kMaxRounds) t.Damaged(node.block);
    bool found = false;
    const std::int32_t pos = t.Search(node, key, RefNr, t.Dups(), found);
    if (node.Leaf()) {
      if (!found) return false;
      t.DirtyLeafFrom(node, pos, false);
      RemoveAt(node, pos);
      t.AddKeyCount(-1);
      if (isRoot) CollapseRoot(t, node);
      return true;
    }
    if (found) {
      TqnNodeView left = t.Read(node.Child(pos), node.Level() - 1);
      TqnNodeView right = t.Read(node.Child(pos + 1), node.Level() - 1);
      const std::int32_t h = left.M / 2;
      if (right.Count() > h) {
        // Exchange with the first key of the right subtree; the order stays intact, and the
        // key is then deleted from the right child.
        TqnNodeView leaf = right;
        while (!leaf.Leaf()) leaf = t.Read(leaf.Child(0), leaf.Level() - 1);
        SwapEntries(t, node, pos, leaf, 0);
        node = right;
      } else if (left.Count() > h) {
        TqnNodeView leaf = left;
        while (!leaf.Leaf()) leaf = t.Read(leaf.Child(leaf.Count()), leaf.Level() - 1);
        SwapEntries(t, node, pos, leaf, leaf.Count() - 1);
        node = left;
      } else {
        Merge(t, node, pos, left, right);
        if (isRoot && CollapseRoot(t, node)) {
          node = left;
          rounds = -1;
          continue;
        }
        node = left;
      }
      isRoot = false;
      rounds = -1;
      continue;
    }
    TqnNodeView child = t.Read(node.Child(pos), node.Level() - 1);
    const std::int32_t h = child.M / 2;
    if (child.Count() > h) {
      node = child;
      isRoot = false;
      rounds = -1;
      continue;
    }
    std::int32_t rightCount = -1;
    TqnNodeView right;
    if (pos < node.Count()) {
      right = t.Read(node.Child(pos + 1), child.Level());
      rightCount = right.Count();
      if (rightCount > h) {
        RotateLeft(t, node, pos, child, right, std::max<std::int32_t>(1, (rightCount - child.Count()) / 2));
        continue;
      }
    }
    TqnNodeView left;
    if (pos > 0) {
      left = t.Read(node.Child(pos - 1), child.Level());
      if (left.Count() > h) {
        RotateRight(t, node, pos - 1, left, child, std::max<std::int32_t>(1, (left.Count() - child.Count()) / 2));
        continue;
      }
    }
    TqnNodeView merged;
    if (pos < node.Count()) {
      Merge(t, node, pos, child, right);
      merged = child;
    } else {
      Merge(t, node, pos - 1, left, child);
      merged = left;
    }
    if (isRoot && CollapseRoot(t, node)) node = merged;
  }
}

// ---- Finding and walking --------------------------------------------------------------------

namespace {

void ReturnKey(Tree& t, const TqnNodeView& n, std::int32_t pos, std::int32_t& RefNr, std::uint8_t* KeyBuffer) {
  RefNr = n.Ref(pos);
  if (KeyBuffer != nullptr && !t.Seq()) std::memcpy(KeyBuffer, n.KeyPtr(pos), static_cast<std::size_t>(t.K()));
}

void Push(Tree& t, TqnKeyPath& p, std::int32_t block, std::int32_t pos) {
  if (p.Depth >= kQnMaxKeyPathDepth) t.Damaged(block);
  p.Block[static_cast<std::size_t>(p.Depth)] = block;
  p.Position[static_cast<std::size_t>(p.Depth)] = pos;
  ++p.Depth;
}

// Goes down from Block to its leftmost (or rightmost) key.
void DescendEdge(Tree& t, TqnKeyPath& p, std::int32_t block, int level, bool leftmost, std::int32_t& RefNr,
                 std::uint8_t* KeyBuffer) {
  for (;;) {
    TqnNodeView n = t.Read(block, level);
    if (n.Leaf()) {
      const std::int32_t pos = leftmost ? 0 : n.Count() - 1;
      Push(t, p, block, pos);
      p.State = kpsOnKey;
      ReturnKey(t, n, pos, RefNr, KeyBuffer);
      return;
    }
    const std::int32_t ci = leftmost ? 0 : n.Count();
    Push(t, p, block, ci);
    block = n.Child(ci);
    level = n.Level() - 1;
  }
}

bool PathUsable(const TqnKeyPath& p) { return p.Depth >= 1 && p.Depth <= kQnMaxKeyPathDepth; }

bool Step(Tree& t, bool forward, std::int32_t& RefNr, std::uint8_t* KeyBuffer, TqnKeyPath& p) {
  std::uint8_t state = p.State;
  if (state == kpsUnpositioned) state = forward ? kpsBOF : kpsEOF;
  if ((state >= kpsBeforeKey && state <= kpsOnKey) && !PathUsable(p)) state = forward ? kpsBOF : kpsEOF;
  if (forward && state == kpsEOF) return false;
  if (!forward && state == kpsBOF) return false;
  if (state == kpsBOF || state == kpsEOF) {
    const std::int32_t root = t.Root();
    QNInitKeyPath(p);
    if (root == -1) {
      p.State = forward ? kpsEOF : kpsBOF;
      return false;
    }
    DescendEdge(t, p, root, 0, forward, RefNr, KeyBuffer);
    return true;
  }
  const std::size_t last = static_cast<std::size_t>(p.Depth - 1);
  TqnNodeView n = t.Read(p.Block[last], 0, &p.LeafHint);
  std::int32_t pos = p.Position[last];
  // A crack next to a key: the key itself is the next one in that direction.
  if ((forward && state == kpsBeforeKey) || (!forward && state == kpsAfterKey)) {
    if (pos >= 0 && pos < n.Count()) {
      p.State = kpsOnKey;
      ReturnKey(t, n, pos, RefNr, KeyBuffer);
      return true;
    }
  }
  pos = std::clamp<std::int32_t>(pos, 0, n.Count() - 1);
  if (!n.Leaf()) {
    const std::int32_t ci = forward ? pos + 1 : pos;
    p.Position[last] = ci;
    DescendEdge(t, p, n.Child(ci), n.Level() - 1, forward, RefNr, KeyBuffer);
    return true;
  }
  if (forward ? pos + 1 < n.Count() : pos > 0) {
    p.Position[last] = forward ? pos + 1 : pos - 1;
    p.State = kpsOnKey;
    ReturnKey(t, n, p.Position[last], RefNr, KeyBuffer);
    return true;
  }
  // Up the path to the first node with a key in that direction.
  for (std::int32_t d = p.Depth - 2; d >= 0; --d) {
    TqnNodeView up = t.Read(p.Block[static_cast<std::size_t>(d)]);
    const std::int32_t ci = p.Position[static_cast<std::size_t>(d)];
    const std::int32_t key = forward ? ci : ci - 1;
    if (key >= 0 && key < up.Count()) {
      p.Depth = d + 1;
      p.Position[static_cast<std::size_t>(d)] = key;
      p.State = kpsOnKey;
      ReturnKey(t, up, key, RefNr, KeyBuffer);
      return true;
    }
  }
  if (forward)
    QNSetEOF(p);
  else
    QNSetBOF(p);
  return false;
}

// The key the path stands on (state 4).
const std::uint8_t* CurrentKey(Tree& t, const TqnKeyPath& p) {
  const std::size_t last = static_cast<std::size_t>(p.Depth - 1);
  TqnNodeView n = t.Read(p.Block[last]);
  return n.KeyPtr(p.Position[last]);
}

}  // namespace

bool QNTblNextKey(const TqnIndexHandle& Index, std::int32_t& RefNr, std::uint8_t* KeyBuffer, TqnKeyPath& Path) {
  TqnBufferManager::TRequest request(QNManagerOf(Index.File));
  Tree t(Index);
  return Step(t, true, RefNr, KeyBuffer, Path);
}

bool QNTblPrevKey(const TqnIndexHandle& Index, std::int32_t& RefNr, std::uint8_t* KeyBuffer, TqnKeyPath& Path) {
  TqnBufferManager::TRequest request(QNManagerOf(Index.File));
  Tree t(Index);
  return Step(t, false, RefNr, KeyBuffer, Path);
}

bool QNTblFindKey(const TqnIndexHandle& Index, std::int32_t& RefNr, const std::uint8_t* Key, int Action,
                  TqnKeyPath& Path) {
  TqnBufferManager::TRequest request(QNManagerOf(Index.File));
  Tree t(Index);
  std::uint8_t key[kQnMaxKeyLength];
  if (t.Seq())
    QNPutI32(key, Key != nullptr ? QNGetI32(Key) : RefNr);
  else
    std::memcpy(key, Key, static_cast<std::size_t>(t.K()));
  QNInitKeyPath(Path);
  const std::int32_t root = t.Root();
  if (root == -1) {
    QNSetBOF(Path);
    return false;
  }
  const bool useRef = t.Dups() && RefNr != 0;
  const bool inputRef = RefNr != 0;
  std::int32_t block = root;
  int level = 0;
  bool match = false;
  for (;;) {
    TqnNodeView n = level == 0 ? t.ReadRoot(block) : t.Read(block, level);
    bool found = false;
    const std::int32_t pos = t.Search(n, key, RefNr, useRef, found);
    if (found) {
      Push(t, Path, block, pos);
      Path.State = kpsOnKey;
      RefNr = n.Ref(pos);
      match = true;
      break;
    }
    if (n.Leaf()) {
      if (Action == kQnFindEqual) {
        QNInitKeyPath(Path);
        return false;
      }
      if (pos < n.Count()) {
        Push(t, Path, block, pos);
        Path.State = kpsBeforeKey;
      } else {
        Push(t, Path, block, n.Count() - 1);
        Path.State = kpsAfterKey;
      }
      break;
    }
    Push(t, Path, block, pos);
    block = n.Child(pos);
    level = n.Level() - 1;
  }
  std::int32_t ref = 0;
  if (!match) {
    // Greater or greater-or-equal without a match: the next key, or EOF.
    Step(t, true, ref, nullptr, Path);
    RefNr = Path.State == kpsOnKey ? ref : 0;
    return true;
  }
  if (Action == kQnFindGreater) {
    while (Path.State == kpsOnKey && t.Compare(key, CurrentKey(t, Path)) == 0) {
      if (!Step(t, true, ref, nullptr, Path)) break;
      RefNr = ref;
    }
    if (Path.State != kpsOnKey) RefNr = 0;
    return true;
  }
  // Several keys may compare equal: go back to the first of them.
  const TqnKeyCompareParams& p = t.Params();
  if (p.FieldCount > 0 || p.PartialLength > 0 || (t.Dups() && !inputRef)) {
    for (;;) {
      TqnKeyPath saved = Path;
      if (!Step(t, false, ref, nullptr, Path) || t.Compare(key, CurrentKey(t, Path)) != 0) {
        Path = saved;
        break;
      }
      RefNr = ref;
    }
  }
  return true;
}

}  // namespace tw::dbengine
