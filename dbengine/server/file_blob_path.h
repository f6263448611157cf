// Where a file BLOB's file may lie: inside the folder of the table that holds the BLOB.
#pragma once

#include <string>

namespace tw::dbengine {

// The full name of Name's file when it is a regular file inside Folder: Name relative to the
// folder (or absolute and inside it), without "..", and reached through no link that leads out
// of the folder.  Empty otherwise.  Backslashes count as separators.
std::string QNFileBlobPathInside(const std::string& Folder, const std::string& Name);

}  // namespace tw::dbengine
