// A system-table file of any content: the input is written as the folder's "QNSInfo.QND" and
// read back through the table-file store, then the server configuration is loaded from it as
// at start-up.  A damaged file must read as missing (false) or as whole rows; nothing may
// crash or hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dbengine/transport/systables/systemtablestore.h"
#include "platform/rtl/fuzz/scratchfolder.h"

using namespace tw::dbengine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string& folder = tw::fuzz::ScratchFolder("systables");
  tw::fuzz::WriteScratchFile(folder + "/QNSInfo.QND", Data, Size);

  TqnTableFileSystemStore store(folder);
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
