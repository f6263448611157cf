#include "dbengine/base/mempool.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/rtl/exceptions.h"

namespace tw::dbengine {

namespace {
// Each block starts with the link to the previously added block; the header keeps the items
// 16-byte aligned.
constexpr int kBlockHeader = 16;
constexpr int kMaxItemBytesPerBlock = 32768;

[[noreturn]] void OutOfMemory() { throw EOutOfMemory("Out of memory"); }
}  // namespace

TqnMemoryPool::TqnMemoryPool(int ItemSize, int ItemsPerBlock) {
  itemSize_ = ItemSize < static_cast<int>(sizeof(void*)) ? static_cast<int>(sizeof(void*)) : ItemSize;
  // Keep the links of the free list aligned.
  itemSize_ = (itemSize_ + static_cast<int>(sizeof(void*)) - 1) & ~(static_cast<int>(sizeof(void*)) - 1);
  itemsPerBlock_ = ItemsPerBlock < 1 ? 1 : ItemsPerBlock;
  if (static_cast<long>(itemSize_) * itemsPerBlock_ > kMaxItemBytesPerBlock)
    itemsPerBlock_ = kMaxItemBytesPerBlock / itemSize_ > 0 ? kMaxItemBytesPerBlock / itemSize_ : 1;
  blockSize_ = itemSize_ * itemsPerBlock_ + kBlockHeader;
}

TqnMemoryPool::~TqnMemoryPool() {
  while (blocks_ != nullptr) {
    void* prev;
    std::memcpy(&prev, blocks_, sizeof prev);
    std::free(blocks_);
    blocks_ = prev;
  }
}

void TqnMemoryPool::AddBlock() {
  auto* block = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(blockSize_)));
  if (block == nullptr) OutOfMemory();
  std::memcpy(block, &blocks_, sizeof blocks_);
  blocks_ = block;
  ++blockCount_;
  // Items are pushed in address order, so the free list then runs from the last item of the
  // block to the first.
  unsigned char* item = block + kBlockHeader;
  for (int i = 0; i < itemsPerBlock_; ++i, item += itemSize_) {
    std::memcpy(item, &freeList_, sizeof freeList_);
    freeList_ = item;
  }
}

void* TqnMemoryPool::Alloc() {
  void* item;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (freeList_ == nullptr) AddBlock();
    item = freeList_;
    std::memcpy(&freeList_, item, sizeof freeList_);
  }
  std::memset(item, 0, static_cast<std::size_t>(itemSize_));
  return item;
}

void TqnMemoryPool::Dispose(void*& P) {
  if (P == nullptr) return;
  std::lock_guard<std::mutex> guard(lock_);
  std::memcpy(P, &freeList_, sizeof freeList_);
  freeList_ = P;
  P = nullptr;
}

int TqnMemoryPool::BlockCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return blockCount_;
}

// ---- size classes ----------------------------------------------------------------------

int QNPoolClassOf(int Size) {
  if (Size < 1) Size = 1;
  if (Size <= 1024) return (Size - 1) / 32;
  if (Size <= kQnMaxPoolSize) return (Size - 1) / 256 + 28;
  return -1;
}

int QNPoolItemSize(int Size) {
  if (Size < 1) Size = 1;
  if (Size <= 1024) return (Size + 31) / 32 * 32;
  return (Size + 255) / 256 * 256;
}

namespace {
// The pools live for the whole run (engine objects may be freed during static destruction, so
// the table is never torn down).
struct PoolTable {
  std::array<std::atomic<TqnMemoryPool*>, kQnPoolClasses> pools{};
  std::mutex createLock;
};
PoolTable& Pools() {
  static PoolTable* table = new PoolTable;
  return *table;
}

TqnMemoryPool& PoolFor(int cls, int size) {
  PoolTable& t = Pools();
  TqnMemoryPool* pool = t.pools[static_cast<std::size_t>(cls)].load(std::memory_order_acquire);
  if (pool != nullptr) return *pool;
  // Two threads asking for a new class at once create it once.
  std::lock_guard<std::mutex> guard(t.createLock);
  pool = t.pools[static_cast<std::size_t>(cls)].load(std::memory_order_relaxed);
  if (pool == nullptr) {
    pool = new TqnMemoryPool(QNPoolItemSize(size), 1024);
    t.pools[static_cast<std::size_t>(cls)].store(pool, std::memory_order_release);
  }
  return *pool;
}
}  // namespace

void* PoolGetMem(int Size) {
  if (Size < 1) Size = 1;
  const int cls = QNPoolClassOf(Size);
  if (cls < 0) {
    void* p = std::calloc(1, static_cast<std::size_t>(Size));
    if (p == nullptr) OutOfMemory();
    return p;
  }
  return PoolFor(cls, Size).Alloc();
}

void PoolGetMem(void*& P, int Size) { P = PoolGetMem(Size); }

void PoolFreeMem(void*& P, int Size) {
  if (P == nullptr) return;
  if (Size < 1) Size = 1;
  const int cls = QNPoolClassOf(Size);
  if (cls < 0) {
    std::free(P);
    P = nullptr;
    return;
  }
  TqnMemoryPool* pool = Pools().pools[static_cast<std::size_t>(cls)].load(std::memory_order_acquire);
  if (pool == nullptr) {  // not from the pools: a caller's size mismatch; leave it alone
    P = nullptr;
    return;
  }
  pool->Dispose(P);
}

TqnMemoryPool* QNPoolOfClass(int Class) {
  if (Class < 0 || Class >= kQnPoolClasses) return nullptr;
  return Pools().pools[static_cast<std::size_t>(Class)].load(std::memory_order_acquire);
}

void QNAllocZeroed(void*& P, std::size_t Size) {
  P = std::calloc(1, Size ? Size : 1);
  if (P == nullptr) OutOfMemory();
}

void QNFreeZeroed(void*& P) {
  std::free(P);
  P = nullptr;
}

}  // namespace tw::dbengine
