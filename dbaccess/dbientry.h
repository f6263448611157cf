// The flat entry points of the desktop database engine interface that the data-set classes
// call.  Each returns a 16-bit result code (0 = success) and never raises for these codes.
#pragma once

#include <cstdint>

#include "dbaccess/dbitypes.h"

namespace tw::dbaccess {

// Engine and objects.
DBIResult DbiInit(const void* Env);
DBIResult DbiInitFn(std::uint16_t Version, const void* Env);
DBIResult DbiExit();
DBIResult DbiDLLExit();
DBIResult DbiGetObjFromName(std::uint32_t ObjType, const char* Name, hDBIObj& Obj);
DBIResult DbiGetProp(hDBIObj Obj, std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len);
DBIResult DbiSetProp(hDBIObj Obj, std::uint32_t Prop, std::uintptr_t Value);
DBIResult OsLdLoadBySymbName(const char* Name, hDBIObj& Obj);
DBIResult OsLdUnloadObj(hDBIObj& Obj);

// Sessions.
DBIResult DbiStartSession(const char* Name, hDBISes& Session, const char* NetDir);
DBIResult DbiGetCurrSession(hDBISes& Session);
DBIResult DbiSetCurrSession(hDBISes Session);
DBIResult DbiCloseSession(hDBISes Session);
DBIResult DbiGetSesInfo(SESInfo& Info);
DBIResult DbiSetPrivateDir(const char* Dir);
DBIResult DbiOpenDatabase(const char* Name, const char* Type, std::uint32_t OpenMode, std::uint32_t ShareMode,
                          const char* Password, std::uint16_t OptFields, const FLDDesc* OptFldDesc,
                          const char* OptParams, hDBIDb& Db);
DBIResult DbiCloseDatabase(hDBIDb& Db);
DBIResult DbiGetDatabaseDesc(const char* Name, DBDesc& Desc);
DBIResult DbiGetErrorEntry(std::uint16_t Entry, std::uint32_t& NativeError, char* Message);
DBIResult DbiGetErrorString(DBIResult Code, char* Message);
DBIResult DbiRegisterCallBack(hDBICur Cursor, std::uint32_t CbType, std::uint32_t ClientData, std::uint16_t BufLen,
                              void* Buf, void* CallBack);
DBIResult DbiNativeToAnsi(const void* LdObj, char* Ansi, const char* Native, std::uint32_t Length, bool& DataLoss);
DBIResult DbiAnsiToNative(const void* LdObj, char* Native, const char* Ansi, std::uint32_t Length, bool& DataLoss);
DBIResult DbiGetLdName(const char* Driver, const char* ObjName, char* LdName);
DBIResult DbiAddPassword(const char* Password);
DBIResult DbiDropPassword(const char* Password);
DBIResult DbiConfigPosition(std::uint32_t Mode, const char* Path);
DBIResult DbiCfgAddRecord(hDBICfg Cfg, const char* Path, std::uint16_t Fields, const FLDDesc* Descs,
                          const void* Values);
DBIResult DbiCfgDropRecord(hDBICfg Cfg, const char* Path);

// Databases.
DBIResult DbiOpenTable(hDBIDb Db, const char* TableName, const char* DriverType, const char* IndexName,
                       const char* IndexTagName, std::uint16_t IndexId, std::uint32_t OpenMode,
                       std::uint32_t ShareMode, std::uint32_t XltMode, bool UniDirectional, const void* OptParams,
                       hDBICur& Cursor);
DBIResult DbiSetDirectory(hDBIDb Db, const char* Dir);
DBIResult DbiOpenFieldList(hDBIDb Db, const char* TableName, const char* DriverType, bool PhyTypes, hDBICur& Cursor);
DBIResult DbiOpenVchkList(hDBIDb Db, const char* TableName, const char* DriverType, hDBICur& Cursor);
DBIResult DbiFormFullName(hDBIDb Db, const char* TableName, const char* DriverType, char* FullName);
DBIResult DbiGetLdNameFromDB(hDBIDb Db, const char* TableName, char* LdName);
DBIResult DbiQAlloc(hDBIDb Db, std::uint32_t QueryLang, hDBIStmt& Stmt);
DBIResult DbiQPrepare(hDBIDb Db, std::uint32_t QueryLang, const char* Query, hDBIStmt& Stmt);
// The data-set classes' question whether a database is SQL-based (false for every kind here).
DBIResult VirtEngIsSQLBased(hDBIDb Db, bool& SQLBased);
// Table-level operations the data-set classes ask for by these names: each is the database's
// operation of the same name (the cursor, when given, is the one the data set has open on the
// table).
DBIResult DbiCreateTable(hDBIDb Db, bool Overwrite, const CRTblDesc& Desc);
DBIResult DbiEmptyTable(hDBIDb Db, hDBICur Cursor, const char* TableName, const char* DriverType);
DBIResult DbiDeleteTable(hDBIDb Db, const char* TableName, const char* DriverType);

// Cursors.
DBIResult DbiGetCursorProps(hDBICur Cursor, CURProps& Props);
DBIResult DbiGetFieldDescs(hDBICur Cursor, FLDDesc* Descs);
DBIResult DbiCloneCursor(hDBICur Cursor, bool ReadOnly, bool UniDirectional, hDBICur& Clone);
DBIResult DbiCloseCursor(hDBICur& Cursor);
DBIResult DbiOpenIndex(hDBICur Cursor, const char* IndexName, std::uint16_t IndexId);
DBIResult DbiCloseIndex(hDBICur Cursor, const char* IndexName, std::uint16_t IndexId);
DBIResult DbiSwitchToIndex(hDBICur& Cursor, const char* IndexName, const char* TagName, std::uint16_t IndexId,
                           bool CurrRec);
DBIResult DbiGetIndexDesc(hDBICur Cursor, std::uint16_t IndexSeqNo, IDXDesc& Desc);
DBIResult DbiGetIndexDescs(hDBICur Cursor, IDXDesc* Descs);
DBIResult DbiExtractKey(hDBICur Cursor, const std::uint8_t* Record, std::uint8_t* Key);
DBIResult DbiSetRange(hDBICur Cursor, bool KeyItself, std::uint16_t Fields1, std::uint16_t Len1,
                      const std::uint8_t* Key1, bool KeyIncl1, std::uint16_t Fields2, std::uint16_t Len2,
                      const std::uint8_t* Key2, bool KeyIncl2);
DBIResult DbiResetRange(hDBICur Cursor);
// Places the cursor by key without reading: the cursor's SetToKey.
DBIResult DbiSetToKey(hDBICur Cursor, std::uint32_t SearchCond, bool DirectKey, std::uint16_t Fields,
                      std::uint16_t Len, const std::uint8_t* Key);
DBIResult DbiGetRecordForKey(hDBICur Cursor, bool DirectKey, std::uint16_t Fields, std::uint16_t Len,
                             const std::uint8_t* Key, std::uint8_t* Record);
DBIResult DbiGetVchkDesc(hDBICur Cursor, std::uint16_t ValSeqNo, VCHKDesc& Desc);
DBIResult DbiSetToBegin(hDBICur Cursor);
DBIResult DbiSetToEnd(hDBICur Cursor);
DBIResult DbiSetToCursor(hDBICur Dest, hDBICur Source);
DBIResult DbiGetBookMark(hDBICur Cursor, std::uint8_t* Bookmark);
DBIResult DbiSetBookMark(hDBICur Cursor, const std::uint8_t* Bookmark);
DBIResult DbiCompareBookMarks(hDBICur Cursor, const std::uint8_t* Bookmark1, const std::uint8_t* Bookmark2,
                              std::int16_t& Cmp);
DBIResult DbiGetNextRecord(hDBICur Cursor, std::uint32_t Lock, std::uint8_t* Record, void* RecProps);
DBIResult DbiGetPriorRecord(hDBICur Cursor, std::uint32_t Lock, std::uint8_t* Record, void* RecProps);
DBIResult DbiGetRecord(hDBICur Cursor, std::uint32_t Lock, std::uint8_t* Record, void* RecProps);
DBIResult DbiInitRecord(hDBICur Cursor, std::uint8_t* Record);
DBIResult DbiInsertRecord(hDBICur Cursor, std::uint32_t Lock, const std::uint8_t* Record);
DBIResult DbiModifyRecord(hDBICur Cursor, const std::uint8_t* Record, bool FreeLock);
DBIResult DbiDeleteRecord(hDBICur Cursor, std::uint8_t* Record);
DBIResult DbiForceReread(hDBICur Cursor);
// A memo field gives its first 255 characters, zero-terminated (Dest holds 256 bytes), or blank.
DBIResult DbiGetField(hDBICur Cursor, std::uint16_t FieldNo, const std::uint8_t* Record, std::uint8_t* Dest,
                      bool& Blank);
DBIResult DbiPutField(hDBICur Cursor, std::uint16_t FieldNo, std::uint8_t* Record, const std::uint8_t* Source);
DBIResult DbiOpenBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t OpenMode);
DBIResult DbiGetBlobSize(hDBICur Cursor, const std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t& Size);
DBIResult DbiGetBlob(hDBICur Cursor, const std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t Offset,
                     std::uint32_t Length, std::uint8_t* Dest, std::uint32_t& Read);
