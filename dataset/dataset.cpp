#include "dataset/dataset.h"

#include <algorithm>
#include <cstring>

#include "platform/classes/typinfo.h"
#include "dataset/dberrors.h"
#include "dataset/enginefilter.h"
#include "dataset/filterexpr.h"

namespace tw {

using namespace dbaccess;

namespace {
void Fire(const TDataSetNotifyEvent& e, TDataSet* ds) {
  if (e) e(ds);
}
bool IsEndCode(DBIResult r) { return r == DBIERR_EOF || r == DBIERR_BOF; }
// Bytes of a BLOB moved in one call: the transport refuses more than 65517 in one request.
constexpr std::uint32_t kBlobPiece = 32768;
constexpr std::uint32_t kFirstBlobPiece = 1024;
}  // namespace

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
  try {
    if (Active()) {
      // Events of a data set being freed are not fired: their owners may be gone already.
      BeforeClose = AfterClose = BeforeCancel = AfterCancel = nullptr;
      Close();
    }
  } catch (...) {
  }
  FreeDefaultFields();
}

// ---- state ---------------------------------------------------------------------------------

void TDataSet::CheckActive() const {
  if (!Active()) DatabaseError(dbconst::SDataSetClosed);
}

void TDataSet::CheckInactive() const {
  if (Active()) DatabaseError(dbconst::SDataSetOpen);
}

void TDataSet::SetState(TDataSetState state) {
  if (FState != state) {
    FState = state;
    DataEvent();
  }
}

void TDataSet::DataEvent() {
  if (FDisableCount > 0) {
    FDataChangedWhileDisabled = true;
    return;
  }
  Fire(OnDataChange, this);
}

void TDataSet::EnableControls() {
  if (FDisableCount == 0) return;
  if (--FDisableCount == 0 && FDataChangedWhileDisabled) {
    FDataChangedWhileDisabled = false;
    DataEvent();
  }
}

void TDataSet::SetActive(bool value) {
  if (ComponentState().Contains(TComponentStateFlag::csLoading)) {
    FStreamedActive = value;
    return;
  }
  if (value) Open();
  else Close();
}

void TDataSet::Loaded() {
  TComponent::Loaded();
  if (FStreamedActive) {
    FStreamedActive = false;
    Open();
  }
}

// ---- open and close -------------------------------------------------------------------------

void TDataSet::Open() {
  if (Active()) return;
  Fire(BeforeOpen, this);
  OpenCursor();
  Fire(AfterOpen, this);
}

void TDataSet::OpenCursor() {
  try {
    FHandle = CreateHandle();
    if (!FHandle) DatabaseError(dbconst::SDataSetClosed);
    FProps = CURProps{};
    Check(DbiLink().GetCursorProps(FHandle, FProps));
    std::vector<FLDDesc> descs(FProps.iFields);
    if (!descs.empty()) Check(DbiLink().GetFieldDescs(FHandle, descs.data()));
    FFieldDefs.Clear();
    FFieldLengths.clear();
    for (const FLDDesc& d : descs) {
      TFieldType t = LogicalToFieldType(d.iFldType, d.iSubType);
      std::string name(d.szName, strnlen(d.szName, sizeof d.szName));
      bool required = false;
      if (d.efldvVchk != 0) {
        VCHKDesc v;
        if (DbiLink().GetVchkDesc(FHandle, d.iFldNum, v) == 0) required = v.bRequired != 0;
      }
      FFieldDefs.Add(name, t, t == TFieldType::ftString ? d.iUnits1 : 0, required);
      const std::uint16_t no = d.iFldNum ? d.iFldNum : static_cast<std::uint16_t>(FFieldDefs.Count());
      FFieldDefs.Items(FFieldDefs.Count() - 1).FieldNo = no;
      if (FFieldLengths.size() <= no) FFieldLengths.resize(no + 1u, 0);
      FFieldLengths[no] = d.iLen;
    }
    FRecBuf.assign(std::max<std::size_t>(FProps.iRecBufSize, 1), 0);
    FKeyBuf.assign(FRecBuf.size(), 0);
    FBookmark.assign(std::max<std::size_t>(FProps.iBookMarkSize, 1), 0);
    BindFields();
    ApplyFilterText();
    FState = TDataSetState::dsBrowse;
    InternalOpened();
    CursorChanged();
    InstallEngineFilter();
    First();
  } catch (...) {
    FState = TDataSetState::dsInactive;
    FEngineFilter = 0;  // filters go with the cursor
    try {
      DestroyHandle();
    } catch (...) {
    }
    FreeDefaultFields();
    ClearBuffers();
    throw;
  }
}

