// The entry points of the access layer as the data-set classes call them.  The data-set classes
// speak only through this link: the program's link forwards to the access layer's flat entry
// points; tests put a link of their own in its place.  Every call answers a 16-bit result code
// (0 = success) and never raises for it; the data-set classes turn codes into EDBEngineError.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dbaccess/dbitypes.h"

namespace tw {

using DBIResult = std::uint16_t;
using dbaccess::CURProps;
using dbaccess::FLDDesc;
using dbaccess::hDBICur;
using dbaccess::hDBIDb;
using dbaccess::hDBIFilter;
using dbaccess::hDBISes;
using dbaccess::IDXDesc;
using dbaccess::VCHKDesc;

// One field of a table to be created, in the interface's logical types.
struct TCreateFieldDesc {
  std::string Name;
  std::uint16_t FldType = 0;
  std::uint16_t SubType = 0;
  std::int16_t Units1 = 0;  // characters of a string, size of a blob
  std::int16_t Units2 = 0;  // decimals
  bool Required = false;
};

// One index of a table to be created; key fields are 1-based field numbers.
struct TCreateIndexDesc {
  std::string Name;
  std::vector<std::uint16_t> KeyFields;
  bool Unique = false;
  bool Descending = false;
  bool CaseInsensitive = false;
  bool Primary = false;
};

// Asked for a user name and password when the server refuses the session's login: true for
// OK, false for Cancel, std::nullopt to leave the question to the prompt installed before.
using TServerLoginEvent =
    std::function<std::optional<bool>(const std::string& server, std::string& userName, std::string& password)>;

// Asked for a database name that the access layer knows neither as a folder nor as an alias:
// the alias or folder that the name stands for on our side, "" when it stands for nothing.
using TDatabaseAliasEvent = std::function<std::string(const std::string& databaseName)>;

class TDbiLink {
 public:
  virtual ~TDbiLink() = default;

  // Puts the event in front of the link's own way of asking for a login: the event answers
  // first, and what it leaves goes on to the prompt installed before it.  A second event takes
  // the place of the first; an empty one takes the event away and puts that prompt back (unless
  // another prompt has been installed since).
  virtual void SetServerLogin(TServerLoginEvent) {}
  // The same for database names the access layer does not know: the event answers first, then
  // the lookup installed before it.
  virtual void SetDatabaseAliasLookup(TDatabaseAliasEvent) {}

  // Engine and sessions.  Init answers 0 also when the engine was already there.
  virtual DBIResult Init() = 0;
  virtual DBIResult Exit() = 0;
  virtual DBIResult GetCurrSession(hDBISes& Session) = 0;
  virtual DBIResult SetCurrSession(hDBISes Session) = 0;
  virtual DBIResult OpenDatabase(const std::string& Name, bool ReadOnly, bool Exclusive, const std::string& Password,
                                 hDBIDb& Db) = 0;
  virtual DBIResult CloseDatabase(hDBIDb& Db) = 0;
  virtual std::string ErrorText(DBIResult Code) = 0;

  // Tables of a database.
  virtual DBIResult OpenTable(hDBIDb Db, const std::string& Table, const std::string& IndexName, bool ReadOnly,
                              bool Exclusive, hDBICur& Cursor) = 0;
  virtual DBIResult CreateTable(hDBIDb Db, const std::string& Table, bool Overwrite,
                                const std::vector<TCreateFieldDesc>& Fields,
                                const std::vector<TCreateIndexDesc>& Indexes) = 0;
  virtual DBIResult EmptyTable(hDBIDb Db, hDBICur Cursor, const std::string& Table) = 0;
  virtual DBIResult DeleteTable(hDBIDb Db, const std::string& Table) = 0;

