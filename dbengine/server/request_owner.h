// Keeps clients apart: a request that names a session, database, cursor, transaction or
// rebuild by its id is served only when that object belongs to the client that sent it.  Ids
// are handed out by the engine and only given back by the client that received them, so a
// foreign id is refused as an invalid handle, exactly like an id that names nothing.
#pragma once

#include "dbengine/server/command_handler.h"

namespace tw::dbengine {

// 0 when every object that Request names belongs to its client (or the request names none, or
// its payload is too short to name them, which the handler refuses by itself); 9990 otherwise.
DBIResult QNCheckRequestOwner(TqnServerEngine& Engine, const TqnServerRequest& Request);

}  // namespace tw::dbengine
