// Where a file BLOB's file may lie: inside the folder of the table that holds the BLOB, reached
// through the folder's handle, and never one of the engine's own files.
#pragma once

#include <string>

#include "dbengine/storage/folder.h"

namespace tw::dbengine {

// The name in Folder of the file that Name gives for a new file BLOB (relative to the folder,
// or absolute through the folder's directory as its path leads now; see `QNNameInFolder`):
// a regular file of the folder, reached through no link (a link to a file directly in the
// folder gives that file's name), with one name only (a hard link may stand for a file outside
// the folder), and none of the engine's own files: the system tables (and their side copies),
// journals, the alias script and alias table, the server log and the files noted with
// `QNNoteEngineOwnFile`.  Empty otherwise.
std::string QNFileBlobNameInside(const TqnFolder& Folder, const std::string& Name);
// Whether the file that a file BLOB's stored name Stored gives is still such a file of Folder.
bool QNFileBlobReadable(const TqnFolder& Folder, const std::string& Stored);

// Notes a file the engine reads for itself (the options file named at start-up), so that no
// client can read it as a file BLOB.
void QNNoteEngineOwnFile(const std::string& Path);

}  // namespace tw::dbengine
