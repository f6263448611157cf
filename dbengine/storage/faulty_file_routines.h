// A table of file routines that injects failures, for tests: it passes every call to an inner
// table and, at the Nth write, fails it, writes only half of it, stops the "process", or
// finds the disk full from then on.
// Deleting and renaming a file count as writes too (a torn one does nothing).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dbengine/storage/file_routines.h"
#include "platform/rtl/exceptions.h"

namespace tw::dbengine {

// Thrown by TqnFaultyFileRoutines when the simulated process stops.  Whoever catches it must
// treat everything written so far as all that reached the disk.
TW_DECLARE_EXCEPTION(EqnSimulatedStop, Exception);

class TqnFaultyFileRoutines final : public TqnFileRoutines {
 public:
  enum class TFault {
    None,
    FailWrite,    // the Nth write returns an I/O error and writes nothing
    TornWrite,    // the Nth write writes its first half and then returns an I/O error
    Stop,         // the process stops at the Nth write, before it writes anything
    StopTorn,     // the process stops in the middle of the Nth write (first half written)
    FailFlush,    // the Nth flush returns an I/O error
    LosingFlush,  // the Nth flush returns an I/O error, and what was written to that file since
                  // its last flush is lost (as a system may drop pages it could not write back)
    Exit,         // the real process ends at the Nth write (first half written), no clean-up
    DiskFull,     // from the Nth write on the disk is full: a write that would make a file
                  // longer fails with ENOSPC and writes nothing; writes inside a file's
                  // length, deletes and renames go on working (until Disarm: space is back)
  };

  explicit TqnFaultyFileRoutines(TqnFileRoutines& inner = QNPosixFileRoutines()) : inner_(inner) {}

  // Arms the fault for the Nth write (or flush), counting from 1 from now on.
  void Arm(TFault fault, int n);
  // No more faults; the counts and the trace go on.
  void Disarm() { fault_ = TFault::None; }
  int Writes() const { return writes_; }
  int Flushes() const { return flushes_; }
  // How many times a folder was listed.
  int Listings() const { return listings_; }
  bool Stopped() const { return stopped_; }
  bool Fired() const { return fired_; }
  // One character per write counted since Arm: 'w' a write, 'f' the first write after a
  // flush, 'n' a delete or rename.  Crash tests pick the points worth stopping at from it.
  const std::string& Trace() const { return trace_; }

  // Calls Hook with the name before every routine that looks a name up (opening a file or a
  // folder, deleting, renaming, asking whether a file exists or what it is): a test changes
  // the folders there (exchanges two folders' names, say) at an exact point of the work.
  void BeforeName(std::function<void(const std::string& name)> Hook) { beforeName_ = std::move(Hook); }
  // Calls Hook after every folder closed (on the thread that closed it).
  void AfterFolderClosed(std::function<void()> Hook) { afterFolderClosed_ = std::move(Hook); }

  int OpenFolder(const std::string& path, TqnFileHandle& folder) override;
  int CloseFolder(TqnFileHandle folder) override;
  int OpenIn(TqnFileHandle folder, const std::string& name, bool readWrite, bool shared, bool create,
             bool writeThrough, TqnFileHandle& handle) override;
  int Close(TqnFileHandle handle) override;
  int Flush(TqnFileHandle handle) override;
  int ReadAt(TqnFileHandle handle, std::int64_t offset, void* buffer, std::size_t count,
             std::size_t& done) override;
  int WriteAt(TqnFileHandle handle, std::int64_t offset, const void* buffer, std::size_t count,
              std::size_t& done) override;
  int Size(TqnFileHandle handle, std::int64_t& size) override;
  int Truncate(TqnFileHandle handle, std::int64_t size) override;
  int LockRegion(TqnFileHandle handle, std::int64_t offset, std::int64_t length) override;
  int UnlockRegion(TqnFileHandle handle, std::int64_t offset, std::int64_t length) override;
  void Sleep(unsigned milliseconds) override;
  int DeleteIn(TqnFileHandle folder, const std::string& name) override;
  int RenameIn(TqnFileHandle folder, const std::string& oldName, const std::string& newName) override;
  int ReplaceIn(TqnFileHandle folder, const std::string& oldName, const std::string& newName) override;
  int SyncFolderIn(TqnFileHandle folder) override;
  int ListFolderIn(TqnFileHandle folder, std::vector<std::string>& names) override;
  bool ExistsIn(TqnFileHandle folder, const std::string& name) override;
  int Identity(TqnFileHandle handle, TqnFileKey& key) override;
  int IdentityIn(TqnFileHandle folder, const std::string& name, TqnFileKey& key) override;
  bool FolderGone(TqnFileHandle folder) override;
  int StatIn(TqnFileHandle folder, const std::string& name, bool followLink, TqnFileStat& stat) override;

 private:
  [[noreturn]] void StopNow();
  void Looked(const std::string& name) {
    if (beforeName_) beforeName_(name);
  }
  std::function<void(const std::string&)> beforeName_;
  std::function<void()> afterFolderClosed_;
  // A delete or rename: counted as a write; the fault's error, or 0 to go on.
  int NameChange();

  // LosingFlush: what each file held before the writes since its last flush.
  struct TUndo {
    std::int64_t offset = 0;
    std::int64_t sizeBefore = 0;
    std::vector<std::uint8_t> bytes;
  };
  std::map<TqnFileHandle, std::vector<TUndo>> unflushed_;

  TqnFileRoutines& inner_;
  TFault fault_ = TFault::None;
  int target_ = 0;
  int writes_ = 0;
  int flushes_ = 0;
  int listings_ = 0;
  bool stopped_ = false;
  bool fired_ = false;
  bool flushed_ = false;
  std::string trace_;
};

}  // namespace tw::dbengine
