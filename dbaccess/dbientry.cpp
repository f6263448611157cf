#include "dbaccess/dbientry.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "dbaccess/basetable.h"
#include "dbaccess/database.h"
#include "dbaccess/errortext.h"
#include "dbaccess/fieldconv.h"
#include "dbaccess/memtable.h"
#include "dbaccess/session.h"
#include "dbaccess/virteng.h"

namespace tw::dbaccess {

namespace {
std::unique_ptr<TVirtEng>& EngineSlot() {
  static std::unique_ptr<TVirtEng> e;
  return e;
}

// Without an engine object every handle call fails as with a nil handle.
template <typename F>
DBIResult CursorCall(hDBICur H, F&& Op) {
  TVirtEng* e = VirtEng();
  if (!e) return DBIERR_INVALIDHNDL;
  TBaseTable* c = e->TakeCursor(H);
  if (e->IsOK()) e->SetResult(Op(*c));
  return e->Result();
}

template <typename F>
DBIResult DatabaseCall(hDBIDb H, F&& Op) {
  TVirtEng* e = VirtEng();
  if (!e) return DBIERR_INVALIDHNDL;
  TBaseDatabase* d = e->TakeDatabase(H);
  if (e->IsOK()) e->SetResult(Op(*d));
  return e->Result();
}

template <typename F>
DBIResult SessionCall(F&& Op) {
  TVirtEng* e = VirtEng();
  if (!e) return DBIERR_INVALIDSESHANDLE;
  TBaseSession* s = e->TakeSession();
  if (e->IsOK()) e->SetResult(Op(*s));
  return e->Result();
}

DBIResult StatementCall(hDBIStmt H) {
  TVirtEng* e = VirtEng();
  if (!e) return DBIERR_INVALIDHNDL;
  e->TakeStatement(H);
  return e->Result();
}

std::string Text(const char* Z) { return TextOf(Z); }

// A program that returns from main without DbiExit still ends its sessions, while everything
// they reach (windows, transports, the embedded server) is whole: the hook is registered after
// all of that was first made, so it runs before any of it is destroyed.
void EndEngineAtExit() { EngineSlot().reset(); }
}  // namespace

TVirtEng* VirtEng() { return EngineSlot().get(); }

// ---- Engine and objects ----------------------------------------------------------------------

DBIResult DbiInit(const void* Env) { return DbiInitFn(300, Env); }

DBIResult DbiInitFn(std::uint16_t, const void*) {
  if (EngineSlot()) return DBIERR_MULTIPLEINIT;
  EngineSlot() = std::make_unique<TVirtEng>();
  hDBISes s = 0;
  EngineSlot()->StartSession("", "", s);
  static const bool hooked = std::atexit(EndEngineAtExit) == 0;
  (void)hooked;
  return DBIERR_NONE;
}

DBIResult DbiExit() {
  EngineSlot().reset();
  return DBIERR_NONE;
}

DBIResult DbiDLLExit() { return DBIERR_NONE; }

DBIResult DbiGetObjFromName(std::uint32_t ObjType, const char* Name, hDBIObj& Obj) {
  Obj = 0;
  TVirtEng* e = VirtEng();
  if (ObjType == 7 && !Name && e) {
    Obj = e->Handle();
    return DBIERR_NONE;
  }
  ShowEngineMessage(ClientString(csNotSupportedFormat), "GETOBJFROMNAME");
  if (e) e->SetResult(DBIERR_NOTSUPPORTED);
  return DBIERR_NOTSUPPORTED;
}

DBIResult DbiGetProp(hDBIObj Obj, std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len) {
  Len = 0;
  TBapiListItem* o = TBapiListItem::FromHandle(Obj);
  if (!o) return DBIERR_INVALIDPARAM;
  return o->GetProp(Prop, Value, MaxLen, Len);
}

DBIResult DbiSetProp(hDBIObj Obj, std::uint32_t Prop, std::uintptr_t Value) {
  TBapiListItem* o = TBapiListItem::FromHandle(Obj);
  if (!o) return DBIERR_INVALIDPARAM;
  return o->SetProp(Prop, Value);
}

DBIResult OsLdLoadBySymbName(const char*, hDBIObj& Obj) {
  Obj = 0;
  return DBIERR_NA;
}

DBIResult OsLdUnloadObj(hDBIObj&) { return DBIERR_NA; }

// ---- Sessions -------------------------------------------------------------------------------

DBIResult DbiStartSession(const char* Name, hDBISes& Session, const char* NetDir) {
  Session = 0;
  TVirtEng* e = VirtEng();
  if (!e) return DBIERR_NOTINITIALIZED;
  return e->StartSession(Text(Name), Text(NetDir), Session);
}

DBIResult DbiGetCurrSession(hDBISes& Session) {
  Session = 0;
  TVirtEng* e = VirtEng();
  if (!e) return DBIERR_INVALIDSESHANDLE;
  TBaseSession* s = e->TakeSession();
  if (s) Session = s->Handle();
  return e->Result();
}

DBIResult DbiSetCurrSession(hDBISes Session) {
  TVirtEng* e = VirtEng();
  if (!e) return DBIERR_INVALIDSESHANDLE;
  auto* s = TBapiListItem::Resolve<TBaseSession>(Session);
  if (!s || e->Sessions().IndexOf(s) < 0) return e->SetResult(DBIERR_INVALIDSESHANDLE);
  e->SetCurrentSession(s);
  return e->SetResult(DBIERR_NONE);
}

DBIResult DbiCloseSession(hDBISes Session) {
  TVirtEng* e = VirtEng();
  if (!e) return DBIERR_INVALIDSESHANDLE;
  auto* s = TBapiListItem::Resolve<TBaseSession>(Session);
  if (!s || e->Sessions().IndexOf(s) < 0) return e->SetResult(DBIERR_INVALIDSESHANDLE);
  e->CloseSession(s);
  return e->SetResult(DBIERR_NONE);
}

DBIResult DbiGetSesInfo(SESInfo& Info) {
  return SessionCall([&](TBaseSession& s) { return s.GetSesInfo(Info); });
}

DBIResult DbiSetPrivateDir(const char* Dir) {
  TVirtEng* e = VirtEng();
  if (!e) return DBIERR_NONE;
  TBaseSession* s = e->TakeSession();
  if (!s) return e->SetResult(DBIERR_NONE);
  return e->SetResult(s->SetPrivateDir(Text(Dir)));
}

DBIResult DbiOpenDatabase(const char* Name, const char* Type, std::uint32_t OpenMode, std::uint32_t ShareMode,
                          const char* Password, std::uint16_t OptFields, const FLDDesc* OptFldDesc,
                          const char* OptParams, hDBIDb& Db) {
  Db = 0;
  std::string name = CleanDatabaseName(Name);
  std::string user;
  std::string optionalPath;
  if (OptParams) {
    optionalPath = std::string(OptParams, strnlen(OptParams, 260));
    for (std::uint16_t i = 0; OptFldDesc && i < OptFields; ++i) {
      std::string fname(OptFldDesc[i].szName, strnlen(OptFldDesc[i].szName, sizeof OptFldDesc[i].szName));
      if (SameTextAnsi(fname, ClientString(csUserNameParam))) {
        const char* p = OptParams + OptFldDesc[i].iOffset;
        user = std::string(p, strnlen(p, 31));
      }
    }
  }
  return SessionCall([&](TBaseSession& s) {
    return s.OpenDatabase(name, Text(Type), OpenMode, ShareMode, Text(Password), optionalPath, user, Db);
  });
}

DBIResult DbiCloseDatabase(hDBIDb& Db) {
  return SessionCall([&](TBaseSession& s) { return s.CloseDatabase(Db); });
}

DBIResult DbiGetDatabaseDesc(const char* Name, DBDesc& Desc) {
  std::string name = CleanDatabaseName(Name);
  return SessionCall([&](TBaseSession& s) { return s.GetDatabaseDesc(name, Desc); });
}

DBIResult DbiGetErrorEntry(std::uint16_t Entry, std::uint32_t& NativeError, char* Message) {
  NativeError = 0;
  return SessionCall([&](TBaseSession& s) { return s.GetErrorEntry(Entry, NativeError, Message); });
}

DBIResult DbiGetErrorString(DBIResult Code, char* Message) {
  TVirtEng* e = VirtEng();
  TBaseSession* s = e ? e->CurrentSession() : nullptr;
  if (e && s && e->Sessions().IndexOf(s) >= 0) return SessionCall([&](TBaseSession& ses) { return ses.GetErrorString(Code, Message); });
  if (!Message) return DBIERR_INVALIDPARAM;
  CopyText(Message, GetEngineErrorText(Code), 255);
  return DBIERR_NONE;
}

DBIResult DbiRegisterCallBack(hDBICur, std::uint32_t, std::uint32_t, std::uint16_t, void*, void*) {
  return SessionCall([&](TBaseSession& s) { return s.RegisterCallBack(); });
}

DBIResult DbiNativeToAnsi(const void*, char* Ansi, const char* Native, std::uint32_t Length, bool& DataLoss) {
  DataLoss = false;
  return SessionCall([&](TBaseSession& s) { return s.NativeToAnsi(Native, Ansi, Length, DataLoss); });
}

DBIResult DbiAnsiToNative(const void*, char* Native, const char* Ansi, std::uint32_t Length, bool& DataLoss) {
  DataLoss = false;
  return SessionCall([&](TBaseSession& s) { return s.AnsiToNative(Ansi, Native, Length, DataLoss); });
}

DBIResult DbiGetLdName(const char* Driver, const char* ObjName, char* LdName) {
  return SessionCall([&](TBaseSession& s) { return s.GetLdName(Text(Driver), Text(ObjName), LdName); });
}

DBIResult DbiAddPassword(const char* Password) {
  return SessionCall([&](TBaseSession& s) { return s.AddPassword(Text(Password)); });
}

DBIResult DbiDropPassword(const char* Password) {
  return SessionCall([&](TBaseSession& s) { return s.DropPassword(Text(Password)); });
}

DBIResult DbiConfigPosition(std::uint32_t, const char*) {
  return SessionCall([&](TBaseSession& s) { return s.ConfigPosition(); });
}

DBIResult DbiCfgAddRecord(hDBICfg, const char* Path, std::uint16_t Fields, const FLDDesc* Descs, const void* Values) {
  return SessionCall([&](TBaseSession& s) {
    return s.CfgAddRecord(Text(Path), Fields, Descs, static_cast<const std::uint8_t*>(Values));
  });
}

DBIResult DbiCfgDropRecord(hDBICfg, const char* Path) {
  return SessionCall([&](TBaseSession& s) { return s.CfgDropRecord(Text(Path)); });
}

// ---- Databases ------------------------------------------------------------------------------

DBIResult DbiOpenTable(hDBIDb Db, const char* TableName, const char* DriverType, const char* IndexName,
                       const char* IndexTagName, std::uint16_t IndexId, std::uint32_t OpenMode,
                       std::uint32_t ShareMode, std::uint32_t, bool, const void*, hDBICur& Cursor) {
  Cursor = 0;
  TOpenTableArgs args;
  args.TableName = Text(TableName);
  args.DriverType = Text(DriverType);
  args.IndexName = Text(IndexName);
  args.IndexTagName = Text(IndexTagName);
  args.IndexId = IndexId;
  args.OpenMode = OpenMode;
  args.ShareMode = ShareMode;
  return DatabaseCall(Db, [&](TBaseDatabase& d) { return d.OpenTable(args, Cursor); });
}

DBIResult DbiSetDirectory(hDBIDb Db, const char* Dir) {
  return DatabaseCall(Db, [&](TBaseDatabase& d) { return d.SetDirectory(Dir); });
}

DBIResult DbiOpenFieldList(hDBIDb Db, const char* TableName, const char* DriverType, bool PhyTypes, hDBICur& Cursor) {
  Cursor = 0;
  return DatabaseCall(Db, [&](TBaseDatabase& d) { return d.OpenFieldList(Text(TableName), Text(DriverType), PhyTypes, Cursor); });
}

DBIResult DbiOpenVchkList(hDBIDb Db, const char* TableName, const char* DriverType, hDBICur& Cursor) {
  Cursor = 0;
  return DatabaseCall(Db, [&](TBaseDatabase& d) { return d.OpenVchkList(Text(TableName), Text(DriverType), Cursor); });
}

DBIResult DbiFormFullName(hDBIDb Db, const char* TableName, const char* DriverType, char* FullName) {
  return DatabaseCall(Db, [&](TBaseDatabase& d) { return d.FormFullName(Text(TableName), Text(DriverType), FullName); });
}

DBIResult DbiGetLdNameFromDB(hDBIDb Db, const char* TableName, char* LdName) {
  return DatabaseCall(Db, [&](TBaseDatabase& d) { return d.GetLdNameFromDB(Text(TableName), "", LdName); });
}

DBIResult DbiQAlloc(hDBIDb Db, std::uint32_t, hDBIStmt& Stmt) {
  Stmt = 0;
  return DatabaseCall(Db, [&](TBaseDatabase& d) { return d.QAlloc(Stmt); });
}

DBIResult DbiQPrepare(hDBIDb Db, std::uint32_t, const char* Query, hDBIStmt& Stmt) {
  Stmt = 0;
  // The database is the current one: the handle argument is not taken as current first, but
  // a handle that names no database still answers 9990.
  return DatabaseCall(Db, [&](TBaseDatabase& d) { return d.QPrepare(Text(Query), Stmt); });
}

DBIResult VirtEngIsSQLBased(hDBIDb Db, bool& SQLBased) {
  SQLBased = false;
  return DatabaseCall(Db, [&](TBaseDatabase& d) {
    SQLBased = d.IsSQLBased();
    return DBIERR_NONE;
  });
}

DBIResult DbiCreateTable(hDBIDb Db, bool Overwrite, const CRTblDesc& Desc) {
  return DatabaseCall(Db, [&](TBaseDatabase& d) { return d.CreateTable(Overwrite, Desc); });
}

DBIResult DbiEmptyTable(hDBIDb Db, hDBICur Cursor, const char* TableName, const char*) {
  TBaseTable* cursor = nullptr;
  if (Cursor) {
    cursor = TBapiListItem::Resolve<TBaseTable>(Cursor);
    if (!cursor) return DBIERR_INVALIDHNDL;
  }
  return DatabaseCall(Db, [&](TBaseDatabase& d) { return d.EmptyTable(Text(TableName), cursor); });
}

DBIResult DbiDeleteTable(hDBIDb Db, const char* TableName, const char*) {
  return DatabaseCall(Db, [&](TBaseDatabase& d) { return d.DeleteTable(Text(TableName)); });
}

// ---- Cursors ------------------------------------------------------------------------------

DBIResult DbiGetCursorProps(hDBICur Cursor, CURProps& Props) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetCursorProps(Props); });
}

