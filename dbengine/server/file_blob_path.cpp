#include "dbengine/server/file_blob_path.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>

#include "dbengine/base/serverlog.h"

namespace tw::dbengine {

namespace fs = std::filesystem;

namespace {
std::string Upper(std::string S) {
  for (char& c : S)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return S;
}

std::mutex& NotedMutex() {
  static std::mutex m;
  return m;
}
std::set<std::string>& Noted() {
  static auto* noted = new std::set<std::string>;
  return *noted;
}

std::string Canonical(const std::string& Path) {
  std::error_code ec;
  const fs::path p = fs::canonical(Path, ec);
  return ec ? std::string() : p.string();
}
}  // namespace

void QNNoteEngineOwnFile(const std::string& Path) {
  const std::string c = Canonical(Path);
  if (c.empty()) return;
  std::lock_guard<std::mutex> g(NotedMutex());
  Noted().insert(c);
}

bool QNIsEngineOwnFile(const std::string& Path) {
  const std::string name = Upper(fs::path(Path).filename().string());
  const std::string stem = name.substr(0, name.find('.'));
  const std::string ext = name.find('.') == std::string::npos ? std::string() : name.substr(name.rfind('.'));
  // Journals of transactions and of table replacements.
  if (ext == ".QN$") return true;
  // The system tables, with the side copies of a rewrite.
  for (const char* table : {"QNSINFO", "QNSALIAS", "QNSUSER", "QNSINDEX"}) {
    const std::string t = table;
    if (stem == t || stem == t + "_NEW" || stem == t + "_OLD") return true;
  }
  // The alias script and the alias table the program keeps beside it; the server log.
  if (stem == "QNALIAS" || name == "QNSERVER.LOG") return true;
  const std::string file = Canonical(Path);
  if (file.empty()) return false;
  if (file == Canonical(QNLogPath())) return true;
  std::lock_guard<std::mutex> g(NotedMutex());
  return Noted().count(file) != 0;
}

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
  // A path check cannot see where a hard link's file also stands: a file with more than one
  // link is no source.
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || st.st_nlink != 1) return {};
  // The engine's own files, under the name given and under the name the links lead to.
  if (QNIsEngineOwnFile(file.string()) || QNIsEngineOwnFile((fs::path(Folder) / name).string())) return {};
  return file.string();
}

}  // namespace tw::dbengine
