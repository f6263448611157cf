#include "dbaccess/session.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>
#include <vector>

#include "dbaccess/basetable.h"
#include "dbaccess/cfgrecord.h"
#include "dbaccess/database.h"
#include "dbaccess/errortext.h"
#include "dbaccess/listtables.h"
#include "dbaccess/virteng.h"
#include "platform/classes/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw::dbaccess {

// ---- Request layout helpers ---------------------------------------------------------------

void PutShortString(std::uint8_t* Block, std::size_t Offset, std::size_t Size, const std::string& Text) {
  std::size_t n = std::min(Text.size(), Size - 1);
  Block[Offset] = static_cast<std::uint8_t>(n);
  std::memcpy(Block + Offset + 1, Text.data(), n);
}

std::string GetShortString(const std::uint8_t* Block, std::size_t Offset, std::size_t Size) {
  std::size_t n = std::min<std::size_t>(Block[Offset], Size - 1);
  return std::string(reinterpret_cast<const char*>(Block + Offset + 1), n);
}

void PutU32(std::uint8_t* Block, std::size_t Offset, std::uint32_t V) {
  for (int i = 0; i < 4; ++i) Block[Offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(V >> (8 * i));
}

std::uint32_t GetU32(const std::uint8_t* Block, std::size_t Offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | Block[Offset + static_cast<std::size_t>(i)];
  return v;
}

// ---- TBaseSession -------------------------------------------------------------------------

TBaseSession::TBaseSession(TTitanCollection* Owner, TBapiListItem* Engine, const std::string& Name,
                           const std::string& Directory)
    : TBapiListItem(Owner, Engine), FName(Name.substr(0, 31)) {
  if (!Directory.empty()) {
    FNetDir = Directory.substr(0, 260);
    FPrivateDir = FNetDir;
  }
}

TBaseSession::~TBaseSession() {
  FListCursors.FreeAll();
  FDatabases.FreeAll();
  FDescCache.FreeAll();
  FConfig.FreeAll();
}

DBIResult TBaseSession::GetProp(std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len) {
  if (Prop == sesCURRENTDIR) {
    std::vector<char> buf(4096);
    std::string dir = getcwd(buf.data(), buf.size()) ? std::string(buf.data()) : std::string();
    if (!Value || MaxLen < dir.size() + 1) return SetResult(DBIERR_INVALIDPARAM);
    std::memcpy(Value, dir.c_str(), dir.size() + 1);
    Len = static_cast<std::uint16_t>(dir.size() + 1);
    return SetResult(DBIERR_NONE);
  }
  if (Prop == sesSESPROP) {
    if (!Value || MaxLen < 4) return SetResult(DBIERR_INVALIDPARAM);
    std::memcpy(Value, &FSesProp, 4);
    Len = 4;
    return SetResult(DBIERR_NONE);
  }
  return TBapiListItem::GetProp(Prop, Value, MaxLen, Len);
}

DBIResult TBaseSession::SetProp(std::uint32_t Prop, std::uintptr_t Value) {
  if (Prop == sesSESPROP) FSesProp = static_cast<std::uint32_t>(Value);
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::GetErrorString(DBIResult Code, char* Message) {
  if (!Message) return SetResult(DBIERR_INVALIDPARAM);
  CopyText(Message, GetEngineErrorText(Code), 255);
  return SetResult(DBIERR_NONE);
}

std::uint16_t TBaseSession::CursorCount() {
  int n = 0;
  for (int i = 0; i < FDatabases.Count(); ++i)
    if (auto* db = dynamic_cast<TBaseDatabase*>(FDatabases.At(i))) n += db->Cursors().Count();
  return static_cast<std::uint16_t>(n);
}

DBIResult TBaseSession::GetSesInfo(SESInfo& Info) {
  Info = SESInfo{};
  Info.iSession = static_cast<std::uint16_t>(IndexInOwner());
  CopyText(Info.szName, FName, 31);
  Info.iDatabases = static_cast<std::uint16_t>(FDatabases.Count());
  Info.iCursors = CursorCount();
  Info.iLockWait = FLockWait;
  CopyText(Info.szNetDir, FNetDir, 260);
  CopyText(Info.szPrivDir, FPrivateDir, 260);
  return SetResult(DBIERR_NONE);
}

std::uint16_t TBaseSession::SessionCount() const {
  return static_cast<std::uint16_t>(OwnerCollection() ? OwnerCollection()->Count() : 1);
}

DBIResult TBaseSession::GetErrorInfo(DBIErrInfo& Info) {
  Info = DBIErrInfo{};
  auto* engine = dynamic_cast<TVirtEng*>(Parent());
  TBaseTable* cursor = engine ? engine->CurrentCursor() : nullptr;
  if (cursor && cursor->Result() != DBIERR_NONE) {
    Info.iError = cursor->Result();
    CopyText(Info.szErrCode, GetEngineErrorText(Info.iError), DBIMAXMSGLEN);
    CopyText(Info.szContext[0], Format(ClientString(csErrorContextFormat), {static_cast<int>(static_cast<std::int16_t>(Info.iError))}),
             DBIMAXMSGLEN);
  }
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::GetSysVersion(SYSVersion& Version) {
  Version = SYSVersion{};
  Version.iVersion = 1;
  Version.iIntfLevel = 1;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::GetClientInfo(CLIENTInfo& Info) {
  Info = CLIENTInfo{};
  Info.iSessions = SessionCount();
  CopyText(Info.szWorkDir, FNetDir, 260);
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::GetSysInfo(SYSInfo& Info) {
  Info = SYSInfo{};
  Info.iSessions = SessionCount();
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::GetNetUserName(char* Name, std::size_t Capacity) {
  if (!Name || Capacity == 0) return SetResult(DBIERR_INVALIDPARAM);
  CopyText(Name, NetworkUserName(), std::min<std::size_t>(Capacity, 256) - 1);
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::DescriptionLookup(const std::string& Name, DBDesc& Desc) {
  Desc = DBDesc{};
  if (IsPathName(Name, false)) {
    // A path that does not fit is refused: cut, it would name another folder.
    const std::string path = WithTrailingBackslash(Name);
    if (path.size() >= sizeof Desc.szPhyName) return SetResult(DBIERR_INVALIDDIR);
    CopyText(Desc.szName, Name, 31);
    CopyText(Desc.szText, Name, 31);
    CopyText(Desc.szPhyName, path, 260);
    CopyText(Desc.szDbType, ClientString(csStandardType), 31);
    return SetResult(DBIERR_NONE);
  }
  TBaseTable* list = nullptr;
  DBIResult r = OpenDatabaseList(list);
  DBIResult result = DBIERR_UNKNOWNDB;
  if (r == DBIERR_NONE && list) {
    DBDesc d;
    while (list->GetNextRecord(dbiNOLOCK, reinterpret_cast<std::uint8_t*>(&d)) == DBIERR_NONE) {
      if (AnsiSameText(std::string(d.szName, strnlen(d.szName, sizeof d.szName)), Name)) {
        Desc = d;
        CopyText(Desc.szDbType, ClientString(csStandardType), 31);
        result = DBIERR_NONE;
        break;
      }
      d = DBDesc{};
    }
  }
  delete list;
  return SetResult(result);
}

DBIResult TBaseSession::GetDatabaseDesc(const std::string& Name, DBDesc& Desc) {
  // A folder's description is made from its path, which names folders as the file system does:
  // "data/" and "DATA/" are two.  Alias names are found in any case.
  const bool byPath = IsPathName(Name, false);
  for (int i = 0; i < FDescCache.Count(); ++i) {
    auto* c = static_cast<TDatabaseDescCache*>(FDescCache.At(i));
    if (byPath ? c->Name == Name : !IsPathName(c->Name, false) && AnsiSameText(c->Name, Name)) {
      Desc = c->Desc;
      return SetResult(DBIERR_NONE);
    }
  }
  DBIResult r = DescriptionLookup(Name, Desc);
  if (r == DBIERR_NONE) new TDatabaseDescCache(&FDescCache, Name, Desc);
  return SetResult(r);
}

DBIResult TBaseSession::CreateDatabase(const DBDesc&, std::uint32_t, std::uint32_t, const std::string&,
                                       const std::string&, hDBIDb& Db) {
  Db = 0;
  return SetResult(DBIERR_INVALIDHNDL);
}

DBIResult TBaseSession::OpenDatabase(const std::string& Name, const std::string&, std::uint32_t OpenMode,
                                     std::uint32_t ShareMode, const std::string& Password, const std::string&,
                                     const std::string& UserName, hDBIDb& Db) {
  Db = 0;
  if (Name.empty()) return SetResult(DBIERR_UNKNOWNDB);
  DBDesc desc;
  DBIResult r = GetDatabaseDesc(Name, desc);
  if (r != DBIERR_NONE) return r;
  return CreateDatabase(desc, OpenMode, ShareMode, Password, UserName, Db);
}

DBIResult TBaseSession::OpenDatabaseList(TBaseTable*& List) {
  return OpenListCursor(new TRegDBListTable(&FListCursors, this, ClientString(csDefaultDriver)), List);
}

DBIResult TBaseSession::OpenListCursor(TBaseTable* Made, TBaseTable*& List) {
  List = nullptr;
  SetResult(DBIERR_NOMEMORY);
  Made->SetTableName("DBLIST");
  DBIResult r = Made->Open();
  List = Made;
  return SetResult(r);
}

DBIResult TBaseSession::CloseDatabase(hDBIDb& Db) {
  auto* db = TBapiListItem::Resolve<TBaseDatabase>(Db);
  if (!db || FDatabases.IndexOf(db) < 0) return SetResult(DBIERR_INVALIDHNDL);
  delete db;
  Db = 0;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::NativeToAnsi(const char* Native, char* Ansi, std::uint32_t Length, bool& DataLoss) {
  DataLoss = false;
  if (!Native || !Ansi) return SetResult(DBIERR_INVALIDPARAM);
  // Text is kept in the ANSI code page throughout; both directions copy.
  // With a length, at most that many bytes are written: the text, and its terminator only
  // when it is shorter.
  std::uint32_t n = Length ? static_cast<std::uint32_t>(strnlen(Native, Length)) : static_cast<std::uint32_t>(std::strlen(Native));
  std::memmove(Ansi, Native, n);
  if (Length == 0 || n < Length) Ansi[n] = 0;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::AnsiToNative(const char* Ansi, char* Native, std::uint32_t Length, bool& DataLoss) {
  return NativeToAnsi(Ansi, Native, Length, DataLoss);
}

TBaseCfgrecord* TBaseSession::FindCfgNode(const std::string& Path) {
  for (int i = 0; i < FConfig.Count(); ++i) {
    auto* n = static_cast<TBaseCfgrecord*>(FConfig.At(i));
    if (n->Path() == Path) return n;
  }
  return nullptr;
}

DBIResult TBaseSession::CfgGetRecord(const std::string& Path, std::uint16_t& FieldCount, FLDDesc* Fields,
                                     std::uint8_t* Values) {
  TBaseCfgrecord* n = FindCfgNode(Path);
  if (!n) return SetResult(DBIERR_RECNOTFOUND);
  FieldCount = n->FieldCount();
  if (Fields)
    for (std::size_t i = 0; i < n->Fields().size(); ++i) Fields[i] = n->Fields()[i];
  if (Values && !n->Record().empty()) std::memcpy(Values, n->Record().data(), n->Record().size());
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::CfgAddRecord(const std::string& Path, std::uint16_t FieldCount, const FLDDesc* Fields,
                                     const std::uint8_t* Values) {
  if (FindCfgNode(Path)) return SetResult(DBIERR_NONE);
  try {
    new TBaseCfgrecord(&FConfig, this, Path, FieldCount, Fields, Values);
  } catch (const std::exception&) {
    return SetResult(DBIERR_INVALIDPARAM);
  }
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::CfgModifyRecord(const std::string& Path, const std::uint8_t* Values) {
  TBaseCfgrecord* n = FindCfgNode(Path);
  if (!n) return SetResult(DBIERR_RECNOTFOUND);
  if (!Values) return SetResult(DBIERR_INVALIDPARAM);
  n->SetValues(Values);
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::CfgDropRecord(const std::string& Path) {
  TBaseCfgrecord* n = FindCfgNode(Path);
  if (!n) return SetResult(DBIERR_RECNOTFOUND);
  delete n;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseSession::SetPrivateDir(const std::string& Dir) {
  FPrivateDir = Dir.substr(0, 260);
  return SetResult(DBIERR_NONE);
}

// ---- TQNClientSession ---------------------------------------------------------------------

std::string NetworkUserName() {
  // The account's name from the user database; the login environment only when it has none.
  std::vector<char> buf(16384);
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_name &&
      *found->pw_name)
    return found->pw_name;
  const char* u = std::getenv("USER");
  if (!u || !*u) u = std::getenv("LOGNAME");
  return u ? u : "";
}

TQNClientSession::TQNClientSession(TTitanCollection* Owner, TBapiListItem* Engine, const std::string& Name,
                                   const std::string& Directory)
    : TBaseSession(Owner, Engine, Name, Directory) {
  Connect();
}

TQNClientSession::~TQNClientSession() {
  // Databases and cursors send their closing requests while the connection still exists.
  FListCursors.FreeAll();
  FDatabases.FreeAll();
  FComms.reset();
}

void TQNClientSession::Connect() {
  const TSessionDefaults& defaults = SessionDefaults();
  bool started = false;
  try {
    if (ClientCommsFactory()) {
      FComms = ClientCommsFactory()(NetworkUserName().substr(0, 63));
      started = FComms != nullptr;
    }
  } catch (...) {
    FComms.reset();
    started = false;
  }
  if (started) {
    std::string server = defaults.ServerName;
    if (server.empty()) {
      std::vector<std::string> names = FComms->GetServerNames(defaults.ServerListTimeOut);
      if (names.size() == 1) {
        server = names.front();
      } else if (names.size() > 1) {
        std::string chosen;
        if (std::shared_ptr<TLoginPrompt> p = LoginPrompt(); p && p->PickServer(names, chosen)) server = chosen;
      }
    }
    // The default user is tried first; a server that does not know it (a secure server knows
    // its own users only) is asked again with the login dialog's answers.
    std::string user = defaults.UserName, password = defaults.Password;
    DBIResult r = FComms->AttachToServer(server, user, password);
    int attempts = 0;
    while (r == DBIERR_INVALIDPASSWORD && attempts < defaults.LoginAttempts) {
      // Held for the question: the dialog may replace the installed prompt while it runs.
      std::shared_ptr<TLoginPrompt> p = LoginPrompt();
      if (!p || !p->Login(server, user, password)) break;
      ++attempts;
      r = FComms->AttachToServer(server, user, password);
    }
    SetResult(r);
  }
  if (!Connected()) {
    std::string text = started ? GetEngineErrorText(Result()) : ClientString(csNetworkProtocolFailure);
    if (!started && IsOK()) SetResult(DBIERR_NETNOTCONNECTED);
    EngineMessageBox(text, ClientString(csCommsErrorCaption), 0);
  }
}

DBIResult TQNClientSession::Request(std::uint32_t MessageId, const void* Data, std::uint32_t Length,
                                    bool DataIsStream, void* Reply, std::uint32_t ReplyCapacity,
                                    std::uint32_t* ReplyLength) {
  if (ReplyLength) *ReplyLength = 0;
  if (!FComms) return DBIERR_INVALIDHNDL;
  return FComms->SendRequest(MessageId, Data, Length, DataIsStream, Reply, ReplyCapacity, ReplyLength);
}

DBIResult TQNClientSession::RequestToStream(std::uint32_t MessageId, const void* Data, std::uint32_t Length,
                                            bool DataIsStream, TStream& Reply) {
  if (!FComms) return DBIERR_INVALIDHNDL;
  return FComms->SendRequestToStream(MessageId, Data, Length, DataIsStream, Reply);
}

DBIResult TQNClientSession::CreateDatabase(const DBDesc& Desc, std::uint32_t OpenMode, std::uint32_t ShareMode,
                                           const std::string& Password, const std::string& UserName, hDBIDb& Db) {
  Db = 0;
  SetResult(DBIERR_INVALIDHNDL);
  if (!Connected()) return Result();
  // The request carries a folder of at most 219 characters; a longer one is refused, not cut to
  // the name of another folder.
  const std::string path(Desc.szPhyName, strnlen(Desc.szPhyName, sizeof Desc.szPhyName));
  if (path.size() > 219) return SetResult(DBIERR_INVALIDDIR);
  auto* db = new TQNClientDatabase(&FDatabases, this, Desc, OpenMode, ShareMode, Password, UserName);
  Db = db->Handle();
  std::uint8_t request[222] = {};
  PutShortString(request, 0, 220, path);
  request[220] = OpenMode == dbiREADWRITE ? 1 : 0;
  request[221] = ShareMode == dbiOPENSHARED ? 1 : 0;
  std::uint8_t reply[4] = {};
  DBIResult r = Request(261, request, sizeof request, false, reply, sizeof reply);
  if (r == DBIERR_NONE) {
    db->SetServerId(static_cast<std::int32_t>(GetU32(reply, 0)));
  } else {
    // The server refused it: the database does not stay in the session.
    delete db;
    Db = 0;
  }
  return SetResult(r);
}

DBIResult TQNClientSession::OpenDatabase(const std::string& Name, const std::string& Type, std::uint32_t OpenMode,
                                         std::uint32_t ShareMode, const std::string& Password,
                                         const std::string& OptionalPath, const std::string& UserName, hDBIDb& Db) {
  Db = 0;
  std::string name = Name.empty() ? OptionalPath : Name;
  DBDesc desc;
  (void)Type;
  DBIResult r = GetDatabaseDesc(name, desc);
  if (r != DBIERR_NONE && DatabaseAliasLookup()) {
    // A database component of the data-set classes may name the alias it stands for.
    if (auto* engine = dynamic_cast<TVirtEng*>(Parent())) engine->SetCurrentSession(this);
    std::string alias = DatabaseAliasLookup()(name);
    if (!alias.empty() && !SameTextAnsi(alias, name)) r = GetDatabaseDesc(alias, desc);
  }
  // An unknown name stays unknown rather than opening an empty path.
  if (r != DBIERR_NONE) return SetResult(r);
  return CreateDatabase(desc, OpenMode, ShareMode, Password, UserName, Db);
}

DBIResult TQNClientSession::OpenDatabaseList(TBaseTable*& List) {
  return OpenListCursor(new TStreamDBListTable(&FListCursors, this, ClientString(csDefaultDriver)), List);
}

DBIResult TQNClientSession::CloseDatabase(hDBIDb& Db) {
  auto* db = TBapiListItem::Resolve<TQNClientDatabase>(Db);
  if (!db || FDatabases.IndexOf(db) < 0 || db->ServerId() == -1) return SetResult(DBIERR_INVALIDHNDL);
  std::uint8_t request[4];
  PutU32(request, 0, static_cast<std::uint32_t>(db->ServerId()));
  DBIResult r = Request(257, request, sizeof request, false, nullptr, 0);
  if (r == DBIERR_NONE) {
    db->SetServerId(-1);
    delete db;
    Db = 0;
  }
  return SetResult(r);
}

DBIResult TQNClientSession::AddAlias(const std::string& Alias, const std::string&, const std::string& Params) {
  std::string path = Params;
  std::string key = ClientString(csPathParam) + ":";
  auto p = Params.find(key);
  if (p != std::string::npos) path = Params.substr(p + key.size());
  path = CutAt(path, ';');
  // The request holds 31 characters of name and 219 of folder: longer ones are refused rather
  // than cut to another alias or folder.
  if (Alias.size() > 31) return SetResult(DBIERR_INVALIDPARAM);
  if (path.size() > 219) return SetResult(DBIERR_INVALIDDIR);
  std::uint8_t request[252] = {};
  PutShortString(request, 0, 32, Alias);
  PutShortString(request, 32, 220, path);
  return SetResult(Request(260, request, sizeof request, false, nullptr, 0));
}

// ---- Seams ----------------------------------------------------------------------------------

namespace {
TClientCommsFactory& FactorySlot() {
  static TClientCommsFactory f;
  return f;
}
std::shared_ptr<TLoginPrompt>& PromptSlot() {
  static std::shared_ptr<TLoginPrompt> p;
  return p;
}
TDatabaseAliasLookup& AliasLookupSlot() {
  static TDatabaseAliasLookup f;
  return f;
}
}  // namespace

void SetClientCommsFactory(TClientCommsFactory Factory) { FactorySlot() = std::move(Factory); }
const TClientCommsFactory& ClientCommsFactory() { return FactorySlot(); }
void SetLoginPrompt(std::shared_ptr<TLoginPrompt> Prompt) { PromptSlot() = std::move(Prompt); }
void SetDatabaseAliasLookup(TDatabaseAliasLookup Lookup) { AliasLookupSlot() = std::move(Lookup); }
const TDatabaseAliasLookup& DatabaseAliasLookup() { return AliasLookupSlot(); }
std::shared_ptr<TLoginPrompt> LoginPrompt() { return PromptSlot(); }
TSessionDefaults& SessionDefaults() {
  static TSessionDefaults d;
  return d;
}

}  // namespace tw::dbaccess
