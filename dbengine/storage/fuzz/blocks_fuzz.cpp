// Opens arbitrary bytes as a table and walks it as the server would: the records of the data
// blocks, every index forwards and backwards, every BLOB of the records, and the table checker;
// then changes it inside a transaction that is rolled back.
// Damage must end in the engine's error (or a fault of the checker), never a crash or a hang.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dbengine/storage/blobs.h"
#include "dbengine/storage/block_layout.h"
#include "dbengine/storage/btree_index.h"
#include "dbengine/storage/buffer_manager.h"
#include "dbengine/storage/data_blocks.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/table_check.h"
#include "dbengine/storage/table_file.h"
#include "platform/rtl/exceptions.h"

namespace {

using namespace tw::dbengine;

void Walk(TqnFileInfo* file, const TqnDataDictionary& d) {
  std::vector<std::uint8_t> rec(static_cast<std::size_t>(d.RecordLength()) + 1);
  std::vector<std::int32_t> blobs;
  try {
    std::int32_t ref = 0;
    std::int32_t next = 0;
    for (int n = 0; n < 5000 && QNTblNextRecord(file, ref, next, rec.data()); ++n) {
      ref = next;
      for (int f = 0; f < d.FieldCount(); ++f)
        if (QNIsBlobFieldType(d.FieldType(f)) && !d.IsRecordFieldNull(f, rec.data()))
          blobs.push_back(QNGetI32(rec.data() + d.FieldOffset(f)));
    }
  } catch (const tw::Exception&) {
  }
  for (int i = 0; i < d.IndexCount(); ++i) {
    try {
      const TqnIndexHandle h = QNMakeIndexHandle(file, d, i);
      std::vector<std::uint8_t> key(static_cast<std::size_t>(d.IndexKeyLength(i)) + 4);
      TqnKeyPath path;
      std::int32_t ref = 0;
      for (int n = 0; n < 5000 && QNTblNextKey(h, ref, key.data(), path); ++n) {
      }
      QNInitKeyPath(path);
      for (int n = 0; n < 5000 && QNTblPrevKey(h, ref, key.data(), path); ++n) {
      }
      ref = 0;
      QNTblFindKey(h, ref, key.data(), kQnFindGreaterOrEqual, path);
    } catch (const tw::Exception&) {
    }
  }
  std::vector<std::uint8_t> buf(65536);
  for (std::int32_t nr : blobs) {
    try {
      int err = 0;
      std::int32_t got = 0;
      QNTblGetBLOBLength(file, nr, err);
      QNTblReadBLOB(file, nr, 0, err, got, buf.data(), static_cast<std::int32_t>(buf.size()));
      QNTblReadBLOB(file, nr, 4000, err, got, buf.data(), 5000);
    } catch (const tw::Exception&) {
    }
  }
}

// Changes the damaged table inside a transaction that is rolled back: adding a record with its
// keys and a BLOB, deleting the first record and its keys.
void Change(TqnFileInfo* file, TqnBufferManager& bm, const TqnDataDictionary& d) {
  file->TransactionId = 1;
  bm.StartTransaction(1, false, "");
  try {
    TqnBufferManager::TRequest request(bm);
    std::vector<std::uint8_t> rec(static_cast<std::size_t>(d.RecordLength()) + 1, 0);
    std::vector<std::uint8_t> key(static_cast<std::size_t>(kQnMaxKeyLength) + 4, 0);
    std::int32_t ref = 0;
    QNTblAddRecord(file, ref, rec.data());
    for (int i = 0; i < d.IndexCount(); ++i) {
      if (i > 0) d.ExtractKey(i, rec.data(), key.data());
      QNTblAddKey(QNMakeIndexHandle(file, d, i), ref, key.data());
    }
    std::int32_t first = 0;
    if (QNTblNextRecord(file, 0, first, rec.data())) {
      for (int i = 0; i < d.IndexCount(); ++i) {
        if (i > 0) d.ExtractKey(i, rec.data(), key.data());
        QNTblDeleteKey(QNMakeIndexHandle(file, d, i), first, key.data());
      }
      QNTblDeleteRecord(file, first);
    }
    std::int32_t nr = 0;
    QNTblAddBLOB(file, nr);
    std::vector<std::uint8_t> data(5000, 1);
    QNTblWriteBLOB(file, nr, 0, 5000, data.data());
    QNTblTruncateBLOB(file, nr, 10);
  } catch (const tw::Exception&) {
  }
  try {
    bm.Rollback(1);
  } catch (const tw::Exception&) {
  }
  file->TransactionId = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = [] {
    std::string f = "/tmp/tw_storage_blocks_fuzz_" + std::to_string(::getpid());
    ::mkdir(f.c_str(), 0700);
    static const std::string removeAtExit = f;
    std::atexit([] { ::rmdir(removeAtExit.c_str()); });
    return f;
  }();
  static const std::string base = folder + "/T";
  const std::string path = base + ".QND";
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  TqnBufferManager bm;
  TqnFileInfo* file = QNAllocFileInfo(base, "QND", &bm);
  try {
    QNOpenFile(file, true, false, false, false);
    TqnDataDictionary d;
    QNTblReadDictionary(d, file);
    {
      TqnBufferManager::TRequest request(bm);
      Walk(file, d);
    }
    QNCheckTable({file}, d);
    Change(file, bm, d);
  } catch (const tw::Exception&) {
  }
  bm.RemoveFile(file);
  QNFreeFileInfo(file);
  QNCheckTableFile(path);
  std::remove(path.c_str());
  return 0;
}
