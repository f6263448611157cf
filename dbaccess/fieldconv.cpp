#include "dbaccess/fieldconv.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "dbaccess/errortext.h"
#include "dbaccess/handles.h"
#include "dbengine/base/errors.h"
#include "entry/date/dayarith.h"
#include "platform/rtl/datetime.h"

namespace tw::dbaccess {

namespace {
constexpr double kDayOffset = 693594.0;
constexpr double kMsPerDay = 86400000.0;

template <typename T>
T Load(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename T>
void Store(std::uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// 80-bit extended (little-endian: 64-bit mantissa with explicit integer bit, 15-bit exponent).
double ExtendedToDouble(const std::uint8_t* p) {
  std::uint64_t mant = Load<std::uint64_t>(p);
  std::uint16_t se = Load<std::uint16_t>(p + 8);
  int exp = se & 0x7FFF;
  bool neg = (se & 0x8000) != 0;
  if (exp == 0 && mant == 0) return neg ? -0.0 : 0.0;
  if (exp == 0x7FFF) return (mant << 1) == 0 ? (neg ? -HUGE_VAL : HUGE_VAL) : NAN;
  double v = std::ldexp(static_cast<double>(mant), exp - 16383 - 63);
  return neg ? -v : v;
}
void DoubleToExtended(double d, std::uint8_t* p) {
  std::memset(p, 0, 10);
  std::uint16_t se = std::signbit(d) ? 0x8000 : 0;
  if (std::isnan(d)) {
    Store<std::uint64_t>(p, 0xC000000000000000ull);
    Store<std::uint16_t>(p + 8, static_cast<std::uint16_t>(se | 0x7FFF));
    return;
  }
  if (std::isinf(d)) {
    Store<std::uint64_t>(p, 0x8000000000000000ull);
    Store<std::uint16_t>(p + 8, static_cast<std::uint16_t>(se | 0x7FFF));
    return;
  }
  if (d == 0) {
    Store<std::uint16_t>(p + 8, se);
    return;
  }
  int e = 0;
  double m = std::frexp(std::fabs(d), &e);  // m in [0.5, 1)
  auto mant = static_cast<std::uint64_t>(std::ldexp(m, 64));
  Store<std::uint64_t>(p, mant);
  Store<std::uint16_t>(p + 8, static_cast<std::uint16_t>(se | (e - 1 + 16383)));
}

std::size_t BoundedLen(const std::uint8_t* p, std::size_t max) {
  std::size_t n = 0;
  while (n < max && p[n]) ++n;
  return n;
}

void PutText(std::uint8_t* dest, std::int32_t destLen, const std::uint8_t* text, std::size_t n) {
  if (destLen <= 0) return;
  n = std::min<std::size_t>(n, static_cast<std::size_t>(destLen - 1));
  std::memcpy(dest, text, n);
  dest[n] = 0;
}

bool FitsInt64(double v) { return std::isfinite(v) && v >= -9.2e18 && v <= 9.2e18; }
}  // namespace

int MapEngineFieldType(int LogicalType, int SubType) {
  using namespace dbengine;
  switch (LogicalType) {
    case fldZSTRING: return qftZString;
    case fldDATE: return qftDate;
    case fldBLOB:
      switch (SubType) {
        case fldstMEMO: return qftBlobMemo;
        case fldstBINARY: return qftBlobBinary;
        case fldstFMTMEMO: return qftBlobFmtMemo;
        case fldstOLEOBJ: return qftBlobOLE;
        case fldstGRAPHIC: return qftBlobGraphic;
        case fldstDBSOLEOBJ: return qftBlobDBaseOLE;
        case fldstTYPEDBINARY: return qftBlobTypedBinary;
        default: break;
      }
      break;
    case fldBOOL: return qftBoolean;
    case fldINT16: return qftInt16;
    case fldINT32: return qftInt32;
    case fldFLOAT: return SubType == fldstMONEY ? qftCurrency : qftDouble;
    case fldBCD: return qftCurrency;
    case fldBYTES: return qftByteArray;
    case fldTIME: return qftTime;
    case fldTIMESTAMP: return qftDateTime;
    case fldUINT16: return qftUInt16;
    case fldUINT32: return qftUInt32;
    case fldFLOATIEEE: return qftExtended;
    case fldVARBYTES: return qftShortString;
    default: break;
  }
  throw EqnClientException(ClientString(csInvalidParameter), csInvalidParameter);
}

TLogicalType EngineToLogicalType(int EngineType, std::int32_t Units, std::int32_t Decimals) {
  TLogicalType t;
  t.Units1 = Units;
  t.Units2 = Decimals;
  switch (EngineType & 0x7F) {
    case 0: t.Type = fldBOOL; break;
    case 1: case 2: case 46: case 47: t.Type = fldZSTRING; break;
    case 3: case 4: t.Type = fldUINT16; break;
    case 5: case 8: t.Type = fldINT32; break;
    case 6: case 7: t.Type = fldINT16; break;
    case 9: t.Type = fldINT32; t.SubType = fldstAUTOINC; break;
    case 10: case 11: case 12: case 13: t.Type = fldFLOAT; break;
    case 14: t.Type = fldFLOAT; t.SubType = fldstMONEY; break;
    case 15: t.Type = fldDATE; break;
    case 16: t.Type = fldTIME; break;
    case 17: t.Type = fldTIMESTAMP; break;
    case 18: t.Type = fldBLOB; t.SubType = fldstBINARY; break;
    case 19: t.Type = fldBLOB; t.SubType = fldstMEMO; break;
    case 20: t.Type = fldBLOB; t.SubType = fldstFMTMEMO; break;
    case 21: t.Type = fldBLOB; t.SubType = fldstOLEOBJ; break;
    case 22: t.Type = fldBLOB; t.SubType = fldstGRAPHIC; break;
    case 23: t.Type = fldBLOB; t.SubType = fldstDBSOLEOBJ; break;
    case 24: t.Type = fldBLOB; t.SubType = fldstTYPEDBINARY; break;
    case 45: t.Type = fldBYTES; break;
    case 48: case 49: case 50:
      t.Units2 = Units - 1;
      if (Units < 8193) {
        t.Type = fldZSTRING;
      } else {
        t.Type = fldBLOB;
        t.SubType = fldstMEMO;
      }
      break;
    default: t.Type = fldUNKNOWN; break;
  }
  return t;
}

std::int32_t LogicalLength(const TLogicalType& T, std::int32_t EngineLength) {
  if (T.Type == fldBLOB) return 4;
  if (T.Type == fldFLOAT) return 8;
  return EngineLength;
}

int EngineToInterfaceValue(int EngineType, std::int32_t EngineLength, const std::uint8_t* Source,
                           std::uint8_t* Dest, std::int32_t DestLength) {
  switch (EngineType) {
    case 0: case 3: Store<std::uint16_t>(Dest, Source[0]); return fcDone;
    case 1: Dest[0] = Source[0]; if (DestLength > 1) Dest[1] = 0; return fcDone;
    case 2: {
      std::uint16_t w = Load<std::uint16_t>(Source);
      std::uint8_t c = w < 256 ? static_cast<std::uint8_t>(w) : '?';
      PutText(Dest, DestLength, &c, w ? 1 : 0);
      return fcDone;
    }
    case 4: case 7: Store<std::uint16_t>(Dest, Load<std::uint16_t>(Source)); return fcDone;
    case 5: case 8: case 9: Store<std::uint32_t>(Dest, Load<std::uint32_t>(Source)); return fcDone;
    case 6: Store<std::int16_t>(Dest, static_cast<std::int8_t>(Source[0])); return fcDone;
    case 10: Store<double>(Dest, Load<float>(Source)); return fcDone;
    case 11: Store<double>(Dest, Load<double>(Source)); return fcDone;
    case 12: Store<double>(Dest, ExtendedToDouble(Source)); return fcDone;
    case 13: Store<double>(Dest, static_cast<double>(Load<std::int64_t>(Source))); return fcDone;
    case 14: Store<double>(Dest, static_cast<double>(Load<std::int64_t>(Source)) * 0.0001); return fcDone;
    case 15: {
      std::int32_t v = Load<std::int32_t>(Source);
      if (v <= 0) return fcInvalid;
      Store<std::int32_t>(Dest, v);
      return fcDone;
    }
    case 16: {
      std::int32_t v = Load<std::int32_t>(Source);
      if (v < 0 || v >= 86400000) return fcInvalid;
      Store<std::int32_t>(Dest, v);
      return fcDone;
    }
    case 17: {
      // The stored day count with its fraction holds a whole number of milliseconds, which
      // the multiplication may miss by a hair either way: it is given back whole.
      double v = Load<double>(Source);
      if (!std::isfinite(v)) return fcInvalid;
      Store<double>(Dest, std::round(v * kMsPerDay));
      return fcDone;
    }
    case 18: case 20: case 21: case 22: case 23: case 24: return fcDone;
    case 19: {
      // The field holds the BLOB number; a memo's text is read through the BLOB calls.
      return fcDone;
    }
    case 45: std::memcpy(Dest, Source, static_cast<std::size_t>(EngineLength)); return fcDone;
    case 46: case 47: {
      std::size_t n = std::min<std::size_t>(Source[0], static_cast<std::size_t>(EngineLength > 0 ? EngineLength - 1 : 0));
      PutText(Dest, DestLength, Source + 1, n);
      return fcDone;
    }
    case 48: case 49:
      PutText(Dest, DestLength, Source, BoundedLen(Source, static_cast<std::size_t>(EngineLength)));
      return fcDone;
    case 50: {
      std::string s;
      for (std::int32_t i = 0; i + 1 < EngineLength; i += 2) {
        std::uint16_t w = Load<std::uint16_t>(Source + i);
        if (!w) break;
        s += w < 256 ? static_cast<char>(w) : '?';
      }
      PutText(Dest, DestLength, reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
      return fcDone;
    }
    default: return fcNotHandled;
  }
}

int InterfaceToEngineValue(int EngineType, std::int32_t EngineLength, const std::uint8_t* Source,
                           std::uint8_t* Dest) {
  switch (EngineType) {
    // The 16-bit value counts as unsigned: the word form of true (0xFFFF) is true too.
    case 0: Dest[0] = Load<std::uint16_t>(Source) > 0 ? 1 : 0; return fcDone;
    case 1: case 3: case 6: Dest[0] = Source[0]; return fcDone;
    case 2: Store<std::uint16_t>(Dest, Source[0]); return fcDone;
    case 4: case 7: Store<std::uint16_t>(Dest, Load<std::uint16_t>(Source)); return fcDone;
    case 5: case 8: case 9: Store<std::uint32_t>(Dest, Load<std::uint32_t>(Source)); return fcDone;
    case 10: {
      // A finite value beyond the single's range would be stored as infinity.
      const double v = Load<double>(Source);
      if (std::isfinite(v) && std::fabs(v) > static_cast<double>(std::numeric_limits<float>::max())) return fcInvalid;
      Store<float>(Dest, static_cast<float>(v));
      return fcDone;
    }
    case 11: Store<double>(Dest, Load<double>(Source)); return fcDone;
    case 12: DoubleToExtended(Load<double>(Source), Dest); return fcDone;
    case 13: {
      double v = std::nearbyint(Load<double>(Source));
      if (!FitsInt64(v)) return fcInvalid;
      Store<std::int64_t>(Dest, static_cast<std::int64_t>(v));
      return fcDone;
    }
    case 14: {
      double v = std::nearbyint(Load<double>(Source) * 10000.0);
      if (!FitsInt64(v)) return fcInvalid;
      Store<std::int64_t>(Dest, static_cast<std::int64_t>(v));
      return fcDone;
    }
    case 15: {
      std::int32_t date = Load<std::int32_t>(Source);
      int m = 0, d = 0, y = 0;
      DbiDateDecodeValue(date, m, d, y);
      if (m == 0 || d == 0 || y == 0) return fcInvalid;
      Store<std::int32_t>(Dest, date);
      return fcDone;
    }
    case 16: {
      std::int32_t ms = Load<std::int32_t>(Source);
      if (ms < 0 || ms >= 86400000) return fcInvalid;
      Store<std::int32_t>(Dest, ms);
      return fcDone;
    }
    case 17: {
      double stamp = Load<double>(Source);
      if (!std::isfinite(stamp)) return fcInvalid;
      stamp = std::round(stamp);
      if (stamp < kMsPerDay) return fcInvalid;
      double date = std::trunc(stamp / kMsPerDay);
      double time = std::trunc(stamp - date * kMsPerDay);
      int m = 0, d = 0, y = 0;
      if (date > 2147483647.0) return fcInvalid;
      DbiDateDecodeValue(static_cast<std::int32_t>(date), m, d, y);
      if (m == 0 || d == 0 || y == 0) return fcInvalid;
      Store<double>(Dest, date + time / kMsPerDay);
      return fcDone;
    }
    case 18: case 19: case 20: case 21: case 22: case 23: case 24: return fcDone;
    case 45: std::memcpy(Dest, Source, static_cast<std::size_t>(EngineLength)); return fcDone;
    case 46: case 47: {
      std::size_t n = BoundedLen(Source, static_cast<std::size_t>(std::min(EngineLength - 1, 255)));
      std::memset(Dest, 0, static_cast<std::size_t>(EngineLength));
      Dest[0] = static_cast<std::uint8_t>(n);
      std::memcpy(Dest + 1, Source, n);
      return fcDone;
    }
    case 48: case 49: {
      std::size_t n = BoundedLen(Source, static_cast<std::size_t>(EngineLength - 1));
      std::memset(Dest, 0, static_cast<std::size_t>(EngineLength));
      std::memcpy(Dest, Source, n);
      return fcDone;
    }
    case 50: {
      std::size_t max = static_cast<std::size_t>(EngineLength / 2 - 1);
      std::size_t n = BoundedLen(Source, max);
      std::memset(Dest, 0, static_cast<std::size_t>(EngineLength));
      for (std::size_t i = 0; i < n; ++i) Store<std::uint16_t>(Dest + 2 * i, Source[i]);
      return fcDone;
    }
    default: return fcNotHandled;
  }
}

FLDDesc FieldDescFromDictionary(const dbengine::TqnDataDictionary& D, int Field) {
  const auto& f = D.FieldDescriptor(Field);
  FLDDesc r;
  r.iFldNum = static_cast<std::uint16_t>(Field + 1);
  CopyText(r.szName, f.Name, 31);
  TLogicalType t = EngineToLogicalType(f.FieldType, f.Units, f.Decimals);
  r.iFldType = t.Type;
  r.iSubType = t.SubType;
  r.iUnits1 = static_cast<std::int16_t>(f.Units);
  r.iUnits2 = static_cast<std::int16_t>(f.Decimals);
  r.iOffset = static_cast<std::uint16_t>(f.Offset);
  r.iLen = static_cast<std::uint16_t>(f.Length);
  r.efldvVchk = (f.Required || f.VCheck) ? 1 : 0;
  r.efldrRights = 3;
  return r;
}

IDXDesc IndexDescFromDictionary(const dbengine::TqnDataDictionary& D, int Index) {
  const auto& x = D.IndexDescriptor(Index);
  IDXDesc r;
  CopyText(r.szName, x.Name, 260);
  r.iIndexId = static_cast<std::uint16_t>(Index);
  r.bUnique = !x.AllowDups;
  r.bDescending = !x.Ascending;
  r.bMaintained = 1;
  if (x.FieldCount > 0) {
    r.iFldsInKey = static_cast<std::uint16_t>(std::min(x.FieldCount, DBIMAXFLDSINKEY));
    for (int i = 0; i < r.iFldsInKey; ++i) r.aiKeyFld[i] = static_cast<std::uint16_t>(x.FieldNumbers[static_cast<std::size_t>(i)] + 1);
  } else {
    r.bExpIdx = 1;
  }
  r.iKeyLen = static_cast<std::uint16_t>(x.KeyLength);
  r.bCaseInsensitive = x.CaseInsensitive;
  return r;
}

VCHKDesc VChkDescFromDictionary(const dbengine::TqnDataDictionary& D, int Field) {
  VCHKDesc r;
  r.iFldNum = static_cast<std::uint16_t>(Field + 1);
  r.bRequired = D.FieldRequired(Field);
  if (const auto* v = D.FieldVCheck(Field)) {
    r.bHasMinVal = v->HasMinimum;
    r.bHasMaxVal = v->HasMaximum;
    r.bHasDefVal = v->HasDefault;
    if (v->HasMinimum) std::memcpy(r.aMinVal, v->Minimum.data(), sizeof r.aMinVal);
    if (v->HasMaximum) std::memcpy(r.aMaxVal, v->Maximum.data(), sizeof r.aMaxVal);
    if (v->HasDefault) std::memcpy(r.aDefVal, v->Default.data(), sizeof r.aDefVal);
    CopyText(r.szPict, v->Picture, 175);
  }
  return r;
}

std::uint8_t OpenModeByte(std::uint32_t Mode) { return Mode == dbiREADWRITE ? 1 : 0; }
std::uint8_t ShareModeByte(std::uint32_t Mode) { return Mode == dbiOPENSHARED ? 1 : 0; }
std::uint8_t LockByte(std::uint32_t Lock) { return Lock == 1 ? 2 : (Lock == 2 ? 1 : 0); }
std::uint8_t SearchCondByte(std::uint32_t Cond) { return Cond <= 2 ? static_cast<std::uint8_t>(Cond) : 0; }

DBIResult DbiDateEncodeValue(int Month, int Day, int Year, std::int32_t& Date) {
  Date = 0;
  entry::DayNumber dn = entry::DMYToDayNumber(Day, Month, Year, 1950);
  // A date that does not exist (30 February, month 13, 0/0/0) is refused, not stored as 0.
  if (dn < 0) return DBIERR_INVALIDDATE;
  double dt = entry::DayNumberToDateTime(dn);
  Date = static_cast<std::int32_t>(std::trunc(dt)) + 693594;
  return DBIERR_NONE;
}

void DbiDateDecodeValue(std::int32_t Date, int& Month, int& Day, int& Year) {
  Month = Day = Year = 0;
  double dt = static_cast<double>(Date) - kDayOffset;
  // Days 1/1/1 .. 12/31/9999 only; anything else decodes to zeros.
  if (Date < 1 || Date > 3652059) return;
  std::uint16_t y = 0, m = 0, d = 0;
  DecodeDate(dt, y, m, d);
  Year = y;
  Month = m;
  Day = d;
}

}  // namespace tw::dbaccess
