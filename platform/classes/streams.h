// Streams of bytes: the abstract TStream and its memory, file, string and resource kinds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/object.h"

namespace tw {

// Seek origins.
constexpr int soFromBeginning = 0;
constexpr int soFromCurrent = 1;
constexpr int soFromEnd = 2;

// File open modes (the low nibble) and share modes (accepted; the file system here does not
// enforce them between processes).
constexpr std::uint16_t fmCreate = 0xFFFF;
constexpr std::uint16_t fmOpenRead = 0x0000;
constexpr std::uint16_t fmOpenWrite = 0x0001;
constexpr std::uint16_t fmOpenReadWrite = 0x0002;
constexpr std::uint16_t fmShareCompat = 0x0000;
constexpr std::uint16_t fmShareExclusive = 0x0010;
constexpr std::uint16_t fmShareDenyWrite = 0x0020;
constexpr std::uint16_t fmShareDenyRead = 0x0030;
constexpr std::uint16_t fmShareDenyNone = 0x0040;

class TStream : public TObject {
  TW_CLASS(TStream, TObject)
 public:
  ~TStream() override = default;

  // Reads up to `count` bytes; returns how many were read (0 at the end).
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  // Writes up to `count` bytes; returns how many were written.
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
  // Moves the position; returns the new position.  A position before the start raises
  // EStreamError; a position after the end is allowed (reading there gives 0 bytes).
  virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;

  std::int64_t Position() { return Seek(0, soFromCurrent); }
  void SetPosition(std::int64_t pos) { Seek(pos, soFromBeginning); }
  virtual std::int64_t Size();
  virtual void SetSize(std::int64_t newSize);

  // Exactly `count` bytes or EReadError "Stream read error" / EWriteError "Stream write error".
  void ReadBuffer(void* buffer, std::int64_t count);
  void WriteBuffer(const void* buffer, std::int64_t count);
  void WriteBuffer(std::string_view bytes) { WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size())); }
  // Copies `count` bytes from the source's position; count 0 copies the whole source from its
  // start.  Returns the number of bytes copied.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// Memory-held stream; TResourceStream reads one without copying.
class TCustomMemoryStream : public TStream {
  TW_CLASS(TCustomMemoryStream, TStream)
 public:
  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;
  std::int64_t Size() override { return size_; }
  std::int64_t DataSize() const { return size_; }
  const char* Memory() const { return data_; }
  void SaveToStream(TStream& stream) const;
  // Replaces the file atomically (EFCreateError or EInOutError when that fails).
  void SaveToFile(const std::string& fileName) const;

 protected:
  void SetPointer(const char* data, std::int64_t size);
  std::int64_t pos_ = 0;

 private:
  const char* data_ = nullptr;
  std::int64_t size_ = 0;
};

class TMemoryStream : public TCustomMemoryStream {
  TW_CLASS(TMemoryStream, TCustomMemoryStream)
 public:
  TMemoryStream() = default;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  void SetSize(std::int64_t newSize) override;
  char* Memory() { return buffer_.data(); }
  const char* Memory() const { return TCustomMemoryStream::Memory(); }
  void Clear();
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  // The contents as a string of bytes.
  std::string Bytes() const;

 private:
  std::vector<char> buffer_;
};

// A file opened with fmCreate (create or truncate) or an fmOpen* mode.  Names with
// backslashes are accepted; a missing name is looked up case-insensitively in its folder.
// Failure raises EFCreateError "Cannot create file %s" or EFOpenError "Cannot open file %s".
class TFileStream : public TStream {
  TW_CLASS(TFileStream, TStream)
 public:
  TFileStream(const std::string& fileName, std::uint16_t mode);
  ~TFileStream() override;
  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;
  void SetSize(std::int64_t newSize) override;
  const std::string& FileName() const { return fileName_; }
  int Handle() const { return fd_; }

 private:
  std::string fileName_;
  int fd_ = -1;
};

// A stream over a string of bytes.
class TStringStream : public TStream {
  TW_CLASS(TStringStream, TStream)
 public:
  explicit TStringStream(std::string data = {}) : data_(std::move(data)) {}
  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;
  void SetSize(std::int64_t newSize) override;
  // Up to `count` bytes from the position.
  std::string ReadString(std::int64_t count);
  void WriteString(const std::string& s) { WriteBuffer(s.data(), static_cast<std::int64_t>(s.size())); }
  const std::string& DataString() const { return data_; }

 private:
  std::string data_;
  std::int64_t pos_ = 0;
};

// Reads an embedded resource (see resources.h) in place.  A missing resource raises
// EResNotFound "Resource %s not found"; writing raises EStreamError.
class TResourceStream : public TCustomMemoryStream {
  TW_CLASS(TResourceStream, TCustomMemoryStream)
 public:
  explicit TResourceStream(const std::string& resName);
  // The module instance and the resource type are accepted for familiarity and not used:
  // resource names are unique across the program.
  TResourceStream(std::uintptr_t instance, const std::string& resName, const char* resType);
  std::int64_t Write(const void* buffer, std::int64_t count) override;

 private:
  std::string copy_;  // keeps run-time registered resources alive while the stream reads them
};

}  // namespace tw
