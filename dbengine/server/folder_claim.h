// A folder served by this process: while any database of this process's server uses a folder,
// the process holds an advisory claim on the folder itself, so that a server of another process
// never keeps a second page cache and lock table over files that one of them changes.
//
// Readers share a folder: any number of processes may read it at once, since nobody changes
// what their caches hold.  A process that changes files of the folder holds it alone: its claim
// becomes exclusive before its first change and stays so until its last claim goes.
//
// The claim is a `flock` on the folder's own descriptor (shared, or exclusive for a writer) and,
// beside it for as long as the claim lives, a read lock of that open file description
// (`F_OFD_SETLK`) that marks the process's presence.  A lock conversion of `flock` is not
// atomic (the shared lock is let go before the exclusive one is asked for), so the exclusive
// lock alone proves nothing: a writer that got it also asks whether any other process's
// presence mark stands, and backs off when one does.  Presence never lapses during a
// conversion, so no writer can slip in while a reader re-takes its shared lock.
#pragma once

#include <string>

#include "dbengine/base/names.h"

namespace tw::dbengine {

enum class TqnFolderClaim {
  Claimed,          // the folder is this process's to read
  ServedElsewhere,  // a server of another process writes in it
  Unreadable,       // the folder cannot be looked at (missing, no directory, no access)
};

// Claims the directory Folder names for this process to read (claims are counted; every server
// of the process shares them).  The claim belongs to the directory, however Folder spells it
// (another case, a symbolic link, trailing separators of either kind), and is known from here
// on by Key, the directory's device and inode: a folder renamed or removed later, and another
// made at its path, are two claims.  A folder that cannot be looked at is claimed by nobody and
// must not be served.
TqnFolderClaim QNClaimFolder(const std::string& Folder, TqnFileKey& Key);
// The same for the directory open as Directory (a descriptor of the caller's, left open): the
// claim is on that very directory, whatever its path leads to by now.
TqnFolderClaim QNClaimFolder(int Directory, TqnFileKey& Key);

// Makes this process's claim on the directory Key exclusive for good: it stays exclusive until
// the last claim is given back.  True when it is exclusive (or when this process holds no claim
// on it); false when a server of another process holds the folder too, and the claim then stays
// shared.
bool QNClaimFolderForWriting(const TqnFileKey& Key);

// Whether this process holds the directory Key alone (true, too, for one it holds no claim on).
bool QNFolderHeldForWriting(const TqnFileKey& Key);

// Gives one claim back; the locks go with the last one.
void QNReleaseFolder(const TqnFileKey& Key);

// Holds a shared claim exclusive for a moment: a reader that must write once (finishing a
// journal that an interrupted change left behind) before it reads.  The claim returns to shared
// when the moment ends, unless it was made exclusive for good meanwhile.
class TqnFolderWriteMoment {
 public:
  TqnFolderWriteMoment() = default;
  ~TqnFolderWriteMoment();
  TqnFolderWriteMoment(const TqnFolderWriteMoment&) = delete;
  TqnFolderWriteMoment& operator=(const TqnFolderWriteMoment&) = delete;
  // False when a server of another process holds the folder too.
  bool Begin(const TqnFileKey& Key);

 private:
  TqnFileKey key_;
  bool begun_ = false;
};

}  // namespace tw::dbengine
