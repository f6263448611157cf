#include "dataset/session.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/classes/typinfo.h"
#include "dataset/dataset.h"
#include "dataset/dberrors.h"

namespace tw {

namespace {
std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

// ---- TSession -------------------------------------------------------------------------------

TSession::TSession(TComponent* owner) : TComponent(owner), FSelf(std::make_shared<TSession*>(this)) {}

TSession::~TSession() {
  *FSelf = nullptr;
  try {
    Close();
  } catch (...) {
  }
  // Components still registered belong to their owners; only unlink them.
  for (TDatabase* db : std::vector<TDatabase*>(FDatabases)) UnregisterDatabase(db);
}

void TSession::Open() {
  if (FActive) return;
  // The server may ask for a login while the engine starts the session.
  InstallAnswers(true);
  FLoginError = nullptr;
  try {
    Check(DbiLink().Init());
    if (FLoginError) std::rethrow_exception(std::exchange(FLoginError, nullptr));
    hDBISes s = 0;
    Check(DbiLink().GetCurrSession(s));
    FHandle = s;
  } catch (...) {
    InstallAnswers(false);
    throw;
  }
  FActive = true;
}

void TSession::Close() {
  if (!FActive) return;
  for (TDatabase* db : std::vector<TDatabase*>(FDatabases)) {
    db->Close();
    if (db->Temporary()) delete db;
  }
  FActive = false;
  FHandle = 0;
  InstallAnswers(false);
}

void TSession::InstallAnswers(bool install) {
  TDbiLink& link = DbiLink();
  if (!install) {
    link.SetServerLogin(nullptr);
    link.SetDatabaseAliasLookup(nullptr);
    return;
  }
  // The answers reach the session through FSelf, which is cleared when the session goes.
  if (OnLogin) {
    link.SetServerLogin([self = FSelf](const std::string&, std::string& user,
                                       std::string& password) -> std::optional<bool> {
      TSession* session = *self;
      if (!session || !session->OnLogin) return std::nullopt;  // the prompt before asks
      // Exceptions do not cross the access layer, which answers in result codes: the event's
      // exception counts as Cancel there, and Open raises it once the engine has answered.
      try {
        return session->OnLogin(nullptr, user, password);
      } catch (...) {
        session->FLoginError = std::current_exception();
        return false;
      }
    });
  }
  link.SetDatabaseAliasLookup([self = FSelf](const std::string& name) {
    TSession* session = *self;
    try {
      return session ? session->DatabaseAliasFor(name) : std::string();
    } catch (...) {
      return std::string();  // the name stays unknown
    }
  });
}

hDBISes TSession::Handle() {
  Open();
  return FHandle;
}

TDatabase* TSession::FindDatabase(const std::string& name) const {
  for (TDatabase* db : FDatabases)
    if (SameFieldName(db->DatabaseName(), name)) return db;
  return nullptr;
}

TDatabase* TSession::OpenDatabase(const std::string& name) {
  if (name.empty()) DatabaseError(dbconst::SDatabaseNameMissing);
  Open();
  TDatabase* db = FindDatabase(name);
  bool made = false;
  if (!db) {
    db = new TDatabase(nullptr);
    db->SetDatabaseName(name);
    db->SetTemporary(true);
    made = true;
  }
  try {
    db->Open();
  } catch (...) {
    if (made) delete db;
    throw;
  }
  db->AddRef();
  return db;
}

void TSession::CloseDatabase(TDatabase* database) {
  if (!database) return;
  database->Release();
  if (database->Closing()) return;  // the database is closing its data sets itself
  if (database->RefCount() == 0 && database->Temporary() && !FKeepConnections) {
    database->Close();
    delete database;
  }
}

void TSession::AddStandardAlias(const std::string& name, const std::string& path) {
  if (name.empty()) DatabaseError("Alias name missing");
  FAliases[Upper(name)] = path;
}

void TSession::DeleteAlias(const std::string& name) { FAliases.erase(Upper(name)); }

bool TSession::IsAlias(const std::string& name) const { return FAliases.count(Upper(name)) != 0; }

std::string TSession::AliasPath(const std::string& name) const {
  auto it = FAliases.find(Upper(name));
  return it == FAliases.end() ? std::string() : it->second;
}

std::vector<std::string> TSession::GetAliasNames() const {
  std::vector<std::string> out;
  for (const auto& [k, v] : FAliases) out.push_back(k);
  return out;
}

std::string TSession::AccessName(const std::string& name) const { return IsAlias(name) ? AliasPath(name) : name; }

std::string TSession::DatabaseAliasFor(const std::string& name) const {
  if (TDatabase* db = FindDatabase(name); db && !db->AliasName().empty()) return AccessName(db->AliasName());
  return IsAlias(name) ? AliasPath(name) : std::string();
}

void TSession::RegisterDatabase(TDatabase* database) {
  if (std::find(FDatabases.begin(), FDatabases.end(), database) == FDatabases.end()) FDatabases.push_back(database);
}

void TSession::UnregisterDatabase(TDatabase* database) {
  FDatabases.erase(std::remove(FDatabases.begin(), FDatabases.end(), database), FDatabases.end());
}

TSession& Session() {
  static TSession* session = new TSession(nullptr);  // lives for the whole run
  return *session;
}

// ---- TDatabase ------------------------------------------------------------------------------

TDatabase::TDatabase(TComponent* owner) : TComponent(owner) {}

TDatabase::~TDatabase() {
  try {
    Close();
  } catch (...) {
  }
  Session().UnregisterDatabase(this);
}

void TDatabase::SetDatabaseName(const std::string& name) {
  if (name == FDatabaseName) return;
  if (Connected()) DatabaseError(dbconst::SDatabaseOpen);
  if (!name.empty()) {
    TDatabase* other = Session().FindDatabase(name);
    if (other && other != this) DatabaseErrorFmt(dbconst::SDuplicateDatabaseName, name);
  }
  FDatabaseName = name;
  if (name.empty()) Session().UnregisterDatabase(this);
  else Session().RegisterDatabase(this);
}

void TDatabase::SetAliasName(const std::string& name) {
  if (Connected()) DatabaseError(dbconst::SDatabaseOpen);
  FAliasName = name;
}

std::string TDatabase::ParamValue(const std::string& name) const {
  for (const std::string& p : FParams) {
    std::size_t eq = p.find('=');
    if (eq != std::string::npos && SameFieldName(p.substr(0, eq), name)) return p.substr(eq + 1);
  }
  return {};
}

void TDatabase::SetConnected(bool value) {
  if (ComponentState().Contains(TComponentStateFlag::csLoading)) {
    FStreamedConnected = value;
    return;
  }
  value ? Open() : Close();
}

void TDatabase::Loaded() {
  TComponent::Loaded();
  if (FStreamedConnected) {
    FStreamedConnected = false;
    Open();
  }
}

void TDatabase::Open() {
  if (Connected()) return;
  if (FDatabaseName.empty()) DatabaseError(dbconst::SDatabaseNameMissing);
  Session().Open();
  if (BeforeConnect) BeforeConnect(this);
  std::string user = ParamValue("USER NAME");
  std::string password = ParamValue("PASSWORD");
  if (FLoginPrompt) {
    const TLoginEvent& ask = OnLogin ? OnLogin : Session().OnLogin;
    if (ask && !ask(this, user, password)) DatabaseError(dbconst::SLoginCancelled);
  }
  std::string name = Session().AccessName(FAliasName.empty() ? FDatabaseName : FAliasName);
  hDBIDb h = 0;
  DBIResult r = DbiLink().OpenDatabase(name, FReadOnly, FExclusive, password, h);
  if (r != 0) {
    if (h) DbiLink().CloseDatabase(h);
    Check(r);
  }
  if (!h) Check(dbaccess::DBIERR_INVALIDHNDL);  // success without a handle is no success
  FHandle = h;
  if (AfterConnect) AfterConnect(this);
}

void TDatabase::Close() {
  if (!Connected()) return;
  if (BeforeDisconnect) BeforeDisconnect(this);
  FClosing = true;
  try {
    for (TDataSet* ds : std::vector<TDataSet*>(FDataSets)) ds->Close();
  } catch (...) {
    FClosing = false;
    throw;
  }
  FClosing = false;
  hDBIDb h = FHandle;
  FHandle = 0;
  FRefCount = 0;
  DBIResult r = DbiLink().CloseDatabase(h);
  if (AfterDisconnect) AfterDisconnect(this);
  Check(r);
}

void TDatabase::AddDataSet(TDataSet* ds) {
  if (std::find(FDataSets.begin(), FDataSets.end(), ds) == FDataSets.end()) FDataSets.push_back(ds);
}

void TDatabase::RemoveDataSet(TDataSet* ds) {
  FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), ds), FDataSets.end());
}

TW_PUBLISHED(TDatabase,
             Prop("DatabaseName", &TDatabase::DatabaseName, &TDatabase::SetDatabaseName),
             Prop("AliasName", &TDatabase::AliasName, &TDatabase::SetAliasName),
             Prop("Connected", &TDatabase::Connected, &TDatabase::SetConnected),
             Prop("LoginPrompt", &TDatabase::LoginPrompt, &TDatabase::SetLoginPrompt),
             Prop("ReadOnly", &TDatabase::ReadOnly, &TDatabase::SetReadOnly),
             Prop("Exclusive", &TDatabase::Exclusive, &TDatabase::SetExclusive),
             Prop("KeepConnection", &TDatabase::KeepConnection, &TDatabase::SetKeepConnection));

TW_REGISTER_CLASS(TDatabase);

}  // namespace tw