DBIResult DbiGetFieldDescs(hDBICur Cursor, FLDDesc* Descs) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetFieldDescs(Descs); });
}

DBIResult DbiCloneCursor(hDBICur Cursor, bool ReadOnly, bool UniDirectional, hDBICur& Clone) {
  Clone = 0;
  return CursorCall(Cursor, [&](TBaseTable& c) {
    TBaseTable* clone = nullptr;
    DBIResult r = c.CloneCursor(ReadOnly, UniDirectional, clone);
    if (clone) Clone = clone->Handle();
    return r;
  });
}

DBIResult DbiCloseCursor(hDBICur& Cursor) {
  TVirtEng* e = VirtEng();
  if (!e) return DBIERR_INVALIDHNDL;
  TBaseTable* c = e->TakeCursor(Cursor);
  if (!e->IsOK()) return e->Result();
  DBIResult r = c->CloseCursor();
  e->FreeCursor(c);
  Cursor = 0;
  return e->SetResult(r);
}

DBIResult DbiOpenIndex(hDBICur Cursor, const char* IndexName, std::uint16_t IndexId) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.OpenIndex(Text(IndexName), IndexId); });
}

DBIResult DbiCloseIndex(hDBICur Cursor, const char* IndexName, std::uint16_t IndexId) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.CloseIndex(Text(IndexName), IndexId); });
}

