// Fields of a data set: one object per column, reading and writing the value in the data set's
// active record image through the access layer's field calls.  Values convert between the
// column's type and text, integers, floats, Booleans and date-times.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "platform/classes/component.h"
#include "platform/classes/streams.h"
#include "dataset/dbilink.h"
#include "platform/rtl/datetime.h"

namespace tw {

class TDataSet;

enum class TFieldType {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftDate, ftTime,
  ftDateTime, ftBytes, ftAutoInc, ftBlob, ftMemo
};

// A field value of any type; monostate is Null.
using TFieldValue = std::variant<std::monostate, std::string, std::int64_t, double, bool>;

// Interface logical type and subtype of a field type, and back.
void FieldTypeToLogical(TFieldType type, std::uint16_t& fldType, std::uint16_t& subType);
TFieldType LogicalToFieldType(std::uint16_t fldType, std::uint16_t subType);

class TField : public TComponent {
  TW_CLASS(TField, TComponent)
 public:
  explicit TField(TComponent* owner);
  ~TField() override;

  TDataSet* DataSet() const { return FDataSet; }
  void SetDataSet(TDataSet* dataSet);
  const std::string& FieldName() const { return FFieldName; }
  void SetFieldName(const std::string& name) { FFieldName = name; }
  std::uint16_t FieldNo() const { return FFieldNo; }
  void SetFieldNo(std::uint16_t no) { FFieldNo = no; }
  TFieldType DataType() const { return FDataType; }
  int Size() const { return FSize; }
  void SetSize(int size) { FSize = size; }
  bool Required() const { return FRequired; }
  void SetRequired(bool v) { FRequired = v; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v) { FReadOnly = v; }
  const std::string& DisplayLabel() const { return FDisplayLabel.empty() ? FFieldName : FDisplayLabel; }
  void SetDisplayLabel(const std::string& v) { FDisplayLabel = v; }
  // Bytes of the value in a record image (the interface's logical layout).
  virtual int DataSize() const { return 0; }

  bool IsNull() const;
  void Clear();

  virtual std::string AsString() const;
  virtual void SetAsString(const std::string& value);
  virtual std::int32_t AsInteger() const;
  virtual void SetAsInteger(std::int32_t value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);
  virtual TDateTime AsDateTime() const;
  virtual void SetAsDateTime(TDateTime value);
  virtual TFieldValue Value() const;
  virtual void SetValue(const TFieldValue& value);
  virtual std::string DisplayText() const;

  std::function<void(TField*)> OnChange;
  std::function<void(TField*)> OnValidate;

  // Raw access to the active record image: false when blank.
  bool GetData(void* buffer) const;
  // nullptr makes the field blank.
  void SetData(const void* buffer);

 protected:
  [[noreturn]] void TypeMismatch() const;
  void SetDataType(TFieldType t) { FDataType = t; }

