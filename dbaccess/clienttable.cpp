#include "dbaccess/clienttable.h"

#include <algorithm>
#include <cstring>

#include "dbaccess/database.h"
#include "dbaccess/fieldconv.h"
#include "dbaccess/requests.h"
#include "dbaccess/session.h"
#include "platform/classes/streams.h"
#include "platform/rtl/win1252.h"

namespace tw::dbaccess {

namespace {
constexpr std::uint32_t kMaxBlobChunk = 65517;
// GetBlob keeps its reply buffer between reads up to this size (larger reads free it again).
constexpr std::size_t kKeptBlobReply = 8192;

// Calls Each(field index, BLOB number) for every BLOB field of Record that is not null.
template <typename F>
void ForEachBlob(const dbengine::TqnDataDictionary& Dict, const std::uint8_t* Record, F&& Each) {
  for (int i = 0; i < Dict.FieldCount(); ++i) {
    if (!dbengine::QNIsBlobFieldType(Dict.FieldType(i)) || Dict.FieldLength(i) != 4) continue;
    std::uint8_t value[4] = {};
    bool isNull = true;
    Dict.GetRecordField(i, Record, value, isNull);
    if (!isNull) Each(i, GetU32(value, 0));
  }
}
}  // namespace

std::uint16_t InterfaceFieldLength(int EngineType, std::int32_t EngineLength) {
  switch (EngineType) {
    case 0: case 3: case 6: return 2;
    case 10: case 11: case 12: case 13: case 14: case 17: return 8;
    case 18: case 19: case 20: case 21: case 22: case 23: case 24: return 4;
    case 1: return 2;
    case 2: return 2;
    case 50: return static_cast<std::uint16_t>(std::max(EngineLength / 2, 1));
    default: return static_cast<std::uint16_t>(EngineLength);
  }
}

TQNClientTable::TQNClientTable(TTitanCollection* Owner, TQNClientDatabase* Database, const std::string& Name,
                               std::uint32_t OpenMode, std::uint32_t ShareMode, std::uint32_t IndexNumber)
    : TBaseTable(Owner, Database, OpenMode, ShareMode), FDatabase(Database), FIndexNumber(IndexNumber), FDict(4096) {
  SetFullName(Name);
  SetTableName(TableBaseName(Name));
}

TQNClientTable::~TQNClientTable() {
  if (FServerId != -1) CloseCursor();
}

TQNClientDatabase* TQNClientTable::Database() const { return FDatabase; }

std::uint32_t TQNClientTable::KeyLength() const {
  if (static_cast<int>(FIndexNumber) >= FDict.IndexCount()) return 0;
  return static_cast<std::uint32_t>(FDict.IndexKeyLength(static_cast<int>(FIndexNumber)));
}

DBIResult TQNClientTable::Request(std::uint32_t MessageId, const std::vector<std::uint8_t>& Data, void* Reply,
                                  std::uint32_t ReplyCapacity) {
  TQNClientDatabase* db = Database();
  if (!db) return SetResult(DBIERR_INVALIDHNDL);
  return SetResult(db->Request(MessageId, Data.data(), static_cast<std::uint32_t>(Data.size()), false, Reply,
                               ReplyCapacity));
}

DBIResult TQNClientTable::Request(std::uint32_t MessageId, const std::uint8_t* Data, std::uint32_t Length, void* Reply,
                                  std::uint32_t ReplyCapacity, std::uint32_t* ReplyLength) {
  if (ReplyLength) *ReplyLength = 0;
  TQNClientDatabase* db = Database();
  if (!db) return SetResult(DBIERR_INVALIDHNDL);
  return SetResult(db->Request(MessageId, Data, Length, false, Reply, ReplyCapacity, ReplyLength));
}

std::vector<std::uint8_t> TQNClientTable::Head(std::size_t Size) const {
  std::vector<std::uint8_t> r(Size, 0);
  PutU32(r.data(), 0, static_cast<std::uint32_t>(FServerId));
  return r;
}

void TQNClientTable::FillFieldCache() {
  FFieldCache.FreeAll();
  for (int i = 0; i < FDict.FieldCount(); ++i) {
    FLDDesc d;
    std::uint16_t off = 0, len = 0;
    if (GetNativeDesc(static_cast<std::uint16_t>(i + 1), d, off, len) == DBIERR_NONE)
      PutFieldCacheItem(new TFieldCacheItem(d, off, len));
  }
  FRecordBufferSize = RecordLength();
}

DBIResult TQNClientTable::Open() {
  TQNClientDatabase* db = Database();
  if (!db) return SetResult(DBIERR_INVALIDHNDL);
  if (!TableNameFits(GetFullName())) return SetResult(DBIERR_INVALIDTABLENAME);
  std::vector<std::uint8_t> request(74, 0);
  PutU32(request.data(), 0, static_cast<std::uint32_t>(db->ServerId()));
  PutShortString(request.data(), 4, 32, TableBaseName(GetFullName()));
  PutShortString(request.data(), 36, 32, "");
  PutU32(request.data(), 68, FIndexNumber);
  request[72] = OpenModeByte(FOpenMode);
  request[73] = ShareModeByte(FShareMode);
  TMemoryStream reply;
  DBIResult r = db->RequestToStream(1280, request.data(), 74, false, reply);
  FServerId = -1;
  if (r != DBIERR_NONE) return SetResult(r);
  reply.SetPosition(0);
  std::uint8_t word[4];
  try {
    if (reply.Read(word, 4) != 4) return SetResult(DBIERR_BADREPLY);
    std::int32_t id = static_cast<std::int32_t>(GetU32(word, 0));
    FDict.ReadFromStream(reply);
    if (reply.Read(word, 4) != 4) return SetResult(DBIERR_BADREPLY);
    FIndexNumber = GetU32(word, 0);
    FServerId = id;
  } catch (const std::exception&) {
    FDict.Clear(false);
    return SetResult(DBIERR_BADREPLY);
  }
  SetTableName(TableBaseName(GetFullName()));
  FRecordBufferSize = RecordLength();
  FState = csOpened;
  return SetResult(DBIERR_NONE);
}

DBIResult TQNClientTable::CloseCursor() {
  if (FServerId == -1) return SetResult(DBIERR_INVALIDHNDL);
  DBIResult r = Request(1794, Head(4));
  FState = csClosed;
  FServerId = -1;
  return SetResult(r);
}

DBIResult TQNClientTable::CloneCursor(bool ReadOnly, bool, TBaseTable*& Clone) {
  Clone = nullptr;
  std::vector<std::uint8_t> request = Head(5);
  request[4] = ReadOnly ? 0 : OpenModeByte(FOpenMode);
  std::uint8_t reply[4] = {};
  DBIResult r = Request(1802, request, reply, 4);
  if (r != DBIERR_NONE) return r;
  auto* c = new TQNClientTable(OwnerCollection(), Database(), GetFullName(), ReadOnly ? dbiREADONLY : FOpenMode,
                               FShareMode, FIndexNumber);
  c->FDict.Assign(&FDict);
  c->FServerId = static_cast<std::int32_t>(GetU32(reply, 0));
  c->FState = FState;
  // The server's clone keeps the range; so does the clone's knowledge of it.
  c->FRangeSet = FRangeSet;
  c->FRangeRequest = FRangeRequest;
  c->FillFieldCache();
  Clone = c;
  return SetResult(DBIERR_NONE);
}

DBIResult TQNClientTable::RawRead(std::uint32_t MessageId) {
  std::vector<std::uint8_t> request = Head(13);
  std::uint32_t len = FRecordBuffer ? RecordLength() : 0;
  PutU32(request.data(), 4, len);
  PutU32(request.data(), 8, FRecordBuffer ? GetBookmarkSize() : 0);
  request[12] = LockByte(FStepLock);
  DBIResult r = Request(MessageId, request, FRecordBuffer, len);
  if (r == DBIERR_NONE) NoteReadBlobs(FRecordBuffer);
  return r;
}

DBIResult TQNClientTable::NextRawRecord() { return RawRead(2049); }
DBIResult TQNClientTable::PriorRawRecord() { return RawRead(2050); }

DBIResult TQNClientTable::FirstRecord() {
  DBIResult r = SetToBegin();
  return r == DBIERR_NONE ? NextRawRecord() : r;
}

DBIResult TQNClientTable::LastRecord() {
  DBIResult r = SetToEnd();
  return r == DBIERR_NONE ? PriorRawRecord() : r;
}

DBIResult TQNClientTable::SetToBegin() {
  DBIResult r = Request(1792, Head(4));
  FState = r == DBIERR_NONE ? csOnRecord : csOpened;
  return r;
}

DBIResult TQNClientTable::SetToEnd() {
  DBIResult r = Request(1793, Head(4));
  FState = r == DBIERR_NONE ? csOnRecord : csOpened;
  return r;
}

DBIResult TQNClientTable::SetToCursor(TBaseTable* Dest) {
  auto* d = dynamic_cast<TQNClientTable*>(Dest);
  if (!d) return SetResult(DBIERR_INVALIDHNDL);
  std::vector<std::uint8_t> request(8, 0);
  PutU32(request.data(), 0, static_cast<std::uint32_t>(d->FServerId));
  PutU32(request.data(), 4, static_cast<std::uint32_t>(FServerId));
  DBIResult r = Request(1803, request);
  d->FState = r == DBIERR_NONE ? csOnRecord : csOpened;
  return r;
}

DBIResult TQNClientTable::GetNativeDesc(std::uint16_t FieldNumber, FLDDesc& Desc, std::uint16_t& StorageOffset,
                                        std::uint16_t& StorageLength) {
  if (FieldNumber == 0 || FieldNumber > FDict.FieldCount()) return SetResult(DBIERR_INVALIDPARAM);
  int i = FieldNumber - 1;
  Desc = FieldDescFromDictionary(FDict, i);
  StorageOffset = static_cast<std::uint16_t>(FDict.FieldOffset(i));
  StorageLength = static_cast<std::uint16_t>(FDict.FieldLength(i));
  Desc.iLen = InterfaceFieldLength(FDict.FieldType(i), FDict.FieldLength(i));
  return SetResult(DBIERR_NONE);
}

DBIResult TQNClientTable::GetFieldValue(TFieldCacheItem* Field, const std::uint8_t* Record, bool& Blank,
                                        std::uint8_t* Value) {
  Blank = true;
  if (!Record || !Field) return SetResult(DBIERR_INVALIDPARAM);
  int i = Field->FieldNumber - 1;
  if (i < 0 || i >= FDict.FieldCount()) return SetResult(DBIERR_INVALIDFIELD);
  Blank = FDict.IsRecordFieldNull(i, Record);
  if (Blank) {
    if (Value) std::memset(Value, 0, Field->Desc.iLen);
    return SetResult(DBIERR_NONE);
  }
  std::vector<std::uint8_t> scratch;
  std::uint8_t* dest = Value;
  if (!dest) {
    scratch.assign(std::max<std::size_t>(Field->Desc.iLen, kMemoFieldValueSize), 0);
    dest = scratch.data();
  }
  if (FDict.FieldType(i) == dbengine::qftBlobMemo) {
    std::uint8_t number[4] = {};
    bool isNull = true;
    FDict.GetRecordField(i, Record, number, isNull);
    const std::uint32_t nr = GetU32(number, 0);
    // The caller's buffer is as long as the field's descriptor says, and no longer.
    return SetResult(MemoFieldValue(Undone(Record, nr) ? 0 : nr, Blank, dest, Field->Desc.iLen));
  }
  int c = EngineToInterfaceValue(FDict.FieldType(i), FDict.FieldLength(i), Record + FDict.FieldOffset(i), dest,
                                 Field->Desc.iLen);
  if (c == fcNotHandled) {
    Blank = true;
    return SetResult(DBIERR_NOTSUPPORTED);
  }
  if (c == fcInvalid) Blank = true;
  return SetResult(DBIERR_NONE);
}

DBIResult TQNClientTable::PutFieldValue(TFieldCacheItem* Field, std::uint8_t* Record, const std::uint8_t* Value) {
  if (!Record || !Field) return SetResult(DBIERR_INVALIDPARAM);
  int i = Field->FieldNumber - 1;
  if (i < 0 || i >= FDict.FieldCount()) return SetResult(DBIERR_INVALIDFIELD);
  if (!Value) {
    FDict.SetRecordField(i, Record, nullptr);
    return SetResult(DBIERR_NONE);
  }
  // The stored form is built on the stack for short fields (key fields among them), else in a
  // buffer the cursor keeps, so that setting a field allocates nothing.
  const dbengine::TqnFieldDescriptor& d = FDict.FieldDescriptor(i);
  const std::size_t room = static_cast<std::size_t>(d.Length) + 16;
  std::uint8_t small[64];
  std::uint8_t* stored = small;
  if (room <= sizeof small) {
    std::memset(small, 0, room);
  } else {
    FStoredValue.assign(room, 0);
    stored = FStoredValue.data();
  }
  int c = InterfaceToEngineValue(d.FieldType, d.Length, Value, stored);
  if (c == fcDone) {
    FDict.SetRecordField(i, Record, stored);
    return SetResult(DBIERR_NONE);
  }
  if (c == fcNotHandled) {
    FDict.SetRecordField(i, Record, nullptr);
    return SetResult(DBIERR_NOTSUPPORTED);
  }
  // An invalid value (a date 0/0/0, a time past midnight) leaves the field as it was.
  return SetResult(DBIERR_INVALIDPARAM);
}

int TQNClientTable::CompareFieldValues(std::uint16_t Type, const std::uint8_t* V1, const std::uint8_t* V2,
                                       bool CaseInsensitive, std::uint32_t Length) {
  return TBaseTable::CompareFieldValues(Type, V1, V2, CaseInsensitive, Length);
}

DBIResult TQNClientTable::GetBookmark(std::uint8_t* Bookmark) {
  if (!Bookmark) return SetResult(DBIERR_INVALIDPARAM);
  std::vector<std::uint8_t> request = Head(8);
  PutU32(request.data(), 4, GetBookmarkSize());
  return Request(1795, request, Bookmark, GetBookmarkSize());
}

DBIResult TQNClientTable::SetToBookmark(const std::uint8_t* Bookmark) {
  if (!Bookmark) return SetResult(DBIERR_INVALIDPARAM);
  std::uint32_t size = GetBookmarkSize();
  std::vector<std::uint8_t> request = Head(8 + size);
  PutU32(request.data(), 4, size);
  std::memcpy(request.data() + 8, Bookmark, size);
  DBIResult r = Request(1796, request);
  if (r == DBIERR_NONE) FState = csOnRecord;
  return r;
}

DBIResult TQNClientTable::GetRecordAtBookmark(const std::uint8_t* Bookmark, std::uint8_t* Record, std::uint32_t Lock) {
  if (!Bookmark) return SetResult(DBIERR_INVALIDPARAM);
  TRecordBufferScope scope(this, Record);
  DBIResult r = SetToBookmark(Bookmark);
  if (r == DBIERR_NONE) r = GetRecord(Lock, Record);
  if (r == DBIERR_NONE) {
    if (Record && KeyLength() <= FLastKey.size()) ExtractKey(Record, FLastKey.data());
    return SetResult(DBIERR_NONE);
  }
  if (Lock != dbiNOLOCK) {
    r = SetToBookmark(Bookmark);
    if (r == DBIERR_NONE) r = GetRecord(Lock, Record);
  } else {
    SetToKey(keySEARCHGEQ, true, 0, 0, FLastKey.data());
  }
  return SetResult(r);
}

DBIResult TQNClientTable::CompareBookmarks(const std::uint8_t* B1, const std::uint8_t* B2, std::int16_t& Cmp) {
  Cmp = 0;
  if (!B1 || !B2) return SetResult(DBIERR_INVALIDPARAM);
  std::uint32_t size = GetBookmarkSize();
  std::vector<std::uint8_t> request = Head(8 + 2 * size);
  PutU32(request.data(), 4, size);
  std::memcpy(request.data() + 8, B1, size);
  std::memcpy(request.data() + 8 + size, B2, size);
  std::uint8_t reply[4] = {};
  DBIResult r = Request(1801, request, reply, 4);
  if (r == DBIERR_NONE) {
    auto c = static_cast<std::int32_t>(GetU32(reply, 0));
    Cmp = static_cast<std::int16_t>(c < 0 ? -1 : (c > 0 ? 1 : 0));
  }
  return r;
}

DBIResult TQNClientTable::GetRecord(std::uint32_t Lock, std::uint8_t* Record) {
  if (FState == csBeforeFirst) return SetResult(DBIERR_EOF);
  if (FState == csAfterLast) return SetResult(DBIERR_BOF);
  if (FState != csOnRecord && FState != csOnGap) return SetResult(DBIERR_NOCURRREC);
  std::vector<std::uint8_t> request = Head(13);
  std::uint32_t len = Record ? RecordLength() : 0;
  PutU32(request.data(), 4, len);
  PutU32(request.data(), 8, GetBookmarkSize());
  request[12] = LockByte(Lock);
  DBIResult r = Request(2048, request, Record, len);
  if (r != DBIERR_NONE) return r;
  NoteReadBlobs(Record);
  TRecordBufferScope scope(this, Record);
  r = FiltersActive() && Record ? CheckRangeAndFilters(true) : DBIERR_NONE;
  if (r == DBIERR_NONE) {
    GetRecordProps();
  } else if (Lock == dbiWRITELOCK) {
    RelRecordLock(false);
  }
  return SetResult(r);
}

DBIResult TQNClientTable::GetRecordForKey(bool KeyIsKey, std::uint16_t FieldCount, std::uint16_t PartialLength,
                                          const std::uint8_t* Key, std::uint8_t* Record) {
  if (!Key) return SetResult(DBIERR_INVALIDPARAM);
  if (!KeyIsKey && FIndexNumber == 0) return SetResult(DBIERR_NOTINDEXED);
  std::uint32_t n = KeyIsKey ? KeyLength() : RecordLength();
  // Built in a buffer the cursor keeps: a search is made for every lookup.
  std::vector<std::uint8_t>& request = FRequestBuffer;
  // Every byte is written below: the buffer is only sized, not cleared.
  request.resize(25 + static_cast<std::size_t>(n));
  PutU32(request.data(), 0, static_cast<std::uint32_t>(FServerId));
  request[4] = KeyIsKey ? 1 : 0;
  PutU32(request.data(), 5, FieldCount);
  PutU32(request.data(), 9, PartialLength);
  PutU32(request.data(), 13, Record ? RecordLength() : 0);
  PutU32(request.data(), 17, n);
  PutU32(request.data(), 21, GetBookmarkSize());
  std::memcpy(request.data() + 25, Key, n);
  DBIResult r = Request(2056, request, Record, Record ? RecordLength() : 0);
  if (r == DBIERR_NONE) {
    FState = csOnRecord;
    NoteReadBlobs(Record);
  }
  return r;
}

int TQNClientTable::VChkField(int N) const {
  int seen = 0;
  for (int i = 0; i < FDict.FieldCount(); ++i) {
    if (FDict.FieldRequired(i) || FDict.FieldVCheck(i)) {
      if (++seen == N) return i;
    }
  }
  return -1;
}

DBIResult TQNClientTable::GetVchkDesc(std::uint16_t N, VCHKDesc& Desc) {
  Desc = VCHKDesc{};
  int field = VChkField(N);
  if (field < 0) return SetResult(DBIERR_OBJNOTFOUND);
  Desc = VChkDescFromDictionary(FDict, field);
  return SetResult(DBIERR_NONE);
}

DBIResult TQNClientTable::AcqTableLock(std::uint32_t Lock) {
  std::vector<std::uint8_t> request = Head(5);
  request[4] = LockByte(Lock);
  return Request(1296, request);
}

DBIResult TQNClientTable::RelTableLock(bool All, std::uint32_t Lock) {
  std::vector<std::uint8_t> request = Head(6);
  request[4] = All ? 1 : 0;
  request[5] = LockByte(Lock);
  return Request(1297, request);
}

DBIResult TQNClientTable::RelRecordLock(bool All) {
  std::vector<std::uint8_t> request = Head(5);
  request[4] = All ? 1 : 0;
  return Request(2051, request);
}

DBIResult TQNClientTable::IsTableLocked(std::uint32_t Lock, std::uint16_t& Locks) {
  Locks = 0;
  std::vector<std::uint8_t> request = Head(5);
  request[4] = LockByte(Lock);
  std::uint8_t reply[1] = {};
  DBIResult r = Request(1298, request, reply, 1);
  if (r == DBIERR_NONE) Locks = reply[0] ? 1 : 0;
  return r;
}

DBIResult TQNClientTable::InitRecord(std::uint8_t* Record) {
  if (!Record) return SetResult(DBIERR_INVALIDPARAM);
  FDict.InitRecord(Record);
  FLastInitRecord = Record;
  return SetResult(DBIERR_NONE);
}

DBIResult TQNClientTable::InsertRecord(std::uint32_t Lock, const std::uint8_t* Record) {
  if (!Record) return SetResult(DBIERR_INVALIDPARAM);
  std::vector<std::uint8_t> request = Head(13 + RecordLength());
  PutU32(request.data(), 4, RecordLength());
  PutU32(request.data(), 8, GetBookmarkSize());
  request[12] = LockByte(Lock);
  const std::uint8_t* sent = WithoutUndoneBlobs(Record);
  std::memcpy(request.data() + 13, sent, RecordLength());
  DBIResult r = Request(2053, request);
  if (r == DBIERR_NONE) {
    FState = csOnRecord;
    ForgetPostedBlobs(sent);
  }
  return r;
}

DBIResult TQNClientTable::ModifyRecord(const std::uint8_t* Record, bool FreeLock) {
  if (!Record) return SetResult(DBIERR_INVALIDPARAM);
  std::vector<std::uint8_t> request = Head(13 + RecordLength());
  PutU32(request.data(), 4, RecordLength());
  PutU32(request.data(), 8, GetBookmarkSize());
  request[12] = FreeLock ? 1 : 0;
  const std::uint8_t* sent = WithoutUndoneBlobs(Record);
  std::memcpy(request.data() + 13, sent, RecordLength());
  DBIResult r = Request(2054, request);
  if (r == DBIERR_NONE) ForgetPostedBlobs(sent);
  return r;
}

DBIResult TQNClientTable::DeleteRecord(std::uint8_t* Record) {
  std::vector<std::uint8_t> request = Head(8);
  PutU32(request.data(), 4, Record ? RecordLength() : 0);
  DBIResult r = Request(2052, request, Record, Record ? RecordLength() : 0);
  if (r == DBIERR_NONE) FState = csOnGap;
  return r;
}

DBIResult TQNClientTable::GetCursorProps(CURProps& Props) {
  Props = CURProps{};
  CopyText(Props.szName, GetFullName(), 260);
  Props.iFNameSize = 255;
  CopyText(Props.szTableType, "QN", 31);
  Props.iFields = static_cast<std::uint16_t>(FDict.FieldCount());
  Props.iRecSize = static_cast<std::uint16_t>(FDict.LogicalRecordLength());
  Props.iRecBufSize = static_cast<std::uint16_t>(RecordLength());
  Props.iKeySize = static_cast<std::uint16_t>(KeyLength());
  Props.iIndexes = static_cast<std::uint16_t>(FDict.IndexCount());
  int vchk = 0;
  for (int i = 0; i < FDict.FieldCount(); ++i)
    if (FDict.FieldRequired(i) || FDict.FieldVCheck(i)) ++vchk;
  Props.iValChecks = static_cast<std::uint16_t>(vchk);
  Props.iBookMarkSize = static_cast<std::uint16_t>(GetBookmarkSize());
  Props.bBookMarkStable = 1;
  Props.eOpenMode = FOpenMode;
  Props.eShareMode = FShareMode;
  Props.bIndexed = 1;
  Props.iSeqNums = -1;
  Props.exltMode = 2;
  Props.eprvRights = 255;
  Props.iFilters = static_cast<std::uint16_t>(FilterCount());
  return SetResult(DBIERR_NONE);
}

DBIResult TQNClientTable::GetRecordCount(std::uint32_t& Count) {
  Count = 0;
  std::uint8_t reply[4] = {};
  DBIResult r = Request(1303, Head(4), reply, 4);
  if (r == DBIERR_NONE) Count = GetU32(reply, 0);
  return r;
}

DBIResult TQNClientTable::GetExactRecordCount(std::uint32_t& Count) {
  if (!FiltersActive() && !FRangeSet) return GetRecordCount(Count);
  return TBaseTable::GetRecordCount(Count);
}

DBIResult TQNClientTable::SetRange(bool KeyIsKey, std::uint16_t StartFields, std::uint16_t StartLen,
                                   const std::uint8_t* StartKey, bool StartIncl, std::uint16_t EndFields,
                                   std::uint16_t EndLen, const std::uint8_t* EndKey, bool EndIncl) {
  std::uint32_t n = KeyIsKey ? KeyLength() : RecordLength();
  std::uint32_t l1 = StartKey ? n : 0, l2 = EndKey ? n : 0;
  std::vector<std::uint8_t> request = Head(31 + l1 + l2);
  request[4] = KeyIsKey ? 1 : 0;
  PutU32(request.data(), 5, StartFields);
  PutU32(request.data(), 9, StartLen);
  PutU32(request.data(), 13, l1);
  request[17] = StartIncl ? 1 : 0;
  PutU32(request.data(), 18, EndFields);
  PutU32(request.data(), 22, EndLen);
  PutU32(request.data(), 26, l2);
  request[30] = EndIncl ? 1 : 0;
  if (l1) std::memcpy(request.data() + 31, StartKey, l1);
  if (l2) std::memcpy(request.data() + 31 + l1, EndKey, l2);
  DBIResult r = Request(1799, request);
  if (r == DBIERR_NONE) {
    FRangeSet = StartKey || EndKey;
    FRangeRequest = FRangeSet ? std::move(request) : std::vector<std::uint8_t>();
  }
  return r;
}

DBIResult TQNClientTable::ResetRange() {
  DBIResult r = Request(1800, Head(4));
  if (r == DBIERR_NONE) {
    FRangeSet = false;
    FRangeRequest.clear();
  }
  return r;
}

DBIResult TQNClientTable::Reopen() {
  DBIResult r = Open();
  if (r != DBIERR_NONE || !FRangeSet) return r;
  // The server's new cursor has no range: the one this cursor had is set on it again.
  std::vector<std::uint8_t> request = FRangeRequest;
  PutU32(request.data(), 0, static_cast<std::uint32_t>(FServerId));
  r = Request(1799, request);
  if (r != DBIERR_NONE) {
    FRangeSet = false;
    FRangeRequest.clear();
  }
  return SetResult(r);
}

DBIResult TQNClientTable::SwitchToIndex(const std::string& Name, const std::string&, std::uint16_t Number,
                                        bool KeepCurrent) {
  std::vector<std::uint8_t> request = Head(41);
  PutShortString(request.data(), 4, 32, Name);
  PutU32(request.data(), 36, Number);
  request[40] = KeepCurrent ? 1 : 0;
  DBIResult r = Request(1798, request);
  if (r == DBIERR_NONE) {
    int found = Name.empty() ? Number : FDict.GetIndexFromName(Name);
    if (found >= 0) FIndexNumber = static_cast<std::uint32_t>(found);
  }
  return r;
}

DBIResult TQNClientTable::SetToKey(std::uint32_t Cond, bool KeyIsKey, std::uint16_t FieldCount,
                                   std::uint16_t PartialLength, const std::uint8_t* Key) {
  if (!Key) return SetResult(DBIERR_INVALIDPARAM);
  std::uint32_t n = KeyIsKey ? KeyLength() : RecordLength();
  std::vector<std::uint8_t> request = Head(18 + n);
  request[4] = SearchCondByte(Cond);
  request[5] = KeyIsKey ? 1 : 0;
  PutU32(request.data(), 6, FieldCount);
  PutU32(request.data(), 10, PartialLength);
  PutU32(request.data(), 14, n);
  std::memcpy(request.data() + 18, Key, n);
  DBIResult r = Request(1797, request);
  if (r == DBIERR_NONE) FState = csOnRecord;
  return r;
}

DBIResult TQNClientTable::ExtractKey(const std::uint8_t* Record, std::uint8_t* Key) {
  if (!Key) return SetResult(DBIERR_INVALIDPARAM);
  int index = static_cast<int>(FIndexNumber);
  if (index >= FDict.IndexCount()) return SetResult(DBIERR_INVALIDPARAM);
  if (!FDict.IsUserKeyIndex(index)) {
    if (!Record) return SetResult(DBIERR_INVALIDPARAM);
    try {
      FDict.ExtractKey(index, Record, Key);
    } catch (const std::exception&) {
      return SetResult(DBIERR_INVALIDPARAM);
    }
    return SetResult(DBIERR_NONE);
  }
  std::vector<std::uint8_t> request = Head(Record ? 9 + RecordLength() : 9);
  PutU32(request.data(), 4, KeyLength());
  request[8] = Record ? 1 : 0;
  if (Record) std::memcpy(request.data() + 9, Record, RecordLength());
  return Request(2055, request, Key, KeyLength());
}

DBIResult TQNClientTable::GetIndexDesc(std::uint16_t IndexId, IDXDesc& Desc) {
  Desc = IDXDesc{};
  int index = (IndexId || FIndexListing) ? IndexId - 1 : static_cast<int>(FIndexNumber);
  if (index < 0 || index >= FDict.IndexCount()) return SetResult(DBIERR_EOF);
  Desc = IndexDescFromDictionary(FDict, index);
  return SetResult(DBIERR_NONE);
}

DBIResult TQNClientTable::BlobNumber(const std::uint8_t* Record, std::uint16_t Field, std::uint32_t& Number,
                                     bool& IsNull) {
  Number = 0;
  IsNull = true;
  if (!Record || Field == 0 || Field > FDict.FieldCount()) return SetResult(DBIERR_INVALIDPARAM);
  int i = Field - 1;
  if (FDict.FieldLength(i) != 4) return SetResult(DBIERR_INVALIDBLOBHANDLE);
  std::uint8_t value[4] = {};
  FDict.GetRecordField(i, Record, value, IsNull);
  Number = GetU32(value, 0);
  // A BLOB whose creation was undone is none: the number may be another cursor's by now.
  if (!IsNull && Undone(Record, Number)) {
    IsNull = true;
    Number = 0;
  }
  return DBIERR_NONE;
}

void TQNClientTable::ForgetPostedBlobs(const std::uint8_t* Record) {
  if (FNewBlobs.empty()) return;
  // Inside a transaction the post stands only with its commit.
  const bool inTran = FDatabase && FDatabase->TransactionState() == 1;
  ForEachBlob(FDict, Record, [&](int, std::uint32_t Number) {
    if (inTran) {
      for (TNewBlob& b : FNewBlobs)
        if (b.Number == Number) b.PostedInTran = true;
    } else {
      std::erase_if(FNewBlobs, [&](const TNewBlob& b) { return b.Number == Number; });
    }
  });
}

bool TQNClientTable::Undone(const std::uint8_t* Record, std::uint32_t Number) const {
  return !FUndoneBlobs.empty() && std::any_of(FUndoneBlobs.begin(), FUndoneBlobs.end(), [&](const TUndoneBlob& u) {
           return u.Buffer == Record && u.Number == Number;
         });
}

void TQNClientTable::NoteReadBlobs(const std::uint8_t* Record) {
  if (FUndoneBlobs.empty() || !Record) return;
  std::erase_if(FUndoneBlobs, [&](const TUndoneBlob& u) { return u.Buffer == Record; });
}

const std::uint8_t* TQNClientTable::WithoutUndoneBlobs(const std::uint8_t* Record) {
  if (FUndoneBlobs.empty()) return Record;
  const std::uint8_t* sent = Record;
  ForEachBlob(FDict, Record, [&](int Field, std::uint32_t Number) {
    if (!Undone(Record, Number)) return;
    if (sent == Record) {
      FPostBuffer.assign(Record, Record + RecordLength());
      sent = FPostBuffer.data();
    }
    FDict.SetRecordField(Field, FPostBuffer.data(), nullptr);
  });
  return sent;
}

void TQNClientTable::TransactionEnded(bool Committed) {
  if (Committed) {
    std::erase_if(FNewBlobs, [](const TNewBlob& b) { return b.PostedInTran; });
  } else {
    for (const TNewBlob& b : FNewBlobs)
      if (b.CreatedInTran && !Undone(b.Buffer, b.Number)) FUndoneBlobs.push_back({b.Buffer, b.Number});
    std::erase_if(FNewBlobs, [](const TNewBlob& b) { return b.CreatedInTran; });
  }
  for (TNewBlob& b : FNewBlobs) b.CreatedInTran = b.PostedInTran = false;
}

DBIResult TQNClientTable::MemoFieldValue(std::uint32_t Number, bool& Blank, std::uint8_t* Dest, std::uint32_t Room) {
  Blank = true;
  if (Room == 0) return DBIERR_NONE;
  Dest[0] = 0;
  if (Number == 0) return DBIERR_NONE;
  const std::uint32_t most = std::min<std::uint32_t>(Room - 1, kMemoFieldValueSize - 1);
  std::vector<std::uint8_t> request = Head(16);
  PutU32(request.data(), 4, Number);
  PutU32(request.data(), 8, 0);
  PutU32(request.data(), 12, most);
  std::uint8_t reply[4 + kMemoFieldValueSize - 1] = {};
  DBIResult r = Request(1538, request, reply, 4 + most);
  if (r != DBIERR_NONE) return r;
  const std::uint32_t n = std::min<std::uint32_t>(GetU32(reply, 0), most);
  std::memcpy(Dest, reply + 4, n);
  Dest[n] = 0;
  Blank = n == 0;
  return DBIERR_NONE;
}

DBIResult TQNClientTable::OpenBlob(std::uint8_t* Record, std::uint16_t Field, std::uint32_t Mode) {
  std::uint32_t number = 0;
  bool isNull = true;
  DBIResult r = BlobNumber(Record, Field, number, isNull);
  if (r != DBIERR_NONE) return r;
  auto known = std::find(FReadOnlyBlobs.begin(), FReadOnlyBlobs.end(), number);
  if (Mode == dbiREADONLY) {
    // A read needs no BLOB: a null field reads as empty, and nothing is created or written.
    if (!isNull && number != 0 && known == FReadOnlyBlobs.end()) FReadOnlyBlobs.push_back(number);
    return SetResult(DBIERR_NONE);
  }
  if (known != FReadOnlyBlobs.end()) FReadOnlyBlobs.erase(known);
  if (!isNull) return SetResult(DBIERR_NONE);
  std::uint8_t reply[4] = {};
  r = Request(1536, Head(4), reply, 4);
  if (r == DBIERR_NONE) {
    FDict.SetRecordField(Field - 1, Record, reply);
    const std::uint32_t created = GetU32(reply, 0);
    // The buffer now names a live BLOB of that number; other buffers keep what they named.
    std::erase_if(FUndoneBlobs, [&](const TUndoneBlob& u) { return u.Buffer == Record && u.Number == created; });
    FNewBlobs.push_back({created, FDatabase && FDatabase->TransactionState() == 1, false, Record});
  }
  return r;
}

DBIResult TQNClientTable::GetBlobSize(const std::uint8_t* Record, std::uint16_t Field, std::uint32_t& Size) {
  Size = 0;
  std::uint32_t number = 0;
  bool isNull = true;
  DBIResult r = BlobNumber(Record, Field, number, isNull);
  if (r != DBIERR_NONE) return r;
  if (isNull) return SetResult(DBIERR_NONE);  // no BLOB: empty
  if (number == 0) return SetResult(DBIERR_INVALIDBLOBHANDLE);
  std::vector<std::uint8_t> request = Head(8);
  PutU32(request.data(), 4, number);
  std::uint8_t reply[4] = {};
  r = Request(1539, request, reply, 4);
  if (r == DBIERR_NONE) Size = GetU32(reply, 0);
  return r;
}

DBIResult TQNClientTable::GetBlob(const std::uint8_t* Record, std::uint16_t Field, std::uint32_t Offset,
                                  std::uint32_t Length, std::uint8_t* Buffer, std::uint32_t& Read) {
  Read = 0;
  if (Length > kMaxBlobChunk) return SetResult(DBIERR_INVALIDBLOBLEN);
  if (!Buffer && Length) return SetResult(DBIERR_INVALIDPARAM);
  std::uint32_t number = 0;
  bool isNull = true;
  DBIResult r = BlobNumber(Record, Field, number, isNull);
  if (r != DBIERR_NONE) return r;
  if (isNull) return SetResult(DBIERR_NONE);  // no BLOB: nothing to read
  if (number == 0) return SetResult(DBIERR_INVALIDBLOBHANDLE);
  std::uint8_t request[16] = {};
  PutU32(request, 0, static_cast<std::uint32_t>(FServerId));
  PutU32(request, 4, number);
  PutU32(request, 8, Offset);
  PutU32(request, 12, Length);
  // The reply (count, then the bytes) lands in a buffer the cursor keeps, which is only sized:
  // what is read from it is what the server sent.
  std::vector<std::uint8_t>& reply = FBlobReply;
  reply.resize(Length + 4u);
  std::uint32_t replied = 0;
  r = Request(1538, request, sizeof request, reply.data(), Length + 4u, &replied);
  if (r == DBIERR_NONE) {
    replied = std::min(replied, Length + 4u);
    // The count never exceeds what was asked for, nor what the reply carries: a reply that
    // claims more bytes than it holds is damaged.
    const std::uint32_t count = replied >= 4 ? GetU32(reply.data(), 0) : 0;
    if (replied < 4 || count > replied - 4) {
      r = SetResult(DBIERR_BADREPLY);
    } else {
      Read = std::min(count, Length);
      std::memcpy(Buffer, reply.data() + 4, Read);
    }
  }
  if (reply.size() > kKeptBlobReply) std::vector<std::uint8_t>().swap(reply);
  return r;
}

DBIResult TQNClientTable::PutBlob(std::uint8_t* Record, std::uint16_t Field, std::uint32_t Offset,
                                  std::uint32_t Length, const std::uint8_t* Buffer) {
  if (Length > kMaxBlobChunk) return SetResult(DBIERR_INVALIDBLOBLEN);
  if (!Buffer && Length) return SetResult(DBIERR_INVALIDPARAM);
  std::uint32_t number = 0;
  bool isNull = true;
  DBIResult r = BlobNumber(Record, Field, number, isNull);
  if (r != DBIERR_NONE) return r;
  std::vector<std::uint8_t> request = Head(16 + Length);
  PutU32(request.data(), 4, number);
  PutU32(request.data(), 8, Offset);
  PutU32(request.data(), 12, Length);
  if (Length) std::memcpy(request.data() + 16, Buffer, Length);
  return Request(1541, request);
}

DBIResult TQNClientTable::TruncateBlob(std::uint8_t* Record, std::uint16_t Field, std::uint32_t Length) {
  std::uint32_t number = 0;
  bool isNull = true;
  DBIResult r = BlobNumber(Record, Field, number, isNull);
  if (r != DBIERR_NONE) return r;
  std::vector<std::uint8_t> request = Head(12);
  PutU32(request.data(), 4, number);
  PutU32(request.data(), 8, Length);
  return Request(1540, request);
}

DBIResult TQNClientTable::FreeBlob(std::uint8_t* Record, std::uint16_t Field) {
  std::uint32_t number = 0;
  bool isNull = true;
  DBIResult r = BlobNumber(Record, Field, number, isNull);
  if (r != DBIERR_NONE) return r;
  if (isNull) return SetResult(DBIERR_NONE);
  if (number == 0) return SetResult(DBIERR_INVALIDBLOBHANDLE);
  // A BLOB opened only for reading ends its read here; the server has nothing to free.
  auto known = std::find(FReadOnlyBlobs.begin(), FReadOnlyBlobs.end(), number);
  if (known != FReadOnlyBlobs.end()) {
    FReadOnlyBlobs.erase(known);
    return SetResult(DBIERR_NONE);
  }
  // A stored record's BLOB stays, emptied or not, until its record changes.
  auto created = std::find_if(FNewBlobs.begin(), FNewBlobs.end(),
                              [&](const TNewBlob& b) { return b.Number == number && !b.PostedInTran; });
  if (created == FNewBlobs.end()) return SetResult(DBIERR_NONE);
  std::vector<std::uint8_t> request = Head(8);
  PutU32(request.data(), 4, number);
  r = Request(1542, request);
  // An empty BLOB is gone: the caller's record no longer names it.  No stored record changes
  // here; the caller's post takes the record as it is.
  if (r == DBIERR_BLOBFREED) {
    FNewBlobs.erase(created);
    FDict.SetRecordField(Field - 1, Record, nullptr);
    r = DBIERR_NONE;
  }
  return SetResult(r);
}

DBIResult TQNClientTable::AddIndex(const IDXDesc& Desc) {
  std::uint32_t rebuild = 0;
  DBIResult r = AddIndexRequest(this, Desc, rebuild);
  if (r != DBIERR_NONE) return SetResult(r);
  TQNClientDatabase* db = Database();
  r = WaitForRebuild(db ? db->Session() : nullptr, rebuild);
  // The index exists on the server even when filling it failed: the dictionary follows it.
  DBIResult refreshed = RefreshDictionary();
  return SetResult(r != DBIERR_NONE ? r : refreshed);
}

DBIResult TQNClientTable::RefreshDictionary() {
  TQNClientDatabase* db = Database();
  if (!db) return SetResult(DBIERR_INVALIDHNDL);
  std::string current;
  if (static_cast<int>(FIndexNumber) < FDict.IndexCount()) current = FDict.IndexDescriptor(static_cast<int>(FIndexNumber)).Name;
  dbengine::TqnDataDictionary fresh(4096);
  DBIResult r = db->FetchDictionary(GetTableName(), true, fresh);
  if (r != DBIERR_NONE) return SetResult(r);
  try {
    FDict.Assign(&fresh);
  } catch (const std::exception&) {
    return SetResult(DBIERR_BADREPLY);
  }
  int n = current.empty() ? -1 : FDict.GetIndexFromName(current);
  if (n >= 0) {
    FIndexNumber = static_cast<std::uint32_t>(n);
  } else if (static_cast<int>(FIndexNumber) >= FDict.IndexCount()) {
    FIndexNumber = 0;
  }
  FillFieldCache();
  return SetResult(DBIERR_NONE);
}

}  // namespace tw::dbaccess
