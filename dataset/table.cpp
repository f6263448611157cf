#include "dataset/table.h"

#include <cstring>

#include "platform/classes/typinfo.h"
#include "dataset/dberrors.h"
#include "dataset/session.h"

namespace tw {

using namespace dbaccess;

namespace {

bool NotFoundCode(DBIResult r) {
  return r == DBIERR_RECNOTFOUND || r == DBIERR_EOF || r == DBIERR_BOF || r == DBIERR_KEYORRECDELETED;
}

}  // namespace

TTable::TTable(TComponent* owner) : TDataSet(owner) {}

TTable::~TTable() {
  try {
    Close();
  } catch (...) {
  }
}

void TTable::SetDatabaseName(const std::string& v) {
  CheckInactive();
  FDatabaseName = v;
}

void TTable::SetTableName(const std::string& v) {
  CheckInactive();
  FTableName = v;
}

void TTable::SetReadOnly(bool v) {
  CheckInactive();
  FReadOnly = v;
}

void TTable::SetExclusive(bool v) {
  CheckInactive();
  FExclusive = v;
}

void TTable::SetIndexName(const std::string& v) {
  if (v == FIndexName && FIndexFieldNames.empty()) return;
  ChangeIndex(v, std::string());
}

void TTable::SetIndexFieldNames(const std::string& v) {
  if (v == FIndexFieldNames) return;
  ChangeIndex(v.empty() ? FIndexName : std::string(), v);
}

void TTable::ChangeIndex(const std::string& name, const std::string& fields) {
  if (Active()) CheckBrowseMode();
  const std::string oldName = FIndexName, oldFields = FIndexFieldNames;
  FIndexName = name;
  FIndexFieldNames = fields;
  if (!Active()) return;
  try {
    ActivateIndex();
  } catch (...) {
    // An index that is not there changes nothing: the table keeps the order it had.
    FIndexName = oldName;
    FIndexFieldNames = oldFields;
    ActivateIndex();
    throw;
  }
  CursorChanged();
  First();
}

TField* TTable::IndexFields(int index) const {
  if (index < 0 || index >= IndexFieldCount()) DatabaseError(dbconst::SFieldIndexError);
  return FKeyFields[static_cast<std::size_t>(index)];
}

TDatabase* TTable::AcquireDatabase() {
  if (FDatabaseName.empty()) DatabaseError(dbconst::SDatabaseNameMissing);
  return Session().OpenDatabase(FDatabaseName);
}

hDBICur TTable::CreateHandle() {
  if (FTableName.empty()) DatabaseError(dbconst::STableNameMissing);
  FDatabase = AcquireDatabase();
  hDBICur cur = 0;
  bool readOnly = FReadOnly || FDatabase->ReadOnly();
  // The index is switched to after the open, once the index list is known.
  DBIResult r = DbiLink().OpenTable(FDatabase->Handle(), FTableName, "", readOnly, FExclusive, cur);
  if (r != 0 || !cur) {
    // The access layer hands out the cursor even when the open fails; it is closed here.
    if (cur) DbiLink().CloseCursor(cur);
    Session().CloseDatabase(FDatabase);
    FDatabase = nullptr;
    CheckTable(r ? r : DBIERR_INVALIDHNDL, FTableName);
  }
  FReadOnlyCursor = readOnly;
  FDatabase->AddDataSet(this);
  return cur;
}

void TTable::DestroyHandle() {
  FKeyFields.clear();
  FIndexDescs.clear();
  TDataSet::DestroyHandle();
  if (FDatabase) {
    TDatabase* db = FDatabase;
    FDatabase = nullptr;
    db->RemoveDataSet(this);
    Session().CloseDatabase(db);
  }
}

void TTable::ReadIndexDescs() {
  CURProps props;
  Check(DbiLink().GetCursorProps(Handle(), props));
  FIndexDescs.assign(props.iIndexes, IDXDesc{});
  if (!FIndexDescs.empty()) Check(DbiLink().GetIndexDescs(Handle(), FIndexDescs.data()));
  FIndexDefs.Clear();
  for (const IDXDesc& d : FIndexDescs) {
    std::string fields;
    for (std::uint16_t i = 0; i < d.iFldsInKey && i < DBIMAXFLDSINKEY; ++i) {
      std::uint16_t no = d.aiKeyFld[i];
      for (int f = 0; f < FieldDefs().Count(); ++f)
        if (FieldDefs().Items(f).FieldNo == no) fields += (fields.empty() ? "" : ";") + FieldDefs().Items(f).Name;
    }
    std::string name(d.szName, strnlen(d.szName, sizeof d.szName));
    if (FIndexDefs.IndexOf(name) < 0)
      FIndexDefs.Add(name, fields, d.bPrimary != 0, d.bUnique != 0, d.bDescending != 0, d.bCaseInsensitive != 0);
  }
}

void TTable::ActivateIndex() {
  FKeyFields.clear();
  FUniqueKey = false;
  const IDXDesc* chosen = nullptr;
  if (!FIndexFieldNames.empty()) {
    std::vector<std::string> wanted = SplitFieldNames(FIndexFieldNames);
    for (const IDXDesc& d : FIndexDescs) {
      if (d.iFldsInKey < wanted.size()) continue;
      bool match = true;
      for (std::size_t i = 0; i < wanted.size() && match; ++i) {
        TField* f = FindField(wanted[i]);
        match = f && f->FieldNo() == d.aiKeyFld[i];
      }
      if (match) {
        chosen = &d;
        break;
      }
    }
    if (!chosen) DatabaseErrorFmt(dbconst::SIndexNotFound, FIndexFieldNames);
  } else if (!FIndexName.empty()) {
    for (const IDXDesc& d : FIndexDescs)
      if (SameFieldName(std::string(d.szName, strnlen(d.szName, sizeof d.szName)), FIndexName)) chosen = &d;
    if (!chosen) DatabaseErrorFmt(dbconst::SIndexNotFound, FIndexName);
  }
  if (!chosen) return;
  hDBICur cur = Handle();
  Check(DbiLink().SwitchToIndex(cur, std::string(chosen->szName, strnlen(chosen->szName, sizeof chosen->szName))));
  for (std::uint16_t i = 0; i < chosen->iFldsInKey && i < DBIMAXFLDSINKEY; ++i)
    for (int f = 0; f < FieldCount(); ++f)
      if (Fields(f)->FieldNo() == chosen->aiKeyFld[i]) FKeyFields.push_back(Fields(f));
  FUniqueKey = (chosen->bUnique || chosen->bPrimary) && FKeyFields.size() == chosen->iFldsInKey;
}

DBIResult TTable::RestoreByKey(const std::vector<std::uint8_t>& record) {
  std::vector<std::uint8_t> found(RecordBuffer().size());
  return DbiLink().GetRecordForKey(Handle(), static_cast<std::uint16_t>(FKeyFields.size()), record.data(),
                                   found.data());
}

void TTable::InternalOpened() {
  ReadIndexDescs();
  ActivateIndex();
}

// ---- keys -----------------------------------------------------------------------------------

void TTable::CheckKeyMode() {
  if (State() != TDataSetState::dsSetKey) DatabaseError(dbconst::SNotInSetKey);
}

void TTable::SetKey() {
  CheckBrowseMode();
  if (FKeyFields.empty()) DatabaseError(dbconst::SNoFieldIndexes);
  Check(DbiLink().InitRecord(Handle(), KeyBuffer().data()));
  SetState(TDataSetState::dsSetKey);
}

void TTable::EditKey() {
  CheckBrowseMode();
  if (FKeyFields.empty()) DatabaseError(dbconst::SNoFieldIndexes);
  SetState(TDataSetState::dsSetKey);
}

std::uint16_t TTable::AssignedKeyFields() {
  std::uint16_t n = 0;
  for (std::size_t i = 0; i < FKeyFields.size(); ++i)
    if (!FKeyFields[i]->IsNull()) n = static_cast<std::uint16_t>(i + 1);
  return n;
}

bool TTable::GotoKey() {
  CheckKeyMode();
  return GotoKeyFields(AssignedKeyFields());
}

bool TTable::GotoKeyFields(std::uint16_t n) {
  SetState(TDataSetState::dsBrowse);
  if (n == 0) return false;
  // The record is read into the spare buffer, which becomes the record buffer when it is found
  // (and the old record buffer the spare).
  std::vector<std::uint8_t>& temp = FFoundRecord;
  temp.assign(RecordBuffer().size(), 0);
  DBIResult r = DbiLink().GetRecordForKey(Handle(), n, KeyBuffer().data(), temp.data());
  // A search that finds nothing may leave the engine's cursor elsewhere: it goes back to the
  // current record, which stays as it was.
  if (NotFoundCode(r)) {
    RestoreCurrentPosition();
    return false;
  }
  if (r != 0) {
    RestoreCurrentPosition();
    Check(r);
  }
  if (!RecordPasses(temp)) {
    RestoreCurrentPosition();
    return false;
  }
  if (BeforeScroll) BeforeScroll(this);
  RecordBuffer().swap(temp);
  // The record found is current as it was read: the cursor stands on it.
  CurrentFound();
  DataEvent();
  if (AfterScroll) AfterScroll(this);
  return true;
}

void TTable::AssignKey(const TFieldValue* values, std::size_t count) {
  if (count > FKeyFields.size()) DatabaseError(dbconst::SFieldIndexError);
  for (std::size_t i = 0; i < count; ++i) FKeyFields[i]->SetValue(values[i]);
}

bool TTable::FindKey(const std::vector<TFieldValue>& values) { return FindKeyValues(values.data(), values.size()); }

bool TTable::FindKey(std::initializer_list<TFieldValue> values) { return FindKeyValues(values.begin(), values.size()); }

bool TTable::FindKeyValues(const TFieldValue* values, std::size_t count) {
  SetKey();
  try {
    AssignKey(values, count);
  } catch (...) {
    Cancel();
    throw;
  }
  // SetKey cleared the key buffer: the key is made of the fields up to the last one that holds
  // a value (a text may have left its field blank, so those are asked).
  std::uint16_t n = static_cast<std::uint16_t>(count);
  while (n > 0 && (std::holds_alternative<std::monostate>(values[n - 1]) ||
                   (std::holds_alternative<std::string>(values[n - 1]) && FKeyFields[n - 1]->IsNull())))
    --n;
  return GotoKeyFields(n);
}

void TTable::GotoNearest() {
  CheckKeyMode();
  std::uint16_t n = AssignedKeyFields();
  SetState(TDataSetState::dsBrowse);
  if (n == 0) return First();
  // The engine places the cursor before the first key not below the one given; the record
  // read from there is the nearest.  With none, the last record becomes current.
  DBIResult r = DbiLink().SetToKey(Handle(), n, KeyBuffer().data());
  if (r != 0 && r != DBIERR_RECNOTFOUND && r != DBIERR_EOF) {
    RestoreCurrentPosition();
    Check(r);
  }
  ReadFromPlacedCursor(r == 0);
}

void TTable::FindNearest(const std::vector<TFieldValue>& values) {
  SetKey();
  try {
    AssignKey(values.data(), values.size());
  } catch (...) {
    Cancel();
    throw;
  }
  GotoNearest();
}

void TTable::SetRange(const std::vector<TFieldValue>& start, const std::vector<TFieldValue>& end) {
  CheckBrowseMode();
  if (FKeyFields.empty()) DatabaseError(dbconst::SNoFieldIndexes);
  std::vector<std::uint8_t> low(KeyBuffer().size()), high(KeyBuffer().size());
  SetKey();
  try {
    AssignKey(start.data(), start.size());
    low = KeyBuffer();
    Check(DbiLink().InitRecord(Handle(), KeyBuffer().data()));
    AssignKey(end.data(), end.size());
    high = KeyBuffer();
  } catch (...) {
    Cancel();
    throw;
  }
  SetState(TDataSetState::dsBrowse);
  // No values on a side leaves that side open.
  Check(DbiLink().SetRange(Handle(), static_cast<std::uint16_t>(start.size()), start.empty() ? nullptr : low.data(),
                           true, static_cast<std::uint16_t>(end.size()), end.empty() ? nullptr : high.data(), true));
  First();
}

void TTable::CancelRange() {
  CheckBrowseMode();
  Check(DbiLink().ResetRange(Handle()));
  First();
}

// ---- table-level operations -----------------------------------------------------------------

void TTable::CreateTable() {
  CheckInactive();
  if (FTableName.empty()) DatabaseError(dbconst::STableNameMissing);
  if (FieldDefs().Count() == 0) DatabaseError("Field definitions missing");
  std::vector<TCreateFieldDesc> fields;
  for (int i = 0; i < FieldDefs().Count(); ++i) {
    const TFieldDef& d = FieldDefs().Items(i);
    TCreateFieldDesc f;
    f.Name = d.Name;
    FieldTypeToLogical(d.DataType, f.FldType, f.SubType);
    if (f.FldType == fldUNKNOWN) DatabaseErrorFmt("Field '%s' is of an unknown type", d.Name);
    if (d.DataType == TFieldType::ftString && (d.Size < 1 || d.Size > 8192))
      DatabaseErrorFmt("Invalid size for field '%s'", d.Name);
    f.Units1 = static_cast<std::int16_t>(d.Size);
    f.Units2 = static_cast<std::int16_t>(d.Precision);
    f.Required = d.Required;
    fields.push_back(f);
  }
  std::vector<TCreateIndexDesc> indexes;
  for (int i = 0; i < FIndexDefs.Count(); ++i) {
    const TIndexDef& d = FIndexDefs.Items(i);
    TCreateIndexDesc x;
    x.Name = d.Name;
    for (const std::string& n : SplitFieldNames(d.Fields)) {
      int at = FieldDefs().IndexOf(n);
      if (at < 0) DatabaseErrorFmt(dbconst::SFieldNotFound, n);
      x.KeyFields.push_back(static_cast<std::uint16_t>(at + 1));
    }
    if (x.KeyFields.empty()) DatabaseErrorFmt("Index '%s' has no fields", d.Name);
    x.Primary = d.Primary;
    x.Unique = d.Unique || d.Primary;
    x.Descending = d.Descending;
    x.CaseInsensitive = d.CaseInsensitive;
    indexes.push_back(x);
  }
  TDatabase* db = AcquireDatabase();
  DBIResult r = DbiLink().CreateTable(db->Handle(), FTableName, true, fields, indexes);
  Session().CloseDatabase(db);
  Check(r);
}

void TTable::EmptyTable() {
  if (Active()) {
    CheckBrowseMode();
    if (!CanModify()) DatabaseError(dbconst::SDataSetReadOnly);
    Check(DbiLink().EmptyTable(FDatabase->Handle(), Handle(), FTableName));
    First();
    return;
  }
  if (FTableName.empty()) DatabaseError(dbconst::STableNameMissing);
  TDatabase* db = AcquireDatabase();
  DBIResult r = DbiLink().EmptyTable(db->Handle(), 0, FTableName);
  Session().CloseDatabase(db);
  Check(r);
}

void TTable::DeleteTable() {
  CheckInactive();
  if (FTableName.empty()) DatabaseError(dbconst::STableNameMissing);
  TDatabase* db = AcquireDatabase();
  DBIResult r = DbiLink().DeleteTable(db->Handle(), FTableName);
  Session().CloseDatabase(db);
  Check(r);
}

TW_PUBLISHED(TTable,
             Prop("DatabaseName", &TTable::DatabaseName, &TTable::SetDatabaseName),
             Prop("TableName", &TTable::TableName, &TTable::SetTableName),
             Prop("IndexName", &TTable::IndexName, &TTable::SetIndexName),
             Prop("IndexFieldNames", &TTable::IndexFieldNames, &TTable::SetIndexFieldNames),
             Prop("ReadOnly", &TTable::ReadOnly, &TTable::SetReadOnly),
             Prop("Exclusive", &TTable::Exclusive, &TTable::SetExclusive));

TW_REGISTER_CLASS(TTable);

}  // namespace tw
