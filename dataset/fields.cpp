#include "dataset/fields.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string_view>

#include "platform/classes/typinfo.h"
#include "dataset/dataset.h"
#include "dataset/dberrors.h"
#include "platform/rtl/sysutils.h"

namespace tw {

using namespace dbaccess;

namespace {

// Day 1 of stored dates is 1 January of year 1; the class library counts from 30 December 1899.
constexpr double kDateDelta = 693594.0;
constexpr double kMsPerDay = 86400000.0;
// The engine counts a BLOB's bytes in 32 bits.
constexpr std::int64_t kMaxBlobSize = 0xFFFFFFF0;


}  // namespace

std::int64_t BlobSizeOrZero(const TField* f);

bool SameFieldName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  // A name is mostly asked for as it was defined: the same bytes need no case folding.
  if (a == b) return true;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::vector<std::string> SplitFieldNames(const std::string& names) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= names.size()) {
    std::size_t p = names.find(';', start);
    if (p == std::string::npos) p = names.size();
    std::string n = Trim(names.substr(start, p - start));
    if (!n.empty()) out.push_back(n);
    start = p + 1;
  }
  return out;
}

void FieldTypeToLogical(TFieldType type, std::uint16_t& fldType, std::uint16_t& subType) {
  subType = 0;
  switch (type) {
    case TFieldType::ftString: fldType = fldZSTRING; break;
    case TFieldType::ftSmallint: fldType = fldINT16; break;
    case TFieldType::ftInteger: fldType = fldINT32; break;
    case TFieldType::ftAutoInc: fldType = fldINT32; subType = fldstAUTOINC; break;
    case TFieldType::ftWord: fldType = fldUINT16; break;
    case TFieldType::ftBoolean: fldType = fldBOOL; break;
    case TFieldType::ftFloat: fldType = fldFLOAT; break;
    case TFieldType::ftCurrency: fldType = fldFLOAT; subType = fldstMONEY; break;
    case TFieldType::ftDate: fldType = fldDATE; break;
    case TFieldType::ftTime: fldType = fldTIME; break;
    case TFieldType::ftDateTime: fldType = fldTIMESTAMP; break;
    case TFieldType::ftBytes: fldType = fldBYTES; break;
    case TFieldType::ftBlob: fldType = fldBLOB; subType = fldstBINARY; break;
    case TFieldType::ftMemo: fldType = fldBLOB; subType = fldstMEMO; break;
    default: fldType = fldUNKNOWN; break;
  }
}

TFieldType LogicalToFieldType(std::uint16_t fldType, std::uint16_t subType) {
  switch (fldType) {
    case fldZSTRING: return TFieldType::ftString;
    case fldINT16: return TFieldType::ftSmallint;
    case fldINT32: return subType == fldstAUTOINC ? TFieldType::ftAutoInc : TFieldType::ftInteger;
    case fldUINT16: return TFieldType::ftWord;
    case fldBOOL: return TFieldType::ftBoolean;
    case fldFLOAT: return subType == fldstMONEY ? TFieldType::ftCurrency : TFieldType::ftFloat;
    case fldDATE: return TFieldType::ftDate;
    case fldTIME: return TFieldType::ftTime;
    case fldTIMESTAMP: return TFieldType::ftDateTime;
    case fldBYTES: return TFieldType::ftBytes;
    case fldBLOB: return subType == fldstMEMO || subType == fldstFMTMEMO ? TFieldType::ftMemo : TFieldType::ftBlob;
    default: return TFieldType::ftUnknown;
  }
}

// ---- TField ------------------------------------------------------------------------------

TField::TField(TComponent* owner) : TComponent(owner) {}

TField::~TField() { SetDataSet(nullptr); }

void TField::SetDataSet(TDataSet* dataSet) { FDataSet = dataSet; }

void TField::TypeMismatch() const { DatabaseErrorFmt(dbconst::SFieldTypeMismatch, DisplayLabel()); }

bool TField::GetData(void* buffer) const {
  if (!FDataSet) DatabaseErrorFmt("Field '%s' has no dataset", DisplayLabel());
  return FDataSet->GetFieldData(this, buffer);
}

void TField::SetData(const void* buffer) {
  if (!FDataSet) DatabaseErrorFmt("Field '%s' has no dataset", DisplayLabel());
  if (OnValidate) OnValidate(this);
  FDataSet->SetFieldData(this, buffer);
  if (OnChange) OnChange(this);
}

