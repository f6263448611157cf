// The embedded start-up: the database server made inside this process and wired to a client
// comms engine, so that a request travels from the client's single-user transport to the
// server's and is handled while the client pumps its windows.
#pragma once

#include <string>

namespace tw::dbaccess {

class TqnClientCommsEngine;

// Creates the server engine, reads its system tables (adding the default administrator to an
// empty user list) and the alias script of ProgramFolder, and listens on a single-user
// transport whose request notices reach Engine's window.  Raises on failure after freeing what
// it made.
void StartEmbeddedServer(TqnClientCommsEngine& Engine, const std::string& ProgramFolder);

// Makes sessions start with a client comms engine and an embedded server over ProgramFolder.
void RegisterEmbeddedServer(const std::string& ProgramFolder);

}  // namespace tw::dbaccess
