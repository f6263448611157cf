// The system tables as table files of the engine's own format in one folder (the program's):
// each table is rewritten whole, inside one transaction, and read back record by record.
#pragma once

#include <string>
#include <string_view>

#include "dbengine/base/serveroptions.h"

namespace tw::dbengine {

class TqnTableFileSystemStore : public TqnSystemTableStore {
 public:
  explicit TqnTableFileSystemStore(std::string Folder);
  // False for a missing table or one that cannot be read (damaged files included).
  bool ReadTable(std::string_view Name, TqnSysTable& Table) override;
  // Deletes the table's files, creates the table (block size 4096, every field required, only
  // the sequential index) and inserts the rows in one transaction.  False when any step
  // failed; a table that failed after its deletion is absent.
  bool WriteTable(std::string_view Name, const TqnSysTable& Table, bool Encrypted) override;
  const std::string& Folder() const { return FFolder; }

 private:
  std::string FFolder;
};

}  // namespace tw::dbengine
