// Sessions and databases of the data-set classes.  The default session starts the access
// layer's engine on first use and keeps the databases that data sets open by name; a TDatabase
// component names an alias or a folder and holds the open database handle.
#pragma once

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/component.h"
#include "dataset/dbilink.h"

namespace tw {

class TDatabase;
class TDataSet;

// Asked for the user name and password before a database with LoginPrompt set opens; false
// cancels the open.
using TLoginEvent = std::function<bool(TDatabase* database, std::string& userName, std::string& password)>;

class TSession : public TComponent {
  TW_CLASS(TSession, TComponent)
 public:
  explicit TSession(TComponent* owner);
  ~TSession() override;

  void Open();
  void Close();
  bool Active() const { return FActive; }
  void SetActive(bool value) { value ? Open() : Close(); }
  hDBISes Handle();
  bool KeepConnections() const { return FKeepConnections; }
  void SetKeepConnections(bool v) { FKeepConnections = v; }

  // Databases known to the session: components registered by name and temporary ones.
  int DatabaseCount() const { return static_cast<int>(FDatabases.size()); }
  TDatabase* Databases(int index) const { return FDatabases.at(static_cast<std::size_t>(index)); }
  TDatabase* FindDatabase(const std::string& name) const;
  // The open database of that name: an existing component, or a temporary one made here.
  TDatabase* OpenDatabase(const std::string& name);
  // Releases a database that a data set opened; temporary ones close when no longer used and
  // connections are not kept.
  void CloseDatabase(TDatabase* database);

  // Aliases of this session: a name standing for a folder.  Names the session does not know
  // go to the access layer unchanged (the server's aliases).
  void AddStandardAlias(const std::string& name, const std::string& path);
  void DeleteAlias(const std::string& name);
  bool IsAlias(const std::string& name) const;
  std::string AliasPath(const std::string& name) const;
  std::vector<std::string> GetAliasNames() const;
  // The name under which the access layer opens an alias or database name: the folder of an
  // alias of this session, else the name itself.
  std::string AccessName(const std::string& name) const;
  // What a database name stands for when the access layer knows it neither as a folder nor as
  // an alias: the alias of the database component of that name (a folder for an alias of this
  // session), or the folder of an alias of this session; "" for anything else.  The access
  // layer asks this while the session is open.
  std::string DatabaseAliasFor(const std::string& name) const;

  // Login prompt used by databases that have no OnLogin of their own.  When it is assigned
  // as the session opens, it also answers the server's question for a user name and password
  // when the server refuses the session's login (the database is nullptr then), in front of
  // the access layer's own prompt: while it is unassigned that prompt asks, and it is the only
  // one left once the session closes.
  TLoginEvent OnLogin;

  // Used by TDatabase.
  void RegisterDatabase(TDatabase* database);
  void UnregisterDatabase(TDatabase* database);

 private:
  bool FActive = false;
  bool FKeepConnections = true;
  hDBISes FHandle = 0;
  std::vector<TDatabase*> FDatabases;
  std::map<std::string, std::string> FAliases;  // upper-case name -> folder
  // Puts the session's answers to the access layer's questions in place, or takes them away.
  void InstallAnswers(bool install);
  std::shared_ptr<TSession*> FSelf;  // what the access layer's questions reach
  std::exception_ptr FLoginError;     // raised by OnLogin while the access layer asked
};

// The program's default session.
TSession& Session();

class TDatabase : public TComponent {
  TW_CLASS(TDatabase, TComponent)
 public:
  explicit TDatabase(TComponent* owner);
  ~TDatabase() override;

  void Open();
  void Close();
  bool Connected() const { return FHandle != 0; }
  void SetConnected(bool value);
  hDBIDb Handle() const { return FHandle; }

  const std::string& DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const std::string& name);
  const std::string& AliasName() const { return FAliasName; }
  void SetAliasName(const std::string& name);
  // "NAME=VALUE" lines; USER NAME and PASSWORD are used at login.
  const std::vector<std::string>& Params() const { return FParams; }
  void SetParams(const std::vector<std::string>& p) { FParams = p; }
  std::string ParamValue(const std::string& name) const;
  bool LoginPrompt() const { return FLoginPrompt; }
  void SetLoginPrompt(bool v) { FLoginPrompt = v; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v) { FReadOnly = v; }
  bool Exclusive() const { return FExclusive; }
  void SetExclusive(bool v) { FExclusive = v; }
  bool KeepConnection() const { return FKeepConnection; }
  void SetKeepConnection(bool v) { FKeepConnection = v; }
  bool Temporary() const { return FTemporary; }
  void SetTemporary(bool v) { FTemporary = v; }

  // Data sets open on this database; closing the database closes them.
  int DataSetCount() const { return static_cast<int>(FDataSets.size()); }
  void AddDataSet(TDataSet* ds);
  void RemoveDataSet(TDataSet* ds);
  int RefCount() const { return FRefCount; }
  void AddRef() { ++FRefCount; }
  void Release() { if (FRefCount > 0) --FRefCount; }
  bool Closing() const { return FClosing; }

  TLoginEvent OnLogin;
  std::function<void(TDatabase*)> BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;

 protected:
  void Loaded() override;

 private:
  hDBIDb FHandle = 0;
  std::string FDatabaseName;
  std::string FAliasName;
  std::vector<std::string> FParams;
  bool FLoginPrompt = false;
  bool FReadOnly = false;
  bool FExclusive = false;
  bool FKeepConnection = true;
  bool FTemporary = false;
  bool FStreamedConnected = false;
  bool FClosing = false;
  int FRefCount = 0;
  std::vector<TDataSet*> FDataSets;
};

}  // namespace tw
