// How the server configuration persists and is changed at start-up: the four system tables
// (QNSInfo, QNSALIAS, QNSUser, QNSIndex), the built-in default user, the alias script
// "QNAlias.sc$" in the program's folder and the options file named on the command line.
//
// The system tables are reached through TqnSystemTableStore, a small interface of whole-table
// reads and rewrites, so that this file does not depend on the storage layer; the server
// supplies a store over its own tables.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dbengine/base/serverconfig.h"

namespace tw::dbengine {

// Field types of the system tables.
enum : int { qnsftBoolean = 0, qnsftUInt32 = 5, qnsftInt32 = 8, qnsftBytes = 45, qnsftShortString = 46 };

struct TqnSysFieldDef {
  std::string Name;
  int FieldType = 0;
  int Units = 0;
};
// A field value; monostate is a null field.
using TqnSysValue = std::variant<std::monostate, bool, std::uint32_t, std::int32_t, std::string>;
using TqnSysRow = std::vector<TqnSysValue>;

struct TqnSysTable {
  std::vector<TqnSysFieldDef> Fields;
  std::vector<TqnSysRow> Rows;
};

class TqnSystemTableStore {
 public:
  virtual ~TqnSystemTableStore() = default;
  // False when the table is missing or cannot be read.
  virtual bool ReadTable(std::string_view Name, TqnSysTable& Table) = 0;
  // Deletes the table and writes it anew with Table's fields and rows, in one transaction;
  // false when any step failed.
  virtual bool WriteTable(std::string_view Name, const TqnSysTable& Table, bool Encrypted) = 0;
};

// A store in memory (tests, and a server without persistent system tables).  Names are matched
// without regard to ASCII case.
class TqnMemorySystemTableStore : public TqnSystemTableStore {
 public:
  bool ReadTable(std::string_view Name, TqnSysTable& Table) override;
  bool WriteTable(std::string_view Name, const TqnSysTable& Table, bool Encrypted) override;
  bool Has(std::string_view Name) const;
  TqnSysTable& Table(std::string_view Name);
  int WriteCount = 0;
  bool FailWrites = false;

 private:
  std::map<std::string, TqnSysTable> FTables;
};

extern const char* const kQnSysInfoTable;   // "QNSInfo"
extern const char* const kQnSysAliasTable;  // "QNSALIAS"
extern const char* const kQnSysUserTable;   // "QNSUser"
extern const char* const kQnSysIndexTable;  // "QNSIndex"

// The field layouts the writers use.
std::vector<TqnSysFieldDef> QNSysInfoFields();
std::vector<TqnSysFieldDef> QNSysAliasFields();
std::vector<TqnSysFieldDef> QNSysUserFields();

// The protocol words of QNSInfo: "SINGLE", "NETBIOS", "TCP/IP", "IPX/SPX".
std::string QNProtocolWord(TqnProtocolKind Kind);

void LoadInfoTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store);
void LoadAliasTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store);
void LoadUserTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store);
void LoadIndexTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store);
// Each does nothing when ReadOnly is set; failures are not reported.
void SaveInfoTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store);
void SaveAliasTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store);
void SaveUserTable(TqnServerConfiguration& Config, TqnSystemTableStore& Store);

// The user id of the built-in default user and of the server's internal client.
const std::string& DefaultUserID();
std::string BuildDefaultUserID();
constexpr std::uint8_t kQnDefaultUserRights = 31;
std::uint32_t QNDefaultUserPwdHash();
// Adds the default user and saves the user table.
void AddDefaultUser(TqnServerConfiguration& Config, TqnSystemTableStore& Store);

// Index 0 to 16 of an upper-cased key in the option table ("SERVERNAME", "MAXRAMPAGES",
// "PROTOCOL", "USELOGIN", "AUTOUPSERVER", "AUTOMINIMIZE", "USEBROADCASTS", "ALLOWENCRYPT",
// "NOAUTOSAVECFG", "DEBUGLOG", "DEBUGLOGDATA", then the network server's limits
// "MAXCONNECTIONS", "MAXMESSAGESIZE", "COMMSMEMORY", "REPLYQUEUESIZE", "REPLYTIMEOUT",
// "ATTACHTIMEOUT"), -1 when absent.
int FindOptionKey(std::string_view Key);
// 0 to 3 for "SINGLEUSER", "NETBIOS", "TCP/IP", "IPX/SPX"; -1 when absent.
int FindProtocolName(std::string_view Value);
// True when Value (upper-cased) is a Boolean word; B then holds its meaning.
bool ParseOptionBoolean(std::string_view Value, bool& B);
// One key and value: a known option key sets its option; another key whose value names an
// existing folder defines an alias of that name; anything else is ignored.
void ApplyServerOption(TqnServerConfiguration& Config, std::string_view Key, std::string_view Value);

constexpr const char* kQnAliasScriptName = "QNAlias.sc$";
// Applies the alias script of ProgramFolder (found without regard to case); nothing happens
// without one.  An alias of the script replaces one of the same name already in the list.
void LoadAliasScript(TqnServerConfiguration& Config, std::string_view ProgramFolder);
// The same rules over text already read (for the reader on its own).
void ApplyAliasScriptText(TqnServerConfiguration& Config, std::string_view Text);
// Applies an options file; an absent file or a name with wildcards does nothing.
void LoadOptionsFile(TqnServerConfiguration& Config, std::string_view FileName);
void ApplyOptionsText(TqnServerConfiguration& Config, std::string_view Text);

}  // namespace tw::dbengine
