// The data dictionary: building, queries, record and key layouts, validation.
#include "dbengine/storage/data_dictionary.h"

#include <algorithm>
#include <cstring>

#include "dbengine/base/bits.h"
#include "dbengine/base/compare.h"
#include "dbengine/base/errors.h"
#include "dbengine/base/names.h"
#include "dbengine/base/stringres.h"
#include "dbengine/storage/storage_errors.h"

namespace tw::dbengine {

namespace {

// The largest record of the largest block: block size less the block header and a slot link.
constexpr std::int32_t kMaxUnits = 32768 - kQnBlockHeaderSize - 4;

// By value: a text read or made for the purpose is cut in place, not copied.
std::string Cut(std::string s, std::size_t n) {
  if (s.size() > n) s.resize(n);
  return s;
}

bool SameName(const std::string& a, const std::string& b) { return QNCmpShStrUC(a, b, 255) == 0; }

// What SameName compares: the first 255 characters, ASCII letters in capitals; into K, whose
// room is used again by a caller that makes many keys.
void MakeNameKey(const std::string& s, std::string& k) {
  k.assign(s, 0, 255);
  for (char& c : k)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
}

std::string NameKey(const std::string& s) {
  std::string k;
  MakeNameKey(s, k);
  return k;
}

std::string Label(int id, const char* fallback) {
  std::string s = QNErrorText(qnGeneralStrings(), id);
  return s.empty() ? std::string(fallback) : s;
}

int NullBytes(int fieldCount) { return (fieldCount + 7) / 8; }

}  // namespace

bool QNIsKnownFieldType(int type) { return (type >= 0 && type <= 24) || (type >= 45 && type <= 50); }
bool QNIsBlobFieldType(int type) { return type >= 18 && type <= 24; }

void QNFieldStorage(int FieldType, std::int32_t& Units, std::int32_t& Decimals, std::int32_t& Length) {
  auto cap = [&](std::int32_t max) {
    if (Units < 0 || Units > max) Units = max;
    Decimals = 0;
  };
  switch (FieldType) {
    case qftBoolean: Units = 0; Decimals = 0; Length = 1; break;
    case qftChar: Units = 1; Decimals = 0; Length = 1; break;
    case qftWideChar: Units = 1; Decimals = 0; Length = 2; break;
    case qftUInt8: case qftInt8: cap(3); Length = 1; break;
    case qftUInt16: case qftInt16: cap(5); Length = 2; break;
    case qftUInt32: case qftInt32: cap(10); Length = 4; break;
    case qftAutoInc: Units = 10; Decimals = 0; Length = 4; break;
    case qftSingle: Length = 4; break;
    case qftDouble: Length = 8; break;
    case qftExtended: Length = 10; break;
    case qftComp: case qftCurrency: Length = 8; break;
    case qftDate: case qftTime: Units = 0; Decimals = 0; Length = 4; break;
    case qftDateTime: Units = 0; Decimals = 0; Length = 8; break;
    case qftBlobBinary: case qftBlobMemo: case qftBlobFmtMemo: case qftBlobOLE: case qftBlobGraphic:
    case qftBlobDBaseOLE: case qftBlobTypedBinary:
      Units = 0; Decimals = 0; Length = 4; break;
    case qftByteArray:
    case qftShortString:
    case qftShortStringLocale:
    case qftZString:
    case qftZStringLocale:
    case qftWideZString: {
      // A length that is negative, or that no block could hold, would make every offset after
      // it meaningless; a short string holds at most 255 characters behind its length byte.
      // A byte array holds at least one byte: a field of no bytes would store nothing, and
      // fields of a byte at least bound how many a record holds (and so how long a dictionary
      // and the requests that carry one can be, dbengine/base/requestlimits.h).
      const std::int32_t max = (FieldType == qftShortString || FieldType == qftShortStringLocale) ? 255
                               : FieldType == qftWideZString ? kMaxUnits / 2 - 1
                                                              : kMaxUnits - 1;
      const std::int32_t min = FieldType == qftByteArray ? 1 : 0;
      if (Units < min || Units > max) QNStorageError(qnerrInvalidParameter, {"AddField", 4});
      Decimals = 0;
      Length = FieldType == qftByteArray ? Units : FieldType == qftWideZString ? (Units + 1) * 2 : Units + 1;
      break;
    }
    default:
      QNStorageError(qnerrDictUnknownFieldType, {FieldType});
  }
}

TqnDataDictionary::TqnDataDictionary(std::int32_t BlockSize) {
  if (!QNIsValidBlockSize(BlockSize)) QNStorageError(qnerrInvalidBlockSize, {BlockSize});
  auto f = std::make_unique<TqnFileDescriptor>();
  f->Number = 0;
  f->Description = Label(qnstrDataDictFile, "Data/DataDict File");
  f->Extension = "QND";
  f->BlockSize = BlockSize;
  f->FileType = 0;
  files_.push_back(std::move(f));
  AddIndex0();
}

TqnDataDictionary::~TqnDataDictionary() = default;

void TqnDataDictionary::AddIndex0() {
  ++changes_;
  auto d = std::make_unique<TqnIndexDescriptor>();
  d->Number = 0;
  d->Name = d->Description = Label(qnstrSeqAccessIndex, "Seq. Access Index");
  d->FileNumber = 0;
  d->KeyLength = 4;
  d->FieldCount = -1;
  d->AllowDups = false;
  d->Ascending = true;
  d->CaseInsensitive = true;
  indexes_.push_back(std::move(d));
}

void TqnDataDictionary::Clear(bool IncludingFile0) {
  ++changes_;
  files_.resize(IncludingFile0 ? 0 : std::min<std::size_t>(files_.size(), 1));
  blobFile_ = 0;
  fields_.clear();
  fieldNumbers_.clear();
  logicalRecordLength_ = 0;
  if (indexes_.empty()) AddIndex0();
  indexes_.resize(1);
}

void TqnDataDictionary::CheckNotBuilt() const {
  if (built_) QNStorageError(qnerrDictTableBuilt, {tableName_});
}

void TqnDataDictionary::ItemMissing(int I) const { QNStorageError(qnerrDictItemMissing, {tableName_, I}); }

int TqnDataDictionary::AddFile(const std::string& Description, const std::string& Extension,
                               std::int32_t BlockSize, std::uint8_t FileType) {
  ++changes_;
  CheckNotBuilt();
  if (Extension.empty() || Extension.size() > 3 || !QNIsValidName(Extension, 3))
    QNStorageError(qnerrInvalidExtension, {tableName_, Extension});
  if (!QNIsValidBlockSize(BlockSize)) QNStorageError(qnerrInvalidBlockSize, {BlockSize});
  if (FileType == 0 && !files_.empty()) QNStorageError(qnerrDataFileDefined, {tableName_});
  for (const auto& f : files_)
    if (SameName(f->Extension, Extension)) QNStorageError(qnerrDuplicateExtension, {tableName_, Extension});
  if (FileType == 2 && blobFile_ != 0) QNStorageError(qnerrDictBlobFileDefined, {tableName_});
  auto f = std::make_unique<TqnFileDescriptor>();
  f->Number = FileCount();
  f->Description = Cut(Description, kQnMaxDescriptionLength);
  f->Extension = Extension;
  f->BlockSize = BlockSize;
  f->FileType = FileType;
  if (FileType == 2) blobFile_ = f->Number;
  files_.push_back(std::move(f));
  return FileCount() - 1;
}

int TqnDataDictionary::AddField(const std::string& Name, const std::string& Description, int Type,
                                std::int32_t Units, std::int32_t Decimals, bool Required,
                                const TqnVCheckDescriptor* VCheck) {
  ++changes_;
  CheckNotBuilt();
  std::string name = Cut(Name, kQnMaxNameLength);
  // The name's key is made once, for the look-up and for the entry.
  std::string key = NameKey(name);
  if (fieldNumbers_.count(key) != 0) QNStorageError(qnerrDuplicateFieldName, {tableName_, name});
  std::int32_t length = 0;
  QNFieldStorage(Type, Units, Decimals, length);
  if (logicalRecordLength_ + length > kMaxUnits) QNStorageError(qnerrDictRecordTooLong, {tableName_});
  auto f = std::make_unique<TqnFieldDescriptor>();
  f->Number = FieldCount();
  f->Name = std::move(name);
  f->Description = Cut(Description, kQnMaxDescriptionLength);
  f->Units = Units;
  f->Decimals = Decimals;
  f->Offset = logicalRecordLength_;
  f->Length = length;
  f->FieldType = static_cast<std::uint8_t>(Type);
  f->Required = Type == qftAutoInc ? false : Required;
  if (VCheck) {
    f->VCheck = std::make_unique<TqnVCheckDescriptor>(*VCheck);
    if (f->VCheck->Picture.size() > kQnMaxPictureLength) f->VCheck->Picture.resize(kQnMaxPictureLength);
  }
  logicalRecordLength_ = f->Offset + length;
  fieldNumbers_.emplace(std::move(key), f->Number);
  fields_.push_back(std::move(f));
  return FieldCount() - 1;
}

int TqnDataDictionary::AddIndexChecked(std::unique_ptr<TqnIndexDescriptor> d) {
  ++changes_;
  if (IndexCount() >= kQnMaxIndexes) QNStorageError(qnerrTooManyIndexes, {tableName_});
  d->Number = IndexCount();
  indexes_.push_back(std::move(d));
  return 0;
}

int TqnDataDictionary::AddIndex(const std::string& Name, const std::string& Description, std::int32_t FileNumber,
                                const std::vector<std::int32_t>& FieldNumbers, bool AllowDups, bool Ascending,
                                bool CaseInsensitive) {
  CheckNotBuilt();
  const std::string name = Cut(Name, kQnMaxNameLength);
  if (GetIndexFromName(name) >= 0) QNStorageError(qnerrDuplicateIndexName, {tableName_, name});
  if (FileNumber < 0 || FileNumber >= FileCount()) QNStorageError(qnerrDictFileMissing, {tableName_, FileNumber});
  if (FieldNumbers.empty()) QNStorageError(qnerrCompositeIndexEmpty, {tableName_});
  if (FieldNumbers.size() > kQnMaxIndexFields) QNStorageError(qnerrInvalidParameter, {"AddIndex", 4});
  auto d = std::make_unique<TqnIndexDescriptor>();
  d->Name = name;
  d->Description = Cut(Description, kQnMaxDescriptionLength);
  d->FileNumber = FileNumber;
  d->FieldCount = static_cast<std::int32_t>(FieldNumbers.size());
  std::int32_t keyLength = NullBytes(d->FieldCount);
  for (std::size_t k = 0; k < FieldNumbers.size(); ++k) {
    const std::int32_t n = FieldNumbers[k];
    if (n < 0 || n >= FieldCount()) QNStorageError(qnerrDictIndexFieldMissing, {tableName_, n});
    d->FieldNumbers[k] = n;
    keyLength += fields_[static_cast<std::size_t>(n)]->Length;
  }
  if (keyLength > kQnMaxKeyLength) QNStorageError(qnerrInvalidKeyLength, {keyLength});
  d->KeyLength = keyLength;
  d->AllowDups = AllowDups;
  d->Ascending = Ascending;
  d->CaseInsensitive = CaseInsensitive;
  return AddIndexChecked(std::move(d));
}

int TqnDataDictionary::AddUserIndex(const std::string& Name, const std::string& Description,
                                    std::int32_t FileNumber, std::int32_t KeyLength, bool AllowDups,
                                    bool Ascending, bool CaseInsensitive) {
  CheckNotBuilt();
  const std::string name = Cut(Name, kQnMaxNameLength);
  if (GetIndexFromName(name) >= 0) QNStorageError(qnerrDuplicateIndexName, {tableName_, name});
  if (FileNumber < 0 || FileNumber >= FileCount()) QNStorageError(qnerrDictFileMissing, {tableName_, FileNumber});
  if (KeyLength < 0 || KeyLength > kQnMaxKeyLength) QNStorageError(qnerrInvalidKeyLength, {KeyLength});
  auto d = std::make_unique<TqnIndexDescriptor>();
  d->Name = name;
  d->Description = Cut(Description, kQnMaxDescriptionLength);
  d->FileNumber = FileNumber;
  d->KeyLength = KeyLength;
  d->FieldCount = -1;
  d->AllowDups = AllowDups;
  d->Ascending = Ascending;
  d->CaseInsensitive = CaseInsensitive;
  return AddIndexChecked(std::move(d));
}

void TqnDataDictionary::RemoveIndex(int I) {
  ++changes_;
  if (I < 0 || I >= IndexCount()) return;
  indexes_.erase(indexes_.begin() + I);
  for (int k = I; k < IndexCount(); ++k) indexes_[static_cast<std::size_t>(k)]->Number = k;
}

void TqnDataDictionary::Assign(const TPersistent* Source) {
  ++changes_;
  CheckNotBuilt();
  const auto* src = dynamic_cast<const TqnDataDictionary*>(Source);
  if (src == nullptr) QNStorageError(qnerrDictAssignNotDict, {tableName_});
  if (src == this) return;
  Clear(true);
  encrypted_ = src->encrypted_;
  for (const auto& f : src->files_) AddFile(f->Description, f->Extension, f->BlockSize, f->FileType);
  for (const auto& f : src->fields_) {
    const int n = AddField(f->Name, f->Description, f->FieldType, f->Units, f->Decimals, f->Required, f->VCheck.get());
    fields_[static_cast<std::size_t>(n)]->Required = f->Required;
  }
  for (std::size_t i = 1; i < src->indexes_.size(); ++i) {
    const auto& d = *src->indexes_[i];
    if (d.FieldCount == -1)
      AddUserIndex(d.Name, d.Description, d.FileNumber, d.KeyLength, d.AllowDups, d.Ascending, d.CaseInsensitive);
    else
      AddIndex(d.Name, d.Description, d.FileNumber,
               std::vector<std::int32_t>(d.FieldNumbers.begin(), d.FieldNumbers.begin() + d.FieldCount), d.AllowDups,
               d.Ascending, d.CaseInsensitive);
  }
}

void TqnDataDictionary::TakeFrom(TqnDataDictionary& Source) {
  ++changes_;
  CheckNotBuilt();
  if (&Source == this) return;
  ++Source.changes_;
  encrypted_ = Source.encrypted_;
  files_ = std::move(Source.files_);
  fields_ = std::move(Source.fields_);
  fieldNumbers_ = std::move(Source.fieldNumbers_);
  indexes_ = std::move(Source.indexes_);
  logicalRecordLength_ = Source.logicalRecordLength_;
  blobFile_ = Source.blobFile_;
  Source.files_.clear();
  Source.fields_.clear();
  Source.fieldNumbers_.clear();
  Source.indexes_.clear();
  Source.Clear(true);
}

void TqnDataDictionary::SetTableName(const std::string& Name) { tableName_ = Cut(Name, kQnMaxNameLength); }

void TqnDataDictionary::SetIsEncrypted(bool Flag) {
  ++changes_;
  CheckNotBuilt();
  encrypted_ = Flag;
}

std::int32_t TqnDataDictionary::RecordLength() const { return logicalRecordLength_ + NullBytes(FieldCount()); }

std::int32_t TqnDataDictionary::BlockSize() const { return files_.empty() ? 4096 : files_[0]->BlockSize; }

int TqnDataDictionary::GetFieldFromName(const std::string& Name) const {
  // A field map names every field of two dictionaries: the key is made in room kept per thread.
  thread_local std::string key;
  MakeNameKey(Name, key);
  const auto it = fieldNumbers_.find(key);
  return it == fieldNumbers_.end() ? -1 : it->second;
}

int TqnDataDictionary::GetIndexFromName(const std::string& Name) const {
  for (int i = 0; i < IndexCount(); ++i)
    if (SameName(indexes_[static_cast<std::size_t>(i)]->Name, Name)) return i;
  return -1;
}

bool TqnDataDictionary::HasAutoIncField(int& FieldNumber) const {
  for (int i = 0; i < FieldCount(); ++i)
    if (fields_[static_cast<std::size_t>(i)]->FieldType == qftAutoInc) {
      FieldNumber = i;
      return true;
    }
  return false;
}

bool TqnDataDictionary::IsIndexDescValid(const TqnIndexDescriptor& D) const {
  if (D.Name.empty() || D.FileNumber < 0 || D.FileNumber >= FileCount()) return false;
  if (D.FieldCount == -1) return D.KeyLength >= 1 && D.KeyLength <= kQnMaxKeyLength;
  if (D.FieldCount <= 0 || D.FieldCount > kQnMaxIndexFields) return false;
  std::int32_t length = NullBytes(D.FieldCount);
  for (int k = 0; k < D.FieldCount; ++k) {
    const std::int32_t n = D.FieldNumbers[static_cast<std::size_t>(k)];
    if (n < 0 || n >= FieldCount()) return false;
    length += fields_[static_cast<std::size_t>(n)]->Length;
  }
  return length <= kQnMaxKeyLength;
}

void TqnDataDictionary::InitRecord(std::uint8_t* Record) const {
  if (Record == nullptr || fields_.empty()) return;
  std::memset(Record, 0, static_cast<std::size_t>(RecordLength()));
  QNSetAllBits(Record + logicalRecordLength_, static_cast<std::size_t>(FieldCount()));
}

bool TqnDataDictionary::IsRecordFieldNull(int I, const std::uint8_t* Record) const {
  if (I < 0 || I >= FieldCount()) ItemMissing(I);
  if (Record == nullptr) return true;
  return QNIsBitSet(Record + logicalRecordLength_, static_cast<std::size_t>(I));
}

void TqnDataDictionary::GetRecordField(int I, const std::uint8_t* Record, std::uint8_t* Buffer, bool& IsNull) const {
  const TqnFieldDescriptor& f = FieldDescriptor(I);
  IsNull = IsRecordFieldNull(I, Record);
  if (!IsNull && Buffer != nullptr) std::memcpy(Buffer, Record + f.Offset, static_cast<std::size_t>(f.Length));
}

void TqnDataDictionary::SetRecordField(int I, std::uint8_t* Record, const std::uint8_t* Value) const {
  const TqnFieldDescriptor& f = FieldDescriptor(I);
  if (Record == nullptr) return;
  std::uint8_t* nulls = Record + logicalRecordLength_;
  if (Value != nullptr) {
    QNClearBit(nulls, static_cast<std::size_t>(I));
    std::memmove(Record + f.Offset, Value, static_cast<std::size_t>(f.Length));
  } else {
    QNSetBit(nulls, static_cast<std::size_t>(I));
    std::memset(Record + f.Offset, 0, static_cast<std::size_t>(f.Length));
  }
}

bool TqnDataDictionary::CheckRequiredFields(const std::uint8_t* Record) const {
  if (Record == nullptr) return false;
  for (int i = 0; i < FieldCount(); ++i)
    if (fields_[static_cast<std::size_t>(i)]->Required && IsRecordFieldNull(i, Record)) return false;
  return true;
}

void TqnDataDictionary::ExtractKey(int IndexNumber, const std::uint8_t* Record, std::uint8_t* Key) const {
  const TqnIndexDescriptor& d = IndexDescriptor(IndexNumber);
  if (d.FieldCount <= 0 || Key == nullptr) return;
  InitKey(Key, d.KeyLength, d.FieldCount);
  std::int32_t offset = 0;
  for (int k = 0; k < d.FieldCount; ++k) {
    const int n = d.FieldNumbers[static_cast<std::size_t>(k)];
    const TqnFieldDescriptor& f = FieldDescriptor(n);
    if (Record != nullptr && !IsRecordFieldNull(n, Record)) {
      std::memcpy(Key + offset, Record + f.Offset, static_cast<std::size_t>(f.Length));
      SetKeyFieldNonNull(Key, d.KeyLength, d.FieldCount, k);
    }
    offset += f.Length;
  }
}

void TqnDataDictionary::InitKey(std::uint8_t* Key, int KeyLength, int FieldCount) {
  if (Key == nullptr || KeyLength <= 0) return;
  std::memset(Key, 0, static_cast<std::size_t>(KeyLength));
  const int nb = NullBytes(FieldCount);
  if (nb > 0 && nb <= KeyLength) std::memset(Key + KeyLength - nb, 0xFF, static_cast<std::size_t>(nb));
}

bool TqnDataDictionary::IsKeyFieldNull(const std::uint8_t* Key, int KeyLength, int FieldCount, int K) {
  if (Key == nullptr) return true;
  const int nb = NullBytes(FieldCount);
  if (K < 0 || K >= FieldCount || nb > KeyLength) return true;
  return QNIsBitSet(Key + KeyLength - nb, static_cast<std::size_t>(K));
}

void TqnDataDictionary::SetKeyFieldNonNull(std::uint8_t* Key, int KeyLength, int FieldCount, int K) {
  const int nb = NullBytes(FieldCount);
  if (Key == nullptr || K < 0 || K >= FieldCount || nb > KeyLength) return;
  QNClearBit(Key + KeyLength - nb, static_cast<std::size_t>(K));
}

void TqnDataDictionary::CheckValid() {
  ++changes_;
  if (fields_.empty()) QNStorageError(qnerrDictNoFields, {tableName_});
  if (RecordLength() > BlockSize() - 36) QNStorageError(qnerrDictRecordTooLong, {tableName_});
  if (IndexCount() > kQnMaxIndexes) QNStorageError(qnerrTooManyIndexes, {tableName_});
  for (int i = 1; i < IndexCount(); ++i) {
    TqnIndexDescriptor& d = *indexes_[static_cast<std::size_t>(i)];
    if (d.FieldCount == -1) continue;
    if (d.FieldCount <= 0) QNStorageError(qnerrCompositeIndexEmpty, {tableName_});
    if (d.FieldCount > kQnMaxIndexFields) QNStorageError(qnerrInvalidParameter, {"CheckValid", i});
    std::int32_t length = NullBytes(d.FieldCount);
    for (int k = 0; k < d.FieldCount; ++k) {
      const std::int32_t n = d.FieldNumbers[static_cast<std::size_t>(k)];
      if (n < 0 || n >= FieldCount()) QNStorageError(qnerrDictIndexFieldMissing, {tableName_, n});
      length += fields_[static_cast<std::size_t>(n)]->Length;
    }
    if (length > kQnMaxKeyLength) QNStorageError(qnerrInvalidKeyLength, {length});
    d.KeyLength = length;
  }
  std::string key;
  for (int i = 0; i < FieldCount(); ++i) {
    MakeNameKey(fields_[static_cast<std::size_t>(i)]->Name, key);
    const auto it = fieldNumbers_.find(key);
    if (it == fieldNumbers_.end() || it->second != i)
      QNStorageError(qnerrDuplicateFieldName, {tableName_, fields_[static_cast<std::size_t>(i)]->Name});
  }
  for (int i = 1; i < IndexCount(); ++i)
    if (GetIndexFromName(indexes_[static_cast<std::size_t>(i)]->Name) != i)
      QNStorageError(qnerrDuplicateIndexName, {tableName_, indexes_[static_cast<std::size_t>(i)]->Name});
}

}  // namespace tw::dbengine