DBIResult DbiPutBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t Offset,
                     std::uint32_t Length, const std::uint8_t* Source);
DBIResult DbiTruncateBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t Length);
DBIResult DbiFreeBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo);
DBIResult DbiRelRecordLock(hDBICur Cursor, bool All);
DBIResult DbiAddFilter(hDBICur Cursor, std::uint32_t ClientData, std::uint16_t Priority, bool CanAbort,
                       const std::uint8_t* Expr, pfDBIFilter Callback, hDBIFilter& Filter);
DBIResult DbiDropFilter(hDBICur Cursor, hDBIFilter Filter);
DBIResult DbiActivateFilter(hDBICur Cursor, hDBIFilter Filter);
DBIResult DbiDeactivateFilter(hDBICur Cursor, hDBIFilter Filter);
DBIResult DbiBeginDelayedUpdates(hDBICur& Cursor);
DBIResult DbiEndDelayedUpdates(hDBICur& Cursor);
DBIResult DbiGetLdObj(hDBICur Cursor, hDBIObj& LdObj);
// Not among the flat names the data-set classes bind, but reached through them.
DBIResult DbiApplyDelayedUpdates(hDBICur Cursor, std::uint32_t Command);

// Statements.
DBIResult DbiQExec(hDBIStmt Stmt, hDBICur* Cursor);
DBIResult DbiQSetParams(hDBIStmt Stmt, std::uint16_t Fields, const FLDDesc* Descs, const std::uint8_t* Record);
DBIResult DbiQFree(hDBIStmt& Stmt);

// Dates and times.  A date that does not exist answers 10059 (invalid date) with Date 0.
DBIResult DbiDateEncode(std::uint16_t Month, std::uint16_t Day, std::int16_t Year, std::int32_t& Date);
DBIResult DbiDateDecode(std::int32_t Date, std::uint16_t& Month, std::uint16_t& Day, std::int16_t& Year);
DBIResult DbiTimeEncode(std::uint16_t Hour, std::uint16_t Min, std::uint16_t MilSec, std::int32_t& Time);
DBIResult DbiTimeDecode(std::int32_t Time, std::uint16_t& Hour, std::uint16_t& Min, std::uint16_t& MilSec);
DBIResult DbiTimeStampDecode(double TimeStamp, std::int32_t& Date, std::int32_t& Time);

}  // namespace tw::dbaccess
