// The table checker's report on one table file.  The check only reads: a journal left in the
// table's folder by an interrupted commit is named in the report, not replayed, and the table
// file is checked as it stands.
#pragma once

#include <string>
#include <vector>

namespace tw::tablecheck {

// What is said of a journal still waiting in the table's folder.
inline constexpr char kJournalPending[] =
    "a journal is pending: the table will be recovered when the engine opens it";

struct TTableReport {
  std::vector<std::string> Lines;  // one note or fault a line
  bool Sound = true;               // no fault found in the table file as it stands
};

// The journals ("*.QN$") in the folder of the table file at Path, sorted by name.
std::vector<std::string> PendingJournals(const std::string& Path);

// Checks the table file at Path ("NAME.QND") without changing any file: first a line for each
// pending journal, then each fault, or "<Path>: no fault".
TTableReport CheckTableAsItStands(const std::string& Path);

}  // namespace tw::tablecheck
