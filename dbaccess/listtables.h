// List cursors: records are descriptor records of the interface filled from a prepared source
// (the server's reply stream or the session's configuration records).  They never position,
// lock or write.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/basetable.h"

namespace tw {
class TMemoryStream;
}
namespace tw::dbengine {
class TqnDataDictionary;
}

namespace tw::dbaccess {

class TBaseSession;
class TQNClientDatabase;

// Databases of the session's configuration tree.
class TBaseDBListTable : public TBaseTable {
  TW_CLASS(TBaseDBListTable, TBaseTable)
 public:
  TBaseDBListTable(TTitanCollection* Owner, TBaseSession* Session, const std::string& DbType);
  DBIResult Open() override;
  DBIResult GetNextRecord(std::uint32_t Lock, std::uint8_t* Record) override;
  std::uint32_t GetRecordBufferSize() override { return sizeof(DBDesc); }

 protected:
  std::string FDbType;
  TBaseSession* FSession;
  std::uint32_t FPosition = 0;
};

// Databases registered under HKEY_LOCAL_MACHINE "\Software\DevidEreve\Quarnel\Aliases", one
// subkey per alias with the values "Description" and "PhysicalName"; when they are used up,
// the configuration tree's databases follow.
class TRegDBListTable : public TBaseDBListTable {
  TW_CLASS(TRegDBListTable, TBaseDBListTable)
 public:
  TRegDBListTable(TTitanCollection* Owner, TBaseSession* Session, const std::string& DbType);
  ~TRegDBListTable() override;
  DBIResult Open() override;
  DBIResult GetNextRecord(std::uint32_t Lock, std::uint8_t* Record) override;

 private:
  std::vector<std::string> FNames;
  std::size_t FNamePosition = 0;
};

// Aliases of the server (request 258): 252-byte entries {alias: short string, 32 bytes;
// path: short string, 220 bytes}.
class TStreamDBListTable : public TBaseDBListTable {
  TW_CLASS(TStreamDBListTable, TBaseDBListTable)
 public:
  TStreamDBListTable(TTitanCollection* Owner, TBaseSession* Session, const std::string& DbType);
  ~TStreamDBListTable() override;
  DBIResult Open() override;
  DBIResult GetNextRecord(std::uint32_t Lock, std::uint8_t* Record) override;
  DBIResult CloseCursor() override;
  // Reads the list from bytes already received (used by Open and by tests of the reader).
  void SetReply(const std::uint8_t* Data, std::size_t Length);

 private:
  std::unique_ptr<TMemoryStream> FStream;
};

// Tables of a database (request 259): 48-byte entries.
class TQNClientTblListTable : public TBaseTable {
  TW_CLASS(TQNClientTblListTable, TBaseTable)
 public:
  TQNClientTblListTable(TTitanCollection* Owner, TQNClientDatabase* Database);
  ~TQNClientTblListTable() override;
  DBIResult Open() override;
  DBIResult GetNextRecord(std::uint32_t Lock, std::uint8_t* Record) override;
  DBIResult CloseCursor() override;
  std::uint32_t GetRecordBufferSize() override { return sizeof(TBLBaseDesc); }
  void SetReply(const std::uint8_t* Data, std::size_t Length);

 private:
  std::uint32_t FRow = 0;
  std::unique_ptr<TMemoryStream> FStream;
};

// Fields, indexes or validity checks of one table, read from its dictionary (request 1299).
class TQNClientDictListTable : public TBaseTable {
  TW_CLASS(TQNClientDictListTable, TBaseTable)
 public:
  enum TKind { lkFields, lkIndexes, lkVChecks };
  TQNClientDictListTable(TTitanCollection* Owner, TQNClientDatabase* Database, const std::string& Table, TKind Kind);
  ~TQNClientDictListTable() override;
  DBIResult Open() override;
  DBIResult GetNextRecord(std::uint32_t Lock, std::uint8_t* Record) override;
  std::uint32_t GetRecordBufferSize() override;
  const dbengine::TqnDataDictionary& Dictionary() const { return *FDict; }

 private:
  std::string FTable;
  TKind FKind;
  std::uint32_t FRow = 0;
  std::unique_ptr<dbengine::TqnDataDictionary> FDict;
};

}  // namespace tw::dbaccess
