// Cursors over records held in memory, and the cached-update cursor that keeps inserts,
// changes and deletes of a source cursor in one of them until they are applied or dropped.
#pragma once

#include <cstdint>
#include <vector>

#include "dbaccess/basetable.h"

namespace tw::dbaccess {

class TMemTable;

// Change kinds of a cached record.
enum : std::uint16_t { ckModified = 1, ckInserted = 2, ckDeleted = 3 };

class TMemTableRecord : public TBapiListItem {
  TW_CLASS(TMemTableRecord, TBapiListItem)
 public:
  // Data and Bookmark are copied; a nil bookmark becomes the collection's count + 1.
  TMemTableRecord(TTitanCollection* Owner, const std::uint8_t* Data, std::uint16_t DataLength,
                  const std::uint8_t* Bookmark, std::uint16_t BookmarkLength);
  std::uint8_t Props[14] = {};
  std::uint16_t ChangeKind = 0;
  bool Undeleted = false;
  std::vector<std::uint8_t> Data;
  std::vector<std::uint8_t> Bookmark;
  bool Applied = false;
  DBIResult ApplyResult = 0;
};

// The records of a memory table, sorted by bookmark through the table's bookmark comparison.
class TCacheCollection : public TSortedCollection {
  TW_CLASS(TCacheCollection, TSortedCollection)
 public:
  explicit TCacheCollection(TMemTable* Table) : FTable(Table) {}
  const void* KeyOf(const TObject* Item) const override;
  int Compare(const void* Key1, const void* Key2) const override;

 private:
  TMemTable* FTable;
};

class TMemTable : public TBaseTable {
  TW_CLASS(TMemTable, TBaseTable)
 public:
  TMemTable(TBaseTable* Source, std::uint16_t BookmarkSize, std::uint16_t FieldCount, const FLDDesc* Fields);
  ~TMemTable() override;

  int Count() const { return FRecords ? FRecords->Count() : 0; }
  TMemTableRecord* RecordAt(int Index) const;  // 0-based
  TMemTableRecord* CurrentRecord() const { return FCurrent; }

  std::uint32_t GetRecordBufferSize() override;
  std::uint32_t GetBookmarkSize() override { return FBookmarkSize; }
  DBIResult FirstRecord() override;
  DBIResult LastRecord() override;
  DBIResult NextRawRecord() override;
  DBIResult PriorRawRecord() override;
  DBIResult GetFieldValue(TFieldCacheItem* Field, const std::uint8_t* Record, bool& Blank, std::uint8_t* Value) override;
  DBIResult PutFieldValue(TFieldCacheItem* Field, std::uint8_t* Record, const std::uint8_t* Value) override;
  DBIResult Open() override;
  DBIResult SetToBegin() override;
  DBIResult SetToEnd() override;
  DBIResult GetBookmark(std::uint8_t* Bookmark) override;
  DBIResult SetToBookmark(const std::uint8_t* Bookmark) override;
  DBIResult GetRecordAtBookmark(const std::uint8_t* Bookmark, std::uint8_t* Record, std::uint32_t Lock) override;
  DBIResult CompareBookmarks(const std::uint8_t* B1, const std::uint8_t* B2, std::int16_t& Cmp) override;
  void GetRecordProps() override;
  DBIResult GetRecord(std::uint32_t Lock, std::uint8_t* Record) override;
  DBIResult InsertRecord(std::uint32_t Lock, const std::uint8_t* Record) override;
  DBIResult ModifyRecord(const std::uint8_t* Record, bool FreeLock) override;
  DBIResult DeleteRecord(std::uint8_t* Record) override;
  DBIResult UndeleteRecord() override;
  DBIResult GetSeqNo(std::uint32_t& SeqNo) override;
  DBIResult GetRecordCount(std::uint32_t& Count) override;
  DBIResult EmptyTable() override;
  DBIResult RelRecordLock(bool) override { return SetResult(DBIERR_NONE); }

