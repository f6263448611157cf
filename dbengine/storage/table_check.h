// The table checker: verifies a table's files and lists every fault it finds.  It reads only;
// it never changes a block.  Checked: block 0 and its record layout; the list of freed
// blocks; the stored dictionary's blocks; the chain of data blocks and the list of deleted
// slots against the record count; every index (node layout, levels and fill, key order, key
// and node counts, each key reaching a live record whose key it is, one key per record);
// every BLOB (header slots, the free slot list, the BLOB count, segment chains and owners, the
// BLOB fields of the records); and that every block of each file is used by exactly one of these.
#pragma once

#include <string>
#include <vector>

#include "dbengine/storage/file_info.h"

namespace tw::dbengine {

class TqnDataDictionary;

struct TqnTableCheckOptions {
  // A table with records but no index header is a fault.
  bool IndexesRequired = true;
  // QNCheckTableFile opens the files as they stand, leaving any journal in their folder for
  // the engine to recover (otherwise opening them recovers it first, as the engine would).
  bool LeaveJournals = false;
};

// Checks an open table of Dictionary as the current transactions of its files see it.  Files
// holds the table's open files by their number in the dictionary, Files[0] its data file; each
// index is read from the file the dictionary names for it and the BLOBs from its BLOB file (the
// data file when it names none).  A file of the dictionary missing from Files is a fault.
// No fault: empty.
std::vector<std::string> QNCheckTable(const std::vector<TqnFileInfo*>& Files, const TqnDataDictionary& Dictionary,
                                      const TqnTableCheckOptions& Options = {});

// Opens the table file at Path (its data file, "NAME.QND") read-only, reads its dictionary and
// checks it with every other file the dictionary names, all opened in the data file's folder.
// A file that cannot be opened or read is reported as a fault.
std::vector<std::string> QNCheckTableFile(const std::string& Path, const TqnTableCheckOptions& Options = {});

}  // namespace tw::dbengine