DBIResult DbiSwitchToIndex(hDBICur& Cursor, const char* IndexName, const char* TagName, std::uint16_t IndexId,
                           bool CurrRec) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.SwitchToIndex(Text(IndexName), Text(TagName), IndexId, CurrRec); });
}

DBIResult DbiGetIndexDesc(hDBICur Cursor, std::uint16_t IndexSeqNo, IDXDesc& Desc) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetIndexDesc(IndexSeqNo, Desc); });
}

DBIResult DbiGetIndexDescs(hDBICur Cursor, IDXDesc* Descs) {
  return CursorCall(Cursor, [&](TBaseTable& c) {
    CURProps props;
    c.GetCursorProps(props);
    return c.GetIndexDescs(Descs, props.iIndexes);
  });
}

DBIResult DbiExtractKey(hDBICur Cursor, const std::uint8_t* Record, std::uint8_t* Key) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.ExtractKey(Record, Key); });
}

DBIResult DbiSetRange(hDBICur Cursor, bool KeyItself, std::uint16_t Fields1, std::uint16_t Len1,
                      const std::uint8_t* Key1, bool KeyIncl1, std::uint16_t Fields2, std::uint16_t Len2,
                      const std::uint8_t* Key2, bool KeyIncl2) {
  return CursorCall(Cursor, [&](TBaseTable& c) {
    return c.SetRange(KeyItself, Fields1, Len1, Key1, KeyIncl1, Fields2, Len2, Key2, KeyIncl2);
  });
}