  // Cursors.
  virtual DBIResult CloseCursor(hDBICur& Cursor) = 0;
  virtual DBIResult GetCursorProps(hDBICur Cursor, CURProps& Props) = 0;
  virtual DBIResult GetFieldDescs(hDBICur Cursor, FLDDesc* Descs) = 0;
  virtual DBIResult GetIndexDescs(hDBICur Cursor, IDXDesc* Descs) = 0;
  // Validity checks of a field (asked only for fields whose descriptor says they have one).
  virtual DBIResult GetVchkDesc(hDBICur Cursor, std::uint16_t FieldNo, VCHKDesc& Desc) = 0;
  virtual DBIResult SwitchToIndex(hDBICur& Cursor, const std::string& IndexName) = 0;
  virtual DBIResult SetToBegin(hDBICur Cursor) = 0;
  virtual DBIResult SetToEnd(hDBICur Cursor) = 0;
  virtual DBIResult GetNextRecord(hDBICur Cursor, std::uint8_t* Record) = 0;
  virtual DBIResult GetPriorRecord(hDBICur Cursor, std::uint8_t* Record) = 0;
  virtual DBIResult GetRecord(hDBICur Cursor, std::uint8_t* Record) = 0;
  virtual DBIResult GetBookMark(hDBICur Cursor, std::uint8_t* Bookmark) = 0;
  virtual DBIResult SetToBookMark(hDBICur Cursor, const std::uint8_t* Bookmark) = 0;
  virtual DBIResult InitRecord(hDBICur Cursor, std::uint8_t* Record) = 0;
  virtual DBIResult InsertRecord(hDBICur Cursor, const std::uint8_t* Record) = 0;
  virtual DBIResult ModifyRecord(hDBICur Cursor, const std::uint8_t* Record) = 0;
  virtual DBIResult DeleteRecord(hDBICur Cursor) = 0;
  virtual DBIResult GetField(hDBICur Cursor, std::uint16_t FieldNo, const std::uint8_t* Record, std::uint8_t* Dest,
                             bool& Blank) = 0;
  // A nil source makes the field blank.
  virtual DBIResult PutField(hDBICur Cursor, std::uint16_t FieldNo, std::uint8_t* Record,
                             const std::uint8_t* Source) = 0;
  // Key given as a record image whose first Fields key fields of the active index are set.
  virtual DBIResult GetRecordForKey(hDBICur Cursor, std::uint16_t Fields, const std::uint8_t* KeyRecord,
                                    std::uint8_t* Record) = 0;
  virtual DBIResult SetRange(hDBICur Cursor, std::uint16_t Fields1, const std::uint8_t* Key1, bool Incl1,
                             std::uint16_t Fields2, const std::uint8_t* Key2, bool Incl2) = 0;
  virtual DBIResult ResetRange(hDBICur Cursor) = 0;
  // Places the cursor just before the first record whose key is not below the key record's
  // first Fields key fields, so that the next record read is that one; 8710 when every key is
  // below.
  virtual DBIResult SetToKey(hDBICur Cursor, std::uint16_t Fields, const std::uint8_t* KeyRecord) = 0;

  // Record filters evaluated by the access layer: an expression block in the interface's
  // filter-expression format (see enginefilter.h).  A link without them answers 12289, and the
  // data set then evaluates its filter alone.
  virtual DBIResult AddFilter(hDBICur, const std::vector<std::uint8_t>&, hDBIFilter& Filter) {
    Filter = 0;
    return dbaccess::DBIERR_NOTSUPPORTED;
  }
  virtual DBIResult DropFilter(hDBICur, hDBIFilter) { return dbaccess::DBIERR_NOTSUPPORTED; }
  virtual DBIResult ActivateFilter(hDBICur, hDBIFilter) { return dbaccess::DBIERR_NOTSUPPORTED; }
  virtual DBIResult DeactivateFilter(hDBICur, hDBIFilter) { return dbaccess::DBIERR_NOTSUPPORTED; }

  // BLOB fields of a record image.
  virtual DBIResult OpenBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo, bool ReadOnly) = 0;
  virtual DBIResult GetBlobSize(hDBICur Cursor, const std::uint8_t* Record, std::uint16_t FieldNo,
                                std::uint32_t& Size) = 0;
  virtual DBIResult GetBlob(hDBICur Cursor, const std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t Offset,
                            std::uint32_t Length, std::uint8_t* Dest, std::uint32_t& Read) = 0;
  virtual DBIResult PutBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo, std::uint32_t Offset,
                            std::uint32_t Length, const std::uint8_t* Source) = 0;
  virtual DBIResult TruncateBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo,
                                 std::uint32_t Length) = 0;
  virtual DBIResult FreeBlob(hDBICur Cursor, std::uint8_t* Record, std::uint16_t FieldNo) = 0;
};

// The link in use.  Without one set, the program's link to the access layer (when linked in).
TDbiLink& DbiLink();
// Replaces the link (tests); nullptr returns to the program's link.
void SetDbiLink(std::shared_ptr<TDbiLink> link);
// The program's link over the access layer's entry points; nullptr when the access layer is not
// part of this build.
std::shared_ptr<TDbiLink> MakeAccessLayerLink();

}  // namespace tw
