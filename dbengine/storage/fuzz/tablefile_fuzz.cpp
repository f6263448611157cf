// Opens arbitrary bytes as a table file: block 0 checks, the stored dictionary's stream
// blocks, and block reads must end in a clear error on damage, never a crash or a hang.

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "dbengine/storage/block_layout.h"
#include "dbengine/storage/fuzz/fuzz_folder.h"
#include "dbengine/storage/buffer_manager.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/table_file.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tw::dbengine;
  // A folder of its own: opening a table looks at the journals beside it.
  static const std::string folder = fuzz::ScratchFolder("tw_storage_fuzz_");
  static const std::string path = folder + "/T.QND";
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  TqnBufferManager bm;
  TqnFileInfo* file = QNAllocFileInfo(path, "", &bm);
  try {
    QNOpenFile(file, false, true, false, false);
    const std::uint8_t* h = bm.GetFileHeader(file, false);
    const std::int32_t used = QNGetDword(h, qfhBlocksUsed);
    TqnDataDictionary d;
    try {
      QNTblReadDictionary(d, file);
    } catch (const tw::Exception&) {
    }
    for (std::int32_t b = 1; b < used && b < 8; ++b) {
      try {
        bm.GetBlock(file, b, false);
      } catch (const tw::Exception&) {
      }
    }
  } catch (const tw::Exception&) {
  }
  bm.RemoveFile(file);
  QNFreeFileInfo(file);
  std::remove(path.c_str());
  return 0;
}