DBIResult DbiResetRange(hDBICur Cursor) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.ResetRange(); });
}

DBIResult DbiSetToKey(hDBICur Cursor, std::uint32_t SearchCond, bool DirectKey, std::uint16_t Fields,
                      std::uint16_t Len, const std::uint8_t* Key) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.SetToKey(SearchCond, DirectKey, Fields, Len, Key); });
}

DBIResult DbiGetRecordForKey(hDBICur Cursor, bool DirectKey, std::uint16_t Fields, std::uint16_t Len,
                             const std::uint8_t* Key, std::uint8_t* Record) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetRecordForKey(DirectKey, Fields, Len, Key, Record); });
}

DBIResult DbiGetVchkDesc(hDBICur Cursor, std::uint16_t ValSeqNo, VCHKDesc& Desc) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetVchkDesc(ValSeqNo, Desc); });
}

DBIResult DbiSetToBegin(hDBICur Cursor) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.SetToBegin(); });
}

DBIResult DbiSetToEnd(hDBICur Cursor) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.SetToEnd(); });
}

DBIResult DbiSetToCursor(hDBICur Dest, hDBICur Source) {
  // Called on the source cursor with the destination as argument.
  auto* dest = TBapiListItem::Resolve<TBaseTable>(Dest);
  return CursorCall(Source, [&](TBaseTable& c) { return c.SetToCursor(dest); });
}