bool TField::IsNull() const {
  if (DataSize() == 0) return BlobSizeOrZero(this) == 0;
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(DataSize()) + 8);
  return !GetData(buf.data());
}

void TField::Clear() { SetData(nullptr); }

std::string TField::AsString() const { TypeMismatch(); }
void TField::SetAsString(const std::string&) { TypeMismatch(); }
std::int32_t TField::AsInteger() const { TypeMismatch(); }
void TField::SetAsInteger(std::int32_t) { TypeMismatch(); }
double TField::AsFloat() const { TypeMismatch(); }
void TField::SetAsFloat(double) { TypeMismatch(); }
bool TField::AsBoolean() const { TypeMismatch(); }
void TField::SetAsBoolean(bool) { TypeMismatch(); }
TDateTime TField::AsDateTime() const { TypeMismatch(); }
void TField::SetAsDateTime(TDateTime) { TypeMismatch(); }
TFieldValue TField::Value() const { TypeMismatch(); }

void TField::SetValue(const TFieldValue& value) {
  if (std::holds_alternative<std::monostate>(value)) return Clear();
  if (auto p = std::get_if<std::string>(&value)) return SetAsString(*p);
  if (auto p = std::get_if<std::int64_t>(&value)) {
    if (*p < INT32_MIN || *p > INT32_MAX) return SetAsFloat(static_cast<double>(*p));
    return SetAsInteger(static_cast<std::int32_t>(*p));
  }
  if (auto p = std::get_if<double>(&value)) return SetAsFloat(*p);
  SetAsBoolean(std::get<bool>(value));
}

std::string TField::DisplayText() const { return AsString(); }

// ---- TStringField ------------------------------------------------------------------------

TStringField::TStringField(TComponent* owner) : TField(owner) {
  SetDataType(TFieldType::ftString);
  SetSize(20);
}

std::string TStringField::AsString() const {
  std::vector<char> buf(static_cast<std::size_t>(DataSize()) + 1, '\0');
  if (!GetData(buf.data())) return {};
  buf[static_cast<std::size_t>(DataSize()) - 1] = '\0';  // never more than the field's size
  return std::string(buf.data());
}

void TStringField::SetAsString(const std::string& value) {
  std::string_view v(value.data(), std::min(value.size(), value.find('\0')));
  const std::size_t room = static_cast<std::size_t>(DataSize()) - 1;
  if (v.size() > room) v = v.substr(0, room);
  if (v.empty()) return SetData(nullptr);
  // Short fields (key fields among them) are built on the stack.
  char small[256];
  std::vector<char> large;
  char* buf = small;
  const auto size = static_cast<std::size_t>(DataSize());
  if (size > sizeof small) {
    large.assign(size, '\0');
    buf = large.data();
  } else {
    std::memset(small, 0, size);
  }
  std::memcpy(buf, v.data(), v.size());
  SetData(buf);
}

std::int32_t TStringField::AsInteger() const {
  std::string s = AsString();
  std::int32_t v = 0;
  if (!TryStrToInt(s, v)) DatabaseErrorFmt(dbconst::SInvalidFieldValue, s);
  return v;
}
void TStringField::SetAsInteger(std::int32_t value) { SetAsString(IntToStr(value)); }
double TStringField::AsFloat() const {
  std::string s = AsString();
  double v = 0;
  if (!TryStrToFloat(s, v)) DatabaseErrorFmt(dbconst::SInvalidFieldValue, s);
  return v;
}
void TStringField::SetAsFloat(double value) { SetAsString(FloatToStr(value)); }
bool TStringField::AsBoolean() const {
  std::string s = AsString();
  if (s.empty()) return false;
  char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
  if (c == 'T' || c == 'Y') return true;
  if (c == 'F' || c == 'N') return false;
  DatabaseErrorFmt(dbconst::SInvalidFieldValue, s);
}
void TStringField::SetAsBoolean(bool value) { SetAsString(value ? "T" : "F"); }
TDateTime TStringField::AsDateTime() const {
  std::string s = AsString();
  TDateTime v = 0;
  if (!TryStrToDateTime(s, v)) DatabaseErrorFmt(dbconst::SInvalidFieldValue, s);
  return v;
}
void TStringField::SetAsDateTime(TDateTime value) { SetAsString(DateTimeToStr(value)); }
TFieldValue TStringField::Value() const {
  if (IsNull()) return std::monostate{};
  return AsString();
}

