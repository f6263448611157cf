// Shared helpers of the storage tests: a scratch folder and a table file with its buffer
// manager.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dbengine/base/errors.h"
#include "dbengine/storage/block_layout.h"
#include "dbengine/storage/buffer_manager.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/table_file.h"

namespace tw::dbengine::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<int> n{0};
    path_ = std::filesystem::temp_directory_path().string() + "/tw_storage_" + std::to_string(::getpid()) + "_" +
            std::to_string(n++);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(path_)) out.push_back(e.path().filename().string());
    return out;
  }

 private:
  std::string path_;
};

inline std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A dictionary with an integer and a 20-character string field.
inline void SmallDictionary(TqnDataDictionary& d) {
  d.AddField("ID", "", qftInt32, 0, 0, true);
  d.AddField("NAME", "", qftShortString, 20, 0, false);
  d.AddIndex("BYID", "", 0, {0}, false, true, false);
}

// One table file with its own buffer manager.
struct TableFixture {
  TqnBufferManager bm;
  TqnFileInfo* file = nullptr;

  TableFixture() = default;
  ~TableFixture() { Close(); }

  // Creates the file from a dictionary inside transaction Trans and commits.
  void Create(const std::string& base, TqnDataDictionary& dict, std::uint32_t trans = 1) {
    file = QNAllocFileInfo(base, "QND", &bm);
    QNOpenFile(file, true, false, true, false);
    file->TransactionId = trans;
    bm.StartTransaction(trans, false, "");
    QNTblCreateFileHeader(file, dict);
    QNTblWriteDictionary(dict, file);
    bm.Commit(trans);
    file->TransactionId = 0;
  }
  void Open(const std::string& base, bool readWrite = true) {
    file = QNAllocFileInfo(base, "QND", &bm);
    QNOpenFile(file, readWrite, false, false, false);
  }
  void Begin(std::uint32_t trans, bool failSafe = false, const std::string& journal = "") {
    file->TransactionId = trans;
    bm.StartTransaction(trans, failSafe, journal);
  }
  void Close() {
    if (file == nullptr) return;
    bm.RemoveFile(file);
    QNFreeFileInfo(file);
  }
  std::uint8_t* Header(bool forUpdate = false) { return bm.GetFileHeader(file, forUpdate); }
  std::int32_t Dword(int n) { return QNGetDword(Header(), n); }
};

// The engine error code of what F raises, 0 when it raises nothing, -1 for another exception.
template <typename F>
int ErrorOf(F&& f) {
  try {
    f();
  } catch (const EqnException& e) {
    return e.ErrorCode;
  } catch (...) {
    return -1;
  }
  return 0;
}

}  // namespace tw::dbengine::testing