void TDataSet::CursorChanged() {
  // The bookmark of a cursor may depend on its index; sizes are read again after a switch.
  CURProps props;
  Check(DbiLink().GetCursorProps(FHandle, props));
  if (props.iBookMarkSize > FBookmark.size()) FBookmark.assign(props.iBookMarkSize, 0);
  if (props.iRecBufSize > FRecBuf.size()) {
    FRecBuf.resize(props.iRecBufSize);
    FKeyBuf.resize(props.iRecBufSize);
  }
  ForgetPosition();
}

void TDataSet::BindFields() {
  FreeDefaultFields();
  for (int i = 0; i < FFieldDefs.Count(); ++i) {
    const TFieldDef& d = FFieldDefs.Items(i);
    TField* f = CreateFieldOfType(d.DataType, nullptr);
    if (!f) continue;  // columns of a kind the data set does not present
    f->SetFieldName(d.Name);
    f->SetFieldNo(d.FieldNo);
    if (d.DataType == TFieldType::ftString) f->SetSize(d.Size);
    f->SetRequired(d.Required);
    f->SetDataSet(this);
    FDefaultFields.push_back(f);
  }
  FFields = FDefaultFields;
}

void TDataSet::FreeDefaultFields() {
  for (TField* f : FDefaultFields) delete f;
  FDefaultFields.clear();
  FFields.clear();
}

void TDataSet::ClearBuffers() {
  FFieldLengths.clear();
  FRecBuf.clear();
  FOldBuf.clear();
  FFreshBlobs.clear();
  FKeyBuf.clear();
  FBookmark.clear();
  ForgetPosition();
  FEmpty = true;
  FBof = FEof = true;
}

void TDataSet::DestroyHandle() {
  if (FHandle) {
    hDBICur h = FHandle;
    FHandle = 0;
    DbiLink().CloseCursor(h);
  }
}

void TDataSet::Close() {
  if (!Active()) return;
  Fire(BeforeClose, this);
  // Unposted changes are dropped, as on Cancel.
  FState = TDataSetState::dsInactive;
  FEngineFilter = 0;  // filters go with the cursor
  InternalClosed();
  try {
    DestroyHandle();
  } catch (...) {
    FreeDefaultFields();
    ClearBuffers();
    throw;
  }
  FreeDefaultFields();
  ClearBuffers();
  DataEvent();
  Fire(AfterClose, this);
}

// ---- moving ---------------------------------------------------------------------------------

bool TDataSet::RecordPasses(std::vector<std::uint8_t>& record) {
  if (!FFiltered || (!FFilterExpr && !OnFilterRecord)) return true;
  if (record.size() < FRecBuf.size()) record.resize(FRecBuf.size());
  // The record under test becomes the current one while the filter reads its fields.
  struct TSwapIn {
    TDataSet& ds;
    std::vector<std::uint8_t>& rec;
    TDataSetState state;
    bool empty;
    TSwapIn(TDataSet& d, std::vector<std::uint8_t>& r) : ds(d), rec(r), state(d.FState), empty(d.FEmpty) {
      ds.FRecBuf.swap(rec);
      ds.FState = TDataSetState::dsBrowse;
      ds.FEmpty = false;
    }
    ~TSwapIn() {
      ds.FRecBuf.swap(rec);
      ds.FState = state;
      ds.FEmpty = empty;
    }
  } swapIn(*this, record);
  bool accept = true;
  if (FFilterExpr)
    accept = FFilterExpr->Evaluate([this](const std::string& name) { return FieldByName(name)->Value(); });
  if (accept && OnFilterRecord) OnFilterRecord(this, accept);
  return accept;
}

void TDataSet::SaveCurrentBookmark() {
  if (DbiLink().GetBookMark(FHandle, FBookmark.data()) == 0) {
    FHaveCurrent = true;
    FPositionByKey = false;
  }
}

void TDataSet::ForgetPosition() {
  FHaveCurrent = false;
  FPositionByKey = false;
}

