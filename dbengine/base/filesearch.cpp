#include "dbengine/base/filesearch.h"

#include "dbengine/base/names.h"
#include "dbengine/base/qnstringlist.h"
#include "platform/rtl/files.h"

namespace tw::dbengine {

struct QNSearchRec::Search {
  tw::TSearchRec rec;
  bool open = false;
};

namespace {
bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

// Fills SR from the platform's entry; true when the entry passes the filters.
bool Take(QNSearchRec& SR, const tw::TSearchRec& rec) {
  const bool isDir = (rec.Attr & tw::faDirectory) != 0;
  std::uint8_t attrs = 0;
  if (rec.Attr & tw::faReadOnly) attrs |= qnfaReadOnly;
  if (rec.Attr & tw::faHidden) attrs |= qnfaHidden;
  if (rec.Attr & tw::faSysFile) attrs |= qnfaSystem;
  if (rec.Attr & tw::faArchive) attrs |= qnfaArchive;
  if (attrs == 0) attrs = qnfaNormal;
  const std::uint8_t type = isDir ? qnftDirectory : qnftFile;
  if ((SR.TypeFilter & type) == 0 || (SR.AttrFilter & attrs) == 0) return false;
  SR.EntryType = isDir ? 1 : 0;
  SR.Attributes = attrs;
  SR.Time = static_cast<std::uint16_t>(static_cast<std::uint32_t>(rec.Time) & 0xFFFFu);
  SR.Date = static_cast<std::uint16_t>(static_cast<std::uint32_t>(rec.Time) >> 16);
  SR.SizeLow = static_cast<std::uint32_t>(static_cast<std::uint64_t>(rec.Size) & 0xFFFFFFFFu);
  SR.SizeHigh = static_cast<std::uint32_t>(static_cast<std::uint64_t>(rec.Size) >> 32);
  // Names are kept whole (up to 255 characters): a cut name would name another file.
  SR.Name = rec.Name.substr(0, 255);
  return true;
}

// Steps from the current platform entry to the first that passes; closes the search at the end.
int Advance(QNSearchRec& SR, int result) {
  while (result == 0) {
    if (Take(SR, SR.Handle->rec)) return 0;
    result = tw::FindNext(SR.Handle->rec);
  }
  QNFindClose(SR);
  return result;
}
}  // namespace

int QNFindFirst(std::string_view Path, std::uint8_t TypeFilter, std::uint8_t AttrFilter, QNSearchRec& SR) {
  QNFindClose(SR);
  SR = QNSearchRec();
  SR.TypeFilter = TypeFilter;
  SR.AttrFilter = AttrFilter;
  SR.Handle = std::make_shared<QNSearchRec::Search>();
  const int wanted = tw::faAnyFile;
  const int result = tw::FindFirst(Path, wanted, SR.Handle->rec);
  SR.Handle->open = result == 0;
  return Advance(SR, result);
}

int QNFindNext(QNSearchRec& SR) {
  if (!SR.Handle || !SR.Handle->open) return tw::SearchNoMoreFiles;
  return Advance(SR, tw::FindNext(SR.Handle->rec));
}

void QNFindClose(QNSearchRec& SR) {
  if (SR.Handle && SR.Handle->open) tw::FindClose(SR.Handle->rec);
  SR.Handle.reset();
}

bool QNFileExists(std::string_view Name) {
  if (HasWildcard(Name)) return false;
  return tw::FileExists(Name);
}

bool QNDirectoryExists(std::string_view Path) {
  if (HasWildcard(Path)) return false;
  return tw::DirectoryExists(Path);
}

TqnStringList* QNGetDirList(std::string_view Path, std::string_view Mask) {
  auto* list = new TqnStringList;
  list->SetCaseSensitive(false);
  list->SetSorted(true);
  list->SetCapacity(32);
  QNSearchRec sr;
  int r = QNFindFirst(QNMakeFullPath(Path, Mask.substr(0, std::min<std::size_t>(Mask.size(), 35))), qnftFile,
                      qnfaAll, sr);
  while (r == 0) {
    list->Insert(sr.Name);
    r = QNFindNext(sr);
  }
  QNFindClose(sr);
  return list;
}

}  // namespace tw::dbengine
