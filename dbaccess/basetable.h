// The cursor base: position state, the record buffer in use, the field-descriptor cache, range
// bounds, filters, field access through descriptors, counting and moving by scanning.  Storage
// is left to descendants (client table, in-memory and cached-update tables, list cursors).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dbaccess/dbitypes.h"
#include "dbaccess/handles.h"

namespace tw::dbaccess {

class TFilterListItem;

// A field read of a memo gives at most its first 255 characters and a terminator, cut to what
// the field's descriptor gives as its length (the text is read through the BLOB calls).
constexpr std::uint32_t kMemoFieldValueSize = 256;

// One cached field descriptor.
class TFieldCacheItem : public TObject {
  TW_CLASS(TFieldCacheItem, TObject)
 public:
  explicit TFieldCacheItem(const FLDDesc& D, std::uint16_t StorageOffset = 0, std::uint16_t StorageLength = 0)
      : FieldNumber(D.iFldNum), Desc(D), StorageOffset(StorageOffset), StorageLength(StorageLength) {}
  std::uint16_t FieldNumber;
  FLDDesc Desc;
  std::uint16_t StorageOffset;
  std::uint16_t StorageLength;
};

// One range bound.
struct TRangeBound {
  bool KeyIsKey = false;
  bool InForce = false;
  std::uint16_t FieldCount = 0;
  std::uint16_t PartialLength = 0;
  const std::uint8_t* Key = nullptr;  // Own copy (key form) or the caller's record (record form)
  bool Inclusive = false;
  bool WholeKey = false;
  std::array<std::uint8_t, 256> Copy{};
};

// Position states.
enum TCursorState : std::uint8_t {
  csOpened = 0, csOnRecord = 1, csBeforeFirst = 2, csAfterLast = 3, csOnGap = 4, csClosed = 5,
};

class TBaseTable : public TBapiListItem {
  TW_CLASS(TBaseTable, TBapiListItem)
 public:
  TBaseTable(TTitanCollection* Owner, TBapiListItem* Parent, std::uint32_t OpenMode, std::uint32_t ShareMode);
  ~TBaseTable() override;

  DBIResult GetProp(std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len) override;
  DBIResult SetProp(std::uint32_t Prop, std::uintptr_t Value) override;

  std::uint8_t State() const { return FState; }
  void SetState(std::uint8_t S) { FState = S; }
  // The record image the cursor reads into during the call in progress; null between calls.
  // A caller's buffer is used only inside the call that was given it, never afterwards.
  std::uint8_t* RecordBuffer() const { return FRecordBuffer; }
  void SetRecordBuffer(std::uint8_t* R) { FRecordBuffer = R; }
  // The buffer last given to InitRecord (identity only; it is never read or written through).
  std::uint8_t* LastInitRecord() const { return FLastInitRecord; }
  std::uint32_t OpenMode() const { return FOpenMode; }
  std::uint32_t ShareMode() const { return FShareMode; }
  void SetShareMode(std::uint32_t M) { FShareMode = M; }
  bool FiltersActive() const { return FFiltersActive; }
  int FilterCount() const { return FFilters.Count(); }
  const TTitanCollection& FieldCache() const { return FFieldCache; }
  bool RangeInForce() const { return FRangeStart.InForce || FRangeEnd.InForce; }

  virtual const std::string& GetFullName() const { return FFullName; }
  virtual void SetFullName(const std::string& Name);
  virtual const std::string& GetTableName() const { return FTableName; }
  virtual void SetTableName(const std::string& Name);
  void SetRecordBufferSize(std::uint32_t Size) { FRecordBufferSize = Size; }

