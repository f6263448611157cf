// Where a file BLOB's file may lie: inside the folder of the table that holds the BLOB, and
// never one of the engine's own files.
#pragma once

#include <string>

namespace tw::dbengine {

// The full name of Name's file when it is a regular file inside Folder: Name relative to the
// folder (or absolute and inside it), without "..", reached through no link that leads out of
// the folder, with one link only (a hard link may stand for a file outside the folder), and
// none of the engine's own files: the system tables (and their side copies), journals, the
// alias script and alias table, the server log and the files noted with
// `QNNoteEngineOwnFile`.  Empty otherwise.  Backslashes count as separators.
std::string QNFileBlobPathInside(const std::string& Folder, const std::string& Name);

// True when the file named by Path (a full name) is one of the engine's own files.
bool QNIsEngineOwnFile(const std::string& Path);
// Notes a file the engine reads for itself (the options file named at start-up), so that no
// client can read it as a file BLOB.
void QNNoteEngineOwnFile(const std::string& Path);

}  // namespace tw::dbengine
