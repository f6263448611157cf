#include "dbaccess/memtable.h"

#include <algorithm>
#include <cstring>

namespace tw::dbaccess {

namespace {
std::uint16_t LengthByType(const FLDDesc& D) {
  switch (D.iFldType) {
    case fldINT16: case fldUINT16: return 2;
    case fldINT32: return 4;
    case fldFLOAT: return 8;
    case fldBCD: return static_cast<std::uint16_t>(D.iUnits2 < 0 ? -D.iUnits2 : D.iUnits2);
    default: return static_cast<std::uint16_t>(D.iUnits1);
  }
}
}  // namespace

// ---- TMemTableRecord ----------------------------------------------------------------------

TMemTableRecord::TMemTableRecord(TTitanCollection* Owner, const std::uint8_t* DataIn, std::uint16_t DataLength,
                                 const std::uint8_t* BookmarkIn, std::uint16_t BookmarkLength)
    : TBapiListItem(nullptr, nullptr) {
  if (DataIn) Data.assign(DataIn, DataIn + DataLength);
  else Data.assign(DataLength, 0);
  Bookmark.assign(std::max<std::uint16_t>(BookmarkLength, 4), 0);
  if (BookmarkIn) {
    std::memcpy(Bookmark.data(), BookmarkIn, BookmarkLength);
  } else {
    std::uint32_t n = static_cast<std::uint32_t>(Owner ? Owner->Count() : 0) + 1;
    std::memcpy(Bookmark.data(), &n, 4);
  }
  // The owner is a sorted collection; it inserts by bookmark once the bookmark is known.
  AttachOwner(Owner);
}

// ---- TCacheCollection ---------------------------------------------------------------------

const void* TCacheCollection::KeyOf(const TObject* Item) const {
  return static_cast<const TMemTableRecord*>(Item)->Bookmark.data();
}

int TCacheCollection::Compare(const void* Key1, const void* Key2) const {
  std::int16_t c = 0;
  FTable->CompareBookmarks(static_cast<const std::uint8_t*>(Key1), static_cast<const std::uint8_t*>(Key2), c);
  return c;
}

// ---- TMemTable ----------------------------------------------------------------------------

TMemTable::TMemTable(TBaseTable* Source, std::uint16_t BookmarkSize, std::uint16_t FieldCount, const FLDDesc* Fields)
    : TBaseTable(nullptr, Source, Source ? Source->OpenMode() : 0, Source ? Source->ShareMode() : 0),
      FBookmarkSize(BookmarkSize ? BookmarkSize : 4),
      FSource(Source) {
  std::uint32_t offset = 0;
  for (std::uint16_t i = 0; i < FieldCount && Fields; ++i) {
    FLDDesc d = Fields[i];
    if (d.iOffset == 0) d.iOffset = static_cast<std::uint16_t>(offset);
    offset += d.iLen ? d.iLen : static_cast<std::uint32_t>(std::max<std::int16_t>(d.iUnits1, 0));
    if (d.iLen == 0) d.iLen = LengthByType(d);
    if (d.iFldNum == 0) d.iFldNum = static_cast<std::uint16_t>(i + 1);
    PutFieldCacheItem(new TFieldCacheItem(d));
  }
  std::uint16_t count = 0;
  std::uint32_t size = 0;
  GetRecordSizes(count, size);
  // A cached record is the source's whole record buffer, whatever follows the fields (a client
  // table keeps its null bits there) and no more: the descriptors give the lengths of values
  // as the interface hands them out, which may be longer than the fields in the record (a
  // single is a double there), and records are copied to and from the caller's buffers of
  // the source's size.
  const std::uint32_t sourceSize = Source ? Source->GetRecordBufferSize() : 0;
  FRecordBufferSize = sourceSize ? sourceSize : size;
  FRecords = new TCacheCollection(this);
  FState = csOpened;
}

TMemTable::~TMemTable() { delete FRecords; }

TMemTableRecord* TMemTable::RecordAt(int Index) const {
  return FRecords ? static_cast<TMemTableRecord*>(FRecords->At(Index)) : nullptr;
}

std::uint32_t TMemTable::GetRecordBufferSize() { return FRecordBufferSize; }

DBIResult TMemTable::ReadCurrent() {
  FCurrent = RecordAt(static_cast<int>(FPosition) - 1);
  if (!FCurrent) return SetResult(DBIERR_NOCURRREC);
  if (FRecordBuffer) std::memcpy(FRecordBuffer, FCurrent->Data.data(), FCurrent->Data.size());
  GetRecordProps();
  return SetResult(DBIERR_NONE);
}

DBIResult TMemTable::FirstRecord() {
  if (Count() == 0) return SetResult(DBIERR_EOF);
  FPosition = 1;
  return ReadCurrent();
}

DBIResult TMemTable::LastRecord() {
  if (Count() == 0) return SetResult(DBIERR_BOF);
  FPosition = static_cast<std::uint32_t>(Count());
  return ReadCurrent();
}

DBIResult TMemTable::NextRawRecord() {
  // On the gap of a deleted record the position already stands before the record that
  // followed it.
  if (FPosition >= static_cast<std::uint32_t>(Count())) return SetResult(DBIERR_EOF);
  ++FPosition;
  if (ReadCurrent() != DBIERR_NONE) return SetResult(DBIERR_EOF);
  return DBIERR_NONE;
}

DBIResult TMemTable::PriorRawRecord() {
  if (FState == csOnGap) {
    if (FPosition < 1) return SetResult(DBIERR_BOF);
  } else {
    if (FPosition <= 1) return SetResult(DBIERR_BOF);
    --FPosition;
  }
  if (ReadCurrent() != DBIERR_NONE) return SetResult(DBIERR_BOF);
  return DBIERR_NONE;
}

DBIResult TMemTable::GetFieldValue(TFieldCacheItem* Field, const std::uint8_t* Record, bool& Blank, std::uint8_t* Value) {
  Blank = true;
  if (!Record || !Field) return SetResult(DBIERR_INVALIDPARAM);
  // A value longer in the interface than in the source's record (the change cache of a client
  // table) is not read past the record.
  if (std::uint32_t{Field->Desc.iOffset} + Field->Desc.iLen > FRecordBufferSize) return SetResult(DBIERR_INVALIDFIELD);
  const std::uint8_t* p = Record + Field->Desc.iOffset;
  Blank = Field->Desc.iFldType != fldBOOL && AllZero(p, Field->Desc.iLen);
  if (Value) {
    if (Blank) std::memset(Value, 0, Field->Desc.iLen);
    else std::memcpy(Value, p, Field->Desc.iLen);
  }
  return SetResult(DBIERR_NONE);
}

DBIResult TMemTable::PutFieldValue(TFieldCacheItem* Field, std::uint8_t* Record, const std::uint8_t* Value) {
  if (!Record || !Field) return SetResult(DBIERR_INVALIDPARAM);
  if (std::uint32_t{Field->Desc.iOffset} + Field->Desc.iLen > FRecordBufferSize) return SetResult(DBIERR_INVALIDFIELD);
  std::uint8_t* p = Record + Field->Desc.iOffset;
  if (Value) std::memcpy(p, Value, Field->Desc.iLen);
  else std::memset(p, 0, Field->Desc.iLen);
  return SetResult(DBIERR_NONE);
}

DBIResult TMemTable::Open() {
  FState = csOpened;
  FPosition = 0;
  FCurrent = nullptr;
  return SetResult(DBIERR_NONE);
}

DBIResult TMemTable::SetToBegin() {
  FPosition = 0;
  FCurrent = nullptr;
  return TBaseTable::SetToBegin();
}

DBIResult TMemTable::SetToEnd() {
  FPosition = static_cast<std::uint32_t>(Count()) + 1;
  FCurrent = nullptr;
  return TBaseTable::SetToEnd();
}

DBIResult TMemTable::GetBookmark(std::uint8_t* Bookmark) {
  if (!Bookmark) return SetResult(DBIERR_INVALIDPARAM);
  if (!FCurrent || FState != csOnRecord) return SetResult(DBIERR_NOCURRREC);
  std::memcpy(Bookmark, FCurrent->Bookmark.data(), std::min<std::size_t>(FBookmarkSize, FCurrent->Bookmark.size()));
  return SetResult(DBIERR_NONE);
}

TMemTableRecord* TMemTable::FindByBookmark(const std::uint8_t* Bookmark) {
  // The change of a source record is found by that record's own bookmark, byte for byte. The
  // server ranks two bookmarks of one storage place as equal even when the record there is a
  // new one that took the place of a record deleted since; such a record is no record this
  // cache changed (and the server puts a cursor on the gap for the old bookmark, too).
  if (!Bookmark) return nullptr;
  for (int i = 0; i < Count(); ++i) {
    TMemTableRecord* rec = RecordAt(i);
    if (rec->ChangeKind == ckInserted) continue;
    if (std::memcmp(rec->Bookmark.data(), Bookmark, std::min<std::size_t>(FBookmarkSize, rec->Bookmark.size())) == 0)
      return rec;
  }
  return nullptr;
}

DBIResult TMemTable::SetToBookmark(const std::uint8_t* Bookmark) {
  if (!Bookmark) return SetResult(DBIERR_INVALIDPARAM);
  for (int i = 0; i < Count(); ++i) {
    std::int16_t c = 1;
    if (CompareBookmarks(RecordAt(i)->Bookmark.data(), Bookmark, c) == DBIERR_NONE && c == 0) {
      FPosition = static_cast<std::uint32_t>(i + 1);
      FCurrent = RecordAt(i);
      FState = csOnRecord;
      return SetResult(DBIERR_NONE);
    }
  }
  return SetResult(DBIERR_RECNOTFOUND);
}

DBIResult TMemTable::GetRecordAtBookmark(const std::uint8_t* Bookmark, std::uint8_t* Record, std::uint32_t) {
  if (!Bookmark) return SetResult(DBIERR_INVALIDPARAM);
  DBIResult r = SetToBookmark(Bookmark);
  if (r != DBIERR_NONE) return r;
  TRecordBufferScope scope(this, Record);
  return ReadCurrent();
}

DBIResult TMemTable::CompareBookmarks(const std::uint8_t* B1, const std::uint8_t* B2, std::int16_t& Cmp) {
  Cmp = 0;
  if (!B1 || !B2) return SetResult(DBIERR_INVALIDPARAM);
  if (FSource) return SetResult(FSource->CompareBookmarks(B1, B2, Cmp));
  std::uint32_t a, b;
  std::memcpy(&a, B1, 4);
  std::memcpy(&b, B2, 4);
  int c = a < b ? -1 : (a > b ? 1 : CompareBytes(B1 + 4, B2 + 4, FBookmarkSize > 4 ? FBookmarkSize - 4u : 0u));
  Cmp = static_cast<std::int16_t>(c);
  return SetResult(DBIERR_NONE);
}

void TMemTable::GetRecordProps() {}

DBIResult TMemTable::GetRecord(std::uint32_t Lock, std::uint8_t* Record) {
  if (FState == csOnRecord) {
    if (!FCurrent) return SetResult(DBIERR_NOCURRREC);
    if (Record) std::memcpy(Record, FCurrent->Data.data(), FCurrent->Data.size());
    return SetResult(DBIERR_NONE);
  }
  return TBaseTable::GetRecord(Lock, Record);
}

DBIResult TMemTable::InsertRecord(std::uint32_t, const std::uint8_t* Record) {
  if (!Record) return SetResult(DBIERR_INVALIDPARAM);
  const std::vector<std::uint8_t> bookmark = NewBookmark();
  auto* rec = new TMemTableRecord(FRecords, Record, static_cast<std::uint16_t>(FRecordBufferSize), bookmark.data(),
                                  FBookmarkSize);
  rec->Data.resize(FRecordBufferSize);
  std::memcpy(rec->Props, &FNextSeqNo, 4);
  ++FNextSeqNo;
  FPosition = static_cast<std::uint32_t>(FRecords->IndexOf(rec) + 1);
  FCurrent = rec;
  FState = csOnRecord;
  return SetResult(DBIERR_NONE);
}

DBIResult TMemTable::ModifyRecord(const std::uint8_t* Record, bool) {
  if (!Record) return SetResult(DBIERR_INVALIDPARAM);
  if (!FCurrent || FState != csOnRecord) return SetResult(DBIERR_NOCURRREC);
  std::memcpy(FCurrent->Data.data(), Record, FCurrent->Data.size());
  return SetResult(DBIERR_NONE);
}

DBIResult TMemTable::DeleteRecord(std::uint8_t* Record) {
  if (!FCurrent || FState != csOnRecord) return SetResult(DBIERR_NOCURRREC);
  if (Record) std::memcpy(Record, FCurrent->Data.data(), FCurrent->Data.size());
  FRecords->Delete(FCurrent);
  delete FCurrent;
  FCurrent = nullptr;
  if (FPosition > 0) --FPosition;
  FState = csOnGap;
  return SetResult(DBIERR_NONE);
}

DBIResult TMemTable::UndeleteRecord() {
  if (!FCurrent) return SetResult(DBIERR_NOCURRREC);
  FCurrent->Undeleted = false;
  return SetResult(DBIERR_NONE);
}

DBIResult TMemTable::GetSeqNo(std::uint32_t& SeqNo) {
  SeqNo = 0;
  if (!FCurrent) return SetResult(DBIERR_NOCURRREC);
  std::memcpy(&SeqNo, FCurrent->Props, 4);
  return SetResult(DBIERR_NONE);
}

DBIResult TMemTable::GetRecordCount(std::uint32_t& CountOut) {
  CountOut = static_cast<std::uint32_t>(Count());
  return SetResult(DBIERR_NONE);
}

DBIResult TMemTable::EmptyTable() {
  FRecords->FreeAll();
  FPosition = 0;
  FCurrent = nullptr;
  FState = csOpened;
  return SetResult(DBIERR_NONE);
}

bool TMemTable::IsRecordVisible(std::uint8_t Mask, const std::uint8_t* SourceBookmark, std::uint8_t* Record,
                                bool SkipData, std::uint8_t* PropsOut) {
  TMemTableRecord* rec = FindByBookmark(SourceBookmark);
  std::uint8_t bit = 8;
  if (rec) bit = rec->ChangeKind == ckModified ? 1 : (rec->ChangeKind == ckInserted ? 2 : 4);
  bool visible = (Mask & bit) != 0;
  if (visible && rec) {
    if (!SkipData && Record) std::memcpy(Record, rec->Data.data(), rec->Data.size());
    if (PropsOut) std::memcpy(PropsOut, rec->Props, sizeof rec->Props);
  } else if (PropsOut) {
    std::memset(PropsOut, 0, 14);
  }
  return visible;
}

std::vector<std::uint8_t> TMemTable::NewBookmark() {
  std::vector<std::uint8_t> b(std::max<std::uint16_t>(FBookmarkSize, 4), 0);
  const std::uint32_t n = std::max<std::uint32_t>(FNextBookmark, static_cast<std::uint32_t>(Count()) + 1);
  FNextBookmark = n + 1;
  std::memcpy(b.data(), &n, 4);
  return b;
}

TMemTableRecord* TMemTable::AddCachedRecord(const std::uint8_t* Record, const std::uint8_t* Bookmark) {
  std::vector<std::uint8_t> own;
  if (!Bookmark) {
    own = NewBookmark();
    Bookmark = own.data();
  }
  auto* rec = new TMemTableRecord(FRecords, Record, static_cast<std::uint16_t>(FRecordBufferSize), Bookmark, FBookmarkSize);
  rec->Data.resize(FRecordBufferSize);
  LastRecord();
  return rec;
}

DBIResult TMemTable::CacheModify(const std::uint8_t* Record, const std::uint8_t* Bookmark) {
  TMemTableRecord* rec = FindByBookmark(Bookmark);
  if (!rec) {
    rec = AddCachedRecord(Record, Bookmark);
  } else if (Record) {
    std::memcpy(rec->Data.data(), Record, rec->Data.size());
  }
  rec->ChangeKind = ckModified;
  // A change made again after an apply has not reached the source yet.
  rec->Applied = false;
  rec->ApplyResult = DBIERR_NONE;
  return SetResult(DBIERR_NONE);
}

DBIResult TMemTable::CacheDelete(const std::uint8_t* Record, const std::uint8_t* Bookmark) {
  TMemTableRecord* rec = FindByBookmark(Bookmark);
  if (!rec) rec = AddCachedRecord(Record, Bookmark);
  rec->ChangeKind = ckDeleted;
  rec->Undeleted = true;
  rec->Applied = false;
  rec->ApplyResult = DBIERR_NONE;
  return SetResult(DBIERR_NONE);
}

void TMemTable::RemoveRecord(TMemTableRecord* Rec) {
  const int at = FRecords->IndexOf(Rec);
  if (at < 0) return;
  if (Rec == FCurrent) {
    FCurrent = nullptr;
    if (FState == csOnRecord) FState = csOnGap;
  }
  if (FPosition > static_cast<std::uint32_t>(at)) --FPosition;
  FRecords->AtDelete(at);
  delete Rec;
}

DBIResult TMemTable::ApplyCachedUpdates() {
  if (!FSource) return SetResult(DBIERR_INVALIDHNDL);
  // Every change is tried; the answer is the first failure met, so that a failed apply is
  // never reported as success.  Each change keeps its own result.
  DBIResult overall = DBIERR_NONE;
  for (int i = Count() - 1; i >= 0; --i) {
    TMemTableRecord* rec = RecordAt(i);
    // A change applied by an earlier call is in the source already: applying it again would
    // insert its record twice or delete a neighbour's place.
    if (rec->Applied) continue;
    DBIResult r = DBIERR_NONE;
    switch (rec->ChangeKind) {
      case ckModified:
        r = FSource->SetToBookmark(rec->Bookmark.data());
        if (r == DBIERR_NONE) r = FSource->ModifyRecord(rec->Data.data(), true);
        break;
      case ckInserted:
        r = FSource->AppendRecord(rec->Data.data());
        break;
      case ckDeleted:
        r = FSource->SetToBookmark(rec->Bookmark.data());
        if (r == DBIERR_NONE) r = FSource->DeleteRecord(nullptr);
        break;
      default:
        break;
    }
    rec->ApplyResult = r;
    if (r == DBIERR_NONE) rec->Applied = true;
    else if (overall == DBIERR_NONE) overall = r;
  }
  return SetResult(overall);
}

DBIResult TMemTable::RemoveAppliedRecords() {
  for (int i = Count() - 1; i >= 0; --i) {
    TMemTableRecord* rec = RecordAt(i);
    if (rec->Applied) {
      if (rec == FCurrent) FCurrent = nullptr;
      FRecords->AtDelete(i);
      delete rec;
    }
  }
  FPosition = 0;
  return SetResult(DBIERR_NONE);
}

// ---- TBaseCacheTable ----------------------------------------------------------------------

TBaseCacheTable::TBaseCacheTable(TBaseTable* Source)
    : TBaseTable(Source->OwnerCollection(), Source->Parent(), Source->OpenMode(), Source->ShareMode()),
      FSource(Source),
      FCache(nullptr) {
  std::uint16_t count = 0;
  std::uint32_t size = 0;
  Source->GetRecordSizes(count, size);
  std::vector<FLDDesc> descs(count);
  if (count) Source->GetFieldDescs(descs.data());
  FCache = new TMemTable(Source, static_cast<std::uint16_t>(Source->GetBookmarkSize()), count, descs.data());
  FBookmark.assign(std::max<std::uint32_t>(Source->GetBookmarkSize(), 1), 0);
  FState = Source->State();
}

TBaseCacheTable::~TBaseCacheTable() { delete FCache; }

DBIResult TBaseCacheTable::GetProp(std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len) {
  switch (Prop) {
    case curDELAYUPDDISPLAYOPT:
      if (!Value || MaxLen < 1) return SetResult(DBIERR_INVALIDPARAM);
      *static_cast<std::uint8_t*>(Value) = FMask;
      Len = 1;
      return SetResult(DBIERR_NONE);
    case curDELAYUPDGETOLDRECORD:
      if (!Value || MaxLen < 1) return SetResult(DBIERR_INVALIDPARAM);
      *static_cast<std::uint8_t*>(Value) = FSkipData ? 1 : 0;
      Len = 1;
      return SetResult(DBIERR_NONE);
    case curDELAYUPDNUMUPDATES: {
      if (!Value || MaxLen < 4) return SetResult(DBIERR_INVALIDPARAM);
      auto n = static_cast<std::uint32_t>(FCache->Count());
      std::memcpy(Value, &n, 4);
      Len = 4;
      return SetResult(DBIERR_NONE);
    }
    default:
      return Pass(FSource->GetProp(Prop, Value, MaxLen, Len));
  }
}

DBIResult TBaseCacheTable::SetProp(std::uint32_t Prop, std::uintptr_t Value) {
  if (Prop == curDELAYUPDDISPLAYOPT) {
    FMask = static_cast<std::uint8_t>(Value);
    return SetResult(DBIERR_NONE);
  }
  if (Prop == curDELAYUPDGETOLDRECORD) {
    FSkipData = Value > 0;
    return SetResult(DBIERR_NONE);
  }
  return Pass(FSource->SetProp(Prop, Value));
}

bool TBaseCacheTable::Visible(std::uint8_t* Record) {
  if (FSource->GetBookmark(FBookmark.data()) != DBIERR_NONE) return (FMask & 8) != 0;
  std::uint8_t props[14];
  return FCache->IsRecordVisible(FMask, FBookmark.data(), Record, FSkipData, props);
}

DBIResult TBaseCacheTable::GetNextRecord(std::uint32_t Lock, std::uint8_t* Record) {
  DBIResult r;
  while ((r = FSource->GetNextRecord(Lock, Record)) == DBIERR_NONE) {
    if (Visible(Record)) break;
  }
  FState = FSource->State();
  return SetResult(r);
}

DBIResult TBaseCacheTable::GetPriorRecord(std::uint32_t Lock, std::uint8_t* Record) {
  DBIResult r;
  while ((r = FSource->GetPriorRecord(Lock, Record)) == DBIERR_NONE) {
    if (Visible(Record)) break;
  }
  FState = FSource->State();
  return SetResult(r);
}

DBIResult TBaseCacheTable::FirstInRange() {
  DBIResult r = FSource->FirstInRange();
  if (r == DBIERR_NONE && !Visible(nullptr)) r = GetNextRecord(dbiNOLOCK, nullptr);
  return SetResult(r);
}

DBIResult TBaseCacheTable::LastInRange() {
  DBIResult r = FSource->LastInRange();
  if (r == DBIERR_NONE && !Visible(nullptr)) r = GetPriorRecord(dbiNOLOCK, nullptr);
  return SetResult(r);
}

DBIResult TBaseCacheTable::GetRecord(std::uint32_t Lock, std::uint8_t* Record) {
  DBIResult r = FSource->GetRecord(Lock, Record);
  if (r == DBIERR_NONE && !Visible(Record)) r = DBIERR_NOCURRREC;
  return SetResult(r);
}

DBIResult TBaseCacheTable::InsertRecord(std::uint32_t, const std::uint8_t* Record) {
  if (!Record) return SetResult(DBIERR_INVALIDPARAM);
  TMemTableRecord* rec = FCache->AddCachedRecord(Record, nullptr);
  rec->ChangeKind = ckInserted;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseCacheTable::AppendRecord(const std::uint8_t* Record) { return InsertRecord(dbiNOLOCK, Record); }

DBIResult TBaseCacheTable::ModifyRecord(const std::uint8_t* Record, bool) {
  if (!Record) return SetResult(DBIERR_INVALIDPARAM);
  DBIResult r = FSource->GetBookmark(FBookmark.data());
  if (r != DBIERR_NONE) return SetResult(r);
  return SetResult(FCache->CacheModify(Record, FBookmark.data()));
}

DBIResult TBaseCacheTable::DeleteRecord(std::uint8_t* Record) {
  DBIResult r = FSource->GetBookmark(FBookmark.data());
  if (r != DBIERR_NONE) return SetResult(r);
  std::vector<std::uint8_t> data(std::max<std::uint32_t>(FSource->GetRecordBufferSize(), 1));
  if (FSource->GetRecord(dbiNOLOCK, data.data()) != DBIERR_NONE && Record) std::memcpy(data.data(), Record, data.size());
  if (Record) std::memcpy(Record, data.data(), data.size());
  return SetResult(FCache->CacheDelete(data.data(), FBookmark.data()));
}

DBIResult TBaseCacheTable::EndDelayedUpdates(TBaseTable*& Source) {
  Source = FSource;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseCacheTable::ApplyDelayedUpdates(std::uint32_t Command) {
  switch (Command) {
    case dbiDelayedUpdCommit: return SetResult(FCache->RemoveAppliedRecords());
    case dbiDelayedUpdCancel: return SetResult(FCache->EmptyTable());
    case dbiDelayedUpdCancelCurrent: {
      if (FSource->GetBookmark(FBookmark.data()) == DBIERR_NONE) {
        if (TMemTableRecord* rec = FCache->FindByBookmark(FBookmark.data())) FCache->RemoveRecord(rec);
      }
      return SetResult(DBIERR_NONE);
    }
    case dbiDelayedUpdPrepare: return SetResult(FCache->ApplyCachedUpdates());
    default: return SetResult(DBIERR_INVALIDPARAM);
  }
}

DBIResult TBaseCacheTable::GetDelayedUpdates(TBaseTable*& Cache) {
  Cache = FCache;
  return SetResult(FCache ? DBIERR_NONE : DBIERR_INVALIDPARAM);
}

}  // namespace tw::dbaccess
