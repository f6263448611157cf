#include "dbaccess/basetable.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "dbaccess/filter.h"
#include "dbaccess/memtable.h"
#include "platform/rtl/win1252.h"

namespace tw::dbaccess {

TBaseTable::TBaseTable(TTitanCollection* Owner, TBapiListItem* Parent, std::uint32_t OpenMode,
                       std::uint32_t ShareMode)
    : TBapiListItem(Owner, Parent), FOpenMode(OpenMode), FShareMode(ShareMode) {}

TBaseTable::~TBaseTable() {
  FFilters.FreeAll();
  FFieldCache.FreeAll();
}

DBIResult TBaseTable::GetProp(std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len) {
  switch (Prop) {
    // A buffer that cannot hold the value is refused: nothing read is never answered as read.
    case 0: {
      if (!Value || MaxLen < 2) return SetResult(DBIERR_INVALIDPARAM);
      std::uint16_t v = 11;
      std::memcpy(Value, &v, 2);
      Len = 2;
      return SetResult(DBIERR_NONE);
    }
    case 1:
      return SetResult(DBIERR_NONE);
    case 5:
      if (!Value || MaxLen < 4) return SetResult(DBIERR_INVALIDPARAM);
      std::memset(Value, 0, 4);
      Len = 4;
      return SetResult(DBIERR_NONE);
    default:
      return TBapiListItem::GetProp(Prop, Value, MaxLen, Len);
  }
}

DBIResult TBaseTable::SetProp(std::uint32_t Prop, std::uintptr_t Value) {
  if ((Prop == 0 || Prop == 1) && Value != 0) return SetResult(DBIERR_NOTSUPPORTED);
  return TBapiListItem::SetProp(Prop, Value);
}

void TBaseTable::SetFullName(const std::string& Name) { FFullName = Name.substr(0, 260); }

void TBaseTable::SetTableName(const std::string& Name) {
  auto b = Name.find_first_not_of(' ');
  auto e = Name.find_last_not_of(' ');
  FTableName = b == std::string::npos ? std::string() : Name.substr(b, std::min<std::size_t>(e - b + 1, 255));
}

// ---- Field cache ----------------------------------------------------------------------------

TFieldCacheItem* TBaseTable::FindFieldCacheItem(std::uint16_t FieldNumber) {
  // Kept in field-number order, usually from 1 without gaps: field n then stands at n - 1.
  if (FieldNumber >= 1 && FieldNumber <= FFieldCache.Count()) {
    auto* f = static_cast<TFieldCacheItem*>(FFieldCache.At(FieldNumber - 1));
    if (f->FieldNumber == FieldNumber) return f;
  }
  for (int i = 0; i < FFieldCache.Count(); ++i) {
    auto* f = static_cast<TFieldCacheItem*>(FFieldCache.At(i));
    if (f->FieldNumber == FieldNumber) return f;
  }
  return nullptr;
}

DBIResult TBaseTable::DropFieldCacheItem(std::uint16_t FieldNumber) {
  TFieldCacheItem* f = FindFieldCacheItem(FieldNumber);
  if (!f) return SetResult(DBIERR_INVALIDPARAM);
  FFieldCache.Delete(f);
  delete f;
  FRecordSize = 0;
  return SetResult(DBIERR_NONE);
}

TFieldCacheItem* TBaseTable::FindFieldByName(const std::string& Name) {
  for (int i = 0; i < FFieldCache.Count(); ++i) {
    auto* f = static_cast<TFieldCacheItem*>(FFieldCache.At(i));
    if (AnsiSameText(f->Desc.szName, Name)) return f;
  }
  return nullptr;
}

DBIResult TBaseTable::GetNativeDesc(std::uint16_t, FLDDesc&, std::uint16_t&, std::uint16_t&) {
  return ReportNotSupported("GETNATIVEDESC");
}

DBIResult TBaseTable::GetFieldCacheEntry(std::uint16_t FieldNumber, TFieldCacheItem*& Item) {
  Item = nullptr;
  if (FieldNumber == 0) return SetResult(DBIERR_INVALIDPARAM);
  Item = FindFieldCacheItem(FieldNumber);
  if (Item) return SetResult(DBIERR_NONE);
  FLDDesc d;
  std::uint16_t off = 0, len = 0;
  if (GetNativeDesc(FieldNumber, d, off, len) != DBIERR_NONE) return SetResult(DBIERR_INVALIDPARAM);
  Item = new TFieldCacheItem(d, off, len);
  PutFieldCacheItem(Item);
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::PutFieldCacheItem(TFieldCacheItem* Item) {
  // The cache is kept in field-number order and filled from field 1 up: a field beyond the
  // last one goes to the end without a search (a table may have tens of thousands).
  const int count = FFieldCache.Count();
  if (count == 0 || static_cast<TFieldCacheItem*>(FFieldCache.At(count - 1))->FieldNumber < Item->FieldNumber) {
    FFieldCache.AtInsert(count, Item);
    FRecordSize = 0;
    return SetResult(DBIERR_NONE);
  }
  for (int i = 0; i < FFieldCache.Count(); ++i) {
    auto* f = static_cast<TFieldCacheItem*>(FFieldCache.At(i));
    if (f->FieldNumber == Item->FieldNumber) {
      if (f != Item) {
        FFieldCache.AtPut(i, Item);
        delete f;
      }
      FRecordSize = 0;
      return SetResult(DBIERR_NONE);
    }
  }
  // Kept in field-number order.
  int at = 0;
  while (at < FFieldCache.Count() && static_cast<TFieldCacheItem*>(FFieldCache.At(at))->FieldNumber < Item->FieldNumber) ++at;
  FFieldCache.AtInsert(at, Item);
  FRecordSize = 0;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::GetRecordSizes(std::uint16_t& FieldCount, std::uint32_t& RecordSize) {
  FieldCount = static_cast<std::uint16_t>(FFieldCache.Count());
  if (FRecordSize == 0) {
    for (int i = 0; i < FFieldCache.Count(); ++i) {
      auto* f = static_cast<TFieldCacheItem*>(FFieldCache.At(i));
      FRecordSize = std::max<std::uint32_t>(FRecordSize, std::uint32_t{f->Desc.iOffset} + f->Desc.iLen);
    }
  }
  RecordSize = FRecordSize;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::GetFieldDescs(FLDDesc* Descs) {
  if (!Descs) return SetResult(DBIERR_INVALIDPARAM);
  for (int i = 0; i < FFieldCache.Count(); ++i) Descs[i] = static_cast<TFieldCacheItem*>(FFieldCache.At(i))->Desc;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::GetFieldValue(TFieldCacheItem*, const std::uint8_t*, bool& Blank, std::uint8_t*) {
  Blank = true;
  return SetResult(DBIERR_INVALIDHNDL);
}

DBIResult TBaseTable::PutFieldValue(TFieldCacheItem*, std::uint8_t*, const std::uint8_t*) {
  return SetResult(DBIERR_INVALIDHNDL);
}

DBIResult TBaseTable::GetField(std::uint16_t FieldNumber, const std::uint8_t* Record, std::uint8_t* Value, bool& Blank) {
  Blank = true;
  if (!Record) return SetResult(DBIERR_INVALIDPARAM);
  TFieldCacheItem* f = nullptr;
  if (GetFieldCacheEntry(FieldNumber, f) != DBIERR_NONE || !f) return SetResult(DBIERR_INVALIDFIELD);
  if (!Value) {
    std::vector<std::uint8_t> scratch(std::max<std::size_t>(f->Desc.iLen, kMemoFieldValueSize) + 1);
    return GetFieldValue(f, Record, Blank, scratch.data());
  }
  return GetFieldValue(f, Record, Blank, Value);
}

DBIResult TBaseTable::PutField(std::uint16_t FieldNumber, std::uint8_t* Record, const std::uint8_t* Value) {
  if (!Record) return SetResult(DBIERR_INVALIDPARAM);
  TFieldCacheItem* f = nullptr;
  if (GetFieldCacheEntry(FieldNumber, f) != DBIERR_NONE || !f) return SetResult(DBIERR_INVALIDFIELD);
  return PutFieldValue(f, Record, Value);
}

// ---- Comparison -------------------------------------------------------------------------------

int TBaseTable::CompareFieldValues(std::uint16_t Type, const std::uint8_t* V1, const std::uint8_t* V2,
                                   bool CaseInsensitive, std::uint32_t Length) {
  auto sign = [](auto a, auto b) { return a < b ? -1 : (a > b ? 1 : 0); };
  switch (Type) {
    case fldZSTRING: {
      std::size_t n1 = 0, n2 = 0;
      while (n1 < Length && V1[n1]) ++n1;
      while (n2 < Length && V2[n2]) ++n2;
      std::string_view a(reinterpret_cast<const char*>(V1), n1), b(reinterpret_cast<const char*>(V2), n2);
      int c = CaseInsensitive ? AnsiCompareText(a, b) : AnsiCompareStr(a, b);
      return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case fldINT16:
      if (Length == 1) return sign(static_cast<std::int8_t>(V1[0]), static_cast<std::int8_t>(V2[0]));
      if (Length == 2) {
        std::int16_t a, b;
        std::memcpy(&a, V1, 2);
        std::memcpy(&b, V2, 2);
        return sign(a, b);
      }
      return 0;
    case fldUINT16:
      if (Length == 1) return sign(V1[0], V2[0]);
      if (Length == 2) {
        std::uint16_t a, b;
        std::memcpy(&a, V1, 2);
        std::memcpy(&b, V2, 2);
        return sign(a, b);
      }
      return 0;
    // A date is a count of days and a time one of milliseconds: they compare as the numbers
    // they are (their bytes are stored lowest first, so a byte-wise comparison would not).
    case fldDATE:
    case fldTIME:
    case fldINT32: {
      std::int32_t a, b;
      std::memcpy(&a, V1, 4);
      std::memcpy(&b, V2, 4);
      return sign(a, b);
    }
    case fldUINT32: {
      std::uint32_t a, b;
      std::memcpy(&a, V1, 4);
      std::memcpy(&b, V2, 4);
      return sign(a, b);
    }
    case fldFLOAT:
    case fldTIMESTAMP: {
      double a, b;
      std::memcpy(&a, V1, 8);
      std::memcpy(&b, V2, 8);
      return sign(a, b);
    }
    default:
      return CompareBytes(V1, V2, Length);
  }
}

int TBaseTable::CompareKeys(const std::uint8_t*, const std::uint8_t*, std::uint16_t, std::uint16_t) {
  // The base keeps no key description: it sees no key fields, so any two keys are equal.
  return 0;
}

DBIResult TBaseTable::CompareBookmarks(const std::uint8_t* B1, const std::uint8_t* B2, std::int16_t& Cmp) {
  Cmp = 0;
  const std::uint8_t* k1 = B1 ? TranslateBookmark(B1) : nullptr;
  const std::uint8_t* k2 = B2 ? TranslateBookmark(B2) : nullptr;
  if (!k1 || !k2) return SetResult(DBIERR_INVALIDPARAM);
  int c = CompareKeys(k1, k2, 0, 0);
  Cmp = static_cast<std::int16_t>(c < 0 ? -1 : (c > 0 ? 1 : 0));
  return SetResult(DBIERR_NONE);
}

// ---- Opening, closing, positioning -----------------------------------------------------------

DBIResult TBaseTable::CloseCursor() {
  FState = csClosed;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::CloneCursor(bool, bool, TBaseTable*& Clone) {
  Clone = nullptr;
  return SetResult(DBIERR_INVALIDHNDL);
}

DBIResult TBaseTable::SetToBegin() {
  FState = csBeforeFirst;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::SetToEnd() {
  FState = csAfterLast;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::SetToCursor(TBaseTable* Dest) {
  if (!Dest) return SetResult(DBIERR_INVALIDPARAM);
  std::vector<std::uint8_t> bm(std::max<std::uint32_t>(GetBookmarkSize(), 1));
  DBIResult r = GetBookmark(bm.data());
  if (r != DBIERR_NONE) return SetResult(r);
  return SetResult(Dest->SetToBookmark(bm.data()));
}

int TBaseTable::RangeSearchCondition(bool Start) {
  if (Start) return FRangeStart.Inclusive ? 1 : 2;
  return FRangeEnd.Inclusive ? 4 : 3;
}

DBIResult TBaseTable::FirstInRange() {
  if (FRangeStart.InForce) {
    return SetToKeySpecial(RangeSearchCondition(true), FRangeStart.KeyIsKey, FRangeStart.FieldCount,
                           FRangeStart.PartialLength, FRangeStart.Key, FRecordBuffer);
  }
  return FirstRecord();
}

DBIResult TBaseTable::LastInRange() {
  if (FRangeEnd.InForce) {
    return SetToKeySpecial(RangeSearchCondition(false), FRangeEnd.KeyIsKey, FRangeEnd.FieldCount,
                           FRangeEnd.PartialLength, FRangeEnd.Key, FRecordBuffer);
  }
  return LastRecord();
}

bool TBaseTable::RecordPassesFilters(std::uint8_t* Record) {
  for (int i = 0; i < FFilters.Count(); ++i) {
    auto* f = static_cast<TFilterListItem*>(FFilters.At(i));
    if (f->Active() && !f->RecordPasses(Record)) return false;
  }
  return true;
}

DBIResult TBaseTable::CheckRangeAndFilters(bool Forward) {
  DBIResult r = CheckRange(FRecordBuffer);
  // A cursor stepping past a filtered record cannot loop for ever: each step moves on, and a
  // storage end answers 8705/8706.
  while (r == DBIERR_NONE && FFiltersActive && !RecordPassesFilters(FRecordBuffer)) {
    r = Forward ? NextRawRecord() : PriorRawRecord();
    if (r == DBIERR_NONE) r = CheckRange(FRecordBuffer);
  }
  return SetResult(r);
}

DBIResult TBaseTable::TakeRecordRead(std::uint32_t Lock, std::uint8_t* Record) {
  // The step has read the record into the caller's buffer already; only a lock asked for
  // needs the record read again under that lock.
  if (Record && Lock != dbiNOLOCK) return GetRecord(Lock, Record);
  GetRecordProps();
  return DBIERR_NONE;
}

DBIResult TBaseTable::StepRecord(bool Forward, std::uint32_t Lock, std::uint8_t* Record) {
  TRecordBufferScope scope(this, Record ? Record : OwnRecordBuffer());
  // A lock asked for goes with the step itself where the cursor can do that and nothing of the
  // client's own may reject the record reached: no other client can change or remove the
  // record between the step and its lock, and a step that waits for the lock is tried again
  // from where it started.
  const bool locked = Record && Lock != dbiNOLOCK && StepTakesLock() && !FFiltersActive && !FRangeStart.InForce &&
                      !FRangeEnd.InForce;
  FStepLock = locked ? Lock : dbiNOLOCK;
  DBIResult r;
  if (Forward) {
    switch (FState) {
      case csOpened: case csBeforeFirst: r = FirstInRange(); break;
      case csOnRecord: case csOnGap: r = NextRawRecord(); break;
      default: r = DBIERR_EOF; break;
    }
  } else {
    switch (FState) {
      case csOpened: case csAfterLast: r = LastInRange(); break;
      case csOnRecord: case csOnGap: r = PriorRawRecord(); break;
      default: r = DBIERR_BOF; break;
    }
  }
  FStepLock = dbiNOLOCK;
  // Another's lock on the record reached: the cursor stands on it, read all the same.
  if (locked && r == DBIERR_LOCKED) {
    FState = csOnRecord;
    return SetResult(r);
  }
  if (r == DBIERR_NONE) r = CheckRangeAndFilters(Forward);
  if (!Forward && r == DBIERR_EOF) r = DBIERR_BOF;
  if (r == DBIERR_NONE) {
    FState = csOnRecord;
    if (!locked) return SetResult(TakeRecordRead(Lock, Record));
    GetRecordProps();
  }
  return SetResult(r);
}

DBIResult TBaseTable::GetNextRecord(std::uint32_t Lock, std::uint8_t* Record) {
  return StepRecord(true, Lock, Record);
}

DBIResult TBaseTable::GetPriorRecord(std::uint32_t Lock, std::uint8_t* Record) {
  return StepRecord(false, Lock, Record);
}

DBIResult TBaseTable::GetRecord(std::uint32_t Lock, std::uint8_t* Record) {
  switch (FState) {
    case csOnRecord: {
      std::vector<std::uint8_t> bm(std::max<std::uint32_t>(GetBookmarkSize(), 1));
      DBIResult r = GetBookmark(bm.data());
      if (r == DBIERR_NONE) r = GetRecordAtBookmark(bm.data(), Record, Lock);
      if (r == DBIERR_NONE) {
        TRecordBufferScope scope(this, Record ? Record : OwnRecordBuffer());
        r = CheckRangeAndFilters(true);
        if (r == DBIERR_NONE) {
          GetRecordProps();
        } else if (Lock == dbiWRITELOCK) {
          RelRecordLock(false);
        }
      }
      return SetResult(r);
    }
    case csBeforeFirst: return SetResult(DBIERR_EOF);
    case csAfterLast: return SetResult(DBIERR_BOF);
    case csOnGap: {
      DBIResult r = GetNextRecord(Lock, Record);
      if (r != DBIERR_NONE) r = GetPriorRecord(Lock, Record);
      if (r != DBIERR_NONE) {
        FState = csOpened;
        r = GetNextRecord(Lock, Record);
      }
      return SetResult(r);
    }
    default: return SetResult(DBIERR_NOCURRREC);
  }
}

DBIResult TBaseTable::MoveBy(std::int32_t N, std::uint32_t Lock, std::uint8_t* Record) {
  if (N == 0) return SetResult(DBIERR_INVALIDPARAM);
  std::int64_t steps = N > 0 ? N : -static_cast<std::int64_t>(N);
  DBIResult r = DBIERR_NONE;
  for (std::int64_t i = 1; i <= steps && r == DBIERR_NONE; ++i) {
    std::uint8_t* buffer = i == steps ? Record : nullptr;
    r = N > 0 ? GetNextRecord(Lock, buffer) : GetPriorRecord(Lock, buffer);
  }
  return SetResult(r);
}

DBIResult TBaseTable::InitRecord(std::uint8_t* Record) {
  if (!Record) return SetResult(DBIERR_INVALIDPARAM);
  std::memset(Record, 0, GetRecordBufferSize());
  FLastInitRecord = Record;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::GetCursorProps(CURProps& Props) {
  Props = CURProps{};
  std::uint16_t fields = 0;
  std::uint32_t size = 0;
  GetRecordSizes(fields, size);
  Props.iFields = fields;
  Props.iRecSize = static_cast<std::uint16_t>(size);
  Props.iRecBufSize = static_cast<std::uint16_t>(size);
  Props.iKeySize = 0;
  Props.iBookMarkSize = static_cast<std::uint16_t>(GetBookmarkSize());
  Props.bBookMarkStable = FShareMode == 1 ? 1 : 0;
  Props.eOpenMode = FOpenMode;
  Props.eShareMode = FShareMode;
  Props.iSeqNums = -1;
  Props.bUniDirectional = 1;
  Props.eprvRights = 255;
  Props.iFilters = static_cast<std::uint16_t>(FFilters.Count());
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::GetRecordCount(std::uint32_t& Count) {
  Count = 0;
  std::uint8_t saved = FState;
  std::vector<std::uint8_t> bm(std::max<std::uint32_t>(GetBookmarkSize(), 1));
  bool hadRecord = saved == csOnRecord && GetBookmark(bm.data()) == DBIERR_NONE;
  SetToBegin();
  while (GetNextRecord(dbiNOLOCK, nullptr) == DBIERR_NONE) ++Count;
  if (hadRecord) {
    SetToBookmark(bm.data());
  }
  return SetResult(DBIERR_NONE);
}

// ---- Ranges and keys -------------------------------------------------------------------------

namespace {
void FillBound(TRangeBound& B, bool KeyIsKey, std::uint16_t Fields, std::uint16_t Len, const std::uint8_t* Key,
               bool Incl, std::uint16_t KeySize) {
  B = TRangeBound{};
  B.KeyIsKey = KeyIsKey;
  B.InForce = Key != nullptr;
  B.FieldCount = Fields;
  B.PartialLength = Len;
  B.Inclusive = Incl;
  B.WholeKey = Fields + Len == 0;
  if (!Key) return;
  if (KeyIsKey) {
    std::memcpy(B.Copy.data(), Key, std::min<std::size_t>(KeySize, B.Copy.size()));
    B.Key = B.Copy.data();
  } else {
    B.Key = Key;
  }
}
}  // namespace

DBIResult TBaseTable::SetRange(bool KeyIsKey, std::uint16_t StartFields, std::uint16_t StartLen,
                               const std::uint8_t* StartKey, bool StartIncl, std::uint16_t EndFields,
                               std::uint16_t EndLen, const std::uint8_t* EndKey, bool EndIncl) {
  ResetRange();
  const std::uint16_t keySize = 0;  // The base has no key description.
  FillBound(FRangeStart, KeyIsKey, StartFields, StartLen, StartKey, StartIncl, keySize);
  FillBound(FRangeEnd, KeyIsKey, EndFields, EndLen, EndKey, EndIncl, keySize);
  for (TRangeBound* b : {&FRangeStart, &FRangeEnd}) {
    if (b->InForce && !b->KeyIsKey) {
      const std::uint8_t* record = b->Key;
      if (ExtractKeyPrecise(record, b->Copy.data(), b->FieldCount, b->PartialLength) == DBIERR_NONE) {
        b->Key = b->Copy.data();
        b->KeyIsKey = true;
      } else {
        b->InForce = false;
      }
    }
  }
  FStartEqualsEnd = FRangeStart.InForce && FRangeEnd.InForce && FRangeStart.FieldCount == FRangeEnd.FieldCount &&
                    FRangeStart.PartialLength == FRangeEnd.PartialLength;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::ResetRange() {
  FRangeStart = TRangeBound{};
  FRangeEnd = TRangeBound{};
  FStartEqualsEnd = false;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::CheckRange(const std::uint8_t* Record) {
  if (!FRangeStart.InForce && !FRangeEnd.InForce) return DBIERR_NONE;
  std::array<std::uint8_t, 256> key{};
  bool extracted = false;
  if (FRangeStart.InForce) {
    if (ExtractKeyPrecise(Record, key.data(), FRangeStart.FieldCount, FRangeStart.PartialLength) != DBIERR_NONE)
      return Result();
    extracted = true;
    int c = CompareKeys(key.data(), FRangeStart.Key, FRangeStart.FieldCount, FRangeStart.PartialLength);
    if (c < 0 || (c == 0 && !FRangeStart.Inclusive)) return DBIERR_BOF;
  }
  if (FRangeEnd.InForce) {
    if (!extracted || !FStartEqualsEnd) {
      if (ExtractKeyPrecise(Record, key.data(), FRangeEnd.FieldCount, FRangeEnd.PartialLength) != DBIERR_NONE)
        return Result();
    }
    int c = CompareKeys(key.data(), FRangeEnd.Key, FRangeEnd.FieldCount, FRangeEnd.PartialLength);
    if (c > 0 || (c == 0 && !FRangeEnd.Inclusive)) return DBIERR_EOF;
  }
  return DBIERR_NONE;
}

DBIResult TBaseTable::SetToKey(std::uint32_t Cond, bool KeyIsKey, std::uint16_t FieldCount,
                               std::uint16_t PartialLength, const std::uint8_t* Key) {
  int special = Cond == keySEARCHGT ? 2 : (Cond == keySEARCHGEQ ? 1 : 0);
  std::uint8_t* buffer = OwnRecordBuffer();
  TRecordBufferScope scope(this, buffer);
  DBIResult r = SetToKeySpecial(special, KeyIsKey, FieldCount, PartialLength, Key, buffer);
  if (r == DBIERR_NONE) {
    r = CheckRangeAndFilters(true);
  } else if (Cond != 0) {
    SetToEnd();
  }
  return SetResult(r);
}

DBIResult TBaseTable::GetIndexDesc(std::uint16_t, IDXDesc& Desc) {
  Desc = IDXDesc{};
  return SetResult(DBIERR_INVALIDHNDL);
}

DBIResult TBaseTable::GetIndexDescs(IDXDesc* Descs, std::uint16_t Count) {
  if (!Descs) return SetResult(DBIERR_INVALIDPARAM);
  FIndexListing = true;
  for (std::uint16_t i = 0; i < Count; ++i) {
    if (GetIndexDesc(static_cast<std::uint16_t>(i + 1), Descs[i]) != DBIERR_NONE) Descs[i] = IDXDesc{};
  }
  FIndexListing = false;
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::GetIndexForFields(const std::string& Names, std::string& IndexName, std::uint16_t& IndexNumber) {
  IndexName.clear();
  IndexNumber = 0;
  if (Names.find('@') == std::string::npos) {
    IndexName = Names.substr(0, 31);
    return SetResult(DBIERR_NONE);
  }
  std::vector<std::uint16_t> wanted;
  std::size_t at = Names.find('@');
  while (at != std::string::npos) {
    std::size_t next = Names.find('@', at + 1);
    std::string name = Names.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
    TFieldCacheItem* f = FindFieldByName(name);
    if (!f) return SetResult(DBIERR_INVALIDFIELD);
    wanted.push_back(f->FieldNumber);
    at = next;
  }
  FIndexListing = true;
  DBIResult r = DBIERR_NONE;
  for (std::uint16_t id = 1; id != 0; ++id) {
    IDXDesc d;
    r = GetIndexDesc(id, d);
    if (r != DBIERR_NONE) break;
    if (d.iFldsInKey == wanted.size() && std::equal(wanted.begin(), wanted.end(), d.aiKeyFld)) {
      IndexName = std::string(d.szName, strnlen(d.szName, sizeof d.szName)).substr(0, 31);
      IndexNumber = static_cast<std::uint16_t>(id - 1);
      break;
    }
  }
  FIndexListing = false;
  return SetResult(r);
}

namespace {
// Runs Step over up to Count consecutive record-size slots until one fails; Count becomes the
// number of slots done.
template <typename F>
DBIResult EachSlot(std::uint32_t& Count, bool HaveBuffer, std::size_t Size, F&& Step) {
  const std::uint32_t wanted = Count;
  Count = 0;
  if (!HaveBuffer && wanted) return DBIERR_INVALIDPARAM;
  DBIResult r = DBIERR_NONE;
  while (Count < wanted && (r = Step(Size * Count)) == DBIERR_NONE) ++Count;
  return r;
}
}  // namespace

DBIResult TBaseTable::ReadBlock(std::uint32_t& Count, std::uint8_t* Buffer) {
  return SetResult(EachSlot(Count, Buffer != nullptr, GetRecordBufferSize(),
                            [&](std::size_t At) { return GetNextRecord(dbiNOLOCK, Buffer + At); }));
}

DBIResult TBaseTable::WriteBlock(std::uint32_t& Count, const std::uint8_t* Buffer) {
  return SetResult(EachSlot(Count, Buffer != nullptr, GetRecordBufferSize(),
                            [&](std::size_t At) { return InsertRecord(dbiNOLOCK, Buffer + At); }));
}

std::uint8_t* TBaseTable::OwnRecordBuffer() {
  std::size_t size = std::max<std::uint32_t>(GetRecordBufferSize(), 1);
  if (FOwnRecord.size() < size) FOwnRecord.assign(size, 0);
  return FOwnRecord.data();
}

DBIResult TBaseTable::DeleteAllRecords() {
  // Each pass reads the first record into the cursor's own image, never into a buffer some
  // earlier caller handed over (it may be long gone).
  TRecordBufferScope scope(this, OwnRecordBuffer());
  int retries = 0;
  for (;;) {
    while (FirstInRange() == DBIERR_NONE) {
      FState = csOnRecord;
      if (DeleteRecord(nullptr) != DBIERR_NONE) break;
    }
    std::uint32_t count = 0;
    if (GetRecordCount(count) != DBIERR_NONE || count < 1 || ++retries > 4) break;
  }
  return SetToBegin();
}

DBIResult TBaseTable::EmptyTable() {
  const bool wasOpen = FState != csClosed;
  const std::uint32_t share = FShareMode;
  if (share == dbiOPENEXCL) {
    DBIResult r = wasOpen ? DBIERR_NONE : Open();
    if (r == DBIERR_NONE) r = DeleteAllRecords();
    if (!wasOpen) CloseCursor();
    return SetResult(r);
  }
  // The records are deleted through the cursor opened exclusively for the time of the deletes;
  // afterwards, and when the table cannot be had exclusively, the cursor is opened again as it
  // was, so that the caller's handle goes on serving it.
  if (wasOpen) CloseCursor();
  FShareMode = dbiOPENEXCL;
  DBIResult r = Open();
  if (r == DBIERR_NONE) {
    r = DeleteAllRecords();
    CloseCursor();
  }
  FShareMode = share;
  if (wasOpen) {
    const DBIResult back = Reopen();
    if (r == DBIERR_NONE) r = back;
  }
  return SetResult(r);
}

DBIResult TBaseTable::BeginDelayedUpdates(TBaseTable*& CacheTable) {
  CacheTable = nullptr;
  try {
    CacheTable = new TBaseCacheTable(this);
  } catch (const std::exception&) {
    return SetResult(DBIERR_INVALIDPARAM);
  }
  return SetResult(DBIERR_NONE);
}

// ---- Filters -------------------------------------------------------------------------------

void TBaseTable::RefreshFiltersActive() {
  FFiltersActive = false;
  for (int i = 0; i < FFilters.Count(); ++i)
    if (static_cast<TFilterListItem*>(FFilters.At(i))->Active()) FFiltersActive = true;
}

TFilterListItem* TBaseTable::FindFilter(hDBIFilter Filter) {
  auto* f = TBapiListItem::Resolve<TFilterListItem>(Filter);
  return f && FFilters.IndexOf(f) >= 0 ? f : nullptr;
}

DBIResult TBaseTable::AddFilter(std::uint32_t ClientData, std::uint16_t Priority, bool CanAbort,
                                const std::uint8_t* Expr, pfDBIFilter Callback, hDBIFilter& Filter) {
  Filter = 0;
  TFilterListItem* f = nullptr;
  try {
    f = new TFilterListItem(this, &FFilters, ClientData, Priority, CanAbort, Expr, Callback);
  } catch (const std::exception&) {
    return SetResult(DBIERR_INVALIDPARAM);
  }
  Filter = f->Handle();
  RefreshFiltersActive();
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::DropFilter(hDBIFilter Filter) {
  if (Filter == 0) {
    FFilters.FreeAll();
    RefreshFiltersActive();
    return SetResult(DBIERR_NONE);
  }
  TFilterListItem* f = FindFilter(Filter);
  if (!f) return SetResult(DBIERR_INVALIDFILTER);
  delete f;
  RefreshFiltersActive();
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::ActivateFilter(hDBIFilter Filter) {
  if (Filter == 0) {
    for (int i = 0; i < FFilters.Count(); ++i) static_cast<TFilterListItem*>(FFilters.At(i))->SetActive(true);
  } else {
    TFilterListItem* f = FindFilter(Filter);
    if (!f) return SetResult(DBIERR_INVALIDFILTER);
    f->SetActive(true);
  }
  RefreshFiltersActive();
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::DeactivateFilter(hDBIFilter Filter) {
  if (Filter == 0) {
    for (int i = 0; i < FFilters.Count(); ++i) static_cast<TFilterListItem*>(FFilters.At(i))->SetActive(false);
    FFiltersActive = false;
    return SetResult(DBIERR_NONE);
  }
  TFilterListItem* f = FindFilter(Filter);
  if (!f) return SetResult(DBIERR_INVALIDFILTER);
  if (!f->Active()) return SetResult(DBIERR_NA);
  f->SetActive(false);
  RefreshFiltersActive();
  return SetResult(DBIERR_NONE);
}

DBIResult TBaseTable::GetFilterInfo(hDBIFilter Filter, std::uint16_t FilterId, FILTERInfo& Info) {
  Info = FILTERInfo{};
  TFilterListItem* f = Filter ? FindFilter(Filter)
                              : (FFilters.Count() ? static_cast<TFilterListItem*>(FFilters.At(0)) : nullptr);
  if (f) f->FillInfo(FilterId, Info);
  return SetResult(DBIERR_NONE);
}

}  // namespace tw::dbaccess
