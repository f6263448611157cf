// The table checker's report: pending journals, then the faults of the file as it stands.
#include "tools/tablecheck/table_report.h"

#include <algorithm>
#include <filesystem>

#include "dbengine/storage/file_routines.h"
#include "dbengine/storage/journal.h"
#include "dbengine/storage/table_check.h"
#include "platform/rtl/win1252.h"

namespace tw::tablecheck {

std::vector<std::string> PendingJournals(const std::string& Path) {
  const std::filesystem::path folder = std::filesystem::path(dbengine::QNJournalPath(Path)).parent_path();
  std::vector<std::string> names;
  std::vector<std::string> journals;
  if (dbengine::QNFileAccessTable().ListFolder(folder.string(), names) != 0) return journals;
  const std::string ext = std::string(".") + dbengine::kQnJournalExtension;
  for (const std::string& n : names)
    if (n.size() > ext.size() && SameText(n.substr(n.size() - ext.size()), ext))
      journals.push_back((folder / n).string());
  std::sort(journals.begin(), journals.end());
  return journals;
}

TTableReport CheckTableAsItStands(const std::string& Path) {
  TTableReport report;
  for (const std::string& j : PendingJournals(Path)) report.Lines.push_back(j + ": " + kJournalPending);
  dbengine::TqnTableCheckOptions options;
  options.LeaveJournals = true;
  const auto faults = dbengine::QNCheckTableFile(Path, options);
  report.Sound = faults.empty();
  report.Lines.insert(report.Lines.end(), faults.begin(), faults.end());
  if (report.Sound) report.Lines.push_back(Path + ": no fault");
  return report;
}

}  // namespace tw::tablecheck
