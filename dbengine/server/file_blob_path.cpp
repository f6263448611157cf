#include "dbengine/server/file_blob_path.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tw::dbengine {

namespace fs = std::filesystem;

std::string QNFileBlobPathInside(const std::string& Folder, const std::string& Name) {
  if (Name.empty() || Folder.empty()) return {};
  std::string slashed = Name;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  const fs::path name(slashed);
  for (const fs::path& part : name)
    if (part == "..") return {};
  std::error_code ec;
  const fs::path folder = fs::canonical(Folder, ec);
  if (ec) return {};
  // canonical follows every link, so a link that points out of the folder ends outside it.
  const fs::path file = fs::canonical(name.is_absolute() ? name : fs::path(Folder) / name, ec);
  if (ec || !fs::is_regular_file(file, ec)) return {};
  auto [inFolder, inFile] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
  if (inFolder != folder.end() || inFile == file.end()) return {};
  return file.string();
}

}  // namespace tw::dbengine
