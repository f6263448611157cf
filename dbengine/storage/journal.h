// The journal of a transaction's commit, and the recovery that runs before a table file is
// opened.
//
// File layout (little-endian): an 8-byte header "JQNH" + state (0 while the transaction runs,
// 1 once every after-image is written and flushed, 2 once its work is done and it is spent),
// then records of a 276-byte header
// {"JFRH", block number, block size, 1 before-image / 0 after-image, full path of the table
// file zero-terminated in 260 bytes} followed by the block's bytes.
//
// Recovery rule: a journal in state 1 is replayed (its after-images written into the table
// files, later images of a block winning) and then deleted; a journal in state 0 has its
// first before-image of every block written back (which undoes whatever reached the table
// files early) and is deleted.  A journal in state 2 is spent: nothing of it is ever applied,
// it is only deleted.  A journal whose work is done (its commit written, its rollback undone,
// its recovery applied) is marked spent before it is deleted, so that neither a deletion that
// fails nor one that a power cut undoes lets it be applied over later work.  A journal held
// open by a running transaction is left alone; one that a page cache of this process holds
// because it could not be applied keeps the tables it names shut (QNNoteHeldJournal).
// A journal belongs to the folder where it lies, whatever path its writer reached that folder by
// (a symbolic link, a path the folder has left since, a rename while the transaction ran): an
// image goes to the file of its name in that folder, and the folder part of the path an image
// holds means nothing.  Images are written only into table files (header "QNFH" of the image's
// block size, or a file still shorter than its header) there; a journal whose images name
// anything but table files is left in place untouched, nothing of it is written, and no table
// it names is opened or deleted (23549, naming the journal).  Recovery never looks at another
// folder than the one of the table being opened, and reaches the folder's files through the
// folder's handle only.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dbengine/storage/file_info.h"

namespace tw::dbengine {

constexpr char kQnJournalExtension[] = "QN$";
constexpr std::size_t kQnJournalHeaderSize = 8;
constexpr std::size_t kQnJournalRecordHeaderSize = 276;
constexpr std::size_t kQnJournalPathSize = 260;

struct TqnJournalImage {
  std::string Path;
  std::int32_t Block = 0;
  std::vector<std::uint8_t> Bytes;
};

// Name (a file name of Folder) when no file has it, else the first free name of the form
// STEM-N.EXT: an existing file is never taken over.
std::string QNFreshJournalName(const TqnFolder& Folder, const std::string& Name, TqnFileRoutines& Routines);

class TqnJournal {
 public:
  // Creates the journal, exclusive, through Routines, under Name or (when a file of that name
  // exists, which is left alone) the fresh name QNFreshJournalName gives, and writes and
  // flushes the header in state 0.  A journal made not Durable is flushed, and its name made
  // durable, by its first Flush only: for a commit's journal of after-images, which nothing
  // relies on before that flush.
  TqnJournal(const TqnFolderRef& Folder, const std::string& Name, TqnFileRoutines& Routines, bool Durable = true);
  // The same in the folder Path's folder part names now.
  TqnJournal(const std::string& Path, TqnFileRoutines& Routines, bool Durable = true);
  ~TqnJournal();
  TqnJournal(const TqnJournal&) = delete;
  TqnJournal& operator=(const TqnJournal&) = delete;

