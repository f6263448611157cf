// The cursor over a table of the database server: position, reads and writes, keys, ranges,
// index, BLOBs and locks live on the server; the client keeps the server's cursor id, a copy of
// the table's data dictionary, the current index number and the position state.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbaccess/basetable.h"
#include "dbengine/storage/data_dictionary.h"

namespace tw::dbaccess {

class TQNClientDatabase;

// A reply that does not have the layout its request defines.
constexpr DBIResult DBIERR_BADREPLY = 11271;

class TQNClientTable : public TBaseTable {
  TW_CLASS(TQNClientTable, TBaseTable)
 public:
  TQNClientTable(TTitanCollection* Owner, TQNClientDatabase* Database, const std::string& Name,
                 std::uint32_t OpenMode, std::uint32_t ShareMode, std::uint32_t IndexNumber);
  ~TQNClientTable() override;

  TQNClientDatabase* Database() const;
  const dbengine::TqnDataDictionary& Dictionary() const { return FDict; }
  std::int32_t ServerId() const { return FServerId; }
  std::uint32_t IndexNumber() const { return FIndexNumber; }
  std::uint32_t KeyLength() const;
  std::uint32_t RecordLength() const { return static_cast<std::uint32_t>(FDict.RecordLength()); }
  // Fills the field cache from the dictionary.
  void FillFieldCache();

  DBIResult Open() override;
  DBIResult CloseCursor() override;
  DBIResult CloneCursor(bool ReadOnly, bool Uni, TBaseTable*& Clone) override;
  DBIResult CheckRange(const std::uint8_t*) override { return DBIERR_NONE; }
  std::uint32_t GetRecordBufferSize() override { return RecordLength(); }
  std::uint32_t GetBookmarkSize() override { return KeyLength() + 20; }
  DBIResult FirstRecord() override;
  DBIResult LastRecord() override;
  DBIResult NextRawRecord() override;
  DBIResult PriorRawRecord() override;
  bool StepTakesLock() const override { return true; }
  DBIResult FirstInRange() override { return FirstRecord(); }
  DBIResult LastInRange() override { return LastRecord(); }
  DBIResult GetNativeDesc(std::uint16_t FieldNumber, FLDDesc& Desc, std::uint16_t& StorageOffset,
                          std::uint16_t& StorageLength) override;
  DBIResult GetFieldValue(TFieldCacheItem* Field, const std::uint8_t* Record, bool& Blank, std::uint8_t* Value) override;
  DBIResult PutFieldValue(TFieldCacheItem* Field, std::uint8_t* Record, const std::uint8_t* Value) override;
  int CompareFieldValues(std::uint16_t Type, const std::uint8_t* V1, const std::uint8_t* V2, bool CaseInsensitive,
                         std::uint32_t Length) override;
  DBIResult SetToBegin() override;
  DBIResult SetToEnd() override;
  DBIResult SetToCursor(TBaseTable* Dest) override;
  DBIResult GetBookmark(std::uint8_t* Bookmark) override;
  DBIResult SetToBookmark(const std::uint8_t* Bookmark) override;
  DBIResult GetRecordAtBookmark(const std::uint8_t* Bookmark, std::uint8_t* Record, std::uint32_t Lock) override;
  DBIResult CompareBookmarks(const std::uint8_t* B1, const std::uint8_t* B2, std::int16_t& Cmp) override;
  DBIResult GetRecord(std::uint32_t Lock, std::uint8_t* Record) override;
  DBIResult GetRecordForKey(bool KeyIsKey, std::uint16_t FieldCount, std::uint16_t PartialLength,
                            const std::uint8_t* Key, std::uint8_t* Record) override;
  DBIResult GetVchkDesc(std::uint16_t N, VCHKDesc& Desc) override;
  DBIResult AcqTableLock(std::uint32_t Lock) override;
  DBIResult RelTableLock(bool All, std::uint32_t Lock) override;
  DBIResult RelRecordLock(bool All) override;
  DBIResult IsTableLocked(std::uint32_t Lock, std::uint16_t& Locks) override;
  DBIResult InitRecord(std::uint8_t* Record) override;
  DBIResult InsertRecord(std::uint32_t Lock, const std::uint8_t* Record) override;
  DBIResult ModifyRecord(const std::uint8_t* Record, bool FreeLock) override;
  DBIResult DeleteRecord(std::uint8_t* Record) override;
  DBIResult GetCursorProps(CURProps& Props) override;
  DBIResult GetRecordCount(std::uint32_t& Count) override;
  DBIResult GetExactRecordCount(std::uint32_t& Count) override;
  std::uint32_t GetIndexNumber() override { return FIndexNumber; }
  DBIResult SetRange(bool KeyIsKey, std::uint16_t StartFields, std::uint16_t StartLen, const std::uint8_t* StartKey,
                     bool StartIncl, std::uint16_t EndFields, std::uint16_t EndLen, const std::uint8_t* EndKey,
                     bool EndIncl) override;
  DBIResult ResetRange() override;
  DBIResult Reopen() override;
  DBIResult SwitchToIndex(const std::string& Name, const std::string& Tag, std::uint16_t Number, bool KeepCurrent) override;
  DBIResult SetToKey(std::uint32_t Cond, bool KeyIsKey, std::uint16_t FieldCount, std::uint16_t PartialLength,
                     const std::uint8_t* Key) override;
  DBIResult ExtractKey(const std::uint8_t* Record, std::uint8_t* Key) override;
  DBIResult GetIndexDesc(std::uint16_t IndexId, IDXDesc& Desc) override;
  DBIResult OpenBlob(std::uint8_t* Record, std::uint16_t Field, std::uint32_t Mode) override;
  DBIResult GetBlobSize(const std::uint8_t* Record, std::uint16_t Field, std::uint32_t& Size) override;
  DBIResult GetBlob(const std::uint8_t* Record, std::uint16_t Field, std::uint32_t Offset, std::uint32_t Length,
                    std::uint8_t* Buffer, std::uint32_t& Read) override;
  DBIResult PutBlob(std::uint8_t* Record, std::uint16_t Field, std::uint32_t Offset, std::uint32_t Length,
                    const std::uint8_t* Buffer) override;
  DBIResult TruncateBlob(std::uint8_t* Record, std::uint16_t Field, std::uint32_t Length) override;
  DBIResult FreeBlob(std::uint8_t* Record, std::uint16_t Field) override;
  // Adds the index on the server (request 1305), waits until the server has filled it and
  // reads the dictionary again, so that the new index can be switched to at once.
  DBIResult AddIndex(const IDXDesc& Desc) override;
  // Reads the table's dictionary from the server again and rebuilds the field cache; the
  // cursor keeps the index it was on, found by its name.
  DBIResult RefreshDictionary();
  // The database's transaction ended.  A rollback undid the BLOBs this cursor created in it
  // (their numbers go to the next new BLOBs, of any cursor) and the stores of its records.
  void TransactionEnded(bool Committed);

