#include "dbaccess/embedded.h"

#include <memory>

#include "dbaccess/commsengine.h"
#include "dbengine/base/errors.h"
#include "dbengine/base/stringres.h"
#include "dbengine/base/serverlog.h"
#include "dbengine/base/serveroptions.h"
#include "dbengine/server/comms/server_comms_link.h"
#include "dbengine/server/file_blob_path.h"
#include "dbengine/server/server_engine.h"
#include "dbengine/transport/servercomms.h"
#include "dbengine/transport/systables/systemtablestore.h"

namespace tw::dbaccess {

using namespace tw::dbengine;

namespace {
struct TEmbeddedServer {
  std::string ProgramFolder;
  std::string OptionsFile;
  std::unique_ptr<TqnServerEngine> Engine;
  std::unique_ptr<TqnTableFileSystemStore> Store;
  std::unique_ptr<TqnServerCommsEngine> Comms;
  std::unique_ptr<TqnServerCommsLink> Link;
  ~TEmbeddedServer() {
    Link.reset();
    Comms.reset();
    if (Engine && Store) {
      try {
        SaveInfoTable(Engine->Configuration(), *Store);
        SaveAliasTable(Engine->Configuration(), *Store);
      } catch (...) {
        // Writing the system tables back is best effort; the server goes in any case.
      }
    }
    Engine.reset();
  }
};

// The process's one server: made by the first session, shared by the sessions that follow,
// freed with the last of them.
std::weak_ptr<TEmbeddedServer>& RunningServer() {
  static auto* running = new std::weak_ptr<TEmbeddedServer>;
  return *running;
}

std::shared_ptr<TEmbeddedServer> MakeServer(const std::string& ProgramFolder, const std::string& OptionsFile) {
  auto server = std::make_shared<TEmbeddedServer>();
  server->ProgramFolder = ProgramFolder;
  server->OptionsFile = OptionsFile;
  server->Engine = std::make_unique<TqnServerEngine>();
  TqnServerConfiguration& config = server->Engine->Configuration();
  server->Store = std::make_unique<TqnTableFileSystemStore>(ProgramFolder);
  LoadInfoTable(config, *server->Store);
  LoadAliasTable(config, *server->Store);
  LoadUserTable(config, *server->Store);
  if (config.UserList().Count() == 0) AddDefaultUser(config, *server->Store);
  LoadIndexTable(config, *server->Store);
  LoadAliasScript(config, ProgramFolder);
  if (!OptionsFile.empty()) {
    LoadOptionsFile(config, OptionsFile.substr(0, kQnMaxFullPath));
    QNNoteEngineOwnFile(OptionsFile);
  }
  // A fresh log for this run; requests go into it only when the options file asked for it.
  QNLogStart();
  QNLogRequests = config.GeneralInfo().DebugLog;
  QNLogRequestData = config.GeneralInfo().DebugLog && config.GeneralInfo().DebugLogData;
  server->Comms = std::make_unique<TqnServerCommsEngine>(TqnProtocolKind::SingleUser, "SingleEXE");
  server->Comms->SetLimits(config.GeneralInfo().Comms);
  server->Link = std::make_unique<TqnServerCommsLink>(*server->Engine, *server->Comms);
  server->Comms->StartListening();
  return server;
}
}  // namespace

void StartEmbeddedServer(TqnClientCommsEngine& Engine, const std::string& ProgramFolder,
                         const std::string& OptionsFile) {
  std::shared_ptr<TEmbeddedServer> server = RunningServer().lock();
  if (server && (server->ProgramFolder != ProgramFolder || server->OptionsFile != OptionsFile)) {
    // One process has one server: a session asking for another configuration while it runs
    // would otherwise put a second cache beside the first over the same tables.
    QNRaiseErrorFmt<EqnCommsException>(qnGeneralStrings(), qnerrInvalidParameter,
                                       {std::string("StartEmbeddedServer"), 1});
  }
  if (!server) {
    server = MakeServer(ProgramFolder, OptionsFile);
    RunningServer() = server;
  }
  TqnServerCommsLink* link = server->Link.get();
  TqnServerCommsEngine* comms = server->Comms.get();
  Engine.SetEmbeddedServer([link]() { link->DispatchQueue(); }, server, [comms](HWND Window, bool Take) {
    if (Take && comms->HandlerWindow() != Window) comms->SetHandlerWindow(Window);
    else if (!Take && comms->HandlerWindow() == Window) comms->SetHandlerWindow(0);
  });
  Engine.Transport().PrepareStationOnce();
}

void RegisterEmbeddedServer(const std::string& ProgramFolder, const std::string& OptionsFile) {
  SetClientCommsFactory([ProgramFolder, OptionsFile](const std::string& ClientName) -> std::unique_ptr<TClientComms> {
    auto engine = std::make_unique<TqnClientCommsEngine>(ClientName);
    StartEmbeddedServer(*engine, ProgramFolder, OptionsFile);
    return engine;
  });
}

}  // namespace tw::dbaccess
