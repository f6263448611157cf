// What every table of file routines has unless it does better.
#include <cstdint>
#include <cstring>
#include <vector>

#include "dbengine/storage/file_routines.h"

namespace tw::dbengine {

int TqnFileRoutines::WriteGatherAt(TqnFileHandle handle, std::int64_t offset, const TqnIoPiece* pieces,
                                   std::size_t count, std::size_t& done) {
  std::size_t total = 0;
  for (std::size_t i = 0; i < count; ++i) total += pieces[i].Count;
  std::vector<std::uint8_t> bytes(total);
  std::size_t at = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (pieces[i].Count > 0) std::memcpy(bytes.data() + at, pieces[i].Buffer, pieces[i].Count);
    at += pieces[i].Count;
  }
  return WriteAt(handle, offset, bytes.data(), bytes.size(), done);
}

}  // namespace tw::dbengine