DBIResult TDataSet::RestoreCurrentPosition() {
  if (FHaveCurrent) return DbiLink().SetToBookMark(FHandle, FBookmark.data());
  if (FPositionByKey) return RestoreByKey(FPositionRec);
  return 0;
}

bool TDataSet::Fetch(bool forward) {
  std::vector<std::uint8_t> temp(FRecBuf.size());
  for (;;) {
    DBIResult r = forward ? DbiLink().GetNextRecord(FHandle, temp.data()) : DbiLink().GetPriorRecord(FHandle, temp.data());
    if (IsEndCode(r)) {
      RestoreCurrentPosition();
      return false;
    }
    Check(r);
    if (RecordPasses(temp)) {
      FRecBuf.swap(temp);
      ForgetPosition();
      SaveCurrentBookmark();
      FHaveCurrent = true;
      FEmpty = false;
      return true;
    }
  }
}

void TDataSet::First() { MoveToEnd(true); }

void TDataSet::Last() { MoveToEnd(false); }

void TDataSet::MoveToEnd(bool first) {
  CheckBrowseMode();
  Fire(BeforeScroll, this);
  SettleAtEnd(first);
  DataEvent();
  Fire(AfterScroll, this);
}

void TDataSet::SettleAtEnd(bool first) {
  ForgetPosition();
  Check(first ? DbiLink().SetToBegin(FHandle) : DbiLink().SetToEnd(FHandle));
  if (Fetch(first)) {
    FBof = first;
    FEof = !first;
  } else {
    FEmpty = true;
    FBof = FEof = true;
    DbiLink().InitRecord(FHandle, FRecBuf.data());
  }
}

void TDataSet::ReadFromPlacedCursor(bool placed) {
  Fire(BeforeScroll, this);
  if (placed && Fetch(true)) FBof = FEof = false;
  else SettleAtEnd(false);
  DataEvent();
  Fire(AfterScroll, this);
}

void TDataSet::Next() {
  CheckBrowseMode();
  if (FEof || FEmpty) {
    FEof = true;
    return;
  }
  Fire(BeforeScroll, this);
  if (Fetch(true)) FBof = false;
  else FEof = true;
  DataEvent();
  Fire(AfterScroll, this);
}

void TDataSet::Prior() {
  CheckBrowseMode();
  if (FBof || FEmpty) {
    FBof = true;
    return;
  }
  Fire(BeforeScroll, this);
  if (Fetch(false)) FEof = false;
  else FBof = true;
  DataEvent();
  Fire(AfterScroll, this);
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  while (distance > 0 && !FEof) {
    Next();
    if (!FEof) ++moved, --distance;
    else break;
  }
  while (distance < 0 && !FBof) {
    Prior();
    if (!FBof) --moved, ++distance;
    else break;
  }
  return moved;
}

int TDataSet::RecordCount() {
  CheckActive();
  std::vector<std::uint8_t> temp(FRecBuf.size());
  int count = 0;
  Check(DbiLink().SetToBegin(FHandle));
  for (;;) {
    DBIResult r = DbiLink().GetNextRecord(FHandle, temp.data());
    if (IsEndCode(r)) break;
    if (r != 0) {
      RestoreCurrentPosition();
      Check(r);
    }
    if (RecordPasses(temp)) ++count;
  }
  if (HasPosition()) RestoreCurrentPosition();
  else DbiLink().SetToBegin(FHandle);
  return count;
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  if (HasPosition()) {
    std::vector<std::uint8_t> temp(FRecBuf.size());
    DBIResult r = ReadCurrent(temp);
    if (r == 0 && RecordPasses(temp)) {
      FRecBuf.swap(temp);
      DataEvent();
      return;
    }
  }
  First();
}

// ---- fields ---------------------------------------------------------------------------------

TField* TDataSet::Fields(int index) const {
  if (index < 0 || index >= FieldCount()) DatabaseError(dbconst::SFieldIndexError);
  return FFields[static_cast<std::size_t>(index)];
}

TField* TDataSet::FindField(const std::string& name) const {
  for (TField* f : FFields)
    if (SameFieldName(f->FieldName(), name)) return f;
  return nullptr;
}

TField* TDataSet::FieldByName(const std::string& name) const {
  TField* f = FindField(name);
  if (!f) DatabaseErrorFmt(dbconst::SFieldNotFound, name);
  return f;
}

