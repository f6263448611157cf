#include "dbaccess/database.h"

#include <cstring>
#include <memory>
#include <vector>

#include "dbaccess/basetable.h"
#include "dbaccess/clienttable.h"
#include "dbaccess/fieldconv.h"
#include "dbaccess/requests.h"
#include "dbaccess/listtables.h"
#include "dbaccess/session.h"
#include "dbengine/base/errors.h"
#include "dbengine/storage/data_dictionary.h"
#include "platform/classes/streams.h"
#include "platform/rtl/win1252.h"

namespace tw::dbaccess {

namespace {
std::string UncutBaseName(const std::string& Path) {
  std::size_t slash = Path.find_last_of("\\/:");
  std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = Path.find_last_of('.');
  std::size_t end = dot == std::string::npos || dot < start ? Path.size() : dot;
  return Path.substr(start, end - start);
}
}  // namespace

std::string TableBaseName(const std::string& Path) { return UncutBaseName(Path).substr(0, 31); }

bool TableNameFits(const std::string& Path) { return UncutBaseName(Path).size() <= 31; }

TBaseDatabase::TBaseDatabase(TTitanCollection* Owner, TBaseSession* Session, const DBDesc& Desc,
                             std::uint32_t OpenMode, std::uint32_t ShareMode, const std::string& Password,
                             const std::string& UserName)
    : TBapiListItem(Owner, Session),
      FUserName(UserName.substr(0, 31)),
      FOpenMode(OpenMode),
      FShareMode(ShareMode),
      FPassword(Password),
      FDesc(Desc) {}

TBaseDatabase::~TBaseDatabase() { FCursors.FreeAll(); }

TBaseSession* TBaseDatabase::Session() const { return dynamic_cast<TBaseSession*>(Parent()); }

std::string TBaseDatabase::Directory() const { return std::string(FDesc.szPhyName, strnlen(FDesc.szPhyName, sizeof FDesc.szPhyName)); }

DBIResult TBaseDatabase::GetProp(std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len) {
  switch (Prop & 0xFFFF) {
    case 0:
      if (!Value || MaxLen < 2) return SetResult(DBIERR_INVALIDPARAM);
      {
        std::uint16_t v = 16;
        std::memcpy(Value, &v, 2);
        Len = 2;
      }
      return SetResult(DBIERR_NONE);
    case 2: {
      std::string type = "STANDARD";
      if (!Value || MaxLen < type.size() + 1) return SetResult(DBIERR_INVALIDPARAM);
      std::memcpy(Value, type.c_str(), type.size() + 1);
      Len = static_cast<std::uint16_t>(type.size() + 1);
      return SetResult(DBIERR_NONE);
    }
    default:
      return NotSupported();
  }
}

DBIResult TBaseDatabase::SetDirectory(const char* Dir) {
  CopyText(FDesc.szPhyName, TextOf(Dir), 260);
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseDatabase::OpenTable(const TOpenTableArgs&, hDBICur& Cursor) {
  Cursor = 0;
  return SetResult(DBIERR_INVALIDHNDL);
}

DBIResult TBaseDatabase::OpenFieldList(const std::string&, const std::string&, bool, hDBICur& Cursor) {
  Cursor = 0;
  return SetResult(DBIERR_INVALIDHNDL);
}

DBIResult TBaseDatabase::FindOpenCursor(const std::string& NameIn, TBaseTable*& Cursor) {
  Cursor = nullptr;
  if (FCursors.Count() == 0 || NameIn.empty()) return SetResult(DBIERR_INVALIDPARAM);
  std::string name = CutAt(NameIn, ';');
  bool byPath = IsPathName(name, true);
  for (int i = 0; i < FCursors.Count(); ++i) {
    auto* c = dynamic_cast<TBaseTable*>(FCursors.At(i));
    if (!c) continue;
    if (byPath) {
      if (!c->GetFullName().empty() && AnsiSameText(c->GetFullName(), name)) {
        Cursor = c;
        return SetResult(DBIERR_NONE);
      }
    } else if (AnsiSameText(c->GetTableName(), name)) {
      Cursor = c;
      return SetResult(DBIERR_NONE);
    }
  }
  return SetResult(DBIERR_NOSUCHTABLE);
}

DBIResult TBaseDatabase::CursorCountOf(const std::string& Table, std::uint16_t& Count) {
  Count = 0;
  for (int i = 0; i < FCursors.Count(); ++i) {
    auto* c = dynamic_cast<TBaseTable*>(FCursors.At(i));
    if (c && AnsiSameText(c->GetTableName().substr(0, 31), Table.substr(0, 31))) ++Count;
  }
  return SetResult(Count ? DBIERR_NONE : DBIERR_NOSUCHTABLE);
}

namespace {
// A cursor the database opens for one table-level operation and frees after it.
class TScratchCursor {
 public:
  TScratchCursor(TBaseDatabase& Db, const std::string& Table, std::uint32_t ShareMode) {
    TOpenTableArgs args;
    args.TableName = Table;
    args.OpenMode = dbiREADWRITE;
    args.ShareMode = ShareMode;
    hDBICur h = 0;
    Result = Db.OpenTable(args, h);
    FCursor = TBapiListItem::Resolve<TBaseTable>(h);
  }
  ~TScratchCursor() {
    if (FCursor) {
      FCursor->CloseCursor();
      delete FCursor;
    }
  }
  TScratchCursor(const TScratchCursor&) = delete;
  TScratchCursor& operator=(const TScratchCursor&) = delete;
  TBaseTable* Get() const { return Result == DBIERR_NONE ? FCursor : nullptr; }
  DBIResult Result;

 private:
  TBaseTable* FCursor = nullptr;
};
}  // namespace

DBIResult TBaseDatabase::EmptyTable(const std::string& Table, TBaseTable* Cursor) {
  if (Cursor) return SetResult(Cursor->EmptyTable());
  TScratchCursor scratch(*this, Table, dbiOPENEXCL);
  if (!scratch.Get()) return SetResult(scratch.Result);
  return SetResult(scratch.Get()->EmptyTable());
}

DBIResult TBaseDatabase::AddIndex(const std::string& Table, TBaseTable* Cursor, const IDXDesc& Desc) {
  if (Cursor) return SetResult(Cursor->AddIndex(Desc));
  TScratchCursor scratch(*this, Table, dbiOPENEXCL);
  if (!scratch.Get()) return SetResult(scratch.Result);
  return SetResult(scratch.Get()->AddIndex(Desc));
}

DBIResult TBaseDatabase::DeleteIndex(const std::string& Table, TBaseTable* Cursor, const std::string& IndexName,
                                     const std::string& TagName, std::uint16_t IndexId) {
  if (Cursor) return SetResult(Cursor->DeleteIndex(IndexName, TagName, IndexId));
  TScratchCursor scratch(*this, Table, dbiOPENEXCL);
  if (!scratch.Get()) return SetResult(scratch.Result);
  return SetResult(scratch.Get()->DeleteIndex(IndexName, TagName, IndexId));
}

bool TBaseDatabase::TableExists(const std::string& Name) {
  hDBICur h = 0;
  OpenTableList(h);
  auto* list = TBapiListItem::Resolve<TBaseTable>(h);
  if (!list) return false;
  bool found = false;
  if (list->Result() == DBIERR_NONE) {
    TBLBaseDesc d;
    while (!found && list->GetNextRecord(dbiNOLOCK, reinterpret_cast<std::uint8_t*>(&d)) == DBIERR_NONE)
      found = AnsiSameText(std::string(d.szName, strnlen(d.szName, sizeof d.szName)), Name);
  }
  list->CloseCursor();
  delete list;
  return found;
}

DBIResult TBaseDatabase::GetDatabaseInfo(DBInfo& Info) {
  Info = DBInfo{};
  Info.iTranState = FTranState;
  Info.iTranWord = FTranWord;
  return SetResult(DBIERR_NONE);
}

// ---- TQNClientDatabase --------------------------------------------------------------------

TQNClientDatabase::TQNClientDatabase(TTitanCollection* Owner, TQNClientSession* Session, const DBDesc& Desc,
                                     std::uint32_t OpenMode, std::uint32_t ShareMode, const std::string& Password,
                                     const std::string& UserName)
    : TBaseDatabase(Owner, Session, Desc, OpenMode, ShareMode, Password, UserName), FClientSession(Session) {}

TQNClientDatabase::~TQNClientDatabase() {
  // Cursors close on the server before the database goes.
  FCursors.FreeAll();
  if (FServerId != -1 && ClientSession() && ClientSession()->Connected()) {
    std::uint8_t request[4];
    PutU32(request, 0, static_cast<std::uint32_t>(FServerId));
    ClientSession()->Request(257, request, sizeof request, false, nullptr, 0);
  }
}

TQNClientSession* TQNClientDatabase::ClientSession() const { return FClientSession; }

DBIResult TQNClientDatabase::Request(std::uint32_t MessageId, const void* Data, std::uint32_t Length,
                                     bool DataIsStream, void* Reply, std::uint32_t ReplyCapacity,
                                     std::uint32_t* ReplyLength) {
  if (ReplyLength) *ReplyLength = 0;
  TQNClientSession* s = ClientSession();
  if (!s || !s->Connected()) return DBIERR_INVALIDHNDL;
  return s->Request(MessageId, Data, Length, DataIsStream, Reply, ReplyCapacity, ReplyLength);
}

DBIResult TQNClientDatabase::RequestToStream(std::uint32_t MessageId, const void* Data, std::uint32_t Length,
                                             bool DataIsStream, TStream& Reply) {
  TQNClientSession* s = ClientSession();
  if (!s || !s->Connected()) return DBIERR_INVALIDHNDL;
  return s->RequestToStream(MessageId, Data, Length, DataIsStream, Reply);
}

DBIResult TQNClientDatabase::SetDirectory(const char* Dir) {
  if (!Dir) return SetResult(DBIERR_INVALIDHNDL);
  return TBaseDatabase::SetDirectory(Dir);
}

DBIResult TQNClientDatabase::OpenTable(const TOpenTableArgs& Args, hDBICur& Cursor) {
  SetResult(DBIERR_INVALIDHNDL);
  Cursor = 0;
  auto* table = new TQNClientTable(&FCursors, this, Args.TableName, Args.OpenMode, Args.ShareMode, Args.IndexId);
  DBIResult r = table->Open();
  if (r == DBIERR_NONE) {
    table->FillFieldCache();
    if (!Args.IndexName.empty()) r = table->SwitchToIndex(Args.IndexName, Args.IndexTagName, Args.IndexId, false);
  }
  // A table that could not be opened (or not on the index asked for) leaves no cursor behind:
  // the caller gets no handle it would have to close.
  if (r != DBIERR_NONE) {
    delete table;
    return SetResult(r);
  }
  Cursor = table->Handle();
  return SetResult(r);
}

namespace {
DBIResult OpenList(TBaseTable* List, hDBICur& Cursor) {
  DBIResult r = List->Open();
  Cursor = List->Handle();
  return r;
}
}  // namespace

DBIResult TQNClientDatabase::OpenFieldList(const std::string& Table, const std::string&, bool, hDBICur& Cursor) {
  Cursor = 0;
  return SetResult(OpenList(new TQNClientDictListTable(&FCursors, this, Table, TQNClientDictListTable::lkFields), Cursor));
}

DBIResult TQNClientDatabase::OpenVchkList(const std::string& Table, const std::string&, hDBICur& Cursor) {
  Cursor = 0;
  return SetResult(OpenList(new TQNClientDictListTable(&FCursors, this, Table, TQNClientDictListTable::lkVChecks), Cursor));
}

DBIResult TQNClientDatabase::OpenIndexList(const std::string& Table, hDBICur& Cursor) {
  Cursor = 0;
  return SetResult(OpenList(new TQNClientDictListTable(&FCursors, this, Table, TQNClientDictListTable::lkIndexes), Cursor));
}

DBIResult TQNClientDatabase::OpenTableList(hDBICur& Cursor) {
  Cursor = 0;
  return SetResult(OpenList(new TQNClientTblListTable(&FCursors, this), Cursor));
}

DBIResult TQNClientDatabase::BeginTran(std::uint32_t, std::uint32_t& Tran) {
  if (FTranState == 1) return SetResult(DBIERR_ACTIVETRAN);
  std::uint8_t request[5] = {};
  PutU32(request, 0, static_cast<std::uint32_t>(FServerId));
  request[4] = FFailSafe ? 1 : 0;
  std::uint8_t reply[4] = {};
  DBIResult r = Request(1024, request, sizeof request, false, reply, sizeof reply);
  if (r == DBIERR_NONE) {
    FTranId = static_cast<std::int32_t>(GetU32(reply, 0));
    FTranState = 1;
    Tran = static_cast<std::uint32_t>(FTranId);
  }
  return SetResult(r);
}

DBIResult TQNClientDatabase::EndTran(std::uint32_t, std::uint32_t EndType) {
  std::uint8_t request[5] = {};
  PutU32(request, 0, static_cast<std::uint32_t>(FTranId));
  request[4] = EndType == 2 ? 0 : 1;
  DBIResult r = Request(1025, request, sizeof request, false, nullptr, 0);
  // A rollback ends the transaction whatever it answers (an error says that what the
  // transaction wrote early could not be put back yet); a commit that failed stays open.
  if (r == DBIERR_NONE || EndType == 2) {
    FTranState = 0;
    FTranId = -1;
    // The new BLOBs of every cursor follow the transaction.
    for (int i = 0; i < FCursors.Count(); ++i)
      if (auto* table = dynamic_cast<TQNClientTable*>(FCursors.At(i))) table->TransactionEnded(EndType != 2);
  }
  return SetResult(r);
}

DBIResult TQNClientDatabase::DeleteTable(const std::string& Name) {
  if (!TableNameFits(Name)) return SetResult(DBIERR_INVALIDTABLENAME);
  std::uint8_t request[36] = {};
  PutU32(request, 0, static_cast<std::uint32_t>(FServerId));
  PutShortString(request, 4, 32, TableBaseName(Name));
  return SetResult(Request(1301, request, sizeof request, false, nullptr, 0));
}

DBIResult TQNClientDatabase::RenameTable(const std::string& Old, const std::string& New) {
  if (!TableNameFits(Old) || !TableNameFits(New)) return SetResult(DBIERR_INVALIDTABLENAME);
  std::uint8_t request[68] = {};
  PutU32(request, 0, static_cast<std::uint32_t>(FServerId));
  PutShortString(request, 4, 32, TableBaseName(Old));
  PutShortString(request, 36, 32, TableBaseName(New));
  return SetResult(Request(1302, request, sizeof request, false, nullptr, 0));
}

DBIResult TQNClientDatabase::BuildTable(const std::string& Name, bool Overwrite, dbengine::TqnDataDictionary& Dictionary) {
  if (!TableNameFits(Name)) return SetResult(DBIERR_INVALIDTABLENAME);
  TMemoryStream stream;
  std::uint8_t head[37] = {};
  PutU32(head, 0, static_cast<std::uint32_t>(FServerId));
  head[4] = Overwrite ? 1 : 0;
  PutShortString(head, 5, 32, TableBaseName(Name));
  stream.Write(head, sizeof head);
  try {
    // Writing checks the dictionary: one without fields, or with records longer than a block,
    // is refused here with a code, as the entry points answer every failure.
    Dictionary.WriteToStream(stream);
  } catch (const dbengine::EqnException&) {
    return SetResult(DBIERR_INVALIDPARAM);
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stream.Size()));
  stream.SetPosition(0);
  stream.Read(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  return SetResult(Request(1300, bytes.data(), static_cast<std::uint32_t>(bytes.size()), true, nullptr, 0));
}

DBIResult TQNClientDatabase::FetchDictionary(const std::string& Table, bool AskServer,
                                             dbengine::TqnDataDictionary& Dictionary) {
  // A table name the request cannot hold is refused: cut, it would name another table.
  if (!TableNameFits(Table)) return SetResult(DBIERR_INVALIDTABLENAME);
  const std::string& name = Table;
  if (!AskServer) {
    TBaseTable* c = nullptr;
    if (FindOpenCursor(name, c) == DBIERR_NONE) {
      if (auto* ct = dynamic_cast<TQNClientTable*>(c); ct && ct->Dictionary().FieldCount() > 0) {
        Dictionary.Assign(&ct->Dictionary());
        return SetResult(DBIERR_NONE);
      }
    }
  }
  std::uint8_t request[36] = {};
  PutU32(request, 0, static_cast<std::uint32_t>(FServerId));
  PutShortString(request, 4, 32, TableBaseName(name));
  TMemoryStream reply;
  DBIResult r = RequestToStream(1299, request, sizeof request, false, reply);
  if (r != DBIERR_NONE) return SetResult(r);
  reply.SetPosition(0);
  try {
    Dictionary.ReadFromStream(reply);
  } catch (const std::exception&) {
    return SetResult(DBIERR_KEYORRECDELETED);
  }
  return SetResult(DBIERR_NONE);
}

DBIResult TQNClientDatabase::CreateTable(bool Overwrite, const CRTblDesc& Desc) {
  SetResult(DBIERR_NOMEMORY);
  if ((Desc.iFldCount && !Desc.pfldDesc) || (Desc.iIdxCount && !Desc.pidxDesc) ||
      (Desc.iValChkCount && !Desc.pvchkDesc))
    return SetResult(DBIERR_INVALIDPARAM);
  dbengine::TqnDataDictionary dict(4096);
  for (std::uint16_t i = 0; i < Desc.iFldCount; ++i) {
    const FLDDesc& f = Desc.pfldDesc[i];
    const int type = MapEngineFieldType(f.iFldType, f.iSubType);
    bool required = false;
    for (std::uint16_t v = 0; v < Desc.iValChkCount; ++v)
      if (Desc.pvchkDesc[v].iFldNum == i + 1 && Desc.pvchkDesc[v].bRequired) required = true;
    try {
      dict.AddField(std::string(f.szName, strnlen(f.szName, sizeof f.szName)), "", type, f.iUnits1, f.iUnits2,
                    required);
    } catch (const dbengine::EqnException&) {
      return SetResult(DBIERR_INVALIDPARAM);
    }
  }
  for (std::uint16_t i = 0; i < Desc.iIdxCount; ++i) {
    const IDXDesc& x = Desc.pidxDesc[i];
    std::vector<std::int32_t> fields;
    for (int k = 0; k < std::min<int>(x.iFldsInKey, DBIMAXFLDSINKEY); ++k) fields.push_back(x.aiKeyFld[k] - 1);
    try {
      dict.AddIndex(std::string(x.szName, strnlen(x.szName, sizeof x.szName)), "", 0, fields, !x.bUnique,
                    !x.bDescending, x.bCaseInsensitive != 0);
    } catch (const dbengine::EqnException&) {
      return SetResult(DBIERR_INVALIDPARAM);
    }
  }
  return SetResult(BuildTableRequest(this, Overwrite, std::string(Desc.szTblName, strnlen(Desc.szTblName, sizeof Desc.szTblName)), dict));
}

DBIResult TQNClientDatabase::EmptyTable(const std::string& Table, TBaseTable* Cursor) {
  auto* table = dynamic_cast<TQNClientTable*>(Cursor);
  // The server empties a table only through a cursor that holds it exclusively; a shared
  // cursor empties it itself (it takes the table exclusively for the time of the deletes).
  if (Cursor && (!table || table->ShareMode() != dbiOPENEXCL)) return SetResult(Cursor->EmptyTable());
  if (!TableNameFits(table ? table->GetFullName() : Table)) return SetResult(DBIERR_INVALIDTABLENAME);
  std::uint8_t request[40] = {};
  PutU32(request, 0, static_cast<std::uint32_t>(FServerId));
  PutU32(request, 4, table ? static_cast<std::uint32_t>(table->ServerId()) : 0);
  PutShortString(request, 8, 32, TableBaseName(table ? table->GetFullName() : Table));
  return SetResult(Request(1304, request, sizeof request, false, nullptr, 0));
}

DBIResult TQNClientDatabase::DeleteIndex(const std::string& Table, TBaseTable* Cursor, const std::string& IndexName,
                                         const std::string&, std::uint16_t IndexId) {
  if (IndexName.empty() && IndexId == 0) return SetResult(DBIERR_INDEXREADONLY);
  auto* table = dynamic_cast<TQNClientTable*>(Cursor);
  std::string name = table ? table->GetFullName() : Table;
  if (!TableNameFits(name)) return SetResult(DBIERR_INVALIDTABLENAME);
  std::uint8_t request[76] = {};
  PutU32(request, 0, static_cast<std::uint32_t>(FServerId));
  PutU32(request, 4, table ? static_cast<std::uint32_t>(table->ServerId()) : 0);
  PutShortString(request, 8, 32, TableBaseName(name));
  PutShortString(request, 40, 32, IndexName);
  PutU32(request, 72, IndexId);
  DBIResult r = Request(1306, request, sizeof request, false, nullptr, 0);
  if (r != DBIERR_NONE) return SetResult(r);
  if (!table) {
    TBaseTable* open = nullptr;
    if (FindOpenCursor(TableBaseName(name), open) == DBIERR_NONE) table = dynamic_cast<TQNClientTable*>(open);
  }
  if (table) table->RefreshDictionary();
  return SetResult(DBIERR_NONE);
}

}  // namespace tw::dbaccess
