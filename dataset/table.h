// A table of a database: opens a cursor on the named table in the order of an index, finds
// records by key, limits them to a key range, and creates, empties and deletes the table.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "dataset/dataset.h"

namespace tw {

class TDatabase;

class TTable : public TDataSet {
  TW_CLASS(TTable, TDataSet)
 public:
  explicit TTable(TComponent* owner);
  ~TTable() override;

  const std::string& DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const std::string& v);
  const std::string& TableName() const { return FTableName; }
  void SetTableName(const std::string& v);
  const std::string& IndexName() const { return FIndexName; }
  void SetIndexName(const std::string& v);
  // Names of the key fields ("Lang;Nr"); the index with those key fields becomes active.
  const std::string& IndexFieldNames() const { return FIndexFieldNames; }
  void SetIndexFieldNames(const std::string& v);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v);
  bool Exclusive() const { return FExclusive; }
  void SetExclusive(bool v);
  TDatabase* Database() const { return FDatabase; }
  TIndexDefs& IndexDefs() { return FIndexDefs; }

  // Key fields of the active index.
  int IndexFieldCount() const { return static_cast<int>(FKeyFields.size()); }
  TField* IndexFields(int index) const;

  // Key search: SetKey, assign the key fields, GotoKey; or FindKey with the values in index
  // order.  A failed search leaves the current record where it was.  GotoNearest and
  // FindNearest go to the first record whose key is not below the one given (a text key field
  // given in part matches its beginning), and to the last record when every key is below.
  void SetKey();
  void EditKey();
  bool GotoKey();
  void GotoNearest();
  bool FindKey(const std::vector<TFieldValue>& values);
  // The same for a list written out at the call: its values are not copied into a vector.
  bool FindKey(std::initializer_list<TFieldValue> values);
  void FindNearest(const std::vector<TFieldValue>& values);
  // Limits the records to the keys from start to end (both included); an empty side is open.
  void SetRange(const std::vector<TFieldValue>& start, const std::vector<TFieldValue>& end);
  void CancelRange();

  void CreateTable();
  void EmptyTable();
  void DeleteTable();

 protected:
  hDBICur CreateHandle() override;
  void DestroyHandle() override;
  void InternalOpened() override;
  bool CanRestoreByKey() const override { return FUniqueKey && !FKeyFields.empty(); }
  DBIResult RestoreByKey(const std::vector<std::uint8_t>& record) override;

 private:
  void CheckKeyMode();
  void ChangeIndex(const std::string& name, const std::string& fields);
  void ActivateIndex();
  void ReadIndexDescs();
  void AssignKey(const TFieldValue* values, std::size_t count);
  bool FindKeyValues(const TFieldValue* values, std::size_t count);
  std::uint16_t AssignedKeyFields();
  // GotoKey with the number of leading key fields already known.
  bool GotoKeyFields(std::uint16_t n);
  TDatabase* AcquireDatabase();

  std::string FDatabaseName;
  std::string FTableName;
  std::string FIndexName;
  std::string FIndexFieldNames;
  bool FReadOnly = false;
  bool FExclusive = false;
  TDatabase* FDatabase = nullptr;
  TIndexDefs FIndexDefs;
  std::vector<IDXDesc> FIndexDescs;
  std::vector<TField*> FKeyFields;
  bool FUniqueKey = false;  // the current index holds each key once
  std::vector<std::uint8_t> FFoundRecord;  // spare record buffer of the key searches
};

}  // namespace tw
