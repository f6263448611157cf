// Base of every engine object: instances come zero-filled from the engine's size-class pools
// and go back to them when freed.
#pragma once

#include <cstddef>
#include <new>

#include "dbengine/base/mempool.h"
#include "platform/classes/object.h"

namespace tw::dbengine {

// Class-specific allocation for engine classes (also used by the list classes, whose base is
// not TqnObject).  Relies on the virtual destructor so that delete passes the dynamic size.
#define TW_QN_POOLED                                                                      \
 public:                                                                                  \
  static void* operator new(std::size_t size) { return ::tw::dbengine::PoolGetMem(static_cast<int>(size)); } \
  static void operator delete(void* p, std::size_t size) {                                \
    ::tw::dbengine::PoolFreeMem(p, static_cast<int>(size));                               \
  }                                                                                       \
                                                                                          \
 private:

class TqnObject : public TObject {
  TW_CLASS(TqnObject, TObject)
  TW_QN_POOLED
 public:
  TqnObject() = default;
};

}  // namespace tw::dbengine