std::uint8_t* TDataSet::ActiveBuffer() const {
  auto& buf = FState == TDataSetState::dsSetKey ? FKeyBuf : FRecBuf;
  return const_cast<std::uint8_t*>(buf.data());
}

void TDataSet::CheckField(const TField* field) const {
  CheckActive();
  if (!field || field->DataSet() != this) DatabaseError(dbconst::SFieldIndexError);
}

std::size_t TDataSet::FieldBufferSize(const TField* field) const {
  std::size_t size = static_cast<std::size_t>(std::max(field->DataSize(), 0));
  if (field->FieldNo() < FFieldLengths.size()) size = std::max<std::size_t>(size, FFieldLengths[field->FieldNo()]);
  return size;
}

bool TDataSet::GetFieldData(const TField* field, void* buffer) const {
  CheckField(field);
  if (FEmpty && FState == TDataSetState::dsBrowse) return false;
  FFieldScratch.assign(FieldBufferSize(field) + 1, 0);
  bool blank = true;
  Check(DbiLink().GetField(FHandle, field->FieldNo(), ActiveBuffer(), FFieldScratch.data(), blank));
  if (!blank && buffer) std::memcpy(buffer, FFieldScratch.data(), static_cast<std::size_t>(std::max(field->DataSize(), 0)));
  return !blank;
}

namespace {
bool HasFixedSize(TFieldType type) {
  switch (type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftBoolean:
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftDate:
    case TFieldType::ftTime:
    case TFieldType::ftDateTime:
    case TFieldType::ftAutoInc: return true;
    default: return false;
  }
}
}  // namespace

void TDataSet::SetFieldData(TField* field, const void* buffer) {
  CheckField(field);
  if (FState != TDataSetState::dsEdit && FState != TDataSetState::dsInsert && FState != TDataSetState::dsSetKey)
    DatabaseError(dbconst::SNotEditing);
  if (field->ReadOnly() && FState != TDataSetState::dsSetKey)
    DatabaseErrorFmt(dbconst::SFieldReadOnly, field->DisplayLabel());
  const std::uint8_t* source = static_cast<const std::uint8_t*>(buffer);
  // A number, date or time is read at its fixed size: when the value already fills what the
  // access layer reads, it is handed on as it stands; text and bytes are padded with zeros.
  if (buffer && (!HasFixedSize(field->DataType()) ||
                 static_cast<std::size_t>(std::max(field->DataSize(), 0)) < FieldBufferSize(field))) {
    FFieldScratch.assign(FieldBufferSize(field) + 1, 0);
    std::memcpy(FFieldScratch.data(), buffer, static_cast<std::size_t>(std::max(field->DataSize(), 0)));
    source = FFieldScratch.data();
  }
  Check(DbiLink().PutField(FHandle, field->FieldNo(), ActiveBuffer(), source));
  DataEvent();
}

std::int64_t TDataSet::BlobSize(const TField* field) const {
  CheckField(field);
  if (FEmpty && FState == TDataSetState::dsBrowse) return 0;
  std::uint8_t* rec = ActiveBuffer();
  Check(DbiLink().OpenBlob(FHandle, rec, field->FieldNo(), true));
  std::uint32_t size = 0;
  DBIResult r = DbiLink().GetBlobSize(FHandle, rec, field->FieldNo(), size);
  DbiLink().FreeBlob(FHandle, rec, field->FieldNo());
  Check(r);
  return size;
}

std::string TDataSet::ReadBlob(const TField* field) const {
  CheckField(field);
  if (FEmpty && FState == TDataSetState::dsBrowse) return {};
  std::uint8_t* rec = ActiveBuffer();
  const std::uint16_t no = field->FieldNo();
  Check(DbiLink().OpenBlob(FHandle, rec, no, true));
  std::string data;
  std::uint32_t size = 0;
  // Most values fit the first piece: a short first read is the whole value, so its size is
  // asked only when the first piece came back full.
  // The first piece lands in a buffer the data set keeps; the value is then made at its size.
  FBlobScratch.resize(kFirstBlobPiece);
  std::uint32_t got = 0;
  DBIResult r = DbiLink().GetBlob(FHandle, rec, no, 0, kFirstBlobPiece, FBlobScratch.data(), got);
  if (r == 0) {
    data.assign(reinterpret_cast<const char*>(FBlobScratch.data()), std::min(got, kFirstBlobPiece));
    if (got >= kFirstBlobPiece) r = DbiLink().GetBlobSize(FHandle, rec, no, size);
  }
  // The rest in pieces below the transport's limit for one request.
  while (r == 0 && data.size() < size) {
    std::uint32_t want = std::min<std::uint32_t>(kBlobPiece, size - static_cast<std::uint32_t>(data.size()));
    std::string chunk(want, '\0');
    std::uint32_t read = 0;
    r = DbiLink().GetBlob(FHandle, rec, no, static_cast<std::uint32_t>(data.size()), want,
                          reinterpret_cast<std::uint8_t*>(chunk.data()), read);
    if (r != 0) break;
    if (read == 0 || read > want) break;  // a short store ends the value; never loop on nothing
    data.append(chunk.data(), read);
  }
  DbiLink().FreeBlob(FHandle, rec, no);
  Check(r);
  return data;
}

