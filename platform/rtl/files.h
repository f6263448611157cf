// Files, folders and paths.
//
// Paths may be written with backslashes; every routine maps them to '/'.  When an exact
// name is missing, routines that look at an existing file (`FileExists`, `FileSize`,
// `FileAge`, `DeleteFile`, `RenameFile`'s source, `FindFirst`'s folder, `ResolvePath`) look
// each part of the path up case-insensitively in its folder, because the program spells its
// files in mixed case.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/rtl/datetime.h"

namespace tw {

inline constexpr char PathDelim = '/';

// ---- the program folder and the current folder ----------------------------------------

// The folder of the running executable, with a trailing '/'.  `SetProgramFolder` overrides
// it (tests); an empty argument restores the real one.
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);
// The executable's full file name.
std::string ProgramFileName();

// The current folder without trailing '/' (except for the root).
std::string GetCurrentDir();
bool SetCurrentDir(const std::string& folder);

// ---- paths ----------------------------------------------------------------------------

// Backslashes made '/'.
std::string ToNativePath(std::string_view path);
// The existing file or folder that path names, found part by part case-insensitively when
// the exact name is missing; parts that do not exist at all are kept as written.  Among
// several case-insensitive matches, the byte-wise smallest name is taken.
std::string ResolvePath(std::string_view path);

// Parts of a file name; '/' and '\' both count as path delimiters.
std::string ExtractFilePath(std::string_view fileName);  // with trailing delimiter
std::string ExtractFileDir(std::string_view fileName);   // without (except the root)
std::string ExtractFileName(std::string_view fileName);
std::string ExtractFileExt(std::string_view fileName);   // with the dot, "" when none
std::string ChangeFileExt(std::string_view fileName, std::string_view extension);
// Absolute path against the current folder, "." and ".." parts removed, '/' delimiters.
std::string ExpandFileName(std::string_view fileName);
std::string IncludeTrailingPathDelimiter(std::string_view path);
std::string ExcludeTrailingPathDelimiter(std::string_view path);
bool IsPathDelimiter(std::string_view s, std::size_t index);  // 1-based index

// ---- files and folders -----------------------------------------------------------------

bool FileExists(std::string_view fileName);       // an existing regular file (or device)
bool DirectoryExists(std::string_view folder);
bool DeleteFile(std::string_view fileName);       // false when missing or not deleted
// Renames or moves a file or folder; like the window system, never replaces an existing
// target (false then, nothing changed).
bool RenameFile(std::string_view oldName, std::string_view newName);
// Renames and atomically replaces an existing target file.
bool ReplaceFile(std::string_view oldName, std::string_view newName);
// Size in bytes, -1 when the file does not exist.
std::int64_t FileSize(std::string_view fileName);
// Last-write time as a DOS date-time (date in the high word), -1 when the file is missing.
std::int32_t FileAge(std::string_view fileName);
// A time in seconds since 1970 as a local DOS date-time, as FileAge gives a file's.
std::int32_t UnixTimeToFileDate(std::int64_t seconds);
bool FileSetDate(std::string_view fileName, std::int32_t dosDateTime);
TDateTime FileDateToDateTime(std::int32_t dosDateTime);
std::int32_t DateTimeToFileDate(TDateTime value);  // years 1980..2107, else 0

bool CreateDir(std::string_view folder);        // one level; false when it exists or fails
bool RemoveDir(std::string_view folder);        // empty folders only
bool ForceDirectories(std::string_view folder);  // every missing level; true when it exists

// Whole-file helpers.  ReadFileBytes raises EFOpenError "Cannot open file %s" when the
// file cannot be opened and EInOutError (100) when it cannot be read.
std::string ReadFileBytes(std::string_view fileName);

// Writes bytes to path so that the file is either the old one or the new one, whole: a
// temporary file in the same folder is written, flushed to disk and renamed over path
// (keeping the old file's permissions).  Failure to create the temporary file raises
// EFCreateError "Cannot create file %s"; a failed write, flush or rename raises
// EInOutError (101); in both cases the old file is untouched and no temporary file stays.
void AtomicWriteFile(std::string_view path, std::string_view bytes);

// The runtime's I/O error number for an errno value (2, 3, 4, 5, 101; others 5), and the
// text of such a number ("File not found", "Disk full", ... or "I/O error %d").
int InOutErrorFromErrno(int error);
std::string InOutErrorText(int code);
// Raises EInOutError with the text and number for errno `error`.
[[noreturn]] void RaiseInOutError(int error);

// ---- temporary names -------------------------------------------------------------------

// $TMPDIR or /tmp, with trailing '/'.
std::string TempFolder();
// Creates an empty file with a new unique name "<folder><prefix>XXXXXX" and returns its
// name; raises EFCreateError when that fails.
std::string CreateTempFile(std::string_view folder, std::string_view prefix);

// ---- search ----------------------------------------------------------------------------

inline constexpr int faReadOnly = 0x01;
inline constexpr int faHidden = 0x02;    // names starting with '.' (except "." and "..")
inline constexpr int faSysFile = 0x04;   // sockets, devices, pipes
inline constexpr int faVolumeID = 0x08;  // never reported
inline constexpr int faDirectory = 0x10;
inline constexpr int faArchive = 0x20;   // every regular file
inline constexpr int faAnyFile = 0x3F;

// Results of the search routines (the window system's error numbers 2, 3 and 18).
inline constexpr int SearchFileNotFound = 2;
inline constexpr int SearchPathNotFound = 3;
inline constexpr int SearchNoMoreFiles = 18;

struct TSearchState;

struct TSearchRec {
  std::int32_t Time = 0;  // last write, DOS date-time
  std::int64_t Size = 0;
  int Attr = 0;
  std::string Name;
  int ExcludeAttr = 0;
  std::shared_ptr<TSearchState> State;  // the open search; released by FindClose
};

// Lists the entries of a folder whose names match a pattern of '*' and '?' (compared
// case-insensitively; "*.*" matches every name; a pattern ending in "." matches names
// without an extension).  Entries with faHidden, faSysFile or faDirectory are reported
// only when `attr` asks for them; "." and ".." are reported with faDirectory.  Entries come
// in order of their names.  FindFirst returns 0 and fills rec, or SearchFileNotFound /
// SearchPathNotFound (the search is then closed); FindNext returns 0 or
// SearchNoMoreFiles.
int FindFirst(std::string_view path, int attr, TSearchRec& rec);
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

// True when name matches the wildcard pattern ('*', '?', case-insensitive).
bool MatchesMask(std::string_view name, std::string_view mask);

}  // namespace tw
