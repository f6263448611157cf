// Field conversion between storage types.
#include "dbengine/storage/field_convert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "dbengine/storage/data_dictionary.h"
#include "platform/rtl/win1252.h"

namespace tw::dbengine {

namespace {

constexpr std::int32_t kDateDelta = 693594;  // stored date = the class library's day count + this
constexpr double kMSecsPerDay = 86400000.0;

bool In(int t, std::initializer_list<int> set) {
  for (int s : set)
    if (s == t) return true;
  return false;
}

bool IsText(int t) { return t == qftChar || t == qftWideChar || (t >= qftShortString && t <= qftWideZString); }
bool IsBlob(int t) { return t >= qftBlobBinary && t <= qftBlobTypedBinary; }

template <typename T>
T Load(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}
template <typename T>
void Store(std::uint8_t* p, std::int32_t len, T v) {
  if (len >= static_cast<std::int32_t>(sizeof(T))) std::memcpy(p, &v, sizeof(T));
}

long double LoadExtended(const std::uint8_t* p) {
  long double v = 0;
  std::memcpy(&v, p, 10);
  return v;
}
void StoreExtended(std::uint8_t* p, std::int32_t len, long double v) {
  if (len >= 10) std::memcpy(p, &v, 10);
}

// Source text as 16-bit code units.
std::u16string SourceText(const std::uint8_t* s, int type, std::int32_t len) {
  std::u16string out;
  auto narrow = [&out](const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<char16_t>(Win1252ToCodePoint(static_cast<char>(p[i]))));
  };
  switch (type) {
    case qftBoolean: out.push_back(s[0] != 0 ? u'Y' : u'N'); break;
    case qftChar:
      if (s[0] != 0) narrow(s, 1);
      break;
    case qftWideChar: {
      const auto c = Load<std::uint16_t>(s);
      if (c != 0) out.push_back(static_cast<char16_t>(c));
      break;
    }
    case qftShortString:
    case qftShortStringLocale: {
      std::size_t n = s[0];
      const std::size_t cap = len > 1 ? static_cast<std::size_t>(len - 1) : 0;
      narrow(s + 1, n < cap ? n : cap);
      break;
    }
    case qftZString:
    case qftZStringLocale: {
      const std::size_t cap = len > 0 ? static_cast<std::size_t>(len) : 0;
      const void* z = std::memchr(s, 0, cap);
      narrow(s, z == nullptr ? cap : static_cast<std::size_t>(static_cast<const std::uint8_t*>(z) - s));
      break;
    }
    default:  // qftWideZString
      for (std::int32_t i = 0; i + 1 < len; i += 2) {
        const auto c = static_cast<char16_t>(s[i] | (s[i + 1] << 8));
        if (c == 0) break;
        out.push_back(c);
      }
  }
  return out;
}

std::uint8_t ToByte(char16_t c) {
  const int b = CodePointToWin1252(c);
  return static_cast<std::uint8_t>(b < 0 ? '?' : b);
}

void WriteText(const std::u16string& text, std::uint8_t* t, int type, std::int32_t len) {
  const std::size_t n = text.size();
  switch (type) {
    case qftChar:
      if (len >= 1) t[0] = n > 0 ? ToByte(text[0]) : 0;
      break;
    case qftWideChar:
      Store<std::uint16_t>(t, len, n > 0 ? static_cast<std::uint16_t>(text[0]) : 0);
      break;
    case qftShortString:
    case qftShortStringLocale: {
      const std::size_t k = std::min<std::size_t>({n, len > 1 ? static_cast<std::size_t>(len - 1) : 0, 255});
      if (len < 1) break;
      t[0] = static_cast<std::uint8_t>(k);
      for (std::size_t i = 0; i < k; ++i) t[1 + i] = ToByte(text[i]);
      break;
    }
    case qftZString:
    case qftZStringLocale: {
      const std::size_t k = std::min<std::size_t>(n, len > 1 ? static_cast<std::size_t>(len - 1) : 0);
      for (std::size_t i = 0; i < k; ++i) t[i] = ToByte(text[i]);
      break;
    }
    default: {  // qftWideZString
      const std::size_t cap = len >= 2 ? static_cast<std::size_t>(len / 2 - 1) : 0;
      const std::size_t k = std::min(n, cap);
      for (std::size_t i = 0; i < k; ++i) {
        t[2 * i] = static_cast<std::uint8_t>(text[i]);
        t[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
      }
    }
  }
}

// Integer source values, widened.
std::int64_t LoadInteger(const std::uint8_t* s, int type) {
  switch (type) {
    case qftUInt8: return s[0];
    case qftUInt16: return Load<std::uint16_t>(s);
    case qftUInt32:
    case qftAutoInc: return Load<std::uint32_t>(s);
    case qftInt8: return Load<std::int8_t>(s);
    case qftInt16: return Load<std::int16_t>(s);
    default: return Load<std::int32_t>(s);
  }
}

void StoreInteger(std::uint8_t* t, std::int32_t len, int type, std::int64_t v) {
  switch (type) {
    case qftUInt8:
    case qftInt8: if (len >= 1) t[0] = static_cast<std::uint8_t>(v); break;
    case qftUInt16:
    case qftInt16: Store<std::uint16_t>(t, len, static_cast<std::uint16_t>(v)); break;
    default: Store<std::uint32_t>(t, len, static_cast<std::uint32_t>(v)); break;
  }
}

constexpr int kOk = 0;
constexpr int kBad = kQnResInvalidFieldTransformation;

// A floating-point value as currency (times 10000, rounded half to even).
int ToCurrency(long double x, std::uint8_t* t, std::int32_t len) {
  if (!std::isfinite(x)) return kBad;
  const long double scaled = std::nearbyint(x * 10000.0L);
  // 2^63 is exactly representable; anything at or beyond it does not fit.
  if (scaled < -9223372036854775808.0L || scaled >= 9223372036854775808.0L) return kBad;
  Store<std::int64_t>(t, len, static_cast<std::int64_t>(scaled));
  return kOk;
}

int ConvertNumber(const std::uint8_t* s, int st, std::uint8_t* t, int tt, std::int32_t tl) {
  if (st == qftComp) {
    Store<std::int64_t>(t, tl, Load<std::int64_t>(s));
    return kOk;
  }
  if (st == qftCurrency) {
    if (tt == qftCurrency)
      Store<std::int64_t>(t, tl, Load<std::int64_t>(s));
    else
      StoreExtended(t, tl, static_cast<long double>(Load<std::int64_t>(s)) / 10000.0L);
    return kOk;
  }
  if (st == qftSingle || st == qftDouble || st == qftExtended) {
    const long double x = st == qftSingle ? Load<float>(s) : (st == qftDouble ? Load<double>(s) : LoadExtended(s));
    switch (tt) {
      case qftSingle: Store<float>(t, tl, static_cast<float>(x)); return kOk;
      case qftDouble: Store<double>(t, tl, static_cast<double>(x)); return kOk;
      case qftExtended: StoreExtended(t, tl, x); return kOk;
      default: return ToCurrency(x, t, tl);
    }
  }
  // Integer sources; unsigned 32-bit values keep their value above the signed range.
  const std::int64_t v = LoadInteger(s, st);
  if (tt >= qftSingle && tt <= qftCurrency) {
    switch (tt) {
      case qftSingle: Store<float>(t, tl, static_cast<float>(v)); break;
      case qftDouble: Store<double>(t, tl, static_cast<double>(v)); break;
      case qftExtended: StoreExtended(t, tl, static_cast<long double>(v)); break;
      case qftComp: Store<std::int64_t>(t, tl, v); break;
      default: Store<std::int64_t>(t, tl, v * 10000); break;
    }
    return kOk;
  }
  StoreInteger(t, tl, tt, v);
  return kOk;
}

int ConvertDate(const std::uint8_t* s, int st, std::uint8_t* t, int tt, std::int32_t tl) {
  if (st == tt) {
    std::memcpy(t, s, static_cast<std::size_t>(std::min<std::int32_t>(tl, st == qftDateTime ? 8 : 4)));
    return kOk;
  }
  if (st == qftDate) {
    Store<double>(t, tl, static_cast<double>(Load<std::int32_t>(s)) - kDateDelta);
    return kOk;
  }
  if (st == qftTime) {
    Store<double>(t, tl, static_cast<double>(Load<std::int32_t>(s)) / kMSecsPerDay);
    return kOk;
  }
  const double dt = Load<double>(s);
  if (!std::isfinite(dt)) return kBad;
  if (tt == qftDate) {
    const double days = std::trunc(dt) + kDateDelta;
    if (days < std::numeric_limits<std::int32_t>::min() || days > std::numeric_limits<std::int32_t>::max()) return kBad;
    Store<std::int32_t>(t, tl, static_cast<std::int32_t>(days));
    return kOk;
  }
  double ms = std::nearbyint(std::fabs(dt - std::trunc(dt)) * kMSecsPerDay);
  if (ms >= kMSecsPerDay) ms = kMSecsPerDay - 1;
  Store<std::int32_t>(t, tl, static_cast<std::int32_t>(ms));
  return kOk;
}

// The bytes a source value of a fixed-size type occupies; 0 for types whose length is the field's.
std::int32_t FixedSize(int type) {
  if (type >= qftByteArray && type <= qftWideZString) return 0;
  std::int32_t units = 0, decimals = 0, length = 0;
  QNFieldStorage(type, units, decimals, length);
  return length;
}

}  // namespace

bool QNIsFieldConversionSupported(int s, int t) {
  switch (s) {
    case qftBoolean: return In(t, {0, 1, 2, 3, 6, 4, 7, 5, 8, 46, 47, 48, 49, 50});
    case qftChar:
    case qftWideChar:
    case qftShortString:
    case qftShortStringLocale:
    case qftZString:
    case qftZStringLocale:
    case qftWideZString: return IsText(t);
    case qftUInt8: return In(t, {3, 4, 7, 5, 8, 9, 10, 11, 12, 13, 14});
    case qftUInt16: return In(t, {4, 5, 8, 9, 10, 11, 12, 13, 14});
    case qftUInt32:
    case qftAutoInc: return In(t, {5, 9, 10, 11, 12, 13, 14});
    case qftInt8: return In(t, {6, 7, 8, 10, 11, 12, 13, 14});
    case qftInt16: return In(t, {7, 8, 10, 11, 12, 13, 14});
    case qftInt32: return In(t, {8, 10, 11, 12, 13, 14});
    case qftSingle: return In(t, {10, 11, 12, 14});
    case qftDouble: return In(t, {11, 12, 14});
    case qftExtended: return In(t, {12, 14});
    case qftComp: return t == qftComp;
    case qftCurrency: return In(t, {14, 12});
    case qftDate: return In(t, {15, 17});
    case qftTime: return In(t, {16, 17});
    case qftDateTime: return In(t, {15, 16, 17});
    case qftByteArray: return t == qftByteArray;
    default: return IsBlob(s) && IsBlob(t);
  }
}

int QNConvertFieldValue(const void* Source, void* Target, int SourceType, std::int32_t SourceLength, int TargetType,
                        std::int32_t TargetLength) {
  if (!QNIsFieldConversionSupported(SourceType, TargetType)) return kBad;
  if (Source == nullptr || IsBlob(SourceType)) return kOk;
  // A source shorter than its type's value would be read past its end.
  if (TargetLength < 0 || SourceLength < 0 || SourceLength < FixedSize(SourceType)) return kBad;
  const auto* s = static_cast<const std::uint8_t*>(Source);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(TargetLength) + 16, 0);
  std::uint8_t* t = out.data();
  int r = kOk;
  const int st = SourceType;
  const int tt = TargetType;
  if (st == qftBoolean && tt == qftBoolean) {
    if (TargetLength >= 1) t[0] = s[0];
  } else if (st == qftBoolean && !IsText(tt)) {
    StoreInteger(t, TargetLength, tt, s[0]);
  } else if (IsText(st) || st == qftBoolean) {
    WriteText(SourceText(s, st, SourceLength), t, tt, TargetLength);
  } else if (st == qftByteArray) {
    std::memcpy(t, s, static_cast<std::size_t>(std::min(SourceLength, TargetLength)));
  } else if (st >= qftDate && st <= qftDateTime) {
    r = ConvertDate(s, st, t, tt, TargetLength);
  } else {
    r = ConvertNumber(s, st, t, tt, TargetLength);
  }
  if (r == kOk && Target != nullptr) std::memcpy(Target, t, static_cast<std::size_t>(TargetLength));
  return r;
}

}  // namespace tw::dbengine
