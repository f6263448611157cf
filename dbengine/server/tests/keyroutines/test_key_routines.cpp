// A library of user key routines for the server tests.  The keyed table's record starts with a
// 32-bit code (field 0); the key is that code, ordered from the largest to the smallest, and a
// negative code is refused.  "CompareOnly" exists without a build routine of its own name so
// that a configuration can name a routine the library lacks.
#include <cstdint>
#include <cstring>

#include "dbengine/storage/user_key_routines.h"

namespace {
std::int32_t Load(const std::uint8_t* P) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | P[i];
  return static_cast<std::int32_t>(v);
}
}  // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t TestBuildKey(int32_t IndexNumber, const uint8_t* Record, uint8_t* Key,
                                                            int32_t KeyLength) {
  (void)IndexNumber;
  if (KeyLength < 4 || Load(Record) < 0) return 0;
  std::memcpy(Key, Record, 4);
  return 1;
}

__attribute__((visibility("default"))) int32_t TestCompareKey(const uint8_t* Key1, const uint8_t* Key2,
                                                              const TqnUserKeyCompareParams* Params) {
  (void)Params;
  const std::int32_t a = Load(Key1), b = Load(Key2);
  return a > b ? -1 : a < b ? 1 : 0;
}

__attribute__((visibility("default"))) int32_t CompareOnly(const uint8_t*, const uint8_t*,
                                                           const TqnUserKeyCompareParams*) {
  return 0;
}
}
