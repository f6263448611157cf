#include "dbengine/base/names.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/rtl/files.h"

namespace tw::dbengine {

namespace {
// 1-based positions of the last separator (0 when none) and of the extension's dot (length + 1
// when the name has none after its last separator), found by one backward scan.
struct NameParts {
  std::size_t delimPos = 0;
  std::size_t dotPos = 0;
};

NameParts Scan(std::string_view name) {
  NameParts p;
  p.dotPos = name.size() + 1;
  bool dotSeen = false;
  for (std::size_t i = name.size(); i >= 1; --i) {
    const char c = name[i - 1];
    if (c == '.' && !dotSeen) {
      dotSeen = true;
      p.dotPos = i;
    } else if (QNIsPathDelim(c)) {
      p.delimPos = i;
      break;
    }
  }
  return p;
}

std::string Cut(std::string_view s, std::size_t max) { return std::string(s.substr(0, std::min(s.size(), max))); }
}  // namespace

std::string QNExtractPath(std::string_view Name) {
  const NameParts p = Scan(Name);
  if (p.delimPos == 0) return {};
  return Cut(Name.substr(0, p.delimPos - 1), 219);
}

std::string QNExtractBaseName(std::string_view Name) {
  const NameParts p = Scan(Name);
  return Cut(Name.substr(p.delimPos, p.dotPos - 1 - p.delimPos), 31);
}

std::string QNExtractExtension(std::string_view Name) {
  const NameParts p = Scan(Name);
  if (p.dotPos > Name.size()) return {};
  return Cut(Name.substr(p.dotPos), 3);
}

bool QNHasExtension(std::string_view Name, std::size_t& DotPos) {
  const NameParts p = Scan(Name);
  if (p.dotPos > Name.size()) return false;
  DotPos = p.dotPos;
  return true;
}

std::string QNForceExtension(std::string_view Name, std::string_view Ext) {
  Ext = Ext.substr(0, std::min<std::size_t>(Ext.size(), 3));
  std::size_t dot = 0;
  std::string result;
  if (QNHasExtension(Name, dot)) {
    result.assign(Name.substr(0, dot - 1));
    if (!Ext.empty()) {
      result += '.';
      result += Ext;
    }
  } else {
    result.assign(Name);
    if (!Name.empty() && !Ext.empty()) {
      result += '.';
      result += Ext;
    }
  }
  return Cut(result, 255);
}

std::string QNMakeFileNameExt(std::string_view Base, std::string_view Ext) {
  return Cut(Base, 35) + '.' + Cut(Ext, 3);
}

std::string QNMakeFullPath(std::string_view Path, std::string_view Name) {
  std::string result(Path);
  if (result.empty() || !QNIsPathDelim(result.back())) result += kQnPathDelim;
  result += Name;
  return Cut(result, 255);
}

std::string QNExpandFileName(std::string_view Name) { return Cut(tw::ExpandFileName(Name), 255); }

std::string QNGetExeName() { return tw::ProgramFileName(); }

std::string QNExpandUNCFileName(std::string_view Name) { return QNExpandFileName(Name); }

std::string QNResolveFolder(std::string_view Path) {
  std::string p = QNExpandUNCFileName(Path);
  while (p.size() > 1 && QNIsPathDelim(p.back())) p.pop_back();
  return tw::ResolvePath(p);
}

std::string QNRealFolder(std::string_view Path) {
  const std::string resolved = QNResolveFolder(Path);
  char real[PATH_MAX];
  return ::realpath(resolved.c_str(), real) != nullptr ? std::string(real) : resolved;
}

bool QNDirectoryKeyOf(std::string_view Path, TqnFileKey& Key) {
  if (Path.empty()) return false;
  struct stat st {};
  if (::stat(QNResolveFolder(Path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  Key.Device = static_cast<std::uint64_t>(st.st_dev);
  Key.Inode = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

bool QNIsValidNameChar(char C) {
  return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_';
}

bool QNIsValidName(std::string_view S, std::size_t MaxLen) {
  if (S.empty() || S.size() > MaxLen) return false;
  return std::all_of(S.begin(), S.end(), QNIsValidNameChar);
}

bool QNIsValidBlockSize(long Size) { return Size == 4096 || Size == 8192 || Size == 16384 || Size == 32768; }

bool QNIsValidKeyLength(long Len) {
  const auto len16 = static_cast<std::uint16_t>(Len);
  return len16 >= 1 && len16 <= 1024;
}

}  // namespace tw::dbengine
