// File routines that inject failures.
#include "dbengine/storage/faulty_file_routines.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tw::dbengine {

void TqnFaultyFileRoutines::Arm(TFault fault, int n) {
  fault_ = fault;
  target_ = n;
  writes_ = 0;
  flushes_ = 0;
  fired_ = false;
  flushed_ = false;
  trace_.clear();
  unflushed_.clear();
}

void TqnFaultyFileRoutines::StopNow() {
  stopped_ = true;
  fired_ = true;
  throw EqnSimulatedStop("the process stopped");
}

int TqnFaultyFileRoutines::OpenFolder(const std::string& path, TqnFileHandle& folder) {
  folder = kQnNoHandle;
  if (stopped_) return EIO;
  Looked(path);
  return inner_.OpenFolder(path, folder);
}

int TqnFaultyFileRoutines::CloseFolder(TqnFileHandle folder) {
  const int e = inner_.CloseFolder(folder);
  if (afterFolderClosed_) afterFolderClosed_();
  return e;
}

int TqnFaultyFileRoutines::OpenIn(TqnFileHandle folder, const std::string& name, bool readWrite, bool shared,
                                  bool create, bool writeThrough, TqnFileHandle& handle) {
  handle = kQnNoHandle;
  if (stopped_) return EIO;
  Looked(name);
  return inner_.OpenIn(folder, name, readWrite, shared, create, writeThrough, handle);
}

// Closing writes nothing, and a stopped process has its handles closed by the system, so a
// close is always passed on.
int TqnFaultyFileRoutines::Close(TqnFileHandle handle) {
  unflushed_.erase(handle);
  const int r = inner_.Close(handle);
  return stopped_ ? EIO : r;
}

int TqnFaultyFileRoutines::Flush(TqnFileHandle handle) {
  if (stopped_) return EIO;
  ++flushes_;
  flushed_ = true;
  if ((fault_ == TFault::FailFlush || fault_ == TFault::LosingFlush) && flushes_ == target_) {
    fired_ = true;
    if (fault_ == TFault::LosingFlush) {
      // The writes since the last flush never reach the disk.
      auto it = unflushed_.find(handle);
      if (it != unflushed_.end()) {
        for (auto u = it->second.rbegin(); u != it->second.rend(); ++u) {
          std::size_t done = 0;
          inner_.WriteAt(handle, u->offset, u->bytes.data(), u->bytes.size(), done);
          inner_.Truncate(handle, u->sizeBefore);
        }
        unflushed_.erase(it);
      }
    }
    return EIO;
  }
  unflushed_.erase(handle);
  return inner_.Flush(handle);
}

int TqnFaultyFileRoutines::ReadAt(TqnFileHandle handle, std::int64_t offset, void* buffer, std::size_t count,
                                  std::size_t& done) {
  done = 0;
  if (stopped_) return EIO;
  return inner_.ReadAt(handle, offset, buffer, count, done);
}

int TqnFaultyFileRoutines::WriteAt(TqnFileHandle handle, std::int64_t offset, const void* buffer,
                                   std::size_t count, std::size_t& done) {
  done = 0;
  if (stopped_) return EIO;
  ++writes_;
  trace_ += flushed_ ? 'f' : 'w';
  flushed_ = false;
  if (fault_ == TFault::DiskFull && writes_ >= target_) {
    std::int64_t size = 0;
    if (inner_.Size(handle, size) == 0 && offset + static_cast<std::int64_t>(count) > size) {
      fired_ = true;
      return ENOSPC;
    }
  }
  if (writes_ == target_) {
    switch (fault_) {
      case TFault::FailWrite:
        fired_ = true;
        return EIO;
      case TFault::TornWrite: {
        fired_ = true;
        inner_.WriteAt(handle, offset, buffer, count / 2, done);
        return EIO;
      }
      case TFault::Stop:
        StopNow();
      case TFault::Exit: {
        std::size_t half = 0;
        inner_.WriteAt(handle, offset, buffer, count / 2, half);
        ::_exit(0);
      }
      case TFault::StopTorn: {
        std::size_t half = 0;
        inner_.WriteAt(handle, offset, buffer, count / 2, half);
        StopNow();
      }
      default:
        break;
    }
  }
  if (fault_ == TFault::LosingFlush && flushes_ < target_) {
    // What the bytes were, so that a lost flush can take the write back.
    TUndo u;
    u.offset = offset;
    inner_.Size(handle, u.sizeBefore);
    const std::int64_t keep = std::max<std::int64_t>(0, std::min<std::int64_t>(static_cast<std::int64_t>(count), u.sizeBefore - offset));
    u.bytes.resize(static_cast<std::size_t>(keep));
    std::size_t got = 0;
    if (keep > 0) inner_.ReadAt(handle, offset, u.bytes.data(), u.bytes.size(), got);
    u.bytes.resize(got);
    unflushed_[handle].push_back(std::move(u));
  }
  return inner_.WriteAt(handle, offset, buffer, count, done);
}