  // Its path (for messages) and its name in its folder.
  const std::string& Name() const { return file_->Name; }
  const std::string& FileName() const { return file_->Leaf; }
  // Appends an image of Block of TableFile (its full path is stored).
  void Append(const std::string& TableFile, std::int32_t Block, const std::uint8_t* Bytes, std::int32_t Size,
              bool BeforeImage);
  // Flushes the journal.  When the flush fails, what was appended since the last flush that
  // succeeded may never reach the disk (a system may drop what it could not write back): the
  // next record goes where that flush began, and the caller appends those images again.
  void Flush();
  // Flushes the records (cutting off what an earlier use left beyond them), then writes state 1
  // and flushes again.  When that write or flush fails, state 0 is written back and flushed
  // before the error is raised: a journal whose completion was reported failed is never
  // replayed.
  void MarkComplete();
  // Makes a journal whose commit is done inert again for its next use: state 0 is written and
  // flushed, the next record goes right after the header.  Only for journals that hold nothing
  // but after-images: in state 0 those are never applied, so what is left of them is harmless.
  void Reset();
  bool Complete() const { return complete_; }
  int Records() const { return records_; }
  // Closes the journal and deletes its file, by its name in its folder while that still leads to
  // it (raising otherwise).
  void Delete();
  // The journal's work is done (its commit written and flushed, or its transaction rolled back
  // and undone): it is marked spent (state 2) through its handle and deleted.  False only when
  // it may still be applied: it holds records, and could be neither marked nor deleted (it is
  // then left open).
  bool Spend();
  // Spend, raising where it gives false.
  void Retire();
  // The folder the journal lies in.
  const TqnFolderRef& Folder() const { return file_->Folder; }
  // What recovering the journal would write, read through its handle (see
  // QNRecoverJournal); false when it cannot be read or is complete but damaged.
  bool ImagesToApply(std::vector<TqnJournalImage>& Images);
  // The paths of the table files its images name (as it holds them), read through its handle;
  // false when it cannot be read.
  bool NamedFiles(std::vector<std::string>& Paths);
  // Closes the journal, leaving its file for recovery.
  void Close();
  // Closes and deletes a journal that was Reset: nothing in it is ever applied, so its deletion
  // need not be made durable.
  void Discard();

