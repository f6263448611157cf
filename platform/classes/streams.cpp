#include "platform/classes/streams.h"
#include "platform/classes/classesconst.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/classes/resources.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysconst.h"
#include "platform/rtl/sysutils.h"

namespace tw {

// ---------------------------------------------------------------------------------------------
// TStream

std::int64_t TStream::Size() {
  std::int64_t pos = Seek(0, soFromCurrent);
  std::int64_t size = Seek(0, soFromEnd);
  Seek(pos, soFromBeginning);
  return size;
}

void TStream::SetSize(std::int64_t) {}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
  if (count < 0) throw EReadError(classesconst::SReadError);
  if (count != 0 && Read(buffer, count) != count) throw EReadError(classesconst::SReadError);
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
  if (count < 0) throw EWriteError(classesconst::SWriteError);
  if (count != 0 && Write(buffer, count) != count) throw EWriteError(classesconst::SWriteError);
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const std::int64_t result = count;
  char buffer[61440];
  while (count > 0) {
    std::int64_t n = std::min<std::int64_t>(count, sizeof buffer);
    source.ReadBuffer(buffer, n);
    WriteBuffer(buffer, n);
    count -= n;
  }
  return result;
}

// ---------------------------------------------------------------------------------------------
// TCustomMemoryStream

void TCustomMemoryStream::SetPointer(const char* data, std::int64_t size) {
  data_ = data;
  size_ = size;
}

std::int64_t TCustomMemoryStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0 || pos_ >= size_) return 0;
  std::int64_t n = std::min(count, size_ - pos_);
  std::memcpy(buffer, data_ + pos_, static_cast<std::size_t>(n));
  pos_ += n;
  return n;
}

std::int64_t TCustomMemoryStream::Seek(std::int64_t offset, int origin) {
  std::int64_t base = origin == soFromBeginning ? 0 : origin == soFromCurrent ? pos_ : size_;
  if (origin < soFromBeginning || origin > soFromEnd) throw EStreamError(classesconst::SInvalidSeekOrigin);
  if ((offset < 0 && base + offset < 0) || (offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset))
    throw EStreamError(classesconst::SSeekError);
  pos_ = base + offset;
  return pos_;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) const { stream.WriteBuffer(data_, size_); }

void TCustomMemoryStream::SaveToFile(const std::string& fileName) const {
  // Replaces the file atomically: a failed save leaves the old file whole.
  AtomicWriteFile(fileName, std::string_view(data_, static_cast<std::size_t>(size_)));
}

// ---------------------------------------------------------------------------------------------
// TMemoryStream

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  std::int64_t end = pos_ + count;
  if (end > DataSize()) SetSize(end);
  std::memcpy(buffer_.data() + pos_, buffer, static_cast<std::size_t>(count));
  pos_ = end;
  return count;
}

void TMemoryStream::SetSize(std::int64_t newSize) {
  if (newSize < 0) throw EStreamError(classesconst::SSizeError);
  if (static_cast<std::uint64_t>(newSize) > buffer_.max_size()) throw EOutOfMemory(sysconst::SOutOfMemory);
  const std::int64_t old = DataSize();
  if (newSize > static_cast<std::int64_t>(buffer_.size())) {
    // Grow geometrically so that many small writes stay cheap.
    std::size_t capacity = std::max<std::size_t>(static_cast<std::size_t>(newSize), buffer_.size() + buffer_.size() / 2);
    try {
      buffer_.resize(capacity);
    } catch (const std::bad_alloc&) {
      buffer_.resize(static_cast<std::size_t>(newSize));
    }
  }
  if (newSize > old) std::fill(buffer_.begin() + old, buffer_.begin() + newSize, '\0');
  SetPointer(buffer_.data(), newSize);
  if (pos_ > newSize) pos_ = newSize;
}

void TMemoryStream::Clear() {
  buffer_.clear();
  buffer_.shrink_to_fit();
  SetPointer(nullptr, 0);
  pos_ = 0;
}