DBIResult DbiGetBookMark(hDBICur Cursor, std::uint8_t* Bookmark) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetBookmark(Bookmark); });
}

DBIResult DbiSetBookMark(hDBICur Cursor, const std::uint8_t* Bookmark) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.SetToBookmark(Bookmark); });
}

DBIResult DbiCompareBookMarks(hDBICur Cursor, const std::uint8_t* Bookmark1, const std::uint8_t* Bookmark2,
                              std::int16_t& Cmp) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.CompareBookmarks(Bookmark1, Bookmark2, Cmp); });
}

DBIResult DbiGetNextRecord(hDBICur Cursor, std::uint32_t Lock, std::uint8_t* Record, void*) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetNextRecord(Lock, Record); });
}

DBIResult DbiGetPriorRecord(hDBICur Cursor, std::uint32_t Lock, std::uint8_t* Record, void*) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetPriorRecord(Lock, Record); });
}

DBIResult DbiGetRecord(hDBICur Cursor, std::uint32_t Lock, std::uint8_t* Record, void*) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetRecord(Lock, Record); });
}

DBIResult DbiInitRecord(hDBICur Cursor, std::uint8_t* Record) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.InitRecord(Record); });
}

DBIResult DbiInsertRecord(hDBICur Cursor, std::uint32_t Lock, const std::uint8_t* Record) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.InsertRecord(Lock, Record); });
}

