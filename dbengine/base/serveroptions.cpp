#include "dbengine/base/serveroptions.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include "dbengine/base/elfhash.h"
#include "dbengine/base/names.h"

namespace tw::dbengine {

const char* const kQnSysInfoTable = "QNSInfo";
const char* const kQnSysAliasTable = "QNSALIAS";
const char* const kQnSysUserTable = "QNSUser";
const char* const kQnSysIndexTable = "QNSIndex";

namespace {

std::string UpperKey(std::string_view S) { return QNShStrUpper(ShortString(S).View()).Str(); }

// Lines as the class library's string list reads them: ended by CR LF, LF or CR.
std::vector<std::string_view> SplitLines(std::string_view Text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0, i = 0;
  while (i < Text.size()) {
    const char c = Text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(Text.substr(start, i - start));
      if (c == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < Text.size()) lines.push_back(Text.substr(start));
  return lines;
}

bool HasWildcards(std::string_view S) { return S.find_first_of("*?") != std::string_view::npos; }

std::string ToLocalPath(std::string_view S) {
  std::string p(S);
  std::replace(p.begin(), p.end(), '\\', '/');
  return p;
}

bool IsExistingFolder(std::string_view Path) {
  if (Path.empty() || HasWildcards(Path)) return false;
  std::error_code ec;
  return std::filesystem::is_directory(ToLocalPath(Path), ec);
}

bool ReadWholeFile(const std::string& Path, std::string& Text) {
  std::ifstream f(Path, std::ios::binary);
  if (!f) return false;
  Text.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return !f.bad();
}

// The file Name in Folder, matched without regard to ASCII case when the exact name is missing.
std::string FindFileNoCase(const std::string& Folder, std::string_view Name) {
  std::error_code ec;
  std::filesystem::path exact = std::filesystem::path(Folder) / std::string(Name);
  if (std::filesystem::is_regular_file(exact, ec)) return exact.string();
  const std::string want = UpperKey(Name);
  for (std::filesystem::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string n = it->path().filename().string();
    if (UpperKey(n) == want && it->is_regular_file(ec)) return it->path().string();
  }
  return {};
}

const std::string* AsString(const TqnSysValue& v) { return std::get_if<std::string>(&v); }

template <typename T>
bool GetNumber(const TqnSysValue& v, T& out) {
  if (auto p = std::get_if<std::uint32_t>(&v)) {
    out = static_cast<T>(*p);
    return true;
  }
  if (auto p = std::get_if<std::int32_t>(&v)) {
    out = static_cast<T>(*p);
    return true;
  }
  return false;
}

bool GetBool(const TqnSysValue& v, bool& out) {
  if (auto p = std::get_if<bool>(&v)) {
    out = *p;
    return true;
  }
  return false;
}

std::string GetText(const TqnSysRow& r, std::size_t i, std::size_t Max) {
  if (i >= r.size()) return {};
  const std::string* s = AsString(r[i]);
  return s ? s->substr(0, Max) : std::string();
}

std::uint8_t GetRights(const TqnSysRow& r, std::size_t i) {
  if (i >= r.size()) return 0;
  if (const std::string* s = AsString(r[i])) return s->empty() ? 0 : static_cast<std::uint8_t>((*s)[0]);
  std::uint32_t n = 0;
  return GetNumber(r[i], n) ? static_cast<std::uint8_t>(n) : 0;
}

}  // namespace

// ---- Memory store ---------------------------------------------------------------------------

bool TqnMemorySystemTableStore::ReadTable(std::string_view Name, TqnSysTable& Table) {
  auto it = FTables.find(UpperKey(Name));
  if (it == FTables.end()) return false;
  Table = it->second;
  return true;
}

bool TqnMemorySystemTableStore::WriteTable(std::string_view Name, const TqnSysTable& Table, bool) {
  ++WriteCount;
  FTables.erase(UpperKey(Name));
  if (FailWrites) return false;
  FTables[UpperKey(Name)] = Table;
  return true;
}

bool TqnMemorySystemTableStore::Has(std::string_view Name) const { return FTables.count(UpperKey(Name)) != 0; }
TqnSysTable& TqnMemorySystemTableStore::Table(std::string_view Name) { return FTables[UpperKey(Name)]; }

// ---- Layouts ----------------------------------------------------------------------------------

std::vector<TqnSysFieldDef> QNSysInfoFields() {
  return {{"ServerName", qnsftShortString, 31}, {"MaxPages", qnsftUInt32, 0},   {"IsSecure", qnsftBoolean, 0},
          {"AutoUp", qnsftBoolean, 0},          {"AutoMini", qnsftBoolean, 0},  {"DebugLog", qnsftBoolean, 0},
          {"Protocol", qnsftShortString, 7},    {"Broadcasts", qnsftBoolean, 0}, {"TCPPort", qnsftInt32, 0},
          {"UDPPortSr", qnsftInt32, 0},         {"UDPPortCl", qnsftInt32, 0},   {"IPXSocketSr", qnsftInt32, 0},
          {"IPXSocketCl", qnsftInt32, 0},       {"SPXSocket", qnsftInt32, 0},   {"UseEncrypt", qnsftBoolean, 0},
          {"ReadOnly", qnsftBoolean, 0}};
}
std::vector<TqnSysFieldDef> QNSysAliasFields() { return {{"Alias", qnsftShortString, 31}, {"Path", qnsftShortString, 219}}; }
std::vector<TqnSysFieldDef> QNSysUserFields() {
  return {{"User", qnsftShortString, 31},      {"LastName", qnsftShortString, 31}, {"FirstName", qnsftShortString, 31},
          {"PwdHash", qnsftUInt32, 0},         {"Rights", qnsftBytes, 1}};
}

std::string QNProtocolWord(TqnProtocolKind Kind) {
  switch (Kind) {
    case TqnProtocolKind::TCPIP: return "TCP/IP";
    case TqnProtocolKind::IPXSPX: return "IPX/SPX";
    case TqnProtocolKind::NetBIOS: return "NETBIOS";
    case TqnProtocolKind::SingleUser: break;
  }
  return "SINGLE";
}

// ---- Loading -------------------------------------------------------------------------------------

void LoadInfoTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store) {
  TqnSysTable t;
  if (!Store.ReadTable(kQnSysInfoTable, t) || t.Rows.empty()) return;
  const TqnSysRow& r = t.Rows.front();
  static const TqnSysValue null;
  auto at = [&](std::size_t i) -> const TqnSysValue& { return i < r.size() ? r[i] : null; };
  Config.Lock();
  TqnGeneralInfo& g = Config.GeneralInfo();
  if (const std::string* s = AsString(at(0))) g.ServerName.Assign(*s);
  GetNumber(at(1), g.MaxRAMPages);
  g.IsSecure = false;  // only the options file turns logins on
  GetBool(at(3), g.AutoUp);
  GetBool(at(4), g.AutoMini);
  g.DebugLog = false;  // the request log is switched on by the options file of this start only
  if (std::holds_alternative<std::monostate>(at(6))) {
    g.Protocol = TqnProtocolKind::SingleUser;
  } else if (const std::string* s = AsString(at(6))) {
    for (TqnProtocolKind k : {TqnProtocolKind::TCPIP, TqnProtocolKind::IPXSPX, TqnProtocolKind::SingleUser,
                              TqnProtocolKind::NetBIOS})
      if (*s == QNProtocolWord(k)) g.Protocol = k;
  }
  GetBool(at(7), g.Broadcasts);
  GetNumber(at(8), g.TCPPort);
  GetNumber(at(9), g.UDPPortSr);
  GetNumber(at(10), g.UDPPortCl);
  GetNumber(at(11), g.IPXSocketSr);
  GetNumber(at(12), g.IPXSocketCl);
  GetNumber(at(13), g.SPXSocket);
  if (t.Fields.size() > 14) {
    GetBool(at(14), g.UseEncrypt);
    GetBool(at(15), g.ReadOnly);
  }
  Config.Unlock();
}

void LoadAliasTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store) {
  TqnSysTable t;
  if (!Store.ReadTable(kQnSysAliasTable, t)) return;
  Config.AliasList().Empty();
  for (const TqnSysRow& r : t.Rows) Config.AddAlias(GetText(r, 0, kQnMaxName), GetText(r, 1, kQnMaxPath));
}

void LoadUserTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store) {
  TqnSysTable t;
  if (!Store.ReadTable(kQnSysUserTable, t)) return;
  Config.UserList().Empty();
  for (const TqnSysRow& r : t.Rows) {
    std::uint32_t hash = 0;
    if (r.size() > 3) GetNumber(r[3], hash);
    Config.AddUser(GetText(r, 0, kQnMaxName), GetText(r, 1, kQnMaxName), GetRights(r, 4), hash,
                   GetText(r, 2, kQnMaxName));
  }
}

void LoadIndexTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store) {
  TqnSysTable t;
  if (!Store.ReadTable(kQnSysIndexTable, t)) return;
  Config.KeyProcList().Empty();
  for (const TqnSysRow& r : t.Rows) {
    std::int32_t index = 0;
    if (r.size() > 2) GetNumber(r[2], index);
    Config.AddKeyProc(GetText(r, 0, kQnMaxPath), GetText(r, 1, kQnMaxName), index, GetText(r, 3, kQnMaxFullPath),
                      GetText(r, 4, kQnMaxName), GetText(r, 5, kQnMaxName));
  }
}

// ---- Saving ----------------------------------------------------------------------------------------

void SaveInfoTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store) {
  const TqnGeneralInfo& g = Config.GeneralInfo();
  if (g.ReadOnly) return;
  TqnSysTable t;
  t.Fields = QNSysInfoFields();
  t.Rows.push_back({g.ServerName.Str(), g.MaxRAMPages, g.IsSecure, g.AutoUp, g.AutoMini, g.DebugLog,
                    QNProtocolWord(g.Protocol), g.Broadcasts, g.TCPPort, g.UDPPortSr, g.UDPPortCl, g.IPXSocketSr,
                    g.IPXSocketCl, g.SPXSocket, g.UseEncrypt, g.ReadOnly});
  Store.WriteTable(kQnSysInfoTable, t, g.UseEncrypt);
}

void SaveAliasTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store) {
  if (Config.GeneralInfo().ReadOnly) return;
  TqnSysTable t;
  t.Fields = QNSysAliasFields();
  Config.Lock();
  for (int i = 0; i < Config.AliasList().Count(); ++i) {
    const TqnAliasItem* a = Config.AliasList().Items(i);
    t.Rows.push_back({a->Alias(), a->Path()});
  }
  Config.Unlock();
  Store.WriteTable(kQnSysAliasTable, t, Config.GeneralInfo().UseEncrypt);
}

void SaveUserTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store) {
  if (Config.GeneralInfo().ReadOnly) return;
  TqnSysTable t;
  t.Fields = QNSysUserFields();
  Config.Lock();
  for (int i = 0; i < Config.UserList().Count(); ++i) {
    const TqnUserItem* u = Config.UserList().Items(i);
    t.Rows.push_back({u->UserID(), u->LastName(), u->FirstName(), u->PwdHash(), std::string(1, static_cast<char>(u->Rights()))});
  }
  Config.Unlock();
  Store.WriteTable(kQnSysUserTable, t, Config.GeneralInfo().UseEncrypt);
}

// ---- Default user ------------------------------------------------------------------------------

std::string BuildDefaultUserID() {
  // Kept scrambled: five bytes of the constant, read backwards, each lowered by one.
  static const unsigned char kStored[6] = {0x23, 0x54, 0x5A, 0x54, 0x4F, 0x52};
  std::string id;
  for (int i = 5; i >= 1; --i) id += static_cast<char>(kStored[i] - 1);
  return id;
}

const std::string& DefaultUserID() {
  static const std::string id = BuildDefaultUserID();
  return id;
}

std::uint32_t QNDefaultUserPwdHash() { return ElfHashShortString("BrindleCap"); }

void AddDefaultUser(TqnServerConfiguration& Config, TqnSystemTableStore& Store) {
  Config.AddUser(DefaultUserID(), "Administrator", kQnDefaultUserRights, QNDefaultUserPwdHash(), "");
  SaveUserTable(Config, Store);
}

// ---- Options ---------------------------------------------------------------------------------------

namespace {
// The last two switch the request log on (DebugLog) and let it dump record data.
const char* const kOptionKeys[] = {"SERVERNAME",    "MAXRAMPAGES",   "PROTOCOL",     "USELOGIN",
                                   "AUTOUPSERVER",  "AUTOMINIMIZE",  "USEBROADCASTS", "ALLOWENCRYPT",
                                   "NOAUTOSAVECFG", "DEBUGLOG",      "DEBUGLOGDATA", "MAXCONNECTIONS",
                                   "MAXMESSAGESIZE", "COMMSMEMORY", "REPLYQUEUESIZE", "REPLYTIMEOUT",
                                   "ATTACHTIMEOUT"};
constexpr int kOptionKeyCount = static_cast<int>(sizeof kOptionKeys / sizeof kOptionKeys[0]);
const char* const kProtocolNames[] = {"SINGLEUSER", "NETBIOS", "TCP/IP", "IPX/SPX"};

bool ParseWholeDecimal(std::string_view S, long& Value) {
  if (S.empty() || S.size() > 9) return false;
  long v = 0;
  for (char c : S) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  Value = v;
  return true;
}
}  // namespace

int FindOptionKey(std::string_view Key) {
  for (int i = 0; i < kOptionKeyCount; ++i)
    if (Key == kOptionKeys[i]) return i;
  return -1;
}

int FindProtocolName(std::string_view Value) {
  for (int i = 0; i < 4; ++i)
    if (Value == kProtocolNames[i]) return i;
  return -1;
}

bool ParseOptionBoolean(std::string_view Value, bool& B) {
  const std::string v = UpperKey(Value);
  if (v == "0" || v == "NO" || v == "FALSE") {
    B = false;
    return true;
  }
  if (v == "1" || v == "YES" || v == "TRUE") {
    B = true;
    return true;
  }
  return false;
}

