// Names and paths of the engine's files.  Backslashes and slashes both separate folders; the
// paths the engine builds use '/'.  Results are capped as stored: folder paths 219 characters,
// base names 31, extensions 3, full paths 255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::dbengine {

constexpr char kQnPathDelim = '/';
inline bool QNIsPathDelim(char c) { return c == '/' || c == '\\'; }

// The text before the last folder separator (at most 219 characters); empty without one.
std::string QNExtractPath(std::string_view Name);
// The text between the last separator and the extension's dot (at most 31 characters).
std::string QNExtractBaseName(std::string_view Name);
// At most 3 characters after the extension's dot; empty without an extension.
std::string QNExtractExtension(std::string_view Name);
// True when the last dot comes after the last separator; DotPos its 1-based position.
bool QNHasExtension(std::string_view Name, std::size_t& DotPos);
// Ext cut to 3 characters.  Without an extension: a dot and Ext appended (nothing when Name or
// Ext is empty).  With one: replaced by Ext, or removed with its dot when Ext is empty.
std::string QNForceExtension(std::string_view Name, std::string_view Ext);
// Base cut to 35 characters, a dot, Ext cut to 3.
std::string QNMakeFileNameExt(std::string_view Base, std::string_view Ext);
// Path, a separator unless Path ends with one (an empty Path gets one), then Name; at most 255.
std::string QNMakeFullPath(std::string_view Path, std::string_view Name);
// The absolute, normalised path of Name (backslashes as '/'), at most 255 characters.
std::string QNExpandFileName(std::string_view Name);
// The full path of the program's own file.
std::string QNGetExeName();
// QNExpandFileName; there are no mapped network drives here, so nothing more.
std::string QNExpandUNCFileName(std::string_view Name);

// The directory a folder path names: expanded, found part by part without regard to case where
// the spelling given does not exist (as the engine's existence checks find it), without
// trailing separators (the root stays "/").
std::string QNResolveFolder(std::string_view Path);
// QNResolveFolder with every symbolic link, "." and ".." resolved: the one spelling of the
// directory Path names now (QNResolveFolder when it names none).
std::string QNRealFolder(std::string_view Path);
// What one file or directory is, however it is spelled (another case, a symbolic link,
// separators): its device and inode.
struct TqnFileKey {
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  bool operator==(const TqnFileKey&) const = default;
  auto operator<=>(const TqnFileKey&) const = default;
};
// The key of the directory Path names (QNResolveFolder); false when it names none.
bool QNDirectoryKeyOf(std::string_view Path, TqnFileKey& Key);

// Valid name characters: 0-9, A-Z, a-z and '_'.
bool QNIsValidNameChar(char C);
// 1 to MaxLen characters, all valid name characters.
bool QNIsValidName(std::string_view S, std::size_t MaxLen);
inline bool QNIsValidTableName(std::string_view S) { return QNIsValidName(S, 31); }
// The first 3 characters of S form a valid name.
inline bool QNIsValidExtension(std::string_view S) { return QNIsValidName(S.substr(0, 3), 3); }
// 4096, 8192, 16384 or 32768.
bool QNIsValidBlockSize(long Size);
// 1 to 1024, taken as a 16-bit value.
bool QNIsValidKeyLength(long Len);

}  // namespace tw::dbengine
