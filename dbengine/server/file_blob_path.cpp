#include "dbengine/server/file_blob_path.h"

#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>
#include <vector>

#include "dbengine/base/serverlog.h"
#include "dbengine/storage/file_routines.h"

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

// The engine's own files by their names: journals, system tables, the alias script and table,
// the server log.
bool IsEngineOwnName(const std::string& Path) {
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
  return stem == "QNALIAS" || name == "QNSERVER.LOG";
}

// The engine's own files by what they are: the server log and the noted files.
bool IsEngineOwnKey(const TqnFileKey& Key) {
  TqnFileKey k;
  if (QNFileAccessTable().IdentityOf(QNLogPath(), k) == 0 && k == Key) return true;
  std::lock_guard<std::mutex> g(NotedMutex());
  for (const std::string& noted : Noted())
    if (QNFileAccessTable().IdentityOf(noted, k) == 0 && k == Key) return true;
  return false;
}

// A file of Folder that a file BLOB may name.
bool Acceptable(const TqnFolder& Folder, const std::string& Rel) {
  TqnFileStat st;
  return QNFileLiesInFolder(Folder, Rel, st) == 0 && !IsEngineOwnName(Rel) && !IsEngineOwnKey(st.Key);
}

}  // namespace

void QNNoteEngineOwnFile(const std::string& Path) {
  const std::string c = Canonical(Path);
  if (c.empty()) return;
  std::lock_guard<std::mutex> g(NotedMutex());
  Noted().insert(c);
}

std::string QNFileBlobNameInside(const TqnFolder& Folder, const std::string& Name) {
  // The path a client gives is looked up as it leads now: its text alone proves nothing.
  std::string rel;
  if (!QNNameInFolder(Folder, Name, false, rel)) return {};
  TqnFileRoutines& r = Folder.Routines();
  TqnFileStat st;
  if (r.StatIn(Folder.Handle(), rel, false, st) == 0 && st.Link) {
    // A link inside the folder: the file of the folder it leads to, by that file's own name.
    TqnFileStat target;
    std::vector<std::string> names;
    if (r.StatIn(Folder.Handle(), rel, true, target) != 0 || r.ListFolderIn(Folder.Handle(), names) != 0) return {};
    rel.clear();
    for (const std::string& n : names) {
      TqnFileStat s;
      if (r.StatIn(Folder.Handle(), n, false, s) == 0 && s.Regular && s.Key == target.Key) {
        rel = n;
        break;
      }
    }
    if (rel.empty()) return {};
  }
  return Acceptable(Folder, rel) ? rel : std::string();
}

bool QNFileBlobReadable(const TqnFolder& Folder, const std::string& Stored) {
  std::string rel;
  return QNNameInFolder(Folder, Stored, true, rel) && Acceptable(Folder, rel);
}

}  // namespace tw::dbengine