  // Cached-update support.
  bool IsRecordVisible(std::uint8_t Mask, const std::uint8_t* SourceBookmark, std::uint8_t* Record, bool SkipData,
                       std::uint8_t* PropsOut);
  TMemTableRecord* AddCachedRecord(const std::uint8_t* Record, const std::uint8_t* Bookmark);
  DBIResult CacheModify(const std::uint8_t* Record, const std::uint8_t* Bookmark);
  DBIResult CacheDelete(const std::uint8_t* Record, const std::uint8_t* Bookmark);
  DBIResult ApplyCachedUpdates();
  DBIResult RemoveAppliedRecords();
  // The cached change with this source bookmark, nullptr when none.  Inserted records have
  // no source bookmark (theirs is only a number) and are never found here.
  TMemTableRecord* FindByBookmark(const std::uint8_t* Bookmark);
  // Removes one cached record and frees it; the table forgets it as its current record.
  void RemoveRecord(TMemTableRecord* Rec);

 private:
  DBIResult ReadCurrent();
  TCacheCollection* FRecords = nullptr;
  std::uint32_t FPosition = 0;
  TMemTableRecord* FCurrent = nullptr;
  std::uint16_t FBookmarkSize;
  TBaseTable* FSource;
  std::uint32_t FNextSeqNo = 1;
  // The number of the next record made without a bookmark of its own: one more than any
  // given out before, so that a record added after a delete never shares a bookmark.
  std::uint32_t FNextBookmark = 1;
  std::vector<std::uint8_t> NewBookmark();
};

class TBaseCacheTable : public TBaseTable {
  TW_CLASS(TBaseCacheTable, TBaseTable)
 public:
  explicit TBaseCacheTable(TBaseTable* Source);
  ~TBaseCacheTable() override;

  TBaseTable* Source() const { return FSource; }
  TMemTable* Cache() const { return FCache; }

  DBIResult GetProp(std::uint32_t Prop, void* Value, std::uint16_t MaxLen, std::uint16_t& Len) override;
  DBIResult SetProp(std::uint32_t Prop, std::uintptr_t Value) override;
  DBIResult GetNextRecord(std::uint32_t Lock, std::uint8_t* Record) override;
  DBIResult GetPriorRecord(std::uint32_t Lock, std::uint8_t* Record) override;
  DBIResult FirstInRange() override;
  DBIResult LastInRange() override;
  DBIResult GetRecord(std::uint32_t Lock, std::uint8_t* Record) override;
  DBIResult InsertRecord(std::uint32_t Lock, const std::uint8_t* Record) override;
  DBIResult AppendRecord(const std::uint8_t* Record) override;
  DBIResult ModifyRecord(const std::uint8_t* Record, bool FreeLock) override;
  DBIResult DeleteRecord(std::uint8_t* Record) override;
  DBIResult EndDelayedUpdates(TBaseTable*& Source) override;
  DBIResult ApplyDelayedUpdates(std::uint32_t Command) override;
  DBIResult GetDelayedUpdates(TBaseTable*& Cache) override;
  DBIResult SwitchToIndex(const std::string&, const std::string&, std::uint16_t, bool) override { return NotSupported(); }
  DBIResult BeginDelayedUpdates(TBaseTable*& CacheTable) override {
    CacheTable = nullptr;
    return NotSupported();
  }

