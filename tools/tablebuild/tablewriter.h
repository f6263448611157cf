// Writes the program's two data tables with the database engine: the table is built with its
// dictionary and index, and every row is inserted with its memo text.  Language codes are
// 3-character strings; the indexes compare them without regard to case.
#pragma once

#include <string>
#include <vector>

#include "tools/tablebuild/textsource.h"

namespace tw::tablebuild {

// Table names (the files are "<name>.QND") and their indexes.
inline constexpr const char* kMessagesTable = "Messages";
inline constexpr const char* kMessagesIndex = "XPKMsgs";
inline constexpr const char* kInterpretationTable = "Interprt";
inline constexpr const char* kInterpretationIndex = "XPKTransTexts";
inline constexpr const char* kInterpretationField = "Interpretation";

// Build the table in `folder`, replacing a table of that name.  Raises SourceError with the
// engine's result code when a step fails (a duplicate key among them).
void WriteMessagesTable(const std::string& folder, const std::vector<MessageRow>& rows);
void WriteInterpretationTable(const std::string& folder, const std::vector<InterpretationRow>& rows);

}  // namespace tw::tablebuild
