// Field and key comparison.
#include "dbengine/storage/key_compare.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "dbengine/base/compare.h"
#include "dbengine/base/errors.h"
#include "dbengine/storage/data_dictionary.h"
#include "dbengine/storage/key_collation.h"
#include "dbengine/storage/storage_errors.h"

namespace tw::dbengine {

namespace {

static_assert(std::numeric_limits<long double>::digits == 64, "extended values need the 80-bit long double");

template <typename T>
T Load(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}

long double LoadExtended(const std::uint8_t* p) {
  long double v = 0;
  std::memcpy(&v, p, 10);
  return v;
}

template <typename F>
int CompareFloat(F a, F b) {
  const bool na = std::isnan(a);
  const bool nb = std::isnan(b);
  if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
  return QNCmp3(a, b);
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Text of a short string field: its length byte capped at the field's capacity.
inline std::string_view ShortText(const std::uint8_t* p, std::int32_t Length) {
  std::size_t n = p[0];
  const std::size_t cap = Length > 1 ? static_cast<std::size_t>(Length - 1) : 0;
  if (n > cap) n = cap;
  return {reinterpret_cast<const char*>(p + 1), n};
}

// Text of a zero-terminated field: up to the first zero, at most the field's length.
std::string_view ZText(const std::uint8_t* p, std::int32_t Length) {
  const std::size_t cap = Length > 0 ? static_cast<std::size_t>(Length) : 0;
  const void* z = std::memchr(p, 0, cap);
  const std::size_t n = z == nullptr ? cap : static_cast<std::size_t>(static_cast<const std::uint8_t*>(z) - p);
  return {reinterpret_cast<const char*>(p), n};
}

// Code units of a zero-terminated 16-bit field, at most Length div 2.
std::vector<std::uint16_t> WideText(const std::uint8_t* p, std::int32_t Length, std::size_t Max) {
  std::vector<std::uint16_t> out;
  const std::size_t cap = Length > 0 ? static_cast<std::size_t>(Length / 2) : 0;
  for (std::size_t i = 0; i < cap && out.size() < Max; ++i) {
    const std::uint16_t c = static_cast<std::uint16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    if (c == 0) break;
    out.push_back(c);
  }
  return out;
}

inline int Bytewise(std::string_view a, std::string_view b, bool ci) {
  return ci ? QNCmpShStrUC(a, b, 255 * 255) : QNCmpShStr(a, b, 255 * 255);
}

inline std::string_view Cut(std::string_view s, std::size_t n) { return s.size() > n ? std::string_view(s.data(), n) : s; }

// Two short strings compared by bytes (qftShortString): each capped at the field's capacity and
// at MaxChars.
inline int CompareShortStrings(const std::uint8_t* v1, const std::uint8_t* v2, std::int32_t Length, bool CaseInsensitive,
                               std::size_t MaxChars) {
  const std::size_t cap = std::min(Length > 1 ? static_cast<std::size_t>(Length - 1) : std::size_t{0}, MaxChars);
  const std::string_view a(reinterpret_cast<const char*>(v1 + 1), std::min<std::size_t>(v1[0], cap));
  const std::string_view b(reinterpret_cast<const char*>(v2 + 1), std::min<std::size_t>(v2[0], cap));
  return CaseInsensitive ? QNCmpShStrUC(a, b, cap) : QNCmpShStr(a, b, cap);
}

int CompareStrings(const std::uint8_t* v1, const std::uint8_t* v2, int type, bool ci, std::int32_t len,
                   std::size_t maxChars) {
  switch (type) {
    case qftShortString:
      return CompareShortStrings(v1, v2, len, ci, maxChars);
    case qftShortStringLocale:
      return QNCollateText(Cut(ShortText(v1, len), maxChars), Cut(ShortText(v2, len), maxChars), ci);
    case qftZString:
      return Bytewise(Cut(ZText(v1, len), maxChars), Cut(ZText(v2, len), maxChars), ci);
    case qftZStringLocale:
      return QNCollateText(Cut(ZText(v1, len), maxChars), Cut(ZText(v2, len), maxChars), ci);
    default: {  // qftWideZString
      const auto a = WideText(v1, len, maxChars);
      const auto b = WideText(v2, len, maxChars);
      return QNCollateWide(a.data(), a.size(), b.data(), b.size(), ci);
    }
  }
}

bool IsStringType(int t) { return t >= qftShortString && t <= qftWideZString; }

}  // namespace

static_assert(TqnKeyFieldList::kCapacity == kQnMaxIndexFields, "a key field list holds every field of an index");

TqnKeyCompareParams QNMakeKeyCompareParams(const TqnDataDictionary& Dictionary, int IndexNumber) {
  const TqnIndexDescriptor& d = Dictionary.IndexDescriptor(IndexNumber);
  TqnKeyCompareParams p;
  p.KeyLength = d.KeyLength;
  p.Dictionary = &Dictionary;
  p.IndexNumber = IndexNumber;
  p.Ascending = d.Ascending;
  p.CaseInsensitive = d.CaseInsensitive;
  std::int32_t off = 0;
  for (int k = 0; k < d.FieldCount && k < kQnMaxIndexFields; ++k) {
    const int f = d.FieldNumbers[static_cast<std::size_t>(k)];
    TqnKeyField kf;
    kf.Offset = off;
    kf.Length = Dictionary.FieldLength(f);
    kf.FieldType = Dictionary.FieldType(f);
    if (kf.FieldType == qftInt32 || kf.FieldType == qftDate || kf.FieldType == qftTime)
      kf.Kind = kfkInt32;
    else if (kf.FieldType == qftShortString)
      kf.Kind = kfkShortString;
    off += kf.Length;
    p.Fields.push_back(kf);
  }
  p.SingleInt32 = p.Fields.size() == 1 && p.Fields[0].Length == 4 && p.KeyLength == 5 &&
                  (p.Fields[0].FieldType == qftInt32 || p.Fields[0].FieldType == qftDate ||
                   p.Fields[0].FieldType == qftTime);
  return p;
}

int QNCompareFieldValues(const std::uint8_t* Value1, const std::uint8_t* Value2, int FieldType, bool CaseInsensitive,
                         std::int32_t Length) {
  switch (FieldType) {
    case qftBoolean:
      return QNCmp3(Value1[0] != 0, Value2[0] != 0);
    case qftChar:
      if (CaseInsensitive) return QNCmp3(static_cast<unsigned char>(AsciiUpper(static_cast<char>(Value1[0]))),
                                         static_cast<unsigned char>(AsciiUpper(static_cast<char>(Value2[0]))));
      return QNCmpB(Value1[0], Value2[0]);
    case qftWideChar: {
      const std::uint16_t a = Load<std::uint16_t>(Value1);
      const std::uint16_t b = Load<std::uint16_t>(Value2);
      return QNCollateWide(&a, 1, &b, 1, CaseInsensitive);
    }
    case qftUInt8: return QNCmpB(Value1[0], Value2[0]);
    case qftUInt16: return QNCmpW(Load<std::uint16_t>(Value1), Load<std::uint16_t>(Value2));
    case qftUInt32:
    case qftAutoInc: return QNCmpDW(Load<std::uint32_t>(Value1), Load<std::uint32_t>(Value2));
    case qftInt8: return QNCmpI8(Load<std::int8_t>(Value1), Load<std::int8_t>(Value2));
    case qftInt16: return QNCmpI16(Load<std::int16_t>(Value1), Load<std::int16_t>(Value2));
    case qftInt32:
    case qftDate:
    case qftTime: return QNCmpI32(Load<std::int32_t>(Value1), Load<std::int32_t>(Value2));
    case qftSingle: return CompareFloat(Load<float>(Value1), Load<float>(Value2));
    case qftDouble:
    case qftDateTime: return CompareFloat(Load<double>(Value1), Load<double>(Value2));
    case qftExtended: return CompareFloat(LoadExtended(Value1), LoadExtended(Value2));
    case qftComp:
    case qftCurrency: return QNCmp3(Load<std::int64_t>(Value1), Load<std::int64_t>(Value2));
    case qftByteArray: return QNCmpBytes(Value1, Value2, Length > 0 ? static_cast<std::size_t>(Length) : 0);
    case qftShortString:
    case qftShortStringLocale:
    case qftZString:
    case qftZStringLocale:
    case qftWideZString:
      return CompareStrings(Value1, Value2, FieldType, CaseInsensitive, Length, std::numeric_limits<std::size_t>::max());
    default:
      if (QNIsBlobFieldType(FieldType)) QNStorageError(qnerrCompareBlobFields);
      QNStorageError(qnerrDictUnknownFieldType, {FieldType});
  }
}

int QNComparePartialString(const std::uint8_t* Value1, const std::uint8_t* Value2, int FieldType, bool CaseInsensitive,
                           std::int32_t Length, int PartialLength) {
  if (!IsStringType(FieldType)) return QNCompareFieldValues(Value1, Value2, FieldType, CaseInsensitive, Length);
  return CompareStrings(Value1, Value2, FieldType, CaseInsensitive, Length,
                        PartialLength > 0 ? static_cast<std::size_t>(PartialLength) : 0);
}

namespace {

// Field K of two composite keys, neither of them null there, in the index's direction; Partial
// compares PartialLength (> 0) characters of a string.  A field's Kind must be the one
// QNMakeKeyCompareParams gives its type.
inline int CompareKeyValues(const std::uint8_t* Key1, const std::uint8_t* Key2, const TqnKeyCompareParams& P, int K,
                            bool Partial) {
  const TqnKeyField& f = P.Fields[static_cast<std::size_t>(K)];
  const std::uint8_t* v1 = Key1 + f.Offset;
  const std::uint8_t* v2 = Key2 + f.Offset;
  int r;
  // The commonest key fields are compared here: every step of a search compares keys.
  if (Partial)
    r = f.Kind == kfkShortString
            ? CompareShortStrings(v1, v2, f.Length, P.CaseInsensitive, static_cast<std::size_t>(P.PartialLength))
            : QNComparePartialString(v1, v2, f.FieldType, P.CaseInsensitive, f.Length, P.PartialLength);
  else if (f.Kind == kfkInt32)
    r = QNCmpI32(Load<std::int32_t>(v1), Load<std::int32_t>(v2));
  else if (f.Kind == kfkShortString)
    r = CompareShortStrings(v1, v2, f.Length, P.CaseInsensitive, std::numeric_limits<std::size_t>::max());
  else
    r = QNCompareFieldValues(v1, v2, f.FieldType, P.CaseInsensitive, f.Length);
  return QNApplyDirection(P.Ascending, r);
}

// Field K of two composite keys whose null bits lie at Nulls1 and Nulls2: nulls first (in both
// directions), then the values.
inline int CompareKeyField(const std::uint8_t* Key1, const std::uint8_t* Key2, const std::uint8_t* Nulls1,
                           const std::uint8_t* Nulls2, const TqnKeyCompareParams& P, int K, bool Partial) {
  const bool null1 = (Nulls1[K >> 3] >> (K & 7)) & 1;
  const bool null2 = (Nulls2[K >> 3] >> (K & 7)) & 1;
  if (null1) return null2 ? 0 : -1;
  if (null2) return 1;
  return CompareKeyValues(Key1, Key2, P, K, Partial);
}

// QNKeyCompareComposite in general: any leading-field count and partial length, nulls anywhere.
[[gnu::noinline]] int CompareCompositeKeys(const std::uint8_t* Key1, const std::uint8_t* Key2,
                                           const TqnKeyCompareParams& P) {
  const int total = static_cast<int>(P.Fields.size());
  int n;
  if (P.FieldCount > 0)
    n = std::min(P.FieldCount, total - (P.PartialLength > 0 ? 1 : 0));
  else
    n = P.PartialLength > 0 ? 0 : total;
  if (n < 0) n = 0;
  // The null bits of the key's fields, in its last bytes (a set bit: the field is null).
  const int nullBytes = (total + 7) / 8;
  const std::uint8_t* nulls1 = Key1 + (P.KeyLength - nullBytes);
  const std::uint8_t* nulls2 = Key2 + (P.KeyLength - nullBytes);
  for (int k = 0; k < n; ++k)
    if (const int r = CompareKeyField(Key1, Key2, nulls1, nulls2, P, k, false); r != 0) return r;
  if (P.PartialLength > 0 && n < total && IsStringType(P.Fields[static_cast<std::size_t>(n)].FieldType))
    return CompareKeyField(Key1, Key2, nulls1, nulls2, P, n, true);
  return 0;
}

}  // namespace

int QNKeyCompareComposite(const std::uint8_t* Key1, const std::uint8_t* Key2, const TqnKeyCompareParams& P) {
  if (P.SingleInt32) return QNKeyCompareSingleInt32(Key1, Key2, P);
  // What the searches of inserts and lookups mostly compare: whole keys of up to eight fields
  // (one null byte, the key's last) with no null field on either side.
  const std::size_t total = P.Fields.size();
  if (P.FieldCount == 0 && P.PartialLength == 0 && total >= 1 && total <= 8 && P.KeyLength >= 1) {
    const unsigned fieldBits = (1u << total) - 1;
    const std::size_t last = static_cast<std::size_t>(P.KeyLength - 1);
    if (((Key1[last] | Key2[last]) & fieldBits) == 0) {
      for (std::size_t k = 0; k < total; ++k)
        if (const int r = CompareKeyValues(Key1, Key2, P, static_cast<int>(k), false); r != 0) return r;
      return 0;
    }
  }
  return CompareCompositeKeys(Key1, Key2, P);
}

int QNKeyCompareRefNr(const std::uint8_t* Key1, const std::uint8_t* Key2, const TqnKeyCompareParams& P) {
  return QNCompareRefNrKeys(Key1, Key2, P.Ascending);
}

int QNKeyCompareUser(const std::uint8_t* Key1, const std::uint8_t* Key2, const TqnKeyCompareParams& P) {
  if (P.UserCompare == nullptr) QNStorageError(qnerrUserRoutinesMissing);
  TqnUserKeyCompareParams u{};
  u.KeyLength = P.KeyLength;
  u.IndexNumber = P.IndexNumber;
  u.FieldCount = P.FieldCount;
  u.PartialLength = P.PartialLength;
  u.Ascending = P.Ascending ? 1 : 0;
  u.CaseInsensitive = P.CaseInsensitive ? 1 : 0;
  const std::int32_t r = P.UserCompare(Key1, Key2, &u);
  return r < 0 ? -1 : r > 0 ? 1 : 0;
}

}  // namespace tw::dbengine