// ---- integer fields ----------------------------------------------------------------------

TIntegerField::TIntegerField(TComponent* owner) : TField(owner) { SetDataType(TFieldType::ftInteger); SetSize(0); }

TSmallintField::TSmallintField(TComponent* owner) : TIntegerField(owner) {
  SetDataType(TFieldType::ftSmallint);
  FMin = INT16_MIN;
  FMax = INT16_MAX;
}

TWordField::TWordField(TComponent* owner) : TIntegerField(owner) {
  SetDataType(TFieldType::ftWord);
  FMin = 0;
  FMax = UINT16_MAX;
}

TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner) { SetDataType(TFieldType::ftAutoInc); }

std::int32_t TIntegerField::AsInteger() const {
  std::uint8_t buf[8] = {};
  if (!GetData(buf)) return 0;
  if (DataType() == TFieldType::ftSmallint) {
    std::int16_t v;
    std::memcpy(&v, buf, 2);
    return v;
  }
  if (DataType() == TFieldType::ftWord) {
    std::uint16_t v;
    std::memcpy(&v, buf, 2);
    return v;
  }
  std::int32_t v;
  std::memcpy(&v, buf, 4);
  return v;
}

void TIntegerField::SetAsInteger(std::int32_t value) {
  if (value < FMin || value > FMax) DatabaseErrorFmt(dbconst::SFieldRangeError, IntToStr(value));
  std::uint8_t buf[4] = {};
  if (DataSize() == 2) {
    std::uint16_t v = static_cast<std::uint16_t>(value);
    std::memcpy(buf, &v, 2);
  } else {
    std::memcpy(buf, &value, 4);
  }
  SetData(buf);
}

void TIntegerField::SetAsFloat(double value) {
  double r = std::round(value);
  if (!(r >= FMin && r <= FMax)) DatabaseErrorFmt(dbconst::SFieldRangeError, FloatToStr(value));
  SetAsInteger(static_cast<std::int32_t>(r));
}

std::string TIntegerField::AsString() const { return IsNull() ? std::string() : IntToStr(AsInteger()); }

void TIntegerField::SetAsString(const std::string& value) {
  std::string t = Trim(value);
  if (t.empty()) return Clear();
  std::int32_t v = 0;
  if (!TryStrToInt(t, v)) DatabaseErrorFmt(dbconst::SInvalidFieldValue, value);
  SetAsInteger(v);
}

TFieldValue TIntegerField::Value() const {
  if (IsNull()) return std::monostate{};
  return static_cast<std::int64_t>(AsInteger());
}

// ---- TBooleanField -----------------------------------------------------------------------

TBooleanField::TBooleanField(TComponent* owner) : TField(owner) { SetDataType(TFieldType::ftBoolean); }

std::string TBooleanField::TrueText() const {
  std::size_t p = FDisplayValues.find(';');
  if (FDisplayValues.empty()) return "True";
  return FDisplayValues.substr(0, p);
}
std::string TBooleanField::FalseText() const {
  std::size_t p = FDisplayValues.find(';');
  if (FDisplayValues.empty()) return "False";
  return p == std::string::npos ? std::string() : FDisplayValues.substr(p + 1);
}

bool TBooleanField::AsBoolean() const {
  std::int16_t v = 0;
  if (!GetData(&v)) return false;
  return v != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
  std::int16_t v = value ? 1 : 0;
  SetData(&v);
}

std::string TBooleanField::AsString() const {
  if (IsNull()) return {};
  return AsBoolean() ? TrueText() : FalseText();
}

void TBooleanField::SetAsString(const std::string& value) {
  std::string t = Trim(value);
  if (t.empty()) return Clear();
  auto prefixOf = [&](const std::string& full) {
    return !full.empty() && t.size() <= full.size() && SameFieldName(full.substr(0, t.size()), t);
  };
  if (prefixOf(TrueText())) return SetAsBoolean(true);
  if (prefixOf(FalseText())) return SetAsBoolean(false);
  DatabaseErrorFmt(dbconst::SInvalidFieldValue, value);
}

TFieldValue TBooleanField::Value() const {
  if (IsNull()) return std::monostate{};
  return AsBoolean();
}

// ---- TFloatField -------------------------------------------------------------------------