void ApplyServerOption(TqnServerConfiguration& Config, std::string_view Key, std::string_view Value) {
  const int option = FindOptionKey(UpperKey(Key));
  TqnGeneralInfo& g = Config.GeneralInfo();
  bool b = false;
  Config.Lock();
  switch (option) {
    case 0: g.ServerName.Assign(Value); break;
    case 1: {
      long n = 0;
      if (ParseWholeDecimal(Value, n) && n >= 100 && n <= 32000) g.MaxRAMPages = static_cast<std::uint32_t>(n);
      break;
    }
    case 2: {
      static const TqnProtocolKind kinds[] = {TqnProtocolKind::SingleUser, TqnProtocolKind::NetBIOS,
                                              TqnProtocolKind::TCPIP, TqnProtocolKind::IPXSPX};
      const int p = FindProtocolName(UpperKey(Value));
      if (p >= 0) g.Protocol = kinds[p];
      break;
    }
    case 3: if (ParseOptionBoolean(Value, b)) g.IsSecure = b; break;
    case 4: if (ParseOptionBoolean(Value, b)) g.AutoUp = b; break;
    case 5: if (ParseOptionBoolean(Value, b)) g.AutoMini = b; break;
    case 6: if (ParseOptionBoolean(Value, b)) g.Broadcasts = b; break;
    case 7: break;  // recognised, changes nothing
    case 8: if (ParseOptionBoolean(Value, b)) g.ReadOnly = b; break;
    case 9: if (ParseOptionBoolean(Value, b)) g.DebugLog = b; break;
    case 10: if (ParseOptionBoolean(Value, b)) g.DebugLogData = b; break;
    case 11: case 12: case 13: case 14: case 15: case 16: {
      // Limits of the network server: whole positive numbers; anything else keeps the default.
      long v = 0;
      if (!ParseWholeDecimal(Value, v) || v <= 0) break;
      const auto u = static_cast<std::uint32_t>(v);
      if (option == 11) g.Comms.MaxConnections = static_cast<int>(v);
      else if (option == 12) g.Comms.MaxMessageSize = u;
      else if (option == 13) g.Comms.Memory = u;
      else if (option == 14) g.Comms.ReplyQueueSize = u;
      else if (option == 15) g.Comms.ReplyTimeOut = u;
      else g.Comms.AttachTimeOut = u;
      break;
    }
    default:
      // The folder whole: one longer than an alias keeps is refused, not cut to another.
      if (IsExistingFolder(Value)) Config.AddAlias(TqnName(Key).View(), Value);
      break;
  }
  Config.Unlock();
}

void ApplyAliasScriptText(TqnServerConfiguration& Config, std::string_view Text) {
  // The script is written by the program at this start, so its aliases replace saved ones of
  // the same name (a moved program folder must not open tables from the old place); within the
  // script the first line of a name wins.
  std::set<std::string> defined;
  for (std::string_view line : SplitLines(Text)) {
    if (line.size() <= 2) continue;
    const std::size_t p = line.find(';');
    // The name must hold at least one character and the path must follow the semicolon.
    if (p == std::string_view::npos || p < 1 || p + 1 >= line.size()) continue;
    const TqnName name(line.substr(0, p));
    const std::string_view path = line.substr(p + 1);  // whole: a folder cut would be another
    const std::string key = UpperKey(name.View());
    if (FindOptionKey(key) < 0 && IsExistingFolder(path) && defined.insert(key).second) {
      Config.Lock();
      if (Config.AliasList().Exists(name.View())) Config.AliasList().Delete(name.View());
      Config.Unlock();
    }
    ApplyServerOption(Config, name.View(), path);
  }
}

void LoadAliasScript(TqnServerConfiguration& Config, std::string_view ProgramFolder) {
  const std::string folder = ToLocalPath(TqnPath(ProgramFolder).View());
  const std::string file = FindFileNoCase(folder.empty() ? "." : folder, kQnAliasScriptName);
  std::string text;
  if (file.empty() || !ReadWholeFile(file, text)) return;
  ApplyAliasScriptText(Config, text);
}

void ApplyOptionsText(TqnServerConfiguration& Config, std::string_view Text) {
  for (std::string_view line : SplitLines(Text)) {
    line = line.substr(0, kQnMaxFullPath);
    if (line.size() <= 2) continue;
    const std::size_t p = line.find('=');
    if (p == std::string_view::npos || p < 1 || p + 1 >= line.size()) continue;
    ApplyServerOption(Config, line.substr(0, p), line.substr(p + 1));
  }
}

void LoadOptionsFile(TqnServerConfiguration& Config, std::string_view FileName) {
  if (FileName.empty() || HasWildcards(FileName)) return;
  std::string text;
  const std::string path = ToLocalPath(ShortString(FileName).View());
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec) || !ReadWholeFile(path, text)) return;
  ApplyOptionsText(Config, text);
}

}  // namespace tw::dbengine