 private:
  TqnFileInfo* file_ = nullptr;
  std::int64_t end_ = 0;
  std::int64_t size_ = 0;  // the file's length: records of an earlier use may lie past end_
  std::int64_t flushedEnd_ = 0;  // end_ at the last flush that succeeded
  bool complete_ = false;
  bool named_ = true;  // the journal's name is durable in its folder
  int records_ = 0;
};

enum class TqnRecovery {
  NoJournal,   // missing, or not a journal of this engine
  InUse,       // held by a running transaction
  Replayed,    // state 1: after-images written, journal deleted (or at least spent)
  RolledBack,  // state 0: before-images written back, journal deleted (or at least spent)
  Spent,       // state 2: nothing applied, journal deleted when possible
  Blocked,     // a table file it names could not be opened; left in place
  Corrupt,     // state 1 but damaged; left in place
};

// Recovers journal Name of Folder with the given file routines.
TqnRecovery QNRecoverJournal(const TqnFolder& Folder, const std::string& Name, TqnFileRoutines& Routines);
TqnRecovery QNRecoverJournal(const std::string& JournalPath, TqnFileRoutines& Routines);
// Recovers every journal in Folder (and in no other folder) before its file FileName is opened
// or deleted.  Raises when a journal that names the file could not be
// recovered (the table would be torn): 23549 naming the journal, or 23584 for a damaged one.
void QNRecoverJournalsFor(const TqnFolder& Folder, const std::string& FileName, TqnFileRoutines& Routines);
void QNRecoverJournalsFor(const std::string& TableFile, TqnFileRoutines& Routines);
// The same before the files FileNames of one table are opened together: the folder is looked
// through once, and a journal that could not be recovered refuses them when it names any.
void QNRecoverJournalsFor(const TqnFolder& Folder, const std::vector<std::string>& FileNames,
                          TqnFileRoutines& Routines);
// Journals that a page cache of this process holds open until they can be recovered (see
// TqnBufferManager::HeldJournalCount).  Any other cache of the process finds such a journal in
// use and can neither read nor apply it: QNRecoverJournalsFor then refuses the tables it names
// with 23549, as their holder does.  Journal is its name in the folder Folder (a directory's
// device and inode); Files the names of the files its images name (nullptr: it cannot be read,
// and it names every file of the folder).
void QNNoteHeldJournal(const TqnFileKey& Folder, const std::string& Journal, const std::set<std::string>* Files);
void QNForgetHeldJournal(const TqnFileKey& Folder, const std::string& Journal);
// Recovers every journal in Folder; returns how many were replayed or rolled back.
int QNRecoverJournals(const TqnFolder& Folder, TqnFileRoutines& Routines);
int QNRecoverJournals(const std::string& Folder, TqnFileRoutines& Routines);
// Whether Folder holds a file that recovery would take for a journal (of either kind): the
// recovery that runs before a table of the folder is opened may then write.
bool QNFolderHasJournals(const TqnFolder& Folder, TqnFileRoutines& Routines);

// ---- Replacing a table's files ----------------------------------------------------------
//
// A rename journal (a file of extension QN$ that starts "JQNS") lists the renames and deletes
// that put one table's files in the place of another's: "R SOURCE TARGET" and "D NAME" steps,
// file names of the journal's own folder only, framed by a length and the closing mark "JQNE".
// It is written and made durable before the first step runs; recovery runs every step whose
// file is still there (each step is done at most once: a renamed source is gone) and deletes
// the journal; a rename journal cut short was never acted upon and is deleted.

// The names (without folder) of the files of table Name in Folder: NAME.QND and every file
// of that base name (in any letter case) that starts with a table-file header.
std::vector<std::string> QNTableFileNames(TqnFileRoutines& Routines, const TqnFolder& Folder,
                                          const std::string& Name);
std::vector<std::string> QNTableFileNames(TqnFileRoutines& Routines, const std::string& Folder,
                                          const std::string& Name);

// Puts table Source of Folder in the place of table Target (which need not exist): Source's
// files take Target's names, replacing Target's files; Target's files that Source has no
// counterpart of are deleted.  At every moment, and after a crash at any point, Target is
// either wholly as it was or wholly as Source was (once recovery has run).  SourceFiles, when
// given, names Source's files (without folder; for instance the ones its dictionary lists);
// otherwise they are found by QNTableFileNames.  When it raises, nothing was renamed and
// nothing will be: the caller may delete Source.
void QNReplaceTableFiles(const TqnFolder& Folder, const std::string& Target, const std::string& Source,
                         TqnFileRoutines& Routines, const std::vector<std::string>* SourceFiles = nullptr);
void QNReplaceTableFiles(const std::string& Folder, const std::string& Target, const std::string& Source,
                         TqnFileRoutines& Routines, const std::vector<std::string>* SourceFiles = nullptr);

// ---- Temporary tables ------------------------------------------------------------------
//
// A table made under a temporary name (a rebuild's copy, the files of a table being built) is
// announced first by a mark: a file "TEMP_T.QN$" (or "TEMP_T-N.QN$") of the table's folder
// holding "JQNT", the length of the temporary table's name, the name and "JQNE", made durable
// before the table's first file and held open, exclusive, while the table is made and used.
// Recovery, after the folder's other journals (so that a replacement that was decided has put
// the copy in its place), deletes the temporary table of every mark that nobody holds, and the
// mark: what a crashed process left is never taken for a real table.
class TqnTemporaryTableMark {
 public:
  // Writes, flushes and holds the mark for table Table of Folder.
  TqnTemporaryTableMark(const TqnFolderRef& Folder, const std::string& Table, TqnFileRoutines& Routines);
  TqnTemporaryTableMark(const std::string& Folder, const std::string& Table, TqnFileRoutines& Routines);
  // Closes the mark and deletes it when the temporary table is gone (deleted, or put in
  // another's place); otherwise the mark stays for recovery, which deletes the table.
  ~TqnTemporaryTableMark();
  TqnTemporaryTableMark(const TqnTemporaryTableMark&) = delete;
  TqnTemporaryTableMark& operator=(const TqnTemporaryTableMark&) = delete;
  // The mark's path.
  std::string Name() const { return folder_->PathOf(name_); }

 private:
  TqnFileRoutines& r_;
  TqnFolderRef folder_;
  std::string table_, name_;
  TqnFileHandle handle_ = kQnNoHandle;
};

// Deletes the temporary tables that marks nobody holds name in Folder, with their marks,
// unless a rename journal still waits there.  Runs as the last step of the folder's recovery.
void QNRecoverTemporaryTables(const TqnFolder& Folder, TqnFileRoutines& Routines);
void QNRecoverTemporaryTables(const std::string& Folder, TqnFileRoutines& Routines);

// The absolute, normalised form of a path, as journals store it.
std::string QNJournalPath(const std::string& Name);

}  // namespace tw::dbengine
