// The engine's size-class allocator: 92 classes of fixed-size item pools (32-byte steps up to
// 1024 bytes, 256-byte steps up to 16384), larger requests from the heap.  Engine objects, list
// items and heap short strings all come from here, so that their frequent small allocations
// are a free-list pop and push.  All memory handed out is zero-filled: blocks built
// from it go into table files and onto the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace tw::dbengine {

class TqnMemoryPool {
 public:
  // ItemSize is raised to at least 8 (one link); ItemsPerBlock is cut so that a block holds at
  // most 32768 bytes of items, and is at least 1.
  TqnMemoryPool(int ItemSize, int ItemsPerBlock);
  ~TqnMemoryPool();
  TqnMemoryPool(const TqnMemoryPool&) = delete;
  TqnMemoryPool& operator=(const TqnMemoryPool&) = delete;

  // A zero-filled item.  Raises tw::EOutOfMemory when the heap is exhausted.
  void* Alloc();
  // Returns the item to the pool; P becomes nullptr.  nullptr is ignored.
  void Dispose(void*& P);

  int ItemSize() const { return itemSize_; }
  int ItemsPerBlock() const { return itemsPerBlock_; }
  // Bytes of one block: the link to the previous block and the items.
  int BlockSize() const { return blockSize_; }
  int BlockCount() const;

 private:
  void AddBlock();

  int itemSize_;
  int itemsPerBlock_;
  int blockSize_;
  void* blocks_ = nullptr;    // chain of blocks, each starting with the link to the previous one
  void* freeList_ = nullptr;  // each free item starts with the link to the next free item
  int blockCount_ = 0;
  mutable std::mutex lock_;
};

constexpr int kQnPoolClasses = 92;
constexpr int kQnMaxPoolSize = 16384;

// Size class of a request of Size bytes (1..16384), or -1 above 16384 (heap).
int QNPoolClassOf(int Size);
// Item size of the pool that serves Size bytes: rounded up to 32 (to 1024) or 256 (above).
int QNPoolItemSize(int Size);

// Size bytes (at least 1), zero-filled, from the pool of Size's class (created on first use) or
// from the heap above 16384 bytes.
void PoolGetMem(void*& P, int Size);
void* PoolGetMem(int Size);
// Returns P, which must have been obtained with the same Size; P becomes nullptr.
void PoolFreeMem(void*& P, int Size);
// The pool of a class, nullptr while the class has not been used.
TqnMemoryPool* QNPoolOfClass(int Class);

// Size zero bytes from the heap (not the pools); release with QNFreeZeroed.
void QNAllocZeroed(void*& P, std::size_t Size);
void QNFreeZeroed(void*& P);

}  // namespace tw::dbengine
