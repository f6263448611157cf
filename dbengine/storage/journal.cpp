// Journal writing and recovery.
#include "dbengine/storage/journal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include "dbengine/base/errors.h"
#include "dbengine/storage/block_layout.h"
#include "dbengine/storage/storage_errors.h"

namespace tw::dbengine {

namespace {

constexpr char kHeaderSig[4] = {'J', 'Q', 'N', 'H'};
constexpr char kRecordSig[4] = {'J', 'F', 'R', 'H'};

bool EndsWithJournalExtension(const std::string& n) {
  if (n.size() < 4) return false;
  const std::string ext = n.substr(n.size() - 4);
  return ext[0] == '.' && (ext[1] == 'Q' || ext[1] == 'q') && (ext[2] == 'N' || ext[2] == 'n') && ext[3] == '$';
}

std::string FolderOf(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : name.substr(0, slash);
}

struct Image {
  std::string path;
  std::int32_t block;
  std::int64_t offset;  // of the bytes in the journal
  std::int32_t size;
};

struct Parsed {
  bool isJournal = false;
  bool torn = false;  // a record (or the header) is incomplete or damaged
  std::uint32_t state = 0;
  std::vector<Image> images[2];  // [0] after-images, [1] before-images
};

// Reads what a journal holds through an open handle; never trusts a size or a path.
Parsed Parse(TqnFileRoutines& r, TqnFileHandle h) {
  Parsed p;
  std::int64_t size = 0;
  if (r.Size(h, size) != 0) return p;
  std::uint8_t header[kQnJournalHeaderSize];
  std::size_t done = 0;
  if (size < static_cast<std::int64_t>(kQnJournalHeaderSize)) {
    // A journal whose creation was cut short: nothing was journaled, nothing was written.
    p.isJournal = true;
    p.torn = true;
    return p;
  }
  if (r.ReadAt(h, 0, header, sizeof header, done) != 0 || done != sizeof header) return p;
  if (std::memcmp(header, kHeaderSig, 4) != 0) return p;
  p.isJournal = true;
  p.state = QNGetU32(header + 4);
  std::int64_t pos = kQnJournalHeaderSize;
  std::uint8_t rec[kQnJournalRecordHeaderSize];
  while (pos < size) {
    if (size - pos < static_cast<std::int64_t>(sizeof rec) ||
        r.ReadAt(h, pos, rec, sizeof rec, done) != 0 || done != sizeof rec) {
      p.torn = true;
      break;
    }
    const std::int32_t block = QNGetI32(rec + 4);
    const std::int32_t bs = QNGetI32(rec + 8);
    const std::uint32_t flag = QNGetU32(rec + 12);
    const char* path = reinterpret_cast<const char*>(rec + 16);
    const std::size_t pathLen = strnlen(path, kQnJournalPathSize);
    if (std::memcmp(rec, kRecordSig, 4) != 0 || block < 0 || !QNIsBlockSize(bs) || flag > 1 || pathLen == 0 ||
        pathLen == kQnJournalPathSize || size - pos - static_cast<std::int64_t>(sizeof rec) < bs) {
      p.torn = true;
      break;
    }
    p.images[flag].push_back({std::string(path, pathLen), block, pos + static_cast<std::int64_t>(sizeof rec), bs});
    pos += static_cast<std::int64_t>(sizeof rec) + bs;
  }
  return p;
}

// True when Path may take the images of a journal in JournalFolder: it lies in that folder or
// below it, and it is a table file of this block size (or one whose creation was cut short
// before its header reached the disk).  A journal is a file on disk like any other; its paths
// must never let it overwrite files that are not the tables it was written for.
bool MayReceiveImages(TqnFileRoutines& r, const std::string& JournalFolder, const std::string& Path,
                      std::int32_t BlockSize) {
  const std::string prefix = JournalFolder == "/" ? JournalFolder : JournalFolder + "/";
  if (Path.size() <= prefix.size() || Path.compare(0, prefix.size(), prefix) != 0 ||
      Path.find("/../") != std::string::npos)
    return false;
  TqnFileHandle h = kQnNoHandle;
  if (r.Open(Path, false, true, false, false, h) != 0) return false;
  std::int64_t size = 0;
  std::uint8_t head[16] = {};
  std::size_t done = 0;
  bool ok = r.Size(h, size) == 0;
  if (ok && size >= 4) {
    ok = r.ReadAt(h, 0, head, sizeof head, done) == 0 && done >= 4 && QNHasSignature(head, kQnSigFileHeader) &&
         (done < sizeof head || QNGetDword(head, qfhBlockSize) == BlockSize);
  }
  r.Close(h);
  return ok;
}

// Writes the chosen images into their table files; false when a table file could not be
// opened or written, or when an image names a file that is no table of the journal's folder
// (then nothing is written).
bool Apply(TqnFileRoutines& r, const std::string& JournalName, TqnFileHandle journal,
           const std::vector<Image>& images) {
  std::map<std::string, std::vector<const Image*>> byFile;
  for (const Image& im : images) byFile[im.path].push_back(&im);
  const std::string folder = QNJournalPath(FolderOf(QNJournalPath(JournalName)));
  for (const auto& [path, list] : byFile) {
    if (!r.Exists(path)) continue;
    for (const Image* im : list)
      if (im->size != list.front()->size) return false;
    if (!MayReceiveImages(r, folder, path, list.front()->size)) return false;
  }
  std::vector<std::uint8_t> buf;
  for (const auto& [path, list] : byFile) {
    // The table's files were deleted since: nothing to repair.
    if (!r.Exists(path)) continue;
    TqnFileHandle h = kQnNoHandle;
    if (r.Open(path, true, false, false, false, h) != 0) return false;
    bool ok = true;
    for (const Image* im : list) {
      buf.resize(static_cast<std::size_t>(im->size));
      std::size_t done = 0;
      if (r.ReadAt(journal, im->offset, buf.data(), buf.size(), done) != 0 || done != buf.size()) {
        ok = false;
        break;
      }
      if (r.WriteAt(h, static_cast<std::int64_t>(im->block) * im->size, buf.data(), buf.size(), done) != 0 ||
          done != buf.size()) {
        ok = false;
        break;
      }
    }
    if (ok && r.Flush(h) != 0) ok = false;
    r.Close(h);
    if (!ok) return false;
  }
  return true;
}

void SyncFolderOf(TqnFileInfo* f) {
  const std::string folder = FolderOf(f->Name);
  const int e = f->Routines->SyncFolder(folder);
  if (e != 0) QNStorageError(qnerrFileFlush, {folder, e});
}

}  // namespace

std::string QNJournalPath(const std::string& Name) {
  std::string n = Name;
  for (char& c : n)
    if (c == '\\') c = '/';
  std::error_code ec;
  const std::filesystem::path abs = std::filesystem::absolute(n, ec);
  return ec ? n : abs.lexically_normal().string();
}

TqnJournal::TqnJournal(const std::string& Name, TqnFileRoutines& Routines) {
  file_ = QNAllocFileInfo(Name, "", nullptr);
  file_->Routines = &Routines;
  try {
    QNOpenFile(file_, true, false, true, false);
    std::uint8_t header[kQnJournalHeaderSize];
    std::memcpy(header, kHeaderSig, 4);
    QNPutU32(header + 4, 0);
    QNWriteFileExactAt(file_, 0, sizeof header, header);
    QNFlushFile(file_);
    SyncFolderOf(file_);
    end_ = kQnJournalHeaderSize;
  } catch (...) {
    QNFreeFileInfo(file_);
    throw;
  }
}

TqnJournal::~TqnJournal() { QNFreeFileInfo(file_); }

void TqnJournal::Append(const std::string& TableFile, std::int32_t Block, const std::uint8_t* Bytes,
                        std::int32_t Size, bool BeforeImage) {
  const std::string path = QNJournalPath(TableFile);
  if (path.size() >= kQnJournalPathSize) QNStorageError(qnerrFileWrite, {file_->Name, ENAMETOOLONG});
  std::vector<std::uint8_t> rec(kQnJournalRecordHeaderSize + static_cast<std::size_t>(Size), 0);
  std::memcpy(rec.data(), kRecordSig, 4);
  QNPutI32(rec.data() + 4, Block);
  QNPutI32(rec.data() + 8, Size);
  QNPutU32(rec.data() + 12, BeforeImage ? 1u : 0u);
  std::memcpy(rec.data() + 16, path.data(), path.size());
  std::memcpy(rec.data() + kQnJournalRecordHeaderSize, Bytes, static_cast<std::size_t>(Size));
  QNWriteFileExactAt(file_, end_, rec.size(), rec.data());
  end_ += static_cast<std::int64_t>(rec.size());
  ++records_;
}

void TqnJournal::Flush() { QNFlushFile(file_); }

void TqnJournal::MarkComplete() {
  QNFlushFile(file_);
  std::uint8_t state[4];
  QNPutU32(state, 1);
  QNWriteFileExactAt(file_, 4, sizeof state, state);
  QNFlushFile(file_);
  complete_ = true;
}

std::vector<TqnJournalImage> TqnJournal::FirstBeforeImages() {
  std::vector<TqnJournalImage> out;
  const Parsed p = Parse(*file_->Routines, file_->Handle);
  std::map<std::pair<std::string, std::int32_t>, bool> seen;
  for (const Image& im : p.images[1]) {
    if (!seen.emplace(std::make_pair(im.path, im.block), true).second) continue;
    TqnJournalImage j;
    j.Path = im.path;
    j.Block = im.block;
    j.Bytes.resize(static_cast<std::size_t>(im.size));
    QNReadFileExactAt(file_, im.offset, j.Bytes.size(), j.Bytes.data());
    out.push_back(std::move(j));
  }
  return out;
}

void TqnJournal::Delete() {
  const std::string name = file_->Name;
  TqnFileRoutines* r = file_->Routines;
  if (QNIsFileOpen(file_)) QNCloseFile(file_);
  const int e = r->Delete(name);
  if (e != 0) QNStorageError(qnerrOSDeleteFile, {e});
  // A deletion that a power cut could undo would have the journal replayed over later
  // transactions.
  const int s = r->SyncFolder(FolderOf(name));
  if (s != 0) QNStorageError(qnerrFileFlush, {FolderOf(name), s});
}

void TqnJournal::Close() {
  if (QNIsFileOpen(file_)) QNCloseFile(file_);
}

TqnRecovery QNRecoverJournal(const std::string& JournalName, TqnFileRoutines& r) {
  TqnFileHandle h = kQnNoHandle;
  const int e = r.Open(JournalName, true, false, false, false, h);
  if (e == kQnSharingViolation) return TqnRecovery::InUse;
  if (e != 0) return TqnRecovery::NoJournal;
  const Parsed p = Parse(r, h);
  if (!p.isJournal) {
    r.Close(h);
    return TqnRecovery::NoJournal;
  }
  TqnRecovery result;
  bool ok;
  if (p.state == 1) {
    // State 1 is written only after every record was flushed: damage here is not a torn
    // write but corruption, and replaying part of it could tear the tables.
    if (p.torn) {
      r.Close(h);
      return TqnRecovery::Corrupt;
    }
    ok = Apply(r, JournalName, h, p.images[0]);
    result = TqnRecovery::Replayed;
  } else {
    // Undo: the first before-image of each block is what the table held before the
    // transaction began.
    std::vector<Image> first;
    std::map<std::pair<std::string, std::int32_t>, bool> seen;
    for (const Image& im : p.images[1])
      if (seen.emplace(std::make_pair(im.path, im.block), true).second) first.push_back(im);
    ok = Apply(r, JournalName, h, first);
    result = TqnRecovery::RolledBack;
  }
  r.Close(h);
  if (!ok) return TqnRecovery::Blocked;
  if (r.Delete(JournalName) != 0) return TqnRecovery::Blocked;
  r.SyncFolder(FolderOf(JournalName));
  return result;
}

int QNRecoverJournals(const std::string& Folder, TqnFileRoutines& Routines) {
  std::vector<std::string> names;
  if (Routines.ListFolder(Folder, names) != 0) return 0;
  std::sort(names.begin(), names.end());
  int count = 0;
  for (const std::string& n : names) {
    if (!EndsWithJournalExtension(n)) continue;
    const TqnRecovery rc = QNRecoverJournal(Folder + "/" + n, Routines);
    if (rc == TqnRecovery::Replayed || rc == TqnRecovery::RolledBack) ++count;
  }
  return count;
}

namespace {

void RecoverJournalsIn(const std::string& folder, const std::string& TableFile, const std::string& table,
                       TqnFileRoutines& Routines) {
  std::vector<std::string> names;
  if (Routines.ListFolder(folder, names) != 0) return;
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    if (!EndsWithJournalExtension(n)) continue;
    const std::string journal = (folder == "/" ? std::string() : folder) + "/" + n;
    const TqnRecovery rc = QNRecoverJournal(journal, Routines);
    if (rc != TqnRecovery::Blocked && rc != TqnRecovery::Corrupt) continue;
    // Left in place: refuse to open a table that it names.
    TqnFileHandle h = kQnNoHandle;
    if (Routines.Open(journal, false, true, false, false, h) != 0) continue;
    const Parsed p = Parse(Routines, h);
    Routines.Close(h);
    bool names_table = rc == TqnRecovery::Corrupt;
    for (const auto& list : p.images)
      for (const Image& im : list) names_table = names_table || im.path == table;
    if (!names_table) continue;
    if (rc == TqnRecovery::Corrupt) QNStorageError(qnerrNotQuarnelFile, {journal});
    QNStorageError(qnerrFileOpen, {TableFile, kQnSharingViolation});
  }
}

}  // namespace

void QNRecoverJournalsFor(const std::string& TableFile, TqnFileRoutines& Routines) {
  // A commit over tables of several folders keeps its journal in the deepest folder holding
  // them all, so the table's folder and every folder above it are looked at, deepest first.
  const std::string table = QNJournalPath(TableFile);
  std::string folder = FolderOf(table);
  for (;;) {
    RecoverJournalsIn(folder, TableFile, table, Routines);
    if (folder == "/") break;
    folder = FolderOf(folder);
  }
}

}  // namespace tw::dbengine
