// The data dictionary: the schema of one table (its files, fields and indexes) and the record
// and key layouts that follow from it.  Record and key layouts are bytes shared between the
// access layer and the server, so they are fixed here exactly.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/classes/component.h"

namespace tw {
class TStream;
}

namespace tw::dbengine {

// Storage types of fields (the byte stored in dictionaries).
enum TqnFieldType : std::uint8_t {
  qftBoolean = 0,
  qftChar = 1,
  qftWideChar = 2,
  qftUInt8 = 3,
  qftUInt16 = 4,
  qftUInt32 = 5,
  qftInt8 = 6,
  qftInt16 = 7,
  qftInt32 = 8,
  qftAutoInc = 9,
  qftSingle = 10,
  qftDouble = 11,
  qftExtended = 12,
  qftComp = 13,
  qftCurrency = 14,
  qftDate = 15,
  qftTime = 16,
  qftDateTime = 17,
  qftBlobBinary = 18,
  qftBlobMemo = 19,
  qftBlobFmtMemo = 20,
  qftBlobOLE = 21,
  qftBlobGraphic = 22,
  qftBlobDBaseOLE = 23,
  qftBlobTypedBinary = 24,
  qftByteArray = 45,
  qftShortString = 46,
  qftShortStringLocale = 47,
  qftZString = 48,
  qftZStringLocale = 49,
  qftWideZString = 50,
};

// True for the field types above; everything else is unknown.
bool QNIsKnownFieldType(int type);
bool QNIsBlobFieldType(int type);

// Limits of a dictionary.
constexpr int kQnMaxIndexes = 256;          // index 0 included
constexpr int kQnMaxIndexFields = 16;
constexpr int kQnMaxKeyLength = 1024;
constexpr int kQnBlockHeaderSize = 32;
constexpr int kQnMaxNameLength = 31;
constexpr int kQnMaxDescriptionLength = 63;
constexpr int kQnMaxPictureLength = 175;
constexpr int kQnVCheckValueSize = 256;

struct TqnFileDescriptor {
  std::int32_t Number = 0;
  std::string Description;  // up to 63 characters
  std::string Extension;    // 1 to 3 of a-z A-Z 0-9 _
  std::int32_t BlockSize = 4096;
  std::uint8_t FileType = 0;  // 0 data file, 2 BLOB file
};

struct TqnVCheckDescriptor {
  bool HasMinimum = false;
  bool HasMaximum = false;
  bool HasDefault = false;
  // Values in the field's own storage format, of the field's length (at most 256 bytes).
  std::array<std::uint8_t, kQnVCheckValueSize> Minimum{};
  std::array<std::uint8_t, kQnVCheckValueSize> Maximum{};
  std::array<std::uint8_t, kQnVCheckValueSize> Default{};
  std::string Picture;  // up to 175 characters
};

struct TqnFieldDescriptor {
  std::int32_t Number = 0;
  std::string Name;         // up to 31 characters
  std::string Description;  // up to 63 characters
  std::int32_t Units = 0;
  std::int32_t Decimals = 0;
  std::int32_t Offset = 0;
  std::int32_t Length = 0;
  std::unique_ptr<TqnVCheckDescriptor> VCheck;
  std::uint8_t FieldType = 0;
  bool Required = false;
};

struct TqnIndexDescriptor {
  std::int32_t Number = 0;
  std::string Name;
  std::string Description;
  std::int32_t FileNumber = 0;
  std::int32_t KeyLength = 0;
  std::int32_t FieldCount = 0;  // -1: a user key index
  std::array<std::int32_t, kQnMaxIndexFields> FieldNumbers{};
  bool AllowDups = false;
  bool Ascending = true;
  bool CaseInsensitive = false;
};

class TqnDataDictionary : public TPersistent {
  TW_CLASS(TqnDataDictionary, TPersistent)
 public:
  // An empty dictionary with file 0 (the data file, of BlockSize) and index 0 (the sequential
  // access index); 23651 for a block size other than 4096, 8192, 16384, 32768.
  explicit TqnDataDictionary(std::int32_t BlockSize = 4096);
  ~TqnDataDictionary() override;

  // Frees the fields, the indexes from 1 on, and the files from 1 on (file 0 too with
  // IncludingFile0).
  void Clear(bool IncludingFile0);

  int AddFile(const std::string& Description, const std::string& Extension, std::int32_t BlockSize,
              std::uint8_t FileType);
  // Adds a field at the end of the record; returns its number.  VCheck, when given, is copied.
  int AddField(const std::string& Name, const std::string& Description, int FieldType, std::int32_t Units,
               std::int32_t Decimals, bool Required, const TqnVCheckDescriptor* VCheck = nullptr);
  int AddIndex(const std::string& Name, const std::string& Description, std::int32_t FileNumber,
               const std::vector<std::int32_t>& FieldNumbers, bool AllowDups, bool Ascending,
               bool CaseInsensitive);
  int AddUserIndex(const std::string& Name, const std::string& Description, std::int32_t FileNumber,
                   std::int32_t KeyLength, bool AllowDups, bool Ascending, bool CaseInsensitive);
  void RemoveIndex(int I);
  void Assign(const TPersistent* Source) override;
  // As Assign from Source, which gives up its files, fields and indexes instead of having
  // them copied (a dictionary of tens of thousands of fields read or checked aside takes its
  // owner's place); Source is left cleared.
  void TakeFrom(TqnDataDictionary& Source);
  void SetTableName(const std::string& Name);
  const std::string& TableName() const { return tableName_; }
  void SetIsEncrypted(bool Flag);
  bool IsEncrypted() const { return encrypted_; }
  // Set once the dictionary was read from a table file: no more changes.
  bool Built() const { return built_; }
  void SetBuilt(bool Built) { built_ = Built; }
  // Counts the changes of the files, fields and indexes: whatever was made from the dictionary
  // (the index handles of an open table) is out of date once the count moved on.
  std::uint64_t Changes() const { return changes_; }

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  int IndexCount() const { return static_cast<int>(indexes_.size()); }
  int FileCount() const { return static_cast<int>(files_.size()); }
  // Number of the BLOB file, 0 while there is none.
  int BlobFileNumber() const { return blobFile_; }
  std::int32_t LogicalRecordLength() const { return logicalRecordLength_; }
  std::int32_t RecordLength() const;
  // Block size of file 0 (4096 without files).
  std::int32_t BlockSize() const;

