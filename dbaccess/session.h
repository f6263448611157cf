// Sessions: the handle behind DbiStartSession.  A session owns its databases, resolves
// database names to descriptions, converts text between code pages and keeps a small
// configuration tree.  The client session connects to the database server at creation and
// carries database opening, closing and alias requests to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dbaccess/clientcomms.h"
#include "dbaccess/handles.h"

namespace tw::dbaccess {

class TBaseDatabase;
class TBaseTable;
class TBaseCfgrecord;

class TDatabaseDescCache : public TBapiListItem {
  TW_CLASS(TDatabaseDescCache, TBapiListItem)
 public:
  TDatabaseDescCache(TTitanCollection* Owner, const std::string& Name, const DBDesc& D)
      : TBapiListItem(Owner, nullptr), Name(Name), Desc(D) {}
  std::string Name;  // the name looked up, whole (the description's name field holds 31 characters)
  DBDesc Desc;
};

class TBaseSession : public TBapiListItem {
  TW_CLASS(TBaseSession, TBapiListItem)
 public:
  TBaseSession(TTitanCollection* Owner, TBapiListItem* Engine, const std::string& Name, const std::string& Directory);
  ~TBaseSession() override;

  const std::string& Name() const { return FName; }
  TTitanCollection& Databases() { return FDatabases; }
  TTitanCollection& Config() { return FConfig; }
  TTitanCollection& ListCursors() { return FListCursors; }
  const std::string& PrivateDir() const { return FPrivateDir; }
  bool IgnoreOemToAnsi = true;
  bool IgnoreAnsiToOem = true;

  DBIResult GetProp(std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len) override;
  DBIResult SetProp(std::uint32_t Prop, std::uintptr_t Value) override;