 private:
  DBIResult Request(std::uint32_t MessageId, const std::vector<std::uint8_t>& Data, void* Reply = nullptr,
                    std::uint32_t ReplyCapacity = 0);
  DBIResult Request(std::uint32_t MessageId, const std::uint8_t* Data, std::uint32_t Length, void* Reply,
                    std::uint32_t ReplyCapacity, std::uint32_t* ReplyLength = nullptr);
  std::vector<std::uint8_t> Head(std::size_t Size) const;
  DBIResult RawRead(std::uint32_t MessageId);
  DBIResult BlobNumber(const std::uint8_t* Record, std::uint16_t Field, std::uint32_t& Number, bool& IsNull);
  // The BLOBs of a record just posted are stored ones from now on.
  void ForgetPostedBlobs(const std::uint8_t* Record);
  // True when Record is the buffer that held Number when this cursor created it, and a
  // rollback has undone that creation.
  bool Undone(const std::uint8_t* Record, std::uint32_t Number) const;
  // A record read into Record replaces what the buffer held: its BLOBs are stored ones.
  void NoteReadBlobs(const std::uint8_t* Record);
  // Record as it is posted: a copy with every BLOB field that names an undone BLOB null.
  const std::uint8_t* WithoutUndoneBlobs(const std::uint8_t* Record);
  int VChkField(int N) const;
  // The first characters of the memo numbered Number, zero-terminated in Dest, which holds Room
  // bytes (at most 255 characters, and never more than Room - 1).
  DBIResult MemoFieldValue(std::uint32_t Number, bool& Blank, std::uint8_t* Dest, std::uint32_t Room);

  TQNClientDatabase* FDatabase;  // the parent, kept typed: it never changes
  std::uint32_t FIndexNumber;
  std::int32_t FServerId = -1;
  bool FRangeSet = false;
  std::vector<std::uint8_t> FRangeRequest;  // the range request that set the range in force
  std::array<std::uint8_t, 1024> FLastKey{};
  // BLOBs opened for reading only: freeing them is only the end of the read, sent to nobody.
  std::vector<std::uint32_t> FReadOnlyBlobs;
  // BLOBs this cursor created in a caller's record that no record posted through it holds yet.
  // Only these are sent to the server to be freed: a stored record's BLOB, freed, would leave
  // the record naming a slot that the next new BLOB takes (the server, which also sees what
  // other cursors posted, frees only a new BLOB of the cursor that asks).  Those created or
  // posted inside the database's transaction are marked: its rollback undoes that.  Buffer is
  // the caller's record the number was created in.
  struct TNewBlob {
    std::uint32_t Number;
    bool CreatedInTran;
    bool PostedInTran;
    const std::uint8_t* Buffer;
  };
  std::vector<TNewBlob> FNewBlobs;
  // BLOBs whose creation a rollback undid, with the buffer that held each.  That buffer, while
  // it still names the number, names no BLOB: the number may be another cursor's new BLOB by
  // now, or a stored record's; whatever is read into other buffers meanwhile changes nothing.
  struct TUndoneBlob {
    const std::uint8_t* Buffer;
    std::uint32_t Number;
  };
  std::vector<TUndoneBlob> FUndoneBlobs;
  std::vector<std::uint8_t> FPostBuffer;  // scratch of WithoutUndoneBlobs
  std::vector<std::uint8_t> FStoredValue;  // scratch of PutFieldValue
  std::vector<std::uint8_t> FRequestBuffer;  // scratch of the key search request
  std::vector<std::uint8_t> FBlobReply;      // scratch of GetBlob's reply
  dbengine::TqnDataDictionary FDict;
};

// The interface length of a field of the engine type and storage length.
std::uint16_t InterfaceFieldLength(int EngineType, std::int32_t EngineLength);

}  // namespace tw::dbaccess