 private:
  TDataSet* FDataSet = nullptr;
  std::string FFieldName;
  std::uint16_t FFieldNo = 0;
  TFieldType FDataType = TFieldType::ftUnknown;
  int FSize = 0;
  bool FRequired = false;
  bool FReadOnly = false;
  std::string FDisplayLabel;
};

class TStringField : public TField {
  TW_CLASS(TStringField, TField)
 public:
  explicit TStringField(TComponent* owner);
  int DataSize() const override { return (Size() > 0 ? Size() : 0) + 1; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  std::int32_t AsInteger() const override;
  void SetAsInteger(std::int32_t value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;
  TFieldValue Value() const override;
};

// Integer fields: 16-bit signed, 32-bit signed, 16-bit unsigned.
class TIntegerField : public TField {
  TW_CLASS(TIntegerField, TField)
 public:
  explicit TIntegerField(TComponent* owner);
  int DataSize() const override { return 4; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  std::int32_t AsInteger() const override;
  void SetAsInteger(std::int32_t value) override;
  double AsFloat() const override { return AsInteger(); }
  void SetAsFloat(double value) override;
  bool AsBoolean() const override { return AsInteger() != 0; }
  void SetAsBoolean(bool value) override { SetAsInteger(value ? 1 : 0); }
  TFieldValue Value() const override;
  std::int32_t MinValue() const { return FMin; }
  std::int32_t MaxValue() const { return FMax; }

 protected:
  std::int32_t FMin = INT32_MIN;
  std::int32_t FMax = INT32_MAX;
};

class TSmallintField : public TIntegerField {
  TW_CLASS(TSmallintField, TIntegerField)
 public:
  explicit TSmallintField(TComponent* owner);
  int DataSize() const override { return 2; }
};

class TWordField : public TIntegerField {
  TW_CLASS(TWordField, TIntegerField)
 public:
  explicit TWordField(TComponent* owner);
  int DataSize() const override { return 2; }
};

class TAutoIncField : public TIntegerField {
  TW_CLASS(TAutoIncField, TIntegerField)
 public:
  explicit TAutoIncField(TComponent* owner);
};

class TBooleanField : public TField {
  TW_CLASS(TBooleanField, TField)
 public:
  explicit TBooleanField(TComponent* owner);
  int DataSize() const override { return 2; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  std::int32_t AsInteger() const override { return AsBoolean() ? 1 : 0; }
  void SetAsInteger(std::int32_t value) override { SetAsBoolean(value != 0); }
  TFieldValue Value() const override;
  // "True;False" style pair of display texts.
  const std::string& DisplayValues() const { return FDisplayValues; }
  void SetDisplayValues(const std::string& v) { FDisplayValues = v; }

 private:
  std::string TrueText() const;
  std::string FalseText() const;
  std::string FDisplayValues;
};

class TFloatField : public TField {
  TW_CLASS(TFloatField, TField)
 public:
  explicit TFloatField(TComponent* owner);
  int DataSize() const override { return 8; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  std::int32_t AsInteger() const override;
  void SetAsInteger(std::int32_t value) override { SetAsFloat(value); }
  TFieldValue Value() const override;
  std::string DisplayText() const override;
  bool Currency() const { return FCurrency; }
  void SetCurrency(bool v) { FCurrency = v; }

 protected:
  bool FCurrency = false;
};

class TCurrencyField : public TFloatField {
  TW_CLASS(TCurrencyField, TFloatField)
 public:
  explicit TCurrencyField(TComponent* owner);
};

// Date, time and date-time fields; stored as days from 1 January of year 1, milliseconds of the
// day, and milliseconds of such days.
class TDateTimeField : public TField {
  TW_CLASS(TDateTimeField, TField)
 public:
  explicit TDateTimeField(TComponent* owner);
  int DataSize() const override { return 8; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;
  double AsFloat() const override { return AsDateTime(); }
  void SetAsFloat(double value) override { SetAsDateTime(value); }
  TFieldValue Value() const override;
};

class TDateField : public TDateTimeField {
  TW_CLASS(TDateField, TDateTimeField)
 public:
  explicit TDateField(TComponent* owner);
  int DataSize() const override { return 4; }
};

class TTimeField : public TDateTimeField {
  TW_CLASS(TTimeField, TDateTimeField)
 public:
  explicit TTimeField(TComponent* owner);
  int DataSize() const override { return 4; }
};

// BLOB fields: the value lives outside the record image and is read and written through the
// access layer's BLOB calls.
class TBlobField : public TField {
  TW_CLASS(TBlobField, TField)
 public:
  explicit TBlobField(TComponent* owner);
  int DataSize() const override { return 0; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  TFieldValue Value() const override;
  std::string DisplayText() const override;
  std::int64_t BlobSize() const;
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
};

class TMemoField : public TBlobField {
  TW_CLASS(TMemoField, TBlobField)
 public:
  explicit TMemoField(TComponent* owner);
  std::string DisplayText() const override;
};

enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

// A stream over one BLOB field of the active record.  Reading sees the stored value; what is
// written goes back to the record when the stream is freed.
class TBlobStream : public TStream {
 public:
  TBlobStream(TBlobField* field, TBlobStreamMode mode);
  ~TBlobStream() override;
  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, int origin) override;
  void SetSize(std::int64_t newSize) override;
  // Writes pending changes back now.
  void Flush();

 private:
  TBlobField* FField;
  TBlobStreamMode FMode;
  std::string FData;
  std::int64_t FPos = 0;
  bool FModified = false;
};

// Definitions of the columns of a table (what a table has, or is to be created with).
struct TFieldDef {
  std::string Name;
  TFieldType DataType = TFieldType::ftUnknown;
  int Size = 0;
  bool Required = false;
  std::uint16_t FieldNo = 0;
  int Precision = 0;
};

class TFieldDefs {
 public:
  void Clear() { FItems.clear(); }
  void Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
  int Count() const { return static_cast<int>(FItems.size()); }
  const TFieldDef& Items(int i) const { return FItems.at(static_cast<std::size_t>(i)); }
  TFieldDef& Items(int i) { return FItems.at(static_cast<std::size_t>(i)); }
  int IndexOf(const std::string& name) const;
  const TFieldDef* Find(const std::string& name) const;

 private:
  std::vector<TFieldDef> FItems;
};

enum class TIndexOption { ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression };

struct TIndexDef {
  std::string Name;
  std::string Fields;  // field names separated by ";"
  bool Primary = false;
  bool Unique = false;
  bool Descending = false;
  bool CaseInsensitive = false;
};

class TIndexDefs {
 public:
  void Clear() { FItems.clear(); }
  void Add(const std::string& name, const std::string& fields, bool primary = false, bool unique = false,
           bool descending = false, bool caseInsensitive = false);
  int Count() const { return static_cast<int>(FItems.size()); }
  const TIndexDef& Items(int i) const { return FItems.at(static_cast<std::size_t>(i)); }
  int IndexOf(const std::string& name) const;
  const TIndexDef* Find(const std::string& name) const;

 private:
  std::vector<TIndexDef> FItems;
};

// Makes a field object of the class that fits the type.
TField* CreateFieldOfType(TFieldType type, TComponent* owner);
// Case-insensitive compare of names (ASCII letters).
bool SameFieldName(const std::string& a, const std::string& b);
// Splits "A;B;C" into the names.
std::vector<std::string> SplitFieldNames(const std::string& names);

}  // namespace tw
