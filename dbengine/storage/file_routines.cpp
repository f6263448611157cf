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

// A folder named by path is opened for the one call: the call reaches the folder the path
// names at that moment.
int TqnFileRoutines::SyncFolder(const std::string& folder) {
  TqnFileHandle h = kQnNoHandle;
  if (const int e = OpenFolder(folder.empty() ? std::string(".") : folder, h); e != 0) return e;
  const int r = SyncFolderIn(h);
  CloseFolder(h);
  return r;
}

int TqnFileRoutines::ListFolder(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  TqnFileHandle h = kQnNoHandle;
  if (const int e = OpenFolder(folder.empty() ? std::string(".") : folder, h); e != 0) return e;
  const int r = ListFolderIn(h, names);
  CloseFolder(h);
  return r;
}

}  // namespace tw::dbengine