  // Passed to the source cursor.
  const std::string& GetFullName() const override { return FSource->GetFullName(); }
  const std::string& GetTableName() const override { return FSource->GetTableName(); }
  std::uint32_t GetRecordBufferSize() override { return FSource->GetRecordBufferSize(); }
  std::uint32_t GetBookmarkSize() override { return FSource->GetBookmarkSize(); }
  DBIResult GetFieldCacheEntry(std::uint16_t N, TFieldCacheItem*& Item) override { return Pass(FSource->GetFieldCacheEntry(N, Item)); }
  DBIResult GetFieldValue(TFieldCacheItem* F, const std::uint8_t* R, bool& B, std::uint8_t* V) override {
    return Pass(FSource->GetFieldValue(F, R, B, V));
  }
  DBIResult PutFieldValue(TFieldCacheItem* F, std::uint8_t* R, const std::uint8_t* V) override {
    return Pass(FSource->PutFieldValue(F, R, V));
  }
  DBIResult GetField(std::uint16_t N, const std::uint8_t* R, std::uint8_t* V, bool& B) override {
    return Pass(FSource->GetField(N, R, V, B));
  }
  DBIResult PutField(std::uint16_t N, std::uint8_t* R, const std::uint8_t* V) override { return Pass(FSource->PutField(N, R, V)); }
  DBIResult GetRecordSizes(std::uint16_t& C, std::uint32_t& S) override { return Pass(FSource->GetRecordSizes(C, S)); }
  DBIResult GetFieldDescs(FLDDesc* D) override { return Pass(FSource->GetFieldDescs(D)); }
  DBIResult GetCursorProps(CURProps& P) override { return Pass(FSource->GetCursorProps(P)); }
  DBIResult SetToBegin() override { return Pass(FSource->SetToBegin()); }
  DBIResult SetToEnd() override { return Pass(FSource->SetToEnd()); }
  DBIResult GetBookmark(std::uint8_t* B) override { return Pass(FSource->GetBookmark(B)); }
  DBIResult SetToBookmark(const std::uint8_t* B) override { return Pass(FSource->SetToBookmark(B)); }
  DBIResult CompareBookmarks(const std::uint8_t* A, const std::uint8_t* B, std::int16_t& C) override {
    return Pass(FSource->CompareBookmarks(A, B, C));
  }
  DBIResult InitRecord(std::uint8_t* R) override { return Pass(FSource->InitRecord(R)); }
  DBIResult GetRecordCount(std::uint32_t& C) override { return Pass(FSource->GetRecordCount(C)); }
  DBIResult CloseCursor() override { return Pass(FSource->CloseCursor()); }
  DBIResult SetRange(bool K, std::uint16_t SF, std::uint16_t SL, const std::uint8_t* SK, bool SI, std::uint16_t EF,
                     std::uint16_t EL, const std::uint8_t* EK, bool EI) override {
    return Pass(FSource->SetRange(K, SF, SL, SK, SI, EF, EL, EK, EI));
  }
  DBIResult ResetRange() override { return Pass(FSource->ResetRange()); }
  DBIResult SetToKey(std::uint32_t C, bool K, std::uint16_t F, std::uint16_t L, const std::uint8_t* Key) override {
    return Pass(FSource->SetToKey(C, K, F, L, Key));
  }
  DBIResult GetRecordForKey(bool K, std::uint16_t F, std::uint16_t L, const std::uint8_t* Key, std::uint8_t* R) override {
    return Pass(FSource->GetRecordForKey(K, F, L, Key, R));
  }
  DBIResult ExtractKey(const std::uint8_t* R, std::uint8_t* K) override { return Pass(FSource->ExtractKey(R, K)); }
  DBIResult GetIndexDesc(std::uint16_t I, IDXDesc& D) override { return Pass(FSource->GetIndexDesc(I, D)); }
  DBIResult GetBlobSize(const std::uint8_t* R, std::uint16_t F, std::uint32_t& S) override {
    return Pass(FSource->GetBlobSize(R, F, S));
  }
  DBIResult GetBlob(const std::uint8_t* R, std::uint16_t F, std::uint32_t O, std::uint32_t L, std::uint8_t* B,
                    std::uint32_t& Read) override {
    return Pass(FSource->GetBlob(R, F, O, L, B, Read));
  }
  DBIResult OpenBlob(std::uint8_t* R, std::uint16_t F, std::uint32_t M) override { return Pass(FSource->OpenBlob(R, F, M)); }
  DBIResult PutBlob(std::uint8_t* R, std::uint16_t F, std::uint32_t O, std::uint32_t L, const std::uint8_t* B) override {
    return Pass(FSource->PutBlob(R, F, O, L, B));
  }
  DBIResult TruncateBlob(std::uint8_t* R, std::uint16_t F, std::uint32_t L) override {
    return Pass(FSource->TruncateBlob(R, F, L));
  }
  DBIResult FreeBlob(std::uint8_t* R, std::uint16_t F) override { return Pass(FSource->FreeBlob(R, F)); }

 private:
  DBIResult Pass(DBIResult R) { return SetResult(R); }
  bool Visible(std::uint8_t* Record);
  TBaseTable* FSource;
  TMemTable* FCache;
  std::uint8_t FMask = 11;
  bool FSkipData = false;
  std::vector<std::uint8_t> FBookmark;
};

}  // namespace tw::dbaccess
