// The dictionary as a byte stream in the class library's binary value format.  The access
// layer and the server both read and write it, and the server keeps it inside the table's data
// file, so the byte layout is the contract:
//   Boolean encrypted; Integer file count; per file: String description, String extension,
//   Integer block size, Integer type; Integer field count; per field: String name, String
//   description, Integer units, decimals, offset, length, type, Boolean required, Boolean has
//   validity check [String picture, Boolean has min, has max, has default, raw min, max,
//   default of the field's length]; Integer logical record length; Integer index count
//   (index 0 included); per index from 1: String name, String description, Integer file,
//   Integer key length, Integer field count, [Integer field number...], Boolean allow
//   duplicates, Boolean ascending, Boolean case-insensitive.
#include <algorithm>
#include <array>
#include <memory>

#include "dbengine/base/errors.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/storage_errors.h"
#include "platform/classes/filer.h"
#include "platform/classes/streams.h"

namespace tw::dbengine {

namespace {

constexpr int kMaxFiles = kQnMaxIndexes + 2;  // data file, BLOB file, one per index at most

// By value: a text read or made for the purpose is cut in place, not copied.
std::string Cut(std::string s, std::size_t n) {
  if (s.size() > n) s.resize(n);
  return s;
}

[[noreturn]] void Damaged(int item) { QNStorageError(qnerrInvalidParameter, {"ReadFromStream", item}); }

}  // namespace

void TqnDataDictionary::WriteToStream(TStream& Stream) {
  CheckValid();
  TWriter w(Stream, 4096);
  w.WriteBoolean(encrypted_);
  w.WriteInteger(static_cast<std::int32_t>(FileCount()));
  for (const auto& f : files_) {
    w.WriteString(f->Description);
    w.WriteString(f->Extension);
    w.WriteInteger(f->BlockSize);
    w.WriteInteger(static_cast<std::int32_t>(f->FileType));
  }
  w.WriteInteger(static_cast<std::int32_t>(FieldCount()));
  for (const auto& f : fields_) {
    w.WriteString(f->Name);
    w.WriteString(f->Description);
    w.WriteInteger(f->Units);
    w.WriteInteger(f->Decimals);
    w.WriteInteger(f->Offset);
    w.WriteInteger(f->Length);
    w.WriteInteger(static_cast<std::int32_t>(f->FieldType));
    w.WriteBoolean(f->Required);
    w.WriteBoolean(f->VCheck != nullptr);
    if (f->VCheck) {
      const TqnVCheckDescriptor& v = *f->VCheck;
      w.WriteString(v.Picture);
      w.WriteBoolean(v.HasMinimum);
      w.WriteBoolean(v.HasMaximum);
      w.WriteBoolean(v.HasDefault);
      // A value buffer holds 256 bytes; a longer field stores its first 256 and zeros.
      auto raw = [&](const std::array<std::uint8_t, kQnVCheckValueSize>& value) {
        const std::int32_t n = std::min<std::int32_t>(f->Length, kQnVCheckValueSize);
        w.Write(value.data(), n);
        static const std::uint8_t zeros[256] = {};
        for (std::int32_t rest = f->Length - n; rest > 0; rest -= 256) w.Write(zeros, std::min<std::int32_t>(rest, 256));
      };
      if (v.HasMinimum) raw(v.Minimum);
      if (v.HasMaximum) raw(v.Maximum);
      if (v.HasDefault) raw(v.Default);
    }
  }
  w.WriteInteger(logicalRecordLength_);
  w.WriteInteger(static_cast<std::int32_t>(IndexCount()));
  for (std::size_t i = 1; i < indexes_.size(); ++i) {
    const TqnIndexDescriptor& d = *indexes_[i];
    w.WriteString(d.Name);
    w.WriteString(d.Description);
    w.WriteInteger(d.FileNumber);
    w.WriteInteger(d.KeyLength);
    w.WriteInteger(d.FieldCount);
    if (d.FieldCount != -1)
      for (int k = 0; k < d.FieldCount; ++k) w.WriteInteger(d.FieldNumbers[static_cast<std::size_t>(k)]);
    w.WriteBoolean(d.AllowDups);
    w.WriteBoolean(d.Ascending);
    w.WriteBoolean(d.CaseInsensitive);
  }
  w.FlushBuffer();
}

void TqnDataDictionary::ReadFromStream(TStream& Stream) {
  CheckNotBuilt();
  ++changes_;
  try {
    ReadFromStreamPrim(Stream);
  } catch (...) {
    Clear(true);
    throw;
  }
  ++changes_;
}

void TqnDataDictionary::ReadFromStreamPrim(TStream& Stream) {
  Clear(true);
  TReader r(Stream, 4096);
  encrypted_ = r.ReadBoolean();

  const std::int32_t fileCount = r.ReadInteger();
  if (fileCount < 1 || fileCount > kMaxFiles) Damaged(1);
  for (std::int32_t i = 0; i < fileCount; ++i) {
    const std::string description = Cut(r.ReadString(), kQnMaxDescriptionLength);
    const std::string extension = r.ReadString();
    const std::int32_t blockSize = r.ReadInteger();
    const std::int32_t type = r.ReadInteger();
    if (type < 0 || type > 255 || (i == 0) != (type == 0)) Damaged(2);
    AddFile(description, extension, blockSize, static_cast<std::uint8_t>(type));
  }

  const std::int32_t fieldCount = r.ReadInteger();
  // Every field needs at least its null bit inside a record that fits a block.
  if (fieldCount < 0 || fieldCount > (BlockSize() - 36) * 8) Damaged(3);
  for (std::int32_t i = 0; i < fieldCount; ++i) {
    const std::string name = Cut(r.ReadString(), kQnMaxNameLength);
    const std::string description = Cut(r.ReadString(), kQnMaxDescriptionLength);
    const std::int32_t units = r.ReadInteger();
    const std::int32_t decimals = r.ReadInteger();
    const std::int32_t offset = r.ReadInteger();
    const std::int32_t length = r.ReadInteger();
    const std::int32_t type = r.ReadInteger();
    const bool required = r.ReadBoolean();
    std::unique_ptr<TqnVCheckDescriptor> vcheck;
    if (r.ReadBoolean()) {
      vcheck = std::make_unique<TqnVCheckDescriptor>();
      vcheck->Picture = Cut(r.ReadString(), kQnMaxPictureLength);
      vcheck->HasMinimum = r.ReadBoolean();
      vcheck->HasMaximum = r.ReadBoolean();
      vcheck->HasDefault = r.ReadBoolean();
      // A value is stored at the field's length; a buffer keeps its first 256 bytes, as the
      // writer stores a longer field's value as those bytes and zeros.
      if ((vcheck->HasMinimum || vcheck->HasMaximum || vcheck->HasDefault) &&
          (length < 0 || length > BlockSize() - 36))
        Damaged(4);
      auto raw = [&](std::array<std::uint8_t, kQnVCheckValueSize>& value) {
        const std::int32_t n = std::min<std::int32_t>(length, kQnVCheckValueSize);
        r.Read(value.data(), n);
        std::uint8_t skip[256];
        for (std::int32_t rest = length - n; rest > 0; rest -= 256) r.Read(skip, std::min<std::int32_t>(rest, 256));
      };
      if (vcheck->HasMinimum) raw(vcheck->Minimum);
      if (vcheck->HasMaximum) raw(vcheck->Maximum);
      if (vcheck->HasDefault) raw(vcheck->Default);
    }
    const int n = AddField(name, description, type, units, decimals, required, vcheck.get());
    // The stored layout must be the one the types give; anything else is damage.
    if (fields_[static_cast<std::size_t>(n)]->Offset != offset || fields_[static_cast<std::size_t>(n)]->Length != length)
      Damaged(5);
    if (type != qftAutoInc) fields_[static_cast<std::size_t>(n)]->Required = required;
  }
  if (r.ReadInteger() != logicalRecordLength_) Damaged(6);

  const std::int32_t indexCount = r.ReadInteger();
  if (indexCount < 1 || indexCount > kQnMaxIndexes) QNStorageError(qnerrTooManyIndexes, {tableName_});
  for (std::int32_t i = 1; i < indexCount; ++i) {
    const std::string name = Cut(r.ReadString(), kQnMaxNameLength);
    const std::string description = Cut(r.ReadString(), kQnMaxDescriptionLength);
    const std::int32_t fileNumber = r.ReadInteger();
    const std::int32_t keyLength = r.ReadInteger();
    const std::int32_t count = r.ReadInteger();
    std::vector<std::int32_t> fields;
    if (count != -1) {
      if (count == 0) QNStorageError(qnerrCompositeIndexEmpty, {tableName_});
      if (count < 0 || count > kQnMaxIndexFields) Damaged(7);
      for (std::int32_t k = 0; k < count; ++k) fields.push_back(r.ReadInteger());
    }
    const bool allowDups = r.ReadBoolean();
    const bool ascending = r.ReadBoolean();
    const bool caseInsensitive = r.ReadBoolean();
    if (count == -1)
      AddUserIndex(name, description, fileNumber, keyLength, allowDups, ascending, caseInsensitive);
    else
      AddIndex(name, description, fileNumber, fields, allowDups, ascending, caseInsensitive);
  }
  CheckValid();
}

}  // namespace tw::dbengine
