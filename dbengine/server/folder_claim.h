// A folder served by this process: while any database of this process's server uses a folder,
// the process holds an advisory lock on the folder itself, so that a server of another process
// never keeps a second page cache and lock table over the same files.
#pragma once

#include <string>

namespace tw::dbengine {

// Claims Folder for this process (claims are counted; every server of the process shares
// them).  False when a server of another process holds the folder.
bool QNClaimFolder(const std::string& Folder);
// Gives one claim back; the lock goes with the last one.
void QNReleaseFolder(const std::string& Folder);

}  // namespace tw::dbengine