DBIResult DbiModifyRecord(hDBICur Cursor, const std::uint8_t* Record, bool FreeLock) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.ModifyRecord(Record, FreeLock); });
}

DBIResult DbiDeleteRecord(hDBICur Cursor, std::uint8_t* Record) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.DeleteRecord(Record); });
}

DBIResult DbiForceReread(hDBICur Cursor) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.ForceReread(); });
}

DBIResult DbiGetField(hDBICur Cursor, std::uint16_t FieldNo, const std::uint8_t* Record, std::uint8_t* Dest,
                      bool& Blank) {
  Blank = true;
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetField(FieldNo, Record, Dest, Blank); });
}

DBIResult DbiPutField(hDBICur Cursor, std::uint16_t FieldNo, std::uint8_t* Record, const std::uint8_t* Source) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.PutField(FieldNo, Record, Source); });
}

DBIResult DbiOpenBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t OpenMode) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.OpenBlob(Record, FieldNo, OpenMode); });
}

DBIResult DbiGetBlobSize(hDBICur Cursor, const std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t& Size) {
  Size = 0;
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetBlobSize(Record, FieldNo, Size); });
}

DBIResult DbiGetBlob(hDBICur Cursor, const std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t Offset,
                     std::uint32_t Length, std::uint8_t* Dest, std::uint32_t& Read) {
  Read = 0;
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetBlob(Record, FieldNo, Offset, Length, Dest, Read); });
}

DBIResult DbiPutBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t Offset,
                     std::uint32_t Length, const std::uint8_t* Source) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.PutBlob(Record, FieldNo, Offset, Length, Source); });
}

DBIResult DbiTruncateBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t Length) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.TruncateBlob(Record, FieldNo, Length); });
}

DBIResult DbiFreeBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.FreeBlob(Record, FieldNo); });
}

DBIResult DbiRelRecordLock(hDBICur Cursor, bool All) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.RelRecordLock(All); });
}

DBIResult DbiAddFilter(hDBICur Cursor, std::uint32_t ClientData, std::uint16_t Priority, bool CanAbort,
                       const std::uint8_t* Expr, pfDBIFilter Callback, hDBIFilter& Filter) {
  Filter = 0;
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.AddFilter(ClientData, Priority, CanAbort, Expr, Callback, Filter); });
}

DBIResult DbiDropFilter(hDBICur Cursor, hDBIFilter Filter) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.DropFilter(Filter); });
}

DBIResult DbiActivateFilter(hDBICur Cursor, hDBIFilter Filter) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.ActivateFilter(Filter); });
}

DBIResult DbiDeactivateFilter(hDBICur Cursor, hDBIFilter Filter) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.DeactivateFilter(Filter); });
}

DBIResult DbiBeginDelayedUpdates(hDBICur& Cursor) {
  return CursorCall(Cursor, [&](TBaseTable& c) {
    TBaseTable* cache = nullptr;
    DBIResult r = c.BeginDelayedUpdates(cache);
    if (r == DBIERR_NONE && cache) Cursor = cache->Handle();
    return r;
  });
}