TFloatField::TFloatField(TComponent* owner) : TField(owner) { SetDataType(TFieldType::ftFloat); }
TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner) {
  SetDataType(TFieldType::ftCurrency);
  FCurrency = true;
}

double TFloatField::AsFloat() const {
  double v = 0;
  if (!GetData(&v)) return 0;
  return v;
}

void TFloatField::SetAsFloat(double value) {
  if (!std::isfinite(value)) DatabaseErrorFmt(dbconst::SFieldRangeError, FloatToStr(value));
  SetData(&value);
}

std::int32_t TFloatField::AsInteger() const {
  double v = std::round(AsFloat());
  if (!(v >= INT32_MIN && v <= INT32_MAX)) DatabaseErrorFmt(dbconst::SFieldRangeError, FloatToStr(AsFloat()));
  return static_cast<std::int32_t>(v);
}

std::string TFloatField::AsString() const { return IsNull() ? std::string() : FloatToStr(AsFloat()); }

void TFloatField::SetAsString(const std::string& value) {
  std::string t = Trim(value);
  if (t.empty()) return Clear();
  double v = 0;
  if (!TryStrToFloat(t, v)) DatabaseErrorFmt(dbconst::SInvalidFieldValue, value);
  SetAsFloat(v);
}

std::string TFloatField::DisplayText() const {
  if (IsNull()) return {};
  if (FCurrency) return FloatToStrF(AsFloat(), TFloatFormat::ffCurrency, 15, 2);
  return AsString();
}

TFieldValue TFloatField::Value() const {
  if (IsNull()) return std::monostate{};
  return AsFloat();
}

// ---- date and time fields ----------------------------------------------------------------

TDateTimeField::TDateTimeField(TComponent* owner) : TField(owner) { SetDataType(TFieldType::ftDateTime); }
TDateField::TDateField(TComponent* owner) : TDateTimeField(owner) { SetDataType(TFieldType::ftDate); }
TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner) { SetDataType(TFieldType::ftTime); }

TDateTime TDateTimeField::AsDateTime() const {
  std::uint8_t buf[8] = {};
  if (!GetData(buf)) return 0;
  switch (DataType()) {
    case TFieldType::ftDate: {
      std::int32_t d;
      std::memcpy(&d, buf, 4);
      return d - kDateDelta;
    }
    case TFieldType::ftTime: {
      std::int32_t ms;
      std::memcpy(&ms, buf, 4);
      return ms / kMsPerDay;
    }
    default: {
      // The stored count of milliseconds since 1 January of year 1 is a day and a time of
      // that day; before 30 December 1899 a TDateTime holds the time as a positive fraction
      // behind a negative day, so the two are composed, not subtracted.
      double ms;
      std::memcpy(&ms, buf, 8);
      if (!std::isfinite(ms)) return 0;
      ms = std::round(ms);  // whole milliseconds: a hair below one is that one
      const double day = std::floor(ms / kMsPerDay);
      TTimeStamp ts;
      ts.Date = static_cast<std::int32_t>(std::clamp(day, -2147483647.0, 2147483647.0));
      ts.Time = static_cast<std::int32_t>(std::clamp(ms - day * kMsPerDay, 0.0, kMsPerDay - 1));
      return TimeStampToDateTime(ts);
    }
  }
}

void TDateTimeField::SetAsDateTime(TDateTime value) {
  if (!std::isfinite(value)) DatabaseErrorFmt(dbconst::SFieldRangeError, FloatToStr(value));
  std::uint8_t buf[8] = {};
  switch (DataType()) {
    case TFieldType::ftDate: {
      // The day of a value is its whole part (before 30 December 1899 too: -1.25 is
      // 29 December 1899, 6:00), as the run-time library's time stamp counts it.
      const TTimeStamp ts = DateTimeToTimeStamp(value);
      if (ts.Date < 1 || ts.Date > 3652059) DatabaseErrorFmt(dbconst::SFieldRangeError, FloatToStr(value));
      std::memcpy(buf, &ts.Date, 4);
      break;
    }
    case TFieldType::ftTime: {
      double frac = std::fabs(value - std::trunc(value));
      std::int32_t ms = static_cast<std::int32_t>(std::llround(frac * kMsPerDay));
      if (ms >= 86400000) ms = 86399999;
      std::memcpy(buf, &ms, 4);
      break;
    }
    default: {
      const TTimeStamp ts = DateTimeToTimeStamp(value);
      if (ts.Date < 1 || ts.Date > 3652059) DatabaseErrorFmt(dbconst::SFieldRangeError, FloatToStr(value));
      const double ms = static_cast<double>(ts.Date) * kMsPerDay + ts.Time;
      std::memcpy(buf, &ms, 8);
      break;
    }
  }
  SetData(buf);
}

