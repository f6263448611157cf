// A system-table file of any content: the input is written as the folder's "QNSInfo.QND" and
// read back through the table-file store, then the server configuration is loaded from it as
// at start-up.  A damaged file must read as missing (false) or as whole rows; nothing may
// crash or hang.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dbengine/transport/systables/systemtablestore.h"

using namespace tw::dbengine;

namespace {

// One scratch folder for the whole run; the file is rewritten for each input.
const std::string& Folder() {
  static const std::string folder = [] {
    std::string f = "/tmp/tidewell-fuzz-systables-XXXXXX";
    if (::mkdtemp(f.data()) == nullptr) std::abort();
    static const std::string removeAtExit = f;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(removeAtExit, ec);
    });
    return f;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string file = Folder() + "/QNSInfo.QND";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (Size != 0) std::fwrite(Data, 1, Size, f);
  std::fclose(f);

  TqnTableFileSystemStore store(Folder());
  TqnSysTable table;
  if (store.ReadTable(kQnSysInfoTable, table)) {
    for (const TqnSysRow& row : table.Rows) {
      if (row.size() != table.Fields.size()) __builtin_trap();
    }
    TqnServerConfiguration c;
    LoadInfoTable(c, store);
    if (c.GeneralInfo().ServerName.Length() > kQnMaxName) __builtin_trap();
  }
  return 0;
}