std::string TMemoryStream::Bytes() const {
  return DataSize() == 0 ? std::string() : std::string(buffer_.data(), static_cast<std::size_t>(DataSize()));
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  std::int64_t count = stream.Size();
  SetSize(count);
  if (count != 0) stream.ReadBuffer(buffer_.data(), count);
  pos_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

// ---------------------------------------------------------------------------------------------
// TFileStream

TFileStream::TFileStream(const std::string& fileName, std::uint16_t mode) : fileName_(fileName) {
  if (mode == fmCreate) {
    std::string path = ResolvePath(fileName);
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw EFCreateError(Format(classesconst::SFCreateError, {fileName}));
    return;
  }
  int flags = O_CLOEXEC;
  switch (mode & 0x000F) {
    case fmOpenWrite:
      flags |= O_WRONLY;
      break;
    case fmOpenReadWrite:
      flags |= O_RDWR;
      break;
    default:
      flags |= O_RDONLY;
      break;
  }
  std::string path = ResolvePath(fileName);
  fd_ = ::open(path.c_str(), flags);
  if (fd_ >= 0) {
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  if (fd_ < 0) throw EFOpenError(Format(classesconst::SFOpenError, {fileName}));
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
  std::int64_t done = 0;
  auto* p = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t n = ::read(fd_, p + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
  std::int64_t done = 0;
  const auto* p = static_cast<const char*>(buffer);
  while (done < count) {
    ssize_t n = ::write(fd_, p + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, int origin) {
  int whence = origin == soFromBeginning ? SEEK_SET : origin == soFromCurrent ? SEEK_CUR : SEEK_END;
  off_t pos = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (pos < 0) throw EStreamError(classesconst::SSeekError);
  return pos;
}

void TFileStream::SetSize(std::int64_t newSize) {
  if (newSize < 0 || ::ftruncate(fd_, static_cast<off_t>(newSize)) != 0) throw EStreamError(classesconst::SSizeError);
  if (Position() > newSize) Seek(newSize, soFromBeginning);
}

// ---------------------------------------------------------------------------------------------
// TStringStream

std::int64_t TStringStream::Read(void* buffer, std::int64_t count) {
  const auto size = static_cast<std::int64_t>(data_.size());
  if (count <= 0 || pos_ >= size) return 0;
  std::int64_t n = std::min(count, size - pos_);
  std::memcpy(buffer, data_.data() + pos_, static_cast<std::size_t>(n));
  pos_ += n;
  return n;
}

std::int64_t TStringStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  std::int64_t end = pos_ + count;
  if (end > static_cast<std::int64_t>(data_.size())) data_.resize(static_cast<std::size_t>(end));
  std::memcpy(data_.data() + pos_, buffer, static_cast<std::size_t>(count));
  pos_ = end;
  return count;
}

std::int64_t TStringStream::Seek(std::int64_t offset, int origin) {
  std::int64_t base = origin == soFromBeginning ? 0 : origin == soFromCurrent ? pos_ : static_cast<std::int64_t>(data_.size());
  if (origin < soFromBeginning || origin > soFromEnd) throw EStreamError(classesconst::SInvalidSeekOrigin);
  if (base + offset < 0) throw EStreamError(classesconst::SSeekError);
  pos_ = base + offset;
  return pos_;
}

void TStringStream::SetSize(std::int64_t newSize) {
  if (newSize < 0) throw EStreamError(classesconst::SSizeError);
  data_.resize(static_cast<std::size_t>(newSize));
  if (pos_ > newSize) pos_ = newSize;
}

std::string TStringStream::ReadString(std::int64_t count) {
  const auto size = static_cast<std::int64_t>(data_.size());
  if (count <= 0 || pos_ >= size) return {};
  std::int64_t n = std::min(count, size - pos_);
  std::string s = data_.substr(static_cast<std::size_t>(pos_), static_cast<std::size_t>(n));
  pos_ += n;
  return s;
}

// ---------------------------------------------------------------------------------------------
// TResourceStream

TResourceStream::TResourceStream(const std::string& resName) {
  std::optional<std::string_view> data = FindResource(resName);
  if (!data) throw EResNotFound(Format(classesconst::SResNotFound, {resName}));
  // A copy: a run-time registered resource may be replaced while the stream is open.
  copy_.assign(data->data(), data->size());
  SetPointer(copy_.data(), static_cast<std::int64_t>(copy_.size()));
}

TResourceStream::TResourceStream(std::uintptr_t, const std::string& resName, const char*) : TResourceStream(resName) {}

std::int64_t TResourceStream::Write(const void*, std::int64_t) {
  throw EStreamError(classesconst::SCantWriteResourceStreamError);
}

}  // namespace tw
