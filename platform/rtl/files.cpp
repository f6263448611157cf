// Files, folders and paths on the local file system.
#include "platform/rtl/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysconst.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"
#include "platform/rtl/uilanguage.h"

namespace tw {
namespace {

inline bool IsDelim(char c) { return c == '/' || c == '\\'; }

std::mutex& FolderMutex() {
  static std::mutex m;
  return m;
}

std::string& FolderOverride() {
  static std::string folder;
  return folder;
}

bool StatPath(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// The entry of folder whose name equals name ignoring case; the byte-wise smallest of
// several.  Empty when there is none.
std::string FindCaseInsensitive(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return {};
  std::string best;
  while (dirent* e = ::readdir(dir)) {
    std::string_view entry(e->d_name);
    if (AnsiSameText(entry, name) && (best.empty() || entry < best)) best = entry;
  }
  ::closedir(dir);
  return best;
}

std::int32_t ToDosDateTime(std::time_t t) {
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return 0;
  int year = tm.tm_year + 1900;
  if (year < 1980) return (1 << 5 | 1) << 16;  // 1 January 1980, the first DOS date
  if (year > 2107) year = 2107;
  auto date = static_cast<std::uint32_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  auto time = static_cast<std::uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (std::min(tm.tm_sec, 59) / 2));
  return static_cast<std::int32_t>(date << 16 | time);
}

std::string RandomSuffix() {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                       (static_cast<std::uint64_t>(::getpid()) << 32) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string s;
  for (int i = 0; i < 8; ++i) {
    seed ^= seed >> 33;
    seed *= 0xFF51AFD7ED558CCDull;
    seed ^= seed >> 29;
    s.push_back(kChars[seed % 36]);
  }
  return s;
}

bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

std::string RealProgramFileName() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, static_cast<std::size_t>(n));
}

}  // namespace

// ---- program folder and current folder ---------------------------------------------

std::string ProgramFileName() { return RealProgramFileName(); }

std::string ProgramFolder() {
  {
    std::lock_guard lock(FolderMutex());
    if (!FolderOverride().empty()) return FolderOverride();
  }
  // The test runner names the folder of the built program files.
  if (const char* env = std::getenv("TIDEWELL_PROGRAM_DIR"); env != nullptr && *env != '\0') {
    return IncludeTrailingPathDelimiter(env);
  }
  return ExtractFilePath(RealProgramFileName());
}

void SetProgramFolder(const std::string& folder) {
  std::lock_guard lock(FolderMutex());
  FolderOverride() = folder.empty() ? std::string() : IncludeTrailingPathDelimiter(ToNativePath(folder));
}

std::string GetCurrentDir() {
  std::vector<char> buf(4096);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE || buf.size() > (1u << 20)) return {};
    buf.resize(buf.size() * 2);
  }
  return std::string(buf.data());
}

bool SetCurrentDir(const std::string& folder) { return ::chdir(ResolvePath(folder).c_str()) == 0; }

// ---- paths ---------------------------------------------------------------------------

std::string ToNativePath(std::string_view path) {
  std::string p(path);
  std::replace(p.begin(), p.end(), '\\', '/');
  return p;
}

std::string ResolvePath(std::string_view path) {
  std::string p = ToNativePath(path);
  if (p.empty() || Exists(p)) return p;
  std::vector<std::string> parts = SplitPath(p);
  std::string out;
  bool resolving = true;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    std::string name = part;
    if (resolving && !part.empty() && part != "." && part != ".." && !Exists(out + part)) {
      std::string found = FindCaseInsensitive(out, part);
      if (found.empty()) {
        resolving = false;
      } else {
        name = found;
      }
    }
    out += name;
    if (i + 1 < parts.size()) out += '/';
  }
  return out;
}

std::string ExtractFilePath(std::string_view fileName) {
  std::size_t at = fileName.find_last_of("/\\");
  return at == std::string_view::npos ? std::string() : std::string(fileName.substr(0, at + 1));
}

std::string ExtractFileDir(std::string_view fileName) {
  std::size_t at = fileName.find_last_of("/\\");
  if (at == std::string_view::npos) return {};
  if (at == 0) return std::string(fileName.substr(0, 1));
  return std::string(fileName.substr(0, at));
}