std::string TDateTimeField::AsString() const {
  if (IsNull()) return {};
  switch (DataType()) {
    case TFieldType::ftDate: return DateToStr(AsDateTime());
    case TFieldType::ftTime: return TimeToStr(AsDateTime());
    default: return DateTimeToStr(AsDateTime());
  }
}

void TDateTimeField::SetAsString(const std::string& value) {
  std::string t = Trim(value);
  if (t.empty()) return Clear();
  TDateTime v = 0;
  bool ok = DataType() == TFieldType::ftDate   ? TryStrToDate(t, v)
            : DataType() == TFieldType::ftTime ? TryStrToTime(t, v)
                                               : TryStrToDateTime(t, v);
  if (!ok) DatabaseErrorFmt(dbconst::SInvalidFieldValue, value);
  SetAsDateTime(v);
}

TFieldValue TDateTimeField::Value() const {
  if (IsNull()) return std::monostate{};
  return AsDateTime();
}

// ---- BLOB fields -------------------------------------------------------------------------

TBlobField::TBlobField(TComponent* owner) : TField(owner) { SetDataType(TFieldType::ftBlob); }
TMemoField::TMemoField(TComponent* owner) : TBlobField(owner) { SetDataType(TFieldType::ftMemo); }

std::int64_t BlobSizeOrZero(const TField* f) {
  if (!f->DataSet()) return 0;
  return f->DataSet()->BlobSize(f);
}

std::int64_t TBlobField::BlobSize() const { return BlobSizeOrZero(this); }

std::string TBlobField::AsString() const {
  if (!DataSet()) DatabaseErrorFmt("Field '%s' has no dataset", DisplayLabel());
  return DataSet()->ReadBlob(this);
}

void TBlobField::SetAsString(const std::string& value) {
  if (!DataSet()) DatabaseErrorFmt("Field '%s' has no dataset", DisplayLabel());
  if (OnValidate) OnValidate(this);
  DataSet()->WriteBlob(this, value);
  if (OnChange) OnChange(this);
}

TFieldValue TBlobField::Value() const {
  if (IsNull()) return std::monostate{};
  return AsString();
}

std::string TBlobField::DisplayText() const { return "(BLOB)"; }
std::string TMemoField::DisplayText() const { return "(Memo)"; }

void TBlobField::LoadFromStream(TStream& stream) {
  std::string data;
  char buf[4096];
  for (;;) {
    std::int64_t n = stream.Read(buf, sizeof buf);
    if (n <= 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  SetAsString(data);
}

void TBlobField::SaveToStream(TStream& stream) const {
  std::string data = AsString();
  if (!data.empty()) stream.WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
}

// ---- TBlobStream -------------------------------------------------------------------------

TBlobStream::TBlobStream(TBlobField* field, TBlobStreamMode mode) : FField(field), FMode(mode) {
  if (!field) DatabaseError("No BLOB field");
  if (mode != TBlobStreamMode::bmWrite) FData = field->AsString();
  else FModified = true;  // a write stream replaces the value, even with nothing written
}

TBlobStream::~TBlobStream() {
  try {
    Flush();
  } catch (...) {
    // A failure while freeing cannot be reported; callers who must know call Flush first.
  }
}

void TBlobStream::Flush() {
  if (!FModified || FMode == TBlobStreamMode::bmRead) return;
  FField->SetAsString(FData);
  FModified = false;
}

std::int64_t TBlobStream::Read(void* buffer, std::int64_t count) {
  if (count <= 0 || FPos >= static_cast<std::int64_t>(FData.size())) return 0;
  std::int64_t n = std::min<std::int64_t>(count, static_cast<std::int64_t>(FData.size()) - FPos);
  std::memcpy(buffer, FData.data() + FPos, static_cast<std::size_t>(n));
  FPos += n;
  return n;
}

std::int64_t TBlobStream::Write(const void* buffer, std::int64_t count) {
  if (FMode == TBlobStreamMode::bmRead) DatabaseErrorFmt(dbconst::SFieldReadOnly, FField->DisplayLabel());
  if (count <= 0) return 0;
  if (count > kMaxBlobSize - FPos) DatabaseErrorFmt(dbconst::SFieldRangeError, "BLOB");
  if (FPos + count > static_cast<std::int64_t>(FData.size())) FData.resize(static_cast<std::size_t>(FPos + count));
  std::memcpy(FData.data() + FPos, buffer, static_cast<std::size_t>(count));
  FPos += count;
  FModified = true;
  return count;
}

std::int64_t TBlobStream::Seek(std::int64_t offset, int origin) {
  std::int64_t base = origin == soFromBeginning ? 0 : origin == soFromCurrent ? FPos : static_cast<std::int64_t>(FData.size());
  std::int64_t p = 0;
  if (__builtin_add_overflow(base, offset, &p)) p = offset > 0 ? kMaxBlobSize : 0;
  FPos = std::clamp<std::int64_t>(p, 0, kMaxBlobSize);
  return FPos;
}

void TBlobStream::SetSize(std::int64_t newSize) {
  if (FMode == TBlobStreamMode::bmRead) DatabaseErrorFmt(dbconst::SFieldReadOnly, FField->DisplayLabel());
  if (newSize > kMaxBlobSize) DatabaseErrorFmt(dbconst::SFieldRangeError, "BLOB");
  FData.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, newSize)));
  if (FPos > newSize) FPos = std::max<std::int64_t>(0, newSize);
  FModified = true;
}