void TDataSet::WriteBlob(TField* field, const std::string& data) {
  CheckField(field);
  if (FState != TDataSetState::dsEdit && FState != TDataSetState::dsInsert) DatabaseError(dbconst::SNotEditing);
  if (field->ReadOnly()) DatabaseErrorFmt(dbconst::SFieldReadOnly, field->DisplayLabel());
  std::uint8_t* rec = FRecBuf.data();
  const std::uint16_t no = field->FieldNo();
  if (data.size() > 0xFFFFFFF0u) DatabaseErrorFmt(dbconst::SFieldRangeError, "BLOB");
  const auto length = static_cast<std::uint32_t>(data.size());
  // The first write of a field in an edit goes to a new BLOB, not into the one the stored
  // record holds: the server writes BLOBs at once, and the old text must stay until Post (a
  // Cancel or a failed Post changes nothing). A field left blank makes the access layer
  // create one.
  if (std::find(FFreshBlobs.begin(), FFreshBlobs.end(), no) == FFreshBlobs.end()) {
    if (FState == TDataSetState::dsEdit) Check(DbiLink().PutField(FHandle, no, rec, nullptr));
    FFreshBlobs.push_back(no);
  }
  Check(DbiLink().OpenBlob(FHandle, rec, no, false));
  DBIResult r = 0;
  // Written in pieces below the transport's limit for one request.
  for (std::uint32_t at = 0; r == 0 && at < length; at += kBlobPiece) {
    const std::uint32_t n = std::min(kBlobPiece, length - at);
    r = DbiLink().PutBlob(FHandle, rec, no, at, n, reinterpret_cast<const std::uint8_t*>(data.data()) + at);
  }
  // A longer old value is cut to the new length; a value that was not there needs no cut.
  std::uint32_t size = 0;
  if (r == 0 && DbiLink().GetBlobSize(FHandle, rec, no, size) == 0 && size > length)
    r = DbiLink().TruncateBlob(FHandle, rec, no, length);
  Check(r);
  DataEvent();
}

// ---- editing --------------------------------------------------------------------------------

bool TDataSet::CanModify() const { return Active() && !FReadOnlyCursor; }

void TDataSet::CheckBrowseMode() {
  CheckActive();
  switch (FState) {
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert: Post(); break;
    case TDataSetState::dsSetKey: SetState(TDataSetState::dsBrowse); break;
    default: break;
  }
}

void TDataSet::Edit() {
  CheckActive();
  if (FState == TDataSetState::dsEdit || FState == TDataSetState::dsInsert) return;
  if (FEmpty) return Insert();
  if (!CanModify()) DatabaseError(dbconst::SDataSetReadOnly);
  CheckBrowseMode();
  Fire(BeforeEdit, this);
  ReadAgainForEdit();
  FOldBuf = FRecBuf;
  SetState(TDataSetState::dsEdit);
  Fire(AfterEdit, this);
}

void TDataSet::ReadAgainForEdit() {
  // The edit starts from the record as it is stored now: another data set, cursor or program
  // may have changed it since it was read, and Post would write the old values of the fields
  // the edit never touched over that change.  A record gone meanwhile keeps what was read (its
  // Post then fails); a read on the gap it left takes the next record, so only a read of the
  // same record (the same bookmark) counts.
  if (!FHaveCurrent && !FPositionByKey) return;  // no place to read it from
  if (RestoreCurrentPosition() != 0) return;
  std::vector<std::uint8_t> now(FRecBuf.size());
  if (ReadCurrent(now) != 0) return;
  if (FHaveCurrent) {
    std::vector<std::uint8_t> mark(FBookmark.size());
    if (DbiLink().GetBookMark(FHandle, mark.data()) != 0 || mark != FBookmark) {
      RestoreCurrentPosition();
      return;
    }
  }
  FRecBuf.swap(now);
}

