// Shared helpers of the server tests: a scratch folder, an engine with one attached client and
// an open database, and the interpretation-text table keyed by (language, transit body, radix
// body, aspect) with its memo field.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/server/server_engine.h"
#include "dbengine/storage/block_layout.h"
#include "dbengine/storage/table_check.h"

namespace tw::dbengine::testing {

class ScratchFolder {
 public:
  ScratchFolder() {
    static std::atomic<int> n{0};
    path_ = std::filesystem::temp_directory_path().string() + "/tw_server_" + std::to_string(::getpid()) + "_" +
            std::to_string(n++);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& Name) const { return path_ + "/" + Name; }
  bool Exists(const std::string& Name) const { return std::filesystem::exists(File(Name)); }

 private:
  std::string path_;
};

// Fields: 0 Lang (3 characters), 1 TBody, 2 RBody, 3 Aspect (16-bit), 4 Text (memo).
inline void TextsDictionary(TqnDataDictionary& D) {
  D.AddField("Lang", "", qftShortString, 3, 0, true);
  D.AddField("TBody", "", qftInt16, 0, 0, true);
  D.AddField("RBody", "", qftInt16, 0, 0, true);
  D.AddField("Aspect", "", qftInt16, 0, 0, true);
  D.AddField("Text", "", qftBlobMemo, 0, 0, false);
  D.AddIndex("Key", "", 0, {0, 1, 2, 3}, false, true, false);
}

// Fields: 0 ID (auto-increment), 1 Name (20 characters), 2 Group (32-bit).
inline void PeopleDictionary(TqnDataDictionary& D) {
  D.AddField("ID", "", qftAutoInc, 0, 0, false);
  D.AddField("Name", "", qftShortString, 20, 0, false);
  D.AddField("Grp", "", qftInt32, 0, 0, false);
  D.AddIndex("ByName", "", 0, {1}, true, true, false);
  D.AddIndex("ByGroup", "", 0, {2, 1}, true, true, false);
  D.AddIndex("ById", "", 0, {0}, false, true, false);
}

struct Record {
  const TqnDataDictionary* Dict;
  std::vector<std::uint8_t> Bytes;
  explicit Record(const TqnDataDictionary& D) : Dict(&D), Bytes(static_cast<std::size_t>(D.RecordLength())) {
    D.InitRecord(Bytes.data());
  }
  Record& Str(int F, const std::string& S) {
    std::vector<std::uint8_t> v(static_cast<std::size_t>(Dict->FieldLength(F)), 0);
    v[0] = static_cast<std::uint8_t>(S.size());
    std::memcpy(v.data() + 1, S.data(), S.size());
    Dict->SetRecordField(F, Bytes.data(), v.data());
    return *this;
  }
  Record& I16(int F, std::int16_t X) {
    std::uint8_t v[2] = {static_cast<std::uint8_t>(X), static_cast<std::uint8_t>(static_cast<std::uint16_t>(X) >> 8)};
    Dict->SetRecordField(F, Bytes.data(), v);
    return *this;
  }
  Record& I32(int F, std::int32_t X) {
    std::uint8_t v[4];
    QNPutI32(v, X);
    Dict->SetRecordField(F, Bytes.data(), v);
    return *this;
  }
  std::string GetStr(int F) const {
    const std::uint8_t* p = Bytes.data() + Dict->FieldOffset(F);
    return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
  }
  std::int32_t GetI32(int F) const { return QNGetI32(Bytes.data() + Dict->FieldOffset(F)); }
  std::int16_t GetI16(int F) const {
    const std::uint8_t* p = Bytes.data() + Dict->FieldOffset(F);
    return static_cast<std::int16_t>(p[0] | (p[1] << 8));
  }
  std::uint8_t* Data() { return Bytes.data(); }
};

// An engine, client 1 attached, and a read-write shared database on a scratch folder.
class EngineFixture : public ::testing::Test {
 protected:
  EngineFixture() : engine(std::make_unique<TqnServerEngine>()) {
    std::uint32_t hash = 0;
    EXPECT_EQ(engine->ClientAdd(1, "tester", "", hash), 0);
    EXPECT_EQ(engine->DatabaseOpenNoAlias(1, folder.Path(), 1, 1, db), 0);
  }
  ~EngineFixture() override {
    engine->WaitForRebuilds();
    engine.reset();
  }

