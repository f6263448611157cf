#include "dbengine/base/mempool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dbengine/base/qnobject.h"

using namespace tw::dbengine;

namespace {

TEST(PoolSizeClasses, MapRequestsToClassesAndItemSizes) {
  struct Case { int size, cls, item; };
  for (const Case& c : {Case{1, 0, 32}, Case{32, 0, 32}, Case{33, 1, 64}, Case{1024, 31, 1024}, Case{1025, 32, 1280},
                        Case{1280, 32, 1280}, Case{1281, 33, 1536}, Case{16384, 91, 16384}}) {
    EXPECT_EQ(QNPoolClassOf(c.size), c.cls) << c.size;
    EXPECT_EQ(QNPoolItemSize(c.size), c.item) << c.size;
  }
  EXPECT_EQ(QNPoolClassOf(16385), -1);
}

TEST(PoolSizeClasses, EachClassPoolServesItsWholeRangeWithoutOverlap) {
  // Every size of a class must fit the class's items, whichever request created the pool.
  for (int size : {1, 31, 32, 33, 200, 1000, 1024, 1025, 1100, 1280, 5000, 16383, 16384}) {
    void* p = PoolGetMem(size);
    TqnMemoryPool* pool = QNPoolOfClass(QNPoolClassOf(size));
    ASSERT_NE(pool, nullptr);
    EXPECT_GE(pool->ItemSize(), size);
    std::memset(p, 0xAB, static_cast<std::size_t>(size));  // ASan checks the bounds
    PoolFreeMem(p, size);
    EXPECT_EQ(p, nullptr);
  }
  void* big = PoolGetMem(20000);
  std::memset(big, 1, 20000);
  PoolFreeMem(big, 20000);
}

TEST(MemoryPool, BlocksHoldAtMost32KOfItems) {
  EXPECT_EQ(TqnMemoryPool(32, 1024).ItemsPerBlock(), 1024);
  EXPECT_EQ(TqnMemoryPool(64, 1024).ItemsPerBlock(), 512);
  EXPECT_EQ(TqnMemoryPool(96, 1024).ItemsPerBlock(), 341);
  EXPECT_EQ(TqnMemoryPool(1024, 1024).ItemsPerBlock(), 32);
  EXPECT_EQ(TqnMemoryPool(16384, 1024).ItemsPerBlock(), 2);
  EXPECT_EQ(TqnMemoryPool(40000, 1024).ItemsPerBlock(), 1);
  EXPECT_EQ(TqnMemoryPool(96, 10).ItemsPerBlock(), 10);
}

TEST(MemoryPool, HandsOutTheLastItemOfANewBlockFirstAndReusesDisposedItems) {
  TqnMemoryPool pool(64, 4);
  void* a = pool.Alloc();
  void* b = pool.Alloc();
  void* c = pool.Alloc();
  void* d = pool.Alloc();
  EXPECT_GT(a, b);
  EXPECT_GT(b, c);
  EXPECT_GT(c, d);
  EXPECT_EQ(pool.BlockCount(), 1);
  void* e = pool.Alloc();  // a second block
  EXPECT_EQ(pool.BlockCount(), 2);
  void* again = b;
  pool.Dispose(b);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(pool.Alloc(), again);
  for (void* p : {a, again, c, d, e}) pool.Dispose(p);
}

TEST(MemoryPool, ReusedMemoryComesBackZeroed) {
  std::vector<void*> items;
  for (int i = 0; i < 100; ++i) {
    void* p = PoolGetMem(200);
    std::memset(p, 0xFF, 200);
    items.push_back(p);
  }
  for (void*& p : items) PoolFreeMem(p, 200);
  for (int i = 0; i < 100; ++i) {
    auto* p = static_cast<unsigned char*>(PoolGetMem(200));
    for (int j = 0; j < 200; ++j) ASSERT_EQ(p[j], 0) << i << ":" << j;
    void* v = p;
    PoolFreeMem(v, 200);
  }
  void* z = nullptr;
  QNAllocZeroed(z, 50);
  for (int j = 0; j < 50; ++j) EXPECT_EQ(static_cast<unsigned char*>(z)[j], 0);
  QNFreeZeroed(z);
  EXPECT_EQ(z, nullptr);
}

class Probe : public TqnObject {
  TW_CLASS(Probe, TqnObject)
 public:
  unsigned char payload[100];
};

TEST(TqnObject, InstanceMemoryComesFromThePoolsZeroFilled) {
  for (int round = 0; round < 3; ++round) {
    void* raw = Probe::operator new(sizeof(Probe));
    const auto* bytes = static_cast<const unsigned char*>(raw);
    for (std::size_t i = 0; i < sizeof(Probe); ++i) ASSERT_EQ(bytes[i], 0) << i;
    std::memset(raw, 0x5A, sizeof(Probe));  // dirty it for the next round
    Probe::operator delete(raw, sizeof(Probe));
  }
  auto* p = new Probe;
  EXPECT_EQ(p->payload[50], 0);
  delete p;
  EXPECT_NE(QNPoolOfClass(QNPoolClassOf(sizeof(Probe))), nullptr);
}

}  // namespace
