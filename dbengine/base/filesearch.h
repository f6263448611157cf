// Folder and file searches of the engine: a search over a folder with a name pattern
// ("*" and "?" wildcards in the last component), filtered by entry type and attributes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tw::dbengine {

class TqnStringList;

// Entry types (TypeFilter bits): 1 files, 2 directories, 4 volume labels.
constexpr std::uint8_t qnftFile = 1, qnftDirectory = 2, qnftVolume = 4;
// Attributes (AttrFilter bits): 1 normal, 2 read-only, 4 hidden, 8 system, 16 archive.
constexpr std::uint8_t qnfaNormal = 1, qnfaReadOnly = 2, qnfaHidden = 4, qnfaSystem = 8, qnfaArchive = 16;
constexpr std::uint8_t qnfaAll = 31;

struct QNSearchRec {
  std::uint16_t Time = 0;  // MS-DOS time of the last write, local time
  std::uint16_t Date = 0;  // MS-DOS date of the last write, local time
  std::uint32_t SizeLow = 0;
  std::uint32_t SizeHigh = 0;
  std::uint8_t EntryType = 0;   // 0 file, 1 directory, 2 volume label
  std::uint8_t Attributes = 0;  // qnfa* bits
  std::string Name;             // the entry's name (up to 255 characters)
  std::uint8_t TypeFilter = 0;
  std::uint8_t AttrFilter = 0;

  struct Search;  // the open search; nullptr when closed
  std::shared_ptr<Search> Handle;
};

// Starts a search on Path (a folder and a pattern); 0 with SR filled for the first entry that
// passes the filters, otherwise the platform's search error (2 nothing found, 3 no such folder,
// 18 no more entries; the search is then closed).
int QNFindFirst(std::string_view Path, std::uint8_t TypeFilter, std::uint8_t AttrFilter, QNSearchRec& SR);
int QNFindNext(QNSearchRec& SR);
void QNFindClose(QNSearchRec& SR);

// False for a name with "*" or "?"; otherwise whether a file of that name exists.
bool QNFileExists(std::string_view Name);
// False for a path with "*" or "?"; otherwise whether it is a folder.
bool QNDirectoryExists(std::string_view Path);
// A new case-insensitive, sorted list of the files (not folders) in Path matching Mask (cut to
// 35 characters); the caller frees it.
TqnStringList* QNGetDirList(std::string_view Path, std::string_view Mask);

}  // namespace tw::dbengine