int TqnFaultyFileRoutines::Size(TqnFileHandle handle, std::int64_t& size) {
  if (stopped_) return EIO;
  return inner_.Size(handle, size);
}

int TqnFaultyFileRoutines::Truncate(TqnFileHandle handle, std::int64_t size) {
  if (stopped_) return EIO;
  std::int64_t now = 0;
  if (fault_ == TFault::DiskFull && writes_ >= target_ && inner_.Size(handle, now) == 0 && size > now) {
    fired_ = true;
    return ENOSPC;
  }
  return inner_.Truncate(handle, size);
}

int TqnFaultyFileRoutines::LockRegion(TqnFileHandle handle, std::int64_t offset, std::int64_t length) {
  if (stopped_) return EIO;
  return inner_.LockRegion(handle, offset, length);
}

int TqnFaultyFileRoutines::UnlockRegion(TqnFileHandle handle, std::int64_t offset, std::int64_t length) {
  if (stopped_) return EIO;
  return inner_.UnlockRegion(handle, offset, length);
}

void TqnFaultyFileRoutines::Sleep(unsigned milliseconds) {
  if (!stopped_) inner_.Sleep(milliseconds);
}

int TqnFaultyFileRoutines::NameChange() {
  if (stopped_) return EIO;
  ++writes_;
  trace_ += 'n';
  if (writes_ != target_) return 0;
  switch (fault_) {
    case TFault::FailWrite:
    case TFault::TornWrite:
      fired_ = true;
      return EIO;
    case TFault::Stop:
    case TFault::StopTorn:
      StopNow();
    case TFault::Exit:
      ::_exit(0);
    default:
      return 0;
  }
}

int TqnFaultyFileRoutines::DeleteIn(TqnFileHandle folder, const std::string& name) {
  if (const int e = NameChange()) return e;
  Looked(name);
  return inner_.DeleteIn(folder, name);
}

int TqnFaultyFileRoutines::RenameIn(TqnFileHandle folder, const std::string& oldName, const std::string& newName) {
  if (const int e = NameChange()) return e;
  Looked(oldName);
  return inner_.RenameIn(folder, oldName, newName);
}

int TqnFaultyFileRoutines::ReplaceIn(TqnFileHandle folder, const std::string& oldName, const std::string& newName) {
  if (const int e = NameChange()) return e;
  Looked(oldName);
  return inner_.ReplaceIn(folder, oldName, newName);
}

int TqnFaultyFileRoutines::SyncFolderIn(TqnFileHandle folder) {
  if (stopped_) return EIO;
  return inner_.SyncFolderIn(folder);
}

int TqnFaultyFileRoutines::ListFolderIn(TqnFileHandle folder, std::vector<std::string>& names) {
  names.clear();
  ++listings_;
  if (stopped_) return EIO;
  return inner_.ListFolderIn(folder, names);
}

bool TqnFaultyFileRoutines::ExistsIn(TqnFileHandle folder, const std::string& name) {
  if (stopped_) return false;
  Looked(name);
  return inner_.ExistsIn(folder, name);
}

int TqnFaultyFileRoutines::Identity(TqnFileHandle handle, TqnFileKey& key) {
  return stopped_ ? EIO : inner_.Identity(handle, key);
}

int TqnFaultyFileRoutines::IdentityIn(TqnFileHandle folder, const std::string& name, TqnFileKey& key) {
  if (stopped_) return EIO;
  Looked(name);
  return inner_.IdentityIn(folder, name, key);
}

bool TqnFaultyFileRoutines::FolderGone(TqnFileHandle folder) { return !stopped_ && inner_.FolderGone(folder); }

int TqnFaultyFileRoutines::StatIn(TqnFileHandle folder, const std::string& name, bool followLink, TqnFileStat& stat) {
  if (stopped_) return EIO;
  Looked(name);
  return inner_.StatIn(folder, name, followLink, stat);
}

}  // namespace tw::dbengine