  // ---- storage-level operations (descendants) ----
  virtual DBIResult CheckRange(const std::uint8_t* Record);
  virtual std::uint32_t GetRecordBufferSize() { return FRecordBufferSize; }
  virtual std::uint32_t GetBookmarkSize() { return 256; }
  virtual TFieldCacheItem* FindFieldCacheItem(std::uint16_t FieldNumber);
  virtual DBIResult DropFieldCacheItem(std::uint16_t FieldNumber);
  virtual int RangeSearchCondition(bool Start);
  virtual DBIResult FirstRecord() { return SetResult(DBIERR_BOF); }
  virtual DBIResult LastRecord() { return SetResult(DBIERR_EOF); }
  virtual DBIResult NextRawRecord() { return SetResult(DBIERR_EOF); }
  virtual DBIResult PriorRawRecord() { return SetResult(DBIERR_BOF); }
  // True when a step of this cursor can take the record lock in the same request as the step
  // (the lock in `FStepLock`), so that nothing comes between reaching a record and locking it.
  virtual bool StepTakesLock() const { return false; }
  virtual DBIResult GetFieldCacheEntry(std::uint16_t FieldNumber, TFieldCacheItem*& Item);
  virtual int CompareFieldValues(std::uint16_t Type, const std::uint8_t* V1, const std::uint8_t* V2,
                                 bool CaseInsensitive, std::uint32_t Length);
  virtual DBIResult GetFieldValue(TFieldCacheItem* Field, const std::uint8_t* Record, bool& Blank,
                                  std::uint8_t* Value);
  virtual DBIResult PutFieldValue(TFieldCacheItem* Field, std::uint8_t* Record, const std::uint8_t* Value);
  virtual DBIResult GetRecordSizes(std::uint16_t& FieldCount, std::uint32_t& RecordSize);
  virtual DBIResult Open() { return SetResult(DBIERR_INVALIDHNDL); }
  virtual DBIResult CloseCursor();
  virtual DBIResult CloneCursor(bool ReadOnly, bool Uni, TBaseTable*& Clone);
  virtual DBIResult OpenIndex(const std::string&, std::uint16_t) { return SetResult(DBIERR_NA); }
  virtual DBIResult CloseIndex(const std::string&, std::uint16_t) { return SetResult(DBIERR_NA); }
  virtual DBIResult GetNativeDesc(std::uint16_t FieldNumber, FLDDesc& Desc, std::uint16_t& StorageOffset,
                                  std::uint16_t& StorageLength);
  virtual DBIResult PutFieldCacheItem(TFieldCacheItem* Item);
  virtual DBIResult GetFieldDescs(FLDDesc* Descs);
  virtual DBIResult SetToBegin();
  virtual DBIResult SetToEnd();
  virtual DBIResult SetToCursor(TBaseTable* Dest);
  virtual DBIResult GetBookmark(std::uint8_t*) { return ReportNotSupported("GETBOOKMARK"); }
  virtual DBIResult SetToBookmark(const std::uint8_t*) { return ReportNotSupported("SETBOOKMARK"); }
  virtual DBIResult GetRecordAtBookmark(const std::uint8_t*, std::uint8_t*, std::uint32_t) { return NotSupported(); }
  virtual const std::uint8_t* TranslateBookmark(const std::uint8_t* Bookmark) { return Bookmark; }
  virtual DBIResult CompareBookmarks(const std::uint8_t* B1, const std::uint8_t* B2, std::int16_t& Cmp);
  virtual DBIResult FirstInRange();
  virtual DBIResult LastInRange();
  virtual void GetRecordProps() {}
  virtual DBIResult GetNextRecord(std::uint32_t Lock, std::uint8_t* Record);
  virtual DBIResult GetPriorRecord(std::uint32_t Lock, std::uint8_t* Record);
  virtual DBIResult GetRecord(std::uint32_t Lock, std::uint8_t* Record);
  DBIResult MoveBy(std::int32_t N, std::uint32_t Lock, std::uint8_t* Record);
  virtual DBIResult GetRecordForKey(bool, std::uint16_t, std::uint16_t, const std::uint8_t*, std::uint8_t*) {
    return SetResult(DBIERR_INVALIDHNDL);
  }
  virtual DBIResult GetVchkDesc(std::uint16_t, VCHKDesc&) { return ReportNotSupported("GETVCHKDESC"); }
  virtual DBIResult AcqTableLock(std::uint32_t) { return ReportNotSupported("ACQTABLELOCK"); }
  virtual DBIResult RelTableLock(bool, std::uint32_t) { return ReportNotSupported("RELTABLELOCK"); }
  virtual DBIResult RelRecordLock(bool) { return ReportNotSupported("RELRECORDLOCK"); }
  virtual DBIResult IsTableLocked(std::uint32_t, std::uint16_t& Locks) { Locks = 0; return SetResult(DBIERR_NONE); }
  virtual DBIResult InitRecord(std::uint8_t* Record);
  virtual DBIResult InsertRecord(std::uint32_t, const std::uint8_t*) { return ReportNotSupported("INSERTRECORD"); }
  virtual DBIResult AppendRecord(const std::uint8_t* Record) { return InsertRecord(dbiNOLOCK, Record); }
  virtual DBIResult ModifyRecord(const std::uint8_t*, bool) { return ReportNotSupported("MODIFYRECORD"); }
  virtual DBIResult DeleteRecord(std::uint8_t*) { return ReportNotSupported("DELETERECORD"); }
  virtual DBIResult UndeleteRecord() { return ReportNotSupported("UNDELETERECORD"); }
  virtual DBIResult GetSeqNo(std::uint32_t&) { return ReportNotSupported("GETSEQNO"); }
  virtual DBIResult GetCursorProps(CURProps& Props);
  virtual DBIResult GetRecordCount(std::uint32_t& Count);
  virtual DBIResult GetExactRecordCount(std::uint32_t& Count) { return GetRecordCount(Count); }
  virtual std::uint32_t GetIndexNumber() { return 0; }
  virtual DBIResult ForceReread() { FForceReread = true; return SetResult(DBIERR_NONE); }
  virtual DBIResult SetRange(bool KeyIsKey, std::uint16_t StartFields, std::uint16_t StartLen,
                             const std::uint8_t* StartKey, bool StartIncl, std::uint16_t EndFields,
                             std::uint16_t EndLen, const std::uint8_t* EndKey, bool EndIncl);
  virtual DBIResult ResetRange();
  virtual int CompareKeys(const std::uint8_t* K1, const std::uint8_t* K2, std::uint16_t FieldCount,
                          std::uint16_t PartialLength);
  virtual DBIResult SwitchToIndex(const std::string&, const std::string&, std::uint16_t, bool) {
    return ReportNotSupported("SWITCHTOINDEX");
  }
  virtual DBIResult SetToKey(std::uint32_t Cond, bool KeyIsKey, std::uint16_t FieldCount,
                             std::uint16_t PartialLength, const std::uint8_t* Key);
  virtual DBIResult SetToKeySpecial(int, bool, std::uint16_t, std::uint16_t, const std::uint8_t*, std::uint8_t*) {
    return ReportNotSupported("SETTOKEYSPECIAL");
  }
  virtual DBIResult ExtractKey(const std::uint8_t* Record, std::uint8_t* Key) {
    return ExtractKeyPrecise(Record, Key, 0, 0);
  }
  virtual DBIResult ExtractKeyPrecise(const std::uint8_t*, std::uint8_t*, std::uint16_t, std::uint16_t) {
    return ReportNotSupported("EXTRACTKEYPRECISE");
  }
  virtual DBIResult GetIndexDesc(std::uint16_t IndexId, IDXDesc& Desc);
  virtual DBIResult GetIndexDescs(IDXDesc* Descs, std::uint16_t Count);
  virtual DBIResult GetIndexDescByName(const std::string&, IDXDesc& Desc) {
    Desc = IDXDesc{};
    return SetResult(DBIERR_INVALIDHNDL);
  }
  virtual DBIResult GetIndexId(const std::string&, std::uint16_t& Id) {
    Id = 0;
    return SetResult(DBIERR_INVALIDHNDL);
  }
  // The index whose key fields are the fields named, each after an "@"; a name without "@"
  // is answered unchanged (at most 31 characters) with number 0.
  DBIResult GetIndexForFields(const std::string& Names, std::string& IndexName, std::uint16_t& IndexNumber);
  DBIResult DeleteAllRecords();
  // Deletes every record through this cursor, which is opened exclusively for the time of the
  // deletes when it is shared; it comes back as it was, whether the table was emptied or not.
  virtual DBIResult EmptyTable();
  // Opens the cursor again after EmptyTable closed it, with what its storage forgot on closing
  // (the client table's range lives on the server).
  virtual DBIResult Reopen() { return Open(); }
  // Adds an index described by Desc; the client table builds it on the server.
  virtual DBIResult AddIndex(const IDXDesc&) { return ReportNotSupported("ADDINDEX"); }
  virtual DBIResult DeleteIndex(const std::string&, const std::string&, std::uint16_t) {
    return ReportNotSupported("DELETEINDEX");
  }
  virtual DBIResult ReindexTable() { return ReportNotSupported("REINDEXTABLE"); }
  // Reads up to Count records one after another into consecutive record-size slots; Count
  // becomes the number read.
  virtual DBIResult ReadBlock(std::uint32_t& Count, std::uint8_t* Buffer);
  // Inserts up to Count records from consecutive record-size slots; Count becomes the number
  // written.
  virtual DBIResult WriteBlock(std::uint32_t& Count, const std::uint8_t* Buffer);
  virtual DBIResult ForceRereadRecord(std::uint32_t Lock, std::uint8_t* Record) {
    ForceReread();
    return GetRecord(Lock, Record);
  }
  virtual DBIResult GetRecordNo(std::uint32_t& RecNo) { RecNo = 0; return NotSupported(); }
  virtual DBIResult SetToRecordNo(std::uint32_t) { return NotSupported(); }
  virtual DBIResult IsRecordLocked(bool& Locked) { Locked = false; return ReportNotSupported("ISRECORDLOCKED"); }
  virtual DBIResult GetRintDesc(std::uint16_t) { return ReportNotSupported("GETRINTDESC"); }
  virtual DBIResult OpenLockList(TBaseTable*& List) { List = nullptr; return ReportNotSupported("OPENLOCKLIST"); }
  virtual DBIResult MakePermanent(const std::string& Name) {
    if (Name.empty()) return SetResult(DBIERR_INVALIDHNDL);
    return ReportNotSupported("MAKEPERMANENT");
  }
  virtual DBIResult GetBlobHeading(std::uint16_t, const std::uint8_t*, std::uint8_t*) {
    return ReportNotSupported("GETBLOBHEADING");
  }
  virtual DBIResult SetFieldMap(std::uint16_t, const FLDDesc*) { return ReportNotSupported("SETFIELDMAP"); }
  DBIResult GetFieldEx(std::uint16_t FieldNumber, const std::uint8_t* Record, std::uint8_t* Value, bool& Blank) {
    return GetField(FieldNumber, Record, Value, Blank);
  }
  // Linked cursors are not provided.
  DBIResult BeginLinkMode() { return ReportNotSupported("BEGINLINKMODE"); }
  DBIResult EndLinkMode() { return ReportNotSupported("ENDLINKMODE"); }
  DBIResult LinkDetail() { return ReportNotSupported("LINKDETAIL"); }
  DBIResult LinkDetailToExp() { return ReportNotSupported("LINKDETAILTOEXP"); }
  DBIResult UnlinkDetail() { return ReportNotSupported("UNLINKDETAIL"); }
  DBIResult GetLinkStatus() { return ReportNotSupported("GETLINKSTATUS"); }
  virtual DBIResult BeginDelayedUpdates(TBaseTable*& CacheTable);
  virtual DBIResult EndDelayedUpdates(TBaseTable*& Source) { Source = this; return ReportNotSupported("ENDDELAYEDUPDATES"); }
  virtual DBIResult ApplyDelayedUpdates(std::uint32_t) { return ReportNotSupported("APPLYDELAYEDUPDATES"); }
  virtual DBIResult GetDelayedUpdates(TBaseTable*&) { return ReportNotSupported("GETDELAYEDUPDATES"); }
  virtual DBIResult GetLdObj(hDBIObj& Obj) { Obj = 0; return SetResult(DBIERR_NONE); }
  virtual DBIResult OpenBlob(std::uint8_t*, std::uint16_t, std::uint32_t) { return ReportNotSupported("OPENBLOB"); }
  virtual DBIResult GetBlobSize(const std::uint8_t*, std::uint16_t, std::uint32_t& Size) {
    Size = 0;
    return ReportNotSupported("GETBLOBSIZE");
  }
  virtual DBIResult GetBlob(const std::uint8_t*, std::uint16_t, std::uint32_t, std::uint32_t, std::uint8_t*,
                            std::uint32_t& Read) {
    Read = 0;
    return ReportNotSupported("GETBLOB");
  }
  virtual DBIResult PutBlob(std::uint8_t*, std::uint16_t, std::uint32_t, std::uint32_t, const std::uint8_t*) {
    return ReportNotSupported("PUTBLOB");
  }
  virtual DBIResult TruncateBlob(std::uint8_t*, std::uint16_t, std::uint32_t) { return ReportNotSupported("TRUNCATEBLOB"); }
  virtual DBIResult FreeBlob(std::uint8_t*, std::uint16_t) { return SetResult(DBIERR_NONE); }
  virtual DBIResult GetField(std::uint16_t FieldNumber, const std::uint8_t* Record, std::uint8_t* Value, bool& Blank);
  virtual DBIResult PutField(std::uint16_t FieldNumber, std::uint8_t* Record, const std::uint8_t* Value);

