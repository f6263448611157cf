// Journal writing and recovery.
#include "dbengine/storage/journal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include <strings.h>

#include "dbengine/base/errors.h"
#include "dbengine/storage/block_layout.h"
#include "dbengine/storage/storage_errors.h"
#include "platform/rtl/files.h"

namespace tw::dbengine {

namespace {

constexpr char kHeaderSig[4] = {'J', 'Q', 'N', 'H'};
constexpr char kRecordSig[4] = {'J', 'F', 'R', 'H'};
// The journal's state, the 32-bit value after its signature.
constexpr std::uint32_t kStateComplete = 1;
constexpr std::uint32_t kStateSpent = 2;

bool AnyMarkIn(const std::vector<std::string>& Names);
bool IsSwapJournal(TqnFileRoutines& r, TqnFileHandle h);

bool EndsWithJournalExtension(const std::string& n) {
  if (n.size() < 4) return false;
  const std::string ext = n.substr(n.size() - 4);
  return ext[0] == '.' && (ext[1] == 'Q' || ext[1] == 'q') && (ext[2] == 'N' || ext[2] == 'n') && ext[3] == '$';
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

bool PlainName(const std::string& n);

// True when Path, a file of the journal's own folder, may take images of BlockSize: it is a
// table file of this block size (or one whose creation was cut short before its header reached
// the disk).  A journal is a file on disk like any other; its images must never overwrite files
// that are not the tables it was written for.
bool MayReceiveImages(TqnFileRoutines& r, const TqnFolder& F, const std::string& Name, std::int32_t BlockSize) {
  TqnFileHandle h = kQnNoHandle;
  if (r.OpenIn(F.Handle(), Name, false, true, false, false, h) != 0) return false;
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

// Writes the chosen images into the table files of the journal's folder: an image goes to the
// file of its name there, whatever folder the path it holds names (the writer may have reached
// the folder by a link, or by a path the folder has left since).  False when a table file could
// not be opened or written, or when an image names a file that is no table of the folder (then
// nothing is written).
bool Apply(TqnFileRoutines& r, const TqnFolder& F, TqnFileHandle journal, const std::vector<Image>& images) {
  std::map<std::string, std::vector<const Image*>> byFile;
  for (const Image& im : images) {
    const std::string name = QNNamePart(im.path);
    if (!PlainName(name)) return false;
    byFile[name].push_back(&im);
  }
  for (const auto& [name, list] : byFile) {
    if (!r.ExistsIn(F.Handle(), name)) continue;
    for (const Image* im : list)
      if (im->size != list.front()->size) return false;
    if (!MayReceiveImages(r, F, name, list.front()->size)) return false;
  }
  std::vector<std::uint8_t> buf;
  for (const auto& [name, list] : byFile) {
    // The table's files were deleted from the folder since: nothing to repair.
    if (!r.ExistsIn(F.Handle(), name)) continue;
    TqnFileHandle h = kQnNoHandle;
    if (r.OpenIn(F.Handle(), name, true, false, false, false, h) != 0) return false;
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

// What recovering the block journal open as h writes, in order: its after-images when it is
// complete (state 1), nothing when it is spent (state 2), else the first before-image of every
// block.  False when it cannot be read, is no block journal, or is complete but damaged.
bool ImagesToApply(TqnFileRoutines& r, TqnFileHandle h, std::vector<TqnJournalImage>& Images) {
  Images.clear();
  const Parsed p = Parse(r, h);
  bool ok = p.isJournal && !(p.state == kStateComplete && p.torn) && !IsSwapJournal(r, h);
  std::vector<Image> chosen;
  if (ok && p.state == kStateComplete) {
    chosen = p.images[0];
  } else if (ok && p.state != kStateSpent) {
    std::map<std::pair<std::string, std::int32_t>, bool> seen;
    for (const Image& im : p.images[1])
      if (seen.emplace(std::make_pair(QNNamePart(im.path), im.block), true).second) chosen.push_back(im);
  }
  for (const Image& im : chosen) {
    if (!ok) break;
    TqnJournalImage j;
    j.Path = im.path;
    j.Block = im.block;
    j.Bytes.resize(static_cast<std::size_t>(im.size));
    std::size_t done = 0;
    ok = r.ReadAt(h, im.offset, j.Bytes.data(), j.Bytes.size(), done) == 0 && done == j.Bytes.size();
    Images.push_back(std::move(j));
  }
  if (!ok) Images.clear();
  return ok;
}

// ---- Rename journals ------------------------------------------------------------------------

constexpr char kSwapSig[4] = {'J', 'Q', 'N', 'S'};
constexpr char kSwapEnd[4] = {'J', 'Q', 'N', 'E'};
constexpr std::int64_t kSwapMaxSize = 64 * 1024;

struct SwapStep {
  char op;  // 'R' rename A over B, 'D' delete A
  std::string a, b;
};

// A bare file name of the folder: no folder part, nothing that could climb out of it, and no
// journal.
bool PlainName(const std::string& n) {
  return !n.empty() && n.size() < kQnJournalPathSize && n.find('/') == std::string::npos &&
         n.find('\\') == std::string::npos && n.find('\t') == std::string::npos &&
         n.find('\n') == std::string::npos && n != "." && n != ".." && !EndsWithJournalExtension(n);
}

std::vector<std::uint8_t> EncodeSwap(const std::vector<SwapStep>& steps) {
  std::string text;
  for (const SwapStep& st : steps) {
    text += st.op;
    text += '\t' + st.a;
    if (st.op == 'R') text += '\t' + st.b;
    text += '\n';
  }
  std::vector<std::uint8_t> out(8 + text.size() + 4);
  std::memcpy(out.data(), kSwapSig, 4);
  QNPutU32(out.data() + 4, static_cast<std::uint32_t>(text.size()));
  std::memcpy(out.data() + 8, text.data(), text.size());
  std::memcpy(out.data() + 8 + text.size(), kSwapEnd, 4);
  return out;
}

// False when the bytes are not one whole rename journal with valid steps.
bool DecodeSwap(const std::vector<std::uint8_t>& bytes, std::vector<SwapStep>& steps) {
  steps.clear();
  if (bytes.size() < 12 || std::memcmp(bytes.data(), kSwapSig, 4) != 0) return false;
  const std::uint32_t len = QNGetU32(bytes.data() + 4);
  if (bytes.size() != 8 + static_cast<std::size_t>(len) + 4 ||
      std::memcmp(bytes.data() + 8 + len, kSwapEnd, 4) != 0)
    return false;
  const std::string text(reinterpret_cast<const char*>(bytes.data() + 8), len);
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) return false;
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    SwapStep st{};
    const std::size_t t1 = line.find('\t');
    if (line.size() < 3 || t1 != 1 || (line[0] != 'R' && line[0] != 'D')) return false;
    st.op = line[0];
    const std::size_t t2 = line.find('\t', 2);
    if (st.op == 'R') {
      if (t2 == std::string::npos) return false;
      st.a = line.substr(2, t2 - 2);
      st.b = line.substr(t2 + 1);
      if (!PlainName(st.b)) return false;
    } else {
      if (t2 != std::string::npos) return false;
      st.a = line.substr(2);
    }
    if (!PlainName(st.a)) return false;
    steps.push_back(std::move(st));
  }
  return true;
}

// Runs every step whose file is still there; false when one failed.
bool RunSwap(TqnFileRoutines& r, const TqnFolder& F, const std::vector<SwapStep>& steps) {
  for (const SwapStep& st : steps) {
    if (!r.ExistsIn(F.Handle(), st.a)) continue;
    const int e = st.op == 'R' ? r.ReplaceIn(F.Handle(), st.a, st.b) : r.DeleteIn(F.Handle(), st.a);
    if (e != 0) return false;
  }
  return r.SyncFolderIn(F.Handle()) == 0;
}

// Recovers the rename journal held open by h (closed here).
TqnRecovery RecoverSwap(TqnFileRoutines& r, const TqnFolder& F, const std::string& JournalName, TqnFileHandle h) {
  std::int64_t size = 0;
  std::vector<std::uint8_t> bytes;
  std::size_t done = 0;
  bool read = r.Size(h, size) == 0 && size <= kSwapMaxSize;
  if (read) {
    bytes.resize(static_cast<std::size_t>(size));
    read = r.ReadAt(h, 0, bytes.data(), bytes.size(), done) == 0 && done == bytes.size();
  }
  r.Close(h);
  if (!read) return TqnRecovery::Blocked;
  std::vector<SwapStep> steps;
  const bool whole = DecodeSwap(bytes, steps);
  // Cut short: written before any step ran, so there is nothing to undo.
  if (whole && !RunSwap(r, F, steps)) return TqnRecovery::Blocked;
  if (r.DeleteIn(F.Handle(), JournalName) != 0) return TqnRecovery::Blocked;
  r.SyncFolderIn(F.Handle());
  return whole ? TqnRecovery::Replayed : TqnRecovery::RolledBack;
}

bool IsSwapJournal(TqnFileRoutines& r, TqnFileHandle h) {
  std::uint8_t sig[4] = {};
  std::size_t done = 0;
  return r.ReadAt(h, 0, sig, sizeof sig, done) == 0 && done == sizeof sig && std::memcmp(sig, kSwapSig, 4) == 0;
}

std::string ExtensionOf(const std::string& n) {
  const std::size_t dot = n.rfind('.');
  return dot == std::string::npos ? std::string() : n.substr(dot + 1);
}

void SyncFolderOf(TqnFileInfo* f) {
  const int e = f->Routines->SyncFolderIn(f->Folder->Handle());
  if (e != 0) QNStorageError(qnerrFileFlush, {f->Folder->Path(), e});
}

// Writes state 2 into the journal open as h and flushes it: from then on nothing of it is ever
// applied.  False when that failed.
bool MarkSpent(TqnFileRoutines& r, TqnFileHandle h) {
  std::uint8_t state[4];
  QNPutU32(state, kStateSpent);
  std::size_t done = 0;
  return r.WriteAt(h, 4, state, sizeof state, done) == 0 && done == sizeof state && r.Flush(h) == 0;
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

std::string QNFreshJournalName(const TqnFolder& Folder, const std::string& Name, TqnFileRoutines& Routines) {
  // A file of that name may be a journal that waits for recovery (from an earlier run whose
  // ids repeat, or from another process): it is never emptied or overwritten, the new journal
  // takes the next free name instead.
  if (!Routines.ExistsIn(Folder.Handle(), Name)) return Name;
  const std::size_t dot = Name.rfind('.');
  const std::string stem = dot != std::string::npos ? Name.substr(0, dot) : Name;
  const std::string ext = dot != std::string::npos ? Name.substr(dot) : std::string();
  for (unsigned n = 1;; ++n) {
    const std::string candidate = stem + "-" + std::to_string(n) + ext;
    if (!Routines.ExistsIn(Folder.Handle(), candidate)) return candidate;
  }
}

TqnJournal::TqnJournal(const std::string& Path, TqnFileRoutines& Routines, bool Durable)
    : TqnJournal(TqnFolder::Open(QNFolderPart(Path), Routines), QNNamePart(Path), Routines, Durable) {}

TqnJournal::TqnJournal(const TqnFolderRef& Folder, const std::string& Name, TqnFileRoutines& Routines,
                       bool Durable) {
  // A folder removed meanwhile can take no journal: nothing of the transaction can be made
  // durable there.
  if (Folder->Gone()) QNStorageError(qnerrPathNotFound, {Folder->Path()});
  file_ = QNAllocFileInfo(Folder, QNFreshJournalName(*Folder, Name, Routines), "", nullptr);
  file_->Routines = &Routines;
  try {
    QNOpenFile(file_, true, false, true, false);
    std::uint8_t header[kQnJournalHeaderSize];
    std::memcpy(header, kHeaderSig, 4);
    QNPutU32(header + 4, 0);
    QNWriteFileExactAt(file_, 0, sizeof header, header);
    if (Durable) {
      QNFlushFile(file_);
      SyncFolderOf(file_);
    }
    named_ = Durable;
    end_ = size_ = flushedEnd_ = kQnJournalHeaderSize;
  } catch (...) {
    // A journal whose header could not be written holds nothing: it goes at once.
    const bool created = QNIsFileOpen(file_);
    const std::string name = file_->Leaf;
    QNFreeFileInfo(file_);
    if (created) Routines.DeleteIn(Folder->Handle(), name);
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
  try {
    QNWriteFileExactAt(file_, end_, rec.size(), rec.data());
  } catch (...) {
    // Part of the record may have reached the file: the next record goes over it, and a
    // journal marked complete is cut at its last whole record first.
    size_ = std::max(size_, end_ + static_cast<std::int64_t>(rec.size()));
    throw;
  }
  end_ += static_cast<std::int64_t>(rec.size());
  size_ = std::max(size_, end_);
  ++records_;
}

void TqnJournal::Flush() {
  try {
    QNFlushFile(file_);
    // A journal made without a flush: its name becomes durable with its first records, before
    // anything can rely on them.
    if (!named_) {
      SyncFolderOf(file_);
      named_ = true;
    }
  } catch (...) {
    size_ = std::max(size_, end_);
    end_ = flushedEnd_;
    throw;
  }
  flushedEnd_ = end_;
}

void TqnJournal::MarkComplete() {
  // Records of an earlier use past this commit's last one must never be replayed with it.
  if (size_ > end_) {
    QNTruncateFile(file_, end_);
    size_ = end_;
  }
  Flush();
  std::uint8_t state[4];
  QNPutU32(state, kStateComplete);
  try {
    QNWriteFileExactAt(file_, 4, sizeof state, state);
    QNFlushFile(file_);
  } catch (...) {
    // Whether state 1 reached the disk is not known (a torn or unflushed write): state 0 is
    // written back, so that the commit, reported failed, is never replayed later.  Only when
    // that fails too may the journal still say complete.
    const std::exception_ptr failure = std::current_exception();
    try {
      QNPutU32(state, 0);
      QNWriteFileExactAt(file_, 4, sizeof state, state);
      QNFlushFile(file_);
    } catch (...) {
    }
    std::rethrow_exception(failure);
  }
  complete_ = true;
}

void TqnJournal::Delete() {
  TqnFileRoutines* r = file_->Routines;
  // By its name only while the name still leads to it: another file may have taken the name.
  const bool here = QNFileAtItsPath(file_);
  if (QNIsFileOpen(file_)) QNCloseFile(file_);
  const int e = here ? r->DeleteIn(file_->Folder->Handle(), file_->Leaf) : ENOENT;
  if (e != 0) QNStorageError(qnerrOSDeleteFile, {e});
  // A deletion that a power cut could undo would have the journal replayed over later
  // transactions.
  SyncFolderOf(file_);
}

bool TqnJournal::Spend() {
  // A journal without records applies nothing, whatever its state.
  const bool matters = records_ > 0;
  const bool spent = matters && QNIsFileOpen(file_) && MarkSpent(*file_->Routines, file_->Handle);
  if (matters && !spent) {
    // It may still be applied: it is done with only once its deletion is durable, and stays
    // open (to be read and marked again) while that fails.
    TqnFileRoutines* r = file_->Routines;
    const TqnFileHandle folder = file_->Folder->Handle();
    if (!QNFileAtItsPath(file_) || r->DeleteIn(folder, file_->Leaf) != 0 || r->SyncFolderIn(folder) != 0)
      return false;
    try {
      QNCloseFile(file_);
    } catch (...) {
    }
    return true;
  }
  try {
    Delete();
  } catch (...) {
  }
  return true;
}

void TqnJournal::Retire() {
  if (!Spend()) QNStorageError(qnerrOSDeleteFile, {EIO});
}

bool TqnJournal::NamedFiles(std::vector<std::string>& Paths) {
  Paths.clear();
  if (!QNIsFileOpen(file_)) return false;
  const Parsed p = Parse(*file_->Routines, file_->Handle);
  for (const auto& list : p.images)
    for (const Image& im : list)
      if (std::find(Paths.begin(), Paths.end(), im.path) == Paths.end()) Paths.push_back(im.path);
  return p.isJournal;
}

bool TqnJournal::ImagesToApply(std::vector<TqnJournalImage>& Images) {
  Images.clear();
  return QNIsFileOpen(file_) && tw::dbengine::ImagesToApply(*file_->Routines, file_->Handle, Images);
}

void TqnJournal::Reset() {
  std::uint8_t state[4];
  QNPutU32(state, 0);
  QNWriteFileExactAt(file_, 4, sizeof state, state);
  QNFlushFile(file_);
  complete_ = false;
  records_ = 0;
  end_ = flushedEnd_ = kQnJournalHeaderSize;
}

void TqnJournal::Discard() {
  TqnFileRoutines* r = file_->Routines;
  const bool here = QNFileAtItsPath(file_);
  if (QNIsFileOpen(file_)) QNCloseFile(file_);
  if (here) r->DeleteIn(file_->Folder->Handle(), file_->Leaf);
}

void TqnJournal::Close() {
  if (QNIsFileOpen(file_)) QNCloseFile(file_);
}

TqnRecovery QNRecoverJournal(const TqnFolder& F, const std::string& JournalName, TqnFileRoutines& r) {
  TqnFileHandle h = kQnNoHandle;
  const int e = r.OpenIn(F.Handle(), JournalName, true, false, false, false, h);
  if (e == kQnSharingViolation) return TqnRecovery::InUse;
  if (e != 0) return TqnRecovery::NoJournal;
  if (IsSwapJournal(r, h)) return RecoverSwap(r, F, JournalName, h);
  const Parsed p = Parse(r, h);
  if (!p.isJournal) {
    r.Close(h);
    return TqnRecovery::NoJournal;
  }
  if (p.state == kStateSpent) {
    // Its work was done; only its deletion failed.
    r.Close(h);
    if (r.DeleteIn(F.Handle(), JournalName) == 0) r.SyncFolderIn(F.Handle());
    return TqnRecovery::Spent;
  }
  TqnRecovery result;
  bool ok;
  bool applies = false;
  if (p.state == kStateComplete) {
    // State 1 is written only after every record was flushed: damage here is not a torn
    // write but corruption, and replaying part of it could tear the tables.
    if (p.torn) {
      r.Close(h);
      return TqnRecovery::Corrupt;
    }
    ok = Apply(r, F, h, p.images[0]);
    applies = !p.images[0].empty();
    result = TqnRecovery::Replayed;
  } else {
    // Undo: the first before-image of each block is what the table held before the
    // transaction began.
    std::vector<Image> first;
    std::map<std::pair<std::string, std::int32_t>, bool> seen;
    for (const Image& im : p.images[1])
      if (seen.emplace(std::make_pair(QNNamePart(im.path), im.block), true).second) first.push_back(im);
    ok = Apply(r, F, h, first);
    applies = !first.empty();
    result = TqnRecovery::RolledBack;
  }
  // Applied and flushed: the journal is spent before it is deleted, so that it is never applied
  // again over what comes later, whatever becomes of its deletion.
  bool inert = ok && !applies;
  try {
    inert = inert || (ok && MarkSpent(r, h));
  } catch (...) {
    r.Close(h);
    throw;
  }
  r.Close(h);
  if (!ok) return TqnRecovery::Blocked;
  if (r.DeleteIn(F.Handle(), JournalName) != 0) return inert ? result : TqnRecovery::Blocked;
  r.SyncFolderIn(F.Handle());
  return result;
}

TqnRecovery QNRecoverJournal(const std::string& JournalPath, TqnFileRoutines& r) {
  const TqnFolderRef f = TqnFolder::OpenIfThere(QNFolderPart(JournalPath), r);
  return f ? QNRecoverJournal(*f, QNNamePart(JournalPath), r) : TqnRecovery::NoJournal;
}

int QNRecoverJournals(const TqnFolder& F, TqnFileRoutines& Routines) {
  std::vector<std::string> names;
  if (Routines.ListFolderIn(F.Handle(), names) != 0) return 0;
  std::sort(names.begin(), names.end());
  int count = 0;
  for (const std::string& n : names) {
    if (!EndsWithJournalExtension(n)) continue;
    const TqnRecovery rc = QNRecoverJournal(F, n, Routines);
    if (rc == TqnRecovery::Replayed || rc == TqnRecovery::RolledBack) ++count;
  }
  if (AnyMarkIn(names)) QNRecoverTemporaryTables(F, Routines);
  return count;
}

int QNRecoverJournals(const std::string& Folder, TqnFileRoutines& Routines) {
  const TqnFolderRef f = TqnFolder::OpenIfThere(Folder, Routines);
  return f ? QNRecoverJournals(*f, Routines) : 0;
}

bool QNFolderHasJournals(const TqnFolder& F, TqnFileRoutines& Routines) {
  std::vector<std::string> names;
  if (Routines.ListFolderIn(F.Handle(), names) != 0) return false;
  for (const std::string& n : names)
    if (EndsWithJournalExtension(n)) return true;
  return false;
}

namespace {

// The table a file name belongs to, in lower case.
std::string TableOfName(const std::string& Name) {
  std::string t = Name.substr(0, Name.rfind('.'));
  for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return t;
}

struct HeldNote {
  bool AllFiles = false;
  std::set<std::string> Tables;  // of the files its images name
};

std::mutex& HeldMutex() {
  static std::mutex m;
  return m;
}

// By folder and lower-case journal name.
std::map<std::pair<TqnFileKey, std::string>, HeldNote>& HeldNotes() {
  static auto* notes = new std::map<std::pair<TqnFileKey, std::string>, HeldNote>;
  return *notes;
}

std::pair<TqnFileKey, std::string> HeldKey(const TqnFileKey& Folder, const std::string& Journal) {
  std::string name = Journal;
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return {Folder, name};
}

// Whether journal Journal of Folder is held by a cache of this process and names a file of
// FileName's table.
bool HeldHereFor(const TqnFileKey& Folder, const std::string& Journal, const std::string& FileName) {
  std::lock_guard<std::mutex> g(HeldMutex());
  const auto it = HeldNotes().find(HeldKey(Folder, Journal));
  return it != HeldNotes().end() && (it->second.AllFiles || it->second.Tables.count(TableOfName(FileName)) != 0);
}

}  // namespace

void QNNoteHeldJournal(const TqnFileKey& Folder, const std::string& Journal, const std::set<std::string>* Files) {
  HeldNote note;
  note.AllFiles = Files == nullptr;
  if (Files != nullptr)
    for (const std::string& f : *Files) note.Tables.insert(TableOfName(f));
  std::lock_guard<std::mutex> g(HeldMutex());
  HeldNotes()[HeldKey(Folder, Journal)] = std::move(note);
}

void QNForgetHeldJournal(const TqnFileKey& Folder, const std::string& Journal) {
  std::lock_guard<std::mutex> g(HeldMutex());
  HeldNotes().erase(HeldKey(Folder, Journal));
}

void QNRecoverJournalsFor(const TqnFolder& F, const std::string& FileName, TqnFileRoutines& Routines) {
  QNRecoverJournalsFor(F, std::vector<std::string>{FileName}, Routines);
}

void QNRecoverJournalsFor(const TqnFolder& F, const std::vector<std::string>& FileNames, TqnFileRoutines& Routines) {
  // Only the files' own folder: a journal elsewhere (a folder above may be anybody's) is never
  // read, and its images could never be meant for this table.
  std::vector<std::string> names;
  if (Routines.ListFolderIn(F.Handle(), names) != 0) return;
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    if (!EndsWithJournalExtension(n)) continue;
    const TqnRecovery rc = QNRecoverJournal(F, n, Routines);
    // Held by a cache of this process that could not apply it yet: its tables wait for it.
    if (rc == TqnRecovery::InUse &&
        std::any_of(FileNames.begin(), FileNames.end(), [&](const std::string& f) { return HeldHereFor(F.Key(), n, f); }))
      QNStorageError(qnerrJournalWaits, {F.PathOf(n)});
    if (rc != TqnRecovery::Blocked && rc != TqnRecovery::Corrupt) continue;
    // Left in place: refuse to open or delete a table that it names.
    TqnFileHandle h = kQnNoHandle;
    if (Routines.OpenIn(F.Handle(), n, false, true, false, false, h) != 0) continue;
    if (IsSwapJournal(Routines, h)) {
      // Renames that could not be finished: no table of the folder is opened half renamed.
      Routines.Close(h);
      QNStorageError(qnerrJournalWaits, {F.PathOf(n)});
    }
    const Parsed p = Parse(Routines, h);
    Routines.Close(h);
    // The journal's images name files of this folder by their names there: the table is
    // refused when one of them is its file (or when that cannot be told).
    bool names_table = rc == TqnRecovery::Corrupt;
    for (const auto& list : p.images)
      for (const Image& im : list) {
        const std::string leaf = QNNamePart(im.path);
        for (const std::string& f : FileNames) names_table = names_table || strcasecmp(leaf.c_str(), f.c_str()) == 0;
      }
    if (!names_table) continue;
    if (rc == TqnRecovery::Corrupt) QNStorageError(qnerrNotQuarnelFile, {F.PathOf(n)});
    QNStorageError(qnerrJournalWaits, {F.PathOf(n)});
  }
  if (AnyMarkIn(names)) QNRecoverTemporaryTables(F, Routines);
}

void QNRecoverJournalsFor(const std::string& TableFile, TqnFileRoutines& Routines) {
  if (const TqnFolderRef f = TqnFolder::OpenIfThere(QNFolderPart(TableFile), Routines))
    QNRecoverJournalsFor(*f, QNNamePart(TableFile), Routines);
}

namespace {

constexpr char kMarkSig[4] = {'J', 'Q', 'N', 'T'};
constexpr char kMarkSuffix[] = "_T";

// The stem of a journal's name (without ".QN$" and a "-N" that a fresh name added).
std::string JournalStem(const std::string& n) {
  std::string stem = n.substr(0, n.size() - 4);
  const std::size_t dash = stem.rfind('-');
  if (dash != std::string::npos && dash + 1 < stem.size() &&
      stem.find_first_not_of("0123456789", dash + 1) == std::string::npos)
    stem.resize(dash);
  return stem;
}

bool StemEndsWith(const std::string& Stem, const char* Suffix) {
  const std::size_t k = std::strlen(Suffix);
  return Stem.size() > k && strcasecmp(Stem.c_str() + Stem.size() - k, Suffix) == 0;
}

}  // namespace

namespace {

bool AnyMarkIn(const std::vector<std::string>& Names) {
  for (const std::string& n : Names)
    if (EndsWithJournalExtension(n) && StemEndsWith(JournalStem(n), kMarkSuffix)) return true;
  return false;
}

// The temporary table a mark names, or empty when the file is no whole mark whose name
// agrees with the table it names.
std::string ReadMark(TqnFileRoutines& r, TqnFileHandle h, const std::string& FileName) {
  std::int64_t size = 0;
  std::uint8_t bytes[12 + kQnJournalPathSize] = {};
  std::size_t done = 0;
  if (r.Size(h, size) != 0 || size < 12 || size > static_cast<std::int64_t>(sizeof bytes)) return std::string();
  if (r.ReadAt(h, 0, bytes, static_cast<std::size_t>(size), done) != 0 || done != static_cast<std::size_t>(size))
    return std::string();
  const std::uint32_t len = QNGetU32(bytes + 4);
  if (std::memcmp(bytes, kMarkSig, 4) != 0 || len == 0 || 12 + static_cast<std::int64_t>(len) != size ||
      std::memcmp(bytes + 8 + len, kSwapEnd, 4) != 0)
    return std::string();
  const std::string table(reinterpret_cast<const char*>(bytes + 8), len);
  if (!PlainName(table) || table.find('.') != std::string::npos) return std::string();
  if (strcasecmp(JournalStem(FileName).c_str(), (table + kMarkSuffix).c_str()) != 0) return std::string();
  return table;
}

}  // namespace

TqnTemporaryTableMark::TqnTemporaryTableMark(const std::string& Folder, const std::string& Table,
                                             TqnFileRoutines& Routines)
    : TqnTemporaryTableMark(TqnFolder::Open(Folder, Routines), Table, Routines) {}

TqnTemporaryTableMark::TqnTemporaryTableMark(const TqnFolderRef& Folder, const std::string& Table,
                                             TqnFileRoutines& Routines)
    : r_(Routines), folder_(Folder), table_(Table) {
  if (!PlainName(table_)) QNStorageError(qnerrFileOpen, {folder_->PathOf(table_), EINVAL});
  const TqnFileHandle dir = folder_->Handle();
  name_ = QNFreshJournalName(*folder_, table_ + kMarkSuffix + "." + kQnJournalExtension, r_);
  std::vector<std::uint8_t> bytes(12 + table_.size());
  std::memcpy(bytes.data(), kMarkSig, 4);
  QNPutU32(bytes.data() + 4, static_cast<std::uint32_t>(table_.size()));
  std::memcpy(bytes.data() + 8, table_.data(), table_.size());
  std::memcpy(bytes.data() + 8 + table_.size(), kSwapEnd, 4);
  int e = r_.OpenIn(dir, name_, true, false, true, false, handle_);
  if (e != 0) QNStorageError(qnerrFileOpen, {folder_->PathOf(name_), e});
  std::size_t done = 0;
  e = r_.WriteAt(handle_, 0, bytes.data(), bytes.size(), done);
  if (e == 0 && done != bytes.size()) e = EIO;
  if (e == 0) e = r_.Flush(handle_);
  if (e == 0) e = r_.SyncFolderIn(dir);
  if (e != 0) {
    // No table was made yet: the mark goes, and nothing is left to clean.
    r_.Close(handle_);
    r_.DeleteIn(dir, name_);
    QNStorageError(qnerrFileWrite, {folder_->PathOf(name_), e});
  }
}

TqnTemporaryTableMark::~TqnTemporaryTableMark() {
  r_.Close(handle_);
  // Once the table is gone the mark goes (durably: a mark that came back after a power cut
  // could name a table made later under that name).  A table still there keeps its mark.
  const TqnFileHandle dir = folder_->Handle();
  if (!QNTableFileNames(r_, *folder_, table_).empty() || r_.ExistsIn(dir, table_ + ".QND")) return;
  if (r_.DeleteIn(dir, name_) == 0) r_.SyncFolderIn(dir);
}

void QNRecoverTemporaryTables(const TqnFolder& F, TqnFileRoutines& r) {
  const TqnFileHandle dir = F.Handle();
  std::vector<std::string> names;
  if (r.ListFolderIn(dir, names) != 0) return;
  std::vector<std::string> marks;
  bool renamesWaiting = false;
  for (const std::string& n : names) {
    if (!EndsWithJournalExtension(n)) continue;
    const std::string stem = JournalStem(n);
    if (StemEndsWith(stem, kMarkSuffix)) marks.push_back(n);
    // A rename journal still there (one that recovery could not finish) may yet put a copy in
    // its place: nothing is deleted until it is done.
    if (StemEndsWith(stem, "_R")) renamesWaiting = true;
  }
  if (marks.empty() || renamesWaiting) return;
  std::sort(marks.begin(), marks.end());
  bool deleted = false;
  for (const std::string& n : marks) {
    TqnFileHandle h = kQnNoHandle;
    // Held: the table is being made or used by a live process.
    if (r.OpenIn(dir, n, true, false, false, false, h) != 0) continue;
    const bool isMark = [&] {
      std::uint8_t sig[4] = {};
      std::size_t done = 0;
      return r.ReadAt(h, 0, sig, sizeof sig, done) == 0 && done == sizeof sig && std::memcmp(sig, kMarkSig, 4) == 0;
    }();
    const std::string table = isMark ? ReadMark(r, h, n) : std::string();
    r.Close(h);
    if (!isMark) continue;
    bool gone = true;
    if (!table.empty()) {
      std::vector<std::string> files = QNTableFileNames(r, F, table);
      // A file of the table that was created but got no header yet is empty.
      for (const std::string& other : names) {
        if (EndsWithJournalExtension(other) || std::find(files.begin(), files.end(), other) != files.end()) continue;
        const std::size_t dot = other.rfind('.');
        if (strcasecmp(other.substr(0, dot).c_str(), table.c_str()) != 0) continue;
        TqnFileHandle fh = kQnNoHandle;
        std::int64_t size = 1;
        if (r.OpenIn(dir, other, false, true, false, false, fh) != 0) continue;
        if (r.Size(fh, size) != 0) size = 1;
        r.Close(fh);
        if (size == 0) files.push_back(other);
      }
      // The data file first: without it the table is gone, whatever a crash leaves.
      std::stable_partition(files.begin(), files.end(),
                            [](const std::string& f) { return strcasecmp(ExtensionOf(f).c_str(), "QND") == 0; });
      for (const std::string& f : files) gone = gone && r.DeleteIn(dir, f) == 0;
    }
    // A mark cut short was written before its table's first file: only the mark goes.
    if (gone && r.DeleteIn(dir, n) == 0) deleted = true;
  }
  if (deleted) r.SyncFolderIn(dir);
}

void QNRecoverTemporaryTables(const std::string& Folder, TqnFileRoutines& r) {
  if (const TqnFolderRef f = TqnFolder::OpenIfThere(Folder, r)) QNRecoverTemporaryTables(*f, r);
}

std::vector<std::string> QNTableFileNames(TqnFileRoutines& r, const TqnFolder& F, const std::string& Name) {
  std::vector<std::string> out;
  std::vector<std::string> names;
  if (Name.empty() || r.ListFolderIn(F.Handle(), names) != 0) return out;
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    const std::size_t dot = n.rfind('.');
    const std::string stem = dot == std::string::npos ? n : n.substr(0, dot);
    if (strcasecmp(stem.c_str(), Name.c_str()) != 0) continue;
    bool ours = strcasecmp(ExtensionOf(n).c_str(), "QND") == 0;
    if (!ours) {
      TqnFileHandle h = kQnNoHandle;
      if (r.OpenIn(F.Handle(), n, false, true, false, false, h) == 0) {
        std::uint8_t sig[4] = {};
        std::size_t done = 0;
        ours = r.ReadAt(h, 0, sig, 4, done) == 0 && done == 4 && QNHasSignature(sig, kQnSigFileHeader);
        r.Close(h);
      }
    }
    if (ours) out.push_back(n);
  }
  return out;
}

std::vector<std::string> QNTableFileNames(TqnFileRoutines& r, const std::string& Folder, const std::string& Name) {
  const TqnFolderRef f = TqnFolder::OpenIfThere(Folder, r);
  return f ? QNTableFileNames(r, *f, Name) : std::vector<std::string>();
}

void QNReplaceTableFiles(const std::string& Folder, const std::string& Target, const std::string& Source,
                         TqnFileRoutines& r, const std::vector<std::string>* SourceFiles) {
  QNReplaceTableFiles(*TqnFolder::Open(Folder, r), Target, Source, r, SourceFiles);
}

void QNReplaceTableFiles(const TqnFolder& F, const std::string& Target, const std::string& Source,
                         TqnFileRoutines& r, const std::vector<std::string>* SourceFiles) {
  const TqnFileHandle dir = F.Handle();
  const std::vector<std::string> from = SourceFiles != nullptr ? *SourceFiles : QNTableFileNames(r, F, Source);
  const std::vector<std::string> old = QNTableFileNames(r, F, Target);
  std::vector<SwapStep> steps;
  const SwapStep* data = nullptr;
  for (const std::string& n : from) {
    const std::string ext = ExtensionOf(n);
    std::string to = Target + "." + ext;
    for (const std::string& o : old)
      if (strcasecmp(ExtensionOf(o).c_str(), ext.c_str()) == 0) to = o;
    steps.push_back({'R', n, to});
  }
  // The data file goes last: until then the table's other files change under a data file
  // that recovery finishes renaming before anybody opens it.
  for (std::size_t i = 0; i < steps.size(); ++i)
    if (strcasecmp(ExtensionOf(steps[i].a).c_str(), "QND") == 0) data = &steps[i];
  if (data == nullptr) QNStorageError(qnerrFileOpen, {F.PathOf(Source + ".QND"), ENOENT});
  const SwapStep last = *data;
  steps.erase(steps.begin() + (data - steps.data()));
  for (const std::string& o : old) {
    bool kept = false;
    for (const std::string& n : from) kept = kept || strcasecmp(ExtensionOf(o).c_str(), ExtensionOf(n).c_str()) == 0;
    if (!kept) steps.push_back({'D', o, std::string()});
  }
  steps.push_back(last);
  for (const SwapStep& st : steps)
    if (!PlainName(st.a) || (st.op == 'R' && !PlainName(st.b))) QNStorageError(qnerrFileOpen, {F.PathOf(st.a), EINVAL});

  // The source's files and their names are durable before the journal says to rename them.
  int e = r.SyncFolderIn(dir);
  if (e != 0) QNStorageError(qnerrFileFlush, {F.Path(), e});
  const std::string journal = QNFreshJournalName(F, Target + "_R." + kQnJournalExtension, r);
  const std::vector<std::uint8_t> bytes = EncodeSwap(steps);
  TqnFileHandle h = kQnNoHandle;
  e = r.OpenIn(dir, journal, true, false, true, false, h);
  if (e != 0) QNStorageError(qnerrFileOpen, {F.PathOf(journal), e});
  std::size_t done = 0;
  e = r.WriteAt(h, 0, bytes.data(), bytes.size(), done);
  if (e == 0 && done != bytes.size()) e = EIO;
  if (e == 0) e = r.Flush(h);
  r.Close(h);
  if (e == 0) e = r.SyncFolderIn(dir);
  // Not decided: nothing was renamed, and once the journal is gone the caller may drop the
  // source.  A journal that cannot even be deleted may be whole and be finished by recovery,
  // so then the replacement is finished here instead.
  if (e != 0 && r.DeleteIn(dir, journal) == 0) QNStorageError(qnerrFileWrite, {F.PathOf(journal), e});
  // Decided: from here the replacement stands.  Whatever fails below is finished by the
  // recovery that runs before the next open of any table of the folder (and before any new
  // file is made there), so the rename journal can never be replayed over later files.
  if (RunSwap(r, F, steps) && r.DeleteIn(dir, journal) == 0) {
    r.SyncFolderIn(dir);
    return;
  }
  // One more time from the journal on disk, as recovery would, so that a passing failure does
  // not leave the table half renamed until the next open.
  QNRecoverJournal(F, journal, r);
}

}  // namespace tw::dbengine