std::string ExtractFileName(std::string_view fileName) {
  std::size_t at = fileName.find_last_of("/\\");
  return std::string(at == std::string_view::npos ? fileName : fileName.substr(at + 1));
}

std::string ExtractFileExt(std::string_view fileName) {
  std::size_t at = fileName.find_last_of("./\\");
  if (at == std::string_view::npos || fileName[at] != '.') return {};
  return std::string(fileName.substr(at));
}

std::string ChangeFileExt(std::string_view fileName, std::string_view extension) {
  std::size_t at = fileName.find_last_of("./\\");
  std::string base(fileName);
  if (at != std::string_view::npos && fileName[at] == '.') base.resize(at);
  return base + std::string(extension);
}

std::string ExpandFileName(std::string_view fileName) {
  std::string p = ToNativePath(fileName);
  if (p.empty()) return GetCurrentDir();
  if (p[0] != '/') p = IncludeTrailingPathDelimiter(GetCurrentDir()) + p;
  const bool trailing = p.size() > 1 && p.back() == '/';
  std::vector<std::string> kept;
  for (std::string& part : SplitPath(p)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();
      continue;
    }
    kept.push_back(std::move(part));
  }
  std::string out;
  for (const std::string& part : kept) out += "/" + part;
  if (out.empty()) return "/";
  if (trailing) out += '/';
  return out;
}

std::string IncludeTrailingPathDelimiter(std::string_view path) {
  std::string p(path);
  if (p.empty() || !IsDelim(p.back())) p += '/';
  return p;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
  std::string p(path);
  while (p.size() > 1 && IsDelim(p.back())) p.pop_back();
  return p;
}

bool IsPathDelimiter(std::string_view s, std::size_t index) {
  return index >= 1 && index <= s.size() && IsDelim(s[index - 1]);
}

// ---- files and folders -------------------------------------------------------------