  // Filters.
  void RefreshFiltersActive();
  DBIResult AddFilter(std::uint32_t ClientData, std::uint16_t Priority, bool CanAbort, const std::uint8_t* Expr,
                      pfDBIFilter Callback, hDBIFilter& Filter);
  DBIResult DropFilter(hDBIFilter Filter);
  DBIResult ActivateFilter(hDBIFilter Filter);
  DBIResult DeactivateFilter(hDBIFilter Filter);
  DBIResult GetFilterInfo(hDBIFilter Filter, std::uint16_t FilterId, FILTERInfo& Info);
  // The range and filter check after a record read, moving on in the given direction.
  DBIResult CheckRangeAndFilters(bool Forward);
  // Field lookup for filter expressions: the cached descriptor of a field name (case-blind).
  TFieldCacheItem* FindFieldByName(const std::string& Name);

 protected:
  std::uint32_t FRecordSize = 0;
  std::uint32_t FRecordBufferSize = 0;
  std::uint8_t* FLastInitRecord = nullptr;
  std::uint8_t* FRecordBuffer = nullptr;
  std::uint8_t FState = csClosed;
  TRangeBound FRangeStart;
  TRangeBound FRangeEnd;
  bool FFiltersActive = false;
  // The lock the step being made takes with it (`StepTakesLock`); dbiNOLOCK otherwise.
  std::uint32_t FStepLock = dbiNOLOCK;
  std::uint32_t FOpenMode;
  std::uint32_t FShareMode;
  bool FIndexListing = false;
  TTitanCollection FFieldCache;
  TTitanCollection FFilters;
  bool FStartEqualsEnd = false;
  bool FForceReread = false;
  std::string FFullName;
  std::string FTableName;