  virtual DBIResult GetErrorEntry(std::uint16_t, std::uint32_t&, char*) { return SetResult(DBIERR_NONE); }
  virtual DBIResult GetErrorString(DBIResult Code, char* Message);
  virtual DBIResult GetSesInfo(SESInfo& Info);
  virtual DBIResult GetErrorContext(std::int16_t, char* Context) {
    if (Context) *Context = 0;
    return ReportNotSupported("GETERRORCONTEXT");
  }
  // The code of the last cursor operation (the engine's current cursor), its text and the
  // context line "DBE Error: <code>"; without a current cursor the record stays empty.
  virtual DBIResult GetErrorInfo(DBIErrInfo& Info);
  virtual DBIResult GetSysVersion(SYSVersion& Version);
  virtual DBIResult GetClientInfo(CLIENTInfo& Info);
  virtual DBIResult GetSysInfo(SYSInfo& Info);
  // Loading another driver is refused: 9491.
  virtual DBIResult LoadDriver(const std::string&) { return SetResult(DBIERR_TOOMANYDRIVERS); }
  // The network user name of the current user, at most Capacity - 1 characters (nil: 9986).
  virtual DBIResult GetNetUserName(char* Name, std::size_t Capacity = 256);
  // Type and driver lists, field translation, user list, number formats, aliases and the
  // configuration file: none is provided; each answers 12289 after naming its call and
  // leaves nil in its handle out-argument.
  virtual DBIResult OpenTableTypesList(const std::string&, hDBICur& Cursor) { return Unprovided(Cursor, "OPENTABLETYPESLIST"); }
  virtual DBIResult GetTableTypeDesc(const std::string&, const std::string&) { return ReportNotSupported("GETTABLETYPEDESC"); }
  virtual DBIResult OpenFieldTypesList(const std::string&, const std::string&, hDBICur& Cursor) {
    return Unprovided(Cursor, "OPENFIELDTYPESLIST");
  }
  virtual DBIResult GetFieldTypeDesc(const std::string&, const std::string&, const std::string&) {
    return ReportNotSupported("GETFIELDTYPEDESC");
  }
  virtual DBIResult OpenIndexTypesList(const std::string&, hDBICur& Cursor) { return Unprovided(Cursor, "OPENINDEXTYPESLIST"); }
  virtual DBIResult GetIndexTypeDesc(const std::string&, const std::string&) { return ReportNotSupported("GETINDEXTYPEDESC"); }
  virtual DBIResult OpenLdList(hDBICur& Cursor) { return Unprovided(Cursor, "OPENLDLIST"); }
  virtual DBIResult OpenFieldXlt(const std::string&, const std::string&, const FLDDesc&, const std::string&,
                                 const std::string&, const FLDDesc&, bool& DataLoss, hDBIObj& Xlt) {
    DataLoss = false;
    return Unprovided(Xlt, "OPENFIELDXLT");
  }
  virtual DBIResult TranslateField(hDBIObj, const std::uint8_t*, std::uint8_t*) { return ReportNotSupported("TRANSLATEFIELD"); }
  virtual DBIResult CloseFieldXlt(hDBIObj) { return ReportNotSupported("CLOSEFIELDXLT"); }
  virtual DBIResult OpenUserList(hDBICur& Cursor) { return Unprovided(Cursor, "OPENUSERLIST"); }
  virtual DBIResult GetNumberFormat() { return ReportNotSupported("GETNUMBERFORMAT"); }
  virtual DBIResult SetNumberFormat() { return ReportNotSupported("SETNUMBERFORMAT"); }
  virtual DBIResult DeleteAlias(const std::string&) { return ReportNotSupported("DELETEALIAS"); }
  virtual DBIResult OpenCfgInfoList(const std::string&, hDBICur& Cursor) { return Unprovided(Cursor, "OPENCFGINFOLIST"); }
  virtual DBIResult OpenConfigFile(const std::string&, bool, hDBICfg& Cfg) { return Unprovided(Cfg, "OPENCONFIGFILE"); }
  virtual DBIResult CloseConfigFile(hDBICfg&) { return ReportNotSupported("CLOSECONFIGFILE"); }
  virtual DBIResult CfgBuildPath() { return ReportNotSupported("CFGBUILDPATH"); }
  virtual DBIResult CfgNextNode() { return ReportNotSupported("CFGNEXTNODE"); }
  virtual DBIResult ConfigTranslate() { return ReportNotSupported("CONFIGTRANSLATE"); }
  virtual DBIResult CfgGetHelp() { return ReportNotSupported("CFGGETHELP"); }
  virtual DBIResult CfgMerge() { return ReportNotSupported("CFGMERGE"); }
  virtual DBIResult GetCallBack() { return NotSupported(); }
  virtual DBIResult ConfigSave() { return NotSupported(); }
  virtual DBIResult DescriptionLookup(const std::string& Name, DBDesc& Desc);
  virtual DBIResult GetDatabaseDesc(const std::string& Name, DBDesc& Desc);
  int CachedDescriptionCount() const { return FDescCache.Count(); }
  virtual DBIResult CreateDatabase(const DBDesc& Desc, std::uint32_t OpenMode, std::uint32_t ShareMode,
                                   const std::string& Password, const std::string& UserName, hDBIDb& Db);
  virtual DBIResult OpenDatabase(const std::string& Name, const std::string& Type, std::uint32_t OpenMode,
                                 std::uint32_t ShareMode, const std::string& Password,
                                 const std::string& OptionalPath, const std::string& UserName, hDBIDb& Db);
  virtual DBIResult OpenDatabaseList(TBaseTable*& List);
  virtual DBIResult CloseDatabase(hDBIDb& Db);
  virtual DBIResult GetLdObj(hDBIObj& Obj) { Obj = Handle(); return SetResult(DBIERR_NONE); }
  virtual DBIResult GetLdName(const std::string&, const std::string&, char*) { return NotSupported(); }
  virtual DBIResult AddPassword(const std::string&) { return ReportNotSupported("ADDPASSWORD"); }
  virtual DBIResult DropPassword(const std::string&) { return ReportNotSupported("DROPPASSWORD"); }
  virtual DBIResult NativeToAnsi(const char* Native, char* Ansi, std::uint32_t Length, bool& DataLoss);
  virtual DBIResult AnsiToNative(const char* Ansi, char* Native, std::uint32_t Length, bool& DataLoss);
  virtual DBIResult RegisterCallBack() { return NotSupported(); }
  virtual DBIResult ConfigPosition() { return NotSupported(); }
  virtual DBIResult AddAlias(const std::string&, const std::string&, const std::string&) {
    return ReportNotSupported("ADDALIAS");
  }
  // Configuration nodes.
  TBaseCfgrecord* FindCfgNode(const std::string& Path);
  virtual DBIResult CfgAddRecord(const std::string& Path, std::uint16_t FieldCount, const FLDDesc* Fields,
                                 const std::uint8_t* Values);
  virtual DBIResult CfgGetRecord(const std::string& Path, std::uint16_t& FieldCount, FLDDesc* Fields,
                                 std::uint8_t* Values);
  // Stores new values (the node's record size) into the node of that path.
  virtual DBIResult CfgModifyRecord(const std::string& Path, const std::uint8_t* Values);
  virtual DBIResult CfgDropRecord(const std::string& Path);
  DBIResult SetPrivateDir(const std::string& Dir);
  // Sum of the cursors of the session's databases.
  std::uint16_t CursorCount();