void TDataSet::Insert() {
  CheckActive();
  if (!CanModify()) DatabaseError(dbconst::SDataSetReadOnly);
  CheckBrowseMode();
  Fire(BeforeInsert, this);
  FOldBuf = FRecBuf;
  Check(DbiLink().InitRecord(FHandle, FRecBuf.data()));
  SetState(TDataSetState::dsInsert);
  Fire(OnNewRecord, this);
  Fire(AfterInsert, this);
}

void TDataSet::Append() { Insert(); }

void TDataSet::Post() {
  CheckActive();
  if (FState == TDataSetState::dsSetKey) {
    SetState(TDataSetState::dsBrowse);
    return;
  }
  if (FState != TDataSetState::dsEdit && FState != TDataSetState::dsInsert) DatabaseError(dbconst::SNotEditing);
  Fire(BeforePost, this);
  for (TField* f : FFields)
    if (f->Required() && f->IsNull()) DatabaseErrorFmt(dbconst::SFieldRequired, f->DisplayLabel());
  if (FState == TDataSetState::dsInsert) {
    Check(DbiLink().InsertRecord(FHandle, FRecBuf.data()));
  } else {
    // The change goes to the record being edited: when the cursor cannot stand on it again
    // (deleted meanwhile), nothing is written rather than a neighbour changed.
    Check(RestoreCurrentPosition());
    Check(DbiLink().ModifyRecord(FHandle, FRecBuf.data()));
  }
  ResyncCurrent();
  FOldBuf.clear();
  FFreshBlobs.clear();
  SetState(TDataSetState::dsBrowse);
  Fire(AfterPost, this);
}

void TDataSet::ResyncCurrent() {
  std::vector<std::uint8_t> temp(FRecBuf.size());
  if (ReadCurrent(temp) == 0) FRecBuf.swap(temp);
  ForgetPosition();
  SaveCurrentBookmark();
  FEmpty = false;
  FBof = FEof = false;
}

void TDataSet::CurrentFound() {
  ForgetPosition();
  if (CanRestoreByKey()) {
    FPositionRec = FRecBuf;
    FPositionByKey = true;
  } else {
    SaveCurrentBookmark();
  }
  FEmpty = false;
  FBof = FEof = false;
}

DBIResult TDataSet::RestoreByKey(const std::vector<std::uint8_t>&) { return DBIERR_RECNOTFOUND; }

void TDataSet::Cancel() {
  CheckActive();
  if (FState == TDataSetState::dsSetKey) {
    SetState(TDataSetState::dsBrowse);
    return;
  }
  if (FState != TDataSetState::dsEdit && FState != TDataSetState::dsInsert) return;
  Fire(BeforeCancel, this);
  DropFreshBlobs();
  if (!FOldBuf.empty()) FRecBuf = FOldBuf;
  FOldBuf.clear();
  RestoreCurrentPosition();
  SetState(TDataSetState::dsBrowse);
  Fire(AfterCancel, this);
}

void TDataSet::DropFreshBlobs() {
  // No stored record holds them: their bytes are given back (a failure leaves an unused BLOB,
  // nothing more).
  for (std::uint16_t no : FFreshBlobs) {
    std::uint32_t size = 0;
    if (DbiLink().GetBlobSize(FHandle, FRecBuf.data(), no, size) == 0 && size > 0)
      DbiLink().TruncateBlob(FHandle, FRecBuf.data(), no, 0);
  }
  FFreshBlobs.clear();
}

void TDataSet::Delete() {
  CheckActive();
  if (FState == TDataSetState::dsInsert) return Cancel();
  if (FEmpty) DatabaseError(dbconst::SDataSetEmpty);
  if (!CanModify()) DatabaseError(dbconst::SDataSetReadOnly);
  if (FState == TDataSetState::dsEdit) Cancel();
  CheckBrowseMode();
  Fire(BeforeDelete, this);
  Check(RestoreCurrentPosition());  // never a neighbour in place of a record gone meanwhile
  Check(DbiLink().DeleteRecord(FHandle));
  ForgetPosition();
  if (Fetch(true)) {
    FBof = FEof = false;
  } else if (Fetch(false)) {
    FBof = false;
    FEof = true;
  } else {
    FEmpty = true;
    FBof = FEof = true;
    DbiLink().InitRecord(FHandle, FRecBuf.data());
  }
  DataEvent();
  Fire(AfterDelete, this);
}