  bool RecordPassesFilters(std::uint8_t* Record);
  // After a successful step: the record read stands, or is read again under the lock asked for.
  DBIResult TakeRecordRead(std::uint32_t Lock, std::uint8_t* Record);
  // One step of GetNextRecord (Forward) or GetPriorRecord, with what follows it.
  DBIResult StepRecord(bool Forward, std::uint32_t Lock, std::uint8_t* Record);
  TFilterListItem* FindFilter(hDBIFilter Filter);

  // The cursor's own record image, sized to the record buffer, for reads no caller asked to see.
  std::uint8_t* OwnRecordBuffer();

  // Points FRecordBuffer at a buffer for the length of one call and puts back what was there
  // before, so no caller's buffer is written after the call that handed it over has returned.
  class TRecordBufferScope {
   public:
    TRecordBufferScope(TBaseTable* Table, std::uint8_t* Buffer) : FTable(Table), FSaved(Table->FRecordBuffer) {
      Table->FRecordBuffer = Buffer;
    }
    ~TRecordBufferScope() { FTable->FRecordBuffer = FSaved; }
    TRecordBufferScope(const TRecordBufferScope&) = delete;
    TRecordBufferScope& operator=(const TRecordBufferScope&) = delete;

   private:
    TBaseTable* FTable;
    std::uint8_t* FSaved;
  };

 private:
  std::vector<std::uint8_t> FOwnRecord;
};

}  // namespace tw::dbaccess