 protected:
  DBIResult Unprovided(hDBIObj& Out, const char* CallWord) {
    Out = 0;
    return ReportNotSupported(CallWord);
  }
  // Number of sessions of the engine this session belongs to.
  std::uint16_t SessionCount() const;
  // Names a database list "DBLIST", opens it and hands it out (kept among the list cursors).
  DBIResult OpenListCursor(TBaseTable* Made, TBaseTable*& List);
  std::int16_t FLockWait = 0;
  TTitanCollection FDatabases;
  TTitanCollection FDescCache;
  TTitanCollection FConfig;
  std::uint32_t FCallbackWord = 0;
  std::string FName;
  std::string FNetDir;
  std::string FPrivateDir;
  TTitanCollection FListCursors;
  std::uint32_t FSesProp = 0;
};

class TQNClientSession : public TBaseSession {
  TW_CLASS(TQNClientSession, TBaseSession)
 public:
  TQNClientSession(TTitanCollection* Owner, TBapiListItem* Engine, const std::string& Name, const std::string& Directory);
  ~TQNClientSession() override;

  TClientComms* Comms() const { return FComms.get(); }
  bool Connected() const { return FComms && FComms->IsConnected(); }

  DBIResult CreateDatabase(const DBDesc& Desc, std::uint32_t OpenMode, std::uint32_t ShareMode,
                           const std::string& Password, const std::string& UserName, hDBIDb& Db) override;
  DBIResult OpenDatabase(const std::string& Name, const std::string& Type, std::uint32_t OpenMode,
                         std::uint32_t ShareMode, const std::string& Password, const std::string& OptionalPath,
                         const std::string& UserName, hDBIDb& Db) override;
  DBIResult OpenDatabaseList(TBaseTable*& List) override;
  DBIResult CloseDatabase(hDBIDb& Db) override;
  DBIResult GetLdObj(hDBIObj& Obj) override { Obj = 0; return SetResult(DBIERR_NONE); }
  DBIResult AddAlias(const std::string& Alias, const std::string& Type, const std::string& Params) override;

  // The count of reply bytes copied goes into ReplyLength when given.
  DBIResult Request(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream, void* Reply,
                    std::uint32_t ReplyCapacity, std::uint32_t* ReplyLength = nullptr);
  DBIResult RequestToStream(std::uint32_t MessageId, const void* Data, std::uint32_t Length, bool DataIsStream,
                            TStream& Reply);

 private:
  void Connect();
  std::unique_ptr<TClientComms> FComms;
};

// Field layout helpers for requests: a short string of Size bytes (length byte + Size - 1
// characters) at Offset of a zeroed block.
// The platform's name of the current user (empty when it has none).
std::string NetworkUserName();

void PutShortString(std::uint8_t* Block, std::size_t Offset, std::size_t Size, const std::string& Text);
std::string GetShortString(const std::uint8_t* Block, std::size_t Offset, std::size_t Size);
void PutU32(std::uint8_t* Block, std::size_t Offset, std::uint32_t V);
std::uint32_t GetU32(const std::uint8_t* Block, std::size_t Offset);

}  // namespace tw::dbaccess
