#include "dbaccess/listtables.h"

#include <cstring>

#include "dbaccess/cfgrecord.h"
#include "dbaccess/database.h"
#include "dbaccess/fieldconv.h"
#include "dbaccess/session.h"
#include "dbengine/storage/data_dictionary.h"
#include "platform/classes/registry.h"
#include "platform/classes/streams.h"
#include "platform/classes/stringlist.h"

namespace tw::dbaccess {

TBaseDBListTable::TBaseDBListTable(TTitanCollection* Owner, TBaseSession* Session, const std::string& DbType)
    : TBaseTable(Owner, Session, dbiREADONLY, dbiOPENSHARED), FDbType(DbType.substr(0, 31)), FSession(Session) {
  FRecordBufferSize = sizeof(DBDesc);
}

DBIResult TBaseDBListTable::Open() {
  FPosition = 0;
  FState = csOpened;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseDBListTable::GetNextRecord(std::uint32_t, std::uint8_t* Record) {
  TTitanCollection& config = FSession->Config();
  while (FPosition < static_cast<std::uint32_t>(config.Count())) {
    auto* node = static_cast<TBaseCfgrecord*>(config.At(static_cast<int>(FPosition++)));
    if (node->Path().find("INFO") == std::string::npos) continue;
    if (Record) {
      DBDesc d;
      std::string name = node->Path().size() > 11 ? node->Path().substr(11) : std::string();
      CopyText(d.szName, CutAt(name, '\\'), 31);
      CopyText(d.szPhyName, node->FieldText("PATH"), 260);
      CopyText(d.szDbType, FDbType, 31);
      std::memcpy(Record, &d, sizeof d);
    }
    FState = csOnRecord;
    return SetResult(DBIERR_NONE);
  }
  return SetResult(DBIERR_EOF);
}

// ---- TRegDBListTable ------------------------------------------------------------------------

namespace {
const char* const kAliasesKey = "\\Software\\DevidEreve\\Quarnel\\Aliases";
}

TRegDBListTable::TRegDBListTable(TTitanCollection* Owner, TBaseSession* Session, const std::string& DbType)
    : TBaseDBListTable(Owner, Session, DbType) {}

TRegDBListTable::~TRegDBListTable() = default;

DBIResult TRegDBListTable::Open() {
  FPosition = 0;
  FNamePosition = 0;
  FNames.clear();
  try {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (reg.OpenKeyReadOnly(kAliasesKey)) {
      TStringList names;
      reg.GetKeyNames(names);
      for (int i = 0; i < names.Count(); ++i) FNames.push_back(names[i]);
    }
  } catch (const std::exception&) {
    // A settings store that cannot be read lists no registered databases.
    FNames.clear();
  }
  FState = csOpened;
  return SetResult(DBIERR_NONE);
}

DBIResult TRegDBListTable::GetNextRecord(std::uint32_t Lock, std::uint8_t* Record) {
  if (FNamePosition >= FNames.size()) return TBaseDBListTable::GetNextRecord(Lock, Record);
  const std::string name = FNames[FNamePosition++];
  DBDesc d;
  CopyText(d.szName, name, 31);
  try {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (reg.OpenKeyReadOnly(std::string(kAliasesKey) + "\\" + name)) {
      if (reg.ValueExists("Description")) CopyText(d.szText, reg.ReadString("Description"), 31);
      if (reg.ValueExists("PhysicalName")) CopyText(d.szPhyName, WithTrailingBackslash(reg.ReadString("PhysicalName")), 260);
    }
  } catch (const std::exception&) {
    // A value of another type reads as absent.
  }
  CopyText(d.szDbType, FDbType, 31);
  if (Record) std::memcpy(Record, &d, sizeof d);
  FState = csOnRecord;
  return SetResult(DBIERR_NONE);
}

// ---- TStreamDBListTable -------------------------------------------------------------------

TStreamDBListTable::TStreamDBListTable(TTitanCollection* Owner, TBaseSession* Session, const std::string& DbType)
    : TBaseDBListTable(Owner, Session, DbType) {}

TStreamDBListTable::~TStreamDBListTable() = default;

void TStreamDBListTable::SetReply(const std::uint8_t* Data, std::size_t Length) {
  FStream = std::make_unique<TMemoryStream>();
  if (Length) FStream->Write(Data, static_cast<std::int64_t>(Length));
  FStream->SetPosition(0);
  FState = csOpened;
}

DBIResult TStreamDBListTable::Open() {
  FStream = std::make_unique<TMemoryStream>();
  FState = csOpened;
  auto* session = dynamic_cast<TQNClientSession*>(FSession);
  if (!session || !session->Comms()) return SetResult(DBIERR_INVALIDHNDL);
  DBIResult r = session->RequestToStream(258, nullptr, 0, false, *FStream);
  if (r == DBIERR_NONE) FStream->SetPosition(0);
  return SetResult(r);
}

DBIResult TStreamDBListTable::GetNextRecord(std::uint32_t, std::uint8_t* Record) {
  if (!FStream || FStream->Position() >= FStream->Size()) return SetResult(DBIERR_EOF);
  std::uint8_t entry[252] = {};
  if (FStream->Read(entry, sizeof entry) != static_cast<std::int64_t>(sizeof entry)) {
    FStream->SetPosition(FStream->Size());
    return SetResult(DBIERR_KEYORRECDELETED);
  }
  if (Record) {
    DBDesc d;
    std::string alias = GetShortString(entry, 0, 32);
    std::string path = GetShortString(entry, 32, 220);
    CopyText(d.szName, alias, 31);
    CopyText(d.szText, path, 31);
    CopyText(d.szPhyName, path, 260);
    CopyText(d.szDbType, FDbType, 31);
    std::memcpy(Record, &d, sizeof d);
  }
  FState = csOnRecord;
  return SetResult(DBIERR_NONE);
}

DBIResult TStreamDBListTable::CloseCursor() {
  if (FState != csClosed) {
    FState = csClosed;
    FStream.reset();
  }
  return SetResult(DBIERR_NONE);
}

// ---- TQNClientTblListTable ----------------------------------------------------------------

TQNClientTblListTable::TQNClientTblListTable(TTitanCollection* Owner, TQNClientDatabase* Database)
    : TBaseTable(Owner, Database, dbiREADONLY, dbiOPENSHARED) {
  SetTableName("TABLELIST");
  FRecordBufferSize = sizeof(TBLBaseDesc);
}

TQNClientTblListTable::~TQNClientTblListTable() = default;

void TQNClientTblListTable::SetReply(const std::uint8_t* Data, std::size_t Length) {
  FStream = std::make_unique<TMemoryStream>();
  if (Length) FStream->Write(Data, static_cast<std::int64_t>(Length));
  FStream->SetPosition(0);
  FRow = 0;
  FState = csOpened;
}

DBIResult TQNClientTblListTable::Open() {
  FStream = std::make_unique<TMemoryStream>();
  FRow = 0;
  FState = csOpened;
  auto* db = dynamic_cast<TQNClientDatabase*>(Parent());
  if (!db) return SetResult(DBIERR_INVALIDHNDL);
  std::uint8_t request[40] = {};
  PutU32(request, 0, static_cast<std::uint32_t>(db->ServerId()));
  DBIResult r = db->RequestToStream(259, request, sizeof request, false, *FStream);
  if (r == DBIERR_NONE) FStream->SetPosition(0);
  return SetResult(r);
}

DBIResult TQNClientTblListTable::GetNextRecord(std::uint32_t, std::uint8_t* Record) {
  if (!FStream || FStream->Position() >= FStream->Size()) return SetResult(DBIERR_EOF);
  std::uint8_t entry[48] = {};
  if (FStream->Read(entry, sizeof entry) != static_cast<std::int64_t>(sizeof entry)) {
    FStream->SetPosition(FStream->Size());
    return SetResult(DBIERR_KEYORRECDELETED);
  }
  if (Record) {
    TBLBaseDesc d;
    std::string name = GetShortString(entry, 0, 32);
    std::string ext = GetShortString(entry, 32, 4);
    CopyText(d.szName, name, 260);
    CopyText(d.szFileName, (name + "." + ext).substr(0, 35), 260);
    CopyText(d.szExt, ext, 3);
    CopyText(d.szType, "QN", 31);
    // Packed file date-time: bits 25-31 year - 1980, 21-24 month, 16-20 day, 11-15 hours,
    // 5-10 minutes, 0-4 seconds / 2.
    std::uint32_t packed = GetU32(entry, 44);
    int year = static_cast<int>((packed >> 25) & 0x7F) + 1980;
    int month = static_cast<int>((packed >> 21) & 0x0F);
    int day = static_cast<int>((packed >> 16) & 0x1F);
    int hour = static_cast<int>((packed >> 11) & 0x1F);
    int minute = static_cast<int>((packed >> 5) & 0x3F);
    int second = static_cast<int>(packed & 0x1F) * 2;
    std::int32_t date = 0;
    if (month >= 1 && month <= 12 && day >= 1) DbiDateEncodeValue(month, day, year, date);
    d.dtDate = static_cast<std::uint32_t>(date);
    d.tmTime = static_cast<std::uint32_t>((hour * 60 + minute) * 60000 + second * 1000);
    d.iSize = GetU32(entry, 36);
    std::memcpy(Record, &d, sizeof d);
  }
  ++FRow;
  FState = csOnRecord;
  return SetResult(DBIERR_NONE);
}

DBIResult TQNClientTblListTable::CloseCursor() {
  FState = csClosed;
  FStream.reset();
  return SetResult(DBIERR_NONE);
}

// ---- TQNClientDictListTable --------------------------------------------------------------

TQNClientDictListTable::TQNClientDictListTable(TTitanCollection* Owner, TQNClientDatabase* Database,
                                               const std::string& Table, TKind Kind)
    : TBaseTable(Owner, Database, dbiREADONLY, dbiOPENSHARED),
      FTable(Table),
      FKind(Kind),
      FDict(std::make_unique<dbengine::TqnDataDictionary>(4096)) {
  SetTableName(Kind == lkFields ? "FIELDLIST" : (Kind == lkIndexes ? "INDEXLIST" : "VChkList"));
  SetFullName(Table);
}

TQNClientDictListTable::~TQNClientDictListTable() = default;

std::uint32_t TQNClientDictListTable::GetRecordBufferSize() {
  return FKind == lkFields ? sizeof(FLDDesc) : (FKind == lkIndexes ? sizeof(IDXDesc) : sizeof(VCHKDesc));
}

DBIResult TQNClientDictListTable::Open() {
  FRow = 0;
  FState = csOpened;
  auto* db = dynamic_cast<TQNClientDatabase*>(Parent());
  if (!db) return SetResult(DBIERR_INVALIDHNDL);
  return SetResult(db->FetchDictionary(FTable, true, *FDict));
}

DBIResult TQNClientDictListTable::GetNextRecord(std::uint32_t, std::uint8_t* Record) {
  switch (FKind) {
    case lkFields: {
      if (FRow >= static_cast<std::uint32_t>(FDict->FieldCount())) return SetResult(DBIERR_EOF);
      FLDDesc d = FieldDescFromDictionary(*FDict, static_cast<int>(FRow));
      if (Record) std::memcpy(Record, &d, sizeof d);
      break;
    }
    case lkIndexes: {
      if (FRow >= static_cast<std::uint32_t>(FDict->IndexCount())) return SetResult(DBIERR_EOF);
      IDXDesc d = IndexDescFromDictionary(*FDict, static_cast<int>(FRow));
      if (Record) std::memcpy(Record, &d, sizeof d);
      break;
    }
    case lkVChecks: {
      std::uint32_t seen = 0;
      int field = -1;
      for (int i = 0; i < FDict->FieldCount(); ++i) {
        if (FDict->FieldRequired(i) || FDict->FieldVCheck(i)) {
          if (seen++ == FRow) {
            field = i;
            break;
          }
        }
      }
      if (field < 0) return SetResult(DBIERR_EOF);
      VCHKDesc d = VChkDescFromDictionary(*FDict, field);
      if (Record) std::memcpy(Record, &d, sizeof d);
      break;
    }
  }
  ++FRow;
  FState = csOnRecord;
  return SetResult(DBIERR_NONE);
}

}  // namespace tw::dbaccess