// ---- definitions -------------------------------------------------------------------------

void TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
  if (name.empty()) DatabaseError("Field name missing");
  if (IndexOf(name) >= 0) DatabaseErrorFmt("Duplicate field name '%s'", name);
  TFieldDef d;
  d.Name = name;
  d.DataType = type;
  d.Size = size;
  d.Required = required;
  d.FieldNo = static_cast<std::uint16_t>(FItems.size() + 1);
  FItems.push_back(d);
}

int TFieldDefs::IndexOf(const std::string& name) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (SameFieldName(FItems[i].Name, name)) return static_cast<int>(i);
  return -1;
}

const TFieldDef* TFieldDefs::Find(const std::string& name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : &FItems[static_cast<std::size_t>(i)];
}

void TIndexDefs::Add(const std::string& name, const std::string& fields, bool primary, bool unique, bool descending,
                     bool caseInsensitive) {
  if (IndexOf(name) >= 0) DatabaseErrorFmt("Duplicate index name '%s'", name);
  FItems.push_back(TIndexDef{name, fields, primary, unique, descending, caseInsensitive});
}

int TIndexDefs::IndexOf(const std::string& name) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (SameFieldName(FItems[i].Name, name)) return static_cast<int>(i);
  return -1;
}

const TIndexDef* TIndexDefs::Find(const std::string& name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : &FItems[static_cast<std::size_t>(i)];
}

TField* CreateFieldOfType(TFieldType type, TComponent* owner) {
  switch (type) {
    case TFieldType::ftString: return new TStringField(owner);
    case TFieldType::ftSmallint: return new TSmallintField(owner);
    case TFieldType::ftInteger: return new TIntegerField(owner);
    case TFieldType::ftAutoInc: return new TAutoIncField(owner);
    case TFieldType::ftWord: return new TWordField(owner);
    case TFieldType::ftBoolean: return new TBooleanField(owner);
    case TFieldType::ftFloat: return new TFloatField(owner);
    case TFieldType::ftCurrency: return new TCurrencyField(owner);
    case TFieldType::ftDate: return new TDateField(owner);
    case TFieldType::ftTime: return new TTimeField(owner);
    case TFieldType::ftDateTime: return new TDateTimeField(owner);
    case TFieldType::ftBlob: return new TBlobField(owner);
    case TFieldType::ftMemo: return new TMemoField(owner);
    default: return nullptr;
  }
}

TW_PUBLISHED(TField,
             Prop("FieldName", &TField::FieldName, &TField::SetFieldName),
             Prop("Required", &TField::Required, &TField::SetRequired),
             Prop("ReadOnly", &TField::ReadOnly, &TField::SetReadOnly),
             Prop("Size", &TField::Size, &TField::SetSize),
             Prop("DisplayLabel", &TField::DisplayLabel, &TField::SetDisplayLabel));

}  // namespace tw
