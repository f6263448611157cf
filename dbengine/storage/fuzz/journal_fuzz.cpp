// Recovers arbitrary bytes as a journal left beside a table (a block journal or a rename
// journal) and as a temporary table's mark: the parser must end in a clear outcome on damage,
// no image may reach a file that is not a table of the journal's folder, and no rename or
// delete may reach outside it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dbengine/storage/file_routines.h"
#include "dbengine/storage/fuzz/fuzz_folder.h"
#include "dbengine/storage/journal.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tw::dbengine;
  static const std::string folder = fuzz::ScratchFolder("tw_storage_journal_fuzz_");
  // A small table beside the journal, so that images naming it are written.
  const std::string table = folder + "/T.QND";
  if (std::FILE* f = std::fopen(table.c_str(), "wb")) {
    std::vector<std::uint8_t> blocks(4 * 4096, 0);
    blocks[0] = 'Q', blocks[1] = 'N', blocks[2] = 'F', blocks[3] = 'H';
    blocks[13] = 0x10;  // block size 4096
    std::fwrite(blocks.data(), 1, blocks.size(), f);
    std::fclose(f);
  }
  const std::string journal = folder + "/X.QN$";
  if (std::FILE* f = std::fopen(journal.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  const std::string mark = folder + "/T_T.QN$";
  if (std::FILE* f = std::fopen(mark.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  try {
    QNRecoverJournal(journal, QNPosixFileRoutines());
    QNRecoverJournals(folder, QNPosixFileRoutines());
  } catch (const tw::Exception&) {
  }
  std::remove(journal.c_str());
  std::remove(mark.c_str());
  std::remove(table.c_str());
  return 0;
}
