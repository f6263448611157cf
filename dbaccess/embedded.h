// The embedded start-up: the database server made inside this process and wired to a client
// comms engine, so that a request travels from the client's single-user transport to the
// server's and is handled while the client pumps its windows.
#pragma once

#include <string>

namespace tw::dbaccess {

class TqnClientCommsEngine;

// Creates the server engine, reads its system tables (adding the default administrator to an
// empty user list), the alias script of ProgramFolder and the options file OptionsFile (none
// when empty), starts the server log afresh (requests are logged only when the options file
// says DEBUGLOG=1, record bytes only with DEBUGLOGDATA=1 as well), and listens on a single-user
// transport whose request notices reach Engine's window.  Raises on failure after freeing what
// it made.
void StartEmbeddedServer(TqnClientCommsEngine& Engine, const std::string& ProgramFolder,
                         const std::string& OptionsFile = {});

// Makes sessions start with a client comms engine and an embedded server over ProgramFolder,
// reading OptionsFile (the program's first argument) at each server start.
void RegisterEmbeddedServer(const std::string& ProgramFolder, const std::string& OptionsFile = {});

}  // namespace tw::dbaccess