DBIResult DbiEndDelayedUpdates(hDBICur& Cursor) {
  TVirtEng* e = VirtEng();
  if (!e) return DBIERR_INVALIDHNDL;
  TBaseTable* c = e->TakeCursor(Cursor);
  if (!e->IsOK()) return e->Result();
  TBaseTable* source = nullptr;
  DBIResult r = c->EndDelayedUpdates(source);
  if (r == DBIERR_NONE && source && source != c) {
    Cursor = source->Handle();
    e->FreeCursor(c);
  }
  return e->SetResult(r);
}

DBIResult DbiApplyDelayedUpdates(hDBICur Cursor, std::uint32_t Command) {
  return CursorCall(Cursor, [&](TBaseTable& c) { return c.ApplyDelayedUpdates(Command); });
}

DBIResult DbiGetLdObj(hDBICur Cursor, hDBIObj& LdObj) {
  LdObj = 0;
  if (Cursor) return CursorCall(Cursor, [&](TBaseTable& c) { return c.GetLdObj(LdObj); });
  return SessionCall([&](TBaseSession& s) { return s.GetLdObj(LdObj); });
}

// ---- Statements -----------------------------------------------------------------------------

DBIResult DbiQExec(hDBIStmt Stmt, hDBICur* Cursor) {
  if (Cursor) *Cursor = 0;
  return StatementCall(Stmt);
}

DBIResult DbiQSetParams(hDBIStmt Stmt, std::uint16_t, const FLDDesc*, const std::uint8_t*) {
  return StatementCall(Stmt);
}

DBIResult DbiQFree(hDBIStmt& Stmt) {
  DBIResult r = StatementCall(Stmt);
  Stmt = 0;
  return r;
}

// ---- Dates and times ------------------------------------------------------------------------

DBIResult DbiDateEncode(std::uint16_t Month, std::uint16_t Day, std::int16_t Year, std::int32_t& Date) {
  return DbiDateEncodeValue(Month, Day, Year, Date);
}

DBIResult DbiDateDecode(std::int32_t Date, std::uint16_t& Month, std::uint16_t& Day, std::int16_t& Year) {
  int m = 0, d = 0, y = 0;
  DbiDateDecodeValue(Date, m, d, y);
  Month = static_cast<std::uint16_t>(m);
  Day = static_cast<std::uint16_t>(d);
  Year = static_cast<std::int16_t>(y);
  return DBIERR_NONE;
}

DBIResult DbiTimeEncode(std::uint16_t Hour, std::uint16_t Min, std::uint16_t MilSec, std::int32_t& Time) {
  // Counted in 64 bits: parts whose milliseconds do not fit the 32-bit time are refused.
  const std::int64_t ms = (static_cast<std::int64_t>(Hour) * 60 + Min) * 60000 + MilSec;
  if (ms > INT32_MAX) {
    Time = 0;
    return DBIERR_INVALIDPARAM;
  }
  Time = static_cast<std::int32_t>(ms);
  return DBIERR_NONE;
}

DBIResult DbiTimeDecode(std::int32_t Time, std::uint16_t& Hour, std::uint16_t& Min, std::uint16_t& MilSec) {
  std::int32_t h = Time / 3600000;
  std::int32_t m = (Time - h * 3600000) / 60000;
  Hour = static_cast<std::uint16_t>(h);
  Min = static_cast<std::uint16_t>(m);
  MilSec = static_cast<std::uint16_t>(Time - h * 3600000 - m * 60000);
  return DBIERR_NONE;
}

DBIResult DbiTimeStampDecode(double TimeStamp, std::int32_t& Date, std::int32_t& Time) {
  Date = 0;
  Time = 0;
  if (!std::isfinite(TimeStamp) || TimeStamp < 0 || TimeStamp / 86400000.0 > 2147483647.0) return DBIERR_INVALIDPARAM;
  // A stamp a hair below a whole millisecond is that millisecond, not the one before.
  TimeStamp = std::round(TimeStamp);
  double date = std::trunc(TimeStamp / 86400000.0);
  Date = static_cast<std::int32_t>(date);
  Time = static_cast<std::int32_t>(std::trunc(TimeStamp - date * 86400000.0));
  return DBIERR_NONE;
}

}  // namespace tw::dbaccess