  void Build(const std::string& Name, void (*Fill)(TqnDataDictionary&)) {
    TqnDataDictionary d(4096);
    Fill(d);
    ASSERT_EQ(engine->BuildTable(db, false, Name, d), 0);
  }
  std::uint32_t Open(const std::string& Name, int Index = 0, std::uint8_t ReadWrite = 1, std::uint8_t Share = 1) {
    std::uint32_t c = 0;
    EXPECT_EQ(engine->OpenTable(db, Name, "", Index, ReadWrite, Share, c, nullptr), 0);
    return c;
  }
  // A second client attached with a read-write shared database on the same folder; its id.
  std::uint32_t SecondClient(std::int32_t ClientID = 2) {
    std::uint32_t hash = 0, d = 0;
    EXPECT_EQ(engine->ClientAdd(ClientID, "other", "", hash), 0);
    EXPECT_EQ(engine->DatabaseOpenNoAlias(ClientID, folder.Path(), 1, 1, d), 0);
    return d;
  }
  // A cursor of the database Database on Table along index Index (read-write, shared).
  std::uint32_t OpenIn(std::uint32_t Database, const std::string& Table, int Index) {
    std::uint32_t c = 0;
    EXPECT_EQ(engine->OpenTable(Database, Table, "", Index, 1, 1, c, nullptr), 0);
    return c;
  }
  TqnDataDictionary& Dict(std::uint32_t Cursor) { return engine->FindCursor(Cursor)->Table->Dictionary(); }
  std::vector<std::string> Check(const std::string& Name) {
    return QNCheckTableFile(folder.File(Name + ".QND"));
  }

  ScratchFolder folder;
  std::unique_ptr<TqnServerEngine> engine;
  std::uint32_t db = 0;
};

// Waits for the rebuilds and reads the status of rebuild Id, which must be reported once.
inline TqnRebuildStatusRecord Finish(TqnServerEngine& E, std::int32_t Id) {
  E.WaitForRebuilds();
  bool there = false;
  TqnRebuildStatusRecord s{};
  EXPECT_EQ(E.GetRebuildStatus(static_cast<std::uint32_t>(Id), there, s), 0);
  EXPECT_TRUE(there);
  TqnRebuildStatusRecord again{};
  EXPECT_EQ(E.GetRebuildStatus(static_cast<std::uint32_t>(Id), there, again), 0);
  EXPECT_FALSE(there) << "a finished status is reported once";
  return s;
}

// Reindexes Index of Table and waits for the rebuild to end; its final status.
inline TqnRebuildStatusRecord Reindexed(TqnServerEngine& E, std::uint32_t Db, const std::string& Table,
                                        const std::string& Index) {
  std::int32_t id = -1;
  EXPECT_EQ(E.ReindexTable(Db, Table, Index, 0, id), 0);
  return id < 0 ? TqnRebuildStatusRecord{} : Finish(E, id);
}

// An index over field Field alone.
inline TqnIndexDescriptor OneFieldIndex(const std::string& Name, int Field, bool AllowDups) {
  TqnIndexDescriptor d;
  d.Name = Name;
  d.FieldCount = 1;
  d.FieldNumbers[0] = Field;
  d.AllowDups = AllowDups;
  return d;
}

inline std::string Joined(const std::vector<std::string>& V) {
  std::string s;
  for (const auto& x : V) s += x + "\n";
  return s;
}

}  // namespace tw::dbengine::testing