  // The descriptors (23632 for a number out of range); in line, as every record and key
  // operation asks for them.
  const TqnFieldDescriptor& FieldDescriptor(int I) const {
    if (I < 0 || I >= FieldCount()) ItemMissing(I);
    return *fields_[static_cast<std::size_t>(I)];
  }
  std::int32_t FieldLength(int I) const { return FieldDescriptor(I).Length; }
  std::int32_t FieldOffset(int I) const { return FieldDescriptor(I).Offset; }
  bool FieldRequired(int I) const { return FieldDescriptor(I).Required; }
  int FieldType(int I) const { return FieldDescriptor(I).FieldType; }
  const TqnVCheckDescriptor* FieldVCheck(int I) const { return FieldDescriptor(I).VCheck.get(); }
  const TqnFileDescriptor& FileDescriptor(int I) const {
    if (I < 0 || I >= FileCount()) ItemMissing(I);
    return *files_[static_cast<std::size_t>(I)];
  }
  std::int32_t FileBlockSize(int I) const { return FileDescriptor(I).BlockSize; }
  const std::string& FileExtension(int I) const { return FileDescriptor(I).Extension; }
  const TqnIndexDescriptor& IndexDescriptor(int I) const {
    if (I < 0 || I >= IndexCount()) ItemMissing(I);
    return *indexes_[static_cast<std::size_t>(I)];
  }
  int IndexFileNumber(int I) const { return IndexDescriptor(I).FileNumber; }
  int IndexKeyLength(int I) const { return IndexDescriptor(I).KeyLength; }
  bool IndexAllowDups(int I) const { return IndexDescriptor(I).AllowDups; }
  bool IndexIsAscending(int I) const { return IndexDescriptor(I).Ascending; }
  bool IndexIsCaseInsensitive(int I) const { return IndexDescriptor(I).CaseInsensitive; }
  bool IsUserKeyIndex(int I) const { return IndexDescriptor(I).FieldCount == -1; }

  // Number of the first field / index of that name (ASCII letters compared case-blind), -1
  // when absent.
  int GetFieldFromName(const std::string& Name) const;
  int GetIndexFromName(const std::string& Name) const;
  bool HasAutoIncField(int& FieldNumber) const;
  bool IsIndexDescValid(const TqnIndexDescriptor& D) const;

  // Records: fields at their offsets, then one null bit per field (set = null).
  void InitRecord(std::uint8_t* Record) const;
  bool IsRecordFieldNull(int I, const std::uint8_t* Record) const;
  void GetRecordField(int I, const std::uint8_t* Record, std::uint8_t* Buffer, bool& IsNull) const;
  // Value nullptr makes the field null (and zeroes its bytes).
  void SetRecordField(int I, std::uint8_t* Record, const std::uint8_t* Value) const;
  bool CheckRequiredFields(const std::uint8_t* Record) const;
  // Builds the key of composite index IndexNumber from Record.
  void ExtractKey(int IndexNumber, const std::uint8_t* Record, std::uint8_t* Key) const;

  // Keys: the index fields packed, then their null bits in the last 1 or 2 bytes.
  static void InitKey(std::uint8_t* Key, int KeyLength, int FieldCount);
  static bool IsKeyFieldNull(const std::uint8_t* Key, int KeyLength, int FieldCount, int K);
  static void SetKeyFieldNonNull(std::uint8_t* Key, int KeyLength, int FieldCount, int K);

  // Raises the first fault that keeps the dictionary from being stored.
  void CheckValid();

  // The binary value format of dictionaries (see dictionary_stream.cpp).
  void WriteToStream(TStream& Stream);
  // Replaces the contents with a dictionary read from Stream.  Every count, number and size
  // is checked against the dictionary's limits; a damaged stream raises the engine's error (or
  // the class library's read error when it ends early or holds an unexpected tag) and leaves
  // the dictionary empty.
  void ReadFromStream(TStream& Stream);

 private:
  void CheckNotBuilt() const;
  [[noreturn]] void ItemMissing(int I) const;
  void AddIndex0();
  int AddIndexChecked(std::unique_ptr<TqnIndexDescriptor> D);
  void ReadFromStreamPrim(TStream& Stream);

  std::vector<std::unique_ptr<TqnFileDescriptor>> files_;
  std::vector<std::unique_ptr<TqnFieldDescriptor>> fields_;
  // The number of the first field of each name, by the name with its ASCII letters in capitals:
  // a dictionary may hold tens of thousands of fields, each added and checked by its name.
  std::unordered_map<std::string, int> fieldNumbers_;
  std::vector<std::unique_ptr<TqnIndexDescriptor>> indexes_;
  std::string tableName_;
  std::int32_t logicalRecordLength_ = 0;
  int blobFile_ = 0;
  bool encrypted_ = false;
  bool built_ = false;
  std::uint64_t changes_ = 0;
};

// Length, units and decimals of a field as stored; raises 23637 for an unknown type.
void QNFieldStorage(int FieldType, std::int32_t& Units, std::int32_t& Decimals, std::int32_t& Length);

}  // namespace tw::dbengine
