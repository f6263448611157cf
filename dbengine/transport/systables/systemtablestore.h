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
  // False for a missing table or one that cannot be read (damaged files included).  When a
  // rewrite was stopped after the old copy was moved aside, the complete new copy is read.
  bool ReadTable(std::string_view Name, TqnSysTable& Table) override;
  // Writes the table anew (block size 4096, every field required, only the sequential index)
  // with the rows inserted in one transaction.  The new copy is written beside the old one
  // and replaces it only when it is complete, so a failed or interrupted rewrite leaves the
  // old table as it was.  False when any step failed.
  bool WriteTable(std::string_view Name, const TqnSysTable& Table, bool Encrypted) override;
  const std::string& Folder() const { return FFolder; }

 private:
  std::string FFolder;
};

}  // namespace tw::dbengine
