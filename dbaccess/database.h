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
  // Table-level work no back end here provides: each answers 12289 after naming its call.
  virtual DBIResult PackTable(const std::string&) { return ReportNotSupported("PACKTABLE"); }
  virtual DBIResult ReindexTable(const std::string&) { return ReportNotSupported("REINDEXTABLE"); }
  virtual DBIResult SortTable(const std::string&) { return ReportNotSupported("SORTTABLE"); }
  virtual DBIResult CopyTable(const std::string&, const std::string&) { return ReportNotSupported("COPYTABLE"); }
  virtual DBIResult DoRestructure(const CRTblDesc&) { return ReportNotSupported("DORESTRUCTURE"); }
  virtual DBIResult CreateInMemoryTable(const CRTblDesc&) { return ReportNotSupported("CREATEINMEMORYTABLE"); }
  virtual DBIResult CreateTempTable(const CRTblDesc&) { return ReportNotSupported("CREATETEMPTABLE"); }
  virtual DBIResult AcqPersistTableLock(const std::string&) { return ReportNotSupported("ACQPERSISTENTTABLELOCK"); }
  virtual DBIResult RelPersistTableLock(const std::string&) { return ReportNotSupported("RELPERSISTENTTABLELOCK"); }
  virtual DBIResult OpenFunctionList(hDBICur& Cursor) { Cursor = 0; return ReportNotSupported("OPENFUNCTIONLIST"); }
  virtual DBIResult OpenFunctionArgsList(const std::string&, std::uint16_t, hDBICur& Cursor) {
    Cursor = 0;
    return ReportNotSupported("OPENFUNCTIONARGSLIST");
  }
  virtual DBIResult OpenLockList(hDBICur& Cursor) { Cursor = 0; return NotSupported(); }
  virtual DBIResult OpenRintList(hDBICur& Cursor) { Cursor = 0; return NotSupported(); }
  virtual DBIResult OpenSecurityList(hDBICur& Cursor) { Cursor = 0; return NotSupported(); }
  virtual DBIResult OpenFamilyList(hDBICur& Cursor) { Cursor = 0; return NotSupported(); }
  // Stored procedures and queries: no back end provides them; each names its call and answers
  // 12289 without changing the kept result.
  virtual DBIResult OpenSPList(hDBICur& Cursor) { Cursor = 0; return ReportQueryNotSupported("OPENSPLIST"); }
  virtual DBIResult OpenSPParamsList(const std::string&, bool, hDBICur& Cursor) {
    Cursor = 0;
    return ReportQueryNotSupported("OPENSPPARAMSLIST");
  }
  virtual DBIResult QPrepareExt(const std::string&, hDBIStmt& Stmt) {
    Stmt = 0;
    return ReportQueryNotSupported("QPREPAREEXT");
  }
  virtual DBIResult QExecProcDirect(const std::string&) { return ReportQueryNotSupported("QEXECPROCDIRECT"); }
  virtual DBIResult QPrepareProc(const std::string&, hDBIStmt& Stmt) {
    Stmt = 0;
    return ReportQueryNotSupported("QPREPAREPROC");
  }
  virtual DBIResult QExecDirect(const std::string&) { return ReportQueryNotSupported("QEXECDIRECT"); }
  virtual DBIResult Login() { return NotSupported(); }
  virtual DBIResult RenameTable(const std::string&, const std::string&) { return ReportNotSupported("RENAMETABLE"); }
  virtual DBIResult OpenTableList(hDBICur& Cursor) {
    Cursor = 0;
    return SetResult(DBIERR_INVALIDHNDL);
  }
  virtual DBIResult CreateTable(bool, const CRTblDesc&) { return ReportNotSupported("CREATETABLE"); }
  // Empties a table through Cursor, or through a cursor opened for it and freed afterwards.
  virtual DBIResult EmptyTable(const std::string& Table, TBaseTable* Cursor);
  // Adds an index through Cursor, or through a cursor opened exclusively for the table.
  virtual DBIResult AddIndex(const std::string& Table, TBaseTable* Cursor, const IDXDesc& Desc);
  virtual DBIResult DeleteIndex(const std::string& Table, TBaseTable* Cursor, const std::string& IndexName,
                                const std::string& TagName, std::uint16_t IndexId);
  // True when the table list holds a table of that name (case-blind).
  bool TableExists(const std::string& Name);
  DBIResult GetDatabaseInfo(DBInfo& Info);
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
  DBIResult OpenTableList(hDBICur& Cursor) override;
  // Builds the dictionary from the table-creation record and sends it (request 1300).  An
  // unknown field type raises EqnClientException "Invalid Parameter".
  DBIResult CreateTable(bool Overwrite, const CRTblDesc& Desc) override;
  DBIResult EmptyTable(const std::string& Table, TBaseTable* Cursor) override;
  // Request 1306; afterwards the cursor on the table (given or found) reads its dictionary
  // again.  Neither a name nor a number: 10767.
  DBIResult DeleteIndex(const std::string& Table, TBaseTable* Cursor, const std::string& IndexName,
                        const std::string& TagName, std::uint16_t IndexId) override;
  DBIResult BeginTran(std::uint32_t Level, std::uint32_t& Tran) override;
  DBIResult EndTran(std::uint32_t Tran, std::uint32_t EndType) override;
  DBIResult DeleteTable(const std::string& Name) override;
  DBIResult RenameTable(const std::string& Old, const std::string& New) override;
  // Creates a table from a dictionary (request 1300).
  DBIResult BuildTable(const std::string& Name, bool Overwrite, dbengine::TqnDataDictionary& Dictionary);
  // The dictionary of a table: from an open cursor unless AskServer, else request 1299.
  DBIResult FetchDictionary(const std::string& Table, bool AskServer, dbengine::TqnDataDictionary& Dictionary);

  // The count of reply bytes copied goes into ReplyLength when given.
  DBIResult Request(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream, void* Reply,
                    std::uint32_t ReplyCapacity, std::uint32_t* ReplyLength = nullptr);
  DBIResult RequestToStream(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream,
                            TStream& Reply);

 private:
  TQNClientSession* FClientSession;  // the parent, kept typed: it never changes
  std::int32_t FServerId = -1;
  std::int32_t FTranId = -1;
  bool FFailSafe = false;
};

// Base name of a path: without folder and extension, at most 31 characters.
std::string TableBaseName(const std::string& Path);
// True when the table's base name (no folder, no extension) fits the 31 characters a request
// carries. A longer name is refused with 10039, never cut to another table's name.
bool TableNameFits(const std::string& Path);

}  // namespace tw::dbaccess
