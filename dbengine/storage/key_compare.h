// Comparison of stored field values and of index keys.  The same functions order the keys
// inside every B-tree and compare the search keys of clients, so they define the stored order
// of every index.  Text fields compared "by locale" use the fixed collation of key_collation.h.
#pragma once

#include <cstdint>
#include <cstddef>
#include <cstring>

#include "dbengine/storage/user_key_routines.h"

namespace tw::dbengine {

class TqnDataDictionary;

// How QNKeyCompareComposite compares one key field: through QNCompareFieldValues, or in line
// for the commonest key fields (with the same answers).
enum TqnKeyFieldKind : std::uint8_t {
  kfkGeneral = 0,
  kfkInt32 = 1,        // a 32-bit integer, a date or a time
  kfkShortString = 2,  // a short string compared by bytes (upper-cased when case-insensitive)
};

// Where one field of a composite key lies in the key.
struct TqnKeyField {
  std::int32_t Offset = 0;
  std::int32_t Length = 0;
  int FieldType = 0;
  // Set by QNMakeKeyCompareParams from FieldType; a field left at kfkGeneral is compared the
  // general way.
  TqnKeyFieldKind Kind = kfkGeneral;
};

// The fields of a key in key order: at most as many as an index has (16), held in place, so
// that making the parameters of an index allocates nothing.
class TqnKeyFieldList {
 public:
  static constexpr int kCapacity = 16;
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // A field past the capacity is not taken (no index has more).
  void push_back(const TqnKeyField& F) {
    if (count_ < static_cast<std::size_t>(kCapacity)) fields_[count_++] = F;
  }
  void clear() { count_ = 0; }
  TqnKeyField& operator[](std::size_t I) { return fields_[I]; }
  const TqnKeyField& operator[](std::size_t I) const { return fields_[I]; }
  TqnKeyField* begin() { return fields_; }
  TqnKeyField* end() { return fields_ + count_; }
  const TqnKeyField* begin() const { return fields_; }
  const TqnKeyField* end() const { return fields_ + count_; }

 private:
  TqnKeyField fields_[kCapacity];
  std::size_t count_ = 0;
};

// How the keys of one index (or one cursor on it) are compared.
struct TqnKeyCompareParams {
  std::int32_t KeyLength = 0;
  const TqnDataDictionary* Dictionary = nullptr;
  int IndexNumber = 0;
  int FieldCount = 0;     // leading fields to compare, 0 = all
  int PartialLength = 0;  // characters of the next (string) field to compare, 0 = none
  bool Ascending = true;
  bool CaseInsensitive = false;
  // The index's fields in key order, filled by QNMakeKeyCompareParams.
  TqnKeyFieldList Fields;
  // Set by QNMakeKeyCompareParams: the key is one field of 32-bit integers (its value and its
  // null byte), which QNKeyCompareComposite compares without going through the field list.
  bool SingleInt32 = false;
  // The compare routine of an index of user key routines (QNKeyCompareUser calls it).
  TqnUserCompareKeyProc UserCompare = nullptr;
};

using TqnKeyCompareFunc = int (*)(const std::uint8_t* Key1, const std::uint8_t* Key2,
                                  const TqnKeyCompareParams& Parameters);

// The parameters of composite index IndexNumber of Dictionary, comparing all fields.
TqnKeyCompareParams QNMakeKeyCompareParams(const TqnDataDictionary& Dictionary, int IndexNumber);

// QNKeyCompareComposite of a key of one 32-bit integer field (Parameters.SingleInt32): its
// value, then its null byte.  For the searches, which compare a key at every step.
inline int QNKeyCompareSingleInt32(const std::uint8_t* Key1, const std::uint8_t* Key2,
                                   const TqnKeyCompareParams& Parameters) {
  // A part of a field applies to text only: the keys then agree.
  if (Parameters.PartialLength > 0) return 0;
  const bool null1 = (Key1[4] & 1) != 0;
  const bool null2 = (Key2[4] & 1) != 0;
  if (null1 || null2) return null1 == null2 ? 0 : (null1 ? -1 : 1);  // nulls first either way
  std::int32_t a, b;
  std::memcpy(&a, Key1, 4);
  std::memcpy(&b, Key2, 4);
  const int r = a < b ? -1 : (a > b ? 1 : 0);
  return Parameters.Ascending ? r : -r;
}

// Two record-reference keys: signed 32-bit, negated when not Ascending (QNKeyCompareRefNr).
inline int QNCompareRefNrKeys(const std::uint8_t* Key1, const std::uint8_t* Key2, bool Ascending) {
  std::int32_t a, b;
  std::memcpy(&a, Key1, 4);
  std::memcpy(&b, Key2, 4);
  const int r = a < b ? -1 : (a > b ? 1 : 0);
  return Ascending ? r : -r;
}

// Composite keys: nulls first (in both directions), then field by field.  -1, 0 or 1.
int QNKeyCompareComposite(const std::uint8_t* Key1, const std::uint8_t* Key2, const TqnKeyCompareParams& Parameters);
// Keys that are record references: signed 32-bit, negated when not ascending.
int QNKeyCompareRefNr(const std::uint8_t* Key1, const std::uint8_t* Key2, const TqnKeyCompareParams& Parameters);

// Keys of an index of user key routines: Parameters.UserCompare decides; its answer is mapped
// to -1, 0 or 1.  Without a routine it raises 23723 (the routines are missing).
int QNKeyCompareUser(const std::uint8_t* Key1, const std::uint8_t* Key2, const TqnKeyCompareParams& Parameters);

// Two stored values of one field type and length: -1, 0 or 1.  BLOB types raise 23730,
// unknown types 23637.  Floating-point NaN sorts after every number and equals itself.
int QNCompareFieldValues(const std::uint8_t* Value1, const std::uint8_t* Value2, int FieldType, bool CaseInsensitive,
                         std::int32_t Length);
// The same over at most PartialLength characters of a string field (types 46 to 50).
int QNComparePartialString(const std::uint8_t* Value1, const std::uint8_t* Value2, int FieldType, bool CaseInsensitive,
                           std::int32_t Length, int PartialLength);

}  // namespace tw::dbengine
