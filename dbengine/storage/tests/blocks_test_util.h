// A table with indexes for the tests of records, indexes and BLOBs: every record added or
// removed here keeps all its index keys in step.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dbengine/storage/blobs.h"
#include "dbengine/storage/btree_index.h"
#include "dbengine/storage/data_blocks.h"
#include "dbengine/storage/table_check.h"
#include "storage_test_util.h"

namespace tw::dbengine::testing {

class IndexedTable {
 public:
  // Creates NAME.QND in Folder from the dictionary that Build fills, with an index header and
  // every index of the dictionary, and commits.
  IndexedTable(const ScratchFolder& Folder, const std::function<void(TqnDataDictionary&)>& Build,
               std::int32_t BlockSize = 4096, const std::string& Name = "T")
      : dict(BlockSize) {
    dict.SetTableName(Name);
    Build(dict);
    fx.Create(Folder.File(Name), dict, NextTrans());
    Begin();
    QNTblPrepareIndexes(fx.file);
    for (int i = 0; i < dict.IndexCount(); ++i)
      QNTblAddIndex(fx.file, i, dict.IndexKeyLength(i), i == 0, dict.IndexAllowDups(i));
    Commit();
    for (int i = 0; i < dict.IndexCount(); ++i) handles.push_back(QNMakeIndexHandle(fx.file, dict, i));
  }

  std::uint32_t NextTrans() { return ++trans_; }
  void Begin() { fx.Begin(NextTrans()); }
  void Commit() {
    fx.bm.Commit(fx.file->TransactionId);
    fx.file->TransactionId = 0;
  }
  void Rollback() {
    fx.bm.Rollback(fx.file->TransactionId);
    fx.file->TransactionId = 0;
  }

  std::vector<std::uint8_t> NewRecord() const {
    std::vector<std::uint8_t> r(static_cast<std::size_t>(dict.RecordLength()));
    dict.InitRecord(r.data());
    return r;
  }
  std::vector<std::uint8_t> KeyOf(int Index, const std::vector<std::uint8_t>& Record) const {
    std::vector<std::uint8_t> k(static_cast<std::size_t>(dict.IndexKeyLength(Index)));
    dict.ExtractKey(Index, Record.data(), k.data());
    return k;
  }

  // Adds the record and its keys; -1 (nothing stored) when a unique index refuses its key.
  std::int32_t Insert(const std::vector<std::uint8_t>& Record) {
    std::int32_t ref = 0;
    QNTblAddRecord(fx.file, ref, Record.data());
    for (int i = 0; i < dict.IndexCount(); ++i) {
      const auto key = i == 0 ? std::vector<std::uint8_t>(4) : KeyOf(i, Record);
      if (!QNTblAddKey(handles[static_cast<std::size_t>(i)], ref, key.data())) {
        for (int j = 0; j < i; ++j) {
          const auto k = j == 0 ? std::vector<std::uint8_t>(4) : KeyOf(j, Record);
          EXPECT_TRUE(QNTblDeleteKey(handles[static_cast<std::size_t>(j)], ref, k.data()));
        }
        QNTblDeleteRecord(fx.file, ref);
        return -1;
      }
    }
    return ref;
  }

  void Remove(std::int32_t Ref) {
    auto rec = NewRecord();
    QNTblReadRecord(fx.file, Ref, rec.data());
    for (int i = 0; i < dict.IndexCount(); ++i) {
      const auto key = i == 0 ? std::vector<std::uint8_t>(4) : KeyOf(i, rec);
      EXPECT_TRUE(QNTblDeleteKey(handles[static_cast<std::size_t>(i)], Ref, key.data())) << "index " << i;
    }
    QNTblDeleteRecord(fx.file, Ref);
  }

  std::vector<std::string> Check(const TqnTableCheckOptions& Options = {}) {
    return QNCheckTable({fx.file}, dict, Options);
  }

  TableFixture fx;
  TqnDataDictionary dict;
  std::vector<TqnIndexHandle> handles;

 private:
  std::uint32_t trans_ = 0;
};

inline std::string Faults(const std::vector<std::string>& f) {
  std::string s;
  for (const auto& x : f) s += x + "\n";
  return s;
}

}  // namespace tw::dbengine::testing
