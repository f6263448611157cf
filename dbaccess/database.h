// Databases: the handle behind DbiOpenDatabase.  A database names a folder or an alias of the
// server, owns the cursors opened on it and carries the table-level operations; the client
// database sends them to the server through its session.
#pragma once

#include <cstdint>
#include <string>

#include "dbaccess/handles.h"

namespace tw {
class TStream;
}
namespace tw::dbengine {
class TqnDataDictionary;
}

namespace tw::dbaccess {

class TBaseSession;
class TQNClientSession;
class TBaseTable;

// Arguments of a table open.
struct TOpenTableArgs {
  std::string TableName;
  std::string DriverType;
  std::string IndexName;
  std::string IndexTagName;
  std::uint16_t IndexId = 0;
  std::uint32_t OpenMode = dbiREADWRITE;
  std::uint32_t ShareMode = dbiOPENSHARED;
};

class TBaseDatabase : public TBapiListItem {
  TW_CLASS(TBaseDatabase, TBapiListItem)
 public:
  TBaseDatabase(TTitanCollection* Owner, TBaseSession* Session, const DBDesc& Desc, std::uint32_t OpenMode,
                std::uint32_t ShareMode, const std::string& Password, const std::string& UserName);
  ~TBaseDatabase() override;

  TBaseSession* Session() const;
  TTitanCollection& Cursors() { return FCursors; }
  const DBDesc& Desc() const { return FDesc; }
  std::string Directory() const;
  std::uint32_t TransactionState() const { return FTranState; }

  DBIResult GetProp(std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len) override;
  virtual bool IsSQLBased() { return false; }
  virtual DBIResult SetDirectory(const char* Dir);
  virtual DBIResult FormFullName(const std::string&, const std::string&, char*) { return NotSupported(); }
  virtual DBIResult OpenTable(const TOpenTableArgs& Args, hDBICur& Cursor);
  virtual DBIResult OpenFieldList(const std::string& Table, const std::string& Driver, bool Physical, hDBICur& Cursor);
  virtual DBIResult OpenVchkList(const std::string&, const std::string&, hDBICur& Cursor) {
    Cursor = 0;
    return NotSupported();
  }
  virtual DBIResult GetLdNameFromDB(const std::string&, const std::string&, char*) { return SetResult(DBIERR_NA); }
  virtual DBIResult QAlloc(hDBIStmt& Stmt) { Stmt = 0; return ReportQueryNotSupported("QALLOC"); }
  virtual DBIResult QPrepare(const std::string&, hDBIStmt& Stmt) { Stmt = 0; return ReportQueryNotSupported("QPREPARE"); }
  virtual DBIResult BeginTran(std::uint32_t, std::uint32_t&) { return ReportNotSupported("BEGINTRAN"); }
  virtual DBIResult EndTran(std::uint32_t, std::uint32_t) { return ReportNotSupported("ENDTRAN"); }
  virtual DBIResult DeleteTable(const std::string&) { return ReportNotSupported("DELETETABLE"); }
  virtual DBIResult RenameTable(const std::string&, const std::string&) { return ReportNotSupported("RENAMETABLE"); }
  // Open cursor on a table by name (cut at ";"); 9986 without cursors or name, 10024 when none.
  DBIResult FindOpenCursor(const std::string& Name, TBaseTable*& Cursor);
  DBIResult CursorCountOf(const std::string& Table, std::uint16_t& Count);

 protected:
  std::uint32_t FTranState = 0;
  std::uint32_t FTranWord = 0;
  std::string FUserName;
  TTitanCollection FCursors;
  std::uint32_t FOpenMode;
  std::uint32_t FShareMode;
  std::string FPassword;
  DBDesc FDesc;
};

class TQNClientDatabase : public TBaseDatabase {
  TW_CLASS(TQNClientDatabase, TBaseDatabase)
 public:
  TQNClientDatabase(TTitanCollection* Owner, TQNClientSession* Session, const DBDesc& Desc, std::uint32_t OpenMode,
                    std::uint32_t ShareMode, const std::string& Password, const std::string& UserName);
  ~TQNClientDatabase() override;

  std::int32_t ServerId() const { return FServerId; }
  void SetServerId(std::int32_t Id) { FServerId = Id; }
  TQNClientSession* ClientSession() const;

  DBIResult SetDirectory(const char* Dir) override;
  DBIResult OpenTable(const TOpenTableArgs& Args, hDBICur& Cursor) override;
  DBIResult OpenFieldList(const std::string& Table, const std::string& Driver, bool Physical, hDBICur& Cursor) override;
  DBIResult OpenVchkList(const std::string& Table, const std::string& Driver, hDBICur& Cursor) override;
  DBIResult OpenIndexList(const std::string& Table, hDBICur& Cursor);
  DBIResult OpenTableList(hDBICur& Cursor);
  DBIResult BeginTran(std::uint32_t Level, std::uint32_t& Tran) override;
  DBIResult EndTran(std::uint32_t Tran, std::uint32_t EndType) override;
  DBIResult DeleteTable(const std::string& Name) override;
  DBIResult RenameTable(const std::string& Old, const std::string& New) override;
  // Creates a table from a dictionary (request 1300).
  DBIResult BuildTable(const std::string& Name, bool Overwrite, dbengine::TqnDataDictionary& Dictionary);
  // The dictionary of a table: from an open cursor unless AskServer, else request 1299.
  DBIResult FetchDictionary(const std::string& Table, bool AskServer, dbengine::TqnDataDictionary& Dictionary);

  DBIResult Request(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream, void* Reply,
                    std::uint32_t ReplyCapacity);
  DBIResult RequestToStream(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream,
                            TStream& Reply);

 private:
  std::int32_t FServerId = -1;
  std::int32_t FTranId = -1;
  bool FFailSafe = false;
};

// Base name of a path: without folder and extension, at most 31 characters.
std::string TableBaseName(const std::string& Path);

}  // namespace tw::dbaccess