// ---- filters --------------------------------------------------------------------------------

void TDataSet::ApplyFilterText() {
  FFilterExpr.reset();
  if (FFilterText.empty()) return;
  auto e = std::make_unique<TFilterExpression>(FFilterText);
  if (Active() || !FFields.empty())
    for (const std::string& n : e->FieldNames())
      if (!FindField(n)) DatabaseErrorFmt(dbconst::SFieldNotFound, n);
  FFilterExpr = std::move(e);
}

void TDataSet::SetFilter(const std::string& text) {
  if (text == FFilterText) return;
  std::string old = FFilterText;
  FFilterText = text;
  try {
    ApplyFilterText();
  } catch (...) {
    FFilterText = old;
    ApplyFilterText();
    throw;
  }
  if (Active() && FFiltered) {
    CheckBrowseMode();
    InstallEngineFilter();
    First();
  }
}

void TDataSet::SetFiltered(bool value) {
  if (value == FFiltered) return;
  if (Active()) CheckBrowseMode();
  FFiltered = value;
  if (Active()) {
    InstallEngineFilter();
    First();
  }
}

void TDataSet::InstallEngineFilter() {
  RemoveEngineFilter();
  if (!FFiltered || !FFilterExpr || !FHandle) return;
  std::vector<std::uint8_t> block = BuildEngineFilter(*FFilterExpr, [this](const std::string& name, TEngineFilterField& out) {
    const TField* f = FindField(name);
    if (!f || f->DataSet() != this) return false;
    out.Name = f->FieldName();
    out.FieldNo = f->FieldNo();
    out.DataType = f->DataType();
    out.Size = f->Size();
    return true;
  });
  if (block.empty()) return;
  hDBIFilter filter = 0;
  if (DbiLink().AddFilter(FHandle, block, filter) != 0 || filter == 0) return;  // the data set filters alone
  if (DbiLink().ActivateFilter(FHandle, filter) != 0) {
    DbiLink().DropFilter(FHandle, filter);
    return;
  }
  FEngineFilter = filter;
}

void TDataSet::RemoveEngineFilter() {
  if (!FEngineFilter) return;
  hDBIFilter filter = FEngineFilter;
  FEngineFilter = 0;
  DBIResult r = DbiLink().DropFilter(FHandle, filter);
  // A filter that stays in force would hide records from the next filter: at least switch it off.
  if (r != 0 && DbiLink().DeactivateFilter(FHandle, filter) != 0) Check(r);
}

DBIResult TDataSet::ReadCurrent(std::vector<std::uint8_t>& record) {
  if (!FEngineFilter) return DbiLink().GetRecord(FHandle, record.data());
  // The access layer's record read moves on past a record its filter rejects.
  Check(DbiLink().DeactivateFilter(FHandle, FEngineFilter));
  DBIResult r = DbiLink().GetRecord(FHandle, record.data());
  if (DbiLink().ActivateFilter(FHandle, FEngineFilter) != 0) RemoveEngineFilter();
  return r;
}

TW_PUBLISHED(TDataSet,
             Prop("Active", &TDataSet::Active, &TDataSet::SetActive),
             Prop("Filter", &TDataSet::Filter, &TDataSet::SetFilter),
             Prop("Filtered", &TDataSet::Filtered, &TDataSet::SetFiltered),
             Prop("BeforeOpen", &TDataSet::BeforeOpen), Prop("AfterOpen", &TDataSet::AfterOpen),
             Prop("BeforeClose", &TDataSet::BeforeClose), Prop("AfterClose", &TDataSet::AfterClose),
             Prop("BeforePost", &TDataSet::BeforePost), Prop("AfterPost", &TDataSet::AfterPost),
             Prop("BeforeScroll", &TDataSet::BeforeScroll), Prop("AfterScroll", &TDataSet::AfterScroll),
             Prop("OnNewRecord", &TDataSet::OnNewRecord), Prop("OnFilterRecord", &TDataSet::OnFilterRecord));

}  // namespace tw