bool FileExists(std::string_view fileName) {
  struct stat st;
  return !fileName.empty() && StatPath(ResolvePath(fileName), st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view folder) {
  struct stat st;
  return !folder.empty() && StatPath(ResolvePath(folder), st) && S_ISDIR(st.st_mode);
}

bool DeleteFile(std::string_view fileName) {
  if (fileName.empty()) return false;
  std::string p = ResolvePath(fileName);
  struct stat st;
  if (::lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(p.c_str()) == 0;
}

bool RenameFile(std::string_view oldName, std::string_view newName) {
  if (oldName.empty() || newName.empty()) return false;
  std::string from = ResolvePath(oldName);
  std::string to = ToNativePath(newName);
  struct stat src, dst;
  if (::lstat(from.c_str(), &src) != 0) return false;
  // A target that exists under any spelling blocks the rename, unless it is the source
  // itself (a change of case only).
  std::string existing = ResolvePath(to);
  if (::lstat(existing.c_str(), &dst) == 0 && !(dst.st_dev == src.st_dev && dst.st_ino == src.st_ino)) {
    return false;
  }
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // The file system cannot refuse to replace; the check above stands in.
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool ReplaceFile(std::string_view oldName, std::string_view newName) {
  if (oldName.empty() || newName.empty()) return false;
  return ::rename(ResolvePath(oldName).c_str(), ResolvePath(newName).c_str()) == 0;
}

std::int64_t FileSize(std::string_view fileName) {
  struct stat st;
  if (fileName.empty() || !StatPath(ResolvePath(fileName), st) || S_ISDIR(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

std::int32_t FileAge(std::string_view fileName) {
  struct stat st;
  if (fileName.empty() || !StatPath(ResolvePath(fileName), st) || S_ISDIR(st.st_mode)) return -1;
  return ToDosDateTime(st.st_mtime);
}

TDateTime FileDateToDateTime(std::int32_t dosDateTime) {
  auto v = static_cast<std::uint32_t>(dosDateTime);
  std::uint32_t date = v >> 16;
  std::uint32_t time = v & 0xFFFF;
  TDateTime d = 0;
  TDateTime t = 0;
  if (!TryEncodeDate(static_cast<int>((date >> 9) + 1980), static_cast<int>((date >> 5) & 15),
                     static_cast<int>(date & 31), d)) {
    return 0;
  }
  if (!TryEncodeTime(static_cast<int>(time >> 11), static_cast<int>((time >> 5) & 63),
                     static_cast<int>((time & 31) * 2), 0, t)) {
    return 0;
  }
  return d + t;
}

std::int32_t UnixTimeToFileDate(std::int64_t seconds) { return ToDosDateTime(static_cast<std::time_t>(seconds)); }

std::int32_t DateTimeToFileDate(TDateTime value) {
  std::uint16_t y, m, d, h, n, s, ms;
  DecodeDate(value, y, m, d);
  DecodeTime(value, h, n, s, ms);
  if (y < 1980 || y > 2107) return 0;
  auto date = static_cast<std::uint32_t>(((y - 1980) << 9) | (m << 5) | d);
  auto time = static_cast<std::uint32_t>((h << 11) | (n << 5) | (s / 2));
  return static_cast<std::int32_t>(date << 16 | time);
}

bool FileSetDate(std::string_view fileName, std::int32_t dosDateTime) {
  TDateTime dt = FileDateToDateTime(dosDateTime);
  if (dt == 0) return false;
  std::int64_t seconds = 0;
  if (!LocalDateTimeToUnix(dt, seconds)) return false;
  const auto t = static_cast<std::time_t>(seconds);
  timespec times[2];
  times[0].tv_sec = times[1].tv_sec = t;
  times[0].tv_nsec = times[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, ResolvePath(fileName).c_str(), times, 0) == 0;
}

bool CreateDir(std::string_view folder) {
  return !folder.empty() && ::mkdir(ToNativePath(folder).c_str(), 0777) == 0;
}

bool RemoveDir(std::string_view folder) {
  return !folder.empty() && ::rmdir(ResolvePath(folder).c_str()) == 0;
}

bool ForceDirectories(std::string_view folder) {
  std::string p = ExcludeTrailingPathDelimiter(ResolvePath(folder));
  if (p.empty()) return false;
  if (DirectoryExists(p)) return true;
  std::string parent = ExtractFileDir(p);
  if (!parent.empty() && parent != p && !ForceDirectories(parent)) return false;
  return ::mkdir(p.c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(p));
}

std::string ReadFileBytes(std::string_view fileName) {
  std::string p = ResolvePath(fileName);
  int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EFOpenError(Format(RtlText(sysconst::SFOpenError), {std::string(fileName)}));
  std::string out;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      ::close(fd);
      RaiseInOutError(error);
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

void AtomicWriteFile(std::string_view path, std::string_view bytes) {
  std::string target = ResolvePath(path);
  // A symbolic link stays a link: the file it points to is the one replaced.
  struct stat link;
  if (::lstat(target.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  const std::string folder = ExtractFilePath(target);
  const std::string name = ExtractFileName(target);
  if (name.empty()) throw EFCreateError(Format(RtlText(sysconst::SFCreateError), {std::string(path)}));

  struct stat old;
  const bool hadOld = ::stat(target.c_str(), &old) == 0;

  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = folder + "." + name + "." + RandomSuffix() + ".tmp";
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) throw EFCreateError(Format(RtlText(sysconst::SFCreateError), {std::string(path)}));

  int error = 0;
  if (!WriteAll(fd, bytes)) error = errno;
  if (error == 0 && hadOld && ::fchmod(fd, old.st_mode & 07777) != 0) error = errno;
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    // The cause as it was: a full disk, or a folder in the way, or no right to replace it.
    const int code = InOutErrorFromErrno(error);
    errno = error;
    throw EInOutError(InOutErrorText(code), code);
  }
  SyncFolder(folder);
}

int InOutErrorFromErrno(int error) {
  switch (error) {
    case ENOENT: return 2;
    case ENOTDIR: case ENAMETOOLONG: return 3;
    case EMFILE: case ENFILE: return 4;
    case ENOSPC: case EFBIG: case EDQUOT: case EIO: return 101;
    default: return 5;
  }
}

std::string InOutErrorText(int code) {
  switch (code) {
    case 2: return RtlText(sysconst::SFileNotFound);
    case 3: return RtlText(sysconst::SInvalidFilename);
    case 4: return RtlText(sysconst::STooManyOpenFiles);
    case 5: return RtlText(sysconst::SAccessDenied);
    case 100: return RtlText(sysconst::SEndOfFile);
    case 101: return RtlText(sysconst::SDiskFull);
    case 103: return RtlText(sysconst::SFileNotOpen);
    default: return Format(RtlText(sysconst::SInOutError), {code});
  }
}

void RaiseInOutError(int error) {
  int code = InOutErrorFromErrno(error);
  throw EInOutError(InOutErrorText(code), code);
}

// ---- temporary names ---------------------------------------------------------------

std::string TempFolder() {
  const char* env = std::getenv("TMPDIR");
  return IncludeTrailingPathDelimiter(env != nullptr && *env != '\0' ? env : "/tmp");
}

std::string CreateTempFile(std::string_view folder, std::string_view prefix) {
  std::string base = folder.empty() ? TempFolder() : IncludeTrailingPathDelimiter(ToNativePath(folder));
  std::string name = base + std::string(prefix) + "XXXXXX";
  int fd = ::mkstemp(name.data());
  if (fd < 0) throw EFCreateError(Format(RtlText(sysconst::SFCreateError), {name}));
  ::close(fd);
  return name;
}

// ---- search ------------------------------------------------------------------------

struct TSearchState {
  struct Entry {
    std::string name;
    std::int64_t size;
    int attr;
    std::int32_t time;
  };
  std::vector<Entry> entries;
  std::size_t next = 0;
};

namespace {

bool GlobMatch(std::string_view name, std::string_view mask) {
  std::size_t n = 0, m = 0;
  std::size_t starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || CharUpper(mask[m]) == CharUpper(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

void Fill(TSearchRec& rec) {
  const auto& e = rec.State->entries[rec.State->next++];
  rec.Name = e.name;
  rec.Size = e.size;
  rec.Attr = e.attr;
  rec.Time = e.time;
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (mask == "*.*" || mask == "*") return true;
  if (mask.size() > 1 && mask.back() == '.' && mask != "..") {
    // "name." asks for names without an extension.
    if (name.find('.') != std::string_view::npos && name != "." && name != "..") return false;
    return GlobMatch(name, mask.substr(0, mask.size() - 1));
  }
  return GlobMatch(name, mask);
}

int FindFirst(std::string_view path, int attr, TSearchRec& rec) {
  FindClose(rec);
  const std::string native = ToNativePath(path);
  std::string folder = ExtractFilePath(native);
  const std::string mask = ExtractFileName(native);
  if (!folder.empty()) {
    folder = ResolvePath(folder);
    if (!DirectoryExists(folder)) return SearchPathNotFound;
  }
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return SearchPathNotFound;
  auto state = std::make_shared<TSearchState>();
  const int exclude = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  while (dirent* d = ::readdir(dir)) {
    std::string name(d->d_name);
    if (!MatchesMask(name, mask)) continue;
    struct stat st;
    std::string full = folder + name;
    if (::stat(full.c_str(), &st) != 0 && ::lstat(full.c_str(), &st) != 0) continue;
    int a = 0;
    if (S_ISDIR(st.st_mode)) {
      a |= faDirectory;
    } else if (S_ISREG(st.st_mode)) {
      a |= faArchive;
    } else {
      a |= faSysFile;
    }
    if (!(st.st_mode & S_IWUSR)) a |= faReadOnly;
    if (name.size() > 1 && name[0] == '.' && name != "..") a |= faHidden;
    if (a & exclude) continue;
    state->entries.push_back({name, S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size), a,
                              ToDosDateTime(st.st_mtime)});
  }
  ::closedir(dir);
  if (state->entries.empty()) return SearchFileNotFound;
  std::sort(state->entries.begin(), state->entries.end(),
            [](const TSearchState::Entry& x, const TSearchState::Entry& y) { return x.name < y.name; });
  rec.ExcludeAttr = exclude;
  rec.State = std::move(state);
  Fill(rec);
  return 0;
}

int FindNext(TSearchRec& rec) {
  if (!rec.State || rec.State->next >= rec.State->entries.size()) return SearchNoMoreFiles;
  Fill(rec);
  return 0;
}

void FindClose(TSearchRec& rec) { rec.State.reset(); }

}  // namespace tw
